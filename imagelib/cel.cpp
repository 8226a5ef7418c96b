// Autodesk Animator cels (a 32-byte header, a 6-bit palette and raw pixels) and
// the first frame of Animator and Animator Pro flics, 8-bit paletted.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

namespace imagelib {

namespace {

constexpr std::uint16_t kCelMagic = 0x9119;
constexpr std::uint16_t kFlcMagic = 0xAF12;
constexpr std::uint16_t kFliMagic = 0xAF11;
constexpr std::size_t kCelHeaderSize = 32;
constexpr std::size_t kFlicHeaderSize = 128;
constexpr std::size_t kFrameHeaderSize = 16;
constexpr std::size_t kChunkHeaderSize = 6;
constexpr std::uint16_t kPrefixChunk = 0xF100;
constexpr std::uint16_t kFrameChunk = 0xF1FA;

enum SubChunk : std::uint16_t {
    kColour256 = 4,
    kDeltaFlc = 7,
    kColour64 = 11,
    kDeltaFli = 12,
    kBlack = 13,
    kByteRun = 15,
    kCopy = 16,
    kStamp = 18,
};

using Palette = std::array<std::uint8_t, 256 * 3>;  // R,G,B

void prepareRecord(ImageRecord& record, std::uint16_t width, std::uint16_t height)
{
    record.width = width;
    record.height = height;
    record.bitsPerPixel = 8;
    record.paletteSize = 256;
    record.paletteEntrySize = 4;
    record.transparentIndex = -1;
}

void applyPalette(const Palette& palette, ImageRecord& record)
{
    for (std::size_t i = 0; i < 256; ++i)
        setPaletteEntry(record, i, {palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]});
}

int loadAnimatorCel(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    std::uint16_t magic = 0, width = 0, height = 0;
    if (bytes.size() < kCelHeaderSize || !in.le16(magic) || !in.le16(width) || !in.le16(height))
        return kImageReadError;
    const std::uint8_t depth = bytes[10], compression = bytes[11];
    if (magic != kCelMagic || depth != 8 || compression != 0)
        return kImageUnsupportedOption;
    prepareRecord(record, width, height);
    const std::uint64_t pixelBytes = std::uint64_t{width} * height;
    if (width != 0 && height != 0 && kCelHeaderSize + 768 + pixelBytes > bytes.size())
        return kImageReadError;
    if (const int code = AllocateImageRecord(record))
        return code;
    in.seek(kCelHeaderSize);
    const std::uint8_t* p = in.take(768);
    const auto level = [p](std::size_t at) { return static_cast<std::uint8_t>(p[at] * 4); };  // 6-bit values
    for (std::size_t i = 0; i < 256; ++i)
        setPaletteEntry(record, i, {level(3 * i), level(3 * i + 1), level(3 * i + 2)});
    for (std::uint32_t y = 0; y < height; ++y)
        std::memcpy(record.row(record.height - 1 - y), in.take(width), width);
    return kImageNoError;
}

// What the first frame of a flic has given so far.
struct FlicState {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    Palette palette{};
    bool havePalette = false;
    bool havePixels = false;
};

// A sub-chunk's data may carry one pad byte that keeps chunks at even lengths.
bool usedWhole(const ByteReader& in)
{
    return in.remaining() <= 1;
}

int readColours(ByteReader in, bool sixBit, FlicState& s)
{
    std::uint16_t packets = 0;
    if (!in.le16(packets))
        return kImageCorruptFile;
    std::size_t index = 0;
    for (unsigned p = 0; p < packets; ++p) {
        std::uint8_t skip = 0, count = 0;
        if (!in.u8(skip) || !in.u8(count))
            return kImageCorruptFile;
        index += skip;
        const std::size_t n = count == 0 ? 256 : count;
        const std::uint8_t* rgb = in.take(3 * n);
        if (!rgb || index + n > 256)
            return kImageCorruptFile;
        for (std::size_t i = 0; i < 3 * n; ++i)
            s.palette[3 * index + i] = static_cast<std::uint8_t>(sixBit ? rgb[i] * 4 : rgb[i]);
        index += n;
    }
    if (!usedWhole(in))
        return kImageCorruptFile;
    s.havePalette = true;
    return kImageNoError;
}

// Byte-run rows: a packet count byte (not trusted), then signed counts until the
// row is full: n > 0 repeats the next byte n times, n <= 0 copies -n bytes.
int readByteRun(ByteReader in, ImageRecord& record)
{
    for (std::uint32_t y = 0; y < record.height; ++y) {
        std::uint8_t* dst = record.row(record.height - 1 - y);
        if (!in.skip(1))
            return kImageCorruptFile;
        std::uint32_t x = 0;
        while (x < record.width) {
            std::uint8_t b = 0, v = 0;
            if (!in.u8(b))
                return kImageCorruptFile;
            const int n = static_cast<std::int8_t>(b);
            if (n > 0) {
                if (x + n > record.width || !in.u8(v))
                    return kImageCorruptFile;
                std::memset(dst + x, v, static_cast<std::size_t>(n));
                x += n;
            } else {
                const auto len = static_cast<std::uint32_t>(-n);
                if (x + len > record.width || !in.read(dst + x, len))
                    return kImageCorruptFile;
                x += len;
            }
        }
    }
    return usedWhole(in) ? kImageNoError : kImageCorruptFile;
}

int readCopy(ByteReader in, ImageRecord& record)
{
    const std::uint64_t size = std::uint64_t{record.width} * record.height;
    if (in.remaining() != size && in.remaining() != size + 1)
        return kImageCorruptFile;
    for (std::uint32_t y = 0; y < record.height; ++y)
        std::memcpy(record.row(record.height - 1 - y), in.take(record.width), record.width);
    return kImageNoError;
}

// Least data a pixel chunk needs for the declared size, checked before the
// picture is allocated: byte-run rows take a count byte and two bytes per 127
// pixels, copies take every pixel.
bool pixelDataCanFill(std::uint16_t type, std::size_t size, const FlicState& s)
{
    const std::uint64_t rows = s.height, width = s.width;
    if (type == kByteRun)
        return rows * (1 + (width + 126) / 127 * 2) <= size;
    if (type == kCopy)
        return rows * width <= size;
    return true;
}

int readSubChunk(std::uint16_t type, ByteReader data, FlicState& s, ImageRecord& record)
{
    switch (type) {
    case kColour256:
    case kColour64:
        return readColours(data, type == kColour64, s);
    case kDeltaFlc:
    case kDeltaFli:
    case kStamp:
        return kImageNoError;
    case kBlack:
    case kByteRun:
    case kCopy: {
        if (!pixelDataCanFill(type, data.size(), s))
            return kImageCorruptFile;
        prepareRecord(record, s.width, s.height);
        if (const int code = AllocateImageRecord(record))
            return code;
        const int code = type == kBlack ? kImageNoError : type == kByteRun ? readByteRun(data, record)
                                                                            : readCopy(data, record);
        s.havePixels = code == kImageNoError;
        return code;
    }
    default:
        return kImageUnsupportedOption;
    }
}

int readFrame(ByteReader frame, FlicState& s, ImageRecord& record)
{
    std::uint16_t chunks = 0;
    if (!frame.le16(chunks) || !frame.skip(8))
        return kImageCorruptFile;
    for (unsigned i = 0; i < chunks && !(s.havePalette && s.havePixels); ++i) {
        std::uint32_t size = 0;
        std::uint16_t type = 0;
        if (!frame.le32(size) || !frame.le16(type))
            return kImageCorruptFile;
        const std::uint8_t* data = size >= kChunkHeaderSize ? frame.take(size - kChunkHeaderSize) : nullptr;
        if (!data)
            return kImageCorruptFile;
        if (const int code = readSubChunk(type, ByteReader(data, size - kChunkHeaderSize), s, record))
            return code;
    }
    return kImageNoError;
}

int loadAnimatorPro(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    std::uint32_t fileSize = 0;
    std::uint16_t magic = 0, frames = 0, depth = 0;
    FlicState s;
    if (bytes.size() < kFlicHeaderSize || !in.le32(fileSize) || !in.le16(magic) || !in.le16(frames) ||
        !in.le16(s.width) || !in.le16(s.height) || !in.le16(depth))
        return kImageReadError;
    if ((magic != kFlcMagic && magic != kFliMagic) || depth != 8)
        return kImageUnsupportedOption;
    prepareRecord(record, s.width, s.height);
    if (record.width == 0 || record.height == 0)
        return AllocateImageRecord(record);

    in.seek(kFlicHeaderSize);
    while (!s.havePalette && !s.havePixels) {
        const std::size_t start = in.position();
        std::uint32_t size = 0;
        std::uint16_t type = 0;
        if (!in.le32(size) || !in.le16(type))
            return kImageReadError;
        if (size < kFrameHeaderSize)
            return kImageCorruptFile;
        if (!in.seek(std::uint64_t{start} + size))
            return kImageReadError;
        if (type == kFrameChunk) {
            ByteReader frame(bytes.data() + start + kChunkHeaderSize, size - kChunkHeaderSize);
            if (const int code = readFrame(frame, s, record))
                return code;
        }
        // The prefix chunk and chunks of other kinds hold no picture.
    }
    if (!s.havePixels) {
        prepareRecord(record, s.width, s.height);
        if (const int code = AllocateImageRecord(record))
            return code;
    }
    applyPalette(s.palette, record);
    return kImageNoError;
}

int loadCel(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    std::uint16_t first = 0, second = 0, third = 0;
    if (!in.le16(first))
        return kImageReadError;
    if (first == kCelMagic)
        return loadAnimatorCel(bytes, record);
    if (!in.le16(second) || !in.le16(third))
        return kImageReadError;
    if (third == kFlcMagic || third == kFliMagic)
        return loadAnimatorPro(bytes, record);
    return kImageUnsupportedOption;
}

}  // namespace

int LoadCelFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadCel);
}

int LoadCelBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record)
{
    return runImageLoad(record, [&](ImageRecord& r) { return loadCel(bytes, r); });
}

}  // namespace imagelib
