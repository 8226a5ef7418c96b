// Every optimised kernel of the codec against its plain scalar reference, on
// random inputs, at every vector width the machine can run: the results must
// be identical bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "stream_builder.h"
#include "wsq/analysis_filters.h"
#include "wsq/decoder.h"
#include "wsq/diagnostics.h"
#include "wsq/filter_banks.h"
#include "wsq/huffman_decode.h"
#include "wsq/quantization.h"
#include "wsq/reference.h"
#include "wsq/simd.h"
#include "wsq/trees.h"

using namespace wsq;

using namespace wsqtest;

namespace {

std::vector<wsq::simd::Level> levels()
{
    std::vector<wsq::simd::Level> out;
    const wsq::simd::Level original = wsq::simd::level();
    for (wsq::simd::Level l : {wsq::simd::Level::Sse2, wsq::simd::Level::Avx})
        if (wsq::simd::setLevel(l))
            out.push_back(l);
    wsq::simd::setLevel(original);
    return out;
}

// Restores the default level when a test ends, passed or failed.
struct LevelGuard {
    wsq::simd::Level saved = wsq::simd::level();
    ~LevelGuard() { wsq::simd::setLevel(saved); }
};

const char* levelName(wsq::simd::Level l) { return l == wsq::simd::Level::Avx ? "avx" : "sse2"; }

bool sameBits(const std::vector<float>& a, const std::vector<float>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

std::vector<float> randomFloats(std::size_t n, std::mt19937& rng, float range = 200.0f)
{
    std::uniform_real_distribution<float> dist(-range, range);
    std::vector<float> v(n);
    for (float& f : v)
        f = dist(rng);
    return v;
}

struct FilterPair {
    const char* name;
    std::vector<float> hi, lo;
    bool synthesisOnly;
};

// The encoder's analysis pair, the decoder's synthesis pair made from it, and
// random pairs of both parities (odd lengths differing by 2 mod 4; even ones).
std::vector<FilterPair> filterPairs(std::mt19937& rng)
{
    std::vector<FilterPair> pairs;
    pairs.push_back({"analysis 9/7", {kAnalysisHighpass.begin(), kAnalysisHighpass.end()},
                     {kAnalysisLowpass.begin(), kAnalysisLowpass.end()}, false});
    auto alternate = [](std::vector<float> taps) {
        const int c = static_cast<int>(taps.size()) / 2;
        for (int i = 0; i < static_cast<int>(taps.size()); ++i)
            if ((i - c) % 2 != 0)
                taps[static_cast<std::size_t>(i)] = -taps[static_cast<std::size_t>(i)];
        return taps;
    };
    pairs.push_back({"synthesis 9/7", alternate({kAnalysisLowpass.begin(), kAnalysisLowpass.end()}),
                     alternate({kAnalysisHighpass.begin(), kAnalysisHighpass.end()}), true});
    pairs.push_back({"random odd 5/3", randomFloats(5, rng, 1.0f), randomFloats(3, rng, 1.0f), false});
    pairs.push_back({"random even 4/6", randomFloats(4, rng, 1.0f), randomFloats(6, rng, 1.0f), true});
    return pairs;
}

using LineFn = void (*)(float*, const float*, int, int, int, int, const float*, int, const float*, int, bool);

struct LineCase {
    int lines, n, lineStride, sampleStride;
    bool inv;
};

// Runs the reference once and the fast function at every level on the same
// lines and layout.
void compareLines(LineFn fast, LineFn ref, const FilterPair& f, const LineCase& c, std::mt19937& rng,
                  const std::string& what)
{
    const std::size_t size =
        static_cast<std::size_t>((c.lines - 1) * c.lineStride + (c.n - 1) * c.sampleStride + 1);
    const std::vector<float> src = randomFloats(size, rng);
    std::vector<float> want(size, -7.0f);
    const int hs = static_cast<int>(f.hi.size()), ls = static_cast<int>(f.lo.size());
    ref(want.data(), src.data(), c.lines, c.n, c.lineStride, c.sampleStride, f.hi.data(), hs, f.lo.data(), ls,
        c.inv);
    for (wsq::simd::Level level : levels()) {
        wsq::simd::setLevel(level);
        std::vector<float> got(size, -7.0f);
        fast(got.data(), src.data(), c.lines, c.n, c.lineStride, c.sampleStride, f.hi.data(), hs, f.lo.data(), ls,
             c.inv);
        ASSERT_TRUE(sameBits(got, want)) << what << " " << f.name << " " << levelName(level) << " n=" << c.n
                                         << " lines=" << c.lines << " inv=" << c.inv;
    }
}

}  // namespace

TEST(Kernels, FilterBanksMatchTheReferenceForEveryLength)
{
    LevelGuard guard;
    std::mt19937 rng(7);
    for (const FilterPair& f : filterPairs(rng)) {
        for (int n = 1; n <= 2000; ++n) {
            for (bool inv : {false, true}) {
                // One contiguous line (the row pass: every length), and lines
                // side by side (the column pass) in numbers that reach every
                // vector tail; its term lists are those of the row pass, so
                // longer lines are sampled.
                std::vector<LineCase> cases{{1, n, n, 1, inv}};
                if (n <= 300 || n % 37 == 0)
                    cases.push_back({n <= 64 ? 45 : 13, n, 1, n <= 64 ? 45 : 13, inv});
                for (const LineCase& c : cases) {
                    const char* what = c.lines == 1 ? "rows" : "columns";
                    if (!f.synthesisOnly)
                        compareLines(analyze_lines, wsq::reference::analyze_lines, f, c, rng, what);
                    compareLines(synthesize_lines, wsq::reference::synthesize_lines, f, c, rng, what);
                    if (HasFatalFailure())
                        return;
                }
            }
        }
        // Any other layout.
        compareLines(synthesize_lines, wsq::reference::synthesize_lines, f, {3, 77, 2, 7, true}, rng, "strided");
        if (!f.synthesisOnly)
            compareLines(analyze_lines, wsq::reference::analyze_lines, f, {3, 77, 2, 7, false}, rng, "strided");
    }
}

TEST(Kernels, WholeTransformsMatchTheReference)
{
    LevelGuard guard;
    std::mt19937 rng(11);
    const std::vector<float> synHi = {0.0378284566f, 0.023849465f, -0.110624403f, -0.377402842f, 0.852698684f,
                                      -0.377402842f, -0.110624403f, 0.023849465f, 0.0378284566f};
    const std::vector<float> synLo = {-0.0645388812f, -0.0406894162f, 0.418092281f, 0.788485587f,
                                      0.418092281f, -0.0406894162f, -0.0645388812f};
    for (wsq::simd::Level level : levels()) {
        wsq::simd::setLevel(level);
        for (const auto& [w, h] : {std::pair{81, 81}, {301, 257}, {640, 97}, {333, 480}}) {
            const WaveletTrees trees = build_trees(w, h);
            const std::vector<float> image = randomFloats(static_cast<std::size_t>(w) * h, rng);
            std::vector<float> got = image, want = image;
            ASSERT_EQ(wsq_decompose(got.data(), w, h, trees.nodes, kAnalysisHighpass.data(), kAnalysisHighpassTaps,
                                    kAnalysisLowpass.data(), kAnalysisLowpassTaps),
                      0);
            wsq::reference::wsq_decompose(want.data(), w, h, trees.nodes, kAnalysisHighpass.data(),
                                          kAnalysisHighpassTaps, kAnalysisLowpass.data(), kAnalysisLowpassTaps);
            EXPECT_TRUE(sameBits(got, want)) << levelName(level) << " decompose " << w << "x" << h;
            got = image;
            want = image;
            ASSERT_EQ(wsq_reconstruct(got.data(), w, h, trees.nodes, synLo, synHi), 0);
            wsq::reference::wsq_reconstruct(want.data(), w, h, trees.nodes, synLo, synHi);
            EXPECT_TRUE(sameBits(got, want)) << levelName(level) << " reconstruct " << w << "x" << h;
        }
    }
}

TEST(Kernels, UnquantizeMatchesTheReference)
{
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        const int w = 81 + static_cast<int>(rng() % 300), h = 81 + static_cast<int>(rng() % 300);
        const WaveletTrees trees = build_trees(w, h);
        QuantTable dqt;
        dqt.defined = true;
        dqt.center = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
        std::uniform_real_distribution<float> width(0.01f, 30.0f);
        for (int s = 0; s < MAX_SUBBANDS; ++s) {
            dqt.q[s] = rng() % 7 == 0 ? 0.0f : width(rng);
            dqt.z[s] = 1.2f * dqt.q[s];
        }
        // Mostly zeros, runs of small values and some extremes.
        std::vector<short> sip(static_cast<std::size_t>(w) * h);
        for (short& v : sip) {
            const unsigned r = rng() % 16;
            v = r < 9 ? 0 : r < 15 ? static_cast<short>(static_cast<int>(rng() % 41) - 20)
                                   : static_cast<short>(rng());
        }
        std::vector<float> got;
        ASSERT_EQ(unquantize(&got, sip.data(), dqt, trees, w, h), 0);
        std::vector<float> want(got.size(), 0.0f);
        wsq::reference::unquantize(want.data(), sip.data(), dqt, trees, w);
        ASSERT_TRUE(sameBits(got, want)) << w << "x" << h;
    }
}

TEST(Kernels, FloatToByteAndQuantizeMatchTheReference)
{
    std::mt19937 rng(5);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int round = 0; round < 200; ++round) {
        const std::size_t n = 1 + rng() % 300;
        std::vector<float> in = randomFloats(n, rng, round % 2 ? 200.0f : 3.0e4f);
        const float specials[] = {nan, inf, -inf, 0.0f, -0.0f, 254.5f, 255.0f, -0.5f, 1e30f, -1e30f};
        for (std::size_t i = 0; i < n; i += 1 + rng() % 9)
            in[i] = specials[rng() % std::size(specials)];

        const float shift = std::uniform_real_distribution<float>(0.0f, 255.0f)(rng);
        const float scale = std::uniform_real_distribution<float>(0.01f, 3.0f)(rng);
        std::vector<unsigned char> gotBytes(n, 1), wantBytes(n, 2);
        convert_image_to_uchar(gotBytes.data(), in.data(), n, shift, scale);
        wsq::reference::convert_image_to_uchar(wantBytes.data(), in.data(), n, shift, scale);
        ASSERT_EQ(gotBytes, wantBytes) << "round " << round;

        const float q = std::uniform_real_distribution<float>(1e-3f, 20.0f)(rng);
        const float zHalf = 0.6f * q;
        for (std::size_t i = 0; i < n; i += 1 + rng() % 13)
            in[i] = rng() % 2 ? zHalf : -zHalf;  // exactly on the zero bin's edge
        std::vector<std::int16_t> gotIdx(n, 1);
        wsq::simd::quantizeRow(gotIdx.data(), in.data(), static_cast<int>(n), q, zHalf);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(gotIdx[i], wsq::reference::quantizeCoefficient(in[i], q, zHalf))
                << "x=" << in[i] << " q=" << q << " round " << round;
    }
}

TEST(Kernels, WindowSumsMatchThePlainLoopForEveryLength)
{
    std::mt19937 rng(17);
    const int stride = 2003;
    for (int cols = 1; cols <= 2000; ++cols) {
        // Up to four windows of different widths and heights, as the
        // subbands of one group have.
        const int lanes = 1 + cols % wsq::simd::kWindowLanes;
        std::vector<float> image = randomFloats(static_cast<std::size_t>(stride) * 4, rng, cols % 3 ? 200.0f : 1e4f);
        std::vector<wsq::simd::Window> windows;
        for (int k = 0; k < lanes; ++k) {
            const int w = k == 0 ? cols : 1 + static_cast<int>(rng() % static_cast<unsigned>(cols));
            const int h = 1 + static_cast<int>(rng() % 3);
            const int x = static_cast<int>(rng() % static_cast<unsigned>(stride - w + 1));
            windows.push_back({image.data() + (4 - h) * stride + x, w, h});
        }
        float sums[wsq::simd::kWindowLanes], squares[wsq::simd::kWindowLanes];
        wsq::simd::windowSums(windows.data(), lanes, stride, sums, squares);
        for (int k = 0; k < lanes; ++k) {
            float wantSum, wantSquares;
            wsq::reference::windowSums(windows[k].first, windows[k].cols, windows[k].rows, stride, wantSum,
                                       wantSquares);
            ASSERT_EQ(std::memcmp(&sums[k], &wantSum, sizeof(float)), 0) << "cols=" << cols << " lane " << k;
            ASSERT_EQ(std::memcmp(&squares[k], &wantSquares, sizeof(float)), 0) << "cols=" << cols << " lane " << k;
        }
    }
}

TEST(Kernels, SubbandVariancesMatchTheReference)
{
    std::mt19937 rng(19);
    for (const auto& [w, h] : {std::pair{81, 81}, {800, 750}, {333, 97}, {1001, 517}, {94, 1500}}) {
        const WaveletTrees trees = build_trees(w, h);
        const std::vector<float> image = randomFloats(static_cast<std::size_t>(w) * h, rng, 300.0f);
        QuantValues got{}, want{};
        got.variance.fill(-1.0f);
        subband_variances(got, trees, image.data(), w);
        wsq::reference::subband_variances(want, trees, image.data(), w);
        ASSERT_EQ(std::memcmp(got.variance.data(), want.variance.data(), sizeof(float) * got.variance.size()), 0)
            << w << "x" << h;
    }
}

TEST(Kernels, MaximumMagnitudeAndZeroRunsMatchTheReferenceForEveryLength)
{
    std::mt19937 rng(23);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float specials[] = {nan, -0.0f, 0.0f, std::numeric_limits<float>::infinity(), -1e30f};
    for (int n = 1; n <= 2000; ++n) {
        std::vector<float> in = randomFloats(static_cast<std::size_t>(n), rng, 500.0f);
        if (n % 3 == 0)
            in[rng() % in.size()] = specials[rng() % std::size(specials)];
        const float got = wsq::simd::maxMagnitude(in.data(), n);
        const float want = wsq::reference::maxMagnitude(in.data(), n);
        ASSERT_EQ(std::memcmp(&got, &want, sizeof(float)), 0) << "n=" << n;

        // Zeros up to a random point (or the end), then anything.
        std::vector<std::int16_t> indices(static_cast<std::size_t>(n), 0);
        for (std::size_t i = rng() % (indices.size() + 1); i < indices.size(); ++i)
            indices[i] = static_cast<std::int16_t>(rng() % 3 == 0 ? 0 : rng());
        ASSERT_EQ(wsq::simd::leadingZeros(indices.data(), n), wsq::reference::leadingZeros(indices.data(), n))
            << "n=" << n;
    }
}

TEST(Kernels, DeinterleaveAndPixelStatisticsMatchTheReferenceForEveryLength)
{
    std::mt19937 rng(29);
    for (int n = 1; n <= 2000; ++n) {
        const std::vector<float> in = randomFloats(static_cast<std::size_t>(n), rng);
        const int m = (n + 1) / 2, p = n / 2;
        std::vector<float> got(static_cast<std::size_t>(n) + 1, -7.0f), want = got;
        wsq::simd::deinterleave(got.data(), got.data() + m, in.data(), m, p);
        wsq::reference::deinterleave(want.data(), want.data() + m, in.data(), m, p);
        ASSERT_TRUE(sameBits(got, want)) << "n=" << n;

        // Narrow ranges too, so that the extremes are not simply 0 and 255.
        const int base = static_cast<int>(rng() % 200);
        const int span = n % 2 ? 56 : 256 - base;
        std::vector<unsigned char> pixels(static_cast<std::size_t>(n));
        for (unsigned char& px : pixels)
            px = static_cast<unsigned char>(base + static_cast<int>(rng() % static_cast<unsigned>(span)));
        std::uint64_t gotSum = 1, wantSum = 2;
        int gotLow = -1, gotHigh = -1, wantLow = -2, wantHigh = -2;
        wsq::simd::pixelStats(pixels.data(), pixels.size(), gotSum, gotLow, gotHigh);
        wsq::reference::pixelStats(pixels.data(), pixels.size(), wantSum, wantLow, wantHigh);
        ASSERT_EQ(gotSum, wantSum) << "n=" << n;
        ASSERT_EQ(gotLow, wantLow) << "n=" << n;
        ASSERT_EQ(gotHigh, wantHigh) << "n=" << n;
    }
}

namespace {

// A random table: sometimes a proper code, sometimes counts no proper code
// has (over-full, or with all-1 codes), values from the whole symbol range.
Table randomTable(int id, std::mt19937& rng)
{
    Table t{id, std::vector<int>(16, 0), {}};
    const int kind = static_cast<int>(rng() % 3);
    int total = 0;
    for (int len = 0; len < 16; ++len) {
        int count = kind == 0 ? static_cast<int>(rng() % (2u << (len < 8 ? len : 7))) % (len < 3 ? 2 : 40)
                              : static_cast<int>(rng() % 6);
        if (total + count > 200)
            count = 0;
        t.bits[static_cast<std::size_t>(len)] = count;
        total += count;
    }
    const int common[] = {1, 2, 3, 5, 10, 100, 101, 102, 103, 104, 105, 106, 170, 179, 180, 181, 190, 254};
    for (int i = 0; i < total; ++i)
        t.values.push_back(rng() % 4 == 0 ? static_cast<int>(rng() % 256) : common[rng() % std::size(common)]);
    return t;
}

Bytes randomBlockData(std::mt19937& rng)
{
    Bytes out;
    const std::size_t n = rng() % 400;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned char b = static_cast<unsigned char>(rng());
        out.push_back(b);
        if (b == 0xFF)
            out.push_back(rng() % 50 == 0 ? static_cast<unsigned char>(rng()) : 0x00);
    }
    return out;
}

struct HuffRun {
    int code;
    std::vector<short> out;
    std::ptrdiff_t consumed;
    std::string messages;
};

template <typename Fn>
HuffRun runHuffman(Fn fn, const Bytes& stream, std::size_t capacity)
{
    HuffRun r;
    r.out.assign(capacity, 0x5A5A);
    TransformTable dtt;
    QuantTable dqt;
    HuffSlots dht;
    const unsigned char* p = stream.data();
    wsq::DiagnosticCapture capture;
    r.code = fn(r.out.data(), capacity, &dtt, &dqt, &dht, &p, stream.data() + stream.size());
    r.consumed = r.code == 0 ? p - stream.data() : -1;  // on failure the cursor is not part of the contract
    r.messages = capture.text();
    return r;
}

}  // namespace

TEST(Kernels, HuffmanDecodingMatchesTheBitByBitReference)
{
    std::mt19937 rng(13);
    int succeeded = 0;
    for (int round = 0; round < 3000; ++round) {
        const Table t0 = randomTable(0, rng);
        const Table t1 = rng() % 2 ? fullTable(1) : randomTable(1, rng);
        Bytes stream = dhtSegment({t0, t1});
        append(stream, sobSegment(0));
        // Either symbols the tables really code or random bytes.
        const bool coded = rng() % 2 == 0;
        const auto block = [&](const Table& t) {
            if (!coded || t.values.empty())
                return randomBlockData(rng);
            std::vector<Symbol> symbols;
            for (int i = 0, n = static_cast<int>(rng() % 200); i < n; ++i) {
                const int cat = t.values[rng() % t.values.size()];
                const int extraBits = (cat == 101 || cat == 102 || cat == 105) ? 8
                                      : (cat >= 103 && cat <= 106)             ? 16
                                                                               : 0;
                symbols.push_back({cat, static_cast<unsigned>(rng()) & ((1u << extraBits) - 1u), extraBits});
            }
            return codeBlock(t, symbols);
        };
        append(stream, block(t0));
        append(stream, sobSegment(1));
        append(stream, block(t1));
        if (rng() % 4 != 0)
            append(stream, Bytes{0xFF, 0xA1});
        if (rng() % 5 == 0)
            stream.resize(stream.size() - rng() % (stream.size() / 2 + 1));
        const std::size_t capacity = rng() % 3 == 0 ? rng() % 50 : 5000;
        const HuffRun got = runHuffman(
            [](auto... a) { return huffman_decode_data_mem(a...); }, stream, capacity);
        const HuffRun want = runHuffman(wsq::reference::huffman_decode_data_mem, stream, capacity);
        ASSERT_EQ(got.code, want.code) << "round " << round << ": " << want.messages;
        ASSERT_EQ(got.messages, want.messages) << "round " << round;
        ASSERT_EQ(got.out, want.out) << "round " << round;
        ASSERT_EQ(got.consumed, want.consumed) << "round " << round;
        succeeded += got.code == 0;
    }
    // Both outcomes must be exercised.
    EXPECT_GT(succeeded, 100);
    EXPECT_LT(succeeded, 2900);
}
