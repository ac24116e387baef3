// The CAN value mask against the simulated controller: the pairs in order, each after the
// previous one was confirmed, the image taking only what the device read back.
#include "../device/ChainRig.h"
#include "calibration/CanAnalog.h"
#include "device/ParameterFile.h"
#include "params/ParameterSender.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {
struct CanRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    std::unique_ptr<CanAnalog> can;
    std::vector<SimRequest> requests;
    int finished = 0;
    bool lastOk = false;

    bool Setup(int version, int readTimeoutMs = 20)
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device || !Start(QStringLiteral("SIM"), readTimeoutMs))
            return false;
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            if (r.address >= 0x0E40 && r.address < 0x0E50)
                requests.push_back(r);
            return false;
        });
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        main->Data.Geraet.ProgramVersion = version;
        main->ParamsLoaded = main->Online = true;
        main->Access.Level = Level::Cus;
        main->Settings.Retries = 0;
        sender = std::make_unique<ParameterSender>(*main, *reader);
        sender->SetAckDelayMs(0);
        can = std::make_unique<CanAnalog>(*main, *sender);
        QObject::connect(can.get(), &CanAnalog::Finished, [this](bool ok) {
            ++finished;
            lastOk = ok;
        });
        return true;
    }
    int Image(int address) const { return main->Data.Geraet.GetByte(main->Data.State.IndexOf(address)); }
    static QVector<bool> Marks(std::initializer_list<int> on, int count = 32)
    {
        QVector<bool> m(count, false);
        for (int k : on)
            m[k] = true;
        return m;
    }
};
} // namespace

TEST(CanAnalog, MaskBytesAndNames)
{
    EXPECT_EQ(CanAnalog::Names().size(), 32);
    EXPECT_EQ(CanAnalog::Names().at(3), QStringLiteral("Drehzahl"));
    EXPECT_EQ(CanAnalog::Names().at(19).size(), 21);
    const struct
    {
        std::initializer_list<int> on;
        int count;
        QVector<quint8> bytes;
    } rows[] = {
        {{3, 31}, 32, {0x08, 0x00, 0x00, 0x80}},
        {{0, 7, 8, 15}, 16, {0x81, 0x81}},
        {{}, 16, {0x00, 0x00}},
        {{16, 23, 24}, 32, {0x00, 0x00, 0x81, 0x01}},
    };
    for (const auto &r : rows) {
        const QVector<bool> marks = CanRig::Marks(r.on, r.count);
        EXPECT_EQ(CanAnalog::MaskBytes(marks), r.bytes);
        EXPECT_EQ(CanAnalog::CheckedFromMask(r.bytes, r.count), marks);
    }
    EXPECT_EQ(CanAnalog::ValueCount(20), 16);
    EXPECT_EQ(CanAnalog::ValueCount(26), 16);
    EXPECT_EQ(CanAnalog::ValueCount(27), 32);
}

TEST(CanAnalog, PairsGoOutInTurnAndTheReadBackFillsTheImage)
{
    const struct
    {
        int version;
        std::vector<quint32> writes; // addresses of the writes, in order
        std::vector<std::pair<int, int>> image;
    } rows[] = {
        {27, {0x0E4C, 0x0E4E}, {{0x0E4C, 0x08}, {0x0E4D, 0x00}, {0x0E4E, 0x00}, {0x0E4F, 0x80}}},
        {20, {0x0E40}, {{0x0E40, 0x08}, {0x0E41, 0x00}}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.version);
        CanRig rig;
        ASSERT_TRUE(rig.Setup(r.version));
        ASSERT_TRUE(rig.can->Apply(CanRig::Marks({3, 31})));
        // Nothing in the image before the device has confirmed.
        EXPECT_TRUE(rig.finished == 0);
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.finished == 1; }));
        EXPECT_TRUE(rig.lastOk) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
        std::vector<quint32> writes, order;
        for (const SimRequest &q : rig.requests) {
            order.push_back(q.address | (quint32(q.code) << 16));
            if (q.code == 4 || q.code == 20)
                writes.push_back(q.address);
        }
        EXPECT_EQ(writes, r.writes);
        // Each write is followed by its read-back before the next write.
        ASSERT_GE(order.size(), 2 * r.writes.size());
        for (size_t k = 0; k < r.writes.size(); ++k)
            EXPECT_EQ(order[2 * k + 1] & 0xFFFF, r.writes[k]);
        for (const auto &[address, value] : r.image)
            EXPECT_EQ(rig.Image(address), value) << std::hex << address;
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
}

TEST(CanAnalog, FailuresStopBeforeTheSecondPair)
{
    {
        // The device refuses: the second pair is never sent and the image keeps its mask.
        CanRig rig;
        ASSERT_TRUE(rig.Setup(27));
        const int before = rig.Image(0x0E4C);
        rig.device->addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
            if (r.code != 4 && r.code != 20)
                return false;
            a.code = 0xF5; // parametrisation locked
            return true;
        });
        ASSERT_TRUE(rig.can->Apply(CanRig::Marks({3, 31})));
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.finished == 1; }));
        EXPECT_FALSE(rig.lastOk);
        EXPECT_EQ(rig.requests.size(), 1u);
        EXPECT_EQ(rig.Image(0x0E4C), before);
        EXPECT_TRUE(rig.prompter.Warnings.contains(GetText(908)));
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
    {
        // No answer within the limit: told, and the chain no longer waits.
        CanRig rig;
        ASSERT_TRUE(rig.Setup(27, 1500));
        rig.device->addFault({SimDevice::FaultKind::Silence, 1.0});
        rig.can->SetWaitLimitMs(100);
        ASSERT_TRUE(rig.can->Apply(CanRig::Marks({3})));
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.finished == 1; }, 1000));
        EXPECT_FALSE(rig.lastOk);
        EXPECT_FALSE(rig.can->Running());
        EXPECT_TRUE(rig.prompter.Warnings.contains(GetText(907)));
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
        // The exchange's own failure, reported later, continues nothing any more.
        rig.WaitUntil([] { return false; }, 1700);
        EXPECT_EQ(rig.finished, 1);
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
    // The default limit outlasts every exchange with its repetitions.
    CanRig rig;
    ASSERT_TRUE(rig.Setup(27));
    rig.main->Settings.Retries = 2;
    EXPECT_GT(rig.can->WaitLimitMs(), 4 * 3 * 805);
}
