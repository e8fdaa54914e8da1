#pragma once

#include "catalogue/media_pair.h"

#include <QList>

#include <functional>
#include <vector>

namespace vorlane::BurstGrouping {

// Two neighbouring frames of a burst were taken at most this far apart (the camera's sub-second time
// counts where it has one).
inline constexpr qint64 kMaxGapMs = 2000;
// ... and look at least this alike (BurstFeatures::align: correlations of their 32 x 32 luma and of its
// details, at the best of the shifts and zooms a hand makes). Frames of one scene reframed by up to 15 %,
// blurred or a stop apart stay above 0.52 on our labelled sets of real photos, different scenes shot in one
// run below 0.26.
inline constexpr double kMinSimilarity = 0.39;

// Which neighbouring cells of a listing, in the order shown, may be frames of one burst by their capture
// times alone: entry i is true when cells i and i + 1 are both stills, both carry the camera's date (a file's
// own time says when it was copied, not shot), and were taken at most kMaxGapMs apart. Only these pairs need their pictures compared. Videos never join a burst.
std::vector<bool> timeLinks(const QList<MediaPair> &cells);

// The groups that links make: consecutive cells joined by a link share a group; groups are numbered from 0
// in the order shown, a cell alone having a number of its own. linked[i] joins cells i and i + 1.
std::vector<int> groups(const std::vector<bool> &linked, qsizetype cellCount);

// The links of timeLinks() that also look alike: alike(i) answers for cells i and i + 1.
std::vector<bool> confirmedLinks(const std::vector<bool> &timeLinked, const std::function<bool(size_t)> &alike);

} // namespace vorlane::BurstGrouping
