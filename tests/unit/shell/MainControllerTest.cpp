#include "support/EventWait.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include "support/FakeLink.h"
#include "support/ScriptedPrompter.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>

namespace {

std::vector<quint8> Ack(const std::vector<quint8> &req, int code = -1, std::vector<quint8> data = {})
{
    std::vector<quint8> a = {req[1], req[0], quint8(4 + data.size()), quint8(code >= 0 ? code : req[3] + 0x80)};
    a.insert(a.end(), data.begin(), data.end());
    return a;
}

class MainControllerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetHandshake(false);
        device = std::make_shared<FakeDevice>();
        device->answer = [this](const std::vector<quint8> &req) {
            requests.push_back(req);
            return Ack(req);
        };
        thread = std::make_unique<TTeleThread>();
        thread->SetReadTimeout(20);
        thread->SetPortFactory([this](const QString &) { return std::make_unique<FakeLinkPort>(device); });
        thread->SetPort(QStringLiteral("FAKE"), QStringLiteral("9600"));
        QElapsedTimer t;
        t.start();
        while (thread->OpenAttempts() == 0 && t.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        main = std::make_unique<MainController>(prompter);
        main->SetThread(thread.get());
        QObject::connect(main.get(), &MainController::LogLine, [this](const QString &kind, const QString &) {
            if (kind == QLatin1String("DatenVKEnde"))
                ++reports;
        });
    }
    void TearDown() override { thread.reset(); }

    // Runs the event loop until n reports reached the controller's continuations.
    void WaitFor(const std::function<bool()> &done)
    {
        ::WaitUntil(done, 10000);
    }

    ScriptedPrompter prompter;
    std::shared_ptr<FakeDevice> device;
    std::vector<std::vector<quint8>> requests;
    std::unique_ptr<TTeleThread> thread;
    std::unique_ptr<MainController> main;
    int reports = 0;
};

TEST_F(MainControllerTest, SuccessClearsLinkBusyAndContinues)
{
    int calls = 0;
    main->RegisterAction(QStringLiteral("SW2"), [&](const TeleReport &r) { calls += r.Ok() ? 1 : 100; });
    main->LinkBusy = true;
    main->SetPendingAction(QStringLiteral("SW2"));
    ASSERT_TRUE(main->Push(4, 0x0800, 0));
    WaitFor([&] { return calls > 0; });
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(main->LinkBusy);
    EXPECT_EQ(main->LastAnswerCode, 0);
    EXPECT_TRUE(prompter.Warnings.isEmpty());
}

struct FailureCase
{
    const char *action;
    int answerCode;
    bool warned;
    bool continued;
    const char *pendingAfter;
};

TEST_F(MainControllerTest, FailureWarnsContinuesAndClearsByTheTable)
{
    const FailureCase cases[] = {
        {"SW2", 0xF0, true, true, ""},
        {"SW2", 0xF4, false, true, ""},                  // operating mode refusal: no warning
        {"ProtokollSuchen", 0xF0, false, true, "ProtokollSuchen"},
        {"Hex30Kennung", 0xF0, true, false, ""},         // failure ends the read
        {"RamRB_Click", 0xF0, true, false, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.action);
        prompter.Clear();
        int continued = 0;
        const QString name = QString::fromLatin1(c.action);
        const bool alsoOnFailure = name != QLatin1String("Hex30Kennung") && name != QLatin1String("RamRB_Click");
        main->RegisterAction(name, [&](const TeleReport &) { ++continued; }, alsoOnFailure);
        device->answer = [&](const std::vector<quint8> &req) { return Ack(req, c.answerCode); };
        main->SetPendingAction(name);
        const int before = reports;
        ASSERT_TRUE(main->Push(4, 0x0800, 0));
        WaitFor([&] { return reports > before; });
        EXPECT_EQ(prompter.Warnings.size(), c.warned ? 1 : 0);
        if (c.warned)
            EXPECT_EQ(prompter.Warnings.first(), TeleText(12));
        EXPECT_EQ(continued, c.continued ? 1 : 0);
        EXPECT_EQ(main->PendingAction, QString::fromLatin1(c.pendingAfter));
        // The failing report's four bytes are in the working image.
        EXPECT_EQ(main->WorkImage[21], c.answerCode);
    }
}

// A line lost in the middle of a chain is told once, naming the port, by the chain's
// own failure report (the worker shows no box of its own then).
TEST_F(MainControllerTest, ALineLostDuringAChainIsToldOnceWithItsPort)
{
    int failed = 0;
    main->RegisterAction(QStringLiteral("SW2"), [&](const TeleReport &r) { failed += r.Ok() ? 0 : 1; }, true);
    device->answer = [this](const std::vector<quint8> &) {
        device->gone = true;
        return std::vector<quint8>{};
    };
    thread->SetPrompter(&prompter);
    main->Settings.Retries = 0;
    main->SetPendingAction(QStringLiteral("SW2"));
    ASSERT_TRUE(main->Push(5, 0x0800, 16));
    WaitFor([&] { return failed > 0; });
    EXPECT_EQ(failed, 1);
    ASSERT_EQ(prompter.All().size(), 1) << prompter.All().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(prompter.All().first(), GetText(420) + QStringLiteral("FAKE"));
    thread->SetPrompter(nullptr);
}

TEST_F(MainControllerTest, AContinuationThatRearmsKeepsItsPendingAction)
{
    int attempts = 0;
    device->answer = [&](const std::vector<quint8> &req) { return Ack(req, 0xF0); };
    main->RegisterAction(QStringLiteral("SW1"), [&](const TeleReport &r) {
        if (!r.Ok() && ++attempts == 1) {
            main->SetPendingAction(QStringLiteral("SW1"));
            main->Push(5, 0x0030, 48);
        }
    });
    main->SetPendingAction(QStringLiteral("SW1"));
    main->Push(5, 0x0030, 48);
    WaitFor([&] { return attempts >= 2; });
    EXPECT_EQ(attempts, 2);
    EXPECT_TRUE(main->PendingAction.isEmpty()) << "the second failure is final";
}

struct SendCase
{
    const char *pattern;
    int deviceType;
    const char *level;
    int protocol;
    quint8 imageCode;
    quint8 wireCode;
    quint8 wireSlave;
};

TEST_F(MainControllerTest, SendImageAppliesTheCodeAndSlaveRules)
{
    const SendCase cases[] = {
        {"*.201", 5, "Ser", 4, 4, 20, 0xAE},  {"*.201", 5, "Cus", 4, 4, 20, 0xAE},
        {"*.201", 5, "Fer", 4, 4, 4, 0xAE},   {"*.201", 5, "", 4, 52, 4, 0xAE},
        {"*.ULV", 35, "Ser", 4, 4, 4, 0xAE},  {"*.STW", 34, "Fac", 4, 4, 20, 0xAE},
        {"*.201", 5, "", 3, 4, 4, 0x70},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 %2 %3").arg(c.pattern).arg(c.level).arg(c.imageCode).toStdString());
        requests.clear();
        device->slave = c.wireSlave;
        device->answer = [&](const std::vector<quint8> &req) {
            requests.push_back(req);
            return Ack(req, 0x42);
        };
        main->Data.State.ModelPattern = QString::fromLatin1(c.pattern);
        main->Data.State.DeviceType = c.deviceType;
        main->Data.Geraet.ProgramId = QStringLiteral("Z201 SPL03");
        main->Access.Level = QString::fromLatin1(c.level);
        main->Settings.Protocol = c.protocol;
        tyTelegramm &img = main->WorkImage;
        img[18] = 0xAE;
        img[19] = 0x37;
        img[20] = 8;
        img[21] = c.imageCode;
        img[22] = 0x08;
        img[23] = 0x10;
        img[24] = 0x12;
        img[25] = 0x34;
        main->SetPendingAction(QStringLiteral("Quittung"));
        const int before = reports;
        ASSERT_TRUE(main->SendImage());
        WaitFor([&] { return reports > before; });
        ASSERT_EQ(requests.size(), 1u);
        const auto &r = requests.front();
        EXPECT_EQ(r[0], c.wireSlave);
        EXPECT_EQ(r[3], c.wireCode);
        EXPECT_EQ(r[2], 8);
        EXPECT_EQ(r[6], 0x12);
        EXPECT_EQ(r[7], 0x34);
    }
}

TEST_F(MainControllerTest, SendImageRefusesCodesItDoesNotKnow)
{
    main->Data.State.ModelPattern = QStringLiteral("*.202");
    main->WorkImage[21] = 0x33;
    EXPECT_FALSE(main->SendImage());
    ASSERT_EQ(prompter.Errors.size(), 1);
    EXPECT_EQ(prompter.Errors.first(), QStringLiteral("DatenVK Befehl: 33"));
}

TEST_F(MainControllerTest, DispatchWritesLogLines)
{
    QStringList lines;
    QObject::connect(main.get(), &MainController::LogLine,
                     [&](const QString &k, const QString &t) { lines << k + QLatin1Char(' ') + t; });
    main->RegisterAction(QStringLiteral("X"), [](const TeleReport &) {});
    main->SetPendingAction(QStringLiteral("X"));
    main->Push(4, 0x0800, 0);
    WaitFor([&] { return !lines.isEmpty(); });
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.first(), QStringLiteral("DatenVKEnde R :00020000-37AE0484"));
}

} // namespace
