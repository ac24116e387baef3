#include "SimEvents.h"
#include "SimDevice.h"
#include <QDateTime>
#include <cstdio>
#include <cstring>

namespace {
struct Kind
{
    const char *text;
    int colour;
};
// Plain ASCII, as the device's character set has no umlauts in its event texts.
const Kind kKinds[] = {
    {"Betriebsart Auto", 3},          {"Betriebsart Manual", 3},      {"Betriebsart Off   ", 3},
    {"Netzausfall                kommt", 2}, {"Netzausfall                geht", 1},
    {"Gen. Schalter ist ein   ", 1}, {"Netzschalter ist ein    ", 1}, {"Ueberdrehzahl              kommt", 4},
    {"Sammelstoerung Warnung     kommt", 2}, {"Fernstart", 0},           {"Generatorspannung ist gut ", 1},
    {"Oeldruck zu niedrig        kommt", 4},
};

int word(SimDevice &d, quint32 a)
{
    return d.byteAt(a) << 8 | d.byteAt(a + 1);
}
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

void SimEvents::append(SimDevice &d, const Record &r)
{
    int end = word(d, PointerAddress);
    if (end < int(RingStart) || end > int(RingLast))
        end = RingStart;
    for (int i = 0; i < RecordSize; ++i)
        d.setByte(quint32(end + i), r[size_t(i)]);
    end += RecordSize;
    if (end > int(RingLast)) {
        end = RingStart;
        d.setByte(PointerAddress + 3, 1); // the ring is full from now on
    }
    d.setByte(PointerAddress, quint8(end >> 8));
    d.setByte(PointerAddress + 1, quint8(end));
}

void SimEvents::fill(SimDevice &d, int n)
{
    for (quint32 a = RingStart; a < PointerAddress + 8; ++a)
        d.setByte(a, 0);
    d.setByte(PointerAddress, quint8(RingStart >> 8));
    QDateTime t(QDate(2025, 11, 3), QTime(6, 15, 0));
    for (int i = 0; i < n; ++i) {
        const QDate day = t.date();
        const QTime time = t.time();
        append(d, {quint8((i * 7 + i / 12) % kindCount()), quint8(day.day()), quint8(day.month()),
                   quint8(day.year() % 100), quint8(time.hour()), quint8(time.minute()), quint8(time.second()), 0});
        t = t.addSecs(3 * 3600 + 17 * 60 + 11);
    }
    // The year reference at both clock addresses + 5.
    d.setByte(0x22FD, quint8(t.date().year() % 100));
    d.setByte(0x0055, quint8(t.date().year() % 100));
    d.setByte(0x09B3, quint8(d.byteAt(0x09B3) | 0x40)); // this device has an event memory
}

void SimEvents::attach(SimDevice &device, int events)
{
    fill(device, events);
    device.addRequestHook([](SimDevice &d, const SimRequest &r, SimAnswer &a) {
        if (r.code != 53 || r.address < RingStart || r.address > RingLast || (r.address - RingStart) % RecordSize)
            return false;
        Record rec;
        for (int i = 0; i < RecordSize; ++i)
            rec[size_t(i)] = d.byteAt(r.address + quint32(i));
        const auto text = render(rec);
        a.data.assign(text.begin(), text.begin() + std::min(r.count, TextSize));
        return true;
    });
}
