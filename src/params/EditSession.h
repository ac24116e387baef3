#pragma once
#include "params/Dependencies.h"
#include "params/EditDispatcher.h"
#include <QObject>
#include <memory>

class MainController;
class ParameterSender;
class TFormatter;

// One place where an edit meets the program: the dispatcher, the dependency steps and the
// single-value write of the sender, bound to the main controller's state and pending
// actions. The window and the command-line program both edit through it, so an online edit
// behaves the same in both.
class EditSession : public QObject
{
    Q_OBJECT
public:
    // sender may be null for a program that never edits online.
    EditSession(MainController &main, ParameterSender *sender, TFormatter &formatter, EditDialogs &dialogs,
                QObject *parent = nullptr);
    ~EditSession() override;

    EditDispatcher &Editor() { return *m_editor; }
    ParameterDependencies &Dependencies() { return *m_deps; }

    // The grid's double click or Enter on the parameter at index.
    EditResult Edit(int index);
    // An edit (or its dependency step) waits for the device.
    bool Busy() const;
    static QString BusyText()
    {
        return QStringLiteral("Der letzte Wert wird noch zum Gerät gesendet. Bitte warten.");
    }
    // The window's parts of an edit.
    std::function<void()> AskIdent;
    std::function<void()> ResumeValues;

signals:
    void GridRefreshRequested();
    void RelayPageChanged();
    // The running online edit has ended (finished, refused or failed).
    void EditEnded();

private:
    class Host;
    class Writer;
    class Link;
    void OnWriteFailed();

    MainController &m_main;
    ParameterSender *m_sender;
    std::unique_ptr<Host> m_host;
    std::unique_ptr<Writer> m_writer;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<EditDispatcher> m_editor;
    std::unique_ptr<ParameterDependencies> m_deps;
};
