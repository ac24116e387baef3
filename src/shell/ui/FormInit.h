#pragma once
#include <QDialog>
#include <QString>

class MainController;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The settings dialog "Einstellungen": start-up options and the folder of parameter files.
class TFmInit : public QDialog
{
    Q_OBJECT
public:
    explicit TFmInit(MainController &main, QWidget *parent = nullptr);

    // Fills the controls from the settings (done each time the dialog is shown).
    void LoadFromSettings();
    // Copies the controls into the settings.
    void StoreToSettings();
    // "Speichern": copies and writes the settings file; the dialog stays open.
    bool Save();
    // A folder from the folder browser: a missing one is created after asking. False when
    // the user declines or the folder cannot be made; the field then stays as it was.
    bool UseFolder(const QString &folder);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void BrowseFolder();

    MainController &m_main;
    QCheckBox *m_splash = nullptr;
    QCheckBox *m_ident = nullptr;
    QCheckBox *m_autoSave = nullptr;
    QLabel *m_folderLabel = nullptr;
    QLineEdit *m_folder = nullptr;
    QPushButton *m_browse = nullptr;
    QLabel *m_retriesLabel = nullptr;
    QSpinBox *m_retries = nullptr;
    QPushButton *m_close = nullptr;
    QPushButton *m_save = nullptr;
};
