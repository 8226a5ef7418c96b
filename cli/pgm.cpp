#include "cli/pgm.h"

#include <cstdio>
#include <string>

namespace cli {

namespace {

bool isSpace(std::uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// The ppi of a comment reading "PPI N" (blanks around allowed); none otherwise.
std::optional<int> commentPpi(const std::string& text)
{
    int ppi = 0;
    char rest = 0;
    if (std::sscanf(text.c_str(), " PPI %d %c", &ppi, &rest) == 1 && ppi >= 1 && ppi <= 1000000)
        return ppi;
    return std::nullopt;
}

// Skips whitespace and comments, then reads a decimal number (at most 65535).
bool readNumber(const std::vector<std::uint8_t>& b, std::size_t* pos, int* value, std::optional<int>* ppi)
{
    while (*pos < b.size() && (isSpace(b[*pos]) || b[*pos] == '#')) {
        if (b[*pos] == '#') {
            const std::size_t start = ++*pos;
            while (*pos < b.size() && b[*pos] != '\n')
                ++*pos;
            if (const std::optional<int> stated = commentPpi(std::string(b.begin() + start, b.begin() + *pos)))
                *ppi = stated;
        } else {
            ++*pos;
        }
    }
    long long v = 0;
    const std::size_t start = *pos;
    while (*pos < b.size() && b[*pos] >= '0' && b[*pos] <= '9' && v <= 65535)
        v = v * 10 + (b[(*pos)++] - '0');
    if (*pos == start || v > 65535)
        return false;
    *value = static_cast<int>(v);
    return true;
}

}  // namespace

bool readPgm(const std::vector<std::uint8_t>& bytes, GrayImage* image, std::string* error)
{
    if (bytes.size() < 2 || bytes[0] != 'P' || bytes[1] != '5') {
        *error = "not a binary PGM file (P5)";
        return false;
    }
    std::size_t pos = 2;
    int width = 0, height = 0, maxval = 0;
    std::optional<int> ppi;
    if (!readNumber(bytes, &pos, &width, &ppi) || !readNumber(bytes, &pos, &height, &ppi) ||
        !readNumber(bytes, &pos, &maxval, &ppi) || pos >= bytes.size() || !isSpace(bytes[pos])) {
        *error = "malformed PGM header";
        return false;
    }
    if (width == 0 || height == 0) {
        *error = "PGM picture of " + std::to_string(width) + " x " + std::to_string(height) + " pixels holds nothing";
        return false;
    }
    if (maxval != 255) {
        *error = "PGM maxval " + std::to_string(maxval) + " (only 255 is supported)";
        return false;
    }
    ++pos;  // the single whitespace before the pixels
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (bytes.size() - pos < count) {
        *error = "PGM pixel data is shorter than " + std::to_string(width) + " x " + std::to_string(height);
        return false;
    }
    image->width = width;
    image->height = height;
    image->ppi = ppi;
    image->pixels.assign(bytes.begin() + static_cast<std::ptrdiff_t>(pos),
                         bytes.begin() + static_cast<std::ptrdiff_t>(pos + count));
    return true;
}

std::vector<std::uint8_t> writePgm(const GrayImage& image)
{
    char header[96];
    const std::string ppi = image.ppi ? "# PPI " + std::to_string(*image.ppi) + "\n" : "";
    const int n = std::snprintf(header, sizeof header, "P5\n%s%d %d\n255\n", ppi.c_str(), image.width, image.height);
    std::vector<std::uint8_t> out(header, header + n);
    out.insert(out.end(), image.pixels.begin(), image.pixels.end());
    return out;
}

}  // namespace cli
