// TRLAGraphic: RLA/RPF scanlines of 8- and 16-bit channels with matte.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/rla_graphic.h"

using namespace picturetest;

namespace {

struct RlaShape {
    int width = 5, height = 3;
    int colour = 3, matte = 0, aux = 0;
    int bits = 8, matteBits = 8;
};

// Sample (channel c, x, y from the bottom) of the test pictures.
unsigned sample(int c, int x, int y, int bits)
{
    const unsigned v = (x < 2 ? 40u : 40u + x * 30 + y * 7) + c * 20;  // a run of 2, then literals
    return bits == 16 ? v * 257 + c : v;
}

// Runs while the value repeats, literals otherwise, one byte plane after the other.
ByteVector encodeChannel(const std::vector<unsigned>& values, int bits)
{
    ByteVector data;
    for (int plane = bits == 16 ? 1 : 0; plane >= 0; --plane) {
        std::vector<std::uint8_t> b;
        for (unsigned v : values)
            b.push_back((v >> (8 * plane)) & 0xFF);
        for (std::size_t i = 0; i < b.size();) {
            std::size_t run = 1;
            while (i + run < b.size() && b[i + run] == b[i] && run < 128)
                ++run;
            if (run > 1) {
                data.push_back(std::uint8_t(run - 1));
                data.push_back(b[i]);
                i += run;
                continue;
            }
            std::size_t lit = 1;
            while (i + lit < b.size() && lit < 128 && !(i + lit + 1 < b.size() && b[i + lit] == b[i + lit + 1]))
                ++lit;
            data.push_back(std::uint8_t(-static_cast<int>(lit)));
            data.insert(data.end(), b.begin() + i, b.begin() + i + lit);
            i += lit;
        }
    }
    ByteVector out;
    appendBe16(out, data.size());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

ByteVector rlaFile(const RlaShape& s)
{
    ByteVector f(740, 0);
    auto be16 = [&](std::size_t at, int v) { f[at] = (v >> 8) & 0xFF; f[at + 1] = v & 0xFF; };
    for (int w = 0; w < 2; ++w) {  // window and active window
        be16(8 * w + 0, 10);
        be16(8 * w + 2, 10 + s.width - 1);
        be16(8 * w + 4, 0);
        be16(8 * w + 6, s.height - 1);
    }
    be16(20, s.colour);
    be16(22, s.matte);
    be16(24, s.aux);
    be16(26, 0xFFFE);
    be16(658, s.bits);
    be16(662, s.matteBits);
    be16(666, 8);
    ByteVector lines;
    std::vector<std::uint32_t> offsets;
    for (int y = 0; y < s.height; ++y) {
        offsets.push_back(740 + 4 * s.height + lines.size());
        for (int c = 0; c < s.colour + s.matte + s.aux; ++c) {
            const int bits = c < s.colour ? s.bits : c < s.colour + s.matte ? s.matteBits : 8;
            std::vector<unsigned> v;
            for (int x = 0; x < s.width; ++x)
                v.push_back(sample(c, x, y, bits));
            const ByteVector enc = encodeChannel(v, bits);
            lines.insert(lines.end(), enc.begin(), enc.end());
        }
    }
    for (std::uint32_t o : offsets)
        appendBe32(f, o);
    f.insert(f.end(), lines.begin(), lines.end());
    return f;
}

}  // namespace

TEST(TRLAGraphic, ChannelsMattesAndDepths)
{
    const struct {
        const char* name;
        RlaShape shape;
    } cases[] = {
        {"RGB 8", {5, 3, 3, 0, 0, 8, 8}},
        {"RGB 8 + matte + aux", {5, 3, 3, 1, 1, 8, 8}},
        {"RGB 16 + matte 16", {5, 3, 3, 1, 0, 16, 16}},
        {"gray 8 + matte", {5, 3, 1, 1, 0, 8, 8}},
    };
    const auto cls = pictures::makeTRLAGraphic();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RlaShape& s = c.shape;
        const ByteVector file = rlaFile(s);
        ASSERT_TRUE(cls->canLoad(pictures::Bytes(file.data(), file.size())));
        const auto picture = cls->load(pictures::Bytes(file.data(), file.size()), "");
        const auto& b = picture.bitmap;
        ASSERT_EQ(b.width(), s.width);
        ASSERT_EQ(b.height(), s.height);
        EXPECT_EQ(b.bitsPerPixel(), s.matte ? 32 : 24);
        for (int y = 0; y < s.height; ++y)
            for (int x = 0; x < s.width; ++x) {
                const auto px = rgbaAt(b, x, s.height - 1 - y);
                const auto level = [&](int ch) { return int(sample(ch, x, y, 8)); };
                for (int k = 0; k < 3; ++k)
                    EXPECT_EQ(px[k], level(s.colour == 1 ? 0 : k)) << x << "," << y;
                EXPECT_EQ(px[3], s.matte ? level(s.colour) : 255);
            }
        // Auxiliary records at the end are not needed for the picture.
        expectTruncationsHandled(*cls, file, s.aux ? 740 + 4 * s.height : file.size());
        expectDamageHandled(*cls, file, 800);

    }
}

TEST(TRLAGraphic, Refusals)
{
    const auto cls = pictures::makeTRLAGraphic();
    RlaShape s;
    s.bits = 32;
    EXPECT_EQ(loadError(*cls, rlaFile(s)),
              "Cannot load image. 32 bits per channel not supported for RLA files.");
    s = RlaShape{};
    s.colour = 2;
    EXPECT_EQ(loadError(*cls, rlaFile(s)), "Invalid color format in RLA file.");
    EXPECT_EQ(loadError(*cls, ByteVector(800, 0)), "Cannot load image. Invalid or unexpected RLA image format.");
    ByteVector bad = rlaFile(RlaShape{});
    bad[740 + 12 + 2] = 0x7F;  // first run of the first channel overruns the row
    EXPECT_EQ(loadError(*cls, bad), "Cannot load image. Compression error found in RLA file.");
}
