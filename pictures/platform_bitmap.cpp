#include "pictures/platform_bitmap.h"

#include "pictures/decoder_support.h"
#include "pictures/dib_decoder.h"

namespace pictures {

namespace {

const std::string kFormat = "BMP";
constexpr std::size_t kFileHeaderSize = 14;

bool knownHeaderSize(std::uint32_t size)
{
    return size == 12 || (size >= 16 && size <= 64) || size == 108 || size == 124;
}

bool hasFileHeader(Bytes b)
{
    return b.size() >= kFileHeaderSize + 4 && b[0] == 'B' && b[1] == 'M';
}

// A packed bitmap (no file header) starts with its info header: a known size and
// one plane.
bool isPackedDib(Bytes b)
{
    if (b.size() < 16 || !knownHeaderSize(le32At(b, 0)))
        return false;
    return le16At(b, 0) == 12 ? le16At(b, 8) == 1 : le16At(b, 12) == 1;
}

DibLayout layoutOf(Bytes b)
{
    DibLayout layout;
    if (hasFileHeader(b)) {
        layout.headerAt = kFileHeaderSize;
        layout.bitsAt = le32At(b, 10);
    } else if (!isPackedDib(b)) {
        failInvalidFormat(kFormat);
    }
    return layout;
}

class TBitmap final : public PictureClass {
public:
    std::string className() const override { return "TBitmap"; }

    bool canLoad(Bytes bytes) const override
    {
        if (hasFileHeader(bytes))
            return knownHeaderSize(le32At(bytes, kFileHeaderSize));
        return isPackedDib(bytes);
    }

    PictureProperties readProperties(Bytes bytes) const override
    {
        const DibLayout layout = layoutOf(bytes);
        const DibInfo d = readDibInfo(bytes, layout.headerAt, false, kFormat);
        PictureProperties p;
        p.width = static_cast<int>(d.width);
        p.height = static_cast<int>(d.height);
        p.bitsPerSample = d.bitsPerPixel <= 8 ? d.bitsPerPixel : 8;
        p.samplesPerPixel = d.bitsPerPixel <= 8 ? 1 : d.bitsPerPixel == 32 ? 4 : 3;
        p.colorScheme = d.bitsPerPixel <= 8 ? "indexed" : d.bitsPerPixel == 32 ? "RGBA" : "RGB";
        if (d.bitsPerPixel == 16)
            p.bitsPerSample = 5;
        p.compression = d.compressionName;
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        const DibLayout layout = layoutOf(bytes);
        DibDecoded decoded = decodeDib(bytes, layout, kFormat);
        const DibInfo d = readDibInfo(bytes, layout.headerAt, false, kFormat);
        LoadedPicture picture;
        picture.bitmap = std::move(decoded.bitmap);
        picture.problems = std::move(decoded.problems);
        if (d.xPelsPerMeter > 0)
            picture.resolution.horizontal = imagelib::ppiFromPixelsPerMetre(static_cast<std::uint32_t>(d.xPelsPerMeter));
        if (d.yPelsPerMeter > 0)
            picture.resolution.vertical = imagelib::ppiFromPixelsPerMetre(static_cast<std::uint32_t>(d.yPelsPerMeter));
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTBitmap()
{
    return std::make_unique<TBitmap>();
}

}  // namespace pictures
