// "SetPELK" offscreen, from its menu entry, against a simulated coupler in front of the
// simulated 202: the speed read and set, OK without a speed, "PC Connect", "Hilfe".
#include "SimCoupler.h"
#include "SimPort.h"
#include "link/TeleThread.h"
#include "link/ui/Datenkoppler.h"
#include "shell/Texts.h"
#include "support/SimMainWindow.h"
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

TEST(CouplerUi, ReadsSetsAndConnectsFromItsMenuEntry)
{
    SimMainWindow sim;
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    TFormMain *form = sim.form.get();
    std::shared_ptr<SimCoupler> coupler;
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        coupler = SimCoupler::attach(*SimPort::sharedDevice(), QStringLiteral("PELK"), 0, 4800);
    }
    QAction *entry = form->FindAction(QStringLiteral("Menu54"));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    TSetPELK *w = form->CouplerWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("SetPELK"));
    QTRY_COMPARE_WITH_TIMEOUT(w->Selected(), 2, 5000); // 4800 BPS
    EXPECT_EQ(w->Label()->text(), GetText(154));
    EXPECT_EQ(w->Radio(2)->text(), QStringLiteral("4800 BPS"));

    // OK with nothing chosen: a message, not a write that would cut the device off.
    w->Radio(2)->setAutoExclusive(false);
    w->Radio(2)->setChecked(false);
    w->Radio(2)->setAutoExclusive(true);
    QTest::mouseClick(w->OkButton(), Qt::LeftButton);
    EXPECT_EQ(sim.prompter.Warnings, QStringList({GetText(760)}));
    EXPECT_EQ(coupler->takeOvers(), 0);

    QTest::mouseClick(w->Radio(1), Qt::LeftButton);
    QTest::mouseClick(w->OkButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->Core().Busy() && w->Selected() == 1, 5000);
    EXPECT_EQ(coupler->config()[3], 210);
    EXPECT_EQ(coupler->takeOvers(), 1);
    EXPECT_TRUE(w->OkButton()->isEnabled());

    // OK has made the coupler take 9600 towards the PC: it answers at the fourth setting.
    w->Core().SetPauseMs(10);
    QTest::mouseClick(w->ConnectButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->Core().Busy(), 20000);
    EXPECT_EQ(w->Core().TryIndex(), 3);
    EXPECT_EQ(sim.prompter.Infos, QStringList({GetText(762).arg(QStringLiteral("9600 BPS"))}));
    EXPECT_EQ(form->Controller().Thread()->BaudText(), QStringLiteral("9600"));
    EXPECT_EQ(coupler->pcBaud(), 9600);
    EXPECT_EQ(w->Selected(), 1);

    QTest::mouseClick(w->HelpButton(), Qt::LeftButton);
    EXPECT_EQ(sim.prompter.Infos.last(), GetText(319));
    w->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(sim.prompter.Warnings.size(), 1);
    sim.form.reset();
    SimPort::resetSharedDevice();
    qunsetenv("MIRELO_CONFIG_DIR");
}
