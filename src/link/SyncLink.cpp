#include "link/SyncLink.h"
#include "link/Protocol.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

namespace {
// Collects the port-opening message instead of showing it.
class CapturePrompter : public Prompter
{
public:
    QString Last;
    void error(const QString &t) override { Last = t; }
    void warning(const QString &t) override { Last = t; }
    void information(const QString &t) override { Last = t; }
    bool question(const QString &) override { return false; }
};
} // namespace

SyncLink::SyncLink(const Settings &settings, Prompter *prompter) : m_settings(settings)
{
    const ProtocolEntry *p = Protocol(settings.Protocol);
    if (!p)
        p = Protocol(4);
    m_slave = ProtocolSlave(settings.Protocol, settings.SlaveAddress);
    m_own = settings.OwnAddress;
    SetHandshake(p->Handshake);
    m_thread = std::make_unique<TTeleThread>();
    m_thread->SetReadTimeout(settings.ReadTimeoutMs);
    static CapturePrompter capture;
    m_thread->SetPrompter(prompter ? prompter : &capture);
    m_thread->SetPort(settings.Port, p->Baud);
}

SyncLink::~SyncLink() { m_thread.reset(); }

bool SyncLink::Open(QString *error, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (m_thread->OpenAttempts() == 0 && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (m_thread->PortOpen())
        return true;
    if (error)
        *error = QStringLiteral("Schnittstelle %1 konnte nicht geöffnet werden.").arg(m_settings.Port);
    return false;
}

TeleReport SyncLink::Exchange(quint8 code, quint32 address, int count, QByteArray *data)
{
    TeleReport report;
    quint8 *buffer = m_image.At(TelePos::AddrHigh);
    const int capacity = tyTelegramm::Capacity(TelePos::AddrHigh);
    const bool isWrite = code == 3 || code == 4 || code == 20 || code == 26 || code == 36;
    if (isWrite && data) {
        for (int i = 0; i < count && i < capacity; ++i)
            buffer[i] = quint8(data->at(i));
    }
    if (!m_thread->Push(&m_requester, TeleDone, quint8(m_slave), quint8(m_own), code, address, quint8(count), buffer,
                        capacity)) {
        report.wParam = quint32(255) << 16;
        return report;
    }
    // Worst case: 21 + 51 one-byte reads plus the answer bytes.
    const int limit = m_settings.ReadTimeoutMs * 80 + 5000;
    if (!m_requester.Wait(&report, limit)) {
        report.wParam = (quint32(99) << 24) | (quint32(255) << 16);
        return report;
    }
    if (report.Ok() && !isWrite && data)
        *data = QByteArray(reinterpret_cast<const char *>(buffer), qMin(count, capacity));
    return report;
}

QString SyncLink::FailureText(const TeleReport &report)
{
    if (report.Ok())
        return QString();
    return TeleText(TTeleThread::StateToTextIndex(report.State()));
}
