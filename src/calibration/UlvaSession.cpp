#include "calibration/UlvaSession.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"

const QString UlvaSession::LiveAction = QStringLiteral("TimerAD");
const QString UlvaSession::WriteAction = QStringLiteral("ZumUlva");

using Ulva::Mode;

UlvaSession::UlvaSession(MainController &main, QObject *parent) : QObject(parent), m_main(main)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(LivePeriodMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { ReadLive(); });
    m_main.RegisterAction(LiveAction, [this](const TeleReport &r) { OnLive(r); });
    m_main.RegisterAction(WriteAction, [this](const TeleReport &r) { OnWritten(r); });
    // A read, and a write of the same eight bytes, may go out again on a noisy line.
    m_main.SetRepeatable(LiveAction);
    m_main.SetRepeatable(WriteAction);
    m_captures.fill(QStringLiteral("?"));
}

UlvaSession::~UlvaSession()
{
    for (const QString &name : {LiveAction, WriteAction}) {
        m_main.RegisterAction(name, nullptr);
        m_main.SetRepeatable(name, false);
    }
    if (m_main.PendingAction == LiveAction || m_main.PendingAction == WriteAction)
        m_main.SetPendingAction(QString());
}

QString UlvaSession::ChannelText(int c) const
{
    const TParameterListe &p = m_main.Data.Params;
    if (c + 1 < p.Count())
        return p.ItemText(c + 1).mid(7);
    return GetText(127).trimmed() + QLatin1Char(' ') + QString::number(c + 1);
}

int UlvaSession::SensorKind(int c) const
{
    return m_main.Data.Geraet.GetByte(m_main.Data.State.IndexOf(Ulva::KindAddress + c));
}

bool UlvaSession::ChannelSelectable(int c) const
{
    return c >= 0 && c < Ulva::ChannelCount && Ulva::Selectable(SensorKind(c));
}

void UlvaSession::SetChecked(int c, bool on)
{
    if (c >= 0 && c < Ulva::ChannelCount)
        m_checked[size_t(c)] = on && ChannelSelectable(c);
}

bool UlvaSession::Next()
{
    if (m_writing)
        return false;
    m_stopped = false;
    m_timer.stop();
    m_mode = Mode::None;
    m_writeWaiting = false;
    for (int c = 0; c < Ulva::ChannelCount; ++c) {
        if (!m_checked[size_t(c)])
            continue;
        m_checked[size_t(c)] = false;
        const Ulva::ModeChoice choice = Ulva::ModeForKind(SensorKind(c));
        if (choice.mode == Mode::None) {
            // A kind the module has no calibration for: said, and the next channel comes.
            emit StatusText(GetText(902).arg(c + 1).arg(SensorKind(c)));
            continue;
        }
        m_channel = c;
        m_mode = choice.mode;
        m_factor = choice.factor;
        StartMode();
        return true;
    }
    emit Changed();
    return false;
}

void UlvaSession::StartMode()
{
    m_captures.fill(QStringLiteral("?"));
    m_live = QStringLiteral("?");
    m_timer.start();
    emit Changed();
}

bool UlvaSession::Cancel()
{
    if (m_writing)
        return false;
    m_timer.stop();
    m_writeWaiting = false;
    if (m_mode == Mode::None)
        return true;
    m_mode = Mode::None;
    emit Changed();
    return false;
}

void UlvaSession::Stop()
{
    m_timer.stop();
    m_stopped = true;
    if (!m_writing)
        m_mode = Mode::None;
}

void UlvaSession::ReadLive()
{
    if (m_mode == Mode::None || m_writing)
        return;
    // Another chain on the line (a read of the parameters, say) goes first.
    if (!m_main.PendingAction.isEmpty()) {
        m_timer.start();
        return;
    }
    m_main.SetPendingAction(LiveAction);
    m_readInFlight = true;
    if (!m_main.Push(5, quint32(Ulva::LiveAddress(m_channel)), 2)) {
        m_readInFlight = false;
        m_main.SetPendingAction(QString());
    }
}

void UlvaSession::OnLive(const TeleReport &report)
{
    m_readInFlight = false;
    m_main.SetPendingAction(QString());
    const bool ok = report.Ok() && int(report.Byte(3)) - 4 >= 2;
    if (ok) {
        const int word = (m_main.WorkImage[TelePos::AddrHigh] << 8) | m_main.WorkImage[TelePos::AddrHigh + 1];
        m_live = QStringLiteral("%1").arg(word, 4, 16, QLatin1Char('0')).toUpper();
    } else {
        m_live = QStringLiteral("?");
    }
    if (m_writeWaiting) {
        m_writeWaiting = false;
        SendWords();
        return;
    }
    // A failed read stops the live value until the next channel.
    if (ok && m_mode != Mode::None && !m_stopped)
        m_timer.start();
    emit Changed();
}

bool UlvaSession::Capture(Row row)
{
    int v = 0;
    if (m_mode == Mode::None || !Ulva::ParseCapture(m_live, &v))
        return false;
    m_captures[size_t(row)] = m_live;
    emit Changed();
    return true;
}

std::array<int, 3> UlvaSession::PresentWords() const
{
    const TGeraet &g = m_main.Data.Geraet;
    const long long i = m_main.Data.State.IndexOf(Ulva::PresentWordsAddress(qMax(0, m_channel)));
    return {g.GetWord(i), g.GetWord(i + 2), g.GetWord(i + 4)};
}

bool UlvaSession::TransferAllowed(const Typed &typed) const
{
    if (m_writing || m_mode == Mode::None)
        return false;
    int v = 0;
    auto has = [&](Row r) { return Ulva::ParseCapture(m_captures[size_t(r)], &v); };
    auto junction = [&] {
        bool ok = false;
        const int n = typed.channelNumber.trimmed().toInt(&ok);
        return ok && n >= 0 && n <= 16;
    };
    switch (m_mode) {
    case Mode::PT100: return has(Row::Low) && has(Row::High) && has(Row::Zero);
    case Mode::NiCrLow: return has(Row::Low) && has(Row::High) && junction();
    case Mode::NiCrNi: return has(Row::Low) && has(Row::High) && has(Row::Zero) && junction();
    case Mode::VariPos:
    case Mode::VariNeg:
        return has(Row::Low) && has(Row::High) && !typed.vLow.trimmed().isEmpty() &&
               !typed.vHigh.trimmed().isEmpty();
    case Mode::Direkt: return true;
    default: return false;
    }
}

void UlvaSession::Refused(const QString &message)
{
    m_main.UserPrompter().warning(message);
    // The channel stays to be done: checked again, its screen and captures kept.
    m_checked[size_t(m_channel)] = true;
    emit StatusText(GetText(901).arg(m_channel + 1));
    if (!m_readInFlight && !m_stopped)
        m_timer.start();
    emit Changed();
}

bool UlvaSession::Transfer(const Typed &typed)
{
    if (m_mode == Mode::None || m_writing || m_writeWaiting)
        return false;
    m_timer.stop();
    Ulva::Inputs in;
    in.factor = m_factor;
    const QString notPossible = GetText(128);
    auto capture = [&](Row r, int *value, bool *has) {
        *has = Ulva::ParseCapture(m_captures[size_t(r)], value);
    };
    capture(Row::Low, &in.L, &in.hasL);
    capture(Row::High, &in.H, &in.hasH);
    capture(Row::Zero, &in.Z, &in.hasZ);
    if (m_mode == Mode::VariPos || m_mode == Mode::VariNeg) {
        if (!Ulva::ParseReference(typed.vLow, &in.vLow) || !Ulva::ParseReference(typed.vHigh, &in.vHigh)) {
            Refused(notPossible);
            return false;
        }
    }
    if (m_mode == Mode::NiCrLow || m_mode == Mode::NiCrNi || (m_mode == Mode::Direkt && typed.channelNumberShown)) {
        bool ok = false;
        in.channelNumber = typed.channelNumber.trimmed().toInt(&ok);
        if (!ok) {
            Refused(notPossible);
            return false;
        }
    }
    if (m_mode == Mode::Direkt) {
        if (!Ulva::ParseWord(typed.a, &in.a) || !Ulva::ParseWord(typed.b, &in.b) || !Ulva::ParseWord(typed.c, &in.c)) {
            Refused(notPossible);
            return false;
        }
    }
    const Ulva::Result r = Ulva::Compute(m_mode, in);
    if (!r.ok) {
        QString text = GetText(r.messageIndex ? r.messageIndex : 96);
        if (r.messageIndex != 117)
            text += QLatin1Char('\r') + GetText(63);
        Refused(text);
        return false;
    }
    m_words = r.words;
    m_writing = true;
    // The live read on the line ends first: its report must not be taken for the write's.
    if (m_readInFlight)
        m_writeWaiting = true;
    else
        SendWords();
    emit Changed();
    return true;
}

void UlvaSession::SendWords()
{
    tyTelegramm &img = m_main.WorkImage;
    for (int k = 0; k < 4; ++k) {
        img[TelePos::CountOrData + 2 * k] = quint8(m_words[size_t(k)] >> 8);
        img[TelePos::CountOrData + 2 * k + 1] = quint8(m_words[size_t(k)]);
    }
    m_main.SetPendingAction(WriteAction);
    m_main.LinkBusy = true;
    if (!m_main.Push(4, quint32(Ulva::BlockAddress(m_channel)), 8)) {
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        m_writing = false;
        emit ChannelWritten(m_channel, false);
        Refused(GetText(41));
    }
}

void UlvaSession::OnWritten(const TeleReport &report)
{
    m_writing = false;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    const int c = m_channel;
    if (!report.Ok()) {
        // The line's warning has been shown by the dispatch; a refusal is told here.
        if (m_main.LastAnswerCode == 0xF4)
            m_main.UserPrompter().warning(GetText(42));
        m_checked[size_t(c)] = true;
        emit ChannelWritten(c, false);
        emit StatusText(GetText(903).arg(c + 1));
        if (m_stopped)
            m_mode = Mode::None;
        if (m_mode != Mode::None)
            m_timer.start();
        emit Changed();
        return;
    }
    if (!m_written.contains(c))
        m_written.append(c);
    emit ChannelWritten(c, true);
    emit StatusText(GetText(900).arg(c + 1));
    if (m_stopped) {
        m_mode = Mode::None;
        emit Changed();
        return;
    }
    Next();
}
