// TSGIGraphic: Silicon Graphics images (.sgi, .rgb, .rgba, .bw) with one or
// two bytes per channel, one to four channels (gray, gray + alpha, RGB, RGBA),
// verbatim or run-length. Channels beyond the fourth are read past.
#include <algorithm>
#include <vector>

#include "pictures/decoder_support.h"
#include "pictures/header_probes.h"
#include "pictures/picture_classes.h"

namespace pictures {

namespace {

const std::string kFormat = "SGI";
constexpr std::size_t kHeaderSize = 512;

struct SgiHeader {
    bool runLength = false;
    int bytesPerChannel = 1;
    int width = 0, height = 0, channels = 0;
    std::uint32_t colourMap = 0;
};

SgiHeader readHeader(Bytes b)
{
    if (!probe::sgi(b))
        failInvalidFormat(kFormat);
    SgiHeader h;
    h.runLength = b[2] != 0;
    h.bytesPerChannel = b[3];
    const unsigned dimension = be16At(b, 4);
    h.width = be16At(b, 6);
    h.height = dimension >= 2 ? be16At(b, 8) : 1;
    h.channels = dimension >= 3 ? be16At(b, 10) : 1;
    h.colourMap = be32At(b, 104);
    return h;
}

// The channels shown: gray, gray + alpha, RGB or RGBA.
int shownChannels(const SgiHeader& h)
{
    return std::min(h.channels, 4);
}

std::uint16_t unitAt(const std::uint8_t* p, int bytes)
{
    return bytes == 2 ? static_cast<std::uint16_t>(p[0] << 8 | p[1]) : p[0];
}

// A run-length row: a count unit whose top bit is set copies that many literal
// units, one with the bit clear repeats the next unit, a count of 0 ends the
// row. Some writers leave the closing 0 out of the row's length: the row is
// accepted when its values fill it, either way.
void decodeRunLengthRow(Bytes file, std::uint32_t start, std::uint32_t length, int unit,
                        std::vector<std::uint16_t>& out)
{
    if (start > file.size() || length > file.size() - start)
        failStreamRead(kFormat);
    ByteCursor in(file.subspan(start, length), kFormat);
    const std::size_t width = out.size();
    std::size_t x = 0;
    while (in.remaining() >= static_cast<std::size_t>(unit)) {
        const std::uint16_t n = unitAt(in.take(unit), unit);
        const std::size_t count = n & 0x7F;
        if (count == 0)
            break;
        if (count > width - x)
            failCompression(kFormat);
        if (n & 0x80) {
            if (count * unit > in.remaining())
                failCompression(kFormat);
            const std::uint8_t* p = in.take(count * unit);
            for (std::size_t k = 0; k < count; ++k)
                out[x++] = unitAt(p + k * unit, unit);
        } else {
            if (in.remaining() < static_cast<std::size_t>(unit))
                failCompression(kFormat);
            const std::uint16_t v = unitAt(in.take(unit), unit);
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(x), count, v);
            x += count;
        }
    }
    if (x != width)
        failCompression(kFormat);
}

std::uint8_t to8(std::uint16_t v, int bytesPerChannel)
{
    return bytesPerChannel == 2 ? static_cast<std::uint8_t>((v * 255u + 32767u) / 65535u)
                                : static_cast<std::uint8_t>(v);
}

// Channel c of a file with the given shown channels into a bitmap pixel.
void putChannel(std::uint8_t* pixel, int c, int channels, std::uint8_t v)
{
    switch (channels) {
    case 1: pixel[0] = v; break;
    case 2:
        if (c == 0)
            pixel[0] = pixel[1] = pixel[2] = v;
        else
            pixel[3] = v;
        break;
    default: pixel[c < 3 ? 2 - c : 3] = v; break;
    }
}

class TSGIGraphic final : public PictureClass {
public:
    std::string className() const override { return "TSGIGraphic"; }
    bool canLoad(Bytes bytes) const override { return probe::sgi(bytes).has_value(); }
    PictureProperties readProperties(Bytes bytes) const override
    {
        readHeader(bytes);
        return *probe::sgi(bytes);
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        const SgiHeader h = readHeader(bytes);
        if (h.colourMap != 0)
            failNotSupported("Colour-mapped images", kFormat);
        const int channels = shownChannels(h);
        const int depth = channels == 1 ? 8 : channels == 3 ? 24 : 32;
        LoadedPicture picture;
        picture.bitmap = makeBitmap(h.width, h.height, depth, kFormat);
        if (depth == 8)
            setGrayPalette(picture.bitmap, 256);
        const std::size_t pixelBytes = static_cast<std::size_t>(depth / 8);
        const int unit = h.bytesPerChannel;
        const std::uint64_t rowBytes = std::uint64_t(h.width) * unit;
        const std::uint64_t rows = std::uint64_t(h.height) * h.channels;
        std::vector<std::uint16_t> values(static_cast<std::size_t>(h.width));
        if (h.runLength && kHeaderSize + rows * 8 > bytes.size())
            failStreamRead(kFormat);
        if (!h.runLength && kHeaderSize + rows * rowBytes > bytes.size())
            failStreamRead(kFormat);
        // Rows are stored from the bottom of the picture up, as the bitmap's.
        for (int c = 0; c < channels; ++c)
            for (int y = 0; y < h.height; ++y) {
                const std::uint64_t entry = std::uint64_t(c) * h.height + y;
                if (h.runLength) {
                    const std::uint32_t start = be32At(bytes, kHeaderSize + 4 * entry);
                    const std::uint32_t length = be32At(bytes, kHeaderSize + 4 * (rows + entry));
                    decodeRunLengthRow(bytes, start, length, unit, values);
                } else {
                    const std::uint8_t* p = bytes.data() + kHeaderSize + entry * rowBytes;
                    for (int x = 0; x < h.width; ++x)
                        values[x] = unitAt(p + std::size_t(x) * unit, unit);
                }
                std::uint8_t* row = picture.bitmap.row(y);
                for (int x = 0; x < h.width; ++x)
                    putChannel(row + x * pixelBytes, c, channels, to8(values[x], unit));
            }
        if (h.channels > 4)
            picture.problems.push_back(std::to_string(h.channels - 4) + " channels beyond the fourth are not shown");
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeSgiGraphic()
{
    return std::make_unique<TSGIGraphic>();
}

}  // namespace pictures
