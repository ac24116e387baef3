#include "services/ui/ProgramNumber.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TProgrammnummer::TProgrammnummer(MainController &main, QWidget *parent)
    : QDialog(parent), m_main(main), m_core(main)
{
    setObjectName(QStringLiteral("Programmnummer"));
    setWindowTitle(QStringLiteral("Programmnummer"));
    setAttribute(Qt::WA_DeleteOnClose);

    m_programs = new QLabel(this);
    m_programs->setObjectName(QStringLiteral("Label1"));
    auto *label2 = new QLabel(QStringLiteral("Programmnummer:"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    auto *row = new QHBoxLayout;
    row->addWidget(label2);
    row->addWidget(m_edit);

    m_group = new QGroupBox(this);
    m_group->setObjectName(QStringLiteral("GroupBox1"));
    m_with = new QRadioButton(GetText(16), m_group);
    m_with->setObjectName(QStringLiteral("RadioButton1"));
    m_without = new QRadioButton(GetText(17), m_group);
    m_without->setObjectName(QStringLiteral("RadioButton2"));
    auto *groupLayout = new QVBoxLayout(m_group);
    groupLayout->addWidget(m_with);
    groupLayout->addWidget(m_without);

    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Btn_Ok"));
    m_cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_cancel->setObjectName(QStringLiteral("Btn_Abbruch"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_programs);
    layout->addLayout(row);
    layout->addWidget(m_group);
    layout->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, [this] {
        // While the switch runs a second click would start a second chain.
        if (m_core.Busy())
            return;
        if (m_core.Start(m_edit->text(), m_group->isVisible() && m_with->isChecked()))
            m_ok->setEnabled(false);
        else
            m_edit->setFocus();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::close);
    connect(&m_core, &ProgramNumber::Finished, this, [this](bool ok) {
        m_ok->setEnabled(true);
        if (ok)
            close();
    });
}

void TProgrammnummer::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    const QString id = m_main.Data.Geraet.ProgramId;
    QStringList lines;
    for (int n : ProgramNumber::ProgramTexts(id))
        lines << GetText(n);
    m_programs->setText(lines.join(QLatin1Char('\n')));
    m_group->setVisible(ProgramNumber::HasOptions(id));
    const bool with = ProgramNumber::WithOptions(m_core.OptionByte());
    m_with->setChecked(with);
    m_without->setChecked(!with);
    m_edit->setText(QString::number(id.toInt()));
}

void TProgrammnummer::closeEvent(QCloseEvent *event)
{
    // The device runs another program now: the loaded set no longer describes it.
    if (m_core.Accepted())
        m_main.CloseParameters();
    QDialog::closeEvent(event);
}
