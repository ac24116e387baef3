#include "params/ui/EditValueDialogs.h"
#include "params/ui/ValueDialogs.h"
#include "shell/Texts.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {

template <typename Widget>
Widget *Make(QWidget *parent, const char *name, int x, int y, int w, int h)
{
    auto *widget = new Widget(parent);
    widget->setObjectName(QLatin1String(name));
    widget->setGeometry(x, y, w, h);
    return widget;
}

template <typename Widget>
Widget *MakeNumbered(QWidget *parent, const char *stem, int n, int x, int y, int w, int h)
{
    const QByteArray name = QByteArray(stem) + QByteArray::number(n);
    return Make<Widget>(parent, name.constData(), x, y, w, h);
}

QLabel *MakeCaptionLabel(QWidget *parent, int x, int y, int w, int h)
{
    auto *label = Make<QLabel>(parent, "Label1", x, y, w, h);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// Auto-exclusive radio buttons refuse to be unchecked one by one.
void Uncheck(QAbstractButton *button)
{
    if (!button->isChecked())
        return;
    const bool exclusive = button->autoExclusive();
    button->setAutoExclusive(false);
    button->setChecked(false);
    button->setAutoExclusive(exclusive);
}

// The legends come with the table's carriage returns.
QString LabelLines(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

// --- common frame ----------------------------------------------------------------------

TEditDialogBase::TEditDialogBase(QWidget *parent, const char *name, const QString &caption, QSize size,
                                 bool windowSize)
    : QDialog(parent)
{
    setObjectName(QLatin1String(name));
    setWindowTitle(caption);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    m_ok->setObjectName(QStringLiteral("Btn_Ok"));
    m_ok->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Abbruch"), this);
    m_cancel->setObjectName(QStringLiteral("Btn_Abbruch"));
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    setDesignedSize(size, windowSize);
}

void TEditDialogBase::setDesignedSize(QSize size, bool windowSize)
{
    m_size = size;
    m_windowSize = windowSize;
    applyDesignedSize();
}

void TEditDialogBase::applyDesignedSize()
{
    QSize client = m_size;
    // The frame is known only once the window is up; until then the whole size is a
    // first guess that the show corrects.
    if (m_windowSize && isVisible())
        client -= frameGeometry().size() - size();
    setFixedSize(client);
}

void TEditDialogBase::placeButtons(int okX, int okY, int cancelX, int cancelY)
{
    m_ok->setGeometry(okX, okY, 80, 26);
    m_cancel->setGeometry(cancelX, cancelY, 80, 26);
}

int TEditDialogBase::run()
{
    applyDesignedSize();
    return exec();
}

void TEditDialogBase::acceptAs(bool accepted)
{
    m_accepted = accepted;
    QDialog::accept();
}

void TEditDialogBase::reject()
{
    m_accepted = false;
    QDialog::reject();
}

void TEditDialogBase::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    applyDesignedSize();
}

// --- yes/no ----------------------------------------------------------------------------

TWerteAendernJaNein::TWerteAendernJaNein(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendernJaNein", QStringLiteral("Mirelo Eingabe "), {ClientWidth, ClientHeight})
{
    m_label1 = Make<QLabel>(this, "Label1", 8, 4, 257, 20);
    m_label1->setAlignment(Qt::AlignCenter);
    m_label2 = Make<QLabel>(this, "Label2", 8, 26, 257, 20);
    m_label2->setAlignment(Qt::AlignCenter);
    m_group = Make<QGroupBox>(this, "RadioGroup1", 8, 50, 257, 74);
    for (int i = 0; i < 2; ++i) {
        // Unnamed: the items of the radio group.
        m_items[i] = new QRadioButton(m_group);
        m_items[i]->setGeometry(12, 20 + 24 * i, 237, 22);
    }
    placeButtons(48, 134, 144, 134);
}

void TWerteAendernJaNein::Prepare(const YesNoRequest &request)
{
    m_accepted = false;
    m_label1->setText(request.Hint);
    m_label2->setText(request.Caption);
    m_items[0]->setText(request.YesText);
    m_items[1]->setText(request.NoText);
    m_index = request.Preselected();
    m_items[m_index]->setChecked(true);
}

bool TWerteAendernJaNein::ShowJaNein(const YesNoRequest &request)
{
    Prepare(request);
    run();
    return m_accepted;
}

void TWerteAendernJaNein::accept()
{
    m_index = m_items[0]->isChecked() ? 0 : 1;
    acceptAs(true);
}

void TWerteAendernJaNein::showEvent(QShowEvent *event)
{
    TEditDialogBase::showEvent(event);
    m_items[m_items[0]->isChecked() ? 0 : 1]->setFocus();
}

// --- choice of 8 -----------------------------------------------------------------------

namespace {
// Group box (1..4) of control i.
int Choice8Box(int i) { return i < 4 ? 3 : i < 6 ? 4 : i == 6 ? 1 : 2; }
} // namespace

TWerteAendernAuswahl::TWerteAendernAuswahl(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendernAuswahl", QStringLiteral("Mirelo Eingabe"), {ClientWidth, ClientHeight})
{
    m_label1 = MakeCaptionLabel(this, 8, 4, 257, 40);
    m_boxes[2] = MakeNumbered<QGroupBox>(this, "GroupBox", 3, 8, 48, 257, 124);
    m_boxes[3] = MakeNumbered<QGroupBox>(this, "GroupBox", 4, 8, 176, 257, 72);
    m_boxes[0] = MakeNumbered<QGroupBox>(this, "GroupBox", 1, 8, 252, 257, 46);
    m_boxes[1] = MakeNumbered<QGroupBox>(this, "GroupBox", 2, 8, 302, 257, 46);
    for (int i = 0; i < 6; ++i) {
        const int row = i < 4 ? i : i - 4;
        m_controls[i] = MakeNumbered<QRadioButton>(m_boxes[Choice8Box(i) - 1], "Rb_", i + 1, 12, 18 + 25 * row, 237, 22);
    }
    m_controls[6] = Make<QCheckBox>(m_boxes[0], "Cb_1", 12, 18, 237, 22);
    m_controls[7] = Make<QCheckBox>(m_boxes[1], "Cb_2", 12, 18, 237, 22);
    connect(m_controls[7], &QAbstractButton::toggled, this, &TWerteAendernAuswahl::cb2Toggled);
    placeButtons(48, 358, 144, 358);
}

void TWerteAendernAuswahl::cb2Toggled(bool checked)
{
    for (int i = 0; i < 7; ++i) {
        if (checked)
            Uncheck(m_controls[i]);
        m_controls[i]->setEnabled(!checked);
    }
}

void TWerteAendernAuswahl::Prepare(const Choice8Request &request)
{
    m_accepted = false;
    m_label1->setText(request.Caption);
    for (QGroupBox *box : m_boxes)
        box->hide();
    for (QAbstractButton *control : m_controls) {
        Uncheck(control);
        control->setEnabled(true);
    }
    const int visible = request.VisibleControls();
    const int checked = request.CheckedOnShow();
    for (int i = 0; i < 8; ++i) {
        m_controls[i]->setText(request.Options[size_t(i)]);
        if (visible & (1 << i))
            m_boxes[Choice8Box(i) - 1]->show();
        if (checked & (1 << i))
            m_controls[i]->setChecked(true);
    }
    m_result = Choice8Request::Result(CheckedMask());
}

int TWerteAendernAuswahl::CheckedMask() const
{
    int mask = 0;
    for (int i = 0; i < 8; ++i)
        if (m_controls[i]->isChecked())
            mask |= 1 << i;
    return mask;
}

int TWerteAendernAuswahl::Ini(const Choice8Request &request)
{
    Prepare(request);
    run();
    return m_result;
}

void TWerteAendernAuswahl::accept()
{
    m_result = Choice8Request::Result(CheckedMask());
    acceptAs(true);
}

// --- choice of 16 and flags ------------------------------------------------------------

TWerteAendernAuswahl16::TWerteAendernAuswahl16(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendernAuswahl16", QStringLiteral("Mirelo Eingabe"), {ClientWidth, ClientHeight})
{
    m_label1 = MakeCaptionLabel(this, 8, 4, 530, 40);
    m_boxes[2] = MakeNumbered<QGroupBox>(this, "GroupBox", 3, 8, 48, 530, 218);
    m_boxes[3] = MakeNumbered<QGroupBox>(this, "GroupBox", 4, 8, 272, 530, 72);
    m_boxes[0] = MakeNumbered<QGroupBox>(this, "GroupBox", 1, 8, 350, 530, 46);
    m_boxes[1] = MakeNumbered<QGroupBox>(this, "GroupBox", 2, 8, 402, 530, 46);
    for (int k = 0; k < 16; ++k)
        m_rb[k] = MakeNumbered<QRadioButton>(m_boxes[2], "Rb_", k + 1, 12 + 260 * (k / 8), 18 + 24 * (k % 8), 250, 22);
    m_cb17 = Make<QCheckBox>(m_boxes[3], "CB_17", 12, 18, 506, 22);
    m_cb18 = Make<QCheckBox>(m_boxes[3], "CB_18", 12, 43, 506, 22);
    m_cb1 = Make<QCheckBox>(m_boxes[0], "Cb_1", 12, 18, 506, 22);
    m_cb2 = Make<QCheckBox>(m_boxes[1], "Cb_2", 12, 18, 506, 22);
    connect(m_cb2, &QAbstractButton::toggled, this, &TWerteAendernAuswahl16::cb2Toggled);
    placeButtons(180, 458, 286, 458);
}

void TWerteAendernAuswahl16::cb2Toggled(bool checked)
{
    if (!m_request.Cb2Exclusive())
        return;
    if (checked) {
        Uncheck(m_cb1);
        for (QRadioButton *rb : m_rb)
            Uncheck(rb);
    }
    for (QAbstractButton *b : {static_cast<QAbstractButton *>(m_cb1), static_cast<QAbstractButton *>(m_cb17),
                               static_cast<QAbstractButton *>(m_cb18)})
        b->setEnabled(!checked);
    for (QRadioButton *rb : m_rb)
        rb->setEnabled(!checked);
}

void TWerteAendernAuswahl16::Prepare(const Choice16Request &request)
{
    m_accepted = false;
    m_request = request;
    m_label1->setText(request.Caption);
    for (int k = 0; k < 16; ++k)
        m_rb[k]->setText(request.Options[size_t(k)]);
    m_cb17->setText(request.Options[16]);
    m_cb18->setText(request.Options[17]);
    m_cb1->setText(request.Options[18]);
    m_cb2->setText(request.Options[19]);
    m_boxes[0]->setVisible(!request.Options[18].isEmpty());
    m_boxes[1]->setVisible(!request.Options[19].isEmpty());
    Uncheck(m_cb2); // first, so that it enables the others again
    for (QAbstractButton *b : m_boxes[2]->findChildren<QAbstractButton *>())
        Uncheck(b);
    for (QAbstractButton *b : {static_cast<QAbstractButton *>(m_cb1), static_cast<QAbstractButton *>(m_cb17),
                               static_cast<QAbstractButton *>(m_cb18)}) {
        Uncheck(b);
        b->setEnabled(true);
    }
    for (QRadioButton *rb : m_rb)
        rb->setEnabled(true);

    const Choice16Request::Checks checks = request.OnShow();
    if (checks.Radio >= 0)
        m_rb[checks.Radio]->setChecked(true);
    m_cb17->setChecked(checks.Cb17);
    m_cb18->setChecked(checks.Cb18);
    m_cb1->setChecked(checks.Cb1);
    m_cb2->setChecked(checks.Cb2);
    m_result = m_request.Result(CurrentChecks());
}

Choice16Request::Checks TWerteAendernAuswahl16::CurrentChecks() const
{
    Choice16Request::Checks c;
    for (int k = 0; k < 16; ++k)
        if (m_rb[k]->isChecked())
            c.Radio = k;
    c.Cb17 = m_cb17->isChecked();
    c.Cb18 = m_cb18->isChecked();
    c.Cb1 = m_cb1->isChecked();
    c.Cb2 = m_cb2->isChecked();
    return c;
}

int TWerteAendernAuswahl16::Ini(const Choice16Request &request)
{
    Prepare(request);
    run();
    return m_result;
}

void TWerteAendernAuswahl16::accept()
{
    m_result = m_request.Result(CurrentChecks());
    acceptAs(true);
}

// --- choice of 18 ----------------------------------------------------------------------

TWerteAendern_PerRadioButton::TWerteAendern_PerRadioButton(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendern_PerRadioButton", QStringLiteral("Mirelo Eingabe"),
                      {ClientWidth, ClientHeight})
{
    m_label1 = MakeCaptionLabel(this, 8, 4, 530, 40);
    auto *box = Make<QGroupBox>(this, "GroupBox1", 8, 48, 530, 286);
    for (int k = 0; k < 18; ++k)
        m_rb[k] = MakeNumbered<QRadioButton>(box, "Rb_", k + 1, 12 + 260 * (k / 9), 18 + 29 * (k % 9), 250, 24);
    placeButtons(180, 344, 286, 344);
}

void TWerteAendern_PerRadioButton::Prepare(const RadioChoiceRequest &request)
{
    m_accepted = false;
    m_request = request;
    m_label1->setText(request.Caption);
    for (int k = 0; k < 18; ++k) {
        Uncheck(m_rb[k]);
        m_rb[k]->setText(request.Options[size_t(k)]);
        m_rb[k]->setVisible(request.Visible(k));
    }
    m_result = 0;
}

int TWerteAendern_PerRadioButton::Ini(const RadioChoiceRequest &request)
{
    Prepare(request);
    run();
    return m_result;
}

void TWerteAendern_PerRadioButton::accept()
{
    int checked = -1;
    for (int k = 0; k < 18; ++k)
        if (m_rb[k]->isChecked())
            checked = k;
    m_result = m_request.Result(checked);
    acceptAs(true);
}

// --- bit word --------------------------------------------------------------------------

TWerteAendernAuswahl16Check::TWerteAendernAuswahl16Check(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendernAuswahl16Check", QStringLiteral("Mirelo Eingabe"),
                      {WindowWidth, WindowHeight}, true)
{
    m_label1 = MakeCaptionLabel(this, 8, 4, 546, 40);
    for (int k = 0; k < 16; ++k)
        m_boxes[k] = MakeNumbered<QCheckBox>(this, "CheckBox", k + 1, 16 + 274 * (k / 8), 52 + 36 * (k % 8), 264, 24);
    m_boxes[15]->hide();
    placeButtons(188, 350, 294, 350);
}

void TWerteAendernAuswahl16Check::Prepare(const BitWordRequest &request)
{
    m_accepted = false;
    m_label1->setText(request.Caption);
    m_boxes[15]->hide();
    const int checked = request.CheckedOnShow();
    for (int k = 1; k <= 15; ++k) {
        m_boxes[k - 1]->setText(request.Options[size_t(k - 1)]);
        m_boxes[k - 1]->setChecked(checked & (1 << k));
    }
    m_result = BitWordRequest::Result(checked);
}

int TWerteAendernAuswahl16Check::Ini(const BitWordRequest &request)
{
    Prepare(request);
    run();
    return m_result;
}

void TWerteAendernAuswahl16Check::accept()
{
    int mask = 0;
    for (int k = 1; k <= 15; ++k)
        if (m_boxes[k - 1]->isChecked())
            mask |= 1 << k;
    m_result = BitWordRequest::Result(mask);
    acceptAs(true);
}

// --- label text ------------------------------------------------------------------------

TWerteAendernFText::TWerteAendernFText(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendernFText", QStringLiteral("Mirelo Fehlertexte"), {ClientWidth, ClientHeight})
{
    m_label1 = MakeCaptionLabel(this, 8, 4, 257, 20);
    m_lb2 = Make<QLabel>(this, "Lb_2", 8, 30, 257, 16);
    m_ed1 = Make<QLineEdit>(this, "Ed_1", 8, 48, 257, 24);
    m_lb3 = Make<QLabel>(this, "Lb_3", 8, 78, 257, 16);
    m_ed2 = Make<QLineEdit>(this, "Ed_2", 8, 96, 257, 24);
    placeButtons(48, 134, 144, 134);
}

void TWerteAendernFText::Prepare(const LabelTextRequest &request)
{
    m_accepted = false;
    m_request = request;
    m_label1->setText(GetText(113));
    m_lb2->setText(GetText(111));
    m_lb3->setText(GetText(112));
    m_ed1->setMaxLength(std::max(1, request.Line1MaxLength()));
    m_ed1->setText(request.Line1());
    m_ed2->setMaxLength(LabelTextRequest::Line2MaxLength);
    m_ed2->setText(request.Line2());
    m_record.clear();
}

bool TWerteAendernFText::Ini(const LabelTextRequest &request, QString &record)
{
    Prepare(request);
    run();
    if (m_accepted)
        record = m_record;
    return m_accepted;
}

void TWerteAendernFText::accept()
{
    m_record = m_request.Record(m_ed1->text(), m_ed2->text());
    acceptAs(true);
}

// --- fault coding ----------------------------------------------------------------------

TWerteAendernFehler::TWerteAendernFehler(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendernFehler", QStringLiteral("Mirelo Fehlerkodierung"), {FullWidth, FullHeight},
                      true)
{
    m_label1 = MakeCaptionLabel(this, 8, 4, 354, 18);
    m_label2 = Make<QLabel>(this, "Label2", 8, 64, 354, 97);
    m_label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label2->setWordWrap(true);
    for (int n = 0; n < 4; ++n) {
        m_combos[n] = MakeNumbered<QComboBox>(this, "ComboBox", n + 1, 8, 176 + 32 * n, 270, 24);
        connect(m_combos[n], &QComboBox::currentIndexChanged, this, [this, n](int index) {
            if (index < 0)
                return;
            int *flag[] = {&m_flags.AR, &m_flags.VU, &m_flags.SW, &m_flags.I0};
            *flag[n] = index;
        });
    }
}

QSize TWerteAendernFehler::DesignedWindowSize() const
{
    return m_reduced ? QSize(ReducedWidth, ReducedHeight) : QSize(FullWidth, FullHeight);
}

void TWerteAendernFehler::Prepare(const FaultCodingRequest &request)
{
    m_accepted = false;
    m_reduced = request.Reduced;
    m_label1->setText(request.Caption);
    m_label2->setText(LabelLines(request.ShownLegend()));
    const FaultFlags flags = request.OnShow();
    const int preselect[] = {flags.AR, flags.VU, flags.SW, flags.I0};
    for (int n = 0; n < 4; ++n) {
        QSignalBlocker block(m_combos[n]);
        m_combos[n]->clear();
        m_combos[n]->addItems(request.Items(n));
        m_combos[n]->setCurrentIndex(preselect[n]);
    }
    m_flags = flags;
    m_combos[0]->setVisible(request.ArVisible());
    if (m_reduced) {
        m_label2->setGeometry(8, 25, 354, 25);
        for (int n = 1; n < 4; ++n)
            m_combos[n]->hide();
        m_combos[0]->setGeometry(8, 100, 160, 24);
        placeButtons(180, 100, 260, 100);
    } else {
        m_label2->setGeometry(8, 64, 354, 97);
        for (int n = 1; n < 4; ++n)
            m_combos[n]->show();
        m_combos[0]->setGeometry(8, 176, 270, 24);
        placeButtons(296, 216, 296, 256);
    }
    setDesignedSize(DesignedWindowSize(), true);
}

bool TWerteAendernFehler::ini(const FaultCodingRequest &request, FaultFlags &flags)
{
    Prepare(request);
    run();
    flags = m_flags;
    return m_accepted;
}

void TWerteAendernFehler::accept() { acceptAs(true); }

void TWerteAendernFehler::showEvent(QShowEvent *event)
{
    TEditDialogBase::showEvent(event);
    (m_combos[0]->isHidden() ? m_combos[1] : m_combos[0])->setFocus();
}

// --- relay function --------------------------------------------------------------------

TWerteAendernRelais::TWerteAendernRelais(QWidget *parent)
    : TEditDialogBase(parent, "WerteAendernRelais", QStringLiteral("Mirelo Relaisfunktion"),
                      {ClientWidth, ClientHeight})
{
    m_label1 = MakeCaptionLabel(this, 8, 4, 494, 36);
    m_list = Make<QListWidget>(this, "ListBox1", 8, 44, 494, 356);
    m_label2 = Make<QLabel>(this, "Label2", 8, 412, 40, 22);
    m_label2->setText(QStringLiteral("Flag"));
    m_edit = Make<QLineEdit>(this, "Edit1", 52, 410, 120, 24);
    placeButtons(318, 444, 414, 444);
    connect(m_list, &QListWidget::currentRowChanged, this, &TWerteAendernRelais::entryChosen);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { entryChosen(m_list->row(item)); });
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
}

void TWerteAendernRelais::setFreeMode(bool on)
{
    m_freeMode = on;
    m_edit->setVisible(on);
    m_label2->setVisible(on);
    if (on)
        m_edit->setFocus();
}

void TWerteAendernRelais::entryChosen(int row) { setFreeMode(row >= 0 && row == m_list->count() - 1); }

void TWerteAendernRelais::Prepare(const RelayRequest &request)
{
    m_accepted = false;
    m_answer = RelayAnswer();
    {
        QSignalBlocker block(m_list);
        m_list->clear();
        m_list->addItems(request.Entries.mid(0, std::max(0, request.TableSize)));
        m_list->setCurrentRow(-1);
        // The function the relay has now is chosen when the list opens: the entry whose
        // text the shown value is, or ends with (the value may carry a prefix).
        const QString current = request.CurrentText.trimmed();
        int best = -1;
        int bestLength = 0;
        for (int row = 0; row < m_list->count() && !current.isEmpty(); ++row) {
            const QString entry = m_list->item(row)->text().trimmed();
            if (entry.isEmpty())
                continue;
            if (entry == current) {
                best = row;
                break;
            }
            if (current.endsWith(entry) && entry.size() > bestLength) {
                best = row;
                bestLength = int(entry.size());
            }
        }
        if (best >= 0) {
            m_list->setCurrentRow(best);
            m_list->scrollToItem(m_list->item(best), QAbstractItemView::PositionAtCenter);
        }
    }
    m_edit->clear();
    setFreeMode(false);
    m_label1->setText(request.Title());
}

int TWerteAendernRelais::ShowRelais(const RelayRequest &request)
{
    Prepare(request);
    run();
    return m_answer.Index;
}

void TWerteAendernRelais::accept()
{
    const QListWidgetItem *current = m_list->currentItem();
    const int row = current && current->isSelected() ? m_list->currentRow() : -1;
    if (m_freeMode && !m_edit->text().isEmpty()) {
        m_answer.Index = row;
        m_answer.FreeEntry = true;
        m_answer.FreeText = m_edit->text().toUpper();
        acceptAs(true);
        return;
    }
    // Nothing chosen yet, or the free entry chosen but still empty: closing would only
    // look like a cancel to the editor, so the dialog stays open for the choice.
    if (row < 0) {
        QApplication::beep();
        return;
    }
    if (row == m_list->count() - 1) {
        setFreeMode(true);
        return;
    }
    m_answer.Index = row;
    m_answer.FreeEntry = false;
    m_answer.FreeText.clear();
    acceptAs(true);
}

// --- the editors' dialogs --------------------------------------------------------------

GuiEditDialogs::GuiEditDialogs(QWidget *parent, TWerteAendern1 *numberDialog)
    : m_parent(parent), m_ownsDialogs(parent == nullptr), m_number(numberDialog)
{
}

GuiEditDialogs::~GuiEditDialogs()
{
    // With a window the dialogs go with it; without one they are ours.
    if (m_ownsDialogs)
        for (const QPointer<QDialog> &d : m_made)
            delete d.data();
}

template <typename Dialog>
Dialog &GuiEditDialogs::get(QPointer<Dialog> &slot)
{
    if (!slot && m_parent) // the window's own, when it already has one
        slot = m_parent->template findChild<Dialog *>(QString(), Qt::FindDirectChildrenOnly);
    if (!slot) {
        slot = new Dialog(m_parent);
        m_made.append(slot.data());
    }
    return *slot;
}

TWerteAendern1 &GuiEditDialogs::NumberDialog() { return get(m_number); }
TWerteAendernJaNein &GuiEditDialogs::YesNoDialog() { return get(m_yesNo); }
TWerteAendernAuswahl &GuiEditDialogs::Choice8Dialog() { return get(m_choice8); }
TWerteAendernAuswahl16 &GuiEditDialogs::Choice16Dialog() { return get(m_choice16); }
TWerteAendern_PerRadioButton &GuiEditDialogs::RadioChoiceDialog() { return get(m_radio); }
TWerteAendernAuswahl16Check &GuiEditDialogs::BitWordDialog() { return get(m_bitWord); }
TWerteAendernFText &GuiEditDialogs::LabelTextDialog() { return get(m_labelText); }
TWerteAendernFehler &GuiEditDialogs::FaultDialog() { return get(m_fault); }
TWerteAendernRelais &GuiEditDialogs::RelayDialog() { return get(m_relay); }

QList<QDialog *> GuiEditDialogs::Dialogs()
{
    return {&NumberDialog(),  &YesNoDialog(),     &Choice8Dialog(), &Choice16Dialog(), &RadioChoiceDialog(),
            &BitWordDialog(), &LabelTextDialog(), &FaultDialog(),   &RelayDialog()};
}

bool GuiEditDialogs::AskNumber(const NumberRequest &request, float &value)
{
    TWerteAendern1 &d = NumberDialog();
    if (!d.Ini(request.Decimals, request.Caption, request.Hint, request.Start, request.Maximum, request.Minimum,
               request.Hex))
        return false;
    value = d.EditValue();
    return true;
}

bool GuiEditDialogs::AskYesNo(const YesNoRequest &request, int &index)
{
    TWerteAendernJaNein &d = YesNoDialog();
    if (!d.ShowJaNein(request))
        return false;
    index = d.YesNoIndex();
    return true;
}

bool GuiEditDialogs::AskChoice8(const Choice8Request &request, int &result)
{
    TWerteAendernAuswahl &d = Choice8Dialog();
    const int byte = d.Ini(request);
    if (!d.EditAccepted())
        return false;
    result = byte;
    return true;
}

bool GuiEditDialogs::AskChoice16(const Choice16Request &request, int &result)
{
    TWerteAendernAuswahl16 &d = Choice16Dialog();
    const int byte = d.Ini(request);
    if (!d.EditAccepted())
        return false;
    result = byte;
    return true;
}

bool GuiEditDialogs::AskRadioChoice(const RadioChoiceRequest &request, int &result)
{
    TWerteAendern_PerRadioButton &d = RadioChoiceDialog();
    const int byte = d.Ini(request);
    if (!d.EditAccepted())
        return false;
    result = byte;
    return true;
}

bool GuiEditDialogs::AskBitWord(const BitWordRequest &request, int &result)
{
    TWerteAendernAuswahl16Check &d = BitWordDialog();
    const int word = d.Ini(request);
    if (!d.EditAccepted())
        return false;
    result = word;
    return true;
}

bool GuiEditDialogs::AskLabelText(const LabelTextRequest &request, QString &record)
{
    return LabelTextDialog().Ini(request, record);
}

bool GuiEditDialogs::AskFaultCoding(const FaultCodingRequest &request, FaultFlags &flags)
{
    return FaultDialog().ini(request, flags);
}

bool GuiEditDialogs::AskRelay(const RelayRequest &request, RelayAnswer &answer)
{
    TWerteAendernRelais &d = RelayDialog();
    d.ShowRelais(request);
    if (!d.EditAccepted())
        return false;
    answer = d.Answer();
    return true;
}
