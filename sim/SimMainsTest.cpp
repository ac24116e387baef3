#include "SimMainsTest.h"
#include "SimDevice.h"
#include <QDateTime>
#include <algorithm>

namespace {
constexpr qint64 kStepMs = 10 * 1000;

bool touches(const SimRequest &r, quint32 address, int size)
{
    const quint32 end = r.address + quint32(std::max<int>(int(r.data.size()), r.count));
    return r.address < address + quint32(size) && end > address;
}
} // namespace

SimMainsTest::SimMainsTest(int durationSeconds)
    : m_durationMs(std::max(10, durationSeconds) * qint64(1000))
{
}

void SimMainsTest::setClock(std::function<qint64()> nowMs)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_clock = std::move(nowMs);
    m_fixedMs = -1;
}

void SimMainsTest::setTimeMs(qint64 ms)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_fixedMs = ms;
}

qint64 SimMainsTest::nowMs() const
{
    if (m_fixedMs >= 0)
        return m_fixedMs;
    if (m_clock)
        return m_clock();
    return QDateTime::currentMSecsSinceEpoch();
}

bool SimMainsTest::running() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return m_running;
}

void SimMainsTest::update(SimDevice &device)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (!m_running)
        return;
    const qint64 elapsed = std::max<qint64>(0, nowMs() - m_sinceMs);
    if (elapsed >= m_durationMs) {
        m_running = false;
        device.setByte(CommandAddress, 0);
        device.setByte(CommandAddress + 1, 0);
        device.setByte(TimerAddress, quint8(std::min<qint64>(m_durationMs / kStepMs, 255)));
        return;
    }
    device.setByte(TimerAddress, quint8(std::min<qint64>(elapsed / kStepMs, 255)));
}

void SimMainsTest::onRequest(SimDevice &device, const SimRequest &request)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    update(device);
    const bool write = request.code == 4 || request.code == 20;
    if (!write)
        return;
    // The hook runs before the device stores the written bytes: act on what is written.
    if (request.address == CommandAddress && request.data.size() >= 2) {
        if (request.data[0] == 0x39 && request.data[1] == 0x06) {
            m_running = true;
            m_sinceMs = nowMs();
            device.setByte(TimerAddress, 0);
        } else if (request.data[0] == 0 && request.data[1] == 0) {
            m_running = false;
        }
    } else if (touches(request, TimerAddress, 1) && m_running) {
        m_sinceMs = nowMs();
    }
}

void SimMainsTest::attach(SimDevice &device, std::shared_ptr<SimMainsTest> test)
{
    if (!test)
        return;
    device.addRequestHook([test](SimDevice &d, const SimRequest &request, SimAnswer &) {
        test->onRequest(d, request);
        return false;
    });
}
