#pragma once
// The encoder's analysis filter pair (the FBI 9/7 biorthogonal wavelet), as
// 32-bit floats. Both filters are symmetric about their centre tap.
#include <array>

namespace wsq {

inline constexpr int kAnalysisLowpassTaps = 9;
inline constexpr int kAnalysisHighpassTaps = 7;

inline constexpr std::array<float, kAnalysisLowpassTaps> kAnalysisLowpass{
    0.0378284566f, -0.023849465f, -0.110624403f, 0.377402842f, 0.852698684f,
    0.377402842f,  -0.110624403f, -0.023849465f, 0.0378284566f};

inline constexpr std::array<float, kAnalysisHighpassTaps> kAnalysisHighpass{
    0.0645388812f, -0.0406894162f, -0.418092281f, 0.788485587f,
    -0.418092281f, -0.0406894162f, 0.0645388812f};

}  // namespace wsq
