#pragma once
#include <QDateTime>
#include <QtGlobal>
#include <functional>
#include <memory>

class SimDevice;
struct SimRequest;
struct SimAnswer;

// The device's real-time clock. It runs from the host's clock plus an offset, answers reads
// of up to six bytes at either clock address (0x22F8 and 0x0050), and a write of six or
// more bytes at either address sets it. Dates are kept within 2000..2255, as the one year byte allows.
class SimClock
{
public:
    static constexpr quint32 Addresses[2] = {0x22F8, 0x0050};
    static constexpr int Size = 6;

    // The device time now.
    QDateTime now() const;
    void set(const QDateTime &deviceTime);
    // The six clock bytes of a time: seconds, minutes, hours, day, month, year - 2000.
    static void encode(const QDateTime &t, quint8 out[Size]);
    // The clock bytes as a time; invalid when they make no date.
    static QDateTime decode(const quint8 in[Size]);

    // Host time source; tests pin it.
    std::function<QDateTime()> hostNow = [] { return QDateTime::currentDateTime(); };

    bool handle(SimDevice &device, const SimRequest &request, SimAnswer &answer);

    static void attach(SimDevice &device, std::shared_ptr<SimClock> clock);
    static std::shared_ptr<SimClock> attachNew(SimDevice &device);

private:
    qint64 m_offsetMs = 0;
};
