#pragma once
#include <QString>
#include <QVector>

class Prompter;
struct DeviceData;

// One line of the calibration table of a definition: a calibration point of one converter
// item. Items come in pairs, the first point at an even index, the second after it.
struct SetPointItem
{
    QString Prompt;
    QString Source;        // f0 as written (upper case, no blanks): some items are known by it
    int RawAddress = 0;    // f0: device address of the raw converter value(s)
    int Kind = 0;          // f1
    int WriteAddress = 0;  // f2: where the calibration words go
    int FirstNominal = 0;  // f3: address of the nominal value shown for a first point
    int SecondNominal = 0; // f4: address of the nominal value shown for a second point
    int Min = 0;           // f5
    int Max = 0;           // f6
    int MinDiff = 0;       // f7
};

namespace SetPointTable {
constexpr int MaxItems = 17;
// The kinds each family of controllers knows.
bool KindKnown(int kind, bool nineX);
// Reads the table of the loaded definition and checks every line before anything is
// measured: at most MaxItems lines, every ";" field present, addresses hexadecimal and the
// other fields whole numbers, a known kind. On any fault the user is told which line and
// field (after the reader's own "Error 04"/"Error 5 SPWEnd:" where those apply), nothing
// is returned and the result is false.
bool Read(DeviceData &d, bool nineX, QVector<SetPointItem> *items, Prompter &prompter);
// One table line's fields f0..f7 (as the definition reader splits them) into an item; on a
// fault the number of the bad field (0..7) and false.
bool ParseFields(const QStringList &fields, bool nineX, SetPointItem *item, int *badField);
} // namespace SetPointTable
