#include "calibration/SetPointTable.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QRegularExpression>
#include <algorithm>

namespace SetPointTable {

bool KindKnown(int kind, bool nineX)
{
    if (nineX)
        return kind == 1 || kind == 3 || kind == 6 || kind == 12;
    return kind == 2 || kind == 6 || kind == 12;
}

namespace {
bool ParseHex(QString text, int *value)
{
    text.remove(QLatin1Char(' '));
    if (text.startsWith(QLatin1Char('$')))
        text.remove(0, 1);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,4}$"));
    if (!hex.match(text).hasMatch())
        return false;
    *value = text.toInt(nullptr, 16);
    return true;
}

bool ParseDecimal(QString text, int *value)
{
    text.remove(QLatin1Char(' '));
    static const QRegularExpression dec(QStringLiteral("^-?[0-9]{1,6}$"));
    if (!dec.match(text).hasMatch())
        return false;
    *value = text.toInt();
    return true;
}
} // namespace

bool ParseFields(const QStringList &fields, bool nineX, SetPointItem *item, int *badField)
{
    SetPointItem it;
    int *const hexTargets[] = {&it.RawAddress, nullptr, &it.WriteAddress, &it.FirstNominal, &it.SecondNominal};
    int *const decTargets[] = {nullptr, &it.Kind, nullptr, nullptr, nullptr, &it.Min, &it.Max, &it.MinDiff};
    for (int f = 0; f < 8; ++f) {
        const QString text = f < fields.size() ? fields.at(f) : QString();
        const bool hexField = f == 0 || (f >= 2 && f <= 4);
        const bool ok = hexField ? ParseHex(text, hexTargets[f]) : ParseDecimal(text, decTargets[f]);
        if (!ok || (f == 1 && !KindKnown(it.Kind, nineX))) {
            if (badField)
                *badField = f;
            return false;
        }
    }
    it.Source = fields.at(0).trimmed().toUpper().remove(QLatin1Char(' '));
    if (item)
        *item = it;
    return true;
}

// A bad table is told as what it is (line and field), not as a link time-out: the dialog
// then closes without having measured anything.
bool Read(DeviceData &d, bool nineX, QVector<SetPointItem> *items, Prompter &prompter)
{
    if (items)
        items->clear();
    QVector<SetPointRow> rows;
    if (!ReadSetPointTable(d, &rows, prompter)) {
        // The reader has named the missing section or the line without "*"; this says what
        // it means for the calibration.
        const bool hasSection = std::any_of(d.Def.DefinitionLines.cbegin(), d.Def.DefinitionLines.cend(),
                                            [](const QString &l) {
                                                return l.compare(QLatin1String("SPWStart:"), Qt::CaseInsensitive) == 0;
                                            });
        prompter.error(hasSection ? GetText(851).arg(rows.size() + 1) : GetText(850));
        return false;
    }
    if (rows.size() > MaxItems) {
        prompter.warning(QStringLiteral("Error 5 SPWEnd:"));
        prompter.error(GetText(852).arg(rows.size()).arg(MaxItems));
        return false;
    }
    QVector<SetPointItem> out;
    for (int i = 0; i < rows.size(); ++i) {
        SetPointItem item;
        int bad = 0;
        if (!ParseFields(rows[i].Columns, nineX, &item, &bad)) {
            prompter.warning(QStringLiteral("Error 5 SPWEnd:"));
            prompter.error(GetText(853).arg(i + 1).arg(bad).arg(rows[i].Columns.value(bad)));
            return false;
        }
        item.Prompt = rows[i].Name;
        out.append(item);
    }
    if (items)
        *items = out;
    return true;
}

} // namespace SetPointTable
