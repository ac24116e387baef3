#pragma once
#include <QtGlobal>
#include <functional>
#include <memory>
#include <mutex>

class SimDevice;
struct SimRequest;

// The controller's mains-failure test. The command word at 0x2062 starts it (0x39, 0x06) or
// stops it (0x00, 0x00); while it runs, the timer byte at 0x2053 counts its elapsed time in
// steps of ten seconds, and writing 0 there restarts the count. When the test time is over
// the controller ends the test by itself and clears the command word.
class SimMainsTest
{
public:
    static constexpr quint32 CommandAddress = 0x2062;
    static constexpr quint32 TimerAddress = 0x2053;

    explicit SimMainsTest(int durationSeconds = 1800);

    // Simulated time in milliseconds; without a clock the wall time counts.
    void setClock(std::function<qint64()> nowMs);
    void setTimeMs(qint64 ms);

    bool running() const;
    // Brings the timer byte and the command word up to the current time.
    void update(SimDevice &device);

    static void attach(SimDevice &device, std::shared_ptr<SimMainsTest> test);

private:
    qint64 nowMs() const;
    void onRequest(SimDevice &device, const SimRequest &request);

    std::function<qint64()> m_clock;
    qint64 m_fixedMs = -1;
    qint64 m_durationMs;
    bool m_running = false;
    qint64 m_sinceMs = 0;
    mutable std::recursive_mutex m_mutex;
};
