#pragma once
// A Hayes-style modem in front of the simulated device: in command mode it answers "AT"
// command lines ("OK", "ERROR"); "ATD…" connects after a short delay ("CONNECT 9600", or
// "BUSY" / "NO CARRIER" / "NO ANSWER" / nothing as set up); connected, every byte goes to
// the device and its answer comes back. "+++" between two guard times returns to command
// mode with the carrier kept; "ATH" or DTR dropping hangs up. Pure state machine: the
// caller hands in bytes with their time and collects what is due.
#include <QString>
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <vector>

class SimDevice;

class SimModem
{
public:
    using Clock = std::chrono::steady_clock;
    using Device = std::function<std::vector<quint8>(quint8)>;

    enum class DialResult { Connect, Busy, NoCarrier, NoAnswer, Silent };
    struct Options
    {
        int connectBaud = 9600;
        DialResult dial = DialResult::Connect;
        std::chrono::milliseconds connectDelay{300};
        std::chrono::milliseconds guard{1000};
        // Connected, the carrier is lost after this many bytes towards the device
        // (0: never): "NO CARRIER" and the device is cut off.
        int dropAfterBytes = 0;
    };

    SimModem() = default;
    explicit SimModem(const Options &options) : m_options(options) {}
    void setOptions(const Options &options) { m_options = options; }
    const Options &options() const { return m_options; }
    // Parses "connect", "busy", "no-carrier", "no-answer", "silent".
    static bool parseDialResult(const QString &text, DialResult *result);

    // Bytes from the PC at time now; returns what goes back at once (echo, answers, the
    // device's replies). device is fed the bytes of a connection.
    std::vector<quint8> fromPc(const quint8 *data, int count, Clock::time_point now, const Device &device);
    // What has become due by now (a delayed CONNECT, the "OK" after an escape).
    std::vector<quint8> due(Clock::time_point now);
    // When due() next has something; time_point::max() for nothing.
    Clock::time_point nextDue() const;
    // DTR from the PC; dropping it hangs up.
    std::vector<quint8> setDtr(bool on, Clock::time_point now);

    bool carrier() const { return m_carrier; }
    bool online() const { return m_carrier && !m_commandMode; } // bytes reach the device
    int dials() const { return m_dials; }
    QString lastCommand() const { return m_lastCommand; }

private:
    std::vector<quint8> command(const QByteArray &line, Clock::time_point now);
    static void append(std::vector<quint8> &out, const char *text);
    void hangUp();

    Options m_options;
    bool m_carrier = false;
    bool m_commandMode = true;
    bool m_echo = true;
    QByteArray m_line;
    QString m_lastCommand;
    int m_dials = 0;
    int m_bytesToDevice = 0;

    // Pending dial answer.
    bool m_dialPending = false;
    Clock::time_point m_dialDue;
    // Escape "+++": count of pluses after a guard time of silence, the time of the last.
    int m_plus = 0;
    Clock::time_point m_lastByte{};
    bool m_haveLastByte = false;
};

// The controller behind the modem takes only this FBED number (function code 26, the number
// high byte first): 0x9A when it matches, 0xF5 otherwise. Without it every number is taken.
void AttachSimFbed(SimDevice &device, int number);
