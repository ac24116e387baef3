#pragma once
#include <QtGlobal>
#include <array>

// The telegram image a window hands to the telegram thread: positions 4..275, where
// position k mirrors telegram byte k - 17 (18 = slave address, 21 = function code,
// 22/23 = address, 24 = count or first data byte).
class tyTelegramm
{
public:
    static constexpr int First = 4;
    static constexpr int Last = 275;

    tyTelegramm() { m_bytes.fill(0); }

    quint8 &operator[](int pos) { return m_bytes[size_t(clamp(pos))]; }
    quint8 operator[](int pos) const { return m_bytes[size_t(clamp(pos))]; }
    // Pointer into the image for Push, and how many bytes fit from there to the end.
    quint8 *At(int pos) { return m_bytes.data() + clamp(pos); }
    static int Capacity(int pos) { return Last + 1 - clamp(pos); }
    void Clear() { m_bytes.fill(0); }

private:
    static int clamp(int pos) { return pos < First ? First : pos > Last ? Last : pos; }
    std::array<quint8, Last + 1> m_bytes;
};

// Positions in the image.
namespace TelePos {
constexpr int Slave = 18;
constexpr int Own = 19;
constexpr int Length = 20;
constexpr int Code = 21;
constexpr int AddrHigh = 22;
constexpr int AddrLow = 23;
constexpr int CountOrData = 24;
} // namespace TelePos

// Reply indexes of the two report messages.
constexpr quint16 TeleDone = 101;
constexpr quint16 TeleValues = 102;

// Decoded report parameters.
struct TeleReport
{
    quint32 wParam = 0;
    quint32 lParam = 0;
    int State() const { return int(wParam >> 24); }
    int Result() const { return int((wParam >> 16) & 0xFF); }
    bool Ok() const { return Result() == 2; }
    quint8 Byte(int n) const { return quint8(lParam >> (8 * (4 - n))); } // n = 1..4
};
