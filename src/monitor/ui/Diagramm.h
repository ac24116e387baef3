#pragma once
#include "monitor/TrendRecord.h"
#include <QChartView>
#include <QDateTime>
#include <QPointer>
#include <QTimer>
#include <QVector>
#include <QWidget>
#include <functional>
#include <memory>

class DialogPrompter;
class MainController;
class Prompter;
class QCheckBox;
class QComboBox;
class QDateTimeAxis;
class QLineEdit;
class QLineSeries;
class QListWidget;
class QPainter;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QValueAxis;
class TPrintOutput;
class ValuePoller;

// The chart of a trend record. It keeps no points of its own: each redraw gives every line
// the decimated view of its series over the bottom axis, so a day of samples draws as
// fast as a minute. Rubber-band zoom with the left button, the right button undoes it.
class TTrendChart : public QChartView
{
    Q_OBJECT
public:
    explicit TTrendChart(QWidget *parent = nullptr);

    // The lines follow the record's series (made again when their number or titles change).
    void SetRecord(const Trend::Record *record);
    void Redraw();
    // Bottom axis in milliseconds since the epoch.
    void SetXRange(double lo, double hi);
    double XMin() const;
    double XMax() const;
    bool Zoomed() const;
    // Undo of a zoom: back to the range before it, widened to show every point.
    void UndoZoom();
    // Y axis: automatic at either end unless a fixed value is set.
    void SetYLimits(std::optional<double> lo, std::optional<double> hi);
    QLineSeries *Line(int k) const { return m_lines.value(k); }
    int LineCount() const { return int(m_lines.size()); }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    const Trend::Record *m_record = nullptr;
    QVector<QLineSeries *> m_lines;
    QDateTimeAxis *m_x = nullptr;
    QValueAxis *m_y = nullptr;
    std::optional<double> m_yLo, m_yHi;
    bool m_redrawing = false;
};

// "Diagramm": plots chosen rows of the actual-value page over time from the texts of its
// grid, records them in a semicolon record and saves, loads and prints it. It sends no
// telegrams; a page change or close of the actual values stops and closes it.
class TDiagramm : public QWidget
{
    Q_OBJECT
public:
    TDiagramm(QWidget *parent, MainController &main, QTableWidget *grid, Prompter &prompter,
              DialogPrompter *dialogs = nullptr);
    ~TDiagramm() override;

    // Follows the page of this poller: any page change or close stops and closes the window.
    void FollowPage(ValuePoller &poller);

    // File dialogs ("Speichern" true, "Laden" false); an empty answer cancels. Unset: the
    // program's dialogs.
    std::function<QString(bool save)> AskFile;
    // The clock of the samples (tests move it).
    std::function<QDateTime()> Now;

    // The buttons.
    void Apply();        // "Übernehmen"
    void StartStop();    // "Start"/"Stop"
    void Stop();
    bool SaveTo(const QString &path);
    bool LoadFrom(const QString &path);
    void PrintChart();
    // One sampling tick and one button-enabling tick.
    void Sample();
    void UpdateButtons();
    void RebuildSelection();

    bool Recording() const { return m_sampling.isActive(); }
    const Trend::Record &Record() const { return m_record; }
    const QVector<int> &SelectableRows() const { return m_selectable; }
    const QVector<int> &SeriesRows() const { return m_seriesRows; }
    int SampleInterval() const { return m_sampling.interval(); }
    // Recording length and display range in seconds, as taken at the last start.
    int RecordingSeconds() const { return m_recordSecs; }
    int DisplaySeconds() const { return m_displaySecs; }

    TTrendChart *Chart() const { return m_chart; }
    QTabWidget *Tabs() const { return m_tabs; }
    QListWidget *Selection() const { return m_list; }
    QPushButton *Button(const QString &name) const;
    QComboBox *Combo(const QString &name) const;
    QCheckBox *Check(const QString &name) const;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    QDateTime current() const { return Now ? Now() : QDateTime::currentDateTime(); }
    void applyYLimits();
    QString askFile(bool save);

    MainController &m_main;
    QPointer<QTableWidget> m_grid;
    Prompter &m_prompter;
    DialogPrompter *m_dialogs;
    std::unique_ptr<TPrintOutput> m_print;

    QTabWidget *m_tabs = nullptr;
    TTrendChart *m_chart = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_auswahl = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_load = nullptr;
    QPushButton *m_printButton = nullptr;
    QCheckBox *m_xAuto = nullptr;
    QListWidget *m_list = nullptr;
    QComboBox *m_aHours = nullptr, *m_aMinutes = nullptr, *m_rHours = nullptr, *m_rMinutes = nullptr;
    QCheckBox *m_limit = nullptr;
    QCheckBox *m_yAutoMax = nullptr, *m_yAutoMin = nullptr;
    QLineEdit *m_yMin = nullptr, *m_yMax = nullptr;
    QPushButton *m_apply = nullptr;
    QTimer m_sampling; // Timer_Daten
    QTimer m_buttons;  // Timer1

    QVector<int> m_selectable;
    QVector<int> m_seriesRows;
    int m_recordSecs = 3600;
    int m_displaySecs = 60;
    QDateTime m_startTime;
    Trend::Record m_record;
};
