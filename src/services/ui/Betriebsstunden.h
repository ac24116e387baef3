#pragma once
#include "services/OperatingHours.h"
#include <QDialog>

class MainController;
class ParameterSender;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Betriebsstunden": a radio click reads that counter, "Ausführen" writes the edit's value.
class TBetriebsstunden : public QDialog
{
    Q_OBJECT
public:
    TBetriebsstunden(MainController &main, ParameterSender &sender, QWidget *parent = nullptr);

    OperatingHours &Core() { return m_core; }
    QRadioButton *HoursButton() const { return m_rb1; }
    QRadioButton *StartsButton() const { return m_rb2; }
    QLineEdit *ValueEdit() const { return m_edit; }
    QLabel *UnitLabel() const { return m_unit; }
    QPushButton *ExecuteButton() const { return m_execute; }
    QPushButton *CloseButton() const { return m_close; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void RbClick(OperatingHours::Counter counter);
    void AusfuehrenClick();
    void ShowValue(bool ok, OperatingHours::Counter counter, quint32 value);
    OperatingHours::Counter Checked() const;

    OperatingHours m_core;
    QGroupBox *m_group = nullptr;
    QRadioButton *m_rb1 = nullptr;
    QRadioButton *m_rb2 = nullptr;
    QLineEdit *m_edit = nullptr;
    QLabel *m_unit = nullptr;
    QPushButton *m_execute = nullptr;
    QPushButton *m_close = nullptr;
};
