#pragma once
// Nearest-neighbour stretch of a 24-bit bitmap into a 32-bit top-down pixel
// buffer: rows and columns are repeated or dropped, never blended, so a zoom
// step costs one pass over the displayed pixels whatever the source size.
#include <cstddef>
#include <cstdint>

#include "platform/bitmap.h"

namespace viewer {

// Fills width x height pixels of dest (0xFFRRGGBB, rows top to bottom, each
// destStride pixels apart) from the whole of source, which must be 24-bit.
// Nothing is written when either side is empty.
void stretch24ToRgb32(const platform::Bitmap& source, int width, int height, std::uint32_t* dest,
                      std::size_t destStride);

}  // namespace viewer
