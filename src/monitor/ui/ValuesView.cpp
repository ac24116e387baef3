#include "monitor/ui/ValuesView.h"
#include "monitor/ValuePoller.h"
#include "monitor/ui/Nachrichten.h"
#include "shell/Texts.h"
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>

TValuesView::TValuesView(ValuePoller &poller, QTableWidget *grid, QLabel *title, QToolButton *close,
                         QPushButton *acknowledge, QObject *parent)
    : QObject(parent), m_poller(poller), m_grid(grid), m_title(title), m_close(close), m_ack(acknowledge)
{
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(&m_poller, &ValuePoller::PageSelected, this, [this] {
        CloseRowWindows();
        m_freshPage = true;
    });
    connect(&m_poller, &ValuePoller::PageBuilt, this, &TValuesView::Fill);
    connect(&m_poller, &ValuePoller::PageClosed, this, &TValuesView::Hide);
    connect(&m_poller, &ValuePoller::AcknowledgeVisibilityChanged, m_ack, &QWidget::setVisible);
    connect(&m_poller, &ValuePoller::StaleChanged, this, [this](bool stale, const QDateTime &lastGood) {
        // Old values stay readable but greyed, with the time they are from.
        m_grid->setStyleSheet(stale ? QStringLiteral("QTableWidget { color: gray; }") : QString());
        if (ShowStatus)
            ShowStatus(stale ? GetText(550).arg(lastGood.isValid() ? lastGood.time().toString(QStringLiteral("HH:mm:ss"))
                                                                    : QStringLiteral("--:--:--"))
                             : QString());
    });
    connect(m_ack, &QPushButton::clicked, this, [this] { m_poller.RemoteAcknowledge(); });
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { OpenRow(row); });
}

TValuesView::~TValuesView() { CloseRowWindows(); }

void TValuesView::Choose(const QString &code, const QString &caption)
{
    QString title = caption;
    m_title->setText(title.remove(QLatin1Char('&')));
    m_poller.ChoosePage(code);
}

void TValuesView::Fill()
{
    const BuiltPage &p = m_poller.Page();
    m_grid->show();
    m_title->show();
    m_close->show();
    m_grid->clearContents();
    m_grid->setColumnCount(p.Columns);
    m_grid->setRowCount(int(p.Cells.size()));
    for (int r = 0; r < p.Cells.size(); ++r)
        for (int c = 0; c < p.Columns; ++c)
            m_grid->setItem(r, c, new QTableWidgetItem(p.Cells[r].value(c)));
    // The value and unit columns grow to their widest text (a long counter must not end in
    // "..."), and never shrink while the page shows, so a value that loses a digit does not
    // make the grid jump. The text column takes the rest.
    const QVector<int> widths = PageColumnWidths(p.Columns);
    const QFontMetrics metrics(m_grid->font());
    for (int c = 0; c < widths.size(); ++c) {
        int width = widths[c];
        if (c < p.Columns - 1) {
            for (const QStringList &row : p.Cells)
                width = qMax(width, metrics.horizontalAdvance(row.value(c)) + 2 * kCellPadding);
            if (!m_freshPage)
                width = qMax(width, m_grid->columnWidth(c));
        }
        m_grid->setColumnWidth(c, width);
    }
    m_freshPage = false;
    if (m_rows.size() != p.Cells.size()) {
        CloseRowWindows();
        m_rows.resize(p.Cells.size());
    }
    if (ValuesPresent)
        ValuesPresent(p.ValuesPresent);
}

void TValuesView::OpenRow(int row)
{
    if (row < 0 || row >= m_grid->rowCount())
        return;
    if (m_rows.size() < m_grid->rowCount())
        m_rows.resize(m_grid->rowCount());
    // Made when first needed, so every row has its window whenever it is double-clicked.
    if (!m_rows[row]) {
        auto *w = new TNachrichten(m_grid->window());
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        m_rows[row] = w;
    }
    m_rows[row]->show();
    m_rows[row]->ShowIstWert(m_grid, row);
}

TNachrichten *TValuesView::RowWindow(int row) const { return m_rows.value(row); }

void TValuesView::CloseRowWindows()
{
    for (QPointer<TNachrichten> &w : m_rows)
        if (w) {
            w->close();
            w->deleteLater();
        }
    m_rows.clear();
}

void TValuesView::Hide()
{
    CloseRowWindows();
    m_grid->hide();
    m_grid->setStyleSheet(QString());
    m_grid->setRowCount(0);
    m_title->hide();
    m_close->hide();
    m_ack->hide();
    if (ShowStatus)
        ShowStatus(QString());
    if (ValuesPresent)
        ValuesPresent(false);
}
