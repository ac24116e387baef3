#include "link/Coupler.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QTimer>

const std::array<Coupler::Speed, Coupler::SpeedCount> &Coupler::Speeds()
{
    static const std::array<Speed, SpeedCount> speeds{
        {{219, 1200}, {210, 2400}, {201, 4800}, {192, 9600}, {27, 15625}, {9, 62500}}};
    return speeds;
}

int Coupler::IndexOfCode(int code)
{
    for (int i = 0; i < SpeedCount; ++i)
        if (Speeds()[size_t(i)].code == code)
            return i;
    return -1;
}

int Coupler::IndexOfBaud(int baud)
{
    for (int i = 0; i < SpeedCount; ++i)
        if (Speeds()[size_t(i)].baud == baud)
            return i;
    return -1;
}

QString Coupler::Caption(int index)
{
    if (index < 0 || index >= SpeedCount)
        return QString();
    return QString::number(Speeds()[size_t(index)].baud) + QStringLiteral(" BPS");
}

std::array<quint8, Coupler::ConfigSize> Coupler::Configuration(int deviceCode)
{
    return {PcCode, 0, 12, quint8(deviceCode), 0, 12};
}

Coupler::PcSetting Coupler::PcTry(int index)
{
    static const char *const kBauds[4] = {"1200", "2400", "4800", "9600"};
    const int i = qBound(0, index, Tries - 1);
    return {QString::fromLatin1(kBauds[i % 4]), i >= 4};
}

QString Coupler::PcLabel(int index)
{
    const PcSetting s = PcTry(index);
    return QStringLiteral("PC ") + s.baud + (s.handshake ? QStringLiteral(" BPS +HS") : QStringLiteral(" BPS"));
}

Coupler::Coupler(MainController &main, QObject *parent) : QObject(parent), m_main(main) {}

Coupler::~Coupler()
{
    // A report that arrives after the window is gone finds no requester (QPointer): the
    // port is put back where a running "PC Connect" found it.
    if (m_step == Step::PcWrite || m_step == Step::PcTakeOver)
        RestorePort();
}

void Coupler::Log(const QString &text)
{
    emit m_main.LogLine(QStringLiteral("D"), text);
}

bool Coupler::StartRead()
{
    TTeleThread *thread = m_main.Thread();
    emit LabelText(GetText(154));
    m_step = Step::Reading;
    if (!thread || !thread->Push(this, TeleDone, SlaveAddress, m_main.Init.OwnAddress, 5, ConfigAddress, ConfigSize,
                                 m_image.At(TelePos::Slave), tyTelegramm::Capacity(TelePos::Slave))) {
        m_step = Step::Idle;
        FinishRead(false);
        return false;
    }
    return true;
}

void Coupler::FinishRead(bool ok)
{
    const After after = m_after;
    m_after = After::Nothing;
    if (!ok) {
        Failed(GetText(41));
        emit BaudRead(false, -1);
    } else {
        m_deviceCode = m_image[TelePos::Slave + 3];
        emit BaudRead(true, m_deviceCode);
    }
    if (after == After::Set)
        emit SetFinished(ok && !m_failed && m_deviceCode == m_wanted);
    else if (after == After::PcConnect) {
        if (ok)
            m_main.UserPrompter().information(GetText(762).arg(PcLabel(m_try).mid(3)));
        emit PcConnectFinished(ok);
    }
}

bool Coupler::ReadBaud()
{
    if (Busy())
        return false;
    m_after = After::Nothing;
    m_failed = false;
    return StartRead();
}

bool Coupler::PushWrite(quint32 address, int count)
{
    TTeleThread *thread = m_main.Thread();
    return thread && thread->Push(this, TeleDone, SlaveAddress, m_main.Init.OwnAddress, 4, address, quint8(count),
                                  m_image.At(TelePos::CountOrData), tyTelegramm::Capacity(TelePos::CountOrData));
}

bool Coupler::SetDeviceBaud(int deviceCode)
{
    if (Busy())
        return false;
    // Code 0 would cut the coupler off from the controller: with no speed chosen (a read
    // that failed leaves none selected) nothing goes out.
    if (IndexOfCode(deviceCode) < 0) {
        m_main.UserPrompter().warning(GetText(760));
        return false;
    }
    const auto config = Configuration(deviceCode);
    for (int i = 0; i < ConfigSize; ++i)
        m_image[TelePos::CountOrData + i] = config[size_t(i)];
    m_wanted = deviceCode;
    m_after = After::Set;
    m_failed = false;
    m_step = Step::WriteConfig;
    if (!PushWrite(ConfigAddress, ConfigSize)) {
        m_step = Step::Idle;
        m_main.UserPrompter().warning(GetText(41));
        return false;
    }
    return true;
}

bool Coupler::PcConnect()
{
    TTeleThread *thread = m_main.Thread();
    if (Busy() || !thread)
        return false;
    m_previousBaud = thread->BaudText();
    m_previousHandshake = Handshake();
    m_after = After::PcConnect;
    m_failed = false;
    m_try = 0;
    TryNext();
    return true;
}

void Coupler::TryNext()
{
    const PcSetting s = PcTry(m_try);
    SetHandshake(s.handshake);
    m_main.Thread()->SetPort(m_main.Init.PortName, s.baud);
    emit LabelText(PcLabel(m_try));
    Log(QStringLiteral("PELK PCConnect ") + PcLabel(m_try));
    m_step = Step::PcWrite;
    const int generation = ++m_generation;
    // The coupler needs the line quiet for a moment at the new speed.
    QTimer::singleShot(m_pauseMs, this, [this, generation] {
        if (generation != m_generation || m_step != Step::PcWrite)
            return;
        m_image[TelePos::CountOrData] = PcCode;
        if (!PushWrite(ConfigAddress, 1)) {
            RestorePort();
            m_step = Step::Idle;
            Failed(GetText(155));
            emit PcConnectFinished(false);
        }
    });
}

void Coupler::RestorePort()
{
    SetHandshake(m_previousHandshake);
    if (m_main.Thread())
        m_main.Thread()->SetPort(m_main.Init.PortName, m_previousBaud);
}

void Coupler::Failed(const QString &text)
{
    if (!m_failed)
        m_main.UserPrompter().warning(text);
    m_failed = true;
}

void Coupler::TeleMessage(quint16, quint32 wParam, quint32 lParam)
{
    const TeleReport report{wParam, lParam};
    Log(QStringLiteral("DV E1:") + Text::ToHex(wParam, 8));
    if (report.Ok())
        Log(QStringLiteral("DV E2:") + Text::ToHex(wParam, 8));
    const Step step = m_step;
    m_step = Step::Idle;
    switch (step) {
    case Step::Idle:
        return;
    case Step::PcPause:
        m_step = step;
        return;
    case Step::Reading:
        // Fewer than the six bytes would show the code of an earlier exchange.
        FinishRead(report.Ok() && report.Byte(3) >= 4 + ConfigSize);
        return;
    case Step::WriteConfig:
        if (!report.Ok()) {
            Failed(GetText(41));
            StartRead();
            return;
        }
        m_image[TelePos::CountOrData] = 0;
        m_step = Step::TakeOver;
        if (!PushWrite(TakeOverAddress, 1)) {
            Failed(GetText(41));
            StartRead();
        }
        return;
    case Step::TakeOver:
        if (!report.Ok())
            Failed(GetText(41));
        StartRead();
        return;
    case Step::PcWrite:
        if (report.Ok()) {
            m_image[TelePos::CountOrData] = 0;
            m_step = Step::PcTakeOver;
            if (PushWrite(TakeOverAddress, 1))
                return;
            m_step = Step::Idle;
        }
        if (++m_try < Tries) {
            TryNext();
            return;
        }
        // Nothing answered: the program goes back to the settings it had, and the saved
        // settings were never touched.
        RestorePort();
        emit LabelText(GetText(154));
        Failed(GetText(155));
        emit PcConnectFinished(false);
        return;
    case Step::PcTakeOver: {
        // The coupler has taken 9600 over (a lost answer may hide that it did): the program
        // follows it there before reading back, or the read would go out at the old speed.
        SetHandshake(false);
        m_main.Settings.Handshake = false;
        m_main.Init.BaudText = QStringLiteral("9600");
        m_main.Thread()->SetPort(m_main.Init.PortName, m_main.Init.BaudText);
        const int generation = ++m_generation;
        m_step = Step::PcPause; // busy through the pause
        QTimer::singleShot(m_pauseMs, this, [this, generation] {
            if (generation != m_generation || m_step != Step::PcPause)
                return;
            m_step = Step::Idle;
            StartRead();
        });
        return;
    }
    }
}
