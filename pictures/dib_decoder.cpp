#include "pictures/dib_decoder.h"

#include <algorithm>
#include <array>

#include "pictures/decoder_support.h"

namespace pictures {

namespace {

enum Compression : std::uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kJpeg = 4,
    kPng = 5,
    kAlphaBitFields = 6,
};

struct Masks {
    std::array<std::uint32_t, 4> mask{};  // red, green, blue, alpha
};

struct Header {
    DibInfo info;
    std::uint32_t coloursUsed = 0;
    Masks masks;
    bool masksInHeader = false;
    std::size_t paletteEntrySize = 4;
};

Header readHeader(Bytes data, std::size_t at, bool icon, const std::string& format)
{
    ByteCursor in(data, format);
    in.seek(at);
    Header h;
    DibInfo& d = h.info;
    d.headerSize = in.le32();
    if (d.headerSize < 12 || (d.headerSize > 12 && d.headerSize < 16) || d.headerSize > 0x10000)
        failInvalidFormat(format);
    std::array<std::uint8_t, 124> f{};
    in.seek(at);
    const std::size_t have = std::min<std::size_t>(d.headerSize, f.size());
    std::memcpy(f.data(), in.take(have), have);
    const Bytes fb(f.data(), f.size());
    std::int64_t height = 0;
    if (d.headerSize == 12) {
        d.os2 = true;
        d.width = le16At(fb, 4);
        height = le16At(fb, 6);
        d.bitsPerPixel = le16At(fb, 10);
        h.paletteEntrySize = 3;
    } else {
        d.os2 = d.headerSize != 40 && d.headerSize != 52 && d.headerSize != 56 && d.headerSize < 108;
        d.width = static_cast<std::int32_t>(le32At(fb, 4));
        height = static_cast<std::int32_t>(le32At(fb, 8));
        d.bitsPerPixel = le16At(fb, 14);
        d.compression = le32At(fb, 16);
        d.xPelsPerMeter = static_cast<std::int32_t>(le32At(fb, 24));
        d.yPelsPerMeter = static_cast<std::int32_t>(le32At(fb, 28));
        h.coloursUsed = le32At(fb, 32);
        if (d.headerSize >= 52 && !d.os2) {
            h.masksInHeader = true;
            for (int i = 0; i < 3; ++i)
                h.masks.mask[i] = le32At(fb, 40 + 4 * i);
            if (d.headerSize >= 56)
                h.masks.mask[3] = le32At(fb, 52);
        }
    }
    if (d.width <= 0 || height == 0)
        failInvalidFormat(format);
    d.topDown = height < 0;
    d.height = d.topDown ? -height : height;
    if (icon)
        d.height /= 2;
    if (d.height == 0)
        failInvalidFormat(format);
    switch (d.compression) {
    case kRgb: d.compressionName = "none"; break;
    case kRle8: d.compressionName = "RLE8"; break;
    case kRle4: d.compressionName = "RLE4"; break;
    case kBitFields: d.compressionName = d.os2 ? "Huffman 1D" : "bit fields"; break;
    case kJpeg: d.compressionName = d.os2 ? "RLE24" : "JPEG"; break;
    case kPng: d.compressionName = "PNG"; break;
    case kAlphaBitFields: d.compressionName = "bit fields"; break;
    default: d.compressionName = "compression " + std::to_string(d.compression); break;
    }
    return h;
}

bool isRle(const DibInfo& d)
{
    return d.compression == kRle8 || d.compression == kRle4 || (d.os2 && d.compression == kJpeg);
}

void checkDepthAndCompression(const Header& h, const std::string& format)
{
    const DibInfo& d = h.info;
    const int bpp = d.bitsPerPixel;
    if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        failColorFormat(format);
    const bool bitFields = (d.compression == kBitFields && !d.os2) || d.compression == kAlphaBitFields;
    if (d.compression == kRgb)
        return;
    if ((d.compression == kRle8 && bpp == 8) || (d.compression == kRle4 && bpp == 4) ||
        (d.os2 && d.compression == kJpeg && bpp == 24) || (bitFields && (bpp == 16 || bpp == 32)))
        return;
    if (d.compression == kRle8 || d.compression == kRle4 || bitFields)
        failColorFormat(format);
    failNotSupported(d.compressionName + " compression", format);
}

struct Rgba {
    std::uint8_t b = 0, g = 0, r = 0, a = 0;
};

// A channel of any mask width scaled to 8 bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint64_t max = 0;
    explicit Channel(std::uint32_t m) : mask(m)
    {
        if (!m)
            return;
        while (!((m >> shift) & 1u))
            ++shift;
        max = mask >> shift;
    }
    std::uint8_t operator()(std::uint32_t v) const
    {
        if (!max)
            return 0;
        const std::uint64_t x = (v & mask) >> shift;
        return static_cast<std::uint8_t>((x * 255 + max / 2) / max);
    }
};

struct Canvas {
    std::int64_t width = 0, height = 0;
    std::vector<Rgba> px;  // bottom row first
    Rgba& at(std::int64_t x, std::int64_t yFromBottom) { return px[static_cast<std::size_t>(yFromBottom * width + x)]; }
};

std::uint8_t widen5(unsigned v) { return static_cast<std::uint8_t>(v << 3 | v >> 2); }

void decodeUncompressed(ByteCursor& in, const Header& h, const std::vector<Rgba>& palette, Canvas& c,
                        bool& alphaSeen)
{
    const DibInfo& d = h.info;
    const int bpp = d.bitsPerPixel;
    const std::uint64_t stride = (static_cast<std::uint64_t>(d.width) * bpp + 31) / 32 * 4;
    const std::uint8_t* bits = in.take(stride * static_cast<std::uint64_t>(d.height));
    const bool bitFields = d.compression == kBitFields || d.compression == kAlphaBitFields;
    Masks m = h.masks;
    if (!bitFields) {
        if (bpp == 16)
            m.mask = {0x7C00, 0x03E0, 0x001F, 0};
        else if (bpp == 32)
            m.mask = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
    }
    const Channel red(m.mask[0]), green(m.mask[1]), blue(m.mask[2]), alpha(m.mask[3]);
    const bool plain555 = bpp == 16 && !bitFields;
    for (std::int64_t row = 0; row < d.height; ++row) {
        const std::uint8_t* p = bits + row * stride;
        const std::int64_t y = d.topDown ? d.height - 1 - row : row;
        for (std::int64_t x = 0; x < d.width; ++x) {
            Rgba& o = c.at(x, y);
            if (bpp <= 8) {
                const std::int64_t bit = x * bpp;
                const unsigned index = (p[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
                o = index < palette.size() ? palette[index] : Rgba{0, 0, 0, 255};
            } else if (bpp == 24) {
                o = {p[3 * x], p[3 * x + 1], p[3 * x + 2], 255};
            } else {
                const std::uint32_t v = bpp == 16 ? le16At(Bytes(p + 2 * x, 2), 0) : le32At(Bytes(p + 4 * x, 4), 0);
                if (plain555) {
                    o = {widen5(v & 31), widen5((v >> 5) & 31), widen5((v >> 10) & 31), 255};
                } else {
                    o = {blue(v), green(v), red(v), 255};
                    if (m.mask[3]) {
                        o.a = alpha(v);
                        alphaSeen = alphaSeen || o.a != 0;
                    }
                }
            }
        }
    }
    // Alpha that is zero everywhere is unused padding, not a transparent picture.
    if (m.mask[3] && !alphaSeen)
        for (Rgba& o : c.px)
            o.a = 255;
}

// RLE8, RLE4 and RLE24: skipped pixels keep alpha 0, the background.
void decodeRunLength(ByteCursor& in, const Header& h, const std::vector<Rgba>& palette, Canvas& c)
{
    const DibInfo& d = h.info;
    const int kind = d.compression == kRle8 ? 8 : d.compression == kRle4 ? 4 : 24;
    auto colour = [&](unsigned index) { return index < palette.size() ? palette[index] : Rgba{0, 0, 0, 255}; };
    std::int64_t x = 0, y = 0;
    auto put = [&](const Rgba& v) {
        if (x < d.width && y < d.height)
            c.at(x, d.topDown ? d.height - 1 - y : y) = v;
        ++x;
    };
    while (y < d.height) {
        if (in.remaining() < 2) {
            // Some writers end the data after the last row's end-of-line.
            if (y >= d.height - 1 && x == 0)
                break;
            failStreamRead(in.format());
        }
        const unsigned count = in.u8();
        const unsigned code = in.u8();
        if (count > 0) {
            if (kind == 24) {
                const std::uint8_t* p = in.take(1);
                const std::uint8_t* q = in.take(1);
                const Rgba v{static_cast<std::uint8_t>(code), *p, *q, 255};
                for (unsigned i = 0; i < count; ++i)
                    put(v);
            } else if (kind == 8) {
                for (unsigned i = 0; i < count; ++i)
                    put(colour(code));
            } else {
                for (unsigned i = 0; i < count; ++i)
                    put(colour(i % 2 ? code & 15 : code >> 4));
            }
            continue;
        }
        if (code == 0) {  // end of line
            x = 0;
            ++y;
        } else if (code == 1) {  // end of bitmap
            break;
        } else if (code == 2) {  // delta
            x += in.u8();
            y += in.u8();
        } else {  // absolute run of code pixels, padded to a word
            if (kind == 24) {
                const std::uint8_t* p = in.take(3ull * code);
                for (unsigned i = 0; i < code; ++i)
                    put({p[3 * i], p[3 * i + 1], p[3 * i + 2], 255});
                if ((3ull * code) % 2)
                    in.take(1);
            } else if (kind == 8) {
                const std::uint8_t* p = in.take(code);
                for (unsigned i = 0; i < code; ++i)
                    put(colour(p[i]));
                if (code % 2)
                    in.take(1);
            } else {
                const unsigned bytes = (code + 1) / 2;
                const std::uint8_t* p = in.take(bytes);
                for (unsigned i = 0; i < code; ++i)
                    put(colour(i % 2 ? p[i / 2] & 15 : p[i / 2] >> 4));
                if (bytes % 2)
                    in.take(1);
            }
        }
    }
}

// The icon's AND mask: a set bit makes the pixel transparent.
void applyAndMask(ByteCursor& in, const DibInfo& d, Canvas& c, std::vector<std::string>& problems)
{
    const std::uint64_t stride = (static_cast<std::uint64_t>(d.width) + 31) / 32 * 4;
    const std::uint64_t size = stride * static_cast<std::uint64_t>(d.height);
    if (in.remaining() < size) {
        problems.push_back("the icon's transparency mask is missing; the image is shown opaque");
        return;
    }
    const std::uint8_t* bits = in.take(size);
    for (std::int64_t row = 0; row < d.height; ++row)
        for (std::int64_t x = 0; x < d.width; ++x)
            if ((bits[row * stride + x / 8] >> (7 - x % 8)) & 1)
                c.at(x, d.topDown ? d.height - 1 - row : row).a = 0;
}

}  // namespace

DibInfo readDibInfo(Bytes data, std::size_t headerAt, bool icon, const std::string& format)
{
    return readHeader(data, headerAt, icon, format).info;
}

DibDecoded decodeDib(Bytes data, const DibLayout& layout, const std::string& format)
{
    Header h = readHeader(data, layout.headerAt, layout.icon, format);
    const DibInfo& d = h.info;
    checkDepthAndCompression(h, format);
    if (static_cast<std::uint64_t>(d.width) * static_cast<std::uint64_t>(d.height) > kMaxPicturePixels)
        failInvalidFormat(format);

    ByteCursor in(data, format);
    std::uint64_t tableAt = layout.headerAt + std::uint64_t{d.headerSize};
    if (!h.masksInHeader && !d.os2 && (d.compression == kBitFields || d.compression == kAlphaBitFields)) {
        in.seek(tableAt);
        Masks m;
        const int n = d.compression == kAlphaBitFields ? 4 : 3;
        for (int i = 0; i < n; ++i)
            m.mask[i] = in.le32();
        h.masks = m;
        tableAt += 4u * n;
    }
    const bool bitFields = (d.compression == kBitFields && !d.os2) || d.compression == kAlphaBitFields;
    if (bitFields && !(h.masks.mask[0] | h.masks.mask[1] | h.masks.mask[2]))
        failColorFormat(format);

    // Colour table: as many entries as the header says, no more than the depth
    // addresses, and no more than fit before the pixels.
    std::uint64_t tableEntries = h.coloursUsed;
    if (d.bitsPerPixel <= 8) {
        const std::uint64_t full = 1u << d.bitsPerPixel;
        if (tableEntries == 0 || tableEntries > full)
            tableEntries = full;
        if (layout.bitsAt > tableAt && layout.bitsAt <= data.size())
            tableEntries = std::min<std::uint64_t>(tableEntries, (layout.bitsAt - tableAt) / h.paletteEntrySize);
    } else if (tableEntries > 0x10000) {
        tableEntries = 0;
    }
    std::vector<Rgba> palette;
    if (d.bitsPerPixel <= 8) {
        in.seek(tableAt);
        const std::uint8_t* p = in.take(tableEntries * h.paletteEntrySize);
        for (std::uint64_t i = 0; i < tableEntries; ++i)
            palette.push_back({p[i * h.paletteEntrySize], p[i * h.paletteEntrySize + 1],
                               p[i * h.paletteEntrySize + 2], 255});
    }
    const std::uint64_t afterTable = tableAt + tableEntries * h.paletteEntrySize;
    const std::uint64_t bitsAt =
        layout.bitsAt != 0 && layout.bitsAt >= tableAt && layout.bitsAt < data.size() ? layout.bitsAt : afterTable;
    in.seek(bitsAt);

    // Refuse sizes the data cannot fill before allocating for them: rows take
    // their full size uncompressed; a run-length code covers at most a few
    // thousand pixels (a delta skips up to 255 rows of 255 pixels).
    const std::uint64_t pixels = static_cast<std::uint64_t>(d.width) * static_cast<std::uint64_t>(d.height);
    if (isRle(d)) {
        if (pixels > (std::uint64_t(in.remaining()) + 4) * 16384)
            failStreamRead(format);
    } else if ((static_cast<std::uint64_t>(d.width) * d.bitsPerPixel + 31) / 32 * 4 *
                   static_cast<std::uint64_t>(d.height) > in.remaining()) {
        failStreamRead(format);
    }

    if (!fitsImageLimit(pixels, sizeof(Rgba)))  // the canvas below
        failInvalidFormat(format);

    DibDecoded out;
    out.sourceBitsPerPixel = d.bitsPerPixel;
    Canvas c;
    c.width = d.width;
    c.height = d.height;
    c.px.assign(static_cast<std::size_t>(d.width * d.height), Rgba{});
    bool alphaSeen = false;
    if (isRle(d))
        decodeRunLength(in, h, palette, c);
    else
        decodeUncompressed(in, h, palette, c, alphaSeen);
    if (layout.icon && !alphaSeen)
        applyAndMask(in, d, c, out.problems);

    const bool transparent = std::any_of(c.px.begin(), c.px.end(), [](const Rgba& p) { return p.a != 255; });
    out.bitmap = makeBitmap(d.width, d.height, transparent ? 32 : 24, format);
    for (std::int64_t y = 0; y < d.height; ++y) {
        std::uint8_t* row = out.bitmap.row(static_cast<int>(y));
        for (std::int64_t x = 0; x < d.width; ++x) {
            const Rgba& p = c.at(x, y);
            if (transparent) {
                row[4 * x] = p.b;
                row[4 * x + 1] = p.g;
                row[4 * x + 2] = p.r;
                row[4 * x + 3] = p.a;
            } else {
                row[3 * x] = p.b;
                row[3 * x + 1] = p.g;
                row[3 * x + 2] = p.r;
            }
        }
    }
    return out;
}

}  // namespace pictures
