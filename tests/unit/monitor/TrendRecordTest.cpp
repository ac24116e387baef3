// The trend record: samples from grid texts, the semicolon file, midnight, decimation.
#include "monitor/TrendRecord.h"
#include "params/NumberFormat.h"
#include "shell/AnsiCodec.h"
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>

namespace {

const QDate kDay(2026, 12, 9);

QDateTime At(const char *time, int dayOffset = 0)
{
    return QDateTime(kDay.addDays(dayOffset), QTime::fromString(QLatin1String(time), QStringLiteral("HH:mm:ss")));
}

struct Separator
{
    explicit Separator(char c = ',') { SetDecimalSeparator(QLatin1Char(c)); }
    ~Separator() { ResetDecimalSeparator(); }
};

void WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

} // namespace

TEST(TrendRecord, GridTextsBecomeSamples)
{
    const struct
    {
        const char *text;
        Trend::Cell::Kind kind;
        double value;
    } cases[] = {
        {"  230,5", Trend::Cell::Number, 230.5},  {"230.5", Trend::Cell::Number, 230.5},
        {"-12,25 ", Trend::Cell::Number, -12.25}, {"1,5E3", Trend::Cell::Number, 1500},
        {"     ----", Trend::Cell::NotAvailable, 0}, {"-", Trend::Cell::NotAvailable, 0},
        {"", Trend::Cell::Empty, 0},              {"    ", Trend::Cell::Empty, 0},
        {"Ein", Trend::Cell::Number, 0},          {"1,2.3", Trend::Cell::Number, 0},
    };
    for (const auto &c : cases) {
        const Trend::Cell cell = Trend::ReadCell(QString::fromUtf8(c.text));
        EXPECT_EQ(cell.What, c.kind) << c.text;
        EXPECT_DOUBLE_EQ(cell.Value, c.value) << c.text;
    }
}

TEST(TrendRecord, LinesRepeatLastValueAndLeaveUnavailableEmpty)
{
    Separator comma;
    Trend::Record r;
    r.Reset({QStringLiteral("Spannung L1"), QStringLiteral("Strom; Phase 2"), QStringLiteral("Drehzahl")});
    EXPECT_EQ(r.Lines(), QStringList{QStringLiteral("Datum/Uhrzeit;Spannung L1;Strom, Phase 2;Drehzahl")});
    r.Append(At("10:00:00"), {QStringLiteral("  230,5"), QStringLiteral(""), QStringLiteral("1500")});
    r.Append(At("10:00:01"), {QStringLiteral(""), QStringLiteral("  12.75"), QStringLiteral("   ----")});
    // A missing cell (a row past the grid's end) is taken as empty.
    r.Append(At("10:00:02"), {QStringLiteral("231")});
    const QStringList expected{
        QStringLiteral("Datum/Uhrzeit;Spannung L1;Strom, Phase 2;Drehzahl"),
        QStringLiteral("10:00:00;230,5;;1500"),
        QStringLiteral("10:00:01;230,5;12,75;"),
        QStringLiteral("10:00:02;231;12,75;1500"),
    };
    EXPECT_EQ(r.Lines(), expected);
    EXPECT_EQ(r.SeriesAt(0).Y, (QVector<double>{230.5, 231}));
    EXPECT_EQ(r.SeriesAt(1).Y, (QVector<double>{12.75}));
    EXPECT_EQ(r.SeriesAt(2).Y, (QVector<double>{1500}));

    // A new start keeps the series and begins the record again.
    r.ClearLines();
    EXPECT_EQ(r.Lines().size(), 1);
    EXPECT_EQ(r.SeriesAt(0).Y.size(), 2);
}

TEST(TrendRecord, TenSignificantDigits)
{
    Separator dot('.');
    EXPECT_EQ(Trend::FormatValue(1234567.891234), QStringLiteral("1234567.891"));
    EXPECT_EQ(Trend::FormatValue(0.1 + 0.2), QStringLiteral("0.3"));
    EXPECT_EQ(Trend::FormatValue(-5), QStringLiteral("-5"));
}

TEST(TrendRecord, SavedRecordLoadsBackWithEveryPoint)
{
    Separator comma;
    QTemporaryDir dir;
    Trend::Record r;
    r.Reset({QStringLiteral("Öltemperatur [°C]"), QStringLiteral("Leistung [kW]")});
    const char *texts[][2] = {{"81,5", "  ----"}, {"82", "120,25"}, {"", "121"}, {"83,75", ""}};
    for (int i = 0; i < 4; ++i)
        r.Append(At("23:59:58").addSecs(i), {QString::fromLatin1(texts[i][0]), QString::fromLatin1(texts[i][1])});
    const QString path = dir.filePath(QStringLiteral("trend.csv"));
    QString error;
    ASSERT_TRUE(r.Save(path, &error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith(Ansi::encode(QStringLiteral("Datum/Uhrzeit;Öltemperatur [°C];Leistung [kW]\r\n"))));
    EXPECT_TRUE(bytes.contains("\r\n23:59:58;81,5;\r\n23:59:59;82;120,25\r\n00:00:00;82;121\r\n")) << bytes.constData();

    Trend::Record back;
    ASSERT_TRUE(back.Load(path, kDay, &error)) << error.toStdString();
    EXPECT_EQ(back.Lines(), r.Lines());
    ASSERT_EQ(back.SeriesCount(), 2);
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(back.SeriesAt(k).Title, r.SeriesAt(k).Title);
        // The record repeats a value where the cell was empty, so the loaded series may have
        // more points; each saved point is there at its time.
        for (int i = 0; i < r.SeriesAt(k).X.size(); ++i) {
            const int j = back.SeriesAt(k).X.indexOf(r.SeriesAt(k).X[i]);
            ASSERT_GE(j, 0) << "series " << k << " point " << i;
            EXPECT_DOUBLE_EQ(back.SeriesAt(k).Y[j], r.SeriesAt(k).Y[i]);
        }
    }
    EXPECT_EQ(back.SeriesAt(1).X.constFirst(), double(At("23:59:59").toMSecsSinceEpoch()))
        << "the unavailable value adds nothing";
}

TEST(TrendRecord, LoadingKeepsOrderPastMidnightAndTakesEitherSeparator)
{
    Trend::Record r;
    QString error;
    ASSERT_TRUE(r.Parse({QStringLiteral("Datum/Uhrzeit;A;B"), QStringLiteral("23:59:59;1,5;2.5"),
                         QStringLiteral("0:00:00;3;"), QStringLiteral("00:00:01;;4,0;99")},
                        kDay, &error))
        << error.toStdString();
    const Trend::Series &a = r.SeriesAt(0);
    const Trend::Series &b = r.SeriesAt(1);
    EXPECT_EQ(a.Y, (QVector<double>{1.5, 3}));
    EXPECT_EQ(b.Y, (QVector<double>{2.5, 4}));
    EXPECT_EQ(a.X[0], double(At("23:59:59").toMSecsSinceEpoch()));
    EXPECT_EQ(a.X[1], double(At("00:00:00", 1).toMSecsSinceEpoch()));
    EXPECT_EQ(b.X[1], double(At("00:00:01", 1).toMSecsSinceEpoch()));
    double lo = 0, hi = 0;
    ASSERT_TRUE(r.XRange(lo, hi));
    EXPECT_EQ(hi - lo, 2000.0);
}

TEST(TrendRecord, ForeignOrBrokenFilesAreRefusedAndChangeNothing)
{
    QTemporaryDir dir;
    const struct
    {
        const char *name;
        QByteArray bytes;
        const char *where;
    } cases[] = {
        {"foreign.csv", "Time,Voltage\r\n10:00:00,230.5\r\n", "Zeile 1"},
        {"empty.csv", "", "Zeile 1"},
        {"badtime.csv", "Datum/Uhrzeit;A\r\n10:00:00;1\r\n25:61:00;2\r\n", "Zeile 3: Feld 1 \"25:61:00\""},
        {"badnumber.csv", "Datum/Uhrzeit;A;B\r\n10:00:00;1;2\r\n10:00:01;3;\r\n10:00:02;4;x7\r\n",
         "Zeile 4: Feld 3 \"x7\""},
        {"twoseparators.csv", "Datum/Uhrzeit;A\r\n10:00:00;1,2.5\r\n", "Zeile 2: Feld 2"},
    };
    Trend::Record r;
    r.Reset({QStringLiteral("Kept")});
    r.Append(At("09:00:00"), {QStringLiteral("42")});
    const QStringList keptLines = r.Lines();
    for (const auto &c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        WriteBytes(path, c.bytes);
        QString error;
        EXPECT_FALSE(r.Load(path, kDay, &error)) << c.name;
        EXPECT_TRUE(error.contains(QLatin1String(c.name))) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(c.where))) << error.toStdString();
        EXPECT_EQ(r.Lines(), keptLines) << c.name;
        ASSERT_EQ(r.SeriesCount(), 1);
        EXPECT_EQ(r.SeriesAt(0).Y, QVector<double>{42});
    }
    QString error;
    EXPECT_FALSE(r.Load(dir.filePath(QStringLiteral("missing.csv")), kDay, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Fehler beim Öffnen der Datei"))) << error.toStdString();
    EXPECT_EQ(r.Lines(), keptLines);
}

TEST(TrendRecord, AFailedSaveIsReportedWithItsFile)
{
    QTemporaryDir dir;
    Trend::Record r;
    r.Reset({QStringLiteral("A")});
    QString error;
    EXPECT_FALSE(r.Save(dir.filePath(QStringLiteral("no/such/folder/t.csv")), &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("Datei konnte nicht gespeichert werden"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("t.csv")));
}

TEST(TrendRecord, RecordingLimitCountsAcrossMidnight)
{
    const struct
    {
        QDateTime start, now;
        int length;
        bool reached;
    } cases[] = {
        {At("10:00:00"), At("10:00:59"), 60, false},     {At("10:00:00"), At("10:01:00"), 60, true},
        {At("23:59:30"), At("00:00:29", 1), 60, false},  {At("23:59:30"), At("00:00:30", 1), 60, true},
        {At("10:00:00"), At("10:00:00", 3), 0, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Trend::LimitReached(c.start, c.now, c.length), c.reached)
            << c.start.toString().toStdString() << " .. " << c.now.toString().toStdString();
}

TEST(TrendRecord, DecimationKeepsExtremesAndReachesTheEdges)
{
    Trend::Series s;
    const int n = 86400;
    for (int i = 0; i < n; ++i) {
        s.X.append(i * 1000.0);
        s.Y.append(std::sin(i / 500.0));
    }
    s.Y[40000] = 50;  // one spike must survive
    s.Y[60000] = -50; // and one dip
    const int columns = 600;
    const QVector<QPointF> view = Trend::Decimate(s, 0, (n - 1) * 1000.0, columns);
    EXPECT_LE(view.size(), 4 * columns + 4);
    EXPECT_GT(view.size(), columns);
    double lo = 0, hi = 0;
    for (int i = 0; i < view.size(); ++i) {
        lo = std::min(lo, view[i].y());
        hi = std::max(hi, view[i].y());
        if (i > 0)
            EXPECT_LE(view[i - 1].x(), view[i].x());
    }
    EXPECT_EQ(hi, 50);
    EXPECT_EQ(lo, -50);
    EXPECT_EQ(view.constFirst().x(), 0);
    EXPECT_EQ(view.constLast().x(), (n - 1) * 1000.0);

    // A short stretch is drawn point by point, with one neighbour on each side.
    const QVector<QPointF> part = Trend::Decimate(s, 10000.5, 20000.5, columns);
    ASSERT_EQ(part.size(), 12);
    EXPECT_EQ(part.constFirst().x(), 10000.0);
    EXPECT_EQ(part.constLast().x(), 21000.0);
    EXPECT_TRUE(Trend::Decimate(Trend::Series{}, 0, 1, columns).isEmpty());
}

TEST(TrendRecord, UndoZoomShowsEveryPointWithAMargin)
{
    const struct
    {
        Trend::Range axis;
        double lo, hi;
        Trend::Range expected;
    } cases[] = {
        {{1000, 2000}, 1200, 1800, {1000, 2000}},             // all visible: unchanged
        {{1000, 2000}, 500, 1800, {500, 2000}},                // earlier points
        {{0, 1000000}, 0, 1100000, {0, 1100000 + 55000}},     // 5 % of the span beyond
        {{0, 10000}, 0, 11000, {0, 21000}},                    // at least ten seconds
    };
    for (const auto &c : cases) {
        const Trend::Range r = Trend::UndoZoomRange(c.axis, c.lo, c.hi);
        EXPECT_EQ(r.Min, c.expected.Min);
        EXPECT_EQ(r.Max, c.expected.Max);
    }
}
