#include "device/DeviceData.h"
#include "monitor/DeviceInfo.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

TEST(DeviceInfo, LinesFollowWhatTheDeviceHas)
{
    struct Case
    {
        int order;
        bool ident;
        QByteArray special; // bytes from 33 on
        QStringList tail;   // lines after "PrgDate"
    } cases[] = {
        {0, false, QByteArray(), {}},
        {4711, false, QByteArray(), {QStringLiteral("Order 4711")}},
        {0, true, QByteArray(), {QStringLiteral("PIN 1234")}},
        {0, false, QByteArray("SPEZIAL\0REST", 12), {GetText(178), QStringLiteral("SPEZIAL")}},
        {0, false, QByteArray("AB\xff" "CD", 5), {GetText(178), QStringLiteral("AB")}},
        // The name ends with the block: byte 47 is its last character.
        {0, false, QByteArray("ABCDEFGHIJKLMNOPQRST"), {GetText(178), QStringLiteral("ABCDEFGHIJKLMNO")}},
        {0, false, QByteArray("\xff" "ABC", 4), {}},
    };
    for (const Case &c : cases) {
        DeviceData d;
        d.State.DeviceType = 9;
        d.Def.TypLines = QStringList{QStringLiteral("ZEV 202 PA")};
        d.Geraet.FNumber = QStringLiteral("12345");
        d.Geraet.ProgramVersion = 12;
        d.Geraet.IdentBlock[12] = 'b';
        d.Geraet.ProgramId = QStringLiteral("Z202 PA004");
        d.Geraet.ProgramDate = QStringLiteral("01.02.2003");
        d.OrderNumber = c.order;
        d.State.AccessCode = QStringLiteral("1234");
        for (int k = 0; k < c.special.size() && 33 + k < TGeraet::IdentSize; ++k)
            d.Geraet.IdentBlock[size_t(33 + k)] = quint8(c.special.at(k));
        const QStringList lines = DeviceInfoLines(d, c.ident);
        ASSERT_GE(lines.size(), 6);
        EXPECT_EQ(lines.at(0), QStringLiteral("ZEV 202 PA"));
        EXPECT_EQ(lines.at(1), QStringLiteral("F-Number 12345"));
        EXPECT_EQ(lines.at(3), QStringLiteral("PrgVersion 12b"));
        EXPECT_EQ(lines.at(4), QStringLiteral("PrgType Z202 PA004"));
        EXPECT_EQ(lines.mid(6), c.tail) << lines.join('|').toStdString();
    }
}

TEST(DeviceInfo, OtherDevicesShowIdentAndNoVersionLetter)
{
    DeviceData d;
    d.State.DeviceType = 37;
    d.Geraet.ProgramVersion = 8;
    d.Geraet.IdentBlock[12] = 'x';
    d.Geraet.ProgramId = QStringLiteral("ZNAE 9512");
    d.ProtectionText = QStringLiteral("U F ");
    d.State.AccessCode = QStringLiteral("77");
    const QStringList lines = DeviceInfoLines(d, true);
    EXPECT_EQ(lines.at(3), QStringLiteral("PrgVersion 8"));
    EXPECT_EQ(lines.at(4), QStringLiteral("PrgType ZNAE 9512 U F "));
    EXPECT_EQ(lines.last(), QStringLiteral("Ident 77"));
}

} // namespace
