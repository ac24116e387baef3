#include "shell/PrgInit.h"
#include "shell/IniFile.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{

// Literal views: no dynamic initialisation, so settings objects may be created anywhere.
constexpr QLatin1StringView kIni("Ini");
constexpr QLatin1StringView kCom("Com");
constexpr QLatin1StringView kModem("Modem");
constexpr QLatin1StringView kLanguages("SPRACHEN");
constexpr QLatin1StringView kOrders("AuftragNr");
constexpr QLatin1StringView kLastManual("letzte Manuelle Wahl");

constexpr QLatin1StringView kDefaultPort("1");
constexpr QLatin1StringView kDefaultBaud("9600");
constexpr QLatin1StringView kDefaultIni2400("AT\\N0 E0 Q0 +ms=v34,2400,2400,2400,2400");
constexpr QLatin1StringView kDefaultIni9600("AT\\N0 E0 Q0 +ms=v34,9600,9600,9600,9600");

// Neutral defaults: no company name or town in the closing lines of printed lists until
// someone enters them, and no update folder, which switches the update notice off.
constexpr QLatin1StringView kDefaultZeile1("");
constexpr QLatin1StringView kDefaultZeile2("");
constexpr QLatin1StringView kDefaultUpdatePath("");

ModemStrings defaultModem()
{
    ModemStrings m;
    m.Ini2400 = kDefaultIni2400;
    m.Ini9600 = kDefaultIni9600;
    return m;
}

} // namespace

TPrgInit::TPrgInit()
    : PortName(kDefaultPort), BaudText(kDefaultBaud), SlaveAddress(Settings::DefaultSlaveAddress),
      OwnAddress(Settings::DefaultOwnAddress), ParamFolder(DefaultParamFolder()), Splash(true),
      Ident(true) // all three start options on until the file is read
      ,
      AutoSave(true), UpdatePath(kDefaultUpdatePath)
{
}

void TPrgInit::UsePortForThisRun(const QString &port)
{
    if (!m_portForThisRun) {
        m_savedPort = PortName;
        m_portForThisRun = true;
    }
    PortName = port;
}

void TPrgInit::ChoosePort(const QString &port)
{
    if (m_portForThisRun && port == PortName)
        return;
    m_portForThisRun = false;
    m_savedPort.clear();
    PortName = port;
}

void TPrgInit::SetSavedPort(const QString &port)
{
    if (m_portForThisRun)
        m_savedPort = port;
    else
        PortName = port;
}

ProgramSettings::ProgramSettings()
    : Language(QStringLiteral("deu")), Zeile1(kDefaultZeile1), Zeile2(kDefaultZeile2),
      Protocol(Settings::DefaultProtocol), Handshake(false), Retries(Settings::DefaultRetries), Modem(defaultModem()),
      ModemToSave(defaultModem()),
      Languages({QStringLiteral("deu=Deutsch,-DE"), QStringLiteral("eng=Englisch,-EN")})
{
    OrderNumbers.fill(0);
}

QString SettingsFolder()
{
    // An empty variable counts as unset: it would otherwise put the file in the working folder.
    const QString dir = qEnvironmentVariable("MIRELO_CONFIG_DIR");
    if (!dir.isEmpty()) return QDir::cleanPath(dir);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Baldren");
}

QString SettingsFilePath()
{
    return SettingsFolder() + QStringLiteral("/Mirelo.ini");
}

QString DefaultParamFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Baldren");
}

void ReadSettingsFromIni(const IniFile &ini, TPrgInit &init, ProgramSettings &settings)
{
    settings.Language = ini.ReadString(kIni, QStringLiteral("Sprache"), QStringLiteral("deu"));
    init.ParamFolder = ini.ReadString(kIni, QStringLiteral("Sollwertpfad"), DefaultParamFolder());
    settings.Zeile1 = ini.ReadString(kIni, QStringLiteral("Zeile1"), kDefaultZeile1);
    settings.Zeile2 = ini.ReadString(kIni, QStringLiteral("Zeile2"), kDefaultZeile2);
    init.Splash = ini.ReadBool(kIni, QStringLiteral("SPLASH"), true);
    init.Ident = ini.ReadBool(kIni, QStringLiteral("IDENT"), false);
    init.AutoSave = ini.ReadBool(kIni, QStringLiteral("AUTOSAVE"), true);
    init.UpdatePath = ini.ReadString(kIni, QStringLiteral("UPDATEPATH"), kDefaultUpdatePath);

    init.SetSavedPort(ini.ReadString(kCom, QStringLiteral("Port"), kDefaultPort));
    init.BaudText = ini.ReadString(kCom, QStringLiteral("Baud"), kDefaultBaud);
    // The own address is one telegram byte: a value that does not fit is not truncated
    // into some other device number but replaced by the default.
    const int own = ini.ReadInteger(kCom, QStringLiteral("EGNR"), Settings::DefaultOwnAddress);
    init.OwnAddress = (own >= 0 && own <= 255) ? quint8(own) : Settings::DefaultOwnAddress;
    // The protocol number selects a row of the protocol table; an unknown one falls back
    // to the default rather than pointing outside the table.
    const int protocol = ini.ReadInteger(kCom, QStringLiteral("Protokoll"), Settings::DefaultProtocol);
    settings.Protocol = (protocol >= Settings::MinProtocol && protocol <= Settings::MaxProtocol)
                            ? protocol
                            : Settings::DefaultProtocol;
    settings.Handshake = ini.ReadBool(kCom, QStringLiteral("Handshake"), false);
    // A count outside 0..MaxRetries is a typing error in the file: the default is safer
    // than clamping it to some count nobody chose.
    const int retries = ini.ReadInteger(kCom, QStringLiteral("Wiederholungen"), Settings::DefaultRetries);
    settings.Retries = (retries >= 0 && retries <= Settings::MaxRetries) ? retries : Settings::DefaultRetries;

    settings.Modem.LastManualNumber = ini.ReadString(kModem, kLastManual, QString());
    settings.Modem.Ini2400 = ini.ReadString(kModem, QStringLiteral("Ini2400"), kDefaultIni2400);
    settings.Modem.Ini9600 = ini.ReadString(kModem, QStringLiteral("Ini9600"), kDefaultIni9600);
    settings.ModemToSave = settings.Modem;

    if (ini.SectionExists(kLanguages)) settings.Languages = ini.ReadSectionValues(kLanguages);

    if (ini.SectionExists(kOrders))
        for (int i = 0; i < Settings::OrderNumberCount; ++i)
            settings.OrderNumbers[size_t(i)] = ini.ReadInteger(kOrders, QString::number(i), 0);
    // The slave address is deliberately not read: it is 0xAE after every start.
}

void ReadSettings(TPrgInit &init, ProgramSettings &settings, const QString &path)
{
    IniFile ini;
    ini.LoadFromFile(path); // a missing or unreadable file leaves the object empty: all defaults
    ReadSettingsFromIni(ini, init, settings);
}

void ReadSettings(TPrgInit &init, ProgramSettings &settings)
{
    ReadSettings(init, settings, SettingsFilePath());
}

void WriteSettingsToIni(IniFile &ini, const TPrgInit &init, const ProgramSettings &settings)
{
    ini.WriteString(kIni, QStringLiteral("Sprache"), settings.Language);
    ini.WriteString(kIni, QStringLiteral("Sollwertpfad"), init.ParamFolder);
    ini.WriteString(kIni, QStringLiteral("Zeile1"), settings.Zeile1);
    ini.WriteString(kIni, QStringLiteral("Zeile2"), settings.Zeile2);
    ini.WriteBool(kIni, QStringLiteral("SPLASH"), init.Splash);
    ini.WriteBool(kIni, QStringLiteral("IDENT"), init.Ident);
    ini.WriteBool(kIni, QStringLiteral("AUTOSAVE"), init.AutoSave);
    ini.WriteString(kIni, QStringLiteral("UPDATEPATH"), init.UpdatePath);

    ini.WriteString(kCom, QStringLiteral("Port"), init.PortToSave());
    ini.WriteString(kCom, QStringLiteral("Baud"), init.BaudText);
    ini.WriteString(kCom, QStringLiteral("EGNR"), QLatin1Char('$') + Text::ByteToHex(init.OwnAddress));
    ini.WriteInteger(kCom, QStringLiteral("Protokoll"), settings.Protocol);
    ini.WriteBool(kCom, QStringLiteral("Handshake"), settings.Handshake);
    ini.WriteInteger(kCom, QStringLiteral("Wiederholungen"), settings.Retries);

    ini.WriteString(kModem, kLastManual, settings.ModemToSave.LastManualNumber);
    ini.WriteString(kModem, QStringLiteral("Ini2400"), settings.ModemToSave.Ini2400);
    ini.WriteString(kModem, QStringLiteral("Ini9600"), settings.ModemToSave.Ini9600);

    for (const QString &entry : settings.Languages) {
        // Entries without "=" or without a code have no key and are left out.
        if (!entry.contains(QLatin1Char('='))) continue;
        QString rest = entry;
        const QString code = Text::SplitAt(rest, QLatin1Char('='));
        ini.WriteString(kLanguages, code, rest);
    }

    for (int i = 0; i < Settings::OrderNumberCount; ++i)
        ini.WriteInteger(kOrders, QString::number(i), settings.OrderNumbers[size_t(i)]);
}

bool WriteSettings(const TPrgInit &init, const ProgramSettings &settings, Prompter &prompter)
{
    const QString folder = SettingsFolder();
    if (!QDir().mkpath(folder)) {
        prompter.error(GetText(49) + QLatin1Char('\r') + folder);
        return false;
    }
    const QString path = folder + QStringLiteral("/Mirelo.ini");
    IniFile ini;
    // A file that exists but cannot be read is not replaced: its other sections would be
    // lost. Missing is fine: then the file is created.
    if (!ini.LoadFromFile(path) && QFileInfo::exists(path)) {
        prompter.error(GetText(50) + QLatin1Char('\r') + path);
        return false;
    }
    WriteSettingsToIni(ini, init, settings);
    if (!ini.SaveToFile(path)) {
        prompter.error(GetText(50) + QLatin1Char('\r') + path);
        return false;
    }
    return true;
}
