#pragma once
// Fingerprint-like test images: ridges following a smooth orientation field
// around a core, with a ridge period that varies across the print, inside an
// elliptical contact area on a light background, plus a little noise. The
// same size and seed always give the same pixels.
#include <cstdint>
#include <vector>

namespace tools {

// width x height gray bytes, row-major, top row first. Dark ridges, light
// valleys and background.
std::vector<std::uint8_t> makeSyntheticFingerprint(int width, int height, std::uint32_t seed);

}  // namespace tools
