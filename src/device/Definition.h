#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

struct DeviceData;
class Prompter;

// Readers of the model definition files ("ZPA\\*.ZPA"). The whole file is kept in
// DeviceData::Def.DefinitionLines; each reader searches its own section there again.

// The generic message for a number that could not be converted while a file is read.
QString ConversionErrorText(const QString &value);
// The generic message for a date that cannot exist (day 0, month 13, ...).
QString DateConversionErrorText();

// The type settings of a definition, decoded from TypLines.
struct TypeSettings
{
    QString DeviceName;   // line 0
    int MenuFlags = 0;    // line 1
    int BasePage = 0;     // line 2
    int OptionFlags = 0;  // line 3
    int PageCount = 0;    // line 4, 0 already turned into 256
    QString ClockKind;    // line 5: empty when the device has no clock
};

// Decodes lines 0..5. A non-numeric (or missing) line 1..4 gives false and the offending
// text in *badValue.
bool ParseTypeSettings(const QStringList &typLines, TypeSettings *out, QString *badValue = nullptr);

// The most pages a definition may declare: the image holds 32768 bytes and a parameter
// file keeps 48 identification bytes behind the pages.
constexpr int MaxPageCount = 127;

// Splits file contents into lines: CR LF, LF and CR each end a line; a final line end
// does not make an empty last line.
QStringList SplitDefinitionLines(const QString &text);

// Removes or keeps the "§N" lines for a program version. False (with *badValue) when a
// number after "§" is not a decimal number; the lines filtered so far stay filtered.
bool FilterVersionLines(QStringList &lines, int programVersion, QString *badValue = nullptr);

// Index of the first line equal to label, letter case and trailing white space ignored, or -1.
int FindStartLabel(const QStringList &lines, const QString &label, int from = 0);
// Whether line is the end label: same letters and case, trailing white space ignored.
bool IsEndLabel(const QString &line, const QString &label);
// The line without the white space at its end.
QString WithoutTrailingSpace(const QString &line);

// Loads the file into DefinitionLines, filters the version lines and reads the type
// settings into TypLines. DefinitionLines and TypLines are emptied first, so a failed
// open never leaves the previous model's definition to be read with this device's data.
bool OpenDefinition(DeviceData &d, const QString &path, Prompter &prompter);

// The same for file contents already in memory; path only names the file in messages.
bool OpenDefinitionData(DeviceData &d, const QByteArray &bytes, const QString &path, Prompter &prompter);

// Builds the parameter list, the group table, the alarm texts and (bit 4 of the menu
// flags) the relay-function table. Reopens the definition first (OpenModelDefinition).
// Returns Def.ParametersComplete: whether "ParaEnd:" was reached.
bool ReadParameters(DeviceData &d, Prompter &prompter);
// ReadParameters without the reopen: reads the parameter section of the lines in
// DefinitionLines with the type settings as they were applied.
bool ReadParameterLines(DeviceData &d, Prompter &prompter);

// Sections read on their own. Each returns whether its end label was reached.
bool ReadRelayFunctions(DeviceData &d, Prompter &prompter);
bool ReadAnalogFunctions(DeviceData &d, Prompter &prompter);

// Rebuilds DeviceData::Values from the section page + "Start:" .. page + "End:".
// *address receives the request address (hex digits, at least 4), *count the byte count.
bool ReadActualValuePage(DeviceData &d, const QString &page, Prompter &prompter, QString *address, int *count);

// The print template with the "&&" slots filled from flagPrintTexts (slot 1 for the first
// such line, ...). Returns the number of lines stored, end label included.
int ReadPrintTemplate(DeviceData &d, const QStringList &flagPrintTexts, QStringList *lines, Prompter &prompter);

struct FactorySetting
{
    QString Question;
    QString Source;  // hexadecimal device address, upper case
    QString Target;  // hexadecimal device address, upper case
    int Count = 0;   // bytes
};
bool ReadFactorySetting(DeviceData &d, FactorySetting *out, Prompter &prompter);

struct SetPointRow
{
    QString Name;        // tabs removed
    QStringList Columns; // always 8: columns 1..8 of the table (f0..f7)
};
bool ReadSetPointTable(DeviceData &d, QVector<SetPointRow> *rows, Prompter &prompter);

// The analog-function numbers a definition may name.
constexpr int MaxAnalogFunction = 401;
constexpr int MaxRelayFunctions = 301;
constexpr int MaxGroups = 71;
