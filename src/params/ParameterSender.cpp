#include "params/ParameterSender.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "device/DeviceReader.h"
#include "params/FormatValue.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QTimer>
#include <algorithm>

namespace {
const QString kDatenSenden = QStringLiteral("DatenSenden");
const QString kQuittung = QStringLiteral("Quittung");
const QString kSollwerteZumGeraet = QStringLiteral("SollwerteZumGerät");
const QString kParamZumGeraet = QStringLiteral("ParamZumGerät");
const QString kParamZurUnitStart = QStringLiteral("ParamZurUnitStart");
const QString kWerkseinstellung = QStringLiteral("Werkseinstellung");
// The comparison read before the transfer writes anything.
const QString kParamVergleich = QStringLiteral("ParamVergleich");
// Own address of the single-value write and its read-back, whatever the settings say.
constexpr quint8 kWriteOwnAddress = 55;
// Answer data of a read land in the working image from this position on.
constexpr int kAnswerPos = TelePos::AddrHigh;
// The support line of the model-mismatch message.
const QString kSupportPhone = QStringLiteral("+49 (0)40 555 0100");

QString Hex(int value) { return QString::number(value, 16).toUpper(); }
} // namespace

ParameterSender::ParameterSender(MainController &main, DeviceReader &reader, QObject *parent)
    : QObject(parent), m_main(main), m_reader(reader)
{
    m_main.RegisterAction(kDatenSenden, [this](const TeleReport &r) { OnDatenSenden(r); });
    m_main.RegisterAction(kQuittung, [this](const TeleReport &r) { OnQuittung(r); });
    m_main.RegisterAction(kSollwerteZumGeraet, [this](const TeleReport &r) { TransferStart(1, &r); });
    m_main.RegisterAction(kParamZumGeraet, [this](const TeleReport &r) { TransferNext(r); });
    m_main.RegisterAction(kParamVergleich, [this](const TeleReport &r) { OnCompare(r); });
    m_main.RegisterAction(kWerkseinstellung, [this](const TeleReport &r) { FactoryStep(&r); });
    m_reader.RegisterIdentContinuation(kParamZurUnitStart, [this] { TransferStart(2); });
    // Every request of these steps reads, or writes bytes that are the same when sent again,
    // so an exchange lost on a noisy line may go out again before the step sees it fail.
    for (const QString &name :
         {kDatenSenden, kQuittung, kSollwerteZumGeraet, kParamZumGeraet, kParamVergleich, kWerkseinstellung})
        m_main.SetRepeatable(name);
    // The identification ends through the reader when it fails; the transfer ends with it.
    connect(&m_reader, &DeviceReader::Finished, this, [this](bool) {
        if (m_phase == Phase::Identifying) {
            m_linkFailure = true; // mostly the second request failing
            EndTransfer(false);
        }
    });
}

ParameterSender::~ParameterSender()
{
    for (const QString &name :
         {kDatenSenden, kQuittung, kSollwerteZumGeraet, kParamZumGeraet, kParamVergleich, kWerkseinstellung}) {
        m_main.RegisterAction(name, nullptr);
        m_main.SetRepeatable(name, false);
    }
    m_reader.RegisterIdentContinuation(kParamZurUnitStart, nullptr);
}

void ParameterSender::RegisterAckContinuation(const QString &action, std::function<void()> continuation)
{
    m_ackContinuations.insert(action, std::move(continuation));
}

// ---------------------------------------------------------------------------------------
// Single-value write

bool ParameterSender::WriteValue(int kind, const QString &addressText)
{
    Prompter &p = m_main.UserPrompter();
    m_writeStage = 0;
    m_writeKind = std::clamp(kind, 1, 3);
    Recheck(m_main.Access, m_main.Data.State.AccessCode);
    if (!m_main.Access.Identified) {
        p.error(GetText(45));
        return false;
    }
    if (m_main.ModemOnline && !m_main.Access.FbedAccepted) {
        p.information(GetText(314));
        return false;
    }
    bool ok = false;
    const qlonglong address = Text::RemoveSpaces(addressText).toLongLong(&ok, 16);
    if (!ok || address < 0 || address / 256 > 255) {
        p.error(QStringLiteral("Adress too low or too high."));
        return false;
    }
    m_writeAddress = int(address);
    if (m_writeKind == 1)
        SendLow = 0;
    auto inByte = [](int v) { return v >= 0 && v <= 255; };
    if (!inByte(SendHigh) || !inByte(SendLow) || (m_writeKind == 3 && !inByte(SendThird))) {
        p.error(QStringLiteral("Data too low or too high."));
        return false;
    }
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::Slave] = m_main.Init.SlaveAddress;
    img[TelePos::Own] = kWriteOwnAddress;
    img[TelePos::Length] = quint8(6 + m_writeKind);
    img[TelePos::Code] = 4;
    img[TelePos::AddrHigh] = quint8(m_writeAddress >> 8);
    img[TelePos::AddrLow] = quint8(m_writeAddress);
    img[TelePos::CountOrData] = quint8(SendHigh);
    img[TelePos::CountOrData + 1] = quint8(SendLow);
    img[TelePos::CountOrData + 2] = quint8(SendThird);
    m_main.SetFollowUpAction(m_main.PendingAction);
    m_main.SetPendingAction(kDatenSenden);
    m_writeStage = 1;
    m_main.LinkBusy = true;
    if (!m_main.SendImage()) {
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        return false;
    }
    return true;
}

void ParameterSender::OnDatenSenden(const TeleReport &report)
{
    Prompter &p = m_main.UserPrompter();
    m_writeStage = 2;
    m_main.SetPendingAction(m_main.FollowUpAction);
    const int code = report.Ok() ? report.Byte(4) : m_main.LastAnswerCode;
    if (!report.Ok() || code >= 0xF0) {
        if (code == 0xF4)
            p.error(m_main.Data.State.DeviceType == 52 ? QStringLiteral("Betriebsart muss MANUAL sein.") : GetText(42));
        else if (code == 0xF5)
            p.error(GetText(129));
        else
            p.error(GetText(41));
        m_linkFailure = code < 0xF0;
        // A broken chain leaves nothing pending: a late report must not continue it.
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        if (m_phase == Phase::Sending)
            EndTransfer(false);
        else if (m_phase == Phase::Factory)
            EndFactory(false);
        else
            emit WriteFailed();
        return;
    }
    AcknowledgeWrite(m_writeKind);
}

void ParameterSender::AcknowledgeWrite(int kind)
{
    m_writeKind = kind;
    m_ackStage = 0;
    m_main.SetFollowUpAction(m_main.PendingAction);
    m_main.SetPendingAction(kQuittung);
    m_ackStage = 1;
    m_main.LinkBusy = true;
    // The transducer needs a moment before it answers for what it has just written.
    if (m_main.Data.State.DeviceType == 36 && m_ackDelayMs > 0)
        QTimer::singleShot(m_ackDelayMs, this, [this] { SendAcknowledge(); });
    else
        SendAcknowledge();
}

void ParameterSender::SendAcknowledge()
{
    tyTelegramm &img = m_main.WorkImage;
    img[TelePos::Slave] = m_main.Init.SlaveAddress;
    img[TelePos::Own] = kWriteOwnAddress;
    img[TelePos::Length] = 7;
    img[TelePos::Code] = 5;
    img[TelePos::AddrHigh] = quint8(m_writeAddress >> 8);
    img[TelePos::AddrLow] = quint8(m_writeAddress);
    img[TelePos::CountOrData] = quint8(m_main.Data.State.VmxMode ? 4 : std::min(m_writeKind, 2));
    if (!m_main.SendImage()) {
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        m_main.UserPrompter().error(GetText(41));
        if (m_phase == Phase::Sending)
            EndTransfer(false);
        else if (m_phase == Phase::Factory)
            EndFactory(false);
        else
            emit WriteFailed();
    }
}

void ParameterSender::OnQuittung(const TeleReport &report)
{
    m_main.SetPendingAction(m_main.FollowUpAction);
    m_ackStage = 2;
    m_main.LinkBusy = false;
    if (!report.Ok()) {
        m_linkFailure = true;
        m_main.UserPrompter().error(GetText(41));
        m_main.SetPendingAction(QString());
        if (m_phase == Phase::Sending)
            EndTransfer(false);
        else if (m_phase == Phase::Factory)
            EndFactory(false);
        else
            emit WriteFailed();
        return;
    }
    // Only what the device answers goes into the image.
    DeviceData &d = m_main.Data;
    const long long index = d.State.IndexOf(m_writeAddress);
    d.Geraet.SetByte(index, m_main.WorkImage[kAnswerPos]);
    if (m_writeKind >= 2)
        d.Geraet.SetByte(index + 1, m_main.WorkImage[kAnswerPos + 1]);

    const QString action = m_main.PendingAction;
    if (action == kWerkseinstellung) {
        FactoryStep(nullptr);
        return;
    }
    if (action == kParamZumGeraet) {
        TransferNext(report);
        return;
    }
    const auto it = m_ackContinuations.constFind(action);
    if (it != m_ackContinuations.constEnd() && *it) {
        (*it)();
        return;
    }
    m_main.SetPendingAction(QString());
    emit WriteConfirmed(m_writeAddress);
}

// ---------------------------------------------------------------------------------------
// Whole-set transfer

bool ParameterSender::HasVindelFor(int deviceType, int programVersion)
{
    return IsControllerType(deviceType) && programVersion > 8;
}

bool ParameterSender::DateNeedsReset(int day, int month, int yearByte)
{
    const int year = YearFromByte(yearByte);
    if (year != 2006)
        return year < 2006;
    return month < 1 || (month == 1 && day < 12);
}

QVector<ParameterSender::Step> ParameterSender::TransferPlan(int type, int base, int pageCount, bool hasVindel,
                                                            bool sendVindel)
{
    QVector<Step> plan;
    int end = pageCount * 256;
    if (type == 34)
        end = 224;
    else if (type == 37)
        end = 96;
    end = std::min(end, TGeraet::ImageSize);
    if (end <= 0)
        return plan;
    if (type == 36) {
        plan.append({0, 2});
        for (int offset : DeviceReader::VmxOffsets())
            if (offset + 2 <= end)
                plan.append({offset, 2});
        return plan;
    }
    const bool controller = IsControllerType(type);
    const int size = controller ? 4 : 2;
    int pos = 0;
    bool first = true;
    while (pos < end) {
        if (!first) {
            if (controller) {
                auto at = [&](int address) { return base + pos == address; };
                if (at(0x0880))
                    pos += 48;
                if (at(0x0804))
                    pos += 12;
                if (hasVindel && !sendVindel) {
                    if (at(0x0E50))
                        pos += 80;
                    if (at(0x0EB0))
                        pos += 32;
                }
                if (at(0x0DF0))
                    pos += 16;
            } else if (type == 34) {
                if (pos == 0x80)
                    pos += 16;
            } else if (type == 32 || type == 33) {
                if (pos == 0x60 || pos == 0xC0 || pos == 0xE0)
                    pos += 8;
            }
            if (pos >= end)
                break;
        }
        first = false;
        if (controller && base + pos == 0x08C4) {
            // The word at 0x08C4 is the device's own; only its second pair is written.
            plan.append({pos + 2, 2});
        } else if (type == 34 && pos == 0x70) {
            // Byte 0x71 of the 071 - 083 is not writable: that telegram carries 0x70 alone.
            plan.append({pos, 1});
        } else {
            plan.append({pos, std::min(size, end - pos)});
        }
        pos += size;
    }
    return plan;
}

void ParameterSender::SendParameterSet()
{
    Prompter &p = m_main.UserPrompter();
    if (!m_main.ParamsLoaded) {
        p.error(GetText(40));
        emit TransferFinished(false);
        return;
    }
    DeviceData &d = m_main.Data;
    m_sendVindel = false;
    m_hasVindel = HasVindelFor(d.State.DeviceType, d.Geraet.ProgramVersion);
    if (m_hasVindel && p.question(GetText(177)))
        m_sendVindel = true;
    m_savedModelPattern = d.State.ModelPattern;
    m_fileDate = {d.Geraet.IdentBlock[13], d.Geraet.IdentBlock[14], d.Geraet.IdentBlock[15]};
    m_changes.clear();
    m_linkFailure = false;
    m_telegrams = 0;
    m_dataBytes = 0;
    m_resetAdvice = false;
    KeepFileIdentity();
    m_phase = Phase::Identifying;
    m_main.SetPendingAction(kSollwerteZumGeraet);
    m_main.SetFollowUpAction(QString());
    m_main.LinkBusy = true;
    m_main.UpdateMenus();
    if (!m_main.Push(5, DeviceReader::IdentAddress, DeviceReader::IdentLength, TeleDone, -1, -1))
        EndTransfer(false);
}

void ParameterSender::KeepFileIdentity()
{
    const DeviceData &d = m_main.Data;
    const TGeraet &g = d.Geraet;
    m_fileIdentity = std::make_unique<Identity>();
    Identity &id = *m_fileIdentity;
    id.IdentBlock = g.IdentBlock;
    id.ProgramVersion = g.ProgramVersion;
    id.ProgramId = g.ProgramId;
    id.ProgramDate = g.ProgramDate;
    id.FNumber = g.FNumber;
    id.FDate = g.FDate;
    id.State = d.State;
    id.Identified = d.Identified;
    id.OrderNumber = d.OrderNumber;
    id.ProtectionText = d.ProtectionText;
}

void ParameterSender::RestoreFileIdentity()
{
    if (!m_fileIdentity)
        return;
    DeviceData &d = m_main.Data;
    TGeraet &g = d.Geraet;
    const Identity &id = *m_fileIdentity;
    g.IdentBlock = id.IdentBlock;
    g.ProgramVersion = id.ProgramVersion;
    g.ProgramId = id.ProgramId;
    g.ProgramDate = id.ProgramDate;
    g.FNumber = id.FNumber;
    g.FDate = id.FDate;
    d.State = id.State;
    d.Identified = id.Identified;
    d.OrderNumber = id.OrderNumber;
    d.ProtectionText = id.ProtectionText;
    m_fileIdentity.reset();
}

void ParameterSender::Refuse()
{
    m_fileIdentity.reset();
    // The identity now in the image is the device's: the loaded set cannot stay as it is.
    m_phase = Phase::Idle;
    m_main.LinkBusy = false;
    m_main.CloseParameters();
    emit TransferFinished(false);
}

void ParameterSender::TransferStart(int step, const TeleReport *report)
{
    DeviceData &d = m_main.Data;
    TGeraet &g = d.Geraet;
    Prompter &p = m_main.UserPrompter();
    if (step == 1) {
        if (!report || !report->Ok()) {
            // The dispatcher has reported the link failure.
            m_linkFailure = true;
            EndTransfer(false);
            return;
        }
        g.SavedProgramId = g.ProgramId;
        g.SavedVersion = g.ProgramVersion;
        g.SavedDate = g.ProgramDate;
        for (int k = 0; k <= 30; ++k)
            g.IdentBlock[size_t(k)] = m_main.WorkImage[kAnswerPos + k];
        m_reader.IdentContinuation = kParamZurUnitStart;
        m_reader.IdentifyStep(1);
        return;
    }

    m_reader.IdentContinuation.clear();
    const int type = d.State.DeviceType;
    const int fileVersion = g.SavedVersion;
    const int deviceVersion = g.ProgramVersion;
    if (m_savedModelPattern == QLatin1String("*.NAE") && ((fileVersion < 8) != (deviceVersion < 8))) {
        p.error(GetText(109));
        Refuse();
        return;
    }
    if (IsControllerType(type)) {
        m_resetAdvice = DateNeedsReset(g.IdentBlock[13], g.IdentBlock[14], g.IdentBlock[15]) ||
                        DateNeedsReset(m_fileDate[0], m_fileDate[1], m_fileDate[2]);
    }
    const QString pattern = d.State.ModelPattern;
    const int star2 = m_savedModelPattern.indexOf(QLatin1String("*.2"));
    const bool sameFamily = star2 >= 0 && star2 == pattern.indexOf(QLatin1String("*.2"));
    if (m_savedModelPattern != pattern && !sameFamily) {
        p.error(m_savedModelPattern + QStringLiteral("  -  ") + pattern + QStringLiteral(" passen nicht zusammen!") +
                QLatin1Char('\n') + QStringLiteral("Für weitere Informationen wenden Sie sich bitte an den Support.") +
                QLatin1Char('\n') + QStringLiteral("Tel: ") + kSupportPhone);
        Refuse();
        return;
    }
    if (g.SavedProgramId != g.ProgramId && !p.question(GetText(110))) {
        Refuse();
        return;
    }
    if (fileVersion != deviceVersion) {
        const bool pa202 = g.ProgramId.contains(QLatin1String("Z202 PA004")) ||
                           g.ProgramId.contains(QLatin1String("Z202 PAHSY"));
        if (pa202 && fileVersion <= 10 && deviceVersion > 10) {
            p.information(QStringLiteral("Ab Version 11 sind 2 neue Parameter hinzugefügt worden.\n\n"
                                         "Leistungsregler:\n"
                                         "\"Ab ... % (Nennleistung) Gleitwert im Inselbetrieb aktiv\"\n\n"
                                         "VDE-AR-N 4105 / 4120 Netzschutz für Parallelbetrieb:\n"
                                         "Bei Netzausfall Generator ausschalten?"));
            g.SetByte(0x877, 10);
            g.SetByte(0x883, g.GetByte(0x883) | 0x20);
        } else {
            const QString q = GetText(320) + QLatin1Char('\n') + GetText(180) + QString::number(fileVersion) +
                              QStringLiteral("  ") + GetText(181) + QString::number(deviceVersion);
            if (!p.question(q)) {
                Refuse();
                return;
            }
            if (IsSplErsyType(type) &&
                ((fileVersion <= 5 && deviceVersion >= 6) || (fileVersion >= 6 && deviceVersion <= 5))) {
                p.error(QStringLiteral(
                    "Dieser Schritt ist nicht möglich, da es zwischen den Versionen Adressänderungen gegeben hat!!!"));
                Refuse();
                return;
            }
        }
    }
    StartSending();
}

bool ParameterSender::AccessCheck(bool offerDialog)
{
    Recheck(m_main.Access, m_main.Data.State.AccessCode);
    if (!m_main.Access.Identified && offerDialog) {
        QString entered;
        if (m_main.UserPrompter().inputText(GetText(43), entered)) {
            AcceptIdent(m_main.Access, entered, m_main.Data.State.AccessCode);
            Recheck(m_main.Access, m_main.Data.State.AccessCode);
        }
    }
    if (!m_main.Access.Identified) {
        m_main.UserPrompter().error(GetText(45));
        return false;
    }
    return true;
}

void ParameterSender::StartSending()
{
    if (!AccessCheck(true)) {
        EndTransfer(false);
        return;
    }
    m_main.SetPendingAction(QString());
    m_main.SetFollowUpAction(QString());
    m_main.CloseValues();
    const DeviceState &s = m_main.Data.State;
    m_plan = TransferPlan(s.DeviceType, s.ImageBase, s.PageCount, m_hasVindel, m_sendVindel);
    m_planPos = 0;
    if (!m_compareFirst) {
        ConfirmAndSend();
        return;
    }
    // What the device holds now, for the list of changes: read as "Parameter aus Gerät"
    // reads, into a copy, so that the loaded set is never touched.
    m_phase = Phase::Comparing;
    m_deviceCopy = std::make_unique<std::array<quint8, TGeraet::ImageSize>>(m_main.Data.Geraet.Image);
    m_compareBlock = DeviceReader::BlockSizeFor(s.DeviceType, s.VmxMode);
    m_compareOffset = 0;
    CompareNext();
}

void ParameterSender::CompareNext()
{
    const DeviceState &s = m_main.Data.State;
    const int address = s.ImageBase + m_compareOffset;
    m_main.SetPendingAction(kParamVergleich);
    m_main.LinkBusy = true;
    if (!m_main.Push(5, quint32(address), quint8(m_compareBlock))) {
        m_main.UserPrompter().error(GetText(63));
        EndTransfer(false);
    }
}

void ParameterSender::OnCompare(const TeleReport &report)
{
    if (!report.Ok()) {
        m_linkFailure = true;
        m_main.UserPrompter().error(GetText(63));
        EndTransfer(false);
        return;
    }
    const DeviceState &s = m_main.Data.State;
    for (int k = 0; k < m_compareBlock; ++k) {
        const int index = m_compareOffset + k;
        if (TGeraet::ValidIndex(index))
            (*m_deviceCopy)[size_t(index)] = m_main.WorkImage[kAnswerPos + k];
    }
    const int end = std::min(s.PageCount * 256, TGeraet::ImageSize);
    m_compareOffset += m_compareBlock;
    if (s.VmxMode) {
        const QVector<int> &list = DeviceReader::VmxOffsets();
        while (m_compareOffset < end && !list.contains(m_compareOffset))
            m_compareOffset += 4;
    }
    if (m_compareOffset < end) {
        CompareNext();
        return;
    }
    // The formatter reads the image: show it the device's bytes, then the file's.
    DeviceData &d = m_main.Data;
    TFormatter formatter(d);
    QStringList deviceTexts;
    std::swap(d.Geraet.Image, *m_deviceCopy);
    for (int i = 0; i < d.Params.Count(); ++i)
        deviceTexts << formatter.FormatParameter(i).trimmed();
    std::swap(d.Geraet.Image, *m_deviceCopy);
    m_deviceCopy.reset();
    m_changes.clear();
    // A parameter counts as changed when its shown value changes: bytes the display does
    // not use (reserved bits) are written all the same but not listed.
    for (int i = 0; i < d.Params.Count(); ++i) {
        const QString fileText = formatter.FormatParameter(i).trimmed();
        if (fileText != deviceTexts.value(i))
            m_changes.append({i, d.Params.ItemText(i).remove(QLatin1Char('\t')).trimmed(), d.Params.Item(i).Address,
                              deviceTexts.value(i), fileText});
    }
    ConfirmAndSend();
}

QString ParameterSender::ChangesQuestion(const QVector<ParameterChange> &changes)
{
    QString text;
    if (changes.isEmpty()) {
        text = QStringLiteral("Die Parameter im Gerät stimmen mit den geladenen überein.");
    } else {
        text = QStringLiteral("%1 Parameter werden im Gerät geändert:").arg(changes.size());
        for (const ParameterChange &c : changes)
            text += QLatin1Char('\n') + c.Text + QStringLiteral(": ") + c.DeviceValue +
                    QStringLiteral(" -> ") + c.FileValue;
    }
    return text + QStringLiteral("\nParameter zum Gerät senden?");
}

void ParameterSender::ConfirmAndSend()
{
    const bool confirmed = !m_compareFirst ||
                           (ConfirmChanges ? ConfirmChanges(m_changes)
                                           : m_main.UserPrompter().question(ChangesQuestion(m_changes)));
    if (!confirmed) {
        // Nothing has been written; the loaded set stays.
        EndTransfer(false);
        return;
    }
    m_phase = Phase::Sending;
    if (m_plan.isEmpty()) {
        EndTransfer(true);
        return;
    }
    if (m_main.Data.State.DeviceType == 36 && m_ackDelayMs > 0) {
        QTimer::singleShot(m_ackDelayMs, this, [this] {
            if (m_phase == Phase::Sending)
                SendTransferTelegram();
        });
        return;
    }
    SendTransferTelegram();
}

void ParameterSender::SendTransferTelegram()
{
    const DeviceState &s = m_main.Data.State;
    const Step step = m_plan.at(m_planPos);
    const int address = s.ImageBase + step.Position;
    emit m_main.ProgressShown(GetText(68) + Hex(address), s.ImageBase, s.ImageBase + s.PageCount * 256, address);
    tyTelegramm &img = m_main.WorkImage;
    for (int k = 0; k < step.Count; ++k)
        img[TelePos::CountOrData + k] = quint8(m_main.Data.Geraet.GetByte(step.Position + k));
    m_writeAddress = address;
    m_main.SetPendingAction(kParamZumGeraet);
    m_main.LinkBusy = true;
    ++m_telegrams;
    m_dataBytes += step.Count;
    if (!m_main.Push(4, quint32(address), quint8(step.Count))) {
        m_main.UserPrompter().error(GetText(63));
        EndTransfer(false);
    }
}

void ParameterSender::TransferNext(const TeleReport &report)
{
    if (m_phase != Phase::Sending)
        return;
    Prompter &p = m_main.UserPrompter();
    const int type = m_main.Data.State.DeviceType;
    const bool ack = m_main.PendingAction == kParamZumGeraet && m_ackStage == 2 && type == 36;
    if (!ack) {
        const int code = report.Ok() ? 0 : m_main.LastAnswerCode;
        if (code == 0xF4) {
            p.error(IsTransferSwitchType(type) ? QStringLiteral("Betriebsart muss MANUAL sein.") : GetText(42));
            EndTransfer(false);
            return;
        }
        if (code == 0xF5 && IsTransferSwitchType(type)) {
            p.error(GetText(129));
            m_main.LastAnswerCode = 0;
            // The progress panel keeps showing the address the controller refused.
            EndTransfer(false, false);
            return;
        }
        if (!report.Ok() && type != 52) {
            m_linkFailure = code < 0xF0;
            if (code >= 0xF0)
                p.error(QStringLiteral("Error ") + Text::ByteToHex(report.Byte(2)) + QLatin1Char(' ') +
                        Text::ByteToHex(report.Byte(4)));
            else
                p.error(GetText(63));
            EndTransfer(false);
            return;
        }
        if (type == 36 && report.Ok()) {
            // Each word of the transducer is read back before the next one goes out.
            m_ackStage = 0;
            m_main.SetPendingAction(kParamZumGeraet);
            AcknowledgeWrite(2);
            return;
        }
    }
    m_ackStage = 0;
    ++m_planPos;
    if (m_planPos >= m_plan.size()) {
        EndTransfer(true);
        return;
    }
    SendTransferTelegram();
}

void ParameterSender::EndTransfer(bool ok, bool hideProgress)
{
    const bool wasSending = m_phase == Phase::Sending;
    // Once writing has begun the device holds (part of) the set: its identity stays.
    if (!wasSending && !ok)
        RestoreFileIdentity();
    m_fileIdentity.reset();
    m_phase = Phase::Idle;
    m_deviceCopy.reset();
    m_reader.IdentContinuation.clear();
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    if (wasSending || ok) {
        emit m_main.StatusText(4, QString());
        if (hideProgress)
            emit m_main.ProgressHidden();
    }
    if (ok && m_resetAdvice)
        m_main.UserPrompter().warning(GetText(138));
    m_main.UpdateMenus();
    emit TransferFinished(ok);
}

// ---------------------------------------------------------------------------------------
// Factory setting

void ParameterSender::FactorySetting()
{
    if (!AccessCheck(true)) {
        emit FactorySettingFinished(false);
        return;
    }
    m_main.CloseValues();
    m_factoryStep = 0;
    m_phase = Phase::Factory;
    FactoryStep(nullptr);
}

void ParameterSender::EndFactory(bool ok)
{
    m_phase = Phase::Idle;
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    m_factoryBlock.clear();
    emit FactorySettingFinished(ok);
}

void ParameterSender::FactoryStep(const TeleReport *report)
{
    if (m_phase != Phase::Factory)
        return;
    DeviceData &d = m_main.Data;
    Prompter &p = m_main.UserPrompter();
    switch (m_factoryStep) {
    case 0: {
        ::FactorySetting fs;
        if (!ReadFactorySetting(d, &fs, p)) {
            EndFactory(false);
            return;
        }
        // One read telegram carries the block: a longer one cannot be a factory block.
        if (fs.Count <= 0 || fs.Count > 250) {
            p.error(QStringLiteral("Error  "));
            EndFactory(false);
            return;
        }
        if (!p.question(fs.Question)) {
            EndFactory(false);
            return;
        }
        m_factoryTarget = fs.Target;
        m_factoryCount = fs.Count;
        m_factoryStep = 1;
        m_main.SetPendingAction(kWerkseinstellung);
        m_main.LinkBusy = true;
        const int source = int(Text::HexToInt(fs.Source));
        if (!m_main.Push(5, quint32(source), quint8(fs.Count), TeleDone, -1, kWriteOwnAddress))
            EndFactory(false);
        return;
    }
    case 1: {
        if (!report || !report->Ok()) {
            p.error(QStringLiteral("Error  "));
            EndFactory(false);
            return;
        }
        m_factoryBlock.clear();
        for (int k = 0; k < m_factoryCount; ++k)
            m_factoryBlock.append(m_main.WorkImage[kAnswerPos + k]);
        m_factoryPos = 0;
        m_factoryStep = 2;
        [[fallthrough]];
    }
    case 2: {
        if (m_factoryPos < m_factoryCount) {
            const int target = int(Text::HexToInt(m_factoryTarget)) + m_factoryPos;
            const int kind = m_factoryCount - m_factoryPos >= 2 ? 2 : 1;
            SendHigh = m_factoryBlock.value(m_factoryPos);
            SendLow = kind == 2 ? m_factoryBlock.value(m_factoryPos + 1) : 0;
            m_factoryPos += kind;
            m_main.SetPendingAction(kWerkseinstellung);
            if (!WriteValue(kind, Hex(target)))
                EndFactory(false);
            return;
        }
        if (!IsControllerType(d.State.DeviceType)) {
            EndFactory(true);
            return;
        }
        m_factoryStep = 3;
        m_main.SetPendingAction(kWerkseinstellung);
        m_main.LinkBusy = true;
        if (!m_main.Push(5, 0x0F68, 2))
            EndFactory(false);
        return;
    }
    case 3: {
        if (!report || !report->Ok()) {
            p.error(QStringLiteral("Error  "));
            EndFactory(false);
            return;
        }
        SendHigh = m_main.WorkImage[kAnswerPos];
        SendLow = m_main.WorkImage[kAnswerPos + 1];
        m_factoryStep = 4;
        m_main.SetPendingAction(kWerkseinstellung);
        if (!WriteValue(2, QStringLiteral("08C4")))
            EndFactory(false);
        return;
    }
    default:
        EndFactory(true);
        return;
    }
}

// ---------------------------------------------------------------------------------------
// Rated voltage choices

QStringList ParameterSender::VoltageOptions() { return {GetText(3), GetText(4), GetText(5), GetText(6)}; }

int ParameterSender::OptionBitFromFactor(int factor)
{
    switch (factor) {
    case 60: return 1;
    case 138: return 2;
    case 240: return 4;
    case 80: return 8;
    default: return 0;
    }
}

int ParameterSender::FactorFromOptionBit(int bit, int oldFactor)
{
    switch (bit) {
    case 1: return 60;
    case 2: return 138;
    case 4: return 240;
    case 8: return 80;
    default: return oldFactor;
    }
}

bool ParameterSender::ApplyVoltageChoice(bool mains, int optionBit)
{
    int &factor = mains ? m_main.Data.State.MainsFactor : m_main.Data.State.GenFactor;
    const int next = FactorFromOptionBit(optionBit, factor);
    if (next == factor)
        return false;
    factor = next;
    return true;
}
