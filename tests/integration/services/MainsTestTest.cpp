// The mains-failure test against the simulated controller: start and stop only on the
// device's confirmation, the countdown, the poll of the device timer and the one offer to
// extend, refusals, and the PC side stopping with its window.
#include "../device/ChainRig.h"
#include "SimMainsTest.h"
#include "device/ParameterFile.h"
#include "params/ParameterSender.h"
#include "services/MainsTest.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

struct MainsRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    std::unique_ptr<MainsTest> test;
    std::shared_ptr<SimMainsTest> simTest;
    std::vector<SimRequest> requests;

    bool Setup(const char *sample = "demo.202")
    {
        device = DeviceFromSample(QString::fromLatin1(sample));
        if (!device || !Start())
            return false;
        simTest = std::make_shared<SimMainsTest>(1800);
        simTest->setTimeMs(0);
        SimMainsTest::attach(*device, simTest);
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            requests.push_back(r);
            return false;
        });
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + sample, prompter))
            return false;
        main->ParamsLoaded = true;
        main->Online = true;
        main->Access.Level = Level::Mas;
        main->Settings.Retries = 0;
        sender = std::make_unique<ParameterSender>(*main, *reader);
        test = std::make_unique<MainsTest>(*main, *sender);
        // The timers stay out of the way unless a test wants them: it steps by hand.
        test->SetIntervals(3600 * 1000, 3600 * 1000);
        return true;
    }
    bool Idle() { return WaitUntil([this] { return !test->Busy() && main->PendingAction.isEmpty(); }, 5000); }
    bool StartTest() { return test->Start() && Idle(); }
    // One poll with the simulated test at the given second.
    bool PollAt(int second)
    {
        simTest->setTimeMs(qint64(second) * 1000);
        const size_t before = requests.size();
        test->Poll();
        return WaitUntil([&] { return requests.size() > before && main->PendingAction.isEmpty(); }, 5000) && Idle();
    }
    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

} // namespace

TEST(MainsTest, LengthMarkAndDisplayByDevice)
{
    const struct
    {
        int type, version, duration, mark;
    } cases[] = {{2, 5, 900, 60},     {0, 30, 900, 60},    {12, 12, 900, 60},  {14, 20, 900, 60},
                 {20, 12, 1800, 150}, {20, 11, 900, 60},   {5, 30, 1800, 150}, {13, 12, 1800, 150},
                 {53, 11, 900, 60},   {54, 12, 1800, 150}, {32, 12, 0, -1},    {36, 12, 0, -1},
                 {55, 12, 0, -1}};
    for (const auto &c : cases) {
        EXPECT_EQ(MainsTest::Duration(c.type, c.version), c.duration) << c.type << " v" << c.version;
        EXPECT_EQ(MainsTest::Mark(c.type, c.version), c.mark) << c.type << " v" << c.version;
    }
    const struct
    {
        int seconds;
        const char *text;
    } shown[] = {{899, "14:59 Min."}, {1799, "29:59 Min."}, {600, "10:0 Min."}, {65, "1:5 Min."},
                 {1, "0:1 Min."},     {0, "0"},             {-3, "0"}};
    for (const auto &s : shown)
        EXPECT_EQ(MainsTest::FormatRemaining(s.seconds), QString::fromLatin1(s.text)) << s.seconds;
}

TEST(MainsTest, StartsAndStopsOnlyOnTheDevicesConfirmation)
{
    MainsRig rig;
    ASSERT_TRUE(rig.Setup());
    const DeviceData &d = rig.main->Data;
    const int duration = MainsTest::Duration(d.State.DeviceType, d.Geraet.ProgramVersion);
    ASSERT_GT(duration, 0);
    ASSERT_TRUE(rig.test->Start());
    EXPECT_FALSE(rig.test->Running()) << "nothing counts before the device answered";
    EXPECT_EQ(rig.test->Display(), MainsTest::IdleText());
    ASSERT_TRUE(rig.Idle());
    EXPECT_TRUE(rig.test->Running()) << rig.Messages();
    EXPECT_TRUE(rig.simTest->running());
    EXPECT_TRUE(rig.test->PollActive() && rig.test->CountdownActive());
    ASSERT_FALSE(rig.requests.empty());
    EXPECT_EQ(rig.requests[0].address, quint32(MainsTest::CommandAddress));
    EXPECT_EQ(rig.requests[0].data, (std::vector<quint8>{0x39, 0x06}));
    rig.test->Tick();
    EXPECT_EQ(rig.test->Display(), MainsTest::FormatRemaining(duration - 1));

    rig.requests.clear();
    // Clicked while a poll is on the line: the stop follows its answer.
    rig.test->Poll();
    ASSERT_TRUE(rig.test->Stop());
    ASSERT_TRUE(rig.Idle());
    EXPECT_FALSE(rig.test->Running());
    EXPECT_FALSE(rig.test->PollActive() || rig.test->CountdownActive());
    EXPECT_EQ(rig.test->Display(), MainsTest::IdleText());
    EXPECT_FALSE(rig.simTest->running());
    // The stop command, its read-back, then the device timer set back to 0.
    std::vector<std::pair<quint32, std::vector<quint8>>> writes;
    for (const SimRequest &r : rig.requests)
        if (r.code == 4 || r.code == 20)
            writes.push_back({r.address, r.data});
    const std::vector<std::pair<quint32, std::vector<quint8>>> expected = {
        {MainsTest::CommandAddress, {0x00, 0x00}}, {MainsTest::TimerAddress, {0x00}}};
    EXPECT_EQ(writes, expected);
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.Messages();
}

TEST(MainsTest, AsksOnceWhenTheTimerFirstReachesTheMark)
{
    // The short test's mark of a set-B device up to version 11, and the long test's after it.
    const struct
    {
        const char *sample;
        int version; // the sample's own when 0
        int mark;
    } samples[] = {{"demo.202", 11, 60}, {"demo_v13.202", 0, 150}};
    for (const auto &s : samples) {
        const char *sample = s.sample;
        MainsRig rig;
        ASSERT_TRUE(rig.Setup(sample)) << sample;
        if (s.version)
            rig.main->Data.Geraet.ProgramVersion = s.version;
        const DeviceData &d = rig.main->Data;
        const int mark = MainsTest::Mark(d.State.DeviceType, d.Geraet.ProgramVersion);
        ASSERT_EQ(mark, s.mark) << sample;
        ASSERT_TRUE(rig.StartTest()) << sample << rig.Messages();
        rig.prompter.Answers = {false, true};
        // Ten-second steps: the poll sees one below the mark, then jumps past it.
        const struct
        {
            int second;
            int questions;
        } polls[] = {{(mark - 1) * 10 + 5, 0}, {(mark + 1) * 10 + 2, 1}, {(mark + 2) * 10, 1}, {(mark + 3) * 10, 1}};
        for (const auto &p : polls) {
            ASSERT_TRUE(rig.PollAt(p.second)) << sample << " " << p.second;
            EXPECT_EQ(rig.prompter.Questions.size(), p.questions) << sample << " " << p.second;
        }
        EXPECT_EQ(rig.test->LastTimerValue(), mark + 3) << sample;
        ASSERT_FALSE(rig.prompter.Questions.isEmpty());
        EXPECT_EQ(rig.prompter.Questions[0], GetText(630));
        for (const SimRequest &r : rig.requests)
            EXPECT_FALSE(r.code != 5 && r.address == quint32(MainsTest::TimerAddress)) << "declined: nothing written";
    }
}

TEST(MainsTest, ConfirmedExtensionResetsTheCountdownAndRearmsTheQuestion)
{
    MainsRig rig;
    ASSERT_TRUE(rig.Setup("demo_v13.202"));
    const DeviceData &d = rig.main->Data;
    const int mark = MainsTest::Mark(d.State.DeviceType, d.Geraet.ProgramVersion);
    const int duration = MainsTest::Duration(d.State.DeviceType, d.Geraet.ProgramVersion);
    ASSERT_TRUE(rig.StartTest());
    for (int k = 0; k < 100; ++k)
        rig.test->Tick();
    rig.prompter.Answers = {true, false};
    rig.requests.clear();
    const int second = mark * 10 + 3;
    ASSERT_TRUE(rig.PollAt(second));
    ASSERT_EQ(rig.prompter.Questions.size(), 1);
    ASSERT_TRUE(rig.Idle());
    EXPECT_EQ(rig.test->Remaining(), duration) << "the PC counts from the start again";
    EXPECT_EQ(rig.test->Display(), MainsTest::FormatRemaining(duration));
    bool timerWritten = false;
    for (const SimRequest &r : rig.requests)
        timerWritten |= (r.code == 4 || r.code == 20) && r.address == quint32(MainsTest::TimerAddress) &&
                        r.data == std::vector<quint8>{0x00};
    EXPECT_TRUE(timerWritten);
    // The device counts from the extension: its timer is back below the mark ...
    ASSERT_TRUE(rig.PollAt(second + 20));
    EXPECT_EQ(rig.test->LastTimerValue(), 2);
    EXPECT_EQ(rig.prompter.Questions.size(), 1);
    // ... and five minutes before the new end the question comes once more.
    ASSERT_TRUE(rig.PollAt(second + mark * 10 + 10));
    EXPECT_EQ(rig.prompter.Questions.size(), 2);
    EXPECT_TRUE(rig.test->Running());
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.Messages();
}

TEST(MainsTest, RefusedOrLostWritesChangeNothing)
{
    const struct
    {
        const char *name;
        std::function<void(SimDevice &)> arrange;
        QString message;
    } cases[] = {
        {"mode not OFF", [](SimDevice &d) { d.setRefusal(4, 0xF4), d.setRefusal(20, 0xF4); }, GetText(42)},
        {"locked", [](SimDevice &d) { d.setRefusal(4, 0xF5), d.setRefusal(20, 0xF5); }, GetText(129)},
        {"silent", [](SimDevice &d) { d.addFault({SimDevice::FaultKind::Silence, 1.0}); }, GetText(41)},
    };
    for (const auto &c : cases) {
        MainsRig rig;
        ASSERT_TRUE(rig.Setup()) << c.name;
        c.arrange(*rig.device);
        if (rig.test->Start())
            ASSERT_TRUE(rig.Idle()) << c.name;
        EXPECT_FALSE(rig.test->Running()) << c.name;
        EXPECT_FALSE(rig.test->PollActive() || rig.test->CountdownActive()) << c.name;
        EXPECT_EQ(rig.test->Display(), MainsTest::IdleText()) << c.name;
        EXPECT_FALSE(rig.simTest->running()) << c.name;
        EXPECT_TRUE(rig.prompter.Errors.contains(c.message)) << c.name << " " << rig.Messages();
        EXPECT_TRUE(rig.main->PendingAction.isEmpty()) << c.name;
    }
    // A refused stop leaves the test running and shown.
    MainsRig rig;
    ASSERT_TRUE(rig.Setup());
    ASSERT_TRUE(rig.StartTest());
    rig.device->setRefusal(4, 0xF5);
    rig.device->setRefusal(20, 0xF5);
    ASSERT_TRUE(rig.test->Stop());
    ASSERT_TRUE(rig.Idle());
    EXPECT_TRUE(rig.test->Running());
    EXPECT_TRUE(rig.test->CountdownActive());
    EXPECT_TRUE(rig.simTest->running());
    EXPECT_TRUE(rig.prompter.Errors.contains(GetText(129))) << rig.Messages();
}

TEST(MainsTest, CountdownAndPollRunOnTheirTimersAndStopWithTheWindow)
{
    MainsRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.test->SetIntervals(20, 1);
    ASSERT_TRUE(rig.StartTest());
    // Polls go out while the countdown runs; at its end both timers stop and 0 shows.
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.test->Running(); }, 20000));
    EXPECT_EQ(rig.test->Display(), QStringLiteral("0"));
    EXPECT_FALSE(rig.test->PollActive() || rig.test->CountdownActive());
    int polls = 0;
    for (const SimRequest &r : rig.requests)
        polls += r.code == 5 && r.address == quint32(MainsTest::TimerAddress) && r.count == 1;
    EXPECT_GT(polls, 0);

    const int type = rig.main->Data.State.DeviceType;
    // A device type without a known test length: the device is told, the PC shows 0 at once.
    rig.main->Data.State.DeviceType = 40;
    rig.test->SetIntervals(3600 * 1000, 3600 * 1000);
    ASSERT_TRUE(rig.StartTest()) << rig.Messages();
    EXPECT_EQ(rig.test->Display(), QStringLiteral("0"));
    EXPECT_FALSE(rig.test->Running() || rig.test->PollActive() || rig.test->CountdownActive());

    // Closing the window leaves no timer of it running, and nothing pending.
    rig.main->Data.State.DeviceType = type;
    rig.test->SetIntervals(20, 1000);
    ASSERT_TRUE(rig.test->Stop() && rig.Idle());
    ASSERT_TRUE(rig.StartTest());
    ASSERT_TRUE(rig.test->Running());
    rig.test->Poll();
    rig.test->Detach();
    EXPECT_FALSE(rig.test->Running() || rig.test->PollActive() || rig.test->CountdownActive());
    EXPECT_EQ(rig.test->Display(), MainsTest::IdleText());
    // The poll on the line is answered and frees it; nothing starts again.
    ASSERT_TRUE(rig.Idle());
    EXPECT_FALSE(rig.main->LinkBusy);
    EXPECT_FALSE(rig.test->Running() || rig.test->PollActive() || rig.test->CountdownActive());
}
