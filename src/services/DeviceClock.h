#pragma once
#include "link/Telegramm.h"
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>

class MainController;

// The controller's real-time clock: six plain binary bytes (seconds, minutes, hours, day,
// month, year within the century) at an address that depends on the device's clock kind.
// One telegram per tick: a read, or the write of the PC's time when one was requested.
class DeviceClock : public QObject
{
    Q_OBJECT
public:
    static constexpr quint32 AddressKind3 = 0x22F8;
    static constexpr quint32 AddressOther = 0x0050;
    static constexpr int BlockSize = 6;
    static constexpr int WriteSize = 8;
    static constexpr quint32 ModemFlagsAddress = 0x0871;

    explicit DeviceClock(MainController &main, QObject *parent = nullptr);
    ~DeviceClock() override;

    static quint32 ClockAddress(const QString &clockKind);
    quint32 Address() const;
    // 1 s; 2 s over a connected modem when the device says its modem link is slow.
    int IntervalMs() const;

    // "DD.MM.YY hh:mm:ss"; years below 80 get "20" in front.
    static QString FormatDevice(const std::array<quint8, BlockSize> &b);
    static QString FormatYear(int year);
    static QString PcText(const QDateTime &now);
    static QString DeviceText(const std::array<quint8, BlockSize> &b);
    // The eight bytes a set-clock write carries for the given local time.
    static std::array<quint8, WriteSize> Encode(const QDateTime &t);

    // The timer is only ever running while someone shows the clock.
    void Start();
    void Stop();
    bool Running() const { return m_timer.isActive(); }

    // The next tick writes the PC's time instead of reading.
    void RequestSet() { m_setRequested = true; }
    bool SetRequested() const { return m_setRequested; }
    // A write is queued and its report has not arrived yet.
    bool WriteInFlight() const { return m_inFlight && m_inFlightIsWrite; }
    bool Busy() const { return m_inFlight; }
    // Clears the request flag (each showing starts without one).
    void Reset();

    // Queues one telegram; false when nothing could be queued (still busy, or queue full).
    bool Tick();

    const std::array<quint8, BlockSize> &LastBytes() const { return m_last; }
    bool HaveTime() const { return m_haveTime; }

    // Time source of the PC; tests pin it.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };

    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);

signals:
    // A good read: the label text "Datum/Zeit des Gerätes ..." and the bytes.
    void DeviceTimeRead(const QString &text);
    // A read that failed (link, refusal, short answer): the label keeps its text.
    void ReadFailed(const QString &why);
    // The end of a set-clock write: ok, or the reason the user was told.
    void SetFinished(bool ok, const QString &why);
    void PcTimeText(const QString &text);

private:
    QString WriteFailure(const TeleReport &report) const;

    MainController &m_main;
    tyTelegramm m_image;
    QTimer m_timer;
    bool m_setRequested = false;
    bool m_inFlight = false;
    bool m_inFlightIsWrite = false;
    bool m_haveTime = false;
    std::array<quint8, BlockSize> m_last{};
};
