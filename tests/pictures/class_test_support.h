#pragma once
// Helpers of the picture class tests: file bytes, pixels as R,G,B,A whatever
// the bitmap depth, comparison with raw reference dumps and the truncation
// sweep every class must survive.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "pictures/picture_class.h"
#include "platform/bitmap.h"

namespace picturetest {

using ByteVector = std::vector<std::uint8_t>;

inline std::string dataPath(const std::string& name)
{
    return std::string(NV_TEST_DATA_DIR) + "/" + name;
}

inline ByteVector readData(const std::string& name)
{
    std::ifstream in(dataPath(name), std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return ByteVector(std::istreambuf_iterator<char>(in), {});
}

// Pixel (x, y) from the top left as R,G,B,A (alpha 255 below 32 bits).
inline std::array<int, 4> rgbaAt(const platform::Bitmap& b, int x, int y)
{
    const std::uint8_t* row = b.topRow(y);
    switch (b.bitsPerPixel()) {
    case 32: return {row[4 * x + 2], row[4 * x + 1], row[4 * x], row[4 * x + 3]};
    case 24: return {row[3 * x + 2], row[3 * x + 1], row[3 * x], 255};
    case 16: {
        const unsigned v = row[2 * x] | row[2 * x + 1] << 8;
        return {int((v >> 10) & 31) * 8, int((v >> 5) & 31) * 8, int(v & 31) * 8, 255};
    }
    default: {
        const int bpp = b.bitsPerPixel();
        const int bit = x * bpp;
        const unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        const platform::RgbQuad& q = b.palette().at(index);
        return {q.red, q.green, q.blue, 255};
    }
    }
}

// Compares with a dump of R,G,B,A (channels 4) or R,G,B (3) bytes, top row
// first; at most tolerance apart per channel.
inline void expectPixels(const platform::Bitmap& b, const ByteVector& raw, int channels, int tolerance = 0)
{
    ASSERT_EQ(raw.size(), std::size_t(b.width()) * b.height() * channels);
    int bad = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const auto got = rgbaAt(b, x, y);
            for (int c = 0; c < channels; ++c) {
                const int want = raw[(std::size_t(y) * b.width() + x) * channels + c];
                if (std::abs(got[c] - want) > tolerance && bad++ < 5)
                    ADD_FAILURE() << "pixel " << x << "," << y << " channel " << c << ": " << got[c] << " vs " << want;
            }
        }
}

// Every cut of the file either loads or fails with the class's own error; the
// cuts the test names must fail.
inline void expectTruncationsHandled(const pictures::PictureClass& cls, const ByteVector& file,
                                     std::size_t mustFailBelow, const std::string& sourceName = "")
{
    for (std::size_t n = 0; n < file.size(); ++n) {
        const pictures::Bytes cut(file.data(), n);
        bool failed = false;
        try {
            (void)cls.load(cut, sourceName);
        } catch (const pictures::PictureFormatError&) {
            failed = true;
        }
        if (n < mustFailBelow) {
            EXPECT_TRUE(failed) << "cut at " << n << " bytes loaded";
        }
        try {
            (void)cls.readProperties(cut);
        } catch (const pictures::PictureFormatError&) {
        }
    }
}

// Each of the first bytes of a good file set to 0, 0xFF or with its top bit
// flipped: the file either loads or fails with the class's own error (the
// sanitizer build watches the reads).
inline void expectDamageHandled(const pictures::PictureClass& cls, const ByteVector& good, std::size_t bytes)
{
    for (std::size_t at = 0; at < std::min(bytes, good.size()); ++at)
        for (int kind = 0; kind < 3; ++kind) {
            ByteVector file = good;
            file[at] = kind == 0 ? 0 : kind == 1 ? 0xFF : file[at] ^ 0x80;
            try {
                const auto picture = cls.load(pictures::Bytes(file.data(), file.size()), "");
                EXPECT_FALSE(picture.bitmap.empty()) << at;
            } catch (const pictures::PictureFormatError&) {
            }
            try {
                (void)cls.readProperties(pictures::Bytes(file.data(), file.size()));
            } catch (const pictures::PictureFormatError&) {
            }
        }
}

inline std::string loadError(const pictures::PictureClass& cls, const ByteVector& file, const std::string& source = "")
{
    try {
        (void)cls.load(pictures::Bytes(file.data(), file.size()), source);
    } catch (const pictures::PictureFormatError& e) {
        return e.what();
    }
    return "";
}

inline void put16(ByteVector& v, std::size_t at, unsigned x) { v[at] = x & 0xFF; v[at + 1] = (x >> 8) & 0xFF; }
inline void put32(ByteVector& v, std::size_t at, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v[at + i] = (x >> (8 * i)) & 0xFF;
}
inline void append16(ByteVector& v, unsigned x) { v.push_back(x & 0xFF); v.push_back((x >> 8) & 0xFF); }
inline void append32(ByteVector& v, std::uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back((x >> (8 * i)) & 0xFF);
}
inline void appendBe16(ByteVector& v, unsigned x) { v.push_back((x >> 8) & 0xFF); v.push_back(x & 0xFF); }
inline void appendBe32(ByteVector& v, std::uint32_t x)
{
    for (int i = 3; i >= 0; --i)
        v.push_back((x >> (8 * i)) & 0xFF);
}

}  // namespace picturetest
