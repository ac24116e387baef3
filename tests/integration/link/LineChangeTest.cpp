// Port and protocol changes of the main window wait for an idle line: against the simulated
// device with the actual-value polling running.
#include "../device/ChainRig.h"
#include "link/LineChange.h"
#include "monitor/ValuePoller.h"
#include "params/FormatValue.h"
#include "shell/Texts.h"
#include <QSignalSpy>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace {

constexpr quint32 kAnaAddress = 0x2100; // "IstAna" of the 202 demo

struct LineRig
{
    ChainRig rig;
    std::unique_ptr<TFormatter> fmt;
    std::unique_ptr<ValuePoller> poller;
    std::unique_ptr<LineChange> change;
    std::atomic<int> delayMs{0}; // how long the device takes over a read of the page
    std::atomic<int> anaReads{0};
    int built = 0;

    bool Start()
    {
        rig.device = ChainRig::DeviceFromSample(QStringLiteral("demo.202"));
        if (!rig.device)
            return false;
        rig.device->addRequestHook([this](SimDevice &, const SimRequest &req, SimAnswer &) {
            if (req.code == 5 && req.address == kAnaAddress) {
                ++anaReads;
                if (const int ms = delayMs.load())
                    QThread::msleep(ms);
            }
            return false;
        });
        if (!rig.Start() || !rig.Read() || !rig.finishedOk)
            return false;
        rig.main->Settings.Retries = 0;
        fmt = std::make_unique<TFormatter>(rig.main->Data);
        poller = std::make_unique<ValuePoller>(*rig.main, *fmt, rig.search.get());
        poller->SetInterval(30);
        QObject::connect(poller.get(), &ValuePoller::PageBuilt, [this] { ++built; });
        change = std::make_unique<LineChange>(*rig.main, rig.search.get());
        change->PollInFlight = [this] { return poller->InFlight(); };
        change->PausePoll = [this] {
            if (poller->Paused())
                return false;
            poller->Pause();
            return true;
        };
        change->ResumePoll = [this] { poller->Resume(); };
        return true;
    }
    ~LineRig()
    {
        change.reset();
        poller.reset();
    }
    // The port change the menu makes: the same port opened again.
    std::function<void()> Reopen(int *runs)
    {
        return [this, runs] {
            ++*runs;
            rig.thread->SetPort(QStringLiteral("SIM"), QStringLiteral("9600"));
        };
    }
};

TEST(LineChange, IdleLineChangesAtOnce)
{
    LineRig r;
    ASSERT_TRUE(r.Start());
    ASSERT_TRUE(r.rig.thread->Idle());
    const int attempts = r.rig.thread->OpenAttempts();
    int runs = 0;
    EXPECT_TRUE(r.change->Run(427, r.Reopen(&runs)));
    EXPECT_EQ(runs, 1); // before Run returned: nothing to wait for
    EXPECT_TRUE(r.rig.WaitUntil([&] { return r.rig.thread->OpenAttempts() > attempts; }, 5000));
    EXPECT_TRUE(r.rig.thread->PortOpen());
    EXPECT_TRUE(r.rig.prompter.All().isEmpty()) << r.rig.prompter.All().join('|').toStdString();
}

TEST(LineChange, RefusedWhileSomethingElseHoldsTheLine)
{
    struct Case
    {
        const char *name;
        int text;
        std::function<void(LineRig &)> hold, release;
    };
    TeleRequester other;
    quint8 buffer[255] = {};
    const Case cases[] = {
        {"chain", 427, [](LineRig &r) { r.rig.main->LinkBusy = true; },
         [](LineRig &r) { r.rig.main->LinkBusy = false; }},
        {"search", 428, [](LineRig &r) { r.rig.search->Start(); },
         [](LineRig &r) {
             r.rig.search->Cancel();
             EXPECT_TRUE(r.rig.WaitUntil([&] { return !r.rig.search->Running(); }, 10000));
         }},
        // Another window's request on the line: it must not be cut, and is not waited for.
        {"request", 427,
         [&](LineRig &r) {
             r.delayMs = 300;
             ASSERT_TRUE(r.rig.thread->Push(&other, TeleDone, quint8(r.rig.main->SlaveForRequest()),
                                            r.rig.main->Init.OwnAddress, 5, kAnaAddress, 8, buffer));
         },
         [&](LineRig &r) {
             TeleReport report;
             EXPECT_TRUE(other.Wait(&report, 5000));
             EXPECT_TRUE(report.Ok()) << report.State();
             r.delayMs = 0;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LineRig r;
        ASSERT_TRUE(r.Start());
        c.hold(r);
        const int attempts = r.rig.thread->OpenAttempts();
        int runs = 0;
        EXPECT_TRUE(r.change->Refused());
        EXPECT_FALSE(r.change->Run(c.text, r.Reopen(&runs)));
        EXPECT_EQ(runs, 0);
        EXPECT_EQ(r.rig.prompter.Warnings, QStringList{GetText(c.text)});
        c.release(r);
        // The search opens the port at its own speeds; the others leave it alone.
        if (c.text != 428)
            EXPECT_EQ(r.rig.thread->OpenAttempts(), attempts);
        EXPECT_FALSE(r.change->Refused());
    }
}

TEST(LineChange, PollOnTheLineIsAnsweredBeforeTheChange)
{
    LineRig r;
    ASSERT_TRUE(r.Start());
    QSignalSpy failed(r.poller.get(), &ValuePoller::PollFailed);
    r.delayMs = 300;
    r.poller->ChoosePage(QStringLiteral("IstAna"));
    ASSERT_TRUE(r.poller->InFlight());
    EXPECT_FALSE(r.change->Refused()); // the poll alone does not keep the user out
    bool inFlightAtChange = true, pausedAtChange = false, idleAtChange = false;
    int builtAtChange = -1;
    int runs = 0;
    const auto reopen = r.Reopen(&runs);
    EXPECT_TRUE(r.change->Run(427, [&] {
        inFlightAtChange = r.poller->InFlight();
        pausedAtChange = r.poller->Paused();
        idleAtChange = r.rig.thread->Idle();
        builtAtChange = r.built;
        reopen();
    }));
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(inFlightAtChange);
    EXPECT_TRUE(pausedAtChange);
    EXPECT_TRUE(idleAtChange);
    EXPECT_EQ(builtAtChange, 1); // the poll got its answer, not a cut-off report
    EXPECT_EQ(failed.count(), 0);
    EXPECT_FALSE(r.poller->Paused());
    EXPECT_FALSE(r.change->Waiting());
    // Polling goes on on the reopened port.
    r.delayMs = 0;
    EXPECT_TRUE(r.rig.WaitUntil([&] { return r.built >= 3; }, 10000));
    EXPECT_EQ(failed.count(), 0);
    EXPECT_TRUE(r.rig.prompter.All().isEmpty()) << r.rig.prompter.All().join('|').toStdString();
}

TEST(LineChange, PollOutlastingTheLimitRefusesAndPollingGoesOn)
{
    LineRig r;
    ASSERT_TRUE(r.Start());
    r.delayMs = 800;
    r.change->SetWaitLimitMs(100);
    r.poller->ChoosePage(QStringLiteral("IstAna"));
    ASSERT_TRUE(r.poller->InFlight());
    const int attempts = r.rig.thread->OpenAttempts();
    int runs = 0;
    EXPECT_FALSE(r.change->Run(428, r.Reopen(&runs)));
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(r.rig.prompter.Warnings, QStringList{GetText(428)});
    EXPECT_FALSE(r.poller->Paused());
    r.delayMs = 0;
    EXPECT_TRUE(r.rig.WaitUntil([&] { return r.built >= 2; }, 10000));
    EXPECT_EQ(r.rig.thread->OpenAttempts(), attempts);
}

} // namespace
