// The modem's text side: phone book, command lines, answers, and the carrier read from
// the answers on a line without modem lines.
#include "link/ModemText.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

using namespace ModemText;

namespace {

QByteArray Book(int entries, const char *eol = "\r\n", bool cutLast = false)
{
    QByteArray b = QByteArray("Kopf\r\n").replace("\r\n", eol) + "f1:" + eol;
    for (int i = 0; i < entries; ++i) {
        const QByteArray baud = i % 2 ? "%B2400" : "";
        QList<QByteArray> fields = {"Name " + QByteArray::number(i), "0" + QByteArray::number(100 + i), "x", baud,
                                    "", "", "", ""};
        if (cutLast && i == entries - 1)
            fields = fields.mid(0, 3);
        for (const QByteArray &f : fields)
            b += f + eol;
    }
    return b;
}

} // namespace

TEST(ModemPhoneBook, ReadsEntriesAsTheFileHoldsThem)
{
    struct Case
    {
        const char *name;
        QByteArray bytes;
        PhoneBook::Status state;
        int entries;
        int notes;
    } cases[] = {
        {"hundred_of_120", Book(120), PhoneBook::Ok, MaxPhoneEntries, 0},
        {"lf_only", Book(3, "\n"), PhoneBook::Ok, 3, 0},
        {"last_cut_short", Book(4, "\r\n", true), PhoneBook::Ok, 3, 1},
        {"second_label_ends", Book(2) + "f1:\r\nSpäter\r\n1\r\n\r\n\r\n\r\n\r\n\r\n\r\n", PhoneBook::Ok, 2, 0},
        {"no_label", QByteArray("Name\r\n0123\r\n"), PhoneBook::LabelMissing, 0, 0},
        {"empty_file", QByteArray(), PhoneBook::LabelMissing, 0, 0},
        {"label_only", QByteArray("f1:"), PhoneBook::Ok, 0, 0},
        // The eighth line of the last entry is skipped anyway; the entry is complete without it.
        {"last_without_skip_line", QByteArray("f1:\nA\n1\n\n%B9600\n\n\n\n"), PhoneBook::Ok, 1, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const PhoneBook book = ParsePhoneBook(c.bytes);
        EXPECT_EQ(book.State, c.state);
        EXPECT_EQ(book.Entries.size(), c.entries);
        EXPECT_EQ(book.Notes.size(), c.notes) << book.Notes.join(QLatin1Char('|')).toStdString();
        for (const PhoneEntry &e : book.Entries)
            EXPECT_FALSE(e.Name.contains(QLatin1Char('\r')) || e.Number.contains(QLatin1Char('\r')));
    }
    const PhoneBook cut = ParsePhoneBook(Book(4, "\r\n", true));
    ASSERT_EQ(cut.Notes.size(), 1);
    EXPECT_EQ(cut.Notes.first(), GetText(726).arg(3 + 3 * LinesPerEntry)) << "names the line the entry starts at";
    EXPECT_EQ(ParsePhoneBook(Book(2)).Entries.at(1).Number, QStringLiteral("0101"));
}

TEST(ModemPhoneBook, BaudFieldCountsOnlyForSpeedsTheWindowCanUse)
{
    const struct
    {
        const char *field;
        const char *baud;
        bool noted;
    } cases[] = {{"%B9600", "9600", false}, {"%B2400", "2400", false}, {"%B19200", "19200", false},
                 {" %B 9600 ", "9600", false}, {"%B4800", "", true},  {"%Bfast", "", true},
                 {"9600", "", false},       {"", "", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        const PhoneBook book = ParsePhoneBook(QByteArray("f1:\r\nA\r\n1\r\n\r\n") + c.field + "\r\n\r\n\r\n\r\n\r\n");
        ASSERT_EQ(book.Entries.size(), 1);
        EXPECT_EQ(book.Entries.first().Baud(), QString::fromLatin1(c.baud));
        EXPECT_EQ(book.Notes.size(), c.noted ? 1 : 0);
    }
    EXPECT_EQ(PhoneBookMessage(PhoneBook::NotFound), QStringLiteral("File 'PENDRIX.NMR' not found."));
    EXPECT_EQ(PhoneBookMessage(PhoneBook::LabelMissing), QStringLiteral("Label 'f1:' missing in file PENDRIX.NMR"));
}

TEST(ModemCommand, LineBecomesWhatGoesToTheModem)
{
    const struct
    {
        Mode mode;
        const char *line;
        QByteArray sent;
    } cases[] = {
        {Mode::Dial, "0123", "ATD0123\r"},
        {Mode::Command, "at&f", "AT&F\r"},
        {Mode::Command, "+++", "+++"},
        {Mode::Init, "at\\n0 e0 q0 +ms=v34", "AT\\N0 E0 Q0 +MS=V34\r"},
        {Mode::Command, "", ""},
        {Mode::Dial, "", "ATD\r"},
        {Mode::Command, "hallo", "HALLO"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(CommandBytes(c.mode, QString::fromLatin1(c.line)), c.sent);
    }
}

TEST(ModemCommand, InitStringFollowsTheBaudRate)
{
    ModemStrings s;
    s.Ini2400 = QStringLiteral("A");
    s.Ini9600 = QStringLiteral("B");
    const struct
    {
        const char *baud;
        QString *slot;
    } cases[] = {{"2400", &s.Ini2400}, {"9600", &s.Ini9600}, {"19200", &s.Ini9600}, {"57600", nullptr}, {"", nullptr}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.baud);
        EXPECT_EQ(InitStringFor(QString::fromLatin1(c.baud), s), c.slot);
    }
}

TEST(ModemAnswer, ClassifiesVerboseAndDigitAnswers)
{
    const struct
    {
        const char *line;
        Answer answer;
        int baud;
        bool endsDial;
    } cases[] = {
        {"OK", Answer::Ok, 0, false},           {" ok ", Answer::Ok, 0, false},
        {"CONNECT 9600", Answer::Connect, 9600, false}, {"CONNECT 2400/ARQ", Answer::Connect, 2400, false},
        {"CONNECT", Answer::Connect, 0, false}, {"NO CARRIER", Answer::NoCarrier, 0, true},
        {"BUSY", Answer::Busy, 0, true},        {"ERROR", Answer::Error, 0, true},
        {"NO DIALTONE", Answer::NoDialtone, 0, true}, {"NO ANSWER", Answer::NoAnswer, 0, true},
        {"RING", Answer::Ring, 0, false},       {"ATD0123", Answer::Other, 0, false},
        {"", Answer::None, 0, false},           {"CONNECTED", Answer::Other, 0, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(Classify(QString::fromLatin1(c.line)), c.answer);
        EXPECT_EQ(ConnectBaud(QString::fromLatin1(c.line)), c.baud);
        EXPECT_EQ(EndsDialling(Classify(QString::fromLatin1(c.line))), c.endsDial);
    }
    LineSplitter split;
    EXPECT_TRUE(split.Add(QStringLiteral("\r\nCONN")).isEmpty());
    EXPECT_EQ(split.Add(QStringLiteral("ECT 9600\r\n\r\nOK\r")), QStringList({"CONNECT 9600", "OK"}));
}

TEST(ModemCarrierText, AnswersStandForTheCarrierLine)
{
    struct Step
    {
        bool sent; // written by the program, else received
        QByteArray bytes;
        bool carrier;
    };
    const struct
    {
        const char *name;
        std::vector<Step> steps;
    } cases[] = {
        {"connect_then_no_carrier",
         {{false, "\r\nCONNECT 9600\r\n", true}, {false, "\x37\x02\x07\x85", true}, {false, "\r\nNO CARRIER\r\n", false}}},
        {"connect_needs_its_line_end", {{false, "\r\nCONNECT 9600", false}, {false, "\r", true}}},
        {"telegram_bytes_with_the_word", {{false, "\x37\x10\x85" "CONNECT\r", false}}},
        {"too_long_a_line", {{false, "\r\nCONNECT " + QByteArray(60, '9') + "\r\n", false}}},
        {"ok_after_escape_keeps_it",
         {{false, "\r\nCONNECT 9600\r\n", true}, {true, "+++", true}, {false, "\r\nOK\r\n", true}}},
        {"ok_after_hang_up_ends_it",
         {{false, "\r\nCONNECT 9600\r\n", true}, {true, "ATH\r", true}, {false, "ATH\r\r\nOK\r\n", false}}},
        {"hang_up_after_telegram_bytes_and_escape",
         {{false, "\r\nCONNECT\r\n", true}, {true, "\x30\x30Q7", true}, {true, "+++", true},
          {false, "\r\nOK\r\n", true}, {true, "ATH\r", true}, {false, "\r\nOK\r\n", false}}},
        {"error_after_hang_up_keeps_it",
         {{false, "\r\nCONNECT\r\n", true}, {true, "ath0\r", true}, {false, "\r\nERROR\r\n", true},
          {false, "\r\nOK\r\n", true}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        CarrierFromText t;
        t.Reset();
        int n = 0;
        for (const Step &s : c.steps) {
            SCOPED_TRACE(n++);
            if (s.sent)
                t.Sent(reinterpret_cast<const quint8 *>(s.bytes.constData()), int(s.bytes.size()));
            else
                for (char b : s.bytes)
                    t.Feed(quint8(b));
            EXPECT_EQ(t.Carrier(), s.carrier);
        }
    }
}
