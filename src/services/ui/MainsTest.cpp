#include "services/ui/MainsTest.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TForm1::TForm1(MainController &main, ParameterSender &sender, QWidget *parent)
    : QDialog(parent), m_core(main, sender)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Netzausfalltest"));
    setModal(false);

    m_label1 = new QLabel(QStringLiteral("Verbleibende Zeit: "), this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2 = new QLabel(MainsTest::IdleText(), this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    auto *timeRow = new QHBoxLayout;
    timeRow->addWidget(m_label1);
    timeRow->addWidget(m_label2);
    timeRow->addStretch();

    m_button1 = new QPushButton(QStringLiteral("Netzausfalltest starten"), this);
    m_button1->setObjectName(QStringLiteral("Button1"));
    m_button1->setAutoDefault(false);
    m_button2 = new QPushButton(QStringLiteral("Netzausfalltest stoppen"), this);
    m_button2->setObjectName(QStringLiteral("Button2"));
    m_button2->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_button1);
    buttons->addWidget(m_button2);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(timeRow);
    layout->addLayout(buttons);

    connect(m_button1, &QPushButton::clicked, this, [this] {
        m_core.Start();
        UpdateButtons();
    });
    connect(m_button2, &QPushButton::clicked, this, [this] {
        m_core.Stop();
        UpdateButtons();
    });
    connect(&m_core, &MainsTest::DisplayChanged, m_label2, &QLabel::setText);
    connect(&m_core, &MainsTest::RunningChanged, this, [this] { UpdateButtons(); });
}

void TForm1::UpdateButtons()
{
    // A second start while one runs would only restart the device's test behind the display.
    m_button1->setEnabled(!m_core.Running());
}

void TForm1::showEvent(QShowEvent *event)
{
    // Each opening begins from a resting display; a test the device still runs is stopped
    // with "stoppen" or ends by itself.
    m_core.Detach();
    m_label2->setText(m_core.Display());
    UpdateButtons();
    if (PauseValues)
        PauseValues();
    QDialog::showEvent(event);
}

void TForm1::hideEvent(QHideEvent *event)
{
    m_core.Detach();
    if (ResumeValues)
        ResumeValues();
    QDialog::hideEvent(event);
}
