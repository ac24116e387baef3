#pragma once
#include <QtGlobal>
#include <array>

class SimDevice;

// The controller's event ring: 127 records of 8 bytes at 0x1000..0x13F7, the end pointer
// (next record to write) at 0x13F8 and the wrap word at 0x13FA. A code-53 read of a record
// answers with the device's text of it: 59 characters and the colour class. Clearing is
// the program's two writes into plain memory, so no hook is needed for it.
class SimEvents
{
public:
    static constexpr quint32 RingStart = 0x1000;
    static constexpr quint32 RingLast = 0x13F0;
    static constexpr quint32 PointerAddress = 0x13F8;
    static constexpr int RecordSize = 8;
    static constexpr int TextSize = 60;

    // Record: kind, day, month, year (two digits), hour, minute, second, 0.
    using Record = std::array<quint8, RecordSize>;
    static int kindCount();
    // The device's rendering of a record (59 text bytes, then the colour class).
    static std::array<quint8, TextSize> render(const Record &r);
    // Writes a record at the end pointer and moves it on, wrapping at the ring's end.
    static void append(SimDevice &d, const Record &r);
    // A long run: n events, one every few hours from a fixed date, with the year byte of
    // both clock addresses set to the last event's year.
    static void fill(SimDevice &d, int n);
    static void attach(SimDevice &d, int events = 170);
};
