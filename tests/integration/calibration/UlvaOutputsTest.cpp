// The output simulation of the ULVA module against the simulated module: what Enter writes,
// what it refuses, and the outputs handed back to normal operation when the window closes.
#include "../device/ChainRig.h"
#include "SimUlva.h"
#include "calibration/OutputSim.h"
#include "device/ParameterFile.h"
#include "shell/Texts.h"
#include <QLocale>
#include <gtest/gtest.h>

namespace {
struct OutputRig : ChainRig
{
    std::shared_ptr<SimUlva> ulva = std::make_shared<SimUlva>();
    std::unique_ptr<OutputSim> outputs;
    std::vector<SimRequest> writes;
    int sent = 0, released = 0;
    bool lastOk = false;

    bool Setup()
    {
        device = DeviceFromSample(QStringLiteral("demo.ULV"));
        if (!device)
            return false;
        SimUlva::attach(*device, ulva);
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            if (r.code == 4)
                writes.push_back(r);
            return false;
        });
        if (!Start() ||
            !LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.ULV"), prompter))
            return false;
        main->ParamsLoaded = main->Online = true;
        main->Settings.Retries = 0;
        // Channels 10 and 12 are outputs.
        for (int n : {10, 12})
            main->Data.Geraet.SetByte(main->Data.State.IndexOf(0x001F + n), 60);
        outputs = std::make_unique<OutputSim>(*main);
        QObject::connect(outputs.get(), &OutputSim::Sent, [this](int, quint16, bool ok) {
            ++sent;
            lastOk = ok;
        });
        QObject::connect(outputs.get(), &OutputSim::Released, [this](bool ok) {
            ++released;
            lastOk = ok;
        });
        return true;
    }
    int Word(int n) const
    {
        const quint32 a = quint32(OutputSim::OutputAddress(n));
        return (device->byteAt(a) << 8) | device->byteAt(a + 1);
    }
};
} // namespace

TEST(UlvaOutputs, EnterWritesTheCountsOrResetsTheEdit)
{
    const struct
    {
        const char *typed;
        int n;
        int counts; // -1: nothing written
        const char *edit;
        QString message;
    } rows[] = {
        {"2,5", 10, 1000, "2,5", QString()},
        {"10", 12, 4000, "10", QString()},
        {"0", 10, 0, "0", QString()},
        {"0,03125", 10, 12, "0,03125", QString()}, // 12.5 counts: the even neighbour
        {"0.09375", 12, 38, "0.09375", QString()}, // 37.5 counts
        {"12", 10, -1, "0", QString()},
        {"-0,1", 10, -1, "0", QString()},
        {"abc", 12, -1, "0", GetText(128)},
        {"", 12, -1, "0", GetText(128)},
        {"5", 3, -1, "5", QString()}, // an input channel takes no value
    };
    OutputRig rig;
    ASSERT_TRUE(rig.Setup());
    for (const auto &r : rows) {
        SCOPED_TRACE(r.typed);
        rig.prompter.Clear();
        const size_t before = rig.writes.size();
        const int sentBefore = rig.sent;
        QString edit = QString::fromUtf8(r.typed);
        const bool started = rig.outputs->Enter(r.n, edit, &edit);
        EXPECT_EQ(started, r.counts >= 0);
        EXPECT_EQ(edit, QString::fromUtf8(r.edit));
        EXPECT_EQ(rig.prompter.All(), r.message.isEmpty() ? QStringList() : QStringList{r.message});
        if (r.counts >= 0) {
            ASSERT_TRUE(rig.WaitUntil([&] { return rig.sent > sentBefore; }));
            EXPECT_TRUE(rig.lastOk);
            EXPECT_EQ(rig.Word(r.n), r.counts);
            EXPECT_TRUE(rig.ulva->outputSimulated(r.n));
        } else {
            EXPECT_EQ(rig.writes.size(), before);
        }
    }
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
}

TEST(UlvaOutputs, PresentValueAndClosingHandsTheOutputsBack)
{
    OutputRig rig;
    ASSERT_TRUE(rig.Setup());
    // The module's image ends below the output words: nothing to show but "?".
    EXPECT_EQ(rig.outputs->PresentText(10), QStringLiteral("?"));
    EXPECT_EQ(rig.outputs->PresentText(3), QStringLiteral("n.a."));
    rig.main->Data.State.PageCount = 3;
    rig.main->Data.Geraet.SetWord(rig.main->Data.State.IndexOf(OutputSim::OutputAddress(10)), 1234);
    EXPECT_EQ(rig.outputs->PresentText(10), QLocale().toString(3.085, 'g', 4));

    QString edit;
    ASSERT_TRUE(rig.outputs->Enter(10, QStringLiteral("1"), &edit));
    ASSERT_TRUE(rig.outputs->Enter(12, QStringLiteral("3"), &edit));
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.sent == 2; }));
    EXPECT_TRUE(rig.ulva->outputSimulated(10) && rig.ulva->outputSimulated(12));

    // A failed release is told and the output stays driven.
    rig.device->addFault({SimDevice::FaultKind::Silence, 1.0});
    rig.outputs->Release();
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.released == 1; }));
    EXPECT_FALSE(rig.lastOk);
    EXPECT_TRUE(rig.prompter.Warnings.contains(GetText(906)));
    EXPECT_TRUE(rig.ulva->outputSimulated(10));
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());

    rig.device->clearFaults();
    rig.outputs->Release();
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.released == 2; }));
    EXPECT_TRUE(rig.lastOk);
    EXPECT_FALSE(rig.ulva->outputSimulated(10));
    EXPECT_FALSE(rig.ulva->outputSimulated(12));
    EXPECT_EQ(rig.Word(10), OutputSim::ReleaseWord);
    EXPECT_FALSE(rig.outputs->Simulated(10));
}
