// Classes whose formats the image file library already reads: they recognise
// the bytes, read the header's properties and decode with the library's reader.
#include <cstdio>
#include <functional>
#include <vector>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "pictures/header_probes.h"
#include "pictures/picture_classes.h"
#include "pictures/picture_errors.h"

namespace pictures {

namespace {

using Probe = std::optional<PictureProperties> (*)(Bytes);
using BytesReader = int (*)(const std::vector<std::uint8_t>&, imagelib::ImageRecord*);

class LibraryGraphic : public PictureClass {
public:
    LibraryGraphic(std::string className, std::string format, Probe probe, BytesReader reader)
        : className_(std::move(className)), format_(std::move(format)), probe_(probe), reader_(reader)
    {
    }
    std::string className() const override { return className_; }
    bool canLoad(Bytes bytes) const override { return probe_(bytes).has_value(); }
    PictureProperties readProperties(Bytes bytes) const override
    {
        std::optional<PictureProperties> p = probe_(bytes);
        if (!p)
            fail(invalidFormatText(format_));
        return *p;
    }
    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        readProperties(bytes);
        const std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
        imagelib::ImageRecord record;
        record.rowPadding = 1;  // bitmap rows, as LoadImageToBitmap asks for them
        const int code = reader_(copy, &record);
        if (code != imagelib::kImageNoError)
            fail(libraryFailureText(code, format_));
        std::unique_ptr<platform::Bitmap> bitmap = imagelib::ImageRecordToBitmap(record, imagelib::kAlphaKeep);
        if (!bitmap)
            fail(libraryFailureText(imagelib::GetLastImageError(), format_));
        LoadedPicture picture;
        picture.bitmap = std::move(*bitmap);
        return picture;
    }

private:
    std::string className_;
    std::string format_;
    Probe probe_;
    BytesReader reader_;
};

// Reads the source file by name through one of the library's file readers.
using FileReader = int (*)(const std::string&, imagelib::ImageRecord*);

class LibraryFileClass : public PictureClass {
public:
    LibraryFileClass(std::string className, std::string format, Probe probe, FileReader reader)
        : className_(std::move(className)), format_(std::move(format)), probe_(probe), reader_(reader)
    {
    }
    std::string className() const override { return className_; }
    bool canLoad(Bytes bytes) const override { return probe_(bytes).has_value(); }
    PictureProperties readProperties(Bytes bytes) const override
    {
        std::optional<PictureProperties> p = probe_(bytes);
        if (!p)
            fail(invalidFormatText(format_));
        return *p;
    }
    LoadedPicture load(Bytes bytes, const std::string& sourceName) const override
    {
        readProperties(bytes);
        if (sourceName.empty())
            fail(streamReadErrorText(format_));
        imagelib::ImageRecord record;
        record.rowPadding = 1;
        const int code = reader_(sourceName, &record);
        if (code != imagelib::kImageNoError)
            fail(libraryFailureText(code, format_));
        std::unique_ptr<platform::Bitmap> bitmap = imagelib::ImageRecordToBitmap(record, imagelib::kAlphaKeep);
        if (!bitmap)
            fail(libraryFailureText(imagelib::GetLastImageError(), format_));
        LoadedPicture picture;
        picture.bitmap = std::move(*bitmap);
        return picture;
    }

private:
    std::string className_;
    std::string format_;
    Probe probe_;
    FileReader reader_;
};

class UnavailableClass : public PictureClass {
public:
    UnavailableClass(std::string className, std::string format)
        : className_(std::move(className)), format_(std::move(format))
    {
    }
    std::string className() const override { return className_; }
    bool canLoad(Bytes) const override { return false; }
    PictureProperties readProperties(Bytes) const override { fail(notSupportedText("Decoding", format_)); }
    LoadedPicture load(Bytes, const std::string&) const override { fail(notSupportedText("Decoding", format_)); }

private:
    std::string className_;
    std::string format_;
};

}  // namespace

std::unique_ptr<PictureClass> makeTargaGraphic()
{
    return std::make_unique<LibraryGraphic>("TTargaGraphic", "Targa", probe::targa, imagelib::LoadTgaBytes);
}

std::unique_ptr<PictureClass> makeSgiGraphic()
{
    return std::make_unique<LibraryGraphic>("TSGIGraphic", "SGI", probe::sgi, imagelib::LoadSgiBytes);
}

std::unique_ptr<PictureClass> makePsdGraphic()
{
    return std::make_unique<LibraryGraphic>("TPSDGraphic", "Photoshop", probe::photoshop, imagelib::LoadPsdBytes);
}

std::unique_ptr<PictureClass> makePcxGraphic()
{
    return std::make_unique<LibraryGraphic>("TPCXGraphic", "PCX", probe::pcx, imagelib::LoadPcxBytes);
}

std::unique_ptr<PictureClass> makeLibraryBitmap()
{
    return std::make_unique<LibraryFileClass>("TBitmap", "BMP", probe::bmp, imagelib::LoadBmpFile);
}

std::unique_ptr<PictureClass> makeLibraryJpeg()
{
    return std::make_unique<LibraryFileClass>("TJPEGImage", "JPEG", probe::jpeg, imagelib::LoadJpegFile);
}

std::unique_ptr<PictureClass> makeUnavailable(const std::string& className, const std::string& formatName)
{
    return std::make_unique<UnavailableClass>(className, formatName);
}

}  // namespace pictures
