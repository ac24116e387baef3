#include "link/TeleThread.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>
#include <thread>

namespace {
QMutex g_receivedMutex;
QString g_receivedText;
std::atomic<bool> g_handshake{false};

QString hex2(int b) { return Text::ByteToHex(b); }
} // namespace

namespace ReceivedText {
void Append(QChar c)
{
    QMutexLocker lock(&g_receivedMutex);
    g_receivedText.append(c);
}
QString Get()
{
    QMutexLocker lock(&g_receivedMutex);
    return g_receivedText;
}
QString Take()
{
    QMutexLocker lock(&g_receivedMutex);
    QString t = g_receivedText;
    g_receivedText.clear();
    return t;
}
void Clear()
{
    QMutexLocker lock(&g_receivedMutex);
    g_receivedText.clear();
}
} // namespace ReceivedText

void SetHandshake(bool on) { g_handshake = on; }
bool Handshake() { return g_handshake; }

TTeleThread::TTeleThread(QObject *parent) : QThread(parent)
{
    start();
}

TTeleThread::~TTeleThread()
{
    Terminate();
    // The worker may be waiting for a report handler in this thread: keep serving
    // those calls until it has left its loop.
    while (!wait(10))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QMutexLocker lock(&m_portMutex);
    if (m_port)
        m_port->close();
}

void TTeleThread::Terminate()
{
    m_terminated = true;
    {
        QMutexLocker lock(&m_mutex);
        m_idle.wakeAll();
    }
    QMutexLocker lock(&m_portMutex);
    if (m_port)
        m_port->wake();
}

void TTeleThread::Log(const QString &kind, const QString &text)
{
    if (OnLog)
        OnLog(kind, text);
}

QString TTeleThread::PortName() const
{
    QMutexLocker lock(&m_mutex);
    return m_portName;
}

QString TTeleThread::BaudText() const
{
    QMutexLocker lock(&m_mutex);
    return m_baudText;
}

int TTeleThread::QueueCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_queueCount;
}

bool TTeleThread::Idle() const
{
    QMutexLocker lock(&m_mutex);
    return m_state == 0 && m_queueCount == 0;
}

QString TTeleThread::PortProblem() const
{
    QMutexLocker lock(&m_mutex);
    return m_portProblem;
}

void TTeleThread::SetPort(const QString &port, const QString &baud, bool announceFailure)
{
    {
        QMutexLocker lock(&m_mutex);
        if (!port.isEmpty())
            m_portName = port;
        if (!baud.isEmpty()) {
            m_baudText = baud;
            m_mode = baud + QStringLiteral(",N,8,1");
        }
        // A running exchange notices this and ends with its report.
        m_reopenRequested = true;
        m_announceOpenFailure = announceFailure;
        m_idle.wakeAll();
    }
    QMutexLocker lock(&m_portMutex);
    if (m_port)
        m_port->wake();
}

void TTeleThread::Abort()
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_state == 0)
            return;
        m_abortRequested = true;
    }
    QMutexLocker lock(&m_portMutex);
    if (m_port)
        m_port->wake();
}

bool TTeleThread::Push(QObject *requester, quint16 replyIndex, quint8 slaveAddress, quint8 ownAddress, quint8 code,
                       quint32 address, quint8 count, quint8 *data, int capacity)
{
    if (OnPush)
        OnPush();
    bool startedNow = false;
    {
        QMutexLocker lock(&m_mutex);
        if (m_queueCount >= QueueSize) {
            lock.unlock();
            Log(QStringLiteral("S"), QStringLiteral("Push: Stack voll"));
            return false;
        }
        if (code != 25) {
            QString bytes;
            for (int i = 0; data && i < 8 && i < capacity; ++i)
                bytes += hex2(data[i]);
            const QString line = QStringLiteral("Push: ") + hex2(slaveAddress) + QLatin1Char(',') + hex2(ownAddress) +
                                 QLatin1Char(',') + hex2(code) + QLatin1Char(',') + Text::ToHex(address & 0xFFFF, 4) +
                                 QLatin1Char(',') + hex2(count) + QLatin1Char('-') + bytes;
            Log(QStringLiteral("S"), line);
        }
        TTeleRequest &r = m_queue[m_queueCount++];
        r.SlaveAddress = slaveAddress;
        r.OwnAddress = ownAddress;
        r.Code = code;
        r.Address = address;
        r.Count = count;
        r.Data = data;
        r.Capacity = data ? qMax(0, capacity) : 0;
        r.Requester = requester;
        r.ReplyIndex = replyIndex;
        // A port that failed to open or whose line was lost is tried again for each new
        // request (the adapter may be back); the failure was told already.
        if (!m_portOpen && !m_reopenRequested) {
            m_reopenRequested = true;
            m_announceOpenFailure = false;
        }
        if (m_state == 0) {
            StartNextLocked();
            startedNow = true;
        }
        m_idle.wakeAll();
    }
    if (startedNow) {
        QMutexLocker lock(&m_portMutex);
        if (m_port)
            m_port->wake();
    }
    return true;
}

void TTeleThread::StartNextLocked()
{
    if (m_queueCount == 0) {
        m_state = 0;
        return;
    }
    const TTeleRequest r = m_queue[0];
    m_requester = r.Requester;
    m_buffer[1] = r.SlaveAddress;
    m_buffer[2] = r.OwnAddress;
    m_code = r.Code;

    // Bytes 3..L by function code.
    const quint32 a = r.Address;
    auto copyData = [&](int at) {
        for (int k = 0; k < r.Count && at + k < 256; ++k)
            m_buffer[at + k] = (r.Data && k < r.Capacity) ? r.Data[k] : 0;
    };
    switch (r.Code) {
    case 3:
    case 26:
        m_buffer[4] = r.Code;
        copyData(5);
        m_buffer[3] = quint8(qMin(255, r.Count + 4));
        break;
    case 5:
    case 53:
        m_buffer[3] = 7;
        m_buffer[4] = r.Code;
        m_buffer[5] = quint8(a >> 8);
        m_buffer[6] = quint8(a);
        m_buffer[7] = r.Count;
        break;
    case 37:
        m_buffer[3] = 9;
        m_buffer[4] = r.Code;
        m_buffer[5] = quint8(a >> 24);
        m_buffer[6] = quint8(a >> 16);
        m_buffer[7] = quint8(a >> 8);
        m_buffer[8] = quint8(a);
        m_buffer[9] = r.Count;
        break;
    case 25:
        m_buffer[3] = 4;
        m_buffer[4] = 25;
        break;
    case 4:
    case 20:
        m_buffer[4] = r.Code;
        m_buffer[5] = quint8(a >> 8);
        m_buffer[6] = quint8(a);
        copyData(7);
        m_buffer[3] = quint8(qMin(255, r.Count + 6));
        break;
    case 36:
        m_buffer[4] = r.Code;
        m_buffer[5] = quint8(a >> 24);
        m_buffer[6] = quint8(a >> 16);
        m_buffer[7] = quint8(a >> 8);
        m_buffer[8] = quint8(a);
        copyData(9);
        m_buffer[3] = quint8(qMin(255, r.Count + 8));
        break;
    case 9:
        m_buffer[3] = 8;
        m_buffer[4] = 9;
        m_buffer[5] = quint8(a >> 24);
        m_buffer[6] = quint8(a >> 16);
        m_buffer[7] = quint8(a >> 8);
        m_buffer[8] = quint8(a);
        break;
    case 23:
    case 24:
        m_buffer[4] = r.Code;
        m_buffer[3] = quint8(qMin(255, r.Count + 4));
        break;
    default:
        // Nothing is laid out; the buffer keeps its previous bytes.
        Log(QStringLiteral("S"), QStringLiteral("unbekannter Befehl: $") + hex2(r.Code));
        break;
    }
    quint8 sum = 0;
    for (int i = 1; i <= m_buffer[3]; ++i)
        sum = quint8(sum + m_buffer[i]);
    m_checksum = sum;
    m_buffer[0] = 0;
    m_result = 1;
    m_destination = r.Data;
    m_capacity = r.Capacity;
    m_count = r.Count;
    m_replyIndex = r.ReplyIndex;
    m_state = 10;
    for (int i = 1; i < m_queueCount; ++i)
        m_queue[i - 1] = m_queue[i];
    --m_queueCount;
}

void TTeleThread::run()
{
    while (!m_terminated) {
        if (m_reopenRequested) {
            OpenPort();
            continue;
        }
        if (m_port && m_portOpen) {
            m_status = m_port->modemStatus();
            if (m_status != m_previousStatus) {
                const unsigned status = m_status;
                QMetaObject::invokeMethod(this, [this, status] { NotifyModemLines(status); },
                                          Qt::BlockingQueuedConnection);
                m_previousStatus = m_status;
            }
        }
        const int state = m_state;
        if (state == 0) {
            if (m_port && m_portOpen) {
                quint8 b = 0;
                const auto r = m_port->readByte(&b, m_readTimeout);
                if (r == LinkPort::ReadByte)
                    ReceivedText::Append(QChar(char16_t(b)));
                else if (r == LinkPort::ReadFailed && m_port->lineLost())
                    CloseLostLine(true);
                else if (r == LinkPort::ReadFailed)
                    QThread::msleep(20); // a passing fault of the line: no spinning on it
            } else {
                // No line: sleep until a request, a new port or the end.
                QMutexLocker lock(&m_mutex);
                if (m_state == 0 && !m_reopenRequested && !m_terminated)
                    m_idle.wait(&m_mutex, 1000);
            }
        } else if (state == 10) {
            // A port change made before the request was queued comes first: the request
            // runs on the reopened port.
            if (m_reopenRequested)
                continue;
            // Bytes that came while the line was idle are the idle line's (a modem's
            // "CONNECT" still on its way in): they go where idle bytes go, not into the answer.
            TakeIdleInput();
            m_reported = false;
            Exchange();
            if (!m_reported && !m_terminated) {
                // Given up for a port change or a cancel: the requester's chain still gets
                // its report. The device may still be sending the rest of its answer; those
                // bytes would spoil the next exchange, so the line must fall quiet first.
                if (m_reopenRequested)
                    m_drainAfterOpen = true;
                else
                    DrainLine();
                m_state = 99;
                m_result = 255;
                Report(99);
            }
            m_abortRequested = false;
        }
        if (m_state == 110) {
            QMutexLocker lock(&m_mutex);
            if (m_state == 110)
                StartNextLocked();
        }
    }
}

void TTeleThread::OpenPort()
{
    QString name, baud;
    bool announce = true;
    {
        // Taken together with the name: a SetPort during the opening asks for another one.
        QMutexLocker lock(&m_mutex);
        name = m_portName;
        baud = m_baudText;
        announce = m_announceOpenFailure;
        m_announceOpenFailure = true;
        m_reopenRequested = false;
    }
    QString reason;
    bool ok = false;
    {
        QMutexLocker lock(&m_portMutex);
        if (m_port)
            m_port->close();
        m_port = m_portFactory ? m_portFactory(name) : CreateLinkPort(name);
        m_portOpen = false;
        bool baudOk = false;
        const int rate = baud.toInt(&baudOk);
        if (!baudOk || rate <= 0) {
            reason = QStringLiteral("ComInit / BuildCommDCB Fehler : %1").arg(baud);
        } else if (m_port->open(rate, &reason)) {
            ok = true;
            m_port->discardInput();
        }
        m_portOpen = ok;
    }
    bool hadProblem = false;
    {
        QMutexLocker lock(&m_mutex);
        hadProblem = !m_portProblem.isEmpty();
        // A quiet retry that fails again keeps the problem the user was told of (the lost
        // line names the port and what happened; "cannot open" would only add confusion).
        if (ok)
            m_portProblem.clear();
        else if (announce || m_portProblem.isEmpty())
            m_portProblem = reason;
    }
    if (!ok && announce && m_prompter) {
        Prompter *p = m_prompter;
        QMetaObject::invokeMethod(this, [p, reason] { p->error(reason); }, Qt::BlockingQueuedConnection);
    }
    if (!ok)
        Log(QStringLiteral("S"), reason);
    if (OnPortProblem && (!ok || hadProblem))
        OnPortProblem(ok ? QString() : reason); // empty: the problem is over
    if (ok && m_drainAfterOpen)
        DrainLine();
    m_drainAfterOpen = false;
    SetRTS(m_rts);
    SetDTR(m_dtr);
    // Queued requests stay: they run on the reopened port (or end in their failure report).
    QMutexLocker lock(&m_mutex);
    m_previousStatus = 0;
    ++m_openAttempts;
}

void TTeleThread::CloseLostLine(bool tell)
{
    QString name;
    {
        QMutexLocker lock(&m_portMutex);
        if (!m_port || !m_portOpen)
            return;
        name = SystemPortName(m_port->name());
        m_port->close();
        m_portOpen = false;
    }
    const QString text = GetText(420) + name;
    {
        QMutexLocker lock(&m_mutex);
        m_portProblem = text;
    }
    Log(QStringLiteral("S"), text);
    if (OnPortProblem)
        OnPortProblem(text);
    if (tell && m_prompter && !m_terminated) {
        Prompter *p = m_prompter;
        QMetaObject::invokeMethod(this, [p, text] { p->error(text); }, Qt::BlockingQueuedConnection);
    }
}

void TTeleThread::TakeIdleInput()
{
    if (!m_port || !m_portOpen)
        return;
    quint8 b = 0;
    for (;;) {
        const auto r = m_port->readByte(&b, 0);
        if (r == LinkPort::ReadByte)
            ReceivedText::Append(QChar(char16_t(b)));
        else if (r != LinkPort::ReadWoken)
            return;
    }
}

void TTeleThread::DrainLine()
{
    if (!m_port || !m_portOpen)
        return;
    // Quiet for two byte times at the slowest speed and then some; a device that keeps
    // talking is given up on after a second.
    constexpr int kQuietMs = 30;
    constexpr int kLimitMs = 1000;
    QElapsedTimer t;
    t.start();
    quint8 b = 0;
    while (!m_terminated && t.elapsed() < kLimitMs) {
        const auto r = m_port->readByte(&b, kQuietMs);
        if (r == LinkPort::ReadTimeout || r == LinkPort::ReadFailed)
            break;
    }
}

void TTeleThread::SetRTS(bool on)
{
    {
        QMutexLocker lock(&m_portMutex);
        if (m_port && m_portOpen)
            m_port->setRts(on);
    }
    if (OnDTR)
        OnDTR(m_dtr);
    m_rts = on;
}

void TTeleThread::SetDTR(bool on)
{
    {
        QMutexLocker lock(&m_portMutex);
        if (m_port && m_portOpen)
            m_port->setDtr(on);
    }
    m_dtr = on;
    if (OnRTS)
        OnRTS(m_rts);
}

bool TTeleThread::WriteByte(quint8 byte)
{
    QMutexLocker lock(&m_portMutex);
    if (!m_port || !m_portOpen)
        return false;
    return m_port->write(&byte, 1, 1500);
}

void TTeleThread::NotifyModemLines(unsigned status)
{
    struct Line
    {
        unsigned bit;
        bool *last;
        std::function<void(bool)> *hook;
    } lines[] = {{LinkPort::CTS, &m_lastCts, &OnCTS},
                 {LinkPort::DSR, &m_lastDsr, &OnDSR},
                 {LinkPort::RING, &m_lastRing, &OnRing},
                 {LinkPort::DCD, &m_lastDcd, &OnDCD}};
    for (auto &l : lines) {
        const bool on = (status & l.bit) != 0;
        if (on != *l.last) {
            *l.last = on;
            if (*l.hook)
                (*l.hook)(on);
        }
    }
}

bool TTeleThread::Abandoned() const { return m_terminated || m_reopenRequested || m_abortRequested; }

bool TTeleThread::YieldSlice()
{
    if (Abandoned())
        return false;
    std::this_thread::yield();
    return !Abandoned();
}

// 1: a byte, 0: nothing within the time-out, -1: the read failed, -2: exchange abandoned.
int TTeleThread::ReadOne(quint8 *byte)
{
    for (;;) {
        const auto r = m_port->readByte(byte, m_readTimeout);
        if (r == LinkPort::ReadByte)
            return 1;
        if (r == LinkPort::ReadTimeout)
            return 0;
        if (r == LinkPort::ReadFailed)
            return -1;
        if (Abandoned())
            return -2;
    }
}

// One read, then up to `retries` more while nothing arrives (the state becomes retryState
// for them unless it is -1). 1: a byte; 0: nothing, or a retry read failed; -1: the first
// read failed; -2: exchange abandoned.
int TTeleThread::ReadRetrying(quint8 *byte, int retries, int retryState)
{
    int got = ReadOne(byte);
    if (got != 0)
        return got;
    if (retryState >= 0)
        m_state = retryState;
    for (int i = 0; i < retries && got == 0; ++i) {
        if (!YieldSlice())
            return -2;
        got = ReadOne(byte);
    }
    return got == -2 ? -2 : got == 1 ? 1 : 0;
}

void TTeleThread::Exchange()
{
    auto finish = [&](int state) {
        if (Abandoned())
            return;
        // The state stays non-zero until Report() has taken the queue's lock: a Push that
        // saw it idle in between would start its exchange, which Report() would then drop.
        if (state != 0)
            m_state = state;
        // The cause first, then the chain's own failure report.
        if (m_port && m_port->lineLost())
            CloseLostLine(false);
        Report(state);
    };
    m_result = 255;
    if (!m_port || !m_portOpen) {
        finish(11);
        return;
    }
    // 1: the slave address alone.
    m_state = 11;
    if (!m_port->write(&m_buffer[1], 1, 1505))
        return finish(11);
    // 2, 3: its echo.
    m_state = 12;
    if (!YieldSlice())
        return;
    quint8 b = 0;
    int got = ReadRetrying(&b, EchoRetries, 42);
    if (got == -2)
        return;
    if (got != 1)
        return finish(got < 0 ? 12 : 42);
    m_state = 13;
    if (!YieldSlice())
        return;
    if (b != m_buffer[1])
        return finish(13);
    // 5, 6: the rest of the request and its checksum.
    m_state = 14;
    const int length = m_buffer[3];
    if (length >= 2 && !m_port->write(&m_buffer[2], length - 1, 1500 + 5 * length))
        return finish(14);
    m_state = 15;
    if (!m_port->write(&m_checksum, 1, 1505))
        return finish(15);
    // 7: answer byte 1.
    m_state = 16;
    if (!YieldSlice())
        return;
    got = ReadRetrying(&b, AnswerRetries, 46);
    if (got == -2)
        return;
    if (got != 1)
        return finish(got < 0 ? 16 : 46);
    // 8, 9: it must be our own address; echo it.
    m_state = 17;
    if (b != m_buffer[2])
        return finish(17);
    m_state = 18;
    if (!m_port->write(&b, 1, 1505))
        return finish(18);
    // 10: answer byte 2 onwards.
    m_state = 19;
    if (!YieldSlice())
        return;
    m_buffer[1] = b;
    quint8 sum = b;
    m_buffer[3] = 255;
    int counter = 1;
    got = ReadRetrying(&b, AnswerRetries, -1);
    if (got == -2)
        return;
    if (got != 1)
        return finish(19);
    const bool handshake = g_handshake;
    auto store = [&](quint8 v) {
        if (handshake)
            m_port->write(&v, 1, 1505);
        ++counter;
        m_buffer[counter] = v;
        sum = quint8(sum + v);
    };
    if (!YieldSlice())
        return;
    store(b);
    // 12: until the counter reaches L. A length below the bytes already stored can
    // never be reached: that answer is broken.
    while (counter < m_buffer[3]) {
        got = ReadOne(&b);
        if (got == -2)
            return;
        if (got != 1)
            break;
        store(b);
    }
    if (counter != m_buffer[3])
        return finish(19);
    m_buffer[0] = quint8(counter);
    // 13, 14: the checksum.
    m_state = 20;
    got = ReadOne(&b);
    if (got == -2)
        return;
    if (got != 1)
        return finish(20);
    m_state = 21;
    if (b != sum)
        return finish(21);
    // 15: a device that refuses answers with its own code byte.
    m_state = 22;
    if (m_code != 20 && m_buffer[4] != quint8(m_code + 0x80))
        return finish(22);
    m_state = 100;
    Evaluate();
    finish(m_result == 2 ? 0 : int(m_state));
}

void TTeleThread::Evaluate()
{
    if (OnLog)
        Log(QStringLiteral("E"), hex2(m_buffer[1]) + QLatin1Char(',') + hex2(m_buffer[2]) + QLatin1Char(',') +
                                     hex2(m_buffer[3]) + QLatin1Char(',') + hex2(m_buffer[4]));
    const int length = m_buffer[3];
    switch (m_code) {
    case 3:
    case 23:
    case 24:
    case 26:
    case 4:
    case 20:
    case 36:
        m_result = 2;
        break;
    case 5:
    case 37:
    case 53:
    case 9: {
        if (length <= 4) {
            m_result = 99;
            break;
        }
        int n = length - 4;
        if (m_code != 9 || m_count > 0)
            n = qMin(n, int(m_count));
        // Never beyond the requester's buffer: a longer answer is cut.
        const int copied = qMin(n, m_capacity);
        if (m_destination)
            for (int k = 0; k < copied; ++k)
                m_destination[k] = m_buffer[5 + k];
        m_result = 2;
        if (m_code != 9 && OnLog) {
            QString bytes;
            for (int k = 0; k < n; ++k)
                bytes += hex2(m_buffer[5 + k]) + QLatin1Char(',');
            Log(QStringLiteral("Ex"), bytes);
        }
        break;
    }
    default:
        m_result = 99;
        break;
    }
}

void TTeleThread::Report(int state)
{
    const quint32 wParam = (quint32(state & 0xFF) << 24) | (quint32(m_result & 0xFF) << 16);
    const quint32 lParam = (quint32(m_buffer[1]) << 24) | (quint32(m_buffer[2]) << 16) | (quint32(m_buffer[3]) << 8) |
                           quint32(m_buffer[4]);
    QPointer<QObject> requester = m_requester;
    const quint16 index = m_replyIndex;
    m_reported = true;
    {
        QMutexLocker lock(&m_mutex);
        m_state = m_queueCount > 0 ? 110 : 0;
    }
    if (OnDone)
        OnDone(quint8(lParam & 0xFF));
    if (requester) {
        const auto type = requester->thread() == QThread::currentThread() ? Qt::DirectConnection
                                                                           : Qt::BlockingQueuedConnection;
        QMetaObject::invokeMethod(requester, "TeleMessage", type, Q_ARG(quint16, index), Q_ARG(quint32, wParam),
                                  Q_ARG(quint32, lParam));
    }
    // Told after the requester has taken its report, so a waiter sees the requester done too.
    if (Idle())
        emit Idled();
}

int TTeleThread::StateToTextIndex(int state)
{
    switch (state) {
    case 11: return 1;
    case 12: return 2;
    case 13: return 3;
    case 14: return 4;
    case 15: return 5;
    case 16:
    case 46: return 6;
    case 17: return 7;
    case 18: return 8;
    case 19: return 9;
    case 20: return 10;
    case 21: return 11;
    case 22: return 12;
    case 42: return 13;
    case 99: return 14;
    case 100: return 15;
    default: return 16;
    }
}

QStringList TTeleThread::ListPorts(bool includeBusy)
{
    QStringList lines;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        QString friendly = info.description();
        if (!info.manufacturer().isEmpty())
            friendly += (friendly.isEmpty() ? QString() : QStringLiteral(" ")) + QLatin1Char('(') +
                        info.manufacturer() + QLatin1Char(')');
        if (friendly.isEmpty())
            friendly = info.portName();
        if (!includeBusy) {
            QSerialPort probe(info);
            if (!probe.open(QIODevice::ReadWrite))
                continue;
            probe.close();
        }
        lines << info.systemLocation() + QLatin1Char('=') + friendly;
    }
    lines << QStringLiteral("SIM=Simuliertes Gerät");
    return lines;
}

void TeleRequester::TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam)
{
    ++m_received;
    m_have = true;
    m_last.wParam = wParam;
    m_last.lParam = lParam;
    emit Reported(replyIndex, wParam, lParam);
}

bool TeleRequester::Wait(TeleReport *report, int timeoutMs)
{
    if (!m_have) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &TeleRequester::Reported, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        if (!m_have)
            loop.exec();
    }
    if (!m_have)
        return false;
    m_have = false;
    if (report)
        *report = m_last;
    return true;
}
