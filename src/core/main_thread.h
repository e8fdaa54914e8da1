#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

namespace vorlane {

// Runs f(*object) later on the main thread, unless the object is gone by then. Safe to call from any
// thread: the guard is only dereferenced on the main thread, and queued calls run in the order posted.
template<typename T, typename F>
void postToMain(const QPointer<T> &object, F f)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [object, f = std::move(f)]() mutable {
            if (object)
                f(*object);
        },
        Qt::QueuedConnection);
}

} // namespace vorlane
