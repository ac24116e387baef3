#pragma once
#include <QString>
#include <QStringList>
#include "params/EditRequests.h"
#include "shell/Prompter.h"
#include <array>
#include <vector>

struct AccessState;
namespace ValueRules {
struct Context;
}
struct DeviceData;
class TFormatter;

// The state of the one edit in progress. An online edit is finished from the report
// handler of the write, not from the code that started it, so everything it needs lives here.
struct TEditState
{
    bool EditRequested = false;
    int EditStage = 0;
    int EditIndex = 0;
    int EditType = 0;
    QString EditCaption;
    QString EditHint;
    float EditMin = 0;
    float EditMax = 0;
    float EditValue = 0;
    bool EditAccepted = true;
    QString YesNoIndex;
    std::array<QString, 20> ChoiceTexts;
    int SendIndex = 0;
    int SendHigh = 0;
    int SendLow = 0;
    QString FollowAddress;
    int FollowValue = 0;
};

// The single-value write to a connected device. The implementation sends the bytes and
// reads the address back; on success it stores what the device answered in the image and
// calls EditDispatcher::Continue(). sendIndex is the image index; byteCount 1 or 2; a word
// goes high byte first. An edit of several telegrams sends the next one from Continue();
// after a failed write Continue() is never called, so the acknowledged part stays and the
// rest is not sent.
class ValueWriter
{
public:
    virtual ~ValueWriter() = default;
    virtual bool WriteValue(int sendIndex, int raw, int byteCount) = 0;
};

// The main window's side of an edit: state it owns and steps that belong to other parts.
class EditHost
{
public:
    virtual ~EditHost() = default;
    virtual bool OfflineFile() const { return true; }
    virtual bool Online() const { return false; }
    virtual bool ModemOnline() const { return false; }
    virtual void SetPendingAction(const QString &action) { Q_UNUSED(action); }
    // Shows the access-code dialog in "Ident" mode (the access state is updated by it).
    virtual void AskIdent() {}
    // Dependency step after a value change (address text as in the definition line).
    // True: the step has started a telegram and ends the edit itself later (the host then
    // calls EditDispatcher::EndEdit()); false: it ran to its end, the dispatcher ends the edit.
    virtual bool Dependency(const QString &address, int value)
    {
        Q_UNUSED(address);
        Q_UNUSED(value);
        return false;
    }
    // Bit dependency step of the yes/no and choice editors: answer 0/1, address, mask.
    // Returns as Dependency.
    virtual bool BitDependency(int answer, const QString &address, int mask)
    {
        Q_UNUSED(answer);
        Q_UNUSED(address);
        Q_UNUSED(mask);
        return false;
    }
    // A relay or flag function (code 222) has changed: the actual-value relay page, when it
    // is on show, is to be rebuilt.
    virtual void RelayPageChanged() {}
    virtual void RefreshGrid() {}
    virtual void UpdateMenus() {}
    virtual void ResumeValues() {}
};

enum class EditResult {
    Written,      // offline: the image holds the new value
    Sent,         // online: a write is under way; Continue() finishes the edit
    Finished,     // online continuation: the edit has ended
    Cancelled,    // dialog cancelled
    Rejected,     // value or limits refused (with or without a message)
    Refused,      // access or link refused the edit
    NoEditor,     // the code has no editor (here: for this device); the edit ended at once
};

// The edit dispatcher: one editor per type code, offline straight into the image, online
// through the ValueWriter. Core only; dialogs and messages through the interfaces.
class EditDispatcher
{
public:
    EditDispatcher(DeviceData &data, TFormatter &formatter, AccessState &access, Prompter &prompter,
                   EditDialogs &dialogs, EditHost &host, ValueWriter *writer = nullptr);

    TEditState State;
    QString PendingAction; // "Werteingeben" while an edit runs

    void SetWriter(ValueWriter *writer) { m_writer = writer; }

    // Parameter index of grid row `row`: the group's heading index (0 when the selector
    // has fewer than two items) + row + 1.
    static int ParameterIndex(int headingIndex, int selectorCount, int row);

    // The grid's double click / Enter on the parameter at `index`.
    EditResult StartEdit(int index);
    // The dispatcher proper; with EditStage >= 1 it continues the running edit.
    EditResult EditParameter(int typeCode, int index);
    // After the acknowledgement of a write: EditParameter(EditType, EditIndex).
    EditResult Continue();
    void EndEdit();

    // A number text with "." or "," as decimal separator. On failure: GetText(128) as an
    // error, EditAccepted false, result 0.
    float ParseNumber(const QString &text);

    // Code families.
    static bool IsNumericCode(int code);
    static bool IsYesNoCode(int code);
    // Choices, bit words, label texts, fault codings and relay functions.
    static bool IsChoiceCode(int code);

    // The last message shown by a rejection (empty for a silent one).
    QString LastMessage;

private:
    struct Plan;
    enum class Outcome { Ok, Silent, Message, Reopen };
    enum class Follow { None, Value, Bit, RelayPage };
    struct Write
    {
        long long Index; // image index
        int Raw;
        int Width; // 1 or 2
    };

    EditResult numeric(int code, int index);
    EditResult yesNo(int code, int index);
    EditResult continueEdit(int code, int index);
    EditResult finishWrite(int code, int index, long long imageIndex, int raw, int width, const Plan &plan);
    // Writes of one edit: offline all into the image, online one telegram per stage. The
    // follow-up runs after the last one.
    EditResult finishWrites(int code, int index, const std::vector<Write> &writes, Follow follow,
                            const QString &followAddress = QString(), int followAnswer = 0, int followValue = 0);
    EditResult sendNext();
    bool runFollowUp();
    EditResult choice26(int index);
    EditResult bitWord29(int index);
    EditResult labelText(int code, int index);
    EditResult faultCoding33(int index);
    EditResult faultMasks(int code, int index);
    EditResult relay222(int index);
    bool beginChoice(int index, Plan &plan);
    EditResult cancelled();
    QString entryText(int i) const;
    int entryCode(int i) const;
    bool prepare(int code, int index, Plan &plan);
    Outcome rawValue(int code, int index, float v, Plan &plan, int &raw);
    ValueRules::Context ruleContext(const Plan &plan, int width = 2) const;
    void restoreTexts(int index, const Plan &plan);
    EditResult reject(const QString &message, bool asInformation = false);
    EditResult rejectSilently();
    bool numberWithSeparator(const QString &text, float &value);
    QString standardHint(int index) const;
    QString levelText() const;
    bool hasLevel(const QString &level) const;
    int W(long long address) const;
    int B(long long address) const;
    int Wi(long long index) const;
    int Bi(long long index) const;

    DeviceData &m_data;
    TFormatter &m_formatter;
    AccessState &m_access;
    Prompter &m_prompter;
    EditDialogs &m_dialogs;
    EditHost &m_host;
    ValueWriter *m_writer;
    bool m_refused = false;
    // The running edit's telegrams (online) and what follows the last one.
    std::vector<Write> m_chain;
    Follow m_follow = Follow::None;
    int m_followAnswer = 0;
};

// Number parsing of ParseNumber without messages: "." or "," as separator, blanks around
// allowed; ok false for anything else (also for infinities and not-a-number).
double ParseEditNumber(const QString &text, bool *ok);
// Shortest text that reads back as the same single-precision value, with the PC's separator.
QString ShortFloat(float value);
