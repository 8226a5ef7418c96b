// Truevision Targa files: colour-mapped, true-colour and grayscale pictures, raw
// or run-length encoded, in any of the four origins. Written uncompressed with a
// top-left origin.
#include <algorithm>
#include <cstring>
#include <new>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

namespace imagelib {

namespace {

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint8_t kDescriptorAlpha = 0x08;
constexpr std::uint8_t kDescriptorRightToLeft = 0x10;
constexpr std::uint8_t kDescriptorTopDown = 0x20;

struct TgaHeader {
    std::uint8_t idLength = 0;
    std::uint8_t colourMapType = 0;
    std::uint8_t imageType = 0;
    std::uint16_t colourMapLength = 0;
    std::uint8_t colourMapEntryBits = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t pixelDepth = 0;
    std::uint8_t descriptor = 0;
};

int readHeader(ByteReader& in, TgaHeader& h)
{
    std::uint16_t firstIndex = 0, xOrigin = 0, yOrigin = 0;
    if (!in.u8(h.idLength) || !in.u8(h.colourMapType) || !in.u8(h.imageType) || !in.le16(firstIndex) ||
        !in.le16(h.colourMapLength) || !in.u8(h.colourMapEntryBits) || !in.le16(xOrigin) || !in.le16(yOrigin) ||
        !in.le16(h.width) || !in.le16(h.height) || !in.u8(h.pixelDepth) || !in.u8(h.descriptor))
        return kImageReadError;
    const unsigned type = h.imageType;
    const unsigned depth = h.pixelDepth;
    if (type == 0)
        return kImageUnsupportedOption;
    if (depth != 8 && depth != 15 && depth != 16 && depth != 24 && depth != 32)
        return kImageUnsupportedOption;
    if (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11)
        return kImageUnsupportedOption;
    if (h.colourMapLength > 256)
        return kImageUnsupportedOption;
    // Indices wider than a byte have no record layout to go into.
    if ((type == 1 || type == 9) && depth != 8)
        return kImageUnsupportedOption;
    return kImageNoError;
}

// Bytes of one colour-map entry in the file; 15-bit entries are stored in words.
std::uint64_t colourMapEntryBytes(unsigned bits)
{
    return bits == 15 ? 2 : (bits + 7) / 8;
}

int readPalette(ByteReader& in, const TgaHeader& h, ImageRecord& record)
{
    const unsigned type = h.imageType;
    const bool hasPaletteData = type == 1 || type == 3 || type == 9 || type == 11;
    if (h.colourMapType != 1) {
        if (hasPaletteData && record.hasPalette()) {
            const unsigned step = 256 / record.paletteSize;
            for (std::size_t i = 0; i < record.paletteSize; ++i) {
                std::uint8_t* e = record.entry(i);
                e[0] = e[1] = e[2] = static_cast<std::uint8_t>(i * step);
            }
        }
        return kImageNoError;
    }
    const unsigned bits = h.colourMapEntryBits;
    const std::uint64_t entryBytes = colourMapEntryBytes(bits);
    const std::size_t start = in.position();
    // A true-colour file may still carry a colour map; its pixels follow it.
    if (!hasPaletteData || !record.hasPalette())
        return in.skip(entryBytes * h.colourMapLength) ? kImageNoError : kImageReadError;
    const std::size_t count = std::min<std::size_t>(h.colourMapLength, record.paletteSize);
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t* e = record.entry(i);
        if (bits == 15 || bits == 16) {
            std::uint16_t word = 0;
            if (!in.le16(word))
                return kImageReadError;
            e[0] = static_cast<std::uint8_t>((word & 0x1F) * 8);
            e[1] = static_cast<std::uint8_t>(((word >> 5) & 0x1F) * 8);
            e[2] = static_cast<std::uint8_t>(((word >> 10) & 0x1F) * 8);
        } else if (bits == 24 || bits == 32) {
            const std::uint8_t* p = in.take(bits / 8);
            if (!p)
                return kImageReadError;
            e[0] = p[0];
            e[1] = p[1];
            e[2] = p[2];
            if (bits == 32 && record.paletteEntrySize == 4)
                e[3] = p[3];
        }
    }
    // Entries of other sizes leave the palette black; the pixels still start
    // after the whole colour map.
    return in.seek(start + entryBytes * h.colourMapLength) ? kImageNoError : kImageReadError;
}

// Fills packed (P x height bytes) from run-length packets.
int readRunLength(ByteReader& in, std::vector<std::uint8_t>& packed, unsigned filePixel, unsigned pixel)
{
    std::size_t filled = 0;
    while (filled < packed.size()) {
        std::uint8_t h = 0;
        if (!in.u8(h))
            return kImageReadError;
        const std::size_t count = (h & 0x7F) + 1u;
        if (count * pixel > packed.size() - filled)
            return kImageUnsupportedOption;
        if (h & 0x80) {
            const std::uint8_t* value = in.take(filePixel);
            if (!value)
                return kImageReadError;
            for (std::size_t k = 0; k < count; ++k, filled += pixel)
                std::memcpy(packed.data() + filled, value, pixel);
        } else {
            for (std::size_t k = 0; k < count; ++k, filled += pixel) {
                const std::uint8_t* value = in.take(filePixel);
                if (!value)
                    return kImageReadError;
                std::memcpy(packed.data() + filled, value, pixel);
            }
        }
    }
    return kImageNoError;
}

int readRaw(ByteReader& in, std::vector<std::uint8_t>& packed, unsigned filePixel, unsigned pixel)
{
    if (filePixel == pixel)
        return in.read(packed.data(), packed.size()) ? kImageNoError : kImageReadError;
    for (std::size_t filled = 0; filled < packed.size(); filled += pixel) {
        const std::uint8_t* value = in.take(filePixel);
        if (!value)
            return kImageReadError;
        std::memcpy(packed.data() + filled, value, pixel);
    }
    return kImageNoError;
}

void placeRows(const std::vector<std::uint8_t>& packed, std::size_t rowSize, unsigned pixel, std::uint8_t descriptor,
               ImageRecord& record)
{
    for (std::uint32_t j = 0; j < record.height; ++j) {
        const std::uint8_t* src = packed.data() + j * rowSize;
        std::uint8_t* dst = record.row((descriptor & kDescriptorTopDown) ? record.height - 1 - j : j);
        if (!(descriptor & kDescriptorRightToLeft)) {
            std::memcpy(dst, src, rowSize);
            continue;
        }
        for (std::uint32_t k = 0; k < record.width; ++k)
            std::memcpy(dst + (record.width - 1 - k) * pixel, src + k * pixel, pixel);
    }
}

int loadTga(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    TgaHeader h;
    if (const int code = readHeader(in, h))
        return code;
    const bool alpha = h.pixelDepth == 32 && (h.descriptor & kDescriptorAlpha);
    if (!in.skip(h.idLength))
        return kImageReadError;

    unsigned depth = h.pixelDepth == 15 ? 16 : h.pixelDepth;
    if (depth == 32 && !alpha)
        depth = 24;
    const unsigned pixel = depth / 8;
    const unsigned filePixel = h.pixelDepth == 32 ? 4 : pixel;
    record.width = h.width;
    record.height = h.height;
    record.bitsPerPixel = static_cast<std::uint8_t>(depth);
    record.paletteSize = h.colourMapType == 1 ? h.colourMapLength : 0;
    record.transparentIndex = -1;

    // Refuse sizes the rest of the file cannot hold before allocating: raw
    // pixels take their full size, a run-length packet at most 128 pixels.
    const std::uint64_t pixels = std::uint64_t{h.width} * h.height;
    const bool runLength = h.imageType > 3;
    const std::uint64_t leastBytes = runLength ? (pixels + 127) / 128 * (1 + filePixel) : pixels * filePixel;
    if (leastBytes > in.remaining())
        return kImageReadError;
    if (const int code = AllocateImageRecord(record))
        return code;
    if (const int code = readPalette(in, h, record))
        return code;

    const std::size_t rowSize = static_cast<std::size_t>(imageRowStride(record.width, depth, false));
    std::vector<std::uint8_t> packed;
    try {
        packed.assign(rowSize * record.height, 0);
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    const int code = runLength ? readRunLength(in, packed, filePixel, pixel) : readRaw(in, packed, filePixel, pixel);
    if (code != kImageNoError)
        return code;
    placeRows(packed, rowSize, pixel, h.descriptor, record);
    return kImageNoError;
}

}  // namespace

int LoadTgaFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadTga);
}

int LoadTgaBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record)
{
    return loadImageBytes(bytes, record, loadTga);
}

namespace {

// One byte per pixel, rows top first: the indices, or for a grayscale file the
// gray levels the palette gives them, so a palette other than the identity ramp
// still writes the picture that is shown.
int indexRows(const ImageRecord& record, bool gray, std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> indices;
    if (const int code = ExpandIndicesTo8Bit(record, indices))
        return code;
    try {
        out.resize(indices.size());
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    for (std::uint32_t y = 0; y < record.height; ++y) {
        const std::uint8_t* src = indices.data() + std::size_t{y} * record.width;
        std::uint8_t* dst = out.data() + std::size_t{record.height - 1 - y} * record.width;
        for (std::uint32_t x = 0; x < record.width; ++x)
            dst[x] = gray && src[x] < record.paletteSize ? record.entry(src[x])[0] : src[x];
    }
    return kImageNoError;
}

int saveTga(ImageFileWriter& out, const ImageRecord& record)
{
    if (!imageRecordIsValid(record))
        return kImageNullRecord;
    // The header holds 16-bit sizes; a larger picture cannot be described.
    if (record.width > 0xFFFF || record.height > 0xFFFF)
        return kImageBadSize;
    const unsigned depth = record.bitsPerPixel;
    // Indices without a palette can only mean gray levels.
    const bool gray = depth <= 8 && (record.paletteSize == 0 || (record.paletteSize > 16 && paletteIsGray(record)));
    const bool paletted = depth <= 8 && !gray;

    std::uint8_t header[kHeaderSize] = {};
    if (paletted) {
        header[1] = 1;
        header[2] = 1;
        putLe16(header + 5, record.paletteSize);
        header[7] = static_cast<std::uint8_t>(record.paletteEntrySize * 8);
    } else {
        header[2] = gray ? 3 : 2;
    }
    putLe16(header + 12, record.width);
    putLe16(header + 14, record.height);
    header[16] = static_cast<std::uint8_t>(depth < 8 ? 8 : depth);
    header[17] = depth == 32 ? 0x28 : 0x20;
    if (const int code = out.write(header, sizeof header))
        return code;

    if (paletted) {
        std::vector<std::uint8_t> map(record.palette.begin(),
                                      record.palette.begin() + std::size_t{record.paletteSize} * record.paletteEntrySize);
        if (record.paletteEntrySize == 3)  // R,G,B entries are stored B,G,R
            for (std::size_t i = 0; i < map.size(); i += 3)
                std::swap(map[i], map[i + 2]);
        if (const int code = out.write(map.data(), map.size()))
            return code;
    }
    if (depth <= 8) {
        std::vector<std::uint8_t> rows;
        if (const int code = indexRows(record, gray, rows))
            return code;
        if (const int code = out.write(rows.data(), rows.size()))
            return code;
    } else {
        const std::size_t rowBytes = std::size_t{depth} * record.width / 8;
        for (std::uint32_t y = record.height; y-- > 0;)
            if (const int code = out.write(record.row(y), rowBytes))
                return code;
    }
    return out.close();
}

}  // namespace

int SaveTgaFile(const std::string& fileName, const ImageRecord& record)
{
    return saveImageFile(fileName, [&](ImageFileWriter& out) { return saveTga(out, record); });
}

}  // namespace imagelib
