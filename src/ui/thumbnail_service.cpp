#include "ui/thumbnail_service.h"

#include "catalogue/media_classifier.h"
#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/embedded_thumbnail.h"
#include "media/image_pipeline.h"
#include "media/jpeg_decoder.h"
#include "media/picture.h"

namespace vorlane {

ThumbnailService::ThumbnailService(SharedThumbnailStore store)
    : m_store(std::move(store))
{
}

QImage ThumbnailService::decode(const std::filesystem::path &file, int pixels, std::stop_token token)
{
    try {
        if (MediaClassifier::classify(file) == MediaKind::Video)
            return Picture::videoKeyframe(file, pixels, 1.0, token);
        return Picture::still(file, pixels, token);
    } catch (const CancelledError &) {
        return {};
    } catch (const DecodeError &) {
        return {};
    }
}

ThumbnailService::Quick ThumbnailService::quick(const std::filesystem::path &file, int pixels,
                                                std::stop_token token) const
{
    if (QImage image = m_store.lookup(file, pixels); !image.isNull()) {
        // Another program's thumbnail of a JPEG that may be cut short shows until a decode says whether the
        // photo is whole: a viewer that draws what a truncated file holds leaves a clean picture behind.
        return {std::move(image), !JpegDecoder::mayBeCutShort(file)};
    }
    try {
        QImage embedded = EmbeddedThumbnail::read(file, pixels, pixels, std::move(token));
        // A phone's HEIF thumbnail is a picture of its own, as sharp as a decode would make it at this size
        // (which would read that very thumbnail): it is final. A JPEG's EXIF thumbnail only stands in.
        const bool final = !embedded.isNull() && std::min(embedded.width(), embedded.height()) >= pixels
            && ImagePipeline::acceptedLoader(file, ImagePipeline::Loaders::StillPictures) == "heifload";
        return {std::move(embedded), final};
    } catch (const CancelledError &) {
        return {};
    }
}

QImage ThumbnailService::make(const std::filesystem::path &file, int pixels, std::stop_token token) const
{
    QImage image = m_store.lookup(file, pixels);
    return image.isNull() ? sharp(file, pixels, std::move(token)) : image;
}

QImage ThumbnailService::sharp(const std::filesystem::path &file, int pixels, std::stop_token token) const
{
    // Generate at the shared cache's flavour size, so what is stored serves every smaller request too.
    const auto flavour = SharedThumbnailStore::flavourFor(pixels);
    QImage image = decode(file, flavour ? flavour->pixels : pixels, std::move(token));
    if (!image.isNull() && flavour)
        m_store.store(file, pixels, image);
    return image;
}

} // namespace vorlane
