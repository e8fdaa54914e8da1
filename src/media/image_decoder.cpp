#include "media/image_decoder.h"

#include "core/cancellation.h"
#include "media/image_pipeline.h"
#include "media/raw_decoder.h"

#include "catalogue/media_classifier.h"

namespace vorlane::ImageDecoder {

vips::VImage decode(const std::filesystem::path &path, int maxLongEdge, std::stop_token token)
{
    checkCancellation(token);
    if (MediaClassifier::isRaw(path)) {
        const std::optional<int> cap = maxLongEdge > 0 ? std::optional<int>(maxLongEdge) : std::nullopt;
        if (auto picture = RawDecoder::decode(path, cap, token))
            return std::move(*picture);
        checkCancellation(token);
        return ImagePipeline::fromFile(path, maxLongEdge, ImagePipeline::Loaders::PlainPhotoFormats, 0, token);
    }
    return ImagePipeline::fromFile(path, maxLongEdge, ImagePipeline::Loaders::StillPictures, 0, token);
}

} // namespace vorlane::ImageDecoder
