// Maintenance interval, extra hours and clearing the event memory against the simulated 202.
#include "../device/ChainRig.h"
#include "SimService.h"
#include "device/ParameterFile.h"
#include "params/ParameterSender.h"
#include "services/ProgramService.h"
#include "shell/Texts.h"
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Value = ProgramService::Value;

struct ServiceRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    std::unique_ptr<ProgramService> service;
    std::vector<SimRequest> requests;
    int reads = 0, writes = 0, clears = 0;
    bool lastOk = false;
    int lastValue = 0;

    bool Setup()
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device || !Start())
            return false;
        SimService::attach(*device);
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            requests.push_back(r);
            return false;
        });
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        main->ParamsLoaded = true;
        main->Online = true;
        main->Access.Level = Level::Ser;
        SetClearOption(true);
        sender = std::make_unique<ParameterSender>(*main, *reader);
        service = std::make_unique<ProgramService>(*main, *sender);
        QObject::connect(service.get(), &ProgramService::ReadFinished, [this](bool ok, Value, int v) {
            ++reads, lastOk = ok, lastValue = v;
        });
        QObject::connect(service.get(), &ProgramService::WriteFinished, [this](bool ok, Value, int v) {
            ++writes, lastOk = ok, lastValue = v;
        });
        QObject::connect(service.get(), &ProgramService::ClearFinished, [this](bool ok) { ++clears, lastOk = ok; });
        return true;
    }
    void SetClearOption(bool on)
    {
        DeviceData &d = main->Data;
        const long long i = d.State.IndexOf(ProgramService::EventOptionAddress);
        const int b = d.Geraet.GetByte(i);
        d.Geraet.SetByte(i, on ? (b | 0x40) : (b & ~0x40));
    }
    bool ReadValue(Value v)
    {
        const int before = reads;
        return service->Read(v) && WaitUntil([&] { return reads > before; });
    }
    bool WriteValue(Value v, const QString &text)
    {
        const int before = writes;
        return service->Write(v, text) && WaitUntil([&] { return writes > before; });
    }
    bool Clear()
    {
        const int before = clears;
        return service->ClearEvents() && WaitUntil([&] { return clears > before; }, 5000);
    }
    int Word(quint32 a) { return (device->byteAt(a) << 8) | device->byteAt(a + 1); }
    int Writes(quint32 address = 0) const
    {
        int n = 0;
        for (const SimRequest &r : requests)
            n += (r.code == 4 || r.code == 20) && (address == 0 || r.address == address);
        return n;
    }
};

} // namespace

TEST(ProgramService, DecodeAndTypedValues)
{
    EXPECT_EQ(ProgramService::Decode(Value::Interval, 0xFF, 0x9C), -100);
    EXPECT_EQ(ProgramService::Decode(Value::ExtraHours, 0xFF, 0x9C), 0xFF9C);
    const struct
    {
        Value v;
        const char *text;
        bool ok;
        int value;
    } cases[] = {
        {Value::Interval, "-30000", true, -30000}, {Value::Interval, "-30001", false, 0},
        {Value::Interval, "30000", true, 30000},   {Value::ExtraHours, "30000", true, 30000},
        {Value::ExtraHours, "40000", false, 0},    {Value::ExtraHours, "-1", false, 0},
        {Value::ExtraHours, "12h", false, 0},      {Value::ExtraHours, " 7 ", true, 7},
    };
    for (const auto &c : cases) {
        int v = 0;
        QString why;
        EXPECT_EQ(ProgramService::ParseValue(c.v, QString::fromLatin1(c.text), &v, &why), c.ok) << c.text;
        if (c.ok)
            EXPECT_EQ(v, c.value) << c.text;
        else
            EXPECT_TRUE(why.contains(c.v == Value::Interval ? "-30000" : "0 ")) << why.toStdString();
    }
}

TEST(ProgramService, ReadsAndWritesBothValuesWithTheirSign)
{
    ServiceRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.device->setBytes(ProgramService::IntervalAddress, {0x01, 0xF4});
    ASSERT_TRUE(rig.ReadValue(Value::Interval));
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.lastValue, 500);

    const struct
    {
        Value v;
        const char *text;
        int word;
    } cases[] = {{Value::Interval, "-100", 0xFF9C}, {Value::ExtraHours, "30000", 0x7530}, {Value::ExtraHours, "0", 0}};
    for (const auto &c : cases) {
        ASSERT_TRUE(rig.WriteValue(c.v, QString::fromLatin1(c.text))) << c.text;
        EXPECT_TRUE(rig.lastOk) << c.text;
        EXPECT_EQ(rig.Word(ProgramService::Address(c.v)), c.word) << c.text;
        ASSERT_TRUE(rig.ReadValue(c.v));
        EXPECT_EQ(rig.lastValue, QString::fromLatin1(c.text).toInt()) << c.text;
    }
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
}

TEST(ProgramService, NeverWritesAStaleOrOutOfRangeValue)
{
    ServiceRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.device->setBytes(ProgramService::IntervalAddress, {0x01, 0xF4, 0x00, 0x30});
    // Nothing read yet, out of range, and the other selection's value.
    EXPECT_FALSE(rig.service->Write(Value::ExtraHours, QString()));
    EXPECT_FALSE(rig.service->Write(Value::ExtraHours, QStringLiteral("40000")));
    ASSERT_TRUE(rig.ReadValue(Value::Interval));
    EXPECT_FALSE(rig.service->Write(Value::ExtraHours, QString()));
    EXPECT_EQ(rig.Writes(), 0);
    EXPECT_EQ(rig.Word(ProgramService::ExtraHoursAddress), 0x30);
    EXPECT_TRUE(rig.prompter.All().join('|').contains("30000"));
    // The value read for this very selection may go back unchanged.
    ASSERT_TRUE(rig.WriteValue(Value::Interval, QString()));
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.Word(ProgramService::IntervalAddress), 500);
}

TEST(ProgramService, ClearsEventsWithTwoWritesAndStopsAtARefusal)
{
    ServiceRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.device->setByte(0x13F8, 0x12);
    rig.device->setByte(0x2770, 0x55);
    ASSERT_TRUE(rig.Clear());
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.Word(0x13F8), 0x1000);
    EXPECT_EQ(rig.Word(0x2770), 0x1000);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());

    // A refused first write ends the chain: the wrap word is never written.
    rig.device->setByte(0x13F8, 0x12);
    rig.device->setByte(0x2770, 0x55);
    rig.device->setRefusal(20, 0xF4);
    const int before = rig.Writes();
    ASSERT_TRUE(rig.Clear());
    EXPECT_FALSE(rig.lastOk);
    EXPECT_EQ(rig.Writes(ProgramService::EventWrapAddress), 1);
    EXPECT_EQ(rig.device->byteAt(0x2770), 0x55);
    EXPECT_TRUE(rig.prompter.All().join('|').contains(GetText(42)));
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    rig.device->clearRefusals();

    // Without the option bit, or below level "Ser", nothing is sent.
    rig.SetClearOption(false);
    EXPECT_FALSE(rig.service->ClearEvents());
    rig.SetClearOption(true);
    rig.main->Access.Level = Level::Cus;
    EXPECT_FALSE(rig.service->ClearEvents());
    EXPECT_EQ(rig.Writes(), before);
}

TEST(ProgramService, AnotherWindowsServiceWriteDoesNotClearEvents)
{
    ServiceRig rig;
    ASSERT_TRUE(rig.Setup());
    rig.device->setByte(0x13F8, 0x12);
    // A single-value write started elsewhere under the old shared name.
    rig.main->SetPendingAction(QStringLiteral("Service Ausführen"));
    rig.sender->SendHigh = 0x01;
    rig.sender->SendLow = 0x02;
    ASSERT_TRUE(rig.sender->WriteValue(2, QStringLiteral("f92")));
    rig.WaitUntil([&] { return rig.Word(0x0F92) == 0x0102 && !rig.main->LinkBusy; });
    QTest::qWait(700);
    EXPECT_EQ(rig.device->byteAt(0x13F8), 0x12);
    EXPECT_EQ(rig.clears + rig.writes, 0);
}
