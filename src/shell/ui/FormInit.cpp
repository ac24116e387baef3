#include "shell/ui/FormInit.h"
#include "shell/MainController.h"
#include "shell/PrgInit.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TFmInit::TFmInit(MainController &main, QWidget *parent) : QDialog(parent), m_main(main)
{
    setObjectName(QStringLiteral("FmInit"));
    setWindowTitle(QStringLiteral("Einstellungen"));

    m_splash = new QCheckBox(QStringLiteral("Splashscreen beim Start"), this);
    m_splash->setObjectName(QStringLiteral("CB_Splash"));
    m_ident = new QCheckBox(QStringLiteral("Identabfrage beim Start"), this);
    m_ident->setObjectName(QStringLiteral("CB_Ident"));
    m_autoSave = new QCheckBox(QStringLiteral("Einstellungen beim Programmende speichern"), this);
    m_autoSave->setObjectName(QStringLiteral("CB_AutoSave"));

    m_folderLabel = new QLabel(QStringLiteral("Sollwertpfad"), this);
    m_folderLabel->setObjectName(QStringLiteral("LB_Sollwertpfad"));
    m_folder = new QLineEdit(this);
    m_folder->setObjectName(QStringLiteral("Ed_Sollwertpfad"));
    m_folder->setMinimumWidth(320);
    m_folderLabel->setBuddy(m_folder);
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_browse->setObjectName(QStringLiteral("Btn_Sollwertpfad"));
    m_browse->setFixedWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 24);

    m_retriesLabel = new QLabel(QStringLiteral("Wiederholungen"), this);
    m_retriesLabel->setObjectName(QStringLiteral("LB_Wiederholungen"));
    m_retries = new QSpinBox(this);
    m_retries->setObjectName(QStringLiteral("SE_Wiederholungen"));
    m_retries->setRange(0, Settings::MaxRetries);
    m_retriesLabel->setBuddy(m_retries);

    m_close = new QPushButton(QStringLiteral("Schließen"), this);
    m_close->setObjectName(QStringLiteral("Btn_Schliessen"));
    m_close->setDefault(true);
    m_save = new QPushButton(QStringLiteral("Speichern"), this);
    m_save->setObjectName(QStringLiteral("Btn_Speichern"));

    connect(m_browse, &QPushButton::clicked, this, &TFmInit::BrowseFolder);
    connect(m_close, &QPushButton::clicked, this, [this] {
        StoreToSettings();
        accept();
    });
    connect(m_save, &QPushButton::clicked, this, &TFmInit::Save);

    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(m_folder, 1);
    folderRow->addWidget(m_browse);
    auto *retriesRow = new QHBoxLayout;
    retriesRow->addWidget(m_retriesLabel);
    retriesRow->addWidget(m_retries);
    retriesRow->addStretch(1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_save);
    buttons->addWidget(m_close);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_splash);
    layout->addWidget(m_ident);
    layout->addWidget(m_autoSave);
    layout->addSpacing(8);
    layout->addWidget(m_folderLabel);
    layout->addLayout(folderRow);
    layout->addSpacing(8);
    layout->addLayout(retriesRow);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

void TFmInit::LoadFromSettings()
{
    const TPrgInit &init = m_main.Init;
    m_splash->setChecked(init.Splash);
    m_ident->setChecked(init.Ident);
    m_autoSave->setChecked(init.AutoSave);
    m_folder->setText(QDir::toNativeSeparators(init.ParamFolder));
    m_retries->setValue(m_main.Settings.Retries);
}

void TFmInit::StoreToSettings()
{
    TPrgInit &init = m_main.Init;
    init.Splash = m_splash->isChecked();
    init.Ident = m_ident->isChecked();
    init.AutoSave = m_autoSave->isChecked();
    init.ParamFolder = m_folder->text().trimmed();
    m_main.Settings.Retries = m_retries->value();
}

bool TFmInit::Save()
{
    StoreToSettings();
    return WriteSettings(m_main.Init, m_main.Settings, m_main.UserPrompter());
}

bool TFmInit::UseFolder(const QString &folder)
{
    const QString path = folder.trimmed();
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    if (info.exists() && !info.isDir())
        return false;
    if (!info.exists()) {
        // The folder browser lets the user type a new name; it is made only when wanted.
        Prompter &p = m_main.UserPrompter();
        if (!p.question(GetText(401).arg(QDir::toNativeSeparators(path))))
            return false;
        if (!QDir().mkpath(path)) {
            p.error(GetText(49) + QLatin1Char('\r') + QDir::toNativeSeparators(path));
            return false;
        }
    }
    m_folder->setText(QDir::toNativeSeparators(path));
    return true;
}

void TFmInit::BrowseFolder()
{
    QString start = m_folder->text().trimmed();
    while (!start.isEmpty() && !QFileInfo(start).isDir()) {
        const QString up = QFileInfo(start).path();
        if (up == start)
            break;
        start = up;
    }
    QFileDialog dialog(this, m_folderLabel->text(), start);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    UseFolder(dialog.selectedFiles().constFirst());
}

void TFmInit::showEvent(QShowEvent *event)
{
    LoadFromSettings();
    QDialog::showEvent(event);
}
