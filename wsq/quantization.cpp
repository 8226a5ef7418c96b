#include "wsq/quantization.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "wsq/diagnostics.h"
#include "wsq/errors.h"
#include "wsq/simd.h"

namespace wsq {

namespace {

constexpr float kVarianceThreshold = 1.01f;
constexpr float kBitAllocationScale = 0.4f;
constexpr float kExclusionFactor = 5.0f;
constexpr float kZeroBinFactor = 1.2f;

// Weight A of subbands 52-59 (all others 1).
constexpr float kHighBandWeight[8] = {1.32f, 1.08f, 1.42f, 1.08f, 1.32f, 1.42f, 1.08f, 1.08f};

float weightA(int s) { return s >= 52 ? kHighBandWeight[s - 52] : 1.0f; }

// The share m of the image a subband of each decomposition level covers.
float sizeFactor(int s)
{
    if (s <= 3)
        return 1.0f / 1024.0f;
    if (s <= 50)
        return 1.0f / 256.0f;
    return 1.0f / 16.0f;
}

float logf64(float v) { return static_cast<float>(std::log(static_cast<double>(v))); }
float powf64(float b, float e)
{
    return static_cast<float>(std::pow(static_cast<double>(b), static_cast<double>(e)));
}

// Truncates toward zero into a 16-bit index. An index beyond 16 bits would
// wrap to a wrong (often opposite-signed) coefficient, so it saturates.
std::int16_t toIndex(float v)
{
    if (v >= 32767.0f)
        return 32767;
    if (v <= -32768.0f)
        return -32768;
    return static_cast<std::int16_t>(static_cast<int>(v));
}

// Preliminary widths, then q by iteratively excluding the subbands whose
// bins would swallow them whole. False when the bit rate leaves no usable q.
bool binWidths(QuantValues& qv)
{
    float q1[kCodedSubbandCount] = {};
    float sigma[kCodedSubbandCount] = {};
    std::vector<int> k0;
    for (int s = 0; s < kCodedSubbandCount; ++s) {
        const float var = qv.variance[s];
        if (var < kVarianceThreshold)
            continue;
        q1[s] = s <= 3 ? 1.0f : 10.0f / (weightA(s) * logf64(var));
        sigma[s] = static_cast<float>(std::sqrt(static_cast<double>(var)));
        k0.push_back(s);
    }

    std::vector<int> k = k0;
    float q = 0.0f;
    while (!k.empty()) {
        float sumM = 0.0f;
        float product = 1.0f;
        for (int s : k) {
            sumM += sizeFactor(s);
            product *= powf64(sigma[s] / q1[s], sizeFactor(s));
        }
        q = kBitAllocationScale * powf64(2.0f, qv.r / sumM - 1.0f) / powf64(product, 1.0f / sumM);
        std::vector<int> kept;
        for (int s : k)
            if (!(q1[s] / q >= kExclusionFactor * sigma[s]))
                kept.push_back(s);
        if (kept.size() == k.size())
            break;
        k = std::move(kept);
    }
    // Every subband is removed only when the rate gives no bits at all (zero
    // or negative): nothing sensible can be coded, as with a zero q.
    if (k.empty() || std::isnan(q) || !(q > 0.0f))
        return false;

    for (int s : k0) {
        // An infinite q (a budget far beyond what 16-bit indices can spend)
        // asks for the finest bins; fitBinWidth then sets them to the finest
        // that still fit.
        qv.bin_width[s] = std::isinf(q) ? std::numeric_limits<float>::min() : q1[s] / q;
        if (qv.bin_width[s] == 0.0f)
            qv.bin_width[s] = std::numeric_limits<float>::min();
        qv.zero_bin[s] = kZeroBinFactor * qv.bin_width[s];
    }
    return true;
}

// Largest index a bin width may produce: beyond 16 bits the index would be
// saturated (or, stored as its low 16 bits, wrap to another coefficient).
constexpr float kMaxIndexSpan = 32766.0f;

// When the bit allocation asks for more precision than 16-bit indices carry
// (very smooth images, where only a few subbands share the whole bit
// budget), widen the bins just enough that the subband's largest
// coefficient still fits. Ordinary images never reach this.
void fitBinWidth(float& q, float& z, const Subband& sb, const float* fip, int width)
{
    float maxAbs = 0.0f;
    for (int row = 0; row < sb.ly; ++row) {
        const float* p = fip + static_cast<std::ptrdiff_t>(sb.y + row) * width + sb.x;
        maxAbs = std::max(maxAbs, wsq::simd::maxMagnitude(p, sb.lx));
    }
    if (maxAbs / q < kMaxIndexSpan)
        return;
    q = maxAbs / kMaxIndexSpan;
    z = kZeroBinFactor * q;
}

void quantizeSubband(std::int16_t*& out, const Subband& sb, float q, float z, const float* fip,
                     int width)
{
    const float h = z / 2.0f;
    for (int row = 0; row < sb.ly; ++row) {
        const float* p = fip + static_cast<std::ptrdiff_t>(sb.y + row) * width + sb.x;
        wsq::simd::quantizeRow(out, p, sb.lx, q, h);
        out += sb.lx;
    }
}

}  // namespace

std::int16_t quantizeCoefficient(float x, float q, float zHalf)
{
    if (x > zHalf)
        return toIndex((x - zHalf) / q + 1.0f);
    if (x < -zHalf)
        return toIndex((x + zHalf) / q - 1.0f);
    return 0;
}

void image_to_float(std::vector<float>& fdata, float& m_shift, float& r_scale,
                    const unsigned char* data, std::size_t num_pix)
{
    std::uint64_t sum = 0;
    int low = 255, high = 0;
    wsq::simd::pixelStats(data, num_pix, sum, low, high);
    m_shift = static_cast<float>(static_cast<double>(sum) / static_cast<double>(num_pix));
    const float dLow = m_shift - static_cast<float>(low);
    const float dHigh = static_cast<float>(high) - m_shift;
    r_scale = (dLow >= dHigh ? dLow : dHigh) / 128.0f;

    fdata.assign(num_pix, 0.0f);
    if (r_scale == 0.0f)
        return;  // uniform: nothing to scale, and the caller refuses it
    // Like m_shift, each sample is the quotient worked out in double and
    // rounded once to float.
    // A pixel has 256 possible values: work each out once.
    float sample[256];
    for (int v = 0; v < 256; ++v)
        sample[v] = static_cast<float>((static_cast<double>(v) - m_shift) / r_scale);
    for (std::size_t i = 0; i < num_pix; ++i)
        fdata[i] = sample[data[i]];
}

void subband_variances(QuantValues& quant_vals, const WaveletTrees& trees, const float* fip,
                       int width)
{
    quant_vals.variance.fill(0.0f);
    // The central window of each subband; windows of like size share the
    // vector lanes.
    std::array<int, kCodedSubbandCount> order{};
    std::array<wsq::simd::Window, kCodedSubbandCount> windows{};
    int used = 0;
    for (int s = 0; s < kCodedSubbandCount; ++s) {
        const Subband& sb = trees.subbands[s];
        const int x0 = sb.x + sb.lx / 8;
        const int y0 = sb.y + 9 * sb.ly / 32;
        windows[s] = {fip + static_cast<std::ptrdiff_t>(y0) * width + x0, 3 * sb.lx / 4, 7 * sb.ly / 16};
        if (windows[s].cols * windows[s].rows >= 2)  // fewer only below the supported image size
            order[used++] = s;
    }
    const auto area = [&](int s) { return windows[s].cols * windows[s].rows; };
    std::stable_sort(order.begin(), order.begin() + used, [&](int a, int b) { return area(a) > area(b); });

    for (int first = 0; first < used; first += wsq::simd::kWindowLanes) {
        const int lanes = std::min(wsq::simd::kWindowLanes, used - first);
        wsq::simd::Window group[wsq::simd::kWindowLanes];
        for (int k = 0; k < lanes; ++k)
            group[k] = windows[order[first + k]];
        float sum[wsq::simd::kWindowLanes], ssq[wsq::simd::kWindowLanes];
        wsq::simd::windowSums(group, lanes, width, sum, ssq);
        for (int k = 0; k < lanes; ++k) {
            const int n = area(order[first + k]);
            const float meanSquare = (sum[k] * sum[k]) / static_cast<float>(n);
            quant_vals.variance[order[first + k]] = (ssq[k] - meanSquare) / static_cast<float>(n - 1);
        }
    }
}

int quantize(std::vector<std::int16_t>& sip, int& cmp_siz, QuantValues& quant_vals,
             const WaveletTrees& trees, const float* fip, int width, int height)
{
    quant_vals.bin_width.fill(0.0f);
    quant_vals.zero_bin.fill(0.0f);

    bool anyAbove = false;
    for (int s = 0; s < kCodedSubbandCount; ++s)
        anyAbove = anyAbove || quant_vals.variance[s] >= kVarianceThreshold;
    if (!anyAbove) {
        wsq::diagnostic("ERROR : quantize : no subband variance reaches the threshold\n");
        return WSQ_ERR_NO_VARIANCE;
    }
    if (!binWidths(quant_vals)) {
        wsq::diagnostic("ERROR : quantize : bit rate %f gives no usable bin widths\n",
                     static_cast<double>(quant_vals.r));
        quant_vals.bin_width.fill(0.0f);
        quant_vals.zero_bin.fill(0.0f);
        return WSQ_ERR_BITRATE;
    }

    try {
        sip.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : quantize : calloc : sip\n");
        return WSQ_ERR_QUANTIZE_ALLOC;
    }
    std::int16_t* out = sip.data();
    for (int s = 0; s < kCodedSubbandCount; ++s) {
        const float q = quant_vals.bin_width[s];
        if (q == 0.0f) {
            wsq::diagnostic("%d -> %3.6f\n", s, static_cast<double>(q));
            continue;
        }
        fitBinWidth(quant_vals.bin_width[s], quant_vals.zero_bin[s], trees.subbands[s], fip, width);
        quantizeSubband(out, trees.subbands[s], quant_vals.bin_width[s], quant_vals.zero_bin[s], fip,
                        width);
    }
    cmp_siz = static_cast<int>(out - sip.data());
    return 0;
}

std::array<int, kBlockCount> block_sizes(const QuantValues& quant_vals, const WaveletTrees& trees)
{
    const auto& n = trees.nodes;
    std::array<int, kBlockCount> sizes{
        n[14].dx * n[14].dy,
        n[5].dy * n[1].dx + n[4].dx * n[4].dy,
        n[2].dx * n[2].dy + n[3].dx * n[3].dy,
    };
    for (int b = 0; b < kBlockCount; ++b)
        for (int s = kBlockFirstSubband[b]; s < kBlockFirstSubband[b + 1]; ++s)
            if (quant_vals.bin_width[s] == 0.0f)
                sizes[b] -= trees.subbands[s].lx * trees.subbands[s].ly;
    return sizes;
}

}  // namespace wsq
