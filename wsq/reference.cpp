#include "wsq/reference.h"

#include <algorithm>
#include <cmath>

#include "wsq/diagnostics.h"
#include "wsq/errors.h"
#include "wsq/stream_reader.h"

namespace wsq::reference {
namespace {

// How a sequence of `len` values continues past its ends.
enum class End { Whole, Half, HalfAnti, WholeAntiAboutNext };

// The stored index and sign of extended index k, reflecting as often as
// needed; sign 0 for the zero of a whole-sample antisymmetric end.
int extended(int k, int len, End left, End right, int& sign)
{
    sign = 1;
    if (len == 1 && left == End::Whole && right == End::Whole) {
        return 0;
    }
    for (int guard = 0; guard < 100000; ++guard) {
        if (k >= 0 && k < len)
            return k;
        if (k < 0) {
            // x[-j] = x[j] (whole) or x[j - 1] (half), negated when antisymmetric.
            k = left == End::Whole ? -k : -k - 1;
            if (left == End::HalfAnti)
                sign = -sign;
        } else if (right == End::Whole) {
            k = 2 * (len - 1) - k;  // x[len - 1 + j] = x[len - 1 - j]
        } else if (right == End::Half) {
            k = 2 * len - 1 - k;  // x[len - 1 + j] = x[len - j]
        } else if (right == End::HalfAnti) {
            k = 2 * len - 1 - k;
            sign = -sign;
        } else {
            if (k == len) {  // x[len] = 0, x[len + j] = -x[len - j]
                sign = 0;
                return 0;
            }
            k = 2 * len - k;
            sign = -sign;
        }
    }
    sign = 0;
    return 0;
}

float analyzeSample(const float* x, std::ptrdiff_t ss, int n, const float* filt, int fsize, int k, int centre)
{
    float acc = 0.0f;
    for (int i = 0; i < fsize; ++i) {
        int sign = 0;
        const int idx = extended(2 * k + centre - (fsize - 1) / 2 + i, n, End::Whole, End::Whole, sign);
        acc += filt[i] * x[idx * ss];
    }
    return acc;
}

// Adds the terms of one half to acc: values v (len of them, ss apart), taps
// filt[tapBase - n + 2k] over every k that keeps the tap inside the filter.
void addHalf(float& acc, const float* v, std::ptrdiff_t ss, int len, End left, End right, const float* filt,
             int fsize, int tapBase, int n, bool subtract)
{
    if (len <= 0)
        return;
    for (int k = (n - tapBase) / 2 - 2; k <= (n - tapBase + fsize) / 2 + 2; ++k) {
        const int tap = tapBase - n + 2 * k;
        if (tap < 0 || tap >= fsize)
            continue;
        int sign = 0;
        const int idx = extended(k, len, left, right, sign);
        if (sign == 0)
            continue;
        const float value = sign > 0 ? v[idx * ss] : -v[idx * ss];
        if (subtract)
            acc -= value * filt[tap];
        else
            acc += value * filt[tap];
    }
}

}  // namespace

void analyze_lines(float* dst, const float* src, int lines, int length, int lineStride, int sampleStride,
                   const float* hifilt, int hisize, const float* lofilt, int losize, bool inverted)
{
    const int m = (length + 1) / 2;
    const int p = length / 2;
    for (int line = 0; line < lines; ++line) {
        const float* x = src + static_cast<std::ptrdiff_t>(line) * lineStride;
        float* y = dst + static_cast<std::ptrdiff_t>(line) * lineStride;
        const int loAt = inverted ? p : 0;
        const int hiAt = inverted ? 0 : m;
        for (int k = 0; k < m; ++k)
            y[static_cast<std::ptrdiff_t>(loAt + k) * sampleStride] =
                analyzeSample(x, sampleStride, length, lofilt, losize, k, 0);
        for (int k = 0; k < p; ++k)
            y[static_cast<std::ptrdiff_t>(hiAt + k) * sampleStride] =
                analyzeSample(x, sampleStride, length, hifilt, hisize, k, 1);
    }
}

void synthesize_lines(float* dst, const float* src, int lines, int length, int lineStride, int sampleStride,
                      const float* hifilt, int hisize, const float* lofilt, int losize, bool inverted)
{
    const int m = (length + 1) / 2;
    const int p = length / 2;
    const bool nEven = length % 2 == 0;
    const bool evenFilters = losize % 2 == 0;
    End aLeft, aRight, dLeft, dRight;
    if (!evenFilters) {
        aLeft = End::Whole;
        aRight = nEven ? End::Half : End::Whole;
        dLeft = End::Half;
        dRight = nEven ? End::Whole : End::Half;
    } else {
        aLeft = End::Half;
        aRight = nEven ? End::Half : End::Whole;
        dLeft = End::HalfAnti;
        dRight = nEven ? End::HalfAnti : End::WholeAntiAboutNext;
    }
    for (int line = 0; line < lines; ++line) {
        const float* x = src + static_cast<std::ptrdiff_t>(line) * lineStride;
        float* y = dst + static_cast<std::ptrdiff_t>(line) * lineStride;
        const float* a = x + static_cast<std::ptrdiff_t>(inverted ? p : 0) * sampleStride;
        const float* d = x + static_cast<std::ptrdiff_t>(inverted ? 0 : m) * sampleStride;
        for (int n = 0; n < length; ++n) {
            float acc = 0.0f;
            if (!evenFilters) {
                addHalf(acc, a, sampleStride, m, aLeft, aRight, lofilt, losize, (losize - 1) / 2, n, false);
                addHalf(acc, d, sampleStride, p, dLeft, dRight, hifilt, hisize, (hisize - 1) / 2 + 1, n, false);
            } else {
                addHalf(acc, a, sampleStride, m, aLeft, aRight, lofilt, losize, losize / 2, n, false);
                addHalf(acc, d, sampleStride, p, dLeft, dRight, hifilt, hisize, hisize / 2, n, true);
            }
            y[static_cast<std::ptrdiff_t>(n) * sampleStride] = acc;
        }
    }
}

void wsq_decompose(float* fdata, int width, int height, std::span<const WaveletNode, kWaveletNodeCount> tree,
                   const float* hifilt, int hisize, const float* lofilt, int losize)
{
    std::vector<float> scratch(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (const WaveletNode& node : tree) {
        float* region = fdata + static_cast<std::ptrdiff_t>(node.y) * width + node.x;
        analyze_lines(scratch.data(), region, node.dy, node.dx, width, 1, hifilt, hisize, lofilt, losize, node.ir);
        analyze_lines(region, scratch.data(), node.dx, node.dy, 1, width, hifilt, hisize, lofilt, losize, node.ic);
    }
}

void wsq_reconstruct(float* fdata, int width, int height, std::span<const WaveletNode, kWaveletNodeCount> tree,
                     std::span<const float> lofilt, std::span<const float> hifilt)
{
    std::vector<float> scratch(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    const int losize = static_cast<int>(lofilt.size());
    const int hisize = static_cast<int>(hifilt.size());
    for (int i = kWaveletNodeCount - 1; i >= 0; --i) {
        const WaveletNode& node = tree[static_cast<std::size_t>(i)];
        float* region = fdata + static_cast<std::ptrdiff_t>(node.y) * width + node.x;
        synthesize_lines(scratch.data(), region, node.dx, node.dy, 1, width, hifilt.data(), hisize, lofilt.data(),
                         losize, node.ic);
        synthesize_lines(region, scratch.data(), node.dy, node.dx, width, 1, hifilt.data(), hisize, lofilt.data(),
                         losize, node.ir);
    }
}

void unquantize(float* fip, const short* sip, const QuantTable& dqt_table, const WaveletTrees& trees, int width)
{
    const double c = dqt_table.center;
    for (int s = 0; s < kCodedSubbandCount; ++s) {
        if (dqt_table.q[s] == 0.0f)
            continue;
        const double q = dqt_table.q[s];
        const double z = dqt_table.z[s];
        const Subband& band = trees.subbands[static_cast<std::size_t>(s)];
        for (int row = 0; row < band.ly; ++row) {
            for (int col = 0; col < band.lx; ++col) {
                const int v = *sip++;
                float& f = fip[static_cast<std::size_t>(band.y + row) * width + band.x + col];
                if (v == 0)
                    f = 0.0f;
                else if (v > 0)
                    f = static_cast<float>(q * (v - c) + z / 2.0);
                else
                    f = static_cast<float>(q * (v + c) - z / 2.0);
            }
        }
    }
}

void convert_image_to_uchar(unsigned char* data, const float* img, std::size_t count, float m_shift,
                            float r_scale)
{
    for (std::size_t i = 0; i < count; ++i) {
        float t = static_cast<float>(static_cast<double>(img[i]) * r_scale + m_shift);
        t = t + 0.5f;
        if (t < 0.0f || !(t == t))
            data[i] = 0;
        else if (t > 255.0f)
            data[i] = 255;
        else
            data[i] = static_cast<unsigned char>(t);
    }
}

std::int16_t quantizeCoefficient(float x, float q, float zHalf)
{
    float v = 0.0f;
    if (x >= -zHalf && x <= zHalf)
        return 0;
    if (x > zHalf)
        v = (x - zHalf) / q + 1.0f;
    else if (x < -zHalf)
        v = (x + zHalf) / q - 1.0f;
    else
        return 0;  // NaN
    if (v >= 32767.0f)
        return 32767;
    if (v <= -32768.0f)
        return -32768;
    return static_cast<std::int16_t>(static_cast<int>(v));
}

void subband_variances(QuantValues& quant_vals, const WaveletTrees& trees, const float* fip, int width)
{
    quant_vals.variance.fill(0.0f);
    for (int s = 0; s < kCodedSubbandCount; ++s) {
        const Subband& sb = trees.subbands[static_cast<std::size_t>(s)];
        const int x0 = sb.x + sb.lx / 8;
        const int cols = 3 * sb.lx / 4;
        const int y0 = sb.y + 9 * sb.ly / 32;
        const int rows = 7 * sb.ly / 16;
        const int n = cols * rows;
        if (n < 2)
            continue;
        float sum = 0.0f;
        float squares = 0.0f;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                const float v = fip[static_cast<std::size_t>(y0 + r) * width + x0 + c];
                sum += v;
                squares += v * v;
            }
        }
        const float meanSquare = (sum * sum) / static_cast<float>(n);
        quant_vals.variance[static_cast<std::size_t>(s)] = (squares - meanSquare) / static_cast<float>(n - 1);
    }
}

void windowSums(const float* first, int cols, int rows, std::ptrdiff_t stride, float& sum, float& squares)
{
    sum = 0.0f;
    squares = 0.0f;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < cols; ++c) {
            const float v = first[r * stride + c];
            sum += v;
            squares += v * v;
        }
    }
}

float maxMagnitude(const float* in, int count)
{
    float m = 0.0f;
    for (int i = 0; i < count; ++i)
        m = std::max(m, std::fabs(in[i]));
    return m;
}

int leadingZeros(const std::int16_t* in, int count)
{
    for (int i = 0; i < count; ++i)
        if (in[i] != 0)
            return i;
    return count;
}

void deinterleave(float* even, float* odd, const float* in, int evenCount, int oddCount)
{
    for (int j = 0; j < evenCount; ++j)
        even[j] = in[2 * j];
    for (int j = 0; j < oddCount; ++j)
        odd[j] = in[2 * j + 1];
}

void pixelStats(const unsigned char* in, std::size_t count, std::uint64_t& sum, int& lowest, int& highest)
{
    sum = 0;
    lowest = 255;
    highest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += in[i];
        if (in[i] < lowest)
            lowest = in[i];
        if (in[i] > highest)
            highest = in[i];
    }
}

}  // namespace wsq::reference
