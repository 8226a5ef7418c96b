#include "pictures/tiff_samples.h"

#include <algorithm>
#include <array>
#include <vector>

#include "imagelib/image_record.h"
#include "imagelib/limits.h"
#include "pictures/decoder_support.h"

namespace pictures {

namespace {

struct SampleLayout {
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, planar = PLANARCONFIG_CONTIG, photometric = 0;
    int colours = 1;      // colour samples per pixel
    bool alpha = false;   // the first extra sample is alpha
    bool associated = false;
    std::uint32_t max() const { return (1u << bits) - 1; }
};

std::optional<SampleLayout> layoutOf(TIFF* tif)
{
    SampleLayout l;
    std::uint16_t format = SAMPLEFORMAT_UINT, compression = COMPRESSION_NONE, inkSet = INKSET_CMYK, extraCount = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_INKSET, &inkSet);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l.photometric))
        l.photometric = l.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    if (format != SAMPLEFORMAT_UINT || l.bits < 1 || l.bits > 16 || compression == COMPRESSION_OJPEG)
        return std::nullopt;
    switch (l.photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK:
    case PHOTOMETRIC_PALETTE: l.colours = 1; break;
    case PHOTOMETRIC_RGB: l.colours = 3; break;
    case PHOTOMETRIC_SEPARATED:
        if (inkSet != INKSET_CMYK)
            return std::nullopt;
        l.colours = 4;
        break;
    default: return std::nullopt;
    }
    if (l.samples < l.colours)
        return std::nullopt;
    // Extra samples the file does not describe: the first of them beyond the
    // colours is still taken as alpha when the scheme has exactly one more.
    const bool described = extraCount > 0;
    const std::uint16_t kind = described ? extra[0] : EXTRASAMPLE_UNSPECIFIED;
    l.alpha = l.samples > l.colours &&
              (kind == EXTRASAMPLE_ASSOCALPHA || kind == EXTRASAMPLE_UNASSALPHA ||
               (!described && l.samples == l.colours + 1 && l.colours == 3));
    l.associated = l.alpha && kind == EXTRASAMPLE_ASSOCALPHA;
    return l;
}

// Sample k of a row of packed values, most significant bit first; 16-bit
// values are already in the machine's order.
std::uint32_t sampleAt(const std::uint8_t* row, std::size_t k, int bits)
{
    if (bits == 8)
        return row[k];
    if (bits == 16) {
        std::uint16_t v;
        std::memcpy(&v, row + 2 * k, 2);
        return v;
    }
    std::uint32_t v = 0;
    std::size_t bit = k * bits;
    for (int i = 0; i < bits; ++i, ++bit)
        v = v << 1 | ((row[bit / 8] >> (7 - bit % 8)) & 1u);
    return v;
}

// Every sample of the picture, pixel by pixel, rows from the top as stored.
class SampleGrid {
public:
    SampleGrid(const SampleLayout& l) : l_(l), values_(std::size_t(l.width) * l.height * l.samples) {}
    std::uint16_t at(std::uint32_t x, std::uint32_t y, int s) const
    {
        return values_[(std::size_t(y) * l_.width + x) * l_.samples + s];
    }
    // A decoded block (strip or tile) of rows rowBytes apart, placed at (x0, y0);
    // plane is the sample of a planar block, -1 for all samples.
    void place(const std::uint8_t* block, std::size_t rowBytes, std::uint32_t x0, std::uint32_t y0,
               std::uint32_t blockWidth, std::uint32_t blockHeight, int plane)
    {
        const int perPixel = plane < 0 ? l_.samples : 1;
        for (std::uint32_t y = 0; y < blockHeight && y0 + y < l_.height; ++y) {
            const std::uint8_t* row = block + y * rowBytes;
            for (std::uint32_t x = 0; x < blockWidth && x0 + x < l_.width; ++x)
                for (int s = 0; s < perPixel; ++s)
                    values_[(std::size_t(y0 + y) * l_.width + x0 + x) * l_.samples + (plane < 0 ? s : plane)] =
                        static_cast<std::uint16_t>(sampleAt(row, std::size_t(x) * perPixel + s, l_.bits));
        }
    }

private:
    SampleLayout l_;
    std::vector<std::uint16_t> values_;
};

void readBlocks(TIFF* tif, const SampleLayout& l, SampleGrid& grid, const std::string& format)
{
    const bool planar = l.planar == PLANARCONFIG_SEPARATE;
    const int planes = planar ? l.samples : 1;
    const bool tiled = TIFFIsTiled(tif);
    std::uint32_t blockWidth = l.width, blockHeight = 0;
    if (tiled) {
        TIFFGetField(tif, TIFFTAG_TILEWIDTH, &blockWidth);
        TIFFGetField(tif, TIFFTAG_TILELENGTH, &blockHeight);
    } else {
        TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &blockHeight);
        blockHeight = std::min(blockHeight, l.height);
    }
    if (blockWidth == 0 || blockHeight == 0)
        failInvalidFormat(format);
    const std::size_t rowBytes = tiled ? static_cast<std::size_t>(TIFFTileRowSize64(tif))
                                       : static_cast<std::size_t>(TIFFScanlineSize64(tif));
    const std::uint64_t blockBytes = std::uint64_t(rowBytes) * blockHeight;
    if (rowBytes == 0 || blockBytes > imagelib::imageLimits().maxImageBytes)
        failInvalidFormat(format);
    std::vector<std::uint8_t> block(static_cast<std::size_t>(blockBytes));
    for (int p = 0; p < planes; ++p)
        for (std::uint32_t y = 0; y < l.height; y += blockHeight)
            for (std::uint32_t x = 0; x < l.width; x += blockWidth) {
                const auto plane = static_cast<std::uint16_t>(p);
                const tmsize_t got = tiled ? TIFFReadEncodedTile(tif, TIFFComputeTile(tif, x, y, 0, plane),
                                                                 block.data(), static_cast<tmsize_t>(blockBytes))
                                           : TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, y, plane),
                                                                  block.data(), static_cast<tmsize_t>(blockBytes));
                if (got < 0)
                    failCompression(format);
                grid.place(block.data(), rowBytes, x, y, blockWidth, blockHeight, planar ? p : -1);
            }
}

std::uint8_t to8(std::uint32_t v, std::uint32_t max)
{
    return static_cast<std::uint8_t>((std::min(v, max) * 255u + max / 2) / max);
}

// The colour map in 8-bit levels; maps whose values all stay below 256 were
// written with 8-bit levels.
std::vector<std::array<std::uint8_t, 3>> colourMap(TIFF* tif, const SampleLayout& l, const std::string& format)
{
    std::uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b))
        failPalette(format);
    const std::size_t n = std::size_t{1} << l.bits;
    std::uint16_t top = 0;
    for (std::size_t i = 0; i < n; ++i)
        top = std::max({top, r[i], g[i], b[i]});
    const std::uint32_t max = top < 256 ? 255 : 65535;
    std::vector<std::array<std::uint8_t, 3>> map(n);
    for (std::size_t i = 0; i < n; ++i)
        map[i] = {to8(r[i], max), to8(g[i], max), to8(b[i], max)};
    return map;
}

// Samples into B,G,R(,A) pixels, at the samples' own precision until the end.
platform::Bitmap toBitmap(TIFF* tif, const SampleLayout& l, const SampleGrid& grid, const std::string& format)
{
    const std::uint32_t max = l.max();
    const bool gray = l.photometric == PHOTOMETRIC_MINISBLACK || l.photometric == PHOTOMETRIC_MINISWHITE;
    const bool palette = l.photometric == PHOTOMETRIC_PALETTE;
    std::vector<std::array<std::uint8_t, 3>> map;
    if (palette)
        map = colourMap(tif, l, format);
    // Gray and small palettes without alpha keep one byte a pixel.
    if (!l.alpha && ((gray && l.bits <= 8) || (palette && l.bits <= 8))) {
        platform::Bitmap bitmap = makeBitmap(l.width, l.height, 8, format);
        if (gray)
            setGrayPalette(bitmap, static_cast<int>(max) + 1);
        for (std::size_t i = 0; palette && i < map.size(); ++i)
            bitmap.palette()[i] = {map[i][2], map[i][1], map[i][0], 0};
        const bool invert = l.photometric == PHOTOMETRIC_MINISWHITE;
        for (std::uint32_t y = 0; y < l.height; ++y) {
            std::uint8_t* out = bitmap.topRow(static_cast<int>(y));
            for (std::uint32_t x = 0; x < l.width; ++x)
                out[x] = static_cast<std::uint8_t>(invert ? max - grid.at(x, y, 0) : grid.at(x, y, 0));
        }
        return bitmap;
    }
    platform::Bitmap bitmap = makeBitmap(l.width, l.height, l.alpha ? 32 : 24, format);
    const std::size_t step = l.alpha ? 4 : 3;
    for (std::uint32_t y = 0; y < l.height; ++y) {
        std::uint8_t* out = bitmap.topRow(static_cast<int>(y));
        for (std::uint32_t x = 0; x < l.width; ++x, out += step) {
            const std::uint32_t a = l.alpha ? grid.at(x, y, l.colours) : max;
            // Associated alpha: the colour times alpha is divided out again.
            const auto straight = [&](std::uint32_t c) {
                return l.associated && a > 0 ? std::min(max, (c * max + a / 2) / a) : c;
            };
            std::array<std::uint8_t, 3> rgb{};
            if (palette) {
                rgb = map[grid.at(x, y, 0)];
            } else if (gray) {
                const std::uint32_t v = straight(grid.at(x, y, 0));
                const auto g = to8(l.photometric == PHOTOMETRIC_MINISWHITE ? max - v : v, max);
                rgb = {g, g, g};
            } else if (l.colours == 3) {
                for (int c = 0; c < 3; ++c)
                    rgb[c] = to8(straight(grid.at(x, y, c)), max);
            } else {
                const std::uint32_t k = max - straight(grid.at(x, y, 3));
                for (int c = 0; c < 3; ++c)
                    rgb[c] = to8((max - straight(grid.at(x, y, c))) * k / max, max);
            }
            out[0] = rgb[2], out[1] = rgb[1], out[2] = rgb[0];
            if (l.alpha)
                out[3] = to8(a, max);
        }
    }
    return bitmap;
}

}  // namespace

std::optional<platform::Bitmap> readTiffSamples(TIFF* tif, const std::string& format)
{
    const std::optional<SampleLayout> l = layoutOf(tif);
    if (!l)
        return std::nullopt;
    if (l->width == 0 || l->height == 0 ||
        std::uint64_t(l->width) * l->height * l->samples * 2 > imagelib::imageLimits().maxImageBytes)
        failInvalidFormat(format);
    SampleGrid grid(*l);
    readBlocks(tif, *l, grid, format);
    return toBitmap(tif, *l, grid, format);
}

}  // namespace pictures
