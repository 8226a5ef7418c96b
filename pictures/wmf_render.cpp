#include "pictures/wmf_render.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include <libwmf/api.h>
#include <libwmf/gd.h>
#include <libwmf/gd/gd.h>

#include "imagelib/file_io.h"
#include "pictures/decoder_support.h"
#include "pictures/wmf_object_table.h"

namespace pictures {

namespace {

const std::string kFormat = "WMF";
constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableSize = 22;
constexpr std::size_t kMetaHeaderSize = 18;
constexpr unsigned kMaxSide = 4096;

bool hasPlaceableHeader(Bytes b)
{
    return b.size() >= 4 && le32At(b, 0) == kPlaceableKey;
}

bool plausibleMetaHeader(Bytes b, std::size_t at)
{
    if (b.size() < at + kMetaHeaderSize)
        return false;
    const unsigned type = le16At(b, at), size = le16At(b, at + 2), version = le16At(b, at + 4);
    return (type == 1 || type == 2) && size == 9 && (version == 0x0100 || version == 0x0300);
}

// Every record lies inside the file and the walk ends at the end-of-file
// record: only whole files reach the player. Returns the largest record's
// size in words.
std::uint32_t checkRecords(Bytes b)
{
    std::size_t at = hasPlaceableHeader(b) ? kPlaceableSize : 0;
    if (b.size() < at + kMetaHeaderSize)
        failStreamRead(kFormat);
    if (!plausibleMetaHeader(b, at))
        failInvalidFormat(kFormat);
    at += kMetaHeaderSize;
    std::uint32_t largest = 0;
    while (true) {
        if (at + 6 > b.size())
            failStreamRead(kFormat);
        const std::uint64_t words = le32At(b, at);
        const unsigned function = le16At(b, at + 4);
        if (words < 3)
            failInvalidFormat(kFormat);
        if (at + 2 * words > b.size())
            failStreamRead(kFormat);
        largest = std::max(largest, static_cast<std::uint32_t>(words));
        if (function == 0)
            return largest;
        at += static_cast<std::size_t>(2 * words);
    }
}

// The player allocates its record buffer by the header's largest-record
// field: a few bytes can claim gigabytes there, or claim less than a record
// holds. The copy it plays carries the largest record the walk found.
void setLargestRecord(std::vector<unsigned char>& file, std::uint32_t words)
{
    const std::size_t at = (hasPlaceableHeader(Bytes(file.data(), file.size())) ? kPlaceableSize : 0) + 12;
    imagelib::putLe32(file.data() + at, words);
}

struct FrameRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// The frame in logical units: the placeable header's, else the window the file
// sets up first (origin and extent); none when it sets no extent.
std::optional<FrameRect> logicalFrame(Bytes b)
{
    if (hasPlaceableHeader(b))
        return FrameRect{static_cast<std::int16_t>(le16At(b, 6)), static_cast<std::int16_t>(le16At(b, 8)),
                         static_cast<std::int16_t>(le16At(b, 10)), static_cast<std::int16_t>(le16At(b, 12))};
    std::optional<FrameRect> frame;
    int orgX = 0, orgY = 0;
    for (std::size_t at = kMetaHeaderSize; le16At(b, at + 4) != 0;
         at += static_cast<std::size_t>(2 * std::uint64_t{le32At(b, at)})) {
        const unsigned function = le16At(b, at + 4);
        if (le32At(b, at) < 5)
            continue;
        const int y = static_cast<std::int16_t>(le16At(b, at + 6)), x = static_cast<std::int16_t>(le16At(b, at + 8));
        if (function == 0x020B && !frame) {
            orgX = x;
            orgY = y;
        } else if (function == 0x020C && !frame && x != 0 && y != 0) {
            frame = FrameRect{orgX, orgY, orgX + x, orgY + y};
        }
    }
    return frame;
}

// The file with a rectangle over the frame put before its end-of-file record,
// so that a scan takes in the whole frame.
std::vector<unsigned char> withFrameRectangle(Bytes b, const FrameRect& f)
{
    const std::size_t headerAt = hasPlaceableHeader(b) ? kPlaceableSize : 0;
    std::size_t at = headerAt + kMetaHeaderSize;
    while (le16At(b, at + 4) != 0)
        at += static_cast<std::size_t>(2 * std::uint64_t{le32At(b, at)});
    std::vector<unsigned char> out(b.begin(), b.begin() + at);
    const unsigned char rect[14] = {7, 0, 0, 0, 0x1B, 0x04,
                                    static_cast<unsigned char>(f.bottom), static_cast<unsigned char>(f.bottom >> 8),
                                    static_cast<unsigned char>(f.right), static_cast<unsigned char>(f.right >> 8),
                                    static_cast<unsigned char>(f.top), static_cast<unsigned char>(f.top >> 8),
                                    static_cast<unsigned char>(f.left), static_cast<unsigned char>(f.left >> 8)};
    out.insert(out.end(), rect, rect + sizeof rect);
    out.insert(out.end(), b.begin() + at, b.end());
    imagelib::putLe32(out.data() + headerAt + 6, le32At(Bytes(out.data(), out.size()), headerAt + 6) + 7);
    return out;
}

// The picture libwmf's gd device drew is handed to the caller, and libwmf
// exports no way to release it: its pixels, row table, clip rectangles and the
// image itself come from malloc.
void releaseGdImage(void* image)
{
    auto* im = static_cast<gdImagePtr>(image);
    if (!im)
        return;
    if (im->clip) {
        std::free(im->clip->list);
        std::free(im->clip);
    }
    std::free(im->_tpixels);
    std::free(im->tpixels);
    std::free(im->polyInts);
    std::free(im->style);
    std::free(im);
}

struct Api {
    wmfAPI* api = nullptr;
    ~Api()
    {
        if (!api)
            return;
        wmf_gd_t* gd = WMF_GD_GetData(api);
        void* image = gd && gd->type == wmf_gd_image ? gd->gd_image : nullptr;
        wmf_api_destroy(api);
        releaseGdImage(image);
    }
};

void check(wmf_error_t err)
{
    if (err == wmf_E_EOF)
        failStreamRead(kFormat);
    if (err != wmf_E_None)
        failInvalidFormat(kFormat);
}

}  // namespace

bool looksLikeWmf(Bytes b)
{
    return hasPlaceableHeader(b) ? plausibleMetaHeader(b, kPlaceableSize) : plausibleMetaHeader(b, 0);
}

PictureProperties wmfProperties(Bytes bytes)
{
    checkRecords(bytes);
    PictureProperties p;
    if (const auto frame = logicalFrame(bytes)) {
        const int inch = hasPlaceableHeader(bytes) ? std::max<int>(1, le16At(bytes, 14)) : 96;
        p.width = std::abs(frame->right - frame->left) * 96 / inch;
        p.height = std::abs(frame->bottom - frame->top) * 96 / inch;
    }
    p.bitsPerSample = 8;
    p.samplesPerPixel = 3;
    p.colorScheme = "RGB";
    p.compression = "metafile";
    return p;
}

LoadedPicture renderWmf(Bytes bytes)
{
    checkRecords(bytes);
    std::vector<unsigned char> copy =
        withSafeObjectReuse(bytes, hasPlaceableHeader(bytes) ? kPlaceableSize : 0);
    const Bytes playable(copy.data(), copy.size());
    const std::uint32_t largestRecord = checkRecords(playable);
    setLargestRecord(copy, largestRecord);
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    Api api;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    check(wmf_api_create(&api.api, flags, &options));
    check(wmf_mem_open(api.api, copy.data(), static_cast<long>(copy.size())));
    wmfD_Rect bbox{};
    check(wmf_scan(api.api, 0, &bbox));
    unsigned int width = 0, height = 0;
    check(wmf_display_size(api.api, &width, &height, 96, 96));
    // The player's scan finds the drawing's own bounds; the frame is scanned too
    // (as a rectangle appended for the scan only) so that the canvas shows the
    // whole frame: the placeable header's at 96 pixels an inch, else the
    // window's at a pixel a unit.
    if (const auto frame = logicalFrame(bytes)) {
        std::vector<unsigned char> framed = withFrameRectangle(playable, *frame);
        setLargestRecord(framed, std::max<std::uint32_t>(largestRecord, 7));  // the rectangle's 7 words
        Api scan;
        check(wmf_api_create(&scan.api, flags, &options));
        check(wmf_mem_open(scan.api, framed.data(), static_cast<long>(framed.size())));
        check(wmf_scan(scan.api, 0, &bbox));
        const PictureProperties p = wmfProperties(bytes);
        width = static_cast<unsigned>(std::max(1, p.width));
        height = static_cast<unsigned>(std::max(1, p.height));
    }
    // Huge frames are drawn smaller, keeping their shape.
    const double scale = std::min(1.0, double(kMaxSide) / std::max(width, height));
    width = std::max(1u, unsigned(width * scale));
    height = std::max(1u, unsigned(height * scale));
    if (!fitsImageLimit(std::uint64_t(width) * height, sizeof(int)))  // the player's pixels
        failInvalidFormat(kFormat);
    wmf_gd_t* gd = WMF_GD_GetData(api.api);
    gd->type = wmf_gd_image;
    gd->bbox = bbox;
    gd->width = width;
    gd->height = height;
    check(wmf_play(api.api, 0, &bbox));
    const int* pixels = gd->gd_image ? wmf_gd_image_pixels(gd->gd_image) : nullptr;
    if (!pixels)
        failInvalidFormat(kFormat);
    LoadedPicture picture;
    picture.bitmap = makeBitmap(width, height, 24, kFormat);
    for (unsigned y = 0; y < height; ++y) {
        std::uint8_t* row = picture.bitmap.topRow(static_cast<int>(y));
        for (unsigned x = 0; x < width; ++x) {
            // gd's true colour: 7 bits of transparency over red, green, blue;
            // transparent pixels show the white canvas.
            const unsigned v = static_cast<unsigned>(pixels[std::size_t(y) * width + x]);
            const unsigned a = (v >> 24) & 0x7F;
            auto over = [a](unsigned c) { return static_cast<std::uint8_t>((c * (127 - a) + 255 * a) / 127); };
            row[3 * x] = over(v & 0xFF);
            row[3 * x + 1] = over((v >> 8) & 0xFF);
            row[3 * x + 2] = over((v >> 16) & 0xFF);
        }
    }
    return picture;
}

}  // namespace pictures
