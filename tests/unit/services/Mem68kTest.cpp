// S-records and the CPU area file: the writer, the whole-file check before anything is
// sent, the split into telegram-sized pieces and the bounds of an area.
#include "services/Mem68k.h"
#include "shell/Texts.h"
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {
QByteArray Bytes(std::initializer_list<int> v)
{
    QByteArray b;
    for (int x : v)
        b.append(char(x));
    return b;
}
} // namespace

TEST(Srec, RecordsAreCountAddressDataAndChecksumInUpperCase)
{
    EXPECT_EQ(Srec::S2Line(0x1000, Bytes({1, 2, 3})), QStringLiteral("S207001000010203E2"));
    // The line written is the line read back, for every byte value and a high address.
    QByteArray all;
    for (int i = 0; i < 64; ++i)
        all.append(char(0xC0 + i));
    const QString line = Srec::S2Line(0xFEDCBA, all);
    EXPECT_EQ(line, line.toUpper());
    QVector<Srec::Chunk> back;
    QString why;
    ASSERT_TRUE(Srec::ParseS2(line.toLatin1(), &back, &why)) << why.toStdString();
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back[0].Address, 0xFEDCBAu);
    EXPECT_EQ(back[0].Data, all);
    EXPECT_EQ(Srec::FileBytes({QStringLiteral("S0"), QStringLiteral("S8")}), QByteArray("S0\r\nS8\r\n"));
}

TEST(Srec, EveryS2LineIsCheckedBeforeAnythingIsTaken)
{
    const QString good = QStringLiteral("S207001000010203E2");
    const struct
    {
        const char *name;
        QString line; // becomes line 3, after a header and a good record
        bool ok;
        QString reason; // part of the message
    } cases[] = {
        {"good", good, true, {}},
        {"trailing CR and blanks", good + QStringLiteral(" \r\t "), true, {}},
        {"lower-case digits", good.toLower().replace(0, 2, QStringLiteral("S2")), true, {}},
        {"blank inside", QStringLiteral("S207001000 010203E2"), false, GetText(821).arg(QLatin1Char(' '))},
        {"not hex", QStringLiteral("S2070010000102G3E2"), false, GetText(821).arg(QLatin1Char('G'))},
        {"odd digits", QStringLiteral("S207001000010203E"), false, GetText(822)},
        {"only S2", QStringLiteral("S2"), false, GetText(823)},
        {"truncated", QStringLiteral("S2070010000102E2"), false, GetText(824).arg(7).arg(6)},
        {"bad checksum", QStringLiteral("S207001000010203E3"), false, GetText(825).arg(QStringLiteral("E3"), QStringLiteral("E2"))},
        {"past 24 bits", Srec::S2Line(0xFFFFFE, Bytes({1, 2, 3})), false,
         GetText(826).arg(QStringLiteral("FFFFFE")).arg(3)},
        {"last byte of the space", Srec::S2Line(0xFFFFFF, Bytes({9})), true, {}},
    };
    for (const auto &c : cases) {
        const QByteArray file = "S00600004844521B\r\n" + Srec::S2Line(0x2000, Bytes({5})).toLatin1() + "\r\n" +
                                c.line.toLatin1() + "\r\nS804000000FB\r\n";
        QVector<Srec::Chunk> out;
        QString why;
        EXPECT_EQ(Srec::ParseS2(file, &out, &why), c.ok) << c.name << ": " << why.toStdString();
        if (c.ok) {
            ASSERT_EQ(out.size(), 2) << c.name;
            EXPECT_EQ(out[1].Line, 3) << c.name;
        } else {
            EXPECT_TRUE(out.isEmpty()) << c.name << ": nothing passes from a refused file";
            EXPECT_EQ(why, GetText(820).arg(3).arg(c.reason)) << c.name;
        }
    }
}

TEST(Srec, OtherRecordTypesAreSkippedAndLongRecordsSplit)
{
    QVector<Srec::Chunk> out;
    QString why;
    ASSERT_TRUE(Srec::ParseS2("S1130000285F245F2212226A000424290008237C2A\r\nS30800001000010203E1\r\n", &out, &why));
    EXPECT_TRUE(out.isEmpty());

    QByteArray big;
    for (int i = 0; i < 150; ++i)
        big.append(char(i));
    const QVector<Srec::Chunk> pieces =
        Srec::Split({{0x1000, big.left(100), 2}, {0x3000, QByteArray(), 3}, {0xFFFF80, big.left(128), 4}});
    const struct
    {
        quint32 address;
        int size;
        int line;
    } expected[] = {{0x1000, 64, 2}, {0x1040, 36, 2}, {0xFFFF80, 64, 4}, {0xFFFFC0, 64, 4}};
    ASSERT_EQ(pieces.size(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(pieces[i].Address, expected[i].address) << i;
        EXPECT_EQ(pieces[i].Data.size(), expected[i].size) << i;
        EXPECT_EQ(pieces[i].Line, expected[i].line) << i;
        EXPECT_EQ(pieces[i].Data, big.mid(int(pieces[i].Address & 0xFF) % 128, expected[i].size)) << i;
    }
}

TEST(Mem68kAreas, AreaIsAStartAndALengthInsideThe24BitSpace)
{
    const struct
    {
        const char *value;
        bool ok;
        quint32 start, length;
    } cases[] = {
        {"$1000;100", true, 0x1000, 100}, {" 4096 ; $64 ", true, 4096, 100}, {"$FFFFFF;1", true, 0xFFFFFF, 1},
        {"0;$1000000", true, 0, 0x1000000}, {"0;0", false, 0, 0},       {"$FFFFFF;2", false, 0, 0},
        {"0;$1000001", false, 0, 0},       {"$1000000;1", false, 0, 0}, {"-5;10", false, 0, 0},
        {"10;-1", false, 0, 0},            {"abc", false, 0, 0},        {"10;", false, 0, 0},
        {"$;5", false, 0, 0},              {"1;2;3", false, 0, 0},      {"$10G;5", false, 0, 0},
    };
    for (const auto &c : cases) {
        Mem68kArea a;
        QString why;
        EXPECT_EQ(Mem68kAreaFile::ParseArea(QStringLiteral("X"), QString::fromLatin1(c.value), &a, &why), c.ok)
            << c.value;
        if (c.ok) {
            EXPECT_EQ(a.Start, c.start) << c.value;
            EXPECT_EQ(a.Length, c.length) << c.value;
        } else {
            EXPECT_FALSE(why.isEmpty()) << c.value;
        }
    }
}

TEST(Mem68kAreas, BadAreasAreNamedAndLeftOutTheRestStays)
{
    QTemporaryDir dir;
    Mem68kAreaFile file;
    EXPECT_FALSE(file.Load(dir.path() + QStringLiteral("/68000.ZPX")));
    EXPECT_TRUE(file.Areas().isEmpty());

    const QString path = dir.path() + QStringLiteral("/68000.ZPX");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("; example\r\n[MEMORY]\r\nRAM=$100000;$100\r\nLeer=$2000;0\r\nBoot-RAM2=$0;16\r\nROM=0;$40\r\n"
            "Kaputt=irgendwas\r\n[DEVICES]\r\nA=RAM, ROM\r\nB=Boot-RAM2 und rom\r\nC=\r\n");
    f.close();
    ASSERT_TRUE(file.Load(path));
    QStringList names;
    for (const Mem68kArea &a : file.Areas())
        names << a.Name;
    EXPECT_EQ(names, (QStringList{"RAM", "Boot-RAM2", "ROM"}));
    ASSERT_EQ(file.Problems().size(), 2);
    EXPECT_TRUE(file.Problems()[0].contains(QStringLiteral("68000.ZPX")) && file.Problems()[0].contains("Leer"));
    EXPECT_TRUE(file.Problems()[1].contains("Kaputt") && file.Problems()[1].contains(GetText(828)));
    EXPECT_EQ(file.CpuTypes(), (QStringList{"A", "B", "C"}));
    EXPECT_EQ(file.AreasOf("A"), (QStringList{"RAM", "ROM"}));
    EXPECT_EQ(file.AreasOf("B"), (QStringList{"Boot-RAM2", "ROM"})) << "RAM is no word of Boot-RAM2";
    EXPECT_TRUE(file.AreasOf("C").isEmpty());
    EXPECT_TRUE(file.AreasOf("unknown").isEmpty());
}

TEST(Srec, MutatedFilesEndInRecordsOrALineNumberNeverInACrash)
{
    std::mt19937 rng(6808);
    QStringList lines{Srec::HeaderLine()};
    for (int i = 0; i < 6; ++i) {
        QByteArray d;
        for (int k = 0; k < 40; ++k)
            d.append(char(rng() & 0xFF));
        lines << Srec::S2Line(0xFFFE00 + quint32(i) * 0x40, d);
    }
    lines << Srec::EndLine();
    const QByteArray good = Srec::FileBytes(lines);
    const char alphabet[] = "S2S0F9a \r\n\t;G\xFF";
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray bytes = good;
        for (int e = 1 + int(rng() % 4); e > 0 && !bytes.isEmpty(); --e) {
            const int at = int(rng() % bytes.size());
            switch (rng() % 3) {
            case 0: bytes[at] = alphabet[rng() % (sizeof(alphabet) - 1)]; break;
            case 1: bytes.remove(at, 1 + int(rng() % 3)); break;
            default: bytes.insert(at, alphabet[rng() % (sizeof(alphabet) - 1)]); break;
            }
        }
        QVector<Srec::Chunk> out;
        QString why;
        if (!Srec::ParseS2(bytes, &out, &why)) {
            ++refused;
            EXPECT_TRUE(out.isEmpty());
            EXPECT_TRUE(why.startsWith(GetText(820).left(6))) << why.toStdString();
            continue;
        }
        for (const Srec::Chunk &c : out) {
            EXPECT_LE(quint64(c.Address) + quint64(c.Data.size()), quint64(Srec::AddressSpace));
            for (const Srec::Chunk &piece : Srec::Split({c}))
                EXPECT_LE(piece.Data.size(), Srec::MaxBlock);
        }
    }
    EXPECT_GT(refused, 1000) << "most mutations break a record";
}
