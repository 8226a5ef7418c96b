#pragma once
// The image viewer's own picture classes (TWSQImage, TTIFFImage, ...): each
// hands the file name to the image file library and adopts the bitmap it
// returns. The bytes a registry lookup offers are only used to recognise the
// format; loading always reads the named file, with the library's options.
#include <memory>
#include <string>

#include "pictures/picture_class.h"
#include "pictures/picture_io.h"

namespace pictures {

class ViewerPictureClass : public PictureClass {
public:
    enum class Info { None, Wsq, Tiff };
    using Probe = std::optional<PictureProperties> (*)(Bytes);

    ViewerPictureClass(std::string className, std::string format, Probe probe, Info info)
        : className_(std::move(className)), format_(std::move(format)), probe_(probe), info_(info)
    {
    }

    std::string className() const override { return className_; }
    bool canLoad(Bytes bytes) const override;
    PictureProperties readProperties(Bytes bytes) const override;
    // Throws PictureFormatError with the library's error text.
    LoadedPicture load(Bytes bytes, const std::string& sourceName) const override;

    // The viewer's load: the library reads fileName with a fresh WsqImageInfo
    // ({24, 0.75, 500, none}) or a zeroed TiffOptions, which are reported
    // afterwards whether or not the load succeeded. A failed load gives an
    // empty bitmap and leaves the reason as the library's last error.
    LoadedPicture loadFile(const std::string& fileName, const LoadOptions& options, LoadReport& report) const;

private:
    std::string className_;
    std::string format_;
    Probe probe_;
    Info info_;
};

std::unique_ptr<PictureClass> makeWsqImage();   // TWSQImage
std::unique_ptr<PictureClass> makeTiffImage();  // TTIFFImage
std::unique_ptr<PictureClass> makePngImage();   // TPNGImage
std::unique_ptr<PictureClass> makeGifImage();   // TGIFImage
std::unique_ptr<PictureClass> makeTgaImage();   // TTGAImage
std::unique_ptr<PictureClass> makeCelImage();   // TCELImage
std::unique_ptr<PictureClass> makeRgbImage();   // TRGBImage
std::unique_ptr<PictureClass> makePcxImage();   // TPCXImage
std::unique_ptr<PictureClass> makeIffImage();   // TIFFImage (Amiga IFF)

}  // namespace pictures
