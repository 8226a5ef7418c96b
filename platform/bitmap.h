#pragma once
// The program's bitmap: a device-independent raster with the layout the image
// file library, the finger map and the clipboard agree on.
//   - rows are stored bottom-up: row 0 is the bottom row of the picture;
//   - every row is padded to a multiple of 4 bytes;
//   - 1, 4, 8, 16, 24 or 32 bits per pixel; 1 and 4 bit pixels packed from the
//     most significant bit, 16-bit pixels 5-5-5 little-endian, 24-bit B,G,R,
//     32-bit B,G,R,A;
//   - depths up to 8 carry a palette of blue, green, red, reserved entries.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

struct RgbQuad {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
    bool operator==(const RgbQuad&) const = default;
};

class Bitmap {
public:
    Bitmap() = default;
    // Zero-filled pixels; depths up to 8 get a zeroed palette of 2^depth
    // entries. Throws std::invalid_argument for an unsupported depth or a
    // negative size, std::length_error when the raster cannot be addressed.
    Bitmap(int width, int height, int bitsPerPixel);

    static bool isSupportedDepth(int bitsPerPixel);
    // Bytes per row for the given width and depth, padded to 4 bytes.
    static std::size_t strideFor(int width, int bitsPerPixel);

    bool empty() const { return width_ == 0 || height_ == 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    int bitsPerPixel() const { return bitsPerPixel_; }
    std::size_t stride() const { return stride_; }

    // Row y counted from the bottom of the picture.
    std::uint8_t* row(int y) { return bits_.data() + static_cast<std::size_t>(y) * stride_; }
    const std::uint8_t* row(int y) const { return bits_.data() + static_cast<std::size_t>(y) * stride_; }
    // Row y counted from the top of the picture.
    std::uint8_t* topRow(int y) { return row(height_ - 1 - y); }
    const std::uint8_t* topRow(int y) const { return row(height_ - 1 - y); }

    std::vector<std::uint8_t>& bits() { return bits_; }
    const std::vector<std::uint8_t>& bits() const { return bits_; }
    std::vector<RgbQuad>& palette() { return palette_; }
    const std::vector<RgbQuad>& palette() const { return palette_; }

    bool operator==(const Bitmap&) const = default;

private:
    int width_ = 0;
    int height_ = 0;
    int bitsPerPixel_ = 0;
    std::size_t stride_ = 0;
    std::vector<std::uint8_t> bits_;
    std::vector<RgbQuad> palette_;
};

}  // namespace platform
