#pragma once

#include <vips/vips8>

#include <cstdint>
#include <filesystem>
#include <stop_token>
#include <string>
#include <string_view>

namespace vorlane::ImagePipeline {

// Which libvips loaders may read a file, chosen from its first bytes (never its name). Still pictures are
// read only by the loaders of the photo formats (JPEG, PNG, WebP, HEIF, GIF, TIFF) and, for a file whose
// bytes start as a BMP does, ImageMagick's; anything else, a clip named ".jpg" among them, is refused before
// a parser sees it. A camera RAW is a TIFF (or worse) underneath, and libvips' TIFF loader would open it as
// its first, thumbnail-sized IFD; a RAW is only handed to libvips when its bytes are really a plain photo
// format (a JPEG saved with a .nef extension, say).
enum class Loaders { StillPictures, PlainPhotoFormats };

// Budgets, checked on the header before a single pixel is decoded; a picture over one fails with a
// DecodeError of kind TooLarge (the file may be perfectly good). A JPEG decodes in bounded memory whatever its
// area, up to libjpeg's 65,500 pixels a side: one of a single scan streams a few scanlines at a time and
// shrinks on load by up to 8 (then averages rows on the fly, see JpegDecoder), so only its decode time grows
// with the area; a progressive one holds all its coefficients (JpegDecoder::maxCoefficientBytes). The other
// loaders that stream (PNG, GIF, strip/tiled TIFF) take up to maxStreamedPixels, which bounds the time a
// decompression bomb (a 50,000 x 50,000 PNG of a few KiB, a TIFF claiming 2^31 pixels) can take; loaders that
// hold the whole picture (HEIF, WebP, ImageMagick's) need 3-4 bytes per pixel at once and take up to
// maxWholePicturePixels. Whatever the file, the picture returned (held whole in memory) has at most
// maxStreamedPixels: a full-size decode of a 30,000 x 20,000 JPEG is refused, its copy is not.
inline constexpr int64_t maxStreamedPixels = 400'000'000;
inline constexpr int64_t maxWholePicturePixels = 150'000'000;

// Each function below returns an upright (orientation applied), 8-bit, 3-band sRGB picture held in memory,
// scaled so its long edge is at most maxLongEdge (0 = full size) with ImageGeometry::fitWithin's rounding.
// Alpha is flattened onto white. Decoding shrinks on load where the format allows (JPEG by 2/4/8, WebP,
// pyramids) and resamples the rest with Lanczos. Truncated files fail instead of decoding grey.
// Costs one decode of the file on the calling thread (plus one libvips worker); throws DecodeError, or
// CancelledError when the token is stopped during the decode.

// orientation: 0 = take the file's own EXIF Orientation (for HEIF only when the container carries no
// rotation or mirror of its own, which libheif has already applied); 1-8 = use that one instead.
vips::VImage fromFile(const std::filesystem::path &path, int maxLongEdge, Loaders loaders, int orientation,
                      const std::stop_token &token);

// The same for an encoded picture in memory (an embedded RAW preview). bytes must outlive the call only.
vips::VImage fromBuffer(std::string_view bytes, int maxLongEdge, int orientation, const std::stop_token &token);

// The same for pixels already decoded (LibRaw's output); image must stay valid during the call only.
vips::VImage fromImage(const vips::VImage &image, int maxLongEdge, int orientation, const std::stop_token &token);

// True when libvips would read this file with a loader of the plain photo formats (JPEG, PNG, WebP, HEIF,
// GIF), judged from its first bytes.
bool isPlainPhotoFile(const std::filesystem::path &path);

// The libvips loader (its nickname, "jpegload") that may read this file under the given rule, judged from
// its first bytes; empty when none may.
std::string acceptedLoader(const std::filesystem::path &path, Loaders loaders);

} // namespace vorlane::ImagePipeline
