#include "pictures/viewer_classes.h"

#include "imagelib/image_library.h"
#include "pictures/header_probes.h"
#include "pictures/picture_depth.h"
#include "pictures/picture_classes.h"
#include "pictures/picture_errors.h"

namespace pictures {

namespace {

std::optional<PictureProperties> noProperties(Bytes)
{
    return std::nullopt;
}

}  // namespace

bool ViewerPictureClass::canLoad(Bytes bytes) const
{
    if (info_ == Info::Tiff)
        return probe::tiffSignature(bytes);
    return probe_(bytes).has_value();
}

PictureProperties ViewerPictureClass::readProperties(Bytes bytes) const
{
    if (info_ == Info::Tiff) {
        // The TIFF header's properties live in its first directory.
        std::unique_ptr<PictureClass> tiff = makeTiffGraphic();
        return tiff->readProperties(bytes);
    }
    std::optional<PictureProperties> p = probe_(bytes);
    if (!p)
        fail(invalidFormatText(format_));
    return *p;
}

LoadedPicture ViewerPictureClass::load(Bytes, const std::string& sourceName) const
{
    LoadReport report;
    LoadedPicture picture = loadFile(sourceName, LoadOptions{}, report);
    if (picture.bitmap.empty())
        fail(imagelib::GetImageErrorText());
    return picture;
}

LoadedPicture ViewerPictureClass::loadFile(const std::string& fileName, const LoadOptions& options,
                                           LoadReport& report) const
{
    imagelib::WsqImageInfo wsq;
    imagelib::TiffOptions tiff;
    void* info = info_ == Info::Wsq ? static_cast<void*>(&wsq) : info_ == Info::Tiff ? &tiff : nullptr;
    std::unique_ptr<platform::Bitmap> bitmap = imagelib::LoadImageToBitmap(fileName, info, options.alphaMode);
    if (info_ == Info::Wsq)
        report.wsqInfo = wsq;
    else if (info_ == Info::Tiff)
        report.tiffOptions = tiff;
    LoadedPicture picture;
    if (!bitmap)
        return picture;
    picture.bitmap = std::move(*bitmap);
    if (info_ == Info::Wsq) {
        // The library hands a WSQ print over as 24-bit g,g,g; it is 8-bit gray.
        picture.bitmap = toIdentityGray(picture.bitmap);
        if (wsq.Ppi > 0)
            picture.resolution = imagelib::uniformResolution(wsq.Ppi);
    } else if (info_ == Info::Tiff || format_ == "PNG") {
        picture.resolution = imagelib::ReadImageResolution(fileName);
    }
    return picture;
}

std::unique_ptr<PictureClass> makeWsqImage()
{
    return std::make_unique<ViewerPictureClass>("TWSQImage", "WSQ", probe::wsq, ViewerPictureClass::Info::Wsq);
}

std::unique_ptr<PictureClass> makeTiffImage()
{
    return std::make_unique<ViewerPictureClass>("TTIFFImage", "TIFF", noProperties, ViewerPictureClass::Info::Tiff);
}

std::unique_ptr<PictureClass> makePngImage()
{
    return std::make_unique<ViewerPictureClass>("TPNGImage", "PNG", probe::png, ViewerPictureClass::Info::None);
}

std::unique_ptr<PictureClass> makeGifImage()
{
    return std::make_unique<ViewerPictureClass>("TGIFImage", "GIF", probe::gif, ViewerPictureClass::Info::None);
}

std::unique_ptr<PictureClass> makeTgaImage()
{
    return std::make_unique<ViewerPictureClass>("TTGAImage", "Targa", probe::targa, ViewerPictureClass::Info::None);
}

std::unique_ptr<PictureClass> makeCelImage()
{
    return std::make_unique<ViewerPictureClass>("TCELImage", "CEL", probe::autodeskCel,
                                                ViewerPictureClass::Info::None);
}

std::unique_ptr<PictureClass> makeRgbImage()
{
    return std::make_unique<ViewerPictureClass>("TRGBImage", "SGI", probe::sgi, ViewerPictureClass::Info::None);
}

std::unique_ptr<PictureClass> makePcxImage()
{
    return std::make_unique<ViewerPictureClass>("TPCXImage", "PCX", probe::pcx, ViewerPictureClass::Info::None);
}

std::unique_ptr<PictureClass> makeIffImage()
{
    return std::make_unique<ViewerPictureClass>("TIFFImage", "IFF", probe::amigaIff, ViewerPictureClass::Info::None);
}

}  // namespace pictures
