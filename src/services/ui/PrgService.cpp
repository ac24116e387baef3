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
    // The 60-second pass-through to a modem at the controller is not built yet: its
    // button stays hidden and disabled rather than offering something that does nothing.
    m_rb[3]->hide();
    m_rb[3]->setEnabled(false);

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
