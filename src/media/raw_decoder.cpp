#include "media/raw_decoder.h"
#include "media/image_conversion.h"

#include "catalogue/exiv2_runtime.h"
#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/ffi/libraw_compat.h"
#include "media/ffi/libraw_handle.h"
#include "media/image_pipeline.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vorlane::RawDecoder {
namespace {

using vips::VImage;

// A preview whose long edge reaches this share of the sensor's counts as full size (cameras crop a few
// dozen border pixels from the JPEG they embed: 6000 of 6036 for a D7100).
constexpr double fullSizeShare = 0.9;

// When the sensor data cannot be decoded, a smaller preview still serves unless it is thumbnail-sized: a
// 160 px (or 1 x 1) picture is not a copy of a photograph. A caller asking for less takes what it asked for.
constexpr int minFallbackLongEdge = 512;

// LibRaw's own allocation ceiling for one file; the pixel budget below is checked first.
constexpr unsigned maxRawMemoryMiB = 768;

struct EmbeddedPreviews
{
    std::vector<Exiv2::PreviewImage> images; // largest first
    int orientation = 1;
};

EmbeddedPreviews readPreviews(const std::filesystem::path &path)
{
    EmbeddedPreviews result;
    try {
        auto image = Exiv2Runtime::openStill(path); // by content: a clip named ".CR2" is never parsed
        if (!image.get())
            return result;
        image->readMetadata();
        const Exiv2::ExifData &exif = image->exifData();
        if (const auto it = Exiv2::orientation(exif); it != exif.end() && it->count() > 0) {
            const long value = Exiv2Compat::toInteger(*it);
            if (value >= 1 && value <= 8)
                result.orientation = int(value);
        }
        Exiv2::PreviewManager manager(*image);
        auto properties = manager.getPreviewProperties();
        std::stable_sort(properties.begin(), properties.end(), [](const auto &a, const auto &b) {
            return uint64_t(a.width_) * a.height_ > uint64_t(b.width_) * b.height_;
        });
        for (const auto &property : properties) {
            if (property.width_ == 0 || property.height_ == 0)
                continue;
            result.images.push_back(manager.getPreviewImage(property));
        }
    } catch (...) {
        // Unreadable or damaged metadata (exiv2 0.27 rejects some CR3s): no previews, LibRaw may still work.
    }
    return result;
}

struct DecodedPreview
{
    VImage image;
    int longEdge = 0; // of the preview as stored, before any scaling
};

std::optional<DecodedPreview> largestDecodable(const EmbeddedPreviews &previews, int maxDimension,
                                               const std::stop_token &token)
{
    for (const auto &preview : previews.images) {
        checkCancellation(token);
        try {
            const std::string_view bytes(reinterpret_cast<const char *>(preview.pData()), preview.size());
            VImage image = ImagePipeline::fromBuffer(bytes, maxDimension, previews.orientation, token);
            image.set(kEmbeddedPreviewField, 1); // told apart from a render of the sensor data, for the histogram
            return DecodedPreview{std::move(image), int(std::max(preview.width(), preview.height()))};
        } catch (const DecodeError &) {
            // Listed but its bytes are missing (a stripped or cut file): try the next smaller one.
        }
    }
    return std::nullopt;
}

void onDataError(void *, const char *, const int) { } // counted by LibRaw; keep stderr quiet

int onProgress(void *data, enum LibRaw_progress, int, int)
{
    return static_cast<const std::stop_token *>(data)->stop_requested() ? 1 : 0;
}

// The sensor data's long edge, without decoding it; 0 when LibRaw cannot identify the file.
int sensorLongEdge(const std::filesystem::path &path)
{
    LibRawPtr raw = std::make_unique<LibRawHandle>();
    raw->set_dataerror_handler(onDataError, nullptr);
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS)
        return 0;
    return std::max<int>(raw->imgdata.sizes.width, raw->imgdata.sizes.height);
}

std::optional<VImage> decodeSensor(const std::filesystem::path &path, std::optional<int> maxDimension,
                                   const std::stop_token &token)
{
    LibRawPtr raw = std::make_unique<LibRawHandle>();
    raw->set_dataerror_handler(onDataError, nullptr);
    raw->set_progress_handler(onProgress, const_cast<std::stop_token *>(&token));
    LibRawCompat::setMaxRawMemoryMiB(*raw, maxRawMemoryMiB);
    if (raw->open_file(path.c_str()) != LIBRAW_SUCCESS)
        return std::nullopt;

    const auto &sizes = raw->imgdata.sizes;
    const int64_t sensorPixels = int64_t(sizes.raw_width) * sizes.raw_height;
    if (sensorPixels <= 0 || sensorPixels > ImagePipeline::maxStreamedPixels)
        return std::nullopt;
    // LibRaw 0.20 unpacks a file cut short before or inside its sensor data without an error. Even lossy
    // compressed sensor data takes more than a bit per pixel, so a file with less left after the data's
    // start is incomplete.
    std::error_code ec;
    const auto fileSize = int64_t(std::filesystem::file_size(path, ec));
    const int64_t offset = raw->sensorDataOffset();
    if (ec || offset <= 0 || fileSize - offset < sensorPixels / 8)
        return std::nullopt;

    const int longEdge = std::max<int>(sizes.width, sizes.height);
    auto &params = raw->imgdata.params;
    params.half_size = maxDimension && longEdge / 2 >= *maxDimension ? 1 : 0;
    params.use_camera_wb = 1;
    params.output_bps = 8;
    params.output_color = 1; // sRGB

    checkCancellation(token);
    if (raw->unpack() != LIBRAW_SUCCESS || raw->error_count() > 0)
        return std::nullopt;
    checkCancellation(token);
    if (raw->dcraw_process() != LIBRAW_SUCCESS || raw->error_count() > 0) {
        checkCancellation(token);
        return std::nullopt;
    }
    int error = 0;
    const LibRawImagePtr processed(raw->dcraw_make_mem_image(&error));
    if (!processed || error != LIBRAW_SUCCESS || processed->type != LIBRAW_IMAGE_BITMAP || processed->bits != 8
        || (processed->colors != 1 && processed->colors != 3))
        return std::nullopt;
    raw.reset(); // the sensor buffers go before the picture is scaled
    try {
        // A copy: an image that is already in memory comes out of the pipeline as itself when no scaling is
        // needed, and LibRaw's buffer is freed on return.
        VipsImage *copied = vips_image_new_from_memory_copy(processed->data, processed->data_size, processed->width,
                                                            processed->height, processed->colors, VIPS_FORMAT_UCHAR);
        if (!copied)
            return std::nullopt;
        const VImage pixels(copied);
        return ImagePipeline::fromImage(pixels, maxDimension.value_or(0), 1, token);
    } catch (const DecodeError &) {
        return std::nullopt;
    }
}

} // namespace

std::optional<VImage> decode(const std::filesystem::path &path, std::optional<int> maxDimension, std::stop_token token)
{
    checkCancellation(token);
    const EmbeddedPreviews previews = readPreviews(path);
    auto preview = largestDecodable(previews, maxDimension.value_or(0), token);
    if (preview && maxDimension && preview->longEdge >= *maxDimension)
        return std::move(preview->image);
    if (ImagePipeline::isPlainPhotoFile(path))
        return std::nullopt;
    if (preview) {
        const int sensor = sensorLongEdge(path);
        if (sensor > 0 && preview->longEdge >= fullSizeShare * sensor)
            return std::move(preview->image);
    }
    checkCancellation(token);
    if (auto sensor = decodeSensor(path, maxDimension, token))
        return sensor;
    checkCancellation(token);
    if (preview && preview->longEdge >= std::min(minFallbackLongEdge, maxDimension.value_or(minFallbackLongEdge)))
        return std::move(preview->image);
    return std::nullopt;
}

std::optional<VImage> embeddedPreview(const std::filesystem::path &path, int maxDimension, std::stop_token token)
{
    checkCancellation(token);
    auto preview = largestDecodable(readPreviews(path), maxDimension, token);
    if (!preview)
        return std::nullopt;
    return std::move(preview->image);
}

} // namespace vorlane::RawDecoder
