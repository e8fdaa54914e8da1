#include "media/picture.h"

#include "media/image_conversion.h"
#include "media/image_decoder.h"
#include "media/video_frame_grabber.h"

namespace vorlane::Picture {

QImage still(const std::filesystem::path &path, int maxLongEdge, std::stop_token token)
{
    return toQImage(ImageDecoder::decode(path, maxLongEdge, std::move(token)));
}

QImage videoFrame(const std::filesystem::path &path, int maxLongEdge, double atSeconds, std::stop_token token)
{
    return VideoFrameGrabber::grab(path, maxLongEdge, atSeconds, std::move(token));
}

} // namespace vorlane::Picture
