// TBitmap: the Windows bitmap variants real files use.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/platform_bitmap.h"

using namespace picturetest;

namespace {

struct BmpShape {
    std::uint32_t headerSize = 40;
    int width = 4;
    int height = 3;  // negative: top-down
    int bpp = 24;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
    std::array<std::uint32_t, 4> masks{};  // written into headers of 52 bytes and more
    ByteVector table;                      // palette or masks after the header
    ByteVector bits;
};

ByteVector makeBmp(const BmpShape& s, bool fileHeader = true)
{
    ByteVector info(s.headerSize, 0);
    put32(info, 0, s.headerSize);
    if (s.headerSize == 12) {
        put16(info, 4, s.width);
        put16(info, 6, s.height);
        put16(info, 8, 1);
        put16(info, 10, s.bpp);
    } else {
        put32(info, 4, s.width);
        put32(info, 8, static_cast<std::uint32_t>(s.height));
        put16(info, 12, 1);
        put16(info, 14, s.bpp);
        if (s.headerSize >= 20)
            put32(info, 16, s.compression);
        if (s.headerSize >= 36)
            put32(info, 32, s.coloursUsed);
        if (s.headerSize >= 52)
            for (int i = 0; i < (s.headerSize >= 56 ? 4 : 3); ++i)
                put32(info, 40 + 4 * i, s.masks[i]);
    }
    ByteVector out;
    if (fileHeader) {
        out = {'B', 'M'};
        append32(out, 14 + info.size() + s.table.size() + s.bits.size());
        append32(out, 0);
        append32(out, 14 + info.size() + s.table.size());
    }
    out.insert(out.end(), info.begin(), info.end());
    out.insert(out.end(), s.table.begin(), s.table.end());
    out.insert(out.end(), s.bits.begin(), s.bits.end());
    return out;
}

// 24-bit rows of a 4 x 3 picture, bottom row first; pixel (x, y from the top)
// = (x * 60, y * 100, 255 - x * 20).
ByteVector rows24(bool topDown)
{
    ByteVector bits;
    for (int r = 0; r < 3; ++r) {
        const int y = topDown ? r : 2 - r;
        for (int x = 0; x < 4; ++x)
            bits.insert(bits.end(), {std::uint8_t(255 - x * 20), std::uint8_t(y * 100), std::uint8_t(x * 60)});
    }
    return bits;  // 12 bytes a row: no padding needed
}

void expectPattern(const platform::Bitmap& b)
{
    ASSERT_EQ(b.width(), 4);
    ASSERT_EQ(b.height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(rgbaAt(b, x, y), (std::array<int, 4>{x * 60, y * 100, 255 - x * 20, 255})) << x << "," << y;
}

pictures::LoadedPicture loadBytes(const ByteVector& file)
{
    return pictures::makeTBitmap()->load(pictures::Bytes(file.data(), file.size()), "");
}

}  // namespace

TEST(TBitmap, FilesWrittenByOtherProgramsMatchTheirReading)
{
    const struct {
        const char* name;
        int tolerance;
    } files[] = {{"bf565", 1}, {"v5_rgba", 0}, {"os2_24", 0}, {"os2_pal8", 0}, {"rle8", 0}};
    const auto cls = pictures::makeTBitmap();
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const ByteVector file = readData(std::string("bmp_platform/") + f.name + ".bmp");
        ASSERT_TRUE(cls->canLoad(pictures::Bytes(file.data(), file.size())));
        const auto picture = loadBytes(file);
        expectPixels(picture.bitmap, readData(std::string("bmp_platform/") + f.name + ".rawa"), 4, f.tolerance);
        EXPECT_TRUE(picture.problems.empty());
        expectTruncationsHandled(*cls, file, 26);
    }
}

TEST(TBitmap, EveryHeaderLayoutAndRowOrder)
{
    // OS/2 1.x (12), OS/2 2.x (16 and 64), Windows 40, V2 (52), V3 (56), V4 (108), V5 (124).
    for (const std::uint32_t size : {12u, 16u, 40u, 52u, 56u, 64u, 108u, 124u}) {
        for (const bool topDown : {false, true}) {
            if (size == 12 && topDown)
                continue;  // OS/2 1.x heights are unsigned
            SCOPED_TRACE(testing::Message() << size << (topDown ? " top-down" : ""));
            BmpShape s;
            s.headerSize = size;
            s.height = topDown ? -3 : 3;
            s.bits = rows24(topDown);
            expectPattern(loadBytes(makeBmp(s)).bitmap);
        }
    }
    // A packed bitmap, as .dib files and the clipboard hold it.
    BmpShape s;
    s.bits = rows24(false);
    const ByteVector packed = makeBmp(s, false);
    EXPECT_TRUE(pictures::makeTBitmap()->canLoad(pictures::Bytes(packed.data(), packed.size())));
    expectPattern(loadBytes(packed).bitmap);
}

TEST(TBitmap, RunLengthCodesWithDeltaAndEndOfLine)
{
    // 6 x 4, palette 0 red, 1 green, 2 blue, 3 white. Rows from the bottom:
    // row 0: run of 4 x index 1, end of line (two pixels skipped)
    // row 1: absolute 3 pixels 2,3,2; delta (+1, +1) to (4, 2)
    // row 2: from x 4: run of 2 x index 0; end of line
    // row 3: nothing: end of bitmap
    const ByteVector palette = {0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0};
    BmpShape rle8;
    rle8.width = 6;
    rle8.height = 4;
    rle8.bpp = 8;
    rle8.compression = 1;
    rle8.coloursUsed = 4;
    rle8.table = palette;
    rle8.bits = {4, 1, 0, 0, 0, 3, 2, 3, 2, 0, 0, 2, 1, 1, 2, 0, 0, 0, 0, 1};
    BmpShape rle4 = rle8;
    rle4.bpp = 4;
    rle4.compression = 2;
    rle4.bits = {4, 0x11, 0, 0, 0, 3, 0x23, 0x20, 0, 2, 1, 1, 2, 0x00, 0, 0, 0, 1};
    for (const BmpShape& s : {rle8, rle4}) {
        SCOPED_TRACE(s.bpp);
        const auto b = loadBytes(makeBmp(s)).bitmap;
        ASSERT_EQ(b.bitsPerPixel(), 32);
        const std::array<int, 4> red{255, 0, 0, 255}, green{0, 255, 0, 255}, blue{0, 0, 255, 255},
            white{255, 255, 255, 255}, clear{0, 0, 0, 0};
        const std::array<int, 4> expected[4][6] = {
            {clear, clear, clear, clear, clear, clear},  // top row: never written
            {clear, clear, clear, clear, red, red},
            {blue, white, blue, clear, clear, clear},
            {green, green, green, green, clear, clear},
        };
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(rgbaAt(b, x, y), expected[y][x]) << x << "," << y;
        expectTruncationsHandled(*pictures::makeTBitmap(), makeBmp(s), 54 + 16 + 4);
    }
}

TEST(TBitmap, BitFieldsOfAnyWidthAndTheFourthByte)
{
    // 2 x 1 pictures: (255, 0, 128) and (0, 255, 255) in each layout.
    struct Case {
        const char* name;
        int bpp;
        std::uint32_t compression, headerSize;
        std::array<std::uint32_t, 4> masks;
        std::array<std::uint32_t, 2> words;
        std::array<int, 4> first, second;
        int depth;
    };
    const Case cases[] = {
        {"5-6-5", 16, 3, 40, {0xF800, 0x07E0, 0x001F, 0}, {0xF810, 0x07FF}, {255, 0, 132, 255}, {0, 255, 255, 255}, 24},
        {"10-10-10", 32, 3, 40, {0x3FF00000, 0x000FFC00, 0x000003FF, 0}, {0x3FF00200, 0x000FFFFF},
         {255, 0, 128, 255}, {0, 255, 255, 255}, 24},
        {"V5 alpha", 32, 3, 124, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, {0x80FF0080, 0x0000FFFF},
         {255, 0, 128, 128}, {0, 255, 255, 0}, 32},
        {"V5 alpha unused", 32, 3, 124, {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000}, {0x00FF0080, 0x0000FFFF},
         {255, 0, 128, 255}, {0, 255, 255, 255}, 24},
        {"padding byte", 32, 0, 40, {}, {0x00FF0080, 0x0000FFFF}, {255, 0, 128, 255}, {0, 255, 255, 255}, 24},
        {"fourth byte alpha", 32, 0, 40, {}, {0x40FF0080, 0xFF00FFFF}, {255, 0, 128, 64}, {0, 255, 255, 255}, 32},
        {"5-5-5", 16, 0, 40, {}, {0x7C10, 0x03FF}, {255, 0, 132, 255}, {0, 255, 255, 255}, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BmpShape s;
        s.headerSize = c.headerSize;
        s.width = 2;
        s.height = 1;
        s.bpp = c.bpp;
        s.compression = c.compression;
        s.masks = c.masks;
        if (c.compression == 3 && c.headerSize == 40)
            for (int i = 0; i < 3; ++i)
                append32(s.table, c.masks[i]);
        for (const std::uint32_t w : c.words)
            c.bpp == 16 ? append16(s.bits, w) : append32(s.bits, w);
        const auto b = loadBytes(makeBmp(s)).bitmap;
        EXPECT_EQ(b.bitsPerPixel(), c.depth);
        EXPECT_EQ(rgbaAt(b, 0, 0), c.first);
        EXPECT_EQ(rgbaAt(b, 1, 0), c.second);
    }
}

TEST(TBitmap, PalettesShorterThanTheDepthAllows)
{
    // 8-bit, two entries, pixels start right after them; index 5 has no entry.
    BmpShape s;
    s.width = 3;
    s.height = 1;
    s.bpp = 8;
    s.coloursUsed = 2;
    s.table = {0, 0, 255, 0, 255, 0, 0, 0};
    s.bits = {1, 0, 5, 0};
    auto b = loadBytes(makeBmp(s)).bitmap;
    EXPECT_EQ(rgbaAt(b, 0, 0), (std::array<int, 4>{0, 0, 255, 255}));
    EXPECT_EQ(rgbaAt(b, 1, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(b, 2, 0), (std::array<int, 4>{0, 0, 0, 255}));
    // Colours used 0 but the pixel offset leaves room for only two entries.
    s.coloursUsed = 0;
    b = loadBytes(makeBmp(s)).bitmap;
    EXPECT_EQ(rgbaAt(b, 1, 0), (std::array<int, 4>{255, 0, 0, 255}));
    // 1-bit OS/2 1.x with three-byte entries.
    BmpShape os2;
    os2.headerSize = 12;
    os2.width = 9;
    os2.height = 1;
    os2.bpp = 1;
    os2.table = {0, 0, 0, 255, 255, 255};
    os2.bits = {0x80, 0x80, 0, 0};
    b = loadBytes(makeBmp(os2)).bitmap;
    EXPECT_EQ(rgbaAt(b, 0, 0), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(rgbaAt(b, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(b, 8, 0), (std::array<int, 4>{255, 255, 255, 255}));
}

TEST(TBitmap, RefusalsNameTheFormat)
{
    const auto cls = pictures::makeTBitmap();
    BmpShape jpeg;
    jpeg.compression = 4;
    jpeg.bits = rows24(false);
    BmpShape depth = jpeg;
    depth.compression = 0;
    depth.bpp = 7;
    BmpShape rle = jpeg;
    rle.compression = 1;  // RLE8 needs 8 bits
    BmpShape masks = jpeg;
    masks.bpp = 16;
    masks.compression = 3;
    masks.table = ByteVector(12, 0);
    BmpShape plain = jpeg;
    plain.compression = 0;
    const ByteVector whole = makeBmp(plain);
    const ByteVector png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0, 0, 1};
    const struct {
        ByteVector file;
        const char* text;
    } cases[] = {
        {png, "Cannot load image. Invalid or unexpected BMP image format."},
        {makeBmp(jpeg), "Cannot load image. JPEG compression not supported for BMP files."},
        {makeBmp(depth), "Invalid color format in BMP file."},
        {makeBmp(rle), "Invalid color format in BMP file."},
        {makeBmp(masks), "Invalid color format in BMP file."},
        {ByteVector(whole.begin(), whole.begin() + 30), "Stream read error in BMP file."},
        {ByteVector(whole.begin(), whole.end() - 1), "Stream read error in BMP file."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(loadError(*cls, c.file), c.text);
    EXPECT_FALSE(cls->canLoad(pictures::Bytes(png.data(), png.size())));
}
