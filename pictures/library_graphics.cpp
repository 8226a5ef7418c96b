// Classes whose formats the image file library already reads: they recognise
// the bytes, read the header's properties and decode with the library's reader.
// The other classes hand the library the variants it reads as well as they do.
#include <cstdio>
#include <functional>
#include <vector>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "pictures/header_probes.h"
#include "pictures/library_decode.h"
#include "pictures/picture_classes.h"
#include "pictures/picture_errors.h"

namespace pictures {

namespace {

using Probe = std::optional<PictureProperties> (*)(Bytes);

class LibraryGraphic : public PictureClass {
public:
    LibraryGraphic(std::string className, std::string format, Probe probe, LibraryReader reader)
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
        return decodeWithLibrary(bytes, reader_, format_);
    }

private:
    std::string className_;
    std::string format_;
    Probe probe_;
    LibraryReader reader_;
};

}  // namespace

LoadedPicture decodeWithLibrary(Bytes bytes, LibraryReader reader, const std::string& format)
{
    const std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    imagelib::ImageRecord record;
    record.rowPadding = 1;  // bitmap rows, as LoadImageToBitmap asks for them
    const int code = reader(copy, &record);
    if (code != imagelib::kImageNoError)
        fail(libraryFailureText(code, format));
    std::unique_ptr<platform::Bitmap> bitmap = imagelib::ImageRecordToBitmap(record, imagelib::kAlphaKeep);
    if (!bitmap)
        fail(libraryFailureText(imagelib::GetLastImageError(), format));
    LoadedPicture picture;
    picture.bitmap = std::move(*bitmap);
    return picture;
}

std::unique_ptr<PictureClass> makeTargaGraphic()
{
    // Colour maps of 5-bit channels widened by bit replication, so white stays white.
    const auto load = [](const std::vector<std::uint8_t>& bytes, imagelib::ImageRecord* record) {
        return imagelib::LoadTgaBytes(bytes, record, imagelib::TgaReadOptions{true});
    };
    return std::make_unique<LibraryGraphic>("TTargaGraphic", "Targa", probe::targa, load);
}

}  // namespace pictures
