// The short cuts of the copies and the grid: the scaled JPEG decode and the resampler behind it, the PNGs of
// the shared thumbnail cache, the picture a camera stores beside a photo, and the shooting information read from headers alone. Each is checked against
// libvips, ImageMagick, exiftool or ffmpeg, never against itself.
#include <vips/vips8> // first: GLib's headers must not meet Qt's keyword macros

#include "media/cancellation.h"
#include "media/decode_error.h"
#include "media/embedded_thumbnail.h"
#include "media/ffi/vips_runtime.h"
#include "media/jpeg_decoder.h"
#include "media/lanczos_resampler.h"
#include "media/png_codec.h"
#include "media/shooting_info.h"

#include "testsupport/support.h"

#include <QFile>
#include <QImage>

#include <cmath>
#include <cstring>

using namespace Qt::StringLiterals;
namespace fs = std::filesystem;

namespace vorlane {
namespace {

RgbPixels pixelsOf(const vips::VImage &image)
{
    RgbPixels pixels{image.width(), image.height(), {}};
    size_t bytes = 0;
    void *data = image.write_to_memory(&bytes);
    pixels.rgb.assign(static_cast<uint8_t *>(data), static_cast<uint8_t *>(data) + bytes);
    g_free(data);
    return pixels;
}

// The resampler against libvips' own Lanczos-3 reduction of the same pixels, by whole and by fractional
// factors: the same pixel centres and kernel give the same picture to within the rounding of fixed point.
TEST(LanczosResampler, AgreesWithLibvipsLanczos3)
{
    VipsRuntime::ensureStarted();
    test::TempTree t;
    const fs::path file = t.root() / "detail.png";
    ASSERT_TRUE(test::magick({u"-size"_s, u"960x720"_s, u"plasma:fractal"_s, u"-attenuate"_s, u"0.4"_s, u"+noise"_s,
                              u"Gaussian"_s, u"-depth"_s, u"8"_s, u"-type"_s, u"TrueColor"_s},
                             file));
    const vips::VImage source
        = vips::VImage::new_from_file(file.c_str()).extract_band(0, vips::VImage::option()->set("n", 3));
    const RgbPixels pixels = pixelsOf(source);
    for (const auto &[width, height] : std::vector<std::pair<int, int>>{{240, 180}, {400, 300}, {959, 719}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const RgbPixels ours = LanczosResampler::resample(pixels, width, height);
        ASSERT_EQ(ours.width, width);
        ASSERT_EQ(ours.height, height);
        ASSERT_EQ(ours.rgb.size(), size_t(width) * height * 3);
        const auto kernel = vips::VImage::option()->set("kernel", VIPS_KERNEL_LANCZOS3);
        const vips::VImage theirs = source.reduce(double(pixels.width) / width, double(pixels.height) / height, kernel);
        ASSERT_EQ(theirs.width(), width);
        const RgbPixels reference = pixelsOf(theirs.cast(VIPS_FORMAT_UCHAR));
        int worst = 0;
        double sum = 0;
        for (size_t i = 0; i < ours.rgb.size(); ++i) {
            const int d = std::abs(int(ours.rgb[i]) - int(reference.rgb[i]));
            worst = std::max(worst, d);
            sum += d;
        }
        EXPECT_LT(sum / double(ours.rgb.size()), 0.6) << "mean difference per channel";
        EXPECT_LE(worst, 6);
    }
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(LanczosResampler::resample(pixels, 100, 75, stop.get_token()), CancelledError);
}

// The DCT scale chosen is the smallest n/8 that still covers what was asked; JPEGs whose colours need the
// general decoder are left to it, and a damaged one is refused.
TEST(JpegDecoder, DecodesAtTheSmallestScaleThatCoversTheTarget)
{
    test::TempTree t;
    const fs::path photo = t.root() / "photo.jpg";
    ASSERT_TRUE(test::magick({u"-size"_s, u"1600x1200"_s, u"plasma:fractal"_s, u"-quality"_s, u"90"_s}, photo));
    const std::vector<std::pair<QSize, QSize>> rows{{{200, 150}, {200, 150}},     {{201, 100}, {400, 300}},
                                                    {{600, 450}, {600, 450}},     {{601, 10}, {800, 600}},
                                                    {{1500, 1125}, {1600, 1200}}, {{1600, 1200}, {1600, 1200}}};
    for (const auto &[asked, decoded] : rows) {
        const auto pixels = JpegDecoder::decodeScaled(photo, asked.width(), asked.height(), {});
        ASSERT_TRUE(pixels.has_value());
        EXPECT_EQ(QSize(pixels->width, pixels->height), decoded) << asked.width() << "x" << asked.height();
        EXPECT_EQ(pixels->rgb.size(), size_t(decoded.width()) * decoded.height() * 3);
    }

    const fs::path cmyk = t.root() / "cmyk.jpg";
    ASSERT_TRUE(test::magick({u"-size"_s, u"800x600"_s, u"plasma:fractal"_s, u"-colorspace"_s, u"CMYK"_s}, cmyk));
    EXPECT_FALSE(JpegDecoder::decodeScaled(cmyk, 100, 75, {}).has_value()) << "CMYK goes to the general decoder";

    const std::string bytes = test::readFile(photo);
    EXPECT_EQ(JpegDecoder::decodeScaled(std::string_view(bytes), 601, 10, {})->rgb,
              JpegDecoder::decodeScaled(photo, 601, 10, {})->rgb)
        << "a RAW's preview in memory decodes as its file would";
    EXPECT_THROW(JpegDecoder::decodeScaled(std::string_view(bytes).substr(0, bytes.size() / 2), 200, 150, {}),
                 DecodeError);
    const fs::path cut = t.file("cut.jpg", bytes.substr(0, bytes.size() / 2));
    EXPECT_THROW(JpegDecoder::decodeScaled(cut, 200, 150, {}), DecodeError);
    EXPECT_THROW(JpegDecoder::decodeScaled(t.file("empty.jpg"), 200, 150, {}), DecodeError);
}

// A progressive JPEG whose last scan is repeated: every repeat is a whole pass over the picture, so a few
// thousand of them in a file of a few hundred KiB hold a decoder for minutes unless it counts them.
std::string scanBomb(const std::string &progressive, int repeats)
{
    const size_t lastScan = progressive.rfind("\xff\xda");
    const size_t end = progressive.rfind("\xff\xd9");
    std::string bomb = progressive.substr(0, end);
    const std::string scan = progressive.substr(lastScan, end - lastScan);
    for (int i = 0; i < repeats; ++i)
        bomb += scan;
    return bomb + "\xff\xd9";
}

// Hostile JPEGs fail on their own terms, as libvips' loader fails them, instead of holding a thread: a file
// that repeats its scans, one whose header asks for more pixels or (progressive) coefficient memory than a
// decode may take. The checks come before any pixel is decoded, in the fast path and in libvips' alike.
TEST(JpegDecoder, HostileFilesFailBeforeTheyCostMinutes)
{
    VipsRuntime::ensureStarted();
    test::TempTree t;
    const fs::path progressive = t.root() / "progressive.jpg";
    ASSERT_TRUE(test::magick({u"-size"_s, u"2000x2000"_s, u"gradient:"_s, u"-interlace"_s, u"JPEG"_s}, progressive));
    const std::string bytes = test::readFile(progressive);
    EXPECT_TRUE(JpegDecoder::decodeScaled(progressive, 500, 500, {}).has_value());

    const fs::path bomb = t.file("bomb.jpg", scanBomb(bytes, 3000));
    EXPECT_THROW(JpegDecoder::decodeScaled(bomb, 500, 500, {}), DecodeError);
    EXPECT_THROW(vips::VImage::new_from_file(bomb.c_str()).avg(), vips::VError) << "libvips refuses it too";
    vips_error_clear();

    // The frame header's size, set past each budget: 25000 x 20000 progressive (500 MP of coefficients at
    // 3 bytes a pixel), 30000 x 20000 baseline (600 MP).
    const auto withSize = [](std::string jpeg, char marker, int width, int height) {
        const size_t sof = jpeg.find(std::string("\xff") + marker);
        jpeg[sof + 5] = char(height >> 8);
        jpeg[sof + 6] = char(height & 0xff);
        jpeg[sof + 7] = char(width >> 8);
        jpeg[sof + 8] = char(width & 0xff);
        return jpeg;
    };
    const fs::path wide = t.file("wide.jpg", withSize(bytes, '\xc2', 25000, 20000));
    EXPECT_THROW(JpegDecoder::decodeScaled(wide, 500, 500, {}), DecodeError);
    const fs::path baseline = t.root() / "baseline.jpg";
    ASSERT_TRUE(test::magick({u"-size"_s, u"64x64"_s, u"gradient:"_s}, baseline));
    const fs::path huge = t.file("huge.jpg", withSize(test::readFile(baseline), '\xc0', 30000, 20000));
    EXPECT_THROW(JpegDecoder::decodeScaled(huge, 500, 500, {}), DecodeError);
}

// Left half red, right half blue, so that the trim and the turn can be seen in the thumbnail.
bool makeHalves(const fs::path &file, int width, int height)
{
    return test::magick({u"-size"_s, QStringLiteral("%1x%2").arg(width / 2).arg(height), u"xc:red"_s, u"-size"_s,
                         QStringLiteral("%1x%2").arg(width / 2).arg(height), u"xc:blue"_s, u"+append"_s},
                        file);
}

bool reddish(QRgb c) { return qRed(c) > 160 && qBlue(c) < 100; }
bool bluish(QRgb c) { return qBlue(c) > 160 && qRed(c) < 100; }

// A camera's EXIF thumbnail, padded with black bars into 160 x 120 as cameras do for a 3:2 frame: read
// trimmed to the photo's proportions, upright by the photo's Orientation, no larger than asked.
TEST(EmbeddedThumbnail, TrimmedUprightAndScaled)
{
    if (!test::haveTool("convert") || !test::haveTool("exiftool"))
        GTEST_SKIP();
    test::TempTree t;
    const fs::path thumb = t.root() / "thumb.jpg";
    ASSERT_TRUE(makeHalves(thumb, 160, 107));
    ASSERT_TRUE(test::magick(
        {test::qpath(thumb), u"-background"_s, u"black"_s, u"-gravity"_s, u"center"_s, u"-extent"_s, u"160x120"_s},
        thumb));
    struct Row
    {
        const char *orientation;
        int maxLongEdge;
        QSize size;
        bool redOnTop; // else red on the left
    };
    for (const Row &row :
         {Row{"1", 0, {160, 107}, false}, Row{"6", 0, {107, 160}, true}, Row{"1", 96, {96, 64}, false}}) {
        SCOPED_TRACE(row.orientation + std::to_string(row.maxLongEdge));
        const fs::path photo = t.root() / "photo.jpg";
        ASSERT_TRUE(makeHalves(photo, 1500, 1000));
        ASSERT_TRUE(test::setExif(
            photo,
            {u"-Orientation#="_s + QLatin1StringView(row.orientation), u"-ThumbnailImage<="_s + test::qpath(thumb)}));
        const QImage picture = EmbeddedThumbnail::read(photo, 0, row.maxLongEdge);
        ASSERT_FALSE(picture.isNull());
        EXPECT_NEAR(picture.width(), row.size.width(), 1);
        EXPECT_NEAR(picture.height(), row.size.height(), 1);
        const QRgb first = picture.pixel(2, 2);
        const QRgb last = picture.pixel(picture.width() - 3, picture.height() - 3);
        EXPECT_TRUE(reddish(first) && bluish(last)) << "no black bar, and the halves where the photo has them";
        const QRgb otherCorner
            = row.redOnTop ? picture.pixel(picture.width() - 3, 2) : picture.pixel(2, picture.height() - 3);
        EXPECT_TRUE(reddish(otherCorner));
    }

    // Nothing to show: a JPEG without a thumbnail, a file that is not a picture, a clip named as a photo.
    const fs::path bare = t.root() / "bare.jpg";
    ASSERT_TRUE(makeHalves(bare, 300, 200));
    EXPECT_TRUE(EmbeddedThumbnail::read(bare, 0, 160).isNull());
    EXPECT_TRUE(EmbeddedThumbnail::read(t.file("notes.jpg", "not a picture"), 0, 160).isNull());
    if (test::haveTool("ffmpeg")) {
        ASSERT_TRUE(test::ffmpeg(test::testPattern("320x240") + QStringList{u"-f"_s, u"mp4"_s}, t.root() / "clip.jpg"));
        EXPECT_TRUE(EmbeddedThumbnail::read(t.root() / "clip.jpg", 0, 160).isNull());
    }
}

// What the headers record, and nothing where they record nothing.
TEST(ShootingInfo, ReadsWhatTheFileRecordsAndLeavesTheRestEmpty)
{
    if (!test::haveTool("convert") || !test::haveTool("exiftool"))
        GTEST_SKIP();
    test::TempTree t;
    const fs::path photo = t.root() / "IMG_1.JPG";
    ASSERT_TRUE(
        test::makeJpeg(photo, 600, 400,
                       {u"-DateTimeOriginal=2024:05:01 10:20:30"_s, u"-Make=Canon"_s, u"-Model=Canon EOS R6"_s,
                        u"-LensModel=RF24-105mm F4 L IS USM"_s, u"-ExposureTime=1/250"_s, u"-FNumber=2.8"_s,
                        u"-ISO=400"_s, u"-FocalLength=50"_s, u"-ExposureCompensation=-0.7"_s, u"-Orientation#=6"_s}));
    const ShootingInfo info = ShootingInfo::read(photo, false);
    EXPECT_EQ(info.captured, QDateTime(QDate(2024, 5, 1), QTime(10, 20, 30)));
    EXPECT_EQ(info.camera, u"Canon EOS R6"_s) << "the make said once";
    EXPECT_EQ(info.lens, u"RF24-105mm F4 L IS USM"_s);
    EXPECT_NEAR(info.exposureSeconds.value_or(0), 1.0 / 250, 1e-6);
    EXPECT_NEAR(info.fNumber.value_or(0), 2.8, 1e-6);
    EXPECT_EQ(info.iso, 400);
    EXPECT_NEAR(info.focalLengthMm.value_or(0), 50, 1e-6);
    EXPECT_NEAR(info.exposureBiasEv.value_or(0), -0.7, 0.01);
    EXPECT_EQ(info.size, QSize(400, 600)) << "as shown, upright";
    EXPECT_EQ(info.fileBytes, int64_t(fs::file_size(photo)));

    // A make that the model starts with in part ("NIKON CORPORATION" and "NIKON D7100") is said once too.
    ASSERT_TRUE(test::setExif(photo, {u"-Make=NIKON CORPORATION"_s, u"-Model=NIKON D7100"_s}));
    EXPECT_EQ(ShootingInfo::read(photo, false).camera, u"NIKON D7100"_s);
    ASSERT_TRUE(test::setExif(photo, {u"-Make=Apple"_s, u"-Model=iPhone 7"_s}));
    EXPECT_EQ(ShootingInfo::read(photo, false).camera, u"Apple iPhone 7"_s);

    const fs::path bare = t.root() / "bare.jpg";
    ASSERT_TRUE(test::makeJpeg(bare, 300, 200));
    const ShootingInfo none = ShootingInfo::read(bare, false);
    EXPECT_FALSE(none.captured || none.exposureSeconds || none.fNumber || none.iso || none.focalLengthMm
                 || none.exposureBiasEv || none.durationSeconds);
    EXPECT_TRUE(none.camera.isEmpty() && none.lens.isEmpty());
    EXPECT_EQ(none.size, QSize(300, 200));

    if (!test::haveTool("ffmpeg"))
        return;
    const fs::path clip = t.root() / "clip.mp4";
    ASSERT_TRUE(test::ffmpeg(test::testPattern("320x180", 2) + QStringList{u"-pix_fmt"_s, u"yuv420p"_s}, clip));
    ASSERT_TRUE(test::rotateClip(clip, 90));
    const ShootingInfo video = ShootingInfo::read(clip, true);
    EXPECT_NEAR(video.durationSeconds.value_or(0), 2.0, 0.1);
    EXPECT_NEAR(video.framesPerSecond.value_or(0), 30.0, 0.01);
    EXPECT_EQ(video.codec, u"H.264"_s);
    EXPECT_EQ(video.size, QSize(180, 320)) << "as played, upright";
    EXPECT_FALSE(video.iso || video.fNumber);
}

// Equal pixels, whatever the formats and the colour spaces files name.
bool samePixels(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
    if (x.size() != y.size())
        return false;
    for (int row = 0; row < x.height(); ++row) {
        if (std::memcmp(x.constScanLine(row), y.constScanLine(row), size_t(x.width()) * 4) != 0)
            return false;
    }
    return true;
}

// PNGs as other programs write them read as Qt's reader reads them; ours read back exactly, in Qt's reader
// too; a picture larger than the bound or a truncated file gives nothing.
TEST(PngCodec, ReadsWhatOthersWriteAndWritesWhatOthersRead)
{
    test::TempTree t;
    const QStringList colourful{u"-size"_s, u"120x80"_s, u"plasma:fractal"_s};
    const std::vector<std::pair<const char *, QStringList>> rows{
        {"rgb", colourful},
        {"rgba",
         colourful
             + QStringList{u"-alpha"_s, u"set"_s, u"-channel"_s, u"A"_s, u"-evaluate"_s, u"set"_s, u"40%"_s,
                           u"+channel"_s, u"PNG32:"_s}},
        {"palette", colourful + QStringList{u"-colors"_s, u"16"_s, u"PNG8:"_s}},
        {"grey16", colourful + QStringList{u"-colorspace"_s, u"Gray"_s, u"-depth"_s, u"16"_s}}};
    for (const auto &[name, args] : rows) {
        SCOPED_TRACE(name);
        const fs::path file = t.root() / (std::string(name) + ".png");
        QStringList made = args;
        const QString prefix = made.last().endsWith(u':') ? made.takeLast() : QString();
        ASSERT_TRUE(test::magick(made, prefix.isEmpty() ? file : fs::path((prefix + test::qpath(file)).toStdString())));
        QFile in(test::qpath(file));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray png = in.readAll();
        const QImage ours = PngCodec::decode(png, 120);
        const QImage qts(test::qpath(file));
        ASSERT_FALSE(ours.isNull());
        EXPECT_EQ(ours.hasAlphaChannel(), qts.hasAlphaChannel());
        EXPECT_TRUE(samePixels(ours, qts));
        const QByteArray written = PngCodec::encode(ours);
        EXPECT_TRUE(samePixels(PngCodec::decode(written, 120), ours));
        EXPECT_TRUE(samePixels(QImage::fromData(written, "PNG"), ours));
        EXPECT_TRUE(PngCodec::decode(png, 119).isNull()) << "larger than the bound";
        EXPECT_TRUE(PngCodec::decode(png.left(png.size() / 2), 120).isNull()) << "truncated";
    }
}

} // namespace
} // namespace vorlane
