// GIF pictures through giflib. Only the first image of the file is shown, drawn
// on a canvas of the logical screen size filled with the background colour;
// the later images are decoded too, so a damaged file fails as a whole.
//
// The file is walked record by record rather than read whole by the library:
// that way every size the file declares is checked against what its remaining
// bytes could code before anything is allocated for it.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "imagelib/file_io.h"
#include "imagelib/formats.h"
#include "imagelib/limits.h"

static_assert(GIFLIB_MAJOR >= 5, "giflib 5 or later is required");

namespace imagelib {

namespace {

constexpr int kMaxColours = 256;
// One LZW code of at most 12 bits stands for at most 4096 pixels, so a byte of
// image data gives at most 4096 x 8 / 12 pixels.
constexpr std::uint64_t kMaxPixelsPerByte = 2731;
// Interlace passes: first row and step of each.
constexpr int kPassStart[] = {0, 4, 2, 1};
constexpr int kPassStep[] = {8, 8, 4, 2};

struct MemorySource {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;
    std::size_t pos = 0;
    std::size_t remaining() const { return size - pos; }
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length)
{
    auto* source = static_cast<MemorySource*>(gif->UserData);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max(length, 0)), source->remaining());
    if (n == 0)
        return 0;
    std::memcpy(out, source->data + source->pos, n);
    source->pos += n;
    return static_cast<int>(n);
}

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

// What the walk keeps of the file: the first image's pixels and the transparency
// flag and index of the first graphic control block before it.
struct FirstImage {
    bool seen = false;
    std::vector<GifByteType> pixels;  // Width x Height, top row first, display order
    bool haveControl = false;
    bool transparent = false;
    int transparentIndex = -1;
};

// Pixels an image of the declared size needs against what the bytes left in
// the file could code.
bool frameFitsTheFile(const GifImageDesc& d, const MemorySource& source)
{
    const std::uint64_t pixels = std::uint64_t(d.Width) * std::uint64_t(d.Height);
    return pixels <= (source.remaining() + 1) * kMaxPixelsPerByte;
}

int readImage(GifFileType* gif, const MemorySource& source, FirstImage& first)
{
    if (DGifGetImageDesc(gif) != GIF_OK)
        return kImageCorrupted;
    const GifImageDesc& d = gif->Image;
    if (d.Width <= 0 || d.Height <= 0)
        return kImageCorrupted;
    if (!frameFitsTheFile(d, source))
        return kImageBadSize;
    const std::size_t width = static_cast<std::size_t>(d.Width);
    std::vector<GifByteType> line;
    std::vector<GifByteType>* target = &line;
    const bool keep = !first.seen;
    try {
        if (keep) {
            const std::uint64_t bytes = std::uint64_t(width) * std::uint64_t(d.Height);
            if (bytes > imageLimits().maxImageBytes)
                return kImageNoMemory;
            first.pixels.assign(static_cast<std::size_t>(bytes), 0);
            target = &first.pixels;
        } else {
            line.assign(width, 0);
        }
    } catch (const std::bad_alloc&) {
        return kImageNoMemory;
    }
    first.seen = true;
    auto row = [&](int y) { return keep ? target->data() + std::size_t(y) * width : line.data(); };
    if (d.Interlace) {
        for (int pass = 0; pass < 4; ++pass)
            for (int y = kPassStart[pass]; y < d.Height; y += kPassStep[pass])
                if (DGifGetLine(gif, row(y), d.Width) != GIF_OK)
                    return kImageCorrupted;
    } else {
        for (int y = 0; y < d.Height; ++y)
            if (DGifGetLine(gif, row(y), d.Width) != GIF_OK)
                return kImageCorrupted;
    }
    return kImageNoError;
}

int readExtension(GifFileType* gif, FirstImage& first)
{
    int function = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &function, &block) != GIF_OK)
        return kImageCorrupted;
    if (function == GRAPHICS_EXT_FUNC_CODE && !first.seen && !first.haveControl && block) {
        // block[0] is the byte count; then the flags, the delay and the index.
        first.haveControl = true;
        first.transparent = block[0] >= 4 && (block[1] & 1) != 0;
        if (first.transparent)
            first.transparentIndex = block[4];
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) != GIF_OK)
            return kImageCorrupted;
    }
    return kImageNoError;
}

int walkFile(GifFileType* gif, const MemorySource& source, FirstImage& first)
{
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    do {
        if (DGifGetRecordType(gif, &type) != GIF_OK)
            return kImageCorrupted;
        int code = kImageNoError;
        if (type == IMAGE_DESC_RECORD_TYPE)
            code = readImage(gif, source, first);
        else if (type == EXTENSION_RECORD_TYPE)
            code = readExtension(gif, first);
        if (code != kImageNoError)
            return code;
    } while (type != TERMINATE_RECORD_TYPE);
    return first.seen ? kImageNoError : kImageCorrupted;
}

// Copies the first image onto the canvas (record rows, top row last) at its
// position, clipped to the screen. Indices outside the palette become 0.
void drawImage(const GifImageDesc& d, const GifByteType* pixels, ImageRecord& record, int colours)
{
    const std::int64_t left = d.Left, top = d.Top;
    const std::int64_t firstX = std::max<std::int64_t>(0, -left);
    const std::int64_t lastX = std::min<std::int64_t>(d.Width, std::int64_t{record.width} - left);
    for (std::int64_t y = 0; y < d.Height; ++y) {
        const std::int64_t canvasY = top + y;
        if (canvasY < 0)
            continue;
        if (canvasY >= record.height)
            break;
        const GifByteType* src = pixels + y * d.Width;
        std::uint8_t* dst = record.row(record.height - 1 - static_cast<std::uint32_t>(canvasY));
        for (std::int64_t x = firstX; x < lastX; ++x)
            dst[left + x] = src[x] < colours ? src[x] : 0;
    }
}

int loadGif(GifFileType* gif, const MemorySource& source, ImageRecord& record)
{
    FirstImage first;
    if (const int code = walkFile(gif, source, first))
        return code;
    if (gif->ImageCount < 1 || !gif->SavedImages)
        return kImageCorrupted;
    const GifImageDesc& desc = gif->SavedImages[0].ImageDesc;
    // The first image's own map describes its pixels; files without a global map
    // rely on it.
    const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0)
        return kImageCorrupted;
    const int colours = std::min(map->ColorCount, kMaxColours);

    // The screen is filled with the background colour where no image covers it:
    // a screen far larger than the file's images could cover is refused, not
    // painted.
    const std::uint64_t screen = std::uint64_t(std::max(gif->SWidth, 0)) * std::uint64_t(std::max(gif->SHeight, 0));
    if (screen > std::max<std::uint64_t>(std::uint64_t(source.size) * kMaxPixelsPerByte,
                                         std::uint64_t(desc.Width) * std::uint64_t(desc.Height)))
        return kImageBadSize;

    record.width = static_cast<std::uint32_t>(std::max(gif->SWidth, 0));
    record.height = static_cast<std::uint32_t>(std::max(gif->SHeight, 0));
    record.bitsPerPixel = 8;
    record.paletteSize = static_cast<std::uint16_t>(colours);
    record.paletteEntrySize = 4;
    // An index outside the palette would recolour memory beyond it; it is ignored.
    record.transparentIndex = static_cast<std::int16_t>(
        first.transparent && first.transparentIndex < colours ? first.transparentIndex : -1);
    if (const int code = AllocateImageRecord(record))
        return code;
    for (int i = 0; i < colours; ++i) {
        const GifColorType& c = map->Colors[i];
        setPaletteEntry(record, static_cast<std::size_t>(i), {c.Red, c.Green, c.Blue});
    }
    const int background = gif->SBackGroundColor >= 0 && gif->SBackGroundColor < colours ? gif->SBackGroundColor : 0;
    for (std::uint32_t y = 0; y < record.height; ++y)
        std::memset(record.row(y), background, record.width);
    drawImage(desc, first.pixels.data(), record, colours);
    return kImageNoError;
}

int loadGifBytes(const std::vector<std::uint8_t>& bytes, ImageRecord& record)
{
    MemorySource source{bytes.data(), bytes.size(), 0};
    int openError = 0;
    GifHandle gif(DGifOpen(&source, readFromMemory, &openError));
    if (!gif.get())
        return openError == D_GIF_ERR_NOT_ENOUGH_MEM ? kImageNoMemory : kImageCorrupted;
    int code = loadGif(gif.get(), source, record);
    if (!gif.close() && code == kImageNoError)
        code = kImageCorrupted;
    return code == kImageNoError ? PackPaletteIndices(record) : code;
}

}  // namespace

int LoadGifFile(const std::string& fileName, ImageRecord* record)
{
    return loadImageFile(fileName, record, loadGifBytes);
}

}  // namespace imagelib
