#include "wsq/filter_banks.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <new>

namespace {

// Lines transformed side by side when they lie next to each other in memory
// (the column pass), so the innermost loop runs over contiguous floats.
constexpr int kLaneGroup = 16;
// Filters come from one byte of the stream: at most 255 taps, so at most
// 128 + 1 coefficients of each half contribute to one synthesized sample.
constexpr int kMaxTerms = 2 * 130;

int floorDiv(int a, int b)
{
    int q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}
int ceilDiv(int a, int b) { return -floorDiv(-a, b); }

int positiveMod(int a, int m)
{
    int r = a % m;
    return r < 0 ? r + m : r;
}

// Whole-sample symmetric extension of index i over a line of n samples,
// reflected as often as needed.
inline int reflectWhole(int i, int n)
{
    if (static_cast<unsigned>(i) < static_cast<unsigned>(n))
        return i;
    if (n == 1)
        return 0;
    const int period = 2 * (n - 1);
    const int r = positiveMod(i, period);
    return r < n ? r : period - r;
}

// Extension of a coefficient half of `len` values: the kind of symmetry at
// each end, and whether the extension changes sign.
struct Extension {
    bool leftHalf;   // half-sample symmetric at the left (else whole-sample)
    bool rightHalf;  // half-sample symmetric at the right (else whole-sample)
    bool anti;       // antisymmetric: mirrored values change sign
};

// Maps an index of the extended sequence onto the stored values: the index,
// and the sign (+1, -1, or 0 for the zero point of a whole-sample
// antisymmetric extension).
inline int extend(int k, int len, Extension e, int& sign)
{
    sign = 1;
    if (static_cast<unsigned>(k) < static_cast<unsigned>(len))
        return k;
    if (e.anti && !e.rightHalf) {
        // Half-sample antisymmetric at the left, whole-sample antisymmetric
        // about the point just past the last value, which is 0.
        const int r = positiveMod(k, 2 * len + 1);
        if (r < len)
            return r;
        if (r == len) {
            sign = 0;
            return 0;
        }
        sign = -1;
        return 2 * len - r;
    }
    const int period = 2 * len - 2 + (e.leftHalf ? 1 : 0) + (e.rightHalf ? 1 : 0);
    if (period <= 0)
        return 0;
    const int r = positiveMod(k, period);
    if (r < len)
        return r;
    if (e.anti)
        sign = -1;
    return (e.rightHalf ? 2 * len - 1 : 2 * len - 2) - r;
}

// G neighbouring lines (adjacent floats in memory) at once: in the column
// pass the innermost loop then runs over contiguous floats and vectorises.
template <int G>
void analyzeLanes(float* dst, const float* src, int n, int ss, const float* filt, int fsize,
                  int firstCentre, int outCount, int outOffset)
{
    const int half = (fsize - 1) / 2;
    for (int k = 0; k < outCount; ++k) {
        float acc[G];
        for (int g = 0; g < G; ++g)
            acc[g] = 0.0f;
        const int base = 2 * k + firstCentre - half;
        for (int i = 0; i < fsize; ++i) {
            const float f = filt[i];
            const float* s = src + static_cast<std::ptrdiff_t>(reflectWhole(base + i, n)) * ss;
            for (int g = 0; g < G; ++g)
                acc[g] += f * s[g];
        }
        float* d = dst + static_cast<std::ptrdiff_t>(outOffset + k) * ss;
        for (int g = 0; g < G; ++g)
            d[g] = acc[g];
    }
}

template <int G>
void analyzeGroup(float* dst, const float* src, int n, int ss, const float* hifilt, int hisize,
                  const float* lofilt, int losize, bool inverted)
{
    const int m = (n + 1) / 2;
    const int p = n / 2;
    analyzeLanes<G>(dst, src, n, ss, lofilt, losize, 0, m, inverted ? p : 0);
    analyzeLanes<G>(dst, src, n, ss, hifilt, hisize, 1, p, inverted ? 0 : m);
}

// The coefficients that make one synthesized sample: positions within the
// transformed line and the filter taps (signs folded in) that weigh them.
struct Terms {
    int count = 0;
    int pos[kMaxTerms];
    float coef[kMaxTerms];
};

struct SynthesisLayout {
    int n, m, p;
    int loOffset, hiOffset;  // where each half starts in the transformed line
    bool evenFilters;
    Extension loExt, hiExt;
};

SynthesisLayout synthesisLayout(int n, bool inverted, bool evenFilters)
{
    SynthesisLayout s{};
    s.n = n;
    s.m = (n + 1) / 2;
    s.p = n / 2;
    s.loOffset = inverted ? s.p : 0;
    s.hiOffset = inverted ? 0 : s.m;
    s.evenFilters = evenFilters;
    const bool nEven = n % 2 == 0;
    if (!evenFilters) {
        s.loExt = Extension{false, nEven, false};
        s.hiExt = Extension{true, !nEven, false};
    } else {
        s.loExt = Extension{true, nEven, false};
        s.hiExt = Extension{true, nEven, true};
    }
    return s;
}

// Adds the terms of one half: taps t = tapBase - n + 2k over every k that
// keeps t inside the filter.
void addTerms(Terms& terms, int outN, int tapBase, const float* filt, int fsize, float scale,
              int len, int offset, Extension ext)
{
    if (len <= 0)
        return;
    const int kFirst = ceilDiv(outN - tapBase, 2);
    const int kLast = floorDiv(outN - tapBase + fsize - 1, 2);
    for (int k = kFirst; k <= kLast; ++k) {
        int sign;
        const int idx = extend(k, len, ext, sign);
        if (sign == 0)
            continue;
        const float tap = filt[tapBase - outN + 2 * k];
        terms.pos[terms.count] = offset + idx;
        terms.coef[terms.count] = sign > 0 ? tap * scale : -(tap * scale);
        ++terms.count;
    }
}

void synthesisTerms(Terms& terms, const SynthesisLayout& s, int outN, const float* hifilt,
                    int hisize, const float* lofilt, int losize)
{
    terms.count = 0;
    if (!s.evenFilters) {
        addTerms(terms, outN, (losize - 1) / 2, lofilt, losize, 1.0f, s.m, s.loOffset, s.loExt);
        addTerms(terms, outN, (hisize - 1) / 2 + 1, hifilt, hisize, 1.0f, s.p, s.hiOffset,
                 s.hiExt);
    } else {
        addTerms(terms, outN, losize / 2, lofilt, losize, 1.0f, s.m, s.loOffset, s.loExt);
        addTerms(terms, outN, hisize / 2, hifilt, hisize, -1.0f, s.p, s.hiOffset, s.hiExt);
    }
}

// True when every coefficient that output n needs lies inside its half, so
// no extension is involved.
bool halfInterior(int outN, int tapBase, int fsize, int len)
{
    if (len <= 0)
        return true;
    return ceilDiv(outN - tapBase, 2) >= 0 && floorDiv(outN - tapBase + fsize - 1, 2) <= len - 1;
}

bool interiorOutput(const SynthesisLayout& s, int outN, int hisize, int losize)
{
    if (!s.evenFilters)
        return halfInterior(outN, (losize - 1) / 2, losize, s.m) &&
               halfInterior(outN, (hisize - 1) / 2 + 1, hisize, s.p);
    return halfInterior(outN, losize / 2, losize, s.m) && halfInterior(outN, hisize / 2, hisize, s.p);
}

template <int G>
void applyTerms(float* dst, const float* src, int ss, const Terms& terms, int shift, int outN)
{
    float acc[G];
    for (int g = 0; g < G; ++g)
        acc[g] = 0.0f;
    for (int t = 0; t < terms.count; ++t) {
        const float c = terms.coef[t];
        const float* x = src + static_cast<std::ptrdiff_t>(terms.pos[t] + shift) * ss;
        for (int g = 0; g < G; ++g)
            acc[g] += c * x[g];
    }
    float* d = dst + static_cast<std::ptrdiff_t>(outN) * ss;
    for (int g = 0; g < G; ++g)
        d[g] = acc[g];
}

// Away from the line ends the terms of output n + 2 are those of n moved by
// one coefficient, so the interior uses two term lists (even and odd outputs)
// worked out once per call; only the ends work their extensions out per line.
struct SynthesisPlan {
    SynthesisLayout layout;
    const float* hifilt;
    int hisize;
    const float* lofilt;
    int losize;
    int first, last;  // interior outputs; none when first > last
    Terms pattern[2];
};

void makePlan(SynthesisPlan& plan, int n, bool inverted, const float* hifilt, int hisize,
              const float* lofilt, int losize)
{
    plan.layout = synthesisLayout(n, inverted, losize % 2 == 0);
    plan.hifilt = hifilt;
    plan.hisize = hisize;
    plan.lofilt = lofilt;
    plan.losize = losize;
    plan.first = n;
    plan.last = -1;
    for (int outN = 0; outN < n; ++outN) {
        if (interiorOutput(plan.layout, outN, hisize, losize)) {
            plan.first = std::min(plan.first, outN);
            plan.last = outN;
        }
    }
    for (int parity = 0; parity < 2 && plan.first + parity <= plan.last; ++parity)
        synthesisTerms(plan.pattern[parity], plan.layout, plan.first + parity, hifilt, hisize, lofilt,
                       losize);
}

template <int G>
void synthesizeGroup(float* dst, const float* src, int ss, const SynthesisPlan& plan)
{
    Terms edge;
    for (int outN = 0; outN < plan.layout.n; ++outN) {
        if (outN >= plan.first && outN <= plan.last) {
            const int rel = outN - plan.first;
            applyTerms<G>(dst, src, ss, plan.pattern[rel % 2], rel / 2, outN);
        } else {
            synthesisTerms(edge, plan.layout, outN, plan.hifilt, plan.hisize, plan.lofilt, plan.losize);
            applyTerms<G>(dst, src, ss, edge, 0, outN);
        }
    }
}

std::unique_ptr<float[]> allocateScratch(int width, int height)
{
    try {
        return std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(width) *
                                                       static_cast<std::size_t>(height));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace

void analyze_lines(float* dst, const float* src, int lines, int length, int lineStride,
                   int sampleStride, const float* hifilt, int hisize, const float* lofilt,
                   int losize, bool inverted)
{
    if (length <= 0 || lines <= 0)
        return;
    int line = 0;
    if (lineStride == 1) {
        for (; line + kLaneGroup <= lines; line += kLaneGroup)
            analyzeGroup<kLaneGroup>(dst + line, src + line, length, sampleStride, hifilt, hisize,
                                     lofilt, losize, inverted);
    }
    for (; line < lines; ++line) {
        const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(line) * lineStride;
        analyzeGroup<1>(dst + off, src + off, length, sampleStride, hifilt, hisize, lofilt, losize,
                        inverted);
    }
}

void synthesize_lines(float* dst, const float* src, int lines, int length, int lineStride,
                      int sampleStride, const float* hifilt, int hisize, const float* lofilt,
                      int losize, bool inverted)
{
    if (length <= 0 || lines <= 0)
        return;
    SynthesisPlan plan;
    makePlan(plan, length, inverted, hifilt, hisize, lofilt, losize);
    int line = 0;
    if (lineStride == 1) {
        for (; line + kLaneGroup <= lines; line += kLaneGroup)
            synthesizeGroup<kLaneGroup>(dst + line, src + line, sampleStride, plan);
    }
    for (; line < lines; ++line) {
        const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(line) * lineStride;
        synthesizeGroup<1>(dst + off, src + off, sampleStride, plan);
    }
}

int wsq_decompose(float* fdata, int width, int height,
                  std::span<const WaveletNode, kWaveletNodeCount> tree, const float* hifilt,
                  int hisize, const float* lofilt, int losize)
{
    std::unique_ptr<float[]> scratch = allocateScratch(width, height);
    if (!scratch) {
        std::fprintf(stderr, "ERROR : wsq_decompose : malloc : fdata1\n");
        return -94;
    }
    for (const WaveletNode& node : tree) {
        float* region = fdata + static_cast<std::ptrdiff_t>(node.y) * width + node.x;
        analyze_lines(scratch.get(), region, node.dy, node.dx, width, 1, hifilt, hisize, lofilt,
                      losize, node.ir);
        analyze_lines(region, scratch.get(), node.dx, node.dy, 1, width, hifilt, hisize, lofilt,
                      losize, node.ic);
    }
    return 0;
}

int wsq_reconstruct(float* fdata, int width, int height,
                    std::span<const WaveletNode, kWaveletNodeCount> tree,
                    std::span<const float> lofilt, std::span<const float> hifilt)
{
    if (lofilt.empty()) {
        std::fprintf(stderr, "ERROR: wsq_reconstruct : Lopass filter coefficients not defined\n");
        return -95;
    }
    if (hifilt.empty()) {
        std::fprintf(stderr, "ERROR: wsq_reconstruct : Hipass filter coefficients not defined\n");
        return -96;
    }
    const int losize = static_cast<int>(lofilt.size());
    const int hisize = static_cast<int>(hifilt.size());
    const bool pairOk = (losize % 2 == hisize % 2) && (losize % 2 == 0 || losize % 4 != hisize % 4);
    if (!pairOk) {
        std::fprintf(stderr,
                     "ERROR: wsq_reconstruct : filter lengths %d and %d are not a wavelet pair\n",
                     losize, hisize);
        return kWsqErrorFilterPair;
    }
    std::unique_ptr<float[]> scratch = allocateScratch(width, height);
    if (!scratch) {
        std::fprintf(stderr, "ERROR : wsq_reconstruct : malloc : fdata1\n");
        return -97;
    }
    for (int i = kWaveletNodeCount - 1; i >= 0; --i) {
        const WaveletNode& node = tree[i];
        float* region = fdata + static_cast<std::ptrdiff_t>(node.y) * width + node.x;
        synthesize_lines(scratch.get(), region, node.dx, node.dy, 1, width, hifilt.data(),
                         hisize, lofilt.data(), losize, node.ic);
        synthesize_lines(region, scratch.get(), node.dy, node.dx, width, 1, hifilt.data(),
                         hisize, lofilt.data(), losize, node.ir);
    }
    return 0;
}
