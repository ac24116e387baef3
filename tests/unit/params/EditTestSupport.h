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
    void Dependency(const QString &address, int value) override { Dependencies.emplace_back(address, value); }
    void BitDependency(int answer, const QString &address, int mask) override
    {
        BitDependencies.emplace_back(answer, address, mask);
    }
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
    bool WriteValue(int sendIndex, int raw, int byteCount) override
    {
        Writes.push_back({sendIndex, raw, byteCount});
        return Accept;
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
