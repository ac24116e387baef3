#include "params/EditRequests.h"
#include "params/NumberFormat.h"
#include <algorithm>
#include <cmath>

using NumberFormat::RoundHalfEven;

double NumberRequest::Scale() const { return std::pow(10.0, Decimals); }
long long NumberRequest::PositionOf(double value) const { return RoundHalfEven(value * Scale()); }
long long NumberRequest::MinPosition() const { return std::min(PositionOf(Minimum), PositionOf(Maximum)); }
long long NumberRequest::MaxPosition() const { return std::max(PositionOf(Minimum), PositionOf(Maximum)); }
float NumberRequest::ValueOf(long long position) const { return float(double(position) / Scale()); }
float NumberRequest::Clamp(double typed) const
{
    return ValueOf(std::clamp(PositionOf(typed), MinPosition(), MaxPosition()));
}
bool NumberRequest::InRange(double typed) const
{
    const long long p = PositionOf(typed);
    return p >= MinPosition() && p <= MaxPosition();
}

int YesNoRequest::Preselected() const
{
    QString yes = YesText;
    if (yes.size() < CurrentText.size())
        yes = QString(CurrentText.size() - yes.size(), QLatin1Char(' ')) + yes;
    return yes == CurrentText ? 0 : 1;
}


// Dialogs an implementation does not offer answer as if cancelled.
bool EditDialogs::AskChoice8(const Choice8Request &, int &) { return false; }
bool EditDialogs::AskChoice16(const Choice16Request &, int &) { return false; }
bool EditDialogs::AskRadioChoice(const RadioChoiceRequest &, int &) { return false; }
bool EditDialogs::AskBitWord(const BitWordRequest &, int &) { return false; }
bool EditDialogs::AskLabelText(const LabelTextRequest &, QString &) { return false; }
bool EditDialogs::AskFaultCoding(const FaultCodingRequest &, FaultFlags &) { return false; }
bool EditDialogs::AskRelay(const RelayRequest &, RelayAnswer &) { return false; }
