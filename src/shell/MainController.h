#pragma once
#include "device/DeviceData.h"
#include "link/Telegramm.h"
#include "services/AccessLevels.h"
#include "shell/PrgInit.h"
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <functional>

class Prompter;
class TTeleThread;

// The core of the main window: the objects it owns, the program state, the sender of
// its working telegram image and the dispatch of the reports by pending action. The
// window TFormMain only binds controls to this and follows its signals.
class MainController : public QObject
{
    Q_OBJECT
public:
    explicit MainController(Prompter &prompter, QObject *parent = nullptr);
    ~MainController() override;

    Prompter &UserPrompter() { return m_prompter; }

    TPrgInit Init;
    ProgramSettings Settings;
    DeviceData Data;
    tyTelegramm WorkImage;   // all main-window requests
    tyTelegramm ValuesImage; // actual values
    AccessState Access;

    // Program state.
    bool ParamsLoaded = false;
    bool Online = false;
    bool OfflineFile = false;
    bool LinkBusy = false;
    bool ModemOnline = false; // a modem connection is up
    QString PendingAction;
    QString FollowUpAction;
    QString PendingValuesAction;
    int LastAnswerCode = 0;

    // The telegram thread is owned by the interface window (or the command-line program).
    void SetThread(TTeleThread *thread) { m_thread = thread; }
    TTeleThread *Thread() const { return m_thread; }

    void SetPendingAction(const QString &action);
    void SetFollowUpAction(const QString &action) { FollowUpAction = action; }

    // What a pending action continues with when its report arrives. The handler gets
    // the report; alsoOnFailure false means a failure ends the chain after the warning.
    using Continuation = std::function<void(const TeleReport &report)>;
    void RegisterAction(const QString &name, Continuation handler, bool alsoOnFailure = true);

    // An action whose requests only read, or write the same bytes again, may have an
    // exchange that failed on the line sent again: up to Settings.Retries times, each one
    // logged, before its continuation hears of the failure (and the user is warned).
    void SetRepeatable(const QString &action, bool on = true);
    // A failure on the line (echo, time-out, address, checksum, evaluation), as opposed to
    // a refusal by the device, a send the port itself refused, or an abort.
    static bool IsLineFailure(int state);
    // Repetitions of the request the last report was for.
    int Repetitions() const { return m_repeats; }
    // A repetition waits until the line has been quiet long enough for the device to drop
    // whatever half telegram it may have taken from the disturbed exchange.
    static constexpr int RepeatPauseMs = 600;
    // A slave address named for this run (the command line): wins over the protocol's.
    int SlaveOverride = -1;

    // Slave and own address for a request: settings, protocol 3 forces 0x70.
    int SlaveForRequest() const;
    // Queues a request from the working image's own buffer; false when refused or no thread.
    bool Push(quint8 code, quint32 address, quint8 count, quint16 replyIndex = TeleDone, int slave = -1,
              int own = -1);
    // Sends what is prepared in the working image (bytes 18..): the code 4 -> 20 rule etc.
    bool SendImage();

    // Report from the telegram thread (WM_TELE_DONE / WM_TELE_VALUES).
    Q_INVOKABLE void TeleMessage(quint16 replyIndex, quint32 wParam, quint32 lParam);

    void CloseParameters();
    void CloseValues();
    // Tells the windows that the program state changed (they recompute the menus).
    void UpdateMenus() { emit StateChanged(); }

    QString GetTextForDevice(int n) const;
    // What a failed exchange tells the user: the link failure, or the port's own problem.
    QString FailureText(const TeleReport &report) const;

    // The settings as the program leaves them: written when AUTOSAVE is on, once, by
    // whichever way of ending comes first (window closed, termination signal, end of the
    // event loop).
    void SaveSettingsAtExit();
    // Unsaved changes: the parameter pages and identification as they were when the set
    // was loaded, read or last saved. A conversion or an edit makes them differ.
    void MarkUnchanged();
    bool HasUnsavedChanges() const;
    // Saves the shown set through the normal save path (dialog included); true when saved.
    std::function<bool()> SaveChanges;
    // Before the shown set is dropped (closing, loading, reading): with unsaved changes asks
    // "Änderungen speichern?" (Yes saves first, No drops them, Cancel keeps everything).
    // True when the caller may go on.
    bool ConfirmDiscard();
    QByteArray ChangeSnapshot() const;

    // Where the open and save dialogs start: the folder last used in this session, else
    // the parameter folder of the settings, created when it does not exist yet. A folder
    // that cannot be created is reported and the dialogs start in the documents folder.
    QString DialogFolder();
    void RememberFileFolder(const QString &filePath);
    // The name the save dialog proposes: program identification and F-number of the set.
    static QString ProposedFileName(const TGeraet &g);

signals:
    void LogLine(const QString &kind, const QString &text);
    void StatusText(int panel, const QString &text);
    void StateChanged();
    void ProgressShown(const QString &label, int minimum, int maximum, int position);
    void ProgressHidden();
    // The loaded parameters are to be shown (grid filled), or hidden.
    void ParametersShown();
    void ParametersHidden();
    void ValuesClosed();
    void ValuesReport(quint32 wParam, quint32 lParam);
    // An exchange is sent again; text as logged.
    void ExchangeRepeated(const QString &text);

private:
    struct Action
    {
        Continuation handler;
        bool alsoOnFailure = true;
    };
    // What was last queued for a report of the dispatch, to send it again unchanged.
    struct Request
    {
        bool valid = false;
        QString action;
        quint8 slave = 0, own = 0, code = 0, count = 0;
        quint32 address = 0;
        int pos = 0;
    };
    bool PushRequest(const Request &r);
    bool RepeatAfter(const TeleReport &report, const QString &action);

    Prompter &m_prompter;
    Request m_last;
    int m_repeats = 0;
    quint64 m_requestSerial = 0; // counts requests queued for the dispatch
    QSet<QString> m_repeatable;
    TTeleThread *m_thread = nullptr;
    QHash<QString, Action> m_actions;
    bool m_savedAtExit = false;
    int m_pendingWrites = 0; // SetPendingAction calls, to see whether a continuation re-armed it
    QByteArray m_unchanged;  // empty while no set is shown
    QString m_lastFileFolder; // for this session only
};
