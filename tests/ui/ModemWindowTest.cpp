// "Modemverbindung" offscreen: the phone book, dialling by Enter, the line indicators and
// "On Line" following the carrier, "Init Befehl" twice, hanging up, and the carrier still
// followed after the window has closed.
#include "SimModem.h"
#include "SimPort.h"
#include "link/ModemSession.h"
#include "link/ui/FormModemVB.h"
#include "shell/DataDir.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include "support/EventWait.h"
#include "support/SimMainWindow.h"
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

struct ModemWindowRig
{
    SimMainWindow sim;
    TFormModemVB *window = nullptr;
    ModemSession *session = nullptr;

    void Open()
    {
        SimModem::Options o;
        o.connectDelay = 20ms;
        o.guard = 60ms;
        SimPort::setSharedModem(std::make_shared<SimModem>(o));
        QAction *entry = sim.form->FindAction(QStringLiteral("Menu53"));
        ASSERT_NE(entry, nullptr);
        ASSERT_TRUE(entry->isVisible() && entry->isEnabled());
        entry->trigger();
        window = sim.form->ModemWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        session = sim.form->ModemLink();
        ASSERT_NE(session, nullptr);
        session->SetGuardMs(80);
        session->SetEscapeWaitMs(120);
        session->SetCarrierDropMs(400);
    }
    ~ModemWindowRig() { SimPort::setSharedModem(nullptr); }
};

bool Lit(QLabel *indicator) { return indicator->styleSheet().contains(QStringLiteral("#00FF00")); }

} // namespace

TEST(ModemWindowUi, DialFromThePhoneBookAndHangUp)
{
    ModemWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.sim.StartAndRead());
    ASSERT_NO_FATAL_FAILURE(rig.Open());
    TFormModemVB *w = rig.window;
    MainController &m = rig.sim.form->Controller();

    EXPECT_EQ(w->windowTitle(), QStringLiteral("Modemverbindung"));
    ASSERT_EQ(w->NameList()->count(), 4) << "the demo book's three entries and the manual one";
    EXPECT_EQ(w->NameList()->itemText(3), QStringLiteral("Manuelle Wahl"));
    EXPECT_EQ(w->CommandLine()->text(), QStringLiteral("0123456"));
    EXPECT_EQ(w->StatusPanel(2)->text(), QStringLiteral("9600 Baud"));
    EXPECT_EQ(w->CommandLabel()->text(), GetText(720));
    QTRY_COMPARE_WITH_TIMEOUT(w->StatusPanel(1)->text(), QStringLiteral("Off Line"), 2000);
    EXPECT_FALSE(w->IdentFbedPanel()->isEnabled());
    EXPECT_FALSE(w->HangUpButton()->isEnabled());
    EXPECT_TRUE(w->ModemTestButton()->isEnabled());
    EXPECT_FALSE(Lit(w->Indicator(ModemSession::DCD)));
    EXPECT_TRUE(Lit(w->Indicator(ModemSession::DTR))) << "DTR is raised when the port opens";

    // Choosing the entry without a baud field keeps the speed.
    w->NameList()->setCurrentIndex(2);
    w->ChooseName(2);
    EXPECT_EQ(w->CommandLine()->text(), QStringLiteral("0555"));
    EXPECT_EQ(m.Init.BaudText, QStringLiteral("9600"));

    rig.sim.prompter.Answers = {true}; // keep the number for the next start
    QTest::keyClick(w->CommandLine(), Qt::Key_Return);
    EXPECT_EQ(rig.sim.prompter.Questions, QStringList{GetText(149) + QLatin1Char('?')});
    EXPECT_EQ(m.Settings.ModemToSave.LastManualNumber, QStringLiteral("0555"));
    EXPECT_TRUE(w->CommandLine()->text().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(m.ModemOnline, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w->StatusPanel(1)->text(), QStringLiteral("On Line"), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(w->Answers()->toPlainText().contains(QStringLiteral("CONNECT 9600")), 2000);
    EXPECT_TRUE(Lit(w->Indicator(ModemSession::DCD)));
    EXPECT_TRUE(w->IdentFbedPanel()->isEnabled());
    EXPECT_TRUE(w->HangUpButton()->isEnabled());
    EXPECT_FALSE(w->ModemTestButton()->isEnabled());

    // "Init Befehl" offers the string of the speed; pressed again it empties the memo.
    QTest::mouseClick(w->ModePanel(ModemText::Mode::Init), Qt::LeftButton);
    EXPECT_EQ(w->CommandLine()->text(), m.Settings.Modem.Ini9600);
    EXPECT_EQ(w->CommandMode(), ModemText::Mode::Init);
    QTest::mouseClick(w->ModePanel(ModemText::Mode::Init), Qt::LeftButton);
    EXPECT_EQ(w->CommandMode(), ModemText::Mode::None);
    EXPECT_TRUE(w->Answers()->toPlainText().isEmpty());

    QTest::mouseClick(w->HangUpButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!m.ModemOnline, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(w->StatusPanel(1)->text(), QStringLiteral("Off Line"), 2000);
    EXPECT_FALSE(Lit(w->Indicator(ModemSession::DCD)));
    EXPECT_TRUE(rig.sim.prompter.Warnings.isEmpty()) << rig.sim.prompter.All().join('|').toStdString();

    // Closed, the window no longer shows it, but the program still follows the carrier.
    QTest::mouseClick(w->CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(w->isVisible());
    ASSERT_TRUE(rig.session->Dial(QStringLiteral("0123")));
    QTRY_VERIFY_WITH_TIMEOUT(m.ModemOnline, 5000);
    ASSERT_TRUE(rig.session->HangUp());
    QTRY_VERIFY_WITH_TIMEOUT(!m.ModemOnline && !rig.session->HangingUp(), 5000);
}

TEST(ModemWindowUi, MissingPhoneBookLeavesManualDialling)
{
    ModemWindowRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.sim.StartAndRead());
    QTemporaryDir empty;
    ASSERT_TRUE(empty.isValid());
    DataDir::setOverride(empty.path());
    rig.sim.form->Controller().Settings.Modem.LastManualNumber = QStringLiteral("0815");
    rig.Open();
    DataDir::setOverride(QString());
    ASSERT_NE(rig.window, nullptr);
    EXPECT_EQ(rig.sim.prompter.Warnings, QStringList{QStringLiteral("File 'PENDRIX.NMR' not found.")});
    ASSERT_EQ(rig.window->NameList()->count(), 1);
    EXPECT_EQ(rig.window->NameList()->itemText(0), QStringLiteral("Manuelle Wahl"));
    EXPECT_EQ(rig.window->CommandLine()->text(), QStringLiteral("0815"));
    QTest::keyClick(rig.window->CommandLine(), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(rig.sim.form->Controller().ModemOnline, 5000);
    rig.window->close(); // hangs up
    QTRY_VERIFY_WITH_TIMEOUT(!rig.sim.form->Controller().ModemOnline, 5000);
}
