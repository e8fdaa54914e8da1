#include "media/burst_features.h"

#include "core/cancellation.h"
#include "media/decode_error.h"
#include "media/ffi/vips_errors.h"
#include "media/image_decoder.h"
#include "media/image_pipeline.h"
#include "media/jpeg_decoder.h"

#include <algorithm>
#include <cmath>
#include <functional>
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

// Separable smoothing by the kernel, borders extended. The inner loops run without a bound check, so the
// compiler vectorises them (the file is built at -O3).
Plane blurred(const Plane &in, const Kernel &g)
{
    constexpr int r = 3;
    const int w = in.width, h = in.height;
    Plane tmp{w, h, std::vector<float>(in.v.size())};
    Plane out{w, h, std::vector<float>(in.v.size())};
    const auto &k = g.k;
    std::vector<float> row(size_t(w + 2 * r));
    for (int y = 0; y < h; ++y) {
        const float *src = in.v.data() + size_t(y) * size_t(w);
        std::copy(src, src + w, row.begin() + r);
        std::fill(row.begin(), row.begin() + r, src[0]);
        std::fill(row.end() - r, row.end(), src[w - 1]);
        float *dst = tmp.v.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            const float *p = row.data() + x;
            dst[x] = k[0] * p[0] + k[1] * p[1] + k[2] * p[2] + k[3] * p[3] + k[4] * p[4] + k[5] * p[5] + k[6] * p[6];
        }
    }
    std::array<const float *, 2 * r + 1> rows{};
    for (int y = 0; y < h; ++y) {
        for (int i = -r; i <= r; ++i)
            rows[size_t(i + r)] = tmp.v.data() + size_t(std::clamp(y + i, 0, h - 1)) * size_t(w);
        float *dst = out.v.data() + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            dst[x] = k[0] * rows[0][x] + k[1] * rows[1][x] + k[2] * rows[2][x] + k[3] * rows[3][x]
                + k[4] * rows[4][x] + k[5] * rows[5][x] + k[6] * rows[6][x];
        }
    }
    return out;
}

// A small part of the fine picture, smoothed by a kernel (borders extended): the smoothing of a whole
// 6-megapixel frame would cost more than its decode, and only a fifth of it is ever looked at.
class Patch
{
public:
    void smooth(const GreyPixels &p, const Kernel &g, int x0, int y0, int w, int h)
    {
        constexpr int r = 3;
        m_width = w;
        m_rows.resize(size_t(w) * size_t(h + 2 * r));
        m_out.resize(size_t(w) * size_t(h));
        const auto &k = g.k;
        for (int y = 0; y < h + 2 * r; ++y) {
            const uint8_t *line
                = p.luma.data() + size_t(std::clamp(y0 + y - r, 0, p.height - 1)) * size_t(p.width);
            for (int x = 0; x < w; ++x) {
                float acc = 0;
                for (int i = -r; i <= r; ++i)
                    acc += k[size_t(i + r)] * float(line[std::clamp(x0 + x + i, 0, p.width - 1)]);
                m_rows[size_t(y) * size_t(w) + size_t(x)] = acc;
            }
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                float acc = 0;
                for (int i = 0; i <= 2 * r; ++i)
                    acc += k[size_t(i)] * m_rows[size_t(y + i) * size_t(w) + size_t(x)];
                m_out[size_t(y) * size_t(w) + size_t(x)] = acc;
            }
        }
    }
    float at(int x, int y) const { return m_out[size_t(y) * size_t(m_width) + size_t(x)]; }

private:
    int m_width = 0;
    std::vector<float> m_rows;
    std::vector<float> m_out;
};

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
    // Column bounds of the grid's cells; each row adds its runs of bytes into its cells.
    std::array<int, n + 1> edges{};
    for (int c = 0; c <= n; ++c)
        edges[size_t(c)] = c * pixels.width / n;
    std::array<double, n * n> sums{};
    std::array<int, n> rowsIn{};
    for (int y = 0; y < pixels.height; ++y) {
        const int row = y * n / pixels.height;
        ++rowsIn[size_t(row)];
        const uint8_t *line = pixels.luma.data() + size_t(y) * size_t(pixels.width);
        for (int c = 0; c < n; ++c) {
            uint32_t sum = 0;
            for (int x = edges[size_t(c)]; x < edges[size_t(c + 1)]; ++x)
                sum += line[x];
            sums[size_t(row * n + c)] += sum;
        }
    }
    double mean = 0, squares = 0;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            const double v = sums[size_t(r * n + c)]
                / double(std::max(1, rowsIn[size_t(r)] * (edges[size_t(c + 1)] - edges[size_t(c)])));
            looks.cells[size_t(r * n + c)] = float(v);
            mean += v;
            squares += v * v;
        }
    }
    mean /= double(sums.size());
    looks.flat = squares / double(sums.size()) - mean * mean < 1e-6;
    return looks;
}

namespace {

// The middle of a look, enlarged by 1 / share: what a frame zoomed in that much would look like.
Looks magnified(const Looks &looks, double share)
{
    constexpr int n = Looks::kGrid;
    Looks out;
    out.flat = looks.flat;
    const auto at = [&](int x, int y) { return double(looks.cells[size_t(y * n + x)]); };
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const double sx = (x + 0.5 - n / 2.0) * share + n / 2.0 - 0.5;
            const double sy = (y + 0.5 - n / 2.0) * share + n / 2.0 - 0.5;
            const int x0 = std::clamp(int(std::floor(sx)), 0, n - 2), y0 = std::clamp(int(std::floor(sy)), 0, n - 2);
            const double fx = std::clamp(sx - x0, 0.0, 1.0), fy = std::clamp(sy - y0, 0.0, 1.0);
            out.cells[size_t(y * n + x)] = float((at(x0, y0) * (1 - fx) + at(x0 + 1, y0) * fx) * (1 - fy)
                                                 + (at(x0, y0 + 1) * (1 - fx) + at(x0 + 1, y0 + 1) * fx) * fy);
        }
    }
    return out;
}

// The best shift of b against a at one scale, up to reach cells each way from (cx, cy).
Alignment alignShifted(const Looks &a, const Looks &b, int reach, int cx = 0, int cy = 0)
{
    Alignment best;
    constexpr int n = Looks::kGrid;
    best.similarity = -2;
    for (int dy = cy - reach; dy <= cy + reach; ++dy) {
        for (int dx = cx - reach; dx <= cx + reach; ++dx) {
            // The cells of a whose shifted place lies inside b.
            const int x0 = std::max(0, -dx), x1 = std::min(n, n - dx);
            const int y0 = std::max(0, -dy), y1 = std::min(n, n - dy);
            double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
            for (int y = y0; y < y1; ++y) {
                const float *ra = a.cells.data() + size_t(y * n);
                const float *rb = b.cells.data() + size_t((y + dy) * n + dx);
                for (int x = x0; x < x1; ++x) {
                    const double va = ra[x], vb = rb[x];
                    sa += va;
                    sb += vb;
                    saa += va * va;
                    sbb += vb * vb;
                    sab += va * vb;
                }
            }
            const double count = double((x1 - x0) * (y1 - y0));
            const double va = saa - sa * sa / count, vb = sbb - sb * sb / count;
            const double r = va > 1e-9 && vb > 1e-9 ? (sab - sa * sb / count) / std::sqrt(va * vb) : 0.0;
            const auto distance = [](int x, int y) { return x * x + y * y; };
            if (r > best.similarity + 1e-9
                || (r > best.similarity - 1e-9 && distance(dx, dy) < distance(best.dx, best.dy))) {
                best = {r, dx, dy};
            }
        }
    }
    return best;
}

// The cells less the mean of the cells around each (9 x 9, narrowed at the borders so that the cell stays in
// the middle): what is left of the picture once its large areas and slopes (a sky above, a floor below, light
// falling off across the frame, which many scenes share) are taken away.
Looks detailOf(const Looks &looks)
{
    constexpr int n = Looks::kGrid, r = 4;
    Looks detail = looks;
    for (int y = 0; y < n; ++y) {
        const int ry = std::min({r, y, n - 1 - y});
        for (int x = 0; x < n; ++x) {
            const int rx = std::min({r, x, n - 1 - x});
            double sum = 0;
            for (int j = y - ry; j <= y + ry; ++j) {
                for (int i = x - rx; i <= x + rx; ++i)
                    sum += looks.cells[size_t(j * n + i)];
            }
            detail.cells[size_t(y * n + x)]
                = float(looks.cells[size_t(y * n + x)] - sum / double((2 * rx + 1) * (2 * ry + 1)));
        }
    }
    return detail;
}

} // namespace

Alignment align(const Looks &a, const Looks &b)
{
    if (a.flat || b.flat)
        return {};
    // Laid over each other as they are, or either one zoomed in by about 9 %, at the shift where the whole
    // pictures agree best. Frames alike as they stand (a camera on a tripod, a fast burst) need no search.
    constexpr double kZoomShare = 0.92;
    constexpr double kAlikeAsTheyStand = 0.98;
    const Looks zoomedA = magnified(a, kZoomShare), zoomedB = magnified(b, kZoomShare);
    const Looks *first = &a, *second = &b;
    Alignment best = alignShifted(a, b, 0);
    if (best.similarity < kAlikeAsTheyStand) {
        best = alignShifted(a, b, kMaxShift);
        for (const auto &[x, y] : {std::pair(&a, &zoomedB), std::pair(&zoomedA, &b)}) {
            if (const Alignment zoomed = alignShifted(*x, *y, kMaxShift); zoomed.similarity > best.similarity + 1e-9) {
                best = zoomed;
                first = x;
                second = y;
            }
        }
    }
    // There, the details must agree as well: two scenes whose large areas happen to match (a bright top, a
    // dark bottom) differ in them, while one scene's frames keep them through blur and exposure. The likeness
    // is the lesser of the two.
    const Alignment detail = alignShifted(detailOf(*first), detailOf(*second), 0, best.dx, best.dy);
    best.similarity = std::min(best.similarity, detail.similarity);
    return best;
}

double similarity(const Looks &a, const Looks &b)
{
    return align(a, b).similarity;
}

namespace {

constexpr int kBlock = 4; // fine pixels a side of one coarse block

// A coarse block and its edge strength.
struct Block
{
    int x, y;
    float strength;
};

// The picture's kBlock x kBlock block averages, cw x ch of them.
Plane blockAverages(const GreyPixels &pixels, int cw, int ch)
{
    Plane coarse{cw, ch, std::vector<float>(size_t(cw) * size_t(ch), 0.0f)};
    for (int y = 0; y < ch * kBlock; ++y) {
        const uint8_t *line = pixels.luma.data() + size_t(y) * size_t(pixels.width);
        float *sums = coarse.v.data() + size_t(y / kBlock) * size_t(cw);
        for (int bx = 0; bx < cw; ++bx)
            sums[bx] += float(line[bx * kBlock] + line[bx * kBlock + 1] + line[bx * kBlock + 2] + line[bx * kBlock + 3]);
    }
    for (float &v : coarse.v)
        v /= float(kBlock * kBlock);
    return coarse;
}

// How far the fine picture strays from its smoothed self over the first count blocks (the flattest): the
// median of the deviations.
double medianResidual(const GreyPixels &pixels, const Kernel &fineKernel, const std::vector<Block> &blocks,
                      size_t count, Patch &patch)
{
    std::vector<float> residuals;
    residuals.reserve(count * kBlock * kBlock);
    for (size_t i = 0; i < count; ++i) {
        const int x0 = blocks[i].x * kBlock, y0 = blocks[i].y * kBlock;
        patch.smooth(pixels, fineKernel, x0, y0, kBlock, kBlock);
        for (int y = 0; y < kBlock; ++y) {
            const uint8_t *line = pixels.luma.data() + size_t(y0 + y) * size_t(pixels.width) + size_t(x0);
            for (int x = 0; x < kBlock; ++x)
                residuals.push_back(std::abs(float(line[x]) - patch.at(x, y)));
        }
    }
    return medianOf(std::move(residuals));
}

} // namespace

namespace {

// A tile's sharpness is the median over its strongest few edges; with fewer than kMinEdges it cannot tell.
constexpr size_t kEdgesPerTile = 6;
constexpr size_t kMinEdges = 3;
constexpr float kMinEdgeStrength = 0.5f; // grey levels per pixel: below, no edge worth the name

// How the exposure of a picture reads: its mean and the share of its pixels at either end of the range.
void measureExposure(const GreyPixels &pixels, Focus &focus)
{
    uint64_t sum = 0, clipped = 0;
    for (const uint8_t v : pixels.luma) {
        sum += v;
        clipped += v >= 253 || v <= 2;
    }
    const double count = double(std::max<size_t>(1, pixels.luma.size()));
    focus.exposure = double(sum) / count / 255.0;
    focus.clipped = double(clipped) / count;
}

} // namespace

Focus focusOf(const GreyPixels &pixels)
{
    Focus focus;
    focus.tiles.fill(-1.0f);
    measureExposure(pixels, focus);
    const int cw = pixels.width / kBlock;
    const int ch = pixels.height / kBlock;
    if (cw < 2 * Focus::kTiles || ch < 2 * Focus::kTiles)
        return focus;
    static const Kernel fineKernel = gaussian(kFineSigma);
    static const Kernel coarseKernel = gaussian(1.0f);

    // The picture four times coarser: block averages, smoothed alike.
    const Plane coarseSmooth = blurred(blockAverages(pixels, cw, ch), coarseKernel);

    // Coarse edge strength per block, in grey levels per fine pixel, away from the picture's border.
    std::vector<Block> blocks;
    blocks.reserve(size_t(cw) * size_t(ch));
    for (int by = 2; by < ch - 2; ++by)
        for (int bx = 2; bx < cw - 2; ++bx)
            blocks.push_back({bx, by, gradientAt(coarseSmooth, bx, by) / float(kBlock)});

    // The fine picture is smoothed only where it is looked at: around the flattest and the strongest blocks.
    Patch patch;

    // Sensor noise, from the flattest tenth of the picture: what the fine smoothing leaves of it, as the
    // spread of the fine picture around its smoothed self (a robust spread: the median of the deviations).
    const auto byStrength = [](const Block &a, const Block &b) { return a.strength > b.strength; };
    const size_t tenth = blocks.size() / 10;
    std::nth_element(blocks.begin(), blocks.end() - std::ptrdiff_t(tenth), blocks.end(), byStrength);
    const std::vector<Block> flattest(blocks.end() - std::ptrdiff_t(tenth), blocks.end());
    // The steepest of the few samples along an edge's ridge is lifted by about 1.4 spreads of the noise's
    // own gradient.
    const double noise = 1.4826 * medianResidual(pixels, fineKernel, flattest, flattest.size(), patch)
        / fineKernel.residualSpread;
    const double noiseLift = 1.4 * fineKernel.gradientSpread * noise;

    // Each tile's strongest edges, each judged by its steepest fine gradient nearby.
    std::array<std::vector<Block>, size_t(Focus::kTiles * Focus::kTiles)> tiles;
    for (const Block &block : blocks) {
        if (block.strength >= kMinEdgeStrength)
            tiles[size_t(block.y * Focus::kTiles / ch * Focus::kTiles + block.x * Focus::kTiles / cw)].push_back(block);
    }
    constexpr int kMargin = 2;                   // the window reaches this far beyond the block
    constexpr int kSide = kBlock + 2 * kMargin + 2; // and one more pixel each way for the central difference
    std::vector<float> ratios;
    for (size_t t = 0; t < tiles.size(); ++t) {
        std::vector<Block> &edges = tiles[t];
        if (edges.size() < kMinEdges)
            continue;
        const size_t count = std::min(kEdgesPerTile, edges.size());
        std::partial_sort(edges.begin(), edges.begin() + std::ptrdiff_t(count), edges.end(), byStrength);
        ratios.clear();
        for (size_t e = 0; e < count; ++e) {
            const Block &edge = edges[e];
            patch.smooth(pixels, fineKernel, edge.x * kBlock - kMargin - 1, edge.y * kBlock - kMargin - 1, kSide, kSide);
            float steepest = 0;
            for (int y = 1; y < kSide - 1; ++y) {
                for (int x = 1; x < kSide - 1; ++x) {
                    const float gx = (patch.at(x + 1, y) - patch.at(x - 1, y)) * 0.5f;
                    const float gy = (patch.at(x, y + 1) - patch.at(x, y - 1)) * 0.5f;
                    steepest = std::max(steepest, gx * gx + gy * gy);
                }
            }
            ratios.push_back(float(std::max(0.0, std::sqrt(double(steepest)) - noiseLift) / edge.strength));
        }
        focus.tiles[t] = float(medianOf(ratios));
    }
    return focus;
}

double sharpnessOf(const Focus &focus)
{
    std::vector<float> scores;
    for (const float tile : focus.tiles) {
        if (tile >= 0)
            scores.push_back(tile);
    }
    if (scores.empty())
        return 0;
    const size_t top = std::min(scores.size(), std::max<size_t>(3, scores.size() / 4));
    std::partial_sort(scores.begin(), scores.begin() + std::ptrdiff_t(top), scores.end(), std::greater<>());
    double sum = 0;
    for (size_t i = 0; i < top; ++i)
        sum += scores[i];
    return sum / double(top);
}

double sharpnessOf(const GreyPixels &pixels)
{
    return sharpnessOf(focusOf(pixels));
}

GreyPixels decodeLuma(const std::filesystem::path &file, int minLongEdge, const std::stop_token &token)
{
    if (ImagePipeline::acceptedLoader(file, ImagePipeline::Loaders::StillPictures) == "jpegload") {
        if (auto luma = JpegDecoder::decodeLuma(file, minLongEdge, minLongEdge >= kSharpnessLongEdge ? 4 : 1, token))
            return std::move(*luma);
    }
    // Anything else at about the size asked for; sharpness asks for about half a camera frame.
    const int cap = minLongEdge >= kSharpnessLongEdge ? 3000 : minLongEdge;
    return decodingWithVips(file.filename().string(), [&] { return lumaOf(ImageDecoder::decode(file, cap, token)); });
}

Features read(const std::filesystem::path &file, bool withSharpness, const std::stop_token &token)
{
    Features features;
    if (withSharpness) {
        // One decode serves both: the looks average the sharpness's picture down.
        const GreyPixels half = decodeLuma(file, kSharpnessLongEdge, token);
        checkCancellation(token);
        features.looks = looksOf(half);
        features.focus = focusOf(half);
    } else {
        features.looks = looksOf(decodeLuma(file, kLooksLongEdge, token));
    }
    return features;
}

} // namespace vorlane::BurstFeatures
