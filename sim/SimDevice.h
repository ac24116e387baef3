#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <vector>

// One request as the device understood it, handed to the side-effect hooks.
struct SimRequest
{
    quint8 pcAddress = 0;   // telegram byte 2, where the answer goes
    quint8 code = 0;        // telegram byte 4
    quint32 address = 0;    // 16- or 32-bit, as the code carries it
    int count = 0;          // bytes asked for (reads) or carried (writes)
    std::vector<quint8> data; // written bytes
};

// What the device puts into its answer: the code byte (code + 0x80, or a refusal byte)
// and the data bytes 5..L.
struct SimAnswer
{
    quint8 code = 0;
    std::vector<quint8> data;
};

// The slave end of the telegram line, byte by byte. It owns the device memory and has no
// threads or clocks of its own: whoever drives it feeds every byte from the PC into receive()
// and puts the returned bytes on the line, and calls lineIdle() after a pause on the line.
class SimLive;

class SimDevice
{
public:
    // Wire disturbances that can be injected, each with a probability per telegram.
    enum class FaultKind {
        NoEcho,    // the address byte is not heard: no echo at all
        BadEcho,   // the address byte is echoed wrong
        Silence,   // the request is taken but never answered
        WrongAddr, // answer byte 1 is not the PC's address
        Truncate,  // the answer stops before its last byte
        NoSum,     // the answer comes without its checksum byte
        BadSum,    // the checksum byte is wrong
        Refuse,    // the answer carries a refusal byte instead of code + 0x80
        Short,     // a read is answered with L = 4 and no data
        Garbage,   // random bytes follow the answer on the line
    };
    struct Fault
    {
        FaultKind kind;
        double rate;          // 0..1, chance per telegram
        quint8 refusal = 0xF4; // Refuse only
    };
    struct Counters
    {
        quint64 requests = 0;  // complete requests with a valid checksum
        quint64 answers = 0;   // answers sent to the end (checksum byte included or faulted)
        quint64 rejected = 0;  // telegrams dropped for a bad checksum or an absurd length
        quint64 faults = 0;    // telegrams disturbed by an injected fault
    };
    // Runs before the built-in handling of every accepted request. A hook may change the
    // memory (live values, a clock) or answer the request itself by filling the answer and
    // returning true; the first hook that answers wins.
    using RequestHook = std::function<bool(SimDevice &device, const SimRequest &request, SimAnswer &answer)>;

    static constexpr quint8 DefaultSlave = 0xAE;
    static constexpr quint8 UnknownCodeRefusal = 0xFF;
    static constexpr int MaxData = 251; // L is one byte: 255 - 4 header bytes
    static constexpr int MemorySize = 0x10000;
    static constexpr quint32 IdentAddress = 0x0030;
    static constexpr int IdentSize = 48;

    SimDevice();

    // Configuration.
    void setSlaveAddress(quint8 address) { m_slave = address; }
    quint8 slaveAddress() const { return m_slave; }
    void setHandshake(bool on) { m_handshake = on; }
    bool handshake() const { return m_handshake; }
    void setSeed(quint32 seed);
    // The line speed the device listens at; 0 hears every speed. At any other speed what the
    // PC sends arrives as noise and the device stays silent.
    void setBaud(int baud) { m_baud = baud; }
    int baud() const { return m_baud; }
    bool hearsAt(int baud) const { return m_baud == 0 || baud == m_baud; }
    // A data coupler in front of the device ("PELK" or "DROS"; empty: none). It answers at
    // CouplerAddress with its own identification for reads.
    void setCoupler(const QString &kind) { m_coupler = kind; }
    QString coupler() const { return m_coupler; }
    static constexpr quint8 CouplerAddress = 0xFE;
    // The 32 bytes a coupler returns for a read at 0x0030.
    std::vector<quint8> couplerIdentification() const;
    // Serves the requests to the coupler's own address when set (its settings memory);
    // without it the coupler only identifies itself.
    void setCouplerHook(RequestHook hook) { m_couplerHook = std::move(hook); }
    // Runs once when the answer under way has left the line (or the line went idle): a
    // coupler changes its speed only after it has confirmed the change at the old one.
    void afterAnswer(std::function<void()> action) { m_afterAnswer = std::move(action); }

    // "kind:rate" or, for refusals, "refuse:rate:BYTE" (BYTE hexadecimal, 0xF4 when left out).
    bool addFault(const QString &faultText, QString *error = nullptr);
    void addFault(const Fault &fault) { m_faults.push_back(fault); }
    void clearFaults() { m_faults.clear(); }
    const std::vector<Fault> &faults() const { return m_faults; }
    static bool parseFaultKind(const QString &name, FaultKind *kind);
    static QString faultKindName(FaultKind kind);

    // Every request with this code is refused with byte (nothing is written).
    void setRefusal(quint8 code, quint8 byte) { m_refusals[code] = byte; }
    void clearRefusal(quint8 code) { m_refusals.erase(code); }
    void clearRefusals() { m_refusals.clear(); }

    void addRequestHook(RequestHook hook) { m_hooks.push_back(std::move(hook)); }
    // Takes bytes that arrive between telegrams before the device looks for its address;
    // returns true when it consumed the byte (and put any reply into out). The device's
    // serial interface handed to an attached modem uses it.
    using RawHandler = std::function<bool(quint8 byte, std::vector<quint8> &out)>;
    void setRawHandler(RawHandler handler) { m_raw = std::move(handler); }
    void clearRequestHooks() { m_hooks.clear(); }

    // The live actual values serving this device's pages (SimLive::attach sets them).
    void setLive(std::shared_ptr<SimLive> live) { m_live = std::move(live); }
    const std::shared_ptr<SimLive> &live() const { return m_live; }

    // Memory. 32-bit addresses above 0xFFFF live in a sparse store that reads 0 where unwritten.
    quint8 byteAt(quint32 address) const;
    void setByte(quint32 address, quint8 value);
    std::vector<quint8> bytes(quint32 address, int count) const;
    void setBytes(quint32 address, const std::vector<quint8> &data);
    void clearMemory();
    // A made-up controller identification at 0x0030, for a device without a file.
    void setDemoIdentification();

    // Loads a parameter file: the image at base, the 48 identification bytes at 0x0030.
    // Files ending in ".STW" use the 272-byte layout with identification bytes 16..30 at
    // offsets 256..270. On failure the memory is left as it was and error says why.
    // The answers to the second identification requests are put in place as well: program
    // number, version and date at 0x01A0 (".STW"), protection byte and mains factor at
    // 0x017E (".NAE"), each only where the image leaves those addresses empty.
    bool loadParameterFile(const QString &path, int base, QString *error);

    // The wire.
    std::vector<quint8> receive(quint8 byteFromPc);
    // A pause on the line: a half-received telegram or an unfinished answer is dropped.
    void lineIdle();
    // Waiting for the start of a telegram.
    bool isIdle() const { return m_state == State::Idle; }

    const Counters &counters() const { return m_counters; }
    void resetCounters() { m_counters = Counters(); }

private:
    enum class State { Idle, Request, Checksum, Discard, AwaitEcho };

    void startTelegram(std::vector<quint8> &out);
    void requestComplete(quint8 checksum, std::vector<quint8> &out);
    SimAnswer serve(const SimRequest &request);
    bool parseRequest(SimRequest *request) const;
    void sendNext(std::vector<quint8> &out);
    void finishAnswer(std::vector<quint8> &out);
    void rollFaults();
    bool chance(double rate);

    quint8 m_slave = DefaultSlave;
    bool m_handshake = false;
    int m_baud = 0;
    QString m_coupler;
    std::mt19937 m_rng;

    std::vector<quint8> m_memory;
    std::map<quint32, quint8> m_high;
    std::map<quint8, quint8> m_refusals;
    std::vector<Fault> m_faults;
    std::vector<RequestHook> m_hooks;
    RequestHook m_couplerHook;
    RawHandler m_raw;
    std::function<void()> m_afterAnswer;
    void runAfterAnswer();
    std::shared_ptr<SimLive> m_live;

    State m_state = State::Idle;
    std::array<quint8, 256> m_request{};
    int m_received = 0; // request bytes held, byte 1 included

    // The answer under way: full telegram (bytes 1..L, then the checksum) and what is sent.
    std::vector<quint8> m_answer;
    int m_sent = 0;     // bytes of m_answer on the line
    int m_stopAt = 0;   // bytes of m_answer to send at all (faults shorten it)
    bool m_garbage = false;

    // Fault chosen for the telegram under way.
    std::optional<Fault> m_fault;
    bool isFault(FaultKind kind) const { return m_fault && m_fault->kind == kind; }

    Counters m_counters;
};
