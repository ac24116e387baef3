#include "FdLine.h"
#include "SimServer.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <thread>
#include <ctime>

namespace {

using Bytes = std::vector<quint8>;

// A device served on one end of a socket pair in its own thread; the test is the PC on the other.
class Served
{
public:
    explicit Served(int pace = 0, bool handshake = false)
    {
        socketpair(AF_UNIX, SOCK_STREAM, 0, fds);
        device.setDemoIdentification();
        device.setHandshake(handshake);
        server = std::make_unique<SimServer>(device, fds[1], fds[1]);
        server->setPace(pace);
        thread = std::thread([this] {
            server->run(&stop);
            timespec cpu{};
            clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
            serverCpuUs = cpu.tv_sec * 1000000LL + cpu.tv_nsec / 1000;
        });
    }
    ~Served() { finish(); }
    // Stops the server; its CPU time is known afterwards.
    void finish()
    {
        if (!thread.joinable())
            return;
        stop = 1;
        thread.join();
        close(fds[0]);
        close(fds[1]);
    }
    int pc() const { return fds[0]; }

    SimDevice device;
    std::unique_ptr<SimServer> server;
    volatile sig_atomic_t stop = 0;
    int fds[2] = {-1, -1};
    std::thread thread;
    long long serverCpuUs = 0;
};

} // namespace

TEST(SimServer, ServesAThousandExchangesWithoutLoss)
{
    Served s;
    FdLine line(s.pc(), 2000);
    QElapsedTimer t;
    t.start();
    int ok = 0;
    for (int i = 0; i < 1000; ++i)
        ok += PcExchange(line, Telegram(0xAE, 0x01, 5, {0x00, 0x30, 48}), false).state == 0;
    const qint64 ms = t.elapsed();
    s.finish();
    EXPECT_EQ(ok, 1000);
    // Speed is measured by bench/link_overhead; here only that nothing is lost or hangs.
    EXPECT_LT(ms, 60000) << ms << " ms";
}

TEST(SimServer, PaceMakesBytesTakeTheirLineTime)
{
    Served s(9600);
    FdLine line(s.pc(), 2000);
    QElapsedTimer t;
    t.start();
    const PcOutcome o = PcExchange(line, Telegram(0xAE, 0x01, 5, {0x00, 0x30, 48}), false);
    const qint64 ms = t.elapsed();
    EXPECT_EQ(o.state, 0);
    // 8 request bytes in and 53 answer bytes out at 1.04 ms each; the first ones in each
    // direction may go without waiting.
    EXPECT_GE(ms, 58);
    EXPECT_LT(ms, 2000);
}

TEST(SimServer, HandshakeOverASocket)
{
    Served s(0, true);
    FdLine line(s.pc(), 2000);
    for (int i = 0; i < 20; ++i)
        ASSERT_EQ(PcExchange(line, Telegram(0xAE, 0x01, 5, {0x00, 0x30, 48}), true).state, 0) << i;
}

TEST(SimServer, HalfTelegramIsDroppedAfterAPause)
{
    Served s;
    FdLine line(s.pc(), 2000);
    line.send({0xAE, 0x01});
    quint8 echo = 0;
    ASSERT_TRUE(line.read(&echo));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_EQ(PcExchange(line, Telegram(0xAE, 0x01, 24, {}), false).state, 0);
}

TEST(SimServer, EndsWhenTheInputEnds)
{
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    SimDevice device;
    SimServer server(device, fds[1], fds[1]);
    const Bytes t = Telegram(0xAE, 0x01, 24, {});
    ASSERT_EQ(write(fds[0], t.data(), t.size()), ssize_t(t.size()));
    shutdown(fds[0], SHUT_WR);
    server.run(nullptr); // returns by itself
    EXPECT_EQ(server.bytesIn(), t.size());
    EXPECT_EQ(device.counters().requests, 1u);
    close(fds[0]);
    close(fds[1]);
}
