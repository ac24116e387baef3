// The ZuviDezar layouts: telephone numbers in nibbles, the outside-line prefix, the SMS
// service centre fields and the alarm selection bits.
#include "services/ZuviDezar.h"
#include <gtest/gtest.h>

namespace {
using M = ZuviDezar::MasterBytes;
}

TEST(ZuviDezarCoding, NumbersAreWrittenAsNibblesWithAnEndMarkWhenThereIsRoom)
{
    const struct
    {
        int kind;
        const char *number;
        M bytes;
        const char *readBack;
    } cases[] = {
        {4, "0171,55", {0x40, 0x17, 0x1A, 0x55, 0xF0, 0, 0, 0, 0, 0}, "0171,55"},
        {1, "1234567890123456789", {0x11, 0x23, 0x45, 0x67, 0x89, 0x01, 0x23, 0x45, 0x67, 0x89}, "1234567890123456789"},
        {1, "12345678901234567890", {0x11, 0x23, 0x45, 0x67, 0x89, 0x01, 0x23, 0x45, 0x67, 0x89}, "1234567890123456789"},
        {1, "123456789012345678", {0x11, 0x23, 0x45, 0x67, 0x89, 0x01, 0x23, 0x45, 0x67, 0x8F}, "123456789012345678"},
        {0, "", {0x0F, 0, 0, 0, 0, 0, 0, 0, 0, 0}, ""},
        {2, "12", {0x21, 0x2F, 0, 0, 0, 0, 0, 0, 0, 0}, "12"},
        {3, "a1-2;", {0x31, 0x2B, 0xF0, 0, 0, 0, 0, 0, 0, 0}, "12;"},
    };
    for (const auto &c : cases) {
        const M b = ZuviDezar::EncodeMaster(c.kind, QString::fromLatin1(c.number));
        EXPECT_EQ(b, c.bytes) << c.number;
        EXPECT_EQ(ZuviDezar::KindOf(b), c.kind) << c.number;
        EXPECT_EQ(ZuviDezar::DecodeNumber(b), QString::fromLatin1(c.readBack)) << c.number;
    }
    // Nibbles 12..14 have no key of their own; they show as the characters after "9".
    EXPECT_EQ(ZuviDezar::DecodeNumber(M{0x0C, 0xDE, 0xF0, 0, 0, 0, 0, 0, 0, 0}), QStringLiteral("<=>"));
}

TEST(ZuviDezarCoding, OutsideLineAndSmscFields)
{
    const quint8 prefix[4] = {'0', 0x1F, ':', '9'};
    EXPECT_EQ(ZuviDezar::DecodeOutsideLine(prefix), QStringLiteral("0  9"));
    const struct
    {
        QString text;
        int digit; // -1: refused
    } cases[] = {{QStringLiteral("5"), 5}, {QStringLiteral(" 0"), 0}, {QStringLiteral("9x"), 9},
                 {QString(), -1},         {QStringLiteral(" "), -1}, {QStringLiteral("x"), -1},
                 {QString(QChar(0x0663)), -1}};
    for (const auto &c : cases) {
        int digit = -1;
        const bool ok = ZuviDezar::ParseSmsc(c.text, &digit);
        EXPECT_EQ(ok, c.digit >= 0) << c.text.toStdString();
        if (ok)
            EXPECT_EQ(digit, c.digit);
    }
}

TEST(ZuviDezarCoding, AlarmBitsFollowTheListAndKeepTheBytesBeyondIt)
{
    QVector<bool> checks(72, false);
    checks[0] = checks[9] = checks[71] = true;
    const QByteArray base(11, char(0xFF));
    const QByteArray bytes = ZuviDezar::BytesFromChecks(checks, base);
    EXPECT_EQ(bytes, QByteArray::fromHex("0102000000000000" "80" "ffff"));
    EXPECT_EQ(ZuviDezar::ChecksFromBytes(bytes, 72), checks);
    // Short bytes read as unchecked entries, never past their end.
    EXPECT_EQ(ZuviDezar::ChecksFromBytes(QByteArray(1, char(0x80)), 10).count(true), 1);
    for (const auto &[version, count, sent, text48] :
         {std::tuple{25, 72, 10, 64}, std::tuple{29, 72, 10, 64}, std::tuple{30, 88, 11, 48}}) {
        EXPECT_EQ(ZuviDezar::AlarmCount(version), count);
        EXPECT_EQ(ZuviDezar::AlarmBytes(version), sent);
        EXPECT_EQ(ZuviDezar::AlarmTextIndex(version, 48), text48);
        EXPECT_EQ(ZuviDezar::AlarmTextIndex(version, 47), 47);
    }
}
