// SGI image reader and writer.
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

std::vector<std::uint8_t> sgiHeader(std::uint8_t storage, std::uint16_t dimension, std::uint16_t width,
                                    std::uint16_t height, std::uint16_t channels)
{
    std::vector<std::uint8_t> h(512, 0);
    putBe16(h, 0, 474);
    h[2] = storage;
    h[3] = 1;
    putBe16(h, 4, dimension);
    putBe16(h, 6, width);
    putBe16(h, 8, height);
    putBe16(h, 10, channels);
    return h;
}

// A run-length file of one channel whose rows are given packed, each followed
// by the terminating 0 the writer adds.
std::vector<std::uint8_t> rleFile(std::uint16_t width, const std::vector<std::vector<std::uint8_t>>& rows)
{
    const auto height = static_cast<std::uint16_t>(rows.size());
    auto file = sgiHeader(1, 2, width, height, 1);
    const std::size_t tables = 512 + 8 * rows.size();
    file.resize(tables);
    std::size_t at = tables;
    for (std::size_t y = 0; y < rows.size(); ++y) {
        putBe32(file, 512 + 4 * y, static_cast<std::uint32_t>(at));
        putBe32(file, 512 + 4 * rows.size() + 4 * y, static_cast<std::uint32_t>(rows[y].size() + 1));
        file.insert(file.end(), rows[y].begin(), rows[y].end());
        file.push_back(0);
        at = file.size();
    }
    return file;
}

int loadBytes(const std::vector<std::uint8_t>& file, ImageRecord& r)
{
    return loadFileBytes(LoadSgiFile, file, r, "in.rgb");
}

}  // namespace

TEST(Sgi, RoundTripEveryDepthWithExactHeaders)
{
    struct Case {
        unsigned depth;
        PaletteKind palette;
        std::uint16_t colours;
        unsigned dimension, channels, loadedDepth;
    } cases[] = {
        {1, PaletteKind::Colour, 0, 3, 3, 24},  {4, PaletteKind::Colour, 0, 3, 3, 24},
        {4, PaletteKind::Gray, 0, 2, 1, 8},     {8, PaletteKind::Gray, 256, 2, 1, 8},
        {8, PaletteKind::Colour, 40, 3, 3, 24}, {16, PaletteKind::None, 0, 3, 3, 24},
        {24, PaletteKind::None, 0, 3, 3, 24},   {32, PaletteKind::None, 0, 3, 4, 32},
    };
    TempDir dir;
    const std::string name = (dir.path() / "round.rgb").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << " bits, " << c.colours << " colours");
        const ImageRecord saved = makeRecord(9, 3, c.depth, c.palette, c.colours);
        ASSERT_EQ(SaveSgiFile(name, saved), 0);
        const auto bytes = readBytes(name);
        ASSERT_EQ(bytes.size(), 512 + 9 * 3 * c.channels);
        EXPECT_EQ(be16(bytes, 0), 474u);
        EXPECT_EQ(bytes[2], 0);
        EXPECT_EQ(bytes[3], 1);
        EXPECT_EQ(be16(bytes, 4), c.dimension);
        EXPECT_EQ(be16(bytes, 6), 9u);
        EXPECT_EQ(be16(bytes, 8), 3u);
        EXPECT_EQ(be16(bytes, 10), c.channels);
        EXPECT_EQ(be32(bytes, 12), 0u);
        EXPECT_EQ(be32(bytes, 16), 255u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + 24), name);
        EXPECT_EQ(be32(bytes, 104), 0u);

        ImageRecord loaded;
        loaded.rowPadding = 1;
        ASSERT_EQ(LoadSgiFile(name, &loaded), 0);
        ASSERT_EQ(loaded.bitsPerPixel, c.loadedDepth);
        expectSameColours(loaded, saved);
    }
}

TEST(Sgi, ImageNameHoldsAtMost79Characters)
{
    TempDir dir;
    const std::string name = (dir.path() / (std::string(100, 'n') + ".rgb")).string();
    ASSERT_EQ(SaveSgiFile(name, makeRecord(2, 2, 24)), 0);
    const auto bytes = readBytes(name);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + 24), name.substr(0, 79));
}

TEST(Sgi, FixturesFromAnotherProgramLoad)
{
    struct Fixture {
        const char* name;
        unsigned depth;
        const char* reference;
        unsigned channels;
    } fixtures[] = {
        {"gray_verbatim", 8, "raw", 1},  {"gray_rle", 8, "raw", 1},         {"rgb_verbatim", 24, "raw", 3},
        {"rgb_rle", 24, "raw", 3},       {"rgba_verbatim", 32, "rawa", 4}, {"rgba_rle", 32, "rawa", 4},
        {"pil_rgba_verbatim", 32, "rawa", 4},
    };
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.name);
        ImageRecord r;
        r.rowPadding = 1;
        ASSERT_EQ(LoadSgiFile(dataFile(std::string("sgi/") + f.name + ".rgb"), &r), 0);
        EXPECT_EQ(r.width, 7u);
        EXPECT_EQ(r.height, 5u);
        EXPECT_EQ(r.bitsPerPixel, f.depth);
        if (f.depth == 8) {
            EXPECT_EQ(r.paletteSize, 256);
        }
        expectPixels(r, readBytes(dataFile(std::string("sgi/") + f.name + "." + f.reference)), f.channels);
    }
}

TEST(Sgi, VerbatimPlanesKeepTheirRowOrder)
{
    // 4 x 2, three channels: row 0 of each plane is the bottom row.
    auto file = sgiHeader(0, 3, 4, 2, 3);
    for (int c = 0; c < 3; ++c)
        for (int i = 0; i < 8; ++i)
            file.push_back(static_cast<std::uint8_t>(c * 100 + i));
    ImageRecord r;
    ASSERT_EQ(loadBytes(file, r), 0);
    EXPECT_EQ(r.bitsPerPixel, 24);
    const std::uint8_t bottom[12] = {200, 100, 0, 201, 101, 1, 202, 102, 2, 203, 103, 3};
    EXPECT_EQ(0, std::memcmp(r.row(0), bottom, 12));

    // Dimension 1 is a single row whatever the y size says; two channels are gray and alpha.
    file = sgiHeader(0, 1, 2, 9, 2);
    for (std::uint8_t b : {10, 20, 200, 100})
        file.push_back(b);
    ASSERT_EQ(loadBytes(file, r), 0);
    EXPECT_EQ(r.height, 1u);
    EXPECT_EQ(r.bitsPerPixel, 32);
    const std::uint8_t grayAlpha[8] = {10, 10, 10, 200, 20, 20, 20, 100};
    EXPECT_EQ(0, std::memcmp(r.row(0), grayAlpha, 8));
}

TEST(Sgi, RunLengthRows)
{
    ImageRecord r;
    // A literal packet of 2, then a run of 3.
    ASSERT_EQ(loadBytes(rleFile(5, {{0x82, 7, 8, 0x03, 9}, {0x05, 4}}), r), 0);
    const std::uint8_t row0[5] = {7, 8, 9, 9, 9};
    EXPECT_EQ(0, std::memcmp(r.row(0), row0, 5));
    EXPECT_EQ(r.row(1)[4], 4);

    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
        int code;
    };
    auto lastByte = rleFile(2, {{0x02, 4}});
    lastByte.back() = 9;
    auto shortLength = rleFile(2, {{0x02, 4}});
    putBe32(shortLength, 516, 0);
    auto pastFile = rleFile(2, {{0x02, 4}});
    putBe32(pastFile, 512, 0x7FFFFFF0);
    auto tablesMissing = sgiHeader(1, 2, 2, 1000, 3);
    const std::vector<Case> cases = {
        {"too few values", rleFile(5, {{0x04, 1}}), kImageCorrupted},
        {"too many values", rleFile(3, {{0x04, 1}}), kImageCorrupted},
        {"literal past the row", rleFile(3, {{0x85, 1, 2, 3}}), kImageCorrupted},
        {"last byte not 0", lastByte, kImageUnsupportedOption},
        {"zero length", shortLength, kImageCorrupted},
        {"row past the file", pastFile, kImageReadError},
        {"tables missing", tablesMissing, kImageReadError},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(loadBytes(c.file, r), c.code) << c.what;
        EXPECT_EQ(GetLastImageError(), c.code) << c.what;
        EXPECT_TRUE(r.pixels.empty()) << c.what;
    }
}

TEST(Sgi, BadHeadersGiveTheirCodes)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
        int code;
    };
    auto magic = sgiHeader(0, 2, 1, 1, 1);
    magic[1] = 0;
    auto twoBytes = sgiHeader(0, 2, 1, 1, 1);
    twoBytes[3] = 2;
    auto colourMap = sgiHeader(0, 2, 1, 1, 1);
    putBe32(colourMap, 104, 1);
    const std::vector<Case> cases = {
        {"short header", std::vector<std::uint8_t>(511, 0), kImageReadError},
        {"magic", magic, kImageUnsupportedOption},
        {"two bytes per channel", twoBytes, kImageUnsupportedOption},
        {"colour map", colourMap, kImageUnsupportedOption},
        {"five channels", sgiHeader(0, 3, 1, 1, 5), kImageBadDepth},
        {"zero height", sgiHeader(0, 2, 1, 0, 1), kImageBadSize},
        {"short planes", sgiHeader(0, 3, 2, 2, 3), kImageReadError},
        {"absurd size", sgiHeader(0, 3, 65535, 65535, 4), kImageReadError},
    };
    for (const Case& c : cases) {
        ImageRecord r;
        EXPECT_EQ(loadBytes(c.file, r), c.code) << c.what;
        EXPECT_TRUE(r.pixels.empty()) << c.what;
    }
    ImageRecord r;
    EXPECT_EQ(LoadSgiFile("x.rgb", nullptr), kImageNullRecord);
    EXPECT_EQ(LoadSgiFile((dir.path() / "missing.rgb").string(), &r), kImageCannotOpen);
    EXPECT_EQ(SaveSgiFile((dir.path() / "no/dir.rgb").string(), makeRecord(2, 2, 24)), kImageCannotOpen);
}

TEST(Sgi, DamagedFilesNeverOverrun)
{
    TempDir dir;
    for (const char* name : {"gray_rle.rgb", "rgba_rle.rgb", "rgb_verbatim.rgb"})
        expectDamageHandled(LoadSgiFile, dataFile(std::string("sgi/") + name), dir.path() / "damaged");
}
