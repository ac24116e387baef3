#include "monitor/ui/Nachrichten.h"
#include <QCloseEvent>
#include <QLabel>
#include <QScreen>
#include <QTableWidget>
#include <QTimer>

TNachrichten::TNachrichten(QWidget *parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("Nachrichten"));
    setWindowTitle(QStringLiteral("Nachrichten"));
    resize(584, 146);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Lb_Nachrichten"));
    m_label->setGeometry(8, 8, 569, 129);
    QFont f(QStringLiteral("Arial"));
    m_label->setFont(f);
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("TimerInt"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &TNachrichten::Tick);
}

bool TNachrichten::Following() const { return m_timer->isActive(); }

void TNachrichten::ShowFnummer(const QString &caption, const QStringList &lines)
{
    m_timer->stop();
    m_grid = nullptr;
    QString title = caption;
    setWindowTitle(title.remove(QLatin1Char('&')));
    resize(218, 223);
    m_label->clear();
    m_label->setStyleSheet(QString());
    QFont f(QStringLiteral("Arial"));
    f.setPointSize(12);
    m_label->setFont(f);
    m_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label->setText(lines.join(QLatin1Char('\n')));
    show();
    raise();
}

QString TNachrichten::RowText() const
{
    if (!m_grid || m_row < 0 || m_row >= m_grid->rowCount())
        return QString();
    auto cell = [&](int c) {
        const QTableWidgetItem *item = m_grid->item(m_row, c);
        return item ? item->text() : QString();
    };
    QString text = cell(0);
    if (m_grid->columnCount() == 3)
        text += QLatin1Char(' ') + cell(1);
    return text.trimmed();
}

void TNachrichten::ShowIstWert(QTableWidget *grid, int row)
{
    const qreal dpi = screen() ? screen()->logicalDotsPerInch() : 96.0;
    QFont f(QStringLiteral("Arial"));
    f.setBold(true);
    f.setPointSize(qMax(1, int(100.0 / (dpi / 96.0))));
    m_label->setFont(f);
    m_label->setStyleSheet(QStringLiteral("color: blue;"));
    m_label->setAlignment(Qt::AlignCenter);
    m_grid = grid;
    m_row = row;
    resize(584, 146);
    m_label->resize(569, 129);
    if (grid && row >= 0 && row < grid->rowCount()) {
        const int labelColumn = grid->columnCount() - 1;
        const QTableWidgetItem *caption = grid->item(row, labelColumn);
        if (caption)
            setWindowTitle(caption->text());
    }
    const QString text = RowText();
    if (text.isEmpty())
        return; // a blank row keeps the previous text and is not followed
    m_label->setText(text);
    m_timer->start();
}

void TNachrichten::Tick() { m_label->setText(RowText()); }

void TNachrichten::closeEvent(QCloseEvent *event)
{
    m_timer->stop();
    QWidget::closeEvent(event);
}

void TNachrichten::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_label->setGeometry(8, 8, qMax(0, width() - 16), qMax(0, height() - 16));
}
