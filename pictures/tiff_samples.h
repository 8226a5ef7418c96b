#pragma once
// Reading the samples of a TIFF picture as libtiff decodes them (strips or
// tiles, contiguous or planar, 1 to 16 bits) and turning them into a bitmap:
// gray (min-is-black or min-is-white), palette, RGB and CMYK, with straight or
// associated alpha. The rows are as stored; the caller applies the orientation.
#include <tiffio.h>

#include <optional>
#include <string>

#include "platform/bitmap.h"

namespace pictures {

// Empty when the picture is of a kind these samples do not cover (YCbCr,
// old-style JPEG, Lab, floating-point samples, ...). Throws PictureFormatError
// with the format's texts when the data cannot be read.
std::optional<platform::Bitmap> readTiffSamples(TIFF* tif, const std::string& format);

}  // namespace pictures
