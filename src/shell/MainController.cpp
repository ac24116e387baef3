#include "shell/MainController.h"
#include "device/Catalogue.h"
#include "link/TeleThread.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

MainController::MainController(Prompter &prompter, QObject *parent) : QObject(parent), m_prompter(prompter)
{
    // A newly shown set is the reference; a conversion shows the same set again without
    // hiding it first and so keeps the reference, which makes its changes unsaved.
    connect(this, &MainController::ParametersShown, this, [this] {
        if (m_unchanged.isEmpty())
            MarkUnchanged();
    });
    connect(this, &MainController::ParametersHidden, this, [this] { m_unchanged.clear(); });
}

MainController::~MainController() = default;

void MainController::SetPendingAction(const QString &action)
{
    PendingAction = action;
    ++m_pendingWrites;
}

void MainController::RegisterAction(const QString &name, Continuation handler, bool alsoOnFailure)
{
    m_actions.insert(name, Action{std::move(handler), alsoOnFailure});
}

void MainController::SetRepeatable(const QString &action, bool on)
{
    if (on)
        m_repeatable.insert(action);
    else
        m_repeatable.remove(action);
}

bool MainController::IsLineFailure(int state)
{
    switch (state) {
    case 12: case 13: case 42:           // echo of the slave address
    case 16: case 46: case 19: case 20:  // time-outs of the answer
    case 17:                             // answer from another address
    case 21:                             // checksum
    case 100:                            // answer not usable
        return true;
    default:
        // 11, 14, 15, 18: the port refused the bytes (a dead line is not noise);
        // 22: the device's refusal; 99: aborted.
        return false;
    }
}

int MainController::SlaveForRequest() const
{
    if (SlaveOverride >= 0)
        return SlaveOverride;
    return Settings.Protocol == 3 ? 0x70 : Init.SlaveAddress;
}

bool MainController::PushRequest(const Request &r)
{
    if (!m_thread)
        return false;
    ++m_requestSerial;
    return m_thread->Push(this, TeleDone, r.slave, r.own, r.code, r.address, r.count, WorkImage.At(r.pos),
                          tyTelegramm::Capacity(r.pos));
}

bool MainController::Push(quint8 code, quint32 address, quint8 count, quint16 replyIndex, int slave, int own)
{
    if (!m_thread)
        return false;
    const bool isRead = code == 5 || code == 37 || code == 53 || code == 9;
    const int pos = isRead ? TelePos::AddrHigh : TelePos::CountOrData;
    const quint8 slaveByte = quint8(slave >= 0 ? slave : SlaveForRequest());
    const quint8 ownByte = quint8(own >= 0 ? own : Init.OwnAddress);
    if (replyIndex == TeleValues)
        return m_thread->Push(this, replyIndex, slaveByte, ownByte, code, address, count, ValuesImage.At(pos),
                              tyTelegramm::Capacity(pos));
    m_last = Request{true, PendingAction, slaveByte, ownByte, code, count, address, pos};
    m_repeats = 0;
    return PushRequest(m_last);
}

bool MainController::SendImage()
{
    tyTelegramm &img = WorkImage;
    if (Data.State.ModelPattern.isEmpty()) {
        SilentPrompter quiet;
        TypeFromPattern(Data, quiet);
    } else {
        const int t = Data.State.DeviceType;
        if (IsControllerType(t) || IsCompactType(t) || t == 34) {
            if (img[TelePos::Code] == 4 &&
                (Access.Level == Level::Cus || Access.Level == Level::Fac || Access.Level == Level::Ser))
                img[TelePos::Code] = 20;
            else if (img[TelePos::Code] == 52)
                img[TelePos::Code] = 4;
        }
    }
    if (SlaveOverride >= 0)
        img[TelePos::Slave] = quint8(SlaveOverride);
    else if (Settings.Protocol == 3)
        img[TelePos::Slave] = 0x70;
    if (!m_thread)
        return false;
    const quint8 code = img[TelePos::Code];
    const quint32 address = quint32(img[TelePos::AddrHigh]) << 8 | img[TelePos::AddrLow];
    Request r{true, PendingAction, img[TelePos::Slave], img[TelePos::Own], code, 0, address, 0};
    switch (code) {
    case 4:
    case 20:
        r.count = quint8(qMax(0, img[TelePos::Length] - 6));
        r.pos = TelePos::CountOrData;
        break;
    case 5:
        r.count = img[TelePos::CountOrData];
        r.pos = TelePos::AddrHigh;
        break;
    case 25:
        // Nothing to repeat: the clearing is not a request that may go twice.
        m_last = Request{};
        m_repeats = 0;
        ++m_requestSerial;
        return m_thread->Push(this, TeleDone, img[TelePos::Slave], img[TelePos::Own], 25, 0, 0, nullptr, 0);
    default:
        m_prompter.error(QStringLiteral("DatenVK Befehl: ") + Text::ByteToHex(code));
        return false;
    }
    m_last = r;
    m_repeats = 0;
    return PushRequest(m_last);
}

bool MainController::RepeatAfter(const TeleReport &report, const QString &action)
{
    // Only the request this report answers is sent again: the one queued under the same
    // pending action (chains keep one request on the line at a time).
    if (!m_last.valid || m_last.action != action || !m_repeatable.contains(action) ||
        !IsLineFailure(report.State()) || m_repeats >= Settings.Retries)
        return false;
    ++m_repeats;
    const QString text = GetText(450)
                             .arg(m_repeats)
                             .arg(Settings.Retries)
                             .arg(TeleText(TTeleThread::StateToTextIndex(report.State())));
    emit LogLine(QStringLiteral("DatenVKEnde"), text);
    emit ExchangeRepeated(text);
    // Nothing of the failed answer has reached the image (answers are copied only when
    // accepted), so the same request goes out again with the same bytes, after the pause.
    // Whoever queues another request or changes the pending action meanwhile has taken the
    // chain over: the repetition is then dropped.
    const quint64 serial = m_requestSerial;
    const int writes = m_pendingWrites;
    QTimer::singleShot(RepeatPauseMs, this, [this, serial, writes, action, report] {
        if (serial != m_requestSerial || writes != m_pendingWrites || PendingAction != action)
            return;
        if (PushRequest(m_last))
            return;
        // Refused by the queue: the chain hears of the failure it was spared.
        m_repeats = Settings.Retries;
        TeleMessage(TeleDone, report.wParam, report.lParam);
    });
    return true;
}

void MainController::TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam)
{
    if (replyIndex == TeleValues) {
        emit ValuesReport(wParam, lParam);
        return;
    }
    TeleReport report;
    report.wParam = wParam;
    report.lParam = lParam;
    const QString numbers = Text::ToHex(wParam, 8) + QLatin1Char('-') + Text::ToHex(lParam, 8);
    const QString action = PendingAction;
    const auto it = m_actions.constFind(action);
    if (report.Ok()) {
        emit LogLine(QStringLiteral("DatenVKEnde"), QStringLiteral("R :") + numbers);
        LastAnswerCode = 0;
        LinkBusy = false;
        if (action == QLatin1String("FQuit")) {
            SetPendingAction(FollowUpAction);
        }
        if (it != m_actions.constEnd() && it->handler)
            it->handler(report);
        return;
    }
    emit LogLine(QStringLiteral("DatenVKEnde"), QStringLiteral("RE:") + numbers);
    if (RepeatAfter(report, action))
        return;
    WorkImage[18] = quint8(lParam >> 24);
    WorkImage[19] = quint8(lParam >> 16);
    WorkImage[20] = quint8(lParam >> 8);
    WorkImage[21] = quint8(lParam);
    LastAnswerCode = WorkImage[21];
    if (!action.isEmpty() && action != QLatin1String("ProtokollSuchen") && action != QLatin1String("PELK PCConnect") &&
        LastAnswerCode != 0xF4)
        m_prompter.warning(FailureText(report));
    const int writesBefore = m_pendingWrites;
    if (action == QLatin1String("FQuit")) {
        LinkBusy = false;
        SetPendingAction(FollowUpAction);
    }
    if (it != m_actions.constEnd() && it->handler && it->alsoOnFailure)
        it->handler(report);
    // A continuation that queued its next step (the repeated identification request, the
    // protocol search it started) has set a pending action of its own: that one stays.
    const bool rearmed = m_pendingWrites != writesBefore;
    const QString now = PendingAction;
    const bool keeper = now == QLatin1String("PELK PCConnect") || now == QLatin1String("ZumZevModem") ||
                        now == QLatin1String("ProtokollSuchen");
    if (!rearmed && !keeper)
        SetPendingAction(QString());
}

QString MainController::FailureText(const TeleReport &report) const
{
    // A line that was lost or could not be opened is named with its port: the worker
    // leaves that telling to the failing exchange, so the user hears of it once.
    if (m_thread && !m_thread->PortOpen()) {
        const QString problem = m_thread->PortProblem();
        if (!problem.isEmpty())
            return problem;
    }
    return TeleText(TTeleThread::StateToTextIndex(report.State()));
}

void MainController::CloseValues()
{
    PendingValuesAction.clear();
    LinkBusy = false;
    emit ValuesClosed();
    if (Online || OfflineFile)
        UpdateMenus();
}

void MainController::CloseParameters()
{
    emit StatusText(0, QString());
    emit StatusText(4, QString());
    SetPendingAction(QString());
    Online = false;
    OfflineFile = false;
    ParamsLoaded = false;
    Data.State.VmxMode = false;
    Data.Identified = false;
    Data.Def.MenuFlags = 0;
    Data.Def.OptionFlags = 0;
    emit ParametersHidden();
    UpdateMenus();
    CloseValues();
}

QString MainController::GetTextForDevice(int n) const
{
    Texts::SetDeviceTypeForTexts(Data.State.DeviceType);
    return GetText(n);
}

void MainController::SaveSettingsAtExit()
{
    if (m_savedAtExit)
        return;
    m_savedAtExit = true;
    if (Init.AutoSave)
        WriteSettings(Init, Settings, m_prompter);
}

QByteArray MainController::ChangeSnapshot() const
{
    // Only the parameter pages and the identification: bytes beyond them are the save's
    // own copy of the identification, not a change of the user's.
    const int pages = qBound(0, Data.State.PageCount * 256, int(TGeraet::ImageSize));
    QByteArray bytes(reinterpret_cast<const char *>(Data.Geraet.Image.data()), pages);
    bytes.append(reinterpret_cast<const char *>(Data.Geraet.IdentBlock.data()), int(Data.Geraet.IdentBlock.size()));
    return bytes;
}

void MainController::MarkUnchanged()
{
    m_unchanged = ChangeSnapshot();
}

bool MainController::HasUnsavedChanges() const
{
    return ParamsLoaded && !m_unchanged.isEmpty() && m_unchanged != ChangeSnapshot();
}

bool MainController::ConfirmDiscard()
{
    if (!HasUnsavedChanges())
        return true;
    switch (m_prompter.questionYesNoCancel(GetText(511))) {
    case Prompter::Decision::Yes:
        return SaveChanges && SaveChanges();
    case Prompter::Decision::No:
        return true;
    case Prompter::Decision::Cancel:
        break;
    }
    return false;
}

QString MainController::DialogFolder()
{
    if (!m_lastFileFolder.isEmpty() && QFileInfo(m_lastFileFolder).isDir())
        return m_lastFileFolder;
    QString folder = Init.ParamFolder.trimmed();
    if (folder.isEmpty())
        folder = DefaultParamFolder();
    // The folder was chosen in the settings (or is the default): making it is what the user
    // asked for, so it is created without a further question.
    if (QFileInfo(folder).isDir() || QDir().mkpath(folder))
        return folder;
    m_prompter.warning(GetText(49) + QLatin1Char('\r') + folder);
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void MainController::RememberFileFolder(const QString &filePath)
{
    if (!filePath.isEmpty())
        m_lastFileFolder = QFileInfo(filePath).absolutePath();
}

QString MainController::ProposedFileName(const TGeraet &g)
{
    QString id = g.ProgramId;
    id.remove(QLatin1Char(' '));
    QString number = g.FNumber;
    number.remove(QLatin1Char(' '));
    // Characters no file system takes are left out; the extension comes from the model.
    static const QString kBad = QStringLiteral("\\/:*?\"<>|");
    QString name = number.isEmpty() || id.isEmpty() ? id + number : id + QLatin1Char('_') + number;
    for (const QChar c : kBad)
        name.remove(c);
    return name;
}
