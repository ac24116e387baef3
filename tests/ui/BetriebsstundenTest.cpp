// "Betriebsstunden" offscreen: opened from its menu at level "Ser" on the simulated 202,
// a counter read by its radio button and written with "Ausführen".
#include "SimDevice.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "services/ui/Betriebsstunden.h"
#include "services/ui/FormIdentNummer.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "support/SimMainWindow.h"
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(BetriebsstundenUi, OpenedAtLevelSerReadsAndWritesTheCounters)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    ScriptedPrompter &prompter = sim.prompter;
    MainController &c = form->Controller();

    QAction *entry = form->FindAction(QStringLiteral("Menu512"));
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isVisible()) << "only the service level is offered the counters";
    ASSERT_TRUE(form->IdentWindow()->Prepare(QStringLiteral("Ident")));
    form->IdentWindow()->Accept(QStringLiteral("service-3187"));
    ASSERT_TRUE(entry->isVisible() && entry->isEnabled());

    std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
    device->setBytes(0x0FA0, {0x00, 0x00, 0x00, 0x09, 0x00, 0x01, 0x02, 0x03});
    bool driven = false;
    DriveModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TBetriebsstunden *>(w);
        ASSERT_NE(dlg, nullptr);
        driven = true;
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Betriebsstunden"));
        EXPECT_EQ(dlg->HoursButton()->text(), QStringLiteral("Betriebsstunden"));
        EXPECT_EQ(dlg->StartsButton()->text(), QStringLiteral("Anzahl Starts"));
        EXPECT_EQ(dlg->ExecuteButton()->text(), QStringLiteral("Ausführen"));
        EXPECT_EQ(dlg->CloseButton()->text(), QStringLiteral("Beenden"));
        EXPECT_FALSE(dlg->HoursButton()->isChecked() || dlg->StartsButton()->isChecked());
        EXPECT_FALSE(dlg->ExecuteButton()->isEnabled());
        EXPECT_FALSE(dlg->UnitLabel()->isVisible());

        QTest::mouseClick(dlg->HoursButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg->ValueEdit()->text(), QStringLiteral("66051"), 5000);
        EXPECT_TRUE(dlg->UnitLabel()->isVisible());
        EXPECT_TRUE(dlg->ExecuteButton()->isEnabled());

        QTest::mouseClick(dlg->StartsButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg->ValueEdit()->text(), QStringLiteral("9"), 5000);
        EXPECT_FALSE(dlg->UnitLabel()->isVisible()) << "starts have no unit";
        dlg->ValueEdit()->setText(QStringLiteral("70000"));
        QTest::mouseClick(dlg->ExecuteButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(device->bytes(0x0FA1, 3), (std::vector<quint8>{0x01, 0x11, 0x70}), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Core().Busy(), 5000);
        EXPECT_EQ(dlg->ValueEdit()->text(), QStringLiteral("70000"));

        // Over a connected modem the counters are only shown.
        c.ModemOnline = true;
        QTest::mouseClick(dlg->HoursButton(), Qt::LeftButton);
        EXPECT_FALSE(dlg->ExecuteButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Core().Busy(), 5000);
        c.ModemOnline = false;
        QTest::mouseClick(dlg->CloseButton(), Qt::LeftButton);
        EXPECT_FALSE(dlg->isVisible());
    });
    entry->trigger();
    EXPECT_TRUE(driven);
    EXPECT_TRUE(c.PendingAction.isEmpty());
    EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
    sim.form.reset();
    SimPort::resetSharedDevice();
    qunsetenv("MIRELO_CONFIG_DIR");
}
