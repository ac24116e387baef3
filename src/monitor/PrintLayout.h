#pragma once
#include <QString>
#include <QStringList>
#include <QVector>

struct DeviceData;
class TFormatter;
class Prompter;

// The printed and exported lists ("&Datenausgabe"): pure functions from data to lines.
// A printer, a PDF and a text file all take the same pages; only the target differs.

namespace Print {

constexpr int Columns = 77;
constexpr int PageLines = 60;
// Body lines run from line 4 to line 58 of a page; 59 stays empty, 60 is the footer.
constexpr int FirstBodyLine = 4;
constexpr int LastBodyLine = 58;
constexpr int BodyLinesPerPage = LastBodyLine - FirstBodyLine + 1;
// The closing lines take lines 57 and 58 of the last page.
constexpr int ClosingLine = 57;

enum class Kind { Parameters, Connections, ActualValues, Alarms };
enum class Target { Printer, File };

struct Header
{
    QString Project;
    QString FNumber;
    QString FDate;
    QString DeviceName; // type line 0 of the definition
    QString ProgramId;
    int ProgramVersion = 0;
    QString ProgramDate;
    bool AccessGranted = false;
    QString AccessCode;
};

struct Closing
{
    QString FileTime; // modification time of the loaded file; empty for data read from a device
    QString Zeile1;   // the two closing lines of the settings
    QString Zeile2;
    QString Now;      // current date and time as the user reads them
};

// Header lines 1 to 3. The project name is shortened so that at least one blank stays
// between it and the right part of line 1.
QStringList HeaderLines(const Header &h);
// Line 60: "Seite n", centred in 77 columns.
QString FooterLine(int page);

// The finished output as pages of lines (index 0 = line 1). Page-less lists (the alarm
// list) give a single page of any length.
using Pages = QVector<QStringList>;

// Lays body lines out: a header on every page, body lines 4..58, an empty line and the
// footer; at the end the file-time block (sets from a file), padding and the closing block
// at lines 57/58 of the last page. A closing part that would run past its place starts a
// new page. The alarm list (kind Alarms) gets one header, no footers and no padding.
Pages Layout(const Header &h, const QStringList &body, const Closing &c, Kind kind, Target target);

// All pages one after the other, as written to a text file.
QStringList Flatten(const Pages &pages);

// --- body sources ---------------------------------------------------------------------
// Every parameter in list order as the grid shows it.
QStringList ParameterBody(DeviceData &d, TFormatter &f);
// The parameter rows that are alarms ("Alarm" but not "++ Alarm"), each group's heading
// row after an empty line before its first alarm; groups about "Fernquittierung" left out.
QStringList AlarmBody(const QStringList &gridLines);
// The print template without its end label, its "&&" slots filled from relay-function
// texts rebuilt from the loaded list now (texts of an earlier set never show).
// An empty list with *ok false when the definition has no print template.
QStringList ConnectionBody(DeviceData &d, TFormatter &f, Prompter &prompter, bool *ok);

// Header fields from the loaded set.
Header HeaderFrom(const DeviceData &d, const QString &project, bool accessGranted);

// --- files ----------------------------------------------------------------------------
// Suffix of the output kind without its dot: "ANS" for the connection list, else "TXT".
QString Suffix(Kind kind);
// The name the save dialog proposes: project name + "." + suffix.
QString ProposedFileName(const QString &project, Kind kind);
// The chosen name with the kind's suffix added only when the name has no suffix of its own.
QString WithSuffix(const QString &fileName, Kind kind);
// Writes the lines atomically (UTF-8, one line per "\n"). On failure *error names the file
// and the reason and the old file is left as it was.
bool WriteTextFile(const QString &path, const QStringList &lines, QString *error);
bool WriteFile(const QString &path, const QByteArray &bytes, QString *error);
// The message of a file that could not be written: its name and the reason.
QString WriteErrorText(const QString &path, const QString &reason);

// --- PDF ------------------------------------------------------------------------------
// Character size and line pitch (in the page's units) that fit 77 columns and 60 lines
// into a printable area of a fixed-pitch font whose advance is advanceEm of its size.
struct Geometry
{
    double FontSize = 0;
    double LinePitch = 0;
};
Geometry FitPage(double width, double height, double advanceEm = 0.6);

// A PDF of the pages on A4, in the built-in Courier font (nothing embedded, so the core
// needs no font machinery). Pages longer than 60 lines continue on further sheets.
QByteArray PdfDocument(const Pages &pages, const QString &title);

} // namespace Print
