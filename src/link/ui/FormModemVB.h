#pragma once
#include "link/ModemText.h"
#include <QDialog>
#include <QVector>
#include <functional>

class MainController;
class ModemSession;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// "Modemverbindung": phone book and manual dialling, initialisation strings and free AT
// commands, hanging up, the modem's answers, the six modem lines, the modem test and the
// FBED identification. The connection itself is the session's: it goes on following the
// carrier when this window is closed.
class TFormModemVB : public QDialog
{
    Q_OBJECT
public:
    TFormModemVB(MainController &main, ModemSession &session, QWidget *parent = nullptr);

    // The main window's port choice and protocol entries, offered in this window's menu.
    std::function<void()> SelectPort;
    std::function<void(int)> ChooseProtocol;
    // Asks the FBED number ("FBED" mode of the ident dialog); false when cancelled.
    std::function<bool(QString *entered)> AskFbed;

    ModemText::Mode CommandMode() const { return m_mode; }
    QComboBox *NameList() const { return m_names; }
    QLineEdit *CommandLine() const { return m_line; }
    QLabel *CommandLabel() const { return m_label; }
    QPushButton *ModePanel(ModemText::Mode mode) const;
    QPushButton *IdentFbedPanel() const { return m_fbed; }
    QPushButton *ModemTestButton() const { return m_test; }
    QPushButton *HangUpButton() const { return m_hangUp; }
    QPushButton *CloseButton() const { return m_close; }
    QLabel *Indicator(int line) const { return m_indicators[line]; }
    QPlainTextEdit *Answers() const { return m_memo; }
    QLabel *StatusPanel(int n) const { return m_status[n]; }
    const QVector<ModemText::PhoneEntry> &Entries() const { return m_entries; }

    // The refresh timer's work, also callable directly.
    void Refresh();
    void ChooseName(int index);
    void SetMode(ModemText::Mode mode);
    void ExecuteLine();
    void SetBaud(const QString &baud);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void ShowStatus();
    void MarkMode();
    void FbedClicked();

    MainController &m_main;
    ModemSession &m_session;
    ModemText::Mode m_mode = ModemText::Mode::Dial;
    QVector<ModemText::PhoneEntry> m_entries; // the book's entries and "Manuelle Wahl"

    QMenuBar *m_menu = nullptr;
    QLabel *m_label = nullptr;
    QComboBox *m_names = nullptr;
    QLineEdit *m_line = nullptr;
    QPushButton *m_panels[3] = {};
    QPushButton *m_fbed = nullptr;
    QPushButton *m_test = nullptr;
    QPushButton *m_hangUp = nullptr;
    QPushButton *m_close = nullptr;
    QLabel *m_indicators[6] = {};
    QPlainTextEdit *m_memo = nullptr;
    QLabel *m_status[5] = {};
    QTimer *m_timer = nullptr;
};
