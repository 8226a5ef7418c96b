#include "pictures/cut_graphic.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "pictures/decoder_support.h"

namespace pictures {

namespace {

const std::string kFormat = "CUT";
constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kPaletteHeaderSize = 40;
constexpr std::size_t kPaletteBlock = 512;

struct CutHeader {
    int width = 0;
    int height = 0;
};

CutHeader readHeader(Bytes b)
{
    if (b.size() < kHeaderSize)
        failStreamRead(kFormat);
    CutHeader h{le16At(b, 0), le16At(b, 2)};
    if (h.width == 0 || h.height == 0 || h.width > 0x7FFF || h.height > 0x7FFF || le16At(b, 4) != 0)
        failInvalidFormat(kFormat);
    return h;
}

// One row: a byte count, then codes: 0 ends the row, a set top bit repeats the
// next byte (count in the low bits), otherwise that many literal bytes follow.
void decodeRow(ByteCursor& in, std::uint8_t* row, int width)
{
    const std::uint16_t size = in.le16();
    ByteCursor data(in.span(size), kFormat);
    int x = 0;
    while (!data.atEnd()) {
        const std::uint8_t code = data.u8();
        if (code == 0)
            break;
        const int count = code & 0x7F;
        if (code & 0x80) {
            const std::uint8_t v = data.u8();
            for (int i = 0; i < count; ++i, ++x)
                if (x < width)
                    row[x] = v;
        } else {
            const std::uint8_t* p = data.take(count);
            for (int i = 0; i < count; ++i, ++x)
                if (x < width)
                    row[x] = p[i];
        }
    }
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The palette file beside the picture: the same name with the extension .pal,
// in any letter case.
std::optional<std::filesystem::path> findPalette(const std::string& sourceName)
{
    if (sourceName.empty())
        return std::nullopt;
    const std::filesystem::path source(sourceName);
    std::filesystem::path dir = source.parent_path();
    if (dir.empty())
        dir = ".";
    auto lower = [](std::string s) {
        std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return s;
    };
    const std::string wanted = lower(source.stem().string() + ".pal");
    std::error_code ec;
    std::vector<std::filesystem::path> matches;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (lower(it->path().filename().string()) == wanted && it->is_regular_file(ec))
            matches.push_back(it->path());
    if (matches.empty())
        return std::nullopt;
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

// A Dr. Halo palette: "AH", the palette type 0x0A, the highest index and the
// channels' maxima, then 16-bit red, green, blue triples in 512-byte blocks that
// no triple crosses.
std::vector<platform::RgbQuad> readPalette(Bytes b)
{
    if (b.size() < kPaletteHeaderSize || b[0] != 'A' || b[1] != 'H' || b[6] != 0x0A)
        failPalette(kFormat);
    const unsigned count = std::min<unsigned>(le16At(b, 12) + 1u, 256);
    const unsigned maxima[3] = {le16At(b, 14), le16At(b, 16), le16At(b, 18)};
    std::vector<platform::RgbQuad> palette(count);
    std::size_t at = kPaletteHeaderSize;
    for (unsigned i = 0; i < count; ++i) {
        if (at % kPaletteBlock + 6 > kPaletteBlock)
            at = (at / kPaletteBlock + 1) * kPaletteBlock;
        if (at + 6 > b.size())
            failPalette(kFormat);
        std::uint8_t c[3];
        for (int k = 0; k < 3; ++k) {
            const unsigned max = maxima[k] ? maxima[k] : 255;
            c[k] = static_cast<std::uint8_t>(std::min<unsigned>(le16At(b, at + 2 * k), max) * 255 / max);
        }
        palette[i] = {c[2], c[1], c[0], 0};
        at += 6;
    }
    return palette;
}

class TCUTGraphic final : public PictureClass {
public:
    std::string className() const override { return "TCUTGraphic"; }

    bool canLoad(Bytes bytes) const override
    {
        if (bytes.size() < kHeaderSize + 2)
            return false;
        const int w = le16At(bytes, 0), h = le16At(bytes, 2);
        return w > 0 && h > 0 && w <= 0x7FFF && h <= 0x7FFF && le16At(bytes, 4) == 0 &&
               le16At(bytes, kHeaderSize) <= bytes.size() - kHeaderSize - 2;
    }

    PictureProperties readProperties(Bytes bytes) const override
    {
        const CutHeader h = readHeader(bytes);
        PictureProperties p;
        p.width = h.width;
        p.height = h.height;
        p.bitsPerSample = 8;
        p.samplesPerPixel = 1;
        p.colorScheme = "indexed";
        p.compression = "RLE";
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string& sourceName) const override
    {
        const CutHeader h = readHeader(bytes);
        // Every row takes at least its two-byte count.
        if (kHeaderSize + 2ull * h.height > bytes.size())
            failStreamRead(kFormat);
        LoadedPicture picture;
        picture.bitmap = makeBitmap(h.width, h.height, 8, kFormat);
        ByteCursor in(bytes, kFormat);
        in.seek(kHeaderSize);
        int highest = 0;
        for (int y = 0; y < h.height; ++y) {
            std::uint8_t* row = picture.bitmap.topRow(y);
            decodeRow(in, row, h.width);
            highest = std::max<int>(highest, *std::max_element(row, row + h.width));
        }
        auto& palette = picture.bitmap.palette();
        if (const auto path = findPalette(sourceName)) {
            const std::vector<std::uint8_t> file = readFile(*path);
            const std::vector<platform::RgbQuad> colours = readPalette(Bytes(file.data(), file.size()));
            std::copy(colours.begin(), colours.end(), palette.begin());
        } else {
            setGrayPalette(picture.bitmap, highest + 1);
            picture.problems.push_back("no palette file beside the picture; its colours are shown as gray levels");
        }
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTCUTGraphic()
{
    return std::make_unique<TCUTGraphic>();
}

}  // namespace pictures
