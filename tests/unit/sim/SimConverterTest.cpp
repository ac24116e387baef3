// The simulated converters: the linear model, its option, and reads that must not see it.
#include "SimConverter.h"
#include "SimDevice.h"
#include "SimOptions.h"
#include <gtest/gtest.h>

TEST(SimConverter, ConfiguredModelAnswersOnlyConverterReads)
{
    SimOptions o;
    QString error;
    ASSERT_TRUE(ParseSimOptions({"--converter", "2262:100:2.5", "--converter=22A0:0:10"}, &o, &error))
        << error.toStdString();
    ASSERT_EQ(o.converters, (QStringList{QStringLiteral("2262:100:2.5"), QStringLiteral("22A0:0:10")}));

    auto conv = SimConverter::forController();
    for (const QString &c : o.converters)
        ASSERT_TRUE(conv->configure(c, &error)) << error.toStdString();
    const struct
    {
        const char *text;
    } bad[] = {{"2263:1:1"}, {"2262:x:1"}, {"2262:1:0"}, {"2262:1"}, {"zz:1:1"}};
    for (const auto &b : bad)
        EXPECT_FALSE(conv->configure(QString::fromLatin1(b.text), &error)) << b.text;

    SimDevice d;
    d.setBytes(0x2260, {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF});
    conv->setSignal(0x2262, 1000);  // 100 + 2.5 * 1000 = 2600 = 0x0A28
    conv->setSignal(0x22A0, 7000);  // 70000 is beyond the word: held at 0xFFFF
    std::vector<quint8> answer;
    ASSERT_TRUE(conv->answer(d, 0x2262, 2, &answer));
    EXPECT_EQ(answer, (std::vector<quint8>{0x0A, 0x28}));
    ASSERT_TRUE(conv->answer(d, 0x22A0, 2, &answer));
    EXPECT_EQ(answer, (std::vector<quint8>{0xFF, 0xFF}));
    // A scan of the parameter memory sees the memory as stored, and nothing was stored.
    EXPECT_FALSE(conv->answer(d, 0x2240, 64, &answer));
    EXPECT_FALSE(conv->answer(d, 0x1000, 2, &answer));
    EXPECT_EQ(d.bytes(0x2260, 6), (std::vector<quint8>{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));
}
