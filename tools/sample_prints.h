#pragma once
// The fourteen prints of the bundled sample transactions: the ten rolled
// fingers, the plain thumbs and the plain four-finger slaps, in typical
// card-box sizes at 500 ppi, with the WSQ settings they are encoded at.
#include <cstdint>
#include <span>
#include <vector>

namespace tools {

inline constexpr float kSampleBitRate = 0.75f;
inline constexpr int kSamplePpi = 500;
inline constexpr std::uint8_t kSampleBackground = 238;

struct SampleFinger {
    int position;  // finger position 1 to 14
    int width, height;
    bool rolled;
};

std::span<const SampleFinger> sampleFingers();

// The gray pixels of one print, top row first; the four-finger slaps are four
// prints side by side, fingertips staggered like a hand laid flat.
std::vector<std::uint8_t> samplePrint(const SampleFinger& finger, std::uint32_t seed);

}  // namespace tools
