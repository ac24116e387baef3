#include "services/ui/ZuviDezarWindow.h"
#include "shell/AnsiCodec.h"
#include "shell/DataDir.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
const char *const kEdited = "unconfirmed";
}

TFormHelp::TFormHelp(MainController &main, QWidget *parent) : QDialog(parent), m_main(main)
{
    setObjectName(QStringLiteral("FormHelp"));
    setWindowTitle(QStringLiteral("Mirelo Parametrierung ZuviDezar"));
    setModal(false);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("Memo1"));
    m_memo->setReadOnly(true);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_memo);
    resize(520, 420);
}

QString TFormHelp::HelpFile(const QString &languageSuffix)
{
    return DataDir::resolve(QStringLiteral("ini/ZuviDezar") + languageSuffix + QStringLiteral(".TXT"));
}

bool TFormHelp::Load()
{
    const QString path = HelpFile(m_main.Data.LanguageSuffix);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        m_main.UserPrompter().error(GetText(2) + QLatin1Char(' ') + path);
        return false;
    }
    m_memo->setPlainText(Ansi::decode(f.readAll()));
    return true;
}

TZuviDezar::TZuviDezar(MainController &main, QWidget *parent) : QDialog(parent), m_main(main), m_core(main)
{
    setObjectName(QStringLiteral("ZuviDezar"));
    setWindowTitle(QStringLiteral("ZuviDezar"));
    setModal(true);

    m_alarms = new QListWidget(this);
    m_alarms->setObjectName(QStringLiteral("CheckListBox1"));
    auto *alarmBox = new QGroupBox(QStringLiteral("Alarmierung durch Telefon / SMS"), this);
    alarmBox->setObjectName(QStringLiteral("GroupBoxAlarme"));
    auto *alarmLayout = new QVBoxLayout(alarmBox);
    alarmLayout->addWidget(m_alarms);
    auto *note = new QLabel(GetText(192), alarmBox);
    note->setObjectName(QStringLiteral("Label_Info1"));
    note->setWordWrap(true);
    alarmLayout->addWidget(note);

    auto *masters = new QGridLayout;
    auto *numberTitle = new QLabel(QStringLiteral("Rufnummer"), this);
    numberTitle->setObjectName(QStringLiteral("Label_Rufnummer"));
    masters->addWidget(numberTitle, 0, 1);
    masters->addWidget(new QLabel(QStringLiteral("SMSC"), this), 0, 2);
    const QStringList kinds = ZuviDezar::KindCaptions();
    for (int m = 0; m < ZuviDezar::Masters; ++m) {
        m_panel[m] = new QGroupBox(QStringLiteral("Master %1").arg(m + 1), this);
        m_panel[m]->setObjectName(QStringLiteral("Panel_Master%1").arg(m + 1));
        auto *radios = new QHBoxLayout(m_panel[m]);
        for (int k = 0; k < kinds.size(); ++k) {
            m_kind[m][k] = new QRadioButton(kinds[k], m_panel[m]);
            m_kind[m][k]->setObjectName(QStringLiteral("RB_Master%1_%2").arg(m + 1).arg(k));
            radios->addWidget(m_kind[m][k]);
            connect(m_kind[m][k], &QRadioButton::clicked, this, [this, m] { MasterChanged(m); });
        }
        m_number[m] = new QLineEdit(this);
        m_number[m]->setObjectName(QStringLiteral("Ed_Rufnummer%1").arg(m + 1));
        m_number[m]->setMaxLength(ZuviDezar::MaxDigits);
        m_smsc[m] = new QLineEdit(this);
        m_smsc[m]->setObjectName(QStringLiteral("Ed_SMSC%1").arg(m + 1));
        m_smsc[m]->setMaxLength(1);
        m_smsc[m]->setMaximumWidth(40);
        masters->addWidget(m_panel[m], m + 1, 0);
        masters->addWidget(m_number[m], m + 1, 1);
        masters->addWidget(m_smsc[m], m + 1, 2);
        connect(m_number[m], &QLineEdit::returnPressed, this, [this, m] { MasterChanged(m); });
        connect(m_smsc[m], &QLineEdit::returnPressed, this, [this] {
            if (Inputs())
                m_core.WriteSmsc({m_smsc[0]->text(), m_smsc[1]->text(), m_smsc[2]->text()});
        });
    }
    m_outside = new QLineEdit(this);
    m_outside->setObjectName(QStringLiteral("Ed_Amtsholung"));
    m_outside->setMaxLength(ZuviDezar::OutsideLineSize);
    connect(m_outside, &QLineEdit::returnPressed, this, [this] {
        if (Inputs())
            m_core.WriteOutsideLine(m_outside->text());
    });
    for (QLineEdit *e : {m_number[0], m_number[1], m_number[2], m_smsc[0], m_smsc[1], m_smsc[2], m_outside})
        connect(e, &QLineEdit::textEdited, this, [this, e] { MarkEdited(e, true); });
    auto *outsideRow = new QHBoxLayout;
    auto *outsideTitle = new QLabel(QStringLiteral("Amtsholung"), this);
    outsideTitle->setObjectName(QStringLiteral("Label_Amtsholung"));
    outsideRow->addWidget(outsideTitle);
    outsideRow->addWidget(m_outside);
    auto *modemNote = new QLabel(GetText(199), this);
    modemNote->setObjectName(QStringLiteral("Label_Info2"));

    m_ident = new QPushButton(QStringLiteral("IDENT"), this);
    m_ident->setObjectName(QStringLiteral("Btn_Ident"));
    m_help = new QPushButton(QStringLiteral("Hilfe"), this);
    m_help->setObjectName(QStringLiteral("Btn_Hilfe"));
    m_back = new QPushButton(QStringLiteral("Zurück"), this);
    m_back->setObjectName(QStringLiteral("Btn_Zurueck"));
    for (QPushButton *b : {m_ident, m_help, m_back})
        b->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_ident);
    buttons->addWidget(m_help);
    buttons->addStretch();
    buttons->addWidget(m_back);

    auto *right = new QVBoxLayout;
    right->addLayout(masters);
    right->addLayout(outsideRow);
    right->addWidget(modemNote);
    right->addStretch();
    right->addLayout(buttons);
    auto *layout = new QHBoxLayout(this);
    layout->addWidget(alarmBox);
    layout->addLayout(right);

    m_helpWindow = new TFormHelp(main, this);
    connect(m_help, &QPushButton::clicked, this, [this] {
        if (m_helpWindow->Load())
            m_helpWindow->show();
    });
    connect(m_ident, &QPushButton::clicked, this, [this] {
        if (ShowIdent)
            ShowIdent();
        UpdateEnabling();
    });
    connect(m_back, &QPushButton::clicked, this, &QDialog::close);
    connect(m_alarms, &QListWidget::itemChanged, this, [this](QListWidgetItem *) {
        if (m_filling || !Inputs())
            return;
        QVector<bool> checks;
        for (int i = 0; i < m_alarms->count(); ++i)
            checks << (m_alarms->item(i)->checkState() == Qt::Checked);
        // Refused before anything went out: the list shows the device's selection again.
        if (!m_core.WriteAlarms(checks))
            FillAlarms(m_core.ImageAlarmChecks());
    });
    connect(&m_core, &ZuviDezar::AlarmsDone, this, [this] { FillAlarms(m_core.ImageAlarmChecks()); });
    connect(&m_core, &ZuviDezar::MastersRead, this, &TZuviDezar::ShowMasters);
    // A write that was not confirmed leaves its fields yellow; the window takes input again.
    connect(&m_core, &ZuviDezar::Written, this, [this](bool ok) {
        if (!ok && m_core.HaveMasters())
            m_ready = true;
    });
    connect(&m_timer, &QTimer::timeout, this, &TZuviDezar::UpdateEnabling);
}

TZuviDezar::~TZuviDezar()
{
    m_timer.stop();
}

bool TZuviDezar::Unconfirmed(const QLineEdit *edit)
{
    return edit->property(kEdited).toBool();
}

void TZuviDezar::MarkEdited(QLineEdit *edit, bool edited)
{
    edit->setProperty(kEdited, edited);
    edit->setStyleSheet(edited ? QStringLiteral("background-color: yellow;") : QString());
}

bool TZuviDezar::Inputs() const
{
    return m_ready && m_main.Online && !m_main.OfflineFile && !m_core.Busy();
}

int TZuviDezar::CheckedKind(int master) const
{
    for (int k = 0; k < 5; ++k)
        if (m_kind[master][k]->isChecked())
            return k;
    return ZuviDezar::Aus;
}

void TZuviDezar::MasterChanged(int master)
{
    if (!Inputs())
        return;
    if (m_core.WriteMaster(master, CheckedKind(master), m_number[master]->text()))
        m_ready = false; // until the read-back has shown what the device took
}

void TZuviDezar::FillAlarms(const QVector<bool> &checks)
{
    m_filling = true;
    const int version = m_main.Data.Geraet.ProgramVersion;
    const int count = ZuviDezar::AlarmCount(version);
    if (m_alarms->count() != count) {
        m_alarms->clear();
        for (int i = 0; i < count; ++i) {
            const int t = ZuviDezar::AlarmTextIndex(version, i);
            auto *item = new QListWidgetItem(t < CL_ZLT().Consts.size() ? CL_ZLT().Consts.at(t) : QString(), m_alarms);
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        }
    }
    for (int i = 0; i < count; ++i)
        m_alarms->item(i)->setCheckState(i < checks.size() && checks[i] ? Qt::Checked : Qt::Unchecked);
    m_filling = false;
}

void TZuviDezar::ShowMasters(bool ok)
{
    if (!ok)
        return; // the fields keep their colour: nothing was confirmed
    for (int m = 0; m < ZuviDezar::Masters; ++m) {
        const ZuviDezar::MasterBytes b = m_core.Master(m);
        const int kind = ZuviDezar::KindOf(b);
        for (int k = 0; k < 5; ++k) {
            m_kind[m][k]->setAutoExclusive(false);
            m_kind[m][k]->setChecked(k == kind);
            m_kind[m][k]->setAutoExclusive(true);
        }
        m_number[m]->setText(ZuviDezar::DecodeNumber(b));
        m_smsc[m]->setText(QString::number(m_core.Smsc(m)));
        MarkEdited(m_number[m], false);
        MarkEdited(m_smsc[m], false);
    }
    m_outside->setText(m_core.OutsideLine());
    MarkEdited(m_outside, false);
    m_ready = true;
    UpdateEnabling();
}

void TZuviDezar::UpdateEnabling()
{
    const bool file = m_main.OfflineFile;
    const bool editable = ZuviDezar::Editable(m_main.Access.Level) && !file;
    m_outside->setEnabled(editable);
    m_alarms->setEnabled(editable);
    for (int m = 0; m < ZuviDezar::Masters; ++m) {
        m_panel[m]->setEnabled(!file);
        for (QRadioButton *rb : m_kind[m])
            rb->setEnabled(editable);
        m_number[m]->setEnabled(editable);
        m_smsc[m]->setEnabled(editable && ZuviDezar::UsesSmsc(CheckedKind(m)));
    }
}

void TZuviDezar::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_ready = false;
    for (int m = 0; m < ZuviDezar::Masters; ++m) {
        m_smsc[m]->setEnabled(false);
        for (QRadioButton *rb : m_kind[m])
            rb->setEnabled(false);
    }
    m_timer.setInterval(m_main.ModemOnline ? 500 : 100);
    FillAlarms(m_core.ImageAlarmChecks());
    if (m_main.Online && !m_main.OfflineFile)
        m_core.ReadMasters();
    UpdateEnabling();
    m_timer.start();
}

void TZuviDezar::closeEvent(QCloseEvent *event)
{
    m_timer.stop();
    m_main.LinkBusy = false;
    QDialog::closeEvent(event);
}
