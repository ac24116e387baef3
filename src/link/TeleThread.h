#pragma once
#include "link/LinkPort.h"
#include "link/Telegramm.h"
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <functional>
#include <memory>

class Prompter;

struct TTeleRequest
{
    quint8 SlaveAddress = 0;
    quint8 OwnAddress = 0;
    quint8 Code = 0;
    quint32 Address = 0;
    quint8 Count = 0;
    quint8 *Data = nullptr;
    int Capacity = 0;
    QPointer<QObject> Requester;
    quint16 ReplyIndex = TeleDone;
};

// Shared with the modem and service windows: bytes received while no exchange runs.
namespace ReceivedText {
void Append(QChar c);
QString Get();
QString Take();
void Clear();
} // namespace ReceivedText

// Whether every answer byte after the first is echoed back (setting "Handshake").
void SetHandshake(bool on);
bool Handshake();

// The one worker that owns the serial line and performs telegram exchanges, one at a time.
// A requester is a QObject with the invokable method
//     Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);
// which is called in the requester's thread while the worker waits (a synchronous report).
class TTeleThread : public QThread
{
    Q_OBJECT
public:
    static constexpr int QueueSize = 4;
    static constexpr int EchoRetries = 20;
    static constexpr int AnswerRetries = 50;
    // A one-byte read waits at most 800 ms + 5 ms per byte.
    static constexpr int ReadTimeoutMs = 805;

    explicit TTeleThread(QObject *parent = nullptr);
    ~TTeleThread() override;

    // Names the port (and speed) and has the worker open it again. Requests queued before
    // or after stay queued and run on the reopened port; an exchange running at that
    // moment ends in a report with state 99. announceFailure false: an opening failure is
    // only kept in PortProblem(), not shown.
    void SetPort(const QString &port, const QString &baud, bool announceFailure = true);
    // False when the queue is full: the request is dropped and will never be reported.
    bool Push(QObject *requester, quint16 replyIndex, quint8 slaveAddress, quint8 ownAddress, quint8 code,
              quint32 address, quint8 count, quint8 *data, int capacity = 255);
    // Ends the running exchange at once with a report of state 99 (a user's cancel);
    // nothing when none runs.
    void Abort();
    bool WriteByte(quint8 byte);
    void SetRTS(bool on);
    void SetDTR(bool on);
    void Terminate();

    static int StateToTextIndex(int state);
    // "name=friendly name" lines: the machine's serial ports plus the simulated device.
    static QStringList ListPorts(bool includeBusy);

    QString PortName() const;
    QString BaudText() const;
    bool PortOpen() const { return m_portOpen.load(); }
    // Why the port is not open (an opening failure, a lost line); empty while it is.
    QString PortProblem() const;
    // Counts finished attempts to open the port (successful or not).
    int OpenAttempts() const { return m_openAttempts.load(); }
    int QueueCount() const;
    // No exchange runs and none waits: plain text may go on the line.
    bool Idle() const;

    // Message boxes of the port opening, shown in the GUI thread.
    void SetPrompter(Prompter *prompter) { m_prompter = prompter; }
    // Tests shorten the one-byte read time-out; the retry counts stay as they are.
    void SetReadTimeout(int ms) { m_readTimeout = ms; }
    int ReadTimeout() const { return m_readTimeout; }
    // The longest one exchange can take: every echo and answer read at its retry limit.
    int WorstExchangeMs() const { return m_readTimeout * (EchoRetries + AnswerRetries + 10) + 1000; }
    // Tests put a scripted line in place of the real or simulated port.
    using PortFactory = std::function<std::unique_ptr<LinkPort>(const QString &name)>;
    void SetPortFactory(PortFactory factory)
    {
        QMutexLocker lock(&m_portMutex);
        m_portFactory = std::move(factory);
    }

    // Hooks. OnLog and OnDone run in the worker thread (receivers marshal them);
    // the line hooks run in the GUI thread; OnPush in the caller of Push.
    std::function<void(const QString &kind, const QString &text)> OnLog;
    std::function<void(bool)> OnCTS, OnDSR, OnRing, OnDCD, OnRTS, OnDTR;
    std::function<void()> OnPush;
    std::function<void(quint8)> OnDone;
    // Why the port did not open or the line was lost; empty when it opens again after such a
    // problem (worker thread).
    std::function<void(const QString &problem)> OnPortProblem;

signals:
    // The queue has run empty after an exchange's report was handled (worker thread; a
    // receiver in another thread gets it queued).
    void Idled();

protected:
    void run() override;

private:
    void OpenPort();
    // The line has gone: close the port and tell the user once.
    // tell: show the loss in a box; an exchange that was running reports it to its
    // requester instead, so the user is told once.
    void CloseLostLine(bool tell);
    // Moves what has already arrived into ReceivedText, without waiting.
    void TakeIdleInput();
    // Drops what the device still sends of a cut answer, until the line is quiet.
    void DrainLine();
    void StartNextLocked();
    void Exchange();
    void Evaluate();
    // state: the state reported (0 after success).
    void Report(int state);
    void NotifyModemLines(unsigned status);
    bool YieldSlice();
    int ReadOne(quint8 *byte);
    int ReadRetrying(quint8 *byte, int retries, int retryState);
    bool Abandoned() const;
    void Log(const QString &kind, const QString &text);

    mutable QMutex m_mutex; // queue, state, current exchange set-up
    QWaitCondition m_idle;
    QMutex m_portMutex;     // the port object while it is replaced or written from outside

    QString m_portName = QStringLiteral("1");
    QString m_baudText = QStringLiteral("9600");
    QString m_mode = QStringLiteral("9600,N,8,1");
    std::atomic<bool> m_reopenRequested{false};
    bool m_announceOpenFailure = true; // guarded by m_mutex
    QString m_portProblem;             // guarded by m_mutex
    bool m_reported = false;           // the current exchange has had its report
    bool m_drainAfterOpen = false;     // an answer was cut by the port change
    std::unique_ptr<LinkPort> m_port;
    std::atomic<bool> m_portOpen{false};
    std::atomic<int> m_openAttempts{0};
    unsigned m_previousStatus = 0;
    unsigned m_status = 0;
    bool m_rts = true;
    bool m_dtr = true;
    bool m_lastCts = false, m_lastDsr = false, m_lastRing = false, m_lastDcd = false;

    TTeleRequest m_queue[QueueSize];
    int m_queueCount = 0;

    QPointer<QObject> m_requester;
    quint16 m_replyIndex = TeleDone;
    std::atomic<int> m_state{0};
    quint8 m_code = 0;
    quint8 m_count = 0;
    quint8 m_buffer[256] = {};
    quint8 m_checksum = 0;
    quint8 *m_destination = nullptr;
    int m_capacity = 0;
    int m_result = 0;

    std::atomic<bool> m_terminated{false};
    std::atomic<bool> m_abortRequested{false};
    int m_readTimeout = ReadTimeoutMs;
    Prompter *m_prompter = nullptr;
    PortFactory m_portFactory;
};

// A requester for code that waits for one report at a time (command-line program, tests).
class TeleRequester : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);
    // Runs a local event loop until a report arrives or timeoutMs pass; false on time-out.
    bool Wait(TeleReport *report, int timeoutMs);
    int Received() const { return m_received; }
    // Forgets the reports received so far.
    void Reset()
    {
        m_received = 0;
        m_have = false;
    }

signals:
    void Reported(quint16 replyIndex, quint32 wParam, quint32 lParam);

private:
    int m_received = 0;
    bool m_have = false;
    TeleReport m_last;
};
