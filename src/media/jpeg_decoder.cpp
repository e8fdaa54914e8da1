#include "media/jpeg_decoder.h"

#include "core/cancellation.h"
#include "media/decode_error.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    bool cancelled;
    bool tooLarge;     // over a memory budget (message is then one of ours)
    int width, height; // the picture's size as its header gives it, when tooLarge
};

// Ends the decode from inside libjpeg with a reason of our own.
[[noreturn]] void failWith(j_common_ptr info, const char *reason)
{
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    std::snprintf(errors->message, sizeof errors->message, "%s", reason);
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

// Ends the decode of a picture that would take more memory than allowed: a file that may be perfectly good.
[[noreturn]] void failTooLarge(j_decompress_ptr info, const char *reason)
{
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    errors->tooLarge = true;
    errors->width = int(info->image_width);
    errors->height = int(info->image_height);
    failWith(reinterpret_cast<j_common_ptr>(info), reason);
}

void onError(j_common_ptr info)
{
    // libjpeg's own ceiling of 65,500 pixels a side: the JPEG format goes to 65,535.
    if (info->is_decompressor && info->err->msg_code == JERR_IMAGE_TOO_BIG)
        failTooLarge(reinterpret_cast<j_decompress_ptr>(info), kOwnReasons[2]);
    auto *errors = reinterpret_cast<ErrorManager *>(info->err);
    if (errors->message[0] == '\0')
        (*info->err->format_message)(info, errors->message);
    std::longjmp(errors->jump, 1);
}

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

void onMessage(j_common_ptr info, int level)
{
    if (level >= 0)
        return; // trace messages
    // A file that ends before its last scan line would decode grey to the bottom: that is a damaged file,
    // and one whose header claims 65,000 x 65,000 pixels over a few bytes of data fails here at once.
    if (info->err->msg_code == JWRN_JPEG_EOF)
        failWith(info, kOwnReasons[4]);
    // So does one whose data ends at a marker rows before its scan should (a file cut short and closed with
    // an end marker): with no restart markers to pick up from, the rest would be grey. The last row of MCUs
    // is let go, as some encoders end it a few bits short.
    if (info->err->msg_code == JWRN_HIT_MARKER && info->is_decompressor) {
        const auto *decompress = reinterpret_cast<j_decompress_ptr>(info);
        if (decompress->restart_interval == 0 && decompress->input_iMCU_row + 1 < decompress->total_iMCU_rows)
            failWith(info, kOwnReasons[4]);
    }
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

enum class Outcome { Decoded, NotHandled, Failed, TooLarge, Cancelled };

// What to decode: RGB at the smallest scale that covers minWidth x minHeight, or luma at a fixed scale.
struct Request
{
    int minWidth = 0;
    int minHeight = 0;
    bool luma = false; // luma alone, at least minWidth on the long edge and at least minEighths/8
    int minEighths = 1;
    bool headerOnly = false; // the header's checks alone, nothing decoded
};

// Whole factors beyond this are never needed (1/8 of 65,500 is 8,188) and would overflow the sums.
constexpr int maxShrink = 256;

// The buffers of a shrinking decode, owned by the caller so that a longjmp out of libjpeg leaks none.
struct Scratch
{
    std::vector<uint8_t> rows;  // the scanlines of one read
    std::vector<uint32_t> sums; // one output row being summed
};

// Adds scanline y of a width x height decode to the sums of its output row, averaging shrink x shrink
// blocks (fewer where the picture ends), and writes the output row into out when its last scanline came.
void shrinkRow(const uint8_t *scanline, JDIMENSION y, JDIMENSION width, JDIMENSION height, int components,
               JDIMENSION shrink, uint32_t *sums, uint8_t *out, size_t outRowBytes)
{
    const size_t c = size_t(components);
    for (JDIMENSION x0 = 0, j = 0; x0 < width; x0 += shrink, ++j) {
        const JDIMENSION x1 = std::min(width, x0 + shrink);
        for (size_t k = 0; k < c; ++k) {
            uint32_t sum = 0;
            for (JDIMENSION x = x0; x < x1; ++x)
                sum += scanline[x * c + k];
            sums[j * c + k] += sum;
        }
    }
    if ((y + 1) % shrink != 0 && y + 1 != height)
        return;
    const uint32_t blockRows = y % shrink + 1;
    uint8_t *row = out + size_t(y / shrink) * outRowBytes;
    for (size_t j = 0; j * c < outRowBytes; ++j) {
        const uint32_t n = std::min<uint32_t>(shrink, width - JDIMENSION(j) * shrink) * blockRows;
        for (size_t k = 0; k < c; ++k) {
            row[j * c + k] = uint8_t((sums[j * c + k] + n / 2) / n);
            sums[j * c + k] = 0;
        }
    }
}

constexpr JDIMENSION kRowsPerRead = 16;

// The smallest DCT scale, from request.minEighths up, whose output covers the size asked for; the output
// dimensions are set for it. May leave through the error manager's longjmp: nothing here has a destructor.
void chooseScale(jpeg_decompress_struct &info, const Request &request)
{
    info.scale_denom = 8;
    for (info.scale_num = unsigned(std::clamp(request.minEighths, 1, 8)); info.scale_num < 8; ++info.scale_num) {
        jpeg_calc_output_dimensions(&info);
        const bool covers = request.luma
            ? int(std::max(info.output_width, info.output_height)) >= request.minWidth
            : int(info.output_width) >= request.minWidth && int(info.output_height) >= request.minHeight;
        if (covers)
            break;
    }
    jpeg_calc_output_dimensions(&info);
}

// Every scanline into out, straight or averaged by shrink through the scratch rows. May leave through the
// error manager's longjmp: nothing here has a destructor.
void readScanlines(jpeg_decompress_struct &info, JDIMENSION shrink, uint8_t *out, size_t outRowBytes, Scratch &scratch)
{
    const size_t scanlineBytes = size_t(info.output_width) * size_t(info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[kRowsPerRead];
        const JDIMENSION first = info.output_scanline;
        const JDIMENSION count = std::min<JDIMENSION>(kRowsPerRead, info.output_height - first);
        for (JDIMENSION i = 0; i < count; ++i)
            rows[i] = shrink == 1 ? out + outRowBytes * (first + i) : scratch.rows.data() + scanlineBytes * i;
        const JDIMENSION read = jpeg_read_scanlines(&info, rows, count);
        for (JDIMENSION i = 0; shrink > 1 && i < read; ++i) {
            shrinkRow(rows[i], first + i, info.output_width, info.output_height, info.output_components, shrink,
                      scratch.sums.data(), out, outRowBytes);
        }
    }
}

// The libjpeg part, kept free of objects with destructors between setjmp and its longjmp.
// Reads from file when it is given, else from bytes. out receives 3 bytes a pixel, or 1 for luma; width and
// height its size, or the picture's size as its header gives it when TooLarge.
Outcome decode(std::FILE *file, std::string_view bytes, const Request &request, const std::stop_token &token,
               int &width, int &height, std::vector<uint8_t> &out, Scratch &scratch, std::string &error)
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
        if (errors.tooLarge) {
            width = errors.width;
            height = errors.height;
            return Outcome::TooLarge;
        }
        return Outcome::Failed;
    }
    jpeg_create_decompress(&info);
    info.progress = &progress.base;
    if (file)
        jpeg_stdio_src(&info, file);
    else
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.data()),
                     static_cast<unsigned long>(bytes.size()));
    if (!request.headerOnly)
        jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&info, TRUE);
    if (jpeg_has_multiple_scans(&info) && coefficientBytes(info) > maxCoefficientBytes)
        failTooLarge(&info, kOwnReasons[3]);
    if (request.headerOnly) {
        jpeg_destroy_decompress(&info);
        return Outcome::NotHandled;
    }
    const bool luma = request.luma;
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK || (!luma && hasIccProfile(info))) {
        jpeg_destroy_decompress(&info);
        return Outcome::NotHandled;
    }
    info.out_color_space = luma ? JCS_GRAYSCALE : JCS_RGB;
    chooseScale(info, request);
    const JDIMENSION shrink = luma
        ? 1
        : std::clamp<JDIMENSION>(std::min(info.output_width / JDIMENSION(std::max(1, request.minWidth)),
                                          info.output_height / JDIMENSION(std::max(1, request.minHeight))),
                                 1, maxShrink);
    const JDIMENSION outWidth = (info.output_width + shrink - 1) / shrink;
    const JDIMENSION outHeight = (info.output_height + shrink - 1) / shrink;
    const size_t components = size_t(info.output_components);
    if (int64_t(outWidth) * outHeight * int64_t(components) > maxDecodedBytes)
        failTooLarge(&info, kOwnReasons[2]);
    const size_t scanlineBytes = size_t(info.output_width) * components;
    const size_t outRowBytes = size_t(outWidth) * components;
    try {
        out.resize(outRowBytes * size_t(outHeight));
        if (shrink > 1) {
            scratch.rows.resize(scanlineBytes * kRowsPerRead);
            scratch.sums.assign(outRowBytes, 0);
        }
    } catch (...) {
        jpeg_destroy_decompress(&info);
        throw;
    }
    jpeg_start_decompress(&info);
    width = int(outWidth);
    height = int(outHeight);
    readScanlines(info, shrink, out.data(), outRowBytes, scratch);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return Outcome::Decoded;
}

template<typename Pixels>
std::optional<Pixels> decodeFrom(std::FILE *file, std::string_view bytes, const Request &request,
                                 const std::stop_token &token)
{
    Pixels pixels;
    Scratch scratch;
    std::string error;
    std::vector<uint8_t> *samples = nullptr;
    if constexpr (std::is_same_v<Pixels, RgbPixels>)
        samples = &pixels.rgb;
    else
        samples = &pixels.luma;
    switch (decode(file, bytes, request, token, pixels.width, pixels.height, *samples, scratch, error)) {
    case Outcome::Decoded:
        return pixels;
    case Outcome::NotHandled:
        return std::nullopt;
    case Outcome::Cancelled:
        throw CancelledError();
    case Outcome::TooLarge:
        throw DecodeError::tooLarge(reasonOf(error), QSize(pixels.width, pixels.height));
    case Outcome::Failed:
        break;
    }
    throw DecodeError(reasonOf(error));
}

void checkHeaderOf(std::FILE *file, std::string_view bytes)
{
    Request request;
    request.headerOnly = true;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> none;
    Scratch scratch;
    std::string error;
    if (decode(file, bytes, request, std::stop_token(), width, height, none, scratch, error) == Outcome::TooLarge)
        throw DecodeError::tooLarge(reasonOf(error), QSize(width, height));
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

void checkHeader(const std::filesystem::path &path)
{
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rbe"));
    if (file)
        checkHeaderOf(file.get(), {});
}

void checkHeader(std::string_view bytes)
{
    if (!bytes.empty())
        checkHeaderOf(nullptr, bytes);
}

bool mayBeCutShort(const std::filesystem::path &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    std::array<unsigned char, 4096> tail{};
    unsigned char head[3] = {};
    bool cut = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= 4 && ::pread(fd, head, 3, 0) == 3
        && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
        const off_t length = std::min<off_t>(st.st_size, off_t(tail.size()));
        const ssize_t got = ::pread(fd, tail.data(), size_t(length), st.st_size - length);
        if (got == length) {
            ssize_t end = got;
            while (end > 0 && tail[size_t(end - 1)] == 0)
                --end;
            cut = !(end >= 2 && tail[size_t(end - 2)] == 0xFF && tail[size_t(end - 1)] == 0xD9);
        }
    }
    ::close(fd);
    return cut;
}

} // namespace vorlane::JpegDecoder
