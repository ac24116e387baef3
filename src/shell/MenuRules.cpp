#include "shell/MenuRules.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"

namespace MenuEntry {
QString Name(Id id)
{
    static const char *const names[Count] = {
        "Fertigungnummer", "NetzSpannung", "GenSpannung", "Uhrzeit", "ConvertConfig", "AnalogCAN",
        "ZuviDezar", "ParamSchliessen", "IstwerteMenu", "Istwerte", "IstwerteCAN", "Vindel",
        "CANOpenAnalog", "Alarme", "Spannungswaechter", "Eingaenge", "Ausgaenge", "Sonstiges",
        "BefehleZuviDezar", "IstSchliessen", "RamListe", "DatenausgabeMenu", "Modem", "Datenkoppler",
        "Werkseinstellung", "UlvaGrundabgleich", "Abgleich", "AusgangSimulieren", "Service",
        "Betriebsstunden", "Netzschutz", "Ereignisse", "Programm", "Cpu68K"};
    return id >= 0 && id < Count ? QString::fromLatin1(names[id]) : QString();
}
} // namespace MenuEntry

using namespace MenuEntry;

namespace {
int byteAt(const DeviceData &d, int address)
{
    return d.Geraet.GetByte(d.State.IndexOf(address)); // 0 outside the image
}
int wordAt(const DeviceData &d, int address)
{
    return d.Geraet.GetWord(d.State.IndexOf(address));
}
void set(MenuStates &m, Id id, bool visible, bool enabled)
{
    m[id].Visible = visible;
    m[id].Enabled = enabled;
}
} // namespace

MenuInput MenuInput::FromDevice(const DeviceData &data)
{
    MenuInput in;
    in.DeviceType = data.State.DeviceType;
    in.ProgramVersion = data.Geraet.ProgramVersion;
    in.ProgramIdHasFbed = data.Geraet.ProgramId.contains(QLatin1String("FBED"));
    in.MenuFlags = data.Def.MenuFlags;
    in.OptionFlags = data.Def.OptionFlags;
    in.ClockAvailable = !data.Def.ClockKind.isEmpty();
    in.Byte0E15 = byteAt(data, 0x0E15);
    in.Word0E40 = wordAt(data, 0x0E40);
    in.Word0E4C = wordAt(data, 0x0E4C);
    in.Word0E4E = wordAt(data, 0x0E4E);
    in.Byte0C78 = byteAt(data, 0x0C78);
    return in;
}

MenuInput MenuInput::From(const MainController &c)
{
    MenuInput in = FromDevice(c.Data);
    in.ParamsLoaded = c.ParamsLoaded;
    in.Online = c.Online;
    in.OfflineFile = c.OfflineFile;
    in.ModemOnline = c.ModemOnline;
    in.Level = c.Access.Level;
    in.Identified = c.Access.Identified;
    return in;
}

MenuStates StartMenuStates()
{
    MenuStates m; // everything else visible and enabled
    for (Id id : {Fertigungnummer, NetzSpannung, GenSpannung, Uhrzeit, ConvertConfig, IstwerteMenu, Alarme,
                  RamListe, DatenausgabeMenu})
        m[id].Enabled = false;
    for (Id id : {AnalogCAN, ZuviDezar, Werkseinstellung, UlvaGrundabgleich, Abgleich, AusgangSimulieren, Service,
                  Ereignisse, Programm, CANOpenAnalog, Alarme, RamListe})
        m[id].Visible = false; // the service entries appear with the access level that unlocks them
    set(m, Betriebsstunden, false, false);
    set(m, Netzschutz, false, false);
    return m;
}

MenuStates ComputeMenus(const MenuInput &in)
{
    MenuStates m = StartMenuStates();
    const int t = in.DeviceType;
    const QString &level = in.Level;
    const bool isSer = level == Level::Ser;
    const bool isMas = level == Level::Mas;

    if (in.ParamsLoaded) {
        // 1. Pages by the flags of the device type.
        m[ParamSchliessen].Enabled = true;
        m[NetzSpannung].Enabled = in.MenuFlags & 0x01;
        m[GenSpannung].Enabled = in.MenuFlags & 0x02;
        m[Istwerte].Enabled = in.MenuFlags & 0x04;
        m[Eingaenge].Enabled = in.MenuFlags & 0x08;
        m[Ausgaenge].Enabled = in.MenuFlags & 0x10;
        m[Spannungswaechter].Enabled = in.MenuFlags & 0x20;
        m[Sonstiges].Enabled = in.MenuFlags & 0x40;
        m[BefehleZuviDezar].Enabled = in.MenuFlags & 0x80;

        // 2.
        m[Uhrzeit].Enabled = in.ClockAvailable && in.Online;

        // 3. CAN values.
        if (IsControllerType(t)) {
            if (InSetB(t)) {
                m[IstwerteCAN].Enabled = !InSetD(t);
            } else {
                m[AnalogCAN].Visible = true;
                if (in.Byte0E15 & 0x0F) {
                    m[AnalogCAN].Enabled = true;
                    const bool canValues =
                        in.ProgramVersion < 27 ? in.Word0E40 != 0 : (in.Word0E4C != 0 || in.Word0E4E != 0);
                    m[IstwerteCAN].Enabled = canValues;
                } else {
                    m[AnalogCAN].Enabled = false;
                    m[IstwerteCAN].Enabled = false;
                }
            }
        } else {
            m[IstwerteCAN].Enabled = false;
            set(m, AnalogCAN, false, false);
        }

        // 4.
        const bool zuvi = IsControllerType(t) && (in.Byte0C78 & 0x20);
        set(m, ZuviDezar, zuvi, zuvi);

        // 5.
        const bool factory = (in.OptionFlags & 0x02) && in.Online && in.Identified;
        set(m, Werkseinstellung, factory, factory);

        // 6. Calibration.
        if ((in.OptionFlags & 0x04) && (level == Level::Cus || level == Level::Fac)) {
            const bool usable = in.Online && !in.ModemOnline;
            set(m, Abgleich, true, usable);
            set(m, UlvaGrundabgleich, true, usable);
            set(m, AusgangSimulieren, t == 35, usable);
        } else {
            set(m, Abgleich, false, false);
            set(m, UlvaGrundabgleich, false, false);
            set(m, AusgangSimulieren, false, false);
        }

        // 7.
        set(m, Netzschutz, isMas, isMas);

        // 8. Service level.
        const bool events = !InSetE(t);
        if (isSer) {
            set(m, Ereignisse, events, events);
            // The counters and service values sit at fixed controller addresses: other
            // devices have none there.
            const bool counters = IsControllerType(t);
            set(m, Service, counters, counters);
            set(m, Betriebsstunden, counters, counters);
            set(m, Netzschutz, false, false);
            // The diagnosis block sits at fixed controller addresses, like the counters.
            set(m, RamListe, counters, counters);
        } else {
            set(m, Ereignisse, false, false);
            set(m, Service, false, false);
            set(m, Betriebsstunden, false, false);
            set(m, RamListe, false, false);
            if (level == Level::Cus)
                set(m, Ereignisse, events, events);
        }

        // 9. Transfer-switch controllers keep the full menu only for "Mas".
        if (IsTransferSwitchType(t) && !isMas) {
            for (Id id : {IstwerteCAN, BefehleZuviDezar, ZuviDezar, RamListe, NetzSpannung, GenSpannung, Cpu68K,
                          Datenkoppler, Modem, ConvertConfig, Betriebsstunden})
                set(m, id, false, false);
            set(m, Sonstiges, true, true);
        }

        // 10.
        if (level == Level::Fer)
            set(m, Programm, true, IsControllerType(t) || IsCompactType(t) || t == 35);
        else
            set(m, Programm, false, false);

        // 11. The production number of a VMX is not set from here.
        const bool haveData = in.OfflineFile || in.Online;
        m[DatenausgabeMenu].Enabled = haveData;
        m[Fertigungnummer].Enabled = haveData && t != 36;

        // The conversion works on data loaded from a file; a device read ends it.
        if (m[ConvertConfig].Visible)
            m[ConvertConfig].Enabled = in.OfflineFile;

        // The pending-alarm page is offered once a controller has been read, unless it is
        // one of the FBED controllers.
        m[Alarme].Visible = m[Alarme].Enabled = in.Online && IsControllerType(t) && !in.ProgramIdHasFbed;

        // 12. A file has no live values.
        if (in.OfflineFile) {
            for (Id id : {IstwerteMenu, Istwerte, IstwerteCAN, Vindel, CANOpenAnalog, Alarme, Spannungswaechter,
                          Eingaenge, Ausgaenge, Sonstiges, BefehleZuviDezar, IstSchliessen, RamListe, Abgleich,
                          Service, Betriebsstunden, Programm, UlvaGrundabgleich})
                m[id].Enabled = false;
        } else {
            m[IstwerteMenu].Enabled = true;
        }
    }

    m[CANOpenAnalog].Visible = isSer && IsPaType(t);
    return m;
}

QString QtFileFilter(const QString &windowsFilter)
{
    const QStringList fields = windowsFilter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < fields.size(); i += 2) {
        QStringList patterns;
        for (const QString &p : fields[i + 1].split(QLatin1Char(';'))) {
            const QString trimmed = p.trimmed();
            if (!trimmed.isEmpty())
                patterns << trimmed;
        }
        if (patterns.isEmpty())
            continue;
        QString name = fields[i].trimmed();
        if (name.endsWith(QLatin1Char(')'))) {
            const int open = name.lastIndexOf(QLatin1Char('('));
            if (open >= 0)
                name = name.left(open).trimmed();
        }
        if (name.isEmpty())
            name = patterns.join(QLatin1Char(' '));
        entries << name + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}
