// Operating hours and starts against the simulated 202: read, write with read-back,
// refusals and the values that must never be written.
#include "../device/ChainRig.h"
#include "SimCounters.h"
#include "device/ParameterFile.h"
#include "params/ParameterSender.h"
#include "services/OperatingHours.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

using Counter = OperatingHours::Counter;

struct HoursRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    std::unique_ptr<OperatingHours> hours;
    std::vector<SimRequest> requests;
    int reads = 0, writes = 0;
    bool lastOk = false;
    quint32 lastValue = 0;

    bool Setup()
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device || !Start())
            return false;
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            requests.push_back(r);
            return false;
        });
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        main->ParamsLoaded = true;
        main->Online = true;
        main->Access.Level = Level::Ser;
        sender = std::make_unique<ParameterSender>(*main, *reader);
        hours = std::make_unique<OperatingHours>(*main, *sender);
        QObject::connect(hours.get(), &OperatingHours::ReadFinished, [this](bool ok, Counter, quint32 v) {
            ++reads;
            lastOk = ok;
            lastValue = v;
        });
        QObject::connect(hours.get(), &OperatingHours::WriteFinished, [this](bool ok, Counter, quint32 v) {
            ++writes;
            lastOk = ok;
            lastValue = v;
        });
        return true;
    }
    bool ReadCounter(Counter c)
    {
        const int before = reads;
        return hours->Read(c) && WaitUntil([&] { return reads > before; });
    }
    bool WriteCounter(Counter c, const QString &text)
    {
        const int before = writes;
        return hours->Write(c, text) && WaitUntil([&] { return writes > before; });
    }
    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

quint32 Memory24(SimDevice &d, quint32 a)
{
    return (quint32(d.byteAt(a)) << 16) | (quint32(d.byteAt(a + 1)) << 8) | d.byteAt(a + 2);
}

} // namespace

TEST(OperatingHours, CodecAndTypedValues)
{
    const quint8 block[4] = {0x00, 0x01, 0x02, 0x03};
    EXPECT_EQ(OperatingHours::Decode(block), 66051u);
    EXPECT_EQ(OperatingHours::Encode(70000), (std::array<quint8, 3>{0x01, 0x11, 0x70}));
    EXPECT_EQ(OperatingHours::Encode(0xFFFFFF), (std::array<quint8, 3>{0xFF, 0xFF, 0xFF}));
    const struct
    {
        const char *text;
        bool ok;
        quint32 value;
    } cases[] = {{"0", true, 0},           {" 42 ", true, 42},   {"16777215", true, 16777215},
                 {"16777216", false, 0},   {"-1", false, 0},     {"12a", false, 0},
                 {"4294967296", false, 0}, {"1.5", false, 0}};
    for (const auto &c : cases) {
        quint32 v = 99;
        QString error;
        EXPECT_EQ(OperatingHours::ParseValue(QString::fromLatin1(c.text), &v, &error), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(v, c.value) << c.text;
        else
            EXPECT_TRUE(error.startsWith(GetText(610))) << c.text;
    }
}

TEST(OperatingHours, TransferOfTheWholeSetLeavesTheCountersAlone)
{
    for (int type : {20, 0, 53}) {
        QSet<int> sent;
        for (const auto &s : ParameterSender::TransferPlan(type, 0x0800, 8, false, false))
            for (int k = 0; k < s.Count; ++k)
                sent.insert(0x0800 + s.Position + k);
        for (int a = 0x0FA0; a <= 0x0FA7; ++a)
            EXPECT_FALSE(sent.contains(a)) << type << " " << std::hex << a;
        EXPECT_TRUE(sent.contains(0x0F9F)) << type;
        EXPECT_TRUE(sent.contains(0x0FA8)) << type;
    }
}

TEST(OperatingHours, ReadsAndWritesEachCounterWithReadBack)
{
    HoursRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.device->setBytes(0x0FA0, {0xEE, 0x00, 0x00, 0x07, 0xEE, 0x01, 0x02, 0x03});
    ASSERT_TRUE(rig.ReadCounter(Counter::Hours));
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.lastValue, 66051u);
    ASSERT_TRUE(rig.ReadCounter(Counter::Starts));
    EXPECT_EQ(rig.lastValue, 7u);

    // Saving a counter must not run the program-service step that clears the event memory.
    int serviceSteps = 0;
    rig.sender->RegisterAckContinuation(QStringLiteral("Service Ausführen"), [&] { ++serviceSteps; });
    const struct
    {
        Counter counter;
        const char *text;
        quint32 address;
        std::vector<quint8> bytes;
    } writes[] = {{Counter::Starts, "70000", 0x0FA1, {0x01, 0x11, 0x70}},
                  {Counter::Hours, "16777215", 0x0FA5, {0xFF, 0xFF, 0xFF}},
                  {Counter::Hours, "0", 0x0FA5, {0x00, 0x00, 0x00}}};
    for (const auto &w : writes) {
        rig.requests.clear();
        ASSERT_TRUE(rig.WriteCounter(w.counter, QString::fromLatin1(w.text))) << w.text;
        EXPECT_TRUE(rig.lastOk) << w.text << rig.Messages();
        ASSERT_GE(rig.requests.size(), 2u);
        EXPECT_EQ(rig.requests[0].code, 20) << "the service level writes with code 20";
        EXPECT_EQ(rig.requests[0].address, w.address);
        EXPECT_EQ(rig.requests[0].data, w.bytes);
        EXPECT_EQ(rig.requests.back().code, 5);
        EXPECT_EQ(rig.requests.back().address, w.address - 1) << "the whole counter is read back";
        EXPECT_EQ(rig.requests.back().count, 4);
        EXPECT_EQ(rig.device->bytes(w.address, 3), w.bytes);
        const DeviceData &d = rig.main->Data;
        EXPECT_EQ(d.Geraet.GetByte(d.State.IndexOf(w.address + 2)), w.bytes[2]);
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
    EXPECT_EQ(serviceSteps, 0);
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.Messages();
    EXPECT_EQ(rig.device->byteAt(0x0FA0), 0xEE) << "the unused first byte is never written";
}

TEST(OperatingHours, RefusedOrWrongValuesAreNeverWritten)
{
    HoursRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.device->setBytes(0x0FA4, {0x00, 0x00, 0x01, 0x00});
    ASSERT_TRUE(rig.ReadCounter(Counter::Hours));
    const auto before = rig.device->bytes(0x0FA0, 8);
    rig.requests.clear();
    // Out of range, not a number, and the hours' value offered for the starts.
    EXPECT_FALSE(rig.hours->Write(Counter::Hours, QStringLiteral("16777216")));
    EXPECT_FALSE(rig.hours->Write(Counter::Hours, QStringLiteral("zehn")));
    EXPECT_FALSE(rig.hours->Write(Counter::Starts, QString()));
    ASSERT_EQ(rig.prompter.Errors.size(), 3) << rig.Messages();
    EXPECT_TRUE(rig.prompter.Errors[0].startsWith(GetText(610)));
    EXPECT_TRUE(rig.prompter.Errors[1].startsWith(GetText(610)));
    EXPECT_EQ(rig.prompter.Errors[2], GetText(611));
    EXPECT_TRUE(rig.requests.empty());
    // An empty edit writes back the value read for this very counter.
    ASSERT_TRUE(rig.WriteCounter(Counter::Hours, QString()));
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.requests.front().data, (std::vector<quint8>{0x00, 0x01, 0x00}));

    // Not offered: without a connection, below "Ser", or on a device that is no controller.
    rig.prompter.Errors.clear();
    rig.requests.clear();
    rig.main->Online = false;
    EXPECT_FALSE(rig.hours->Read(Counter::Hours));
    rig.main->Online = true;
    rig.main->Access.Level = Level::Fer;
    EXPECT_FALSE(rig.hours->Write(Counter::Hours, QStringLiteral("5")));
    rig.main->Access.Level = Level::Ser;
    rig.main->Data.State.DeviceType = 36;
    EXPECT_FALSE(rig.hours->Read(Counter::Starts));
    EXPECT_EQ(rig.prompter.Errors, (QStringList{GetText(614), GetText(615), GetText(613)}));
    EXPECT_TRUE(rig.requests.empty());
    EXPECT_EQ(rig.device->bytes(0x0FA0, 8), before);
}

TEST(OperatingHours, RefusalsFailuresAndAWrongReadBackAreReported)
{
    const struct
    {
        const char *name;
        std::function<void(SimDevice &)> arrange;
        bool viaWarning; // the link warning of the dispatch instead of an error
        QString message;
    } cases[] = {
        {"mode not OFF", [](SimDevice &d) { d.setRefusal(20, 0xF4); }, false, GetText(42)},
        {"locked", [](SimDevice &d) { d.setRefusal(20, 0xF5); }, false, GetText(129)},
        {"silent", [](SimDevice &d) { d.addFault({SimDevice::FaultKind::Silence, 1.0}); }, false, GetText(41)},
        {"keeps its own value",
         [](SimDevice &d) {
             d.addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &) { return r.code == 20; });
         },
         false, GetText(612).arg(5).arg(1234)},
    };
    for (const auto &c : cases) {
        HoursRig rig;
        ASSERT_TRUE(rig.Setup()) << c.name;
        rig.main->Settings.Retries = 0;
        rig.device->setBytes(0x0FA0, {0x00, 0x00, 0x00, 0x05});
        c.arrange(*rig.device);
        const int before = rig.writes;
        if (rig.hours->Write(Counter::Starts, QStringLiteral("1234")))
            ASSERT_TRUE(rig.WaitUntil([&] { return rig.writes > before; })) << c.name;
        EXPECT_FALSE(rig.lastOk) << c.name;
        EXPECT_TRUE(rig.prompter.Errors.contains(c.message)) << c.name << " " << rig.Messages();
        EXPECT_EQ(Memory24(*rig.device, 0x0FA1), 5u) << c.name;
        EXPECT_TRUE(rig.main->PendingAction.isEmpty()) << c.name;
        EXPECT_FALSE(rig.hours->Busy()) << c.name;
    }
}

TEST(OperatingHours, SimulatedSetCountsWhileItRunsAndFromAWrittenValue)
{
    HoursRig rig;
    ASSERT_TRUE(rig.Setup());
    auto counters = std::make_shared<SimCounters>();
    counters->setSchedule(3600, 1800); // an hour running, half an hour standing
    counters->setTimeMs(0);
    SimCounters::attach(*rig.device, counters);
    rig.device->setBytes(0x0FA0, {0, 0, 0, 10, 0, 0, 0, 100});
    const struct
    {
        qint64 seconds;
        quint32 hours, starts;
        bool running;
    } steps[] = {{0, 100, 10, true},      {3599, 100, 10, true},  {3600, 101, 10, false},
                 {5399, 101, 10, false},  {5400, 101, 11, true},  {8999, 101, 11, true},
                 {9000, 102, 11, false},  {27000, 105, 15, true}};
    for (const auto &s : steps) {
        counters->setTimeMs(s.seconds * 1000);
        ASSERT_TRUE(rig.ReadCounter(Counter::Hours)) << s.seconds;
        EXPECT_EQ(rig.lastValue, s.hours) << s.seconds;
        ASSERT_TRUE(rig.ReadCounter(Counter::Starts)) << s.seconds;
        EXPECT_EQ(rig.lastValue, s.starts) << s.seconds;
        EXPECT_EQ(counters->running(), s.running) << s.seconds;
    }
    // A written value counts on from the moment of writing, not from the old hour mark.
    counters->setTimeMs(27000 * 1000 + 1800 * 1000);
    ASSERT_TRUE(rig.WriteCounter(Counter::Hours, QStringLiteral("16777214")));
    EXPECT_TRUE(rig.lastOk) << rig.Messages();
    counters->setTimeMs((27000 + 1800 + 3599) * 1000);
    ASSERT_TRUE(rig.ReadCounter(Counter::Hours));
    EXPECT_EQ(rig.lastValue, 16777214u);
    // At its top the counter stays there.
    counters->setTimeMs((27000 + 1800 + 3 * 5400) * 1000);
    ASSERT_TRUE(rig.ReadCounter(Counter::Hours));
    EXPECT_EQ(rig.lastValue, 16777215u);
}
