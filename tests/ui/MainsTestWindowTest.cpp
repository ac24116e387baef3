// "Netzausfalltest" offscreen: opened from "Netzschutz" at level "Mas" on the simulated
// controller, started and stopped with its buttons; closing it leaves no timer running.
#include "SimDevice.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "services/ui/FormIdentNummer.h"
#include "services/ui/MainsTest.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#include "support/ScriptedPrompter.h"
#include "support/SimMainWindow.h"
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(MainsTestUi, OpenedAtLevelMasStartsAndStopsTheTest)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    ScriptedPrompter &prompter = sim.prompter;
    MainController &c = form->Controller();

    QAction *entry = form->FindAction(QStringLiteral("Menu513"));
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isVisible()) << "only the master level is offered the test";
    ASSERT_TRUE(form->IdentWindow()->Prepare(QStringLiteral("Ident")));
    form->IdentWindow()->Accept(QStringLiteral("master-9072"));
    ASSERT_TRUE(entry->isVisible() && entry->isEnabled());

    entry->trigger();
    TForm1 *w = form->MainsTestWindow();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Netzausfalltest"));
    EXPECT_EQ(w->findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("Verbleibende Zeit: "));
    EXPECT_EQ(w->TimeLabel()->text(), QStringLiteral("00:00 Min."));
    EXPECT_EQ(w->StartButton()->text(), QStringLiteral("Netzausfalltest starten"));
    EXPECT_EQ(w->StopButton()->text(), QStringLiteral("Netzausfalltest stoppen"));

    std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
    QTest::mouseClick(w->StartButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w->Core().Running(), 5000);
    EXPECT_EQ(device->bytes(0x2062, 2), (std::vector<quint8>{0x39, 0x06}));
    EXPECT_TRUE(w->TimeLabel()->text().endsWith(QStringLiteral(" Min.")));
    EXPECT_NE(w->TimeLabel()->text(), QStringLiteral("00:00 Min."));
    EXPECT_FALSE(w->StartButton()->isEnabled());

    QTest::mouseClick(w->StopButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->Core().Busy() && c.PendingAction.isEmpty(), 5000);
    EXPECT_FALSE(w->Core().Running());
    EXPECT_EQ(w->TimeLabel()->text(), QStringLiteral("00:00 Min."));
    EXPECT_EQ(device->bytes(0x2062, 2), (std::vector<quint8>{0x00, 0x00}));
    EXPECT_TRUE(w->StartButton()->isEnabled());

    // Started again and closed: the window takes its timers with it.
    QTest::mouseClick(w->StartButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(w->Core().CountdownActive(), 5000);
    w->close();
    EXPECT_FALSE(w->Core().PollActive() || w->Core().CountdownActive());
    EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
    sim.form.reset();
    SimPort::resetSharedDevice();
    qunsetenv("MIRELO_CONFIG_DIR");
}
