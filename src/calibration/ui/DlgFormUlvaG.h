#pragma once
#include "calibration/UlvaWizard.h"
#include <QDialog>

class MainController;
class QLabel;
class QPushButton;
class QStackedWidget;

// "Grundabgleich des ULVA 9611": the modal wizard of the module's basic calibration. It
// closes only when the module has switched its calibration mode off, or when the user
// knowingly leaves it on.
class TDlgForm_UlvaG : public QDialog
{
    Q_OBJECT
public:
    explicit TDlgForm_UlvaG(MainController &main, QWidget *parent = nullptr);

    UlvaWizard &Core() { return m_core; }
    QStackedWidget *Pages() const { return m_pages; }
    QPushButton *PageButton(int page) const { return m_buttons[page]; }
    QPushButton *BackButton() const { return m_back; }
    QLabel *StepLabel() const { return m_step; }

    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void Refresh();

    UlvaWizard m_core;
    QStackedWidget *m_pages = nullptr;
    QPushButton *m_buttons[5] = {};
    QPushButton *m_back = nullptr;
    QLabel *m_step = nullptr;
    bool m_mayClose = false;
};
