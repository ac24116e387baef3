#include "monitor/DeviceInfo.h"
#include "device/Catalogue.h"
#include "device/DeviceData.h"
#include "shell/Texts.h"

QString SpecialSoftwareName(const DeviceData &d)
{
    // The identification block is 48 bytes long (0..47); what lies behind it is not the name.
    constexpr int First = 33;
    constexpr int Last = 47;
    QString name;
    for (int k = First; k <= Last; ++k) {
        const quint8 b = d.Geraet.IdentBlock[size_t(k)];
        if (b == 0 || b == 255)
            break;
        name += QChar::fromLatin1(char(b));
    }
    return name;
}

QStringList DeviceInfoLines(const DeviceData &d, bool showIdent)
{
    const TGeraet &g = d.Geraet;
    const int t = d.State.DeviceType;
    QStringList lines;
    lines << d.Def.TypLines.value(0);
    lines << QStringLiteral("F-Number ") + g.FNumber;
    lines << QStringLiteral("F-Date ") + g.FDate;
    QString version = QStringLiteral("PrgVersion ") + QString::number(g.ProgramVersion);
    if (IsControllerType(t) && g.IdentBlock[12] != 0)
        version += QChar::fromLatin1(char(g.IdentBlock[12]));
    lines << version;
    QString type = QStringLiteral("PrgType ") + g.ProgramId;
    if (g.ProgramId.contains(QLatin1String("ZNAE")))
        type += QLatin1Char(' ') + d.ProtectionText;
    lines << type;
    lines << QStringLiteral("PrgDate ") + g.ProgramDate;
    if (d.OrderNumber != 0)
        lines << QStringLiteral("Order ") + QString::number(d.OrderNumber);
    if (showIdent)
        lines << (IsControllerType(t) ? QStringLiteral("PIN ") : QStringLiteral("Ident ")) + d.State.AccessCode;
    if (g.IdentBlock[33] != 0 && g.IdentBlock[33] != 255) {
        lines << GetText(178);
        lines << SpecialSoftwareName(d);
    }
    return lines;
}
