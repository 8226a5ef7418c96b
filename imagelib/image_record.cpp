#include "imagelib/image_record.h"

#include <new>

#include "imagelib/limits.h"

namespace imagelib {

namespace {
// Per thread, so that a decode on a worker thread cannot clobber the error the
// GUI thread is about to show.
thread_local int lastError = kImageNoError;

BackgroundColour backgroundColour;
ImageRecord backgroundImage;

bool isLibraryDepth(unsigned depth)
{
    switch (depth) {
    case 1: case 4: case 8: case 16: case 24: case 32:
        return true;
    default:
        return false;
    }
}

}  // namespace

void SetLastImageError(int code)
{
    lastError = code;
}

int GetLastImageError()
{
    return lastError;
}

int recordImageResult(int code)
{
    SetLastImageError(code);
    return code;
}

void InitImageRecord(ImageRecord& record)
{
    record = ImageRecord{};
}

void FreeImageRecord(ImageRecord& record)
{
    InitImageRecord(record);
}

std::uint64_t imageRowStride(std::uint64_t width, unsigned bitsPerPixel, bool padded)
{
    std::uint64_t stride = (width * bitsPerPixel + 7) / 8;
    if (padded)
        stride = (stride + 3) / 4 * 4;
    return stride;
}

int AllocateImageRecord(ImageRecord& record)
{
    if (record.width == 0 || record.height == 0)
        return recordImageResult(kImageBadSize);
    if (!isLibraryDepth(record.bitsPerPixel))
        return recordImageResult(kImageBadDepth);
    record.pixels.clear();
    record.pixels.shrink_to_fit();
    record.palette.clear();
    record.palette.shrink_to_fit();

    if (record.bitsPerPixel <= 8) {
        record.paletteEntrySize = (record.rowPadding > 0 || record.paletteEntrySize > 3) ? 4 : 3;
        if (record.paletteSize == 0)
            record.paletteSize = static_cast<std::uint16_t>(1u << record.bitsPerPixel);
    } else {
        record.paletteEntrySize = 0;
        record.paletteSize = 0;
    }
    const std::uint64_t stride = imageRowStride(record.width, record.bitsPerPixel, record.rowPadding != 0);
    const std::uint64_t total = stride * record.height;
    if (total == 0)
        return recordImageResult(kImageBadSize);
    if (stride > UINT32_MAX || total > imageLimits().maxImageBytes)
        return recordImageResult(kImageNoMemory);
    try {
        record.palette.assign(std::size_t{record.paletteSize} * record.paletteEntrySize, 0);
        record.pixels.assign(static_cast<std::size_t>(total), 0);
    } catch (const std::bad_alloc&) {
        record.palette.clear();
        record.pixels.clear();
        return recordImageResult(kImageNoMemory);
    }
    record.rowStride = static_cast<std::uint32_t>(stride);
    return kImageNoError;
}

int checkImageRecord(const ImageRecord& record)
{
    if (!isLibraryDepth(record.bitsPerPixel))
        return kImageBadDepth;
    if (record.width == 0 || record.height == 0)
        return kImageBadSize;
    if (record.rowStride < imageRowStride(record.width, record.bitsPerPixel, false) ||
        record.pixels.size() < std::uint64_t{record.rowStride} * record.height)
        return kImageNullRecord;
    if (record.paletteSize != 0 && ((record.paletteEntrySize != 3 && record.paletteEntrySize != 4) ||
                                    record.palette.size() < std::size_t{record.paletteSize} * record.paletteEntrySize))
        return kImageNullRecord;
    return kImageNoError;
}

bool imageRecordIsValid(const ImageRecord& record)
{
    return checkImageRecord(record) == kImageNoError;
}

RgbColour paletteEntryColour(const ImageRecord& record, std::size_t i)
{
    const std::uint8_t* e = record.entry(i);
    if (record.paletteEntrySize >= 4)
        return {e[2], e[1], e[0]};
    return {e[0], e[1], e[2]};
}

void setPaletteEntry(ImageRecord& record, std::size_t i, RgbColour colour)
{
    std::uint8_t* e = record.entry(i);
    if (record.paletteEntrySize >= 4) {
        e[0] = colour.blue;
        e[1] = colour.green;
        e[2] = colour.red;
        e[3] = 0;
    } else {
        e[0] = colour.red;
        e[1] = colour.green;
        e[2] = colour.blue;
    }
}

bool paletteIsGray(const ImageRecord& record)
{
    for (std::size_t i = 0; i < record.paletteSize; ++i) {
        const std::uint8_t* e = record.entry(i);
        if (e[0] != e[1] || e[1] != e[2])
            return false;
    }
    return true;
}

void setIdentityGrayPalette(ImageRecord& record)
{
    for (std::size_t i = 0; i < record.paletteSize; ++i) {
        const auto level = static_cast<std::uint8_t>(i);
        setPaletteEntry(record, i, {level, level, level});
    }
}

void copySwappingRedBlue(const std::uint8_t* src, std::uint8_t* dst, std::uint32_t width, unsigned bytesPerPixel)
{
    for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint8_t* s = src + std::size_t{x} * bytesPerPixel;
        std::uint8_t* d = dst + std::size_t{x} * bytesPerPixel;
        d[0] = s[2];
        d[1] = s[1];
        d[2] = s[0];
        if (bytesPerPixel == 4)
            d[3] = s[3];
    }
}

RgbColour colourFrom555(unsigned word)
{
    return {static_cast<std::uint8_t>(((word >> 10) & 0x1F) * 8), static_cast<std::uint8_t>(((word >> 5) & 0x1F) * 8),
            static_cast<std::uint8_t>((word & 0x1F) * 8)};
}

int PackPaletteIndices(ImageRecord& record)
{
    if (!record.hasPalette() || record.bitsPerPixel != 8 || record.paletteSize > 16)
        return kImageNoError;
    const unsigned depth = record.paletteSize > 2 ? 4 : 1;
    const std::uint64_t stride = imageRowStride(record.width, depth, record.rowPadding > 0);
    std::vector<std::uint8_t> packed;
    try {
        packed.assign(static_cast<std::size_t>(stride * record.height), 0);
    } catch (const std::bad_alloc&) {
        return recordImageResult(kImageNoMemory);
    }
    const unsigned perByte = 8 / depth;
    for (std::uint32_t y = 0; y < record.height; ++y) {
        const std::uint8_t* src = record.row(y);
        std::uint8_t* dst = packed.data() + std::size_t{y} * stride;
        for (std::uint32_t x = 0; x < record.width; ++x) {
            const unsigned shift = 8 - depth * (x % perByte + 1);
            const unsigned mask = (1u << depth) - 1;
            dst[x / perByte] |= static_cast<std::uint8_t>((src[x] & mask) << shift);
        }
    }
    record.pixels = std::move(packed);
    record.bitsPerPixel = static_cast<std::uint8_t>(depth);
    record.rowStride = static_cast<std::uint32_t>(stride);
    return kImageNoError;
}

int ExpandIndicesTo8Bit(const ImageRecord& record, std::vector<std::uint8_t>& out)
{
    const unsigned depth = record.bitsPerPixel;
    if (depth != 1 && depth != 4 && depth != 8)
        return recordImageResult(kImageBadDepth);
    try {
        out.assign(std::size_t{record.width} * record.height, 0);
    } catch (const std::bad_alloc&) {
        return recordImageResult(kImageNoMemory);
    }
    const unsigned perByte = 8 / depth;
    const unsigned mask = (1u << depth) - 1;
    for (std::uint32_t y = 0; y < record.height; ++y) {
        const std::uint8_t* src = record.row(y);
        std::uint8_t* dst = out.data() + std::size_t{y} * record.width;
        for (std::uint32_t x = 0; x < record.width; ++x) {
            const unsigned shift = 8 - depth * (x % perByte + 1);
            dst[x] = static_cast<std::uint8_t>((src[x / perByte] >> shift) & mask);
        }
    }
    return kImageNoError;
}

int Expand555To24(ImageRecord& record)
{
    if (record.bitsPerPixel != 16)
        return recordImageResult(kImageBadDepth);
    const std::uint64_t stride = imageRowStride(record.width, 24, record.rowPadding > 0);
    std::vector<std::uint8_t> wide;
    try {
        wide.assign(static_cast<std::size_t>(stride * record.height), 0);
    } catch (const std::bad_alloc&) {
        return recordImageResult(kImageNoMemory);
    }
    for (std::uint32_t y = 0; y < record.height; ++y) {
        const std::uint8_t* src = record.row(y);
        std::uint8_t* dst = wide.data() + std::size_t{y} * stride;
        for (std::uint32_t x = 0; x < record.width; ++x) {
            const RgbColour c = colourFrom555(src[2 * x] | (src[2 * x + 1] << 8));
            dst[3 * x] = c.blue;
            dst[3 * x + 1] = c.green;
            dst[3 * x + 2] = c.red;
        }
    }
    record.pixels = std::move(wide);
    record.bitsPerPixel = 24;
    record.rowStride = static_cast<std::uint32_t>(stride);
    return kImageNoError;
}

int widen555Copy(const ImageRecord& record, ImageRecord& wide)
{
    try {
        wide = record;
    } catch (const std::bad_alloc&) {
        return recordImageResult(kImageNoMemory);
    }
    return Expand555To24(wide);
}

BackgroundColour GetBackgroundColour()
{
    return backgroundColour;
}

void SetBackgroundColour(BackgroundColour colour)
{
    backgroundColour = colour;
}

const ImageRecord& GetBackgroundImage()
{
    return backgroundImage;
}

int SetBackgroundImage(const ImageRecord& image)
{
    if (!image.hasPixels()) {
        InitImageRecord(backgroundImage);
        return kImageNoError;
    }
    if (image.bitsPerPixel != 24 && image.bitsPerPixel != 32)
        return recordImageResult(kImageBadDepth);
    if (image.pixels.size() < std::size_t{image.rowStride} * image.height ||
        image.rowStride < std::uint64_t{image.width} * (image.bitsPerPixel / 8))
        return recordImageResult(kImageNullRecord);
    backgroundImage = image;
    return kImageNoError;
}

std::uint8_t BlendOverBackground(std::uint8_t c, std::uint8_t a, std::uint8_t b)
{
    if (a == 0)
        return b;
    if (a == 255)
        return c;
    const unsigned t = unsigned{c} * a + (255u - a) * b + 128u;
    return static_cast<std::uint8_t>((t + t / 256) / 256);
}

std::uint8_t UnblendFromBackground(std::uint8_t c, std::uint8_t a, std::uint8_t b)
{
    if (a == 0)
        return b;
    if (a == 255)
        return c;
    const int q = (255 * int{c} - (255 - int{a}) * int{b}) / int{a};
    if (q < 0)
        return 0;
    // A colour brighter than the blend can produce saturates instead of wrapping
    // round to a dark value.
    return q > 255 ? 255 : static_cast<std::uint8_t>(q);
}

}  // namespace imagelib
