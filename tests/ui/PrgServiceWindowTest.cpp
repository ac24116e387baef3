// "Service" offscreen: opened from its menu at level "Ser" on the simulated 202; the
// maintenance interval read and written, the event memory cleared.
#include "SimDevice.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "services/ui/FormIdentNummer.h"
#include "services/ui/PrgService.h"
#include "shell/MainController.h"
#include "shell/ui/FormMain.h"
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "support/SimMainWindow.h"
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(PrgServiceUi, OpenedAtLevelSerWritesTheIntervalAndClearsEvents)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    ScriptedPrompter &prompter = sim.prompter;
    MainController &c = form->Controller();

    QAction *entry = form->FindAction(QStringLiteral("Menu511"));
    ASSERT_NE(entry, nullptr);
    EXPECT_FALSE(entry->isVisible());
    ASSERT_TRUE(form->IdentWindow()->Prepare(QStringLiteral("Ident")));
    form->IdentWindow()->Accept(QStringLiteral("service-3187"));
    ASSERT_TRUE(entry->isVisible() && entry->isEnabled());
    DeviceData &d = c.Data;
    const long long option = d.State.IndexOf(ProgramService::EventOptionAddress);
    d.Geraet.SetByte(option, d.Geraet.GetByte(option) | 0x40);

    std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
    device->setBytes(0x13F8, {0x12, 0x34});
    device->setBytes(0x0F90, {0x01, 0xF4});
    bool driven = false;
    DriveModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TPrgService *>(w);
        ASSERT_NE(dlg, nullptr);
        driven = true;
        EXPECT_EQ(dlg->windowTitle(), QStringLiteral("PrgService"));
        const char *captions[] = {"Wartungsintervall", "Zusätzliche Stunden bis Stop bei Wartungsintervall",
                                  "Eventspeicher löschen"};
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(dlg->Radio(k + 1)->text(), QString::fromUtf8(captions[k]));
            EXPECT_TRUE(dlg->Radio(k + 1)->isVisible());
        }
        // The demo controller has a modem interface (bit 0x02 of 0x0871) and the link is direct.
        EXPECT_TRUE(dlg->Radio(4)->isVisible() && dlg->Radio(4)->isEnabled());
        EXPECT_FALSE(dlg->ExecuteButton()->isEnabled());
        EXPECT_FALSE(dlg->ValueEdit()->isVisible());

        QTest::mouseClick(dlg->Radio(1), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(dlg->ValueEdit()->text(), QStringLiteral("500"), 5000);
        dlg->ValueEdit()->setText(QStringLiteral("-100"));
        QTest::mouseClick(dlg->ExecuteButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(device->bytes(0x0F90, 2), (std::vector<quint8>{0xFF, 0x9C}), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Core().Busy(), 5000);

        QTest::mouseClick(dlg->Radio(3), Qt::LeftButton);
        EXPECT_FALSE(dlg->ValueEdit()->isVisible());
        QTest::mouseClick(dlg->ExecuteButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dlg->Memo()->toPlainText().contains(QStringLiteral("Eventspeicher gelöscht")), 5000);
        EXPECT_EQ(device->bytes(0x13F8, 2), (std::vector<quint8>{0x10, 0x00}));
        EXPECT_EQ(device->bytes(0x2770, 2), (std::vector<quint8>{0x10, 0x00}));
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

TEST(PrgServiceUi, ModemLineRunsItsCountdownAndEndsWithTheWindow)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    MainController &c = form->Controller();
    ASSERT_TRUE(form->IdentWindow()->Prepare(QStringLiteral("Ident")));
    form->IdentWindow()->Accept(QStringLiteral("service-3187"));
    QAction *entry = form->FindAction(QStringLiteral("Menu511"));
    ASSERT_TRUE(entry != nullptr && entry->isEnabled());
    bool driven = false;
    DriveModal([&](QWidget *w) {
        auto *dlg = qobject_cast<TPrgService *>(w);
        ASSERT_NE(dlg, nullptr);
        driven = true;
        EXPECT_EQ(dlg->Radio(4)->text(), QStringLiteral("Modem in ZEV konfigurieren"));
        QTest::mouseClick(dlg->Radio(4), Qt::LeftButton);
        EXPECT_FALSE(dlg->ExecuteButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(dlg->Core().ModemRunning(), 5000);
        EXPECT_TRUE(dlg->ModemEdit()->isVisible());
        EXPECT_TRUE(dlg->CountdownLabel()->isVisible());
        EXPECT_EQ(dlg->CountdownLabel()->text(), QStringLiteral("60 sec"));
        EXPECT_FALSE(dlg->CloseButton()->isEnabled());
        EXPECT_FALSE(dlg->ValueEdit()->isVisible());
        QTest::keyClicks(dlg->ModemEdit(), QStringLiteral("AT&F"));
        QTest::keyClick(dlg->ModemEdit(), Qt::Key_Return);
        EXPECT_TRUE(dlg->ModemEdit()->text().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(dlg->Memo()->toPlainText().contains(QStringLiteral("OK")), 5000);
        EXPECT_TRUE(dlg->Memo()->toPlainText().startsWith(QStringLiteral("AT&F")));
        QTRY_VERIFY_WITH_TIMEOUT(dlg->CountdownLabel()->text() == QStringLiteral("59 sec"), 3000);
        // Enter on an empty line clears the memo.
        QTest::keyClick(dlg->ModemEdit(), Qt::Key_Return);
        EXPECT_TRUE(dlg->Memo()->toPlainText().isEmpty());
        dlg->reject();
        EXPECT_FALSE(dlg->Core().ModemRunning());
    });
    entry->trigger();
    EXPECT_TRUE(driven);
    EXPECT_TRUE(c.PendingAction.isEmpty());
    EXPECT_FALSE(c.LinkBusy);
    EXPECT_TRUE(sim.prompter.All().isEmpty()) << sim.prompter.All().join(QLatin1Char('|')).toStdString();
    sim.form.reset();
    SimPort::resetSharedDevice();
    qunsetenv("MIRELO_CONFIG_DIR");
}
