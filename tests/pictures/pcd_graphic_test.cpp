// TPCDGraphic: the Photo-CD base image, PhotoYCC to RGB.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "class_test_support.h"
#include "pictures/pcd_graphic.h"

using namespace picturetest;

namespace {

constexpr std::size_t kBase = 0x30000;

// An image pack whose base image is neutral gray Y = 100 except the 2 x 2 block
// at (10, 4): luma 90, 120 / 150, 60 with chroma C1 = 200, C2 = 100.
ByteVector pcdFile()
{
    ByteVector f(kBase + 2304 * 256, 0);
    std::memcpy(f.data() + 0x800, "PCD_IPI", 7);
    for (int pair = 0; pair < 256; ++pair) {
        std::uint8_t* p = f.data() + kBase + 2304 * pair;
        std::memset(p, 100, 1536);
        std::memset(p + 1536, 156, 384);
        std::memset(p + 1920, 137, 384);
    }
    std::uint8_t* p = f.data() + kBase + 2304 * 2;  // rows 4 and 5
    p[10] = 90, p[11] = 120, p[768 + 10] = 150, p[768 + 11] = 60;
    p[1536 + 5] = 200;
    p[1920 + 5] = 100;
    return f;
}

int level(double v)
{
    return static_cast<int>(std::lround(std::min(255.0, std::max(0.0, v))));
}

}  // namespace

TEST(TPCDGraphic, BaseImageInPhotoYcc)
{
    const ByteVector file = pcdFile();
    const auto cls = pictures::makeTPCDGraphic();
    ASSERT_TRUE(cls->canLoad(pictures::Bytes(file.data(), file.size())));
    const auto picture = cls->load(pictures::Bytes(file.data(), file.size()), "");
    const auto& b = picture.bitmap;
    ASSERT_EQ(b.width(), 768);
    ASSERT_EQ(b.height(), 512);
    // Neutral: R = G = B = 1.3584 Y.
    EXPECT_EQ(rgbaAt(b, 0, 0), (std::array<int, 4>{136, 136, 136, 255}));
    EXPECT_EQ(rgbaAt(b, 767, 511), (std::array<int, 4>{136, 136, 136, 255}));
    // The four pixels share one chroma pair: C1' = 2.2179 * 44, C2' = 1.8215 * -37.
    const double cb = 2.2179 * 44, cr = 1.8215 * -37;
    const struct {
        int x, y, luma;
    } block[] = {{10, 4, 90}, {11, 4, 120}, {10, 5, 150}, {11, 5, 60}};
    for (const auto& p : block) {
        const double y = 1.3584 * p.luma;
        EXPECT_EQ(rgbaAt(b, p.x, p.y),
                  (std::array<int, 4>{level(y + cr), level(y - 0.194 * cb - 0.509 * cr), level(y + cb), 255}))
            << p.x << "," << p.y;
    }
    EXPECT_EQ(rgbaAt(b, 12, 4), (std::array<int, 4>{136, 136, 136, 255}));
    EXPECT_TRUE(picture.problems.empty());
}

TEST(TPCDGraphic, RefusalsAndCutFiles)
{
    const auto cls = pictures::makeTPCDGraphic();
    ByteVector file = pcdFile();
    const ByteVector whole = file;
    file.resize(kBase + 1000);
    EXPECT_EQ(loadError(*cls, file), "Stream read error in PCD file.");
    file.assign(4096, 0);
    EXPECT_EQ(loadError(*cls, file), "Cannot load image. Invalid or unexpected PCD image format.");
    // Cuts every 4099 bytes and around the signature and the end.
    for (std::size_t n : {std::size_t{0}, std::size_t{0x800}, std::size_t{0x806}, whole.size() - 1})
        EXPECT_FALSE(loadError(*cls, ByteVector(whole.begin(), whole.begin() + n)).empty()) << n;
    for (std::size_t n = 0; n < whole.size(); n += 4099)
        EXPECT_FALSE(loadError(*cls, ByteVector(whole.begin(), whole.begin() + n)).empty()) << n;
}
