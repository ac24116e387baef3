#include "monitor/TrendRecord.h"
#include "params/EditDispatcher.h"
#include "params/NumberFormat.h"
#include "shell/AnsiCodec.h"
#include "shell/Texts.h"
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace Trend {

QString FirstTitle() { return QStringLiteral("Datum/Uhrzeit"); }
QString TimeFormat() { return QStringLiteral("HH:mm:ss"); }

Cell ReadCell(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (t.count(QLatin1Char('-')) == t.size())
        return {Cell::NotAvailable, 0};
    bool ok = false;
    const double v = ParseEditNumber(t, &ok);
    return {Cell::Number, ok ? v : 0};
}

QString FormatValue(double value)
{
    QString t = QString::number(value, 'g', 10);
    const QChar sep = NumberFormat::DecimalSeparator();
    if (sep != QLatin1Char('.'))
        t.replace(QLatin1Char('.'), sep);
    return t;
}

std::optional<double> ParseValue(const QString &text)
{
    bool ok = false;
    const double v = ParseEditNumber(text, &ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

QString CleanTitle(const QString &title)
{
    QString t = title;
    return t.replace(QLatin1Char(';'), QLatin1Char(','));
}

bool LimitReached(const QDateTime &start, const QDateTime &now, int lengthSeconds)
{
    return lengthSeconds > 0 && start.secsTo(now) >= lengthSeconds;
}

void Record::Reset(const QStringList &titles)
{
    m_series.clear();
    for (const QString &t : titles)
        m_series.append(Series{CleanTitle(t), {}, {}});
    ClearLines();
}

void Record::ClearLines() { m_lines = QStringList{Header()}; }

void Record::Reserve(int samples)
{
    samples = std::clamp(samples, 0, MaxSamples);
    m_lines.reserve(samples + 1);
    for (Series &s : m_series) {
        s.X.reserve(s.X.size() + samples);
        s.Y.reserve(s.Y.size() + samples);
    }
}

QString Record::Header() const
{
    QString h = FirstTitle();
    for (const Series &s : m_series)
        h += QLatin1Char(';') + s.Title;
    return h;
}

void Record::Append(const QDateTime &t, const QStringList &cellTexts)
{
    const double x = double(t.toMSecsSinceEpoch());
    QString line = t.time().toString(TimeFormat());
    for (int k = 0; k < m_series.size(); ++k) {
        Series &s = m_series[k];
        const Cell c = ReadCell(cellTexts.value(k));
        line += QLatin1Char(';');
        if (c.What == Cell::NotAvailable)
            continue;
        if (c.What == Cell::Number) {
            s.X.append(x);
            s.Y.append(c.Value);
        }
        if (const auto last = s.Last())
            line += FormatValue(*last);
    }
    m_lines.append(line);
}

bool Record::XRange(double &lo, double &hi) const
{
    bool any = false;
    for (const Series &s : m_series) {
        if (s.X.isEmpty())
            continue;
        lo = any ? std::min(lo, s.X.constFirst()) : s.X.constFirst();
        hi = any ? std::max(hi, s.X.constLast()) : s.X.constLast();
        any = true;
    }
    return any;
}

bool Record::Save(const QString &path, QString *error) const
{
    QByteArray bytes;
    for (const QString &line : m_lines)
        bytes += Ansi::encode(line) + "\r\n";
    QSaveFile file(path);
    const bool ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (!ok && error)
        *error = GetText(790) + QLatin1Char('\r') + path + QStringLiteral(": ") + file.errorString();
    return ok;
}

bool Record::Load(const QString &path, const QDate &firstDay, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = GetText(2) + QLatin1Char('\r') + path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    QString text = Ansi::decode(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return Parse(lines, firstDay, error, QFileInfo(path).fileName());
}

namespace {
QTime ParseTime(const QString &text)
{
    // The time of day as saved; a full date and time (a record edited in a spreadsheet)
    // is taken by its time as well.
    for (const char *f : {"H:mm:ss", "HH:mm:ss", "H:mm", "H:mm:ss.zzz"}) {
        const QTime t = QTime::fromString(text, QLatin1String(f));
        if (t.isValid())
            return t;
    }
    for (const char *f : {"dd.MM.yyyy HH:mm:ss", "d.M.yyyy H:mm:ss", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss"}) {
        const QDateTime d = QDateTime::fromString(text, QLatin1String(f));
        if (d.isValid())
            return d.time();
    }
    return QTime();
}
} // namespace

bool Record::Parse(const QStringList &lines, const QDate &firstDay, QString *error, const QString &fileName)
{
    auto fail = [&](int line, const QString &what) {
        if (error) {
            *error = GetText(2) + QLatin1Char('\r');
            if (!fileName.isEmpty())
                *error += fileName + QStringLiteral(", ");
            *error += GetText(791).arg(line) + what;
        }
        return false;
    };
    if (lines.isEmpty() || !lines.constFirst().contains(QLatin1Char(';')))
        return fail(1, GetText(792));
    if (lines.size() - 1 > MaxSamples)
        return fail(MaxSamples + 2, GetText(793).arg(MaxSamples));
    QStringList header = lines.constFirst().split(QLatin1Char(';'));
    header.removeFirst();
    Record r;
    r.Reset(header);
    QDate day = firstDay;
    QTime previous;
    for (int n = 1; n < lines.size(); ++n) {
        const QString &line = lines.at(n);
        if (line.trimmed().isEmpty())
            continue; // a blank last line of an edited file
        const QStringList fields = line.split(QLatin1Char(';'));
        const QTime time = ParseTime(fields.constFirst().trimmed());
        if (!time.isValid())
            return fail(n + 1, GetText(794).arg(1).arg(fields.constFirst()));
        // Lines are in time order: a time before the last one is on the next day.
        if (previous.isValid() && time < previous)
            day = day.addDays(1);
        previous = time;
        const double x = double(QDateTime(day, time).toMSecsSinceEpoch());
        // Fields beyond the header's titles are ignored, as are empty ones.
        for (int k = 0; k < r.SeriesCount() && k + 1 < fields.size(); ++k) {
            const QString f = fields.at(k + 1).trimmed();
            if (f.isEmpty())
                continue;
            const std::optional<double> v = ParseValue(f);
            if (!v)
                return fail(n + 1, GetText(795).arg(k + 2).arg(f));
            r.m_series[k].X.append(x);
            r.m_series[k].Y.append(*v);
        }
        r.m_lines.append(line);
    }
    *this = std::move(r);
    return true;
}

QVector<QPointF> Decimate(const Series &s, double x0, double x1, int columns)
{
    QVector<QPointF> out;
    const auto begin = s.X.constBegin();
    // From the last point before x0 to the first point after x1.
    int from = int(std::lower_bound(begin, s.X.constEnd(), x0) - begin);
    int to = int(std::upper_bound(begin, s.X.constEnd(), x1) - begin);
    from = std::max(0, from - 1);
    to = std::min(int(s.X.size()), to + 1);
    if (to <= from)
        return out;
    columns = std::max(1, columns);
    if (to - from <= 2 * columns || !(x1 > x0)) {
        out.reserve(to - from);
        for (int i = from; i < to; ++i)
            out.append(QPointF(s.X[i], s.Y[i]));
        return out;
    }
    // Two points a column are what a pixel can show: the line drawn through them covers
    // every value of the column, and half the points keep the drawing fast.
    out.reserve(2 * columns + 8);
    const double width = (x1 - x0) / columns;
    int i = from;
    while (i < to) {
        const double c = std::floor((s.X[i] - x0) / width);
        const double next = x0 + (c + 1) * width;
        int lo = i, hi = i;
        for (++i; i < to && s.X[i] < next; ++i) {
            if (s.Y[i] < s.Y[lo])
                lo = i;
            if (s.Y[i] > s.Y[hi])
                hi = i;
        }
        out.append(QPointF(s.X[std::min(lo, hi)], s.Y[std::min(lo, hi)]));
        if (lo != hi)
            out.append(QPointF(s.X[std::max(lo, hi)], s.Y[std::max(lo, hi)]));
    }
    return out;
}

Range UndoZoomRange(Range axis, double dataMin, double dataMax)
{
    constexpr double minMargin = 10 * 1000.0;
    Range r = axis;
    if (dataMin < r.Min)
        r.Min = dataMin;
    if (dataMax > r.Max)
        r.Max = dataMax + std::max(minMargin, 0.05 * (dataMax - r.Min));
    return r;
}

} // namespace Trend
