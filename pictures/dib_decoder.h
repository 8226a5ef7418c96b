#pragma once
// Device-independent bitmaps as Windows stores them in BMP files, icons and
// metafile records: OS/2 1.x and 2.x headers, the 40-byte header and its V2 to
// V5 successors, top-down rows, RLE4/RLE8 (and the OS/2 RLE24), bit-field
// masks of any width, short palettes. The result is a 24-bit bitmap, or a
// 32-bit one with straight alpha when the picture has transparent pixels.
#include <cstdint>
#include <string>
#include <vector>

#include "pictures/picture_class.h"
#include "platform/bitmap.h"

namespace pictures {

struct DibDecoded {
    platform::Bitmap bitmap;  // 24 or 32 bits per pixel
    std::vector<std::string> problems;
    int sourceBitsPerPixel = 0;
};

struct DibLayout {
    std::size_t headerAt = 0;  // offset of the info header in data
    // Offset of the pixel bits in data; 0: right after the colour table.
    std::uint64_t bitsAt = 0;
    // An icon image: the header's height counts the colour rows and the 1-bit
    // AND mask that follows them.
    bool icon = false;
};

struct DibInfo {
    std::int64_t width = 0;
    std::int64_t height = 0;  // rows of the picture (an icon's mask not counted)
    bool topDown = false;
    int bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 0;
    bool os2 = false;
    std::string compressionName;  // "none", "RLE8", "RLE4", "RLE24", "bit fields", ...
    double xPelsPerMeter = 0;
    double yPelsPerMeter = 0;
};

// The header's fields; throws PictureFormatError (texts of format) for a header
// that is not one.
DibInfo readDibInfo(Bytes data, std::size_t headerAt, bool icon, const std::string& format);
DibDecoded decodeDib(Bytes data, const DibLayout& layout, const std::string& format);

}  // namespace pictures
