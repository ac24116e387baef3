// The dependency steps, headless: the device image built by hand, the link a recorder that
// can be online or offline.
#include "device/DeviceData.h"
#include "params/Dependencies.h"
#include "shell/Texts.h"
#include "support/DefinitionFixtures.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Sent
{
    QString action;
    int address, value, bytes;
};

class RecordingLink : public DependencyLink
{
public:
    bool online = false;
    bool access = true;
    int code = 0;
    bool refuse = false;
    int reloads = 0;
    std::vector<Sent> writes;

    bool Online() const override { return online; }
    bool AccessGranted() const override { return access; }
    int LastResultCode() const override { return code; }
    bool Write(const QString &action, int address, int value, int bytes) override
    {
        writes.push_back({action, address, value, bytes});
        return !refuse;
    }
    void ReloadDefinition() override { ++reloads; }
};

struct Bench
{
    DeviceData data;
    RecordingPrompter prompter;
    RecordingLink link;
    ParameterDependencies deps{data, prompter, link};
    int finished = 0;

    explicit Bench(int type, bool online = false)
    {
        data.State.DeviceType = type;
        data.State.ImageBase = (type >= 32 && type <= 37) ? 0x0100 : 0x0800;
        link.online = online;
        deps.Finished = [this] { ++finished; };
    }
    long long at(int address) const { return data.State.IndexOf(address); }
    int byte(int address) const { return data.Geraet.GetByte(at(address)); }
    int word(int address) const { return data.Geraet.GetWord(at(address)); }
    void setByte(int address, int v) { data.Geraet.SetByte(at(address), v); }
    void setWord(int address, int v) { data.Geraet.SetWord(at(address), v); }
    // Acknowledges every write the way the device does (the read-back lands in the image)
    // until the step ends; returns how many acknowledgements it took.
    int acknowledgeAll()
    {
        int n = 0;
        while (deps.Running()) {
            const Sent &w = link.writes.back();
            w.bytes == 1 ? setByte(w.address, w.value) : setWord(w.address, w.value);
            ++n;
            if (!deps.Acknowledged())
                break;
        }
        return n;
    }
};

// Type 34 with the reference words R = W[0x2C], F = W[0x56] and PeriodBase.
void Reference(Bench &b, int r, int f, int periodBase)
{
    b.data.Geraet.SetWord(0x2C, r);
    b.data.Geraet.SetWord(0x56, f);
    b.data.PeriodBase = periodBase;
}

TEST(Dependencies, Type34ValueRulesRoundAndLimit)
{
    struct Row { const char *address; int v, r, f, target, expected; };
    const Row rows[] = {
        {"0193", 100, 200, 400, 0x0120, 200},
        {"0195", 5, 2, 1, 0x0122, 2},        // 2.5: half to even
        {"0199", 7, 2, 1, 0x0126, 4},        // 3.5: half to even
        {"0152", 10, 300, 100, 0x0191, 30},
        {"0144", 1000, 200, 2, 0x0183, 61440}, // above the limit
    };
    for (const Row &row : rows) {
        for (bool online : {false, true}) {
            Bench b(34, online);
            Reference(b, row.r, row.f, 5000);
            EXPECT_EQ(b.deps.ValueDependencies(QString::fromLatin1(row.address), row.v), online) << row.address;
            EXPECT_EQ(b.word(row.target), row.expected) << row.address;
            if (!online) {
                EXPECT_TRUE(b.link.writes.empty());
                continue;
            }
            ASSERT_EQ(b.link.writes.size(), 1u) << row.address;
            const Sent &w = b.link.writes[0];
            EXPECT_EQ(w.action, QStringLiteral("Sollwertabhängigkeit"));
            EXPECT_EQ(w.address, row.target);
            EXPECT_EQ(w.value, row.expected);
            EXPECT_EQ(w.bytes, 2);
            EXPECT_EQ(b.acknowledgeAll(), 1);
            EXPECT_EQ(b.finished, 1);
            EXPECT_FALSE(b.deps.Running());
        }
    }
}

void PrepareRecalculation(Bench &b)
{
    Reference(b, 12000, 6000, 5000);
    b.data.Geraet.SetByte(0x20, 100);
    b.data.Geraet.SetByte(0x22, 3); // 3.6: truncated
    b.data.Geraet.SetWord(0x44, 60000);
    b.data.Geraet.SetWord(0x46, 1001);
    b.data.Geraet.SetByte(0x9B, 10);
    b.data.Geraet.SetWord(0x9C, 5);
    b.data.Geraet.SetByte(0x2E, 0x80);
}

TEST(Dependencies, SwitchingPointsRecalculatedOffline)
{
    Bench b(34);
    PrepareRecalculation(b);
    EXPECT_FALSE(b.deps.ValueDependencies(QStringLiteral("0156"), 6000));
    EXPECT_EQ(b.byte(0x0120), 120);
    EXPECT_EQ(b.byte(0x0122), 3);
    EXPECT_EQ(b.word(0x0144), 61440);
    EXPECT_EQ(b.word(0x0146), 1201);
    EXPECT_EQ(b.byte(0x017B), 20);
    EXPECT_EQ(b.word(0x017C), 10);
    EXPECT_EQ(b.data.Geraet.GetByte(0x9B), 10); // the source stays
    EXPECT_TRUE(b.link.writes.empty());
    EXPECT_EQ(b.finished, 0);
    EXPECT_EQ(b.prompter.texts(), QStringList{GetText(107)});
}

TEST(Dependencies, SwitchingPointsOnlineOneWriteEachAndFinishedOnce)
{
    Bench b(34, true);
    PrepareRecalculation(b);
    ASSERT_TRUE(b.deps.ValueDependencies(QStringLiteral("0156"), 6000));
    EXPECT_TRUE(b.prompter.has(QStringLiteral("information"), GetText(108)));
    EXPECT_EQ(b.acknowledgeAll(), 14);
    std::vector<int> expected = {0x120, 0x121, 0x122, 0x123};
    for (int a = 0x144; a <= 0x152; a += 2)
        expected.push_back(a);
    expected.push_back(0x17B);
    expected.push_back(0x17C);
    ASSERT_EQ(b.link.writes.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(b.link.writes[k].address, expected[k]) << k;
        EXPECT_EQ(b.link.writes[k].bytes, k < 4 || k == 12 ? 1 : 2) << k;
    }
    EXPECT_EQ(b.link.writes[4].value, 61440);
    EXPECT_EQ(b.finished, 1);
    // The warning comes after the last acknowledgement, once.
    EXPECT_EQ(b.prompter.texts().count(GetText(107)), 1);
}

TEST(Dependencies, AbortStopsTheChainWhereItIs)
{
    Bench b(34, true);
    PrepareRecalculation(b);
    b.data.PeriodBase = 3000; // every value changes
    b.data.Geraet.SetWord(0x46, 1000);
    ASSERT_TRUE(b.deps.ValueDependencies(QStringLiteral("0156"), 6000));
    for (int k = 0; k < 4; ++k)
        ASSERT_TRUE(b.deps.Acknowledged());
    ASSERT_EQ(b.link.writes.size(), 5u); // four bytes, then the first word is under way
    b.deps.Abort();
    EXPECT_FALSE(b.deps.Running());
    EXPECT_FALSE(b.deps.Acknowledged());
    EXPECT_EQ(b.link.writes.size(), 5u);
    EXPECT_EQ(b.finished, 0);
    EXPECT_EQ(b.word(0x0146), 1000);
    EXPECT_EQ(b.byte(0x017B), 0);
}

// Online, but nothing may reach the device: no reference, locked device, no access, or a
// write refused before sending (the step then stops there).
TEST(Dependencies, RecalculationGuards)
{
    struct Row { int periodBase, code; bool access, refuse; size_t writes; int b120, w144; const char *message; };
    const Row rows[] = {
        {0, 0, true, false, 0, 100, 60000, "Value 0156 is 0000"},
        {5000, 244, true, false, 0, 120, 61440, nullptr},
        {5000, 245, true, false, 0, 120, 61440, nullptr},
        {5000, 0, false, false, 0, 120, 61440, nullptr},
        {5000, 0, true, true, 1, 120, 60000, nullptr},
    };
    for (const Row &row : rows) {
        Bench b(34, true);
        PrepareRecalculation(b);
        b.data.PeriodBase = row.periodBase;
        b.link.code = row.code;
        b.link.access = row.access;
        b.link.refuse = row.refuse;
        EXPECT_FALSE(b.deps.ValueDependencies(QStringLiteral("0156"), 6000)) << row.code;
        EXPECT_FALSE(b.deps.Running());
        EXPECT_EQ(b.link.writes.size(), row.writes) << row.code;
        EXPECT_EQ(b.byte(0x0120), row.b120) << row.code;
        EXPECT_EQ(b.word(0x0144), row.w144) << row.code;
        if (row.message) {
            EXPECT_EQ(b.prompter.texts(), QStringList{QString::fromLatin1(row.message)});
        }
    }
}

TEST(Dependencies, SwitchingPointLimitsOfTheA70Definitions)
{
    struct Row { const char *def, *address; int v, flags, dependent, before, after; };
    const Row rows[] = {
        {"A70-020", "0176", 50, 0x00, 0x7A, 200, 0},   // 250 > 245
        {"A70-020", "0176", 50, 0x00, 0x7A, 195, 195}, // 245 is still in range
        {"A70-022", "0176", 50, 0x10, 0x7A, 40, 0},    // flag set: below v
        {"A70-022", "016C", 50, 0x20, 0x7A, 50, 50},
        {"A70-028", "0140", 10, 0x40, 0x9F, 9, 0},
        {"A70-029", "0141", 10, 0x40, 0x9F, 9, 9},     // its flag is 0x80: 9 + 10 in range
        {"A70-029", "0141", 10, 0x80, 0x9F, 9, 0},
        {"A70-020", "0177", 50, 0x00, 0x7A, 200, 200}, // no rule
    };
    for (const Row &row : rows) {
        for (bool online : {false, true}) {
            Bench b(20, online);
            b.data.State.ImageBase = 0x0100;
            b.data.State.DefinitionFile = QStringLiteral("ZPA/") + QLatin1String(row.def) + QStringLiteral("-DE.ZPA");
            b.data.Geraet.SetByte(0x6F, row.flags);
            b.data.Geraet.SetByte(row.dependent, row.before);
            const bool changes = row.after != row.before;
            EXPECT_EQ(b.deps.ValueDependencies(QString::fromLatin1(row.address), row.v), online && changes);
            EXPECT_EQ(b.data.Geraet.GetByte(row.dependent), row.after) << row.def << row.address;
            EXPECT_EQ(b.link.writes.size(), size_t(online && changes));
            if (online && changes) {
                EXPECT_EQ(b.link.writes[0].address, 0x100 + row.dependent);
            }
        }
    }
}

TEST(Dependencies, CompactTypesMirrorTheSwitchBitsInto017F)
{
    const std::pair<const char *, int> bits[] = {{"0188", 0x01}, {"0189", 0x02}, {"018A", 0x10}, {"018B", 0x20},
                                                 {"018C", 0x04}, {"018D", 0x08}, {"018E", 0x40}, {"018F", 0x80}};
    for (const auto &[address, bit] : bits) {
        Bench b(32, true);
        ASSERT_TRUE(b.deps.ValueDependencies(QString::fromLatin1(address), 5)) << address;
        EXPECT_EQ(b.byte(0x017F), bit);
        EXPECT_EQ(b.link.writes[0].address, 0x017F);
        EXPECT_EQ(b.link.writes[0].bytes, 1);
    }
    Bench zero(33);
    EXPECT_FALSE(zero.deps.ValueDependencies(QStringLiteral("018C"), 0));
    EXPECT_EQ(zero.byte(0x017F), 0);
    Bench a70(32); // the switching-point definitions have no such bits
    a70.data.State.DefinitionFile = QStringLiteral("A70-020");
    a70.deps.ValueDependencies(QStringLiteral("018C"), 5);
    EXPECT_EQ(a70.byte(0x017F), 0);
}

TEST(Dependencies, Type35ReloadsTheDefinitionForItsSettings)
{
    for (const auto &[address, reloads] : {std::pair{"011F", 0}, {"0120", 1}, {"012F", 1}, {"0130", 0}}) {
        Bench b(35, true);
        EXPECT_FALSE(b.deps.ValueDependencies(QString::fromLatin1(address), 1));
        EXPECT_EQ(b.link.reloads, reloads) << address;
    }
}

struct BitRow
{
    int rule, type, answer;
    const char *address;
    int mask;
    std::vector<std::pair<int, int>> before; // device address, byte
    int target, expected;                      // 0: nothing is written
    int warning;                               // text number, 0: none
    bool onlineOnly = false;
};

TEST(Dependencies, BitRules)
{
    const BitRow rows[] = {
        {1, 34, 0, "0168", 0x04, {{0x12F, 0x01}}, 0x12F, 0x05, 0},
        {1, 34, 1, "0168", 0xFB, {{0x12F, 0x04}}, 0, 0, 0},
        {2, 34, 1, "012F", 0xFB, {{0x168, 0x0F}}, 0x168, 0x0B, 0},
        {3, 34, 0, "012E", 0x01, {{0x12E, 0x83}}, 0x12E, 0x81, 107},
        {3, 34, 0, "012E", 0x02, {{0x12E, 0x03}}, 0x12E, 0x02, 0},
        {3, 34, 1, "012E", 0xFE, {{0x12E, 0x80}}, 0, 0, 107},
        {3, 34, 1, "012E", 0xFD, {{0x12E, 0x01}}, 0, 0, 0},
        {3, 34, 0, "015D", 0x01, {{0x15D, 0xFF}, {0x16F, 0x01}}, 0x15D, 0xFD, 0, true},
        {4, 37, 1, "013E", 0xF7, {{0x13E, 0x0F}, {0x17E, 0x05}}, 0x13E, 0x05, 0, true},
        {4, 34, 1, "013E", 0xF7, {{0x13E, 0x0F}, {0x17E, 0x05}}, 0, 0, 0},
        {5, 20, 0, "09ED", 0x08, {{0x9CE, 0x01}}, 0x9CE, 0x09, 0},
        {5, 34, 0, "09ED", 0x08, {}, 0, 0, 0},
        {6, 53, 1, "09CE", 0xF7, {{0x9ED, 0x0F}}, 0x9ED, 0x07, 0},
        {7, 0, 0, "09EC", 0x40, {{0x9CF, 0x01}}, 0x9CF, 0x41, 0},
        {8, 31, 1, "09CF", 0xBF, {{0x9EC, 0xFF}}, 0x9EC, 0xBF, 0},
        {9, 20, 0, "0870", 0x20, {{0x9EB, 0x01}}, 0x9EB, 0x11, 0},
        {9, 20, 0, "0870", 0x10, {{0x9EB, 0x01}}, 0, 0, 0},
        {10, 20, 1, "09EB", 0xEF, {{0x870, 0xFF}}, 0x870, 0xDF, 0},
        {11, 20, 0, "09B3", 0x04, {{0x9B3, 0x0C}}, 0x9B3, 0x04, 0},
        {12, 20, 0, "09B3", 0x08, {{0x9B3, 0x0C}}, 0x9B3, 0x08, 0},
        {13, 20, 0, "0C78", 0x02, {{0xC78, 0x06}}, 0xC78, 0x02, 0},
        {14, 20, 0, "0C78", 0x04, {{0xC78, 0x06}}, 0xC78, 0x04, 0},
        {15, 20, 0, "09B3", 0x10, {{0x9B3, 0x10}}, 0x9B3, 0x12, 0},
        {16, 20, 1, "09B3", 0xFD, {{0x9B3, 0x10}}, 0x9B3, 0x00, 0},
        {17, 20, 1, "0C83", 0xFD, {{0xC83, 0x04}}, 0xC83, 0x05, 0},
        {17, 20, 1, "0C83", 0xFD, {{0xC83, 0x00}}, 0, 0, 0},
        {18, 20, 1, "0C83", 0xFE, {{0xC83, 0x04}}, 0xC83, 0x06, 0},
        {18, 20, 1, "0C83", 0xFE, {{0xC83, 0x00}}, 0, 0, 0},
        {19, 20, 0, "0871", 0x10, {{0x871, 0x38}}, 0x871, 0x10, 0},
        {19, 20, 1, "0871", 0xEF, {{0x871, 0x38}}, 0, 0, 0},
        {20, 20, 0, "0C78", 0x20, {{0x871, 0x00}}, 0, 0, 288},
        {20, 20, 0, "0C78", 0x20, {{0x871, 0x02}}, 0, 0, 0},
        {0, 40, 0, "09ED", 0x08, {{0x9CE, 0x01}}, 0, 0, 0},
    };
    for (const BitRow &row : rows) {
        for (bool online : {false, true}) {
            Bench b(row.type, online);
            for (const auto &[address, value] : row.before)
                b.setByte(address, value);
            const int oldTarget = row.target ? b.byte(row.target) : 0;
            const bool sends = online && row.target;
            const QString where = QStringLiteral("rule %1 %2 online %3").arg(row.rule).arg(row.address).arg(online);
            EXPECT_EQ(b.deps.BitDependencies(row.answer, QString::fromLatin1(row.address), row.mask), sends) << qPrintable(where);
            EXPECT_EQ(b.prompter.texts(), row.warning ? QStringList{GetText(row.warning)} : QStringList{}) << qPrintable(where);
            if (row.target) {
                EXPECT_EQ(b.byte(row.target), row.onlineOnly ? oldTarget : row.expected) << qPrintable(where);
            }
            ASSERT_EQ(b.link.writes.size(), size_t(sends)) << qPrintable(where);
            if (!sends)
                continue;
            const Sent &w = b.link.writes[0];
            EXPECT_EQ(w.action, QStringLiteral("BitAnhaengigkeit"));
            EXPECT_EQ(w.address, row.target);
            EXPECT_EQ(w.value, row.expected) << qPrintable(where);
            EXPECT_EQ(w.bytes, 1);
            EXPECT_EQ(b.acknowledgeAll(), 1);
            EXPECT_EQ(b.finished, 1);
        }
    }
}

TEST(Dependencies, Rule19ClearsTheWordsInTheImageOnly)
{
    struct Row { int version, flags; bool newWords, oldWord; };
    for (const Row row : {Row{27, 0x10, true, false}, Row{26, 0x10, false, true}, Row{27, 0x01, false, false}}) {
        Bench b(20, true);
        b.data.Geraet.ProgramVersion = row.version;
        b.setByte(0x0E15, row.flags);
        for (int a : {0x0E40, 0x0E4C, 0x0E4E})
            b.setWord(a, 0x1234);
        EXPECT_FALSE(b.deps.BitDependencies(0, QStringLiteral("0E15"), 0x10));
        EXPECT_TRUE(b.link.writes.empty());
        EXPECT_EQ(b.word(0x0E4C) == 0, row.newWords) << row.version;
        EXPECT_EQ(b.word(0x0E4E) == 0, row.newWords) << row.version;
        EXPECT_EQ(b.word(0x0E40) == 0, row.oldWord) << row.version;
    }
}

} // namespace
