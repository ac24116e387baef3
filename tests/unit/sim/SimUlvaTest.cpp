// The converter model of the simulated ULVA module as mirelo-sim takes it on its command line.
#include "SimOptions.h"
#include "SimUlva.h"
#include <gtest/gtest.h>

TEST(SimUlva, ModelOptionSetsTheConverterOfOneChannel)
{
    const struct
    {
        const char *text;
        bool ok;
        int channel; // 0-based
        int raw;     // converter word for the signal then applied
    } rows[] = {
        {"4:100:50:2", true, 3, 200},
        {"16:0:-10:-7", true, 15, 70},
        {"1:65000:100:1000", true, 0, 65535}, // the word cannot go beyond its 16 bits
        {"1:10:-100:1", true, 0, 0},
        {"17:1:1", false, 0, 0},
        {"0:1:1", false, 0, 0},
        {"1.5:1:1", false, 0, 0},
        {"2:a:1", false, 0, 0},
        {"2:1", false, 0, 0},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.text);
        SimUlva ulva;
        QString error;
        EXPECT_EQ(ulva.parseModel(QString::fromLatin1(r.text), &error), r.ok);
        EXPECT_EQ(error.isEmpty(), r.ok);
        if (r.ok)
            EXPECT_EQ(ulva.raw(r.channel), r.raw);
    }
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({QStringLiteral("--ulva"), QStringLiteral("3:1:2"), QStringLiteral("--ulva=4:5:6:7")},
                                &o, &error))
        << error.toStdString();
    EXPECT_EQ(o.ulva, (QStringList{QStringLiteral("3:1:2"), QStringLiteral("4:5:6:7")}));
}
