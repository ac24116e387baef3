#include "SimDevice.h"
#include "SimOptions.h"

#include <gtest/gtest.h>

TEST(SimOptions, Numbers)
{
    struct Case { const char *text; bool ok; int value; };
    const Case cases[] = {
        {"0xAE", true, 0xAE}, {"$70", true, 0x70}, {"70h", true, 0x70}, {"AE", true, 0xAE},
        {"174", true, 174}, {"0", true, 0}, {"fe", true, 0xFE}, {"", false, 0}, {"-1", false, 0},
        {"0xZZ", false, 0}, {"12q", false, 0},
    };
    for (const Case &c : cases) {
        int value = -1;
        EXPECT_EQ(ParseSimNumber(QString::fromLatin1(c.text), &value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
}

TEST(SimOptions, FullCommandLine)
{
    SimOptions o;
    QString error;
    const QStringList args = {"--device", "a.202", "--base", "0700", "--data", "/d", "--pty", "/tmp/l",
                              "--slave", "0x70", "--handshake", "--pace", "9600", "--fault", "noecho:0.1",
                              "badsum:0.2", "--fault=garbage:1", "--seed", "42", "--log", "--refuse", "4:F4",
                              "--refuse=26:0xF5"};
    ASSERT_TRUE(ParseSimOptions(args, &o, &error)) << error.toStdString();
    EXPECT_EQ(o.device, QStringLiteral("a.202"));
    EXPECT_EQ(o.base, 0x0700);
    EXPECT_EQ(o.dataDir, QStringLiteral("/d"));
    EXPECT_EQ(o.ptyLink, QStringLiteral("/tmp/l"));
    EXPECT_EQ(o.slave, 0x70);
    EXPECT_TRUE(o.handshake);
    EXPECT_EQ(o.pace, 9600);
    EXPECT_EQ(o.faults, (QStringList{"noecho:0.1", "badsum:0.2", "garbage:1"}));
    EXPECT_EQ(o.seed, 42u);
    EXPECT_TRUE(o.log);
    ASSERT_EQ(o.refusals.size(), 2u);
    EXPECT_EQ(o.refusals[0], std::make_pair(4, 0xF4));
    EXPECT_EQ(o.refusals[1], std::make_pair(26, 0xF5));

    SimDevice d;
    ASSERT_TRUE(ApplySimOptions(o, d, &error));
    EXPECT_EQ(d.slaveAddress(), 0x70);
    EXPECT_TRUE(d.handshake());
    EXPECT_EQ(d.faults().size(), 3u);
}

TEST(SimOptions, Defaults)
{
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({}, &o, &error));
    EXPECT_EQ(o.base, 0x0800);
    EXPECT_EQ(o.slave, 0xAE);
    EXPECT_EQ(o.pace, 0);
    EXPECT_FALSE(o.handshake);
    EXPECT_TRUE(o.ptyLink.isEmpty());
}

TEST(SimOptions, BadInputIsNamed)
{
    const QStringList cases[] = {
        {"--base"}, {"--base", "10000"}, {"--base", "xyz"}, {"--slave", "256"}, {"--slave", "0x100"},
        {"--pace", "0"}, {"--pace", "fast"}, {"--seed", "-3"}, {"--refuse", "4"}, {"--refuse", "4:1FF"},
        {"--bogus"}, {"--log=1"}, {"--pty", ""}, {"stray"},
    };
    for (const QStringList &args : cases) {
        SimOptions o;
        QString error;
        EXPECT_FALSE(ParseSimOptions(args, &o, &error)) << args.join(' ').toStdString();
        EXPECT_FALSE(error.isEmpty());
    }
    // A bad fault text is found when it is applied to the device.
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({"--fault", "lost:0.5"}, &o, &error));
    SimDevice d;
    EXPECT_FALSE(ApplySimOptions(o, d, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("lost")));
}
