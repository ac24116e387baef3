#include "link/ui/FormLWL.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/GuiPrompter.h"
#include <QTextOption>
#include <QAction>
#include <QEvent>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

TFmLWL::TFmLWL(MainController &main, QWidget *parent, Prompter *prompter)
    : QWidget(parent, Qt::Window), m_main(main)
{
    setObjectName(QStringLiteral("FmLWL"));
    setWindowTitle(QStringLiteral("Schnittstelle"));

    m_stop = new QToolButton(this);
    m_stop->setObjectName(QStringLiteral("SB_Stop"));
    m_stop->setText(QStringLiteral("Stop"));
    m_stop->setCheckable(true);
    m_stop->setToolTip(QStringLiteral("Protokoll anhalten"));

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo_Log"));
    m_memo->setReadOnly(true);
    m_memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A memo with a vertical scroll bar only: long answer lines wrap.
    m_memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_memo->setWordWrapMode(QTextOption::WrapAnywhere);
    m_memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_memo->setContextMenuPolicy(Qt::CustomContextMenu);
    m_memo->viewport()->installEventFilter(this);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_memo->setFont(mono);

    // Kept for the port choice; never shown.
    m_ports = new QListWidget(this);
    m_ports->setObjectName(QStringLiteral("LB_Ports"));
    m_ports->hide();

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("PopupMenu1"));
    m_send = m_popup->addAction(QStringLiteral("Send Telegram activities"));
    m_send->setObjectName(QStringLiteral("SendTelegramActivities"));
    m_recv = m_popup->addAction(QStringLiteral("Recv Telegram activities"));
    m_recv->setObjectName(QStringLiteral("RecvTelegramActivities"));
    m_timestamp = m_popup->addAction(QStringLiteral("Timestamp"));
    m_timestamp->setObjectName(QStringLiteral("Timestamp"));
    for (QAction *a : {m_send, m_recv, m_timestamp})
        a->setCheckable(true);
    // Both telegram directions are logged until the user switches one off.
    m_send->setChecked(true);
    m_recv->setChecked(true);
    m_popup->addSeparator();
    m_copy = m_popup->addAction(QStringLiteral("&Kopieren"));
    m_copy->setObjectName(QStringLiteral("Kopieren"));
    m_copy->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    m_selectAll = m_popup->addAction(QStringLiteral("Alles &markieren"));
    m_selectAll->setObjectName(QStringLiteral("AllesMarkieren"));
    m_selectAll->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_A));
    connect(m_copy, &QAction::triggered, m_memo, &QPlainTextEdit::copy);
    connect(m_selectAll, &QAction::triggered, m_memo, &QPlainTextEdit::selectAll);
    connect(m_memo, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_popup->popup(m_memo->viewport()->mapToGlobal(pos)); });

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(m_stop);
    top->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    layout->addLayout(top);
    layout->addWidget(m_memo, 1);
    resize(640, 420);

    if (prompter) {
        m_prompter = prompter;
    } else {
        m_ownPrompter = std::make_unique<GuiPrompter>(parent);
        m_prompter = m_ownPrompter.get();
    }

    connect(&m_main, &MainController::LogLine, this, &TFmLWL::AddLog);

    for (const PortChoice &choice : ListPortChoices())
        m_ports->addItem(choice.Label());

    m_thread = std::make_unique<TTeleThread>();
    m_thread->SetPrompter(m_prompter);
    // OnLog and OnDone come from the worker: lines are queued to this thread, the
    // counters travel as signals (queued across threads).
    m_thread->OnLog = [this](const QString &kind, const QString &text) {
        QMetaObject::invokeMethod(this, [this, kind, text] { AddLog(kind, text); }, Qt::QueuedConnection);
    };
    m_thread->OnPush = [this] { emit Pushed(); };
    m_thread->OnDone = [this](quint8 result) { emit Done(result); };
    m_main.SetThread(m_thread.get());
    SetHandshake(m_main.Settings.Handshake);
    // Why the line is not usable goes to the status bar, where it stays in view.
    m_thread->OnPortProblem = [this](const QString &problem) {
        QString text = problem;
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        QMetaObject::invokeMethod(this, [this, text] { emit m_main.StatusText(4, text); }, Qt::QueuedConnection);
    };
    // The saved port failing at the start (the default first serial port on a machine
    // without one, an adapter not plugged in) is no error worth a box at every start: the
    // status bar says why, and the first request or choosing the port tries it again.
    m_thread->SetPort(m_main.Init.PortName, m_main.Init.BaudText, false);
}

TFmLWL::~TFmLWL()
{
    if (m_main.Thread() == m_thread.get())
        m_main.SetThread(nullptr);
    // Ends the worker while this window still exists: its last lines and reports are
    // served during the wait.
    m_thread.reset();
}

int TFmLWL::MillisecondOfMinute(const QTime &time) { return time.second() * 1000 + time.msec(); }

bool TFmLWL::KindShown(const QString &kind) const
{
    // The popup's two check entries switch the queueing lines ("S") and the answer lines
    // ("E", "Ex") on and off; every other kind is always shown.
    if (kind == QLatin1String("S"))
        return m_send->isChecked();
    if (kind == QLatin1String("E") || kind == QLatin1String("Ex"))
        return m_recv->isChecked();
    return true;
}

void TFmLWL::AddLog(const QString &kind, const QString &text)
{
    if (LogLineCount() > MaxLogLines)
        m_memo->clear();
    if (m_stop->isChecked() || !KindShown(kind))
        return;
    QString line = kind + QLatin1Char(' ') + text;
    if (m_timestamp->isChecked())
        line = QString::number(MillisecondOfMinute(QTime::currentTime())) + QLatin1Char(' ') + line;
    // A text with line breaks stays one line of the log.
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    m_memo->appendPlainText(line);
}

int TFmLWL::LogLineCount() const
{
    const QTextDocument *doc = m_memo->document();
    return doc->isEmpty() ? 0 : doc->blockCount();
}

QStringList TFmLWL::LogLines() const
{
    QStringList lines;
    if (LogLineCount() == 0)
        return lines;
    for (QTextBlock b = m_memo->document()->begin(); b.isValid(); b = b.next())
        lines << b.text();
    return lines;
}

void TFmLWL::ClearLog() { m_memo->clear(); }

bool TFmLWL::Stopped() const { return m_stop->isChecked(); }
void TFmLWL::SetStopped(bool stopped) { m_stop->setChecked(stopped); }
bool TFmLWL::TimestampOn() const { return m_timestamp->isChecked(); }
void TFmLWL::SetTimestamp(bool on) { m_timestamp->setChecked(on); }

bool TFmLWL::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_memo->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        ClearLog();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
