// ZSoft PCX pictures: one plane of 1, 4 or 8 bits, two to four one-bit planes
// (16-colour EGA files), three or four 8-bit planes (true colour), run-length or
// uncompressed. Each file row holds the planes one after the other, each
// bytes-per-line long.
#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

namespace imagelib {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kPaletteTrailer = 769;  // the byte 12 and 256 R,G,B triples
constexpr std::uint8_t kPaletteMarker = 12;

struct PcxHeader {
    std::uint8_t manufacturer = 0;
    std::uint8_t version = 0;
    std::uint8_t encoding = 0;
    std::uint8_t bitsPerPlane = 0;
    std::uint16_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    const std::uint8_t* palette16 = nullptr;  // 16 R,G,B triples
    std::uint8_t planes = 0;
    std::uint16_t bytesPerLine = 0;
    std::uint16_t paletteInfo = 0;
};

PcxHeader parseHeader(const std::uint8_t* h)
{
    auto le16 = [h](std::size_t at) { return static_cast<std::uint16_t>(h[at] | (h[at + 1] << 8)); };
    PcxHeader p;
    p.manufacturer = h[0];
    p.version = h[1];
    p.encoding = h[2];
    p.bitsPerPlane = h[3];
    p.xMin = le16(4);
    p.yMin = le16(6);
    p.xMax = le16(8);
    p.yMax = le16(10);
    p.palette16 = h + 16;
    p.planes = h[65];
    p.bytesPerLine = le16(66);
    p.paletteInfo = le16(68);
    return p;
}

// Record depth for a plane layout; 0 when the layout is not supported (a file
// of no planes has no pixels to read). A single plane keeps its own depth
// (2 bits then fails in the record allocation).
unsigned recordDepth(const PcxHeader& h)
{
    if (h.planes == 1)
        return h.bitsPerPlane;
    if (h.bitsPerPlane == 1 && h.planes >= 2 && h.planes <= 4)
        return 4;
    if (h.bitsPerPlane == 8 && (h.planes == 3 || h.planes == 4))
        return 8u * h.planes;
    return 0;
}

int readPalette(const std::vector<std::uint8_t>& bytes, const PcxHeader& h, ImageRecord& record)
{
    if (record.bitsPerPixel == 8) {
        const bool present = bytes.size() >= kHeaderSize + kPaletteTrailer &&
                             bytes[bytes.size() - kPaletteTrailer] == kPaletteMarker;
        if (h.version == 5 && bytes.size() < kHeaderSize + kPaletteTrailer)
            return kImageReadError;
        if (h.version == 5 && !present)
            return kImageUnsupportedOption;
        // Older versions have no defined 256-colour palette: take a trailing one
        // when there is one, else show the indices as gray levels.
        const std::uint8_t* p = bytes.data() + bytes.size() - kPaletteTrailer + 1;
        for (std::size_t i = 0; i < 256; ++i) {
            const auto level = static_cast<std::uint8_t>(i);
            const RgbColour gray{level, level, level};
            setPaletteEntry(record, i, present ? RgbColour{p[3 * i], p[3 * i + 1], p[3 * i + 2]} : gray);
        }
        return kImageNoError;
    }
    if (record.bitsPerPixel > 8)
        return kImageNoError;
    const std::uint8_t* p = h.palette16;
    // Many monochrome writers leave the header palette empty; both entries the
    // same colour would show a blank picture, so such files are black and white.
    const bool blackAndWhite =
        record.bitsPerPixel == 1 && (h.paletteInfo == 0 || std::memcmp(p, p + 3, 3) == 0);
    if (blackAndWhite) {
        setPaletteEntry(record, 0, {0, 0, 0});
        setPaletteEntry(record, 1, {255, 255, 255});
        return kImageNoError;
    }
    for (std::size_t i = 0; i < record.paletteSize && i < 16; ++i)
        setPaletteEntry(record, i, {p[3 * i], p[3 * i + 1], p[3 * i + 2]});
    return kImageNoError;
}

// Expands run-length data; a run may continue into the next file row, as some
// writers let it.
class PcxDecoder {
public:
    PcxDecoder(ByteReader& in, bool compressed) : in_(in), compressed_(compressed) {}

    bool scanline(std::uint8_t* out, std::size_t size)
    {
        if (!compressed_)
            return in_.read(out, size);
        std::size_t produced = 0;
        while (produced < size) {
            if (runLeft_ > 0) {
                const std::size_t n = std::min<std::size_t>(runLeft_, size - produced);
                std::memset(out + produced, runValue_, n);
                produced += n;
                runLeft_ -= n;
                continue;
            }
            std::uint8_t b = 0;
            if (!in_.u8(b))
                return false;
            if ((b & 0xC0) == 0xC0) {
                runLeft_ = b & 0x3F;
                if (!in_.u8(runValue_))
                    return false;
            } else {
                out[produced++] = b;
            }
        }
        return true;
    }

private:
    ByteReader& in_;
    bool compressed_;
    std::size_t runLeft_ = 0;
    std::uint8_t runValue_ = 0;
};

// One decoded file row (planes x bytes-per-line bytes) into a record row.
void storeRow(const std::uint8_t* line, const PcxHeader& h, ImageRecord& record, std::uint8_t* dst)
{
    const std::size_t bpl = h.bytesPerLine;
    if (h.planes == 1) {
        std::memcpy(dst, line, static_cast<std::size_t>(imageRowStride(record.width, record.bitsPerPixel, false)));
    } else if (h.bitsPerPlane == 1) {
        for (std::uint32_t x = 0; x < record.width; ++x) {
            unsigned index = 0;
            for (unsigned p = 0; p < h.planes; ++p)
                index |= ((line[p * bpl + x / 8] >> (7 - x % 8)) & 1u) << p;
            dst[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
        }
    } else {
        // Planes red, green, blue (, alpha) into B,G,R(,A) pixels.
        static constexpr std::array<unsigned, 4> kOffset = {2, 1, 0, 3};
        for (unsigned p = 0; p < h.planes; ++p)
            for (std::uint32_t x = 0; x < record.width; ++x)
                dst[x * h.planes + kOffset[p]] = line[p * bpl + x];
    }
}

int loadPcx(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    if (bytes.size() < kHeaderSize)
        return kImageReadError;
    const PcxHeader h = parseHeader(bytes.data());
    if (h.manufacturer != 10)
        return kImageUnsupportedOption;
    const unsigned depth = recordDepth(h);
    if (depth == 0 || h.encoding > 1)
        return kImageUnsupportedOption;
    if (h.xMax < h.xMin || h.yMax < h.yMin)
        return kImageBadSize;

    record.width = std::uint32_t{h.xMax} - h.xMin + 1;
    record.height = std::uint32_t{h.yMax} - h.yMin + 1;
    record.bitsPerPixel = static_cast<std::uint8_t>(depth);
    record.paletteSize = 0;
    record.paletteEntrySize = 4;
    record.transparentIndex = -1;

    // The rows must hold the picture's width, and the file the rows (a run of two
    // bytes gives at most 63), before anything is allocated for them.
    const std::uint64_t lineSize = std::uint64_t{h.planes} * h.bytesPerLine;
    if (h.bytesPerLine < imageRowStride(record.width, h.bitsPerPlane, false))
        return kImageCorruptFile;
    std::size_t dataEnd = bytes.size();
    if (depth == 8 && h.version == 5 && dataEnd >= kHeaderSize + kPaletteTrailer)
        dataEnd -= kPaletteTrailer;  // the pixel data stops at the palette
    const std::uint64_t available = dataEnd - kHeaderSize;
    if (lineSize * record.height > (h.encoding == 1 ? available * 32 : available))
        return kImageReadError;

    if (const int code = AllocateImageRecord(record))
        return code;
    if (const int code = readPalette(bytes, h, record))
        return code;

    ByteReader in(bytes.data(), dataEnd);
    in.seek(kHeaderSize);
    PcxDecoder decoder(in, h.encoding == 1);
    std::vector<std::uint8_t> line(static_cast<std::size_t>(lineSize));
    for (std::uint32_t y = 0; y < record.height; ++y) {
        if (!decoder.scanline(line.data(), line.size()))
            return kImageReadError;
        storeRow(line.data(), h, record, record.row(record.height - 1 - y));
    }
    return kImageNoError;
}

}  // namespace

int LoadPcxFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadPcx);
}

int LoadPcxBytes(const std::vector<std::uint8_t>& bytes, ImageRecord* record)
{
    return loadImageBytes(bytes, record, loadPcx);
}

}  // namespace imagelib
