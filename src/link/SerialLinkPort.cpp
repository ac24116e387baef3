#include "link/SerialLinkPort.h"
#include <QElapsedTimer>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {
QString reasonText(const QString &port, QSerialPort::SerialPortError err, const QString &detail)
{
    QString why;
    switch (err) {
    case QSerialPort::DeviceNotFoundError:
        why = QStringLiteral("Gerät nicht gefunden");
        break;
    case QSerialPort::PermissionError:
        why = QStringLiteral("Zugriff verweigert oder Schnittstelle belegt (%1). Der Benutzer muss Mitglied der Gruppe "
                             "\"dialout\" sein.")
                  .arg(detail);
        break;
    case QSerialPort::OpenError:
        why = QStringLiteral("Schnittstelle bereits geöffnet");
        break;
    default:
        why = detail;
    }
    return QStringLiteral("Opening COM Port failed: %1: %2").arg(port, why);
}
} // namespace

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
    m_port = std::make_unique<QSerialPort>();
    m_port->setPortName(path);
    if (!m_port->open(QIODevice::ReadWrite)) {
        const auto err = m_port->error();
        QString detail = m_port->errorString();
        if (err == QSerialPort::PermissionError && !QFileInfo::exists(path))
            detail = QStringLiteral("not found");
        if (reason)
            *reason = reasonText(path, err, detail);
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
    QElapsedTimer t;
    t.start();
    int done = 0;
    while (done < count) {
        const ssize_t n = ::write(m_fd, data + done, size_t(count - done));
        if (n > 0) {
            done += int(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const int left = timeoutMs - int(t.elapsed());
        if (left <= 0)
            return false;
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, left) < 0 && errno != EINTR)
            return false;
        if (p.revents & (POLLERR | POLLNVAL))
            return false;
    }
    return true;
}

LinkPort::ReadResult SerialLinkPort::readByte(quint8 *byte, int timeoutMs)
{
    if (m_fd < 0)
        return ReadFailed;
    if (m_bufferPos < m_bufferLen) {
        *byte = m_buffer[m_bufferPos++];
        return ReadByte;
    }
    QElapsedTimer t;
    t.start();
    for (;;) {
        const ssize_t n = ::read(m_fd, m_buffer, sizeof m_buffer);
        if (n > 0) {
            m_bufferLen = int(n);
            m_bufferPos = 1;
            *byte = m_buffer[0];
            return ReadByte;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return ReadFailed;
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
        if (r > 0 && (p[0].revents & (POLLERR | POLLNVAL)))
            return ReadFailed;
        if (r > 0 && (p[0].revents & POLLHUP) && !(p[0].revents & POLLIN)) {
            // The other side has gone (a pty whose master closed, an unplugged adapter).
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
    if (m_fd < 0 || !m_linesSupported)
        return 0;
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
