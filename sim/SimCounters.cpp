#include "SimCounters.h"
#include "SimDevice.h"
#include <QDateTime>
#include <algorithm>

namespace {
constexpr qint64 kHourMs = 3600 * 1000;

quint32 read24(const SimDevice &d, quint32 address)
{
    return (quint32(d.byteAt(address)) << 16) | (quint32(d.byteAt(address + 1)) << 8) | d.byteAt(address + 2);
}

void add24(SimDevice &d, quint32 address, qint64 amount)
{
    if (amount <= 0)
        return;
    // A counter at its top stays there rather than wrapping to zero.
    const quint32 v = quint32(std::min<qint64>(qint64(read24(d, address)) + amount, SimCounters::Max));
    d.setByte(address, quint8(v >> 16));
    d.setByte(address + 1, quint8(v >> 8));
    d.setByte(address + 2, quint8(v));
}

bool touches(const SimRequest &r, quint32 address)
{
    const quint32 end = r.address + quint32(r.data.size());
    return r.address < address + 3 && end > address;
}
} // namespace

SimCounters::SimCounters()
    : m_startMs(QDateTime::currentMSecsSinceEpoch())
{
}

void SimCounters::setSchedule(int runSeconds, int standSeconds)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_runMs = std::max(1, runSeconds) * qint64(1000);
    m_standMs = std::max(0, standSeconds) * qint64(1000);
}

void SimCounters::setClock(std::function<qint64()> nowMs)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_clock = std::move(nowMs);
    m_fixedMs = -1;
}

void SimCounters::setTimeMs(qint64 ms)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_fixedMs = ms;
}

qint64 SimCounters::nowMs() const
{
    if (m_fixedMs >= 0)
        return m_fixedMs;
    if (m_clock)
        return m_clock();
    return QDateTime::currentMSecsSinceEpoch() - m_startMs;
}

qint64 SimCounters::runningMsAt(qint64 t) const
{
    const qint64 period = m_runMs + m_standMs;
    return (t / period) * m_runMs + std::min(t % period, m_runMs);
}

qint64 SimCounters::startsAt(qint64 t) const
{
    // The set is already running at time 0; each later run begins with a start.
    return m_standMs > 0 ? t / (m_runMs + m_standMs) : 0;
}

bool SimCounters::running() const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    return nowMs() % (m_runMs + m_standMs) < m_runMs;
}

void SimCounters::update(SimDevice &device)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const qint64 t = std::max<qint64>(0, nowMs());
    const qint64 hours = (runningMsAt(t) - m_hoursMarkMs) / kHourMs;
    add24(device, HoursAddress, hours - m_hoursCredited);
    m_hoursCredited = std::max(m_hoursCredited, hours);
    const qint64 starts = startsAt(t);
    add24(device, StartsAddress, starts - m_startsCounted);
    m_startsCounted = std::max(m_startsCounted, starts);
}

void SimCounters::onRequest(SimDevice &device, const SimRequest &request)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    update(device);
    // A written hour counter starts its next hour now; the write itself is done by the device.
    if ((request.code == 4 || request.code == 20) && touches(request, HoursAddress)) {
        m_hoursMarkMs = runningMsAt(std::max<qint64>(0, nowMs()));
        m_hoursCredited = 0;
    }
}

void SimCounters::attach(SimDevice &device, std::shared_ptr<SimCounters> counters)
{
    if (!counters)
        return;
    device.addRequestHook([counters](SimDevice &d, const SimRequest &request, SimAnswer &) {
        counters->onRequest(d, request);
        return false;
    });
}
