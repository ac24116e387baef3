#include "link/SerialLinkPort.h"
#include "shell/Texts.h"
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

SerialLinkPort::OpenFailure SerialLinkPort::ClassifyOpenFailure(bool exists, bool accessDenied, qint64 lockOwner,
                                                                 QSerialPort::SerialPortError error)
{
    if (!exists)
        return OpenFailure::NotFound;
    // A lock names its holder whatever the driver said; without one, missing rights are
    // told apart from a port held exclusively (EBUSY, TIOCEXCL), which the serial port
    // class reports with the same error code.
    if (lockOwner > 0)
        return OpenFailure::Busy;
    if (accessDenied)
        return OpenFailure::Permission;
    if (error == QSerialPort::PermissionError || error == QSerialPort::OpenError)
        return OpenFailure::Busy;
    if (error == QSerialPort::DeviceNotFoundError)
        return OpenFailure::NotFound;
    return OpenFailure::Other;
}

QStringList SerialLinkPort::DefaultLockDirs()
{
    return {QStringLiteral("/var/lock"), QStringLiteral("/run/lock")};
}

qint64 SerialLinkPort::LockOwner(const QString &devicePath, const QStringList &lockDirs)
{
    const QString device = QFileInfo(QFileInfo(devicePath).canonicalFilePath().isEmpty()
                                         ? devicePath
                                         : QFileInfo(devicePath).canonicalFilePath())
                               .fileName();
    for (const QString &dir : lockDirs) {
        QFile file(dir + QStringLiteral("/LCK..") + device);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.read(64);
        qint64 pid = 0;
        bool ok = false;
        // ASCII: the PID on the first line (other programs add their name and host below).
        pid = bytes.left(bytes.indexOf('\n') < 0 ? bytes.size() : bytes.indexOf('\n')).trimmed().toLongLong(&ok);
        if (!ok && bytes.size() == 4) {
            // The old binary form: the PID as a native int.
            int binary = 0;
            std::memcpy(&binary, bytes.constData(), 4);
            pid = binary;
            ok = true;
        }
        if (!ok || pid <= 0 || pid == qint64(::getpid()))
            continue;
        if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
            return pid;
    }
    return 0;
}

QString SerialLinkPort::OpenFailureText(const QString &path, OpenFailure kind, qint64 lockOwner,
                                        const QString &detail)
{
    QString why;
    switch (kind) {
    case OpenFailure::NotFound:
        why = QStringLiteral(": ") + GetText(425) + path;
        break;
    case OpenFailure::Permission:
        why = QStringLiteral("\r") + GetText(421) + path + QStringLiteral(".\r") + GetText(422);
        break;
    case OpenFailure::Busy:
        why = QStringLiteral("\r") + GetText(423) + path;
        if (lockOwner > 0)
            why += QStringLiteral(" (") + GetText(424) + QString::number(lockOwner) + QLatin1Char(')');
        break;
    case OpenFailure::Other:
        why = QStringLiteral(": ") + detail;
        break;
    }
    return QStringLiteral("Opening COM Port failed: ") + path + why;
}

SerialLinkPort::SerialLinkPort(const QString &name) : m_name(name)
{
    if (::pipe2(m_wakeFd, O_CLOEXEC | O_NONBLOCK) != 0)
        m_wakeFd[0] = m_wakeFd[1] = -1;
}

SerialLinkPort::~SerialLinkPort()
{
    close();
    for (int fd : m_wakeFd)
        if (fd >= 0)
            ::close(fd);
}

bool SerialLinkPort::open(int baud, QString *reason)
{
    close();
    const QString path = SystemPortName(m_name);
    m_lost = false;
    const bool exists = QFileInfo::exists(path);
    const qint64 owner = exists ? LockOwner(path, DefaultLockDirs()) : 0;
    if (owner > 0) {
        // Opening anyway would take the line from under the other program.
        if (reason)
            *reason = OpenFailureText(path, OpenFailure::Busy, owner, QString());
        return false;
    }
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(path);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const auto err = m_port->error();
        const bool denied =
            exists && ::access(QFile::encodeName(path).constData(), R_OK | W_OK) != 0 && errno == EACCES;
        const qint64 holder = LockOwner(path, DefaultLockDirs());
        const OpenFailure kind = ClassifyOpenFailure(QFileInfo::exists(path), denied, holder, err);
        if (reason)
            *reason = OpenFailureText(path, kind, holder, m_port->errorString());
        m_port.reset();
        return false;
    }
    if (!m_port->setBaudRate(baud) || !m_port->setDataBits(QSerialPort::Data8) ||
        !m_port->setParity(QSerialPort::NoParity) || !m_port->setStopBits(QSerialPort::OneStop) ||
        !m_port->setFlowControl(QSerialPort::NoFlowControl)) {
        if (reason)
            *reason = QStringLiteral("ComInit / SetCommState Fehler : %1 (%2: %3)")
                          .arg(int(m_port->error()))
                          .arg(path, m_port->errorString());
        m_port->close();
        m_port.reset();
        return false;
    }
    m_fd = int(m_port->handle());
    // Raw mode whatever the driver did: no echo, no line editing, byte-wise reads.
    termios tio;
    if (::tcgetattr(m_fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        ::tcsetattr(m_fd, TCSANOW, &tio);
    }
    int flags = ::fcntl(m_fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
    int lines = 0;
    m_linesSupported = ::ioctl(m_fd, TIOCMGET, &lines) == 0;
    m_carrierText.Reset();
    m_bufferPos = m_bufferLen = 0;
    return true;
}

void SerialLinkPort::close()
{
    if (m_port) {
        m_port->close();
        m_port.reset();
    }
    m_fd = -1;
    m_bufferPos = m_bufferLen = 0;
}

bool SerialLinkPort::isOpen() const { return m_fd >= 0; }

bool SerialLinkPort::write(const quint8 *data, int count, int timeoutMs)
{
    if (m_fd < 0)
        return false;
    if (!m_linesSupported)
        m_carrierText.Sent(data, count);
    QElapsedTimer t;
    t.start();
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, data + done, size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            if (errno == EIO || errno == ENXIO || errno == ENODEV)
                m_lost = true;
            return false;
        }
        const int left = timeoutMs - int(t.elapsed());
        if (left <= 0)
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, left) < 0 && errno != EINTR)
            return false;
        if (p.revents & (POLLERR | POLLNVAL | POLLHUP)) {
            m_lost = true;
            return false;
        }
    }
    return true;
}

LinkPort::ReadResult SerialLinkPort::readByte(quint8 *byte, int timeoutMs)
{
    if (m_fd < 0)
        return ReadFailed;
    if (m_bufferPos < m_bufferLen) {
        *byte = m_buffer[m_bufferPos++];
        if (!m_linesSupported)
            m_carrierText.Feed(*byte);
        return ReadByte;
    }
    QElapsedTimer t;
    t.start();
    int hungUpEmptyReads = 0;
    for (;;) {
        const ssize_t n = ::read(m_fd, m_buffer, sizeof m_buffer);
        if (n > 0) {
            m_bufferLen = int(n);
            m_bufferPos = 1;
            *byte = m_buffer[0];
            if (!m_linesSupported)
                m_carrierText.Feed(*byte);
            return ReadByte;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            // EIO: the far end of a pty closed, or the adapter was pulled.
            m_lost = true;
            return ReadFailed;
        }
        const int left = timeoutMs - int(t.elapsed());
        if (left <= 0)
            return ReadTimeout;
        pollfd p[2] = {{m_fd, POLLIN, 0}, {m_wakeFd[0], POLLIN, 0}};
        const int r = ::poll(p, m_wakeFd[0] >= 0 ? 2 : 1, left);
        if (r < 0 && errno != EINTR)
            return ReadFailed;
        if (r > 0 && (p[1].revents & POLLIN)) {
            char sink[64];
            while (::read(m_wakeFd[0], sink, sizeof sink) > 0) {
            }
            return ReadWoken;
        }
        if (r > 0 && (p[0].revents & (POLLERR | POLLNVAL | POLLHUP)) && !(p[0].revents & POLLIN)) {
            // The other side has gone (a pty whose master closed, an unplugged adapter).
            // POLLHUP stays set for good: going round again would spin.
            m_lost = true;
            return ReadFailed;
        }
        if (r > 0 && (p[0].revents & (POLLHUP | POLLERR)) && hungUpEmptyReads++ > 0) {
            // Hung up with the input said to be readable, yet a read gives nothing.
            m_lost = true;
            return ReadFailed;
        }
    }
}

void SerialLinkPort::discardInput()
{
    m_bufferPos = m_bufferLen = 0;
    if (m_fd >= 0)
        ::tcflush(m_fd, TCIFLUSH);
}

unsigned SerialLinkPort::modemStatus()
{
    if (m_fd < 0)
        return 0;
    if (!m_linesSupported)
        return m_carrierText.Carrier() ? unsigned(DCD) : 0u;
    int lines = 0;
    if (::ioctl(m_fd, TIOCMGET, &lines) != 0)
        return 0;
    unsigned s = 0;
    if (lines & TIOCM_CTS)
        s |= CTS;
    if (lines & TIOCM_DSR)
        s |= DSR;
    if (lines & TIOCM_RNG)
        s |= RING;
    if (lines & TIOCM_CAR)
        s |= DCD;
    return s;
}

bool SerialLinkPort::setRts(bool on)
{
    if (m_fd < 0 || !m_linesSupported)
        return false;
    int bit = TIOCM_RTS;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

bool SerialLinkPort::setDtr(bool on)
{
    if (m_fd < 0 || !m_linesSupported)
        return false;
    int bit = TIOCM_DTR;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &bit) == 0;
}

void SerialLinkPort::wake()
{
    if (m_wakeFd[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = ::write(m_wakeFd[1], &c, 1);
    }
}
