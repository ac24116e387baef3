#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "shell/AnsiCodec.h"
#include "shell/DataDir.h"
#include "shell/Prompter.h"
#include <QDate>
#include <QLocale>

namespace {

QString g_dateFormat;

bool In(int type, std::initializer_list<int> set)
{
    for (int t : set)
        if (t == type)
            return true;
    return false;
}

bool InRange(int type, int lo, int hi) { return type >= lo && type <= hi; }

const QString kVmxProgramId = QStringLiteral("VMX       ");

// Bytes of the second answer beyond what arrived read as 0.
int AnswerByte(const quint8 *answer, int length, int i)
{
    return (answer && i >= 0 && i < length) ? answer[i] : 0;
}

int BlockWord(const TGeraet &g, int i) { return g.IdentBlock[size_t(i)] * 256 + g.IdentBlock[size_t(i) + 1]; }

QString Padded(long long value, int width) { return QString::number(value).rightJustified(width, QLatin1Char('0')); }

QString HexWord(int value) { return QString::number(value, 16).toUpper(); }

// Texts from the device end up in file names: a separator or zero byte in them must not
// lead the lookup into another folder.
QString SafeFileName(QString name)
{
    for (QChar &c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QChar(0))
            c = QLatin1Char('_');
    return name;
}

void FinishAccessCode(DeviceData &d) { d.State.AccessCode = d.State.AccessCode.rightJustified(4, QLatin1Char('0')); }

IdentifyResult Done(DeviceData &d)
{
    FinishAccessCode(d);
    d.Identified = true;
    IdentifyResult r;
    r.kind = IdentifyResult::Identified;
    return r;
}

IdentifyResult Second(DeviceData &d, int address, int count)
{
    FinishAccessCode(d);
    IdentifyResult r;
    r.kind = IdentifyResult::NeedsSecondRequest;
    r.address = address;
    r.count = count;
    return r;
}

IdentifyResult Fail(Prompter &prompter)
{
    prompter.error(DateConversionErrorText());
    return IdentifyResult();
}

QString ProtectionText(int protection)
{
    QString t;
    if (protection & 0x03)
        t += QStringLiteral("U ");
    if (protection & 0x0C)
        t += QStringLiteral("F ");
    if (protection & 0x20)
        t += QStringLiteral("V ");
    return t;
}

IdentifyResult IdentifyStep2(DeviceData &d, const quint8 *answer, int length, Prompter &prompter)
{
    TGeraet &g = d.Geraet;
    if (d.State.DeviceType == 34) {
        g.ProgramId = Padded(AnswerByte(answer, length, 0), 3);
        g.ProgramVersion = AnswerByte(answer, length, 1);
        if (!FormatDeviceDate(AnswerByte(answer, length, 2), AnswerByte(answer, length, 3),
                              AnswerByte(answer, length, 4), &g.ProgramDate))
            return Fail(prompter);
        return Done(d);
    }
    if (d.State.DeviceType == 37) {
        d.ProtectionText = ProtectionText(AnswerByte(answer, length, 0));
        d.State.MainsFactor = AnswerByte(answer, length, 1);
        return Done(d);
    }
    // No second request was asked for this device.
    return IdentifyResult();
}

IdentifyResult IdentifyCompactStw(DeviceData &d, bool fromFile, Prompter &prompter)
{
    TGeraet &g = d.Geraet;
    d.State.ModelPattern = QStringLiteral("*.STW");
    TypeFromPattern(d, prompter);
    d.State.AccessCode = HexWord(BlockWord(g, 16));
    g.FNumber = Padded(BlockWord(g, 18), 5);
    // Old units leave the production date unset; that alone does not stop identification.
    if (!FormatDeviceDate(g.IdentBlock[20], g.IdentBlock[21], g.IdentBlock[22], &g.FDate))
        g.FDate.clear();
    const int idByte = g.GetByte(0xA0);
    if (idByte == 0 || idByte == 255) {
        g.ProgramId = Padded(g.IdentBlock[23], 3);
        g.ProgramVersion = g.IdentBlock[24];
        if (!FormatDeviceDate(g.IdentBlock[25], g.IdentBlock[26], g.IdentBlock[27], &g.ProgramDate))
            g.ProgramDate = QStringLiteral("1.1.1928");
    } else {
        g.ProgramId = Padded(idByte, 3);
        g.ProgramVersion = g.GetByte(0xA1);
        const bool valid = FormatDeviceDate(g.GetByte(0xA2), g.GetByte(0xA3), g.GetByte(0xA4), &g.ProgramDate);
        // A connected device answers the second request with the current identification,
        // so a stale image from an earlier device must not stop it here.
        if (!valid && fromFile)
            return Fail(prompter);
    }
    if (fromFile) {
        if (!d.State.VmxMode)
            for (int k = 0; k < 16; ++k)
                g.SetByte(0x100 + k, g.IdentBlock[size_t(16 + k)]);
        return Done(d);
    }
    return Second(d, 0x01A0, 8);
}

IdentifyResult IdentifyOther(DeviceData &d, bool fromFile, Prompter &prompter)
{
    TGeraet &g = d.Geraet;
    // The type before this identification: a ZNAE file is known by its extension.
    const bool wasZnae = d.State.DeviceType == 37;
    d.State.ModelPattern.clear();
    QByteArray id;
    for (int k = 0; k < 10; ++k)
        id.append(char(g.IdentBlock[size_t(k)]));
    g.ProgramId = Ansi::decode1252(id);
    g.ProgramVersion = g.IdentBlock[11];
    if (!FormatDeviceDate(g.IdentBlock[13], g.IdentBlock[14], g.IdentBlock[15], &g.ProgramDate))
        return Fail(prompter);
    if (!FormatDeviceDate(g.IdentBlock[20], g.IdentBlock[21], g.IdentBlock[22], &g.FDate))
        return Fail(prompter);
    g.FNumber = Padded(BlockWord(g, 18), 5);
    d.State.AccessCode = DefaultAccessCode();

    if (wasZnae || g.ProgramId.contains(QLatin1String("ZNAE"))) {
        d.State.ModelPattern = QStringLiteral("*.NAE");
        TypeFromPattern(d, prompter);
        if (!fromFile)
            return Second(d, 0x017E, 2);
        d.ProtectionText = ProtectionText(g.GetByte(0x7E));
        d.State.MainsFactor = g.GetByte(0x7F);
        return Done(d);
    }

    const int from = g.ProgramId.contains(QLatin1String("L-ORN")) ? 2 : 1;
    d.State.ModelPattern = QStringLiteral("*.") + g.ProgramId.mid(from, 3);
    TypeFromPattern(d, prompter);
    const int type = d.State.DeviceType;
    if (IsControllerType(type)) {
        d.State.MainsFactor = g.GetByte(d.State.IndexOf(0x080C));
        d.State.GenFactor = g.GetByte(d.State.IndexOf(0x080D));
        d.OrderNumber = g.IdentBlock[23] * 65536 + g.IdentBlock[16] * 256 + g.IdentBlock[17];
        d.State.AccessCode = QString::number(g.GetWord(d.State.IndexOf(0x080A)));
    }
    d.State.AccessCode = d.State.AccessCode.rightJustified(5, QLatin1Char('0'));
    if (IsCompactType(type))
        d.State.AccessCode = HexWord(BlockWord(g, 16));
    else if (type == 38)
        // Identification from the block takes index 11; the complete read takes index 10
        // afterwards, so a connected device ends with the word the read delivered.
        d.State.AccessCode = QString::number(g.GetWord(11));
    return Done(d);
}

} // namespace

const QStringList &ExtensionTable()
{
    static const QStringList table = {
        QStringLiteral(".101"), QStringLiteral(".102"), QStringLiteral(".111"), QStringLiteral(".112"),
        QStringLiteral(".201"), QStringLiteral(".202"), QStringLiteral(".211"), QStringLiteral(".212"),
        QStringLiteral(".251"), QStringLiteral(".252"), QStringLiteral(".291"), QStringLiteral(".292"),
        QStringLiteral(".293"), QStringLiteral(".aaa"), QStringLiteral(".1ZE"), QStringLiteral(".2ZE"),
        QStringLiteral(".STW"), QStringLiteral(".ULV"), QStringLiteral(".VMX"), QStringLiteral(".NAE"),
        QStringLiteral(".IW#"), QStringLiteral(".IW3"), QStringLiteral(".GRW"), QStringLiteral(".VDS"),
        QStringLiteral(".MS3"), QStringLiteral(".711"), QStringLiteral(".WK1"), QStringLiteral(".WK2"),
        QStringLiteral(".LRE"), QStringLiteral(".SY0"), QStringLiteral(".LRM"), QStringLiteral(".IW0"),
        QStringLiteral(".ZLR"), QStringLiteral(".ORN")};
    return table;
}

QString PatternExtension(const QString &pattern)
{
    const int dot = pattern.lastIndexOf(QLatin1Char('.'));
    const int sep = qMax(pattern.lastIndexOf(QLatin1Char('/')), pattern.lastIndexOf(QLatin1Char('\\')));
    return dot > sep ? pattern.mid(dot) : QString();
}

bool IsControllerType(int t) { return InRange(t, 0, 31) || InRange(t, 52, 54); }
bool IsCompactType(int t) { return t == 32 || t == 33; }
bool IsSplErsyType(int t) { return In(t, {5, 6, 23, 24}); }
bool IsPaType(int t) { return In(t, {8, 9, 10, 25, 26, 27}); }
bool IsTransferSwitchType(int t) { return InRange(t, 52, 54); }
bool InSetA(int t) { return In(t, {0, 1, 2, 3, 4, 12, 14}); }
bool InSetB(int t) { return InRange(t, 5, 11) || t == 13 || InRange(t, 15, 31) || InRange(t, 52, 54); }
bool InSetC(int t) { return In(t, {17, 18, 20, 21, 29, 30, 31, 52}); }
bool InSetD(int t) { return InRange(t, 14, 18) || In(t, {20, 21, 22, 52, 53, 54}); }
bool InSetE(int t) { return InRange(t, 14, 18) || In(t, {20, 21, 22, 29, 30, 31}); }
bool InSetF(int t) { return InRange(t, 15, 18) || In(t, {20, 21, 22}); }

void TypeFromPattern(DeviceData &d, Prompter &prompter)
{
    const QString ext = PatternExtension(d.State.ModelPattern);
    if (ext.isEmpty()) {
        d.State.DeviceType = 55;
        return;
    }
    const int entry = int(ExtensionTable().indexOf(ext));
    if (entry < 0) {
        prompter.error(QStringLiteral("Der Gerätetyp ist im Mirelo nicht vorhanden!"));
        return;
    }
    const QString &id = d.Geraet.ProgramId;
    auto has = [&id](const char *name) { return id.contains(QLatin1String(name)); };
    int &type = d.State.DeviceType;
    // Variant names are tried in this order; the first found decides.
    auto pick = [&](std::initializer_list<std::pair<const char *, int>> variants) {
        for (const auto &v : variants)
            if (has(v.first)) {
                type = v.second;
                return;
            }
    };
    switch (entry) {
    case 0: type = has("Z101-FBED") ? 1 : 0; break;
    case 1: type = 2; break;
    case 2: type = 3; break;
    case 3: type = 4; break;
    case 4: pick({{"Z201 FBED", 7}, {"Z201 SPL03", 5}, {"Z201 ERSY3", 6}}); break;
    case 5:
        if (has("Z202 FBED"))
            type = 11;
        else if (has("Z202 INSL"))
            type = d.Geraet.ProgramVersion < 30 ? 13 : 12;
        else
            pick({{"Z202 PA003", 8}, {"Z202 PA004", 9}, {"Z202 PAHSY", 10}});
        break;
    case 6: pick({{"Z211-41N", 14}, {"Z211-71N", 15}, {"Z211-71SPL", 16}, {"Z211 NP", 17}, {"Z211 NC", 18}}); break;
    case 7:
        if (has("Z212 NP"))
            type = 20;
        else if (has("Z212 NC"))
            type = 21;
        else
            type = has("Z212-72 PA") ? 22 : 19;
        break;
    case 8: pick({{"Z251 SPL03", 23}, {"Z251 ERSY3", 24}}); break;
    case 9: pick({{"Z252 INSL", 28}, {"Z252 PA004", 26}, {"Z252 PAHSY", 27}}); break;
    case 10: type = 29; break;
    case 11: type = 30; break;
    case 12: type = 31; break;
    case 13: type = 41; break;
    case 14: type = 32; break;
    case 15: type = 33; break;
    case 16: type = 34; break;
    case 17: type = 35; break;
    case 18: type = 36; break;
    case 19: type = 37; break;
    case 20: type = 38; break;
    case 21: type = 42; break;
    case 22: type = 43; break;
    case 23: type = 44; break;
    case 24: type = 45; break;
    case 25: type = 46; break;
    case 26: type = 47; break;
    case 27: type = 48; break;
    case 28: type = 49; break;
    case 29: break; // ".SY0" keeps the type it had
    case 30: type = 51; break;
    case 31: type = 39; break;
    case 32: type = 40; break;
    case 33:
        if (has("L-ORN S"))
            type = 53;
        else
            type = has("L-ORN U") ? 54 : 52;
        break;
    default: break;
    }
}

int YearFromByte(int y)
{
    const int year = 1900 + y;
    return year < 1980 ? 2000 + y : year;
}

void SetDateFormat(const QString &format) { g_dateFormat = format; }

QString DateFormat()
{
    return g_dateFormat.isEmpty() ? QLocale::system().dateFormat(QLocale::ShortFormat) : g_dateFormat;
}

bool FormatDeviceDate(int day, int month, int yearByte, QString *out)
{
    const QDate date(YearFromByte(yearByte), month, day);
    if (!date.isValid())
        return false;
    if (out)
        *out = QLocale::system().toString(date, DateFormat());
    return true;
}

// Devices without a code of their own get this one; service staff know it from the manual.
QString DefaultAccessCode() { return QStringLiteral("1234"); }

IdentifyResult IdentifyDevice(DeviceData &d, int step, const quint8 *answer, int answerLength, bool fromFile,
                              Prompter &prompter)
{
    if (step == 2)
        return IdentifyStep2(d, answer, answerLength, prompter);

    TGeraet &g = d.Geraet;
    d.Identified = false;
    d.ProtectionText.clear();
    d.OrderNumber = 0;

    // A VMX file is known by its own extension: a folder name such as "Kunde.vmx-alt"
    // says nothing about the files in it.
    if (BlockWord(g, 0) == 0x0192 || PatternExtension(d.State.ModelPattern) == QLatin1String(".VMX")) {
        d.State.ModelPattern = QStringLiteral("*.VMX");
        TypeFromPattern(d, prompter);
        d.State.VmxMode = true;
        g.ProgramId = kVmxProgramId;
        g.ProgramDate.clear();
        g.FNumber.clear();
        g.ProgramVersion = 0;
        d.State.AccessCode = DefaultAccessCode();
        return Done(d);
    }
    if (g.IdentBlock[0] == 0)
        return IdentifyCompactStw(d, fromFile, prompter);
    return IdentifyOther(d, fromFile, prompter);
}

QString VersionSuffix(int type, int v)
{
    auto s = [](const char *t) { return QString::fromLatin1(t); };
    if (type == 5 || type == 23) {
        if (v <= 5) return s("_v5");
        if (v <= 8) return s("_v8");
        if (v <= 12) return s("_v12");
        if (v == 13) return s("_v13");
        if (v == 14) return s("_v14");
        if (v <= 16) return s("_v16");
        return QString();
    }
    if (type == 6 || type == 24) {
        if (v <= 5) return s("_v5");
        if (v <= 12) return s("_v12");
        if (v <= 16) return s("_v16");
        return QString();
    }
    if (type == 13 || type == 28) {
        if (v <= 12) return s("_v12");
        if (v <= 16) return s("_v16");
        return QString();
    }
    if (type == 9 || type == 10 || type == 26 || type == 27) {
        if (v <= 8) return s("_v8");
        if (v <= 10) return s("_v10");
        if (v == 11) return s("_v11");
        if (v <= 13) return s("_v13");
        return QString();
    }
    if (type == 52 && v <= 2)
        return v == 2 ? s("_v2") : QString();
    // The older table of the plain L-ORN ends at version 2. From version 3 on it follows
    // the rule of its family (the 53 and 54 files): a definition is always looked for by
    // the device's own name, never borrowed from the device shown before.
    if (IsTransferSwitchType(type)) {
        if (v <= 2) return s("_v2");
        if (v == 3) return s("_v3");
        if (v <= 5) return s("_v5");
        return QString();
    }
    return QString();
}

bool SelectDefinition(DeviceData &d, Prompter &prompter)
{
    d.State.ModelPattern = d.State.ModelPattern.toUpper();
    TypeFromPattern(d, prompter);
    if (d.State.DeviceType == 34) {
        d.State.DefinitionFile = DataDir::resolve(
            QStringLiteral("ZPA\\") + SafeFileName(QStringLiteral("A70-") + d.Geraet.ProgramId + d.LanguageSuffix + QStringLiteral(".ZPA")));
    } else if (d.State.DeviceType == 36) {
        d.Geraet.ProgramId = kVmxProgramId;
        d.State.VmxMode = true;
    }
    d.Def.MessageFile = d.State.DefinitionFile;
    return OpenModelDefinition(d, prompter);
}

bool OpenModelDefinition(DeviceData &d, Prompter &prompter)
{
    DefinitionTables &def = d.Def;
    def.DefinitionLoaded = false;
    const int type = d.State.DeviceType;
    const QString name = (type == 34 ? QStringLiteral("A70-") : QString()) + d.Geraet.ProgramId + d.LanguageSuffix
                         + VersionSuffix(type, d.Geraet.ProgramVersion) + QStringLiteral(".ZPA");
    d.State.DefinitionFile = DataDir::resolve(QStringLiteral("ZPA\\") + SafeFileName(name));
    if (!OpenDefinition(d, d.State.DefinitionFile, prompter))
        return false;
    return ApplyTypeSettings(d);
}

bool ApplyTypeSettings(DeviceData &d)
{
    DefinitionTables &def = d.Def;
    const int type = d.State.DeviceType;
    TypeSettings ts;
    if (!ParseTypeSettings(def.TypLines, &ts))
        return false;
    def.DefinitionLoaded = true;
    d.State.BasePage = def.TypLines.value(2);
    d.State.ImageBase = ts.BasePage * 256;
    def.MenuFlags = ts.MenuFlags & 0xFF;
    def.OptionFlags = ts.OptionFlags;
    d.State.PageCount = ts.PageCount;
    def.ClockKind = ts.ClockKind;
    def.VindelOption = IsControllerType(type) && d.Geraet.ProgramVersion > 8;
    return true;
}

void TakeControllerSettings(DeviceData &d)
{
    DeviceState &s = d.State;
    if (!IsControllerType(s.DeviceType))
        return;
    s.AccessCode = QString::number(d.Geraet.GetWord(s.IndexOf(0x080A))).rightJustified(5, QLatin1Char('0'));
    s.MainsFactor = d.Geraet.GetByte(s.IndexOf(0x080C));
    s.GenFactor = d.Geraet.GetByte(s.IndexOf(0x080D));
}
