// PCX reader: files from other programs for every plane layout, files built here
// for the variants nothing at hand writes, and damaged headers.
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

int loadPcx(const std::string& path, ImageRecord& r, int padding = 1)
{
    r.rowPadding = padding;
    return LoadPcxFile(path, &r);
}

int loadPcxBytes(const std::vector<std::uint8_t>& file, ImageRecord& r)
{
    return loadFileBytes(LoadPcxFile, file, r, "in.pcx");
}

struct PcxFixture {
    const char* file;
    const char* reference;
    unsigned depth;
    int padding;
};

class PcxFixtures : public ::testing::TestWithParam<PcxFixture> {};

TEST_P(PcxFixtures, DecodeToTheirReferencePixels)
{
    const PcxFixture& f = GetParam();
    ImageRecord r;
    ASSERT_EQ(loadPcx(dataFile(f.file), r, f.padding), 0);
    EXPECT_EQ(GetLastImageError(), 0);
    EXPECT_EQ(r.width, 35u);
    EXPECT_EQ(r.height, 23u);
    EXPECT_EQ(r.bitsPerPixel, f.depth);
    expectPixels(r, readBytes(dataFile(f.reference)), 3);
}

INSTANTIATE_TEST_SUITE_P(
    Pcx, PcxFixtures,
    ::testing::Values(PcxFixture{"pcx/mono_netpbm.pcx", "pcx/mono_netpbm.rgb.raw", 1, 1},
                      // an empty header palette would make both colours black
                      PcxFixture{"pcx/mono_pillow.pcx", "pcx/mono_pillow.rgb.raw", 1, 1},
                      PcxFixture{"pcx/planar16.pcx", "pcx/colors16.rgb.raw", 4, 1},
                      PcxFixture{"pcx/packed16.pcx", "pcx/colors16.rgb.raw", 4, 1},
                      PcxFixture{"pcx/colors256.pcx", "pcx/colors256.rgb.raw", 8, 1},
                      PcxFixture{"pcx/rgb24.pcx", "pcx/rgb24.rgb.raw", 24, 1},
                      PcxFixture{"pcx/rgb24.pcx", "pcx/rgb24.rgb.raw", 24, 0}));

TEST(Pcx, MonochromeWithoutPaletteInformationIsBlackAndWhite)
{
    std::vector<std::uint8_t> file = readBytes(dataFile("pcx/mono_netpbm.pcx"));
    putLe16(file, 68, 0);
    ImageRecord r;
    ASSERT_EQ(loadPcxBytes(file, r), 0);
    EXPECT_EQ(std::vector<std::uint8_t>(r.palette.begin(), r.palette.begin() + 8),
              (std::vector<std::uint8_t>{0, 0, 0, 0, 255, 255, 255, 0}));
    // The header's first colour became black, the second white.
    std::vector<std::uint8_t> expected = readBytes(dataFile("pcx/mono_netpbm.rgb.raw"));
    for (std::size_t i = 0; i < expected.size(); i += 3) {
        const bool first = std::equal(file.begin() + 16, file.begin() + 19, expected.begin() + i);
        std::fill_n(expected.begin() + i, 3, first ? 0 : 255);
    }
    expectPixels(r, expected, 3);
}

TEST(Pcx, TrailingPaletteOf8BitFiles)
{
    const std::vector<std::uint8_t> good = readBytes(dataFile("pcx/colors256.pcx"));
    std::vector<std::uint8_t> file = good;
    file[file.size() - 769] = 11;
    ImageRecord r;
    EXPECT_EQ(loadPcxBytes(file, r), kImageUnsupportedOption);
    EXPECT_EQ(r.width, 0u);

    // Before version 5 the palette is optional: used when present, else gray levels.
    file = good;
    file[1] = 3;
    ASSERT_EQ(loadPcxBytes(file, r), 0);
    expectPixels(r, readBytes(dataFile("pcx/colors256.rgb.raw")), 3);
    file.resize(file.size() - 769);
    ASSERT_EQ(loadPcxBytes(file, r), 0);
    for (std::uint32_t x = 0; x < r.width; ++x)
        EXPECT_EQ(rgbaAt(r, x, 0)[1], indexAt(r, x, r.height - 1));
}

// A 3x2 picture of 8-bit planes; pixel (x, y) of plane p is 10*p + 3*y + x + 1.
std::vector<std::uint8_t> planeFile(std::uint8_t planes, std::uint8_t encoding)
{
    std::vector<std::uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = encoding;
    f[3] = 8;
    putLe16(f, 8, 2);  // x maximum
    putLe16(f, 10, 1); // y maximum
    f[65] = planes;
    putLe16(f, 66, 4); // one byte of padding per plane line
    for (int y = 0; y < 2; ++y)
        for (int p = 0; p < planes; ++p) {
            for (int x = 0; x < 3; ++x)
                f.push_back(static_cast<std::uint8_t>(10 * p + 3 * y + x + 1));
            f.push_back(0);
        }
    return f;
}

TEST(Pcx, UncompressedColourPlanes)
{
    for (std::uint8_t planes : {3, 4}) {
        ImageRecord r;
        ASSERT_EQ(loadPcxBytes(planeFile(planes, 0), r), 0) << int(planes);
        ASSERT_EQ(r.bitsPerPixel, 8 * planes);
        for (std::uint32_t y = 0; y < 2; ++y)
            for (std::uint32_t x = 0; x < 3; ++x) {
                const auto px = rgbaAt(r, x, y);
                for (int p = 0; p < planes; ++p)
                    EXPECT_EQ(px[p], 10 * p + 3 * y + x + 1) << x << "," << y << " plane " << p;
            }
    }
}

TEST(Pcx, RunsMayCrossIntoTheNextRow)
{
    // 8-bit, 2x2, one run of four 7s covering both rows, then the palette.
    std::vector<std::uint8_t> f(128, 0);
    f[0] = 10;
    f[1] = 5;
    f[2] = 1;
    f[3] = 8;
    putLe16(f, 8, 1);
    putLe16(f, 10, 1);
    f[65] = 1;
    putLe16(f, 66, 2);
    f.insert(f.end(), {0xC4, 7, 12});
    for (int i = 0; i < 256; ++i)
        f.insert(f.end(), {std::uint8_t(i), std::uint8_t(255 - i), 9});
    ImageRecord r;
    ASSERT_EQ(loadPcxBytes(f, r), 0);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 2; ++x)
            EXPECT_EQ(rgbaAt(r, x, y), (std::array<std::uint8_t, 4>{7, 248, 9, 255}));
}

TEST(Pcx, DamagedFilesAreRefused)
{
    const std::vector<std::uint8_t> good = planeFile(3, 0);
    auto with = [&good](auto change) {
        std::vector<std::uint8_t> f = good;
        change(f);
        return f;
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> file;
        int code;
    } cases[] = {
        {"manufacturer", with([](auto& f) { f[0] = 9; }), kImageUnsupportedOption},
        {"two-bit pixels", with([](auto& f) { f[3] = 2; f[65] = 1; }), kImageBadDepth},
        {"two 8-bit planes", with([](auto& f) { f[65] = 2; }), kImageUnsupportedOption},
        {"encoding", with([](auto& f) { f[2] = 2; }), kImageUnsupportedOption},
        {"x maximum below minimum", with([](auto& f) { putLe16(f, 4, 3); }), kImageBadSize},
        {"line shorter than a row", with([](auto& f) { putLe16(f, 66, 2); }), kImageCorruptFile},
        {"pixels cut short", with([](auto& f) { f.resize(f.size() - 1); }), kImageReadError},
        {"huge size, no data", with([](auto& f) { putLe16(f, 8, 65000); putLe16(f, 10, 65000); putLe16(f, 66, 65002); f.resize(128); }),
         kImageReadError},
        {"run-length data cut short", with([](auto& f) { f[2] = 1; f.resize(140); }), kImageReadError},
        {"header cut short", with([](auto& f) { f.resize(100); }), kImageReadError},
    };
    for (const auto& c : cases) {
        ImageRecord r;
        EXPECT_EQ(loadPcxBytes(c.file, r), c.code) << c.what;
        EXPECT_EQ(GetLastImageError(), c.code) << c.what;
        EXPECT_TRUE(r.pixels.empty()) << c.what;
    }
    ImageRecord r;
    EXPECT_EQ(loadPcx("/nonexistent/x.pcx", r), kImageCannotOpen);
    EXPECT_EQ(LoadPcxFile(dataFile("pcx/rgb24.pcx"), nullptr), kImageNullRecord);
}

TEST(Pcx, ReachedThroughTheExtension)
{
    const auto bitmap = LoadImageToBitmap(dataFile("pcx/packed16.pcx"), nullptr, kAlphaKeep);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->bitsPerPixel(), 4);
    EXPECT_EQ(bitmap->width(), 35);
}

}  // namespace
