#include "platform/bitmap.h"

#include <limits>
#include <stdexcept>

namespace platform {

bool Bitmap::isSupportedDepth(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

std::size_t Bitmap::strideFor(int width, int bitsPerPixel)
{
    const std::size_t bitsPerRow = static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel);
    return (bitsPerRow + 31) / 32 * 4;
}

Bitmap::Bitmap(int width, int height, int bitsPerPixel)
{
    if (!isSupportedDepth(bitsPerPixel))
        throw std::invalid_argument("unsupported bitmap depth");
    if (width < 0 || height < 0)
        throw std::invalid_argument("negative bitmap size");
    const std::size_t stride = strideFor(width, bitsPerPixel);
    if (height != 0 && stride > std::numeric_limits<std::size_t>::max() / static_cast<std::size_t>(height))
        throw std::length_error("bitmap too large");
    width_ = width;
    height_ = height;
    bitsPerPixel_ = bitsPerPixel;
    stride_ = stride;
    bits_.assign(stride * static_cast<std::size_t>(height), 0);
    if (bitsPerPixel <= 8)
        palette_.assign(std::size_t{1} << bitsPerPixel, RgbQuad{});
}

}  // namespace platform
