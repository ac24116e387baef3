#include "monitor/ui/Diagramm.h"
#include "monitor/ValuePoller.h"
#include "monitor/ui/PrintOutput.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeAxis>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLegend>
#include <QLegendMarker>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

TTrendChart::TTrendChart(QWidget *parent) : QChartView(new QChart, parent)
{
    QChart *c = chart();
    c->setBackgroundBrush(Qt::white);
    c->setPlotAreaBackgroundBrush(Qt::white);
    c->setPlotAreaBackgroundVisible(true);
    // No animations: a sample a second would keep the chart moving all the time, and the
    // zoom is quicker to follow without them.
    c->setAnimationOptions(QChart::NoAnimation);
    c->legend()->setAlignment(Qt::AlignLeft);
    c->legend()->setMarkerShape(QLegend::MarkerShapeRectangle);
    c->legend()->setBorderColor(Qt::transparent);
    m_x = new QDateTimeAxis;
    m_x->setFormat(QStringLiteral("hh:mm:ss"));
    m_x->setTickCount(7);
    m_y = new QValueAxis;
    c->addAxis(m_x, Qt::AlignBottom);
    c->addAxis(m_y, Qt::AlignLeft);
    const QDateTime now = QDateTime::currentDateTime();
    m_x->setRange(now, now.addSecs(60));
    setRenderHint(QPainter::Antialiasing, false);
    setRubberBand(QChartView::RectangleRubberBand);
    // A zoom shows another stretch of the record: decimate for it.
    connect(m_x, &QDateTimeAxis::rangeChanged, this, [this] {
        if (!m_redrawing)
            QMetaObject::invokeMethod(this, &TTrendChart::Redraw, Qt::QueuedConnection);
    });
}

void TTrendChart::SetRecord(const Trend::Record *record)
{
    m_record = record;
    const int n = record ? record->SeriesCount() : 0;
    bool same = n == m_lines.size();
    for (int k = 0; same && k < n; ++k)
        same = m_lines[k]->name() == record->SeriesAt(k).Title;
    if (!same) {
        chart()->removeAllSeries();
        m_lines.clear();
        for (int k = 0; k < n; ++k) {
            auto *line = new QLineSeries;
            line->setName(record->SeriesAt(k).Title);
            QPen pen = line->pen();
            pen.setWidth(Trend::PenWidth);
            line->setPen(pen);
            chart()->addSeries(line);
            line->attachAxis(m_x);
            line->attachAxis(m_y);
            m_lines.append(line);
        }
        chart()->legend()->setMarkerShape(QLegend::MarkerShapeRectangle);
    }
    Redraw();
}

void TTrendChart::Redraw()
{
    if (!m_record)
        return;
    m_redrawing = true;
    const double x0 = XMin(), x1 = XMax();
    // With a pen two pixels wide, a pair of pixel columns is the finest detail a line shows.
    const int columns = std::max(1, int(chart()->plotArea().width()) / Trend::PenWidth);
    double lo = std::numeric_limits<double>::infinity(), hi = -lo;
    for (int k = 0; k < m_lines.size() && k < m_record->SeriesCount(); ++k) {
        const QVector<QPointF> points = Trend::Decimate(m_record->SeriesAt(k), x0, x1, columns);
        for (const QPointF &p : points)
            if (p.x() >= x0 && p.x() <= x1) {
                lo = std::min(lo, p.y());
                hi = std::max(hi, p.y());
            }
        m_lines[k]->replace(points);
    }
    // While zoomed the Y range is the user's choice.
    if (!Zoomed()) {
        if (!std::isfinite(lo)) {
            lo = 0;
            hi = 1;
        }
        if (m_yLo)
            lo = *m_yLo;
        if (m_yHi)
            hi = *m_yHi;
        if (hi <= lo) {
            const double pad = std::max(1.0, std::abs(lo) * 0.05);
            lo -= pad;
            hi += pad;
        } else {
            const double pad = (hi - lo) * 0.05;
            lo -= m_yLo ? 0 : pad;
            hi += m_yHi ? 0 : pad;
        }
        m_y->setRange(lo, hi);
    }
    m_redrawing = false;
}

void TTrendChart::SetXRange(double lo, double hi)
{
    m_redrawing = true;
    m_x->setRange(QDateTime::fromMSecsSinceEpoch(qint64(lo)), QDateTime::fromMSecsSinceEpoch(qint64(hi)));
    m_redrawing = false;
}

double TTrendChart::XMin() const { return double(m_x->min().toMSecsSinceEpoch()); }
double TTrendChart::XMax() const { return double(m_x->max().toMSecsSinceEpoch()); }
bool TTrendChart::Zoomed() const { return chart()->isZoomed(); }

void TTrendChart::UndoZoom()
{
    chart()->zoomReset();
    double lo = 0, hi = 0;
    if (!Zoomed() && m_record && m_record->XRange(lo, hi)) {
        const Trend::Range r = Trend::UndoZoomRange({XMin(), XMax()}, lo, hi);
        SetXRange(r.Min, r.Max);
    }
    Redraw();
}

void TTrendChart::SetYLimits(std::optional<double> lo, std::optional<double> hi)
{
    m_yLo = lo;
    m_yHi = hi;
    Redraw();
}

void TTrendChart::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        UndoZoom();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void TTrendChart::resizeEvent(QResizeEvent *event)
{
    QChartView::resizeEvent(event);
    Redraw();
}

namespace {
const int kMinutes[] = {0, 1, 2, 3, 4, 5, 10, 15, 20, 30, 40, 50};

QComboBox *HoursBox(QWidget *parent, const char *name, int preset)
{
    auto *b = new QComboBox(parent);
    b->setObjectName(QLatin1String(name));
    for (int h = 0; h <= 23; ++h)
        b->addItem(QString::number(h), h);
    b->setCurrentIndex(preset);
    return b;
}

QComboBox *MinutesBox(QWidget *parent, const char *name, int preset)
{
    auto *b = new QComboBox(parent);
    b->setObjectName(QLatin1String(name));
    for (int m : kMinutes)
        b->addItem(QString::number(m), m);
    b->setCurrentIndex(b->findData(preset));
    return b;
}

int Seconds(const QComboBox *hours, const QComboBox *minutes)
{
    return hours->currentData().toInt() * 3600 + minutes->currentData().toInt() * 60;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    return b;
}
} // namespace

TDiagramm::TDiagramm(QWidget *parent, MainController &main, QTableWidget *grid, Prompter &prompter,
                     DialogPrompter *dialogs)
    : QWidget(parent, Qt::Window), m_main(main), m_grid(grid), m_prompter(prompter), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Diagramm"));
    setWindowTitle(QStringLiteral("Diagramm"));
    setMinimumSize(680, 520);
    m_tabs = new QTabWidget(this);
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_tabs);

    auto *trend = new QWidget;
    trend->setObjectName(QStringLiteral("TabSheet1"));
    auto *tl = new QVBoxLayout(trend);
    auto *top = new QHBoxLayout;
    m_start = MakeButton(trend, "Btn_Start", GetText(315));
    m_auswahl = MakeButton(trend, "Btn_Auswahl", QStringLiteral("Auswahl"));
    m_save = MakeButton(trend, "Btn_Speichern", QStringLiteral("Speichern"));
    m_load = MakeButton(trend, "Btn_Laden", QStringLiteral("Laden"));
    m_printButton = MakeButton(trend, "Btn_Print", QStringLiteral("Drucken"));
    m_xAuto = new QCheckBox(QStringLiteral("X Autoscroll"), trend);
    m_xAuto->setObjectName(QStringLiteral("Cb_X_Auto"));
    m_xAuto->setChecked(true);
    for (QWidget *w : {static_cast<QWidget *>(m_start), static_cast<QWidget *>(m_auswahl),
                       static_cast<QWidget *>(m_save), static_cast<QWidget *>(m_load),
                       static_cast<QWidget *>(m_printButton), static_cast<QWidget *>(m_xAuto)})
        top->addWidget(w);
    top->addStretch();
    tl->addLayout(top);
    m_chart = new TTrendChart(trend);
    m_chart->setObjectName(QStringLiteral("Chart1"));
    tl->addWidget(m_chart, 1);
    m_tabs->addTab(trend, QStringLiteral("Trend"));
    m_start->setEnabled(false);
    m_auswahl->setEnabled(false);
    m_save->setEnabled(false);

    auto *settings = new QWidget;
    settings->setObjectName(QStringLiteral("TabSheet2"));
    auto *sl = new QHBoxLayout(settings);
    m_list = new QListWidget(settings);
    m_list->setObjectName(QStringLiteral("Clb_Auswahl"));
    sl->addWidget(m_list, 1);
    auto *right = new QVBoxLayout;
    auto *display = new QGroupBox(QStringLiteral("Anzeigebereich"), settings);
    display->setObjectName(QStringLiteral("GroupBox1"));
    auto *dl = new QHBoxLayout(display);
    m_aHours = HoursBox(display, "Cob_AStunden", 0);
    m_aMinutes = MinutesBox(display, "Cob_AMinuten", 1);
    dl->addWidget(m_aHours);
    dl->addWidget(m_aMinutes);
    auto *memory = new QGroupBox(QStringLiteral(" Aufzeichnungsspeicher"), settings);
    memory->setObjectName(QStringLiteral("GroupBox2"));
    auto *ml = new QGridLayout(memory);
    m_rHours = HoursBox(memory, "Cob_Stunden", 1);
    m_rMinutes = MinutesBox(memory, "Cob_Minuten", 0);
    m_limit = new QCheckBox(QStringLiteral("Aufzeichnungsspeicher begrenzen"), memory);
    m_limit->setObjectName(QStringLiteral("Cb_Dauer"));
    ml->addWidget(m_rHours, 0, 0);
    ml->addWidget(m_rMinutes, 0, 1);
    ml->addWidget(m_limit, 1, 0, 1, 2);
    auto *yAxis = new QGroupBox(QStringLiteral("Y Achse"), settings);
    yAxis->setObjectName(QStringLiteral("GroupBox3"));
    auto *yl = new QGridLayout(yAxis);
    m_yAutoMax = new QCheckBox(QStringLiteral("Auto Maximum"), yAxis);
    m_yAutoMax->setObjectName(QStringLiteral("CB_Y_AutoMax"));
    m_yAutoMin = new QCheckBox(QStringLiteral("Auto Minimum"), yAxis);
    m_yAutoMin->setObjectName(QStringLiteral("CB_Y_AutoMin"));
    m_yMin = new QLineEdit(QStringLiteral("0"), yAxis);
    m_yMin->setObjectName(QStringLiteral("E_Y_Min"));
    m_yMax = new QLineEdit(QStringLiteral("100"), yAxis);
    m_yMax->setObjectName(QStringLiteral("E_Y_Max"));
    for (QCheckBox *c : {m_yAutoMax, m_yAutoMin})
        c->setChecked(true);
    m_yMin->setEnabled(false);
    m_yMax->setEnabled(false);
    yl->addWidget(m_yAutoMax, 0, 0);
    yl->addWidget(m_yMax, 0, 1);
    yl->addWidget(m_yAutoMin, 1, 0);
    yl->addWidget(m_yMin, 1, 1);
    m_apply = MakeButton(settings, "Button1", QStringLiteral("Übernehmen"));
    right->addWidget(display);
    right->addWidget(memory);
    right->addWidget(yAxis);
    right->addStretch();
    right->addWidget(m_apply);
    sl->addLayout(right);
    m_tabs->addTab(settings, QStringLiteral("Einstellungen"));

    // The "Y Achse" group is honoured: a fixed end holds while its "Auto" box is cleared.
    connect(m_yAutoMax, &QCheckBox::toggled, this, [this](bool on) {
        m_yMax->setEnabled(!on);
        applyYLimits();
    });
    connect(m_yAutoMin, &QCheckBox::toggled, this, [this](bool on) {
        m_yMin->setEnabled(!on);
        applyYLimits();
    });
    connect(m_yMin, &QLineEdit::editingFinished, this, &TDiagramm::applyYLimits);
    connect(m_yMax, &QLineEdit::editingFinished, this, &TDiagramm::applyYLimits);

    connect(m_start, &QPushButton::clicked, this, &TDiagramm::StartStop);
    connect(m_auswahl, &QPushButton::clicked, this, [this] { m_tabs->setCurrentIndex(1); });
    connect(m_apply, &QPushButton::clicked, this, &TDiagramm::Apply);
    connect(m_save, &QPushButton::clicked, this, [this] {
        const QString path = askFile(true);
        if (!path.isEmpty())
            SaveTo(path);
    });
    connect(m_load, &QPushButton::clicked, this, [this] {
        const QString path = askFile(false);
        if (!path.isEmpty())
            LoadFrom(path);
    });
    connect(m_printButton, &QPushButton::clicked, this, &TDiagramm::PrintChart);
    // Printing asks for names through the main window's dialogs; without them there is no printing.
    m_printButton->setEnabled(m_dialogs != nullptr);
    connect(&m_sampling, &QTimer::timeout, this, &TDiagramm::Sample);
    m_buttons.setInterval(1000);
    connect(&m_buttons, &QTimer::timeout, this, &TDiagramm::UpdateButtons);
    m_chart->SetRecord(&m_record);
}

TDiagramm::~TDiagramm() = default;

void TDiagramm::FollowPage(ValuePoller &poller)
{
    // Rows of another page would be sampled under the old titles: the series lose their
    // rows, so a new start takes the selection of the new page.
    auto leave = [this] {
        Stop();
        m_seriesRows.clear();
        close();
    };
    connect(&poller, &ValuePoller::PageSelected, this, leave);
    connect(&poller, &ValuePoller::PageClosed, this, leave);
}

QPushButton *TDiagramm::Button(const QString &name) const { return findChild<QPushButton *>(name); }
QComboBox *TDiagramm::Combo(const QString &name) const { return findChild<QComboBox *>(name); }
QCheckBox *TDiagramm::Check(const QString &name) const { return findChild<QCheckBox *>(name); }

void TDiagramm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_buttons.start();
    m_tabs->setCurrentIndex(0);
    RebuildSelection();
    UpdateButtons();
}

void TDiagramm::closeEvent(QCloseEvent *event)
{
    m_buttons.stop();
    Stop();
    QWidget::closeEvent(event);
}

void TDiagramm::RebuildSelection()
{
    m_selectable.clear();
    m_list->clear();
    if (!m_grid)
        return;
    const int last = m_grid->columnCount() - 1;
    for (int r = 0; r < m_grid->rowCount(); ++r) {
        const QTableWidgetItem *value = m_grid->item(r, 0);
        if (!value || value->text().trimmed().isEmpty())
            continue;
        const QTableWidgetItem *label = m_grid->item(r, last);
        QString text = label ? label->text() : QString();
        if (text.startsWith(QLatin1Char('-')))
            text.remove(0, 1);
        if (text.startsWith(QLatin1Char(' ')))
            text.remove(0, 1);
        auto *item = new QListWidgetItem(text, m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        m_selectable.append(r);
    }
}

void TDiagramm::UpdateButtons()
{
    if (!m_main.ParamsLoaded) {
        m_start->setEnabled(false);
        m_auswahl->setEnabled(false);
        m_save->setEnabled(false);
        return;
    }
    const bool gridShown = m_grid && m_grid->isVisible();
    bool checked = false;
    for (int i = 0; i < m_list->count() && !checked; ++i)
        checked = m_list->item(i)->checkState() == Qt::Checked;
    m_auswahl->setEnabled(gridShown);
    m_start->setEnabled(gridShown && checked);
    m_save->setEnabled(gridShown && checked);
}

void TDiagramm::Apply()
{
    // A running recording would go on with rows that no longer match the series.
    Stop();
    QStringList titles;
    m_seriesRows.clear();
    for (int i = 0; i < m_list->count(); ++i)
        if (m_list->item(i)->checkState() == Qt::Checked) {
            titles << m_list->item(i)->text();
            m_seriesRows << m_selectable.value(i, -1);
        }
    m_record.Reset(titles);
    m_chart->SetRecord(&m_record);
    m_tabs->setCurrentIndex(0);
    if (!m_seriesRows.isEmpty())
        StartStop();
}

void TDiagramm::Stop()
{
    m_sampling.stop();
    m_start->setText(GetText(315));
}

void TDiagramm::StartStop()
{
    if (Recording()) {
        Stop();
        return;
    }
    // Loaded series, or series of a page left since, have no rows to sample: a start takes
    // the current selection as "Übernehmen" does.
    if (m_seriesRows.isEmpty() || m_seriesRows.size() != m_record.SeriesCount()) {
        bool any = false;
        for (int i = 0; i < m_list->count() && !any; ++i)
            any = m_list->item(i)->checkState() == Qt::Checked;
        if (any)
            Apply();
        return;
    }
    m_sampling.setInterval(m_main.ModemOnline ? ValuePoller::ModemIntervalMs : ValuePoller::IntervalMs);
    m_displaySecs = Seconds(m_aHours, m_aMinutes);
    m_recordSecs = Seconds(m_rHours, m_rMinutes);
    const QDateTime now = current();
    if (m_displaySecs != 0) {
        m_sampling.start();
        m_start->setText(GetText(316));
        m_record.ClearLines();
        if (m_limit->isChecked())
            m_record.Reserve(int(qint64(m_recordSecs) * 1000 / m_sampling.interval()));
        m_startTime = now;
    } else {
        m_prompter.information(GetText(796));
    }
    // A recording length of 0 sets no limit; the axis then spans the display range.
    const int span = m_recordSecs > 0 ? m_recordSecs : std::max(m_displaySecs, 60);
    const double t = double(now.toMSecsSinceEpoch());
    m_chart->SetXRange(t, t + span * 1000.0);
    m_chart->Redraw();
}

void TDiagramm::Sample()
{
    const QDateTime now = current();
    const double t = double(now.toMSecsSinceEpoch());
    // While zoomed the user looks at a stretch of their choice: no scrolling away from it.
    if (m_xAuto->isChecked() && !m_chart->Zoomed() && t > m_chart->XMax())
        m_chart->SetXRange(t - m_displaySecs * 1000.0, t);
    QStringList texts;
    for (int row : m_seriesRows) {
        const QTableWidgetItem *cell = m_grid && row >= 0 && row < m_grid->rowCount() ? m_grid->item(row, 0) : nullptr;
        texts << (cell ? cell->text() : QString());
    }
    m_record.Append(now, texts);
    m_chart->Redraw();
    if (m_limit->isChecked() && Trend::LimitReached(m_startTime, now, m_recordSecs)) {
        Stop();
    } else if (m_record.Full()) {
        Stop();
        m_prompter.information(GetText(797).arg(Trend::MaxSamples));
    }
}

QString TDiagramm::askFile(bool save)
{
    if (AskFile)
        return AskFile(save);
    const QString filter = QStringLiteral("Comma Seperated Values (*.csv)");
    QFileDialog dialog(this, QString(), m_main.DialogFolder(), filter);
    dialog.setObjectName(QLatin1String(save ? "SaveDialog1" : "OpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString path = dialog.selectedFiles().constFirst();
    m_main.RememberFileFolder(path);
    return path;
}

bool TDiagramm::SaveTo(const QString &path)
{
    QString error;
    if (m_record.Save(path, &error))
        return true;
    m_prompter.error(error);
    return false;
}

bool TDiagramm::LoadFrom(const QString &path)
{
    Stop();
    QString error;
    // Read into a record of its own: a refused file leaves the shown one as it was.
    if (!m_record.Load(path, QDate::currentDate(), &error)) {
        m_prompter.error(error);
        return false;
    }
    m_seriesRows.clear();
    m_chart->SetRecord(&m_record);
    double lo = 0, hi = 0;
    if (m_record.XRange(lo, hi)) {
        const Trend::Range r = Trend::UndoZoomRange({lo, lo}, lo, hi);
        m_chart->SetXRange(r.Min, r.Max);
    }
    m_chart->Redraw();
    return true;
}

void TDiagramm::PrintChart()
{
    if (!m_dialogs)
        return;
    if (!m_print)
        m_print = std::make_unique<TPrintOutput>(this, m_main, m_prompter, *m_dialogs);
    m_print->RunPicture(windowTitle(), [this](QPainter &painter, const QRectF &page) {
        const double mx = page.width() * 0.05, my = page.height() * 0.05;
        m_chart->render(&painter, page.adjusted(mx, my, -mx, -my), QRect(), Qt::KeepAspectRatio);
    });
}

void TDiagramm::applyYLimits()
{
    std::optional<double> lo, hi;
    if (!m_yAutoMin->isChecked())
        lo = Trend::ParseValue(m_yMin->text());
    if (!m_yAutoMax->isChecked())
        hi = Trend::ParseValue(m_yMax->text());
    m_chart->SetYLimits(lo, hi);
}
