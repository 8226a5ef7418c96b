#include "imagelib/tiff.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/limits.h"
#include "platform/prompter.h"

namespace imagelib {

namespace {

// Below this many decoded bytes a file is never refused for being too small to
// hold its picture: small damaged files still go to the codec.
constexpr std::uint64_t kDecodeSlack = std::uint64_t{1} << 20;

int handleTiffError(TIFF*, void*, const char* module, const char* fmt, va_list ap)
{
    char text[1024];
    std::vsnprintf(text, sizeof text, fmt, ap);
    platform::prompter().message(text, tiffErrorCaption(module), platform::MessageIcon::Warning);
    return 1;  // handled: the library's own stderr handler stays quiet
}

int ignoreTiffWarning(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

// A libtiff handle opened with this library's handlers; closed (and, when
// writing, its directory written) when it goes out of scope.
class TiffHandle {
public:
    TiffHandle(const std::string& fileName, const char* mode)
    {
        TIFFOpenOptions* opts = TIFFOpenOptionsAlloc();
        if (!opts)
            return;
        TIFFOpenOptionsSetErrorHandlerExtR(opts, handleTiffError, nullptr);
        TIFFOpenOptionsSetWarningHandlerExtR(opts, ignoreTiffWarning, nullptr);
        TIFFOpenOptionsSetMaxSingleMemAlloc(opts, static_cast<tmsize_t>(imageLimits().maxImageBytes));
        tif_ = TIFFOpenExt(fileName.c_str(), mode, opts);
        TIFFOpenOptionsFree(opts);
    }
    ~TiffHandle()
    {
        if (tif_)
            TIFFClose(tif_);
    }
    TiffHandle(const TiffHandle&) = delete;
    TiffHandle& operator=(const TiffHandle&) = delete;
    TIFF* get() const { return tif_; }

private:
    TIFF* tif_ = nullptr;
};

// ---------------------------------------------------------------- reading

struct TiffLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t rowsPerStrip = 0;
    std::uint16_t compression = 1;
    std::uint16_t photometric = 0;
    std::uint16_t bitsPerSample = 1;
    std::uint16_t samplesPerPixel = 1;
    std::uint16_t planar = PLANARCONFIG_CONTIG;
    std::uint16_t extraCount = 0;
    std::uint16_t* extraTypes = nullptr;
    std::uint64_t scanline = 0;  // bytes of one row (of one plane when separate)
};

TiffLayout readLayout(TIFF* tif)
{
    TiffLayout l;
    TIFFGetFieldDefaulted(tif, TIFFTAG_IMAGEWIDTH, &l.width);
    TIFFGetFieldDefaulted(tif, TIFFTAG_IMAGELENGTH, &l.height);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &l.compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &l.photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l.bitsPerSample);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l.samplesPerPixel);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l.planar);
    if (!TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &l.rowsPerStrip) || l.rowsPerStrip == 0 ||
        l.rowsPerStrip > l.height)
        l.rowsPerStrip = l.height;  // no tag: the whole picture is one strip
    if (!TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &l.extraCount, &l.extraTypes)) {
        l.extraCount = 0;
        l.extraTypes = nullptr;
    }
    l.scanline = TIFFScanlineSize64(tif);
    return l;
}

bool isSeparate(const TiffLayout& l)
{
    // One sample per pixel is laid out the same either way.
    return l.planar == PLANARCONFIG_SEPARATE && l.samplesPerPixel > 1;
}

unsigned recordDepthOf(const TiffLayout& l)
{
    const unsigned sampleDepth = l.bitsPerSample == 16 ? 8u : l.bitsPerSample;
    return isSeparate(l) ? sampleDepth : sampleDepth * l.samplesPerPixel;
}

int fillOptions(TIFF* tif, const TiffLayout& l, TiffOptions& options)
{
    std::uint16_t orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ORIENTATION, &orientation);
    if (orientation == ORIENTATION_TOPLEFT)
        options.orientation = 0;
    else if (orientation == ORIENTATION_BOTLEFT)
        options.orientation = 1;
    else
        return kImageUnsupportedOption;

    options.predictor = 0;
    if (const std::optional<std::uint8_t> code = tiffCompressionCode(l.compression)) {
        if (*code == 5 || *code == 6 || *code == 15)
            return kImageUnsupportedOption;  // old JPEG, JPEG, JBIG
        options.compression = *code;
        if (*code == kTiffCodeLzw) {
            std::uint16_t predictor = 0;
            options.predictor = TIFFGetField(tif, TIFFTAG_PREDICTOR, &predictor) ? predictor : 2;
        }
    }
    if (l.photometric <= PHOTOMETRIC_SEPARATED)
        options.photometric = static_cast<std::uint8_t>(l.photometric);
    return kImageNoError;
}

// Most decoded bytes one stored byte can give with this compression; 0 when the
// scheme has no useful bound (fax codings can code a whole row in one bit).
std::uint64_t maxExpansion(std::uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 64;
    case COMPRESSION_LZW: return 4096;
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE: return 1032;
    default: return 0;
    }
}

// A header may declare a picture far larger than its strips can hold; refuse it
// before the raster is allocated.
int checkDeclaredSize(TIFF* tif, const TiffLayout& l, std::uint64_t fileSize)
{
    // A scheme libtiff has no codec for fails at the first strip: fail here,
    // before the raster of whatever size the header claims is allocated.
    if (!TIFFIsCODECConfigured(l.compression))
        return kImageReadError;
    const std::uint64_t ratio = maxExpansion(l.compression);
    std::uint64_t* counts = nullptr;
    if (ratio == 0 || !TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) || !counts)
        return kImageNoError;
    std::uint64_t stored = 0;
    const std::uint32_t strips = TIFFNumberOfStrips(tif);
    for (std::uint32_t i = 0; i < strips && stored < fileSize; ++i)
        stored += counts[i];
    stored = std::min(stored, fileSize);
    const long double planes = isSeparate(l) ? l.samplesPerPixel : 1;
    const long double decoded = static_cast<long double>(l.scanline) * l.height * planes;
    if (decoded > static_cast<long double>(stored) * ratio + kDecodeSlack)
        return kImageBadSize;
    return kImageNoError;
}

// Reads the rows of one strip into buffer; returns how many whole rows arrived,
// or -1 when the library failed.
long readStrip(TIFF* tif, std::uint32_t firstRow, std::uint16_t plane, std::uint32_t rows,
               const TiffLayout& l, std::vector<std::uint8_t>& buffer)
{
    const tmsize_t want = static_cast<tmsize_t>(l.scanline * rows);
    const tmsize_t got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, firstRow, plane), buffer.data(), want);
    if (got < 0)
        return -1;
    if (got < want)
        std::memset(buffer.data() + got, 0, static_cast<std::size_t>(want - got));
    return static_cast<long>(rows);
}

struct SampleRange {
    int minimum = 0;
    int maximum = 255;
    unsigned shift = 0;
};

SampleRange sampleRange(TIFF* tif, unsigned bitsPerSample)
{
    std::uint16_t minValue = 0;
    std::uint16_t maxValue = 0;
    TIFFGetFieldDefaulted(tif, TIFFTAG_MINSAMPLEVALUE, &minValue);
    TIFFGetFieldDefaulted(tif, TIFFTAG_MAXSAMPLEVALUE, &maxValue);
    SampleRange r{minValue, maxValue, 0};
    if (r.maximum > 255) {
        const int shift = static_cast<int>(std::log2(static_cast<double>(r.maximum)) + 0.5) - 8;
        r.shift = static_cast<unsigned>(std::max(shift, 0));
        r.minimum >>= r.shift;
        r.maximum >>= r.shift;
    }
    if (bitsPerSample < 8) {
        const int top = (1 << bitsPerSample) - 1;
        r.minimum = r.minimum * 255 / top;
        r.maximum = r.maximum * 255 / top;
    }
    return r;
}

void convert16BitRow(const std::uint8_t* src, std::uint8_t* dst, const TiffLayout& l, unsigned shift)
{
    const unsigned spp = l.samplesPerPixel;
    for (std::uint32_t x = 0; x < l.width; ++x) {
        std::uint16_t s[4] = {};
        std::memcpy(s, src + std::size_t{x} * spp * 2, spp * 2);  // native order from libtiff
        std::uint8_t* p = dst + std::size_t{x} * spp;
        if (spp == 1) {
            p[0] = static_cast<std::uint8_t>(s[0] >> shift);
            continue;
        }
        p[0] = static_cast<std::uint8_t>(s[2] >> shift);
        p[1] = static_cast<std::uint8_t>(s[1] >> shift);
        p[2] = static_cast<std::uint8_t>(s[0] >> shift);
        if (spp == 4)
            p[3] = static_cast<std::uint8_t>(s[3] >> shift);
    }
}

void convert8BitColourRow(const std::uint8_t* src, std::uint8_t* dst, const TiffLayout& l)
{
    const unsigned spp = l.samplesPerPixel;
    // Only premultiplied (associated) alpha is divided out; unassociated alpha,
    // which this library writes, leaves the colours as stored.
    const bool premultiplied = spp == 4 && l.extraCount == 1 && l.extraTypes &&
                               l.extraTypes[0] == EXTRASAMPLE_ASSOCALPHA;
    copySwappingRedBlue(src, dst, l.width, spp);
    if (!premultiplied)
        return;
    for (std::uint32_t x = 0; x < l.width; ++x) {
        std::uint8_t* p = dst + std::size_t{x} * spp;
        if (p[3] != 0) {
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>(std::min(255u, p[c] * 256u / p[3]));
        }
    }
}

void readColorMap(TIFF* tif, ImageRecord& record, unsigned bitsPerSample)
{
    std::uint16_t* red = nullptr;
    std::uint16_t* green = nullptr;
    std::uint16_t* blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
        return;
    const std::size_t n = std::size_t{1} << bitsPerSample;
    bool wide = false;
    for (std::size_t i = 0; i < n && !wide; ++i)
        wide = red[i] > 255 || green[i] > 255 || blue[i] > 255;
    // 16-bit maps are scaled by taking the high byte, so that values written as
    // level x 256 (this library, most writers) and as level x 257 both come back
    // as the level they were made from.
    const auto level = [wide](std::uint16_t v) {
        return static_cast<std::uint8_t>(wide ? v >> 8 : v & 0xFF);
    };
    const std::size_t count = std::min<std::size_t>(n, record.paletteSize);
    for (std::size_t i = 0; i < count; ++i)
        setPaletteEntry(record, i, {level(red[i]), level(green[i]), level(blue[i])});
}

void fillGrayPalette(ImageRecord& record, const SampleRange& range, bool whiteIsZero)
{
    const int step = (range.maximum - range.minimum) / std::max(1, record.paletteSize - 1);
    for (std::size_t i = 0; i < record.paletteSize; ++i) {
        const int v = std::clamp(static_cast<int>(i) * step, 0, 255);
        const auto g = static_cast<std::uint8_t>(whiteIsZero ? 255 - v : v);
        setPaletteEntry(record, i, {g, g, g});
    }
}

int readContiguous(TIFF* tif, ImageRecord& record, const TiffLayout& l)
{
    const unsigned depth = record.bitsPerPixel;
    const unsigned bps = l.bitsPerSample;
    if (bps == 16 && l.samplesPerPixel != 1 && l.samplesPerPixel != 3 && l.samplesPerPixel != 4)
        return kImageUnsupportedOption;
    if (bps != 16 && depth >= 24 && bps != 8)
        return kImageUnsupportedOption;
    const std::uint64_t needed = (std::uint64_t{l.width} * bps * l.samplesPerPixel + 7) / 8;
    if (l.scanline < needed)
        return kImageCorrupted;

    const SampleRange range = sampleRange(tif, bps);
    if (const int code = AllocateImageRecord(record))
        return code;
    std::vector<std::uint8_t> strip;
    if (!allocateZeroed(strip, l.scanline * l.rowsPerStrip))
        return kImageNoMemory;

    const std::size_t copyBytes = static_cast<std::size_t>(std::min<std::uint64_t>(l.scanline, record.rowStride));
    for (std::uint32_t first = 0; first < l.height; first += l.rowsPerStrip) {
        const std::uint32_t rows = std::min(l.rowsPerStrip, l.height - first);
        if (readStrip(tif, first, 0, rows, l, strip) < 0)
            return kImageReadError;
        for (std::uint32_t i = 0; i < rows; ++i) {
            const std::uint8_t* src = strip.data() + i * l.scanline;
            std::uint8_t* dst = record.row(l.height - 1 - (first + i));
            if (bps == 16)
                convert16BitRow(src, dst, l, range.shift);
            else if (depth < 24)
                std::memcpy(dst, src, copyBytes);
            else
                convert8BitColourRow(src, dst, l);
        }
    }

    if (depth > 8)
        return kImageNoError;
    if (l.photometric == PHOTOMETRIC_PALETTE)
        readColorMap(tif, record, std::min<unsigned>(bps, 16));
    else if (l.photometric == PHOTOMETRIC_MINISWHITE || l.photometric == PHOTOMETRIC_MINISBLACK)
        fillGrayPalette(record, range, l.photometric == PHOTOMETRIC_MINISWHITE);
    return kImageNoError;
}

// The plane merges run once per pixel and plane, millions of times for a
// picture of many planes; fuzz builds leave them uninstrumented, as the WSQ
// filter banks, so the fuzzer's time goes to the reader's decisions.
#if defined(__clang__)
#define NV_PIXEL_LOOP __attribute__((no_sanitize("coverage")))
#else
#define NV_PIXEL_LOOP
#endif

NV_PIXEL_LOOP void mergeBitPlaneRow(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t width, unsigned plane)
{
    for (std::uint32_t x = 0; x < width; ++x) {
        const bool set = (src[x >> 3] >> (7 - (x & 7))) & 1;
        if (plane < 3) {
            if (set)
                dst[x] = static_cast<std::uint8_t>(dst[x] | (1u << plane));
        } else if (!set) {
            dst[x] = 8;  // cleared mask plane: the transparent entry
        }
    }
}

NV_PIXEL_LOOP void mergeBytePlaneRow(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t width,
                                     unsigned plane, unsigned samples)
{
    // Colour planes land in B,G,R order; with fewer than three planes there is
    // no colour to reorder and each plane keeps its own byte.
    const unsigned offset = samples >= 3 && plane < 3 ? 2 - plane : plane;
    for (std::uint32_t x = 0; x < width; ++x)
        dst[std::size_t{x} * samples + offset] = src[x];
}

int readSeparate(TIFF* tif, ImageRecord& record, const TiffLayout& l)
{
    const unsigned bps = l.bitsPerSample;
    const unsigned samples = l.samplesPerPixel;
    if (bps != 1 && bps != 8)
        return kImageUnsupportedOption;
    if (l.scanline < (std::uint64_t{l.width} * bps + 7) / 8)
        return kImageCorrupted;
    if (bps == 8) {
        record.bitsPerPixel = static_cast<std::uint8_t>(std::min(8u * samples, 255u));
    } else {
        record.bitsPerPixel = 8;
        record.paletteEntrySize = record.rowPadding == 1 ? 4 : 3;
        record.paletteSize = samples == 3 ? 8 : 9;
        record.transparentIndex = samples == 3 ? -1 : 8;
    }
    if (const int code = AllocateImageRecord(record))
        return code;
    if (bps == 1) {
        // Entry i has red, green and blue full where bits 0, 1 and 2 of i are set.
        const auto full = [](unsigned i, unsigned bit) { return static_cast<std::uint8_t>(i & bit ? 255 : 0); };
        for (unsigned i = 0; i < 8; ++i)
            setPaletteEntry(record, i, {full(i, 1), full(i, 2), full(i, 4)});
        if (record.paletteSize > 8)
            setPaletteEntry(record, 8, {127, 127, 127});
    }
    std::vector<std::uint8_t> strip;
    if (!allocateZeroed(strip, l.scanline * l.rowsPerStrip))
        return kImageNoMemory;

    for (unsigned p = 0; p < samples; ++p) {
        for (std::uint32_t first = 0; first < l.height; first += l.rowsPerStrip) {
            const std::uint32_t rows = std::min(l.rowsPerStrip, l.height - first);
            if (readStrip(tif, first, static_cast<std::uint16_t>(p), rows, l, strip) < 0)
                return kImageReadError;
            for (std::uint32_t i = 0; i < rows; ++i) {
                const std::uint8_t* src = strip.data() + i * l.scanline;
                std::uint8_t* dst = record.row(l.height - 1 - (first + i));
                if (bps == 1)
                    mergeBitPlaneRow(src, dst, l.width, p);
                else
                    mergeBytePlaneRow(src, dst, l.width, p, samples);
            }
        }
    }
    return PackPaletteIndices(record);
}

int readTiff(TIFF* tif, ImageRecord& record, TiffOptions* options, std::uint64_t fileSize)
{
    const TiffLayout l = readLayout(tif);
    record.paletteSize = 0;
    record.paletteEntrySize = 0;
    record.transparentIndex = -1;
    record.width = l.width;
    record.height = l.height;
    switch (l.photometric) {
    case PHOTOMETRIC_YCBCR:
    case PHOTOMETRIC_CIELAB:
    case PHOTOMETRIC_LOGL:
    case PHOTOMETRIC_LOGLUV:
        return kImageUnsupportedOption;
    default:
        break;
    }
    if (l.bitsPerSample == 0 || l.bitsPerSample > 32)
        return kImageBadDepth;
    const unsigned depth = recordDepthOf(l);
    if (depth > 32)
        return kImageBadDepth;
    record.bitsPerPixel = static_cast<std::uint8_t>(depth);
    if (depth == 32 && l.extraCount == 0)
        return kImageUnsupportedOption;
    if (options) {
        if (const int code = fillOptions(tif, l, *options))
            return code;
    }
    if (const int code = checkDeclaredSize(tif, l, fileSize))
        return code;
    return isSeparate(l) ? readSeparate(tif, record, l) : readContiguous(tif, record, l);
}

// ---------------------------------------------------------------- writing

// True when entry i holds the gray level that sample value i means at this depth
// (or, inverted, in a white-is-zero file).
bool paletteIsGrayRamp(const ImageRecord& r, bool inverted)
{
    const unsigned top = (1u << r.bitsPerPixel) - 1;
    if (r.paletteSize > top + 1)
        return false;
    for (std::size_t i = 0; i < r.paletteSize; ++i) {
        const unsigned level = static_cast<unsigned>(i) * 255 / top;
        if (paletteEntryColour(r, i).red != (inverted ? 255 - level : level))
            return false;
    }
    return true;
}

std::uint16_t choosePhotometric(const ImageRecord& r)
{
    if (r.bitsPerPixel > 8)
        return PHOTOMETRIC_RGB;
    // Indices are written as gray samples only when they mean exactly those gray
    // levels; any other palette travels as a ColorMap so the picture stays the same.
    if (r.paletteSize == 0 || (paletteIsGray(r) && paletteIsGrayRamp(r, false)))
        return PHOTOMETRIC_MINISBLACK;
    if (paletteIsGray(r) && paletteIsGrayRamp(r, true))
        return PHOTOMETRIC_MINISWHITE;
    return PHOTOMETRIC_PALETTE;
}

bool writeColorMap(TIFF* tif, const ImageRecord& r, unsigned bitsPerSample)
{
    const std::size_t n = std::size_t{1} << bitsPerSample;
    std::vector<std::uint16_t> maps;
    try {
        maps.assign(3 * n, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    for (std::size_t i = 0; i < n && i < r.paletteSize; ++i) {
        const RgbColour c = paletteEntryColour(r, i);
        maps[i] = static_cast<std::uint16_t>(c.red * 256);
        maps[n + i] = static_cast<std::uint16_t>(c.green * 256);
        maps[2 * n + i] = static_cast<std::uint16_t>(c.blue * 256);
    }
    TIFFSetField(tif, TIFFTAG_COLORMAP, maps.data(), maps.data() + n, maps.data() + 2 * n);
    return true;
}

void fillScanline(const ImageRecord& r, const std::uint8_t* src, std::uint8_t* dst, std::size_t scanline)
{
    switch (r.bitsPerPixel) {
    case 16:
        for (std::uint32_t x = 0; x < r.width; ++x) {
            const RgbColour c = colourFrom555(src[2 * x] | (src[2 * x + 1] << 8));
            dst[3 * x] = c.red;
            dst[3 * x + 1] = c.green;
            dst[3 * x + 2] = c.blue;
        }
        break;
    case 24:
    case 32:
        copySwappingRedBlue(src, dst, r.width, r.bitsPerPixel / 8);
        break;
    default:
        std::memcpy(dst, src, std::min<std::size_t>(scanline, r.rowStride));
        break;
    }
}

void writeResolution(TIFF* tif, const Resolution& resolution)
{
    if (!resolution.known())
        return;
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (resolution.horizontal && *resolution.horizontal > 0)
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(*resolution.horizontal));
    if (resolution.vertical && *resolution.vertical > 0)
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(*resolution.vertical));
}

int writeTiff(TIFF* tif, const ImageRecord& r, std::uint8_t compression, std::uint8_t orientation,
              const Resolution& resolution)
{
    const std::uint16_t photometric = choosePhotometric(r);
    if (r.bitsPerPixel == 1)
        compression = kTiffCodePackBits;
    const bool indexed = r.bitsPerPixel <= 8;
    const std::uint16_t samples = indexed ? 1 : (r.bitsPerPixel == 32 ? 4 : 3);
    const std::uint16_t bps = r.bitsPerPixel == 16 ? 8 : r.bitsPerPixel / samples;

    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, r.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, r.height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bps);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    if (samples == 4) {
        const std::uint16_t extra[1] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    std::uint32_t rowsPerStrip = TIFFDefaultStripSize(tif, 65535);
    if (rowsPerStrip == 65535 || rowsPerStrip == 0)
        rowsPerStrip = 1;
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
    if (orientation == 0)
        TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    else if (orientation == 1)
        TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_BOTLEFT);
    if (compression == kTiffCodeLzw || compression >= std::size(kTiffCompressions))
        return kImageUnsupportedOption;
    TIFFSetField(tif, TIFFTAG_COMPRESSION, kTiffCompressions[compression]);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
    writeResolution(tif, resolution);
    if (photometric == PHOTOMETRIC_PALETTE && !writeColorMap(tif, r, bps))
        return kImageNoMemory;

    const std::uint64_t scanline = (std::uint64_t{r.width} * bps * samples + 7) / 8;
    std::vector<std::uint8_t> strip;
    if (!allocateZeroed(strip, scanline * std::min(rowsPerStrip, r.height)))
        return kImageNoMemory;
    std::uint32_t stripIndex = 0;
    for (std::uint32_t first = 0; first < r.height; first += rowsPerStrip, ++stripIndex) {
        const std::uint32_t rows = std::min(rowsPerStrip, r.height - first);
        for (std::uint32_t i = 0; i < rows; ++i)
            fillScanline(r, r.row(r.height - 1 - (first + i)), strip.data() + i * scanline, scanline);
        if (TIFFWriteEncodedStrip(tif, stripIndex, strip.data(), static_cast<tmsize_t>(scanline * rows)) < 0)
            return kImageWriteError;
    }
    return TIFFFlush(tif) ? kImageNoError : kImageWriteError;
}

}  // namespace

std::optional<std::uint8_t> tiffCompressionCode(std::uint16_t compression)
{
    for (std::size_t i = 0; i < std::size(kTiffCompressions); ++i) {
        if (kTiffCompressions[i] == compression)
            return static_cast<std::uint8_t>(i);
    }
    return std::nullopt;
}

std::string tiffErrorCaption(const char* module)
{
    return std::string(module && *module ? module : "TIFFLIB") + " Error";
}

int LoadTiffFile(const std::string& fileName, ImageRecord* record, TiffOptions* options)
{
    return runImageLoad(record, [&](ImageRecord& target) {
        TiffHandle tif(fileName, "r");
        if (!tif.get())
            return kImageNoMemory;  // what an unopenable file reports
        return readTiff(tif.get(), target, options, imageFileSize(fileName));
    });
}

Resolution ReadTiffResolution(const std::string& fileName)
{
    TiffHandle tif(fileName, "r");
    Resolution r;
    if (!tif.get())
        return r;
    std::uint16_t unit = RESUNIT_INCH;
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit != RESUNIT_INCH && unit != RESUNIT_CENTIMETER)
        return r;  // no unit: the two values only give the aspect ratio
    const double scale = unit == RESUNIT_CENTIMETER ? 2.54 : 1.0;
    float x = 0, y = 0;
    if (TIFFGetField(tif.get(), TIFFTAG_XRESOLUTION, &x) && x > 0 && std::isfinite(x))
        r.horizontal = x * scale;
    if (TIFFGetField(tif.get(), TIFFTAG_YRESOLUTION, &y) && y > 0 && std::isfinite(y))
        r.vertical = y * scale;
    return r;
}

int SaveTiffFile(const std::string& fileName, const ImageRecord& record, const TiffOptions* options)
{
    return SaveTiffFile(fileName, record, options, Resolution{});
}

int SaveTiffFile(const std::string& fileName, const ImageRecord& record, const TiffOptions* options,
                 const Resolution& resolution)
{
    const std::uint8_t compression = options ? options->compression : kTiffCodeNone;
    const std::uint8_t orientation = options ? options->orientation : 0;
    return runImageSave([&] {
        TiffHandle tif(fileName, "w");
        if (!tif.get())
            return kImageNoMemory;
        if (const int code = checkImageRecord(record))
            return code;
        return writeTiff(tif.get(), record, compression, orientation, resolution);
    });
}

}  // namespace imagelib
