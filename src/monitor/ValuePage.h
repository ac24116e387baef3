#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct DeviceData;
class Prompter;
class TFormatter;

// The actual-value pages: which pages exist, how a page's section of the definition file
// becomes the rows of DeviceData::Values, and how one answer becomes the page's cells.
// Pure functions of the device data and the answer; the poller and the windows use them.

struct ValuePageInfo
{
    QString Code;      // section name and internal page name ("IstAna")
    QString MenuName;  // object name of the menu entry ("Menu31")
    QString Caption;   // menu caption, with its "&"
    bool Trend = false; // the trend chart can follow this page
    int MenuBit = 0;   // bit of the device type's menu mask that enables the entry, 0: always
};

// The ten pages in menu order.
const QVector<ValuePageInfo> &ValuePages();
// The page with this code, or null.
const ValuePageInfo *FindValuePage(const QString &code);
// Two columns (value, label) or three (value, unit, text).
int PageColumns(const QString &code, int deviceType);
// Column widths in pixels for the grid.
QVector<int> PageColumnWidths(int columns);

// Largest byte count a page may read: an answer carries at most 251 data bytes.
constexpr int MaxPageBytes = 251;

struct PageDefinition
{
    QString Code;
    quint32 Address = 0;
    int Count = 0;
    // The section was read to its end label; with false the list holds the rows read so far
    // (or none) and no row windows are made.
    bool Complete = false;
};

// Rebuilds DeviceData::Values from the page's section and relabels its rows (relay and
// analog functions, the alarm texts). Errors go to the prompter in the definition readers'
// style. A byte count outside 1..MaxPageBytes refuses the section (empty list).
PageDefinition LoadPageDefinition(DeviceData &d, const QString &code, Prompter &prompter);

// The text of the function assigned to output row `row` (empty when the row has none).
QString RelayFunctionText(const DeviceData &d, int row);

// The image index of the channel-kind byte of analog module channel `row`, or -1. The
// module's first value row is channel 1, whose kind the definition keeps at 0x20 (its
// "Kanal 01 Sensor" parameter), so row r reads 0x20 + r; rows 16 and beyond have none.
int ChannelKindIndex(int row);
// The type code a module channel of this kind is shown with (the row's own code when the
// kind leaves it unchanged).
int ChannelTypeCode(int kind, int ownTypeCode);

// How the raw value of a row is taken from the answer.
enum class RawClass { None, Word, Byte, Triple, EmptyText, LabelOnly, Unknown };
RawClass RawValueClass(int typeCode);

struct BuiltPage
{
    int Columns = 3;
    // One entry per row, each with Columns cells.
    QVector<QStringList> Cells;
    // One line per row (value text, a blank, label); empty for rows not captured.
    QStringList PrintLines;
    bool ValuesPresent = false;
};

// The page as it shows one answer. answer holds the data bytes that arrived (its real
// length); a row whose value lies beyond it stays blank. On a page that shows no values
// (valid false) the cells stay empty.
BuiltPage BuildPage(DeviceData &d, TFormatter &formatter, const QString &page, const QByteArray &answer,
                    bool valid = true);

// The CSV/text column header of a row: the text after the first "-", trimmed, with " [unit]"
// when the unit is not blank.
QString RowHeading(const QString &label);
