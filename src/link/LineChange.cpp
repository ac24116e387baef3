#include "link/LineChange.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QEventLoop>
#include <QTimer>

LineChange::LineChange(MainController &main, ProtocolSearch *search, QObject *parent)
    : QObject(parent), m_main(main), m_search(search)
{
}

bool LineChange::Refused() const
{
    if (m_waiting || m_main.LinkBusy || (m_search && m_search->Running()))
        return true;
    const TTeleThread *t = m_main.Thread();
    if (!t || t->Idle())
        return false;
    // Busy without a poll of ours on it: another window's request, which a reopening would cut.
    return !(PollInFlight && PollInFlight());
}

bool LineChange::RefuseNow(int refusalText)
{
    if (!Refused())
        return false;
    m_main.UserPrompter().warning(GetText(refusalText));
    return true;
}

bool LineChange::LineFree() const
{
    const TTeleThread *t = m_main.Thread();
    return !t || (t->Idle() && !(PollInFlight && PollInFlight()));
}

int LineChange::WaitLimitMs() const
{
    if (m_limitOverride > 0)
        return m_limitOverride;
    const TTeleThread *t = m_main.Thread();
    const int exchange = t ? t->WorstExchangeMs() : 0;
    const int tries = qMax(0, m_main.Settings.Retries) + 1;
    return tries * (exchange + MainController::RepeatPauseMs);
}

bool LineChange::WaitForLine()
{
    if (LineFree())
        return true;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    auto check = [this, &loop] {
        if (LineFree())
            loop.quit();
    };
    if (TTeleThread *t = m_main.Thread())
        connect(t, &TTeleThread::Idled, &loop, check);
    // A failed poll is sent again from the controller's own timer: its report also ends here.
    connect(&m_main, &MainController::ValuesReport, &loop, check, Qt::QueuedConnection);
    limit.start(WaitLimitMs());
    loop.exec();
    return LineFree();
}

bool LineChange::Run(int refusalText, const std::function<void()> &change)
{
    if (RefuseNow(refusalText))
        return false;
    if (LineFree()) {
        change();
        return true;
    }
    const bool paused = PausePoll && PausePoll();
    m_waiting = true;
    bool free = WaitForLine();
    m_waiting = false;
    // Something may have taken the link while the loop ran (a chain, the search).
    free = free && !Refused();
    if (free)
        change();
    else
        m_main.UserPrompter().warning(GetText(refusalText));
    if (paused && ResumePoll)
        ResumePoll();
    return free;
}
