#pragma once
#include "PcModel.h"

#include <poll.h>
#include <unistd.h>

// The PC's line over a file descriptor (a socket or a terminal).
class FdLine : public PcLine
{
public:
    explicit FdLine(int fd, int timeoutMs = 300) : m_fd(fd), m_timeout(timeoutMs) {}
    void send(const std::vector<quint8> &bytes) override
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += size_t(n);
        }
    }
    bool read(quint8 *byte) override
    {
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, m_timeout) <= 0)
            return false;
        return ::read(m_fd, byte, 1) == 1;
    }

private:
    int m_fd;
    int m_timeout;
};
