#pragma once
#include <QDate>
#include <QDateTime>
#include <QPointF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

// The samples of the trend chart: one series per plotted row and the semicolon record that
// "Speichern" writes and "Laden" reads. Points carry the full date and time (milliseconds
// since the epoch) so that a recording past midnight stays in order; the record's lines
// keep only the time of day.
namespace Trend {

constexpr int PenWidth = 2;
// A record longer than a week at one sample a second is stopped: it would fill the memory
// of a small service laptop and could not be drawn in useful detail anyway.
constexpr int MaxSamples = 7 * 86400;
// The record's first field and the time of day of its lines.
QString FirstTitle();
QString TimeFormat();

// What a value cell of the actual-value grid gives.
struct Cell
{
    enum Kind { Empty, NotAvailable, Number } What = Empty;
    double Value = 0;
};
// Blank: Empty. Only dashes ("----"): NotAvailable. Otherwise a number read with either
// decimal separator; a text that is not a number counts as 0.
Cell ReadCell(const QString &text);

// General format with at most 10 significant digits and the program's decimal separator.
QString FormatValue(double value);
// A number of a loaded record: either separator.
std::optional<double> ParseValue(const QString &text);
// A title with its ";" replaced, so the header keeps one field per series.
QString CleanTitle(const QString &title);

// Whole seconds from start to now have reached the length; a length of 0 never does.
bool LimitReached(const QDateTime &start, const QDateTime &now, int lengthSeconds);

struct Series
{
    QString Title;
    QVector<double> X; // milliseconds since the epoch, never decreasing
    QVector<double> Y;
    std::optional<double> Last() const
    {
        return Y.isEmpty() ? std::nullopt : std::optional<double>(Y.constLast());
    }
};

class Record
{
public:
    // New series with these titles; the record holds the header only.
    void Reset(const QStringList &titles);
    // A new recording: the record goes back to its header, the series keep their points.
    void ClearLines();
    // Room for this many samples, so that a long recording does not copy its points while
    // it grows.
    void Reserve(int samples);

    int SeriesCount() const { return int(m_series.size()); }
    const Series &SeriesAt(int k) const { return m_series.at(k); }
    QString Header() const;
    // Header and sample lines, as saved.
    const QStringList &Lines() const { return m_lines; }
    int Samples() const { return int(m_lines.size()) - 1; }
    bool Full() const { return Samples() >= MaxSamples; }

    // One sample: the text of each series' cell (a missing cell as an empty text). A cell
    // that is empty adds no point and repeats the series' last value in the record; one
    // that is not available adds no point and leaves its field empty.
    void Append(const QDateTime &t, const QStringList &cellTexts);

    // Smallest and largest X over all series; false when there are no points.
    bool XRange(double &lo, double &hi) const;

    // Written through a temporary file that replaces the old one only when complete.
    bool Save(const QString &path, QString *error) const;
    // Reads a saved record; the day of the first line is `firstDay`, and a time earlier
    // than the line before starts the next day. On failure the record is unchanged and
    // error names the file, line and field.
    bool Load(const QString &path, const QDate &firstDay, QString *error);
    bool Parse(const QStringList &lines, const QDate &firstDay, QString *error, const QString &fileName = QString());

private:
    QVector<Series> m_series;
    QStringList m_lines{FirstTitle()};
};

// The points of one series worth drawing between x0 and x1 at `columns` pixel columns:
// all of them when few, else per pixel column its smallest and largest point in their
// order, plus the neighbours just outside the range so the line reaches the edges.
QVector<QPointF> Decimate(const Series &s, double x0, double x1, int columns);

// After the zoom is undone: the axis widened to show every point. The margin beyond the
// last point is 5 % of the axis span, at least 10 seconds, so the newest values do not
// stick to the right edge (a margin of whole days would squash a time-of-day axis).
struct Range
{
    double Min = 0;
    double Max = 0;
};
Range UndoZoomRange(Range axis, double dataMin, double dataMax);

} // namespace Trend
