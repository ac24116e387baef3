// Which ports the user is offered, and why an opening failed.
#include "link/LinkPort.h"
#include "link/SerialLinkPort.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

void Touch(const QString &path, const QByteArray &content = QByteArray())
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

TEST(PortChoice, StableNamesComeFirstWithTheAdapterAndTheDeviceBehindThem)
{
    QTemporaryDir dir;
    const QString dev = dir.path() + QStringLiteral("/dev");
    const QString byId = dir.path() + QStringLiteral("/by-id");
    ASSERT_TRUE(QDir().mkpath(dev) && QDir().mkpath(byId));
    for (const char *name : {"ttyUSB0", "ttyACM0", "ttyS0"})
        Touch(dev + QLatin1Char('/') + QLatin1String(name));
    ASSERT_TRUE(QFile::link(dev + QStringLiteral("/ttyUSB0"), byId + QStringLiteral("/usb-FTDI_FT232R-if00-port0")));
    ASSERT_TRUE(QFile::link(dev + QStringLiteral("/ttyACM0"), byId + QStringLiteral("/usb-Acme_Modem-if00")));
    ASSERT_TRUE(QFile::link(dev + QStringLiteral("/ttyUSB9"), byId + QStringLiteral("/usb-dangling"))); // unplugged

    const QVector<SystemPort> ports = {{dev + QStringLiteral("/ttyUSB0"), QStringLiteral("FT232R USB UART (FTDI)")},
                                       {dev + QStringLiteral("/ttyS0"), QString()},
                                       {dev + QStringLiteral("/ttyACM0"), QString()}};
    const QVector<PortChoice> choices = BuildPortChoices(ports, byId, true);
    const std::pair<QString, QString> expected[] = {
        {byId + QStringLiteral("/usb-Acme_Modem-if00"), QStringLiteral("ttyACM0")},
        {dev + QStringLiteral("/ttyACM0"), QString()},
        {dev + QStringLiteral("/ttyS0"), QString()},
        {byId + QStringLiteral("/usb-FTDI_FT232R-if00-port0"), QStringLiteral("FT232R USB UART (FTDI) (ttyUSB0)")},
        {dev + QStringLiteral("/ttyUSB0"), QStringLiteral("FT232R USB UART (FTDI)")},
        {QStringLiteral("SIM"), QStringLiteral("Simuliertes Gerät")},
    };
    ASSERT_EQ(choices.size(), int(std::size(expected)));
    for (int i = 0; i < choices.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(choices[i].Name, expected[i].first);
        EXPECT_EQ(choices[i].Description, expected[i].second);
        EXPECT_FALSE(choices[i].Label().contains(QLatin1Char('='))) << "never the raw name=friendly form";
    }
    EXPECT_EQ(choices[4].Label(), dev + QStringLiteral("/ttyUSB0  \u2013  FT232R USB UART (FTDI)"));
    EXPECT_EQ(choices[2].Label(), dev + QStringLiteral("/ttyS0"));
    EXPECT_EQ(BuildPortChoices({}, dir.path() + QStringLiteral("/none"), false).size(), 0);
}

TEST(PortChoice, PortExistsFollowsTheDevicePath)
{
    QTemporaryDir dir;
    Touch(dir.path() + QStringLiteral("/ttyX"));
    EXPECT_TRUE(PortExists(dir.path() + QStringLiteral("/ttyX")));
    EXPECT_FALSE(PortExists(dir.path() + QStringLiteral("/ttyY")));
    EXPECT_FALSE(PortExists(QString()));
}

TEST(OpenFailure, PermissionAndBusyAreToldApart)
{
    using F = SerialLinkPort::OpenFailure;
    struct Case
    {
        bool exists, denied;
        qint64 owner;
        QSerialPort::SerialPortError error;
        F expected;
    } const cases[] = {
        {false, false, 0, QSerialPort::PermissionError, F::NotFound},
        {false, false, 0, QSerialPort::DeviceNotFoundError, F::NotFound},
        {true, true, 0, QSerialPort::PermissionError, F::Permission},
        {true, false, 0, QSerialPort::PermissionError, F::Busy}, // EBUSY, TIOCEXCL, a lock
        {true, false, 0, QSerialPort::OpenError, F::Busy},
        {true, true, 4242, QSerialPort::PermissionError, F::Busy}, // the lock names its holder
        {true, false, 0, QSerialPort::UnknownError, F::Other},
    };
    for (const Case &c : cases)
        EXPECT_EQ(SerialLinkPort::ClassifyOpenFailure(c.exists, c.denied, c.owner, c.error), c.expected)
            << c.exists << c.denied << c.owner << int(c.error);

    const QString path = QStringLiteral("/dev/ttyUSB0");
    const QString denied = SerialLinkPort::OpenFailureText(path, F::Permission, 0, QString());
    EXPECT_TRUE(denied.contains(QLatin1String("\"dialout\""))) << denied.toStdString();
    EXPECT_TRUE(denied.contains(path));
    const QString busy = SerialLinkPort::OpenFailureText(path, F::Busy, 4242, QString());
    EXPECT_FALSE(busy.contains(QLatin1String("dialout"))) << busy.toStdString();
    EXPECT_TRUE(busy.contains(GetText(423) + path));
    EXPECT_TRUE(busy.endsWith(QStringLiteral("(") + GetText(424) + QStringLiteral("4242)")));
    EXPECT_FALSE(SerialLinkPort::OpenFailureText(path, F::Busy, 0, QString()).contains(GetText(424)));
    for (F kind : {F::NotFound, F::Permission, F::Busy, F::Other})
        EXPECT_TRUE(SerialLinkPort::OpenFailureText(path, kind, 0, QStringLiteral("x")).startsWith(
            QStringLiteral("Opening COM Port failed: ") + path));
}

TEST(OpenFailure, LockFileNamesALivingHolderOnly)
{
    QTemporaryDir dir;
    const QString lock = dir.path() + QStringLiteral("/LCK..ttyUSB0");
    const qint64 parent = qint64(::getppid()); // alive for as long as this test runs
    int binaryParent = int(parent);
    struct Case
    {
        const char *name;
        QByteArray content;
        qint64 expected;
    } const cases[] = {
        {"ascii, padded", QByteArray::number(parent).rightJustified(10, ' ') + '\n', parent},
        {"ascii with name and host", QByteArray::number(parent) + "\nminicom\nhost\n", parent},
        {"binary", QByteArray(reinterpret_cast<const char *>(&binaryParent), 4), parent},
        {"own process", QByteArray::number(qint64(::getpid())) + '\n', 0},
        {"stale", QByteArray("2147483000\n"), 0},
        {"garbage", QByteArray("hello world\n"), 0},
    };
    EXPECT_EQ(SerialLinkPort::LockOwner(QStringLiteral("/dev/ttyUSB0"), {dir.path()}), 0) << "no lock file";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(lock);
        Touch(lock, c.content);
        const QStringList dirs = {dir.path() + QStringLiteral("/x"), dir.path()};
        EXPECT_EQ(SerialLinkPort::LockOwner(QStringLiteral("/dev/ttyUSB0"), dirs), c.expected);
    }
    EXPECT_EQ(SerialLinkPort::LockOwner(QStringLiteral("/dev/ttyUSB1"), {dir.path()}), 0) << "another device's lock";
}

} // namespace
