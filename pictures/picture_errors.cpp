#include "pictures/picture_errors.h"

#include "imagelib/image_record.h"

namespace pictures {

std::string invalidFormatText(const std::string& format)
{
    return "Cannot load image. Invalid or unexpected " + format + " image format.";
}

std::string invalidColorFormatText(const std::string& format)
{
    return "Invalid color format in " + format + " file.";
}

std::string streamReadErrorText(const std::string& format)
{
    return "Stream read error in " + format + " file.";
}

std::string notSupportedText(const std::string& what, const std::string& format)
{
    return "Cannot load image. " + what + " not supported for " + format + " files.";
}

std::string crcErrorText(const std::string& format)
{
    return "Cannot load image. CRC error found in " + format + " file.";
}

std::string compressionErrorText(const std::string& format)
{
    return "Cannot load image. Compression error found in " + format + " file.";
}

std::string invalidPaletteText(const std::string& format)
{
    return "Cannot load image. Palette in " + format + " file is invalid.";
}

std::string libraryFailureText(int code, const std::string& format)
{
    switch (code) {
    case imagelib::kImageBadDepth:
        return invalidColorFormatText(format);
    case imagelib::kImageReadError:
        return streamReadErrorText(format);
    case imagelib::kImageUnsupportedOption:
        return notSupportedText("This kind of picture", format);
    default:
        // Corrupt data, an impossible size and a size too large to hold all
        // mean the bytes are not a picture this class can show.
        return invalidFormatText(format);
    }
}

}  // namespace pictures
