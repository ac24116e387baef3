#include "shell/AnsiCodec.h"
#include <QStringDecoder>

namespace {
// 0x80..0x9F of Windows-1252; 0 marks the five undefined positions (kept as C1 controls).
const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool isValidUtf8WithMultibyte(const QByteArray &bytes)
{
    bool sawHigh = false;
    for (char c : bytes)
        if (quint8(c) >= 0x80) {
            sawHigh = true;
            break;
        }
    if (!sawHigh)
        return false;
    QStringDecoder dec(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = dec.decode(bytes);
    return !dec.hasError();
}
} // namespace

namespace Ansi {

QString fromByte(quint8 b)
{
    if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80])
        return QString(QChar(kHigh[b - 0x80]));
    return QString(QChar(char16_t(b)));
}

QString decode1252(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const quint8 b = quint8(c);
        if (b >= 0x80 && b <= 0x9F && kHigh[b - 0x80])
            out.append(QChar(kHigh[b - 0x80]));
        else
            out.append(QChar(char16_t(b)));
    }
    return out;
}

QString decode(const QByteArray &bytes)
{
    if (isValidUtf8WithMultibyte(bytes))
        return QString::fromUtf8(bytes);
    return decode1252(bytes);
}

QByteArray encode(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF) || (u >= 0x80 && u <= 0x9F && !kHigh[u - 0x80])) {
            out.append(char(u));
            continue;
        }
        int found = -1;
        for (int i = 0; i < 32; ++i)
            if (kHigh[i] == u) {
                found = i;
                break;
            }
        out.append(found >= 0 ? char(0x80 + found) : '?');
    }
    return out;
}

} // namespace Ansi
