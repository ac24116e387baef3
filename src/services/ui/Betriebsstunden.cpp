#include "services/ui/Betriebsstunden.h"
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using Counter = OperatingHours::Counter;

TBetriebsstunden::TBetriebsstunden(MainController &main, ParameterSender &sender, QWidget *parent)
    : QDialog(parent), m_core(main, sender)
{
    setObjectName(QStringLiteral("Betriebsstunden"));
    setWindowTitle(QStringLiteral("Betriebsstunden"));
    setModal(true);

    m_group = new QGroupBox(this);
    m_group->setObjectName(QStringLiteral("GroupBox2"));
    m_rb1 = new QRadioButton(QStringLiteral("Betriebsstunden"), m_group);
    m_rb1->setObjectName(QStringLiteral("RB_1"));
    m_rb2 = new QRadioButton(QStringLiteral("Anzahl Starts"), m_group);
    m_rb2->setObjectName(QStringLiteral("RB_2"));
    auto *groupLayout = new QVBoxLayout(m_group);
    groupLayout->addWidget(m_rb1);
    groupLayout->addWidget(m_rb2);

    m_edit = new QLineEdit(QStringLiteral("0"), this);
    m_edit->setObjectName(QStringLiteral("Edit2"));
    m_unit = new QLabel(QStringLiteral("h"), this);
    m_unit->setObjectName(QStringLiteral("Label2"));
    auto *valueRow = new QHBoxLayout;
    valueRow->addWidget(m_edit);
    valueRow->addWidget(m_unit);

    m_execute = new QPushButton(QStringLiteral("Ausführen"), this);
    m_execute->setObjectName(QStringLiteral("Ausfuehren"));
    m_execute->setEnabled(false);
    m_execute->setAutoDefault(false);
    m_close = new QPushButton(QStringLiteral("Beenden"), this);
    m_close->setObjectName(QStringLiteral("Btn_Close"));
    m_close->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_execute);
    buttons->addWidget(m_close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_group);
    layout->addLayout(valueRow);
    layout->addLayout(buttons);

    connect(m_rb1, &QRadioButton::clicked, this, [this] { RbClick(Counter::Hours); });
    connect(m_rb2, &QRadioButton::clicked, this, [this] { RbClick(Counter::Starts); });
    connect(m_execute, &QPushButton::clicked, this, &TBetriebsstunden::AusfuehrenClick);
    connect(m_close, &QPushButton::clicked, this, &QDialog::reject);
    connect(&m_core, &OperatingHours::ReadFinished, this, &TBetriebsstunden::ShowValue);
    connect(&m_core, &OperatingHours::WriteFinished, this, [this](bool ok, Counter c, quint32 v) {
        // What the device shows after the write, also when it is not what was typed.
        if (ok || m_core.HasValue())
            ShowValue(true, c, v);
    });
}

void TBetriebsstunden::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Nothing chosen at first: the exclusive group must let go to clear both buttons.
    m_rb1->setAutoExclusive(false);
    m_rb2->setAutoExclusive(false);
    m_rb1->setChecked(false);
    m_rb2->setChecked(false);
    m_rb1->setAutoExclusive(true);
    m_rb2->setAutoExclusive(true);
    m_unit->hide();
}

Counter TBetriebsstunden::Checked() const
{
    return m_rb1->isChecked() ? Counter::Hours : m_rb2->isChecked() ? Counter::Starts : Counter::None;
}

void TBetriebsstunden::RbClick(Counter counter)
{
    // Over a modem the counters are only shown.
    m_execute->setEnabled(m_core.WriteAllowed());
    m_edit->clear();
    m_edit->show();
    m_unit->show();
    m_edit->setFocus();
    m_core.Read(counter);
}

void TBetriebsstunden::ShowValue(bool ok, Counter counter, quint32 value)
{
    if (!ok || counter != Checked())
        return;
    m_unit->setVisible(counter == Counter::Hours);
    m_edit->setText(QString::number(value));
}

void TBetriebsstunden::AusfuehrenClick()
{
    const Counter c = Checked();
    if (c == Counter::None)
        return;
    m_core.Write(c, m_edit->text());
}
