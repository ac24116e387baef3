#include "calibration/CanAnalog.h"
#include "link/TeleThread.h"
#include "params/ParameterSender.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"

const QString CanAnalog::FirstAction = QStringLiteral("AnalogCAN 1");
const QString CanAnalog::SecondAction = QStringLiteral("AnalogCAN 2");

CanAnalog::CanAnalog(MainController &main, ParameterSender &sender, QObject *parent)
    : QObject(parent), m_main(main), m_sender(sender)
{
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, [this] {
        if (m_step != 0)
            Fail(GetText(907));
    });
    m_sender.RegisterAckContinuation(FirstAction, [this] { OnPairConfirmed(); });
    m_sender.RegisterAckContinuation(SecondAction, [this] { OnPairConfirmed(); });
    connect(&m_sender, &ParameterSender::WriteFailed, this, [this] {
        if (m_step != 0)
            Fail(GetText(908));
    });
}

CanAnalog::~CanAnalog()
{
    m_sender.RegisterAckContinuation(FirstAction, nullptr);
    m_sender.RegisterAckContinuation(SecondAction, nullptr);
    const QString p = m_main.PendingAction;
    if (m_step != 0 && (p == FirstAction || p == SecondAction || p == QLatin1String("DatenSenden") ||
                        p == QLatin1String("Quittung")))
        m_main.SetPendingAction(QString());
}

const QStringList &CanAnalog::Names()
{
    static const QStringList names = {
        QStringLiteral("Motortemperatur"), QStringLiteral("Öldruck"), QStringLiteral("Öltemperatur"),
        QStringLiteral("Drehzahl"), QStringLiteral("Kühlwasserstand"), QStringLiteral("Kraftstoffverbrauch"),
        QStringLiteral("EEC1 Drehmoment in %"), QStringLiteral("EEC2 Belastung in %"),
        QStringLiteral("Kraftstofftemperatur"), QStringLiteral("Ladeluftdruck"), QStringLiteral("Ladelufttemperatur"),
        QStringLiteral("Ölstand"), QStringLiteral("Kurbelwannendruck"), QStringLiteral("Kraftstoffdruck"),
        QStringLiteral("ECU Fehlercode"), QStringLiteral("Umgebungstemperatur"),
        QStringLiteral("Wicklungstemperatur 1"), QStringLiteral("Wicklungstemperatur 2"),
        QStringLiteral("Wicklungstemperatur 3"), QStringLiteral("Druckmessung 1       "),
        QStringLiteral("Druckmessung 2       "), QStringLiteral("Abgastemperatur B    "),
        QStringLiteral("Abgastemperatur A    "), QStringLiteral("Luftdruck            "),
        QStringLiteral("Füllstand Tagestank  "), QStringLiteral("Füllstand Vorratstank"),
        QStringLiteral("AW27                 "), QStringLiteral("AW28                 "),
        QStringLiteral("AW29                 "), QStringLiteral("AW30                 "), QStringLiteral("AW31"),
        QStringLiteral("AW32")};
    return names;
}

QVector<quint8> CanAnalog::MaskBytes(const QVector<bool> &checked)
{
    QVector<quint8> bytes((checked.size() + 7) / 8, 0);
    for (int k = 0; k < checked.size(); ++k)
        if (checked[k])
            bytes[k / 8] = quint8(bytes[k / 8] | (1 << (k % 8)));
    return bytes;
}

QVector<bool> CanAnalog::CheckedFromMask(const QVector<quint8> &mask, int count)
{
    QVector<bool> checked(count, false);
    for (int k = 0; k < count && k / 8 < mask.size(); ++k)
        checked[k] = mask[k / 8] & (1 << (k % 8));
    return checked;
}

QVector<bool> CanAnalog::Checked() const
{
    const int version = m_main.Data.Geraet.ProgramVersion;
    const int count = ValueCount(version);
    const long long index = m_main.Data.State.IndexOf(MaskAddress(version));
    QVector<quint8> mask;
    for (int k = 0; k < count / 8; ++k)
        mask.append(quint8(m_main.Data.Geraet.GetByte(index + k)));
    return CheckedFromMask(mask, count);
}

int CanAnalog::WaitLimitMs() const
{
    if (m_limitOverride > 0)
        return m_limitOverride;
    // Two pairs, each a write and its read-back; every exchange may time out and be repeated.
    const int tries = 1 + qMax(0, m_main.Settings.Retries);
    const int perExchange = tries * (TTeleThread::ReadTimeoutMs * 2) + (tries - 1) * MainController::RepeatPauseMs;
    return 4 * perExchange + 2000;
}

bool CanAnalog::Apply(const QVector<bool> &checked)
{
    if (m_step != 0)
        return false;
    const int version = m_main.Data.Geraet.ProgramVersion;
    QVector<bool> marks = checked;
    marks.resize(ValueCount(version));
    m_bytes = MaskBytes(marks);
    m_address = MaskAddress(version);
    if (m_main.OfflineFile || !m_main.Online) {
        // A set from a file: only the image changes.
        const long long index = m_main.Data.State.IndexOf(m_address);
        for (int k = 0; k < m_bytes.size(); ++k)
            m_main.Data.Geraet.SetByte(index + k, m_bytes[k]);
        Done();
        return true;
    }
    m_limit.start(WaitLimitMs());
    if (!SendPair(1)) {
        m_limit.stop();
        m_step = 0;
        return false;
    }
    return true;
}

bool CanAnalog::SendPair(int pair)
{
    m_step = pair;
    m_sender.SendHigh = m_bytes[2 * (pair - 1)];
    m_sender.SendLow = m_bytes[2 * (pair - 1) + 1];
    m_main.SetPendingAction(pair == 1 ? FirstAction : SecondAction);
    const int address = m_address + 2 * (pair - 1);
    if (!m_sender.WriteValue(2, QString::number(address, 16))) {
        if (m_main.PendingAction == FirstAction || m_main.PendingAction == SecondAction)
            m_main.SetPendingAction(QString());
        return false;
    }
    return true;
}

void CanAnalog::OnPairConfirmed()
{
    if (m_step == 0)
        return;
    m_main.SetPendingAction(QString());
    if (m_step == 1 && m_bytes.size() == 4) {
        if (!SendPair(2))
            Fail(QString());
        return;
    }
    Done();
}

void CanAnalog::Done()
{
    m_limit.stop();
    m_step = 0;
    m_main.UpdateMenus();
    emit Finished(true);
}

void CanAnalog::Fail(const QString &message)
{
    m_limit.stop();
    const QString p = m_main.PendingAction;
    if (p == FirstAction || p == SecondAction || p == QLatin1String("DatenSenden") || p == QLatin1String("Quittung"))
        m_main.SetPendingAction(QString());
    m_step = 0;
    if (!message.isEmpty())
        m_main.UserPrompter().warning(message);
    m_main.UpdateMenus();
    emit Finished(false);
}
