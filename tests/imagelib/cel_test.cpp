// CEL reader, on files built here from the Animator cel and flic layouts.
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kWidth = 5, kHeight = 3;

std::uint8_t pixel(unsigned x, unsigned y)
{
    return static_cast<std::uint8_t>(x < 3 ? 40 + y : 7 * x + y);
}

int loadCelBytes(const Bytes& file, ImageRecord& r)
{
    return loadFileBytes(LoadCelFile, file, r, "in.cel");
}

void expectPicture(const ImageRecord& r)
{
    ASSERT_EQ(r.width, kWidth);
    ASSERT_EQ(r.height, kHeight);
    ASSERT_EQ(r.bitsPerPixel, 8);
    ASSERT_EQ(r.paletteSize, 256);
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            ASSERT_EQ(indexAt(r, x, kHeight - 1 - y), pixel(x, y)) << x << "," << y;
}

Bytes animatorCel(std::uint8_t depth = 8, std::uint8_t compression = 0)
{
    Bytes f(32, 0);
    putLe16(f, 0, 0x9119);
    putLe16(f, 2, kWidth);
    putLe16(f, 4, kHeight);
    f[10] = depth;
    f[11] = compression;
    for (unsigned i = 0; i < 256; ++i)
        f.insert(f.end(), {std::uint8_t(i % 64), std::uint8_t(63 - i % 64), std::uint8_t(i / 4)});
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            f.push_back(pixel(x, y));
    return f;
}

TEST(Cel, AnimatorCelWithItsSixBitPalette)
{
    ImageRecord r;
    ASSERT_EQ(loadCelBytes(animatorCel(), r), 0);
    expectPicture(r);
    const std::uint8_t* e = r.entry(70);  // 6-bit R 6, G 57, B 17
    EXPECT_EQ((Bytes{e[0], e[1], e[2], e[3]}), (Bytes{68, 228, 24, 0}));
}

Bytes subChunk(std::uint16_t type, const Bytes& data)
{
    Bytes c(6, 0);
    putLe32(c, 0, static_cast<std::uint32_t>(data.size() + 6));
    putLe16(c, 4, type);
    c.insert(c.end(), data.begin(), data.end());
    return c;
}

Bytes frame(std::uint16_t type, const std::vector<Bytes>& chunks)
{
    Bytes f(16, 0);
    putLe16(f, 4, type);
    putLe16(f, 6, static_cast<std::uint16_t>(chunks.size()));
    for (const Bytes& c : chunks)
        f.insert(f.end(), c.begin(), c.end());
    putLe32(f, 0, static_cast<std::uint32_t>(f.size()));
    return f;
}

Bytes flic(std::uint16_t magic, const std::vector<Bytes>& frames, std::uint16_t depth = 8)
{
    Bytes f(128, 0);
    putLe16(f, 4, magic);
    putLe16(f, 6, static_cast<std::uint16_t>(frames.size()));
    putLe16(f, 8, kWidth);
    putLe16(f, 10, kHeight);
    putLe16(f, 12, depth);
    for (const Bytes& fr : frames)
        f.insert(f.end(), fr.begin(), fr.end());
    putLe32(f, 0, static_cast<std::uint32_t>(f.size()));
    return f;
}

// Two colour packets: entries 0-1, then after skipping 3, entries 5-6. Six-bit
// values are a quarter of the eight-bit ones.
Bytes colours(bool sixBit)
{
    Bytes b = {2, 0, 0, 2, 4, 8, 12, 16, 20, 24, 3, 2, 40, 44, 48, 52, 56, 60};
    if (sixBit)
        for (std::size_t i : {4, 5, 6, 7, 8, 9, 12, 13, 14, 15, 16, 17})
            b[i] /= 4;
    return b;
}

// Each row: a repeat of three, then two literal bytes.
Bytes byteRun()
{
    Bytes b;
    for (unsigned y = 0; y < kHeight; ++y)
        b.insert(b.end(), {2, 3, std::uint8_t(40 + y), 0xFE, pixel(3, y), pixel(4, y)});
    return b;
}

Bytes copy()
{
    Bytes b;
    for (unsigned y = 0; y < kHeight; ++y)
        for (unsigned x = 0; x < kWidth; ++x)
            b.push_back(pixel(x, y));
    b.push_back(0);  // 15 bytes: the chunk is padded to an even length
    return b;
}

TEST(Cel, FlicFirstFramesPaletteAndPixels)
{
    const Bytes prefix = frame(0xF100, {});
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"FLC, 8-bit colours, byte run", flic(0xAF12, {prefix, frame(0xF1FA, {subChunk(18, Bytes(9, 1)), subChunk(4, colours(false)),
                                                                               subChunk(15, byteRun())})})},
        {"FLI, 6-bit colours, copy", flic(0xAF11, {frame(0xF1FA, {subChunk(11, colours(true)), subChunk(16, copy())})})},
    };
    for (const auto& c : cases) {
        ImageRecord r;
        ASSERT_EQ(loadCelBytes(c.file, r), 0) << c.what;
        expectPicture(r);
        const std::uint8_t* e1 = r.entry(1);
        const std::uint8_t* e6 = r.entry(6);
        EXPECT_EQ((Bytes{e1[0], e1[1], e1[2], r.entry(4)[0], e6[0], e6[1], e6[2]}), (Bytes{24, 20, 16, 0, 60, 56, 52}))
            << c.what;
    }
}

TEST(Cel, FirstFrameWithOnlyPixelsOrOnlyAPalette)
{
    ImageRecord r;
    // A black frame ends the walk: later frames are not read.
    ASSERT_EQ(loadCelBytes(flic(0xAF12, {frame(0xF1FA, {subChunk(13, {})}), frame(0xF1FA, {subChunk(99, {})})}), r), 0);
    EXPECT_EQ(r.width, kWidth);
    EXPECT_TRUE(std::all_of(r.pixels.begin(), r.pixels.end(), [](std::uint8_t v) { return v == 0; }));
    // An empty frame first, then one with only colours.
    ASSERT_EQ(loadCelBytes(flic(0xAF12, {frame(0xF1FA, {}), frame(0xF1FA, {subChunk(4, colours(false))})}), r), 0);
    EXPECT_EQ(r.entry(5)[2], 40);
    EXPECT_EQ(indexAt(r, 4, 2), 0u);
}

TEST(Cel, DamagedAndUnsupportedFiles)
{
    Bytes cutCel = animatorCel();
    cutCel.pop_back();
    Bytes wrongRun = byteRun();
    wrongRun[1] = 4;  // the repeat and the literals overflow the row
    Bytes overflowColours = {1, 0, 255, 2, 1, 2, 3, 4, 5, 6};
    Bytes shortFrame = flic(0xAF12, {frame(0xF1FA, {})});
    putLe32(shortFrame, 128, 10);
    const struct {
        const char* what;
        Bytes file;
        int code;
    } cases[] = {
        {"unknown magic", Bytes(40, 0x55), kImageUnsupportedOption},
        {"cel depth 4", animatorCel(4), kImageUnsupportedOption},
        {"cel compressed", animatorCel(8, 1), kImageUnsupportedOption},
        {"cel pixels cut short", cutCel, kImageReadError},
        {"file of three bytes", Bytes{0x12, 0xAF, 0}, kImageReadError},
        {"flic depth 16", flic(0xAF12, {}, 16), kImageUnsupportedOption},
        {"flic without frames", flic(0xAF12, {}), kImageReadError},
        {"frame shorter than its header", shortFrame, kImageCorruptFile},
        {"unknown sub-chunk", flic(0xAF12, {frame(0xF1FA, {subChunk(99, {1, 2})})}), kImageUnsupportedOption},
        {"byte run past the row", flic(0xAF12, {frame(0xF1FA, {subChunk(15, wrongRun)})}), kImageCorruptFile},
        {"byte run with bytes left", flic(0xAF12, {frame(0xF1FA, {subChunk(15, [] { Bytes b = byteRun(); b.insert(b.end(), {0, 0}); return b; }())})}),
         kImageCorruptFile},
        {"colours past entry 255", flic(0xAF12, {frame(0xF1FA, {subChunk(4, overflowColours)})}), kImageCorruptFile},
        {"byte run too short for a huge frame", [] { Bytes f = flic(0xAF12, {frame(0xF1FA, {subChunk(15, byteRun())})});
                                                      putLe16(f, 8, 60000); putLe16(f, 10, 60000); return f; }(),
         kImageCorruptFile},
        {"copy of the wrong size", flic(0xAF12, {frame(0xF1FA, {subChunk(16, Bytes(40, 1))})}), kImageCorruptFile},
        {"sub-chunk past its frame", [] { Bytes f = flic(0xAF12, {frame(0xF1FA, {subChunk(16, copy())})}); putLe32(f, 144, 500); return f; }(),
         kImageCorruptFile},
    };
    for (const auto& c : cases) {
        ImageRecord r;
        EXPECT_EQ(loadCelBytes(c.file, r), c.code) << c.what;
        EXPECT_EQ(GetLastImageError(), c.code) << c.what;
        EXPECT_TRUE(r.pixels.empty()) << c.what;
    }
    ImageRecord r;
    EXPECT_EQ(LoadCelFile("/nonexistent/x.cel", &r), kImageCannotOpen);
    EXPECT_EQ(LoadCelFile("/nonexistent/x.cel", nullptr), kImageNullRecord);
}

TEST(Cel, ReachedThroughTheExtension)
{
    TempDir dir;
    writeBytes(dir.path() / "pic.CEL", animatorCel());
    const auto bitmap = LoadImageToBitmap((dir.path() / "pic.CEL").string(), nullptr, kAlphaKeep);
    ASSERT_TRUE(bitmap);
    EXPECT_EQ(bitmap->width(), kWidth);
    EXPECT_EQ(bitmap->topRow(0)[3], pixel(3, 0));
}

}  // namespace
