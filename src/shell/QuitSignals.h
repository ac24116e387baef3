#pragma once
#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (kill, Ctrl+C, the terminal going away) into a Qt
// signal delivered by the event loop, so that the program can end as after a normal
// close instead of dying with its settings unsaved. The C handler only writes the signal
// number into a socket pair; everything else happens on the thread of this object.
// One instance at a time; the previous handlers come back when it is destroyed.
class QuitSignals : public QObject
{
    Q_OBJECT
public:
    explicit QuitSignals(QObject *parent = nullptr);
    ~QuitSignals() override;

    // False when the socket pair or the handlers could not be set up (or another
    // instance is active): the signals then keep their default action.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void Received(int signalNumber);

private:
    void readPending();
    QSocketNotifier *m_notifier = nullptr;
};
