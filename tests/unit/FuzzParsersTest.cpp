// Random and mutated parameter files, conversion files and definitions, with fixed seeds:
// every input must end in a result or a message, never in a crash or an access outside
// an array (the sanitizer build checks the latter).
#include "device/Definition.h"
#include "device/DeviceData.h"
#include "device/ParameterFile.h"
#include "support/DefinitionFixtures.h"
#include "support/ParameterFileFixtures.h"
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace {

QByteArray Mutate(QByteArray bytes, std::mt19937 &rng)
{
    std::uniform_int_distribution<int> kind(0, 5);
    const int edits = 1 + int(rng() % 8);
    for (int e = 0; e < edits; ++e) {
        const int size = int(bytes.size());
        switch (kind(rng)) {
        case 0: // flip a byte
            if (size > 0)
                bytes[int(rng() % size)] = char(rng() & 0xFF);
            break;
        case 1: // cut the tail
            if (size > 0)
                bytes.truncate(int(rng() % size));
            break;
        case 2: // grow by random bytes
            for (int k = int(rng() % 600); k > 0; --k)
                bytes.append(char(rng() & 0xFF));
            break;
        case 3: // insert a byte
            bytes.insert(size > 0 ? int(rng() % size) : 0, char(rng() & 0xFF));
            break;
        case 4: // drop a byte
            if (size > 0)
                bytes.remove(int(rng() % size), 1);
            break;
        default: // a run of a special byte: line ends, "*", ";", "§", zero
            if (size > 0) {
                static const char special[] = {'\r', '\n', '*', ';', ',', '$', '[', ']', '=', '"', '\xA7', '\0', '#', '+'};
                const char c = special[rng() % sizeof(special)];
                const int at = int(rng() % size);
                for (int k = 0; k < 1 + int(rng() % 4) && at + k < size; ++k)
                    bytes[at + k] = c;
            }
            break;
        }
    }
    return bytes;
}

QByteArray RandomBytes(std::mt19937 &rng, int maxLength)
{
    QByteArray bytes(int(rng() % (maxLength + 1)), '\0');
    for (char &c : bytes)
        c = char(rng() & 0xFF);
    return bytes;
}

class FuzzParsers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        data.write(Fixture::ControllerDefinitionName(), Fixture::ControllerDefinition());
        data.write(Fixture::StwDefinitionName(), Fixture::StwDefinition());
    }
    QString put(const QString &name, const QByteArray &bytes)
    {
        const QString path = files.path() + QLatin1Char('/') + name;
        EXPECT_TRUE(Fixture::WriteFile(path, bytes));
        return path;
    }

    ScratchDataDir data;
    QTemporaryDir files;
};

TEST_F(FuzzParsers, ParameterFilesAndTheirSavesSurviveArbitraryBytes)
{
    std::mt19937 rng(20240611u);
    const QByteArray seeds[] = {Fixture::ControllerFile(32, 11), Fixture::StwFile(), Fixture::ControllerFile(16, 9)};
    const QString names[] = {QStringLiteral("f.101"), QStringLiteral("f.STW"), QStringLiteral("f.VMX"),
                             QStringLiteral("f.NAE"), QStringLiteral("f.xyz"), QStringLiteral("f")};
    int loaded = 0;
    for (int round = 0; round < 150; ++round) {
        QByteArray bytes;
        if (round % 5 == 0) {
            bytes = RandomBytes(rng, 9000);
        } else if (round % 5 == 1) {
            // Data bytes only: the file stays loadable, its values are anything.
            bytes = seeds[0];
            for (int k = 0; k < 64; ++k)
                bytes[int(rng() % 8192)] = char(rng() & 0xFF);
        } else {
            bytes = Mutate(seeds[round % 3], rng);
        }
        const QString path = put(names[rng() % 6], bytes);
        DeviceData d;
        // A loaded file first: a refused one must leave it exactly as it was.
        RecordingPrompter p;
        ASSERT_TRUE(LoadParameterFile(d, put(QStringLiteral("gut.101"), seeds[0]), p));
        const auto image = d.Geraet.Image;
        if (LoadParameterFile(d, path, p)) {
            ++loaded;
            EXPECT_LE(d.FileLength, ParamFile::MaxFileLength);
            QString written;
            if (SaveParameterFile(d, files.path() + QStringLiteral("/out"), p, &written)) {
                EXPECT_EQ(Fixture::ReadFile(written).size(), SaveLength(d));
            }
        } else if (d.FileLength == int(seeds[0].size()) && d.FileName == QStringLiteral("gut.101")) {
            EXPECT_EQ(d.Geraet.Image, image) << round;
        }
    }
    // The mutations must not all have been refused, or the loader was never exercised.
    EXPECT_GT(loaded, 25);
}

TEST_F(FuzzParsers, ConversionFilesSurviveArbitraryCommands)
{
    std::mt19937 rng(77u);
    const char *names[] = {"COPY", "CHANGE", "SET", "BSET", "BASE", "VER", "ECHO", "XYZ", ""};
    const char *numbers[] = {"0", "1", "-1", "$0800", "$87FF", "$8800", "$FFFFFFFF", "99999999999999999999",
                             "$", "x", "", "255", "$07FF", "\"AB\"", "\"", "32767", "-9223372036854775808"};
    const char *seps[] = {";", ",", ".", ""};
    for (int round = 0; round < 3000; ++round) {
        QStringList lines;
        for (int n = int(rng() % 12); n > 0; --n) {
            if (rng() % 6 == 0) {
                lines.append(QStringLiteral("[%1]").arg(QString::fromUtf8(numbers[rng() % 17])));
                continue;
            }
            QString line = QString::fromUtf8(names[rng() % 9]) + QLatin1Char('=');
            for (int f = int(rng() % 6); f > 0; --f)
                line += QString::fromUtf8(numbers[rng() % 17]) + QString::fromUtf8(seps[rng() % 4]);
            if (rng() % 10 == 0)
                line = QString::fromLatin1(Mutate(line.toLatin1(), rng));
            lines.append(line);
        }
        ConversionWork w;
        w.Geraet.ProgramVersion = int(rng() % 20);
        w.ImageBase = int(rng() % 3) * 0x0400;
        w.PageCount = int(rng() % 130);
        w.FileLength = int(rng() % (ParamFile::MaxFileLength + 1));
        RecordingPrompter p;
        const bool ok = RunConversion(lines, w, p);
        // A refusal always says why; a success never complains.
        EXPECT_EQ(ok, p.messages.isEmpty()) << lines.join(QLatin1Char('|')).toStdString();
    }
}

TEST_F(FuzzParsers, LoadingWithMutatedDefinitionsNeverCrashes)
{
    std::mt19937 rng(4242u);
    const QByteArray definition = Ansi::encode(Fixture::ControllerDefinition());
    const QString path = put(QStringLiteral("x.101"), Fixture::ControllerFile(32, 11));
    int complete = 0;
    for (int round = 0; round < 200; ++round) {
        const QByteArray bytes = round % 7 == 0 ? RandomBytes(rng, 3000) : Mutate(definition, rng);
        data.writeBytes(Fixture::ControllerDefinitionName(), bytes);
        DeviceData d;
        RecordingPrompter p;
        if (LoadParameterFile(d, path, p)) {
            ++complete;
            EXPECT_TRUE(d.Def.ParametersComplete);
            EXPECT_GE(d.State.PageCount, 1);
            EXPECT_LE(d.State.PageCount, MaxPageCount);
        } else {
            EXPECT_FALSE(p.messages.isEmpty()) << round;
        }
    }
    EXPECT_GT(complete, 10);
}

TEST_F(FuzzParsers, ConvertingLoadedDataWithMutatedConversionFiles)
{
    std::mt19937 rng(99u);
    const QByteArray conversion = Ansi::encode(QStringLiteral(
        "[12]\nECHO=x\nCOPY=$0900;$0A00;32\nSET=$0812;1,2,\"AB\"\nBSET=$0820;$F0,$01\nCHANGE=$0810;3,2,1\n"
        "BASE=$0700\nVER=12;01.06.2005\n"));
    const QString path = put(QStringLiteral("x.101"), Fixture::ControllerFile(32, 11));
    for (int round = 0; round < 100; ++round) {
        data.writeBytes(QStringLiteral("101upgrate.ini"), Mutate(conversion, rng));
        DeviceData d;
        RecordingPrompter p;
        ASSERT_TRUE(LoadParameterFile(d, path, p));
        const auto image = d.Geraet.Image;
        QStringList echo;
        const bool converted = ConvertConfiguration(d, p, &echo);
        // All or nothing: a refused command or converted data that cannot be read again
        // leave the loaded set exactly as it was, still complete.
        if (!converted) {
            EXPECT_EQ(d.Geraet.Image, image) << round;
            EXPECT_EQ(d.FileLength, 8240) << round;
            EXPECT_EQ(d.Geraet.ProgramVersion, 11) << round;
            EXPECT_TRUE(d.Def.ParametersComplete) << round;
            EXPECT_FALSE(p.messages.isEmpty()) << round;
        }
    }
}

} // namespace
