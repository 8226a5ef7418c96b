// Photoshop documents: the merged composite image that follows the layers, in
// grayscale, duotone, indexed or RGB mode with 8 bits per channel, raw or
// PackBits run-length. Layers themselves are skipped.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

namespace imagelib {

namespace {

enum ColourMode : std::uint16_t {
    kBitmap = 0,
    kGrayscale = 1,
    kIndexed = 2,
    kRgb = 3,
    kCmyk = 4,
    kMultichannel = 7,
    kDuotone = 8,
    kLab = 9,
};

constexpr std::size_t kIndexedPaletteSize = 768;  // 256 reds, 256 greens, 256 blues

struct PsdHeader {
    std::uint8_t signature[4] = {};
    std::uint16_t version = 0;
    std::uint16_t channels = 0;
    std::uint32_t rows = 0;
    std::uint32_t columns = 0;
    std::uint16_t bits = 0;
    std::uint16_t mode = 0;
};

int readHeader(ByteReader& in, PsdHeader& h)
{
    if (!in.read(h.signature, 4) || !in.be16(h.version) || !in.skip(6) || !in.be16(h.channels) ||
        !in.be32(h.rows) || !in.be32(h.columns) || !in.be16(h.bits) || !in.be16(h.mode))
        return kImageReadError;
    if (std::memcmp(h.signature, "8BPS", 4) != 0 || h.version != 1)
        return kImageCorruptFile;
    if (h.channels > 4 || h.bits != 8)
        return kImageUnsupportedOption;
    if (h.mode != kGrayscale && h.mode != kIndexed && h.mode != kRgb && h.mode != kDuotone)
        return kImageUnsupportedOption;
    if (h.channels == 0)
        return kImageCorruptFile;
    // Colour needs its three planes, whatever the compression.
    if (h.mode == kRgb && h.channels < 3)
        return kImageUnsupportedOption;
    return kImageNoError;
}

// Byte position of channel k inside a pixel: red, green, blue into B,G,R and a
// fourth (alpha) channel after them; other modes keep only their first channel.
std::size_t channelOffset(unsigned k)
{
    return k < 3 ? 2 - k : 3;
}

// One channel value per pixel into record row `row` (counted from the top).
void placeRow(ImageRecord& record, std::uint32_t row, unsigned channel, const std::uint8_t* values)
{
    const std::size_t step = record.bitsPerPixel / 8;
    std::uint8_t* dst = record.row(record.height - 1 - row) + (step > 1 ? channelOffset(channel) : 0);
    for (std::uint32_t x = 0; x < record.width; ++x)
        dst[x * step] = values[x];
}

// PackBits: n <= 127 copies n + 1 bytes, n >= 129 repeats the next byte 257 - n
// times, 128 is a no-op. The row must take exactly its byte count and produce no
// more than the width.
int unpackRow(const std::uint8_t* src, std::size_t count, std::uint8_t* out, std::size_t width)
{
    std::size_t in = 0, produced = 0;
    while (in < count) {
        const std::uint8_t n = src[in++];
        if (n < 128) {
            const std::size_t len = std::size_t{n} + 1;
            if (in + len > count || produced + len > width)
                return kImageCorruptFile;
            std::memcpy(out + produced, src + in, len);
            in += len;
            produced += len;
        } else if (n > 128) {
            const std::size_t len = 257 - std::size_t{n};
            if (in >= count || produced + len > width)
                return kImageCorruptFile;
            std::memset(out + produced, src[in++], len);
            produced += len;
        }
    }
    return kImageNoError;
}

int readRunLength(ByteReader& in, const PsdHeader& h, unsigned usedChannels, ImageRecord& record)
{
    const std::uint64_t rowCount = std::uint64_t{h.channels} * h.rows;
    const std::uint8_t* table = in.take(rowCount * 2);
    if (!table)
        return kImageReadError;
    auto countOf = [table](std::uint64_t i) { return std::size_t{table[2 * i]} << 8 | table[2 * i + 1]; };
    std::uint64_t total = 0, used = 0;
    for (std::uint64_t i = 0; i < rowCount; ++i) {
        total += countOf(i);
        if (i < std::uint64_t{usedChannels} * h.rows)
            used += countOf(i);
    }
    if (total > in.remaining())
        return kImageReadError;
    // Every two bytes give at most 128 pixels: data that cannot fill the planes is
    // refused before the picture is allocated.
    if (std::uint64_t{usedChannels} * h.rows * h.columns > used * 64)
        return kImageCorruptFile;
    if (const int code = AllocateImageRecord(record))
        return code;
    std::vector<std::uint8_t> values(record.width);
    for (unsigned k = 0; k < usedChannels; ++k) {
        for (std::uint32_t y = 0; y < h.rows; ++y) {
            const std::size_t count = countOf(std::uint64_t{k} * h.rows + y);
            std::fill(values.begin(), values.end(), 0);
            if (const int code = unpackRow(in.take(count), count, values.data(), values.size()))
                return code;
            placeRow(record, y, k, values.data());
        }
    }
    return kImageNoError;
}

int readRaw(ByteReader& in, const PsdHeader& h, unsigned usedChannels, ImageRecord& record)
{
    const std::uint64_t planeSize = std::uint64_t{h.rows} * h.columns;
    if (planeSize * usedChannels > in.remaining())
        return kImageReadError;
    if (const int code = AllocateImageRecord(record))
        return code;
    for (unsigned k = 0; k < usedChannels; ++k) {
        const std::uint8_t* plane = in.take(planeSize);
        for (std::uint32_t y = 0; y < h.rows; ++y)
            placeRow(record, y, k, plane + std::size_t{y} * h.columns);
    }
    return kImageNoError;
}

void fillPalette(const PsdHeader& h, const std::uint8_t* colourData, ImageRecord& record)
{
    if (record.bitsPerPixel != 8)
        return;
    for (std::size_t i = 0; i < 256; ++i) {
        if (h.mode == kIndexed && colourData) {
            setPaletteEntry(record, i, {colourData[i], colourData[256 + i], colourData[512 + i]});
        } else if (h.mode != kIndexed) {
            const auto v = static_cast<std::uint8_t>(i);
            setPaletteEntry(record, i, {v, v, v});
        }
    }
}

int loadPsd(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    PsdHeader h;
    if (const int code = readHeader(in, h))
        return code;

    std::uint32_t length = 0;
    if (!in.be32(length))
        return kImageReadError;
    const std::uint8_t* colourData = in.take(length);
    if (!colourData)
        return kImageReadError;
    if (length != 0 && h.mode != kIndexed && h.mode != kDuotone)
        return kImageUnsupportedOption;
    if (h.mode == kIndexed && length != 0 && length < kIndexedPaletteSize)
        return kImageCorruptFile;
    if (h.mode != kIndexed || length == 0)
        colourData = nullptr;

    for (int section = 0; section < 2; ++section) {  // image resources, layers and masks
        if (!in.be32(length) || !in.skip(length))
            return kImageReadError;
    }
    std::uint16_t compression = 0;
    if (!in.be16(compression))
        return kImageReadError;
    if (compression > 1)
        return kImageUnsupportedOption;

    record.width = h.columns;
    record.height = h.rows;
    record.bitsPerPixel = static_cast<std::uint8_t>(h.mode == kRgb ? 8 * h.channels : 8);
    record.paletteSize = h.mode == kRgb ? 0 : 256;
    record.paletteEntrySize = 4;
    record.transparentIndex = -1;
    if (record.width == 0 || record.height == 0)
        return AllocateImageRecord(record);

    const unsigned usedChannels = h.mode == kRgb ? h.channels : 1;
    const int code = compression == 1 ? readRunLength(in, h, usedChannels, record)
                                      : readRaw(in, h, usedChannels, record);
    if (code == kImageNoError)
        fillPalette(h, colourData, record);
    return code;
}

}  // namespace

int LoadPsdFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadPsd);
}

int LoadPsdBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record)
{
    return loadImageBytes(bytes, record, loadPsd);
}

}  // namespace imagelib
