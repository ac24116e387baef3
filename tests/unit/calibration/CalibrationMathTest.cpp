// The calibration arithmetic, against values worked out by hand.
#include "calibration/CalibrationMath.h"
#include <gtest/gtest.h>

using namespace Calib;

namespace {
QByteArray Bytes(std::initializer_list<int> b)
{
    QByteArray out;
    for (int v : b)
        out.append(char(quint8(v)));
    return out;
}
} // namespace

TEST(CalibrationMath, AverageTruncatesTheMean)
{
    const struct
    {
        int a, b, c, mean;
    } rows[] = {
        {100, 100, 101, 100},       // 301 / 3 = 100.33
        {100, 101, 101, 100},       // 302 / 3 = 100.67, truncated
        {0, 0, 2, 0},
        {65535, 65535, 65535, 65535}, // no overflow at the top of the word
        {65535, 65534, 65534, 65534}, // 196603 / 3 = 65534.33
    };
    for (const auto &r : rows)
        EXPECT_EQ(Average3(r.a, r.b, r.c), r.mean) << r.a << " " << r.b << " " << r.c;
}

TEST(CalibrationMath, LimitsReportSmallBeforeLarge)
{
    const struct
    {
        QVector<int> values;
        int min, max;
        Limit expected;
        int firstOutside;
    } rows[] = {
        {{150}, 100, 900, Limit::Ok, -1},
        {{100, 900, 500}, 100, 900, Limit::Ok, -1}, // both edges inside
        {{99}, 100, 900, Limit::TooSmall, 0},
        {{500, 901, 500}, 100, 900, Limit::TooLarge, 1},
        {{901, 50, 500}, 100, 900, Limit::TooSmall, 0}, // both: too small is named
    };
    for (const auto &r : rows) {
        EXPECT_EQ(CheckLimits(r.values, r.min, r.max), r.expected);
        EXPECT_EQ(FirstOutside(r.values, r.min, r.max), r.firstOutside);
    }
}

TEST(CalibrationMath, DifferenceMustReachTheMinimumAndAtLeastOne)
{
    const struct
    {
        QVector<int> first, second;
        int f7;
        bool ok;
    } rows[] = {
        {{400, 410, 420}, {2400, 2410, 2420}, 2000, true}, // exactly f7
        {{400, 410, 420}, {2400, 2409, 2420}, 2000, false}, // one channel short by one
        {{40}, {200}, 100, true},
        {{500}, {500}, 0, false},  // equal points: f7 of 0 does not let a zero difference pass
        {{500}, {499}, -5, false}, // reversed points with a negative minimum
        {{500}, {501}, 0, true},
    };
    for (const auto &r : rows) {
        QVector<int> d;
        EXPECT_EQ(DifferencesLargeEnough(r.first, r.second, r.f7, &d), r.ok) << r.f7;
        ASSERT_EQ(d.size(), r.second.size());
        EXPECT_EQ(d[0], r.second[0] - r.first[0]);
    }
}

TEST(CalibrationMath, CalibrationWordsLayout)
{
    // Three channels: first word, then second - first, high byte first.
    EXPECT_EQ(ThreeChannelWords({410, 0x1234, 0}, {16660, 0x1235, 0xFFFF}),
              Bytes({0x01, 0x9A, 0x3F, 0x7A, 0x12, 0x34, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xFF}));
    // One channel keeps its second point: 850 = 0x0352.
    EXPECT_EQ(OneChannelWord(850), Bytes({0x03, 0x52}));
    // 9x byte kinds: first byte, second byte per channel.
    EXPECT_EQ(BytePairs({40}, {200}), Bytes({40, 200}));
    EXPECT_EQ(BytePairs({1, 2, 3}, {101, 102, 103}), Bytes({1, 101, 2, 102, 3, 103}));
    // Phase corrections: trunc(d / 256), d mod 256.
    EXPECT_EQ(PhaseBytes({0, 255, 256, 2500, 1, 513}), Bytes({0, 0, 0, 255, 1, 0, 9, 196, 0, 1, 2, 1}));
}

TEST(CalibrationMath, PhaseEvaluation)
{
    const struct
    {
        const char *name;
        QVector<int> values;
        int period;
        bool shifted;
        bool accepted;
        QVector<int> differences;
    } rows[] = {
        {"plain", {3000, 3120, 2920, 3000, 3120, 2920}, 20000, false, true, {120, 0, 200, 120, 0, 200}},
        {"spread 500 is allowed", {3000, 3500, 3000, 3000, 3000, 3000}, 20000, false, true, {500, 0, 500, 500, 500, 500}},
        {"spread 501 measures again", {3000, 3501, 3000, 3000, 3000, 3000}, 20000, false, false, {}},
        {"above the period is reduced by it", {20100, 150, 120, 100, 150, 120}, 20000, false, true,
         {50, 0, 30, 50, 0, 30}},
        {"above twice the period measures again", {40001, 0, 0, 0, 0, 0}, 20000, false, false, {}},
        // u = trunc(20000 / 3) = 6666: phases 2, 5 lose u, 3, 6 lose 2u; spread 2500.
        {"shifted", {1000, 6666 + 3000, 13332 + 2000, 1000, 7666, 14332}, 20000, true, true,
         {2000, 0, 1000, 2000, 2000, 2000}},
        // u = 1: the values become 0, -1, -2; the largest counts from 0.
        {"negative after the shift", {0, 0, 0, 0, 0, 0}, 3, true, true, {0, 1, 2, 0, 1, 2}},
    };
    for (const auto &r : rows) {
        const PhaseResult p = EvaluatePhases(r.values, r.period, r.shifted);
        EXPECT_EQ(p.Accepted, r.accepted) << r.name;
        if (r.accepted)
            EXPECT_EQ(p.Differences, r.differences) << r.name;
    }
    EXPECT_EQ(EvaluatePhases({0, 0, 0, 0, 0, 0}, 20000, true).AllowedSpread, 2500);
}

TEST(CalibrationMath, NineXPhaseDifferences)
{
    EXPECT_EQ(PhaseDifferences9x({100, 300, 200, 0, 300, 40000}), (QVector<int>{39900, 39700, 39800, 40000, 39700, 0}));
    EXPECT_EQ(Words(reinterpret_cast<const quint8 *>("\x01\x02\xFF"), 3), QVector<int>{0x0102});
}
