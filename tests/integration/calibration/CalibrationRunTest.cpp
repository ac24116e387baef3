// Calibration of the converter channels end to end against the simulated controllers: the
// words written make the simulated measurement right; refusals, cancels and link failures
// leave the old words or a complete new set.
#include "../device/ChainRig.h"
#include "SimConverter.h"
#include "calibration/CalibrationRun.h"
#include "device/ParameterFile.h"
#include "shell/Texts.h"
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace {

using Family = CalibrationRun::Family;

int DeviceWord(SimDevice &d, quint32 a)
{
    std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
    return int(d.byteAt(a)) << 8 | d.byteAt(a + 1);
}

std::vector<quint8> DeviceBytes(SimDevice &d, quint32 a, int n)
{
    std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
    return d.bytes(a, n);
}

struct CalibRig : ChainRig
{
    std::shared_ptr<SimConverter> conv;
    std::unique_ptr<CalibrationRun> run;
    std::atomic<int> writes{0};   // code 4 requests seen by the device
    std::atomic<int> reads{0};
    QStringList reports;
    // Runs ahead of the converters, which answer their reads themselves.
    std::function<bool(const SimRequest &, SimAnswer &)> before;

    void Watch()
    {
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &a) {
            if (r.code == 4 || r.code == 20)
                ++writes;
            if (r.code == 5)
                ++reads;
            return before && before(r, a);
        });
    }
    void SetBefore(std::function<bool(const SimRequest &, SimAnswer &)> hook)
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        before = std::move(hook);
    }

    // The demo 202 with the converters of a controller.
    bool Setup101(const QString &level)
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device)
            return false;
        conv = SimConverter::forController();
        SimConverter::Phases p;
        p.correctionAddress = 0x1850;
        // The second three inputs are the first three seen again.
        p.error = {0, 120, -80, 0, 120, -80};
        conv->setPhases(p);
        Watch();
        SimConverter::attach(*device, conv);
        if (!Start())
            return false;
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        return Begin(level, Family::Zev101);
    }

    bool Begin(const QString &level, Family family)
    {
        main->ParamsLoaded = true;
        main->Online = true;
        main->Access.Level = level;
        main->Access.Identified = true;
        run = std::make_unique<CalibrationRun>(*main, family);
        QObject::connect(run.get(), &CalibrationRun::Reported, [this](const QString &t) { reports << t; });
        return true;
    }

    int Channels(int kind) const { return kind == 2 || kind == 1 ? 1 : 3; }

    // The engineer applies the shown point's nominal signal to the item's channels.
    void ApplyPoint(double scale = 1.0)
    {
        const SetPointItem &it = run->Items()[run->Index()];
        const int nominal = DeviceWord(*device, quint32(run->Index() % 2 == 0 ? it.FirstNominal : it.SecondNominal));
        for (int k = 0; k < Channels(it.Kind); ++k)
            conv->setSignal(quint32(it.RawAddress + (run->GetFamily() == Family::Zev9x && it.Kind == 3 ? k : 2 * k)),
                            nominal * scale);
    }

    bool Press()
    {
        run->Ok();
        return WaitUntil([&] { return !run->Busy(); }, 20000);
    }

    // Every item with its nominal signals, confirming each; false when it does not end.
    bool RunThrough()
    {
        for (int guard = 0; guard < 60 && !run->Finished(); ++guard) {
            ApplyPoint();
            if (!Press())
                return false;
        }
        return run->Finished();
    }

    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

} // namespace

TEST(CalibrationRun, WholeTableMakesTheSimulatedMeasurementRight)
{
    CalibRig rig;
    ASSERT_TRUE(rig.Setup101(Level::Fac));
    for (int i = 0; i < 10; ++i)
        rig.prompter.Answers.push_back(true);
    // The current's words at 0x1818 cover the mains nominal words (0x1820, 0x1822) of the
    // demo set: each channel is judged by the nominal values it was calibrated against.
    std::map<quint32, std::pair<int, int>> nominals;
    for (const auto &entry : rig.conv->channels())
        nominals[entry.first] = {DeviceWord(*rig.device, entry.second.firstNominal),
                                 DeviceWord(*rig.device, entry.second.secondNominal)};
    ASSERT_TRUE(rig.run->Open()) << rig.Messages();
    ASSERT_EQ(rig.run->Items().size(), 10);
    ASSERT_TRUE(rig.RunThrough()) << rig.Messages();
    EXPECT_TRUE(rig.prompter.Errors.isEmpty() && rig.prompter.Warnings.isEmpty()) << rig.Messages();
    EXPECT_EQ(rig.run->WrittenItems(), (QVector<int>{1, 3, 5, 7, 9}));
    EXPECT_EQ(rig.reports.size(), 6) << rig.reports.join('|').toStdString(); // the cleared phases too

    // Each channel now measures what is applied, at the points and between them.
    for (const auto &entry : rig.conv->channels()) {
        const SimConverter::Channel &c = entry.second;
        const int n1 = nominals[c.rawAddress].first;
        const int n2 = nominals[c.rawAddress].second;
        for (double s : {double(n1), double(n2), (n1 + n2) / 2.0}) {
            if (c.words == SimConverter::Words::SecondOnly && s == n1)
                continue; // one point only: its line runs through zero
            rig.conv->setSignal(c.rawAddress, s);
            double measured = 0;
            std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
            ASSERT_TRUE(rig.conv->measuredWith(*rig.device, c.rawAddress, n1, n2, &measured));
            EXPECT_NEAR(measured, s, 1.0) << std::hex << c.rawAddress << std::dec << " at " << s;
        }
    }
    // The phase inputs show one angle once corrected.
    std::array<int, 6> angles{};
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        angles = rig.conv->phaseAngles(*rig.device);
    }
    for (int a : angles)
        EXPECT_EQ(a, angles[0]);
    // Only read-backs changed the image: it holds what the device holds.
    const int index = int(rig.main->Data.State.IndexOf(0x1800));
    const std::vector<quint8> words = DeviceBytes(*rig.device, 0x1800, 12);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(rig.main->Data.Geraet.Image[size_t(index + i)], words[size_t(i)]);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
}

TEST(CalibrationRun, RejectedMeasurementsWriteNothing)
{
    // scaleFirst/scaleSecond: the signals applied at the mains points, relative to nominal.
    const struct
    {
        const char *name;
        double scaleSecond;
        int message;
    } rows[] = {
        {"second point too close to the first", 22.0 * 1.5 / 9872.0, 117}, // difference below f7 = 2000
        {"second point beyond the maximum", 2.0, 116},                    // raw above 30000
        {"second point below the first", 0.0, 117},                       // a negative difference
    };
    for (const auto &r : rows) {
        CalibRig rig;
        ASSERT_TRUE(rig.Setup101(Level::Fac));
        rig.prompter.Answers = {true, true};
        const std::vector<quint8> before = DeviceBytes(*rig.device, 0x1800, 12);
        ASSERT_TRUE(rig.run->Open());
        rig.ApplyPoint();
        ASSERT_TRUE(rig.Press());
        ASSERT_EQ(rig.run->Index(), 1) << r.name << ": " << rig.Messages();
        rig.ApplyPoint(r.scaleSecond);
        const int writesBefore = rig.writes;
        ASSERT_TRUE(rig.Press());
        ASSERT_EQ(rig.prompter.Warnings.size(), 1) << r.name << ": " << rig.Messages();
        EXPECT_TRUE(rig.prompter.Warnings[0].startsWith(GetText(r.message))) << r.name << ": " << rig.Messages();
        EXPECT_TRUE(rig.prompter.Questions.isEmpty()) << r.name;
        EXPECT_EQ(rig.writes, writesBefore) << r.name;
        EXPECT_EQ(DeviceBytes(*rig.device, 0x1800, 12), before) << r.name;
        EXPECT_EQ(rig.run->Index(), 2) << r.name; // on to the next pair
    }
}

TEST(CalibrationRun, FailedWritePutsTheOldWordsBack)
{
    // The mains pair writes six pairs of bytes at 0x1800; the third goes wrong.
    enum class Fault { Refused, LostReadBack, RefusedAndNoRestore };
    const struct
    {
        const char *name;
        Fault fault;
        int reason;   // the failure's own text
        int outcome;  // what the device holds now
        bool restored;
    } rows[] = {
        {"refused by the device", Fault::Refused, 42, 854, true},
        {"read-back lost on the line", Fault::LostReadBack, 41, 854, true},
        {"refused, and the old words refused too", Fault::RefusedAndNoRestore, 42, 855, false},
    };
    for (const auto &r : rows) {
        CalibRig rig;
        ASSERT_TRUE(rig.Setup101(Level::Fac));
        rig.main->Settings.Retries = 0;
        std::atomic<int> codeFour{0};
        std::atomic<bool> shortNextRead{false};
        const Fault fault = r.fault;
        rig.SetBefore([&, fault](const SimRequest &q, SimAnswer &a) {
            if (q.code == 5 && shortNextRead.exchange(false)) {
                a.data.clear(); // an answer without data: unusable
                return true;
            }
            if (q.code != 4 && q.code != 20)
                return false;
            const int n = ++codeFour;
            if (n == 3 && fault == Fault::LostReadBack) {
                shortNextRead = true;
                return false;
            }
            if (n == 3 || (n > 3 && fault == Fault::RefusedAndNoRestore)) {
                a.code = 0xF4;
                return true;
            }
            return false;
        });
        rig.prompter.Answers = {true};
        const std::vector<quint8> before = DeviceBytes(*rig.device, 0x1800, 12);
        ASSERT_TRUE(rig.run->Open());
        rig.ApplyPoint();
        ASSERT_TRUE(rig.Press());
        rig.ApplyPoint();
        ASSERT_TRUE(rig.Press());
        const QString prompt = rig.run->Items()[1].Prompt;
        ASSERT_FALSE(rig.prompter.Errors.isEmpty()) << r.name;
        const QString last = rig.prompter.Errors.last();
        EXPECT_TRUE(last.startsWith(GetText(r.reason) + QLatin1Char('\r') + GetText(63))) << r.name << ": " << rig.Messages();
        EXPECT_TRUE(last.endsWith(GetText(r.outcome).arg(prompt))) << r.name << ": " << rig.Messages();
        const std::vector<quint8> after = DeviceBytes(*rig.device, 0x1800, 12);
        EXPECT_EQ(after == before, r.restored) << r.name;
        if (!r.restored) // the first two pairs are new, the rest old: the user was told
            EXPECT_EQ(std::vector<quint8>(after.begin() + 4, after.end()),
                      std::vector<quint8>(before.begin() + 4, before.end()));
        EXPECT_TRUE(rig.run->WrittenItems().isEmpty()) << r.name;
        EXPECT_EQ(rig.reports.size(), 1) << r.name;
        EXPECT_EQ(rig.run->Index(), 2) << r.name;
        EXPECT_TRUE(rig.main->PendingAction.isEmpty()) << r.name;
    }
}

TEST(CalibrationRun, CancelDuringTheWriteRestoresTheOldWords)
{
    CalibRig rig;
    ASSERT_TRUE(rig.Setup101(Level::Fac));
    CalibrationRun *run = nullptr;
    rig.SetBefore([&](const SimRequest &q, SimAnswer &) {
        if ((q.code == 4 || q.code == 20) && run) {
            // The user presses "Abbruch" while the first pair is on the line.
            QMetaObject::invokeMethod(run, [run] { run->Cancel(); }, Qt::QueuedConnection);
            run = nullptr;
        }
        return false;
    });
    rig.prompter.Answers = {true};
    const std::vector<quint8> before = DeviceBytes(*rig.device, 0x1800, 12);
    ASSERT_TRUE(rig.run->Open());
    rig.ApplyPoint();
    ASSERT_TRUE(rig.Press());
    rig.ApplyPoint();
    run = rig.run.get();
    ASSERT_TRUE(rig.Press());
    EXPECT_EQ(DeviceBytes(*rig.device, 0x1800, 12), before);
    EXPECT_TRUE(rig.prompter.Errors.isEmpty()) << rig.Messages();
    ASSERT_EQ(rig.prompter.Infos.size(), 1) << rig.Messages();
    EXPECT_EQ(rig.prompter.Infos[0], GetText(854).arg(rig.run->Items()[1].Prompt));
    EXPECT_EQ(rig.run->Index(), 2);
}

TEST(CalibrationRun, FailedReadIsNeverAveragedIn)
{
    CalibRig rig;
    ASSERT_TRUE(rig.Setup101(Level::Fac));
    rig.main->Settings.Retries = 0;
    std::atomic<int> converterReads{0};
    rig.SetBefore([&](const SimRequest &q, SimAnswer &a) {
        if (q.code == 5 && q.address == 0x2260 && ++converterReads == 2) {
            a.data.clear();
            return true;
        }
        return false;
    });
    ASSERT_TRUE(rig.run->Open());
    rig.ApplyPoint();
    ASSERT_TRUE(rig.Press());
    EXPECT_EQ(converterReads, 2); // the third read is not even sent
    ASSERT_EQ(rig.prompter.Warnings.size(), 2) << rig.Messages(); // the line's and the item's
    EXPECT_EQ(rig.prompter.Warnings.last(), GetText(41) + QLatin1Char('\r') + GetText(63));
    EXPECT_TRUE(rig.run->FirstPoint().isEmpty());
    EXPECT_EQ(rig.run->Index(), 2);
}

TEST(CalibrationRun, CustomerLevelWritesToTheFirstPointsAddressAndStopsAtPhases)
{
    CalibRig rig;
    ASSERT_TRUE(rig.Setup101(Level::Cus));
    // A table whose second points name another address: the customer's words go to the first's.
    QStringList &lines = rig.main->Data.Def.DefinitionLines;
    const int start = lines.indexOf(QStringLiteral("SPWStart:"));
    ASSERT_GE(start, 0);
    lines[start + 2].replace(QStringLiteral("2260;6;1800;"), QStringLiteral("2260;6;1900;"));
    rig.prompter.Answers = {true, true, true, true};
    const std::vector<quint8> elsewhere = DeviceBytes(*rig.device, 0x1900, 12);
    ASSERT_TRUE(rig.run->Open());
    ASSERT_TRUE(rig.RunThrough()) << rig.Messages();
    // Items 0..7 are calibrated; the phase item closes the dialog for this level.
    EXPECT_EQ(rig.run->WrittenItems(), (QVector<int>{1, 3, 5, 7}));
    EXPECT_EQ(rig.run->Index(), 8);
    EXPECT_NE(DeviceWord(*rig.device, 0x1802), 16250); // the demo's old difference word
    EXPECT_EQ(DeviceBytes(*rig.device, 0x1900, 12), elsewhere);
}

TEST(CalibrationRun, OneChannelPairMeasuresOnlyItsSecondPoint)
{
    CalibRig rig;
    ASSERT_TRUE(rig.Setup101(Level::Fac));
    rig.main->Data.Def.DefinitionLines = {QStringLiteral("SPWStart:"),
                                          QStringLiteral("Batterie 1*22A0;2;1840;1844;1846;100;900;500"),
                                          QStringLiteral("Batterie 2*22A0;2;1840;1844;1846;100;900;500"),
                                          QStringLiteral("SPWEnd:")};
    rig.prompter.Answers = {true};
    ASSERT_TRUE(rig.run->Open());
    EXPECT_EQ(rig.run->Index(), 1); // straight to the second point
    EXPECT_EQ(rig.run->Instruction(), QStringLiteral("Batterie 2"));
    rig.conv->setSignal(0x22A0, 850.0 / 13.0); // raw 850
    const int readsBefore = rig.reads;
    ASSERT_TRUE(rig.Press());
    ASSERT_TRUE(rig.run->Finished()) << rig.Messages();
    EXPECT_EQ(DeviceWord(*rig.device, 0x1840), 850);
    EXPECT_EQ(rig.reads - readsBefore, 3 + 1 + 1); // averaged point, old word, read-back
    ASSERT_EQ(rig.prompter.Questions.size(), 1);
    EXPECT_EQ(rig.prompter.Questions[0], GetText(80) + QStringLiteral("\r1 = 850"));
}

TEST(CalibrationRun, AttemptsAtThePhasesEndWithSimulationCheck)
{
    CalibRig rig;
    ASSERT_TRUE(rig.Setup101(Level::Fac));
    SimConverter::Phases p;
    p.correctionAddress = 0x1850;
    p.error = {0, 900, 0, 0, 900, 0}; // spread above 500: measured again and again
    rig.conv->setPhases(p);
    rig.prompter.Answers = {true};
    ASSERT_TRUE(rig.run->Open());
    rig.run->Cancel(); // skip to the phase pair: mains, generator, current, battery
    rig.run->Cancel();
    rig.run->Cancel();
    rig.run->Cancel();
    ASSERT_EQ(rig.run->Index(), 8);
    ASSERT_TRUE(rig.Press()); // corrections cleared
    ASSERT_EQ(rig.run->Index(), 9);
    const int readsBefore = rig.reads;
    ASSERT_TRUE(rig.Press());
    ASSERT_EQ(rig.prompter.Errors, QStringList{GetText(54)}) << rig.Messages();
    EXPECT_EQ(rig.reads - readsBefore, 2 * (Calib::AttemptLimit - 1) + 1); // angles + period each, then the last angles
    EXPECT_TRUE(rig.run->Finished());
}
