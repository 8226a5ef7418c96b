// TCUTGraphic: Dr. Halo pictures with their palette file, or gray levels.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "class_test_support.h"
#include "pictures/cut_graphic.h"
#include "test_support/temp_dir.h"

using namespace picturetest;

namespace {

// 5 x 2: top row a run of 3 x 80 then literals 1, 99; bottom row literal 7 and
// a run of 4 x 2 cut at the width.
ByteVector cutFile()
{
    ByteVector f;
    append16(f, 5);
    append16(f, 2);
    append16(f, 0);
    const ByteVector rows[2] = {{0x83, 80, 0x02, 1, 99, 0}, {0x01, 7, 0x84, 2, 0}};
    for (const ByteVector& r : rows) {
        append16(f, r.size());
        f.insert(f.end(), r.begin(), r.end());
    }
    return f;
}

// 100 entries, entry i = (i % 64, 63 - i % 64, 10) of maxima 63; the entries
// after the 78th start in the next 512-byte block.
ByteVector palFile()
{
    ByteVector f(40, 0);
    f[0] = 'A';
    f[1] = 'H';
    f[6] = 0x0A;
    put16(f, 12, 99);
    put16(f, 14, 63);
    put16(f, 16, 63);
    put16(f, 18, 63);
    for (int i = 0; i < 100; ++i) {
        if (f.size() % 512 + 6 > 512)
            f.resize((f.size() / 512 + 1) * 512, 0);
        append16(f, i % 64);
        append16(f, 63 - i % 64);
        append16(f, 10);
    }
    return f;
}

void writeFile(const std::filesystem::path& p, const ByteVector& bytes)
{
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::array<int, 4> colourOf(int i)
{
    return {(i % 64) * 255 / 63, (63 - i % 64) * 255 / 63, 10 * 255 / 63, 255};
}

}  // namespace

TEST(TCUTGraphic, PaletteFileBesideThePicture)
{
    TempDir dir;
    const ByteVector cut = cutFile();
    writeFile(dir.path() / "scan.cut", cut);
    writeFile(dir.path() / "SCAN.PAL", palFile());
    const auto cls = pictures::makeTCUTGraphic();
    ASSERT_TRUE(cls->canLoad(pictures::Bytes(cut.data(), cut.size())));
    const auto picture = cls->load(pictures::Bytes(cut.data(), cut.size()), (dir.path() / "scan.cut").string());
    EXPECT_TRUE(picture.problems.empty());
    const int top[5] = {80, 80, 80, 1, 99}, bottom[5] = {7, 2, 2, 2, 2};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(rgbaAt(picture.bitmap, x, 0), colourOf(top[x])) << x;
        EXPECT_EQ(rgbaAt(picture.bitmap, x, 1), colourOf(bottom[x])) << x;
    }
    expectTruncationsHandled(*cls, cut, cut.size() - 1, (dir.path() / "scan.cut").string());
    expectDamageHandled(*cls, cut, cut.size());
}

TEST(TCUTGraphic, GrayLevelsWithoutPaletteAndABrokenPalette)
{
    const auto cls = pictures::makeTCUTGraphic();
    const ByteVector cut = cutFile();
    const auto picture = cls->load(pictures::Bytes(cut.data(), cut.size()), "");
    ASSERT_EQ(picture.problems.size(), 1u);
    // Ramp over the highest index used (99).
    EXPECT_EQ(rgbaAt(picture.bitmap, 4, 0), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(rgbaAt(picture.bitmap, 0, 0), (std::array<int, 4>{80 * 255 / 99, 80 * 255 / 99, 80 * 255 / 99, 255}));

    TempDir dir;
    ByteVector pal = palFile();
    pal[6] = 1;  // not a palette file
    writeFile(dir.path() / "a.pal", pal);
    EXPECT_EQ(loadError(*cls, cut, (dir.path() / "a.cut").string()), "Cannot load image. Palette in CUT file is invalid.");
    pal = palFile();
    pal.resize(300);
    writeFile(dir.path() / "a.pal", pal);
    EXPECT_EQ(loadError(*cls, cut, (dir.path() / "a.cut").string()), "Cannot load image. Palette in CUT file is invalid.");
    EXPECT_EQ(loadError(*cls, {0, 0, 5, 0, 0, 0}), "Cannot load image. Invalid or unexpected CUT image format.");
    EXPECT_EQ(loadError(*cls, ByteVector(cut.begin(), cut.end() - 3)), "Stream read error in CUT file.");
}
