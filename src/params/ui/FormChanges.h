#pragma once
#include "params/ParameterSender.h"
#include "shell/Texts.h"
#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// Before "Parameter zum Gerät" writes anything: the parameters whose value on the device
// differs from the loaded set, with both values, and the choice to send or not.
class TFormChanges : public QDialog
{
    Q_OBJECT
public:
    explicit TFormChanges(QWidget *parent = nullptr);

    // Shows the list modally; true when the user chose to send.
    bool Confirm(const QVector<ParameterChange> &changes);
    // Fills the window without showing it.
    void Prepare(const QVector<ParameterChange> &changes);

    QLabel *Label1() const { return m_label; }
    QTableWidget *Tbl_Changes() const { return m_table; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *CancelButton() const { return m_cancel; }

private:
    // Translated with the window ("FormChanges.CL_Texts.Consts_i"): the two sentences and
    // the column headers.
    TConstList m_texts;
    QLabel *m_label;
    QTableWidget *m_table;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};
