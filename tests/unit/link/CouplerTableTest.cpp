// The data coupler's speed codes, its configuration bytes and the order of "PC Connect".
#include "link/Coupler.h"
#include <gtest/gtest.h>

TEST(CouplerTable, CodesCaptionsAndConfiguration)
{
    const struct
    {
        int code;
        const char *caption;
    } rows[] = {{219, "1200 BPS"}, {210, "2400 BPS"}, {201, "4800 BPS"},
                {192, "9600 BPS"}, {27, "15625 BPS"}, {9, "62500 BPS"}};
    for (int i = 0; i < Coupler::SpeedCount; ++i) {
        EXPECT_EQ(Coupler::IndexOfCode(rows[i].code), i);
        EXPECT_EQ(Coupler::Caption(i), QString::fromLatin1(rows[i].caption));
        EXPECT_EQ(Coupler::IndexOfBaud(QString::fromLatin1(rows[i].caption).section(' ', 0, 0).toInt()), i);
    }
    for (int code : {0, 1, 191, 193, 255})
        EXPECT_EQ(Coupler::IndexOfCode(code), -1) << code;
    EXPECT_EQ(Coupler::IndexOfBaud(19200), -1);
    EXPECT_EQ(Coupler::Configuration(210), (std::array<quint8, 6>{192, 0, 12, 210, 0, 12}));
}

TEST(CouplerTable, PcConnectTriesFourSpeedsWithoutThenWithHandshake)
{
    const char *bauds[] = {"1200", "2400", "4800", "9600"};
    for (int i = 0; i < Coupler::Tries; ++i) {
        const Coupler::PcSetting s = Coupler::PcTry(i);
        EXPECT_EQ(s.baud, QString::fromLatin1(bauds[i % 4]));
        EXPECT_EQ(s.handshake, i >= 4);
        EXPECT_EQ(Coupler::PcLabel(i), QStringLiteral("PC %1 BPS%2").arg(s.baud, i >= 4 ? " +HS" : ""));
    }
}
