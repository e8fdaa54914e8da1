#include "media/lanczos_resampler.h"

#include "core/cancellation.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#if defined(__SSE2__)
#include <emmintrin.h>
#define VORLANE_RESAMPLE_SSE2 1
#endif

namespace vorlane::LanczosResampler {
namespace {

constexpr int kLobes = 3;
constexpr int kFractionBits = 14;
constexpr int32_t kOne = 1 << kFractionBits;
constexpr int kRowsBetweenStopChecks = 32;
// Horizontal weights are stored in groups of this many (zeros after the last), one 128-bit load each.
constexpr int kGroup = 8;

double lanczos(double x)
{
    x = std::abs(x);
    if (x < 1e-9)
        return 1.0;
    if (x >= kLobes)
        return 0.0;
    const double px = std::numbers::pi * x;
    return kLobes * std::sin(px) * std::sin(px / kLobes) / (px * px);
}

// For each output position, the first source position it reads and its weights: `length` of them that
// can be non-zero, stored `stride` apart (length rounded up to whole groups, the rest zero).
struct Taps
{
    int length = 0;
    int stride = 0;
    std::vector<int> first;
    std::vector<int16_t> weights; // summing to kOne per output position
};

Taps tapsFor(int sourceLength, int outputLength)
{
    const double scale = double(sourceLength) / outputLength;
    const double stretch = std::max(1.0, scale);
    const double support = kLobes * stretch;
    Taps taps;
    // The kernel is zero at ±support, so an open interval of 2 * support holds every tap that counts.
    taps.length = std::min(sourceLength, int(std::ceil(2 * support)));
    taps.stride = (taps.length + kGroup - 1) / kGroup * kGroup;
    taps.first.resize(size_t(outputLength));
    taps.weights.assign(size_t(outputLength) * size_t(taps.stride), 0);
    std::vector<double> exact(size_t(taps.length));
    for (int i = 0; i < outputLength; ++i) {
        const double centre = (i + 0.5) * scale - 0.5;
        const int first = std::clamp(int(std::floor(centre - support)) + 1, 0, sourceLength - taps.length);
        double sum = 0;
        for (int k = 0; k < taps.length; ++k) {
            exact[size_t(k)] = lanczos((first + k - centre) / stretch);
            sum += exact[size_t(k)];
        }
        int16_t *w = &taps.weights[size_t(i) * size_t(taps.stride)];
        int32_t total = 0;
        int largest = 0;
        for (int k = 0; k < taps.length; ++k) {
            // Under 2 in any case that occurs (the largest is about 1.2, at the edge of an enlargement).
            w[k] = int16_t(std::clamp<long>(std::lround(exact[size_t(k)] / sum * kOne), -32767, 32767));
            total += w[k];
            if (w[k] > w[largest])
                largest = k;
        }
        w[largest] = int16_t(w[largest] + (kOne - total)); // rounding must not brighten or darken a flat area
        taps.first[size_t(i)] = first;
    }
    return taps;
}

uint8_t toByte(int32_t sum) { return uint8_t(std::clamp((sum + (kOne >> 1)) >> kFractionBits, 0, 255)); }

// out[x] = sum over k of weights[k] * rows[k][x], for one row of n bytes (any channel layout).
void blendRows(const uint8_t *const *rows, const int16_t *weights, int length, size_t n, uint8_t *out)
{
    size_t x = 0;
#if VORLANE_RESAMPLE_SSE2
    // Two source rows at a time: their bytes interleaved as 16-bit pairs, multiplied by the pair of weights
    // and summed in one madd, sixteen bytes across.
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(kOne >> 1);
    for (; x + 16 <= n; x += 16) {
        __m128i s0 = half, s1 = half, s2 = half, s3 = half;
        for (int k = 0; k < length; k += 2) {
            const bool pair = k + 1 < length;
            const uint32_t second = pair ? uint16_t(weights[k + 1]) : 0;
            const __m128i w = _mm_set1_epi32(int32_t(uint32_t(uint16_t(weights[k])) | (second << 16)));
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[k] + x));
            const __m128i b = pair ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[k + 1] + x)) : zero;
            const __m128i aLow = _mm_unpacklo_epi8(a, zero), aHigh = _mm_unpackhi_epi8(a, zero);
            const __m128i bLow = _mm_unpacklo_epi8(b, zero), bHigh = _mm_unpackhi_epi8(b, zero);
            s0 = _mm_add_epi32(s0, _mm_madd_epi16(_mm_unpacklo_epi16(aLow, bLow), w));
            s1 = _mm_add_epi32(s1, _mm_madd_epi16(_mm_unpackhi_epi16(aLow, bLow), w));
            s2 = _mm_add_epi32(s2, _mm_madd_epi16(_mm_unpacklo_epi16(aHigh, bHigh), w));
            s3 = _mm_add_epi32(s3, _mm_madd_epi16(_mm_unpackhi_epi16(aHigh, bHigh), w));
        }
        const __m128i low = _mm_packs_epi32(_mm_srai_epi32(s0, kFractionBits), _mm_srai_epi32(s1, kFractionBits));
        const __m128i high = _mm_packs_epi32(_mm_srai_epi32(s2, kFractionBits), _mm_srai_epi32(s3, kFractionBits));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + x), _mm_packus_epi16(low, high));
    }
#endif
    for (; x < n; ++x) {
        int32_t sum = 0;
        for (int k = 0; k < length; ++k)
            sum += weights[k] * int32_t(rows[k][x]);
        out[x] = toByte(sum);
    }
}

// One channel of a row across: out[x * 3] = sum over the taps of x. plane holds the channel's bytes
// followed by at least kGroup - 1 readable bytes, so every group loads whole.
void blendAcross(const uint8_t *plane, const Taps &taps, int width, uint8_t *out)
{
    int x = 0;
#if VORLANE_RESAMPLE_SSE2
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi32(kOne >> 1);
    for (; x + 4 <= width; x += 4) {
        __m128i sums[4];
        for (int j = 0; j < 4; ++j) {
            const uint8_t *p = plane + taps.first[size_t(x + j)];
            const int16_t *w = &taps.weights[size_t(x + j) * size_t(taps.stride)];
            __m128i acc = zero;
            for (int g = 0; g < taps.stride; g += kGroup) {
                const __m128i pixels
                    = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(p + g)), zero);
                acc = _mm_add_epi32(acc,
                                    _mm_madd_epi16(pixels, _mm_loadu_si128(reinterpret_cast<const __m128i *>(w + g))));
            }
            sums[j] = acc;
        }
        // Each sums[j] holds four partial sums of output x + j: add them across, four outputs at once.
        const __m128i s01 = _mm_add_epi32(_mm_unpacklo_epi32(sums[0], sums[1]), _mm_unpackhi_epi32(sums[0], sums[1]));
        const __m128i s23 = _mm_add_epi32(_mm_unpacklo_epi32(sums[2], sums[3]), _mm_unpackhi_epi32(sums[2], sums[3]));
        __m128i total = _mm_add_epi32(_mm_unpacklo_epi64(s01, s23), _mm_unpackhi_epi64(s01, s23));
        total = _mm_srai_epi32(_mm_add_epi32(total, half), kFractionBits);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(total, zero), zero);
        const uint32_t four = uint32_t(_mm_cvtsi128_si32(bytes));
        for (int j = 0; j < 4; ++j)
            out[size_t(x + j) * 3] = uint8_t(four >> (8 * j));
    }
#endif
    for (; x < width; ++x) {
        const uint8_t *p = plane + taps.first[size_t(x)];
        const int16_t *w = &taps.weights[size_t(x) * size_t(taps.stride)];
        int32_t sum = 0;
        for (int k = 0; k < taps.length; ++k)
            sum += w[k] * int32_t(p[k]);
        out[size_t(x) * 3] = toByte(sum);
    }
}

} // namespace

RgbPixels resample(const RgbPixels &source, int width, int height, const std::stop_token &token)
{
    checkCancellation(token);
    const Taps down = tapsFor(source.height, height);
    const Taps across = tapsFor(source.width, width);
    const size_t sourceRow = size_t(source.width) * 3;
    const size_t planeStride = size_t(source.width) + kGroup;
    RgbPixels result{width, height, std::vector<uint8_t>(size_t(width) * 3 * size_t(height))};
    std::vector<uint8_t> blended(sourceRow);
    std::vector<uint8_t> planes(planeStride * 3, 0);
    std::vector<const uint8_t *> rows(size_t(down.length));
    for (int y = 0; y < height; ++y) {
        if (y % kRowsBetweenStopChecks == 0)
            checkCancellation(token);
        const int first = down.first[size_t(y)];
        for (int k = 0; k < down.length; ++k)
            rows[size_t(k)] = source.rgb.data() + size_t(first + k) * sourceRow;
        blendRows(rows.data(), &down.weights[size_t(y) * size_t(down.stride)], down.length, sourceRow, blended.data());
        // Across, channel by channel: each channel's bytes side by side load eight taps at a time.
        for (size_t i = 0; i < size_t(source.width); ++i) {
            planes[i] = blended[i * 3];
            planes[planeStride + i] = blended[i * 3 + 1];
            planes[2 * planeStride + i] = blended[i * 3 + 2];
        }
        uint8_t *out = result.rgb.data() + size_t(y) * size_t(width) * 3;
        for (int c = 0; c < 3; ++c)
            blendAcross(planes.data() + size_t(c) * planeStride, across, width, out + c);
    }
    return result;
}

} // namespace vorlane::LanczosResampler
