#include "pictures/picture_io.h"

#include <algorithm>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "imagelib/jpeg.h"
#include "platform/files.h"
#include "pictures/picture_errors.h"
#include "pictures/registry.h"
#include "pictures/viewer_classes.h"
#include "pictures/viewer_extensions.h"

namespace pictures {

namespace {

// The platform JPEG writer's default quality, used by the JPEG save entry.
constexpr int kDefaultJpegQuality = 90;

std::string upperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c); });
    return text;
}

bool isJpegExtension(const std::string& e)
{
    return e == ".jpg" || e == ".jpeg" || e == ".jpe";
}

void loadThroughClass(const PictureFormat& format, const std::string& fileName, const LoadOptions& options,
                      OpenResult& result)
{
    result.className = format.className;
    try {
        const std::unique_ptr<PictureClass> picture = format.create();
        if (auto* viewerClass = dynamic_cast<const ViewerPictureClass*>(picture.get())) {
            result.picture = viewerClass->loadFile(fileName, options, result.report);
            if (result.picture.bitmap.empty())
                result.error = imagelib::GetImageErrorText();
            return;
        }
        const platform::FileContents contents = platform::readWholeFile(fileName);
        if (contents.status != platform::ReadStatus::Ok) {
            imagelib::SetLastImageError(contents.status == platform::ReadStatus::CannotOpen
                                            ? imagelib::kImageCannotOpen
                                            : imagelib::kImageReadError);
            result.error = imagelib::GetImageErrorText();
            return;
        }
        result.picture = picture->load(contents.bytes, fileName);
        if (result.picture.bitmap.empty())
            result.error = invalidFormatText(upperCase(format.extension));
    } catch (const PictureFormatError& e) {
        result.picture = LoadedPicture{};
        result.error = e.what();
    } catch (const std::bad_alloc&) {
        result.picture = LoadedPicture{};
        imagelib::SetLastImageError(imagelib::kImageNoMemory);
        result.error = imagelib::GetImageErrorText();
    }
}

// The library picks its writer by the first three letters of the extension,
// which .tiff, .jpeg and .jpe do not match; a name kept as given goes straight
// to the chosen format's writer instead, and must carry one of its extensions.
int saveUnderGivenName(const platform::Bitmap& bitmap, const std::string& fileName, int index, const void* options)
{
    if (saveIndexForName(fileName) != index) {
        imagelib::SetLastImageError(imagelib::kImageBadExtension);
        return imagelib::kImageBadExtension;
    }
    imagelib::ImageRecord record;
    const int converted = imagelib::BitmapToImageRecord(&bitmap, record, 1);
    if (converted != imagelib::kImageNoError)
        return converted;
    switch (index) {
    case 1: return imagelib::SaveWsqFile(fileName, record, static_cast<const imagelib::WsqImageInfo*>(options));
    case 2: return imagelib::SaveBmpFile(fileName, record);
    case 3: return imagelib::SaveTiffFile(fileName, record, static_cast<const imagelib::TiffOptions*>(options));
    case 4: return imagelib::SavePngFile(fileName, record);
    case 5: return imagelib::SaveJpegFile(fileName, record, static_cast<const imagelib::JpegOptions*>(options)->quality);
    case 6: return imagelib::SaveTgaFile(fileName, record);
    default: return imagelib::SaveSgiFile(fileName, record);
    }
}

}  // namespace

OpenResult openPicture(const std::string& fileName, const LoadOptions& options)
{
    OpenResult result;
    const std::string extension = lowerCaseExtension(fileName);
    if (!isViewerExtension(fileName))
        return result;
    result.known = true;
    // The JPEG extensions take the platform JPEG class; every other one the
    // registry's newest class, which for the viewer's own extensions is the
    // viewer's class.
    const PictureFormat* format = pictureRegistry().find(isJpegExtension(extension) ? "jpg" : extension);
    if (!format) {
        imagelib::SetLastImageError(imagelib::kImageBadExtension);
        result.error = imagelib::GetImageErrorText();
        return result;
    }
    loadThroughClass(*format, fileName, options, result);
    return result;
}

std::string saveExtension(int filterIndex)
{
    static const char* const extensions[] = {".wsq", ".bmp", ".tif", ".png", ".jpg", ".tga", ".rgb"};
    return filterIndex >= 1 && filterIndex <= 7 ? extensions[filterIndex - 1] : "";
}

int saveIndexForName(const std::string& fileName)
{
    const std::string e = lowerCaseExtension(fileName);
    if (e == ".tiff")
        return 3;
    if (e == ".jpeg" || e == ".jpe")
        return 5;
    for (int i = 1; i <= 7; ++i)
        if (e == saveExtension(i))
            return i;
    return 0;
}

std::string replaceFileExtension(const std::string& fileName, const std::string& extension)
{
    const std::size_t slash = fileName.find_last_of('/');
    const std::size_t start = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string::npos || dot < start)
        return fileName + extension;
    return fileName.substr(0, dot) + extension;
}

SaveResult savePicture(const platform::Bitmap& bitmap, const std::string& fileName, const SaveOptions& options)
{
    SaveResult result;
    const std::string extension = saveExtension(options.filterIndex);
    if (extension.empty()) {
        imagelib::SetLastImageError(imagelib::kImageBadExtension);
        result.code = imagelib::kImageBadExtension;
        result.error = imagelib::GetImageErrorText();
        return result;
    }
    result.fileName = options.replaceExtension ? replaceFileExtension(fileName, extension) : fileName;
    const platform::Bitmap source = bitmap.bitsPerPixel() == 24 ? bitmap : convertTo24Bit(bitmap);

    imagelib::WsqImageInfo wsq{24, options.wsq.Bitrate, options.wsq.Ppi, options.wsq.Comment};
    imagelib::JpegOptions jpeg{kDefaultJpegQuality};
    const void* saveOptions = nullptr;
    if (options.filterIndex == 1)
        saveOptions = &wsq;
    else if (options.filterIndex == 3)
        saveOptions = &options.tiff;
    else if (options.filterIndex == 5)
        saveOptions = &jpeg;
    if (options.replaceExtension)
        result.code = imagelib::SaveBitmapToImage(&source, result.fileName, saveOptions);
    else
        result.code = saveUnderGivenName(source, result.fileName, options.filterIndex, saveOptions);
    if (result.code != 0)
        result.error = imagelib::GetImageErrorText();
    return result;
}

platform::Bitmap convertTo24Bit(const platform::Bitmap& source)
{
    if (source.empty())
        return {};
    platform::Bitmap out(source.width(), source.height(), 24);
    const auto& palette = source.palette();
    const int depth = source.bitsPerPixel();
    for (int y = 0; y < source.height(); ++y) {
        const std::uint8_t* in = source.row(y);
        std::uint8_t* o = out.row(y);
        for (int x = 0; x < source.width(); ++x, o += 3) {
            if (depth <= 8) {
                const int perByte = 8 / depth;
                const unsigned shift = static_cast<unsigned>(8 - depth * (x % perByte + 1));
                const unsigned index = (in[x / perByte] >> shift) & ((1u << depth) - 1);
                const platform::RgbQuad c = index < palette.size() ? palette[index] : platform::RgbQuad{};
                o[0] = c.blue;
                o[1] = c.green;
                o[2] = c.red;
            } else if (depth == 16) {
                const unsigned w = in[2 * x] | (in[2 * x + 1] << 8);
                o[0] = static_cast<std::uint8_t>((w & 31) << 3);
                o[1] = static_cast<std::uint8_t>(((w >> 5) & 31) << 3);
                o[2] = static_cast<std::uint8_t>(((w >> 10) & 31) << 3);
            } else {
                const int bytes = depth / 8;
                std::copy_n(in + bytes * x, 3, o);
            }
        }
    }
    return out;
}

}  // namespace pictures
