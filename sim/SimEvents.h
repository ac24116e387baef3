#pragma once
#include <QtGlobal>
#include <array>
#include <memory>

class SimDevice;
struct SimRequest;
struct SimAnswer;

// The controller's event ring: 127 records of 8 bytes at 0x1000..0x13F7, the end pointer
// (next record to write) at 0x13F8 and the wrap word at 0x13FA. A code-53 read of a record
// answers with the device's text of it: 59 characters and the colour class.
// The ring lives beside the memory, not in it: only the reads the event window makes (the
// pointer read at 0x13F8, the year byte at either clock address + 5, the records) see it,
// so a block read of the parameter memory still equals the loaded file. A write at 0x13F8
// sets the pointers, which is how the memory is cleared. Whether the device says it has
// an event memory (bit 0x40 of 0x09B3) is the loaded file's.
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
    void append(const Record &r);
    // A long run: n events, one every few hours from a fixed date.
    void fill(int n);
    Record record(quint32 address) const;
    int end() const { return m_end; }
    int wrap() const { return m_wrap; }
    void setPointers(int end, int wrap);

    bool handle(const SimRequest &request, SimAnswer &answer);
    static std::shared_ptr<SimEvents> attach(SimDevice &d, int events = 170);

private:
    std::array<quint8, RingLast + RecordSize - RingStart> m_ring{};
    int m_end = RingStart;
    int m_wrap = 0;
    int m_year = 0;
};
