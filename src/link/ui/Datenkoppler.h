#pragma once
#include "link/Coupler.h"
#include <QDialog>

class MainController;
class QLabel;
class QPushButton;
class QRadioButton;

// "SetPELK": the data coupler's speed towards the controller, and "PC Connect".
class TSetPELK : public QDialog
{
    Q_OBJECT
public:
    explicit TSetPELK(MainController &main, QWidget *parent = nullptr);

    Coupler &Core() { return m_core; }
    QRadioButton *Radio(int index) const; // 0..5, in the order of the speed table
    QLabel *Label() const { return m_label; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *ConnectButton() const { return m_connect; }
    QPushButton *HelpButton() const { return m_help; }
    // Index of the checked speed, -1 when none is.
    int Selected() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ClearSelection();
    void UpdateButtons();

    Coupler m_core;
    QLabel *m_label = nullptr;
    QRadioButton *m_radio[Coupler::SpeedCount] = {};
    QPushButton *m_help = nullptr;
    QPushButton *m_connect = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};
