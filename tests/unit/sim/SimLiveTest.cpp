// Live actual values of the simulated device, read over its wire as the program reads them.
#include "PcModel.h"
#include "SimDevice.h"
#include "SimLive.h"
#include "SimOptions.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "params/FormatValue.h"
#include "shell/Prompter.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<quint8>;

class Line : public PcLine
{
public:
    explicit Line(SimDevice &d) : device(d) {}
    void send(const Bytes &bytes) override
    {
        for (quint8 b : bytes) {
            Bytes out = device.receive(b);
            pending.insert(pending.end(), out.begin(), out.end());
        }
    }
    bool read(quint8 *byte) override
    {
        if (pending.empty())
            return false;
        *byte = pending.front();
        pending.pop_front();
        return true;
    }
    SimDevice &device;
    std::deque<quint8> pending;
};

QString Sample(const char *file)
{
    return QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + QString::fromLatin1(file);
}

struct Rig
{
    SimDevice device;
    std::shared_ptr<SimLive> live;

    explicit Rig(const char *file, quint32 seed = 1)
    {
        const QString path = Sample(file);
        int base = 0x0800;
        SimDefinitionBase(path, &base);
        QString error;
        EXPECT_TRUE(device.loadParameterFile(path, base, &error)) << error.toStdString();
        live = SimLive::forFile(path, seed, &error);
        EXPECT_TRUE(live) << error.toStdString();
        SimLive::attach(device, live);
        if (live) {
            live->setAlarmPeriod(0);
            live->setTimeMs(0);
        }
    }
    PcOutcome exchange(quint8 code, const Bytes &payload)
    {
        Line line(device);
        return PcExchange(line, Telegram(device.slaveAddress(), 0x01, code, payload), false);
    }
    Bytes read(quint32 address, int count)
    {
        const PcOutcome o = exchange(5, {quint8(address >> 8), quint8(address), quint8(count)});
        EXPECT_EQ(o.result, 2);
        return o.answer.size() > 4 ? Bytes(o.answer.begin() + 4, o.answer.end()) : Bytes();
    }
    Bytes poll(const QString &page, qint64 ms)
    {
        live->setTimeMs(ms);
        const SimLive::Page *p = live->page(page);
        return p ? read(p->address, p->count) : Bytes();
    }
};

int Word(const Bytes &b, int at) { return b.at(size_t(at)) * 256 + b.at(size_t(at + 1)); }

struct DemoPages
{
    const char *file;
    int pages;
};

// Every page of every demo answers with its full block, and every page whose rows carry
// measured values shows them moving between two polls.
class LiveDemo : public ::testing::TestWithParam<DemoPages>
{
};

TEST_P(LiveDemo, EveryPageAnswersAndMeasuredValuesMove)
{
    Rig rig(GetParam().file);
    ASSERT_TRUE(rig.live);
    ASSERT_EQ(int(rig.live->pages().size()), GetParam().pages);
    for (const SimLive::Page &page : rig.live->pages()) {
        const Bytes first = rig.poll(page.name, 10000);
        const Bytes second = rig.poll(page.name, 17000);
        ASSERT_EQ(int(first.size()), page.count) << page.name.toStdString();
        ASSERT_EQ(int(second.size()), page.count) << page.name.toStdString();
        const bool measures = std::any_of(page.rows.begin(), page.rows.end(), [](const SimLive::Row &r) {
            return r.kind == SimLive::Kind::Level || r.kind == SimLive::Kind::Load;
        });
        if (measures) {
            EXPECT_NE(first, second) << GetParam().file << " " << page.name.toStdString();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Demos, LiveDemo,
                         ::testing::Values(DemoPages{"demo.202", 10}, DemoPages{"demo_v13.202", 10},
                                           DemoPages{"demo.101", 5}, DemoPages{"demo.STW", 3},
                                           DemoPages{"demo.VMX", 1}, DemoPages{"demo.NAE", 3},
                                           DemoPages{"demo.ULV", 2}, DemoPages{"demo.ORN", 3}),
                         [](const ::testing::TestParamInfo<DemoPages> &info) {
                             return QString::fromLatin1(info.param.file).replace(QLatin1Char('.'), QLatin1Char('_')).toStdString();
                         });

// Over two hours the energy and the operating hours of the 202 grow and never go back.
TEST(SimLive, CountersGrow)
{
    Rig rig("demo.202");
    auto energy = [](const Bytes &b) { return (long long)b.at(0x28) << 16 | Word(b, 0x29); };
    const Bytes start = rig.poll(QStringLiteral("IstAna"), 0);
    Bytes last = start;
    for (qint64 ms = 7000; ms <= 2 * 3600 * 1000; ms += 7000) {
        const Bytes b = rig.poll(QStringLiteral("IstAna"), ms);
        ASSERT_GE(energy(b), energy(last)) << ms;
        ASSERT_GE(Word(b, 0x2C), Word(last, 0x2C)) << ms;
        last = b;
    }
    EXPECT_GT(energy(last), energy(start));
    EXPECT_EQ(Word(rig.poll(QStringLiteral("IstAna"), 7200000), 0x2C) - Word(start, 0x2C), 2) << "two hours counted";
}

// The values as the program's own formatter shows them, sampled over two hours, on the pages
// of every kind of device.
TEST(SimLive, ShownValuesArePlausibleOnEveryModel)
{
    struct Shown
    {
        const char *file;
        const char *page;
        const char *label; // first row whose label contains it
        double lo, hi;
    };
    const Shown cases[] = {
        {"demo.202", "IstAna", "Netzspannung L1-N", 220, 240},
        {"demo.202", "IstAna", "Netzfrequenz", 49.9, 50.1},
        {"demo.202", "IstAna", "Generatorstrom L1", 10, 100},
        {"demo.202", "IstAna", "Leistungsfaktor", 0.86, 0.94},
        {"demo.202", "IstAna", "Drehzahl", 1490, 1510},
        {"demo.202", "IstAna", "Batteriespannung", 23.5, 25.5},
        {"demo.NAE", "IstAna", "Netzfrequenz", 49.9, 50.1},
        {"demo.NAE", "IstAna", "Netzspannung L1-L2", 390, 410},
        {"demo.VMX", "IstAna", "Strom L1", 10, 100},
        {"demo.VMX", "IstAna", "Leistungsfaktor", 0.85, 0.95},
        {"demo.VMX", "IstAna", "Frequenz", 49.9, 50.1},
        {"demo.101", "IstAna", "Generatorfrequenz", 49.9, 50.1},
        {"demo.101", "IstAna", "Batteriespannung", 23.5, 25.5},
        {"demo.ORN", "IstAna", "Generatorspannung L2-N", 220, 240},
        {"demo.STW", "IstAna", "Generatorfrequenz", 49.5, 50.5},
        {"demo.STW", "IstAna", "Drehzahl", 1450, 1550},
        {"demo.STW", "IstAna", "Netzfrequenz", 49.5, 50.5},
        {"demo.STW", "IstAna", "Batteriespannung", 23, 26},
        {"demo.202", "IstSon", "Versorgungsspannung", 22, 27},
        {"demo.202", "IstSpw", "Netzspannung L1-L2", 390, 410},
    };
    for (const Shown &c : cases) {
        Rig rig(c.file);
        DeviceData d;
        SilentPrompter quiet;
        LoadParameterFile(d, Sample(c.file), quiet);
        ASSERT_TRUE(ReadActualValuePage(d, QString::fromLatin1(c.page), quiet, nullptr, nullptr)) << c.file;
        const SimLive::Page *page = rig.live->page(QString::fromLatin1(c.page));
        ASSERT_TRUE(page);
        const auto row = std::find_if(page->rows.begin(), page->rows.end(), [&](const SimLive::Row &r) {
            return r.label.contains(QString::fromLatin1(c.label));
        });
        ASSERT_NE(row, page->rows.end()) << c.file << " " << c.label;
        TFormatter f(d, &quiet);
        for (qint64 ms = 0; ms <= 2 * 3600 * 1000; ms += 37000) {
            const Bytes b = rig.poll(QString::fromLatin1(c.page), ms);
            qint64 raw = 0;
            for (int i = 0; i < row->size; ++i)
                raw = raw << 8 | b.at(row->address - page->address + quint32(i));
            ASSERT_TRUE(f.FormatActualValue(row->row, row->typeCode, QString::number(raw, 16).toUpper()))
                << c.file << " " << c.label;
            bool ok = false;
            const double shown = f.FormattedValue.trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
            ASSERT_TRUE(ok) << c.file << " " << c.label << ": \"" << f.FormattedValue.toStdString() << "\"";
            EXPECT_GE(shown, c.lo) << c.file << " " << c.label << " at " << ms;
            EXPECT_LE(shown, c.hi) << c.file << " " << c.label << " at " << ms;
        }
    }
}

TEST(SimLive, TheSameSeedGivesTheSameValuesAndAnotherSeedOthers)
{
    Rig a("demo.202", 7), b("demo.202", 7), c("demo.202", 8);
    for (qint64 ms : {0LL, 1500LL, 61000LL, 3600000LL}) {
        for (const SimLive::Page &page : a.live->pages())
            EXPECT_EQ(a.poll(page.name, ms), b.poll(page.name, ms)) << page.name.toStdString() << " at " << ms;
        EXPECT_NE(a.poll(QStringLiteral("IstAna"), ms), c.poll(QStringLiteral("IstAna"), ms)) << ms;
    }
}

// The pages of the 202 lie inside its parameter memory: reading that memory block by block
// gives the stored bytes, and a poll right after it the live ones.
TEST(SimLive, AScanOfTheParameterMemorySeesTheStoredBytes)
{
    Rig rig("demo.202");
    rig.live->setTimeMs(5000);
    for (quint32 a = 0x0800; a < 0x2800; a += 64)
        ASSERT_EQ(rig.read(a, 64), rig.device.bytes(a, 64)) << std::hex << a;
    rig.read(0x2300, 64);
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(rig.read(0x2340, 64), rig.device.bytes(0x2340, 64)) << "a continued or repeated block is the scan";
    rig.read(0x0030, 48);
    for (const char *page : {"IstCAN", "IstCAN", "IstSon"}) {
        const SimLive::Page *p = rig.live->page(QString::fromLatin1(page));
        EXPECT_NE(rig.read(p->address, p->count), rig.device.bytes(p->address, p->count)) << page;
    }
}

struct AlarmBit
{
    int alarm;
    quint32 address;
    quint8 mask;
};

// Alarms set by option show on the alarm page until an acknowledge (code 24) clears them.
TEST(SimLive, AlarmsByOptionShowUntilAcknowledged)
{
    const AlarmBit bits[] = {{3, 0x21A0, 0x04}, {20, 0x21A2, 0x08}, {48, 0x21A5, 0x80}};
    Rig rig("demo.202");
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({"--alarm", "3", "--alarm=20", "--alarm", "48", "--alarm-period", "0"}, &o, &error))
        << error.toStdString();
    ASSERT_TRUE(ApplySimLiveOptions(o, rig.device, &error)) << error.toStdString();
    Bytes page = rig.poll(QStringLiteral("IstAla"), 1000);
    ASSERT_EQ(page.size(), 8u);
    quint8 expected[8] = {};
    for (const AlarmBit &a : bits)
        expected[a.address - 0x21A0] |= a.mask;
    EXPECT_EQ(page, Bytes(expected, expected + 8));

    const PcOutcome ack = rig.exchange(24, {});
    EXPECT_EQ(ack.result, 2);
    EXPECT_EQ(ack.answer.at(3), 24 + 0x80);
    EXPECT_EQ(rig.poll(QStringLiteral("IstAla"), 2000), Bytes(8, 0));
}

TEST(SimLive, AlarmOptionsOutsideThePageAreRefused)
{
    struct Case
    {
        QStringList args;
        const char *file;
        const char *message; // empty: accepted
    };
    const Case cases[] = {
        {{"--alarm", "48"}, "demo.202", ""},
        {{"--alarm", "49"}, "demo.202", "alarm 49: the alarm page has alarms 1..48"},
        {{"--alarm", "1"}, "demo.VMX", "alarm 1: the device has no alarm page"},
        {{"--alarm", "0"}, nullptr, "--alarm: \"0\" is not an alarm number 1.."},
        {{"--alarm-period", "-5"}, nullptr, "--alarm-period: \"-5\" is not a number of seconds"},
    };
    for (const Case &c : cases) {
        SimOptions o;
        QString error;
        const bool parsed = ParseSimOptions(c.args, &o, &error);
        if (!c.file) {
            EXPECT_FALSE(parsed);
            EXPECT_EQ(error, QString::fromLatin1(c.message));
            continue;
        }
        ASSERT_TRUE(parsed);
        Rig rig(c.file);
        EXPECT_EQ(ApplySimLiveOptions(o, rig.device, &error), *c.message == 0) << c.message;
        EXPECT_EQ(error, QString::fromLatin1(c.message));
    }
}

// A scheduled alarm of an odd cycle is stored: it stays after its cause has gone and an
// acknowledge while the cause lasts does not clear it. One of an even cycle goes by itself.
TEST(SimLive, ScheduledAlarmsComeAndGo)
{
    Rig rig("demo.202");
    rig.live->setAlarmPeriod(100);
    auto pendingAt = [&](qint64 ms) {
        rig.live->setTimeMs(ms);
        std::set<int> out;
        for (int n = 1; n <= rig.live->alarmCount(); ++n)
            if (rig.live->alarmPending(n))
                out.insert(n);
        return out;
    };
    EXPECT_TRUE(pendingAt(0).empty());
    EXPECT_TRUE(pendingAt(24000).empty());
    const std::set<int> passing = pendingAt(30000); // cycle 0: 25..50 s
    ASSERT_EQ(passing.size(), 1u);
    EXPECT_TRUE(pendingAt(51000).empty()) << "an alarm of an even cycle goes with its cause";

    const std::set<int> stored = pendingAt(130000); // cycle 1: 125..150 s
    ASSERT_EQ(stored.size(), 1u);
    rig.exchange(24, {});
    EXPECT_EQ(pendingAt(140000), stored) << "its cause lasts: the acknowledge cannot clear it";
    EXPECT_EQ(pendingAt(160000), stored) << "stored after the cause has gone";
    rig.exchange(24, {});
    EXPECT_TRUE(pendingAt(161000).empty());
}

} // namespace
