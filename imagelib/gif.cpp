// GIF pictures through giflib. Only the first image of the file is shown, drawn
// on a canvas of the logical screen size filled with the background colour.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"

// Since giflib 5 the whole-file read hands interlaced images over with their
// rows already in display order, so the reader must not reorder them again.
static_assert(GIFLIB_MAJOR >= 5, "giflib 5 or later is required");

namespace imagelib {

namespace {

constexpr int kMaxColours = 256;

// Closes the library's file on every early return; close() reports the result
// of a deliberate close.
class GifHandle {
public:
    explicit GifHandle(GifFileType* gif) : gif_(gif) {}
    ~GifHandle() { close(); }
    GifHandle(const GifHandle&) = delete;
    GifHandle& operator=(const GifHandle&) = delete;
    GifFileType* get() const { return gif_; }
    bool close()
    {
        if (!gif_)
            return true;
        int error = 0;
        const bool ok = DGifCloseFile(gif_, &error) == GIF_OK;
        gif_ = nullptr;
        return ok;
    }

private:
    GifFileType* gif_;
};

// The transparent index of the first graphic control block before the image, or
// -1. An index outside the palette would recolour memory beyond it; it is ignored.
int transparentIndexOf(const SavedImage& image, int colours)
{
    for (int i = 0; i < image.ExtensionBlockCount; ++i) {
        const ExtensionBlock& block = image.ExtensionBlocks[i];
        if (block.Function != GRAPHICS_EXT_FUNC_CODE)
            continue;
        if (block.ByteCount < 4 || !block.Bytes || (block.Bytes[0] & 1) == 0)
            return -1;
        const int index = block.Bytes[3];
        return index < colours ? index : -1;
    }
    return -1;
}

// Copies the first image onto the canvas (record rows, top row last) at its
// position, clipped to the screen. Indices outside the palette become 0.
void drawImage(const SavedImage& image, ImageRecord& record, int colours)
{
    const GifImageDesc& d = image.ImageDesc;
    if (!image.RasterBits || d.Width <= 0 || d.Height <= 0)
        return;
    const std::int64_t left = d.Left, top = d.Top;
    const std::int64_t firstX = std::max<std::int64_t>(0, -left);
    const std::int64_t lastX = std::min<std::int64_t>(d.Width, std::int64_t{record.width} - left);
    for (std::int64_t y = 0; y < d.Height; ++y) {
        const std::int64_t canvasY = top + y;
        if (canvasY < 0)
            continue;
        if (canvasY >= record.height)
            break;
        const GifByteType* src = image.RasterBits + y * d.Width;
        std::uint8_t* dst = record.row(record.height - 1 - static_cast<std::uint32_t>(canvasY));
        for (std::int64_t x = firstX; x < lastX; ++x)
            dst[left + x] = src[x] < colours ? src[x] : 0;
    }
}

int loadGif(GifFileType* gif, ImageRecord& record)
{
    if (DGifSlurp(gif) != GIF_OK || gif->ImageCount < 1 || !gif->SavedImages)
        return kImageCorrupted;
    const SavedImage& first = gif->SavedImages[0];
    // The first image's own map describes its pixels; files without a global map
    // rely on it.
    const ColorMapObject* map = first.ImageDesc.ColorMap ? first.ImageDesc.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0)
        return kImageCorrupted;
    const int colours = std::min(map->ColorCount, kMaxColours);

    record.width = static_cast<std::uint32_t>(std::max(gif->SWidth, 0));
    record.height = static_cast<std::uint32_t>(std::max(gif->SHeight, 0));
    record.bitsPerPixel = 8;
    record.paletteSize = static_cast<std::uint16_t>(colours);
    record.paletteEntrySize = 4;
    record.transparentIndex = static_cast<std::int16_t>(transparentIndexOf(first, colours));
    if (const int code = AllocateImageRecord(record))
        return code;
    for (int i = 0; i < colours; ++i) {
        const GifColorType& c = map->Colors[i];
        setPaletteEntry(record, static_cast<std::size_t>(i), {c.Red, c.Green, c.Blue});
    }
    const int background = gif->SBackGroundColor >= 0 && gif->SBackGroundColor < colours ? gif->SBackGroundColor : 0;
    for (std::uint32_t y = 0; y < record.height; ++y)
        std::memset(record.row(y), background, record.width);
    drawImage(first, record, colours);
    return kImageNoError;
}

}  // namespace

int LoadGifFile(const std::string& fileName, ImageRecord* record)
{
    return runImageLoad(record, [&](ImageRecord& target) {
        int openError = 0;
        GifHandle gif(DGifOpenFileName(fileName.c_str(), &openError));
        // A file that opens but does not start like a GIF is a format error, not an
        // unreadable file.
        int code = gif.get() ? loadGif(gif.get(), target)
                             : (openError == D_GIF_ERR_OPEN_FAILED ? kImageCannotOpen : kImageCorrupted);
        if (!gif.close() && code == kImageNoError)
            code = kImageCorrupted;
        return code == kImageNoError ? PackPaletteIndices(target) : code;
    });
}

}  // namespace imagelib
