#include "shell/MainController.h"
#include "device/Catalogue.h"
#include "link/TeleThread.h"
#include "shell/Prompter.h"
#include "shell/TextHelpers.h"
#include "shell/Texts.h"
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

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

int MainController::SlaveForRequest() const
{
    return Settings.Protocol == 3 ? 0x70 : Init.SlaveAddress;
}

bool MainController::Push(quint8 code, quint32 address, quint8 count, quint16 replyIndex, int slave, int own)
{
    if (!m_thread)
        return false;
    tyTelegramm &image = replyIndex == TeleValues ? ValuesImage : WorkImage;
    const bool isRead = code == 5 || code == 37 || code == 53 || code == 9;
    const int pos = isRead ? TelePos::AddrHigh : TelePos::CountOrData;
    return m_thread->Push(this, replyIndex, quint8(slave >= 0 ? slave : SlaveForRequest()),
                          quint8(own >= 0 ? own : Init.OwnAddress), code, address, count, image.At(pos),
                          tyTelegramm::Capacity(pos));
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
    if (Settings.Protocol == 3)
        img[TelePos::Slave] = 0x70;
    if (!m_thread)
        return false;
    const quint8 code = img[TelePos::Code];
    const quint32 address = quint32(img[TelePos::AddrHigh]) << 8 | img[TelePos::AddrLow];
    switch (code) {
    case 4:
    case 20:
        return m_thread->Push(this, TeleDone, img[TelePos::Slave], img[TelePos::Own], code, address,
                              quint8(qMax(0, img[TelePos::Length] - 6)), img.At(TelePos::CountOrData),
                              tyTelegramm::Capacity(TelePos::CountOrData));
    case 5:
        return m_thread->Push(this, TeleDone, img[TelePos::Slave], img[TelePos::Own], 5, address,
                              img[TelePos::CountOrData], img.At(TelePos::AddrHigh),
                              tyTelegramm::Capacity(TelePos::AddrHigh));
    case 25:
        return m_thread->Push(this, TeleDone, img[TelePos::Slave], img[TelePos::Own], 25, 0, 0, nullptr, 0);
    default:
        m_prompter.error(QStringLiteral("DatenVK Befehl: ") + Text::ByteToHex(code));
        return false;
    }
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
    WorkImage[18] = quint8(lParam >> 24);
    WorkImage[19] = quint8(lParam >> 16);
    WorkImage[20] = quint8(lParam >> 8);
    WorkImage[21] = quint8(lParam);
    LastAnswerCode = WorkImage[21];
    if (!action.isEmpty() && action != QLatin1String("ProtokollSuchen") && action != QLatin1String("PELK PCConnect") &&
        LastAnswerCode != 0xF4)
        m_prompter.warning(TeleText(TTeleThread::StateToTextIndex(report.State())));
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
