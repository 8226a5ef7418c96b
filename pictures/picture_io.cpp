#include "pictures/picture_io.h"

#include <algorithm>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "imagelib/jpeg.h"
#include "platform/files.h"
#include "pictures/picture_depth.h"
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

Resolution resolutionOfBytes(const std::vector<std::uint8_t>& bytes)
{
    Resolution r = imagelib::psdResolution(bytes.data(), bytes.size());
    return r.known() ? r : imagelib::pngResolution(bytes.data(), bytes.size());
}

// A class that decodes through a colour interface (TIFF's RGBA reading, the
// bitmap reader's palette lookup) hands a gray or gray-palette file over as
// 24-bit g,g,g; the picture travels on as the gray it is. Colour files stay
// colour, whatever their pixels.
void keepGrayAsGray(const PictureClass& picture, const std::vector<std::uint8_t>& bytes, platform::Bitmap& bitmap)
{
    if (bitmap.bitsPerPixel() != 24)
        return;
    try {
        const std::string scheme = picture.readProperties(bytes).colorScheme;
        if (scheme != "gray" && scheme != "indexed")
            return;
    } catch (const PictureFormatError&) {
        return;
    }
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 3)
            if (p[0] != p[1] || p[1] != p[2])
                return;
    }
    bitmap = toIdentityGray(bitmap);
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
        // Classes that decode the pixels only (Photoshop) leave the
        // resolution to the file's own record of it.
        if (!result.picture.resolution.known())
            result.picture.resolution = resolutionOfBytes(contents.bytes);
        keepGrayAsGray(*picture, contents.bytes, result.picture.bitmap);
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

// A writer's code outside the library's table (a WSQ encoder failure) keeps
// the table code the writer recorded, so the error text names a real reason.
int recordSaveResult(int code)
{
    if (code >= 0 && code < imagelib::kImageErrorCount)
        imagelib::SetLastImageError(code);
    else if (imagelib::GetLastImageError() == imagelib::kImageNoError)
        imagelib::SetLastImageError(imagelib::kImageCorrupted);
    return code;
}

// The writer of a save index with the typed options: the library's writers,
// given the resolution where their format has a field for it.
int writeRecord(const imagelib::ImageRecord& record, const std::string& fileName, const SaveOptions& options,
                const imagelib::WsqImageInfo& wsq)
{
    const Resolution& resolution = options.resolution;
    switch (options.filterIndex) {
    case 1: return imagelib::SaveWsqFile(fileName, record, &wsq);
    case 2: return imagelib::SaveBmpFile(fileName, record, resolution);
    case 3: return imagelib::SaveTiffFile(fileName, record, &options.tiff, resolution);
    case 4: return imagelib::SavePngFile(fileName, record, resolution);
    case 5: return imagelib::SaveJpegFile(fileName, record, kDefaultJpegQuality, resolution);
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

std::optional<int> wsqPpiOf(const Resolution& resolution)
{
    const std::optional<std::uint32_t> ppi =
        imagelib::wholePpi(resolution.horizontal ? resolution.horizontal : resolution.vertical, 1000000);
    return ppi ? std::optional<int>(static_cast<int>(*ppi)) : std::nullopt;
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
    imagelib::SetLastImageError(imagelib::kImageNoError);
    // The index chooses the writer; a name kept as given must carry one of
    // that format's extensions (.tiff, .jpeg and .jpe included).
    if (saveIndexForName(result.fileName) != options.filterIndex) {
        result.code = recordSaveResult(imagelib::kImageBadExtension);
        result.error = imagelib::GetImageErrorText();
        return result;
    }
    // Pixels and alpha as read: no un-blending, since nothing blended them.
    imagelib::ImageRecord record;
    const platform::Bitmap source = pictureForSave(bitmap, options.filterIndex);
    result.code = imagelib::BitmapToImageRecord(&source, record, 0);
    if (result.code == imagelib::kImageNoError) {
        const imagelib::WsqImageInfo wsq{24, options.wsq.Bitrate, options.wsq.Ppi, options.wsq.Comment};
        result.code = recordSaveResult(writeRecord(record, result.fileName, options, wsq));
    }
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
