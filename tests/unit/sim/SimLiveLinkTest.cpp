// The live pages through the program's own link: the in-process SIM port and mirelo-sim on a pty.
#include "SimLive.h"
#include "SimPort.h"
#include "link/SyncLink.h"
#include "support/SimPty.h"

#include <QThread>
#include <gtest/gtest.h>

namespace {

struct LinkCase
{
    const char *name;
    bool pty;
};

class LiveLink : public ::testing::TestWithParam<LinkCase>
{
protected:
    void TearDown() override { SimPort::resetSharedDevice(); }
};

// A page poll differs from the last one, an alarm set at start shows on the alarm page,
// and an acknowledge clears it at the next poll.
TEST_P(LiveLink, ValuesMoveAndAnAlarmIsAcknowledged)
{
    std::unique_ptr<SimPty> sim;
    std::shared_ptr<SimLive> live;
    SyncLink::Settings settings;
    if (GetParam().pty) {
        sim = std::make_unique<SimPty>(QStringList{QStringLiteral("--device"),
                                                   QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"),
                                                   QStringLiteral("--alarm"), QStringLiteral("20"),
                                                   QStringLiteral("--alarm-period"), QStringLiteral("0")});
        ASSERT_TRUE(sim->isRunning()) << sim->error().toStdString();
        settings.Port = sim->linkPath();
    } else {
        RegisterSimPort();
        auto device = SimPort::createDefaultDevice();
        live = device->live();
        ASSERT_TRUE(live);
        live->setAlarmPeriod(0);
        live->setTimeMs(1000);
        ASSERT_TRUE(live->setAlarm(20));
        SimPort::resetSharedDevice(device);
    }
    SyncLink link(settings);
    QString error;
    ASSERT_TRUE(link.Open(&error)) << error.toStdString();

    QByteArray first, second, alarms;
    ASSERT_TRUE(link.Read(0x2100, 96, &first).Ok());
    if (live)
        live->setTimeMs(2500);
    else
        QThread::msleep(1100);
    ASSERT_TRUE(link.Read(0x2100, 96, &second).Ok());
    ASSERT_EQ(first.size(), 96);
    EXPECT_NE(first, second);

    ASSERT_TRUE(link.Read(0x21A0, 8, &alarms).Ok());
    ASSERT_EQ(alarms.size(), 8);
    EXPECT_EQ(quint8(alarms[2]), 0x08) << "alarm 20 is bit 3 of the third byte";
    QByteArray none;
    ASSERT_TRUE(link.Exchange(24, 0, 0, &none).Ok());
    ASSERT_TRUE(link.Read(0x21A0, 8, &alarms).Ok());
    EXPECT_EQ(alarms, QByteArray(8, '\0'));
}

INSTANTIATE_TEST_SUITE_P(Ports, LiveLink, ::testing::Values(LinkCase{"sim", false}, LinkCase{"pty", true}),
                         [](const ::testing::TestParamInfo<LinkCase> &info) { return std::string(info.param.name); });

} // namespace
