#include "support/FakeLink.h"
#include "link/TeleThread.h"
#include "shell/Texts.h"
#include "support/ScriptedPrompter.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <sys/resource.h>
#include <gtest/gtest.h>

namespace {

// Answers a request the way a well-behaved device does: own address, slave, L, code+0x80, data.
std::vector<quint8> Answer(const std::vector<quint8> &req, const std::vector<quint8> &data, int codeByte = -1)
{
    std::vector<quint8> a = {req[1], req[0], quint8(4 + data.size()), quint8(codeByte >= 0 ? codeByte : req[3] + 0x80)};
    a.insert(a.end(), data.begin(), data.end());
    return a;
}

class TeleThreadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetHandshake(false);
        device = std::make_shared<FakeDevice>();
        device->answer = [](const std::vector<quint8> &req) { return Answer(req, {}); };
        thread = std::make_unique<TTeleThread>();
        thread->SetReadTimeout(30);
        thread->SetPortFactory([this](const QString &) {
            auto p = std::make_unique<FakeLinkPort>(device);
            port.store(p.get());
            return p;
        });
        thread->SetPort(QStringLiteral("FAKE"), QStringLiteral("9600"));
        WaitOpen();
    }
    void TearDown() override
    {
        thread.reset();
        SetHandshake(false);
    }
    void WaitOpen()
    {
        QElapsedTimer t;
        t.start();
        while (thread->OpenAttempts() == 0 && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        ASSERT_TRUE(thread->PortOpen());
    }
    TeleReport Run(quint8 code, quint32 address, quint8 count, quint8 *data = nullptr, int capacity = 255)
    {
        EXPECT_TRUE(thread->Push(&requester, TeleDone, 0xAE, 0x37, code, address, count, data, capacity));
        TeleReport r;
        EXPECT_TRUE(requester.Wait(&r, 20000));
        return r;
    }

    std::shared_ptr<FakeDevice> device;
    std::unique_ptr<TTeleThread> thread;
    std::atomic<FakeLinkPort *> port{nullptr};
    TeleRequester requester;
};

TEST_F(TeleThreadTest, ReadRequestGoesOnTheLineAsAddressAloneThenRestAndChecksum)
{
    std::vector<quint8> data(48);
    for (int i = 0; i < 48; ++i)
        data[size_t(i)] = quint8(i + 1);
    device->answer = [&](const std::vector<quint8> &req) { return Answer(req, data); };
    quint8 image[276] = {};
    const TeleReport r = Run(5, 0x0030, 48, image + 22, 276 - 22);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(r.wParam, 0x00020000u);
    // lParam: own address, second byte, L = 52, answer code 0x85.
    EXPECT_EQ(r.lParam, 0x37AE3485u);
    const std::vector<quint8> w = port.load()->Written();
    const quint8 sum = quint8(0xAE + 0x37 + 7 + 5 + 0x00 + 0x30 + 0x30);
    const std::vector<quint8> expected = {0xAE, 0x37, 7, 5, 0x00, 0x30, 0x30, sum, 0x37};
    EXPECT_EQ(w, expected);
    for (int i = 0; i < 48; ++i)
        EXPECT_EQ(image[22 + i], i + 1);
    EXPECT_EQ(image[70], 0) << "nothing beyond the 48 bytes";
}

struct LayoutCase
{
    quint8 code;
    quint32 address;
    quint8 count;
    std::vector<quint8> bytes3toL; // L, code, ...
};

TEST_F(TeleThreadTest, EveryFunctionCodeIsLaidOutByItsTable)
{
    const quint8 d[4] = {0xD0, 0xD1, 0xD2, 0xD3};
    const LayoutCase cases[] = {
        {3, 0x1234, 2, {6, 3, 0xD0, 0xD1}},
        {4, 0x1234, 2, {8, 4, 0x12, 0x34, 0xD0, 0xD1}},
        {20, 0x0810, 1, {7, 20, 0x08, 0x10, 0xD0}},
        {36, 0x00A1B2C3, 2, {10, 36, 0x00, 0xA1, 0xB2, 0xC3, 0xD0, 0xD1}},
        {5, 0x0030, 48, {7, 5, 0x00, 0x30, 48}},
        {53, 0x2000, 16, {7, 53, 0x20, 0x00, 16}},
        {37, 0x00FF1234, 64, {9, 37, 0x00, 0xFF, 0x12, 0x34, 64}},
        {9, 0x01020304, 0, {8, 9, 1, 2, 3, 4}},
        {23, 0, 0, {4, 23}},
        {24, 0, 0, {4, 24}},
        {25, 0x1234, 7, {4, 25}},
        {26, 0, 3, {7, 26, 0xD0, 0xD1, 0xD2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.code));
        quint8 buffer[4];
        std::copy(d, d + 4, buffer);
        const size_t before = port.load()->Written().size();
        Run(c.code, c.address, c.count, buffer, 4);
        std::vector<quint8> w = port.load()->Written();
        w.erase(w.begin(), w.begin() + long(before));
        std::vector<quint8> expected = {0xAE, 0x37};
        expected.insert(expected.end(), c.bytes3toL.begin(), c.bytes3toL.end());
        quint8 sum = 0;
        for (quint8 x : expected)
            sum = quint8(sum + x);
        expected.push_back(sum);
        ASSERT_GE(w.size(), expected.size());
        EXPECT_EQ(std::vector<quint8>(w.begin(), w.begin() + long(expected.size())), expected);
    }
}

TEST_F(TeleThreadTest, UnknownCodeIsLoggedAndStillExchanged)
{
    QStringList log;
    QMutex m;
    thread->OnLog = [&](const QString &k, const QString &t) {
        QMutexLocker l(&m);
        log << k + QLatin1Char(' ') + t;
    };
    const TeleReport r = Run(0x42, 0, 0);
    QMutexLocker l(&m);
    EXPECT_TRUE(log.contains(QStringLiteral("S unbekannter Befehl: $42")));
    // Nothing was laid out, so the device cannot make sense of it; the exchange still ends in a report.
    EXPECT_NE(r.Result(), 2);
}

struct FailureCase
{
    const char *name;
    std::function<void(FakeDevice &)> setup;
    int state;
    int textIndex;
};

TEST_F(TeleThreadTest, EachLinkFailureEndsInItsStateAndText)
{
    const FailureCase cases[] = {
        {"no echo", [](FakeDevice &d) { d.echoAddress = false; }, 42, 13},
        {"wrong echo", [](FakeDevice &d) { d.echoOverride = 0x11; }, 13, 3},
        {"silence", [](FakeDevice &d) { d.answer = [](const std::vector<quint8> &) { return std::vector<quint8>{}; }; },
         46, 6},
        {"wrong own address",
         [](FakeDevice &d) {
             d.answer = [](const std::vector<quint8> &req) {
                 auto a = Answer(req, {});
                 a[0] = 0x99;
                 return a;
             };
         },
         17, 7},
        {"cut mid answer",
         [](FakeDevice &d) {
             d.answer = [](const std::vector<quint8> &req) { return Answer(req, {1, 2, 3, 4}); };
             d.cutAfter = 5;
         },
         19, 9},
        {"no checksum", [](FakeDevice &d) { d.sendChecksum = false; }, 20, 10},
        {"bad checksum", [](FakeDevice &d) { d.checksumDelta = 1; }, 21, 11},
        {"refused", [](FakeDevice &d) { d.answer = [](const std::vector<quint8> &req) { return Answer(req, {}, 0xF4); }; },
         22, 12},
        {"length below 3",
         [](FakeDevice &d) {
             d.answer = [](const std::vector<quint8> &req) { return std::vector<quint8>{req[1], req[0], 2}; };
         },
         19, 9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        *device = FakeDevice();
        port.load()->ResetDevice();
        device->answer = [](const std::vector<quint8> &req) { return Answer(req, {7, 7}); };
        c.setup(*device);
        quint8 buf[8] = {};
        const TeleReport r = Run(5, 0x0800, 2, buf, 8);
        EXPECT_EQ(r.State(), c.state);
        EXPECT_EQ(r.Result(), 255);
        EXPECT_EQ(TTeleThread::StateToTextIndex(r.State()), c.textIndex);
        EXPECT_FALSE(TeleText(c.textIndex).isEmpty());
    }
}

TEST_F(TeleThreadTest, FailingReadsAndWritesEndInTheirStates)
{
    // Write calls of one exchange: 0 slave address, 1 bytes 2..L, 2 checksum, 3 echo of
    // answer byte 1. A read is made to fail right after a given write.
    struct Case
    {
        const char *name;
        int failWrite, failReadAfter, state, textIndex;
    } cases[] = {
        {"sending the address", 0, -1, 11, 1},   {"first echo read", -1, 0, 12, 2},
        {"sending the telegram", 1, -1, 14, 4},  {"sending the checksum", 2, -1, 15, 5},
        {"first answer read", -1, 2, 16, 6},     {"echoing answer byte 1", 3, -1, 18, 8},
        {"answer byte 2", -1, 3, 19, 9},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh line for each case, so the call counters start at the exchange.
        *device = FakeDevice();
        device->failWriteCall = c.failWrite;
        device->failReadAfterWrite = c.failReadAfter;
        device->answer = [](const std::vector<quint8> &req) { return Answer(req, {}); };
        const int attempts = thread->OpenAttempts();
        thread->SetPort(QStringLiteral("FAKE"), QString());
        QElapsedTimer t;
        t.start();
        while (thread->OpenAttempts() == attempts && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        const TeleReport r = Run(4, 0x0800, 0);
        EXPECT_EQ(r.State(), c.state);
        EXPECT_EQ(r.Result(), 255);
        EXPECT_EQ(TTeleThread::StateToTextIndex(r.State()), c.textIndex);
    }
}

TEST_F(TeleThreadTest, WrongOwnAddressIsNotEchoed)
{
    device->answer = [](const std::vector<quint8> &req) {
        auto a = Answer(req, {});
        a[0] = 0x99;
        return a;
    };
    const TeleReport r = Run(4, 0x0800, 0);
    EXPECT_EQ(r.State(), 17);
    const auto w = port.load()->Written();
    EXPECT_NE(w.back(), 0x99);
}

TEST_F(TeleThreadTest, RefusedAnswerCarriesTheRefusalByteInLParam)
{
    device->answer = [](const std::vector<quint8> &req) { return Answer(req, {}, 0xF4); };
    const TeleReport r = Run(4, 0x0800, 0);
    EXPECT_EQ(r.State(), 22);
    EXPECT_EQ(r.lParam & 0xFF, 0xF4u);
}

TEST_F(TeleThreadTest, Code20AcceptsAnyAnswerCode)
{
    device->answer = [](const std::vector<quint8> &req) { return Answer(req, {}, 0x42); };
    quint8 d[2] = {1, 2};
    const TeleReport r = Run(20, 0x0800, 2, d, 2);
    EXPECT_TRUE(r.Ok());
}

TEST_F(TeleThreadTest, ShortReadAnswerFailsTheEvaluation)
{
    // A read answered with L = 4 carries no data: result 99, state stays 100.
    quint8 buf[8] = {};
    const TeleReport r = Run(5, 0x0800, 4, buf, 8);
    EXPECT_EQ(r.Result(), 99);
    EXPECT_EQ(r.State(), 100);
    EXPECT_EQ(TTeleThread::StateToTextIndex(r.State()), 15);
    EXPECT_EQ(TeleText(15), QStringLiteral("Fehler bei der Auswertung"));
}

TEST_F(TeleThreadTest, Code25NeverReportsSuccess)
{
    const TeleReport r = Run(25, 0, 0);
    EXPECT_EQ(r.Result(), 99);
}

TEST_F(TeleThreadTest, AnswerLongerThanTheBufferIsCut)
{
    std::vector<quint8> data(40, 0x5A);
    device->answer = [&](const std::vector<quint8> &req) { return Answer(req, data); };
    quint8 buf[16];
    std::fill(buf, buf + 16, 0);
    quint8 guard[8];
    std::fill(guard, guard + 8, 0xEE);
    // Asks for 40 bytes into a buffer of 10: only 10 are written.
    const TeleReport r = Run(5, 0x0800, 40, buf, 10);
    EXPECT_TRUE(r.Ok());
    EXPECT_EQ(buf[9], 0x5A);
    EXPECT_EQ(buf[10], 0);
    EXPECT_EQ(guard[0], 0xEE);
}

TEST_F(TeleThreadTest, AnswerCountIsLimitedToTheRequestedCount)
{
    device->answer = [](const std::vector<quint8> &req) { return Answer(req, {1, 2, 3, 4, 5, 6}); };
    quint8 buf[8] = {};
    ASSERT_TRUE(Run(5, 0x0800, 3, buf, 8).Ok());
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(buf[3], 0);
}

TEST_F(TeleThreadTest, HandshakeEchoesEveryAnswerByteButTheChecksum)
{
    for (bool hs : {false, true}) {
        SCOPED_TRACE(hs);
        SetHandshake(hs);
        device->handshake = hs;
        device->answer = [](const std::vector<quint8> &req) { return Answer(req, {0x11, 0x22}); };
        const size_t before = port.load()->Written().size();
        quint8 buf[4] = {};
        ASSERT_TRUE(Run(5, 0x0800, 2, buf, 4).Ok());
        auto w = port.load()->Written();
        w.erase(w.begin(), w.begin() + long(before));
        // Request (8 bytes), echo of answer byte 1, and with handshake bytes 2..L.
        std::vector<quint8> after(w.begin() + 8, w.end());
        if (hs)
            EXPECT_EQ(after, (std::vector<quint8>{0x37, 0xAE, 6, 0x85, 0x11, 0x22}));
        else
            EXPECT_EQ(after, (std::vector<quint8>{0x37}));
    }
}

TEST_F(TeleThreadTest, FifthRequestIsRefusedButCounted)
{
    // A silent device keeps the first exchange busy while the queue fills.
    device->answer = [](const std::vector<quint8> &) { return std::vector<quint8>{}; };
    thread->SetReadTimeout(5);
    std::atomic<int> pushes{0};
    thread->OnPush = [&] { ++pushes; };
    QStringList log;
    QMutex m;
    thread->OnLog = [&](const QString &k, const QString &t) {
        QMutexLocker l(&m);
        log << k + QLatin1Char(' ') + t;
    };
    int accepted = 0;
    for (int i = 0; i < 6; ++i)
        accepted += thread->Push(&requester, TeleDone, 0xAE, 0x37, 4, 0x800, 0, nullptr, 0) ? 1 : 0;
    // One is running, four wait, the sixth is dropped.
    EXPECT_EQ(accepted, 5);
    EXPECT_EQ(pushes.load(), 6);
    {
        QMutexLocker l(&m);
        EXPECT_TRUE(log.contains(QStringLiteral("S Push: Stack voll")));
    }
    TeleReport r;
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(requester.Wait(&r, 20000));
    EXPECT_FALSE(requester.Wait(&r, 200)) << "the refused request is never reported";
}

TEST_F(TeleThreadTest, PushLogLineShowsAddressesCodeCountAndData)
{
    QStringList log;
    QMutex m;
    thread->OnLog = [&](const QString &k, const QString &t) {
        QMutexLocker l(&m);
        log << k + QLatin1Char(' ') + t;
    };
    quint8 d[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    Run(4, 0x0812, 10, d, 10);
    QMutexLocker l(&m);
    EXPECT_TRUE(log.contains(QStringLiteral("S Push: AE,37,04,0812,0A-0102030405060708"))) << log.join('\n').toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("E 37,AE,04,84")));
}

TEST_F(TeleThreadTest, FreeReceiveCollectsBytesWhileIdle)
{
    ReceivedText::Clear();
    port.load()->Inject({'O', 'K', '\r'});
    QElapsedTimer t;
    t.start();
    while (ReceivedText::Get().size() < 3 && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(ReceivedText::Take(), QStringLiteral("OK\r"));
}

// A port change or a cancel ends a running exchange in a report (state 99), never silently,
// and the link works afterwards.
TEST_F(TeleThreadTest, PortChangeOrAbortEndsTheRunningExchangeInItsReport)
{
    const std::pair<const char *, std::function<void()>> cases[] = {
        {"SetPort", [this] { thread->SetPort(QStringLiteral("FAKE"), QString()); }},
        {"Abort", [this] { thread->Abort(); }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.first);
        device->answer = [](const std::vector<quint8> &) { return std::vector<quint8>{}; };
        thread->SetReadTimeout(200);
        ASSERT_TRUE(thread->Push(&requester, TeleDone, 0xAE, 0x37, 4, 0x800, 0, nullptr, 0));
        QThread::msleep(50);
        QElapsedTimer t;
        t.start();
        c.second();
        TeleReport r;
        ASSERT_TRUE(requester.Wait(&r, 3000));
        EXPECT_LT(t.elapsed(), 1500) << "ends at once, not after the retries";
        EXPECT_EQ(r.State(), 99);
        EXPECT_EQ(r.Result(), 255);
        device->answer = [](const std::vector<quint8> &req) { return Answer(req, {}); };
        thread->SetReadTimeout(30);
        EXPECT_TRUE(Run(4, 0x800, 0).Ok());
        EXPECT_EQ(requester.Received(), 2);
        requester.Reset();
    }
}

// A request pushed from a report handler right after a port change runs on the reopened
// port; so do requests queued before the change.
TEST_F(TeleThreadTest, RequestsQueuedAroundAPortChangeRunOnTheReopenedPort)
{
    const int attempts = thread->OpenAttempts();
    int followUps = 0;
    QObject::connect(&requester, &TeleRequester::Reported, [&](quint16, quint32, quint32) {
        if (followUps++ == 0) {
            thread->SetPort(QStringLiteral("FAKE"), QStringLiteral("2400"));
            EXPECT_TRUE(thread->Push(&requester, TeleDone, 0xAE, 0x37, 4, 0x801, 0, nullptr, 0));
            EXPECT_TRUE(thread->Push(&requester, TeleDone, 0xAE, 0x37, 4, 0x802, 0, nullptr, 0));
        }
    });
    ASSERT_TRUE(thread->Push(&requester, TeleDone, 0xAE, 0x37, 4, 0x800, 0, nullptr, 0));
    QElapsedTimer t;
    t.start();
    while (requester.Received() < 3 && t.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(requester.Received(), 3);
    EXPECT_EQ(thread->OpenAttempts(), attempts + 1);
    EXPECT_EQ(thread->BaudText(), QStringLiteral("2400"));
    // Both follow-ups reached the new port's far end, in order (8 bytes each on the wire).
    const std::vector<quint8> w = port.load()->Written();
    ASSERT_EQ(w.size(), 16u);
    EXPECT_EQ(w[5], 0x01);
    EXPECT_EQ(w[13], 0x02);
    EXPECT_EQ(thread->QueueCount(), 0);
}

TEST_F(TeleThreadTest, ClosedPortFailsAtOnceInState11)
{
    thread->SetPortFactory([](const QString &) -> std::unique_ptr<LinkPort> {
        struct Refusing : FakeLinkPort
        {
            using FakeLinkPort::FakeLinkPort;
            bool open(int, QString *reason) override
            {
                *reason = QStringLiteral("Opening COM Port failed: busy");
                return false;
            }
        };
        return std::make_unique<Refusing>(std::make_shared<FakeDevice>());
    });
    const int attempts = thread->OpenAttempts();
    thread->SetPort(QStringLiteral("X"), QString());
    QElapsedTimer t;
    t.start();
    while (thread->OpenAttempts() == attempts && t.elapsed() < 3000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_FALSE(thread->PortOpen());
    const TeleReport r = Run(5, 0x30, 4);
    EXPECT_EQ(r.State(), 11);
    EXPECT_EQ(r.Result(), 255);
}

// The line dies (adapter pulled): the port closes, the user is told once naming the port,
// the dead line costs no CPU, and the next request after the adapter is back reopens it.
TEST_F(TeleThreadTest, LostLineIsClosedToldOnceIdlesAndReopensOnTheNextRequest)
{
    for (const bool duringExchange : {false, true}) {
        SCOPED_TRACE(duringExchange ? "during an exchange" : "while idle");
        ScriptedPrompter prompter;
        thread->SetPrompter(&prompter);
        if (duringExchange) {
            device->answer = [this](const std::vector<quint8> &) {
                device->gone = true;
                return std::vector<quint8>{};
            };
            ASSERT_TRUE(thread->Push(&requester, TeleDone, 0xAE, 0x37, 5, 0x30, 4, nullptr, 0));
            TeleReport r;
            ASSERT_TRUE(requester.Wait(&r, 5000));
            EXPECT_FALSE(r.Ok());
        } else {
            device->gone = true;
        }
        QElapsedTimer t;
        t.start();
        // While idle the worker tells the user; a running exchange leaves it to its report.
        const qsizetype boxes = duringExchange ? 0 : 1;
        while ((thread->PortOpen() || prompter.Errors.size() < boxes) && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        EXPECT_FALSE(thread->PortOpen());
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        QThread::msleep(400); // only the worker runs meanwhile
        getrusage(RUSAGE_SELF, &after);
        const auto us = [](const rusage &u) {
            return qint64(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000 + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
        };
        EXPECT_LT(us(after) - us(before), 4000) << "a dead line must cost below 1 % of a core";
        ASSERT_EQ(prompter.Errors.size(), boxes);
        EXPECT_TRUE(thread->PortProblem().startsWith(GetText(420))) << thread->PortProblem().toStdString();
        EXPECT_TRUE(thread->PortProblem().endsWith(QLatin1String("FAKE")));
        if (boxes)
            EXPECT_EQ(thread->PortProblem(), prompter.Errors.first());

        // Still gone: the request fails at once without another box.
        EXPECT_EQ(Run(5, 0x30, 4).State(), 11);
        device->gone = false;
        device->answer = [](const std::vector<quint8> &req) { return Answer(req, {}); };
        EXPECT_TRUE(Run(4, 0x800, 0).Ok());
        EXPECT_TRUE(thread->PortOpen());
        EXPECT_TRUE(thread->PortProblem().isEmpty());
        EXPECT_EQ(prompter.Errors.size(), boxes);
        thread->SetPrompter(nullptr);
        requester.Reset();
    }
}

TEST(TeleThreadStates, StateToTextIndexCoversTheTable)
{
    const std::pair<int, int> table[] = {{11, 1},  {12, 2},  {13, 3},   {14, 4},   {15, 5},  {16, 6},
                                         {46, 6},  {17, 7},  {18, 8},   {19, 9},   {20, 10}, {21, 11},
                                         {22, 12}, {42, 13}, {99, 14},  {100, 15}, {0, 16},  {10, 16},
                                         {110, 16}, {255, 16}, {-1, 16}, {256, 16}};
    for (const auto &e : table)
        EXPECT_EQ(TTeleThread::StateToTextIndex(e.first), e.second) << e.first;
    EXPECT_EQ(CL_Tele().Consts.size(), 17);
    EXPECT_TRUE(TeleText(0).isEmpty());
    EXPECT_EQ(TeleText(16), QStringLiteral("Nicht definiert !"));
}

} // namespace
