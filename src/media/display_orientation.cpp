#include "media/display_orientation.h"

#include "media/ffi/libav_compat.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
}

#include <cmath>
#include <cstring>
#include <new>

namespace vorlane {

DisplayOrientation DisplayOrientation::of(const AVStream *stream)
{
    size_t size = 0;
    const uint8_t *data = LibavCompat::streamSideData(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (!data || size < 9 * sizeof(int32_t))
        return {};
    int32_t matrix[9];
    std::memcpy(matrix, data, sizeof matrix);

    DisplayOrientation result;
    // A negative determinant is a mirror image; undo the flip of the first column so the rest is a rotation.
    const double determinant = double(matrix[0]) * matrix[4] - double(matrix[1]) * matrix[3];
    if (determinant < 0) {
        result.mirrored = true;
        av_display_matrix_flip(matrix, 1, 0);
    }
    const double angle = av_display_rotation_get(matrix);
    if (std::isnan(angle))
        return result;
    const long quarters = std::lround(angle / 90.0);
    result.rotation = int(((quarters % 4) + 4) % 4) * 90;
    return result;
}

void DisplayOrientation::applyTo(AVStream *stream) const
{
    if (rotation == 0 && !mirrored)
        return;
    auto *matrix
        = reinterpret_cast<int32_t *>(LibavCompat::newStreamSideData(stream, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(int32_t)));
    if (!matrix)
        throw std::bad_alloc();
    // av_display_rotation_set turns clockwise, av_display_rotation_get reports counter-clockwise.
    av_display_rotation_set(matrix, -double(rotation));
    if (mirrored)
        av_display_matrix_flip(matrix, 1, 0);
}

} // namespace vorlane
