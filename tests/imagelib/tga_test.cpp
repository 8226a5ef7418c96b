// Targa reader and writer.
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

std::vector<std::uint8_t> tgaHeader(std::uint8_t type, std::uint16_t width, std::uint16_t height, std::uint8_t depth,
                                    std::uint8_t descriptor, std::uint8_t mapType = 0, std::uint16_t mapLength = 0,
                                    std::uint8_t mapBits = 0)
{
    std::vector<std::uint8_t> h(18, 0);
    h[1] = mapType;
    h[2] = type;
    putLe16(h, 5, mapLength);
    h[7] = mapBits;
    putLe16(h, 12, width);
    putLe16(h, 14, height);
    h[16] = depth;
    h[17] = descriptor;
    return h;
}

int loadBytes(const std::vector<std::uint8_t>& file, ImageRecord& r)
{
    return loadFileBytes(LoadTgaFile, file, r, "in.tga");
}

}  // namespace

TEST(Tga, RoundTripEveryDepthWithExactHeaders)
{
    struct Case {
        unsigned depth;
        PaletteKind palette;
        std::uint16_t colours;
        std::uint8_t type, mapType, pixelDepth, descriptor;
        std::uint16_t mapLength;
    } cases[] = {
        {1, PaletteKind::Colour, 0, 1, 1, 8, 0x20, 2},
        {4, PaletteKind::Colour, 0, 1, 1, 8, 0x20, 16},
        {4, PaletteKind::Gray, 0, 1, 1, 8, 0x20, 16},  // 16 gray entries stay colour-mapped
        {8, PaletteKind::Gray, 256, 3, 0, 8, 0x20, 0},
        {8, PaletteKind::Colour, 40, 1, 1, 8, 0x20, 40},
        {16, PaletteKind::None, 0, 2, 0, 16, 0x20, 0},
        {24, PaletteKind::None, 0, 2, 0, 24, 0x20, 0},
        {32, PaletteKind::None, 0, 2, 0, 32, 0x28, 0},
    };
    TempDir dir;
    const std::string name = (dir.path() / "round.tga").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << " bits, " << c.colours << " colours");
        const ImageRecord saved = makeRecord(11, 4, c.depth, c.palette, c.colours);
        ASSERT_EQ(SaveTgaFile(name, saved), 0);
        const auto bytes = readBytes(name);
        EXPECT_EQ(bytes[0], 0);
        EXPECT_EQ(bytes[1], c.mapType);
        EXPECT_EQ(bytes[2], c.type);
        EXPECT_EQ(le16(bytes, 3), 0u);
        EXPECT_EQ(le16(bytes, 5), c.mapLength);
        EXPECT_EQ(bytes[7], c.mapType ? 32 : 0);
        EXPECT_EQ(le16(bytes, 12), 11u);
        EXPECT_EQ(le16(bytes, 14), 4u);
        EXPECT_EQ(bytes[16], c.pixelDepth);
        EXPECT_EQ(bytes[17], c.descriptor);
        EXPECT_EQ(bytes.size(), 18 + 4u * c.mapLength + 11 * 4 * c.pixelDepth / 8);

        ImageRecord loaded;
        loaded.rowPadding = 1;
        ASSERT_EQ(LoadTgaFile(name, &loaded), 0);
        ASSERT_EQ(loaded.bitsPerPixel, c.depth < 8 ? 8 : c.depth);
        expectSameColours(loaded, saved);
        if (c.depth <= 8 && c.mapType) {
            for (std::uint32_t y = 0; y < 4; ++y)
                for (std::uint32_t x = 0; x < 11; ++x)
                    ASSERT_EQ(indexAt(loaded, x, y), indexAt(saved, x, y));
        }
    }
}

TEST(Tga, GrayPaletteIsWrittenAsTheGrayLevelsShown)
{
    // An inverted gray ramp: the file must hold the levels, not the indices.
    ImageRecord saved = makeRecord(4, 2, 8, PaletteKind::Gray, 256);
    for (int i = 0; i < 256; ++i)
        saved.entry(i)[0] = saved.entry(i)[1] = saved.entry(i)[2] = static_cast<std::uint8_t>(255 - i);
    TempDir dir;
    const std::string name = (dir.path() / "gray.tga").string();
    ASSERT_EQ(SaveTgaFile(name, saved), 0);
    const auto bytes = readBytes(name);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(bytes[18], 255 - saved.row(1)[0]);  // top row first
    ImageRecord loaded;
    ASSERT_EQ(LoadTgaFile(name, &loaded), 0);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(rgbaAt(loaded, x, y), rgbaAt(saved, x, y));
}

TEST(Tga, FixturesFromAnotherProgramLoad)
{
    struct Fixture {
        const char* name;
        unsigned depth;
        const char* reference;
        unsigned channels;
    } fixtures[] = {
        {"rle24_topleft", 24, "raw", 3},     {"rle24_topright", 24, "raw", 3},
        {"rle24_bottomleft", 24, "raw", 3},  {"rle24_bottomright", 24, "raw", 3},
        {"cmap_rle", 8, "raw", 3},           {"cmap_raw", 8, "raw", 3},
        {"pil_cmap_rle_topleft", 8, "raw", 3}, {"gray_rle", 8, "raw", 3},
        {"rgba32", 32, "rawa", 4},           {"rgba32_rle_topleft", 32, "rawa", 4},
    };
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.name);
        ImageRecord r;
        r.rowPadding = 1;
        ASSERT_EQ(LoadTgaFile(dataFile(std::string("tga/") + f.name + ".tga"), &r), 0);
        EXPECT_EQ(r.width, 7u);
        EXPECT_EQ(r.height, 5u);
        EXPECT_EQ(r.bitsPerPixel, f.depth);
        expectPixels(r, readBytes(dataFile(std::string("tga/") + f.name + "." + f.reference)), f.channels);
    }
}

TEST(Tga, ReaderVariants)
{
    ImageRecord r;
    // 32-bit pixels without the alpha bit: a 24-bit record, the fourth byte dropped;
    // descriptor 0x10 stores each row right to left.
    auto file = tgaHeader(2, 2, 1, 32, 0x10);
    for (std::uint8_t b : {1, 2, 3, 99, 4, 5, 6, 98})
        file.push_back(b);
    ASSERT_EQ(loadBytes(file, r), 0);
    EXPECT_EQ(r.bitsPerPixel, 24);
    const std::uint8_t want24[6] = {4, 5, 6, 1, 2, 3};
    EXPECT_EQ(0, std::memcmp(r.row(0), want24, 6));

    // 15-bit true colour gives a 16-bit record.
    file = tgaHeader(2, 1, 1, 15, 0);
    file.push_back(0x1F);
    file.push_back(0x7C);
    ASSERT_EQ(loadBytes(file, r), 0);
    EXPECT_EQ(r.bitsPerPixel, 16);
    EXPECT_EQ(le16(r.pixels, 0), 0x7C1Fu);

    // A colour map of 16-bit entries, then an ID field before it, run-length pixels.
    file = tgaHeader(9, 3, 1, 8, 0, 1, 2, 16);
    file[0] = 2;
    file.push_back('i');
    file.push_back('d');
    for (std::uint8_t b : {0x1F, 0x00, 0x00, 0x7C})  // blue, red
        file.push_back(b);
    for (std::uint8_t b : {0x81, 1, 0x00, 0})  // two of index 1, one of index 0
        file.push_back(b);
    ASSERT_EQ(loadBytes(file, r), 0);
    EXPECT_EQ(r.paletteSize, 2);
    EXPECT_EQ(rgbaAt(r, 0, 0), (std::array<std::uint8_t, 4>{248, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(r, 2, 0), (std::array<std::uint8_t, 4>{0, 0, 248, 255}));

    // A true-colour file may carry a colour map: its pixels come after it.
    file = tgaHeader(2, 1, 1, 24, 0, 1, 2, 24);
    for (std::uint8_t b : {9, 9, 9, 8, 8, 8, 10, 20, 30})
        file.push_back(b);
    ASSERT_EQ(loadBytes(file, r), 0);
    const std::uint8_t want[3] = {10, 20, 30};
    EXPECT_EQ(0, std::memcmp(r.row(0), want, 3));

    // Grayscale without a map gets the gray ramp.
    file = tgaHeader(3, 1, 1, 8, 0);
    file.push_back(77);
    ASSERT_EQ(loadBytes(file, r), 0);
    EXPECT_EQ(rgbaAt(r, 0, 0), (std::array<std::uint8_t, 4>{77, 77, 77, 255}));
}

TEST(Tga, BadFilesGiveTheirCodes)
{
    TempDir dir;
    struct Case {
        const char* what;
        std::vector<std::uint8_t> file;
        int code;
    };
    auto with = [](std::vector<std::uint8_t> h, std::initializer_list<std::uint8_t> tail) {
        h.insert(h.end(), tail);
        return h;
    };
    const std::vector<Case> cases = {
        {"type 0 before the depth", tgaHeader(0, 1, 1, 7, 0), kImageUnsupportedOption},
        {"depth 7", tgaHeader(2, 1, 1, 7, 0), kImageUnsupportedOption},
        {"type 4", tgaHeader(4, 1, 1, 8, 0), kImageUnsupportedOption},
        {"300 map entries", tgaHeader(1, 1, 1, 8, 0, 1, 300, 24), kImageUnsupportedOption},
        {"16-bit indices", tgaHeader(1, 1, 1, 16, 0, 1, 2, 24), kImageUnsupportedOption},
        {"zero width", tgaHeader(2, 0, 1, 24, 0), kImageBadSize},
        {"short header", std::vector<std::uint8_t>(17, 0), kImageReadError},
        {"short pixels", with(tgaHeader(2, 2, 1, 24, 0), {1, 2, 3, 4, 5}), kImageReadError},
        {"short ID", with(tgaHeader(2, 1, 1, 24, 0), {}), kImageReadError},
        {"short map", with(tgaHeader(1, 1, 1, 8, 0, 1, 200, 24), {1, 2, 3, 4}), kImageReadError},
        {"absurd size", with(tgaHeader(10, 65535, 65535, 32, 8), {0xFF, 1, 2, 3, 4}), kImageReadError},
        {"run past the picture", with(tgaHeader(10, 2, 2, 24, 0), {0x84, 1, 2, 3, 0, 1, 2, 3}), kImageUnsupportedOption},
        {"literal past the picture",
         with(tgaHeader(11, 2, 1, 8, 0), {0x02, 1, 2, 3}), kImageUnsupportedOption},
        {"packets end early", with(tgaHeader(10, 2, 2, 24, 0), {0x82, 1, 2, 3}), kImageReadError},
    };
    for (const Case& c : cases) {
        auto file = c.file;
        if (std::string(c.what) == "short ID")
            file[0] = 5;
        ImageRecord r;
        EXPECT_EQ(loadBytes(file, r), c.code) << c.what;
        EXPECT_EQ(GetLastImageError(), c.code) << c.what;
        EXPECT_TRUE(r.pixels.empty()) << c.what;
    }
    ImageRecord r;
    EXPECT_EQ(LoadTgaFile("whatever.tga", nullptr), kImageNullRecord);
    EXPECT_EQ(LoadTgaFile((dir.path() / "missing.tga").string(), &r), kImageCannotOpen);
    EXPECT_EQ(SaveTgaFile((dir.path() / "no/dir.tga").string(), makeRecord(2, 2, 24)), kImageCannotOpen);
    EXPECT_EQ(SaveTgaFile((dir.path() / "wide.tga").string(), makeRecord(70000, 1, 8, PaletteKind::Gray, 256)),
              kImageBadSize);
}

TEST(Tga, DamagedFilesNeverOverrun)
{
    TempDir dir;
    for (const char* name : {"rle24_topright.tga", "cmap_rle.tga", "rgba32.tga", "gray_rle.tga"})
        expectDamageHandled(LoadTgaFile, dataFile(std::string("tga/") + name), dir.path() / "damaged");
}

TEST(Tga, AlphaPicturesSurviveALoadAndSaveThroughTheLibrary)
{
    // Saving un-blends 32-bit pixels from the background, so a picture loaded
    // composited over it comes back with its own colours (within rounding).
    TempDir dir;
    const std::string name = (dir.path() / "copy.tga").string();
    auto bitmap = LoadImageToBitmap(dataFile("tga/rgba32.tga"), nullptr, kAlphaOverColour);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_EQ(SaveBitmapToImage(bitmap.get(), name, nullptr), 0);
    ImageRecord original, copy;
    ASSERT_EQ(LoadTgaFile(dataFile("tga/rgba32.tga"), &original), 0);
    ASSERT_EQ(LoadTgaFile(name, &copy), 0);
    for (std::uint32_t y = 0; y < 5; ++y)
        for (std::uint32_t x = 0; x < 7; ++x) {
            const auto a = rgbaAt(original, x, y);
            const auto b = rgbaAt(copy, x, y);
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(a[c], b[c], 3) << x << "," << y << " channel " << c;
        }
}

TEST(Tga, SixteenBitGrayscaleIsGrayWithAlpha)
{
    // Gray, alpha pairs: (10, 255) (200, 0) (77, 128), raw and run-length.
    auto raw = tgaHeader(3, 3, 1, 16, 0x20);
    for (std::uint8_t b : {10, 255, 200, 0, 77, 128})
        raw.push_back(b);
    auto rle = tgaHeader(11, 3, 1, 16, 0x20);
    for (std::uint8_t b : {0x02, 10, 255, 200, 0, 77, 128})
        rle.push_back(b);
    for (const auto& file : {raw, rle}) {
        ImageRecord r;
        ASSERT_EQ(loadBytes(file, r), 0);
        ASSERT_EQ(r.bitsPerPixel, 32);
        EXPECT_EQ(r.paletteSize, 0);
        EXPECT_EQ(rgbaAt(r, 0, 0), (std::array<std::uint8_t, 4>{10, 10, 10, 255}));
        EXPECT_EQ(rgbaAt(r, 1, 0), (std::array<std::uint8_t, 4>{200, 200, 200, 0}));
        EXPECT_EQ(rgbaAt(r, 2, 0), (std::array<std::uint8_t, 4>{77, 77, 77, 128}));
    }
}

TEST(Tga, SixteenBitColourMapsWidenedByBitReplicationWhenAsked)
{
    // White and a mid blue (16) in 16-bit entries.
    auto file = tgaHeader(1, 2, 1, 8, 0, 1, 2, 16);
    for (std::uint8_t b : {0xFF, 0x7F, 0x10, 0x00, 0, 1})
        file.push_back(b);
    ImageRecord plain, wide;
    ASSERT_EQ(loadBytes(file, plain), 0);
    EXPECT_EQ(rgbaAt(plain, 0, 0), (std::array<std::uint8_t, 4>{248, 248, 248, 255}));
    wide.rowPadding = 1;
    ASSERT_EQ(LoadTgaBytes(file, &wide, TgaReadOptions{true}), 0);
    EXPECT_EQ(rgbaAt(wide, 0, 0), (std::array<std::uint8_t, 4>{255, 255, 255, 255}));
    EXPECT_EQ(rgbaAt(wide, 1, 0), (std::array<std::uint8_t, 4>{0, 0, 132, 255}));
    // The bytes entry keeps the reader's codes.
    EXPECT_EQ(LoadTgaBytes(std::vector<std::uint8_t>(file.begin(), file.begin() + 10), &wide, {}), kImageReadError);
    EXPECT_EQ(wide.pixels.size(), 0u);
    EXPECT_EQ(LoadTgaBytes(file, nullptr, {}), kImageNullRecord);
}
