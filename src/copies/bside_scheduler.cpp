#include "copies/bside_scheduler.h"

#include "copies/cpu_monitor.h"
#include "copies/thermal_monitor.h"
#include "core/background_thread.h"

#include <QThread>

#include <algorithm>
#include <condition_variable>

namespace vorlane {
namespace {

constexpr double kHighLoad = 0.88;
constexpr double kLowLoad = 0.5;
constexpr int kWorkerNice = 10;

} // namespace

MachineInputs MachineInputs::system()
{
    auto cpu = std::make_shared<CpuMonitor>();
    auto thermal = std::make_shared<ThermalMonitor>();
    return MachineInputs{QThread::idealThreadCount(), [cpu] { return cpu->overallUsage(); },
                         [thermal] { return thermal->state(); }};
}

int64_t BsideScheduler::baselineFor(int processorCount) { return std::clamp<int64_t>(processorCount, 2, 8); }

int64_t BsideScheduler::thermalLimit(int state, int64_t baseline)
{
    switch (state) {
    case 0:
    case 1:
        return baseline;
    case 2:
        return std::max<int64_t>(1, (baseline + 1) / 2);
    case 3:
        return 1;
    default:
        return std::max<int64_t>(1, baseline / 2);
    }
}

BsideScheduler::BsideScheduler(MachineInputs machine, Options options)
    : m_baseline(baselineFor(machine.processorCount))
    , m_cap(m_baseline)
    , m_maxConcurrency(m_baseline)
    , m_machine(std::move(machine))
    , m_options(options)
{
    m_pool.setMaxThreadCount(int(m_baseline));
}

BsideScheduler::~BsideScheduler()
{
    {
        std::lock_guard lock(m_mutex);
        m_shuttingDown = true;
        m_queue.clear();
        for (auto &[id, source] : m_running)
            source->request_stop();
        m_observers.clear();
        m_outbox.clear();
    }
    if (m_sampler.joinable()) {
        m_sampler.request_stop();
        m_sampler.join();
    }
    m_pool.waitForDone();
}

QUuid BsideScheduler::enqueue(const QUuid &id, const QString &displayName, Work work)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_shuttingDown)
            return id;
        if (!m_monitoring)
            startMonitoring();
        m_progress.total += 1;
        m_progress.queued += 1;
        m_queue.push_back(QueuedJob{id, std::move(work), displayName});
        // Observers hear of the new job whether or not it starts now: a job left waiting counts as queued.
        broadcast();
        pump();
    }
    deliver();
    return id;
}

bool BsideScheduler::cancelQueued(const QUuid &id)
{
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_queue.begin(), m_queue.end(), [&](const QueuedJob &j) { return j.id == id; });
        if (it == m_queue.end())
            return false;
        m_queue.erase(it);
        m_progress.queued = std::max<int64_t>(0, m_progress.queued - 1);
        m_progress.total = std::max<int64_t>(0, m_progress.total - 1);
        broadcast();
    }
    deliver();
    return true;
}

void BsideScheduler::cancelRunning(const QUuid &id)
{
    std::lock_guard lock(m_mutex);
    const auto range = m_running.equal_range(id);
    for (auto it = range.first; it != range.second; ++it)
        it->second->request_stop();
}

uint64_t BsideScheduler::observeProgress(Observer observer)
{
    uint64_t key = 0;
    {
        std::lock_guard lock(m_mutex);
        key = m_nextObserverKey++;
        // The current snapshot to the new observer alone, queued behind what the others still have to get.
        m_outbox.push_back(Note{m_progress, {observer}});
        m_observers.emplace(key, std::move(observer));
    }
    deliver();
    return key;
}

void BsideScheduler::stopObserving(uint64_t key)
{
    std::lock_guard lock(m_mutex);
    m_observers.erase(key);
}

BsideScheduler::Progress BsideScheduler::progress() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

int64_t BsideScheduler::maxConcurrency() const
{
    std::lock_guard lock(m_mutex);
    return m_maxConcurrency;
}

void BsideScheduler::capConcurrency(int64_t cap)
{
    {
        std::lock_guard lock(m_mutex);
        m_cap = std::clamp<int64_t>(cap, 1, m_baseline);
        m_maxConcurrency = std::min(m_maxConcurrency, m_cap);
        pump();
    }
    deliver();
}

void BsideScheduler::broadcast()
{
    Note note{m_progress, {}};
    note.to.reserve(m_observers.size());
    for (const auto &[key, observer] : m_observers)
        note.to.push_back(observer);
    m_outbox.push_back(std::move(note));
}

void BsideScheduler::deliver()
{
    std::unique_lock lock(m_mutex);
    if (m_delivering)
        return; // the thread delivering now takes this note too, after the earlier ones
    m_delivering = true;
    while (!m_outbox.empty()) {
        const Note note = std::move(m_outbox.front());
        m_outbox.pop_front();
        lock.unlock();
        for (const Observer &observer : note.to)
            observer(note.progress);
        lock.lock();
    }
    m_delivering = false;
}

void BsideScheduler::pump()
{
    if (m_queue.empty() || m_runningCount >= m_maxConcurrency)
        return;
    while (!m_queue.empty()) {
        QueuedJob job = std::move(m_queue.front());
        m_queue.pop_front();
        m_runningCount += 1;
        m_progress.running = m_runningCount;
        m_progress.queued = std::max<int64_t>(0, m_progress.queued - 1);
        m_progress.currentName = job.displayName;
        broadcast();

        auto source = std::make_shared<std::stop_source>();
        m_running.emplace(job.id, source);
        m_pool.start([this, id = job.id, work = std::move(job.work), source] {
            lowerThisThreadsPriority(kWorkerNice);
            try {
                work(source->get_token());
            } catch (...) {
                // The work reports its own outcome; an escaped exception still ends the job.
            }
            complete(id, source);
        });
        if (m_runningCount >= m_maxConcurrency)
            return;
    }
}

void BsideScheduler::complete(const QUuid &id, const std::shared_ptr<std::stop_source> &source)
{
    finishJob(id, source);
    deliver();
}

void BsideScheduler::finishJob(const QUuid &id, const std::shared_ptr<std::stop_source> &source)
{
    std::lock_guard lock(m_mutex);
    if (m_shuttingDown)
        return;
    m_runningCount -= 1;
    m_progress.running = m_runningCount;
    // A job stopped on request (its cell was unmarked) is not a job done: it leaves the count as a queued
    // job cancelled does.
    if (source->stop_requested())
        m_progress.total = std::max<int64_t>(0, m_progress.total - 1);
    else
        m_progress.completed += 1;
    const auto range = m_running.equal_range(id);
    for (auto it = range.first; it != range.second; ++it) {
        if (it->second == source) {
            m_running.erase(it);
            break;
        }
    }
    if (m_progress.queued >= 1)
        m_progress.currentName = m_queue.empty() ? std::nullopt : std::optional<QString>(m_queue.front().displayName);
    else if (m_runningCount == 0)
        m_progress.currentName = std::nullopt;
    broadcast();
    pump();
}

void BsideScheduler::startMonitoring()
{
    m_monitoring = true;
    // The state at start is the reference: only later changes move the limit.
    m_lastThermal = m_machine.thermalState ? m_machine.thermalState() : 0;
    if (!m_options.sampleAutomatically)
        return;
    m_sampler = std::jthread([this](std::stop_token stop) {
        std::mutex waitMutex;
        std::condition_variable_any wake;
        while (!stop.stop_requested()) {
            std::unique_lock waitLock(waitMutex);
            if (wake.wait_for(waitLock, stop, m_options.samplePeriod, [] { return false; }) || stop.stop_requested())
                break;
            waitLock.unlock();
            sampleMachine();
        }
    });
}

void BsideScheduler::sampleMachine()
{
    const double usage = m_machine.loadSample ? m_machine.loadSample() : 0.0;
    const int thermal = m_machine.thermalState ? m_machine.thermalState() : 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_shuttingDown)
            return;
        adjustForLoad(usage);
        if (thermal != m_lastThermal) {
            m_lastThermal = thermal;
            applyThermalState(thermal);
        }
    }
    deliver();
}

void BsideScheduler::adjustForLoad(double u)
{
    if (u > kHighLoad) {
        m_highCpuStreak += 1;
        m_lowCpuStreak = 0;
        if (m_highCpuStreak >= 2 && m_maxConcurrency >= 2)
            m_maxConcurrency -= 1;
    } else if (u < kLowLoad) {
        m_lowCpuStreak += 1;
        m_highCpuStreak = 0;
        if (m_lowCpuStreak >= 2 && m_maxConcurrency < m_cap)
            m_maxConcurrency += 1;
    } else {
        m_highCpuStreak = 0;
        m_lowCpuStreak = 0;
    }
}

void BsideScheduler::applyThermalState(int state)
{
    m_maxConcurrency = std::min(thermalLimit(state, m_baseline), m_cap);
    pump();
}

} // namespace vorlane
