#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "imagelib/image_library.h"
#include "imagelib/jpeg.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

namespace {

using namespace imagelib;
using namespace testsupport;

std::string fixture(const char* name)
{
    return dataFile(std::string("jpeg/") + name);
}

ImageRecord loadJpeg(const std::string& file, int expectedCode = kImageNoError)
{
    ImageRecord r;
    r.rowPadding = 1;
    EXPECT_EQ(LoadJpegFile(file, &r), expectedCode) << file;
    EXPECT_EQ(GetLastImageError(), expectedCode);
    return r;
}

// Largest difference between what was decoded and what was meant, over every
// channel of every pixel; the caller gives the expected B,G,R (or gray) bytes of
// the pixel at (x, row counted from the top).
int worstError(const ImageRecord& r, const std::function<std::vector<int>(int x, int topY)>& expected)
{
    const int n = r.bitsPerPixel / 8;
    int worst = 0;
    for (std::uint32_t y = 0; y < r.height; ++y)
        for (std::uint32_t x = 0; x < r.width; ++x) {
            const std::vector<int> want = expected(static_cast<int>(x), static_cast<int>(y));
            const std::uint8_t* p = r.row(r.height - 1 - y) + x * n;
            for (int c = 0; c < n; ++c)
                worst = std::max(worst, std::abs(p[c] - want[c]));
        }
    return worst;
}

// Usual error of a quality-95 JPEG on smooth pictures; a swapped channel, a
// flipped row order or a wrong gray mapping is off by far more.
constexpr int kJpegTolerance = 8;

class JpegTest : public ::testing::Test {
protected:
    TempDir dir;
    std::string path(const char* name) const { return (dir.path() / name).string(); }
};

TEST_F(JpegTest, GrayAndColourRecordsRoundTripWithinJpegError)
{
    const auto smooth = [](int x, int y, int c) { return std::min(255, 20 + x * 6 + y * 4 + c * 30); };

    ImageRecord gray = blankRecord(24, 16, 8);
    for (int i = 0; i < 256; ++i)
        std::fill_n(gray.entry(i), 3, static_cast<std::uint8_t>(i));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            gray.row(15 - y)[x] = static_cast<std::uint8_t>(smooth(x, y, 0));
    ASSERT_EQ(SaveJpegFile(path("gray.jpg"), gray, 95), kImageNoError);
    ImageRecord r = loadJpeg(path("gray.jpg"));
    ASSERT_EQ(r.bitsPerPixel, 8);
    EXPECT_EQ(r.palette, gray.palette);  // identity ramp
    EXPECT_LE(worstError(r, [&](int x, int y) { return std::vector<int>{smooth(x, y, 0)}; }), kJpegTolerance);

    for (std::uint8_t depth : {24, 32}) {
        SCOPED_TRACE(int{depth});
        ImageRecord colour = blankRecord(24, 16, depth);
        const int n = depth / 8;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24; ++x)
                for (int c = 0; c < n; ++c)
                    colour.row(15 - y)[x * n + c] = static_cast<std::uint8_t>(c == 3 ? 7 : smooth(x, y, c));
        ASSERT_EQ(SaveJpegFile(path("colour.jpg"), colour, 95), kImageNoError);
        r = loadJpeg(path("colour.jpg"));
        ASSERT_EQ(r.bitsPerPixel, 24);  // alpha is not written
        EXPECT_LE(worstError(r, [&](int x, int y) {
                      return std::vector<int>{smooth(x, y, 0), smooth(x, y, 1), smooth(x, y, 2)};
                  }),
                  kJpegTolerance);
    }
}

TEST_F(JpegTest, PaletteRecordsWriteTheColoursTheyShow)
{
    ImageRecord r = blankRecord(32, 8, 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 32; ++x)
            r.row(7 - y)[x] = static_cast<std::uint8_t>(x * 8 + y);
    {
        SCOPED_TRACE("gray palette that is not the identity: its levels, one component");
        for (int i = 0; i < 256; ++i)
            std::fill_n(r.entry(i), 3, static_cast<std::uint8_t>(255 - i));
        ASSERT_EQ(SaveJpegFile(path("inverse.jpg"), r, 95), kImageNoError);
        const ImageRecord loaded = loadJpeg(path("inverse.jpg"));
        ASSERT_EQ(loaded.bitsPerPixel, 8);
        EXPECT_LE(worstError(loaded, [](int x, int y) { return std::vector<int>{255 - (x * 8 + y)}; }), kJpegTolerance);
    }
    {
        SCOPED_TRACE("colour palette: looked up, three components");
        for (int i = 0; i < 256; ++i) {
            std::uint8_t* e = r.entry(i);
            e[0] = static_cast<std::uint8_t>(i / 2);        // blue
            e[1] = static_cast<std::uint8_t>(255 - i);      // green
            e[2] = static_cast<std::uint8_t>(i);            // red
        }
        ASSERT_EQ(SaveJpegFile(path("palette.jpg"), r, 95), kImageNoError);
        const ImageRecord loaded = loadJpeg(path("palette.jpg"));
        ASSERT_EQ(loaded.bitsPerPixel, 24);
        EXPECT_LE(worstError(loaded,
                             [](int x, int y) {
                                 const int i = x * 8 + y;
                                 return std::vector<int>{i / 2, 255 - i, i};
                             }),
                  kJpegTolerance);
    }
}

TEST_F(JpegTest, RecordsBelowEightBitsAreRefusedBeforeTheFileIsMade)
{
    for (std::uint8_t depth : {1, 4}) {
        EXPECT_EQ(SaveJpegFile(path("low.jpg"), blankRecord(8, 8, depth), 90), kImageBadDepth);
        EXPECT_EQ(GetLastImageError(), kImageBadDepth);
        EXPECT_FALSE(std::filesystem::exists(path("low.jpg")));
    }
    ImageRecord wide = blankRecord(8, 8, 16);
    std::fill(wide.pixels.begin(), wide.pixels.end(), 0xFF);  // white in 5-5-5
    ASSERT_EQ(SaveJpegFile(path("555.jpg"), wide, 90), kImageNoError);
    const ImageRecord loaded = loadJpeg(path("555.jpg"));
    EXPECT_EQ(loaded.bitsPerPixel, 24);
    EXPECT_LE(worstError(loaded, [](int, int) { return std::vector<int>{248, 248, 248}; }), 2);
}

TEST(JpegFixtures, GrayAndColourFilesLoadCmykIsRefused)
{
    ImageRecord gray = loadJpeg(fixture("gray.jpg"));
    ASSERT_EQ(gray.bitsPerPixel, 8);
    ASSERT_EQ(gray.paletteSize, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(gray.entry(i)[1], i);
    EXPECT_LE(worstError(gray, [](int x, int y) { return std::vector<int>{x * 10 + y * 8}; }), kJpegTolerance);

    ImageRecord rgb = loadJpeg(fixture("rgb.jpg"));
    ASSERT_EQ(rgb.bitsPerPixel, 24);
    EXPECT_LE(worstError(rgb, [](int x, int y) { return std::vector<int>{(x + y) * 8, y * 20, x * 16}; }),
              kJpegTolerance);

    ImageRecord cmyk = loadJpeg(fixture("cmyk.jpg"), kImageUnsupportedOption);
    EXPECT_FALSE(cmyk.hasPixels());
    EXPECT_EQ(cmyk.width, 0u);
}

TEST_F(JpegTest, BadFilesFailWithTheirCodeAndFreeTheRecord)
{
    const std::vector<std::uint8_t> good = readBytes(fixture("gray.jpg"));
    // The frame header's height and width, patched to 60000 x 60000.
    std::vector<std::uint8_t> bomb = good;
    const std::uint8_t marker[] = {0xFF, 0xC0};
    const auto sof = std::search(bomb.begin(), bomb.end(), std::begin(marker), std::end(marker));
    ASSERT_NE(sof, bomb.end());
    const std::size_t at = static_cast<std::size_t>(sof - bomb.begin());
    for (std::size_t field : {at + 5, at + 7}) {
        bomb[field] = 60000 >> 8;
        bomb[field + 1] = 60000 & 0xFF;
    }
    writeBytes(path("bomb.jpg"), bomb);
    writeBytes(path("header.jpg"), std::vector<std::uint8_t>(good.begin(), good.begin() + 40));
    writeBytes(path("text.jpg"), {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'});

    const std::pair<std::string, int> cases[] = {
        {path("bomb.jpg"), kImageBadSize},
        {path("header.jpg"), kImageCorrupted},
        {path("text.jpg"), kImageCorrupted},
        {path("missing.jpg"), kImageCannotOpen},
    };
    for (const auto& [file, code] : cases) {
        const ImageRecord r = loadJpeg(file, code);
        EXPECT_FALSE(r.hasPixels());
    }
    EXPECT_EQ(LoadJpegFile(fixture("gray.jpg"), nullptr), kImageNullRecord);
}

TEST_F(JpegTest, LibraryEntriesTakeTheQualityFromTheOptions)
{
    platform::Bitmap bitmap(64, 48, 24);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64 * 3; ++x)
            bitmap.row(y)[x] = static_cast<std::uint8_t>((x * 7 + y * 13) % 256);
    const JpegOptions low{10};
    ASSERT_EQ(SaveBitmapToImage(&bitmap, path("low.jpg"), &low), kImageNoError);
    ASSERT_EQ(SaveBitmapToImage(&bitmap, path("best.jpg"), nullptr), kImageNoError);  // quality 100
    EXPECT_LT(std::filesystem::file_size(path("low.jpg")) * 2, std::filesystem::file_size(path("best.jpg")));
    const std::unique_ptr<platform::Bitmap> loaded = LoadImageToBitmap(path("best.jpg"), nullptr, kAlphaKeep);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->bitsPerPixel(), 24);
    EXPECT_EQ(loaded->width(), 64);
}

}  // namespace
