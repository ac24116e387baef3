// The editors' dialogs driven through their controls, and GuiEditDialogs through its modal loop.
#include "params/ui/EditValueDialogs.h"
#include "params/ui/ValueDialogs.h"
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <functional>
#include "support/DriveModal.h"
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

std::array<QString, 20> Options(int count)
{
    std::array<QString, 20> o;
    for (int i = 0; i < count; ++i)
        o[size_t(i)] = QStringLiteral("Option %1").arg(i + 1);
    return o;
}

template <typename T>
T *Child(QWidget &w, const char *name)
{
    return w.findChild<T *>(QLatin1String(name));
}

TEST(EditValueDialogs, NamesCaptionsSizesAndControls)
{
    struct Case
    {
        const char *name, *caption;
        QSize size;
        std::vector<const char *> controls;
    };
    const std::vector<Case> cases = {
        {"WerteAendern1", "Mirelo Werteingabe", {273, 168}, {"Label1", "Label2", "Edit1", "TrackBar1"}},
        {"WerteAendernJaNein", "Mirelo Eingabe ", {273, 169}, {"Label1", "Label2", "RadioGroup1"}},
        {"WerteAendernAuswahl", "Mirelo Eingabe", {273, 394},
         {"Label1", "GroupBox1", "GroupBox4", "Rb_1", "Rb_4", "Rb_6", "Cb_1", "Cb_2"}},
        {"WerteAendernAuswahl16", "Mirelo Eingabe", {546, 492},
         {"Label1", "GroupBox3", "Rb_1", "Rb_16", "CB_17", "CB_18", "Cb_1", "Cb_2"}},
        {"WerteAendern_PerRadioButton", "Mirelo Eingabe", {546, 380}, {"Label1", "Rb_1", "Rb_18"}},
        {"WerteAendernAuswahl16Check", "Mirelo Eingabe", {562, 395}, {"Label1", "CheckBox1", "CheckBox16"}},
        {"WerteAendernFText", "Mirelo Fehlertexte", {273, 168}, {"Label1", "Lb_2", "Ed_1", "Lb_3", "Ed_2"}},
        {"WerteAendernFehler", "Mirelo Fehlerkodierung", {386, 324},
         {"Label1", "Label2", "ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4"}},
        {"WerteAendernRelais", "Mirelo Relaisfunktion", {510, 481}, {"Label1", "ListBox1", "Edit1", "Label2"}},
    };
    QWidget window;
    GuiEditDialogs dialogs(&window);
    const QList<QDialog *> all = dialogs.Dialogs();
    ASSERT_EQ(all.size(), int(cases.size()));
    EXPECT_EQ(dialogs.Dialogs(), all); // made once
    for (size_t i = 0; i < cases.size(); ++i) {
        QDialog &d = *all[int(i)];
        const Case &c = cases[i];
        EXPECT_EQ(d.objectName(), QLatin1String(c.name));
        EXPECT_EQ(d.windowTitle(), QString::fromUtf8(c.caption)) << c.name;
        EXPECT_EQ(d.size(), c.size) << c.name;
        EXPECT_EQ(d.parentWidget(), &window) << c.name;
        auto *ok = Child<QPushButton>(d, "Btn_Ok");
        auto *cancel = Child<QPushButton>(d, "Btn_Abbruch");
        ASSERT_TRUE(ok && cancel) << c.name;
        EXPECT_TRUE(ok->isDefault()) << c.name;
        EXPECT_EQ(ok->text(), QStringLiteral("OK")) << c.name;
        EXPECT_EQ(cancel->text(), QStringLiteral("Abbruch")) << c.name;
        for (const char *control : c.controls)
            EXPECT_NE(Child<QWidget>(d, control), nullptr) << c.name << '.' << control;
    }
    EXPECT_TRUE(dialogs.BitWordDialog().CheckBox(16)->isHidden());
}

TEST(EditValueDialogs, YesNoPreselectsAndAnswers)
{
    TWerteAendernJaNein d;
    YesNoRequest r{QStringLiteral(" Ja"), QStringLiteral("Nein"), QStringLiteral("     Ja"),
                   QStringLiteral("Schalter"), QStringLiteral("Gültige Eingabe:  Ja / Nein")};
    d.Prepare(r);
    EXPECT_EQ(d.Label1()->text(), r.Hint); // the hint above, the caption below
    EXPECT_EQ(d.Label2()->text(), r.Caption);
    EXPECT_TRUE(d.Item(0)->isChecked());
    r.CurrentText = QStringLiteral("   Nein");
    d.Prepare(r);
    EXPECT_TRUE(d.Item(1)->isChecked());
    d.Item(0)->click();
    d.OkButton()->click();
    EXPECT_TRUE(d.EditAccepted());
    EXPECT_EQ(d.YesNoIndex(), 0);
}

TEST(EditValueDialogs, ChoiceOf8)
{
    TWerteAendernAuswahl d;
    Choice8Request r;
    r.Options = Options(8);
    r.Current = 0x42;
    r.Caption = QStringLiteral("Relais 1");
    d.Prepare(r);
    EXPECT_EQ(d.Label1()->text(), r.Caption);
    EXPECT_EQ(d.CheckedMask(), 0x42);
    EXPECT_EQ(d.Control(1)->objectName(), QStringLiteral("Rb_2"));
    d.OkButton()->click();
    EXPECT_TRUE(d.EditAccepted());
    EXPECT_EQ(d.Result(), 0x42);

    d.Prepare(r);
    d.Control(7)->click(); // Cb_2
    EXPECT_EQ(d.CheckedMask(), 0x80);
    for (int i = 0; i < 7; ++i)
        EXPECT_FALSE(d.Control(i)->isEnabled()) << i;
    d.OkButton()->click();
    EXPECT_EQ(d.Result(), 128);
    d.Control(7)->click();
    EXPECT_TRUE(d.Control(0)->isEnabled());

    // Only the group boxes of filled options show; a reused dialog starts afresh.
    r.Options = Options(5);
    r.Current = 0x80;
    d.Prepare(r);
    EXPECT_FALSE(d.GroupBox(3)->isHidden());
    EXPECT_FALSE(d.GroupBox(4)->isHidden());
    EXPECT_TRUE(d.GroupBox(1)->isHidden());
    EXPECT_TRUE(d.GroupBox(2)->isHidden());
    EXPECT_EQ(d.CheckedMask(), 0);
    EXPECT_TRUE(d.Control(0)->isEnabled());
    d.CancelButton()->click();
    EXPECT_FALSE(d.EditAccepted());
}

TEST(EditValueDialogs, ChoiceOf16Cb2ByVersion)
{
    TWerteAendernAuswahl16 d;
    Choice16Request r;
    r.Options = Options(19); // no text for Cb_2
    for (int k = 0; k < 16; ++k)
        r.OptionCodes[size_t(k)] = k;
    r.Current = 0x15;
    r.ProgramVersion = 20;
    d.Prepare(r);
    EXPECT_TRUE(d.Rb(6)->isChecked());
    EXPECT_TRUE(d.CB_17()->isChecked());
    EXPECT_TRUE(d.GroupBox(2)->isHidden());
    EXPECT_FALSE(d.GroupBox(1)->isHidden());
    d.Cb_2()->click();
    EXPECT_FALSE(d.Rb(6)->isChecked());
    EXPECT_FALSE(d.Rb(3)->isEnabled());
    EXPECT_FALSE(d.CB_18()->isEnabled());
    d.OkButton()->click();
    EXPECT_EQ(d.Result(), 128);

    r.ProgramVersion = 30;
    d.Prepare(r);
    EXPECT_TRUE(d.Rb(3)->isEnabled());
    EXPECT_EQ(d.CurrentChecks().Radio, -1);
    d.Rb(10)->click();
    d.Cb_2()->click(); // an ordinary flag now
    EXPECT_TRUE(d.Rb(10)->isChecked());
    d.OkButton()->click();
    EXPECT_EQ(d.Result(), 0x99);
}

TEST(EditValueDialogs, ChoiceOf18HidesReservedAndEmpty)
{
    TWerteAendern_PerRadioButton d;
    RadioChoiceRequest r;
    r.Options = Options(6);
    r.Options[2] = QStringLiteral("Reserviert");
    r.OptionCodes[4] = 0x23;
    d.Prepare(r);
    EXPECT_FALSE(d.Rb(1)->isHidden());
    EXPECT_TRUE(d.Rb(3)->isHidden());
    EXPECT_TRUE(d.Rb(7)->isHidden());
    EXPECT_EQ(d.Rb(5)->text(), QStringLiteral("Option 5"));
    d.Rb(5)->click();
    d.OkButton()->click();
    EXPECT_EQ(d.Result(), 0x23);
    d.Prepare(r); // no preselection
    d.OkButton()->click();
    EXPECT_EQ(d.Result(), 0);
}

TEST(EditValueDialogs, BitWord)
{
    TWerteAendernAuswahl16Check d;
    BitWordRequest r;
    r.Options = Options(15);
    r.Current = 0x8003;
    d.Prepare(r);
    EXPECT_EQ(d.CheckBox(1)->text(), QStringLiteral("Option 1"));
    for (int k = 1; k <= 15; ++k)
        EXPECT_EQ(d.CheckBox(k)->isChecked(), k == 1 || k == 15) << k;
    d.CheckBox(15)->click();
    d.CheckBox(4)->click();
    d.OkButton()->click();
    EXPECT_EQ(d.Result(), 0x0012);
}

TEST(EditValueDialogs, LabelTextLimitsAndRecord)
{
    TWerteAendernFText d;
    LabelTextRequest r;
    r.CurrentText = QStringLiteral("05|Öldruck zu niedrig|Abschaltung|");
    d.Prepare(r);
    EXPECT_EQ(d.Label1()->text(), QStringLiteral("Bezeichnung"));
    EXPECT_EQ(d.Lb_2()->text(), QStringLiteral("Zeile 1"));
    EXPECT_EQ(d.Lb_3()->text(), QStringLiteral("Zeile 2"));
    // Five blanks and eleven characters are the first half of the 32-byte record.
    EXPECT_EQ(d.Ed_1()->text(), QStringLiteral("Öldruck zu "));
    EXPECT_EQ(d.Ed_1()->maxLength(), 11);
    EXPECT_EQ(d.Ed_2()->maxLength(), 16);
    d.Ed_1()->setText(QStringLiteral("abc"));
    d.Ed_2()->setText(QStringLiteral("12345678"));
    d.OkButton()->click();
    EXPECT_TRUE(d.EditAccepted());
    EXPECT_EQ(d.Record(), QStringLiteral("     abc        12345678        "));

    TWerteAendernFText full;
    full.Prepare(r);
    full.Ed_1()->setText(QStringLiteral("ABCDEFGHIJKLMNOP"));
    full.Ed_2()->setText(QStringLiteral("0123456789abcdefXY"));
    full.OkButton()->click();
    EXPECT_EQ(full.Record(), QStringLiteral("     ABCDEFGHIJK0123456789abcdef"));
}

TEST(EditValueDialogs, FaultCodingLayoutsAndFlags)
{
    TWerteAendernFehler d;
    FaultCodingRequest r;
    r.Letters = QStringLiteral("R-V-W-I");
    r.Caption = QStringLiteral("Öldruck");
    r.Legend = QStringLiteral("A - Arbeitsstrom\rR - Ruhestrom");
    d.Prepare(r);
    EXPECT_EQ(d.size(), QSize(386, 324));
    EXPECT_EQ(d.Label2()->text(), QStringLiteral("A - Arbeitsstrom\nR - Ruhestrom"));
    EXPECT_EQ(d.OkButton()->pos(), QPoint(296, 216));
    EXPECT_EQ(d.ComboBox(1)->y(), 176);
    for (int n = 1; n <= 4; ++n)
        EXPECT_FALSE(d.ComboBox(n)->isHidden()) << n;
    EXPECT_EQ(d.ComboBox(1)->currentIndex(), 1);
    EXPECT_EQ(d.ComboBox(3)->currentIndex(), 1);
    d.ComboBox(2)->setCurrentIndex(1);
    d.ComboBox(1)->setCurrentIndex(0);
    const FaultFlags f = d.Flags();
    EXPECT_EQ(f.AR, 0);
    EXPECT_EQ(f.VU, 1);
    EXPECT_EQ(f.SW, 1);
    EXPECT_EQ(f.I0, 0);

    r.Reduced = true;
    r.Letters = QStringLiteral("A");
    d.Prepare(r);
    EXPECT_EQ(d.size(), QSize(370, 175));
    EXPECT_EQ(d.OkButton()->pos(), QPoint(180, 100));
    EXPECT_EQ(d.CancelButton()->pos(), QPoint(260, 100));
    EXPECT_EQ(d.ComboBox(1)->y(), 100);
    EXPECT_FALSE(d.ComboBox(1)->isHidden());
    for (int n = 2; n <= 4; ++n)
        EXPECT_TRUE(d.ComboBox(n)->isHidden()) << n;
    EXPECT_EQ(d.Flags().AR, 0);

    // Without A or R the A/R box is hidden; the flags come back even when cancelled.
    r.Reduced = false;
    r.Letters = QStringLiteral("U-S-0");
    FaultFlags out;
    DriveModal([](QWidget *w) {
        auto *dlg = qobject_cast<TWerteAendernFehler *>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_TRUE(dlg->ComboBox(1)->isHidden());
        EXPECT_EQ(dlg->focusWidget(), dlg->ComboBox(2));
        dlg->ComboBox(4)->setCurrentIndex(0);
        dlg->CancelButton()->click();
    });
    EXPECT_FALSE(d.ini(r, out));
    EXPECT_EQ(out.VU, 1);
    EXPECT_EQ(out.SW, 0);
    EXPECT_EQ(out.I0, 0);
}

TEST(EditValueDialogs, RelayListAndFreeEntry)
{
    TWerteAendernRelais d;
    RelayRequest r;
    r.Entries = {QStringLiteral("Aus"), QStringLiteral("Sammelstörung"), QStringLiteral("Hupe"),
                 QStringLiteral("Freie Eingabe")};
    r.Caption = QStringLiteral("Relais 2");
    r.CurrentText = QStringLiteral("Hupe");
    r.TableSize = 3; // the free entry lies beyond the table: not offered
    d.Prepare(r);
    EXPECT_EQ(d.ListBox1()->count(), 3);
    r.TableSize = 300;
    d.Prepare(r);
    EXPECT_EQ(d.Label1()->text(), QStringLiteral("Relais 2 Hupe"));
    EXPECT_EQ(d.ListBox1()->count(), 4);
    EXPECT_TRUE(d.Edit1()->isHidden());

    // The relay's current function is chosen when the list opens.
    const std::vector<std::pair<const char *, int>> current = {
        {"Hupe", 2}, {"  Sammelstörung ", 1}, {"07 Hupe", 2}, {"Unbekannt", -1}, {"", -1}};
    for (const auto &c : current) {
        r.CurrentText = QString::fromUtf8(c.first);
        d.Prepare(r);
        EXPECT_EQ(d.ListBox1()->currentRow(), c.second) << c.first;
        EXPECT_EQ(d.ListBox1()->selectedItems().size(), c.second >= 0 ? 1 : 0) << c.first;
    }

    d.show();
    d.OkButton()->click(); // nothing chosen: the dialog waits for a choice
    EXPECT_FALSE(d.EditAccepted());
    EXPECT_TRUE(d.isVisible());

    d.ListBox1()->setCurrentRow(3);
    EXPECT_FALSE(d.Edit1()->isHidden());
    EXPECT_FALSE(d.Label2()->isHidden());
    d.OkButton()->click(); // free entry still empty
    EXPECT_FALSE(d.EditAccepted());
    EXPECT_TRUE(d.isVisible());
    d.Edit1()->setText(QStringLiteral("1f"));
    d.OkButton()->click();
    EXPECT_TRUE(d.EditAccepted());
    EXPECT_FALSE(d.isVisible());
    EXPECT_TRUE(d.Answer().FreeEntry);
    EXPECT_EQ(d.Answer().FreeText, QStringLiteral("1F"));

    d.Prepare(r);
    d.ListBox1()->setCurrentRow(3);
    d.ListBox1()->setCurrentRow(1); // leaves the free entry
    EXPECT_TRUE(d.Edit1()->isHidden());
    emit d.ListBox1()->itemDoubleClicked(d.ListBox1()->item(1));
    EXPECT_TRUE(d.EditAccepted());
    EXPECT_EQ(d.Answer().Index, 1);
    EXPECT_FALSE(d.Answer().FreeEntry);
}

TEST(EditValueDialogs, GuiAnswersThroughTheModalDialogs)
{
    QWidget window;
    GuiEditDialogs dialogs(&window);

    NumberRequest n;
    n.Hex = true;
    n.Start = 255;
    n.Maximum = 65535;
    float value = 0;
    DriveModal([](QWidget *w) {
        auto *dlg = qobject_cast<TWerteAendern1 *>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->Edit1()->text(), QStringLiteral("00FF"));
        dlg->Edit1()->setText(QStringLiteral("1a"));
        dlg->OkButton()->click();
    });
    EXPECT_TRUE(dialogs.AskNumber(n, value));
    EXPECT_FLOAT_EQ(value, 26.0f);

    Choice8Request c;
    c.Options = Options(8);
    c.Current = 0x42;
    int result = -1;
    DriveModal([](QWidget *w) {
        auto *dlg = qobject_cast<TWerteAendernAuswahl *>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->Control(4)->click(); // Rb_5
        dlg->OkButton()->click();
    });
    EXPECT_TRUE(dialogs.AskChoice8(c, result));
    EXPECT_EQ(result, 0x52);
    DriveModal([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
    EXPECT_FALSE(dialogs.AskChoice8(c, result));
    EXPECT_EQ(result, 0x52);

    // One of each, kept as children of the window.
    EXPECT_EQ(window.findChildren<TWerteAendern1 *>().size(), 1);
    EXPECT_EQ(window.findChildren<TWerteAendernAuswahl *>().size(), 1);

    // A numeric dialog the window already has is used, not a second one.
    QWidget other;
    DialogPrompter prompter(&other);
    GuiEditDialogs shared(&other, &prompter.ValueDialog());
    EXPECT_EQ(&shared.NumberDialog(), &prompter.ValueDialog());
    shared.Dialogs();
    EXPECT_EQ(other.findChildren<TWerteAendern1 *>().size(), 1);
}

} // namespace
