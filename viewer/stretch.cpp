#include "viewer/stretch.h"

#include <vector>

namespace viewer {

void stretch24ToRgb32(const platform::Bitmap& source, int width, int height, std::uint32_t* dest,
                      std::size_t destStride)
{
    if (source.empty() || source.bitsPerPixel() != 24 || width <= 0 || height <= 0)
        return;
    const std::int64_t sw = source.width();
    const std::int64_t sh = source.height();
    // Byte offset of the source pixel for every destination column.
    std::vector<std::size_t> columnOffset(static_cast<std::size_t>(width));
    for (std::int64_t x = 0; x < width; ++x)
        columnOffset[static_cast<std::size_t>(x)] = static_cast<std::size_t>(x * sw / width) * 3;
    for (std::int64_t y = 0; y < height; ++y) {
        const int sourceTopRow = static_cast<int>(y * sh / height);
        const std::uint8_t* in = source.topRow(sourceTopRow);
        std::uint32_t* out = dest + static_cast<std::size_t>(y) * destStride;
        for (std::size_t x = 0; x < columnOffset.size(); ++x) {
            const std::uint8_t* p = in + columnOffset[x];
            out[x] = 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
        }
    }
}

}  // namespace viewer
