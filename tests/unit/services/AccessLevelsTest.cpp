#include "services/AccessLevels.h"
#include <gtest/gtest.h>

TEST(AccessLevels, Md5IsRenderedAsLowerCaseHex)
{
    // RFC 1321 test suite.
    EXPECT_EQ(Md5Hex(QString()), QStringLiteral("d41d8cd98f00b204e9800998ecf8427e"));
    EXPECT_EQ(Md5Hex(QStringLiteral("abc")), QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
    EXPECT_EQ(Md5Hex(QStringLiteral("message digest")), QStringLiteral("f96b697d7cb7938d525a2f31aaf161d0"));
}

TEST(AccessLevels, TableOrderOfLevelNames)
{
    const char *names[] = {"Fac", "Cus", "Fer", "Ser", "IDS", "IDS", "IDS", "IDS", "IDS", "Mas"};
    for (int i = 0; i < AccessTableSize; ++i)
        EXPECT_EQ(AccessLevelName(i), QLatin1String(names[i]));
    EXPECT_TRUE(AccessLevelName(10).isEmpty());
}

struct IdentCase
{
    const char *entered;
    const char *level;
    bool identified;
};

TEST(AccessLevels, IdentModeAssignsLevelsCaseInsensitively)
{
    // The documented test passwords (docs/access-levels.md).
    const IdentCase cases[] = {
        {"service-3187", "Ser", true}, {"SERVICE-3187", "Ser", true}, {"Werk-7431", "Fac", true},
        {"kunde-2958", "Cus", true},   {"fertigung-6620", "Fer", true}, {"ids-3306", "IDS", true},
        {"master-9072", "Mas", true},  {"00456", "00456", true},       {"falsch", "", false},
        {"", "", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.entered);
        AccessState s;
        s.Level = QStringLiteral("Ser");
        AcceptIdent(s, QString::fromUtf8(c.entered), QStringLiteral("00456"));
        EXPECT_EQ(s.Level, QString::fromUtf8(c.level));
        EXPECT_EQ(s.Identified, c.identified);
    }
}

TEST(AccessLevels, RecheckWithdrawsAnOldDeviceNumberButKeepsNamedLevels)
{
    AccessState byNumber;
    AcceptIdent(byNumber, QStringLiteral("00456"), QStringLiteral("00456"));
    Recheck(byNumber, QStringLiteral("01234"));
    EXPECT_FALSE(byNumber.Identified);
    Recheck(byNumber, QStringLiteral("00456"));
    EXPECT_TRUE(byNumber.Identified);

    AccessState named;
    AcceptIdent(named, QStringLiteral("service-3187"), QStringLiteral("00456"));
    Recheck(named, QStringLiteral("01234"));
    EXPECT_TRUE(named.Identified);

    AccessState none;
    Recheck(none, QString());
    EXPECT_FALSE(none.Identified) << "an empty level never identifies, even against an empty number";
}

TEST(AccessLevels, FbedNumberMustBeAWholeNumber)
{
    int n = 0;
    EXPECT_TRUE(FbedNumberValid(QStringLiteral("4711"), &n));
    EXPECT_EQ(n, 4711);
    EXPECT_FALSE(FbedNumberValid(QStringLiteral("47x1")));
    EXPECT_FALSE(FbedNumberValid(QString()));
}
