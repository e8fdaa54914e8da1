// The shared decode entry point: every still format of the classifier's sets, HEIF orientation, and the
// damaged files of the fixture corpus.
#include "image_test_support.h"

#include "media/decode_error.h"
#include "media/image_decoder.h"
#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace vorlane {
namespace {

struct FormatRow
{
    const char *file;
    QStringList extraArgs; // ImageMagick options before the output (alpha, depth, frames)
};
class GeneratedFormatTest : public testing::TestWithParam<FormatRow>
{
};
TEST_P(GeneratedFormatTest, DecodesToUpright8BitSrgbAtTheCap)
{
    const FormatRow row = GetParam();
    test::TempTree tree;
    const fs::path file = tree.root() / row.file;
    ASSERT_TRUE(test::magick(QStringList{u"-size"_s, u"400x300"_s, u"plasma:fractal"_s} + row.extraArgs, file));
    const vips::VImage picture = ImageDecoder::decode(file, 200);
    EXPECT_EQ(picture.width(), 200);
    EXPECT_EQ(picture.height(), 150);
    EXPECT_EQ(picture.bands(), 3);
    EXPECT_EQ(picture.format(), VIPS_FORMAT_UCHAR);
    EXPECT_EQ(picture.interpretation(), VIPS_INTERPRETATION_sRGB);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, GeneratedFormatTest,
    testing::Values(FormatRow{"a.jpg", {}}, FormatRow{"a.png", {u"-alpha"_s, u"on"_s}},
                    FormatRow{"a.gif", {}}, FormatRow{"a.bmp", {}},
                    FormatRow{"a.tiff", {u"-depth"_s, u"16"_s}}, FormatRow{"a.webp", {}},
                    FormatRow{"a.heic", {}}, FormatRow{"grey.png", {u"-colorspace"_s, u"Gray"_s}},
                    FormatRow{"cmyk.jpg", {u"-colorspace"_s, u"CMYK"_s}}),
    [](const auto &row) {
        std::string name = row.param.file;
        name[name.find('.')] = '_';
        return name;
    });

struct FixtureRow
{
    const char *file;
    int expectedW, expectedH; // at a 1920 cap
};
class FixtureDecodeTest : public testing::TestWithParam<FixtureRow>
{
};
TEST_P(FixtureDecodeTest, DecodesUprightAtTheExpectedSize)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const FixtureRow row = GetParam();
    const vips::VImage picture = ImageDecoder::decode(fixtures / row.file, 1920);
    EXPECT_EQ(picture.width(), row.expectedW);
    EXPECT_EQ(picture.height(), row.expectedH);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, FixtureDecodeTest,
    testing::Values(
        // EXIF Orientation 3 and 6 on phone JPEGs; Orientation 0 is invalid and ignored.
        FixtureRow{"formats/jpg/IMG_20200124_231153.jpg", 1920, 1440},
        FixtureRow{"formats/jpg/broken_orientation_exif.jpg", 1440, 1920},
        FixtureRow{"formats/jpg/huawei-gps-error.jpg", 500, 375},
        // HEIF: libheif applies the container's irot; the EXIF Orientation beside it is not applied again,
        // but it is where the container has no rotation of its own (iphone_7: Orientation 6, no irot).
        FixtureRow{"formats/heic/orientation6.heic", 480, 160}, FixtureRow{"formats/heic/classic-car.heic", 1440, 1920},
        FixtureRow{"formats/heic/Issue 487.heic", 1440, 1920}, FixtureRow{"formats/heic/iphone_7.heic", 1440, 1920},
        FixtureRow{"formats/heif/HMD_Nokia_8.3_5G.heif", 1440, 1920}, FixtureRow{"formats/heif/Canon.HIF", 1920, 1280},
        // Other still formats as phones, cameras and scanners wrote them (16-bit grey, alpha, Orientation 6).
        FixtureRow{"formats/tiff/001.tif", 640, 512}, FixtureRow{"formats/tiff/6.tiff", 43, 65},
        FixtureRow{"formats/webp/windows95.webp", 500, 313}, FixtureRow{"formats/gif/earth.gif", 400, 400},
        FixtureRow{"formats/bmp/yellow_rose-small.bmp", 16, 12},
        FixtureRow{"formats/png/Screenshot 2019-05-21 at 10.45.52.png", 1189, 849},
        FixtureRow{"broken/wrong.heic", 500, 500}, FixtureRow{"broken/broken_nom-exif.jpg", 1080, 1920}),
    [](const auto &row) { return std::to_string(row.index); });

TEST(ImageDecoder, HeicWithOnlyAnExifOrientationHasItsSkyOnTop)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const vips::VImage picture = ImageDecoder::decode(fixtures / "formats/heic/iphone_7.heic", 480);
    const vips::VImage top = picture.crop(0, 0, picture.width(), picture.height() / 6);
    const double blueOverRed = top.extract_band(2).avg() - top.extract_band(0).avg();
    EXPECT_GT(blueOverRed, 80) << "the top band is the blue sky of a picture turned upright";
}

class BrokenFixtureTest : public testing::TestWithParam<const char *>
{
};
TEST_P(BrokenFixtureTest, FailsWithAReason)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    try {
        ImageDecoder::decode(fixtures / GetParam(), 1920);
        FAIL() << "decoded";
    } catch (const DecodeError &error) {
        EXPECT_GT(std::string(error.what()).size(), 5u);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Rows, BrokenFixtureTest,
    testing::Values(
        // libvips alone decodes these three with a grey lower part and only a warning.
        "broken/IMG_20200124_231153_truncated.jpg", "broken/truncated.jpg", "broken/broken_photoprism.jpg",
        "broken/corrupted.jpg", "broken/empty.jpg", "broken/broken image.JPG", "broken/iphone_7_truncated.heic",
        "broken/park.heic", "broken/rotate.heic", "broken/NegativeArraySizeException.HeifReader.processBoxes.heif",
        "formats/heic/IMG_0307.HEIC", "formats/heic/fixture-msf1.heic"),
    [](const auto &row) { return std::to_string(row.index); });

} // namespace
} // namespace vorlane
