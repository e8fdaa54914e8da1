#include "media/embedded_thumbnail.h"

#include "media/image_pipeline.h"

#include "catalogue/exiv2_runtime.h"
#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/ffi/vips_errors.h"
#include "media/image_conversion.h"

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cmath>

namespace vorlane::EmbeddedThumbnail {
namespace {

// A preview this large is a full rendering of the photo, so its proportions are the photo's.
constexpr uint32_t fullRenderingLongEdge = 1000;
// Proportions closer than this are taken as equal: rounding, not padding.
constexpr double sameShapeTolerance = 0.03;

uint32_t longEdge(const Exiv2::PreviewProperties &p) { return std::max(p.width_, p.height_); }

// Cuts the centre of an upright picture to width:height, the photo's upright proportions.
QImage trimmedTo(const QImage &picture, double width, double height)
{
    if (picture.isNull() || width <= 0 || height <= 0)
        return picture;
    const double wanted = width / height;
    const double have = double(picture.width()) / picture.height();
    if (std::abs(have / wanted - 1.0) <= sameShapeTolerance)
        return picture;
    if (have > wanted) {
        const int w = std::max(1, int(std::lround(picture.height() * wanted)));
        return picture.copy((picture.width() - w) / 2, 0, w, picture.height());
    }
    const int h = std::max(1, int(std::lround(picture.width() / wanted)));
    return picture.copy(0, (picture.height() - h) / 2, picture.width(), h);
}

// The thumbnail a phone stores in a HEIF file as an image item of its own (libheif reads it upright), at its
// own size (a few hundred pixels), when the file has one; libvips' loader gives the main picture when it has
// none, which is left alone here: it is the decode this step exists to avoid.
QImage heifThumbnail(const std::filesystem::path &path)
{
    constexpr int kLargestThumbnail = 1024;
    return decodingWithVips(path.filename().string(), [&] {
        vips::VImage image = vips::VImage::new_from_file(
            path.c_str(), vips::VImage::option()->set("thumbnail", true)->set("access", VIPS_ACCESS_SEQUENTIAL));
        if (std::max(image.width(), image.height()) > kLargestThumbnail)
            return QImage();
        return toQImage(image.colourspace(VIPS_INTERPRETATION_sRGB).cast(VIPS_FORMAT_UCHAR));
    });
}

} // namespace

QImage read(const std::filesystem::path &path, int minLongEdge, int maxLongEdge, std::stop_token token)
{
    checkCancellation(token);
    try {
        if (ImagePipeline::acceptedLoader(path, ImagePipeline::Loaders::StillPictures) == "heifload")
            return heifThumbnail(path);
        auto image = Exiv2Runtime::openStill(path); // by content: a clip named ".jpg" is never parsed
        if (!image.get())
            return {};
        image->readMetadata();
        int orientation = 1;
        const Exiv2::ExifData &exif = image->exifData();
        if (const auto it = Exiv2::orientation(exif); it != exif.end() && it->count() > 0) {
            const long value = Exiv2Compat::toInteger(*it);
            if (value >= 1 && value <= 8)
                orientation = int(value);
        }
        Exiv2::PreviewManager manager(*image);
        Exiv2::PreviewPropertiesList properties = manager.getPreviewProperties();
        std::erase_if(properties, [](const auto &p) { return p.width_ == 0 || p.height_ == 0; });
        if (properties.empty())
            return {};
        std::stable_sort(properties.begin(), properties.end(),
                         [](const auto &a, const auto &b) { return longEdge(a) < longEdge(b); });
        const auto chosen = std::find_if(properties.begin(), properties.end(),
                                         [&](const auto &p) { return longEdge(p) >= uint32_t(minLongEdge); });
        const Exiv2::PreviewProperties &pick = chosen != properties.end() ? *chosen : properties.back();

        // The photo's stored proportions: a full-size preview's, else the image's own (a JPEG's frame header).
        double width = image->pixelWidth();
        double height = image->pixelHeight();
        if (longEdge(properties.back()) >= fullRenderingLongEdge) {
            width = properties.back().width_;
            height = properties.back().height_;
        }
        if (orientation >= 5)
            std::swap(width, height);

        checkCancellation(token);
        const Exiv2::PreviewImage preview = manager.getPreviewImage(pick);
        const std::string_view bytes(reinterpret_cast<const char *>(preview.pData()), preview.size());
        QImage picture = toQImage(ImagePipeline::fromBuffer(bytes, 0, orientation, token));
        picture = trimmedTo(picture, width, height);
        if (maxLongEdge > 0 && std::max(picture.width(), picture.height()) > maxLongEdge)
            picture = picture.scaled(maxLongEdge, maxLongEdge, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return picture;
    } catch (const CancelledError &) {
        throw;
    } catch (const DecodeError &) {
        return {};
    } catch (const Exiv2Compat::Error &) {
        return {};
    } catch (const std::exception &) {
        return {};
    }
}

} // namespace vorlane::EmbeddedThumbnail
