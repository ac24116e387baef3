#include "device/Definition.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "shell/AnsiCodec.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QFile>
#include <QFileInfo>
#include <limits>

namespace {

const QChar kVersionMark(0x00A7); // "§"

// Definition files are a few hundred kilobytes at most; anything far larger is not one.
constexpr qint64 kMaxDefinitionBytes = 16 * 1024 * 1024;
constexpr int kMaxTypLines = 32;

bool ParseInt(const QString &text, int *value)
{
    bool ok = false;
    const long long v = Text::ParseNumber(text, &ok);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return false;
    *value = int(v);
    return true;
}

bool IsHexText(const QString &text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (!((u >= '0' && u <= '9') || (u >= 'a' && u <= 'f') || (u >= 'A' && u <= 'F')))
            return false;
    }
    return true;
}

// A hexadecimal address as written in a section: blanks and an optional "$" tolerated.
QString HexField(const QString &field)
{
    QString t = field.trimmed();
    if (t.startsWith(QLatin1Char('$')))
        t = t.mid(1).trimmed();
    return t;
}

// The texts of the programmable alarms and inputs live in the device, 32 bytes each,
// behind a 5-character prefix.
QString DeviceAlarmText(const DeviceData &d, int address)
{
    const long long index = d.State.IndexOf(address);
    QString text;
    for (int k = 0; k < 32; ++k)
        text.append(Ansi::fromByte(quint8(d.Geraet.GetByte(index + k))));
    text = text.mid(5);
    text.replace(QLatin1String("  "), QLatin1String(" "));
    // The texts are shown in controls that end them at a zero byte; an unset text in the
    // image must not carry zero characters into tables and file names.
    const int nul = text.indexOf(QChar(0));
    if (nul >= 0)
        text.truncate(nul);
    return text;
}

bool CutsTwoCharacters(int deviceType)
{
    switch (deviceType) {
    case 8: case 9: case 10: case 12: case 13: case 25: case 26: case 27:
        return true;
    default:
        return false;
    }
}

void ApplyAlarmParameter(DeviceData &d, TParameter &par)
{
    const int code = par.TypeCode & 0xFF;
    if (!IsControllerType(d.State.DeviceType) || code < 0x30 || code > 0x37)
        return;
    // A Max that is no number names no alarm: the line is kept as an ordinary parameter.
    bool ok = false;
    const int m = par.Max.trimmed().toInt(&ok, 10);
    if (!ok)
        return;
    if (m >= 0 && m <= 18) {
        const QString text = DeviceAlarmText(d, 0x0A00 + 32 * m);
        SetZltText(m, text);
        par.Text = QStringLiteral(" -") + text;
    } else if (m >= 19 && m <= 47) {
        SetZltText(m, par.Text.mid(CutsTwoCharacters(d.State.DeviceType) ? 2 : 3));
    } else if (m >= 48 && m <= 63) {
        const QString text = DeviceAlarmText(d, 0x0600 + 32 * (m - 48));
        SetZltText(m, text);
        par.Text = QStringLiteral(" -") + text;
    }
}

QString GroupName(const QString &text)
{
    int b = 0;
    int e = text.size();
    auto strip = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('+'); };
    while (b < e && strip(text.at(b)))
        ++b;
    while (e > b && strip(text.at(e - 1)))
        --e;
    return text.mid(b, e - b);
}

QString LayoutKey(const QString &line)
{
    const int star = line.indexOf(QLatin1Char('*'));
    const int hash = line.indexOf(QLatin1Char('#'), star + 1);
    return hash >= 0 ? line.mid(hash + 1, 1) : QString();
}

QString TypeCodeField(const QString &line)
{
    QString rest = line;
    Text::SplitAt(rest, QLatin1Char('*'));
    Text::SplitAt(rest, QLatin1Char(';'));
    return Text::SplitAt(rest, QLatin1Char(';'));
}

void ForgetDefinition(DeviceData &d)
{
    d.Def.DefinitionLines.clear();
    d.Def.TypLines.clear();
}

} // namespace

QString ConversionErrorText(const QString &value)
{
    return QStringLiteral("'") + value + QStringLiteral("' ist kein gültiger Integerwert");
}

QString DateConversionErrorText() { return QStringLiteral("Ungültiges Argument zum Codieren des Datums"); }

QStringList SplitDefinitionLines(const QString &text)
{
    QStringList lines;
    QString cur;
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines.append(cur);
            cur.clear();
            if (c == QLatin1Char('\r') && i + 1 < n && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else {
            cur.append(c);
        }
    }
    if (!cur.isEmpty())
        lines.append(cur);
    return lines;
}

bool FilterVersionLines(QStringList &lines, int programVersion, QString *badValue)
{
    for (int i = 0; i < lines.size();) {
        const int mark = lines.at(i).indexOf(kVersionMark);
        if (mark < 0) {
            ++i;
            continue;
        }
        const QString numText = lines.at(i).mid(mark + 1).trimmed();
        bool ok = false;
        const int n = numText.toInt(&ok, 10);
        if (!ok) {
            if (badValue)
                *badValue = numText;
            return false;
        }
        // Up to 80 a line is valid from that version on; above 80 only below version n - 80.
        const bool keep = n <= 80 ? programVersion >= n : programVersion < n - 80;
        if (keep) {
            lines[i].truncate(mark);
            ++i;
        } else {
            lines.removeAt(i);
        }
    }
    return true;
}

QString WithoutTrailingSpace(const QString &line)
{
    int end = int(line.size());
    while (end > 0 && line.at(end - 1).isSpace())
        --end;
    return line.left(end);
}

// Labels are compared without the white space a hand edit leaves behind them (blanks, a
// tab, a "§" filter that left the blank before it): "ParaEnd: " ends the section as
// "ParaEnd:" does. Leading blanks and letter case still count for end labels.
bool IsEndLabel(const QString &line, const QString &label) { return WithoutTrailingSpace(line) == label; }

int FindStartLabel(const QStringList &lines, const QString &label, int from)
{
    for (int i = qMax(0, from); i < lines.size(); ++i)
        if (WithoutTrailingSpace(lines.at(i)).compare(label, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

bool ParseTypeSettings(const QStringList &typLines, TypeSettings *out, QString *badValue)
{
    TypeSettings ts;
    ts.DeviceName = typLines.value(0);
    int *targets[] = {&ts.MenuFlags, &ts.BasePage, &ts.OptionFlags, &ts.PageCount};
    for (int line = 1; line <= 4; ++line) {
        const QString text = typLines.value(line);
        if (!ParseInt(text, targets[line - 1])) {
            if (badValue)
                *badValue = text;
            return false;
        }
    }
    if (ts.PageCount == 0)
        ts.PageCount = 256;
    if (typLines.size() > 5) {
        QString clock = typLines.at(5);
        if (clock != QLatin1String("1")) {
            Text::SplitAt(clock, QLatin1Char(';'));
            Text::SplitAt(clock, QLatin1Char(';'));
            ts.ClockKind = Text::SplitAt(clock, QLatin1Char(';'));
        }
    }
    if (out)
        *out = ts;
    return true;
}

bool OpenDefinition(DeviceData &d, const QString &path, Prompter &prompter)
{
    ForgetDefinition(d);
    QFile file(path);
    if (path.isEmpty() || !QFileInfo(path).isFile() || QFileInfo(path).size() > kMaxDefinitionBytes
        || !file.open(QIODevice::ReadOnly)) {
        prompter.warning(QStringLiteral("Can't open file ") + path);
        return false;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    return OpenDefinitionData(d, bytes, path, prompter);
}

bool OpenDefinitionData(DeviceData &d, const QByteArray &bytes, const QString &path, Prompter &prompter)
{
    ForgetDefinition(d);
    QStringList lines = SplitDefinitionLines(Ansi::decode(bytes));
    QString bad;
    if (!FilterVersionLines(lines, d.Geraet.ProgramVersion, &bad)) {
        prompter.error(ConversionErrorText(bad));
        return false;
    }

    const int start = FindStartLabel(lines, QStringLiteral("TypStart:"));
    if (start < 0) {
        prompter.error(QStringLiteral("Label \"TypStart:\" missing in file ") + d.Geraet.ProgramId);
        return false;
    }
    QStringList typ;
    for (int i = start + 1; i < lines.size() && typ.size() < kMaxTypLines; ++i) {
        if (IsEndLabel(lines.at(i), QStringLiteral("TypEnd:")))
            break;
        typ.append(lines.at(i));
    }

    TypeSettings ts;
    if (!ParseTypeSettings(typ, &ts, &bad)) {
        prompter.error(ConversionErrorText(bad));
        return false;
    }
    // The image holds 127 pages and a parameter file keeps the identification block
    // behind them, so 0 (256 pages) or more than 127 pages cannot be served: refused.
    if (ts.PageCount < 1 || ts.PageCount > MaxPageCount) {
        prompter.error(QStringLiteral("Error P1, Seitenzahl ungültig: ") + typ.value(4) + QLatin1Char(' ') + path);
        return false;
    }
    // Device addresses are 16 bits wide: a base page beyond 255 names no memory.
    if (ts.BasePage < 0 || ts.BasePage > 255) {
        prompter.error(QStringLiteral("Error P2, Basisseite ungültig: ") + typ.value(2) + QLatin1Char(' ') + path);
        return false;
    }

    d.Def.DefinitionLines = lines;
    d.Def.TypLines = typ;
    return true;
}

bool ReadRelayFunctions(DeviceData &d, Prompter &prompter)
{
    DefinitionTables &def = d.Def;
    def.RelayFunctionTable.clear();
    def.RelayFunctionsLoaded = false;
    const QStringList &lines = def.DefinitionLines;
    const int start = FindStartLabel(lines, QStringLiteral("RelFunkStart:"));
    if (start < 0) {
        prompter.error(QStringLiteral("Error F4 ") + d.Geraet.ProgramId);
        return false;
    }
    for (int i = start + 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (IsEndLabel(line, QStringLiteral("RelFunkEnd:"))) {
            def.RelayFunctionsLoaded = true;
            return true;
        }
        if (!line.contains(QLatin1Char('*')))
            break;
        // Entries beyond the table's size are not kept.
        if (def.RelayFunctionTable.size() < MaxRelayFunctions) {
            QString rest = line;
            RelayFunction f;
            f.Text = Text::SplitAt(rest, QLatin1Char('*'));
            f.Key = rest.toUpper();
            def.RelayFunctionTable.append(f);
        }
    }
    // Also when the lines run out before the end label.
    prompter.information(QStringLiteral("Error 5, RelFunkEnd"));
    return false;
}

bool ReadAnalogFunctions(DeviceData &d, Prompter &prompter)
{
    DefinitionTables &def = d.Def;
    def.AnalogFunctionTexts.clear();
    const QStringList &lines = def.DefinitionLines;
    const int start = FindStartLabel(lines, QStringLiteral("AnaFunkStart:"));
    if (start < 0) {
        prompter.error(QStringLiteral("Error F4 ") + d.Geraet.ProgramId);
        return false;
    }
    for (int i = start + 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (IsEndLabel(line, QStringLiteral("AnaFunkEnd:")))
            return true;
        if (!line.contains(QLatin1Char('*')))
            break;
        QString rest = line;
        const QString text = Text::SplitAt(rest, QLatin1Char('*'));
        bool ok = false;
        const int n = rest.trimmed().toInt(&ok, 10);
        // A number outside 0..401 names no analog function: the line is skipped.
        if (ok && n >= 0 && n <= MaxAnalogFunction)
            def.AnalogFunctionTexts.insert(n, text);
    }
    prompter.error(QStringLiteral("Error 5, RelFunkEnd"));
    return false;
}

bool ReadParameters(DeviceData &d, Prompter &prompter)
{
    d.State.ModelPattern = d.State.ModelPattern.toUpper();
    TypeFromPattern(d, prompter);
    d.Def.MessageFile = d.State.DefinitionFile;
    OpenModelDefinition(d, prompter);
    return ReadParameterLines(d, prompter);
}

bool ReadParameterLines(DeviceData &d, Prompter &prompter)
{
    const QString path = d.Def.MessageFile;
    ResetFreeAlarmTexts();

    if (d.State.DeviceType == 35)
        ReadAnalogFunctions(d, prompter);
    else
        d.Def.AnalogFunctionTexts.clear();

    d.Params.Clear();
    d.Def.GroupTable.clear();
    d.Def.LastGroupIndex = -1;
    d.Def.ParameterLineCount = 0;
    d.Def.ParametersComplete = false;
    d.Def.RelayFunctionTable.clear();
    d.Def.RelayFunctionsLoaded = false;

    const QStringList &lines = d.Def.DefinitionLines;
    const int start = FindStartLabel(lines, QStringLiteral("ParaStart:"));
    if (start < 0) {
        prompter.error(QStringLiteral("Label \"ParaStart:\" missing in file ") + path);
        return false;
    }

    int pos = 0;
    for (int i = start + 1; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (IsEndLabel(line, QStringLiteral("ParaEnd:"))) {
            d.Def.ParameterLineCount = pos + 1;
            d.Def.ParametersComplete = true;
            if (d.Def.MenuFlags & 0x10)
                ReadRelayFunctions(d, prompter);
            return true;
        }
        // An empty line holds a position of its own but no list item: from here on group
        // starts run ahead of the list indexes. A line of blanks left by a hand edit is
        // the same empty line, not a parameter without "*".
        if (WithoutTrailingSpace(line).isEmpty()) {
            ++pos;
            continue;
        }
        if (!line.contains(QLatin1Char('*'))) {
            prompter.error(QStringLiteral("Label \"*\" missing in ") + line + QLatin1Char(' ') + path);
            return false;
        }
        bool ok = false;
        TParameter *par = d.Params.AddFromLine(line, &ok);
        if (!ok || !par) {
            prompter.error(ConversionErrorText(QStringLiteral("$") + TypeCodeField(line)));
            return false;
        }
        if (par->Text.contains(QLatin1String("+++"))) {
            // Groups beyond the selector's capacity stay ordinary rows.
            if (d.Def.GroupTable.size() < MaxGroups) {
                GroupEntry g;
                g.Name = GroupName(par->Text);
                g.Start = pos;
                g.Layout = LayoutKey(line);
                d.Def.GroupTable.append(g);
                d.Def.LastGroupIndex = int(d.Def.GroupTable.size()) - 1;
            }
        }
        if (d.State.DeviceType == 35 && pos >= 1 && pos <= 16)
            par->Text += d.Def.AnalogFunctionTexts.value(d.Geraet.GetByte(pos + 31));
        ApplyAlarmParameter(d, *par);
        ++pos;
    }
    // The lines ran out before the end label: the parameters are not shown.
    prompter.error(QStringLiteral("Label \"ParaEnd:\" missing in file ") + path);
    return false;
}

bool ReadActualValuePage(DeviceData &d, const QString &page, Prompter &prompter, QString *address, int *count)
{
    d.Values.Clear();
    const QStringList &lines = d.Def.DefinitionLines;
    const int start = FindStartLabel(lines, page + QStringLiteral("Start:"));
    if (start < 0) {
        prompter.error(QStringLiteral("Error 04 ") + d.Geraet.ProgramId);
        return false;
    }
    const QString header = lines.value(start + 1);
    if (start + 1 >= lines.size() || !header.contains(QLatin1Char('*'))) {
        prompter.error(QStringLiteral("Error 5 Actual Values"));
        return false;
    }
    QString rest = header;
    Text::SplitAt(rest, QLatin1Char('*'));
    const QString addr = HexField(Text::SplitAt(rest, QLatin1Char(',')));
    if (!IsHexText(addr) || addr.size() > 4) {
        prompter.error(ConversionErrorText(addr));
        return false;
    }
    bool ok = false;
    const int n = rest.trimmed().toInt(&ok, 10);
    if (!ok) {
        prompter.error(ConversionErrorText(rest.trimmed()));
        return false;
    }
    // One request reads the whole page, and a request carries at most 255 bytes.
    if (n < 0 || n > 255) {
        prompter.error(QStringLiteral("Error 5 Actual Values"));
        return false;
    }
    if (address)
        *address = addr.rightJustified(4, QLatin1Char('0'));
    if (count)
        *count = n;

    const QString endLabel = page + QStringLiteral("End:");
    for (int i = start + 2; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (IsEndLabel(line, endLabel))
            return true;
        if (!line.contains(QLatin1Char('*'))) {
            prompter.error(QStringLiteral("Error 5") + line + QStringLiteral("End:"));
            return false;
        }
        d.Values.AddFromLine(line);
    }
    // The lines ran out before the end label: the message names the label that is missing.
    prompter.error(QStringLiteral("Error 5") + endLabel);
    return false;
}

int ReadPrintTemplate(DeviceData &d, const QStringList &flagPrintTexts, QStringList *lines, Prompter &prompter)
{
    QStringList out;
    const QStringList &src = d.Def.DefinitionLines;
    const int start = FindStartLabel(src, QStringLiteral("PrintStart:"));
    if (start < 0) {
        prompter.error(QStringLiteral("Label \"PrintStart:\" missing in file ") + d.Geraet.ProgramId);
        if (lines)
            lines->clear();
        return 0;
    }
    int slot = 0;
    for (int i = start + 1; i < src.size(); ++i) {
        QString line = src.at(i);
        if (IsEndLabel(line, QStringLiteral("PrintEnd")))
            continue;
        if (IsEndLabel(line, QStringLiteral("PrintEnd:"))) {
            out.append(QStringLiteral("PrintEnd:"));
            break;
        }
        const int amp = line.indexOf(QLatin1String("&&"));
        if (amp >= 0) {
            ++slot;
            line.remove(amp, 2);
            line += flagPrintTexts.value(slot);
        }
        out.append(line);
    }
    if (lines)
        *lines = out;
    return int(out.size());
}

bool ReadFactorySetting(DeviceData &d, FactorySetting *out, Prompter &prompter)
{
    const QStringList &lines = d.Def.DefinitionLines;
    const int start = FindStartLabel(lines, QStringLiteral("WerkStart:"));
    if (start < 0) {
        prompter.error(QStringLiteral("Error K2 ") + d.Geraet.ProgramId);
        return false;
    }
    const QString line = lines.value(start + 1);
    if (!line.contains(QLatin1Char('*'))) {
        prompter.error(QStringLiteral("Error K3, * in  ") + line + QLatin1Char(' ') + d.Def.MessageFile);
        return false;
    }
    const QString k4 = QStringLiteral("Error K4, ; missing in ") + (d.Params.Count() > 0 ? d.Params.Item(0).Text : QString())
                       + QLatin1Char('\r') + d.Def.MessageFile;
    QString rest = line;
    FactorySetting fs;
    fs.Question = Text::SplitAt(rest, QLatin1Char('*'));
    if (!rest.contains(QLatin1Char(';'))) {
        prompter.error(k4);
        return false;
    }
    fs.Source = HexField(Text::SplitAt(rest, QLatin1Char(';'))).toUpper();
    if (!rest.contains(QLatin1Char(';'))) {
        prompter.error(k4);
        return false;
    }
    fs.Target = HexField(Text::SplitAt(rest, QLatin1Char(';'))).toUpper();
    const QString countText = HexField(rest);
    for (const QString &hex : {fs.Source, fs.Target, countText}) {
        // Addresses and the count are 16-bit quantities.
        if (!IsHexText(hex) || hex.size() > 4) {
            prompter.error(ConversionErrorText(hex));
            return false;
        }
    }
    fs.Count = int(Text::HexToInt(countText));
    if (out)
        *out = fs;
    return true;
}

bool ReadSetPointTable(DeviceData &d, QVector<SetPointRow> *rows, Prompter &prompter)
{
    QVector<SetPointRow> out;
    const QStringList &lines = d.Def.DefinitionLines;
    const int start = FindStartLabel(lines, QStringLiteral("SPWStart:"));
    bool done = false;
    if (start < 0) {
        prompter.error(QStringLiteral("Error 04 ") + d.Geraet.ProgramId);
    } else {
        int i = start + 1;
        for (; i < lines.size(); ++i) {
            const QString &line = lines.at(i);
            if (IsEndLabel(line, QStringLiteral("SPWEnd:"))) {
                done = true;
                break;
            }
            if (!line.contains(QLatin1Char('*')))
                break;
            QString rest = line;
            SetPointRow row;
            row.Name = Text::SplitAt(rest, QLatin1Char('*')).remove(QLatin1Char('\t'));
            const QStringList parts = rest.split(QLatin1Char(';'));
            for (int c = 0; c < 8; ++c)
                row.Columns.append(QString());
            // Fields followed by a ";" fill columns 1..7; the text after the last ";" is column 8.
            for (int c = 0; c < 7 && c < parts.size() - 1; ++c)
                row.Columns[c] = parts.at(c);
            row.Columns[7] = parts.last();
            out.append(row);
        }
        if (!done)
            prompter.warning(QStringLiteral("Error 5 SPWEnd:"));
    }
    if (rows)
        *rows = out;
    return done;
}
