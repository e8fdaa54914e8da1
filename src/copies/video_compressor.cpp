#include "copies/video_compressor.h"

#include "catalogue/bside_path_resolver.h"
#include "catalogue/copy_provenance.h"
#include "copies/atomic_file.h"
#include "copies/audio_transcoder.h"
#include "copies/copy_error.h"
#include "copies/video_transcoder.h"
#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/display_orientation.h"
#include "media/ffi/libav_handles.h"
#include "media/libav_support.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <optional>

namespace vorlane::VideoCompressor {
namespace {

// Rounded to the nearest integer (halves away from zero), raised by one when odd, at least 2.
int evenInt(double length)
{
    const long rounded = std::lround(length);
    return int(std::max(2L, rounded % 2 ? rounded + 1 : rounded));
}

[[noreturn]] void fail(CopyError::Reason reason, const std::string &message) { throw CopyError(reason, message); }
[[noreturn]] void fail(CopyError::Reason reason, const char *phrase) { throw CopyError(reason, Phrase(phrase)); }

// The file's video stream (LibavSupport::videoStream) and the first audio stream the demuxer could identify.
struct Tracks
{
    AVStream *video = nullptr;
    AVStream *audio = nullptr;
};

Tracks findTracks(const AVFormatContext *input)
{
    Tracks tracks{LibavSupport::videoStream(input), nullptr};
    for (unsigned i = 0; i < input->nb_streams && !tracks.audio; ++i) {
        AVStream *stream = input->streams[i];
        if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && stream->codecpar->codec_id != AV_CODEC_ID_NONE)
            tracks.audio = stream;
    }
    return tracks;
}

ffi::InputFormatPtr openReader(const std::filesystem::path &source)
{
    try {
        return LibavSupport::openInput(source);
    } catch (const DecodeError &error) {
        fail(CopyError::Reason::ReadFailed, std::string("reader: ") + error.what());
    }
}

ffi::OutputFormatPtr openWriter(const std::filesystem::path &file)
{
    AVFormatContext *raw = nullptr;
    // The file name ends in a temporary suffix, so the container is named rather than guessed.
    const int rc = avformat_alloc_output_context2(&raw, nullptr, "mp4", file.c_str());
    if (rc < 0 || !raw)
        fail(CopyError::Reason::WriteFailed, "writer: " + LibavSupport::errorText(rc));
    return ffi::OutputFormatPtr(raw);
}

// True when the container's index promises noticeably more video than the file holds: a copy that was cut
// off (an interrupted transfer). The demuxer reports such a file's end as a normal end of file, so without
// this check its copy would silently be shorter than the original. Streams without an indexed duration
// (Matroska, MPEG-TS estimates) are not judged.
bool endsEarly(const AVStream *video, int64_t videoEnd)
{
    if (video->duration <= 0 || video->duration == AV_NOPTS_VALUE || videoEnd == AV_NOPTS_VALUE)
        return false;
    const int64_t start = video->start_time == AV_NOPTS_VALUE ? 0 : video->start_time;
    const double missing = av_q2d(video->time_base) * double(start + video->duration - videoEnd);
    const double length = av_q2d(video->time_base) * double(video->duration);
    return missing > std::max(0.25, 0.02 * length);
}

// The bit rate of the source's video, in bits per second, or 0 when it cannot be told. Containers that
// record it per stream (MP4, MOV) are believed; for the others (Matroska, WebM, some AVI and MPEG-TS) the
// video packets are counted in a demuxing pass of their own, which stops as soon as the count passes
// `enough` bits per second: above that the copy's own ceiling applies anyway.
int64_t sourceVideoBitrate(const std::filesystem::path &source, const AVFormatContext *input, const AVStream *video,
                           int64_t enough, const std::stop_token &token)
{
    if (video->codecpar->bit_rate > 0)
        return video->codecpar->bit_rate;
    const double seconds = input->duration > 0 ? double(input->duration) / AV_TIME_BASE : 0.0;
    if (seconds <= 0.0)
        return 0;
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, source.c_str(), nullptr, nullptr) < 0)
        return 0;
    const ffi::InputFormatPtr pass(raw);
    if (video->index >= int(pass->nb_streams))
        return 0;
    for (unsigned i = 0; i < pass->nb_streams; ++i)
        pass->streams[i]->discard = int(i) == video->index ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    const ffi::PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    const double enoughBytes = double(enough) / 8.0 * seconds;
    double bytes = 0.0;
    while (av_read_frame(pass.get(), packet.get()) >= 0) {
        if (packet->stream_index == video->index)
            bytes += packet->size;
        av_packet_unref(packet.get());
        if (bytes > enoughBytes)
            return enough + 1;
        checkCancellation(token);
    }
    return int64_t(bytes * 8.0 / seconds);
}

} // namespace

int64_t copyVideoBitrate(int64_t sourceBitrate)
{
    return sourceBitrate > 0 ? std::min(sourceBitrate, videoBitrate) : videoBitrate;
}

std::pair<int, int> outputSize(double naturalW, double naturalH, int rotationDegrees)
{
    const bool quarterTurn = ((rotationDegrees % 180) + 180) % 180 == 90;
    const double shownW = std::max(std::abs(quarterTurn ? naturalH : naturalW), 1.0);
    const double shownH = std::max(std::abs(quarterTurn ? naturalW : naturalH), 1.0);
    const double scale = std::min(1.0, maxLongEdge / std::max(shownW, shownH));
    const int w = evenInt(scale * shownW);
    const int h = evenInt(scale * shownH);
    return quarterTurn ? std::pair{h, w} : std::pair{w, h};
}

namespace {

// Opens the source for reading with its video and first audio track; every other stream is skipped.
ffi::InputFormatPtr openSource(const std::filesystem::path &source, Tracks &tracks)
{
    std::error_code sizeError;
    if (std::filesystem::file_size(source, sizeError) == 0 && !sizeError)
        fail(CopyError::Reason::NoVideoTrack, QT_TRANSLATE_NOOP("vorlane::Phrase", "the file has no video track"));
    ffi::InputFormatPtr input = openReader(source);
    tracks = findTracks(input.get());
    if (!tracks.video)
        fail(CopyError::Reason::NoVideoTrack, QT_TRANSLATE_NOOP("vorlane::Phrase", "the file has no video track"));
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        if (input->streams[i] != tracks.video && input->streams[i] != tracks.audio)
            input->streams[i]->discard = AVDISCARD_ALL;
    }
    return input;
}

// Opens the output file and writes the MP4's header. The copy names the files it was made from (the muxer
// keeps "comment" as the MP4's ©cmt tag), so a later clip under the same name is not taken for it.
void startWriting(AVFormatContext *output, const std::filesystem::path &file, const QByteArray &record)
{
    av_dict_set(&output->metadata, "comment", record.constData(), 0);
    int rc = avio_open(&output->pb, file.c_str(), AVIO_FLAG_WRITE);
    if (rc < 0)
        fail(CopyError::Reason::WriteFailed, "writer: " + LibavSupport::errorText(rc));
    // +faststart: the muxer moves the index in front of the media once it is complete.
    av_opt_set(output->priv_data, "movflags", "+faststart", 0);
    rc = avformat_write_header(output, nullptr);
    if (rc < 0)
        fail(CopyError::Reason::WriteFailed, "writer: " + LibavSupport::errorText(rc));
}

// Every packet of the two tracks through its transcoder, then the transcoders flushed. A video that ends
// before its stated length is a truncated file.
void copyPackets(AVFormatContext *input, const Tracks &tracks, VideoTranscoder &video,
                 std::optional<AudioTranscoder> &audio, const std::stop_token &token)
{
    const ffi::PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    int64_t videoEnd = AV_NOPTS_VALUE; // end of the latest video packet, in the stream's time base
    for (;;) {
        checkCancellation(token);
        const int rc = av_read_frame(input, packet.get());
        if (rc == AVERROR_EOF)
            break;
        if (rc < 0)
            fail(CopyError::Reason::ReadFailed, "reader: " + LibavSupport::errorText(rc));
        if (packet->stream_index == tracks.video->index) {
            if (packet->pts != AV_NOPTS_VALUE)
                videoEnd = std::max(videoEnd, packet->pts + std::max<int64_t>(packet->duration, 0));
            video.push(packet.get());
        } else if (audio && packet->stream_index == tracks.audio->index)
            audio->push(packet.get());
        av_packet_unref(packet.get());
    }
    if (endsEarly(tracks.video, videoEnd))
        fail(CopyError::Reason::ReadFailed,
             QT_TRANSLATE_NOOP("vorlane::Phrase", "reader: the file ends before the end of its video (truncated)"));
    checkCancellation(token);
    video.finish();
    if (audio)
        audio->finish();
}

// The MP4's index and the file closed.
void finishWriting(AVFormatContext *output)
{
    int rc = av_write_trailer(output);
    if (rc < 0)
        fail(CopyError::Reason::WriteFailed, "writer: " + LibavSupport::errorText(rc));
    rc = avio_closep(&output->pb);
    if (rc < 0)
        fail(CopyError::Reason::WriteFailed, "writer: " + LibavSupport::errorText(rc));
}

// One encode of source at bitRate (0: the rate copyVideoBitrate gives) with its sound at audioRate. With
// keepUnder, the new copy replaces destination only when it has fewer bytes; otherwise it is dropped and
// nothing is returned.
std::optional<CopyInfo> encode(const std::filesystem::path &source, const std::filesystem::path &destination,
                               const std::stop_token &token, int threads, int64_t bitRate, int64_t audioRate,
                               std::optional<int64_t> keepUnder, const QByteArray &record)
{
    LibavSupport::silenceLogging();
    threads = std::max(1, threads);
    Tracks tracks;
    const ffi::InputFormatPtr input = openSource(source, tracks);
    checkCancellation(token);

    ensureParentDir(destination);
    std::optional<PendingFile> pending;
    pending.emplace(destination);
    // Declared after the pending file, so the muxer has closed the file before an unfinished one is removed.
    const ffi::OutputFormatPtr output = openWriter(pending->path());

    const AVCodecParameters *coded = tracks.video->codecpar;
    const AVRational aspect = av_guess_sample_aspect_ratio(input.get(), tracks.video, nullptr);
    const double pixelAspect = aspect.num > 0 && aspect.den > 0 ? av_q2d(aspect) : 1.0;
    const DisplayOrientation orientation = DisplayOrientation::of(tracks.video);
    const auto [width, height] = outputSize(coded->width * pixelAspect, coded->height, orientation.rotation);

    if (bitRate <= 0)
        bitRate = copyVideoBitrate(sourceVideoBitrate(source, input.get(), tracks.video, videoBitrate, token));
    VideoTranscoder video(tracks.video, output.get(), width, height, orientation, threads, bitRate, input->start_time);
    std::optional<AudioTranscoder> audio;
    if (tracks.audio)
        audio.emplace(tracks.audio, output.get(), input->start_time, audioRate);

    startWriting(output.get(), pending->path(), record);
    copyPackets(input.get(), tracks, video, audio, token);
    checkCancellation(token);
    finishWriting(output.get());
    checkCancellation(token);

    std::error_code ignored;
    const auto made = std::filesystem::file_size(pending->path(), ignored);
    if (keepUnder && !ignored && int64_t(made) >= *keepUnder)
        return std::nullopt; // no smaller than the copy there: the pending file goes
    pending->commit();
    const auto bytes = std::filesystem::file_size(destination, ignored);
    CopyInfo info{width, height, ignored ? 0 : int64_t(bytes)};
    info.videoBitrate = bitRate;
    info.audioBitrate = tracks.audio ? audioRate : 0;
    return info;
}

} // namespace

CopyInfo compress(const std::filesystem::path &source, const std::filesystem::path &destination, std::stop_token token,
                  int threads, QByteArray record)
{
    try {
        if (record.isEmpty()) {
            const auto identity = CopyProvenance::fully(source, token);
            checkCancellation(token);
            if (!identity)
                fail(CopyError::Reason::ReadFailed, QT_TRANSLATE_NOOP("vorlane::Phrase", "reader: the file cannot be read"));
            record = CopyProvenance::toText({{*identity}});
        }
        CopyInfo info = *encode(source, destination, token, threads, 0, audioBitrate, std::nullopt, record);
        // The copy exists to be small. One larger than its original (a clip already coded at a low rate, VP9 or
        // HEVC, or with thin sound) is made again with both rates scaled down by how much it overshot, twice
        // at most; the smallest copy made is the one kept, and it says when even that one is larger.
        std::error_code ec;
        const auto original = std::filesystem::file_size(source, ec);
        for (int attempt = 0; !ec && attempt < 2 && info.bytes > int64_t(original); ++attempt) {
            const double shrink = 0.85 * double(original) / double(info.bytes);
            const int64_t video = std::max<int64_t>(kLowestVideoBitrate, int64_t(double(info.videoBitrate) * shrink));
            const int64_t audio = std::max<int64_t>(kLowestAudioBitrate, int64_t(double(info.audioBitrate) * shrink));
            if (video >= info.videoBitrate && (info.audioBitrate == 0 || audio >= info.audioBitrate))
                break;
            if (const auto smaller = encode(source, destination, token, threads, video, audio, info.bytes, record))
                info = *smaller;
            else
                break;
        }
        info.largerThanOriginal = !ec && info.bytes > int64_t(original);
        return info;
    } catch (const std::filesystem::filesystem_error &error) {
        throw CopyError::fromFileSystem(error);
    }
}

} // namespace vorlane::VideoCompressor
