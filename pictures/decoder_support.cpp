#include "pictures/decoder_support.h"

#include <algorithm>

#include "imagelib/limits.h"

namespace pictures {

void failInvalidFormat(const std::string& format)
{
    throw PictureFormatError("Cannot load image. Invalid or unexpected " + format + " image format.");
}

void failColorFormat(const std::string& format)
{
    throw PictureFormatError("Invalid color format in " + format + " file.");
}

void failStreamRead(const std::string& format)
{
    throw PictureFormatError("Stream read error in " + format + " file.");
}

void failNotSupported(const std::string& what, const std::string& format)
{
    throw PictureFormatError("Cannot load image. " + what + " not supported for " + format + " files.");
}

void failCompression(const std::string& format)
{
    throw PictureFormatError("Cannot load image. Compression error found in " + format + " file.");
}

void failPalette(const std::string& format)
{
    throw PictureFormatError("Cannot load image. Palette in " + format + " file is invalid.");
}

void failLz77()
{
    throw PictureFormatError("LZ77 decompression error.");
}

bool fitsImageLimit(std::uint64_t pixels, std::uint64_t bytesPerPixel)
{
    const std::uint64_t limit = imagelib::imageLimits().maxImageBytes;
    return bytesPerPixel == 0 || pixels <= limit / bytesPerPixel;
}

platform::Bitmap makeBitmap(std::int64_t width, std::int64_t height, int bitsPerPixel, const std::string& format)
{
    if (width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        failInvalidFormat(format);
    const std::uint64_t pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    if (pixels > kMaxPicturePixels || !fitsImageLimit(pixels, (static_cast<std::uint64_t>(bitsPerPixel) + 7) / 8))
        failInvalidFormat(format);
    return platform::Bitmap(static_cast<int>(width), static_cast<int>(height), bitsPerPixel);
}

void setGrayPalette(platform::Bitmap& bitmap, int count)
{
    auto& palette = bitmap.palette();
    const int n = std::min<int>(count, static_cast<int>(palette.size()));
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<std::uint8_t>(n > 1 ? i * 255 / (n - 1) : 0);
        palette[i] = {v, v, v, 0};
    }
}

platform::Bitmap applyOrientation(const platform::Bitmap& source, int orientation)
{
    if (orientation < 2 || orientation > 8 || source.empty() || source.bitsPerPixel() < 8)
        return source;
    const int w = source.width(), h = source.height();
    const bool swap = orientation >= 5;
    platform::Bitmap out(swap ? h : w, swap ? w : h, source.bitsPerPixel());
    out.palette() = source.palette();
    const std::size_t bpp = static_cast<std::size_t>(source.bitsPerPixel() / 8);
    // Destination (x, y) from the top left; the source pixel it shows.
    for (int y = 0; y < out.height(); ++y) {
        std::uint8_t* dst = out.topRow(y);
        for (int x = 0; x < out.width(); ++x) {
            int sx = 0, sy = 0;
            switch (orientation) {
            case 2: sx = w - 1 - x; sy = y; break;
            case 3: sx = w - 1 - x; sy = h - 1 - y; break;
            case 4: sx = x; sy = h - 1 - y; break;
            case 5: sx = y; sy = x; break;
            case 6: sx = y; sy = h - 1 - x; break;
            case 7: sx = w - 1 - y; sy = h - 1 - x; break;
            case 8: sx = w - 1 - y; sy = x; break;
            }
            std::memcpy(dst + x * bpp, source.topRow(sy) + sx * bpp, bpp);
        }
    }
    return out;
}

}  // namespace pictures
