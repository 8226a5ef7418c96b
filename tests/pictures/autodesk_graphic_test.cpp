// TAutodeskGraphic: Animator cels and pictures through the library's reader.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/autodesk_graphic.h"

using namespace picturetest;

namespace {

// A 3 x 2 cel: entry i = (i, 2i, 63 - i) in 6-bit levels; pixels 0..5 top first.
ByteVector animatorCel()
{
    ByteVector f(32, 0);
    put16(f, 0, 0x9119);
    put16(f, 2, 3);
    put16(f, 4, 2);
    f[10] = 8;
    for (int i = 0; i < 256; ++i)
        f.insert(f.end(), {std::uint8_t(i % 64), std::uint8_t((2 * i) % 64), std::uint8_t(63 - i % 64)});
    for (std::uint8_t p = 0; p < 6; ++p)
        f.push_back(p);
    return f;
}

}  // namespace

TEST(TAutodeskGraphic, CelPixelsAndPalette)
{
    const auto cls = pictures::makeTAutodeskGraphic();
    const ByteVector cel = animatorCel();
    ASSERT_TRUE(cls->canLoad(pictures::Bytes(cel.data(), cel.size())));
    const auto props = cls->readProperties(pictures::Bytes(cel.data(), cel.size()));
    EXPECT_EQ(props.width, 3);
    EXPECT_EQ(props.height, 2);
    const auto b = cls->load(pictures::Bytes(cel.data(), cel.size()), "x.pic").bitmap;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            const int i = y * 3 + x;
            EXPECT_EQ(rgbaAt(b, x, y), (std::array<int, 4>{i * 4, i * 8, (63 - i) * 4, 255}));
        }
    expectTruncationsHandled(*cls, cel, cel.size());
}

TEST(TAutodeskGraphic, Refusals)
{
    const auto cls = pictures::makeTAutodeskGraphic();
    ByteVector cel = animatorCel();
    EXPECT_EQ(loadError(*cls, ByteVector(40, 1)), "Cannot load image. Invalid or unexpected Autodesk image format.");
    cel[10] = 4;  // only 8-bit cels exist
    EXPECT_EQ(loadError(*cls, cel), "Cannot load image. Invalid or unexpected Autodesk image format.");
    cel = animatorCel();
    cel.resize(cel.size() - 1);
    EXPECT_EQ(loadError(*cls, cel), "Stream read error in Autodesk file.");
}
