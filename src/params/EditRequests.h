#pragma once
#include <QString>
#include <QStringList>
#include <array>

// What the editors ask their dialogs, and the dialogs' own arithmetic. The arithmetic lives
// here, without widgets, so that the GUI dialogs, the command-line answers and the tests all
// compute the same results.

// Numeric value: the value travels as a slider position (value × 10^decimals, rounded)
// clamped to the limits' positions.
struct NumberRequest
{
    QString Caption;
    QString Hint;
    int Decimals = 0;  // signed: -1 moves in steps of 10
    bool Hex = false;  // codes 1 and 8: shown and typed as hexadecimal
    float Start = 0;
    float Minimum = 0;
    float Maximum = 0;

    double Scale() const;
    long long PositionOf(double value) const;
    long long MinPosition() const;
    long long MaxPosition() const;
    float ValueOf(long long position) const;
    // The value OK would hand back for a typed value: on the dialog's grid, clamped.
    float Clamp(double typed) const;
    // Whether the typed value lies within the limits (on the dialog's grid).
    bool InRange(double typed) const;
};

struct YesNoRequest
{
    QString YesText;
    QString NoText;
    QString CurrentText;
    QString Caption;
    QString Hint;
    // The item the dialog preselects: 0 when the yes text, left-filled with blanks to the
    // length of the current text, equals it; else 1.
    int Preselected() const;
};

// Choice of 8 (TWerteAendernAuswahl). Control i belongs to option i: 0-3 Rb_1..Rb_4,
// 4-5 Rb_5, Rb_6, 6 Cb_1, 7 Cb_2. A control "mask" below has bit i for control i.
struct Choice8Request
{
    std::array<QString, 20> Options;
    int Current = 0; // the current byte
    QString Caption;

    // Controls checked on show: non-empty options whose bit is set in the current byte.
    int CheckedOnShow() const;
    // Controls whose group box is visible (non-empty options).
    int VisibleControls() const;
    // The byte OK hands back for the checked controls.
    static int Result(int checkedMask);
};

// Choice of 16 and flags (TWerteAendernAuswahl16).
struct Choice16Request
{
    std::array<QString, 20> Options;
    // Value of option button k (1..16): the Min text of the parameter entry
    // StartIndex + k - 1, read as hexadecimal; -1 when it cannot be read.
    std::array<int, 16> OptionCodes{};
    int StartIndex = 0;
    int Current = 0;
    int ProgramVersion = 0;
    QString Caption;

    struct Checks
    {
        int Radio = -1; // 0..15 for Rb_1..Rb_16, -1 none
        bool Cb17 = false, Cb18 = false, Cb1 = false, Cb2 = false;
    };
    Checks OnShow() const;
    // Cb_2 disables the other controls on program versions below 30.
    bool Cb2Exclusive() const { return ProgramVersion < 30; }
    int Result(const Checks &checks) const;
};

// Choice of 18 (TWerteAendern_PerRadioButton).
struct RadioChoiceRequest
{
    std::array<QString, 20> Options;
    std::array<int, 18> OptionCodes{}; // as Choice16Request, for Rb_1..Rb_18
    int StartIndex = 0;
    int OptionCount = 18;
    QString Caption;

    // Button k (0-based) is shown: its option is not empty and not "reserviert".
    bool Visible(int k) const;
    // -1: nothing checked.
    int Result(int checked) const;
};

// Bit word (TWerteAendernAuswahl16Check): CheckBox k (1..15) is bit k; bit 0 is never set.
struct BitWordRequest
{
    std::array<QString, 20> Options; // option k-1 is the caption of CheckBox k
    int Current = 0;
    QString Caption;

    // Bit k set for CheckBox k checked on show.
    int CheckedOnShow() const;
    static int Result(int checkedMask);
};

// Label text (TWerteAendernFText): the current text is prefix "|" line 1 "|" line 2 "|".
struct LabelTextRequest
{
    QString CurrentText;
    int RecordLength = 32;

    QString Prefix() const;
    QString Line1() const; // at most RecordLength - 16 characters
    QString Line2() const; // at most 16 characters
    int Line1MaxLength() const;
    static constexpr int Line2MaxLength = 16;
    // The record OK hands back.
    QString Record(const QString &line1, const QString &line2) const;
};

// Fault coding (TWerteAendernFehler). Flags: 0 = first choice, 1 = second.
struct FaultFlags
{
    int VU = 0;
    int I0 = 0;
    int AR = 0;
    int SW = 0;
};

struct FaultCodingRequest
{
    QString Letters; // the formatted current coding, letters as GetText(24..31)
    QString Caption;
    QString Legend;
    int DeviceType = 0;
    QString DefinitionFile;
    bool Reduced = false; // transfer-switch controller below access level "Mas"

    QString ShownLegend() const;
    // Items of ComboBox1..4 (box 0..3), two each.
    QStringList Items(int box) const;
    // Preselection from the letters; ComboBox1 (A/R) is shown only when the letters hold
    // "A" or "R".
    FaultFlags OnShow() const;
    bool ArVisible() const;
};

// Relay or flag function (TWerteAendernRelais).
struct RelayRequest
{
    QStringList Entries; // the function table's texts; the last one is the free entry
    QString Caption;
    QString CurrentText;
    int TableSize = 300;

    QString Title() const; // Label1: caption + " " + current text
};

struct RelayAnswer
{
    int Index = -1;       // chosen entry
    bool FreeEntry = false;
    QString FreeText;     // upper case
};

// The dialogs the editors open. The GUI answers with the value dialogs, tests and the
// command-line program with their own answers. Every Ask returns false for a cancelled
// dialog; the defaults answer so for dialogs an implementation does not offer.
class EditDialogs
{
public:
    virtual ~EditDialogs() = default;
    // value: what the dialog returns on OK (already within the limits).
    virtual bool AskNumber(const NumberRequest &request, float &value) = 0;
    // index: 0 for the yes text, 1 for the no text.
    virtual bool AskYesNo(const YesNoRequest &request, int &index) = 0;
    virtual bool AskChoice8(const Choice8Request &request, int &result);
    virtual bool AskChoice16(const Choice16Request &request, int &result);
    virtual bool AskRadioChoice(const RadioChoiceRequest &request, int &result);
    virtual bool AskBitWord(const BitWordRequest &request, int &result);
    // record: the new record (RecordLength-independent, 32 characters or more).
    virtual bool AskLabelText(const LabelTextRequest &request, QString &record);
    virtual bool AskFaultCoding(const FaultCodingRequest &request, FaultFlags &flags);
    virtual bool AskRelay(const RelayRequest &request, RelayAnswer &answer);
};
