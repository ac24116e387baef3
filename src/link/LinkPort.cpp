#include "link/LinkPort.h"
#include "link/SerialLinkPort.h"
#include <QRegularExpression>
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
