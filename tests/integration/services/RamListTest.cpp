// The RAM diagnosis list against the simulated 202: decoding of every field, the two reads,
// the reset of the diagnosis bit, and refusals and short answers that must change nothing.
#include "../device/ChainRig.h"
#include "SimRam.h"
#include "device/ParameterFile.h"
#include "params/ParameterSender.h"
#include "services/RamList.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

struct RamRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    std::unique_ptr<RamList> ram;
    std::vector<SimRequest> requests;
    int reads = 0, resets = 0;
    bool lastOk = false;

    bool Setup(quint8 slave = 0x31)
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device)
            return false;
        device->setSlaveAddress(slave);
        SimRam::attach(*device);
        if (!Start())
            return false;
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            requests.push_back(r);
            return false;
        });
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        main->Init.SlaveAddress = slave;
        main->ParamsLoaded = true;
        main->Online = true;
        main->Access.Level = Level::Ser;
        sender = std::make_unique<ParameterSender>(*main, *reader);
        ram = std::make_unique<RamList>(*main, *sender);
        QObject::connect(ram.get(), &RamList::ReadFinished, [this](bool ok) { ++reads, lastOk = ok; });
        QObject::connect(ram.get(), &RamList::ResetFinished, [this](bool ok) { ++resets, lastOk = ok; });
        return true;
    }
    bool Run(bool reset)
    {
        int &counter = reset ? resets : reads;
        const int before = counter;
        return (reset ? ram->Reset() : ram->Read()) && WaitUntil([&] { return counter > before; });
    }
    QString Field(const char *name) const
    {
        const auto &f = RamList::Fields();
        for (int i = 0; i < f.size(); ++i)
            if (f[i].Name == QLatin1String(name))
                return ram->Values().value(i);
        return QStringLiteral("?");
    }
    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

// Reads are answered with two bytes whatever was asked: a valid answer, but not a whole one.
void AnswerReadsShort(SimDevice &device)
{
    device.addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
        if (r.code != 5)
            return false;
        a.data = {0x00, 0x01};
        return true;
    });
}

} // namespace

TEST(RamList, EveryFieldDecodesFromItsAddress)
{
    const auto &fields = RamList::Fields();
    ASSERT_EQ(fields.size(), 55);
    std::array<quint8, RamList::BlockSize> block{};
    // Every word gets its own value from its address, so a field at the wrong place shows it.
    for (const auto &f : fields)
        if (f.Bit < 0) {
            block[size_t(f.Address - RamList::FirstAddress)] = quint8(f.Address >> 8);
            block[size_t(f.Address - RamList::FirstAddress + 1)] = quint8(f.Address);
        }
    block[0x2E8E - RamList::FirstAddress] = 0x05;
    block[0x2E8F - RamList::FirstAddress] = 0x80;
    block[0x2E9A - RamList::FirstAddress] = 0xFF; // words are unsigned
    block[0x2E9B - RamList::FirstAddress] = 0xFF;
    QSet<QString> names;
    for (const auto &f : fields) {
        names.insert(f.Name);
        const QString v = RamList::Value(f, block.data());
        if (f.Bit < 0) {
            const QString expected = f.Address == 0x2E9A ? QStringLiteral("65535") : QString::number(f.Address);
            EXPECT_EQ(v, expected) << f.Name.toStdString();
        }
    }
    EXPECT_EQ(names.size(), 55);
    EXPECT_FALSE(names.contains(QStringLiteral("Edit3"))) << "the cycle times are a memo";
    QStringList mains, gen;
    for (const auto &f : fields)
        if (f.Bit >= 0)
            (f.Address == 0x2E8E ? mains : gen) << RamList::Value(f, block.data());
    EXPECT_EQ(mains.join(QString()), QStringLiteral("10100000"));
    EXPECT_EQ(gen.join(QString()), QStringLiteral("00000001"));

    const quint8 cycles[] = {1, 2, 3, 4, 5, 6, 7, 8, 0xAB, 0, 0xFF};
    EXPECT_EQ(RamList::CycleLines(cycles, 11),
              (QStringList{QStringLiteral("01  02  03  04  05  06  07  08  "), QStringLiteral("AB  00  FF  ")}));
}

TEST(RamList, ReadsBothBlocksAndResetsOnlyTheDiagnosisBit)
{
    RamRig rig;
    ASSERT_TRUE(rig.Setup());
    ASSERT_TRUE(rig.Run(false));
    ASSERT_TRUE(rig.lastOk) << rig.Messages();
    ASSERT_EQ(rig.requests.size(), 2u);
    EXPECT_EQ(rig.requests[0].address, 0x2E2Cu);
    EXPECT_EQ(rig.requests[0].count, 36);
    EXPECT_EQ(rig.requests[1].address, 0x2E50u);
    EXPECT_EQ(rig.requests[1].count, 76);
    EXPECT_EQ(rig.Field("Edit1"), QStringLiteral("412"));
    EXPECT_EQ(rig.Field("Edit4"), QStringLiteral("2301"));
    EXPECT_EQ(rig.Field("Edit35"), QStringLiteral("1"));
    EXPECT_EQ(rig.Field("Edit41"), QStringLiteral("1"));
    EXPECT_EQ(rig.Field("Edit56"), QStringLiteral("1000"));
    EXPECT_EQ(rig.ram->CycleTimes().size(), 4);

    int serviceSteps = 0;
    rig.sender->RegisterAckContinuation(QStringLiteral("Service Ausführen"), [&] { ++serviceSteps; });
    rig.device->setByte(0x2855, 0x25);
    rig.requests.clear();
    ASSERT_TRUE(rig.Run(true));
    EXPECT_TRUE(rig.lastOk) << rig.Messages();
    ASSERT_GE(rig.requests.size(), 2u);
    EXPECT_EQ(rig.requests[0].code, 5);
    EXPECT_EQ(rig.requests[0].address, 0x2855u);
    EXPECT_EQ(rig.requests[1].code, 20);
    EXPECT_EQ(rig.requests[1].address, 0x2855u);
    EXPECT_EQ(rig.requests[1].data, std::vector<quint8>{0x05}) << "only bit 5 is cleared";
    EXPECT_EQ(rig.device->byteAt(0x2855), 0x05);
    EXPECT_EQ(serviceSteps, 0);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    ASSERT_TRUE(rig.Run(false));
    EXPECT_EQ(rig.Field("Edit4"), QStringLiteral("0")) << "the simulated reset clears the trip values";
    EXPECT_EQ(rig.Field("Edit35"), QStringLiteral("0"));
    EXPECT_EQ(rig.Field("Edit1"), QStringLiteral("412")) << "counters survive the reset";
}

TEST(RamList, RefusalsShortAnswersAndOtherDevicesChangeNothing)
{
    const struct
    {
        const char *name;
        bool reset;
        std::function<void(RamRig &)> arrange;
        QString message;
    } cases[] = {
        {"reset, mode not OFF", true, [](RamRig &r) { r.device->setRefusal(20, 0xF4); }, GetText(42)},
        {"reset, locked", true, [](RamRig &r) { r.device->setRefusal(20, 0xF5); }, GetText(129)},
        {"reset, no data", true, [](RamRig &r) { r.device->addFault({SimDevice::FaultKind::Short, 1.0}); },
         TeleText(15)},
        {"read, short answer", false, [](RamRig &r) { AnswerReadsShort(*r.device); }, GetText(41)},
        {"read, no data", false, [](RamRig &r) { r.device->addFault({SimDevice::FaultKind::Short, 1.0}); },
         TeleText(15)},
        {"no controller", false, [](RamRig &r) { r.main->Data.State.DeviceType = 36; }, GetText(620)},
        {"level below Ser", true, [](RamRig &r) { r.main->Access.Level = Level::Fer; }, GetText(621)},
    };
    for (const auto &c : cases) {
        RamRig rig;
        ASSERT_TRUE(rig.Setup()) << c.name;
        rig.main->Settings.Retries = 0;
        ASSERT_TRUE(rig.Run(false)) << c.name;
        const QStringList before = rig.ram->Values();
        rig.device->setBytes(0x2E50, {0x12, 0x34});
        c.arrange(rig);
        rig.prompter.Errors.clear();
        rig.prompter.Warnings.clear();
        int &counter = c.reset ? rig.resets : rig.reads;
        const int was = counter;
        if (c.reset ? rig.ram->Reset() : rig.ram->Read()) {
            ASSERT_TRUE(rig.WaitUntil([&] { return counter > was; })) << c.name;
        }
        EXPECT_FALSE(rig.lastOk && counter > was) << c.name;
        EXPECT_TRUE(rig.prompter.All().contains(c.message)) << c.name << " " << rig.Messages();
        EXPECT_EQ(rig.device->byteAt(0x2855), 0x21) << c.name;
        EXPECT_EQ(rig.ram->Values(), before) << c.name << ": nothing stale shown as current";
        EXPECT_TRUE(rig.main->PendingAction.isEmpty()) << c.name;
        EXPECT_FALSE(rig.ram->Busy()) << c.name;
    }
}
