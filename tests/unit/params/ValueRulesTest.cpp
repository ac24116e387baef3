#include "EditTestSupport.h"
#include "device/ParameterFile.h"
#include "params/ValueRules.h"
#include "shell/Texts.h"
#include <QDir>
#include <cmath>

using namespace edit_test;

namespace {

// Answers with the typed value as it is, without the dialog's clamping: what a value from
// the command line or a dialog that let a value through would hand over.
class UnclampedDialogs : public ScriptedDialogs
{
public:
    bool AskNumber(const NumberRequest &r, float &value) override
    {
        Requests.push_back(r);
        if (Numbers.empty())
            return false;
        value = float(Numbers.front());
        Numbers.pop_front();
        return true;
    }
};

// The number in a grid text ("+/-" of the angles aside); false for texts without one.
bool ShownNumber(const QString &text, double &value)
{
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("+/-")))
        t = t.mid(3);
    bool ok = false;
    value = ParseEditNumber(t, &ok);
    return ok && !t.contains(QLatin1Char('E'));
}

// Values chosen from a set rather than a range (rates, voltage factors, 50/60 Hz): only the
// listed values are taken, so not every value between the limits is stored.
bool ChoiceLike(int code, const QString &key)
{
    if (code == 9)
        return true;
    if (code == 2)
        return key == QLatin1String("S6") || key == QLatin1String("S7") || key == QLatin1String("C0");
    if (code == 4 || code == 12)
        return key == QLatin1String("S1") || key == QLatin1String("SW");
    return false;
}

int DecimalsOf(const QString &text)
{
    const QString t = text.trimmed();
    const int comma = t.indexOf(QLatin1Char(','));
    return comma < 0 ? 0 : int(t.size() - comma - 1);
}

struct Demo
{
    DeviceData d;
    TFormatter f{d};
    ScriptedPrompter prompter;
    UnclampedDialogs dialogs;
    RecordingHost host;
    AccessState access;
    EditDispatcher editor{d, f, access, prompter, dialogs, host};
};

} // namespace

// Every numeric parameter of every demo set: a value inside the limits, typed at the
// precision the grid shows, is the value the grid shows after the edit (within the code's
// own resolution); a value beyond the limits changes nothing.
TEST(ValueRulesProperty, EveryNumericParameterOfTheDemoSetsShowsWhatWasTyped)
{
    SetDecimalSeparator(QLatin1Char(','));
    const QStringList samples = QDir(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples")).entryList(QDir::Files);
    ASSERT_GE(samples.size(), 6);
    int checked = 0;
    for (const QString &name : samples) {
        Demo m;
        ASSERT_TRUE(LoadParameterFile(m.d, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + name, m.prompter))
            << name.toStdString();
        m.access.Level = QStringLiteral("Fer");
        for (int i = 1; i < m.d.Params.Count(); ++i) {
            const int code = m.d.Params.GetTypeCode(i) & 0xFF;
            // Hexadecimal codes and bit fields are not scaled; code 14 borrows another code.
            if (!EditDispatcher::IsNumericCode(code) || code == 1 || code == 8 || code == 40 || code == 41 ||
                code == 28 || code == 14)
                continue;
            const long long at = m.d.State.IndexOf(m.d.Params.GetAddress(i).toLongLong(nullptr, 16));
            if (!TGeraet::ValidRange(at, 4))
                continue;
            SCOPED_TRACE(testing::Message() << name.toStdString() << " #" << i << " code " << code << " "
                                            << m.d.Params.Item(i).Text.toStdString());
            const int savedWords[2] = {m.d.Geraet.GetWord(at), m.d.Geraet.GetWord(at + 2)};
            const DeviceState savedState = m.d.State;
            m.dialogs.Requests.clear();
            m.dialogs.Numbers.clear();
            if (m.editor.StartEdit(i) != EditResult::Cancelled || m.dialogs.Requests.empty())
                continue; // refused with its message: nothing to type
            const NumberRequest req = m.dialogs.Requests.back();
            const double step = req.Decimals < 0 ? 10 : std::pow(10.0, -req.Decimals);
            const double lo = double(req.ValueOf(req.MinPosition())), hi = double(req.ValueOf(req.MaxPosition()));
            const bool choice = ChoiceLike(code, m.d.Params.GetMin(i).trimmed());
            for (double typed : {lo, hi, double(req.Clamp((lo + hi) / 2))}) {
                m.dialogs.Numbers = {typed};
                const EditResult result = m.editor.StartEdit(i);
                if (choice)
                    continue;
                ASSERT_EQ(result, EditResult::Written) << typed << " " << m.editor.LastMessage.toStdString();
                const QString text = m.f.FormatParameter(i);
                double shown = 0;
                if (!ShownNumber(text, shown))
                    continue;
                if (req.Decimals >= 0)
                    EXPECT_EQ(DecimalsOf(text), req.Decimals) << "shown " << text.toStdString();
                // The code's own resolution at this raw value: the neighbours' texts.
                const ValueRules::Rule *rule = ValueRules::Find(code);
                const int width = rule ? rule->Width : (code == 211 || code == 216 || code == 224) ? 1 : 2;
                const long long raw = width == 1 ? m.d.Geraet.GetByte(at) : m.d.Geraet.GetWord(at);
                double resolution = step;
                for (long long n : {raw - 1, raw + 1}) {
                    if (n < 0 || n >= (width == 1 ? 256 : 65536))
                        continue;
                    if (width == 1)
                        m.d.Geraet.SetByte(at, int(n));
                    else
                        m.d.Geraet.SetWord(at, int(n));
                    double other = 0;
                    if (ShownNumber(m.f.FormatParameter(i), other))
                        resolution = std::max(resolution, std::fabs(other - shown));
                }
                if (width == 1)
                    m.d.Geraet.SetByte(at, int(raw));
                else
                    m.d.Geraet.SetWord(at, int(raw));
                EXPECT_LE(std::fabs(shown - typed), resolution / 2 + 1e-6)
                    << "typed " << typed << " shown " << text.toStdString();
                ++checked;
            }
            // Beyond the limits: refused, nothing written.
            const int before = m.d.Geraet.GetWord(at);
            m.dialogs.Numbers = {hi + 2 * step};
            EXPECT_EQ(m.editor.StartEdit(i), EditResult::Rejected);
            EXPECT_EQ(m.d.Geraet.GetWord(at), before);
            // The set stays as loaded for the next parameter.
            m.d.Geraet.SetWord(at, savedWords[0]);
            m.d.Geraet.SetWord(at + 2, savedWords[1]);
            m.d.State = savedState;
        }
    }
    EXPECT_GT(checked, 300);
    ResetDecimalSeparator();
}

// Grid and editor of the power key "S12" use one unit: "M" when ratio × rated mains current
// reaches 304 kW on the PA devices, else by the rated power word; the value typed is shown.
TEST(ValueRulesPower, GridAndEditorAgreeOnTheUnit)
{
    struct Row
    {
        int type, version, ratio, current, rated;
        int raw;
        const char *shown;
        double typed;
        const char *after;
    } rows[] = {
        {8, 12, 1000, 320, 100, 320, "   3,20", 3.5, "   3,50"},   // 320 kW·ratio: MW
        {8, 12, 1000, 300, 9000, 320, "    320", 350, "    350"},  // 300 < 304: kW whatever 0x0930 says
        {0, 0, 1000, 999, 4501, 1234, "  12,34", 0.5, "   0,50"},
        {0, 0, 1000, 999, 4500, 1234, "   1234", 77, "     77"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " ratio " << r.ratio << " current " << r.current);
        Bench b(r.type, r.version);
        b.SetWord(0x09BC, r.ratio);
        b.SetWord(0x08CC, r.current);
        b.SetWord(0x0930, r.rated);
        b.SetWord(0x0A00, r.raw);
        const int i = Param(b, 2, "S12", "50000", "0A00", "W");
        EXPECT_EQ(b.dev.Param(i), QLatin1String(r.shown));
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written) << Messages(b);
        EXPECT_EQ(b.dev.Param(i), QLatin1String(r.after));
    }
}

// The voltage keys: one threshold for the "k", the decimals shown and the decimals typed.
TEST(ValueRulesRatio, GridAndEditorSwitchAtTheSameRatio)
{
    struct Row
    {
        int type, version, ratio;
        int decimals;
    } rows[] = {
        {0, 0, 100, 0},    {0, 0, 101, 2},  {0, 0, 9999, 2}, {0, 0, 10000, 1},
        {5, 12, 766, 0},   {5, 12, 767, 2}, {5, 11, 101, 2}, {9, 12, 500, 0},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "type " << r.type << " ratio " << r.ratio);
        Bench b(r.type, r.version);
        b.SetByte(0x080C, 138);
        b.SetWord(0x09BC, r.ratio);
        b.SetWord(0x09C0, 100);
        const int i = Param(b, 2, "S4", "0", "0A00", "V");
        b.SetWord(0x0A00, 0);
        b.Edit(i, {});
        ASSERT_EQ(b.dialogs.Requests.size(), 1u);
        EXPECT_EQ(b.Last().Decimals, r.decimals);
        EXPECT_EQ(b.d().Params.GetUnit(i), r.decimals ? QStringLiteral("kV") : QStringLiteral("V"));
        const double typed = double(b.Last().ValueOf((b.Last().MinPosition() + b.Last().MaxPosition()) / 2));
        EXPECT_EQ(b.Edit(i, {typed}), EditResult::Written);
        double shown = 0;
        ASSERT_TRUE(ShownNumber(b.dev.Param(i), shown));
        EXPECT_FLOAT_EQ(float(shown), float(typed));
    }
}

// Period-coded values of a device that names no period base are refused with a message and
// nothing is written; where the device names one, they are edited.
TEST(ValueRulesPeriod, NoSourceNoEdit)
{
    for (int code : {12, 210, 212, 220, 226}) {
        for (int type : {0, 9, 34}) {
            SCOPED_TRACE(testing::Message() << "code " << code << " type " << type);
            Bench b(type, 0, 0x0100);
            b.d().PeriodBase = 5000; // left behind by another device
            b.d().PeriodFactor = 60;
            b.d().Geraet.SetWord(0x2C, 5000);
            b.d().Geraet.SetWord(0x54, 60);
            b.d().Geraet.SetWord(0x56, 5000);
            const int i = Param(b, code, "0", "3000", "0150");
            b.SetWord(0x0150, 1234);
            const EditResult result = b.Edit(i, {10});
            if (type == 34) {
                EXPECT_EQ(result, EditResult::Written) << Messages(b);
                continue;
            }
            EXPECT_EQ(result, EditResult::Rejected);
            EXPECT_EQ(b.prompter.Errors, QStringList{GetText(491)});
            EXPECT_EQ(b.dialogs.Shown(), 0u);
            EXPECT_EQ(b.Word(0x0150), 1234);
            EXPECT_EQ(b.dev.Param(i), QStringLiteral("   ----"));
        }
    }
}

// Code 211 with key "S3": the maximum is the measuring range Z, with its note; the value
// typed comes back in the grid.
TEST(ValueRulesAnalog, Code211KeyS3IsEditable)
{
    struct Row
    {
        int z;
        double typed;
        int raw;
        const char *shown;
    } rows[] = {{400, 200, 147, "    200"}, {400, 0, 49, "      0"}, {400, 400, 245, "    400"}, {150, 75, 147, "     75"}};
    for (const Row &r : rows) {
        SCOPED_TRACE(testing::Message() << "Z " << r.z << " typed " << r.typed);
        Bench b(0, 0, 0x0100);
        b.d().Geraet.SetWord(0x42, r.z);
        const int i = Param(b, 211, "S3", "0", "0150");
        EXPECT_EQ(b.Edit(i, {r.typed}), EditResult::Written) << Messages(b);
        EXPECT_FLOAT_EQ(b.Last().Minimum, 0);
        EXPECT_FLOAT_EQ(b.Last().Maximum, float(r.z));
        EXPECT_EQ(b.prompter.Infos, QStringList{GetText(106)});
        EXPECT_EQ(b.Byte(0x0150), r.raw);
        EXPECT_EQ(b.dev.Param(i), QLatin1String(r.shown));
    }
}

// Rules that must hold for every raw value: the text of a raw value typed back stores a raw
// value with the same text.
TEST(ValueRulesTable, EveryShownValueTypedBackShowsTheSame)
{
    SetDecimalSeparator(QLatin1Char(','));
    DeviceData d;
    d.State.MainsFactor = 138;
    d.State.GenFactor = 240;
    d.Geraet.SetWord(0x100, 3000);
    for (int code = 0; code < 256; ++code) {
        const ValueRules::Rule *rule = ValueRules::Find(code);
        if (!rule)
            continue;
        const long long span = rule->Width == 1 ? 256 : 65536;
        for (long long raw = 0; raw < span; raw += rule->Width == 1 ? 1 : 97) {
            ValueRules::Context ctx{d, QString(), raw};
            const QString text = ValueRules::Text(*rule, raw, ctx);
            ASSERT_FALSE(text.contains(QLatin1Char('E'))) << code << " " << raw << " " << text.toStdString();
            bool ok = false;
            const double v = ParseEditNumber(text, &ok);
            ASSERT_TRUE(ok) << code << " " << text.toStdString();
            int back = 0;
            if (!ValueRules::RawOf(*rule, float(v), ctx, back))
                continue; // e.g. the 0 of codes 208/223 below their first step: no raw value shows it
            EXPECT_EQ(ValueRules::Text(*rule, back, ctx), text) << "code " << code << " raw " << raw;
        }
    }
    ResetDecimalSeparator();
}

// Rows of the demo 202 that once showed an exponent or nothing at all: each shows what its
// rule gives, or "----" where the device has nothing to scale it with.
TEST(ValueRulesDemo, Demo202RowsShowTheirValues)
{
    SetDecimalSeparator(QLatin1Char(','));
    DeviceData d;
    ScriptedPrompter prompter;
    ASSERT_TRUE(LoadParameterFile(d, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter));
    TFormatter f(d);
    const struct
    {
        const char *text;
        const char *shown;
    } rows[] = {
        {"Drehzahlgrenze Pickup", "  59880"}, // 1E7 / 167, not "5,988E4"
        {"Zugangscode (Ident)", "  24680"},
        {"Betriebsstunden bei Auslieferung", "     12"},
        // Period codes: this device names no period base.
        {"Netz Frequenzabweichung", "   ----"},
        {"Phasenwinkelfenster", "   ----"},
        {"Vektorsprung Anzeige", "   ----"},
        // Switching points at addresses of no known input: no scale.
        {"Schaltpunkt Temperatur", "   ----"},
        {"Schaltpunkt über Zeiger", "   ----"},
    };
    for (const auto &r : rows) {
        int found = -1;
        for (int i = 0; i < d.Params.Count() && found < 0; ++i)
            if (d.Params.Item(i).Text.endsWith(QString::fromUtf8(r.text)))
                found = i;
        ASSERT_GE(found, 0) << r.text;
        EXPECT_EQ(f.FormatParameter(found), QString::fromUtf8(r.shown)) << r.text;
    }
    ResetDecimalSeparator();
}
