#include "support/TestEnvironment.h"
#include "shell/PrgInit.h"
#include "shell/IniFile.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

namespace
{

struct RecordingPrompter : Prompter {
    QStringList errors, others;
    void error(const QString &t) override { errors.append(t); }
    void warning(const QString &t) override { others.append(t); }
    void information(const QString &t) override { others.append(t); }
    bool question(const QString &t) override
    {
        others.append(t);
        return false;
    }
};



QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct Loaded {
    TPrgInit init;
    ProgramSettings settings;
};

Loaded readBytes(const QByteArray &bytes)
{
    Loaded l;
    IniFile ini;
    ini.LoadFromBytes(bytes);
    ReadSettingsFromIni(ini, l.init, l.settings);
    return l;
}

QString docsBaldren()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Baldren");
}

} // namespace

TEST(PrgInit, CreationSetsTheStartValues)
{
    const TPrgInit init;
    EXPECT_EQ(init.SlaveAddress, 0xAE);
    EXPECT_EQ(init.OwnAddress, 55);
    EXPECT_EQ(init.PortName, QStringLiteral("1"));
    EXPECT_EQ(init.BaudText, QStringLiteral("9600"));
    // All three start options are on until the file says otherwise.
    EXPECT_TRUE(init.Splash);
    EXPECT_TRUE(init.Ident);
    EXPECT_TRUE(init.AutoSave);
}

TEST(PrgInit, FreshInstallationStartsWithTheDefaults)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    TPrgInit init;
    ProgramSettings s;
    // Values left from an earlier read must not survive a missing file.
    init.OwnAddress = 1;
    init.PortName = QStringLiteral("COM7");
    s.Language = QStringLiteral("eng");
    s.Protocol = 2;
    s.Handshake = true;
    ReadSettings(init, s, dir.filePath(QStringLiteral("Mirelo.ini")));

    EXPECT_EQ(init.PortName, QStringLiteral("1"));
    EXPECT_EQ(init.BaudText, QStringLiteral("9600"));
    EXPECT_EQ(init.OwnAddress, 55);
    EXPECT_EQ(init.SlaveAddress, 0xAE);
    EXPECT_EQ(init.ParamFolder, docsBaldren());
    EXPECT_TRUE(init.Splash);
    EXPECT_FALSE(init.Ident);
    EXPECT_TRUE(init.AutoSave);
    EXPECT_TRUE(init.UpdatePath.isEmpty());
    EXPECT_EQ(s.Protocol, 4);
    EXPECT_FALSE(s.Handshake);
    EXPECT_EQ(s.Language, QStringLiteral("deu"));
    EXPECT_EQ(s.Languages,
              QStringList({QStringLiteral("deu=Deutsch,-DE"), QStringLiteral("eng=Englisch,-EN")}));
    EXPECT_TRUE(s.Zeile1.isEmpty());
    EXPECT_TRUE(s.Zeile2.isEmpty());
    EXPECT_EQ(s.Modem.Ini2400, QStringLiteral("AT\\N0 E0 Q0 +ms=v34,2400,2400,2400,2400"));
    EXPECT_EQ(s.Modem.Ini9600, QStringLiteral("AT\\N0 E0 Q0 +ms=v34,9600,9600,9600,9600"));
    EXPECT_TRUE(s.Modem.LastManualNumber.isEmpty());
    EXPECT_EQ(s.ModemToSave.Ini2400, s.Modem.Ini2400);
    EXPECT_TRUE(std::all_of(s.OrderNumbers.begin(), s.OrderNumbers.end(), [](int n) { return n == 0; }));
}

TEST(PrgInit, OwnAddressIsReadDecimalOrHexAndWrittenAsHex)
{
    struct Case {
        const char *text;
        int own;
        const char *written;
    };
    const Case cases[] = {
        {"$D1", 209, "$D1"},
        {"209", 209, "$D1"},
        {"$d1", 209, "$D1"},
        {" $37 ", 55, "$37"},
        {"0", 0, "$00"},
        {"255", 255, "$FF"},
        {"$0A", 10, "$0A"},
        // Not a byte, or not a number: the default, never a truncated other device.
        {"256", 55, "$37"},
        {"-1", 55, "$37"},
        {"$1D1", 55, "$37"},
        {"D1", 55, "$37"},
        {"", 55, "$37"},
    };
    for (const Case &c : cases) {
        Loaded l = readBytes(QByteArray("[Com]\r\nEGNR=") + c.text + "\r\n");
        EXPECT_EQ(l.init.OwnAddress, c.own) << c.text;
        IniFile out;
        WriteSettingsToIni(out, l.init, l.settings);
        EXPECT_EQ(out.ReadString(QStringLiteral("Com"), QStringLiteral("EGNR"), QString()),
                  QString::fromLatin1(c.written))
            << c.text;
    }
}

TEST(PrgInit, SlaveAddressIsNeverTakenFromTheFile)
{
    for (int protocol = 1; protocol <= 7; ++protocol) {
        const QByteArray file =
            "[Com]\r\nProtokoll=" + QByteArray::number(protocol) + "\r\nSlave=$70\r\nSlaveAdresse=112\r\n";
        Loaded l = readBytes(file);
        EXPECT_EQ(l.init.SlaveAddress, 0xAE) << protocol;
        EXPECT_EQ(l.settings.Protocol, protocol);
    }
    // Nor is it written: a changed slave address is gone after the next start.
    TPrgInit init;
    init.SlaveAddress = 0x70;
    IniFile out;
    WriteSettingsToIni(out, init, ProgramSettings());
    EXPECT_EQ(out.ReadSection(QStringLiteral("Com")),
              QStringList({QStringLiteral("Port"), QStringLiteral("Baud"), QStringLiteral("EGNR"),
                           QStringLiteral("Protokoll"), QStringLiteral("Handshake"),
                           QStringLiteral("Wiederholungen")}));
    TPrgInit again;
    ProgramSettings s;
    ReadSettingsFromIni(out, again, s);
    EXPECT_EQ(again.SlaveAddress, 0xAE);
}

TEST(PrgInit, ProtocolOutsideTheTableFallsBackToFour)
{
    struct Case {
        const char *text;
        int protocol;
    };
    const Case cases[] = {{"1", 1}, {"7", 7}, {"0", 4}, {"8", 4}, {"-3", 4}, {"$5", 5}, {"x", 4}};
    for (const Case &c : cases)
        EXPECT_EQ(readBytes(QByteArray("[Com]\nProtokoll=") + c.text + "\n").settings.Protocol, c.protocol)
            << c.text;
}

TEST(PrgInit, RepetitionsAreReadWithinZeroToTenAndWrittenBack)
{
    struct Case {
        const char *text; // nullptr: no key
        int retries;
    };
    const Case cases[] = {{nullptr, 2}, {"0", 0}, {"10", 10}, {"11", 2}, {"-1", 2}, {"x", 2}, {"$3", 3}};
    for (const Case &c : cases) {
        const QByteArray file = c.text ? QByteArray("[Com]\nWiederholungen=") + c.text + "\n" : QByteArray("[Com]\n");
        const Loaded l = readBytes(file);
        EXPECT_EQ(l.settings.Retries, c.retries) << (c.text ? c.text : "(none)");
        IniFile out;
        WriteSettingsToIni(out, l.init, l.settings);
        EXPECT_EQ(out.ReadInteger(QStringLiteral("Com"), QStringLiteral("Wiederholungen"), -1), c.retries);
    }
}

TEST(PrgInit, BooleansAreReadAsAnyInteger)
{
    struct Case {
        const char *text;
        bool value;
        bool whenDefaultOn;
        bool whenDefaultOff;
    };
    // Unreadable text gives the key's default: SPLASH/AUTOSAVE on, IDENT/Handshake off.
    const Case cases[] = {{"0", false, false, false}, {"1", true, true, true},   {"-1", true, true, true},
                          {"2", true, true, true},    {"$10", true, true, true}, {"ja", true, true, false},
                          {"True", true, true, false}};
    for (const Case &c : cases) {
        const QByteArray v(c.text);
        const Loaded l = readBytes("[Ini]\nSPLASH=" + v + "\nIDENT=" + v + "\nAUTOSAVE=" + v +
                                   "\n[Com]\nHandshake=" + v + "\n");
        EXPECT_EQ(l.init.Splash, c.whenDefaultOn) << c.text;
        EXPECT_EQ(l.init.AutoSave, c.whenDefaultOn) << c.text;
        EXPECT_EQ(l.init.Ident, c.whenDefaultOff) << c.text;
        EXPECT_EQ(l.settings.Handshake, c.whenDefaultOff) << c.text;
    }
    TPrgInit init;
    ProgramSettings s;
    init.Splash = false;
    init.Ident = true;
    s.Handshake = true;
    IniFile out;
    WriteSettingsToIni(out, init, s);
    EXPECT_EQ(out.ReadString(QStringLiteral("Ini"), QStringLiteral("SPLASH"), QString()),
              QStringLiteral("0"));
    EXPECT_EQ(out.ReadString(QStringLiteral("Ini"), QStringLiteral("IDENT"), QString()), QStringLiteral("1"));
    EXPECT_EQ(out.ReadString(QStringLiteral("Com"), QStringLiteral("Handshake"), QString()),
              QStringLiteral("1"));
}

TEST(PrgInit, LanguageListIsReplacedOnlyWhenItsSectionExists)
{
    ProgramSettings defaults;
    EXPECT_EQ(readBytes("[Ini]\nSprache=eng\n").settings.Languages, defaults.Languages);
    EXPECT_EQ(readBytes("[Ini]\nSprache=eng\n").settings.Language, QStringLiteral("eng"));
    EXPECT_EQ(readBytes("[sprachen]\nfra = Französisch,-fr\ndeu=Deutsch,-DE\n").settings.Languages,
              QStringList({QStringLiteral("fra=Französisch,-fr"), QStringLiteral("deu=Deutsch,-DE")}));
    EXPECT_TRUE(readBytes("[SPRACHEN]\n").settings.Languages.isEmpty());

    ProgramSettings s;
    s.Languages = QStringList(
        {QStringLiteral("ita=Italienisch,-IT"), QStringLiteral("kaputt"), QStringLiteral("=ohne Code")});
    IniFile out;
    WriteSettingsToIni(out, TPrgInit(), s);
    EXPECT_EQ(out.ReadSectionValues(QStringLiteral("SPRACHEN")),
              QStringList({QStringLiteral("ita=Italienisch,-IT")}));
}

TEST(PrgInit, OrderNumbersAreReadOnlyWhenTheirSectionExists)
{
    TPrgInit init;
    ProgramSettings s;
    s.OrderNumbers[3] = 777;
    IniFile none;
    none.LoadFromBytes("[Ini]\n");
    ReadSettingsFromIni(none, init, s);
    EXPECT_EQ(s.OrderNumbers[3], 777);

    IniFile some;
    some.LoadFromBytes("[AuftragNr]\n0=123456\n99=$FFFFFF\n5=kein\n100=9\n");
    ReadSettingsFromIni(some, init, s);
    EXPECT_EQ(s.OrderNumbers[0], 123456);
    EXPECT_EQ(s.OrderNumbers[99], 0xFFFFFF);
    EXPECT_EQ(s.OrderNumbers[3], 0) << "a missing key in an existing section is 0";
    EXPECT_EQ(s.OrderNumbers[5], 0);

    IniFile out;
    WriteSettingsToIni(out, init, s);
    const QStringList keys = out.ReadSection(QStringLiteral("AuftragNr"));
    ASSERT_EQ(keys.size(), 100);
    EXPECT_EQ(keys.first(), QStringLiteral("0"));
    EXPECT_EQ(keys.last(), QStringLiteral("99"));
    EXPECT_EQ(out.ReadString(QStringLiteral("AuftragNr"), QStringLiteral("99"), QString()),
              QStringLiteral("16777215"));
}

TEST(PrgInit, ModemStringsAreReadTwiceAndSavedFromTheValueToBeSaved)
{
    const Loaded l = readBytes("[Modem]\nletzte Manuelle Wahl=0049 30 1234\nIni2400=ATZ\nIni9600=AT&F\n");
    EXPECT_EQ(l.settings.Modem.LastManualNumber, QStringLiteral("0049 30 1234"));
    EXPECT_EQ(l.settings.ModemToSave.LastManualNumber, QStringLiteral("0049 30 1234"));
    EXPECT_EQ(l.settings.Modem.Ini2400, QStringLiteral("ATZ"));
    EXPECT_EQ(l.settings.ModemToSave.Ini9600, QStringLiteral("AT&F"));

    ProgramSettings s = l.settings;
    s.Modem.LastManualNumber = QStringLiteral("only in use");
    s.Modem.Ini2400 = QStringLiteral("in use");
    s.ModemToSave.Ini9600 = QStringLiteral("AT\\N0 saved");
    IniFile out;
    WriteSettingsToIni(out, TPrgInit(), s);
    EXPECT_EQ(out.ReadString(QStringLiteral("Modem"), QStringLiteral("letzte Manuelle Wahl"), QString()),
              QStringLiteral("0049 30 1234"));
    EXPECT_EQ(out.ReadString(QStringLiteral("Modem"), QStringLiteral("Ini2400"), QString()),
              QStringLiteral("ATZ"));
    EXPECT_EQ(out.ReadString(QStringLiteral("Modem"), QStringLiteral("Ini9600"), QString()),
              QStringLiteral("AT\\N0 saved"));
}

TEST(PrgInit, SettingsPathFollowsTheEnvironment)
{
    {
        ConfigDirGuard guard(QStringLiteral("/tmp/mirelo-test-config/"));
        EXPECT_EQ(SettingsFolder(), QStringLiteral("/tmp/mirelo-test-config"));
        EXPECT_EQ(SettingsFilePath(), QStringLiteral("/tmp/mirelo-test-config/Mirelo.ini"));
    }
    {
        ConfigDirGuard guard{QString()};
        EXPECT_EQ(SettingsFilePath(),
                  QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                      QStringLiteral("/Baldren/Mirelo.ini"));
    }
    EXPECT_EQ(DefaultParamFolder(), docsBaldren());
}

TEST(PrgInit, WriteSettingsKeepsEverythingElseInTheFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("neu/Baldren"));
    ConfigDirGuard guard(folder);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/Mirelo.ini");
    ASSERT_TRUE(writeAll(path, "; von Hand\n"
                               "[INI]\n"
                               "SPRACHE=eng\n"
                               "Fremd=bleibt\n"
                               "\n"
                               "[Andere Anwendung]\n"
                               "Wert = Gro\xDF \n"));

    TPrgInit init;
    ProgramSettings s;
    ReadSettings(init, s);
    EXPECT_EQ(s.Language, QStringLiteral("eng"));
    init.OwnAddress = 209;
    s.Zeile1 = QStringLiteral("Müller & Söhne");
    RecordingPrompter prompter;
    ASSERT_TRUE(WriteSettings(init, s, prompter));
    EXPECT_TRUE(prompter.errors.isEmpty());

    const QByteArray bytes = readAll(path);
    EXPECT_TRUE(bytes.startsWith("; von Hand\r\n[INI]\r\nSPRACHE=eng\r\nFremd=bleibt\r\n"))
        << bytes.constData();
    EXPECT_TRUE(bytes.contains("\r\n\r\n[Andere Anwendung]\r\nWert = Gro\xDF \r\n"));
    EXPECT_TRUE(bytes.contains("Zeile1=M\xFCller & S\xF6hne\r\n"));
    EXPECT_TRUE(bytes.contains("EGNR=$D1\r\n"));
    EXPECT_EQ(bytes.count('\r'), bytes.count('\n')) << "every line ends in CR LF";
    EXPECT_EQ(bytes.count("Sprache"), 0) << "the key keeps its spelling and is not added twice";

    TPrgInit init2;
    ProgramSettings s2;
    ReadSettings(init2, s2);
    EXPECT_EQ(init2.OwnAddress, 209);
    EXPECT_EQ(s2.Zeile1, s.Zeile1);
    EXPECT_EQ(s2.Languages, s.Languages);
    EXPECT_EQ(init2.ParamFolder, init.ParamFolder);

    // Writing again changes nothing.
    ASSERT_TRUE(WriteSettings(init2, s2, prompter));
    EXPECT_EQ(readAll(path), bytes);
}

TEST(PrgInit, WriteSettingsReportsAFolderThatCannotBeCreated)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString blocker = dir.filePath(QStringLiteral("datei"));
    ASSERT_TRUE(writeAll(blocker, "kein Ordner"));
    const QString folder = blocker + QStringLiteral("/Baldren");
    ConfigDirGuard guard(folder);
    RecordingPrompter prompter;
    EXPECT_FALSE(WriteSettings(TPrgInit(), ProgramSettings(), prompter));
    ASSERT_EQ(prompter.errors.size(), 1);
    EXPECT_EQ(prompter.errors.first(), GetText(49) + QLatin1Char('\r') + folder);
    EXPECT_EQ(prompter.errors.first(), QStringLiteral("Verzeichnis konnte nicht erstellt werden\r") + folder);
    EXPECT_EQ(readAll(blocker), QByteArray("kein Ordner"));
}

TEST(PrgInit, WriteSettingsReportsAFileThatCannotBeWrittenAndKeepsTheOldOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString folder = dir.path();
    ConfigDirGuard guard(folder);
    const QString path = folder + QStringLiteral("/Mirelo.ini");
    const QString expected = QStringLiteral("INI Datei konnte nicht gespeichert werden\r") + path;

    // The save breaks off halfway.
    const QByteArray old = "[Com]\r\nEGNR=$01\r\n";
    ASSERT_TRUE(writeAll(path, old));
    RecordingPrompter prompter;
    bool ok = true;
    {
        FileSizeLimit limit(256);
        ASSERT_TRUE(limit.ok());
        ok = WriteSettings(TPrgInit(), ProgramSettings(), prompter);
    }
    EXPECT_FALSE(ok);
    ASSERT_EQ(prompter.errors.size(), 1);
    EXPECT_EQ(prompter.errors.first(), GetText(50) + QLatin1Char('\r') + path);
    EXPECT_EQ(prompter.errors.first(), expected);
    EXPECT_EQ(readAll(path), old);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("Mirelo.ini")}));

    // Something that is not a file stands where the settings file belongs.
    ASSERT_TRUE(QFile::remove(path));
    ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/inhalt")));
    prompter.errors.clear();
    EXPECT_FALSE(WriteSettings(TPrgInit(), ProgramSettings(), prompter));
    ASSERT_EQ(prompter.errors.size(), 1);
    EXPECT_EQ(prompter.errors.first(), expected);
    EXPECT_TRUE(QDir(path + QStringLiteral("/inhalt")).exists());
}

TEST(PrgInit, SurvivesBrokenSettingsFiles)
{
    TPrgInit init;
    ProgramSettings good;
    init.PortName = QStringLiteral("/dev/ttyUSB1");
    init.OwnAddress = 0x42;
    good.Protocol = 6;
    good.Handshake = true;
    good.OrderNumbers[17] = 4711;
    IniFile source;
    WriteSettingsToIni(source, init, good);
    const QByteArray sample = source.ToBytes();

    std::mt19937 rng(4711u);
    for (int round = 0; round < 600; ++round) {
        QByteArray bytes = sample;
        if (round % 5 == 0) {
            bytes.truncate(int(rng() % unsigned(bytes.size() + 1)));
        } else {
            const int edits = 1 + int(rng() % 12);
            for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
                const int pos = int(rng() % unsigned(bytes.size()));
                if (rng() % 2)
                    bytes[pos] = char(rng() & 0xFF);
                else
                    bytes.remove(pos, 1 + int(rng() % 6));
            }
        }
        TPrgInit i;
        ProgramSettings s;
        IniFile ini;
        ini.LoadFromBytes(bytes);
        ReadSettingsFromIni(ini, i, s);
        ASSERT_GE(s.Protocol, 1);
        ASSERT_LE(s.Protocol, 7);
        ASSERT_EQ(i.SlaveAddress, 0xAE);

        // Whatever was salvaged is written back and read again unchanged.
        WriteSettingsToIni(ini, i, s);
        IniFile back;
        back.LoadFromBytes(ini.ToBytes());
        TPrgInit i2;
        ProgramSettings s2;
        ReadSettingsFromIni(back, i2, s2);
        ASSERT_EQ(i2.OwnAddress, i.OwnAddress) << round;
        ASSERT_EQ(s2.Protocol, s.Protocol) << round;
        ASSERT_EQ(s2.Handshake, s.Handshake) << round;
        ASSERT_EQ(i2.Splash, i.Splash) << round;
        ASSERT_EQ(i2.Ident, i.Ident) << round;
        ASSERT_EQ(i2.AutoSave, i.AutoSave) << round;
        ASSERT_EQ(s2.OrderNumbers, s.OrderNumbers) << round;
    }
}

TEST(PrgInit, PortForThisRunNeverReachesTheFile)
{
    // Steps on the settings of a file with Port=/dev/ttyUSB0: "run X" is --port X,
    // "choose X" a choice in the program, "reread" the file read again.
    const struct {
        QStringList steps;
        const char *inUse, *saved;
    } cases[] = {
        {{}, "/dev/ttyUSB0", "/dev/ttyUSB0"},
        {{"run SIM"}, "SIM", "/dev/ttyUSB0"},
        {{"run SIM", "choose /dev/ttyUSB1"}, "/dev/ttyUSB1", "/dev/ttyUSB1"},
        {{"run SIM", "choose SIM"}, "SIM", "/dev/ttyUSB0"}, // the run's own port is no other choice
        {{"run SIM", "choose /dev/ttyUSB1", "choose SIM"}, "SIM", "SIM"},
        {{"run SIM", "reread"}, "SIM", "/dev/ttyUSB0"},
        {{"choose /dev/ttyACM0"}, "/dev/ttyACM0", "/dev/ttyACM0"},
    };
    const QByteArray file = "[Com]\r\nPort=/dev/ttyUSB0\r\n";
    for (const auto &c : cases) {
        Loaded l = readBytes(file);
        IniFile ini;
        ini.LoadFromBytes(file);
        for (const QString &step : c.steps) {
            const QString port = step.section(QLatin1Char(' '), 1);
            if (step.startsWith(QLatin1String("run")))
                l.init.UsePortForThisRun(port);
            else if (step.startsWith(QLatin1String("choose")))
                l.init.ChoosePort(port);
            else
                ReadSettingsFromIni(ini, l.init, l.settings);
        }
        const std::string what = c.steps.join(QLatin1String(", ")).toStdString();
        EXPECT_EQ(l.init.PortName, QString::fromUtf8(c.inUse)) << what;
        WriteSettingsToIni(ini, l.init, l.settings);
        EXPECT_EQ(ini.ReadString(QStringLiteral("Com"), QStringLiteral("Port"), QString()), QString::fromUtf8(c.saved))
            << what;
    }
}
