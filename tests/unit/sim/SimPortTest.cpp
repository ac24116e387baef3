#include "PcModel.h"
#include "SimPort.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

using Bytes = std::vector<quint8>;

// The PC's line over a LinkPort, with a short patience so failures do not slow the tests.
class PortLine : public PcLine
{
public:
    explicit PortLine(LinkPort &p, int timeoutMs = 50) : port(p), timeout(timeoutMs) {}
    void send(const Bytes &bytes) override { port.write(bytes.data(), int(bytes.size()), 1000); }
    bool read(quint8 *byte) override { return port.readByte(byte, timeout) == LinkPort::ReadByte; }
    LinkPort &port;
    int timeout;
};

// Every test starts from its own device and leaves none behind.
class SimPortTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        device = std::make_shared<SimDevice>();
        device->setDemoIdentification();
        SimPort::resetSharedDevice(device);
    }
    void TearDown() override { SimPort::resetSharedDevice(); }
    std::shared_ptr<SimDevice> device;
};

} // namespace

TEST_F(SimPortTest, OpensAlwaysAndReportsTheLines)
{
    SimPort port;
    EXPECT_EQ(port.name(), QStringLiteral("SIM"));
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.modemStatus(), 0u);
    quint8 b = 0;
    EXPECT_EQ(port.readByte(&b, 10), LinkPort::ReadFailed);
    const quint8 slave = 0xAE;
    EXPECT_FALSE(port.write(&slave, 1, 10));

    QString reason;
    ASSERT_TRUE(port.open(19200, &reason));
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.baud(), 19200);
    const unsigned status = port.modemStatus();
    EXPECT_TRUE(status & LinkPort::CTS);
    EXPECT_TRUE(status & LinkPort::DSR);
    EXPECT_FALSE(status & LinkPort::DCD);
    EXPECT_FALSE(status & LinkPort::RING);
    EXPECT_TRUE(port.setRts(false));
    EXPECT_TRUE(port.setDtr(true));
    EXPECT_FALSE(port.rts());
    port.close();
    EXPECT_FALSE(port.isOpen());
}

TEST_F(SimPortTest, ExchangesThroughTheSharedDevice)
{
    SimPort port;
    port.open(9600, nullptr);
    PortLine line(port);
    const PcOutcome o = PcExchange(line, Telegram(0xAE, 0x01, 5, {0x00, 0x30, 48}), false);
    EXPECT_EQ(o.state, 0);
    EXPECT_EQ(Bytes(o.answer.begin() + 4, o.answer.end()), device->bytes(0x30, 48));
    EXPECT_EQ(device->counters().answers, 1u);

    // A second port reaches the same device, and sees what the first one wrote.
    SimPort other;
    other.open(9600, nullptr);
    PortLine otherLine(other);
    EXPECT_EQ(PcExchange(otherLine, Telegram(0xAE, 0x01, 4, {0x09, 0x00, 0x42}), false).state, 0);
    EXPECT_EQ(device->byteAt(0x0900), 0x42);
}

TEST_F(SimPortTest, ReadWaitsForTheTimeOut)
{
    SimPort port;
    port.open(9600, nullptr);
    quint8 b = 0;
    QElapsedTimer t;
    t.start();
    EXPECT_EQ(port.readByte(&b, 60), LinkPort::ReadTimeout);
    EXPECT_GE(t.elapsed(), 55);
    EXPECT_EQ(port.readByte(&b, 0), LinkPort::ReadTimeout);
}

TEST_F(SimPortTest, WakeEndsAWaitAtOnce)
{
    SimPort port;
    port.open(9600, nullptr);
    quint8 b = 0;
    std::atomic<int> result{-10};
    QElapsedTimer t;
    t.start();
    std::thread reader([&] { result = port.readByte(&b, 5000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    port.wake();
    reader.join();
    EXPECT_EQ(result.load(), LinkPort::ReadWoken);
    EXPECT_LT(t.elapsed(), 2000);

    // A wake that comes first ends the next read, once.
    port.wake();
    EXPECT_EQ(port.readByte(&b, 5000), LinkPort::ReadWoken);
    EXPECT_EQ(port.readByte(&b, 10), LinkPort::ReadTimeout);
}

TEST_F(SimPortTest, CloseEndsAWait)
{
    SimPort port;
    port.open(9600, nullptr);
    quint8 b = 0;
    std::atomic<int> result{-10};
    std::thread reader([&] { result = port.readByte(&b, 5000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    port.close();
    reader.join();
    EXPECT_EQ(result.load(), LinkPort::ReadFailed);
}

TEST_F(SimPortTest, DiscardDropsWaitingBytes)
{
    device->addFault(QStringLiteral("garbage:1"));
    SimPort port;
    port.open(9600, nullptr);
    PortLine line(port);
    EXPECT_EQ(PcExchange(line, Telegram(0xAE, 0x01, 24, {}), false).state, 0);
    quint8 b = 0;
    ASSERT_EQ(port.readByte(&b, 0), LinkPort::ReadByte); // the garbage behind the answer
    port.discardInput();
    EXPECT_EQ(port.readByte(&b, 0), LinkPort::ReadTimeout);
}

TEST_F(SimPortTest, APauseOnTheLineResetsAHalfTelegram)
{
    SimPort port;
    port.open(9600, nullptr);
    const Bytes start{0xAE, 0x01, 0x07};
    port.write(start.data(), 3, 100);
    quint8 b = 0;
    ASSERT_EQ(port.readByte(&b, 100), LinkPort::ReadByte);
    std::this_thread::sleep_for(std::chrono::milliseconds(550));
    PortLine line(port);
    EXPECT_EQ(PcExchange(line, Telegram(0xAE, 0x01, 5, {0x00, 0x30, 2}), false).state, 0);
}

TEST_F(SimPortTest, HandshakeOverThePort)
{
    device->setHandshake(true);
    SimPort port;
    port.open(9600, nullptr);
    PortLine line(port);
    const PcOutcome o = PcExchange(line, Telegram(0xAE, 0x01, 5, {0x00, 0x30, 20}), true);
    EXPECT_EQ(o.state, 0);
    EXPECT_EQ(Bytes(o.answer.begin() + 4, o.answer.end()), device->bytes(0x30, 20));
}

TEST_F(SimPortTest, TheFactoryGivesASimPort)
{
    RegisterSimPort();
    std::unique_ptr<LinkPort> port = CreateLinkPort(QStringLiteral("SIM"));
    ASSERT_TRUE(port);
    EXPECT_EQ(port->name(), QStringLiteral("SIM"));
    EXPECT_NE(dynamic_cast<SimPort *>(port.get()), nullptr);
}

TEST_F(SimPortTest, WorkerExchangesWhileTheMainThreadChangesTheDevice)
{
    SimPort port;
    port.open(9600, nullptr);
    std::atomic<int> failures{0};
    std::thread worker([&] {
        PortLine line(port, 1000);
        for (int i = 0; i < 300; ++i) {
            if (PcExchange(line, Telegram(0xAE, 0x01, 5, {0x12, 0x00, 16}), false).state != 0)
                ++failures;
        }
    });
    for (int i = 0; i < 300; ++i) {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        device->setByte(0x1200 + quint32(i % 16), quint8(i));
    }
    worker.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST(SimPortDefault, DeviceComesFromTheNamedFileOrIsMadeUp)
{
    const QByteArray oldDevice = qgetenv("MIRELO_SIM_DEVICE");
    const QByteArray oldBase = qgetenv("MIRELO_SIM_BASE");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("d.101"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray content(256 + 48, '\x11');
        content.replace(256, 10, "Z101 TEST ");
        f.write(content);
    }
    qputenv("MIRELO_SIM_DEVICE", QFile::encodeName(path));
    qputenv("MIRELO_SIM_BASE", "1000");
    QString error;
    std::shared_ptr<SimDevice> d = SimPort::createDefaultDevice(&error);
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(d->byteAt(0x1000), 0x11);
    EXPECT_EQ(d->byteAt(0x1100), 0x00);
    EXPECT_EQ(d->byteAt(0x0030), 'Z');

    qputenv("MIRELO_SIM_DEVICE", QFile::encodeName(dir.filePath(QStringLiteral("none.202"))));
    d = SimPort::createDefaultDevice(&error);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(d->bytes(0x0030, 10), (Bytes{'Z', '2', '0', '2', ' ', 'D', 'E', 'M', 'O', ' '}));

    for (const auto &[name, old] : {std::make_pair("MIRELO_SIM_DEVICE", oldDevice), std::make_pair("MIRELO_SIM_BASE", oldBase)}) {
        if (old.isNull())
            qunsetenv(name);
        else
            qputenv(name, old);
    }
}
