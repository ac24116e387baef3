#include "link/LinkPort.h"
#include "link/SerialLinkPort.h"
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>
#include <QMultiMap>
#include <mutex>

namespace {
std::mutex g_factoryMutex;
LinkPortFactory g_simFactory;
} // namespace

void RegisterSimPortFactory(LinkPortFactory factory)
{
    std::lock_guard<std::mutex> lock(g_factoryMutex);
    g_simFactory = std::move(factory);
}

QString SystemPortName(const QString &name)
{
    const QString n = name.trimmed();
    static const QRegularExpression com(QStringLiteral("^(?:COM)?(\\d+)$"), QRegularExpression::CaseInsensitiveOption);
    const auto m = com.match(n);
    if (m.hasMatch()) {
        const int number = m.captured(1).toInt();
        if (number >= 1)
            return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    }
    return n;
}

std::unique_ptr<LinkPort> CreateLinkPort(const QString &name)
{
    if (name.trimmed().compare(QLatin1String("SIM"), Qt::CaseInsensitive) == 0) {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        if (g_simFactory)
            return g_simFactory();
    }
    return std::make_unique<SerialLinkPort>(name);
}

bool PortExists(const QString &name)
{
    if (name.trimmed().compare(QLatin1String("SIM"), Qt::CaseInsensitive) == 0) {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        return bool(g_simFactory);
    }
    const QString path = SystemPortName(name);
    return !path.isEmpty() && QFileInfo::exists(path);
}

QVector<PortChoice> BuildPortChoices(const QVector<SystemPort> &ports, const QString &byIdDir, bool withSim)
{
    // Stable names by the device they point to.
    QMultiMap<QString, QString> stable;
    const QFileInfoList links =
        QDir(byIdDir).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links) {
        const QString target = link.canonicalFilePath();
        if (!target.isEmpty())
            stable.insert(target, link.absoluteFilePath());
    }
    QVector<SystemPort> sorted = ports;
    std::sort(sorted.begin(), sorted.end(), [](const SystemPort &a, const SystemPort &b) { return a.Path < b.Path; });
    QVector<PortChoice> choices;
    for (const SystemPort &port : sorted) {
        const QString canonical = QFileInfo(port.Path).canonicalFilePath();
        const QString device = QFileInfo(port.Path).fileName();
        // The stable name survives re-plugging into another socket, so it is offered first.
        QStringList names = stable.values(canonical.isEmpty() ? port.Path : canonical);
        std::sort(names.begin(), names.end());
        for (const QString &name : names)
            choices.append({name, port.Description.isEmpty()
                                      ? device
                                      : port.Description + QStringLiteral(" (") + device + QLatin1Char(')')});
        choices.append({port.Path, port.Description});
    }
    if (withSim)
        choices.append({QStringLiteral("SIM"), QStringLiteral("Simuliertes Gerät")});
    return choices;
}

QVector<PortChoice> ListPortChoices()
{
    QVector<SystemPort> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts()) {
        QString description = info.description();
        if (!info.manufacturer().isEmpty())
            description += (description.isEmpty() ? QString() : QStringLiteral(" ")) + QLatin1Char('(') +
                           info.manufacturer() + QLatin1Char(')');
        ports.append({info.systemLocation(), description});
    }
    bool sim = false;
    {
        std::lock_guard<std::mutex> lock(g_factoryMutex);
        sim = bool(g_simFactory);
    }
    return BuildPortChoices(ports, QStringLiteral("/dev/serial/by-id"), sim);
}
