// TIcon: every image of an icon or cursor, BMP or PNG inside, the largest shown.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/platform_icon.h"

using namespace picturetest;

namespace {

pictures::LoadedPicture loadIcon(const ByteVector& file)
{
    return pictures::makeTIcon()->load(pictures::Bytes(file.data(), file.size()), "");
}

ByteVector iconFile(unsigned type, const std::vector<ByteVector>& images)
{
    ByteVector out = {0, 0};
    append16(out, type);
    append16(out, images.size());
    std::uint32_t offset = 6 + 16 * images.size();
    for (const ByteVector& image : images) {
        out.insert(out.end(), {0, 0, 0, 0});
        append16(out, 1);
        append16(out, 32);
        append32(out, image.size());
        append32(out, offset);
        offset += image.size();
    }
    for (const ByteVector& image : images)
        out.insert(out.end(), image.begin(), image.end());
    return out;
}

// A 2 x 2 1-bit icon image: colours black and white, AND mask clearing the
// top-left pixel.
ByteVector monoImage()
{
    ByteVector d(40, 0);
    put32(d, 0, 40);
    put32(d, 4, 2);
    put32(d, 8, 4);
    put16(d, 12, 1);
    put16(d, 14, 1);
    d.insert(d.end(), {0, 0, 0, 0, 255, 255, 255, 0});
    d.insert(d.end(), {0x40, 0, 0, 0, 0x80, 0, 0, 0});  // rows from the bottom: (0,1) (1,0)
    d.insert(d.end(), {0x00, 0, 0, 0, 0x80, 0, 0, 0});  // mask: top-left transparent
    return d;
}

}  // namespace

TEST(TIcon, LargestImageWithItsMaskOrAlpha)
{
    const struct {
        const char* file;
        const char* reference;
        int width;
    } cases[] = {{"ico28.ico", "ico28_0.rawa", 28}, {"pal.ico", "pal.rawa", 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const ByteVector file = readData(std::string("ico_platform/") + c.file);
        const auto picture = loadIcon(file);
        EXPECT_EQ(picture.bitmap.width(), c.width);
        expectPixels(picture.bitmap, readData(std::string("ico_platform/") + c.reference), 4);
        EXPECT_TRUE(picture.problems.empty());
        expectTruncationsHandled(*pictures::makeTIcon(), file, 6 + 16 + 40);
    }
}

TEST(TIcon, PngInsideACursorAndAMonochromeMask)
{
    const ByteVector png = readData("ico_platform/ico28.png");
    const ByteVector cursor = iconFile(2, {monoImage(), png});
    const auto cls = pictures::makeTIcon();
    ASSERT_TRUE(cls->canLoad(pictures::Bytes(cursor.data(), cursor.size())));
    EXPECT_EQ(cls->readProperties(pictures::Bytes(cursor.data(), cursor.size())).width, 28);
    expectPixels(loadIcon(cursor).bitmap, readData("ico_platform/ico28_png.rawa"), 4);

    const auto mono = loadIcon(iconFile(1, {monoImage()})).bitmap;
    EXPECT_EQ(rgbaAt(mono, 0, 0), (std::array<int, 4>{255, 255, 255, 0}));
    EXPECT_EQ(rgbaAt(mono, 1, 0), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(mono, 0, 1), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(mono, 1, 1), (std::array<int, 4>{255, 255, 255, 255}));
}

TEST(TIcon, ABrokenImageIsListedAndTheOthersShown)
{
    ByteVector broken = monoImage();
    put16(broken, 14, 7);  // no such depth
    const auto picture = loadIcon(iconFile(1, {broken, monoImage()}));
    EXPECT_EQ(picture.bitmap.width(), 2);
    ASSERT_EQ(picture.problems.size(), 1u);
    EXPECT_EQ(picture.problems[0], "image 1 could not be read: Invalid color format in ICO file.");

    const auto cls = pictures::makeTIcon();
    EXPECT_EQ(loadError(*cls, iconFile(1, {broken})), "Invalid color format in ICO file.");
    EXPECT_EQ(loadError(*cls, {'B', 'M', 0, 0, 0, 0}), "Cannot load image. Invalid or unexpected ICO image format.");
    const ByteVector cut = iconFile(1, {monoImage()});
    EXPECT_EQ(loadError(*cls, ByteVector(cut.begin(), cut.begin() + 12)), "Stream read error in ICO file.");
}
