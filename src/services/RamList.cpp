#include "services/RamList.h"
#include "device/Catalogue.h"
#include "params/ParameterSender.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"

const QString RamList::ReadAction = QStringLiteral("RamRB_Click");
const QString RamList::ReadMoreAction = QStringLiteral("weitereRamAdr");
const QString RamList::ResetReadAction = QStringLiteral("DiagnoseClear");
const QString RamList::ResetWriteAction = QStringLiteral("RAM Reset Schreiben");

namespace {
constexpr quint8 kOwnAddress = 55;

RamList::Field Word(int n, int address, const char *label)
{
    return {QStringLiteral("Edit%1").arg(n), address, -1, QString::fromUtf8(label)};
}
} // namespace

const QVector<RamList::Field> &RamList::Fields()
{
    static const QVector<Field> fields = [] {
        QVector<Field> f{
            Word(1, 0x2E2C, "EEPROM Programmierungen:"),
            Word(2, 0x2E2E, "ResZh, Resetzähler:"),
            Word(4, 0x2E50, "NuL1aus. neuer Wert:"),
            Word(5, 0x2E52, "NuL2aus:"),
            Word(6, 0x2E54, "NuL3aus:"),
            Word(7, 0x2E56, "NfL1aus:"),
            Word(8, 0x2E58, "NfL2aus:"),
            Word(9, 0x2E5A, "NfL3aus:"),
            Word(10, 0x2E5C, "Vekts, Auslösen:"),
            Word(11, 0x2E5E, "UNetzs,Auslösung du/dt Netz:"),
            Word(12, 0x2E60, "NuL1aua, alter Wert:"),
            Word(13, 0x2E62, "NuL2ausa:"),
            Word(14, 0x2E64, "NuL3ausa:"),
            Word(15, 0x2E66, "NfL1ausa:"),
            Word(16, 0x2E68, "NfL2ausa:"),
            Word(17, 0x2E6A, "NfL3ausa:"),
            Word(18, 0x2E6C, "fNetzs,Auslösung, df/dt Netz:"),
            Word(19, 0x2E6E, "VEKTGs, nicht benutzt:"),
            Word(20, 0x2E70, "GuL1aus, neuer Wert:"),
            Word(21, 0x2E72, "GuL2aus:"),
            Word(22, 0x2E74, "GuL3aus:"),
            Word(23, 0x2E76, "fGL1aus:"),
            Word(24, 0x2E78, "fGL2aus:"),
            Word(25, 0x2E7A, "fGL3aus:"),
            Word(26, 0x2E7C, "ErstAus, Erstauslösung: "),
            Word(27, 0x2E7E, "UGens, Auslösung, du/dt Gen: "),
            Word(28, 0x2E80, "GuL1ausa, alter Wert:"),
            Word(29, 0x2E82, "GuL2ausa:"),
            Word(30, 0x2E84, "GuL3ausa:"),
            Word(31, 0x2E86, "fGL1ausa:"),
            Word(32, 0x2E88, "fGL2ausa:"),
            Word(33, 0x2E8A, "fGL3ausa:"),
            Word(34, 0x2E8C, "fGens,Auslösung df/dt Gen.:"),
        };
        const char *mains[] = {"Bit 0, Netzunterspannung:", "Bit 1, Netzüberspannung:", "Bit 2, Netzunterfrequenz:",
                               "Bit 3, Netzüberfrequenz:",  "Bit 4, Netz du/dt:",        "Bit 5, Netz df/dt:",
                               "Bit 6, Netz Vektorsprung:", "Bit 7, Netzschieflast:"};
        const char *gen[] = {"Bit 0, Gen. Unterspannung:", "Bit 1, Gen. Überspannung:",
                             "Bit 2, Gen. Unterfrequenz:", "Bit 3, Gen. Überfrequenz:",
                             "Bit 4, Gen. du/dt:",         "Bit 5, Gen. df/dt:",
                             "Bit 6, Netzmindestbe. untersch:", "Bit 7,:"};
        for (int b = 0; b < 8; ++b)
            f.push_back({QStringLiteral("Edit%1").arg(35 + b), 0x2E8E, b, QString::fromUtf8(mains[b])});
        for (int b = 0; b < 8; ++b)
            f.push_back({QStringLiteral("Edit%1").arg(43 + b), 0x2E8F, b, QString::fromUtf8(gen[b])});
        f.push_back(Word(51, 0x2E90, "VektAlt:"));
        f.push_back(Word(52, 0x2E92, "VektNeu:"));
        f.push_back(Word(53, 0x2E94, "VektDif:"));
        f.push_back(Word(54, 0x2E96, "NFtime:"));
        f.push_back(Word(55, 0x2E98, "NFtime:"));
        f.push_back(Word(56, 0x2E9A, "Interruptfrequenz:"));
        return f;
    }();
    return fields;
}

QString RamList::GroupLabel(const Field &f)
{
    if (f.Bit < 0)
        return QString();
    return f.Address == 0x2E8E ? QStringLiteral("NausBit, Auslösebits Netz:") : QStringLiteral("GausBit dito Gen.:");
}

QString RamList::Value(const Field &f, const quint8 *block)
{
    const int at = f.Address - FirstAddress;
    if (f.Bit >= 0)
        return QString::number((block[at] >> f.Bit) & 1);
    return QString::number((unsigned(block[at]) << 8) | block[at + 1]);
}

QStringList RamList::CycleLines(const quint8 *cycles, int count)
{
    QStringList lines;
    for (int start = 0; start < count; start += 8) {
        QString line;
        for (int k = start; k < std::min(start + 8, count); ++k)
            line += QStringLiteral("%1  ").arg(cycles[k], 2, 16, QLatin1Char('0')).toUpper();
        lines << line;
    }
    return lines;
}

RamList::RamList(MainController &main, ParameterSender &sender, QObject *parent)
    : QObject(parent), m_main(main), m_sender(sender)
{
    m_main.RegisterAction(ReadAction, [this](const TeleReport &r) { OnFirst(r); });
    m_main.RegisterAction(ReadMoreAction, [this](const TeleReport &r) { OnSecond(r); });
    m_main.RegisterAction(ResetReadAction, [this](const TeleReport &r) { OnDiagnosis(r); });
    for (const QString &name : {ReadAction, ReadMoreAction, ResetReadAction})
        m_main.SetRepeatable(name);
    m_sender.RegisterAckContinuation(ResetWriteAction, [this] { OnResetWritten(); });
    connect(&m_sender, &ParameterSender::WriteFailed, this, [this] {
        if (m_resetStep == 2) {
            m_refused = !m_sender.LinkFailed();
            FailReset();
        }
    });
}

RamList::~RamList()
{
    for (const QString &name : {ReadAction, ReadMoreAction, ResetReadAction}) {
        m_main.RegisterAction(name, nullptr);
        m_main.SetRepeatable(name, false);
    }
    m_sender.RegisterAckContinuation(ResetWriteAction, nullptr);
    // A chain of this object must not be continued by a report that arrives after it.
    const QString pending = m_main.PendingAction;
    if (pending == ReadAction || pending == ReadMoreAction || pending == ResetReadAction ||
        pending == ResetWriteAction)
        m_main.SetPendingAction(QString());
}

bool RamList::Available(QString *why) const
{
    QString reason;
    if (!m_main.Online)
        reason = GetText(614);
    else if (!IsControllerType(m_main.Data.State.DeviceType))
        reason = GetText(620); // the diagnosis block sits at fixed controller addresses
    else if (m_main.Access.Level != Level::Ser)
        reason = GetText(621);
    if (why)
        *why = reason;
    return reason.isEmpty();
}

bool RamList::AnswerComplete(const TeleReport &report, int count) const
{
    // A short answer would leave bytes of an earlier exchange shown as current.
    return report.Ok() && int(report.Byte(3)) - 4 >= count;
}

bool RamList::SendRead(const QString &action, int address, int count)
{
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::Slave] = m_main.Init.SlaveAddress;
    img[TelePos::Own] = kOwnAddress;
    img[TelePos::Length] = 7;
    img[TelePos::Code] = 5;
    img[TelePos::AddrHigh] = quint8(address >> 8);
    img[TelePos::AddrLow] = quint8(address);
    img[TelePos::CountOrData] = quint8(count);
    m_main.SetPendingAction(action);
    m_main.LinkBusy = true;
    if (!m_main.SendImage()) {
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        return false;
    }
    return true;
}

bool RamList::Read()
{
    if (Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        m_main.UserPrompter().error(why);
        return false;
    }
    m_readStep = 1;
    if (!SendRead(ReadAction, FirstAddress, FirstCount)) {
        m_readStep = 0;
        return false;
    }
    return true;
}

void RamList::OnFirst(const TeleReport &report)
{
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (m_readStep != 1)
        return;
    if (!AnswerComplete(report, FirstCount)) {
        FailRead();
        if (report.Ok())
            m_main.UserPrompter().warning(GetText(41));
        return;
    }
    std::copy_n(&m_main.WorkImage[TelePos::AddrHigh], FirstCount, m_block.begin());
    m_readStep = 2;
    if (!SendRead(ReadMoreAction, SecondAddress, SecondCount)) {
        m_main.UserPrompter().error(GetText(41));
        FailRead();
    }
}

void RamList::OnSecond(const TeleReport &report)
{
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (m_readStep != 2)
        return;
    if (!AnswerComplete(report, SecondCount)) {
        FailRead();
        if (report.Ok())
            m_main.UserPrompter().warning(GetText(41));
        return;
    }
    std::copy_n(&m_main.WorkImage[TelePos::AddrHigh], SecondCount, m_block.begin() + FirstCount);
    m_readStep = 0;
    // Both blocks are shown together, so no field ever mixes two reads.
    m_values.clear();
    for (const Field &f : Fields())
        m_values << Value(f, m_block.data());
    m_cycles = CycleLines(m_block.data() + CycleOffset);
    m_hasData = true;
    emit ReadFinished(true);
}

void RamList::FailRead()
{
    // The fields keep the last complete read; the caller shows them as they were.
    m_readStep = 0;
    emit ReadFinished(false);
}

bool RamList::Reset()
{
    if (Busy())
        return false;
    QString why;
    if (!Available(&why)) {
        m_main.UserPrompter().error(why);
        return false;
    }
    // The diagnosis byte carries other flags: read it, then clear only the diagnosis bit.
    m_resetStep = 1;
    m_diagnosisRead = -1;
    m_refused = false;
    if (!SendRead(ResetReadAction, DiagnosisAddress, 1)) {
        m_resetStep = 0;
        return false;
    }
    return true;
}

void RamList::OnDiagnosis(const TeleReport &report)
{
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (m_resetStep != 1)
        return;
    if (!AnswerComplete(report, 1)) {
        if (report.Ok())
            m_main.UserPrompter().warning(GetText(41));
        FailReset();
        return;
    }
    m_diagnosisRead = m_main.WorkImage[TelePos::AddrHigh];
    m_sender.SendHigh = m_diagnosisRead & ~DiagnosisBit & 0xFF;
    m_resetStep = 2;
    m_main.SetPendingAction(ResetWriteAction);
    if (!m_sender.WriteValue(1, QString::number(DiagnosisAddress, 16))) {
        if (m_main.PendingAction == ResetWriteAction)
            m_main.SetPendingAction(QString());
        FailReset();
    }
}

void RamList::OnResetWritten()
{
    m_main.SetPendingAction(QString());
    m_resetStep = 0;
    emit ResetFinished(true);
}

void RamList::FailReset()
{
    m_resetStep = 0;
    if (m_main.PendingAction == ResetWriteAction)
        m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    emit ResetFinished(false);
}
