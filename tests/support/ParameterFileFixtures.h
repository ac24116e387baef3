#pragma once
// Parameter files and definitions made up by the tests themselves: a ZEV 101 controller
// ("Z101 TEST ", no version suffix in its definition name) and a ZEV 071 - 083.
#include <QByteArray>
#include <QFile>
#include <QString>

namespace Fixture {

inline const char *const kProgramId = "Z101 TEST ";

// Definition of the test controller: base page 8, `pages` pages.
inline QString ControllerDefinition(int pages = 32, int basePage = 8)
{
    return QStringLiteral("TypStart:\n"
                          "Z101 Testgerät\n"
                          "$07\n"
                          "%1\n"
                          "2\n"
                          "%2\n"
                          "1\n"
                          "TypEnd:\n"
                          "ParaStart:\n"
                          "+++ Generator +++*0000;0;;;\n"
                          "  Nennspannung*0810;3;0;600;V\n"
                          "  Anzahl Versuche*0812;9;1;5;\n"
                          "  Kennwort*0820;1;0;0;\n"
                          "+++ Schutz +++*0000;0;;;#3\n"
                          "  Sperre aktiv*0830;10;0;1;\n"
                          "  Drehzahl*0840;5;0;3000;1/min\n"
                          "ParaEnd:\n")
        .arg(basePage)
        .arg(pages);
}
inline QString ControllerDefinitionName() { return QStringLiteral("Z101 TEST -DE.ZPA"); }

// A controller file: `pages` pages of a recognisable pattern, then the identification.
inline QByteArray ControllerFile(int pages = 32, int version = 11, const char *programId = kProgramId)
{
    QByteArray bytes(pages * 256 + 48, '\0');
    for (int i = 0; i < pages * 256; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    char *id = bytes.data() + pages * 256;
    for (int k = 0; k < 10; ++k)
        id[k] = programId[k];
    id[11] = char(version);
    id[12] = ' ';
    id[13] = 1;   // program date 1.6.2005
    id[14] = 6;
    id[15] = 105;
    id[16] = 0x01; // order number, middle and low byte
    id[17] = 0x02;
    id[18] = 0x30; // production number 0x3039 = 12345
    id[19] = 0x39;
    id[20] = 2;   // production date 2.3.1999
    id[21] = 3;
    id[22] = 99;
    id[23] = 0x00;
    return bytes;
}

// Definition of the ZEV 071 - 083 with program number 071.
inline QString StwDefinition()
{
    return QStringLiteral("TypStart:\n"
                          "ZEV 071\n"
                          "0\n"
                          "0\n"
                          "0\n"
                          "1\n"
                          "1\n"
                          "TypEnd:\n"
                          "ParaStart:\n"
                          "+++ Allgemein +++*0000;0;;;\n"
                          "  Wert*0010;9;0;255;\n"
                          "ParaEnd:\n");
}
inline QString StwDefinitionName() { return QStringLiteral("A70-071-DE.ZPA"); }

// 272 bytes: image 0..255, identification bytes 16..31 at 256..271.
inline QByteArray StwFile()
{
    QByteArray bytes(272, '\0');
    for (int i = 0; i < 256; ++i)
        bytes[i] = char((i * 5 + 1) & 0xFF);
    bytes[0xA0] = 0; // program identification from the block
    char *id = bytes.data() + 256 - 16; // id[k] is identification byte k
    id[16] = 0x12;
    id[17] = 0x34;
    id[18] = 0x00;
    id[19] = 0x2A;
    id[20] = 4;
    id[21] = 5;
    id[22] = 90;
    id[23] = 71; // program number
    id[24] = 3;  // version
    id[25] = 7;
    id[26] = 8;
    id[27] = 91;
    id[31] = 0x5A;
    return bytes;
}

inline bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace Fixture
