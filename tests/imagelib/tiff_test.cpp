#include <gtest/gtest.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imagelib/image_library.h"
#include "imagelib/tiff.h"
#include "platform/prompter.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

namespace {

using namespace imagelib;
using namespace testsupport;

std::string fixture(const char* name)
{
    return dataFile(std::string("tiff/") + name);
}

struct TiffTags {
    std::uint16_t photometric = 0, compression = 0, orientation = 0, bps = 0, spp = 0;
    std::vector<std::uint16_t> extra;
    std::vector<std::uint8_t> firstStrip;
    std::uint16_t redMap1 = 0;  // ColorMap red of entry 1, when there is a map
};

TiffTags readTags(const std::string& file)
{
    TiffTags t;
    TIFF* tif = TIFFOpen(file.c_str(), "r");
    EXPECT_NE(tif, nullptr);
    if (!tif)
        return t;
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &t.photometric);
    TIFFGetField(tif, TIFFTAG_COMPRESSION, &t.compression);
    TIFFGetField(tif, TIFFTAG_ORIENTATION, &t.orientation);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &t.bps);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &t.spp);
    std::uint16_t count = 0;
    std::uint16_t* types = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &types))
        t.extra.assign(types, types + count);
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue))
        t.redMap1 = red[1];
    t.firstStrip.resize(static_cast<std::size_t>(TIFFStripSize(tif)));
    TIFFReadEncodedStrip(tif, 0, t.firstStrip.data(), -1);
    TIFFClose(tif);
    return t;
}

// Every TIFF test records what libtiff would show the user.
class TiffTest : public ::testing::Test {
protected:
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter scoped{prompter};
    TempDir dir;
    std::string path(const char* name) const { return (dir.path() / name).string(); }
};

enum class Palette { None, GrayRamp, GrayInverse, GrayOther, Colour };

struct RoundTrip {
    const char* name;
    std::uint8_t depth;
    Palette palette;
    std::uint8_t compression;  // requested code
    std::uint8_t orientation;
    std::uint16_t photometric;  // expected tag
    std::uint16_t compressionTag;
};

ImageRecord roundTripRecord(const RoundTrip& c)
{
    const std::uint16_t entries = c.depth <= 8 ? static_cast<std::uint16_t>(1u << c.depth) : 0;
    ImageRecord r = blankRecord(13, 5, c.depth, entries);
    fillPixels(r);
    const int top = entries - 1;
    for (int i = 0; i < entries; ++i) {
        const int ramp = i * 255 / top;
        switch (c.palette) {
        case Palette::GrayRamp: setEntry(r, i, ramp, ramp, ramp); break;
        case Palette::GrayInverse: setEntry(r, i, 255 - ramp, 255 - ramp, 255 - ramp); break;
        case Palette::GrayOther: setEntry(r, i, 255 - i / 2, 255 - i / 2, 255 - i / 2); break;
        case Palette::Colour: setEntry(r, i, 255 - i, (i * 7) % 256, i == 1 ? 255 : 0); break;
        case Palette::None: break;
        }
    }
    if (c.depth == 32) {  // alpha 0, partial and full, colours that premultiplying would change
        for (std::uint32_t y = 0; y < r.height; ++y)
            for (std::uint32_t x = 0; x < r.width; ++x)
                r.row(y)[4 * x + 3] = static_cast<std::uint8_t>((x * 64 + y * 3) % 256);
    }
    return r;
}

TEST_F(TiffTest, WriterOutputReadsBackAsTheSamePicture)
{
    const RoundTrip cases[] = {
        {"gray ramp, none", 8, Palette::GrayRamp, 0, 0, PHOTOMETRIC_MINISBLACK, COMPRESSION_NONE},
        {"gray ramp, PackBits, bottom-up", 8, Palette::GrayRamp, 9, 1, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS},
        {"colour palette, Deflate", 8, Palette::Colour, 13, 0, PHOTOMETRIC_PALETTE, COMPRESSION_DEFLATE},
        {"gray palette that is no ramp", 8, Palette::GrayOther, 0, 0, PHOTOMETRIC_PALETTE, COMPRESSION_NONE},
        {"bilevel white-is-zero, Deflate asked", 1, Palette::GrayInverse, 13, 0, PHOTOMETRIC_MINISWHITE,
         COMPRESSION_PACKBITS},
        {"bilevel colour", 1, Palette::Colour, 0, 1, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS},
        {"4-bit gray ramp", 4, Palette::GrayRamp, 13, 0, PHOTOMETRIC_MINISBLACK, COMPRESSION_DEFLATE},
        {"4-bit colour", 4, Palette::Colour, 9, 0, PHOTOMETRIC_PALETTE, COMPRESSION_PACKBITS},
        {"24-bit, none", 24, Palette::None, 0, 0, PHOTOMETRIC_RGB, COMPRESSION_NONE},
        {"24-bit, PackBits, bottom-up", 24, Palette::None, 9, 1, PHOTOMETRIC_RGB, COMPRESSION_PACKBITS},
        {"24-bit, Deflate", 24, Palette::None, 13, 0, PHOTOMETRIC_RGB, COMPRESSION_DEFLATE},
        {"32-bit with alpha, Deflate", 32, Palette::None, 13, 0, PHOTOMETRIC_RGB, COMPRESSION_DEFLATE},
        {"32-bit with alpha, none, bottom-up", 32, Palette::None, 0, 1, PHOTOMETRIC_RGB, COMPRESSION_NONE},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        const ImageRecord original = roundTripRecord(c);
        const std::string file = path("round.tif");
        TiffOptions save;
        save.compression = c.compression;
        save.orientation = c.orientation;
        ASSERT_EQ(SaveTiffFile(file, original, &save), kImageNoError);

        const TiffTags tags = readTags(file);
        EXPECT_EQ(tags.photometric, c.photometric);
        EXPECT_EQ(tags.compression, c.compressionTag);
        EXPECT_EQ(tags.orientation, c.orientation ? ORIENTATION_BOTLEFT : ORIENTATION_TOPLEFT);
        // The first strip holds the top row of the picture, whatever the orientation.
        const std::uint8_t* top = original.row(original.height - 1);
        if (c.depth <= 8) {
            EXPECT_EQ(tags.spp, 1);
            EXPECT_EQ(tags.bps, c.depth);
            EXPECT_TRUE(std::equal(top, top + (13 * c.depth + 7) / 8, tags.firstStrip.begin()));
        } else {
            EXPECT_EQ(tags.spp, c.depth / 8);
            EXPECT_EQ(tags.bps, 8);
            ASSERT_GE(tags.firstStrip.size(), 13u * c.depth / 8);
            const unsigned n = c.depth / 8;
            for (unsigned x = 0; x < 13; ++x) {
                EXPECT_EQ(tags.firstStrip[n * x], top[n * x + 2]);  // red first
                EXPECT_EQ(tags.firstStrip[n * x + 2], top[n * x]);
                if (n == 4) {
                    EXPECT_EQ(tags.firstStrip[n * x + 3], top[n * x + 3]);
                }
            }
            EXPECT_EQ(tags.extra, n == 4 ? std::vector<std::uint16_t>{EXTRASAMPLE_UNASSALPHA} : std::vector<std::uint16_t>{});
        }

        ImageRecord loaded;
        loaded.rowPadding = 1;
        TiffOptions options;
        ASSERT_EQ(LoadTiffFile(file, &loaded, &options), kImageNoError);
        EXPECT_EQ(loaded.bitsPerPixel, original.bitsPerPixel);
        EXPECT_EQ(loaded.pixels, original.pixels);
        EXPECT_EQ(loaded.paletteSize, original.paletteSize);
        EXPECT_EQ(loaded.palette, original.palette);
        EXPECT_EQ(options.compression, *tiffCompressionCode(c.compressionTag));
        EXPECT_EQ(options.orientation, c.orientation);
        EXPECT_EQ(options.photometric, c.photometric);
        EXPECT_EQ(options.predictor, 0);
    }
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(TiffTest, ColourMapHoldsPaletteLevelsTimes256)
{
    ImageRecord r = roundTripRecord({"", 8, Palette::Colour, 0, 0, 0, 0});
    ASSERT_EQ(SaveTiffFile(path("map.tif"), r, nullptr), kImageNoError);
    EXPECT_EQ(readTags(path("map.tif")).redMap1, 254 * 256);
}

TEST_F(TiffTest, FiveFiveFiveRecordIsWrittenAsRgb)
{
    ImageRecord r = blankRecord(3, 2, 16);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 3; ++x) {
            const unsigned word = (x + 1) | ((y + 2) << 5) | (31u << 10);  // blue, green, red
            r.row(y)[2 * x] = static_cast<std::uint8_t>(word);
            r.row(y)[2 * x + 1] = static_cast<std::uint8_t>(word >> 8);
        }
    ASSERT_EQ(SaveTiffFile(path("555.tif"), r, nullptr), kImageNoError);
    ImageRecord loaded;
    ASSERT_EQ(LoadTiffFile(path("555.tif"), &loaded, nullptr), kImageNoError);
    ASSERT_EQ(loaded.bitsPerPixel, 24);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 3; ++x) {
            const std::uint8_t* p = loaded.row(y) + 3 * x;
            EXPECT_EQ(p[0], (x + 1) * 8);
            EXPECT_EQ(p[1], (y + 2) * 8);
            EXPECT_EQ(p[2], 248);
        }
}

TEST_F(TiffTest, RefusedSaveOptions)
{
    const ImageRecord r = roundTripRecord({"", 24, Palette::None, 0, 0, 0, 0});
    TiffOptions lzw;
    lzw.compression = kTiffCodeLzw;
    EXPECT_EQ(SaveTiffFile(path("lzw.tif"), r, &lzw), kImageUnsupportedOption);
    EXPECT_EQ(GetLastImageError(), kImageUnsupportedOption);
    TiffOptions unknown;
    unknown.compression = 16;
    EXPECT_EQ(SaveTiffFile(path("unknown.tif"), r, &unknown), kImageUnsupportedOption);

    // A scheme the data cannot take fails in the library, whose message is shown.
    TiffOptions group4;
    group4.compression = 3;
    EXPECT_EQ(SaveTiffFile(path("g4.tif"), r, &group4), kImageWriteError);
    ASSERT_FALSE(prompter.entries.empty());
    const std::string& caption = prompter.entries.front().caption;
    EXPECT_EQ(caption.substr(caption.size() - 6), " Error");
    EXPECT_EQ(prompter.entries.front().icon, platform::MessageIcon::Warning);
}

TEST(TiffErrorCaption, NamesTheModuleOrTheLibrary)
{
    EXPECT_EQ(tiffErrorCaption("TIFFReadDirectory"), "TIFFReadDirectory Error");
    EXPECT_EQ(tiffErrorCaption(""), "TIFFLIB Error");
    EXPECT_EQ(tiffErrorCaption(nullptr), "TIFFLIB Error");
}

// ------------------------------------------------------------ files of other programs

int rgbAt(int x, int y, int channel)  // the RGB pattern of the fixtures, top row 0
{
    const int v[3] = {x * 16, y * 20, (x + y) * 8};
    return v[channel];
}

void expectRgbPattern(const ImageRecord& r)
{
    ASSERT_EQ(r.width, 16u);
    ASSERT_EQ(r.height, 12u);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint8_t* p = r.row(11 - y) + 3 * x;  // row 0 is the file's last row
            ASSERT_EQ(p[0], rgbAt(x, y, 2)) << x << "," << y;
            ASSERT_EQ(p[1], rgbAt(x, y, 1));
            ASSERT_EQ(p[2], rgbAt(x, y, 0));
        }
}

std::uint8_t pixelBit(const ImageRecord& r, int x, int topY)
{
    return (r.row(r.height - 1 - topY)[x / 8] >> (7 - x % 8)) & 1;
}

struct FixtureCase {
    const char* file;
    std::uint8_t depth;
    TiffOptions options;  // expected
};

TEST_F(TiffTest, FilesOfOtherProgramsLoad)
{
    const FixtureCase cases[] = {
        {"rgb.tif", 24, {0, 2, 0, 0}},
        {"rgb_lzw_pred.tif", 24, {4, 2, 0, 2}},
        {"rgb_planar.tif", 24, {0, 2, 0, 0}},
        {"gray16.tif", 8, {0, 1, 0, 0}},
        {"palette.tif", 8, {0, 3, 0, 0}},
        {"g4_miniswhite.tif", 1, {3, 0, 0, 0}},
        {"g3_miniswhite.tif", 1, {2, 0, 0, 0}},
    };
    for (const FixtureCase& c : cases) {
        SCOPED_TRACE(c.file);
        ImageRecord r;
        r.rowPadding = 1;
        TiffOptions options{99, 99, 99, 99};
        ASSERT_EQ(LoadTiffFile(fixture(c.file), &r, &options), kImageNoError);
        EXPECT_EQ(r.bitsPerPixel, c.depth);
        EXPECT_EQ(options.compression, c.options.compression);
        EXPECT_EQ(options.photometric, c.options.photometric);
        EXPECT_EQ(options.orientation, c.options.orientation);
        EXPECT_EQ(options.predictor, c.options.predictor);
        const std::string name = c.file;
        if (name.rfind("rgb", 0) == 0) {
            expectRgbPattern(r);
        } else if (name == "gray16.tif") {  // the high bytes, on the identity gray palette
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 16; ++x)
                    ASSERT_EQ(r.row(11 - y)[x], x * 10 + y * 8);
            for (int i = 0; i < 256; ++i)
                ASSERT_EQ(r.entry(i)[0], i);
        } else if (name == "palette.tif") {
            for (int y = 0; y < 12; ++y)
                for (int x = 0; x < 16; ++x)
                    ASSERT_EQ(r.row(11 - y)[x], (x + 2 * y) % 4);
            const std::uint8_t expected[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {0, 255, 255}};  // B,G,R
            for (int i = 0; i < 4; ++i)
                EXPECT_TRUE(std::equal(expected[i], expected[i] + 3, r.entry(i))) << i;
        } else {  // bilevel, white is zero: index 1 is black
            EXPECT_EQ(r.entry(0)[0], 255);
            EXPECT_EQ(r.entry(1)[0], 0);
            for (int y = 0; y < 30; ++y)
                for (int x = 0; x < 40; ++x)
                    ASSERT_EQ(pixelBit(r, x, y), (x * x + y * y) % 7 < 3 ? 1 : 0) << x << "," << y;
        }
    }
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(TiffTest, YCbCrIsRefusedWithOrWithoutOptions)
{
    for (bool withOptions : {true, false}) {
        ImageRecord r;
        TiffOptions options;
        EXPECT_EQ(LoadTiffFile(fixture("ycbcr_jpeg.tif"), &r, withOptions ? &options : nullptr),
                  kImageUnsupportedOption);
        EXPECT_FALSE(r.hasPixels());
        EXPECT_EQ(r.width, 0u);
    }
}

// ------------------------------------------------------------ files made here with libtiff

struct PlaneLayout {
    std::uint16_t samples, bits, planar, orientation = ORIENTATION_TOPLEFT;
    std::vector<std::uint16_t> extra = {};
};

// Writes a width x 2 file; sample s of pixel x in row y is value(x, y, s).
template <typename Value>
void writeSampleFile(const std::string& file, std::uint32_t width, const PlaneLayout& shape, Value value)
{
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    ASSERT_NE(tif, nullptr);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, shape.bits);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, shape.samples);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, shape.planar);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, shape.samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, shape.orientation);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    if (!shape.extra.empty())
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, static_cast<std::uint16_t>(shape.extra.size()), shape.extra.data());
    const bool separate = shape.planar == PLANARCONFIG_SEPARATE;
    const unsigned perRow = separate ? 1 : shape.samples;
    for (std::uint16_t plane = 0; plane < (separate ? shape.samples : 1); ++plane)
        for (std::uint32_t y = 0; y < 2; ++y) {
            std::vector<std::uint8_t> line((width * perRow * shape.bits + 7) / 8, 0);
            for (std::uint32_t x = 0; x < width; ++x)
                for (unsigned s = 0; s < perRow; ++s) {
                    const unsigned v = value(x, y, separate ? plane : s);
                    if (shape.bits == 1)
                        line[x / 8] |= static_cast<std::uint8_t>(v << (7 - x % 8));
                    else
                        line[x * perRow + s] = static_cast<std::uint8_t>(v);
                }
            ASSERT_EQ(TIFFWriteScanline(tif, line.data(), y, plane), 1);
        }
    TIFFClose(tif);
}

TEST_F(TiffTest, SeparateBitPlanesBecomeColourCubeIndices)
{
    const auto bit = [](unsigned x, unsigned y, unsigned p) { return (x + y * 3 + p) % 3 == 0 || (p == 3 && x != 2) ? 1u : 0u; };
    for (std::uint16_t samples : {3, 4}) {
        SCOPED_TRACE(samples);
        writeSampleFile(path("planes.tif"), 10, {samples, 1, PLANARCONFIG_SEPARATE}, bit);
        ImageRecord r;
        r.rowPadding = 1;
        ASSERT_EQ(LoadTiffFile(path("planes.tif"), &r, nullptr), kImageNoError);
        EXPECT_EQ(r.bitsPerPixel, 4);  // repacked: at most 16 entries
        EXPECT_EQ(r.paletteSize, samples == 3 ? 8 : 9);
        EXPECT_EQ(r.transparentIndex, samples == 3 ? -1 : 8);
        std::vector<std::uint8_t> indices;
        ASSERT_EQ(ExpandIndicesTo8Bit(r, indices), kImageNoError);
        for (unsigned y = 0; y < 2; ++y)
            for (unsigned x = 0; x < 10; ++x) {
                unsigned expected = bit(x, y, 0) | bit(x, y, 1) << 1 | bit(x, y, 2) << 2;
                if (samples == 4 && !bit(x, y, 3))
                    expected = 8;
                EXPECT_EQ(indices[(1 - y) * 10 + x], expected) << x << "," << y;
            }
        EXPECT_EQ(r.entry(1)[2], 255);  // entry 1 red
        EXPECT_EQ(r.entry(1)[0], 0);
        EXPECT_EQ(r.entry(6)[0], 255);  // entry 6 green and blue
        EXPECT_EQ(r.entry(6)[1], 255);
        if (samples == 4) {
            EXPECT_EQ(r.entry(8)[1], 127);
        }
    }
}

TEST_F(TiffTest, SeparateBytePlanesOfAnySampleCountStayInsideTheRecord)
{
    const auto value = [](unsigned x, unsigned y, unsigned s) { return 10 * s + x + 5 * y + 1; };
    for (std::uint16_t samples : {1, 2, 3, 4}) {
        SCOPED_TRACE(samples);
        PlaneLayout shape{samples, 8, PLANARCONFIG_SEPARATE};
        if (samples == 2 || samples == 4)
            shape.extra = {EXTRASAMPLE_UNASSALPHA};
        writeSampleFile(path("bytes.tif"), 5, shape, value);
        ImageRecord r;
        r.rowPadding = 1;
        ASSERT_EQ(LoadTiffFile(path("bytes.tif"), &r, nullptr), kImageNoError);
        ASSERT_EQ(r.bitsPerPixel, 8 * samples);
        for (unsigned y = 0; y < 2; ++y)
            for (unsigned x = 0; x < 5; ++x)
                for (unsigned s = 0; s < samples; ++s) {
                    const unsigned byte = samples >= 3 && s < 3 ? 2 - s : s;
                    EXPECT_EQ(r.row(1 - y)[x * samples + byte], value(x, y, s));
                }
    }
}

TEST_F(TiffTest, OnlyPremultipliedAlphaIsDividedOut)
{
    const auto value = [](unsigned, unsigned, unsigned s) { return s == 3 ? 128u : 64u; };
    const std::pair<std::uint16_t, int> cases[] = {{EXTRASAMPLE_ASSOCALPHA, 128}, {EXTRASAMPLE_UNASSALPHA, 64}};
    for (const auto& [type, colour] : cases) {
        writeSampleFile(path("alpha.tif"), 3, {4, 8, PLANARCONFIG_CONTIG, ORIENTATION_TOPLEFT, {type}}, value);
        ImageRecord r;
        ASSERT_EQ(LoadTiffFile(path("alpha.tif"), &r, nullptr), kImageNoError);
        EXPECT_EQ(r.row(0)[0], colour) << type;
        EXPECT_EQ(r.row(0)[3], 128);
    }
    // Four samples without ExtraSamples (e.g. CMYK) are refused.
    writeSampleFile(path("four.tif"), 3, {4, 8, PLANARCONFIG_CONTIG}, value);
    ImageRecord r;
    EXPECT_EQ(LoadTiffFile(path("four.tif"), &r, nullptr), kImageUnsupportedOption);
}

TEST_F(TiffTest, OrientationOtherThanTopOrBottomLeftIsRefusedOnlyWithOptions)
{
    const auto value = [](unsigned x, unsigned y, unsigned) { return x + y; };
    writeSampleFile(path("rot.tif"), 4, {1, 8, PLANARCONFIG_CONTIG, ORIENTATION_BOTRIGHT}, value);
    ImageRecord r;
    TiffOptions options;
    EXPECT_EQ(LoadTiffFile(path("rot.tif"), &r, &options), kImageUnsupportedOption);
    EXPECT_FALSE(r.hasPixels());
    EXPECT_EQ(LoadTiffFile(path("rot.tif"), &r, nullptr), kImageNoError);
    EXPECT_EQ(r.row(1)[3], 3);  // rows still taken from the top
}

// ------------------------------------------------------------ damaged and hostile files

// A little-endian single-strip file written byte by byte: the strip at offset 8,
// the directory after it. Entries must be given in tag order.
std::vector<std::uint8_t> rawTiff(const std::vector<std::array<std::uint32_t, 4>>& entries,
                                  const std::vector<std::uint8_t>& strip)
{
    std::vector<std::uint8_t> out = {'I', 'I', 42, 0};
    const auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put(static_cast<std::uint32_t>(8 + strip.size()), 4);
    out.insert(out.end(), strip.begin(), strip.end());
    put(static_cast<std::uint32_t>(entries.size()), 2);
    for (const auto& [tag, type, count, value] : entries) {
        put(tag, 2);
        put(type, 2);
        put(count, 4);
        put(value, 4);
    }
    put(0, 4);
    return out;
}

constexpr std::uint32_t kShort = 3, kLong = 4;

TEST_F(TiffTest, HugeDeclaredSizeInATinyFileIsRefusedBeforeAllocation)
{
    writeBytes(path("bomb.tif"), rawTiff({{256, kLong, 1, 20000},
                                         {257, kLong, 1, 20000},
                                         {258, kShort, 1, 8},
                                         {259, kShort, 1, COMPRESSION_DEFLATE},
                                         {262, kShort, 1, PHOTOMETRIC_MINISBLACK},
                                         {273, kLong, 1, 8},
                                         {277, kShort, 1, 1},
                                         {278, kLong, 1, 20000},
                                         {279, kLong, 1, 16}},
                                        std::vector<std::uint8_t>(16, 0)));
    ImageRecord r;
    EXPECT_EQ(LoadTiffFile(path("bomb.tif"), &r, nullptr), kImageBadSize);
    EXPECT_FALSE(r.hasPixels());
}

TEST_F(TiffTest, LibraryWarningsAreNotShown)
{
    // No PhotometricInterpretation: libtiff warns and assumes black-is-zero.
    writeBytes(path("warn.tif"), rawTiff({{256, kLong, 1, 4},
                                         {257, kLong, 1, 2},
                                         {258, kShort, 1, 8},
                                         {259, kShort, 1, COMPRESSION_NONE},
                                         {273, kLong, 1, 8},
                                         {277, kShort, 1, 1},
                                         {278, kLong, 1, 2},
                                         {279, kLong, 1, 8}},
                                        {1, 2, 3, 4, 5, 6, 7, 8}));
    ImageRecord r;
    ASSERT_EQ(LoadTiffFile(path("warn.tif"), &r, nullptr), kImageNoError);
    EXPECT_EQ(r.row(1)[0], 1);
    EXPECT_EQ(r.row(0)[3], 8);
    EXPECT_TRUE(prompter.entries.empty());
}

TEST_F(TiffTest, BadFilesFailWithTheirCodeAndFreeTheRecord)
{
    std::ifstream in(fixture("rgb.tif"), std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Pillow puts the directory first and the strip last: cut into the strip.
    bytes.resize(bytes.size() - 200);
    writeBytes(path("cut.tif"), bytes);
    writeBytes(path("text.tif"), {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});

    const std::pair<std::string, int> cases[] = {
        {path("cut.tif"), kImageReadError},
        {path("text.tif"), kImageNoMemory},  // libtiff cannot open it: the open failure code
        {path("missing.tif"), kImageNoMemory},
    };
    for (const auto& [file, code] : cases) {
        SCOPED_TRACE(file);
        prompter.clear();
        ImageRecord r;
        r.rowPadding = 1;
        EXPECT_EQ(LoadTiffFile(file, &r, nullptr), code);
        EXPECT_EQ(GetLastImageError(), code);
        EXPECT_FALSE(r.hasPixels());
        EXPECT_FALSE(prompter.entries.empty());  // libtiff's own reason was shown
    }
    EXPECT_EQ(LoadTiffFile(fixture("rgb.tif"), nullptr, nullptr), kImageNullRecord);
}

TEST_F(TiffTest, LibraryEntriesPassTiffOptions)
{
    TiffOptions options;
    std::unique_ptr<platform::Bitmap> bitmap = LoadImageToBitmap(fixture("rgb_lzw_pred.tif"), &options, kAlphaKeep);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->bitsPerPixel(), 24);
    EXPECT_EQ(options.compression, kTiffCodeLzw);
    EXPECT_EQ(options.predictor, 2);

    TiffOptions save;
    save.compression = kTiffCodeDeflate;
    ASSERT_EQ(SaveBitmapToImage(bitmap.get(), path("out.tiff"), &save), kImageNoError);
    EXPECT_EQ(readTags(path("out.tiff")).compression, COMPRESSION_DEFLATE);
    ASSERT_EQ(SaveBitmapToImage(bitmap.get(), path("plain.tif"), nullptr), kImageNoError);
    EXPECT_EQ(readTags(path("plain.tif")).compression, COMPRESSION_NONE);
    std::unique_ptr<platform::Bitmap> again = LoadImageToBitmap(path("out.tiff"), nullptr, kAlphaKeep);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->bits(), bitmap->bits());
}

}  // namespace
