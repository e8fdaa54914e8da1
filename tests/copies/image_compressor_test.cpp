// Copies made end to end from files that real tools write at test time; the outputs are read back with
// vipsheader, exiftool and libvips, never with the code under test.
#include <vips/vips8> // first: GLib's headers must not meet Qt's keyword macros

#include "catalogue/copy_provenance.h"
#include "copies/atomic_file.h"
#include "copies/copy_maker.h"
#include "copies/image_compressor.h"
#include "copies/quality_ladder.h"
#include "core/cancellation.h"
#include "media/ffi/vips_runtime.h"

#include "testsupport/support.h"

#include <QtEndian>
#include <zlib.h>

#include <map>
#include <set>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace vorlane {
namespace {

// A field of a file's header as vipsheader (a reader that is not ours) reports it; empty when absent.
QString field(const fs::path &file, const char *name)
{
    QByteArray out;
    const int status = test::runTool(u"vipsheader"_s, {u"-f"_s, QLatin1StringView(name), test::qpath(file)}, &out);
    return status == 0 ? QString::fromUtf8(out).trimmed() : QString();
}

QSize sizeOf(const fs::path &file) { return {field(file, "width").toInt(), field(file, "height").toInt()}; }

TEST(TargetSize, RoundsHalfAwayFromZeroAndNeverUpscales)
{
    const std::vector<std::pair<QSize, QSize>> rows{{{6000, 4000}, {1920, 1280}}, {{4000, 6000}, {1280, 1920}},
                                                    {{1921, 1080}, {1920, 1079}}, {{4001, 3001}, {1920, 1440}},
                                                    {{1920, 1080}, {1920, 1080}}, {{640, 480}, {640, 480}},
                                                    {{3841, 2}, {1920, 1}},       {{100000, 1}, {1920, 1}}};
    for (const auto &[source, copy] : rows)
        EXPECT_EQ(ImageCompressor::targetSize(source.width(), source.height()), copy) << source.width();
}

// The ladder's boundaries, with an encoder whose output sizes are chosen: quality -> bytes, an absent quality
// fails to encode. The walk may skip rungs, but never encodes one twice, and a stop comes before any encode.
TEST(QualityLadder, PicksTheFirstRungAtOrUnderTheTargetElseTheLastThatEncoded)
{
    const std::vector<std::pair<std::map<int, int64_t>, std::optional<int>>> rows{
        {{{85, 204800}}, 85},               // exactly the target
        {{{85, 204801}, {75, 204800}}, 75}, // one byte over
        {{{85, 900000}, {75, 800000}, {65, 700000}, {55, 600000}, {45, 500000}, {40, 400000}}, 40}, // all over
        {{{85, 400000}, {75, 300000}, {65, 204000}, {55, 150000}, {45, 120000}, {40, 100000}}, 65},
        {{{65, 1000}}, 65},                 // rungs that fail are passed over
        {{{85, 900000}, {55, 300000}}, 55}, // the last that encoded when none fits
        {{}, std::nullopt}};
    for (const auto &[sizes, quality] : rows) {
        std::vector<int> encoded;
        const auto rung = QualityLadder::walk(
            [&](int q) -> std::optional<std::string> {
                encoded.push_back(q);
                return sizes.contains(q) ? std::optional(std::string(size_t(sizes.at(q)), 'x')) : std::nullopt;
            },
            ImageCompressor::targetBytes, {});
        EXPECT_EQ(rung ? std::optional(rung->quality) : std::nullopt, quality);
        EXPECT_TRUE(!rung || int64_t(rung->bytes.size()) == sizes.at(*quality));
        EXPECT_EQ(std::set<int>(encoded.begin(), encoded.end()).size(), encoded.size()) << "a rung encoded twice";
        EXPECT_TRUE(quality != 85 || encoded.size() == 1u) << "a top rung that fits ends the walk";
    }
    const auto walkStoppingAfter = [](int stopAfter, int *encodes) {
        std::stop_source stop;
        if (stopAfter == 0)
            stop.request_stop();
        const auto encode = [&](int) -> std::optional<std::string> {
            if (++*encodes == stopAfter)
                stop.request_stop();
            return std::string(size_t(300000), 'x');
        };
        return QualityLadder::walk(encode, ImageCompressor::targetBytes, stop.get_token());
    };
    int all = 0;
    walkStoppingAfter(-1, &all);
    for (int stopAfter = 0; stopAfter < all; ++stopAfter) {
        int encodes = 0;
        EXPECT_THROW(walkStoppingAfter(stopAfter, &encodes), CancelledError);
        EXPECT_EQ(encodes, stopAfter) << "a stop before a rung ends the walk";
    }
}

class Compress : public testing::Test
{
protected:
    fs::path copyPath(const std::string &stem) const
    {
        return tree.root() / "album" / "album_bside" / (stem + "_bside.jpg");
    }
    fs::path source(const std::string &name) const { return tree.dir("album") / name; }
    size_t copies() const { return size_t(std::distance(fs::directory_iterator(copyPath("x").parent_path()), {})); }
    test::TempTree tree;
};

// Real pictures through the ladder: a smooth one fits at the first rung, a detailed one needs a lower one, and
// noise is written at the floor anyway. Each copy is a baseline JPEG of the copy size without metadata.
TEST_F(Compress, WritesTheRungThePictureNeeds)
{
    const std::vector<std::tuple<QStringList, QSize, int, bool>> rows{
        // picture, copy size, rung (0: below 85), over
        {{u"-size"_s, u"3000x2000"_s, u"gradient:navy-orange"_s}, {1920, 1280}, 85, false},
        {{u"-size"_s, u"1921x1280"_s, u"plasma:fractal"_s}, {1920, 1279}, 0, false},
        {{u"-size"_s, u"1280x1920"_s, u"xc:"_s, u"+noise"_s, u"Random"_s}, {1280, 1920}, 40, true}};
    for (const auto &[picture, size, quality, overTarget] : rows) {
        SCOPED_TRACE(picture.join(u' ').toStdString());
        ASSERT_TRUE(test::magick(picture + QStringList{u"-quality"_s, u"92"_s}, source("IMG_1.JPG")));
        const auto info = ImageCompressor::compress(source("IMG_1.JPG"), copyPath("IMG_1"), std::nullopt, {});
        EXPECT_EQ(QSize(info.width, info.height), size);
        EXPECT_TRUE(quality ? info.quality == quality : info.quality < 85) << info.quality;
        EXPECT_EQ(info.bytes > ImageCompressor::targetBytes, overTarget);
        EXPECT_EQ(int64_t(fs::file_size(copyPath("IMG_1"))), info.bytes);
        EXPECT_EQ(field(copyPath("IMG_1"), "vips-loader"), u"jpegload"_s);
        EXPECT_EQ(sizeOf(copyPath("IMG_1")), size);
        EXPECT_TRUE(field(copyPath("IMG_1"), "exif-data").isEmpty());
    }
}

// A copy cancelled before it starts leaves an earlier copy as it was; a finished one replaces it, with no
// metadata at all and no temporary file left.
TEST_F(Compress, CancelKeepsTheEarlierCopyAndACopyReplacesItWithoutMetadata)
{
    ASSERT_TRUE(test::makeJpeg(source("IMG_2.jpg"), 800, 600,
                               {u"-DateTimeOriginal=2024:05:01 09:12:00"_s, u"-GPSLatitude=48.8"_s, u"-Make=Test"_s}));
    tree.file("album/album_bside/IMG_2_bside.jpg", "an older copy");
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(ImageCompressor::compress(source("IMG_2.jpg"), copyPath("IMG_2"), std::nullopt, stop.get_token()),
                 CancelledError);
    EXPECT_EQ(test::readFile(copyPath("IMG_2")), "an older copy");
    EXPECT_EQ(copies(), 1u);
    EXPECT_EQ(ImageCompressor::compress(source("IMG_2.jpg"), copyPath("IMG_2"), std::nullopt, {}).width, 800);
    EXPECT_EQ(copies(), 1u) << "no temporary file is left";
    QByteArray tags; // the values of every tag there is: the one comment naming the original, as others read it
    ASSERT_EQ(test::runTool(u"exiftool"_s,
                            {u"-s3"_s, u"-EXIF:all"_s, u"-XMP:all"_s, u"-ICC_Profile:all"_s, u"-Comment"_s,
                             test::qpath(copyPath("IMG_2"))},
                            &tags),
              0);
    EXPECT_EQ(tags.trimmed(), CopyProvenance::toText({{*CopyProvenance::fully(source("IMG_2.jpg"))}}));
}

// A RAW+JPEG pair is copied from its JPEG; when that cannot be decoded, from the RAW's own full-size preview.
// (That the JPEG is what is decoded first shows in the too-large pair below and in the command line's copy.)
TEST_F(Compress, PairIsCopiedFromItsRawWhenItsImageDoesNotDecode)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    fs::copy_file(fixtures / "formats/nef/NIKON_D7100_head.nef", source("DSC_1.NEF"));
    tree.file("album/DSC_1.JPG", "cut off before its first scan line");
    const auto info = ImageCompressor::compress(source("DSC_1.NEF"), copyPath("DSC_1"), source("DSC_1.JPG"), {});
    EXPECT_EQ(QSize(info.width, info.height), QSize(1920, 1280));
    EXPECT_EQ(sizeOf(copyPath("DSC_1")), QSize(1920, 1280));
}

// Upright: 96 x 48, red on the left half's top quarter, blue everywhere else. For each EXIF Orientation the
// source stores it turned by the ImageMagick operation that the tag undoes.
TEST_F(Compress, EveryOrientationComesOutUprightWithoutTheTag)
{
    VipsRuntime::ensureStarted();
    const std::vector<const char *> stored{"",           "-flop",       "-rotate 180", "-flip",
                                           "-transpose", "-rotate -90", "-transverse", "-rotate 90"};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        QStringList args{
            u"-size"_s, u"96x48"_s, u"xc:blue"_s, u"-fill"_s, u"red"_s, u"-draw"_s, u"rectangle 0,0 47,11"_s};
        args += QString::fromLatin1(stored[size_t(orientation - 1)]).split(u' ', Qt::SkipEmptyParts);
        ASSERT_TRUE(test::magick(args + QStringList{u"-quality"_s, u"95"_s}, source("IMG_4.jpg")));
        ASSERT_TRUE(test::setExif(source("IMG_4.jpg"), {u"-Orientation#="_s + QString::number(orientation)}));
        ImageCompressor::compress(source("IMG_4.jpg"), copyPath("IMG_4"), std::nullopt, {});
        EXPECT_EQ(sizeOf(copyPath("IMG_4")), QSize(96, 48));
        EXPECT_TRUE(field(copyPath("IMG_4"), "orientation").isEmpty());
        const vips::VImage copy = vips::VImage::new_from_file(copyPath("IMG_4").c_str());
        const vips::VImage corner = copy.extract_area(4, 2, 36, 6), far = copy.extract_area(60, 30, 30, 14);
        EXPECT_TRUE(corner.extract_band(0).avg() > 200 && corner.extract_band(2).avg() < 60) << "red top left";
        EXPECT_TRUE(far.extract_band(0).avg() < 60 && far.extract_band(2).avg() > 200) << "blue elsewhere";
    }
}

// A copy that could not be written, or whose original cannot be read, is no sign of a broken original: the
// discard never offers to take it without a copy. A failed write names the folder it could not make.
TEST_F(Compress, AFailedWriteOrReadIsNotABrokenOriginal)
{
    ASSERT_TRUE(test::makeJpeg(source("IMG_8.jpg"), 320, 200));
    tree.file("album/album_bside", "a plain file where the folder belongs");
    const CopyOutcome blocked = makeCopy(CopyRequest{source("IMG_8.jpg"), copyPath("IMG_8"), std::nullopt, false}, {});
    EXPECT_EQ(blocked.result, CopyOutcome::Result::Failed);
    EXPECT_FALSE(blocked.undecodable) << blocked.message.toStdString();
    EXPECT_TRUE(blocked.message.contains(u"album_bside"_s)) << blocked.message.toStdString();
    const CopyOutcome gone = makeCopy(CopyRequest{source("missing.jpg"), copyPath("missing"), std::nullopt, false}, {});
    EXPECT_EQ(gone.result, CopyOutcome::Result::Failed);
    EXPECT_FALSE(gone.undecodable) << "a file that cannot be read is not a broken picture";
}

// A baseline JPEG of any area is copied, decoded at 1/8 and averaged further as its rows come (never held
// whole, nor even at 1/8 when that is still large): 21000 x 20100, and a 65000 x 200 strip. Each is black on
// its left half and white on its right, so the copy shows whether its columns stayed where they were.
TEST_F(Compress, BaselineJpegsOfAnyAreaAreCopied)
{
    VipsRuntime::ensureStarted();
    const fs::path halves = tree.root() / "halves.png";
    ASSERT_TRUE(test::magick({u"-size"_s, u"1x1"_s, u"xc:black"_s, u"xc:white"_s, u"+append"_s}, halves));
    const std::vector<std::tuple<const char *, QSize, QSize>> rows{{"IMG_big.jpg", {21000, 20100}, {1920, 1838}},
                                                                   {"IMG_strip.jpg", {65000, 200}, {1920, 6}}};
    for (const auto &[name, size, copySize] : rows) {
        SCOPED_TRACE(name);
        // A few MiB at quality 5, written as libvips streams it.
        ASSERT_EQ(test::runTool(u"vips"_s,
                                {u"zoom"_s, test::qpath(halves), test::qpath(source(name)) + u"[Q=5]"_s,
                                 QString::number(size.width() / 2), QString::number(size.height())}),
                  0);
        ASSERT_EQ(sizeOf(source(name)), size);
        const std::string stem = fs::path(name).stem().string();
        const CopyOutcome outcome = makeCopy(CopyRequest{source(name), copyPath(stem), std::nullopt, false}, {});
        ASSERT_EQ(outcome.result, CopyOutcome::Result::Completed) << outcome.message.toStdString();
        EXPECT_EQ(QSize(outcome.copy.width, outcome.copy.height), copySize);
        EXPECT_EQ(field(copyPath(stem), "vips-loader"), u"jpegload"_s);
        EXPECT_EQ(sizeOf(copyPath(stem)), copySize);
        const vips::VImage copy = vips::VImage::new_from_file(copyPath(stem).c_str());
        const int quarter = copy.width() / 4;
        EXPECT_LT(copy.extract_area(0, 0, quarter, copy.height()).avg(), 30) << "black on the left";
        EXPECT_GT(copy.extract_area(copy.width() - quarter, 0, quarter, copy.height()).avg(), 225)
            << "white on the right";
        fs::remove(source(name));
    }
}

// A picture over a decode's memory budget fails as too large to copy, and is not taken for a broken file: the
// discard never offers to take it without a copy. Its header says so before any pixel is decoded: a
// progressive JPEG whose coefficients would take 1.2 GB, a JPEG wider than libjpeg's 65,500 pixels, a PNG of
// 50,000 x 50,000; also as the image of a RAW+image pair whose RAW cannot be decoded. A damaged file counts
// as broken: empty, text, a JPEG cut in its scan data or just after its header, and a header claiming 30000 x
// 20000 over a few KiB of data. The headers are written over small files that ImageMagick made. Either way the
// message names the file and no copy folder is made.
TEST_F(Compress, OverTheMemoryBudgetIsTooLargeToCopyDamagedIsBroken)
{
    const auto made = [&](const QStringList &args, const char *name) {
        EXPECT_TRUE(test::magick(args, source(name)));
        return test::readFile(source(name));
    };
    const std::string progressive
        = made({u"-size"_s, u"64x64"_s, u"plasma:fractal"_s, u"-interlace"_s, u"JPEG"_s}, "progressive.jpg");
    const std::string baseline = made({u"-size"_s, u"64x64"_s, u"plasma:fractal"_s}, "baseline.jpg");
    const std::string png = made({u"-size"_s, u"64x64"_s, u"xc:white"_s}, "white.png");
    std::string truncated = made({u"-size"_s, u"1200x900"_s, u"plasma:fractal"_s, u"-quality"_s, u"90"_s}, "full.jpg");
    truncated.resize(60000);

    const auto withPngSize = [](std::string bytes, uint32_t width, uint32_t height) {
        EXPECT_EQ(bytes.substr(12, 4), "IHDR");
        auto *ihdr = reinterpret_cast<unsigned char *>(bytes.data()) + 12;
        qToBigEndian(width, ihdr + 4);
        qToBigEndian(height, ihdr + 8);
        qToBigEndian(uint32_t(crc32(0, ihdr, 17)), ihdr + 17);
        return bytes;
    };
    // name, bytes, too large (else broken), the RAW of the pair it is the picture of (which holds none)
    const std::vector<std::tuple<const char *, std::string, bool, const char *>> rows{
        {"progressive.jpg", test::withJpegSize(progressive, 20000, 20000), true, nullptr},
        {"beyondLibjpeg.jpg", test::withJpegSize(baseline, 65535, 64), true, nullptr},
        {"bomb.png", withPngSize(png, 50000, 50000), true, nullptr},
        {"IMG_1.JPG", test::withJpegSize(progressive, 20000, 20000), true, "IMG_1.CR2"},
        {"empty.jpg", "", false, nullptr},
        {"text.jpg", "not a picture at all\n", false, nullptr},
        {"truncated.jpg", truncated, false, nullptr},
        {"headerOnly.jpg", truncated.substr(0, 700), false, nullptr},
        {"claimsHuge.jpg", test::withJpegSize(baseline, 30000, 20000), false, nullptr},
        {"IMG_2.JPG", truncated, false, "IMG_2.CR2"}};
    for (const auto &[name, bytes, tooLarge, raw] : rows) {
        SCOPED_TRACE(name);
        tree.file(std::string("album/") + name, bytes);
        CopyRequest request{source(name), copyPath("x"), std::nullopt, false};
        if (raw) {
            request.source = tree.file(std::string("album/") + raw, "no picture in here");
            request.preferSource = source(name);
        }
        const CopyOutcome outcome = makeCopy(request, {});
        EXPECT_EQ(outcome.result, CopyOutcome::Result::Failed);
        EXPECT_EQ(outcome.undecodable, !tooLarge) << outcome.message.toStdString();
        EXPECT_EQ(outcome.message.contains(u"too large to copy"_s), tooLarge) << outcome.message.toStdString();
        EXPECT_TRUE(outcome.message.contains(QString::fromUtf8(name))) << outcome.message.toStdString();
        EXPECT_FALSE(fs::exists(copyPath("x").parent_path()));
    }
}

// What interrupted copies leave behind: the hidden temporary files that copies are written through.
TEST(StalePartials, OnlyLeftoversOfDeadWritersGo)
{
    test::TempTree tree;
    const fs::path folder = tree.dir("a_bside");
    const fs::path leftover = tree.file("a_bside/.IMG_1_bside.jpg.part-Ab3dEf", "half a copy");
    const fs::path young = tree.file("a_bside/.IMG_2_bside.jpg.part-Gh5jKl", "just made");
    const fs::path other = tree.file("a_bside/.notes.txt", "not ours");
    const fs::path copy = tree.file("a_bside/IMG_3_bside.jpg", "a finished copy");
    PendingFile running(folder / "IMG_4_bside.mp4"); // a copy still being written, for minutes already
    for (const fs::path &file : {leftover, other, copy, running.path()})
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::hours(1));

    EXPECT_EQ(removeStalePartials(folder), 1);
    EXPECT_FALSE(fs::exists(leftover));
    for (const fs::path &file : {young, other, copy, running.path()})
        EXPECT_TRUE(fs::exists(file)) << file;
    EXPECT_EQ(removeStalePartials(tree.root() / "missing_bside"), 0);
}

} // namespace
} // namespace vorlane
