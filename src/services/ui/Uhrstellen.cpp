#include "services/ui/Uhrstellen.h"
#include "services/DeviceClock.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TUhrstellen::TUhrstellen(MainController &main, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Uhrstellen"));
    setWindowTitle(QStringLiteral("Uhrstellen"));
    m_clock = new DeviceClock(main, this);

    m_pc = new QLabel(GetText(120), this);
    m_pc->setObjectName(QStringLiteral("LB_DZ_PC"));
    m_unit = new QLabel(GetText(121), this);
    m_unit->setObjectName(QStringLiteral("LB_DZ_Unit"));
    m_set = new QPushButton(QStringLiteral("Uhr stellen"), this);
    m_set->setObjectName(QStringLiteral("Btn_Uhrstellen"));
    m_cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_cancel->setObjectName(QStringLiteral("Btn_Abbruch"));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_set);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pc);
    layout->addWidget(m_unit);
    layout->addLayout(buttons);

    connect(m_set, &QPushButton::clicked, m_clock, &DeviceClock::RequestSet);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_clock, &DeviceClock::PcTimeText, m_pc, &QLabel::setText);
    connect(m_clock, &DeviceClock::DeviceTimeRead, m_unit, &QLabel::setText);
}

TUhrstellen::~TUhrstellen() = default;

void TUhrstellen::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (PauseValues)
        PauseValues();
    m_pc->setText(DeviceClock::PcText(m_clock->Now()));
    m_clock->Start();
}

void TUhrstellen::hideEvent(QHideEvent *event)
{
    m_clock->Stop();
    if (ResumeValues)
        ResumeValues();
    QDialog::hideEvent(event);
}
