#pragma once
#include "calibration/OutputSim.h"
#include <QDialog>

class MainController;
class QLabel;
class QLineEdit;

// "Mirelo ULVA Ausgänge": one edit per channel; Enter writes that output. Non-modal; when it
// closes the outputs driven here go back to normal operation.
class TULVAAusgang : public QDialog
{
    Q_OBJECT
public:
    explicit TULVAAusgang(MainController &main, QWidget *parent = nullptr);

    OutputSim &Core() { return m_core; }
    QLineEdit *Edit(int n) const { return m_edits[n - 1]; }
    QLabel *Label(int n) const { return m_labels[n - 1]; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    OutputSim m_core;
    QLabel *m_text = nullptr;
    QLabel *m_labels[OutputSim::Outputs] = {};
    QLineEdit *m_edits[OutputSim::Outputs] = {};
};
