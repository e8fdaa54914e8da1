#pragma once

#include "copies/copy_info.h"

#include <QByteArray>

#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <utility>

namespace vorlane::VideoCompressor {

// Largest long edge of the copy's frame, in pixels.
inline constexpr double maxLongEdge = 1280.0;
// Average H.264 bit rate of the copy, bits per second: the ceiling. A source whose video has a lower bit
// rate is copied at its own rate, so that a copy is never larger than need be (see copyVideoBitrate).
inline constexpr int64_t videoBitrate = 2000000;
// The lowest rates a copy is made again at when its first encode came out larger than the original.
inline constexpr int64_t kLowestVideoBitrate = 150000;
inline constexpr int64_t kLowestAudioBitrate = 32000;
// AAC bit rate of the copy's stereo audio, bits per second.
inline constexpr int64_t audioBitrate = 96000;


// The copy's average video bit rate for a source whose video runs at sourceBitrate (0 = unknown): the
// source's own rate, never more than videoBitrate.
int64_t copyVideoBitrate(int64_t sourceBitrate);

// Re-encodes source into an MP4 at destination: H.264 High (libx264) at copyVideoBitrate() with a key frame at
// least every 60 frames, at most maxLongEdge on the displayed long edge, the source's rotation carried as the
// display matrix; the first audio track as AAC stereo 44.1 kHz at audioBitrate; moov atom at the front.
//
// A copy with more bytes than its original is made again at lower rates (at most twice, never below the
// kLowest… rates) and the smallest is kept; CopyInfo::largerThanOriginal says when even that one is
// larger.
//
// Runs on the calling thread (a copy job's worker) and blocks it for the whole encode; `threads` is the
// number of cores the scheduler gives the job, used by the decoder and by x264. Cost: roughly real time or
// better for 1080p30 on two cores.
//
// The copy is written to a hidden temporary file in destination's folder and renamed over destination only
// when the muxer has finished it, so on any failure or cancellation nothing is left behind and an earlier
// copy at destination stays untouched.
//
// Throws CopyError (NoVideoTrack; ReadFailed "reader: …"; WriteFailed "writer: …", "video append: …",
// "audio append: …", or a folder or file that cannot be made) or CancelledError (the token is checked
// between packets).
// record: the provenance text the copy carries (CopyProvenance::toText of the cell's originals, read by the
// caller); empty: a record of source alone, read here.
CopyInfo compress(const std::filesystem::path &source, const std::filesystem::path &destination, std::stop_token token,
                  int threads = 1, QByteArray record = {});

// The coded (stored-orientation) frame size of the copy of a source whose coded frame is naturalW × naturalH
// and which is displayed turned by rotationDegrees (any multiple of 90, either sign). The displayed size is
// scaled so that its long edge is at most maxLongEdge; both sides are even (H.264 4:2:0 cannot carry an odd
// side), made so by the smallest change, also when no scaling is needed (1000 × 563 → 1000 × 564).
std::pair<int, int> outputSize(double naturalW, double naturalH, int rotationDegrees);

} // namespace vorlane::VideoCompressor
