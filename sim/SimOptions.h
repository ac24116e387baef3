#pragma once
#include "SimModem.h"
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

class SimDevice;

// The command line of mirelo-sim.
struct SimOptions
{
    QString device;          // parameter file to load
    int base = 0x0800;       // where its image goes
    bool baseGiven = false;  // else the base comes from the model's definition
    int baud = 0;            // the only line speed the device hears; 0: any
    QString coupler;         // "PELK" or "DROS": a data coupler answers at 0xFE
    QString dataDir;
    QString ptyLink;         // empty: serve on stdin/stdout
    int slave = 0xAE;
    bool handshake = false;
    int pace = 0;            // baud; 0 = as fast as the bytes come
    QStringList faults;      // "kind:rate"
    quint32 seed = 1;
    bool log = false;
    std::vector<std::pair<int, int>> refusals; // function code, refusal byte
    bool modeNotOff = false; // the operating mode is not OFF: writes are refused with 0xF4
    bool locked = false;     // parametrisation locked: writes are refused with 0xF5
    bool zuvi = false;       // a plausible ZuviDezar set-up where the memory holds none
    std::vector<int> alarms; // alarm numbers set pending at start
    int alarmPeriod = 240;   // seconds between scheduled alarms; 0: none
    QStringList converters;  // "ADDR:OFFSET:GAIN" of converter channels
    QStringList ulva;        // "C:OFFSET:GAIN[:SIGNAL]": converter models of a ULVA module
    bool help = false;
    // A modem in front of the device: the answer to dialling, its escape guard time, a
    // carrier lost after so many bytes (0: never), and the one FBED number taken (-1: any).
    bool modem = false;
    QString modemDial = QStringLiteral("connect");
    int modemGuardMs = 1000;
    int modemDropAfter = 0;
    int fbed = -1;
};

// Parses the arguments after the program name. Options take their value as the next
// argument or after "="; --fault also takes several values in a row.
bool ParseSimOptions(const QStringList &args, SimOptions *options, QString *error);
QString SimUsage();
// Slave addresses and function codes: "0x"/"$" prefix or an "h" suffix for hexadecimal,
// plain digits are decimal, anything else with hexadecimal letters is hexadecimal ("AE").
bool ParseSimNumber(const QString &text, int *value);
// Device address of a parameter file's image: the base page of its model's definition,
// found as loading the file in the program finds it. False (base untouched) when the file
// or its definition cannot be used.
bool SimDefinitionBase(const QString &path, int *base, QString *error = nullptr);
// Applies slave address, handshake, seed, faults and refusals to the device.
bool ApplySimOptions(const SimOptions &options, SimDevice &device, QString *error);
// Seed, alarm schedule and pending alarms of the device's live values (none: nothing to do,
// unless alarms were asked for).
bool ApplySimLiveOptions(const SimOptions &options, SimDevice &device, QString *error);
// The modem of --modem and its options.
SimModem::Options SimModemOptions(const SimOptions &options);
