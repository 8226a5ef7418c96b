#pragma once
// The fixed WSQ decomposition: the 20 regions split by the transform (the
// wavelet tree) and the 64 rectangles of the fully decomposed image (the
// subband table). Encoder and decoder must build them identically from the
// image size alone.
#include <array>

namespace wsq {

inline constexpr int kWaveletNodeCount = 20;
inline constexpr int kSubbandCount = 64;
// Subbands 60-63 (the quarters of the bottom-right quadrant) are never coded.
inline constexpr int kCodedSubbandCount = 60;
// Smallest width or height the transform supports: below it some node of the
// tree is shorter than the 6 samples the filter banks need.
inline constexpr int kMinWsqImageSide = 81;

// The coded subbands travel in three entropy-coded blocks.
inline constexpr int kBlockCount = 3;
inline constexpr std::array<int, kBlockCount + 1> kBlockFirstSubband{0, 19, 52, 60};

struct WaveletNode {
    int x = 0;
    int y = 0;
    int dx = 0;  // width
    int dy = 0;  // height
    bool ir = false;  // row transform stores the highpass half first
    bool ic = false;  // column transform stores the highpass half first
};

// Held in int rather than 16 bits: a 65535-pixel frame puts subbands at
// x = 32768, which a 16-bit field would wrap.
struct Subband {
    int x = 0;
    int y = 0;
    int lx = 0;  // width
    int ly = 0;  // height
};

struct WaveletTrees {
    std::array<WaveletNode, kWaveletNodeCount> nodes{};
    std::array<Subband, kSubbandCount> subbands{};
};

// Pure computation for any size; sizes below kMinWsqImageSide give degenerate
// (possibly empty) regions that callers must refuse before transforming.
WaveletTrees build_trees(int width, int height);

// True when both sides are large enough for the transform.
inline bool wsqImageSizeSupported(int width, int height)
{
    return width >= kMinWsqImageSide && height >= kMinWsqImageSide;
}

}  // namespace wsq
