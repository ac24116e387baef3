#include "SimDevice.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace {

// A parameter file is at most the 32 KB image plus the identification block behind it.
constexpr qint64 MaxImage = 32768;
constexpr qint64 MaxFileSize = MaxImage + 255;
constexpr int StwFileSize = 272;

struct KindName
{
    SimDevice::FaultKind kind;
    const char *name;
};
const KindName KindNames[] = {
    {SimDevice::FaultKind::NoEcho, "noecho"},     {SimDevice::FaultKind::BadEcho, "badecho"},
    {SimDevice::FaultKind::Silence, "silence"},   {SimDevice::FaultKind::WrongAddr, "wrongaddr"},
    {SimDevice::FaultKind::Truncate, "truncate"}, {SimDevice::FaultKind::NoSum, "nosum"},
    {SimDevice::FaultKind::BadSum, "badsum"},     {SimDevice::FaultKind::Refuse, "refuse"},
    {SimDevice::FaultKind::Short, "short"},       {SimDevice::FaultKind::Garbage, "garbage"},
};

bool isRead(quint8 code)
{
    return code == 5 || code == 53 || code == 37 || code == 9;
}

quint32 be32(const quint8 *p)
{
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

} // namespace

SimDevice::SimDevice()
    : m_rng(1), m_memory(MemorySize, 0)
{
}

void SimDevice::setSeed(quint32 seed)
{
    m_rng.seed(seed);
}

bool SimDevice::parseFaultKind(const QString &name, FaultKind *kind)
{
    for (const KindName &k : KindNames) {
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0) {
            *kind = k.kind;
            return true;
        }
    }
    return false;
}

QString SimDevice::faultKindName(FaultKind kind)
{
    for (const KindName &k : KindNames) {
        if (k.kind == kind)
            return QString::fromLatin1(k.name);
    }
    return QString();
}

bool SimDevice::addFault(const QString &faultText, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("fault \"%1\": %2").arg(faultText, why);
        return false;
    };
    const QStringList parts = faultText.trimmed().split(QLatin1Char(':'));
    if (parts.size() < 2 || parts.size() > 3)
        return fail(QStringLiteral("expected KIND:RATE"));
    Fault fault{FaultKind::NoEcho, 0.0, 0xF4};
    if (!parseFaultKind(parts[0].trimmed(), &fault.kind)) {
        QStringList names;
        for (const KindName &k : KindNames)
            names << QString::fromLatin1(k.name);
        return fail(QStringLiteral("unknown kind, use one of ") + names.join(QStringLiteral(", ")));
    }
    bool ok = false;
    fault.rate = parts[1].trimmed().toDouble(&ok);
    if (!ok || !(fault.rate >= 0.0 && fault.rate <= 1.0))
        return fail(QStringLiteral("rate must be a number from 0 to 1"));
    if (parts.size() == 3) {
        if (fault.kind != FaultKind::Refuse)
            return fail(QStringLiteral("only refuse takes a code byte"));
        QString byteText = parts[2].trimmed();
        if (byteText.startsWith(QLatin1String("0x"), Qt::CaseInsensitive) || byteText.startsWith(QLatin1Char('$')))
            byteText = byteText.mid(byteText.startsWith(QLatin1Char('$')) ? 1 : 2);
        const uint value = byteText.toUInt(&ok, 16);
        if (!ok || value > 0xFF)
            return fail(QStringLiteral("refusal byte must be hexadecimal 00..FF"));
        fault.refusal = quint8(value);
    }
    m_faults.push_back(fault);
    return true;
}

quint8 SimDevice::byteAt(quint32 address) const
{
    if (address < quint32(MemorySize))
        return m_memory[address];
    auto it = m_high.find(address);
    return it == m_high.end() ? 0 : it->second;
}

void SimDevice::setByte(quint32 address, quint8 value)
{
    if (address < quint32(MemorySize))
        m_memory[address] = value;
    else
        m_high[address] = value;
}

std::vector<quint8> SimDevice::bytes(quint32 address, int count) const
{
    std::vector<quint8> out;
    out.reserve(size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        out.push_back(byteAt(address + quint32(i)));
    return out;
}

void SimDevice::setBytes(quint32 address, const std::vector<quint8> &data)
{
    for (size_t i = 0; i < data.size(); ++i)
        setByte(address + quint32(i), data[i]);
}

void SimDevice::clearMemory()
{
    std::fill(m_memory.begin(), m_memory.end(), 0);
    m_high.clear();
}

void SimDevice::setDemoIdentification()
{
    std::vector<quint8> ident(IdentSize, 0);
    const char id[] = "Z202 DEMO ";
    std::copy(id, id + 10, ident.begin());
    ident[10] = ' ';
    ident[11] = 12;       // program version
    ident[12] = ' ';      // version letter
    ident[13] = 15;       // program date 15.03.2019
    ident[14] = 3;
    ident[15] = 119;
    ident[16] = 0x12;     // order number, middle and low byte
    ident[17] = 0x34;
    ident[18] = 0x30;     // production number 12345
    ident[19] = 0x39;
    ident[20] = 1;        // production date 01.04.2020
    ident[21] = 4;
    ident[22] = 120;
    ident[23] = 0x00;     // order number, high byte
    setBytes(IdentAddress, ident);
}

bool SimDevice::loadParameterFile(const QString &path, int base, QString *error)
{
    auto fail = [&](const QString &why) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    };
    if (base < 0 || base >= MemorySize)
        return fail(QStringLiteral("base address %1 is outside 0000..FFFF").arg(base, 0, 16));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > MaxFileSize)
        return fail(QStringLiteral("%1 bytes is longer than a device image with identification").arg(file.size()));
    const QByteArray content = file.readAll();
    if (content.size() != file.size())
        return fail(QStringLiteral("could not be read completely"));
    const auto *raw = reinterpret_cast<const quint8 *>(content.constData());
    const int size = int(content.size());

    std::vector<quint8> image;
    std::vector<quint8> ident(IdentSize, 0);
    const bool stw = QFileInfo(path).suffix().compare(QLatin1String("STW"), Qt::CaseInsensitive) == 0;
    if (stw) {
        if (size != StwFileSize)
            return fail(QStringLiteral("a ZEV 071 - 083 file has 272 bytes, this one %1").arg(size));
        image.assign(raw, raw + size);
        std::copy(raw + 256, raw + 271, ident.begin() + 16);
    } else {
        const int identOffset = size & ~0xFF;
        if (size - identOffset < IdentSize)
            return fail(QStringLiteral("no identification block: %1 bytes after offset %2, 48 needed")
                            .arg(size - identOffset)
                            .arg(identOffset));
        image.assign(raw, raw + identOffset);
        std::copy(raw + identOffset, raw + identOffset + IdentSize, ident.begin());
    }
    if (base + int(image.size()) > MemorySize)
        return fail(QStringLiteral("image of %1 bytes at %2 runs past address FFFF").arg(image.size()).arg(base, 4, 16, QLatin1Char('0')));

    clearMemory();
    setBytes(quint32(base), image);
    // The identification goes last: the PC's first question is for it, whatever the image holds there.
    setBytes(IdentAddress, ident);
    if (stw) {
        // These devices answer a second identification request for 8 bytes at 0x01A0 with the
        // program number, version and date. When the image has no such entry there, the device
        // serves the older copy from the identification bytes 23..27.
        const quint8 first = byteAt(0x01A0);
        if (first == 0 || first == 0xFF)
            setBytes(0x01A0, std::vector<quint8>(ident.begin() + 23, ident.begin() + 28));
    }
    const bool znae = QFileInfo(path).suffix().compare(QLatin1String("NAE"), Qt::CaseInsensitive) == 0;
    if (znae && image.size() > 0x7F && byteAt(0x017E) == 0 && byteAt(0x017F) == 0) {
        // The unit reports its protection functions and mains factor at 0x017E; a file
        // keeps them at image offsets 0x7E and 0x7F.
        setByte(0x017E, image[0x7E]);
        setByte(0x017F, image[0x7F]);
    }
    return true;
}

std::vector<quint8> SimDevice::couplerIdentification() const
{
    std::vector<quint8> id(32, 0);
    const bool dros = m_coupler.compare(QLatin1String("DROS"), Qt::CaseInsensitive) == 0;
    const char *name = dros ? "DROS 200  " : "PELK 2000 ";
    std::copy(name, name + 10, id.begin());
    id[10] = ' ';
    id[11] = dros ? 2 : 3; // firmware version
    id[13] = 1;            // hardware issue 1.4
    id[14] = 4;
    id[15] = dros ? 5 : 2; // baud setting code
    return id;
}

bool SimDevice::chance(double rate)
{
    // Always draw, so that the sequence of one fault does not depend on the others.
    const double roll = std::uniform_real_distribution<double>(0.0, 1.0)(m_rng);
    return roll < rate;
}

void SimDevice::rollFaults()
{
    m_fault.reset();
    m_garbage = false;
    for (const Fault &f : m_faults) {
        const bool hit = chance(f.rate);
        if (!hit)
            continue;
        if (f.kind == FaultKind::Garbage)
            m_garbage = true;
        else if (!m_fault)
            m_fault = f;
    }
}

std::vector<quint8> SimDevice::receive(quint8 byte)
{
    std::vector<quint8> out;
    switch (m_state) {
    case State::Idle:
        if (m_raw && m_raw(byte, out))
            break;
        if (byte != m_slave && !(byte == CouplerAddress && !m_coupler.isEmpty()))
            break;
        rollFaults();
        if (isFault(FaultKind::NoEcho)) {
            ++m_counters.faults;
            break;
        }
        if (isFault(FaultKind::BadEcho)) {
            // The device misheard its address: it echoes something else and listens no further.
            ++m_counters.faults;
            out.push_back(quint8(byte ^ 0xFF));
            break;
        }
        out.push_back(byte);
        m_request[0] = byte;
        m_received = 1;
        m_state = State::Request;
        break;
    case State::Request:
        m_request[size_t(m_received++)] = byte;
        if (m_received == 3 && byte < 4) {
            // An L that cannot hold even the function code: framing is lost, so the device
            // stays deaf until the line has been quiet for a while.
            ++m_counters.rejected;
            m_state = State::Discard;
        } else if (m_received >= 4 && m_received == m_request[2]) {
            m_state = State::Checksum;
        }
        break;
    case State::Checksum:
        requestComplete(byte, out);
        break;
    case State::Discard:
        break;
    case State::AwaitEcho:
        if (byte == m_answer[size_t(m_sent - 1)]) {
            sendNext(out);
        } else {
            // No echo: the PC has given up on this answer. The byte may start the next telegram.
            m_answer.clear();
            m_state = State::Idle;
            out = receive(byte);
        }
        break;
    }
    return out;
}

void SimDevice::runAfterAnswer()
{
    if (!m_afterAnswer)
        return;
    std::function<void()> action = std::move(m_afterAnswer);
    m_afterAnswer = nullptr;
    action();
}

void SimDevice::lineIdle()
{
    runAfterAnswer();
    m_state = State::Idle;
    m_received = 0;
    m_answer.clear();
    m_sent = 0;
}

bool SimDevice::parseRequest(SimRequest *req) const
{
    const int length = m_request[2];
    const quint8 *p = m_request.data() + 4;
    const int n = length - 4;
    req->pcAddress = m_request[1];
    req->code = m_request[3];
    req->address = 0;
    req->count = 0;
    req->data.clear();
    auto rest = [&](int from) { req->data.assign(p + from, p + n); req->count = n - from; };
    switch (req->code) {
    case 3:
    case 26:
        rest(0);
        return true;
    case 4:
    case 20:
        if (n < 2)
            return false;
        req->address = (quint32(p[0]) << 8) | p[1];
        rest(2);
        return true;
    case 36:
        if (n < 4)
            return false;
        req->address = be32(p);
        rest(4);
        return true;
    case 5:
    case 53:
        if (n < 3)
            return false;
        req->address = (quint32(p[0]) << 8) | p[1];
        req->count = p[2];
        return true;
    case 37:
        if (n < 5)
            return false;
        req->address = be32(p);
        req->count = p[4];
        return true;
    case 9:
        if (n < 4)
            return false;
        req->address = be32(p);
        req->count = 4;
        return true;
    case 23:
    case 24:
    case 25:
        return true;
    default:
        // Unknown to the built-in device; the hooks may know it.
        rest(0);
        return true;
    }
}

SimAnswer SimDevice::serve(const SimRequest &req)
{
    SimAnswer answer;
    answer.code = quint8(req.code + 0x80);
    auto refusal = m_refusals.find(req.code);
    if (refusal != m_refusals.end()) {
        answer.code = refusal->second;
        return answer;
    }
    for (RequestHook &hook : m_hooks) {
        SimAnswer own;
        own.code = answer.code;
        if (hook(*this, req, own)) {
            if (own.data.size() > size_t(MaxData))
                own.data.resize(size_t(MaxData));
            return own;
        }
    }
    // 16-bit addresses wrap around inside the 64 KB memory.
    auto addr16 = [&](int i) { return quint32((req.address + quint32(i)) & 0xFFFF); };
    const int count = std::min(req.count, MaxData);
    switch (req.code) {
    case 3:
    case 23:
    case 24:
    case 25:
    case 26:
        break;
    case 4:
    case 20:
        for (size_t i = 0; i < req.data.size(); ++i)
            setByte(addr16(int(i)), req.data[i]);
        break;
    case 36:
        setBytes(req.address, req.data);
        break;
    case 5:
    case 53:
        for (int i = 0; i < count; ++i)
            answer.data.push_back(byteAt(addr16(i)));
        break;
    case 37:
    case 9:
        answer.data = bytes(req.address, count);
        break;
    default:
        answer.code = UnknownCodeRefusal;
        break;
    }
    return answer;
}

void SimDevice::requestComplete(quint8 checksum, std::vector<quint8> &out)
{
    const int length = m_request[2];
    quint8 sum = 0;
    for (int i = 0; i < length; ++i)
        sum = quint8(sum + m_request[size_t(i)]);
    m_state = State::Idle;
    if (sum != checksum) {
        ++m_counters.rejected;
        return;
    }
    ++m_counters.requests;
    if (isFault(FaultKind::Silence)) {
        ++m_counters.faults;
        return;
    }

    SimRequest req;
    SimAnswer answer;
    if (isFault(FaultKind::Refuse)) {
        ++m_counters.faults;
        answer.code = m_fault->refusal;
    } else if (!parseRequest(&req)) {
        // Too short for its own function code.
        answer.code = UnknownCodeRefusal;
    } else if (m_request[0] == CouplerAddress && m_request[0] != m_slave) {
        // The coupler itself: reads give its identification, settings are acknowledged.
        answer.code = quint8(req.code + 0x80);
        if (m_couplerHook && m_couplerHook(*this, req, answer)) {
            if (answer.data.size() > size_t(MaxData))
                answer.data.resize(size_t(MaxData));
        } else if (isRead(req.code)) {
            const std::vector<quint8> id = couplerIdentification();
            for (int i = 0; i < std::min(req.count, MaxData); ++i) {
                const long long at = (long long)req.address - IdentAddress + i;
                answer.data.push_back(at >= 0 && at < (long long)id.size() ? id[size_t(at)] : 0);
            }
        }
    } else {
        answer = serve(req);
        if (isFault(FaultKind::Short) && isRead(req.code)) {
            ++m_counters.faults;
            answer.data.clear();
        }
    }

    const quint8 pc = m_request[1];
    m_answer.clear();
    m_answer.reserve(answer.data.size() + 5);
    m_answer.push_back(pc);
    m_answer.push_back(m_request[0]);
    m_answer.push_back(quint8(4 + answer.data.size()));
    m_answer.push_back(answer.code);
    m_answer.insert(m_answer.end(), answer.data.begin(), answer.data.end());
    quint8 answerSum = 0;
    for (quint8 b : m_answer)
        answerSum = quint8(answerSum + b);
    m_answer.push_back(answerSum);
    const int full = int(m_answer.size());
    m_stopAt = full;

    if (isFault(FaultKind::WrongAddr)) {
        ++m_counters.faults;
        quint8 wrong = quint8(pc ^ 0xFF);
        if (wrong == m_slave)
            wrong = quint8(pc ^ 0x7F);
        m_answer[0] = wrong;
    } else if (isFault(FaultKind::BadSum)) {
        ++m_counters.faults;
        m_answer.back() = quint8(answerSum + 1);
    } else if (isFault(FaultKind::NoSum)) {
        ++m_counters.faults;
        m_stopAt = full - 1;
    } else if (isFault(FaultKind::Truncate)) {
        ++m_counters.faults;
        // Somewhere before the last telegram byte: at least byte 1, at most bytes 1..L-1.
        m_stopAt = std::uniform_int_distribution<int>(1, full - 2)(m_rng);
    }

    m_sent = 1;
    out.push_back(m_answer[0]);
    m_state = State::AwaitEcho;
}

void SimDevice::sendNext(std::vector<quint8> &out)
{
    if (m_sent >= m_stopAt) {
        finishAnswer(out);
        return;
    }
    if (!m_handshake) {
        out.insert(out.end(), m_answer.begin() + m_sent, m_answer.begin() + m_stopAt);
        m_sent = m_stopAt;
        finishAnswer(out);
        return;
    }
    out.push_back(m_answer[size_t(m_sent++)]);
    // The checksum byte is not echoed; every byte before it is.
    if (m_sent == int(m_answer.size()))
        finishAnswer(out);
}

void SimDevice::finishAnswer(std::vector<quint8> &out)
{
    if (m_garbage) {
        ++m_counters.faults;
        const int n = std::uniform_int_distribution<int>(1, 8)(m_rng);
        for (int i = 0; i < n; ++i)
            out.push_back(quint8(std::uniform_int_distribution<int>(0, 255)(m_rng)));
        m_garbage = false;
    }
    ++m_counters.answers;
    m_answer.clear();
    m_sent = 0;
    m_state = State::Idle;
    runAfterAnswer();
}
