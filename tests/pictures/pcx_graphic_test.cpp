// TPCXGraphic: four-colour CGA pictures, with the colour registers or with
// red, green, blue triples in the header palette.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/picture_classes.h"

using namespace picturetest;

namespace {

// A 2-bit one-plane picture 6 pixels wide, 2 rows, pixel values x % 4 in
// the top row and 3 - x % 4 in the bottom one, run-length encoded.
ByteVector cgaFile(std::uint8_t background, std::uint8_t paletteBits)
{
    ByteVector f(128, 0);
    f[0] = 10, f[1] = 5, f[2] = 1, f[3] = 2;
    put16(f, 8, 5);  // x maximum
    put16(f, 10, 1);  // y maximum
    f[16] = static_cast<std::uint8_t>(background << 4);
    f[19] = paletteBits;
    f[65] = 1;
    put16(f, 66, 2);
    put16(f, 68, 1);
    // Top row 0 1 2 3 | 0 1 (padding 0): 0x1B, 0x10; bottom row 3 2 1 0 | 3 2: 0xE4, 0xE0.
    for (std::uint8_t b : {0x1B, 0xC1, 0x10, 0xC1, 0xE4, 0xC1, 0xE0})
        f.push_back(b);
    return f;
}

TEST(TPCXGraphic, CgaColourRegistersFromTheHeader)
{
    const auto pcx = pictures::makePcxGraphic();
    using Colour = std::array<int, 4>;
    struct Case {
        std::uint8_t background, bits;
        Colour colours[4];
    };
    const Case cases[] = {
        // Blue background; green, red, brown.
        {1, 0x00, {{0, 0, 170, 255}, {0, 170, 0, 255}, {170, 0, 0, 255}, {170, 85, 0, 255}}},
        // Bright: light green, light red, yellow.
        {0, 0x20, {{0, 0, 0, 255}, {85, 255, 85, 255}, {255, 85, 85, 255}, {255, 255, 85, 255}}},
        // Cyan, magenta, light gray on white.
        {15, 0x40, {{255, 255, 255, 255}, {0, 170, 170, 255}, {170, 0, 170, 255}, {170, 170, 170, 255}}},
        // Colour burst off: cyan, red, light gray; bright.
        {0, 0xA0, {{0, 0, 0, 255}, {85, 255, 255, 255}, {255, 85, 85, 255}, {255, 255, 255, 255}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.bits));
        const ByteVector file = cgaFile(c.background, c.bits);
        const platform::Bitmap b = pcx->load(file, "").bitmap;
        ASSERT_EQ(b.width(), 6);
        ASSERT_EQ(b.height(), 2);
        for (int x = 0; x < 6; ++x) {
            EXPECT_EQ(rgbaAt(b, x, 0), c.colours[x % 4]) << x;
            EXPECT_EQ(rgbaAt(b, x, 1), c.colours[3 - x % 4]) << x;
        }
    }
    const ByteVector file = cgaFile(1, 0);
    expectTruncationsHandled(*pcx, file, file.size());
    expectDamageHandled(*pcx, file, file.size());
}

TEST(TPCXGraphic, CgaColoursAsTriples)
{
    // Written by netpbm with the four colours as red, green, blue in the header.
    const auto pcx = pictures::makePcxGraphic();
    const ByteVector file = readData("pcx/cga_rgb_header.pcx");
    EXPECT_EQ(pcx->readProperties(file).bitsPerSample, 2);
    expectPixels(pcx->load(file, "").bitmap, readData("pcx/cga_rgb_header.rgb.raw"), 3);
}

}  // namespace
