#include "copies/bside_path_resolver.h"

#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

using namespace vorlane;

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
                      PathRow{"/p/movie.mkv", "/p/p_bside/movie_bside.jpg"},
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
