// PNG pictures through libpng's simplified reader: every bit depth, colour
// type and interlace, gray and palette files expanded, alpha kept straight.
#include <png.h>

#include <cstring>

#include "imagelib/image_record.h"
#include "imagelib/limits.h"
#include "pictures/header_probes.h"
#include "pictures/picture_classes.h"
#include "pictures/picture_errors.h"

namespace pictures {

namespace {

constexpr const char* kFormat = "PNG";

std::string failureText(const char* message)
{
    const std::string m = message;
    if (m.find("CRC") != std::string::npos)
        return crcErrorText(kFormat);
    if (m.find("critical chunk") != std::string::npos)
        return kUnexpectedCriticalChunk;
    if (m.find("palette") != std::string::npos || m.find("PLTE") != std::string::npos)
        return invalidPaletteText(kFormat);
    if (m.find("Not enough") != std::string::npos || m.find("end") != std::string::npos ||
        m.find("truncated") != std::string::npos)
        return streamReadErrorText(kFormat);
    return compressionErrorText(kFormat);
}

class PngGraphic : public PictureClass {
public:
    std::string className() const override { return "TPNGGraphic"; }
    bool canLoad(Bytes bytes) const override { return probe::png(bytes).has_value(); }
    PictureProperties readProperties(Bytes bytes) const override
    {
        std::optional<PictureProperties> p = probe::png(bytes);
        if (!p)
            fail(invalidFormatText(kFormat));
        return *p;
    }
    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        readProperties(bytes);
        png_image image;
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
            fail(failureText(image.message));
        const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
        // 16-bit samples without gamma information are taken as they are,
        // reduced to their high byte, rather than as linear light.
        image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
        image.format = alpha ? PNG_FORMAT_BGRA : PNG_FORMAT_BGR;
        const std::uint64_t size = std::uint64_t(image.width) * image.height * (alpha ? 4 : 3);
        // Deflate packs at most about 1032 bytes into one, so the file bounds
        // the picture it can hold; a larger claim is refused before allocating.
        const std::uint64_t packed = std::uint64_t(image.height) * (1 + PNG_IMAGE_ROW_STRIDE(image));
        if (image.width > 0x7FFFFFFF || image.height > 0x7FFFFFFF || size > imagelib::imageLimits().maxImageBytes ||
            packed / 1032 > bytes.size()) {
            png_image_free(&image);
            fail(invalidFormatText(kFormat));
        }
        LoadedPicture picture;
        platform::Bitmap& out = picture.bitmap;
        out = platform::Bitmap(static_cast<int>(image.width), static_cast<int>(image.height), alpha ? 32 : 24);
        // A negative stride stores the bottom row first, as the bitmap keeps them.
        const auto stride = -static_cast<png_int_32>(out.stride());
        if (!png_image_finish_read(&image, nullptr, out.bits().data(), stride, nullptr))
            fail(failureText(image.message));
        picture.resolution = imagelib::pngResolution(bytes.data(), bytes.size());
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makePngGraphic()
{
    return std::make_unique<PngGraphic>();
}

}  // namespace pictures
