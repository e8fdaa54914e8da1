#include "media/png_codec.h"

#include <png.h>

namespace vorlane::PngCodec {
namespace {

void appendTo(png_structp png, png_bytep data, size_t length)
{
    static_cast<QByteArray *>(png_get_io_ptr(png))->append(reinterpret_cast<const char *>(data), qsizetype(length));
}

void flushNothing(png_structp) { }

void ignoreWarning(png_structp, png_const_charp) { }

// The libpng calls, kept apart from every object with a destructor: an error longjmps back to the setjmp
// here, and false is returned.
bool writeRows(png_structp png, png_infop info, const QImage &pixels, bool alpha, QByteArray *out)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_write_fn(png, out, appendTo, flushNothing);
    png_set_IHDR(png, info, png_uint_32(pixels.width()), png_uint_32(pixels.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < pixels.height(); ++y)
        png_write_row(png, pixels.constScanLine(y));
    png_write_end(png, info);
    return true;
}

} // namespace

QByteArray encode(const QImage &image)
{
    if (image.isNull())
        return {};
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels = image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, ignoreWarning);
    if (!png)
        return {};
    png_infop info = png_create_info_struct(png);
    QByteArray out;
    const bool written = info && writeRows(png, info, pixels, alpha, &out);
    png_destroy_write_struct(&png, &info);
    return written ? out : QByteArray();
}

QImage decode(QByteArrayView bytes, int maxEdge)
{
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&png, bytes.data(), size_t(bytes.size())))
        return {};
    QImage image;
    if (png.width > 0 && png.height > 0 && png.width <= png_uint_32(maxEdge) && png.height <= png_uint_32(maxEdge)) {
        const bool alpha = png.format & PNG_FORMAT_FLAG_ALPHA;
        // 8-bit sRGB, not premultiplied: QImage's ARGB32 word, whatever the byte order.
        png.format = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
        image = QImage(int(png.width), int(png.height), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (!image.isNull()
            && !png_image_finish_read(&png, nullptr, image.bits(), png_int_32(image.bytesPerLine()), nullptr))
            image = QImage();
    }
    png_image_free(&png);
    return image;
}

} // namespace vorlane::PngCodec
