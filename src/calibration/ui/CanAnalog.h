#pragma once
#include "calibration/CanAnalog.h"
#include <QDialog>

class MainController;
class ParameterSender;
class QListWidget;
class QPushButton;

// "Analogwerte CAN (J1939)": which analog values the controller takes over CAN. Modal; OK
// writes the mask and closes once the controller has confirmed it.
class TFormAnaCAN : public QDialog
{
    Q_OBJECT
public:
    TFormAnaCAN(MainController &main, ParameterSender &sender, QWidget *parent = nullptr);

    CanAnalog &Core() { return m_core; }
    QListWidget *List() const { return m_list; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *CancelButton() const { return m_cancel; }
    // Escape waits, like "Abbruch", while the mask is on the line.
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void Btn_OKClick();

    CanAnalog m_core;
    QListWidget *m_list = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
