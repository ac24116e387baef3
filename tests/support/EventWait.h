#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <functional>

// Serves the event loop until done() holds or the time is up. It sleeps between events
// instead of spinning: a spinning waiter takes the core the telegram worker and the
// simulator need, and a loaded machine then misses the line's time-outs.
inline bool WaitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    QTimer tick; // wakes the wait now and then, so the time limit is looked at
    tick.start(10);
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    return done();
}
