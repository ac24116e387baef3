#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

class SimDevice;
struct SimRequest;
struct SimAnswer;

// The actual values of a simulated device: every page its definition file declares answers
// with values that move over time. A value is a pure function of the seed and the simulated
// time, so two devices with the same seed give the same bytes at the same moment; only the
// alarms keep state (pending until acknowledged).
class SimLive
{
public:
    // What a row's value does over time.
    enum class Kind {
        Static,    // the memory as loaded (status words, set points)
        Level,     // wanders around a centre (voltage, frequency, temperature, ...)
        Load,      // follows the load of the set (currents, power)
        Counter,   // grows (hours, energy, starts)
        Countdown, // runs down and starts again (remaining times)
        Toggle,    // a bit that changes on a slow schedule (inputs, outputs, flags)
        Alarm,     // a bit of the alarm page
    };
    struct Row
    {
        int row = 0;
        QString label;
        int typeCode = 0;
        quint32 address = 0; // absolute device address of the first byte
        int size = 0;        // bytes: 1, 2 or 3
        int bit = -1;        // bit rows: 0..15 (of the byte or of the big-endian word)
        Kind kind = Kind::Static;
        double centre = 0;   // Level: physical centre; Load: rated value; Counter: base raw value
        double spread = 0;   // Level: amplitude; Counter: raw units per second; Countdown: period
    };
    // What the program scales some type codes with, as this device has it.
    struct References
    {
        int genFactor = 138;
        int mainsFactor = 138;
        int periodBase = 5000;
        int w42 = 0, w74 = 0;          // analog scaling words (image indexes 0x42, 0x74)
        int k54 = 0, n56 = 0, n2c = 0; // speed and frequency references (0x54, 0x56, 0x2C)
    };
    struct Page
    {
        QString name;        // "IstAna", ...
        quint32 address = 0;
        int count = 0;
        std::vector<Row> rows;
    };

    // Reads the pages of the definition that belongs to the parameter file (as the program
    // finds it). False, with the reason, when the file or its definition cannot be used or the
    // definition has no page at all.
    bool load(const QString &parameterFile, QString *error = nullptr);
    const std::vector<Page> &pages() const { return m_pages; }
    const Page *page(const QString &name) const;

    void setSeed(quint32 seed);
    // Simulated time in milliseconds. Without a clock the wall time since creation counts.
    void setClock(std::function<qint64()> nowMs);
    // Fixes the time (tests step it); a later setClock() undoes it.
    void setTimeMs(qint64 ms);

    // Scheduled alarms: every period one alarm of the alarm page comes for a quarter of the
    // period; 0 switches them off.
    void setAlarmPeriod(int seconds);
    int alarmCount() const; // rows on the alarm page after its heading
    // Sets alarm n (1..alarmCount) pending, its cause already gone: an acknowledge clears it.
    bool setAlarm(int n, QString *error = nullptr);
    // Whether alarm n is pending now.
    bool alarmPending(int n);
    // The remote acknowledge: clears every pending alarm whose cause has gone.
    void acknowledge();

    // The bytes of a page's block at the current time, laid over the device's memory.
    std::vector<quint8> block(const Page &page, const std::vector<quint8> &memory);

    // Serves the page requests (and the acknowledge) of the device from now on.
    static void attach(SimDevice &device, std::shared_ptr<SimLive> live);
    // A device's default live values: the parameter file's pages, wall time, the given seed.
    // nullptr when the file has no pages (the device then keeps its memory as it is).
    static std::shared_ptr<SimLive> forFile(const QString &parameterFile, quint32 seed, QString *error = nullptr);

    static const QStringList &PageNames();

private:
    bool handle(SimDevice &device, const SimRequest &request, SimAnswer &answer);
    double seconds() const;
    double phase(int row, int salt) const;
    qint64 rawAt(const Row &row, double t) const;
    bool bitAt(const Row &row, double t);
    void updateAlarms(double t);
    int scheduledAlarm(qint64 cycle) const; // row of the alarm page, 0: none
    bool alarmActive(int n, double t) const;

    std::vector<Page> m_pages;
    int m_alarmPage = -1;
    quint32 m_seed = 1;
    std::function<qint64()> m_clock;
    qint64 m_fixedMs = -1;
    qint64 m_startMs = 0;
    int m_alarmPeriod = 240;
    References m_ref;
    double m_lastUpdate = -1;
    std::set<int> m_pending; // latched alarms
    std::recursive_mutex m_mutex;
    // Where the last read the device served ended and started, and whether it was a page poll.
    quint32 m_lastReadStart = 0xFFFFFFFF;
    quint32 m_lastReadEnd = 0xFFFFFFFF;
    bool m_lastWasLive = false;
};
