// "Parameter aus Gerät" against the simulated devices: in-process and over a pty.
#include "ChainRig.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/ParameterFile.h"
#include "shell/Texts.h"
#include "support/SimPty.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct DemoCase
{
    const char *file;
    int deviceType;
    int blockSize;
};

const DemoCase kDemos[] = {
    {"demo.202", 9, 64}, {"demo.101", 0, 64}, {"demo.STW", 34, 32},
    {"demo.VMX", 36, 4}, {"demo.NAE", 37, 32}, {"demo.ULV", 35, 32},
};

constexpr quint8 kOldFill = 0xA5; // what the image held before the read

int Word(const QByteArray &b, int i) { return quint8(b[i]) * 256 + quint8(b[i + 1]); }

// Checks the read image against the sample the device was loaded from.
void CheckReadImage(ChainRig &rig, const DemoCase &c)
{
    const QByteArray sample = ChainRig::Sample(QString::fromLatin1(c.file));
    ASSERT_FALSE(sample.isEmpty());
    DeviceData &d = rig.main->Data;
    const DeviceState &s = d.State;
    EXPECT_TRUE(rig.finishedOk);
    EXPECT_TRUE(rig.main->ParamsLoaded);
    EXPECT_TRUE(rig.main->Online);
    EXPECT_FALSE(rig.main->OfflineFile);
    EXPECT_FALSE(rig.main->LinkBusy);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_EQ(s.DeviceType, c.deviceType);
    EXPECT_EQ(rig.reader->BlockSize(), c.blockSize);
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();

    const int length = s.PageCount * 256;
    const int expectedBlocks = s.VmxMode ? 1 + int(std::count_if(DeviceReader::VmxOffsets().begin(),
                                                                  DeviceReader::VmxOffsets().end(),
                                                                  [&](int o) { return o < length; }))
                                         : length / c.blockSize;
    EXPECT_EQ(rig.reader->BlockCount(), expectedBlocks);
    ASSERT_EQ(rig.progress.size(), expectedBlocks);
    EXPECT_EQ(rig.progress.first(), GetText(67) + QString::number(s.ImageBase, 16).toUpper());
    EXPECT_GE(rig.progressHidden, 1);
    ASSERT_FALSE(rig.status0.isEmpty());
    EXPECT_EQ(rig.status0.last(), GetText(181) + QLatin1Char(' ') + d.Def.TypLines.value(0));

    // The device serves its identification at 0x0030..0x005F even where its image lies.
    auto inIdentWindow = [&](int index) {
        const int address = s.ImageBase + index;
        return address >= 0x30 && address < 0x60;
    };
    auto wasRead = [&](int index) {
        if (!s.VmxMode)
            return true;
        const int offset = index & ~3;
        return offset == 0 || DeviceReader::VmxOffsets().contains(offset);
    };
    int compared = 0;
    for (int i = 0; i < length && i < sample.size(); ++i) {
        const quint8 got = d.Geraet.Image[size_t(i)];
        if (!wasRead(i)) {
            ASSERT_EQ(got, kOldFill) << "a VMX keeps the bytes between its listed offsets; index " << i;
        } else if (inIdentWindow(i)) {
            EXPECT_EQ(got, d.Geraet.IdentBlock[size_t(s.ImageBase + i - 0x30)]) << "index " << i;
        } else {
            ASSERT_EQ(got, quint8(sample[i])) << c.file << " index " << i;
            ++compared;
        }
    }
    EXPECT_GT(compared, 0);

    if (IsControllerType(s.DeviceType)) {
        // Taken from the memory just read, not from what the image held at identification.
        const long long a = s.IndexOf(0x080A);
        EXPECT_EQ(s.AccessCode, QString::number(Word(sample, int(a))).rightJustified(5, QLatin1Char('0')));
        EXPECT_EQ(s.MainsFactor, quint8(sample[int(s.IndexOf(0x080C))]));
        EXPECT_EQ(s.GenFactor, quint8(sample[int(s.IndexOf(0x080D))]));
    }
    EXPECT_GE(s.AccessCode.size(), 4);

    // Saved, it is the sample again (outside the identification window).
    QTemporaryDir dir;
    QString written;
    ASSERT_TRUE(SaveParameterFile(d, dir.filePath(QStringLiteral("read")), rig.prompter, &written));
    QFile f(written);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray saved = f.readAll();
    ASSERT_EQ(saved.size(), sample.size());
    // Behind the pages the file holds the identification (the ZEV 071 - 083 keeps bytes
    // 16..30 of it at 256..270 and one byte of image that no read reaches).
    const int identEnd = s.DeviceType == 34 ? ParamFile::StwFileLength - 1 : int(saved.size());
    for (int i = 0; i < saved.size(); ++i)
        if ((i >= length && i < identEnd) || (i < length && !inIdentWindow(i) && wasRead(i)))
            ASSERT_EQ(quint8(saved[i]), quint8(sample[i])) << c.file << " file offset " << i;
}

class DeviceReaderDemo : public ::testing::TestWithParam<DemoCase>
{
};

TEST_P(DeviceReaderDemo, ReadsTheDemoDeviceThroughTheSimPort)
{
    const DemoCase c = GetParam();
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QString::fromLatin1(c.file));
    ASSERT_TRUE(rig.device);
    ASSERT_TRUE(rig.Start());
    rig.main->Data.Geraet.Image.fill(kOldFill);
    ASSERT_TRUE(rig.Read());
    CheckReadImage(rig, c);
}

TEST_P(DeviceReaderDemo, ReadsTheDemoDeviceOverAPseudoTerminal)
{
    const DemoCase c = GetParam();
    SimPty sim({QStringLiteral("--device"), QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + QString::fromLatin1(c.file),
                QStringLiteral("--baud"), QStringLiteral("9600")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    ChainRig rig;
    ASSERT_TRUE(rig.Start(sim.linkPath(), 200));
    rig.main->Data.Geraet.Image.fill(kOldFill);
    ASSERT_TRUE(rig.Read());
    CheckReadImage(rig, c);
}

INSTANTIATE_TEST_SUITE_P(Demos, DeviceReaderDemo, ::testing::ValuesIn(kDemos),
                         [](const ::testing::TestParamInfo<DemoCase> &info) {
                             return QString::fromLatin1(info.param.file).replace(QLatin1Char('.'), QLatin1Char('_')).toStdString();
                         });

TEST(DeviceReader, SecondIdentificationAnswersGiveTheProgramAndTheProtection)
{
    {
        ChainRig rig;
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.STW"));
        ASSERT_TRUE(rig.Start());
        ASSERT_TRUE(rig.Read());
        const QByteArray sample = ChainRig::Sample(QStringLiteral("demo.STW"));
        // Program number, version and date from device address 0x01A0 (image index 0xA0).
        EXPECT_EQ(rig.main->Data.Geraet.ProgramId, QString::number(quint8(sample[0xA0])).rightJustified(3, QLatin1Char('0')));
        EXPECT_EQ(rig.main->Data.Geraet.ProgramVersion, quint8(sample[0xA1]));
        EXPECT_TRUE(rig.main->Data.State.DefinitionFile.contains(QLatin1String("A70-")));
    }
    {
        ChainRig rig;
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.NAE"));
        ASSERT_TRUE(rig.Start());
        ASSERT_TRUE(rig.Read());
        const QByteArray sample = ChainRig::Sample(QStringLiteral("demo.NAE"));
        const int protection = quint8(sample[0x7E]);
        ASSERT_NE(protection & 0x03, 0) << "the sample should carry a voltage protection";
        EXPECT_TRUE(rig.main->Data.ProtectionText.startsWith(QLatin1String("U ")));
        EXPECT_EQ(rig.main->Data.ProtectionText.contains(QLatin1String("V ")), (protection & 0x20) != 0);
        EXPECT_EQ(rig.main->Data.State.MainsFactor, quint8(sample[0x7F]));
    }
}

TEST(DeviceReader, SecondIdentificationRequestUsesOwnAddress55AndTheSettingsSlave)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.STW"));
    std::vector<int> pcAddresses;
    rig.device->addRequestHook([&](SimDevice &, const SimRequest &r, SimAnswer &) {
        if (r.address == 0x01A0 && r.count == 8)
            pcAddresses.push_back(r.pcAddress);
        return false;
    });
    ASSERT_TRUE(rig.Start());
    rig.main->Init.OwnAddress = 0x21;
    ASSERT_TRUE(rig.Read());
    ASSERT_EQ(pcAddresses.size(), 1u);
    EXPECT_EQ(pcAddresses[0], 55);
}

TEST(DeviceReader, IdentificationIsRepeatedOnceThenTheSearchStarts)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    rig.device->setSlaveAddress(0x10); // answers none of the addresses the program uses
    ASSERT_TRUE(rig.Start());
    rig.main->Settings.Retries = 0; // the read's own single repetition
    int identRequests = 0;
    QObject::connect(rig.main.get(), &MainController::LogLine, [&](const QString &kind, const QString &) {
        if (kind == QLatin1String("DatenVKEnde") && rig.main->PendingAction == QLatin1String("SW1"))
            ++identRequests;
    });
    rig.reader->ReadFromDevice();
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.finished > 0; }));
    EXPECT_FALSE(rig.finishedOk);
    EXPECT_EQ(identRequests, 2);
    EXPECT_EQ(rig.reader->RetryCount(), 3);
    EXPECT_EQ(rig.prompter.Errors, QStringList{GetText(72)});
    // Each failed exchange was reported with its link text first.
    EXPECT_EQ(rig.prompter.Warnings.size(), 2);
    EXPECT_TRUE(rig.search->Running());
    EXPECT_EQ(rig.main->PendingAction, QStringLiteral("ProtokollSuchen"));
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.searchFinished > 0; }));
    EXPECT_FALSE(rig.searchFound);
    EXPECT_EQ(rig.main->Settings.Protocol, 5);
    EXPECT_EQ(rig.prompter.Infos.last(), GetText(71));
    EXPECT_FALSE(rig.main->ParamsLoaded);
    // No block was read: the only progress shown is the search's own.
    for (const QString &label : rig.progress)
        EXPECT_TRUE(label.startsWith(GetText(431))) << label.toStdString();
}

TEST(DeviceReader, OverAModemAFailedIdentificationStartsNoSearch)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    rig.device->setSlaveAddress(0x10);
    ASSERT_TRUE(rig.Start());
    rig.main->ModemOnline = true;
    ASSERT_TRUE(rig.Read());
    EXPECT_EQ(rig.prompter.Errors, QStringList{GetText(182)});
    EXPECT_EQ(rig.searchFinished, 0);
    EXPECT_FALSE(rig.search->Running());
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.main->LinkBusy);
}

TEST(DeviceReader, AFailedBlockIsNotRepeatedAndLeavesTheImageAsItWas)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    int badRequests = 0;
    rig.device->addRequestHook([&](SimDevice &, const SimRequest &r, SimAnswer &a) {
        if (r.code == 5 && r.address == 0x0C00) {
            ++badRequests;
            a.code = 0xF0;
            return true;
        }
        return false;
    });
    ASSERT_TRUE(rig.Start());
    rig.main->Data.Geraet.Image.fill(kOldFill);
    const auto before = rig.main->Data.Geraet.Image;
    ASSERT_TRUE(rig.Read());
    EXPECT_FALSE(rig.finishedOk);
    EXPECT_EQ(badRequests, 1);
    EXPECT_EQ(rig.reader->BlockCount(), (0x0C00 - 0x0800) / 64);
    EXPECT_TRUE(rig.main->Data.Geraet.Image == before) << "blocks that arrived before the failure stay out of the image";
    ASSERT_GE(rig.prompter.Warnings.size(), 2);
    EXPECT_EQ(rig.prompter.Warnings[0], TeleText(12));
    EXPECT_EQ(rig.prompter.Warnings[1], GetText(72));
    EXPECT_FALSE(rig.main->ParamsLoaded);
    EXPECT_FALSE(rig.main->Online);
    // The search that followed found the device again.
    EXPECT_EQ(rig.searchFinished, 1);
    EXPECT_TRUE(rig.searchFound);
}

TEST(DeviceReader, ABlockFailingOnTheLineIsRepeatedAsOftenAsSetThenTheReadFails)
{
    struct Case
    {
        int retries;
    } cases[] = {{0}, {1}, {3}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.retries);
        ChainRig rig;
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
        int blockRequests = 0, identRequests = 0;
        rig.device->addRequestHook([&](SimDevice &, const SimRequest &r, SimAnswer &a) {
            // The first identification fails, its repetition is answered; block 0C00 always fails.
            if (r.address == 0x0030 && r.count == 48) {
                if (++identRequests > 1)
                    return false;
            } else if (r.address == 0x0C00) {
                ++blockRequests;
            } else {
                return false;
            }
            a.code = 0x85; // an answer without data: the evaluation refuses it
            return true;
        });
        ASSERT_TRUE(rig.Start());
        rig.main->Settings.Retries = c.retries;
        QStringList repeats;
        QObject::connect(rig.main.get(), &MainController::ExchangeRepeated,
                         [&](const QString &t) { repeats << t; });
        rig.main->Data.Geraet.Image.fill(kOldFill);
        const auto before = rig.main->Data.Geraet.Image;
        rig.reader->ReadFromDevice();
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.finished > 0; }));
        EXPECT_FALSE(rig.finishedOk);
        EXPECT_EQ(identRequests, 2);
        EXPECT_EQ(blockRequests, c.retries + 1);
        EXPECT_TRUE(rig.main->Data.Geraet.Image == before);
        // Each repetition is logged; the user is warned once, when the chain fails.
        const QString evaluation = TeleText(15);
        QStringList expected;
        if (c.retries > 0)
            expected << GetText(450).arg(1).arg(c.retries).arg(evaluation);
        for (int k = 1; k <= c.retries; ++k)
            expected << GetText(450).arg(k).arg(c.retries).arg(evaluation);
        EXPECT_EQ(repeats, expected);
        const QStringList warnings = c.retries == 0 ? QStringList{evaluation, evaluation, GetText(72)}
                                                    : QStringList{evaluation, GetText(72)};
        EXPECT_EQ(rig.prompter.Warnings.mid(0, 3), warnings);
        ASSERT_TRUE(rig.WaitUntil([&] { return !rig.search->Running(); }));
    }
}

TEST(DeviceReader, OnANoisyLineRepetitionsCompleteEveryReadByteForByte)
{
    struct Case
    {
        int retries;
        bool allComplete;
    } cases[] = {{2, true}, {0, false}};
    const QByteArray sample = ChainRig::Sample(QStringLiteral("demo.202"));
    ASSERT_FALSE(sample.isEmpty());
    constexpr int kReads = 3;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.retries);
        ChainRig rig;
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
        ASSERT_TRUE(ChainRig::AddLineNoise(*rig.device));
        rig.device->setSeed(11);
        ASSERT_TRUE(rig.Start());
        rig.main->Settings.Retries = c.retries;
        int repeats = 0, completed = 0, wrongBytes = 0, touchedOnFailure = 0;
        QObject::connect(rig.main.get(), &MainController::ExchangeRepeated, [&](const QString &) { ++repeats; });
        for (int n = 0; n < kReads; ++n) {
            rig.main->Data.Geraet.Image.fill(kOldFill);
            const auto before = rig.main->Data.Geraet.Image;
            ASSERT_TRUE(rig.Read());
            if (!rig.finishedOk) {
                touchedOnFailure += rig.main->Data.Geraet.Image == before ? 0 : 1;
                continue;
            }
            ++completed;
            const int length = rig.main->Data.State.PageCount * 256; // the image starts at 0800
            for (int i = 0; i < length; ++i)
                wrongBytes += rig.main->Data.Geraet.Image[size_t(i)] == quint8(sample[i]) ? 0 : 1;
        }
        EXPECT_EQ(wrongBytes, 0);
        EXPECT_EQ(touchedOnFailure, 0);
        if (c.allComplete) {
            EXPECT_EQ(completed, kReads);
            EXPECT_GT(repeats, 0) << "the line was meant to be noisy";
        } else {
            EXPECT_LT(completed, kReads) << "without repetitions the noise must break reads";
            EXPECT_EQ(repeats, 0);
        }
    }
}

TEST(DeviceReader, AMissingDefinitionEndsTheReadBeforeAnyBlock)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    const char id[] = "Z202 NODEF";
    for (int i = 0; i < 10; ++i)
        rig.device->setByte(quint32(0x30 + i), quint8(id[i]));
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Read());
    EXPECT_FALSE(rig.finishedOk);
    EXPECT_FALSE(rig.prompter.All().isEmpty()) << "the definition reader says why";
    EXPECT_TRUE(rig.progress.isEmpty());
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.main->LinkBusy);
    EXPECT_FALSE(rig.main->ParamsLoaded);
    EXPECT_EQ(rig.searchFinished, 0);
}

TEST(DeviceReader, AFailedSecondIdentificationEndsWithTheLinkWarningOnly)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.NAE"));
    rig.device->addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
        if (r.address == 0x017E) {
            a.code = 0xF0;
            return true;
        }
        return false;
    });
    ASSERT_TRUE(rig.Start());
    ASSERT_TRUE(rig.Read());
    EXPECT_FALSE(rig.finishedOk);
    EXPECT_EQ(rig.prompter.Warnings, QStringList{TeleText(12)});
    EXPECT_TRUE(rig.prompter.Errors.isEmpty());
    EXPECT_TRUE(rig.progress.isEmpty());
    EXPECT_EQ(rig.searchFinished, 0);
    EXPECT_FALSE(rig.main->LinkBusy);
}

TEST(DeviceReader, BlockSizeRuleIsTestedInItsOrder)
{
    struct Case
    {
        int type;
        bool vmx;
        int size;
    } cases[] = {{35, false, 32}, {38, false, 16}, {38, true, 4}, {36, true, 4}, {9, false, 64},
                 {9, true, 64},   {52, false, 64}, {32, false, 32}, {55, false, 32}};
    for (const auto &c : cases)
        EXPECT_EQ(DeviceReader::BlockSizeFor(c.type, c.vmx), c.size) << c.type << " " << c.vmx;
}

TEST(DeviceReader, VmxAddressListHas88AscendingWordOffsets)
{
    const QVector<int> &list = DeviceReader::VmxOffsets();
    EXPECT_EQ(list.size(), 88);
    EXPECT_EQ(list.first(), 232);
    EXPECT_EQ(list.last(), 1140);
    for (int i = 1; i < list.size(); ++i) {
        EXPECT_LT(list[i - 1], list[i]);
        EXPECT_EQ(list[i] % 4, 0);
    }
    EXPECT_TRUE(list.contains(556));
    EXPECT_FALSE(list.contains(560));
    EXPECT_TRUE(list.contains(1024));
    EXPECT_FALSE(list.contains(1028));
}

} // namespace
