// TTIFFGraphic: the layouts, depths, colour schemes and orientations real
// TIFF files use, each written here with libtiff from a sample pattern (old-style
// JPEG files, which libtiff does not write, are laid out by hand).
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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

// A baseline JFIF stream of the samples (components 3 for colour, 1 for gray),
// made in memory with libjpeg's default 2x2 chroma subsampling.
ByteVector jfifStream(int width, int height, int components, const std::function<int(int, int, int)>& sample)
{
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    c.image_width = static_cast<JDIMENSION>(width);
    c.image_height = static_cast<JDIMENSION>(height);
    c.input_components = components;
    c.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * components);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            for (int s = 0; s < components; ++s)
                row[std::size_t(x) * components + s] = static_cast<JSAMPLE>(sample(x, y, s));
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&c, rows, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    ByteVector stream(out, out + size);
    std::free(out);
    return stream;
}

// The stream decoded by libjpeg as R,G,B (or gray) bytes, chroma replicated
// rather than interpolated, as libtiff's YCbCr conversion does.
ByteVector jfifPixels(const ByteVector& stream)
{
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, stream.data(), static_cast<unsigned long>(stream.size()));
    jpeg_read_header(&d, TRUE);
    d.do_fancy_upsampling = FALSE;
    jpeg_start_decompress(&d);
    ByteVector pixels(std::size_t(d.output_width) * d.output_height * d.output_components);
    while (d.output_scanline < d.output_height) {
        JSAMPROW rows[] = {pixels.data() + std::size_t(d.output_scanline) * d.output_width * d.output_components};
        jpeg_read_scanlines(&d, rows, 1);
    }
    jpeg_finish_decompress(&d);
    jpeg_destroy_decompress(&d);
    return pixels;
}

// Where the entropy-coded data of a JFIF stream starts: after the SOS segment.
std::size_t scanDataStart(const ByteVector& stream)
{
    for (std::size_t at = 2; at + 4 <= stream.size();) {
        const std::size_t length = std::size_t(stream[at + 2]) << 8 | stream[at + 3];
        if (stream[at + 1] == 0xDA)
            return at + 2 + length;
        at += 2 + length;
    }
    ADD_FAILURE() << "no SOS segment";
    return stream.size();
}

// An old-style JPEG TIFF as such files are commonly laid out: a little-endian
// header, one IFD, BitsPerSample values, then the whole JFIF stream, which
// JPEGInterchangeFormat points at while the one strip holds its scan data.
ByteVector oldStyleJpegTiff(int width, int height, const ByteVector& jfif, std::uint32_t interchangeOffset = 0)
{
    const bool colour = jfif.size() > 9 && [&] {
        // The component count of the SOF0 segment.
        for (std::size_t at = 2; at + 9 < jfif.size(); at += 2 + (std::size_t(jfif[at + 2]) << 8 | jfif[at + 3]))
            if (jfif[at + 1] == 0xC0)
                return jfif[at + 9] == 3;
        return false;
    }();
    const unsigned samples = colour ? 3 : 1;
    struct Entry {
        unsigned tag, type;
        std::uint32_t count, value;
    };
    const unsigned entryCount = colour ? 15 : 14;
    const std::uint32_t ifdEnd = 8 + 2 + entryCount * 12 + 4;
    const std::uint32_t bitsAt = ifdEnd;  // three SHORTs of colour pictures
    const std::uint32_t jfifAt = ifdEnd + 8;
    const std::uint32_t scanAt = jfifAt + static_cast<std::uint32_t>(scanDataStart(jfif));
    const std::uint32_t jfifSize = static_cast<std::uint32_t>(jfif.size());
    enum : unsigned { kShort = 3, kLong = 4 };
    std::vector<Entry> entries = {
        {256, kLong, 1, std::uint32_t(width)},
        {257, kLong, 1, std::uint32_t(height)},
        {258, kShort, samples, colour ? bitsAt : 8u},
        {259, kShort, 1, 6},                          // old-style JPEG
        {262, kShort, 1, colour ? 6u : 1u},           // YCbCr or min-is-black
        {273, kLong, 1, scanAt},                      // StripOffsets
        {277, kShort, 1, samples},
        {278, kLong, 1, std::uint32_t(height)},       // RowsPerStrip: one strip
        {279, kLong, 1, jfifAt + jfifSize - scanAt},  // StripByteCounts
        {284, kShort, 1, 1},                          // contiguous
        {512, kShort, 1, 1},                          // JPEGProc: baseline
        {513, kLong, 1, interchangeOffset ? interchangeOffset : jfifAt},
        {514, kLong, 1, jfifSize},
    };
    if (colour)
        entries.push_back({530, kShort, 2, 2u | 2u << 16});  // YCbCrSubSampling 2, 2 as libjpeg wrote
    entries.push_back({296, kShort, 1, 1});  // ResolutionUnit: none
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.tag < b.tag; });
    EXPECT_EQ(entries.size(), entryCount);
    ByteVector file = {'I', 'I', 42, 0};
    append32(file, 8);
    append16(file, entryCount);
    for (const Entry& e : entries) {
        append16(file, e.tag);
        append16(file, e.type);
        append32(file, e.count);
        if (e.type == kShort && e.count == 1) {
            append16(file, e.value);
            append16(file, 0);
        } else {
            append32(file, e.value);
        }
    }
    append32(file, 0);  // no further IFD
    for (int s = 0; s < 4; ++s)
        append16(file, s < 3 ? 8 : 0);
    file.insert(file.end(), jfif.begin(), jfif.end());
    return file;
}

TEST(TTIFFGraphic, OldStyleJpegColourAndGray)
{
    const auto tiff = pictures::makeTiffGraphic();
    // 20 x 14 leaves partial blocks at the right and the bottom.
    const int width = 20, height = 14;
    const auto sample = [](int x, int y, int s) { return 30 + x * 6 + y * 4 + s * 60; };
    for (int components : {3, 1}) {
        SCOPED_TRACE(components);
        const ByteVector jfif = jfifStream(width, height, components, sample);
        const ByteVector file = oldStyleJpegTiff(width, height, jfif);
        const pictures::PictureProperties p = tiff->readProperties(file);
        EXPECT_EQ(p.compression, "old-style JPEG");
        EXPECT_EQ(p.colorScheme, components == 3 ? "YCbCr" : "gray");
        const ByteVector want = jfifPixels(jfif);
        // libtiff converts the YCbCr samples to RGB itself; its rounding may
        // differ from libjpeg's by up to 2 levels (the libtiff here matches
        // exactly). Gray needs no conversion.
        expectPicture(tiff->load(file, "").bitmap, width, height, [&](int x, int y) {
            const std::size_t at = (std::size_t(y) * width + x) * components;
            const int r = want[at], g = want[at + (components == 3 ? 1 : 0)], b = want[at + (components == 3 ? 2 : 0)];
            return Rgba{r, g, b, 255};
        }, components == 3 ? 2 : 0);
    }
}

TEST(TTIFFGraphic, OldStyleJpegPastTheEndOrDamagedIsRefused)
{
    const auto tiff = pictures::makeTiffGraphic();
    const ByteVector jfif = jfifStream(16, 16, 3, [](int x, int y, int s) { return x * 9 + y * 5 + s * 40; });
    const ByteVector good = oldStyleJpegTiff(16, 16, jfif);
    ByteVector file = oldStyleJpegTiff(16, 16, jfif, static_cast<std::uint32_t>(good.size() + 4096));
    EXPECT_EQ(loadError(*tiff, file), "Cannot load image. Compression error found in TIFF file.");
    expectTruncationsHandled(*tiff, good, 8);
    expectDamageHandled(*tiff, good, good.size());
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
