#pragma once
// The main controller with its telegram thread on the port the command line names: what
// every command that talks to a device sets up first.
#include "cli/Cli.h"
#include "device/DeviceReader.h"
#include "link/ModemSession.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Starts a chain with `start` and runs the event loop until `sender` emits `finished`;
// `judge` takes the signal's arguments and says whether the chain succeeded. False as well
// when the chain could not be started.
template <typename Sender, typename Signal, typename Judge, typename Start>
bool AwaitChain(Sender *sender, Signal finished, Judge judge, Start start)
{
    QEventLoop loop;
    bool ok = false;
    const auto connection = QObject::connect(sender, finished, &loop, [&](auto &&...args) {
        ok = judge(args...);
        loop.quit();
    });
    const bool sent = start();
    if (sent)
        loop.exec();
    QObject::disconnect(connection);
    return sent && ok;
}

struct LinkSession
{
    LinkSession(const CliOptions &o, Prompter &prompter, int readTimeoutMs = TTeleThread::ReadTimeoutMs)
        : main(prompter), m_options(o)
    {
        main.Init.PortName = o.Port;
        main.Init.SlaveAddress = quint8(o.SlaveAddress);
        main.Init.OwnAddress = quint8(o.OwnAddress);
        main.Data.LanguageSuffix = o.LanguageSuffix;
        main.Settings.Retries = o.Retries;
        // Repetitions are worth a line on stderr: they show a noisy line before it fails.
        QObject::connect(&main, &MainController::ExchangeRepeated, [](const QString &text) { Err(text); });
        thread.SetPrompter(&prompter);
        thread.SetReadTimeout(readTimeoutMs);
        main.SetThread(&thread);
        modem.Attach(&thread);
    }

    // Over a modem the connection ends with the command: hung up, the carrier checked.
    ~LinkSession()
    {
        if (!m_dialled || !main.ModemOnline)
            return;
        bool done = false;
        QObject::connect(&modem, &ModemSession::HungUp, [&done](bool) { done = true; });
        if (modem.HangUp())
            WaitUntil([&] { return done; }, 15000);
    }

    // The protocol of the options (its baud and addresses; a slave address given on the
    // command line wins, also over protocol 3's 70), then the wait for the port.
    bool OpenWithProtocol()
    {
        ProtocolSearch::ChooseProtocol(main, m_options.Protocol);
        ApplySlave();
        return WaitOpen();
    }

    void ApplySlave()
    {
        if (!m_options.SlaveGiven)
            return;
        main.Init.SlaveAddress = quint8(m_options.SlaveAddress);
        main.SlaveOverride = m_options.SlaveAddress;
    }

    // Waits until the thread has tried to open the port; false (with a message) when it failed.
    bool WaitOpen()
    {
        QElapsedTimer t;
        t.start();
        while (thread.OpenAttempts() == 0 && t.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (thread.PortOpen())
            return m_options.Dial.isEmpty() || m_dialled || DialModem();
        Err(QStringLiteral("Schnittstelle %1 konnte nicht geöffnet werden.").arg(main.Init.PortName));
        return false;
    }

    // --init and --dial on the open port: every device command then runs over the modem.
    // A modem that refuses or stays silent has been reported by the session.
    bool DialModem()
    {
        m_dialled = true;
        bool ended = false, ok = false;
        auto wait = [&] {
            WaitUntil([&] { return ended; }, 120000);
            const bool r = ended && ok;
            ended = ok = false;
            return r;
        };
        auto note = [&](bool r, const QString &) {
            ok = r;
            ended = true;
        };
        const auto c1 = QObject::connect(&modem, &ModemSession::CommandEnded, note);
        const auto c2 = QObject::connect(&modem, &ModemSession::DialEnded, note);
        bool connected = (m_options.ModemInit.isEmpty() ||
                          (modem.SendCommand(ModemText::Mode::Init, m_options.ModemInit) && wait())) &&
                         modem.Dial(m_options.Dial) && wait();
        QObject::disconnect(c1);
        QObject::disconnect(c2);
        // The connection counts once the carrier says so (on a line without one, the
        // modem's CONNECT stands for it).
        if (connected)
            connected = WaitUntil([&] { return main.ModemOnline; }, 3000);
        if (!connected) {
            Err(GetText(729));
            return false;
        }
        if (m_options.Fbed.isEmpty())
            return true;
        // The controller's refusal has been told by the session.
        const auto c3 = QObject::connect(&modem, &ModemSession::FbedAnswered, [&](bool r) { note(r, QString()); });
        const bool accepted = modem.IdentFbed(m_options.Fbed) && wait();
        QObject::disconnect(c3);
        return accepted;
    }

    static bool WaitUntil(const std::function<bool()> &done, int ms)
    {
        QElapsedTimer t;
        t.start();
        QTimer tick;
        tick.start(10);
        while (!done() && t.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        return done();
    }

    // "Parameter aus Gerät" to its end; true when the whole set was read.
    static bool Read(DeviceReader &reader)
    {
        QEventLoop loop;
        bool ok = false;
        QObject::connect(&reader, &DeviceReader::Finished, &loop, [&](bool complete) {
            ok = complete;
            loop.quit();
        });
        reader.ReadFromDevice();
        if (reader.Running())
            loop.exec();
        return ok;
    }

    // The port opened and the whole device read by `reader` (made on `main`), as "Parameter
    // aus Gerät" does: what the commands that work on a connected device need first. False
    // when the link failed.
    bool OpenAndRead(DeviceReader &reader)
    {
        if (!OpenWithProtocol())
            return false;
        if (!Read(reader))
            return false;
        Texts::SetDeviceTypeForTexts(main.Data.State.DeviceType);
        return true;
    }

    // The access level the password gives on the device that was read.
    void Identify(const QString &password)
    {
        AcceptIdent(main.Access, password, main.Data.State.AccessCode);
        main.Data.AccessLevel = main.Access.Level;
    }

    MainController main;
    TTeleThread thread;
    ModemSession modem{main};

private:
    CliOptions m_options;
    bool m_dialled = false;
};
