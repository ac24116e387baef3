#include "params/NumberFormat.h"
#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace NumberFormat;

TEST(NumberFormat, RoundHalfEvenGoesToTheEvenNeighbour)
{
    struct Case { double x; long long expected; };
    const Case cases[] = {
        {0.5, 0},   {1.5, 2},    {2.5, 2},    {3.5, 4},   {-0.5, 0},  {-1.5, -2}, {-2.5, -2},
        {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {7.0, 7}, {65535.5, 65536}, {0.49999999999999994, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(RoundHalfEven(c.x), c.expected) << c.x;
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(RoundHalfEven(std::numeric_limits<double>::infinity()), 0);
}

TEST(NumberFormat, FixedKeepsFourSignificantDigitsAndPadsDecimals)
{
    struct Case { double x; int d; const char *expected; };
    const Case cases[] = {
        {0.0, 2, "0,00"},
        {-0.004, 2, "0,00"},      // rounds to zero: no sign
        {0.005, 2, "0,01"},       // the double is a hair above 0.005
        {12.34, 2, "12,34"},
        {123.45, 2, "123,50"},    // fifth digit dropped, then padded with 0
        {99.996, 2, "100,00"},    // carry into a new digit
        {1234.5, 1, "1235,0"},    // exact half of the last kept digit: away from zero
        {-1234.5, 1, "-1235,0"},
        {6553.5, 1, "6554,0"},
        {2.5, 0, "3"},
        {0.5, 0, "1"},
        {0.0006, 3, "0,001"},     // rounds up to the first decimal place kept
        {0.0004, 3, "0,000"},
        {0.06, 1, "0,1"},
        {123.456, 3, "123,500"},
        {-1.0, 1, "-1,0"},
        {9999.4, 1, "9999,0"},
        {9999.5, 1, "1E4"},       // five digits before the point: scientific
        {12345.0, 0, "1,235E4"},
        {480000.0, 2, "4,8E5"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(Fixed(c.x, c.d, QLatin1Char(',')), QString::fromUtf8(c.expected)) << c.x << " d=" << c.d;
}

TEST(NumberFormat, GeneralIsShortestWithFourDigits)
{
    struct Case { double x; const char *expected; };
    const Case cases[] = {
        {0.0, "0"},         {100.0, "100"},         {3.14159, "3,142"},    {-0.5, "-0,5"},
        {1234.5, "1235"},   {9999.0, "9999"},       {9999.6, "1E4"},       {10000.0, "1E4"},
        {12345.0, "1,235E4"}, {1e20, "1E20"},       {0.1, "0,1"},          {0.00001, "0,00001"},
        {0.0000123456, "0,00001235"}, {0.000009, "9E-6"}, {-250000.0, "-2,5E5"}, {45.045, "45,05"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(General(c.x, QLatin1Char(',')), QString::fromUtf8(c.expected)) << c.x;
}

TEST(NumberFormat, SeparatorFollowsOverrideAndReset)
{
    ::SetDecimalSeparator(QLatin1Char('.'));
    EXPECT_EQ(::DecimalSeparator(), QLatin1Char('.'));
    EXPECT_EQ(Fixed(1.5, 2), QStringLiteral("1.50"));
    EXPECT_EQ(General(0.25), QStringLiteral("0.25"));
    ::SetDecimalSeparator(QLatin1Char(','));
    EXPECT_EQ(Fixed(1.5, 2), QStringLiteral("1,50"));
    ::ResetDecimalSeparator();
    EXPECT_EQ(::DecimalSeparator(), QLocale::system().decimalPoint().at(0));
}

TEST(NumberFormat, NonFiniteValuesShowZero)
{
    EXPECT_EQ(Fixed(std::nan(""), 1, QLatin1Char(',')), QStringLiteral("0,0"));
    EXPECT_EQ(General(std::numeric_limits<double>::infinity(), QLatin1Char(',')), QStringLiteral("0"));
}
