#include "copies/bside_scheduler.h"
#include "copies/cpu_monitor.h"
#include "copies/thermal_monitor.h"

#include "testsupport/support.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <numeric>
#include <random>

using namespace vorlane;
using Progress = BsideScheduler::Progress;
using namespace std::chrono_literals;

namespace {

// Collects snapshots from the scheduler's threads and lets the test wait for a condition on the latest.
struct Recorder
{
    BsideScheduler::Observer observer()
    {
        return [this](const Progress &p) {
            std::lock_guard lock(mutex);
            all.push_back(p);
            changed.notify_all();
        };
    }
    std::vector<Progress> snapshots()
    {
        std::lock_guard lock(mutex);
        return all;
    }
    bool waitFor(const std::function<bool(const Progress &)> &pred, std::chrono::seconds timeout = 20s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, timeout, [&] { return !all.empty() && pred(all.back()); });
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Progress> all;
};

// Work that blocks until the test opens the gate or the job is cancelled.
struct Gate
{
    BsideScheduler::Work work()
    {
        return [this](std::stop_token token) {
            std::unique_lock lock(mutex);
            opened.wait(lock, token, [this] { return isOpen; });
        };
    }
    void open()
    {
        std::lock_guard lock(mutex);
        isOpen = true;
        opened.notify_all();
    }
    std::mutex mutex;
    std::condition_variable_any opened;
    bool isOpen = false;
};

// Four processors whose load samples are the given ones (0.7 after them) and whose thermal state is *thermal.
MachineInputs scripted(std::vector<double> loads, const std::atomic<int> *thermal)
{
    auto next = std::make_shared<size_t>(0);
    return {4, [=] { return *next < loads.size() ? loads[(*next)++] : 0.7; }, [thermal] { return thermal->load(); }};
}

const SchedulerOptions manual{false, 2000ms};
const MachineInputs fourCores{4, {}, {}};

// The baseline is the processor count within 2..8; a thermal state caps it. Two high samples in a row lower
// the limit, two low ones raise it up to the baseline. The thermal state when monitoring starts is the
// reference; a change applies at once, and low load raises the limit again after it.
TEST(SchedulerLimits, BaselineThermalStatesAndLoadStreaks)
{
    for (auto [cpus, expected] : std::vector<std::pair<int, int64_t>>{{0, 2}, {1, 2}, {2, 2}, {5, 5}, {8, 8}, {12, 8}})
        EXPECT_EQ(BsideScheduler::baselineFor(cpus), expected) << cpus;

    const std::vector<std::tuple<std::vector<double>, std::vector<int>, std::vector<int64_t>>> runs{
        {{0.9, 0.9, 0.9, 0.7, 0.3, 0.3, 0.88, 0.5, 0.1, 0.1, 0.1, 0.1}, {}, {4, 3, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4}},
        {{0.7, 0.7, 0.3, 0.3}, {2, 2, 3, 3, 3}, {4, 1, 1, 2}}};
    for (const auto &[loads, states, limits] : runs) {
        std::atomic<int> thermal = states.empty() ? 0 : states[0];
        BsideScheduler s(scripted(loads, &thermal), manual);
        s.enqueue(QUuid::createUuid(), QStringLiteral("x"), [](std::stop_token) {}); // starts monitoring
        std::vector<int64_t> seen;
        for (size_t i = 0; i < limits.size(); ++i) {
            thermal = states.empty() ? 0 : states[i + 1];
            s.sampleMachine();
            seen.push_back(s.maxConcurrency());
        }
        EXPECT_EQ(seen, limits);
    }
}

// Jobs start first in, first out within the limit; a job that cannot start yet is counted as queued in the
// snapshot its enqueueing sends (the status line must not under-count the waiting work).
TEST(SchedulerOrder, FifoWithinTheLimit)
{
    BsideScheduler s(fourCores, manual);
    s.capConcurrency(1);
    Recorder rec;
    s.observeProgress(rec.observer());
    Gate gate;
    std::mutex m;
    std::vector<int> order, expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    for (int i = 0; i < 50; ++i) {
        s.enqueue(QUuid::createUuid(), QString::number(i), [&, i](std::stop_token token) {
            if (i == 0)
                gate.work()(token);
            std::lock_guard lock(m);
            order.push_back(i);
        });
    }
    const size_t early = rec.snapshots().size();
    EXPECT_EQ(early, 52u) << "the observer's first, one per enqueueing and the first job's start";
    EXPECT_EQ(rec.snapshots().back().queued, 49);
    EXPECT_EQ(rec.snapshots().back().total, 50);
    gate.open();
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.completed == 50; }));
    EXPECT_EQ(order, expected);
    const auto all = rec.snapshots();
    for (size_t i = 0; i < all.size(); ++i)
        EXPECT_TRUE(all[i].running <= 1 && (i < early - 1 || all[i].total == 50)) << i;
    EXPECT_TRUE(all.back().isIdle());
    EXPECT_EQ(all.back().currentName, std::nullopt);
}

TEST(SchedulerCounters, LateObserverAndCancels)
{
    Recorder rec;
    Gate gate;
    BsideScheduler s(fourCores, manual);
    s.capConcurrency(1);
    const QUuid running = QUuid::createUuid(), waiting = QUuid::createUuid(), twice = QUuid::createUuid();
    std::atomic<bool> sawStop{false};
    s.enqueue(running, QStringLiteral("run"), [&](std::stop_token token) {
        gate.work()(token);
        sawStop = token.stop_requested();
    });
    s.enqueue(waiting, QStringLiteral("wait"), gate.work());
    s.enqueue(twice, QStringLiteral("t1"), gate.work());
    s.enqueue(twice, QStringLiteral("t2"), gate.work());
    s.observeProgress(rec.observer());
    ASSERT_EQ(rec.snapshots().size(), 1u) << "a late observer starts with the current snapshot";
    EXPECT_EQ(rec.snapshots()[0].running, 1);
    EXPECT_EQ(rec.snapshots()[0].currentName, QStringLiteral("run"));

    EXPECT_FALSE(s.cancelQueued(running));
    EXPECT_FALSE(s.cancelQueued(QUuid::createUuid()));
    EXPECT_EQ(rec.snapshots().size(), 1u) << "no change, no snapshot";
    EXPECT_TRUE(s.cancelQueued(waiting));
    ASSERT_EQ(rec.snapshots().size(), 2u);
    EXPECT_EQ(rec.snapshots().back().queued, 2);
    EXPECT_EQ(rec.snapshots().back().total, 3);
    s.cancelQueued(twice); // removes the first of the two entries only
    EXPECT_EQ(s.progress().queued, 1);

    // Stopping reaches the work; the counters wait for it to return, and a job stopped is not a job done.
    s.cancelRunning(running);
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.total == 1 && p.running == 1; }));
    EXPECT_TRUE(sawStop);
    EXPECT_EQ(rec.snapshots().back().completed, 0);
    gate.open();
    ASSERT_TRUE(rec.waitFor([](const Progress &p) { return p.isIdle(); }));
    EXPECT_EQ(rec.snapshots().back().completed, 1);
    EXPECT_EQ(rec.snapshots().back().total, 1);
}

TEST(SchedulerLifetime, DestroyedWhileJobsRun)
{
    std::atomic<int> started{0}, stopped{0};
    {
        BsideScheduler s(fourCores);
        Recorder rec;
        s.observeProgress(rec.observer());
        for (int i = 0; i < 20; ++i) {
            s.enqueue(QUuid::createUuid(), QStringLiteral("j"), [&](std::stop_token token) {
                ++started;
                while (!token.stop_requested())
                    std::this_thread::sleep_for(1ms);
                ++stopped;
            });
        }
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
    BsideScheduler s(fourCores, manual);
    s.observeProgress(rec.observer());
    std::vector<QUuid> ids(kJobs);
    std::ranges::generate(ids, &QUuid::createUuid);
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
    // An idle snapshot heard while later ones are still on their way is not the end: the scheduler says when.
    ASSERT_TRUE(rec.waitFor([&](const Progress &p) { return p.isIdle() && s.progress().isIdle(); }, 60s));
    const Progress end = s.progress();
    EXPECT_EQ(end.running + end.queued, 0);
    EXPECT_LE(end.completed, ran.load()) << "every started job is counted once at most";
    EXPECT_EQ(end.total, end.completed) << "total counts every job that was not cancelled";
}

const char *kStatA = "cpu  400 0 200 1400 0 0 0 0 0 0\n"
                     "cpu0 200 0 100 700 0 0 0 0 0 0\n"
                     "cpu1 200 0 100 700 0 0 0 0 0 0\n"
                     "intr 123\n";
// 300 busy and 100 idle ticks later: 75 % over the interval, though the average since boot is ~35 %.
const char *kStatB = "cpu  600 0 300 1500 0 0 0 0 0 0\n"
                     "cpu0 300 0 150 750 0 0 0 0 0 0\n"
                     "cpu1 300 0 150 750 0 0 0 0 0 0\n";

TEST(CpuMonitor, UsageIsOverTheIntervalNotSinceBoot)
{
    const auto a = CpuMonitor::parse(kStatA);
    const auto b = CpuMonitor::parse(kStatB);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->busy, 600u) << "per-CPU lines only: the aggregate line would count twice";
    EXPECT_EQ(a->idle, 1400u);
    EXPECT_DOUBLE_EQ(CpuMonitor::usageBetween(*a, *b), 0.75);
    EXPECT_DOUBLE_EQ(CpuMonitor::usageBetween(*b, *a), 0.0) << "counters going back count as no load";
    EXPECT_FALSE(CpuMonitor::parse("garbage\ncpu x y\n"));
    EXPECT_TRUE(CpuMonitor::parse(test::readFile("/proc/stat"))) << "this machine's own /proc/stat";

    test::TempTree t;
    const auto stat = t.file("stat", kStatA);
    CpuMonitor monitor(stat.native());
    t.file("stat", kStatB);
    EXPECT_DOUBLE_EQ(monitor.overallUsage(), 0.75);
    EXPECT_DOUBLE_EQ(monitor.overallUsage(), 0.0) << "no ticks between two reads count as no load";
    std::filesystem::remove(stat);
    EXPECT_DOUBLE_EQ(monitor.overallUsage(), 0.0) << "a failed read is 0.0";
}

TEST(ThermalMonitor, HottestZoneAgainstItsTripPoints)
{
    test::TempTree t;
    EXPECT_EQ(ThermalMonitor(t.root() / "none").state(), 0) << "no zones is nominal";
    const auto zone = [&](const std::string &name, int temp) {
        t.file(name + "/temp", std::to_string(temp) + "\n");
        const std::vector<std::pair<int, std::string>> trips{
            {60000, "active"}, {85000, "passive"}, {100000, "critical"}};
        for (size_t i = 0; i < trips.size(); ++i) {
            t.file(name + "/trip_point_" + std::to_string(i) + "_temp", std::to_string(trips[i].first) + "\n");
            t.file(name + "/trip_point_" + std::to_string(i) + "_type", trips[i].second + "\n");
        }
    };
    const std::vector<std::tuple<const char *, int, int>> steps{{"thermal_zone0", 40000, 0},
                                                                {"thermal_zone1", 70000, 1},
                                                                {"thermal_zone1", 90000, 2},
                                                                {"thermal_zone0", 105000, 3}};
    for (const auto &[name, temp, state] : steps) {
        zone(name, temp);
        EXPECT_EQ(ThermalMonitor(t.root()).state(), state) << name << " at " << temp;
    }
}

} // namespace
