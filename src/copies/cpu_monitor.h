#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace vorlane {

// Processor load over the interval since the previous sample, from the per-CPU tick counters of
// /proc/stat. The first sample measures since the monitor was created. Thread-safe; costs one small read.
class CpuMonitor final
{
public:
    struct Counters
    {
        uint64_t busy = 0;
        uint64_t idle = 0;
    };

    explicit CpuMonitor(std::string statPath = "/proc/stat");

    // 0.0 … 1.0; 0.0 when the counters cannot be read or did not move.
    double overallUsage();

    // Sums the per-CPU lines ("cpu0", "cpu1", …) of a /proc/stat text. Busy is user + nice + system + irq +
    // softirq + steal; idle is idle + iowait. nullopt when no per-CPU line parses.
    static std::optional<Counters> parse(std::string_view statText);

    // Usage between two readings: 1 − Δidle / Δtotal, or 0.0 when nothing moved or counters went back.
    static double usageBetween(const Counters &before, const Counters &after);

private:
    std::optional<Counters> read() const;

    std::string m_path;
    std::mutex m_mutex;
    std::optional<Counters> m_previous;
};

} // namespace vorlane
