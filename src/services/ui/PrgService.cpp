#include "services/ui/PrgService.h"
#include "shell/Texts.h"
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextCursor>
#include <QVBoxLayout>

using Value = ProgramService::Value;

TPrgService::TPrgService(MainController &main, ParameterSender &sender, QWidget *parent)
    : QDialog(parent), m_core(main, sender)
{
    setObjectName(QStringLiteral("PrgService"));
    setWindowTitle(QStringLiteral("PrgService"));
    setModal(true);

    auto *group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("GroupBox1"));
    auto *groupLayout = new QVBoxLayout(group);
    const int texts[4] = {139, 143, 142, 191};
    for (int k = 0; k < 4; ++k) {
        m_rb[k] = new QRadioButton(GetText(texts[k]), group);
        m_rb[k]->setObjectName(QStringLiteral("RB_%1").arg(k + 1));
        groupLayout->addWidget(m_rb[k]);
        connect(m_rb[k], &QRadioButton::clicked, this, &TPrgService::RbClick);
    }
    m_rb[3]->hide();
    m_rb[3]->setEnabled(false);

    m_modemEdit = new QLineEdit(this);
    m_modemEdit->setObjectName(QStringLiteral("Edit1"));
    m_countdown = new QLabel(this);
    m_countdown->setObjectName(QStringLiteral("Label1"));
    m_countdown->setStyleSheet(QStringLiteral("background-color: #00FF00;"));
    auto *modemRow = new QHBoxLayout;
    modemRow->addWidget(m_modemEdit);
    modemRow->addWidget(m_countdown);
    ShowModemLine(false);

    m_edit = new QLineEdit(QStringLiteral("0"), this);
    m_edit->setObjectName(QStringLiteral("Edit2"));
    m_unit = new QLabel(QStringLiteral("h"), this);
    m_unit->setObjectName(QStringLiteral("Label2"));
    auto *valueRow = new QHBoxLayout;
    valueRow->addWidget(m_edit);
    valueRow->addWidget(m_unit);

    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    m_memo->viewport()->installEventFilter(this);

    m_execute = new QPushButton(QStringLiteral("Ausführen"), this);
    m_execute->setObjectName(QStringLiteral("Btn_Ausfuehren"));
    m_execute->setEnabled(false);
    m_execute->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("Beenden"), this);
    m_close->setObjectName(QStringLiteral("Btn_Close"));
    m_close->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_execute);
    buttons->addWidget(m_close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(valueRow);
    layout->addLayout(modemRow);
    layout->addWidget(m_memo);
    layout->addLayout(buttons);

    connect(m_execute, &QPushButton::clicked, this, &TPrgService::AusfuehrenClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_core, &ProgramService::ReadFinished, this, [this](bool ok, Value v, int value) {
        if (ok && v == Checked())
            m_edit->setText(QString::number(value));
    });
    connect(&m_core, &ProgramService::WriteFinished, this, [this](bool ok, Value v, int value) {
        if (ok && v == Checked())
            m_edit->setText(QString::number(value));
    });
    connect(&m_core, &ProgramService::ClearFinished, this, [this](bool ok) {
        if (ok)
            m_memo->appendPlainText(GetText(159));
    });
    connect(m_modemEdit, &QLineEdit::returnPressed, this, &TPrgService::ModemLineEntered);
    connect(&m_core, &ProgramService::ModemStarted, this, [this](bool ok) {
        if (!ok) {
            m_rb[3]->setAutoExclusive(false);
            m_rb[3]->setChecked(false);
            m_rb[3]->setAutoExclusive(true);
            ShowModemLine(false);
            return;
        }
        m_modemEdit->clear();
        m_countdown->setText(QStringLiteral("%1 sec").arg(m_core.Countdown()));
        ShowModemLine(true);
        m_close->setEnabled(false);
        m_modemEdit->setFocus();
    });
    connect(&m_core, &ProgramService::ModemTick, this, [this](int left, const QString &received) {
        m_countdown->setText(QStringLiteral("%1 sec").arg(left));
        if (!received.isEmpty()) {
            m_memo->moveCursor(QTextCursor::End);
            m_memo->insertPlainText(received);
        }
    });
    connect(&m_core, &ProgramService::ModemEnded, this, [this] {
        ShowModemLine(false);
        m_rb[3]->setAutoExclusive(false);
        m_rb[3]->setChecked(false);
        m_rb[3]->setAutoExclusive(true);
        m_close->setEnabled(true);
    });
}

void TPrgService::ShowModemLine(bool on)
{
    m_modemEdit->setVisible(on);
    m_countdown->setVisible(on);
}

void TPrgService::ModemLineEntered()
{
    const QString text = m_modemEdit->text();
    if (text.isEmpty()) {
        m_memo->clear();
        return;
    }
    if (!m_core.SendLine(text))
        return;
    m_memo->appendPlainText(text);
    m_modemEdit->clear();
    m_countdown->setText(QStringLiteral("%1 sec").arg(m_core.Countdown()));
}

void TPrgService::hideEvent(QHideEvent *event)
{
    // However the window goes (Esc, the frame), the pass-through and its timer end with it.
    m_core.StopModem();
    QDialog::hideEvent(event);
}

QRadioButton *TPrgService::Radio(int n) const
{
    return n >= 1 && n <= 4 ? m_rb[n - 1] : nullptr;
}

void TPrgService::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    for (QRadioButton *rb : m_rb) {
        rb->setAutoExclusive(false);
        rb->setChecked(false);
        rb->setAutoExclusive(true);
    }
    m_edit->hide();
    m_unit->hide();
    ShowModemLine(false);
    m_close->setEnabled(true);
    const bool modem = m_core.ModemOffered();
    m_rb[3]->setVisible(modem);
    m_rb[3]->setEnabled(modem);
}

bool TPrgService::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_memo->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        m_memo->clear();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

Value TPrgService::Checked() const
{
    return m_rb[0]->isChecked() ? Value::Interval : m_rb[1]->isChecked() ? Value::ExtraHours : Value::None;
}

void TPrgService::RbClick()
{
    m_execute->setEnabled(true);
    if (m_rb[3]->isChecked()) {
        m_execute->setEnabled(false);
        m_edit->hide();
        m_edit->clear();
        m_unit->hide();
        if (!m_core.ModemOffered()) {
            // The link has become a modem link meanwhile: no pass-through over a modem.
            m_rb[3]->hide();
            return;
        }
        if (!m_core.ModemRunning())
            m_core.StartModem();
        return;
    }
    const Value v = Checked();
    m_edit->clear();
    m_edit->setVisible(v != Value::None);
    m_unit->setVisible(v != Value::None);
    if (v == Value::None)
        return;
    m_edit->setFocus();
    m_core.Read(v);
}

void TPrgService::AusfuehrenClick()
{
    const Value v = Checked();
    if (v != Value::None)
        m_core.Write(v, m_edit->text());
    else if (m_rb[2]->isChecked())
        m_core.ClearEvents();
}
