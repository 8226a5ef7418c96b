#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "imagelib/image_library.h"
#include "imagelib/png.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

namespace {

using namespace imagelib;
using namespace testsupport;

std::string fixture(const char* name)
{
    return dataFile(std::string("png/") + name);
}

// A record of the given depth with every pixel bit varied.
ImageRecord variedRecord(std::uint32_t width, std::uint32_t height, std::uint8_t depth)
{
    ImageRecord r = blankRecord(width, height, depth);
    fillPixels(r);
    return r;
}

void expectBgr(const std::uint8_t* p, int red, int green, int blue)
{
    EXPECT_EQ(p[0], blue);
    EXPECT_EQ(p[1], green);
    EXPECT_EQ(p[2], red);
}

ImageRecord loadPng(const std::string& file, int expectedCode = kImageNoError)
{
    ImageRecord r;
    r.rowPadding = 1;
    EXPECT_EQ(LoadPngFile(file, &r), expectedCode) << file;
    EXPECT_EQ(GetLastImageError(), expectedCode);
    return r;
}

class PngTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path(const char* name) const { return (dir.path() / name).string(); }
};

enum class Palette { None, GrayRamp, GrayInverse, GrayOther, Colour };

struct RoundTrip {
    const char* name;
    std::uint8_t depth;
    Palette palette;
    int colourType;  // expected in the file
};

TEST_F(PngTest, WriterOutputReadsBackAsTheSamePicture)
{
    const RoundTrip cases[] = {
        {"8-bit gray ramp", 8, Palette::GrayRamp, PNG_COLOR_TYPE_GRAY},
        {"4-bit gray ramp", 4, Palette::GrayRamp, PNG_COLOR_TYPE_GRAY},
        {"1-bit black and white", 1, Palette::GrayRamp, PNG_COLOR_TYPE_GRAY},
        // Written as gray samples these would show other levels than the palette does.
        {"1-bit white and black", 1, Palette::GrayInverse, PNG_COLOR_TYPE_PALETTE},
        {"8-bit gray palette that is no ramp", 8, Palette::GrayOther, PNG_COLOR_TYPE_PALETTE},
        {"1-bit colour", 1, Palette::Colour, PNG_COLOR_TYPE_PALETTE},
        {"4-bit colour", 4, Palette::Colour, PNG_COLOR_TYPE_PALETTE},
        {"8-bit colour", 8, Palette::Colour, PNG_COLOR_TYPE_PALETTE},
        {"24-bit", 24, Palette::None, PNG_COLOR_TYPE_RGB},
        {"32-bit", 32, Palette::None, PNG_COLOR_TYPE_RGB_ALPHA},
    };
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(c.name);
        ImageRecord original = variedRecord(11, 6, c.depth);
        const int top = (1 << std::min<int>(c.depth, 8)) - 1;
        for (int i = 0; i < original.paletteSize; ++i) {
            const int ramp = i * 255 / top;
            switch (c.palette) {
            case Palette::GrayRamp: setEntry(original, i, ramp, ramp, ramp); break;
            case Palette::GrayInverse: setEntry(original, i, 255 - ramp, 255 - ramp, 255 - ramp); break;
            case Palette::GrayOther: setEntry(original, i, i / 2, i / 2, i / 2); break;
            case Palette::Colour: setEntry(original, i, 255 - i, i * 7 % 256, i == 1 ? 255 : 3); break;
            case Palette::None: break;
            }
        }
        ASSERT_EQ(SavePngFile(path("round.png"), original), kImageNoError);
        const std::vector<std::uint8_t> bytes = readBytes(path("round.png"));
        ASSERT_GT(bytes.size(), 26u);
        EXPECT_EQ(bytes[24], std::min<int>(c.depth, 8));  // IHDR bit depth
        EXPECT_EQ(bytes[25], c.colourType);

        const ImageRecord loaded = loadPng(path("round.png"));
        EXPECT_EQ(loaded.bitsPerPixel, c.depth);
        EXPECT_EQ(loaded.pixels, original.pixels);
        EXPECT_EQ(loaded.paletteSize, original.paletteSize);
        EXPECT_EQ(loaded.palette, original.palette);
        EXPECT_EQ(loaded.transparentIndex, -1);
    }
}

TEST_F(PngTest, IndicesPastAShortPaletteAreSavedAsBlack)
{
    ImageRecord r;
    r.width = 3;
    r.height = 1;
    r.bitsPerPixel = 8;
    r.paletteSize = 2;
    r.rowPadding = 1;
    ASSERT_EQ(AllocateImageRecord(r), kImageNoError);
    setEntry(r, 0, 10, 20, 30);
    setEntry(r, 1, 40, 50, 60);
    r.row(0)[0] = 1;
    r.row(0)[1] = 7;
    ASSERT_EQ(SavePngFile(path("short.png"), r), kImageNoError);
    const ImageRecord loaded = loadPng(path("short.png"));
    ASSERT_EQ(loaded.paletteSize, 8);
    EXPECT_EQ(loaded.pixels, r.pixels);
    expectBgr(loaded.entry(1), 40, 50, 60);
    expectBgr(loaded.entry(7), 0, 0, 0);
}

TEST_F(PngTest, FiveFiveFiveRecordIsWidenedToRgb)
{
    ImageRecord r = variedRecord(5, 3, 16);
    ASSERT_EQ(SavePngFile(path("555.png"), r), kImageNoError);
    EXPECT_EQ(readBytes(path("555.png"))[25], PNG_COLOR_TYPE_RGB);
    ASSERT_EQ(Expand555To24(r), kImageNoError);
    EXPECT_EQ(loadPng(path("555.png")).pixels, r.pixels);
}

// ------------------------------------------------------------ files of other programs

const std::uint8_t kFourColours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};  // R,G,B

std::uint8_t nibble(const ImageRecord& r, int x, int topY)
{
    return (r.row(r.height - 1 - topY)[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
}

TEST(PngFixtures, FilesOfOtherProgramsLoad)
{
    {
        SCOPED_TRACE("2-bit gray: 4-bit record, 4-entry ramp");
        const ImageRecord r = loadPng(fixture("gray2.png"));
        ASSERT_EQ(r.bitsPerPixel, 4);
        ASSERT_EQ(r.paletteSize, 4);
        for (int i = 0; i < 4; ++i)
            expectBgr(r.entry(i), i * 85, i * 85, i * 85);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(nibble(r, x, y), (x + y) % 4) << x << "," << y;
    }
    {
        SCOPED_TRACE("2-bit palette, one transparent entry: index 0 is the transparent index");
        const ImageRecord r = loadPng(fixture("palette_trns1.png"));
        ASSERT_EQ(r.bitsPerPixel, 4);
        EXPECT_EQ(r.transparentIndex, 0);
        ASSERT_EQ(r.paletteSize, 4);
        for (int i = 0; i < 4; ++i)
            expectBgr(r.entry(i), kFourColours[i][0], kFourColours[i][1], kFourColours[i][2]);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                ASSERT_EQ(nibble(r, x, y), (x + 2 * y) % 4);
    }
    {
        SCOPED_TRACE("2-bit palette, three alpha entries: 32-bit with per-index alpha");
        const ImageRecord r = loadPng(fixture("palette_trns3.png"));
        ASSERT_EQ(r.bitsPerPixel, 32);
        const int alpha[4] = {0, 128, 200, 255};
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const int i = (x + 2 * y) % 4;
                const std::uint8_t* p = r.row(11 - y) + 4 * x;
                expectBgr(p, kFourColours[i][0], kFourColours[i][1], kFourColours[i][2]);
                ASSERT_EQ(p[3], alpha[i]);
            }
    }
    for (const char* file : {"rgb16.png", "rgb_interlaced.png"}) {
        SCOPED_TRACE(file);  // 16-bit samples keep their high byte
        const ImageRecord r = loadPng(fixture(file));
        ASSERT_EQ(r.bitsPerPixel, 24);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                expectBgr(r.row(11 - y) + 3 * x, x * 16, y * 20, (x + y) * 8);
    }
    {
        SCOPED_TRACE("gray with alpha: 32-bit");
        const ImageRecord r = loadPng(fixture("gray_alpha.png"));
        ASSERT_EQ(r.bitsPerPixel, 32);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) {
                const std::uint8_t* p = r.row(11 - y) + 4 * x;
                const int g = x * 10 + y * 8;
                expectBgr(p, g, g, g);
                ASSERT_EQ(p[3], x * 16 + y);
            }
    }
}

// ------------------------------------------------------------ transparency chunks

struct PngShape {
    int bitDepth = 8;
    int colourType = PNG_COLOR_TYPE_PALETTE;
    std::vector<png_color> palette;
    std::vector<png_byte> alpha;         // tRNS of a palette file
    const png_color_16* key = nullptr;   // tRNS of a gray or RGB file
    const png_color_16* background = nullptr;
};

// Writes a one-row picture with libpng itself.
bool writePng(const std::string& file, const PngShape& shape, const std::vector<png_byte>& row, png_uint_32 width)
{
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = false;
    if (!setjmp(png_jmpbuf(png))) {
        png_init_io(png, f);
        png_set_IHDR(png, info, width, 1, shape.bitDepth, shape.colourType, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!shape.palette.empty())
            png_set_PLTE(png, info, shape.palette.data(), static_cast<int>(shape.palette.size()));
        if (!shape.alpha.empty())
            png_set_tRNS(png, info, shape.alpha.data(), static_cast<int>(shape.alpha.size()), nullptr);
        if (shape.key)
            png_set_tRNS(png, info, nullptr, 1, const_cast<png_color_16*>(shape.key));
        if (shape.background)
            png_set_bKGD(png, info, shape.background);
        png_write_info(png, info);
        png_write_row(png, row.data());
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
    return ok;
}

TEST_F(PngTest, PaletteTransparencyWithOneEntry)
{
    PngShape shape;
    shape.palette = {{200, 100, 50}, {0, 0, 255}};
    shape.alpha = {128};
    {
        SCOPED_TRACE("no background: alpha that is not 0 gives a 32-bit picture");
        ASSERT_TRUE(writePng(path("a.png"), shape, {0, 1}, 2));
        const ImageRecord r = loadPng(path("a.png"));
        ASSERT_EQ(r.bitsPerPixel, 32);
        expectBgr(r.row(0), 200, 100, 50);
        EXPECT_EQ(r.row(0)[3], 128);
        EXPECT_EQ(r.row(0)[7], 255);
    }
    {
        SCOPED_TRACE("with a background: entry 0 is blended over it");
        const png_color_16 background{1, 0, 0, 255, 0};  // index 1, blue
        shape.background = &background;
        ASSERT_TRUE(writePng(path("b.png"), shape, {0, 1}, 2));
        const ImageRecord r = loadPng(path("b.png"));
        ASSERT_EQ(r.bitsPerPixel, 8);
        EXPECT_EQ(r.transparentIndex, -1);
        expectBgr(r.entry(0), BlendOverBackground(200, 128, 0), BlendOverBackground(100, 128, 0),
                  BlendOverBackground(50, 128, 255));
        expectBgr(r.entry(1), 0, 0, 255);
        EXPECT_EQ(r.row(0)[1], 1);
    }
}

TEST_F(PngTest, ColourKeyShowsTheBackgroundOnlyWhenTheFileNamesOne)
{
    const png_color_16 rgbKey{0, 10, 20, 30, 0};
    const png_color_16 rgbBackground{0, 200, 201, 202, 0};
    const png_color_16 grayKey{0, 0, 0, 0, 255};
    const png_color_16 grayBackground{0, 77, 77, 77, 77};
    PngShape rgb;
    rgb.colourType = PNG_COLOR_TYPE_RGB;
    rgb.key = &rgbKey;
    PngShape gray;
    gray.colourType = PNG_COLOR_TYPE_GRAY;
    gray.key = &grayKey;
    const std::vector<png_byte> rgbRow = {10, 20, 30, 10, 20, 31};
    const std::vector<png_byte> grayRow = {255, 0};

    ASSERT_TRUE(writePng(path("rgb.png"), rgb, rgbRow, 2));
    ImageRecord r = loadPng(path("rgb.png"));
    expectBgr(r.row(0), 10, 20, 30);  // no background: the key is ignored
    rgb.background = &rgbBackground;
    ASSERT_TRUE(writePng(path("rgb_bg.png"), rgb, rgbRow, 2));
    r = loadPng(path("rgb_bg.png"));
    expectBgr(r.row(0), 200, 201, 202);
    expectBgr(r.row(0) + 3, 10, 20, 31);

    ASSERT_TRUE(writePng(path("gray.png"), gray, grayRow, 2));
    r = loadPng(path("gray.png"));
    expectBgr(r.entry(255), 255, 255, 255);
    gray.background = &grayBackground;
    ASSERT_TRUE(writePng(path("gray_bg.png"), gray, grayRow, 2));
    r = loadPng(path("gray_bg.png"));
    // The keyed level (white) shows the background; black stays black.
    expectBgr(r.entry(255), 77, 77, 77);
    expectBgr(r.entry(0), 0, 0, 0);
    EXPECT_EQ(r.row(0)[0], 255);
}

// ------------------------------------------------------------ damaged and hostile files

TEST_F(PngTest, BadFilesFailWithTheirCodeAndFreeTheRecord)
{
    const std::vector<std::uint8_t> good = readBytes(fixture("rgb_interlaced.png"));
    std::vector<std::uint8_t> cut(good.begin(), good.begin() + good.size() / 2 + 20);
    writeBytes(path("cut.png"), cut);
    std::vector<std::uint8_t> badCrc = good;
    badCrc[17] ^= 1;  // inside IHDR's width
    writeBytes(path("crc.png"), badCrc);
    // A 100000 x 100000 picture declared in a file of two hundred bytes.
    std::vector<std::uint8_t> bomb = good;
    putBe32(bomb, 16, 100000);
    putBe32(bomb, 20, 100000);
    putBe32(bomb, 29, static_cast<std::uint32_t>(crc32(0, bomb.data() + 12, 17)));
    writeBytes(path("bomb.png"), bomb);
    writeBytes(path("text.png"), {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g', '!'});

    const std::pair<std::string, int> cases[] = {
        {path("cut.png"), kImageCorrupted},
        {path("crc.png"), kImageCorrupted},
        {path("bomb.png"), kImageBadSize},
        {path("text.png"), kImageUnsupportedOption},
        {path("missing.png"), kImageCannotOpen},
    };
    for (const auto& [file, code] : cases) {
        const ImageRecord r = loadPng(file, code);
        EXPECT_FALSE(r.hasPixels());
        EXPECT_EQ(r.width, 0u);
    }
    EXPECT_EQ(LoadPngFile(fixture("gray2.png"), nullptr), kImageNullRecord);
}

TEST_F(PngTest, WriterRefusesRecordsItCannotRead)
{
    ImageRecord r = variedRecord(4, 4, 24);
    r.pixels.resize(10);  // shorter than its rows
    EXPECT_EQ(SavePngFile(path("short.png"), r), kImageNullRecord);
    EXPECT_EQ(SavePngFile((dir.path() / "no" / "such" / "dir.png").string(), variedRecord(2, 2, 8)), kImageCannotOpen);
}

TEST_F(PngTest, LibraryEntriesSaveAndLoadPng)
{
    platform::Bitmap bitmap(7, 3, 24);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 21; ++x)
            bitmap.row(y)[x] = static_cast<std::uint8_t>(x * 11 + y * 50);
    ASSERT_EQ(SaveBitmapToImage(&bitmap, path("bitmap.PNG"), nullptr), kImageNoError);
    const std::unique_ptr<platform::Bitmap> loaded = LoadImageToBitmap(path("bitmap.PNG"), nullptr, kAlphaKeep);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->bits(), bitmap.bits());
}

}  // namespace
