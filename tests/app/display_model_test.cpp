// The viewer's pixel work without Qt: depth conversion to 24 bits and the
// nearest-neighbour stretch.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "viewer/bitmap_depth.h"
#include "viewer/stretch.h"

namespace {

// B, G, R of pixel (x, y), y counted from the top.
std::vector<int> bgrAt(const platform::Bitmap& b, int x, int y)
{
    const std::uint8_t* p = b.topRow(y) + 3 * x;
    return {p[0], p[1], p[2]};
}

// A 24-bit bitmap whose pixel (x, y from the top) is (x, y, 7) as B, G, R.
platform::Bitmap coordinateBitmap(int width, int height)
{
    platform::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = b.topRow(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 7;
        }
    return b;
}

}  // namespace

TEST(BitmapDepth, EveryDepthBecomesTheSame24BitPicture)
{
    // A 3 x 2 picture: top row red, green, blue; bottom row white, black, red.
    const platform::RgbQuad red{0, 0, 255}, green{0, 255, 0}, blue{255, 0, 0}, white{255, 255, 255}, black{};
    const std::vector<std::vector<int>> expected = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0},
                                                    {255, 255, 255}, {0, 0, 0}, {0, 0, 255}};
    auto check = [&](const platform::Bitmap& b, const char* what) {
        const platform::Bitmap out = viewer::convertTo24Bit(b);
        ASSERT_EQ(out.bitsPerPixel(), 24) << what;
        ASSERT_EQ(out.width(), 3);
        ASSERT_EQ(out.height(), 2);
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(bgrAt(out, i % 3, i / 3), expected[i]) << what << " pixel " << i;
    };
    const int indices[6] = {0, 1, 2, 3, 4, 0};  // top row first
    for (int depth : {4, 8}) {
        platform::Bitmap b(3, 2, depth);
        b.palette()[0] = red;
        b.palette()[1] = green;
        b.palette()[2] = blue;
        b.palette()[3] = white;
        b.palette()[4] = black;
        for (int i = 0; i < 6; ++i) {
            std::uint8_t* row = b.topRow(i / 3);
            const int x = i % 3;
            if (depth == 8)
                row[x] = static_cast<std::uint8_t>(indices[i]);
            else
                row[x / 2] |= static_cast<std::uint8_t>(indices[i] << (x % 2 == 0 ? 4 : 0));
        }
        check(b, depth == 8 ? "8-bit" : "4-bit");
    }
    platform::Bitmap b16(3, 2, 16), b32(3, 2, 32);
    const std::uint16_t words[6] = {0x7C00, 0x03E0, 0x001F, 0x7FFF, 0x0000, 0x7C00};
    for (int i = 0; i < 6; ++i) {
        std::uint8_t* p16 = b16.topRow(i / 3) + 2 * (i % 3);
        p16[0] = static_cast<std::uint8_t>(words[i] & 0xFF);
        p16[1] = static_cast<std::uint8_t>(words[i] >> 8);
        std::uint8_t* p32 = b32.topRow(i / 3) + 4 * (i % 3);
        for (int k = 0; k < 3; ++k)
            p32[k] = static_cast<std::uint8_t>(expected[i][k]);
        p32[3] = 0x80;  // alpha is dropped
    }
    check(b16, "16-bit");
    check(b32, "32-bit");
}

TEST(BitmapDepth, OneBitAndAShortPaletteStayInBounds)
{
    platform::Bitmap b(10, 1, 1);
    b.palette()[0] = {0, 0, 0};
    b.palette()[1] = {255, 255, 255};
    b.row(0)[0] = 0x80;  // first pixel set
    b.row(0)[1] = 0x40;  // tenth pixel set
    platform::Bitmap out = viewer::convertTo24Bit(b);
    EXPECT_EQ(bgrAt(out, 0, 0), (std::vector<int>{255, 255, 255}));
    EXPECT_EQ(bgrAt(out, 1, 0), (std::vector<int>{0, 0, 0}));
    EXPECT_EQ(bgrAt(out, 9, 0), (std::vector<int>{255, 255, 255}));

    // Indices past a palette that was cut short show black.
    platform::Bitmap shortPalette(2, 1, 8);
    shortPalette.palette().resize(1);
    shortPalette.palette()[0] = {9, 9, 9};
    shortPalette.row(0)[0] = 0;
    shortPalette.row(0)[1] = 200;
    out = viewer::convertTo24Bit(shortPalette);
    EXPECT_EQ(bgrAt(out, 0, 0), (std::vector<int>{9, 9, 9}));
    EXPECT_EQ(bgrAt(out, 1, 0), (std::vector<int>{0, 0, 0}));
}

TEST(Stretch, RepeatsOrDropsRowsAndColumnsTopRowFirst)
{
    const platform::Bitmap source = coordinateBitmap(4, 3);
    auto stretched = [&](int w, int h) {
        std::vector<std::uint32_t> out(static_cast<std::size_t>(w * h), 0);
        viewer::stretch24ToRgb32(source, w, h, out.data(), static_cast<std::size_t>(w));
        return out;
    };
    // Twice the size: every pixel becomes a 2 x 2 block.
    const auto big = stretched(8, 6);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(big[static_cast<std::size_t>(y * 8 + x)], 0xFF070000u | ((y / 2) << 8) | (x / 2))
                << x << "," << y;
    // Half the width, one row: columns 0 and 2 of the top row.
    const auto small = stretched(2, 1);
    EXPECT_EQ(small, (std::vector<std::uint32_t>{0xFF070000u, 0xFF070002u}));
    // A destination stride wider than the row leaves the padding alone.
    std::vector<std::uint32_t> padded(2 * 5, 0xDEADBEEF);
    viewer::stretch24ToRgb32(source, 4, 2, padded.data(), 5);
    EXPECT_EQ(padded[4], 0xDEADBEEFu);
    EXPECT_EQ(padded[5], 0xFF070100u);  // second output row shows source row 1 (3 rows into 2)
    // Empty sides or a source of another depth write nothing.
    std::vector<std::uint32_t> untouched(4, 1);
    viewer::stretch24ToRgb32(source, 0, 4, untouched.data(), 1);
    viewer::stretch24ToRgb32(platform::Bitmap(2, 2, 8), 2, 2, untouched.data(), 2);
    EXPECT_EQ(untouched, (std::vector<std::uint32_t>{1, 1, 1, 1}));
}
