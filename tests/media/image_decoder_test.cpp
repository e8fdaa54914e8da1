// Decoding: every still format, camera RAWs, HEIF orientation, a video's frame (and the figures its headers
// give), and the damaged and hostile files of the fixture corpus.
#include "media/decode_error.h"
#include "media/image_decoder.h"
#include "media/shooting_info.h"
#include "media/video_frame_grabber.h"

#include "testsupport/support.h"

#include <QColor>
#include <QSize>
#include <libheif/heif_version.h>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace vorlane {
namespace {

using test::PrintTo;

// Every still format, decoded with a stop token that could be used, as every copy job's and thumbnail's is:
// that connects the decode to libvips' progress signal. Pictures replaced by their rendered copy during the
// decode once disconnected that signal from freed memory: GLib criticals, and a crash under GLib's plain
// allocator (the test environment's).
struct FormatRow
{
    const char *name;
    const char *file;
    QStringList args; // ImageMagick's picture and options before the output
};
using GeneratedFormat = testing::TestWithParam<FormatRow>;

TEST_P(GeneratedFormat, DecodesToUpright8BitSrgbAtTheCap)
{
    test::TempTree tree;
    const fs::path file = tree.root() / GetParam().file;
    ASSERT_TRUE(test::magick(QStringList{u"-size"_s, u"400x300"_s} + GetParam().args, file));
    std::stop_source stop;
    const vips::VImage picture = ImageDecoder::decode(file, 200, stop.get_token());
    EXPECT_EQ(QSize(picture.width(), picture.height()), QSize(200, 150));
    EXPECT_EQ(picture.bands(), 3);
    EXPECT_EQ(picture.format(), VIPS_FORMAT_UCHAR);
    EXPECT_EQ(picture.interpretation(), VIPS_INTERPRETATION_sRGB);
}
const QStringList plasma{u"plasma:fractal"_s};
INSTANTIATE_TEST_SUITE_P(
    Rows, GeneratedFormat,
    testing::Values(FormatRow{"jpeg", "a.jpg", plasma}, FormatRow{"blackJpeg", "black.jpg", {u"xc:black"_s}},
                    FormatRow{"greyJpeg", "grey.jpg", {u"gradient:"_s, u"-colorspace"_s, u"Gray"_s}},
                    FormatRow{"cmykJpeg", "cmyk.jpg", plasma + QStringList{u"-colorspace"_s, u"CMYK"_s}},
                    FormatRow{"pngWithAlpha", "a.png", plasma + QStringList{u"-alpha"_s, u"on"_s}},
                    FormatRow{"greyPng", "grey.png", plasma + QStringList{u"-colorspace"_s, u"Gray"_s}},
                    FormatRow{"gif", "a.gif", plasma}, FormatRow{"bmp", "a.bmp", plasma},
                    FormatRow{"tiff16", "a.tiff", plasma + QStringList{u"-depth"_s, u"16"_s}},
                    FormatRow{"webp", "a.webp", plasma}, FormatRow{"heic", "a.heic", plasma}),
    test::RowName());

// Files of the corpus as phones, cameras and scanners wrote them, decoded at the copies' cap of 1920 unless a
// row asks for less: the size the picture comes out at, upright, or a refusal with a reason (0 x 0).
struct CorpusRow
{
    const char *name; // the file in the corpus
    int cap, width, height;
};
using CorpusDecode = testing::TestWithParam<CorpusRow>;

TEST_P(CorpusDecode, DecodesUprightAtTheExpectedSizeOrFailsWithAReason)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const CorpusRow row = GetParam();
    try {
        const vips::VImage picture = ImageDecoder::decode(fixtures / row.name, row.cap);
        EXPECT_EQ(QSize(picture.width(), picture.height()), QSize(row.width, row.height));
    } catch (const DecodeError &error) {
        EXPECT_EQ(row.width, 0) << error.what();
        EXPECT_GT(std::string(error.what()).size(), 5u);
    }
}
constexpr int kCap = 1920;
// libheif 1.19 (Debian 13) reads what 1.15 (Debian 12) refuses: the newer iPhone HEICs, and a grid whose last
// tiles are cut off (what is there, in the stored orientation: the EXIF was in the part lost).
constexpr bool kNewerHeif = LIBHEIF_NUMERIC_VERSION >= 0x01130000;
INSTANTIATE_TEST_SUITE_P(
    Corpus, CorpusDecode,
    testing::Values(
        // EXIF Orientation 3 and 6 on phone JPEGs; Orientation 0 is invalid and ignored.
        CorpusRow{"formats/jpg/IMG_20200124_231153.jpg", kCap, 1920, 1440},
        CorpusRow{"formats/jpg/broken_orientation_exif.jpg", kCap, 1440, 1920},
        CorpusRow{"formats/jpg/huawei-gps-error.jpg", kCap, 500, 375},
        // HEIF: libheif applies the container's irot; the EXIF Orientation beside it is not applied again,
        // but it is where the container has no rotation of its own (iphone_7: Orientation 6, no irot).
        CorpusRow{"formats/heic/orientation6.heic", kCap, 480, 160},
        CorpusRow{"formats/heic/classic-car.heic", kCap, 1440, 1920},
        CorpusRow{"formats/heic/Issue 487.heic", kCap, 1440, 1920},
        CorpusRow{"formats/heic/iphone_7.heic", kCap, 1440, 1920},
        CorpusRow{"formats/heif/HMD_Nokia_8.3_5G.heif", kCap, 1440, 1920},
        CorpusRow{"formats/heif/Canon.HIF", kCap, 1920, 1280},
        // Other still formats (16-bit grey, alpha, Orientation 6).
        CorpusRow{"formats/tiff/001.tif", kCap, 640, 512}, CorpusRow{"formats/tiff/6.tiff", kCap, 43, 65},
        CorpusRow{"formats/webp/windows95.webp", kCap, 500, 313}, CorpusRow{"formats/gif/earth.gif", kCap, 400, 400},
        CorpusRow{"formats/bmp/yellow_rose-small.bmp", kCap, 16, 12},
        CorpusRow{"formats/png/Screenshot 2019-05-21 at 10.45.52.png", kCap, 1189, 849},
        CorpusRow{"broken/wrong.heic", kCap, 500, 500}, CorpusRow{"broken/broken_nom-exif.jpg", kCap, 1080, 1920},
        // Damaged stills; libvips alone decodes the first three with a grey lower part and only a warning.
        CorpusRow{"broken/IMG_20200124_231153_truncated.jpg", kCap, 0, 0},
        CorpusRow{"broken/truncated.jpg", kCap, 0, 0}, CorpusRow{"broken/broken_photoprism.jpg", kCap, 0, 0},
        CorpusRow{"broken/corrupted.jpg", kCap, 0, 0}, CorpusRow{"broken/empty.jpg", kCap, 0, 0},
        CorpusRow{"broken/broken image.JPG", kCap, 0, 0},
        CorpusRow{"broken/iphone_7_truncated.heic", kCap, kNewerHeif ? 1920 : 0, kNewerHeif ? 1440 : 0},
        CorpusRow{"broken/park.heic", kCap, 0, 0}, CorpusRow{"broken/rotate.heic", kCap, 0, 0},
        CorpusRow{"formats/heic/IMG_0307.HEIC", kCap, kNewerHeif ? 1440 : 0, kNewerHeif ? 1920 : 0},
        CorpusRow{"broken/NegativeArraySizeException.HeifReader.processBoxes.heif", kCap, 0, 0},
        CorpusRow{"formats/heic/fixture-msf1.heic", kCap, 0, 0},
        // Camera RAWs of several makers: which picture the decoder settles on.
        CorpusRow{"formats/nef/NIKON_D7100_head.nef", kCap, 1920, 1280}, // full-size preview, not the 160 px first IFD
        CorpusRow{"formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", kCap, 1920,
                  1280},                                                         // 2784 px preview over the 160 px one
        CorpusRow{"formats/cr2/Canon_EOS-1Ds_Mark_III_head.cr2", 256, 256, 171}, // a thumbnail's cap takes a preview
        CorpusRow{"broken/IMG_5952_truncated.CR2", kCap, 1728, 1152},            // sensor data cut: the largest preview
        CorpusRow{"formats/arw/SONY_SLT-A55V_head.arw", kCap, 1616, 1080}, // LibRaw "succeeds" on the cut file: preview
        CorpusRow{"formats/cr3/Canon-R6-pruned.CR3", kCap, 1620, 1080},    // BMFF previews read through exiv2
        CorpusRow{"formats/dng/pixel7_test.dng", kCap, 382, 510},  // sensor-sized preview, Orientation 8 upright
        CorpusRow{"formats/dng/colorchart.dng", kCap, 1734, 1156}, // no preview: the sensor data through LibRaw
        CorpusRow{"broken/Issue 247-1.nef", kCap, 1277, 1920},     // a JPEG named .nef is read whole
        CorpusRow{"formats/dng/DNG.dng", kCap, 0, 0},      // LibRaw "succeeds" without sensor data; only an 8x8 preview
        CorpusRow{"formats/dng/IMG_1361.dng", kCap, 0, 0}, // stripped: the preview's bytes and sensor data are gone
        CorpusRow{"formats/rw2/Panasonic.rw2", kCap, 0, 0},           // metadata only, LibRaw "succeeds"
        CorpusRow{"formats/arw/fixture-sony-zv-e10.arw", kCap, 0, 0}, // only a 160 px thumbnail: not a copy
        CorpusRow{"formats/cr3/CanonRaw.cr3", kCap, 0, 0},            // exiv2 cannot read it, LibRaw finds it corrupt
        CorpusRow{"formats/iiq/PhaseOne.iiq", kCap, 0, 0},            // never the 1x1 TIFF IFD
        CorpusRow{"formats/mrw/Minolta.mrw", kCap, 0, 0},             // metadata only
        CorpusRow{"broken/fixture.orf", kCap, 0, 0}),                 // 128-byte header
    [](const auto &row) { return test::caseName(row.param.name) + "_" + std::to_string(row.param.cap); });

TEST(ImageDecoder, HeicWithOnlyAnExifOrientationHasItsSkyOnTop)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const vips::VImage picture = ImageDecoder::decode(fixtures / "formats/heic/iphone_7.heic", 480);
    const vips::VImage top = picture.crop(0, 0, picture.width(), picture.height() / 6);
    EXPECT_GT(top.extract_band(2).avg() - top.extract_band(0).avg(), 80) << "the top band is the blue sky";
}

// What a decode may hold is judged on the header, at the size asked for and whichever decoder reads the file:
// a full-size decode of a 30000 x 20000 baseline JPEG would return 1.8 GB and is too large, though at the
// copy's size it streams (and then fails as damaged: its data is that of a 64 x 64 picture); a progressive
// 16000 x 16000 holds 768 MB of coefficients at any size, at full size in libvips' decoder too. The headers
// are written over small files that ImageMagick made. (At the copy's size, the copy's test has both.)
TEST(HostileFiles, TooLargeIsJudgedOnTheHeaderAtTheSizeAskedFor)
{
    test::TempTree t;
    const auto header = [&](const char *name, const QStringList &options, QSize size) {
        const fs::path small = t.root() / "small.jpg";
        EXPECT_TRUE(test::magick(QStringList{u"-size"_s, u"64x64"_s, u"plasma:fractal"_s} + options, small));
        return std::pair(t.file(name, test::withJpegSize(test::readFile(small), size.width(), size.height())), size);
    };
    for (const auto &[file, size] : {header("claimsHuge.jpg", {}, {30000, 20000}),
                                     header("progressive16k.jpg", {u"-interlace"_s, u"JPEG"_s}, {16000, 16000})}) {
        SCOPED_TRACE(file.filename().string());
        try {
            ImageDecoder::decode(file, 0);
            ADD_FAILURE() << "decoded";
        } catch (const DecodeError &error) {
            EXPECT_EQ(error.kind(), DecodeError::Kind::TooLarge) << error.what();
            EXPECT_EQ(error.size(), size);
        }
    }
}

// libvips keeps one error buffer for all threads: two files failing at once must each get their own reason,
// never the other's (a preview named IMG_2927.HEIC in IMG_0307.HEIC's error).
TEST(HostileFiles, EachFailureGivesItsOwnReason)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    test::TempTree t;
    // Phone HEICs cut short: libheif names the file in its message ("first.heic: bad seek to ...").
    std::vector<std::filesystem::path> files;
    for (const auto &[name, source] : {std::pair("first.heic", "formats/heic/iphone_7.heic"),
                                       std::pair("second.heic", "formats/heic/classic-car.heic")}) {
        const std::string bytes = test::readFile(fixtures / source);
        files.push_back(t.file(name, bytes.substr(0, bytes.size() / 4)));
    }
    std::atomic<int> foreign = 0;
    std::vector<std::thread> threads;
    for (size_t i = 0; i < files.size(); ++i) {
        threads.emplace_back([&, i] {
            const std::string other = files[1 - i].filename().string();
            for (int round = 0; round < 60; ++round) {
                try {
                    ImageDecoder::decode(files[i], 1920);
                } catch (const DecodeError &error) {
                    foreign += std::string(error.what()).find(other) != std::string::npos;
                }
            }
        });
    }
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(foreign, 0);
}

// A phone's portrait clip: its frame, and the figures its headers give, are as played, upright.
TEST(VideoFrameGrabber, FrameAndFiguresOfAPhoneClipStandUpright)
{
    VORLANE_REQUIRE_TOOLS("ffmpeg");
    test::TempTree t;
    const auto clip = t.root() / "clip.mp4"; // frames stored landscape, a quarter turn in the display matrix
    ASSERT_TRUE(test::ffmpeg(test::testPattern("320x180", 2) + QStringList{u"-pix_fmt"_s, u"yuv420p"_s}, clip));
    ASSERT_TRUE(test::rotateClip(clip, 90));
    const QImage frame = VideoFrameGrabber::grab(clip, 160);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), QSize(90, 160));
    EXPECT_TRUE(VideoFrameGrabber::grab(t.file("notes.mp4", "not a video"), 160).isNull());
    const ShootingInfo info = ShootingInfo::read(clip, true);
    EXPECT_NEAR(info.durationSeconds.value_or(0), 2.0, 0.1);
    EXPECT_NEAR(info.framesPerSecond.value_or(0), 30.0, 0.01);
    EXPECT_EQ(info.codec, u"H.264"_s);
    EXPECT_EQ(info.size, QSize(180, 320)) << "as played, upright";
    EXPECT_FALSE(info.iso || info.fNumber);
}

// Transport streams laid out as AVCHD cameras write them: 192-byte BDAV packets, interlaced H.264 in
// half-second GOPs, AC-3 sound, a PGS subtitle stream ahead of the video holding one composition of the
// picture's size, timestamps that start hours in. Each row has what leaves the seek a second in with nothing
// the decoder can start from; ffmpeg shows their first picture all the same, and so must the grid. The clip's
// first part is red and any later part blue: the frame comes from the clip's start, decoded, not grey.
struct TransportRow
{
    const char *name;
    // One file of parts, one after the other: a part's colour, where its timestamps start, and its length.
    std::vector<std::tuple<const char *, double, double>> segments;
    const char *encoding; // libx264 options besides interlacing
};
using CameraTransportStream = testing::TestWithParam<TransportRow>;

TEST_P(CameraTransportStream, FrameIsTheClipsOwn)
{
    VORLANE_REQUIRE_TOOLS("ffmpeg");
    test::TempTree t;
    // A .sup file of two packets ("PG", PTS and DTS of 0): the presentation composition and its end.
    const std::string packet("PG\0\0\0\0\0\0\0\0", 10);
    const std::string composition("\x16\0\x0b\x07\x80\x04\x38\x10\0\0\x80\0\0\0", 14), end("\x80\0\0", 3);
    const fs::path subtitles = t.file("subtitles.sup", packet + composition + packet + end);
    std::string clipBytes;
    for (const auto &[colour, offset, length] : GetParam().segments) {
        const fs::path part = t.root() / "part.mts";
        const QString seconds = QString::number(length);
        const QString picture
            = u"color=c=%1:size=1920x1080:rate=30000/1001:duration=%2"_s.arg(QLatin1StringView(colour), seconds);
        const QStringList inputs{
            u"-i"_s, test::qpath(subtitles),       u"-f"_s, u"lavfi"_s, u"-i"_s, picture, u"-f"_s, u"lavfi"_s,
            u"-i"_s, u"sine=duration="_s + seconds};
        const QStringList streams = u"-map 0 -map 1 -map 2 -c:s copy -c:a ac3 -c:v libx264 -pix_fmt yuv420p "
                                    u"-flags +ildct+ilme -mpegts_m2ts_mode 1 -output_ts_offset"_s.split(u' ')
            + QStringList{QString::number(offset)} + QString::fromLatin1(GetParam().encoding).split(u' ');
        ASSERT_TRUE(test::ffmpeg(inputs + streams, part));
        clipBytes += test::readFile(part);
    }
    const fs::path clip = t.file("C0001.MTS", clipBytes);
    const QImage frame = VideoFrameGrabber::grab(clip, 160);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.size(), QSize(160, 90));
    const QColor centre = frame.pixelColor(80, 45);
    EXPECT_GT(centre.red(), 200) << centre.name().toStdString();
    EXPECT_LT(std::max(centre.green(), centre.blue()), 60) << centre.name().toStdString();
}
INSTANTIATE_TEST_SUITE_P(
    Rows, CameraTransportStream,
    testing::Values(
        // Timestamps falling back ten seconds part way through the file.
        TransportRow{"timestampsFallBackPartWay",
                     {{"red", 5000, 3}, {"blue", 4990, 3}},
                     "-preset ultrafast -x264opts tff=1:keyint=15:min-keyint=15"},
        // Open GOPs whose I pictures carry no recovery point SEI: the first picture, an IDR, is the only start.
        TransportRow{
            "iPicturesWithoutRecoveryPoints",
            {{"red", 5000, 3}},
            "-preset medium -x264opts tff=1:keyint=15:min-keyint=15:open-gop=1 -bsf:v filter_units=remove_types=6"},
        TransportRow{"oneKeyframe", {{"red", 5000, 4}}, "-preset ultrafast -x264opts tff=1:keyint=300"}),
    test::RowName());

} // namespace
} // namespace vorlane
