#pragma once
#include "link/TeleThread.h"
#include "link/Telegramm.h"
#include <QByteArray>
#include <memory>

class Prompter;

// A telegram thread driven one exchange at a time, for the command-line program,
// benchmarks and tests. The calling thread must run the Qt event loop's thread (the
// reports are delivered there).
class SyncLink
{
public:
    struct Settings
    {
        QString Port = QStringLiteral("SIM");
        int Protocol = 4;
        int SlaveAddress = 0xAE; // of the settings; the protocol may replace it
        int OwnAddress = 55;
        int ReadTimeoutMs = TTeleThread::ReadTimeoutMs;
    };

    explicit SyncLink(const Settings &settings, Prompter *prompter = nullptr);
    ~SyncLink();

    // Waits for the port to open; on failure error holds the reason.
    bool Open(QString *error, int timeoutMs = 5000);

    // One exchange. Read codes land in data (resized to count); write codes send data.
    TeleReport Exchange(quint8 code, quint32 address, int count, QByteArray *data);
    TeleReport Read(quint32 address, int count, QByteArray *data) { return Exchange(5, address, count, data); }

    // The failure text of a report (empty on success).
    static QString FailureText(const TeleReport &report);

    TTeleThread &Thread() { return *m_thread; }
    int Slave() const { return m_slave; }
    int Own() const { return m_own; }

private:
    Settings m_settings;
    int m_slave;
    int m_own;
    std::unique_ptr<TTeleThread> m_thread;
    TeleRequester m_requester;
    tyTelegramm m_image;
    QString m_openError;
};
