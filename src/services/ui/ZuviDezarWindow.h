#pragma once
#include "services/ZuviDezar.h"
#include <QDialog>
#include <QTimer>
#include <functional>

class MainController;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// "Mirelo Parametrierung ZuviDezar": the help text of the window, read from the data folder
// each time it is shown.
class TFormHelp : public QDialog
{
    Q_OBJECT
public:
    TFormHelp(MainController &main, QWidget *parent = nullptr);
    // Data folder + "ini/ZuviDezar" + language suffix + ".TXT".
    static QString HelpFile(const QString &languageSuffix);
    // Loads the text; false (with the message box) when the file cannot be read.
    bool Load();
    QPlainTextEdit *Memo() const { return m_memo; }

private:
    MainController &m_main;
    QPlainTextEdit *m_memo = nullptr;
};

// "ZuviDezar": the recipients of alarm calls, their SMS service centres, the outside-line
// prefix and the alarms that are reported, read from and written to the device directly.
class TZuviDezar : public QDialog
{
    Q_OBJECT
public:
    TZuviDezar(MainController &main, QWidget *parent = nullptr);
    ~TZuviDezar() override;

    ZuviDezar &Core() { return m_core; }
    QListWidget *AlarmList() const { return m_alarms; }
    QRadioButton *KindRadio(int master, int kind) const { return m_kind[master][kind]; }
    QLineEdit *NumberEdit(int master) const { return m_number[master]; }
    QLineEdit *SmscEdit(int master) const { return m_smsc[master]; }
    QLineEdit *OutsideEdit() const { return m_outside; }
    QPushButton *IdentButton() const { return m_ident; }
    QPushButton *HelpButton() const { return m_help; }
    TFormHelp *HelpWindow() const { return m_helpWindow; }
    bool Ready() const { return m_ready; }
    // Whether a field waits for its value to be confirmed by the device (shown yellow).
    static bool Unconfirmed(const QLineEdit *edit);
    // The timer's work: what the access level allows.
    void UpdateEnabling();

    // The access-code dialog of the main window ("IDENT").
    std::function<void()> ShowIdent;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void FillAlarms(const QVector<bool> &checks);
    void ShowMasters(bool ok);
    void MasterChanged(int master);
    int CheckedKind(int master) const;
    void MarkEdited(QLineEdit *edit, bool edited);
    bool Inputs() const;

    MainController &m_main;
    ZuviDezar m_core;
    QListWidget *m_alarms = nullptr;
    QGroupBox *m_panel[ZuviDezar::Masters] = {};
    QRadioButton *m_kind[ZuviDezar::Masters][5] = {};
    QLineEdit *m_number[ZuviDezar::Masters] = {};
    QLineEdit *m_smsc[ZuviDezar::Masters] = {};
    QLineEdit *m_outside = nullptr;
    QPushButton *m_ident = nullptr;
    QPushButton *m_help = nullptr;
    QPushButton *m_back = nullptr;
    TFormHelp *m_helpWindow = nullptr;
    QTimer m_timer;
    bool m_ready = false;
    bool m_filling = false; // the list is being filled, not clicked
};
