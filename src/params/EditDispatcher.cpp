#include "params/EditDispatcher.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "params/FormatValue.h"
#include "params/NumberFormat.h"
#include "params/ValueRules.h"
#include "services/AccessLevels.h"
#include "shell/AnsiCodec.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <algorithm>
#include <cmath>

using NumberFormat::RoundHalfEven;

namespace {

const QString kFactorWrong = QStringLiteral("Factor is wrong.");
const QString kEditAction = QStringLiteral("Werteingeben");

bool In(int code, std::initializer_list<int> set) { return std::find(set.begin(), set.end(), code) != set.end(); }

bool Between(int code, int from, int to) { return code >= from && code <= to; }

// Rounds a single-precision intermediate the way the editors store it.
long long R(float x) { return RoundHalfEven(double(x)); }

QString WithSeparator(QString text)
{
    const QChar sep = DecimalSeparator();
    if (sep != QLatin1Char('.'))
        text.replace(QLatin1Char('.'), sep);
    return text;
}

QString FixedText(double value, int decimals) { return WithSeparator(QString::number(value, 'f', std::max(0, decimals))); }

// General format with 5 significant digits (the analog editor's hint).
QString General5(float value) { return WithSeparator(QString::number(double(value), 'g', 5)); }

bool ParseHex(const QString &text, long long &value)
{
    QString t = Text::RemoveSpaces(text);
    if (t.startsWith(QLatin1Char('$')))
        t.remove(0, 1);
    if (t.isEmpty() || t.size() > 8)
        return false;
    bool ok = false;
    value = t.toLongLong(&ok, 16);
    return ok;
}

bool ParseDecimalInt(const QString &text, long long &value)
{
    bool ok = false;
    value = text.trimmed().toLongLong(&ok, 10);
    return ok;
}

bool ParseAddress(const QString &text, long long &address) { return ParseHex(text, address); }

bool HasAny(const QString &text, std::initializer_list<const char *> names)
{
    for (const char *n : names)
        if (text.contains(QLatin1String(n)))
            return true;
    return false;
}

// Code 26 on devices outside the controller families: their lists carry no option entries,
// so the choice offers fixed texts, laid out for the choice of 8 (four exclusive functions,
// a pair of contact kinds, one flag, and an "off" that excludes the rest). "A1" chooses the
// relay set, "A2" the output set; "A3" (four options on the controllers) shows the first
// four relay functions, and any other Max the whole relay set.
const char *const kRelayCaption = "Relaisfunktion";
const char *const kRelayOptions[8] = {"Sammelstörung", "Abschaltung", "Warnung",      "Betriebsmeldung",
                                      "Dauerkontakt",  "Wischkontakt", "Quittierbar", "Relais aus"};
const char *const kOutputCaption = "Ausgangsfunktion";
const char *const kOutputOptions[8] = {"Netz in Ordnung",  "Generator in Ordnung", "Netzschalter ein",
                                       "Generatorschalter ein", "Automatikbetrieb", "Handbetrieb",
                                       "Invertiert",       "Ausgang aus"};

// Program identifications whose fault codings are spaced by 4 bytes.
const std::initializer_list<const char *> kStep4Programs = {"ZWK1 MAN", "ZWK2_MAN", "ZW2M MAN", "ZMS371"};
// ... and those whose coding at image index 0x5D3 lives at 0xB3 from version 30 on.
const std::initializer_list<const char *> kMovedCodingPrograms = {"Z101 SPL03", "Z101 SPLN9", "Z101 UESY3"};

} // namespace

double ParseEditNumber(const QString &text, bool *ok)
{
    QString t = text.trimmed();
    // Either separator is taken, but only one of them once.
    const int dot = t.indexOf(QLatin1Char('.'));
    const int comma = t.indexOf(QLatin1Char(','));
    bool good = !(dot >= 0 && comma >= 0) && t.count(QLatin1Char('.')) <= 1 && t.count(QLatin1Char(',')) <= 1;
    if (comma >= 0)
        t[comma] = QLatin1Char('.');
    double v = 0;
    if (good && !t.isEmpty()) {
        v = t.toDouble(&good);
        good = good && std::isfinite(v);
    } else {
        good = false;
    }
    if (ok)
        *ok = good;
    return good ? v : 0;
}

QString ShortFloat(float value)
{
    // The shortest text that reads back as the same single-precision value, so that a
    // limit like 0.1 is shown as "0,1" and not with the digits of its binary form.
    for (int precision = 1; precision <= 9; ++precision) {
        const QString t = QString::number(double(value), 'g', precision);
        if (float(t.toDouble()) == value && !t.contains(QLatin1Char('e')))
            return WithSeparator(t);
    }
    return WithSeparator(QString::number(double(value), 'f', 6));
}

// ---------------------------------------------------------------------------------------

struct EditDispatcher::Plan
{
    NumberRequest Req;
    QString Key;            // the Min text: a format key for several codes
    QString Address;        // as in the definition line
    long long AddressValue = 0;
    int Width = 2;          // bytes written
    bool Follow = false;    // dependency step after the write
    bool FollowRaw = false; // ... with the raw value (else FollowFixed)
    int FollowFixed = 0;
    bool RestoreMin = false;
    QString SavedMin;
    bool RestoreMax = false;
    QString SavedMax;
    int Kind = 0;           // code 14: kind of the analog input
    float Q = 0;            // codes 211, 216, 224: reference word
    bool Flag = false;      // codes 216, 224: flag bit set
    float K = 0;            // period codes: constant
    float F = 0;            // code 210: PeriodBase / 360; 212: factor
    long long Target = -1;  // image index written when not the parameter's own (code 224)
};

EditDispatcher::EditDispatcher(DeviceData &data, TFormatter &formatter, AccessState &access, Prompter &prompter,
                               EditDialogs &dialogs, EditHost &host, ValueWriter *writer)
    : m_data(data), m_formatter(formatter), m_access(access), m_prompter(prompter), m_dialogs(dialogs),
      m_host(host), m_writer(writer)
{
}

int EditDispatcher::ParameterIndex(int headingIndex, int selectorCount, int row)
{
    return (selectorCount < 2 ? 0 : headingIndex) + row + 1;
}

bool EditDispatcher::IsYesNoCode(int code)
{
    return Between(code, 16, 23) || Between(code, 48, 55) || Between(code, 64, 73) || Between(code, 80, 88) ||
           Between(code, 114, 117);
}

bool EditDispatcher::IsChoiceCode(int code)
{
    return In(code, {26, 29, 32, 33, 35, 217, 218, 222, 225});
}

bool EditDispatcher::IsNumericCode(int code)
{
    return In(code, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 24, 27, 28, 34, 40, 41}) ||
           Between(code, 96, 113) ||
           In(code, {192, 193, 208, 209, 210, 211, 212, 214, 215, 216, 219, 220, 221, 223, 224, 226, 228});
}

int EditDispatcher::W(long long address) const { return m_data.Geraet.GetWord(m_data.State.IndexOf(address)); }
int EditDispatcher::B(long long address) const { return m_data.Geraet.GetByte(m_data.State.IndexOf(address)); }
int EditDispatcher::Wi(long long index) const { return m_data.Geraet.GetWord(index); }
int EditDispatcher::Bi(long long index) const { return m_data.Geraet.GetByte(index); }

QString EditDispatcher::levelText() const { return m_access.Level; }
bool EditDispatcher::hasLevel(const QString &level) const { return m_access.Level == level; }

float EditDispatcher::ParseNumber(const QString &text)
{
    bool ok = false;
    const double v = ParseEditNumber(text, &ok);
    if (!ok) {
        LastMessage = GetText(128);
        m_prompter.error(LastMessage);
        State.EditAccepted = false;
        return 0;
    }
    State.EditAccepted = true;
    return float(v);
}

// The current value converted with the PC's own separator only (as the formatter wrote it).
bool EditDispatcher::numberWithSeparator(const QString &text, float &value)
{
    QString t = text.trimmed();
    const QChar sep = DecimalSeparator();
    bool ok = !t.isEmpty() && (sep == QLatin1Char('.') || !t.contains(QLatin1Char('.')));
    if (ok) {
        if (sep != QLatin1Char('.'))
            t.replace(sep, QLatin1Char('.'));
        const double v = t.toDouble(&ok);
        ok = ok && std::isfinite(v);
        value = ok ? float(v) : 0;
    }
    if (!ok) {
        LastMessage = GetText(128);
        m_prompter.error(LastMessage);
        State.EditAccepted = false;
    }
    return ok;
}

QString EditDispatcher::standardHint(int index) const
{
    return GetText(18) + m_data.Params.GetMin(index) + QStringLiteral(" - ") + m_data.Params.GetMax(index) +
           QLatin1Char(' ') + m_data.Params.GetUnit(index);
}

EditResult EditDispatcher::reject(const QString &message, bool asInformation)
{
    LastMessage = message;
    if (asInformation)
        m_prompter.information(message);
    else
        m_prompter.error(message);
    EndEdit();
    return EditResult::Rejected;
}

EditResult EditDispatcher::rejectSilently()
{
    LastMessage.clear();
    EndEdit();
    return EditResult::Rejected;
}

// ---------------------------------------------------------------------------------------

EditResult EditDispatcher::StartEdit(int index)
{
    LastMessage.clear();
    if (m_host.ModemOnline() && !m_access.FbedAccepted) {
        LastMessage = GetText(314);
        m_prompter.information(LastMessage);
        return EditResult::Refused;
    }
    if (index < 0 || index >= m_data.Params.Count())
        return EditResult::NoEditor;
    if (!m_host.OfflineFile()) {
        Recheck(m_access, m_data.State.AccessCode);
        if (!m_access.Identified) {
            m_host.AskIdent();
            Recheck(m_access, m_data.State.AccessCode);
        }
        if (!m_access.Identified) {
            LastMessage = GetText(45);
            m_prompter.error(LastMessage);
            State.EditRequested = false;
            m_host.ResumeValues();
            return EditResult::Refused;
        }
    }
    const int code = m_data.Params.GetTypeCode(index);
    if (code == 0)
        return EditResult::NoEditor;
    State.EditAccepted = true;
    // A grid edit always starts a new edit; an online edit whose write failed is left at
    // stage 1 by the sender and is simply replaced here.
    State.EditStage = 0;
    return EditParameter(code, index);
}

EditResult EditDispatcher::Continue() { return EditParameter(State.EditType, State.EditIndex); }

EditResult EditDispatcher::EditParameter(int typeCode, int index)
{
    int code = typeCode & 0xFF;
    if (Between(code, 48, 55))
        code -= 32;
    if (index < 0 || index >= m_data.Params.Count()) {
        EndEdit();
        return EditResult::NoEditor;
    }
    PendingAction = kEditAction;
    m_host.SetPendingAction(kEditAction);
    const TParameter &param = m_data.Params.Item(index);
    const QString &text = param.Text;
    const int dash = text.indexOf(QLatin1Char('-'));
    // The prefix runs up to and including the first "-" (" 12 - Nennspannung").
    State.EditCaption = (code == 222 || dash < 0) ? text : text.mid(dash + 1);
    // A three-column line carries its unit in its first five characters
    // ("U/minNenndrehzahl"): the caption names the parameter only.
    const QString unit = param.Unit.trimmed();
    if (code != 222 && dash < 0 && !unit.isEmpty() && text.left(5).trimmed() == unit)
        State.EditCaption = text.mid(5).trimmed();
    if (State.EditStage >= 1)
        return continueEdit(code, index);
    if (IsNumericCode(code))
        return numeric(code, index);
    if (IsYesNoCode(code))
        return yesNo(code, index);
    switch (code) {
    case 26: return choice26(index);
    case 29: return bitWord29(index);
    case 32:
    case 35: return labelText(code, index);
    case 33: return faultCoding33(index);
    case 217:
    case 218:
    case 225: return faultMasks(code, index);
    case 222: return relay222(index);
    default: break;
    }
    EndEdit();
    return EditResult::NoEditor;
}

void EditDispatcher::EndEdit()
{
    m_chain.clear();
    m_follow = Follow::None;
    PendingAction.clear();
    m_host.SetPendingAction(QString());
    State.EditStage = 0;
    if (State.EditRequested)
        m_host.RefreshGrid();
    if (m_host.Online() || m_host.OfflineFile())
        m_host.UpdateMenus();
    State.EditRequested = false;
    m_host.ResumeValues();
}

// ---------------------------------------------------------------------------------------
// Online continuation: the acknowledgement has stored the written value.

EditResult EditDispatcher::continueEdit(int code, int index)
{
    Q_UNUSED(code);
    Q_UNUSED(index);
    if (State.EditStage < int(m_chain.size()))
        return sendNext();
    if (!runFollowUp())
        EndEdit();
    return EditResult::Finished;
}

// True when the follow-up has started a telegram of its own and ends the edit later.
bool EditDispatcher::runFollowUp()
{
    const Follow follow = m_follow;
    m_follow = Follow::None; // once per edit, even if a stray report re-enters
    switch (follow) {
    case Follow::Value: return m_host.Dependency(State.FollowAddress, State.FollowValue);
    case Follow::Bit: return m_host.BitDependency(m_followAnswer, State.FollowAddress, State.FollowValue);
    case Follow::RelayPage: m_host.RelayPageChanged(); return false;
    case Follow::None: break;
    }
    return false;
}

EditResult EditDispatcher::sendNext()
{
    const Write w = m_chain.at(size_t(State.EditStage));
    State.EditStage++;
    State.SendIndex = int(w.Index);
    State.SendHigh = w.Width == 1 ? w.Raw : w.Raw >> 8;
    State.SendLow = w.Width == 1 ? 0 : w.Raw & 0xFF;
    if (!m_writer || !m_writer->WriteValue(State.SendIndex, w.Raw, w.Width)) {
        if (!m_writer)
            m_prompter.error(GetText(128));
        EndEdit();
        return EditResult::Refused;
    }
    return EditResult::Sent;
}

EditResult EditDispatcher::finishWrite(int code, int index, long long imageIndex, int raw, int width,
                                       const Plan &plan)
{
    raw &= width == 1 ? 0xFF : 0xFFFF;
    std::vector<Write> writes{{imageIndex, raw, width}};
    if (code == 210) // the second word of the angle pair
        writes.push_back({imageIndex + 2, State.FollowValue & 0xFFFF, 2});
    if (!plan.Follow)
        return finishWrites(code, index, writes, Follow::None);
    if (IsYesNoCode(code))
        return finishWrites(code, index, writes, Follow::Bit, plan.Address, State.YesNoIndex.toInt(), plan.FollowFixed);
    return finishWrites(code, index, writes, Follow::Value, plan.Address, 0, plan.FollowRaw ? raw : plan.FollowFixed);
}

EditResult EditDispatcher::finishWrites(int code, int index, const std::vector<Write> &writes, Follow follow,
                                        const QString &followAddress, int followAnswer, int followValue)
{
    // A definition line may point anywhere: nothing of the edit is written unless all of
    // it lies in the image.
    for (const Write &w : writes)
        if (!TGeraet::ValidRange(w.Index, w.Width))
            return reject(GetText(128));
    if (writes.empty())
        return rejectSilently();
    State.EditIndex = index;
    State.EditType = code;
    State.FollowAddress = follow == Follow::None ? QString() : followAddress;
    State.FollowValue = follow == Follow::None ? 0 : followValue;
    m_follow = follow;
    m_followAnswer = followAnswer;
    if (m_host.OfflineFile()) {
        State.EditStage++;
        for (const Write &w : writes) {
            if (w.Width == 1)
                m_data.Geraet.SetByte(w.Index, w.Raw);
            else
                m_data.Geraet.SetWord(w.Index, w.Raw);
        }
        if (!runFollowUp())
            EndEdit();
        return EditResult::Written;
    }
    m_chain = writes;
    return sendNext();
}

// ---------------------------------------------------------------------------------------

EditResult EditDispatcher::numeric(int code, int index)
{
    State.EditStage = 0;
    LastMessage.clear();
    m_refused = false;
    Plan plan;
    plan.Key = m_data.Params.GetMin(index).trimmed();
    plan.Address = m_data.Params.GetAddress(index).trimmed();
    if (!ParseAddress(plan.Address, plan.AddressValue))
        return reject(GetText(128));
    m_formatter.FormatParameter(index);
    if (!prepare(code, index, plan)) {
        restoreTexts(index, plan);
        // prepare() has shown its message (or none for a silent end).
        EndEdit();
        return m_refused ? EditResult::Refused : EditResult::Rejected;
    }
    plan.Req.Caption = State.EditCaption;
    plan.Req.Hint = State.EditHint;
    plan.Req.Minimum = State.EditMin;
    plan.Req.Maximum = State.EditMax;
    for (;;) {
        float v = 0;
        const bool ok = m_dialogs.AskNumber(plan.Req, v);
        State.EditAccepted = ok;
        restoreTexts(index, plan);
        if (!ok) {
            EndEdit();
            return EditResult::Cancelled;
        }
        State.EditValue = v;
        if (!plan.Req.InRange(double(v))) {
            LastMessage = GetText(490) + QLatin1Char(' ') + State.EditHint;
            m_prompter.error(LastMessage);
            EndEdit();
            return EditResult::Rejected;
        }
        int raw = 0;
        const Outcome outcome = rawValue(code, index, v, plan, raw);
        if (outcome == Outcome::Reopen)
            continue;
        if (outcome == Outcome::Silent)
            return rejectSilently();
        if (outcome == Outcome::Message) {
            EndEdit();
            return EditResult::Rejected;
        }
        const long long target = plan.Target >= 0 ? plan.Target : m_data.State.IndexOf(plan.AddressValue);
        return finishWrite(code, index, target, raw, plan.Width, plan);
    }
}

// Limits, decimals, hint and start value. False ends the edit (after its message, if any);
// m_refused marks an access refusal.
bool EditDispatcher::prepare(int code, int index, Plan &plan)
{
    TParameterListe &params = m_data.Params;
    NumberRequest &req = plan.Req;
    const QString minText = params.GetMin(index);
    const QString maxText = params.GetMax(index);
    const QString fv = m_formatter.FormattedValue;
    const int type = m_data.State.DeviceType;
    const QString &key = plan.Key;
    auto refuse = [&](int text, bool info = false) {
        const QString message = GetText(text);
        if (info)
            m_prompter.information(message);
        else
            m_prompter.error(message);
        LastMessage = message;
        m_refused = true;
        return false;
    };
    auto fail = [&](const QString &message) {
        LastMessage = message;
        m_prompter.error(message);
        return false;
    };
    auto decimalLimits = [&]() {
        long long lo = 0, hi = 0;
        if (!ParseDecimalInt(minText, lo) || !ParseDecimalInt(maxText, hi))
            return fail(GetText(128));
        State.EditMin = float(lo);
        State.EditMax = float(hi);
        return true;
    };
    auto parsedLimits = [&]() {
        State.EditMin = ParseNumber(minText);
        if (!State.EditAccepted)
            return false;
        State.EditMax = ParseNumber(maxText);
        return State.EditAccepted;
    };
    auto startParsed = [&](const QString &text) {
        req.Start = ParseNumber(text);
        return State.EditAccepted;
    };
    auto startSeparator = [&](const QString &text) { return numberWithSeparator(text, req.Start); };
    auto decimalHint = [&]() {
        State.EditHint = GetText(18) + FixedText(State.EditMin, req.Decimals) + QStringLiteral(" - ") +
                         FixedText(State.EditMax, req.Decimals) + QLatin1Char(' ') + params.GetUnit(index);
    };
    // Speeds are the constant divided by the stored period: below constant / longest period
    // no period is stored, so the lower limit offered starts there.
    auto slowestSpeed = [&](double constant, int longest) {
        const float slowest = float(std::ceil(constant / (longest + 0.5)));
        if (State.EditMin < slowest) {
            State.EditMin = slowest;
            decimalHint();
        }
        return true;
    };
    auto numberHint = [&]() {
        State.EditHint = GetText(18) + ShortFloat(State.EditMin) + QStringLiteral(" - ") + ShortFloat(State.EditMax);
    };
    auto setMinText = [&](const QString &text) {
        if (!plan.RestoreMin) {
            plan.RestoreMin = true;
            plan.SavedMin = minText;
        }
        params.SetMin(index, text);
    };
    auto setMaxText = [&](const QString &text) {
        if (!plan.RestoreMax) {
            plan.RestoreMax = true;
            plan.SavedMax = maxText;
        }
        params.SetMax(index, text);
    };
    // A period-coded value is edited only where the device names its period base: a base
    // left behind by another device would store a wrong period without a word.
    auto periodBase = [&]() {
        int n = 0;
        if (!ValueRules::PeriodBase(m_data, n))
            return fail(GetText(491));
        m_data.PeriodBase = n;
        return true;
    };
    State.EditHint = standardHint(index);
    req.Decimals = 0;
    req.Hex = (code == 1 || code == 8);

    switch (code) {
    case 2: {
        if (!startParsed(fv))
            return false;
        if (plan.AddressValue == 0x08C0 && IsControllerType(type))
            m_prompter.information(GetText(179));
        if (key == QLatin1String("S1") || key == QLatin1String("S2")) {
            State.EditMin = float(Wi(key == QLatin1String("S1") ? 0x68 : 0x6A));
            State.EditMax = float(R(State.EditMin * 1.77f));
            decimalHint();
        } else if (key == QLatin1String("S3")) {
            State.EditMin = 80;
            State.EditMax = 450;
            decimalHint();
        } else if (key == QLatin1String("S4") || key == QLatin1String("S5")) {
            const bool mains = key == QLatin1String("S4");
            int factor;
            if (mains)
                factor = m_data.State.MainsFactor = B(0x080C);
            else
                factor = m_data.State.GenFactor = B(0x080D);
            float lo, hi;
            switch (factor) {
            case 60: lo = 40; hi = 150; break;
            case 138: lo = 150; hi = 300; break;
            case 240: lo = 260; hi = 520; break;
            case 250: lo = 325; hi = 650; break;
            default: return fail(kFactorWrong);
            }
            if (!mains && factor == 138 && plan.AddressValue == 0x04D0 &&
                m_data.Geraet.ProgramId.contains(QLatin1String("Z202 PA004"))) {
                lo = 55;
                hi = 150;
            }
            const bool large = ValueRules::LargeRatioDevice(m_data);
            const int n = W(mains ? 0x09BC : 0x09BE);
            const int d = (!mains && !large) ? W(0x09C2) : W(0x09C0);
            // One threshold decides the unit ("k" before it), the decimals shown and typed,
            // and whether the limits are in kilovolts.
            req.Decimals = ValueRules::RatioDecimals(m_data, n);
            if (n != 0) {
                if (d == 0)
                    return fail(GetText(128));
                lo = lo * float(n) / float(d);
                hi = hi * float(n) / float(d);
                if (req.Decimals > 0) {
                    lo /= 1000;
                    hi /= 1000;
                }
            }
            State.EditMin = lo;
            State.EditMax = hi;
            decimalHint();
        } else if (key == QLatin1String("S6") || key == QLatin1String("S7")) {
            State.EditMin = 1200;
            State.EditMax = 62500;
            State.EditHint = GetText(18) + (key == QLatin1String("S6")
                                                ? QStringLiteral("1200, 2400, 4800, 15625, 62500 Baud")
                                                : QStringLiteral("2400, 4800, 9600, 62500 Baud"));
        } else if (key == QLatin1String("S8") || key == QLatin1String("S9")) {
            const bool s8 = key == QLatin1String("S8");
            const int div = W(s8 ? 0x08CE : 0x08CC);
            if (div == 0)
                return fail(GetText(128));
            State.EditMin = 50;
            State.EditMax = float(W(s8 ? 0x0910 : 0x0930)) * 300.0f / float(div);
            decimalHint();
        } else if (key == QLatin1String("S10") || key == QLatin1String("S11")) {
            State.EditMin = 0;
            State.EditMax = 60000;
            State.EditHint = GetText(18) + GetText(291);
        } else if (key == QLatin1String("C0")) {
            if (!(hasLevel(Level::Cus) || hasLevel(Level::Fac) || hasLevel(Level::Fer)))
                return refuse(152, true);
            State.EditMin = 10;
            State.EditMax = 500;
            State.EditHint = GetText(18) + QStringLiteral("10, 20, 50, 100, 125k, 250k, 500k Baud");
        } else if (key == QLatin1String("S12")) {
            return prepare(-2, index, plan);
        } else {
            if (!decimalLimits())
                return false;
        }
        plan.Width = 2;
        plan.Follow = key != QLatin1String("S6") && key != QLatin1String("S7");
        plan.FollowFixed = 0;
        if (key == QLatin1String("S6") || key == QLatin1String("S7"))
            plan.Width = 1;
        return true;
    }
    case -2:
    case -5: {
        // Power limits of code 2 ("S12"); code 5 uses them with its own lower limits.
        const bool signedWord = code == -5;
        if (!ValueRules::PowerInMegawatt(m_data)) {
            long long hi = 0;
            if (!ParseDecimalInt(maxText, hi))
                return fail(GetText(128));
            State.EditMin = signedWord ? -200 : 0;
            State.EditMax = float(hi);
            req.Decimals = 0;
            State.EditHint = GetText(18) + (signedWord ? QStringLiteral("-200") : QStringLiteral("0")) +
                             QStringLiteral(" - ") + maxText + QLatin1Char(' ') + params.GetUnit(index);
        } else {
            const float hi = ParseNumber(maxText);
            if (!State.EditAccepted)
                return false;
            State.EditMin = signedWord ? -2 : 0;
            State.EditMax = hi / 100;
            req.Decimals = 2;
            State.EditHint = GetText(18) + ShortFloat(float(std::round(double(State.EditMin) * 100) / 100)) +
                             QStringLiteral(" - ") +
                             ShortFloat(float(std::round(double(State.EditMax) * 100) / 100));
        }
        plan.Width = 2;
        plan.Follow = !signedWord;
        return true;
    }
    case 4: {
        req.Decimals = 2;
        // "S1" holds a key, not a number, just like "SW": both get the fixed 50/60 range,
        // "S1" without the access restriction.
        if (key == QLatin1String("SW") || key == QLatin1String("S1")) {
            if (key == QLatin1String("SW") && !hasLevel(Level::Fer))
                return refuse(105);
            params.SetMax(index, QStringLiteral("60"));
            setMinText(QStringLiteral("50"));
            State.EditMin = 50;
            State.EditMax = 60;
        } else if (!parsedLimits()) {
            return false;
        }
        State.EditHint = standardHint(index);
        return startParsed(fv);
    }
    case 5: {
        if (!startSeparator(fv))
            return false;
        if (key == QLatin1String("S1") || key == QLatin1String("S3")) {
            const bool s1 = key == QLatin1String("S1");
            const int b = B(s1 ? 0x09B3 : 0x0C78);
            if (b & (s1 ? 0x04 : 0x02)) {
                State.EditMin = -5000;
                State.EditMax = 5000;
                State.EditHint = GetText(18) + QStringLiteral("-5 000 bis +5 000");
            } else if (b & (s1 ? 0x08 : 0x04)) {
                State.EditMin = 0;
                State.EditMax = 10000;
                State.EditHint = GetText(18) + QStringLiteral("0  bis +10 000");
            } else if (!decimalLimits()) {
                // Neither range bit: no range is known. Rather than offer limits an
                // earlier edit left behind, the definition line's are taken, and as its
                // Min field holds the key, that ends the edit with " Nicht möglich! ".
                return false;
            }
        } else if (key == QLatin1String("S12")) {
            return prepare(-5, index, plan);
        } else if (!decimalLimits()) {
            return false;
        }
        return true;
    }
    case 7:
        req.Decimals = 2;
        return parsedLimits() && startParsed(fv);
    case 8: {
        if (key == QLatin1String("GA")) {
            if (!hasLevel(Level::Cus))
                return refuse(137);
            // The texts show the limits in the hint only: the key stays for the next edit.
            setMinText(QStringLiteral("1"));
            setMaxText(QStringLiteral("240"));
            State.EditMin = 1;
            State.EditMax = 240;
            State.EditHint = standardHint(index);
        } else {
            long long lo = 0, hi = 0;
            if (!ParseHex(minText, lo) || !ParseHex(maxText, hi))
                return fail(GetText(128));
            State.EditMin = float(lo);
            State.EditMax = float(hi);
        }
        long long start = 0;
        if (!ParseHex(fv, start))
            return fail(GetText(128));
        req.Start = float(start);
        plan.Width = 1;
        return true;
    }
    case 9: {
        if (!startSeparator(fv))
            return false;
        if (key == QLatin1String("S1")) {
            State.EditMin = 0;
            State.EditMax = 63;
            State.EditHint = GetText(18) + QStringLiteral("0 - 24 und 61 - 63");
        } else if (key == QLatin1String("SU") || key == QLatin1String("SI")) {
            if (!hasLevel(Level::Fer))
                return refuse(105);
            const bool su = key == QLatin1String("SU");
            State.EditMin = su ? 60 : 1;
            State.EditMax = su ? 250 : 5;
            State.EditHint = GetText(18) + (su ? QStringLiteral("60 / 138 / 240 / 250") : QStringLiteral("1 / 5"));
        } else if (!decimalLimits()) {
            return false;
        }
        plan.Width = 1;
        plan.Follow = true;
        plan.FollowRaw = true;
        return true;
    }
    case 10:
        req.Decimals = 1;
        plan.Width = 1;
        return parsedLimits() && startSeparator(fv);
    case 11:
        req.Decimals = -1;
        plan.Width = 1;
        return decimalLimits() && startSeparator(fv);
    case 12: {
        if (!periodBase())
            return false;
        req.Decimals = 2;
        if (key == QLatin1String("S1") || key == QLatin1String("SW")) {
            if (key == QLatin1String("SW") && !hasLevel(Level::Fac))
                return refuse(105);
            setMinText(QStringLiteral("50"));
            params.SetMax(index, QStringLiteral("60"));
            State.EditMin = 50;
            State.EditMax = 60;
        } else if (key == QLatin1String("S2")) {
            setMinText(QStringLiteral("47"));
            State.EditMin = 47;
            State.EditMax = ParseNumber(maxText);
            if (!State.EditAccepted)
                return false;
        } else if (!parsedLimits()) {
            return false;
        }
        State.EditHint = standardHint(index);
        plan.Follow = true;
        plan.FollowRaw = true;
        return startSeparator(fv);
    }
    case 14: {
        if (!parsedLimits() || !startSeparator(fv))
            return false;
        // The formatter has just looked the kind up for this value.
        const int kind = m_data.AnalogInputKind;
        plan.Kind = kind;
        const bool high = plan.AddressValue > 0x0DBF;
        auto limits = [&](float lo, float hi, bool onlyHigh) {
            if (!onlyHigh || high) {
                State.EditMin = lo;
                State.EditMax = hi;
            }
        };
        if (kind == 0)
            limits(0, 65000, false);
        else if (kind == 1 || kind == 15)
            limits(-20, 150, true);
        else if (kind == 2)
            limits(50, 900, true);
        else if (kind == 4)
            limits(-32000, 32000, true);
        else if (kind == 8)
            limits(40, 120, true);
        else if (kind == 34 || kind == 35)
            limits(-5000, 5000, true);
        else if (kind == 5 || kind == 6) {
            req.Decimals = 1;
            limits(0, kind == 5 ? 5 : 10, true);
        } else if (In(kind, {9, 11, 32})) {
            req.Decimals = 1;
            limits(-3200, 3200, false);
        } else if (In(kind, {10, 12, 33})) {
            req.Decimals = 2;
            limits(-320, 320, false);
        }
        State.EditHint = GetText(18) + General5(State.EditMin) + QStringLiteral(" - ") + General5(State.EditMax) +
                         QLatin1Char(' ') + params.GetUnit(index);
        if (kind == 15 && State.EditHint == GetText(18) + QStringLiteral("-32000 - 32000 ")) {
            State.EditHint = GetText(18) + QStringLiteral("0 - 32000");
            State.EditMin = 0;
        }
        return true;
    }
    case 24: {
        req.Decimals = 3;
        if (!startSeparator(fv))
            return false;
        if (key == QLatin1String("S1")) {
            const int b = B(0x09B3);
            if (b & 0x04) {
                State.EditMin = -5;
                State.EditMax = 5;
                State.EditHint = GetText(18) + QStringLiteral("-5 Volt bis +5 Volt");
            } else if (b & 0x08) {
                State.EditMin = 0;
                State.EditMax = 10;
                State.EditHint = GetText(18) + QStringLiteral("0 Volt bis +10 Volt");
            } else {
                // Neither range bit: as for code 5, never limits of an earlier edit.
                return parsedLimits();
            }
            return true;
        }
        return parsedLimits();
    }
    case 210: {
        if (!periodBase())
            return false;
        QString t = fv;
        const int pm = t.indexOf(QLatin1String("+/-"));
        if (pm >= 0)
            t.remove(0, pm + 3);
        plan.F = float(m_data.PeriodBase) / 360.0f;
        return decimalLimits() && startSeparator(t);
    }
    case 211: {
        const int z = Wi(0x42);
        if (z == 0) {
            LastMessage.clear();
            return false;
        }
        plan.Q = float(z);
        const float zf = float(z);
        if (key == QLatin1String("S1")) {
            State.EditMin = -zf / 4;
            State.EditMax = zf / 4;
        } else if (key == QLatin1String("S2")) {
            State.EditMin = zf / 100;
            State.EditMax = zf / 10;
        } else if (key == QLatin1String("S3")) {
            // The key leaves no lower limit in the line; 0 is the live-zero point, the lowest
            // value the input shows as a reading.
            State.EditMin = 0;
            State.EditMax = zf;
            m_prompter.information(GetText(106));
        } else {
            long long lo = 0;
            if (!ParseDecimalInt(minText, lo))
                return fail(GetText(128));
            State.EditMin = float(lo);
            State.EditMax = zf;
        }
        State.EditHint = GetText(18) + ShortFloat(State.EditMin) + QStringLiteral(" - ") + ShortFloat(State.EditMax) +
                         QLatin1Char(' ') + params.GetUnit(index);
        plan.Width = 1;
        return startSeparator(fv);
    }
    case 212: {
        if (type == 34) {
            if ((Bi(0x2E) & 3) == 0 && In(int(plan.AddressValue), {0x0144, 0x0146, 0x0148, 0x014A})) {
                LastMessage.clear();
                return false;
            }
        }
        int base = 0, factor = 0;
        if (!ValueRules::PeriodPair(m_data, base, factor))
            return fail(GetText(491));
        m_data.PeriodBase = base;
        m_data.PeriodFactor = factor;
        plan.F = float(m_data.PeriodFactor);
        plan.Follow = true;
        plan.FollowRaw = true;
        return decimalLimits() && slowestSpeed(double(m_data.PeriodBase) * plan.F, 61440) && startSeparator(fv);
    }
    case 214:
        plan.K = float(ValueRules::SpeedConstant(m_data));
        plan.Follow = true;
        plan.FollowRaw = true;
        return decimalLimits() && slowestSpeed(plan.K, 65535) && startSeparator(fv);
    case 220:
        if (!periodBase())
            return false;
        req.Decimals = 2;
        plan.Follow = true;
        plan.FollowRaw = true;
        return parsedLimits() && startSeparator(fv);
    case 226:
        if (!periodBase())
            return false;
        req.Decimals = ValueRules::AngleDecimals;
        return decimalLimits() && startSeparator(fv);
    case 216:
    case 224: {
        const long long a = plan.AddressValue;
        int pairMask = 0, b1 = 0, b2 = 0;
        if (code == 224 && (a == 0x017A || a == 0x019F)) {
            // The word at the address points to the byte the grid shows: the edit stores
            // that byte and leaves the pointer alone.
            plan.Target = Wi(m_data.State.IndexOf(a));
            if (!TGeraet::ValidIndex(plan.Target))
                return fail(GetText(128));
        }
        if (code == 216 && (a == 0x0176 || a == 0x016C)) {
            plan.Q = float(Wi(0x74));
            plan.Flag = Bi(0x6F) & 0x04;
        } else if (code == 216 && (a == 0x0140 || a == 0x0141)) {
            plan.Q = float(Wi(0x42));
            plan.Flag = Bi(0x6F) & 0x08;
        } else if (code == 224 && a == 0x017A) {
            plan.Q = float(Wi(0x74));
            plan.Flag = Bi(0x6F) & 0x04;
            pairMask = 0x30;
            b1 = Bi(0x76);
            b2 = Bi(0x6C);
        } else if (code == 224 && a == 0x019F) {
            plan.Q = float(Wi(0x42));
            plan.Flag = Bi(0x6F) & 0x08;
            pairMask = 0xC0;
            b1 = Bi(0x40);
            b2 = Bi(0x41);
        } else {
            // No reference word is known for this address: nothing sensible to offer.
            return fail(GetText(128));
        }
        const float q = plan.Q;
        if (q == 0) {
            LastMessage.clear();
            return false;
        }
        req.Decimals = ValueRules::AnalogDecimals(q);
        if (code == 216) {
            State.EditMax = q;
            State.EditMin = plan.Flag ? -q / 4 : q * 0.01f;
            plan.Follow = true;
            plan.FollowRaw = true;
        } else {
            const float d = plan.Flag ? 196.0f : 245.0f;
            const int pair = Bi(0x6F) & pairMask;
            // Where no limit is derived the full range is offered: 0 below, Q above.
            State.EditMin = 0;
            State.EditMax = q;
            if (pair != pairMask)
                State.EditMax = q / d * float(std::min(245 - b1, 245 - b2));
            if (pair != 0)
                State.EditMin = q / d * float(std::max(b1, b2));
            if (State.EditMin < 0)
                State.EditMin = 0;
            auto roundLimit = [&](float x) {
                return q > 254 ? float(R(x)) : float(double(R(x * 10)) / 10);
            };
            State.EditMin = roundLimit(State.EditMin);
            State.EditMax = roundLimit(State.EditMax);
        }
        setMinText(ShortFloat(State.EditMin));
        plan.RestoreMin = false; // the computed limits stay in the definition texts
        params.SetMax(index, ShortFloat(State.EditMax));
        State.EditHint = standardHint(index);
        plan.Width = 1;
        return startSeparator(fv);
    }
    default:
        break;
    }

    // Generic numeric codes.
    const ValueRules::Rule *rule = ValueRules::Find(code);
    if (In(code, {1, 40, 41})) {
        long long lo = 0, hi = 0;
        if (!ParseHex(minText, lo) || !ParseHex(maxText, hi))
            return fail(GetText(128));
        if (code == 1 && hi < 0)
            hi += 65536;
        State.EditMin = float(lo);
        State.EditMax = float(hi);
    } else if (code == 28) {
        long long n = 0, s = 0;
        if (!ParseDecimalInt(maxText, n) || !ParseDecimalInt(minText, s) || n < 0 || n > 8 || s < 0 || s > 7)
            return fail(GetText(128));
        State.EditMin = 0;
        State.EditMax = float(255 >> (8 - n));
    } else if (rule && rule->Limits) {
        if (!rule->Limits(ruleContext(plan), State.EditMin, State.EditMax))
            return fail(GetText(128));
    } else if (!parsedLimits()) {
        return false;
    }
    if (In(code, {28, 208, 223}))
        numberHint();
    if (rule)
        req.Decimals = rule->Decimals;
    if (In(code, {1, 40, 41})) {
        long long start = 0;
        if (!ParseHex(fv, start))
            return fail(GetText(128));
        req.Start = float(start);
    } else if (!startParsed(fv)) {
        return false;
    }
    if (rule && rule->Usable && !rule->Usable(ruleContext(plan)))
        return fail(GetText(128));
    if (rule)
        plan.Width = rule->Width;
    else
        plan.Width = In(code, {28, 40, 41}) ? 1 : 2;
    return true;
}

EditDispatcher::Outcome EditDispatcher::rawValue(int code, int index, float v, Plan &plan, int &raw)
{
    Q_UNUSED(index);
    const QString &key = plan.Key;
    const int type = m_data.State.DeviceType;
    auto message = [&](const QString &text) {
        LastMessage = text;
        m_prompter.error(text);
        return Outcome::Message;
    };
    const int decimals = plan.Req.Decimals;
    const float scale = decimals >= 0 ? float(std::pow(10.0, decimals)) : 1.0f;
    switch (code) {
    case 2: {
        if (key == QLatin1String("S6") || key == QLatin1String("S7")) {
            const int rate = int(R(v));
            const bool s6 = key == QLatin1String("S6");
            const int rates6[][2] = {{1200, 210}, {2400, 201}, {4800, 192}, {15625, 18}, {62500, 0}};
            const int rates7[][2] = {{2400, 210}, {4800, 201}, {9600, 192}, {62500, 9}};
            bool found = false;
            if (s6) {
                for (const auto &r : rates6)
                    if (r[0] == rate) {
                        raw = r[1];
                        found = true;
                    }
            } else {
                for (const auto &r : rates7)
                    if (r[0] == rate) {
                        raw = r[1];
                        found = true;
                    }
            }
            // A rate the device does not know is not stored: there is no byte for it.
            return found ? Outcome::Ok : message(GetText(128));
        }
        if (key == QLatin1String("C0") && !In(int(R(v)), {10, 20, 50, 100, 125, 250, 500}))
            return message(kFactorWrong);
        return ValueRules::Fit(R(v * scale), 2, false, raw) ? Outcome::Ok : message(GetText(490));
    }
    case 4:
        if (key == QLatin1String("S1") || key == QLatin1String("SW"))
            v = v >= 56 ? 60 : 50;
        break; // the rule of the code
    case 5:
        // The power keys type hundredths of the raw value in MW.
        return ValueRules::Fit(R(v * scale), 2, true, raw) ? Outcome::Ok : message(GetText(490));
    case 8:
        raw = int(R(v));
        return Outcome::Ok;
    case 9: {
        const int n = int(R(v));
        if (key == QLatin1String("S1")) {
            if (n >= 25 && n <= 60)
                return Outcome::Reopen;
            if (n > 63)
                return Outcome::Silent;
        } else if (key == QLatin1String("SU")) {
            if (!In(n, {60, 138, 240, 250}))
                return message(kFactorWrong);
        } else if (key == QLatin1String("SI")) {
            if (n != 1 && n != 5)
                return Outcome::Silent;
        }
        if (plan.AddressValue == 0x080C) {
            if (!In(n, {1, 60, 80, 138, 240, 250}))
                return Outcome::Silent;
            m_data.State.MainsFactor = n;
        } else if (plan.AddressValue == 0x080D) {
            if (!In(n, {60, 80, 138, 240, 250}))
                return Outcome::Silent;
            m_data.State.GenFactor = n;
        }
        raw = n;
        return Outcome::Ok;
    }
    case 12: {
        const int pb = m_data.PeriodBase;
        float k = pb > 7999 ? 10000.0f : 5000.0f;
        if (key == QLatin1String("S2") && type == 34 && (Bi(0x2E) & 3) != 0)
            k = float(Wi(0x56));
        if (key == QLatin1String("S1") || key == QLatin1String("SW"))
            v = v >= 56 ? 60 : 50;
        float f = v * 100;
        if (f == 0)
            f = 50;
        raw = int(R(k * 5000 / f));
        return Outcome::Ok;
    }
    case 14: {
        const int kind = plan.Kind;
        long long r;
        if (In(kind, {5, 6, 9, 11, 32}))
            r = R(v * 10);
        else if (In(kind, {10, 12, 33}))
            r = R(v * 100);
        else
            r = R(v);
        if (r < 0 && (In(kind, {1, 3, 4}) || Between(kind, 9, 12) || Between(kind, 31, 35)))
            r += 65536;
        raw = int(r);
        return Outcome::Ok;
    }
    case 210:
        raw = int(R((v + 120) * plan.F));
        State.FollowValue = int(R(plan.F * (120 - v)));
        return Outcome::Ok;
    case 211: {
        float x = v * 196 / plan.Q;
        if (key != QLatin1String("S2"))
            x += 49;
        raw = m_host.OfflineFile() ? int(R(x)) : int(std::trunc(x));
        return Outcome::Ok;
    }
    case 212: {
        if (v == 0)
            return Outcome::Silent;
        // Periods from 0xF000 on mean "no value": a speed that needs one is not stored.
        const long long r = R(float(m_data.PeriodBase) * plan.F / v);
        if (r < 1 || r > 61440)
            return message(GetText(490));
        raw = int(r);
        return Outcome::Ok;
    }
    case 214:
        if (v == 0)
            return Outcome::Silent;
        // A speed whose period does not fit the word is refused rather than cut to the
        // word's end, which would store another speed.
        if (!ValueRules::Fit(R(plan.K / v), 2, false, raw) || raw == 0)
            return message(GetText(490));
        return Outcome::Ok;
    case 220: {
        const int pb = m_data.PeriodBase;
        if (pb == 0)
            return Outcome::Silent;
        const float k = pb > 7999 ? 10000.0f : 5000.0f;
        const float t = k * 5000 / float(pb) - v * 100;
        if (t == 0)
            return Outcome::Silent;
        raw = int(R(k * 5000 / t - float(pb)));
        return Outcome::Ok;
    }
    case 226: {
        const float pb = float(m_data.PeriodBase);
        if (m_data.Geraet.ProgramVersion > 7)
            raw = int(R(m_data.PeriodBase == 10000 ? pb * v / 450 : pb * v / 418));
        else
            raw = int(R(pb * (v - 1) / 360));
        return Outcome::Ok;
    }
    case 216:
    case 224: {
        const float x = plan.Flag ? v * 196 / plan.Q + 49 : v * 245 / plan.Q;
        if (x < 1 || x > 255)
            return Outcome::Silent;
        raw = int(R(x));
        return Outcome::Ok;
    }
    default:
        break;
    }

    // Codes with a shared rule: the raw value that shows the typed value again.
    if (const ValueRules::Rule *rule = ValueRules::Find(code)) {
        if (!ValueRules::RawOf(*rule, v, ruleContext(plan, rule->Width), raw))
            return message(GetText(490));
        return Outcome::Ok;
    }
    // Hexadecimal words, bit fields and plain integers.
    const int address = m_data.State.IndexOf(plan.AddressValue);
    long long r = 0;
    switch (code) {
    case 28: {
        const int n = m_data.Params.GetMax(index).trimmed().toInt();
        const int s = m_data.Params.GetMin(index).trimmed().toInt();
        const int mask = ((255 >> (8 - n)) << s) & 0xFF;
        r = (Bi(address) & ~mask & 0xFF) | ((R(v) << s) & 0xFF);
        break;
    }
    case 40: r = (Bi(address) & 0xF0) | (R(v) & 0x0F); break;
    case 41: r = (Bi(address) & 0x0F) | ((R(v) << 4) & 0xF0); break;
    default: r = R(v); break; // 1, 106-111
    }
    if (!ValueRules::Fit(r, plan.Width, false, raw))
        return message(GetText(490));
    return Outcome::Ok;
}

ValueRules::Context EditDispatcher::ruleContext(const Plan &plan, int width) const
{
    const long long at = m_data.State.IndexOf(plan.AddressValue);
    return ValueRules::Context{m_data, plan.Key, width == 1 ? Bi(at) : Wi(at)};
}

void EditDispatcher::restoreTexts(int index, const Plan &plan)
{
    if (plan.RestoreMin)
        m_data.Params.SetMin(index, plan.SavedMin);
    if (plan.RestoreMax)
        m_data.Params.SetMax(index, plan.SavedMax);
}

// ---------------------------------------------------------------------------------------

EditResult EditDispatcher::yesNo(int code, int index)
{
    State.EditStage = 0;
    LastMessage.clear();
    Plan plan;
    plan.Key = m_data.Params.GetMin(index).trimmed();
    plan.Address = m_data.Params.GetAddress(index).trimmed();
    if (!ParseAddress(plan.Address, plan.AddressValue))
        return reject(GetText(128));
    const bool byteBits = code <= 23;
    if (byteBits && plan.Key == QLatin1String("H1") && !hasLevel(Level::Fer)) {
        LastMessage = GetText(105);
        m_prompter.error(LastMessage);
        EndEdit();
        return EditResult::Refused;
    }
    m_formatter.YesNoIndex.clear();
    m_formatter.FormatParameter(index);
    State.ChoiceTexts[0] = GetText(21);
    State.ChoiceTexts[1] = GetText(22);
    State.EditHint = GetText(18) + QLatin1Char(' ') + GetText(21) + QStringLiteral(" / ") + GetText(22);
    YesNoRequest req;
    req.YesText = State.ChoiceTexts[0];
    req.NoText = State.ChoiceTexts[1];
    req.CurrentText = m_formatter.FormattedValue;
    req.Caption = State.EditCaption;
    req.Hint = State.EditHint;
    int answer = req.Preselected();
    const bool ok = m_dialogs.AskYesNo(req, answer);
    State.EditAccepted = ok;
    if (!ok) {
        EndEdit();
        return EditResult::Cancelled;
    }
    answer = answer == 0 ? 0 : 1;
    State.YesNoIndex = QString::number(answer);
    const long long imageIndex = m_data.State.IndexOf(plan.AddressValue);
    int raw;
    if (byteBits) {
        const int bit = code - 16;
        raw = Bi(imageIndex);
        raw = answer == 0 ? (raw | (1 << bit)) : (raw & ~(1 << bit) & 0xFF);
        if (IsTransferSwitchType(m_data.State.DeviceType) && plan.AddressValue == 0x05F0 && (raw & 3) == 3) {
            if (code == 16)
                raw &= ~0x02;
            else if (code == 17)
                raw &= ~0x01;
        }
        plan.Width = 1;
        plan.Follow = true;
        plan.FollowFixed = answer == 0 ? (1 << bit) : 255 - (1 << bit);
    } else {
        int set, clear;
        if (Between(code, 64, 73))
            set = clear = 1 << (code - 64);
        else if (Between(code, 80, 85))
            set = clear = 1 << (code - 70);
        else if (code == 86)
            set = clear = 0xC000;
        else if (code == 87)
            set = clear = 0x0C00;
        else if (code == 88)
            set = clear = 0x00C0;
        else {
            set = code == 114 ? 0x10 : code == 115 ? 0x20 : code == 116 ? 0x40 : 0x80;
            clear = code <= 115 ? 0x30 : 0xC0;
        }
        raw = Wi(imageIndex) & ~clear & 0xFFFF;
        if (answer == 0)
            raw |= set;
        plan.Width = 2;
    }
    return finishWrite(code, index, imageIndex, raw, plan.Width, plan);
}

// ---------------------------------------------------------------------------------------
// Choices, bit words, label texts, fault codings and relay functions.

EditResult EditDispatcher::cancelled()
{
    State.EditAccepted = false;
    EndEdit();
    return EditResult::Cancelled;
}

// Option text of list entry i: its text after the first "-"; empty past the list.
QString EditDispatcher::entryText(int i) const
{
    if (i < 0 || i >= m_data.Params.Count())
        return QString();
    const QString text = m_data.Params.Item(i).Text;
    const int dash = text.indexOf(QLatin1Char('-'));
    return dash < 0 ? text : text.mid(dash + 1);
}

// The byte an option entry stands for: its Min text in hexadecimal; -1 when unreadable.
int EditDispatcher::entryCode(int i) const
{
    long long v = 0;
    if (i < 0 || i >= m_data.Params.Count() || !ParseHex(m_data.Params.GetMin(i), v) || v < 0 || v > 0xFFFF)
        return -1;
    return int(v);
}

bool EditDispatcher::beginChoice(int index, Plan &plan)
{
    State.EditStage = 0;
    LastMessage.clear();
    m_chain.clear();
    m_follow = Follow::None;
    plan.Key = m_data.Params.GetMin(index).trimmed();
    plan.Address = m_data.Params.GetAddress(index).trimmed();
    if (!ParseAddress(plan.Address, plan.AddressValue)) {
        reject(GetText(128));
        return false;
    }
    m_formatter.FormatParameter(index);
    return true;
}

EditResult EditDispatcher::choice26(int index)
{
    Plan plan;
    if (!beginChoice(index, plan))
        return EditResult::Rejected;
    const int type = m_data.State.DeviceType;
    const int version = m_data.Geraet.ProgramVersion;
    const QString max = m_data.Params.GetMax(index).trimmed();
    const bool a2 = max == QLatin1String("A2");
    std::array<QString, 20> options;
    int start = index;
    int count = 8;
    int groupEnd = m_data.Params.Count();
    auto codeOf = [&](int i) { return i < groupEnd ? entryCode(i) : -1; };
    if (IsControllerType(type)) {
        if (a2)
            count = 20;
        else if (max == QLatin1String("A3"))
            count = 4;
        // An unknown Max offers eight entries, like "A1".
        if (a2) {
            // Edits come from the rows of the chosen group, so the heading before the
            // parameter is the heading of the group chosen in the selector.
            int heading = index - 1;
            while (heading > 0 && !m_data.Params.Item(heading).Text.contains(QLatin1String("+++")))
                --heading;
            heading = std::max(heading, 0);
            start = heading + 1;
            QString caption = m_data.Params.Item(heading).Text;
            caption.remove(QStringLiteral("    "));
            caption.remove(QStringLiteral("++++"));
            State.EditCaption = caption;
        } else {
            static const QStringList keys = {QStringLiteral("02"), QStringLiteral("04"), QStringLiteral("08"),
                                             QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("40"),
                                             QStringLiteral("80")};
            start = index - (keys.indexOf(plan.Key) + 1);
        }
        // The options are the group's own entries: the next group's heading and entries
        // stand for codes of another function.
        groupEnd = index + 1;
        while (groupEnd < m_data.Params.Count() && !m_data.Params.Item(groupEnd).Text.contains(QLatin1String("+++")))
            ++groupEnd;
        if (a2 && version <= 11 && (Between(type, 0, 4) || type == 14)) {
            // The old lists hold the options of a bit-coded output at these places.
            const int offsets[8] = {1, 2, 4, 8, 16, 17, 18, 19};
            for (int k = 0; k < 8; ++k)
                if (start + offsets[k] < groupEnd)
                    options[size_t(k)] = entryText(start + offsets[k]);
        } else {
            for (int k = 0; k < count && start + k < groupEnd; ++k)
                options[size_t(k)] = entryText(start + k);
        }
    } else {
        const bool outputs = a2;
        const int shown = max == QLatin1String("A3") ? 4 : 8;
        State.EditCaption = QString::fromUtf8(outputs ? kOutputCaption : kRelayCaption);
        for (int k = 0; k < shown; ++k)
            options[size_t(k)] = QString::fromUtf8(outputs ? kOutputOptions[k] : kRelayOptions[k]);
    }
    State.ChoiceTexts = options;
    const long long imageIndex = m_data.State.IndexOf(plan.AddressValue);
    const int current = Bi(imageIndex);
    int result = 0;
    bool ok;
    if (version > 11 && (Between(type, 0, 4) || type == 12 || type == 14) && a2) {
        Choice16Request req;
        req.Options = options;
        for (int k = 0; k < 16; ++k)
            req.OptionCodes[size_t(k)] = codeOf(start + k);
        req.StartIndex = start;
        req.Current = current;
        req.ProgramVersion = version;
        req.Caption = State.EditCaption;
        ok = m_dialogs.AskChoice16(req, result);
    } else if (type == 12 || type == 13 || (InSetB(type) && version > 6 && a2)) {
        RadioChoiceRequest req;
        req.Options = options;
        for (int k = 0; k < 18; ++k)
            req.OptionCodes[size_t(k)] = codeOf(start + k);
        req.StartIndex = start;
        req.OptionCount = std::min(count, std::max(0, groupEnd - start));
        req.Caption = State.EditCaption;
        ok = m_dialogs.AskRadioChoice(req, result);
    } else {
        Choice8Request req;
        req.Options = options;
        req.Current = current;
        req.Caption = State.EditCaption;
        ok = m_dialogs.AskChoice8(req, result);
    }
    State.EditAccepted = ok;
    if (!ok)
        return cancelled();
    State.EditValue = float(result);
    return finishWrites(26, index, {{imageIndex, result & 0xFF, 1}}, Follow::Bit, plan.Address, 1, 0xF7);
}

EditResult EditDispatcher::bitWord29(int index)
{
    Plan plan;
    if (!beginChoice(index, plan))
        return EditResult::Rejected;
    long long n = 0;
    if (!ParseHex(plan.Key, n) || index - n < 0 || index - n >= m_data.Params.Count())
        return reject(GetText(128));
    const int heading = int(index - n);
    State.EditCaption = m_data.Params.Item(heading).Text;
    BitWordRequest req;
    for (int k = 0; k < 15; ++k)
        req.Options[size_t(k)] = entryText(heading + 1 + k);
    State.ChoiceTexts = req.Options;
    const long long imageIndex = m_data.State.IndexOf(plan.AddressValue);
    req.Current = Wi(imageIndex);
    req.Caption = State.EditCaption;
    int result = 0;
    const bool ok = m_dialogs.AskBitWord(req, result);
    State.EditAccepted = ok;
    if (!ok)
        return cancelled();
    // Check box k is bit k; bit 0 has no box.
    return finishWrites(29, index, {{imageIndex, result & 0xFFFE, 2}}, Follow::None);
}

EditResult EditDispatcher::labelText(int code, int index)
{
    Plan plan;
    if (!beginChoice(index, plan))
        return EditResult::Rejected;
    float length = 0;
    if (!numberWithSeparator(m_data.Params.GetMax(index), length)) {
        EndEdit();
        return EditResult::Rejected;
    }
    LabelTextRequest req;
    req.CurrentText = m_formatter.FormattedValue.mid(code == 32 ? 16 : 18);
    req.RecordLength = int(length);
    QString record;
    const bool ok = m_dialogs.AskLabelText(req, record);
    State.EditAccepted = ok;
    if (!ok)
        return cancelled();
    if (IsPaType(m_data.State.DeviceType) && record.contains(QStringLiteral("          #  "))) {
        // The four fixed channels of these devices keep their number when both lines are empty.
        const struct
        {
            long long address;
            const char *number;
        } fixed[] = {{0x0400, "01"}, {0x0570, "02"}, {0x0590, "03"}, {0x05B0, "04"}};
        for (const auto &f : fixed)
            if (plan.AddressValue == f.address)
                record = QString(12, QLatin1Char(' ')) + QLatin1Char('#') + QLatin1String(f.number) +
                         QString(17, QLatin1Char(' '));
    }
    // Whatever a dialog hands back, the record stays within its 32 bytes: the next
    // record starts right after it.
    const QByteArray bytes = Ansi::encode(record).left(32);
    const long long at = m_data.State.IndexOf(plan.AddressValue);
    std::vector<Write> writes;
    int k = 0;
    for (; k + 1 < bytes.size(); k += 2)
        writes.push_back({at + k, (quint8(bytes[k]) << 8) | quint8(bytes[k + 1]), 2});
    if (k < bytes.size())
        writes.push_back({at + k, quint8(bytes[k]), 1});
    return finishWrites(code, index, writes, Follow::None);
}

EditResult EditDispatcher::faultCoding33(int index)
{
    Plan plan;
    if (!beginChoice(index, plan))
        return EditResult::Rejected;
    const int type = m_data.State.DeviceType;
    const int version = m_data.Geraet.ProgramVersion;
    const QString &id = m_data.Geraet.ProgramId;
    int step = 0;
    if (InSetA(type))
        step = version > 29 ? 8 : 6;
    if (HasAny(id, kStep4Programs))
        step = 4;
    if (InSetB(type))
        step = 6;
    if (step == 0) {
        // No spacing is known for this device: guessing one would change foreign bytes, so
        // the coding is not offered for editing.
        EndEdit();
        return EditResult::NoEditor;
    }
    long long mask = 0;
    if (!ParseHex(plan.Key, mask))
        return reject(GetText(128));
    mask &= 0xFF;
    long long at = m_data.State.IndexOf(plan.AddressValue);
    const bool moved = version > 29 && at == 0x5D3 && HasAny(id, kMovedCodingPrograms);
    if (moved)
        at = 0xB3;
    if (!TGeraet::ValidRange(at, 3 * step + 1))
        return reject(GetText(128));
    State.EditHint = GetText(23);
    FaultCodingRequest req;
    req.Letters = m_formatter.FormattedValue.trimmed();
    req.Caption = State.EditCaption;
    req.Legend = State.EditHint;
    req.DeviceType = type;
    req.DefinitionFile = m_data.State.DefinitionFile;
    req.Reduced = IsTransferSwitchType(type) && !hasLevel(Level::Mas);
    FaultFlags flags;
    const bool ok = m_dialogs.AskFaultCoding(req, flags);
    State.EditAccepted = ok;
    if (!ok)
        return cancelled();
    auto byteWith = [&](long long i, bool set) {
        const int b = Bi(i);
        return set ? (b | int(mask)) : (b & ~int(mask) & 0xFF);
    };
    std::vector<Write> writes;
    // The reduced dialog shows only A/R: the delay, generator-on and shutdown bits it does
    // not show stay exactly as they are.
    if (!req.Reduced) {
        writes.push_back({at, byteWith(at, flags.VU == 0), 1});
        writes.push_back({at + step, byteWith(at + step, flags.I0 == 0), 1});
    }
    if (!(moved && m_host.OfflineFile()))
        writes.push_back({at + 2 * step, byteWith(at + 2 * step, flags.AR != 0), 1}); // A: open circuit, bit clear
    if (!req.Reduced)
        writes.push_back({at + 3 * step, byteWith(at + 3 * step, flags.SW == 0), 1});
    return finishWrites(33, index, writes, Follow::None);
}

EditResult EditDispatcher::faultMasks(int code, int index)
{
    Plan plan;
    if (!beginChoice(index, plan))
        return EditResult::Rejected;
    static const char *const bitAddresses[] = {"0101", "0102", "0104", "0108", "0110", "0120", "0140", "0180"};
    int bit = 0;
    for (int k = 0; k < 8; ++k)
        if (plan.Address.compare(QLatin1String(bitAddresses[k]), Qt::CaseInsensitive) == 0)
            bit = 1 << k;
    if (bit == 0) // the address names no bit of the masks
        return rejectSilently();
    const bool compact = IsCompactType(m_data.State.DeviceType);
    // Image indexes in the order of writing: A/R, V/U, S/W, I/0 (-1: none).
    std::array<int, 4> at;
    if (code == 218)
        at = {-1, 0x69, 0x6A, 0x6B};
    else {
        const int base = (code == 217 ? 0x61 : 0x60) + (compact ? 0x20 : 0);
        at = {base, base + 2, base + 4, base + 6};
    }
    const QString &def = m_data.State.DefinitionFile;
    State.EditHint = HasAny(def, {"A70-010", "A70-025"}) ? GetText(125) : GetText(23);
    FaultCodingRequest req;
    req.Letters = m_formatter.FormattedValue.trimmed();
    req.Caption = State.EditCaption;
    req.Legend = State.EditHint;
    req.DeviceType = m_data.State.DeviceType;
    req.DefinitionFile = def;
    req.Reduced = IsTransferSwitchType(m_data.State.DeviceType) && !hasLevel(Level::Mas);
    std::array<int, 4> before{};
    for (size_t k = 0; k < 4; ++k)
        before[k] = at[k] < 0 ? 0 : Bi(at[k]);
    FaultFlags flags;
    const bool ok = m_dialogs.AskFaultCoding(req, flags);
    State.EditAccepted = ok;
    if (!ok)
        return cancelled();
    // The first choice (A, V, S, I) sets the bit.
    const bool set[4] = {flags.AR == 0, flags.VU == 0, flags.SW == 0, flags.I0 == 0};
    std::vector<Write> writes;
    for (size_t k = 0; k < 4; ++k)
        if (at[k] >= 0)
            writes.push_back({at[k], set[k] ? (before[k] | bit) : (before[k] & ~bit & 0xFF), 1});
    return finishWrites(code, index, writes, Follow::None);
}

EditResult EditDispatcher::relay222(int index)
{
    Plan plan;
    if (!beginChoice(index, plan))
        return EditResult::Rejected;
    if (plan.Address == QLatin1String("0100"))
        return rejectSilently();
    const QVector<RelayFunction> &table = m_data.Def.RelayFunctionTable;
    RelayRequest req;
    for (int k = 0; k < table.size() && k < req.TableSize; ++k)
        req.Entries << table.at(k).Text;
    req.Caption = State.EditCaption;
    req.CurrentText = m_formatter.FormattedValue;
    RelayAnswer answer;
    const bool ok = m_dialogs.AskRelay(req, answer);
    State.EditAccepted = ok;
    if (!ok)
        return cancelled();
    // "00" marks a function that is shown but not stored; nothing changed, so the relay
    // page stays as it is.
    if (plan.Address == QLatin1String("00"))
        return rejectSilently();
    long long raw = 0;
    if (answer.FreeEntry) {
        if (!ParseHex(answer.FreeText, raw))
            return reject(GetText(128));
    } else {
        if (answer.Index < 0 || answer.Index >= req.Entries.size())
            return rejectSilently();
        if (!ParseHex(table.at(answer.Index).Key, raw))
            return reject(GetText(128));
    }
    if (raw < 0)
        raw += 65536;
    if (raw < 0 || raw > 0xFFFF)
        return reject(GetText(128));
    State.EditValue = float(raw);
    return finishWrites(222, index, {{m_data.State.IndexOf(plan.AddressValue), int(raw), 2}}, Follow::RelayPage);
}
