#include "services/DeviceClock.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QLocale>

namespace {
QString Two(int v)
{
    return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0'));
}
} // namespace

DeviceClock::DeviceClock(MainController &main, QObject *parent)
    : QObject(parent), m_main(main)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        emit PcTimeText(PcText(Now()));
        Tick();
    });
}

DeviceClock::~DeviceClock()
{
    m_timer.stop();
}

quint32 DeviceClock::ClockAddress(const QString &clockKind)
{
    return clockKind == QLatin1String("3") ? AddressKind3 : AddressOther;
}

quint32 DeviceClock::Address() const
{
    return ClockAddress(m_main.Data.Def.ClockKind);
}

int DeviceClock::IntervalMs() const
{
    if (!m_main.ModemOnline)
        return 1000;
    const auto &g = m_main.Data.Geraet;
    const int flags = g.GetByte(m_main.Data.State.IndexOf(ModemFlagsAddress));
    return (flags & 0x30) ? 2000 : 1000;
}

QString DeviceClock::FormatYear(int year)
{
    // Two-digit years below 80 are this century, as everywhere else the program shows a
    // device date; 80..99 stay two digits.
    return year < 80 ? QStringLiteral("20") + Two(year) : Two(year);
}

QString DeviceClock::FormatDevice(const std::array<quint8, BlockSize> &b)
{
    return Two(b[3]) + QLatin1Char('.') + Two(b[4]) + QLatin1Char('.') + FormatYear(b[5]) + QLatin1Char(' ') +
           Two(b[2]) + QLatin1Char(':') + Two(b[1]) + QLatin1Char(':') + Two(b[0]);
}

QString DeviceClock::DeviceText(const std::array<quint8, BlockSize> &b)
{
    return GetText(121) + QLatin1Char(' ') + FormatDevice(b);
}

QString DeviceClock::PcText(const QDateTime &now)
{
    const QLocale l = QLocale::system();
    return GetText(120) + QLatin1Char(' ') + l.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           l.toString(now.time(), QLocale::LongFormat);
}

std::array<quint8, DeviceClock::WriteSize> DeviceClock::Encode(const QDateTime &t)
{
    const QDate d = t.date();
    const QTime c = t.time();
    return {quint8(c.second()), quint8(c.minute()), quint8(c.hour()), quint8(d.day()), quint8(d.month()),
            quint8((d.year() - 2000) & 0xFF), 0, 0};
}

void DeviceClock::Start()
{
    Reset();
    m_timer.setInterval(IntervalMs());
    m_timer.start();
}

void DeviceClock::Stop()
{
    m_timer.stop();
}

void DeviceClock::Reset()
{
    m_setRequested = false;
}

bool DeviceClock::Tick()
{
    TTeleThread *thread = m_main.Thread();
    // One telegram of this window on the line at a time: a slow link must not fill the
    // shared queue with reads that others then lose their place to.
    if (!thread || m_inFlight)
        return false;
    const quint8 slave = quint8(m_main.SlaveForRequest());
    const quint8 own = m_main.Init.OwnAddress;
    const bool write = m_setRequested;
    bool queued;
    if (write) {
        const auto bytes = Encode(Now());
        for (int i = 0; i < WriteSize; ++i)
            m_image[TelePos::CountOrData + i] = bytes[size_t(i)];
        queued = thread->Push(this, TeleDone, slave, own, 20, Address(), WriteSize, m_image.At(TelePos::CountOrData),
                              tyTelegramm::Capacity(TelePos::CountOrData));
    } else {
        queued = thread->Push(this, TeleDone, slave, own, 5, Address(), BlockSize, m_image.At(TelePos::AddrHigh),
                              tyTelegramm::Capacity(TelePos::AddrHigh));
    }
    if (!queued)
        return false; // a dropped write stays requested and goes out with the next tick
    m_inFlight = true;
    m_inFlightIsWrite = write;
    if (write)
        m_setRequested = false;
    return true;
}

QString DeviceClock::WriteFailure(const TeleReport &report) const
{
    const int code = report.Byte(4);
    if ((report.Ok() || report.State() == 22) && code >= 0xF0)
        return code == 0xF4 ? GetText(42) : GetText(129);
    return m_main.FailureText(report);
}

void DeviceClock::TeleMessage(quint16, quint32 wParam, quint32 lParam)
{
    const TeleReport report{wParam, lParam};
    const bool wasWrite = m_inFlightIsWrite;
    m_inFlight = false;
    m_inFlightIsWrite = false;
    if (wasWrite) {
        // The link takes any answer code to a protected write as success; a refusal byte
        // (0xF4 mode not OFF, 0xF5 locked, ...) means the clock was not set.
        if (report.Ok() && report.Byte(4) < 0xF0) {
            emit SetFinished(true, QString());
            return;
        }
        const QString why = WriteFailure(report);
        m_main.UserPrompter().error(why);
        emit SetFinished(false, why);
        return;
    }
    // Fewer bytes than the six asked for would leave old bytes shown as the current time.
    if (!report.Ok() || report.Byte(4) != 0x85 || report.Byte(3) < BlockSize + 4) {
        emit ReadFailed(report.Ok() ? TeleText(15) : m_main.FailureText(report));
        return;
    }
    for (int i = 0; i < BlockSize; ++i)
        m_last[size_t(i)] = m_image[TelePos::AddrHigh + i];
    m_haveTime = true;
    emit DeviceTimeRead(DeviceText(m_last));
}
