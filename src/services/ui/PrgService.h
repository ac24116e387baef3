#pragma once
#include "services/ProgramService.h"
#include <QDialog>

class MainController;
class ParameterSender;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

// "PrgService": maintenance interval, extra hours to stop after it, clearing the event memory,
// and 60 seconds of talking to the modem at the controller. A radio button reads the value it
// stands for (or opens the modem line); "Ausführen" writes it (or clears the memory).
class TPrgService : public QDialog
{
    Q_OBJECT
public:
    TPrgService(MainController &main, ParameterSender &sender, QWidget *parent = nullptr);

    ProgramService &Core() { return m_core; }
    QRadioButton *Radio(int n) const; // 1..4
    QLineEdit *ValueEdit() const { return m_edit; }
    QPlainTextEdit *Memo() const { return m_memo; }
    QPushButton *ExecuteButton() const { return m_execute; }
    QPushButton *CloseButton() const { return m_close; }
    QLineEdit *ModemEdit() const { return m_modemEdit; }
    QLabel *CountdownLabel() const { return m_countdown; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void RbClick();
    void AusfuehrenClick();
    ProgramService::Value Checked() const;
    void ModemLineEntered();
    void ShowModemLine(bool on);

    ProgramService m_core;
    QRadioButton *m_rb[4] = {};
    QLineEdit *m_edit = nullptr;
    QLabel *m_unit = nullptr;
    QPlainTextEdit *m_memo = nullptr;
    QPushButton *m_execute = nullptr;
    QPushButton *m_close = nullptr;
    QLineEdit *m_modemEdit = nullptr; // Edit1
    QLabel *m_countdown = nullptr;    // Label1
};
