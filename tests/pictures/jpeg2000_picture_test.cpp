#include <gtest/gtest.h>

#include "imagelib/memory_codecs.h"
#include "pictures/jpeg2000_picture.h"

namespace {

TEST(Jpeg2000Picture, LoadsFilesAndCodestreamsAndRefusesOthers)
{
    std::vector<std::uint8_t> gray(20 * 10);
    for (std::size_t i = 0; i < gray.size(); ++i)
        gray[i] = static_cast<std::uint8_t>(i);
    const auto picture = pictures::makeJpeg2000Picture();
    EXPECT_EQ(picture->className(), "TJPEG2000Graphic");
    for (bool jp2 : {true, false}) {
        const std::vector<std::uint8_t> bytes = imagelib::encodeJpeg2000Bytes(gray.data(), 20, 10, 1, jp2);
        ASSERT_TRUE(picture->canLoad(bytes));
        const pictures::PictureProperties p = picture->readProperties(bytes);
        EXPECT_EQ(p.width, 20);
        EXPECT_EQ(p.height, 10);
        EXPECT_EQ(p.colorScheme, "gray");
        const pictures::LoadedPicture loaded = picture->load(bytes, "");
        ASSERT_EQ(loaded.bitmap.width(), 20);
        EXPECT_EQ(loaded.bitmap.topRow(1)[3 * 5], 25);  // lossless
        const std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + 30);
        EXPECT_THROW(picture->load(cut, ""), pictures::PictureFormatError);
    }
    const std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_FALSE(picture->canLoad(png));
    EXPECT_THROW(picture->readProperties(png), pictures::PictureFormatError);
}

}  // namespace
