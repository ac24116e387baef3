// The value input dialogs, driven without a modal loop and, for the helpers, through one
// that the test closes itself.
#include "params/NumberFormat.h"
#include "params/ui/ValueDialogs.h"
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <functional>
#include "support/DriveModal.h"
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

namespace {

class DecimalComma : public ::testing::Test
{
protected:
    void SetUp() override { SetDecimalSeparator(QLatin1Char(',')); }
    void TearDown() override { ResetDecimalSeparator(); }
};

using NumericDialog = DecimalComma;

TEST_F(NumericDialog, NamesCaptionAndSize)
{
    TWerteAendern1 dlg;
    dlg.Prepare(0, QStringLiteral("Nennspannung"), QStringLiteral("Gültige Eingabe: 0 - 600 V"), 230, 600, 0);
    EXPECT_EQ(dlg.objectName(), QStringLiteral("WerteAendern1"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Mirelo Werteingabe"));
    EXPECT_EQ(dlg.size(), QSize(273, 168));
    for (const char *name : {"Label1", "Label2", "Edit1", "TrackBar1", "Btn_Ok", "Btn_Abbruch"})
        EXPECT_NE(dlg.findChild<QWidget *>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(dlg.CancelButton()->text(), QStringLiteral("Abbruch"));
    EXPECT_TRUE(dlg.OkButton()->isDefault());
    EXPECT_EQ(dlg.Label1()->text(), QStringLiteral("Nennspannung"));
    EXPECT_EQ(dlg.Label2()->text(), QStringLiteral("Gültige Eingabe: 0 - 600 V"));
    EXPECT_TRUE(dlg.Label1()->font().bold());
    EXPECT_TRUE(dlg.Label1()->wordWrap());
    EXPECT_EQ(dlg.TrackBar1()->tickPosition(), QSlider::NoTicks);
}

struct NumericCase
{
    int decimals;
    float minimum, maximum, start;
    bool hex;
    int sliderMin, sliderMax, position;
    const char *shown;
    const char *typed;
    float result;
};

TEST_F(NumericDialog, LimitsScaleTextAndResult)
{
    const std::vector<NumericCase> cases = {
        // Two decimals: a typed value above the limits becomes the upper limit.
        {2, 47.0f, 52.5f, 50.0f, false, 4700, 5250, 5000, "50,00", "60", 52.5f},
        {2, 47.0f, 52.5f, 50.0f, false, 4700, 5250, 5000, "50,00", "48,25", 48.25f},
        // The point is taken as well as the PC's separator.
        {2, 47.0f, 52.5f, 50.0f, false, 4700, 5250, 5000, "50,00", "48.5", 48.5f},
        {2, 47.0f, 52.5f, 50.0f, false, 4700, 5250, 5000, "50,00", "-3", 47.0f},
        // Decimals -1: the slider moves in steps of ten.
        {-1, 0.0f, 2550.0f, 150.0f, false, 0, 255, 15, "150", "153", 150.0f},
        {-1, 0.0f, 2550.0f, 150.0f, false, 0, 255, 15, "150", "156", 160.0f},
        {1, -20.0f, 20.0f, -2.5f, false, -200, 200, -25, "-2,5", "-0,5", -0.5f},
        // Hexadecimal: four digits; the typed text is read as hexadecimal.
        {0, 0.0f, 65535.0f, 55.0f, true, 0, 65535, 55, "0037", "D1", 209.0f},
        {0, 0.0f, 65535.0f, 255.0f, true, 0, 65535, 255, "00FF", "1a", 26.0f},
        {0, 0.0f, 65535.0f, 255.0f, true, 0, 65535, 255, "00FF", "$ABCD", 43981.0f},
        {0, 16.0f, 240.0f, 0.0f, true, 16, 240, 16, "0010", "1FF", 240.0f},
        {0, 16.0f, 240.0f, 100.0f, true, 16, 240, 100, "0064", "2", 16.0f},
    };
    TWerteAendern1 dlg;
    for (const NumericCase &c : cases) {
        dlg.Prepare(c.decimals, QStringLiteral("Wert"), QString(), c.start, c.maximum, c.minimum, c.hex);
        EXPECT_EQ(dlg.TrackBar1()->minimum(), c.sliderMin) << c.typed;
        EXPECT_EQ(dlg.TrackBar1()->maximum(), c.sliderMax) << c.typed;
        EXPECT_EQ(dlg.TrackBar1()->value(), c.position) << c.typed;
        EXPECT_EQ(dlg.Edit1()->text(), QString::fromUtf8(c.shown)) << c.typed;
        dlg.Edit1()->setText(QString::fromUtf8(c.typed));
        dlg.OkButton()->click();
        if (!dlg.EditAccepted()) { // a clamped value is confirmed with a second OK
            EXPECT_TRUE(dlg.HintHighlighted()) << c.typed;
            dlg.OkButton()->click();
        }
        EXPECT_TRUE(dlg.EditAccepted()) << c.typed;
        EXPECT_EQ(dlg.result(), QDialog::Accepted) << c.typed;
        EXPECT_FLOAT_EQ(dlg.EditValue(), c.result) << c.typed;
    }
}

TEST_F(NumericDialog, SliderMovesTheText)
{
    TWerteAendern1 dlg;
    dlg.Prepare(2, QStringLiteral("Wert"), QString(), 50.0f, 52.5f, 47.0f);
    dlg.TrackBar1()->setValue(5105);
    EXPECT_EQ(dlg.Edit1()->text(), QStringLiteral("51,05"));
    dlg.TrackBar1()->setValue(9999); // the slider keeps its limits
    EXPECT_EQ(dlg.Edit1()->text(), QStringLiteral("52,50"));
    dlg.OkButton()->click();
    EXPECT_FLOAT_EQ(dlg.EditValue(), 52.5f);
}

// Typed into the field and confirmed with Enter, as a user does: Enter finishes the editing
// before the default button accepts, which is where a refused text used to be replaced by
// the old value and taken.
struct EnterCase
{
    bool hex;
    const char *typed;
    bool firstEnterCloses;
    const char *fieldAfterFirst; // what the field shows while the dialog stays open
    bool refused;                // " Nicht möglich! " instead of the hint
    float result;                // after the second Enter (the refused text retyped as "7")
};

TEST_F(NumericDialog, EnterInTheFieldNeverTakesWhatWasNotTyped)
{
    const std::vector<EnterCase> cases = {
        {false, "15x0", false, "15x0", true, 7.0f},
        {false, "", false, "", true, 7.0f},
        {false, "zwoelf", false, "zwoelf", true, 7.0f},
        {true, "XYZ", false, "XYZ", true, 7.0f},
        {true, "", false, "", true, 7.0f},
        {false, "5000", false, "3600", false, 3600.0f},
        {false, "-4", false, "0", false, 0.0f},
        {true, "FFFF", false, "0E10", false, 3600.0f},
        {false, "42", true, "42", false, 42.0f},
        {true, "2A", true, "002A", false, 42.0f},
    };
    QWidget window;
    for (const EnterCase &c : cases) {
        const QString typed = QString::fromUtf8(c.typed);
        auto *dlg = new TWerteAendern1(&window);
        dlg->Prepare(0, QStringLiteral("Wert"), QStringLiteral("0 - 3600"), 12.0f, 3600.0f, 0.0f, c.hex);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
        dlg->activateWindow();
        dlg->Edit1()->setFocus();
        dlg->Edit1()->selectAll();
        QTest::keyClick(dlg->Edit1(), Qt::Key_Backspace);
        QTest::keyClicks(dlg->Edit1(), typed);
        QTest::keyClick(dlg->Edit1(), Qt::Key_Return);
        EXPECT_EQ(dlg->isVisible(), !c.firstEnterCloses) << c.typed;
        if (c.firstEnterCloses) {
            EXPECT_TRUE(dlg->EditAccepted()) << c.typed;
            EXPECT_FLOAT_EQ(dlg->EditValue(), c.result) << c.typed;
            delete dlg;
            continue;
        }
        EXPECT_FALSE(dlg->EditAccepted()) << c.typed;
        EXPECT_EQ(dlg->Edit1()->text(), QString::fromUtf8(c.fieldAfterFirst)) << c.typed;
        EXPECT_TRUE(dlg->HintHighlighted()) << c.typed;
        EXPECT_EQ(dlg->Label2()->text(), c.refused ? QStringLiteral(" Nicht möglich! ") : QStringLiteral("0 - 3600"))
            << c.typed;
        EXPECT_EQ(dlg->Edit1()->selectedText(), dlg->Edit1()->text()) << c.typed;
        if (c.refused)
            QTest::keyClicks(dlg->Edit1(), QStringLiteral("7")); // replaces the selected text
        QTest::keyClick(dlg->Edit1(), Qt::Key_Return);
        EXPECT_FALSE(dlg->isVisible()) << c.typed;
        EXPECT_TRUE(dlg->EditAccepted()) << c.typed;
        EXPECT_FLOAT_EQ(dlg->EditValue(), c.result) << c.typed;
        delete dlg;
    }
}

TEST_F(NumericDialog, CancelIsNotAccepted)
{
    TWerteAendern1 dlg;
    dlg.Prepare(0, QStringLiteral("Wert"), QString(), 12.0f, 100.0f, 0.0f);
    dlg.Edit1()->setText(QStringLiteral("50"));
    dlg.CancelButton()->click();
    EXPECT_FALSE(dlg.EditAccepted());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
}

TEST_F(NumericDialog, ModalHelpers)
{
    QWidget window;
    int value = 55;
    DriveModal([](QWidget *w) {
        auto *dlg = qobject_cast<TWerteAendern1 *>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->Edit1()->text(), QStringLiteral("0037"));
        EXPECT_EQ(dlg->size(), QSize(273, 168));
        dlg->Edit1()->setText(QStringLiteral("D1"));
        dlg->OkButton()->click();
    });
    EXPECT_TRUE(AskHexValue(&window, QStringLiteral("Kennung"), QStringLiteral("0000 - FFFF"), 0, 0xFFFF, value));
    EXPECT_EQ(value, 209);
    // The window keeps its one dialog for the next question.
    EXPECT_EQ(window.findChildren<TWerteAendern1 *>().size(), 1);

    DriveModal([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
    EXPECT_FALSE(AskHexValue(&window, QStringLiteral("Kennung"), QString(), 0, 0xFFFF, value));
    EXPECT_EQ(value, 209);
    EXPECT_EQ(window.findChildren<TWerteAendern1 *>().size(), 1);

    double v = 50;
    DriveModal([](QWidget *w) {
        auto *dlg = qobject_cast<TWerteAendern1 *>(w);
        dlg->Edit1()->setText(QStringLiteral("51,5"));
        dlg->OkButton()->click();
    });
    EXPECT_TRUE(AskValue(nullptr, QStringLiteral("Frequenz"), QString(), 1, 45, 55, v));
    EXPECT_DOUBLE_EQ(v, 51.5);
}

TEST(ComboDialog, PreselectionAndResult)
{
    TFormWAECombobox dlg;
    const QStringList items = {QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("SIM")};
    dlg.Prepare(QStringLiteral("Schnittstelle"), QStringLiteral("Port wählen"), 0, QStringLiteral("SIM"), items);
    EXPECT_EQ(dlg.objectName(), QStringLiteral("FormWAECombobox"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Schnittstelle"));
    EXPECT_EQ(dlg.size(), QSize(184, 120));
    EXPECT_EQ(dlg.LB_Prompt()->text(), QStringLiteral("Port wählen"));
    EXPECT_EQ(dlg.ItemIndex(), 2); // the text wins over the index
    dlg.Prepare(QStringLiteral("x"), QString(), 1, QString(), items);
    EXPECT_EQ(dlg.ItemIndex(), 1);
    dlg.Prepare(QStringLiteral("x"), QString(), 1, QStringLiteral("COM9"), items);
    EXPECT_EQ(dlg.ItemIndex(), 1); // unknown text: the index
    dlg.Prepare(QStringLiteral("x"), QString(), 7, QString(), items);
    EXPECT_EQ(dlg.ItemIndex(), -1); // an index outside the list selects nothing
    EXPECT_FALSE(dlg.CB_Auswahl()->isEditable());
    for (const char *name : {"LB_Prompt", "CB_Auswahl", "Btn_Ok", "Btn_Abbruch"})
        EXPECT_NE(dlg.findChild<QWidget *>(QLatin1String(name)), nullptr) << name;
}

TEST(ComboDialog, ModalChoiceAndCancel)
{
    QWidget window;
    const QStringList items = {QStringLiteral("deu"), QStringLiteral("eng"), QStringLiteral("fra")};
    int index = 0;
    DriveModal([](QWidget *w) {
        auto *dlg = qobject_cast<TFormWAECombobox *>(w);
        ASSERT_NE(dlg, nullptr);
        dlg->CB_Auswahl()->setCurrentIndex(2);
        dlg->OkButton()->click();
    });
    EXPECT_TRUE(AskComboBox(&window, QStringLiteral("Sprache"), QStringLiteral("Sprache wählen"), items, index));
    EXPECT_EQ(index, 2);

    DriveModal([](QWidget *w) {
        auto *dlg = qobject_cast<TFormWAECombobox *>(w);
        dlg->CB_Auswahl()->setCurrentIndex(0);
        dlg->reject();
    });
    EXPECT_FALSE(AskComboBox(&window, QStringLiteral("Sprache"), QString(), items, index));
    EXPECT_EQ(index, 2);

    // ShowAuswahl hands back the list's state whatever the result.
    TFormWAECombobox &dlg = *window.findChild<TFormWAECombobox *>();
    int i = 0;
    QString text = QStringLiteral("eng");
    DriveModal([](QWidget *w) { qobject_cast<QDialog *>(w)->reject(); });
    EXPECT_EQ(dlg.ShowAuswahl(QStringLiteral("Sprache"), QString(), i, text, items), int(QDialog::Rejected));
    EXPECT_EQ(i, 1);
    EXPECT_EQ(text, QStringLiteral("eng"));
}

TEST(TextDialog, OnlyOkChangesTheText)
{
    TFormAbfrageText dlg;
    dlg.Prepare(QStringLiteral("Name"), QStringLiteral("alt"));
    EXPECT_EQ(dlg.objectName(), QStringLiteral("FormAbfrageText"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Mirelo Texteingabe"));
    EXPECT_EQ(dlg.size(), QSize(216, 120));
    EXPECT_EQ(dlg.LB_Text()->text(), QStringLiteral("Name"));
    EXPECT_EQ(dlg.Ed_Text()->text(), QStringLiteral("alt"));

    QWidget window;
    QString value = QStringLiteral("alt");
    DriveModal([](QWidget *w) {
        auto *d = qobject_cast<TFormAbfrageText *>(w);
        ASSERT_NE(d, nullptr);
        d->Ed_Text()->setText(QStringLiteral("neu"));
        d->reject();
    });
    EXPECT_FALSE(AskText(&window, QStringLiteral("Name"), value));
    EXPECT_EQ(value, QStringLiteral("alt"));
    DriveModal([](QWidget *w) {
        auto *d = qobject_cast<TFormAbfrageText *>(w);
        d->Ed_Text()->setText(QStringLiteral("neu"));
        d->OkButton()->click();
    });
    EXPECT_TRUE(AskText(&window, QStringLiteral("Name"), value));
    EXPECT_EQ(value, QStringLiteral("neu"));
}

TEST(DialogPrompterTest, CreatesEachDialogOnce)
{
    QWidget window;
    DialogPrompter prompter(&window);
    EXPECT_EQ(&prompter.ValueDialog(), &prompter.ValueDialog());
    EXPECT_EQ(&prompter.ComboDialog(), &prompter.ComboDialog());
    EXPECT_EQ(prompter.TextDialog().parentWidget(), &window);
    DriveModal([](QWidget *w) {
        auto *d = qobject_cast<TFormAbfrageText *>(w);
        d->Ed_Text()->setText(QStringLiteral("X1"));
        d->OkButton()->click();
    });
    QString v;
    EXPECT_TRUE(prompter.AskText(QStringLiteral("Text"), v));
    EXPECT_EQ(v, QStringLiteral("X1"));
    // Without a window the prompter owns its dialogs.
    DialogPrompter own(nullptr);
    EXPECT_EQ(own.ValueDialog().parentWidget(), nullptr);
}

} // namespace
