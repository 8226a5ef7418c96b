// Photoshop reader: files from another program in every supported mode, small
// documents built here for run-length details, and refused or damaged headers.
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

int loadPsdBytes(const std::vector<std::uint8_t>& file, ImageRecord& r)
{
    return loadFileBytes(LoadPsdFile, file, r, "in.psd");
}

struct PsdFixture {
    const char* file;
    const char* reference;
    unsigned channels;  // of the reference dump
    unsigned depth;
};

class PsdFixtures : public ::testing::TestWithParam<PsdFixture> {};

TEST_P(PsdFixtures, DecodeToTheirReferencePixels)
{
    const PsdFixture& f = GetParam();
    ImageRecord r;
    r.rowPadding = 1;
    ASSERT_EQ(LoadPsdFile(dataFile(f.file), &r), 0);
    EXPECT_EQ(GetLastImageError(), 0);
    EXPECT_EQ(r.width, 35u);
    EXPECT_EQ(r.height, 23u);
    EXPECT_EQ(r.bitsPerPixel, f.depth);
    EXPECT_EQ(r.paletteSize, f.depth == 8 ? 256 : 0);
    expectPixels(r, readBytes(dataFile(f.reference)), f.channels);
}

INSTANTIATE_TEST_SUITE_P(Psd, PsdFixtures,
                         ::testing::Values(PsdFixture{"psd/rgb_raw.psd", "psd/rose.rgb.raw", 3, 24},
                                           PsdFixture{"psd/rgb_rle.psd", "psd/rose.rgb.raw", 3, 24},
                                           PsdFixture{"psd/rgba_rle.psd", "psd/rgba_rle.rgba.raw", 4, 32},
                                           PsdFixture{"psd/indexed.psd", "psd/indexed.rgb.raw", 3, 8},
                                           PsdFixture{"psd/gray_rle.psd", "psd/gray.gray.raw", 1, 8},
                                           PsdFixture{"psd/gray_alpha_rle.psd", "psd/gray.gray.raw", 1, 8}));

struct Document {
    std::uint16_t mode = 3;
    std::uint16_t channels = 3;
    std::uint32_t rows = 2;
    std::uint32_t columns = 2;
    std::uint16_t bits = 8;
    std::uint16_t version = 1;
    std::uint16_t compression = 0;
    std::vector<std::uint8_t> colourData;
    std::vector<std::uint8_t> data;
};

std::vector<std::uint8_t> psdFile(const Document& d)
{
    std::vector<std::uint8_t> f(26, 0);
    std::copy_n("8BPS", 4, f.begin());
    putBe16(f, 4, d.version);
    putBe16(f, 12, d.channels);
    putBe32(f, 14, d.rows);
    putBe32(f, 18, d.columns);
    putBe16(f, 22, d.bits);
    putBe16(f, 24, d.mode);
    auto section = [&f](const std::vector<std::uint8_t>& body) {
        f.resize(f.size() + 4);
        putBe32(f, f.size() - 4, static_cast<std::uint32_t>(body.size()));
        f.insert(f.end(), body.begin(), body.end());
    };
    section(d.colourData);
    section({'8', 'B', 'I', 'M'});  // image resources
    section({});                    // layers and masks
    f.insert(f.end(), {std::uint8_t(d.compression >> 8), std::uint8_t(d.compression)});
    f.insert(f.end(), d.data.begin(), d.data.end());
    return f;
}

// The byte-count table followed by the PackBits rows, channel by channel.
std::vector<std::uint8_t> packedPlanes(const std::vector<std::vector<std::uint8_t>>& rows)
{
    std::vector<std::uint8_t> data;
    for (const auto& row : rows)
        data.insert(data.end(), {std::uint8_t(row.size() >> 8), std::uint8_t(row.size())});
    for (const auto& row : rows)
        data.insert(data.end(), row.begin(), row.end());
    return data;
}

TEST(Psd, RunLengthPlanesLandInTheirChannels)
{
    Document d;  // 2x2 RGB
    d.compression = 1;
    d.data = packedPlanes({
        {0xFF, 10}, {0x80, 0x01, 11, 12},  // red: 10 10 / 11 12, with a no-op byte
        {0xFF, 20}, {0xFF, 21},            // green
        {0x80, 0xFF, 30}, {0x01, 31, 32},  // blue
    });
    ImageRecord r;
    ASSERT_EQ(loadPsdBytes(psdFile(d), r), 0);
    ASSERT_EQ(r.bitsPerPixel, 24);
    EXPECT_EQ(rgbaAt(r, 0, 0), (std::array<std::uint8_t, 4>{10, 20, 30, 255}));
    EXPECT_EQ(rgbaAt(r, 1, 0), (std::array<std::uint8_t, 4>{10, 20, 30, 255}));
    EXPECT_EQ(rgbaAt(r, 0, 1), (std::array<std::uint8_t, 4>{11, 21, 31, 255}));
    EXPECT_EQ(rgbaAt(r, 1, 1), (std::array<std::uint8_t, 4>{12, 21, 32, 255}));
}

TEST(Psd, DuotoneIsShownAsGrayLevels)
{
    Document d;
    d.mode = 8;
    d.channels = 1;
    d.colourData = std::vector<std::uint8_t>(20, 7);
    d.data = {0, 50, 100, 250};
    ImageRecord r;
    ASSERT_EQ(loadPsdBytes(psdFile(d), r), 0);
    EXPECT_EQ(rgbaAt(r, 1, 0), (std::array<std::uint8_t, 4>{50, 50, 50, 255}));
    EXPECT_EQ(rgbaAt(r, 1, 1), (std::array<std::uint8_t, 4>{250, 250, 250, 255}));
}

TEST(Psd, RefusedAndDamagedDocuments)
{
    Document rgb;
    rgb.data = std::vector<std::uint8_t>(12, 1);
    auto with = [&rgb](auto change) {
        Document d = rgb;
        change(d);
        return psdFile(d);
    };
    const struct {
        const char* what;
        std::vector<std::uint8_t> file;
        int code;
    } cases[] = {
        {"CMYK", with([](Document& d) { d.mode = 4; }), kImageUnsupportedOption},
        {"Lab", with([](Document& d) { d.mode = 9; }), kImageUnsupportedOption},
        {"bitmap", with([](Document& d) { d.mode = 0; }), kImageUnsupportedOption},
        {"16 bits", with([](Document& d) { d.bits = 16; }), kImageUnsupportedOption},
        {"five channels", with([](Document& d) { d.channels = 5; }), kImageUnsupportedOption},
        {"RGB of two channels", with([](Document& d) { d.channels = 2; d.compression = 1; }), kImageUnsupportedOption},
        {"zip compression", with([](Document& d) { d.compression = 2; }), kImageUnsupportedOption},
        {"RGB with colour data", with([](Document& d) { d.colourData = {1, 2}; }), kImageUnsupportedOption},
        {"version 2", with([](Document& d) { d.version = 2; }), kImageCorruptFile},
        {"indexed palette short", with([](Document& d) { d.mode = 2; d.channels = 1; d.colourData.assign(700, 0); }),
         kImageCorruptFile},
        {"row decodes past the width",
         with([](Document& d) { d.compression = 1; d.data = packedPlanes({{2, 1, 2, 3}, {0xFF, 9}, {0xFF, 9},
                                                                          {0xFF, 9}, {0xFF, 9}, {0xFF, 9}}); }),
         kImageCorruptFile},
        {"literal past the byte count",
         with([](Document& d) { d.compression = 1; d.data = packedPlanes({{1, 5}, {0xFF, 9}, {0xFF, 9},
                                                                          {0xFF, 9}, {0xFF, 9}, {0xFF, 9}}); }),
         kImageCorruptFile},
        {"counts cannot fill a huge picture",
         with([](Document& d) { d.compression = 1; d.columns = 30000;
                                d.data = packedPlanes(std::vector<std::vector<std::uint8_t>>(6, {0x81, 9})); }),
         kImageCorruptFile},
        {"counts beyond the file", with([](Document& d) { d.compression = 1; d.data = {0, 2, 0, 2, 0, 2, 0, 2, 0, 2, 0, 9}; }),
         kImageReadError},
        {"raw planes cut short", with([](Document& d) { d.data.pop_back(); }), kImageReadError},
        {"huge raw picture", with([](Document& d) { d.rows = 30000; d.columns = 30000; }), kImageReadError},
    };
    for (const auto& c : cases) {
        ImageRecord r;
        EXPECT_EQ(loadPsdBytes(c.file, r), c.code) << c.what;
        EXPECT_EQ(GetLastImageError(), c.code) << c.what;
        EXPECT_TRUE(r.pixels.empty()) << c.what;
    }
    std::vector<std::uint8_t> cut = psdFile(rgb);
    for (std::size_t size : {std::size_t{20}, std::size_t{40}}) {
        ImageRecord r;
        EXPECT_EQ(loadPsdBytes(std::vector<std::uint8_t>(cut.begin(), cut.begin() + size), r), kImageReadError) << size;
    }
    ImageRecord r;
    EXPECT_EQ(LoadPsdFile("/nonexistent/x.psd", &r), kImageCannotOpen);
    EXPECT_EQ(LoadPsdFile(dataFile("psd/rgb_raw.psd"), nullptr), kImageNullRecord);
}

}  // namespace
