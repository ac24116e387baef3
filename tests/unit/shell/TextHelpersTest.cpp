#include "shell/AnsiCodec.h"
#include "shell/DataDir.h"
#include "shell/TextHelpers.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(TextHelpers, NextFieldReadsNumbersFieldByField)
{
    QString line = QStringLiteral("$1F; 12 ;abc;;7");
    EXPECT_EQ(Text::NextField(line, ';'), 0x1F);
    EXPECT_EQ(Text::NextField(line, ';'), 12);
    EXPECT_EQ(Text::NextField(line, ';'), 0) << "not a number";
    EXPECT_EQ(Text::NextField(line, ';'), 0) << "empty field";
    EXPECT_EQ(Text::NextField(line, ';'), 7) << "last field without separator";
    EXPECT_EQ(Text::NextField(line, ';'), -1) << "empty line";
}

TEST(TextHelpers, SplitAtKeepsBlanksAndTakesTheRestWithoutSeparator)
{
    QString line = QStringLiteral(" a b *rest*more");
    EXPECT_EQ(Text::SplitAt(line, '*'), QStringLiteral(" a b "));
    EXPECT_EQ(line, QStringLiteral("rest*more"));
    EXPECT_EQ(Text::SplitAt(line, ';'), QStringLiteral("rest*more"));
    EXPECT_TRUE(line.isEmpty());
}

TEST(TextHelpers, HexAndBlanks)
{
    EXPECT_EQ(Text::HexToInt(QStringLiteral("$0a-Fz9")), 0x0AF9u);
    EXPECT_EQ(Text::ByteToHex(0x0B), QStringLiteral("0B"));
    EXPECT_EQ(Text::ByteToHex(0x1FF), QStringLiteral("FF"));
    EXPECT_EQ(Text::RemoveSpaces(QStringLiteral(" 1 2 ")), QStringLiteral("12"));
    bool ok = true;
    EXPECT_EQ(Text::ParseNumber(QStringLiteral("$"), &ok), 0);
    EXPECT_FALSE(ok);
    EXPECT_EQ(Text::ParseNumber(QStringLiteral("$ 1 0"), &ok), 16);
    EXPECT_TRUE(ok);
}

TEST(AnsiCodec, Windows1252RoundTripAndUtf8Detection)
{
    const QByteArray cp1252("\xC4nderung \x80 \x96 \xDF", 14);
    const QString text = Ansi::decode(cp1252);
    EXPECT_EQ(text, QStringLiteral("Änderung € – ß"));
    EXPECT_EQ(Ansi::encode(text), cp1252);
    EXPECT_EQ(Ansi::decode(QByteArray("\xC3\x84nderung")), QStringLiteral("Änderung")) << "valid UTF-8 is taken as such";
    EXPECT_EQ(Ansi::encode(QStringLiteral("日")), QByteArray("?"));
    // Undefined positions survive a round trip.
    const QByteArray odd("\x81\x8D", 2);
    EXPECT_EQ(Ansi::encode(Ansi::decode1252(odd)), odd);
}

TEST(DataDir, StoredPathsAreFoundWhateverTheirCase)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("ZPA")));
    QFile f(dir.path() + QStringLiteral("/ZPA/Z202 PA004-DE.ZPA"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    DataDir::setOverride(dir.path());
    EXPECT_EQ(DataDir::resolve(QStringLiteral("zpa\\z202 pa004-de.zpa")), f.fileName());
    EXPECT_EQ(DataDir::resolve(QStringLiteral("ZPA/missing.ZPA")), dir.path() + QStringLiteral("/ZPA/missing.ZPA"));
    DataDir::setOverride(QString());
}
