#include "viewer/bitmap_depth.h"

#include <cstdint>

namespace viewer {

namespace {

// Palette index of pixel x in a row of 1, 4 or 8 bits per pixel (packed from
// the most significant bit).
unsigned paletteIndex(const std::uint8_t* row, int x, int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return (row[x / 8] >> (7 - x % 8)) & 1u;
    case 4:
        return (row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0x0Fu;
    default:
        return row[x];
    }
}

// 5-bit channel to 8 bits, spreading the top bits into the low ones so that
// 31 becomes 255.
std::uint8_t widen5(unsigned v)
{
    return static_cast<std::uint8_t>((v << 3) | (v >> 2));
}

void convertRow(const platform::Bitmap& source, int y, std::uint8_t* out)
{
    const std::uint8_t* in = source.row(y);
    const int width = source.width();
    const auto& palette = source.palette();
    for (int x = 0; x < width; ++x, out += 3) {
        switch (source.bitsPerPixel()) {
        case 16: {
            const unsigned v = in[2 * x] | (in[2 * x + 1] << 8);
            out[0] = widen5(v & 0x1F);
            out[1] = widen5((v >> 5) & 0x1F);
            out[2] = widen5((v >> 10) & 0x1F);
            break;
        }
        case 24:
            out[0] = in[3 * x];
            out[1] = in[3 * x + 1];
            out[2] = in[3 * x + 2];
            break;
        case 32:
            out[0] = in[4 * x];
            out[1] = in[4 * x + 1];
            out[2] = in[4 * x + 2];
            break;
        default: {
            // An index past a short palette shows black rather than reading outside it.
            const unsigned index = paletteIndex(in, x, source.bitsPerPixel());
            const platform::RgbQuad entry = index < palette.size() ? palette[index] : platform::RgbQuad{};
            out[0] = entry.blue;
            out[1] = entry.green;
            out[2] = entry.red;
            break;
        }
        }
    }
}

}  // namespace

platform::Bitmap convertTo24Bit(const platform::Bitmap& source)
{
    if (source.bitsPerPixel() == 24 || source.bitsPerPixel() == 0)
        return source;
    platform::Bitmap result(source.width(), source.height(), 24);
    for (int y = 0; y < source.height(); ++y)
        convertRow(source, y, result.row(y));
    return result;
}

}  // namespace viewer
