// Translation of real widget trees: each component kind, missing and empty keys, windows
// nested in a window, German coming back; and the shipped English file against the
// object names of the windows it translates.
#include "shell/AnsiCodec.h"
#include "shell/IniFile.h"
#include "shell/Texts.h"
#include "shell/Translate.h"
#include "shell/ui/TranslateWidgets.h"
#include "support/ScriptedPrompter.h"
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

#if __has_include("shell/ui/FormMain.h")
#include "calibration/ui/AbgleichULVA.h"
#include "calibration/ui/CanAnalog.h"
#include "calibration/ui/DlgFormUlvaG.h"
#include "calibration/ui/ULVAAusgang.h"
#include "services/ui/Betriebsstunden.h"
#include "services/ui/MainsTest.h"
#include "services/ui/PrgService.h"
#include "services/ui/ProgramNumber.h"
#include "services/ui/RamList.h"
#include "services/ui/ReadEvent.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#define HAVE_FORM_MAIN 1
#endif
#if __has_include("shell/ui/AboutBox.h")
#include "shell/ui/AboutBox.h"
#define HAVE_ABOUT_BOX 1
#endif
#if __has_include("link/ui/FormLWL.h")
#include "link/ui/FormLWL.h"
#define HAVE_FM_LWL 1
#endif

using namespace Translation;

namespace {

void writeLanguageFile(const QString &path, const QStringList &keyLines)
{
    QString text = QStringLiteral("[Mirelo Baldren Solutions]\r\n");
    for (const QString &l : keyLines)
        text += l + QStringLiteral("\r\n");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(Ansi::encode(text));
}

template <class T> T *named(const char *name, T *obj)
{
    obj->setObjectName(QLatin1String(name));
    return obj;
}

// A window with one component of every kind, German as designed.
class WidgetTree : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InstallWidgetTextSlots();
        ASSERT_TRUE(dir.isValid());
        form.setObjectName(QStringLiteral("FmTest"));
        form.setWindowTitle(QStringLiteral("Prüfung"));
        label = named("Label1", new QLabel(QStringLiteral("Bezeichnung"), &form));
        button = named("Btn_Ok", new QPushButton(QStringLiteral("Übernehmen"), &form));
        tool = named("SB_Stop", new QToolButton(&form));
        tool->setText(QStringLiteral("Halt"));
        check = named("CB_Splash", new QCheckBox(QStringLiteral("Splashscreen beim Start"), &form));
        edit = named("Ed_Pfad", new QLineEdit(QStringLiteral("C:\\Sollwerte"), &form));
        edit->setToolTip(QStringLiteral("Ordner"));
        group = named("RadioGroup1", new QGroupBox(QStringLiteral("Baudrate"), &form));
        item0 = new QRadioButton(QStringLiteral("2400"), group);
        item1 = new QRadioButton(QStringLiteral("9600"), group);
        namedRadio = named("RB_1", new QRadioButton(QStringLiteral("Wartungsintervall"), group));
        tabs = named("PageControl1", new QTabWidget(&form));
        page0 = named("TabSheet1", new QWidget);
        tabs->addTab(page0, QStringLiteral("Allgemein"));
        tabs->addTab(new QWidget, QStringLiteral("Erweitert"));
        table = named("ListView1", new QTableWidget(0, 2, &form));
        table->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Wert")});
        tree = named("TreeView1", new QTreeWidget(&form));
        tree->setHeaderLabels({QStringLiteral("Gruppe")});
        menu = named("Menu1", new QMenu(QStringLiteral("&Einstellungen"), &form));
        // The menu's own action shares its text and is a component as well.
        menu->menuAction()->setObjectName(QStringLiteral("Menu1Action"));
        action = named("Menu11", menu->addAction(QStringLiteral("&Ident Nummer")));
        action->setStatusTip(QStringLiteral("Zugang"));
        texts.Consts = QStringList{QStringLiteral("Erster"), QStringLiteral("Zweiter")};
        new TConstListHolder(texts, QStringLiteral("CL_Texte"), &form);
        // Another window inside this one: its components have keys of their own.
        inner = named("FormInner", new QDialog(&form));
        innerLabel = named("Label1", new QLabel(QStringLiteral("Innen"), inner));
    }
    QString folder() const { return dir.path(); }
    void write(const QStringList &lines) { writeLanguageFile(dir.path() + QStringLiteral("/eng.ini"), lines); }

    QTemporaryDir dir;
    QWidget form;
    QLabel *label, *innerLabel;
    QPushButton *button;
    QToolButton *tool;
    QCheckBox *check;
    QLineEdit *edit;
    QGroupBox *group;
    QRadioButton *item0, *item1, *namedRadio;
    QTabWidget *tabs;
    QWidget *page0;
    QTableWidget *table;
    QTreeWidget *tree;
    QMenu *menu;
    QAction *action;
    TConstList texts;
    QDialog *inner;
};

const QStringList kEnglish = {
    QStringLiteral("FmTest.Caption=Test"),
    QStringLiteral("FmTest.Label1.Caption=Name"),
    QStringLiteral("FmTest.Btn_Ok.Caption=Apply"),
    QStringLiteral("FmTest.SB_Stop.Caption=Stop"),
    QStringLiteral("FmTest.CB_Splash.Caption=Splash screen at start"),
    QStringLiteral("FmTest.Ed_Pfad.Text=C:\\Setpoints"),
    QStringLiteral("FmTest.Ed_Pfad.Hint=Folder"),
    QStringLiteral("FmTest.RadioGroup1.Caption=Baud rate"),
    QStringLiteral("FmTest.RadioGroup1.Items_0=2400 Bd"),
    QStringLiteral("FmTest.RadioGroup1.Items_1=9600 Bd"),
    QStringLiteral("FmTest.RB_1.Caption=Maintenance interval"),
    QStringLiteral("FmTest.PageControl1.Tabs_1=Advanced"),
    QStringLiteral("FmTest.TabSheet1.Caption=General"),
    QStringLiteral("FmTest.ListView1.Columns_0.Caption=Name EN"),
    QStringLiteral("FmTest.ListView1.Columns_1.Caption=Value"),
    QStringLiteral("FmTest.TreeView1.Columns_0.Caption=Group"),
    QStringLiteral("FmTest.Menu1.Caption=&Settings"),
    QStringLiteral("FmTest.Menu11.Caption=&Ident number"),
    QStringLiteral("FmTest.Menu11.Hint=Access"),
    QStringLiteral("FmTest.CL_Texte.Consts_1=Second"),
    QStringLiteral("FormInner.Label1.Caption=Inside"),
};

TEST_F(WidgetTree, EveryKindGetsItsText)
{
    write(kEnglish);
    TranslateForm(folder(), &form, QStringLiteral("eng"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Test"));
    EXPECT_EQ(label->text(), QStringLiteral("Name"));
    EXPECT_EQ(button->text(), QStringLiteral("Apply"));
    EXPECT_EQ(tool->text(), QStringLiteral("Stop"));
    EXPECT_EQ(check->text(), QStringLiteral("Splash screen at start"));
    EXPECT_EQ(edit->text(), QStringLiteral("C:\\Setpoints"));
    EXPECT_EQ(edit->toolTip(), QStringLiteral("Folder"));
    EXPECT_EQ(group->title(), QStringLiteral("Baud rate"));
    EXPECT_EQ(item0->text(), QStringLiteral("2400 Bd"));
    EXPECT_EQ(item1->text(), QStringLiteral("9600 Bd"));
    EXPECT_EQ(namedRadio->text(), QStringLiteral("Maintenance interval"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("General"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Advanced"));
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Name EN"));
    EXPECT_EQ(table->horizontalHeaderItem(1)->text(), QStringLiteral("Value"));
    EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("Group"));
    EXPECT_EQ(menu->title(), QStringLiteral("&Settings"));
    EXPECT_EQ(menu->menuAction()->text(), QStringLiteral("&Settings"));
    EXPECT_EQ(action->text(), QStringLiteral("&Ident number"));
    EXPECT_EQ(action->statusTip(), QStringLiteral("Access"));
    EXPECT_EQ(texts.Consts, (QStringList{QStringLiteral("Erster"), QStringLiteral("Second")}));
    // The nested window is not a component of this one.
    EXPECT_EQ(innerLabel->text(), QStringLiteral("Innen"));
    TranslateForm(folder(), inner, QStringLiteral("eng"));
    EXPECT_EQ(innerLabel->text(), QStringLiteral("Inside"));
    EXPECT_EQ(label->text(), QStringLiteral("Name"));
}

TEST_F(WidgetTree, MissingAndEmptyKeysKeepTheText)
{
    write({QStringLiteral("FmTest.Label1.Caption="), QStringLiteral("FmTest.Btn_Ok.Caption=   "),
           QStringLiteral("FmTest.Ed_Pfad.Caption=wrong property for an edit"),
           QStringLiteral("FmTest.Label1.Text=wrong property for a label")});
    TranslateForm(folder(), &form, QStringLiteral("eng"));
    EXPECT_EQ(label->text(), QStringLiteral("Bezeichnung"));
    EXPECT_EQ(button->text(), QStringLiteral("Übernehmen")); // blanks only: trimmed to empty
    EXPECT_EQ(edit->text(), QStringLiteral("C:\\Sollwerte"));
    EXPECT_EQ(check->text(), QStringLiteral("Splashscreen beim Start"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Prüfung"));
}

TEST_F(WidgetTree, UnreadableFileChangesNothing)
{
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("eng.ini")));
    TranslateForm(folder(), &form, QStringLiteral("eng"));
    EXPECT_EQ(label->text(), QStringLiteral("Bezeichnung"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Allgemein"));
}

TEST_F(WidgetTree, GermanComesBackForEveryKind)
{
    write(kEnglish);
    TranslateForm(folder(), &form, QStringLiteral("eng"));
    TranslateForm(folder(), &form, QStringLiteral("deu"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Prüfung"));
    EXPECT_EQ(label->text(), QStringLiteral("Bezeichnung"));
    EXPECT_EQ(button->text(), QStringLiteral("Übernehmen"));
    EXPECT_EQ(edit->text(), QStringLiteral("C:\\Sollwerte"));
    EXPECT_EQ(edit->toolTip(), QStringLiteral("Ordner"));
    EXPECT_EQ(item1->text(), QStringLiteral("9600"));
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("Allgemein"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("Erweitert"));
    EXPECT_EQ(table->horizontalHeaderItem(0)->text(), QStringLiteral("Name"));
    EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("Gruppe"));
    EXPECT_EQ(menu->title(), QStringLiteral("&Einstellungen"));
    EXPECT_EQ(action->statusTip(), QStringLiteral("Zugang"));
    EXPECT_EQ(texts.Consts.at(1), QStringLiteral("Zweiter"));
}

TEST_F(WidgetTree, ColumnsOfAViewOnAnyModel)
{
    auto *view = named("LV_Speicher", new QTableView(&form));
    auto *model = new QStandardItemModel(0, 2, view); // not a component: it has no name
    model->setHorizontalHeaderLabels({QStringLiteral("Adresse"), QStringLiteral("Inhalt")});
    view->setModel(model);
    // A table without header items yet gets them.
    auto *bare = named("ListView2", new QTableWidget(0, 1, &form));
    write({QStringLiteral("FmTest.LV_Speicher.Columns_1.Caption=Contents"),
           QStringLiteral("FmTest.ListView2.Columns_0.Caption=Entry")});
    TranslateForm(folder(), &form, QStringLiteral("eng"));
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Adresse"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Contents"));
    ASSERT_NE(bare->horizontalHeaderItem(0), nullptr);
    EXPECT_EQ(bare->horizontalHeaderItem(0)->text(), QStringLiteral("Entry"));
}

// ---- the shipped English file against the real windows ----

// The component of a window with the name, not looking into other windows inside it.
QObject *componentOf(QObject *parent, const QString &name)
{
    for (QObject *child : parent->children()) {
        if (child->inherits("QDialog") || child->inherits("QMainWindow"))
            continue;
        if (child->objectName() == name)
            return child;
        if (QObject *found = componentOf(child, name))
            return found;
    }
    return nullptr;
}

#ifdef HAVE_FORM_MAIN
// The windows the main window makes only when their entry is chosen, made the same way.
// They go before the main window: some of them unregister from its chains.
std::vector<std::unique_ptr<QWidget>> makeLateWindows(TFormMain &form)
{
    MainController &m = form.Controller();
    ParameterSender &sender = *form.Sender();
    std::vector<std::unique_ptr<QWidget>> made;
    for (QWidget *w : std::initializer_list<QWidget *>{
             new TReadEvent(m, &form), new TForm1(m, sender, &form), new TRAM_Liste(m, sender, &form),
             new TPrgService(m, sender, &form), new TProgrammnummer(m, &form), new TBetriebsstunden(m, sender, &form),
             new TAbgleichULVA(m, &form), new TDlgForm_UlvaG(m, &form), new TULVAAusgang(m, &form),
             new TFormAnaCAN(m, sender, &form)})
        made.emplace_back(w);
    return made;
}
#endif

class ShippedEnglish : public ::testing::Test
{
protected:
    void SetUp() override
    {
        InstallWidgetTextSlots();
        ASSERT_TRUE(config.isValid());
        qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
    }
    void TearDown() override
    {
#ifdef HAVE_FORM_MAIN
        formMain.reset();
#endif
        qunsetenv("MIRELO_CONFIG_DIR");
    }
    QTemporaryDir config;
    ScriptedPrompter prompter;
#ifdef HAVE_FORM_MAIN
    std::unique_ptr<TFormMain> formMain;
#endif
};

TEST_F(ShippedEnglish, EveryKeyNamesATextOfAnExistingComponent)
{
    IniFile ini;
    ASSERT_TRUE(ini.LoadFromFile(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/ini/eng.ini"))) << "eng.ini missing";
    const QStringList keys = ini.ReadSection(ApplicationTitle());
    ASSERT_GT(keys.size(), 100);

    QHash<QString, QObject *> windows;
#ifdef HAVE_FORM_MAIN
    formMain = std::make_unique<TFormMain>(&prompter);
    formMain->CreateWindows();
    for (QObject *w : formMain->TranslatedWindows())
        if (w)
            windows.insert(w->objectName(), w);
    const auto late = makeLateWindows(*formMain);
    for (const auto &w : late)
        windows.insert(w->objectName(), w.get());
#ifdef HAVE_FM_LWL
    if (QObject *lwl = formMain->InterfaceWindow())
        windows.insert(lwl->objectName(), lwl);
#endif
#endif
#ifdef HAVE_ABOUT_BOX
    TAboutBox about;
    windows.insert(about.objectName(), &about);
#endif
    if (windows.isEmpty())
        GTEST_SKIP() << "no window classes in this build";

    int checked = 0;
    QStringList unknownForms;
    for (const QString &key : keys) {
        const int dot = key.indexOf(QLatin1Char('.'));
        ASSERT_GT(dot, 0) << key.toStdString();
        const QString formName = key.left(dot);
        QObject *window = windows.value(formName);
        if (!window) {
            if (!unknownForms.contains(formName))
                unknownForms << formName;
            continue;
        }
        const QString rest = key.mid(dot + 1);
        if (rest == QLatin1String("Caption")) {
            EXPECT_TRUE(window->isWidgetType()) << key.toStdString();
            ++checked;
            continue;
        }
        const int dot2 = rest.indexOf(QLatin1Char('.'));
        ASSERT_GT(dot2, 0) << key.toStdString();
        QObject *component = componentOf(window, rest.left(dot2));
        if (!component) {
            ADD_FAILURE() << "no component for " << key.toStdString();
            continue;
        }
        const QString property = rest.mid(dot2 + 1);
        bool found = false;
        for (const TextSlot &s : SlotsOf(component))
            found = found || s.Key == property;
        EXPECT_TRUE(found) << "the component has no text " << key.toStdString();
        EXPECT_FALSE(ini.ReadString(ApplicationTitle(), key, QString()).isEmpty()) << key.toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 100);
    // Every window the file speaks of exists in this build.
    EXPECT_TRUE(unknownForms.isEmpty()) << unknownForms.join(QLatin1Char(' ')).toStdString();

#ifdef HAVE_FORM_MAIN
    // The whole file applied to the windows, and German back from memory.
    const QStringList germanMessages = CL_Strings().Consts;
    auto *settingsMenu = formMain->findChild<QMenu *>(QStringLiteral("Menu1"));
    ASSERT_NE(settingsMenu, nullptr);
    TranslateWindows(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/ini"), windows.values(), QStringLiteral("eng"));
    EXPECT_EQ(settingsMenu->title(), QStringLiteral("&Settings"));
    EXPECT_EQ(GetText(18), QStringLiteral("Valid input: "));
    EXPECT_EQ(GetText(40), QStringLiteral("You must first load parameters from\ra file or a device!"));
    TranslateWindows(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/ini"), windows.values(), QStringLiteral("deu"));
    EXPECT_EQ(settingsMenu->title(), QStringLiteral("&Einstellungen"));
    EXPECT_EQ(CL_Strings().Consts, germanMessages);
#endif
}

#ifdef HAVE_FORM_MAIN
// One characteristic text per window: those made with the main window follow the language
// choice, those made later get the language chosen when they are made.
TEST_F(ShippedEnglish, EveryWindowFollowsTheLanguageChoice)
{
    struct Row
    {
        const char *form;
        const char *component; // empty: the window title
        const char *german;
        const char *english;
    };
    const Row rows[] = {
        {"ReadEvent", "Btn_Unit", "Aus Gerät", "From device"},
        {"Form1", "Button1", "Netzausfalltest starten", "Start mains failure test"},
        {"RAM_Liste", "Button2", "Daten holen", "Fetch data"},
        {"PrgService", "Btn_Ausfuehren", "Ausführen", "Execute"},
        {"Programmnummer", "Label2", "Programmnummer:", "Program number:"},
        {"Betriebsstunden", "RB_2", "Anzahl Starts", "Number of starts"},
        {"FormModemVB", "MenuProtokoll", "Protokoll", "Protocol"},
        {"AbgleichULVA", "", "Abgleich ULVA", "ULVA calibration"},
        {"DlgForm_UlvaG", "B_Fertig", "Fertig", "Finish"},
        {"ULVAAusgang", "", "Mirelo ULVA Ausgänge", "Mirelo ULVA outputs"},
        {"FormAnaCAN", "", "Analogwerte CAN (J1939)", "Analogue values CAN (J1939)"},
        {"FormHelp", "", "Mirelo Parametrierung ZuviDezar", "Mirelo ZuviDezar parameter setting"},
    };
    formMain = std::make_unique<TFormMain>(&prompter);
    formMain->CreateWindows();
    const auto late = makeLateWindows(*formMain);
    auto captionOf = [&](const Row &row) -> QString {
        QList<QObject *> all = formMain->TranslatedWindows();
        for (const auto &w : late)
            all << w.get();
        for (QObject *w : all) {
            if (!w || w->objectName() != QLatin1String(row.form))
                continue;
            if (!*row.component)
                return static_cast<QWidget *>(w)->windowTitle();
            QObject *c = componentOf(w, QLatin1String(row.component));
            for (const TextSlot &s : c ? SlotsOf(c) : QVector<TextSlot>())
                if (s.Key == QLatin1String("Caption"))
                    return s.Get();
            return QStringLiteral("<no caption>");
        }
        return QStringLiteral("<no window>");
    };
    auto choose = [&](int index) {
        formMain->ApplyLanguage(index);
        for (const auto &w : late)
            formMain->TranslateNewWindow(w.get());
    };

    // The default language list: 0 deu, 1 eng.
    choose(1);
    ASSERT_EQ(formMain->Controller().Settings.Language, QStringLiteral("eng"));
    for (const Row &row : rows)
        EXPECT_EQ(captionOf(row), QString::fromUtf8(row.english)) << row.form;
    choose(0);
    for (const Row &row : rows)
        EXPECT_EQ(captionOf(row), QString::fromUtf8(row.german)) << row.form;
}
#endif

TEST_F(ShippedEnglish, FileIsWindows1252WithCrLf)
{
    QFile f(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/ini/eng.ini"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
    EXPECT_EQ(Ansi::encode(Ansi::decode1252(bytes)), bytes);
}

} // namespace
