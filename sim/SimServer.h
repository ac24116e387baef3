#pragma once
#include "SimDevice.h"
#include "SimModem.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <functional>

// Puts a SimDevice on a file descriptor pair (a pty master, a socket, stdin/stdout):
// reads what the PC sends, feeds it to the device and writes the replies, optionally at the
// pace of a real line. Waits in poll(), never spins.
class SimServer
{
public:
    using Clock = std::chrono::steady_clock;

    // The descriptors are switched to non-blocking; they stay owned by the caller.
    SimServer(SimDevice &device, int inFd, int outFd);

    // Every byte then takes 10 / baud seconds on the line, both ways. 0: no pacing.
    void setPace(int baud);
    // The speed the PC has set on the line (a pty carries the setting, not the timing). The
    // device hears only bytes sent at a speed it listens at (SimDevice::hearsAt).
    void setLineBaud(std::function<int()> lineBaud) { m_lineBaud = std::move(lineBaud); }
    // Traffic lines go to this stream (nullptr: none).
    void setLog(FILE *log) { m_log = log; }
    // A modem between the line and the device (nullptr: a direct cable). A pty has no
    // carrier line: the modem's answers tell the program about the connection.
    void setModem(SimModem *modem) { m_modem = modem; }

    // Serves until *stop becomes non-zero or the input ends. While waiting, the signal mask
    // is waitMask when given (so that signals blocked elsewhere can end the wait without a race).
    void run(const volatile sig_atomic_t *stop, const sigset_t *waitMask = nullptr);
    // One round: waits at most maxWait for input or for the next paced byte, then does what is
    // due. False when the input has ended or failed.
    bool step(std::chrono::nanoseconds maxWait, const sigset_t *waitMask = nullptr);

    quint64 bytesIn() const { return m_bytesIn; }
    quint64 bytesOut() const { return m_bytesOut; }

private:
    struct Pending
    {
        quint8 byte;
        Clock::time_point arrived;
    };
    void takeDue(Clock::time_point now);
    bool sendDue(Clock::time_point now);
    Clock::time_point nextDue() const;
    void logBytes(const char *direction, const std::vector<quint8> &bytes);

    SimDevice &m_device;
    int m_in;
    int m_out;
    Clock::duration m_byteTime{0};
    FILE *m_log = nullptr;
    std::function<int()> m_lineBaud;
    SimModem *m_modem = nullptr;

    std::deque<Pending> m_input;   // read from the PC, not yet taken by the device
    std::deque<quint8> m_output;   // from the device, not yet on the line
    Clock::time_point m_lastTaken;
    Clock::time_point m_lastSent;
    Clock::time_point m_lastActivity;
    bool m_inputEnded = false;
    quint64 m_bytesIn = 0;
    quint64 m_bytesOut = 0;
};
