#include "services/OperatingHours.h"
#include "device/Catalogue.h"
#include "params/ParameterSender.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"

const QString OperatingHours::ReadAction = QStringLiteral("RB_Click");
const QString OperatingHours::WriteAction = QStringLiteral("Betriebsstunden Schreiben");
const QString OperatingHours::ReadBackAction = QStringLiteral("Betriebsstunden Rücklesen");

namespace {
// Own address of these requests, whatever the settings say (as the single-value write).
constexpr quint8 kOwnAddress = 55;
constexpr int kBlock = 4;
} // namespace

OperatingHours::OperatingHours(MainController &main, ParameterSender &sender, QObject *parent)
    : QObject(parent), m_main(main), m_sender(sender)
{
    m_main.RegisterAction(ReadAction, [this](const TeleReport &r) { OnRead(r); });
    m_main.RegisterAction(ReadBackAction, [this](const TeleReport &r) { OnReadBack(r); });
    // Reads may go out again on a noisy line; the write is repeated by the sender's own rule.
    m_main.SetRepeatable(ReadAction);
    m_main.SetRepeatable(ReadBackAction);
    m_sender.RegisterAckContinuation(WriteAction, [this] { OnWritten(); });
    connect(&m_sender, &ParameterSender::WriteFailed, this, [this] {
        if (m_writeStep == 1) {
            m_refused = !m_sender.LinkFailed();
            FailWrite();
        }
    });
}

OperatingHours::~OperatingHours()
{
    for (const QString &name : {ReadAction, ReadBackAction}) {
        m_main.RegisterAction(name, nullptr);
        m_main.SetRepeatable(name, false);
    }
    m_sender.RegisterAckContinuation(WriteAction, nullptr);
    // A chain of this object must not be continued by a report that arrives after it.
    const QString pending = m_main.PendingAction;
    if (pending == ReadAction || pending == ReadBackAction || pending == WriteAction)
        m_main.SetPendingAction(QString());
}

quint32 OperatingHours::Decode(const quint8 *block)
{
    return (quint32(block[1]) << 16) | (quint32(block[2]) << 8) | quint32(block[3]);
}

std::array<quint8, 3> OperatingHours::Encode(quint32 value)
{
    return {quint8(value >> 16), quint8(value >> 8), quint8(value)};
}

bool OperatingHours::ParseValue(const QString &text, quint32 *value, QString *error)
{
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < 0 || v > qlonglong(MaxValue)) {
        if (error)
            *error = GetText(610) + QStringLiteral(" (") + text.trimmed() + QLatin1Char(')');
        return false;
    }
    *value = quint32(v);
    return true;
}

bool OperatingHours::Available(QString *why) const
{
    QString reason;
    if (!m_main.Online)
        reason = GetText(614);
    else if (!IsControllerType(m_main.Data.State.DeviceType))
        reason = GetText(613);
    else if (m_main.Access.Level != Level::Ser)
        reason = GetText(615);
    if (why)
        *why = reason;
    return reason.isEmpty();
}

bool OperatingHours::WriteAllowed() const
{
    return !m_main.ModemOnline;
}

bool OperatingHours::AnswerComplete(const TeleReport &report) const
{
    // A short answer would leave bytes of an earlier exchange shown as this counter.
    return report.Ok() && int(report.Byte(3)) - 4 >= kBlock;
}

bool OperatingHours::SendRead(const QString &action)
{
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::Slave] = m_main.Init.SlaveAddress;
    img[TelePos::Own] = kOwnAddress;
    img[TelePos::Length] = 7;
    img[TelePos::Code] = 5;
    img[TelePos::AddrHigh] = quint8(ReadAddress(m_counter) >> 8);
    img[TelePos::AddrLow] = quint8(ReadAddress(m_counter));
    img[TelePos::CountOrData] = kBlock;
    m_main.SetPendingAction(action);
    m_main.LinkBusy = true;
    if (!m_main.SendImage()) {
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        return false;
    }
    return true;
}

bool OperatingHours::Read(Counter c)
{
    if (c == Counter::None || Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        m_main.UserPrompter().error(why);
        return false;
    }
    // A new selection forgets the value of the other counter: it must never be written here.
    m_counter = c;
    m_hasValue = false;
    m_readStep = 1;
    if (!SendRead(ReadAction)) {
        m_readStep = 0;
        return false;
    }
    return true;
}

void OperatingHours::OnRead(const TeleReport &report)
{
    m_readStep = 0;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (!AnswerComplete(report)) {
        // The link warning has been shown by the dispatch; a short answer is told here.
        if (report.Ok())
            m_main.UserPrompter().warning(GetText(41));
        emit ReadFinished(false, m_counter, 0);
        return;
    }
    m_value = Decode(&m_main.WorkImage[TelePos::AddrHigh]);
    m_hasValue = true;
    emit ReadFinished(true, m_counter, m_value);
}

bool OperatingHours::Write(Counter c, const QString &text)
{
    Prompter &p = m_main.UserPrompter();
    if (c == Counter::None || Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        p.error(why);
        return false;
    }
    if (!WriteAllowed())
        return false;
    quint32 value = 0;
    if (text.trimmed().isEmpty()) {
        // Nothing typed: only the value just read for this counter may go back.
        if (!m_hasValue || c != m_counter) {
            p.error(GetText(611));
            return false;
        }
        value = m_value;
    } else if (!ParseValue(text, &value, &why)) {
        p.error(why);
        return false;
    }
    if (c != m_counter)
        m_hasValue = false;
    m_counter = c;
    m_written = value;
    m_refused = false;
    const auto bytes = Encode(value);
    m_sender.SendHigh = bytes[0];
    m_sender.SendLow = bytes[1];
    m_sender.SendThird = bytes[2];
    m_writeStep = 1;
    m_main.SetPendingAction(WriteAction);
    if (!m_sender.WriteValue(3, QString::number(ValueAddress(c), 16))) {
        m_writeStep = 0;
        if (m_main.PendingAction == WriteAction)
            m_main.SetPendingAction(QString());
        return false;
    }
    return true;
}

void OperatingHours::OnWritten()
{
    // The single-value write reads back at most two bytes; the third is checked here by
    // reading the whole counter again.
    m_writeStep = 2;
    if (!SendRead(ReadBackAction)) {
        m_main.UserPrompter().error(GetText(41));
        FailWrite();
    }
}

void OperatingHours::OnReadBack(const TeleReport &report)
{
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (!AnswerComplete(report)) {
        if (report.Ok())
            m_main.UserPrompter().warning(GetText(41));
        FailWrite();
        return;
    }
    const quint8 *block = &m_main.WorkImage[TelePos::AddrHigh];
    const quint32 shown = Decode(block);
    // Only what the device answers goes into the image.
    DeviceData &d = m_main.Data;
    const long long index = d.State.IndexOf(ValueAddress(m_counter));
    for (int k = 0; k < 3; ++k)
        d.Geraet.SetByte(index + k, block[1 + k]);
    m_value = shown;
    m_hasValue = true;
    m_writeStep = 0;
    // The hours may have grown by one between write and read-back on a running set.
    const bool ok = shown == m_written || (m_counter == Counter::Hours && shown == m_written + 1);
    if (!ok)
        m_main.UserPrompter().error(GetText(612).arg(shown).arg(m_written));
    emit WriteFinished(ok, m_counter, shown);
}

void OperatingHours::FailWrite()
{
    m_writeStep = 0;
    if (m_main.PendingAction == WriteAction || m_main.PendingAction == ReadBackAction)
        m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    emit WriteFinished(false, m_counter, m_value);
}
