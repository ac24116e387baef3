#include "calibration/OutputSim.h"
#include "calibration/UlvaCalibration.h"
#include "params/EditDispatcher.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <QLocale>
#include <algorithm>

const QString OutputSim::Action = QStringLiteral("ULVAsend");

OutputSim::OutputSim(MainController &main, QObject *parent) : QObject(parent), m_main(main)
{
    m_main.RegisterAction(Action, [this](const TeleReport &r) { OnReport(r); });
    m_main.SetRepeatable(Action);
}

OutputSim::~OutputSim()
{
    m_main.RegisterAction(Action, nullptr);
    m_main.SetRepeatable(Action, false);
    if (m_main.PendingAction == Action)
        m_main.SetPendingAction(QString());
}

bool OutputSim::IsOutput(int n) const
{
    return m_main.Data.Geraet.GetByte(m_main.Data.State.IndexOf(Ulva::KindAddress - 1 + n)) >= 60;
}

QString OutputSim::LabelPrefix()
{
    return GetText(127).trimmed();
}

QString OutputSim::PresentText(int n) const
{
    if (!IsOutput(n))
        return QStringLiteral("n.a.");
    // Only words inside what was read from the module (or a file) are the module's own.
    const DeviceState &s = m_main.Data.State;
    const long long index = s.IndexOf(OutputAddress(n));
    if (index < 0 || index + 2 > qint64(s.PageCount) * 256 || !TGeraet::ValidRange(index, 2))
        return QStringLiteral("?");
    const int word = m_main.Data.Geraet.GetWord(index);
    return QLocale().toString(double(word) / CountsPerUnit, 'g', 4);
}

int OutputSim::Counts(double value)
{
    const double c = Ulva::RoundHalfEven(value * CountsPerUnit);
    return c >= 0 && c <= MaxCounts ? int(c) : -1;
}

bool OutputSim::Enter(int n, const QString &text, QString *editText)
{
    if (n < 1 || n > Outputs || !IsOutput(n))
        return false;
    bool ok = false;
    // Single precision, as the value editors parse.
    const float value = float(ParseEditNumber(text, &ok));
    if (!ok)
        m_main.UserPrompter().error(GetText(128));
    const int counts = ok ? Counts(value) : -1;
    if (counts < 0) {
        if (editText)
            *editText = QStringLiteral("0");
        return false;
    }
    m_queue.append({n, quint16(counts)});
    if (!m_sending)
        SendNext();
    return true;
}

void OutputSim::SendNext()
{
    if (m_queue.isEmpty()) {
        if (m_releasing) {
            m_releasing = false;
            if (!m_releaseOk)
                m_main.UserPrompter().warning(GetText(906));
            emit Released(m_releaseOk);
        }
        return;
    }
    m_current = m_queue.takeFirst();
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::CountOrData] = quint8(m_current.word >> 8);
    img[TelePos::CountOrData + 1] = quint8(m_current.word);
    m_main.SetPendingAction(Action);
    m_main.LinkBusy = true;
    m_sending = true;
    if (!m_main.Push(4, quint32(OutputAddress(m_current.n)), 2)) {
        m_sending = false;
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        m_main.UserPrompter().warning(GetText(41));
        m_queue.clear();
        m_releaseOk = false;
        emit Sent(m_current.n, m_current.word, false);
        SendNext();
    }
}

void OutputSim::OnReport(const TeleReport &report)
{
    m_sending = false;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    const Job job = m_current;
    if (!report.Ok()) {
        // The dispatch has told the link's failure; what was still queued is not sent.
        m_queue.clear();
        m_releaseOk = false;
        emit Sent(job.n, job.word, false);
        SendNext();
        return;
    }
    if (job.word == ReleaseWord)
        m_simulated.remove(job.n);
    else
        m_simulated.insert(job.n);
    emit Sent(job.n, job.word, true);
    SendNext();
}

void OutputSim::Release()
{
    if (m_simulated.isEmpty() && !m_sending) {
        emit Released(true);
        return;
    }
    m_releasing = true;
    m_releaseOk = true;
    QSet<int> driven = m_simulated;
    if (m_sending && m_current.word != ReleaseWord)
        driven.insert(m_current.n);
    for (const Job &j : m_queue)
        driven.insert(j.n);
    QList<int> outputs = driven.values();
    std::sort(outputs.begin(), outputs.end());
    m_queue.clear();
    for (int n : outputs)
        m_queue.append({n, ReleaseWord});
    if (!m_sending)
        SendNext();
}
