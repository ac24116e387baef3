#pragma once
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

class SimDevice;

// The modem attached to a controller, reached through the controller's interface for a
// while after the hand-over write (0x25 0x79 to 0x23CC): the modem echoes what it hears
// and answers each line, "OK" to an AT command and "ERROR" to anything else. The line goes
// back to telegrams 60 seconds after the last line.
class SimZuviModem
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr quint32 HandOverAddress = 0x23CC;
    static constexpr std::chrono::seconds Window{60};

    static std::shared_ptr<SimZuviModem> attach(SimDevice &device);

    bool active() const;
    // Lines the modem has answered.
    int lines() const { return m_lines; }
    // Tests move time on.
    std::function<Clock::time_point()> now = [] { return Clock::now(); };

private:
    bool take(quint8 byte, std::vector<quint8> &out);

    Clock::time_point m_until{};
    std::string m_line;
    int m_lines = 0;
};
