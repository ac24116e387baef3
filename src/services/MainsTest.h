#pragma once
#include "link/Telegramm.h"
#include <QObject>
#include <QString>
#include <QTimer>

class MainController;
class ParameterSender;

// A timed mains-failure test in a controller: started and stopped by a command word, watched
// through the controller's own test timer, shown as a countdown on the PC. The controller's
// timer counts the test's elapsed time in steps of ten seconds (writing 0 restarts it), so
// "five minutes left" is a fixed value of it per test length.
class MainsTest : public QObject
{
    Q_OBJECT
public:
    static constexpr int CommandAddress = 0x2062;
    static constexpr int TimerAddress = 0x2053;
    // Pending actions of this chain only; the program-service step never continues them.
    static const QString PollAction;
    static const QString StartAction;
    static const QString StopAction;
    static const QString StopResetAction;
    static const QString ExtendAction;

    MainsTest(MainController &main, ParameterSender &sender, QObject *parent = nullptr);
    ~MainsTest() override;

    // Test length in seconds for the device, 0 for a type the test is not known for.
    // Set-B devices up to version 11 run the short test: their timer's five-minute mark is
    // that of the 900 s test, so a longer countdown would ask ten minutes too early.
    static int Duration(int deviceType, int programVersion);
    // The device timer value that means five minutes left; -1 without a known test.
    static int Mark(int deviceType, int programVersion);
    // "m:s Min." without leading zeros; "0" once nothing is left.
    static QString FormatRemaining(int seconds);
    static QString IdleText() { return QStringLiteral("00:00 Min."); }

    // Intervals of the device poll and of the countdown step (tests run them faster).
    void SetIntervals(int pollMs, int tickMs);

    // Writes the start command; the countdown begins only once the device confirmed it.
    // Start and Stop wait for the answer of a poll still on the line.
    bool Start();
    // Writes the stop command; on confirmation the display stops and the timer is reset.
    bool Stop();
    // Stops the PC side only (display and polling); the device's test goes on by itself.
    void Detach();

    // One poll of the device timer, one countdown step (the timers call these).
    void Poll();
    void Tick();

    bool Running() const { return m_running; }
    bool Busy() const { return m_step != Step::Idle || m_queued != Queued::None; }
    int Remaining() const { return m_remaining; }
    int LastTimerValue() const { return m_timerValue; }
    QString Display() const { return m_display; }
    bool PollActive() const { return m_pollTimer.isActive(); }
    bool CountdownActive() const { return m_tickTimer.isActive(); }

signals:
    void DisplayChanged(const QString &text);
    void RunningChanged(bool running);

private:
    enum class Step { Idle, Starting, Stopping, ResettingAfterStop, Extending };
    bool Write(Step step, const QString &action, int kind, int address, int high, int low);
    void OnPollAnswer(const TeleReport &report);
    void OnStarted();
    void OnStopped();
    void OnExtended();
    void OnWriteFailed();
    void Offer();
    void SetDisplay(const QString &text);
    void StopTimers();
    bool OwnsPending() const;

    MainController &m_main;
    ParameterSender &m_sender;
    QTimer m_pollTimer;
    QTimer m_tickTimer;
    Step m_step = Step::Idle;
    bool m_running = false;
    bool m_polling = false;
    enum class Queued { None, Start, Stop };
    Queued m_queued = Queued::None;
    // Asked at most once per run of the device timer; a confirmed extension re-arms it.
    bool m_markArmed = false;
    bool m_asking = false;
    int m_duration = 0;
    int m_mark = -1;
    int m_remaining = 0;
    int m_timerValue = -1;
    QString m_display = IdleText();
};
