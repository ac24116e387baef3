// The protocol choice and the protocol search against a device that answers only at its
// own line settings.
#include "../device/ChainRig.h"
#include "link/Protocol.h"
#include "shell/Texts.h"
#include "support/SimPty.h"
#include <functional>
#include <gtest/gtest.h>

namespace {

struct SearchCase
{
    const char *name;
    int baud;
    int slave;
    bool handshake;
    const char *coupler;
    int protocol; // expected end of the search
    bool found;
};

const SearchCase kCases[] = {
    {"pelk_coupler", 9600, 0xAE, false, "PELK", 1, true},
    {"dros_coupler", 9600, 0xAE, false, "DROS", 1, true},
    {"at_2400", 2400, 0xAE, false, "", 2, true},
    {"at_2400_slave70", 2400, 0x70, false, "", 3, true},
    {"at_9600", 9600, 0xAE, false, "", 4, true},
    {"at_9600_handshake", 9600, 0xAE, true, "", 5, true},
    {"at_19200", 19200, 0xAE, false, "", 5, false},
    {"wrong_slave", 9600, 0x10, false, "", 5, false},
};

class ProtocolSearchCase : public ::testing::TestWithParam<SearchCase>
{
};

TEST_P(ProtocolSearchCase, EndsAtTheProtocolTheDeviceAnswers)
{
    const SearchCase c = GetParam();
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    ASSERT_TRUE(rig.device);
    rig.device->setBaud(c.baud);
    rig.device->setSlaveAddress(quint8(c.slave));
    rig.device->setHandshake(c.handshake);
    rig.device->setCoupler(QString::fromLatin1(c.coupler));
    ASSERT_TRUE(rig.Start());
    rig.search->Start();
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.searchFinished > 0; }));

    EXPECT_EQ(rig.searchProtocol, c.protocol);
    EXPECT_EQ(rig.searchFound, c.found);
    EXPECT_EQ(rig.main->Settings.Protocol, c.protocol);
    EXPECT_TRUE(rig.main->PendingAction.isEmpty());
    EXPECT_FALSE(rig.search->Running());
    EXPECT_TRUE(rig.prompter.Warnings.isEmpty()) << "failed probes are not reported one by one";
    ASSERT_EQ(rig.prompter.Infos.size(), 1);
    const QString info = rig.prompter.Infos.first();
    if (!c.found)
        EXPECT_EQ(info, GetText(71));
    else if (c.protocol == 1)
        EXPECT_TRUE(info.startsWith(GetText(QString::fromLatin1(c.coupler) == QLatin1String("DROS") ? 102 : 153)) &&
                    info.contains(QString::fromLatin1(c.coupler)))
            << info.toStdString();
    else
        EXPECT_EQ(info, GetText(62) + QLatin1Char('\r') + Protocol(c.protocol)->Caption);

    // The status panel names each protocol tried and is cleared at the end.
    QStringList expected;
    for (int p = 1; p <= c.protocol; ++p)
        expected << (p == 1 ? GetText(103) : GetText(73) + QString::number(p));
    expected << QString();
    EXPECT_EQ(rig.status4, expected);
    // Each protocol logs its two steps.
    ASSERT_EQ(rig.logD.size(), 2 * c.protocol);
    EXPECT_EQ(rig.logD.first(), QStringLiteral("ProtokollSuchen 1,1"));
    EXPECT_EQ(rig.logD.last(), QStringLiteral("ProtokollSuchen %1,2").arg(c.protocol));

    // The link is left at the protocol's settings.
    const ProtocolSearch::Probe *probe = ProtocolSearch::ProbeOf(c.protocol);
    EXPECT_EQ(rig.main->Init.BaudText, probe->Baud);
    EXPECT_EQ(rig.main->Init.SlaveAddress, probe->SlaveAddress);
    EXPECT_EQ(Handshake(), probe->Handshake);
}

INSTANTIATE_TEST_SUITE_P(Sim, ProtocolSearchCase, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<SearchCase> &info) { return std::string(info.param.name); });

TEST(ProtocolSearch, SomethingAtTheCouplerAddressThatIsNoCouplerIsNotProtocol1)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    rig.device->setSlaveAddress(0xFE); // a controller answering its identification at 0xFE
    ASSERT_TRUE(rig.Start());
    rig.search->Start();
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.searchFinished > 0; }));
    EXPECT_FALSE(rig.searchFound);
    EXPECT_EQ(rig.searchProtocol, 5);
    EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(71)});
}

TEST(ProtocolSearch, ThePauseSeparatesTheProtocols)
{
    ChainRig rig;
    rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
    rig.device->setBaud(2400);
    ASSERT_TRUE(rig.Start());
    rig.search->SetPauseMs(300);
    QElapsedTimer t;
    t.start();
    rig.search->Start();
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.searchFinished > 0; }));
    EXPECT_EQ(rig.searchProtocol, 2);
    EXPECT_GE(t.elapsed(), 300);
}

TEST(ProtocolSearch, ChoosingAnEntryAppliesTheTable)
{
    struct Case
    {
        int entry;
        const char *baud;
        bool handshake;
        int imageSlave;
        int stored;
    } cases[] = {
        {1, "9600", false, 0xFE, 1},  {2, "2400", false, 0x31, 2}, {3, "2400", false, 0x70, 3},
        {4, "9600", false, 0x31, 4},  {5, "9600", true, 0x31, 5},  {6, "19200", false, 0x31, 4},
        {7, "57600", false, 0x31, 4},
    };
    ChainRig rig;
    ASSERT_TRUE(rig.Start());
    rig.main->Init.SlaveAddress = 0x31;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entry);
        const int attempts = rig.thread->OpenAttempts();
        ASSERT_TRUE(ProtocolSearch::ChooseProtocol(*rig.main, c.entry));
        EXPECT_EQ(rig.main->Init.BaudText, QString::fromLatin1(c.baud));
        EXPECT_EQ(Handshake(), c.handshake);
        EXPECT_EQ(rig.main->Settings.Handshake, c.handshake);
        EXPECT_EQ(rig.main->WorkImage[TelePos::Slave], c.imageSlave);
        EXPECT_EQ(rig.main->Settings.Protocol, c.stored);
        EXPECT_EQ(rig.main->Init.SlaveAddress, 0x31) << "the menu leaves the settings' slave address alone";
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.thread->OpenAttempts() > attempts; }, 5000));
        EXPECT_EQ(rig.thread->BaudText(), QString::fromLatin1(c.baud));
    }
    const int stored = rig.main->Settings.Protocol;
    EXPECT_FALSE(ProtocolSearch::ChooseProtocol(*rig.main, 0));
    EXPECT_FALSE(ProtocolSearch::ChooseProtocol(*rig.main, 8));
    EXPECT_EQ(rig.main->Settings.Protocol, stored);
}

// A cancel ends the search at once, whether a probe is on the line or the search waits
// between two protocols; nothing stays pending and the next search runs normally.
TEST(ProtocolSearch, CancelEndsTheSearchCleanlyAtOnce)
{
    struct Case
    {
        const char *name;
        int pauseMs;
        const char *cancelAfterLog;
        int shownProtocol;
    } const cases[] = {
        {"probe on the line", 5, "ProtokollSuchen 2,1", 2},
        {"between protocols", 5000, "ProtokollSuchen 1,2", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ChainRig rig;
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
        rig.device->setBaud(19200); // never answers a probe
        ASSERT_TRUE(rig.Start(QStringLiteral("SIM"), 100));
        rig.search->SetPauseMs(c.pauseMs);
        rig.search->Start();
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.logD.contains(QLatin1String(c.cancelAfterLog)); }));
        EXPECT_EQ(rig.progress.last(),
                  GetText(431) + QStringLiteral(": ") + Protocol(c.shownProtocol)->Caption.trimmed())
            << "the progress panel names the protocol tried";
        QElapsedTimer t;
        t.start();
        rig.search->Cancel();
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.searchFinished > 0; }, 5000));
        EXPECT_LT(t.elapsed(), 1000);
        EXPECT_FALSE(rig.searchFound);
        EXPECT_FALSE(rig.search->Running());
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
        EXPECT_FALSE(rig.main->LinkBusy);
        EXPECT_EQ(rig.thread->QueueCount(), 0);
        EXPECT_EQ(rig.status4.last(), GetText(430));
        EXPECT_GT(rig.progressHidden, 0);
        EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
        rig.WaitUntil([] { return false; }, 300); // no late report or timer wakes the search
        EXPECT_EQ(rig.searchFinished, 1);
        EXPECT_FALSE(rig.search->Running());

        rig.device->setBaud(9600);
        rig.search->SetPauseMs(5);
        rig.thread->SetReadTimeout(20);
        rig.search->Start();
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.searchFinished > 1; }));
        EXPECT_TRUE(rig.searchFound);
        EXPECT_EQ(rig.searchProtocol, 4);
    }
}

// A protocol or port chosen while a read runs on the line: the read ends through its
// failure path instead of hanging with the busy flag set, and the next read works.
TEST(ProtocolSearch, AChoiceDuringAReadEndsTheReadAndLeavesTheLinkUsable)
{
    const std::pair<const char *, std::function<void(ChainRig &)>> cases[] = {
        {"protocol", [](ChainRig &rig) { ProtocolSearch::ChooseProtocol(*rig.main, 4); }},
        {"port", [](ChainRig &rig) { rig.thread->SetPort(rig.main->Init.PortName, rig.main->Init.BaudText); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        ChainRig rig;
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
        ASSERT_TRUE(rig.Start());
        rig.reader->ReadFromDevice();
        // The first block of parameters is being read.
        ASSERT_TRUE(
            rig.WaitUntil([&] { return !rig.progress.isEmpty() && rig.progress.last().startsWith(GetText(67)); }));
        c.second(rig);
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.finished > 0; }, 10000)) << "the read hangs";
        ASSERT_TRUE(rig.WaitUntil([&] { return !rig.search->Running(); }));
        EXPECT_FALSE(rig.main->LinkBusy);
        EXPECT_TRUE(rig.main->PendingAction.isEmpty());
        rig.prompter.Answers = {true, true, true};
        EXPECT_TRUE(rig.Read()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
        EXPECT_TRUE(rig.finishedOk) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
    }
}

TEST(ProtocolSearch, CouplerTextIsBuiltFromTheAnswerBytes)
{
    tyTelegramm image;
    const char name[] = "PELK 2000 ";
    for (int i = 0; i < 10; ++i)
        image[22 + i] = quint8(name[i]);
    image[33] = 3;
    image[35] = 1;
    image[36] = 4;
    EXPECT_EQ(ProtocolSearch::CouplerText(image), QStringLiteral("\rPELK 2000 Version 3 / 1.4"));
}

TEST(ProtocolSearch, FindsTheLineSettingsOfADeviceOnAPseudoTerminal)
{
    SimPty sim({QStringLiteral("--baud"), QStringLiteral("2400"), QStringLiteral("--slave"), QStringLiteral("0x70")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    ChainRig rig;
    ASSERT_TRUE(rig.Start(sim.linkPath(), 30));
    rig.search->Start();
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.searchFinished > 0; }));
    EXPECT_TRUE(rig.searchFound);
    EXPECT_EQ(rig.searchProtocol, 3);
    EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(62) + QLatin1Char('\r') + Protocol(3)->Caption});
}

} // namespace
