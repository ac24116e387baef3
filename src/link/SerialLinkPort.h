#pragma once
#include "link/LinkPort.h"
#include "link/ModemText.h"
#include <QSerialPort>
#include <memory>

// A real serial line (device path or pty). QSerialPort opens and configures it and
// drives the modem lines; the byte traffic goes straight to its descriptor with poll(),
// so a read can wait on the line and on a wake-up pipe at once (no event loop in the
// worker thread, no busy waiting).
class SerialLinkPort : public LinkPort
{
public:
    explicit SerialLinkPort(const QString &name);
    ~SerialLinkPort() override;

    QString name() const override { return m_name; }
    bool open(int baud, QString *reason) override;
    void close() override;
    bool isOpen() const override;
    bool write(const quint8 *data, int count, int timeoutMs) override;
    ReadResult readByte(quint8 *byte, int timeoutMs) override;
    void discardInput() override;
    unsigned modemStatus() override;
    bool setRts(bool on) override;
    bool setDtr(bool on) override;
    void wake() override;
    bool lineLost() const override { return m_lost; }
    // A line without modem lines (a pty) has no carrier to read: there the modem's own
    // "CONNECT" and "NO CARRIER" answers, as they pass through the reads, stand for DCD.
    bool linesSupported() const { return m_linesSupported; }

    // Why an opening failed, in the user's terms.
    enum class OpenFailure { NotFound, Permission, Busy, Other };
    static OpenFailure ClassifyOpenFailure(bool exists, bool accessDenied, qint64 lockOwner,
                                           QSerialPort::SerialPortError error);
    // The living process that holds a UUCP-style lock file "LCK..<device>" in one of
    // lockDirs (ASCII or binary PID); 0 when there is none, or only a stale one.
    static qint64 LockOwner(const QString &devicePath, const QStringList &lockDirs);
    static QStringList DefaultLockDirs();
    static QString OpenFailureText(const QString &path, OpenFailure kind, qint64 lockOwner, const QString &detail);

private:
    QString m_name;
    std::unique_ptr<QSerialPort> m_port;
    int m_fd = -1;
    int m_wakeFd[2] = {-1, -1};
    bool m_linesSupported = true;
    bool m_lost = false;
    ModemText::CarrierFromText m_carrierText;
    unsigned char m_buffer[256];
    int m_bufferPos = 0;
    int m_bufferLen = 0;
};
