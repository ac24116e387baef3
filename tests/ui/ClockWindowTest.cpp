// "Uhrstellen" offscreen: opened from "&Uhrzeit des Gerätes" after a read from the simulated
// device, its controls and captions, the device time shown, the timer stopped when closed.
#include "support/DriveModal.h"
#include "support/ScriptedPrompter.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/TeleThread.h"
#include "services/DeviceClock.h"
#include "services/ui/Uhrstellen.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "shell/ui/FormMain.h"
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

void RegisterSimPort();

TEST(ClockWindow, OpenedFromItsMenuShowsBothClocksAndStopsWhenClosed)
{
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    qputenv("MIRELO_CONFIG_DIR", config.path().toLocal8Bit());
    {
        QFile f(config.path() + QStringLiteral("/Mirelo.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[Ini]\r\nAUTOSAVE=0\r\nSPLASH=0\r\n[Com]\r\nPort=SIM\r\nBaud=9600\r\nProtokoll=4\r\n");
    }
    RegisterSimPort();
    SimPort::resetSharedDevice();
    ScriptedPrompter prompter;
    auto form = std::make_unique<TFormMain>(&prompter);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->CreateWindows();
    QAction *menu15 = form->FindAction(QStringLiteral("Menu15"));
    ASSERT_NE(menu15, nullptr);
    EXPECT_EQ(menu15->text(), QStringLiteral("&Uhrzeit des Gerätes"));
    EXPECT_FALSE(menu15->isEnabled()) << "nothing read yet";

    TTeleThread *thread = form->Controller().Thread();
    ASSERT_NE(thread, nullptr);
    thread->SetReadTimeout(50);
    QTRY_VERIFY_WITH_TIMEOUT(thread->PortOpen(), 5000);
    QSignalSpy finished(form->Reader(), &DeviceReader::Finished);
    form->FindAction(QStringLiteral("Menu22"))->trigger();
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    ASSERT_TRUE(finished.at(0).at(0).toBool()) << prompter.All().join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(menu15->isEnabled());

    TUhrstellen *window = form->ClockWindow();
    ASSERT_NE(window, nullptr);
    int pauses = 0, resumes = 0;
    window->PauseValues = [&] { ++pauses; };
    window->ResumeValues = [&] { ++resumes; };
    const QRegularExpression unitText(QRegularExpression::escape(GetText(121)) +
                                      QStringLiteral(" \\d\\d\\.\\d\\d\\.20\\d\\d \\d\\d:\\d\\d:\\d\\d"));
    bool driven = false;
    DriveModal([&](QWidget *modal) {
        driven = true;
        EXPECT_EQ(modal, window);
        EXPECT_EQ(modal->windowTitle(), QStringLiteral("Uhrstellen"));
        auto *pc = modal->findChild<QLabel *>(QStringLiteral("LB_DZ_PC"));
        auto *unit = modal->findChild<QLabel *>(QStringLiteral("LB_DZ_Unit"));
        auto *set = modal->findChild<QPushButton *>(QStringLiteral("Btn_Uhrstellen"));
        auto *cancel = modal->findChild<QPushButton *>(QStringLiteral("Btn_Abbruch"));
        ASSERT_TRUE(pc && unit && set && cancel);
        EXPECT_EQ(set->text(), QStringLiteral("Uhr stellen"));
        EXPECT_EQ(cancel->text(), QStringLiteral("Abbruch"));
        EXPECT_TRUE(pc->text().startsWith(GetText(120) + QLatin1Char(' ')));
        EXPECT_TRUE(window->Clock().Running());
        EXPECT_EQ(pauses, 1);
        QTRY_VERIFY_WITH_TIMEOUT(unitText.match(unit->text()).hasMatch(), 5000);
        QSignalSpy setDone(&window->Clock(), &DeviceClock::SetFinished);
        set->click();
        EXPECT_TRUE(window->Clock().SetRequested());
        QTRY_COMPARE_WITH_TIMEOUT(setDone.count(), 1, 5000);
        EXPECT_TRUE(setDone.at(0).at(0).toBool());
        cancel->click();
    });
    form->FindAction(QStringLiteral("Menu15"))->trigger();
    EXPECT_TRUE(driven);
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(window->Clock().Running()) << "the timer runs only while the window shows";
    EXPECT_EQ(resumes, 1);
    EXPECT_TRUE(prompter.Errors.isEmpty()) << prompter.All().join(QLatin1Char('|')).toStdString();
    form.reset();
    qunsetenv("MIRELO_CONFIG_DIR");
}
