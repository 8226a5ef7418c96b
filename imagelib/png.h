#pragma once
// PNG files through libpng.
#include <string>

#include "imagelib/image_record.h"
#include "imagelib/resolution.h"

namespace imagelib {

// Reads a PNG file into record: gray and palette files keep their indices (2-bit
// samples widened to 4 bits), 16-bit samples keep their high byte, colour files
// become 24-bit B,G,R and files with alpha (or a palette with several
// transparency entries) 32-bit B,G,R,A.
int LoadPngFile(const std::string& fileName, ImageRecord* record);
// Writes record as a PNG file: a gray palette that maps each index to the same
// gray level as gray samples, other palettes as palette files, 16- and 24-bit
// records as RGB, 32-bit records as RGBA.
int SavePngFile(const std::string& fileName, const ImageRecord& record);
// The same with a pHYs chunk (pixels per metre) when both axes are known.
int SavePngFile(const std::string& fileName, const ImageRecord& record, const Resolution& resolution);

}  // namespace imagelib
