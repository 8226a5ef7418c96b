#include "pictures/rla_graphic.h"

#include <algorithm>

#include "pictures/decoder_support.h"

namespace pictures {

namespace {

const std::string kFormat = "RLA";
constexpr std::size_t kHeaderSize = 740;

struct RlaHeader {
    int width = 0, height = 0;
    int colourChannels = 0, matteChannels = 0, auxChannels = 0;
    int colourBits = 0, matteBits = 0, auxBits = 0;
    bool rpf = false;
};

int signed16(Bytes b, std::size_t at)
{
    return static_cast<std::int16_t>(be16At(b, at));
}

bool plausible(Bytes b)
{
    if (b.size() < kHeaderSize)
        return false;
    const int width = signed16(b, 10) - signed16(b, 8) + 1, height = signed16(b, 14) - signed16(b, 12) + 1;
    const int channels = signed16(b, 20), bits = signed16(b, 658);
    return width > 0 && height > 0 && channels >= 1 && channels <= 16 && signed16(b, 22) >= 0 &&
           signed16(b, 24) >= 0 && bits >= 0 && bits <= 32;
}

RlaHeader readHeader(Bytes b)
{
    if (b.size() < kHeaderSize)
        failStreamRead(kFormat);
    if (!plausible(b))
        failInvalidFormat(kFormat);
    RlaHeader h;
    h.width = signed16(b, 10) - signed16(b, 8) + 1;
    h.height = signed16(b, 14) - signed16(b, 12) + 1;
    h.colourChannels = signed16(b, 20);
    h.matteChannels = signed16(b, 22);
    h.auxChannels = signed16(b, 24);
    h.rpf = be16At(b, 26) == 0xFFFE;
    h.colourBits = signed16(b, 658);
    h.matteBits = signed16(b, 662);
    h.auxBits = signed16(b, 666);
    // Old files leave the sizes 0: eight bits.
    if (h.colourBits == 0)
        h.colourBits = 8;
    if (h.matteBits == 0)
        h.matteBits = h.colourBits;
    if (h.auxBits == 0)
        h.auxBits = 8;
    return h;
}

void checkBits(int bits)
{
    if (bits > 16)
        failNotSupported(std::to_string(bits) + " bits per channel", kFormat);
    if (bits < 1)
        failInvalidFormat(kFormat);
}

// One channel of a scanline: a 16-bit byte count, then for each byte of the
// sample (most significant first) width values in runs: a count c >= 0
// repeats the next byte c + 1 times, c < 0 copies -c bytes.
std::vector<std::uint16_t> readChannel(ByteCursor& in, int width, int bits)
{
    const std::uint16_t size = in.be16();
    ByteCursor data(in.span(size), kFormat);
    const int bytes = (bits + 7) / 8;
    std::vector<std::uint16_t> values(static_cast<std::size_t>(width), 0);
    for (int plane = 0; plane < bytes; ++plane) {
        int x = 0;
        while (x < width) {
            if (data.atEnd())
                failCompression(kFormat);
            const int count = static_cast<std::int8_t>(data.u8());
            if (count >= 0) {
                const std::uint8_t v = data.u8();
                if (x + count + 1 > width)
                    failCompression(kFormat);
                for (int i = 0; i <= count; ++i, ++x)
                    values[x] = static_cast<std::uint16_t>(values[x] << 8 | v);
            } else {
                if (x - count > width)
                    failCompression(kFormat);
                const std::uint8_t* p = data.take(-count);
                for (int i = 0; i < -count; ++i, ++x)
                    values[x] = static_cast<std::uint16_t>(values[x] << 8 | p[i]);
            }
        }
    }
    return values;
}

std::uint8_t to8(std::uint16_t v, int bits)
{
    if (bits == 8)
        return static_cast<std::uint8_t>(v);
    const std::uint32_t max = (1u << bits) - 1;
    return static_cast<std::uint8_t>((std::min<std::uint32_t>(v, max) * 255 + max / 2) / max);
}

class TRLAGraphic final : public PictureClass {
public:
    std::string className() const override { return "TRLAGraphic"; }
    bool canLoad(Bytes bytes) const override { return plausible(bytes); }

    PictureProperties readProperties(Bytes bytes) const override
    {
        const RlaHeader h = readHeader(bytes);
        PictureProperties p;
        p.width = h.width;
        p.height = h.height;
        p.bitsPerSample = h.colourBits;
        p.samplesPerPixel = h.colourChannels + (h.matteChannels > 0 ? 1 : 0);
        p.colorScheme = h.colourChannels == 1 ? (h.matteChannels ? "gray+alpha" : "gray")
                                              : (h.matteChannels ? "RGBA" : "RGB");
        p.compression = "RLE";
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        const RlaHeader h = readHeader(bytes);
        if (h.colourChannels != 1 && h.colourChannels != 3)
            failColorFormat(kFormat);
        checkBits(h.colourBits);
        if (h.matteChannels)
            checkBits(h.matteBits);
        if (h.auxChannels)
            checkBits(std::min(h.auxBits, 16));
        const bool alpha = h.matteChannels > 0;
        // The offset table lists every scanline.
        if (kHeaderSize + 4ull * h.height > bytes.size())
            failStreamRead(kFormat);
        LoadedPicture picture;
        picture.bitmap = makeBitmap(h.width, h.height, alpha ? 32 : 24, kFormat);
        const std::size_t bpp = alpha ? 4 : 3;

        ByteCursor table(bytes, kFormat);
        table.seek(kHeaderSize);
        // The offset table lists the scanlines from the bottom one up.
        for (int y = 0; y < h.height; ++y) {
            const std::uint32_t offset = table.be32();
            ByteCursor in(bytes, kFormat);
            in.seek(offset);
            std::uint8_t* row = picture.bitmap.row(y);
            for (int c = 0; c < h.colourChannels; ++c) {
                const std::vector<std::uint16_t> v = readChannel(in, h.width, h.colourBits);
                for (int x = 0; x < h.width; ++x) {
                    const std::uint8_t level = to8(v[x], h.colourBits);
                    if (h.colourChannels == 1)
                        row[bpp * x] = row[bpp * x + 1] = row[bpp * x + 2] = level;
                    else
                        row[bpp * x + 2 - c] = level;  // red, green, blue into B,G,R
                }
            }
            for (int m = 0; m < h.matteChannels; ++m) {
                const std::vector<std::uint16_t> v = readChannel(in, h.width, h.matteBits);
                if (m == 0)
                    for (int x = 0; x < h.width; ++x)
                        row[bpp * x + 3] = to8(v[x], h.matteBits);
            }
            // Auxiliary channels (depth, ...) are not part of the picture; their
            // records need not be read.
        }
        if (h.matteChannels > 1)
            picture.problems.push_back("only the first of " + std::to_string(h.matteChannels) +
                                       " matte channels is shown as alpha");
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTRLAGraphic()
{
    return std::make_unique<TRLAGraphic>();
}

}  // namespace pictures
