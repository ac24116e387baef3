#pragma once
#include <QString>
#include <functional>
#include <memory>

// One serial line as the telegram thread sees it: byte-wise blocking reads with a
// time-out, whole writes, modem lines. A real port (a device path or a pty) and the
// built-in simulated device ("SIM") are interchangeable behind it.
class LinkPort
{
public:
    // Modem status bits as the telegram thread reports them.
    enum : unsigned { CTS = 0x10, DSR = 0x20, RING = 0x40, DCD = 0x80 };
    enum ReadResult { ReadFailed = -1, ReadTimeout = 0, ReadByte = 1, ReadWoken = 2 };

    virtual ~LinkPort() = default;

    virtual QString name() const = 0;
    // Opens and configures the line (8N1 at baud). On failure reason says why, in the
    // user's words, naming the port.
    virtual bool open(int baud, QString *reason) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Writes all bytes, waiting at most timeoutMs; false on failure.
    virtual bool write(const quint8 *data, int count, int timeoutMs) = 0;
    // Waits at most timeoutMs for one byte. ReadWoken when wake() ended the wait early.
    virtual ReadResult readByte(quint8 *byte, int timeoutMs) = 0;
    // Drops whatever is waiting in the input.
    virtual void discardInput() = 0;
    virtual unsigned modemStatus() = 0;
    virtual bool setRts(bool on) = 0;
    virtual bool setDtr(bool on) = 0;
    // Ends a running or the next readByte at once; callable from any thread.
    virtual void wake() = 0;
};

using LinkPortFactory = std::function<std::unique_ptr<LinkPort>()>;

// The simulator library registers the "SIM" port here; the program core does not depend on it.
void RegisterSimPortFactory(LinkPortFactory factory);
// "SIM" (when registered), else a real serial port. Old names "COMn" and a bare "n" mean /dev/ttyS(n-1).
std::unique_ptr<LinkPort> CreateLinkPort(const QString &name);
// Device path for a stored port name.
QString SystemPortName(const QString &name);
