#include "media/image_pipeline.h"

#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/ffi/vips_blob.h"
#include "media/ffi/vips_errors.h"
#include "media/ffi/vips_kill_switch.h"
#include "media/ffi/vips_runtime.h"
#include "media/heif_orientation.h"
#include "media/image_geometry.h"
#include "media/jpeg_decoder.h"
#include "media/lanczos_resampler.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace vorlane::ImagePipeline {
namespace {

using vips::VImage;

constexpr std::array plainPhotoLoaders{std::string_view("jpegload"), std::string_view("pngload"),
                                       std::string_view("webpload"), std::string_view("heifload"),
                                       std::string_view("gifload")};
constexpr std::array stillPictureLoaders{std::string_view("jpegload"), std::string_view("pngload"),
                                         std::string_view("webpload"), std::string_view("heifload"),
                                         std::string_view("gifload"),  std::string_view("tiffload")};
// libvips has no BMP loader of its own: BMPs go to ImageMagick, which also claims almost any other bytes
// (video containers, TGA guesses). It is used only for bytes that begin as a BMP does.
constexpr std::string_view magickLoader("magickload");
// Loaders that decode strip by strip and so stay small however large the picture.
constexpr std::array streamingLoaders{std::string_view("jpegload"), std::string_view("pngload"),
                                      std::string_view("gifload"), std::string_view("tiffload")};

bool isOneOf(std::string_view loader, const auto &set)
{
    // Buffer and source variants share the file loader's prefix ("jpegload_buffer").
    return std::any_of(set.begin(), set.end(), [&](std::string_view name) {
        return loader.substr(0, name.size()) == name && (loader.size() == name.size() || loader[name.size()] == '_');
    });
}

std::string loaderOf(const VImage &header)
{
    if (header.get_typeof(VIPS_META_LOADER) == 0)
        return {};
    return header.get_string(VIPS_META_LOADER);
}

[[noreturn]] void failTooLarge(int width, int height)
{
    throw DecodeError::tooLarge(
        Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the picture is too large to decode (%1 x %2 pixels)"),
               {Phrase::verbatim(QString::number(width)), Phrase::verbatim(QString::number(height))}),
        QSize(width, height));
}

// The budgets on the header, before any pixel is decoded. A JPEG's memory does not grow with its area (its
// header was checked by JpegDecoder::checkHeader), the other formats' does or their decode time does.
void checkBudget(const VImage &header, std::string_view loader)
{
    if (isOneOf(loader, std::array{std::string_view("jpegload")}))
        return;
    const int64_t pixels = int64_t(header.width()) * header.height();
    const int64_t budget = isOneOf(loader, streamingLoaders) ? maxStreamedPixels : maxWholePicturePixels;
    if (pixels > budget)
        failTooLarge(header.width(), header.height());
}

// The picture returned is held whole in memory: at most maxStreamedPixels of it, whatever the file.
void checkTarget(const VImage &header, const ImageGeometry::Size &target)
{
    if (int64_t(target.width) * target.height > maxStreamedPixels)
        failTooLarge(header.width(), header.height());
}

int fileOrientation(const std::filesystem::path *path, const VImage &header, std::string_view loader)
{
    // libheif applies the container's irot/imir while decoding, and libvips then drops the EXIF tag: the
    // tag is applied only when the container has no transform of its own (an iPhone 7 stores Orientation 6
    // with no rotating irot).
    if (isOneOf(loader, std::array{std::string_view("heifload")}))
        return path ? HeifOrientation::pendingAfterDecode(*path) : 1;
    if (header.get_typeof(VIPS_META_ORIENTATION) == 0)
        return 1;
    const int orientation = header.get_int(VIPS_META_ORIENTATION);
    return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

bool startsAsBmp(const std::filesystem::path &path)
{
    char magic[2] = {};
    std::FILE *file = std::fopen(path.c_str(), "rbe");
    if (!file)
        return false;
    const size_t got = std::fread(magic, 1, sizeof magic, file);
    std::fclose(file);
    return got == 2 && magic[0] == 'B' && magic[1] == 'M';
}

std::string acceptedNickname(const char *nickname, Loaders loaders, const auto &startsAsBmpTest)
{
    if (!nickname)
        return {};
    if (loaders == Loaders::PlainPhotoFormats)
        return isOneOf(nickname, plainPhotoLoaders) ? nickname : std::string();
    if (isOneOf(nickname, stillPictureLoaders))
        return nickname;
    if (isOneOf(nickname, std::array{magickLoader}) && startsAsBmpTest())
        return nickname;
    return {};
}

// The size to scale to in stored (not yet rotated) axes.
ImageGeometry::Size storedTarget(int width, int height, int orientation, int maxLongEdge)
{
    const bool swap = ImageGeometry::swapsAxes(orientation);
    const auto upright = ImageGeometry::fitWithin(swap ? height : width, swap ? width : height, maxLongEdge);
    return swap ? ImageGeometry::Size{upright.height, upright.width} : upright;
}

vips::VOption *thumbnailOptions(ImageGeometry::Size target, VipsFailOn failOn = VIPS_FAIL_ON_TRUNCATED)
{
    return VImage::option()
        ->set("height", target.height)
        ->set("size", VIPS_SIZE_FORCE)
        ->set("no_rotate", true)
        ->set("fail_on", failOn);
}

VImage toSrgb8(VImage image)
{
    if (image.has_alpha()) {
        const VipsInterpretation kind = image.interpretation();
        const double white = kind == VIPS_INTERPRETATION_RGB16 || kind == VIPS_INTERPRETATION_GREY16 ? 65535.0
            : kind == VIPS_INTERPRETATION_scRGB                                                      ? 1.0
                                                                                                     : 255.0;
        image
            = image.flatten(VImage::option()->set("background", std::vector<double>(size_t(image.bands() - 1), white)));
    }
    if (image.interpretation() != VIPS_INTERPRETATION_sRGB || image.bands() != 3)
        image = image.colourspace(VIPS_INTERPRETATION_sRGB);
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() > 3)
        image = image.extract_band(0, VImage::option()->set("n", 3));
    return image;
}

VImage orient(VImage image, int orientation)
{
    if (orientation <= 1 || orientation > 8)
        return image;
    image = image.copy();
    image.set(VIPS_META_ORIENTATION, orientation);
    return image.autorot();
}

// Scales to exactly target (stored axes), converts, rotates, and renders into memory. Rendering is where
// a damaged file finally fails and where a stop request kills the pipeline.
VImage finish(VImage scaled, ImageGeometry::Size target, int orientation, const std::stop_token &token)
{
    if (scaled.width() != target.width || scaled.height() != target.height) {
        // libvips may round one side differently: a last exact resample (at most a pixel's worth).
        scaled = scaled.resize(double(target.width) / scaled.width(),
                               VImage::option()->set("vscale", double(target.height) / scaled.height()));
        if (scaled.width() != target.width || scaled.height() != target.height)
            scaled = scaled.gravity(VIPS_COMPASS_DIRECTION_NORTH_WEST, target.width, target.height,
                                    VImage::option()->set("extend", VIPS_EXTEND_COPY));
    }
    VImage result = toSrgb8(std::move(scaled));
    checkCancellation(token);
    VipsKillSwitch killSwitch(result.get_image(), token);
    try {
        result = result.copy_memory();
    } catch (const vips::VError &) {
        if (killSwitch.fired())
            throw CancelledError();
        throw;
    }
    // Turned only once in memory: the decode streams top to bottom, a turn reads in any order.
    return orientation > 1 ? orient(result, orientation).copy_memory() : result;
}

// A JPEG much larger than asked for is decoded straight at the smallest DCT scale that covers the target, then
// resampled once; libvips' own loader can only shrink by whole powers of two.
bool shrinksByHalf(const VImage &header, const ImageGeometry::Size &target)
{
    return target.width * 2 <= header.width() && target.height * 2 <= header.height();
}

VImage fromScaledJpeg(const RgbPixels &decoded, const ImageGeometry::Size &target, int orientation,
                      const std::stop_token &token)
{
    const RgbPixels pixels = LanczosResampler::resample(decoded, target.width, target.height, token);
    // new_from_memory borrows the pixels: finish() renders into memory of its own before they go.
    const VImage scaled = VImage::new_from_memory(const_cast<uint8_t *>(pixels.rgb.data()), pixels.rgb.size(),
                                                  pixels.width, pixels.height, 3, VIPS_FORMAT_UCHAR)
                              .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    return finish(scaled, target, orientation, token);
}

} // namespace

VImage fromFile(const std::filesystem::path &path, int maxLongEdge, Loaders loaders, int orientation,
                const std::stop_token &token)
{
    return decodingWithVips(path.filename().string(), [&] {
        const std::string accepted = acceptedLoader(path, loaders);
        if (accepted.empty()) {
            throw DecodeError(Phrase(loaders == Loaders::PlainPhotoFormats
                                         ? QT_TRANSLATE_NOOP("vorlane::Phrase", "the camera RAW format is not supported")
                                         : QT_TRANSLATE_NOOP("vorlane::Phrase", "the file is not a picture")));
        }
        if (isOneOf(accepted, std::array{std::string_view("jpegload")}))
            JpegDecoder::checkHeader(path);
        const VImage header = VImage::new_from_file(
            path.c_str(),
            VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
        const std::string loader = loaderOf(header);
        if (!isOneOf(loader, std::array{std::string_view(accepted)}))
            throw DecodeError(Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the file changed while it was read")));
        checkBudget(header, loader);
        if (orientation == 0)
            orientation = fileOrientation(&path, header, loader);
        const auto target = storedTarget(header.width(), header.height(), orientation, maxLongEdge);
        checkTarget(header, target);
        checkCancellation(token);
        if (loader == "jpegload" && shrinksByHalf(header, target)) {
            if (const auto decoded = JpegDecoder::decodeScaled(path, target.width, target.height, token))
                return fromScaledJpeg(*decoded, target, orientation, token);
        }
        VImage scaled = VImage::thumbnail(path.c_str(), target.width, thumbnailOptions(target));
        return finish(std::move(scaled), target, orientation, token);
    });
}

VImage fromBuffer(std::string_view bytes, int maxLongEdge, int orientation, const std::stop_token &token)
{
    return decodingWithVips({}, [&] {
        const char *typeName = vips_foreign_find_load_buffer(bytes.data(), bytes.size());
        const bool bmp = bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M';
        const std::string accepted = typeName ? acceptedNickname(vips_nickname_find(g_type_from_name(typeName)),
                                                                 Loaders::StillPictures, [bmp] { return bmp; })
                                              : std::string();
        if (accepted.empty())
            throw DecodeError(Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the embedded picture is not in a photo format")));
        if (isOneOf(accepted, std::array{std::string_view("jpegload")}))
            JpegDecoder::checkHeader(bytes);
        const VImage header = VImage::new_from_buffer(
            bytes.data(), bytes.size(), "",
            VImage::option()->set("access", VIPS_ACCESS_SEQUENTIAL)->set("fail_on", VIPS_FAIL_ON_TRUNCATED));
        const std::string loader = loaderOf(header);
        checkBudget(header, loader);
        if (orientation == 0)
            orientation = fileOrientation(nullptr, header, loader);
        const auto target = storedTarget(header.width(), header.height(), orientation, maxLongEdge);
        checkTarget(header, target);
        checkCancellation(token);
        if (loader == "jpegload_buffer" && shrinksByHalf(header, target)) {
            if (const auto decoded = JpegDecoder::decodeScaled(bytes, target.width, target.height, token))
                return fromScaledJpeg(*decoded, target, orientation, token);
        }
        const VipsBlobPtr blob(vips_blob_new(nullptr, bytes.data(), bytes.size()));
        VImage scaled = VImage::thumbnail_buffer(blob.get(), target.width, thumbnailOptions(target));
        return finish(std::move(scaled), target, orientation, token);
    });
}

VImage fromImage(const VImage &image, int maxLongEdge, int orientation, const std::stop_token &token)
{
    return decodingWithVips({}, [&] {
        if (int64_t(image.width()) * image.height() > maxWholePicturePixels)
            failTooLarge(image.width(), image.height());
        orientation = std::clamp(orientation, 1, 8);
        const auto target = storedTarget(image.width(), image.height(), orientation, maxLongEdge);
        VImage scaled = target == ImageGeometry::Size{image.width(), image.height()}
            ? image
            : image.thumbnail_image(target.width, thumbnailOptions(target, VIPS_FAIL_ON_NONE));
        return finish(std::move(scaled), target, orientation, token);
    });
}

std::string acceptedLoader(const std::filesystem::path &path, Loaders loaders)
{
    VipsRuntime::ensureStarted();
    const char *typeName = vips_foreign_find_load(path.c_str());
    if (!typeName) {
        vips_error_clear();
        return {};
    }
    return acceptedNickname(vips_nickname_find(g_type_from_name(typeName)), loaders, [&] { return startsAsBmp(path); });
}

bool isPlainPhotoFile(const std::filesystem::path &path)
{
    return !acceptedLoader(path, Loaders::PlainPhotoFormats).empty();
}

} // namespace vorlane::ImagePipeline
