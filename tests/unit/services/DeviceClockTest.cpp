// Clock bytes as shown and as written, and which address a clock kind uses.
#include "services/DeviceClock.h"
#include <gtest/gtest.h>

namespace {

struct ShowCase
{
    std::array<quint8, 6> bytes; // seconds .. year
    const char *shown;
};

TEST(DeviceClockFormat, BytesAreShownAsDateAndTime)
{
    const ShowCase cases[] = {
        {{5, 4, 13, 24, 12, 25}, "24.12.2025 13:04:05"},
        {{0, 0, 0, 1, 1, 0}, "01.01.2000 00:00:00"},
        {{59, 59, 23, 31, 12, 79}, "31.12.2079 23:59:59"}, // last year with the century
        {{1, 2, 3, 4, 5, 80}, "04.05.80 03:02:01"},        // first year shown with two digits
        {{9, 8, 7, 6, 5, 99}, "06.05.99 07:08:09"},
        {{0, 0, 0, 0, 0, 255}, "00.00.255 00:00:00"},      // garbage bytes stay visible as such
    };
    for (const ShowCase &c : cases)
        EXPECT_EQ(DeviceClock::FormatDevice(c.bytes), QString::fromLatin1(c.shown)) << c.shown;
}

TEST(DeviceClockFormat, WrittenBytesForAGivenTime)
{
    struct
    {
        QDateTime t;
        std::array<quint8, 8> bytes;
    } cases[] = {
        {QDateTime(QDate(2031, 3, 1), QTime(7, 8, 9)), {9, 8, 7, 1, 3, 31, 0, 0}},
        {QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)), {0, 0, 0, 1, 1, 0, 0, 0}},
        {QDateTime(QDate(2099, 12, 31), QTime(23, 59, 59)), {59, 59, 23, 31, 12, 99, 0, 0}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DeviceClock::Encode(c.t), c.bytes) << c.t.toString().toStdString();
}

TEST(DeviceClockFormat, AddressByClockKind)
{
    EXPECT_EQ(DeviceClock::ClockAddress(QStringLiteral("3")), 0x22F8u);
    for (const char *kind : {"1", "2", "4", "", "33"})
        EXPECT_EQ(DeviceClock::ClockAddress(QString::fromLatin1(kind)), 0x0050u) << kind;
}

} // namespace
