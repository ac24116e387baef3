#pragma once
#include "link/LinkPort.h"
#include <QMutex>
#include <QWaitCondition>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

// A flag set by the test while the worker reads it; copyable so a device can be reset.
struct SharedFlag
{
    std::atomic<bool> value{false};
    SharedFlag() = default;
    SharedFlag(const SharedFlag &other) : value(other.value.load()) {}
    SharedFlag &operator=(const SharedFlag &other)
    {
        value = other.value.load();
        return *this;
    }
    SharedFlag &operator=(bool on)
    {
        value = on;
        return *this;
    }
    operator bool() const { return value; }
};

// A line whose far end is a small scripted device: it echoes the slave address,
// collects the request, and answers with whatever `answer` builds (telegram bytes 1..L;
// the checksum is appended unless told otherwise). Every byte the PC writes is recorded.
struct FakeDevice
{
    quint8 slave = 0xAE;
    // Request bytes 1..L in, answer bytes 1..L out; empty: stay silent.
    std::function<std::vector<quint8>(const std::vector<quint8> &request)> answer;
    bool echoAddress = true;
    int echoOverride = -1;       // wrong echo
    bool sendChecksum = true;
    int checksumDelta = 0;       // a wrong checksum
    int cutAfter = -1;           // stop sending after this many answer bytes
    bool handshake = false;      // expects the PC to echo bytes 2..L
    int failWriteCall = -1;      // this write call (0-based, counted from opening) fails
    int failReadAfterWrite = -1; // the first read after this write call fails
    SharedFlag gone; // the line is dead (adapter pulled): nothing opens, reads and writes fail
};

class FakeLinkPort : public LinkPort
{
public:
    explicit FakeLinkPort(std::shared_ptr<FakeDevice> device) : m_device(std::move(device)) {}

    QString name() const override { return QStringLiteral("FAKE"); }
    bool open(int, QString *reason) override
    {
        if (m_device->gone) {
            if (reason)
                *reason = QStringLiteral("FAKE: gone");
            return m_open = false;
        }
        return m_open = true;
    }
    bool lineLost() const override { return m_device->gone; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    bool write(const quint8 *data, int count, int) override;
    ReadResult readByte(quint8 *byte, int timeoutMs) override;
    void discardInput() override;
    unsigned modemStatus() override { return 0; }
    bool setRts(bool) override { return true; }
    bool setDtr(bool) override { return true; }
    void wake() override;

    // What the PC wrote, in order.
    std::vector<quint8> Written();
    // The far end forgets a half-received telegram (as after a pause on the line).
    void ResetDevice()
    {
        QMutexLocker lock(&m_mutex);
        m_phase = Idle;
        m_pending.clear();
        m_rx.clear();
    }
    // Bytes the far end sends unasked (free receive).
    void Inject(const std::vector<quint8> &bytes);

private:
    void deviceReceives(quint8 b);
    void send(quint8 b);

    std::shared_ptr<FakeDevice> m_device;
    bool m_open = false;
    QMutex m_mutex;
    QWaitCondition m_cond;
    std::deque<quint8> m_rx;
    std::vector<quint8> m_written;
    bool m_woken = false;
    int m_writeCalls = 0;
    bool m_failNextRead = false;
    // Device side state.
    enum { Idle, Request, AwaitEcho1, AwaitEchoN } m_phase = Idle;
    std::vector<quint8> m_request;
    std::vector<quint8> m_pending; // answer bytes not yet sent (handshake)
};
