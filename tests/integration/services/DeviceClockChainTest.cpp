// The clock's telegrams against the in-process simulator: reading, setting, refusals,
// short answers and a dead line.
#include "../device/ChainRig.h"
#include "SimClock.h"
#include "services/DeviceClock.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <mutex>

namespace {

struct Seen
{
    quint8 code;
    quint32 address;
    std::vector<quint8> data;
};

struct ClockRig : ChainRig
{
    std::shared_ptr<SimClock> simClock;
    std::unique_ptr<DeviceClock> clock;
    std::mutex seenMutex;
    std::vector<Seen> seen;
    QStringList shown, readFailures;
    int setReports = 0;
    bool setOk = false;

    bool Setup(const QString &kind)
    {
        device = std::make_shared<SimDevice>();
        device->setDemoIdentification();
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            std::lock_guard<std::mutex> lock(seenMutex);
            seen.push_back({r.code, r.address, r.data});
            return false;
        });
        simClock = SimClock::attachNew(*device);
        const QDateTime host(QDate(2026, 1, 1), QTime(0, 0, 0));
        simClock->hostNow = [host] { return host; }; // the device clock stands still
        simClock->set(QDateTime(QDate(2025, 12, 24), QTime(13, 4, 5)));
        if (!Start())
            return false;
        main->Data.Def.ClockKind = kind;
        clock = std::make_unique<DeviceClock>(*main);
        QObject::connect(clock.get(), &DeviceClock::DeviceTimeRead, [this](const QString &t) { shown << t; });
        QObject::connect(clock.get(), &DeviceClock::ReadFailed, [this](const QString &t) { readFailures << t; });
        QObject::connect(clock.get(), &DeviceClock::SetFinished, [this](bool ok, const QString &) {
            ++setReports;
            setOk = ok;
        });
        return true;
    }
    bool TickAndWait()
    {
        return clock->Tick() && WaitUntil([this] { return !clock->Busy(); }, 20000);
    }
    std::vector<Seen> Seen_()
    {
        std::lock_guard<std::mutex> lock(seenMutex);
        return seen;
    }
};

TEST(DeviceClockChain, ReadAndSetUseTheAddressOfTheClockKind)
{
    const struct
    {
        const char *kind;
        quint32 address;
    } cases[] = {{"3", 0x22F8}, {"1", 0x0050}};
    for (const auto &c : cases) {
        ClockRig rig;
        ASSERT_TRUE(rig.Setup(QString::fromLatin1(c.kind)));
        ASSERT_TRUE(rig.TickAndWait());
        ASSERT_EQ(rig.shown.size(), 1);
        EXPECT_EQ(rig.shown.first(), GetText(121) + QStringLiteral(" 24.12.2025 13:04:05"));

        rig.clock->Now = [] { return QDateTime(QDate(2031, 3, 1), QTime(7, 8, 9)); };
        rig.clock->RequestSet();
        ASSERT_TRUE(rig.TickAndWait());
        EXPECT_EQ(rig.setReports, 1);
        EXPECT_TRUE(rig.setOk);
        EXPECT_FALSE(rig.clock->SetRequested());
        ASSERT_TRUE(rig.TickAndWait()); // the next tick reads the new time back
        ASSERT_EQ(rig.shown.size(), 2);
        EXPECT_EQ(rig.shown.last(), GetText(121) + QStringLiteral(" 01.03.2031 07:08:09"));

        const auto seen = rig.Seen_();
        ASSERT_EQ(seen.size(), 3u);
        for (const Seen &s : seen)
            EXPECT_EQ(s.address, c.address) << c.kind;
        EXPECT_EQ(seen[1].code, 20);
        EXPECT_EQ(seen[1].data, (std::vector<quint8>{9, 8, 7, 1, 3, 31, 0, 0}));
        EXPECT_TRUE(rig.prompter.Errors.isEmpty());
    }
}

TEST(DeviceClockChain, RefusedOrLostWriteIsReportedNeverDone)
{
    const struct
    {
        int refusal; // 0: the device stays silent
        QString message;
    } cases[] = {{0xF4, GetText(42)}, {0xF5, GetText(129)}, {0xF7, GetText(129)}, {0, QString()}};
    for (const auto &c : cases) {
        ClockRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("3")));
        if (c.refusal)
            rig.device->setRefusal(20, quint8(c.refusal));
        else
            rig.device->addFault({SimDevice::FaultKind::Silence, 1.0});
        rig.clock->RequestSet();
        EXPECT_TRUE(rig.clock->SetRequested());
        ASSERT_TRUE(rig.clock->Tick());
        EXPECT_TRUE(rig.clock->WriteInFlight()); // pending until its report
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.setReports > 0; }, 30000)) << c.refusal;
        EXPECT_FALSE(rig.setOk);
        ASSERT_EQ(rig.prompter.Errors.size(), 1) << c.refusal;
        if (c.refusal) {
            EXPECT_EQ(rig.prompter.Errors.first(), c.message);
        } else { // the line's own failure, not taken for a refusal
            EXPECT_NE(rig.prompter.Errors.first(), GetText(42));
            EXPECT_NE(rig.prompter.Errors.first(), GetText(129));
        }
        EXPECT_FALSE(rig.clock->Busy());
    }
}

TEST(DeviceClockChain, ShortOrFailedReadShowsNothing)
{
    ClockRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("1")));
    // Three of six bytes: the old label must not be taken for the time.
    rig.device->clearRequestHooks();
    rig.device->addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
        if (r.code != 5 || r.address != 0x0050)
            return false;
        a.data = {1, 2, 3};
        return true;
    });
    ASSERT_TRUE(rig.TickAndWait());
    EXPECT_TRUE(rig.shown.isEmpty());
    EXPECT_EQ(rig.readFailures.size(), 1);
    EXPECT_FALSE(rig.clock->HaveTime());

    rig.device->clearRequestHooks();
    rig.device->setRefusal(5, 0xF5);
    ASSERT_TRUE(rig.TickAndWait());
    EXPECT_TRUE(rig.shown.isEmpty());
    EXPECT_EQ(rig.readFailures.size(), 2);
    EXPECT_TRUE(rig.prompter.Errors.isEmpty()); // a read that fails is not worth a box
}

TEST(DeviceClockChain, IntervalOverAModem)
{
    ClockRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("3")));
    auto &g = rig.main->Data.Geraet;
    const long long at = rig.main->Data.State.IndexOf(DeviceClock::ModemFlagsAddress);
    const struct
    {
        bool modem;
        int flags;
        int interval;
    } cases[] = {{false, 0x30, 1000}, {true, 0x00, 1000}, {true, 0x10, 2000}, {true, 0x20, 2000}, {true, 0xCF, 1000}};
    for (const auto &c : cases) {
        rig.main->ModemOnline = c.modem;
        g.SetByte(at, c.flags);
        EXPECT_EQ(rig.clock->IntervalMs(), c.interval) << c.modem << ' ' << c.flags;
    }
    rig.clock->Start();
    EXPECT_TRUE(rig.clock->Running());
    rig.clock->Stop();
    EXPECT_FALSE(rig.clock->Running());
}

} // namespace
