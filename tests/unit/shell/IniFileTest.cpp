#include "support/TestEnvironment.h"
#include "shell/IniFile.h"
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <csignal>
#include <gtest/gtest.h>
#include <random>
#include <sys/resource.h>

namespace
{

IniFile fromBytes(const QByteArray &bytes)
{
    IniFile ini;
    ini.LoadFromBytes(bytes);
    return ini;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray();
    return f.readAll();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}


const QByteArray kSample = "; settings of the test bench\r\n"
                           "[Ini]\r\n"
                           "Sprache=eng\r\n"
                           "  Zeile1 =  M\xFCller \"GmbH\"  \r\n"
                           "; comment inside\r\n"
                           "\r\n"
                           "[Com]\r\n"
                           "Port=/dev/ttyUSB0\r\n"
                           "EGNR=$D1\r\n"
                           "Unbekannt=a=b;c\r\n"
                           "line without separator\r\n"
                           "\r\n"
                           "[Eigenes]\r\n"
                           "Mein Schluessel=Wert mit  Blanks\r\n";

} // namespace

TEST(IniFile, LookupIsCaseInsensitiveAndTrimsNames)
{
    const IniFile ini = fromBytes(kSample);
    struct Case {
        const char *section, *key, *expected;
    };
    const Case cases[] = {
        {"Com", "EGNR", "$D1"},
        {"com", "egnr", "$D1"},
        {"COM", "Egnr", "$D1"},
        {" Com ", " EGNR\t", "$D1"},
        {"eigenes", "MEIN SCHLUESSEL", "Wert mit  Blanks"},
        {"Com", "Unbekannt", "a=b;c"},
        {"Com", "Port", "/dev/ttyUSB0"},
        {"Com", "line without separator", "default"},
        {"Com", "Sprache", "default"},
        {"Nirgends", "Port", "default"},
        {"Com", "", "default"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(
            ini.ReadString(QString::fromUtf8(c.section), QString::fromUtf8(c.key), QStringLiteral("default")),
            QString::fromUtf8(c.expected))
            << c.section << "/" << c.key;
    EXPECT_TRUE(ini.SectionExists(QStringLiteral("INI")));
    EXPECT_TRUE(ini.ValueExists(QStringLiteral("ini"), QStringLiteral("sprache")));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("Modem")));
    EXPECT_EQ(ini.ReadSections(),
              QStringList({QStringLiteral("Ini"), QStringLiteral("Com"), QStringLiteral("Eigenes")}));
}

TEST(IniFile, ValuesAreVerbatimApartFromOuterBlanks)
{
    const IniFile ini = fromBytes("[S]\n"
                                  "a =  x  y \t\n"
                                  "b=\"quoted\"\n"
                                  "c=AT\\N0 E0 Q0 +ms=v34\n"
                                  "d=value ; not a comment\n"
                                  "e=\n"
                                  "f=\xA0nbsp\xA0\n");
    const QString s = QStringLiteral("S");
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("a"), QString()), QStringLiteral("x  y"));
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("b"), QString()), QStringLiteral("\"quoted\""));
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("c"), QString()), QStringLiteral("AT\\N0 E0 Q0 +ms=v34"));
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("d"), QString()), QStringLiteral("value ; not a comment"));
    // Present but empty is not missing.
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("e"), QStringLiteral("def")), QString());
    // Only blanks and tabs are trimmed; a no-break space belongs to the value.
    EXPECT_EQ(ini.ReadString(s, QStringLiteral("f"), QString()), QStringLiteral("\u00A0nbsp\u00A0"));
}

TEST(IniFile, AllLineEndsParseAlike)
{
    struct Case {
        const char *name;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"LF", "[A]\nk=1\n[B]\nk=2\n"},
        {"CRLF", "[A]\r\nk=1\r\n[B]\r\nk=2\r\n"},
        {"CR", "[A]\rk=1\r[B]\rk=2\r"},
        {"mixed, no final end", "[A]\r\nk=1\r[B]\nk=2"},
    };
    for (const Case &c : cases) {
        const IniFile ini = fromBytes(c.bytes);
        EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k"), QString()), QStringLiteral("1"))
            << c.name;
        EXPECT_EQ(ini.ReadString(QStringLiteral("B"), QStringLiteral("k"), QString()), QStringLiteral("2"))
            << c.name;
        EXPECT_EQ(ini.ToBytes(), QByteArray("[A]\r\nk=1\r\n[B]\r\nk=2\r\n")) << c.name;
    }
}

TEST(IniFile, UntouchedFileIsWrittenBackByteForByte)
{
    EXPECT_EQ(fromBytes(kSample).ToBytes(), kSample);
}

TEST(IniFile, WritingAnExistingKeyKeepsItsSpellingAndPlace)
{
    IniFile ini = fromBytes(kSample);
    ini.WriteString(QStringLiteral("COM"), QStringLiteral("egnr"), QStringLiteral("$37"));
    ini.WriteString(QStringLiteral("ini"), QStringLiteral("zeile1"), QStringLiteral("Neu"));
    QByteArray expected = kSample;
    expected.replace("EGNR=$D1", "EGNR=$37");
    expected.replace("  Zeile1 =  M\xFCller \"GmbH\"  ", "Zeile1=Neu");
    EXPECT_EQ(ini.ToBytes(), expected);
}

TEST(IniFile, NewKeysGoToTheEndOfTheirSectionBeforeTheSeparatingBlankLine)
{
    IniFile ini = fromBytes("[A]\r\nx=1\r\n\r\n\r\n[B]\r\ny=2\r\n");
    ini.WriteString(QStringLiteral("a"), QStringLiteral("Neu"), QStringLiteral("3"));
    ini.WriteInteger(QStringLiteral("B"), QStringLiteral("Zahl"), -12);
    ini.WriteBool(QStringLiteral("C"), QStringLiteral("An"), true);
    ini.WriteBool(QStringLiteral("C"), QStringLiteral("Aus"), false);
    EXPECT_EQ(ini.ToBytes(), QByteArray("[A]\r\nx=1\r\nNeu=3\r\n\r\n\r\n"
                                        "[B]\r\ny=2\r\nZahl=-12\r\n\r\n"
                                        "[C]\r\nAn=1\r\nAus=0\r\n"));
}

TEST(IniFile, FirstOccurrenceWinsForRepeatedKeysAndSections)
{
    IniFile ini = fromBytes("[S]\nk=first\nK=second\n[T]\nz=1\n[s]\nk=third\nonly=late\n");
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("k"), QString()), QStringLiteral("first"));
    // A key only in the repeated block is still found.
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("only"), QString()), QStringLiteral("late"));
    EXPECT_EQ(ini.ReadSection(QStringLiteral("s")),
              QStringList({QStringLiteral("k"), QStringLiteral("only")}));
    EXPECT_EQ(ini.ReadSections(), QStringList({QStringLiteral("S"), QStringLiteral("T")}));

    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), QStringLiteral("new"));
    EXPECT_EQ(ini.ToBytes(),
              QByteArray("[S]\r\nk=new\r\nK=second\r\n[T]\r\nz=1\r\n[s]\r\nk=third\r\nonly=late\r\n"));

    ini.DeleteKey(QStringLiteral("S"), QStringLiteral("k"));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("S"), QStringLiteral("k")));
    EXPECT_TRUE(ini.ValueExists(QStringLiteral("S"), QStringLiteral("only")));

    ini.EraseSection(QStringLiteral("s"));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("S")));
    EXPECT_EQ(ini.ToBytes(), QByteArray("[T]\r\nz=1\r\n"));
}

TEST(IniFile, SectionListingsSkipCommentsAndLinesWithoutKey)
{
    const IniFile ini = fromBytes(kSample);
    EXPECT_EQ(ini.ReadSection(QStringLiteral("com")),
              QStringList({QStringLiteral("Port"), QStringLiteral("EGNR"), QStringLiteral("Unbekannt")}));
    EXPECT_EQ(ini.ReadSectionValues(QStringLiteral("Ini")),
              QStringList({QStringLiteral("Sprache=eng"), QStringLiteral("Zeile1=Müller \"GmbH\"")}));
    EXPECT_TRUE(ini.ReadSection(QStringLiteral("missing")).isEmpty());
    // Keys before the first section belong to no section.
    const IniFile pre = fromBytes("k=1\n[S]\n;k=2\n=3\n");
    EXPECT_TRUE(pre.ReadSection(QStringLiteral("S")).isEmpty());
    EXPECT_EQ(pre.ReadSections(), QStringList({QStringLiteral("S")}));
}

TEST(IniFile, IntegersAreDecimalOrHexAndBooleansAnyInteger)
{
    struct Case {
        const char *text;
        int integer;
        bool boolean;
    };
    // Default for integers is -77, for booleans true: a "not a number" case shows both.
    const Case cases[] = {
        {"55", 55, true},
        {"$37", 55, true},
        {"$d1", 209, true},
        {"$D1", 209, true},
        {"0x1F", 31, true},
        {"-5", -5, true},
        {"+8", 8, true},
        {" 7 ", 7, true},
        {"0", 0, false},
        {"-0", 0, false},
        {"$0", 0, false},
        {"abc", -77, true},
        {"", -77, true},
        {"12abc", -77, true},
        {"$", -77, true},
        {"1 2", -77, true},
        {"1.5", -77, true},
        {"99999999999", -77, true},
        {"2147483647", INT_MAX, true},
        {"-2147483648", INT_MIN, true},
        {"2147483648", -77, true},
        {"$FFFFFFFFFF", -77, true},
    };
    for (const Case &c : cases) {
        const IniFile ini = fromBytes(QByteArray("[S]\nk=") + c.text + "\n");
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), -77), c.integer) << c.text;
        EXPECT_EQ(ini.ReadBool(QStringLiteral("S"), QStringLiteral("k"), true), c.boolean) << c.text;
    }
    const IniFile empty;
    EXPECT_EQ(empty.ReadInteger(QStringLiteral("S"), QStringLiteral("k"), 4), 4);
    EXPECT_FALSE(empty.ReadBool(QStringLiteral("S"), QStringLiteral("k"), false));
}

TEST(IniFile, Windows1252InAndOut)
{
    // ü ß € in Windows-1252, and the same text as UTF-8.
    const IniFile ansi = fromBytes("[Gr\xFC\xDF"
                                   "e]\nPreis=5 \x80\n");
    const IniFile utf8 = fromBytes("[Gr\xC3\xBC\xC3\x9F"
                                   "e]\nPreis=5 \xE2\x82\xAC\n");
    for (const IniFile *ini : {&ansi, &utf8}) {
        EXPECT_EQ(ini->ReadString(QStringLiteral("GRÜßE"), QStringLiteral("preis"), QString()),
                  QStringLiteral("5 €"));
        EXPECT_EQ(ini->ToBytes(), QByteArray("[Gr\xFC\xDF"
                                             "e]\r\nPreis=5 \x80\r\n"));
    }
    IniFile out;
    out.WriteString(QStringLiteral("Ini"), QStringLiteral("Zeile1"), QStringLiteral("Müller Straße ½ – ok"));
    EXPECT_EQ(out.ToBytes(), QByteArray("[Ini]\r\nZeile1=M\xFCller Stra\xDF"
                                        "e \xBD \x96 ok\r\n"));
}

TEST(IniFile, TextOutsideWindows1252IsWrittenAsUtf8WithByteOrderMark)
{
    // Whatever one value needs decides for the whole file; nothing turns into '?'.
    struct Case {
        const char *what;
        QString section, key, value;
        QByteArray expected;
    } cases[] = {
        {"Cyrillic folder", QStringLiteral("Ini"), QStringLiteral("Sollwertpfad"), QStringLiteral("/home/иван/Baldren"),
         "\xEF\xBB\xBF[Ini]\r\nSollwertpfad=/home/\xD0\xB8\xD0\xB2\xD0\xB0\xD0\xBD/Baldren\r\n"},
        {"Greek letter beside umlauts", QStringLiteral("Ini"), QStringLiteral("Zeile1"), QStringLiteral("Müller Ω"),
         "\xEF\xBB\xBF[Ini]\r\nZeile1=M\xC3\xBCller \xCE\xA9\r\n"},
        {"in a section name", QStringLiteral("Σ"), QStringLiteral("k"), QStringLiteral("1"),
         "\xEF\xBB\xBF[\xCE\xA3]\r\nk=1\r\n"},
        {"Windows-1252 only stays Windows-1252", QStringLiteral("Ini"), QStringLiteral("Zeile1"),
         QStringLiteral("5 € für Größe"), "[Ini]\r\nZeile1=5 \x80 f\xFCr Gr\xF6\xDF" "e\r\n"},
    };
    for (const Case &c : cases) {
        IniFile out;
        out.WriteString(c.section, c.key, c.value);
        const QByteArray bytes = out.ToBytes();
        EXPECT_EQ(bytes, c.expected) << c.what;
        EXPECT_EQ(fromBytes(bytes).ReadString(c.section, c.key, QString()), c.value) << c.what;
    }
}

TEST(IniFile, LineBreaksInWrittenTextCannotSplitTheLine)
{
    IniFile ini;
    ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("a\r\n[X]\nb=c"));
    const IniFile back = fromBytes(ini.ToBytes());
    EXPECT_FALSE(back.SectionExists(QStringLiteral("X")));
    EXPECT_EQ(back.ReadSection(QStringLiteral("S")), QStringList({QStringLiteral("k")}));
    // An empty key could never be read back and is not written.
    ini.WriteString(QStringLiteral("S"), QStringLiteral("  "), QStringLiteral("v"));
    EXPECT_EQ(ini.ReadSection(QStringLiteral("S")).size(), 1);
}

TEST(IniFile, OddInputIsReadSensibly)
{
    QByteArray longValue(1 << 20, 'x');
    // A UTF-8 byte-order mark, a NUL inside a value, a header without "]", text after
    // a header's "]" and a line of a megabyte.
    const QByteArray bytes = QByteArray("\xEF\xBB\xBF[Ini]\nnul=a") + QByteArray(1, '\0') +
                             QByteArray("b\n[Offen\nk=1\n[ Zu ] trailing text\nlang=") + longValue + "\n";
    const IniFile ini = fromBytes(bytes);
    EXPECT_EQ(ini.ReadString(QStringLiteral("ini"), QStringLiteral("nul"), QString()),
              QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Offen"), QStringLiteral("k"), QString()), QStringLiteral("1"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("zu"), QStringLiteral("lang"), QString()).size(),
              longValue.size());
    EXPECT_EQ(ini.ReadSections(),
              QStringList({QStringLiteral("Ini"), QStringLiteral("Offen"), QStringLiteral("Zu")}));
    // The mark is not written back; everything else is.
    EXPECT_EQ(ini.ToBytes(), bytes.mid(3).replace("\n", "\r\n"));
}

TEST(IniFile, LoadReportsWhatCannotBeRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    IniFile ini = fromBytes("[Alt]\nk=1\n");
    EXPECT_FALSE(ini.LoadFromFile(dir.filePath(QStringLiteral("fehlt.ini"))));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("Alt"))) << "a failed load leaves an empty object";
    EXPECT_FALSE(ini.ErrorString().isEmpty());
    EXPECT_FALSE(ini.LoadFromFile(dir.path())) << "a folder is no INI file";

    // A sparse file just above the limit: refused without reading gigabytes.
    const QString huge = dir.filePath(QStringLiteral("huge.ini"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(IniFile::MaxFileSize + 1));
    }
    EXPECT_FALSE(ini.LoadFromFile(huge));

    const QString good = dir.filePath(QStringLiteral("gut.ini"));
    ASSERT_TRUE(writeAll(good, "[S]\nk=v\n"));
    const IniFile loaded(good);
    EXPECT_EQ(loaded.FileName(), good);
    EXPECT_EQ(loaded.ReadString(QStringLiteral("s"), QStringLiteral("K"), QString()), QStringLiteral("v"));
}

TEST(IniFile, SaveWritesCrLfAndFailsWithoutHarm)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("a.ini"));
    ASSERT_TRUE(writeAll(path, "[S]\nk=alt\n"));

    IniFile ini(path);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("neu"));
    ASSERT_TRUE(ini.UpdateFile()) << ini.ErrorString().toStdString();
    EXPECT_EQ(readAll(path), QByteArray("[S]\r\nk=neu\r\n"));

    // A folder that cannot exist: its parent is a regular file.
    const QString blocker = dir.filePath(QStringLiteral("datei"));
    ASSERT_TRUE(writeAll(blocker, "x"));
    EXPECT_FALSE(ini.SaveToFile(blocker + QStringLiteral("/unter/a.ini")));
    EXPECT_FALSE(ini.ErrorString().isEmpty());
    EXPECT_FALSE(IniFile().SaveToFile(QString()));

    // The write breaks off halfway: the previous file stays whole and no temporary remains.
    IniFile big;
    for (int i = 0; i < 2000; ++i)
        big.WriteInteger(QStringLiteral("S"), QStringLiteral("Schluessel%1").arg(i), i);
    const QStringList before = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    bool saved = true;
    {
        FileSizeLimit limit(4096);
        ASSERT_TRUE(limit.ok());
        saved = big.SaveToFile(path);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(readAll(path), QByteArray("[S]\r\nk=neu\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), before);
    // Without the limit the same save succeeds.
    EXPECT_TRUE(big.SaveToFile(path));
    EXPECT_EQ(IniFile(path).ReadInteger(QStringLiteral("s"), QStringLiteral("schluessel1999"), -1), 1999);
}

TEST(IniFile, SurvivesRandomAndMutatedBytes)
{
    std::mt19937 rng(20240611u);
    const QByteArray alphabet = QByteArray("[]=;\r\n \t$AZaz09") + QByteArray(1, '\0') +
                                QByteArray("\x80\xFC\xC3\xBC\xE2\x82\xAC\xEF\xBB\xBF\xFF");
    auto randomBytes = [&](int n, bool structured) {
        QByteArray b;
        for (int i = 0; i < n; ++i)
            b.append(structured ? alphabet.at(int(rng() % unsigned(alphabet.size()))) : char(rng() & 0xFF));
        return b;
    };
    auto mutate = [&](QByteArray b) {
        const int edits = 1 + int(rng() % 8);
        for (int e = 0; e < edits && !b.isEmpty(); ++e) {
            const int pos = int(rng() % unsigned(b.size()));
            switch (rng() % 4) {
            case 0:
                b[pos] = char(rng() & 0xFF);
                break;
            case 1:
                b.insert(pos, randomBytes(1 + int(rng() % 5), true));
                break;
            case 2:
                b.remove(pos, 1 + int(rng() % 10));
                break;
            default:
                b.truncate(pos);
                break;
            }
        }
        return b;
    };
    auto isUtf8WithMultibyte = [](const QByteArray &b) {
        if (std::all_of(b.begin(), b.end(), [](char c) { return quint8(c) < 0x80; })) return false;
        QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        (void)dec.decode(b);
        return !dec.hasError();
    };

    for (int round = 0; round < 1500; ++round) {
        QByteArray input;
        switch (round % 3) {
        case 0:
            input = randomBytes(int(rng() % 400), false);
            break;
        case 1:
            input = randomBytes(int(rng() % 400), true);
            break;
        default:
            input = mutate(kSample);
            break;
        }
        IniFile ini = fromBytes(input);
        for (const QString &section : ini.ReadSections()) {
            ASSERT_TRUE(ini.SectionExists(section));
            const QStringList keys = ini.ReadSection(section);
            const QStringList lines = ini.ReadSectionValues(section);
            ASSERT_EQ(keys.size(), lines.size());
            for (int i = 0; i < keys.size(); ++i) {
                ASSERT_TRUE(lines.at(i).startsWith(keys.at(i) + QLatin1Char('=')));
                (void)ini.ReadInteger(section, keys.at(i), 0);
            }
        }
        ini.WriteString(QStringLiteral("Com"), QStringLiteral("EGNR"), QStringLiteral("$37"));
        ini.WriteBool(QStringLiteral("Ini"), QStringLiteral("SPLASH"), true);
        const QByteArray first = ini.ToBytes();
        const IniFile back = fromBytes(first);
        ASSERT_EQ(back.ReadInteger(QStringLiteral("com"), QStringLiteral("egnr"), -1), 55) << round;
        ASSERT_TRUE(back.ReadBool(QStringLiteral("INI"), QStringLiteral("splash"), false)) << round;
        // Written bytes read back to the same file, unless they happen to form UTF-8 text.
        if (!isUtf8WithMultibyte(first)) {
            ASSERT_EQ(back.ToBytes(), first) << round;
        }
        ASSERT_TRUE(first.isEmpty() || first.endsWith("\r\n"));
        ASSERT_EQ(first.count('\r'), first.count('\n'));
    }
}
