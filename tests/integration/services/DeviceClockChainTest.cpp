// The clock's telegrams against the in-process simulator: reading, setting, refusals,
// short answers and a dead line.
#include "../device/ChainRig.h"
#include "SimClock.h"
#include "services/DeviceClock.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <mutex>

namespace {

struct ClockRig : ChainRig
{
    std::unique_ptr<DeviceClock> clock;
    std::mutex seenMutex;
    std::vector<SimRequest> seen; // every request, in the worker thread
    QStringList shown, failed;
    int setReports = 0;
    bool setOk = false;

    bool Setup(const QString &kind)
    {
        device = std::make_shared<SimDevice>();
        device->setDemoIdentification();
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            std::lock_guard<std::mutex> lock(seenMutex);
            seen.push_back(r);
            return false;
        });
        auto simClock = SimClock::attachNew(*device);
        simClock->hostNow = [] { return QDateTime(QDate(2026, 1, 1), QTime(0, 0)); }; // stands still
        simClock->set(QDateTime(QDate(2025, 12, 24), QTime(13, 4, 5)));
        if (!Start())
            return false;
        main->Data.Def.ClockKind = kind;
        clock = std::make_unique<DeviceClock>(*main);
        QObject::connect(clock.get(), &DeviceClock::DeviceTimeRead, [this](const QString &t) { shown << t; });
        QObject::connect(clock.get(), &DeviceClock::ReadFailed, [this](const QString &t) { failed << t; });
        QObject::connect(clock.get(), &DeviceClock::SetFinished, [this](bool ok, const QString &) {
            ++setReports;
            setOk = ok;
        });
        return true;
    }
    bool TickAndWait() { return clock->Tick() && WaitUntil([this] { return !clock->Busy(); }, 30000); }
};

TEST(DeviceClockChain, ReadAndSetUseTheAddressOfTheClockKind)
{
    for (const auto &[kind, address] : {std::pair{"3", 0x22F8u}, std::pair{"1", 0x0050u}}) {
        ClockRig rig;
        ASSERT_TRUE(rig.Setup(QString::fromLatin1(kind)));
        ASSERT_TRUE(rig.TickAndWait());
        rig.clock->Now = [] { return QDateTime(QDate(2031, 3, 1), QTime(7, 8, 9)); };
        rig.clock->RequestSet();
        ASSERT_TRUE(rig.TickAndWait());
        EXPECT_TRUE(rig.setOk && rig.setReports == 1 && !rig.clock->SetRequested());
        ASSERT_TRUE(rig.TickAndWait()); // the next tick reads the new time back
        EXPECT_EQ(rig.shown, QStringList({GetText(121) + QStringLiteral(" 24.12.2025 13:04:05"),
                                          GetText(121) + QStringLiteral(" 01.03.2031 07:08:09")}));
        ASSERT_EQ(rig.seen.size(), 3u);
        for (const SimRequest &r : rig.seen)
            EXPECT_EQ(r.address, address) << kind;
        EXPECT_EQ(rig.seen[1].code, 20);
        EXPECT_EQ(rig.seen[1].data, (std::vector<quint8>{9, 8, 7, 1, 3, 31, 0, 0}));
    }
}

TEST(DeviceClockChain, RefusedOrLostWriteIsReportedNeverDone)
{
    // 0: the device stays silent; the line's failure must not pass for a refusal.
    for (const auto &[refusal, message] : {std::pair{0xF4, GetText(42)}, std::pair{0xF5, GetText(129)},
                                           std::pair{0xF7, GetText(129)}, std::pair{0, QString()}}) {
        ClockRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("3")));
        if (refusal)
            rig.device->setRefusal(20, quint8(refusal));
        else
            rig.device->addFault({SimDevice::FaultKind::Silence, 1.0});
        rig.clock->RequestSet();
        ASSERT_TRUE(rig.clock->Tick());
        EXPECT_TRUE(rig.clock->WriteInFlight()); // pending until its report
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.setReports > 0; }, 30000)) << refusal;
        EXPECT_FALSE(rig.setOk);
        ASSERT_EQ(rig.prompter.Errors.size(), 1) << refusal;
        if (refusal)
            EXPECT_EQ(rig.prompter.Errors.first(), message);
        else
            EXPECT_FALSE(rig.prompter.Errors.first() == GetText(42) || rig.prompter.Errors.first() == GetText(129));
    }
}

TEST(DeviceClockChain, ShortOrFailedReadShowsNothing)
{
    ClockRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("1")));
    rig.device->clearRequestHooks();
    rig.device->addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
        a.data = {1, 2, 3}; // three of six bytes
        return r.code == 5;
    });
    ASSERT_TRUE(rig.TickAndWait());
    rig.device->clearRequestHooks();
    rig.device->setRefusal(5, 0xF5);
    ASSERT_TRUE(rig.TickAndWait());
    EXPECT_TRUE(rig.shown.isEmpty());
    EXPECT_EQ(rig.failed.size(), 2);
    EXPECT_TRUE(rig.prompter.Errors.isEmpty()); // a failed read is not worth a box
}

TEST(DeviceClockChain, IntervalOverAModem)
{
    ClockRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("3")));
    const long long at = rig.main->Data.State.IndexOf(DeviceClock::ModemFlagsAddress);
    for (const auto &[modem, flags, interval] : {std::tuple{false, 0x30, 1000}, std::tuple{true, 0x00, 1000},
                                                 std::tuple{true, 0x10, 2000}, std::tuple{true, 0x20, 2000},
                                                 std::tuple{true, 0xCF, 1000}}) {
        rig.main->ModemOnline = modem;
        rig.main->Data.Geraet.SetByte(at, flags);
        EXPECT_EQ(rig.clock->IntervalMs(), interval) << modem << ' ' << flags;
    }
}

} // namespace
