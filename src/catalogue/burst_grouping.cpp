#include "catalogue/burst_grouping.h"

namespace vorlane::BurstGrouping {

std::vector<bool> timeLinks(const QList<MediaPair> &cells)
{
    std::vector<bool> links(size_t(std::max<qsizetype>(0, cells.size() - 1)), false);
    for (qsizetype i = 0; i + 1 < cells.size(); ++i) {
        const MediaPair &a = cells[i];
        const MediaPair &b = cells[i + 1];
        // Files copied together share their file times to the millisecond: only a camera's date links.
        if (a.isVideo() || b.isVideo() || !a.dateRecorded() || !b.dateRecorded())
            continue;
        links[size_t(i)] = std::abs(a.dateTaken().msecsTo(b.dateTaken())) <= kMaxGapMs;
    }
    return links;
}

std::vector<int> groups(const std::vector<bool> &linked, qsizetype cellCount)
{
    std::vector<int> groupOf(size_t(std::max<qsizetype>(0, cellCount)), 0);
    int group = 0;
    for (size_t i = 0; i < groupOf.size(); ++i) {
        if (i > 0 && !(i - 1 < linked.size() && linked[i - 1]))
            ++group;
        groupOf[i] = group;
    }
    return groupOf;
}

std::vector<bool> confirmedLinks(const std::vector<bool> &timeLinked, const std::function<bool(size_t)> &alike)
{
    std::vector<bool> links(timeLinked.size(), false);
    for (size_t i = 0; i < timeLinked.size(); ++i)
        links[i] = timeLinked[i] && alike(i);
    return links;
}

} // namespace vorlane::BurstGrouping
