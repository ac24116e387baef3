#pragma once
#include "device/Geraet.h"
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVector>

class Prompter;

struct GroupEntry
{
    QString Name;
    int Start = 0;     // position of the header line in the parameter section
    QString Layout;    // one character ("3": three columns) or empty
};

struct RelayFunction
{
    QString Text;
    QString Key; // four upper-case hex digits
};

// What the current definition file says beyond the parameter list itself.
struct DefinitionTables
{
    QStringList DefinitionLines;   // the whole file after version filtering
    QStringList TypLines;          // the type settings section, positional
    bool DefinitionLoaded = false;
    // The definition named in the readers' messages: DefinitionFile as it was when the
    // definition was last chosen, before the path was rebuilt.
    QString MessageFile;

    // Derived from the type settings.
    int MenuFlags = 0;             // bits 0x01..0x80: the eight page/menu entries
    int OptionFlags = 0;           // bit 1 factory setting, bit 2 calibration
    QString ClockKind;             // empty: no clock
    bool VindelOption = false;

    QVector<GroupEntry> GroupTable;
    int LastGroupIndex = -1;
    int ParameterLineCount = 0;    // positions including the end label
    bool ParametersComplete = false;

    QVector<RelayFunction> RelayFunctionTable;
    bool RelayFunctionsLoaded = false;
    QMap<int, QString> AnalogFunctionTexts;
};

// The device record, its state and the meaning of its memory: everything the device
// data readers, the formatter and the editors share. One instance, owned by the main
// window (or the command-line program).
struct DeviceData
{
    DeviceData()
    {
        Params.Bind(&Geraet, &State);
        Values.Bind(&Geraet, &State);
    }
    DeviceData(const DeviceData &) = delete;
    DeviceData &operator=(const DeviceData &) = delete;

    TGeraet Geraet;
    DeviceState State;
    TParameterListe Params;
    TIstwerteListe Values;
    DefinitionTables Def;

    // Language suffix of the user-interface language for definition file names ("-DE").
    QString LanguageSuffix = QStringLiteral("-DE");
    // Access level text ("Cus", "Fac", "Fer", "Ser", "IDS", "Mas"), empty until the user identifies;
    // the access dialog keeps it equal to MainController::Access.Level.
    QString AccessLevel;

    // Identification results beyond the record.
    bool Identified = false;
    int OrderNumber = 0;
    QString ProtectionText; // ZNAE protection functions ("U F V ")

    // Reference words of the period-coded values (frequency, angle, speed) and the kind of
    // the analog input last looked up. They keep their last value between calls: the
    // formatter and the editor both load them from the image for the types that have a
    // source and otherwise compute with what an earlier value left.
    int PeriodBase = 0;
    int PeriodFactor = 0;
    int AnalogInputKind = 0;

    // Parameter file bookkeeping.
    int FileLength = 0;
    QString FileName;
    QString FileTime;
};
