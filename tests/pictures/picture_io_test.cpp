#include <gtest/gtest.h>

#include <filesystem>

#include "imagelib/image_library.h"
#include "imagelib/memory_codecs.h"
#include "picture_support.h"
#include "pictures/picture_io.h"
#include "test_support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using pictures::openPicture;
using pictures::savePicture;

// A picture large enough for the WSQ encoder's decomposition.
Rgb savePattern(int x, int y)
{
    return {x * 2, y * 2, x + y};
}

platform::Bitmap patternBitmap(int width, int height)
{
    platform::Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = savePattern(x, y);
            std::uint8_t* p = b.topRow(y) + 3 * x;
            p[0] = static_cast<std::uint8_t>(c[2]);
            p[1] = static_cast<std::uint8_t>(c[1]);
            p[2] = static_cast<std::uint8_t>(c[0]);
        }
    return b;
}

void copyTo(const std::string& fixtureName, const fs::path& target)
{
    fs::copy_file(fixture(fixtureName), target, fs::copy_options::overwrite_existing);
}

TEST(OpenPicture, EachPathReachesItsClass)
{
    TempDir dir;
    struct Case {
        std::string fixture;
        std::string name;  // the file's name when opened
        std::string className;
        int tolerance;
    };
    const Case cases[] = {
        {"tiff/rgb.tif", "a.TIFF", "TTIFFImage", 0},        // the library, options reported
        {"tiff/rgb.tif", "a.tif", "TTIFFGraphic", 0},       // the additional TIFF reader
        {"tiff/rgb.tif", "a.fax", "TTIFFGraphic", 0},
        {"png/rgb_interlaced.png", "a.png", "TPNGImage", 0},
        {"jpeg/rgb.jpg", "a.JPE", "TJPEGImage", 6},         // the JPEG path
        {"jpeg/rgb.jpg", "a.jfif", "TJPEGImage", 6},        // through the registry
    };
    for (const Case& c : cases) {
        const fs::path file = dir.path() / c.name;
        copyTo(c.fixture, file);
        const pictures::OpenResult r = openPicture(file.string());
        EXPECT_TRUE(r.known) << c.name;
        EXPECT_EQ(r.error, "") << c.name;
        EXPECT_EQ(r.className, c.className) << c.name;
        EXPECT_TRUE(matchesPattern(r.picture.bitmap, 16, 12, rgbPattern, c.tolerance)) << c.name;
        EXPECT_EQ(r.report.tiffOptions.has_value(), c.className == "TTIFFImage") << c.name;
        fs::remove(file);
    }
}

TEST(OpenPicture, JpegTwoThousandFilesAndCodestreams)
{
    TempDir dir;
    std::vector<std::uint8_t> gray(24 * 16);
    for (std::size_t i = 0; i < gray.size(); ++i)
        gray[i] = static_cast<std::uint8_t>(i % 251);
    for (const bool jp2 : {true, false}) {
        const fs::path file = dir.path() / (jp2 ? "face.JP2" : "print.j2k");
        const std::vector<std::uint8_t> bytes = imagelib::encodeJpeg2000Bytes(gray.data(), 24, 16, 1, jp2);
        ASSERT_TRUE(platform::writeWholeFile(file, bytes.data(), bytes.size()));
        const pictures::OpenResult r = openPicture(file.string());
        EXPECT_TRUE(r.known) << file;
        EXPECT_EQ(r.error, "") << file;
        EXPECT_EQ(r.className, "TJPEG2000Graphic") << file;
        ASSERT_EQ(r.picture.bitmap.width(), 24) << file;
        ASSERT_EQ(r.picture.bitmap.height(), 16) << file;
        EXPECT_EQ(r.picture.bitmap.bitsPerPixel(), 8) << file;  // gray stays gray
        EXPECT_EQ(pixelAt(r.picture.bitmap, 5, 2)[0], gray[2 * 24 + 5]) << file;  // lossless
    }
}

TEST(OpenPicture, FailuresCarryTheTextTheViewerShows)
{
    TempDir dir;
    const fs::path notes = dir.path() / "notes.txt";
    platform::writeWholeFile(notes, "text");
    pictures::OpenResult r = openPicture(notes.string());
    EXPECT_FALSE(r.known);
    EXPECT_TRUE(r.picture.bitmap.empty());
    EXPECT_EQ(r.error, "");

    // A viewer class reports the library's error text.
    r = openPicture((dir.path() / "missing.wsq").string());
    EXPECT_TRUE(r.known);
    EXPECT_EQ(r.error, "Unable to open file");
    ASSERT_TRUE(r.report.wsqInfo.has_value());

    // A registry class reports its own texts.
    const std::pair<const char*, const char*> bad[] = {
        {"junk.psd", "Cannot load image. Invalid or unexpected Photoshop image format."},
        {"junk.tif", "Cannot load image. Invalid or unexpected TIFF image format."},
        {"junk.pgm", "Cannot load image. Invalid or unexpected PPM image format."},
        {"junk.rla", "Stream read error in RLA file."},
        {"junk.ico", "Cannot load image. Invalid or unexpected ICO image format."},
        {"junk.jp2", "Cannot load image. Invalid or unexpected JPEG 2000 image format."},
    };
    for (const auto& [name, text] : bad) {
        const fs::path file = dir.path() / name;
        platform::writeWholeFile(file, "not a picture at all");
        r = openPicture(file.string());
        EXPECT_TRUE(r.known) << name;
        EXPECT_TRUE(r.picture.bitmap.empty()) << name;
        EXPECT_EQ(r.error, text) << name;
    }
    r = openPicture((dir.path() / "missing.sgi").string());
    EXPECT_EQ(r.error, "Unable to open file");
}

TEST(SavePicture, AllSevenFormatsReopen)
{
    TempDir dir;
    const platform::Bitmap picture = patternBitmap(96, 88);
    struct Case {
        int index;
        const char* written;
        int tolerance;
    };
    // The name's extension is replaced (or appended) by the format's.
    const Case cases[] = {{1, "out.wsq", 0}, {2, "out.bmp", 0}, {3, "out.tif", 0}, {4, "out.png", 0},
                          {5, "out.jpg", 8},  {6, "out.tga", 0}, {7, "out.rgb", 0}};
    for (const Case& c : cases) {
        pictures::SaveOptions options;
        options.filterIndex = c.index;
        options.wsq.Bitrate = 2.25;
        options.wsq.Ppi = 333;
        options.wsq.Comment = "from the test";
        const std::string given = (dir.path() / (c.index % 2 ? "out.bmp" : "out")).string();
        const pictures::SaveResult saved = savePicture(picture, given, options);
        EXPECT_EQ(saved.code, 0) << c.written << " " << saved.error;
        EXPECT_EQ(saved.fileName, (dir.path() / c.written).string());
        const pictures::OpenResult r = openPicture(saved.fileName);
        ASSERT_EQ(r.error, "") << c.written;
        if (c.index == 1) {
            // WSQ holds gray: compare with the gray the encoder was given.
            ASSERT_TRUE(r.report.wsqInfo.has_value());
            EXPECT_EQ(r.report.wsqInfo->Ppi, 333);
            EXPECT_EQ(r.report.wsqInfo->Depth, 8);
            EXPECT_EQ(r.report.wsqInfo->Comment.value_or(""), "from the test");
            // Pixel fidelity of the codec is the WSQ tests' business.
            EXPECT_EQ(r.picture.bitmap.width(), 96);
            EXPECT_EQ(r.picture.bitmap.height(), 88);
            continue;
        }
        EXPECT_TRUE(matchesPattern(r.picture.bitmap, 96, 88, savePattern, c.tolerance)) << c.written;
    }
}

TEST(SavePicture, NamesAndFailures)
{
    TempDir dir;
    const platform::Bitmap picture = patternBitmap(4, 3);
    EXPECT_EQ(pictures::replaceFileExtension("/d.x/a", ".jpg"), "/d.x/a.jpg");
    EXPECT_EQ(pictures::replaceFileExtension("a.b.bmp", ".wsq"), "a.b.wsq");
    EXPECT_EQ(pictures::saveIndexForName("x.TIFF"), 3);
    EXPECT_EQ(pictures::saveIndexForName("x.jpeg"), 5);
    EXPECT_EQ(pictures::saveIndexForName("x.gif"), 0);

    pictures::SaveOptions options;
    options.filterIndex = 8;
    pictures::SaveResult r = savePicture(picture, (dir.path() / "a").string(), options);
    EXPECT_NE(r.code, 0);
    EXPECT_FALSE(fs::exists(dir.path() / "a"));

    // A name kept as given must carry the format's extension.
    options.filterIndex = 4;
    options.replaceExtension = false;
    r = savePicture(picture, (dir.path() / "a.tga").string(), options);
    EXPECT_EQ(r.error, "Unsupported file extension");
    EXPECT_FALSE(fs::exists(dir.path() / "a.tga"));

    options.replaceExtension = true;
    r = savePicture(picture, (dir.path() / "missing" / "a.png").string(), options);
    EXPECT_NE(r.code, 0);
    EXPECT_EQ(r.error, "Unable to open file");
}

}  // namespace
