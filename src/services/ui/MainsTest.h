#pragma once
#include "services/MainsTest.h"
#include <QDialog>
#include <functional>

class MainController;
class ParameterSender;
class QLabel;
class QPushButton;

// "Netzausfalltest": starts and stops the controller's mains-failure test and shows its
// remaining time. Non-modal; what it runs on the PC stops when it is closed.
class TForm1 : public QDialog
{
    Q_OBJECT
public:
    TForm1(MainController &main, ParameterSender &sender, QWidget *parent = nullptr);

    MainsTest &Core() { return m_core; }
    QLabel *TimeLabel() const { return m_label2; }
    QPushButton *StartButton() const { return m_button1; }
    QPushButton *StopButton() const { return m_button2; }

    // The actual values wait while the window shows: its polls share the line.
    std::function<void()> PauseValues;
    std::function<void()> ResumeValues;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void UpdateButtons();

    MainsTest m_core;
    QLabel *m_label1 = nullptr;
    QLabel *m_label2 = nullptr;
    QPushButton *m_button1 = nullptr;
    QPushButton *m_button2 = nullptr;
};
