#include "shell/DataDir.h"
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {
QString g_override;

QString findEntry(const QString &dir, const QString &name)
{
    if (QFileInfo::exists(dir + QLatin1Char('/') + name))
        return name;
    const QStringList entries = QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString &e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return e;
    return QString();
}
} // namespace

namespace DataDir {

void setOverride(const QString &dir) { g_override = dir; }

QString choose(const QString &explicitDir, const QString &envDir, const QString &programDir,
               const QString &sourceDir)
{
    if (!explicitDir.isEmpty())
        return QDir::cleanPath(QDir(explicitDir).absolutePath());
    if (!envDir.isEmpty())
        return QDir::cleanPath(QDir(envDir).absolutePath());
    if (!programDir.isEmpty()) {
        // bin/ and share/ of one prefix: wherever the package or `cmake --install` put it.
        const QString installed = QDir::cleanPath(programDir + QStringLiteral("/../share/mirelo"));
        if (QFileInfo(installed + QStringLiteral("/ZPA")).isDir())
            return QDir(installed).absolutePath();
    }
    return QDir::cleanPath(QDir(sourceDir).absolutePath());
}

QString path()
{
    const QString programDir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    return choose(g_override, qEnvironmentVariable("MIRELO_DATA_DIR"), programDir,
                  QStringLiteral(MIRELO_SOURCE_DATA_DIR));
}

QString resolvePath(const QString &p)
{
    QString norm = p;
    norm.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (norm.isEmpty() || QFileInfo::exists(norm))
        return norm;
    const bool absolute = norm.startsWith(QLatin1Char('/'));
    const QStringList parts = norm.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString cur = absolute ? QStringLiteral("/") : QStringLiteral(".");
    for (int i = 0; i < parts.size(); ++i) {
        const QString found = findEntry(cur, parts[i]);
        if (found.isEmpty())
            return norm;
        cur = (cur == QLatin1String("/") ? QString() : cur) + QLatin1Char('/') + found;
    }
    if (!absolute && cur.startsWith(QLatin1String("./")))
        cur = cur.mid(2);
    return cur;
}

QString resolve(const QString &relative)
{
    QString rel = relative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return resolvePath(path() + QLatin1Char('/') + rel);
}

} // namespace DataDir
