#include "media/burst_features.h"

#include "media/cancellation.h"
#include "media/decode_error.h"
#include "media/image_decoder.h"
#include "media/image_pipeline.h"
#include "media/jpeg_decoder.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace vorlane::BurstFeatures {
namespace {

constexpr int kLooksLongEdge = 256;
constexpr int kSharpnessLongEdge = 1000;

// A float picture, rows packed.
struct Plane
{
    int width = 0;
    int height = 0;
    std::vector<float> v;
    float &at(int x, int y) { return v[size_t(y) * size_t(width) + size_t(x)]; }
    float at(int x, int y) const { return v[size_t(y) * size_t(width) + size_t(x)]; }
};

// The fine picture's smoothing: a Gaussian of this sigma, radius 3, edges extended. Small enough to keep a
// pixel of blur at half size visible, large enough to take the edge off sensor noise.
constexpr float kFineSigma = 0.7f;

struct Kernel
{
    std::array<float, 7> k{};
    // For white noise of spread 1: the spread left in (picture - smoothed picture), and the spread of one
    // component of the smoothed picture's central-difference gradient.
    double residualSpread = 0;
    double gradientSpread = 0;
};

Kernel gaussian(float sigma)
{
    Kernel g;
    float sum = 0;
    for (int i = -3; i <= 3; ++i)
        sum += g.k[size_t(i + 3)] = std::exp(-0.5f * float(i * i) / (sigma * sigma));
    for (float &w : g.k)
        w /= sum;
    double squares = 0;
    for (float w : g.k)
        squares += double(w) * w;
    const double centre = double(g.k[3]) * g.k[3];
    g.residualSpread = std::sqrt(1.0 - 2.0 * centre + squares * squares);
    double derivative = 0;
    for (int i = -4; i <= 4; ++i) {
        const auto at = [&](int j) { return j >= -3 && j <= 3 ? double(g.k[size_t(j + 3)]) : 0.0; };
        const double d = (at(i - 1) - at(i + 1)) / 2;
        derivative += d * d;
    }
    g.gradientSpread = std::sqrt(derivative * squares);
    return g;
}

Plane blurred(const Plane &in, const Kernel &g)
{
    constexpr int r = 3;
    const auto &k = g.k;
    Plane tmp{in.width, in.height, std::vector<float>(in.v.size())};
    Plane out = tmp;
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            float acc = 0;
            for (int i = -r; i <= r; ++i)
                acc += k[size_t(i + r)] * in.at(std::clamp(x + i, 0, in.width - 1), y);
            tmp.at(x, y) = acc;
        }
    }
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            float acc = 0;
            for (int i = -r; i <= r; ++i)
                acc += k[size_t(i + r)] * tmp.at(x, std::clamp(y + i, 0, in.height - 1));
            out.at(x, y) = acc;
        }
    }
    return out;
}

float gradientAt(const Plane &p, int x, int y)
{
    const float gx = (p.at(x + 1, y) - p.at(x - 1, y)) * 0.5f;
    const float gy = (p.at(x, y + 1) - p.at(x, y - 1)) * 0.5f;
    return std::sqrt(gx * gx + gy * gy);
}

double medianOf(std::vector<float> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

GreyPixels lumaOf(const vips::VImage &picture)
{
    vips::VImage grey = picture.colourspace(VIPS_INTERPRETATION_B_W);
    if (grey.bands() > 1)
        grey = grey.extract_band(0);
    if (grey.format() != VIPS_FORMAT_UCHAR)
        grey = grey.cast(VIPS_FORMAT_UCHAR);
    size_t bytes = 0;
    void *data = grey.write_to_memory(&bytes);
    GreyPixels pixels{grey.width(), grey.height(), {}};
    pixels.luma.assign(static_cast<const uint8_t *>(data), static_cast<const uint8_t *>(data) + bytes);
    g_free(data);
    return pixels;
}

} // namespace

Looks looksOf(const GreyPixels &pixels)
{
    Looks looks;
    constexpr int n = Looks::kGrid;
    if (pixels.width < n || pixels.height < n)
        return looks;
    std::array<double, n * n> sums{};
    std::array<int, n * n> counts{};
    std::vector<int> column(size_t(pixels.width));
    for (int x = 0; x < pixels.width; ++x)
        column[size_t(x)] = x * n / pixels.width;
    for (int y = 0; y < pixels.height; ++y) {
        const int row = y * n / pixels.height;
        const uint8_t *line = pixels.luma.data() + size_t(y) * size_t(pixels.width);
        for (int x = 0; x < pixels.width; ++x) {
            sums[size_t(row * n + column[size_t(x)])] += line[x];
            ++counts[size_t(row * n + column[size_t(x)])];
        }
    }
    double mean = 0;
    for (size_t i = 0; i < sums.size(); ++i) {
        sums[i] /= std::max(1, counts[i]);
        mean += sums[i];
    }
    mean /= double(sums.size());
    double variance = 0;
    for (double v : sums)
        variance += (v - mean) * (v - mean);
    variance /= double(sums.size());
    if (variance < 1e-6)
        return looks;
    const double spread = std::sqrt(variance);
    for (size_t i = 0; i < sums.size(); ++i)
        looks.cells[i] = float((sums[i] - mean) / spread);
    looks.flat = false;
    return looks;
}

double similarity(const Looks &a, const Looks &b)
{
    if (a.flat || b.flat)
        return 0;
    double dot = 0;
    for (size_t i = 0; i < a.cells.size(); ++i)
        dot += double(a.cells[i]) * double(b.cells[i]);
    return dot / double(a.cells.size());
}

double sharpnessOf(const GreyPixels &pixels)
{
    constexpr int kBlock = 4;
    const int cw = pixels.width / kBlock;
    const int ch = pixels.height / kBlock;
    if (cw < 8 || ch < 8)
        return 0;
    static const Kernel fineKernel = gaussian(kFineSigma);
    static const Kernel coarseKernel = gaussian(1.0f);
    Plane fine{pixels.width, pixels.height, std::vector<float>(pixels.luma.begin(), pixels.luma.end())};
    const Plane smooth = blurred(fine, fineKernel);

    // The picture four times coarser: block averages, smoothed alike.
    Plane coarse{cw, ch, std::vector<float>(size_t(cw) * size_t(ch))};
    for (int by = 0; by < ch; ++by) {
        for (int bx = 0; bx < cw; ++bx) {
            float sum = 0;
            for (int y = 0; y < kBlock; ++y)
                for (int x = 0; x < kBlock; ++x)
                    sum += fine.at(bx * kBlock + x, by * kBlock + y);
            coarse.at(bx, by) = sum / float(kBlock * kBlock);
        }
    }
    const Plane coarseSmooth = blurred(coarse, coarseKernel);

    // Coarse edge strength per block, in grey levels per fine pixel, away from the picture's border.
    struct Block
    {
        int x, y;
        float strength;
    };
    std::vector<Block> blocks;
    blocks.reserve(size_t(cw) * size_t(ch));
    for (int by = 2; by < ch - 2; ++by)
        for (int bx = 2; bx < cw - 2; ++bx)
            blocks.push_back({bx, by, gradientAt(coarseSmooth, bx, by) / float(kBlock)});
    if (blocks.size() < 64)
        return 0;

    // Sensor noise, from the flattest tenth of the picture: what the fine smoothing leaves of it, as the
    // spread of the fine picture around its smoothed self (a robust spread: the median of the deviations).
    const auto byStrength = [](const Block &a, const Block &b) { return a.strength < b.strength; };
    const size_t tenth = blocks.size() / 10;
    std::nth_element(blocks.begin(), blocks.begin() + std::ptrdiff_t(tenth), blocks.end(), byStrength);
    std::vector<float> residuals;
    residuals.reserve(tenth * kBlock * kBlock);
    for (size_t i = 0; i < tenth; ++i) {
        for (int y = 0; y < kBlock; ++y) {
            for (int x = 0; x < kBlock; ++x) {
                const int px = blocks[i].x * kBlock + x, py = blocks[i].y * kBlock + y;
                residuals.push_back(std::abs(fine.at(px, py) - smooth.at(px, py)));
            }
        }
    }
    // The steepest of the few samples along an edge's ridge is lifted by about 1.4 spreads of the noise's
    // own gradient.
    const double noise = 1.4826 * medianOf(std::move(residuals)) / fineKernel.residualSpread;
    const double noiseLift = 1.4 * fineKernel.gradientSpread * noise;

    // The strongest edges: the top 3 % of the blocks, each judged by its steepest fine gradient nearby.
    const size_t strong = std::max<size_t>(16, blocks.size() * 3 / 100);
    std::nth_element(blocks.begin(), blocks.end() - std::ptrdiff_t(strong), blocks.end(), byStrength);
    std::vector<float> ratios;
    ratios.reserve(strong);
    for (auto it = blocks.end() - std::ptrdiff_t(strong); it != blocks.end(); ++it) {
        if (it->strength < 0.5f)
            continue; // no edge worth the name
        float steepest = 0;
        for (int y = it->y * kBlock - 2; y < it->y * kBlock + kBlock + 2; ++y)
            for (int x = it->x * kBlock - 2; x < it->x * kBlock + kBlock + 2; ++x)
                steepest = std::max(steepest, gradientAt(smooth, x, y));
        ratios.push_back(float(std::max(0.0, steepest - noiseLift) / it->strength));
    }
    if (ratios.size() < 8)
        return 0;
    return medianOf(std::move(ratios));
}

GreyPixels decodeLuma(const std::filesystem::path &file, int minLongEdge, const std::stop_token &token)
{
    if (ImagePipeline::acceptedLoader(file, ImagePipeline::Loaders::StillPictures) == "jpegload") {
        if (auto luma = JpegDecoder::decodeLuma(file, minLongEdge, minLongEdge >= kSharpnessLongEdge ? 4 : 1, token))
            return std::move(*luma);
    }
    // Anything else at about the size asked for; sharpness asks for about half a camera frame.
    const int cap = minLongEdge >= kSharpnessLongEdge ? 3000 : minLongEdge;
    try {
        return lumaOf(ImageDecoder::decode(file, cap, token));
    } catch (const vips::VError &error) {
        vips_error_clear();
        throw DecodeError(error.what());
    }
}

Features read(const std::filesystem::path &file, bool withSharpness, const std::stop_token &token)
{
    Features features;
    if (withSharpness) {
        // One decode serves both: the looks average the sharpness's picture down.
        const GreyPixels half = decodeLuma(file, kSharpnessLongEdge, token);
        checkCancellation(token);
        features.looks = looksOf(half);
        features.sharpness = sharpnessOf(half);
    } else {
        features.looks = looksOf(decodeLuma(file, kLooksLongEdge, token));
    }
    return features;
}

} // namespace vorlane::BurstFeatures
