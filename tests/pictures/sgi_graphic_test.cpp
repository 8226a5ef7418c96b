// TSGIGraphic: one and two bytes per channel, verbatim and run-length, and
// run-length rows whose stated length leaves out the closing zero.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/picture_classes.h"

using namespace picturetest;

namespace {

TEST(TSGIGraphic, OneAndTwoBytesPerChannel)
{
    const auto sgi = pictures::makeSgiGraphic();
    struct Case {
        const char* file;
        const char* raw;
        int channels, depth;
    };
    const Case cases[] = {
        {"sgi/rgb16_verbatim.sgi", "sgi/rgb16.raw", 3, 24},
        {"sgi/rgb16_rle.sgi", "sgi/rgb16.raw", 3, 24},
        {"sgi/rgba16_verbatim.sgi", "sgi/rgba16.rawa", 4, 32},
        {"sgi/gray16_rle.bw", "sgi/gray16_rle.raw", 1, 8},
        {"sgi/gray_rle.rgb", "sgi/gray_rle.raw", 1, 8},
        {"sgi/rgba_rle.rgb", "sgi/rgba_rle.rawa", 4, 32},
        {"sgi/pil_rgba_verbatim.rgb", "sgi/pil_rgba_verbatim.rawa", 4, 32},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const ByteVector file = readData(c.file);
        ASSERT_TRUE(sgi->canLoad(file));
        const pictures::LoadedPicture picture = sgi->load(file, "");
        EXPECT_EQ(picture.bitmap.bitsPerPixel(), c.depth);
        expectPixels(picture.bitmap, readData(c.raw), c.channels);
    }
    EXPECT_EQ(sgi->readProperties(readData("sgi/rgb16_rle.sgi")).bitsPerSample, 16);
}

// Every entry of the run-length file's length table made smaller by step.
ByteVector shortenLengths(ByteVector file, unsigned step)
{
    const std::size_t entries = std::size_t(file[8] << 8 | file[9]) * (file[10] << 8 | file[11]);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t at = 512 + 4 * (entries + i);
        const std::uint32_t length = std::uint32_t(file[at]) << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
        for (int b = 0; b < 4; ++b)
            file[at + b] = std::uint8_t((length - step) >> (24 - 8 * b));
    }
    return file;
}

TEST(TSGIGraphic, RowLengthsWithoutTheClosingZero)
{
    const auto sgi = pictures::makeSgiGraphic();
    // One byte per channel: the closing zero is one byte; two bytes: a word.
    const std::pair<const char*, unsigned> files[] = {{"sgi/rgb_rle.rgb", 1}, {"sgi/rgb16_rle.sgi", 2}};
    for (const auto& [name, zero] : files) {
        SCOPED_TRACE(name);
        const ByteVector file = readData(name);
        const platform::Bitmap whole = sgi->load(file, "").bitmap;
        EXPECT_EQ(sgi->load(shortenLengths(file, zero), "").bitmap, whole);
        // A length that cuts off values leaves the row short.
        EXPECT_EQ(loadError(*sgi, shortenLengths(file, zero + 2 * zero)),
                  "Cannot load image. Compression error found in SGI file.");
    }
}

TEST(TSGIGraphic, DamagedAndRefusedFiles)
{
    const auto sgi = pictures::makeSgiGraphic();
    for (const char* name : {"sgi/rgb16_rle.sgi", "sgi/rgba16_verbatim.sgi", "sgi/gray16_rle.bw"}) {
        SCOPED_TRACE(name);
        const ByteVector file = readData(name);
        expectTruncationsHandled(*sgi, file, file.size());
        expectDamageHandled(*sgi, file, 12);
    }
    ByteVector mapped = readData("sgi/rgb_verbatim.rgb");
    mapped[107] = 1;  // colour map kind: dithered
    EXPECT_EQ(loadError(*sgi, mapped), "Cannot load image. Colour-mapped images not supported for SGI files.");
}

}  // namespace
