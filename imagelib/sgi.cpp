// Silicon Graphics image files (.rgb): one plane per channel, bottom row first,
// verbatim or run-length, one byte per channel. Written verbatim.
#include <algorithm>
#include <cstring>
#include <new>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

namespace imagelib {

namespace {

constexpr std::size_t kHeaderSize = 512;
constexpr std::uint16_t kMagic = 474;
constexpr std::size_t kNameOffset = 24;
constexpr std::size_t kNameSize = 80;

struct SgiHeader {
    std::uint8_t storage = 0;
    std::uint8_t bytesPerChannel = 0;
    std::uint16_t dimension = 0;
    std::uint16_t xSize = 0;
    std::uint16_t ySize = 0;
    std::uint16_t zSize = 0;
    std::int32_t colourMap = 0;
};

int readHeader(ByteReader& in, SgiHeader& h)
{
    const std::uint8_t* p = in.take(kHeaderSize);
    if (!p)
        return kImageReadError;
    ByteReader fields(p, kHeaderSize);
    std::uint16_t magic = 0;
    fields.be16(magic);
    fields.u8(h.storage);
    fields.u8(h.bytesPerChannel);
    fields.be16(h.dimension);
    fields.be16(h.xSize);
    fields.be16(h.ySize);
    fields.be16(h.zSize);
    std::uint32_t colourMap = 0;
    fields.seek(104);
    fields.be32(colourMap);
    h.colourMap = static_cast<std::int32_t>(colourMap);
    if (magic != kMagic || h.colourMap > 0)
        return kImageUnsupportedOption;
    // Only one byte per channel is read; two-byte (and invalid) widths are refused.
    if (h.bytesPerChannel != 1)
        return kImageUnsupportedOption;
    return kImageNoError;
}

// Byte of the record pixel that channel c of a file with the given channels
// fills. Two channels are gray and alpha, read into a 32-bit B,G,R,A pixel.
unsigned channelByte(unsigned c, unsigned channels)
{
    if (channels == 4 || channels == 2)
        return c + 1 == channels ? 3 : 2 - c;
    return channels - 1 - c;
}

// Writes value into the record pixel bytes of channel c (gray of a two-channel
// file goes to blue, green and red).
inline void putChannel(std::uint8_t* pixel, unsigned c, unsigned channels, std::uint8_t value)
{
    if (channels == 2 && c == 0) {
        pixel[0] = pixel[1] = pixel[2] = value;
        return;
    }
    pixel[channelByte(c, channels)] = value;
}

int readVerbatim(ByteReader& in, unsigned channels, ImageRecord& record)
{
    const std::size_t plane = std::size_t{record.width} * record.height;
    const std::uint8_t* data = in.take(plane * channels);
    if (!data)
        return kImageReadError;
    const unsigned pixel = record.bitsPerPixel / 8;
    for (unsigned c = 0; c < channels; ++c)
        for (std::uint32_t y = 0; y < record.height; ++y) {
            const std::uint8_t* src = data + c * plane + std::size_t{y} * record.width;
            std::uint8_t* dst = record.row(y);
            for (std::uint32_t x = 0; x < record.width; ++x)
                putChannel(dst + x * pixel, c, channels, src[x]);
        }
    return kImageNoError;
}

// Decodes one run-length row into channel c of record row dst, or only checks it
// when dst is null. Codes 1 (wrong length or value count) and 8 (no final 0).
int decodeRow(const std::uint8_t* row, std::uint32_t length, std::uint32_t width, unsigned c, unsigned channels,
              unsigned pixel, std::uint8_t* dst)
{
    if (length == 0)
        return kImageCorrupted;
    const std::uint32_t body = length - 1;
    std::uint32_t pos = 0;
    std::uint32_t produced = 0;
    while (pos < body) {
        const std::uint8_t n = row[pos++];
        const std::uint32_t count = n & 0x7F;
        const bool literal = (n & 0x80) != 0;
        if (count > width - produced || pos + (literal ? count : 1) > body)
            return kImageCorrupted;
        for (std::uint32_t k = 0; k < count; ++k, ++produced)
            if (dst)
                putChannel(dst + std::size_t{produced} * pixel, c, channels, row[literal ? pos + k : pos]);
        pos += literal ? count : 1;
    }
    if (produced != width)
        return kImageCorrupted;
    return row[body] == 0 ? kImageNoError : kImageUnsupportedOption;
}

int readRunLength(const std::vector<std::uint8_t>& bytes, ByteReader& in, unsigned channels, ImageRecord* record,
                  std::uint32_t width, std::uint32_t height)
{
    const std::size_t entries = std::size_t{height} * channels;
    in.seek(kHeaderSize);
    const std::uint8_t* starts = in.take(entries * 4);
    const std::uint8_t* lengths = in.take(entries * 4);
    if (!starts || !lengths)
        return kImageReadError;
    const unsigned pixel = record ? record->bitsPerPixel / 8 : 0;
    for (std::uint32_t y = 0; y < height; ++y)
        for (unsigned c = 0; c < channels; ++c) {
            const std::size_t i = std::size_t{c} * height + y;
            std::uint32_t start = 0, length = 0;
            ByteReader(starts + 4 * i, 4).be32(start);
            ByteReader(lengths + 4 * i, 4).be32(length);
            if (std::uint64_t{start} + length > bytes.size())
                return kImageReadError;
            std::uint8_t* dst = record ? record->row(y) : nullptr;
            if (const int code = decodeRow(bytes.data() + start, length, width, c, channels, pixel, dst))
                return code;
        }
    return kImageNoError;
}

int loadSgi(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    SgiHeader h;
    if (const int code = readHeader(in, h))
        return code;
    const unsigned channels = h.zSize;
    const std::uint32_t width = h.xSize;
    const std::uint32_t height = h.dimension == 1 ? 1 : h.ySize;
    const unsigned depth = channels == 2 ? 32 : channels * 8;
    if (width == 0 || height == 0)
        return kImageBadSize;
    if (channels == 0 || channels > 4)
        return kImageBadDepth;

    // Check the whole file before allocating: verbatim planes must be present,
    // and every run-length row must decode, so no size claimed by a small file
    // is allocated.
    if (h.storage == 0) {
        if (std::uint64_t{width} * height * channels > in.remaining())
            return kImageReadError;
    } else if (const int code = readRunLength(bytes, in, channels, nullptr, width, height)) {
        return code;
    }
    record.width = width;
    record.height = height;
    record.bitsPerPixel = static_cast<std::uint8_t>(depth);
    record.paletteSize = 0;
    record.transparentIndex = -1;
    if (const int code = AllocateImageRecord(record))
        return code;
    const int code = h.storage == 0 ? readVerbatim(in, channels, record)
                                    : readRunLength(bytes, in, channels, &record, width, height);
    if (code != kImageNoError)
        return code;
    if (depth == 8)
        setIdentityGrayPalette(record);
    return kImageNoError;
}

}  // namespace

int LoadSgiFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadSgi);
}

int LoadSgiBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record)
{
    return loadImageBytes(bytes, record, loadSgi);
}

namespace {

// Colour of index i: gray level i without a palette, black past its end.
RgbColour paletteColour(const ImageRecord& record, std::size_t i)
{
    if (record.paletteSize == 0) {
        const auto level = static_cast<std::uint8_t>(i);
        return {level, level, level};
    }
    return i < record.paletteSize ? paletteEntryColour(record, i) : RgbColour{};
}

// The planes of the record, channel after channel, rows bottom first.
int buildPlanes(const ImageRecord& record, bool gray, unsigned channels, std::vector<std::uint8_t>& planes)
{
    const std::size_t plane = std::size_t{record.width} * record.height;
    try {
        planes.assign(plane * channels, 0);
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    if (record.bitsPerPixel <= 8) {
        std::vector<std::uint8_t> indices;
        if (const int code = ExpandIndicesTo8Bit(record, indices))
            return code;
        for (std::size_t k = 0; k < plane; ++k) {
            const RgbColour colour = paletteColour(record, indices[k]);
            const std::uint8_t rgb[3] = {colour.red, colour.green, colour.blue};
            for (unsigned c = 0; c < channels; ++c)
                planes[c * plane + k] = gray ? rgb[0] : rgb[c];
        }
        return kImageNoError;
    }
    const unsigned pixel = record.bitsPerPixel / 8;
    for (std::uint32_t y = 0; y < record.height; ++y) {
        const std::uint8_t* src = record.row(y);
        for (std::uint32_t x = 0; x < record.width; ++x, src += pixel) {
            const std::size_t k = std::size_t{y} * record.width + x;
            planes[k] = src[2];
            planes[plane + k] = src[1];
            planes[2 * plane + k] = src[0];
            if (channels == 4)
                planes[3 * plane + k] = src[3];
        }
    }
    return kImageNoError;
}

int saveSgi(ImageFileWriter& out, const std::string& fileName, const ImageRecord& original)
{
    if (!imageRecordIsValid(original))
        return kImageNullRecord;
    if (original.width > 0xFFFF || original.height > 0xFFFF)
        return kImageBadSize;
    // 5-5-5 pixels are widened to 24 bits first, as the other writers do.
    ImageRecord widened;
    const bool expand = original.bitsPerPixel == 16;
    if (expand) {
        if (const int code = widen555Copy(original, widened))
            return code;
    }
    const ImageRecord& record = expand ? widened : original;
    const bool paletted = record.bitsPerPixel <= 8;
    const bool gray = paletted && paletteIsGray(record);
    const unsigned channels = gray ? 1 : (paletted || record.bitsPerPixel < 32 ? 3 : 4);

    std::uint8_t header[kHeaderSize] = {};
    putBe16(header, kMagic);
    header[3] = 1;
    putBe16(header + 4, gray ? 2 : 3);
    putBe16(header + 6, record.width);
    putBe16(header + 8, record.height);
    putBe16(header + 10, channels);
    putBe32(header + 16, 255);
    std::memcpy(header + kNameOffset, fileName.data(), std::min(fileName.size(), kNameSize - 1));
    if (const int code = out.write(header, sizeof header))
        return code;

    std::vector<std::uint8_t> planes;
    if (const int code = buildPlanes(record, gray, channels, planes))
        return code;
    if (const int code = out.write(planes.data(), planes.size()))
        return code;
    return out.close();
}

}  // namespace

int SaveSgiFile(const std::string& fileName, const ImageRecord& record)
{
    return saveImageFile(fileName, [&](ImageFileWriter& out) { return saveSgi(out, fileName, record); });
}

}  // namespace imagelib
