// The event ring's addressing, the leading-number correction, the rewriting for transfer
// switches and the EVN file: round trip, header forms and refusal of bad files.
#include "services/EventMemory.h"
#include "shell/Texts.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(EventMemory, RecordAddressesFollowTheRing)
{
    const struct { int end, wrap, count, first, last; bool ok; } cases[] = {
        {0x1000, 0, 0, 0, 0, true},           {0x1008, 0, 1, 0x1000, 0x1000, true},
        {0x13F8, 0, 127, 0x1000, 0x13F0, true}, {0x1000, 1, 127, 0x1000, 0x13F0, true},
        {0x1100, 7, 127, 0x1100, 0x10F8, true}, {0x13F0, 1, 127, 0x13F0, 0x13E8, true},
        {0xFFFF, 0, 0, 0, 0, false},          {0x0FF8, 1, 0, 0, 0, false},
        {0x1004, 0, 0, 0, 0, false},          {0x1400, 0, 0, 0, 0, false},
    };
    for (const auto &c : cases) {
        QVector<quint16> a{1, 2};
        EXPECT_EQ(EventMemory::RecordAddresses(quint16(c.end), quint16(c.wrap), &a), c.ok) << c.end;
        ASSERT_EQ(a.size(), c.count) << std::hex << c.end;
        if (c.count) {
            EXPECT_EQ(a.first(), c.first) << std::hex << c.end;
            EXPECT_EQ(a.last(), c.last) << std::hex << c.end;
        }
    }
}

TEST(EventMemory, LeadingNumberFollowsTheReference)
{
    const struct { int reference; const char *in, *out; } cases[] = {
        {24, "08 x", "24 x"}, {20, "08 x", "08 x"}, {23, "08 x", "08 x"}, {39, "08 x", "24 x"},
        {40, "08 x", "08 x"}, {26, "26 x", "26 x"}, {99, "70 x", "86 x"}, {110, "90 x", "90 x"}, {24, "a8 x", "a8 x"}, {24, "8", "8"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(EventMemory::AdjustNumber(QString::fromLatin1(c.in), c.reference), QString::fromLatin1(c.out))
            << c.reference << " " << c.in;
}

TEST(EventMemory, TransferSwitchLinesAreRewrittenAndFiltered)
{
    auto line = [](const char *t) { return EventLine{Evn::Fit(QString::fromLatin1(t)), 3}; };
    const QVector<EventLine> in{line("26 01.02. 10:00:00 Betriebsart Manual "), line("26 01.02. 10:00:01 Fernstart"),
                                line("26 01.02. 10:00:02 Betriebsart Off    "),
                                line("26 01.02. 10:00:03 Netzausfall   kommt")};
    EXPECT_EQ(EventMemory::ForDisplay(in, 12), in);
    const auto out = EventMemory::ForDisplay(in, 53);
    ASSERT_EQ(out.size(), 3);
    EXPECT_TRUE(out[0].Text.startsWith(QLatin1String("26 01.02. 10:00:00 Betriebsart Auto   ")));
    EXPECT_TRUE(out[1].Text.startsWith(QLatin1String("26 01.02. 10:00:02 Betriebsart Manual ")));
    EXPECT_EQ(out[2].Text.trimmed(), QLatin1String("26 01.02. 10:00:03Spannung Line 1 ist gut          geht"));
    for (const auto &l : out)
        EXPECT_EQ(l.Text.size(), Evn::TextWidth);
}

TEST(EventMemory, EvnRoundTripKeepsTextsAndColours)
{
    Evn::Header id{};
    for (int i = 0; i < 16; ++i)
        id[size_t(i)] = quint8(i * 17);
    const QVector<EventLine> lines{
        {QStringLiteral("26 03.11. 06:15:00 Betriebsart Auto"), 3},
        {QStringLiteral("26 03.11. 09:32:11 Überdrehzahl\tkommt") + QString(40, QLatin1Char('x')), 4},
        {QStringLiteral("26 03.11. 12:49:22 Netzausfall geht"), 1},
    };
    const QByteArray file = Evn::Write(id, lines);
    EXPECT_EQ(file.count("\r\n"), 19);
    EXPECT_TRUE(file.contains(QByteArray("\xDC"))); // the ANSI code page, not UTF-8
    Evn::Header back{};
    QVector<EventLine> got;
    QString why;
    ASSERT_TRUE(Evn::Read(file, &back, &got, &why)) << why.toStdString();
    EXPECT_EQ(back, id);
    ASSERT_EQ(got.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].Text, Evn::Fit(lines[i].Text));
        EXPECT_EQ(got[i].Colour, lines[i].Colour);
    }
    EXPECT_EQ(got[1].Text.mid(30, 7), QStringLiteral("l kommt")); // the tab became a blank
    // A 32-line header: the first 16 (bytes 0..15) are skipped.
    QByteArray longer;
    for (int i = 0; i < 16; ++i)
        longer += "200\r\n";
    Evn::Header again{};
    ASSERT_TRUE(Evn::Read(longer + file, &again, &got, &why));
    EXPECT_EQ(again, id);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.EVN"));
    ASSERT_TRUE(Evn::Save(path, id, lines, &why));
    ASSERT_TRUE(Evn::Load(path, &back, &got, &why));
    EXPECT_EQ(got.size(), 3);
    EXPECT_FALSE(Evn::Save(dir.filePath(QStringLiteral("no/such/b.EVN")), id, lines, &why));
    EXPECT_TRUE(why.contains(QLatin1String("b.EVN")));
}

TEST(EventMemory, BadEvnFilesAreRefusedWithoutChange)
{
    Evn::Header id{};
    const QByteArray good = Evn::Write(id, {{QStringLiteral("26 03.11. 06:15:00 x"), 2}});
    const QByteArray event = Evn::Fit(QStringLiteral("26 03.11. 06:15:00 y")).toLatin1();
    QByteArray many = good;
    for (int i = 0; i < 301; ++i)
        many += event + "1\r\n";
    const struct { QByteArray content; int text; } cases[] = {
        {good.mid(good.indexOf('\n') + 1), 640},                       // 15 header lines
        {QByteArray("256\r\n") + good.mid(good.indexOf('\n') + 1), 641}, // a byte out of range
        {good + "26 03.11. 06:15:00 short1\r\n", 642},
        {good + event + "a\r\n", 642},                                   // colour not a number
        {many, 643},
    };
    for (const auto &c : cases) {
        Evn::Header h;
        h.fill(7);
        QVector<EventLine> lines{{QStringLiteral("kept"), 1}};
        QString why;
        EXPECT_FALSE(Evn::Read(c.content, &h, &lines, &why)) << c.text;
        EXPECT_TRUE(why.startsWith(GetText(c.text).section(QLatin1Char('%'), 0, 0))) << why.toStdString();
        EXPECT_EQ(h[0], 7);
        EXPECT_EQ(lines.size(), 1);
    }
}

TEST(EventMemory, AColourOutsideTheClassesKeepsTheOneBefore)
{
    QVector<EventLine> lines;
    for (int c : {9, 2, 7, 4, -1, 1, 0, 5})
        lines.push_back({QStringLiteral("x"), c});
    EXPECT_EQ(Evn::DrawnColours(lines), (QVector<int>{0, 2, 2, 4, 4, 1, 0, 0}));
}

TEST(EventMemory, PrintedPagesHold56EventsAndAFooter)
{
    const struct
    {
        int events, pages, lastPageEvents;
    } cases[] = {{1, 1, 1}, {56, 1, 56}, {57, 2, 1}, {127, 3, 15}, {0, 0, 0}};
    const QString header = QStringLiteral("Auftrag: 5, F-Nummer: 00042");
    for (const auto &c : cases) {
        QVector<EventLine> lines;
        for (int i = 0; i < c.events; ++i)
            lines.push_back({QStringLiteral("%1 Ereignis").arg(i, 3, 10, QLatin1Char('0')), 3});
        // The page break does not reset a colour carried over a line without a class.
        if (c.events > 56)
            lines[56].Colour = 8;
        const auto pages = Evn::PrintPages(lines, header);
        ASSERT_EQ(pages.size(), c.pages) << c.events;
        for (int p = 0; p < pages.size(); ++p) {
            const auto &page = pages[p];
            ASSERT_EQ(page.size(), 60) << c.events;
            const int events = p + 1 == pages.size() ? c.lastPageEvents : 56;
            for (int n = 0; n < events; ++n) {
                EXPECT_EQ(page[n].Text, lines[p * 56 + n].Text) << c.events;
                EXPECT_EQ(page[n].Colour, 3) << c.events;
            }
            for (int n = events; n < 59; ++n)
                EXPECT_TRUE(page[n].Text.isEmpty()) << c.events << " line " << n + 1;
            EXPECT_EQ(page[59].Text, header + QStringLiteral("        ") + GetText(9) + QStringLiteral(": ") +
                                         QString::number(p + 1));
            EXPECT_EQ(page[59].Colour, 0);
        }
    }
}
