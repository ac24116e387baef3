#pragma once
#include <QString>
#include <QStringList>
#include <array>

class IniFile;
class Prompter;

namespace Settings
{
constexpr quint8 DefaultSlaveAddress = 0xAE;
constexpr quint8 DefaultOwnAddress = 55;
constexpr int DefaultProtocol = 4;
constexpr int MinProtocol = 1;
constexpr int MaxProtocol = 7;
constexpr int OrderNumberCount = 100;
// How often an exchange that failed on a noisy line is sent again before its chain fails.
constexpr int DefaultRetries = 2;
constexpr int MaxRetries = 10;
} // namespace Settings

// The settings object: link and start-up options. Created and freed by the main window.
class TPrgInit
{
public:
    TPrgInit();

    QString PortName;    // "Port", e.g. "COM1", "/dev/ttyUSB0", "SIM"
    QString BaudText;    // "Baud"
    quint8 SlaveAddress; // telegram byte 1; never stored in the file
    quint8 OwnAddress;   // "EGNR": telegram byte 2 of a request, byte 1 of an answer
    QString ParamFolder; // "Sollwertpfad": folder of parameter files
    bool Splash;         // "SPLASH"
    bool Ident;          // "IDENT": access-code dialog at start
    bool AutoSave;       // "AUTOSAVE": write the settings when the program ends
    QString UpdatePath;  // "UPDATEPATH": folder searched for a newer program

    // The port named on the command line: used for this run only, the file keeps the
    // saved port.
    void UsePortForThisRun(const QString &port);
    // A port the user chose in the program: used, and saved from now on. Choosing the
    // port already in use for this run changes nothing (it was not a choice of another).
    void ChoosePort(const QString &port);
    // The port as read from the file: taken into use unless a port for this run is set.
    void SetSavedPort(const QString &port);
    bool PortIsForThisRun() const { return m_portForThisRun; }
    // What the settings file gets as "Port".
    QString PortToSave() const { return m_portForThisRun ? m_savedPort : PortName; }

private:
    QString m_savedPort;
    bool m_portForThisRun = false;
};

// The modem strings; the modem window keeps one set in use and one to be saved.
struct ModemStrings {
    QString LastManualNumber; // "letzte Manuelle Wahl"
    QString Ini2400;          // initialisation for 2400 baud
    QString Ini9600;          // initialisation for 9600 baud
};

// The program-wide values stored beside TPrgInit in the settings file.
struct ProgramSettings {
    ProgramSettings();

    QString Language; // "Sprache": language code, "deu" for German
    QString Zeile1;   // closing lines of printed and exported lists
    QString Zeile2;
    int Protocol;       // "Protokoll", 1..7
    bool Handshake;     // echo answer bytes
    int Retries;        // "Wiederholungen": repetitions of an exchange that failed on the line
    ModemStrings Modem; // in use
    ModemStrings ModemToSave;
    // Lines "code=name,suffix", e.g. "deu=Deutsch,-DE".
    QStringList Languages;
    std::array<int, Settings::OrderNumberCount> OrderNumbers;
};

// "$MIRELO_CONFIG_DIR" when set, else the generic configuration folder + "/Baldren".
QString SettingsFolder();
// SettingsFolder() + "/Mirelo.ini".
QString SettingsFilePath();
// The documents folder + "/Baldren": the folder of parameter files on a fresh installation.
QString DefaultParamFolder();

// Never fails: whatever is missing or unreadable gets its default.
void ReadSettings(TPrgInit &init, ProgramSettings &settings, const QString &path);
void ReadSettings(TPrgInit &init, ProgramSettings &settings);
void ReadSettingsFromIni(const IniFile &ini, TPrgInit &init, ProgramSettings &settings);

// Puts every setting into the INI object (modem keys: the values to be saved).
void WriteSettingsToIni(IniFile &ini, const TPrgInit &init, const ProgramSettings &settings);
// Writes the settings file, keeping what else is in it. Reports a folder that cannot be
// created or a file that cannot be written through the prompter and returns false; the
// previous file then stays as it was.
bool WriteSettings(const TPrgInit &init, const ProgramSettings &settings, Prompter &prompter);
