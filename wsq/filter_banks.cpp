#include "wsq/filter_banks.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <new>
#include <vector>

#include "wsq/diagnostics.h"

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
void analyzeLanes(float* dst, int ds, const float* src, int n, int ss, const float* filt,
                  int fsize, int firstCentre, int outCount, int outOffset, int kBegin = 0,
                  int kEnd = -1)
{
    const int half = (fsize - 1) / 2;
    if (kEnd < 0)
        kEnd = outCount;
    for (int k = kBegin; k < kEnd; ++k) {
        float acc[G];
        #pragma GCC unroll 16
        for (int g = 0; g < G; ++g)
            acc[g] = 0.0f;
        const int base = 2 * k + firstCentre - half;
        for (int i = 0; i < fsize; ++i) {
            const float f = filt[i];
            const float* s = src + static_cast<std::ptrdiff_t>(reflectWhole(base + i, n)) * ss;
                #pragma GCC unroll 16
            for (int g = 0; g < G; ++g)
                acc[g] += f * s[g];
        }
        float* d = dst + static_cast<std::ptrdiff_t>(outOffset + k) * ds;
        for (int g = 0; g < G; ++g)
            d[g] = acc[g];
    }
}

// Samples of the source are ss floats apart, outputs in dst ds floats apart.
template <int G>
void analyzeGroup(float* dst, int ds, const float* src, int n, int ss, const float* hifilt,
                  int hisize, const float* lofilt, int losize, bool inverted)
{
    const int m = (n + 1) / 2;
    const int p = n / 2;
    analyzeLanes<G>(dst, ds, src, n, ss, lofilt, losize, 0, m, inverted ? p : 0);
    analyzeLanes<G>(dst, ds, src, n, ss, hifilt, hisize, 1, p, inverted ? 0 : m);
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
void applyTerms(float* dst, int ds, const float* src, int ss, const Terms& terms, int shift,
                int outN)
{
    float acc[G];
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g)
        acc[g] = 0.0f;
    for (int t = 0; t < terms.count; ++t) {
        const float c = terms.coef[t];
        const float* x = src + static_cast<std::ptrdiff_t>(terms.pos[t] + shift) * ss;
        #pragma GCC unroll 16
        for (int g = 0; g < G; ++g)
            acc[g] += c * x[g];
    }
    float* d = dst + static_cast<std::ptrdiff_t>(outN) * ds;
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g)
        d[g] = acc[g];
}

// G neighbouring outputs of one term list whose coefficients sit G floats
// apart in src: out[g] = sum over t of coef[t] * src[pos[t] + first + g],
// added term by term in list order from 0, exactly as applyTerms does for one
// output. Used where a line's samples are contiguous (the row pass).
template <int G>
inline void sumRun(float* out, const float* src, const Terms& terms, int first)
{
    float acc[G];
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g)
        acc[g] = 0.0f;
    for (int t = 0; t < terms.count; ++t) {
        const float c = terms.coef[t];
        const float* x = src + (terms.pos[t] + first);
        #pragma GCC unroll 16
        for (int g = 0; g < G; ++g)
            acc[g] += c * x[g];
    }
    #pragma GCC unroll 16
    for (int g = 0; g < G; ++g)
        out[g] = acc[g];
}

// `count` outputs of one term list, shifted by one coefficient from each to
// the next, written `step` floats apart from dst.
void sumRuns(float* dst, int step, const float* src, const Terms& terms, int count)
{
    float out[kLaneGroup];
    int j = 0;
    for (; j + kLaneGroup <= count; j += kLaneGroup) {
        sumRun<kLaneGroup>(out, src, terms, j);
        for (int g = 0; g < kLaneGroup; ++g)
            dst[static_cast<std::ptrdiff_t>(j + g) * step] = out[g];
    }
    for (; j < count; ++j) {
        sumRun<1>(out, src, terms, j);
        dst[static_cast<std::ptrdiff_t>(j) * step] = out[0];
    }
}

// One half of the analysis of a contiguous line. Away from the ends the
// outputs read no extension, and with the line split into its even and odd
// samples (`split`: the m even ones, then the odd ones) output k + 1 reads the
// floats after those output k reads, so runs of outputs are summed side by
// side. The ends take the general path.
void analyzeHalfContiguous(float* dst, const float* line, const float* split, int n, int m,
                           const float* filt, int fsize, int firstCentre, int outCount,
                           int outOffset)
{
    const int half = (fsize - 1) / 2;
    // Output k reads samples 2k + firstCentre - half ... + fsize - 1.
    const int kLo = std::max(0, ceilDiv(half - firstCentre, 2));
    const int kHi = std::min(outCount - 1, floorDiv(n - fsize + half - firstCentre, 2));
    if (kLo > kHi || fsize > kMaxTerms) {
        analyzeLanes<1>(dst, 1, line, n, 1, filt, fsize, firstCentre, outCount, outOffset);
        return;
    }
    Terms terms;
    terms.count = fsize;
    for (int i = 0; i < fsize; ++i) {
        const int d = firstCentre - half + i;  // sample 2k + d
        const int q = floorDiv(d, 2);
        terms.pos[i] = (d - 2 * q == 0 ? 0 : m) + q;
        terms.coef[i] = filt[i];
    }
    analyzeLanes<1>(dst, 1, line, n, 1, filt, fsize, firstCentre, outCount, outOffset, 0, kLo);
    // sumRuns starts its runs at output 0 of the term list: shift the list to kLo.
    for (int i = 0; i < fsize; ++i)
        terms.pos[i] += kLo;
    sumRuns(dst + outOffset + kLo, 1, split, terms, kHi - kLo + 1);
    analyzeLanes<1>(dst, 1, line, n, 1, filt, fsize, firstCentre, outCount, outOffset, kHi + 1,
                    outCount);
}

void analyzeLineContiguous(float* dst, const float* src, int n, const float* hifilt, int hisize,
                           const float* lofilt, int losize, bool inverted, std::vector<float>& split)
{
    const int m = (n + 1) / 2;
    const int p = n / 2;
    split.resize(static_cast<std::size_t>(n));
    for (int k = 0; k < m; ++k)
        split[static_cast<std::size_t>(k)] = src[2 * k];
    for (int k = 0; k < p; ++k)
        split[static_cast<std::size_t>(m + k)] = src[2 * k + 1];
    analyzeHalfContiguous(dst, src, split.data(), n, m, lofilt, losize, 0, m, inverted ? p : 0);
    analyzeHalfContiguous(dst, src, split.data(), n, m, hifilt, hisize, 1, p, inverted ? 0 : m);
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
    // Terms of the outputs outside [first, last], in output order, worked out
    // once for all lines; empty when there are too many to keep (lines far
    // shorter than the filters), and then worked out per output.
    std::vector<Terms> edges;
};

constexpr int kMaxCachedEdges = 32;

// The terms of edge output outN: cached, or worked out into `scratch`.
const Terms& edgeTerms(const SynthesisPlan& plan, int outN, Terms& scratch)
{
    if (!plan.edges.empty()) {
        const int interior = plan.first <= plan.last ? plan.last - plan.first + 1 : 0;
        return plan.edges[static_cast<std::size_t>(outN < plan.first ? outN : outN - interior)];
    }
    synthesisTerms(scratch, plan.layout, outN, plan.hifilt, plan.hisize, plan.lofilt, plan.losize);
    return scratch;
}

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
    plan.edges.clear();
    const int interior = plan.first <= plan.last ? plan.last - plan.first + 1 : 0;
    if (n - interior > kMaxCachedEdges)
        return;
    plan.edges.resize(static_cast<std::size_t>(n - interior));
    std::size_t e = 0;
    for (int outN = 0; outN < n; ++outN)
        if (outN < plan.first || outN > plan.last)
            synthesisTerms(plan.edges[e++], plan.layout, outN, hifilt, hisize, lofilt, losize);
}

template <int G>
void synthesizeGroup(float* dst, int ds, const float* src, int ss, const SynthesisPlan& plan)
{
    Terms edge;
    for (int outN = 0; outN < plan.layout.n; ++outN) {
        if (outN >= plan.first && outN <= plan.last) {
            const int rel = outN - plan.first;
            applyTerms<G>(dst, ds, src, ss, plan.pattern[rel % 2], rel / 2, outN);
        } else {
            applyTerms<G>(dst, ds, src, ss, edgeTerms(plan, outN, edge), 0, outN);
        }
    }
}

// One contiguous line: the interior outputs of each parity are summed in runs.
void synthesizeLineContiguous(float* dst, const float* src, const SynthesisPlan& plan)
{
    Terms edge;
    for (int outN = 0; outN < plan.layout.n; ++outN) {
        if (outN >= plan.first && outN <= plan.last)
            continue;
        applyTerms<1>(dst, 1, src, 1, edgeTerms(plan, outN, edge), 0, outN);
    }
    for (int parity = 0; parity < 2; ++parity) {
        const int start = plan.first + parity;
        if (start > plan.last)
            continue;
        sumRuns(dst + start, 2, src, plan.pattern[parity], (plan.last - start) / 2 + 1);
    }
}

// Work space of the in-place passes: one line, its even/odd split, and one
// group of columns. A few lines instead of a second image: the transforms
// touch far less fresh memory and stay in cache.
struct PassBuffers {
    std::vector<float> line, split, columns;
};

bool allocatePassBuffers(PassBuffers& b, int width, int height)
{
    try {
        b.line.resize(static_cast<std::size_t>(width));
        b.split.reserve(static_cast<std::size_t>(width));
        b.columns.resize(static_cast<std::size_t>(kLaneGroup) * static_cast<std::size_t>(height));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Puts `lanes` transformed columns of n samples (sample k of column g at
// tmp[k * lanes + g]) back into the image, the first at `region`.
void storeColumns(float* region, int width, int n, const float* tmp, int lanes)
{
    for (int k = 0; k < n; ++k) {
        float* d = region + static_cast<std::ptrdiff_t>(k) * width;
        for (int g = 0; g < lanes; ++g)
            d[g] = tmp[static_cast<std::ptrdiff_t>(k) * lanes + g];
    }
}

void analyzeNode(float* region, const WaveletNode& node, int width, const float* hifilt,
                 int hisize, const float* lofilt, int losize, PassBuffers& b)
{
    for (int r = 0; r < node.dy; ++r) {
        float* row = region + static_cast<std::ptrdiff_t>(r) * width;
        analyzeLineContiguous(b.line.data(), row, node.dx, hifilt, hisize, lofilt, losize, node.ir,
                              b.split);
        std::copy(b.line.begin(), b.line.begin() + node.dx, row);
    }
    int c = 0;
    for (; c + kLaneGroup <= node.dx; c += kLaneGroup) {
        analyzeGroup<kLaneGroup>(b.columns.data(), kLaneGroup, region + c, node.dy, width, hifilt,
                                 hisize, lofilt, losize, node.ic);
        storeColumns(region + c, width, node.dy, b.columns.data(), kLaneGroup);
    }
    for (; c < node.dx; ++c) {
        analyzeGroup<1>(b.columns.data(), 1, region + c, node.dy, width, hifilt, hisize, lofilt,
                        losize, node.ic);
        storeColumns(region + c, width, node.dy, b.columns.data(), 1);
    }
}

void synthesizeNode(float* region, const WaveletNode& node, int width, const float* hifilt,
                    int hisize, const float* lofilt, int losize, PassBuffers& b)
{
    SynthesisPlan plan;
    makePlan(plan, node.dy, node.ic, hifilt, hisize, lofilt, losize);
    int c = 0;
    for (; c + kLaneGroup <= node.dx; c += kLaneGroup) {
        synthesizeGroup<kLaneGroup>(b.columns.data(), kLaneGroup, region + c, width, plan);
        storeColumns(region + c, width, node.dy, b.columns.data(), kLaneGroup);
    }
    for (; c < node.dx; ++c) {
        synthesizeGroup<1>(b.columns.data(), 1, region + c, width, plan);
        storeColumns(region + c, width, node.dy, b.columns.data(), 1);
    }
    makePlan(plan, node.dx, node.ir, hifilt, hisize, lofilt, losize);
    for (int r = 0; r < node.dy; ++r) {
        float* row = region + static_cast<std::ptrdiff_t>(r) * width;
        synthesizeLineContiguous(b.line.data(), row, plan);
        std::copy(b.line.begin(), b.line.begin() + node.dx, row);
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
            analyzeGroup<kLaneGroup>(dst + line, sampleStride, src + line, length, sampleStride,
                                     hifilt, hisize, lofilt, losize, inverted);
    }
    std::vector<float> split;
    for (; line < lines; ++line) {
        const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(line) * lineStride;
        if (sampleStride == 1)
            analyzeLineContiguous(dst + off, src + off, length, hifilt, hisize, lofilt, losize,
                                  inverted, split);
        else
            analyzeGroup<1>(dst + off, sampleStride, src + off, length, sampleStride, hifilt,
                            hisize, lofilt, losize, inverted);
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
            synthesizeGroup<kLaneGroup>(dst + line, sampleStride, src + line, sampleStride, plan);
    }
    for (; line < lines; ++line) {
        const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(line) * lineStride;
        if (sampleStride == 1)
            synthesizeLineContiguous(dst + off, src + off, plan);
        else
            synthesizeGroup<1>(dst + off, sampleStride, src + off, sampleStride, plan);
    }
}

int wsq_decompose(float* fdata, int width, int height,
                  std::span<const WaveletNode, kWaveletNodeCount> tree, const float* hifilt,
                  int hisize, const float* lofilt, int losize)
{
    PassBuffers buffers;
    if (!allocatePassBuffers(buffers, width, height)) {
        wsq::diagnostic("ERROR : wsq_decompose : malloc : fdata1\n");
        return -94;
    }
    // Each node: its rows, then the columns of the result, in place.
    for (const WaveletNode& node : tree) {
        if (node.dx <= 0 || node.dy <= 0)
            continue;
        float* region = fdata + static_cast<std::ptrdiff_t>(node.y) * width + node.x;
        analyzeNode(region, node, width, hifilt, hisize, lofilt, losize, buffers);
    }
    return 0;
}

int wsq_reconstruct(float* fdata, int width, int height,
                    std::span<const WaveletNode, kWaveletNodeCount> tree,
                    std::span<const float> lofilt, std::span<const float> hifilt)
{
    if (lofilt.empty()) {
        wsq::diagnostic("ERROR: wsq_reconstruct : Lopass filter coefficients not defined\n");
        return -95;
    }
    if (hifilt.empty()) {
        wsq::diagnostic("ERROR: wsq_reconstruct : Hipass filter coefficients not defined\n");
        return -96;
    }
    const int losize = static_cast<int>(lofilt.size());
    const int hisize = static_cast<int>(hifilt.size());
    const bool pairOk = (losize % 2 == hisize % 2) && (losize % 2 == 0 || losize % 4 != hisize % 4);
    if (!pairOk) {
        wsq::diagnostic(
                     "ERROR: wsq_reconstruct : filter lengths %d and %d are not a wavelet pair\n",
                     losize, hisize);
        return kWsqErrorFilterPair;
    }
    PassBuffers buffers;
    if (!allocatePassBuffers(buffers, width, height)) {
        wsq::diagnostic("ERROR : wsq_reconstruct : malloc : fdata1\n");
        return -97;
    }
    // Nodes in reverse: the columns of each, then the rows of the result, in place.
    for (int i = kWaveletNodeCount - 1; i >= 0; --i) {
        const WaveletNode& node = tree[i];
        if (node.dx <= 0 || node.dy <= 0)
            continue;
        float* region = fdata + static_cast<std::ptrdiff_t>(node.y) * width + node.x;
        synthesizeNode(region, node, width, hifilt.data(), hisize, lofilt.data(), losize, buffers);
    }
    return 0;
}
