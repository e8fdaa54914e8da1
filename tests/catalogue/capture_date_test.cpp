#include "catalogue/capture_date.h"
#include "catalogue/directory_scanner.h"

#include "testsupport/support.h"

using namespace vorlane;
using namespace vorlane::test;
using namespace Qt::StringLiterals;

namespace {

QDateTime local(int y, int mo, int d, int h, int mi, int s) { return QDateTime(QDate(y, mo, d), QTime(h, mi, s)); }

// Only the exact EXIF pattern parses, as local wall-clock time. The original date wins; the digitized one
// counts only when no original string exists (an unparseable one falls to the file system); a file with no
// EXIF, or none at all, is dated by the file system, and so is a video even when its bytes carry EXIF.
TEST(CaptureDate, OriginalThenDigitizedThenTheFileSystem)
{
    EXPECT_EQ(*parseExifDate(u"2023:07:14 18:30:05"_s), local(2023, 7, 14, 18, 30, 5));
    EXPECT_TRUE(parseExifDate(u"1601:01:01 00:00:00"_s));
    for (const char *text :
         {"0000:00:00 00:00:00", "2023-07-14 18:30:05", "2023:02:30 10:00:00", "2023:07:14", "    :  :     :  :  ", ""})
        EXPECT_FALSE(parseExifDate(QString::fromLatin1(text))) << text;

    if (!haveTool("convert") || !haveTool("exiftool"))
        GTEST_SKIP() << "ImageMagick and exiftool are needed";
    TempTree tree;
    const QString original = u"-DateTimeOriginal=2023:07:14 18:30:05"_s,
                  digitized = u"-CreateDate=2021:03:04 05:06:07"_s;
    const std::vector<std::tuple<const char *, QStringList, QDateTime>> rows{
        {"both.jpg", {original, digitized}, local(2023, 7, 14, 18, 30, 5)},
        {"digitized.jpg", {digitized}, local(2021, 3, 4, 5, 6, 7)},
        // A burst's frames within one second, told apart by the sub-second tag of the date used.
        {"subsecond.jpg", {original, u"-SubSecTimeOriginal=25"_s, digitized, u"-SubSecTimeDigitized=9"_s},
         local(2023, 7, 14, 18, 30, 5).addMSecs(250)},
        {"digitized-subsecond.jpg", {digitized, u"-SubSecTimeDigitized=005"_s}, local(2021, 3, 4, 5, 6, 7).addMSecs(5)},
        {"zeros.jpg", {u"-DateTimeOriginal#=0000:00:00 00:00:00"_s, digitized}, QDateTime()}};
    for (const auto &[name, tags, expected] : rows) {
        const auto p = tree.root() / name;
        ASSERT_TRUE(makeJpeg(p, 64, 48, tags));
        EXPECT_EQ(captureDate(p, true), expected.isValid() ? expected : fileSystemDate(p)) << name;
    }
    const auto garbage = tree.file("plain.png", "not really a png");
    EXPECT_EQ(captureDate(garbage, true), fileSystemDate(garbage));
    EXPECT_GT(fileSystemDate(garbage).date().year(), 2000);
    EXPECT_EQ(captureDate(tree.root() / "missing.jpg", true), distantPast());
    EXPECT_EQ(distantPast().toUTC().date(), QDate(1, 1, 1));
    const auto clip = tree.dir("videos") / "clip.mp4"; // a JPEG with EXIF, named as a video
    ASSERT_TRUE(makeJpeg(tree.root() / "clip.jpg", 64, 48, {u"-DateTimeOriginal=2023:07:14 18:30:05"_s}));
    std::filesystem::rename(tree.root() / "clip.jpg", clip); // ImageMagick would write a real MP4 for that name
    const auto result = DirectoryScanner::scan(tree.root() / "videos");
    ASSERT_EQ(result.media.size(), 1);
    EXPECT_EQ(result.media.first().kind, MediaKind::Video);
    EXPECT_EQ(result.media.first().dateTaken, fileSystemDate(clip)) << "the scanner never reads EXIF from a video";
}

// The real camera and phone corpus: the dates the files carry are the ones read.
TEST(Fixtures, CameraDatesAreReadAndBrokenFilesFallBackToTheFileSystem)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const std::vector<std::pair<const char *, QDateTime>> rows{
        {"broken/IMG_5952_truncated.CR2", local(2009, 7, 21, 13, 3, 20)},
        // with the camera's sub-seconds: "332084", "75" and "70"
        {"broken/IMG_20200124_231153_truncated.jpg", local(2020, 1, 24, 23, 11, 53).addMSecs(332)},
        {"broken/wrong.heic", local(2013, 3, 5, 17, 29, 26).addMSecs(750)},
        {"broken/Issue 247-1.nef", local(2010, 3, 1, 21, 50, 21).addMSecs(700)},
        {"formats/_unlisted/CRW.CRW", local(2018, 1, 1, 13, 3, 32)},
        // invalid: dated by the file system
        {"broken/empty.jpg", {}},
        {"broken/broken image.JPG", {}},
        {"broken/fixture.orf", {}},
        {"broken/Issue 419.rw2", {}}};
    for (const auto &[relative, expected] : rows) {
        const auto p = fixtures / relative;
        EXPECT_TRUE(!std::filesystem::exists(p)
                    || captureDate(p, true) == (expected.isValid() ? expected : fileSystemDate(p)))
            << relative;
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
