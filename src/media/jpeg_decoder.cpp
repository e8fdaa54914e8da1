#include "media/jpeg_decoder.h"

#include "media/cancellation.h"
#include "media/decode_error.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace vorlane::JpegDecoder {
namespace {

// libjpeg reports errors by calling error_exit, which must not return: it jumps back to the decode.
struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool truncated;
    bool cancelled;
};

void onError(j_common_ptr info)
{
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    if (errors->message[0] == '\0')
        (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// The reasons of our own a decode can end with; anything else is libjpeg's message, shown as it is.
constexpr const char *kOwnReasons[] = {
    QT_TRANSLATE_NOOP("vorlane::Phrase", "the file is damaged (too many corrupt-data warnings)"),
    QT_TRANSLATE_NOOP("vorlane::Phrase", "the file is damaged (too many scans)"),
    QT_TRANSLATE_NOOP("vorlane::Phrase", "the picture is too large to decode"),
    QT_TRANSLATE_NOOP("vorlane::Phrase", "the picture is too large to decode (progressive)"),
    QT_TRANSLATE_NOOP("vorlane::Phrase", "the file ends before the end of its picture (truncated)"),
};

Phrase reasonOf(const std::string &error)
{
    if (error.empty())
        return Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the file is damaged"));
    for (const char *own : kOwnReasons) {
        if (error == own)
            return Phrase(own);
    }
    return Phrase::verbatim(error);
}

// Ends the decode from inside libjpeg with a reason of our own.
[[noreturn]] void failWith(j_common_ptr info, const char *reason)
{
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    std::snprintf(errors->message, sizeof errors->message, "%s", reason);
    std::longjmp(errors->jump, 1);
}

void onMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // trace messages
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    // A file that ends before its last scan line decodes grey to the bottom: that is a damaged file.
    if (info->err->msg_code == JWRN_JPEG_EOF)
        errors->truncated = true;
    // One corrupt-data warning is common in camera files; a stream of them is a damaged or hostile file.
    if (++info->err->num_warnings >= maxWarnings)
        failWith(info, kOwnReasons[0]);
}

// Called by libjpeg between rows of every pass and scan: where a long decode stops when asked to, and where
// a file that repeats scans without end is refused.
struct Progress
{
    jpeg_progress_mgr base;
    const std::stop_token *token;
};

void onProgress(j_common_ptr info)
{
    const auto *progress = reinterpret_cast<Progress *>(info->progress);
    if (progress->token->stop_requested()) {
        reinterpret_cast<ErrorManager *>(info->err)->cancelled = true;
        failWith(info, "cancelled");
    }
    if (info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->input_scan_number > maxScans)
        failWith(info, kOwnReasons[1]);
}

// Bytes of coefficients a progressive (or multi-scan) decode holds at once: every block of every component.
int64_t coefficientBytes(const jpeg_decompress_struct &info)
{
    int64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info &component = info.comp_info[c];
        const int64_t rows = (int64_t(component.height_in_blocks) + component.v_samp_factor - 1)
            / component.v_samp_factor * component.v_samp_factor;
        blocks += int64_t(component.width_in_blocks) * rows;
    }
    return blocks * DCTSIZE2 * int64_t(sizeof(JCOEF));
}

struct FileCloser
{
    void operator()(std::FILE *f) const { std::fclose(f); }
};

bool hasIccProfile(const jpeg_decompress_struct &info)
{
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 2 && marker->data_length >= 12
            && std::memcmp(marker->data, "ICC_PROFILE", 12) == 0)
            return true;
    }
    return false;
}

enum class Outcome { Decoded, NotHandled, Failed, Cancelled };

// What to decode: RGB at the smallest scale that covers minWidth x minHeight, or luma at a fixed scale.
struct Request
{
    int minWidth = 0;
    int minHeight = 0;
    bool luma = false; // luma alone, at least minWidth on the long edge and at least minEighths/8
    int minEighths = 1;
};

// The libjpeg part, kept free of objects with destructors between setjmp and its longjmp.
// Reads from file when it is given, else from bytes. out receives 3 bytes a pixel, or 1 for luma.
Outcome decode(std::FILE *file, std::string_view bytes, const Request &request, const std::stop_token &token,
               int &width, int &height, std::vector<uint8_t> &out, std::string &error)
{
    jpeg_decompress_struct info;
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    Progress progress{};
    progress.base.progress_monitor = onProgress;
    progress.token = &token;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        if (errors.cancelled)
            return Outcome::Cancelled;
        error = errors.message;
        return Outcome::Failed;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress.base;
    if (file)
        jpeg_stdio_src(&info, file);
    else
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    if (int64_t(info.image_width) * info.image_height > maxPixels)
        failWith(reinterpret_cast<j_common_ptr>(&info), kOwnReasons[2]);
    if (jpeg_has_multiple_scans(&info) && coefficientBytes(info) > maxCoefficientBytes)
        failWith(reinterpret_cast<j_common_ptr>(&info), kOwnReasons[3]);
    const bool luma = request.luma;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK || (!luma && hasIccProfile(info))) {
        jpeg_destroy_decompress(&info);
        return Outcome::NotHandled;
    }
    info.out_color_space = luma ? JCS_GRAYSCALE : JCS_RGB;
    info.scale_denom = 8;
    for (info.scale_num = unsigned(std::clamp(request.minEighths, 1, 8)); info.scale_num < 8; ++info.scale_num) {
        jpeg_calc_output_dimensions(&info);
        const bool covers = luma
            ? int(std::max(info.output_width, info.output_height)) >= request.minWidth
            : int(info.output_width) >= request.minWidth && int(info.output_height) >= request.minHeight;
        if (covers)
            break;
    }
    jpeg_calc_output_dimensions(&info);
    jpeg_start_decompress(&info);
    width = int(info.output_width);
    height = int(info.output_height);
    const size_t row = size_t(width) * size_t(info.output_components);
    out.resize(row * size_t(height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[16];
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(16, info.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = out.data() + row * (first + i);
        jpeg_read_scanlines(&info, rows, count);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    if (errors.truncated) {
        error = kOwnReasons[4];
        return Outcome::Failed;
    }
    return Outcome::Decoded;
}

template<typename Pixels>
std::optional<Pixels> decodeFrom(std::FILE *file, std::string_view bytes, const Request &request,
                                 const std::stop_token &token)
{
    Pixels pixels;
    std::string error;
    std::vector<uint8_t> *samples = nullptr;
    if constexpr (std::is_same_v<Pixels, RgbPixels>)
        samples = &pixels.rgb;
    else
        samples = &pixels.luma;
    switch (decode(file, bytes, request, token, pixels.width, pixels.height, *samples, error)) {
    case Outcome::Decoded:
        return pixels;
    case Outcome::NotHandled:
        return std::nullopt;
    case Outcome::Cancelled:
        throw CancelledError();
    case Outcome::Failed:
        break;
    }
    throw DecodeError(reasonOf(error));
}

} // namespace

std::optional<RgbPixels> decodeScaled(const std::filesystem::path &path, int minWidth, int minHeight,
                                      const std::stop_token &token)
{
    checkCancellation(token);
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
    if (!file)
        throw DecodeError(std::strerror(errno));
    return decodeFrom<RgbPixels>(file.get(), {}, Request{minWidth, minHeight, false, 1}, token);
}

std::optional<RgbPixels> decodeScaled(std::string_view bytes, int minWidth, int minHeight, const std::stop_token &token)
{
    checkCancellation(token);
    if (bytes.empty())
        throw DecodeError(Phrase(QT_TRANSLATE_NOOP("vorlane::Phrase", "the embedded picture is empty")));
    return decodeFrom<RgbPixels>(nullptr, bytes, Request{minWidth, minHeight, false, 1}, token);
}

std::optional<GreyPixels> decodeLuma(const std::filesystem::path &path, int minLongEdge, int minEighths,
                                     const std::stop_token &token)
{
    checkCancellation(token);
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
    if (!file)
        throw DecodeError(std::strerror(errno));
    return decodeFrom<GreyPixels>(file.get(), {}, Request{minLongEdge, 0, true, minEighths}, token);
}

} // namespace vorlane::JpegDecoder
