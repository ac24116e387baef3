#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>

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

    bool Busy() const { return m_step != Step::Idle; }
    Value Selected() const { return m_value; }
    bool HasValue() const { return m_hasValue; }
    int CurrentValue() const { return m_current; }

signals:
    void ReadFinished(bool ok, ProgramService::Value value, int current);
    void WriteFinished(bool ok, ProgramService::Value value, int written);
    void ClearFinished(bool ok);

private:
    enum class Step { Idle, Reading, Writing, ClearFirst, ClearSecond };
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
};
