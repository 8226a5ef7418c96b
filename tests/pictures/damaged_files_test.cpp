// Every class survives damaged headers and data: each of the first bytes of a
// good file set to 0, 0xFF or with its top bit flipped either loads or fails
// with the class's own error (the sanitizer build watches the reads).
#include <gtest/gtest.h>

#include <functional>

#include "picture_support.h"
#include "pictures/autodesk_graphic.h"
#include "pictures/cut_graphic.h"
#include "pictures/metafile.h"
#include "pictures/platform_bitmap.h"
#include "pictures/platform_icon.h"
#include "pictures/platform_jpeg.h"

using namespace picturetest;

namespace {

void expectDamageHandled(const pictures::PictureClass& cls, const ByteVector& good, std::size_t bytes)
{
    for (std::size_t at = 0; at < std::min(bytes, good.size()); ++at)
        for (int kind = 0; kind < 3; ++kind) {
            ByteVector file = good;
            file[at] = kind == 0 ? 0 : kind == 1 ? 0xFF : file[at] ^ 0x80;
            try {
                const auto picture = cls.load(pictures::Bytes(file.data(), file.size()), "");
                EXPECT_FALSE(picture.bitmap.empty()) << at;
            } catch (const pictures::PictureFormatError&) {
            }
            try {
                (void)cls.readProperties(pictures::Bytes(file.data(), file.size()));
            } catch (const pictures::PictureFormatError&) {
            }
        }
}

}  // namespace

TEST(DamagedFiles, EveryClassFailsCleanly)
{
    const struct {
        const char* file;
        std::function<std::unique_ptr<pictures::PictureClass>()> make;
        std::size_t bytes;
    } cases[] = {
        {"bmp_platform/rle8.bmp", pictures::makeTBitmap, 1136},
        {"bmp_platform/bf565.bmp", pictures::makeTBitmap, 218},
        {"bmp_platform/os2_pal8.bmp", pictures::makeTBitmap, 120},
        {"jpeg_platform/gray28.jpg", pictures::makeTJPEGImage, 308},
        {"ico_platform/pal.ico", pictures::makeTIcon, 166},
        {"ico_platform/ico28.ico", pictures::makeTIcon, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        expectDamageHandled(*c.make(), readData(c.file), c.bytes);
    }
}
