// Which neighbouring cells may be frames of one burst; the groups that follow are read in the model's tests.
#include "catalogue/burst_grouping.h"
#include "catalogue/capture_date.h"

#include <gtest/gtest.h>

using namespace vorlane;

namespace {

enum class Dated { ByCamera, ByFile, Not };

// A cell taken ms after a fixed moment, a still unless it is a clip.
MediaPair cell(int ms, bool clip = false, Dated dated = Dated::ByCamera)
{
    static int n = 0;
    MediaItem item("/card/IMG_" + std::to_string(++n) + (clip ? ".MP4" : ".JPG"),
                   clip ? MediaKind::Video : MediaKind::Image, false);
    item.dateTaken = dated == Dated::Not ? distantPast() : QDateTime(QDate(2024, 6, 1), QTime(9, 0)).addMSecs(ms);
    item.dateRecorded = dated == Dated::ByCamera;
    return MediaPair(item);
}
MediaPair undated() { return cell(0, false, Dated::Not); }
MediaPair copiedAt(int ms) { return cell(ms, false, Dated::ByFile); }

TEST(BurstGrouping, NeighboursWithinTwoSecondsMayJoinButNeverAClipOrAFrameWithoutACameraDate)
{
    // name, cells, links
    const std::vector<std::tuple<const char *, QList<MediaPair>, std::vector<bool>>> rows{
        {"a quarter of a second apart", {cell(0), cell(250), cell(500)}, {true, true}},
        {"exactly two seconds, then a millisecond more", {cell(0), cell(2000), cell(4001)}, {true, false}},
        {"out of order in the listing", {cell(1500), cell(0)}, {true}},
        {"a clip between two frames", {cell(0), cell(100, true), cell(200)}, {false, false}},
        {"an undated frame", {undated(), undated(), cell(0)}, {false, false}},
        {"frames dated only by the copy that made their files", {copiedAt(0), copiedAt(1), cell(2)}, {false, false}},
        {"one cell", {cell(0)}, {}},
    };
    for (const auto &[name, cells, links] : rows)
        EXPECT_EQ(BurstGrouping::timeLinks(cells), links) << name;
}

} // namespace
