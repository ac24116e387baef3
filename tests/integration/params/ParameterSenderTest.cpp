// "Parameter zum Gerät", the single-value write and the factory setting against the
// simulated devices: in-process and over a pty.
#include "../device/ChainRig.h"
#include "device/Catalogue.h"
#include "device/ParameterFile.h"
#include "params/ParameterSender.h"
#include "shell/Texts.h"
#include "support/SimPty.h"
#include <gtest/gtest.h>

namespace {

const QString kSamples = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/");

// The rig with a sender, the set of `file` loaded, and a device loaded from `deviceFile`
// whose parameter memory is then overwritten with `fill` (identification kept).
struct SendRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    int finishedCount = 0;
    bool ok = false;
    int base = 0;
    int pages = 0;
    int planEnd = 0;

    bool Setup(const QString &file, const QString &deviceFile, int fill = 0x00, const QString &port = QStringLiteral("SIM"))
    {
        device = DeviceFromSample(deviceFile);
        if (!device)
            return false;
        if (!Start(port))
            return false;
        sender = std::make_unique<ParameterSender>(*main, *reader);
        sender->SetAckDelayMs(0);
        QObject::connect(sender.get(), &ParameterSender::TransferFinished, [this](bool done) {
            ++finishedCount;
            ok = done;
        });
        if (!LoadParameterFile(main->Data, kSamples + file, prompter))
            return false;
        main->ParamsLoaded = true;
        main->OfflineFile = true;
        main->Access.Level = Level::Fer;
        base = main->Data.State.ImageBase;
        pages = main->Data.State.PageCount;
        const DeviceState &st = main->Data.State;
        const auto plan = ParameterSender::TransferPlan(st.DeviceType, base, pages, true, true);
        planEnd = plan.isEmpty() ? 0 : plan.last().Position + plan.last().Count;
        // Only what the transfer covers: beyond it the 071 - 083 keep their identification.
        if (fill >= 0 && port == QLatin1String("SIM")) {
            for (int i = 0; i < planEnd; ++i) {
                const int address = base + i;
                // The 071 - 083 answer their second identification request from 0x01A0.
                const bool secondIdent = st.DeviceType == 34 && address >= 0x01A0 && address < 0x01A8;
                if ((address < 0x30 || address >= 0x60) && !secondIdent)
                    device->setByte(quint32(address), quint8(fill));
            }
        }
        return true;
    }

    bool Transfer()
    {
        const int before = finishedCount;
        sender->SendParameterSet();
        // A whole ZEV 202 set under ASan on a busy machine can take half a minute.
        return WaitUntil([&] { return finishedCount > before; }, 120000);
    }

    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

TEST(ParameterSender, PlanOfAControllerSkipsItsReservedAreas)
{
    const auto plan = ParameterSender::TransferPlan(20, 0x0800, 8, false, false);
    ASSERT_FALSE(plan.isEmpty());
    EXPECT_EQ(plan.first().Position, 0);
    EXPECT_EQ(plan.first().Count, 4);
    EXPECT_EQ(plan.last().Position + 0x0800, 0x0FFC);
    EXPECT_EQ(plan.last().Count, 4);
    QSet<int> sent;
    for (const auto &s : plan)
        for (int k = 0; k < s.Count; ++k)
            sent.insert(0x0800 + s.Position + k);
    for (int a = 0x0804; a <= 0x080F; ++a)
        EXPECT_FALSE(sent.contains(a)) << std::hex << a;
    for (int a = 0x0880; a <= 0x08AF; ++a)
        EXPECT_FALSE(sent.contains(a)) << std::hex << a;
    for (int a = 0x0DF0; a <= 0x0DFF; ++a)
        EXPECT_FALSE(sent.contains(a)) << std::hex << a;
    EXPECT_FALSE(sent.contains(0x08C4));
    EXPECT_FALSE(sent.contains(0x08C5));
    EXPECT_TRUE(sent.contains(0x08C6));
    // Without Vindel programming to protect, its area goes out too.
    EXPECT_TRUE(sent.contains(0x0E50));
    const auto noVindel = ParameterSender::TransferPlan(20, 0x0800, 8, true, false);
    QSet<int> sent2;
    for (const auto &s : noVindel)
        for (int k = 0; k < s.Count; ++k)
            sent2.insert(0x0800 + s.Position + k);
    EXPECT_FALSE(sent2.contains(0x0E50));
    EXPECT_FALSE(sent2.contains(0x0E9F));
    EXPECT_FALSE(sent2.contains(0x0EB0));
    EXPECT_FALSE(sent2.contains(0x0ECF));
    EXPECT_TRUE(sent2.contains(0x0EA0));
    EXPECT_TRUE(sent2.contains(0x0ED0));
}

TEST(ParameterSender, PlanOfSmallModels)
{
    const auto stw = ParameterSender::TransferPlan(34, 0, 1, false, false);
    int oneByte = 0;
    for (const auto &s : stw) {
        EXPECT_LT(s.Position, 224);
        EXPECT_FALSE(s.Position >= 0x80 && s.Position < 0x90) << s.Position;
        if (s.Count == 1) {
            ++oneByte;
            EXPECT_EQ(s.Position, 0x70);
        }
    }
    EXPECT_EQ(oneByte, 1);
    const auto compact = ParameterSender::TransferPlan(32, 0, 1, false, false);
    for (const auto &s : compact)
        for (int skip : {0x60, 0xC0, 0xE0})
            EXPECT_FALSE(s.Position >= skip && s.Position < skip + 8) << s.Position;
    EXPECT_EQ(ParameterSender::TransferPlan(37, 0, 4, false, false).last().Position, 94);
    EXPECT_TRUE(ParameterSender::TransferPlan(9, 0x0800, 0, false, false).isEmpty());
}

TEST(ParameterSender, ResetAdviceDateBoundary)
{
    EXPECT_TRUE(ParameterSender::DateNeedsReset(11, 1, 6));
    EXPECT_FALSE(ParameterSender::DateNeedsReset(12, 1, 6));
    EXPECT_TRUE(ParameterSender::DateNeedsReset(31, 12, 5));
    EXPECT_FALSE(ParameterSender::DateNeedsReset(1, 2, 6));
    EXPECT_TRUE(ParameterSender::DateNeedsReset(1, 1, 99)); // 1999
    EXPECT_FALSE(ParameterSender::DateNeedsReset(1, 1, 79)); // 2079
}

TEST(ParameterSender, VoltageChoices)
{
    EXPECT_EQ(ParameterSender::OptionBitFromFactor(80), 8);
    EXPECT_EQ(ParameterSender::OptionBitFromFactor(250), 0);
    EXPECT_EQ(ParameterSender::OptionBitFromFactor(1), 0);
    EXPECT_EQ(ParameterSender::FactorFromOptionBit(2, 80), 138);
    EXPECT_EQ(ParameterSender::FactorFromOptionBit(0, 250), 250);
    EXPECT_EQ(ParameterSender::VoltageOptions().value(3), QStringLiteral("127 / 230 Volt"));
}

struct TransferCase
{
    const char *file;
    int type;
};

class WholeSetTransfer : public ::testing::TestWithParam<TransferCase>
{
};

TEST_P(WholeSetTransfer, WritesTheLoadedSetAndNothingElse)
{
    const TransferCase c = GetParam();
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QString::fromLatin1(c.file), QString::fromLatin1(c.file), 0x00));
    DeviceData &d = rig.main->Data;
    ASSERT_EQ(d.State.DeviceType, c.type);
    const auto imageBefore = d.Geraet.Image;
    const bool vindel = ParameterSender::HasVindelFor(d.State.DeviceType, d.Geraet.ProgramVersion);
    if (vindel)
        rig.prompter.Answers.push_back(false);
    rig.prompter.Answers.push_back(true); // the list of changes
    ASSERT_TRUE(rig.Transfer());
    EXPECT_TRUE(rig.ok) << rig.Messages();
    EXPECT_TRUE(rig.prompter.Errors.isEmpty()) << rig.Messages();
    ASSERT_FALSE(rig.sender->Changes().isEmpty());
    ASSERT_FALSE(rig.prompter.Questions.isEmpty());
    EXPECT_TRUE(rig.prompter.Questions.last().contains(rig.sender->Changes().first().FileValue));

    const auto plan = ParameterSender::TransferPlan(d.State.DeviceType, rig.base, rig.pages, vindel, false);
    EXPECT_EQ(rig.sender->TelegramCount(), plan.size());
    QSet<int> sent;
    for (const auto &s : plan)
        for (int k = 0; k < s.Count; ++k)
            sent.insert(s.Position + k);
    for (int i = 0; i < rig.planEnd; ++i) {
        const int address = rig.base + i;
        if ((address >= 0x30 && address < 0x60) || (c.type == 34 && address >= 0x01A0 && address < 0x01A8))
            continue;
        const quint8 onDevice = rig.device->byteAt(quint32(address));
        if (sent.contains(i))
            ASSERT_EQ(onDevice, imageBefore[size_t(i)]) << c.file << " index " << i;
        else
            ASSERT_EQ(onDevice, 0) << c.file << " index " << i << " must not be written";
    }
    // The read-back of the transducer only confirms what was sent.
    EXPECT_EQ(d.Geraet.Image, imageBefore);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.main->LinkBusy);
    EXPECT_GE(rig.progressHidden, 1);
    ASSERT_FALSE(rig.progress.isEmpty());
    EXPECT_EQ(rig.progress.first(), GetText(68) + QString::number(rig.base, 16).toUpper());
}

INSTANTIATE_TEST_SUITE_P(Demos, WholeSetTransfer,
                         ::testing::Values(TransferCase{"demo.202", 9}, TransferCase{"demo.STW", 34},
                                           TransferCase{"demo.VMX", 36}));

TEST(ParameterSender, AnsweringNoToTheChangesWritesNothing)
{
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), 0x11));
    rig.prompter.Answers = {false, false};
    ASSERT_TRUE(rig.Transfer());
    EXPECT_FALSE(rig.ok);
    EXPECT_EQ(rig.sender->TelegramCount(), 0);
    EXPECT_EQ(rig.device->byteAt(0x0900), 0x11);
    EXPECT_TRUE(rig.main->ParamsLoaded); // nothing refused the set itself
}

TEST(ParameterSender, DecliningKeepsTheIdentityOfTheFile)
{
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo_v13.202"), QStringLiteral("demo.202"), -1));
    TGeraet &g = rig.main->Data.Geraet;
    const int fileVersion = g.ProgramVersion;
    const auto identBefore = g.IdentBlock;
    rig.prompter.Answers = {false, true, false}; // Vindel, versions, changes
    ASSERT_TRUE(rig.Transfer());
    EXPECT_FALSE(rig.ok);
    ASSERT_EQ(rig.prompter.Questions.size(), 3) << rig.prompter.Questions.join('|').toStdString();
    EXPECT_EQ(rig.sender->TelegramCount(), 0);
    EXPECT_EQ(g.ProgramVersion, fileVersion);
    EXPECT_EQ(g.IdentBlock, identBefore);
    EXPECT_TRUE(rig.main->ParamsLoaded);
}

TEST(ParameterSender, DeviceRefusals)
{
    struct Case
    {
        quint8 byte;
        QString expectedPrefix;
    };
    const Case cases[] = {{0xF4, GetText(42)}, {0xF5, QStringLiteral("Error ")}};
    for (const Case &c : cases) {
        SendRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), 0x11));
        rig.device->setRefusal(4, c.byte);
        rig.device->setRefusal(20, c.byte);
        rig.prompter.Answers = {false, true};
        ASSERT_TRUE(rig.Transfer());
        EXPECT_FALSE(rig.ok);
        EXPECT_EQ(rig.sender->TelegramCount(), 1);
        ASSERT_FALSE(rig.prompter.Errors.isEmpty());
        EXPECT_TRUE(rig.prompter.Errors.last().startsWith(c.expectedPrefix)) << rig.Messages();
        if (c.byte == 0xF5)
            EXPECT_TRUE(rig.prompter.Errors.last().endsWith(QStringLiteral(" F5"))) << rig.Messages();
        EXPECT_FALSE(rig.sender->LinkFailed());
        EXPECT_EQ(rig.device->byteAt(0x0800), 0x11);
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    }
}

TEST(ParameterSender, MismatchingModelIsRefusedAndClosesTheSet)
{
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo.101"), QStringLiteral("demo.202"), 0x11));
    rig.prompter.Answers = {false, true, true};
    ASSERT_TRUE(rig.Transfer());
    EXPECT_FALSE(rig.ok);
    ASSERT_EQ(rig.prompter.Errors.size(), 1) << rig.Messages();
    EXPECT_TRUE(rig.prompter.Errors.first().startsWith(QStringLiteral("*.101  -  *.202 passen nicht zusammen!")))
        << rig.Messages();
    EXPECT_FALSE(rig.main->ParamsLoaded);
    EXPECT_EQ(rig.sender->TelegramCount(), 0);
    EXPECT_EQ(rig.device->byteAt(0x0900), 0x11);
}

TEST(ParameterSender, VersionQuestionAnsweredBothWays)
{
    for (bool yes : {false, true}) {
        SendRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), 0x11));
        TGeraet &g = rig.main->Data.Geraet;
        const int deviceVersion = g.ProgramVersion;
        // A file one version newer than the device.
        g.ProgramVersion = deviceVersion + 1;
        rig.prompter.Answers.clear();
        if (ParameterSender::HasVindelFor(rig.main->Data.State.DeviceType, g.ProgramVersion))
            rig.prompter.Answers.push_back(false);
        rig.prompter.Answers.push_back(yes);  // the version question
        rig.prompter.Answers.push_back(true); // the changes
        ASSERT_TRUE(rig.Transfer());
        const QString versionQuestion = GetText(320) + QLatin1Char('\n') + GetText(180) +
                                        QString::number(deviceVersion + 1) + QStringLiteral("  ") + GetText(181) +
                                        QString::number(deviceVersion);
        EXPECT_TRUE(rig.prompter.Questions.contains(versionQuestion)) << rig.prompter.Questions.join('|').toStdString();
        EXPECT_EQ(rig.ok, yes) << rig.Messages();
        EXPECT_EQ(rig.main->ParamsLoaded, yes);
        EXPECT_EQ(rig.device->byteAt(0x0800) != 0x11, yes);
    }
}

TEST(ParameterSender, LinkFailureInTheMiddleKeepsWhatWasConfirmed)
{
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), 0x11));
    const auto imageBefore = rig.main->Data.Geraet.Image;
    int writes = 0;
    rig.device->addRequestHook([&writes](SimDevice &dev, const SimRequest &req, SimAnswer &) {
        if (req.code == 4 && ++writes == 10)
            dev.addFault({SimDevice::FaultKind::Silence, 1.0});
        return false;
    });
    rig.prompter.Answers = {false, true};
    ASSERT_TRUE(rig.Transfer());
    EXPECT_FALSE(rig.ok);
    EXPECT_TRUE(rig.sender->LinkFailed());
    ASSERT_FALSE(rig.prompter.Errors.isEmpty());
    EXPECT_EQ(rig.prompter.Errors.last(), GetText(63));
    EXPECT_EQ(writes, 10);
    EXPECT_EQ(rig.sender->TelegramCount(), 11);
    const DeviceState &s = rig.main->Data.State;
    const auto plan = ParameterSender::TransferPlan(s.DeviceType, rig.base, rig.pages, false, false);
    for (int t = 0; t < plan.size(); ++t)
        for (int k = 0; k < plan[t].Count; ++k) {
            const int i = plan[t].Position + k;
            EXPECT_EQ(rig.device->byteAt(quint32(rig.base + i)), t < 10 ? imageBefore[size_t(i)] : 0x11) << t;
        }
    EXPECT_EQ(rig.main->Data.Geraet.Image, imageBefore);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
}

TEST(ParameterSender, WriteValueTakesOnlyTheReadBackIntoTheImage)
{
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), -1));
    DeviceData &d = rig.main->Data;
    QList<int> codes;
    rig.device->addRequestHook([&codes](SimDevice &, const SimRequest &req, SimAnswer &) {
        codes << req.code;
        return false;
    });
    // The device limits what it takes: the second byte is stored one lower.
    rig.device->addRequestHook([](SimDevice &dev, const SimRequest &req, SimAnswer &) {
        if ((req.code == 4 || req.code == 20) && req.data.size() >= 2) {
            dev.setByte(req.address, req.data[0]);
            dev.setByte(req.address + 1, quint8(req.data[1] - 1));
            return true;
        }
        return false;
    });
    int confirmed = 0;
    QObject::connect(rig.sender.get(), &ParameterSender::WriteConfirmed, [&](int) { ++confirmed; });
    rig.sender->SendHigh = 0x12;
    rig.sender->SendLow = 0x34;
    ASSERT_TRUE(rig.sender->WriteValue(2, QStringLiteral("0900")));
    ASSERT_TRUE(rig.WaitUntil([&] { return confirmed > 0; }));
    EXPECT_EQ(codes, (QList<int>{4, 5})) << "level Fer writes with code 4, then reads back";
    // The service levels write with code 20.
    rig.main->Access.Level = Level::Ser;
    codes.clear();
    rig.sender->SendHigh = 0x12;
    rig.sender->SendLow = 0x34;
    ASSERT_TRUE(rig.sender->WriteValue(2, QStringLiteral("0900")));
    ASSERT_TRUE(rig.WaitUntil([&] { return confirmed > 1; }));
    EXPECT_EQ(codes, (QList<int>{20, 5}));
    EXPECT_EQ(d.Geraet.GetByte(d.State.IndexOf(0x0900)), 0x12);
    EXPECT_EQ(d.Geraet.GetByte(d.State.IndexOf(0x0901)), 0x33);
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.Messages();

    // One byte: a length-7 telegram with the address bytes and SendHigh alone; the read-back
    // asks for that one byte. 0x0123 lies below the image: the image is not touched.
    rig.device->clearRequestHooks();
    std::vector<SimRequest> requests;
    rig.device->addRequestHook([&requests](SimDevice &, const SimRequest &req, SimAnswer &) {
        requests.push_back(req);
        return false;
    });
    const auto imageBefore = d.Geraet.Image;
    rig.sender->SendHigh = 0x5A;
    rig.sender->SendLow = 0x77;
    ASSERT_TRUE(rig.sender->WriteValue(1, QStringLiteral("0123")));
    ASSERT_TRUE(rig.WaitUntil([&] { return confirmed > 2; }));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].address, 0x0123u);
    EXPECT_EQ(requests[0].data, std::vector<quint8>{0x5A});
    EXPECT_EQ(requests[1].code, 5);
    EXPECT_EQ(requests[1].address, 0x0123u);
    EXPECT_EQ(requests[1].count, 1);
    EXPECT_EQ(rig.sender->SendLow, 0);
    EXPECT_EQ(d.Geraet.Image, imageBefore);

    // Out of range: nothing sent.
    rig.sender->SendHigh = 1;
    EXPECT_FALSE(rig.sender->WriteValue(2, QStringLiteral("1FFFF")));
    EXPECT_EQ(rig.prompter.Errors.last(), QStringLiteral("Adress too low or too high."));
    rig.sender->SendHigh = 256;
    EXPECT_FALSE(rig.sender->WriteValue(2, QStringLiteral("0900")));
    EXPECT_EQ(rig.prompter.Errors.last(), QStringLiteral("Data too low or too high."));

    // A read-back that fails leaves the image as it was.
    rig.device->clearRequestHooks();
    rig.device->setRefusal(5, 0xF4);
    int failed = 0;
    QObject::connect(rig.sender.get(), &ParameterSender::WriteFailed, [&] { ++failed; });
    rig.sender->SendHigh = 0x55;
    rig.sender->SendLow = 0x66;
    ASSERT_TRUE(rig.sender->WriteValue(1, QStringLiteral("0902")));
    ASSERT_TRUE(rig.WaitUntil([&] { return failed > 0; }));
    EXPECT_EQ(rig.device->byteAt(0x0902), 0x55);
    EXPECT_NE(d.Geraet.GetByte(d.State.IndexOf(0x0902)), 0x55);
    EXPECT_EQ(rig.prompter.Errors.last(), GetText(41));

    // A refused write shows the operating mode text.
    rig.device->setRefusal(4, 0xF4);
    rig.device->setRefusal(20, 0xF4);
    ASSERT_TRUE(rig.sender->WriteValue(1, QStringLiteral("0903")));
    ASSERT_TRUE(rig.WaitUntil([&] { return failed > 1; }));
    EXPECT_EQ(rig.prompter.Errors.last(), GetText(42));

    // Without identification nothing goes out.
    rig.main->Access.Level.clear();
    EXPECT_FALSE(rig.sender->WriteValue(1, QStringLiteral("0903")));
    EXPECT_EQ(rig.prompter.Errors.last(), GetText(45));
}

TEST(ParameterSender, ASingleWriteOrItsReadBackLostOnTheLineIsSentAgain)
{
    struct Case
    {
        const char *name;
        bool loseWrite; // else the read-back's answer is lost
        int retries;
        QList<int> codes;
        bool confirmed;
    };
    const Case cases[] = {
        {"write answer lost", true, 1, {4, 4, 5}, true},
        {"read-back lost", false, 1, {4, 5, 5}, true},
        {"write answer lost, no repetitions", true, 0, {4}, false},
        {"read-back lost, no repetitions", false, 0, {4, 5}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SendRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), -1));
        rig.main->Settings.Retries = c.retries;
        DeviceData &d = rig.main->Data;
        const auto imageBefore = d.Geraet.Image;
        // A fault is drawn when a telegram starts: set in the hook of one request, it spoils
        // the answer of the next. The device has carried out the write whose answer is lost.
        if (c.loseWrite)
            rig.device->addFault({SimDevice::FaultKind::BadSum, 1.0});
        QList<int> codes;
        rig.device->addRequestHook([&](SimDevice &dev, const SimRequest &req, SimAnswer &) {
            codes << req.code;
            if (codes.size() == 1 && !c.loseWrite)
                dev.addFault({SimDevice::FaultKind::BadSum, 1.0});
            else
                dev.clearFaults();
            return false;
        });
        int confirmed = 0, failed = 0;
        QObject::connect(rig.sender.get(), &ParameterSender::WriteConfirmed, [&](int) { ++confirmed; });
        QObject::connect(rig.sender.get(), &ParameterSender::WriteFailed, [&] { ++failed; });
        rig.sender->SendHigh = 0x12;
        rig.sender->SendLow = 0x34;
        ASSERT_TRUE(rig.sender->WriteValue(2, QStringLiteral("0900")));
        ASSERT_TRUE(rig.WaitUntil([&] { return confirmed + failed > 0; }));
        EXPECT_EQ(confirmed, c.confirmed ? 1 : 0);
        EXPECT_EQ(codes, c.codes);
        EXPECT_EQ(rig.device->byteAt(0x0900), 0x12);
        const long long at = d.State.IndexOf(0x0900);
        if (c.confirmed) {
            EXPECT_EQ(d.Geraet.GetByte(at), 0x12);
            EXPECT_EQ(d.Geraet.GetByte(at + 1), 0x34);
            EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.Messages();
        } else {
            EXPECT_EQ(d.Geraet.Image, imageBefore);
            ASSERT_FALSE(rig.prompter.Errors.isEmpty());
            EXPECT_EQ(rig.prompter.Errors.last(), GetText(41));
        }
        EXPECT_FALSE(rig.main->LinkBusy);
    }
}

TEST(ParameterSender, OnANoisyLineTheWholeSetArrivesByteForByte)
{
    for (const int retries : {2, 0}) {
        SCOPED_TRACE(retries);
        // The ZEV 071 - 083: a set small enough to send quickly, in 32-byte telegrams.
        SendRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("demo.STW"), QStringLiteral("demo.STW"), 0x00));
        ASSERT_TRUE(ChainRig::AddLineNoise(*rig.device));
        rig.device->setSeed(2);
        rig.main->Settings.Retries = retries;
        int repeats = 0;
        QObject::connect(rig.main.get(), &MainController::ExchangeRepeated, [&](const QString &) { ++repeats; });
        DeviceData &d = rig.main->Data;
        const auto imageBefore = d.Geraet.Image;
        rig.prompter.Answers = {true}; // send the changes
        ASSERT_TRUE(rig.Transfer());
        if (retries == 0) {
            EXPECT_FALSE(rig.ok) << "without repetitions the noise must break the transfer";
            EXPECT_TRUE(rig.sender->LinkFailed());
            EXPECT_EQ(repeats, 0);
            continue;
        }
        EXPECT_TRUE(rig.ok) << rig.Messages();
        EXPECT_GT(repeats, 0) << "the line was meant to be noisy";
        const auto plan = ParameterSender::TransferPlan(d.State.DeviceType, rig.base, rig.pages, false, false);
        EXPECT_EQ(rig.sender->TelegramCount(), plan.size());
        int wrong = 0;
        for (const auto &step : plan)
            for (int k = 0; k < step.Count; ++k) {
                const int address = rig.base + step.Position + k;
                if (address >= 0x01A0 && address < 0x01A8)
                    continue; // its second identification, kept by the device
                wrong += rig.device->byteAt(quint32(address)) == imageBefore[size_t(step.Position + k)] ? 0 : 1;
            }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(ParameterSender, FactorySettingCopiesTheStoredBlock)
{
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), 0x11));
    DeviceData &d = rig.main->Data;
    for (int i = 0; i < 0x60; ++i)
        rig.device->setByte(quint32(0x2000 + i), quint8(0x80 + i));
    rig.device->setByte(0x0F68, 0xAB);
    rig.device->setByte(0x0F69, 0xCD);
    int done = 0;
    bool ok = false;
    QObject::connect(rig.sender.get(), &ParameterSender::FactorySettingFinished, [&](bool r) {
        ++done;
        ok = r;
    });
    rig.prompter.Answers = {true};
    rig.sender->FactorySetting();
    ASSERT_TRUE(rig.WaitUntil([&] { return done > 0; }));
    EXPECT_TRUE(ok) << rig.Messages();
    EXPECT_EQ(rig.prompter.Questions.value(0), QStringLiteral("Sollen die Werkseinstellungen geladen werden?"));
    for (int i = 0; i < 0x60; ++i) {
        EXPECT_EQ(rig.device->byteAt(quint32(0x0810 + i)), 0x80 + i) << i;
        EXPECT_EQ(d.Geraet.GetByte(d.State.IndexOf(0x0810 + i)), 0x80 + i) << i;
    }
    EXPECT_EQ(rig.device->byteAt(0x08C4), 0xAB);
    EXPECT_EQ(rig.device->byteAt(0x08C5), 0xCD);
    EXPECT_EQ(rig.device->byteAt(0x0870), 0x11);

    // Declined: nothing happens.
    rig.prompter.Answers = {false};
    rig.device->setByte(0x0810, 0);
    rig.sender->FactorySetting();
    ASSERT_TRUE(rig.WaitUntil([&] { return done > 1; }));
    EXPECT_FALSE(ok);
    EXPECT_EQ(rig.device->byteAt(0x0810), 0);
}

TEST(ParameterSender, TransferOverAPty)
{
    SimPty pty({QStringLiteral("--device"), kSamples + QStringLiteral("demo.202")});
    ASSERT_TRUE(pty.isRunning()) << pty.error().toStdString();
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), -1, pty.linkPath()));
    DeviceData &d = rig.main->Data;
    ASSERT_TRUE(ParameterSender::HasVindelFor(d.State.DeviceType, d.Geraet.ProgramVersion));
    rig.prompter.Answers = {true, true}; // the Vindel programming goes too
    ASSERT_TRUE(rig.Transfer());
    EXPECT_TRUE(rig.ok) << rig.Messages();
    EXPECT_EQ(rig.prompter.Questions.value(0), GetText(177));
    // The device held the same set: nothing to list, everything written again.
    EXPECT_TRUE(rig.sender->Changes().isEmpty());
    EXPECT_EQ(rig.prompter.Questions.value(1), ParameterSender::ChangesQuestion({}));
    const auto plan = ParameterSender::TransferPlan(d.State.DeviceType, rig.base, rig.pages, true, true);
    EXPECT_EQ(rig.sender->TelegramCount(), plan.size());
    EXPECT_GT(plan.size(), ParameterSender::TransferPlan(d.State.DeviceType, rig.base, rig.pages, true, false).size());
}

TEST(ParameterSender, RefusalsOfASimulatorStartedWithTheirOptions)
{
    struct Case
    {
        const char *option;
        QString expectedPrefix;
    };
    const Case cases[] = {{"--mode-not-off", GetText(42)}, {"--locked", QStringLiteral("Error ")}};
    for (const Case &c : cases) {
        SimPty pty({QStringLiteral("--device"), kSamples + QStringLiteral("demo.202"), QString::fromLatin1(c.option)});
        ASSERT_TRUE(pty.isRunning()) << pty.error().toStdString();
        SendRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), -1, pty.linkPath()));
        rig.prompter.Answers = {false, true};
        ASSERT_TRUE(rig.Transfer());
        EXPECT_FALSE(rig.ok) << c.option;
        EXPECT_EQ(rig.sender->TelegramCount(), 1) << c.option;
        ASSERT_FALSE(rig.prompter.Errors.isEmpty()) << c.option;
        EXPECT_TRUE(rig.prompter.Errors.last().startsWith(c.expectedPrefix)) << c.option << " " << rig.Messages();
        EXPECT_FALSE(rig.sender->LinkFailed()) << c.option;
    }
}

TEST(ParameterSender, ResetAdviceAfterAnOldDevice)
{
    for (bool old : {true, false}) {
        SendRig rig;
        ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), -1));
        // Program date of the device: 11 January 2006, or 12 January 2006.
        rig.device->setByte(0x30 + 13, old ? 11 : 12);
        rig.device->setByte(0x30 + 14, 1);
        rig.device->setByte(0x30 + 15, 6);
        // The file's own date must not be the older one.
        rig.main->Data.Geraet.IdentBlock[13] = 1;
        rig.main->Data.Geraet.IdentBlock[14] = 1;
        rig.main->Data.Geraet.IdentBlock[15] = 20;
        rig.prompter.Answers = {false, true};
        ASSERT_TRUE(rig.Transfer());
        EXPECT_TRUE(rig.ok) << rig.Messages();
        EXPECT_EQ(rig.prompter.Warnings.contains(GetText(138)), old) << rig.Messages();
    }
}

TEST(ParameterSender, VersionElevenGetsItsTwoNewParameters)
{
    SendRig rig;
    ASSERT_TRUE(rig.Setup(QStringLiteral("demo.202"), QStringLiteral("demo.202"), 0x00));
    TGeraet &g = rig.main->Data.Geraet;
    ASSERT_TRUE(g.ProgramId.contains(QLatin1String("Z202 PA004"))) << g.ProgramId.toStdString();
    ASSERT_GT(g.ProgramVersion, 10);
    g.ProgramVersion = 10;
    g.SetByte(0x877, 0);
    g.SetByte(0x883, 0x41);
    rig.prompter.Answers = {false, true}; // Vindel, changes; no version question
    ASSERT_TRUE(rig.Transfer());
    EXPECT_TRUE(rig.ok) << rig.Messages();
    ASSERT_EQ(rig.prompter.Infos.size(), 1);
    EXPECT_TRUE(rig.prompter.Infos.first().startsWith(QStringLiteral("Ab Version 11 sind 2 neue Parameter")));
    EXPECT_EQ(rig.prompter.Questions.size(), 2);
    EXPECT_EQ(g.GetByte(0x877), 10);
    EXPECT_EQ(g.GetByte(0x883), 0x61);
    EXPECT_EQ(rig.device->byteAt(quint32(rig.base + 0x877)), 10);
    EXPECT_EQ(rig.device->byteAt(quint32(rig.base + 0x883)), 0x61);
}

TEST(ParameterSender, VoltageChoiceChangesOnlyItsFactor)
{
    ScriptedPrompter prompter;
    MainController main(prompter);
    DeviceReader reader(main, nullptr);
    ParameterSender sender(main, reader);
    main.Data.State.MainsFactor = 80;
    main.Data.State.GenFactor = 138;
    EXPECT_TRUE(sender.ApplyVoltageChoice(true, 2));
    EXPECT_EQ(main.Data.State.MainsFactor, 138);
    EXPECT_EQ(main.Data.State.GenFactor, 138);
    EXPECT_FALSE(sender.ApplyVoltageChoice(false, 2)); // unchanged: no rebuild
    EXPECT_FALSE(sender.ApplyVoltageChoice(false, 0));
    EXPECT_TRUE(sender.ApplyVoltageChoice(false, 4));
    EXPECT_EQ(main.Data.State.GenFactor, 240);
    // Nothing loaded: the transfer says so and sends nothing.
    int finished = 0;
    QObject::connect(&sender, &ParameterSender::TransferFinished, [&](bool ok) {
        EXPECT_FALSE(ok);
        ++finished;
    });
    sender.SendParameterSet();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(prompter.Errors, QStringList{GetText(40)});
}

} // namespace
