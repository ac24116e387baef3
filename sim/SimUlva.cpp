#include "SimUlva.h"
#include "SimDevice.h"
#include <QStringList>
#include <algorithm>
#include <cmath>

SimUlva::SimUlva()
{
    // Every channel a little different, so that a calibration cannot pass by accident.
    for (int c = 0; c < Channels; ++c)
        m_channels[size_t(c)] = {double(0x0100 + 0x20 * c), 50.0 + c, 0.0};
}

void SimUlva::setModel(int c, double offset, double gain)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (c >= 0 && c < Channels) {
        m_channels[size_t(c)].offset = offset;
        m_channels[size_t(c)].gain = gain;
    }
}

void SimUlva::setSignal(int c, double signal)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (c >= 0 && c < Channels)
        m_channels[size_t(c)].signal = signal;
}

SimUlva::Channel SimUlva::channel(int c) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return c >= 0 && c < Channels ? m_channels[size_t(c)] : Channel{};
}

bool SimUlva::parseModel(const QString &text, QString *error)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    bool ok = parts.size() == 3 || parts.size() == 4;
    double v[4] = {0, 0, 0, 0};
    for (int k = 0; ok && k < parts.size(); ++k)
        v[k] = parts[k].toDouble(&ok);
    const int c = int(v[0]) - 1;
    if (!ok || c < 0 || c >= Channels || v[0] != std::floor(v[0])) {
        if (error)
            *error = QStringLiteral("--ulva wants CHANNEL:OFFSET:GAIN[:SIGNAL] with channel 1..16: ") + text;
        return false;
    }
    setModel(c, v[1], v[2]);
    if (parts.size() == 4)
        setSignal(c, v[3]);
    return true;
}

int SimUlva::raw(int c) const
{
    const Channel ch = channel(c);
    const double r = std::round(ch.offset + ch.gain * ch.signal);
    return int(std::clamp(r, 0.0, 65535.0));
}

bool SimUlva::basicMode(const SimDevice &device)
{
    return device.byteAt(BasicModeAddress) == 0x34;
}

bool SimUlva::outputSimulated(int n) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return n >= 1 && n <= Channels && m_simulated[size_t(n - 1)];
}

std::optional<double> SimUlva::measured(const SimDevice &device, int c, int raw)
{
    auto word = [&](int k) {
        const quint32 a = BlockAddress + 8 * quint32(c) + 2 * quint32(k);
        return (int(device.byteAt(a)) << 8) | device.byteAt(a + 1);
    };
    const double w1 = word(0), w2 = word(1), w3 = word(2);
    const double r4 = 4.0 * raw;
    const int kind = device.byteAt(0x0020 + quint32(c));
    switch (kind) {
    case 1: // (data * A) / B - C
        return w2 == 0 ? std::nullopt : std::optional<double>(raw * w1 / w2 - w3);
    case 2: case 3: case 5: case 6: // 60 °C at w1, 120 °C at w1 + w2, 20 °C at w1 - w3
        if (w2 == 0 || w3 == 0)
            return std::nullopt;
        return r4 >= w1 ? 60 + 60 * (r4 - w1) / w2 : 60 - 40 * (w1 - r4) / w3;
    case 4: // 10 °C at w2, 80 °C at w2 + w1
        return w1 == 0 ? std::nullopt : std::optional<double>(10 + 70 * (r4 - w2) / w1);
    case 7: // 100 °C at w1, 300 °C at w2
        return w2 == w1 ? std::nullopt : std::optional<double>(100 + 200 * (r4 - w1) / (w2 - w1));
    default:
        break;
    }
    int factor = 0;
    bool negative = false;
    switch (kind) {
    case 8: case 10: case 21: factor = 1; break;
    case 9: case 11: case 12: case 13: case 22: factor = 10; break;
    case 14: case 16: case 23: factor = 1; negative = true; break;
    case 15: case 17: case 24: factor = 10; negative = true; break;
    default: return std::nullopt;
    }
    if (w2 == 0)
        return std::nullopt;
    // The first word is a signed offset in units of 1/factor.
    const double offset = double(qint16(quint16(word(0))));
    const double shown = negative ? offset - r4 * w3 / w2 : offset + r4 * w3 / w2;
    return shown / factor;
}

bool SimUlva::handle(SimDevice &device, const SimRequest &request, SimAnswer &answer)
{
    if (request.code == 5 && request.count == 2 && request.address >= LiveAddress &&
        request.address < LiveAddress + 2 * Channels && (request.address - LiveAddress) % 2 == 0) {
        const int r = raw(int(request.address - LiveAddress) / 2);
        answer.data = {quint8(r >> 8), quint8(r)};
        return true;
    }
    if ((request.code == 4 || request.code == 20) && request.address >= OutputAddress &&
        request.address < OutputAddress + 2 * Channels) {
        std::lock_guard<std::mutex> lock(m_mutex);
        // Word by word as the bytes arrive; the device itself stores them.
        for (size_t k = 0; k + 1 < request.data.size(); k += 2) {
            const quint32 a = request.address + quint32(k);
            if ((a - OutputAddress) % 2 != 0 || a >= OutputAddress + 2 * Channels)
                continue;
            const int value = (request.data[k] << 8) | request.data[k + 1];
            m_simulated[size_t((a - OutputAddress) / 2)] = value <= 4000;
        }
    }
    (void)device;
    return false;
}

void SimUlva::attach(SimDevice &device, std::shared_ptr<SimUlva> ulva)
{
    if (!ulva)
        return;
    device.addRequestHook([ulva](SimDevice &d, const SimRequest &r, SimAnswer &a) { return ulva->handle(d, r, a); });
}
