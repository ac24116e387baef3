#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <memory>

class SimDevice;
struct SimRequest;
struct SimAnswer;

// The data coupler in front of the device, answering at its own slave address: besides its
// identification it keeps its serial configuration (PC-side speed code, 0, 12, device-side
// speed code, 0, 12) at 0x0110 and takes a changed configuration over when 0 is written to
// 0x0120. The PC-side speed is the only speed at which anything on the line is heard, the
// device behind included, so a take-over really moves the line to the new speed.
class SimCoupler
{
public:
    static constexpr quint32 ConfigAddress = 0x0110;
    static constexpr quint32 TakeOverAddress = 0x0120;
    static constexpr int ConfigSize = 6;

    // Speed of a configuration code; 0 for a code the coupler does not know.
    static int baudOfCode(int code);
    // Code of a speed; 0 for a speed the coupler cannot run at.
    static int codeOfBaud(int baud);

    // Puts a coupler of kind ("PELK", "DROS") in front of device. pcBaud: the speed it talks
    // to the PC at (0: the configured code says 9600 but the line is heard at any speed
    // until the first take-over); deviceBaud: the speed it talks to the device at.
    static std::shared_ptr<SimCoupler> attach(SimDevice &device, const QString &kind, int pcBaud,
                                              int deviceBaud = 9600);

    const std::array<quint8, ConfigSize> &config() const { return m_config; }
    // Speed the PC side runs at now (0: any).
    int pcBaud() const { return m_pcBaud; }
    int takeOvers() const { return m_takeOvers; }

    bool serve(SimDevice &device, const SimRequest &request, SimAnswer &answer);

private:
    std::array<quint8, ConfigSize> m_config{{192, 0, 12, 192, 0, 12}};
    int m_pcBaud = 0;
    int m_takeOvers = 0;
};
