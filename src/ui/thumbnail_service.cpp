#include "ui/thumbnail_service.h"

#include "catalogue/media_classifier.h"
#include "copies/cancellation.h"
#include "copies/image_decoder.h"
#include "copies/video_frame_grabber.h"
#include "ui/image_conversion.h"

namespace vorlane {

ThumbnailService::ThumbnailService(SharedThumbnailStore store)
    : m_store(std::move(store))
{
}

QImage ThumbnailService::decode(const std::filesystem::path &file, int pixels, std::stop_token token)
{
    try {
        if (MediaClassifier::classify(file) == MediaKind::Video) {
            if (auto frame = VideoFrameGrabber::grab(file, pixels, 1.0, token))
                return toQImage(*frame);
            return {};
        }
        return toQImage(ImageDecoder::decode(file, pixels, token));
    } catch (const CancelledError &) {
        return {};
    } catch (const std::exception &) {
        return {};
    }
}

QImage ThumbnailService::make(const std::filesystem::path &file, int pixels, std::stop_token token) const
{
    QImage image = m_store.lookup(file, pixels);
    if (!image.isNull())
        return image;
    // Generate at the shared cache's flavour size, so what is stored serves every smaller request too.
    const auto flavour = SharedThumbnailStore::flavourFor(pixels);
    image = decode(file, flavour ? flavour->pixels : pixels, token);
    if (!image.isNull() && flavour)
        m_store.store(file, pixels, image);
    return image;
}

} // namespace vorlane
