#include "SimZuviModem.h"
#include "SimDevice.h"
#include <cctype>

std::shared_ptr<SimZuviModem> SimZuviModem::attach(SimDevice &device)
{
    auto modem = std::make_shared<SimZuviModem>();
    // The device keeps the modem alive through its hooks.
    device.addRequestHook([modem](SimDevice &, const SimRequest &r, SimAnswer &) {
        if ((r.code == 4 || r.code == 20) && r.address == HandOverAddress && r.data.size() >= 2 &&
            r.data[0] == 0x25 && r.data[1] == 0x79) {
            modem->m_until = modem->now() + Window;
            modem->m_line.clear();
        }
        return false; // the bytes are stored like any write
    });
    device.setRawHandler([modem](quint8 byte, std::vector<quint8> &out) { return modem->take(byte, out); });
    return modem;
}

bool SimZuviModem::active() const
{
    return now() < m_until;
}

bool SimZuviModem::take(quint8 byte, std::vector<quint8> &out)
{
    if (!active())
        return false;
    if (byte == '\n')
        return true;
    out.push_back(byte); // echo, as a modem does by default
    if (byte != '\r') {
        if (m_line.size() < 256)
            m_line.push_back(char(byte));
        return true;
    }
    std::string upper;
    for (char c : m_line)
        upper.push_back(char(std::toupper(static_cast<unsigned char>(c))));
    m_line.clear();
    if (upper.empty())
        return true;
    ++m_lines;
    const std::string answer = upper.rfind("AT", 0) == 0 ? "\r\nOK\r\n" : "\r\nERROR\r\n";
    out.insert(out.end(), answer.begin(), answer.end());
    m_until = now() + Window;
    return true;
}
