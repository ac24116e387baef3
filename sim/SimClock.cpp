#include "SimClock.h"
#include "SimDevice.h"

constexpr quint32 SimClock::Addresses[2];

QDateTime SimClock::now() const
{
    return hostNow().addMSecs(m_offsetMs);
}

void SimClock::set(const QDateTime &deviceTime)
{
    m_offsetMs = hostNow().msecsTo(deviceTime);
}

void SimClock::encode(const QDateTime &t, quint8 out[Size])
{
    out[0] = quint8(t.time().second());
    out[1] = quint8(t.time().minute());
    out[2] = quint8(t.time().hour());
    out[3] = quint8(t.date().day());
    out[4] = quint8(t.date().month());
    out[5] = quint8((t.date().year() - 2000) & 0xFF);
}

QDateTime SimClock::decode(const quint8 in[Size])
{
    const QDate d(2000 + in[5], in[4], in[3]);
    const QTime t(in[2], in[1], in[0]);
    if (!d.isValid() || !t.isValid())
        return QDateTime();
    return QDateTime(d, t);
}

bool SimClock::handle(SimDevice &, const SimRequest &request, SimAnswer &answer)
{
    if (request.address > 0xFFFF)
        return false;
    for (quint32 base : Addresses) {
        if (request.address != base)
            continue;
        if ((request.code == 4 || request.code == 20) && request.data.size() >= size_t(Size)) {
            // A date the clock cannot hold is taken as bytes only and the clock runs on.
            const QDateTime t = decode(request.data.data());
            if (t.isValid())
                set(t);
        } else if (request.code == 5 && request.count <= Size) {
            // Only a read of the clock itself sees it run: a block read of the parameter
            // memory gets the bytes as loaded, so a set read from the device equals its file.
            quint8 bytes[Size];
            encode(now(), bytes);
            answer.data.assign(bytes, bytes + request.count);
            return true;
        }
    }
    return false; // the memory itself answers (and keeps written bytes)
}

void SimClock::attach(SimDevice &device, std::shared_ptr<SimClock> clock)
{
    if (!clock)
        return;
    device.addRequestHook([clock](SimDevice &d, const SimRequest &request, SimAnswer &answer) {
        return clock->handle(d, request, answer);
    });
}

std::shared_ptr<SimClock> SimClock::attachNew(SimDevice &device)
{
    auto clock = std::make_shared<SimClock>();
    attach(device, clock);
    return clock;
}
