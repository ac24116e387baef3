#include "services/ProgramService.h"
#include "device/Catalogue.h"
#include "params/ParameterSender.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include "link/TeleThread.h"
#include <QThread>
#include <QTimer>

const QString ProgramService::ModemAction = QStringLiteral("Service Modem");
const QString ProgramService::PassThroughAction = QStringLiteral("ZumZevModem");
const QString ProgramService::ReadAction = QStringLiteral("Service Lesen");
const QString ProgramService::WriteAction = QStringLiteral("Service Schreiben");
const QString ProgramService::ClearFirstAction = QStringLiteral("Service Events Zeiger");
const QString ProgramService::ClearSecondAction = QStringLiteral("Service Events Umlauf");

namespace {
constexpr quint8 kOwnAddress = 55;
constexpr int kReadCount = 4;
} // namespace

ProgramService::ProgramService(MainController &main, ParameterSender &sender, QObject *parent)
    : QObject(parent), m_main(main), m_sender(sender)
{
    m_main.RegisterAction(ReadAction, [this](const TeleReport &r) { OnRead(r); });
    m_main.SetRepeatable(ReadAction);
    m_main.RegisterAction(ClearFirstAction, [this](const TeleReport &r) { OnClear(r); });
    m_main.RegisterAction(ClearSecondAction, [this](const TeleReport &r) { OnClear(r); });
    m_main.RegisterAction(ModemAction, [this](const TeleReport &r) { OnHandOver(r); });
    m_modemTimer.setInterval(1000);
    connect(&m_modemTimer, &QTimer::timeout, this, &ProgramService::ModemTimer);
    m_sender.RegisterAckContinuation(WriteAction, [this] {
        if (m_step != Step::Writing)
            return;
        m_main.SetPendingAction(QString());
        m_current = m_written;
        m_hasValue = true;
        m_step = Step::Idle;
        emit WriteFinished(true, m_value, m_written);
    });
    connect(&m_sender, &ParameterSender::WriteFailed, this, [this] {
        if (m_step != Step::Writing)
            return;
        Finish();
        emit WriteFinished(false, m_value, m_written);
    });
}

ProgramService::~ProgramService()
{
    StopModem();
    for (const QString &name : {ReadAction, ClearFirstAction, ClearSecondAction, ModemAction})
        m_main.RegisterAction(name, nullptr);
    m_main.SetRepeatable(ReadAction, false);
    m_sender.RegisterAckContinuation(WriteAction, nullptr);
    const QString pending = m_main.PendingAction;
    if (pending == ReadAction || pending == WriteAction || pending == ClearFirstAction ||
        pending == ClearSecondAction || pending == ModemAction)
        m_main.SetPendingAction(QString());
}

int ProgramService::Decode(Value v, quint8 high, quint8 low)
{
    const int word = (int(high) << 8) | low;
    return v == Value::Interval && word > 0x7FFF ? word - 0x10000 : word;
}

bool ProgramService::ParseValue(Value v, const QString &text, int *value, QString *error)
{
    bool ok = false;
    const qlonglong n = text.trimmed().toLongLong(&ok, 10);
    if (!ok || n < Minimum(v) || n > Maximum(v)) {
        if (error)
            *error = GetText(660).arg(Minimum(v)).arg(Maximum(v)) + QStringLiteral(" (") + text.trimmed() +
                     QLatin1Char(')');
        return false;
    }
    *value = int(n);
    return true;
}

bool ProgramService::Available(QString *why) const
{
    QString reason;
    if (!m_main.Online)
        reason = GetText(614);
    else if (!IsControllerType(m_main.Data.State.DeviceType))
        reason = GetText(661);
    else if (m_main.Access.Level != Level::Ser)
        reason = GetText(152);
    if (why)
        *why = reason;
    return reason.isEmpty();
}

bool ProgramService::ClearAllowed() const
{
    const DeviceData &d = m_main.Data;
    return (d.Geraet.GetByte(d.State.IndexOf(EventOptionAddress)) & EventOptionBit) != 0;
}

void ProgramService::Finish()
{
    m_step = Step::Idle;
    const QString pending = m_main.PendingAction;
    if (pending == ReadAction || pending == WriteAction || pending == ClearFirstAction ||
        pending == ClearSecondAction || pending == ModemAction)
        m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
}

bool ProgramService::Read(Value v)
{
    if (v == Value::None || Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        m_main.UserPrompter().error(why);
        return false;
    }
    // A new selection forgets the value read for the other one: it must never be written.
    m_value = v;
    m_hasValue = false;
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::Slave] = m_main.Init.SlaveAddress;
    img[TelePos::Own] = kOwnAddress;
    img[TelePos::Length] = 7;
    img[TelePos::Code] = 5;
    img[TelePos::AddrHigh] = quint8(Address(v) >> 8);
    img[TelePos::AddrLow] = quint8(Address(v));
    img[TelePos::CountOrData] = kReadCount;
    m_step = Step::Reading;
    m_main.SetPendingAction(ReadAction);
    m_main.LinkBusy = true;
    if (!m_main.SendImage()) {
        Finish();
        return false;
    }
    return true;
}

void ProgramService::OnRead(const TeleReport &report)
{
    if (m_step != Step::Reading)
        return;
    Finish();
    // A short answer would show bytes of an earlier exchange as this value.
    if (!report.Ok() || int(report.Byte(3)) - 4 < 2) {
        if (report.Ok())
            m_main.UserPrompter().warning(GetText(41));
        emit ReadFinished(false, m_value, 0);
        return;
    }
    const tyTelegramm &img = m_main.WorkImage;
    m_current = Decode(m_value, img[TelePos::AddrHigh], img[TelePos::AddrHigh + 1]);
    m_hasValue = true;
    emit ReadFinished(true, m_value, m_current);
}

bool ProgramService::Write(Value v, const QString &text)
{
    Prompter &p = m_main.UserPrompter();
    if (v == Value::None || Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        p.error(why);
        return false;
    }
    int value = 0;
    if (text.trimmed().isEmpty()) {
        if (!m_hasValue || v != m_value) {
            p.error(GetText(662));
            return false;
        }
        value = m_current;
    } else if (!ParseValue(v, text, &value, &why)) {
        p.error(why);
        return false;
    }
    if (v != m_value)
        m_hasValue = false;
    m_value = v;
    m_written = value;
    const quint16 word = quint16(value);
    m_sender.SendHigh = word >> 8;
    m_sender.SendLow = word & 0xFF;
    m_step = Step::Writing;
    m_main.SetPendingAction(WriteAction);
    if (!m_sender.WriteValue(2, QString::number(Address(v), 16))) {
        Finish();
        return false;
    }
    return true;
}

bool ProgramService::SendClear(int address, int count, const QString &action)
{
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::CountOrData] = 0x10;
    for (int k = 1; k < count; ++k)
        img[TelePos::CountOrData + k] = 0;
    m_main.SetPendingAction(action);
    m_main.LinkBusy = true;
    if (!m_main.Push(20, quint32(address), quint8(count))) {
        m_main.UserPrompter().error(GetText(41));
        return false;
    }
    return true;
}

bool ProgramService::ClearEvents()
{
    Prompter &p = m_main.UserPrompter();
    if (Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        p.error(why);
        return false;
    }
    if (!ClearAllowed()) {
        p.error(GetText(663));
        return false;
    }
    m_step = Step::ClearFirst;
    if (!SendClear(EventEndAddress, 8, ClearFirstAction)) {
        Finish();
        return false;
    }
    return true;
}

void ProgramService::OnClear(const TeleReport &report)
{
    if (m_step != Step::ClearFirst && m_step != Step::ClearSecond)
        return;
    // The link takes any answer code to a protected write as done; a code of 0xF0 and
    // above is the device refusing it (mode not OFF, locked).
    const bool refused = (report.Ok() || report.State() == 22) && report.Byte(4) >= 0xF0;
    if (!report.Ok() || refused) {
        if (refused)
            m_main.UserPrompter().warning(report.Byte(4) == 0xF4 ? GetText(42) : GetText(129));
        Finish();
        emit ClearFinished(false);
        return;
    }
    if (m_step == Step::ClearFirst) {
        m_step = Step::ClearSecond;
        // The device needs a moment between the two pointer writes.
        QTimer::singleShot(500, this, [this] {
            if (m_step == Step::ClearSecond && !SendClear(EventWrapAddress, 4, ClearSecondAction)) {
                Finish();
                emit ClearFinished(false);
            }
        });
        return;
    }
    Finish();
    emit ClearFinished(true);
}

bool ProgramService::ModemOffered() const
{
    const DeviceData &d = m_main.Data;
    return !m_main.ModemOnline &&
           (d.Geraet.GetByte(d.State.IndexOf(ModemFlagsAddress)) & ModemInterfaceBit) != 0;
}

bool ProgramService::StartModem()
{
    if (Busy() || ModemRunning())
        return false;
    QString why;
    if (!Available(&why)) {
        m_main.UserPrompter().error(why);
        return false;
    }
    if (!ModemOffered())
        return false;
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::Slave] = m_main.Init.SlaveAddress;
    img[TelePos::Own] = kOwnAddress;
    img[TelePos::Length] = 8;
    // Code 52 goes out as a plain write (code 4) whatever the access level.
    img[TelePos::Code] = 52;
    img[TelePos::AddrHigh] = quint8(ModemHandOverAddress >> 8);
    img[TelePos::AddrLow] = quint8(ModemHandOverAddress);
    img[TelePos::CountOrData] = ModemHandOver[0];
    img[TelePos::CountOrData + 1] = ModemHandOver[1];
    m_step = Step::HandOver;
    m_main.SetPendingAction(ModemAction);
    m_main.LinkBusy = true;
    if (!m_main.SendImage()) {
        Finish();
        return false;
    }
    return true;
}

void ProgramService::OnHandOver(const TeleReport &report)
{
    if (m_step != Step::HandOver)
        return;
    Finish();
    // Only the device's consent opens the pass-through: a refusal or a lost answer would
    // leave the PC typing into a line that still carries telegrams.
    if (!report.Ok()) {
        if (report.State() == 22 && report.Byte(4) == 0xF4)
            m_main.UserPrompter().warning(GetText(42));
        emit ModemStarted(false);
        return;
    }
    if (PauseValues)
        PauseValues();
    ReceivedText::Clear();
    m_main.SetPendingAction(PassThroughAction);
    m_main.LinkBusy = true;
    m_countdown = PassThroughSeconds;
    m_modemTimer.start();
    emit ModemStarted(true);
}

void ProgramService::ModemTimer()
{
    if (!ModemRunning())
        return;
    --m_countdown;
    emit ModemTick(m_countdown, ReceivedText::Take());
    if (m_countdown <= 0)
        EndModem();
}

bool ProgramService::SendLine(const QString &text)
{
    TTeleThread *thread = m_main.Thread();
    if (!ModemRunning() || text.isEmpty() || !thread)
        return false;
    const QByteArray bytes = text.toLatin1();
    for (const char c : bytes) {
        thread->WriteByte(quint8(c));
        QThread::msleep(ulong(m_bytePauseMs));
    }
    thread->WriteByte(13);
    m_countdown = PassThroughSeconds;
    return true;
}

void ProgramService::EndModem()
{
    m_modemTimer.stop();
    m_countdown = 0;
    if (m_main.PendingAction == PassThroughAction)
        m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (ResumeValues)
        ResumeValues();
    emit ModemEnded();
}

void ProgramService::StopModem()
{
    if (ModemRunning() || m_modemTimer.isActive())
        EndModem();
}
