#pragma once
#include "params/NumberFormat.h"
#include <QString>
#include <QtGlobal>

struct DeviceData;
class Prompter;

// Turns the raw value of a parameter or actual value into its display text by the value's
// type code. One instance lives beside the device data (the main window, the command-line
// program); the grid, the actual-value pages and printing share it, so that the results
// and the reference values stay where the editor expects them.
class TFormatter
{
public:
    static constexpr int MinWidth = 7;

    // prompter receives the conversion error (the readers' ConversionErrorText) of a value
    // or key that is not a number;
    // without one the error is silent (the value simply gets no new text).
    explicit TFormatter(DeviceData &data, Prompter *prompter = nullptr);

    void SetPrompter(Prompter *prompter) { m_prompter = prompter; }

    // The display text. Callers put seven blanks here before each call: a code that
    // produces nothing leaves what was there.
    QString FormattedValue = QString(MinWidth, QLatin1Char(' '));
    // Set by the yes/no codes (16..23, 48..55, 29): "0" for " Ja", "1" for "Nein".
    QString YesNoIndex;

    // Bytes 34 and 38 of the main window's telegram record (answer data bytes 12 and 16
    // of the last actual-value exchange): the selector of the period source of codes
    // 241 and 242. The actual-value page copies them after each exchange.
    quint8 TelegramByte34 = 0;
    quint8 TelegramByte38 = 0;
    // Name of the actual-value page on show ("IstAna" switches actual values 16 and 17
    // of the SPL/ERSY and PA devices to the power display).
    QString ValuePage;

    // index >= 0: parameter index in DeviceData::Params; index < 0: actual value -index
    // in DeviceData::Values. valueText: raw value as hexadecimal digits (empty: read the
    // image at addressText). Returns whether a text was produced (FormattedValue set).
    bool FormatValue(int index, int typeCode, const QString &valueText = QString(),
                     const QString &addressText = QString());

    // Actual value `row` of DeviceData::Values (row 0 included) with its raw value text;
    // its own Format is the key. Same result as FormatValue.
    bool FormatActualValue(int row, int typeCode, const QString &valueText);

    // The value column of parameter `index` as the grid and printing show it: seven
    // blanks, then the parameter's own code and address (48..55 as 16..23, 33 with its
    // key as mask, 222 as relay function). Codes the grid does not format keep the
    // blanks. Returns FormattedValue.
    QString FormatParameter(int index);

private:
    enum class Source { Parameter, ActualValue };
    bool format(Source source, int item, int typeCode, const QString &valueText, const QString &addressText,
                int depth);
    void conversionError(const QString &text);

    DeviceData &m_data;
    Prompter *m_prompter;
};
