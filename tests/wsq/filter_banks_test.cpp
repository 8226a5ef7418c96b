#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "wsq/analysis_filters.h"
#include "wsq/filter_banks.h"
#include "wsq/trees.h"

using namespace wsq;

namespace {

// The synthesis pair as a decoder derives it from the analysis pair: the
// synthesis highpass is the analysis lowpass with alternating signs about its
// centre, the synthesis lowpass the analysis highpass likewise.
struct SynthesisPair {
    std::vector<float> lo, hi;
};

std::vector<float> alternate(const float* taps, int n)
{
    std::vector<float> out(taps, taps + n);
    const int c = n / 2;
    for (int i = 0; i < n; ++i)
        if ((i - c) % 2 != 0)
            out[i] = -out[i];
    return out;
}

SynthesisPair synthesisPair()
{
    return {alternate(kAnalysisHighpass.data(), kAnalysisHighpassTaps),
            alternate(kAnalysisLowpass.data(), kAnalysisLowpassTaps)};
}

std::vector<float> randomSamples(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-100.0f, 100.0f);
    std::vector<float> v(n);
    for (float& f : v)
        f = dist(rng);
    return v;
}

}  // namespace

TEST(FilterBanks, LineRoundTripForEveryLengthAndOrder)
{
    const SynthesisPair syn = synthesisPair();
    for (int n = 6; n <= 40; ++n) {
        for (bool inv : {false, true}) {
            const std::vector<float> x = randomSamples(n, n);
            std::vector<float> coeffs(n), back(n);
            analyze_lines(coeffs.data(), x.data(), 1, n, n, 1, kAnalysisHighpass.data(),
                          kAnalysisHighpassTaps, kAnalysisLowpass.data(), kAnalysisLowpassTaps, inv);
            synthesize_lines(back.data(), coeffs.data(), 1, n, n, 1, syn.hi.data(),
                             static_cast<int>(syn.hi.size()), syn.lo.data(),
                             static_cast<int>(syn.lo.size()), inv);
            for (int i = 0; i < n; ++i)
                ASSERT_NEAR(back[i], x[i], 2e-4f) << "n=" << n << " inv=" << inv << " i=" << i;
        }
    }
}

TEST(FilterBanks, InversionFlagPutsTheHighpassHalfFirst)
{
    const std::vector<float> x = randomSamples(7, 3);
    std::vector<float> normal(7), inverted(7);
    const auto run = [&](std::vector<float>& out, bool inv) {
        analyze_lines(out.data(), x.data(), 1, 7, 7, 1, kAnalysisHighpass.data(), kAnalysisHighpassTaps,
                      kAnalysisLowpass.data(), kAnalysisLowpassTaps, inv);
    };
    run(normal, false);
    run(inverted, true);
    // 4 lowpass then 3 highpass, or the 3 highpass first.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(inverted[i], normal[4 + i]);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(inverted[3 + i], normal[i]);
    // A constant line has no detail: highpass 0, lowpass the constant scaled by the DC gain.
    std::vector<float> flat(7, 10.0f), out(7);
    analyze_lines(out.data(), flat.data(), 1, 7, 7, 1, kAnalysisHighpass.data(), kAnalysisHighpassTaps,
                  kAnalysisLowpass.data(), kAnalysisLowpassTaps, false);
    for (int i = 4; i < 7; ++i)
        EXPECT_NEAR(out[i], 0.0f, 1e-5f);
    EXPECT_NEAR(out[0], out[3], 1e-5f);
}

// Rows and columns go through different loops (columns several at a time):
// both must give the same numbers as transforming each line alone.
TEST(FilterBanks, ColumnBatchesMatchSingleLines)
{
    const int w = 37, h = 23;
    const std::vector<float> img = randomSamples(static_cast<size_t>(w) * h, 11);
    std::vector<float> batched(img.size()), single(img.size());
    analyze_lines(batched.data(), img.data(), w, h, 1, w, kAnalysisHighpass.data(), kAnalysisHighpassTaps,
                  kAnalysisLowpass.data(), kAnalysisLowpassTaps, true);
    for (int c = 0; c < w; ++c)
        analyze_lines(single.data() + c, img.data() + c, 1, h, 1, w, kAnalysisHighpass.data(),
                      kAnalysisHighpassTaps, kAnalysisLowpass.data(), kAnalysisLowpassTaps, true);
    EXPECT_EQ(batched, single);

    const SynthesisPair syn = synthesisPair();
    synthesize_lines(batched.data(), img.data(), w, h, 1, w, syn.hi.data(), 9, syn.lo.data(), 7, false);
    for (int c = 0; c < w; ++c)
        synthesize_lines(single.data() + c, img.data() + c, 1, h, 1, w, syn.hi.data(), 9, syn.lo.data(),
                         7, false);
    EXPECT_EQ(batched, single);
}

// A line whose samples lie next to each other takes a faster path (outputs
// summed side by side, ends apart) than one whose samples are spread out; the
// two must agree to the last bit, for odd and even lengths, both orders, and
// for an even-length synthesis pair too.
TEST(FilterBanks, ContiguousLinesMatchSpreadLines)
{
    const SynthesisPair syn = synthesisPair();
    const std::vector<float> lo4{0.1f, 0.4f, 0.4f, 0.1f}, hi4{-0.1f, 0.4f, -0.4f, 0.1f};
    constexpr int kSpread = 3;
    for (int n = 6; n <= 70; ++n) {
        for (bool inv : {false, true}) {
            const std::vector<float> x = randomSamples(n, 100 + n);
            std::vector<float> spread(static_cast<size_t>(n) * kSpread, 0.0f);
            for (int i = 0; i < n; ++i)
                spread[static_cast<size_t>(i) * kSpread] = x[i];
            std::vector<float> a(n), b(static_cast<size_t>(n) * kSpread);
            const auto pick = [&](const std::vector<float>& v) {
                std::vector<float> out(n);
                for (int i = 0; i < n; ++i)
                    out[i] = v[static_cast<size_t>(i) * kSpread];
                return out;
            };
            analyze_lines(a.data(), x.data(), 1, n, n, 1, kAnalysisHighpass.data(), kAnalysisHighpassTaps,
                          kAnalysisLowpass.data(), kAnalysisLowpassTaps, inv);
            analyze_lines(b.data(), spread.data(), 1, n, 1, kSpread, kAnalysisHighpass.data(),
                          kAnalysisHighpassTaps, kAnalysisLowpass.data(), kAnalysisLowpassTaps, inv);
            ASSERT_EQ(a, pick(b)) << "analysis n=" << n << " inv=" << inv;
            synthesize_lines(a.data(), x.data(), 1, n, n, 1, syn.hi.data(), 9, syn.lo.data(), 7, inv);
            synthesize_lines(b.data(), spread.data(), 1, n, 1, kSpread, syn.hi.data(), 9, syn.lo.data(), 7, inv);
            ASSERT_EQ(a, pick(b)) << "synthesis n=" << n << " inv=" << inv;
            synthesize_lines(a.data(), x.data(), 1, n, n, 1, hi4.data(), 4, lo4.data(), 4, inv);
            synthesize_lines(b.data(), spread.data(), 1, n, 1, kSpread, hi4.data(), 4, lo4.data(), 4, inv);
            ASSERT_EQ(a, pick(b)) << "even synthesis n=" << n << " inv=" << inv;
        }
    }
}

TEST(FilterBanks, DecomposeThenReconstructIsNearIdentity)
{
    const SynthesisPair syn = synthesisPair();
    const int sizes[][2] = {{81, 81}, {501, 403}, {128, 97}};
    for (const auto& sz : sizes) {
        const int w = sz[0], h = sz[1];
        const WaveletTrees trees = build_trees(w, h);
        const std::vector<float> original = randomSamples(static_cast<size_t>(w) * h, w + h);
        std::vector<float> img = original;
        ASSERT_EQ(wsq_decompose(img.data(), w, h, trees.nodes, kAnalysisHighpass.data(),
                                kAnalysisHighpassTaps, kAnalysisLowpass.data(), kAnalysisLowpassTaps),
                  0);
        // The transform concentrates a smooth image into the lowest subband;
        // here it at least must have changed the data.
        EXPECT_NE(img, original);
        ASSERT_EQ(wsq_reconstruct(img.data(), w, h, trees.nodes, syn.lo, syn.hi), 0);
        double maxErr = 0;
        for (size_t i = 0; i < img.size(); ++i)
            maxErr = std::max(maxErr, std::fabs(double(img[i]) - original[i]));
        EXPECT_LT(maxErr, 2e-3) << w << "x" << h;
    }
}

TEST(FilterBanks, ReconstructRefusesMissingOrMismatchedFilters)
{
    const WaveletTrees trees = build_trees(81, 81);
    std::vector<float> img(81 * 81, 1.0f);
    const SynthesisPair syn = synthesisPair();
    const std::vector<float> eight(8, 0.1f), five(5, 0.1f);
    struct Case {
        std::span<const float> lo, hi;
        int code;
    };
    const Case cases[] = {
        {{}, syn.hi, -95},
        {syn.lo, {}, -96},
        {{}, {}, -95},
        {syn.lo, eight, kWsqErrorFilterPair},   // odd with even
        {five, syn.hi, kWsqErrorFilterPair},    // 5 and 9 taps: equal modulo 4
    };
    testing::internal::CaptureStderr();
    for (const Case& c : cases) {
        std::vector<float> copy = img;
        EXPECT_EQ(wsq_reconstruct(copy.data(), 81, 81, trees.nodes, c.lo, c.hi), c.code);
        EXPECT_EQ(copy, img);
    }
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ERROR: wsq_reconstruct : Lopass filter coefficients not defined\n"), std::string::npos);
    EXPECT_NE(err.find("ERROR: wsq_reconstruct : Hipass filter coefficients not defined\n"), std::string::npos);
}

// Even-length filter pairs (a DTT may carry them) and lines far shorter than
// the filters must stay inside the buffers; the sanitizer build checks that.
TEST(FilterBanks, ShortLinesAndEvenFiltersStayInBounds)
{
    const std::vector<float> lo4{0.1f, 0.4f, 0.4f, 0.1f}, hi4{-0.1f, 0.4f, -0.4f, 0.1f};
    const std::vector<float> longFilter(255, 0.01f);
    for (int n = 1; n <= 12; ++n) {
        const std::vector<float> x = randomSamples(n, n);
        std::vector<float> y(n);
        for (bool inv : {false, true}) {
            synthesize_lines(y.data(), x.data(), 1, n, n, 1, hi4.data(), 4, lo4.data(), 4, inv);
            synthesize_lines(y.data(), x.data(), 1, n, n, 1, longFilter.data(), 255, longFilter.data(),
                             253, inv);
            analyze_lines(y.data(), x.data(), 1, n, n, 1, kAnalysisHighpass.data(), kAnalysisHighpassTaps,
                          kAnalysisLowpass.data(), kAnalysisLowpassTaps, inv);
            for (float f : y)
                EXPECT_TRUE(std::isfinite(f));
        }
    }
}
