#include "device/DeviceReader.h"
#include "device/Catalogue.h"
#include "device/Definition.h"
#include "link/ProtocolSearch.h"
#include "shell/MainController.h"
#include "shell/Prompter.h"
#include "shell/Texts.h"
#include <algorithm>

namespace {
const QString kSW1 = QStringLiteral("SW1");
const QString kSW2 = QStringLiteral("SW2");
const QString kFNummer = QStringLiteral("FNummer");
const QString kHex30Kennung = QStringLiteral("Hex30Kennung");
const QString kHex30Decodieren = QStringLiteral("Hex30Decodieren");
// Answer data of a read land in the working image from this position on.
constexpr int kAnswerPos = TelePos::AddrHigh;
} // namespace

DeviceReader::DeviceReader(MainController &main, ProtocolSearch *search, QObject *parent)
    : QObject(parent), m_main(main), m_search(search)
{
    auto identification = [this](const TeleReport &r) { OnIdentification(r); };
    m_main.RegisterAction(kSW1, identification);
    m_main.RegisterAction(kFNummer, identification);
    m_main.RegisterAction(kSW2, [this](const TeleReport &r) { OnBlock(r); });
    // Also on failure, so that the read is known to have ended (the dispatcher has shown
    // the link warning already; nothing else is said).
    m_main.RegisterAction(kHex30Kennung, [this](const TeleReport &r) { OnSecondIdentification(r); });
    RegisterIdentContinuation(kHex30Decodieren, [this] { ContinueReading(); });
    // Reads only: an exchange lost on a noisy line is sent again before the step hears of
    // it. The blocks reach the staging copy only from accepted answers, so a repetition
    // never leaves half a block behind.
    for (const QString &name : {kSW1, kFNummer, kSW2, kHex30Kennung})
        m_main.SetRepeatable(name);
}

DeviceReader::~DeviceReader()
{
    for (const QString &name : {kSW1, kFNummer, kSW2, kHex30Kennung}) {
        m_main.RegisterAction(name, nullptr);
        m_main.SetRepeatable(name, false);
    }
}

int DeviceReader::BlockSizeFor(int deviceType, bool vmxMode)
{
    int size = 32;
    if (deviceType == 38)
        size = 16;
    if (vmxMode)
        size = 4;
    if (IsControllerType(deviceType))
        size = 64;
    return size;
}

const QVector<int> &DeviceReader::VmxOffsets()
{
    static const QVector<int> offsets = [] {
        QVector<int> v = {232, 236, 240, 248, 256, 260, 264, 300, 308, 312, 316,
                          328, 332, 344, 348, 352, 356, 360, 380, 384, 388, 472};
        auto range = [&v](int from, int to) {
            for (int o = from; o <= to; o += 4)
                v.append(o);
        };
        range(520, 556);
        range(596, 656);
        v << 668 << 680 << 704 << 784 << 916 << 920 << 948 << 952 << 956 << 960 << 964 << 968 << 996;
        range(1004, 1024);
        range(1032, 1060);
        v << 1072 << 1080;
        range(1100, 1140);
        return v;
    }();
    return offsets;
}

void DeviceReader::RegisterIdentContinuation(const QString &name, std::function<void()> continuation)
{
    m_identContinuations.insert(name, std::move(continuation));
}

void DeviceReader::ReadFromDevice()
{
    // CloseParameters clears status panel 0, hides the grid and closes the values as well.
    m_main.CloseParameters();
    m_main.ParamsLoaded = false;
    m_main.Data.State.VmxMode = false;
    m_main.Online = false;
    m_main.OfflineFile = false;
    m_loadedDefinition.clear();
    m_main.Data.State.ModelPattern.clear();
    SilentPrompter quiet;
    TypeFromPattern(m_main.Data, quiet); // empty pattern: device type 55
    m_readOffset = 0;
    m_writeIndex = 0;
    m_blockCount = 0;
    m_staging.reset();
    m_main.LinkBusy = true;
    m_retry = 1;
    m_main.LastAnswerCode = 0;
    m_overModem = m_main.ModemOnline;
    m_running = true;
    m_main.UpdateMenus();
    RequestIdentification();
}

void DeviceReader::RequestIdentification()
{
    m_main.SetPendingAction(kSW1);
    if (!m_main.Push(5, IdentAddress, IdentLength))
        Fail(false);
}

void DeviceReader::Fail(bool startSearch)
{
    m_running = false;
    m_staging.reset();
    m_main.SetPendingAction(QString());
    m_main.LinkBusy = false;
    emit m_main.ProgressHidden();
    m_main.UpdateMenus();
    if (startSearch && m_search)
        m_search->Start();
    emit Finished(false);
}

void DeviceReader::LinkLost(bool asError)
{
    Prompter &p = m_main.UserPrompter();
    // A carrier lost during the read is still the telephone line's fault, not a protocol's.
    if (m_main.ModemOnline || m_overModem) {
        const QString text = GetText(182);
        asError ? p.error(text) : p.warning(text);
        Fail(false);
        return;
    }
    // Only a reader that has a protocol search says that one is starting.
    const QString text = GetText(m_search ? 72 : 451);
    asError ? p.error(text) : p.warning(text);
    Fail(true);
}

void DeviceReader::OnIdentification(const TeleReport &report)
{
    if (!report.Ok()) {
        ++m_retry;
        // The dispatch's repetitions on the line take the place of this single one; with
        // none set, the identification is asked for once more, whatever the failure.
        if (m_retry == 2 && m_main.Settings.Retries == 0) {
            // One repetition; its report comes back here with the same pending action.
            const QString action = m_main.PendingAction.isEmpty() ? kSW1 : m_main.PendingAction;
            m_main.SetPendingAction(action);
            m_main.LinkBusy = true;
            if (!m_main.Push(5, IdentAddress, IdentLength))
                Fail(false);
            return;
        }
        LinkLost(true);
        return;
    }
    TGeraet &g = m_main.Data.Geraet;
    for (int k = 0; k < IdentLength; ++k)
        g.IdentBlock[size_t(k)] = m_main.WorkImage[kAnswerPos + k];
    IdentContinuation = kHex30Decodieren;
    IdentifyStep(1);
}

void DeviceReader::IdentifyStep(int step, const quint8 *answer, int answerLength)
{
    const IdentifyResult r =
        IdentifyDevice(m_main.Data, step, answer, answerLength, false, m_main.UserPrompter());
    switch (r.kind) {
    case IdentifyResult::Failed:
        // The identification has said why.
        IdentContinuation.clear();
        Fail(false);
        return;
    case IdentifyResult::NeedsSecondRequest: {
        tyTelegramm &img = m_main.WorkImage;
        img[TelePos::Slave] = m_main.Init.SlaveAddress;
        img[TelePos::Own] = SecondRequestOwnAddress;
        img[TelePos::Length] = 7;
        img[TelePos::Code] = 5;
        img[TelePos::AddrHigh] = quint8(r.address >> 8);
        img[TelePos::AddrLow] = quint8(r.address);
        img[TelePos::CountOrData] = quint8(r.count);
        m_secondCount = r.count;
        m_main.SetFollowUpAction(m_main.PendingAction);
        m_main.SetPendingAction(kHex30Kennung);
        if (!m_main.SendImage())
            Fail(false);
        return;
    }
    case IdentifyResult::Identified: {
        const auto it = m_identContinuations.constFind(IdentContinuation);
        if (it != m_identContinuations.constEnd() && *it)
            (*it)();
        return;
    }
    }
}

void DeviceReader::OnSecondIdentification(const TeleReport &report)
{
    if (!report.Ok()) {
        // The link warning has been shown; the read ends here.
        IdentContinuation.clear();
        Fail(false);
        return;
    }
    m_main.SetPendingAction(m_main.FollowUpAction);
    IdentifyStep(2, m_main.WorkImage.At(kAnswerPos), std::min(m_secondCount, tyTelegramm::Capacity(kAnswerPos)));
}

void DeviceReader::ContinueReading()
{
    IdentContinuation.clear();
    const bool opened = SelectDefinition(m_main.Data, m_main.UserPrompter());
    const QString action = m_main.PendingAction;
    if (!opened && action == kSW1) {
        // The definition reader has said why.
        Fail(false);
        return;
    }
    if (opened && action == kFNummer && m_main.Data.Identified) {
        m_running = false;
        m_main.SetPendingAction(QString());
        m_main.LinkBusy = false;
        if (OnFNummer)
            OnFNummer();
        emit Finished(false);
        return;
    }
    if (action != kSW1) {
        Fail(false);
        return;
    }
    const DeviceState &s = m_main.Data.State;
    m_blockSize = BlockSizeFor(s.DeviceType, s.VmxMode);
    m_staging = std::make_unique<std::array<quint8, TGeraet::ImageSize>>(m_main.Data.Geraet.Image);
    RequestBlock();
}

void DeviceReader::RequestBlock()
{
    const DeviceState &s = m_main.Data.State;
    m_main.SetPendingAction(kSW2);
    const int address = s.ImageBase + m_readOffset;
    emit m_main.ProgressShown(GetText(67) + QString::number(address, 16).toUpper(), s.ImageBase,
                              s.ImageBase + s.PageCount * 256, address);
    m_main.LinkBusy = true;
    if (!m_main.Push(5, quint32(address), quint8(m_blockSize)))
        Fail(false);
}

void DeviceReader::OnBlock(const TeleReport &report)
{
    if (!report.Ok()) {
        // The dispatch has sent the block again as often as the settings allow; the
        // image stays as it was before the read.
        LinkLost(false);
        return;
    }
    if (!m_staging) {
        Fail(false);
        return;
    }
    const DeviceState &s = m_main.Data.State;
    // A definition whose pages reach past the image cannot have more than the image filled.
    for (int k = 0; k < m_blockSize; ++k) {
        const int index = m_writeIndex + k;
        if (TGeraet::ValidIndex(index))
            (*m_staging)[size_t(index)] = m_main.WorkImage[kAnswerPos + k];
    }
    m_writeIndex += m_blockSize;
    m_readOffset += m_blockSize;
    ++m_blockCount;
    const int end = s.PageCount * 256;
    if (s.VmxMode) {
        const QVector<int> &list = VmxOffsets();
        while (m_readOffset < end && !list.contains(m_readOffset)) {
            m_readOffset += 4;
            m_writeIndex += 4;
        }
    }
    if (m_readOffset < end)
        RequestBlock();
    else
        Finish();
}

void DeviceReader::Finish()
{
    m_main.SetPendingAction(QString());
    emit m_main.ProgressHidden();
    emit m_main.StatusText(4, QString());
    m_main.LinkBusy = false;
    m_main.Online = true;
    m_main.OfflineFile = false;
    DeviceData &d = m_main.Data;
    if (m_staging) {
        d.Geraet.Image = *m_staging;
        m_staging.reset();
    }
    m_running = false;

    const bool complete = ReadParameters(d, m_main.UserPrompter());
    DeviceState &s = d.State;
    if (complete) {
        emit m_main.StatusText(0, GetText(181) + QLatin1Char(' ') + d.Def.TypLines.value(0));
        // Taken again now that the memory has arrived: identification saw the old image.
        TakeControllerSettings(d);
        if (s.DeviceType == 38)
            s.AccessCode = QString::number(d.Geraet.GetWord(10));
    }
    s.AccessCode = s.AccessCode.rightJustified(4, QLatin1Char('0'));
    if (complete) {
        m_main.ParamsLoaded = true;
        m_main.UpdateMenus();
        m_loadedDefinition = s.DefinitionFile;
        emit m_main.ParametersShown();
    } else {
        m_main.ParamsLoaded = false;
        emit m_main.ParametersHidden();
        m_main.UpdateMenus();
    }
    emit Finished(complete);
}
