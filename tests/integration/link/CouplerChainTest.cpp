// The data coupler's chains against the in-process simulator, whose coupler really moves
// the line to the speed its configuration names.
#include "../device/ChainRig.h"
#include "SimCoupler.h"
#include "link/Coupler.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

struct CouplerRig : ChainRig
{
    std::shared_ptr<SimCoupler> coupler;
    std::unique_ptr<Coupler> core;
    QList<int> codesRead; // -1 for a failed read
    int setDone = 0, connectDone = 0;
    bool setOk = false, connectOk = false;
    QStringList labels;

    bool Setup(int pcBaud, int deviceBaud = 9600, const QString &startBaud = QStringLiteral("9600"))
    {
        device = std::make_shared<SimDevice>();
        device->setDemoIdentification();
        coupler = SimCoupler::attach(*device, QStringLiteral("PELK"), pcBaud, deviceBaud);
        if (!Start())
            return false;
        main->Init.BaudText = startBaud;
        thread->SetPort(QStringLiteral("SIM"), startBaud);
        core = std::make_unique<Coupler>(*main);
        core->SetPauseMs(5);
        QObject::connect(core.get(), &Coupler::BaudRead, [this](bool ok, int code) { codesRead << (ok ? code : -1); });
        QObject::connect(core.get(), &Coupler::SetFinished, [this](bool ok) {
            ++setDone;
            setOk = ok;
        });
        QObject::connect(core.get(), &Coupler::PcConnectFinished, [this](bool ok) {
            ++connectDone;
            connectOk = ok;
        });
        QObject::connect(core.get(), &Coupler::LabelText, [this](const QString &t) { labels << t; });
        return true;
    }
    std::array<quint8, 6> Config()
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return coupler->config();
    }
};

} // namespace

TEST(CouplerChain, PcConnectFindsTheCouplerAtTheSpeedItTalksAndMovesBothTo9600)
{
    // The try that finds it: 2400, 4800 and 9600 baud are the second to fourth settings.
    for (const auto &[pcBaud, tryIndex] : {std::pair{2400, 1}, std::pair{4800, 2}, std::pair{9600, 3}}) {
        CouplerRig rig;
        ASSERT_TRUE(rig.Setup(pcBaud, 2400));
        SetHandshake(true); // left over from protocol 5: the search must not keep it
        ASSERT_TRUE(rig.core->PcConnect());
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.connectDone > 0; }));
        EXPECT_TRUE(rig.connectOk) << pcBaud;
        EXPECT_EQ(rig.core->TryIndex(), tryIndex);
        EXPECT_EQ(rig.coupler->pcBaud(), 9600);
        EXPECT_EQ(rig.thread->BaudText(), QStringLiteral("9600"));
        EXPECT_EQ(rig.main->Init.BaudText, QStringLiteral("9600"));
        EXPECT_FALSE(Handshake());
        EXPECT_FALSE(rig.main->Settings.Handshake);
        // The read-back at 9600 is what says "found": it shows the speed to the device.
        EXPECT_EQ(rig.codesRead, QList<int>({210}));
        EXPECT_EQ(rig.prompter.Warnings, QStringList());
        EXPECT_EQ(rig.prompter.Infos, QStringList({GetText(762).arg(QStringLiteral("%1 BPS").arg(pcBaud))}));
        EXPECT_EQ(rig.labels.first(), QStringLiteral("PC 1200 BPS"));
        EXPECT_EQ(rig.labels.last(), GetText(154));
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
}

TEST(CouplerChain, PcConnectWithoutAnswerRestoresThePortAndLeavesTheSettings)
{
    // 15625 baud is none of the eight settings tried.
    CouplerRig rig;
    ASSERT_TRUE(rig.Setup(15625, 9600, QStringLiteral("19200")));
    rig.main->Settings.Handshake = true;
    SetHandshake(true);
    ASSERT_TRUE(rig.core->PcConnect());
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.connectDone > 0; }, 60000));
    EXPECT_FALSE(rig.connectOk);
    EXPECT_EQ(rig.core->TryIndex(), Coupler::Tries);
    EXPECT_EQ(rig.labels.mid(0, 8),
              QStringList({QStringLiteral("PC 1200 BPS"), QStringLiteral("PC 2400 BPS"), QStringLiteral("PC 4800 BPS"),
                           QStringLiteral("PC 9600 BPS"), QStringLiteral("PC 1200 BPS +HS"),
                           QStringLiteral("PC 2400 BPS +HS"), QStringLiteral("PC 4800 BPS +HS"),
                           QStringLiteral("PC 9600 BPS +HS")}));
    EXPECT_EQ(rig.prompter.Warnings, QStringList({GetText(155)}));
    EXPECT_EQ(rig.thread->BaudText(), QStringLiteral("19200"));
    EXPECT_TRUE(Handshake());
    EXPECT_EQ(rig.main->Init.BaudText, QStringLiteral("19200"));
    EXPECT_TRUE(rig.main->Settings.Handshake);
    EXPECT_EQ(rig.coupler->takeOvers(), 0);
    EXPECT_FALSE(rig.core->Busy());
}

TEST(CouplerChain, OkWritesTheConfigurationHasItTakenOverAndReadsItBack)
{
    CouplerRig rig;
    ASSERT_TRUE(rig.Setup(9600));
    ASSERT_TRUE(rig.core->ReadBaud());
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.core->Busy(); }));
    EXPECT_EQ(rig.codesRead, QList<int>({192}));
    ASSERT_TRUE(rig.core->SetDeviceBaud(210));
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.setDone > 0; }));
    EXPECT_TRUE(rig.setOk);
    EXPECT_EQ(rig.Config(), (std::array<quint8, 6>{192, 0, 12, 210, 0, 12}));
    EXPECT_EQ(rig.coupler->takeOvers(), 1);
    EXPECT_EQ(rig.codesRead, QList<int>({192, 210}));
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
}

TEST(CouplerChain, OkWithoutAChosenSpeedSaysSoAndWritesNothing)
{
    for (int code : {0, 1, 191, 255}) {
        CouplerRig rig;
        ASSERT_TRUE(rig.Setup(9600, 4800));
        const auto before = rig.Config();
        EXPECT_FALSE(rig.core->SetDeviceBaud(code));
        EXPECT_EQ(rig.prompter.Warnings, QStringList({GetText(760)}));
        EXPECT_FALSE(rig.core->Busy());
        QThread::msleep(50);
        QCoreApplication::processEvents();
        EXPECT_EQ(rig.Config(), before);
        EXPECT_EQ(rig.device->counters().requests, 0u) << code;
    }
}

TEST(CouplerChain, ReadFailureWarnsAndSelectsNothing)
{
    CouplerRig rig;
    ASSERT_TRUE(rig.Setup(4800)); // the program stays at 9600: nothing is heard
    ASSERT_TRUE(rig.core->ReadBaud());
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.core->Busy(); }));
    EXPECT_EQ(rig.codesRead, QList<int>({-1}));
    EXPECT_EQ(rig.prompter.Warnings, QStringList({GetText(41)}));
    EXPECT_EQ(rig.core->DeviceCode(), -1);
}
