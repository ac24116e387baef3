// The telegram thread on a real pseudo-terminal against mirelo-sim in another process:
// the QSerialPort path, the wire protocol and every failure the device side can cause.
#include "link/SyncLink.h"
#include "link/TeleThread.h"
#include "shell/Texts.h"
#include "support/ScriptedPrompter.h"
#include "support/SimPty.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

SyncLink::Settings PtySettings(const SimPty &sim, int protocol = 4)
{
    SyncLink::Settings s;
    s.Port = sim.linkPath();
    s.Protocol = protocol;
    s.ReadTimeoutMs = 40; // the retry counts stay; only the wait per read is shorter
    return s;
}

TEST(PtyLink, IdentificationBlockArrivesOverARealPort)
{
    SimPty sim({QStringLiteral("--device"), QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    SyncLink link(PtySettings(sim));
    QString error;
    ASSERT_TRUE(link.Open(&error)) << error.toStdString();
    QByteArray block;
    const TeleReport r = link.Read(0x0030, 48, &block);
    ASSERT_TRUE(r.Ok()) << SyncLink::FailureText(r).toStdString();
    EXPECT_EQ(r.wParam, 0x00020000u);
    EXPECT_EQ(block.left(10), QByteArray("Z202 PA004"));
    EXPECT_EQ(r.Byte(3), 52) << "L of an answer with 48 data bytes";
}

TEST(PtyLink, WritesAreReadBack)
{
    SimPty sim;
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    SyncLink link(PtySettings(sim));
    ASSERT_TRUE(link.Open(nullptr));
    QByteArray data("\x12\x34\x56", 3);
    for (quint8 code : {quint8(4), quint8(20)}) {
        data[0] = char(code);
        ASSERT_TRUE(link.Exchange(code, 0x0900, 3, &data).Ok()) << int(code);
        QByteArray back;
        ASSERT_TRUE(link.Read(0x0900, 3, &back).Ok());
        EXPECT_EQ(back, data);
    }
}

TEST(PtyLink, HandshakeProtocolEchoesEveryByte)
{
    SimPty sim({QStringLiteral("--handshake")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    SyncLink link(PtySettings(sim, 5)); // " 5 9600 über PELK mit Handshake"
    ASSERT_TRUE(link.Open(nullptr));
    QByteArray data;
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(link.Read(quint32(0x0800 + 64 * i), 64, &data).Ok()) << i;
    SetHandshake(false);
}

struct FaultCase
{
    const char *fault;
    int state;
    int result;
};

TEST(PtyLink, EachInjectedFaultEndsInItsFailureState)
{
    const FaultCase cases[] = {
        {"noecho:1", 42, 255},  {"badecho:1", 13, 255}, {"silence:1", 46, 255}, {"wrongaddr:1", 17, 255},
        {"truncate:1", 19, 255}, {"nosum:1", 20, 255},  {"badsum:1", 21, 255},  {"refuse:1", 22, 255},
        {"short:1", 100, 99},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        SimPty sim({QStringLiteral("--fault"), QString::fromLatin1(c.fault), QStringLiteral("--seed"),
                    QStringLiteral("7")});
        ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
        SyncLink link(PtySettings(sim));
        ASSERT_TRUE(link.Open(nullptr));
        QByteArray data;
        const TeleReport r = link.Read(0x0800, 16, &data);
        EXPECT_EQ(r.State(), c.state);
        EXPECT_EQ(r.Result(), c.result);
        EXPECT_EQ(SyncLink::FailureText(r), TeleText(TTeleThread::StateToTextIndex(c.state)));
        if (c.state == 22)
            EXPECT_EQ(r.Byte(4), 0xF4);
    }
}

TEST(PtyLink, GarbageBetweenTelegramsLandsInTheFreeReceiveAndIsHarmless)
{
    SimPty sim({QStringLiteral("--fault"), QStringLiteral("garbage:1"), QStringLiteral("--seed"), QStringLiteral("3")});
    ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
    SyncLink link(PtySettings(sim));
    ASSERT_TRUE(link.Open(nullptr));
    int ok = 0;
    QByteArray data;
    for (int i = 0; i < 20; ++i) {
        ok += link.Read(0x0800, 8, &data).Ok() ? 1 : 0;
        // Let the idle worker take the stray bytes off the line before the next request.
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    EXPECT_GE(ok, 15) << "stray bytes may spoil an exchange now and then, never the link";
    EXPECT_FALSE(ReceivedText::Take().isEmpty());
}

TEST(PtyLink, DeviceThatVanishesMidChainEndsEveryRequestInAReport)
{
    auto sim = std::make_unique<SimPty>();
    ASSERT_TRUE(sim->isRunning()) << sim->error().toStdString();
    SyncLink link(PtySettings(*sim));
    ASSERT_TRUE(link.Open(nullptr));
    QByteArray data;
    ASSERT_TRUE(link.Read(0x0800, 64, &data).Ok());
    sim.reset(); // the far end is gone: the pty master closes
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 3; ++i) {
        const TeleReport r = link.Read(0x0840, 64, &data);
        EXPECT_FALSE(r.Ok());
    }
    EXPECT_LT(t.elapsed(), 30000) << "no hang";
}

// An answer cut by a port change or a cancel: the device goes on sending the rest of it,
// which must not be taken for the echo or answer of the next exchange.
TEST(PtyLink, TheRestOfACutAnswerDoesNotSpoilTheNextExchange)
{
    const std::pair<const char *, std::function<void(TTeleThread &, const QString &)>> cases[] = {
        {"port change", [](TTeleThread &t, const QString &port) { t.SetPort(port, QString()); }},
        {"cancel", [](TTeleThread &t, const QString &) { t.Abort(); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        SimPty sim({QStringLiteral("--pace"), QStringLiteral("2400")}); // 64 bytes take about 0.3 s
        ASSERT_TRUE(sim.isRunning()) << sim.error().toStdString();
        SyncLink link(PtySettings(sim));
        ASSERT_TRUE(link.Open(nullptr));
        QTimer::singleShot(60, [&] { c.second(link.Thread(), sim.linkPath()); });
        QByteArray data;
        const TeleReport cut = link.Read(0x0800, 64, &data);
        EXPECT_EQ(cut.State(), 99);
        for (int i = 0; i < 3; ++i) {
            const TeleReport next = link.Read(0x0840 + 4 * i, 4, &data);
            EXPECT_TRUE(next.Ok()) << i << ": " << SyncLink::FailureText(next).toStdString();
        }
    }
}

TEST(PtyLink, MissingPortIsNamedInTheMessage)
{
    SyncLink::Settings s;
    s.Port = QStringLiteral("/dev/mirelo-no-such-port");
    ScriptedPrompter prompter;
    {
        SyncLink link(s, &prompter);
        EXPECT_FALSE(link.Open(nullptr));
        const TeleReport r = link.Read(0x0030, 4, nullptr);
        EXPECT_EQ(r.State(), 11);
    }
    ASSERT_EQ(prompter.Errors.size(), 1);
    EXPECT_TRUE(prompter.Errors.first().contains(QLatin1String("/dev/mirelo-no-such-port")));
    EXPECT_TRUE(prompter.Errors.first().startsWith(QLatin1String("Opening COM Port failed")));
}

} // namespace
