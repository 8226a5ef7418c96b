#pragma once
// One- and two-dimensional wavelet filter banks of the WSQ transform, with
// symmetric extension at the line ends. Lines of at least 6 samples are
// inverted exactly (to float rounding); shorter lines are handled safely but
// are outside what the transform supports.
#include <span>

#include "wsq/errors.h"
#include "wsq/trees.h"

namespace wsq {

// Transforms `lines` lines of `length` samples from src into the same lines of
// dst: the ceil(length/2) lowpass values followed by the floor(length/2)
// highpass values, or the highpass half first when `inverted` is set. Both
// filters must have an odd number of taps.
void analyze_lines(float* dst, const float* src, int lines, int length, int lineStride,
                   int sampleStride, const float* hifilt, int hisize, const float* lofilt,
                   int losize, bool inverted);

// Inverse of analyze_lines with the synthesis filters; both filter lengths odd
// or both even.
void synthesize_lines(float* dst, const float* src, int lines, int length, int lineStride,
                      int sampleStride, const float* hifilt, int hisize, const float* lofilt,
                      int losize, bool inverted);

// Forward transform in place over the 20 nodes; 0, or -94 when its working
// lines cannot be allocated.
int wsq_decompose(float* fdata, int width, int height,
                  std::span<const WaveletNode, kWaveletNodeCount> tree, const float* hifilt,
                  int hisize, const float* lofilt, int losize);

// Inverse transform in place with the synthesis filters of a transform table;
// an empty span means the stream defined no such filter. 0, -95 (no lowpass),
// -96 (no highpass), -97 (no memory for its working lines) or kWsqErrorFilterPair.
int wsq_reconstruct(float* fdata, int width, int height,
                    std::span<const WaveletNode, kWaveletNodeCount> tree,
                    std::span<const float> lofilt, std::span<const float> hifilt);

// A synthesis pair whose lengths have different parity, or two odd lengths
// equal modulo 4, is no wavelet pair: the inverse transform is undefined for it.
inline constexpr int kWsqErrorFilterPair = WSQ_ERR_FILTER_PAIR;

}  // namespace wsq
