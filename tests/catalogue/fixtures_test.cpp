// The real camera and phone corpus: every file is listed and dated without a crash or hang, and the dates
// that the files carry are the ones read.
#include "catalogue/capture_date.h"
#include "catalogue/directory_scanner.h"
#include "catalogue/pairing_service.h"

#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

using namespace vorlane;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s) { return QDateTime(QDate(y, mo, d), QTime(h, mi, s)); }

TEST(Fixtures, EveryFolderScansWithoutCrash)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    int files = 0;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(fixtures)) {
        if (!entry.is_directory())
            continue;
        const auto result = DirectoryScanner::scan(entry.path());
        for (const MediaItem &item : result.media)
            EXPECT_TRUE(item.dateTaken.isValid()) << item.path;
        files += int(result.media.size());
        PairingService::pair(result.media);
    }
    EXPECT_GT(files, 100);
}

struct DateRow
{
    const char *relative;
    QDateTime expected;
};

TEST(Fixtures, CameraDatesAreRead)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const std::vector<DateRow> rows{
        {"broken/IMG_5952_truncated.CR2", local(2009, 7, 21, 13, 3, 20)},
        {"broken/IMG_20200124_231153_truncated.jpg", local(2020, 1, 24, 23, 11, 53)},
        {"broken/wrong.heic", local(2013, 3, 5, 17, 29, 26)},
        {"broken/Issue 247-1.nef", local(2010, 3, 1, 21, 50, 21)},
        {"formats/_unlisted/CRW.CRW", local(2018, 1, 1, 13, 3, 32)},
    };
    for (const DateRow &row : rows) {
        const auto p = fixtures / row.relative;
        if (!std::filesystem::exists(p))
            continue;
        EXPECT_EQ(captureDate(p, true), row.expected) << row.relative;
    }
}

TEST(Fixtures, BrokenFilesFallBackToTheFileSystem)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    for (const char *name : {"broken/empty.jpg", "broken/broken image.JPG", "broken/fixture.orf", "broken/Issue 419.rw2"}) {
        const auto p = fixtures / name;
        if (std::filesystem::exists(p)) {
            EXPECT_EQ(captureDate(p, true), fileSystemDate(p)) << name;
        }
    }
}

TEST(Fixtures, MalformedVideosDoNotReachTheExifReader)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    // These crash or stall the EXIF library's video parsers; the scan must finish and date them by file.
    const auto result = DirectoryScanner::scan(fixtures / "broken" / "exiv2-crash");
    ASSERT_EQ(result.media.size(), 3);
    for (const MediaItem &item : result.media)
        EXPECT_EQ(item.dateTaken, fileSystemDate(item.path));
}

} // namespace
