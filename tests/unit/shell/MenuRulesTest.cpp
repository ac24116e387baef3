#include "device/DeviceData.h"
#include "shell/MenuRules.h"
#include "shell/Texts.h"
#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

using namespace MenuEntry;

namespace {

MenuInput online(int type, const QString &level = QString())
{
    MenuInput in;
    in.ParamsLoaded = true;
    in.Online = true;
    in.DeviceType = type;
    in.Level = level;
    in.Identified = !level.isEmpty();
    in.MenuFlags = 0xFF;
    return in;
}

MenuInput fromFile(int type, const QString &level = QString())
{
    MenuInput in = online(type, level);
    in.Online = false;
    in.OfflineFile = true;
    return in;
}

std::string describe(const MenuStates &m, std::initializer_list<Id> ids)
{
    std::string s;
    for (Id id : ids)
        s += Name(id).toStdString() + (m[id].Visible ? " visible" : " hidden") +
             (m[id].Enabled ? "/enabled " : "/disabled ");
    return s;
}

const std::initializer_list<Id> kIstwerteEntries = {Istwerte,  IstwerteCAN, Vindel,    CANOpenAnalog,
                                                    Alarme,    Spannungswaechter,     Eingaenge,
                                                    Ausgaenge, Sonstiges,   BefehleZuviDezar, IstSchliessen,
                                                    RamListe};
const std::initializer_list<Id> kLevelEntries = {Ereignisse, Service,          Betriebsstunden, Netzschutz,
                                                 RamListe,   Programm,         Werkseinstellung, Abgleich,
                                                 UlvaGrundabgleich, AusgangSimulieren, ZuviDezar, AnalogCAN};

} // namespace

TEST(MenuRules, NothingLoadedKeepsServiceEntriesHiddenWhateverTheLevel)
{
    for (const char *level : {"", "Cus", "Fac", "Fer", "Ser", "IDS", "Mas", "00456"}) {
        for (int type : {0, 14, 20, 35, 52, 55}) {
            MenuInput in;
            in.DeviceType = type;
            in.Level = QString::fromLatin1(level);
            in.Identified = true;
            in.OptionFlags = 0xFF;
            in.MenuFlags = 0xFF;
            in.ClockAvailable = true;
            in.Byte0C78 = 0xFF;
            in.Byte0E15 = 0xFF;
            const MenuStates m = ComputeMenus(in);
            SCOPED_TRACE(std::string(level) + " T=" + std::to_string(type));
            EXPECT_FALSE(m[IstwerteMenu].Enabled);
            EXPECT_FALSE(m[DatenausgabeMenu].Enabled);
            EXPECT_FALSE(m[NetzSpannung].Enabled);
            EXPECT_FALSE(m[GenSpannung].Enabled);
            EXPECT_FALSE(m[Uhrzeit].Enabled);
            EXPECT_FALSE(m[Fertigungnummer].Enabled);
            EXPECT_FALSE(m[ConvertConfig].Enabled);
            for (Id id : kLevelEntries)
                EXPECT_FALSE(m[id].Visible) << Name(id).toStdString();
        }
    }
}

TEST(MenuRules, StartStateMatchesTheDesignedMenu)
{
    const MenuStates m = StartMenuStates();
    EXPECT_EQ(m, ComputeMenus(MenuInput()));
    // Disabled at start.
    for (Id id : {Fertigungnummer, NetzSpannung, GenSpannung, Uhrzeit, ConvertConfig, IstwerteMenu, RamListe,
                  DatenausgabeMenu, Betriebsstunden, Netzschutz})
        EXPECT_FALSE(m[id].Enabled) << Name(id).toStdString();
    // Offered from the start.
    for (Id id : {ParamSchliessen, Modem, Datenkoppler, Cpu68K})
        EXPECT_TRUE(m[id].Visible && m[id].Enabled) << Name(id).toStdString();
}

TEST(MenuRules, FileLoadedEnablesOutputButNoLiveValues)
{
    for (const char *level : {"", "Ser", "Cus", "Mas"}) {
        MenuInput in = fromFile(0, QString::fromLatin1(level));
        in.Byte0E15 = 0x01;
        in.Word0E40 = 1;
        in.OptionFlags = 0x06;
        const MenuStates m = ComputeMenus(in);
        SCOPED_TRACE(level);
        EXPECT_TRUE(m[DatenausgabeMenu].Enabled);
        EXPECT_TRUE(m[Fertigungnummer].Enabled);
        EXPECT_TRUE(m[ConvertConfig].Enabled);
        EXPECT_FALSE(m[IstwerteMenu].Enabled);
        for (Id id : kIstwerteEntries)
            EXPECT_FALSE(m[id].Enabled) << Name(id).toStdString();
        for (Id id : {Abgleich, Service, Betriebsstunden, Programm, UlvaGrundabgleich, Werkseinstellung, Uhrzeit})
            EXPECT_FALSE(m[id].Enabled) << Name(id).toStdString();
    }
}

TEST(MenuRules, DeviceReadEnablesValuesAndEndsTheConversion)
{
    const MenuStates m = ComputeMenus(online(20));
    EXPECT_TRUE(m[IstwerteMenu].Enabled);
    EXPECT_TRUE(m[DatenausgabeMenu].Enabled);
    EXPECT_FALSE(m[ConvertConfig].Enabled);
    EXPECT_TRUE(m[ConvertConfig].Visible);
}

TEST(MenuRules, ServiceLevelOnControllerType14)
{
    const MenuStates m = ComputeMenus(online(14, QStringLiteral("Ser")));
    EXPECT_TRUE(m[Service].Visible && m[Service].Enabled);
    EXPECT_TRUE(m[Betriebsstunden].Visible && m[Betriebsstunden].Enabled);
    EXPECT_TRUE(m[RamListe].Visible && m[RamListe].Enabled);
    EXPECT_FALSE(m[Ereignisse].Visible);
    EXPECT_FALSE(m[Netzschutz].Visible);
}

TEST(MenuRules, PageFlagsEnableTheirEntries)
{
    const std::pair<int, Id> bits[] = {{0x01, NetzSpannung}, {0x02, GenSpannung}, {0x04, Istwerte},
                                       {0x08, Eingaenge},    {0x10, Ausgaenge},   {0x20, Spannungswaechter},
                                       {0x40, Sonstiges},    {0x80, BefehleZuviDezar}};
    for (const auto &[bit, entry] : bits) {
        MenuInput in = online(20, QStringLiteral("Mas"));
        in.MenuFlags = bit;
        const MenuStates m = ComputeMenus(in);
        for (const auto &[other, otherEntry] : bits)
            EXPECT_EQ(m[otherEntry].Enabled, other == bit) << "bit " << bit << " " << Name(otherEntry).toStdString();
    }
}

TEST(MenuRules, ClockNeedsClockAndConnection)
{
    struct Row { bool clock, isOnline, enabled; };
    for (const Row &r : {Row{true, true, true}, Row{true, false, false}, Row{false, true, false}}) {
        MenuInput in = r.isOnline ? online(20) : fromFile(20);
        in.ClockAvailable = r.clock;
        EXPECT_EQ(ComputeMenus(in)[Uhrzeit].Enabled, r.enabled) << r.clock << r.isOnline;
    }
}

TEST(MenuRules, CanEntriesByDeviceFamilyAndImage)
{
    struct Row
    {
        int type, version, b0E15, w0E40, w0E4C, w0E4E;
        bool analogVisible, analogEnabled, canEnabled;
    };
    const Row rows[] = {
        {5, 0, 0, 0, 0, 0, false, false, true},     // set B, not D
        {31, 0, 0, 0, 0, 0, false, false, true},
        {20, 0, 0xFF, 1, 1, 1, false, false, false}, // set D
        {52, 0, 0, 0, 0, 0, false, false, false},    // set D (and transfer switch)
        {0, 10, 0x00, 1, 1, 1, true, false, false},  // set A, low nibble 0
        {14, 10, 0xF0, 1, 1, 1, true, false, false}, // high nibble does not count
        {0, 26, 0x01, 1, 0, 0, true, true, true},    // below 27: word 0x0E40
        {0, 26, 0x08, 0, 1, 1, true, true, false},
        {12, 27, 0x02, 0, 1, 0, true, true, true},   // from 27: 0x0E4C or 0x0E4E
        {12, 27, 0x02, 0, 0, 1, true, true, true},
        {12, 27, 0x02, 1, 0, 0, true, true, false},
        {33, 0, 0xFF, 1, 1, 1, false, false, false}, // not a controller
        {55, 0, 0xFF, 1, 1, 1, false, false, false},
    };
    for (const Row &r : rows) {
        MenuInput in = online(r.type, QStringLiteral("Mas"));
        in.ProgramVersion = r.version;
        in.Byte0E15 = r.b0E15;
        in.Word0E40 = r.w0E40;
        in.Word0E4C = r.w0E4C;
        in.Word0E4E = r.w0E4E;
        const MenuStates m = ComputeMenus(in);
        SCOPED_TRACE("T=" + std::to_string(r.type) + " v" + std::to_string(r.version));
        EXPECT_EQ(m[AnalogCAN].Visible, r.analogVisible);
        if (r.analogVisible)
            EXPECT_EQ(m[AnalogCAN].Enabled, r.analogEnabled);
        EXPECT_EQ(m[IstwerteCAN].Enabled, r.canEnabled);
    }
}

TEST(MenuRules, ZuviDezarNeedsControllerAndBit0x20)
{
    struct Row { int type, byte; bool shown; };
    for (const Row &r : {Row{20, 0x20, true}, Row{0, 0xFF, true}, Row{20, 0xDF, false}, Row{35, 0x20, false},
                         Row{33, 0x20, false}}) {
        const MenuInput base = online(r.type, QStringLiteral("Mas"));
        MenuInput in = base;
        in.Byte0C78 = r.byte;
        const MenuItemState s = ComputeMenus(in)[ZuviDezar];
        EXPECT_EQ(s.Visible, r.shown) << r.type << " " << r.byte;
        EXPECT_EQ(s.Enabled, r.shown) << r.type << " " << r.byte;
    }
}

TEST(MenuRules, FactorySettingNeedsFlagConnectionAndIdentification)
{
    struct Row { int flags; bool isOnline, identified, shown; };
    for (const Row &r : {Row{0x02, true, true, true}, Row{0x04, true, true, false}, Row{0x02, false, true, false},
                         Row{0x02, true, false, false}}) {
        MenuInput in = r.isOnline ? online(20, QStringLiteral("00456")) : fromFile(20, QStringLiteral("00456"));
        in.OptionFlags = r.flags;
        in.Identified = r.identified;
        const MenuItemState s = ComputeMenus(in)[Werkseinstellung];
        EXPECT_EQ(s.Visible, r.shown);
        EXPECT_EQ(s.Enabled, r.shown);
    }
}

TEST(MenuRules, CalibrationEntries)
{
    struct Row
    {
        int flags;
        const char *level;
        int type;
        bool isOnline, modem;
        bool visible, simulateVisible, enabled;
    };
    const Row rows[] = {
        {0x04, "Cus", 20, true, false, true, false, true},
        {0x04, "Fac", 35, true, false, true, true, true},
        {0x04, "Cus", 35, true, true, true, true, false},   // modem link: shown, not usable
        {0x04, "Cus", 20, false, false, true, false, false}, // file
        {0x04, "Ser", 20, true, false, false, false, false},
        {0x04, "Mas", 35, true, false, false, false, false},
        {0x04, "Fer", 20, true, false, false, false, false},
        {0x04, "", 20, true, false, false, false, false},  // not identified by a level
        {0x04, "Fer", 35, true, false, false, false, false},
        {0x02, "Cus", 35, true, false, false, false, false},
        {0x04, "Fac", 53, true, false, true, false, true},  // transfer-switch controllers too
    };
    for (const Row &r : rows) {
        MenuInput in = r.isOnline ? online(r.type, QString::fromLatin1(r.level))
                                  : fromFile(r.type, QString::fromLatin1(r.level));
        in.OptionFlags = r.flags;
        in.ModemOnline = r.modem;
        const MenuStates m = ComputeMenus(in);
        SCOPED_TRACE(std::string(r.level) + " T=" + std::to_string(r.type) + " " +
                     describe(m, {Abgleich, UlvaGrundabgleich, AusgangSimulieren}));
        EXPECT_EQ(m[Abgleich].Visible, r.visible);
        EXPECT_EQ(m[UlvaGrundabgleich].Visible, r.visible);
        EXPECT_EQ(m[AusgangSimulieren].Visible, r.simulateVisible);
        EXPECT_EQ(m[Abgleich].Enabled, r.enabled);
        EXPECT_EQ(m[UlvaGrundabgleich].Enabled, r.enabled);
        EXPECT_EQ(m[AusgangSimulieren].Enabled, r.enabled);
    }
}

TEST(MenuRules, LevelDependentServiceEntries)
{
    struct Row
    {
        const char *level;
        int type;
        bool events, service, hours, mains, ram;
    };
    const Row rows[] = {
        {"Ser", 5, true, true, true, false, true},
        {"Ser", 29, false, true, true, false, true}, // set E: no event memory
        // ULVA, VMX, ZNAE: neither the counters, the service values nor the diagnosis block
        {"Ser", 35, true, false, false, false, false},
        {"Ser", 36, true, false, false, false, false},
        {"Cus", 5, true, false, false, false, false},
        {"Cus", 22, false, false, false, false, false},
        {"Mas", 5, false, false, false, true, false},
        {"Fac", 5, false, false, false, false, false},
        {"Fer", 5, false, false, false, false, false},
        {"IDS", 5, false, false, false, false, false},
        {"", 5, false, false, false, false, false},
        {"ser", 5, false, false, false, false, false}, // levels are compared exactly
        {"00456", 5, false, false, false, false, false},
    };
    for (const Row &r : rows) {
        const MenuStates m = ComputeMenus(online(r.type, QString::fromLatin1(r.level)));
        SCOPED_TRACE(std::string("'") + r.level + "' T=" + std::to_string(r.type) + " " +
                     describe(m, {Ereignisse, Service, Betriebsstunden, Netzschutz, RamListe}));
        const std::pair<Id, bool> expect[] = {{Ereignisse, r.events},
                                              {Service, r.service},
                                              {Betriebsstunden, r.hours},
                                              {Netzschutz, r.mains},
                                              {RamListe, r.ram}};
        for (const auto &[id, shown] : expect) {
            EXPECT_EQ(m[id].Visible, shown);
            EXPECT_EQ(m[id].Enabled, shown);
        }
    }
}

TEST(MenuRules, TransferSwitchHidesAllButForMas)
{
    const std::initializer_list<Id> hidden = {IstwerteCAN, BefehleZuviDezar, ZuviDezar,     RamListe,
                                              NetzSpannung, GenSpannung,     Cpu68K,        Datenkoppler,
                                              Modem,        ConvertConfig,   Betriebsstunden};
    for (int type : {52, 53, 54}) {
        for (const char *level : {"Ser", "Cus", ""}) {
            MenuInput in = online(type, QString::fromLatin1(level));
            in.MenuFlags = 0; // "Sonstiges" comes without its flag
            in.Byte0C78 = 0x20;
            const MenuStates m = ComputeMenus(in);
            SCOPED_TRACE(std::string(level) + " T=" + std::to_string(type));
            for (Id id : hidden) {
                EXPECT_FALSE(m[id].Visible) << Name(id).toStdString();
                EXPECT_FALSE(m[id].Enabled) << Name(id).toStdString();
            }
            EXPECT_TRUE(m[Sonstiges].Visible && m[Sonstiges].Enabled);
        }
        MenuInput mas = online(type, QStringLiteral("Mas"));
        mas.MenuFlags = 0x03;
        const MenuStates m = ComputeMenus(mas);
        for (Id id : {NetzSpannung, GenSpannung, Cpu68K, Datenkoppler, Modem})
            EXPECT_TRUE(m[id].Visible && m[id].Enabled) << Name(id).toStdString();
        EXPECT_FALSE(m[Sonstiges].Enabled); // its flag is off
    }
}

TEST(MenuRules, NothingCarriesOverFromAnEarlierDevice)
{
    (void)ComputeMenus(online(52, QStringLiteral("Ser")));
    const MenuStates m = ComputeMenus(online(20, QStringLiteral("Ser")));
    for (Id id : {Cpu68K, Datenkoppler, Modem, NetzSpannung, RamListe, Betriebsstunden})
        EXPECT_TRUE(m[id].Visible) << Name(id).toStdString();
}

TEST(MenuRules, ProgramEntryForLevelFer)
{
    struct Row { const char *level; int type; bool visible, enabled; };
    for (const Row &r : {Row{"Fer", 0, true, true}, Row{"Fer", 54, true, true}, Row{"Fer", 33, true, true},
                         Row{"Fer", 35, true, true}, Row{"Fer", 34, true, false}, Row{"Fer", 36, true, false},
                         Row{"Ser", 0, false, false}, Row{"Mas", 33, false, false}}) {
        const MenuItemState s = ComputeMenus(online(r.type, QString::fromLatin1(r.level)))[Programm];
        EXPECT_EQ(s.Visible, r.visible) << r.level << r.type;
        EXPECT_EQ(s.Enabled, r.enabled) << r.level << r.type;
    }
    EXPECT_FALSE(ComputeMenus(fromFile(0, QStringLiteral("Fer")))[Programm].Enabled);
}

TEST(MenuRules, ProductionNumberNotForVmx)
{
    EXPECT_TRUE(ComputeMenus(online(20))[Fertigungnummer].Enabled);
    EXPECT_TRUE(ComputeMenus(fromFile(37))[Fertigungnummer].Enabled);
    EXPECT_FALSE(ComputeMenus(online(36))[Fertigungnummer].Enabled);
    EXPECT_FALSE(ComputeMenus(fromFile(36))[Fertigungnummer].Enabled);
    MenuInput loadedButNeither = online(20);
    loadedButNeither.Online = false;
    EXPECT_FALSE(ComputeMenus(loadedButNeither)[Fertigungnummer].Enabled);
    EXPECT_FALSE(ComputeMenus(loadedButNeither)[DatenausgabeMenu].Enabled);
}

TEST(MenuRules, CanOpenAnalogForServiceOnPaTypesInEveryState)
{
    for (int type = 0; type <= 56; ++type) {
        const bool pa = type == 8 || type == 9 || type == 10 || type == 25 || type == 26 || type == 27;
        MenuInput closed;
        closed.DeviceType = type;
        closed.Level = QStringLiteral("Ser");
        EXPECT_EQ(ComputeMenus(closed)[CANOpenAnalog].Visible, pa) << type;
        EXPECT_EQ(ComputeMenus(online(type, QStringLiteral("Ser")))[CANOpenAnalog].Visible, pa) << type;
        EXPECT_FALSE(ComputeMenus(online(type, QStringLiteral("Cus")))[CANOpenAnalog].Visible) << type;
    }
}

TEST(MenuRules, PendingAlarmPageAfterReadingAController)
{
    EXPECT_TRUE(ComputeMenus(online(20))[Alarme].Enabled);
    MenuInput fbed = online(20);
    fbed.ProgramIdHasFbed = true;
    EXPECT_FALSE(ComputeMenus(fbed)[Alarme].Visible);
    EXPECT_FALSE(ComputeMenus(online(35))[Alarme].Visible);
    EXPECT_FALSE(ComputeMenus(fromFile(20))[Alarme].Visible);
}

TEST(MenuRules, InputFromTheDeviceImage)
{
    DeviceData d;
    d.State.DeviceType = 12;
    d.State.ImageBase = 0x0800;
    d.Geraet.ProgramVersion = 27;
    d.Geraet.ProgramId = QStringLiteral("Z101 FBED");
    d.Def.MenuFlags = 0x45;
    d.Def.OptionFlags = 0x06;
    d.Def.ClockKind = QStringLiteral("RTC");
    d.Geraet.SetByte(0x0E15 - 0x0800, 0x03);
    d.Geraet.SetWord(0x0E40 - 0x0800, 0x1234);
    d.Geraet.SetWord(0x0E4C - 0x0800, 0x0001);
    d.Geraet.SetWord(0x0E4E - 0x0800, 0x0100);
    d.Geraet.SetByte(0x0C78 - 0x0800, 0x20);
    const MenuInput in = MenuInput::FromDevice(d);
    EXPECT_EQ(in.DeviceType, 12);
    EXPECT_EQ(in.ProgramVersion, 27);
    EXPECT_TRUE(in.ProgramIdHasFbed);
    EXPECT_EQ(in.MenuFlags, 0x45);
    EXPECT_EQ(in.OptionFlags, 0x06);
    EXPECT_TRUE(in.ClockAvailable);
    EXPECT_EQ(in.Byte0E15, 0x03);
    EXPECT_EQ(in.Word0E40, 0x1234);
    EXPECT_EQ(in.Word0E4C, 0x0001);
    EXPECT_EQ(in.Word0E4E, 0x0100);
    EXPECT_EQ(in.Byte0C78, 0x20);

    // Addresses outside the image (a base above them) read as 0.
    d.State.ImageBase = 0x7000;
    const MenuInput outside = MenuInput::FromDevice(d);
    EXPECT_EQ(outside.Byte0E15, 0);
    EXPECT_EQ(outside.Word0E40, 0);
    EXPECT_EQ(outside.Byte0C78, 0);
}

TEST(QtFileFilter, ConvertsWindowsFilters)
{
    struct Row { const char *in, *out; };
    const Row rows[] = {
        {"ZEV 101 (*.101)|*.101", "ZEV 101 (*.101)"},
        {"L-ORN(*.ORN)|*.ORN", "L-ORN (*.ORN)"},
        {"Text|*.txt;*.ans", "Text (*.txt *.ans)"},
        {"A|*.a;;*.b; |B|*.b", "A (*.a *.b);;B (*.b)"},      // empty patterns dropped
        {"Old (*.x)|*.y", "Old (*.y)"},                        // the pattern field decides
        {"*.202|*.202", "*.202 (*.202)"},                      // the save dialog's filter
        {"A|*.a|Trailing", "A (*.a)"},                         // name without patterns
        {"Nothing|;;|A|*.a", "A (*.a)"},
        {"|*.a", "*.a (*.a)"},
        {"", ""},
        {"|", ""},
    };
    for (const Row &r : rows)
        EXPECT_EQ(QtFileFilter(QString::fromUtf8(r.in)), QString::fromUtf8(r.out)) << r.in;
}

TEST(QtFileFilter, ParameterFileFilterOfTheTextTable)
{
    const QString filter = QtFileFilter(GetText(1));
    const QStringList entries = filter.split(QStringLiteral(";;"));
    ASSERT_GE(entries.size(), 3);
    // Every entry is "name (patterns)" with nothing empty in it.
    for (const QString &e : entries) {
        EXPECT_TRUE(e.endsWith(QLatin1Char(')'))) << e.toStdString();
        EXPECT_FALSE(e.contains(QStringLiteral("()"))) << e.toStdString();
        EXPECT_FALSE(e.contains(QStringLiteral("  "))) << e.toStdString();
        EXPECT_EQ(e.count(QLatin1Char('(')), 1) << e.toStdString();
    }
    EXPECT_TRUE(entries.first().contains(QStringLiteral("*.111 *.112"))) << entries.first().toStdString();
    EXPECT_TRUE(entries.contains(QStringLiteral("ZEV 202 (*.202)")));
    EXPECT_TRUE(entries.last().endsWith(QStringLiteral("(*.*)")));
}
