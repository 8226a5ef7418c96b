// Windows bitmap reader and writer.
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

struct RoundTrip {
    unsigned depth;
    PaletteKind palette;
    std::uint16_t colours;
};

}  // namespace

TEST(Bmp, RoundTripEveryDepthWithExactHeaders)
{
    const RoundTrip cases[] = {
        {1, PaletteKind::Colour, 0}, {4, PaletteKind::Colour, 0}, {8, PaletteKind::Gray, 256},
        {8, PaletteKind::Colour, 40}, {16, PaletteKind::None, 0},  {24, PaletteKind::None, 0},
    };
    TempDir dir;
    for (const RoundTrip& c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << " bits, " << c.colours << " colours");
        const ImageRecord saved = makeRecord(13, 6, c.depth, c.palette, c.colours);
        const std::string name = (dir.path() / "round.bmp").string();
        ASSERT_EQ(SaveBmpFile(name, saved), 0);

        const auto bytes = readBytes(name);
        const std::uint32_t colours = saved.paletteSize;
        const std::uint32_t stride = (13 * c.depth + 31) / 32 * 4;
        EXPECT_EQ(bytes[0], 'B');
        EXPECT_EQ(bytes[1], 'M');
        EXPECT_EQ(le32(bytes, 2), bytes.size());
        EXPECT_EQ(le32(bytes, 10), 54 + 4 * colours);
        EXPECT_EQ(le32(bytes, 14), 40u);
        EXPECT_EQ(le32(bytes, 18), 13u);
        EXPECT_EQ(le32(bytes, 22), 6u);
        EXPECT_EQ(le16(bytes, 26), 1u);
        EXPECT_EQ(le16(bytes, 28), c.depth);
        EXPECT_EQ(le32(bytes, 30), 0u);
        EXPECT_EQ(le32(bytes, 34), stride * 6);
        EXPECT_EQ(le32(bytes, 46), colours);
        EXPECT_EQ(le32(bytes, 50), colours);
        EXPECT_EQ(bytes.size(), 54 + 4 * colours + stride * 6);

        ImageRecord loaded;
        loaded.rowPadding = 1;
        ASSERT_EQ(LoadBmpFile(name, &loaded), 0);
        expectSameRecord(loaded, saved);
    }
}

TEST(Bmp, ThirtyTwoBitRecordsAreWrittenAsTwentyFourBits)
{
    TempDir dir;
    const ImageRecord saved = makeRecord(3, 2, 32, PaletteKind::None);
    const std::string name = (dir.path() / "alpha.bmp").string();
    ASSERT_EQ(SaveBmpFile(name, saved), 0);
    const auto bytes = readBytes(name);
    EXPECT_EQ(le16(bytes, 28), 24u);
    EXPECT_EQ(le32(bytes, 34), 24u);  // rows of 12 bytes: 9 of pixels, 3 of padding
    ASSERT_EQ(bytes.size(), 54u + 24);
    for (std::uint32_t y = 0; y < 2; ++y)
        for (std::uint32_t x = 0; x < 3; ++x)
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(bytes[54 + y * 12 + 3 * x + k], saved.row(y)[4 * x + k]);
}

TEST(Bmp, BitmapsRoundTripThroughTheLibrary)
{
    TempDir dir;
    platform::Bitmap bitmap(5, 3, 8);
    for (std::size_t i = 0; i < bitmap.bits().size(); ++i)
        bitmap.bits()[i] = static_cast<std::uint8_t>(i);
    for (std::size_t i = 0; i < 256; ++i)
        bitmap.palette()[i] = {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i / 2), 0};
    const std::string name = (dir.path() / "lib.bmp").string();
    ASSERT_EQ(SaveBitmapToImage(&bitmap, name, nullptr), 0);
    auto back = LoadImageToBitmap(name, nullptr, 0);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(*back, bitmap);
}

TEST(Bmp, FixturesFromAnotherProgramLoad)
{
    // V5 headers (124 bytes) put the palette and the rows further on than a
    // 40-byte header would; top-down files store the top row first.
    for (const char* name : {"v5_24", "v5_pal4", "v5_pal8", "v5_topdown_24", "v5_topdown_pal8"}) {
        SCOPED_TRACE(name);
        ImageRecord r;
        r.rowPadding = 1;
        ASSERT_EQ(LoadBmpFile(dataFile(std::string("bmp/") + name + ".bmp"), &r), 0);
        EXPECT_EQ(r.width, 7u);
        EXPECT_EQ(r.height, 5u);
        expectPixels(r, readBytes(dataFile(std::string("bmp/") + name + ".raw")), 3);
    }
    ImageRecord r;
    EXPECT_EQ(LoadBmpFile(dataFile("bmp/v5_rle8.bmp"), &r), kImageUnsupportedOption);
}

TEST(Bmp, PaletteSizeFollowsColoursUsedAndRowsFollowThePixelOffset)
{
    // An 8-bit file with 16 colours, a 40-byte header and a gap of 10 bytes
    // between the palette and the rows, stored top-down.
    std::vector<std::uint8_t> file(54 + 64 + 10 + 2 * 4, 0);
    file[0] = 'B';
    file[1] = 'M';
    putLe32(file, 10, 54 + 64 + 10);
    putLe32(file, 14, 40);
    putLe32(file, 18, 3);
    putLe32(file, 22, static_cast<std::uint32_t>(-2));
    putLe16(file, 28, 8);
    putLe32(file, 46, 16);
    for (int i = 0; i < 16; ++i)
        file[54 + 4 * i + 2] = static_cast<std::uint8_t>(i * 16);  // red
    std::fill(file.begin() + 118, file.begin() + 128, 0xEE);        // the gap
    const std::uint8_t rows[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    std::copy(rows, rows + 8, file.begin() + 128);
    TempDir dir;
    const auto path = dir.path() / "gap.bmp";
    writeBytes(path, file);

    ImageRecord r;
    r.rowPadding = 1;
    ASSERT_EQ(LoadBmpFile(path.string(), &r), 0);
    EXPECT_EQ(r.paletteSize, 16);
    EXPECT_EQ(r.entry(5)[2], 80);
    EXPECT_EQ(r.row(1)[0], 1);  // the first stored row is the top row
    EXPECT_EQ(r.row(0)[2], 6);

    // colours used 0 means 2^depth entries, read before the rows.
    putLe32(file, 46, 0);
    putLe32(file, 10, 0);
    file.resize(54 + 1024 + 8);
    std::copy(rows, rows + 8, file.begin() + 54 + 1024);
    writeBytes(path, file);
    ASSERT_EQ(LoadBmpFile(path.string(), &r), 0);
    EXPECT_EQ(r.paletteSize, 256);
    EXPECT_EQ(r.row(0)[0], 4);
}

TEST(Bmp, BadFilesGiveTheirCodes)
{
    TempDir dir;
    const ImageRecord saved = makeRecord(6, 4, 24, PaletteKind::None);
    const std::string good = (dir.path() / "good.bmp").string();
    ASSERT_EQ(SaveBmpFile(good, saved), 0);
    const auto bytes = readBytes(good);
    const auto path = dir.path() / "bad.bmp";

    auto expectCode = [&](const std::vector<std::uint8_t>& file, int code, const char* what) {
        writeBytes(path, file);
        ImageRecord r;
        r.rowPadding = 1;
        EXPECT_EQ(LoadBmpFile(path.string(), &r), code) << what;
        EXPECT_EQ(GetLastImageError(), code) << what;
        EXPECT_TRUE(r.pixels.empty()) << what;
    };
    for (std::size_t cut : {std::size_t{0}, std::size_t{10}, std::size_t{14}, std::size_t{53}, bytes.size() - 1})
        expectCode(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + cut), kImageReadError, "truncated");
    for (std::uint32_t compression : {1u, 2u, 3u}) {
        auto file = bytes;
        putLe32(file, 30, compression);
        expectCode(file, kImageUnsupportedOption, "compressed");
    }
    auto file = bytes;
    file[1] = 'A';
    expectCode(file, kImageUnsupportedOption, "magic");
    file = bytes;
    putLe16(file, 28, 2);
    expectCode(file, kImageBadDepth, "depth");
    file = bytes;
    putLe32(file, 18, 0);
    expectCode(file, kImageBadSize, "width");
    file = bytes;
    putLe32(file, 14, 12);
    expectCode(file, kImageUnsupportedOption, "small header");
    // Absurd sizes in a small file are refused before anything is allocated.
    for (std::uint32_t h : {0x7FFFFFFFu, 0x80000000u, 60000u}) {
        file = bytes;
        putLe32(file, 18, 60000);
        putLe32(file, 22, h);
        expectCode(file, kImageReadError, "absurd size");
    }
    file = bytes;
    putLe32(file, 10, 0xFFFFFFF0u);
    expectCode(file, kImageReadError, "pixel offset past the end");

    ImageRecord r;
    EXPECT_EQ(LoadBmpFile(good, nullptr), kImageNullRecord);
    EXPECT_EQ(LoadBmpFile((dir.path() / "missing.bmp").string(), &r), kImageCannotOpen);
    EXPECT_EQ(SaveBmpFile((dir.path() / "x.bmp").string(), ImageRecord{}), kImageNullRecord);
    EXPECT_EQ(SaveBmpFile((dir.path() / "no/such/dir.bmp").string(), saved), kImageCannotOpen);
}

TEST(Bmp, DamagedFilesNeverOverrun)
{
    TempDir dir;
    for (const char* name : {"v5_24.bmp", "v5_pal4.bmp", "v5_topdown_pal8.bmp"})
        expectDamageHandled(LoadBmpFile, dataFile(std::string("bmp/") + name), dir.path() / "damaged");
}

TEST(Bmp, ThirtyTwoBitPaddingBytesOfZeroAreOpaque)
{
    // 2 x 1, 32 bits, compression 0: the fourth bytes all 0, then one of them 9.
    std::vector<std::uint8_t> file(54 + 8, 0);
    file[0] = 'B';
    file[1] = 'M';
    putLe32(file, 10, 54);
    putLe32(file, 14, 40);
    putLe32(file, 18, 2);
    putLe32(file, 22, 1);
    putLe16(file, 26, 1);
    putLe16(file, 28, 32);
    const std::uint8_t pixels[8] = {1, 2, 3, 0, 4, 5, 6, 0};
    std::copy(pixels, pixels + 8, file.begin() + 54);
    ImageRecord r;
    ASSERT_EQ(loadFileBytes(LoadBmpFile, file, r, "pad.bmp"), 0);
    EXPECT_EQ(rgbaAt(r, 0, 0), (std::array<std::uint8_t, 4>{3, 2, 1, 255}));
    EXPECT_EQ(rgbaAt(r, 1, 0), (std::array<std::uint8_t, 4>{6, 5, 4, 255}));
    file[54 + 7] = 9;  // real alpha somewhere: kept as stored
    ASSERT_EQ(loadFileBytes(LoadBmpFile, file, r, "alpha.bmp"), 0);
    EXPECT_EQ(rgbaAt(r, 0, 0)[3], 0);
    EXPECT_EQ(rgbaAt(r, 1, 0)[3], 9);
}
