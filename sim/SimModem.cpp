#include "SimModem.h"
#include "SimDevice.h"

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }
} // namespace

bool SimModem::parseDialResult(const QString &text, DialResult *result)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("connect"))
        *result = DialResult::Connect;
    else if (t == QLatin1String("busy"))
        *result = DialResult::Busy;
    else if (t == QLatin1String("no-carrier"))
        *result = DialResult::NoCarrier;
    else if (t == QLatin1String("no-answer"))
        *result = DialResult::NoAnswer;
    else if (t == QLatin1String("silent"))
        *result = DialResult::Silent;
    else
        return false;
    return true;
}

void SimModem::append(std::vector<quint8> &out, const char *text)
{
    out.push_back('\r');
    out.push_back('\n');
    for (const char *p = text; *p; ++p)
        out.push_back(quint8(*p));
    out.push_back('\r');
    out.push_back('\n');
}

void SimModem::hangUp()
{
    m_carrier = false;
    m_commandMode = true;
    m_plus = 0;
    m_dialPending = false;
}

std::vector<quint8> SimModem::fromPc(const quint8 *data, int count, Clock::time_point now, const Device &device)
{
    std::vector<quint8> out;
    for (int i = 0; i < count; ++i) {
        const quint8 b = data[i];
        const bool quietBefore = !m_haveLastByte || now - m_lastByte >= m_options.guard;
        m_lastByte = now;
        m_haveLastByte = true;
        if (online()) {
            // The escape: three pluses after a quiet line, each soon after the one before;
            // they still travel to the far end like any other byte.
            if (b == '+' && (m_plus == 0 ? quietBefore : (m_plus < 3 && !quietBefore)))
                ++m_plus;
            else
                m_plus = 0;
            if (m_options.dropAfterBytes > 0 && ++m_bytesToDevice > m_options.dropAfterBytes) {
                hangUp();
                append(out, "NO CARRIER");
                continue;
            }
            const std::vector<quint8> reply = device ? device(b) : std::vector<quint8>();
            out.insert(out.end(), reply.begin(), reply.end());
            continue;
        }
        if (m_dialPending) {
            // A key pressed while dialling gives up the call.
            m_dialPending = false;
            append(out, "NO CARRIER");
            continue;
        }
        if (m_echo)
            out.push_back(b);
        if (b == '\r') {
            const QByteArray line = m_line;
            m_line.clear();
            // Whatever came before "AT" on the line (noise, a telegram sent without a
            // connection) is not part of the command.
            int from = 0;
            for (int k = 0; k < line.size(); ++k)
                if (quint8(line[k]) < 0x20 || quint8(line[k]) > 0x7E)
                    from = k + 1;
            const int at = line.toUpper().indexOf("AT", from);
            if (at >= 0) {
                const std::vector<quint8> answer = command(line.mid(at + 2), now);
                out.insert(out.end(), answer.begin(), answer.end());
            }
        } else if (b == '\n') {
            m_line.clear();
        } else if (m_line.size() < 80) {
            m_line.append(char(b));
        }
    }
    return out;
}

std::vector<quint8> SimModem::command(const QByteArray &text, Clock::time_point now)
{
    std::vector<quint8> out;
    m_lastCommand = QStringLiteral("AT") + QString::fromLatin1(text);
    const QByteArray c = text.toUpper();
    int i = 0;
    auto digits = [&] {
        while (i < c.size() && isDigit(c[i]))
            ++i;
    };
    bool info = false;
    while (i < c.size()) {
        const char k = c[i++];
        switch (k) {
        case ' ':
            break;
        case 'D': {
            ++m_dials;
            if (m_carrier) {
                append(out, "ERROR");
                return out;
            }
            m_dialPending = true;
            m_dialDue = now + m_options.connectDelay;
            return out; // the answer comes when the call is made
        }
        case 'E': {
            const bool off = i < c.size() && c[i] == '0';
            digits();
            m_echo = !off;
            break;
        }
        case 'H':
            digits();
            hangUp();
            break;
        case 'O':
            digits();
            if (!m_carrier) {
                append(out, "NO CARRIER");
                return out;
            }
            m_commandMode = false;
            append(out, ("CONNECT " + QByteArray::number(m_options.connectBaud)).constData());
            return out;
        case 'Z':
            digits();
            m_echo = true;
            break;
        case 'I':
            digits();
            info = true;
            break;
        case 'Q': case 'V': case 'X': case 'L': case 'M': case 'B': case 'N': case 'W':
            digits();
            break;
        case '&': case '\\': case '%':
            if (i >= c.size()) {
                append(out, "ERROR");
                return out;
            }
            ++i;
            digits();
            break;
        case 'S':
            digits();
            if (i < c.size() && c[i] == '?') {
                ++i;
            } else if (i < c.size() && c[i] == '=') {
                ++i;
                digits();
            } else {
                append(out, "ERROR");
                return out;
            }
            break;
        case '+':
            // An extended command runs to ";" or the end of the line.
            while (i < c.size() && c[i] != ';')
                ++i;
            if (i < c.size())
                ++i;
            break;
        default:
            append(out, "ERROR");
            return out;
        }
    }
    if (info)
        append(out, "SIMULATED MODEM");
    append(out, "OK");
    return out;
}

std::vector<quint8> SimModem::due(Clock::time_point now)
{
    std::vector<quint8> out;
    if (m_dialPending && now >= m_dialDue) {
        m_dialPending = false;
        switch (m_options.dial) {
        case DialResult::Connect:
            m_carrier = true;
            m_commandMode = false;
            m_plus = 0;
            m_bytesToDevice = 0;
            m_haveLastByte = false;
            append(out, ("CONNECT " + QByteArray::number(m_options.connectBaud)).constData());
            break;
        case DialResult::Busy: append(out, "BUSY"); break;
        case DialResult::NoCarrier: append(out, "NO CARRIER"); break;
        case DialResult::NoAnswer: append(out, "NO ANSWER"); break;
        case DialResult::Silent: break;
        }
    }
    if (online() && m_plus == 3 && now - m_lastByte >= m_options.guard) {
        m_plus = 0;
        m_commandMode = true;
        append(out, "OK");
    }
    return out;
}

SimModem::Clock::time_point SimModem::nextDue() const
{
    Clock::time_point t = Clock::time_point::max();
    if (m_dialPending)
        t = m_dialDue;
    if (online() && m_plus == 3)
        t = std::min(t, m_lastByte + m_options.guard);
    return t;
}

std::vector<quint8> SimModem::setDtr(bool on, Clock::time_point)
{
    std::vector<quint8> out;
    if (!on && (m_carrier || m_dialPending)) {
        hangUp();
        append(out, "NO CARRIER");
    }
    return out;
}

void AttachSimFbed(SimDevice &device, int number)
{
    device.addRequestHook([number](SimDevice &, const SimRequest &request, SimAnswer &answer) {
        if (request.code != 26)
            return false;
        const bool match = request.data.size() == 2 && ((request.data[0] << 8) | request.data[1]) == number;
        answer.code = match ? 0x9A : 0xF5;
        return true;
    });
}
