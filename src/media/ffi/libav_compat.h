#pragma once

// The FFmpeg API where it differs between FFmpeg 5.1 (Debian 12) and 7.1 (Debian 13), and nowhere else.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstddef>
#include <cstdint>

namespace vorlane::LibavCompat {

// Since FFmpeg 6.1 (libavcodec 60.31) a stream's side data (its display matrix) lives in its codec
// parameters; before, in the stream itself.
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 31, 102)
inline const uint8_t *streamSideData(const AVStream *stream, AVPacketSideDataType type, size_t *size)
{
    const AVPacketSideData *data
        = av_packet_side_data_get(stream->codecpar->coded_side_data, stream->codecpar->nb_coded_side_data, type);
    if (!data)
        return nullptr;
    *size = data->size;
    return data->data;
}

inline uint8_t *newStreamSideData(AVStream *stream, AVPacketSideDataType type, size_t size)
{
    AVPacketSideData *data = av_packet_side_data_new(&stream->codecpar->coded_side_data,
                                                     &stream->codecpar->nb_coded_side_data, type, size, 0);
    return data ? data->data : nullptr;
}
#else
inline const uint8_t *streamSideData(const AVStream *stream, AVPacketSideDataType type, size_t *size)
{
    return av_stream_get_side_data(stream, type, size);
}

inline uint8_t *newStreamSideData(AVStream *stream, AVPacketSideDataType type, size_t size)
{
    return av_stream_new_side_data(stream, type, size);
}
#endif

} // namespace vorlane::LibavCompat
