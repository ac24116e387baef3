// Online edits against the simulated 202: dialog answer, write, read-back, dependency
// telegrams, and what a refusal leaves behind.
#include "../device/ChainRig.h"
#include "params/EditSession.h"
#include "params/FormatValue.h"
#include "params/ParameterSender.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>

namespace {

// Answers every numeric dialog with one value and every yes/no dialog with one index.
struct AnswerDialogs : EditDialogs
{
    float Number = 0;
    int YesNo = 0;
    int Asked = 0;
    bool AskNumber(const NumberRequest &r, float &value) override
    {
        ++Asked;
        value = r.Clamp(Number);
        return true;
    }
    bool AskYesNo(const YesNoRequest &, int &index) override
    {
        ++Asked;
        index = YesNo;
        return true;
    }
};

struct EditRig : ChainRig
{
    std::unique_ptr<ParameterSender> sender;
    std::unique_ptr<TFormatter> formatter;
    AnswerDialogs dialogs;
    std::unique_ptr<EditSession> session;
    int ended = 0;
    std::vector<SimRequest> writes;

    bool Setup()
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device || !Start())
            return false;
        sender = std::make_unique<ParameterSender>(*main, *reader);
        sender->SetAckDelayMs(0);
        formatter = std::make_unique<TFormatter>(main->Data);
        session = std::make_unique<EditSession>(*main, sender.get(), *formatter, dialogs);
        QObject::connect(session.get(), &EditSession::EditEnded, [this] { ++ended; });
        device->addRequestHook([this](SimDevice &, const SimRequest &req, SimAnswer &) {
            if (req.code == 4 || req.code == 20)
                writes.push_back(req);
            return false;
        });
        if (!Read() || !finishedOk)
            return false;
        main->Access.Level = Level::Fer;
        main->Access.Identified = true;
        writes.clear();
        return true;
    }

    int IndexAt(const QString &address, int code) const
    {
        const TParameterListe &p = main->Data.Params;
        for (int i = 0; i < p.Count(); ++i)
            if (p.GetAddress(i).trimmed() == address && p.GetTypeCode(i) == code)
                return i;
        return -1;
    }
    int Byte(int address) const { return main->Data.Geraet.GetByte(main->Data.State.IndexOf(address)); }

    bool EditAndWait(int index)
    {
        const int before = ended;
        const EditResult r = session->Edit(index);
        if (r != EditResult::Sent)
            return false;
        return WaitUntil([&] { return ended > before; });
    }
};

TEST(EditSession, OnlineBitEditRunsItsDependencyChainAndEndsClean)
{
    EditRig rig;
    ASSERT_TRUE(rig.Setup()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
    // "Bereich -5..+5 V" (bit 2 of 09B3) excludes "0..10 V" (bit 3).
    const int index = rig.IndexAt(QStringLiteral("09B3"), 0x12);
    ASSERT_GE(index, 0);
    rig.device->setByte(0x09B3, 0x08);
    DeviceData &d = rig.main->Data;
    d.Geraet.SetByte(d.State.IndexOf(0x09B3), 0x08);
    rig.dialogs.YesNo = 0;
    ASSERT_TRUE(rig.EditAndWait(index)) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
    // The bit itself, then the dependent clearing of bit 3, each read back.
    ASSERT_EQ(rig.writes.size(), 2u);
    EXPECT_EQ(rig.writes[0].data, std::vector<quint8>{0x0C});
    EXPECT_EQ(rig.writes[1].data, std::vector<quint8>{0x04});
    EXPECT_EQ(rig.device->byteAt(0x09B3), 0x04);
    EXPECT_EQ(rig.Byte(0x09B3), 0x04);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.session->Busy());
    EXPECT_EQ(rig.session->Editor().State.EditStage, 0);
}

TEST(EditSession, RefusedWriteKeepsTheImageAndLeavesNothingPending)
{
    EditRig rig;
    ASSERT_TRUE(rig.Setup());
    const int index = rig.IndexAt(QStringLiteral("09B3"), 0x12);
    ASSERT_GE(index, 0);
    const int before = rig.Byte(0x09B3);
    rig.device->setRefusal(4, 0xF4);
    rig.device->setRefusal(20, 0xF4);
    rig.dialogs.YesNo = (before & 0x04) ? 1 : 0;
    ASSERT_TRUE(rig.EditAndWait(index));
    EXPECT_EQ(rig.prompter.Errors.value(0), GetText(42));
    EXPECT_EQ(rig.Byte(0x09B3), before);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.session->Busy());

    // The next edit goes through once the device takes writes again.
    rig.device->clearRefusals();
    rig.writes.clear();
    ASSERT_TRUE(rig.EditAndWait(index));
    EXPECT_FALSE(rig.writes.empty());
    EXPECT_EQ(bool(rig.Byte(0x09B3) & 0x04), rig.dialogs.YesNo == 0);
}

TEST(EditSession, DeviceThatStopsAnsweringEndsTheEditWithTimeOut)
{
    EditRig rig;
    ASSERT_TRUE(rig.Setup());
    const int index = rig.IndexAt(QStringLiteral("09B3"), 0x12);
    ASSERT_GE(index, 0);
    const auto imageBefore = rig.main->Data.Geraet.Image;
    rig.device->addFault({SimDevice::FaultKind::Silence, 1.0});
    ASSERT_TRUE(rig.EditAndWait(index));
    EXPECT_EQ(rig.main->Data.Geraet.Image, imageBefore);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.prompter.Errors.isEmpty());
}

} // namespace
