#include "params/Dependencies.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "params/NumberFormat.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"

using NumberFormat::RoundHalfEven;

namespace {

// The largest period word the switching points accept; anything beyond means "off".
constexpr long long kPeriodLimit = 61440;

long long Limited(long long v) { return (v > kPeriodLimit || v < 0) ? kPeriodLimit : v; }

// Definitions whose switching points carry limits that a new value may invalidate.
bool HasSwitchingPointLimits(const QString &definition)
{
    for (const char *id : {"A70-020", "A70-022", "A70-028", "A70-029"})
        if (definition.contains(QLatin1String(id), Qt::CaseInsensitive))
            return true;
    return false;
}

bool IsLocked(int code) { return code == 244 || code == 245; }

} // namespace

const QString ParameterDependencies::ValueAction = QStringLiteral("Sollwertabhängigkeit");
const QString ParameterDependencies::BitAction = QStringLiteral("BitAnhaengigkeit");

ParameterDependencies::ParameterDependencies(DeviceData &data, Prompter &prompter, DependencyLink &link)
    : m_data(data), m_prompter(prompter), m_link(link)
{
}

int ParameterDependencies::Bi(int index) const { return m_data.Geraet.GetByte(index); }
int ParameterDependencies::Wi(int index) const { return m_data.Geraet.GetWord(index); }
int ParameterDependencies::B(int address) const { return m_data.Geraet.GetByte(m_data.State.IndexOf(address)); }
int ParameterDependencies::W(int address) const { return m_data.Geraet.GetWord(m_data.State.IndexOf(address)); }

bool ParameterDependencies::Running() const { return m_kind != Kind::None && m_waiting; }

void ParameterDependencies::reset()
{
    m_kind = Kind::None;
    m_waiting = false;
    ValueDepStep = 0;
    BitDepStep = 0;
    DepIndex = 0;
}

ParameterDependencies::Outcome ParameterDependencies::write(int deviceAddress, int value, int byteCount,
                                                              bool onlineOnly)
{
    // A byte store keeps the low byte, as the image and the device register do.
    value = byteCount == 1 ? (value & 0xFF) : (value & 0xFFFF);
    if (!onlineOnly) {
        const long long index = m_data.State.IndexOf(deviceAddress);
        if (byteCount == 1)
            m_data.Geraet.SetByte(index, value);
        else
            m_data.Geraet.SetWord(index, value);
    }
    // A device in operating mode or with locked parameterisation would refuse every write,
    // and without access the write must not be tried: the rules then keep the image only.
    if (!m_link.Online() || IsLocked(m_link.LastResultCode()) || !m_link.AccessGranted())
        return Outcome::Next;
    PendingAction = m_kind == Kind::Bit ? BitAction : ValueAction;
    if (!m_link.Write(PendingAction, deviceAddress, value, byteCount))
        return Outcome::Stopped;
    m_waiting = true;
    return Outcome::Sent;
}

void ParameterDependencies::putWord(int deviceAddress, int value)
{
    m_data.Geraet.SetWord(m_data.State.IndexOf(deviceAddress), value);
}

bool ParameterDependencies::endStep()
{
    reset();
    PendingAction = ReturnAction;
    return false;
}

// ---------------------------------------------------------------------------------------
// Value step

bool ParameterDependencies::ValueDependencies(const QString &address, int value)
{
    reset();
    m_kind = Kind::Value;
    m_address = int(Text::HexToInt(address));
    m_value = value;
    if (runValue())
        return true;
    return endStep();
}

bool ParameterDependencies::runValue()
{
    const int a = m_address;
    const int v = m_value;
    const int type = m_data.State.DeviceType;

    if (type == 34) {
        const long long r = Wi(0x2C);
        const long long f = Wi(0x56);
        if (a == 0x0193 || a == 0x0195 || a == 0x0197 || a == 0x0199) {
            if (r == 0)
                return false;
            return write(a - 0x73, int(RoundHalfEven(double(f) * v / double(r))), 2) == Outcome::Sent;
        }
        if (a >= 0x0144 && a <= 0x0152) {
            if (f == 0)
                return false;
            return write(a + 0x3F, int(Limited(RoundHalfEven(double(r) * v / double(f)))), 2) == Outcome::Sent;
        }
        if (a == 0x0156) {
            ValueDepStep = 1;
            return runRecalculation();
        }
        return false;
    }

    const QString &definition = m_data.State.DefinitionFile;
    if (!HasSwitchingPointLimits(definition)) {
        if ((type == 32 || type == 33) && v > 0) {
            int bit = 0;
            switch (a) {
            case 0x0188: bit = 0x01; break;
            case 0x0189: bit = 0x02; break;
            case 0x018A: bit = 0x10; break;
            case 0x018B: bit = 0x20; break;
            case 0x018C: bit = 0x04; break;
            case 0x018D: bit = 0x08; break;
            case 0x018E: bit = 0x40; break;
            case 0x018F: bit = 0x80; break;
            default: return false;
            }
            return write(0x017F, Bi(0x7F) | bit, 1) == Outcome::Sent;
        }
        if (type == 35 && a > 0x011F && a <= 0x012F)
            // The texts of the parameter list depend on these settings.
            m_link.ReloadDefinition();
        return false;
    }

    // A switching point that the new limit puts out of range is cleared.
    int flag = 0;
    int dependent = 0;
    switch (a) {
    case 0x0176: flag = 0x10; dependent = 0x7A; break;
    case 0x016C: flag = 0x20; dependent = 0x7A; break;
    case 0x0140: flag = 0x40; dependent = 0x9F; break;
    case 0x0141: flag = 0x80; dependent = 0x9F; break;
    default: return false;
    }
    const int b = Bi(dependent);
    const bool outOfRange = (Bi(0x6F) & flag) ? b < v : b + v > 245;
    if (!outOfRange)
        return false;
    return write(0x0100 + dependent, 0, 1) == Outcome::Sent;
}

// Stages 1 to 5 of the switching-point recalculation after a new reference at 0x0156. The
// loops keep their position in DepIndex, so an acknowledgement resumes with the next value.
bool ParameterDependencies::runRecalculation()
{
    auto f = [this] { return (long long)Wi(0x56); };
    auto r = [this] { return (long long)Wi(0x2C); };

    if (ValueDepStep == 1) {
        m_periodBase = m_data.PeriodBase;
        if (m_periodBase == 0) {
            m_prompter.error(QStringLiteral("Value 0156 is 0000"));
            return false;
        }
        if (m_link.Online())
            m_prompter.information(GetText(108));
        ValueDepStep = 2;
        DepIndex = 0x20;
    }
    while (ValueDepStep == 2 && DepIndex <= 0x23) {
        const int i = DepIndex++;
        const Outcome o = write(i + 0x100, int(Bi(i) * f() / m_periodBase), 1);
        if (o != Outcome::Next)
            return o == Outcome::Sent;
    }
    if (ValueDepStep == 2) {
        ValueDepStep = 3;
        DepIndex = 0x44;
    }
    while (ValueDepStep == 3 && DepIndex <= 0x52) {
        const int i = DepIndex;
        DepIndex += 2;
        const long long v = Limited(RoundHalfEven(double(Wi(i)) * double(f()) / double(m_periodBase)));
        const Outcome o = write(i + 0x100, int(v), 2);
        if (o != Outcome::Next)
            return o == Outcome::Sent;
    }
    if (ValueDepStep == 3)
        ValueDepStep = 4;
    // The two values at 0x9B/0x9C are not rescaled in place: they are derived from the
    // reference (F x 4 / R, not new / old), so they go to the registers at 0x017B/0x017C
    // that the device reads them from. Writing them back to 0x019B/0x019C would scale the
    // source again on every change of 0x0156.
    if (ValueDepStep == 4) {
        ValueDepStep = 5;
        if (r() != 0) {
            const Outcome o = write(0x017B, int(f() * Bi(0x9B) * 4 / r()), 1);
            if (o != Outcome::Next)
                return o == Outcome::Sent;
        }
    }
    if (ValueDepStep == 5) {
        ValueDepStep = 6;
        if (r() != 0) {
            const long long v = RoundHalfEven(double(f()) * double(Wi(0x9C)) * 4.0 / double(r()));
            const Outcome o = write(0x017C, int(v), 2);
            if (o != Outcome::Next)
                return o == Outcome::Sent;
        }
    }
    if (Bi(0x2E) & 0x80)
        m_prompter.warning(GetText(107));
    return false;
}

// ---------------------------------------------------------------------------------------
// Bit step

bool ParameterDependencies::BitDependencies(int answer, const QString &address, int mask)
{
    reset();
    m_kind = Kind::Bit;
    m_answer = answer;
    m_address = int(Text::HexToInt(address));
    m_mask = mask & 0xFF;
    const int type = m_data.State.DeviceType;
    if (type == 34) {
        BitDepStep = 1;
        m_lastRule = 3;
    } else if (type == 37) {
        BitDepStep = 4;
        m_lastRule = 4;
    } else if (IsControllerType(type)) {
        BitDepStep = 5;
        m_lastRule = 20;
    } else {
        return endStep();
    }
    if (runBits())
        return true;
    return endStep();
}

bool ParameterDependencies::runBits()
{
    while (BitDepStep >= 1 && BitDepStep <= m_lastRule) {
        const Outcome o = bitRule(BitDepStep++);
        if (o != Outcome::Next)
            return o == Outcome::Sent;
    }
    return false;
}

ParameterDependencies::Outcome ParameterDependencies::bitRule(int rule)
{
    const int a = m_address;
    const int m = m_mask;
    const bool set = m_answer == 0;
    const bool cleared = m_answer == 1;
    switch (rule) {
    case 1:
        if (set && a == 0x0168)
            return write(0x012F, Bi(0x2F) | m, 1);
        break;
    case 2:
        if (cleared && a == 0x012F)
            return write(0x0168, Bi(0x68) & m, 1);
        break;
    case 3:
        if (a == 0x012E) {
            // The two reference selections exclude each other; bit 7 marks a frequency
            // standard whose values depend on the choice, in every case only when it is set.
            const int b = Bi(0x2E);
            const bool standard = b & 0x80;
            if (m == 0x01 || m == 0x02) {
                if (standard)
                    m_prompter.warning(GetText(107));
                return write(0x012E, b & (m == 0x01 ? ~0x02 : ~0x01), 1);
            }
            if ((m == 0xFD || m == 0xFE) && standard)
                m_prompter.warning(GetText(107));
        } else if (a == 0x015D) {
            return write(0x015D, Bi(0x5D) & (Bi(0x6F) | 0xFC), 1, true);
        }
        break;
    case 4:
        if (a == 0x013E)
            return write(0x013E, Bi(0x7E) & Bi(0x3E), 1, true);
        break;
    case 5:
        if (set && a == 0x09ED)
            return write(0x09CE, B(0x09CE) | m, 1);
        break;
    case 6:
        if (cleared && a == 0x09CE)
            return write(0x09ED, B(0x09ED) & m, 1);
        break;
    case 7:
        if (set && a == 0x09EC)
            return write(0x09CF, B(0x09CF) | m, 1);
        break;
    case 8:
        if (cleared && a == 0x09CF)
            return write(0x09EC, B(0x09EC) & m, 1);
        break;
    case 9:
        if (set && a == 0x0870 && m == 0x20)
            return write(0x09EB, B(0x09EB) | 0x10, 1);
        break;
    case 10:
        if (cleared && a == 0x09EB && m == 0xEF)
            return write(0x0870, B(0x0870) & 0xDF, 1);
        break;
    case 11:
        if (set && a == 0x09B3 && m == 0x04)
            return write(0x09B3, B(0x09B3) & 0xF7, 1);
        break;
    case 12:
        if (set && a == 0x09B3 && m == 0x08)
            return write(0x09B3, B(0x09B3) & 0xFB, 1);
        break;
    case 13:
        if (set && a == 0x0C78 && m == 0x02)
            return write(0x0C78, B(0x0C78) & 0xFB, 1);
        break;
    case 14:
        if (set && a == 0x0C78 && m == 0x04)
            return write(0x0C78, B(0x0C78) & 0xFD, 1);
        break;
    case 15:
        if (set && a == 0x09B3 && m == 0x10)
            return write(0x09B3, B(0x09B3) | 0x02, 1);
        break;
    case 16:
        if (cleared && a == 0x09B3 && m == 0xFD)
            return write(0x09B3, B(0x09B3) & 0xEF, 1);
        break;
    case 17:
        if (cleared && a == 0x0C83 && m == 0xFD && (B(0x0C83) & 0xFE))
            return write(0x0C83, B(0x0C83) | 0x01, 1);
        break;
    case 18:
        if (cleared && a == 0x0C83 && m == 0xFE && (B(0x0C83) & 0xFD))
            return write(0x0C83, B(0x0C83) | 0x02, 1);
        break;
    case 19:
        if (a == 0x0E15 && (B(0x0E15) & 0x0F) == 0) {
            // The device clears these itself; the image only follows it.
            if (m_data.Geraet.ProgramVersion > 26) {
                putWord(0x0E4C, 0);
                putWord(0x0E4E, 0);
            } else {
                putWord(0x0E40, 0);
            }
        }
        if (set && a == 0x0871) {
            int keep = 0;
            switch (m) {
            case 0x08: keep = 0xCF; break;
            case 0x10: keep = 0xD7; break;
            case 0x20: keep = 0xE7; break;
            default: return Outcome::Next;
            }
            return write(0x0871, B(0x0871) & keep, 1);
        }
        break;
    case 20:
        if (set && a == 0x0C78 && m == 0x20 && !(B(0x0871) & 0x02))
            m_prompter.warning(GetText(288));
        break;
    default:
        break;
    }
    return Outcome::Next;
}

// ---------------------------------------------------------------------------------------
// Chain

bool ParameterDependencies::Acknowledged()
{
    if (!Running())
        return false;
    m_waiting = false;
    bool sent = false;
    if (m_kind == Kind::Value)
        // A single rule has nothing after its write; only the recalculation goes on.
        sent = ValueDepStep != 0 && runRecalculation();
    else
        sent = runBits();
    if (sent)
        return true;
    endStep();
    if (Finished)
        Finished();
    return false;
}

void ParameterDependencies::Abort()
{
    reset();
    PendingAction.clear();
}
