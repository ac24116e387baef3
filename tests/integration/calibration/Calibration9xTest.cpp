// The 9x controllers' calibration against a simulated controller of type 32 built here (no
// 9x set comes with the program): byte channels, three words, phase angles.
#include "../device/ChainRig.h"
#include "SimConverter.h"
#include "calibration/CalibrationRun.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

using Family = CalibrationRun::Family;
using Words = SimConverter::Words;

const QStringList kTable = {
    QStringLiteral("SPWStart:"),
    QStringLiteral("Kanal A Punkt 1*0200;1;0100;0120;0122;30;250;100"),
    QStringLiteral("Kanal A Punkt 2*0200;1;0100;0120;0122;30;250;100"),
    QStringLiteral("Kanäle B Punkt 1*0210;3;0104;0124;0126;30;250;100"),
    QStringLiteral("Kanäle B Punkt 2*0210;3;0104;0124;0126;30;250;100"),
    QStringLiteral("Spannung Punkt 1*0220;6;0110;0128;012A;200;30000;2000"),
    QStringLiteral("Spannung Punkt 2*0220;6;0110;0128;012A;200;30000;2000"),
    QStringLiteral("Phasen: symmetrisch anlegen*0240;12;0160;0120;0122;0;0;0"),
    QStringLiteral("Phasen: Messung*0240;12;0160;0120;0122;0;0;0"),
    QStringLiteral("SPWEnd:"),
};

struct Rig9x : ChainRig
{
    std::shared_ptr<SimConverter> conv = std::make_shared<SimConverter>();
    std::unique_ptr<CalibrationRun> run;
    std::atomic<int> reads{0};
    // Runs ahead of the converters, which answer their reads themselves.
    std::function<bool(const SimRequest &, SimAnswer &)> before;
    void SetBefore(std::function<bool(const SimRequest &, SimAnswer &)> hook)
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        before = std::move(hook);
    }

    void Channel(quint32 raw, int width, double offset, double gain, Words words, quint32 at, quint32 n1)
    {
        SimConverter::Channel c;
        c.rawAddress = raw;
        c.width = width;
        c.offset = offset;
        c.gain = gain;
        c.words = words;
        c.wordsAddress = at;
        c.firstNominal = n1;
        c.secondNominal = n1 + 2;
        conv->addChannel(c);
    }

    bool Setup(double offsetA = 0)
    {
        device = std::make_shared<SimDevice>();
        device->setDemoIdentification();
        const std::pair<quint32, int> nominals[] = {{0x120, 20}, {0x122, 100}, {0x124, 20}, {0x126, 100},
                                                    {0x128, 1000}, {0x12A, 4000}};
        for (const auto &n : nominals) {
            device->setByte(n.first, quint8(n.second >> 8));
            device->setByte(n.first + 1, quint8(n.second));
        }
        Channel(0x200, 1, offsetA, 2.0, Words::BytePair, 0x100, 0x120);
        for (int k = 0; k < 3; ++k)
            Channel(0x210 + quint32(k), 1, 3 * k, 2.0 - 0.2 * k, Words::BytePair, 0x104 + quint32(2 * k), 0x124);
        for (int k = 0; k < 3; ++k)
            Channel(0x220 + quint32(2 * k), 2, 400 + 9 * k, 5.4 + 0.1 * k, Words::FirstAndDifference,
                    0x110 + quint32(4 * k), 0x128);
        SimConverter::Phases p;
        p.rawAddress = 0x240;
        p.periodAddress = 0x250;
        p.correctionAddress = 0x160;
        p.error = {0, 50, -30, 10, 0, 20};
        conv->setPhases(p);
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &a) {
            if (r.code == 5)
                ++reads;
            return before && before(r, a);
        });
        SimConverter::attach(*device, conv);
        if (!Start())
            return false;
        DeviceData &d = main->Data;
        d.State.DeviceType = 32;
        d.State.ImageBase = 0;
        d.Def.DefinitionLines = kTable;
        for (const auto &n : nominals)
            d.Geraet.SetWord(n.first, n.second);
        main->Online = main->ParamsLoaded = true;
        main->Access.Level = Level::Fac;
        main->Access.Identified = true;
        run = std::make_unique<CalibrationRun>(*main, Family::Zev9x);
        return true;
    }
    int Word(quint32 a)
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return int(device->byteAt(a)) << 8 | device->byteAt(a + 1);
    }
    std::vector<quint8> Bytes(quint32 a, int n)
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return device->bytes(a, n);
    }
    void ApplyPoint()
    {
        const SetPointItem &it = run->Items()[run->Index()];
        const bool first = run->Index() % 2 == 0;
        for (const auto &entry : conv->channels()) {
            const SimConverter::Channel &c = entry.second;
            if (c.rawAddress >= quint32(it.RawAddress) && c.rawAddress < quint32(it.RawAddress) + 6)
                conv->setSignal(c.rawAddress, Word(first ? c.firstNominal : c.secondNominal));
        }
    }
    bool Press()
    {
        run->Ok();
        return WaitUntil([&] { return !run->Busy(); }, 20000);
    }
    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

} // namespace

TEST(Calibration9x, WholeTableMakesTheSimulatedMeasurementRight)
{
    Rig9x rig;
    ASSERT_TRUE(rig.Setup());
    rig.prompter.Answers = {true, true, true, true};
    ASSERT_TRUE(rig.run->Open()) << rig.Messages();
    EXPECT_EQ(rig.run->Caption(), QStringLiteral("Abgleich ZEV 9x"));
    EXPECT_EQ(rig.run->Instruction(), QStringLiteral("20 Kanal A Punkt 1"));
    for (int guard = 0; guard < 30 && !rig.run->Finished(); ++guard) {
        rig.ApplyPoint();
        ASSERT_TRUE(rig.Press());
        if (rig.run->Index() == 1)
            EXPECT_EQ(rig.run->Instruction(), QStringLiteral("100 Kanal A Punkt 2")); // the word at f4
    }
    ASSERT_TRUE(rig.run->Finished());
    EXPECT_TRUE(rig.prompter.Errors.isEmpty() && rig.prompter.Warnings.isEmpty()) << rig.Messages();
    EXPECT_EQ(rig.run->WrittenItems(), (QVector<int>{1, 3, 5, 7}));
    // Kind 1: readings 40 and 200 are written as the two bytes.
    EXPECT_EQ(rig.Bytes(0x100, 2), (std::vector<quint8>{40, 200}));
    for (const auto &entry : rig.conv->channels()) {
        const SimConverter::Channel &c = entry.second;
        for (int s : {rig.Word(c.firstNominal), rig.Word(c.secondNominal), 60}) {
            rig.conv->setSignal(c.rawAddress, s);
            double measured = 0;
            std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
            ASSERT_TRUE(rig.conv->measured(*rig.device, c.rawAddress, &measured));
            // Byte channels resolve about one raw step per nominal unit.
            EXPECT_NEAR(measured, s, 1.0) << std::hex << c.rawAddress;
        }
    }
    std::array<int, 6> angles{};
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        angles = rig.conv->phaseAngles(*rig.device);
    }
    for (int a : angles)
        EXPECT_EQ(a, angles[0]);
}

TEST(Calibration9x, PointsOutsideTheRules)
{
    const struct
    {
        const char *name;
        double offsetA;          // channel A's converter offset
        int firstWarning;        // warning after the first point, 0: none
        int secondWarning;       // warning after the second point, 0: none
        std::vector<quint8> words; // at 0x0100 afterwards
    } rows[] = {
        // Offset -16: raw 24 < min 30 at the first point, 184 at the second.
        {"first point below min only warns", -16, 115, 0, {24, 184}},
        // Offset 60: raw 260 > max 250 at the second point.
        {"second point above max", 60, 0, 116, {0, 0}},
    };
    for (const auto &r : rows) {
        Rig9x rig;
        ASSERT_TRUE(rig.Setup(r.offsetA));
        rig.prompter.Answers = {true};
        ASSERT_TRUE(rig.run->Open());
        rig.ApplyPoint();
        ASSERT_TRUE(rig.Press());
        EXPECT_EQ(rig.prompter.Warnings.size(), r.firstWarning ? 1 : 0) << r.name;
        if (r.firstWarning)
            EXPECT_EQ(rig.prompter.Warnings.value(0), GetText(r.firstWarning)) << r.name;
        ASSERT_EQ(rig.run->Index(), 1) << r.name;
        rig.ApplyPoint();
        const int before = rig.reads;
        ASSERT_TRUE(rig.Press());
        EXPECT_GE(rig.reads - before, 1) << r.name; // the second point is measured
        if (r.secondWarning)
            EXPECT_EQ(rig.prompter.Warnings.value(0), GetText(r.secondWarning)) << r.name << rig.Messages();
        EXPECT_EQ(rig.Bytes(0x100, 2), r.words) << r.name;
        EXPECT_EQ(rig.run->Index(), 2) << r.name;
    }
}

TEST(Calibration9x, OneChannelRisingTooLittleWritesNothing)
{
    Rig9x rig;
    ASSERT_TRUE(rig.Setup());
    rig.conv->channel(0x212)->gain = 1.2; // 24 -> 120: rises by 96 < 100
    ASSERT_TRUE(rig.run->Open());
    rig.run->Cancel();
    ASSERT_EQ(rig.run->Index(), 2);
    rig.ApplyPoint();
    ASSERT_TRUE(rig.Press());
    rig.ApplyPoint();
    ASSERT_TRUE(rig.Press());
    EXPECT_EQ(rig.prompter.Warnings, QStringList{GetText(117)}) << rig.Messages();
    EXPECT_TRUE(rig.prompter.Questions.isEmpty());
    EXPECT_EQ(rig.Bytes(0x104, 6), std::vector<quint8>(6, 0));
}

TEST(Calibration9x, UnusablePhaseReadingsEndWithSimulationCheck)
{
    Rig9x rig;
    ASSERT_TRUE(rig.Setup());
    SimConverter::Phases p;
    p.rawAddress = 0x240;
    p.periodAddress = 0x250;
    p.correctionAddress = 0x160;
    p.base = 40001;
    rig.conv->setPhases(p);
    ASSERT_TRUE(rig.run->Open());
    for (int i = 0; i < 3; ++i)
        rig.run->Cancel();
    ASSERT_EQ(rig.run->Index(), 6);
    EXPECT_EQ(rig.run->Title(), GetText(131));
    ASSERT_TRUE(rig.Press()); // corrections cleared
    const int before = rig.reads;
    ASSERT_TRUE(rig.Press());
    EXPECT_EQ(rig.prompter.Errors, QStringList{GetText(54)}) << rig.Messages();
    EXPECT_EQ(rig.reads - before, Calib::AttemptLimit);
    EXPECT_TRUE(rig.run->Finished());
}

TEST(Calibration9x, LinkLostAtTheSecondPointClosesTheDialog)
{
    Rig9x rig;
    ASSERT_TRUE(rig.Setup());
    rig.main->Settings.Retries = 0;
    ASSERT_TRUE(rig.run->Open());
    rig.ApplyPoint();
    ASSERT_TRUE(rig.Press());
    rig.SetBefore([](const SimRequest &r, SimAnswer &a) {
        if (r.code != 5)
            return false;
        a.data.clear();
        return true;
    });
    int closed = 0;
    QObject::connect(rig.run.get(), &CalibrationRun::Closed, [&] { ++closed; });
    ASSERT_TRUE(rig.Press());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(rig.prompter.Errors.value(0), GetText(41) + QLatin1Char('\r') + GetText(63)) << rig.Messages();
    EXPECT_EQ(rig.Bytes(0x100, 2), (std::vector<quint8>{0, 0}));
}
