#include "calibration/ui/CanAnalog.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFormAnaCAN::TFormAnaCAN(MainController &main, ParameterSender &sender, QWidget *parent)
    : QDialog(parent), m_core(main, sender)
{
    setObjectName(QStringLiteral("FormAnaCAN"));
    setWindowTitle(QStringLiteral("Analogwerte CAN (J1939)"));
    setModal(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("CLB_1"));
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Btn_OK"));
    m_ok->setAutoDefault(false);
    m_cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_cancel->setObjectName(QStringLiteral("Btn_Abbruch"));
    m_cancel->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, [this] { Btn_OKClick(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { reject(); });
    connect(&m_core, &CanAnalog::Finished, this, [this](bool ok) {
        m_ok->setEnabled(true);
        m_cancel->setEnabled(true);
        if (ok)
            accept();
    });
}

void TFormAnaCAN::showEvent(QShowEvent *event)
{
    m_list->clear();
    const QVector<bool> checked = m_core.Checked();
    for (int k = 0; k < checked.size(); ++k) {
        auto *item = new QListWidgetItem(CanAnalog::Names().at(k), m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(checked[k] ? Qt::Checked : Qt::Unchecked);
    }
    QDialog::showEvent(event);
}

void TFormAnaCAN::reject()
{
    if (!m_core.Running())
        QDialog::reject();
}

void TFormAnaCAN::Btn_OKClick()
{
    QVector<bool> checked;
    for (int k = 0; k < m_list->count(); ++k)
        checked.append(m_list->item(k)->checkState() == Qt::Checked);
    // While the mask is on the line the dialog stays, its buttons off, until the device
    // has confirmed it or the wait has run out.
    m_ok->setEnabled(false);
    m_cancel->setEnabled(false);
    if (!m_core.Apply(checked)) {
        m_ok->setEnabled(true);
        m_cancel->setEnabled(true);
    }
}

void TFormMain::AnalogCanClicked()
{
    if (!m_main->ParamsLoaded)
        return;
    TFormAnaCAN dialog(*m_main, *m_sender, this);
    TranslateNewWindow(&dialog);
    dialog.exec();
}
