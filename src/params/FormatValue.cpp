#include "params/FormatValue.h"
#include "params/ValueRules.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "device/Definition.h"
#include "shell/AnsiCodec.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"

using NumberFormat::Fixed;
using NumberFormat::General;
using NumberFormat::RoundHalfEven;

namespace {

// Codes whose raw value is one byte of the image; every other code reads a word.
bool isByteCode(int c)
{
    return (c >= 8 && c <= 11) || (c >= 15 && c <= 23) || (c >= 26 && c <= 28) || c == 40 || c == 41 || c == 192 ||
           c == 193 || c == 208 || c == 209 || c == 211 || c == 219 || c == 221 || c == 223 || c == 228;
}

// Codes that take no raw value from the image at their own address: they read other
// places, or only work on a value text.
bool readsOwnAddress(int c)
{
    switch (c) {
    case 14: case 32: case 33: case 35: case 217: case 218: case 225:
    case 240: case 241: case 242: case 243: case 244: case 245: case 246: case 247:
        return false;
    default:
        return true;
    }
}

// Up to 8 hexadecimal digits, read as a 32-bit two's-complement number as the definition
// files and answer texts mean them ("FFFFFFFF" is -1). Blanks around the digits are allowed.
bool parseHex(const QString &text, long long *out)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() > 8)
        return false;
    quint32 v = 0;
    for (QChar c : t) {
        const ushort u = c.unicode();
        int d;
        if (u >= '0' && u <= '9')
            d = u - '0';
        else if (u >= 'A' && u <= 'F')
            d = u - 'A' + 10;
        else if (u >= 'a' && u <= 'f')
            d = u - 'a' + 10;
        else
            return false;
        v = v * 16 + quint32(d);
    }
    *out = qint32(v);
    return true;
}

// A decimal key or limit; "$" introduces hexadecimal as everywhere in the definition files.
bool parseDecimal(const QString &text, long long *out)
{
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('$')))
        return parseHex(t.mid(1), out);
    bool ok = false;
    const int v = t.toInt(&ok, 10);
    if (ok)
        *out = v;
    return ok;
}

// Value texts are compared with "F000" as texts: answers from "F000" on mean "no value".
bool belowF000(const QString &valueText) { return valueText.trimmed() < QLatin1String("F000"); }

QString yesText() { return GetText(21); }
QString noText() { return GetText(22); }

// Device addresses of analog inputs and the address of the byte that holds their kind.
struct KindRange
{
    int from, to, kindAddress;
};
const KindRange kKindRanges[] = {
    {0x08E0, 0x08E2, 0x08DC}, {0x0DC0, 0x0DC6, 0x08DC}, {0x08E4, 0x08E6, 0x08DD}, {0x0DC8, 0x0DCE, 0x08DD},
    {0x08E8, 0x08EA, 0x08DE}, {0x0DD0, 0x0DD6, 0x08DE}, {0x08EC, 0x08EE, 0x08DF}, {0x0DD8, 0x0DDE, 0x08DF},
    {0x0DE6, 0x0DE8, 0x0DE0}, {0x0DEA, 0x0DEC, 0x0DE1},
};

int kindAddressOf(long long v)
{
    for (const KindRange &k : kKindRanges)
        if (v >= k.from && v <= k.to && (v - k.from) % 2 == 0)
            return k.kindAddress;
    return -1;
}

// The code an analog input of the given kind is shown with; 0 means "----", -1 no result.
int codeForKind(int kind)
{
    switch (kind) {
    case 0: return 0;
    case 1: case 3: case 4: case 30: case 31: case 34: case 35: return 5;
    case 2: case 7: case 8: case 14: case 15: return 2;
    case 5: case 6: return 3;
    case 9: case 11: case 32: return 6;
    case 10: case 12: case 33: return 7;
    default: return -1;
    }
}

} // namespace

TFormatter::TFormatter(DeviceData &data, Prompter *prompter) : m_data(data), m_prompter(prompter) {}

void TFormatter::conversionError(const QString &text)
{
    if (m_prompter)
        m_prompter->error(ConversionErrorText(text));
}

bool TFormatter::FormatValue(int index, int typeCode, const QString &valueText, const QString &addressText)
{
    if (index < 0)
        return format(Source::ActualValue, -index, typeCode, valueText, addressText, 0);
    return format(Source::Parameter, index, typeCode, valueText, addressText, 0);
}

bool TFormatter::FormatActualValue(int row, int typeCode, const QString &valueText)
{
    return format(Source::ActualValue, row, typeCode, valueText, QString(), 0);
}

QString TFormatter::FormatParameter(int index)
{
    FormattedValue = QString(MinWidth, QLatin1Char(' '));
    if (index < 0 || index >= m_data.Params.Count())
        return FormattedValue;
    const int code = m_data.Params.GetTypeCode(index);
    const QString address = m_data.Params.GetAddress(index);
    const bool formatted = (code >= 1 && code <= 29) || code == 32 || code == 34 || code == 35 || code == 40 ||
                           code == 41 || (code >= 48 && code <= 55) || (code >= 64 && code <= 73) ||
                           (code >= 80 && code <= 88) || (code >= 96 && code <= 105) ||
                           (code >= 112 && code <= 117) || code == 192 || code == 193 || code == 194 ||
                           code == 207 ||
                           (code >= 208 && code <= 226) || code == 228 || code == 255;
    if (code == 33)
        format(Source::Parameter, index, code, m_data.Params.GetMin(index), address, 0);
    else if (formatted)
        // 222 is included: the relay line of the grid carries the function text.
        format(Source::Parameter, index, code, QString(), address, 0);
    return FormattedValue;
}

bool TFormatter::format(Source source, int item, int typeCode, const QString &valueText, const QString &addressText,
                        int depth)
{
    TGeraet &g = m_data.Geraet;
    DeviceState &st = m_data.State;
    const int type = st.DeviceType;
    const int version = g.ProgramVersion;
    const bool actual = source == Source::ActualValue;

    int code = typeCode & 0xFF;
    // The alarm parameters of the controllers are bit values like 16..23.
    if (code >= 48 && code <= 55)
        code -= 32;

    auto finish = [&](const QString &text) {
        FormattedValue = code == 222 ? text : text.rightJustified(MinWidth, QLatin1Char(' '));
        return true;
    };
    auto W = [&](long long imageIndex) { return g.GetWord(imageIndex); };
    auto B = [&](long long imageIndex) { return g.GetByte(imageIndex); };
    auto BA = [&](long long address) { return g.GetByte(st.IndexOf(address)); };

    if (code == 0 || code == 255)
        return finish(QStringLiteral("----"));

    const QString address = addressText.trimmed().toUpper();
    const bool hasText = !valueText.isEmpty();

    // Step 2: the raw value.
    long long r = 0;
    long long ownIndex = 0;
    bool inImage = true;
    if (hasText) {
        if (!parseHex(valueText, &r)) {
            conversionError(valueText);
            return false;
        }
        if (code == 34 && r < 0)
            r = -r;
    } else if (readsOwnAddress(code)) {
        long long a = 0;
        if (!parseHex(address, &a)) {
            conversionError(addressText);
            return false;
        }
        // "0800" is the start of every controller's parameter memory: index 0 whatever
        // the base of the image.
        ownIndex = address == QLatin1String("0800") ? 0 : st.IndexOf(a);
        const int size = isByteCode(code) ? 1 : 2;
        inImage = TGeraet::ValidRange(ownIndex, size);
        r = size == 1 ? g.GetByte(ownIndex) : g.GetWord(ownIndex);
    }

    // Step 3: the key.
    QString key;
    if (!actual) {
        if (item >= 0 && item < m_data.Params.Count())
            key = m_data.Params.GetMin(item);
    } else if (item >= 0 && item < m_data.Values.Count()) {
        key = m_data.Values.Item(item).Format;
    }

    // A parameter whose address lies outside the image (a definition that does not fit
    // the device) has no value to show; "?" says so instead of a plausible-looking 0.
    if (!hasText && readsOwnAddress(code) && !inImage)
        return finish(QStringLiteral("?"));

    auto prefixText = [&](QChar prefix) {
        // The first character of such a text is a prefix position.
        if (!actual) {
            if (item >= 0 && item < m_data.Params.Count()) {
                QString t = m_data.Params.ItemText(item);
                if (!t.isEmpty()) {
                    t[0] = prefix;
                    m_data.Params.SetItemText(item, t);
                }
            }
        } else if (item >= 0 && item < m_data.Values.Count()) {
            QString &t = m_data.Values.Item(item).Text;
            if (!t.isEmpty())
                t[0] = prefix;
        }
    };
    auto powerPrefix = [&]() -> QChar {
        return ValueRules::PowerInMegawatt(m_data) ? QLatin1Char('M') : QLatin1Char('k');
    };
    // Power in kW as an integer, or in MW with two decimals; the parameter text gets the unit.
    auto powerDisplay = [&](long long v) {
        const QChar prefix = powerPrefix();
        prefixText(prefix);
        return prefix == QLatin1Char('k') ? QString::number(v) : Fixed(double(v) / 100.0, 2);
    };
    auto yesNo = [&](bool yes, bool setIndex) {
        if (setIndex)
            YesNoIndex = yes ? QStringLiteral("0") : QStringLiteral("1");
        return finish(yes ? yesText() : noText());
    };
    // Period-coded values are shown only where the device names its period base: a base
    // left behind by another device would give a plausible but wrong number.
    auto loadPeriodBase = [&]() {
        int n = 0;
        if (!ValueRules::PeriodBase(m_data, n))
            return false;
        m_data.PeriodBase = n;
        return true;
    };
    const QString noSource = QStringLiteral("----");
    auto definitionHas = [&](const char *name) { return st.DefinitionFile.contains(QLatin1String(name)); };
    // Analog scaling: live-zero inputs (mask bit set in 0x6F) span 49..245, others 0..245.
    // Switching points are shown with the decimals their editor takes; actual values of
    // an answer keep four significant digits.
    auto analog = [&](double q, int w, int mask, bool offset) {
        const double x = (B(0x6F) & mask) ? double(w) / 196.0 * (offset ? q - 49 : q) : q * w / 245.0;
        return actual ? General(x) : ValueRules::Number(x, ValueRules::AnalogDecimals(w));
    };

    if (const ValueRules::Rule *rule = ValueRules::Find(code)) {
        if (code == 219 &&
            (definitionHas("A70-005") || definitionHas("A70-006") || definitionHas("A70-002") ||
             definitionHas("A70-021")) &&
            (B(0x5D) & 0x10))
            return finish(QStringLiteral("----"));
        if (code == 34 &&
            (address == QLatin1String("08B0") || address == QLatin1String("08B2") ||
             address == QLatin1String("08B4") || address == QLatin1String("08B6")) &&
            !(BA(0x0870) & 0x02))
            return finish(QStringLiteral("   ----"));
        const ValueRules::Context ctx{m_data, key, r};
        const bool powerGroup = code == 5 || code == 27 || code == 192 || code == 194 || code == 207 ||
                                code == 208 || code == 209 || code == 215 || code == 221 || code == 223;
        const bool analogPower = actual && ValuePage == QLatin1String("IstAna") && (item == 16 || item == 17) &&
                                 (IsSplErsyType(type) || IsPaType(type));
        if (powerGroup && (key == QLatin1String("S12") || analogPower))
            return finish(powerDisplay(RoundHalfEven(rule->Shown(r, ctx))));
        return finish(ValueRules::Text(*rule, r, ctx));
    }

    switch (code) {
    case 1:
        return finish(Text::ToHex(quint32(r), 4));
    case 8:
        return finish(Text::ToHex(quint32(r), 2));

    case 2: {
        if (key == QLatin1String("S4") || key == QLatin1String("S5")) {
            const bool s4 = key == QLatin1String("S4");
            const long long ratioIndex = st.IndexOf(s4 ? 0x09BC : 0x09BE);
            // These devices have no such ratio: a stale word from another model must not
            // switch the display.
            if ((s4 && type == 29) || (!s4 && InSetC(type)) || g.ProgramId.contains(QLatin1String("Z212-72 PA")))
                g.SetWord(ratioIndex, 0);
            const int decimals = ValueRules::RatioDecimals(m_data, g.GetWord(ratioIndex));
            if (decimals == 1)
                return finish(Fixed(double(r) / 10.0, 1));
            if (decimals == 2)
                return finish(Fixed(double(r) / 100.0, 2));
            return finish(QString::number(r));
        }
        const int high = int((quint32(r) >> 8) & 0xFF);
        if (key == QLatin1String("S6")) {
            const char *baud = high == 0 ? "62500" : (high == 18 || high == 28) ? "15625" : high == 192 ? "4800"
                               : high == 201 ? "2400" : high == 210 ? "1200" : "0";
            return finish(QLatin1String(baud));
        }
        if (key == QLatin1String("S7")) {
            const char *baud = high == 9 ? "62500" : high == 192 ? "9600" : high == 201 ? "4800"
                               : high == 210 ? "2400" : "0";
            return finish(QLatin1String(baud));
        }
        if (key == QLatin1String("S12"))
            return finish(powerDisplay(r));
        return finish(QString::number(r));
    }

    case 16: case 17: case 18: case 19: case 20: case 21: case 22: case 23:
        return yesNo((r >> (code - 16)) & 1, true);
    case 29: {
        long long f = 0;
        if (!parseHex(key, &f)) {
            conversionError(key);
            return false;
        }
        return yesNo(f >= 1 && f <= 15 && ((r >> f) & 1), true);
    }
    case 64: case 65: case 66: case 67: case 68: case 69: case 70: case 71: case 72: case 73:
        return yesNo((r >> (code - 64)) & 1, false);
    case 80: case 81: case 82: case 83: case 84: case 85:
        return yesNo((r >> (code - 70)) & 1, false);
    case 86: case 87: case 88: {
        const long long mask = code == 86 ? 0xC000 : code == 87 ? 0x0C00 : 0x00C0;
        return yesNo((r & mask) == mask, false);
    }
    case 114:
    case 115:
        return yesNo((r & 0x30) == (code == 114 ? 0x10 : 0x20), false);
    case 116:
    case 117:
        return yesNo((r & 0xC0) == (code == 116 ? 0x40 : 0x80), false);

    case 28: {
        long long shift = 0, width = 8;
        if (!parseDecimal(key, &shift)) {
            conversionError(key);
            return false;
        }
        // Actual values have no width field; they show the field up to the top bit.
        if (!actual && item >= 0 && item < m_data.Params.Count()) {
            const QString max = m_data.Params.GetMax(item);
            if (!parseDecimal(max, &width)) {
                conversionError(max);
                return false;
            }
        }
        // Positions and widths beyond one byte are clamped: a field cannot leave the byte.
        const long long field = shift < 0 || shift > 31 ? 0 : (quint32(r) >> shift);
        const int w = int(qBound(0LL, width, 8LL));
        return finish(QString::number(field & (255 >> (8 - w))));
    }
    case 40:
        return finish(Text::ToHex(quint32(r) & 0x0F, 1));
    case 41:
        return finish(Text::ToHex((quint32(r) >> 4) & 0x0F, 1));

    case 26: {
        // Actual values take the mask from their own Format (their key), like parameters.
        long long mask = 0;
        if (!parseHex(key, &mask)) {
            conversionError(key);
            return false;
        }
        int modulus;
        if (InSetA(type))
            modulus = 16;
        else if (InSetB(type))
            modulus = 18;
        else
            return false;
        const QString max = !actual && item >= 0 && item < m_data.Params.Count() ? m_data.Params.GetMax(item) : QString();
        bool yes = false;
        if (!(r == 128 && mask == 0)) {
            if (max == QLatin1String("A2") && mask <= modulus - 1 && r != 128)
                yes = r % modulus == mask;
            else
                yes = (r & mask) == mask;
        }
        return finish(yes ? yesText() : noText());
    }

    case 32:
    case 35: {
        long long a = 0, lastPos = 0;
        if (!parseHex(address, &a)) {
            conversionError(addressText);
            return false;
        }
        if (!parseDecimal(key, &lastPos)) {
            conversionError(key);
            return false;
        }
        const long long i = st.IndexOf(a);
        long long n = (i - 512) / 32;
        const bool fixedChannel = code == 35 && (address == QLatin1String("0400") || address == QLatin1String("0570") ||
                                                 address == QLatin1String("0590") || address == QLatin1String("05B0"));
        if (fixedChannel)
            n = address == QLatin1String("0400") ? 56 : address == QLatin1String("0570") ? 57
                : address == QLatin1String("0590") ? 58 : 59;
        if (InSetB(type) && !InSetF(type)) {
            auto renumber = [](long long x) { return x >= 32 ? x - 32 : x + 48; };
            n = renumber(n);
            if (version > 29)
                n = renumber(n);
        }
        const QString number = QString::number(code == 32 ? n + 1 : n - 23).rightJustified(2, QLatin1Char('0'));
        QString head;
        if (code == 32)
            head = QStringLiteral(" Alarm ") + number + QLatin1Char('|');
        else if (IsPaType(type) && fixedChannel)
            head = GetText(126) + number + QLatin1Char('|');
        else
            head = GetText(127) + number + QLatin1Char('|');
        // The record's text from position 5 to the key's last position. Zero bytes are
        // unused record positions and are shown as blanks; bytes beyond the image read 0.
        const long long count = qBound(1LL, lastPos - 4, (long long)TGeraet::ImageSize);
        QByteArray bytes;
        bytes.reserve(int(count) + 1);
        for (long long k = 0; k < count; ++k) {
            const int b = g.GetByte(i + 5 + k);
            bytes += b == 0 ? ' ' : char(b);
            if (k == 10)
                bytes += '|';
        }
        const QString text = Ansi::decode1252(bytes);
        QString out = QString(10, QLatin1Char(' ')) + head + text + QLatin1Char('|');
        if (out.contains(QLatin1String("CAN_AE")) && out.contains(QLatin1String("     #  "))) {
            if (out.size() >= 28)
                out.insert(28, number);
            else
                out += number;
        }
        return finish(out);
    }

    case 33: {
        long long mask = r, a = 0;
        if (!hasText && !parseHex(key, &mask)) {
            conversionError(key);
            return false;
        }
        if (!parseHex(address, &a)) {
            conversionError(addressText);
            return false;
        }
        int z;
        if (InSetA(type))
            z = version > 29 ? 8 : 6;
        else if (InSetB(type))
            z = 6;
        else if (g.ProgramId.contains(QLatin1String("ZWK1 MAN")) || g.ProgramId.contains(QLatin1String("ZWK2_MAN")) ||
                 g.ProgramId.contains(QLatin1String("ZW2M MAN")) || g.ProgramId.contains(QLatin1String("ZMS371")))
            z = 4;
        else
            z = 6; // no stride of its own: the common controller layout
        long long i = st.IndexOf(a);
        if (version > 29 && i == 1491 &&
            (g.ProgramId.contains(QLatin1String("Z101 SPL03")) || g.ProgramId.contains(QLatin1String("Z101 SPLN9")) ||
             g.ProgramId.contains(QLatin1String("Z101 UESY3"))))
            i = 179;
        if (!TGeraet::ValidRange(i, 3 * z + 1))
            return finish(QStringLiteral("?"));
        auto has = [&](int b) { return (b & mask) == mask; };
        QString out = has(B(i + 2 * z)) ? GetText(25) : GetText(24);
        if (!IsTransferSwitchType(type) || m_data.AccessLevel == QLatin1String("Mas")) {
            out += QLatin1Char('-') + (has(B(i)) ? GetText(26) : GetText(27));
            out += QLatin1Char('-') + (has(B(i + 3 * z)) ? GetText(28) : GetText(29));
            out += QLatin1Char('-') + (has(B(i + z)) ? GetText(30) : GetText(31));
        }
        return finish(out);
    }

    case 217:
    case 218:
    case 225: {
        static const char *const kBitAddresses[] = {"0101", "0102", "0104", "0108", "0110", "0120", "0140", "0180"};
        int m = 0;
        for (int k = 0; k < 8; ++k)
            if (address == QLatin1String(kBitAddresses[k]))
                m = 1 << k;
        if (m == 0)
            return false; // the address names no bit of the masks
        int a = 0, b, c, d;
        if (code == 218) {
            b = B(0x69), c = B(0x6A), d = B(0x6B);
        } else {
            const int base = (code == 217 ? 0x61 : 0x60) + (IsCompactType(type) ? 0x20 : 0);
            a = B(base), b = B(base + 2), c = B(base + 4), d = B(base + 6);
        }
        QString out;
        if (code != 218)
            out = ((a & m) ? GetText(24) : GetText(25)) + QLatin1Char('-');
        out += (b & m) ? GetText(26) : GetText(27);
        out += QLatin1Char('-') + ((c & m) ? GetText(28) : GetText(29));
        out += QLatin1Char('-') + ((d & m) ? GetText(30) : GetText(31));
        return finish(out);
    }

    case 12: {
        if (!loadPeriodBase())
            return finish(noSource);
        const int n = m_data.PeriodBase;
        // The nominal frequency follows the base; exactly 4500, 5500 and 9000 have none.
        int f = 0;
        if (n < 4500)
            f = 6000;
        else if (n > 4500 && n < 5500)
            f = 5000;
        else if (n > 5500 && n < 9000)
            f = 6000;
        else if (n > 9000)
            f = 5000;
        long long x = n;
        if (key == QLatin1String("S2") && (B(0x2E) & 0x03) && type == 34)
            x = W(0x56);
        if (hasText)
            r = belowF000(valueText) ? r : 0;
        if (r != 0)
            r = RoundHalfEven(double(f) * double(x) / double(r));
        return finish(Fixed(double(r) / 100.0, 2));
    }

    case 14: {
        long long v = 0;
        if (hasText) {
            v = r + st.ImageBase;
        } else if (!parseHex(address, &v)) {
            conversionError(addressText);
            return false;
        }
        const int kindAddress = kindAddressOf(v);
        m_data.AnalogInputKind = kindAddress < 0 ? 0 : BA(kindAddress);
        const int newCode = codeForKind(m_data.AnalogInputKind);
        if (newCode < 0 || depth > 0)
            return false;
        return format(source, item, newCode, valueText, addressText, depth + 1);
    }

    case 210:
    case 213: {
        if (!loadPeriodBase())
            return finish(noSource);
        const int n = m_data.PeriodBase;
        if (n == 0)
            return false;
        long long a = RoundHalfEven(double(r) * 360.0 / n);
        if (code == 210)
            a -= 120;
        else if (a < 0)
            a = 0;
        if (a > 360)
            a = 360;
        return finish(code == 210 ? QStringLiteral("+/-") + General(double(a)) : General(double(a)));
    }

    case 226: {
        if (!loadPeriodBase())
            return finish(noSource);
        const int n = m_data.PeriodBase;
        if (n == 0)
            return finish(QStringLiteral("0"));
        const bool roundIt = g.ProgramId == QLatin1String("ZNAE 9408 ");
        double a;
        if (version > 7) {
            a = double(r) * (n == 10000 ? 450.0 : 418.0) / n;
            if (roundIt && n == 10000)
                a = double(RoundHalfEven(a));
        } else {
            a = double(r) * 360.0 / n + 1.0;
            if (roundIt)
                a = double(RoundHalfEven(a));
        }
        return finish(ValueRules::Number(a, ValueRules::AngleDecimals));
    }

    case 211: {
        const long long q = key == QLatin1String("S2") ? r : r - 49;
        return finish(QString::number(RoundHalfEven(double(q) * W(0x42) / 196.0)));
    }

    case 212: {
        if (type == 34 && !(B(0x2E) & 0x03) &&
            (address == QLatin1String("0144") || address == QLatin1String("0146") ||
             address == QLatin1String("0148") || address == QLatin1String("014A")))
            return finish(QStringLiteral(" ----"));
        int base = 0, factor = 0;
        if (!ValueRules::PeriodPair(m_data, base, factor))
            return finish(noSource);
        m_data.PeriodBase = base;
        m_data.PeriodFactor = factor;
        const double kn = double(m_data.PeriodFactor) * double(m_data.PeriodBase);
        if (hasText) {
            if (!belowF000(valueText))
                return finish(QStringLiteral("0"));
            if (r == 0)
                return false;
            return finish(QString::number(RoundHalfEven(kn / double(r))));
        }
        if (r == 0)
            return false;
        return finish(ValueRules::Number(kn / double(r), 0));
    }

    case 214: {
        if (hasText || r == 0)
            return false;
        return finish(ValueRules::Number(ValueRules::SpeedConstant(m_data) / double(r), 0));
    }

    case 216: {
        int w, mask;
        if (address == QLatin1String("0176") || address == QLatin1String("016C"))
            mask = 4, w = W(0x74);
        else if (address == QLatin1String("0140") || address == QLatin1String("0141"))
            mask = 8, w = W(0x42);
        else
            return finish(noSource); // no input of this address is known: no scale to show it with
        const long long q = hasText ? r : B(ownIndex);
        return finish(analog(double(q), w, mask, true));
    }

    case 224: {
        if (hasText)
            return false;
        int w, mask;
        if (address == QLatin1String("017A"))
            mask = 4, w = W(0x74);
        else if (address == QLatin1String("019F"))
            mask = 8, w = W(0x42);
        else
            return finish(noSource);
        if (!TGeraet::ValidIndex(r))
            return finish(QStringLiteral("?"));
        return finish(analog(double(B(r)), w, mask, false));
    }

    case 220: {
        if (!loadPeriodBase())
            return finish(noSource);
        if (hasText && !belowF000(valueText))
            return finish(QStringLiteral("00.00"));
        const int n = m_data.PeriodBase;
        if (n == 0)
            return false;
        const double base = n > 7999 ? 10000.0 : 5000.0;
        const double w = base * 5000.0 / n;
        double u = double(n) + double(r);
        if (u == 0)
            return false;
        u = w * 5000.0 / u;
        // The difference is first cut to four digits, then shown with two decimals.
        const double s = General((w - u) / 100.0, QLatin1Char('.')).toDouble();
        return finish(Fixed(s, 2));
    }

    case 222: {
        if (actual || item == 0 || hasText)
            return false;
        const QString digits = Text::ToHex(quint32(r), 4);
        for (const RelayFunction &f : m_data.Def.RelayFunctionTable)
            if (f.Key == digits)
                return finish(f.Text);
        return finish(QStringLiteral("Flag ") + digits);
    }

    case 240:
    case 245: {
        long long q;
        if (hasText && (code == 240 || (B(0x5D) & 0x10)))
            q = r - 49;
        else
            q = B(0x7A) - 49;
        return finish(General(double(W(0x42)) * double(q) / 196.0));
    }

    case 241:
    case 242: {
        if (!hasText)
            return false;
        bool selector = TelegramByte38 & 0x01;
        if (code == 242 && g.ProgramId == QLatin1String("017"))
            selector = TelegramByte34 & 0x80;
        if (code == 241 && (definitionHas("A70-010") || definitionHas("A70-025")))
            selector = true;
        if (definitionHas("A70-018"))
            selector = false;
        if (code == 242) {
            if (!belowF000(valueText))
                return finish(QStringLiteral("00.00"));
            if (r == 0)
                return false;
            const int n = selector ? W(0x56) : W(0x2C);
            return finish(General(double(RoundHalfEven(double(n) * 5000.0 / double(r))) / 100.0));
        }
        if (!belowF000(valueText))
            return false;
        if (type == 34) {
            m_data.PeriodFactor = W(0x54);
            m_data.PeriodBase = selector ? W(0x56) : W(0x2C);
        } else if (IsCompactType(type)) {
            m_data.PeriodBase = W(0x76);
            m_data.PeriodFactor = W(0xA2);
        }
        if (r == 0)
            return finish(QStringLiteral("0"));
        return finish(QString::number(
            RoundHalfEven(double(m_data.PeriodFactor) * double(m_data.PeriodBase) / double(r))));
    }

    case 243:
    case 244: {
        if (!hasText)
            return false;
        const int w = code == 243 ? W(0x74) : W(0x42);
        const int mask = code == 243 ? 4 : 8;
        // The value of an answer is taken without its live-zero offset first.
        return finish(analog(double(r - 49), w, mask, true));
    }

    case 247:
        if (!hasText)
            return false;
        if (key == QLatin1String("S12"))
            prefixText(powerPrefix());
        return finish(QString::number(r));

    default:
        // 246 (separator rows) and codes without a rule produce nothing.
        return false;
    }
}
