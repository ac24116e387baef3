#pragma once
// Connects a main controller to mirelo-sim's pty at 57600 baud for the chain benchmarks.
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>

// Messages on stderr; questions get a fixed answer.
class PrintPrompter : public Prompter
{
public:
    explicit PrintPrompter(bool answer = false) : m_answer(answer) {}
    void error(const QString &t) override { std::fprintf(stderr, "error: %s\n", qPrintable(t)); }
    void warning(const QString &t) override { std::fprintf(stderr, "warning: %s\n", qPrintable(t)); }
    void information(const QString &t) override { std::fprintf(stderr, "info: %s\n", qPrintable(t)); }
    bool question(const QString &) override { return m_answer; }

private:
    bool m_answer;
};

// Bytes on the line for a read whose answer carries n data bytes: the request (slave
// address, 6 bytes, checksum), the echo of the slave address, answer byte 1 and its echo,
// answer bytes 2..L (L = 4 + n) and the answer checksum.
inline int ReadLineBytes(int n) { return 8 + 1 + 1 + 1 + (4 + n - 1) + 1; }

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
