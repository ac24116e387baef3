// The modem connection against the simulated modem in front of the simulated controller:
// dialling, a read over the modem, hanging up, the carrier lost during a read, FBED, the
// modem test, and what the one "over a modem" flag allows and forbids.
#include "../device/ChainRig.h"
#include "link/ModemSession.h"
#include "shell/Texts.h"
#include <QThread>
#include <algorithm>
#include <gtest/gtest.h>
#include <mutex>

namespace {

using namespace std::chrono_literals;
constexpr quint32 kIdent = 0x0030;

struct ModemRig : ChainRig
{
    std::shared_ptr<SimModem> modem;
    std::unique_ptr<ModemSession> session;
    int dialEnded = 0, commandEnded = 0, hungUp = 0;
    bool dialOk = false, commandOk = false, hungUpOk = false;

    bool StartWith(SimModem::Options o = {}, bool withModem = true)
    {
        device = DeviceFromSample(QStringLiteral("demo.202"));
        if (!device)
            return false;
        // An order number in the identification block (bytes 16, 17 and 23).
        device->setByte(kIdent + 16, 0x12);
        device->setByte(kIdent + 17, 0x34);
        device->setByte(kIdent + 23, 0x00);
        o.connectDelay = 20ms;
        o.guard = 60ms;
        modem = std::make_shared<SimModem>(o);
        SimPort::setSharedModem(withModem ? modem : nullptr);
        if (!Start())
            return false;
        main->Settings.Retries = 0;
        session = std::make_unique<ModemSession>(*main);
        session->Attach(thread.get());
        session->SetGuardMs(80);
        session->SetEscapeWaitMs(120);
        session->SetDialTimeoutMs(1500);
        session->SetAnswerTimeoutMs(500);
        session->SetCarrierDropMs(400);
        QObject::connect(session.get(), &ModemSession::DialEnded, [this](bool ok, const QString &) {
            ++dialEnded;
            dialOk = ok;
        });
        QObject::connect(session.get(), &ModemSession::CommandEnded, [this](bool ok, const QString &) {
            ++commandEnded;
            commandOk = ok;
        });
        QObject::connect(session.get(), &ModemSession::HungUp, [this](bool ok) {
            ++hungUp;
            hungUpOk = ok;
        });
        return true;
    }

    bool Dial()
    {
        const int before = dialEnded;
        return session->Dial(QStringLiteral("0123")) && WaitUntil([&] { return dialEnded > before; }, 5000) &&
               dialOk && WaitUntil([&] { return main->ModemOnline; }, 2000);
    }

    bool HangUp()
    {
        const int before = hungUp;
        return session->HangUp() && WaitUntil([&] { return hungUp > before; }, 5000) && hungUpOk;
    }

    ~ModemRig()
    {
        session.reset();
        SimPort::setSharedModem(nullptr);
    }
};

} // namespace

TEST(ModemSession, DialReadOverTheModemAndHangUp)
{
    ModemRig rig;
    ASSERT_TRUE(rig.StartWith());
    MainController &m = *rig.main;
    EXPECT_FALSE(m.ModemOnline);
    ASSERT_TRUE(rig.Dial()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(rig.session->LineOn(ModemSession::DCD));

    // Over the modem a protocol search would take the line from the connection.
    rig.search->Start();
    EXPECT_FALSE(rig.search->Running());
    EXPECT_TRUE(rig.prompter.Infos.contains(GetText(730)));

    ASSERT_TRUE(rig.Read());
    ASSERT_TRUE(rig.finishedOk) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m.Data.OrderNumber, 0x1234);
    EXPECT_FALSE(m.Access.FbedAccepted);
    m.Settings.OrderNumbers[7] = 0x1234;
    m.UpdateMenus();
    EXPECT_TRUE(m.Access.FbedAccepted) << "a listed order number of a device read over this connection";

    ASSERT_TRUE(rig.HangUp()) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(rig.modem->carrier());
    EXPECT_FALSE(m.ModemOnline);
    EXPECT_FALSE(m.Access.FbedAccepted);
    EXPECT_FALSE(m.LinkBusy);
    EXPECT_EQ(rig.modem->lastCommand(), QStringLiteral("ATH"));

    // Nothing of the modem is left to block a later direct link.
    SimPort::setSharedModem(nullptr);
    rig.prompter.Infos.clear();
    rig.search->Start();
    EXPECT_TRUE(rig.search->Running());
    rig.search->Cancel();
    EXPECT_TRUE(rig.WaitUntil([&] { return !rig.search->Running(); }));
    EXPECT_FALSE(rig.prompter.Infos.contains(GetText(730)));
}

TEST(ModemSession, OrderNumberCountsOnlyForADeviceReadOverTheConnection)
{
    ModemRig rig;
    ASSERT_TRUE(rig.StartWith({}, false));
    MainController &m = *rig.main;
    m.Settings.OrderNumbers[0] = 0x1234;
    ASSERT_TRUE(rig.Read());
    ASSERT_TRUE(rig.finishedOk);
    SimPort::setSharedModem(rig.modem);
    ASSERT_TRUE(rig.Dial());
    m.UpdateMenus();
    EXPECT_FALSE(m.Access.FbedAccepted) << "the device shown was read before the connection";
}

TEST(ModemSession, DiallingEndsWithTheModemsAnswer)
{
    const struct
    {
        const char *name;
        SimModem::DialResult result;
        QString warning;
    } cases[] = {{"busy", SimModem::DialResult::Busy, GetText(722).arg(QStringLiteral("BUSY"))},
                 {"no_carrier", SimModem::DialResult::NoCarrier, GetText(722).arg(QStringLiteral("NO CARRIER"))},
                 {"no_answer", SimModem::DialResult::NoAnswer, GetText(722).arg(QStringLiteral("NO ANSWER"))},
                 {"silent", SimModem::DialResult::Silent, GetText(721)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ModemRig rig;
        SimModem::Options o;
        o.dial = c.result;
        ASSERT_TRUE(rig.StartWith(o));
        EXPECT_TRUE(rig.session->Dial(QStringLiteral("0123")));
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.dialEnded > 0; }, 5000));
        EXPECT_FALSE(rig.dialOk);
        EXPECT_EQ(rig.prompter.Warnings, QStringList{c.warning});
        EXPECT_FALSE(rig.main->ModemOnline);

        // The port stays usable: the modem still takes commands.
        rig.prompter.Clear();
        EXPECT_TRUE(rig.session->SendCommand(ModemText::Mode::Command, QStringLiteral("at#")));
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.commandEnded == 1; }, 3000));
        EXPECT_FALSE(rig.commandOk);
        EXPECT_EQ(rig.prompter.Warnings, QStringList{GetText(722).arg(QStringLiteral("ERROR"))});
        EXPECT_TRUE(rig.session->SendCommand(ModemText::Mode::Command, QStringLiteral("at")));
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.commandEnded == 2; }, 3000));
        EXPECT_TRUE(rig.commandOk);
    }
}

TEST(ModemSession, CarrierLostDuringAReadLeavesNothingHalfRead)
{
    ModemRig rig;
    SimModem::Options o;
    o.dropAfterBytes = 60; // the identification and a few blocks
    ASSERT_TRUE(rig.StartWith(o));
    ASSERT_TRUE(rig.Dial());
    ASSERT_TRUE(rig.Read());
    EXPECT_FALSE(rig.finishedOk);
    EXPECT_TRUE(rig.prompter.All().contains(GetText(182))) << rig.prompter.All().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(rig.main->Online);
    EXPECT_FALSE(rig.main->ParamsLoaded);
    EXPECT_EQ(rig.searchFinished, 0) << "no protocol search over a telephone line";
    EXPECT_TRUE(rig.WaitUntil([&] { return !rig.main->ModemOnline; }, 2000));
    const auto &image = rig.main->Data.Geraet.Image;
    EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](quint8 b) { return b == 0; }));
}

TEST(ModemSession, FbedNumberAcceptedAndRefused)
{
    ModemRig rig;
    ASSERT_TRUE(rig.StartWith());
    {
        std::lock_guard<std::mutex> lock(SimPort::sharedDeviceMutex());
        AttachSimFbed(*rig.device, 4711);
    }
    MainController &m = *rig.main;
    EXPECT_FALSE(rig.session->IdentFbed(QStringLiteral("4711"))) << "only with a connection";
    ASSERT_TRUE(rig.Dial());

    for (const char *bad : {"abc", "70000", "-1", ""}) {
        SCOPED_TRACE(bad);
        rig.prompter.Clear();
        EXPECT_FALSE(rig.session->IdentFbed(QString::fromLatin1(bad)));
        EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(725)});
    }
    ASSERT_TRUE(rig.session->IdentFbed(QStringLiteral(" 4711 ")));
    ASSERT_TRUE(rig.WaitUntil([&] { return m.Access.FbedAccepted; }, 5000));
    rig.prompter.Clear();
    ASSERT_TRUE(rig.session->IdentFbed(QStringLiteral("4712")));
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.prompter.Infos.isEmpty(); }, 5000));
    EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(45)});
    EXPECT_FALSE(m.Access.FbedAccepted);
}

TEST(ModemSession, ModemTestStartsAtTheBeginningAndWritesOnlyAReadDevice)
{
    ModemRig rig;
    ASSERT_TRUE(rig.StartWith({}, false)); // the controller on a direct cable
    MainController &m = *rig.main;
    rig.device->setByte(0x0871, 0x02);
    auto run = [&] {
        rig.prompter.Clear();
        rig.session->ModemTest();
        return rig.WaitUntil([&] { return !rig.session->ModemTestRunning(); }, 5000);
    };

    // A failing first step ends the test; the next click starts from the beginning.
    rig.device->setRefusal(23, 0xF4);
    ASSERT_TRUE(run());
    EXPECT_TRUE(rig.prompter.All().isEmpty());
    rig.device->clearRefusal(23);

    // Nothing read: the result is shown, no image is touched.
    ASSERT_TRUE(run());
    EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(287)});
    EXPECT_EQ(m.Data.Geraet.GetByte(m.Data.State.IndexOf(0x0871)), 0);

    ASSERT_TRUE(rig.Read());
    ASSERT_TRUE(rig.finishedOk);
    const long long index = m.Data.State.IndexOf(0x0871);
    m.Data.Geraet.SetByte(index, 0x41);
    ASSERT_TRUE(run());
    EXPECT_EQ(m.Data.Geraet.GetByte(index), 0x43);
    rig.device->setByte(0x0871, 0x00);
    ASSERT_TRUE(run());
    EXPECT_EQ(rig.prompter.Infos, QStringList{GetText(288)});
    EXPECT_EQ(m.Data.Geraet.GetByte(index), 0x41);
}

TEST(ModemSession, ModemTextOnlyOnAQuietLine)
{
    ModemRig rig;
    ASSERT_TRUE(rig.StartWith());
    rig.main->LinkBusy = true;
    EXPECT_FALSE(rig.session->SendCommand(ModemText::Mode::Dial, QStringLiteral("0123")));
    EXPECT_FALSE(rig.session->ChangeBaud(QStringLiteral("2400")));
    EXPECT_EQ(rig.prompter.Warnings, QStringList({GetText(724), GetText(724)}));
    rig.main->LinkBusy = false;
    QThread::msleep(100);
    EXPECT_EQ(rig.modem->dials(), 0) << "nothing went on the line";
    EXPECT_EQ(rig.thread->BaudText(), QStringLiteral("9600"));
    EXPECT_TRUE(rig.session->ChangeBaud(QStringLiteral("2400")));
    EXPECT_EQ(rig.main->Init.BaudText, QStringLiteral("2400"));
}

TEST(ModemSession, InitStringOfferedAndSentAlike)
{
    const struct
    {
        const char *baud;
        bool sent;
    } cases[] = {{"2400", true}, {"9600", true}, {"19200", true}, {"57600", false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.baud);
        ModemRig rig;
        ASSERT_TRUE(rig.StartWith());
        MainController &m = *rig.main;
        m.Init.BaudText = QString::fromLatin1(c.baud);
        const ModemStrings before = m.Settings.Modem;
        rig.session->RememberShown();
        const QString *slot = ModemText::InitStringFor(m.Init.BaudText, m.Settings.Modem);
        EXPECT_EQ(rig.session->InitOffer(), slot ? *slot : QString());
        rig.prompter.Answers = {true};
        EXPECT_EQ(rig.session->Enter(ModemText::Mode::Init, QStringLiteral("at e0 s0=0")), c.sent);
        if (!c.sent) {
            EXPECT_TRUE(rig.prompter.Questions.isEmpty());
            EXPECT_EQ(m.Settings.Modem.Ini2400, before.Ini2400);
            EXPECT_EQ(m.Settings.Modem.Ini9600, before.Ini9600);
            continue;
        }
        ASSERT_TRUE(rig.WaitUntil([&] { return rig.commandEnded == 1; }, 3000));
        EXPECT_TRUE(rig.commandOk);
        EXPECT_EQ(rig.modem->lastCommand(), QStringLiteral("AT E0 S0=0"));
        EXPECT_EQ(rig.session->InitOffer(), QStringLiteral("at e0 s0=0")) << "the string sent is the one offered";
        EXPECT_EQ(*ModemText::InitStringFor(m.Init.BaudText, m.Settings.ModemToSave), QStringLiteral("at e0 s0=0"));
        EXPECT_EQ(rig.prompter.Questions.size(), 1);
    }
}
