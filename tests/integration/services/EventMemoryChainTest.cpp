// The event read and clear against the simulated 202 with its event ring: wrap-around,
// bad pointers, failures in the middle, abandon by an edit, refused clearing.
#include "../device/ChainRig.h"
#include "SimEvents.h"
#include "device/ParameterFile.h"
#include "services/AccessLevels.h"
#include "services/EventMemory.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <mutex>
#include <set>

namespace {

struct EventRig : ChainRig
{
    std::unique_ptr<EventMemory> events;
    std::shared_ptr<SimEvents> ring;
    std::mutex mutex;
    std::vector<SimRequest> requests;
    int finished = 0, cleared = 0;
    bool lastOk = false;

    bool Setup(int stored, const QString &clockKind = QStringLiteral("3"))
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device)
            return false;
        Record();
        ring = SimEvents::attach(*device, stored);
        if (!Start())
            return false;
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        main->Data.Def.ClockKind = clockKind;
        auto &d = main->Data;
        d.Geraet.SetByte(d.State.IndexOf(EventMemory::FeatureAddress),
                         d.Geraet.GetByte(d.State.IndexOf(EventMemory::FeatureAddress)) | EventMemory::FeatureBit);
        main->Online = true;
        main->Access.Level = Level::Ser;
        events = std::make_unique<EventMemory>(*main);
        QObject::connect(events.get(), &EventMemory::Finished, [this](bool ok, const QString &) { ++finished, lastOk = ok; });
        QObject::connect(events.get(), &EventMemory::Cleared, [this](bool ok, const QString &) { ++cleared, lastOk = ok; });
        return true;
    }
    void Record()
    {
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            std::lock_guard<std::mutex> lock(mutex);
            requests.push_back(r);
            return false;
        });
    }
    bool ReadAll()
    {
        requests.clear();
        const int before = finished;
        return events->Read() && WaitUntil([&] { return finished > before; });
    }
    bool ClearAll()
    {
        requests.clear();
        const int before = cleared;
        return events->Clear() && WaitUntil([&] { return cleared > before; });
    }
    std::vector<SimRequest> Of(int code)
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<SimRequest> out;
        for (const auto &r : requests)
            if (r.code == code)
                out.push_back(r);
        return out;
    }
    void SetEnd(int end, int wrap) { ring->setPointers(end, wrap); }
};

// The device's text of the record at address, as the list shows it.
QString Stored(const SimEvents &ring, quint32 address)
{
    const auto t = SimEvents::render(ring.record(address));
    return QString::fromLatin1(reinterpret_cast<const char *>(t.data()), 59);
}

} // namespace

TEST(EventMemoryChain, ReadsTheRingOldestFirstWithoutRepeats)
{
    // A wrapped ring starts at the end pointer (the oldest record follows the newest).
    const struct { int stored; const char *kind; int lines; quint32 year; quint32 first; } cases[] = {
        {0, "3", 0, 0x22FD, 0},      {5, "1", 5, 0x0055, 0x1000},        {127, "3", 127, 0x22FD, 0x1000},
        {170, "3", 127, 0x22FD, 0x1000 + 43 * 8}, {300, "1", 127, 0x0055, 0x1000 + (300 - 254) * 8},
    };
    for (const auto &c : cases) {
        EventRig rig;
        ASSERT_TRUE(rig.Setup(c.stored, QString::fromLatin1(c.kind)));
        ASSERT_TRUE(rig.ReadAll()) << c.stored;
        EXPECT_TRUE(rig.lastOk) << rig.prompter.All().join('|').toStdString();
        ASSERT_EQ(rig.events->Lines().size(), c.lines) << c.stored;
        const auto reads = rig.Of(5);
        ASSERT_EQ(reads.size(), 2u);
        EXPECT_EQ(reads[0].address, 0x13F8u);
        EXPECT_EQ(reads[1].address, c.year) << c.kind;
        const auto records = rig.Of(53);
        ASSERT_EQ(int(records.size()), c.lines);
        std::set<quint32> distinct;
        for (const auto &r : records)
            distinct.insert(r.address);
        EXPECT_EQ(int(distinct.size()), c.lines) << "a record read twice";
        if (c.lines) {
            EXPECT_EQ(records.front().address, c.first) << c.stored;
            EXPECT_EQ(rig.events->Lines().front().Text, Stored(*rig.ring, records.front().address));
            EXPECT_EQ(rig.events->Lines().back().Text, Stored(*rig.ring, records.back().address));
        }
        QSet<int> colours;
        for (const auto &l : rig.events->Lines())
            colours.insert(l.Colour);
        if (c.lines >= 12)
            EXPECT_EQ(colours, (QSet<int>{0, 1, 2, 3, 4})) << "every colour class in a long run";
    }
}

TEST(EventMemoryChain, ImplausiblePointerReadsNoRecord)
{
    for (int end : {0xFFFF, 0x0FF8, 0x0000, 0x1004, 0x13FA, 0x1400}) {
        EventRig rig;
        ASSERT_TRUE(rig.Setup(20));
        rig.SetEnd(end, 1);
        ASSERT_TRUE(rig.ReadAll());
        EXPECT_FALSE(rig.lastOk) << end;
        EXPECT_TRUE(rig.Of(53).empty()) << end;
        ASSERT_EQ(rig.prompter.Warnings.size(), 1);
        EXPECT_TRUE(rig.prompter.Warnings[0].contains(QString::number(end, 16).toUpper().rightJustified(4, '0')));
        EXPECT_TRUE(rig.events->Lines().isEmpty());
    }
}

TEST(EventMemoryChain, FailureOrShortAnswerMidwayShowsNothing)
{
    // 0: a refusal byte; otherwise that many bytes of the 60.
    for (int kind : {0, 59, 4}) {
        EventRig rig;
        ASSERT_TRUE(rig.Setup(40));
        // The fault hook must come before the ring's own.
        rig.device->clearRequestHooks();
        rig.device->addRequestHook([kind](SimDevice &, const SimRequest &r, SimAnswer &a) {
            if (r.code != 53 || r.address != 0x1000 + 10 * 8)
                return false;
            if (kind == 0)
                a.code = 0xF5;
            else
                a.data.assign(size_t(kind), 'x');
            return true;
        });
        rig.ring = SimEvents::attach(*rig.device, 40);
        ASSERT_TRUE(rig.ReadAll());
        EXPECT_FALSE(rig.lastOk) << kind;
        EXPECT_EQ(rig.prompter.Warnings, QStringList{GetText(122)}) << kind;
        EXPECT_TRUE(rig.events->Lines().isEmpty()) << kind;
        EXPECT_FALSE(rig.events->Busy());
    }
}

TEST(EventMemoryChain, AnEditAbandonsTheRead)
{
    EventRig rig;
    ASSERT_TRUE(rig.Setup(50));
    int polled = 0;
    rig.events->Abandoned = [&] { return ++polled == 3; };
    ASSERT_TRUE(rig.ReadAll());
    EXPECT_FALSE(rig.lastOk);
    EXPECT_EQ(rig.Of(53).size(), 3u);
    EXPECT_TRUE(rig.events->Lines().isEmpty());
    EXPECT_TRUE(rig.prompter.Warnings.isEmpty());
}

TEST(EventMemoryChain, ClearingWritesBothBlocksAndStopsAtARefusal)
{
    EventRig rig;
    ASSERT_TRUE(rig.Setup(170));
    ASSERT_TRUE(rig.ClearAll());
    EXPECT_TRUE(rig.lastOk) << rig.prompter.All().join('|').toStdString();
    const auto writes = rig.Of(20);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].address, 0x13F8u);
    EXPECT_EQ(writes[0].data, (std::vector<quint8>{0x10, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(writes[1].address, 0x2770u);
    EXPECT_EQ(writes[1].data, (std::vector<quint8>{0x10, 0, 0, 0}));
    ASSERT_TRUE(rig.ReadAll());
    EXPECT_TRUE(rig.lastOk);
    EXPECT_TRUE(rig.events->Lines().isEmpty());

    for (const auto &[refusal, text] : {std::pair{0xF4, GetText(42)}, std::pair{0xF5, GetText(129)}}) {
        EventRig r2;
        ASSERT_TRUE(r2.Setup(10));
        // A hook, not setRefusal: the refusal must still be seen as a request. It comes
        // before the ring's own, as the device refuses before it writes anything.
        r2.device->clearRequestHooks();
        r2.Record();
        r2.device->addRequestHook([refusal = refusal](SimDevice &, const SimRequest &r, SimAnswer &a) {
            a.code = quint8(refusal);
            return r.code == 20;
        });
        r2.ring = SimEvents::attach(*r2.device, 10);
        ASSERT_TRUE(r2.ClearAll());
        EXPECT_FALSE(r2.lastOk);
        EXPECT_EQ(r2.Of(20).size(), 1u) << "no second write after a refusal";
        EXPECT_EQ(r2.prompter.Errors, QStringList{text});
        EXPECT_EQ(r2.ring->end(), 0x1000 + 10 * 8);
    }

    EventRig cus;
    ASSERT_TRUE(cus.Setup(10));
    cus.main->Access.Level = Level::Cus;
    cus.requests.clear();
    EXPECT_FALSE(cus.events->Clear());
    EXPECT_TRUE(cus.Of(20).empty());
    EXPECT_EQ(cus.prompter.Errors, QStringList{GetText(644)});
}
