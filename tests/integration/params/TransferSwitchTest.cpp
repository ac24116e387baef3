// The L-ORN transfer-switch controller against the simulated device: reading it, sending
// the whole set, and how its refusals and failed telegrams end a transfer or a write.
#include "../device/ChainRig.h"
#include "device/Catalogue.h"
#include "device/ParameterFile.h"
#include "params/FormatValue.h"
#include "params/ParameterSender.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

const QString kSample = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.ORN");
const QString kManual = QStringLiteral("Betriebsart muss MANUAL sein.");
// Program identifications the simulated device can report: the plain L-ORN (type 52) and
// the "S" variant (type 53), which shares the model pattern "*.ORN".
const char kPlain[] = "L-ORN 4000";
const char kVariantS[] = "L-ORN S400";

struct OrnRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    int done = 0;
    bool ok = false;
    QVector<ParameterSender::Step> plan;

    // The device identifies itself as deviceId; its parameter memory is cleared so that
    // every byte the transfer writes can be told from one it skips.
    bool Setup(const char *deviceId = kPlain)
    {
        device = DeviceFromSample(QStringLiteral("demo.ORN"));
        if (!device || !Start())
            return false;
        for (int k = 0; k < 10; ++k)
            device->setByte(quint32(SimDevice::IdentAddress + k), quint8(deviceId[k]));
        sender = std::make_unique<ParameterSender>(*main, *reader);
        sender->SetAckDelayMs(0);
        QObject::connect(sender.get(), &ParameterSender::TransferFinished, [this](bool r) {
            ++done;
            ok = r;
        });
        if (!LoadParameterFile(main->Data, kSample, prompter))
            return false;
        main->ParamsLoaded = true;
        main->OfflineFile = true;
        main->Access.Level = Level::Fer;
        const DeviceState &s = main->Data.State;
        for (int i = 0; i < s.PageCount * 256; ++i)
            device->setByte(quint32(s.ImageBase + i), 0);
        plan = ParameterSender::TransferPlan(s.DeviceType, s.ImageBase, s.PageCount, false, false);
        return !plan.isEmpty();
    }

    bool Transfer(std::deque<bool> answers)
    {
        prompter.Answers = std::move(answers);
        const int before = done;
        sender->SendParameterSet();
        return WaitUntil([&] { return done > before; });
    }

    quint8 OnDevice(int index) const { return device->byteAt(quint32(main->Data.State.ImageBase + index)); }
    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

TEST(TransferSwitch, ReadingTheDeviceIdentifiesTheLornAndShowsItsParameters)
{
    OrnRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.ORN"));
    ASSERT_TRUE(rig.device);
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Read());
    ASSERT_TRUE(rig.finishedOk) << rig.Messages();
    DeviceData &d = rig.main->Data;
    EXPECT_EQ(d.State.DeviceType, 52);
    EXPECT_EQ(d.State.ModelPattern, QStringLiteral("*.ORN"));
    EXPECT_TRUE(d.State.DefinitionFile.endsWith(QStringLiteral("L-ORN 4000-DE_v2.ZPA")))
        << d.State.DefinitionFile.toStdString();
    ASSERT_TRUE(rig.main->ParamsLoaded);
    EXPECT_EQ(d.State.ImageBase, 0x0500);
    EXPECT_EQ(d.State.AccessCode, QStringLiteral("31415"));
    // The image is the file's parameter memory, byte for byte.
    const QByteArray file = ChainRig::Sample(QStringLiteral("demo.ORN"));
    ASSERT_EQ(file.size(), d.State.PageCount * 256 + 48);
    for (int i = 0; i < d.State.PageCount * 256; ++i)
        ASSERT_EQ(d.Geraet.GetByte(i), quint8(file[i])) << i;

    // The fault coding uses the stride 6 of these controllers and shows its first letter
    // only, below the master level.
    int coding = -1;
    for (int i = 0; i < d.Params.Count() && coding < 0; ++i)
        if (d.Params.ItemText(i).contains(QLatin1String("Codierung Netzschalter")))
            coding = i;
    ASSERT_GE(coding, 0);
    TFormatter formatter(d);
    d.AccessLevel = QStringLiteral("Fer");
    EXPECT_EQ(formatter.FormatParameter(coding).trimmed(), QStringLiteral("R"));
    d.AccessLevel = QStringLiteral("Mas");
    EXPECT_EQ(formatter.FormatParameter(coding).trimmed(), QStringLiteral("R-V-W-0"));
}

TEST(TransferSwitch, WholeSetGoesToTheDeviceExceptItsReservedAreas)
{
    OrnRig rig;
    ASSERT_TRUE(rig.Setup());
    const auto image = rig.main->Data.Geraet.Image;
    ASSERT_TRUE(rig.Transfer({true}));
    EXPECT_TRUE(rig.ok) << rig.Messages();
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.Messages();
    EXPECT_EQ(rig.sender->TelegramCount(), rig.plan.size());
    QSet<int> sent;
    for (const auto &s : rig.plan)
        for (int k = 0; k < s.Count; ++k)
            sent.insert(s.Position + k);
    const int base = rig.main->Data.State.ImageBase;
    for (int i = 0; i < rig.main->Data.State.PageCount * 256; ++i)
        ASSERT_EQ(rig.OnDevice(i), sent.contains(i) ? image[size_t(i)] : 0) << std::hex << base + i;
    // The reserved areas hold data in the file, so the check above sees them skipped.
    for (int address : {0x0804, 0x080A, 0x080C, 0x0880, 0x08C4})
        EXPECT_FALSE(sent.contains(address - base)) << std::hex << address;
    EXPECT_TRUE(sent.contains(0x08C6 - base));
    EXPECT_TRUE(sent.contains(0x05F0 - base));
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.main->LinkBusy);
}

TEST(TransferSwitch, DeviceRefusalsEndTheTransferOnEveryVariant)
{
    struct Case
    {
        const char *deviceId;
        quint8 refusal;
        QString error;
        bool panelHidden;
        int lastAnswerCode;
    };
    const Case cases[] = {
        {kPlain, 0xF4, kManual, true, 0xF4},
        {kVariantS, 0xF4, kManual, true, 0xF4},
        {kPlain, 0xF5, GetText(129), false, 0},
        {kVariantS, 0xF5, GetText(129), false, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.deviceId) + " " + std::to_string(c.refusal));
        OrnRig rig;
        ASSERT_TRUE(rig.Setup(c.deviceId));
        rig.device->setRefusal(4, c.refusal);
        const bool otherId = std::string(c.deviceId) != kPlain;
        ASSERT_TRUE(rig.Transfer(otherId ? std::deque<bool>{true, true} : std::deque<bool>{true}));
        EXPECT_EQ(rig.main->Data.State.DeviceType, otherId ? 53 : 52);
        EXPECT_FALSE(rig.ok);
        EXPECT_EQ(rig.sender->TelegramCount(), 1);
        EXPECT_EQ(rig.prompter.Errors, QStringList{c.error}) << rig.Messages();
        EXPECT_FALSE(rig.sender->LinkFailed());
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
        EXPECT_FALSE(rig.main->LinkBusy);
        EXPECT_EQ(rig.main->LastAnswerCode, c.lastAnswerCode);
        EXPECT_EQ(rig.progressHidden > 0, c.panelHidden);
        EXPECT_EQ(rig.OnDevice(0), 0);
    }
}

TEST(TransferSwitch, OnlyThePlainLornGoesOnAfterAFailedTelegram)
{
    struct Case
    {
        const char *deviceId;
        quint8 answerCode; // the failed telegram's code byte
        bool goesOn;
        QString error;
    };
    const Case cases[] = {
        {kPlain, 0xF2, true, QString()},
        {kPlain, 0x17, true, QString()},
        {kVariantS, 0xF2, false, QStringLiteral("Error ")},
        {kVariantS, 0x17, false, GetText(63)},
    };
    constexpr int failing = 5;
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.deviceId) + " " + std::to_string(c.answerCode));
        OrnRig rig;
        ASSERT_TRUE(rig.Setup(c.deviceId));
        int writes = 0;
        rig.device->addRequestHook([&](SimDevice &, const SimRequest &req, SimAnswer &answer) {
            if (req.code != 4 || ++writes != failing)
                return false;
            answer.code = c.answerCode; // nothing written
            return true;
        });
        const auto image = rig.main->Data.Geraet.Image;
        const bool otherId = std::string(c.deviceId) != kPlain;
        ASSERT_TRUE(rig.Transfer(otherId ? std::deque<bool>{true, true} : std::deque<bool>{true}));
        EXPECT_EQ(rig.ok, c.goesOn) << rig.Messages();
        if (c.goesOn) {
            EXPECT_TRUE(rig.prompter.Errors.isEmpty()) << rig.Messages();
            EXPECT_EQ(rig.sender->TelegramCount(), rig.plan.size());
        } else {
            ASSERT_EQ(rig.prompter.Errors.size(), 1) << rig.Messages();
            EXPECT_TRUE(rig.prompter.Errors.first().startsWith(c.error)) << rig.Messages();
            EXPECT_EQ(rig.sender->TelegramCount(), failing);
        }
        // The failed telegram left its bytes alone; the ones before it and, on the plain
        // L-ORN, the ones after it were written.
        for (int t = 0; t < rig.plan.size(); ++t) {
            const auto &s = rig.plan[t];
            const bool written = t + 1 < failing || (c.goesOn && t + 1 > failing);
            for (int k = 0; k < s.Count; ++k)
                ASSERT_EQ(rig.OnDevice(s.Position + k), written ? image[size_t(s.Position + k)] : 0) << t;
        }
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
}

TEST(TransferSwitch, RefusedSingleWriteNamesTheOperatingModeOnlyOnThePlainLorn)
{
    struct Case
    {
        const char *loadedId;
        quint8 refusal;
        QString error;
    };
    const Case cases[] = {
        {kPlain, 0xF4, kManual},
        {kVariantS, 0xF4, GetText(42)},
        {kPlain, 0xF5, GetText(129)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.loadedId) + " " + std::to_string(c.refusal));
        OrnRig rig;
        ASSERT_TRUE(rig.Setup());
        DeviceData &d = rig.main->Data;
        d.Geraet.ProgramId = QString::fromLatin1(c.loadedId);
        TypeFromPattern(d, rig.prompter);
        ASSERT_EQ(d.State.DeviceType, std::string(c.loadedId) == kPlain ? 52 : 53);
        rig.device->setRefusal(4, c.refusal);
        rig.device->setRefusal(20, c.refusal);
        int failed = 0;
        QObject::connect(rig.sender.get(), &ParameterSender::WriteFailed, [&] { ++failed; });
        const auto image = d.Geraet.Image;
        rig.sender->SendHigh = 0x02;
        ASSERT_TRUE(rig.sender->WriteValue(1, QStringLiteral("05F0")));
        ASSERT_TRUE(rig.WaitUntil([&] { return failed > 0; }));
        EXPECT_EQ(rig.prompter.Errors, QStringList{c.error}) << rig.Messages();
        EXPECT_EQ(d.Geraet.Image, image);
        EXPECT_EQ(rig.device->byteAt(0x05F0), 0);
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
}

} // namespace
