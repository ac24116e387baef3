#pragma once
#include <QDialog>
#include <functional>

class DeviceClock;
class MainController;
class QLabel;
class QPushButton;

// "Uhrstellen": the PC's and the device's date and time, refreshed by the clock's timer,
// and the button that sets the device clock to the PC's time.
class TUhrstellen : public QDialog
{
    Q_OBJECT
public:
    explicit TUhrstellen(MainController &main, QWidget *parent = nullptr);
    ~TUhrstellen() override;

    DeviceClock &Clock() { return *m_clock; }

    // Called when the window shows and hides: whoever polls actual values stops while the
    // clock uses the line.
    std::function<void()> PauseValues;
    std::function<void()> ResumeValues;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    DeviceClock *m_clock = nullptr;
    QLabel *m_pc = nullptr;
    QLabel *m_unit = nullptr;
    QPushButton *m_set = nullptr;
    QPushButton *m_cancel = nullptr;
};
