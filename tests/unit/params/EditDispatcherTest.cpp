// The edit dispatcher, headless: dialogs answered by script, writes into the image or to a
// recording writer.
#include "EditTestSupport.h"
#include "shell/Texts.h"
#include <cmath>

using namespace edit_test;

namespace {

class EditTest : public ::testing::Test
{
protected:
    void TearDown() override { ResetDecimalSeparator(); }
};

// --- Number parsing ----------------------------------------------------------------------

struct ParseRow
{
    const char *text;
    bool ok;
    double value;
};

TEST_F(EditTest, ParseEditNumberTakesPointOrCommaOnce)
{
    const ParseRow rows[] = {
        {"1.5", true, 1.5},   {"1,5", true, 1.5},   {" -2,25 ", true, -2.25}, {"12", true, 12},
        {"", false, 0},       {"   ", false, 0},    {"abc", false, 0},        {"1.2.3", false, 0},
        {"1,2.3", false, 0},  {"1,2,3", false, 0},  {"inf", false, 0},        {"nan", false, 0},
        {"1e400", false, 0},  {"5 0", false, 0},    {"0x10", false, 0},
    };
    for (const ParseRow &r : rows) {
        bool ok = !r.ok;
        const double v = ParseEditNumber(QString::fromUtf8(r.text), &ok);
        EXPECT_EQ(ok, r.ok) << r.text;
        EXPECT_DOUBLE_EQ(v, r.value) << r.text;
    }
}

TEST_F(EditTest, ParseNumberFailureShowsNichtMoeglichAndClearsAccepted)
{
    Bench b;
    b.editor.State.EditAccepted = true;
    EXPECT_EQ(b.editor.ParseNumber(QStringLiteral("x1")), 0.0f);
    EXPECT_FALSE(b.editor.State.EditAccepted);
    ASSERT_EQ(b.prompter.Errors.size(), 1);
    EXPECT_EQ(b.prompter.Errors.at(0), QStringLiteral(" Nicht möglich! "));
    EXPECT_FLOAT_EQ(b.editor.ParseNumber(QStringLiteral("3.75")), 3.75f);
    EXPECT_TRUE(b.editor.State.EditAccepted);
    SetDecimalSeparator(QLatin1Char('.'));
    EXPECT_FLOAT_EQ(b.editor.ParseNumber(QStringLiteral("3,75")), 3.75f);
}

// --- The dialog's arithmetic that the editors rely on ------------------------------------

TEST_F(EditTest, NumberRequestClampsOnTheDialogsGrid)
{
    NumberRequest r;
    r.Decimals = 2;
    r.Minimum = 47;
    r.Maximum = 52.5f;
    EXPECT_EQ(r.MinPosition(), 4700);
    EXPECT_EQ(r.MaxPosition(), 5250);
    EXPECT_FLOAT_EQ(r.Clamp(60), 52.5f);
    EXPECT_FALSE(r.InRange(60));
    EXPECT_TRUE(r.InRange(52.5));
    EXPECT_FLOAT_EQ(r.Clamp(50.004), 50.0f);

    NumberRequest tens;
    tens.Decimals = -1;
    tens.Minimum = 0;
    tens.Maximum = 2550;
    EXPECT_EQ(tens.MaxPosition(), 255);
    EXPECT_FLOAT_EQ(tens.Clamp(154), 150.0f);
    EXPECT_FLOAT_EQ(tens.Clamp(9999), 2550.0f);
}

TEST_F(EditTest, YesNoPreselectionComparesTheBlankFilledYesText)
{
    YesNoRequest r;
    r.YesText = QStringLiteral(" Ja");
    r.CurrentText = QStringLiteral("     Ja");
    EXPECT_EQ(r.Preselected(), 0);
    r.CurrentText = QStringLiteral("   Nein");
    EXPECT_EQ(r.Preselected(), 1);
}

TEST_F(EditTest, GridRowToParameterIndex)
{
    EXPECT_EQ(EditDispatcher::ParameterIndex(40, 5, 0), 41);
    EXPECT_EQ(EditDispatcher::ParameterIndex(40, 1, 0), 1);
    EXPECT_EQ(EditDispatcher::ParameterIndex(40, 2, 3), 44);
}

// --- Generic numeric codes ---------------------------------------------------------------

struct GenericRow
{
    int code;
    const char *min;
    const char *max;
    std::vector<int> bytes; // at 0x0A00 before the edit
    double typed;
    float editMin, editMax;
    int decimals;
    bool hex;
    std::vector<int> after; // at 0x0A00 after the edit
};

TEST_F(EditTest, GenericCodesLimitsDecimalsAndRawValues)
{
    const GenericRow rows[] = {
        {3, "0", "100", {0x00, 0x64}, 12.5, 0, 100, 1, false, {0x00, 0x7D}},
        {6, "-100", "100", {0x00, 0x00}, -5.5, -100, 100, 1, false, {0xFF, 0xC9}},
        {13, "0", "3", {0x00, 0x00}, 1.23, 0, 3, 2, false, {0x30, 0x0C}},
        {13, "0", "3", {0x80, 0x00}, 0.85, 0, 3, 2, false, {0xA1, 0x34}}, // bit 15 kept
        {15, "0", "25", {0x00, 0x33}, 0.05, 0, 25, 1, false, {0x00, 0x33}},
        {15, "0", "25", {0x00}, 2.0, 0, 25, 1, false, {19, 0}},
        {27, "-10", "10", {0x00}, -3, -10, 10, 0, false, {253}},
        {28, "4", "3", {0x8F}, 5, 0, 7, 0, false, {0xDF}},
        {28, "0", "2", {0xFF}, 0, 0, 3, 0, false, {0xFC}},
        {40, "0", "F", {0x3C}, 10, 0, 15, 0, false, {0x3A}},
        {41, "0", "F", {0x3C}, 10, 0, 15, 0, false, {0xAC}},
        {1, "0", "FFFF", {0x12, 0x34}, 0x1A, 0, 65535, 0, true, {0x00, 0x1A}},
        {96, "0", "100", {0, 0}, 7.5, 0, 100, 1, false, {0x01, 0x77}},
        {99, "0", "100", {0, 0}, 1.5, 0, 100, 1, false, {0x01, 0x80}},
        {101, "0", "1000", {0, 0}, 100, 0, 1000, 0, false, {0x00, 63}},
        {103, "-10", "5000", {0, 0}, 990, -10, 5000, 0, false, {0x00, 50}},
        {192, "0", "1275", {0}, 1000, 0, 1275, 0, false, {200}},
        {193, "0", "25", {0}, 0.1, 0, 25, 1, false, {0}},
        {209, "0", "5000", {0}, 1000, 0, 5000, 0, false, {50}},
        {219, "2,5", "34", {0}, 3.5, 2.5f, 34, 1, false, {8}},
        {221, "0", "60", {0}, 30, 0, 60, 0, false, {128}},
        {215, "0", "9999", {0, 0}, 1234, 0, 9999, 0, false, {0x04, 0xD2}},
    };
    for (const GenericRow &r : rows) {
        SCOPED_TRACE(testing::Message() << "code " << r.code << " typed " << r.typed);
        Bench b;
        const int i = b.Add(r.code, QString::fromUtf8(r.min), QString::fromUtf8(r.max));
        for (size_t k = 0; k < r.bytes.size(); ++k)
            b.SetByte(0x0A00 + int(k), r.bytes[k]);
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written) << b.prompter.All().join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(b.dialogs.Requests.size(), 1u);
        EXPECT_FLOAT_EQ(b.Last().Minimum, r.editMin);
        EXPECT_FLOAT_EQ(b.Last().Maximum, r.editMax);
        EXPECT_EQ(b.Last().Decimals, r.decimals);
        EXPECT_EQ(b.Last().Hex, r.hex);
        EXPECT_EQ(b.Last().Caption, QStringLiteral("Wert"));
        for (size_t k = 0; k < r.after.size(); ++k)
            EXPECT_EQ(b.Byte(0x0A00 + int(k)), r.after[k]) << "byte " << k;
        EXPECT_TRUE(b.host.Dependencies.empty());
        EXPECT_TRUE(b.editor.PendingAction.isEmpty());
        EXPECT_EQ(b.editor.State.EditStage, 0);
    }
}

TEST_F(EditTest, CaptionIsTheParameterTextWithoutPrefixOrUnitColumn)
{
    struct CaptionRow
    {
        const char *text, *unit, *caption;
    } rows[] = {
        {"U/minNenndrehzahl", "U/min", "Nenndrehzahl"},
        {"P12 - Nennspannung", "V", " Nennspannung"},
        {"Wert ohne Einheit", "", "Wert ohne Einheit"},
        {"Hz   Frequenz", "V", "Hz   Frequenz"}, // not its unit: the text stays whole
    };
    for (const CaptionRow &r : rows) {
        SCOPED_TRACE(r.text);
        Bench b;
        b.dev.d->Params.AddFromLine(QStringLiteral("%1*0A00;3;0;100;%2").arg(QString::fromUtf8(r.text), QString::fromUtf8(r.unit)));
        EXPECT_EQ(b.Edit(b.dev.d->Params.Count() - 1, {5}), EditResult::Written);
        ASSERT_EQ(b.dialogs.Requests.size(), 1u);
        EXPECT_EQ(b.Last().Caption, QString::fromUtf8(r.caption));
    }
}

TEST_F(EditTest, GenericStartValueAndStandardHintComeFromTheDefinitionLine)
{
    Bench b;
    const int i = b.Add(3, QStringLiteral("0,5"), QStringLiteral("99,5"));
    b.d().Params.Item(i).Unit = QStringLiteral("bar");
    b.SetWord(0x0A00, 123);
    b.Edit(i, {});
    ASSERT_EQ(b.dialogs.Requests.size(), 1u);
    EXPECT_FLOAT_EQ(b.Last().Start, 12.3f);
    EXPECT_FLOAT_EQ(b.Last().Minimum, 0.5f);
    EXPECT_EQ(b.Last().Hint, QStringLiteral("Gültige Eingabe: 0,5 - 99,5 bar"));
    EXPECT_EQ(b.Word(0x0A00), 123); // cancelled: unchanged
}

TEST_F(EditTest, VoltageFactorCodesUseNumberHintAndFactor)
{
    Bench b;
    b.d().State.MainsFactor = 138;
    const int i = b.Add(208, QString(), QString());
    EXPECT_EQ(b.Edit(i, {200}), EditResult::Written);
    EXPECT_FLOAT_EQ(b.Last().Minimum, 149);
    EXPECT_FLOAT_EQ(b.Last().Maximum, 276);
    EXPECT_EQ(b.Last().Hint, QStringLiteral("Gültige Eingabe: 149 - 276"));
    EXPECT_EQ(b.Byte(0x0A00), 115);

    Bench g;
    g.d().State.GenFactor = 60;
    const int j = g.Add(223, QString(), QString());
    EXPECT_EQ(g.Edit(j, {120}), EditResult::Written);
    EXPECT_FLOAT_EQ(g.Last().Minimum, 65);
    EXPECT_FLOAT_EQ(g.Last().Maximum, 120);
    EXPECT_EQ(g.Byte(0x0A00), 255);
}

TEST_F(EditTest, LimitThatIsNoNumberEndsWithoutDialog)
{
    Bench b;
    const int i = b.Add(3, QStringLiteral("abc"), QStringLiteral("10"));
    b.SetWord(0x0A00, 7);
    EXPECT_EQ(b.Edit(i, {5}), EditResult::Rejected);
    EXPECT_TRUE(b.dialogs.Requests.empty());
    EXPECT_EQ(b.prompter.Errors, QStringList{GetText(128)});
    EXPECT_EQ(b.Word(0x0A00), 7);
    EXPECT_TRUE(b.editor.PendingAction.isEmpty());
}

TEST_F(EditTest, AddressOutsideTheImageWritesNothing)
{
    Bench b;
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("FFFF"));
    const auto before = b.d().Geraet.Image;
    EXPECT_EQ(b.Edit(i, {5}), EditResult::Rejected);
    EXPECT_EQ(b.d().Geraet.Image, before);
    EXPECT_EQ(b.prompter.Errors.last(), GetText(128));

    Bench last; // a word whose second byte would lie past the end of the image
    const int j = last.Add(3, QStringLiteral("0"), QStringLiteral("100"), QStringLiteral("87FF"));
    const auto before2 = last.d().Geraet.Image;
    EXPECT_EQ(last.Edit(j, {5}), EditResult::Rejected);
    EXPECT_EQ(last.d().Geraet.Image, before2);
}

// --- Codes without an editor ------------------------------------------------------------

TEST_F(EditTest, NoEditorCodesEndAtOnce)
{
    for (int code : {25, 30, 42, 60, 120, 200, 213, 227, 229, 250}) {
        Bench b;
        const int i = b.Add(code, QStringLiteral("0"), QStringLiteral("9"));
        EXPECT_EQ(b.Edit(i, {1}), EditResult::NoEditor) << code;
        EXPECT_TRUE(b.dialogs.Requests.empty());
    }
    Bench text;
    const int t = text.Add(0, QString(), QString());
    EXPECT_EQ(text.Edit(t, {1}), EditResult::NoEditor);
}

// --- Access and link checks ---------------------------------------------------------------

TEST_F(EditTest, ModemWithoutFbedRefusesBeforeAnything)
{
    Bench b;
    b.host.Modem = true;
    b.host.Offline = false;
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("10"));
    EXPECT_EQ(b.Edit(i, {1}), EditResult::Refused);
    EXPECT_EQ(b.prompter.Infos, QStringList{GetText(314)});
    EXPECT_EQ(b.host.IdentAsked, 0);
    EXPECT_TRUE(b.dialogs.Requests.empty());
}

TEST_F(EditTest, OnlineEditOffersTheIdentDialogOnceThenRefuses)
{
    Bench b;
    b.host.Offline = false;
    b.host.IsOnline = true;
    b.d().State.AccessCode = QStringLiteral("04711");
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("10"));
    b.editor.State.EditRequested = true;
    EXPECT_EQ(b.Edit(i, {1}), EditResult::Refused);
    EXPECT_EQ(b.host.IdentAsked, 1);
    EXPECT_EQ(b.prompter.Errors, QStringList{QStringLiteral("Ident Nummer Mirelo falsch")});
    EXPECT_FALSE(b.editor.State.EditRequested);
    EXPECT_EQ(b.host.Resumes, 1);
    EXPECT_TRUE(b.writer.Writes.empty());
}

TEST_F(EditTest, OnlineEditGoesOnWhenTheIdentDialogIdentifies)
{
    Bench b;
    b.host.Offline = false;
    b.host.IsOnline = true;
    b.d().State.AccessCode = QStringLiteral("04711");
    b.host.IdentLevel = QStringLiteral("04711");
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("10"));
    EXPECT_EQ(b.Edit(i, {1}), EditResult::Sent);
    EXPECT_EQ(b.host.IdentAsked, 1);
    EXPECT_TRUE(b.access.Identified);
}

TEST_F(EditTest, OfflineEditNeedsNoIdentification)
{
    Bench b;
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("10"));
    EXPECT_EQ(b.Edit(i, {1}), EditResult::Written);
    EXPECT_EQ(b.host.IdentAsked, 0);
}

// --- Online path -------------------------------------------------------------------------

TEST_F(EditTest, OnlineWriteLeavesTheImageAndFinishesOnTheAcknowledgement)
{
    Bench b;
    b.host.Offline = false;
    b.host.IsOnline = true;
    b.access.Level = QStringLiteral("Fer");
    const int i = b.Add(9, QStringLiteral("0"), QStringLiteral("200"), QStringLiteral("0A01"));
    b.SetByte(0x0A01, 10);
    b.editor.State.EditRequested = true;
    EXPECT_EQ(b.Edit(i, {20}), EditResult::Sent);
    ASSERT_EQ(b.writer.Writes.size(), 1u);
    EXPECT_EQ(b.writer.Writes[0].index, 0x0201);
    EXPECT_EQ(b.writer.Writes[0].raw, 20);
    EXPECT_EQ(b.writer.Writes[0].count, 1);
    EXPECT_EQ(b.editor.State.SendHigh, 20);
    EXPECT_EQ(b.editor.State.EditStage, 1);
    EXPECT_EQ(b.editor.PendingAction, QStringLiteral("Werteingeben"));
    EXPECT_EQ(b.Byte(0x0A01), 10); // only the read-back changes the image
    EXPECT_TRUE(b.host.Dependencies.empty());

    EXPECT_EQ(b.editor.Continue(), EditResult::Finished);
    ASSERT_EQ(b.host.Dependencies.size(), 1u);
    EXPECT_EQ(b.host.Dependencies[0], std::make_pair(QStringLiteral("0A01"), 20));
    EXPECT_EQ(b.editor.State.EditStage, 0);
    EXPECT_TRUE(b.editor.PendingAction.isEmpty());
    EXPECT_EQ(b.host.Refreshes, 1);
}

TEST_F(EditTest, OnlineCancelSendsNothing)
{
    Bench b;
    b.host.Offline = false;
    b.host.IsOnline = true;
    b.access.Level = QStringLiteral("Cus");
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("10"));
    EXPECT_EQ(b.Edit(i, {}), EditResult::Cancelled);
    EXPECT_TRUE(b.writer.Writes.empty());
    EXPECT_EQ(b.editor.State.EditStage, 0);
    EXPECT_TRUE(b.editor.PendingAction.isEmpty());
}

TEST_F(EditTest, OnlineWordGoesHighByteFirst)
{
    Bench b;
    b.host.Offline = false;
    b.access.Level = QStringLiteral("Cus");
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("1000"));
    EXPECT_EQ(b.Edit(i, {513.5}), EditResult::Sent);
    EXPECT_EQ(b.writer.Writes.at(0).raw, 5135);
    EXPECT_EQ(b.editor.State.SendHigh, 5135 >> 8);
    EXPECT_EQ(b.editor.State.SendLow, 5135 & 0xFF);
    EXPECT_EQ(b.writer.Writes.at(0).count, 2);
}

TEST_F(EditTest, NewEditFromTheGridReplacesAnUnacknowledgedOne)
{
    Bench b;
    b.host.Offline = false;
    b.access.Level = QStringLiteral("Cus");
    const int first = b.Add(3, QStringLiteral("0"), QStringLiteral("10"));
    const int second = b.Add(10, QStringLiteral("0"), QStringLiteral("10"), QStringLiteral("0A10"));
    EXPECT_EQ(b.Edit(first, {1}), EditResult::Sent);
    EXPECT_EQ(b.editor.State.EditStage, 1);
    // The acknowledgement never came; the next double click opens the next dialog at once.
    EXPECT_EQ(b.Edit(second, {2}), EditResult::Sent);
    EXPECT_EQ(b.dialogs.Requests.size(), 2u);
    ASSERT_EQ(b.writer.Writes.size(), 2u);
    EXPECT_EQ(b.writer.Writes[1].index, 0x210);
    EXPECT_EQ(b.writer.Writes[1].raw, 20);
    EXPECT_EQ(b.editor.State.EditType, 10);
    EXPECT_EQ(b.editor.State.EditIndex, second);
}

TEST_F(EditTest, RefusedWriteEndsTheEdit)
{
    Bench b;
    b.host.Offline = false;
    b.access.Level = QStringLiteral("Cus");
    b.writer.Accept = false;
    const int i = b.Add(3, QStringLiteral("0"), QStringLiteral("10"));
    EXPECT_EQ(b.Edit(i, {1}), EditResult::Refused);
    EXPECT_TRUE(b.editor.PendingAction.isEmpty());
}

} // namespace
