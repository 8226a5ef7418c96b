#include "pictures/platform_jpeg.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>
#include <jerror.h>

#include "pictures/decoder_support.h"

namespace pictures {

namespace {

const std::string kFormat = "JPEG";

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool endOfInput = false;
};

void onError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings are not printed; running out of data is remembered, since libjpeg
// then pads the picture with gray and reports success.
void onMessage(j_common_ptr cinfo, int level)
{
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && err->pub.msg_code == JWRN_JPEG_EOF)
        err->endOfInput = true;
}

bool looksLikeJpeg(Bytes b)
{
    return b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF;
}

struct Decoded {
    int width = 0, height = 0, components = 0;
    J_COLOR_SPACE source = JCS_UNKNOWN;
    bool adobe = false;
    int orientation = 0;
    int densityUnit = 0, xDensity = 0, yDensity = 0;
    Resolution exif;  // XResolution/YResolution of the EXIF block, if any
    std::vector<std::uint8_t> pixels;  // top row first, components bytes a pixel
};

// Reads the header, and the pixels when wanted. Returns 0, or libjpeg's error
// code (negative -1 for a cut stream).
int runDecoder(Bytes bytes, bool pixels, Decoded& out)
{
    jpeg_decompress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    std::vector<std::uint8_t>& buffer = out.pixels;
    if (setjmp(err.jump)) {
        const int code = err.pub.msg_code;
        jpeg_destroy_decompress(&cinfo);
        return code > 0 ? code : 1;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    out.width = static_cast<int>(cinfo.image_width);
    out.height = static_cast<int>(cinfo.image_height);
    out.source = cinfo.jpeg_color_space;
    out.adobe = cinfo.saw_Adobe_marker;
    if (cinfo.saw_JFIF_marker) {
        out.densityUnit = cinfo.density_unit;
        out.xDensity = cinfo.X_density;
        out.yDensity = cinfo.Y_density;
    }
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && !out.orientation) {
            out.orientation = exifOrientation(Bytes(m->data, m->data_length));
            out.exif = exifResolution(Bytes(m->data, m->data_length));
        }
    if (!pixels || std::uint64_t(out.width) * std::uint64_t(out.height) > kMaxPicturePixels) {
        jpeg_destroy_decompress(&cinfo);
        return 0;
    }
    switch (cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE: cinfo.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: cinfo.out_color_space = JCS_CMYK; break;
    default: cinfo.out_color_space = JCS_RGB; break;
    }
    jpeg_start_decompress(&cinfo);
    out.components = cinfo.output_components;
    const std::size_t rowBytes = std::size_t(cinfo.output_width) * cinfo.output_components;
    buffer.resize(rowBytes * cinfo.output_height);
    while (cinfo.output_scanline < cinfo.output_height && !err.endOfInput) {
        JSAMPROW row = buffer.data() + rowBytes * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    if (!err.endOfInput)
        jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return err.endOfInput ? -1 : 0;
}

Decoded decode(Bytes bytes, bool pixels)
{
    if (!looksLikeJpeg(bytes))
        failInvalidFormat(kFormat);
    Decoded d;
    const int code = runDecoder(bytes, pixels, d);
    if (code == -1)
        throw PictureFormatError("JPEG decompression error. Unexpected end of input.");
    if (code != 0)
        throw PictureFormatError("JPEG error #" + std::to_string(code));
    return d;
}

platform::Bitmap toBitmap(const Decoded& d)
{
    if (d.components == 1) {
        platform::Bitmap b = makeBitmap(d.width, d.height, 8, kFormat);
        setGrayPalette(b, 256);
        for (int y = 0; y < d.height; ++y)
            std::memcpy(b.topRow(y), d.pixels.data() + std::size_t(y) * d.width, d.width);
        return b;
    }
    platform::Bitmap b = makeBitmap(d.width, d.height, 24, kFormat);
    for (int y = 0; y < d.height; ++y) {
        const std::uint8_t* src = d.pixels.data() + std::size_t(y) * d.width * d.components;
        std::uint8_t* dst = b.topRow(y);
        for (int x = 0; x < d.width; ++x, src += d.components, dst += 3) {
            if (d.components == 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                continue;
            }
            // Adobe's files store CMYK inverted (0 = full ink); others store ink.
            int c = src[0], m = src[1], yel = src[2], k = src[3];
            if (!d.adobe) {
                c = 255 - c;
                m = 255 - m;
                yel = 255 - yel;
                k = 255 - k;
            }
            dst[0] = static_cast<std::uint8_t>((yel * k + 127) / 255);
            dst[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
            dst[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
        }
    }
    return b;
}

std::string schemeName(J_COLOR_SPACE space)
{
    switch (space) {
    case JCS_GRAYSCALE: return "gray";
    case JCS_RGB: return "RGB";
    case JCS_YCbCr: return "YCbCr";
    case JCS_CMYK: return "CMYK";
    case JCS_YCCK: return "YCCK";
    default: return "unknown";
    }
}

class TJPEGImage final : public PictureClass {
public:
    std::string className() const override { return "TJPEGImage"; }
    bool canLoad(Bytes bytes) const override { return looksLikeJpeg(bytes); }

    PictureProperties readProperties(Bytes bytes) const override
    {
        const Decoded d = decode(bytes, false);
        PictureProperties p;
        p.width = d.width;
        p.height = d.height;
        p.bitsPerSample = 8;
        p.samplesPerPixel = d.source == JCS_GRAYSCALE ? 1 : (d.source == JCS_CMYK || d.source == JCS_YCCK) ? 4 : 3;
        p.colorScheme = schemeName(d.source);
        p.compression = "JPEG";
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        const Decoded d = decode(bytes, true);
        LoadedPicture picture;
        picture.bitmap = applyOrientation(toBitmap(d), d.orientation);
        const double scale = d.densityUnit == 1 ? 1.0 : d.densityUnit == 2 ? 2.54 : 0.0;
        // JFIF density first; a file whose JFIF header gives only an aspect
        // ratio (or that has none) may state it in its EXIF block.
        Resolution stored = d.exif;
        if (scale > 0 && d.xDensity > 0 && d.yDensity > 0)
            stored = Resolution{d.xDensity * scale, d.yDensity * scale};
        const bool swapped = d.orientation >= 5 && d.orientation <= 8;
        picture.resolution = swapped ? Resolution{stored.vertical, stored.horizontal} : stored;
        return picture;
    }
};

}  // namespace

int exifOrientation(Bytes app1)
{
    static const std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    if (app1.size() < 6 + 8 || std::memcmp(app1.data(), kExif, 6) != 0)
        return 0;
    const Bytes tiff = app1.subspan(6);
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return 0;
    auto u16 = [&](std::size_t at) { return little ? le16At(tiff, at) : be16At(tiff, at); };
    auto u32 = [&](std::size_t at) { return little ? le32At(tiff, at) : be32At(tiff, at); };
    const std::uint64_t ifd = u32(4);
    if (ifd + 2 > tiff.size())
        return 0;
    const unsigned count = u16(static_cast<std::size_t>(ifd));
    for (unsigned i = 0; i < count; ++i) {
        const std::uint64_t entry = ifd + 2 + 12ull * i;
        if (entry + 12 > tiff.size())
            return 0;
        if (u16(entry) == 0x0112 && u16(entry + 2) == 3) {
            const unsigned v = u16(entry + 8);
            return v >= 1 && v <= 8 ? static_cast<int>(v) : 0;
        }
    }
    return 0;
}

Resolution exifResolution(Bytes app1)
{
    static const std::uint8_t kExif[6] = {'E', 'x', 'i', 'f', 0, 0};
    Resolution r;
    if (app1.size() < 6 + 8 || std::memcmp(app1.data(), kExif, 6) != 0)
        return r;
    const Bytes tiff = app1.subspan(6);
    const bool little = tiff[0] == 'I' && tiff[1] == 'I';
    if (!little && !(tiff[0] == 'M' && tiff[1] == 'M'))
        return r;
    auto u16 = [&](std::size_t at) { return little ? le16At(tiff, at) : be16At(tiff, at); };
    auto u32 = [&](std::size_t at) { return little ? le32At(tiff, at) : be32At(tiff, at); };
    // A RATIONAL's value lives at the offset the entry holds.
    auto rational = [&](std::uint64_t entry) -> std::optional<double> {
        const std::uint64_t at = u32(static_cast<std::size_t>(entry + 8));
        if (u16(static_cast<std::size_t>(entry + 2)) != 5 || at + 8 > tiff.size())
            return std::nullopt;
        const std::uint32_t num = u32(static_cast<std::size_t>(at)), den = u32(static_cast<std::size_t>(at + 4));
        return num > 0 && den > 0 ? std::optional<double>(double(num) / den) : std::nullopt;
    };
    const std::uint64_t ifd = u32(4);
    if (ifd + 2 > tiff.size())
        return r;
    unsigned unit = 2;  // inches when the tag is missing
    const unsigned count = u16(static_cast<std::size_t>(ifd));
    for (unsigned i = 0; i < count; ++i) {
        const std::uint64_t entry = ifd + 2 + 12ull * i;
        if (entry + 12 > tiff.size())
            break;
        const unsigned tag = u16(static_cast<std::size_t>(entry));
        if (tag == 0x011A)
            r.horizontal = rational(entry);
        else if (tag == 0x011B)
            r.vertical = rational(entry);
        else if (tag == 0x0128 && u16(static_cast<std::size_t>(entry + 2)) == 3)
            unit = u16(static_cast<std::size_t>(entry + 8));
    }
    if (unit != 2 && unit != 3)
        return Resolution{};
    const double scale = unit == 3 ? 2.54 : 1.0;
    if (r.horizontal)
        *r.horizontal *= scale;
    if (r.vertical)
        *r.vertical *= scale;
    return r;
}

std::unique_ptr<PictureClass> makeTJPEGImage()
{
    return std::make_unique<TJPEGImage>();
}

}  // namespace pictures
