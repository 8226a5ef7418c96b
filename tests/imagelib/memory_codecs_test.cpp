#include <gtest/gtest.h>

#include <cmath>

#include "imagelib/memory_codecs.h"

using namespace imagelib;

namespace {

std::vector<std::uint8_t> rgbPattern(int w, int h)
{
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < px.size(); ++i)
        px[i] = static_cast<std::uint8_t>(i * 37 % 251);
    return px;
}

using Decoder = DecodedPicture (*)(const std::uint8_t*, std::size_t);

TEST(MemoryCodecs, LosslessRoundTripsKeepColourPixels)
{
    const std::vector<std::uint8_t> px = rgbPattern(33, 17);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        Decoder decode;
    };
    const Case cases[] = {
        {"png", encodePngBytes(px.data(), 33, 17, 3), decodePngBytes},
        {"jp2", encodeJpeg2000Bytes(px.data(), 33, 17, 3, true), decodeJpeg2000Bytes},
        {"j2k", encodeJpeg2000Bytes(px.data(), 33, 17, 3, false), decodeJpeg2000Bytes},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.bytes.empty()) << c.name;
        const DecodedPicture d = c.decode(c.bytes.data(), c.bytes.size());
        ASSERT_EQ(d.error, "") << c.name;
        ASSERT_EQ(d.bitmap.width(), 33);
        ASSERT_EQ(d.bitmap.height(), 17);
        EXPECT_EQ(d.channels, 3);
        // Display bitmaps hold B,G,R; the source R,G,B, top row first.
        for (int y : {0, 16})
            for (int x : {0, 5, 32}) {
                const std::uint8_t* p = d.bitmap.topRow(y) + 3 * x;
                const std::uint8_t* s = px.data() + (static_cast<std::size_t>(y) * 33 + x) * 3;
                EXPECT_EQ((std::vector<int>{p[2], p[1], p[0]}), (std::vector<int>{s[0], s[1], s[2]})) << c.name;
            }
    }
    const std::vector<std::uint8_t> jpeg = encodeJpegBytes(px.data(), 33, 17, 3, 95, 600);
    const DecodedPicture d = decodeJpegBytes(jpeg.data(), jpeg.size());
    EXPECT_EQ(d.error, "");
    EXPECT_EQ(d.ppi, 600);
    EXPECT_EQ(d.bitmap.width(), 33);
}

// Cut or damaged pictures give an error and no pixels, never a read past
// their bytes (the sanitizer build watches).
TEST(MemoryCodecs, DamagedPicturesFailCleanly)
{
    const std::vector<std::uint8_t> px = rgbPattern(40, 40);
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        Decoder decode;
    };
    const Case cases[] = {
        {"png", encodePngBytes(px.data(), 40, 40, 3), decodePngBytes},
        {"jpeg", encodeJpegBytes(px.data(), 40, 40, 3, 90, 0), decodeJpegBytes},
        {"jp2", encodeJpeg2000Bytes(px.data(), 40, 40, 3, true), decodeJpeg2000Bytes},
    };
    for (const Case& c : cases) {
        for (std::size_t keep : {std::size_t{0}, std::size_t{3}, std::size_t{12}, c.bytes.size() / 3}) {
            std::vector<std::uint8_t> cut(c.bytes.begin(), c.bytes.begin() + static_cast<std::ptrdiff_t>(keep));
            const DecodedPicture d = c.decode(cut.data(), cut.size());
            EXPECT_NE(d.error, "") << c.name << " cut to " << keep;
            EXPECT_TRUE(d.bitmap.empty()) << c.name << " cut to " << keep;
        }
    }
    std::vector<std::uint8_t> noise(500);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = static_cast<std::uint8_t>(i * 101 % 256);
    for (Decoder decode : {decodePngBytes, decodeJpegBytes, decodeJpeg2000Bytes})
        EXPECT_NE(decode(noise.data(), noise.size()).error, "");
}

}  // namespace
