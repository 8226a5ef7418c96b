#pragma once
// The contract every picture class of the registry keeps: a class recognises
// its format from the file's bytes, reads the picture's properties without
// decoding the pixels, and loads the picture into a platform bitmap.
//
// A class that cannot read the bytes throws PictureFormatError with one of the
// registry's fixed texts ("Cannot load image. Invalid or unexpected %s image
// format.", ...), already formatted; the front ends show it as they show any
// top-level error.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "imagelib/resolution.h"
#include "platform/bitmap.h"

namespace pictures {

using Bytes = std::span<const std::uint8_t>;

class PictureFormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Pixels per inch as the file states them; empty when the file does not say.
using Resolution = imagelib::Resolution;

struct PictureProperties {
    int width = 0;
    int height = 0;
    int bitsPerSample = 0;
    int samplesPerPixel = 0;
    std::string colorScheme;  // "gray", "indexed", "RGB", "RGBA", "CMYK", "YCbCr", ...
    std::string compression;  // "none", "RLE", "LZW", ... as the format names it
};

struct LoadedPicture {
    // Any depth the platform bitmap supports; 32 bits hold straight (not
    // premultiplied) alpha in the fourth byte.
    platform::Bitmap bitmap;
    Resolution resolution;
    // What was read but could not be shown faithfully (records skipped, a
    // layer left out, ...); empty for a faithful picture.
    std::vector<std::string> problems;
};

class PictureClass {
public:
    virtual ~PictureClass() = default;
    // The class name the registry reports ("TPSDGraphic").
    virtual std::string className() const = 0;
    // True when the bytes start like a file of this class's format.
    virtual bool canLoad(Bytes bytes) const = 0;
    // Throws PictureFormatError when the bytes do not hold the format.
    virtual PictureProperties readProperties(Bytes bytes) const = 0;
    // Throws PictureFormatError when the picture cannot be read. sourceName is
    // the file the bytes came from (empty when none), for formats that keep a
    // companion file beside the picture (a Dr. Halo palette).
    virtual LoadedPicture load(Bytes bytes, const std::string& sourceName) const = 0;
};

}  // namespace pictures
