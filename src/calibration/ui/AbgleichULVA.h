#pragma once
#include "calibration/UlvaSession.h"
#include <QDialog>
#include <functional>

class MainController;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// "Abgleich ULVA": the channel list and the capture screen of one channel. Non-modal; the
// calibration itself lives in UlvaSession.
class TAbgleichULVA : public QDialog
{
    Q_OBJECT
public:
    explicit TAbgleichULVA(MainController &main, QWidget *parent = nullptr);

    UlvaSession &Core() { return m_core; }
    // Run when the window closes after a channel was written: the parameters are read again
    // so that the image holds the module's new words.
    std::function<void()> ReadAgain;

    QListWidget *ChannelList() const { return m_list; }
    QPushButton *MainButton() const { return m_btnAbgleich; }
    QPushButton *CancelButton() const { return m_btnAbbruch; }
    QPushButton *OkButton(int row) const { return m_ok[row]; }
    QLineEdit *CaptureField(int row) const { return m_field[row]; }
    QLabel *CaptureLabel(int row) const { return m_label[row]; }
    QLineEdit *LiveField() const { return m_edAD; }
    QLineEdit *VariLow() const { return m_variLow; }
    QLineEdit *VariHigh() const { return m_variHigh; }
    QLineEdit *ChannelNumber() const { return m_ed1; }
    QLabel *Title() const { return m_lb1; }
    QLabel *Status() const { return m_status; }

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void AuswahlAnsicht();
    void AbgleichSensor();
    void Refresh();
    void TestBtn_OK();
    UlvaSession::Typed TypedFields() const;
    void Btn_AbgleichClick();
    void Btn_AbbruchClick();

    UlvaSession m_core;
    QLabel *m_lb1 = nullptr;
    QListWidget *m_list = nullptr;
    QPushButton *m_btnAbgleich = nullptr;
    QPushButton *m_btnAbbruch = nullptr;
    QLabel *m_lbAD = nullptr;
    QLineEdit *m_edAD = nullptr;
    QLabel *m_label[3] = {};
    QLineEdit *m_field[3] = {};
    QPushButton *m_ok[3] = {};
    QLineEdit *m_variLow = nullptr;
    QLineEdit *m_variHigh = nullptr;
    QLineEdit *m_edNull = nullptr;
    QLineEdit *m_ed1 = nullptr;
    QLabel *m_label1 = nullptr;
    QLabel *m_status = nullptr;
    Ulva::Mode m_shownMode = Ulva::Mode::None;
    int m_shownChannel = -1;
    bool m_filling = false;
};
