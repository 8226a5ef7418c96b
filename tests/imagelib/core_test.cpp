// The library core: record allocation, index packing, colour helpers, the
// extension dispatch, error texts and the conversions to and from bitmaps.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "imagelib/image_library.h"
#include "imagelib/image_record.h"
#include "test_support/temp_dir.h"

using namespace imagelib;

namespace {

ImageRecord paletted8(std::uint32_t width, std::uint32_t height, std::uint16_t colours)
{
    ImageRecord r;
    r.width = width;
    r.height = height;
    r.bitsPerPixel = 8;
    r.paletteSize = colours;
    r.rowPadding = 1;
    EXPECT_EQ(AllocateImageRecord(r), 0);
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            r.row(y)[x] = static_cast<std::uint8_t>((x + 3 * y) % colours);
    return r;
}

}  // namespace

TEST(ImageRecord, AllocateChecksSizeDepthAndShapesBuffers)
{
    struct Case {
        std::uint32_t width, height;
        std::uint8_t depth;
        std::int32_t padding;
        std::uint16_t paletteSize;
        int code;
        std::uint32_t stride;
        std::uint16_t colours;
        std::uint8_t entrySize;
    } cases[] = {
        {0, 5, 8, 1, 0, kImageBadSize, 0, 0, 0},
        {5, 0, 24, 1, 0, kImageBadSize, 0, 0, 0},
        {5, 5, 3, 1, 0, kImageBadDepth, 0, 0, 0},
        {5, 5, 40, 1, 0, kImageBadDepth, 0, 0, 0},
        {5, 2, 8, 1, 0, 0, 8, 256, 4},
        {5, 2, 8, 0, 16, 0, 5, 16, 3},
        {9, 2, 1, 1, 0, 0, 4, 2, 4},
        {9, 2, 1, 0, 0, 0, 2, 2, 3},
        {3, 2, 4, 0, 0, 0, 2, 16, 3},
        {3, 2, 24, 1, 0, 0, 12, 0, 0},
        {3, 2, 32, 0, 0, 0, 12, 0, 0},
        {7, 1, 16, 0, 0, 0, 14, 0, 0},
        // Sizes a header can claim but no picture here needs: refused, not allocated.
        {65535, 65535, 32, 1, 0, kImageNoMemory, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << "x" << int(c.depth) << " pad " << c.padding);
        SetLastImageError(0);
        ImageRecord r;
        r.width = c.width;
        r.height = c.height;
        r.bitsPerPixel = c.depth;
        r.rowPadding = c.padding;
        r.paletteSize = c.paletteSize;
        EXPECT_EQ(AllocateImageRecord(r), c.code);
        EXPECT_EQ(GetLastImageError(), c.code);
        if (c.code != 0) {
            EXPECT_TRUE(r.pixels.empty());
            continue;
        }
        EXPECT_EQ(r.rowStride, c.stride);
        EXPECT_EQ(r.pixels.size(), std::size_t{c.stride} * c.height);
        EXPECT_EQ(r.paletteSize, c.colours);
        EXPECT_EQ(r.paletteEntrySize, c.entrySize);
        EXPECT_EQ(r.palette.size(), std::size_t{c.colours} * c.entrySize);
    }
}

TEST(ImageRecord, FreeReturnsToEmptyState)
{
    ImageRecord r = paletted8(4, 4, 16);
    r.transparentIndex = 3;
    FreeImageRecord(r);
    EXPECT_TRUE(r.pixels.empty());
    EXPECT_TRUE(r.palette.empty());
    EXPECT_EQ(r.width, 0u);
    EXPECT_EQ(r.rowPadding, 0);
    EXPECT_EQ(r.transparentIndex, -1);
}

TEST(ImageRecord, PackPaletteIndicesByPaletteSize)
{
    struct Case {
        std::uint16_t colours;
        std::uint8_t depth;
    } cases[] = {{16, 4}, {3, 4}, {2, 1}, {17, 8}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.colours);
        ImageRecord r = paletted8(11, 3, c.colours);
        const ImageRecord before = r;
        ASSERT_EQ(PackPaletteIndices(r), 0);
        EXPECT_EQ(r.bitsPerPixel, c.depth);
        EXPECT_EQ(r.rowStride, imageRowStride(11, c.depth, true));
        std::vector<std::uint8_t> indices;
        ASSERT_EQ(ExpandIndicesTo8Bit(r, indices), 0);
        for (std::uint32_t y = 0; y < 3; ++y)
            for (std::uint32_t x = 0; x < 11; ++x)
                EXPECT_EQ(indices[y * 11 + x], before.row(y)[x]) << x << "," << y;
    }
    // Packing fills from the most significant bit; the partial byte is zero on the right.
    ImageRecord r = paletted8(3, 1, 2);
    r.row(0)[0] = 1;
    r.row(0)[1] = 0;
    r.row(0)[2] = 1;
    ASSERT_EQ(PackPaletteIndices(r), 0);
    EXPECT_EQ(r.row(0)[0], 0xA0);
}

TEST(ImageRecord, Expand555To24ScalesEachChannel)
{
    ImageRecord r;
    r.width = 2;
    r.height = 1;
    r.bitsPerPixel = 16;
    r.rowPadding = 1;
    ASSERT_EQ(AllocateImageRecord(r), 0);
    const std::uint16_t words[2] = {0x7FFF, (3 << 10) | (2 << 5) | 1 | 0x8000};
    std::memcpy(r.row(0), words, 4);
    ASSERT_EQ(Expand555To24(r), 0);
    EXPECT_EQ(r.bitsPerPixel, 24);
    EXPECT_EQ(r.rowStride, 8u);
    const std::uint8_t expect[6] = {248, 248, 248, 8, 16, 24};
    EXPECT_EQ(0, std::memcmp(r.row(0), expect, 6));
    EXPECT_EQ(Expand555To24(r), kImageBadDepth);
}

TEST(ImageRecord, BlendAndUnblend)
{
    struct Case {
        int c, a, b, blend, unblend;
    } cases[] = {
        {200, 0, 17, 17, 17},
        {200, 255, 17, 200, 200},
        {200, 128, 0, 100, 255},   // 398 saturates rather than wrapping to 142
        {100, 128, 0, 50, 199},
        {0, 128, 200, 100, 0},     // negative un-blend gives 0
        {60, 64, 40, 45, 119},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.c << "/" << c.a << "/" << c.b);
        EXPECT_EQ(BlendOverBackground(c.c, c.a, c.b), c.blend);
        EXPECT_EQ(UnblendFromBackground(c.c, c.a, c.b), c.unblend);
    }
    // Un-blending what was blended gives the colour back (within rounding).
    for (int a = 1; a < 255; a += 17)
        for (int c = 0; c < 256; c += 15) {
            const int back = UnblendFromBackground(BlendOverBackground(c, a, 90), a, 90);
            EXPECT_NEAR(back, c, 255.0 / a + 1) << c << " " << a;
        }
}

TEST(ImageLibrary, ExtensionRule)
{
    struct Case {
        const char* name;
        const char* ext;
    } cases[] = {
        {"picture.bmp", "BMP"}, {"PICTURE.Bmp", "BMP"}, {"/x/a.b/picture.tga", "TGA"},
        {"/x/a.b/picture", "B/P"}, {"scan.tiff", "TIF"}, {"scan.jpeg", "JPE"}, {"page.ps", "PS"},
        {"name.", ""},
    };
    for (const Case& c : cases) {
        const auto ext = imageFileExtension(c.name);
        ASSERT_TRUE(ext.has_value()) << c.name;
        EXPECT_EQ(*ext, c.ext) << c.name;
    }
    EXPECT_FALSE(imageFileExtension("/tmp/noext").has_value());
}

TEST(ImageLibrary, DispatchByExtensionAndErrorTexts)
{
    TempDir dir;
    const std::string base = dir.path().string();
    // Reaching a reader shows as its "Unable to open file" for a missing file.
    for (const char* name : {"/picture.bmp", "/PICTURE.Bmp", "/picture.TGA", "/picture.rgb"}) {
        EXPECT_EQ(LoadImageToBitmap(base + name, nullptr, 0), nullptr);
        EXPECT_EQ(GetLastImageError(), kImageCannotOpen) << name;
    }
    for (const char* name : {"/a.b/picture", "/picture.ps", "/picture.jpeg", "/picture.xyz"}) {
        EXPECT_EQ(LoadImageToBitmap(base + name, nullptr, 0), nullptr);
        EXPECT_EQ(GetLastImageError(), kImageBadExtension) << name;
    }
    EXPECT_EQ(LoadImageToBitmap(base + "/nodot", nullptr, 0), nullptr);
    EXPECT_STREQ(GetImageErrorText(), "Unsupported file format option");

    platform::Bitmap bitmap(4, 4, 24);
    EXPECT_EQ(SaveBitmapToImage(&bitmap, base + "/nodot", nullptr), kImageBadExtension);
    EXPECT_STREQ(GetImageErrorText(), "Unsupported file extension");
    for (const char* name : {"/out.gif", "/out.jpeg", "/out.pcx", "/out.psd"})
        EXPECT_EQ(SaveBitmapToImage(&bitmap, base + name, nullptr), kImageBadExtension) << name;
    EXPECT_EQ(SaveBitmapToImage(nullptr, base + "/out.bmp", nullptr), kImageBadBitmap);
    EXPECT_STREQ(GetImageErrorText(), "Invalid bitmap handle");

    EXPECT_EQ(SaveBitmapToImage(&bitmap, base + "/out.bmp", nullptr), 0);
    EXPECT_STREQ(GetImageErrorText(), "No Error");
    EXPECT_NE(LoadImageToBitmap(base + "/out.bmp", nullptr, 0), nullptr);
    EXPECT_EQ(GetLastImageError(), 0);
}

TEST(ImageLibrary, SystemErrorTextIsTakenAtTheCall)
{
    SetLastImageError(kImageSystemError);
    errno = ENOENT;
    EXPECT_STREQ(GetImageErrorText(), std::strerror(ENOENT));
    errno = EACCES;
    EXPECT_STREQ(GetImageErrorText(), std::strerror(EACCES));
    SetLastImageError(kImageCorruptFile);
    EXPECT_STREQ(GetImageErrorText(), "Corrupt File");
    SetLastImageError(0);
}

TEST(ImageLibrary, BitmapRecordRoundTripKeepsEveryDepth)
{
    for (int depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        platform::Bitmap bitmap(13, 5, depth);
        for (std::size_t i = 0; i < bitmap.bits().size(); ++i)
            bitmap.bits()[i] = static_cast<std::uint8_t>(i * 7 + 1);
        if (depth == 32)
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 13; ++x)
                    bitmap.row(y)[4 * x + 3] = 255;  // opaque: un-blending keeps the colour
        if (depth <= 8) {
            bitmap.palette().resize(depth == 8 ? 200 : bitmap.palette().size());
            for (std::size_t i = 0; i < bitmap.palette().size(); ++i)
                bitmap.palette()[i] = {std::uint8_t(i), std::uint8_t(i * 3), std::uint8_t(255 - i), 0};
        }
        ImageRecord record;
        ASSERT_EQ(BitmapToImageRecord(&bitmap, record, 1), 0);
        EXPECT_EQ(record.rowPadding, 1);
        EXPECT_EQ(record.rowStride, bitmap.stride());
        EXPECT_EQ(record.paletteSize, depth <= 8 ? bitmap.palette().size() : 0u);
        auto back = ImageRecordToBitmap(record, kAlphaKeep);
        ASSERT_NE(back, nullptr);
        for (int y = 0; y < 5; ++y)
            EXPECT_EQ(0, std::memcmp(back->row(y), bitmap.row(y), (13 * depth + 7) / 8)) << y;
        EXPECT_EQ(back->palette(), bitmap.palette());
    }
}

TEST(ImageLibrary, RecordToBitmapHandlesUnpaddedRowsThreeByteEntriesAndTransparency)
{
    ImageRecord r;
    r.width = 3;
    r.height = 2;
    r.bitsPerPixel = 8;
    r.paletteSize = 4;
    ASSERT_EQ(AllocateImageRecord(r), 0);  // unpadded: 3-byte R,G,B entries, stride 3
    ASSERT_EQ(r.rowStride, 3u);
    for (int i = 0; i < 4; ++i) {
        r.entry(i)[0] = static_cast<std::uint8_t>(10 + i);  // red
        r.entry(i)[1] = 20;
        r.entry(i)[2] = 30;                                  // blue
    }
    const std::uint8_t pixels[6] = {0, 1, 2, 3, 2, 1};
    std::memcpy(r.pixels.data(), pixels, 6);
    r.transparentIndex = 2;
    SetBackgroundColour({1, 2, 3});
    auto bitmap = ImageRecordToBitmap(r, kAlphaKeep);
    SetBackgroundColour({});
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->stride(), 4u);
    EXPECT_EQ(0, std::memcmp(bitmap->row(1), pixels + 3, 3));
    ASSERT_EQ(bitmap->palette().size(), 4u);
    EXPECT_EQ(bitmap->palette()[1], (platform::RgbQuad{30, 20, 11, 0}));
    EXPECT_EQ(bitmap->palette()[2], (platform::RgbQuad{3, 2, 1, 0}));
}

TEST(ImageLibrary, AlphaModesCompositeOverBackground)
{
    ImageRecord r;
    r.width = 2;
    r.height = 1;
    r.bitsPerPixel = 32;
    r.rowPadding = 1;
    ASSERT_EQ(AllocateImageRecord(r), 0);
    const std::uint8_t px[8] = {200, 100, 0, 128, 10, 20, 30, 0};
    std::memcpy(r.row(0), px, 8);

    auto kept = ImageRecordToBitmap(r, kAlphaKeep);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(0, std::memcmp(kept->row(0), px, 8));

    SetBackgroundColour({90, 60, 30});  // red, green, blue
    auto over = ImageRecordToBitmap(r, kAlphaOverColour);
    SetBackgroundColour({});
    ASSERT_NE(over, nullptr);
    const std::uint8_t blended[8] = {BlendOverBackground(200, 128, 30), BlendOverBackground(100, 128, 60),
                                     BlendOverBackground(0, 128, 90), 128, 30, 60, 90, 0};
    EXPECT_EQ(0, std::memcmp(over->row(0), blended, 8));

    EXPECT_EQ(ImageRecordToBitmap(r, kAlphaOverImage), nullptr);
    EXPECT_EQ(GetLastImageError(), kImageNoBackground);
    ImageRecord bg;
    bg.width = 1;
    bg.height = 1;
    bg.bitsPerPixel = 24;
    bg.rowPadding = 1;
    ASSERT_EQ(AllocateImageRecord(bg), 0);
    ASSERT_EQ(SetBackgroundImage(bg), 0);
    EXPECT_EQ(ImageRecordToBitmap(r, kAlphaOverImage), nullptr);
    EXPECT_EQ(GetLastImageError(), kImageBackgroundTooSmall);
    bg.width = 2;
    ASSERT_EQ(AllocateImageRecord(bg), 0);
    const std::uint8_t bgPixels[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(bg.row(0), bgPixels, 6);
    ASSERT_EQ(SetBackgroundImage(bg), 0);
    auto onImage = ImageRecordToBitmap(r, kAlphaOverImage);
    ASSERT_EQ(SetBackgroundImage(ImageRecord{}), 0);
    ASSERT_NE(onImage, nullptr);
    const std::uint8_t expect[8] = {BlendOverBackground(200, 128, 1), BlendOverBackground(100, 128, 2),
                                    BlendOverBackground(0, 128, 3), 128, 4, 5, 6, 0};
    EXPECT_EQ(0, std::memcmp(onImage->row(0), expect, 8));
}

TEST(ImageLibrary, SavingA32BitBitmapUnblendsOverTheBackground)
{
    platform::Bitmap bitmap(2, 1, 32);
    const std::uint8_t px[8] = {10, 20, 30, 0, 10, 20, 30, 255};
    std::memcpy(bitmap.row(0), px, 8);
    ImageRecord r;
    ASSERT_EQ(BitmapToImageRecord(&bitmap, r, 1), 0);
    const std::uint8_t expect[8] = {0, 0, 0, 0, 10, 20, 30, 255};  // alpha 0: the black background
    EXPECT_EQ(0, std::memcmp(r.row(0), expect, 8));
    ASSERT_EQ(BitmapToImageRecord(&bitmap, r, 0), 0);
    EXPECT_EQ(0, std::memcmp(r.row(0), px, 8));
}

TEST(ImageLibrary, BadBitmapsAreRefused)
{
    ImageRecord r;
    EXPECT_EQ(BitmapToImageRecord(nullptr, r, 1), kImageBadBitmap);
    platform::Bitmap noColours(4, 4, 8);
    noColours.palette().clear();
    EXPECT_EQ(BitmapToImageRecord(&noColours, r, 1), kImageSystemError);
    EXPECT_TRUE(r.pixels.empty());
    platform::Bitmap shortBits(4, 4, 24);
    shortBits.bits().resize(10);
    EXPECT_EQ(BitmapToImageRecord(&shortBits, r, 1), kImageBadBitmap);
    platform::Bitmap empty;
    EXPECT_NE(BitmapToImageRecord(&empty, r, 1), 0);
}
