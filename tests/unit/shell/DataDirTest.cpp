#include "shell/DataDir.h"
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Which data folder a program uses, for a program in the build tree and one installed
// under a prefix (bin/ beside share/mirelo/ZPA).
TEST(DataDir, ChoosesExplicitThenEnvironmentThenInstalledThenSource)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString p = prefix.path();
    ASSERT_TRUE(QDir().mkpath(p + QStringLiteral("/bin")));
    ASSERT_TRUE(QDir().mkpath(p + QStringLiteral("/share/mirelo/ZPA")));
    ASSERT_TRUE(QDir().mkpath(p + QStringLiteral("/tree/build"))); // no share/ beside it
    ASSERT_TRUE(QDir().mkpath(p + QStringLiteral("/other/bin")));
    ASSERT_TRUE(QDir().mkpath(p + QStringLiteral("/other/share/mirelo"))); // without ZPA: not an installation
    const QString src = p + QStringLiteral("/src/data");
    const QString installed = p + QStringLiteral("/share/mirelo");

    struct Case {
        const char *what;
        QString explicitDir, env, programDir, expected;
    } cases[] = {
        {"--data wins over everything", p + QStringLiteral("/given"), p + QStringLiteral("/env"), p + QStringLiteral("/bin"),
         p + QStringLiteral("/given")},
        {"environment next", QString(), p + QStringLiteral("/env"), p + QStringLiteral("/bin"), p + QStringLiteral("/env")},
        {"installed program finds share/mirelo of its prefix", QString(), QString(), p + QStringLiteral("/bin"), installed},
        {"programDir with a trailing separator", QString(), QString(), p + QStringLiteral("/bin/"), installed},
        {"build tree falls back to the sources", QString(), QString(), p + QStringLiteral("/tree/build"), src},
        {"share/mirelo without ZPA is not taken", QString(), QString(), p + QStringLiteral("/other/bin"), src},
        {"no application object", QString(), QString(), QString(), src},
    };
    for (const Case &c : cases)
        EXPECT_EQ(DataDir::choose(c.explicitDir, c.env, c.programDir, src), c.expected) << c.what;
}
