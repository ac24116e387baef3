#pragma once
#include <QPointer>
#include <QString>
#include <QTime>
#include <QWidget>
#include <memory>

class MainController;
class Prompter;
class QAction;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QToolButton;
class TTeleThread;

// The interface window "Schnittstelle": owns the one telegram thread, opens the saved port
// and shows the link's diagnostic log. Created hidden at start, shown with Ctrl+D.
class TFmLWL : public QWidget
{
    Q_OBJECT
public:
    // More lines than this and the log is emptied before the next one is added.
    static constexpr int MaxLogLines = 200;

    // prompter: where the thread reports port failures; nullptr for message boxes.
    explicit TFmLWL(MainController &main, QWidget *parent = nullptr, Prompter *prompter = nullptr);
    ~TFmLWL() override;

    TTeleThread *Thread() const { return m_thread.get(); }

    // Appends "kind text" (with the time stamp in front when chosen). GUI thread only;
    // the thread's lines are carried over by OnLog.
    void AddLog(const QString &kind, const QString &text);

    // The time stamp of a line: the millisecond of the current minute, 0..59999.
    static int MillisecondOfMinute(const QTime &time);

    int LogLineCount() const;
    QStringList LogLines() const;
    void ClearLog();

    bool Stopped() const;
    void SetStopped(bool stopped);
    bool TimestampOn() const;
    void SetTimestamp(bool on);

    QMenu *PopupMenu() const { return m_popup; }
    QAction *SendAction() const { return m_send; }
    QAction *RecvAction() const { return m_recv; }
    QAction *TimestampAction() const { return m_timestamp; }
    QAction *CopyAction() const { return m_copy; }
    QAction *SelectAllAction() const { return m_selectAll; }

signals:
    // A request was queued (OnPush) / an exchange was finished (OnDone); may be emitted
    // from the worker thread, so connect with the default (queued across threads).
    void Pushed();
    void Done(int result);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool KindShown(const QString &kind) const;

    MainController &m_main;
    std::unique_ptr<Prompter> m_ownPrompter;
    Prompter *m_prompter = nullptr;
    std::unique_ptr<TTeleThread> m_thread;

    QToolButton *m_stop = nullptr;
    QPlainTextEdit *m_memo = nullptr;
    QListWidget *m_ports = nullptr;
    QMenu *m_popup = nullptr;
    QAction *m_send = nullptr;
    QAction *m_recv = nullptr;
    QAction *m_timestamp = nullptr;
    QAction *m_copy = nullptr;
    QAction *m_selectAll = nullptr;
};
