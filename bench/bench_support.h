#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace vorlane::bench {

// Runs the event loop until the condition holds; false after the timeout.
template<typename F>
bool waitFor(F condition, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!condition()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace vorlane::bench
