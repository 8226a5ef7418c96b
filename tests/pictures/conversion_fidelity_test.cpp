// What a conversion keeps: the resolution a file states, 8-bit gray and alpha,
// from the reader through the open and save path to the writer and back.
#include <gtest/gtest.h>

#include <jpeglib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>

#include "imagelib/formats.h"
#include "picture_support.h"
#include "pictures/picture_depth.h"
#include "pictures/picture_io.h"
#include "test_support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using pictures::Resolution;

// A gray ramp large enough for the WSQ encoder, as 8-bit identity gray.
platform::Bitmap grayPrint(int width = 96, int height = 88)
{
    platform::Bitmap b(width, height, 8);
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        b.palette()[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            b.row(y)[x] = static_cast<std::uint8_t>((x * 5 + y * 3) & 0xFF);
    return b;
}

// 32-bit pixels whose alpha runs through 0, 1, 128 and 255, with colour under
// alpha 0 that a blend would lose.
platform::Bitmap alphaPicture()
{
    platform::Bitmap b(8, 4, 32);
    const std::uint8_t alphas[4] = {0, 1, 128, 255};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) {
            std::uint8_t* p = b.row(y) + 4 * x;
            p[0] = static_cast<std::uint8_t>(200 + x);
            p[1] = static_cast<std::uint8_t>(30 * y + x);
            p[2] = static_cast<std::uint8_t>(17 * x);
            p[3] = alphas[(x + y) % 4];
        }
    return b;
}

pictures::SaveResult save(const platform::Bitmap& b, const fs::path& file, const Resolution& resolution = {})
{
    pictures::SaveOptions options;
    options.filterIndex = pictures::saveIndexForName(file.string());
    options.replaceExtension = false;
    options.resolution = resolution;
    options.wsq.Ppi = pictures::wsqPpiOf(resolution).value_or(-1);
    return pictures::savePicture(b, file.string(), options);
}

pictures::OpenResult reopen(const fs::path& file)
{
    pictures::OpenResult r = pictures::openPicture(file.string());
    EXPECT_EQ(r.error, "") << file;
    return r;
}

TEST(ConversionFidelity, EveryWriterStatesTheResolutionItsReaderGivesBack)
{
    TempDir dir;
    const platform::Bitmap picture = grayPrint();
    const Resolution unknown;
    const Resolution print = imagelib::uniformResolution(1000);
    const Resolution uneven{300.0, 600.0};
    const Resolution oneAxis{std::nullopt, 254.0};
    struct Case {
        const char* written;
        const char* readAs;  // the name it is opened under (the .tif and .tiff readers differ)
        std::vector<Resolution> resolutions;
    };
    const Case cases[] = {
        {"a.png", "a.png", {unknown, print, uneven}},
        {"a.tif", "a.tif", {unknown, print, uneven, oneAxis}},
        {"b.tif", "b.tiff", {unknown, print, uneven, oneAxis}},
        {"a.bmp", "a.bmp", {unknown, print, uneven, oneAxis}},
        {"a.jpg", "a.jpg", {unknown, print, uneven}},
        {"a.wsq", "a.wsq", {unknown, print}},
    };
    for (const Case& c : cases) {
        for (const Resolution& written : c.resolutions) {
            ASSERT_EQ(save(picture, dir.path() / c.written, written).error, "") << c.written;
            fs::rename(dir.path() / c.written, dir.path() / c.readAs);
            const pictures::OpenResult r = reopen(dir.path() / c.readAs);
            EXPECT_EQ(r.picture.resolution, written)
                << c.readAs << " written " << written.horizontal.value_or(-1) << " x "
                << written.vertical.value_or(-1) << ", read " << r.picture.resolution.horizontal.value_or(-1)
                << " x " << r.picture.resolution.vertical.value_or(-1);
        }
    }
}

// A JPEG without a JFIF header whose EXIF block gives 400 pixels per centimetre.
void writeExifJpeg(const fs::path& file)
{
    const std::uint8_t exif[] = {
        'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8,  // TIFF header, IFD at 8
        0, 3,                                                   // three entries
        0x01, 0x1A, 0, 5, 0, 0, 0, 1, 0, 0, 0, 50,              // XResolution at 50
        0x01, 0x1B, 0, 5, 0, 0, 0, 1, 0, 0, 0, 58,              // YResolution at 58
        0x01, 0x28, 0, 3, 0, 0, 0, 1, 0, 3, 0, 0,               // ResolutionUnit: centimetre
        0, 0, 0, 0,                                             // no next IFD
        0, 0, 1, 144, 0, 0, 0, 1,                               // 400 / 1
        0, 0, 3, 32, 0, 0, 0, 2,                                // 800 / 2
    };
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    std::FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    jpeg_stdio_dest(&cinfo, out);
    cinfo.image_width = 8;
    cinfo.image_height = 8;
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    cinfo.write_JFIF_header = FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
    std::uint8_t row[8] = {0, 32, 64, 96, 128, 160, 192, 224};
    JSAMPROW rows[1] = {row};
    for (int y = 0; y < 8; ++y)
        jpeg_write_scanlines(&cinfo, rows, 1);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::fclose(out);
}

// A 2 x 2 gray Photoshop file with a resolution resource of 300 x 150 ppi.
std::vector<std::uint8_t> psdWithResolution()
{
    std::vector<std::uint8_t> b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 1,  // one channel
                                   0, 0, 0, 2, 0, 0, 0, 2, 0, 8, 0, 1,                // 2 x 2, 8 bits, gray
                                   0, 0, 0, 0,                                        // no colour mode data
                                   0, 0, 0, 28,                                       // image resources
                                   '8', 'B', 'I', 'M', 0x03, 0xED, 0, 0, 0, 0, 0, 16,
                                   0x01, 0x2C, 0, 0, 0, 1, 0, 1,  // 300.0 ppi, shown in inches
                                   0x00, 0x96, 0, 0, 0, 1, 0, 1,  // 150.0 ppi
                                   0, 0, 0, 0,                    // no layers
                                   0, 0, 10, 20, 30, 40};          // raw pixels
    return b;
}

TEST(ConversionFidelity, ExifAndPhotoshopResolutionsAreRead)
{
    TempDir dir;
    writeExifJpeg(dir.path() / "exif.jpg");
    EXPECT_EQ(reopen(dir.path() / "exif.jpg").picture.resolution, imagelib::uniformResolution(1016));
    const std::vector<std::uint8_t> psd = psdWithResolution();
    platform::writeWholeFile(dir.path() / "a.psd", psd.data(), psd.size());
    EXPECT_EQ(reopen(dir.path() / "a.psd").picture.resolution, (Resolution{300.0, 150.0}));
    // A writer that stores the raw value 1 (1/65536 ppi) states none.
    EXPECT_FALSE(reopen(fixture("psd/rgb_rle.psd")).picture.resolution.known());
    // A PNG pHYs chunk without a unit only gives the aspect ratio.
    const std::vector<std::uint8_t> bytes = fixtureBytes("png/rgb_interlaced.png");
    EXPECT_FALSE(imagelib::pngResolution(bytes.data(), bytes.size()).known());
}

TEST(ConversionFidelity, GrayPrintKeepsItsDepthAndResolutionThroughWsq)
{
    TempDir dir;
    const Resolution print = imagelib::uniformResolution(1000);
    ASSERT_EQ(save(grayPrint(), dir.path() / "print.png", print).error, "");
    pictures::OpenResult step = reopen(dir.path() / "print.png");
    ASSERT_TRUE(pictures::isIdentityGray(step.picture.bitmap));
    ASSERT_EQ(save(step.picture.bitmap, dir.path() / "print.wsq", step.picture.resolution).error, "");
    const pictures::OpenResult wsq = reopen(dir.path() / "print.wsq");
    EXPECT_TRUE(pictures::isIdentityGray(wsq.picture.bitmap));
    EXPECT_EQ(wsq.picture.resolution, print);
    for (const char* name : {"back.png", "back.tif", "back.bmp", "back.jpg", "back.tga", "back.rgb"}) {
        ASSERT_EQ(save(wsq.picture.bitmap, dir.path() / name, wsq.picture.resolution).error, "") << name;
        step = reopen(dir.path() / name);
        EXPECT_TRUE(pictures::isIdentityGray(step.picture.bitmap)) << name << " has "
                                                                  << step.picture.bitmap.bitsPerPixel() << " bits";
        if (std::string(name) != "back.jpg") {  // lossy
            EXPECT_EQ(step.picture.bitmap.bits(), wsq.picture.bitmap.bits()) << name;
        }
        const bool hasField = std::string(name) != "back.tga" && std::string(name) != "back.rgb";
        EXPECT_EQ(step.picture.resolution, hasField ? print : Resolution{}) << name;
    }
}

TEST(ConversionFidelity, AlphaAndTheColourUnderItSurviveExactly)
{
    TempDir dir;
    const platform::Bitmap picture = alphaPicture();
    ASSERT_EQ(save(picture, dir.path() / "in.png").error, "");
    const pictures::OpenResult in = reopen(dir.path() / "in.png");
    ASSERT_EQ(in.picture.bitmap, picture);
    // Both TIFF readers (the library's for .tiff, the class for .tif) keep
    // unassociated alpha.
    for (const char* name : {"out.png", "out.tiff", "out.tif", "out.tga", "out.rgb"}) {
        ASSERT_EQ(save(in.picture.bitmap, dir.path() / name).error, "") << name;
        EXPECT_EQ(reopen(dir.path() / name).picture.bitmap, picture) << name;
    }
    // Formats without alpha drop it and keep the colour as stored, unblended.
    ASSERT_EQ(save(in.picture.bitmap, dir.path() / "out.bmp").error, "");
    const platform::Bitmap bmp = reopen(dir.path() / "out.bmp").picture.bitmap;
    ASSERT_EQ(bmp.bitsPerPixel(), 24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(std::memcmp(bmp.row(y) + 3 * x, picture.row(y) + 4 * x, 3), 0) << x << "," << y;
}

TEST(ConversionFidelity, PicturesTakeTheFormEachWriterHolds)
{
    platform::Bitmap bilevel(9, 2, 1);
    bilevel.palette() = {{0, 0, 0, 0}, {255, 255, 255, 0}};
    bilevel.row(0)[0] = 0xA5;
    platform::Bitmap indexed(3, 1, 8);
    indexed.palette()[1] = {10, 20, 30, 0};
    indexed.row(0)[1] = 1;
    const platform::Bitmap alpha = alphaPicture();
    for (int index = 1; index <= 7; ++index) {
        const platform::Bitmap gray = pictures::pictureForSave(bilevel, index);
        EXPECT_TRUE(pictures::isIdentityGray(gray)) << index;
        EXPECT_EQ(gray.row(0)[0], 255) << index;
        EXPECT_EQ(gray.row(0)[1], 0) << index;
        EXPECT_EQ(pictures::pictureForSave(indexed, index).bitsPerPixel(), 24) << index;
        EXPECT_EQ(pictures::pictureForSave(alpha, index).bitsPerPixel(), pictures::saveFormatHoldsAlpha(index) ? 32 : 24)
            << index;
    }
}

}  // namespace
