#pragma once
// Connects a main controller to mirelo-sim's pty at 57600 baud for the chain benchmarks.
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

inline bool ConnectAt57600(MainController &main, TTeleThread &thread, Prompter &prompter, const QString &link)
{
    main.Init.PortName = link;
    thread.SetPrompter(&prompter);
    main.SetThread(&thread);
    ProtocolSearch::ChooseProtocol(main, 7); // "7 57600"
    QElapsedTimer wait;
    wait.start();
    while (thread.OpenAttempts() == 0 && wait.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!thread.PortOpen()) {
        std::fprintf(stderr, "the port did not open\n");
        return false;
    }
    return true;
}
