// Uncompressed Windows bitmap files. File rows are bottom-up and padded to four
// bytes, the record's own layout, so rows pass through unchanged.
#include <algorithm>
#include <cstring>
#include <new>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

namespace imagelib {

namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

struct BmpHeader {
    std::uint32_t pixelOffset = 0;
    std::uint32_t infoSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t coloursUsed = 0;
};

bool isLibraryDepth(unsigned depth)
{
    return depth == 1 || depth == 4 || depth == 8 || depth == 16 || depth == 24 || depth == 32;
}

int readHeaders(ByteReader& in, BmpHeader& h)
{
    std::uint8_t type[2];
    std::uint32_t fileSize = 0, reserved = 0;
    if (!in.read(type, 2) || !in.le32(fileSize) || !in.le32(reserved) || !in.le32(h.pixelOffset))
        return kImageReadError;
    if (type[0] != 'B' || type[1] != 'M')
        return kImageUnsupportedOption;
    std::uint16_t planes = 0;
    std::uint32_t width = 0, height = 0, skipped = 0;
    if (!in.le32(h.infoSize) || !in.le32(width) || !in.le32(height) || !in.le16(planes) || !in.le16(h.bitCount) ||
        !in.le32(h.compression) || !in.le32(skipped) || !in.le32(skipped) || !in.le32(skipped) ||
        !in.le32(h.coloursUsed) || !in.le32(skipped))
        return kImageReadError;
    h.width = static_cast<std::int32_t>(width);
    h.height = static_cast<std::int32_t>(height);
    if (h.compression != 0)
        return kImageUnsupportedOption;
    // Smaller (OS/2) headers have another layout; the fields above would be garbage.
    if (h.infoSize < kInfoHeaderSize)
        return kImageUnsupportedOption;
    return kImageNoError;
}

int loadBmp(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    BmpHeader h;
    if (const int code = readHeaders(in, h))
        return code;

    const unsigned depth = h.bitCount & 0xFF;
    const std::uint64_t height = h.height < 0 ? -std::int64_t{h.height} : h.height;
    record.width = static_cast<std::uint32_t>(h.width);
    record.height = static_cast<std::uint32_t>(height);
    record.bitsPerPixel = static_cast<std::uint8_t>(depth);
    record.transparentIndex = -1;
    record.paletteSize = 0;
    record.paletteEntrySize = 0;
    if (depth <= 8) {
        record.paletteSize = static_cast<std::uint16_t>(h.coloursUsed & 0xFFFF);
        record.paletteEntrySize = 4;
    }

    // The palette follows the info header, whatever its size (V4 and V5 headers
    // are longer than 40 bytes); the rows start at the pixel offset, which may
    // leave a gap after the palette.
    const std::uint64_t paletteStart = kFileHeaderSize + std::uint64_t{h.infoSize};
    const std::uint64_t paletteCount =
        depth <= 8 ? (record.paletteSize ? record.paletteSize : (std::uint64_t{1} << depth)) : 0;
    const std::uint64_t paletteEnd = paletteStart + 4 * paletteCount;
    const std::uint64_t pixelStart = std::max<std::uint64_t>(h.pixelOffset, paletteEnd);
    const std::uint64_t fileStride = imageRowStride(record.width, depth, true);
    const std::uint64_t pixelBytes = fileStride * height;

    // Refuse sizes the file cannot hold before allocating for them.
    if (record.width != 0 && record.height != 0 && isLibraryDepth(depth) && pixelStart + pixelBytes > bytes.size())
        return kImageReadError;
    if (const int code = AllocateImageRecord(record))
        return code;

    if (depth <= 8) {
        in.seek(paletteStart);
        if (!in.read(record.palette.data(), record.palette.size()))
            return kImageReadError;
    }
    if (!in.seek(pixelStart))
        return kImageReadError;
    const std::uint8_t* rows = in.take(pixelBytes);
    if (!rows)
        return kImageReadError;
    const std::size_t rowBytes = std::min<std::uint64_t>(fileStride, record.rowStride);
    const bool topDown = h.height < 0;
    for (std::uint32_t y = 0; y < record.height; ++y) {
        const std::uint32_t target = topDown ? record.height - 1 - y : y;
        std::memcpy(record.row(target), rows + y * fileStride, rowBytes);
    }
    // Without bit fields the fourth byte of a 32-bit pixel is padding; when every
    // one is zero the picture is opaque, not fully transparent.
    if (depth == 32) {
        bool anyAlpha = false;
        for (std::uint32_t y = 0; y < record.height && !anyAlpha; ++y)
            for (std::uint32_t x = 0; x < record.width && !anyAlpha; ++x)
                anyAlpha = record.row(y)[4 * x + 3] != 0;
        if (!anyAlpha)
            for (std::uint32_t y = 0; y < record.height; ++y)
                for (std::uint32_t x = 0; x < record.width; ++x)
                    record.row(y)[4 * x + 3] = 255;
    }
    return kImageNoError;
}

}  // namespace

int LoadBmpFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadBmp);
}

namespace {

int saveBmp(ImageFileWriter& out, const ImageRecord& record, const Resolution& resolution)
{
    if (!imageRecordIsValid(record))
        return kImageNullRecord;
    const unsigned depth = record.bitsPerPixel < 32 ? record.bitsPerPixel : 24;
    const std::uint64_t stride = imageRowStride(record.width, depth, true);
    const std::uint64_t imageSize = stride * record.height;
    const std::uint32_t paletteCount = record.hasPalette() ? record.paletteSize : 0;
    if (imageSize > UINT32_MAX - 54 - 4 * paletteCount)
        return kImageBadSize;

    std::vector<std::uint8_t> rows;
    std::vector<std::uint8_t> palette;
    try {
        rows.assign(static_cast<std::size_t>(imageSize), 0);
        palette.assign(std::size_t{paletteCount} * 4, 0);
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    for (std::uint32_t y = 0; y < record.height; ++y) {
        const std::uint8_t* src = record.row(y);
        std::uint8_t* dst = rows.data() + y * stride;
        if (record.bitsPerPixel < 32) {
            std::memcpy(dst, src, static_cast<std::size_t>(std::min<std::uint64_t>(stride, record.rowStride)));
        } else {
            for (std::uint32_t x = 0; x < record.width; ++x)
                std::memcpy(dst + 3 * x, src + 4 * x, 3);  // alpha is dropped
        }
    }
    for (std::uint32_t i = 0; i < paletteCount; ++i) {
        const std::uint8_t* e = record.entry(i);
        std::uint8_t* q = palette.data() + 4 * i;
        if (record.paletteEntrySize >= 4) {
            std::memcpy(q, e, 4);
        } else {  // R,G,B entries become B,G,R,0
            q[0] = e[2];
            q[1] = e[1];
            q[2] = e[0];
        }
    }

    const std::uint32_t pixelOffset = 54 + 4 * paletteCount;
    std::uint8_t header[54] = {'B', 'M'};
    putLe32(header + 2, pixelOffset + static_cast<std::uint32_t>(imageSize));
    putLe32(header + 10, pixelOffset);
    putLe32(header + 14, kInfoHeaderSize);
    putLe32(header + 18, record.width);
    putLe32(header + 22, record.height);
    putLe16(header + 26, 1);
    putLe16(header + 28, depth);
    putLe32(header + 34, static_cast<std::uint32_t>(imageSize));
    putLe32(header + 38, pixelsPerMetre(resolution.horizontal));
    putLe32(header + 42, pixelsPerMetre(resolution.vertical));
    putLe32(header + 46, paletteCount);
    putLe32(header + 50, paletteCount);
    if (const int code = out.write(header, sizeof header))
        return code;
    if (const int code = out.write(palette.data(), palette.size()))
        return code;
    if (const int code = out.write(rows.data(), rows.size()))
        return code;
    return out.close();
}

}  // namespace

int SaveBmpFile(const std::string& fileName, const ImageRecord& record)
{
    return SaveBmpFile(fileName, record, Resolution{});
}

int SaveBmpFile(const std::string& fileName, const ImageRecord& record, const Resolution& resolution)
{
    // A record without pixels is refused before the file is created.
    if (!record.hasPixels())
        return runImageSave([] { return kImageNullRecord; });
    return saveImageFile(fileName, [&](ImageFileWriter& out) { return saveBmp(out, record, resolution); });
}

}  // namespace imagelib
