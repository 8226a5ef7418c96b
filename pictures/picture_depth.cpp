#include "pictures/picture_depth.h"

#include "pictures/picture_io.h"

namespace pictures {

namespace {

unsigned paletteIndex(const std::uint8_t* row, int x, int depth)
{
    const int perByte = 8 / depth;
    const unsigned shift = static_cast<unsigned>(8 - depth * (x % perByte + 1));
    return (row[x / perByte] >> shift) & ((1u << depth) - 1);
}

}  // namespace

bool isIdentityGray(const platform::Bitmap& picture)
{
    if (picture.bitsPerPixel() != 8)
        return false;
    const auto& palette = picture.palette();
    for (std::size_t i = 0; i < palette.size(); ++i)
        if (palette[i].red != i || palette[i].green != i || palette[i].blue != i)
            return false;
    return palette.size() == 256;
}

bool hasGrayPalette(const platform::Bitmap& picture)
{
    if (picture.bitsPerPixel() > 8 || picture.palette().empty())
        return false;
    for (const platform::RgbQuad& c : picture.palette())
        if (c.red != c.green || c.green != c.blue)
            return false;
    return true;
}

platform::Bitmap toIdentityGray(const platform::Bitmap& picture)
{
    if (picture.empty())
        return {};
    platform::Bitmap gray(picture.width(), picture.height(), 8);
    for (int i = 0; i < 256; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        gray.palette()[static_cast<std::size_t>(i)] = {level, level, level, 0};
    }
    const int depth = picture.bitsPerPixel();
    const auto& palette = picture.palette();
    for (int y = 0; y < picture.height(); ++y) {
        const std::uint8_t* in = picture.row(y);
        std::uint8_t* out = gray.row(y);
        for (int x = 0; x < picture.width(); ++x) {
            if (depth <= 8) {
                const unsigned index = paletteIndex(in, x, depth);
                out[x] = index < palette.size() ? palette[index].blue : 0;
            } else {
                out[x] = in[static_cast<std::size_t>(x) * static_cast<std::size_t>(depth / 8)];
            }
        }
    }
    return gray;
}

bool saveFormatHoldsAlpha(int filterIndex)
{
    // TIFF, PNG, Targa and SGI; BMP, JPEG and WSQ have no alpha.
    return filterIndex == 3 || filterIndex == 4 || filterIndex == 6 || filterIndex == 7;
}

platform::Bitmap pictureForSave(const platform::Bitmap& picture, int filterIndex)
{
    if (picture.bitsPerPixel() == 24 || isIdentityGray(picture))
        return picture;
    if (picture.bitsPerPixel() == 32 && saveFormatHoldsAlpha(filterIndex))
        return picture;
    if (hasGrayPalette(picture))
        return toIdentityGray(picture);
    return convertTo24Bit(picture);
}

}  // namespace pictures
