// Period-coded values, analog switching points and the yes/no editors.
#include "EditTestSupport.h"
#include "shell/Texts.h"

using namespace edit_test;

namespace {

class EditPeriod : public ::testing::Test
{
protected:
    void TearDown() override { ResetDecimalSeparator(); }
};

// --- 210 ------------------------------------------------------------------------------------

TEST_F(EditPeriod, Code210WritesTheAnglePairOffline)
{
    Bench b(34);
    b.d().Geraet.SetWord(0x2C, 3600);
    const int i = Param(b, 210, "-60", "60");
    EXPECT_EQ(b.Edit(i, {30}), EditResult::Written) << Messages(b);
    EXPECT_EQ(b.Word(0x0A00), 1500);
    EXPECT_EQ(b.Word(0x0A02), 900);
    EXPECT_TRUE(b.host.Dependencies.empty());
}

TEST_F(EditPeriod, Code210OnlineSendsTheSecondWordInTheNextStage)
{
    Bench b(34);
    b.host.Offline = false;
    b.access.Level = QStringLiteral("Cus");
    b.d().Geraet.SetWord(0x2C, 3600);
    const int i = Param(b, 210, "-60", "60");
    EXPECT_EQ(b.Edit(i, {-30}), EditResult::Sent);
    ASSERT_EQ(b.writer.Writes.size(), 1u);
    EXPECT_EQ(b.writer.Writes[0].index, 0x200);
    EXPECT_EQ(b.writer.Writes[0].raw, 900);
    EXPECT_EQ(b.Continue(), EditResult::Sent);
    ASSERT_EQ(b.writer.Writes.size(), 2u);
    EXPECT_EQ(b.writer.Writes[1].index, 0x202);
    EXPECT_EQ(b.writer.Writes[1].raw, 1500);
    EXPECT_EQ(b.writer.Writes[1].count, 2);
    EXPECT_EQ(b.editor.State.EditStage, 2);
    EXPECT_EQ(b.Continue(), EditResult::Finished);
    EXPECT_EQ(b.editor.State.EditStage, 0);
    EXPECT_TRUE(b.host.Dependencies.empty());
    EXPECT_EQ(b.Word(0x0A00), 0); // nothing without the read-back
}

// --- 211, 212, 214, 220, 226 -------------------------------------------------------------------

TEST_F(EditPeriod, Code211ScalesByTheReferenceWord)
{
    struct Row
    {
        const char *key;
        bool offline;
        double typed;
        float lo, hi;
        int stored;
    } rows[] = {
        {"S1", true, 50, -100, 100, 74},  // 24.5 + 49 = 73.5, rounded
        {"S1", false, 50, -100, 100, 73}, // truncated for the device
        {"S2", true, 10, 4, 40, 5},       // 4.9 without the offset
        {"20", true, 400, 20, 400, 245},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.key << (r.offline ? " offline" : " online"));
        Bench b;
        b.host.Offline = r.offline;
        b.access.Level = QStringLiteral("Cus");
        b.d().Geraet.SetWord(0x42, 400);
        const int i = Param(b, 211, r.key, "0", "0A00", "%");
        const EditResult result = b.Edit(i, {r.typed});
        EXPECT_FLOAT_EQ(b.Last().Minimum, r.lo);
        EXPECT_FLOAT_EQ(b.Last().Maximum, r.hi);
        if (r.offline) {
            EXPECT_EQ(result, EditResult::Written);
            EXPECT_EQ(b.Byte(0x0A00), r.stored);
        } else {
            EXPECT_EQ(result, EditResult::Sent);
            EXPECT_EQ(b.writer.Writes.at(0).raw, r.stored);
            EXPECT_EQ(b.writer.Writes.at(0).count, 1);
        }
    }
    Bench hint;
    hint.d().Geraet.SetWord(0x42, 400);
    const int h = Param(hint, 211, "S1", "0", "0A00", "%");
    hint.Edit(h, {});
    EXPECT_EQ(hint.Last().Hint, QStringLiteral("Gültige Eingabe: -100 - 100 %"));

    Bench zero;
    const int z = Param(zero, 211, "S1", "0");
    EXPECT_EQ(zero.Edit(z, {1}), EditResult::Rejected);
    EXPECT_TRUE(zero.dialogs.Requests.empty());
    EXPECT_TRUE(zero.prompter.All().isEmpty());
}

TEST_F(EditPeriod, Code212PeriodOfASpeedIsCappedAndZeroIsRefused)
{
    struct Row
    {
        double typed;
        EditResult result;
        int stored;
    } rows[] = {{100, EditResult::Written, 5000},
                // Below 9 the period would not fit: the dialog starts there, never cuts a
                // period to another speed.
                {1, EditResult::Written, 55556},
                {0, EditResult::Written, 55556}};
    for (const Row &r : rows) {
        Bench b(34);
        b.d().Geraet.SetByte(0x2E, 1);
        b.d().Geraet.SetWord(0x56, 1000);
        b.d().Geraet.SetWord(0x54, 500);
        b.SetWord(0x0A00, 0x1234);
        const int i = Param(b, 212, "0", "5000");
        EXPECT_EQ(b.Edit(i, {r.typed}), r.result) << r.typed;
        EXPECT_FLOAT_EQ(b.Last().Minimum, 9);
        EXPECT_EQ(b.Word(0x0A00), r.stored);
        EXPECT_EQ(b.host.Dependencies.size(), r.result == EditResult::Written ? 1u : 0u);
    }
    Bench locked(34);
    const int j = Param(locked, 212, "0", "5000", "0144");
    EXPECT_EQ(locked.Edit(j, {100}), EditResult::Rejected);
    EXPECT_TRUE(locked.dialogs.Requests.empty());

    Bench compact(32, 0, 0x0100);
    compact.d().Geraet.SetWord(0x76, 2000);
    compact.d().Geraet.SetWord(0xA2, 30);
    compact.SetWord(0x0144, 100); // a zero period has no frequency to start from
    const int k = Param(compact, 212, "0", "5000", "0144");
    EXPECT_EQ(compact.Edit(k, {1000}), EditResult::Written);
    EXPECT_EQ(compact.Word(0x0144), 60);
}

TEST_F(EditPeriod, Code214ConstantByRatioBitAndDefinition)
{
    struct Row
    {
        int bits;
        const char *definition;
        int stored;
    } rows[] = {{0x02, "Z101 A70-020-DE.ZPA", 10000}, {0x00, "Z101 A70-020-DE.ZPA", 250},
                {0x02, "Z101 A70-018-DE.ZPA", 2500}}; // the grid's constant for this definition
    for (const Row &r : rows) {
        Bench b;
        b.d().Geraet.SetByte(0x2E, r.bits);
        b.d().State.DefinitionFile = QString::fromUtf8(r.definition);
        b.SetWord(0x0A00, 500);
        const int i = Param(b, 214, "0", "5000");
        EXPECT_EQ(b.Edit(i, {1000}), EditResult::Written);
        EXPECT_EQ(b.Word(0x0A00), r.stored) << r.definition;
    }
    Bench zero;
    const int z = Param(zero, 214, "0", "10");
    EXPECT_EQ(zero.Edit(z, {0}), EditResult::Rejected);
}

TEST_F(EditPeriod, Code220OffsetOfAFrequency)
{
    Bench b(34);
    b.d().Geraet.SetWord(0x2C, 5000);
    const int i = Param(b, 220, "0", "60");
    EXPECT_EQ(b.Edit(i, {1}), EditResult::Written) << Messages(b);
    EXPECT_EQ(b.Last().Decimals, 2);
    EXPECT_EQ(b.Word(0x0A00), 102); // 5000 × 5000 / 4900 − 5000
    ASSERT_EQ(b.host.Dependencies.size(), 1u);
    EXPECT_EQ(b.host.Dependencies[0].second, 102);

    Bench zero(34);
    zero.d().Geraet.SetWord(0x2C, 5000);
    zero.SetWord(0x0A00, 77);
    const int j = Param(zero, 220, "0", "60");
    EXPECT_EQ(zero.Edit(j, {50}), EditResult::Rejected);
    EXPECT_EQ(zero.Word(0x0A00), 77);
}

TEST_F(EditPeriod, Code226ByProgramVersion)
{
    struct Row
    {
        int version, base;
        double typed;
        int stored;
    } rows[] = {{8, 10000, 45, 1000}, {8, 4180, 45, 450}, {7, 3600, 10, 90}};
    for (const Row &r : rows) {
        Bench b(34, r.version);
        b.d().Geraet.SetWord(0x2C, r.base);
        const int i = Param(b, 226, "0", "360");
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written);
        EXPECT_EQ(b.Word(0x0A00), r.stored) << r.version << " " << r.base;
    }
}

// --- 216, 224 ----------------------------------------------------------------------------------

TEST_F(EditPeriod, Code216SwitchingPoint)
{
    struct Row
    {
        const char *address;
        int q, flags;
        float lo, hi;
        int decimals;
        double typed;
        EditResult result;
        int stored;
    } rows[] = {
        {"0176", 200, 0x04, -50, 200, 1, 100, EditResult::Written, 147},
        {"0176", 200, 0x00, 2, 200, 1, 100, EditResult::Written, 122},
        {"0176", 200, 0x04, -50, 200, 1, -50, EditResult::Rejected, 0x11}, // x = 0
        {"0176", 300, 0x00, 3, 300, 0, 300, EditResult::Written, 245},
        {"0140", 100, 0x08, -25, 100, 1, 0, EditResult::Written, 49},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << r.address << " Q " << r.q << " typed " << r.typed);
        Bench b(32, 0, 0x0100);
        const bool first = QString::fromUtf8(r.address) == QLatin1String("0176");
        b.d().Geraet.SetWord(first ? 0x74 : 0x42, r.q);
        b.d().Geraet.SetByte(0x6F, r.flags);
        const int address = QString::fromUtf8(r.address).toInt(nullptr, 16);
        b.SetByte(address, 0x11);
        const int i = Param(b, 216, "0", "0", r.address, "bar");
        EXPECT_EQ(b.Edit(i, {r.typed}), r.result) << Messages(b);
        EXPECT_FLOAT_EQ(b.Last().Minimum, r.lo);
        EXPECT_FLOAT_EQ(b.Last().Maximum, r.hi);
        EXPECT_EQ(b.Last().Decimals, r.decimals);
        EXPECT_EQ(b.Byte(address), r.stored);
        EXPECT_EQ(b.host.Dependencies.size(), r.result == EditResult::Written ? 1u : 0u);
    }
    Bench hint(32, 0, 0x0100);
    hint.d().Geraet.SetWord(0x74, 200);
    hint.d().Geraet.SetByte(0x6F, 0x04);
    const int h = Param(hint, 216, "0", "0", "0176", "bar");
    hint.Edit(h, {});
    EXPECT_EQ(hint.d().Params.GetMin(h), QStringLiteral("-50"));
    EXPECT_EQ(hint.d().Params.GetMax(h), QStringLiteral("200"));
    EXPECT_EQ(hint.Last().Hint, QStringLiteral("Gültige Eingabe: -50 - 200 bar"));

    Bench zero(32, 0, 0x0100);
    const int z = Param(zero, 216, "0", "0", "0176");
    EXPECT_EQ(zero.Edit(z, {1}), EditResult::Rejected);
    EXPECT_TRUE(zero.dialogs.Requests.empty());
    EXPECT_TRUE(zero.prompter.All().isEmpty());
}

TEST_F(EditPeriod, Code224LimitsFromThePairedPoints)
{
    struct Row
    {
        int pair;
        float lo, hi;
    } rows[] = {{0x10, 32.7f, 167.3f}, {0x00, 0, 167.3f}, {0x30, 32.7f, 200}};
    for (const Row &r : rows) {
        Bench b(32, 0, 0x0100);
        b.d().Geraet.SetWord(0x74, 200);
        b.d().Geraet.SetByte(0x6F, r.pair);
        b.d().Geraet.SetByte(0x76, 20);
        b.d().Geraet.SetByte(0x6C, 40);
        b.SetWord(0x017A, 0x0090); // the pointer to the byte the grid shows
        const int i = Param(b, 224, "0", "0", "017A");
        EXPECT_EQ(b.Edit(i, {100}), EditResult::Written) << r.pair;
        EXPECT_FLOAT_EQ(b.Last().Minimum, r.lo) << r.pair;
        EXPECT_FLOAT_EQ(b.Last().Maximum, r.hi) << r.pair;
        EXPECT_EQ(b.d().Geraet.GetByte(0x90), 122); // 100 × 245 / 200, where the pointer points
        EXPECT_EQ(b.Word(0x017A), 0x0090);           // the pointer itself is left alone
        EXPECT_EQ(b.dev.Param(i), QStringLiteral("   99,6")); // 122 × 200 / 245: the step is 0,8
        EXPECT_TRUE(b.host.Dependencies.empty());
    }
    Bench big(32, 0, 0x0100); // Q above 254: whole numbers
    big.d().Geraet.SetWord(0x42, 1000);
    big.d().Geraet.SetByte(0x6F, 0x40 | 0x08);
    big.d().Geraet.SetByte(0x40, 10);
    big.d().Geraet.SetByte(0x41, 5);
    const int j = Param(big, 224, "0", "0", "019F");
    big.Edit(j, {});
    EXPECT_EQ(big.Last().Decimals, 0);
    EXPECT_FLOAT_EQ(big.Last().Minimum, 51);   // 1000 / 196 × 10
    EXPECT_FLOAT_EQ(big.Last().Maximum, 1199); // 1000 / 196 × 235
}

// --- Yes/no codes --------------------------------------------------------------------------------

TEST_F(EditPeriod, ByteBitYesNo)
{
    struct Row
    {
        int type, code;
        const char *address;
        int before, answer, after, mask;
    } rows[] = {
        {52, 17, "05F0", 0x01, 0, 0x02, 0x02}, // transfer switch: bits 0 and 1 exclude each other
        {20, 17, "05F0", 0x01, 0, 0x03, 0x02},
        {52, 16, "05F0", 0x02, 0, 0x01, 0x01},
        {0, 51, "0A00", 0x00, 0, 0x08, 0x08}, // 51 is bit 3 like 19
        {0, 16, "0A00", 0xFF, 1, 0xFE, 0xFE},
        {0, 23, "0A00", 0x80, 1, 0x00, 0x7F},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " code " << r.code);
        Bench b(r.type, 0, 0x0100);
        const int address = QString::fromUtf8(r.address).toInt(nullptr, 16);
        b.SetByte(address, r.before);
        const int i = Param(b, r.code, "0", "0", r.address);
        b.dialogs.YesNo = {r.answer};
        EXPECT_EQ(b.editor.StartEdit(i), EditResult::Written) << Messages(b);
        EXPECT_EQ(b.Byte(address), r.after);
        ASSERT_EQ(b.host.BitDependencies.size(), 1u);
        EXPECT_EQ(std::get<0>(b.host.BitDependencies[0]), r.answer);
        EXPECT_EQ(std::get<1>(b.host.BitDependencies[0]), QString::fromUtf8(r.address));
        EXPECT_EQ(std::get<2>(b.host.BitDependencies[0]), r.mask);
        const YesNoRequest &q = b.dialogs.YesNoRequests.at(0);
        EXPECT_EQ(q.YesText, QStringLiteral(" Ja"));
        EXPECT_EQ(q.NoText, QStringLiteral("Nein"));
        EXPECT_EQ(q.Hint, QStringLiteral("Gültige Eingabe:   Ja / Nein"));
        EXPECT_EQ(b.editor.State.YesNoIndex, QString::number(r.answer));
    }
}

TEST_F(EditPeriod, YesNoPreselectsTheCurrentState)
{
    Bench b;
    b.SetByte(0x0A00, 0x04);
    const int on = Param(b, 18, "0", "0");
    const int off = Param(b, 19, "0", "0");
    b.editor.StartEdit(on);
    b.editor.StartEdit(off);
    ASSERT_EQ(b.dialogs.YesNoRequests.size(), 2u);
    EXPECT_EQ(b.dialogs.YesNoRequests[0].Preselected(), 0);
    EXPECT_EQ(b.dialogs.YesNoRequests[1].Preselected(), 1);
    EXPECT_EQ(b.Byte(0x0A00), 0x04); // both cancelled
}

TEST_F(EditPeriod, HardwareBitNeedsFer)
{
    Bench b;
    const int i = Param(b, 16, "H1", "0");
    b.dialogs.YesNo = {0};
    EXPECT_EQ(b.editor.StartEdit(i), EditResult::Refused);
    EXPECT_EQ(b.prompter.Errors, QStringList{GetText(105)});
    EXPECT_EQ(b.Byte(0x0A00), 0);

    Bench f;
    f.access.Level = QStringLiteral("Fer");
    const int j = Param(f, 16, "H1", "0");
    f.dialogs.YesNo = {0};
    EXPECT_EQ(f.editor.StartEdit(j), EditResult::Written);
    EXPECT_EQ(f.Byte(0x0A00), 1);
}

TEST_F(EditPeriod, WordBitsYesNo)
{
    struct Row
    {
        int code, before, answer, after;
    } rows[] = {
        {114, 0x0020, 0, 0x0010}, {115, 0x0010, 0, 0x0020}, {117, 0x00C0, 1, 0x0000}, {116, 0x0080, 0, 0x0040},
        {86, 0x4000, 1, 0x0000},  {86, 0x0000, 0, 0xC000},  {87, 0xFFFF, 1, 0xF3FF},  {88, 0x0000, 0, 0x00C0},
        {64, 0x0000, 0, 0x0001},  {73, 0xFFFF, 1, 0xFDFF},  {80, 0x0000, 0, 0x0400},  {85, 0x0000, 0, 0x8000},
    };
    for (const Row &r : rows) {
        Bench b;
        b.SetWord(0x0A00, r.before);
        const int i = Param(b, r.code, "0", "0");
        b.dialogs.YesNo = {r.answer};
        EXPECT_EQ(b.editor.StartEdit(i), EditResult::Written) << r.code;
        EXPECT_EQ(b.Word(0x0A00), r.after) << r.code;
        EXPECT_TRUE(b.host.BitDependencies.empty());
    }
}

TEST_F(EditPeriod, OnlineByteBitRunsItsDependencyAfterTheAcknowledgement)
{
    Bench b;
    b.host.Offline = false;
    b.access.Level = QStringLiteral("Cus");
    b.SetByte(0x0A00, 0x00);
    const int i = Param(b, 18, "0", "0");
    b.dialogs.YesNo = {0};
    EXPECT_EQ(b.editor.StartEdit(i), EditResult::Sent);
    EXPECT_EQ(b.writer.Writes.at(0).raw, 0x04);
    EXPECT_TRUE(b.host.BitDependencies.empty());
    EXPECT_EQ(b.editor.Continue(), EditResult::Finished);
    ASSERT_EQ(b.host.BitDependencies.size(), 1u);
    EXPECT_EQ(std::get<2>(b.host.BitDependencies[0]), 0x04);
}

} // namespace
