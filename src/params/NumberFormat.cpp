#include "params/NumberFormat.h"
#include <QLocale>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace NumberFormat {

namespace {

char16_t systemSeparator()
{
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? u'.' : point.at(0).unicode();
}

// 0 means "not chosen yet": the regional separator is looked up on first use, because
// asking QLocale for every number would cost more than the formatting itself.
std::atomic<char16_t> g_separator{0};

// A finite non-zero magnitude as significant decimal digits: value = 0.d1d2d3... * 10^point.
struct Decimal
{
    char digits[32];
    int count = 0; // significant digits, trailing zeros removed; 0 means zero
    int point = 0;
    bool negative = false;
};

Decimal toDecimal(double x)
{
    Decimal d;
    d.negative = x < 0;
    const double a = std::fabs(x);
    if (a == 0.0)
        return d;
    // 26 significant digits are far more than a double carries, so a digit 5 followed by
    // zeros only appears for a value that is exactly half way.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.25e", a);
    const char *e = std::strchr(buf, 'e');
    int n = 0;
    for (const char *p = buf; p < e; ++p)
        if (*p >= '0' && *p <= '9')
            d.digits[n++] = *p;
    d.count = n;
    d.point = std::atoi(e + 1) + 1;
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
    return d;
}

// Keeps `keep` significant digits (may be 0 or negative: rounding to a place before the
// first digit), rounding half away from zero.
void roundTo(Decimal &d, int keep)
{
    if (d.count == 0 || keep >= d.count)
        return;
    if (keep < 0) {
        d.count = 0;
        return;
    }
    const bool up = d.digits[keep] >= '5';
    d.count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[i];
        } else {
            // All nines (or nothing kept): the value becomes 1 in the next place up.
            std::memmove(d.digits + 1, d.digits, size_t(d.count));
            d.digits[0] = '1';
            ++d.count;
            ++d.point;
        }
    }
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
}

QString scientific(const Decimal &d, QChar sep)
{
    QString s;
    if (d.negative)
        s += QLatin1Char('-');
    s += QLatin1Char(d.digits[0]);
    if (d.count > 1) {
        s += sep;
        for (int i = 1; i < d.count; ++i)
            s += QLatin1Char(d.digits[i]);
    }
    s += QLatin1Char('E');
    s += QString::number(d.point - 1);
    return s;
}

// Digits as a plain decimal text with exactly `decimals` places, or the fewest places
// needed when decimals < 0.
QString plain(const Decimal &d, int decimals, QChar sep)
{
    QString s;
    if (d.negative)
        s += QLatin1Char('-');
    if (d.point <= 0) {
        s += QLatin1Char('0');
    } else {
        for (int i = 0; i < d.point; ++i)
            s += QLatin1Char(i < d.count ? d.digits[i] : '0');
    }
    QString frac;
    if (d.point < 0) // below 0.1: zeros between the point and the first digit
        frac = QString(-d.point, QLatin1Char('0')) + QString::fromLatin1(d.digits, d.count);
    else
        for (int i = d.point; i < d.count; ++i)
            frac += QLatin1Char(d.digits[i]);
    if (decimals >= 0)
        frac = frac.leftJustified(decimals, QLatin1Char('0'), true);
    if (!frac.isEmpty())
        s += sep + frac;
    return s;
}

} // namespace

QChar DecimalSeparator()
{
    char16_t c = g_separator.load(std::memory_order_relaxed);
    if (c == 0) {
        c = systemSeparator();
        g_separator.store(c, std::memory_order_relaxed);
    }
    return QChar(c);
}

void SetDecimalSeparator(QChar separator) { g_separator.store(separator.unicode(), std::memory_order_relaxed); }

void ResetDecimalSeparator() { g_separator.store(systemSeparator(), std::memory_order_relaxed); }

long long RoundHalfEven(double x)
{
    if (!std::isfinite(x))
        return 0;
    const double f = std::floor(x);
    const double diff = x - f;
    double r;
    if (diff < 0.5)
        r = f;
    else if (diff > 0.5)
        r = f + 1.0;
    else
        r = std::fmod(f, 2.0) == 0.0 ? f : f + 1.0;
    if (r > 9.0e18 || r < -9.0e18)
        return 0;
    return static_cast<long long>(r);
}

QString Fixed(double value, int decimals, QChar sep)
{
    if (decimals < 0)
        decimals = 0;
    Decimal d = std::isfinite(value) ? toDecimal(value) : Decimal();
    roundTo(d, std::min(4, d.point + decimals));
    if (d.count == 0) {
        // Zero, and values that round to zero, are shown without a sign.
        d.negative = false;
        d.point = 1;
        return decimals > 0 ? QStringLiteral("0") + sep + QString(decimals, QLatin1Char('0')) : QStringLiteral("0");
    }
    if (d.point > 4)
        return scientific(d, sep);
    return plain(d, decimals, sep);
}

QString General(double value, QChar sep)
{
    Decimal d = std::isfinite(value) ? toDecimal(value) : Decimal();
    roundTo(d, 4);
    if (d.count == 0)
        return QStringLiteral("0");
    if (d.point > 4 || d.point < -4)
        return scientific(d, sep);
    return plain(d, -1, sep);
}

QString Fixed(double value, int decimals) { return Fixed(value, decimals, DecimalSeparator()); }

QString General(double value) { return General(value, DecimalSeparator()); }

} // namespace NumberFormat
