// The short cuts of the copies and the grid: the scaled JPEG decode and the resampler behind it, the PNGs of
// the shared thumbnail cache, the picture a camera stores beside a photo, and the shooting information read from
// headers alone. Each is checked against libvips, ImageMagick, exiftool or ffmpeg, never against itself.
#include <vips/vips8> // first: GLib's headers must not meet Qt's keyword macros

#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/embedded_thumbnail.h"
#include "media/ffi/vips_runtime.h"
#include "media/jpeg_decoder.h"
#include "media/lanczos_resampler.h"
#include "media/png_codec.h"
#include "media/shooting_info.h"

#include "testsupport/support.h"

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
        ASSERT_EQ(QSize(ours.width, ours.height), QSize(width, height));
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

// The DCT scale chosen is the smallest n/8 that still covers what was asked; below 1/8, whole blocks of the
// 1/8 decode are averaged while the result still covers it (blocks cut by the edge average what is there),
// as libvips' box shrink of the same 1/8 decode does. JPEGs whose colours need the general decoder are left
// to it, and a damaged one is refused.
TEST(JpegDecoder, DecodesAtTheSmallestScaleThatCoversTheTarget)
{
    VipsRuntime::ensureStarted();
    test::TempTree t;
    const fs::path photo = t.root() / "photo.jpg";
    ASSERT_TRUE(test::magick({u"-size"_s, u"1600x1200"_s, u"plasma:fractal"_s, u"-quality"_s, u"90"_s}, photo));
    // asked, decoded, blocks of the 1/8 decode averaged (0: none)
    const std::vector<std::tuple<QSize, QSize, int>> rows{{{200, 150}, {200, 150}, 0},
                                                          {{201, 100}, {400, 300}, 0},
                                                          {{600, 450}, {600, 450}, 0},
                                                          {{601, 10}, {800, 600}, 0},
                                                          {{1500, 1125}, {1600, 1200}, 0},
                                                          {{1600, 1200}, {1600, 1200}, 0},
                                                          {{100, 75}, {100, 75}, 2},
                                                          {{99, 10}, {100, 75}, 2},
                                                          {{50, 37}, {50, 38}, 4},
                                                          {{30, 30}, {40, 30}, 5},
                                                          {{1, 1}, {2, 1}, 150}};
    for (const auto &[asked, decoded, blocks] : rows) {
        SCOPED_TRACE(std::to_string(asked.width()) + "x" + std::to_string(asked.height()));
        const auto pixels = JpegDecoder::decodeScaled(photo, asked.width(), asked.height(), {});
        ASSERT_TRUE(pixels.has_value());
        EXPECT_EQ(QSize(pixels->width, pixels->height), decoded);
        ASSERT_EQ(pixels->rgb.size(), size_t(decoded.width()) * decoded.height() * 3);
        if (blocks == 0)
            continue;
        // Whole blocks only: libvips' shrink leaves out the ones the edge cuts.
        const vips::VImage eighth
            = vips::VImage::new_from_file(photo.c_str(), vips::VImage::option()->set("shrink", 8));
        const vips::VImage box = eighth.shrink(blocks, blocks).cast(VIPS_FORMAT_UCHAR);
        const int width = std::min(box.width(), eighth.width() / blocks);
        const int height = std::min(box.height(), eighth.height() / blocks);
        const RgbPixels reference = pixelsOf(box);
        double sum = 0;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width * 3; ++x)
                sum += std::abs(int(pixels->rgb[size_t(y * decoded.width() * 3 + x)])
                                - int(reference.rgb[size_t(y * box.width() * 3 + x)]));
        }
        EXPECT_LT(sum / (width * height * 3), 1.0) << "mean difference per channel";
        // The bottom right pixel averages its block as far as the picture goes.
        const int x0 = (decoded.width() - 1) * blocks, y0 = (decoded.height() - 1) * blocks;
        const vips::VImage corner = eighth.extract_area(x0, y0, std::min(blocks, eighth.width() - x0),
                                                        std::min(blocks, eighth.height() - y0));
        for (int band = 0; band < 3; ++band) {
            const uint8_t ours = pixels->rgb[pixels->rgb.size() - 3 + size_t(band)];
            EXPECT_NEAR(ours, corner.extract_band(band).avg(), 1.0) << "band " << band;
        }
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
    // Cut short with a restart marker after every row of blocks, where libjpeg would pick up at each marker
    // and decode grey to the bottom.
    const fs::path ppm = t.root() / "photo.ppm";
    ASSERT_TRUE(test::magick({test::qpath(photo)}, ppm));
    const fs::path restarts = t.root() / "restarts.jpg";
    ASSERT_EQ(
        test::runTool(u"cjpeg"_s, {u"-restart"_s, u"1"_s, u"-outfile"_s, test::qpath(restarts), test::qpath(ppm)}), 0);
    const std::string restartBytes = test::readFile(restarts);
    ASSERT_NE(restartBytes.find("\xff\xdd"), std::string::npos) << "a restart interval";
    EXPECT_TRUE(JpegDecoder::decodeScaled(restarts, 200, 150, {}).has_value());
    EXPECT_THROW(JpegDecoder::decodeScaled(t.file("restartsCut.jpg", restartBytes.substr(0, restartBytes.size() / 2)),
                                           200, 150, {}),
                 DecodeError);
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
// that repeats its scans fails as damaged, and a header claiming 30000 x 20000 pixels over a few KiB of data,
// asked for at half its size, would return 15000 x 10000 pixels and is too large before any is decoded.
// (Headers too large at any size, over the coefficient budget or past libjpeg's 65,500 pixels a side, and one
// that streams at a copy's size and fails as damaged where its data ends, are tested through the copies, which
// decode large JPEGs here.)
TEST(JpegDecoder, HostileFilesFailBeforeTheyCostMinutes)
{
    VipsRuntime::ensureStarted();
    test::TempTree t;
    const fs::path progressive = t.root() / "progressive.jpg";
    ASSERT_TRUE(test::magick({u"-size"_s, u"2000x2000"_s, u"gradient:"_s, u"-interlace"_s, u"JPEG"_s}, progressive));
    EXPECT_TRUE(JpegDecoder::decodeScaled(progressive, 500, 500, {}).has_value());
    const fs::path bomb = t.file("bomb.jpg", scanBomb(test::readFile(progressive), 3000));
    EXPECT_THROW(JpegDecoder::decodeScaled(bomb, 500, 500, {}), DecodeError);

    const fs::path baseline = t.root() / "baseline.jpg";
    ASSERT_TRUE(test::magick({u"-size"_s, u"64x64"_s, u"gradient:"_s}, baseline));
    const fs::path huge = t.file("huge.jpg", test::withJpegSize(test::readFile(baseline), 30000, 20000));
    try {
        JpegDecoder::decodeScaled(huge, 15000, 10000, {});
        ADD_FAILURE() << "decoded";
    } catch (const DecodeError &error) {
        EXPECT_EQ(error.kind(), DecodeError::Kind::TooLarge) << error.what();
    }
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
    VORLANE_REQUIRE_TOOLS("convert", "exiftool");
    test::TempTree t;
    const fs::path thumb = t.root() / "thumb.jpg";
    ASSERT_TRUE(makeHalves(thumb, 160, 107));
    ASSERT_TRUE(test::magick(
        {test::qpath(thumb), u"-background"_s, u"black"_s, u"-gravity"_s, u"center"_s, u"-extent"_s, u"160x120"_s},
        thumb));
    const QString thumbnail = u"-ThumbnailImage<="_s + test::qpath(thumb);
    // the photo's Orientation, the long edge asked for (0: any), the size read, red on top (else on the left)
    const std::vector<std::tuple<const char *, int, QSize, bool>> rows{
        {"1", 0, {160, 107}, false}, {"6", 0, {107, 160}, true}, {"1", 96, {96, 64}, false}};
    for (const auto &[orientation, maxLongEdge, size, redOnTop] : rows) {
        SCOPED_TRACE(orientation + std::to_string(maxLongEdge));
        const fs::path photo = t.root() / "photo.jpg";
        ASSERT_TRUE(makeHalves(photo, 1500, 1000));
        ASSERT_TRUE(test::setExif(photo, {u"-Orientation#="_s + QLatin1StringView(orientation), thumbnail}));
        const QImage picture = EmbeddedThumbnail::read(photo, 0, maxLongEdge);
        ASSERT_FALSE(picture.isNull());
        EXPECT_NEAR(picture.width(), size.width(), 1);
        EXPECT_NEAR(picture.height(), size.height(), 1);
        const QRgb first = picture.pixel(2, 2);
        const QRgb last = picture.pixel(picture.width() - 3, picture.height() - 3);
        EXPECT_TRUE(reddish(first) && bluish(last)) << "no black bar, and the halves where the photo has them";
        EXPECT_TRUE(reddish(redOnTop ? picture.pixel(picture.width() - 3, 2) : picture.pixel(2, picture.height() - 3)));
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

// A phone's HEIF: its thumbnail image, upright, at its own size; a HEIF without one gives nothing (the main
// picture is the decode this path avoids), however large the thumbnail asked for.
TEST(EmbeddedThumbnail, AHeifsOwnThumbnailOrNothing)
{
    VORLANE_REQUIRE_FIXTURES(fixtures);
    const QImage car = EmbeddedThumbnail::read(fixtures / "formats/heic/classic-car.heic", 0, 4000);
    ASSERT_FALSE(car.isNull());
    EXPECT_EQ(car.size(), QSize(240, 320)) << "the portrait phone photo's thumbnail, as the phone stored it";
    for (const char *bare : {"formats/heic/iphone_7.heic", "formats/heif/issue_9292_sony_1_top_left.HIF"})
        EXPECT_TRUE(EmbeddedThumbnail::read(fixtures / bare, 0, 4000).isNull()) << bare;
}

// What a photo's headers record: the lens, the size as shown (upright) and the camera with its make said once.
// The exposure, the date and a file that records none of them are read through the preview's information
// panel, in its test; a clip's figures with its frame, in the decoder's test.
TEST(ShootingInfo, ReadsTheLensTheUprightSizeAndTheCamera)
{
    VORLANE_REQUIRE_TOOLS("convert", "exiftool");
    test::TempTree t;
    const fs::path photo = t.root() / "IMG_1.JPG";
    ASSERT_TRUE(test::makeJpeg(
        photo, 600, 400,
        {u"-Make=Canon"_s, u"-Model=Canon EOS R6"_s, u"-LensModel=RF24-105mm F4 L IS USM"_s, u"-Orientation#=6"_s}));
    const ShootingInfo info = ShootingInfo::read(photo, false);
    EXPECT_EQ(info.camera, u"Canon EOS R6"_s) << "the make said once";
    EXPECT_EQ(info.lens, u"RF24-105mm F4 L IS USM"_s);
    EXPECT_EQ(info.size, QSize(400, 600)) << "as shown, upright";
    EXPECT_EQ(info.fileBytes, int64_t(fs::file_size(photo)));
    ASSERT_TRUE(test::setExif(photo, {u"-Make=Apple"_s, u"-Model=iPhone 7"_s}));
    EXPECT_EQ(ShootingInfo::read(photo, false).camera, u"Apple iPhone 7"_s);
}

// Equal pixels, whatever the formats and the colour spaces files name.
bool samePixels(const QImage &a, const QImage &b)
{
    // 32-bit pixels leave no padding at the ends of the lines.
    const QImage x = a.convertToFormat(QImage::Format_ARGB32), y = b.convertToFormat(QImage::Format_ARGB32);
    return x.size() == y.size() && std::memcmp(x.constBits(), y.constBits(), size_t(x.sizeInBytes())) == 0;
}

// PNGs as other programs write them read as Qt's reader reads them; ours read back exactly, in Qt's reader
// too; a picture larger than the bound or a truncated file gives nothing.
TEST(PngCodec, ReadsWhatOthersWriteAndWritesWhatOthersRead)
{
    test::TempTree t;
    const QStringList colourful{u"-size"_s, u"120x80"_s, u"plasma:fractal"_s};
    // name, ImageMagick's options, the output format it is told before the file name
    const std::vector<std::tuple<const char *, QStringList, std::string>> rows{
        {"rgb", colourful, ""},
        {"rgba",
         colourful
             + QStringList{u"-alpha"_s, u"set"_s, u"-channel"_s, u"A"_s, u"-evaluate"_s, u"set"_s, u"40%"_s,
                           u"+channel"_s},
         "PNG32:"},
        {"palette", colourful + QStringList{u"-colors"_s, u"16"_s}, "PNG8:"},
        {"grey16", colourful + QStringList{u"-colorspace"_s, u"Gray"_s, u"-depth"_s, u"16"_s}, ""}};
    for (const auto &[name, args, format] : rows) {
        SCOPED_TRACE(name);
        const fs::path file = t.root() / (std::string(name) + ".png");
        ASSERT_TRUE(test::magick(args, format + file.string()));
        const QByteArray png = QByteArray::fromStdString(test::readFile(file));
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
