#include "SimEvents.h"
#include "SimDevice.h"
#include <QDateTime>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
struct Kind
{
    const char *text;
    int colour;
};
// Plain ASCII: the device's event texts have no umlauts.
const Kind kKinds[] = {
    {"Betriebsart Auto", 3},          {"Betriebsart Manual", 3},      {"Betriebsart Off   ", 3},
    {"Netzausfall                kommt", 2}, {"Netzausfall                geht", 1},
    {"Gen. Schalter ist ein   ", 1}, {"Netzschalter ist ein    ", 1}, {"Ueberdrehzahl              kommt", 4},
    {"Sammelstoerung Warnung     kommt", 2}, {"Fernstart", 0},           {"Generatorspannung ist gut ", 1},
    {"Oeldruck zu niedrig        kommt", 4},
};
} // namespace

int SimEvents::kindCount()
{
    return int(sizeof kKinds / sizeof kKinds[0]);
}

std::array<quint8, SimEvents::TextSize> SimEvents::render(const Record &r)
{
    std::array<quint8, TextSize> out{};
    const Kind &k = kKinds[r[0] % kindCount()];
    char text[128];
    std::snprintf(text, sizeof text, "%02u %02u.%02u. %02u:%02u:%02u %s", unsigned(r[3] % 100), unsigned(r[1]),
                  unsigned(r[2]), unsigned(r[4]), unsigned(r[5]), unsigned(r[6]), k.text);
    std::memset(out.data(), ' ', TextSize - 1);
    std::memcpy(out.data(), text, std::min<size_t>(std::strlen(text), TextSize - 1));
    out[TextSize - 1] = quint8(k.colour);
    return out;
}

void SimEvents::setPointers(int end, int wrap)
{
    m_end = end;
    m_wrap = wrap;
}

SimEvents::Record SimEvents::record(quint32 address) const
{
    Record r{};
    std::copy_n(m_ring.begin() + (address - RingStart), RecordSize, r.begin());
    return r;
}

void SimEvents::append(const Record &r)
{
    if (m_end < int(RingStart) || m_end > int(RingLast))
        m_end = RingStart;
    std::copy(r.begin(), r.end(), m_ring.begin() + (m_end - int(RingStart)));
    m_end += RecordSize;
    if (m_end > int(RingLast)) {
        m_end = RingStart;
        m_wrap = 1; // the ring is full from now on
    }
    m_year = r[3];
}

void SimEvents::fill(int n)
{
    m_ring.fill(0);
    m_end = RingStart;
    m_wrap = 0;
    QDateTime t(QDate(2025, 11, 3), QTime(6, 15, 0));
    for (int i = 0; i < n; ++i) {
        const QDate day = t.date();
        const QTime time = t.time();
        append({quint8((i * 7 + i / 12) % kindCount()), quint8(day.day()), quint8(day.month()),
                quint8(day.year() % 100), quint8(time.hour()), quint8(time.minute()), quint8(time.second()), 0});
        t = t.addSecs(3 * 3600 + 17 * 60 + 11);
    }
    m_year = t.date().year() % 100;
}

bool SimEvents::handle(const SimRequest &r, SimAnswer &a)
{
    if ((r.code == 4 || r.code == 20) && r.address == PointerAddress && r.data.size() >= 4) {
        m_end = r.data[0] << 8 | r.data[1];
        m_wrap = r.data[2] << 8 | r.data[3];
        return false; // the memory keeps the written bytes as well
    }
    if (r.code == 5 && r.address == PointerAddress && r.count <= 4) {
        const quint8 p[4] = {quint8(m_end >> 8), quint8(m_end), quint8(m_wrap >> 8), quint8(m_wrap)};
        a.data.assign(p, p + r.count);
        return true;
    }
    if (r.code == 5 && r.count == 1 && (r.address == 0x22FD || r.address == 0x0055)) {
        a.data = {quint8(m_year)};
        return true;
    }
    if (r.code != 53 || r.address < RingStart || r.address > RingLast || (r.address - RingStart) % RecordSize)
        return false;
    const auto text = render(record(r.address));
    a.data.assign(text.begin(), text.begin() + std::min(r.count, TextSize));
    return true;
}

std::shared_ptr<SimEvents> SimEvents::attach(SimDevice &device, int events)
{
    auto ring = std::make_shared<SimEvents>();
    ring->fill(events);
    device.addRequestHook([ring](SimDevice &, const SimRequest &r, SimAnswer &a) { return ring->handle(r, a); });
    return ring;
}
