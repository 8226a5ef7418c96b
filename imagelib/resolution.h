#pragma once
// The resolution a picture file states, in pixels per inch, and the unit
// conversions the formats' fields need. A matcher scales a print by this
// number, so "the file does not say" stays distinct from every value.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace imagelib {

struct Resolution {
    std::optional<double> horizontal;  // pixels per inch; empty when not stated
    std::optional<double> vertical;
    bool known() const { return horizontal.has_value() || vertical.has_value(); }
    bool operator==(const Resolution&) const = default;
};

// Both axes the same value.
Resolution uniformResolution(double ppi);

// Pixels per metre of a ppi, rounded; 0 for an unknown or unusable value.
std::uint32_t pixelsPerMetre(std::optional<double> ppi);
// The ppi of a pixels-per-metre field; empty for 0. A field a writer made from
// a whole ppi (39370 from 1000) gives that whole ppi back.
std::optional<double> ppiFromPixelsPerMetre(std::uint32_t perMetre);
// A ppi rounded to a whole number in [1, max]; empty for an unknown or
// non-positive value.
std::optional<std::uint32_t> wholePpi(std::optional<double> ppi, std::uint32_t max);

// The resolution a PNG file's pHYs chunk states (unit metre only).
Resolution pngResolution(const std::uint8_t* bytes, std::size_t size);
// The resolution of a Photoshop file's resolution resource (1005).
Resolution psdResolution(const std::uint8_t* bytes, std::size_t size);

// The resolution stated by a PNG, TIFF or Photoshop file, told by its first
// bytes; an empty Resolution for any other file or one that cannot be read.
Resolution ReadImageResolution(const std::string& fileName);

}  // namespace imagelib
