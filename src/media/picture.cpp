#include "media/picture.h"

#include "media/image_conversion.h"
#include "media/image_decoder.h"
#include "media/raw_decoder.h"

#include "catalogue/media_classifier.h"
#include "media/video_frame_grabber.h"

namespace vorlane::Picture {

QImage still(const std::filesystem::path &path, int maxLongEdge, std::stop_token token)
{
    return toQImage(ImageDecoder::decode(path, maxLongEdge, std::move(token)));
}

bool isEmbeddedPreview(const QImage &picture) { return !picture.text(QString::fromLatin1(kEmbeddedPreviewField)).isEmpty(); }

QImage rawPreview(const std::filesystem::path &path, int maxLongEdge, std::stop_token token)
{
    if (!MediaClassifier::isRaw(path))
        return {};
    if (auto preview = RawDecoder::embeddedPreview(path, maxLongEdge, std::move(token)))
        return toQImage(*preview);
    return {};
}

QImage videoFrame(const std::filesystem::path &path, int maxLongEdge, double atSeconds, std::stop_token token)
{
    return VideoFrameGrabber::grab(path, maxLongEdge, atSeconds, std::move(token));
}

QImage videoKeyframe(const std::filesystem::path &path, int maxLongEdge, double atSeconds, std::stop_token token)
{
    return VideoFrameGrabber::grabNear(path, maxLongEdge, atSeconds, std::move(token));
}

} // namespace vorlane::Picture
