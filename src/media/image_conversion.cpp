#include "media/image_conversion.h"

#include "media/ffi/vips_errors.h"

#include <cstring>

namespace vorlane {

QImage toQImage(const vips::VImage &source)
{
    return decodingWithVips({}, [&] {
        vips::VImage image = source;
        if (image.format() != VIPS_FORMAT_UCHAR)
            image = image.cast(VIPS_FORMAT_UCHAR);
        if (image.bands() == 1 || image.bands() == 2)
            image = image.extract_band(0).bandjoin({image.extract_band(0), image.extract_band(0)});
        if (image.bands() > 3)
            image = image.extract_band(0, vips::VImage::option()->set("n", 3));
        // A picture the decoder rendered into memory is read where it lies; anything else is rendered first.
        image = image.copy_memory();
        const int w = image.width();
        const int h = image.height();
        QImage result(w, h, QImage::Format_RGB888);
        if (result.isNull())
            throw std::bad_alloc();
        const auto *pixels = static_cast<const uchar *>(image.data());
        const size_t row = size_t(w) * 3;
        for (int y = 0; y < h; ++y)
            std::memcpy(result.scanLine(y), pixels + size_t(y) * row, row);
        if (source.get_typeof(kEmbeddedPreviewField) != 0)
            result.setText(QString::fromLatin1(kEmbeddedPreviewField), QStringLiteral("1"));
        return result;
    });
}

} // namespace vorlane
