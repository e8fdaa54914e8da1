#include "copies/bside_scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <random>

using namespace vorlane;
using Progress = BsideScheduler::Progress;
using namespace std::chrono_literals;

namespace {

// Collects snapshots from the scheduler's threads and lets the test wait for a condition on them.
class Recorder
{
public:
    BsideScheduler::Observer observer()
    {
        return [this](const Progress &p) {
            std::lock_guard lock(m_mutex);
            m_snapshots.push_back(p);
            m_changed.notify_all();
        };
    }
    std::vector<Progress> snapshots()
    {
        std::lock_guard lock(m_mutex);
        return m_snapshots;
    }
    bool waitFor(const std::function<bool(const Progress &)> &pred, std::chrono::seconds timeout = 20s)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return !m_snapshots.empty() && pred(m_snapshots.back()); });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Progress> m_snapshots;
};

// Work that blocks until the test opens its gate (or the job is cancelled).
class Gate
{
public:
    BsideScheduler::Work work(std::atomic<int> *started = nullptr)
    {
        return [this, started](std::stop_token token) {
            if (started)
                ++*started;
            std::unique_lock lock(m_mutex);
            m_open.wait(lock, token, [this] { return m_isOpen; });
        };
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_isOpen = true;
        m_open.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable_any m_open;
    bool m_isOpen = false;
};

MachineInputs scripted(int cpus, std::vector<double> loads = {}, std::shared_ptr<std::atomic<int>> thermal = {})
{
    auto queue = std::make_shared<std::deque<double>>(loads.begin(), loads.end());
    if (!thermal)
        thermal = std::make_shared<std::atomic<int>>(0);
    return MachineInputs{cpus,
                         [queue] {
                             if (queue->empty())
                                 return 0.7;
                             const double v = queue->front();
                             queue->pop_front();
                             return v;
                         },
                         [thermal] { return thermal->load(); }};
}

const SchedulerOptions manual{false, 2000ms};

TEST(SchedulerLimits, BaselineAndThermalTable)
{
    const std::vector<std::pair<int, int64_t>> baselines{{0, 2}, {1, 2}, {2, 2}, {5, 5}, {8, 8}, {12, 8}};
    for (auto [cpus, expected] : baselines)
        EXPECT_EQ(BsideScheduler::baselineFor(cpus), expected) << cpus;
    const std::vector<std::pair<int64_t, int64_t>> serious{{2, 1}, {3, 2}, {4, 2}, {5, 3}, {6, 3}, {7, 4}, {8, 4}};
    for (auto [base, expected] : serious) {
        EXPECT_EQ(BsideScheduler::thermalLimit(2, base), expected);
        EXPECT_EQ(BsideScheduler::thermalLimit(0, base), base);
        EXPECT_EQ(BsideScheduler::thermalLimit(1, base), base);
        EXPECT_EQ(BsideScheduler::thermalLimit(3, base), 1);
        EXPECT_EQ(BsideScheduler::thermalLimit(7, base), std::max<int64_t>(1, base / 2));
    }
}

TEST(SchedulerLimits, LoadStreaksMoveTheLimit)
{
    BsideScheduler s(scripted(4, {0.9, 0.9, 0.9, 0.7, 0.3, 0.3, 0.88, 0.5, 0.1, 0.1, 0.1, 0.1}), manual);
    s.enqueue(QUuid::createUuid(), QStringLiteral("x"), [](std::stop_token) {}); // starts monitoring
    std::vector<int64_t> limits;
    for (int i = 0; i < 12; ++i) {
        s.sampleMachine();
        limits.push_back(s.maxConcurrency());
    }
    EXPECT_EQ(limits, (std::vector<int64_t>{4, 3, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4}));
}

TEST(SchedulerLimits, ThermalChangeAppliesAtOnceThenLoadRaisesAgain)
{
    auto thermal = std::make_shared<std::atomic<int>>(0);
    BsideScheduler s(scripted(4, {0.7, 0.3, 0.3}, thermal), manual);
    s.enqueue(QUuid::createUuid(), QStringLiteral("x"), [](std::stop_token) {});
    *thermal = 3;
    s.sampleMachine(); // 0.7 keeps the limit, the thermal change caps it
    EXPECT_EQ(s.maxConcurrency(), 1);
    s.sampleMachine();
    EXPECT_EQ(s.maxConcurrency(), 1);
    s.sampleMachine();
    EXPECT_EQ(s.maxConcurrency(), 2);
}

TEST(SchedulerLimits, ThermalStateAtStartIsNotApplied)
{
    auto thermal = std::make_shared<std::atomic<int>>(2);
    BsideScheduler s(scripted(4, {}, thermal), manual);
    s.enqueue(QUuid::createUuid(), QStringLiteral("x"), [](std::stop_token) {});
    s.sampleMachine();
    EXPECT_EQ(s.maxConcurrency(), 4);
}

TEST(SchedulerCounters, LimitReachedDefersTheSnapshot)
{
    Recorder rec;
    Gate gate;
    BsideScheduler s(scripted(2), manual);
    s.observeProgress(rec.observer());
    s.enqueue(QUuid::createUuid(), QStringLiteral("a"), gate.work());
    s.enqueue(QUuid::createUuid(), QStringLiteral("b"), gate.work());
    const size_t beforeThird = rec.snapshots().size();
    s.enqueue(QUuid::createUuid(), QStringLiteral("c"), gate.work());
    EXPECT_EQ(rec.snapshots().size(), beforeThird) << "a job that cannot start sends no snapshot";
    EXPECT_EQ(s.progress().queued, 1);
    EXPECT_EQ(s.progress().total, 3);

    gate.open();
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.completed == 3; }));
    const Progress last = rec.snapshots().back();
    EXPECT_TRUE(last.isIdle());
    EXPECT_EQ(last.total, 3);
    EXPECT_EQ(last.currentName, std::nullopt);
    EXPECT_DOUBLE_EQ(last.fraction(), 1.0);
    // Every snapshot after the third enqueue already counts it.
    const auto all = rec.snapshots();
    for (size_t i = beforeThird; i < all.size(); ++i)
        EXPECT_EQ(all[i].total, 3);
}

TEST(SchedulerCounters, LateObserverStartsWithTheCurrentSnapshot)
{
    Gate gate;
    BsideScheduler s(scripted(2), manual);
    s.enqueue(QUuid::createUuid(), QStringLiteral("a"), gate.work());
    Recorder rec;
    s.observeProgress(rec.observer());
    const auto first = rec.snapshots();
    ASSERT_EQ(first.size(), 1);
    EXPECT_EQ(first[0].running, 1);
    EXPECT_EQ(first[0].currentName, QStringLiteral("a"));
    gate.open();
}

TEST(SchedulerCounters, CancelQueued)
{
    Recorder rec;
    Gate gate;
    BsideScheduler s(scripted(2), manual);
    s.capConcurrency(1);
    const QUuid running = QUuid::createUuid(), waiting = QUuid::createUuid(), twice = QUuid::createUuid();
    s.enqueue(running, QStringLiteral("run"), gate.work());
    s.enqueue(waiting, QStringLiteral("wait"), gate.work());
    s.enqueue(twice, QStringLiteral("t1"), gate.work());
    s.enqueue(twice, QStringLiteral("t2"), gate.work());
    s.observeProgress(rec.observer());

    s.cancelQueued(running);                 // running: no change
    s.cancelQueued(QUuid::createUuid());     // never enqueued: no change
    EXPECT_EQ(rec.snapshots().size(), 1);
    s.cancelQueued(waiting);
    ASSERT_EQ(rec.snapshots().size(), 2);
    EXPECT_EQ(rec.snapshots().back().queued, 2);
    EXPECT_EQ(rec.snapshots().back().total, 3);
    s.cancelQueued(twice); // removes the first of the two entries only
    EXPECT_EQ(s.progress().queued, 1);

    gate.open();
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.isIdle(); }));
    EXPECT_EQ(rec.snapshots().back().completed, 2);
}

TEST(SchedulerCounters, CancelRunningReachesTheWork)
{
    Recorder rec;
    BsideScheduler s(scripted(2), manual);
    s.observeProgress(rec.observer());
    std::atomic<bool> sawStop{false};
    std::atomic<int> started{0};
    const QUuid id = QUuid::createUuid();
    Gate never;
    s.enqueue(id, QStringLiteral("long"), [&](std::stop_token token) {
        ++started;
        never.work()(token);
        sawStop = token.stop_requested();
    });
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.running == 1; }));
    const Progress before = s.progress();
    s.cancelRunning(id);
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.completed == 1; }));
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(before.completed, 0);
    EXPECT_EQ(s.progress().total, 1);
}

TEST(SchedulerOrder, FifoUnderALimitOfOne)
{
    BsideScheduler s(scripted(4), manual);
    s.capConcurrency(1);
    std::mutex m;
    std::vector<int> order;
    Recorder rec;
    s.observeProgress(rec.observer());
    for (int i = 0; i < 50; ++i)
        s.enqueue(QUuid::createUuid(), QString::number(i), [&, i](std::stop_token) {
            std::lock_guard lock(m);
            order.push_back(i);
        });
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.completed == 50; }));
    std::vector<int> expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    for (const Progress &p : rec.snapshots())
        EXPECT_LE(p.running, 1);
}

TEST(SchedulerLifetime, DestroyedWhileJobsRun)
{
    std::atomic<int> started{0};
    std::atomic<int> stopped{0};
    {
        BsideScheduler s(scripted(4));
        Recorder rec;
        s.observeProgress(rec.observer());
        for (int i = 0; i < 20; ++i)
            s.enqueue(QUuid::createUuid(), QStringLiteral("j"), [&](std::stop_token token) {
                ++started;
                while (!token.stop_requested())
                    std::this_thread::sleep_for(1ms);
                ++stopped;
            });
        ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.running == 4; }));
    }
    EXPECT_EQ(started.load(), 4);
    EXPECT_EQ(stopped.load(), 4);
}

TEST(SchedulerStress, EnqueueCancelRacesLoseNothing)
{
    constexpr int kJobs = 3000;
    std::atomic<int> ran{0};
    Recorder rec;
    BsideScheduler s(scripted(4), manual);
    s.observeProgress(rec.observer());
    std::vector<QUuid> ids(kJobs);
    for (auto &id : ids)
        id = QUuid::createUuid();

    std::thread canceller([&] {
        std::mt19937 rng(7);
        for (int i = 0; i < kJobs; ++i) {
            const QUuid &id = ids[size_t(rng() % kJobs)];
            if (rng() % 2)
                s.cancelQueued(id);
            else
                s.cancelRunning(id);
        }
    });
    for (int i = 0; i < kJobs; ++i)
        s.enqueue(ids[size_t(i)], QStringLiteral("s"), [&](std::stop_token) { ++ran; });
    canceller.join();

    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.isIdle(); }, 60s));
    const Progress end = s.progress();
    EXPECT_EQ(end.running, 0);
    EXPECT_EQ(end.queued, 0);
    EXPECT_EQ(end.completed, ran.load()) << "every started job is counted once";
    EXPECT_EQ(end.total, end.completed) << "total counts every job that was not cancelled while waiting";
    const int64_t cancelledWaiting = kJobs - end.total;
    EXPECT_EQ(end.completed + cancelledWaiting, kJobs);
}

} // namespace
