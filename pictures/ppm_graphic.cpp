// Portable bit, gray and pixel maps: P1 to P6, maximum values up to 65535
// (scaled to 8 bits), the first picture of a file.
#include <cctype>
#include <cstdio>
#include <optional>
#include <string>

#include "imagelib/image_record.h"
#include "imagelib/limits.h"
#include "pictures/picture_classes.h"
#include "pictures/picture_errors.h"

namespace pictures {

namespace {

constexpr const char* kFormat = "PPM";

struct PnmHeader {
    int kind = 0;  // 1..6
    int width = 0;
    int height = 0;
    int maxValue = 1;
    std::size_t dataStart = 0;
    std::optional<int> ppi;  // a "# PPI N" header comment, as nisttool writes it
};

// The ppi of a header comment reading "PPI N"; none for any other comment.
std::optional<int> commentPpi(Bytes text)
{
    const std::string line(text.begin(), text.end());
    int ppi = 0;
    char rest = 0;
    if (std::sscanf(line.c_str(), " PPI %d %c", &ppi, &rest) == 1 && ppi >= 1 && ppi <= 1000000)
        return ppi;
    return std::nullopt;
}

class Cursor {
public:
    explicit Cursor(Bytes b, std::size_t at = 0) : b_(b), at_(at) {}
    std::size_t position() const { return at_; }
    bool atEnd() const { return at_ >= b_.size(); }
    std::uint8_t peek() const { return b_[at_]; }
    void skipSpaceAndComments()
    {
        while (!atEnd()) {
            if (peek() == '#') {
                const std::size_t start = ++at_;
                while (!atEnd() && peek() != '\n' && peek() != '\r')
                    ++at_;
                if (const std::optional<int> stated = commentPpi(b_.subspan(start, at_ - start)))
                    ppi_ = stated;
            } else if (std::isspace(peek())) {
                ++at_;
            } else {
                return;
            }
        }
    }
    // A decimal number after white space and comments; false when none.
    bool number(std::uint32_t& value, std::uint32_t limit)
    {
        skipSpaceAndComments();
        if (atEnd() || !std::isdigit(peek()))
            return false;
        std::uint64_t v = 0;
        while (!atEnd() && std::isdigit(peek())) {
            v = v * 10 + (peek() - '0');
            if (v > limit)
                return false;
            ++at_;
        }
        value = static_cast<std::uint32_t>(v);
        return true;
    }
    // One bit of a plain bitmap: the next '0' or '1'.
    bool bit(std::uint32_t& value)
    {
        skipSpaceAndComments();
        if (atEnd() || (peek() != '0' && peek() != '1'))
            return false;
        value = peek() - '0';
        ++at_;
        return true;
    }
    void advance() { ++at_; }
    std::optional<int> ppi() const { return ppi_; }

private:
    Bytes b_;
    std::size_t at_;
    std::optional<int> ppi_;
};

std::optional<PnmHeader> readHeader(Bytes b)
{
    if (b.size() < 3 || b[0] != 'P' || b[1] < '1' || b[1] > '6' || !std::isspace(b[2]))
        return std::nullopt;
    PnmHeader h;
    h.kind = b[1] - '0';
    Cursor c(b, 2);
    std::uint32_t w = 0, height = 0, maxValue = 1;
    if (!c.number(w, 0x7FFFFFFF) || !c.number(height, 0x7FFFFFFF) || w == 0 || height == 0)
        return std::nullopt;
    if (h.kind != 1 && h.kind != 4 && (!c.number(maxValue, 65535) || maxValue == 0))
        return std::nullopt;
    // Exactly one white-space byte separates the header from raw samples.
    if (c.atEnd() || !std::isspace(c.peek()))
        return std::nullopt;
    c.advance();
    h.width = static_cast<int>(w);
    h.height = static_cast<int>(height);
    h.maxValue = static_cast<int>(maxValue);
    h.dataStart = c.position();
    h.ppi = c.ppi();
    return h;
}

PictureProperties propertiesOf(const PnmHeader& h)
{
    const bool bitmap = h.kind == 1 || h.kind == 4;
    const bool colour = h.kind == 3 || h.kind == 6;
    const int bits = bitmap ? 1 : h.maxValue > 255 ? 16 : 8;
    return {h.width, h.height, bits, colour ? 3 : 1, bitmap ? "bilevel" : colour ? "RGB" : "gray",
            h.kind <= 3 ? "plain" : "raw"};
}

std::uint8_t scaled(std::uint32_t v, std::uint32_t maxValue)
{
    return static_cast<std::uint8_t>((v * 255u + maxValue / 2u) / maxValue);
}

class PpmGraphic : public PictureClass {
public:
    std::string className() const override { return "TPPMGraphic"; }
    bool canLoad(Bytes bytes) const override { return readHeader(bytes).has_value(); }
    PictureProperties readProperties(Bytes bytes) const override
    {
        const std::optional<PnmHeader> h = readHeader(bytes);
        if (!h)
            fail(invalidFormatText(kFormat));
        return propertiesOf(*h);
    }
    LoadedPicture load(Bytes bytes, const std::string&) const override;
};

LoadedPicture PpmGraphic::load(Bytes bytes, const std::string&) const
{
    const std::optional<PnmHeader> h = readHeader(bytes);
    if (!h)
        fail(invalidFormatText(kFormat));
    const bool bitmap = h->kind == 1 || h->kind == 4;
    const int channels = h->kind == 3 || h->kind == 6 ? 3 : 1;
    const bool raw = h->kind >= 4;
    const bool wide = h->maxValue > 255;
    const std::uint64_t samples = std::uint64_t(h->width) * std::uint64_t(h->height) * channels;
    const std::uint64_t rawRow = bitmap ? (std::uint64_t(h->width) + 7) / 8 : std::uint64_t(h->width) * channels * (wide ? 2 : 1);
    const std::uint64_t available = bytes.size() - h->dataStart;
    // Every sample takes at least one byte (raw bitmaps one bit), so the file's
    // size bounds the picture before anything is allocated.
    const std::uint64_t needed = raw ? rawRow * h->height : samples;
    if (needed > available)
        fail(streamReadErrorText(kFormat));
    if (std::uint64_t(h->width) * h->height * 3 > imagelib::imageLimits().maxImageBytes)
        fail(invalidFormatText(kFormat));

    LoadedPicture picture;
    if (h->ppi)
        picture.resolution = imagelib::uniformResolution(*h->ppi);
    platform::Bitmap& out = picture.bitmap;
    out = platform::Bitmap(h->width, h->height, channels == 3 ? 24 : 8);
    if (channels == 1)
        for (int i = 0; i < 256; ++i)
            out.palette()[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    Cursor plain(bytes, h->dataStart);
    const std::uint32_t maxValue = bitmap ? 1 : static_cast<std::uint32_t>(h->maxValue);
    for (int y = 0; y < h->height; ++y) {
        std::uint8_t* row = out.topRow(y);
        const std::uint8_t* in = bytes.data() + h->dataStart + rawRow * y;
        for (int x = 0; x < h->width; ++x) {
            for (int c = 0; c < channels; ++c) {
                std::uint32_t v = 0;
                if (bitmap && raw) {
                    v = (in[x / 8] >> (7 - x % 8)) & 1;
                } else if (raw) {
                    const std::size_t i = std::size_t(x) * channels + c;
                    v = wide ? (in[2 * i] << 8) | in[2 * i + 1] : in[i];
                } else if (!(bitmap ? plain.bit(v) : plain.number(v, 65535))) {
                    fail(streamReadErrorText(kFormat));
                }
                if (v > maxValue)
                    fail(invalidFormatText(kFormat));
                // Bitmaps store 1 for black.
                const std::uint8_t level = bitmap ? (v ? 0 : 255) : scaled(v, maxValue);
                row[channels == 3 ? x * 3 + (2 - c) : x] = level;
            }
        }
    }
    return picture;
}

}  // namespace

std::unique_ptr<PictureClass> makePpmGraphic()
{
    return std::make_unique<PpmGraphic>();
}

}  // namespace pictures
