// GIF reader: files from other programs, pictures smaller than their screen, and
// damaged files.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

int loadGif(const std::string& path, ImageRecord& r, int padding = 1)
{
    r.rowPadding = padding;
    return LoadGifFile(path, &r);
}

struct GifFixture {
    const char* file;
    const char* reference;
    unsigned depth;
    unsigned colours;
    int padding;
};

class GifFixtures : public ::testing::TestWithParam<GifFixture> {};

TEST_P(GifFixtures, DecodeToTheirReferencePixels)
{
    const GifFixture& f = GetParam();
    ImageRecord r;
    ASSERT_EQ(loadGif(dataFile(f.file), r, f.padding), 0);
    EXPECT_EQ(GetLastImageError(), 0);
    EXPECT_EQ(r.width, 35u);
    EXPECT_EQ(r.height, 23u);
    EXPECT_EQ(r.bitsPerPixel, f.depth);
    EXPECT_EQ(r.paletteSize, f.colours);
    EXPECT_EQ(r.transparentIndex, -1);
    expectPixels(r, readBytes(dataFile(f.reference)), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Gif, GifFixtures,
    ::testing::Values(GifFixture{"gif/colors256.gif", "gif/colors256.rgb.raw", 8, 256, 1},
                      GifFixture{"gif/colors256.gif", "gif/colors256.rgb.raw", 8, 256, 0},
                      GifFixture{"gif/colors16.gif", "gif/colors16.rgb.raw", 4, 16, 1},
                      GifFixture{"gif/colors2.gif", "gif/colors2.rgb.raw", 1, 2, 1},
                      GifFixture{"gif/interlaced.gif", "gif/interlaced.rgb.raw", 8, 64, 1}));

TEST(Gif, TransparentIndexIsKeptAndShownAsTheBackground)
{
    ImageRecord r;
    ASSERT_EQ(loadGif(dataFile("gif/transparent.gif"), r), 0);
    EXPECT_EQ(r.transparentIndex, 200);
    expectPixels(r, readBytes(dataFile("gif/colors256.rgb.raw")), 3);

    const auto bitmap = LoadImageToBitmap(dataFile("gif/transparent.gif"), nullptr, kAlphaKeep);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(GetLastImageError(), 0);
    EXPECT_EQ(bitmap->palette().at(200), (platform::RgbQuad{0, 0, 0, 0}));
    const std::uint8_t* entry = r.entry(200);
    EXPECT_EQ(bitmap->palette().at(199), (platform::RgbQuad{r.entry(199)[0], r.entry(199)[1], r.entry(199)[2], 0}));
    EXPECT_NE(entry[0] + entry[1] + entry[2], 0);
}

// A picture drawn with giflib's own encoder: a screen without a global colour map,
// the image smaller than the screen at an offset, interlaced or not.
struct ScreenCase {
    int left, top;
    bool interlaced;
};

class GifScreen : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(GifScreen, FirstImageIsPlacedOnTheBackgroundWithItsLocalMap)
{
    const ScreenCase c = GetParam();
    constexpr int kScreenW = 10, kScreenH = 7, kW = 5, kH = 4, kBackground = 3;
    auto pixel = [](int x, int y) { return static_cast<GifPixelType>((x + 2 * y) % 4); };
    TempDir dir;
    const std::string path = (dir.path() / "screen.gif").string();
    {
        int error = 0;
        GifFileType* g = EGifOpenFileName(path.c_str(), false, &error);
        ASSERT_NE(g, nullptr);
        EGifSetGifVersion(g, true);
        const GifColorType colours[4] = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}, {100, 110, 120}};
        ColorMapObject* map = GifMakeMapObject(4, colours);
        const GifByteType control[4] = {1, 0, 0, 2};  // transparent index 2
        ASSERT_EQ(EGifPutScreenDesc(g, kScreenW, kScreenH, 2, kBackground, nullptr), GIF_OK);
        ASSERT_EQ(EGifPutExtension(g, GRAPHICS_EXT_FUNC_CODE, 4, control), GIF_OK);
        ASSERT_EQ(EGifPutImageDesc(g, c.left, c.top, kW, kH, c.interlaced, map), GIF_OK);
        std::vector<int> order;
        if (c.interlaced) {
            for (const auto& [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
                for (int y = start; y < kH; y += step)
                    order.push_back(y);
        } else {
            for (int y = 0; y < kH; ++y)
                order.push_back(y);
        }
        for (int y : order) {
            GifPixelType line[kW];
            for (int x = 0; x < kW; ++x)
                line[x] = pixel(x, y);
            ASSERT_EQ(EGifPutLine(g, line, kW), GIF_OK);
        }
        GifFreeMapObject(map);
        ASSERT_EQ(EGifCloseFile(g, &error), GIF_OK);
    }

    ImageRecord r;
    ASSERT_EQ(loadGif(path, r), 0);
    ASSERT_EQ(r.width, 10u);
    ASSERT_EQ(r.height, 7u);
    EXPECT_EQ(r.bitsPerPixel, 4);
    ASSERT_EQ(r.paletteSize, 4);
    EXPECT_EQ(r.transparentIndex, 2);
    EXPECT_EQ((std::vector<std::uint8_t>(r.palette.begin(), r.palette.begin() + 8)),
              (std::vector<std::uint8_t>{30, 20, 10, 0, 60, 50, 40, 0}));
    for (int y = 0; y < kScreenH; ++y) {
        for (int x = 0; x < kScreenW; ++x) {
            const int ix = x - c.left, iy = y - c.top;
            const bool inside = ix >= 0 && ix < kW && iy >= 0 && iy < kH;
            EXPECT_EQ(indexAt(r, x, kScreenH - 1 - y), inside ? pixel(ix, iy) : kBackground) << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Gif, GifScreen,
                         ::testing::Values(ScreenCase{3, 2, true}, ScreenCase{0, 0, false},
                                           ScreenCase{8, 5, false},  // clipped at the right and bottom
                                           ScreenCase{7, 4, true}));

// LZW codes of nine bits, least significant bit first.
std::vector<std::uint8_t> packCodes(std::initializer_list<unsigned> codes)
{
    std::vector<std::uint8_t> out;
    std::uint32_t acc = 0;
    int bits = 0;
    for (unsigned c : codes) {
        acc |= c << bits;
        for (bits += 9; bits >= 8; bits -= 8, acc >>= 8)
            out.push_back(static_cast<std::uint8_t>(acc));
    }
    if (bits > 0)
        out.push_back(static_cast<std::uint8_t>(acc));
    return out;
}

TEST(Gif, IndicesOutsideThePaletteBecomeEntryZero)
{
    // Two colours, but the background, the transparent index and the only pixel
    // all point past them (8-bit LZW codes can).
    std::vector<std::uint8_t> file = {'G', 'I', 'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 5, 0,
                                      0, 0, 0, 255, 255, 255,
                                      0x21, 0xF9, 4, 1, 0, 0, 200, 0,
                                      0x2C, 0, 0, 0, 0, 1, 0, 1, 0, 0, 8};
    const std::vector<std::uint8_t> data = packCodes({256, 201, 257});
    file.push_back(static_cast<std::uint8_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    file.insert(file.end(), {0, 0x3B});
    TempDir dir;
    writeBytes(dir.path() / "wild.gif", file);

    ImageRecord r;
    ASSERT_EQ(loadGif((dir.path() / "wild.gif").string(), r), 0);
    ASSERT_EQ(r.bitsPerPixel, 1);
    EXPECT_EQ(r.transparentIndex, -1);
    EXPECT_EQ(indexAt(r, 0, 0), 0u);
    EXPECT_EQ(indexAt(r, 1, 0), 0u);
}

TEST(Gif, FailuresFreeTheRecordAndSetTheCode)
{
    TempDir dir;
    const std::vector<std::uint8_t> good = readBytes(dataFile("gif/colors256.gif"));
    writeBytes(dir.path() / "cut.gif", std::vector<std::uint8_t>(good.begin(), good.begin() + 900));
    writeBytes(dir.path() / "text.gif", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!'});
    const struct {
        std::string path;
        int code;
    } cases[] = {
        {(dir.path() / "missing.gif").string(), kImageCannotOpen},
        {(dir.path() / "text.gif").string(), kImageCorrupted},
        {(dir.path() / "cut.gif").string(), kImageCorrupted},
    };
    for (const auto& c : cases) {
        ImageRecord r = makeRecord(3, 3, 8);
        EXPECT_EQ(loadGif(c.path, r), c.code) << c.path;
        EXPECT_EQ(GetLastImageError(), c.code);
        EXPECT_EQ(r.width, 0u);
        EXPECT_TRUE(r.pixels.empty());
        EXPECT_EQ(r.rowPadding, 0);
    }
    EXPECT_EQ(LoadGifFile(dataFile("gif/colors2.gif"), nullptr), kImageNullRecord);
    EXPECT_EQ(GetLastImageError(), kImageNullRecord);
}

}  // namespace
