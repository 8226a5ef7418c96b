// TTIFFGraphic: the layouts, depths, colour schemes and orientations real
// TIFF files use, each written here with libtiff from a sample pattern.
#include <gtest/gtest.h>
#include <tiffio.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>

#include "class_test_support.h"
#include "pictures/picture_classes.h"

using namespace picturetest;

namespace {

using Rgba = std::array<int, 4>;

struct TiffShape {
    int width = 6, height = 4;
    int bits = 8, samples = 1;
    std::uint16_t photometric = PHOTOMETRIC_MINISBLACK;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    int extra = -1;  // the extra sample's kind, -1 for none
    int orientation = 1;
    int tile = 0;  // tile edge, 0 for strips
    std::uint16_t compression = COMPRESSION_NONE;
    int ycbcrH = 0, ycbcrV = 0;  // subsampling of JPEG-compressed YCbCr
};

// Stored sample s of the pixel at (x, y) from the top left of the stored rows.
using Samples = std::function<unsigned(int x, int y, int s)>;

// Packs samples most significant bit first, each row (of a plane) from a byte
// boundary.
ByteVector packRow(const TiffShape& t, int width, int y, int firstSample, int count, const Samples& sample,
                   int x0 = 0)
{
    ByteVector row((static_cast<std::size_t>(width) * count * t.bits + 7) / 8, 0);
    std::size_t bit = 0;
    for (int x = x0; x < x0 + width; ++x)
        for (int s = firstSample; s < firstSample + count; ++s, bit += t.bits) {
            const unsigned v = x < t.width && y < t.height ? sample(x, y, s) : 0;
            if (t.bits == 16) {  // libtiff takes 16-bit samples in the machine's order
                const auto word = static_cast<std::uint16_t>(v);
                std::memcpy(row.data() + bit / 8, &word, 2);
                continue;
            }
            for (int b = t.bits - 1; b >= 0; --b) {
                const std::size_t at = bit + (t.bits - 1 - b);
                if ((v >> b) & 1)
                    row[at / 8] |= static_cast<std::uint8_t>(0x80 >> (at % 8));
            }
        }
    return row;
}

ByteVector readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return ByteVector(std::istreambuf_iterator<char>(in), {});
}

ByteVector tiffFile(const TiffShape& t, const Samples& sample, const std::vector<std::uint16_t>& colormap = {})
{
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("tiff_graphic_test_" + std::to_string(::getpid()) + ".tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    EXPECT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, t.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, t.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, t.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, t.samples);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, t.photometric);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, t.planar);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, t.compression);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, t.orientation);
    if (t.extra >= 0) {
        const std::uint16_t kind = static_cast<std::uint16_t>(t.extra);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &kind);
    }
    if (!colormap.empty()) {
        const std::size_t n = colormap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, colormap.data(), colormap.data() + n, colormap.data() + 2 * n);
    }
    if (t.ycbcrH) {
        TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, t.ycbcrH, t.ycbcrV);
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, 100);
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
    }
    const int planes = t.planar == PLANARCONFIG_SEPARATE ? t.samples : 1;
    const int perPlane = t.planar == PLANARCONFIG_SEPARATE ? 1 : t.samples;
    // JPEG-compressed YCbCr is handed over as RGB, three samples.
    const int given = t.ycbcrH ? 3 : perPlane;
    if (t.tile) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, t.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, t.tile);
        for (int p = 0; p < planes; ++p)
            for (int ty = 0; ty < t.height; ty += t.tile)
                for (int tx = 0; tx < t.width; tx += t.tile) {
                    ByteVector tileBytes;
                    for (int y = ty; y < ty + t.tile; ++y) {
                        const ByteVector row = packRow(t, t.tile, y, p, perPlane, sample, tx);
                        tileBytes.insert(tileBytes.end(), row.begin(), row.end());
                    }
                    EXPECT_GE(TIFFWriteTile(tif, tileBytes.data(), tx, ty, 0, static_cast<std::uint16_t>(p)), 0);
                }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, t.ycbcrH ? 16 : 3);
        for (int p = 0; p < planes; ++p)
            for (int y = 0; y < t.height; ++y) {
                ByteVector row = packRow(t, t.width, y, p, given, sample);
                EXPECT_EQ(TIFFWriteScanline(tif, row.data(), y, static_cast<std::uint16_t>(p)), 1);
            }
    }
    TIFFClose(tif);
    ByteVector bytes = readFile(path);
    std::filesystem::remove(path);
    return bytes;
}

int level(unsigned v, int bits)
{
    return static_cast<int>((v * 255u + ((1u << bits) - 1) / 2) / ((1u << bits) - 1));
}

// Pattern values of the tests: channel s at (x, y), as 8-bit levels.
int pattern(int x, int y, int s)
{
    return (x * 40 + y * 50 + s * 70 + 5) % 256;
}

// Each pixel of the picture against the expectation, by displayed position.
void expectPicture(const platform::Bitmap& b, int width, int height, const std::function<Rgba(int, int)>& want,
                   int tolerance = 0)
{
    ASSERT_EQ(b.width(), width);
    ASSERT_EQ(b.height(), height);
    int misses = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgba got = rgbaAt(b, x, y), w = want(x, y);
            for (int c = 0; c < 4; ++c)
                if (std::abs(got[c] - w[c]) > tolerance && misses++ < 4)
                    ADD_FAILURE() << "pixel " << x << "," << y << ": " << got[0] << "," << got[1] << "," << got[2]
                                  << "," << got[3] << " not " << w[0] << "," << w[1] << "," << w[2] << "," << w[3];
        }
}

TEST(TTIFFGraphic, EveryOrientationIsApplied)
{
    const auto tiff = pictures::makeTiffGraphic();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        TiffShape t;
        t.samples = 3;
        t.photometric = PHOTOMETRIC_RGB;
        t.orientation = orientation;
        const ByteVector file = tiffFile(t, [](int x, int y, int s) { return unsigned(pattern(x, y, s)); });
        const int w = t.width, h = t.height;
        // The stored pixel each displayed one shows.
        const auto stored = [&](int x, int y) -> std::pair<int, int> {
            switch (orientation) {
            case 2: return {w - 1 - x, y};
            case 3: return {w - 1 - x, h - 1 - y};
            case 4: return {x, h - 1 - y};
            case 5: return {y, x};
            case 6: return {y, h - 1 - x};
            case 7: return {w - 1 - y, h - 1 - x};
            case 8: return {w - 1 - y, x};
            default: return {x, y};
            }
        };
        const bool turned = orientation >= 5;
        expectPicture(tiff->load(file, "").bitmap, turned ? h : w, turned ? w : h, [&](int x, int y) {
            const auto [sx, sy] = stored(x, y);
            return Rgba{pattern(sx, sy, 0), pattern(sx, sy, 1), pattern(sx, sy, 2), 255};
        });
    }
}

TEST(TTIFFGraphic, DepthsOfGrayAndPalettePictures)
{
    const auto tiff = pictures::makeTiffGraphic();
    for (int bits : {1, 2, 4, 8, 12, 16}) {
        SCOPED_TRACE(bits);
        const unsigned max = (1u << bits) - 1;
        const auto value = [&](int x, int y) { return static_cast<unsigned>((x * 7 + y * 13) * max / 80) & max; };
        TiffShape gray;
        gray.bits = bits;
        gray.width = 9;
        expectPicture(tiff->load(tiffFile(gray, [&](int x, int y, int) { return value(x, y); }), "").bitmap, 9, 4,
                      [&](int x, int y) {
                          const int v = level(value(x, y), bits);
                          return Rgba{v, v, v, 255};
                      });
        // Min-is-white turns the levels round.
        gray.photometric = PHOTOMETRIC_MINISWHITE;
        expectPicture(tiff->load(tiffFile(gray, [&](int x, int y, int) { return value(x, y); }), "").bitmap, 9, 4,
                      [&](int x, int y) {
                          const int v = 255 - level(value(x, y), bits);
                          return Rgba{v, v, v, 255};
                      });
        if (bits == 1)
            continue;
        // A palette of 2^bits entries, entry i = (i*3, 255 - i*5, i*11) in 16-bit colour map values.
        std::vector<std::uint16_t> map(3u << bits);
        const std::size_t n = map.size() / 3;
        const auto entry = [&](unsigned i) { return Rgba{int(i * 3 % 256), int(255 - i * 5 % 256), int(i * 11 % 256), 255}; };
        for (std::size_t i = 0; i < n; ++i) {
            const Rgba e = entry(static_cast<unsigned>(i));
            map[i] = static_cast<std::uint16_t>(e[0] * 257);
            map[n + i] = static_cast<std::uint16_t>(e[1] * 257);
            map[2 * n + i] = static_cast<std::uint16_t>(e[2] * 257);
        }
        TiffShape palette = gray;
        palette.photometric = PHOTOMETRIC_PALETTE;
        expectPicture(tiff->load(tiffFile(palette, [&](int x, int y, int) { return value(x, y); }, map), "").bitmap,
                      9, 4, [&](int x, int y) { return entry(value(x, y)); });
        if (bits != 8)
            continue;
        // A palette index with an extra sample: alpha.
        palette.samples = 2;
        palette.extra = EXTRASAMPLE_UNASSALPHA;
        expectPicture(tiff->load(tiffFile(palette, [&](int x, int y, int s) { return s ? x * 30u : value(x, y); }, map),
                                 "").bitmap,
                      9, 4, [&](int x, int y) {
                          Rgba e = entry(value(x, y));
                          e[3] = x * 30;
                          return e;
                      });
    }
}

TEST(TTIFFGraphic, AlphaStraightAndAssociated)
{
    const auto tiff = pictures::makeTiffGraphic();
    const auto alpha = [](int x, int y) { return (x * 50 + y * 20 + 10) % 256; };
    // Gray + alpha at 8 and 16 bits, unassociated.
    for (int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        TiffShape t;
        t.bits = bits;
        t.samples = 2;
        t.extra = EXTRASAMPLE_UNASSALPHA;
        const unsigned scale = bits == 16 ? 257 : 1;
        expectPicture(tiff->load(tiffFile(t, [&](int x, int y, int s) {
                          return (s ? alpha(x, y) : pattern(x, y, 0)) * scale;
                      }), "").bitmap,
                      6, 4, [&](int x, int y) {
                          const int v = pattern(x, y, 0);
                          return Rgba{v, v, v, alpha(x, y)};
                      });
    }
    // 4-bit RGBA.
    TiffShape four;
    four.bits = 4;
    four.samples = 4;
    four.photometric = PHOTOMETRIC_RGB;
    four.extra = EXTRASAMPLE_UNASSALPHA;
    expectPicture(tiff->load(tiffFile(four, [](int x, int y, int s) { return unsigned(x + y * 3 + s) & 15u; }), "").bitmap,
                  6, 4, [](int x, int y) {
                      const auto v = [&](int s) { return ((x + y * 3 + s) & 15) * 17; };
                      return Rgba{v(0), v(1), v(2), v(3)};
                  });
    // Associated (premultiplied) alpha divided out, at 8 and 16 bits. At 16 bits
    // the division is exact before the reduction to 8 bits; at 8 bits a colour
    // under alpha 60 or more is within 255 / 120 of the one premultiplied.
    const auto opaque = [](int x, int y) { return 60 + (x * 37 + y * 23) % 196; };
    for (int bits : {8, 16}) {
        SCOPED_TRACE(bits);
        TiffShape t;
        t.bits = bits;
        t.samples = 4;
        t.photometric = PHOTOMETRIC_RGB;
        t.extra = EXTRASAMPLE_ASSOCALPHA;
        const double max = bits == 16 ? 65535.0 : 255.0;
        const ByteVector file = tiffFile(t, [&](int x, int y, int s) {
            const double a = opaque(x, y) / 255.0;
            const double c = s == 3 ? 1.0 : pattern(x, y, s) / 255.0;
            return static_cast<unsigned>(std::lround(c * a * max));
        });
        expectPicture(tiff->load(file, "").bitmap, 6, 4, [&](int x, int y) {
            return Rgba{pattern(x, y, 0), pattern(x, y, 1), pattern(x, y, 2), opaque(x, y)};
        }, bits == 8 ? 3 : 1);
    }
}

TEST(TTIFFGraphic, CmykPlanarSixteenBitAndTiles)
{
    const auto tiff = pictures::makeTiffGraphic();
    // CMYK: red = (255 - c) (255 - k) / 255, contiguous and planar.
    for (std::uint16_t planar : {PLANARCONFIG_CONTIG, PLANARCONFIG_SEPARATE}) {
        SCOPED_TRACE(planar);
        TiffShape t;
        t.samples = 4;
        t.photometric = PHOTOMETRIC_SEPARATED;
        t.planar = planar;
        expectPicture(tiff->load(tiffFile(t, [](int x, int y, int s) { return unsigned(pattern(x, y, s)); }), "").bitmap,
                      6, 4, [](int x, int y) {
                          const int k = pattern(x, y, 3);
                          const auto c = [&](int s) { return (255 - pattern(x, y, s)) * (255 - k) / 255; };
                          return Rgba{c(0), c(1), c(2), 255};
                      }, 1);
    }
    // 16-bit RGB in planes, strips and tiles of 16 (a 20 x 18 picture needs partial tiles).
    for (int tile : {0, 16}) {
        SCOPED_TRACE(tile);
        TiffShape t;
        t.width = 20;
        t.height = 18;
        t.bits = 16;
        t.samples = 3;
        t.photometric = PHOTOMETRIC_RGB;
        t.planar = PLANARCONFIG_SEPARATE;
        t.tile = tile;
        t.compression = COMPRESSION_ADOBE_DEFLATE;
        expectPicture(tiff->load(tiffFile(t, [](int x, int y, int s) {
                          const int v = pattern(x, y, s);
                          return v * 257u + (v < 255 ? x % 8 : 0);  // a low byte that is not the high one
                      }), "").bitmap,
                      20, 18, [](int x, int y) { return Rgba{pattern(x, y, 0), pattern(x, y, 1), pattern(x, y, 2), 255}; });
    }
}

TEST(TTIFFGraphic, YCbCrOfEverySubsampling)
{
    const auto tiff = pictures::makeTiffGraphic();
    // Smooth colours: the JPEG codec keeps them close.
    const auto colour = [](int x, int y, int s) { return 40 + x * 3 + y * 2 + s * 50; };
    for (const auto& [h, v] : {std::pair{1, 1}, {2, 1}, {2, 2}, {4, 1}, {4, 2}}) {
        SCOPED_TRACE(std::to_string(h) + "x" + std::to_string(v));
        TiffShape t;
        t.width = 24;
        t.height = 16;
        t.samples = 3;
        t.photometric = PHOTOMETRIC_YCBCR;
        t.compression = COMPRESSION_JPEG;
        t.ycbcrH = h;
        t.ycbcrV = v;
        const ByteVector file = tiffFile(t, [&](int x, int y, int s) { return unsigned(colour(x, y, s)); });
        EXPECT_EQ(tiff->readProperties(file).colorScheme, "YCbCr");
        expectPicture(tiff->load(file, "").bitmap, 24, 16,
                      [&](int x, int y) { return Rgba{colour(x, y, 0), colour(x, y, 1), colour(x, y, 2), 255}; }, 8);
    }
}

// Uncompressed YCbCr in data units: h x v luma samples, then Cb and Cr.
ByteVector ycbcrFile(int h, int v, int width, int height, const std::function<int(int, int)>& luma, int cb, int cr)
{
    ByteVector data;
    for (int by = 0; by < height; by += v)
        for (int bx = 0; bx < width; bx += h) {
            for (int y = by; y < by + v; ++y)
                for (int x = bx; x < bx + h; ++x)
                    data.push_back(static_cast<std::uint8_t>(luma(x, y)));
            data.push_back(static_cast<std::uint8_t>(cb));
            data.push_back(static_cast<std::uint8_t>(cr));
        }
    const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                       ("tiff_graphic_ycbcr_" + std::to_string(::getpid()) + ".tif");
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_YCBCRSUBSAMPLING, h, v);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    TIFFWriteRawStrip(tif, 0, data.data(), static_cast<tmsize_t>(data.size()));
    TIFFClose(tif);
    ByteVector bytes = readFile(path);
    std::filesystem::remove(path);
    return bytes;
}

TEST(TTIFFGraphic, UncompressedSubsampledYCbCr)
{
    const auto tiff = pictures::makeTiffGraphic();
    const auto luma = [](int x, int y) { return 60 + x * 9 + y * 7; };
    for (const auto& [h, v] : {std::pair{2, 1}, {2, 2}, {4, 2}, {4, 4}}) {
        SCOPED_TRACE(std::to_string(h) + "x" + std::to_string(v));
        // Cr 40 above neutral: red 1.402 x 40 above the luma, green 0.714 x 40 below.
        const ByteVector file = ycbcrFile(h, v, 8, 4, luma, 128, 168);
        expectPicture(tiff->load(file, "").bitmap, 8, 4, [&](int x, int y) {
            const int l = luma(x, y);
            return Rgba{l + 56, l - 29, l, 255};
        }, 2);
    }
}

TEST(TTIFFGraphic, DamagedSamplesEndInItsTexts)
{
    const auto tiff = pictures::makeTiffGraphic();
    TiffShape tiled;
    tiled.width = 20;
    tiled.height = 18;
    tiled.bits = 12;
    tiled.samples = 2;
    tiled.extra = EXTRASAMPLE_ASSOCALPHA;
    tiled.planar = PLANARCONFIG_SEPARATE;
    tiled.tile = 16;
    TiffShape strips = tiled;
    strips.tile = 0;
    strips.compression = COMPRESSION_LZW;
    for (const TiffShape& t : {tiled, strips}) {
        const ByteVector file = tiffFile(t, [](int x, int y, int s) { return unsigned(x * 200 + y * 10 + s); });
        ASSERT_FALSE(tiff->load(file, "").bitmap.empty());
        expectTruncationsHandled(*tiff, file, 8);
        expectDamageHandled(*tiff, file, file.size());
    }
}

}  // namespace
