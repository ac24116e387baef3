#pragma once
#include "calibration/CalibrationRun.h"
#include <QDialog>
#include <functional>
#include <memory>

class MainController;
class QLabel;
class QPushButton;

// The calibration dialog of the controllers: the step title, the instruction with the
// nominal value, what was last written, "OK" to measure the shown point and "Abbruch" to go
// on to the next pair. Everything it shows comes from CalibrationRun.
class TAbgleichDialog : public QDialog
{
    Q_OBJECT
public:
    TAbgleichDialog(MainController &main, CalibrationRun::Family family, QWidget *parent = nullptr);
    ~TAbgleichDialog() override;

    // Reads the table and shows the dialog; false (messages shown, nothing opened) when the
    // table cannot be used.
    bool Start();
    CalibrationRun *Run() const { return m_run.get(); }
    QLabel *Title() const { return m_lb1; }
    QLabel *Instruction() const { return m_lb2; }
    QLabel *Written() const { return m_lb3; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *CancelButton() const { return m_cancel; }

    // Runs when the dialog has closed and the run asks for the factory-setting transfer.
    std::function<void()> FactorySetting;

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void Refresh();
    void Closed();

    MainController &m_main;
    CalibrationRun::Family m_family;
    std::unique_ptr<CalibrationRun> m_run;
    QLabel *m_lb1 = nullptr;
    QLabel *m_lb2 = nullptr;
    QLabel *m_lb3 = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
};

// "Abgleich ZEV 101 - Z112".
class TAbgleich101 : public TAbgleichDialog
{
    Q_OBJECT
public:
    explicit TAbgleich101(MainController &main, QWidget *parent = nullptr);
};
