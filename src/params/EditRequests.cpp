#include "params/EditRequests.h"
#include "params/NumberFormat.h"
#include "shell/Texts.h"
#include <algorithm>
#include <cmath>

using NumberFormat::RoundHalfEven;

double NumberRequest::Scale() const { return std::pow(10.0, Decimals); }
long long NumberRequest::PositionOf(double value) const { return RoundHalfEven(value * Scale()); }
long long NumberRequest::MinPosition() const { return std::min(PositionOf(Minimum), PositionOf(Maximum)); }
long long NumberRequest::MaxPosition() const { return std::max(PositionOf(Minimum), PositionOf(Maximum)); }
float NumberRequest::ValueOf(long long position) const { return float(double(position) / Scale()); }
float NumberRequest::Clamp(double typed) const
{
    return ValueOf(std::clamp(PositionOf(typed), MinPosition(), MaxPosition()));
}
bool NumberRequest::InRange(double typed) const
{
    const long long p = PositionOf(typed);
    return p >= MinPosition() && p <= MaxPosition();
}

int YesNoRequest::Preselected() const
{
    QString yes = YesText;
    if (yes.size() < CurrentText.size())
        yes = QString(CurrentText.size() - yes.size(), QLatin1Char(' ')) + yes;
    return yes == CurrentText ? 0 : 1;
}

// Dialogs an implementation does not offer answer as if cancelled.
bool EditDialogs::AskChoice8(const Choice8Request &, int &) { return false; }
bool EditDialogs::AskChoice16(const Choice16Request &, int &) { return false; }
bool EditDialogs::AskRadioChoice(const RadioChoiceRequest &, int &) { return false; }
bool EditDialogs::AskBitWord(const BitWordRequest &, int &) { return false; }
bool EditDialogs::AskLabelText(const LabelTextRequest &, QString &) { return false; }
bool EditDialogs::AskFaultCoding(const FaultCodingRequest &, FaultFlags &) { return false; }
bool EditDialogs::AskRelay(const RelayRequest &, RelayAnswer &) { return false; }

// --- choice of 8 -----------------------------------------------------------------------

namespace {

// The radio buttons of one group box exclude each other: of several set bits only the
// last control checked stays checked, as the dialog checks them in option order.
int KeepLastOf(int mask, int groupMask)
{
    const int inGroup = mask & groupMask;
    if (inGroup == 0)
        return mask;
    int last = 0;
    for (int bit = 1; bit <= groupMask; bit <<= 1)
        if (inGroup & bit)
            last = bit;
    return (mask & ~groupMask) | last;
}

constexpr int kChoice8Rb1To4 = 0x0F;
constexpr int kChoice8Rb5To6 = 0x30;

} // namespace

int Choice8Request::CheckedOnShow() const
{
    const int mask = VisibleControls() & Current & 0xFF;
    // Cb_2 stands alone: checking it clears the rest.
    if (mask & 0x80)
        return 0x80;
    return KeepLastOf(KeepLastOf(mask, kChoice8Rb1To4), kChoice8Rb5To6);
}

int Choice8Request::VisibleControls() const
{
    int mask = 0;
    for (int i = 0; i < 8; ++i)
        if (!Options[size_t(i)].isEmpty())
            mask |= 1 << i;
    return mask;
}

int Choice8Request::Result(int checkedMask)
{
    if (checkedMask & 0x80)
        return 128;
    int byte = 0;
    for (int i = 3; i >= 0; --i) // Rb_4 before Rb_1
        if (checkedMask & (1 << i)) {
            byte += 1 << i;
            break;
        }
    if (checkedMask & 0x20)
        byte += 32;
    else if (checkedMask & 0x10)
        byte += 16;
    if (checkedMask & 0x40)
        byte += 64;
    return byte;
}

// --- choice of 16 and flags ------------------------------------------------------------

Choice16Request::Checks Choice16Request::OnShow() const
{
    Checks c;
    if (!Cb2Exclusive()) {
        c.Cb17 = Current & 0x10;
        c.Cb18 = Current & 0x20;
        c.Cb1 = Current & 0x40;
        c.Cb2 = Current & 0x80;
        return c;
    }
    if (Current & 0x80) {
        c.Cb2 = true;
        return c;
    }
    // Several entries with the same code: the last one stays checked, as in the dialog.
    for (int k = 0; k < 16; ++k)
        if (OptionCodes[size_t(k)] >= 0 && OptionCodes[size_t(k)] == (Current & 0x0F))
            c.Radio = k;
    c.Cb17 = Current & 0x10;
    c.Cb18 = Current & 0x20;
    c.Cb1 = Current & 0x40;
    return c;
}

int Choice16Request::Result(const Checks &checks) const
{
    if (checks.Cb2 && Cb2Exclusive())
        return 128;
    int byte = 0;
    if (checks.Radio >= 0 && checks.Radio < 16)
        byte = std::max(0, OptionCodes[size_t(checks.Radio)]);
    if (checks.Cb17)
        byte |= 0x10;
    if (checks.Cb18)
        byte |= 0x20;
    if (checks.Cb1)
        byte |= 0x40;
    if (checks.Cb2)
        byte |= 0x80;
    return byte;
}

// --- choice of 18 ----------------------------------------------------------------------

bool RadioChoiceRequest::Visible(int k) const
{
    if (k < 0 || k >= 18 || k >= OptionCount)
        return false;
    const QString &text = Options[size_t(k)];
    return !text.isEmpty() && !text.toUpper().contains(QLatin1String("RESERVIERT"));
}

int RadioChoiceRequest::Result(int checked) const
{
    if (checked < 0 || checked >= 18)
        return 0;
    return std::max(0, OptionCodes[size_t(checked)]);
}

// --- bit word --------------------------------------------------------------------------

int BitWordRequest::CheckedOnShow() const
{
    // Taken from the top down by subtraction, as the dialog always did: bit 0 is left over
    // and dropped, and a value above 16 bits checks every box it still covers.
    long long remaining = Current;
    int mask = 0;
    for (int k = 15; k >= 1; --k) {
        const long long weight = 1LL << k;
        if (remaining >= weight) {
            mask |= 1 << k;
            remaining -= weight;
        }
    }
    return mask;
}

int BitWordRequest::Result(int checkedMask) { return checkedMask & 0xFFFE; }

// --- label text ------------------------------------------------------------------------

QString LabelTextRequest::Prefix() const { return CurrentText.section(QLatin1Char('|'), 0, 0); }

QString LabelTextRequest::Line1() const
{
    return CurrentText.section(QLatin1Char('|'), 1, 1).left(Line1MaxLength());
}

QString LabelTextRequest::Line2() const
{
    return CurrentText.section(QLatin1Char('|'), 2, 2).left(Line2MaxLength);
}

// The first line shares the record's first half with its five leading blanks; a record is
// never longer than its 32 bytes, whatever the definition line says.
int LabelTextRequest::Line1MaxLength() const { return std::clamp(RecordLength - 5, 0, 11); }

QString LabelTextRequest::Record(const QString &line1, const QString &line2) const
{
    const QString record = (QStringLiteral("     ") + line1.left(Line1MaxLength())).leftJustified(16, QLatin1Char(' ')) +
                           line2.left(Line2MaxLength).leftJustified(16, QLatin1Char(' '));
    // An empty label keeps its slot number so that the device still shows which one it is.
    if (record == QString(32, QLatin1Char(' ')))
        return (QString(12, QLatin1Char(' ')) + QLatin1Char('#') + Prefix()).leftJustified(32, QLatin1Char(' ')).left(32);
    return record;
}

// --- fault coding ----------------------------------------------------------------------

namespace {

// The coding letters are texts of the table; the German letter stands in when a table
// lacks one, so that an empty text never matches every coding.
QString Letter(int n, const char *german)
{
    const QString t = GetText(n);
    return t.isEmpty() ? QLatin1String(german) : t;
}

} // namespace

QString FaultCodingRequest::ShownLegend() const
{
    QString legend = Legend;
    if (DeviceType == 31) {
        const int at = legend.indexOf(QLatin1String("I - Gen. bleibt ein"));
        if (at >= 0)
            legend = legend.left(at) + QStringLiteral("I - Warnung II aus   0 - Warnung II ein");
    }
    if (Reduced) {
        const QString word = QStringLiteral("Break-contact");
        const int at = legend.indexOf(word);
        if (at >= 0)
            legend = legend.left(at + word.size());
        else
            legend = QStringLiteral("Fehlerkodierung:\rA - Arbeitsstrom   R - Ruhestrom");
    }
    return legend;
}

QStringList FaultCodingRequest::Items(int box) const
{
    switch (box) {
    case 0:
        return {GetText(32), GetText(33)};
    case 1:
        return {GetText(34), GetText(35)};
    case 2:
        return {GetText(36), GetText(37)};
    case 3:
        if (DefinitionFile.contains(QLatin1String("A70-010")) || DefinitionFile.contains(QLatin1String("A70-025")))
            return {GetText(123), GetText(124)};
        return {GetText(38), GetText(39)};
    default:
        return {};
    }
}

FaultFlags FaultCodingRequest::OnShow() const
{
    FaultFlags f;
    if (Letters.contains(Letter(24, "A")))
        f.AR = 0;
    if (Letters.contains(Letter(25, "R")))
        f.AR = 1;
    f.VU = Letters.contains(Letter(26, "V")) ? 0 : 1;
    f.SW = Letters.contains(Letter(28, "S")) ? 0 : 1;
    f.I0 = Letters.contains(Letter(30, "I")) ? 0 : 1;
    return f;
}

bool FaultCodingRequest::ArVisible() const
{
    return Letters.contains(Letter(24, "A")) || Letters.contains(Letter(25, "R"));
}

// --- relay function --------------------------------------------------------------------

QString RelayRequest::Title() const { return Caption + QLatin1Char(' ') + CurrentText; }
