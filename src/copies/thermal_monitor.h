#pragma once

#include <filesystem>

namespace vorlane {

// The machine's thermal state from the kernel's thermal zones, on the scale 0 nominal, 1 fair,
// 2 serious, 3 critical: the hottest zone decides. A zone at or above an "active" trip point (fans
// running) is fair, at or above a "passive" or "hot" trip point (the kernel throttles) serious, at or
// above a "critical" trip point critical. No zones at all, as on most virtual machines, is nominal.
// Reads a handful of small sysfs files per call; thread-safe.
class ThermalMonitor final
{
public:
    explicit ThermalMonitor(std::filesystem::path thermalRoot = "/sys/class/thermal");

    int state() const;

private:
    std::filesystem::path m_root;
};

} // namespace vorlane
