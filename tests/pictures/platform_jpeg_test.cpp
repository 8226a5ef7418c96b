// TJPEGImage: gray, RGB, CMYK with and without Adobe's inversion, EXIF turns.
#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>

#include "class_test_support.h"
#include "pictures/platform_jpeg.h"

using namespace picturetest;

namespace {

pictures::LoadedPicture loadJpeg(const ByteVector& file)
{
    return pictures::makeTJPEGImage()->load(pictures::Bytes(file.data(), file.size()), "");
}

// The file with an EXIF segment holding the orientation put after its SOI.
ByteVector withOrientation(const ByteVector& jpeg, unsigned orientation, bool bigEndian)
{
    ByteVector tiff;
    auto u16 = [&](unsigned v) { bigEndian ? appendBe16(tiff, v) : append16(tiff, v); };
    auto u32 = [&](std::uint32_t v) { bigEndian ? appendBe32(tiff, v) : append32(tiff, v); };
    tiff = bigEndian ? ByteVector{'M', 'M'} : ByteVector{'I', 'I'};
    u16(42);
    u32(8);
    u16(2);
    u16(0x010F), u16(2), u32(4), tiff.insert(tiff.end(), {'c', 'a', 'm', 0});  // Make, inline
    u16(0x0112), u16(3), u32(1), u16(orientation), u16(0);
    u32(0);
    ByteVector segment = {0xFF, 0xE1};
    appendBe16(segment, 2 + 6 + tiff.size());
    segment.insert(segment.end(), {'E', 'x', 'i', 'f', 0, 0});
    segment.insert(segment.end(), tiff.begin(), tiff.end());
    ByteVector out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), segment.begin(), segment.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// A 16 x 16 CMYK file of one colour, written with or without Adobe's marker
// (whose files store the values inverted).
ByteVector flatCmyk(const std::array<std::uint8_t, 4>& stored, bool adobe)
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = 16;
    cinfo.image_height = 16;
    cinfo.input_components = 4;
    cinfo.in_color_space = JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, JCS_CMYK);
    cinfo.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    ByteVector row;
    for (int x = 0; x < 16; ++x)
        row.insert(row.end(), stored.begin(), stored.end());
    while (cinfo.next_scanline < 16) {
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&cinfo, &p, 1);
    }
    jpeg_finish_compress(&cinfo);
    ByteVector file(out, out + size);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return file;
}

}  // namespace

TEST(TJPEGImage, PlainAndInvertedCmyk)
{
    // Ink C 0, M 100, Y 200, K 50: R 205, G 125, B 44 (each (255 - ink) * (255 - K) / 255).
    const std::array<int, 4> expected{205, 125, 44, 255};
    for (const bool adobe : {false, true}) {
        SCOPED_TRACE(adobe ? "Adobe" : "plain");
        const std::array<std::uint8_t, 4> stored =
            adobe ? std::array<std::uint8_t, 4>{255, 155, 55, 205} : std::array<std::uint8_t, 4>{0, 100, 200, 50};
        const auto b = loadJpeg(flatCmyk(stored, adobe)).bitmap;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(rgbaAt(b, 5, 7)[i], expected[i], 2) << i;
    }
}

TEST(TJPEGImage, ColourSchemesMatchAnotherReader)
{
    const struct {
        const char* name;
        const char* scheme;
        int tolerance;
    } files[] = {{"rgb28", "YCbCr", 2}, {"gray28", "gray", 1}, {"cmyk28", "YCCK", 3}};
    const auto cls = pictures::makeTJPEGImage();
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        const ByteVector file = readData(std::string("jpeg_platform/") + f.name + ".jpg");
        const auto props = cls->readProperties(pictures::Bytes(file.data(), file.size()));
        EXPECT_EQ(props.colorScheme, f.scheme);
        EXPECT_EQ(props.width, 28);
        EXPECT_EQ(props.height, 20);
        expectPixels(loadJpeg(file).bitmap, readData(std::string("jpeg_platform/") + f.name + ".raw"), 3, f.tolerance);
    }
}

TEST(TJPEGImage, ExifOrientationTurnsThePicture)
{
    const ByteVector file = readData("jpeg_platform/rgb28.jpg");
    const platform::Bitmap plain = loadJpeg(file).bitmap;
    const int w = plain.width(), h = plain.height();
    // Where the stored pixel (x, y) shows up for each orientation.
    const struct {
        unsigned orientation;
        bool swapped;
        int (*dx)(int x, int y, int w, int h);
        int (*dy)(int x, int y, int w, int h);
    } cases[] = {
        {1, false, [](int x, int, int, int) { return x; }, [](int, int y, int, int) { return y; }},
        {2, false, [](int x, int, int w, int) { return w - 1 - x; }, [](int, int y, int, int) { return y; }},
        {3, false, [](int x, int, int w, int) { return w - 1 - x; }, [](int, int y, int, int h) { return h - 1 - y; }},
        {4, false, [](int x, int, int, int) { return x; }, [](int, int y, int, int h) { return h - 1 - y; }},
        {5, true, [](int, int y, int, int) { return y; }, [](int x, int, int, int) { return x; }},
        {6, true, [](int, int y, int, int h) { return h - 1 - y; }, [](int x, int, int, int) { return x; }},
        {7, true, [](int, int y, int, int h) { return h - 1 - y; }, [](int x, int, int w, int) { return w - 1 - x; }},
        {8, true, [](int, int y, int, int) { return y; }, [](int x, int, int w, int) { return w - 1 - x; }},
    };
    for (const auto& c : cases)
        for (const bool bigEndian : {false, true}) {
            SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << (bigEndian ? " MM" : " II"));
            const platform::Bitmap turned = loadJpeg(withOrientation(file, c.orientation, bigEndian)).bitmap;
            ASSERT_EQ(turned.width(), c.swapped ? h : w);
            ASSERT_EQ(turned.height(), c.swapped ? w : h);
            for (const auto& [x, y] : {std::pair{0, 0}, {w - 1, 0}, {3, h - 1}, {w - 2, h - 3}})
                EXPECT_EQ(rgbaAt(turned, c.dx(x, y, w, h), c.dy(x, y, w, h)), rgbaAt(plain, x, y)) << x << "," << y;
        }
}

TEST(TJPEGImage, RefusalsAndCutFiles)
{
    const auto cls = pictures::makeTJPEGImage();
    const ByteVector file = readData("jpeg_platform/rgb28.jpg");
    EXPECT_EQ(loadError(*cls, {'B', 'M', 0, 0}), "Cannot load image. Invalid or unexpected JPEG image format.");
    EXPECT_EQ(loadError(*cls, ByteVector(file.begin(), file.end() - 40)),
              "JPEG decompression error. Unexpected end of input.");
    // A damaged marker is libjpeg's own error, by number.
    ByteVector broken(file.begin(), file.begin() + 4);
    broken.insert(broken.end(), {0x00, 0x01, 0xFF, 0xD9});
    EXPECT_EQ(loadError(*cls, broken).rfind("JPEG error #", 0), 0u) << loadError(*cls, broken);
    expectTruncationsHandled(*cls, file, file.size());
}
