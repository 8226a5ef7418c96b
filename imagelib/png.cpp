#include "imagelib/png.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/limits.h"

namespace imagelib {

namespace {

// Deflate gives at most 1032 bytes from one; below the slack a damaged file is
// left to libpng to judge.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::uint64_t kDecodeSlack = std::uint64_t{1} << 20;

// Everything a load holds. It lives outside the function that sets the
// long-jump target, so a libpng error skips no destructor and this one frees it all.
struct PngReader {
    std::vector<std::uint8_t> bytes;  // the whole file
    std::size_t pos = 0;              // next byte libpng reads
    png_structp png = nullptr;
    png_infop info = nullptr;
    std::vector<png_byte> image;
    std::vector<png_bytep> rows;

    ~PngReader()
    {
        if (png)
            png_destroy_read_struct(&png, &info, nullptr);
    }
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length)
{
    auto* r = static_cast<PngReader*>(png_get_io_ptr(png));
    if (length > r->bytes.size() - r->pos)
        png_error(png, "read past the end of the file");
    std::memcpy(out, r->bytes.data() + r->pos, length);
    r->pos += length;
}

// Walks the chunk list up to IEND: every chunk must fit in the bytes that
// follow its header. libpng allocates a chunk's declared length before it
// reads it, so a few bytes declaring gigabytes are refused here first.
bool chunksFitTheFile(const std::vector<std::uint8_t>& bytes)
{
    std::size_t at = 8;
    while (bytes.size() - at >= 12) {
        const std::uint64_t length = (std::uint64_t{bytes[at]} << 24) | (std::uint64_t{bytes[at + 1]} << 16) |
                                     (std::uint64_t{bytes[at + 2]} << 8) | bytes[at + 3];
        if (length > bytes.size() - at - 12)
            return false;
        if (std::memcmp(bytes.data() + at + 4, "IEND", 4) == 0)
            return true;
        at += 12 + static_cast<std::size_t>(length);
    }
    return false;  // cut before IEND: libpng would fail on the missing bytes
}

// The parts of the header and of the transparency decision the row conversion needs.
struct PngLayout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colourType = 0;
    bool grayAlpha = false;
    bool expand = false;          // palette indices become B,G,R,A pixels
    bool replaceTransparent = false;  // RGB pixels of the transparent colour show the background
    RgbColour background{};
    png_colorp palette = nullptr;
    int paletteCount = 0;
    png_bytep alpha = nullptr;
    int alphaCount = 0;
    png_color_16p transparent = nullptr;
};

std::uint8_t sample8(const PngLayout& l, png_uint_16 v)
{
    return static_cast<std::uint8_t>(l.bitDepth == 16 ? v >> 8 : v);
}

void fillPalette(ImageRecord& record, const PngLayout& l, bool hasBackground)
{
    if (l.colourType == PNG_COLOR_TYPE_PALETTE) {
        for (int i = 0; i < l.paletteCount && i < record.paletteSize; ++i)
            setPaletteEntry(record, i, {l.palette[i].red, l.palette[i].green, l.palette[i].blue});
        if (l.alphaCount == 1 && l.alpha && hasBackground && l.paletteCount > 0) {
            const png_color c = l.palette[0];
            const std::uint8_t a = l.alpha[0];
            setPaletteEntry(record, 0, {BlendOverBackground(c.red, a, l.background.red),
                                 BlendOverBackground(c.green, a, l.background.green),
                                 BlendOverBackground(c.blue, a, l.background.blue)});
        }
        return;
    }
    const int step = 255 / (record.paletteSize - 1);
    for (int i = 0; i < record.paletteSize; ++i) {
        const auto g = static_cast<std::uint8_t>(i * step);
        setPaletteEntry(record, i, {g, g, g});
    }
    // The gray level the transparency chunk names shows the background.
    if (l.alphaCount == 1 && hasBackground && l.transparent) {
        const unsigned level = sample8(l, l.transparent->gray);
        if (level < record.paletteSize)
            setPaletteEntry(record, level, l.background);
    }
}

// Reads the header, decides how transparency is shown and allocates the record.
int prepareRecord(PngReader& r, ImageRecord& record, PngLayout& l, std::uint64_t fileSize)
{
    int interlace = 0;
    png_get_IHDR(r.png, r.info, &l.width, &l.height, &l.bitDepth, &l.colourType, &interlace, nullptr, nullptr);
    const int channels = png_get_channels(r.png, r.info);
    const std::uint64_t raw = std::uint64_t{l.height} * (1 + (std::uint64_t{l.width} * channels * l.bitDepth + 7) / 8);
    if (raw > fileSize * kMaxDeflateRatio + kDecodeSlack)
        return kImageBadSize;  // the file cannot hold the picture its header declares

    const int e = l.bitDepth == 2 ? 4 : (l.bitDepth == 16 ? 8 : l.bitDepth);
    if (l.bitDepth == 16)
        png_set_strip_16(r.png);
    l.grayAlpha = (l.colourType & PNG_COLOR_MASK_ALPHA) && !(l.colourType & PNG_COLOR_MASK_COLOR);
    const int d = l.grayAlpha ? (channels - 1) * e : channels * e;

    png_color_16p bg = nullptr;
    const bool hasBackground = png_get_bKGD(r.png, r.info, &bg) && bg;
    if (hasBackground)  // in 16-bit files on the same scale as the stripped samples
        l.background = {sample8(l, bg->red), sample8(l, bg->green), sample8(l, bg->blue)};
    if (!png_get_tRNS(r.png, r.info, &l.alpha, &l.alphaCount, &l.transparent))
        l.alphaCount = 0;
    png_get_PLTE(r.png, r.info, &l.palette, &l.paletteCount);

    // Gray and RGB files carry a colour, not an alpha table: without a background
    // there is nothing to show in its place and the chunk is ignored.
    const bool palette = l.colourType == PNG_COLOR_TYPE_PALETTE;
    record.transparentIndex = -1;
    if (palette && l.alpha && l.alphaCount == 1 && !hasBackground) {
        if (l.alpha[0] == 0)
            record.transparentIndex = 0;
        else
            l.expand = true;
    }
    if (palette && l.alpha && l.alphaCount > 1)
        l.expand = true;
    if (l.expand && l.bitDepth < 8)
        png_set_packing(r.png);
    l.replaceTransparent = l.colourType == PNG_COLOR_TYPE_RGB && hasBackground && l.alphaCount > 0 && l.transparent;

    record.width = l.width;
    record.height = l.height;
    record.bitsPerPixel = static_cast<std::uint8_t>((l.grayAlpha || (palette && l.expand)) ? 32 : d);
    record.paletteSize = 0;
    if (record.bitsPerPixel <= 8)
        record.paletteSize = static_cast<std::uint16_t>(palette ? l.paletteCount : 1 << std::min(l.bitDepth, 8));
    if (const int code = AllocateImageRecord(record))
        return code;
    if (record.bitsPerPixel <= 8)
        fillPalette(record, l, hasBackground);
    return kImageNoError;
}

void widen2To4(const png_byte* src, std::uint8_t* dst, png_uint_32 width)
{
    for (png_uint_32 x = 0; x < width; ++x) {
        const unsigned v = (src[x / 4] >> (6 - 2 * (x % 4))) & 3;
        dst[x / 2] = static_cast<std::uint8_t>(dst[x / 2] | (x % 2 ? v : v << 4));
    }
}

void convertRow(const PngLayout& l, const png_byte* src, std::uint8_t* dst, std::size_t copyBytes)
{
    if (l.bitDepth == 2 && !l.expand)
        return widen2To4(src, dst, l.width);
    for (png_uint_32 x = 0; x < l.width; ++x) {
        std::uint8_t* p = dst + std::size_t{x} * 4;
        if (l.grayAlpha) {
            p[0] = p[1] = p[2] = src[2 * x];
            p[3] = src[2 * x + 1];
        } else if (l.colourType == PNG_COLOR_TYPE_RGB_ALPHA) {
            copySwappingRedBlue(src + std::size_t{x} * 4, p, 1, 4);
        } else if (l.expand) {
            const int index = src[x];
            const png_color c = index < l.paletteCount ? l.palette[index] : png_color{0, 0, 0};
            p[0] = c.blue;
            p[1] = c.green;
            p[2] = c.red;
            p[3] = index < l.alphaCount ? l.alpha[index] : 255;
        } else if (l.colourType == PNG_COLOR_TYPE_RGB) {
            const png_byte* s = src + std::size_t{x} * 3;
            p = dst + std::size_t{x} * 3;
            RgbColour c{s[0], s[1], s[2]};
            if (l.replaceTransparent && c.red == sample8(l, l.transparent->red) &&
                c.green == sample8(l, l.transparent->green) && c.blue == sample8(l, l.transparent->blue))
                c = l.background;
            p[0] = c.blue;
            p[1] = c.green;
            p[2] = c.red;
        } else {
            std::memcpy(dst, src, copyBytes);
            return;
        }
    }
}

int readPixels(PngReader& r, ImageRecord& record, const PngLayout& l)
{
    png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    const std::uint64_t rowBytes = png_get_rowbytes(r.png, r.info);
    // What convertRow takes from each row of the library.
    std::uint64_t needed = (std::uint64_t{l.width} * record.bitsPerPixel + 7) / 8;
    if (l.bitDepth == 2 && !l.expand)
        needed = (std::uint64_t{l.width} + 3) / 4;
    else if (l.grayAlpha)
        needed = std::uint64_t{l.width} * 2;
    else if (l.expand)
        needed = l.width;
    if (rowBytes < needed)
        return kImageCorrupted;
    if (!allocateZeroed(r.image, rowBytes * l.height))
        return kImageNoMemory;
    try {
        r.rows.resize(l.height);
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    for (png_uint_32 y = 0; y < l.height; ++y)
        r.rows[y] = r.image.data() + y * rowBytes;
    png_read_image(r.png, r.rows.data());

    const std::size_t copyBytes = static_cast<std::size_t>(std::min<std::uint64_t>(rowBytes, record.rowStride));
    for (png_uint_32 y = 0; y < l.height; ++y)
        convertRow(l, r.rows[y], record.row(l.height - 1 - y), copyBytes);
    r.image.clear();
    r.rows.clear();
    png_read_end(r.png, nullptr);
    return kImageNoError;
}

// Sets the long-jump target: a libpng error anywhere below ends here with code 1.
int readPng(PngReader& r, ImageRecord& record, std::uint64_t fileSize)
{
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!r.png)
        return kImageNoMemory;
    if (setjmp(png_jmpbuf(r.png)))
        return kImageCorrupted;
    r.info = png_create_info_struct(r.png);
    if (!r.info)
        return kImageNoMemory;
    // No chunk and no decompressed text or profile may cost more than the limit.
    const ImageLimits limits = imageLimits();
    png_set_chunk_malloc_max(r.png, static_cast<png_alloc_size_t>(
                                        std::min<std::uint64_t>(limits.maxChunkBytes, PNG_SIZE_MAX)));
    r.pos = 8;
    png_set_read_fn(r.png, &r, readFromMemory);
    png_set_sig_bytes(r.png, 8);
    png_read_info(r.png, r.info);
    PngLayout layout;
    if (const int code = prepareRecord(r, record, layout, fileSize))
        return code;
    return readPixels(r, record, layout);
}

// ---------------------------------------------------------------- writing

// True when every index is written as the gray sample that shows its own
// palette colour (entry i is gray level i scaled to the bit depth).
bool paletteIsGrayRamp(const ImageRecord& r)
{
    const unsigned top = (1u << r.bitsPerPixel) - 1;
    if (r.paletteSize > top + 1)
        return false;
    for (std::size_t i = 0; i < r.paletteSize; ++i) {
        const RgbColour c = paletteEntryColour(r, i);
        const unsigned level = static_cast<unsigned>(i) * 255 / top;
        if (c.red != level || c.green != level || c.blue != level)
            return false;
    }
    return true;
}

// Highest palette index any pixel of a 1-, 4- or 8-bit record uses.
unsigned highestIndex(const ImageRecord& r)
{
    const unsigned depth = r.bitsPerPixel;
    const unsigned mask = (1u << depth) - 1;
    unsigned highest = 0;
    for (std::uint32_t y = 0; y < r.height; ++y) {
        const std::uint8_t* row = r.row(y);
        for (std::uint32_t x = 0; x < r.width; ++x) {
            const std::size_t bit = std::size_t{x} * depth;
            highest = std::max(highest, (row[bit / 8] >> (8 - depth - bit % 8)) & mask);
        }
    }
    return highest;
}

struct PngWriter {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ImageRecord wide;  // a 5-5-5 record widened to 24 bits
    std::vector<png_byte> row;
    png_color palette[256] = {};

    ~PngWriter()
    {
        if (png)
            png_destroy_write_struct(&png, &info);
        if (file)
            std::fclose(file);
    }
};

int writeRows(PngWriter& w, const ImageRecord& record)
{
    const std::uint64_t rowBytes = (std::uint64_t{record.bitsPerPixel} * record.width + 7) / 8;
    if (!allocateZeroed(w.row, rowBytes))
        return kImageNoMemory;
    const unsigned n = record.bitsPerPixel / 8;
    for (std::uint32_t y = record.height; y-- > 0;) {
        const std::uint8_t* src = record.row(y);
        if (n >= 3) {
            copySwappingRedBlue(src, w.row.data(), record.width, n);
        } else {
            std::memcpy(w.row.data(), src, static_cast<std::size_t>(rowBytes));
        }
        png_write_row(w.png, w.row.data());
    }
    return kImageNoError;
}

// Sets the long-jump target: a libpng error anywhere below ends here with code 1.
int writePng(PngWriter& w, const ImageRecord& record, const Resolution& resolution)
{
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!w.png)
        return kImageNoMemory;
    w.info = png_create_info_struct(w.png);
    if (!w.info)
        return kImageNoMemory;
    if (setjmp(png_jmpbuf(w.png)))
        return kImageCorrupted;
    png_init_io(w.png, w.file);

    const unsigned depth = record.bitsPerPixel;
    int colourType = PNG_COLOR_TYPE_PALETTE;
    if (depth == 32)
        colourType = PNG_COLOR_TYPE_RGB_ALPHA;
    else if (depth == 24)
        colourType = PNG_COLOR_TYPE_RGB;
    else if (paletteIsGrayRamp(record))
        colourType = PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(w.png, w.info, record.width, record.height, static_cast<int>(std::min(depth, 8u)), colourType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        // libpng refuses indices past the PLTE; such pixels are written as black.
        const int count = std::min<int>(std::max<unsigned>(record.paletteSize, highestIndex(record) + 1), 1 << depth);
        for (int i = 0; i < count && i < record.paletteSize; ++i) {
            const RgbColour c = paletteEntryColour(record, i);
            w.palette[i] = {c.red, c.green, c.blue};
        }
        png_set_PLTE(w.png, w.info, w.palette, count);
    }
    // pHYs holds both axes or neither.
    const std::uint32_t xPerMetre = pixelsPerMetre(resolution.horizontal);
    const std::uint32_t yPerMetre = pixelsPerMetre(resolution.vertical);
    if (xPerMetre > 0 && yPerMetre > 0)
        png_set_pHYs(w.png, w.info, xPerMetre, yPerMetre, PNG_RESOLUTION_METER);
    png_write_info(w.png, w.info);
    if (const int code = writeRows(w, record))
        return code;
    png_write_end(w.png, w.info);
    return kImageNoError;
}

}  // namespace

int LoadPngFile(const std::string& fileName, ImageRecord* record)
{
    return runImageLoad(record, [&](ImageRecord& target) {
        PngReader reader;
        if (const int code = readImageFile(fileName, reader.bytes))
            return code;
        if (reader.bytes.size() < 8 || png_sig_cmp(reader.bytes.data(), 0, 8) != 0)
            return kImageUnsupportedOption;
        if (!chunksFitTheFile(reader.bytes))
            return kImageCorrupted;
        return readPng(reader, target, reader.bytes.size());
    });
}

int SavePngFile(const std::string& fileName, const ImageRecord& record)
{
    return SavePngFile(fileName, record, Resolution{});
}

int SavePngFile(const std::string& fileName, const ImageRecord& record, const Resolution& resolution)
{
    return runImageSave([&] {
        PngWriter writer;
        writer.file = std::fopen(fileName.c_str(), "wb");
        if (!writer.file)
            return kImageCannotOpen;
        const ImageRecord* source = &record;
        if (record.bitsPerPixel == 16) {
            if (const int code = checkImageRecord(record))
                return code;
            if (const int code = widen555Copy(record, writer.wide))
                return code;
            source = &writer.wide;
        }
        if (const int code = checkImageRecord(*source))
            return code;
        const int code = writePng(writer, *source, resolution);
        if (writer.png)
            png_destroy_write_struct(&writer.png, &writer.info);
        return closeWrittenFile(writer.file, code);
    });
}

}  // namespace imagelib
