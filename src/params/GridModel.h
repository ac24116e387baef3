#pragma once
#include "device/Geraet.h"
#include <array>
#include <memory>
#include <QString>
#include <QStringList>
#include <QVector>

struct DeviceData;
class TFormatter;

// The parameter grid without its window: which groups the selector offers, which rows a
// group shows and how each parameter line is cut into the grid's cells. The window
// (TParamGrid) only shows what this decides; printing and the command-line program use
// the same grid line.

namespace Grid {

// Slots of the relay-function texts (type code 222) that the printed connection list
// takes its "&&" entries from.
constexpr int FlagPrintSlots = 101;
// Row height of the grid in pixels.
constexpr int RowHeight = 18;
// Visible lines of the group selector's drop-down list.
constexpr int SelectorLines = 30;

enum class Layout { TwoColumns, ThreeColumns };

// Column widths in pixels: before anything is filled, and per layout.
QVector<int> InitialColumnWidths();
QVector<int> ColumnWidths(Layout layout);
int ColumnCount(Layout layout);
// Index of the column that carries the parameter text.
inline int TextColumn(Layout layout) { return layout == Layout::ThreeColumns ? 2 : 1; }

// The line of one parameter as the grid and the printout show it: the formatted value, a
// blank and the text; for code 222 nine blanks, the text and the relay function; for code
// 246 (separator) "--------" and the text. Tabs are removed. For code 222 the slot named
// by the digits of the parameter's text receives text and function when flagPrintTexts
// is given (a slot number outside 0..100, or no digits, fills nothing).
QString GridLine(DeviceData &d, TFormatter &f, int index, QStringList *flagPrintTexts = nullptr);

// The layout of a group: three columns for the layout key "3" and on device type 38.
Layout LayoutFor(const QString &layoutKey, int deviceType);

// Cuts a grid line into the cells of the layout (always ColumnCount(layout) cells).
// groupName decides the special groups (relay lists, analog channels).
QStringList SplitLine(const QString &line, int typeCode, Layout layout, const QString &groupName);

// Order of the group selector: letter case ignored, umlauts beside their base letter,
// ties kept in file order.
bool SelectorLess(const QString &a, const QString &b);

// Which selector item a rebuild selects: the previous one while it still exists, else 0;
// -1 when the selector is empty.
int SelectorItemAfterRefresh(int previousItem, int itemCount);

} // namespace Grid

// One entry of the group selector.
struct GridSelectorEntry
{
    QString Name;
    int Group = -1; // index in the group table
};

// One row of the grid.
struct GridRow
{
    QStringList Cells;       // one text per column of the layout
    int ParameterIndex = -1; // list index of the parameter shown
    int TypeCode = 0;
    int Group = -1;          // group table index, -1 without groups
    bool Heading = false;    // a group heading (only in the search view)
    bool Separator = false;  // type code 246
    bool TextLine = false;   // type code 0: a line of text without value
    bool Changed = false;    // the value differs from the reference image
    QString Line;            // the whole grid line (a separator is shown whole)
};

class TGridModel
{
public:
    TGridModel(DeviceData &data, TFormatter &formatter);

    // --- groups ---------------------------------------------------------------------
    int GroupCount() const;
    // The selector's entries, sorted. Each entry keeps its group, so two groups of the
    // same name stay two choices.
    QVector<GridSelectorEntry> SelectorEntries() const;
    // List index of a group's heading line. The group table holds positions of the
    // parameter section, which run ahead of the list indexes after an empty line; the
    // heading is therefore looked up in the list itself (the k-th "+++" line).
    int HeadingIndex(int group) const;
    // First list index after the group's heading, and the index its rows end before.
    int FirstIndex(int group) const;
    int EndIndex(int group) const;
    Grid::Layout GroupLayout(int group) const;
    QString GroupName(int group) const;

    // --- filling --------------------------------------------------------------------
    // Fills the rows of one group; without groups (group -1 or an empty group table) the
    // whole list from index 1. An unknown group gives no rows.
    void FillGroup(int group);
    // Rows of all groups whose parameter text contains the filter (letter case ignored),
    // each group's hits under a heading row of the group. Shown in the three-column form;
    // rows of two-column groups keep the middle column empty. An empty filter fills the
    // group that was last chosen.
    void FillFiltered(const QString &filter);
    // Formats the rows again for the same group or filter (after an edit).
    void Refill();
    void Clear();

    const QVector<GridRow> &Rows() const { return m_rows; }
    int RowCount() const { return int(m_rows.size()); }
    Grid::Layout CurrentLayout() const { return m_layout; }
    int CurrentGroup() const { return m_group; }
    QString CurrentFilter() const { return m_filter; }
    bool Filtered() const { return !m_filter.isEmpty(); }
    // Parameter index of a row; -1 for a heading row or a row outside the grid.
    int ParameterIndexOfRow(int row) const;
    // Heading index of the chosen group (the choice editors start their options after
    // it); 0 without groups.
    int CurrentHeadingIndex() const;

    // --- state kept across a rebuild ------------------------------------------------
    // Top row of the grid kept across a rebuild. RememberTopRow keeps a row above 0;
    // TopRowToRestore is the row to scroll to after filling (0 when the grid has fewer
    // rows); the rebuild resets it afterwards.
    int TopRowMemory = 0;
    void RememberTopRow(int topRow);
    int TopRowToRestore() const;

    // --- values changed since loading --------------------------------------------------
    // Keeps the image as it is now (a set was loaded or read); rows whose shown value
    // differs from what this image gives are marked Changed from then on.
    void TakeReference();
    void ClearReference();
    bool HasReference() const { return m_reference != nullptr; }
    // Parameters whose shown value differs from the reference (all rows, not only those
    // on show), in list order.
    QVector<int> ChangedParameters();

    // Texts of the relay functions (type code 222), filled while rows are built.
    QStringList FlagPrintTexts;
    // Builds the grid line of every parameter once, so that all slots are filled
    // whatever group is on show (the printout needs them all).
    void FillAllFlagPrintTexts();

private:
    struct Range
    {
        int first;
        int end;
    };
    QVector<int> headingIndexes() const;
    int headingIndex(int group, const QVector<int> &headings) const;
    Range range(int group, const QVector<int> &headings) const;
    GridRow makeRow(int index, int group, Grid::Layout layout, const QString &groupName);
    // Sets Changed on the rows; the lines are formatted once against the reference image.
    void markChanged();
    bool hasValue(int index) const;

    DeviceData &m_data;
    TFormatter &m_formatter;
    QVector<GridRow> m_rows;
    Grid::Layout m_layout = Grid::Layout::ThreeColumns;
    int m_group = -1;
    QString m_filter;
    std::unique_ptr<std::array<quint8, TGeraet::ImageSize>> m_reference;
};
