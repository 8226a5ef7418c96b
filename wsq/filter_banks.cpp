#include "wsq/filter_banks.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <new>
#include <vector>

#include "wsq/diagnostics.h"
#include "wsq/simd.h"

namespace wsq {

namespace {

// Longest analysis filter the vector paths take (the encoder's are 9 and 7
// taps); longer ones go output by output.
constexpr int kMaxAnalysisTaps = 256;
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


// One output from its term list, the same sequence of operations as one lane
// of the vector kernels.
inline float applyTerms(const float* src, std::ptrdiff_t ss, const Terms& terms, int shift)
{
    float acc = 0.0f;
    for (int t = 0; t < terms.count; ++t)
        acc += terms.coef[t] * src[static_cast<std::ptrdiff_t>(terms.pos[t] + shift) * ss];
    return acc;
}

// Term list of output outN of a line (edge or interior), and the shift of its
// positions.
const Terms& outputTerms(const SynthesisPlan& plan, int outN, Terms& scratch, int& shift)
{
    if (outN >= plan.first && outN <= plan.last) {
        const int rel = outN - plan.first;
        shift = rel / 2;
        return plan.pattern[rel % 2];
    }
    shift = 0;
    return edgeTerms(plan, outN, scratch);
}

// The outputs of a pass over lines that lie side by side in memory (the
// column pass), each as offsets of the samples it weighs and their taps:
// worked out once, applied to every strip of lines.
struct AcrossPlan {
    std::vector<int> out;    // where each output goes, in samples along the line
    std::vector<int> start;  // its first term; one more entry closes the list
    std::vector<std::ptrdiff_t> offset;
    std::vector<float> coef;

    void clear()
    {
        out.clear();
        start.clear();
        offset.clear();
        coef.clear();
    }
    void add(int outN)
    {
        out.push_back(outN);
        start.push_back(static_cast<int>(offset.size()));
    }
    void term(std::ptrdiff_t off, float c)
    {
        offset.push_back(off);
        coef.push_back(c);
    }
};

void synthesisAcross(AcrossPlan& across, const SynthesisPlan& plan, int ss)
{
    across.clear();
    Terms scratch;
    for (int outN = 0; outN < plan.layout.n; ++outN) {
        int shift = 0;
        const Terms& terms = outputTerms(plan, outN, scratch, shift);
        across.add(outN);
        for (int t = 0; t < terms.count; ++t)
            across.term(static_cast<std::ptrdiff_t>(terms.pos[t] + shift) * ss, terms.coef[t]);
    }
    across.start.push_back(static_cast<int>(across.offset.size()));
}

void applyAcross(float* dst, int ds, const float* src, int lines, const AcrossPlan& across)
{
    for (std::size_t i = 0; i < across.out.size(); ++i) {
        const int first = across.start[i];
        wsq::simd::sumRows(dst + static_cast<std::ptrdiff_t>(across.out[i]) * ds, src, &across.offset[first],
                           &across.coef[first], across.start[i + 1] - first, lines);
    }
}

// One contiguous line (the row pass): the ends output by output, the
// interior outputs of each parity as runs, then interleaved.
void synthesizeContiguous(float* dst, const float* src, const SynthesisPlan& plan, std::vector<float>& work)
{
    Terms scratch;
    if (plan.first > plan.last) {
        for (int outN = 0; outN < plan.layout.n; ++outN)
            dst[outN] = applyTerms(src, 1, edgeTerms(plan, outN, scratch), 0);
        return;
    }
    for (int outN = 0; outN < plan.first; ++outN)
        dst[outN] = applyTerms(src, 1, edgeTerms(plan, outN, scratch), 0);
    for (int outN = plan.last + 1; outN < plan.layout.n; ++outN)
        dst[outN] = applyTerms(src, 1, edgeTerms(plan, outN, scratch), 0);
    const int evenCount = (plan.last - plan.first) / 2 + 1;
    const int oddCount = plan.last > plan.first ? (plan.last - plan.first - 1) / 2 + 1 : 0;
    work.resize(static_cast<std::size_t>(2 * evenCount));
    float* even = work.data();
    float* odd = even + evenCount;
    wsq::simd::sumRun(even, src, plan.pattern[0].pos, plan.pattern[0].coef, plan.pattern[0].count, evenCount);
    if (oddCount > 0)
        wsq::simd::sumRun(odd, src, plan.pattern[1].pos, plan.pattern[1].coef, plan.pattern[1].count, oddCount);
    wsq::simd::interleave(dst + plan.first, even, odd, evenCount, oddCount);
}

// Any other layout, output by output.
void synthesizeStrided(float* dst, const float* src, int ss, const SynthesisPlan& plan)
{
    Terms scratch;
    for (int outN = 0; outN < plan.layout.n; ++outN) {
        int shift = 0;
        const Terms& terms = outputTerms(plan, outN, scratch, shift);
        dst[static_cast<std::ptrdiff_t>(outN) * ss] = applyTerms(src, ss, terms, shift);
    }
}

// One half of the analysis: `count` outputs placed from `offset`, output k
// weighing samples 2k + firstCentre - (fsize - 1) / 2 + i with filt[i].
struct AnalysisHalf {
    const float* filt;
    int fsize;
    int firstCentre;
    int count;
    int offset;
};

void analysisHalves(AnalysisHalf halves[2], int n, const float* hifilt, int hisize, const float* lofilt,
                    int losize, bool inverted)
{
    const int m = (n + 1) / 2;
    const int p = n / 2;
    halves[0] = AnalysisHalf{lofilt, losize, 0, m, inverted ? p : 0};
    halves[1] = AnalysisHalf{hifilt, hisize, 1, p, inverted ? 0 : m};
}

inline float analyzeOne(const float* src, std::ptrdiff_t ss, int n, const AnalysisHalf& h, int k)
{
    const int base = 2 * k + h.firstCentre - (h.fsize - 1) / 2;
    float acc = 0.0f;
    for (int i = 0; i < h.fsize; ++i)
        acc += h.filt[i] * src[static_cast<std::ptrdiff_t>(reflectWhole(base + i, n)) * ss];
    return acc;
}

void analysisAcross(AcrossPlan& across, const AnalysisHalf halves[2], int n, int ss)
{
    across.clear();
    for (int half = 0; half < 2; ++half) {
        const AnalysisHalf& h = halves[half];
        for (int k = 0; k < h.count; ++k) {
            const int base = 2 * k + h.firstCentre - (h.fsize - 1) / 2;
            across.add(h.offset + k);
            for (int i = 0; i < h.fsize; ++i)
                across.term(static_cast<std::ptrdiff_t>(reflectWhole(base + i, n)) * ss, h.filt[i]);
        }
    }
    across.start.push_back(static_cast<int>(across.offset.size()));
}

// A contiguous line. Away from the ends the outputs read no extension, and
// with the line split into its even and odd samples (`split`: the m even
// ones, then the odd ones) output k + 1 reads the floats after those output
// k reads, so the interior is one run.
void analyzeContiguous(float* dst, const float* src, const float* split, int n, const AnalysisHalf& h)
{
    const int m = (n + 1) / 2;
    const int half = (h.fsize - 1) / 2;
    const int kLo = std::max(0, ceilDiv(half - h.firstCentre, 2));
    const int kHi = std::min(h.count - 1, floorDiv(n - h.fsize + half - h.firstCentre, 2));
    if (kLo > kHi) {
        for (int k = 0; k < h.count; ++k)
            dst[h.offset + k] = analyzeOne(src, 1, n, h, k);
        return;
    }
    int pos[kMaxAnalysisTaps];
    for (int i = 0; i < h.fsize; ++i) {
        const int d = h.firstCentre - half + i;  // sample 2k + d
        const int q = floorDiv(d, 2);
        pos[i] = (d - 2 * q == 0 ? 0 : m) + q + kLo;
    }
    for (int k = 0; k < kLo; ++k)
        dst[h.offset + k] = analyzeOne(src, 1, n, h, k);
    wsq::simd::sumRun(dst + h.offset + kLo, split, pos, h.filt, h.fsize, kHi - kLo + 1);
    for (int k = kHi + 1; k < h.count; ++k)
        dst[h.offset + k] = analyzeOne(src, 1, n, h, k);
}

}  // namespace

void analyze_lines(float* dst, const float* src, int lines, int length, int lineStride,
                   int sampleStride, const float* hifilt, int hisize, const float* lofilt,
                   int losize, bool inverted)
{
    if (length <= 0 || lines <= 0)
        return;
    AnalysisHalf halves[2];
    analysisHalves(halves, length, hifilt, hisize, lofilt, losize, inverted);
    const bool fits = hisize <= kMaxAnalysisTaps && losize <= kMaxAnalysisTaps;
    if (lineStride == 1 && lines > 1 && fits) {
        AcrossPlan across;
        analysisAcross(across, halves, length, sampleStride);
        applyAcross(dst, sampleStride, src, lines, across);
        return;
    }
    std::vector<float> split;
    if (sampleStride == 1 && fits)
        split.resize(static_cast<std::size_t>(length));
    const int m = (length + 1) / 2;
    const int p = length / 2;
    for (int line = 0; line < lines; ++line) {
        const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(line) * lineStride;
        if (sampleStride == 1 && fits) {
            wsq::simd::deinterleave(split.data(), split.data() + m, src + off, m, p);
            for (const AnalysisHalf& h : halves)
                analyzeContiguous(dst + off, src + off, split.data(), length, h);
            continue;
        }
        for (const AnalysisHalf& h : halves)
            for (int k = 0; k < h.count; ++k)
                dst[off + static_cast<std::ptrdiff_t>(h.offset + k) * sampleStride] =
                    analyzeOne(src + off, sampleStride, length, h, k);
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
    if (lineStride == 1 && lines > 1) {
        AcrossPlan across;
        synthesisAcross(across, plan, sampleStride);
        applyAcross(dst, sampleStride, src, lines, across);
        return;
    }
    std::vector<float> work;
    for (int line = 0; line < lines; ++line) {
        const std::ptrdiff_t off = static_cast<std::ptrdiff_t>(line) * lineStride;
        if (sampleStride == 1)
            synthesizeContiguous(dst + off, src + off, plan, work);
        else
            synthesizeStrided(dst + off, src + off, sampleStride, plan);
    }
}

namespace {

// Columns are transformed in strips of this many, through a strip buffer;
// rows through a line buffer. The work space stays in cache, and an
// image-sized scratch would cost fresh memory on every call.
constexpr int kStripWidth = 128;

struct PassBuffers {
    std::vector<float> line, split, strip, work;
    AcrossPlan across;
};

bool allocatePassBuffers(PassBuffers& b, int width, int height)
{
    try {
        b.line.resize(static_cast<std::size_t>(width));
        b.split.resize(static_cast<std::size_t>(width));
        b.work.reserve(static_cast<std::size_t>(width) + 2);
        b.strip.resize(static_cast<std::size_t>(kStripWidth) * static_cast<std::size_t>(height));
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

// Puts a strip of `lanes` columns of n samples (sample k of column g at
// strip[k * kStripWidth + g]) back into the image at `region`.
void storeStrip(float* region, int width, int n, const float* strip, int lanes)
{
    for (int k = 0; k < n; ++k)
        std::copy_n(strip + static_cast<std::ptrdiff_t>(k) * kStripWidth, lanes,
                    region + static_cast<std::ptrdiff_t>(k) * width);
}

void analyzeNode(float* region, const WaveletNode& node, int width, const float* hifilt, int hisize,
                 const float* lofilt, int losize, PassBuffers& b)
{
    AnalysisHalf halves[2];
    analysisHalves(halves, node.dx, hifilt, hisize, lofilt, losize, node.ir);
    const int m = (node.dx + 1) / 2;
    const int p = node.dx / 2;
    for (int r = 0; r < node.dy; ++r) {
        float* row = region + static_cast<std::ptrdiff_t>(r) * width;
        wsq::simd::deinterleave(b.split.data(), b.split.data() + m, row, m, p);
        for (const AnalysisHalf& h : halves)
            analyzeContiguous(b.line.data(), row, b.split.data(), node.dx, h);
        std::copy_n(b.line.data(), node.dx, row);
    }
    analysisHalves(halves, node.dy, hifilt, hisize, lofilt, losize, node.ic);
    analysisAcross(b.across, halves, node.dy, width);
    for (int c = 0; c < node.dx; c += kStripWidth) {
        const int lanes = std::min(kStripWidth, node.dx - c);
        applyAcross(b.strip.data(), kStripWidth, region + c, lanes, b.across);
        storeStrip(region + c, width, node.dy, b.strip.data(), lanes);
    }
}

void synthesizeNode(float* region, const WaveletNode& node, int width, const float* hifilt, int hisize,
                    const float* lofilt, int losize, PassBuffers& b)
{
    SynthesisPlan plan;
    makePlan(plan, node.dy, node.ic, hifilt, hisize, lofilt, losize);
    synthesisAcross(b.across, plan, width);
    for (int c = 0; c < node.dx; c += kStripWidth) {
        const int lanes = std::min(kStripWidth, node.dx - c);
        applyAcross(b.strip.data(), kStripWidth, region + c, lanes, b.across);
        storeStrip(region + c, width, node.dy, b.strip.data(), lanes);
    }
    makePlan(plan, node.dx, node.ir, hifilt, hisize, lofilt, losize);
    for (int r = 0; r < node.dy; ++r) {
        float* row = region + static_cast<std::ptrdiff_t>(r) * width;
        synthesizeContiguous(b.line.data(), row, plan, b.work);
        std::copy_n(b.line.data(), node.dx, row);
    }
}

}  // namespace

int wsq_decompose(float* fdata, int width, int height,
                  std::span<const WaveletNode, kWaveletNodeCount> tree, const float* hifilt,
                  int hisize, const float* lofilt, int losize)
{
    PassBuffers buffers;
    if (!allocatePassBuffers(buffers, width, height)) {
        wsq::diagnostic("ERROR : wsq_decompose : malloc : fdata1\n");
        return WSQ_ERR_DECOMPOSE_ALLOC;
    }
    if (hisize > kMaxAnalysisTaps || losize > kMaxAnalysisTaps) {
        // Not a filter pair this codec writes; the general path handles it.
        std::vector<float> scratch;
        try {
            scratch.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
        } catch (const std::bad_alloc&) {
            wsq::diagnostic("ERROR : wsq_decompose : malloc : fdata1\n");
            return WSQ_ERR_DECOMPOSE_ALLOC;
        }
        for (const WaveletNode& node : tree) {
            if (node.dx <= 0 || node.dy <= 0)
                continue;
            float* region = fdata + static_cast<std::ptrdiff_t>(node.y) * width + node.x;
            analyze_lines(scratch.data(), region, node.dy, node.dx, width, 1, hifilt, hisize, lofilt, losize,
                          node.ir);
            analyze_lines(region, scratch.data(), node.dx, node.dy, 1, width, hifilt, hisize, lofilt, losize,
                          node.ic);
        }
        return 0;
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
        return WSQ_ERR_NO_LOPASS;
    }
    if (hifilt.empty()) {
        wsq::diagnostic("ERROR: wsq_reconstruct : Hipass filter coefficients not defined\n");
        return WSQ_ERR_NO_HIPASS;
    }
    const int losize = static_cast<int>(lofilt.size());
    const int hisize = static_cast<int>(hifilt.size());
    const bool pairOk = (losize % 2 == hisize % 2) && (losize % 2 == 0 || losize % 4 != hisize % 4);
    if (!pairOk) {
        wsq::diagnostic("ERROR: wsq_reconstruct : filter lengths %d and %d are not a wavelet pair\n", losize,
                        hisize);
        return kWsqErrorFilterPair;
    }
    PassBuffers buffers;
    if (!allocatePassBuffers(buffers, width, height)) {
        wsq::diagnostic("ERROR : wsq_reconstruct : malloc : fdata1\n");
        return WSQ_ERR_RECONSTRUCT_ALLOC;
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

}  // namespace wsq
