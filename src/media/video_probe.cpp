#include "media/video_probe.h"

#include "media/decode_error.h"
#include "media/libav_support.h"

namespace vorlane::VideoProbe {

std::optional<Shape> shape(const std::filesystem::path &path)
{
    try {
        const ffi::InputFormatPtr format = LibavSupport::openInput(path, true);
        const AVStream *stream = LibavSupport::videoStream(format.get());
        if (!stream)
            return std::nullopt;
        Shape shape{DisplayOrientation::of(stream), QSize(stream->codecpar->width, stream->codecpar->height)};
        if (format->duration > 0)
            shape.durationMs = format->duration / (AV_TIME_BASE / 1000);
        return shape;
    } catch (const DecodeError &) {
        return std::nullopt;
    }
}

} // namespace vorlane::VideoProbe
