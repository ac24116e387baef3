#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <array>

class MainController;
class ParameterSender;

// The controller's two life counters: operating hours and number of starts. Each is read as
// a 4-byte block whose first byte is unused and written as its three value bytes through
// the single-value write, confirmed by reading the whole block back.
class OperatingHours : public QObject
{
    Q_OBJECT
public:
    enum class Counter { None = 0, Hours = 1, Starts = 2 };
    static constexpr quint32 MaxValue = 0xFFFFFF; // 24 bits
    // Pending actions of the read and of the write. The write continues under a name of
    // its own, so that a confirmed counter write can never run another window's service
    // step (clearing the event memory, for one).
    static const QString ReadAction;
    static const QString WriteAction;
    static const QString ReadBackAction;

    OperatingHours(MainController &main, ParameterSender &sender, QObject *parent = nullptr);
    ~OperatingHours() override;

    static int ReadAddress(Counter c) { return c == Counter::Hours ? 0x0FA4 : 0x0FA0; }
    static int ValueAddress(Counter c) { return ReadAddress(c) + 1; }
    // The value of a 4-byte block as read (its first byte is not part of it).
    static quint32 Decode(const quint8 *block);
    static std::array<quint8, 3> Encode(quint32 value);
    // A typed counter value; false with the message naming the valid range.
    static bool ParseValue(const QString &text, quint32 *value, QString *error);
    // Whether the counters may be offered: a controller, connected, at level "Ser".
    // False with the reason.
    bool Available(QString *why = nullptr) const;
    // Over a connected modem the counters are only shown, never written.
    bool WriteAllowed() const;

    // Reads the counter; the answer arrives as ReadFinished. False when nothing was sent.
    bool Read(Counter c);
    // Writes the typed text, or, with an empty text, the value read for this very counter.
    // A value outside 0..MaxValue, text that is no whole number, or an empty text without
    // a read value is refused with a message and nothing is sent. False when nothing was sent.
    bool Write(Counter c, const QString &text);

    Counter Selected() const { return m_counter; }
    bool HasValue() const { return m_hasValue; }
    quint32 Value() const { return m_value; }
    bool Busy() const { return m_readStep != 0 || m_writeStep != 0; }
    // The last write failed because the device refused it (mode not OFF, locked), not the line.
    bool Refused() const { return m_refused; }

signals:
    void ReadFinished(bool ok, OperatingHours::Counter counter, quint32 value);
    // The write ended: ok only after the device showed the written value on reading back.
    void WriteFinished(bool ok, OperatingHours::Counter counter, quint32 value);

private:
    bool SendRead(const QString &action);
    void OnRead(const TeleReport &report);
    void OnWritten();
    void OnReadBack(const TeleReport &report);
    void FailWrite();
    bool AnswerComplete(const TeleReport &report) const;

    MainController &m_main;
    ParameterSender &m_sender;
    Counter m_counter = Counter::None;
    int m_readStep = 0;
    int m_writeStep = 0;
    bool m_hasValue = false;
    quint32 m_value = 0;
    quint32 m_written = 0;
    bool m_refused = false;
};
