#pragma once
#include <QString>
#include <QtGlobal>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class SimDevice;
struct SimRequest;

// The analog converters of a simulated controller. Each channel answers a read of its raw
// value with offset + gain x the signal applied to it (rounded, held within its width), so
// that a calibration against the simulator finds words that make the controller's own
// measurement right. The controller turns a raw value into its measured value with the
// calibration words it holds, and the phase inputs show their angles with the correction
// words it holds added.
class SimConverter
{
public:
    // How a channel's calibration words are laid out in the controller's memory.
    enum class Words {
        FirstAndDifference, // words: raw at the first point, second - first (three-channel kind)
        SecondOnly,         // word: raw at the second point, the first point is zero
        BytePair,           // bytes: raw at the first point, raw at the second point (9x)
    };
    struct Channel
    {
        quint32 rawAddress = 0;
        int width = 2;         // bytes of the raw value: 1 or 2
        double offset = 0;
        double gain = 1;
        double signal = 0;     // applied signal, in the units of the nominal values
        Words words = Words::FirstAndDifference;
        quint32 wordsAddress = 0;   // this channel's calibration words
        quint32 firstNominal = 0;   // word: nominal value of the first point
        quint32 secondNominal = 0;  // word: nominal value of the second point
    };
    struct Phases
    {
        quint32 rawAddress = 0x2240;   // six words of angles
        quint32 periodAddress = 0x2250;
        quint32 correctionAddress = 0; // six correction words
        int period = 20000;
        int base = 3000;
        std::array<int, 6> error{};    // each input's own error, in the same units
    };

    void addChannel(const Channel &channel);
    Channel *channel(quint32 rawAddress);
    const std::map<quint32, Channel> &channels() const { return m_channels; }
    void setSignal(quint32 rawAddress, double signal);
    // "ADDR:OFFSET:GAIN" (address hexadecimal): changes the model of a known channel.
    bool configure(const QString &text, QString *error = nullptr);
    void setPhases(const Phases &phases) { m_phases = phases; m_hasPhases = true; }

    // The raw value a channel gives now.
    int raw(const Channel &c) const;
    // What the controller measures on the channel with the words it holds; false when its
    // words cannot give a value (a difference of zero).
    bool measured(const SimDevice &device, quint32 rawAddress, double *value) const;
    // The same with the nominal values of the two points given (those in effect when the
    // channel was calibrated, where later words have overwritten them).
    bool measuredWith(const SimDevice &device, quint32 rawAddress, double n1, double n2, double *value) const;
    // The six phase angles as the controller shows them (correction included).
    std::array<int, 6> phaseAngles(const SimDevice &device) const;
    // The answer to a read of count bytes at address when it asks for converter values: the
    // memory with the raw values of the channels there, or the phase angles and the period,
    // laid over it. False for any other read (the memory itself never changes).
    static constexpr int MaxRead = 12;
    bool answer(const SimDevice &device, quint32 address, int count, std::vector<quint8> *out) const;

    // The converters of a 101-112 controller as its definition's calibration table names
    // them: mains and generator voltages, currents, battery voltage and the mains phases.
    // Calibration words at imageBase-relative addresses of the table (base 0x0800).
    static std::shared_ptr<SimConverter> forController();
    static void attach(SimDevice &device, std::shared_ptr<SimConverter> converter);
    // The converters last attached to the device (to apply signals to the built-in device).
    static std::shared_ptr<SimConverter> of(const SimDevice &device);

private:
    std::map<quint32, Channel> m_channels;
    Phases m_phases;
    bool m_hasPhases = false;
    mutable std::recursive_mutex m_mutex;
};
