#include "services/ui/FormIdentNummer.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString kIdent = QStringLiteral("Ident");
const QString kFbed = QStringLiteral("FBED");
} // namespace

TFormIdentNummer::TFormIdentNummer(MainController &main, QWidget *parent) : QDialog(parent), m_main(main)
{
    setObjectName(QStringLiteral("FormIdentNummer"));
    setWindowTitle(QStringLiteral("Ident Nummer"));

    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("LB_Passwort"));
    m_label->setWordWrap(false);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Ed_Passwort"));
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }")); // '*'
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Btn_OK"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_cancel->setObjectName(QStringLiteral("Btn_Abbruch"));
    connect(m_ok, &QPushButton::clicked, this, &TFormIdentNummer::OkClicked);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_label);
    layout->addWidget(m_edit);
    layout->addSpacing(6);
    layout->addLayout(buttons);
    setMinimumWidth(320);
}

QString TFormIdentNummer::LabelText(int deviceType)
{
    QString text = GetText(43);
    if ((deviceType >= 0 && deviceType <= 31) || (deviceType >= 52 && deviceType <= 54))
        text += QLatin1Char('\n') + GetText(141);
    return text;
}

bool TFormIdentNummer::Prepare(const QString &mode)
{
    m_mode = mode;
    if (mode != kIdent && mode != kFbed)
        return false;
    m_label->setText(LabelText(m_main.Data.State.DeviceType));
    m_edit->clear();
    m_edit->setFocus();
    adjustSize();
    return true;
}

bool TFormIdentNummer::ShowMode(const QString &mode)
{
    if (!Prepare(mode))
        return false;
    return exec() == QDialog::Accepted;
}

void TFormIdentNummer::Accept(const QString &text)
{
    m_entered = text.toUpper();
    if (m_mode == kIdent) {
        AcceptIdent(m_main.Access, m_entered, m_main.Data.State.AccessCode);
        // The formatter reads the level from the device data.
        m_main.Data.AccessLevel = m_main.Access.Level;
        m_main.UpdateMenus();
    } else if (m_mode == kFbed) {
        int number = 0;
        m_editAccepted = FbedNumberValid(m_entered, &number);
        m_fbedNumber = m_editAccepted ? number : 0;
        if (!m_editAccepted)
            m_main.UserPrompter().information(GetText(314));
    }
}

void TFormIdentNummer::OkClicked()
{
    Accept(m_edit->text());
    accept();
}
