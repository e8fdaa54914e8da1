#pragma once

#include "core/background_thread.h"
#include "core/main_thread.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <stop_token>

namespace vorlane {

// Cancellable jobs on a pool of their own, each known by a key, whose results come back to the main thread.
// The owner keeps the order of its waiting work and starts a job whenever hasRoom(); a job's work runs on the
// pool (at a lowered priority) with a stop token of its own, and its ending is delivered to the owner on the
// main thread, unless the owner is gone by then. Asking a job to stop is cooperative: its work sees the token.
// Destroying the runner stops every job and waits for them. Main thread, except the work itself.
class BackgroundJobs final
{
public:
    BackgroundJobs(const QString &name, int threads, int nice)
        : m_nice(nice)
    {
        m_pool.setObjectName(name);
        m_pool.setMaxThreadCount(std::max(1, threads));
    }
    ~BackgroundJobs()
    {
        stopAll();
        m_pool.waitForDone();
    }
    BackgroundJobs(const BackgroundJobs &) = delete;
    BackgroundJobs &operator=(const BackgroundJobs &) = delete;

    int capacity() const { return m_pool.maxThreadCount(); }
    bool hasRoom() const { return m_running.size() < capacity(); }
    int running() const { return int(m_running.size()); }
    bool isRunning(const QString &key) const { return m_running.contains(key); }

    // Runs work(token) on the pool; then, on the main thread, done(owner, result, stopped) where stopped
    // tells whether the job was asked to stop meanwhile. A key already running is not started again.
    template<typename Owner, typename Work, typename Done>
    void start(const QString &key, Owner *owner, Work work, Done done)
    {
        if (m_running.contains(key))
            return;
        auto stop = std::make_shared<std::stop_source>();
        m_running.insert(key, stop);
        const QPointer<Owner> guard(owner);
        m_pool.start([this, guard, key, stop, nice = m_nice, work = std::move(work), done = std::move(done)]() mutable {
            if (nice != 0)
                lowerThisThreadsPriority(nice);
            auto result = work(stop->get_token());
            postToMain(guard, [this, key, stop, done = std::move(done), result = std::move(result)](Owner &o) mutable {
                m_running.remove(key);
                done(o, std::move(result), stop->stop_requested());
            });
        });
    }

    // Runs work() on the pool, unknown to stop() and hasRoom(); then, on the main thread, done(owner, result)
    // unless the owner is gone by then. For one-off readings that nothing needs to cancel.
    template<typename Owner, typename Work, typename Done>
    void run(Owner *owner, Work work, Done done)
    {
        const QPointer<Owner> guard(owner);
        m_pool.start([guard, nice = m_nice, work = std::move(work), done = std::move(done)]() mutable {
            if (nice != 0)
                lowerThisThreadsPriority(nice);
            auto result = work();
            postToMain(guard, [done = std::move(done), result = std::move(result)](Owner &o) mutable {
                done(o, std::move(result));
            });
        });
    }

    void stop(const QString &key)
    {
        if (const auto it = m_running.constFind(key); it != m_running.constEnd())
            (*it)->request_stop();
    }
    void stopAllBut(const QSet<QString> &keep)
    {
        for (auto it = m_running.cbegin(); it != m_running.cend(); ++it) {
            if (!keep.contains(it.key()))
                it.value()->request_stop();
        }
    }
    void stopAll() { stopAllBut({}); }

private:
    QThreadPool m_pool;
    QHash<QString, std::shared_ptr<std::stop_source>> m_running;
    int m_nice = 0;
};

} // namespace vorlane
