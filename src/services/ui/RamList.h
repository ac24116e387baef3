#pragma once
#include "services/RamList.h"
#include <QDialog>
#include <QVector>

class MainController;
class ParameterSender;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// "RAM 2E2C - 2E99": the protection diagnosis, each item in its own read-only field.
// "Daten holen" reads both blocks, "Reset" clears the diagnosis bit.
class TRAM_Liste : public QDialog
{
    Q_OBJECT
public:
    TRAM_Liste(MainController &main, ParameterSender &sender, QWidget *parent = nullptr);

    RamList &Core() { return m_core; }
    // The field "Edit1".."Edit56" (no "Edit3"); nullptr for another name.
    QLineEdit *FieldEdit(const QString &name) const;
    QPlainTextEdit *CycleMemo() const { return m_memo; }
    QPushButton *ReadButton() const { return m_read; }
    QPushButton *ResetButton() const { return m_reset; }
    QPushButton *CloseButton() const { return m_close; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void ShowValues(bool ok);
    void Clear();

    RamList m_core;
    QVector<QLineEdit *> m_edits; // in the order of RamList::Fields()
    QPlainTextEdit *m_memo = nullptr;
    QPushButton *m_read = nullptr;
    QPushButton *m_reset = nullptr;
    QPushButton *m_close = nullptr;
};
