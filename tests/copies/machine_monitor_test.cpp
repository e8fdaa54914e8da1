#include "copies/cpu_monitor.h"
#include "copies/thermal_monitor.h"

#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

using namespace vorlane;

namespace {

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
    EXPECT_EQ(a->busy, 600u);
    EXPECT_EQ(a->idle, 1400u);
    EXPECT_DOUBLE_EQ(CpuMonitor::usageBetween(*a, *b), 0.75);
    EXPECT_DOUBLE_EQ(CpuMonitor::usageBetween(*a, *a), 0.0);
    EXPECT_DOUBLE_EQ(CpuMonitor::usageBetween(*b, *a), 0.0) << "counters going back count as no load";
    EXPECT_FALSE(CpuMonitor::parse("garbage\ncpu x y\n"));
}

TEST(CpuMonitor, SamplesAFileThatChanges)
{
    test::TempTree t;
    const auto stat = t.file("stat", kStatA);
    CpuMonitor monitor(stat.native());
    t.file("stat", kStatB);
    EXPECT_DOUBLE_EQ(monitor.overallUsage(), 0.75);
    EXPECT_DOUBLE_EQ(monitor.overallUsage(), 0.0);
    std::filesystem::remove(stat);
    EXPECT_DOUBLE_EQ(monitor.overallUsage(), 0.0) << "a failed read is 0.0";
}

TEST(CpuMonitor, RealProcStat)
{
    CpuMonitor monitor;
    volatile double sink = 0;
    for (int i = 0; i < 20000000; ++i)
        sink = sink + i;
    const double u = monitor.overallUsage();
    EXPECT_GE(u, 0.0);
    EXPECT_LE(u, 1.0);
}

TEST(ThermalMonitor, HottestZoneAgainstItsTripPoints)
{
    test::TempTree t;
    EXPECT_EQ(ThermalMonitor(t.root() / "none").state(), 0) << "no zones is nominal";
    auto zone = [&](const std::string &name, int temp, std::vector<std::pair<int, std::string>> trips) {
        t.file(name + "/temp", std::to_string(temp) + "\n");
        for (size_t i = 0; i < trips.size(); ++i) {
            t.file(name + "/trip_point_" + std::to_string(i) + "_temp", std::to_string(trips[i].first) + "\n");
            t.file(name + "/trip_point_" + std::to_string(i) + "_type", trips[i].second + "\n");
        }
    };
    const std::vector<std::pair<int, std::string>> trips{{60000, "active"}, {85000, "passive"}, {100000, "critical"}};
    zone("thermal_zone0", 40000, trips);
    EXPECT_EQ(ThermalMonitor(t.root()).state(), 0);
    zone("thermal_zone1", 70000, trips);
    EXPECT_EQ(ThermalMonitor(t.root()).state(), 1);
    zone("thermal_zone1", 90000, trips);
    EXPECT_EQ(ThermalMonitor(t.root()).state(), 2);
    zone("thermal_zone0", 105000, trips);
    EXPECT_EQ(ThermalMonitor(t.root()).state(), 3);
    EXPECT_GE(ThermalMonitor().state(), 0);
}

} // namespace
