#pragma once
#include <QString>
#include <QVector>
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
    // True once a read or write found the line itself gone (adapter pulled, far end of a
    // pty closed): the port stays useless until it is opened again.
    virtual bool lineLost() const { return false; }
};

using LinkPortFactory = std::function<std::unique_ptr<LinkPort>()>;

// The simulator library registers the "SIM" port here; the program core does not depend on it.
void RegisterSimPortFactory(LinkPortFactory factory);
// "SIM" (when registered), else a real serial port. Old names "COMn" and a bare "n" mean /dev/ttyS(n-1).
std::unique_ptr<LinkPort> CreateLinkPort(const QString &name);
// Device path for a stored port name.
QString SystemPortName(const QString &name);
// Whether the port can be opened at all: "SIM" when registered, else its device exists.
bool PortExists(const QString &name);

// One entry of the port choice: the name kept in the settings and what the user reads.
struct PortChoice
{
    QString Name;        // device path or a stable /dev/serial/by-id/ name, or "SIM"
    QString Description; // the adapter's description, or the device it points to
    QString Label() const { return Description.isEmpty() ? Name : Name + QStringLiteral("  –  ") + Description; }
};
struct SystemPort
{
    QString Path;        // /dev/ttyUSB0
    QString Description; // "FT232R USB UART (FTDI)"
};
// The choice built from the system's ports and the stable names in byIdDir: a stable name
// comes first for each adapter that has one, its description naming the device behind it.
QVector<PortChoice> BuildPortChoices(const QVector<SystemPort> &ports, const QString &byIdDir, bool withSim);
// The same from the running machine.
QVector<PortChoice> ListPortChoices();
