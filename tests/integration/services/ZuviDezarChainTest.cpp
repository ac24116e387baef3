// The alarm notification set-up against the simulated 202: round trips, the refusals, short
// answers and the alarm selection that only a read-back changes.
#include "../device/ChainRig.h"
#include "SimZuvi.h"
#include "device/ParameterFile.h"
#include "services/ZuviDezar.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <mutex>

namespace {

using Bytes = std::vector<quint8>;

struct ZuviRig : ChainRig
{
    std::unique_ptr<ZuviDezar> zuvi;
    std::mutex requestMutex;
    std::vector<SimRequest> requests;
    int reads = 0, writes = 0, alarms = 0;
    bool lastOk = false;

    bool Setup(int programVersion = 40)
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device || !SimZuvi::attach(*device) || !Start())
            return false;
        device->addRequestHook([this](SimDevice &, const SimRequest &r, SimAnswer &) {
            std::lock_guard<std::mutex> lock(requestMutex);
            requests.push_back(r);
            return false;
        });
        if (!LoadParameterFile(main->Data, QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/demo.202"), prompter))
            return false;
        main->Data.Geraet.ProgramVersion = programVersion;
        main->ParamsLoaded = true;
        main->Online = true;
        main->Access.Level = Level::Ser;
        zuvi = std::make_unique<ZuviDezar>(*main);
        QObject::connect(zuvi.get(), &ZuviDezar::MastersRead, [this](bool ok) { ++reads, lastOk = ok; });
        QObject::connect(zuvi.get(), &ZuviDezar::Written, [this](bool ok) { ++writes, lastOk = ok; });
        QObject::connect(zuvi.get(), &ZuviDezar::AlarmsDone, [this](bool ok) { ++alarms, lastOk = ok; });
        return true;
    }
    bool Idle() { return WaitUntil([this] { return !zuvi->Busy(); }) && !main->LinkBusy; }
    Bytes Memory(quint32 address, int count)
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        return device->bytes(address, count);
    }
    int Writes()
    {
        std::lock_guard<std::mutex> lock(requestMutex);
        return int(std::count_if(requests.begin(), requests.end(), [](const SimRequest &r) { return r.code == 20; }));
    }
};

} // namespace

TEST(ZuviDezarChain, ReadsTheSetUpAndWritesEachPartWithReadBack)
{
    ZuviRig rig;
    ASSERT_TRUE(rig.Setup());
    ASSERT_TRUE(rig.zuvi->ReadMasters());
    ASSERT_TRUE(rig.Idle());
    ASSERT_TRUE(rig.lastOk && rig.zuvi->HaveMasters());
    EXPECT_EQ(ZuviDezar::KindOf(rig.zuvi->Master(0)), ZuviDezar::Tel);
    EXPECT_EQ(ZuviDezar::DecodeNumber(rig.zuvi->Master(0)), QStringLiteral("0301234567"));
    EXPECT_EQ(ZuviDezar::KindOf(rig.zuvi->Master(1)), ZuviDezar::SmsEmi);
    EXPECT_EQ(ZuviDezar::DecodeNumber(rig.zuvi->Master(1)), QStringLiteral("0171,5551234"));
    EXPECT_EQ(ZuviDezar::DecodeNumber(rig.zuvi->Master(2)), QString());
    EXPECT_EQ(rig.zuvi->OutsideLine(), QStringLiteral("0   "));
    EXPECT_EQ(QList<int>({rig.zuvi->Smsc(0), rig.zuvi->Smsc(1), rig.zuvi->Smsc(2)}), QList<int>({1, 2, 0}));

    ASSERT_TRUE(rig.zuvi->WriteMaster(2, ZuviDezar::SmsGsm, QStringLiteral("0171,55")));
    ASSERT_TRUE(rig.Idle());
    EXPECT_EQ(rig.writes, 1);
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.Memory(0x0F84, 10), (Bytes{0x40, 0x17, 0x1A, 0x55, 0xF0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(ZuviDezar::DecodeNumber(rig.zuvi->Master(2)), QStringLiteral("0171,55"));
    EXPECT_EQ(ZuviDezar::KindOf(rig.zuvi->Master(2)), ZuviDezar::SmsGsm);

    ASSERT_TRUE(rig.zuvi->WriteOutsideLine(QStringLiteral("9")));
    ASSERT_TRUE(rig.Idle());
    EXPECT_EQ(rig.Memory(0x0F94, 4), (Bytes{'9', ' ', ' ', ' '}));
    EXPECT_EQ(rig.zuvi->OutsideLine(), QStringLiteral("9   "));

    ASSERT_TRUE(rig.zuvi->WriteSmsc({QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5")}));
    ASSERT_TRUE(rig.Idle());
    EXPECT_EQ(rig.Memory(0x0F98, 3), (Bytes{3, 4, 5}));
    EXPECT_EQ(rig.writes, 3);
    EXPECT_TRUE(rig.prompter.All().isEmpty()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
}

TEST(ZuviDezarChain, RefusesWhatItMustAndWritesNothing)
{
    const struct
    {
        const char *name;
        QString level;
        QStringList smsc;
        QString message;
    } cases[] = {
        {"letter in master 1", Level::Ser, {"x", "1", "1"}, GetText(763).arg(1)},
        {"empty field of an SMS master", Level::Ser, {"1", "", "1"}, GetText(763).arg(2)},
        {"blank field of an SMS master", Level::Ser, {"1", " ", "1"}, GetText(763).arg(2)},
        {"empty field of master 3 (off) while unread", Level::Ser, {"1", "1", ""}, GetText(763).arg(3)},
        {"level Mas", Level::Mas, {"1", "1", "1"}, GetText(152)},
        {"level Fer", Level::Fer, {"1", "1", "1"}, GetText(152)},
    };
    for (const auto &c : cases) {
        ZuviRig rig;
        ASSERT_TRUE(rig.Setup());
        rig.main->Access.Level = c.level;
        EXPECT_FALSE(rig.zuvi->WriteSmsc(c.smsc)) << c.name;
        EXPECT_EQ(rig.prompter.Errors, QStringList({c.message})) << c.name;
        EXPECT_FALSE(rig.zuvi->Busy());
        EXPECT_EQ(rig.Writes(), 0) << c.name;
        EXPECT_EQ(rig.Memory(0x0F98, 3), (Bytes{1, 2, 0})) << c.name;
    }
}

TEST(ZuviDezarChain, AnEmptyFieldOfAMasterWithoutSmsKeepsTheDeviceValue)
{
    ZuviRig rig;
    ASSERT_TRUE(rig.Setup());
    ASSERT_TRUE(rig.zuvi->ReadMasters());
    ASSERT_TRUE(rig.Idle());
    ASSERT_TRUE(rig.zuvi->WriteSmsc({QString(), QStringLiteral("7"), QString()}));
    ASSERT_TRUE(rig.Idle());
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.Memory(0x0F98, 3), (Bytes{1, 7, 0}));
}

TEST(ZuviDezarChain, DeviceRefusalAndShortAnswerAreFailures)
{
    {
        ZuviRig rig;
        ASSERT_TRUE(rig.Setup());
        rig.device->setRefusal(20, 0xF5);
        ASSERT_TRUE(rig.zuvi->WriteMaster(0, ZuviDezar::Aus, QString()));
        ASSERT_TRUE(rig.Idle());
        EXPECT_EQ(rig.writes, 1);
        EXPECT_FALSE(rig.lastOk);
        EXPECT_EQ(rig.Memory(0x0F70, 2), (Bytes{0x10, 0x30}));
    }
    {
        // 20 of the 47 bytes: what is missing must not be taken from an earlier exchange.
        ZuviRig rig;
        ASSERT_TRUE(rig.Setup());
        rig.device->addRequestHook([](SimDevice &d, const SimRequest &r, SimAnswer &a) {
            if (r.code != 5 || r.address != 0x0F70)
                return false;
            a.data = d.bytes(r.address, 20);
            return true;
        });
        ASSERT_TRUE(rig.zuvi->ReadMasters());
        ASSERT_TRUE(rig.Idle());
        EXPECT_EQ(rig.reads, 1);
        EXPECT_FALSE(rig.lastOk);
        EXPECT_FALSE(rig.zuvi->HaveMasters());
        EXPECT_EQ(rig.zuvi->Master(0), ZuviDezar::MasterBytes{}); // nothing of the 20 bytes was taken
    }
}

TEST(ZuviDezarChain, AlarmSelectionChangesOnlyWithItsReadBack)
{
    ZuviRig rig;
    ASSERT_TRUE(rig.Setup());
    QVector<bool> checks = rig.zuvi->ImageAlarmChecks();
    ASSERT_EQ(checks.size(), 88);
    checks[1] = checks[5] = checks[87] = true;
    ASSERT_TRUE(rig.zuvi->WriteAlarms(checks));
    ASSERT_TRUE(rig.Idle());
    EXPECT_TRUE(rig.lastOk);
    const Bytes confirmed{0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};
    EXPECT_EQ(rig.Memory(0x0E04, 11), confirmed);
    EXPECT_EQ(rig.zuvi->ImageAlarms(), QByteArray(reinterpret_cast<const char *>(confirmed.data()), 11));

    // The write goes through, the read-back does not: the image keeps the confirmed
    // selection, never an empty one, and the next click starts from it.
    rig.device->addRequestHook([](SimDevice &, const SimRequest &r, SimAnswer &a) {
        if (r.code != 5 || r.address != 0x0E04)
            return false;
        a.code = 0xF4;
        return true;
    });
    checks = rig.zuvi->ImageAlarmChecks();
    checks[5] = false;
    ASSERT_TRUE(rig.zuvi->WriteAlarms(checks));
    ASSERT_TRUE(rig.Idle());
    EXPECT_FALSE(rig.lastOk);
    EXPECT_EQ(rig.zuvi->ImageAlarmChecks().count(true), 3);
    rig.device->clearRequestHooks();
    ASSERT_TRUE(rig.zuvi->WriteAlarms(rig.zuvi->ImageAlarmChecks()));
    ASSERT_TRUE(rig.Idle());
    EXPECT_TRUE(rig.lastOk);
    EXPECT_EQ(rig.Memory(0x0E04, 11), confirmed);
}

TEST(ZuviDezarChain, OlderFirmwareHas72AlarmsAndWritesTenBytes)
{
    ZuviRig rig;
    ASSERT_TRUE(rig.Setup(25));
    QVector<bool> checks = rig.zuvi->ImageAlarmChecks();
    ASSERT_EQ(checks.size(), 72);
    checks[71] = true;
    ASSERT_TRUE(rig.zuvi->WriteAlarms(checks));
    ASSERT_TRUE(rig.Idle());
    EXPECT_TRUE(rig.lastOk);
    std::lock_guard<std::mutex> lock(rig.requestMutex);
    ASSERT_EQ(rig.requests.size(), 2u);
    EXPECT_EQ(rig.requests[0].count, 10);
    EXPECT_EQ(rig.requests[0].data[8], 0x80);
    EXPECT_EQ(rig.requests[1].count, 10);
}
