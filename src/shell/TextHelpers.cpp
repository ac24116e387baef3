#include "shell/TextHelpers.h"

namespace Text {

QString RemoveSpaces(const QString &s)
{
    QString r;
    r.reserve(s.size());
    for (QChar c : s)
        if (c != QLatin1Char(' '))
            r.append(c);
    return r;
}

QString SplitAt(QString &line, QChar sep)
{
    const int pos = line.indexOf(sep);
    QString field;
    if (pos < 0) {
        field = line;
        line.clear();
    } else {
        field = line.left(pos);
        line.remove(0, pos + 1);
    }
    return field;
}

long long ParseNumber(const QString &text, bool *ok)
{
    const QString t = RemoveSpaces(text);
    bool good = false;
    long long v = 0;
    if (t.startsWith(QLatin1Char('$')))
        v = t.mid(1).toLongLong(&good, 16);
    else
        v = t.toLongLong(&good, 10);
    if (ok)
        *ok = good;
    return good ? v : 0;
}

long long NextField(QString &line, QChar sep)
{
    if (line.isEmpty())
        return -1;
    return ParseNumber(SplitAt(line, sep));
}

quint32 HexToInt(const QString &s)
{
    quint32 v = 0;
    for (QChar c : s) {
        const int d = QChar(c).isDigit() ? c.unicode() - '0'
                      : (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ? c.unicode() - 'a' + 10
                      : (c >= QLatin1Char('A') && c <= QLatin1Char('F')) ? c.unicode() - 'A' + 10
                                                                          : -1;
        if (d >= 0 && c.unicode() < 128)
            v = v * 16 + quint32(d);
    }
    return v;
}

QString ByteToHex(int b) { return ToHex(quint32(b) & 0xFF, 2); }

QString ToHex(quint32 v, int digits)
{
    return QString::number(v, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

} // namespace Text
