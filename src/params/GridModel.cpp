#include "params/GridModel.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "params/FormatValue.h"
#include <algorithm>

namespace {

const QLatin1String kHeadingMark("+++");

// Groups whose lines carry a relay number in front of the text (the 222 lines).
bool IsRelayGroup(const QString &name)
{
    static const QStringList kNames = {QStringLiteral("Relais und Ausgänge"),
                                       QStringLiteral("Zusatzinterface über CAN-Bus"),
                                       QStringLiteral("Relaisfunktionen"),
                                       QStringLiteral("Relay and Indicator Functions"),
                                       QStringLiteral("Additional Interface CAN"),
                                       QStringLiteral("Relay Functions")};
    return kNames.contains(name);
}

bool IsAnalogChannelLine(const QString &line, const QString &group)
{
    if (line.contains(QLatin1String("Kanal")) &&
        (group.contains(QStringLiteral("Analogeingänge")) || group.contains(QStringLiteral("Analogausgänge"))))
        return true;
    return line.contains(QLatin1String("Channel")) &&
           (group.contains(QLatin1String("Analogue Inputs")) || group.contains(QLatin1String("Analogue Outputs")));
}

QString TrimLeadingBlanks(const QString &s)
{
    int k = 0;
    while (k < s.size() && s.at(k) == QLatin1Char(' '))
        ++k;
    return s.mid(k);
}

// Sort key of a selector entry: lower case, umlauts folded onto their base letter.
QString SortKey(const QString &s)
{
    QString k = s.toLower();
    k.replace(QChar(0xE4), QLatin1Char('a'));
    k.replace(QChar(0xF6), QLatin1Char('o'));
    k.replace(QChar(0xFC), QLatin1Char('u'));
    k.replace(QChar(0xDF), QLatin1String("ss"));
    return k;
}

} // namespace

namespace Grid {

QVector<int> InitialColumnWidths() { return {41, 48, 322}; }

QVector<int> ColumnWidths(Layout layout)
{
    if (layout == Layout::ThreeColumns)
        return {50, 40, 272};
    return {50, 300};
}

int ColumnCount(Layout layout) { return layout == Layout::ThreeColumns ? 3 : 2; }

QString GridLine(DeviceData &d, TFormatter &f, int index, QStringList *flagPrintTexts)
{
    if (index < 0 || index >= d.Params.Count())
        return QString();
    const int code = d.Params.GetTypeCode(index);
    const QString value = f.FormatParameter(index);
    const QString text = d.Params.ItemText(index);
    QString line;
    if (code == 222) {
        line = QString(9, QLatin1Char(' ')) + text + value;
        if (flagPrintTexts) {
            // The slot number is made of every digit of the text ("Relais 12" -> 12).
            QString digits;
            for (const QChar c : d.Params.Item(index).Text)
                if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                    digits.append(c);
            bool ok = false;
            const int n = digits.size() <= 9 ? digits.toInt(&ok) : -1;
            if (ok && n >= 0 && n < FlagPrintSlots) {
                while (flagPrintTexts->size() < FlagPrintSlots)
                    flagPrintTexts->append(QString());
                (*flagPrintTexts)[n] = text + value.mid(6);
            }
        }
    } else if (code == 246) {
        line = QStringLiteral("--------") + text;
    } else {
        line = value + QLatin1Char(' ') + text;
    }
    line.remove(QLatin1Char('\t'));
    return line;
}

Layout LayoutFor(const QString &layoutKey, int deviceType)
{
    return (layoutKey == QLatin1String("3") || deviceType == 38) ? Layout::ThreeColumns : Layout::TwoColumns;
}

QStringList SplitLine(const QString &line, int typeCode, Layout layout, const QString &groupName)
{
    if (layout == Layout::TwoColumns) {
        if (typeCode == 0)
            return {QString(), TrimLeadingBlanks(line)};
        if (IsRelayGroup(groupName))
            return {line.mid(9, 4), line.mid(13)};
        // The value and its blank go left; the text loses its two-character prefix ("- ").
        return {line.left(8), line.mid(10)};
    }
    if (typeCode == 0)
        return {QString(), QString(), TrimLeadingBlanks(line)};
    if (IsAnalogChannelLine(line, groupName))
        return {QString(), QString(), line.mid(10)};
    if (line.contains(QLatin1String("CAN_AE")))
        return {line.left(8), QString(), line.mid(9)};
    // Value, then the five-character unit field at the start of the text, then the text.
    return {line.left(8), line.mid(8, 5), line.mid(13)};
}

bool SelectorLess(const QString &a, const QString &b)
{
    const int c = SortKey(a).compare(SortKey(b));
    if (c != 0)
        return c < 0;
    return false;
}

int SelectorItemAfterRefresh(int previousItem, int itemCount)
{
    if (itemCount <= 0)
        return -1;
    return previousItem >= 0 && previousItem < itemCount ? previousItem : 0;
}

} // namespace Grid

TGridModel::TGridModel(DeviceData &data, TFormatter &formatter) : m_data(data), m_formatter(formatter)
{
    for (int k = 0; k < Grid::FlagPrintSlots; ++k)
        FlagPrintTexts.append(QString());
}

int TGridModel::GroupCount() const { return int(m_data.Def.GroupTable.size()); }

QVector<GridSelectorEntry> TGridModel::SelectorEntries() const
{
    QVector<GridSelectorEntry> entries;
    const QVector<GroupEntry> &groups = m_data.Def.GroupTable;
    entries.reserve(groups.size());
    for (int k = 0; k < groups.size(); ++k)
        entries.append({groups.at(k).Name, k});
    std::stable_sort(entries.begin(), entries.end(), [](const GridSelectorEntry &a, const GridSelectorEntry &b) {
        return Grid::SelectorLess(a.Name, b.Name);
    });
    return entries;
}

QVector<int> TGridModel::headingIndexes() const
{
    QVector<int> result;
    const int n = m_data.Params.Count();
    for (int i = 0; i < n && result.size() < MaxGroups; ++i)
        if (m_data.Params.Item(i).Text.contains(kHeadingMark))
            result.append(i);
    return result;
}

int TGridModel::headingIndex(int group, const QVector<int> &headings) const
{
    const QVector<GroupEntry> &groups = m_data.Def.GroupTable;
    if (group < 0 || group >= groups.size())
        return -1;
    // The k-th heading line of the list is the heading of group k.
    if (headings.size() == groups.size())
        return headings.at(group);
    // The list no longer matches the table (texts changed since): stay inside the list.
    const int count = m_data.Params.Count();
    return count > 0 ? std::max(0, std::min(groups.at(group).Start, count - 1)) : -1;
}

TGridModel::Range TGridModel::range(int group, const QVector<int> &headings) const
{
    const int count = m_data.Params.Count();
    if (GroupCount() == 0)
        return {std::min(1, count), count};
    if (group < 0 || group >= GroupCount())
        return {-1, -1};
    const int first = headingIndex(group, headings) + 1;
    int end = count;
    if (group + 1 < GroupCount())
        end = std::max(first, std::min(headingIndex(group + 1, headings), count));
    return {first, end};
}

int TGridModel::HeadingIndex(int group) const { return headingIndex(group, headingIndexes()); }
int TGridModel::FirstIndex(int group) const { return range(group, headingIndexes()).first; }
int TGridModel::EndIndex(int group) const { return range(group, headingIndexes()).end; }

Grid::Layout TGridModel::GroupLayout(int group) const
{
    const QVector<GroupEntry> &groups = m_data.Def.GroupTable;
    const QString key = group >= 0 && group < groups.size() ? groups.at(group).Layout : QString();
    return Grid::LayoutFor(key, m_data.State.DeviceType);
}

QString TGridModel::GroupName(int group) const
{
    const QVector<GroupEntry> &groups = m_data.Def.GroupTable;
    return group >= 0 && group < groups.size() ? groups.at(group).Name : QString();
}

GridRow TGridModel::makeRow(int index, int group, Grid::Layout layout, const QString &groupName)
{
    GridRow row;
    row.ParameterIndex = index;
    row.TypeCode = m_data.Params.GetTypeCode(index);
    row.Group = group;
    row.Separator = row.TypeCode == 246;
    row.TextLine = row.TypeCode == 0;
    const QString line = Grid::GridLine(m_data, m_formatter, index, &FlagPrintTexts);
    row.Cells = Grid::SplitLine(line, row.TypeCode, layout, groupName);
    row.Line = line;
    return row;
}

void TGridModel::Clear()
{
    m_rows.clear();
}

void TGridModel::FillGroup(int group)
{
    m_rows.clear();
    m_filter.clear();
    const bool grouped = GroupCount() > 0;
    m_group = grouped ? group : -1;
    m_layout = GroupLayout(m_group);
    if (grouped && (group < 0 || group >= GroupCount()))
        return;
    const Range r = range(m_group, headingIndexes());
    const int first = r.first;
    const int end = r.end;
    if (first < 0 || end <= first)
        return;
    const QString name = GroupName(m_group);
    m_rows.reserve(end - first);
    for (int i = first; i < end; ++i)
        m_rows.append(makeRow(i, m_group, m_layout, name));
    markChanged();
}

void TGridModel::FillFiltered(const QString &filter)
{
    if (filter.isEmpty()) {
        FillGroup(m_group);
        return;
    }
    m_rows.clear();
    m_filter = filter;
    m_layout = Grid::Layout::ThreeColumns;
    const QVector<int> headings = headingIndexes();
    auto addGroup = [&](int group) {
        const Range r = range(group, headings);
        const int first = r.first;
        const int end = r.end;
        if (first < 0)
            return;
        const QString name = GroupName(group);
        const Grid::Layout own = GroupLayout(group);
        bool headed = false;
        for (int i = first; i < end; ++i) {
            // Matching the text before formatting keeps the formatter to the hits.
            if (!m_data.Params.ItemText(i).contains(filter, Qt::CaseInsensitive))
                continue;
            if (!headed && group >= 0) {
                GridRow heading;
                heading.Heading = true;
                heading.Group = group;
                heading.ParameterIndex = headingIndex(group, headings);
                heading.Cells = QStringList{QString(), QString(), name};
                m_rows.append(heading);
                headed = true;
            }
            GridRow row = makeRow(i, group, own, name);
            if (own == Grid::Layout::TwoColumns)
                row.Cells = QStringList{row.Cells.value(0), QString(), row.Cells.value(1)};
            m_rows.append(row);
        }
    };
    if (GroupCount() == 0)
        addGroup(-1);
    else
        for (int k = 0; k < GroupCount(); ++k)
            addGroup(k);
    markChanged();
}

void TGridModel::TakeReference()
{
    if (!m_reference)
        m_reference = std::make_unique<std::array<quint8, TGeraet::ImageSize>>();
    *m_reference = m_data.Geraet.Image;
    for (GridRow &row : m_rows)
        row.Changed = false;
}

void TGridModel::ClearReference()
{
    m_reference.reset();
    for (GridRow &row : m_rows)
        row.Changed = false;
}

bool TGridModel::hasValue(int index) const
{
    const int code = m_data.Params.GetTypeCode(index);
    return code != 0 && code != 246;
}

namespace {
// Puts the reference image in place for as long as it lives; the formatter then shows the
// values as they were loaded.
class ImageSwap
{
public:
    ImageSwap(std::array<quint8, TGeraet::ImageSize> &a, std::array<quint8, TGeraet::ImageSize> &b) : m_a(a), m_b(b)
    {
        std::swap(m_a, m_b);
    }
    ~ImageSwap() { std::swap(m_a, m_b); }
    ImageSwap(const ImageSwap &) = delete;
    ImageSwap &operator=(const ImageSwap &) = delete;

private:
    std::array<quint8, TGeraet::ImageSize> &m_a;
    std::array<quint8, TGeraet::ImageSize> &m_b;
};
} // namespace

void TGridModel::markChanged()
{
    // Comparing the formatted lines, not bytes, marks exactly what the user sees change,
    // whatever number of bytes and bits a type code spreads its value over.
    if (!m_reference || *m_reference == m_data.Geraet.Image)
        return;
    QStringList before;
    before.reserve(m_rows.size());
    {
        ImageSwap swap(m_data.Geraet.Image, *m_reference);
        for (const GridRow &row : m_rows)
            before << (row.Heading || !hasValue(row.ParameterIndex)
                           ? QString()
                           : Grid::GridLine(m_data, m_formatter, row.ParameterIndex));
    }
    for (int r = 0; r < m_rows.size(); ++r) {
        GridRow &row = m_rows[r];
        if (row.Heading || !hasValue(row.ParameterIndex))
            continue;
        row.Changed = Grid::GridLine(m_data, m_formatter, row.ParameterIndex) != before.at(r);
    }
}

QVector<int> TGridModel::ChangedParameters()
{
    QVector<int> changed;
    if (!m_reference || *m_reference == m_data.Geraet.Image)
        return changed;
    const int count = m_data.Params.Count();
    QStringList before;
    {
        ImageSwap swap(m_data.Geraet.Image, *m_reference);
        for (int i = 0; i < count; ++i)
            before << (hasValue(i) ? Grid::GridLine(m_data, m_formatter, i) : QString());
    }
    for (int i = 0; i < count; ++i)
        if (hasValue(i) && Grid::GridLine(m_data, m_formatter, i) != before.at(i))
            changed << i;
    return changed;
}

void TGridModel::Refill()
{
    if (Filtered())
        FillFiltered(m_filter);
    else
        FillGroup(m_group);
}

int TGridModel::ParameterIndexOfRow(int row) const
{
    if (row < 0 || row >= m_rows.size() || m_rows.at(row).Heading)
        return -1;
    return m_rows.at(row).ParameterIndex;
}

int TGridModel::CurrentHeadingIndex() const
{
    if (GroupCount() == 0 || m_group < 0)
        return 0;
    return std::max(0, HeadingIndex(m_group));
}

void TGridModel::RememberTopRow(int topRow)
{
    if (topRow > 0)
        TopRowMemory = topRow;
}

int TGridModel::TopRowToRestore() const
{
    return TopRowMemory > 0 && TopRowMemory < RowCount() ? TopRowMemory : 0;
}

void TGridModel::FillAllFlagPrintTexts()
{
    const int n = m_data.Params.Count();
    for (int i = 0; i < n; ++i)
        if (m_data.Params.GetTypeCode(i) == 222)
            Grid::GridLine(m_data, m_formatter, i, &FlagPrintTexts);
}
