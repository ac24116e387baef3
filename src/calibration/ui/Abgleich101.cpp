#include "calibration/ui/Abgleich101.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TAbgleichDialog::TAbgleichDialog(MainController &main, CalibrationRun::Family family, QWidget *parent)
    : QDialog(parent), m_main(main), m_family(family)
{
    setModal(false);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose, false);

    m_lb1 = new QLabel(GetText(114), this);
    m_lb1->setObjectName(QStringLiteral("Lb_1"));
    QFont bold = m_lb1->font();
    bold.setBold(true);
    m_lb1->setFont(bold);
    m_lb2 = new QLabel(this);
    m_lb2->setObjectName(QStringLiteral("Lb_2"));
    m_lb2->setWordWrap(true);
    m_lb2->setMinimumWidth(420);
    m_lb3 = new QLabel(this);
    m_lb3->setObjectName(QStringLiteral("Lb_3"));
    m_lb3->setWordWrap(true);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Btn_OK"));
    m_cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_cancel->setObjectName(QStringLiteral("Btn_Abbruch"));
    m_cancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lb1);
    layout->addWidget(m_lb2);
    layout->addWidget(m_lb3);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, [this] {
        if (m_run)
            m_run->Ok();
    });
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_run)
            m_run->Cancel();
    });
}

TAbgleichDialog::~TAbgleichDialog() = default;

bool TAbgleichDialog::Start()
{
    if (m_run && !m_run->Finished()) {
        show();
        raise();
        return true;
    }
    // A fresh run per opening: its chain names are taken while it lives.
    m_run = std::make_unique<CalibrationRun>(m_main, m_family);
    setWindowTitle(m_run->Caption());
    m_lb3->clear();
    connect(m_run.get(), &CalibrationRun::Changed, this, &TAbgleichDialog::Refresh);
    connect(m_run.get(), &CalibrationRun::Reported, m_lb3, &QLabel::setText);
    connect(m_run.get(), &CalibrationRun::Closed, this, &TAbgleichDialog::Closed, Qt::QueuedConnection);
    if (!m_run->Open()) {
        m_run.reset();
        return false;
    }
    Refresh();
    show();
    raise();
    return true;
}

void TAbgleichDialog::Refresh()
{
    if (!m_run)
        return;
    m_lb1->setText(m_run->Title());
    m_lb2->setText(m_run->Instruction());
    const bool idle = !m_run->Busy() && !m_run->Finished();
    m_ok->setEnabled(idle && m_run->Step() == 0);
    // "Abbruch" stays usable during a write: it puts the old words back.
    m_cancel->setEnabled(!m_run->Finished());
}

void TAbgleichDialog::Closed()
{
    const bool factory = m_run && m_run->FactorySettingAfterClose();
    // The run gives its chain names back at once; the next opening starts a new one.
    m_run.reset();
    hide();
    if (factory && FactorySetting)
        FactorySetting();
}

void TAbgleichDialog::closeEvent(QCloseEvent *event)
{
    if (m_run && !m_run->Finished()) {
        // The run closes the dialog once nothing of it is on the line any more.
        event->ignore();
        m_run->Close();
        return;
    }
    QDialog::closeEvent(event);
}

void TAbgleichDialog::reject()
{
    // Escape closes as the window's close button does.
    if (m_run && !m_run->Finished()) {
        m_run->Close();
        return;
    }
    QDialog::reject();
}

TAbgleich101::TAbgleich101(MainController &main, QWidget *parent)
    : TAbgleichDialog(main, CalibrationRun::Family::Zev101, parent)
{
    setObjectName(QStringLiteral("Abgleich101"));
}
