#pragma once
// The main controller with its telegram thread, the protocol search and the parameter
// reader, on the built-in simulated device or on a real (pseudo-terminal) port.
#include "SimDevice.h"
#include "SimOptions.h"
#include "SimPort.h"
#include "device/DeviceReader.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "support/EventWait.h"
#include "support/ScriptedPrompter.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <functional>
#include <memory>

void RegisterSimPort();

struct ChainRig
{
    ScriptedPrompter prompter;
    std::shared_ptr<SimDevice> device;
    std::unique_ptr<MainController> main;
    std::unique_ptr<TTeleThread> thread;
    std::unique_ptr<ProtocolSearch> search;
    std::unique_ptr<DeviceReader> reader;
    QStringList status4;   // texts of status panel 4, in order
    QStringList status0;
    QStringList progress;  // progress labels
    QStringList logD;      // protocol search log lines
    int progressHidden = 0;
    int finished = 0;
    bool finishedOk = false;
    int searchFinished = 0;
    int searchProtocol = 0;
    bool searchFound = false;

    // A simulated device holding a sample file at the base its definition names.
    static std::shared_ptr<SimDevice> DeviceFromSample(const QString &name)
    {
        auto d = std::make_shared<SimDevice>();
        const QString path = QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + name;
        int base = 0x0800;
        SimDefinitionBase(path, &base);
        QString error;
        if (!d->loadParameterFile(path, base, &error))
            return nullptr;
        return d;
    }

    // 2 % of the telegrams disturbed, spread over the simulator's kinds of line disturbance.
    // A refusal is the device's own answer, not noise, and is not among them.
    static bool AddLineNoise(SimDevice &d)
    {
        bool ok = true;
        for (const char *kind : {"noecho", "badecho", "silence", "wrongaddr", "truncate", "nosum", "badsum", "short",
                                 "garbage"})
            ok = d.addFault(QStringLiteral("%1:0.0022").arg(QLatin1String(kind))) && ok;
        return ok;
    }

    static QByteArray Sample(const QString &name)
    {
        QFile f(QStringLiteral(MIRELO_SOURCE_DATA_DIR "/samples/") + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Uses the shared SIM device (set `device` first) unless port names a real line.
    bool Start(const QString &port = QStringLiteral("SIM"), int readTimeoutMs = 20)
    {
        RegisterSimPort();
        SetHandshake(false);
        if (device)
            SimPort::resetSharedDevice(device);
        main = std::make_unique<MainController>(prompter);
        main->Init.PortName = port;
        thread = std::make_unique<TTeleThread>();
        thread->SetReadTimeout(readTimeoutMs);
        thread->SetPrompter(&prompter);
        main->SetThread(thread.get());
        search = std::make_unique<ProtocolSearch>(*main);
        search->SetPauseMs(5);
        search->SetProtocol4WaitMs(20);
        reader = std::make_unique<DeviceReader>(*main, search.get());
        QObject::connect(main.get(), &MainController::StatusText, [this](int panel, const QString &t) {
            if (panel == 4)
                status4 << t;
            if (panel == 0)
                status0 << t;
        });
        QObject::connect(main.get(), &MainController::ProgressShown,
                         [this](const QString &label, int, int, int) { progress << label; });
        QObject::connect(main.get(), &MainController::ProgressHidden, [this] { ++progressHidden; });
        QObject::connect(main.get(), &MainController::LogLine, [this](const QString &kind, const QString &t) {
            if (kind == QLatin1String("D"))
                logD << t;
        });
        QObject::connect(reader.get(), &DeviceReader::Finished, [this](bool ok) {
            ++finished;
            finishedOk = ok;
        });
        QObject::connect(search.get(), &ProtocolSearch::Finished, [this](int p, bool found) {
            ++searchFinished;
            searchProtocol = p;
            searchFound = found;
        });
        thread->SetPort(port, QStringLiteral("9600"));
        return WaitUntil([this] { return thread->OpenAttempts() > 0; }, 5000) && thread->PortOpen();
    }

    bool WaitUntil(const std::function<bool()> &done, int timeoutMs = 30000)
    {
        return ::WaitUntil(done, timeoutMs);
    }

    // Reads and waits for the end of the read (and of a search it started).
    bool Read()
    {
        const int before = finished;
        reader->ReadFromDevice();
        if (!WaitUntil([&] { return finished > before; }))
            return false;
        return WaitUntil([&] { return !search->Running(); });
    }

    ~ChainRig()
    {
        reader.reset();
        search.reset();
        thread.reset();
        main.reset();
        SimPort::resetSharedDevice();
        SetHandshake(false);
    }
};
