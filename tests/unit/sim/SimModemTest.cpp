// The simulated modem: commands, dialling, the escape with its guard times, hanging up.
#include "SimModem.h"
#include "SimDevice.h"
#include "SimPort.h"
#include "PcModel.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using Clock = SimModem::Clock;

struct Rig
{
    SimModem modem;
    Clock::time_point t = Clock::now();
    std::vector<quint8> toDevice;

    std::string Send(const std::string &text, std::chrono::milliseconds after = 10ms)
    {
        t += after;
        auto out = modem.fromPc(reinterpret_cast<const quint8 *>(text.data()), int(text.size()), t,
                                [this](quint8 b) {
                                    toDevice.push_back(b);
                                    return std::vector<quint8>{quint8(b ^ 0xFF)};
                                });
        return std::string(out.begin(), out.end());
    }
    std::string Wait(std::chrono::milliseconds d)
    {
        t += d;
        auto out = modem.due(t);
        return std::string(out.begin(), out.end());
    }
};

} // namespace

TEST(SimModem, AnswersCommandLines)
{
    const struct
    {
        const char *line;
        const char *answer;
    } cases[] = {
        {"AT\r", "AT\r\r\nOK\r\n"},
        {"at&f\r", "at&f\r\r\nOK\r\n"},
        {"AT\\N0 E0 Q0 +ms=v34,9600,9600\r", "AT\\N0 E0 Q0 +ms=v34,9600,9600\r\r\nOK\r\n"},
        {"ATS0=1\r", "ATS0=1\r\r\nOK\r\n"},
        {"AT#X\r", "AT#X\r\r\nERROR\r\n"},
        {"ATS7\r", "ATS7\r\r\nERROR\r\n"},
        {"hello\r", "hello\r"}, // not a command: only echoed
        {"ATO\r", "ATO\r\r\nNO CARRIER\r\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line);
        Rig r;
        EXPECT_EQ(r.Send(c.line), c.answer);
        EXPECT_FALSE(r.modem.carrier());
    }
    Rig quiet;
    EXPECT_EQ(quiet.Send("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(quiet.Send("AT\r"), "\r\nOK\r\n") << "no echo after E0";
}

TEST(SimModem, DialAnswersAfterItsDelayAsSetUp)
{
    const struct
    {
        SimModem::DialResult result;
        const char *answer;
        bool carrier;
    } cases[] = {{SimModem::DialResult::Connect, "\r\nCONNECT 9600\r\n", true},
                 {SimModem::DialResult::Busy, "\r\nBUSY\r\n", false},
                 {SimModem::DialResult::NoCarrier, "\r\nNO CARRIER\r\n", false},
                 {SimModem::DialResult::NoAnswer, "\r\nNO ANSWER\r\n", false},
                 {SimModem::DialResult::Silent, "", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        Rig r;
        SimModem::Options o;
        o.dial = c.result;
        o.connectDelay = 300ms;
        r.modem.setOptions(o);
        EXPECT_EQ(r.Send("ATE0D0123\r"), "ATE0D0123\r") << "the line itself is still echoed";
        EXPECT_EQ(r.modem.nextDue(), r.t + 300ms);
        EXPECT_EQ(r.Wait(299ms), "");
        EXPECT_EQ(r.Wait(1ms), c.answer);
        EXPECT_EQ(r.modem.carrier(), c.carrier);
        EXPECT_EQ(r.modem.nextDue(), Clock::time_point::max());
    }
}

TEST(SimModem, ConnectionCarriesBytesUntilEscapeAndHangUp)
{
    Rig r;
    r.Send("ATE0D1\r");
    r.Wait(1s);
    ASSERT_TRUE(r.modem.online());
    EXPECT_EQ(r.Send("\xAE\x37"), "\x51\xC8") << "the device's replies come back";
    EXPECT_EQ(r.toDevice, (std::vector<quint8>{0xAE, 0x37}));

    // Pluses too soon after data, or too far apart, are data.
    r.Send("+++", 100ms);
    EXPECT_EQ(r.Wait(2s), "");
    r.Send("+", 1100ms);
    r.Send("+", 1100ms);
    r.Send("+", 10ms);
    EXPECT_EQ(r.Wait(2s), "");
    ASSERT_TRUE(r.modem.online());
    // A byte inside the second guard time spoils the escape.
    r.Send("+++", 1100ms);
    r.Send("x", 500ms);
    EXPECT_EQ(r.Wait(2s), "");
    ASSERT_TRUE(r.modem.online());

    r.Send("+++", 1100ms);
    EXPECT_EQ(r.Wait(999ms), "");
    EXPECT_EQ(r.Wait(1ms), "\r\nOK\r\n");
    EXPECT_TRUE(r.modem.carrier()) << "the escape keeps the connection";
    EXPECT_FALSE(r.modem.online());
    const size_t reached = r.toDevice.size();
    EXPECT_EQ(r.Send("ATH\r"), "\r\nOK\r\n");
    EXPECT_FALSE(r.modem.carrier());
    EXPECT_EQ(r.toDevice.size(), reached) << "commands never reach the device";
}

TEST(SimModem, CarrierLostByDtrOrAfterSomeBytes)
{
    Rig r;
    r.Send("ATE0D1\r");
    r.Wait(1s);
    ASSERT_TRUE(r.modem.carrier());
    auto out = r.modem.setDtr(false, r.t);
    EXPECT_EQ(std::string(out.begin(), out.end()), "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(r.modem.carrier());

    Rig d;
    SimModem::Options o;
    o.dropAfterBytes = 3;
    d.modem.setOptions(o);
    d.Send("ATE0D1\r");
    d.Wait(1s);
    EXPECT_EQ(d.Send("abcd"), std::string("\x9E\x9D\x9C") + "\r\nNO CARRIER\r\n");
    EXPECT_FALSE(d.modem.carrier());
    EXPECT_EQ(d.toDevice.size(), 3u);
}

namespace {
class PortLine : public PcLine
{
public:
    explicit PortLine(LinkPort &p) : port(p) {}
    void send(const std::vector<quint8> &bytes) override { port.write(bytes.data(), int(bytes.size()), 1000); }
    bool read(quint8 *byte) override { return port.readByte(byte, 200) == LinkPort::ReadByte; }
    LinkPort &port;
};
} // namespace

// On the in-process port the modem's carrier is the DCD line, and only a connection
// reaches the device; the device takes only its FBED number.
TEST(SimModem, PortLineThroughTheModem)
{
    auto device = std::make_shared<SimDevice>();
    device->setDemoIdentification();
    AttachSimFbed(*device, 4711);
    SimPort::resetSharedDevice(device);
    SimModem::Options o;
    o.connectDelay = 20ms;
    SimPort::setSharedModem(std::make_shared<SimModem>(o));
    SimPort port;
    QString why;
    ASSERT_TRUE(port.open(9600, &why));
    PortLine line(port);
    auto fbed = [&](int n) {
        return PcExchange(line, Telegram(0xAE, 0x37, 26, {quint8(n >> 8), quint8(n)}), false);
    };
    const QByteArray quiet = "ATE0\r";
    port.write(reinterpret_cast<const quint8 *>(quiet.constData()), int(quiet.size()), 1000);
    quint8 b = 0;
    while (port.readByte(&b, 100) == LinkPort::ReadByte) {
    }
    EXPECT_EQ(fbed(4711).state, 42) << "no connection: the device hears nothing";
    EXPECT_EQ(port.modemStatus() & LinkPort::DCD, 0u);

    const QByteArray dial = "ATD0123\r"; // after telegram bytes: the modem hunts for "AT"
    port.write(reinterpret_cast<const quint8 *>(dial.constData()), int(dial.size()), 1000);
    std::string got;
    while (port.readByte(&b, 500) == LinkPort::ReadByte)
        got += char(b);
    EXPECT_EQ(got, "\r\nCONNECT 9600\r\n");
    EXPECT_NE(port.modemStatus() & LinkPort::DCD, 0u);

    const PcOutcome ok = fbed(4711);
    ASSERT_EQ(ok.state, 0);
    EXPECT_EQ(ok.answer.at(3), 0x9A);
    const PcOutcome refused = fbed(4712);
    ASSERT_GE(refused.answer.size(), 4u);
    EXPECT_EQ(refused.answer.at(3), 0xF5);

    port.setDtr(false);
    EXPECT_EQ(port.modemStatus() & LinkPort::DCD, 0u) << "DTR dropped hangs up";
    port.setDtr(true);
    SimPort::setSharedModem(nullptr);
    SimPort::resetSharedDevice();
}
