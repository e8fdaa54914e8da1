#pragma once

#include "copies/copy_info.h"

#include <QByteArray>
#include <QSize>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stop_token>

namespace vorlane::ImageCompressor {

// Largest long edge of a copy, in pixels.
inline constexpr int maxLongEdge = 1920;
// A copy encoded at or under this many bytes is accepted at once.
inline constexpr int64_t targetBytes = 204800;


// Makes the small JPEG copy of one still picture (any decodable image or camera RAW) at destination: the
// picture of preferSource when given (source is then opened only when preferSource cannot be decoded: the
// RAW of a RAW+JPEG pair whose JPEG is damaged), else of source; upright, at most
// maxLongEdge on its long edge, 8-bit sRGB, no metadata at all, at the first ladder quality whose
// encoding is at most targetBytes (or at 40 when none is). The picture is decoded and scaled once; each
// rung re-encodes the same bitmap in memory. The write is atomic: a temporary file beside the destination
// renamed over it, so a reader never sees half a copy and a failure leaves any earlier copy untouched.
//
// Any thread; several calls at once on different files (each uses about one core). Throws CopyError
// (DecodeFailed; TooLarge when the picture is over a decode's memory budget, see ImagePipeline; WriteFailed
// when no rung produced data or the _bside folder or the file cannot be made)
// or CancelledError (at a stop check: before decoding, between the RAW and ordinary decode, before the
// folder is made, before each rung, before the write; nothing is written then).
// record: the provenance text the copy carries (CopyProvenance::toText of the cell's originals, read by the
// caller); empty: a record of the file decoded, read here.
CopyInfo compress(const std::filesystem::path &source, const std::filesystem::path &destination,
                  const std::optional<std::filesystem::path> &preferSource, std::stop_token token = {},
                  const QByteArray &record = {});

// The size a width x height (upright) picture is copied at: ImageGeometry::fitWithin at maxLongEdge.
QSize targetSize(int width, int height);

} // namespace vorlane::ImageCompressor
