#include "shell/UpdateCheck.h"
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace UpdateCheck;

namespace {
QByteArray Prefix() { return MarkerPrefix().toLatin1(); }

QString WriteFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

QByteArray Noise(int size, quint32 seed)
{
    QRandomGenerator rng(seed);
    QByteArray b(size, '\0');
    for (char &c : b)
        c = char(rng.bounded(256));
    return b;
}
} // namespace

struct NewerCase
{
    const char *candidate;
    const char *own;
    bool newer;
};

class IsNewerVersionTest : public ::testing::TestWithParam<NewerCase>
{
};

TEST_P(IsNewerVersionTest, ComparesFieldByField)
{
    const NewerCase &c = GetParam();
    EXPECT_EQ(IsNewerVersion(QString::fromLatin1(c.candidate), QString::fromLatin1(c.own)), c.newer)
        << c.candidate << " vs " << c.own;
}

INSTANTIATE_TEST_SUITE_P(
    Versions, IsNewerVersionTest,
    ::testing::Values(NewerCase{"0.1.0", "0.1.0", false},   // equal strings
                      NewerCase{"0.1.1", "0.1.0", true},    // last field greater
                      NewerCase{"0.1.0", "0.1.1", false},   // last field smaller
                      NewerCase{"1.0.0", "0.9.9", true},    // first field decides
                      NewerCase{"0.9.9", "1.0.0", false},   // smaller first field ends it
                      NewerCase{"0.10.0", "0.9.0", true},   // numbers, not text
                      NewerCase{"0.9.0", "0.10.0", false},  //
                      NewerCase{"2.0", "1.9.9.9", true},    // fewer fields
                      NewerCase{"1.2.0.1", "1.2", true},    // extra field counts against 0
                      NewerCase{"1.2.0", "1.2", false},     // missing field is 0
                      NewerCase{"01.2", "1.2", false},      // leading zero: same number
                      NewerCase{"", "0.1.0", false},        // no candidate version
                      NewerCase{"x.y", "0.1", false},       // garbage counts as 0
                      NewerCase{"1.0", "", true}));         // own version unknown

TEST(ReadVersionMarker, MissingUnreadableAndEmptyFilesHaveNoVersion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_TRUE(ReadVersionMarker(dir.filePath(QStringLiteral("nothing-here"))).isEmpty());
    EXPECT_TRUE(ReadVersionMarker(QString()).isEmpty());
    EXPECT_TRUE(ReadVersionMarker(dir.path()).isEmpty()); // a folder, not a file
    EXPECT_TRUE(ReadVersionMarker(WriteFile(dir, QStringLiteral("empty"), {})).isEmpty());
}

TEST(ReadVersionMarker, GarbageWithoutMarkerHasNoVersion)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (quint32 seed = 1; seed <= 5; ++seed) {
        const QString path = WriteFile(dir, QStringLiteral("noise%1").arg(seed), Noise(300000, seed));
        EXPECT_TRUE(ReadVersionMarker(path).isEmpty()) << seed;
    }
}

struct MarkerCase
{
    const char *name;
    QByteArray content;
    const char *version;
};

class MarkerContentTest : public ::testing::TestWithParam<MarkerCase>
{
};

TEST_P(MarkerContentTest, FindsTheVersionAfterThePrefix)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const MarkerCase &c = GetParam();
    EXPECT_EQ(ReadVersionMarker(WriteFile(dir, QStringLiteral("prog"), c.content)), QString::fromLatin1(c.version))
        << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Contents, MarkerContentTest,
    ::testing::Values(
        MarkerCase{"plain", Noise(1000, 7) + Prefix() + QByteArray("2.3.4", 6) + Noise(1000, 8), "2.3.4"},
        MarkerCase{"at the very start", Prefix() + QByteArray("1.0\0", 4), "1.0"},
        MarkerCase{"at the very end without terminator", Noise(64, 9) + Prefix() + "7.8.9", "7.8.9"},
        MarkerCase{"prefix alone first, marker later",
                   Prefix() + QByteArray("\0\0", 2) + Noise(500, 10) + Prefix() + QByteArray("3.1\0", 4), "3.1"},
        MarkerCase{"prefix followed by letters", Prefix() + "beta" + Noise(10, 11), ""},
        MarkerCase{"prefix at the end of the file", Noise(100, 12) + Prefix(), ""},
        MarkerCase{"trailing dot dropped", Prefix() + QByteArray("4.5.\0", 5), "4.5"},
        MarkerCase{"leading dot is no version", Prefix() + QByteArray(".5\0", 3), ""},
        MarkerCase{"overlong digits are cut", Prefix() + QByteArray(60, '1'), "11111111111111111111111111111111"},
        MarkerCase{"truncated prefix", Prefix().left(10) + "1.2.3", ""}),
    [](const ::testing::TestParamInfo<MarkerCase> &info) { return std::to_string(info.index); });

TEST(ReadVersionMarker, MarkerAcrossTheChunkBoundaryIsFound)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // The scanner reads 1 MiB at a time; put the prefix and the version across that edge
    // at every offset around it.
    const int mib = 1 << 20;
    for (int before : {1, 5, 15, 16, 20}) {
        QByteArray content(mib - before, 'x');
        content += Prefix() + QByteArray("12.34.56\0", 9) + QByteArray(1000, 'y');
        const QString path = WriteFile(dir, QStringLiteral("edge%1").arg(before), content);
        EXPECT_EQ(ReadVersionMarker(path), QStringLiteral("12.34.56")) << before;
    }
}

TEST(ReadVersionMarker, ReadingStopsAtTheLimit)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray content = QByteArray(5000, 'z') + Prefix() + QByteArray("5.0\0", 4);
    const QString path = WriteFile(dir, QStringLiteral("late"), content);
    EXPECT_TRUE(ReadVersionMarker(path, 4000).isEmpty());
    EXPECT_EQ(ReadVersionMarker(path, content.size()), QStringLiteral("5.0"));
}

TEST(ReadVersionMarker, ThisBinaryCarriesItsOwnMarker)
{
    // The marker must survive linking: the test program links the same core library.
    ASSERT_FALSE(OwnVersion().isEmpty());
    EXPECT_EQ(QString::fromLatin1(OwnMarker()), MarkerPrefix() + OwnVersion());
    EXPECT_EQ(ReadVersionMarker(QCoreApplication::applicationFilePath()), OwnVersion());
    EXPECT_EQ(OwnVersion(), QStringLiteral(MIRELO_VERSION));
}

TEST(FindNewerProgram, OnlyANewerFileWithTheProgramsNameCounts)
{
    QTemporaryDir installed, updates;
    ASSERT_TRUE(installed.isValid() && updates.isValid());
    const QString program = WriteFile(installed, QStringLiteral("mirelo"), Prefix() + QByteArray("1.4.0\0", 6));

    EXPECT_TRUE(FindNewerProgram(QString(), program, QStringLiteral("1.4.0")).isEmpty()) << "no folder set";
    EXPECT_TRUE(FindNewerProgram(updates.path(), program, QStringLiteral("1.4.0")).isEmpty()) << "no file";

    WriteFile(updates, QStringLiteral("other-name"), Prefix() + QByteArray("9.0\0", 4));
    EXPECT_TRUE(FindNewerProgram(updates.path(), program, QStringLiteral("1.4.0")).isEmpty()) << "other name";

    const QString candidate = WriteFile(updates, QStringLiteral("mirelo"), Prefix() + QByteArray("1.3.9\0", 6));
    EXPECT_TRUE(FindNewerProgram(updates.path(), program, QStringLiteral("1.4.0")).isEmpty()) << "older";

    WriteFile(updates, QStringLiteral("mirelo"), Prefix() + QByteArray("1.4.0\0", 6));
    EXPECT_TRUE(FindNewerProgram(updates.path(), program, QStringLiteral("1.4.0")).isEmpty()) << "equal";

    WriteFile(updates, QStringLiteral("mirelo"), Noise(2000, 3));
    EXPECT_TRUE(FindNewerProgram(updates.path(), program, QStringLiteral("1.4.0")).isEmpty()) << "no marker";

    WriteFile(updates, QStringLiteral("mirelo"), Noise(2000, 4) + Prefix() + QByteArray("1.10.0\0", 7));
    EXPECT_EQ(FindNewerProgram(updates.path(), program, QStringLiteral("1.4.0")), candidate) << "newer";
    // A folder written with backslashes and a trailing separator is the same folder.
    EXPECT_EQ(FindNewerProgram(updates.path() + QStringLiteral("\\"), program, QStringLiteral("1.4.0")), candidate);
    // The running program in its own update folder is not an update of itself.
    EXPECT_TRUE(FindNewerProgram(updates.path(), candidate, QStringLiteral("1.0")).isEmpty());
}
