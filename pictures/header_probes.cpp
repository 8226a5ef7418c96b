#include "pictures/header_probes.h"

#include <cstring>
#include <string>

namespace pictures::probe {

namespace {

unsigned le16(Bytes b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8);
}

unsigned be16(Bytes b, std::size_t at)
{
    return (b[at] << 8) | b[at + 1];
}

std::uint32_t le32(Bytes b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

std::uint32_t be32(Bytes b, std::size_t at)
{
    return (std::uint32_t{b[at]} << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

bool startsWith(Bytes b, const char* magic)
{
    const std::size_t n = std::strlen(magic);
    return b.size() >= n && std::memcmp(b.data(), magic, n) == 0;
}

PictureProperties make(int width, int height, int bits, int samples, std::string scheme, std::string compression)
{
    return {width, height, bits, samples, std::move(scheme), std::move(compression)};
}

}  // namespace

std::optional<PictureProperties> targa(Bytes b)
{
    // Targa has no signature: the header's fields must all hold values a
    // Targa file can have.
    if (b.size() < 18)
        return std::nullopt;
    const unsigned mapType = b[1], type = b[2], mapBits = b[7], depth = b[16];
    const unsigned width = le16(b, 12), height = le16(b, 14);
    const unsigned base = type & 7;
    if (mapType > 1 || (base < 1 || base > 3) || (type & ~0x0Bu) != 0 || width == 0 || height == 0)
        return std::nullopt;
    if (base == 1 && (mapType != 1 || depth != 8))
        return std::nullopt;
    if (mapType == 1 && mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
        return std::nullopt;
    if (base == 2 && depth != 15 && depth != 16 && depth != 24 && depth != 32)
        return std::nullopt;
    if (base == 3 && depth != 8 && depth != 16)
        return std::nullopt;
    const std::string compression = type & 8 ? "RLE" : "none";
    if (base == 1)
        return make(width, height, 8, 1, "indexed", compression);
    if (base == 3)
        return make(width, height, 8, depth / 8, depth == 16 ? "gray+alpha" : "gray", compression);
    if (depth <= 16)
        return make(width, height, 5, 3, "RGB", compression);
    return make(width, height, 8, depth / 8, depth == 32 ? "RGBA" : "RGB", compression);
}

std::optional<PictureProperties> sgi(Bytes b)
{
    if (b.size() < 512 || be16(b, 0) != 474)
        return std::nullopt;
    const unsigned storage = b[2], bpc = b[3], dimension = be16(b, 4);
    const unsigned x = be16(b, 6), y = dimension >= 2 ? be16(b, 8) : 1, z = dimension >= 3 ? be16(b, 10) : 1;
    if (storage > 1 || (bpc != 1 && bpc != 2) || dimension < 1 || dimension > 3 || x == 0 || y == 0 || z == 0)
        return std::nullopt;
    const char* scheme = z == 1 ? "gray" : z == 2 ? "gray+alpha" : z == 3 ? "RGB" : "RGBA";
    return make(x, y, bpc * 8, z, scheme, storage ? "RLE" : "none");
}

std::optional<PictureProperties> photoshop(Bytes b)
{
    if (b.size() < 26 || !startsWith(b, "8BPS") || be16(b, 4) != 1)
        return std::nullopt;
    const unsigned channels = be16(b, 12), depth = be16(b, 22), mode = be16(b, 24);
    const std::uint32_t height = be32(b, 14), width = be32(b, 18);
    if (channels < 1 || channels > 56 || width == 0 || height == 0 || width > 300000 || height > 300000)
        return std::nullopt;
    static const char* const modes[] = {"bitmap", "gray", "indexed", "RGB", "CMYK", "", "",
                                        "multichannel", "duotone", "Lab"};
    const std::string scheme = mode < 10 && *modes[mode] ? modes[mode] : "mode " + std::to_string(mode);
    // The compression word follows the colour mode, resources and layer sections.
    std::string compression = "unknown";
    std::uint64_t at = 26;
    for (int section = 0; section < 3; ++section) {
        if (at + 4 > b.size()) {
            at = b.size() + 1;
            break;
        }
        at += 4 + std::uint64_t{be32(b, at)};
    }
    if (at + 2 <= b.size()) {
        static const char* const names[] = {"none", "RLE", "ZIP", "ZIP with prediction"};
        const unsigned c = be16(b, at);
        compression = c < 4 ? names[c] : "code " + std::to_string(c);
    }
    return make(width, height, depth, channels, scheme, compression);
}

std::optional<PictureProperties> pcx(Bytes b)
{
    if (b.size() < 128 || b[0] != 0x0A)
        return std::nullopt;
    const unsigned version = b[1], encoding = b[2], bits = b[3], planes = b[65];
    const int width = static_cast<int>(le16(b, 8)) - static_cast<int>(le16(b, 4)) + 1;
    const int height = static_cast<int>(le16(b, 10)) - static_cast<int>(le16(b, 6)) + 1;
    if (version > 5 || version == 1 || encoding > 1 || (bits != 1 && bits != 2 && bits != 4 && bits != 8) ||
        planes < 1 || planes > 4 || width <= 0 || height <= 0)
        return std::nullopt;
    const char* scheme = bits == 8 && planes >= 3 ? (planes == 4 ? "RGBA" : "RGB") : "indexed";
    return make(width, height, bits, planes, scheme, encoding ? "RLE" : "none");
}

std::optional<PictureProperties> png(Bytes b)
{
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() < 33 || std::memcmp(b.data(), signature, 8) != 0 || std::memcmp(b.data() + 12, "IHDR", 4) != 0)
        return std::nullopt;
    const std::uint32_t width = be32(b, 16), height = be32(b, 20);
    const unsigned depth = b[24], type = b[25];
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF)
        return std::nullopt;
    int samples = 0;
    const char* scheme = "";
    switch (type) {
    case 0: samples = 1; scheme = "gray"; break;
    case 2: samples = 3; scheme = "RGB"; break;
    case 3: samples = 1; scheme = "indexed"; break;
    case 4: samples = 2; scheme = "gray+alpha"; break;
    case 6: samples = 4; scheme = "RGBA"; break;
    default: return std::nullopt;
    }
    return make(static_cast<int>(width), static_cast<int>(height), depth, samples, scheme,
                b[28] ? "deflate, interlaced" : "deflate");
}

std::optional<PictureProperties> gif(Bytes b)
{
    if (b.size() < 13 || !(startsWith(b, "GIF87a") || startsWith(b, "GIF89a")))
        return std::nullopt;
    const unsigned width = le16(b, 6), height = le16(b, 8);
    if (width == 0 || height == 0)
        return std::nullopt;
    return make(width, height, (b[10] & 7) + 1, 1, "indexed", "LZW");
}

std::optional<PictureProperties> amigaIff(Bytes b)
{
    if (b.size() < 12 || !startsWith(b, "FORM"))
        return std::nullopt;
    const bool chunky = std::memcmp(b.data() + 8, "PBM ", 4) == 0;
    if (!chunky && std::memcmp(b.data() + 8, "ILBM", 4) != 0)
        return std::nullopt;
    std::size_t at = 12;
    while (at + 8 <= b.size()) {
        const std::uint32_t size = be32(b, at + 4);
        if (std::memcmp(b.data() + at, "BMHD", 4) == 0) {
            if (size < 20 || at + 8 + 20 > b.size())
                return std::nullopt;
            const unsigned width = be16(b, at + 8), height = be16(b, at + 10), planes = b[at + 16];
            if (width == 0 || height == 0 || planes == 0)
                return std::nullopt;
            return make(width, height, planes, 1, planes > 8 ? "RGB" : "indexed",
                        b[at + 18] == 1 ? "ByteRun1" : "none");
        }
        if (size > b.size() - at - 8)
            break;
        at += 8 + std::size_t{size} + (size & 1);
    }
    return std::nullopt;
}

std::optional<PictureProperties> autodeskCel(Bytes b)
{
    if (b.size() >= 32 && le16(b, 0) == 0x9119) {
        const unsigned width = le16(b, 2), height = le16(b, 4);
        if (width && height)
            return make(width, height, 8, 1, "indexed", "none");
    }
    if (b.size() >= 128 && (le16(b, 4) == 0xAF11 || le16(b, 4) == 0xAF12)) {
        const unsigned width = le16(b, 8), height = le16(b, 10);
        if (width && height)
            return make(width, height, 8, 1, "indexed", "FLI");
    }
    return std::nullopt;
}

std::optional<PictureProperties> wsq(Bytes b)
{
    // SOI, then segments of a marker and a length until the frame header.
    if (b.size() < 2 || b[0] != 0xFF || b[1] != 0xA0)
        return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= b.size() && b[at] == 0xFF) {
        const unsigned marker = b[at + 1], length = be16(b, at + 2);
        if (marker == 0xA2) {
            if (length < 17 || at + 2 + 8 > b.size())
                return std::nullopt;
            const unsigned height = be16(b, at + 6), width = be16(b, at + 8);
            if (width == 0 || height == 0)
                return std::nullopt;
            return make(width, height, 8, 1, "gray", "WSQ");
        }
        if (marker < 0xA0 || marker > 0xA8 || length < 2)
            return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

std::optional<PictureProperties> bmp(Bytes b)
{
    if (b.size() < 26 || !startsWith(b, "BM"))
        return std::nullopt;
    const std::uint32_t headerSize = le32(b, 14);
    if (headerSize == 12) {
        const unsigned width = le16(b, 18), height = le16(b, 20);
        if (width == 0 || height == 0)
            return std::nullopt;
        const unsigned bits = le16(b, 24);
        return make(width, height, bits, 1, bits <= 8 ? "indexed" : "RGB", "none");
    }
    if (headerSize < 40 || b.size() < 34)
        return std::nullopt;
    const std::int32_t width = static_cast<std::int32_t>(le32(b, 18));
    const std::int32_t height = static_cast<std::int32_t>(le32(b, 22));
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return std::nullopt;
    const unsigned bits = le16(b, 28);
    const std::uint32_t compression = le32(b, 30);
    static const char* const names[] = {"none", "RLE8", "RLE4", "bit fields"};
    return make(width, height < 0 ? -height : height, bits, 1, bits <= 8 ? "indexed" : "RGB",
                compression < 4 ? names[compression] : "code " + std::to_string(compression));
}

std::optional<PictureProperties> jpeg(Bytes b)
{
    if (b.size() < 4 || b[0] != 0xFF || b[1] != 0xD8)
        return std::nullopt;
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (b[at] != 0xFF)
            return std::nullopt;
        const unsigned marker = b[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        const unsigned length = be16(b, at + 2);
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 10 > b.size())
                return std::nullopt;
            const unsigned height = be16(b, at + 5), width = be16(b, at + 7), components = b[at + 9];
            if (width == 0 || components == 0)
                return std::nullopt;
            const char* scheme = components == 1 ? "gray" : components == 3 ? "YCbCr" : "CMYK";
            return make(width, height, b[at + 4], components, scheme, "JPEG");
        }
        if (marker == 0xD9 || marker == 0xDA || length < 2)
            return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

bool tiffSignature(Bytes b)
{
    return b.size() >= 8 && ((b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) ||
                             (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42) ||
                             (b[0] == 'I' && b[1] == 'I' && b[2] == 43 && b[3] == 0) ||
                             (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 43));
}

}  // namespace pictures::probe
