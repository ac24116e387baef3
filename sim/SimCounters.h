#pragma once
#include <QtGlobal>
#include <functional>
#include <memory>
#include <mutex>

class SimDevice;
struct SimRequest;

// A controller's operating hours (0x0FA5..0x0FA7) and starts (0x0FA1..0x0FA3), 24-bit
// big-endian in the device memory. The simulated set runs and stands on a fixed schedule;
// while it runs the hours grow, every start after a stand counts one. The memory stays the
// truth: what the PC (or a test) writes there is counted on from.
class SimCounters
{
public:
    static constexpr quint32 HoursAddress = 0x0FA5;
    static constexpr quint32 StartsAddress = 0x0FA1;
    static constexpr quint32 Max = 0xFFFFFF;

    SimCounters();

    // Length of one run and of the stand after it, in simulated seconds; an hour of
    // running is one count. Defaults: 50 minutes running, 10 standing.
    void setSchedule(int runSeconds, int standSeconds);
    // Simulated time in milliseconds; without a clock the wall time since creation counts.
    void setClock(std::function<qint64()> nowMs);
    void setTimeMs(qint64 ms);

    // Whether the simulated set runs at the current time.
    bool running() const;
    // Brings the memory up to the current time (every request does this first).
    void update(SimDevice &device);

    // Serves the counters of the device from now on.
    static void attach(SimDevice &device, std::shared_ptr<SimCounters> counters);

private:
    qint64 nowMs() const;
    qint64 runningMsAt(qint64 t) const;
    qint64 startsAt(qint64 t) const;
    void onRequest(SimDevice &device, const SimRequest &request);

    std::function<qint64()> m_clock;
    qint64 m_fixedMs = -1;
    qint64 m_startMs = 0;
    qint64 m_runMs = 3000 * 1000;
    qint64 m_standMs = 600 * 1000;
    // Hours already credited since the last written value, and where that count began.
    qint64 m_hoursMarkMs = 0;
    qint64 m_hoursCredited = 0;
    qint64 m_startsCounted = 0;
    // The device is served on the line's thread while a test may step the time.
    mutable std::recursive_mutex m_mutex;
};
