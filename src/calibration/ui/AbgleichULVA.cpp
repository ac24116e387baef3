#include "calibration/ui/AbgleichULVA.h"
#include "monitor/ValuePoller.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <memory>

using Ulva::Mode;

namespace {
const char *const kRowNames[3][3] = {{"Lb_low", "Ed_AD_low", "Btn_OK_1"},
                                     {"Lb_high", "Ed_AD_high", "Btn_OK_2"},
                                     {"Lb_null", "Ed_AD_null", "Btn_OK_3"}};
} // namespace

TAbgleichULVA::TAbgleichULVA(MainController &main, QWidget *parent) : QDialog(parent), m_core(main)
{
    setObjectName(QStringLiteral("AbgleichULVA"));
    setWindowTitle(QStringLiteral("Abgleich ULVA"));
    setModal(false);

    m_lb1 = new QLabel(this);
    m_lb1->setObjectName(QStringLiteral("Lb_1"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("CLB_1"));

    m_lbAD = new QLabel(QStringLiteral("AD:"), this);
    m_lbAD->setObjectName(QStringLiteral("Lb_AD"));
    m_edAD = new QLineEdit(this);
    m_edAD->setObjectName(QStringLiteral("Ed_AD"));
    m_edAD->setReadOnly(true);
    auto *grid = new QGridLayout;
    grid->addWidget(m_lbAD, 0, 0);
    grid->addWidget(m_edAD, 0, 1);
    for (int r = 0; r < 3; ++r) {
        m_label[r] = new QLabel(this);
        m_label[r]->setObjectName(QLatin1String(kRowNames[r][0]));
        m_field[r] = new QLineEdit(this);
        m_field[r]->setObjectName(QLatin1String(kRowNames[r][1]));
        m_ok[r] = new QPushButton(QStringLiteral("OK"), this);
        m_ok[r]->setObjectName(QLatin1String(kRowNames[r][2]));
        m_ok[r]->setAutoDefault(false);
        grid->addWidget(m_label[r], r + 1, 0);
        grid->addWidget(m_field[r], r + 1, 1);
        grid->addWidget(m_ok[r], r + 1, 2);
        connect(m_ok[r], &QPushButton::clicked, this, [this, r] { m_core.Capture(UlvaSession::Row(r)); });
        connect(m_field[r], &QLineEdit::textChanged, this, [this] { TestBtn_OK(); });
    }
    m_variLow = new QLineEdit(QStringLiteral("0"), this);
    m_variLow->setObjectName(QStringLiteral("Ed_Vari_low"));
    m_variHigh = new QLineEdit(QStringLiteral("100"), this);
    m_variHigh->setObjectName(QStringLiteral("Ed_Vari_high"));
    m_edNull = new QLineEdit(QStringLiteral("0"), this);
    m_edNull->setObjectName(QStringLiteral("Ed_null"));
    grid->addWidget(m_variLow, 1, 3);
    grid->addWidget(m_variHigh, 2, 3);
    grid->addWidget(m_edNull, 3, 3);
    for (QLineEdit *e : {m_variLow, m_variHigh})
        connect(e, &QLineEdit::textChanged, this, [this] { TestBtn_OK(); });

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_ed1 = new QLineEdit(QStringLiteral("0"), this);
    m_ed1->setObjectName(QStringLiteral("Ed_1"));
    m_ed1->setMaxLength(2);
    // Only digits stay in the field (the old key handler removed anything else).
    m_ed1->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,2}")), m_ed1));
    connect(m_ed1, &QLineEdit::textChanged, this, [this] { TestBtn_OK(); });

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("Lb_Status"));

    m_btnAbgleich = new QPushButton(GetText(77), this);
    m_btnAbgleich->setObjectName(QStringLiteral("Btn_Abgleich"));
    m_btnAbgleich->setAutoDefault(false);
    m_btnAbbruch = new QPushButton(QStringLiteral("Abbruch"), this);
    m_btnAbbruch->setObjectName(QStringLiteral("Btn_Abbruch"));
    m_btnAbbruch->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_btnAbgleich);
    buttons->addWidget(m_btnAbbruch);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_lb1);
    layout->addWidget(m_list);
    layout->addLayout(grid);
    layout->addWidget(m_label1);
    layout->addWidget(m_ed1);
    layout->addWidget(m_status);
    layout->addLayout(buttons);

    connect(m_list, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        if (!m_filling)
            m_core.SetChecked(m_list->row(item), item->checkState() == Qt::Checked);
    });
    connect(m_btnAbgleich, &QPushButton::clicked, this, [this] { Btn_AbgleichClick(); });
    connect(m_btnAbbruch, &QPushButton::clicked, this, [this] { Btn_AbbruchClick(); });
    connect(&m_core, &UlvaSession::Changed, this, [this] { Refresh(); });
    connect(&m_core, &UlvaSession::StatusText, m_status, &QLabel::setText);
    AuswahlAnsicht();
}

void TAbgleichULVA::showEvent(QShowEvent *event)
{
    m_core.Stop();
    m_shownMode = Mode::None;
    m_status->clear();
    AuswahlAnsicht();
    QDialog::showEvent(event);
}

void TAbgleichULVA::closeEvent(QCloseEvent *event)
{
    m_core.Stop();
    m_shownMode = Mode::None;
    if ((!m_core.Written().isEmpty() || m_core.Writing()) && ReadAgain) {
        // What is still on the line must be answered before the reading chain begins, or
        // its report would be taken for the reader's.
        if (m_core.OnLine()) {
            auto once = std::make_shared<QMetaObject::Connection>();
            *once = connect(&m_core, &UlvaSession::Changed, this, [this, once] {
                if (m_core.OnLine())
                    return;
                disconnect(*once);
                ReadAgain();
            });
        } else {
            ReadAgain();
        }
    }
    QDialog::closeEvent(event);
}

void TAbgleichULVA::AuswahlAnsicht()
{
    m_list->show();
    for (QWidget *w : std::initializer_list<QWidget *>{m_lbAD, m_edAD, m_variLow, m_variHigh, m_edNull, m_ed1,
                                                        m_label1})
        w->hide();
    for (int r = 0; r < 3; ++r) {
        m_label[r]->hide();
        m_field[r]->hide();
        m_ok[r]->hide();
    }
    m_lb1->setText(GetText(77));
    m_btnAbgleich->setText(GetText(77));
    m_btnAbgleich->setEnabled(true);
    m_filling = true;
    m_list->clear();
    for (int c = 0; c < Ulva::ChannelCount; ++c) {
        auto *item = new QListWidgetItem(m_core.ChannelText(c), m_list);
        Qt::ItemFlags flags = Qt::ItemIsUserCheckable;
        if (m_core.ChannelSelectable(c))
            flags |= Qt::ItemIsEnabled;
        item->setFlags(flags);
        item->setCheckState(m_core.Checked(c) ? Qt::Checked : Qt::Unchecked);
    }
    m_filling = false;
}

void TAbgleichULVA::AbgleichSensor()
{
    const Mode mode = m_core.Mode();
    const int c = m_core.Channel();
    m_list->hide();
    m_lb1->setText(m_core.ChannelText(c));
    m_lbAD->show();
    m_edAD->show();
    m_ed1->setText(QStringLiteral("0"));
    m_ed1->hide();
    m_label1->hide();
    m_variLow->hide();
    m_variHigh->hide();
    m_edNull->hide();
    for (int r = 0; r < 3; ++r) {
        m_label[r]->setStyleSheet(QString());
        m_field[r]->setReadOnly(true);
        m_label[r]->hide();
        m_field[r]->hide();
        m_ok[r]->hide();
    }
    m_btnAbgleich->setText(GetText(75));
    auto rows = [&](int count, const QStringList &captions) {
        for (int r = 0; r < count; ++r) {
            m_label[r]->setText(captions.value(r));
            m_label[r]->show();
            m_field[r]->show();
            m_ok[r]->show();
        }
    };
    const QString junction = QStringLiteral("Kanalnummer der Vergleichsmessstelle.\nKeine Vergleichsmessstelle = Kanal 0.");
    switch (mode) {
    case Mode::PT100:
        rows(3, {QStringLiteral("60 °C simulieren"), QStringLiteral("20 °C simulieren"),
                 QStringLiteral("120 °C simulieren")});
        break;
    case Mode::NiCrLow:
        rows(2, {QStringLiteral("80°C simulieren"), QStringLiteral("10°C simulieren")});
        m_label1->setText(junction);
        m_label1->show();
        m_ed1->show();
        break;
    case Mode::NiCrNi:
        rows(3, {QStringLiteral("100°C simulieren"), QStringLiteral("300°C simulieren"),
                 QStringLiteral("20°C simulieren")});
        m_label1->setText(junction);
        m_label1->show();
        m_ed1->show();
        break;
    case Mode::NTC:
        rows(1, {QStringLiteral("482 Ohm (=90°C) simulieren")});
        break;
    case Mode::VariPos:
    case Mode::VariNeg:
        rows(3, {QStringLiteral("Kleineres Signal simulieren"), QStringLiteral("Größeres Signal simulieren"),
                 QStringLiteral("Nullpunkt simulieren")});
        m_variLow->setText(QStringLiteral("0"));
        m_variHigh->setText(QStringLiteral("100"));
        m_variLow->show();
        m_variHigh->show();
        break;
    case Mode::Direkt: {
        m_lb1->setText(m_lb1->text() + QStringLiteral("\nAnzeigen = (Daten * A)/B-C"));
        const auto words = m_core.PresentWords();
        const QStringList abc = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
        for (int r = 0; r < 3; ++r) {
            m_label[r]->setText(abc[r]);
            m_label[r]->show();
            m_field[r]->show();
            m_field[r]->setReadOnly(false);
            m_field[r]->setText(QString::number(words[size_t(r)]));
        }
        break;
    }
    case Mode::None:
        break;
    }
}

void TAbgleichULVA::Refresh()
{
    const Mode mode = m_core.Mode();
    if (mode == Mode::None) {
        if (m_shownMode != Mode::None || m_list->isHidden())
            AuswahlAnsicht();
        m_shownMode = Mode::None;
        return;
    }
    if (mode != m_shownMode || m_core.Channel() != m_shownChannel) {
        m_shownMode = mode;
        m_shownChannel = m_core.Channel();
        AbgleichSensor();
    }
    m_edAD->setText(m_core.LiveText());
    if (mode != Mode::Direkt) {
        for (int r = 0; r < 3; ++r) {
            const QString t = m_core.CaptureText(UlvaSession::Row(r));
            m_field[r]->setText(t);
            // A captured row turns green.
            m_label[r]->setStyleSheet(t != QLatin1String("?") ? QStringLiteral("color: green") : QString());
        }
    }
    TestBtn_OK();
}

UlvaSession::Typed TAbgleichULVA::TypedFields() const
{
    UlvaSession::Typed t;
    t.vLow = m_variLow->text();
    t.vHigh = m_variHigh->text();
    t.channelNumber = m_ed1->text();
    t.channelNumberShown = !m_ed1->isHidden();
    t.a = m_field[0]->text();
    t.b = m_field[1]->text();
    t.c = m_field[2]->text();
    return t;
}

void TAbgleichULVA::TestBtn_OK()
{
    if (!m_core.Active())
        return;
    m_btnAbgleich->setEnabled(m_core.TransferAllowed(TypedFields()));
}

void TAbgleichULVA::Btn_AbgleichClick()
{
    if (m_core.Active()) {
        m_core.Transfer(TypedFields());
        TestBtn_OK();
        return;
    }
    if (!m_core.Next())
        AuswahlAnsicht();
}

void TAbgleichULVA::Btn_AbbruchClick()
{
    if (m_core.Cancel())
        close();
}

void TFormMain::UlvaCalibrate()
{
    if (!m_main->Online)
        return;
    // The actual values would share the line with the live converter value.
    if (m_poller && m_poller->PageActive())
        m_main->CloseValues();
    if (m_main->ModemOnline) {
        m_prompter->warning(GetText(183));
        return;
    }
    if (!m_ulvaCalibration) {
        m_ulvaCalibration = new TAbgleichULVA(*m_main, this);
        TranslateNewWindow(m_ulvaCalibration);
        m_ulvaCalibration->ReadAgain = [this] {
            if (m_main->Online)
                ReadFromDevice();
        };
    }
    m_ulvaCalibration->show();
    m_ulvaCalibration->raise();
    m_ulvaCalibration->activateWindow();
}

TAbgleichULVA *TFormMain::UlvaCalibrationWindow() const { return m_ulvaCalibration; }
