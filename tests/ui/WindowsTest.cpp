#include "support/TestEnvironment.h"
#include "link/TeleThread.h"
#include "link/ui/FormLWL.h"
#include "services/ui/FormIdentNummer.h"
#include "shell/MainController.h"
#include "shell/PrgInit.h"
#include "shell/Texts.h"
#include "shell/UpdateCheck.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/FormInit.h"
#include "shell/ui/GuiPrompter.h"
#include "support/ScriptedPrompter.h"
#include "SimPort.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>
#include <QDir>
#include <QFile>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>
#include <atomic>
#include <thread>

namespace {


// The interface window on the built-in simulated device, so that opening the port needs
// no hardware and no message box.
class InterfaceWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        RegisterSimPort();
        main.Init.PortName = QStringLiteral("SIM");
        main.Init.BaudText = QStringLiteral("9600");
        window = std::make_unique<TFmLWL>(main, nullptr, &prompter);
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->Thread()->OpenAttempts() > 0; }, 5000));
        window->ClearLog();
    }
    void TearDown() override { window.reset(); }

    ScriptedPrompter prompter;
    MainController main{prompter};
    std::unique_ptr<TFmLWL> window;
};

// Saves a picture of the window when MIRELO_GRAB_DIR is set (for looking at the layout).
void Grab(QWidget &w, const QString &name)
{
    const QString dir = qEnvironmentVariable("MIRELO_GRAB_DIR");
    if (!dir.isEmpty())
        w.grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

// Every label, check box and button shows its whole text.
void ExpectNoClippedTexts(QWidget &w)
{
    for (QWidget *child : w.findChildren<QWidget *>()) {
        if (!child->isVisible())
            continue;
        const bool sizedByHint = qobject_cast<QLabel *>(child) || qobject_cast<QCheckBox *>(child);
        auto *button = qobject_cast<QAbstractButton *>(child);
        if (button && !sizedByHint) {
            // Push buttons have a style minimum wider than a short text needs.
            QString text = button->text();
            text.remove(QLatin1Char('&'));
            EXPECT_GE(button->width(), button->fontMetrics().horizontalAdvance(text) + 6)
                << child->objectName().toStdString();
        }
        if (sizedByHint) {
            EXPECT_GE(child->width(), child->minimumSizeHint().width()) << child->objectName().toStdString();
        }
        if (qobject_cast<QLabel *>(child) || qobject_cast<QAbstractButton *>(child)) {
            EXPECT_GE(child->height(), child->minimumSizeHint().height()) << child->objectName().toStdString();
            EXPECT_TRUE(w.rect().contains(QRect(child->mapTo(&w, QPoint(0, 0)), child->size())))
                << child->objectName().toStdString();
        }
    }
}

} // namespace

// ---- interface window ----------------------------------------------------------------

TEST_F(InterfaceWindowTest, IsTheNamedWindowThatOwnsTheThread)
{
    EXPECT_EQ(window->objectName(), QStringLiteral("FmLWL"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Schnittstelle"));
    ASSERT_NE(window->Thread(), nullptr);
    EXPECT_EQ(main.Thread(), window->Thread());
    EXPECT_EQ(window->Thread()->PortName(), QStringLiteral("SIM"));
    EXPECT_TRUE(window->Thread()->PortOpen());
    EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.Errors.join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(window->isVisible()) << "created hidden, shown with Ctrl+D";
}

TEST_F(InterfaceWindowTest, LinesWithAndWithoutTimestamp)
{
    window->AddLog(QStringLiteral("S"), QStringLiteral("AE,37,05"));
    window->SetTimestamp(true);
    window->AddLog(QStringLiteral("D"), QStringLiteral("ProtokollSuchen 1,1"));
    window->SetTimestamp(false);
    window->AddLog(QStringLiteral("Ex"), QString());

    const QStringList lines = window->LogLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("S AE,37,05"));
    const QRegularExpression stamped(QStringLiteral("^(\\d+) D ProtokollSuchen 1,1$"));
    const auto m = stamped.match(lines[1]);
    ASSERT_TRUE(m.hasMatch()) << lines[1].toStdString();
    const int ms = m.captured(1).toInt();
    EXPECT_GE(ms, 0);
    EXPECT_LE(ms, 59999);
    EXPECT_EQ(lines[2], QStringLiteral("Ex "));
}

TEST(InterfaceWindowStamp, IsTheMillisecondOfTheMinute)
{
    struct Case { QTime time; int ms; };
    const Case cases[] = {{QTime(10, 0, 0, 0), 0},
                          {QTime(10, 0, 0, 7), 7},
                          {QTime(23, 59, 59, 999), 59999},
                          {QTime(0, 1, 30, 250), 30250}};
    for (const Case &c : cases)
        EXPECT_EQ(TFmLWL::MillisecondOfMinute(c.time), c.ms) << c.time.toString().toStdString();
}

TEST_F(InterfaceWindowTest, MoreThan200LinesEmptyTheLogFirst)
{
    for (int i = 1; i <= 201; ++i)
        window->AddLog(QStringLiteral("S"), QString::number(i));
    EXPECT_EQ(window->LogLineCount(), 201) << "200 lines are not yet more than 200";
    window->AddLog(QStringLiteral("E"), QStringLiteral("next"));
    EXPECT_EQ(window->LogLines(), QStringList{QStringLiteral("E next")});
}

TEST_F(InterfaceWindowTest, StoppedAddsNothingButStillEmptiesAFullLog)
{
    auto *stop = window->findChild<QToolButton *>(QStringLiteral("SB_Stop"));
    ASSERT_NE(stop, nullptr);
    window->AddLog(QStringLiteral("S"), QStringLiteral("before"));
    window->show();
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(window->Stopped());
    window->AddLog(QStringLiteral("S"), QStringLiteral("while stopped"));
    emit main.LogLine(QStringLiteral("DatenVKEnde"), QStringLiteral("R :00000002-00000000"));
    EXPECT_EQ(window->LogLines(), QStringList{QStringLiteral("S before")});

    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_FALSE(window->Stopped());
    for (int i = 0; i < 210; ++i)
        window->AddLog(QStringLiteral("S"), QString::number(i));
    ASSERT_GT(window->LogLineCount(), 0);
    window->SetStopped(true);
    window->AddLog(QStringLiteral("S"), QStringLiteral("x"));
    window->AddLog(QStringLiteral("S"), QStringLiteral("x"));
    // The size rule runs before the stop button is looked at.
    EXPECT_LE(window->LogLineCount(), TFmLWL::MaxLogLines + 1);
    window->hide();
}

TEST_F(InterfaceWindowTest, MainControllerLinesAndThreadLinesArrive)
{
    emit main.LogLine(QStringLiteral("DatenVKEnde"), QStringLiteral("R :00000002-00000000"));
    EXPECT_EQ(window->LogLines(), QStringList{QStringLiteral("DatenVKEnde R :00000002-00000000")});

    // OnLog is called by the worker: the line must wait for the GUI thread.
    window->ClearLog();
    std::thread worker([this] { window->Thread()->OnLog(QStringLiteral("D"), QStringLiteral("from worker")); });
    worker.join();
    EXPECT_EQ(window->LogLineCount(), 0) << "added outside the GUI thread";
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->LogLineCount() == 1; }, 2000));
    EXPECT_EQ(window->LogLines().value(0), QStringLiteral("D from worker"));
}

TEST_F(InterfaceWindowTest, ExchangesReachTheCountersAndTheLog)
{
    QSignalSpy pushed(window.get(), &TFmLWL::Pushed);
    QSignalSpy done(window.get(), &TFmLWL::Done);
    ASSERT_TRUE(main.Push(5, 0x0030, 4));
    ASSERT_TRUE(QTest::qWaitFor([&] { return done.count() == 1; }, 10000));
    EXPECT_EQ(pushed.count(), 1);
    EXPECT_TRUE(QTest::qWaitFor([this] { return window->LogLines().join(QLatin1Char('\n')).contains(
                                              QStringLiteral("DatenVKEnde")); }, 2000));
    const QStringList lines = window->LogLines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString &l) { return l.startsWith("S "); }))
        << lines.join(QLatin1Char('|')).toStdString();
}

TEST_F(InterfaceWindowTest, PopupMenuEntriesAndKindSwitches)
{
    QStringList texts;
    for (QAction *a : window->PopupMenu()->actions())
        if (!a->isSeparator())
            texts << a->text();
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Send Telegram activities"), QStringLiteral("Recv Telegram activities"),
                                  QStringLiteral("Timestamp"), QStringLiteral("&Kopieren"),
                                  QStringLiteral("Alles &markieren")}));
    EXPECT_TRUE(window->SendAction()->isCheckable());
    EXPECT_TRUE(window->RecvAction()->isCheckable());
    EXPECT_TRUE(window->TimestampAction()->isCheckable());
    EXPECT_FALSE(window->TimestampAction()->isChecked());
    EXPECT_EQ(window->CopyAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(window->SelectAllAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_A));

    window->SendAction()->setChecked(false);
    window->AddLog(QStringLiteral("S"), QStringLiteral("queued"));
    window->AddLog(QStringLiteral("E"), QStringLiteral("answer"));
    window->RecvAction()->setChecked(false);
    window->AddLog(QStringLiteral("Ex"), QStringLiteral("data"));
    window->AddLog(QStringLiteral("E"), QStringLiteral("answer 2"));
    window->AddLog(QStringLiteral("D"), QStringLiteral("search"));
    EXPECT_EQ(window->LogLines(), (QStringList{QStringLiteral("E answer"), QStringLiteral("D search")}));
}

TEST_F(InterfaceWindowTest, DoubleClickClearsAndCopyTakesTheSelection)
{
    window->show();
    window->AddLog(QStringLiteral("S"), QStringLiteral("one"));
    window->AddLog(QStringLiteral("S"), QStringLiteral("two"));
    auto *memo = window->findChild<QPlainTextEdit *>(QStringLiteral("Memo_Log"));
    ASSERT_NE(memo, nullptr);
    EXPECT_TRUE(memo->isReadOnly());

    window->SelectAllAction()->trigger();
    window->CopyAction()->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("S one\nS two"));

    QTest::mouseDClick(memo->viewport(), Qt::LeftButton);
    EXPECT_EQ(window->LogLineCount(), 0);
    window->hide();
}

TEST(InterfaceWindowLifetime, DestructionEndsTheThreadAndForgetsIt)
{
    RegisterSimPort();
    ScriptedPrompter prompter;
    MainController main(prompter);
    main.Init.PortName = QStringLiteral("SIM");
    QPointer<TTeleThread> thread;
    {
        TFmLWL window(main, nullptr, &prompter);
        thread = window.Thread();
        ASSERT_TRUE(main.Push(5, 0x0030, 4));
    }
    EXPECT_EQ(main.Thread(), nullptr);
    EXPECT_TRUE(thread.isNull());
    EXPECT_FALSE(main.Push(5, 0x0030, 4));
}

// The saved port failing at the start, missing or unusable, gets no box: the status bar
// names it and says why.
TEST(InterfaceWindowPort, AFailingSavedPortIsToldInTheStatusBarNotInABox)
{
    QTemporaryDir dir;
    const QString notATerminal = dir.path() + QStringLiteral("/ttyMireloFile");
    QFile file(notATerminal);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString &port : {notATerminal, QStringLiteral("/nonexistent/ttyMirelo")}) {
        SCOPED_TRACE(port.toStdString());
        ScriptedPrompter prompter;
        MainController main(prompter);
        QStringList status;
        QObject::connect(&main, &MainController::StatusText, [&](int panel, const QString &text) {
            if (panel == 4)
                status << text;
        });
        main.Init.PortName = port;
        TFmLWL window(main, nullptr, &prompter);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !status.isEmpty(); }, 5000));
        EXPECT_FALSE(window.Thread()->PortOpen());
        EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(status.last().contains(port)) << status.last().toStdString();
        EXPECT_FALSE(status.last().contains(QLatin1Char('\r')));
        EXPECT_EQ(window.Thread()->PortProblem().replace(QLatin1Char('\r'), QLatin1Char(' ')), status.last());
    }
}

// ---- access dialog ---------------------------------------------------------------------

class IdentDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        main.Data.State.DeviceType = 5;
        main.Data.State.AccessCode = QStringLiteral("00456");
    }
    ScriptedPrompter prompter;
    MainController main{prompter};
    TFormIdentNummer dialog{main};
};

TEST_F(IdentDialogTest, ControlsAndLabelByDeviceType)
{
    EXPECT_EQ(dialog.objectName(), QStringLiteral("FormIdentNummer"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Ident Nummer"));
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("Ed_Passwort"));
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("LB_Passwort"));
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("Btn_OK"));
    auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("Btn_Abbruch"));
    ASSERT_TRUE(edit && label && ok && cancel);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit), int('*'));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(cancel->text(), QStringLiteral("Abbruch"));

    struct Case { int type; bool withHint; };
    for (const Case c : {Case{0, true}, Case{31, true}, Case{32, false}, Case{51, false}, Case{52, true},
                         Case{54, true}, Case{55, false}}) {
        main.Data.State.DeviceType = c.type;
        edit->setText(QStringLiteral("left over"));
        ASSERT_TRUE(dialog.Prepare(QStringLiteral("Ident")));
        const QString expected = c.withHint ? GetText(43) + QLatin1Char('\n') + GetText(141) : GetText(43);
        EXPECT_EQ(label->text(), expected) << c.type;
        EXPECT_TRUE(edit->text().isEmpty());
    }
    EXPECT_FALSE(dialog.Prepare(QStringLiteral("ident"))) << "modes are exact";
    EXPECT_FALSE(dialog.ShowMode(QString())) << "an unknown mode shows nothing";
}

TEST_F(IdentDialogTest, PasswordsDeviceNumberAndEmptyText)
{
    ASSERT_TRUE(dialog.Prepare(QStringLiteral("Ident")));
    struct Case { const char *entered; const char *level; bool identified; };
    const Case cases[] = {{"service-3187", "Ser", true},  {"SERVICE-3187", "Ser", true},
                          {"master-9072", "Mas", true},   {"00456", "00456", true},
                          {"00457", "", false},           {"", "", false},
                          {"WERK-7431", "Fac", true},     {"werk-7432", "", false}};
    for (const Case &c : cases) {
        dialog.Accept(QString::fromUtf8(c.entered));
        EXPECT_EQ(main.Access.Level, QString::fromLatin1(c.level)) << c.entered;
        EXPECT_EQ(main.Access.Identified, c.identified) << c.entered;
        EXPECT_EQ(dialog.EnteredText(), QString::fromUtf8(c.entered).toUpper());
        EXPECT_EQ(main.Data.AccessLevel, main.Access.Level);
    }
    EXPECT_TRUE(prompter.All().isEmpty()) << "a wrong password is not reported here";
}

TEST_F(IdentDialogTest, OkAndCancelThroughTheModalDialog)
{
    QSignalSpy menus(&main, &MainController::StateChanged);
    QTimer::singleShot(0, &dialog, [this] {
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("Ed_Passwort")), QStringLiteral("kunde-2958"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Btn_OK")), Qt::LeftButton);
    });
    EXPECT_TRUE(dialog.ShowMode(QStringLiteral("Ident")));
    EXPECT_EQ(main.Access.Level, QStringLiteral("Cus"));
    EXPECT_TRUE(main.Access.Identified);
    EXPECT_EQ(dialog.EnteredText(), QStringLiteral("KUNDE-2958"));
    EXPECT_GE(menus.count(), 1) << "the menus follow the new level";

    QTimer::singleShot(0, &dialog, [this] {
        QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("Ed_Passwort")), QStringLiteral("00456"));
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("Btn_Abbruch")), Qt::LeftButton);
    });
    EXPECT_FALSE(dialog.ShowMode(QStringLiteral("Ident")));
    EXPECT_EQ(main.Access.Level, QStringLiteral("Cus")) << "cancel changes nothing";
    EXPECT_EQ(dialog.EnteredText(), QStringLiteral("KUNDE-2958"));
}

TEST_F(IdentDialogTest, FbedNumberMustBeAWholeNumber)
{
    main.Access.Level = QStringLiteral("Ser");
    main.Access.Identified = true;
    ASSERT_TRUE(dialog.Prepare(QStringLiteral("FBED")));
    struct Case { const char *entered; bool accepted; int number; };
    const Case cases[] = {{"1234", true, 1234}, {"12a4", false, 0}, {"", false, 0}, {"0", true, 0},
                          {"65535", true, 65535}, {"1.5", false, 0}};
    int infos = 0;
    for (const Case &c : cases) {
        dialog.Accept(QString::fromLatin1(c.entered));
        EXPECT_EQ(dialog.EditAccepted(), c.accepted) << c.entered;
        EXPECT_EQ(dialog.FbedNumber(), c.number) << c.entered;
        if (!c.accepted) {
            ++infos;
            ASSERT_EQ(prompter.Infos.size(), infos) << c.entered;
            EXPECT_EQ(prompter.Infos.last(), GetText(314));
        }
    }
    EXPECT_EQ(prompter.Infos.size(), infos);
    EXPECT_EQ(main.Access.Level, QStringLiteral("Ser")) << "the FBED number is no password";
    EXPECT_TRUE(main.Access.Identified);
}

// ---- settings dialog -------------------------------------------------------------------

class SettingsDialogTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ConfigDirGuard guard{dir.path()};
    ScriptedPrompter prompter;
    MainController main{prompter};
    TFmInit dialog{main};

    QCheckBox *Box(const char *name) { return dialog.findChild<QCheckBox *>(QString::fromLatin1(name)); }
    // Clicks the check box where its square is.
    void Toggle(const char *name)
    {
        QCheckBox *box = Box(name);
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
    QLineEdit *Folder() { return dialog.findChild<QLineEdit *>(QStringLiteral("Ed_Sollwertpfad")); }
    QPushButton *Button(const char *name) { return dialog.findChild<QPushButton *>(QString::fromLatin1(name)); }
};

TEST_F(SettingsDialogTest, ShowsTheSettingsAndSavesThemRoundTrip)
{
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(dialog.objectName(), QStringLiteral("FmInit"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Einstellungen"));
    ASSERT_TRUE(Box("CB_Splash") && Box("CB_Ident") && Box("CB_AutoSave") && Folder());
    EXPECT_EQ(Box("CB_Splash")->text(), QStringLiteral("Splashscreen beim Start"));
    EXPECT_EQ(Box("CB_Ident")->text(), QStringLiteral("Identabfrage beim Start"));
    EXPECT_EQ(Box("CB_AutoSave")->text(), QStringLiteral("Einstellungen beim Programmende speichern"));
    EXPECT_EQ(Button("Btn_Schliessen")->text(), QStringLiteral("Schließen"));
    EXPECT_EQ(Button("Btn_Speichern")->text(), QStringLiteral("Speichern"));

    main.Init.Splash = true;
    main.Init.Ident = false;
    main.Init.AutoSave = true;
    main.Init.ParamFolder = dir.filePath(QStringLiteral("sollwerte"));
    main.Init.PortName = QStringLiteral("/dev/ttyUSB3");
    main.Settings.Retries = 3;
    dialog.show();
    auto *retries = dialog.findChild<QSpinBox *>(QStringLiteral("SE_Wiederholungen"));
    ASSERT_TRUE(retries);
    EXPECT_EQ(retries->value(), 3);
    EXPECT_EQ(retries->maximum(), Settings::MaxRetries);
    EXPECT_EQ(retries->minimum(), 0);
    EXPECT_TRUE(Box("CB_Splash")->isChecked());
    EXPECT_FALSE(Box("CB_Ident")->isChecked());
    EXPECT_TRUE(Box("CB_AutoSave")->isChecked());
    EXPECT_EQ(Folder()->text(), dir.filePath(QStringLiteral("sollwerte")));

    Toggle("CB_Splash");
    Toggle("CB_Ident");
    Toggle("CB_AutoSave");
    Folder()->setText(dir.filePath(QStringLiteral("andere")));
    retries->setValue(0);
    QTest::mouseClick(Button("Btn_Speichern"), Qt::LeftButton);
    EXPECT_TRUE(dialog.isVisible()) << "Speichern keeps the dialog open";
    EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();

    ASSERT_TRUE(QFile::exists(SettingsFilePath()));
    TPrgInit init;
    ProgramSettings settings;
    ReadSettings(init, settings, SettingsFilePath());
    EXPECT_FALSE(init.Splash);
    EXPECT_TRUE(init.Ident);
    EXPECT_FALSE(init.AutoSave);
    EXPECT_EQ(init.ParamFolder, dir.filePath(QStringLiteral("andere")));
    EXPECT_EQ(settings.Retries, 0);
    EXPECT_EQ(init.PortName, QStringLiteral("/dev/ttyUSB3")) << "the other settings are written too";
    dialog.hide();

    // Shown again: filled from the settings, not from what the controls held.
    main.Init.Splash = true;
    dialog.show();
    EXPECT_TRUE(Box("CB_Splash")->isChecked());
    dialog.hide();
}

TEST_F(SettingsDialogTest, CloseCopiesWithoutWriting)
{
    main.Init.Ident = false;
    dialog.show();
    Toggle("CB_Ident");
    Folder()->setText(QStringLiteral("  /srv/sollwerte  "));
    QTest::mouseClick(Button("Btn_Schliessen"), Qt::LeftButton);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(main.Init.Ident);
    EXPECT_EQ(main.Init.ParamFolder, QStringLiteral("/srv/sollwerte"));
    EXPECT_FALSE(QFile::exists(SettingsFilePath()));
}

TEST_F(SettingsDialogTest, SavingWhereNoFolderCanBeMadeIsReported)
{
    // The settings folder lies below a plain file: it cannot be created.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ConfigDirGuard below(dir.filePath(QStringLiteral("blocker/sub")));
    dialog.show();
    EXPECT_FALSE(dialog.Save());
    ASSERT_EQ(prompter.Errors.size(), 1);
    EXPECT_TRUE(prompter.Errors[0].startsWith(GetText(49))) << prompter.Errors[0].toStdString();
    dialog.hide();
}

TEST_F(SettingsDialogTest, ANewFolderIsMadeOnlyAfterAsking)
{
    dialog.show();
    const QString before = Folder()->text();
    const QString fresh = dir.filePath(QStringLiteral("neu/unter"));

    prompter.Answers = {false};
    EXPECT_FALSE(dialog.UseFolder(fresh));
    EXPECT_FALSE(QDir(fresh).exists());
    EXPECT_EQ(Folder()->text(), before);
    ASSERT_EQ(prompter.Questions.size(), 1);
    EXPECT_TRUE(prompter.Questions[0].contains(fresh));

    prompter.Answers = {true};
    EXPECT_TRUE(dialog.UseFolder(fresh));
    EXPECT_TRUE(QDir(fresh).exists());
    EXPECT_EQ(Folder()->text(), fresh);

    // An existing folder is taken without a question; a plain file is refused.
    prompter.Clear();
    EXPECT_TRUE(dialog.UseFolder(dir.path()));
    EXPECT_TRUE(prompter.Questions.isEmpty());
    QFile plain(dir.filePath(QStringLiteral("plain.txt")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    EXPECT_FALSE(dialog.UseFolder(plain.fileName()));
    EXPECT_EQ(Folder()->text(), dir.path());
    dialog.hide();
}

// ---- about box and prompter ---------------------------------------------------------

TEST(AboutBoxTest, VersionLineAndProgramDate)
{
    const QDate day(2024, 5, 7);
    EXPECT_EQ(TAboutBox::VersionText(QStringLiteral("1.2.3"), day), QStringLiteral("Version 1.2.3u\nvom 07.05.2024"));
    // The date follows the interface language, whatever the system's locale.
    const struct {
        const char *code, *expected;
    } dates[] = {{"deu", "07.05.2024"}, {"ger", "07.05.2024"}, {"eng", "7 May 2024"}, {"fra", "7 mai 2024"},
                 {"", "7 May 2024"},    {"zzz", "7 May 2024"}};
    for (const auto &d : dates)
        EXPECT_EQ(TAboutBox::DateText(day, QString::fromUtf8(d.code)), QString::fromUtf8(d.expected)) << d.code;
    EXPECT_TRUE(TAboutBox::DateText(QDate(), QStringLiteral("deu")).isEmpty());
    EXPECT_EQ(TAboutBox::ProgramDate(), QFileInfo(QCoreApplication::applicationFilePath()).lastModified().date());

    TAboutBox box;
    EXPECT_EQ(box.objectName(), QStringLiteral("AboutBox"));
    auto *version = box.findChild<QLabel *>(QStringLiteral("Version"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), TAboutBox::VersionText(UpdateCheck::OwnVersion(), TAboutBox::ProgramDate()));
    EXPECT_TRUE(version->text().startsWith(QStringLiteral("Version " MIRELO_VERSION "u\nvom ")));
}

TEST(AboutBoxTest, AnyKeyClosesTheModalBox)
{
    TAboutBox box;
    QTimer::singleShot(0, &box, [&box] { QTest::keyClick(&box, Qt::Key_X); });
    QTimer failsafe;
    QObject::connect(&failsafe, &QTimer::timeout, &box, &QDialog::reject);
    failsafe.start(5000);
    QElapsedTimer t;
    t.start();
    box.exec();
    EXPECT_LT(t.elapsed(), 4000);
    EXPECT_FALSE(box.isVisible());
}

TEST(AboutBoxTest, OkButtonClosesTheModalBox)
{
    TAboutBox box;
    auto *buttons = box.findChild<QDialogButtonBox *>(QStringLiteral("ButtonBox"));
    ASSERT_NE(buttons, nullptr);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ASSERT_NE(ok, nullptr);
    QTimer::singleShot(0, &box, [ok] { QTest::mouseClick(ok, Qt::LeftButton); });
    QTimer failsafe;
    QObject::connect(&failsafe, &QTimer::timeout, &box, &QDialog::reject);
    failsafe.start(5000);
    EXPECT_EQ(box.exec(), int(QDialog::Accepted));
    EXPECT_FALSE(box.isVisible());
}

TEST(AboutBoxTest, SplashClosesByItself)
{
    TAboutBox box;
    box.ShowSplash(100);
    EXPECT_TRUE(box.isVisible());
    EXPECT_TRUE(box.IsSplash());
    EXPECT_FALSE(box.isModal());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !box.isVisible(); }, 3000));
}

TEST(GuiPrompterTest, CarriageReturnsBecomeLineBreaks)
{
    EXPECT_EQ(GuiPrompter::ForDisplay(QStringLiteral("a\rb\r\nc\nd")), QStringLiteral("a\nb\nc\nd"));
    EXPECT_EQ(GuiPrompter::ForDisplay(GetText(71)).count(QLatin1Char('\n')), 2);
}

TEST(GuiPrompterTest, QuestionFromAWorkerWaitsForTheAnswerInTheGuiThread)
{
    QWidget parent;
    GuiPrompter prompter(&parent);
    std::atomic<bool> answer{false};
    bool shownInGuiThread = false;
    // Answers the box with "Ja" as soon as it appears.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (box && box->isVisible()) {
                shownInGuiThread = QThread::currentThread() == qApp->thread();
                EXPECT_EQ(box->button(QMessageBox::Yes)->text(), QStringLiteral("&Ja"));
                box->button(QMessageBox::Yes)->click();
            }
        }
    });
    poll.start(20);
    std::thread worker([&] { answer = prompter.question(QStringLiteral("Weiter?")); });
    ASSERT_TRUE(QTest::qWaitFor([&] { return answer.load(); }, 5000));
    worker.join();
    EXPECT_TRUE(shownInGuiThread);
}

// ---- the windows as a user sees them -----------------------------------------------

TEST(WindowLayout, NoTextIsClipped)
{
    RegisterSimPort();
    QTemporaryDir dir;
    ConfigDirGuard guard(dir.path());
    ScriptedPrompter prompter;
    MainController main(prompter);
    main.Init.PortName = QStringLiteral("SIM");
    main.Data.State.DeviceType = 5;

    TFmInit settings(main);
    settings.show();
    QApplication::processEvents();
    ExpectNoClippedTexts(settings);
    Grab(settings, QStringLiteral("FmInit"));

    TFormIdentNummer ident(main);
    ident.Prepare(QStringLiteral("Ident"));
    ident.show();
    QApplication::processEvents();
    ExpectNoClippedTexts(ident);
    Grab(ident, QStringLiteral("FormIdentNummer"));

    TAboutBox about;
    about.show();
    QApplication::processEvents();
    ExpectNoClippedTexts(about);
    Grab(about, QStringLiteral("AboutBox"));

    TFmLWL lwl(main, nullptr, &prompter);
    lwl.show();
    lwl.AddLog(QStringLiteral("S"), QStringLiteral("AE,37,05,00,30,04"));
    lwl.SetTimestamp(true);
    lwl.AddLog(QStringLiteral("E"), QStringLiteral("37,AE,04,85"));
    QApplication::processEvents();
    ExpectNoClippedTexts(lwl);
    Grab(lwl, QStringLiteral("FmLWL"));
}
