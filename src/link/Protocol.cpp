#include "link/Protocol.h"

const ProtocolEntry *Protocol(int entry)
{
    static const ProtocolEntry kEntries[ProtocolCount] = {
        {QStringLiteral(" 1 9600 PELK/DROS"), QStringLiteral("9600"), false, 0xFE, 1},
        {QStringLiteral(" 2 2400 GNr. (Slave Adresse)"), QStringLiteral("2400"), false, -1, 2},
        {QStringLiteral(" 3 2400 ZEV GNr $70"), QStringLiteral("2400"), false, 0x70, 3},
        {QStringLiteral(" 4 9600 GNr. (Slave Adresse)"), QStringLiteral("9600"), false, -1, 4},
        {QStringLiteral(" 5 9600 über PELK mit Handshake"), QStringLiteral("9600"), true, -1, 5},
        {QStringLiteral("6 19200"), QStringLiteral("19200"), false, -1, 4},
        {QStringLiteral("7 57600"), QStringLiteral("57600"), false, -1, 4},
    };
    return (entry >= 1 && entry <= ProtocolCount) ? &kEntries[entry - 1] : nullptr;
}

int ProtocolSlave(int entry, int settingsSlave)
{
    const ProtocolEntry *p = Protocol(entry);
    if (!p || p->SlaveAddress < 0)
        return settingsSlave;
    return p->SlaveAddress;
}
