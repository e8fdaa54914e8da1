#include "copies/cpu_monitor.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace vorlane {

CpuMonitor::CpuMonitor(std::string statPath)
    : m_path(std::move(statPath))
    , m_previous(read())
{
}

std::optional<CpuMonitor::Counters> CpuMonitor::read() const
{
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

std::optional<CpuMonitor::Counters> CpuMonitor::parse(std::string_view text)
{
    Counters sum;
    bool any = false;
    while (!text.empty()) {
        const auto eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        // Per-CPU lines only: "cpu" followed by a digit (the aggregate "cpu " line would count twice).
        if (line.size() < 4 || line.substr(0, 3) != "cpu" || line[3] < '0' || line[3] > '9')
            continue;
        line.remove_prefix(std::min(line.find(' '), line.size()));
        uint64_t fields[8] = {};
        int n = 0;
        while (n < 8) {
            while (!line.empty() && line.front() == ' ')
                line.remove_prefix(1);
            if (line.empty())
                break;
            const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), fields[n]);
            if (ec != std::errc())
                break;
            line.remove_prefix(size_t(ptr - line.data()));
            ++n;
        }
        if (n < 4)
            continue;
        // user nice system idle iowait irq softirq steal
        sum.busy += fields[0] + fields[1] + fields[2] + fields[5] + fields[6] + fields[7];
        sum.idle += fields[3] + fields[4];
        any = true;
    }
    if (!any)
        return std::nullopt;
    return sum;
}

double CpuMonitor::usageBetween(const Counters &before, const Counters &after)
{
    if (after.busy < before.busy || after.idle < before.idle)
        return 0.0;
    const uint64_t busy = after.busy - before.busy;
    const uint64_t idle = after.idle - before.idle;
    const uint64_t total = busy + idle;
    if (total == 0)
        return 0.0;
    return 1.0 - double(idle) / double(total);
}

double CpuMonitor::overallUsage()
{
    const auto now = read();
    std::lock_guard lock(m_mutex);
    if (!now)
        return 0.0;
    const auto before = m_previous;
    m_previous = now;
    if (!before)
        return 0.0;
    return usageBetween(*before, *now);
}

} // namespace vorlane
