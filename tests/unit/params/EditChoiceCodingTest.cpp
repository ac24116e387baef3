// Choices, bit words, label texts, fault codings and relay functions, offline and online.
#include "EditTestSupport.h"
#include "shell/Texts.h"

using namespace edit_test;

namespace {

class EditChoice : public ::testing::Test
{
protected:
    void TearDown() override { ResetDecimalSeparator(); }
};

const QString kEdit = QStringLiteral("Werteingeben");

// A group heading followed by 22 option entries "Rnn-Option n" whose Min is 0x10 + n.
// Returns the index of the heading.
int OptionGroup(Bench &b, int code = 26, const char *max = "A2")
{
    b.d().Params.AddFromLine(QStringLiteral("++++    Relais K1    ++++*;0;;;"));
    const int heading = b.d().Params.Count() - 1;
    for (int n = 0; n < 22; ++n)
        b.dev.Add(code, QString::number(0x10 + n, 16), QString::fromUtf8(max), QStringLiteral("0A00"),
                  QStringLiteral("R%1-Option %1").arg(n));
    return heading;
}

QString Opt(int n) { return QStringLiteral("Option %1").arg(n); }

// Writes recorded online, each acknowledged by Continue() until the edit ends.
std::vector<std::array<int, 3>> RunOnline(Bench &b, int index)
{
    EXPECT_EQ(b.editor.StartEdit(index), EditResult::Sent);
    int stage = 1;
    for (EditResult r = EditResult::Sent; r == EditResult::Sent; r = b.Continue())
        EXPECT_EQ(b.editor.State.EditStage, stage++);
    EXPECT_EQ(b.editor.State.EditStage, 0);
    EXPECT_TRUE(b.editor.PendingAction.isEmpty());
    std::vector<std::array<int, 3>> writes;
    for (const auto &w : b.writer.Writes)
        writes.push_back({w.index, w.raw, w.count});
    return writes;
}

void GoOnline(Bench &b)
{
    b.host.Offline = false;
    b.access.Level = QStringLiteral("Cus");
}

// --- 26 ---------------------------------------------------------------------------------------

TEST_F(EditChoice, Code26PicksTheDialogByTypeVersionAndMax)
{
    struct Row
    {
        int type, version;
        const char *max;
        int dialog; // 8, 16 or 18 options
    } rows[] = {
        {0, 12, "A2", 16}, {14, 12, "A2", 16}, {12, 12, "A2", 16}, {0, 11, "A2", 8}, {0, 12, "A1", 8},
        {12, 5, "A1", 18}, {13, 0, "A3", 18},  {5, 7, "A2", 18},   {5, 6, "A2", 8},  {52, 7, "A2", 18},
        {20, 7, "A1", 8},  {40, 20, "A2", 8},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " version " << r.version << " " << r.max);
        Bench b(r.type, r.version);
        const int i = OptionGroup(b, 26, r.max) + 3;
        b.dialogs.Choices = {0x42};
        EXPECT_EQ(b.editor.StartEdit(i), EditResult::Written);
        EXPECT_EQ(b.Byte(0x0A00), 0x42);
        EXPECT_EQ(b.dialogs.Choice8Requests.size(), r.dialog == 8 ? 1u : 0u);
        EXPECT_EQ(b.dialogs.Choice16Requests.size(), r.dialog == 16 ? 1u : 0u);
        EXPECT_EQ(b.dialogs.RadioRequests.size(), r.dialog == 18 ? 1u : 0u);
        ASSERT_EQ(b.host.BitDependencies.size(), 1u);
        EXPECT_EQ(b.host.BitDependencies[0], std::make_tuple(1, QStringLiteral("0A00"), 0xF7));
    }
}

TEST_F(EditChoice, Code26TakesItsOptionsFromTheList)
{
    Bench b(0, 12);
    const int h = OptionGroup(b);
    b.d().Params.SetMin(h + 4, QStringLiteral("x")); // option 3 has no readable code
    b.editor.StartEdit(h + 9);                        // "A2": the whole group from its heading
    const Choice16Request &q = b.dialogs.Choice16Requests.at(0);
    EXPECT_EQ(q.Caption, QStringLiteral("Relais K1"));
    EXPECT_EQ(q.StartIndex, h + 1);
    EXPECT_EQ(q.Options[0], Opt(0));
    EXPECT_EQ(q.Options[19], Opt(19));
    EXPECT_EQ(q.OptionCodes[2], 0x12);
    EXPECT_EQ(q.OptionCodes[3], -1);
    EXPECT_EQ(q.OptionCodes[15], 0x1F);
    EXPECT_EQ(q.ProgramVersion, 12);

    struct Row
    {
        int version;
        const char *key, *max;
        int at;                     // parameter = heading + at
        std::vector<int> expected;  // option numbers, the rest empty
    } rows[] = {
        {12, "04", "A1", 9, {6, 7, 8, 9, 10, 11, 12, 13}}, // moved back two entries
        {12, "80", "A3", 9, {1, 2, 3, 4}},
        {12, "03", "A1", 1, {0, 1, 2, 3, 4, 5, 6, 7}},     // unknown key: no move
        {11, "01", "A2", 5, {1, 2, 4, 8, 16, 17, 18, 19}}, // old bit-coded outputs
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.key << " " << r.max);
        Bench c(0, r.version);
        const int g = OptionGroup(c);
        c.d().Params.SetMin(g + r.at, QString::fromUtf8(r.key));
        c.d().Params.SetMax(g + r.at, QString::fromUtf8(r.max));
        c.editor.StartEdit(g + r.at);
        const Choice8Request &o = c.dialogs.Choice8Requests.at(0);
        for (size_t k = 0; k < 20; ++k)
            EXPECT_EQ(o.Options[k], k < r.expected.size() ? Opt(r.expected[k]) : QString()) << k;
        EXPECT_EQ(c.editor.State.ChoiceTexts, o.Options);
    }
}

// A group of eight outputs followed by the next group: every dialog offers the group's own
// eight entries, never the next heading or its entries (whose codes mean other functions).
TEST_F(EditChoice, Code26OffersOnlyTheGroupsOwnEntries)
{
    struct Row
    {
        int type, version;
        int dialog; // 8, 16 or 18 options
    } rows[] = {{0, 12, 16}, {5, 7, 18}, {0, 11, 8}};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " version " << r.version);
        Bench b(r.type, r.version);
        b.d().Params.AddFromLine(QStringLiteral("+++ Funktion Eingang 1 +++*;0;;;"));
        const int h = b.d().Params.Count() - 1;
        for (int n = 0; n < 8; ++n)
            b.dev.Add(26, QString::number(n, 16), QStringLiteral("A2"), QStringLiteral("0A00"),
                      QStringLiteral("R%1-Option %1").arg(n));
        b.d().Params.AddFromLine(QStringLiteral("+++ Funktion Eingang 2 +++*;0;;;"));
        for (int n = 8; n < 20; ++n)
            b.dev.Add(26, QString::number(0x40 + n, 16), QStringLiteral("A2"), QStringLiteral("0A01"),
                      QStringLiteral("R%1-Option %1").arg(n));
        b.dialogs.Choices = {3};
        EXPECT_EQ(b.editor.StartEdit(h + 2), EditResult::Written);
        std::array<QString, 20> options;
        std::vector<int> codes;
        if (r.dialog == 16) {
            options = b.dialogs.Choice16Requests.at(0).Options;
            codes.assign(b.dialogs.Choice16Requests.at(0).OptionCodes.begin(),
                         b.dialogs.Choice16Requests.at(0).OptionCodes.end());
        } else if (r.dialog == 18) {
            options = b.dialogs.RadioRequests.at(0).Options;
            codes.assign(b.dialogs.RadioRequests.at(0).OptionCodes.begin(),
                         b.dialogs.RadioRequests.at(0).OptionCodes.end());
        } else {
            options = b.dialogs.Choice8Requests.at(0).Options;
        }
        for (size_t k = 0; k < options.size(); ++k)
            EXPECT_FALSE(options[k].contains(QLatin1String("Eingang 2")) ||
                         (k >= 8 && !options[k].isEmpty()))
                << k << " " << options[k].toStdString();
        for (size_t k = 0; k < codes.size(); ++k)
            EXPECT_EQ(codes[k], k < 8 ? int(k) : -1) << k;
    }
}

TEST_F(EditChoice, Code26OutsideTheControllersOffersFixedTexts)
{
    struct Row
    {
        const char *max, *caption;
        size_t count;
    } rows[] = {{"A1", "Relaisfunktion", 8}, {"A2", "Ausgangsfunktion", 8}, {"A3", "Relaisfunktion", 4}};
    for (const Row &r : rows) {
        Bench b(40);
        b.SetByte(0x0A00, 0x21);
        const int i = Param(b, 26, "01", r.max);
        b.editor.StartEdit(i);
        const Choice8Request &q = b.dialogs.Choice8Requests.at(0);
        EXPECT_EQ(q.Caption, QString::fromUtf8(r.caption));
        EXPECT_EQ(q.Current, 0x21);
        for (size_t k = 0; k < 20; ++k)
            EXPECT_EQ(q.Options[k].isEmpty(), k >= r.count) << r.max << " " << k;
    }
}

// --- 29 ---------------------------------------------------------------------------------------

TEST_F(EditChoice, Code29ShowsTheWordUnderItsHeading)
{
    Bench b;
    const int h = OptionGroup(b, 29);
    b.d().Params.SetMin(h + 3, QStringLiteral("3"));
    b.SetWord(0x0A00, 0x8004);
    b.dialogs.Choices = {0x4002};
    EXPECT_EQ(b.editor.StartEdit(h + 3), EditResult::Written);
    const BitWordRequest &q = b.dialogs.BitWordRequests.at(0);
    EXPECT_EQ(q.Caption, b.d().Params.Item(h).Text);
    EXPECT_EQ(q.Options[0], Opt(0));
    EXPECT_EQ(q.Options[14], Opt(14));
    EXPECT_TRUE(q.Options[15].isEmpty());
    EXPECT_EQ(q.Current, 0x8004);
    EXPECT_EQ(b.Word(0x0A00), 0x4002);
}

// --- 32, 35 -------------------------------------------------------------------------------------

TEST_F(EditChoice, LabelTextRecords)
{
    const QString empty = QString(10, QLatin1Char(' ')) + QStringLiteral("#  ") + QString(19, QLatin1Char(' '));
    const QString fixed1 = QString(12, QLatin1Char(' ')) + QStringLiteral("#01") + QString(17, QLatin1Char(' '));
    const QString odd = QStringLiteral("     Öldruck         niedrig    X"); // 33 characters
    struct Row
    {
        int type, code;
        const char *address;
        QString record, stored;
    } rows[] = {
        {0, 32, "0A00", odd, odd.left(32)}, {8, 35, "0400", empty, fixed1}, {27, 35, "0400", empty, fixed1},
        {8, 35, "0A00", empty, empty}, {0, 35, "0400", empty, empty},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " at " << r.address);
        Bench b(r.type, 0, 0x0100);
        const int i = Param(b, r.code, "31", "32", r.address);
        b.dialogs.Records = {r.record};
        EXPECT_EQ(b.editor.StartEdit(i), EditResult::Written);
        EXPECT_EQ(b.dialogs.LabelRequests.at(0).RecordLength, 32);
        const int at = QString::fromUtf8(r.address).toInt(nullptr, 16);
        QByteArray bytes;
        for (int k = 0; k < r.stored.size(); ++k)
            bytes += char(b.Byte(at + k));
        EXPECT_EQ(QString::fromLatin1(bytes), r.stored);
        EXPECT_EQ(b.Byte(at + 32), 0) << "the next record is untouched";
    }

    // The dialog gets the shown text without its "Alarm nn" or channel head.
    Bench b;
    const QByteArray letters("ABCDEFGHIJKLMNOPQRSTUVWXYZ1");
    for (int k = 0; k < letters.size(); ++k)
        b.SetByte(0x0A05 + k, letters[k]);
    b.editor.StartEdit(Param(b, 32, "31", "32", "0A00"));
    EXPECT_EQ(b.dialogs.LabelRequests.at(0).CurrentText, QStringLiteral(" 01|ABCDEFGHIJK|LMNOPQRSTUVWXYZ1|"));
    b.editor.StartEdit(Param(b, 35, "31", "32", "0D00"));
    EXPECT_EQ(b.dialogs.LabelRequests.at(1).CurrentText,
              (QString(10, QLatin1Char(' ')) + GetText(127) + QStringLiteral("01|           |                |")).mid(18));
}

TEST_F(EditChoice, LabelTextOnlineSendsPairsAndALastSingleCharacter)
{
    Bench b;
    GoOnline(b);
    const int i = Param(b, 32, "31", "32");
    b.dialogs.Records = {QStringLiteral("ABCDE")};
    const std::vector<std::array<int, 3>> expected = {{0x200, 0x4142, 2}, {0x202, 0x4344, 2}, {0x204, 0x45, 1}};
    EXPECT_EQ(RunOnline(b, i), expected);
    EXPECT_EQ(b.Word(0x0A00), 0); // the image changes only through the read-back
}

// --- 33 ---------------------------------------------------------------------------------------

TEST_F(EditChoice, Code33SpacesTheFourBytesByTheDevicesStep)
{
    struct Row
    {
        int type, version;
        const char *id;
        int step;
    } rows[] = {{5, 0, "", 6},          {0, 30, "", 8},         {0, 29, "", 6},        {40, 0, "ZWK2_MAN", 4},
                {5, 0, "ZMS371", 6},    {0, 30, "ZWK1 MAN", 4}, {52, 0, "ZW2M MAN", 6}};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " " << r.id);
        Bench b(r.type, r.version);
        b.access.Level = QStringLiteral("Mas"); // the full layout on every device
        b.d().Geraet.ProgramId = QString::fromUtf8(r.id);
        const int s = r.step;
        b.SetByte(0x0A00 + s, 0xFF);
        b.SetByte(0x0A00 + 3 * s, 0xFF);
        const int i = Param(b, 33, "04", "0");
        b.dialogs.Faults = {FaultFlags{0, 1, 1, 1}}; // V, 0, R, W
        EXPECT_EQ(b.editor.StartEdit(i), EditResult::Written);
        EXPECT_EQ(b.Byte(0x0A00), 0x04);
        EXPECT_EQ(b.Byte(0x0A00 + s), 0xFB);
        EXPECT_EQ(b.Byte(0x0A00 + 2 * s), 0x04);
        EXPECT_EQ(b.Byte(0x0A00 + 3 * s), 0xFB);
        EXPECT_EQ(b.dialogs.FaultRequests.at(0).Legend, GetText(23));
    }
    Bench unknown(40); // no step known: no dialog, nothing written
    EXPECT_EQ(unknown.editor.StartEdit(Param(unknown, 33, "04", "0")), EditResult::NoEditor);
    EXPECT_EQ(unknown.dialogs.Shown(), 0u);
    EXPECT_TRUE(unknown.editor.PendingAction.isEmpty());

    for (const char *level : {"Fer", "Mas"}) { // the transfer switches show only A/R below "Mas"
        Bench ts(52);
        ts.access.Level = QString::fromUtf8(level);
        ts.d().State.DefinitionFile = QStringLiteral("ZPA\\L-ORN.ZPA");
        ts.editor.StartEdit(Param(ts, 33, "01", "0"));
        const FaultCodingRequest &q = ts.dialogs.FaultRequests.at(0);
        EXPECT_EQ(q.Reduced, QByteArray(level) == "Fer");
        EXPECT_EQ(q.DeviceType, 52);
        EXPECT_EQ(q.DefinitionFile, ts.d().State.DefinitionFile);
    }
}

TEST_F(EditChoice, Code33ReducedLayoutKeepsTheBitsItDoesNotShow)
{
    // A transfer switch below "Mas" sees only A/R; its other three bytes of the coding
    // (delay, generator-on, shutdown) keep whatever they hold.
    struct Row
    {
        int others; // the three hidden bytes before the edit
        int ar;     // answer: 0 = A (bit clear), 1 = R (bit set)
    } rows[] = {{0xFF, 0}, {0xFF, 1}, {0x00, 1}, {0x5A, 0}};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "hidden " << r.others << " answer " << r.ar);
        Bench b(52);
        b.access.Level = QStringLiteral("Fer");
        const int s = 6;
        b.SetByte(0x0A00, r.others);
        b.SetByte(0x0A00 + s, r.others);
        b.SetByte(0x0A00 + 3 * s, r.others);
        b.SetByte(0x0A00 + 2 * s, r.ar ? 0xF0 : 0xF1);
        b.dialogs.Faults = {FaultFlags{0, 0, r.ar, 0}};
        EXPECT_EQ(b.editor.StartEdit(Param(b, 33, "01", "0")), EditResult::Written);
        EXPECT_EQ(b.Byte(0x0A00), r.others);
        EXPECT_EQ(b.Byte(0x0A00 + s), r.others);
        EXPECT_EQ(b.Byte(0x0A00 + 3 * s), r.others);
        EXPECT_EQ(b.Byte(0x0A00 + 2 * s), 0xF0 | r.ar);
    }
}

TEST_F(EditChoice, Code33MovedCodingOfTheSplDevices)
{
    for (bool offline : {true, false}) {
        SCOPED_TRACE(offline ? "offline" : "online");
        Bench b(5, 30);
        b.d().Geraet.ProgramId = QStringLiteral("Z101 SPL03 ");
        if (!offline)
            GoOnline(b);
        const int i = Param(b, 33, "01", "0", "0DD3"); // image index 0x5D3
        b.dialogs.Faults = {FaultFlags{0, 0, 1, 0}};
        if (offline) {
            EXPECT_EQ(b.editor.StartEdit(i), EditResult::Written);
            const int expected[][2] = {{0xB3, 1}, {0xB9, 1}, {0xBF, 0}, {0xC5, 1}, {0x5D3, 0}};
            for (const auto &e : expected)
                EXPECT_EQ(b.d().Geraet.GetByte(e[0]), e[1]) << e[0];
        } else {
            const std::vector<std::array<int, 3>> expected = {{0xB3, 1, 1}, {0xB9, 1, 1}, {0xBF, 1, 1}, {0xC5, 1, 1}};
            EXPECT_EQ(RunOnline(b, i), expected);
        }
    }
}

// --- 217, 218, 225 ----------------------------------------------------------------------------

TEST_F(EditChoice, FaultMasksWriteTheirBytesInOrder)
{
    // Flags A, U, S, 0: set, clear, set, clear. Set bytes start at 0, cleared ones at 0xFF.
    struct Row
    {
        int code, type;
        const char *address;
        int bit;
        std::vector<int> indexes; // in the order of writing
    } rows[] = {
        {217, 0, "0104", 0x04, {0x61, 0x63, 0x65, 0x67}}, {217, 32, "0101", 0x01, {0x81, 0x83, 0x85, 0x87}},
        {225, 0, "0180", 0x80, {0x60, 0x62, 0x64, 0x66}}, {225, 33, "0110", 0x10, {0x80, 0x82, 0x84, 0x86}},
        {218, 0, "0102", 0x02, {0x69, 0x6A, 0x6B}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.code << " type " << r.type);
        Bench b(r.type, 0, 0x0100);
        GoOnline(b);
        b.d().Geraet.SetByte(0x68, 0x5A);
        const int i = Param(b, r.code, "0", "0", r.address);
        b.dialogs.Faults = {FaultFlags{1, 1, 0, 0}};
        std::vector<std::array<int, 3>> expected;
        const bool set[] = {true, false, true, false};
        const size_t skip = r.code == 218 ? 1 : 0; // 218 has no A/R byte
        for (size_t k = 0; k < r.indexes.size(); ++k) {
            b.d().Geraet.SetByte(r.indexes[k], set[k + skip] ? 0 : 0xFF);
            expected.push_back({r.indexes[k], set[k + skip] ? r.bit : 0xFF & ~r.bit, 1});
        }
        EXPECT_EQ(RunOnline(b, i), expected);
        EXPECT_EQ(b.d().Geraet.GetByte(0x68), 0x5A);
    }

    Bench hint;
    hint.d().State.DefinitionFile = QStringLiteral("ZPA\\A70-025.ZPA");
    hint.editor.StartEdit(Param(hint, 217, "0", "0", "0101"));
    EXPECT_EQ(hint.dialogs.FaultRequests.at(0).Legend, GetText(125));
    Bench nobit; // an address that names no bit
    EXPECT_EQ(nobit.editor.StartEdit(Param(nobit, 225, "0", "0", "0A00")), EditResult::Rejected);
    EXPECT_EQ(nobit.dialogs.Shown(), 0u);
}

TEST_F(EditChoice, FailedWriteKeepsTheAcknowledgedBytesAndSendsNoMore)
{
    Bench b(0, 0, 0x0100);
    GoOnline(b);
    b.writer.ReadBack = &b.d().Geraet;
    b.writer.FailAt = 1;
    const int i = Param(b, 217, "0", "0", "0101");
    b.dialogs.Faults = {FaultFlags{0, 0, 0, 0}};
    EXPECT_EQ(b.editor.StartEdit(i), EditResult::Sent);
    EXPECT_EQ(b.Continue(), EditResult::Refused);
    EXPECT_EQ(b.writer.Writes.size(), 2u);
    EXPECT_EQ(b.d().Geraet.GetByte(0x61), 1);
    EXPECT_EQ(b.d().Geraet.GetByte(0x63), 0);
    EXPECT_EQ(b.editor.State.EditStage, 0);
    EXPECT_TRUE(b.editor.PendingAction.isEmpty());
}

// --- 222 ---------------------------------------------------------------------------------------

TEST_F(EditChoice, Code222RelayFunctions)
{
    struct Row
    {
        const char *address;
        bool dialog;
        RelayAnswer answer;
        EditResult result;
        int stored;
    } rows[] = {
        {"0100", false, {}, EditResult::Rejected, 0x7777},
        {"00", true, {1, false, {}}, EditResult::Rejected, 0x7777},
        {"0A00", true, {1, false, {}}, EditResult::Written, 0x0012},
        {"0A00", true, {2, true, QStringLiteral("1F")}, EditResult::Written, 0x001F},
        {"0A00", true, {2, true, QStringLiteral("-1")}, EditResult::Written, 0xFFFF},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.address);
        Bench b;
        b.d().Def.RelayFunctionTable = {{QStringLiteral("Aus"), QStringLiteral("0000")},
                                        {QStringLiteral("Sammelstörung"), QStringLiteral("0012")},
                                        {QStringLiteral("Flag"), QStringLiteral("FFFF")}};
        b.SetWord(0x0A00, 0x7777);
        const int i = b.dev.Add(222, QStringLiteral("0"), QStringLiteral("0"), QString::fromUtf8(r.address),
                                QStringLiteral("K 12 - Relais"));
        b.dialogs.Relays = {r.answer};
        EXPECT_EQ(b.editor.StartEdit(i), r.result);
        EXPECT_EQ(b.dialogs.RelayRequests.size(), r.dialog ? 1u : 0u);
        EXPECT_EQ(b.Word(0x0A00), r.stored);
        EXPECT_EQ(b.host.RelayPageChanges, r.result == EditResult::Written ? 1 : 0);
        if (r.dialog) {
            const RelayRequest &q = b.dialogs.RelayRequests[0];
            EXPECT_EQ(q.Entries.size(), 3);
            EXPECT_EQ(q.Caption, QStringLiteral("K 12 - Relais"));
        }
    }

    Bench online;
    GoOnline(online);
    online.d().Def.RelayFunctionTable = {{QStringLiteral("Aus"), QStringLiteral("0000")}};
    online.dialogs.Relays = {RelayAnswer{0, true, QStringLiteral("A5")}};
    EXPECT_EQ(online.editor.StartEdit(Param(online, 222, "0", "0")), EditResult::Sent);
    EXPECT_EQ(online.writer.Writes.at(0).raw, 0xA5);
    EXPECT_EQ(online.host.RelayPageChanges, 0);
    EXPECT_EQ(online.Continue(), EditResult::Finished);
    EXPECT_EQ(online.host.RelayPageChanges, 1);
}

// --- the common frame ------------------------------------------------------------------------------

TEST_F(EditChoice, CancelledDialogsWriteNothing)
{
    for (int code : {26, 29, 32, 33, 35, 217, 225, 222}) {
        Bench b(5, 0, 0x0100);
        b.d().Def.RelayFunctionTable = {{QStringLiteral("Aus"), QStringLiteral("0000")}};
        const int i = Param(b, code, "1", "32", "0104");
        const auto before = b.d().Geraet.Image;
        EXPECT_EQ(b.editor.StartEdit(i), EditResult::Cancelled) << code;
        EXPECT_EQ(b.dialogs.Shown(), 1u) << code;
        EXPECT_EQ(b.d().Geraet.Image, before) << code;
        EXPECT_TRUE(b.editor.PendingAction.isEmpty()) << code;
    }
}

TEST_F(EditChoice, ADependencyStepThatSendsEndsTheEditItself)
{
    struct Row
    {
        bool offline, takesOver;
    } rows[] = {{true, false}, {true, true}, {false, false}, {false, true}};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.offline << r.takesOver);
        Bench b;
        if (!r.offline)
            GoOnline(b);
        b.host.StepsTakeOver = r.takesOver;
        const int i = Param(b, 26, "01", "A1");
        b.dialogs.Choices = {0x01};
        EditResult result = b.editor.StartEdit(i);
        if (!r.offline) {
            EXPECT_EQ(result, EditResult::Sent);
            result = b.Continue();
        }
        EXPECT_EQ(result, r.offline ? EditResult::Written : EditResult::Finished);
        EXPECT_EQ(b.host.BitDependencies.size(), 1u);
        EXPECT_EQ(b.editor.PendingAction, r.takesOver ? kEdit : QString());
        EXPECT_EQ(b.host.Refreshes + b.host.Resumes > 0, !r.takesOver);
        b.editor.EndEdit(); // what the host does when its step has ended
        EXPECT_TRUE(b.editor.PendingAction.isEmpty());
        EXPECT_EQ(b.host.BitDependencies.size(), 1u);
    }
}

TEST_F(EditChoice, HardwareBitOfTheAlarmCodesNeedsFer)
{
    Bench b;
    b.access.Level = QStringLiteral("Mas");
    b.dialogs.YesNo = {0};
    EXPECT_EQ(b.editor.StartEdit(Param(b, 52, "H1", "0")), EditResult::Refused);
    EXPECT_EQ(b.prompter.Errors, QStringList{GetText(105)});
    EXPECT_EQ(b.dialogs.Shown(), 0u);
}

} // namespace
