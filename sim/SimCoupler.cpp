#include "SimCoupler.h"
#include "SimDevice.h"

namespace {
struct Speed
{
    int code;
    int baud;
};
// The coupler's own speed codes (reload values of its baud generator).
constexpr Speed kSpeeds[] = {{219, 1200}, {210, 2400}, {201, 4800}, {192, 9600}, {27, 15625}, {9, 62500}};

bool isRead(quint8 code)
{
    return code == 5 || code == 53;
}
} // namespace

int SimCoupler::baudOfCode(int code)
{
    for (const Speed &s : kSpeeds)
        if (s.code == code)
            return s.baud;
    return 0;
}

int SimCoupler::codeOfBaud(int baud)
{
    for (const Speed &s : kSpeeds)
        if (s.baud == baud)
            return s.code;
    return 0;
}

std::shared_ptr<SimCoupler> SimCoupler::attach(SimDevice &device, const QString &kind, int pcBaud, int deviceBaud)
{
    auto coupler = std::make_shared<SimCoupler>();
    coupler->m_pcBaud = pcBaud;
    if (codeOfBaud(pcBaud))
        coupler->m_config[0] = quint8(codeOfBaud(pcBaud));
    if (codeOfBaud(deviceBaud))
        coupler->m_config[3] = quint8(codeOfBaud(deviceBaud));
    device.setCoupler(kind.isEmpty() ? QStringLiteral("PELK") : kind);
    device.setBaud(pcBaud);
    // The device keeps the coupler alive through its hook.
    device.setCouplerHook([coupler](SimDevice &d, const SimRequest &r, SimAnswer &a) { return coupler->serve(d, r, a); });
    return coupler;
}

bool SimCoupler::serve(SimDevice &device, const SimRequest &request, SimAnswer &answer)
{
    const quint32 from = request.address;
    if (isRead(request.code)) {
        const std::vector<quint8> id = device.couplerIdentification();
        for (int i = 0; i < std::min(request.count, SimDevice::MaxData); ++i) {
            const quint32 at = from + quint32(i);
            quint8 b = 0;
            if (at >= SimDevice::IdentAddress && at < SimDevice::IdentAddress + id.size())
                b = id[at - SimDevice::IdentAddress];
            else if (at >= ConfigAddress && at < ConfigAddress + ConfigSize)
                b = m_config[at - ConfigAddress];
            answer.data.push_back(b);
        }
        return true;
    }
    if (request.code != 4 && request.code != 20)
        return false;
    bool takeOver = false;
    for (size_t i = 0; i < request.data.size(); ++i) {
        const quint32 at = from + quint32(i);
        if (at >= ConfigAddress && at < ConfigAddress + ConfigSize)
            m_config[at - ConfigAddress] = request.data[i];
        else if (at == TakeOverAddress && request.data[i] == 0)
            takeOver = true;
    }
    if (takeOver) {
        ++m_takeOvers;
        // An unknown PC-side code leaves the coupler at its speed: it would be unreachable
        // otherwise, which a real coupler avoids by keeping its last good setting.
        const int baud = baudOfCode(m_config[0]);
        if (baud) {
            m_pcBaud = baud;
            device.afterAnswer([&device, baud] { device.setBaud(baud); });
        }
    }
    return true;
}
