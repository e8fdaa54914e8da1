#include "media/picture_analysis.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace vorlane::PictureAnalysis {
namespace {

inline int lumaOf(QRgb p) { return (54 * qRed(p) + 183 * qGreen(p) + 19 * qBlue(p) + 128) >> 8; }

// The picture as 32-bit pixels, converted only when it is not already.
QImage asRgb32(const QImage &image)
{
    if (image.format() == QImage::Format_RGB32 || image.format() == QImage::Format_ARGB32)
        return image;
    return image.convertToFormat(QImage::Format_RGB32);
}

// Local contrast at the finest scale: the magnitude of the Laplacian. Fine texture in focus is strong here;
// the same texture out of focus is smoothed away.
int laplacian(const uint8_t *row, const uint8_t *above, const uint8_t *below, int x)
{
    return std::abs(4 * int(row[x]) - row[x - 1] - row[x + 1] - above[x] - below[x]);
}

// Below this response an edge is never taken for sharp, whatever the picture's own contrast.
constexpr int kPeakingFloor = 48;
// An edge is peaked when it reaches this share of the picture's strong-edge response (its 99.5th percentile).
constexpr double kPeakingShare = 0.45;

} // namespace

Histogram histogram(const QImage &source, int step)
{
    Histogram h;
    if (source.isNull())
        return h;
    const QImage image = asRgb32(source);
    step = std::max(1, step);
    for (int y = 0; y < image.height(); y += step) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += step) {
            const QRgb p = line[x];
            ++h.counts[Histogram::Red][qRed(p)];
            ++h.counts[Histogram::Green][qGreen(p)];
            ++h.counts[Histogram::Blue][qBlue(p)];
            ++h.counts[Histogram::Luma][lumaOf(p)];
            ++h.pixels;
        }
    }
    return h;
}

std::vector<bool> peakingMask(const std::vector<uint8_t> &luma, int width, int height)
{
    std::vector<bool> mask(luma.size(), false);
    if (width < 3 || height < 3 || luma.size() < size_t(width) * size_t(height))
        return mask;
    std::vector<uint16_t> response(luma.size(), 0);
    std::array<uint32_t, 1024> spread{};
    uint64_t counted = 0;
    for (int y = 1; y + 1 < height; ++y) {
        const uint8_t *row = &luma[size_t(y) * size_t(width)];
        for (int x = 1; x + 1 < width; ++x) {
            const int r = std::min(1023, laplacian(row, row - width, row + width, x));
            response[size_t(y) * size_t(width) + size_t(x)] = uint16_t(r);
            ++spread[size_t(r)];
            ++counted;
        }
    }
    // The picture's strong-edge response: its 99.5th percentile.
    uint64_t seen = 0;
    int strong = 1023;
    for (int r = 0; r < 1024; ++r) {
        seen += spread[size_t(r)];
        if (double(seen) >= 0.995 * double(counted)) {
            strong = r;
            break;
        }
    }
    const int threshold = std::max(kPeakingFloor, int(std::lround(kPeakingShare * strong)));
    for (size_t i = 0; i < response.size(); ++i)
        mask[i] = response[i] >= threshold;
    return mask;
}

QImage overlay(const QImage &source, QRect area, bool clipping, bool peaking)
{
    if (source.isNull())
        return {};
    area = area.isEmpty() ? source.rect() : area.intersected(source.rect());
    if (area.isEmpty())
        return {};
    const QImage image = asRgb32(source.copy(area));
    const int w = image.width(), h = image.height();
    QImage out(w, h, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    std::vector<bool> peaked;
    if (peaking) {
        std::vector<uint8_t> luma(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y) {
            const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
            for (int x = 0; x < w; ++x)
                luma[size_t(y) * size_t(w) + size_t(x)] = uint8_t(lumaOf(line[x]));
        }
        peaked = peakingMask(luma, w, h);
    }
    for (int y = 0; y < h; ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            if (clipping && (qRed(p) == 255 || qGreen(p) == 255 || qBlue(p) == 255))
                to[x] = kClippedColour;
            else if (clipping && (p & 0xffffff) == 0)
                to[x] = kBlockedColour;
            else if (peaking && peaked[size_t(y) * size_t(w) + size_t(x)])
                to[x] = kPeakingColour;
        }
    }
    return out;
}

} // namespace vorlane::PictureAnalysis
