// The ULVA module's channel calibration and basic calibration against the simulated module:
// the computed words make the simulated channel read the reference values, and a refusal,
// a cancellation or a link failure leaves the module with its old words.
#include "../device/ChainRig.h"
#include "SimUlva.h"
#include "calibration/UlvaSession.h"
#include "calibration/UlvaWizard.h"
#include "device/ParameterFile.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <cmath>

namespace {

using Row = UlvaSession::Row;

struct UlvaRig : ChainRig
{
    std::shared_ptr<SimUlva> ulva = std::make_shared<SimUlva>();
    std::unique_ptr<UlvaSession> session;
    std::vector<SimRequest> writes;
    QList<QPair<int, bool>> written;

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
        if (!Start())
            return false;
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.ULV"), prompter))
            return false;
        main->ParamsLoaded = true;
        main->Online = true;
        main->Settings.Retries = 0;
        session = std::make_unique<UlvaSession>(*main);
        QObject::connect(session.get(), &UlvaSession::ChannelWritten,
                         [this](int c, bool ok) { written.append({c, ok}); });
        return true;
    }
    // The sensor kind of channel c, in the module and in the image alike.
    void SetKind(int c, int kind)
    {
        device->setByte(0x0020 + quint32(c), quint8(kind));
        main->Data.Geraet.SetByte(main->Data.State.IndexOf(0x0020 + c), kind);
    }
    static QString Hex(int raw) { return QStringLiteral("%1").arg(raw, 4, 16, QLatin1Char('0')).toUpper(); }
    // Applies the signal and captures it in the row once the live value shows it.
    bool CaptureAt(int c, double signal, Row row)
    {
        ulva->setSignal(c, signal);
        const QString want = Hex(ulva->raw(c));
        return WaitUntil([&] { return session->LiveText() == want; }, 5000) && session->Capture(row);
    }
    bool TransferAndWait(const UlvaSession::Typed &typed)
    {
        const int before = written.size();
        return session->Transfer(typed) && WaitUntil([&] { return written.size() > before; });
    }
    std::vector<quint8> Block(int c) const { return device->bytes(0x0130 + 8 * quint32(c), 8); }
    std::string Messages() const { return prompter.All().join(QLatin1Char('|')).toStdString(); }
};

} // namespace

TEST(UlvaChain, CalibratedChannelsReadTheReferenceValues)
{
    const double none = NAN;
    const struct
    {
        const char *what;
        int channel, kind;
        double offset, gain;     // converter model of the simulated channel
        double low, high, zero;  // signals applied for the three rows (none: row not used)
        const char *vLow, *vHigh; // typed references (Vari modes)
        const char *junction;
        std::vector<double> checks;
        double digit; // the display's resolution
    } rows[] = {
        {"pt100", 0, 3, 800, 12.5, 60, 20, 120, "", "", "0", {20, 37.5, 60, 95, 120}, 0.1},
        {"nicrni", 2, 7, 300, 9.75, 100, 300, 20, "", "", "0", {100, 180, 300}, 0.1},
        {"nicrlow", 6, 4, 400, 11, 80, 10, none, "", "", "3", {10, 45, 80}, 0.1},
        {"varipos 4..20 mA", 3, 21, 352, 53, 4, 20, none, "4", "20", "0", {4, 7.3, 12, 20}, 1},
        {"varipos x10", 4, 9, 150, 301.5, 0, 10, none, "0", "10", "0", {0, 2.5, 6.8, 10}, 0.1},
        {"varineg x10", 5, 15, 4096, -53, 0, -10, none, "0", "-10", "0", {0, -3.3, -10}, 0.1},
    };
    UlvaRig rig;
    ASSERT_TRUE(rig.Setup());
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        rig.SetKind(r.channel, r.kind);
        rig.ulva->setModel(r.channel, r.offset, r.gain);
        rig.session->SetChecked(r.channel, true);
        ASSERT_TRUE(rig.session->Next());
        ASSERT_EQ(rig.session->Channel(), r.channel);
        ASSERT_TRUE(rig.CaptureAt(r.channel, r.low, Row::Low));
        ASSERT_TRUE(rig.CaptureAt(r.channel, r.high, Row::High));
        if (!std::isnan(r.zero)) {
            ASSERT_TRUE(rig.CaptureAt(r.channel, r.zero, Row::Zero));
        }
        UlvaSession::Typed typed;
        typed.vLow = QString::fromUtf8(r.vLow);
        typed.vHigh = QString::fromUtf8(r.vHigh);
        typed.channelNumber = QString::fromUtf8(r.junction);
        ASSERT_TRUE(rig.session->TransferAllowed(typed));
        ASSERT_TRUE(rig.TransferAndWait(typed)) << rig.Messages();
        EXPECT_EQ(rig.written.last(), qMakePair(r.channel, true));
        // The module holds exactly the computed words.
        const auto words = rig.session->LastWords();
        const std::vector<quint8> block = rig.Block(r.channel);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ((block[size_t(2 * k)] << 8) | block[size_t(2 * k + 1)], words[size_t(k)]) << k;
        for (double signal : r.checks) {
            rig.ulva->setSignal(r.channel, signal);
            const auto shown = SimUlva::measured(*rig.device, r.channel, rig.ulva->raw(r.channel));
            ASSERT_TRUE(shown.has_value()) << signal;
            EXPECT_NEAR(*shown, signal, r.digit) << signal;
        }
        // No further channel checked: back to the list, nothing left on the line.
        EXPECT_FALSE(rig.session->Active());
        EXPECT_TRUE(rig.WaitUntil([&] { return rig.main->PendingAction.isEmpty(); }, 2000));
    }
    EXPECT_EQ(rig.session->Written().size(), 6);
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.Messages();
}

TEST(UlvaChain, RefusedInputWritesNothing)
{
    const struct
    {
        const char *what;
        double low, high;
        const char *vLow, *vHigh;
        QString message;
    } rows[] = {
        {"equal captures", 5, 5, "0", "10", GetText(117)},
        {"reversed captures", 8, 2, "0", "10", GetText(96) + QLatin1Char('\r') + GetText(63)},
        {"empty Vhigh", 2, 8, "0", "", GetText(128)},
        {"Vlow not a number", 2, 8, "x1", "10", GetText(128)},
        {"span of the wrong sign", 2, 8, "10", "0", GetText(96) + QLatin1Char('\r') + GetText(63)},
    };
    UlvaRig rig;
    ASSERT_TRUE(rig.Setup());
    const int c = 6; // kind 8: VariPos, factor 1
    const std::vector<quint8> before = rig.Block(c);
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        rig.prompter.Clear();
        rig.session->SetChecked(c, true);
        ASSERT_TRUE(rig.session->Next());
        ASSERT_TRUE(rig.CaptureAt(c, r.low, Row::Low));
        ASSERT_TRUE(rig.CaptureAt(c, r.high, Row::High));
        UlvaSession::Typed typed;
        typed.vLow = QString::fromUtf8(r.vLow);
        typed.vHigh = QString::fromUtf8(r.vHigh);
        EXPECT_FALSE(rig.session->Transfer(typed));
        EXPECT_EQ(rig.prompter.All(), QStringList{r.message});
        // Still on the channel's screen, the channel checked again for a second try.
        EXPECT_TRUE(rig.session->Active());
        EXPECT_TRUE(rig.session->Checked(c));
        EXPECT_FALSE(rig.session->Writing());
        EXPECT_TRUE(rig.session->Cancel() == false);
    }
    EXPECT_TRUE(rig.writes.empty());
    EXPECT_EQ(rig.Block(c), before);
}

TEST(UlvaChain, LinkFailureOrCancelLeavesTheOldWords)
{
    UlvaRig rig;
    ASSERT_TRUE(rig.Setup());
    const int c = 3;
    const std::vector<quint8> before = rig.Block(c);
    auto capture = [&] {
        rig.session->SetChecked(c, true);
        ASSERT_TRUE(rig.session->Next());
        ASSERT_TRUE(rig.CaptureAt(c, 4, Row::Low));
        ASSERT_TRUE(rig.CaptureAt(c, 20, Row::High));
    };
    UlvaSession::Typed typed;
    typed.vLow = QStringLiteral("4");
    typed.vHigh = QStringLiteral("20");

    // Cancelled after capturing: nothing goes out, the list comes back, then the window closes.
    capture();
    EXPECT_FALSE(rig.session->Cancel());
    EXPECT_FALSE(rig.session->Active());
    EXPECT_TRUE(rig.session->Cancel());
    EXPECT_TRUE(rig.writes.empty());

    // The module never answers the write: the channel is not counted, checked again, and
    // the module keeps its old words.
    capture();
    rig.device->addFault({SimDevice::FaultKind::Silence, 1.0});
    ASSERT_TRUE(rig.TransferAndWait(typed));
    EXPECT_EQ(rig.written.last(), qMakePair(c, false));
    EXPECT_TRUE(rig.session->Written().isEmpty());
    EXPECT_TRUE(rig.session->Checked(c));
    EXPECT_TRUE(rig.session->Active());
    EXPECT_EQ(rig.Block(c), before);
    EXPECT_FALSE(rig.prompter.Warnings.isEmpty());
    EXPECT_FALSE(rig.session->Writing());
    EXPECT_TRUE(rig.main->PendingAction.isEmpty() || rig.main->PendingAction == UlvaSession::LiveAction);

    // The line back: the same screen transfers the complete new set.
    rig.device->clearFaults();
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.session->LiveRunning() || rig.session->LiveText() != QLatin1String("?"); }, 3000));
    ASSERT_TRUE(rig.TransferAndWait(typed));
    EXPECT_EQ(rig.written.last(), qMakePair(c, true));
    EXPECT_EQ(rig.session->Written(), QList<int>{c});
    EXPECT_NE(rig.Block(c), before);
}

TEST(UlvaChain, WizardSwitchesTheModeOffBeforeClosing)
{
    UlvaRig rig;
    ASSERT_TRUE(rig.Setup());
    UlvaWizard wizard(*rig.main);
    int closes = 0;
    QObject::connect(&wizard, &UlvaWizard::CloseNow, [&] { ++closes; });
    auto output = [&] { return (rig.device->byteAt(0x0050) << 8) | rig.device->byteAt(0x0051); };

    wizard.Show();
    EXPECT_TRUE(wizard.CloseRequested()); // nothing switched on yet
    wizard.Start();
    ASSERT_TRUE(rig.WaitUntil([&] { return wizard.NextEnabled(); }));
    EXPECT_TRUE(SimUlva::basicMode(*rig.device));
    EXPECT_EQ(output(), 0);
    for (int page = 2; page <= 4; ++page) {
        wizard.Next();
        EXPECT_EQ(wizard.Page(), page);
        EXPECT_FALSE(wizard.NextEnabled());
        ASSERT_TRUE(rig.WaitUntil([&] { return page < 4 ? wizard.NextEnabled() : wizard.FinishEnabled(); }));
        EXPECT_EQ(output(), UlvaWizard::OutputWord(page));
    }
    EXPECT_EQ(UlvaWizard::OutputWord(2), 4000);
    EXPECT_EQ(UlvaWizard::OutputWord(3), 2000);

    // "Fertig": the window waits for the module to confirm the mode off.
    rig.device->addFault({SimDevice::FaultKind::Silence, 1.0});
    EXPECT_FALSE(wizard.CloseRequested());
    EXPECT_EQ(wizard.Step(), UlvaWizard::SwitchingOff);
    EXPECT_TRUE(wizard.BackIsAbort());
    ASSERT_TRUE(rig.WaitUntil([&] { return !wizard.Busy(); }));
    EXPECT_EQ(closes, 0);
    EXPECT_TRUE(SimUlva::basicMode(*rig.device));
    // "Abbruch" with the mode still on asks; No keeps the window.
    rig.prompter.Answers = {false};
    EXPECT_FALSE(wizard.BackOrAbort());
    EXPECT_EQ(rig.prompter.Questions, QStringList{GetText(904)});
    // "Fertig" again on a working line: closed only after the answer.
    rig.device->clearFaults();
    ASSERT_TRUE(wizard.FinishEnabled());
    EXPECT_FALSE(wizard.CloseRequested());
    ASSERT_TRUE(rig.WaitUntil([&] { return closes == 1; }));
    EXPECT_EQ(wizard.Step(), UlvaWizard::SwitchedOff);
    EXPECT_FALSE(SimUlva::basicMode(*rig.device));
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
}
