#pragma once
#include "FormatFixture.h"
#include "params/EditDispatcher.h"
#include "services/AccessLevels.h"
#include "support/ScriptedPrompter.h"
#include <deque>
#include <utility>
#include <vector>

namespace edit_test {

// Answers like the real numeric dialog: the typed value lands on the dialog's grid and is
// clamped to its limits. Every request is kept for the checks.
class ScriptedDialogs : public EditDialogs
{
public:
    std::deque<double> Numbers; // typed values; cancel when exhausted
    std::deque<int> YesNo;      // 0 = " Ja", 1 = "Nein"; cancel when exhausted
    std::vector<NumberRequest> Requests;
    std::vector<YesNoRequest> YesNoRequests;
    // The other dialogs return the chosen result (cancel when exhausted); every request is
    // kept, so that a test can see which dialog an editor chose and what it was given.
    std::deque<int> Choices;       // choice of 8, of 16, of 18 and the bit word
    std::deque<QString> Records;   // label texts
    std::deque<FaultFlags> Faults; // fault codings
    std::deque<RelayAnswer> Relays;
    std::vector<Choice8Request> Choice8Requests;
    std::vector<Choice16Request> Choice16Requests;
    std::vector<RadioChoiceRequest> RadioRequests;
    std::vector<BitWordRequest> BitWordRequests;
    std::vector<LabelTextRequest> LabelRequests;
    std::vector<FaultCodingRequest> FaultRequests;
    std::vector<RelayRequest> RelayRequests;

    template <typename T, typename R> static bool Answer(std::deque<T> &script, R &out)
    {
        if (script.empty())
            return false;
        out = script.front();
        script.pop_front();
        return true;
    }
    bool AskChoice8(const Choice8Request &r, int &result) override
    {
        Choice8Requests.push_back(r);
        return Answer(Choices, result);
    }
    bool AskChoice16(const Choice16Request &r, int &result) override
    {
        Choice16Requests.push_back(r);
        return Answer(Choices, result);
    }
    bool AskRadioChoice(const RadioChoiceRequest &r, int &result) override
    {
        RadioRequests.push_back(r);
        return Answer(Choices, result);
    }
    bool AskBitWord(const BitWordRequest &r, int &result) override
    {
        BitWordRequests.push_back(r);
        return Answer(Choices, result);
    }
    bool AskLabelText(const LabelTextRequest &r, QString &record) override
    {
        LabelRequests.push_back(r);
        return Answer(Records, record);
    }
    bool AskFaultCoding(const FaultCodingRequest &r, FaultFlags &flags) override
    {
        FaultRequests.push_back(r);
        return Answer(Faults, flags);
    }
    bool AskRelay(const RelayRequest &r, RelayAnswer &answer) override
    {
        RelayRequests.push_back(r);
        return Answer(Relays, answer);
    }
    // Dialogs of any kind shown so far.
    size_t Shown() const
    {
        return Requests.size() + YesNoRequests.size() + Choice8Requests.size() + Choice16Requests.size() +
               RadioRequests.size() + BitWordRequests.size() + LabelRequests.size() + FaultRequests.size() +
               RelayRequests.size();
    }

    bool AskNumber(const NumberRequest &r, float &value) override
    {
        Requests.push_back(r);
        if (Numbers.empty())
            return false;
        value = r.Clamp(Numbers.front());
        Numbers.pop_front();
        return true;
    }
    bool AskYesNo(const YesNoRequest &r, int &index) override
    {
        YesNoRequests.push_back(r);
        if (YesNo.empty())
            return false;
        index = YesNo.front();
        YesNo.pop_front();
        return true;
    }
};

class RecordingHost : public EditHost
{
public:
    bool Offline = true;
    bool IsOnline = false;
    bool Modem = false;
    int IdentAsked = 0;
    QString IdentLevel; // what the access dialog sets (empty: nothing)
    AccessState *Access = nullptr;
    std::vector<std::pair<QString, int>> Dependencies;
    std::vector<std::tuple<int, QString, int>> BitDependencies;
    QStringList PendingActions;
    int Refreshes = 0;
    int Resumes = 0;
    int RelayPageChanges = 0;
    bool StepsTakeOver = false; // the dependency steps answer "started a telegram"

    bool OfflineFile() const override { return Offline; }
    bool Online() const override { return IsOnline; }
    bool ModemOnline() const override { return Modem; }
    void SetPendingAction(const QString &a) override { PendingActions << a; }
    void AskIdent() override
    {
        ++IdentAsked;
        if (Access && !IdentLevel.isEmpty())
            Access->Level = IdentLevel;
    }
    bool Dependency(const QString &address, int value) override
    {
        Dependencies.emplace_back(address, value);
        return StepsTakeOver;
    }
    bool BitDependency(int answer, const QString &address, int mask) override
    {
        BitDependencies.emplace_back(answer, address, mask);
        return StepsTakeOver;
    }
    void RelayPageChanged() override { ++RelayPageChanges; }
    void RefreshGrid() override { ++Refreshes; }
    void ResumeValues() override { ++Resumes; }
};

class RecordingWriter : public ValueWriter
{
public:
    struct Write
    {
        int index, raw, count;
    };
    std::vector<Write> Writes;
    bool Accept = true;
    int FailAt = -1;              // the write with this number (0-based) fails
    TGeraet *ReadBack = nullptr;  // stores accepted writes as the acknowledgement does
    bool WriteValue(int sendIndex, int raw, int byteCount) override
    {
        Writes.push_back({sendIndex, raw, byteCount});
        const bool ok = Accept && int(Writes.size()) - 1 != FailAt;
        if (ok && ReadBack) {
            if (byteCount == 1)
                ReadBack->SetByte(sendIndex, raw);
            else
                ReadBack->SetWord(sendIndex, raw);
        }
        return ok;
    }
};

// A device (image base 0x0800) with a parameter list and the editor over it.
struct Bench
{
    fmt_test::Device dev;
    ScriptedPrompter prompter;
    ScriptedDialogs dialogs;
    RecordingHost host;
    RecordingWriter writer;
    AccessState access;
    EditDispatcher editor;

    explicit Bench(int type = 0, int version = 0, int imageBase = 0x0800)
        : dev(type, imageBase, version), editor(*dev.d, *dev.f, access, prompter, dialogs, host, &writer)
    {
        host.Access = &access;
        SetDecimalSeparator(QLatin1Char(','));
    }
    DeviceData &d() { return *dev.d; }
    int Add(int code, const QString &min, const QString &max, const QString &address = QStringLiteral("0A00"))
    {
        return dev.Add(code, min, max, address, QStringLiteral("P01-Wert"));
    }
    int Base() const { return dev.d->State.ImageBase; }
    int Byte(int address) const { return dev.d->Geraet.GetByte(address - Base()); }
    int Word(int address) const { return dev.d->Geraet.GetWord(address - Base()); }
    void SetByte(int address, int v) { dev.d->Geraet.SetByte(address - Base(), v); }
    void SetWord(int address, int v) { dev.d->Geraet.SetWord(address - Base(), v); }
    EditResult Continue() { return editor.Continue(); }
    const NumberRequest &Last() const { return dialogs.Requests.back(); }
    EditResult Edit(int index, std::initializer_list<double> typed)
    {
        dialogs.Numbers.assign(typed.begin(), typed.end());
        return editor.StartEdit(index);
    }
};

// A parameter of the given code and limits in the bench, with its unit.
inline int Param(Bench &b, int code, const char *min, const char *max, const char *address = "0A00",
                 const char *unit = "")
{
    const int i = b.Add(code, QString::fromUtf8(min), QString::fromUtf8(max), QString::fromUtf8(address));
    b.d().Params.Item(i).Unit = QString::fromUtf8(unit);
    return i;
}

inline std::string Messages(const Bench &b) { return b.prompter.All().join(QLatin1Char('|')).toStdString(); }

} // namespace edit_test
