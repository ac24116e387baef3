#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <memory>
#include <mutex>
#include <optional>

class SimDevice;
struct SimRequest;
struct SimAnswer;

// The ULVA analog module's inputs and outputs. Each of the 16 converter channels measures
// the signal applied to it through a linear model, raw = offset + gain * signal (counts per
// unit of the signal: volts, milliamperes or degrees, as the channel's kind has it), and the
// live converter word is answered at 0x00B0 + 2c for a read of exactly that word. What the
// module shows for a channel follows from its calibration block at 0x0130 + 8c. An output
// word at 0x02B0 + 2(n - 1) of 0..4000 puts output n into simulation; 0xFFFF hands it back.
class SimUlva
{
public:
    struct Channel
    {
        double offset = 0;
        double gain = 0;
        double signal = 0;
    };
    static constexpr int Channels = 16;
    static constexpr quint32 LiveAddress = 0x00B0;
    static constexpr quint32 BlockAddress = 0x0130;
    static constexpr quint32 OutputAddress = 0x02B0;
    static constexpr quint32 BasicModeAddress = 0x0057;

    SimUlva();

    void setModel(int c, double offset, double gain);
    void setSignal(int c, double signal);
    Channel channel(int c) const;
    // "C:OFFSET:GAIN[:SIGNAL]", channel 1..16 (the option of mirelo-sim).
    bool parseModel(const QString &text, QString *error = nullptr);
    // The converter word of channel c (0-based) for the signal applied now.
    int raw(int c) const;

    // What the module shows for channel c from its calibration block and kind, in the
    // signal's unit; nothing for a kind without a calibration or a degenerate block.
    static std::optional<double> measured(const SimDevice &device, int c, int raw);
    static bool basicMode(const SimDevice &device);
    // Output n (1..16) is driven by hand.
    bool outputSimulated(int n) const;

    static void attach(SimDevice &device, std::shared_ptr<SimUlva> ulva);

private:
    bool handle(SimDevice &device, const SimRequest &request, SimAnswer &answer);

    mutable std::mutex m_mutex;
    std::array<Channel, Channels> m_channels;
    std::array<bool, Channels> m_simulated{};
};
