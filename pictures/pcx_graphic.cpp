// TPCXGraphic: ZSoft Paintbrush pictures (.pcx, .pcc, .scr). Four-colour CGA
// pictures (2 bits per pixel in one plane) are decoded here; every other layout
// is the image file library's.
#include <array>
#include <cstring>

#include "imagelib/formats.h"
#include "pictures/decoder_support.h"
#include "pictures/header_probes.h"
#include "pictures/library_decode.h"
#include "pictures/picture_classes.h"

namespace pictures {

namespace {

const std::string kFormat = "PCX";
constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kHeaderPalette = 16;

// The sixteen colours of the CGA.
constexpr std::array<platform::RgbQuad, 16> kCgaColours = {{
    {0x00, 0x00, 0x00, 0}, {0xAA, 0x00, 0x00, 0}, {0x00, 0xAA, 0x00, 0}, {0xAA, 0xAA, 0x00, 0},
    {0x00, 0x00, 0xAA, 0}, {0xAA, 0x00, 0xAA, 0}, {0x00, 0x55, 0xAA, 0}, {0xAA, 0xAA, 0xAA, 0},
    {0x55, 0x55, 0x55, 0}, {0xFF, 0x55, 0x55, 0}, {0x55, 0xFF, 0x55, 0}, {0xFF, 0xFF, 0x55, 0},
    {0x55, 0x55, 0xFF, 0}, {0xFF, 0x55, 0xFF, 0}, {0x55, 0xFF, 0xFF, 0}, {0xFF, 0xFF, 0xFF, 0},
}};  // blue, green, red

bool isCga(Bytes b)
{
    return b.size() >= kHeaderSize && b[3] == 2 && b[65] == 1;
}

// A CGA picture keeps the colour registers in the header palette: the
// background colour in the high nibble of its first byte, the foreground
// palette in the top bits of its fourth (bit 7 colour burst off, bit 6 the
// cyan/magenta palette, bit 5 high intensity). Writers that store the four
// colours as red, green, blue triples fill more of the palette than those two
// bytes; their triples are taken as they are.
std::array<platform::RgbQuad, 4> cgaPalette(Bytes b)
{
    const std::uint8_t* p = b.data() + kHeaderPalette;
    std::array<platform::RgbQuad, 4> colours{};
    bool registersOnly = (p[0] & 0x0F) == 0 && (p[3] & 0x1F) == 0 && p[1] == 0 && p[2] == 0;
    for (int i = 4; i < 12; ++i)
        registersOnly = registersOnly && p[i] == 0;
    if (!registersOnly) {
        for (int i = 0; i < 4; ++i)
            colours[i] = {p[3 * i + 2], p[3 * i + 1], p[3 * i], 0};
        return colours;
    }
    const bool burstOff = p[3] & 0x80, cyanMagenta = p[3] & 0x40, bright = p[3] & 0x20;
    // Green, red, brown; cyan, magenta, light gray; with the burst off cyan, red, light gray.
    const std::array<int, 3> foreground = burstOff ? std::array<int, 3>{3, 4, 7}
                                          : cyanMagenta ? std::array<int, 3>{3, 5, 7}
                                                        : std::array<int, 3>{2, 4, 6};
    colours[0] = kCgaColours[p[0] >> 4];
    for (int i = 0; i < 3; ++i)
        colours[i + 1] = kCgaColours[foreground[i] + (bright ? 8 : 0)];
    return colours;
}

// Run-length or plain rows of bytesPerLine bytes; a run may reach into the
// next row.
class RowReader {
public:
    RowReader(Bytes bytes, bool runLength) : in_(bytes, kFormat), runLength_(runLength) { in_.seek(kHeaderSize); }

    void read(std::uint8_t* out, std::size_t size)
    {
        if (!runLength_) {
            std::memcpy(out, in_.take(size), size);
            return;
        }
        std::size_t produced = 0;
        while (produced < size) {
            if (runLeft_ == 0) {
                const std::uint8_t b = in_.u8();
                if ((b & 0xC0) != 0xC0) {
                    out[produced++] = b;
                    continue;
                }
                runLeft_ = b & 0x3F;
                runValue_ = in_.u8();
            }
            const std::size_t n = std::min(runLeft_, size - produced);
            std::memset(out + produced, runValue_, n);
            produced += n;
            runLeft_ -= n;
        }
    }

private:
    ByteCursor in_;
    bool runLength_;
    std::size_t runLeft_ = 0;
    std::uint8_t runValue_ = 0;
};

// Two-bit pixels into a 4-bit bitmap, one index per nibble.
LoadedPicture loadCga(Bytes bytes, const PictureProperties& p)
{
    const std::size_t bytesPerLine = le16At(bytes, 66);
    if (bytesPerLine < (std::size_t(p.width) * 2 + 7) / 8)
        failInvalidFormat(kFormat);
    LoadedPicture picture;
    picture.bitmap = makeBitmap(p.width, p.height, 4, kFormat);
    const std::array<platform::RgbQuad, 4> colours = cgaPalette(bytes);
    std::copy(colours.begin(), colours.end(), picture.bitmap.palette().begin());
    // Every row takes at least one byte of the file.
    if (std::uint64_t(p.height) > bytes.size())
        failStreamRead(kFormat);
    RowReader rows(bytes, bytes[2] == 1);
    std::vector<std::uint8_t> line(bytesPerLine);
    for (int y = 0; y < p.height; ++y) {
        rows.read(line.data(), line.size());
        std::uint8_t* out = picture.bitmap.topRow(y);
        for (int x = 0; x < p.width; ++x) {
            const unsigned index = (line[x / 4] >> (6 - 2 * (x % 4))) & 3u;
            out[x / 2] |= static_cast<std::uint8_t>(x % 2 ? index : index << 4);
        }
    }
    return picture;
}

class TPCXGraphic final : public PictureClass {
public:
    std::string className() const override { return "TPCXGraphic"; }
    bool canLoad(Bytes bytes) const override { return probe::pcx(bytes).has_value(); }
    PictureProperties readProperties(Bytes bytes) const override
    {
        const std::optional<PictureProperties> p = probe::pcx(bytes);
        if (!p)
            failInvalidFormat(kFormat);
        return *p;
    }
    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        const PictureProperties p = readProperties(bytes);
        if (isCga(bytes))
            return loadCga(bytes, p);
        return decodeWithLibrary(bytes, imagelib::LoadPcxBytes, kFormat);
    }
};

}  // namespace

std::unique_ptr<PictureClass> makePcxGraphic()
{
    return std::make_unique<TPCXGraphic>();
}

}  // namespace pictures
