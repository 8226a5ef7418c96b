#include <gtest/gtest.h>
#include <zlib.h>

#include "picture_support.h"
#include "pictures/picture_classes.h"
#include "pictures/registry.h"
#include "pictures/viewer_classes.h"

namespace {

using pictures::Bytes;
using pictures::PictureClass;
using pictures::PictureFormatError;

std::unique_ptr<PictureClass> classFor(const std::string& extension)
{
    return pictures::pictureRegistry().find(extension)->create();
}

// The reference is a raw dump, top row first, 3 bytes a pixel.
::testing::AssertionResult matchesRaw(const platform::Bitmap& bitmap, int width, int height,
                                      const std::string& rawFixture)
{
    const std::vector<std::uint8_t> raw = fixtureBytes(rawFixture);
    if (raw.size() != std::size_t(width) * height * 3)
        return ::testing::AssertionFailure() << rawFixture << " has " << raw.size() << " bytes";
    return matchesPattern(bitmap, width, height, [&](int x, int y) {
        const std::uint8_t* p = raw.data() + (std::size_t(y) * width + x) * 3;
        return Rgb{p[0], p[1], p[2]};
    });
}

std::string errorOf(const PictureClass& c, Bytes bytes)
{
    try {
        c.load(bytes, "");
    } catch (const PictureFormatError& e) {
        return e.what();
    }
    return "(loaded)";
}

TEST(LibraryFormats, ClassesReadTheLibrarysFixtures)
{
    struct Case {
        const char* extension;
        const char* className;
        const char* file;
        const char* raw;
        int width, height;
        const char* scheme;
        const char* compression;
    };
    const Case cases[] = {
        {"vda", "TTargaGraphic", "tga/rle24_bottomright.tga", "tga/rle24_bottomright.raw", 7, 5, "RGB", "RLE"},
        {"icb", "TTargaGraphic", "tga/cmap_raw.tga", "tga/cmap_raw.raw", 7, 5, "indexed", "none"},
        {"sgi", "TSGIGraphic", "sgi/rgb_rle.rgb", "sgi/rgb_rle.raw", 7, 5, "RGB", "RLE"},
        {"bw", "TSGIGraphic", "sgi/rgb_verbatim.rgb", "sgi/rgb_verbatim.raw", 7, 5, "RGB", "none"},
        {"psd", "TPSDGraphic", "psd/rgb_rle.psd", "psd/rose.rgb.raw", 35, 23, "RGB", "RLE"},
        {"pdd", "TPSDGraphic", "psd/indexed.psd", "psd/indexed.rgb.raw", 35, 23, "indexed", "none"},
        {"pcc", "TPCXGraphic", "pcx/rgb24.pcx", "pcx/rgb24.rgb.raw", 35, 23, "RGB", "RLE"},
        {"scr", "TPCXGraphic", "pcx/colors256.pcx", "pcx/colors256.rgb.raw", 35, 23, "indexed", "RLE"},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<PictureClass> picture = classFor(c.extension);
        ASSERT_EQ(picture->className(), c.className);
        const std::vector<std::uint8_t> bytes = fixtureBytes(c.file);
        EXPECT_TRUE(picture->canLoad(bytes)) << c.file;
        const pictures::PictureProperties p = picture->readProperties(bytes);
        EXPECT_EQ(p.width, c.width) << c.file;
        EXPECT_EQ(p.height, c.height) << c.file;
        EXPECT_EQ(p.colorScheme, c.scheme) << c.file;
        EXPECT_EQ(p.compression, c.compression) << c.file;
        EXPECT_TRUE(matchesRaw(picture->load(bytes, "").bitmap, c.width, c.height, c.raw)) << c.file;
    }
}

TEST(PictureClasses, EachRefusesOtherFormatsWithItsText)
{
    const std::vector<std::uint8_t> png = fixtureBytes("png/rgb_interlaced.png");
    const std::vector<std::uint8_t> text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
    const std::vector<std::uint8_t> empty;
    struct Case {
        const char* extension;
        const char* text;
    };
    const Case cases[] = {
        {"win", "Cannot load image. Invalid or unexpected Targa image format."},
        {"sgi", "Cannot load image. Invalid or unexpected SGI image format."},
        {"psd", "Cannot load image. Invalid or unexpected Photoshop image format."},
        {"pcc", "Cannot load image. Invalid or unexpected PCX image format."},
        {"tif", "Cannot load image. Invalid or unexpected TIFF image format."},
        {"eps", "Cannot load image. Invalid or unexpected EPS image format."},
        {"ppm", "Cannot load image. Invalid or unexpected PPM image format."},
    };
    for (const Case& c : cases) {
        const std::unique_ptr<PictureClass> picture = classFor(c.extension);
        for (const auto* bytes : {&png, &text, &empty}) {
            EXPECT_FALSE(picture->canLoad(*bytes)) << c.extension;
            EXPECT_EQ(errorOf(*picture, *bytes), c.text) << c.extension;
            EXPECT_THROW(picture->readProperties(*bytes), PictureFormatError) << c.extension;
        }
    }
    const std::unique_ptr<PictureClass> pngClass = pictures::makePngGraphic();
    EXPECT_FALSE(pngClass->canLoad(text));
    EXPECT_EQ(errorOf(*pngClass, text), "Cannot load image. Invalid or unexpected PNG image format.");
}

TEST(TiffGraphic, DecodesEveryCompressionAndLayoutOfTheFixtures)
{
    const std::unique_ptr<PictureClass> tiff = pictures::makeTiffGraphic();
    struct Case {
        const char* file;
        const char* compression;
        int tolerance;
    };
    const Case cases[] = {
        {"tiff/rgb.tif", "none", 0},
        {"tiff/rgb_lzw_pred.tif", "LZW", 0},
        {"tiff/rgb_planar.tif", "none", 0},
        {"tiff/rgb_packbits.tif", "PackBits", 0},
        {"tiff/rgb_tiled_zip.tif", "Deflate", 0},
        {"tiff/ycbcr_jpeg.tif", "JPEG", 24},  // lossy, chroma subsampled 2x2
        {"tiff/cmyk_lzw.tif", "LZW", 2},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> bytes = fixtureBytes(c.file);
        ASSERT_TRUE(tiff->canLoad(bytes)) << c.file;
        EXPECT_EQ(tiff->readProperties(bytes).compression, c.compression) << c.file;
        EXPECT_TRUE(matchesPattern(tiff->load(bytes, "").bitmap, 16, 12, rgbPattern, c.tolerance)) << c.file;
    }
    // Orientation 3: the stored rows and columns are shown turned half round.
    EXPECT_TRUE(matchesPattern(tiff->load(fixtureBytes("tiff/rgb_botright.tif"), "").bitmap, 16, 12,
                               [](int x, int y) { return rgbPattern(15 - x, 11 - y); }));
    for (const char* fax : {"tiff/g3_miniswhite.tif", "tiff/g4_miniswhite.tif"})
        EXPECT_TRUE(matchesPattern(tiff->load(fixtureBytes(fax), "").bitmap, 40, 30, bilevelPattern)) << fax;
    EXPECT_TRUE(matchesPattern(tiff->load(fixtureBytes("tiff/gray16.tif"), "").bitmap, 16, 12, [](int x, int y) {
        const int v = x * 10 + y * 8;
        return Rgb{v, v, v};
    }));
    const pictures::PictureProperties p = tiff->readProperties(fixtureBytes("tiff/cmyk_lzw.tif"));
    EXPECT_EQ(p.colorScheme, "CMYK");
    EXPECT_EQ(p.samplesPerPixel, 4);
}

TEST(TiffGraphic, DamagedDataEndsInItsTexts)
{
    const std::unique_ptr<PictureClass> tiff = pictures::makeTiffGraphic();
    std::vector<std::uint8_t> lzw = fixtureBytes("tiff/rgb_lzw_pred.tif");
    // Every strip offset or count now points past the end, or into garbage.
    std::vector<std::uint8_t> truncated(lzw.begin(), lzw.begin() + 40);
    EXPECT_EQ(errorOf(*tiff, truncated), "Cannot load image. Invalid or unexpected TIFF image format.");
    std::vector<std::uint8_t> header = fixtureBytes("tiff/rgb.tif");
    header.resize(8);
    EXPECT_EQ(errorOf(*tiff, header), "Cannot load image. Invalid or unexpected TIFF image format.");

    // A 16000 x 16000 claim in a file of a few hundred bytes is refused
    // before anything that size is allocated.
    std::vector<std::uint8_t> huge = fixtureBytes("tiff/rgb.tif");
    ASSERT_EQ(huge[0], 'I');
    const std::size_t ifd = huge[4] | (huge[5] << 8) | (huge[6] << 16) | (std::size_t(huge[7]) << 24);
    const unsigned entries = huge[ifd] | (huge[ifd + 1] << 8);
    for (unsigned i = 0; i < entries; ++i) {
        std::uint8_t* e = huge.data() + ifd + 2 + 12 * i;
        const unsigned tag = e[0] | (e[1] << 8);
        if (tag == 256 || tag == 257) {
            e[2] = 4, e[3] = 0;  // LONG
            e[8] = 0x80, e[9] = 0x3E, e[10] = e[11] = 0;  // 16000
        }
    }
    EXPECT_EQ(tiff->readProperties(huge).width, 16000);
    EXPECT_EQ(errorOf(*tiff, huge), "Cannot load image. Invalid or unexpected TIFF image format.");
}

std::vector<std::uint8_t> epsWithPreview(const std::vector<std::uint8_t>& tiff)
{
    std::vector<std::uint8_t> eps(30, 0);
    const std::string postscript = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 16 12\nshowpage\n";
    auto put32 = [&](std::size_t at, std::size_t v) {
        for (int i = 0; i < 4; ++i)
            eps[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    eps[0] = 0xC5, eps[1] = 0xD0, eps[2] = 0xD3, eps[3] = 0xC6;
    put32(4, 30);
    put32(8, postscript.size());
    put32(20, tiff.empty() ? 0 : 30 + postscript.size());
    put32(24, tiff.size());
    eps[28] = eps[29] = 0xFF;
    eps.insert(eps.end(), postscript.begin(), postscript.end());
    eps.insert(eps.end(), tiff.begin(), tiff.end());
    return eps;
}

TEST(EpsGraphic, ShowsTheTiffPreview)
{
    const std::unique_ptr<PictureClass> eps = pictures::makeEpsGraphic();
    EXPECT_EQ(eps->className(), "TEPSGraphic");
    const std::vector<std::uint8_t> file = epsWithPreview(fixtureBytes("tiff/rgb_lzw_pred.tif"));
    EXPECT_TRUE(eps->canLoad(file));
    EXPECT_EQ(eps->readProperties(file).width, 16);
    EXPECT_TRUE(matchesPattern(eps->load(file, "").bitmap, 16, 12, rgbPattern));
    // A bare TIFF is no EPS file, and an EPS file without a preview shows nothing.
    EXPECT_FALSE(eps->canLoad(fixtureBytes("tiff/rgb.tif")));
    const std::vector<std::uint8_t> bare = epsWithPreview({});
    EXPECT_FALSE(eps->canLoad(bare));
    EXPECT_EQ(errorOf(*eps, bare), "Cannot load image. Pictures without a TIFF preview not supported for EPS files.");
    std::vector<std::uint8_t> cut = file;
    cut.resize(cut.size() - 10);
    EXPECT_EQ(errorOf(*eps, cut), "Cannot load image. Invalid or unexpected EPS image format.");
}

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return {text.begin(), text.end()};
}

TEST(PpmGraphic, PlainAndRawMapsOfEveryKind)
{
    const std::unique_ptr<PictureClass> ppm = pictures::makePpmGraphic();
    struct Case {
        std::string data;
        std::vector<Rgb> pixels;  // 2x1
        int bits;
    };
    const Case cases[] = {
        {"P1\n# two pixels\n2 1\n0 1\n", {{255, 255, 255}, {0, 0, 0}}, 1},
        {"P1 2 1 10", {{0, 0, 0}, {255, 255, 255}}, 1},
        {std::string("P4\n2 1\n") + char(0x40), {{255, 255, 255}, {0, 0, 0}}, 1},
        {"P2 2 1 15 0 15", {{0, 0, 0}, {255, 255, 255}}, 8},
        {"P2 2 1 65535 32768 65535", {{128, 128, 128}, {255, 255, 255}}, 16},
        {std::string("P5 2 1 255\n") + char(7) + char(200), {{7, 7, 7}, {200, 200, 200}}, 8},
        {"P3\n2 1\n255\n1 2 3  4 5 6\n", {{1, 2, 3}, {4, 5, 6}}, 8},
        {std::string("P6 2 1 255\n") + "\x01\x02\x03\xfa\xfb\xfc", {{1, 2, 3}, {250, 251, 252}}, 8},
        {std::string("P6 2 1 65535\n") + std::string("\xff\xff\x80\x00\x00\x00\x00\x00\x00\x01\xff\xfe", 12),
         {{255, 128, 0}, {0, 0, 255}}, 16},
    };
    for (const Case& c : cases) {
        const std::vector<std::uint8_t> bytes = bytesOf(c.data);
        ASSERT_TRUE(ppm->canLoad(bytes)) << c.data;
        EXPECT_EQ(ppm->readProperties(bytes).bitsPerSample, c.bits) << c.data;
        ASSERT_EQ(errorOf(*ppm, bytes), "(loaded)") << c.data;
        EXPECT_TRUE(matchesPattern(ppm->load(bytes, "").bitmap, 2, 1, [&](int x, int) { return c.pixels[x]; }))
            << c.data;
    }
    const std::pair<std::string, const char*> bad[] = {
        {"P6 2 1 255\n\x01\x02", "Stream read error in PPM file."},
        {"P3 2 1 255 1 2 3 4 5", "Stream read error in PPM file."},
        {"P2 2 1 15 0 16", "Cannot load image. Invalid or unexpected PPM image format."},
        {"P2 0 1 15 0", "Cannot load image. Invalid or unexpected PPM image format."},
        {"P5 2 1 70000\n", "Cannot load image. Invalid or unexpected PPM image format."},
        {"P6 99999999 99999999 255\n", "Stream read error in PPM file."},
        {"P7 2 1 255\n", "Cannot load image. Invalid or unexpected PPM image format."},
    };
    for (const auto& [data, text] : bad)
        EXPECT_EQ(errorOf(*ppm, bytesOf(data)), text) << data;
}

TEST(PngGraphic, SixteenBitGrayAlphaAndPalettes)
{
    const std::unique_ptr<PictureClass> png = pictures::makePngGraphic();
    EXPECT_TRUE(matchesPattern(png->load(fixtureBytes("png/rgb16.png"), "").bitmap, 16, 12, rgbPattern, 1));
    EXPECT_EQ(png->readProperties(fixtureBytes("png/rgb16.png")).bitsPerSample, 16);
    const pictures::LoadedPicture alpha = png->load(fixtureBytes("png/gray_alpha.png"), "");
    ASSERT_EQ(alpha.bitmap.bitsPerPixel(), 32);
    EXPECT_TRUE(matchesPattern(alpha.bitmap, 16, 12, [](int x, int y) {
        const int v = x * 10 + y * 8;
        return Rgb{v, v, v};
    }));
    EXPECT_EQ(alpha.bitmap.topRow(2)[4 * 3 + 3], 3 * 16 + 2);
    const Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    EXPECT_TRUE(matchesPattern(png->load(fixtureBytes("png/palette_trns3.png"), "").bitmap, 16, 12,
                               [&](int x, int y) { return colours[(x + 2 * y) % 4]; }));
    EXPECT_TRUE(matchesPattern(png->load(fixtureBytes("png/gray2.png"), "").bitmap, 16, 12, [](int x, int y) {
        const int v = ((x + y) % 4) * 85;
        return Rgb{v, v, v};
    }));

    std::vector<std::uint8_t> crc = fixtureBytes("png/rgb_interlaced.png");
    crc[29] ^= 0xFF;  // the IHDR's CRC
    EXPECT_EQ(errorOf(*png, crc), "Cannot load image. CRC error found in PNG file.");
    std::vector<std::uint8_t> cut = fixtureBytes("png/rgb_interlaced.png");
    cut.resize(cut.size() / 2);
    EXPECT_NE(errorOf(*png, cut), "(loaded)");

    // An 18000 x 18000 claim (with a valid CRC) in a small file is refused.
    std::vector<std::uint8_t> huge = fixtureBytes("png/rgb_interlaced.png");
    for (std::size_t at : {16u, 20u})
        huge[at] = 0, huge[at + 1] = 0, huge[at + 2] = 0x46, huge[at + 3] = 0x50;
    const uLong sum = crc32(0, huge.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = static_cast<std::uint8_t>(sum >> (24 - 8 * i));
    EXPECT_EQ(png->readProperties(huge).width, 18000);
    EXPECT_EQ(errorOf(*png, huge), "Cannot load image. Invalid or unexpected PNG image format.");
}

TEST(ViewerClasses, RecogniseTheirFormatsAndReadTheNamedFile)
{
    const pictures::PictureRegistry& registry = pictures::pictureRegistry();
    const std::pair<const char*, const char*> own[] = {
        {"tga", "tga/rle24_topleft.tga"}, {"rgb", "sgi/rgb_rle.rgb"}, {"pcx", "pcx/rgb24.pcx"},
        {"png", "png/rgb16.png"},         {"gif", "gif/colors16.gif"}, {"tiff", "tiff/rgb.tif"},
    };
    for (const auto& [extension, file] : own) {
        const std::unique_ptr<PictureClass> c = registry.find(extension)->create();
        const std::vector<std::uint8_t> bytes = fixtureBytes(file);
        EXPECT_TRUE(c->canLoad(bytes)) << extension;
        EXPECT_GT(c->readProperties(bytes).width, 0) << extension;
        // The bytes offered are not read: the library reads the named file.
        const pictures::LoadedPicture loaded = c->load({}, fixture(file));
        EXPECT_FALSE(loaded.bitmap.empty()) << extension;
    }
    const std::unique_ptr<PictureClass> wsq = registry.find("wsq")->create();
    try {
        wsq->load({}, fixture("none.wsq"));
        FAIL();
    } catch (const PictureFormatError& e) {
        EXPECT_STREQ(e.what(), "Unable to open file");
    }
}

}  // namespace
