#include "monitor/ValuePage.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "params/FormatValue.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <initializer_list>

namespace {
bool OneOf(int v, std::initializer_list<int> set)
{
    for (int x : set)
        if (x == v)
            return true;
    return false;
}
bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

// Type codes 5..11, 13, 15..31 and 52..54: the devices that show "----" for 0x270F, hide
// the "AW" rows of the CAN page and print "----" for a blank unit.
bool DashFamily(int t) { return InRange(t, 5, 11) || t == 13 || InRange(t, 15, 31) || InRange(t, 52, 54); }

bool ParseHexField(const QString &text, int *value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 16);
    if (ok && v >= 0)
        *value = v;
    return ok && v >= 0;
}

bool IsPlaceholder(const TIstWert &v)
{
    return v.Offset.trimmed() == QLatin1String("00") && v.TypeCode.trimmed() == QLatin1String("00");
}
} // namespace

const QVector<ValuePageInfo> &ValuePages()
{
    static const QVector<ValuePageInfo> pages = {
        {QStringLiteral("IstAna"), QStringLiteral("Menu31"), QStringLiteral("&Istwerte"), true, 0x04},
        {QStringLiteral("IstCAN"), QStringLiteral("Menu39"), QStringLiteral("Istwerte CAN"), true, 0},
        {QStringLiteral("IstPro"), QStringLiteral("Vindel1"), QStringLiteral("Vindel"), false, 0},
        {QStringLiteral("IstCANAna"), QStringLiteral("CANOpenAnalog1"), QStringLiteral("CANOpen Analog"), false, 0},
        {QStringLiteral("IstAla"), QStringLiteral("Menu32"), QStringLiteral("Anstehende Alar&me"), false, 0},
        {QStringLiteral("IstSpw"), QStringLiteral("Menu33"), QStringLiteral("Spannungs&wächter"), true, 0x20},
        {QStringLiteral("IstEin"), QStringLiteral("Menu34"), QStringLiteral("&Eingänge"), false, 0x08},
        {QStringLiteral("IstRel"), QStringLiteral("Menu35"), QStringLiteral("&Ausgänge"), false, 0x10},
        {QStringLiteral("IstSon"), QStringLiteral("Menu36"), QStringLiteral("Sonsti&ges"), true, 0x40},
        {QStringLiteral("IstBef"), QStringLiteral("Menu38"), QStringLiteral("&Befehle ZuviDezar"), false, 0x80},
    };
    return pages;
}

const ValuePageInfo *FindValuePage(const QString &code)
{
    for (const ValuePageInfo &p : ValuePages())
        if (p.Code == code)
            return &p;
    return nullptr;
}

int PageColumns(const QString &code, int deviceType)
{
    static const QStringList two = {QStringLiteral("IstAla"), QStringLiteral("IstEin"), QStringLiteral("IstRel"),
                                    QStringLiteral("IstBef"), QStringLiteral("IstPro")};
    if (two.contains(code))
        return 2;
    if (code == QLatin1String("IstSon") && (deviceType == 35 || deviceType == 37))
        return 2;
    return 3;
}

QVector<int> PageColumnWidths(int columns)
{
    return columns == 2 ? QVector<int>{50, 300} : QVector<int>{50, 40, 275};
}

int ChannelKindIndex(int channel) { return InRange(channel, 1, 16) ? 0x1F + channel : -1; }

int ChannelTypeCode(int kind, int ownTypeCode)
{
    if (OneOf(kind, {3, 4, 9, 11, 12, 13, 15, 17, 22, 24}))
        return 0x06;
    if (kind == 18 || kind == 19 || InRange(kind, 25, 59) || InRange(kind, 64, 255))
        return ownTypeCode;
    return 0x05;
}

QString RelayFunctionText(const DeviceData &d, int row)
{
    const int t = d.State.DeviceType;
    const TGeraet &g = d.Geraet;
    long long index = -1;
    if (t == 34) {
        if (row == 1)
            index = 0xB0;
        else if (row == 4)
            index = 0xB2;
        else if (row == 5)
            index = 0xB4;
        else if (InRange(row, 8, 26))
            index = 0xB6 + 2 * (row - 8);
    } else if (IsControllerType(t)) {
        static const int kAddress[30] = {0,      0x094C, 0x094A, 0x0948, 0x0954, 0,      0,      0x0952,
                                         0x0950, 0,      0,      0x094E, 0x0964, 0x0962, 0x0960, 0x095E,
                                         0x0976, 0x0966, 0x096A, 0x096E, 0x0972, 0x0956, 0x095A, 0x095C,
                                         0x0958, 0x0974, 0x0970, 0x096C, 0x0968, 0x0978};
        int address = 0;
        if (InRange(row, 0, 29))
            address = kAddress[row];
        else if (InRange(row, 31, 46))
            address = 0x097A + 2 * (row - 31);
        if (address)
            index = d.State.IndexOf(address);
    } else if (t == 32 || t == 33) {
        static const int kRows[] = {1, 5, 6, 7, 8, 9, 10};
        for (int k = 0; k < 7; ++k)
            if (kRows[k] == row)
                index = 0xD0 + 2 * k;
    } else if (t == 35) {
        // Output rows follow a heading row: row r belongs to channel r.
        const int channelIndex = ChannelKindIndex(row);
        if (channelIndex < 0)
            return QString();
        const QString key = QString::number(g.GetByte(channelIndex));
        for (const RelayFunction &f : d.Def.RelayFunctionTable)
            if (f.Key.trimmed() == key)
                return f.Text;
        return QStringLiteral("Flag ") + key;
    }
    if (index < 0 || !TGeraet::ValidRange(index, 2))
        return QString();
    const QString key = Text::ToHex(quint32(g.GetWord(index)), 4).toUpper();
    for (const RelayFunction &f : d.Def.RelayFunctionTable)
        if (f.Key.trimmed() == key)
            return f.Text;
    return QStringLiteral("Flag ") + key;
}

PageDefinition LoadPageDefinition(DeviceData &d, const QString &code, Prompter &prompter)
{
    PageDefinition def;
    def.Code = code;
    QString address;
    int count = 0;
    const bool complete = ReadActualValuePage(d, code, prompter, &address, &count);
    if (!complete) {
        // A broken section shows an empty page rather than half of one.
        d.Values.Clear();
        return def;
    }
    if (count < 1 || count > MaxPageBytes) {
        prompter.error(QStringLiteral("Error 5 Actual Values"));
        d.Values.Clear();
        return def;
    }
    def.Address = Text::HexToInt(address);
    def.Count = count;
    def.Complete = true;

    const int t = d.State.DeviceType;
    const int rows = d.Values.Count();
    for (int i = 0; i < rows; ++i) {
        TIstWert &v = d.Values.Item(i);
        if (IsPlaceholder(v))
            continue;
        if (code == QLatin1String("IstRel") && !OneOf(t, {17, 18, 20, 21, 29, 30, 31, 52}))
            v.Text += RelayFunctionText(d, i);
        if (t == 35) {
            // Value rows of the module start with channel 1.
            const int kindIndex = ChannelKindIndex(i + 1);
            if (kindIndex >= 0)
                v.Text += d.Def.AnalogFunctionTexts.value(d.Geraet.GetByte(kindIndex));
        }
    }
    if (code == QLatin1String("IstAla") &&
        (InRange(t, 0, 14) || t == 19 || InRange(t, 23, 31) || InRange(t, 52, 54))) {
        // Rows beyond the alarm table keep the definition's own labels.
        const QStringList &zlt = CL_ZLT().Consts;
        for (int r = 1; r < rows && r - 1 < zlt.size(); ++r)
            d.Values.Item(r).Text = QStringLiteral("- ") + zlt.at(r - 1);
    }
    return def;
}

RawClass RawValueClass(int t)
{
    if (t == 0x00)
        return RawClass::None;
    if (InRange(t, 0x01, 0x07) || InRange(t, 0x0C, 0x0E) || t == 0x18 || InRange(t, 0x40, 0x58) ||
        InRange(t, 0x60, 0x75) || OneOf(t, {0xD2, 0xD4, 0xD5, 0xDC, 0xF1, 0xF2}))
        return RawClass::Word;
    if (InRange(t, 0x08, 0x0B) || InRange(t, 0x0F, 0x17) || InRange(t, 0x19, 0x1B) || t == 0x28 || t == 0x29 ||
        InRange(t, 0x30, 0x37) || OneOf(t, {0xC1, 0xD0, 0xD3, 0xDB, 0xDF, 0xE4, 0xF0, 0xF3, 0xF4, 0xF5}))
        return RawClass::Byte;
    if (t == 0xF7)
        return RawClass::Triple;
    if (t == 0xFF)
        return RawClass::EmptyText;
    if (t == 0xF6)
        return RawClass::LabelOnly;
    return RawClass::Unknown;
}

namespace {
// Whether IstCAN row r is shown by the device's row mask.
bool CanRowShown(const DeviceData &d, int r, const QString &label)
{
    const int t = d.State.DeviceType;
    if (DashFamily(t)) {
        for (int k = 0; k <= 6; ++k)
            if (label.contains(QStringLiteral("AW") + QString::number(k)))
                return false;
        return true;
    }
    const TGeraet &g = d.Geraet;
    auto maskByte = [&](int address) { return g.GetByte(d.State.IndexOf(address)); };
    int m[4] = {0, 0, 0, 0};
    int maskBytes = 4;
    if (d.Geraet.ProgramVersion < 27 && (InRange(t, 0, 4) || t == 12 || t == 14)) {
        m[0] = maskByte(0x0E40);
        m[1] = maskByte(0x0E41);
        maskBytes = 2;
    } else {
        for (int k = 0; k < 4; ++k)
            m[k] = maskByte(0x0E4C + k);
    }
    if (r == 0)
        return m[0] != 0 || m[1] != 0;
    if (r < 1 || r > 8 * maskBytes)
        return false;
    return (m[(r - 1) / 8] >> ((r - 1) % 8)) & 1;
}
} // namespace

BuiltPage BuildPage(DeviceData &d, TFormatter &formatter, const QString &page, const QByteArray &answer, bool valid)
{
    BuiltPage out;
    const int t = d.State.DeviceType;
    const int rows = d.Values.Count();
    out.Columns = PageColumns(page, t);
    const int labelColumn = out.Columns - 1;
    out.Cells = QVector<QStringList>(rows, QStringList(QVector<QString>(out.Columns)));
    out.PrintLines = QStringList(QVector<QString>(rows));
    if (!valid)
        return out;

    const int n = int(answer.size());
    auto byteAt = [&](int o) { return quint8(answer.at(o)); };
    formatter.ValuePage = page;
    formatter.TelegramByte34 = n > 12 ? byteAt(12) : 0;
    formatter.TelegramByte38 = n > 16 ? byteAt(16) : 0;

    // A controller of this program family names three alarm rows itself; they are relabelled
    // only where the page has them.
    if (out.Columns == 2 && rows > 0 && d.Geraet.ProgramId.contains(QLatin1String("Z212-72 PA")) &&
        d.Values.ItemText(0).contains(QStringLiteral("Zustände der Alarme"))) {
        if (rows > 27)
            d.Values.SetItemText(27, QStringLiteral("- Alarm27"));
        if (rows > 29)
            d.Values.SetItemText(29, QStringLiteral("- Alarm29"));
        if (rows > 31)
            d.Values.SetItemText(31, QStringLiteral("- Phasenfolge Sammelschiene"));
    }
    const bool dashUnits =
        (DashFamily(t) && !d.Geraet.ProgramId.contains(QLatin1String("202 INSL"))) ||
        d.State.DefinitionFile.contains(QLatin1String("202 INSL"));

    for (int r = 0; r < rows; ++r) {
        QStringList &cells = out.Cells[r];
        const QString label = d.Values.ItemText(r);
        bool shown = true;
        QString display(TFormatter::MinWidth, QLatin1Char(' '));
        int code = 0;
        int offset = 0;
        const bool codeOk = ParseHexField(d.Values.GetTypeCode(r), &code);
        const bool offsetOk = ParseHexField(d.Values.GetOffset(r), &offset);
        // The module's channel kind decides the value's type; computed afresh at each build
        // so that a changed kind is never shown with the previous one's type.
        if (codeOk && t == 35 && page == QLatin1String("IstAna")) {
            const int kindIndex = ChannelKindIndex(r + 1);
            if (kindIndex >= 0)
                code = ChannelTypeCode(d.Geraet.GetByte(kindIndex), code);
        }
        const RawClass cls = codeOk ? RawValueClass(code) : RawClass::Unknown;
        QString raw;
        bool haveRaw = false;
        auto fits = [&](int width) { return offsetOk && offset + width <= n; };
        switch (cls) {
        case RawClass::Word:
            if (fits(2)) {
                int at = offset;
                if (offset == 6 && r == 4 && out.Columns == 3 && OneOf(t, {17, 18, 20, 21, 29, 30, 31, 52}) &&
                    out.Cells[0].at(2).contains(QLatin1String("Analogwerte")) && n >= 14)
                    at = 12;
                raw = QString::number(byteAt(at) * 256 + byteAt(at + 1), 16).toUpper();
                haveRaw = true;
            }
            break;
        case RawClass::Byte:
            if (fits(1)) {
                raw = QString::number(byteAt(offset), 16).toUpper();
                haveRaw = true;
            }
            break;
        case RawClass::Triple:
            if (fits(3)) {
                raw = QString::number(byteAt(offset) * 65536 + byteAt(offset + 1) * 256 + byteAt(offset + 2), 16)
                          .toUpper();
                haveRaw = true;
            }
            break;
        case RawClass::EmptyText:
            haveRaw = true;
            break;
        case RawClass::LabelOnly:
            cells[labelColumn] = label;
            shown = false;
            break;
        case RawClass::None:
        case RawClass::Unknown:
            break;
        }
        if (shown && page == QLatin1String("IstCAN"))
            shown = CanRowShown(d, r, label);
        if (!shown)
            continue;
        if (code != 0 && haveRaw) {
            formatter.FormattedValue = QString(TFormatter::MinWidth, QLatin1Char(' '));
            if (formatter.FormatActualValue(r, code, raw))
                display = formatter.FormattedValue;
        }
        if (raw == QLatin1String("270F") && DashFamily(t))
            display = QStringLiteral("     ----");
        cells[0] = display;
        if (code == 0 || out.Columns == 2) {
            cells[labelColumn] = label;
        } else {
            // A label without "-" has no unit: the whole of it is the text.
            const int dash = label.indexOf(QLatin1Char('-'));
            QString unit = dash >= 0 ? label.left(dash) : QString();
            const QString text = dash >= 0 ? label.mid(dash + 1) : label;
            if (unit == QLatin1String("    ") && dashUnits)
                unit = QStringLiteral("----");
            cells[1] = unit;
            cells[2] = text;
        }
        out.PrintLines[r] = display + QLatin1Char(' ') + label;
        out.ValuesPresent = true;
    }
    return out;
}

QString RowHeading(const QString &label)
{
    const int dash = label.indexOf(QLatin1Char('-'));
    const QString unit = dash >= 0 ? label.left(dash).trimmed() : QString();
    const QString text = (dash >= 0 ? label.mid(dash + 1) : label).trimmed();
    return unit.isEmpty() ? text : text + QStringLiteral(" [") + unit + QLatin1Char(']');
}
