#pragma once
#include "services/ProgramNumber.h"
#include <QDialog>

class MainController;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Programmnummer": switches the application program of an older controller. The set
// closes once the device has taken all three bytes.
class TProgrammnummer : public QDialog
{
    Q_OBJECT
public:
    TProgrammnummer(MainController &main, QWidget *parent = nullptr);

    ProgramNumber &Core() { return m_core; }
    QLabel *Programs() const { return m_programs; }
    QLineEdit *NumberEdit() const { return m_edit; }
    QGroupBox *Options() const { return m_group; }
    QRadioButton *WithButton() const { return m_with; }
    QRadioButton *WithoutButton() const { return m_without; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *CancelButton() const { return m_cancel; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    MainController &m_main;
    ProgramNumber m_core;
    QLabel *m_programs = nullptr;
    QLineEdit *m_edit = nullptr;
    QGroupBox *m_group = nullptr;
    QRadioButton *m_with = nullptr;
    QRadioButton *m_without = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
