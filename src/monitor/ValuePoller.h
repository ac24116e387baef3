#pragma once
#include "link/Telegramm.h"
#include "monitor/ValuePage.h"
#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class MainController;
class ProtocolSearch;
class TFormatter;

// The levels that may send the remote acknowledge.
bool MayAcknowledge(const QString &level);

// The live actual-value page: chooses a page, reads its block once per tick on the values
// report, rebuilds the cells and keeps polling. A page whose poll fails keeps its last
// values, marked stale; three failed polls in a row report the lost link and start the
// protocol search. Core only: the grid and the menu follow its signals.
class ValuePoller : public QObject
{
    Q_OBJECT
public:
    static constexpr int FailedPollsBeforeSearch = 3;
    static constexpr int IntervalMs = 1000;
    static constexpr int ModemIntervalMs = 3000;

    // search may be null: the lost link is then only reported.
    ValuePoller(MainController &main, TFormatter &formatter, ProtocolSearch *search, QObject *parent = nullptr);
    ~ValuePoller() override;

    // Menu choice: switches at once, or after the request in flight has been answered.
    void ChoosePage(const QString &code);
    // By value: the pending page code it is often called with is cleared on the way.
    void SelectPage(QString code);
    void RequestValues();
    void CloseValues();
    // Printing and other users of the page's lines hold the polling meanwhile.
    void Pause();
    void Resume();
    bool Paused() const { return m_paused; }
    // The page's print lines up to the last row written; empty while no values are shown.
    QStringList PrintLines() const;
    // The "Quittierung" button; false when the level may not acknowledge or nothing was sent.
    bool RemoteAcknowledge();

    // Hooks of the windows and chains around the page.
    std::function<bool()> ClockShowing;     // the device clock window is shown: ticks send nothing
    std::function<bool()> EditInProgress;   // a parameter edit waits for the device
    std::function<QString()> LoadedDefinition; // the definition the shown parameter set came from

    // Interval override for the command line and tests (0: the link's own interval).
    void SetInterval(int ms) { m_intervalOverride = ms; }
    int CurrentInterval() const;

    QString ShownPage() const { return m_shownPage; }
    QString PendingPage() const { return m_pendingPage; }
    bool PageActive() const { return m_pageActive; }
    bool AlarmPageShown() const { return m_shownPage == QLatin1String("IstAla"); }
    bool ValuesValid() const { return m_valuesValid; }
    bool Stale() const { return m_stale; }
    bool InFlight() const { return !m_outstanding.isEmpty(); }
    bool TimerActive() const { return m_timer.isActive(); }
    int FailedPolls() const { return m_failedPolls; }
    QDateTime LastGoodAnswer() const { return m_lastGood; }
    bool AcknowledgeVisible() const { return m_ackVisible; }
    const PageDefinition &Definition() const { return m_definition; }
    const BuiltPage &Page() const { return m_page; }
    // The bytes received outside an exchange, taken at each build.
    QString ReceivedCopy() const { return m_receivedCopy; }

signals:
    // A page was chosen: its row windows are (re)made when complete.
    void PageSelected(const QString &code, bool complete);
    void PageBuilt();
    void PageClosed();
    void TrendAllowed(bool allowed);
    void AcknowledgeVisibilityChanged(bool visible);
    // The page shows values older than the last poll (or current ones again).
    void StaleChanged(bool stale, const QDateTime &lastGood);
    // A poll failed after its repetitions (refused: the device answered with a refusal).
    void PollFailed(int failedInARow, bool refused);
    void LinkLost();
    void Acknowledged(bool ok);

private:
    void OnValues(quint32 wParam, quint32 lParam);
    void Tick();
    void SendRequest();
    void PollFailure(bool refused, quint8 answerCode);
    void ReportLinkFailure();
    void UpdateAcknowledge();
    void ScheduleNext();

    MainController &m_main;
    QPointer<MainController> m_mainAlive;
    TFormatter &m_formatter;
    ProtocolSearch *m_search;
    QTimer m_timer;
    // Polls keep to a fixed schedule (due times interval apart) rather than waiting a whole
    // interval after each answer, so the period does not grow with the line's speed.
    QElapsedTimer m_clock;
    qint64 m_due = -1;
    int m_intervalOverride = 0;
    QString m_shownPage;
    QString m_pendingPage;
    PageDefinition m_definition;
    BuiltPage m_page;
    QStringList m_outstanding; // page of each request in flight, oldest first
    int m_repetitionsLeft = 0;
    int m_failedPolls = 0;
    bool m_pageActive = false;
    bool m_valuesValid = false;
    bool m_stale = false;
    bool m_ackVisible = false;
    bool m_stopped = false;
    bool m_paused = false; // after the lost link, until a page is chosen or polling restarted
    QDateTime m_lastGood;
    QString m_receivedCopy;
};
