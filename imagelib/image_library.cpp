#include "imagelib/image_library.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "imagelib/formats.h"

namespace imagelib {

namespace {

using LoadFunction = int (*)(const std::string& fileName, ImageRecord* record, void* info);
using SaveFunction = int (*)(const std::string& fileName, const ImageRecord& record, const void* options);

struct LoadEntry {
    const char* extension;
    LoadFunction function;  // null: no reader in this build yet (fails with 10)
};

struct SaveEntry {
    const char* extension;
    SaveFunction function;  // null: no writer in this build yet (fails with 10)
};

// Compared in this order; one line per format.
constexpr LoadEntry kLoadTable[] = {
    {"WSQ", [](const std::string& f, ImageRecord* r, void* info) { return LoadWsqFile(f, r, static_cast<WsqImageInfo*>(info)); }},
    {"TIF", [](const std::string& f, ImageRecord* r, void* info) { return LoadTiffFile(f, r, static_cast<TiffOptions*>(info)); }},
    {"PNG", [](const std::string& f, ImageRecord* r, void*) { return LoadPngFile(f, r); }},
    {"JPG", [](const std::string& f, ImageRecord* r, void*) { return LoadJpegFile(f, r); }},
    {"BMP", [](const std::string& f, ImageRecord* r, void*) { return LoadBmpFile(f, r); }},
    {"TGA", [](const std::string& f, ImageRecord* r, void*) { return LoadTgaFile(f, r); }},
    {"CEL", [](const std::string& f, ImageRecord* r, void*) { return LoadCelFile(f, r); }},
    {"RGB", [](const std::string& f, ImageRecord* r, void*) { return LoadSgiFile(f, r); }},
    {"GIF", [](const std::string& f, ImageRecord* r, void*) { return LoadGifFile(f, r); }},
    {"PSD", [](const std::string& f, ImageRecord* r, void*) { return LoadPsdFile(f, r); }},
    {"IFF", [](const std::string& f, ImageRecord* r, void*) { return LoadIffFile(f, r); }},
    {"PCX", [](const std::string& f, ImageRecord* r, void*) { return LoadPcxFile(f, r); }},
};

constexpr SaveEntry kSaveTable[] = {
    {"WSQ", [](const std::string& f, const ImageRecord& r, const void* o) { return SaveWsqFile(f, r, static_cast<const WsqImageInfo*>(o)); }},
    {"TIF", [](const std::string& f, const ImageRecord& r, const void* o) { return SaveTiffFile(f, r, static_cast<const TiffOptions*>(o)); }},
    {"PNG", [](const std::string& f, const ImageRecord& r, const void*) { return SavePngFile(f, r); }},
    {"JPG", [](const std::string& f, const ImageRecord& r, const void* o) { return SaveJpegFile(f, r, o ? static_cast<const JpegOptions*>(o)->quality : 100); }},
    {"BMP", [](const std::string& f, const ImageRecord& r, const void*) { return SaveBmpFile(f, r); }},
    {"RGB", [](const std::string& f, const ImageRecord& r, const void*) { return SaveSgiFile(f, r); }},
    {"TGA", [](const std::string& f, const ImageRecord& r, const void*) { return SaveTgaFile(f, r); }},
};

constexpr std::size_t kSlotSize = 128;

const char* const kErrorTexts[kImageErrorCount] = {
    "No Error",
    "Corrupted file or invalid file format",
    "Invalid bits per pixel for this file format",
    "Memory allocation error",
    "Invalid requested image size",
    "Invalid bitmap handle",
    "Windows API Error",
    "Unable to open file",
    "Unsupported file format option",
    "Invalid pointer to a VOV image",
    "Unsupported file extension",
    "Error reading file",
    "Error writing to the output file",
    "Invalid pointer to a GeoTIFF structure",
    "The background image is undefined",
    "The background image is too small",
    "Corrupt File",
};

// A code outside the table (a codec result passed up unchanged) keeps the table
// code the writer recorded, so the error text always names a real reason.
int recordResult(int code)
{
    if (code >= 0 && code < kImageErrorCount)
        SetLastImageError(code);
    else if (GetLastImageError() == kImageNoError)
        SetLastImageError(kImageCorrupted);
    return code;
}

// The function of the table entry for the file's extension; null without a dot,
// for an extension the table does not list, or for an entry without one.
template <typename Entry, std::size_t N>
auto functionFor(const Entry (&table)[N], const std::string& fileName) -> decltype(table[0].function)
{
    const std::optional<std::string> ext = imageFileExtension(fileName);
    if (!ext)
        return nullptr;
    for (const Entry& entry : table) {
        if (*ext == entry.extension)
            return entry.function;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> imageFileExtension(std::string_view fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos)
        return std::nullopt;
    std::string ext(fileName.substr(dot + 1, 3));
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

int LoadImageByExtension(const std::string& fileName, ImageRecord* record, void* info)
{
    const LoadFunction load = functionFor(kLoadTable, fileName);
    return load ? recordResult(load(fileName, record, info)) : recordImageResult(kImageBadExtension);
}

int SaveImageByExtension(const std::string& fileName, const ImageRecord& record, const void* options)
{
    const SaveFunction save = functionFor(kSaveTable, fileName);
    return save ? recordResult(save(fileName, record, options)) : recordImageResult(kImageBadExtension);
}

static std::unique_ptr<platform::Bitmap> loadImageToBitmap(const std::string& fileName, void* info, int alphaMode);
static int saveBitmapToImage(const platform::Bitmap* bitmap, const std::string& fileName, const void* options);

namespace {
// An allocation that fails outside the readers' own checks (a file name, a
// codec's table) ends the call with 3 like any other memory failure.
template <class Call>
auto failingWithNoMemory(Call call, decltype(call()) onFailure)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        recordImageResult(kImageNoMemory);
        return onFailure;
    }
}
}  // namespace

std::unique_ptr<platform::Bitmap> LoadImageToBitmap(const std::string& fileName, void* info, int alphaMode)
{
    return failingWithNoMemory([&] { return loadImageToBitmap(fileName, info, alphaMode); }, nullptr);
}

int SaveBitmapToImage(const platform::Bitmap* bitmap, const std::string& fileName, const void* options)
{
    return failingWithNoMemory([&] { return saveBitmapToImage(bitmap, fileName, options); }, kImageNoMemory);
}

static std::unique_ptr<platform::Bitmap> loadImageToBitmap(const std::string& fileName, void* info, int alphaMode)
{
    SetLastImageError(kImageNoError);
    ImageRecord record;
    record.rowPadding = 1;
    if (fileName.find('.') == std::string::npos) {
        recordImageResult(kImageUnsupportedOption);
        return nullptr;
    }
    if (LoadImageByExtension(fileName, &record, info) != kImageNoError)
        return nullptr;
    std::unique_ptr<platform::Bitmap> bitmap = ImageRecordToBitmap(record, alphaMode);
    FreeImageRecord(record);
    return bitmap;
}

static int saveBitmapToImage(const platform::Bitmap* bitmap, const std::string& fileName, const void* options)
{
    SetLastImageError(kImageNoError);
    ImageRecord record;
    const int converted = BitmapToImageRecord(bitmap, record, 1);
    if (converted != kImageNoError)
        return converted;
    if (fileName.find('.') == std::string::npos)
        return recordImageResult(kImageBadExtension);
    return SaveImageByExtension(fileName, record, options);
}

int BitmapToImageRecord(const platform::Bitmap* bitmap, ImageRecord& record, int unblend)
{
    InitImageRecord(record);
    if (!bitmap || !platform::Bitmap::isSupportedDepth(bitmap->bitsPerPixel()))
        return recordImageResult(kImageBadBitmap);
    const std::size_t sourceStride = bitmap->stride();
    if (bitmap->width() < 0 || bitmap->height() < 0 ||
        bitmap->bits().size() < sourceStride * static_cast<std::size_t>(bitmap->height()))
        return recordImageResult(kImageBadBitmap);
    record.rowPadding = 1;
    record.width = static_cast<std::uint32_t>(bitmap->width());
    record.height = static_cast<std::uint32_t>(bitmap->height());
    record.bitsPerPixel = static_cast<std::uint8_t>(bitmap->bitsPerPixel());
    const std::size_t colours = bitmap->palette().size();
    if (record.bitsPerPixel <= 8 && colours > 0 && colours <= (std::size_t{1} << record.bitsPerPixel))
        record.paletteSize = static_cast<std::uint16_t>(colours);
    const int allocated = AllocateImageRecord(record);
    if (allocated != kImageNoError) {
        FreeImageRecord(record);
        return allocated;
    }
    const std::size_t rowBytes = std::min<std::size_t>(sourceStride, record.rowStride);
    for (std::uint32_t y = 0; y < record.height; ++y)
        std::memcpy(record.row(y), bitmap->row(static_cast<int>(y)), rowBytes);

    if (record.bitsPerPixel == 32 && unblend > 0) {
        const BackgroundColour bg = GetBackgroundColour();
        for (std::uint32_t y = 0; y < record.height; ++y) {
            std::uint8_t* p = record.row(y);
            for (std::uint32_t x = 0; x < record.width; ++x, p += 4) {
                p[0] = UnblendFromBackground(p[0], p[3], bg.blue);
                p[1] = UnblendFromBackground(p[1], p[3], bg.green);
                p[2] = UnblendFromBackground(p[2], p[3], bg.red);
            }
        }
    }
    if (record.bitsPerPixel <= 8) {
        // A paletted bitmap without colours has nothing to give, as a failed
        // colour-table query would.
        if (colours == 0) {
            FreeImageRecord(record);
            return recordImageResult(kImageSystemError);
        }
        for (std::size_t i = 0; i < record.paletteSize; ++i) {
            const platform::RgbQuad& q = bitmap->palette()[i];
            setPaletteEntry(record, i, {q.red, q.green, q.blue});
        }
    }
    return kImageNoError;
}

namespace {

// The record's palette as bitmap colours, the transparent entry replaced by the
// background colour.
std::vector<platform::RgbQuad> bitmapPalette(const ImageRecord& record)
{
    std::vector<platform::RgbQuad> colours(record.paletteSize);
    for (std::size_t i = 0; i < colours.size(); ++i) {
        const RgbColour c = paletteEntryColour(record, i);
        colours[i] = {c.blue, c.green, c.red, 0};
    }
    if (record.transparentIndex >= 0 && static_cast<std::size_t>(record.transparentIndex) < colours.size()) {
        const BackgroundColour bg = GetBackgroundColour();
        colours[record.transparentIndex] = {bg.blue, bg.green, bg.red, 0};
    }
    return colours;
}

int blendOverImage(platform::Bitmap& bitmap)
{
    const ImageRecord& bg = GetBackgroundImage();
    if (bg.width == 0 || bg.height == 0 || !bg.hasPixels())
        return kImageNoBackground;
    if (bg.width < static_cast<std::uint32_t>(bitmap.width()) || bg.height < static_cast<std::uint32_t>(bitmap.height()))
        return kImageBackgroundTooSmall;
    const std::size_t step = bg.bitsPerPixel / 8;
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* p = bitmap.row(y);
        const std::uint8_t* b = bg.row(static_cast<std::uint32_t>(y));
        for (int x = 0; x < bitmap.width(); ++x, p += 4, b += step) {
            p[0] = BlendOverBackground(p[0], p[3], b[0]);
            p[1] = BlendOverBackground(p[1], p[3], b[1]);
            p[2] = BlendOverBackground(p[2], p[3], b[2]);
        }
    }
    return kImageNoError;
}

void blendOverColour(platform::Bitmap& bitmap)
{
    const BackgroundColour bg = GetBackgroundColour();
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 4) {
            p[0] = BlendOverBackground(p[0], p[3], bg.blue);
            p[1] = BlendOverBackground(p[1], p[3], bg.green);
            p[2] = BlendOverBackground(p[2], p[3], bg.red);
        }
    }
}

}  // namespace

std::unique_ptr<platform::Bitmap> ImageRecordToBitmap(const ImageRecord& record, int alphaMode)
{
    const std::uint64_t packed = imageRowStride(record.width, record.bitsPerPixel, false);
    const bool paletteOk = record.paletteSize == 0 ||
                           (record.paletteEntrySize >= 3 &&
                            record.palette.size() >= std::size_t{record.paletteSize} * record.paletteEntrySize);
    if (!record.hasPixels() || record.rowStride < packed || !paletteOk ||
        record.pixels.size() < std::uint64_t{record.rowStride} * record.height) {
        recordImageResult(kImageNullRecord);
        return nullptr;
    }
    std::unique_ptr<platform::Bitmap> bitmap;
    try {
        if (record.width > INT32_MAX || record.height > INT32_MAX)
            throw std::length_error("bitmap too large");
        bitmap = std::make_unique<platform::Bitmap>(static_cast<int>(record.width), static_cast<int>(record.height),
                                                    record.bitsPerPixel);
    } catch (const std::exception&) {
        recordImageResult(kImageSystemError);
        return nullptr;
    }
    if (record.bitsPerPixel <= 8 && record.hasPalette()) {
        std::vector<platform::RgbQuad> colours = bitmapPalette(record);
        colours.resize(std::min(colours.size(), bitmap->palette().size()));
        bitmap->palette() = std::move(colours);
    }
    const std::size_t rowBytes = std::min<std::size_t>(record.rowStride, bitmap->stride());
    if (record.rowStride == bitmap->stride()) {
        std::memcpy(bitmap->bits().data(), record.pixels.data(), bitmap->bits().size());
    } else {
        for (std::uint32_t y = 0; y < record.height; ++y)
            std::memcpy(bitmap->row(static_cast<int>(y)), record.row(y), rowBytes);
    }
    if (record.bitsPerPixel == 32 && alphaMode == kAlphaOverColour) {
        blendOverColour(*bitmap);
    } else if (record.bitsPerPixel == 32 && alphaMode == kAlphaOverImage) {
        const int code = blendOverImage(*bitmap);
        if (code != kImageNoError) {
            recordImageResult(code);
            return nullptr;
        }
    }
    return bitmap;
}

const char* GetImageErrorText()
{
    thread_local char slots[kImageErrorCount + 1][kSlotSize];
    const int code = GetLastImageError();
    if (code == kImageSystemError) {
        // The system's text for the latest system error, looked up now.
        const int err = errno;
        std::snprintf(slots[code], kSlotSize, "%s", std::strerror(err));
        return slots[code];
    }
    if (code >= 0 && code < kImageErrorCount) {
        std::snprintf(slots[code], kSlotSize, "%s", kErrorTexts[code]);
        return slots[code];
    }
    std::snprintf(slots[kImageErrorCount], kSlotSize, "Unknown error %d", code);
    return slots[kImageErrorCount];
}

}  // namespace imagelib
