#include "catalogue/capture_date.h"
#include "catalogue/directory_scanner.h"

#include "testsupport/media_maker.h"
#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s) { return QDateTime(QDate(y, mo, d), QTime(h, mi, s)); }

struct ParseRow
{
    const char *text;
    bool valid;
};

void PrintTo(const ParseRow &row, std::ostream *os) { *os << '"' << row.text << '"'; }

class ExifDateParse : public ::testing::TestWithParam<ParseRow>
{
};

TEST_P(ExifDateParse, OnlyTheExactPatternParses)
{
    EXPECT_EQ(parseExifDate(QString::fromLatin1(GetParam().text)).has_value(), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Rows, ExifDateParse,
                         ::testing::Values(ParseRow{"2023:07:14 18:30:05", true},
                                           ParseRow{"1601:01:01 00:00:00", true},
                                           ParseRow{"0000:00:00 00:00:00", false},
                                           ParseRow{"2023-07-14 18:30:05", false},
                                           ParseRow{"2023:02:30 10:00:00", false},
                                           ParseRow{"2023:07:14", false},
                                           ParseRow{"    :  :     :  :  ", false},
                                           ParseRow{"", false}));

TEST(ExifDateParse, LocalWallClock)
{
    EXPECT_EQ(*parseExifDate(u"2023:07:14 18:30:05"_s), local(2023, 7, 14, 18, 30, 5));
}

class CaptureDate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!haveTool("convert") || !haveTool("exiftool"))
            GTEST_SKIP() << "ImageMagick and exiftool are needed";
    }
    TempTree tree;
};

TEST_F(CaptureDate, OriginalWins)
{
    const auto p = tree.root() / "a.jpg";
    ASSERT_TRUE(makeJpeg(p, 64, 48, {u"-DateTimeOriginal=2023:07:14 18:30:05"_s, u"-CreateDate=2020:01:01 00:00:00"_s}));
    EXPECT_EQ(captureDate(p, true), local(2023, 7, 14, 18, 30, 5));
}

TEST_F(CaptureDate, DigitizedWhenNoOriginal)
{
    const auto p = tree.root() / "b.jpg";
    ASSERT_TRUE(makeJpeg(p, 64, 48, {u"-CreateDate=2021:03:04 05:06:07"_s}));
    EXPECT_EQ(captureDate(p, true), local(2021, 3, 4, 5, 6, 7));
}

TEST_F(CaptureDate, UnparseableOriginalFallsToFileSystemNotDigitized)
{
    const auto p = tree.root() / "c.jpg";
    ASSERT_TRUE(makeJpeg(p, 64, 48, {u"-DateTimeOriginal#=0000:00:00 00:00:00"_s, u"-CreateDate=2021:03:04 05:06:07"_s}));
    const QDateTime date = captureDate(p, true);
    EXPECT_NE(date, local(2021, 3, 4, 5, 6, 7));
    EXPECT_EQ(date, fileSystemDate(p));
    EXPECT_GT(date.date().year(), 2000);
}

TEST_F(CaptureDate, ScannerNeverReadsExifFromVideos)
{
    // A JPEG with EXIF named .mp4: the scanner dates a video by the file system alone.
    const auto p = tree.root() / "clip.mp4";
    ASSERT_TRUE(makeJpeg(p, 64, 48, {u"-DateTimeOriginal=2023:07:14 18:30:05"_s}));
    const auto result = DirectoryScanner::scan(tree.root());
    ASSERT_EQ(result.media.size(), 1);
    EXPECT_EQ(result.media.first().kind, MediaKind::Video);
    EXPECT_EQ(result.media.first().dateTaken, fileSystemDate(p));
}

TEST(CaptureDateFallback, ModificationTimeOrDistantPast)
{
    TempTree tree;
    const auto p = tree.file("plain.png", "not really a png");
    const QDateTime d = captureDate(p, true);
    EXPECT_TRUE(d.isValid());
    EXPECT_GT(d.date().year(), 2000);
    EXPECT_EQ(captureDate(tree.root() / "missing.jpg", true), distantPast());
    EXPECT_EQ(distantPast().toUTC().date(), QDate(1, 1, 1));
}

} // namespace
