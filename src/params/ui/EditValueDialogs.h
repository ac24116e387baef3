#pragma once
#include "params/EditRequests.h"
#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QVector>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class TWerteAendern1;

// The editors' dialogs for values that are not a plain number. Each one only shows what
// its request computes and hands the checked controls back to the request's arithmetic.
// As with the numeric dialog, Prepare(...) fills a dialog without the modal loop; OK
// (the accept slot) then computes the result.

// Base of the family: OK and Abbruch, the accepted flag, and the designed size set again
// on every show.
class TEditDialogBase : public QDialog
{
    Q_OBJECT
public:
    bool EditAccepted() const { return m_accepted; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *CancelButton() const { return m_cancel; }

public slots:
    void reject() override;

protected:
    // clientSize: the size of the client area; with windowSize set the whole window
    // (frame included) gets that size instead.
    TEditDialogBase(QWidget *parent, const char *name, const QString &caption, QSize size, bool windowSize = false);
    void setDesignedSize(QSize size, bool windowSize);
    void applyDesignedSize();
    int run();
    // Closes with OK as accepted.
    void acceptAs(bool accepted);
    void showEvent(QShowEvent *event) override;
    void placeButtons(int okX, int okY, int cancelX, int cancelY);

    QPushButton *m_ok;
    QPushButton *m_cancel;
    bool m_accepted = false;

private:
    QSize m_size;
    bool m_windowSize = false;
};

// Yes/no: RadioGroup1 with the two texts.
class TWerteAendernJaNein : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 273;
    static constexpr int ClientHeight = 169;
    explicit TWerteAendernJaNein(QWidget *parent = nullptr);

    // Returns EditAccepted(); the answer is YesNoIndex().
    bool ShowJaNein(const YesNoRequest &request);
    void Prepare(const YesNoRequest &request);
    int YesNoIndex() const { return m_index; }

    QLabel *Label1() const { return m_label1; }
    QLabel *Label2() const { return m_label2; }
    QGroupBox *RadioGroup1() const { return m_group; }
    QRadioButton *Item(int i) const { return m_items[i]; }

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_label1;
    QLabel *m_label2;
    QGroupBox *m_group;
    QRadioButton *m_items[2];
    int m_index = 1;
};

// Choice of 8: Rb_1..Rb_6, Cb_1, Cb_2 in four group boxes.
class TWerteAendernAuswahl : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 273;
    static constexpr int ClientHeight = 394;
    explicit TWerteAendernAuswahl(QWidget *parent = nullptr);

    // Returns the new byte (valid when EditAccepted()).
    int Ini(const Choice8Request &request);
    void Prepare(const Choice8Request &request);
    int Result() const { return m_result; }

    QLabel *Label1() const { return m_label1; }
    // Control i of option i (0-5 Rb_1..Rb_6, 6 Cb_1, 7 Cb_2), and group box n (1..4).
    QAbstractButton *Control(int i) const { return m_controls[i]; }
    QGroupBox *GroupBox(int n) const { return m_boxes[n - 1]; }
    int CheckedMask() const;

public slots:
    void accept() override;

private:
    void cb2Toggled(bool checked);

    QLabel *m_label1;
    QGroupBox *m_boxes[4];
    QAbstractButton *m_controls[8];
    int m_result = 0;
};

// Choice of 16 option codes and four flags.
class TWerteAendernAuswahl16 : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 546;
    static constexpr int ClientHeight = 492;
    explicit TWerteAendernAuswahl16(QWidget *parent = nullptr);

    int Ini(const Choice16Request &request);
    void Prepare(const Choice16Request &request);
    int Result() const { return m_result; }
    Choice16Request::Checks CurrentChecks() const;

    QLabel *Label1() const { return m_label1; }
    QRadioButton *Rb(int k) const { return m_rb[k - 1]; } // k = 1..16
    QCheckBox *CB_17() const { return m_cb17; }
    QCheckBox *CB_18() const { return m_cb18; }
    QCheckBox *Cb_1() const { return m_cb1; }
    QCheckBox *Cb_2() const { return m_cb2; }
    QGroupBox *GroupBox(int n) const { return m_boxes[n - 1]; }

public slots:
    void accept() override;

private:
    void cb2Toggled(bool checked);

    Choice16Request m_request;
    QLabel *m_label1;
    QGroupBox *m_boxes[4];
    QRadioButton *m_rb[16];
    QCheckBox *m_cb17, *m_cb18, *m_cb1, *m_cb2;
    int m_result = 0;
};

// Choice of up to 18 option codes.
class TWerteAendern_PerRadioButton : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 546;
    static constexpr int ClientHeight = 380;
    explicit TWerteAendern_PerRadioButton(QWidget *parent = nullptr);

    int Ini(const RadioChoiceRequest &request);
    void Prepare(const RadioChoiceRequest &request);
    int Result() const { return m_result; }

    QLabel *Label1() const { return m_label1; }
    QRadioButton *Rb(int k) const { return m_rb[k - 1]; } // k = 1..18

public slots:
    void accept() override;

private:
    RadioChoiceRequest m_request;
    QLabel *m_label1;
    QRadioButton *m_rb[18];
    int m_result = 0;
};

// Bit word: CheckBox k is bit k (1..15); CheckBox16 stays hidden.
class TWerteAendernAuswahl16Check : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int WindowWidth = 562;
    static constexpr int WindowHeight = 395;
    explicit TWerteAendernAuswahl16Check(QWidget *parent = nullptr);

    int Ini(const BitWordRequest &request);
    void Prepare(const BitWordRequest &request);
    int Result() const { return m_result; }

    QLabel *Label1() const { return m_label1; }
    QCheckBox *CheckBox(int k) const { return m_boxes[k - 1]; } // k = 1..16

public slots:
    void accept() override;

private:
    QLabel *m_label1;
    QCheckBox *m_boxes[16];
    int m_result = 0;
};

// Label text in two lines.
class TWerteAendernFText : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 273;
    static constexpr int ClientHeight = 168;
    explicit TWerteAendernFText(QWidget *parent = nullptr);

    // record receives the new record; returns EditAccepted().
    bool Ini(const LabelTextRequest &request, QString &record);
    void Prepare(const LabelTextRequest &request);
    QString Record() const { return m_record; }

    QLabel *Label1() const { return m_label1; }
    QLabel *Lb_2() const { return m_lb2; }
    QLabel *Lb_3() const { return m_lb3; }
    QLineEdit *Ed_1() const { return m_ed1; }
    QLineEdit *Ed_2() const { return m_ed2; }

public slots:
    void accept() override;

private:
    LabelTextRequest m_request;
    QLabel *m_label1, *m_lb2, *m_lb3;
    QLineEdit *m_ed1, *m_ed2;
    QString m_record;
};

// Fault coding: four choices, or only the A/R choice in the reduced layout.
class TWerteAendernFehler : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int FullWidth = 386, FullHeight = 324;
    static constexpr int ReducedWidth = 370, ReducedHeight = 175;
    explicit TWerteAendernFehler(QWidget *parent = nullptr);

    // The flags are handed back whatever the result; EditAccepted() says whether to use them.
    bool ini(const FaultCodingRequest &request, FaultFlags &flags);
    void Prepare(const FaultCodingRequest &request);
    FaultFlags Flags() const { return m_flags; }
    QSize DesignedWindowSize() const;

    QLabel *Label1() const { return m_label1; }
    QLabel *Label2() const { return m_label2; }
    QComboBox *ComboBox(int n) const { return m_combos[n - 1]; } // n = 1..4

public slots:
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_label1, *m_label2;
    QComboBox *m_combos[4];
    FaultFlags m_flags;
    bool m_reduced = false;
};

// Relay or flag function from the function table, or a free hexadecimal entry.
class TWerteAendernRelais : public TEditDialogBase
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 510;
    static constexpr int ClientHeight = 481;
    explicit TWerteAendernRelais(QWidget *parent = nullptr);

    // Returns the chosen entry index; Answer() also holds the free entry.
    int ShowRelais(const RelayRequest &request);
    void Prepare(const RelayRequest &request);
    RelayAnswer Answer() const { return m_answer; }
    bool FreeEntryMode() const { return m_freeMode; }

    QLabel *Label1() const { return m_label1; }
    QLabel *Label2() const { return m_label2; }
    QListWidget *ListBox1() const { return m_list; }
    QLineEdit *Edit1() const { return m_edit; }

public slots:
    void accept() override;

private:
    void setFreeMode(bool on);
    void entryChosen(int row);

    QLabel *m_label1, *m_label2;
    QListWidget *m_list;
    QLineEdit *m_edit;
    RelayAnswer m_answer;
    bool m_freeMode = false;
};

// The editors' dialogs on screen: each made on first use as a child of the window and
// kept for the next question.
class GuiEditDialogs : public EditDialogs
{
public:
    // numberDialog: a numeric dialog the window already has, to be used instead of one of
    // our own (it stays the window's).
    explicit GuiEditDialogs(QWidget *parent, TWerteAendern1 *numberDialog = nullptr);
    ~GuiEditDialogs() override;
    GuiEditDialogs(const GuiEditDialogs &) = delete;
    GuiEditDialogs &operator=(const GuiEditDialogs &) = delete;

    bool AskNumber(const NumberRequest &request, float &value) override;
    bool AskYesNo(const YesNoRequest &request, int &index) override;
    bool AskChoice8(const Choice8Request &request, int &result) override;
    bool AskChoice16(const Choice16Request &request, int &result) override;
    bool AskRadioChoice(const RadioChoiceRequest &request, int &result) override;
    bool AskBitWord(const BitWordRequest &request, int &result) override;
    bool AskLabelText(const LabelTextRequest &request, QString &record) override;
    bool AskFaultCoding(const FaultCodingRequest &request, FaultFlags &flags) override;
    bool AskRelay(const RelayRequest &request, RelayAnswer &answer) override;

    TWerteAendern1 &NumberDialog();
    TWerteAendernJaNein &YesNoDialog();
    TWerteAendernAuswahl &Choice8Dialog();
    TWerteAendernAuswahl16 &Choice16Dialog();
    TWerteAendern_PerRadioButton &RadioChoiceDialog();
    TWerteAendernAuswahl16Check &BitWordDialog();
    TWerteAendernFText &LabelTextDialog();
    TWerteAendernFehler &FaultDialog();
    TWerteAendernRelais &RelayDialog();
    // All of them (made now if need be), e.g. for the list of windows to translate.
    QList<QDialog *> Dialogs();

private:
    template <typename Dialog>
    Dialog &get(QPointer<Dialog> &slot);

    QPointer<QWidget> m_parent;
    bool m_ownsDialogs;
    QList<QPointer<QDialog>> m_made;
    QPointer<TWerteAendern1> m_number;
    QPointer<TWerteAendernJaNein> m_yesNo;
    QPointer<TWerteAendernAuswahl> m_choice8;
    QPointer<TWerteAendernAuswahl16> m_choice16;
    QPointer<TWerteAendern_PerRadioButton> m_radio;
    QPointer<TWerteAendernAuswahl16Check> m_bitWord;
    QPointer<TWerteAendernFText> m_labelText;
    QPointer<TWerteAendernFehler> m_fault;
    QPointer<TWerteAendernRelais> m_relay;
};
