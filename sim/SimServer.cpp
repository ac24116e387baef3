#include "SimServer.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// The device drops a half telegram when the line has been quiet this long.
constexpr auto LinePause = std::chrono::milliseconds(500);

void setNonBlocking(int fd)
{
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0)
        fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

} // namespace

SimServer::SimServer(SimDevice &device, int inFd, int outFd)
    : m_device(device), m_in(inFd), m_out(outFd)
{
    setNonBlocking(m_in);
    if (m_out != m_in)
        setNonBlocking(m_out);
    const auto now = Clock::now();
    m_lastTaken = m_lastSent = m_lastActivity = now - std::chrono::hours(1);
}

void SimServer::setPace(int baud)
{
    m_byteTime = baud > 0 ? Clock::duration(std::chrono::nanoseconds(10'000'000'000LL / baud)) : Clock::duration(0);
}

void SimServer::logBytes(const char *direction, const std::vector<quint8> &bytes)
{
    if (!m_log || bytes.empty())
        return;
    std::fputs(direction, m_log);
    for (quint8 b : bytes)
        std::fprintf(m_log, " %02X", b);
    std::fputc('\n', m_log);
    std::fflush(m_log);
}

void SimServer::takeDue(Clock::time_point now)
{
    std::vector<quint8> taken;
    std::vector<quint8> replies;
    const bool heard = m_input.empty() || !m_lineBaud || m_device.hearsAt(m_lineBaud());
    while (!m_input.empty()) {
        const Pending p = m_input.front();
        const Clock::time_point at = std::max(p.arrived, m_lastTaken + m_byteTime);
        if (at > now)
            break;
        m_input.pop_front();
        if (at - m_lastActivity >= LinePause)
            m_device.lineIdle();
        m_lastTaken = at;
        m_lastActivity = std::max(m_lastActivity, at);
        taken.push_back(p.byte);
        if (m_modem) {
            std::vector<quint8> out = m_modem->fromPc(&p.byte, 1, at, [&](quint8 b) {
                if (heard)
                    return m_device.receive(b);
                m_device.lineIdle();
                return std::vector<quint8>();
            });
            replies.insert(replies.end(), out.begin(), out.end());
            m_output.insert(m_output.end(), out.begin(), out.end());
            continue;
        }
        if (!heard) {
            // Noise at the device's speed: no telegram starts, a running one is lost.
            m_device.lineIdle();
            continue;
        }
        std::vector<quint8> out = m_device.receive(p.byte);
        replies.insert(replies.end(), out.begin(), out.end());
        m_output.insert(m_output.end(), out.begin(), out.end());
    }
    logBytes("PC ->", taken);
    logBytes("   <-", replies);
}

bool SimServer::sendDue(Clock::time_point now)
{
    while (!m_output.empty()) {
        size_t n = m_output.size();
        if (m_byteTime.count() > 0) {
            if (m_lastSent + m_byteTime > now)
                return true;
            n = 1;
        }
        quint8 buffer[512];
        n = std::min(n, sizeof buffer);
        std::copy(m_output.begin(), m_output.begin() + long(n), buffer);
        const ssize_t written = ::write(m_out, buffer, n);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                return true;
            return false;
        }
        m_output.erase(m_output.begin(), m_output.begin() + written);
        m_bytesOut += quint64(written);
        // A paced byte occupies the line from when it was due, not from when we got round to
        // it: while the line is busy, late wake-ups must not add up byte after byte.
        if (m_byteTime.count() > 0) {
            const Clock::time_point due = m_lastSent + m_byteTime;
            m_lastSent = (now - due < m_byteTime) ? due : now;
        } else {
            m_lastSent = now;
        }
        m_lastActivity = std::max(m_lastActivity, m_lastSent);
    }
    return true;
}

SimServer::Clock::time_point SimServer::nextDue() const
{
    Clock::time_point due = Clock::time_point::max();
    if (!m_input.empty())
        due = std::max(m_input.front().arrived, m_lastTaken + m_byteTime);
    if (!m_output.empty())
        due = std::min(due, m_lastSent + m_byteTime);
    if (m_modem)
        due = std::min(due, m_modem->nextDue());
    return due;
}

bool SimServer::step(std::chrono::nanoseconds maxWait, const sigset_t *waitMask)
{
    Clock::time_point now = Clock::now();
    Clock::time_point wakeAt = now + maxWait;
    wakeAt = std::min(wakeAt, nextDue());
    const auto wait = std::max(Clock::duration(0), wakeAt - now);
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
    timespec timeout{time_t(ns / 1'000'000'000), long(ns % 1'000'000'000)};

    pollfd fds[2];
    int count = 0;
    int inIndex = -1;
    int outIndex = -1;
    if (!m_inputEnded) {
        inIndex = count;
        fds[count++] = pollfd{m_in, POLLIN, 0};
    }
    // Only ask for room to write when a byte is due and the last write could not finish.
    if (!m_output.empty() && m_lastSent + m_byteTime <= now) {
        if (m_out == m_in && inIndex >= 0) {
            fds[inIndex].events |= POLLOUT;
            outIndex = inIndex;
        } else {
            outIndex = count;
            fds[count++] = pollfd{m_out, POLLOUT, 0};
        }
    }
    if (count == 0 && m_output.empty())
        return false;
    const int ready = ppoll(fds, nfds_t(count), &timeout, waitMask);
    if (ready < 0 && errno != EINTR)
        return false;

    now = Clock::now();
    if (ready > 0 && inIndex >= 0 && (fds[inIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
        quint8 buffer[4096];
        const ssize_t n = ::read(m_in, buffer, sizeof buffer);
        if (n > 0) {
            m_bytesIn += quint64(n);
            for (ssize_t i = 0; i < n; ++i)
                m_input.push_back(Pending{buffer[i], now});
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            m_inputEnded = true;
        }
    }
    (void)outIndex;
    takeDue(now);
    if (m_modem) {
        const std::vector<quint8> later = m_modem->due(Clock::now());
        logBytes("   <-", later);
        m_output.insert(m_output.end(), later.begin(), later.end());
    }
    if (!sendDue(Clock::now()))
        return false;
    return !(m_inputEnded && m_input.empty() && m_output.empty());
}

void SimServer::run(const volatile sig_atomic_t *stop, const sigset_t *waitMask)
{
    while (!(stop && *stop)) {
        if (!step(std::chrono::seconds(1), waitMask))
            break;
    }
}
