#include "monitor/ValuePoller.h"
#include "link/ProtocolSearch.h"
#include "link/TeleThread.h"
#include "params/FormatValue.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"

namespace {
// The thread reports a device's refusal (an answer code other than the request's) here.
constexpr int RefusalState = 22;
// The refusal the dispatch takes as the device's answer rather than a lost line.
constexpr int RefusalCode = 0xF4;
} // namespace

bool MayAcknowledge(const QString &level)
{
    return level == Level::Cus || level == Level::Ser || level == Level::Fac || level == Level::Fer;
}

ValuePoller::ValuePoller(MainController &main, TFormatter &formatter, ProtocolSearch *search, QObject *parent)
    : QObject(parent), m_main(main), m_mainAlive(&main), m_formatter(formatter), m_search(search)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_clock.start();
    connect(&m_timer, &QTimer::timeout, this, &ValuePoller::Tick);
    connect(&m_main, &MainController::ValuesReport, this, &ValuePoller::OnValues);
    // Closing the parameters (or a chain that needs the link alone) closes the page too.
    connect(&m_main, &MainController::ValuesClosed, this, [this] {
        if (!m_shownPage.isEmpty() || m_pageActive)
            CloseValues();
    });
    m_main.RegisterAction(QStringLiteral("FQuit"), [this](const TeleReport &report) {
        emit Acknowledged(report.Ok());
    });
}

ValuePoller::~ValuePoller()
{
    // Where the controller outlives this page, no report may reach the page afterwards;
    // where both go with their window, the controller may already be gone.
    if (m_mainAlive)
        m_main.RegisterAction(QStringLiteral("FQuit"), nullptr);
}

int ValuePoller::CurrentInterval() const
{
    if (m_intervalOverride > 0)
        return m_intervalOverride;
    return m_main.ModemOnline ? ModemIntervalMs : IntervalMs;
}

void ValuePoller::ChoosePage(const QString &code)
{
    const ValuePageInfo *info = FindValuePage(code);
    emit TrendAllowed(false);
    if (!info) {
        CloseValues();
        return;
    }
    if (m_main.Online || m_main.OfflineFile)
        m_main.UpdateMenus();
    if (InFlight())
        m_pendingPage = code;
    else
        SelectPage(code);
    emit TrendAllowed(info->Trend);
}

void ValuePoller::SelectPage(QString code)
{
    m_receivedCopy.clear();
    m_timer.stop();
    m_pendingPage.clear();
    m_shownPage = code;
    m_due = -1;
    m_main.PendingValuesAction = code;
    m_stopped = false;
    m_failedPolls = 0;
    m_repetitionsLeft = qMax(0, m_main.Settings.Retries);
    m_stale = false;
    m_page = BuiltPage();
    m_valuesValid = false;

    // A refusal of the last request is the device's answer, not a lost line.
    if (m_main.LastAnswerCode != 0 && m_main.LastAnswerCode != RefusalCode) {
        // The last exchange of the main window failed: find the link before asking again.
        m_main.SetPendingAction(QString());
        ReportLinkFailure();
        emit PageSelected(code, false);
        return;
    }
    m_definition = LoadPageDefinition(m_main.Data, code, m_main.UserPrompter());
    m_main.UpdateMenus();
    emit PageSelected(code, m_definition.Complete);
    RequestValues();
}

void ValuePoller::RequestValues()
{
    if (m_shownPage.isEmpty())
        return;
    m_stopped = false;
    if (EditInProgress && EditInProgress())
        return;
    if (!m_main.Online || !m_main.Data.Identified)
        return;
    const QString loaded = LoadedDefinition ? LoadedDefinition() : QString();
    if (!loaded.isEmpty() && !m_main.Data.State.DefinitionFile.isEmpty() &&
        loaded != m_main.Data.State.DefinitionFile) {
        m_main.UserPrompter().error(GetText(74));
        CloseValues();
        m_main.CloseParameters();
        return;
    }
    m_valuesValid = false;
    UpdateAcknowledge();
    if (!m_definition.Complete) {
        // Nothing to read: the page shows its empty grid and waits to be chosen again.
        m_page = BuildPage(m_main.Data, m_formatter, m_shownPage, QByteArray(), false);
        m_pageActive = true;
        emit PageBuilt();
        return;
    }
    // One request at a time: the answer in flight goes on with this page (or asks for it).
    if (InFlight())
        return;
    SendRequest();
}

void ValuePoller::SendRequest()
{
    const qint64 now = m_clock.elapsed();
    if (m_due < 0 || now - m_due > CurrentInterval())
        m_due = now; // first poll, or far behind: the schedule starts again from here
    // The thread copies at most the count asked for into the answer buffer, so the buffer
    // holds this page's bytes only once this page's answer has come.
    if (m_main.Push(5, m_definition.Address, quint8(m_definition.Count), TeleValues))
        m_outstanding.append(m_shownPage);
    else
        m_timer.start(CurrentInterval()); // queue full: try again at the next tick
}

void ValuePoller::OnValues(quint32 wParam, quint32 lParam)
{
    TeleReport report;
    report.wParam = wParam;
    report.lParam = lParam;
    const QString numbers = Text::ToHex(wParam, 8) + QLatin1Char('-') + Text::ToHex(lParam, 8);
    emit m_main.LogLine(QStringLiteral("DVE_IW"), (report.Ok() ? QStringLiteral("R :") : QStringLiteral("RE:")) + numbers);
    if (m_outstanding.isEmpty())
        return; // the page was closed meanwhile
    const QString forPage = m_outstanding.takeFirst();
    if (m_shownPage.isEmpty())
        return;
    // An answer for another page is not this page's: its bytes lie at other offsets.
    if (forPage != m_shownPage) {
        if (m_outstanding.isEmpty())
            RequestValues();
        return;
    }
    if (!m_outstanding.isEmpty())
        return; // overtaken by a newer request for the same page

    const int dataLength = int(report.Byte(3)) - 4;
    if (report.Ok() && dataLength >= m_definition.Count) {
        m_main.LastAnswerCode = 0;
        m_failedPolls = 0;
        m_repetitionsLeft = qMax(0, m_main.Settings.Retries);
        m_valuesValid = true;
        m_lastGood = QDateTime::currentDateTime();
        const QByteArray answer(reinterpret_cast<const char *>(m_main.ValuesImage.At(TelePos::AddrHigh)),
                                m_definition.Count);
        m_page = BuildPage(m_main.Data, m_formatter, m_shownPage, answer);
        m_pageActive = true;
        // Take and clear: what the worker appends meanwhile is never lost or written back.
        const QString received = ReceivedText::Take();
        if (m_shownPage != QLatin1String("IstRel")) {
            m_receivedCopy = received;
        } else {
            if (!received.isEmpty() && m_receivedCopy.size() >= 4 * received.size())
                m_receivedCopy.remove(0, received.size());
            m_receivedCopy += received;
        }
        if (m_stale) {
            m_stale = false;
            emit StaleChanged(false, m_lastGood);
        }
        emit PageBuilt();
        ScheduleNext();
        return;
    }
    PollFailure(report.State() == RefusalState, report.Byte(4));
}

void ValuePoller::PollFailure(bool refused, quint8 answerCode)
{
    if (!refused && m_repetitionsLeft > 0) {
        --m_repetitionsLeft;
        SendRequest();
        return;
    }
    m_repetitionsLeft = qMax(0, m_main.Settings.Retries);
    m_valuesValid = false;
    m_pageActive = true;
    if (!m_stale) {
        m_stale = true;
        emit StaleChanged(true, m_lastGood);
    }
    // A refusal is the device's answer, not a broken line: no count towards the search.
    if (!refused)
        ++m_failedPolls;
    emit PollFailed(m_failedPolls, refused);
    if (!refused && m_failedPolls >= FailedPollsBeforeSearch) {
        m_main.LastAnswerCode = answerCode ? answerCode : 0xFF;
        m_stopped = true;
        emit LinkLost();
        ReportLinkFailure();
        return;
    }
    ScheduleNext();
}

void ValuePoller::ScheduleNext()
{
    if (m_due < 0)
        m_due = m_clock.elapsed();
    m_due += CurrentInterval();
    m_timer.start(int(qMax<qint64>(0, m_due - m_clock.elapsed())));
}

void ValuePoller::ReportLinkFailure()
{
    if (m_main.ModemOnline) {
        m_main.UserPrompter().error(GetText(182));
        return;
    }
    m_main.UserPrompter().error(GetText(72));
    if (m_search && !m_search->Running()) {
        m_main.LastAnswerCode = 0;
        m_search->Start();
    }
}

void ValuePoller::Pause()
{
    m_paused = true;
    m_timer.stop();
}

void ValuePoller::Resume()
{
    if (!m_paused)
        return;
    m_paused = false;
    // An answer that came meanwhile has been shown; the next poll follows at once.
    if (m_pageActive && !m_stopped && !InFlight() && !m_shownPage.isEmpty()) {
        m_due = -1;
        m_timer.start(0);
    }
}

QStringList ValuePoller::PrintLines() const
{
    if (!m_page.ValuesPresent)
        return {};
    QStringList lines = m_page.PrintLines;
    while (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void ValuePoller::Tick()
{
    m_timer.stop();
    if (m_stopped || m_paused || m_shownPage.isEmpty())
        return;
    const bool searching = m_search && m_search->Running();
    if ((ClockShowing && ClockShowing()) || m_main.LinkBusy || searching || InFlight()) {
        m_timer.start(CurrentInterval());
        return;
    }
    if (!m_pendingPage.isEmpty())
        SelectPage(m_pendingPage);
    else
        RequestValues();
}

void ValuePoller::CloseValues()
{
    const bool wasShown = !m_shownPage.isEmpty() || m_pageActive;
    m_timer.stop();
    m_shownPage.clear();
    m_pendingPage.clear();
    m_definition = PageDefinition();
    m_page = BuiltPage();
    m_receivedCopy.clear();
    m_pageActive = false;
    m_valuesValid = false;
    m_stale = false;
    m_failedPolls = 0;
    if (m_ackVisible) {
        m_ackVisible = false;
        emit AcknowledgeVisibilityChanged(false);
    }
    // Answers still in flight are dropped when they come.
    if (wasShown) {
        m_main.PendingValuesAction.clear();
        emit PageClosed();
    }
}

void ValuePoller::UpdateAcknowledge()
{
    const DeviceData &d = m_main.Data;
    const bool flag = d.Geraet.GetByte(d.State.IndexOf(0x09C7)) & 0x20;
    const bool visible = flag && m_shownPage == QLatin1String("IstAla") &&
                         (!m_main.ModemOnline || m_main.Access.FbedAccepted) && MayAcknowledge(m_main.Access.Level);
    if (visible != m_ackVisible) {
        m_ackVisible = visible;
        emit AcknowledgeVisibilityChanged(visible);
    }
}

bool ValuePoller::RemoteAcknowledge()
{
    if (!MayAcknowledge(m_main.Access.Level))
        return false;
    m_main.SetFollowUpAction(m_main.PendingAction);
    m_main.SetPendingAction(QStringLiteral("FQuit"));
    if (!m_main.Push(24, 0, 0, TeleDone)) {
        m_main.SetPendingAction(m_main.FollowUpAction);
        return false;
    }
    // The page pauses while the acknowledge uses the link.
    m_main.LinkBusy = true;
    return true;
}
