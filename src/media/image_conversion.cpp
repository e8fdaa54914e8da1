#include "media/image_conversion.h"

namespace vorlane {

QImage toQImage(const vips::VImage &source)
{
    vips::VImage image = source;
    if (image.format() != VIPS_FORMAT_UCHAR)
        image = image.cast(VIPS_FORMAT_UCHAR);
    if (image.bands() == 1 || image.bands() == 2)
        image = image.extract_band(0).bandjoin({image.extract_band(0), image.extract_band(0)});
    if (image.bands() > 3)
        image = image.extract_band(0, vips::VImage::option()->set("n", 3));
    size_t size = 0;
    void *memory = image.write_to_memory(&size);
    if (!memory)
        return {};
    const int w = image.width();
    const int h = image.height();
    QImage result(w, h, QImage::Format_RGB888);
    const auto *src = static_cast<const uchar *>(memory);
    for (int y = 0; y < h; ++y)
        std::memcpy(result.scanLine(y), src + size_t(y) * size_t(w) * 3, size_t(w) * 3);
    g_free(memory);
    return result;
}

} // namespace vorlane
