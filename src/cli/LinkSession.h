#pragma once
// The main controller with its telegram thread on the port the command line names: what
// every command that talks to a device sets up first.
#include "cli/Cli.h"
#include "device/DeviceReader.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Texts.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

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
            return true;
        Err(QStringLiteral("Schnittstelle %1 konnte nicht geöffnet werden.").arg(main.Init.PortName));
        return false;
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

private:
    CliOptions m_options;
};
