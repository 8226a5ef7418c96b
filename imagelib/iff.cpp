// IFF pictures. "ILBM" forms store interleaved bitplanes: each picture row is one
// row per plane (each a whole number of 16-bit words), then a mask row when the
// masking is 1. "PBM " forms, and ILBM files written by some PC programs, store
// one byte per pixel instead. Bodies are raw or ByteRun1 compressed, each plane
// row packed on its own. The result is always an 8-bit paletted record.
#include <algorithm>
#include <cstring>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

namespace imagelib {

namespace {

constexpr std::uint8_t kMaskPlane = 1;
constexpr std::uint32_t kHam = 0x800;
constexpr std::uint32_t kExtraHalfBrite = 0x80;

struct BitmapHeader {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t planes = 0;
    std::uint8_t masking = 0;
    std::uint8_t compression = 0;
    std::uint16_t transparentColour = 0;
};

struct IffState {
    bool chunky = false;            // a "PBM " form
    bool haveHeader = false;
    bool haveBody = false;
    BitmapHeader header;
    std::vector<std::uint8_t> colours;  // R,G,B triples, at most 256
    std::uint32_t viewModes = 0;
};

bool readId(ByteReader& in, char id[4])
{
    return in.read(id, 4);
}

bool isPrintableId(const char id[4])
{
    return std::all_of(id, id + 4, [](char c) { return c >= 0x20 && c <= 0x7E; });
}

int parseHeader(const std::uint8_t* p, std::uint32_t size, IffState& s)
{
    if (size < 20)
        return kImageCorruptFile;
    BitmapHeader& h = s.header;
    h.width = static_cast<std::uint16_t>(p[0] << 8 | p[1]);
    h.height = static_cast<std::uint16_t>(p[2] << 8 | p[3]);
    h.planes = p[8];
    h.masking = p[9];
    h.compression = p[10];
    h.transparentColour = static_cast<std::uint16_t>(p[12] << 8 | p[13]);
    const bool planesOk = s.chunky ? h.planes == 8 : h.planes >= 1 && h.planes <= 8;
    if (!planesOk || h.compression > 1)
        return kImageUnsupportedOption;
    s.haveHeader = true;
    return kImageNoError;
}

// ByteRun1: n >= 0 copies n + 1 bytes, which must fit in the row; n < 0 repeats
// the next byte 1 - n times, cut at the end of the row; -128 is a no-op.
bool unpackRow(ByteReader& in, std::uint8_t* out, std::size_t size)
{
    std::size_t produced = 0;
    while (produced < size) {
        std::uint8_t b = 0, v = 0;
        if (!in.u8(b))
            return false;
        const int n = static_cast<std::int8_t>(b);
        if (n >= 0) {
            if (produced + n + 1 > size || !in.read(out + produced, std::size_t(n) + 1))
                return false;
            produced += std::size_t(n) + 1;
        } else if (n != -128) {
            if (!in.u8(v))
                return false;
            const std::size_t len = std::min<std::size_t>(std::size_t(1 - n), size - produced);
            std::memset(out + produced, v, len);
            produced += len;
        }
    }
    return true;
}

bool readRow(ByteReader& in, bool compressed, std::uint8_t* out, std::size_t size)
{
    return compressed ? unpackRow(in, out, size) : in.read(out, size);
}

enum class Fit { Exact, Loose, None };

// Bitplanes into one byte per pixel, rows from the top. Loose: the body has bytes
// left over.
Fit decodePlanar(ByteReader in, const BitmapHeader& h, ImageRecord& record)
{
    const std::size_t planeRow = (std::size_t{h.width} + 15) / 16 * 2;
    const unsigned rowPlanes = h.planes + (h.masking == kMaskPlane ? 1 : 0);
    std::vector<std::uint8_t> line(planeRow);
    for (std::uint32_t y = 0; y < h.height; ++y) {
        std::uint8_t* dst = record.row(record.height - 1 - y);
        std::memset(dst, 0, h.width);
        for (unsigned p = 0; p < rowPlanes; ++p) {
            if (!readRow(in, h.compression == 1, line.data(), planeRow))
                return Fit::None;
            if (p >= h.planes)
                continue;  // the mask plane
            for (std::size_t x = 0; x < h.width; ++x)
                dst[x] |= static_cast<std::uint8_t>(((line[x / 8] >> (7 - x % 8)) & 1u) << p);
        }
    }
    return in.remaining() == 0 ? Fit::Exact : Fit::Loose;
}

// One byte per pixel, rows of rowSize bytes (the width, or the width rounded up
// to even in PBM files).
Fit decodeChunky(ByteReader in, const BitmapHeader& h, std::size_t rowSize, std::vector<std::uint8_t>& out)
{
    std::vector<std::uint8_t> line(rowSize);
    for (std::uint32_t y = 0; y < h.height; ++y) {
        if (!readRow(in, h.compression == 1, line.data(), rowSize))
            return Fit::None;
        std::memcpy(out.data() + std::size_t{y} * h.width, line.data(), h.width);
    }
    return in.remaining() == 0 ? Fit::Exact : Fit::Loose;
}

void copyChunky(const std::vector<std::uint8_t>& pixels, ImageRecord& record)
{
    for (std::uint32_t y = 0; y < record.height; ++y)
        std::memcpy(record.row(record.height - 1 - y), pixels.data() + std::size_t{y} * record.width, record.width);
}

int setPalette(const IffState& s, ImageRecord& record)
{
    const BitmapHeader& h = s.header;
    std::vector<std::uint8_t> colours = s.colours;
    if (colours.empty()) {  // no CMAP: gray levels over the planes' range
        const unsigned count = 1u << h.planes;
        for (unsigned i = 0; i < count; ++i)
            colours.insert(colours.end(), 3, static_cast<std::uint8_t>(i * 255 / (count - 1)));
    }
    if ((s.viewModes & kExtraHalfBrite) && colours.size() <= 32 * 3) {
        const std::size_t base = colours.size();
        colours.resize(2 * base);
        for (std::size_t i = 0; i < base; ++i)
            colours[base + i] = colours[i] / 2;
    }
    record.width = h.width;
    record.height = h.height;
    record.bitsPerPixel = 8;
    record.paletteSize = static_cast<std::uint16_t>(colours.size() / 3);
    record.paletteEntrySize = 4;
    // A transparent colour (masking 2) is not marked in the record: the bitmap has
    // no transparent palette entries, and marking it would replace the entry's own
    // colour with the background on conversion.
    record.transparentIndex = -1;
    if (const int code = AllocateImageRecord(record))
        return code;
    for (std::size_t i = 0; i < record.paletteSize; ++i)
        setPaletteEntry(record, i, {colours[3 * i], colours[3 * i + 1], colours[3 * i + 2]});
    return kImageNoError;
}

// Least body a picture needs: every row of every plane is there raw, or as
// ByteRun1 at two bytes per 128.
bool bodyCanHold(std::size_t size, const BitmapHeader& h, std::uint64_t rowSize, unsigned rowsPerLine)
{
    const std::uint64_t perRow = h.compression == 1 ? (rowSize + 127) / 128 * 2 : rowSize;
    return perRow * rowsPerLine * h.height <= size;
}

int decodeBody(const std::uint8_t* data, std::size_t size, const IffState& s, ImageRecord& record)
{
    const BitmapHeader& h = s.header;
    if (!s.haveHeader)
        return kImageCorruptFile;
    if (s.viewModes & kHam)
        return kImageUnsupportedOption;
    const std::uint64_t planeRow = (std::uint64_t{h.width} + 15) / 16 * 2;
    const unsigned rowPlanes = h.planes + (h.masking == kMaskPlane ? 1 : 0);
    const std::size_t chunkyRow = s.chunky ? (std::size_t{h.width} + 1) / 2 * 2 : h.width;
    const bool planarFits = !s.chunky && bodyCanHold(size, h, planeRow, rowPlanes);
    const bool chunkyFits = (s.chunky || (h.planes == 8 && h.compression == 1)) && bodyCanHold(size, h, chunkyRow, 1);
    if (!planarFits && !chunkyFits)
        return kImageCorruptFile;
    if (const int code = setPalette(s, record))
        return code;

    const ByteReader body(data, size);
    const Fit planar = planarFits ? decodePlanar(body, h, record) : Fit::None;
    if (planar == Fit::Exact)
        return kImageNoError;
    // Eight-plane ILBM bodies that do not decode as bitplanes may hold one byte
    // per pixel, as some PC programs wrote them; such bodies fill the chunk exactly.
    if (chunkyFits) {
        std::vector<std::uint8_t> pixels(std::size_t{h.width} * h.height);
        const Fit chunky = decodeChunky(body, h, chunkyRow, pixels);
        if (chunky == Fit::Exact || (s.chunky && chunky == Fit::Loose)) {
            copyChunky(pixels, record);
            return kImageNoError;
        }
    }
    // The record still holds the bitplanes: a body with bytes to spare is kept.
    return planar == Fit::Loose ? kImageNoError : kImageCorruptFile;
}

int handleChunk(const char id[4], const std::uint8_t* data, std::uint32_t size, IffState& s, ImageRecord& record)
{
    if (std::memcmp(id, "BMHD", 4) == 0)
        return parseHeader(data, size, s);
    if (std::memcmp(id, "CMAP", 4) == 0) {
        s.colours.assign(data, data + std::min<std::uint32_t>(size / 3, 256) * 3);
        return kImageNoError;
    }
    if (std::memcmp(id, "CAMG", 4) == 0) {
        if (size >= 4)
            s.viewModes = std::uint32_t{data[0]} << 24 | std::uint32_t{data[1]} << 16 | data[2] << 8 | data[3];
        return kImageNoError;
    }
    if (std::memcmp(id, "BODY", 4) == 0) {
        s.haveBody = true;
        return decodeBody(data, size, s, record);
    }
    // Annotations, cycling ranges, brush hot spots, thumbnails and the like do not
    // change the picture; a name that is not text means the framing is lost.
    return isPrintableId(id) ? kImageNoError : kImageCorruptFile;
}

int loadIff(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    ByteReader in(bytes);
    char form[4], type[4];
    std::uint32_t formSize = 0;
    if (!readId(in, form) || !in.be32(formSize) || !readId(in, type))
        return kImageReadError;
    IffState s;
    s.chunky = std::memcmp(type, "PBM ", 4) == 0;
    if (std::memcmp(form, "FORM", 4) != 0 || (!s.chunky && std::memcmp(type, "ILBM", 4) != 0))
        return kImageCorruptFile;

    // A few stray bytes at the end of the form (a pad the size counts but the
    // writer left out) hold no chunk.
    const std::uint64_t formEnd = std::uint64_t{formSize} + 8;
    while (in.position() + 8 <= formEnd) {
        char id[4];
        std::uint32_t size = 0;
        if (!readId(in, id) || !in.be32(size))
            return kImageReadError;
        const std::uint8_t* data = in.take(size);
        if (!data)
            return kImageReadError;
        if (const int code = handleChunk(id, data, size, s, record))
            return code;
        if (size % 2 == 1 && in.position() < formEnd)
            in.skip(1);  // chunks are padded to an even length
    }
    return s.haveBody ? kImageNoError : kImageCorruptFile;
}

}  // namespace

int LoadIffFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadIff);
}

}  // namespace imagelib
