#include "shell/DataDir.h"
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(DataDir, ChoosesExplicitThenEnvironmentThenInstalledThenSource)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    const QString p = prefix.path(), src = p + QStringLiteral("/src/data"), installed = p + QStringLiteral("/share/mirelo");
    for (const char *dir : {"/bin", "/share/mirelo/ZPA", "/tree/build", "/other/bin", "/other/share/mirelo"})
        ASSERT_TRUE(QDir().mkpath(p + QLatin1String(dir)));
    const struct {
        QString explicitDir, env, programDir, expected;
    } cases[] = {
        {p + QStringLiteral("/given"), p + QStringLiteral("/env"), p + QStringLiteral("/bin"), p + QStringLiteral("/given")},
        {QString(), p + QStringLiteral("/env"), p + QStringLiteral("/bin"), p + QStringLiteral("/env")},
        {QString(), QString(), p + QStringLiteral("/bin/"), installed},
        {QString(), QString(), p + QStringLiteral("/tree/build"), src}, // build tree: no share/ beside it
        {QString(), QString(), p + QStringLiteral("/other/bin"), src},  // share/mirelo without ZPA
        {QString(), QString(), QString(), src},                         // no application object
    };
    for (const auto &c : cases)
        EXPECT_EQ(DataDir::choose(c.explicitDir, c.env, c.programDir, src), c.expected) << c.programDir.toStdString();
}
