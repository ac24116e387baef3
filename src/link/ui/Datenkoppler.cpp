#include "link/ui/Datenkoppler.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TSetPELK::TSetPELK(MainController &main, QWidget *parent) : QDialog(parent), m_core(main)
{
    setObjectName(QStringLiteral("SetPELK"));
    setWindowTitle(QStringLiteral("SetPELK"));
    setModal(false);

    m_label = new QLabel(GetText(154), this);
    m_label->setObjectName(QStringLiteral("Label1"));
    m_label->setAlignment(Qt::AlignCenter);

    auto *group = new QGroupBox(this);
    group->setObjectName(QStringLiteral("RadioGroup1"));
    auto *groupLayout = new QVBoxLayout(group);
    for (int i = 0; i < Coupler::SpeedCount; ++i) {
        m_radio[i] = new QRadioButton(Coupler::Caption(i), group);
        m_radio[i]->setObjectName(QStringLiteral("RadioButton%1").arg(i + 1));
        groupLayout->addWidget(m_radio[i]);
    }

    auto makeButton = [this](const QString &name, const QString &caption) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    m_help = makeButton(QStringLiteral("Btn_Hilfe"), QStringLiteral("Hilfe"));
    m_connect = makeButton(QStringLiteral("Btn_PCConnect"), QStringLiteral("PC Connect"));
    m_ok = makeButton(QStringLiteral("Btn_Ok"), QStringLiteral("OK"));
    m_cancel = makeButton(QStringLiteral("Btn_Abbruch"), QStringLiteral("Abbruch"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_help, m_connect, m_ok, m_cancel})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(group);
    layout->addLayout(buttons);

    connect(m_help, &QPushButton::clicked, this, [&main] { main.UserPrompter().information(GetText(319)); });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);
    connect(m_ok, &QPushButton::clicked, this, [this] {
        const int i = Selected();
        if (m_core.SetDeviceBaud(i >= 0 ? Coupler::Speeds()[size_t(i)].code : 0))
            ClearSelection();
        UpdateButtons();
    });
    connect(m_connect, &QPushButton::clicked, this, [this] {
        m_core.PcConnect();
        UpdateButtons();
    });
    connect(&m_core, &Coupler::LabelText, m_label, &QLabel::setText);
    connect(&m_core, &Coupler::BaudRead, this, [this](bool ok, int code) {
        ClearSelection();
        const int i = ok ? Coupler::IndexOfCode(code) : -1;
        if (i >= 0)
            m_radio[i]->setChecked(true);
        UpdateButtons();
    });
    connect(&m_core, &Coupler::PcConnectFinished, this, &TSetPELK::UpdateButtons);
    connect(&m_core, &Coupler::SetFinished, this, &TSetPELK::UpdateButtons);
}

QRadioButton *TSetPELK::Radio(int index) const
{
    return index >= 0 && index < Coupler::SpeedCount ? m_radio[index] : nullptr;
}

int TSetPELK::Selected() const
{
    for (int i = 0; i < Coupler::SpeedCount; ++i)
        if (m_radio[i]->isChecked())
            return i;
    return -1;
}

void TSetPELK::ClearSelection()
{
    for (QRadioButton *rb : m_radio) {
        rb->setAutoExclusive(false);
        rb->setChecked(false);
        rb->setAutoExclusive(true);
    }
}

void TSetPELK::UpdateButtons()
{
    // One chain at a time: a second click while one runs would mix their telegrams.
    const bool idle = !m_core.Busy();
    m_ok->setEnabled(idle);
    m_connect->setEnabled(idle);
}

void TSetPELK::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_core.Busy()) {
        ClearSelection();
        m_core.ReadBaud();
    }
    UpdateButtons();
}
