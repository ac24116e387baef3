// The trend window offscreen on the simulated device: rows of the "Istwerte" page sampled
// from the grid, the recording limit past midnight, a zero display range, the page change
// that closes it, saving, loading and printing.
#include "monitor/TrendRecord.h"
#include "monitor/ValuePoller.h"
#include "monitor/ui/Diagramm.h"
#include "shell/Texts.h"
#include "support/DriveModal.h"
#include "support/SimMainWindow.h"
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTableWidget>

namespace {

class DiagrammUi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
        form = sim.form.get();
        form->Poller()->SetInterval(50);
        grid = form->findChild<QTableWidget *>(QStringLiteral("StrG_Int"));
        ASSERT_NE(grid, nullptr);
        ASSERT_TRUE(choose("Menu31"));
        QAction *trend = form->FindAction(QStringLiteral("Chart1"));
        ASSERT_TRUE(trend->isEnabled());
        trend->trigger();
        w = form->TrendWindow();
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(w->isVisible());
        w->Now = [this] { return clock; };
    }
    bool choose(const char *entry)
    {
        QSignalSpy built(form->Poller(), &ValuePoller::PageBuilt);
        form->FindAction(QString::fromLatin1(entry))->trigger();
        return QTest::qWaitFor([&] { return built.count() >= 2; }, 10000);
    }
    void pick(std::initializer_list<int> entries)
    {
        for (int i : entries)
            w->Selection()->item(i)->setCheckState(Qt::Checked);
    }
    void setSpan(const char *hours, int h, const char *minutes, int m)
    {
        w->Combo(QLatin1String(hours))->setCurrentIndex(h);
        QComboBox *mb = w->Combo(QLatin1String(minutes));
        mb->setCurrentIndex(mb->findData(m));
    }
    // The value the record should hold for entry i of the selection right now.
    QString expectedField(int selectionIndex)
    {
        const Trend::Cell c = Trend::ReadCell(grid->item(w->SelectableRows().at(selectionIndex), 0)->text());
        return c.What == Trend::Cell::Number ? Trend::FormatValue(c.Value) : QString();
    }

    SimMainWindow sim;
    TFormMain *form = nullptr;
    QTableWidget *grid = nullptr;
    TDiagramm *w = nullptr;
    QDateTime clock{QDate(2026, 12, 9), QTime(23, 59, 30)};
};

} // namespace

TEST_F(DiagrammUi, SelectionOffersRowsWithValuesAndStartNeedsACheck)
{
    int withValue = 0;
    for (int r = 0; r < grid->rowCount(); ++r)
        withValue += grid->item(r, 0) && !grid->item(r, 0)->text().trimmed().isEmpty();
    ASSERT_GT(withValue, 1);
    EXPECT_EQ(w->Selection()->count(), withValue);
    const QString label = grid->item(w->SelectableRows().at(0), grid->columnCount() - 1)->text();
    EXPECT_TRUE(label.endsWith(w->Selection()->item(0)->text()));
    EXPECT_FALSE(w->Selection()->item(0)->text().startsWith(QLatin1Char('-')));

    w->UpdateButtons();
    EXPECT_TRUE(w->Button(QStringLiteral("Btn_Auswahl"))->isEnabled());
    EXPECT_FALSE(w->Button(QStringLiteral("Btn_Start"))->isEnabled());
    EXPECT_FALSE(w->Button(QStringLiteral("Btn_Speichern"))->isEnabled());
    pick({1});
    w->UpdateButtons();
    EXPECT_TRUE(w->Button(QStringLiteral("Btn_Start"))->isEnabled());
    EXPECT_TRUE(w->Button(QStringLiteral("Btn_Speichern"))->isEnabled());
}

TEST_F(DiagrammUi, ApplyRecordsTheRowsAndTheLimitStopsAfterAMinutePastMidnight)
{
    pick({0, 2});
    w->Check(QStringLiteral("Cb_Dauer"))->setChecked(true);
    setSpan("Cob_Stunden", 0, "Cob_Minuten", 1);
    QTest::mouseClick(w->Button(QStringLiteral("Button1")), Qt::LeftButton);
    ASSERT_TRUE(w->Recording());
    EXPECT_EQ(w->Tabs()->currentIndex(), 0);
    EXPECT_EQ(w->Button(QStringLiteral("Btn_Start"))->text(), GetText(316));
    EXPECT_EQ(w->SampleInterval(), ValuePoller::IntervalMs);
    const QString header = QStringLiteral("Datum/Uhrzeit;") + w->Selection()->item(0)->text() + QLatin1Char(';') +
                           w->Selection()->item(2)->text();
    EXPECT_EQ(w->Record().Lines(), QStringList{header});
    EXPECT_EQ(w->SeriesRows(), (QVector<int>{w->SelectableRows().at(0), w->SelectableRows().at(2)}));

    for (int s = 1; s <= 60; ++s) {
        ASSERT_TRUE(w->Recording()) << "stopped after " << s - 1 << " s";
        clock = clock.addSecs(1);
        w->Sample();
    }
    EXPECT_FALSE(w->Recording());
    EXPECT_EQ(w->Button(QStringLiteral("Btn_Start"))->text(), GetText(315));
    ASSERT_EQ(w->Record().Lines().size(), 61);
    EXPECT_EQ(w->Record().Lines().at(30), QStringLiteral("00:00:00;") + expectedField(0) + QLatin1Char(';') + expectedField(2));
    // The chart keeps the date: the points after midnight lie after those before it.
    const Trend::Series &s = w->Record().SeriesAt(0);
    ASSERT_EQ(s.X.size(), 60);
    EXPECT_TRUE(std::is_sorted(s.X.begin(), s.X.end()));
    EXPECT_EQ(s.X.constLast() - s.X.constFirst(), 59000.0);
    EXPECT_EQ(w->Chart()->LineCount(), 2);
    EXPECT_EQ(w->Chart()->Line(0)->count(), 60);
    // The axis runs from the start over the recording length.
    EXPECT_EQ(w->Chart()->XMax(), double(clock.toMSecsSinceEpoch()));
    EXPECT_EQ(w->Chart()->XMax() - w->Chart()->XMin(), 60000.0);
}

TEST_F(DiagrammUi, ZeroDisplayRangeDoesNotStartAndAPageChangeClosesTheWindow)
{
    pick({0});
    setSpan("Cob_AStunden", 0, "Cob_AMinuten", 0);
    w->Apply();
    EXPECT_FALSE(w->Recording());
    EXPECT_EQ(sim.prompter.Infos, QStringList{GetText(796)});

    setSpan("Cob_AStunden", 0, "Cob_AMinuten", 5);
    w->StartStop();
    ASSERT_TRUE(w->Recording());
    EXPECT_EQ(w->DisplaySeconds(), 300);
    // "Übernehmen" while recording starts over with the new rows instead of mixing them.
    pick({1});
    w->Apply();
    EXPECT_TRUE(w->Recording());
    EXPECT_EQ(w->Record().SeriesCount(), 2);
    EXPECT_EQ(w->Record().Lines().size(), 1);

    ASSERT_TRUE(choose("Menu34"));
    EXPECT_FALSE(w->Recording());
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(w->SeriesRows().isEmpty());
    EXPECT_FALSE(form->FindAction(QStringLiteral("Chart1"))->isEnabled());
}

TEST_F(DiagrammUi, SaveLoadAndARefusedFileThroughTheButtons)
{
    QTemporaryDir dir;
    pick({0, 1});
    setSpan("Cob_Stunden", 0, "Cob_Minuten", 0); // no limit: the axis spans the display range
    w->Apply();
    for (int s = 0; s < 65; ++s) {
        clock = clock.addSecs(1);
        w->Sample();
    }
    EXPECT_TRUE(w->Recording());
    // Autoscroll: past the axis end, the axis follows the last sample over the display range.
    EXPECT_EQ(w->Chart()->XMax(), double(clock.toMSecsSinceEpoch()));
    EXPECT_EQ(w->Chart()->XMax() - w->Chart()->XMin(), 60000.0);
    // A zoom holds the axis; its undo widens it to the first sample, scrolled out before.
    const QRectF plot = w->Chart()->chart()->plotArea();
    w->Chart()->chart()->zoomIn(plot.adjusted(plot.width() / 4, 0, -plot.width() / 4, 0));
    ASSERT_TRUE(w->Chart()->Zoomed());
    const double zoomedMax = w->Chart()->XMax();
    clock = clock.addSecs(1);
    w->Sample();
    EXPECT_EQ(w->Chart()->XMax(), zoomedMax);
    QTest::mouseClick(w->Chart()->viewport(), Qt::RightButton, {}, plot.center().toPoint());
    EXPECT_FALSE(w->Chart()->Zoomed());
    EXPECT_EQ(w->Chart()->XMin(), w->Record().SeriesAt(0).X.constFirst());
    EXPECT_GE(w->Chart()->XMax(), double(clock.toMSecsSinceEpoch()) + 10000);
    const QString saved = dir.filePath(QStringLiteral("last.csv"));
    QString answer = saved;
    w->AskFile = [&answer](bool) { return answer; };
    w->UpdateButtons();
    QTest::mouseClick(w->Button(QStringLiteral("Btn_Speichern")), Qt::LeftButton);
    const QStringList recorded = w->Record().Lines();
    QFile f(saved);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), (recorded.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    f.close();

    // A broken file is refused with a message; recording and record go on untouched.
    answer = dir.filePath(QStringLiteral("broken.csv"));
    {
        QFile b(answer);
        ASSERT_TRUE(b.open(QIODevice::WriteOnly));
        b.write("Datum/Uhrzeit;A\r\n10:00:00;zwölf\r\n");
    }
    QTest::mouseClick(w->Button(QStringLiteral("Btn_Laden")), Qt::LeftButton);
    ASSERT_EQ(sim.prompter.Errors.size(), 1);
    EXPECT_TRUE(sim.prompter.Errors.at(0).contains(QStringLiteral("broken.csv")));
    EXPECT_EQ(w->Record().Lines(), recorded);

    clock = clock.addSecs(1);
    w->Sample();
    answer = saved;
    QTest::mouseClick(w->Button(QStringLiteral("Btn_Laden")), Qt::LeftButton);
    EXPECT_FALSE(w->Recording()) << "loading stops the recording";
    EXPECT_EQ(w->Record().Lines(), recorded);
    EXPECT_TRUE(w->SeriesRows().isEmpty());
    EXPECT_EQ(w->Chart()->Line(0)->count(), 66);

    // "Start" after "Laden" takes the selection again before recording.
    w->StartStop();
    ASSERT_TRUE(w->Recording());
    EXPECT_EQ(w->SeriesRows().size(), 2);
    EXPECT_EQ(w->Record().Lines().size(), 1);
    EXPECT_EQ(w->Record().SeriesAt(0).X.size(), 0);
}

TEST_F(DiagrammUi, PrintWithoutPrinterWritesTheChartAsPdf)
{
    if (!QPrinterInfo::availablePrinters().isEmpty())
        GTEST_SKIP() << "a printer is installed: the print dialog would be real";
    QTemporaryDir dir;
    pick({0});
    w->Apply();
    clock = clock.addSecs(1);
    w->Sample();
    const QString pdf = dir.filePath(QStringLiteral("chart.pdf"));
    sim.prompter.Answers.push_back(true);
    DriveModal([pdf](QWidget *m) {
        auto *dialog = qobject_cast<QFileDialog *>(m);
        ASSERT_NE(dialog, nullptr);
        dialog->selectFile(pdf);
        static_cast<QDialog *>(dialog)->accept();
    });
    QTest::mouseClick(w->Button(QStringLiteral("Btn_Print")), Qt::LeftButton);
    EXPECT_EQ(sim.prompter.Questions, QStringList{GetText(798)});
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_GT(bytes.size(), 2000);
}
