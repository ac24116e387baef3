#pragma once
#include "device/Geraet.h"
#include <QString>
#include <QStringList>

struct DeviceData;
class Prompter;

// Parameter files: a plain dump of the device image followed by the 48 identification
// bytes (the ZEV 071 - 083 keep a fixed 272-byte layout), the extension naming the model.
// And the conversion of loaded data to a newer firmware by "ZPA\101upgrate.ini".

namespace ParamFile {
constexpr int IdentLength = 48;
// A file longer than the image and its identification cannot come from any device.
constexpr int MaxFileLength = TGeraet::ImageSize + IdentLength;
// ZEV 071 - 083: image indexes 0..271, identification bytes 16..30 at 256..270.
constexpr int StwFileLength = 272;
} // namespace ParamFile

// Where the identification block of a loaded file lies: its length with the low byte cleared.
int IdentPosition(int fileLength);

// The name a parameter file is written under: the model extension (the pattern's, e.g.
// ".202" of "*.202") is removed from the file name where it first occurs (letter case
// counts) and appended at the end, so "abc" and "abc.202" both give "abc.202". Only the
// file name is touched: a folder that happens to contain the extension stays as it is.
QString ForceModelExtension(const QString &chosenPath, const QString &modelPattern);

// Filter of the save dialog: the pattern twice, joined by "|".
QString SaveDialogFilter(const QString &modelPattern);

// Number of bytes a save writes for the current data: 272 for the ZEV 071 - 083, else the
// pages and the identification; 0 when the page count does not fit the image.
int SaveLength(const DeviceData &d);

// Copies the identification into the image where the file keeps it (before the save
// dialog, as the data to be written are then complete). False when it does not fit.
bool CopyIdentIntoImage(DeviceData &d);

// Loads a parameter file: model pattern from the path, the bytes into the image, file
// length, name and modification time, identification from the image, the model's
// definition and its parameters. Returns whether the parameters are complete (the caller
// then shows them). A file that cannot be read, is longer than the image, carries no
// identification, has no definition or is shorter than its model's pages and
// identification is refused with a message, and the device data are then exactly as
// before the call. A definition whose parameter section is broken leaves the new data in
// place with the parameters incomplete.
//
// identity, when given, receives what the file says of itself once it has been identified,
// also when the load is refused because the definition looked for is missing or broken:
// the identification and the definition file name looked for. A file refused for its
// length is not described: its identification would be read from the wrong place.
struct FileIdentity;
bool LoadParameterFile(DeviceData &d, const QString &path, Prompter &prompter, FileIdentity *identity = nullptr);

// The identification of a parameter file and the definition it needs.
struct FileIdentity
{
    bool Identified = false; // false: the file was refused before it could be identified
    QString FileName;
    QString DeviceName;      // type line 0 of the definition; empty when it was not opened
    QString ModelPattern;
    int DeviceType = 55;
    QString ProgramId;
    int ProgramVersion = 0;
    QString ProgramDate;
    QString FNumber;
    QString FDate;
    int OrderNumber = 0;
    QString AccessCode;
    QString DefinitionFile;  // the definition looked for
    bool DefinitionLoaded = false;
};
// The identity of the data in d as they are now.
FileIdentity IdentityOf(const DeviceData &d);

// The identification taken from the loaded image, the definition opened and the
// parameters read again (after loading and after a conversion). Returns whether the
// parameters are complete.
bool ReadFileParameters(DeviceData &d, Prompter &prompter);

// Writes the loaded data under chosenPath with the model extension forced. The file is
// replaced atomically: a failed save leaves an existing file as it was. *writtenPath
// receives the name written. False (with a message) when nothing is loaded or writing fails.
bool SaveParameterFile(DeviceData &d, const QString &chosenPath, Prompter &prompter, QString *writtenPath = nullptr);

// Path of the conversion command file in the data folder.
QString ConversionFilePath();

// The data a conversion works on: a copy of the device record and the placement of the
// loaded file, so that a refused command leaves the loaded data untouched.
struct ConversionWork
{
    TGeraet Geraet;
    int ImageBase = 0;
    int PageCount = 0;
    int FileLength = 0;
    bool VersionSeen = false;
    int Version = 0;
    QString Date;
    QStringList EchoTexts;
};

// Runs the commands of the conversion file lines on work: the sections whose number is
// above work.Geraet.ProgramVersion, in file order, then the last "VER" into the version
// fields and the identification bytes. False (with a message naming the line) when a
// command is refused, among others for a number field that is missing or no number; work
// is then half done and must be thrown away.
bool RunConversion(const QStringList &lines, ConversionWork &work, Prompter &prompter);

// Converts the loaded data with the conversion file. Either every command succeeds and
// the converted data can be read with the definition of their new version (identification,
// definition and a complete parameter list), and then the result replaces the loaded data;
// or nothing changes and one message says why. The "ECHO" texts of a conversion that took
// effect are shown in one information message, or, when echoTexts is given, handed to the
// caller instead. Returns whether the conversion took effect.
bool ConvertConfiguration(DeviceData &d, Prompter &prompter, QStringList *echoTexts = nullptr);
