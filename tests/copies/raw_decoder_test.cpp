// Camera RAW files of several makers from the fixture corpus: which picture the decoder settles on.
#include "image_test_support.h"

#include "copies/copy_error.h"
#include "copies/image_compressor.h"
#include "media/image_decoder.h"
#include "media/raw_decoder.h"
#include "testsupport/temp_tree.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace vorlane {
namespace {

struct RawRow
{
    const char *file;
    int expectedW, expectedH; // of the copy; 0 = the copy fails as DecodeFailed
    const char *why;
};
class RawCopyTest : public testing::TestWithParam<RawRow>
{
};
TEST_P(RawCopyTest, CopyComesFromTheRightPicture)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const RawRow row = GetParam();
    test::TempTree tree;
    const fs::path copy = tree.root() / "x_bside" / "copy_bside.jpg";
    if (row.expectedW == 0) {
        try {
            ImageCompressor::compress(fixtures / row.file, copy, std::nullopt, {});
            FAIL() << row.why << ": a copy was made";
        } catch (const CopyError &error) {
            EXPECT_EQ(error.reason(), CopyError::Reason::DecodeFailed);
        }
        EXPECT_FALSE(fs::exists(copy));
        return;
    }
    const auto info = ImageCompressor::compress(fixtures / row.file, copy, std::nullopt, {});
    EXPECT_EQ(info.width, row.expectedW) << row.why;
    EXPECT_EQ(info.height, row.expectedH) << row.why;
    const auto header = test::readHeader(copy);
    EXPECT_EQ(header.width, row.expectedW);
    EXPECT_FALSE(header.hasExif);
}
INSTANTIATE_TEST_SUITE_P(
    Rows, RawCopyTest,
    testing::Values(
        RawRow{"formats/nef/NIKON_D7100_head.nef", 1920, 1280, "full-size preview, not the 160 px first IFD"},
        RawRow{"formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", 1920, 1280, "2784 px preview over the 160 px one"},
        RawRow{"broken/IMG_5952_truncated.CR2", 1728, 1152, "sensor data cut: the largest preview after all"},
        RawRow{"formats/arw/SONY_SLT-A55V_head.arw", 1616, 1080, "LibRaw 'succeeds' on the cut file: preview instead"},
        RawRow{"formats/cr3/Canon-R6-pruned.CR3", 1620, 1080, "BMFF previews read through exiv2"},
        RawRow{"formats/dng/pixel7_test.dng", 382, 510, "sensor-sized preview, Orientation 8 turned upright"},
        RawRow{"formats/dng/colorchart.dng", 1734, 1156, "no preview: the sensor data through LibRaw"},
        RawRow{"formats/dng/DNG.dng", 0, 0, "LibRaw 'succeeds' without sensor data; only an 8x8 preview decodes"},
        RawRow{"formats/dng/IMG_1361.dng", 0, 0, "stripped: the preview's bytes and sensor data are gone"},
        RawRow{"formats/rw2/Panasonic.rw2", 0, 0, "metadata only, LibRaw 'succeeds'"},
        RawRow{"formats/arw/fixture-sony-zv-e10.arw", 0, 0, "only a 160 px thumbnail: no thumbnail-sized copy"},
        RawRow{"formats/cr3/CanonRaw.cr3", 0, 0, "exiv2 cannot read it, LibRaw finds it corrupt"},
        RawRow{"broken/Issue 247-1.nef", 1277, 1920, "a JPEG named .nef is read whole"},
        RawRow{"formats/iiq/PhaseOne.iiq", 0, 0, "never the 1x1 TIFF IFD"},
        RawRow{"formats/mrw/Minolta.mrw", 0, 0, "metadata only"},
        RawRow{"broken/fixture.orf", 0, 0, "128-byte header"}),
    [](const auto &row) { return std::to_string(row.index); });

// A RAW+JPEG pair is copied from its JPEG; when that cannot be decoded, from the RAW's own full-size preview.
TEST(RawDecoder, PairWithABrokenJpegIsCopiedFromItsRaw)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    test::TempTree tree;
    const fs::path raw = tree.root() / "DSC_1.NEF";
    fs::copy_file(fixtures / "formats/nef/NIKON_D7100_head.nef", raw);
    const fs::path jpeg = tree.file("DSC_1.JPG", "cut off before its first scan line");
    const fs::path copy = tree.root() / "x_bside" / "DSC_1_bside.jpg";
    const auto info = ImageCompressor::compress(raw, copy, jpeg, {});
    EXPECT_EQ(info.width, 1920);
    EXPECT_EQ(test::readHeader(copy).height, 1280);
}

TEST(RawDecoder, ThumbnailCapIsServedBySmallerWork)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const auto picture = RawDecoder::decode(fixtures / "formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", 256);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->width(), 256);
    EXPECT_EQ(picture->height(), 171);
}

} // namespace
} // namespace vorlane
