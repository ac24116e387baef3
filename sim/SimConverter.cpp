#include "SimConverter.h"
#include "SimDevice.h"
#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {
int word(const SimDevice &d, quint32 a) { return int(d.byteAt(a)) << 8 | d.byteAt(a + 1); }
} // namespace

void SimConverter::addChannel(const Channel &channel)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    m_channels[channel.rawAddress] = channel;
}

SimConverter::Channel *SimConverter::channel(quint32 rawAddress)
{
    auto it = m_channels.find(rawAddress);
    return it == m_channels.end() ? nullptr : &it->second;
}

void SimConverter::setSignal(quint32 rawAddress, double signal)
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    if (Channel *c = channel(rawAddress))
        c->signal = signal;
}

bool SimConverter::configure(const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool okA = false, okO = false, okG = false;
    const quint32 address = parts.value(0).toUInt(&okA, 16);
    const double offset = parts.value(1).toDouble(&okO);
    const double gain = parts.value(2).toDouble(&okG);
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    Channel *c = okA ? channel(address) : nullptr;
    if (parts.size() != 3 || !c || !okO || !okG || gain <= 0) {
        if (error)
            *error = QStringLiteral("--converter %1: expected ADDR:OFFSET:GAIN with a known channel address "
                                    "(hexadecimal) and a gain above 0")
                         .arg(text);
        return false;
    }
    c->offset = offset;
    c->gain = gain;
    return true;
}

int SimConverter::raw(const Channel &c) const
{
    const long long v = std::llround(c.offset + c.gain * c.signal);
    const long long top = c.width == 1 ? 0xFF : 0xFFFF;
    return int(std::clamp<long long>(v, 0, top));
}

bool SimConverter::measured(const SimDevice &device, quint32 rawAddress, double *value) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const auto it = m_channels.find(rawAddress);
    if (it == m_channels.end())
        return false;
    return measuredWith(device, rawAddress, word(device, it->second.firstNominal),
                        word(device, it->second.secondNominal), value);
}

bool SimConverter::measuredWith(const SimDevice &device, quint32 rawAddress, double n1, double n2, double *value) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    const auto it = m_channels.find(rawAddress);
    if (it == m_channels.end())
        return false;
    const Channel &c = it->second;
    const int r = raw(c);
    switch (c.words) {
    case Words::FirstAndDifference: {
        const int r1 = word(device, c.wordsAddress);
        const int d = word(device, c.wordsAddress + 2);
        if (d == 0)
            return false;
        *value = n1 + double(r - r1) * (n2 - n1) / d;
        return true;
    }
    case Words::SecondOnly: {
        const int r2 = word(device, c.wordsAddress);
        if (r2 == 0)
            return false;
        *value = double(r) * n2 / r2;
        return true;
    }
    case Words::BytePair: {
        const int b1 = device.byteAt(c.wordsAddress);
        const int b2 = device.byteAt(c.wordsAddress + 1);
        if (b2 == b1)
            return false;
        *value = n1 + double(r - b1) * (n2 - n1) / (b2 - b1);
        return true;
    }
    }
    return false;
}

std::array<int, 6> SimConverter::phaseAngles(const SimDevice &device) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    std::array<int, 6> out{};
    for (int k = 0; k < 6; ++k) {
        const int correction = m_phases.correctionAddress ? word(device, m_phases.correctionAddress + 2 * k) : 0;
        out[size_t(k)] = std::clamp(m_phases.base + m_phases.error[size_t(k)] + correction, 0, 0xFFFF);
    }
    return out;
}

bool SimConverter::answer(const SimDevice &device, quint32 address, int count, std::vector<quint8> *out) const
{
    std::lock_guard<std::recursive_mutex> lock(m_mutex);
    // Only the converter reads themselves: a scan of the parameter memory (64-byte blocks)
    // sees the memory as stored.
    if (count <= 0 || count > MaxRead)
        return false;
    std::vector<quint8> data = device.bytes(address, count);
    auto put = [&](quint32 at, int value, int width) {
        for (int i = 0; i < width; ++i) {
            const quint32 byteAt = at + quint32(i);
            if (byteAt >= address && byteAt < address + quint32(count))
                data[byteAt - address] = quint8(value >> (8 * (width - 1 - i)));
        }
    };
    bool touched = false;
    // The phase block and the channels may share addresses (a phase input is a channel's
    // converter too): the read that asks for the phase block gets the angles.
    if (m_hasPhases && (address == m_phases.rawAddress || address == m_phases.periodAddress)) {
        const std::array<int, 6> angles = phaseAngles(device);
        for (int k = 0; k < 6; ++k)
            put(m_phases.rawAddress + quint32(2 * k), angles[size_t(k)], 2);
        put(m_phases.periodAddress, m_phases.period, 2);
        touched = true;
    } else {
        for (const auto &entry : m_channels) {
            const Channel &c = entry.second;
            if (c.rawAddress + quint32(c.width) <= address || c.rawAddress >= address + quint32(count))
                continue;
            put(c.rawAddress, raw(c), c.width);
            touched = true;
        }
    }
    if (touched && out)
        *out = data;
    return touched;
}

std::shared_ptr<SimConverter> SimConverter::forController()
{
    auto conv = std::make_shared<SimConverter>();
    // Raw values of a few thousand digits over the nominal range, each channel with its own
    // offset and gain, as converters leave the factory before calibration.
    struct Group
    {
        quint32 raw, words, n1, n2;
        Words kind;
        double offset, gain;
        double signal;
    };
    const Group groups[] = {
        {0x2260, 0x1800, 0x1820, 0x1822, Words::FirstAndDifference, 380, 1.65, 22},
        {0x2290, 0x180C, 0x1824, 0x1826, Words::FirstAndDifference, 400, 5.4, 1000},
        {0x2246, 0x1818, 0x1828, 0x182A, Words::FirstAndDifference, 150, 380, 10},
        {0x22A0, 0x1840, 0x1844, 0x1846, Words::SecondOnly, 0, 13, 120},
    };
    for (const Group &g : groups) {
        const int channels = g.kind == Words::SecondOnly ? 1 : 3;
        for (int k = 0; k < channels; ++k) {
            Channel c;
            c.rawAddress = g.raw + quint32(2 * k);
            c.offset = g.offset + 7 * k;
            c.gain = g.gain * (1.0 + 0.01 * k);
            c.signal = g.signal;
            c.words = g.kind;
            c.wordsAddress = g.words + quint32(4 * k);
            c.firstNominal = g.n1;
            c.secondNominal = g.n2;
            conv->addChannel(c);
        }
    }
    Phases p;
    p.correctionAddress = 0x1850;
    p.error = {0, 120, -80, 0, 0, 0};
    conv->setPhases(p);
    return conv;
}

namespace {
std::mutex &registryMutex()
{
    static std::mutex m;
    return m;
}
std::map<const SimDevice *, std::weak_ptr<SimConverter>> &registry()
{
    static std::map<const SimDevice *, std::weak_ptr<SimConverter>> r;
    return r;
}
} // namespace

std::shared_ptr<SimConverter> SimConverter::of(const SimDevice &device)
{
    std::lock_guard<std::mutex> lock(registryMutex());
    const auto it = registry().find(&device);
    return it == registry().end() ? nullptr : it->second.lock();
}

void SimConverter::attach(SimDevice &device, std::shared_ptr<SimConverter> converter)
{
    if (!converter)
        return;
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        registry()[&device] = converter;
    }
    device.addRequestHook([converter](SimDevice &d, const SimRequest &request, SimAnswer &answer) {
        return request.code == 5 && converter->answer(d, request.address, request.count, &answer.data);
    });
}
