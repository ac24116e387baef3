#include "shell/UpdateCheck.h"
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#ifndef MIRELO_VERSION
#define MIRELO_VERSION "0.0.0"
#endif

namespace {
// Kept in every binary that links this file (the About box and the start-up read it), and
// marked used so that no optimisation drops it.
[[gnu::used]] const char kMarker[] = "MIRELO-VERSION:" MIRELO_VERSION;
constexpr int kPrefixLength = 15; // "MIRELO-VERSION:"
constexpr int kMaxVersionLength = 32;

bool IsVersionChar(char c) { return (c >= '0' && c <= '9') || c == '.'; }

// The version after the prefix at pos: digits and dots, starting with a digit.
QByteArray VersionAt(const QByteArray &data, qsizetype pos)
{
    QByteArray version;
    for (qsizetype i = pos; i < data.size() && version.size() < kMaxVersionLength; ++i) {
        if (!IsVersionChar(data.at(i)))
            break;
        version.append(data.at(i));
    }
    if (version.isEmpty() || version.at(0) == '.')
        return {};
    while (version.endsWith('.'))
        version.chop(1);
    return version;
}
} // namespace

namespace UpdateCheck {

const char *OwnMarker() { return kMarker; }

QString MarkerPrefix() { return QString::fromLatin1(kMarker, kPrefixLength); }

QString OwnVersion() { return QString::fromLatin1(kMarker + kPrefixLength); }

QString ReadVersionMarker(const QString &binaryPath, qint64 maxBytes)
{
    QFile file(binaryPath);
    if (binaryPath.isEmpty() || !QFileInfo(binaryPath).isFile() || !file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray prefix(kMarker, kPrefixLength);
    constexpr qint64 kChunk = 1 << 20;
    // Each chunk starts with the end of the previous one, so that a marker across the
    // boundary is still seen whole.
    const qsizetype keep = prefix.size() + kMaxVersionLength;
    QByteArray window;
    qint64 consumed = 0;
    while (consumed < maxBytes) {
        const QByteArray chunk = file.read(qMin(kChunk, maxBytes - consumed));
        if (chunk.isEmpty())
            break;
        consumed += chunk.size();
        window.append(chunk);
        const bool last = file.atEnd() || consumed >= maxBytes;
        qsizetype from = 0;
        for (;;) {
            const qsizetype pos = window.indexOf(prefix, from);
            if (pos < 0)
                break;
            const qsizetype versionPos = pos + prefix.size();
            // A marker near the end of the window waits for the next chunk unless this is the last.
            if (!last && window.size() - versionPos < kMaxVersionLength)
                break;
            const QByteArray version = VersionAt(window, versionPos);
            if (!version.isEmpty())
                return QString::fromLatin1(version);
            // The prefix alone (e.g. the search pattern of the scanner itself): look further.
            from = pos + 1;
        }
        if (last)
            break;
        if (window.size() > keep)
            window = window.right(keep);
    }
    return {};
}

bool IsNewerVersion(const QString &candidate, const QString &own)
{
    const QString a = candidate.trimmed();
    const QString b = own.trimmed();
    if (a.isEmpty() || a == b)
        return false;
    const QStringList fa = a.split(QLatin1Char('.'));
    const QStringList fb = b.split(QLatin1Char('.'));
    // A field that is missing or not a number counts as 0, so "1.2" equals "1.2.0".
    const int n = int(qMax(fa.size(), fb.size()));
    for (int i = 0; i < n; ++i) {
        const qlonglong x = fa.value(i).trimmed().toLongLong();
        const qlonglong y = fb.value(i).trimmed().toLongLong();
        if (x > y)
            return true;
        if (x < y)
            return false;
    }
    return false;
}

QString FindNewerProgram(const QString &updateFolder, const QString &programPath, const QString &ownVersion)
{
    if (updateFolder.trimmed().isEmpty() || programPath.isEmpty())
        return {};
    QString folder = updateFolder.trimmed();
    folder.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString candidate = QDir(folder).filePath(QFileInfo(programPath).fileName());
    // The running program itself is never its own update.
    if (QFileInfo(candidate).canonicalFilePath() == QFileInfo(programPath).canonicalFilePath())
        return {};
    const QString version = ReadVersionMarker(candidate);
    return IsNewerVersion(version, ownVersion) ? candidate : QString();
}

} // namespace UpdateCheck
