#pragma once
#include <QObject>
#include <QPointer>
#include <functional>

class MainController;
class ProtocolSearch;
class TTeleThread;

// Port and protocol changes of the main window. Reopening the port cuts whatever exchange is
// on the line, so a change is made only while the line is idle: refused while a chain holds
// the link, the protocol search runs or other requests are on the line. The actual-value
// polling alone does not refuse it (it would keep the user out for as long as a page is
// shown): it is paused, its request on the line is waited for, and it goes on afterwards.
class LineChange : public QObject
{
    Q_OBJECT
public:
    // search may be null.
    explicit LineChange(MainController &main, ProtocolSearch *search, QObject *parent = nullptr);

    // The value poller lives above the link: bound by whoever owns it.
    std::function<bool()> PollInFlight; // a poll waits for its report
    std::function<bool()> PausePoll;    // true when polling was running and is now paused
    std::function<void()> ResumePoll;

    // Whether a change would be refused now even after waiting for the poll.
    bool Refused() const;
    // Warns with text refusalText and returns true when Refused().
    bool RefuseNow(int refusalText);
    // Makes change once the line is idle: at once on an idle line, after the poll's report
    // when only a poll holds it. Refused (warning refusalText, nothing changed) while a
    // chain, the search or other requests hold the line, or when the line does not become
    // idle within WaitLimitMs(). True when change ran.
    bool Run(int refusalText, const std::function<void()> &change);

    // The worst time of a poll on the line, with its repetitions and their pauses.
    int WaitLimitMs() const;
    void SetWaitLimitMs(int ms) { m_limitOverride = ms; }
    bool Waiting() const { return m_waiting; }

private:
    bool LineFree() const;
    // Runs a local event loop until the line is free or the limit has passed.
    bool WaitForLine();

    MainController &m_main;
    QPointer<ProtocolSearch> m_search;
    int m_limitOverride = 0;
    bool m_waiting = false;
};
