// Every class survives damaged headers and data: each of the first bytes of a
// good file set to 0, 0xFF or with its top bit flipped either loads or fails
// with the class's own error (the sanitizer build watches the reads).
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "class_test_support.h"
#include "pictures/autodesk_graphic.h"
#include "pictures/cut_graphic.h"
#include "pictures/metafile.h"
#include "pictures/platform_bitmap.h"
#include "pictures/platform_icon.h"
#include "pictures/platform_jpeg.h"

using namespace picturetest;


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
