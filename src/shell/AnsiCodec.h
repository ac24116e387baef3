#pragma once
#include <QByteArray>
#include <QString>

// The text files that existing installations share are Windows-1252. UTF-8 is accepted
// on reading when the bytes are valid UTF-8 (files edited on Linux).
namespace Ansi {
QString decode(const QByteArray &bytes);
// Strict Windows-1252 decoding, no UTF-8 detection (device bytes, identification texts).
QString decode1252(const QByteArray &bytes);
QString fromByte(quint8 b);
// Characters outside Windows-1252 become '?'.
QByteArray encode(const QString &text);
} // namespace Ansi
