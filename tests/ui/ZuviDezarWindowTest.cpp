// "ZuviDezar" offscreen, from its menu entry on the simulated 202: the set-up shown, a
// master written with its field yellow until the read-back, an alarm checked, the help
// text, and the inputs closed at a level that may not change them.
#include "SimPort.h"
#include "services/ui/FormIdentNummer.h"
#include "services/ui/ZuviDezarWindow.h"
#include "shell/Texts.h"
#include "support/DriveModal.h"
#include "support/SimMainWindow.h"
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

TEST(ZuviDezarUi, ShowsWritesAndGuardsTheSetUp)
{
    SimMainWindow sim;
    qputenv("MIRELO_SIM_ZUVI", "1");
    ASSERT_NO_FATAL_FAILURE(sim.StartAndRead());
    qunsetenv("MIRELO_SIM_ZUVI");
    TFormMain *form = sim.form.get();
    MainController &c = form->Controller();
    ASSERT_TRUE(form->IdentWindow()->Prepare(QStringLiteral("Ident")));
    form->IdentWindow()->Accept(QStringLiteral("service-3187"));
    // The demo set does not offer the function; a device with a modem would.
    const long long flag = c.Data.State.IndexOf(0x0C78);
    c.Data.Geraet.SetByte(flag, c.Data.Geraet.GetByte(flag) | 0x20);
    form->UpdateMenus();
    QAction *entry = form->FindAction(QStringLiteral("Menu25"));
    ASSERT_TRUE(entry != nullptr && entry->isVisible() && entry->isEnabled());
    std::shared_ptr<SimDevice> device = SimPort::sharedDevice();
    auto memory = [&](quint32 address, int count) {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return device->bytes(address, count);
    };

    bool driven = false;
    DriveModal([&](QWidget *widget) {
        auto *w = qobject_cast<TZuviDezar *>(widget);
        ASSERT_NE(w, nullptr);
        driven = true;
        QTRY_VERIFY_WITH_TIMEOUT(w->Ready(), 5000);
        EXPECT_EQ(w->NumberEdit(0)->text(), QStringLiteral("0301234567"));
        EXPECT_TRUE(w->KindRadio(0, ZuviDezar::Tel)->isChecked());
        EXPECT_EQ(w->NumberEdit(1)->text(), QStringLiteral("0171,5551234"));
        EXPECT_TRUE(w->KindRadio(1, ZuviDezar::SmsEmi)->isChecked());
        EXPECT_EQ(w->OutsideEdit()->text(), QStringLiteral("0   "));
        EXPECT_EQ(w->SmscEdit(1)->text(), QStringLiteral("2"));
        EXPECT_FALSE(w->SmscEdit(0)->isEnabled()); // a telephone call needs no SMS centre
        EXPECT_TRUE(w->SmscEdit(1)->isEnabled());
        QListWidget *alarms = w->AlarmList();
        // The demo's firmware is older than version 30: entries 48..63 are not in the list.
        ASSERT_LT(c.Data.Geraet.ProgramVersion, 30);
        ASSERT_EQ(alarms->count(), 72);
        for (int i : {1, 2, 10})
            EXPECT_EQ(alarms->item(i)->checkState(), Qt::Checked) << i;
        EXPECT_EQ(alarms->item(0)->text(), CL_ZLT().Consts.at(0));
        EXPECT_EQ(alarms->item(48)->text(), CL_ZLT().Consts.at(64));

        QLineEdit *number = w->NumberEdit(2);
        number->setFocus();
        QTest::keyClicks(number, QStringLiteral("0171,55"));
        EXPECT_TRUE(TZuviDezar::Unconfirmed(number));
        QTest::mouseClick(w->KindRadio(2, ZuviDezar::SmsGsm), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(w->Ready() && !TZuviDezar::Unconfirmed(number), 5000);
        EXPECT_EQ(memory(0x0F84, 5), (std::vector<quint8>{0x40, 0x17, 0x1A, 0x55, 0xF0}));

        alarms->item(5)->setCheckState(Qt::Checked);
        QTRY_VERIFY_WITH_TIMEOUT(!w->Core().Busy() && memory(0x0E04, 1) == std::vector<quint8>{0x26}, 5000);
        EXPECT_EQ(alarms->item(5)->checkState(), Qt::Checked);

        QTest::mouseClick(w->HelpButton(), Qt::LeftButton);
        ASSERT_TRUE(w->HelpWindow()->isVisible());
        EXPECT_TRUE(w->HelpWindow()->Memo()->toPlainText().contains(QStringLiteral("SMSC")));
        w->HelpWindow()->close();

        c.Access.Level = Level::Mas;
        w->UpdateEnabling();
        EXPECT_FALSE(w->NumberEdit(0)->isEnabled() || w->OutsideEdit()->isEnabled() || alarms->isEnabled() ||
                     w->KindRadio(0, 0)->isEnabled() || w->SmscEdit(1)->isEnabled());
        w->close();
    });
    entry->trigger();
    EXPECT_TRUE(driven);
    EXPECT_FALSE(c.LinkBusy);
    EXPECT_TRUE(sim.prompter.All().isEmpty()) << sim.prompter.All().join(QLatin1Char('|')).toStdString();
    sim.form.reset();
    SimPort::resetSharedDevice();
    qunsetenv("MIRELO_CONFIG_DIR");
}
