// "Programm" offscreen: opened at level "Fer" for a program-number controller; the switch
// writes its three bytes and closes the set.
#include "SimDevice.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "services/ui/ProgramNumber.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include "support/ScriptedPrompter.h"
#include "support/SimMainWindow.h"
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

TEST(ProgramNumberUi, OpenedAtLevelFerSwitchesAndClosesTheSet)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    ScriptedPrompter &prompter = sim.prompter;
    MainController &c = form->Controller();

    c.Access.Level = Level::Fer;
    c.Data.Geraet.ProgramId = QStringLiteral("002");
    c.Data.Geraet.SetByte(0x6F, 0x40);
    c.UpdateMenus();
    QAction *entry = form->FindAction(QStringLiteral("Menu515"));
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(entry->isVisible() && entry->isEnabled());
    entry->trigger();
    auto *dlg = form->findChild<TProgrammnummer *>();
    ASSERT_NE(dlg, nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(dlg->isVisible(), 2000);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Programmnummer"));
    EXPECT_EQ(dlg->Programs()->text(), GetText(11) + '\n' + GetText(12) + '\n' + GetText(13));
    EXPECT_TRUE(dlg->Options()->isVisible());
    EXPECT_EQ(dlg->WithButton()->text(), QStringLiteral("Mit Zusatzfunktionen"));
    EXPECT_TRUE(dlg->WithoutButton()->isChecked()) << "0x40 has neither option bit";
    EXPECT_EQ(dlg->NumberEdit()->text(), QStringLiteral("2"));

    std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
    device->setSlaveAddress(0x70);
    dlg->WithButton()->setChecked(true);
    QPointer<TProgrammnummer> guard(dlg);
    QTest::mouseClick(dlg->OkButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(guard.isNull() || !guard->isVisible(), 5000);
    EXPECT_EQ(device->bytes(0x01A0, 1), std::vector<quint8>{0x02});
    EXPECT_EQ(device->bytes(0x01A5, 1), std::vector<quint8>{0x3B});
    EXPECT_EQ(device->bytes(0x016F, 1), std::vector<quint8>{0x43});
    EXPECT_FALSE(c.ParamsLoaded || c.Online) << "the device runs another program now";
    EXPECT_TRUE(prompter.All().isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
    sim.form.reset();
    SimPort::resetSharedDevice();
    qunsetenv("MIRELO_CONFIG_DIR");
}
