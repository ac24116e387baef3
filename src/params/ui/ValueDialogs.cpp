#include "params/ui/ValueDialogs.h"
#include "params/NumberFormat.h"
#include "shell/Texts.h"
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSlider>
#include <limits>

namespace {

const QString kAbbruch = QStringLiteral("Abbruch");

long long Pow10(int n)
{
    long long p = 1;
    for (int k = 0; k < n && k < 18; ++k)
        p *= 10;
    return p;
}

int ClampToInt(long long v)
{
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(v);
}

QPushButton *MakeButton(QWidget *parent, const char *name, const QString &text, int x, int y)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(x, y, 80, 26);
    return b;
}

} // namespace

// --- numeric value --------------------------------------------------------------------

TWerteAendern1::TWerteAendern1(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("WerteAendern1"));
    setWindowTitle(QStringLiteral("Mirelo Werteingabe"));
    setFixedSize(ClientWidth, ClientHeight);

    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setGeometry(8, 4, 257, 44);
    m_label1->setAlignment(Qt::AlignCenter);
    m_label1->setWordWrap(true);
    QFont bold = m_label1->font();
    bold.setBold(true);
    m_label1->setFont(bold);
    QPalette blue = m_label1->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    m_label1->setPalette(blue);

    m_label2 = new QLabel(this);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setGeometry(4, 50, 265, 18);
    m_label2->setAlignment(Qt::AlignCenter);

    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Edit1"));
    m_edit->setGeometry(68, 72, 137, 24);
    m_edit->setAlignment(Qt::AlignCenter);

    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("TrackBar1"));
    m_slider->setGeometry(8, 102, 257, 22);
    m_slider->setTickPosition(QSlider::NoTicks);

    m_ok = MakeButton(this, "Btn_Ok", QStringLiteral("OK"), 48, 134);
    m_ok->setDefault(true);
    m_cancel = MakeButton(this, "Btn_Abbruch", kAbbruch, 144, 134);

    connect(m_ok, &QPushButton::clicked, this, &TWerteAendern1::accept);
    connect(m_cancel, &QPushButton::clicked, this, &TWerteAendern1::reject);
    connect(m_slider, &QSlider::valueChanged, this, &TWerteAendern1::showPosition);
    // Enter in the field finishes the editing before the default button accepts, and so
    // does leaving the field: both only read a number; what is no number stays as typed
    // for accept() to refuse.
    connect(m_edit, &QLineEdit::editingFinished, this, [this] { ReadBack(); });
    connect(m_edit, &QLineEdit::textEdited, this, [this] {
        m_clampUnseen = false;
        restoreHint();
    });
}

long long TWerteAendern1::PositionOf(double value) const
{
    const double scaled = m_decimals >= 0 ? value * double(Pow10(m_decimals)) : value / double(Pow10(-m_decimals));
    return NumberFormat::RoundHalfEven(scaled);
}

float TWerteAendern1::ValueOf(int position) const
{
    // Dividing by a power of ten (not multiplying by its inverse) keeps 5250 / 100 at 52.5.
    if (m_decimals >= 0)
        return float(double(position) / double(Pow10(m_decimals)));
    return float(double(position) * double(Pow10(-m_decimals)));
}

QString TWerteAendern1::TextOf(int position) const
{
    if (m_hex) {
        const QString digits = QString::number(qAbs(qint64(position)), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        return position < 0 ? QLatin1Char('-') + digits : digits;
    }
    if (m_decimals <= 0)
        return QString::number(qint64(position) * Pow10(-m_decimals));
    // The exact position, written with the decimals: what the field shows is what OK takes.
    const long long scale = Pow10(m_decimals);
    const long long a = qAbs(qint64(position));
    QString text = QString::number(a / scale) + NumberFormat::DecimalSeparator() +
                   QString::number(a % scale).rightJustified(m_decimals, QLatin1Char('0'));
    return position < 0 ? QLatin1Char('-') + text : text;
}

void TWerteAendern1::showPosition(int position)
{
    m_edit->setText(TextOf(position));
}

TWerteAendern1::Reading TWerteAendern1::ReadBack()
{
    QString t = m_edit->text().trimmed();
    bool ok = false;
    long long position = 0;
    if (m_hex) {
        if (t.startsWith(QLatin1Char('$')))
            t.remove(0, 1);
        else if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            t.remove(0, 2);
        // An empty field is no number either: a value that was never typed is not taken.
        position = t.toLongLong(&ok, 16);
    } else {
        // The PC's separator, and the point, which every keyboard offers.
        t.replace(NumberFormat::DecimalSeparator(), QLatin1Char('.'));
        t.replace(QLatin1Char(','), QLatin1Char('.'));
        const double v = QLocale::c().toDouble(t, &ok);
        if (ok && qIsFinite(v) && qAbs(v) < 1e15)
            position = PositionOf(v);
        else
            ok = false;
    }
    if (!ok)
        return Reading::NotANumber;
    const bool inside = position >= m_slider->minimum() && position <= m_slider->maximum();
    const int before = m_slider->value();
    m_slider->setValue(ClampToInt(position)); // the slider keeps the value inside its limits
    if (m_slider->value() == before)
        showPosition(before);
    if (inside)
        return Reading::Exact;
    m_clampUnseen = true;
    highlightHint(m_hint);
    return Reading::Clamped;
}

void TWerteAendern1::highlightHint(const QString &text)
{
    m_label2->setText(text);
    m_label2->setStyleSheet(QStringLiteral("color: white; background-color: #b00000; font-weight: bold;"));
    m_hintHighlighted = true;
}

void TWerteAendern1::restoreHint()
{
    if (!m_hintHighlighted)
        return;
    m_label2->setText(m_hint);
    m_label2->setStyleSheet(QString());
    m_hintHighlighted = false;
}

void TWerteAendern1::Prepare(int decimals, const QString &caption, const QString &hint, float startValue,
                             float maximum, float minimum, bool hex)
{
    m_decimals = qBound(-9, decimals, 9);
    m_hex = hex;
    m_accepted = false;
    m_clampUnseen = false;
    m_hint = hint;
    m_label2->setText(hint);
    m_label2->setStyleSheet(QString());
    m_hintHighlighted = false;
    m_label1->setText(caption);
    const int lo = ClampToInt(PositionOf(minimum));
    const int hi = ClampToInt(PositionOf(maximum));
    QSignalBlocker block(m_slider);
    m_slider->setRange(lo, std::max(lo, hi));
    m_slider->setSingleStep(1);
    m_slider->setPageStep(std::max(1, (m_slider->maximum() - m_slider->minimum()) / 10));
    m_slider->setValue(ClampToInt(PositionOf(startValue)));
    m_value = ValueOf(m_slider->value());
    showPosition(m_slider->value());
}

bool TWerteAendern1::Ini(int decimals, const QString &caption, const QString &hint, float startValue, float maximum,
                         float minimum, bool hex)
{
    Prepare(decimals, caption, hint, startValue, maximum, minimum, hex);
    setFixedSize(ClientWidth, ClientHeight);
    exec();
    return m_accepted;
}

void TWerteAendern1::accept()
{
    if (ReadBack() == Reading::NotANumber) {
        highlightHint(GetText(128));
        m_edit->setFocus();
        m_edit->selectAll();
        QApplication::beep();
        return;
    }
    if (m_clampUnseen) {
        // The value was put inside the limits: the user sees the field change and the
        // limits highlighted, and confirms with a second OK.
        m_clampUnseen = false;
        m_edit->setFocus();
        m_edit->selectAll();
        return;
    }
    m_value = ValueOf(m_slider->value());
    m_accepted = true;
    QDialog::accept();
}

void TWerteAendern1::reject()
{
    m_accepted = false;
    QDialog::reject();
}

void TWerteAendern1::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_edit->setFocus();
    m_edit->selectAll();
}

// --- general choice -------------------------------------------------------------------

TFormWAECombobox::TFormWAECombobox(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormWAECombobox"));
    setFixedSize(ClientWidth, ClientHeight);
    m_prompt = new QLabel(this);
    m_prompt->setObjectName(QStringLiteral("LB_Prompt"));
    m_prompt->setGeometry(8, 6, 168, 30);
    m_prompt->setWordWrap(true);
    m_combo = new QComboBox(this);
    m_combo->setObjectName(QStringLiteral("CB_Auswahl"));
    m_combo->setGeometry(8, 40, 168, 26);
    m_combo->setEditable(false);
    m_ok = MakeButton(this, "Btn_Ok", QStringLiteral("OK"), 8, 84);
    m_ok->setDefault(true);
    m_cancel = MakeButton(this, "Btn_Abbruch", kAbbruch, 96, 84);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormWAECombobox::Prepare(const QString &caption, const QString &prompt, int index, const QString &text,
                               const QStringList &items)
{
    setWindowTitle(caption);
    m_prompt->setText(prompt);
    m_combo->clear();
    m_combo->addItems(items);
    const int byText = text.isEmpty() ? -1 : int(items.indexOf(text));
    const int chosen = byText >= 0 ? byText : index;
    m_combo->setCurrentIndex(chosen >= 0 && chosen < items.size() ? chosen : -1);
}

int TFormWAECombobox::ShowAuswahl(const QString &caption, const QString &prompt, int &index, QString &text,
                                  const QStringList &items)
{
    Prepare(caption, prompt, index, text, items);
    setFixedSize(ClientWidth, ClientHeight);
    const int result = exec();
    index = ItemIndex();
    text = ItemText();
    return result;
}

int TFormWAECombobox::ItemIndex() const { return m_combo->currentIndex(); }
QString TFormWAECombobox::ItemText() const { return m_combo->currentText(); }

void TFormWAECombobox::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_combo->setFocus();
}

// --- general text ---------------------------------------------------------------------

TFormAbfrageText::TFormAbfrageText(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAbfrageText"));
    setWindowTitle(QStringLiteral("Mirelo Texteingabe"));
    setFixedSize(ClientWidth, ClientHeight);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("LB_Text"));
    m_label->setGeometry(8, 6, 200, 30);
    m_label->setWordWrap(true);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName(QStringLiteral("Ed_Text"));
    m_edit->setGeometry(8, 40, 200, 24);
    m_ok = MakeButton(this, "Btn_Ok", QStringLiteral("OK"), 20, 84);
    m_ok->setDefault(true);
    m_cancel = MakeButton(this, "Btn_Abbruch", kAbbruch, 116, 84);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormAbfrageText::Prepare(const QString &prompt, const QString &text)
{
    m_label->setText(prompt);
    m_edit->setText(text);
}

int TFormAbfrageText::AskText(const QString &prompt, QString &text)
{
    Prepare(prompt, text);
    setFixedSize(ClientWidth, ClientHeight);
    const int result = exec();
    if (result == QDialog::Accepted)
        text = Text();
    return result;
}

QString TFormAbfrageText::Text() const { return m_edit->text(); }

void TFormAbfrageText::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_edit->setFocus();
}

// --- helpers --------------------------------------------------------------------------

namespace {

bool RunCombo(TFormWAECombobox &dlg, const QString &caption, const QString &prompt, const QStringList &items,
              int &index)
{
    int chosen = index;
    QString text;
    if (dlg.ShowAuswahl(caption, prompt, chosen, text, items) != QDialog::Accepted || chosen < 0)
        return false;
    index = chosen;
    return true;
}

bool RunText(TFormAbfrageText &dlg, const QString &prompt, QString &value)
{
    return dlg.AskText(prompt, value) == QDialog::Accepted;
}

bool RunValue(TWerteAendern1 &dlg, const QString &caption, const QString &hint, int decimals, double minimum,
              double maximum, double &value)
{
    if (!dlg.Ini(decimals, caption, hint, float(value), float(maximum), float(minimum)))
        return false;
    value = dlg.EditValue();
    return true;
}

bool RunHex(TWerteAendern1 &dlg, const QString &caption, const QString &hint, int minimum, int maximum, int &value)
{
    if (!dlg.Ini(0, caption, hint, float(value), float(maximum), float(minimum), true))
        return false;
    value = int(NumberFormat::RoundHalfEven(dlg.EditValue()));
    return true;
}

// The window's own instance of a dialog, made on first use.
template <typename Dialog>
Dialog *WindowDialog(QWidget *parent, const char *name)
{
    if (Dialog *existing = parent->findChild<Dialog *>(QLatin1String(name), Qt::FindDirectChildrenOnly))
        return existing;
    return new Dialog(parent);
}

} // namespace

DialogPrompter::~DialogPrompter()
{
    // Dialogs without a window are ours; the others go with their window.
    if (m_ownsDialogs) {
        delete m_value;
        delete m_combo;
        delete m_text;
    }
}

TWerteAendern1 &DialogPrompter::ValueDialog()
{
    if (!m_value) {
        m_ownsDialogs = m_ownsDialogs || !m_parent;
        m_value = new TWerteAendern1(m_parent);
    }
    return *m_value;
}

TFormWAECombobox &DialogPrompter::ComboDialog()
{
    if (!m_combo) {
        m_ownsDialogs = m_ownsDialogs || !m_parent;
        m_combo = new TFormWAECombobox(m_parent);
    }
    return *m_combo;
}

TFormAbfrageText &DialogPrompter::TextDialog()
{
    if (!m_text) {
        m_ownsDialogs = m_ownsDialogs || !m_parent;
        m_text = new TFormAbfrageText(m_parent);
    }
    return *m_text;
}

bool DialogPrompter::AskComboBox(const QString &caption, const QString &prompt, const QStringList &items, int &index)
{
    return RunCombo(ComboDialog(), caption, prompt, items, index);
}

bool DialogPrompter::AskText(const QString &prompt, QString &value) { return RunText(TextDialog(), prompt, value); }

bool DialogPrompter::AskValue(const QString &caption, const QString &hint, int decimals, double minimum,
                              double maximum, double &value)
{
    return RunValue(ValueDialog(), caption, hint, decimals, minimum, maximum, value);
}

bool DialogPrompter::AskHexValue(const QString &caption, const QString &hint, int minimum, int maximum, int &value)
{
    return RunHex(ValueDialog(), caption, hint, minimum, maximum, value);
}

bool AskComboBox(QWidget *parent, const QString &caption, const QString &prompt, const QStringList &items, int &index)
{
    if (!parent) {
        TFormWAECombobox dlg;
        return RunCombo(dlg, caption, prompt, items, index);
    }
    return RunCombo(*WindowDialog<TFormWAECombobox>(parent, "FormWAECombobox"), caption, prompt, items, index);
}

bool AskText(QWidget *parent, const QString &prompt, QString &value)
{
    if (!parent) {
        TFormAbfrageText dlg;
        return RunText(dlg, prompt, value);
    }
    return RunText(*WindowDialog<TFormAbfrageText>(parent, "FormAbfrageText"), prompt, value);
}

bool AskValue(QWidget *parent, const QString &caption, const QString &hint, int decimals, double minimum,
              double maximum, double &value)
{
    if (!parent) {
        TWerteAendern1 dlg;
        return RunValue(dlg, caption, hint, decimals, minimum, maximum, value);
    }
    return RunValue(*WindowDialog<TWerteAendern1>(parent, "WerteAendern1"), caption, hint, decimals, minimum, maximum,
                    value);
}

bool AskHexValue(QWidget *parent, const QString &caption, const QString &hint, int minimum, int maximum, int &value)
{
    if (!parent) {
        TWerteAendern1 dlg;
        return RunHex(dlg, caption, hint, minimum, maximum, value);
    }
    return RunHex(*WindowDialog<TWerteAendern1>(parent, "WerteAendern1"), caption, hint, minimum, maximum, value);
}
