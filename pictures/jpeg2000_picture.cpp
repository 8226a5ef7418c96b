#include "pictures/jpeg2000_picture.h"

#include "imagelib/memory_codecs.h"

namespace pictures {

namespace {

const char* const kInvalidJpeg2000 = "Cannot load image. Invalid or unexpected JPEG 2000 image format.";

class Jpeg2000Picture : public PictureClass {
public:
    std::string className() const override { return "TJPEG2000Graphic"; }

    bool canLoad(Bytes bytes) const override { return imagelib::looksLikeJpeg2000(bytes.data(), bytes.size()); }

    // The codestream's header alone does not say everything the properties
    // need in one place, so the picture is decoded.
    PictureProperties readProperties(Bytes bytes) const override
    {
        const imagelib::DecodedPicture d = decode(bytes);
        PictureProperties p;
        p.width = d.bitmap.width();
        p.height = d.bitmap.height();
        p.bitsPerSample = 8;
        p.samplesPerPixel = d.channels;
        p.colorScheme = d.channels == 1 ? "gray" : "RGB";
        p.compression = "JPEG 2000";
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string& /*sourceName*/) const override
    {
        imagelib::DecodedPicture d = decode(bytes);
        LoadedPicture picture;
        picture.bitmap = std::move(d.bitmap);
        return picture;
    }

private:
    static imagelib::DecodedPicture decode(Bytes bytes)
    {
        if (!imagelib::looksLikeJpeg2000(bytes.data(), bytes.size()))
            throw PictureFormatError(kInvalidJpeg2000);
        imagelib::DecodedPicture d = imagelib::decodeJpeg2000Bytes(bytes.data(), bytes.size());
        if (!d.error.empty() || d.bitmap.empty())
            throw PictureFormatError(kInvalidJpeg2000);
        return d;
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeJpeg2000Picture()
{
    return std::make_unique<Jpeg2000Picture>();
}

}  // namespace pictures
