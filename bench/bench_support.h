#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace vorlane::bench {

// Handles events for up to ms milliseconds, sleeping while there are none; returns early once quit.
inline void sleepInEventLoop(int ms, QEventLoop *loop = nullptr)
{
    QEventLoop own;
    QEventLoop &l = loop ? *loop : own;
    QTimer::singleShot(ms, &l, &QEventLoop::quit);
    l.exec();
}

// Runs the event loop until the condition holds; false after the timeout. Between checks the thread sleeps in
// the event loop, as the application's main thread does when idle: a spinning wait would eat a core the
// workers need and make the main thread look busier to the scheduler than it is.
template<typename F>
bool waitFor(F condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        sleepInEventLoop(2);
    }
    return true;
}

} // namespace vorlane::bench
