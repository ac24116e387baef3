#pragma once
#include <QString>
#include <functional>

struct DeviceData;
class Prompter;

// The link side of the dependency steps; the edit session implements it over the main
// controller and the single-value write.
class DependencyLink
{
public:
    virtual ~DependencyLink() = default;
    // The set came from the connected device (not from a file): dependent values are sent.
    virtual bool Online() const = 0;
    // The access check passes (without asking).
    virtual bool AccessGranted() const = 0;
    // Result code of the last telegram's answer (244 = operating mode, 245 = locked), 0 else.
    virtual int LastResultCode() const = 0;
    // Starts the single-value write of `byteCount` (1 or 2, a word high byte first) bytes
    // of `value` at the device address under the pending action `action`
    // ("Sollwertabhängigkeit" or "BitAnhaengigkeit"). False when refused before sending.
    virtual bool Write(const QString &action, int deviceAddress, int value, int byteCount) = 0;
    // Device type 35: the definition file is read again.
    virtual void ReloadDefinition() {}
};

// The follow-up steps of an edit: values and bits that depend on the edited parameter are
// brought in line, in the image and (online) on the device, one telegram at a time.
class ParameterDependencies
{
public:
    ParameterDependencies(DeviceData &data, Prompter &prompter, DependencyLink &link);

    static const QString ValueAction; // "Sollwertabhängigkeit"
    static const QString BitAction;   // "BitAnhaengigkeit"

    // Stage of the switching-point recalculation (1 to 5; 0 when none runs).
    int ValueDepStep = 0;
    // Number of the next bit rule to try (0 when no bit step runs).
    int BitDepStep = 0;
    // Image index of the next byte or word of a recalculation loop.
    int DepIndex = 0;
    QString ReturnAction = QStringLiteral("Werteingeben");
    // The step's own action while its write is under way; ReturnAction once it has ended.
    QString PendingAction;

    // Both return true when a telegram is under way (online): the step then continues in
    // Acknowledged() and calls Finished when no rule is left. false: the step ran to its end
    // (offline, or nothing to send, or a write was refused) and Finished is NOT called.
    bool ValueDependencies(const QString &address, int value);
    bool BitDependencies(int answer, const QString &address, int mask);
    // Re-entry after the step's write was acknowledged (the read-back value is already in
    // the image). true: another telegram is under way; false: the step has ended and
    // Finished has been called.
    bool Acknowledged();
    // The step's write failed (time-out, 244, 245): the step stops, nothing more is sent,
    // Finished is not called.
    void Abort();
    bool Running() const;
    std::function<void()> Finished;

private:
    enum class Kind { None, Value, Bit };
    enum class Outcome { Next, Sent, Stopped };

    bool runValue();
    bool runRecalculation();
    bool runBits();
    Outcome bitRule(int rule);
    bool endStep();
    void reset();

    // Puts the value into the image at the device address (unless onlineOnly) and sends it
    // when the link allows.
    Outcome write(int deviceAddress, int value, int byteCount, bool onlineOnly = false);
    // Image-only change of a word (rule 19 clears words without telling the device).
    void putWord(int deviceAddress, int value);

    int Bi(int index) const;
    int Wi(int index) const;
    int B(int address) const;
    int W(int address) const;

    DeviceData &m_data;
    Prompter &m_prompter;
    DependencyLink &m_link;

    Kind m_kind = Kind::None;
    bool m_waiting = false;
    // Saved arguments of the step, for the re-entry after the acknowledgement.
    int m_address = 0;
    int m_value = 0;
    int m_answer = 0;
    int m_mask = 0;
    int m_lastRule = 0;
    // The recalculation scales by the reference it started with: the grid may reload
    // PeriodBase while the chain waits for the device.
    int m_periodBase = 0;
};
