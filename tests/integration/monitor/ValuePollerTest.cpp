// The live actual-value page against the simulated device: polling, page switches, failed
// polls and the remote acknowledge.
#include "../device/ChainRig.h"
#include "monitor/ValuePoller.h"
#include "params/FormatValue.h"
#include "services/AccessLevels.h"
#include "shell/Texts.h"
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>

namespace {

constexpr quint32 kAnaAddress = 0x2100; // "IstAna" of the 202 demo, 96 bytes
constexpr quint32 kAlaAddress = 0x21A0; // "IstAla", 8 bytes

struct PollRig
{
    ChainRig rig;
    std::unique_ptr<TFormatter> fmt;
    std::unique_ptr<ValuePoller> poller;
    std::atomic<int> anaReads{0};
    std::atomic<int> acks{0};
    int built = 0;

    bool Start()
    {
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
        if (!rig.device)
            return false;
        rig.device->setByte(0x09C7, 0x20); // the device offers the remote acknowledge
        rig.device->setByte(kAlaAddress, 0x03); // free alarms 1 and 2 pending
        // Values that move: the first voltage grows by one at every read of the page.
        rig.device->addRequestHook([this](SimDevice &dev, const SimRequest &req, SimAnswer &answer) {
            if (req.code == 5 && req.address == kAnaAddress) {
                const int v = dev.byteAt(kAnaAddress) * 256 + dev.byteAt(kAnaAddress + 1) + 1;
                dev.setByte(kAnaAddress, quint8(v >> 8));
                dev.setByte(kAnaAddress + 1, quint8(v));
                ++anaReads;
            }
            if (req.code == 24) {
                ++acks;
                dev.setByte(kAlaAddress, 0x00);
                answer.code = 24 + 0x80;
                return true;
            }
            return false;
        });
        if (!rig.Start() || !rig.Read() || !rig.finishedOk)
            return false;
        rig.main->Settings.Retries = 0; // every failed poll counts at once
        fmt = std::make_unique<TFormatter>(rig.main->Data);
        poller = std::make_unique<ValuePoller>(*rig.main, *fmt, rig.search.get());
        poller->SetInterval(30);
        QObject::connect(poller.get(), &ValuePoller::PageBuilt, [this] { ++built; });
        return true;
    }
    bool WaitBuilt(int count) { return rig.WaitUntil([&] { return built >= count; }, 20000); }
    QString Cell(int row, int column) const { return poller->Page().Cells.value(row).value(column); }
};

TEST(ValuePoller, PagePollsAndShowsMovingValues)
{
    PollRig p;
    ASSERT_TRUE(p.Start());
    p.poller->ChoosePage(QStringLiteral("IstAna"));
    EXPECT_EQ(p.poller->Definition().Address, kAnaAddress);
    EXPECT_EQ(p.poller->Definition().Count, 96);
    ASSERT_TRUE(p.WaitBuilt(1));
    const QString first = p.Cell(1, 0);
    ASSERT_TRUE(p.WaitBuilt(3));
    EXPECT_NE(p.Cell(1, 0), first);
    EXPECT_EQ(p.Cell(1, 2), QStringLiteral("Netzspannung L1-N"));
    EXPECT_TRUE(p.poller->ValuesValid());
    EXPECT_TRUE(p.poller->PageActive());
    EXPECT_FALSE(p.poller->Stale());
    EXPECT_FALSE(p.rig.main->LinkBusy);
    EXPECT_TRUE(p.rig.prompter.Errors.isEmpty()) << p.rig.prompter.Errors.join('|').toStdString();

    // Polling pauses while a chain holds the link or printing holds the page, and goes on.
    const std::pair<std::function<void()>, std::function<void()>> holds[] = {
        {[&] { p.rig.main->LinkBusy = true; }, [&] { p.rig.main->LinkBusy = false; }},
        {[&] { p.poller->Pause(); }, [&] { p.poller->Resume(); }},
    };
    for (const auto &hold : holds) {
        hold.first();
        const int reads = p.anaReads;
        QTest::qWait(150);
        EXPECT_LE(p.anaReads - reads, 1);
        hold.second();
        EXPECT_TRUE(p.rig.WaitUntil([&] { return p.anaReads > reads + 1; }, 5000));
    }
    EXPECT_TRUE(p.poller->PrintLines().value(1).endsWith(QLatin1String("-Netzspannung L1-N")));

    p.poller->CloseValues();
    EXPECT_FALSE(p.poller->PageActive());
    EXPECT_TRUE(p.poller->Page().Cells.isEmpty());
    const int after = p.anaReads;
    QTest::qWait(150);
    EXPECT_EQ(p.anaReads, after);
}

TEST(ValuePoller, PageChosenDuringARequestSwitchesAfterTheAnswer)
{
    PollRig p;
    ASSERT_TRUE(p.Start());
    p.poller->ChoosePage(QStringLiteral("IstAna"));
    ASSERT_TRUE(p.poller->InFlight());
    p.poller->ChoosePage(QStringLiteral("IstEin"));
    EXPECT_EQ(p.poller->ShownPage(), QStringLiteral("IstAna"));
    EXPECT_EQ(p.poller->PendingPage(), QStringLiteral("IstEin"));
    ASSERT_TRUE(p.rig.WaitUntil([&] { return p.poller->ShownPage() == QLatin1String("IstEin") && p.built >= 2; }, 3000))
        << p.poller->ShownPage().toStdString() << " built " << p.built << " pending "
        << p.poller->PendingPage().toStdString() << " inflight " << p.poller->InFlight() << " timer "
        << p.poller->TimerActive() << " " << p.rig.prompter.Errors.join('|').toStdString();
    EXPECT_EQ(p.poller->Page().Columns, 2);
    EXPECT_EQ(p.poller->Page().Cells.size(), p.rig.main->Data.Values.Count());

    // Switched directly while the other page's answer is on its way: that answer (4 bytes)
    // is never taken for this page's 96, so the page neither greys nor shows foreign bytes.
    QSignalSpy stale(p.poller.get(), &ValuePoller::StaleChanged);
    p.poller->SelectPage(QStringLiteral("IstEin"));
    p.poller->SelectPage(QStringLiteral("IstAna"));
    const int before = p.built;
    ASSERT_TRUE(p.WaitBuilt(before + 3));
    EXPECT_EQ(p.poller->Page().Columns, 3);
    EXPECT_EQ(stale.count(), 0);
}

TEST(ValuePoller, FailedPollsKeepTheStalePageThenSearch)
{
    struct Case
    {
        const char *fault;
    } cases[] = {{"noecho:1"}, {"short:1"}};
    for (const Case &c : cases) {
        PollRig p;
        ASSERT_TRUE(p.Start());
        QSignalSpy stale(p.poller.get(), &ValuePoller::StaleChanged);
        QSignalSpy lost(p.poller.get(), &ValuePoller::LinkLost);
        p.poller->ChoosePage(QStringLiteral("IstAna"));
        ASSERT_TRUE(p.WaitBuilt(1));
        const QString shown = p.Cell(1, 0);
        ASSERT_FALSE(shown.trimmed().isEmpty());
        ASSERT_TRUE(p.rig.device->addFault(QString::fromLatin1(c.fault)));
        ASSERT_TRUE(p.rig.WaitUntil([&] { return stale.count() >= 1; }, 10000)) << c.fault;
        EXPECT_TRUE(p.poller->Stale());
        EXPECT_FALSE(p.Cell(1, 0).trimmed().isEmpty()) << "the last values stay shown";
        EXPECT_TRUE(p.poller->LastGoodAnswer().isValid());
        EXPECT_TRUE(p.rig.prompter.Errors.isEmpty());
        ASSERT_TRUE(p.rig.WaitUntil([&] { return lost.count() == 1; }, 20000)) << c.fault;
        EXPECT_EQ(p.poller->FailedPolls(), ValuePoller::FailedPollsBeforeSearch);
        EXPECT_TRUE(p.rig.prompter.Errors.contains(GetText(72)));
        EXPECT_GE(p.rig.searchFinished + (p.rig.search->Running() ? 1 : 0), 1);
        p.rig.device->clearFaults();
        ASSERT_TRUE(p.rig.WaitUntil([&] { return !p.rig.search->Running(); }, 30000));
        // Choosing the page again brings the values back.
        p.rig.main->LastAnswerCode = 0;
        const int before = p.built;
        p.poller->ChoosePage(QStringLiteral("IstAna"));
        ASSERT_TRUE(p.WaitBuilt(before + 1));
        EXPECT_FALSE(p.poller->Stale());
    }
}

TEST(ValuePoller, RefusalIsNoLinkFailure)
{
    PollRig p;
    ASSERT_TRUE(p.Start());
    QSignalSpy failed(p.poller.get(), &ValuePoller::PollFailed);
    p.poller->ChoosePage(QStringLiteral("IstAna"));
    ASSERT_TRUE(p.WaitBuilt(1));
    p.rig.device->setRefusal(5, 0xF4);
    ASSERT_TRUE(p.rig.WaitUntil([&] { return failed.count() >= 4; }, 10000));
    EXPECT_TRUE(failed.last().at(1).toBool());
    EXPECT_EQ(p.poller->FailedPolls(), 0);
    EXPECT_TRUE(p.poller->Stale());
    EXPECT_TRUE(p.rig.prompter.Errors.isEmpty());
    EXPECT_EQ(p.rig.searchFinished, 0);
    EXPECT_FALSE(p.rig.search->Running());
    p.rig.device->clearRefusals();
    const int before = p.built;
    ASSERT_TRUE(p.WaitBuilt(before + 1));
    EXPECT_FALSE(p.poller->Stale());
}

TEST(ValuePoller, AlarmIsAcknowledgedOnlyByAllowedLevels)
{
    PollRig p;
    ASSERT_TRUE(p.Start());
    struct Case
    {
        QString level;
        bool allowed;
    } cases[] = {{Level::Cus, true},  {Level::Ser, true},  {Level::Fac, true},
                 {Level::Fer, true},  {Level::IDS, false}, {Level::Mas, false}, {QString(), false}};
    p.poller->ChoosePage(QStringLiteral("IstAla"));
    ASSERT_TRUE(p.WaitBuilt(1));
    for (const Case &c : cases) {
        p.rig.main->Access.Level = c.level;
        p.poller->RequestValues(); // the visibility is decided at each request
        EXPECT_EQ(p.poller->AcknowledgeVisible(), c.allowed) << c.level.toStdString();
        EXPECT_EQ(MayAcknowledge(c.level), c.allowed);
    }
    const QString pending = p.Cell(1, 0);
    p.rig.main->Access.Level = Level::IDS;
    EXPECT_FALSE(p.poller->RemoteAcknowledge());
    EXPECT_EQ(p.acks, 0);

    QSignalSpy acked(p.poller.get(), &ValuePoller::Acknowledged);
    p.rig.main->Access.Level = Level::Ser;
    p.rig.main->SetPendingAction(QStringLiteral("Vorher"));
    ASSERT_TRUE(p.poller->RemoteAcknowledge());
    ASSERT_TRUE(p.rig.WaitUntil([&] { return acked.count() == 1; }, 5000))
        << p.rig.main->PendingAction.toStdString() << " busy " << p.rig.main->LinkBusy << " acks " << p.acks
        << " queue " << p.rig.thread->QueueCount() << " " << p.rig.prompter.All().join('|').toStdString();
    EXPECT_TRUE(acked.first().at(0).toBool());
    EXPECT_EQ(p.rig.main->PendingAction, QStringLiteral("Vorher"));
    EXPECT_FALSE(p.rig.main->LinkBusy);
    // A poll queued before the acknowledge may still show the alarm; a later one does not.
    EXPECT_TRUE(p.rig.WaitUntil([&] { return p.Cell(1, 0) != pending; }, 10000));
    EXPECT_EQ(p.acks, 1);
}

TEST(ValuePoller, StoredAnswerCodeSearchesUnlessItWasARefusal)
{
    struct Case
    {
        int code;
        bool search;
    } cases[] = {{0xF4, false}, {0x05, true}};
    for (const Case &c : cases) {
        PollRig p;
        ASSERT_TRUE(p.Start());
        p.rig.main->LastAnswerCode = c.code;
        p.poller->ChoosePage(QStringLiteral("IstAna"));
        EXPECT_EQ(p.rig.prompter.Errors.contains(GetText(72)), c.search) << c.code;
        EXPECT_EQ(p.poller->InFlight(), !c.search) << c.code;
        EXPECT_EQ(p.rig.search->Running() || p.rig.searchFinished > 0, c.search) << c.code;
        ASSERT_TRUE(p.rig.WaitUntil([&] { return !p.rig.search->Running(); }, 30000));
    }
}

TEST(ValuePoller, ForeignDefinitionClosesThePage)
{
    PollRig p;
    ASSERT_TRUE(p.Start());
    p.poller->LoadedDefinition = [] { return QStringLiteral("/elsewhere/Z101 STD01-DE.ZPA"); };
    p.poller->ChoosePage(QStringLiteral("IstAna"));
    EXPECT_TRUE(p.rig.prompter.Errors.contains(GetText(74)));
    EXPECT_TRUE(p.poller->ShownPage().isEmpty());
    EXPECT_FALSE(p.rig.main->ParamsLoaded);
    EXPECT_FALSE(p.poller->InFlight());
}

} // namespace
