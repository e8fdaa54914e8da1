#include "catalogue/capture_date.h"
#include "catalogue/clip_date.h"
#include "catalogue/pairing_service.h"
#include "catalogue/directory_scanner.h"

#include "testsupport/support.h"

#include <QTimeZone>
#include <QtEndian>

#include <functional>

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

    VORLANE_REQUIRE_TOOLS("convert", "exiftool");
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
        EXPECT_EQ(captureDate(p, DatedAs::Image), expected.isValid() ? expected : fileSystemDate(p)) << name;
    }
    const auto garbage = tree.file("plain.png", "not really a png");
    EXPECT_EQ(captureDate(garbage, DatedAs::Image), fileSystemDate(garbage));
    EXPECT_GT(fileSystemDate(garbage).date().year(), 2000);
    EXPECT_EQ(captureDate(tree.root() / "missing.jpg", DatedAs::Image), distantPast());
    const auto clip = tree.dir("videos") / "clip.mp4"; // a JPEG with EXIF, named as a video
    ASSERT_TRUE(makeJpeg(tree.root() / "clip.jpg", 64, 48, {u"-DateTimeOriginal=2023:07:14 18:30:05"_s}));
    std::filesystem::rename(tree.root() / "clip.jpg", clip); // ImageMagick would write a real MP4 for that name
    const auto result = DirectoryScanner::scan(tree.root() / "videos");
    ASSERT_EQ(result.media.size(), 1);
    EXPECT_EQ(result.media.first().kind, MediaKind::Video);
    EXPECT_EQ(result.media.first().dateTaken, fileSystemDate(clip)) << "the scanner never reads EXIF from a video";
}

// The real camera and phone corpus: the dates the files carry are the ones read, a clip's from its movie header.
TEST(Fixtures, CameraDatesAreReadAndBrokenFilesFallBackToTheFileSystem)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const std::vector<std::tuple<const char *, DatedAs, QDateTime>> rows{
        {"broken/IMG_5952_truncated.CR2", DatedAs::Image, local(2009, 7, 21, 13, 3, 20)},
        // with the camera's sub-seconds: "332084", "75" and "70"
        {"broken/IMG_20200124_231153_truncated.jpg", DatedAs::Image, local(2020, 1, 24, 23, 11, 53).addMSecs(332)},
        {"broken/wrong.heic", DatedAs::Image, local(2013, 3, 5, 17, 29, 26).addMSecs(750)},
        {"broken/Issue 247-1.nef", DatedAs::Image, local(2010, 3, 1, 21, 50, 21).addMSecs(700)},
        {"formats/_unlisted/CRW.CRW", DatedAs::Image, local(2018, 1, 1, 13, 3, 32)},
        {"videos/IMG_7943_HEVC.MOV", DatedAs::Video,
         QDateTime(QDate(2026, 5, 23), QTime(10, 18, 57), QTimeZone::utc())},
        {"videos/VID_20191220_170832.mp4", DatedAs::Video,
         QDateTime(QDate(2019, 12, 20), QTime(20, 8, 34), QTimeZone::utc())},
        // invalid: dated by the file system
        {"broken/empty.jpg", DatedAs::Image, {}},
        {"broken/broken image.JPG", DatedAs::Image, {}},
        {"broken/fixture.orf", DatedAs::Image, {}},
        {"broken/Issue 419.rw2", DatedAs::Image, {}},
        {"videos/pixel7_videoOnly_cleaned.mp4", DatedAs::Video, {}},
        {"videos/fixture-raw.mts", DatedAs::Video, {}},
        {"videos/webm_480.webm", DatedAs::Video, {}},
        {"broken/exiv2-crash/issue_2383_poc.mp4", DatedAs::Video, {}}};
    for (const auto &[relative, kind, expected] : rows) {
        const auto p = fixtures / relative;
        EXPECT_TRUE(!std::filesystem::exists(p)
                    || captureDate(p, kind) == (expected.isValid() ? expected : fileSystemDate(p)))
            << relative;
    }
}

// A clip's date is the creation time of its movie header, when it has one that is set; the header is read
// however the boxes lie (the movie after the media, 64-bit sizes), and a box that lies about its size, a
// header of an unknown version or a time of 0 gives nothing rather than a wrong date.
TEST(ClipDate, TheMovieHeaderDatesAClipAndLiesGiveNothing)
{
    TempTree tree;
    const auto bigEndian = [](quint64 value, int bytes) {
        return QByteArray::fromHex(QByteArray::number(value, 16).rightJustified(2 * bytes, '0'));
    };
    // A box; a large one has 1 for its size and its size in 64 bits after its type.
    const auto box = [&](const char *type, const QByteArray &body, bool large = false) {
        return large ? bigEndian(1, 4) + type + bigEndian(16 + body.size(), 8) + body
                     : bigEndian(8 + body.size(), 4) + type + body;
    };
    // A movie header created and modified at seconds, in 64 bits from version 1 on.
    const auto mvhd = [&](quint8 version, quint64 seconds) {
        const QByteArray time = bigEndian(seconds, version == 1 ? 8 : 4);
        return box("mvhd", bigEndian(version, 1) + QByteArray(3, '\0') + time + time + QByteArray(80, '\0'));
    };
    const quint64 at = 2082844800ULL + 1576872514ULL; // 2019-12-20 20:08:34 UTC in QuickTime seconds
    const QDateTime when = QDateTime::fromSecsSinceEpoch(1576872514, QTimeZone::utc());
    const QByteArray ftyp = box("ftyp", QByteArray("isom\0\0\0\1isom", 12));
    const QByteArray mdat = box("mdat", QByteArray(5000, 'x'));
    const std::vector<std::tuple<const char *, QByteArray, std::optional<QDateTime>>> rows{
        {"plain.mp4", ftyp + box("moov", mvhd(0, at)) + mdat, when},
        {"movie-last.mov", ftyp + mdat + box("moov", box("trak", QByteArray(40, 't')) + mvhd(0, at)), when},
        {"version1.mp4", ftyp + box("mdat", QByteArray(64, 'x'), true) + box("moov", mvhd(1, at)), when},
        {"unset.mp4", ftyp + box("moov", mvhd(0, 0)) + mdat, std::nullopt},
        {"before-1970.mp4", ftyp + box("moov", mvhd(0, 1000)) + mdat, std::nullopt},
        {"version2.mp4", ftyp + box("moov", mvhd(2, at)) + mdat, std::nullopt},
        {"no-moov.mp4", ftyp + mdat, std::nullopt},
        {"truncated.mp4", (ftyp + box("moov", mvhd(0, at))).left(ftyp.size() + 20), std::nullopt},
        {"oversized-child.mp4", ftyp + box("moov", box("trak", "x").replace(3, 1, "\xff") + mvhd(0, at)), {}},
        {"not-iso.mp4", QByteArray("RIFF....AVI LIST") + box("moov", mvhd(0, at)), std::nullopt},
    };
    for (const auto &[name, bytes, expected] : rows) {
        const auto p = tree.file(name, bytes.toStdString());
        EXPECT_EQ(clipCreationTime(p), expected) << name;
        EXPECT_EQ(captureDate(p, DatedAs::Video), expected.value_or(fileSystemDate(p))) << name;
    }
}

// An AVI is dated by the IDIT chunk of its header list, the camera's local wall-clock time like an EXIF date.
// The rows are the corpus's Canon clip as the camera wrote it and altered, and a clip made by ffmpeg, which
// writes no date: a chunk that does not fit, a cut inside the header or text that is not one whole valid date
// gives no date (the file's own time dates the clip), never a wrong one.
struct AviRow
{
    const char *name;
    bool fromCamera; // else a clip made by ffmpeg
    std::function<void(std::string &bytes)> change;
    std::optional<QDateTime> expected;
};
using AviDate = testing::TestWithParam<AviRow>;
using vorlane::test::PrintTo;

// The little-endian size of the chunk named, or of the list of that type (its size comes before the type).
void setSize(std::string &bytes, const char *name, quint32 size, bool list = false)
{
    qToLittleEndian(size, bytes.data() + (list ? bytes.find(name) - 4 : bytes.find(name) + 4));
}
// The IDIT chunk's 26 bytes of text replaced, padded with NULs.
std::function<void(std::string &)> dated(const std::string &text)
{
    return [text](std::string &bytes) {
        bytes.replace(bytes.find("IDIT") + 8, 26, (text + std::string(26, '\0')).substr(0, 26));
    };
}

TEST_P(AviDate, FromTheHeaderOrNone)
{
    const AviRow &row = GetParam();
    TempTree tree;
    std::string bytes;
    if (row.fromCamera) {
        VORLANE_REQUIRE_FIXTURES(fixtures);
        bytes = readFile(fixtures / "videos/MVI_4823.AVI");
        ASSERT_NE(bytes.find("IDIT"), std::string::npos);
    } else {
        VORLANE_REQUIRE_TOOLS("ffmpeg");
        ASSERT_TRUE(ffmpeg(testPattern("64x48"), tree.root() / "made.avi"));
        bytes = readFile(tree.root() / "made.avi");
    }
    row.change(bytes);
    const auto clip = tree.file("MVI_4823.AVI", bytes);
    EXPECT_EQ(recordedDate(clip, DatedAs::Video), row.expected);
    EXPECT_EQ(captureDate(clip, DatedAs::Video), row.expected.value_or(fileSystemDate(clip)));
}
const QDateTime kCanonDate = local(2012, 9, 10, 20, 52, 0);
INSTANTIATE_TEST_SUITE_P(
    Rows, AviDate,
    testing::Values(
        AviRow{"camera", true, [](std::string &) {}, kCanonDate},
        AviRow{"cutInTheMedia", true, [](std::string &b) { b.resize(100000); }, kCanonDate},
        AviRow{"cutInTheDate", true, [](std::string &b) { b.resize(b.find("IDIT") + 20); }, std::nullopt},
        AviRow{"dateLargerThanItsList", true, [](std::string &b) { setSize(b, "IDIT", 0x7ffffff0); }, std::nullopt},
        AviRow{"headerListLargerThanTheFile", true, [](std::string &b) { setSize(b, "hdrl", 0xfffffff0, true); },
               std::nullopt},
        AviRow{"fileEndingBeforeItsHeader", true, [](std::string &b) { setSize(b, "RIFF", 100); }, std::nullopt},
        AviRow{"notAnAvi", true, [](std::string &b) { b.replace(8, 4, "WAVE"); }, std::nullopt},
        AviRow{"lowerCase", true, dated("Mon Sep 10 20:52:00 2012\n"), kCanonDate},
        AviRow{"numeric", true, dated("2012/09/10 20:52:00"), kCanonDate},
        AviRow{"unknownMonth", true, dated("MON SPT 10 20:52:00 2012\n"), std::nullopt},
        AviRow{"noSuchDay", true, dated("MON SEP 31 20:52:00 2012\n"), std::nullopt},
        AviRow{"noSuchHour", true, dated("MON SEP 10 25:52:00 2012\n"), std::nullopt},
        AviRow{"moreAfterTheYear", true, dated("MON SEP 10 20:52:00 2012x"), std::nullopt},
        AviRow{"binary", true, dated(std::string("\xff\x00\x13MON SEP 10 20:52:00 2012", 27)), std::nullopt},
        AviRow{"madeByFfmpeg", false, [](std::string &) {}, std::nullopt}),
    RowName());

// By capture time, a day's photos and clips interleave though the clips were copied later. The clips are made
// by the muxer a camera would use, which writes the movie header's time in UTC.
TEST(ClipDate, PhotosAndClipsOfOneDayInterleave)
{
    VORLANE_REQUIRE_TOOLS("ffmpeg", "convert", "exiftool");
    TempTree tree;
    const QDateTime day(QDate(2019, 12, 20), QTime(9, 0));
    QStringList expected;
    for (int i = 0; i < 4; ++i) {
        const QDateTime at = day.addSecs(i * 600);
        expected.append((i % 2 ? u"VID_%1.mov"_s : u"IMG_%1.jpg"_s).arg(i));
        const auto file = tree.root() / expected.last().toStdString();
        if (i % 2) {
            const QString creation = u"creation_time="_s + at.toUTC().toString(Qt::ISODate);
            ASSERT_TRUE(ffmpeg(testPattern("64x48") + QStringList{u"-metadata"_s, creation}, file));
            EXPECT_EQ(clipCreationTime(file), at.toUTC()) << creation.toStdString();
        } else {
            ASSERT_TRUE(makeJpeg(file, 64, 48, {u"-DateTimeOriginal="_s + at.toString(u"yyyy:MM:dd HH:mm:ss"_s)}));
        }
    }
    QList<MediaPair> pairs = PairingService::pair(DirectoryScanner::scan(tree.root()).media);
    PairingService::sortByDate(pairs);
    QStringList order;
    for (const MediaPair &pair : pairs)
        order.append(pair.primary().displayName());
    EXPECT_EQ(order, expected);
}

} // namespace
