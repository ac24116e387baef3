#include "link/ui/FormModemVB.h"
#include "link/ModemSession.h"
#include "link/Protocol.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include "services/ui/FormIdentNummer.h"
#include "shell/ui/FormMain.h"
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const char *const kMoneyGreen = "#C0DCC0";
const char *const kSilver = "#C0C0C0";
const char *const kLime = "#00FF00";
const char *const kGreen = "#008000";
const char *const kYellow = "#FFFF00";

void Paint(QWidget *w, const char *colour, bool grey = false)
{
    w->setStyleSheet(QStringLiteral("background-color: %1;%2")
                         .arg(QLatin1String(colour), grey ? QStringLiteral(" color: gray;") : QString()));
}
} // namespace

TFormModemVB::TFormModemVB(MainController &main, ModemSession &session, QWidget *parent)
    : QDialog(parent), m_main(main), m_session(session)
{
    setObjectName(QStringLiteral("FormModemVB"));
    setWindowTitle(QStringLiteral("Modemverbindung"));
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    m_menu = new QMenuBar(this);
    layout->setMenuBar(m_menu);
    QAction *port = m_menu->addAction(QStringLiteral("COM Port"));
    port->setObjectName(QStringLiteral("AcSelectCOM"));
    connect(port, &QAction::triggered, this, [this] {
        if (SelectPort)
            SelectPort();
        ShowStatus();
    });
    QMenu *baud = m_menu->addMenu(QStringLiteral("Baud Rate"));
    baud->setObjectName(QStringLiteral("MenuBaud"));
    for (const char *b : {"2400", "9600"}) {
        QAction *a = baud->addAction(QLatin1String(b));
        a->setObjectName(QStringLiteral("Baud") + QLatin1String(b));
        connect(a, &QAction::triggered, this, [this, b] { SetBaud(QLatin1String(b)); });
    }
    QMenu *proto = m_menu->addMenu(QStringLiteral("Protokoll"));
    proto->setObjectName(QStringLiteral("MenuProtokoll"));
    for (int entry = 1; entry <= 5; ++entry) {
        QAction *a = proto->addAction(Protocol(entry)->Caption);
        a->setObjectName(QStringLiteral("Protokoll%1").arg(entry));
        connect(a, &QAction::triggered, this, [this, entry] {
            if (ChooseProtocol)
                ChooseProtocol(entry);
            ShowStatus();
        });
    }
    // Offered as in the original, without a function.
    QMenu *hand = m_menu->addMenu(QStringLiteral("Handshake"));
    hand->setObjectName(QStringLiteral("MenuHandshake"));
    hand->addAction(QStringLiteral("ein"))->setObjectName(QStringLiteral("HandshakeEin"));
    hand->addAction(QStringLiteral("aus"))->setObjectName(QStringLiteral("HandshakeAus"));

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Lb_Befehl"));
    m_names = new QComboBox(this);
    m_names->setObjectName(QStringLiteral("Cb_RufName"));
    m_line = new QLineEdit(this);
    m_line->setObjectName(QStringLiteral("Ed_Befehl"));
    layout->addWidget(m_label);
    layout->addWidget(m_names);
    layout->addWidget(m_line);

    auto *panels = new QHBoxLayout;
    const char *names[] = {"Pn_Rufnummer", "Pn_Init", "Pn_Befehl"};
    const char *captions[] = {"Rufnummer", "Init Befehl", "Befehl"};
    const ModemText::Mode modes[] = {ModemText::Mode::Dial, ModemText::Mode::Init, ModemText::Mode::Command};
    for (int i = 0; i < 3; ++i) {
        m_panels[i] = new QPushButton(QLatin1String(captions[i]), this);
        m_panels[i]->setObjectName(QLatin1String(names[i]));
        m_panels[i]->setFlat(true);
        m_panels[i]->setAutoFillBackground(true);
        panels->addWidget(m_panels[i]);
        const ModemText::Mode mode = modes[i];
        connect(m_panels[i], &QPushButton::clicked, this, [this, mode] { SetMode(mode); });
    }
    m_fbed = new QPushButton(GetText(313), this);
    m_fbed->setObjectName(QStringLiteral("Pn_IdentFbed"));
    m_fbed->setFlat(true);
    m_fbed->setAutoFillBackground(true);
    panels->addWidget(m_fbed);
    layout->addLayout(panels);

    auto *buttons = new QHBoxLayout;
    m_test = new QPushButton(QStringLiteral("Modem Test"), this);
    m_test->setObjectName(QStringLiteral("Btn_ModemTest"));
    m_hangUp = new QPushButton(GetText(118), this);
    m_hangUp->setObjectName(QStringLiteral("Btn_Auflegen"));
    m_close = new QPushButton(QStringLiteral("Beenden"), this);
    m_close->setObjectName(QStringLiteral("Btn_Beenden"));
    buttons->addWidget(m_test);
    buttons->addWidget(m_hangUp);
    buttons->addWidget(m_close);
    layout->addLayout(buttons);

    auto *lines = new QHBoxLayout;
    const char *lineNames[] = {"DCD", "DSR", "RI", "CTS", "RTS", "DTR"};
    for (int i = 0; i < ModemSession::LineCount; ++i) {
        m_indicators[i] = new QLabel(QLatin1String(lineNames[i]), this);
        m_indicators[i]->setObjectName(QStringLiteral("Sh_") + QLatin1String(lineNames[i]));
        m_indicators[i]->setAlignment(Qt::AlignCenter);
        m_indicators[i]->setAutoFillBackground(true);
        Paint(m_indicators[i], m_session.LineOn(ModemSession::Line(i)) ? kLime : kGreen);
        lines->addWidget(m_indicators[i]);
    }
    layout->addLayout(lines);

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo_Antworten"));
    m_memo->setReadOnly(true);
    m_memo->viewport()->installEventFilter(this);
    layout->addWidget(m_memo, 1);

    auto *status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    for (int i = 0; i < 5; ++i) {
        m_status[i] = new QLabel(this);
        m_status[i]->setObjectName(QStringLiteral("Panel%1").arg(i));
        status->addWidget(m_status[i], 1);
    }
    layout->addWidget(status);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer_Refresh"));
    m_timer->setInterval(100);
    connect(m_timer, &QTimer::timeout, this, &TFormModemVB::Refresh);

    connect(m_names, qOverload<int>(&QComboBox::activated), this, &TFormModemVB::ChooseName);
    connect(m_line, &QLineEdit::returnPressed, this, &TFormModemVB::ExecuteLine);
    connect(m_test, &QPushButton::clicked, &m_session, &ModemSession::ModemTest);
    connect(m_hangUp, &QPushButton::clicked, this, [this] {
        if (m_session.HangUp())
            m_mode = ModemText::Mode::None;
        MarkMode();
    });
    connect(m_close, &QPushButton::clicked, this, &QDialog::close);
    connect(m_fbed, &QPushButton::clicked, this, &TFormModemVB::FbedClicked);
    connect(&m_session, &ModemSession::LineChanged, this, [this](int line, bool on) {
        if (line >= 0 && line < ModemSession::LineCount)
            Paint(m_indicators[line], on ? kLime : kGreen);
    });
    connect(&m_session, &ModemSession::AnswerText, this, [this](const QString &text) {
        QString t = text;
        t.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
        m_memo->moveCursor(QTextCursor::End);
        m_memo->insertPlainText(t);
    });
    // Enter belongs to the command line: no button may take it as the dialog's default.
    for (QPushButton *b : findChildren<QPushButton *>())
        b->setAutoDefault(false);
    resize(520, 420);
}

QPushButton *TFormModemVB::ModePanel(ModemText::Mode mode) const
{
    switch (mode) {
    case ModemText::Mode::Dial: return m_panels[0];
    case ModemText::Mode::Init: return m_panels[1];
    case ModemText::Mode::Command: return m_panels[2];
    case ModemText::Mode::None: break;
    }
    return nullptr;
}

void TFormModemVB::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    ShowStatus();
    m_session.RememberShown();
    m_session.SetWatching(true);
    m_label->setText(GetText(720));
    m_hangUp->setText(GetText(118));
    m_fbed->setEnabled(false);
    m_fbed->setText(GetText(313));

    const ModemText::PhoneBook book = ModemText::ReadPhoneBook();
    if (book.State != ModemText::PhoneBook::Ok)
        m_main.UserPrompter().warning(ModemText::PhoneBookMessage(book.State));
    else if (!book.Notes.isEmpty())
        m_main.UserPrompter().warning(book.Notes.join(QLatin1Char('\r')));
    m_entries = book.Entries;
    ModemText::PhoneEntry manual;
    manual.Name = ModemText::ManualEntryName();
    manual.Number = m_main.Settings.Modem.LastManualNumber;
    m_entries.append(manual);
    m_names->clear();
    for (const ModemText::PhoneEntry &e : m_entries)
        m_names->addItem(e.Name);
    m_line->clear();
    // Entry 1 is chosen as the window opens; its speed is only noted, the port stays as it is.
    m_names->setCurrentIndex(0);
    m_line->setText(m_entries.first().Number);
    const QString baud = m_entries.first().Baud();
    if (!baud.isEmpty())
        m_main.Init.BaudText = baud;
    m_mode = ModemText::Mode::Dial;
    m_names->show();
    m_names->setEnabled(true);
    MarkMode();
    ShowStatus();
    m_timer->start();
    Refresh();
}

void TFormModemVB::closeEvent(QCloseEvent *event)
{
    if (m_main.ModemOnline)
        m_session.HangUp();
    QDialog::closeEvent(event);
}

void TFormModemVB::hideEvent(QHideEvent *event)
{
    m_timer->stop();
    m_session.SetWatching(false);
    QDialog::hideEvent(event);
}

bool TFormModemVB::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_memo->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        m_memo->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormModemVB::ShowStatus()
{
    m_status[0]->setText(QStringLiteral("Port ") + m_main.Init.PortName);
    m_status[2]->setText(m_main.Init.BaudText + QStringLiteral(" Baud"));
    m_status[3]->setText(GetText(289) + QString::number(m_main.Settings.Protocol));
    m_status[4]->setText(GetText(290) + (Handshake() ? QStringLiteral("True") : QStringLiteral("False")));
}

void TFormModemVB::Refresh()
{
    m_session.PollAnswers();
    const bool online = m_main.ModemOnline;
    m_status[1]->setText(online ? QStringLiteral("On Line") : QStringLiteral("Off Line"));
    // A new test only off line (as the original) and never while one runs.
    m_test->setEnabled(!online && !m_session.ModemTestRunning());
    m_hangUp->setEnabled(online && !m_session.HangingUp());
    m_fbed->setEnabled(online);
    Paint(m_fbed, m_main.Access.FbedAccepted ? kLime : kYellow, !online);
}

void TFormModemVB::MarkMode()
{
    for (int i = 0; i < 3; ++i)
        Paint(m_panels[i], int(m_mode) == i + 1 ? kMoneyGreen : kSilver);
}

void TFormModemVB::SetMode(ModemText::Mode mode)
{
    switch (mode) {
    case ModemText::Mode::Dial:
        m_mode = mode;
        if (!m_entries.isEmpty()) {
            m_names->setCurrentIndex(0);
            m_line->setText(m_entries.first().Number);
        }
        m_names->show();
        m_names->setEnabled(true);
        m_label->setText(GetText(720));
        break;
    case ModemText::Mode::Init:
        if (m_mode == ModemText::Mode::Init) {
            m_mode = ModemText::Mode::None;
            m_memo->clear();
            break;
        }
        m_mode = mode;
        m_names->hide();
        m_names->setEnabled(false);
        m_line->setText(m_session.InitOffer());
        m_label->setText(GetText(293));
        break;
    case ModemText::Mode::Command:
        m_names->hide();
        m_mode = mode;
        m_line->clear();
        m_label->setText(GetText(292));
        break;
    case ModemText::Mode::None:
        m_mode = mode;
        break;
    }
    MarkMode();
    m_line->setFocus();
}

void TFormModemVB::ChooseName(int index)
{
    if (index < 0 || index >= m_entries.size())
        return;
    m_mode = ModemText::Mode::Dial;
    const ModemText::PhoneEntry &e = m_entries.at(index);
    m_line->setText(e.Number);
    m_main.Settings.Modem.LastManualNumber = e.Number;
    const QString baud = e.Baud();
    if (!baud.isEmpty())
        m_main.Init.BaudText = baud;
    ShowStatus();
    MarkMode();
}

void TFormModemVB::ExecuteLine()
{
    const QString line = m_line->text();
    m_line->clear();
    m_session.Enter(m_mode, line);
}

void TFormModemVB::SetBaud(const QString &baud)
{
    m_session.ChangeBaud(baud);
    ShowStatus();
}

void TFormModemVB::FbedClicked()
{
    if (!m_main.ModemOnline || !AskFbed)
        return;
    QString entered;
    if (AskFbed(&entered))
        m_session.IdentFbed(entered);
}

TFormModemVB *TFormMain::ModemWindow() const { return m_modem; }

// Made once with the other windows, hidden; needs the modem session and the ident dialog
// only when used.
void TFormMain::MakeModemWindow()
{
    if (m_modem || !m_modemSession)
        return;
    m_modem = new TFormModemVB(*m_main, *m_modemSession, this);
    m_modem->SelectPort = [this] { SelectCom(); };
    m_modem->ChooseProtocol = [this](int entry) { ChooseProtocol(entry); };
    m_modem->AskFbed = [this](QString *entered) {
        if (!m_ident->ShowMode(QStringLiteral("FBED")) || !m_ident->EditAccepted())
            return false;
        *entered = m_ident->EnteredText();
        return true;
    };
}

// The main window's menu entry: the window is shown non-modally.
void TFormMain::ModemClicked()
{
    CreateWindows();
    m_modem->show();
    m_modem->raise();
    m_modem->activateWindow();
}
