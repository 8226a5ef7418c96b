// Files of a few bytes that declare pictures of gigabytes fail before anything
// of that size is allocated, and the limits of imagelib/limits.h are the ones
// the readers apply.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "alloc_hooks.h"
#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "imagelib/limits.h"
#include "imagelib/wsq_file.h"
#include "pictures/picture_io.h"
#include "platform/files.h"
#include "platform/prompter.h"
#include "test_support/temp_dir.h"

using namespace imagelib;

namespace {

using Bytes = std::vector<std::uint8_t>;

void be32(Bytes& b, std::uint32_t v)
{
    b.insert(b.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8), std::uint8_t(v)});
}
void le16(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }

// A PNG chunk with its CRC; length overrides the length field when given.
void pngChunk(Bytes& png, const char* type, const Bytes& data, long length = -1)
{
    be32(png, length < 0 ? static_cast<std::uint32_t>(data.size()) : static_cast<std::uint32_t>(length));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    png.insert(png.end(), body.begin(), body.end());
    be32(png, static_cast<std::uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

Bytes pngSignatureAndHeader(std::uint32_t width, std::uint32_t height)
{
    Bytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Bytes ihdr;
    be32(ihdr, width);
    be32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    pngChunk(png, "IHDR", ihdr);
    return png;
}

// 131 x 131 RGB whose text chunk declares about 1.9 GB and holds 600 bytes.
Bytes pngWithHugeTextChunk()
{
    Bytes png = pngSignatureAndHeader(131, 131);
    be32(png, 0x71C71C71);
    png.insert(png.end(), {'i', 'T', 'X', 't'});
    png.insert(png.end(), 600, 'x');
    return png;
}

Bytes deflated(const Bytes& raw)
{
    Bytes packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);
    return packed;
}

// A picture with a compressed text chunk of textSize bytes (a few KB in the file).
Bytes pngWithText(std::size_t textSize)
{
    Bytes png = pngSignatureAndHeader(2, 1);
    Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const Bytes packedText = deflated(Bytes(textSize, 'x'));
    text.insert(text.end(), packedText.begin(), packedText.end());
    pngChunk(png, "zTXt", text);
    pngChunk(png, "IDAT", deflated({0, 10, 20, 30, 40, 50, 60}));  // filter byte, two pixels
    pngChunk(png, "IEND", {});
    return png;
}

// A GIF whose logical screen is width x height and whose only image is 1 x 1.
Bytes gifWithScreen(unsigned width, unsigned height, unsigned imageWidth = 1, unsigned imageHeight = 1)
{
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a'};
    le16(gif, width);
    le16(gif, height);
    gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});  // two-colour global map
    gif.push_back(0x2C);
    le16(gif, 0);
    le16(gif, 0);
    le16(gif, imageWidth);
    le16(gif, imageHeight);
    gif.insert(gif.end(), {0, 2, 2, 0x4C, 0x01, 0, 0x3B});  // clear, 0, end of information
    return gif;
}

// A run-length PCX of 38913 x 50689 one-bit pixels in 3,976 bytes.
Bytes pcxHugeMonochrome()
{
    Bytes pcx(128, 0);
    pcx[0] = 10;
    pcx[1] = 5;
    pcx[2] = 1;
    pcx[3] = 1;
    pcx[8] = 38912 & 0xFF;
    pcx[9] = 38912 >> 8;
    pcx[10] = 50688 & 0xFF;
    pcx[11] = 50688 >> 8;
    pcx[65] = 1;
    pcx[66] = 4865 & 0xFF;
    pcx[67] = 4865 >> 8;
    pcx.resize(3976, 0xFF);
    return pcx;
}

struct Bomb {
    const char* name;
    const char* file;
    Bytes bytes;
    int code;
};

TEST(Limits, TinyFilesDeclaringHugePicturesFailBeforeAllocating)
{
    TempDir dir;
    const Bomb bombs[] = {
        {"PNG text chunk of 1.9 GB", "text.png", pngWithHugeTextChunk(), kImageCorrupted},
        {"GIF screen 30840 x 30840", "screen.gif", gifWithScreen(30840, 30840), kImageBadSize},
        {"GIF screen 40943 x 14592", "wide.gif", gifWithScreen(40943, 14592), kImageBadSize},
        {"GIF image 30000 x 30000", "image.gif", gifWithScreen(30000, 30000, 30000, 30000), kImageBadSize},
        {"PCX 38913 x 50689", "mono.pcx", pcxHugeMonochrome(), kImageReadError},
    };
    for (const Bomb& b : bombs) {
        const auto path = dir.path() / b.file;
        ASSERT_TRUE(platform::writeWholeFile(path, b.bytes.data(), b.bytes.size()));
        ImageRecord record;
        std::size_t largest = 0;
        {
            allochooks::Armed counting(0);
            EXPECT_EQ(LoadImageByExtension(path.string(), &record, nullptr), b.code) << b.name;
            largest = allochooks::largestRequest();
        }
        EXPECT_TRUE(record.pixels.empty()) << b.name;
        // Nothing much bigger than the file itself (libpng's own structures
        // included where C allocations are counted).
        EXPECT_LT(largest, std::size_t{1} << 20) << b.name;
    }
}

TEST(Limits, ReadersApplyTheLimitsInForce)
{
    TempDir dir;
    const auto textPng = dir.path() / "text.png";
    const Bytes png = pngWithText(2000000);
    ASSERT_TRUE(platform::writeWholeFile(textPng, png.data(), png.size()));
    const std::string data = NV_TEST_DATA_DIR;
    struct Case {
        const char* name;
        std::string path;
        ImageLimits limits;
        int code;
    };
    ImageLimits smallImage;
    smallImage.maxImageBytes = 100;  // the 7 x 5 BMP needs 5 rows of 24 bytes
    ImageLimits smallFile;
    smallFile.maxFileBytes = 1000;
    ImageLimits smallChunk;
    smallChunk.maxChunkBytes = 64 * 1024;
    const Case cases[] = {
        {"defaults", data + "/bmp/v5_24.bmp", ImageLimits{}, kImageNoError},
        {"picture over the image limit", data + "/bmp/v5_24.bmp", smallImage, kImageNoMemory},
        {"file over the file limit", data + "/psd/rgb_raw.psd", smallFile, kImageNoMemory},
        {"file under the file limit", data + "/bmp/v5_24.bmp", smallFile, kImageNoError},
    };
    for (const Case& c : cases) {
        ScopedImageLimits scope(c.limits);
        ImageRecord record;
        EXPECT_EQ(LoadImageByExtension(c.path, &record, nullptr), c.code) << c.name;
        EXPECT_EQ(record.pixels.empty(), c.code != kImageNoError) << c.name;
    }
    EXPECT_EQ(imageLimits().maxImageBytes, ImageLimits{}.maxImageBytes);

    // The viewer's own picture classes apply the same picture limit: a
    // run-length BMP and an icon (the work canvas of their decoder).
    for (const char* name : {"/bmp/v5_rle8.bmp", "/ico_platform/pal.ico"}) {
        for (const ImageLimits& limits : {ImageLimits{}, smallImage}) {
            ScopedImageLimits scope(limits);
            const pictures::OpenResult opened = pictures::openPicture(data + name);
            const bool over = limits.maxImageBytes == smallImage.maxImageBytes;
            EXPECT_EQ(opened.picture.bitmap.empty(), over) << name << " " << opened.error;
            EXPECT_EQ(opened.error.find("Invalid or unexpected") != std::string::npos, over) << name;
        }
    }

    // A WSQ file is read whole too: over the file limit it fails as one the
    // machine has no memory for, without an allocation of its size.
    const std::string wsq = data + "/../../fuzz/corpus/image_wsq/small.wsq";
    platform::RecordingPrompter prompter;
    platform::ScopedPrompter quiet(prompter);
    for (const ImageLimits& limits : {ImageLimits{}, smallFile}) {
        ScopedImageLimits scope(limits);
        ImageRecord record;
        WsqImageInfo info;
        std::size_t largest = 0;
        int code = 0;
        {
            allochooks::Armed counting(0);
            code = LoadImageByExtension(wsq, &record, &info);
            largest = allochooks::largestRequest();
        }
        const bool over = limits.maxFileBytes < 1187;
        EXPECT_EQ(code == kImageNoError, !over);
        EXPECT_EQ(GetLastImageError(), over ? kImageNoMemory : kImageNoError);
        EXPECT_EQ(record.pixels.empty(), over);
        if (over)
            EXPECT_LT(largest, 1187u);
    }

    // A text that inflates beyond the chunk limit is skipped: the picture
    // loads and the text is never held in memory.
    for (const ImageLimits& limits : {ImageLimits{}, smallChunk}) {
        ScopedImageLimits scope(limits);
        ImageRecord record;
        std::size_t largest = 0;
        {
            allochooks::Armed counting(0);
            EXPECT_EQ(LoadPngFile(textPng.string(), &record), kImageNoError);
            largest = allochooks::largestRequest();
        }
        EXPECT_EQ(record.width, 2u);
        if (allochooks::countsCAllocations()) {
            EXPECT_EQ(largest >= 2000000, limits.maxChunkBytes > 2000000) << largest;
        }
    }
}

}  // namespace
