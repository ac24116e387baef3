#pragma once
#include <QDialog>
#include <QPointer>
#include <QString>
#include <QStringList>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

// The input dialogs of the value editors: each is created once, shown modally as often
// as needed and sets its designed client size on every show. Every dialog also has a
// path without a modal loop (Prepare..., then Accept()/reject()) for code that drives it
// itself, such as the tests.

// Numeric value: caption, hint, an edit field and a slider over the limits.
class TWerteAendern1 : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 273;
    static constexpr int ClientHeight = 168;

    explicit TWerteAendern1(QWidget *parent = nullptr);

    // decimals: signed; negative values show no decimals and move the slider in steps of
    // 10^-decimals. hex: the value is shown and typed as four hexadecimal digits (the
    // editor's codes 1 and 8). Returns whether the dialog was closed with OK; the value
    // is then EditValue().
    bool Ini(int decimals, const QString &caption, const QString &hint, float startValue, float maximum,
             float minimum, bool hex = false);
    // The same without showing the dialog.
    void Prepare(int decimals, const QString &caption, const QString &hint, float startValue, float maximum,
                 float minimum, bool hex = false);

    float EditValue() const { return m_value; }
    bool EditAccepted() const { return m_accepted; }
    bool HexMode() const { return m_hex; }
    int Decimals() const { return m_decimals; }
    // Slider position of a value (value × 10^decimals, rounded), and the value of a position.
    long long PositionOf(double value) const;
    float ValueOf(int position) const;
    // The edit field's text for a slider position.
    QString TextOf(int position) const;
    // What reading the edit field gave.
    enum class Reading { Exact, Clamped, NotANumber };
    // Reads the edit field into the slider, clamped to the limits (the field then shows the
    // clamped value). A text that is not a number is left in the field as typed and the
    // slider keeps its value, so that nothing the user did not type is ever taken.
    Reading ReadBack();
    // The hint line currently says that the last input was refused or clamped.
    bool HintHighlighted() const { return m_hintHighlighted; }

    QLabel *Label1() const { return m_label1; }
    QLabel *Label2() const { return m_label2; }
    QLineEdit *Edit1() const { return m_edit; }
    QSlider *TrackBar1() const { return m_slider; }
    QPushButton *OkButton() const { return m_ok; }
    QPushButton *CancelButton() const { return m_cancel; }

public slots:
    // OK: reads the edit field back first; a text that is no number keeps the dialog open.
    void accept() override;
    void reject() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showPosition(int position);
    void highlightHint(const QString &text);
    void restoreHint();

    QLabel *m_label1;
    QLabel *m_label2;
    QLineEdit *m_edit;
    QSlider *m_slider;
    QPushButton *m_ok;
    QPushButton *m_cancel;
    int m_decimals = 0;
    bool m_hex = false;
    float m_value = 0;
    bool m_accepted = false;
    QString m_hint;
    bool m_hintHighlighted = false;
    // A clamp the user has not seen yet: the next OK only shows it.
    bool m_clampUnseen = false;
};

// General choice from a drop-down list.
class TFormWAECombobox : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 184;
    static constexpr int ClientHeight = 120;

    explicit TFormWAECombobox(QWidget *parent = nullptr);

    // Preselects the item equal to text when text is not empty, else the item at index.
    // After closing, index and text hold the list's choice whatever the result. Returns
    // the modal result (QDialog::Accepted or Rejected).
    int ShowAuswahl(const QString &caption, const QString &prompt, int &index, QString &text,
                    const QStringList &items);
    void Prepare(const QString &caption, const QString &prompt, int index, const QString &text,
                 const QStringList &items);
    int ItemIndex() const;
    QString ItemText() const;

    QLabel *LB_Prompt() const { return m_prompt; }
    QComboBox *CB_Auswahl() const { return m_combo; }
    QPushButton *OkButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_prompt;
    QComboBox *m_combo;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

// General text input.
class TFormAbfrageText : public QDialog
{
    Q_OBJECT
public:
    static constexpr int ClientWidth = 216;
    static constexpr int ClientHeight = 120;

    explicit TFormAbfrageText(QWidget *parent = nullptr);

    // Only with OK does text receive the field's content. Returns the modal result.
    int AskText(const QString &prompt, QString &text);
    void Prepare(const QString &prompt, const QString &text);
    QString Text() const;

    QLabel *LB_Text() const { return m_label; }
    QLineEdit *Ed_Text() const { return m_edit; }
    QPushButton *OkButton() const { return m_ok; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLabel *m_label;
    QLineEdit *m_edit;
    QPushButton *m_ok;
    QPushButton *m_cancel;
};

// The three dialogs of one window, each created on first use and kept for the next.
class DialogPrompter
{
public:
    explicit DialogPrompter(QWidget *parent) : m_parent(parent), m_ownsDialogs(parent == nullptr) {}
    ~DialogPrompter();
    DialogPrompter(const DialogPrompter &) = delete;
    DialogPrompter &operator=(const DialogPrompter &) = delete;

    TWerteAendern1 &ValueDialog();
    TFormWAECombobox &ComboDialog();
    TFormAbfrageText &TextDialog();

    bool AskComboBox(const QString &caption, const QString &prompt, const QStringList &items, int &index);
    bool AskText(const QString &prompt, QString &value);
    bool AskValue(const QString &caption, const QString &hint, int decimals, double minimum, double maximum,
                  double &value);
    bool AskHexValue(const QString &caption, const QString &hint, int minimum, int maximum, int &value);

private:
    QPointer<QWidget> m_parent;
    bool m_ownsDialogs;
    QPointer<TWerteAendern1> m_value;
    QPointer<TFormWAECombobox> m_combo;
    QPointer<TFormAbfrageText> m_text;
};

// The same for callers that keep no DialogPrompter: the dialogs of the given window are
// reused (they live as long as the window); without a window a dialog is made for the
// one question.
bool AskComboBox(QWidget *parent, const QString &caption, const QString &prompt, const QStringList &items,
                 int &index);
bool AskText(QWidget *parent, const QString &prompt, QString &value);
bool AskValue(QWidget *parent, const QString &caption, const QString &hint, int decimals, double minimum,
              double maximum, double &value);
bool AskHexValue(QWidget *parent, const QString &caption, const QString &hint, int minimum, int maximum,
                 int &value);
