#include "catalogue/focus_points.h"
#include "testsupport/support.h"

#include <gtest/gtest.h>

namespace vorlane {
namespace {

using test::PrintTo;

// A camera's point as exiftool reports it, mapped by hand into the upright picture: the centre offsets over
// the AF image size (Canon's Y counts upwards on EOS bodies), turned by the file's orientation.
struct CameraRow
{
    const char *name;
    const char *file;
    size_t count;    // points read
    size_t index;    // the point checked
    double x, y;     // its centre
    bool inFocus, selected;
};

class CameraFocus : public ::testing::TestWithParam<CameraRow>
{
};

TEST_P(CameraFocus, PointsLandWhereTheCameraRecordedThem)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const CameraRow &row = GetParam();
    const auto points = FocusPoints::read(fixtures / row.file);
    ASSERT_EQ(points.size(), row.count);
    if (row.count == 0)
        return;
    const FocusPoint &p = points[row.index];
    EXPECT_NEAR(p.x, row.x, 0.005);
    EXPECT_NEAR(p.y, row.y, 0.005);
    EXPECT_EQ(p.inFocus, row.inFocus);
    EXPECT_EQ(p.selected, row.selected);
    EXPECT_GT(p.w, 0);
    EXPECT_GT(p.h, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, CameraFocus,
    ::testing::Values(
        // AFInfo2: point 22 of 45 in focus and selected; point 0 at (-702, -625) of 5616 x 3744.
        CameraRow{"Canon_1DsIII_in_focus", "formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", 45, 22, 0.5, 0.5, true, true},
        CameraRow{"Canon_1DsIII_corner", "formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", 45, 0, 0.375, 0.667, false, false},
        // The older record, which exiv2 keeps no positions of: point 1 at (-1237, 0), point 0 at (0, -617).
        CameraRow{"Canon_350D_left", "formats/cr2/CanonRaw.cr2", 7, 1, 0.142, 0.5, false, false},
        CameraRow{"Canon_350D_bottom", "formats/cr2/CanonRaw.cr2", 7, 0, 0.5, 0.768, false, false},
        CameraRow{"Canon_350D_in_focus", "formats/cr2/CanonRaw.cr2", 7, 3, 0.5, 0.5, true, false},
        // CR3 maker-note boxes: (-600, 364) of 5472 x 3648 selected without focus; (392, -327) of 6000 x 4000.
        CameraRow{"Canon_R6", "formats/cr3/canon-r6.cr3", 1, 0, 0.390, 0.400, false, true},
        CameraRow{"Canon_M50", "formats/cr3/CanonRaw.cr3", 1, 0, 0.565, 0.582, true, true},
        // (-210, -1029) of 6720 x 4480, the camera turned: Rotate 90 CW.
        CameraRow{"Canon_R_turned", "broken/fixture.cr3", 1, 0, 0.270, 0.469, true, true},
        CameraRow{"Canon_manual_focus", "formats/cr3/Canon-R6-pruned.CR3", 0, 0, 0, 0, false, false},
        CameraRow{"Canon_HEIF_manual_focus", "formats/heif/Canon.HIF", 0, 0, 0, 0, false, false},
        // 11-point bodies: the centre point, in the older record (D70) and the newer one (D5000).
        CameraRow{"Nikon_D70", "formats/nef/Nikon.nef", 11, 0, 0.5, 0.5, true, true},
        CameraRow{"Nikon_D5000", "formats/jpeg/mongolia.jpeg", 11, 0, 0.5, 0.5, true, true},
        // A compact's older notes keep the record as raw bytes: the centre chosen, nothing in focus.
        CameraRow{"Nikon_E880", "formats/jpg/date_error.JPG", 11, 0, 0.5, 0.5, false, true},
        // FocusLocation 2587, 2450 of 6000 x 4000, Rotate 90 CW; then the focal-plane points.
        CameraRow{"Sony_ZV_E10_turned", "formats/arw/fixture-sony-zv-e10.arw", 11, 0, 0.3875, 0.431, true, true},
        CameraRow{"Sony_ZV_E10_plane_point", "formats/arw/fixture-sony-zv-e10.arw", 11, 1, 0.498, 0.431, true, false},
        CameraRow{"Sony_HEIF", "formats/heif/issue_9292_sony_1_top_left.HIF", 10, 0, 0.4717, 0.4165, true, true},
        CameraRow{"Panasonic_LX3", "formats/rw2/Panasonic.rw2", 1, 0, 0.5, 0.5, true, true}),
    test::RowName{});

TEST(FocusPoints, FramesTurnAndCropIntoTheUprightPicture)
{
    // One point at (0.2, 0.1) of a 3:2 frame, 0.1 x 0.05 large, under each orientation.
    const FocusPoints::Frame frame{3000, 2000, {FocusPoint{0.2, 0.1, 0.1, 0.05, true, false}}};
    const struct
    {
        int orientation;
        double x, y;
    } turns[] = {{1, 0.2, 0.1}, {2, 0.8, 0.1}, {3, 0.8, 0.9}, {4, 0.2, 0.9},
                 {5, 0.1, 0.2}, {6, 0.9, 0.2}, {7, 0.9, 0.8}, {8, 0.1, 0.8}};
    for (const auto &t : turns) {
        SCOPED_TRACE(t.orientation);
        const auto points = FocusPoints::upright(frame, t.orientation, 0);
        ASSERT_EQ(points.size(), 1u);
        EXPECT_NEAR(points[0].x, t.x, 1e-9);
        EXPECT_NEAR(points[0].y, t.y, 1e-9);
        EXPECT_NEAR(points[0].w, t.orientation >= 5 ? 0.05 : 0.1, 1e-9);
    }
    // A 16:9 JPEG of the 3:2 sensor is its middle band: the point near the top falls outside, one at the
    // middle stays, its height measured against the band.
    const FocusPoints::Frame two{3000, 2000, {FocusPoint{0.2, 0.05, 0.1, 0.05, true, false},
                                               FocusPoint{0.7, 0.5, 0.1, 0.05, true, false}}};
    const auto cropped = FocusPoints::upright(two, 1, 16.0 / 9.0);
    ASSERT_EQ(cropped.size(), 1u);
    EXPECT_NEAR(cropped[0].x, 0.7, 1e-9);
    EXPECT_NEAR(cropped[0].h, 0.05 / (1.5 / (16.0 / 9.0)), 1e-9);
    // The same JPEG turned upright (9:16) is the same crop.
    EXPECT_EQ(FocusPoints::upright(two, 6, 9.0 / 16.0).size(), 1u);
}

TEST(FocusPoints, ZoomGoesToThePointsInFocusElseTheSelectedOne)
{
    const std::vector<FocusPoint> some{{0.2, 0.3, 0.1, 0.1, true, false},
                                       {0.6, 0.5, 0.1, 0.1, true, false},
                                       {0.9, 0.9, 0.1, 0.1, false, true}};
    EXPECT_EQ(FocusPoints::zoomTarget(some), std::pair(0.4, 0.4));
    const std::vector<FocusPoint> chosen{{0.2, 0.3, 0.1, 0.1, false, false}, {0.9, 0.8, 0.1, 0.1, false, true}};
    EXPECT_EQ(FocusPoints::zoomTarget(chosen), std::pair(0.9, 0.8));
    EXPECT_FALSE(FocusPoints::zoomTarget(std::vector<FocusPoint>{{0.2, 0.3, 0.1, 0.1, false, false}}));
}

// A little-endian TIFF: header, then one IFD at offset 8 with a SHORT tag 0x26 of `count` words at `at`.
std::vector<unsigned char> tiffWith(uint32_t count, uint32_t at, size_t total, uint16_t entries = 1)
{
    std::vector<unsigned char> b(total, 0);
    const unsigned char head[] = {'I', 'I', 42, 0, 8, 0, 0, 0};
    std::copy(std::begin(head), std::end(head), b.begin());
    auto put16 = [&](size_t o, uint16_t v) { b[o] = uint8_t(v), b[o + 1] = uint8_t(v >> 8); };
    auto put32 = [&](size_t o, uint32_t v) { put16(o, uint16_t(v)), put16(o + 2, uint16_t(v >> 16)); };
    put16(8, entries);
    put16(10, 0x26);
    put16(12, 3);
    put32(14, count);
    put32(18, at);
    return b;
}

TEST(FocusPoints, RecordsThatLieAboutTheirSizeGiveNothing)
{
    const auto good = tiffWith(4, 40, 48);
    ASSERT_TRUE(FocusPoints::tiffShorts(good, false, 8, 0x26));
    EXPECT_EQ(FocusPoints::tiffShorts(good, false, 8, 0x26)->size(), 4u);
    const struct
    {
        const char *name;
        std::vector<unsigned char> bytes;
        size_t ifd;
    } lies[] = {
        {"value past the end", tiffWith(4, 44, 48), 8},
        {"count past the end", tiffWith(100, 40, 48), 8},
        {"count near 2^32", tiffWith(0xffffffffu, 40, 48), 8},
        {"offset near 2^32", tiffWith(4, 0xfffffff0u, 48), 8},
        {"more entries than bytes", tiffWith(4, 40, 48, 500), 8},
        {"IFD past the end", good, 4000},
        {"IFD at the last byte", good, 47},
    };
    for (const auto &lie : lies)
        EXPECT_FALSE(FocusPoints::tiffShorts(lie.bytes, false, lie.ifd, 0x26)) << lie.name;

    // The AF record itself: more points than words, no AF image size, or cut before the selected words.
    std::vector<uint16_t> record{20, 2, 1, 1, 100, 100, 100, 100, 10, 10, 5, 5, 1, 0};
    EXPECT_EQ(FocusPoints::canonAfInfo(record, false, true).points.size(), 1u);
    auto many = record;
    many[2] = 5000;
    EXPECT_TRUE(FocusPoints::canonAfInfo(many, false, true).points.empty());
    auto sizeless = record;
    sizeless[6] = 0;
    EXPECT_TRUE(FocusPoints::canonAfInfo(sizeless, false, true).points.empty());
    record.pop_back();
    const auto cut = FocusPoints::canonAfInfo(record, false, true);
    ASSERT_EQ(cut.points.size(), 1u);
    EXPECT_FALSE(cut.points[0].selected);
    EXPECT_TRUE(cut.points[0].inFocus);
    EXPECT_TRUE(FocusPoints::canonAfInfo(std::vector<uint16_t>{3, 1}, true, true).points.empty());
}

TEST(FocusPoints, ACr3WhoseBoxesLieIsReadAsNothing)
{
    test::TempTree tree;
    const auto box = [](const char *type, const std::string &body, uint32_t claimed = 0) {
        const uint32_t size = claimed ? claimed : uint32_t(8 + body.size());
        std::string out{char(size >> 24), char(size >> 16), char(size >> 8), char(size)};
        return out + type + body;
    };
    const std::string uuid("\x85\xc0\xb6\x87\x82\x0f\x11\xe0\x81\x11\xf4\xce\x46\x2b\x6a\x48", 16);
    const std::string ftyp = box("ftyp", std::string("crx \0\0\0\1", 8));
    const auto tiff = tiffWith(0x7fffffff, 16, 64);
    const std::string cmt3 = box("CMT3", std::string(tiff.begin(), tiff.end()));
    const std::string files[] = {
        ftyp + box("moov", box("uuid", uuid + cmt3)),                 // a record claiming 2^31 words
        ftyp + box("moov", box("uuid", uuid + box("CMT3", "", 4000))), // a box larger than its parent
        ftyp + box("moov", box("uuid", uuid.substr(0, 10))),          // a UUID cut short
        ftyp + box("moov", "", 1),                                     // a 64-bit size with no room for it
    };
    for (const std::string &bytes : files) {
        const auto path = tree.file("x.cr3", bytes);
        EXPECT_TRUE(FocusPoints::read(path).empty());
        EXPECT_FALSE(FocusPoints::recordedSize(path));
    }
}

} // namespace
} // namespace vorlane
