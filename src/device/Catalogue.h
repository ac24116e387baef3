#pragma once
#include <QString>
#include <QStringList>
#include <QtGlobal>

struct DeviceData;
class Prompter;

// The device type catalogue: which model the data belong to, which definition file
// describes them, and what the identification block of a device says.

// The 34 model extensions, dot included, in table order (entry 13 ".aaa" is lower case).
const QStringList &ExtensionTable();
// Extension of a file name or pattern from its last "." (empty when there is none, or
// when the "." belongs to a folder name).
QString PatternExtension(const QString &pattern);

// Families of device types; types outside 0..55 are in none of them.
bool IsControllerType(int type);      // 0..31, 52..54
bool IsCompactType(int type);         // 32, 33 (ZEV 091/092)
bool IsSplErsyType(int type);         // 5, 6, 23, 24
bool IsPaType(int type);              // 8, 9, 10, 25, 26, 27
bool IsTransferSwitchType(int type);  // 52, 53, 54 (L-ORN)
bool InSetA(int type);
bool InSetB(int type);
bool InSetC(int type);
bool InSetD(int type);
bool InSetE(int type);
bool InSetF(int type);

// DeviceType from ModelPattern (case-sensitive, callers upper-case it) and ProgramId.
// An unknown extension gives the message "Der Gerätetyp ist im Mirelo nicht vorhanden!"
// and leaves DeviceType as it was.
void TypeFromPattern(DeviceData &d, Prompter &prompter);

// A year byte of the identification block: 1900 + y, or 2000 + y when that is before 1980.
int YearFromByte(int y);

// Dates are shown in the PC's short date format. A non-empty format replaces it
// (QDate::toString syntax), for tests and the command line; empty restores the PC's.
void SetDateFormat(const QString &format);
QString DateFormat();
// Day, month and year byte as a date text; false when no such date exists.
bool FormatDeviceDate(int day, int month, int yearByte, QString *out);

// Access code used where the device has none of its own (VMX, ZNAE) and as the
// controllers' starting value.
QString DefaultAccessCode();

struct IdentifyResult
{
    enum Kind { Identified, NeedsSecondRequest, Failed };
    Kind kind = Failed;
    int address = 0; // NeedsSecondRequest: device address to read
    int count = 0;   // NeedsSecondRequest: number of bytes
};

// Step 1 decodes IdentBlock; step 2 the answer of the second request that step 1 asked
// for (answer may be shorter than expected: missing bytes read as 0). fromFile: the block
// and image come from a parameter file. On Identified, DeviceData::Identified is set; the
// caller continues with its own continuation. Failed: a message has been shown.
IdentifyResult IdentifyDevice(DeviceData &d, int step, const quint8 *answer, int answerLength, bool fromFile,
                              Prompter &prompter);

// Version suffix of the definition name ("_v12", ...). Every type and version has one
// (possibly empty), so every device looks for a definition of its own.
QString VersionSuffix(int deviceType, int version);

// Upper-cases ModelPattern, sets DeviceType, prepares types 34 and 36 and opens the
// model's definition. Returns whether the definition is loaded.
bool SelectDefinition(DeviceData &d, Prompter &prompter);

// Builds the definition path for DeviceType and ProgramVersion, opens it and applies the
// type settings to Def and State. Returns Def.DefinitionLoaded.
bool OpenModelDefinition(DeviceData &d, Prompter &prompter);
// The access code and the two voltage factors of a controller, taken again from the image
// once the definition has set its base: identification runs before that and reads them at
// the base of whatever set was shown before.
void TakeControllerSettings(DeviceData &d);

// Applies the type settings of the open definition (TypLines) to Def and State and marks
// the definition as loaded. False when TypLines cannot be decoded.
bool ApplyTypeSettings(DeviceData &d);
