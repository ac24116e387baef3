#include "params/EditSession.h"
#include "device/Definition.h"
#include "params/FormatValue.h"
#include "params/ParameterSender.h"
#include "services/AccessLevels.h"
#include "shell/MainController.h"
#include "shell/TextHelpers.h"

namespace {
const QString kEditAction = QStringLiteral("Werteingeben");
const QString kValueDepAction = QStringLiteral("Sollwertabhängigkeit");
const QString kBitDepAction = QStringLiteral("BitAnhaengigkeit");
} // namespace

// The dispatcher's view of the main window.
class EditSession::Host : public EditHost
{
public:
    explicit Host(EditSession &s) : m_s(s) {}
    bool OfflineFile() const override { return m_s.m_main.OfflineFile; }
    bool Online() const override { return m_s.m_main.Online; }
    bool ModemOnline() const override { return m_s.m_main.ModemOnline; }
    void SetPendingAction(const QString &action) override { m_s.m_main.SetPendingAction(action); }
    void AskIdent() override
    {
        if (m_s.AskIdent)
            m_s.AskIdent();
    }
    bool Dependency(const QString &address, int value) override
    {
        return m_s.m_deps->ValueDependencies(address, value);
    }
    bool BitDependency(int answer, const QString &address, int mask) override
    {
        return m_s.m_deps->BitDependencies(answer, address, mask);
    }
    void RefreshGrid() override { emit m_s.GridRefreshRequested(); }
    void UpdateMenus() override { m_s.m_main.UpdateMenus(); }
    void ResumeValues() override
    {
        if (m_s.ResumeValues)
            m_s.ResumeValues();
    }
    void RelayPageChanged() override { emit m_s.RelayPageChanged(); }

private:
    EditSession &m_s;
};

namespace {
QString DeviceAddressText(const DeviceState &state, long long imageIndex)
{
    return QString::number(imageIndex + state.ImageBase, 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

// Loads the data bytes of a one- or two-byte write into the sender.
bool SendThroughSender(ParameterSender *sender, const QString &address, int value, int byteCount)
{
    if (!sender)
        return false;
    if (byteCount == 1) {
        sender->SendHigh = value & 0xFF;
        sender->SendLow = 0;
    } else {
        sender->SendHigh = (value >> 8) & 0xFF;
        sender->SendLow = value & 0xFF;
    }
    return sender->WriteValue(byteCount == 1 ? 1 : 2, address);
}
} // namespace

// The dispatcher's single-value write: the sender, under the edit's pending action.
class EditSession::Writer : public ValueWriter
{
public:
    explicit Writer(EditSession &s) : m_s(s) {}
    bool WriteValue(int sendIndex, int raw, int byteCount) override
    {
        m_s.m_main.SetPendingAction(kEditAction);
        const QString address = DeviceAddressText(m_s.m_main.Data.State, sendIndex);
        return SendThroughSender(m_s.m_sender, address, raw, byteCount);
    }

private:
    EditSession &m_s;
};

// The dependency steps' view of the link.
class EditSession::Link : public DependencyLink
{
public:
    explicit Link(EditSession &s) : m_s(s) {}
    bool Online() const override { return !m_s.m_main.OfflineFile && m_s.m_sender; }
    bool AccessGranted() const override
    {
        Recheck(m_s.m_main.Access, m_s.m_main.Data.State.AccessCode);
        return m_s.m_main.Access.Identified;
    }
    int LastResultCode() const override { return m_s.m_main.LastAnswerCode; }
    bool Write(const QString &action, int deviceAddress, int value, int byteCount) override
    {
        m_s.m_main.SetPendingAction(action);
        const QString address =
            QString::number(deviceAddress, 16).toUpper().rightJustified(4, QLatin1Char('0'));
        return SendThroughSender(m_s.m_sender, address, value, byteCount);
    }
    void ReloadDefinition() override
    {
        DeviceData &d = m_s.m_main.Data;
        if (OpenDefinition(d, d.State.DefinitionFile, m_s.m_main.UserPrompter()))
            ReadParameters(d, m_s.m_main.UserPrompter());
    }

private:
    EditSession &m_s;
};

EditSession::EditSession(MainController &main, ParameterSender *sender, TFormatter &formatter,
                         EditDialogs &dialogs, QObject *parent)
    : QObject(parent), m_main(main), m_sender(sender), m_host(std::make_unique<Host>(*this)),
      m_writer(std::make_unique<Writer>(*this)), m_link(std::make_unique<Link>(*this))
{
    m_editor = std::make_unique<EditDispatcher>(main.Data, formatter, main.Access, main.UserPrompter(), dialogs,
                                                *m_host, m_writer.get());
    m_deps = std::make_unique<ParameterDependencies>(main.Data, main.UserPrompter(), *m_link);
    // A dependency step that waited for the device ends the edit that started it.
    m_deps->Finished = [this] {
        m_editor->EndEdit();
        emit EditEnded();
    };
    if (m_sender) {
        m_sender->RegisterAckContinuation(kEditAction, [this] {
            const EditResult r = m_editor->Continue();
            if (r != EditResult::Sent && !m_deps->Running())
                emit EditEnded();
        });
        // When the step has no rule left, Finished ends the edit.
        auto depAck = [this] { m_deps->Acknowledged(); };
        m_sender->RegisterAckContinuation(kValueDepAction, depAck);
        m_sender->RegisterAckContinuation(kBitDepAction, depAck);
        connect(m_sender, &ParameterSender::WriteFailed, this, &EditSession::OnWriteFailed);
    }
}

EditSession::~EditSession() = default;

bool EditSession::Busy() const { return !m_editor->PendingAction.isEmpty() || m_deps->Running(); }

EditResult EditSession::Edit(int index)
{
    if (Busy()) {
        // One write at a time: the running edit is finished by its acknowledgement, and a
        // second dialog over it would mix the two edits' state.
        m_main.UserPrompter().information(BusyText());
        return EditResult::Refused;
    }
    m_editor->State.EditRequested = true;
    return m_editor->StartEdit(index);
}

void EditSession::OnWriteFailed()
{
    // The sender has shown why. The image keeps what the device confirmed; nothing of the
    // edit may stay pending, or the next report would continue it.
    if (!Busy())
        return;
    if (m_deps->Running())
        m_deps->Abort();
    m_editor->EndEdit();
    emit EditEnded();
}
