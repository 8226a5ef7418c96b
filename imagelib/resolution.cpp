#include "imagelib/resolution.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imagelib/file_io.h"
#include "imagelib/image_record.h"
#include "imagelib/tiff.h"

namespace imagelib {

namespace {

constexpr double kMetresPerInch = 0.0254;

std::uint32_t be32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint16_t be16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

bool startsWith(const std::vector<std::uint8_t>& bytes, const char* magic, std::size_t n)
{
    return bytes.size() >= n && std::memcmp(bytes.data(), magic, n) == 0;
}

}  // namespace

Resolution uniformResolution(double ppi)
{
    return Resolution{ppi, ppi};
}

std::uint32_t pixelsPerMetre(std::optional<double> ppi)
{
    if (!ppi || !(*ppi > 0) || !std::isfinite(*ppi))
        return 0;
    const double perMetre = std::round(*ppi / kMetresPerInch);
    return perMetre >= 4294967295.0 ? 4294967295u : static_cast<std::uint32_t>(perMetre);
}

std::optional<double> ppiFromPixelsPerMetre(std::uint32_t perMetre)
{
    if (perMetre == 0)
        return std::nullopt;
    const double ppi = perMetre * kMetresPerInch;
    const double whole = std::round(ppi);
    if (whole > 0 && pixelsPerMetre(whole) == perMetre)
        return whole;
    return ppi;
}

std::optional<std::uint32_t> wholePpi(std::optional<double> ppi, std::uint32_t max)
{
    if (!ppi || !(*ppi > 0) || !std::isfinite(*ppi))
        return std::nullopt;
    const double whole = std::round(*ppi);
    if (whole < 1)
        return 1u;
    return whole > max ? max : static_cast<std::uint32_t>(whole);
}

Resolution pngResolution(const std::uint8_t* b, std::size_t size)
{
    Resolution r;
    if (size < 8 || std::memcmp(b, "\x89PNG\r\n\x1a\n", 8) != 0)
        return r;
    std::size_t at = 8;
    while (at + 12 <= size) {
        const std::uint32_t length = be32(b + at);
        if (std::memcmp(b + at + 4, "IDAT", 4) == 0 || length > size - at - 12)
            break;
        if (std::memcmp(b + at + 4, "pHYs", 4) == 0 && length == 9) {
            if (b[at + 16] == 1) {  // unit metre; 0 only gives the aspect ratio
                r.horizontal = ppiFromPixelsPerMetre(be32(b + at + 8));
                r.vertical = ppiFromPixelsPerMetre(be32(b + at + 12));
            }
            break;
        }
        at += 12 + std::size_t{length};
    }
    return r;
}

Resolution psdResolution(const std::uint8_t* b, std::size_t size)
{
    // Header (26 bytes), colour mode data, then the image resources: "8BIM",
    // id, an even-padded Pascal name, a size and even-padded data.
    Resolution r;
    if (size < 30 || std::memcmp(b, "8BPS", 4) != 0)
        return r;
    std::uint64_t at = 26 + std::uint64_t{4} + be32(b + 26);
    if (at + 4 > size)
        return r;
    const std::uint64_t end = std::min<std::uint64_t>(size, at + 4 + be32(b + at));
    at += 4;
    while (at + 12 <= end && std::memcmp(b + at, "8BIM", 4) == 0) {
        const std::uint16_t id = be16(b + at + 4);
        const std::uint64_t nameLength = b[at + 6];
        at += 6 + ((nameLength + 2) & ~std::uint64_t{1});
        if (at + 4 > end)
            break;
        const std::uint32_t length = be32(b + at);
        at += 4;
        if (length > end - at)
            break;
        if (id == 1005 && length >= 16) {
            // Fixed 16.16 pixels per inch, whatever unit the program shows.
            // Some writers store the raw value 1 for "not known": below one
            // pixel per inch is no resolution.
            if (const std::uint32_t h = be32(b + at); h >= 65536)
                r.horizontal = h / 65536.0;
            if (const std::uint32_t v = be32(b + at + 8); v >= 65536)
                r.vertical = v / 65536.0;
            break;
        }
        at += (std::uint64_t{length} + 1) & ~std::uint64_t{1};
    }
    return r;
}

Resolution ReadImageResolution(const std::string& fileName)
{
    std::vector<std::uint8_t> bytes;
    if (readImageFile(fileName, bytes) != kImageNoError)
        return {};
    if (startsWith(bytes, "\x89PNG\r\n\x1a\n", 8))
        return pngResolution(bytes.data(), bytes.size());
    if (startsWith(bytes, "8BPS", 4))
        return psdResolution(bytes.data(), bytes.size());
    if (startsWith(bytes, "II*\0", 4) || startsWith(bytes, "MM\0*", 4))
        return ReadTiffResolution(fileName);
    return {};
}

}  // namespace imagelib
