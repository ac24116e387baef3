#pragma once
#include <QString>
#include <QStringList>

// A translatable text table (the Consts of a TConstList component).
struct TConstList
{
    QStringList Consts;
};

namespace Texts {
// Entries from 400 on are this program's own messages, beyond the original table.
constexpr int StringCount = 1000;
// GetText swaps two texts for device type 31; the main window keeps this current.
void SetDeviceTypeForTexts(int deviceType);
} // namespace Texts

// The main window's tables. Messages (700), link failure texts (17), alarm texts (88).
TConstList &CL_Strings();
TConstList &CL_Tele();
TConstList &CL_ZLT();

// Replaces entry i of CL_ZLT, or appends the text when i is not below the entry count.
// A negative i changes nothing.
void SetZltText(int i, const QString &text);

// Puts the placeholders back into the free alarm numbers (1..19, 49..64) and drops texts
// appended beyond the table, so that one device's own alarm texts never label another's.
void ResetFreeAlarmTexts();

// Entry n of CL_Strings with "#13" turned into a carriage return.
QString GetText(int n);
// Entry of CL_Tele (see StateToTextIndex).
QString TeleText(int index);
