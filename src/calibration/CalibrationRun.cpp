#include "calibration/CalibrationRun.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <algorithm>
#include <climits>

const QString CalibrationRun::ReadAveragedAction = QStringLiteral("WertHolen3");
const QString CalibrationRun::ReadAction = QStringLiteral("WertHolen");
const QString CalibrationRun::PeriodAction = QStringLiteral("f_Holen");
const QString CalibrationRun::WriteAction = QStringLiteral("SKALtoUnit");
const QString CalibrationRun::OldWordsAction = QStringLiteral("SKAL Altwerte");
const QString CalibrationRun::ReadBackAction = QStringLiteral("SKAL Rücklesen");
const QString CalibrationRun::RestoreAction = QStringLiteral("SKAL Zurückschreiben");

namespace {
constexpr int kAnswerPos = TelePos::AddrHigh; // read answers land here in the working image
const QString &Br()
{
    static const QString br = QStringLiteral("\r");
    return br;
}
QString Hex4(int v) { return QStringLiteral("$%1").arg(v, 4, 16, QLatin1Char('0')).toUpper(); }
} // namespace

CalibrationRun::CalibrationRun(MainController &main, Family family, QObject *parent)
    : QObject(parent), m_main(main), m_family(family)
{
    m_main.RegisterAction(ReadAveragedAction, [this](const TeleReport &r) { OnRead(r); });
    m_main.RegisterAction(ReadAction, [this](const TeleReport &r) { OnRead(r); });
    m_main.RegisterAction(PeriodAction, [this](const TeleReport &r) { OnPeriod(r); });
    m_main.RegisterAction(OldWordsAction, [this](const TeleReport &r) { OnOldWords(r); });
    m_main.RegisterAction(WriteAction, [this](const TeleReport &r) { OnWritten(r); });
    m_main.RegisterAction(ReadBackAction, [this](const TeleReport &r) { OnReadBack(r); });
    m_main.RegisterAction(RestoreAction, [this](const TeleReport &r) { OnRestored(r); });
    // Reads, and writes of the same two bytes, may go out again on a noisy line.
    for (const QString &a : {ReadAveragedAction, ReadAction, PeriodAction, OldWordsAction, WriteAction, ReadBackAction,
                             RestoreAction})
        m_main.SetRepeatable(a);
}

CalibrationRun::~CalibrationRun()
{
    const QString pending = m_main.PendingAction;
    for (const QString &a : {ReadAveragedAction, ReadAction, PeriodAction, OldWordsAction, WriteAction, ReadBackAction,
                             RestoreAction}) {
        m_main.RegisterAction(a, nullptr);
        m_main.SetRepeatable(a, false);
        if (pending == a)
            m_main.SetPendingAction(QString());
    }
}

QString CalibrationRun::Caption() const
{
    return m_family == Family::Zev101 ? GetText(130) : QStringLiteral("Abgleich ZEV 9x");
}

bool CalibrationRun::FactorySettingAfterClose() const
{
    return m_family == Family::Zev101 && (m_main.Access.Level == Level::Fac || m_main.Access.Level == Level::Fer);
}

int CalibrationRun::ImageIndex(int address) const
{
    // The 9x controllers' addresses are image indexes as they are.
    return m_family == Family::Zev9x ? address : int(m_main.Data.State.IndexOf(address));
}

int CalibrationRun::NominalWord(int address) const
{
    return m_main.Data.Geraet.GetWord(ImageIndex(address));
}

bool CalibrationRun::Open()
{
    m_finished = false;
    m_flags.fill(false);
    m_written.clear();
    m_report.clear();
    m_title = GetText(114);
    m_instruction.clear();
    if (!SetPointTable::Read(m_main.Data, m_family == Family::Zev9x, &m_items, m_main.UserPrompter())) {
        m_items.clear();
        m_finished = true;
        emit Changed();
        return false;
    }
    if (m_items.isEmpty()) {
        // A table without points is no fault of the file, but there is nothing to do.
        m_main.UserPrompter().information(GetText(859));
        m_finished = true;
        emit Changed();
        return false;
    }
    m_index = 0;
    ShowItem();
    return !m_finished;
}

void CalibrationRun::ShowItem()
{
    m_step = 0;
    // The attempts at a second point count per item, from nothing.
    m_attempts = 0;
    m_cancelRequested = false;
    if (m_index >= m_items.size()) {
        Finish();
        return;
    }
    const SetPointItem &it = Item();
    if (it.Kind == 12) {
        if (m_main.Access.Level == Level::Cus) {
            Finish();
            return;
        }
        m_title = GetText(131);
    } else {
        m_title = GetText(114);
    }
    const bool divide = m_family == Family::Zev101 &&
                        (it.Source.contains(QLatin1String("2260")) || it.Source.contains(QLatin1String("2290")));
    if (Even()) {
        int value = NominalWord(it.FirstNominal);
        if (m_family == Family::Zev101) {
            const bool rated = value == 200 || value == 900 || value == 1100;
            if (it.Source == QLatin1String("2260"))
                m_flags[0] = rated;
            if (it.Source == QLatin1String("2290"))
                m_flags[1] = rated;
            if (it.Source == QLatin1String("2266"))
                m_flags[2] = true;
            if (it.Source == QLatin1String("2296"))
                m_flags[3] = true;
        }
        if (divide)
            value /= 10;
        if (m_family == Family::Zev9x || it.Kind != 2) {
            m_instruction = it.Kind == 12 ? it.Prompt : QString::number(value) + QLatin1Char(' ') + it.Prompt;
            emit Changed();
            return;
        }
        // The one-channel kind keeps only its second point: there is no first to measure.
        ++m_index;
        if (m_index >= m_items.size()) {
            Finish();
            return;
        }
    }
    // A second point shows the nominal word at f4, in both families.
    const SetPointItem &odd = Item();
    int value = NominalWord(odd.SecondNominal);
    if (divide)
        value /= 10;
    m_instruction = (m_family == Family::Zev101 && odd.Kind == 2) ? odd.Prompt
                                                                  : QString::number(value) + QLatin1Char(' ') + odd.Prompt;
    emit Changed();
}

void CalibrationRun::NextItem()
{
    ++m_index;
    ShowItem();
}

void CalibrationRun::NextPair()
{
    m_index += Even() ? 2 : 1;
    ShowItem();
}

void CalibrationRun::Finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_step = 0;
    emit Changed();
    emit Closed();
}

void CalibrationRun::Ok()
{
    if (m_finished || Busy() || m_step != 0 || m_index >= m_items.size())
        return;
    if (m_family == Family::Zev101)
        Ok101();
    else
        Ok9x();
}

void CalibrationRun::Cancel()
{
    if (m_finished)
        return;
    if (Busy()) {
        // The exchange on the line ends first; its answer then breaks the step off.
        m_cancelRequested = true;
        return;
    }
    NextPair();
}

void CalibrationRun::Close()
{
    if (m_finished)
        return;
    if (Busy()) {
        m_cancelRequested = true;
        m_closeRequested = true;
        return;
    }
    Finish();
}

bool CalibrationRun::Abandoned()
{
    // A cancel during a read drops the measurement; after a close nothing more happens.
    if (!m_cancelRequested)
        return false;
    m_cancelRequested = false;
    if (m_closeRequested)
        Finish();
    else
        NextPair();
    return true;
}

void CalibrationRun::LinkWarning(bool closeAfter)
{
    const QString text = GetText(41) + Br() + GetText(63);
    if (closeAfter)
        m_main.UserPrompter().error(text);
    else
        m_main.UserPrompter().warning(text);
}

QString CalibrationRun::LimitMessage(Calib::Limit limit, const QVector<int> &values) const
{
    const SetPointItem &it = Item();
    QString text = GetText(limit == Calib::Limit::TooSmall ? 115 : 116) + Br();
    if (values.size() == 1) {
        text += GetText(485) + QStringLiteral(" = ") + QString::number(values[0]) + Br();
    } else {
        for (int i = 0; i < values.size(); ++i)
            text += GetText(485) + QStringLiteral("  %1 = ").arg(i + 1) + QString::number(values[i]) + Br();
    }
    text += limit == Calib::Limit::TooSmall ? QStringLiteral("Minimum  = ") + QString::number(it.Min)
                                            : QStringLiteral("Maximum  = ") + QString::number(it.Max);
    return text;
}

// --- 101-112 -----------------------------------------------------------------------------

void CalibrationRun::Ok101()
{
    const SetPointItem &it = Item();
    if (!Even()) {
        MeasureSecond101();
        return;
    }
    if (it.Kind == 12) {
        // The phase correction is cleared before the angles are measured.
        m_step = 1;
        Write(it.WriteAddress, QByteArray(12, '\0'), [this](bool ok) {
            if (ok)
                NextItem();
            else
                NextPair(); // measuring against an old correction would calibrate nonsense
        });
        return;
    }
    m_step = 2;
    Read(it.RawAddress, it.Kind, true, ReadAveragedAction, [this](bool ok, const QByteArray &b) { First101(ok, b); });
}

void CalibrationRun::First101(bool ok, const QByteArray &bytes)
{
    m_step = 3;
    if (!ok) {
        // Without a first point the second cannot be used: the pair starts again later.
        LinkWarning(false);
        NextPair();
        return;
    }
    const SetPointItem &it = Item();
    const QVector<int> values = Calib::Words(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size());
    const Calib::Limit limit = Calib::CheckLimits(values, it.Min, it.Max);
    if (limit != Calib::Limit::Ok) {
        m_main.UserPrompter().warning(LimitMessage(limit, values));
        NextPair();
        return;
    }
    m_first = values;
    NextItem();
}

void CalibrationRun::MeasureSecond101()
{
    const SetPointItem &it = Item();
    m_step = 5;
    if (it.Kind == 12)
        Read(it.RawAddress, 12, false, ReadAction, [this](bool ok, const QByteArray &b) { Second101(ok, b); });
    else
        Read(it.RawAddress, it.Kind, true, ReadAveragedAction, [this](bool ok, const QByteArray &b) { Second101(ok, b); });
}

void CalibrationRun::Second101(bool ok, const QByteArray &bytes)
{
    m_step = 6;
    if (!ok) {
        // A dead line is not a bad simulation: the link is named, the item is skipped.
        LinkWarning(true);
        NextItem();
        return;
    }
    ++m_attempts;
    if (m_attempts >= Calib::AttemptLimit) {
        m_main.UserPrompter().error(GetText(54));
        NextItem();
        return;
    }
    const SetPointItem &it = Item();
    const QVector<int> words = Calib::Words(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size());
    if (it.Kind != 12) {
        m_second = words;
        m_step = 8;
        Check101();
        return;
    }
    m_phase = words;
    if ((!m_flags[2] && it.Source == QLatin1String("2240")) || (!m_flags[3] && it.Source == QLatin1String("2270"))) {
        for (int k = 0; k < 3; ++k)
            m_phase[3 + k] = m_phase[k];
    }
    m_step = 7;
    const int periodAddress = it.Source.contains(QLatin1String("2240")) ? 0x2250 : 0x2280;
    Read(periodAddress, 2, false, PeriodAction, [this](bool ok2, const QByteArray &b) { Period101(ok2, b); });
}

void CalibrationRun::Period101(bool ok, const QByteArray &bytes)
{
    if (!ok) {
        LinkWarning(true);
        NextItem();
        return;
    }
    const SetPointItem &it = Item();
    const int period = (quint8(bytes[0]) << 8) | quint8(bytes[1]);
    const bool shifted =
        (it.Source == QLatin1String("2270") && m_flags[1]) || (it.Source == QLatin1String("2240") && m_flags[0]);
    const Calib::PhaseResult r = Calib::EvaluatePhases(m_phase, period, shifted);
    if (!r.Accepted) {
        MeasureSecond101();
        return;
    }
    m_differences = r.Differences;
    QString text = GetText(53);
    for (int d : r.Differences)
        text += Br() + QString::number(d);
    m_main.UserPrompter().information(text);
    m_step = 9;
    Confirm(QString());
}

void CalibrationRun::Check101()
{
    const SetPointItem &it = Item();
    const Calib::Limit limit = Calib::CheckLimits(m_second, it.Min, it.Max);
    if (limit != Calib::Limit::Ok) {
        m_main.UserPrompter().warning(LimitMessage(limit, m_second));
        NextItem();
        return;
    }
    QString kept;
    if (it.Kind == 6) {
        QVector<int> diffs;
        if (!Calib::DifferencesLargeEnough(m_first, m_second, it.MinDiff, &diffs)) {
            QString text = GetText(117) + Br();
            for (int i = 0; i < diffs.size(); ++i)
                text += GetText(485) + QStringLiteral("  %1 = ").arg(i + 1) + QString::number(diffs[i]) + Br();
            text += GetText(135) + QStringLiteral(" = ") + QString::number(it.MinDiff);
            m_main.UserPrompter().warning(text);
            NextItem();
            return;
        }
        for (int i = 0; i < m_second.size(); ++i)
            kept += Br() + QStringLiteral("  %1 = ").arg(i + 1) + QString::number(m_second[i]);
    } else {
        // The controller divides by this word: a zero would never measure anything.
        if (m_second.value(0) < 1) {
            m_main.UserPrompter().warning(GetText(96) + Br() + GetText(63));
            NextItem();
            return;
        }
        kept = Br() + QStringLiteral("1 = ") + QString::number(m_second.value(0));
    }
    m_step = 9;
    Confirm(kept);
}

// --- 9x ------------------------------------------------------------------------------------

namespace {
int BytesFor9x(int kind) { return kind == 1 ? 1 : kind == 3 ? 3 : kind == 6 ? 6 : 12; }
} // namespace

QVector<int> CalibrationRun::Values9x(const QByteArray &bytes) const
{
    const int kind = Item().Kind;
    QVector<int> values;
    if (kind == 1 || kind == 3) {
        for (char c : bytes)
            values.append(quint8(c));
        return values;
    }
    return Calib::Words(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size());
}

void CalibrationRun::Ok9x()
{
    const SetPointItem &it = Item();
    if (!Even()) {
        MeasureSecond9x();
        return;
    }
    if (it.Kind == 12) {
        m_step = 1;
        Write(it.WriteAddress, QByteArray(12, '\0'), [this](bool ok) {
            if (ok)
                NextItem();
            else
                NextPair();
        });
        return;
    }
    m_step = 2;
    Read(it.RawAddress, BytesFor9x(it.Kind), false, ReadAction, [this](bool ok, const QByteArray &b) { First9x(ok, b); });
}

void CalibrationRun::First9x(bool ok, const QByteArray &bytes)
{
    m_step = 3;
    if (!ok) {
        LinkWarning(false);
        NextPair();
        return;
    }
    m_first = Values9x(bytes);
    // A first point below the minimum only warns: the second point is still measured.
    if (Calib::CheckLimits(m_first, Item().Min, INT_MAX) == Calib::Limit::TooSmall)
        m_main.UserPrompter().warning(GetText(115));
    NextItem();
}

void CalibrationRun::MeasureSecond9x()
{
    const SetPointItem &it = Item();
    m_step = 4;
    Read(it.RawAddress, BytesFor9x(it.Kind), false, ReadAction, [this](bool ok, const QByteArray &b) { Second9x(ok, b); });
}

void CalibrationRun::Second9x(bool ok, const QByteArray &bytes)
{
    m_step = 5;
    if (!ok) {
        LinkWarning(true);
        Finish();
        return;
    }
    const SetPointItem &it = Item();
    m_second = Values9x(bytes);
    if (it.Kind == 12) {
        if (std::any_of(m_second.begin(), m_second.end(), [](int w) { return w > Calib::PhaseReadingLimit; })) {
            if (++m_attempts >= Calib::AttemptLimit) {
                m_main.UserPrompter().error(GetText(54));
                NextItem();
                return;
            }
            MeasureSecond9x();
            return;
        }
        m_differences = Calib::PhaseDifferences9x(m_second);
        Confirm(QString());
        return;
    }
    if (Calib::CheckLimits(m_second, INT_MIN, it.Max) == Calib::Limit::TooLarge) {
        m_main.UserPrompter().warning(GetText(116));
        NextItem();
        return;
    }
    if (!Calib::DifferencesLargeEnough(m_first, m_second, it.MinDiff)) {
        m_main.UserPrompter().warning(GetText(117));
        NextItem();
        return;
    }
    Confirm(QString());
}

// --- Confirmation and the words --------------------------------------------------------

QByteArray CalibrationRun::WriteData() const
{
    const int kind = Item().Kind;
    if (kind == 12)
        return Calib::PhaseBytes(m_differences);
    if (kind == 6)
        return Calib::ThreeChannelWords(m_first, m_second);
    if (kind == 2)
        return Calib::OneChannelWord(m_second.value(0));
    return Calib::BytePairs(m_first, m_second);
}

int CalibrationRun::TargetAddress() const
{
    // A customer's table may name the words at the first point only.
    if (m_main.Access.Level == Level::Cus && m_index > 0)
        return m_items[m_index - 1].WriteAddress;
    return Item().WriteAddress;
}

void CalibrationRun::Confirm(const QString &kept)
{
    m_step = 9;
    if (!m_main.UserPrompter().question(GetText(80) + kept)) {
        NextItem();
        return;
    }
    m_step = 10;
    Write(TargetAddress(), WriteData(), [this](bool) { NextItem(); });
}

// --- Reads -----------------------------------------------------------------------------

bool CalibrationRun::AnswerHolds(const TeleReport &report, int count) const
{
    // A short answer would leave bytes of an earlier exchange in the working image.
    return report.Ok() && int(report.Byte(3)) - 4 >= count;
}

bool CalibrationRun::SendRead(int address, int count, const QString &action)
{
    m_main.SetPendingAction(action);
    m_main.LinkBusy = true;
    if (m_main.Push(5, quint32(address), quint8(count)))
        return true;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    return false;
}

void CalibrationRun::Read(int address, int count, bool averaged, const QString &action, ReadDone done)
{
    m_op = Op::Read;
    m_readAddress = address;
    m_readCount = count;
    m_readRound = 0;
    m_averaged = averaged;
    m_readings.clear();
    m_readDone = std::move(done);
    emit Changed();
    if (!SendRead(address, count, action)) {
        m_op = Op::None;
        ReadDone d = std::move(m_readDone);
        d(false, QByteArray());
    }
}

void CalibrationRun::OnRead(const TeleReport &report)
{
    if (m_op != Op::Read)
        return;
    const QString action = m_main.PendingAction;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    auto finish = [this](bool ok, const QByteArray &bytes) {
        m_op = Op::None;
        ReadDone d = std::move(m_readDone);
        emit Changed();
        if (Abandoned())
            return;
        d(ok, bytes);
    };
    // Any failed read breaks the measurement off: nothing stale is ever averaged in.
    if (!AnswerHolds(report, m_readCount)) {
        finish(false, QByteArray());
        return;
    }
    QByteArray bytes(reinterpret_cast<const char *>(m_main.WorkImage.At(kAnswerPos)), m_readCount);
    if (!m_averaged) {
        finish(true, bytes);
        return;
    }
    m_readings.append(Calib::Words(reinterpret_cast<const quint8 *>(bytes.constData()), bytes.size()));
    if (++m_readRound < 3) {
        if (m_cancelRequested) {
            finish(false, QByteArray());
            return;
        }
        if (!SendRead(m_readAddress, m_readCount, action))
            finish(false, QByteArray());
        return;
    }
    QByteArray mean;
    for (int w = 0; w < m_readings[0].size(); ++w) {
        const int v = Calib::Average3(m_readings[0][w], m_readings[1][w], m_readings[2][w]);
        mean.append(char(quint8(v >> 8)));
        mean.append(char(quint8(v)));
    }
    finish(true, mean);
}

// --- Writes ----------------------------------------------------------------------------

void CalibrationRun::Write(int address, const QByteArray &data, WriteDone done)
{
    m_op = Op::Write;
    m_stage = WriteStage::OldWords;
    m_writeAddress = address;
    m_data = data;
    m_old.clear();
    m_pair = 0;
    m_restoreEnd = -1;
    m_failReason.clear();
    m_writeDone = std::move(done);
    emit Changed();
    // The words held now are kept, so that a write broken off can put them back.
    if (!SendRead(address, data.size(), OldWordsAction))
        EndWrite(false, GetText(41) + Br() + GetText(63) + Br() + GetText(857).arg(Item().Prompt), true);
}

bool CalibrationRun::SendPair(int pair, const QByteArray &data, const QString &action)
{
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::CountOrData] = quint8(data[2 * pair]);
    img[TelePos::CountOrData + 1] = quint8(data[2 * pair + 1]);
    m_main.SetPendingAction(action);
    m_main.LinkBusy = true;
    if (m_main.Push(4, quint32(m_writeAddress + 2 * pair), 2))
        return true;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    return false;
}

void CalibrationRun::OnOldWords(const TeleReport &report)
{
    if (m_op != Op::Write || m_stage != WriteStage::OldWords)
        return;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (!AnswerHolds(report, m_data.size())) {
        EndWrite(false, GetText(41) + Br() + GetText(63) + Br() + GetText(857).arg(Item().Prompt), true);
        return;
    }
    if (m_cancelRequested) {
        EndWrite(false, GetText(857).arg(Item().Prompt), false);
        return;
    }
    m_old = QByteArray(reinterpret_cast<const char *>(m_main.WorkImage.At(kAnswerPos)), m_data.size());
    m_stage = WriteStage::Writing;
    m_pair = 0;
    if (!SendPair(0, m_data, WriteAction))
        WriteFailed(0, GetText(41), false);
}

void CalibrationRun::OnWritten(const TeleReport &report)
{
    if (m_op != Op::Write || m_stage != WriteStage::Writing)
        return;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    const int code = report.Ok() ? report.Byte(4) : m_main.LastAnswerCode;
    if (!report.Ok() || code >= 0xF0) {
        // A refusal wrote nothing; a lost answer may have been taken.
        WriteFailed(m_pair, GetText(code == 0xF4 ? 42 : 41), code < 0xF0);
        return;
    }
    m_stage = WriteStage::ReadingBack;
    if (!SendRead(m_writeAddress + 2 * m_pair, 2, ReadBackAction))
        WriteFailed(m_pair, GetText(41), true);
}

void CalibrationRun::OnReadBack(const TeleReport &report)
{
    if (m_op != Op::Write || m_stage != WriteStage::ReadingBack)
        return;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (!AnswerHolds(report, 2)) {
        WriteFailed(m_pair, GetText(41), true);
        return;
    }
    const quint8 hi = m_main.WorkImage[kAnswerPos];
    const quint8 lo = m_main.WorkImage[kAnswerPos + 1];
    // Only what the device shows on reading back goes into the image.
    const int index = ImageIndex(m_writeAddress + 2 * m_pair);
    m_main.Data.Geraet.SetByte(index, hi);
    m_main.Data.Geraet.SetByte(index + 1, lo);
    if (hi != quint8(m_data[2 * m_pair]) || lo != quint8(m_data[2 * m_pair + 1])) {
        WriteFailed(m_pair, GetText(856), true);
        return;
    }
    if (m_cancelRequested) {
        WriteFailed(m_pair, QString(), true);
        return;
    }
    if (++m_pair < m_data.size() / 2) {
        m_stage = WriteStage::Writing;
        if (!SendPair(m_pair, m_data, WriteAction))
            WriteFailed(m_pair, GetText(41), false);
        return;
    }
    if (m_step == 10) // the cleared phase correction is no calibration of its own
        m_written.append(m_index);
    EndWrite(true, GetText(858).arg(Item().Prompt).arg(m_data.size()).arg(Hex4(m_writeAddress)), false);
}

void CalibrationRun::WriteFailed(int pair, const QString &reason, bool pairMayBeWritten)
{
    m_failReason = reason;
    m_restoreEnd = pairMayBeWritten ? pair : pair - 1;
    const QString prefix = reason.isEmpty() ? QString() : reason + Br() + GetText(63) + Br();
    if (m_restoreEnd < 0) {
        EndWrite(false, prefix + GetText(857).arg(Item().Prompt), !reason.isEmpty());
        return;
    }
    m_stage = WriteStage::Restoring;
    m_pair = 0;
    if (!SendPair(0, m_old, RestoreAction))
        EndWrite(false, prefix + GetText(855).arg(Item().Prompt), true);
}

void CalibrationRun::OnRestored(const TeleReport &report)
{
    if (m_op != Op::Write || m_stage != WriteStage::Restoring)
        return;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    const QString prefix = m_failReason.isEmpty() ? QString() : m_failReason + Br() + GetText(63) + Br();
    const int code = report.Ok() ? report.Byte(4) : m_main.LastAnswerCode;
    if (!report.Ok() || code >= 0xF0) {
        EndWrite(false, prefix + GetText(855).arg(Item().Prompt), true);
        return;
    }
    const int index = ImageIndex(m_writeAddress + 2 * m_pair);
    m_main.Data.Geraet.SetByte(index, quint8(m_old[2 * m_pair]));
    m_main.Data.Geraet.SetByte(index + 1, quint8(m_old[2 * m_pair + 1]));
    if (++m_pair <= m_restoreEnd) {
        if (!SendPair(m_pair, m_old, RestoreAction))
            EndWrite(false, prefix + GetText(855).arg(Item().Prompt), true);
        return;
    }
    EndWrite(false, prefix + GetText(854).arg(Item().Prompt), !m_failReason.isEmpty());
}

void CalibrationRun::EndWrite(bool ok, const QString &message, bool isError)
{
    m_op = Op::None;
    m_report = message;
    WriteDone done = std::move(m_writeDone);
    emit Reported(message);
    emit Changed();
    if (!ok) {
        if (isError)
            m_main.UserPrompter().error(message);
        else
            m_main.UserPrompter().information(message);
    }
    const bool cancelled = m_cancelRequested;
    m_cancelRequested = false;
    if (m_closeRequested) {
        Finish();
        return;
    }
    if (cancelled && !ok) {
        NextPair();
        return;
    }
    if (done)
        done(ok);
}
