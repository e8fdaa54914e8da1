#pragma once

#include <QString>
#include <QThreadPool>
#include <QUuid>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace vorlane {

// What the scheduler needs to know about the machine, each behind a function so tests can script it.
struct MachineInputs
{
    int processorCount = 2;             // as the system reports it; the scheduler clamps it to 2..8
    std::function<double()> loadSample; // processor load since the previous call, 0.0 … 1.0
    std::function<int()> thermalState;  // 0 nominal, 1 fair, 2 serious, 3 critical

    // QThread::idealThreadCount (honours CPU affinity), /proc/stat and /sys/class/thermal.
    static MachineInputs system();
};

struct SchedulerOptions
{
    bool sampleAutomatically = true; // tests turn this off and call sampleMachine() themselves
    std::chrono::milliseconds samplePeriod{2000};
};

// Runs copy jobs in the background: a first-in, first-out queue, at most maxConcurrency() jobs at once on
// its own low-priority thread pool, a progress snapshot that observers receive in order, and a limit that
// follows the processor load (sampled every 2 s once the first job arrives) and the thermal state.
//
// Every operation is serialised by one mutex and may be called from any thread. Observers are called
// outside it, one snapshot at a time, in the order the snapshots were made (whichever thread made a change
// delivers what is waiting); they should return quickly and hand the value to their own thread (a queued
// invocation), and may call the scheduler. Destroying the scheduler asks running work to stop and waits for
// it; waiting work and undelivered snapshots are dropped.
class BsideScheduler final
{
public:
    struct Progress
    {
        int64_t completed = 0; // jobs whose work returned (made or failed), not those stopped on request
        int64_t total = 0;     // jobs enqueued, less the jobs cancelled (waiting or stopped while running)
        int64_t running = 0;
        int64_t queued = 0;
        std::optional<QString> currentName;
        int64_t failed = 0; // the scheduler never sees outcomes: its observers fill this in

        double fraction() const { return total == 0 ? 0.0 : double(completed) / double(total); }
        bool isIdle() const { return running == 0 && queued == 0; }
        bool operator==(const Progress &) const = default;
    };

    using Work = std::function<void(std::stop_token)>;
    using Observer = std::function<void(const Progress &)>;

    using Options = SchedulerOptions;

    explicit BsideScheduler(MachineInputs machine = MachineInputs::system(), Options options = {});
    ~BsideScheduler();

    BsideScheduler(const BsideScheduler &) = delete;
    BsideScheduler &operator=(const BsideScheduler &) = delete;

    // Queues a job and starts what the limit allows. The work receives a stop token that cancelRunning
    // (or the scheduler's destruction) requests. Returns id.
    QUuid enqueue(const QUuid &id, const QString &displayName, Work work);
    // Removes the first waiting job with this id; no change when none waits. True when a job was removed
    // (its work will never run); false when none was waiting, for instance because it has just started.
    bool cancelQueued(const QUuid &id);
    // Requests the stop of a started job's work; counters are untouched until the work returns.
    void cancelRunning(const QUuid &id);

    // The observer receives the current snapshot at once, then every later one. Returns a key for
    // stopObserving.
    uint64_t observeProgress(Observer observer);
    void stopObserving(uint64_t key);

    Progress progress() const;
    int64_t maxConcurrency() const;

    // One machine sample: the load rule, then a thermal change (if any) applied at once.
    void sampleMachine();

    // Overrides the limit from a lower cap; used by `--jobs N` on the command line.
    void capConcurrency(int64_t cap);

    static int64_t baselineFor(int processorCount);
    static int64_t thermalLimit(int state, int64_t baseline);

private:
    struct QueuedJob
    {
        QUuid id;
        Work work;
        QString displayName;
    };

    // One snapshot and the observers registered when it was made.
    struct Note
    {
        Progress progress;
        std::vector<Observer> to;
    };

    // The parts below run with m_mutex held, except complete() and deliver().
    void pump();
    void complete(const QUuid &id, const std::shared_ptr<std::stop_source> &source);
    void finishJob(const QUuid &id, const std::shared_ptr<std::stop_source> &source);
    void broadcast(); // queues the current snapshot for the observers
    void deliver();   // calls the observers with what is queued, outside the mutex
    void startMonitoring();
    void applyThermalState(int state);
    void adjustForLoad(double usage);

    mutable std::mutex m_mutex;
    std::deque<Note> m_outbox;
    bool m_delivering = false;
    std::deque<QueuedJob> m_queue;
    int64_t m_runningCount = 0;
    Progress m_progress;
    std::multimap<QUuid, std::shared_ptr<std::stop_source>> m_running;
    const int64_t m_baseline;
    int64_t m_cap;
    int64_t m_maxConcurrency;
    int64_t m_highCpuStreak = 0;
    int64_t m_lowCpuStreak = 0;
    bool m_monitoring = false;
    bool m_shuttingDown = false;
    int m_lastThermal = 0;
    std::map<uint64_t, Observer> m_observers;
    uint64_t m_nextObserverKey = 1;
    MachineInputs m_machine;
    Options m_options;
    QThreadPool m_pool;
    std::jthread m_sampler;
};

} // namespace vorlane
