#include "PcModel.h"
#include "SimDevice.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<quint8>;
constexpr quint8 Slave = 0xAE;
constexpr quint8 Own = 0x01;

// The device as the PC's line: what it sends waits in a queue until the PC reads it.
class DeviceLine : public PcLine
{
public:
    explicit DeviceLine(SimDevice &d) : device(d) {}
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

PcOutcome Exchange(SimDevice &d, quint8 code, const Bytes &payload, DeviceLine *keep = nullptr)
{
    DeviceLine local(d);
    DeviceLine &line = keep ? *keep : local;
    return PcExchange(line, Telegram(d.slaveAddress(), Own, code, payload), d.handshake());
}

Bytes Data(const PcOutcome &o)
{
    return o.answer.size() > 4 ? Bytes(o.answer.begin() + 4, o.answer.end()) : Bytes();
}

Bytes Feed(SimDevice &d, const Bytes &bytes)
{
    Bytes out;
    for (quint8 b : bytes) {
        Bytes r = d.receive(b);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

Bytes Pattern(int n, int start = 0)
{
    Bytes b;
    for (int i = 0; i < n; ++i)
        b.push_back(quint8(start + i * 7));
    return b;
}

QString WriteFile(const QTemporaryDir &dir, const QString &name, const Bytes &content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char *>(content.data()), qint64(content.size()));
    return path;
}

} // namespace

TEST(SimDevice, ReadOfIdentificationIsFramedLikeTheDevice)
{
    SimDevice d;
    d.setDemoIdentification();
    const Bytes t = Telegram(Slave, Own, 5, {0x00, 0x30, 48});
    // Only the address byte is echoed; the rest of the request draws nothing until the checksum.
    EXPECT_EQ(d.receive(t[0]), Bytes{Slave});
    for (size_t i = 1; i + 1 < t.size(); ++i)
        EXPECT_TRUE(d.receive(t[i]).empty()) << i;
    const Bytes first = d.receive(t.back());
    ASSERT_EQ(first, Bytes{Own}); // answer byte 1 alone, waiting for its echo
    const Bytes rest = d.receive(Own);
    ASSERT_EQ(rest.size(), 52u); // bytes 2..52 and the checksum
    EXPECT_EQ(rest[0], Slave);
    EXPECT_EQ(rest[1], 52);
    EXPECT_EQ(rest[2], 0x85);
    EXPECT_EQ(Bytes(rest.begin() + 3, rest.end() - 1), d.bytes(0x30, 48));
    quint8 sum = Own;
    for (size_t i = 0; i + 1 < rest.size(); ++i)
        sum = quint8(sum + rest[i]);
    EXPECT_EQ(rest.back(), sum);
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(rest.data() + 3), 10), QByteArray("Z202 DEMO "));
    EXPECT_TRUE(d.isIdle());
    EXPECT_EQ(d.counters().requests, 1u);
    EXPECT_EQ(d.counters().answers, 1u);
}

TEST(SimDevice, ListensOnlyToItsOwnAddress)
{
    struct Case { int slave; Bytes noise; };
    const Case cases[] = {{0xAE, {0x00, 0x01, 0xAF, 0x70, 0xFE, 0x2D}}, {0x70, {0xAE, 0x71, 0x00}}, {0xFE, {0xAE, 0xFF}}};
    for (const Case &c : cases) {
        SimDevice d;
        d.setSlaveAddress(quint8(c.slave));
        EXPECT_TRUE(Feed(d, c.noise).empty()) << c.slave;
        EXPECT_TRUE(d.isIdle());
        const PcOutcome o = Exchange(d, 24, {});
        EXPECT_EQ(o.state, 0) << c.slave;
        ASSERT_GE(o.answer.size(), 2u);
        EXPECT_EQ(o.answer[1], c.slave); // the device names itself in byte 2
    }
}

TEST(SimDevice, BadRequestChecksumIsAnsweredWithSilence)
{
    SimDevice d;
    Bytes t = Telegram(Slave, Own, 5, {0x00, 0x30, 4});
    t.back() = quint8(t.back() + 1);
    EXPECT_EQ(Feed(d, t), Bytes{Slave}); // the echo, then nothing
    EXPECT_TRUE(d.isIdle());
    EXPECT_EQ(d.counters().rejected, 1u);
    EXPECT_EQ(d.counters().requests, 0u);
    EXPECT_EQ(Exchange(d, 5, {0x00, 0x30, 4}).state, 0); // ready for the next one at once
}

TEST(SimDevice, ChecksumIncludesTheSlaveAddress)
{
    SimDevice d;
    // A checksum over bytes 2..L only, as a sender that forgets byte 1 would make it.
    Bytes t = Telegram(Slave, Own, 24, {});
    t.back() = quint8(t.back() - Slave);
    EXPECT_EQ(Feed(d, t), Bytes{Slave});
    EXPECT_EQ(d.counters().rejected, 1u);
}

TEST(SimDevice, AbsurdLengthMakesTheDeviceDeafUntilTheLinePauses)
{
    for (int length : {0, 1, 2, 3}) {
        SimDevice d;
        EXPECT_EQ(Feed(d, {Slave, Own, quint8(length)}), Bytes{Slave}) << length;
        // What follows is not taken as a new telegram, not even the address byte.
        EXPECT_TRUE(Feed(d, {5, 0, Slave, Own, 7, 5, 0, 0x30, 1}).empty()) << length;
        EXPECT_EQ(d.counters().rejected, 1u);
        d.lineIdle();
        EXPECT_EQ(Exchange(d, 5, {0x00, 0x30, 1}).state, 0) << length;
    }
}

TEST(SimDevice, LineIdleDropsAHalfTelegram)
{
    SimDevice d;
    Feed(d, {Slave, Own, 7, 5});
    EXPECT_FALSE(d.isIdle());
    d.lineIdle();
    EXPECT_TRUE(d.isIdle());
    EXPECT_EQ(Exchange(d, 5, {0x00, 0x30, 2}).state, 0);
    EXPECT_EQ(d.counters().requests, 1u);
}

TEST(SimDevice, WithoutHandshakeTheAnswerFollowsTheFirstEchoAtOnce)
{
    SimDevice d;
    d.setBytes(0x1000, {1, 2, 3});
    EXPECT_EQ(Feed(d, Telegram(Slave, Own, 5, {0x10, 0x00, 3})), (Bytes{Slave, Own}));
    const Bytes rest = d.receive(Own);
    EXPECT_EQ(rest, (Bytes{Slave, 7, 0x85, 1, 2, 3, quint8(Own + Slave + 7 + 0x85 + 6)}));
}

TEST(SimDevice, HandshakeSendsEachByteAfterTheEchoOfThePreviousOne)
{
    SimDevice d;
    d.setHandshake(true);
    d.setBytes(0x1000, {0x11, 0x22});
    EXPECT_EQ(Feed(d, Telegram(Slave, Own, 5, {0x10, 0x00, 2})), (Bytes{Slave, Own}));
    const Bytes expected{Own, Slave, 6, 0x85, 0x11, 0x22};
    Bytes got{Own};
    // Echo every byte up to L; each echo draws exactly the next byte.
    for (size_t i = 0; i + 1 < expected.size(); ++i) {
        const Bytes next = d.receive(got.back());
        ASSERT_EQ(next.size(), 1u) << i;
        got.push_back(next[0]);
    }
    EXPECT_EQ(got, expected);
    // The echo of byte L draws the checksum; the checksum itself wants no echo.
    const Bytes sum = d.receive(got.back());
    EXPECT_EQ(sum, Bytes{quint8(Own + Slave + 6 + 0x85 + 0x11 + 0x22)});
    EXPECT_TRUE(d.isIdle());
    EXPECT_EQ(d.counters().answers, 1u);
}

TEST(SimDevice, WrongEchoEndsTheAnswerAndMayStartANewTelegram)
{
    for (bool handshake : {false, true}) {
        SimDevice d;
        d.setHandshake(handshake);
        const Bytes t = Telegram(Slave, Own, 24, {});
        EXPECT_EQ(Feed(d, t), (Bytes{Slave, Own}));
        // The PC gave up and starts over: its address byte is echoed as a fresh start.
        EXPECT_EQ(d.receive(Slave), Bytes{Slave}) << handshake;
        EXPECT_EQ(Feed(d, Bytes(t.begin() + 1, t.end())), Bytes{Own});
        EXPECT_EQ(d.counters().answers, 0u);
        EXPECT_EQ(d.counters().requests, 2u);
    }
}

TEST(SimDevice, FunctionCodes)
{
    struct Case
    {
        const char *name;
        quint8 code;
        Bytes payload;
        quint8 answerCode;
        Bytes data;
        int state;
        int result;
    };
    const Bytes at1234{0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6};
    const Case cases[] = {
        {"write without address", 3, {9, 8, 7}, 0x83, {}, 0, 2},
        {"write 16-bit", 4, {0x20, 0x00, 1, 2}, 0x84, {}, 0, 2},
        {"protected write", 20, {0x20, 0x00, 1, 2}, 0x94, {}, 0, 2},
        {"write 32-bit", 36, {0x00, 0x01, 0x00, 0x00, 5}, 0xA4, {}, 0, 2},
        {"read 16-bit", 5, {0x12, 0x34, 4}, 0x85, {0xA1, 0xA2, 0xA3, 0xA4}, 0, 2},
        {"read events", 53, {0x12, 0x35, 2}, 0xB5, {0xA2, 0xA3}, 0, 2},
        {"read 32-bit low", 37, {0x00, 0x00, 0x12, 0x34, 3}, 0xA5, {0xA1, 0xA2, 0xA3}, 0, 2},
        {"read 32-bit high", 37, {0x00, 0x20, 0x00, 0x00, 2}, 0xA5, {0xC1, 0xC2}, 0, 2},
        {"read 32-bit no count", 9, {0x00, 0x00, 0x12, 0x36}, 0x89, {0xA3, 0xA4, 0xA5, 0xA6}, 0, 2},
        {"modem test", 23, {}, 0x97, {}, 0, 2},
        {"acknowledge alarms", 24, {}, 0x98, {}, 0, 2},
        {"clear diagnosis", 25, {}, 0x99, {}, 100, 99},
        {"identification code", 26, {'1', '2', '3', '4'}, 0x9A, {}, 0, 2},
        {"unknown code", 0x42, {1, 2}, 0xFF, {}, 22, 255},
        {"read of nothing", 5, {0x12, 0x34, 0}, 0x85, {}, 100, 99},
        {"write too short for its address", 4, {0x20}, 0xFF, {}, 22, 255},
        {"read without count", 5, {0x12, 0x34}, 0xFF, {}, 22, 255},
    };
    for (const Case &c : cases) {
        SimDevice d;
        d.setBytes(0x1234, at1234);
        d.setBytes(0x200000, {0xC1, 0xC2});
        const PcOutcome o = Exchange(d, c.code, c.payload);
        EXPECT_EQ(o.state, c.state) << c.name;
        EXPECT_EQ(o.result, c.result) << c.name;
        ASSERT_GE(o.answer.size(), 4u) << c.name;
        EXPECT_EQ(o.answer[0], Own) << c.name;
        EXPECT_EQ(o.answer[2], 4 + c.data.size()) << c.name;
        EXPECT_EQ(o.answer[3], c.answerCode) << c.name;
        EXPECT_EQ(Data(o), c.data) << c.name;
    }
}

TEST(SimDevice, WritesAreReadBackAtTheirAddress)
{
    struct Case { const char *name; quint8 writeCode; Bytes address; quint8 readCode; };
    const Case cases[] = {
        {"16-bit", 4, {0x08, 0x10}, 5},
        {"protected", 20, {0x08, 0x10}, 5},
        {"32-bit in the 64 KB", 36, {0x00, 0x00, 0x08, 0x10}, 37},
        {"32-bit above", 36, {0x00, 0xFE, 0x00, 0x00}, 37},
        {"32-bit at the top", 36, {0xFF, 0xFF, 0xFF, 0xF0}, 37},
    };
    for (const Case &c : cases) {
        SimDevice d;
        const Bytes data = Pattern(12, 3);
        Bytes write = c.address;
        write.insert(write.end(), data.begin(), data.end());
        ASSERT_EQ(Exchange(d, c.writeCode, write).state, 0) << c.name;
        Bytes read = c.address;
        read.push_back(quint8(data.size()));
        const PcOutcome o = Exchange(d, c.readCode, read);
        EXPECT_EQ(o.state, 0) << c.name;
        EXPECT_EQ(Data(o), data) << c.name;
    }
    // A 32-bit address above 0xFFFF is not the same cell as its low 16 bits.
    SimDevice d;
    Exchange(d, 36, {0x00, 0x01, 0x00, 0x10, 0x55});
    EXPECT_EQ(d.byteAt(0x10010), 0x55);
    EXPECT_EQ(d.byteAt(0x0010), 0x00);
}

TEST(SimDevice, SixteenBitAddressesWrapInsideTheMemory)
{
    SimDevice d;
    d.setBytes(0xFFFE, {1, 2});
    d.setBytes(0x0000, {3, 4});
    EXPECT_EQ(Data(Exchange(d, 5, {0xFF, 0xFE, 4})), (Bytes{1, 2, 3, 4}));
    Exchange(d, 4, {0xFF, 0xFF, 9, 9});
    EXPECT_EQ(d.byteAt(0xFFFF), 9);
    EXPECT_EQ(d.byteAt(0x0000), 9);
    EXPECT_EQ(d.byteAt(0x10000), 0); // never spills into the 32-bit store
}

TEST(SimDevice, CountAbove251IsAnsweredWith251Bytes)
{
    struct Case { int count; size_t expected; };
    for (const Case &c : {Case{250, 250}, Case{251, 251}, Case{252, 251}, Case{255, 251}}) {
        SimDevice d;
        const PcOutcome o = Exchange(d, 5, {0x00, 0x00, quint8(c.count)});
        EXPECT_EQ(o.state, 0) << c.count;
        EXPECT_EQ(Data(o).size(), c.expected) << c.count;
        EXPECT_EQ(o.answer[2], 4 + c.expected) << c.count;
    }
}

TEST(SimDevice, LongestRequestIsTaken)
{
    SimDevice d;
    Bytes payload{0x40, 0x00};
    const Bytes data = Pattern(249, 1); // L = 255
    payload.insert(payload.end(), data.begin(), data.end());
    EXPECT_EQ(Exchange(d, 4, payload).state, 0);
    EXPECT_EQ(d.bytes(0x4000, 249), data);
}

TEST(SimDevice, RefusalPerFunctionCode)
{
    SimDevice d;
    d.setRefusal(4, 0xF4);
    d.setRefusal(26, 0xF5);
    d.setRefusal(20, 0xF4);
    PcOutcome o = Exchange(d, 4, {0x08, 0x00, 7});
    EXPECT_EQ(o.state, 22);
    EXPECT_EQ(o.answer[3], 0xF4);
    EXPECT_EQ(o.answer[2], 4);
    EXPECT_EQ(d.byteAt(0x0800), 0); // a refused write changes nothing
    EXPECT_EQ(Exchange(d, 26, {'1'}).answer[3], 0xF5);
    // Protected writes accept any answer code: the refusal is invisible to the link.
    o = Exchange(d, 20, {0x08, 0x00, 7});
    EXPECT_EQ(o.state, 0);
    EXPECT_EQ(o.answer[3], 0xF4);
    EXPECT_EQ(d.byteAt(0x0800), 0);
    EXPECT_EQ(Exchange(d, 5, {0x08, 0x00, 1}).state, 0); // other codes unaffected
    d.clearRefusal(4);
    EXPECT_EQ(Exchange(d, 4, {0x08, 0x00, 7}).state, 0);
    EXPECT_EQ(d.byteAt(0x0800), 7);
}

TEST(SimDevice, EachFaultKindShowsAsItsLinkFailure)
{
    struct Case { const char *fault; quint8 code; int state; int result; };
    const Case cases[] = {
        {"noecho:1", 5, 42, 255},   {"badecho:1", 5, 13, 255}, {"silence:1", 5, 46, 255},
        {"wrongaddr:1", 5, 17, 255}, {"truncate:1", 5, 19, 255}, {"nosum:1", 5, 20, 255},
        {"badsum:1", 5, 21, 255},   {"refuse:1", 5, 22, 255},  {"refuse:1:F5", 4, 22, 255},
        {"short:1", 5, 100, 99},    {"short:1", 37, 100, 99},  {"short:1", 4, 0, 2},
        {"garbage:1", 5, 0, 2},     {"truncate:1", 24, 19, 255}, {"nosum:1", 24, 20, 255},
    };
    for (bool handshake : {false, true}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.fault) + (handshake ? " handshake" : ""));
            SimDevice d;
            d.setHandshake(handshake);
            ASSERT_TRUE(d.addFault(QString::fromLatin1(c.fault)));
            const Bytes payload = c.code == 5 ? Bytes{0x00, 0x30, 8}
                                : c.code == 37 ? Bytes{0, 0, 0, 0x30, 8}
                                : c.code == 4 ? Bytes{0x09, 0x00, 1}
                                               : Bytes{};
            DeviceLine line(d);
            const PcOutcome o = Exchange(d, c.code, payload, &line);
            EXPECT_EQ(o.state, c.state);
            EXPECT_EQ(o.result, c.result);
            // Only garbage leaves bytes behind the answer.
            EXPECT_EQ(line.pending.empty(), !QByteArray(c.fault).startsWith("garbage"));
            if (QByteArray(c.fault).startsWith("refuse")) {
                EXPECT_EQ(o.answer[3], QByteArray(c.fault).endsWith("F5") ? 0xF5 : 0xF4);
            }
            // The device is not left hanging: without the fault the next exchange works at once.
            d.clearFaults();
            EXPECT_EQ(Exchange(d, 5, {0x00, 0x30, 8}).state, 0);
        }
    }
}

TEST(SimDevice, FaultRateIsSeededAndRoughlyKept)
{
    auto run = [](quint32 seed, const char *fault) {
        SimDevice d;
        d.setSeed(seed);
        d.addFault(QString::fromLatin1(fault));
        std::vector<int> states;
        for (int i = 0; i < 1000; ++i)
            states.push_back(Exchange(d, 5, {0x00, 0x30, 4}).state);
        return states;
    };
    const std::vector<int> a = run(7, "badsum:0.25");
    EXPECT_EQ(a, run(7, "badsum:0.25"));
    EXPECT_NE(a, run(8, "badsum:0.25"));
    const auto failures = std::count(a.begin(), a.end(), 21);
    EXPECT_EQ(failures + std::count(a.begin(), a.end(), 0), 1000);
    EXPECT_GT(failures, 190);
    EXPECT_LT(failures, 310);
    const std::vector<int> never = run(7, "badsum:0");
    EXPECT_EQ(std::count(never.begin(), never.end(), 0), 1000);
}

TEST(SimDevice, SeveralFaultsFirstHitWinsAndCounts)
{
    SimDevice d;
    d.addFault(QStringLiteral("silence:1"));
    d.addFault(QStringLiteral("badsum:1"));
    EXPECT_EQ(Exchange(d, 5, {0x00, 0x30, 4}).state, 46);
    EXPECT_EQ(d.counters().faults, 1u);
    EXPECT_EQ(d.counters().requests, 1u);
}

TEST(SimDevice, FaultSpecs)
{
    struct Case { const char *fault; bool ok; };
    const Case cases[] = {
        {"noecho:0.1", true}, {"BADECHO:1", true}, {"garbage:0", true}, {" short : 0.5 ", true},
        {"refuse:0.2:F5", true}, {"refuse:0.2:0xF4", true},
        {"noecho", false}, {"noecho:", false}, {"noecho:x", false}, {"noecho:1.5", false},
        {"noecho:-0.1", false}, {"lost:0.1", false}, {"badsum:0.1:F4", false}, {"refuse:0.1:1FF", false},
        {"", false}, {"refuse:0.1:F4:1", false},
    };
    for (const Case &c : cases) {
        SimDevice d;
        QString error;
        EXPECT_EQ(d.addFault(QString::fromLatin1(c.fault), &error), c.ok) << c.fault;
        EXPECT_EQ(error.isEmpty(), c.ok) << c.fault;
        EXPECT_EQ(d.faults().size(), c.ok ? 1u : 0u) << c.fault;
    }
    SimDevice::FaultKind kind;
    for (const char *name : {"noecho", "badecho", "silence", "wrongaddr", "truncate", "nosum", "badsum", "refuse", "short", "garbage"}) {
        ASSERT_TRUE(SimDevice::parseFaultKind(QString::fromLatin1(name), &kind)) << name;
        EXPECT_EQ(SimDevice::faultKindName(kind), QString::fromLatin1(name));
    }
}

TEST(SimDevice, HooksCanAnswerOrChangeMemoryFirst)
{
    SimDevice d;
    int ticks = 0;
    // A live value that changes on every read, and a device-specific code.
    d.addRequestHook([&](SimDevice &dev, const SimRequest &r, SimAnswer &) {
        if (r.code == 5)
            dev.setByte(0x0100, quint8(++ticks));
        return false;
    });
    d.addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
        if (r.code != 0x42)
            return false;
        a.data = Bytes(300, 0x5A); // longer than a telegram can carry
        return true;
    });
    EXPECT_EQ(Data(Exchange(d, 5, {0x01, 0x00, 1})), Bytes{1});
    EXPECT_EQ(Data(Exchange(d, 5, {0x01, 0x00, 1})), Bytes{2});
    const PcOutcome o = Exchange(d, 0x42, {1, 2, 3});
    EXPECT_EQ(o.answer[3], 0xC2);
    EXPECT_EQ(Data(o).size(), 251u);
    // A refusal comes before any hook.
    d.setRefusal(5, 0xF4);
    EXPECT_EQ(Exchange(d, 5, {0x01, 0x00, 1}).state, 22);
    EXPECT_EQ(ticks, 2);
}

TEST(SimDevice, LoadsAControllerFile)
{
    QTemporaryDir dir;
    Bytes file = Pattern(32 * 256 + 48, 5); // 8240 bytes: 32 pages and the identification
    const QString path = WriteFile(dir, QStringLiteral("set.202"), file);
    SimDevice d;
    d.setByte(0x5000, 0x77);
    QString error;
    ASSERT_TRUE(d.loadParameterFile(path, 0x0800, &error)) << error.toStdString();
    EXPECT_EQ(d.bytes(0x0800, 8192), Bytes(file.begin(), file.begin() + 8192));
    EXPECT_EQ(d.bytes(0x0030, 48), Bytes(file.begin() + 8192, file.end()));
    EXPECT_EQ(d.byteAt(0x2800), 0); // nothing beyond the image
    EXPECT_EQ(d.byteAt(0x5000), 0); // the old content is gone
    // The PC reads the identification and the first block as it would.
    EXPECT_EQ(Data(Exchange(d, 5, {0x00, 0x30, 48})), Bytes(file.begin() + 8192, file.end()));
    EXPECT_EQ(Data(Exchange(d, 5, {0x08, 0x00, 64})), Bytes(file.begin(), file.begin() + 64));
}

TEST(SimDevice, IdentificationSitsAtTheLengthRoundedDownTo256)
{
    struct Case { int size; bool ok; int identOffset; };
    const Case cases[] = {
        {48, true, 0}, {256 + 48, true, 256}, {256 + 100, true, 256}, {256 + 255, true, 256},
        {32768 + 48, true, 32768}, {8192, false, 0}, {8192 + 47, false, 0}, {0, false, 0}, {20, false, 0},
        {32768 + 256, false, 0},
    };
    for (const Case &c : cases) {
        QTemporaryDir dir;
        const Bytes file = Pattern(c.size, 11);
        const QString path = WriteFile(dir, QStringLiteral("x.201"), file);
        SimDevice d;
        d.setByte(0x0030, 0xEE);
        QString error;
        EXPECT_EQ(d.loadParameterFile(path, 0x0000 + 0x0800 * (c.size <= 0x8000), &error), c.ok) << c.size;
        EXPECT_EQ(error.isEmpty(), c.ok) << c.size;
        if (c.ok) {
            EXPECT_EQ(d.bytes(0x0030, 48), Bytes(file.begin() + c.identOffset, file.begin() + c.identOffset + 48)) << c.size;
        } else {
            EXPECT_EQ(d.byteAt(0x0030), 0xEE) << c.size; // untouched on failure
        }
    }
}

TEST(SimDevice, RejectsFilesThatDoNotFit)
{
    QTemporaryDir dir;
    const QString path = WriteFile(dir, QStringLiteral("big.101"), Pattern(32768 + 48));
    struct Case { int base; bool ok; };
    for (const Case &c : {Case{0x8000, true}, Case{0x8001, false}, Case{0xFF00, false}, Case{-1, false}, Case{0x10000, false}}) {
        SimDevice d;
        QString error;
        EXPECT_EQ(d.loadParameterFile(path, c.base, &error), c.ok) << c.base;
        EXPECT_EQ(error.isEmpty(), c.ok) << c.base;
    }
    SimDevice d;
    QString error;
    EXPECT_FALSE(d.loadParameterFile(dir.filePath(QStringLiteral("missing.202")), 0x0800, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("missing.202")));
}

TEST(SimDevice, LoadsAnOldControllerFile)
{
    for (const QString &name : {QStringLiteral("old.STW"), QStringLiteral("old.stw")}) {
        QTemporaryDir dir;
        Bytes file = Pattern(272, 1);
        file[0xA0] = 0; // no program entry in the image
        const QString path = WriteFile(dir, name, file);
        SimDevice d;
        QString error;
        ASSERT_TRUE(d.loadParameterFile(path, 0x0100, &error)) << error.toStdString();
        const Bytes ident = d.bytes(0x0030, 48);
        EXPECT_EQ(Bytes(ident.begin(), ident.begin() + 16), Bytes(16, 0)); // byte 0 zero: an old controller
        EXPECT_EQ(Bytes(ident.begin() + 16, ident.begin() + 31), Bytes(file.begin() + 256, file.begin() + 271));
        EXPECT_EQ(Bytes(ident.begin() + 31, ident.end()), Bytes(17, 0));
        EXPECT_EQ(d.bytes(0x0100, 160), Bytes(file.begin(), file.begin() + 160));
        // The second identification request finds the program number, version and date.
        EXPECT_EQ(Data(Exchange(d, 5, {0x01, 0xA0, 5})), Bytes(file.begin() + 256 + 7, file.begin() + 256 + 12));
    }
    QTemporaryDir dir;
    Bytes file = Pattern(272, 1);
    file[0xA0] = 42; // the image has its own program entry: served as it is
    SimDevice d;
    ASSERT_TRUE(d.loadParameterFile(WriteFile(dir, QStringLiteral("a.STW"), file), 0x0100, nullptr));
    EXPECT_EQ(d.bytes(0x01A0, 5), Bytes(file.begin() + 0xA0, file.begin() + 0xA5));
    for (int size : {271, 273, 512 + 48}) {
        QString error;
        EXPECT_FALSE(d.loadParameterFile(WriteFile(dir, QStringLiteral("b.STW"), Pattern(size)), 0x0100, &error)) << size;
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(SimDevice, SurvivesArbitraryBytes)
{
    std::mt19937 rng(1234);
    for (bool handshake : {false, true}) {
        SimDevice d;
        d.setHandshake(handshake);
        d.addFault(QStringLiteral("truncate:0.1"));
        d.addFault(QStringLiteral("garbage:0.1"));
        for (int i = 0; i < 200000; ++i) {
            // Mostly noise, sometimes the address, so that telegrams start and break off.
            const int r = int(rng() % 16);
            const quint8 b = r == 0 ? Slave : quint8(rng());
            d.receive(b);
            if (rng() % 5000 == 0)
                d.lineIdle();
        }
        d.lineIdle();
        EXPECT_TRUE(d.isIdle());
        d.clearFaults();
        EXPECT_EQ(Exchange(d, 5, {0x00, 0x30, 1}).state, 0);
    }
}

TEST(SimDevice, LoadsTheSampleFilesOfTheDataFolder)
{
    const QDir samples(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples"));
    const QStringList files = samples.entryList(QDir::Files);
    if (files.isEmpty())
        GTEST_SKIP() << "no sample files";
    for (const QString &name : files) {
        SimDevice d;
        QString error;
        const int base = name.endsWith(QLatin1String(".STW"), Qt::CaseInsensitive) ? 0x0100 : 0x0800;
        EXPECT_TRUE(d.loadParameterFile(samples.filePath(name), base, &error)) << error.toStdString();
        EXPECT_EQ(Exchange(d, 5, {0x00, 0x30, 48}).state, 0) << name.toStdString();
    }
}
