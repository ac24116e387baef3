#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class MainController;
class ParameterSender;

// The service values of a controller written outside the parameter grid: the maintenance
// interval (signed word at 0x0F90), the extra hours to stop after it (unsigned word at
// 0x0F92), and clearing the event memory by writing its two pointers.
// Every step runs under pending-action names of its own, so it acts only on the answers
// to requests it sent itself, never on another window's write.
class ProgramService : public QObject
{
    Q_OBJECT
public:
    enum class Value { None = 0, Interval = 1, ExtraHours = 2 };
    static constexpr int IntervalAddress = 0x0F90;
    static constexpr int ExtraHoursAddress = 0x0F92;
    static constexpr int EventEndAddress = 0x13F8;
    static constexpr int EventWrapAddress = 0x2770;
    // Option byte of the image; bit 0x40 allows clearing the event memory.
    static constexpr int EventOptionAddress = 0x09B3;
    static constexpr quint8 EventOptionBit = 0x40;

    // Handing the controller's interface to the modem attached to it.
    static constexpr int ModemHandOverAddress = 0x23CC;
    static constexpr quint8 ModemHandOver[2] = {0x25, 0x79};
    static constexpr int ModemFlagsAddress = 0x0871;
    static constexpr quint8 ModemInterfaceBit = 0x02;
    static constexpr int PassThroughSeconds = 60;
    static const QString ModemAction;
    static const QString PassThroughAction;

    static const QString ReadAction;
    static const QString WriteAction;
    static const QString ClearFirstAction;
    static const QString ClearSecondAction;

    ProgramService(MainController &main, ParameterSender &sender, QObject *parent = nullptr);
    ~ProgramService() override;

    static int Address(Value v) { return v == Value::Interval ? IntervalAddress : ExtraHoursAddress; }
    // Allowed range of a value: the interval is signed, the extra hours are not.
    static int Minimum(Value v) { return v == Value::Interval ? -30000 : 0; }
    static int Maximum(Value) { return 30000; }
    // A value as read from its two big-endian bytes.
    static int Decode(Value v, quint8 high, quint8 low);
    // A typed value; false with the message naming the valid range.
    static bool ParseValue(Value v, const QString &text, int *value, QString *error);
    // A controller, connected, at level "Ser"; false with the reason.
    bool Available(QString *why = nullptr) const;
    // Whether the loaded set allows clearing the event memory.
    bool ClearAllowed() const;

    bool Read(Value v);
    // Writes the typed text or, with an empty text, the value read for this very selection.
    bool Write(Value v, const QString &text);
    // Clears the event memory: the end pointer first, the wrap word only after it was taken.
    bool ClearEvents();

    // Whether the controller has a modem interface and the link is not itself a modem.
    bool ModemOffered() const;
    // Writes the hand-over; on the device's consent the pass-through runs for 60 seconds
    // after the last line sent, every second handing on what the line brought.
    bool StartModem();
    bool ModemRunning() const { return m_countdown > 0; }
    int Countdown() const { return m_countdown; }
    // Sends a line to the modem byte by byte, then a carriage return; restarts the 60
    // seconds. False (nothing sent) for an empty line or when the pass-through is not open.
    bool SendLine(const QString &text);
    // Ends the pass-through at once (the window closes).
    void StopModem();
    // Actual-value polling would put telegrams into the modem's line: it waits meanwhile.
    std::function<void()> PauseValues;
    std::function<void()> ResumeValues;
    // The pause between two bytes sent to the modem.
    void SetBytePauseMs(int ms) { m_bytePauseMs = ms; }
    void SetTickMs(int ms) { m_modemTimer.setInterval(ms); }

    bool Busy() const { return m_step != Step::Idle; }
    Value Selected() const { return m_value; }
    bool HasValue() const { return m_hasValue; }
    int CurrentValue() const { return m_current; }

signals:
    void ReadFinished(bool ok, ProgramService::Value value, int current);
    void WriteFinished(bool ok, ProgramService::Value value, int written);
    void ClearFinished(bool ok);
    // The hand-over was answered: ok opens the pass-through.
    void ModemStarted(bool ok);
    // Once a second: the seconds left and the text received since the last tick.
    void ModemTick(int secondsLeft, const QString &received);
    void ModemEnded();

private:
    enum class Step { Idle, Reading, Writing, ClearFirst, ClearSecond, HandOver };
    void OnHandOver(const TeleReport &report);
    void ModemTimer();
    void EndModem();
    void OnRead(const TeleReport &report);
    void OnClear(const TeleReport &report);
    bool SendClear(int address, int count, const QString &action);
    void Finish();

    MainController &m_main;
    ParameterSender &m_sender;
    Step m_step = Step::Idle;
    Value m_value = Value::None;
    bool m_hasValue = false;
    int m_current = 0;
    int m_written = 0;
    QTimer m_modemTimer;
    int m_countdown = 0;
    int m_bytePauseMs = 1;
};
