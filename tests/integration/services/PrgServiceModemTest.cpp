// The 60-second line to the modem at the controller against the simulated 202: refused
// hand-over, a line answered by the modem, the end of the countdown, and when it is offered.
#include "../device/ChainRig.h"
#include "SimZuviModem.h"
#include "device/ParameterFile.h"
#include "params/ParameterSender.h"
#include "services/ProgramService.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

struct ModemRig : ChainRig
{
    std::shared_ptr<SimZuviModem> modem;
    std::unique_ptr<ParameterSender> sender;
    std::unique_ptr<ProgramService> service;
    QList<bool> started;
    QList<int> ticks;
    QString received;
    int ended = 0, paused = 0, resumed = 0;

    bool Setup()
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device)
            return false;
        modem = SimZuviModem::attach(*device);
        if (!Start())
            return false;
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        SetModemBit(true);
        main->ParamsLoaded = true;
        main->Online = true;
        main->Access.Level = Level::Ser;
        sender = std::make_unique<ParameterSender>(*main, *reader);
        service = std::make_unique<ProgramService>(*main, *sender);
        service->PauseValues = [this] { ++paused; };
        service->ResumeValues = [this] { ++resumed; };
        QObject::connect(service.get(), &ProgramService::ModemStarted, [this](bool ok) { started << ok; });
        QObject::connect(service.get(), &ProgramService::ModemTick, [this](int left, const QString &text) {
            ticks << left;
            received += text;
        });
        QObject::connect(service.get(), &ProgramService::ModemEnded, [this] { ++ended; });
        return true;
    }
    void SetModemBit(bool on)
    {
        DeviceData &d = main->Data;
        const long long i = d.State.IndexOf(ProgramService::ModemFlagsAddress);
        const int b = d.Geraet.GetByte(i);
        d.Geraet.SetByte(i, on ? (b | 0x02) : (b & ~0x02));
    }
    bool ModemActive()
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return modem->active();
    }
};

} // namespace

TEST(PrgServiceModem, RefusedHandOverOpensNothing)
{
    ModemRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.device->setRefusal(4, 0xF4);
    ASSERT_TRUE(rig.service->StartModem());
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.started.isEmpty(); }));
    EXPECT_EQ(rig.started, QList<bool>({false}));
    EXPECT_EQ(rig.prompter.Warnings, QStringList({GetText(42)}));
    EXPECT_FALSE(rig.service->ModemRunning());
    EXPECT_EQ(rig.paused, 0);
    EXPECT_FALSE(rig.ModemActive());
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.main->LinkBusy);
    EXPECT_FALSE(rig.service->SendLine(QStringLiteral("AT")));
}

TEST(PrgServiceModem, AcceptedHandOverCarriesALineAndItsAnswer)
{
    ModemRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.service->SetTickMs(100);
    ASSERT_TRUE(rig.service->StartModem());
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.started.isEmpty(); }));
    ASSERT_EQ(rig.started, QList<bool>({true}));
    EXPECT_TRUE(rig.ModemActive());
    EXPECT_EQ(rig.paused, 1);
    EXPECT_EQ(rig.device->bytes(0x23CC, 2), (std::vector<quint8>{0x25, 0x79}));
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.ticks.size() >= 3; }));
    EXPECT_LT(rig.service->Countdown(), 60);
    ASSERT_TRUE(rig.service->SendLine(QStringLiteral("ATZ")));
    EXPECT_EQ(rig.service->Countdown(), 60); // typing starts the 60 seconds again
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.received.contains(QStringLiteral("OK")); }, 10000));
    EXPECT_EQ(rig.received, QStringLiteral("ATZ\r\r\nOK\r\n"));
    ASSERT_TRUE(rig.service->SendLine(QStringLiteral("hallo")));
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.received.contains(QStringLiteral("ERROR")); }, 10000));
    EXPECT_FALSE(rig.service->SendLine(QString()));
    rig.service->StopModem();
    EXPECT_EQ(rig.ended, 1);
    EXPECT_EQ(rig.resumed, 1);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.main->LinkBusy);
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
}

TEST(PrgServiceModem, CountdownEndsThePassThrough)
{
    ModemRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.service->SetTickMs(5);
    ASSERT_TRUE(rig.service->StartModem());
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.ended > 0; }));
    ASSERT_EQ(rig.ticks.size(), ProgramService::PassThroughSeconds);
    EXPECT_EQ(rig.ticks.first(), 59);
    EXPECT_EQ(rig.ticks.last(), 0);
    EXPECT_FALSE(rig.service->ModemRunning());
    EXPECT_EQ(rig.resumed, 1);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.service->SendLine(QStringLiteral("AT")));
}

TEST(PrgServiceModem, OfferedOnlyWithAModemInterfaceAndNotOverAModem)
{
    for (const auto &[bit, overModem, offered] :
         {std::tuple{true, false, true}, std::tuple{false, false, false}, std::tuple{true, true, false}}) {
        ModemRig rig;
        ASSERT_TRUE(rig.Setup());
        rig.SetModemBit(bit);
        rig.main->ModemOnline = overModem;
        EXPECT_EQ(rig.service->ModemOffered(), offered);
        if (!offered) {
            EXPECT_FALSE(rig.service->StartModem());
            EXPECT_EQ(rig.device->counters().requests, 0u);
        }
    }
}
