#pragma once
#include <QString>
#include <QStringList>
#include <array>

struct DeviceData;
class MainController;

// The menu entries whose state follows the program state, the device type and the access
// level. The main window maps each one to its menu item.
namespace MenuEntry {
enum Id {
    // "&Einstellungen"
    Fertigungnummer,
    NetzSpannung,        // "&Netz-/Sammelschienenspannung"
    GenSpannung,         // "&Generatorspannung"
    Uhrzeit,             // "&Uhrzeit des Gerätes"
    // "&Parameter"
    ConvertConfig,
    AnalogCAN,           // "Analogwerte &CAN"
    ZuviDezar,           // "&ZuviDezar"
    ParamSchliessen,     // "&Schließen" of the parameters
    // "&Istwerte"
    IstwerteMenu,        // the menu itself
    Istwerte,            // page "&Istwerte"
    IstwerteCAN,
    Vindel,
    CANOpenAnalog,
    Alarme,              // "Anstehende Alar&me"
    Spannungswaechter,
    Eingaenge,
    Ausgaenge,
    Sonstiges,
    BefehleZuviDezar,
    IstSchliessen,       // "&Schließen" of the actual values
    RamListe,            // "RAM 2E2C - 2E99"
    // "&Datenausgabe"
    DatenausgabeMenu,
    // "&Optionen"
    Modem,               // "Verbinden über &Modem"
    Datenkoppler,        // "Daten&koppler PELK"
    Werkseinstellung,
    UlvaGrundabgleich,
    Abgleich,
    AusgangSimulieren,
    Service,
    Betriebsstunden,
    Netzschutz,
    Ereignisse,
    Programm,
    Cpu68K,
    Count
};
// Name of the entry for test output and logs.
QString Name(Id id);
} // namespace MenuEntry

struct MenuItemState
{
    bool Visible = true;
    bool Enabled = true;
    bool operator==(const MenuItemState &o) const { return Visible == o.Visible && Enabled == o.Enabled; }
};

// Everything the menu rules look at.
struct MenuInput
{
    bool ParamsLoaded = false;
    bool Online = false;
    bool OfflineFile = false;
    bool ModemOnline = false;
    int DeviceType = 55;
    int ProgramVersion = 0;
    bool ProgramIdHasFbed = false; // such controllers have no alarm page
    QString Level;                 // access level: "Cus", "Ser", ..., an ident number or empty
    bool Identified = false;       // access granted by the access-code dialog
    int MenuFlags = 0;             // page flags 0x01..0x80 of the definition's type settings
    int OptionFlags = 0;           // 0x02 factory setting, 0x04 calibration
    bool ClockAvailable = false;
    // Image bytes and words at the device addresses the rules look at (0 outside the image).
    int Byte0E15 = 0;
    int Word0E40 = 0;
    int Word0E4C = 0;
    int Word0E4E = 0;
    int Byte0C78 = 0;

    // The device-dependent part taken from the device data (image, type, definition).
    static MenuInput FromDevice(const DeviceData &data);
    // The whole input from the main window's core: program state, device and access state.
    static MenuInput From(const MainController &controller);
};

class MenuStates
{
public:
    MenuItemState &operator[](MenuEntry::Id id) { return m_items[size_t(id)]; }
    const MenuItemState &operator[](MenuEntry::Id id) const { return m_items[size_t(id)]; }
    bool operator==(const MenuStates &o) const { return m_items == o.m_items; }

private:
    std::array<MenuItemState, MenuEntry::Count> m_items{};
};

// The state of every entry as the menu is designed, before any parameters are loaded.
MenuStates StartMenuStates();

// The menu rules. Every call starts from the designed state, so an entry the rules leave
// alone in one program state never carries over what an earlier state made of it (a
// transfer-switch controller's hidden entries come back for the next controller, the
// service entries are hidden whenever nothing is loaded).
MenuStates ComputeMenus(const MenuInput &in);

// The filter of a Windows file dialog ("name|patterns|name|patterns...") in the form of
// a Qt file dialog ("name (patterns);;name (patterns)"). Patterns are separated by blanks
// there; empty patterns are dropped. The pattern field is what the dialog filters by, so
// a parenthesised part at the end of the name is replaced by the patterns (Qt reads the
// patterns from there). A trailing name without patterns is left out.
QString QtFileFilter(const QString &windowsFilter);
