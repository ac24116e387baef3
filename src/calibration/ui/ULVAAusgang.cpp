#include "calibration/ui/ULVAAusgang.h"
#include "monitor/ValuePoller.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TULVAAusgang::TULVAAusgang(MainController &main, QWidget *parent) : QDialog(parent), m_core(main)
{
    setObjectName(QStringLiteral("ULVAAusgang"));
    setWindowTitle(QStringLiteral("Mirelo ULVA Ausgänge"));
    setModal(false);
    m_text = new QLabel(GetText(100), this);
    m_text->setObjectName(QStringLiteral("Lb_Text"));
    auto *grid = new QGridLayout;
    for (int n = 1; n <= OutputSim::Outputs; ++n) {
        auto *box = new QGroupBox(this);
        box->setObjectName(QStringLiteral("Gb_%1").arg(n));
        auto *row = new QVBoxLayout(box);
        m_labels[n - 1] = new QLabel(box);
        m_labels[n - 1]->setObjectName(QStringLiteral("Lb_%1").arg(n));
        m_edits[n - 1] = new QLineEdit(QStringLiteral("88,88"), box);
        m_edits[n - 1]->setObjectName(QStringLiteral("Ed_%1").arg(n));
        m_edits[n - 1]->setProperty("tag", n);
        row->addWidget(m_labels[n - 1]);
        row->addWidget(m_edits[n - 1]);
        grid->addWidget(box, (n - 1) / 4, (n - 1) % 4);
        connect(m_edits[n - 1], &QLineEdit::returnPressed, this, [this, n] {
            QLineEdit *e = m_edits[n - 1];
            QString shown = e->text();
            m_core.Enter(n, e->text(), &shown);
            e->setText(shown);
        });
    }
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addLayout(grid);
}

void TULVAAusgang::showEvent(QShowEvent *event)
{
    const QString prefix = OutputSim::LabelPrefix();
    for (int n = 1; n <= OutputSim::Outputs; ++n) {
        m_labels[n - 1]->setText(prefix + QString::number(n));
        m_edits[n - 1]->setText(m_core.PresentText(n));
        m_edits[n - 1]->setEnabled(m_core.IsOutput(n));
    }
    QDialog::showEvent(event);
}

void TULVAAusgang::closeEvent(QCloseEvent *event)
{
    m_core.Release();
    QDialog::closeEvent(event);
}

void TFormMain::UlvaOutputs()
{
    if (!m_main->Online)
        return;
    if (m_main->ModemOnline) {
        m_prompter->warning(GetText(183));
        return;
    }
    if (m_poller && m_poller->PageActive())
        m_main->CloseValues();
    if (!m_ulvaOutputs) {
        m_ulvaOutputs = new TULVAAusgang(*m_main, this);
        TranslateNewWindow(m_ulvaOutputs);
    }
    m_ulvaOutputs->show();
    m_ulvaOutputs->raise();
    m_ulvaOutputs->activateWindow();
}

TULVAAusgang *TFormMain::UlvaOutputsWindow() const { return m_ulvaOutputs; }
