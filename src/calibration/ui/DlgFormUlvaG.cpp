#include "calibration/ui/DlgFormUlvaG.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {
struct PageText
{
    const char *caption;
    const char *heading;
    QStringList lines;
    const char *button;
    const char *buttonName;
};

QList<PageText> PageTexts()
{
    return {
        {"Start", "ULVA 9611 Grundabgleich", {}, "Start >", "B_Start"},
        {"Schritt 1", "Nullunkt abgleichen..",
         {QStringLiteral("Mit einem 4-stelligen Digital-Voltmeter die Spannung "), QStringLiteral("zwischen "),
          QStringLiteral("Pin 6 (Ground) und Pin 8 (Analogausgang) von der "),
          QStringLiteral("Subplatinenbuchse X31 messen. "), QString(),
          QStringLiteral("Mit dem Potentiometer P2 die Analoganzeige auf 0,000V "), QStringLiteral("einstellt."),
          QString()},
         "Weiter >", "B_Weiter1"},
        {"Schritt 2", "Maximalwert abgleichen..",
         {QStringLiteral("Mit dem Potentiometer P1 die Spannung zwischen den "),
          QStringLiteral("PINs 6 und 8 auf 5,000V einstellen."), QString()},
         "Weiter >", "B_Weiter2"},
        {"Schritt 3", "Ausgabe kontrollieren..",
         {QStringLiteral("Die Spannung zwischen den PINs 6 und 8 sollte jetzt "), QStringLiteral("2,500V betragen."),
          QString()},
         "Weiter >", "B_Weiter3"},
        {"Schritt 4", "Komparator IC10 abgleichen..",
         {QStringLiteral("Den Pin 5 der Subplatine X19 mit dem Massepunkt neben dem "),
          QStringLiteral("Controller verbinden. "), QString(),
          QStringLiteral("Mit dem Potentiometer P3 die Ausgangsspannung des IC10 "),
          QStringLiteral("(Pin 6, gemessen gegen Massetestpunkt neben dem Controller) "),
          QStringLiteral("verstellen, bis sie vom positiven ins negative kippt."), QString()},
         "Fertig", "B_Fertig"},
    };
}
} // namespace

TDlgForm_UlvaG::TDlgForm_UlvaG(MainController &main, QWidget *parent) : QDialog(parent), m_core(main)
{
    setObjectName(QStringLiteral("DlgForm_UlvaG"));
    setWindowTitle(QStringLiteral("Grundabgleich des ULVA 9611"));
    setModal(true);
    m_pages = new QStackedWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    const QList<PageText> texts = PageTexts();
    for (int p = 0; p < texts.size(); ++p) {
        auto *page = new QWidget(m_pages);
        page->setObjectName(QStringLiteral("TabSheet%1").arg(p + 1));
        page->setWindowTitle(QString::fromUtf8(texts[p].caption));
        auto *v = new QVBoxLayout(page);
        auto *heading = new QLabel(QString::fromUtf8(texts[p].heading), page);
        heading->setObjectName(QStringLiteral("Lb_Heading%1").arg(p));
        v->addWidget(heading);
        if (!texts[p].lines.isEmpty()) {
            auto *memo = new QPlainTextEdit(page);
            memo->setObjectName(QStringLiteral("Memo%1").arg(p));
            memo->setPlainText(texts[p].lines.join(QLatin1Char('\n')));
            memo->setReadOnly(true);
            // The instructions are read, not edited: the focus stays on the page's button.
            memo->setFocusPolicy(Qt::NoFocus);
            v->addWidget(memo);
        }
        m_buttons[p] = new QPushButton(QString::fromUtf8(texts[p].button), page);
        m_buttons[p]->setObjectName(QLatin1String(texts[p].buttonName));
        m_buttons[p]->setAutoDefault(false);
        v->addWidget(m_buttons[p]);
        m_pages->addWidget(page);
    }
    m_step = new QLabel(this);
    m_step->setObjectName(QStringLiteral("Lb_Schritt"));
    m_back = new QPushButton(QStringLiteral("zurück zum Start"), this);
    m_back->setObjectName(QStringLiteral("B_ZumStart"));
    m_back->setAutoDefault(false);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(m_step);
    bottom->addStretch();
    bottom->addWidget(m_back);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pages);
    layout->addLayout(bottom);

    connect(m_buttons[0], &QPushButton::clicked, this, [this] { m_core.Start(); });
    for (int p = 1; p <= 3; ++p)
        connect(m_buttons[p], &QPushButton::clicked, this, [this] { m_core.Next(); });
    connect(m_buttons[4], &QPushButton::clicked, this, [this] { close(); });
    connect(m_back, &QPushButton::clicked, this, [this] {
        if (m_core.BackOrAbort()) {
            m_mayClose = true;
            close();
        }
    });
    connect(&m_core, &UlvaWizard::Changed, this, [this] { Refresh(); });
    connect(&m_core, &UlvaWizard::CloseNow, this, [this] {
        m_mayClose = true;
        close();
    });
}

void TDlgForm_UlvaG::showEvent(QShowEvent *event)
{
    m_mayClose = false;
    m_core.Show();
    QDialog::showEvent(event);
}

void TDlgForm_UlvaG::Refresh()
{
    const int page = m_core.Page();
    m_pages->setCurrentIndex(page);
    m_step->setText(page == 0 ? QStringLiteral("Anfang") : QStringLiteral("Schritt %1/4").arg(page));
    m_buttons[0]->setEnabled(!m_core.Busy());
    for (int p = 1; p <= 3; ++p)
        m_buttons[p]->setEnabled(m_core.NextEnabled());
    m_buttons[4]->setEnabled(m_core.FinishEnabled());
    m_back->setText(m_core.BackIsAbort() ? QStringLiteral("Abbruch") : QStringLiteral("zurück zum Start"));
    m_back->setEnabled(m_core.BackEnabled());
}

void TDlgForm_UlvaG::closeEvent(QCloseEvent *event)
{
    // FormCloseQuery: with the module's mode possibly on, the window waits for its switching off.
    if (!m_mayClose && !m_core.CloseRequested()) {
        event->ignore();
        return;
    }
    m_mayClose = true;
    QDialog::closeEvent(event);
}

void TDlgForm_UlvaG::reject()
{
    if (!m_mayClose && !m_core.CloseRequested())
        return;
    m_mayClose = true;
    QDialog::reject();
}

void TFormMain::UlvaBasicCalibration()
{
    if (!m_main->Online)
        return;
    if (m_main->ModemOnline) {
        m_prompter->warning(GetText(183));
        return;
    }
    if (m_main->Data.State.DeviceType != 35) {
        m_prompter->information(GetText(909));
        return;
    }
    TDlgForm_UlvaG dialog(*m_main, this);
    TranslateNewWindow(&dialog);
    dialog.exec();
}
