#include "media/png_codec.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace vorlane::PngCodec {
namespace {

void appendTo(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), qsizetype(length));
}

void flushNothing(png_structp) { }

void ignoreWarning(png_structp, png_const_charp) { }

// Errors end in the setjmp of the function that called libpng, quietly: the caller reports failure.
[[noreturn]] void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

struct Source
{
    QByteArrayView bytes;
    size_t position = 0;
};

void readFrom(png_structp png, png_bytep out, size_t length)
{
    auto *source = static_cast<Source *>(png_get_io_ptr(png));
    if (size_t(source->bytes.size()) - source->position < length)
        png_error(png, "truncated");
    std::memcpy(out, source->bytes.data() + source->position, length);
    source->position += length;
}

// The libpng calls, kept apart from every object with a destructor: an error longjmps back to the setjmp
// here, and false is returned.
bool writeRows(png_structp png, png_infop info, const QImage &pixels, bool alpha, png_textp text, int textCount,
               QByteArray *out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, appendTo, flushNothing);
    png_set_IHDR(png, info, png_uint_32(pixels.width()), png_uint_32(pixels.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (textCount > 0)
        png_set_text(png, info, text, textCount);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < pixels.height(); ++y)
        png_write_row(png, pixels.constScanLine(y));
    png_write_end(png, info);
    return true;
}

struct Header
{
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool alpha = false;
    int passes = 1;
};

// Reads up to the image data: the size, the text keys, and sets the transforms to 8-bit BGRA / BGRX (the
// bytes of QImage's ARGB32 / RGB32 words on a little-endian machine).
bool readHeader(png_structp png, png_infop info, Source *source, int maxEdge, Header *header, TextKeys *keys)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_read_fn(png, source, readFrom);
    png_set_user_limits(png, png_uint_32(maxEdge), png_uint_32(maxEdge));
    png_read_info(png, info);
    png_textp text = nullptr;
    const int count = png_get_text(png, info, &text, nullptr);
    for (int i = 0; i < count; ++i) {
        const size_t length = text[i].compression == PNG_ITXT_COMPRESSION_NONE
                || text[i].compression == PNG_ITXT_COMPRESSION_zTXt
            ? text[i].itxt_length
            : text[i].text_length;
        keys->insert(QByteArray(text[i].key), QByteArray(text[i].text, qsizetype(length)));
    }
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    const int colour = png_get_color_type(png, info);
    header->alpha = (colour & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_scale_16(png);
    if (!(colour & PNG_COLOR_MASK_COLOR))
        png_set_gray_to_rgb(png);
    if (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        png_set_bgr(png);
        if (!header->alpha)
            png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    } else {
        if (header->alpha)
            png_set_swap_alpha(png);
        else
            png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
    }
    header->passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return png_get_rowbytes(png, info) == size_t(header->width) * 4;
}

bool readPixels(png_structp png, const Header &header, QImage *image)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    for (int pass = 0; pass < header.passes; ++pass) {
        for (int y = 0; y < int(header.height); ++y)
            png_read_row(png, image->scanLine(y), nullptr);
    }
    return true;
}

} // namespace

QByteArray encode(const QImage &image, const QList<QPair<QByteArray, QByteArray>> &text)
{
    if (image.isNull())
        return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    std::vector<png_text> chunks(size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        chunks[size_t(i)].compression = PNG_TEXT_COMPRESSION_NONE;
        chunks[size_t(i)].key = const_cast<char *>(text[i].first.constData());
        chunks[size_t(i)].text = const_cast<char *>(text[i].second.constData());
        chunks[size_t(i)].text_length = size_t(text[i].second.size());
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, ignoreWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    QByteArray out;
    const bool written = info && writeRows(png, info, pixels, alpha, chunks.data(), int(chunks.size()), &out);
    png_destroy_write_struct(&png, &info);
    return written ? out : QByteArray();
}

QImage decode(QByteArrayView bytes, int maxEdge, const std::function<bool(const TextKeys &)> &accept)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError, ignoreWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    Source source{bytes, 0};
    Header header;
    TextKeys keys;
    QImage image;
    if (info && readHeader(png, info, &source, maxEdge, &header, &keys) && header.width > 0 && header.height > 0
        && (!accept || accept(keys))) {
        image = QImage(int(header.width), int(header.height), header.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!image.isNull() && !readPixels(png, header, &image))
            image = QImage();
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return image;
}

} // namespace vorlane::PngCodec
