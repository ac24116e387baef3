// The simulated device answers only at its own line settings, and serves a data coupler.
#include "SimDevice.h"
#include "SimOptions.h"
#include "SimPort.h"
#include <QFile>
#include <gtest/gtest.h>

namespace {

std::vector<quint8> ReadRequest(quint8 slave, quint16 address, quint8 count)
{
    std::vector<quint8> t = {slave, 55, 7, 5, quint8(address >> 8), quint8(address), count};
    quint8 sum = 0;
    for (quint8 b : t)
        sum = quint8(sum + b);
    t.push_back(sum);
    return t;
}

// Everything the device sends back for a request (echo of byte 1 included), with the PC
// echoing answer byte 1.
std::vector<quint8> Talk(SimPort &port, const std::vector<quint8> &request)
{
    std::vector<quint8> in;
    port.write(request.data(), int(request.size()), 100);
    quint8 b = 0;
    bool echoedFirst = false;
    while (port.readByte(&b, 50) == LinkPort::ReadByte) {
        in.push_back(b);
        if (!echoedFirst && in.size() == 2) {
            port.write(&b, 1, 100);
            echoedFirst = true;
        }
    }
    return in;
}

TEST(SimLineSettings, TheSimPortDeviceHearsOnlyItsBaud)
{
    auto device = std::make_shared<SimDevice>();
    device->setDemoIdentification();
    device->setBaud(2400);
    SimPort::resetSharedDevice(device);
    for (int baud : {9600, 2400}) {
        SimPort port;
        ASSERT_TRUE(port.open(baud, nullptr));
        const std::vector<quint8> in = Talk(port, ReadRequest(0xAE, 0x0030, 4));
        if (baud == 2400) {
            ASSERT_EQ(in.size(), 1u + 4u + 4u + 1u);
            EXPECT_EQ(in[5], 'Z');
        } else {
            EXPECT_TRUE(in.empty());
        }
    }
    SimPort::resetSharedDevice();
}

TEST(SimLineSettings, ACouplerAnswersAtFEWithItsName)
{
    for (const char *kind : {"PELK", "DROS"}) {
        auto device = std::make_shared<SimDevice>();
        device->setCoupler(QString::fromLatin1(kind));
        SimPort::resetSharedDevice(device);
        SimPort port;
        ASSERT_TRUE(port.open(9600, nullptr));
        const std::vector<quint8> in = Talk(port, ReadRequest(0xFE, 0x0030, 32));
        ASSERT_EQ(in.size(), 1u + 4u + 32u + 1u) << kind;
        EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(in.data()) + 5, 4), QByteArray(kind));
        EXPECT_EQ(in[3], 36);
    }
    SimDevice plain;
    EXPECT_TRUE(plain.receive(0xFE).empty()) << "no coupler: nothing answers at 0xFE";
    SimPort::resetSharedDevice();
}

TEST(SimLineSettings, OptionsCarryBaudCouplerAndAnExplicitBase)
{
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({"--baud", "2400", "--coupler", "dros"}, &o, &error)) << error.toStdString();
    EXPECT_EQ(o.baud, 2400);
    EXPECT_EQ(o.coupler, QStringLiteral("DROS"));
    EXPECT_FALSE(o.baseGiven);
    ASSERT_TRUE(ParseSimOptions({"--base", "0400"}, &o, &error));
    EXPECT_TRUE(o.baseGiven);
    SimOptions bad;
    EXPECT_FALSE(ParseSimOptions({"--baud", "fast"}, &bad, &error));
    EXPECT_FALSE(ParseSimOptions({"--coupler", "XY"}, &bad, &error));
}

TEST(SimLineSettings, TheBaseComesFromTheModelsDefinition)
{
    struct Case
    {
        const char *file;
        int base;
    } cases[] = {{"demo.202", 0x0800}, {"demo.101", 0x0600}, {"demo.STW", 0x0100}, {"demo.NAE", 0x0100},
                 {"demo.ULV", 0x0000}, {"demo.VMX", 0x0000}};
    for (const auto &c : cases) {
        int base = -1;
        EXPECT_TRUE(SimDefinitionBase(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + QString::fromLatin1(c.file), &base))
            << c.file;
        EXPECT_EQ(base, c.base) << c.file;
    }
    int untouched = 0x1234;
    EXPECT_FALSE(SimDefinitionBase(QStringLiteral("/no/such/file.202"), &untouched));
    EXPECT_EQ(untouched, 0x1234);
}

TEST(SimLineSettings, TheZnaeAnswersItsSecondIdentificationFromTheFile)
{
    SimDevice d;
    const QString path = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.NAE");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray file = f.readAll();
    ASSERT_TRUE(d.loadParameterFile(path, 0x0100, nullptr));
    EXPECT_EQ(d.byteAt(0x017E), quint8(file[0x7E]));
    EXPECT_EQ(d.byteAt(0x017F), quint8(file[0x7F]));
}

} // namespace
