// TIFF pictures (and the TIFF preview of EPS files), straight from memory:
// gray, palette, RGB and CMYK samples of 1 to 16 bits as libtiff decodes them,
// every other colour scheme (YCbCr, Lab, ...) through libtiff's RGBA
// interface; the orientation is applied last.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "imagelib/image_record.h"
#include "imagelib/limits.h"
#include "pictures/decoder_support.h"
#include "pictures/header_probes.h"
#include "pictures/picture_classes.h"
#include "pictures/picture_errors.h"
#include "pictures/tiff_samples.h"

namespace pictures {

namespace {

struct MemoryFile {
    Bytes bytes;
    std::uint64_t position = 0;
    std::string error;  // libtiff's first error message
};

tmsize_t readProc(thandle_t handle, void* buffer, tmsize_t size)
{
    auto* f = static_cast<MemoryFile*>(handle);
    if (size < 0 || f->position >= f->bytes.size())
        return 0;
    const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), f->bytes.size() - f->position);
    std::memcpy(buffer, f->bytes.data() + f->position, n);
    f->position += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t writeProc(thandle_t, void*, tmsize_t)
{
    return 0;
}

toff_t seekProc(thandle_t handle, toff_t offset, int whence)
{
    auto* f = static_cast<MemoryFile*>(handle);
    std::uint64_t base = 0;
    if (whence == SEEK_CUR)
        base = f->position;
    else if (whence == SEEK_END)
        base = f->bytes.size();
    if (offset > UINT64_MAX - base)
        return static_cast<toff_t>(-1);
    f->position = base + offset;
    return f->position;
}

int closeProc(thandle_t)
{
    return 0;
}

toff_t sizeProc(thandle_t handle)
{
    return static_cast<MemoryFile*>(handle)->bytes.size();
}

int mapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void unmapProc(thandle_t, void*, toff_t)
{
}

int errorHandler(TIFF*, void* user, const char*, const char* fmt, va_list ap)
{
    auto* f = static_cast<MemoryFile*>(user);
    if (f->error.empty()) {
        char text[256];
        std::vsnprintf(text, sizeof text, fmt, ap);
        f->error = text;
    }
    return 1;  // handled: nothing reaches libtiff's process-wide handler
}

int warningHandler(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

TiffHandle openMemory(MemoryFile& file)
{
    if (!probe::tiffSignature(file.bytes))
        return nullptr;
    TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(opts, errorHandler, &file);
    TIFFOpenOptionsSetWarningHandlerExtR(opts, warningHandler, &file);
    TIFFOpenOptionsSetMaxSingleMemAlloc(opts, static_cast<tmsize_t>(imagelib::imageLimits().maxImageBytes));
    TIFF* tif = TIFFClientOpenExt("memory", "rm", &file, readProc, writeProc, seekProc, closeProc, sizeProc,
                                  mapProc, unmapProc, opts);
    TIFFOpenOptionsFree(opts);
    return TiffHandle(tif);
}

std::string compressionName(unsigned c)
{
    switch (c) {
    case COMPRESSION_NONE: return "none";
    case COMPRESSION_CCITTRLE: return "CCITT modified Huffman";
    case COMPRESSION_CCITTFAX3: return "CCITT Group 3";
    case COMPRESSION_CCITTFAX4: return "CCITT Group 4";
    case COMPRESSION_LZW: return "LZW";
    case COMPRESSION_OJPEG: return "old-style JPEG";
    case COMPRESSION_JPEG: return "JPEG";
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: return "Deflate";
    case COMPRESSION_PACKBITS: return "PackBits";
    case COMPRESSION_THUNDERSCAN: return "ThunderScan";
    case COMPRESSION_CCITTRLEW: return "CCITT modified Huffman, word-aligned";
    case COMPRESSION_NEXT: return "NeXT";
    case COMPRESSION_JBIG: return "JBIG";
    case COMPRESSION_LZMA: return "LZMA";
    case COMPRESSION_ZSTD: return "ZSTD";
    case COMPRESSION_WEBP: return "WebP";
    default: return std::to_string(c);
    }
}

std::string schemeName(unsigned photometric, unsigned samples, unsigned extra)
{
    switch (photometric) {
    case PHOTOMETRIC_MINISWHITE:
    case PHOTOMETRIC_MINISBLACK: return extra ? "gray+alpha" : "gray";
    case PHOTOMETRIC_RGB: return extra || samples > 3 ? "RGBA" : "RGB";
    case PHOTOMETRIC_PALETTE: return "indexed";
    case PHOTOMETRIC_MASK: return "mask";
    case PHOTOMETRIC_SEPARATED: return "CMYK";
    case PHOTOMETRIC_YCBCR: return "YCbCr";
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_ICCLAB:
    case PHOTOMETRIC_ITULAB: return "Lab";
    default: return "photometric " + std::to_string(photometric);
    }
}

PictureProperties propertiesOf(TIFF* tif)
{
    std::uint32_t width = 0, height = 0;
    std::uint16_t bits = 1, samples = 1, photometric = 0, compression = 1, extraCount = 0;
    std::uint16_t* extra = nullptr;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric))
        photometric = samples >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    return {static_cast<int>(width), static_cast<int>(height), bits, samples,
            schemeName(photometric, samples, extraCount), compressionName(compression)};
}

Resolution resolutionOf(TIFF* tif)
{
    float x = 0, y = 0;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    Resolution r;
    if (unit == RESUNIT_NONE)
        return r;
    const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) && x > 0)
        r.horizontal = x * scale;
    if (TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) && y > 0)
        r.vertical = y * scale;
    return r;
}

// Undoes the RGBA interface's premultiplication so alpha stays straight.
std::uint8_t unpremultiply(std::uint8_t c, std::uint8_t a)
{
    if (a == 0 || a == 255)
        return c;
    return static_cast<std::uint8_t>(std::min(255u, (c * 255u + a / 2u) / a));
}

// A header may claim a picture far larger than its file could hold; such a
// claim is refused before the raster is allocated. No codec libtiff offers
// expands its data by more than about a thousand times.
bool sizeFitsFile(const PictureProperties& p, unsigned compression, std::uint64_t fileSize)
{
    const std::uint64_t bits = std::uint64_t(p.width) * p.height * p.samplesPerPixel * p.bitsPerSample;
    const std::uint64_t factor = compression == COMPRESSION_NONE ? 1 : 4096;
    return bits / 8 <= fileSize * factor;
}

class TiffGraphic : public PictureClass {
public:
    explicit TiffGraphic(std::string className = "TTIFFGraphic", std::string format = "TIFF")
        : className_(std::move(className)), format_(std::move(format))
    {
    }
    std::string className() const override { return className_; }
    bool canLoad(Bytes bytes) const override
    {
        MemoryFile file{bytes, 0, {}};
        return openMemory(file) != nullptr;
    }
    PictureProperties readProperties(Bytes bytes) const override
    {
        MemoryFile file{bytes, 0, {}};
        TiffHandle tif = openMemory(file);
        if (!tif)
            fail(invalidFormatText(format_));
        return propertiesOf(tif.get());
    }
    LoadedPicture load(Bytes bytes, const std::string&) const override;

protected:
    std::string className_;
    std::string format_;
};

// The picture through libtiff's RGBA interface, rows as stored: for the
// schemes the sample reader leaves to it (YCbCr, old-style JPEG, Lab, ...).
platform::Bitmap readThroughRgba(TIFF* tif, const PictureProperties& p, bool alpha, unsigned compression,
                                 const std::string& format)
{
    char message[1024] = "";
    TIFFRGBAImage image{};
    if (!TIFFRGBAImageOK(tif, message) || !TIFFRGBAImageBegin(&image, tif, 1, message))
        fail(kColorConversionFailed);
    // Bottom-left from stored top-left order: raster rows come out in the
    // bitmap's bottom-up order, the orientation left to the caller.
    image.orientation = ORIENTATION_TOPLEFT;
    image.req_orientation = ORIENTATION_BOTLEFT;
    std::vector<std::uint32_t> raster(std::size_t(p.width) * std::size_t(p.height));
    const int ok = TIFFRGBAImageGet(&image, raster.data(), p.width, p.height);
    TIFFRGBAImageEnd(&image);
    if (!ok)
        fail(compression == COMPRESSION_NONE ? streamReadErrorText(format) : compressionErrorText(format));
    platform::Bitmap bitmap(p.width, p.height, alpha ? 32 : 24);
    const int step = alpha ? 4 : 3;
    for (int y = 0; y < p.height; ++y) {
        const std::uint32_t* in = raster.data() + std::size_t(y) * p.width;
        std::uint8_t* out = bitmap.row(y);
        for (int x = 0; x < p.width; ++x, out += step) {
            const std::uint32_t v = in[x];
            const auto a = static_cast<std::uint8_t>(TIFFGetA(v));
            out[0] = alpha ? unpremultiply(static_cast<std::uint8_t>(TIFFGetB(v)), a) : TIFFGetB(v);
            out[1] = alpha ? unpremultiply(static_cast<std::uint8_t>(TIFFGetG(v)), a) : TIFFGetG(v);
            out[2] = alpha ? unpremultiply(static_cast<std::uint8_t>(TIFFGetR(v)), a) : TIFFGetR(v);
            if (alpha)
                out[3] = a;
        }
    }
    return bitmap;
}

LoadedPicture TiffGraphic::load(Bytes bytes, const std::string&) const
{
    MemoryFile file{bytes, 0, {}};
    TiffHandle tif = openMemory(file);
    if (!tif)
        fail(invalidFormatText(format_));
    const PictureProperties p = propertiesOf(tif.get());
    std::uint16_t compression = COMPRESSION_NONE, extraCount = 0, orientation = ORIENTATION_TOPLEFT;
    std::uint16_t* extra = nullptr;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_ORIENTATION, &orientation);
    if (!TIFFIsCODECConfigured(compression))
        fail(notSupportedText(std::string(kCompressionSchemeIs) + " " + compressionName(compression), format_));
    if (p.width <= 0 || p.height <= 0)
        fail(invalidFormatText(format_));
    if (p.bitsPerSample < 1 || p.bitsPerSample > 16)
        fail(kInvalidColorDepth);
    const std::uint64_t pixels = std::uint64_t(p.width) * std::uint64_t(p.height);
    if (pixels * 4 > imagelib::imageLimits().maxImageBytes || !sizeFitsFile(p, compression, bytes.size()))
        fail(invalidFormatText(format_));
    std::optional<platform::Bitmap> stored = readTiffSamples(tif.get(), format_);
    if (!stored)
        stored = readThroughRgba(tif.get(), p, extraCount > 0, compression, format_);
    LoadedPicture picture;
    picture.bitmap = applyOrientation(*stored, orientation);
    picture.resolution = resolutionOf(tif.get());
    // Orientations 5 to 8 turn the rows into columns, and the resolutions with them.
    if (orientation >= ORIENTATION_LEFTTOP && orientation <= ORIENTATION_LEFTBOT)
        std::swap(picture.resolution.horizontal, picture.resolution.vertical);
    if (TIFFNumberOfDirectories(tif.get()) > 1)
        picture.problems.push_back("only the first of " + std::to_string(TIFFNumberOfDirectories(tif.get())) +
                                   " pages is shown");
    return picture;
}

// The DOS EPS binary header: a signature, then the offsets and lengths of the
// PostScript, a metafile preview and a TIFF preview.
std::optional<Bytes> epsTiffPreview(Bytes b)
{
    if (b.size() < 30 || b[0] != 0xC5 || b[1] != 0xD0 || b[2] != 0xD3 || b[3] != 0xC6)
        return std::nullopt;
    auto le32 = [&](std::size_t at) {
        return std::uint64_t{b[at]} | (std::uint64_t{b[at + 1]} << 8) | (std::uint64_t{b[at + 2]} << 16) |
               (std::uint64_t{b[at + 3]} << 24);
    };
    const std::uint64_t offset = le32(20), length = le32(24);
    if (length == 0)
        return Bytes{};
    if (offset > b.size() || length > b.size() - offset)
        return std::nullopt;
    return b.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
}

class EpsGraphic : public TiffGraphic {
public:
    EpsGraphic() : TiffGraphic("TEPSGraphic", "EPS") {}
    bool canLoad(Bytes bytes) const override
    {
        const std::optional<Bytes> tiff = epsTiffPreview(bytes);
        return tiff && TiffGraphic::canLoad(*tiff);
    }
    PictureProperties readProperties(Bytes bytes) const override
    {
        return TiffGraphic::readProperties(preview(bytes));
    }
    LoadedPicture load(Bytes bytes, const std::string& sourceName) const override
    {
        return TiffGraphic::load(preview(bytes), sourceName);
    }

private:
    Bytes preview(Bytes bytes) const
    {
        const std::optional<Bytes> tiff = epsTiffPreview(bytes);
        if (!tiff)
            fail(invalidFormatText(format_));
        if (tiff->empty())
            fail(notSupportedText("Pictures without a TIFF preview", format_));
        return *tiff;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTiffGraphic()
{
    return std::make_unique<TiffGraphic>();
}

std::unique_ptr<PictureClass> makeEpsGraphic()
{
    return std::make_unique<EpsGraphic>();
}

}  // namespace pictures
