// Copies made end to end from files that real tools write at test time; the outputs are read back with
// vipsheader and libvips, never with the code under test.
#include "image_test_support.h"

#include "media/cancellation.h"
#include "copies/copy_error.h"
#include "copies/image_compressor.h"
#include "copies/quality_ladder.h"
#include "testsupport/media_maker.h"
#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace vorlane {
namespace {

using Reason = CopyError::Reason;

// ---- the size rule ----

struct SizeRow
{
    int w, h, expectedW, expectedH;
};
class TargetSizeTest : public testing::TestWithParam<SizeRow>
{
};
TEST_P(TargetSizeTest, RoundsHalfAwayFromZeroAndNeverUpscales)
{
    const SizeRow row = GetParam();
    EXPECT_EQ(ImageCompressor::targetSize(row.w, row.h), QSize(row.expectedW, row.expectedH));
}
INSTANTIATE_TEST_SUITE_P(Rows, TargetSizeTest,
                         testing::Values(SizeRow{6000, 4000, 1920, 1280}, SizeRow{4000, 6000, 1280, 1920},
                                         SizeRow{1921, 1080, 1920, 1079}, SizeRow{4001, 3001, 1920, 1440},
                                         SizeRow{1920, 1080, 1920, 1080}, SizeRow{640, 480, 640, 480},
                                         SizeRow{3841, 2, 1920, 1}, SizeRow{100000, 1, 1920, 1}));

// ---- the ladder's boundaries, with an encoder whose output sizes are chosen ----

struct LadderRow
{
    const char *name;
    std::map<int, int64_t> sizes; // quality -> bytes; absent = that rung fails to encode
    std::optional<int> expectedQuality;
    int expectedEncodes;
};
class QualityLadderTest : public testing::TestWithParam<LadderRow>
{
};
TEST_P(QualityLadderTest, PicksFirstRungAtOrUnderTargetElseTheLast)
{
    const LadderRow row = GetParam();
    int encodes = 0;
    const auto rung = QualityLadder::walk(
        [&](int quality) -> std::optional<std::string> {
            ++encodes;
            const auto it = row.sizes.find(quality);
            if (it == row.sizes.end())
                return std::nullopt;
            return std::string(size_t(it->second), 'x');
        },
        ImageCompressor::targetBytes, {});
    EXPECT_EQ(encodes, row.expectedEncodes);
    ASSERT_EQ(rung.has_value(), row.expectedQuality.has_value());
    if (rung) {
        EXPECT_EQ(rung->quality, *row.expectedQuality);
        EXPECT_EQ(int64_t(rung->bytes.size()), row.sizes.at(*row.expectedQuality));
    }
}
INSTANTIATE_TEST_SUITE_P(
    Rows, QualityLadderTest,
    testing::Values(
        LadderRow{"exactTargetAcceptedAtOnce", {{85, 204800}}, 85, 1},
        LadderRow{"oneByteOverMovesOn", {{85, 204801}, {75, 204800}}, 75, 2},
        LadderRow{"allOverKeepsTheLast",
                  {{85, 900000}, {75, 800000}, {65, 700000}, {55, 600000}, {45, 500000}, {40, 400000}}, 40, 6},
        LadderRow{"failedRungsAreSkipped", {{65, 1000}}, 65, 3},
        LadderRow{"lastSuccessfulWhenTheFloorFails", {{85, 900000}, {55, 300000}}, 55, 6},
        LadderRow{"nothingEncodes", {}, std::nullopt, 6}),
    [](const auto &row) { return std::string(row.param.name); });

TEST(QualityLadder, StopBeforeARungEndsTheWalk)
{
    for (int stopAfter = 0; stopAfter < 6; ++stopAfter) {
        std::stop_source stop;
        int encodes = 0;
        if (stopAfter == 0)
            stop.request_stop();
        EXPECT_THROW(QualityLadder::walk(
                         [&](int) -> std::optional<std::string> {
                             if (++encodes == stopAfter)
                                 stop.request_stop();
                             return std::string(size_t(300000), 'x');
                         },
                         ImageCompressor::targetBytes, stop.get_token()),
                     CancelledError);
        EXPECT_EQ(encodes, stopAfter);
    }
}

// ---- real encodes ----

class CompressTest : public testing::Test
{
protected:
    fs::path copyPath(const std::string &stem) const { return tree.root() / "album" / "album_bside" / (stem + "_bside.jpg"); }

    test::TempTree tree;
};

struct LadderFileRow
{
    const char *name;
    QStringList convertArgs; // ImageMagick arguments that draw the source picture
    int expectedW, expectedH;
    int expectedQuality; // 0 = some rung below the first
    bool expectOverTarget;
};
class CompressLadderTest : public CompressTest, public testing::WithParamInterface<LadderFileRow>
{
};
TEST_P(CompressLadderTest, WritesTheRungThePictureNeeds)
{
    const LadderFileRow row = GetParam();
    const fs::path source = tree.dir("album") / "IMG_1.JPG";
    ASSERT_TRUE(test::magick(row.convertArgs + QStringList{u"-quality"_s, u"92"_s}, source));
    const auto info = ImageCompressor::compress(source, copyPath("IMG_1"), std::nullopt, {});

    EXPECT_EQ(info.width, row.expectedW);
    EXPECT_EQ(info.height, row.expectedH);
    if (row.expectedQuality != 0)
        EXPECT_EQ(info.quality, row.expectedQuality);
    else
        EXPECT_LT(info.quality, 85);
    EXPECT_EQ(info.bytes > ImageCompressor::targetBytes, row.expectOverTarget);
    EXPECT_EQ(int64_t(fs::file_size(copyPath("IMG_1"))), info.bytes);

    const auto header = test::readHeader(copyPath("IMG_1"));
    EXPECT_EQ(header.loader, "jpegload");
    EXPECT_EQ(header.width, row.expectedW);
    EXPECT_EQ(header.height, row.expectedH);
    EXPECT_FALSE(header.hasExif);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, CompressLadderTest,
    testing::Values(
        LadderFileRow{"smoothFitsAtTheFirstRung", {u"-size"_s, u"3000x2000"_s, u"gradient:navy-orange"_s}, 1920, 1280, 85, false},
        LadderFileRow{"detailedNeedsALowerRung", {u"-size"_s, u"1921x1280"_s, u"plasma:fractal"_s}, 1920, 1279, 0, false},
        LadderFileRow{"noiseIsWrittenAtTheFloorAnyway",
                      {u"-size"_s, u"1280x1920"_s, u"xc:"_s, u"+noise"_s, u"Random"_s}, 1280, 1920, 40, true}),
    [](const auto &row) { return std::string(row.param.name); });

TEST_F(CompressTest, MetadataIsDroppedAndTheCopyReplacesAnEarlierOne)
{
    const fs::path source = tree.dir("album") / "IMG_2.jpg";
    ASSERT_TRUE(test::makeJpeg(source, 800, 600,
                               {u"-DateTimeOriginal=2024:05:01 09:12:00"_s, u"-GPSLatitude=48.8"_s, u"-Make=Test"_s}));
    tree.file("album/album_bside/IMG_2_bside.jpg", "an older copy");
    const auto info = ImageCompressor::compress(source, copyPath("IMG_2"), std::nullopt, {});
    EXPECT_EQ(info.width, 800);
    QByteArray tags;
    ASSERT_EQ(test::runTool(u"exiftool"_s, {u"-s"_s, u"-EXIF:all"_s, u"-XMP:all"_s, u"-ICC_Profile:all"_s,
                                            test::qpath(copyPath("IMG_2"))},
                            &tags),
              0);
    EXPECT_TRUE(tags.trimmed().isEmpty()) << tags.toStdString();
    EXPECT_EQ(test::listFolder(copyPath("IMG_2").parent_path()), std::vector<fs::path>{"IMG_2_bside.jpg"});
}

// A stop token that could be used (as every copy job's is) connects the decode to libvips' progress signal.
// Formats whose decode ends in a picture replaced by its rendered copy once disconnected that signal from
// freed memory: GLib criticals, and a crash under GLib's plain allocator (the test environment's).
struct StoppableRow
{
    const char *file;
    QStringList convertArgs;
};
class StoppableCompressTest : public CompressTest, public testing::WithParamInterface<StoppableRow>
{
};
TEST_P(StoppableCompressTest, CompressesWithALiveStopToken)
{
    const StoppableRow row = GetParam();
    const fs::path source = tree.dir("album") / row.file;
    ASSERT_TRUE(test::magick(row.convertArgs, source));
    std::stop_source stop;
    const auto info = ImageCompressor::compress(source, copyPath("copy"), std::nullopt, stop.get_token());
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(test::readHeader(copyPath("copy")).width, 640);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, StoppableCompressTest,
    testing::Values(StoppableRow{"black.jpg", {u"-size"_s, u"640x480"_s, u"xc:black"_s}},
                    StoppableRow{"grey.jpg", {u"-size"_s, u"640x480"_s, u"gradient:"_s, u"-colorspace"_s, u"Gray"_s}},
                    StoppableRow{"a.gif", {u"-size"_s, u"640x480"_s, u"plasma:"_s}},
                    StoppableRow{"a.tif", {u"-size"_s, u"640x480"_s, u"plasma:"_s}},
                    StoppableRow{"a.webp", {u"-size"_s, u"640x480"_s, u"plasma:"_s}},
                    StoppableRow{"a.bmp", {u"-size"_s, u"640x480"_s, u"plasma:"_s}}),
    [](const auto &row) {
        std::string name = row.param.file;
        name[name.find('.')] = '_';
        return name;
    });

TEST_F(CompressTest, PreferredSourceIsDecodedAndTheMissingSourceNeverOpened)
{
    const fs::path preferred = tree.dir("album") / "IMG_3.JPG";
    ASSERT_TRUE(test::makeJpeg(preferred, 640, 480));
    const auto info = ImageCompressor::compress(tree.root() / "album" / "IMG_3.CR2", copyPath("IMG_3"), preferred, {});
    EXPECT_EQ(info.width, 640);
    EXPECT_EQ(test::readHeader(copyPath("IMG_3")).width, 640);
}

struct OrientationRow
{
    int orientation;
    const char *undo; // ImageMagick operation that turns the upright picture into the stored one
};
class OrientationTest : public CompressTest, public testing::WithParamInterface<OrientationRow>
{
};
TEST_P(OrientationTest, PixelsComeOutUprightWithoutTheTag)
{
    // Upright: 96 x 48, red on the left half's top quarter, blue everywhere else.
    const OrientationRow row = GetParam();
    const fs::path source = tree.dir("album") / "IMG_4.jpg";
    QStringList args{u"-size"_s, u"96x48"_s, u"xc:blue"_s, u"-fill"_s, u"red"_s, u"-draw"_s, u"rectangle 0,0 47,11"_s};
    if (*row.undo)
        args += QString::fromLatin1(row.undo).split(u' ');
    ASSERT_TRUE(test::magick(args + QStringList{u"-quality"_s, u"95"_s}, source));
    ASSERT_TRUE(test::setExif(source, {u"-Orientation#="_s + QString::number(row.orientation)}));

    ImageCompressor::compress(source, copyPath("IMG_4"), std::nullopt, {});
    const auto header = test::readHeader(copyPath("IMG_4"));
    EXPECT_EQ(header.width, 96);
    EXPECT_EQ(header.height, 48);
    EXPECT_FALSE(header.hasOrientation);
    const auto corner = test::meanColour(copyPath("IMG_4"), 4, 2, 36, 6);
    const auto far = test::meanColour(copyPath("IMG_4"), 60, 30, 30, 14);
    EXPECT_GT(corner[0], 200);
    EXPECT_LT(corner[2], 60);
    EXPECT_LT(far[0], 60);
    EXPECT_GT(far[2], 200);
}
INSTANTIATE_TEST_SUITE_P(Rows, OrientationTest,
                         testing::Values(OrientationRow{1, ""}, OrientationRow{2, "-flop"}, OrientationRow{3, "-rotate 180"},
                                         OrientationRow{4, "-flip"}, OrientationRow{5, "-transpose"},
                                         OrientationRow{6, "-rotate -90"}, OrientationRow{7, "-transverse"},
                                         OrientationRow{8, "-rotate 90"}));

TEST_F(CompressTest, CancelledBeforeStartWritesNothingAndKeepsTheEarlierCopy)
{
    const fs::path source = tree.dir("album") / "IMG_5.jpg";
    ASSERT_TRUE(test::makeJpeg(source, 320, 200));
    tree.file("album/album_bside/IMG_5_bside.jpg", "earlier");
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(ImageCompressor::compress(source, copyPath("IMG_5"), std::nullopt, stop.get_token()), CancelledError);
    std::ifstream in(copyPath("IMG_5"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "earlier");
    EXPECT_EQ(test::listFolder(copyPath("IMG_5").parent_path()).size(), 1u);
}

TEST_F(CompressTest, FolderThatCannotBeMadeThrowsTheFileSystemError)
{
    const fs::path source = tree.dir("album") / "IMG_7.jpg";
    ASSERT_TRUE(test::makeJpeg(source, 320, 200));
    tree.file("album/album_bside", "a plain file where the folder belongs");
    try {
        ImageCompressor::compress(source, copyPath("IMG_7"), std::nullopt, {});
        FAIL() << "a copy was made";
    } catch (const CopyError &error) {
        EXPECT_EQ(error.reason(), Reason::WriteFailed);
        EXPECT_NE(std::string(error.what()).find("album_bside"), std::string::npos) << "names the folder";
    }
}

struct BrokenRow
{
    const char *name;
    std::string content; // written as is; empty with a generator below
    QStringList convertArgs;
    int truncateTo; // > 0: cut the generated file to this many bytes
};
class BrokenInputTest : public CompressTest, public testing::WithParamInterface<BrokenRow>
{
};
TEST_P(BrokenInputTest, FailsAsDecodeFailedAndLeavesNothingBehind)
{
    const BrokenRow row = GetParam();
    const fs::path source = tree.dir("album") / (std::string(row.name) + ".jpg");
    if (!row.convertArgs.isEmpty()) {
        ASSERT_TRUE(test::magick(row.convertArgs, source));
        if (row.truncateTo > 0)
            fs::resize_file(source, uintmax_t(row.truncateTo));
    } else {
        tree.file("album/" + std::string(row.name) + ".jpg", row.content);
    }
    try {
        ImageCompressor::compress(source, copyPath(row.name), std::nullopt, {});
        FAIL() << "a copy was made";
    } catch (const CopyError &error) {
        EXPECT_EQ(error.reason(), Reason::DecodeFailed);
        EXPECT_NE(std::string(error.what()).find(row.name), std::string::npos) << error.what();
    }
    EXPECT_FALSE(fs::exists(copyPath(row.name).parent_path()));
}
INSTANTIATE_TEST_SUITE_P(
    Rows, BrokenInputTest,
    testing::Values(BrokenRow{"empty", "", {}, 0}, BrokenRow{"text", "not a picture at all\n", {}, 0},
                    BrokenRow{"truncatedScan", "", {u"-size"_s, u"1200x900"_s, u"plasma:fractal"_s, u"-quality"_s, u"90"_s}, 60000},
                    BrokenRow{"headerOnly", "", {u"-size"_s, u"600x400"_s, u"plasma:fractal"_s}, 700}),
    [](const auto &row) { return std::string(row.param.name); });

uint32_t crc32(const unsigned char *data, size_t size)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

TEST_F(CompressTest, DecompressionBombFailsCleanlyOnItsHeader)
{
    // A tiny PNG whose header claims 50,000 x 50,000 pixels (IHDR rewritten, checksum fixed).
    const fs::path source = tree.dir("album") / "bomb.png";
    ASSERT_TRUE(test::magick({u"-size"_s, u"64x64"_s, u"xc:white"_s}, source));
    std::string bytes;
    {
        std::ifstream in(source, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    ASSERT_EQ(bytes.substr(12, 4), "IHDR");
    auto *ihdr = reinterpret_cast<unsigned char *>(bytes.data()) + 12;
    for (int field = 0; field < 2; ++field) {
        const uint32_t side = 50000;
        for (int b = 0; b < 4; ++b)
            ihdr[4 + field * 4 + b] = (side >> (24 - 8 * b)) & 0xFF;
    }
    const uint32_t crc = crc32(ihdr, 17);
    for (int b = 0; b < 4; ++b)
        ihdr[17 + b] = (crc >> (24 - 8 * b)) & 0xFF;
    std::ofstream(source, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(test::readHeader(source).width, 50000);

    try {
        ImageCompressor::compress(source, copyPath("bomb"), std::nullopt, {});
        FAIL() << "a copy was made";
    } catch (const CopyError &error) {
        EXPECT_EQ(error.reason(), Reason::DecodeFailed);
        EXPECT_NE(std::string(error.what()).find("too large"), std::string::npos) << error.what();
    }
}

} // namespace
} // namespace vorlane
