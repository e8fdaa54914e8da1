#include "copies/thermal_monitor.h"

#include <algorithm>
#include <fstream>
#include <optional>
#include <string>

namespace vorlane {
namespace {

std::optional<long long> readNumber(const std::filesystem::path &p)
{
    std::ifstream in(p);
    long long v = 0;
    if (!(in >> v))
        return std::nullopt;
    return v;
}

std::string readWord(const std::filesystem::path &p)
{
    std::ifstream in(p);
    std::string w;
    in >> w;
    return w;
}

int stateForTrip(const std::string &type)
{
    if (type == "critical")
        return 3;
    if (type == "hot" || type == "passive")
        return 2;
    if (type == "active")
        return 1;
    return 0;
}

int zoneState(const std::filesystem::path &zone)
{
    const auto temp = readNumber(zone / "temp");
    if (!temp)
        return 0;
    int state = 0;
    for (int i = 0; i < 64; ++i) {
        const std::string base = "trip_point_" + std::to_string(i);
        const auto trip = readNumber(zone / (base + "_temp"));
        if (!trip)
            break;
        if (*trip > 0 && *temp >= *trip)
            state = std::max(state, stateForTrip(readWord(zone / (base + "_type"))));
    }
    return state;
}

} // namespace

ThermalMonitor::ThermalMonitor(std::filesystem::path thermalRoot)
    : m_root(std::move(thermalRoot))
{
}

int ThermalMonitor::state() const
{
    int state = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(m_root, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->path().filename().native().rfind("thermal_zone", 0) == 0)
            state = std::max(state, zoneState(it->path()));
    }
    return state;
}

} // namespace vorlane
