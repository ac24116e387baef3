// The main window offscreen: menu tree, status bar, file glue, reading the simulated device,
// the access level unlocking the service entries.
#include "support/ScriptedPrompter.h"
#include "SimDevice.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/Protocol.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "params/GridModel.h"
#include "params/ui/ParamGrid.h"
#include "services/ui/FormIdentNummer.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "link/ui/FormLWL.h"
#include "shell/ui/AboutBox.h"
#include "shell/ui/FormInit.h"
#include "shell/ui/FormMain.h"
#include <QDialogButtonBox>
#include <QDir>
#include <QPushButton>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

const QString kDemo202 = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202");

class FormMainUi : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config.isValid());
        qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
    }
    void TearDown() override
    {
        form.reset();
        qunsetenv("MIRELO_CONFIG_DIR");
    }
    // Settings file written before the window reads it.
    void writeSettings(const QByteArray &ini)
    {
        QFile f(config.path() + QStringLiteral("/Mirelo.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }
    void create()
    {
        form = std::make_unique<TFormMain>(&prompter);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    }
    QAction *item(const char *name) const
    {
        QAction *a = form->FindAction(QString::fromLatin1(name));
        EXPECT_NE(a, nullptr) << name;
        return a;
    }
    bool shown(const char *name) const { return item(name) && item(name)->isVisible(); }
    bool enabled(const char *name) const { return item(name) && item(name)->isEnabled(); }
    QStringList captions(QMenu *menu) const
    {
        QStringList list;
        for (QAction *a : menu->actions())
            if (!a->isSeparator())
                list << a->text();
        return list;
    }
    QMenu *menu(const char *name) const { return form->findChild<QMenu *>(QString::fromLatin1(name)); }

    QTemporaryDir config;
    ScriptedPrompter prompter;
    std::unique_ptr<TFormMain> form;
};

} // namespace

TEST_F(FormMainUi, MenuTreeAtStart)
{
    create();
    EXPECT_EQ(form->objectName(), QStringLiteral("FormMain"));
    QStringList top;
    for (QAction *a : form->menuBar()->actions())
        top << a->text();
    EXPECT_EQ(top, (QStringList{"&Einstellungen", "&Parameter", "Trend", "&Istwerte", "&Datenausgabe", "&Optionen",
                                "Info"}));
    EXPECT_EQ(captions(menu("Menu1")), (QStringList{"&Ident Nummer", "&Fertigungnummer",
                                                    "&Netz-/Sammelschienenspannung", "&Generatorspannung",
                                                    "&Uhrzeit des Gerätes", "&Beenden"}));
    EXPECT_EQ(captions(menu("Menu2")), (QStringList{"Parameter aus &Datei", "Parameter aus &Gerät", "Convert Config",
                                                    "Analogwerte &CAN", "&ZuviDezar", "&Schließen"}));
    EXPECT_EQ(captions(menu("Menu3")),
              (QStringList{"&Istwerte", "Istwerte CAN", "Vindel", "CANOpen Analog", "Anstehende Alar&me",
                           "Spannungs&wächter", "&Eingänge", "&Ausgänge", "Sonsti&ges", "&Befehle ZuviDezar",
                           "&Schließen", "RAM 2E2C - 2E99"}));
    EXPECT_EQ(captions(menu("Menu4")), (QStringList{"&Parameterliste", "&Anschluss", "Para&meter speichern",
                                                    "Parameter zum &Gerät", "&Istwerte Drucken",
                                                    "Alarme speichern (.txt)"}));
    EXPECT_EQ(captions(menu("Menu56")).size(), ProtocolCount);
    for (int i = 1; i <= ProtocolCount; ++i)
        EXPECT_EQ(captions(menu("Menu56"))[i - 1], Protocol(i)->Caption);
    EXPECT_EQ(captions(menu("Menu6")),
              (QStringList{"Manual ZEV 1xx", "Manual ZEV 2xx", "Manual L-ORN", "Version"}));

    // Disabled and hidden as designed, nothing loaded.
    EXPECT_FALSE(enabled("Chart1"));
    EXPECT_FALSE(enabled("Menu3Action"));
    EXPECT_FALSE(enabled("Menu4Action"));
    for (const char *name : {"Menu12", "M_Ein_NetzSSSpg", "M_Ein_GenSpg", "Menu15", "MI_ConvertConfig"})
        EXPECT_FALSE(enabled(name)) << name;
    for (const char *name : {"Menu24", "Menu25", "Menu57", "Menu58", "Menu59", "Menu510", "Menu511", "Menu512",
                             "Menu513", "Menu514", "Menu515", "Menu310", "Menu45Action"})
        EXPECT_FALSE(shown(name)) << name;
    for (const char *name : {"M_Ein_IdentNr", "Menu16", "Menu21", "Menu22", "AcSelectCOM", "Menu51", "Menu52",
                             "Menu53", "Menu54", "Menu55", "Menu516", "Menu517", "Menu518", "Menu519", "Menu64"})
        EXPECT_TRUE(shown(name) && enabled(name)) << name;

    EXPECT_EQ(item("Menu21")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(item("Download")->shortcut(), QKeySequence(QStringLiteral("Ctrl+W")));
    EXPECT_EQ(item("Menu43")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(item("Menu22")->shortcut(), QKeySequence(QStringLiteral("Ctrl+R")));
    EXPECT_EQ(item("ShowDebug")->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
}

TEST_F(FormMainUi, StatusBarPanelsAndCountersWrap)
{
    create();
    QList<QLabel *> panels;
    for (int i = 0; i < 5; ++i)
        panels << form->statusBar()->findChild<QLabel *>(QStringLiteral("StatusPanel%1").arg(i));
    const int widths[] = {300, 100, 30, 30};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(panels[i]->width(), widths[i]) << i;
    EXPECT_GE(panels[4]->width(), 50);
    EXPECT_EQ(form->StatusPanelText(2), QStringLiteral("0"));
    EXPECT_EQ(form->StatusPanelText(3), QStringLiteral("0"));
    EXPECT_TRUE(panels[2]->alignment() & Qt::AlignRight);

    for (int i = 0; i < 99; ++i)
        form->CountPush();
    EXPECT_EQ(form->StatusPanelText(2), QStringLiteral("99"));
    form->CountPush();
    EXPECT_EQ(form->StatusPanelText(2), QStringLiteral("0"));

    // From the worker thread the count is carried over to the window's thread.
    std::thread worker([this] {
        for (int i = 0; i < 101; ++i)
            form->CountDone();
    });
    worker.join();
    EXPECT_EQ(form->DoneCount(), 0); // nothing touched outside the GUI thread
    QTRY_COMPARE(form->StatusPanelText(3), QStringLiteral("1"));
}

TEST_F(FormMainUi, Timer1ShowsPortAndBaud)
{
    writeSettings("[Com]\r\nPort=/dev/ttyUSB3\r\nBaud=19200\r\n");
    create();
    // The port is not there: the panel adds that it is not open once the thread has tried.
    EXPECT_TRUE(form->StatusPanelText(1).startsWith(QStringLiteral("/dev/ttyUSB3,19200")));
    form->Controller().Init.BaudText = QStringLiteral("2400");
    QTRY_VERIFY_WITH_TIMEOUT(form->StatusPanelText(1).startsWith(QStringLiteral("/dev/ttyUSB3,2400")), 1000);
}

TEST_F(FormMainUi, ProgressPanelFollowsTheController)
{
    create();
    EXPECT_FALSE(form->ProgressPanel()->isVisible());
    emit form->Controller().ProgressShown(QStringLiteral("Daten werden geholt . . . 0800"), 0x0800, 0x1000, 0x0900);
    EXPECT_TRUE(form->ProgressPanel()->isVisible());
    EXPECT_EQ(form->ProgressLabel()->text(), QStringLiteral("Daten werden geholt . . . 0800"));
    EXPECT_EQ(form->ProgressBar()->minimum(), 0x0800);
    EXPECT_EQ(form->ProgressBar()->maximum(), 0x1000);
    EXPECT_EQ(form->ProgressBar()->value(), 0x0900);
    // Centred in the client area.
    const QRect area = form->centralWidget()->rect();
    EXPECT_NEAR(form->ProgressPanel()->geometry().center().x(), area.center().x(), 2);
    EXPECT_NEAR(form->ProgressPanel()->geometry().center().y(), area.center().y(), 2);
    emit form->Controller().ProgressHidden();
    EXPECT_FALSE(form->ProgressPanel()->isVisible());
}

TEST_F(FormMainUi, ResizingKeepsTheHalvesAndTheMinimum)
{
    create();
    EXPECT_EQ(form->minimumSize(), QSize(600, 400));
    for (int width : {600, 1001, 1400}) {
        form->resize(width, 500);
        QApplication::processEvents();
        const int w = form->centralWidget()->width();
        EXPECT_EQ(form->ParamGridArea()->geometry().width(), w / 2 - 10) << width;
        auto *values = form->findChild<QWidget *>(QStringLiteral("StrG_Int"));
        ASSERT_NE(values, nullptr);
        EXPECT_EQ(values->geometry().left(), w / 2);
        EXPECT_EQ(values->geometry().width(), w / 2 - 10);
    }
}

TEST_F(FormMainUi, LanguageSwitchToEnglishAndBackReloadsTheDefinition)
{
    create();
    ASSERT_TRUE(form->LoadFromPath(kDemo202)) << prompter.All().join(QLatin1Char('|')).toStdString();
    MainController &c = form->Controller();
    const TGridModel &grid = form->ParamGridArea()->Model();
    const QString parameterMenu = menu("Menu2")->title();
    const QString germanGroup = grid.GroupName(0);
    ASSERT_EQ(germanGroup, QStringLiteral("Anlagendaten"));
    const QString alarm5 = CL_ZLT().Consts.value(5);

    // The default language list: 0 deu, 1 eng.
    form->ApplyLanguage(1);
    EXPECT_EQ(c.Settings.Language, QStringLiteral("eng"));
    EXPECT_EQ(c.Data.LanguageSuffix, QStringLiteral("-EN"));
    EXPECT_EQ(menu("Menu2")->title(), QStringLiteral("&Parameters"));
    EXPECT_TRUE(c.ParamsLoaded);
    EXPECT_TRUE(c.Data.State.DefinitionFile.endsWith(QLatin1String("Z202 PA004-EN.ZPA")))
        << c.Data.State.DefinitionFile.toStdString();
    EXPECT_EQ(grid.GroupName(0), QStringLiteral("Plant Data"));
    EXPECT_GT(grid.RowCount(), 0);
    // The device's own alarm texts stay what the data say, not what the language file says.
    EXPECT_EQ(CL_ZLT().Consts.value(5), alarm5);

    form->ApplyLanguage(0);
    EXPECT_EQ(c.Data.LanguageSuffix, QStringLiteral("-DE"));
    EXPECT_EQ(menu("Menu2")->title(), parameterMenu);
    EXPECT_EQ(grid.GroupName(0), germanGroup);
    EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.Errors.join(QLatin1Char('|')).toStdString();
}

TEST_F(FormMainUi, ShellMessagesAndQtsOwnTextsFollowTheLanguage)
{
    create();
    form->CreateWindows();
    QDialogButtonBox early(QDialogButtonBox::Cancel); // made before any switch: retranslated
    const QString fresh = config.path() + QStringLiteral("/neu");
    const struct {
        int index;
        QString manual, notLoaded, folderQuestion, cancel, versionFrom;
    } languages[] = {
        {1, QStringLiteral("The manual was not found:"),
         QStringLiteral("You must first load parameters from"),
         QStringLiteral("The folder \"%1\" does not exist.\rShall it be created?"), QStringLiteral("Cancel"),
         QStringLiteral("\nof ")},
        {0, QStringLiteral("Das Handbuch wurde nicht gefunden:"),
         QStringLiteral("Sie müssen erst Parameter aus"),
         QStringLiteral("Das Verzeichnis \"%1\" existiert nicht.\rSoll es erstellt werden?"), QStringLiteral("Abbrechen"),
         QStringLiteral("\nvom ")},
    };
    for (const auto &l : languages) {
        form->ApplyLanguage(l.index);
        QCoreApplication::sendPostedEvents(); // the windows hear of Qt's new language by event
        prompter.Clear();
        item("Menu61")->trigger();
        // Printing the parameter list with nothing loaded.
        item("Menu411")->trigger();
        prompter.Answers = {false};
        EXPECT_FALSE(form->SettingsWindow()->UseFolder(fresh));
        ASSERT_EQ(prompter.Warnings.size(), 1) << l.index;
        EXPECT_EQ(prompter.Warnings[0], l.manual + QLatin1Char('\r') + form->ManualPath(QStringLiteral("PA100V00")));
        ASSERT_EQ(prompter.Infos.size(), 1) << l.index;
        EXPECT_TRUE(prompter.Infos[0].startsWith(l.notLoaded)) << prompter.Infos[0].toStdString();
        ASSERT_EQ(prompter.Questions.size(), 1) << l.index;
        EXPECT_EQ(prompter.Questions[0], l.folderQuestion.arg(QDir::toNativeSeparators(fresh)));
        EXPECT_EQ(early.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), l.cancel) << l.index;
        QDialogButtonBox late(QDialogButtonBox::Cancel);
        EXPECT_EQ(late.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), l.cancel) << l.index;
        EXPECT_TRUE(TAboutBox::VersionText(QStringLiteral("1"), QDate(2026, 12, 9), form->Controller().Settings.Language)
                        .contains(l.versionFrom))
            << l.index;
    }
}

TEST_F(FormMainUi, FileLoadFillsTheGridInFileColourAndSaves)
{
    create();
    ASSERT_TRUE(form->LoadFromPath(kDemo202)) << prompter.All().join(QLatin1Char('|')).toStdString();
    MainController &c = form->Controller();
    EXPECT_TRUE(c.ParamsLoaded);
    EXPECT_TRUE(c.OfflineFile);
    EXPECT_FALSE(c.Online);
    EXPECT_EQ(form->StatusPanelText(0), GetText(180) + QStringLiteral(" demo.202"));
    EXPECT_GT(form->ParamGridArea()->Model().RowCount(), 0);
    EXPECT_TRUE(form->ParamGridArea()->StrG_Param()->isVisible());
    EXPECT_EQ(form->ParamGridArea()->BackgroundColor(), QColor(166, 202, 240));
    EXPECT_TRUE(enabled("Menu4Action"));
    EXPECT_FALSE(enabled("Menu3Action"));
    EXPECT_TRUE(enabled("MI_ConvertConfig"));
    EXPECT_TRUE(enabled("Menu12"));

    QTemporaryDir out;
    ASSERT_TRUE(form->SaveToPath(out.path() + QStringLiteral("/kopie")));
    const QFileInfo written(out.path() + QStringLiteral("/kopie.202"));
    ASSERT_TRUE(written.exists());
    EXPECT_EQ(written.size(), QFileInfo(kDemo202).size());

    // "Schließen" takes everything back.
    item("Menu26")->trigger();
    EXPECT_FALSE(c.ParamsLoaded);
    EXPECT_FALSE(enabled("Menu4Action"));
    EXPECT_TRUE(form->StatusPanelText(0).isEmpty());
    EXPECT_FALSE(form->ParamGridArea()->StrG_Param()->isVisible());
}

TEST_F(FormMainUi, BrokenFileKeepsNothingLoaded)
{
    create();
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/kaputt.202");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("garbage");
    f.close();
    EXPECT_FALSE(form->LoadFromPath(path));
    EXPECT_FALSE(prompter.All().isEmpty());
    EXPECT_FALSE(form->Controller().ParamsLoaded);
    EXPECT_FALSE(enabled("Menu4Action"));
}

TEST_F(FormMainUi, SavingWithoutParametersWarns)
{
    create();
    item("Menu43")->trigger();
    ASSERT_EQ(prompter.Warnings.size(), 1);
    EXPECT_EQ(prompter.Warnings[0], GetText(40));
}

TEST_F(FormMainUi, MissingManualWarnsWithItsName)
{
    create();
    item("Menu61")->trigger();
    ASSERT_EQ(prompter.Warnings.size(), 1);
    EXPECT_EQ(prompter.Warnings[0], QStringLiteral("Das Handbuch wurde nicht gefunden:\r") +
                                        form->ManualPath(QStringLiteral("PA100V00")));
    EXPECT_TRUE(form->ManualPath(QStringLiteral("PA100V00")).endsWith(QStringLiteral("PA100V00-DE.pdf")));
}

TEST_F(FormMainUi, ClosingWritesTheSettingsOnlyWithAutosave)
{
    const QString ini = config.path() + QStringLiteral("/Mirelo.ini");
    writeSettings("[Ini]\r\nAUTOSAVE=0\r\n[Com]\r\nPort=SIM\r\n");
    create();
    form->Controller().Init.BaudText = QStringLiteral("57600");
    form->close();
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_FALSE(f.readAll().contains("57600"));
    f.close();
    form.reset();

    writeSettings("[Ini]\r\nAUTOSAVE=1\r\n[Com]\r\nPort=SIM\r\n");
    create();
    ASSERT_TRUE(form->LoadFromPath(kDemo202));
    form->Controller().Init.BaudText = QStringLiteral("57600");
    form->close();
    EXPECT_FALSE(form->Controller().ParamsLoaded); // parameters closed first
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().contains("Baud=57600"));
}

// A saved port that is not there: no box at the start, the status bar says so.
TEST_F(FormMainUi, MissingSavedPortIsToldInTheStatusBarNotInABox)
{
    writeSettings("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=/dev/mirelo-no-such-port\r\nBaud=9600\r\n");
    create();
    form->CreateWindows();
    TTeleThread *thread = form->Controller().Thread();
    ASSERT_NE(thread, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(thread->OpenAttempts() > 0, 5000);
    QTest::qWait(50);
    EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
    const QString missing = GetText(425) + QStringLiteral("/dev/mirelo-no-such-port");
    QTRY_VERIFY_WITH_TIMEOUT(form->StatusPanelText(4).endsWith(missing), 1000);
    const QString notOpen = QStringLiteral("/dev/mirelo-no-such-port,9600 (") + GetText(426) + QLatin1Char(')');
    QTRY_COMPARE_WITH_TIMEOUT(form->StatusPanelText(1), notOpen, 1000);
}

// Changing the port or the protocol under a running chain would cut its exchange: refused
// with a message, nothing changed.
TEST_F(FormMainUi, PortAndProtocolChoicesWaitWhileAChainRuns)
{
    writeSettings("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=SIM\r\nBaud=9600\r\nProtokoll=4\r\n");
    RegisterSimPort();
    SimPort::resetSharedDevice();
    create();
    form->CreateWindows();
    TTeleThread *thread = form->Controller().Thread();
    // The opening is counted after the port is open: wait for both.
    QTRY_VERIFY_WITH_TIMEOUT(thread->PortOpen() && thread->OpenAttempts() > 0, 5000);
    MainController &c = form->Controller();
    c.LinkBusy = true;
    const std::pair<const char *, int> cases[] = {{"Menu562", 428}, {"AcSelectCOM", 427}, {"Menu55", 428}};
    for (const auto &k : cases) {
        SCOPED_TRACE(k.first);
        const int attempts = thread->OpenAttempts();
        item(k.first)->trigger();
        ASSERT_FALSE(prompter.Warnings.isEmpty());
        EXPECT_EQ(prompter.Warnings.last(), GetText(k.second));
        QTest::qWait(100);
        EXPECT_EQ(thread->OpenAttempts(), attempts);
        EXPECT_EQ(c.Init.BaudText, QStringLiteral("9600"));
        EXPECT_EQ(c.Init.PortName, QStringLiteral("SIM"));
        EXPECT_FALSE(form->Search()->Running());
    }
    c.LinkBusy = false;
}

// The protocol search names the protocol it tries and stops on Esc or its button.
TEST_F(FormMainUi, ProtocolSearchShowsItsProtocolAndStopsOnEscOrAbbruch)
{
    writeSettings("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=SIM\r\nBaud=9600\r\nProtokoll=4\r\n");
    RegisterSimPort();
    auto device = std::make_shared<SimDevice>();
    device->setBaud(19200); // answers no probe
    SimPort::resetSharedDevice(device);
    create();
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->CreateWindows();
    TTeleThread *thread = form->Controller().Thread();
    thread->SetReadTimeout(200);
    QTRY_VERIFY_WITH_TIMEOUT(thread->PortOpen(), 5000);
    for (const bool escape : {true, false}) {
        SCOPED_TRACE(escape ? "Esc" : "Abbruch");
        item("Menu55")->trigger();
        ASSERT_TRUE(form->Search()->Running());
        EXPECT_TRUE(form->ProgressPanel()->isVisible());
        EXPECT_TRUE(form->ProgressCancel()->isVisible());
        const QString label = form->ProgressLabel()->text();
        EXPECT_TRUE(label.startsWith(GetText(431))) << label.toStdString();
        EXPECT_EQ(form->StatusPanelText(4), GetText(103));
        if (escape)
            QTest::keyClick(form.get(), Qt::Key_Escape);
        else
            QTest::mouseClick(form->ProgressCancel(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!form->Search()->Running(), 2000);
        EXPECT_FALSE(form->ProgressPanel()->isVisible());
        EXPECT_EQ(form->StatusPanelText(4), GetText(430));
        EXPECT_TRUE(form->Controller().PendingAction.isEmpty());
        EXPECT_FALSE(form->Controller().LinkBusy);
    }
    EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
    SimPort::resetSharedDevice();
}

TEST_F(FormMainUi, ReadingFromTheSimulatedDeviceAndServiceLevel)
{
    writeSettings("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=SIM\r\nBaud=9600\r\nProtokoll=4\r\n");
    RegisterSimPort();
    SimPort::resetSharedDevice();
    create();
    form->CreateWindows();
    TTeleThread *thread = form->Controller().Thread();
    ASSERT_NE(thread, nullptr);
    thread->SetReadTimeout(50);
    QTRY_VERIFY_WITH_TIMEOUT(thread->PortOpen(), 5000);
    QSignalSpy finished(form->Reader(), &DeviceReader::Finished);
    item("Menu22")->trigger();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000))
        << prompter.All().join(QLatin1Char('|')).toStdString() << " pending "
        << form->Controller().PendingAction.toStdString() << " log "
        << form->InterfaceWindow()->LogLines().join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(finished.at(0).at(0).toBool()) << prompter.All().join(QLatin1Char('|')).toStdString();

    MainController &c = form->Controller();
    EXPECT_TRUE(c.Online);
    EXPECT_TRUE(c.ParamsLoaded);
    EXPECT_GT(form->ParamGridArea()->Model().RowCount(), 0);
    EXPECT_NE(form->StatusPanelText(3), QStringLiteral("0"));
    EXPECT_TRUE(enabled("Menu3Action"));
    EXPECT_FALSE(enabled("MI_ConvertConfig"));
    EXPECT_FALSE(shown("Menu511"));
    // What the device holds is not an unsaved change.
    EXPECT_FALSE(c.HasUnsavedChanges());

    // The access dialog's OK path: "Ser" unlocks the service entries.
    TFormIdentNummer *ident = form->IdentWindow();
    ASSERT_NE(ident, nullptr);
    ASSERT_TRUE(ident->Prepare(QStringLiteral("Ident")));
    ident->Accept(QStringLiteral("service-3187"));
    EXPECT_EQ(c.Access.Level, QStringLiteral("Ser"));
    for (const char *name : {"Menu511", "Menu512", "Menu310"})
        EXPECT_TRUE(shown(name) && enabled(name)) << name;
    EXPECT_FALSE(shown("Menu513"));

    // A wrong password takes them away again.
    ident->Accept(QStringLiteral("falsch"));
    for (const char *name : {"Menu511", "Menu512", "Menu310"})
        EXPECT_FALSE(shown(name)) << name;
}
