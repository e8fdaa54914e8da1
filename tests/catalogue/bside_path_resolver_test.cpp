#include "catalogue/bside_path_resolver.h"

#include "catalogue/media_classifier.h"
#include "catalogue/pairing_service.h"

#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

using namespace vorlane;
using namespace Qt::StringLiterals;

namespace {

struct PathRow
{
    const char *original;
    const char *copy;
};

void PrintTo(const PathRow &row, std::ostream *os) { *os << row.original; }

class CopyPath : public ::testing::TestWithParam<PathRow>
{
};

TEST_P(CopyPath, Destination)
{
    EXPECT_EQ(BsidePathResolver::destination(GetParam().original).native(), std::string(GetParam().copy));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, CopyPath,
    ::testing::Values(PathRow{"/Volumes/CARD/DCIM/100TRIP/IMG_0042.CR3", "/Volumes/CARD/DCIM/100TRIP/100TRIP_bside/IMG_0042_bside.jpg"},
                      PathRow{"/Volumes/CARD/DCIM/100TRIP/IMG_0042.JPG", "/Volumes/CARD/DCIM/100TRIP/100TRIP_bside/IMG_0042_bside.jpg"},
                      PathRow{"/Users/me/Clips/beach.MOV", "/Users/me/Clips/Clips_bside/beach_bside.mp4"},
                      PathRow{"/Users/me/Clips/./beach.mts", "/Users/me/Clips/Clips_bside/beach_bside.mp4"},
                      PathRow{"/Users/me/Other/../Clips/beach.mts", "/Users/me/Clips/Clips_bside/beach_bside.mp4"},
                      PathRow{"/p/IMG_1.JPG", "/p/p_bside/IMG_1_bside.jpg"},
                      PathRow{"/p/clip.MP4", "/p/p_bside/clip_bside.mp4"},
                      PathRow{"/p/README", "/p/p_bside/README_bside.jpg"},
                      PathRow{"/p/movie.mkv", "/p/p_bside/movie_bside.mp4"},
                      PathRow{"/p/trip.day1.CR3", "/p/p_bside/trip.day1_bside.jpg"},
                      PathRow{"/photos/2024/a.heic", "/photos/2024/2024_bside/a_bside.jpg"},
                      PathRow{"/p/A.HEIC", "/p/p_bside/A_bside.jpg"},
                      PathRow{"/p/A.PNG", "/p/p_bside/A_bside.jpg"},
                      PathRow{"/p/\xff\xfe.jpg", "/p/p_bside/\xff\xfe_bside.jpg"},
                      PathRow{"/\xfe\xff/x.jpg", "/\xfe\xff/\xfe\xff_bside/x_bside.jpg"}));

TEST(CopyPath, NonUtf8NamesKeepTheirBytes)
{
    EXPECT_NE(BsidePathResolver::destination("/p/\xff.jpg"), BsidePathResolver::destination("/p/\xfe.jpg"));
}

// Cells of one listing never share a copy path; the plain path stays wherever it is unambiguous.
struct ListingRow
{
    const char *name;
    std::vector<std::string> files;
    std::vector<std::string> copies; // per cell in the listing's order; "-" = no copy path
};

void PrintTo(const ListingRow &row, std::ostream *os) { *os << row.name; }

class ListingCopyPaths : public ::testing::TestWithParam<ListingRow>
{
};

TEST_P(ListingCopyPaths, EveryCellHasItsOwn)
{
    QList<MediaItem> items;
    for (const std::string &file : GetParam().files) {
        const std::filesystem::path path = std::filesystem::path("/card/DCIM") / file;
        items.append(MediaItem(path, *MediaClassifier::classify(path), MediaClassifier::isRaw(path)));
    }
    std::vector<std::string> copies;
    for (const MediaPair &cell : PairingService::pair(items))
        copies.push_back(cell.copyPath() ? cell.copyPath()->filename().native() : "-");
    EXPECT_EQ(copies, GetParam().copies);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ListingCopyPaths,
    ::testing::Values(
        ListingRow{"PairAndSinglesKeepThePlainPath", {"IMG_1.JPG", "IMG_1.CR2", "b.png"}, {"b_bside.jpg", "IMG_1_bside.jpg"}},
        ListingRow{"PhotoAndVideoOfOneStemDiffer", {"a.jpg", "a.mov"}, {"a_bside.mp4", "a_bside.jpg"}},
        ListingRow{"TwoImages", {"photo.jpg", "photo.png"}, {"photo_jpg_bside.jpg", "photo_png_bside.jpg"}},
        ListingRow{"JpegAndHeic", {"IMG_7.HEIC", "IMG_7.JPG"}, {"IMG_7_HEIC_bside.jpg", "IMG_7_JPG_bside.jpg"}},
        ListingRow{"TwoClips", {"clip.MOV", "clip.mp4"}, {"clip_MOV_bside.mp4", "clip_mp4_bside.mp4"}},
        ListingRow{"TwoRaws", {"X.CR2", "X.DNG"}, {"X_CR2_bside.jpg", "X_DNG_bside.jpg"}},
        ListingRow{"JpegRawAndClip", {"V.CR2", "V.JPG", "V.MOV"}, {"V_bside.mp4", "V_JPG_bside.jpg", "V_CR2_bside.jpg"}},
        ListingRow{"OddVideoExtension", {"movie.mkv"}, {"movie_bside.mp4"}},
        ListingRow{"NamedPathTakenByAnotherStem",
                   {"photo.jpg", "photo.png", "photo_png.jpg"},
                   {"photo_jpg_bside.jpg", "-", "-"}}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(EnsureParentDir, CreatesAndToleratesExisting)
{
    test::TempTree t;
    const auto dest = t.root() / "a" / "a_bside" / "x_bside.jpg";
    BsidePathResolver::ensureParentDir(dest);
    EXPECT_TRUE(std::filesystem::is_directory(dest.parent_path()));
    EXPECT_NO_THROW(BsidePathResolver::ensureParentDir(dest));
}

TEST(EnsureParentDir, FileInTheWayThrows)
{
    test::TempTree t;
    t.file("a/a_bside", "not a folder");
    EXPECT_THROW(BsidePathResolver::ensureParentDir(t.root() / "a" / "a_bside" / "x_bside.jpg"),
                 std::filesystem::filesystem_error);
}

} // namespace
