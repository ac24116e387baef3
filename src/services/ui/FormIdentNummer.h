#pragma once
#include <QDialog>
#include <QString>

class MainController;
class QLabel;
class QLineEdit;
class QPushButton;

// The password dialog "Ident Nummer": identifies the user ("Ident") or takes the FBED
// number that a controller behind a modem must accept ("FBED").
class TFormIdentNummer : public QDialog
{
    Q_OBJECT
public:
    explicit TFormIdentNummer(MainController &main, QWidget *parent = nullptr);

    // Stores the mode and, for "Ident" or "FBED", shows the dialog modally. True when it
    // was closed with OK; any other mode does nothing and gives false.
    bool ShowMode(const QString &mode);
    // The non-modal part of ShowMode: mode stored, label set, edit cleared and focused.
    // False for an unknown mode.
    bool Prepare(const QString &mode);
    // What OK does with the entered text in the current mode (without closing).
    void Accept(const QString &text);

    QString Mode() const { return m_mode; }
    // The text confirmed last, upper-cased; stays after the dialog has closed.
    QString EnteredText() const { return m_entered; }
    // "FBED" mode: the last confirmed text was a whole number (the editor's EditAccepted).
    bool EditAccepted() const { return m_editAccepted; }
    int FbedNumber() const { return m_fbedNumber; }

    // The label text for a device type.
    static QString LabelText(int deviceType);

private:
    void OkClicked();

    MainController &m_main;
    QLabel *m_label = nullptr;
    QLineEdit *m_edit = nullptr;
    QPushButton *m_ok = nullptr;
    QPushButton *m_cancel = nullptr;
    QString m_mode;
    QString m_entered;
    bool m_editAccepted = false;
    int m_fbedNumber = 0;
};
