#include "pictures/autodesk_graphic.h"

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "pictures/decoder_support.h"

namespace pictures {

namespace {

const std::string kFormat = "Autodesk";
constexpr std::uint16_t kCelMagic = 0x9119;

bool isCel(Bytes b)
{
    return b.size() >= 32 && le16At(b, 0) == kCelMagic;
}

bool isFlic(Bytes b)
{
    return b.size() >= 128 && (le16At(b, 4) == 0xAF11 || le16At(b, 4) == 0xAF12);
}

[[noreturn]] void failWithCode(int code)
{
    switch (code) {
    case imagelib::kImageReadError: failStreamRead(kFormat);
    case imagelib::kImageCorruptFile: failCompression(kFormat);
    default: failInvalidFormat(kFormat);
    }
}

class TAutodeskGraphic final : public PictureClass {
public:
    std::string className() const override { return "TAutodeskGraphic"; }
    bool canLoad(Bytes bytes) const override { return isCel(bytes) || isFlic(bytes); }

    PictureProperties readProperties(Bytes bytes) const override
    {
        PictureProperties p;
        if (isCel(bytes)) {
            p.width = le16At(bytes, 2);
            p.height = le16At(bytes, 4);
            p.compression = bytes[11] == 0 ? "none" : "unknown";
        } else if (isFlic(bytes)) {
            p.width = le16At(bytes, 8);
            p.height = le16At(bytes, 10);
            p.compression = "RLE";
        } else {
            failInvalidFormat(kFormat);
        }
        p.bitsPerSample = 8;
        p.samplesPerPixel = 1;
        p.colorScheme = "indexed";
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        if (!canLoad(bytes))
            failInvalidFormat(kFormat);
        imagelib::ImageRecord record;
        record.rowPadding = 1;
        const std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
        if (const int code = imagelib::LoadCelBytes(copy, &record))
            failWithCode(code);
        auto bitmap = imagelib::ImageRecordToBitmap(record, 0);
        if (!bitmap)
            failInvalidFormat(kFormat);
        LoadedPicture picture;
        picture.bitmap = std::move(*bitmap);
        return picture;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTAutodeskGraphic()
{
    return std::make_unique<TAutodeskGraphic>();
}

}  // namespace pictures
