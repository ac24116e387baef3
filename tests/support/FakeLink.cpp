#include "FakeLink.h"
#include <QElapsedTimer>

void FakeLinkPort::send(quint8 b)
{
    m_rx.push_back(b);
    m_cond.wakeAll();
}

bool FakeLinkPort::write(const quint8 *data, int count, int)
{
    if (!m_open || m_device->gone)
        return false;
    QMutexLocker lock(&m_mutex);
    const int call = m_writeCalls++;
    if (call == m_device->failWriteCall)
        return false;
    if (call == m_device->failReadAfterWrite)
        m_failNextRead = true;
    for (int i = 0; i < count; ++i) {
        m_written.push_back(data[i]);
        deviceReceives(data[i]);
    }
    return true;
}

void FakeLinkPort::deviceReceives(quint8 b)
{
    FakeDevice &d = *m_device;
    switch (m_phase) {
    case Idle:
        if (b != d.slave)
            return;
        if (d.echoAddress)
            send(d.echoOverride >= 0 ? quint8(d.echoOverride) : b);
        m_request.assign(1, b);
        m_phase = Request;
        return;
    case Request: {
        m_request.push_back(b);
        if (m_request.size() < 3 || int(m_request.size()) < m_request[2] + 1)
            return;
        // Bytes 1..L and the checksum have arrived.
        std::vector<quint8> req(m_request.begin(), m_request.begin() + m_request[2]);
        m_phase = Idle;
        std::vector<quint8> ans = d.answer ? d.answer(req) : std::vector<quint8>{};
        if (ans.empty())
            return;
        quint8 sum = 0;
        for (quint8 x : ans)
            sum = quint8(sum + x);
        if (d.sendChecksum)
            ans.push_back(quint8(sum + d.checksumDelta));
        if (d.cutAfter >= 0 && int(ans.size()) > d.cutAfter)
            ans.resize(size_t(d.cutAfter));
        send(ans[0]);
        m_pending.assign(ans.begin() + 1, ans.end());
        m_phase = AwaitEcho1;
        return;
    }
    case AwaitEcho1:
    case AwaitEchoN:
        if (m_pending.empty()) {
            m_phase = Idle;
            deviceReceives(b);
            return;
        }
        if (!d.handshake) {
            for (quint8 x : m_pending)
                send(x);
            m_pending.clear();
            m_phase = Idle;
            return;
        }
        send(m_pending.front());
        m_pending.erase(m_pending.begin());
        // The checksum (the last byte) is not echoed by the PC.
        if (m_pending.empty())
            m_phase = Idle;
        else
            m_phase = AwaitEchoN;
        return;
    }
}

LinkPort::ReadResult FakeLinkPort::readByte(quint8 *byte, int timeoutMs)
{
    if (!m_open || m_device->gone)
        return ReadFailed;
    QMutexLocker lock(&m_mutex);
    if (m_failNextRead) {
        m_failNextRead = false;
        return ReadFailed;
    }
    QElapsedTimer t;
    t.start();
    while (m_rx.empty()) {
        if (m_woken) {
            m_woken = false;
            return ReadWoken;
        }
        const qint64 left = timeoutMs - t.elapsed();
        if (left <= 0)
            return ReadTimeout;
        m_cond.wait(&m_mutex, QDeadlineTimer(left));
    }
    *byte = m_rx.front();
    m_rx.pop_front();
    return ReadByte;
}

void FakeLinkPort::discardInput()
{
    QMutexLocker lock(&m_mutex);
    m_rx.clear();
    m_failNextRead = false;
    m_writeCalls = 0;
}

void FakeLinkPort::wake()
{
    QMutexLocker lock(&m_mutex);
    m_woken = true;
    m_cond.wakeAll();
}

std::vector<quint8> FakeLinkPort::Written()
{
    QMutexLocker lock(&m_mutex);
    return m_written;
}

void FakeLinkPort::Inject(const std::vector<quint8> &bytes)
{
    QMutexLocker lock(&m_mutex);
    for (quint8 b : bytes)
        send(b);
}
