// TPSDGraphic: Photoshop documents (.psd, .pdd). The merged image in bitmap,
// gray, duotone, multichannel (its first channel), indexed, RGB and CMYK mode
// with 1, 8 or 16 bits per channel, raw, run-length or deflated; the first
// channel past the colour channels is alpha. A file whose merged image holds
// transparency (negative layer count) stores its colours matted with white,
// which is taken out again where the colours show the matting. A file saved without a real merged image shows its
// layers composited.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "pictures/decoder_support.h"
#include "pictures/header_probes.h"
#include "pictures/picture_classes.h"

namespace pictures {

namespace {

const std::string kFormat = "Photoshop";
constexpr std::size_t kHeaderSize = 26;
constexpr std::uint16_t kVersionInfoResource = 0x0421;

enum Mode : unsigned { kBitmap = 0, kGray = 1, kIndexed = 2, kRgb = 3, kCmyk = 4, kMultichannel = 7, kDuotone = 8 };

struct PsdHeader {
    int channels = 0, width = 0, height = 0, depth = 0;
    unsigned mode = 0;
};

// The file's parts: the colour mode data, the resources, the layer section
// and where the merged image starts.
struct PsdLayout {
    PsdHeader header;
    Bytes colourData, resources, layers;
    std::size_t imageData = 0;
};

PsdLayout readLayout(Bytes b)
{
    if (!probe::photoshop(b))
        failInvalidFormat(kFormat);
    PsdLayout l;
    PsdHeader& h = l.header;
    h.channels = be16At(b, 12);
    h.height = static_cast<int>(be32At(b, 14));
    h.width = static_cast<int>(be32At(b, 18));
    h.depth = be16At(b, 22);
    h.mode = be16At(b, 24);
    ByteCursor in(b, kFormat);
    in.seek(kHeaderSize);
    l.colourData = in.span(in.be32());
    l.resources = in.span(in.be32());
    l.layers = in.span(in.be32());
    l.imageData = in.position();
    return l;
}

// The version-info resource says whether the merged image is real or a
// placeholder; files without it have a real one.
bool hasRealMergedImage(Bytes resources)
{
    ByteCursor in(resources, kFormat);
    while (in.remaining() >= 12) {
        in.skip(4);  // "8BIM"
        const std::uint16_t id = in.be16();
        const std::size_t nameLength = in.u8();
        in.skip(nameLength + (nameLength % 2 == 0 ? 1 : 0));  // the name, padded to an even size
        const std::uint32_t size = in.be32();
        if (size > in.remaining())
            return true;
        if (id == kVersionInfoResource && size >= 5) {
            in.skip(4);
            return in.u8() != 0;
        }
        in.skip(size + size % 2);
    }
    return true;
}

int layerCount(Bytes layers)
{
    if (layers.size() < 6 || be32At(layers, 0) < 2)
        return 0;
    return static_cast<std::int16_t>(be16At(layers, 4));
}

std::size_t rowBytes(int width, int depth)
{
    return depth == 1 ? (std::size_t(width) + 7) / 8 : std::size_t(width) * (depth / 8);
}

// PackBits: n < 128 copies n + 1 bytes, n > 128 repeats the next byte 257 - n
// times, 128 is skipped.
void unpackBits(ByteCursor& in, std::size_t count, std::uint8_t* out, std::size_t size)
{
    ByteCursor row(in.span(count), kFormat);
    std::size_t produced = 0;
    while (!row.atEnd() && produced < size) {
        const std::uint8_t n = row.u8();
        if (n == 128)
            continue;
        const std::size_t run = n < 128 ? n + 1u : 257u - n;
        if (run > size - produced || row.atEnd())
            failCompression(kFormat);
        if (n < 128)
            std::copy_n(row.take(run), run, out + produced);
        else
            std::fill_n(out + produced, run, row.u8());
        produced += run;
    }
    if (produced != size)
        failCompression(kFormat);
}

void inflateAll(Bytes data, std::uint8_t* out, std::size_t size)
{
    z_stream z{};
    if (inflateInit(&z) != Z_OK)
        failCompression(kFormat);
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out;
    z.avail_out = static_cast<uInt>(size);
    const int result = inflate(&z, Z_FINISH);
    const bool filled = z.avail_out == 0;
    inflateEnd(&z);
    if (!filled || (result != Z_STREAM_END && result != Z_OK && result != Z_BUF_ERROR))
        failCompression(kFormat);
}

// Deflated rows with prediction store each value as the difference to the one
// before it in the row.
void undoPrediction(std::uint8_t* data, int width, int height, int depth)
{
    const std::size_t stride = rowBytes(width, depth);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = data + y * stride;
        if (depth == 16) {
            for (int x = 1; x < width; ++x) {
                const unsigned v = ((row[2 * x - 2] << 8 | row[2 * x - 1]) + (row[2 * x] << 8 | row[2 * x + 1])) & 0xFFFF;
                row[2 * x] = static_cast<std::uint8_t>(v >> 8);
                row[2 * x + 1] = static_cast<std::uint8_t>(v);
            }
        } else {
            for (std::size_t x = 1; x < stride; ++x)
                row[x] = static_cast<std::uint8_t>(row[x] + row[x - 1]);
        }
    }
}

using Plane = std::vector<std::uint8_t>;  // one byte a pixel, top row first

// A plane's stored values, 16 bits taken to 8 and bits to black (0) or white.
Plane toEightBit(const std::uint8_t* stored, int width, int height, int depth)
{
    Plane plane(std::size_t(width) * height);
    const std::size_t stride = rowBytes(width, depth);
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* row = stored + y * stride;
        std::uint8_t* out = plane.data() + std::size_t(y) * width;
        for (int x = 0; x < width; ++x) {
            if (depth == 1)
                out[x] = (row[x / 8] >> (7 - x % 8)) & 1 ? 0 : 255;
            else if (depth == 16)
                out[x] = static_cast<std::uint8_t>(((row[2 * x] << 8 | row[2 * x + 1]) * 255u + 32767u) / 65535u);
            else
                out[x] = row[x];
        }
    }
    return plane;
}

// The first wanted of the stored planes of one compression: raw, run-length
// (a table of the byte count of every row of every stored plane, then the
// rows) or deflated (one stream for all the planes, with or without
// prediction). The data is checked to hold what it claims before the planes
// are allocated: a run of two bytes gives at most 128, deflate at most about
// a thousand times its size.
std::vector<Plane> decodePlanes(ByteCursor& in, unsigned compression, int stored, int wanted, int width, int height,
                                int depth)
{
    const std::size_t stride = rowBytes(width, depth);
    const std::uint64_t planeBytes = std::uint64_t(stride) * height;
    const std::uint64_t total = planeBytes * wanted;
    const std::uint64_t limit = compression == 0 ? 1 : compression == 1 ? 64 : 1100;
    if (compression > 3)
        failNotSupported("Compression " + std::to_string(compression), kFormat);
    if (total > in.remaining() * limit)
        failStreamRead(kFormat);
    std::vector<std::uint8_t> data(static_cast<std::size_t>(total));
    if (compression == 0) {
        std::copy_n(in.take(total), total, data.begin());
    } else if (compression == 1) {
        ByteCursor table(in.span(2ull * height * stored), kFormat);
        for (std::size_t row = 0; row < std::size_t(height) * wanted; ++row)
            unpackBits(in, table.be16(), data.data() + row * stride, stride);
    } else {
        inflateAll(in.span(in.remaining()), data.data(), data.size());
    }
    std::vector<Plane> planes;
    for (int k = 0; k < wanted; ++k) {
        std::uint8_t* plane = data.data() + k * planeBytes;
        if (compression == 3)
            undoPrediction(plane, width, height, depth);
        planes.push_back(toEightBit(plane, width, height, depth));
    }
    return planes;
}

int colourChannels(unsigned mode)
{
    return mode == kRgb ? 3 : mode == kCmyk ? 4 : 1;
}

void checkSupported(const PsdHeader& h)
{
    if (h.mode == kBitmap ? h.depth != 1 : h.depth != 8 && h.depth != 16)
        failNotSupported(std::to_string(h.depth) + " bits per channel", kFormat);
    switch (h.mode) {
    case kBitmap: case kGray: case kIndexed: case kRgb: case kCmyk: case kMultichannel: case kDuotone: break;
    case 9: failNotSupported("Lab colour", kFormat);
    default: failColorFormat(kFormat);
    }
    if (h.channels < colourChannels(h.mode))
        failColorFormat(kFormat);
}

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
};

// The colour of one pixel from its colour channel values; Photoshop stores ink
// amounts inverted (255 is no ink).
Rgba colourOf(unsigned mode, const std::uint8_t* v, const std::vector<platform::RgbQuad>& palette)
{
    switch (mode) {
    case kRgb: return {v[0], v[1], v[2]};
    case kCmyk: {
        const unsigned k = v[3];
        return {static_cast<std::uint8_t>((v[0] * k + 127) / 255), static_cast<std::uint8_t>((v[1] * k + 127) / 255),
                static_cast<std::uint8_t>((v[2] * k + 127) / 255)};
    }
    case kIndexed: {
        const platform::RgbQuad& q = palette[v[0]];
        return {q.red, q.green, q.blue};
    }
    default: return {v[0], v[0], v[0]};
    }
}

// A colour matted with white, taken back to the colour under alpha a.
std::uint8_t unmatte(std::uint8_t c, std::uint8_t a)
{
    if (a == 0 || a == 255)
        return c;
    if (c + a <= 255)
        return 0;
    return static_cast<std::uint8_t>(std::min(255, ((c + a - 255) * 255 + a / 2) / a));
}

std::vector<platform::RgbQuad> readPalette(const PsdLayout& l)
{
    std::vector<platform::RgbQuad> palette(256);
    if (l.header.mode == kIndexed) {
        if (l.colourData.size() < 768)
            failPalette(kFormat);
        for (std::size_t i = 0; i < 256; ++i)
            palette[i] = {l.colourData[512 + i], l.colourData[256 + i], l.colourData[i], 0};
    } else {
        for (std::size_t i = 0; i < 256; ++i)
            palette[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    }
    return palette;
}

// Pixel at of the merged planes, alpha from the plane after the colours.
Rgba mergedPixel(const PsdHeader& h, const std::vector<Plane>& planes, const std::vector<platform::RgbQuad>& palette,
                 std::size_t at, bool alpha)
{
    const int colours = colourChannels(h.mode);
    std::array<std::uint8_t, 4> v{};
    for (int c = 0; c < colours; ++c)
        v[c] = planes[c][at];
    Rgba p = colourOf(h.mode, v.data(), palette);
    if (alpha)
        p.a = planes[colours][at];
    return p;
}

// Matting with white leaves no channel below 255 - alpha. Some writers store
// the colours unmatted in spite of the layer count; their pictures have such
// channels and keep their colours (a step of rounding allowed).
bool mattedWithWhite(const PsdHeader& h, const std::vector<Plane>& planes,
                     const std::vector<platform::RgbQuad>& palette)
{
    constexpr int kRounding = 2;
    const std::size_t pixels = std::size_t(h.width) * h.height;
    for (std::size_t at = 0; at < pixels; ++at) {
        const Rgba p = mergedPixel(h, planes, palette, at, true);
        if (std::min({p.r, p.g, p.b}) + p.a + kRounding < 255)
            return false;
    }
    return true;
}

// The merged planes as a bitmap: 8 bits with a palette for one plane without
// alpha, else 24 or 32 bits.
platform::Bitmap toBitmap(const PsdHeader& h, const std::vector<Plane>& planes,
                          const std::vector<platform::RgbQuad>& palette, bool alpha, bool transparencyMerged)
{
    const int colours = colourChannels(h.mode);
    if (colours == 1 && !alpha) {
        platform::Bitmap bitmap = makeBitmap(h.width, h.height, 8, kFormat);
        bitmap.palette() = palette;
        for (int y = 0; y < h.height; ++y)
            std::copy_n(planes[0].data() + std::size_t(y) * h.width, h.width, bitmap.topRow(y));
        return bitmap;
    }
    const bool matted = alpha && transparencyMerged && mattedWithWhite(h, planes, palette);
    platform::Bitmap bitmap = makeBitmap(h.width, h.height, alpha ? 32 : 24, kFormat);
    const std::size_t step = alpha ? 4 : 3;
    for (int y = 0; y < h.height; ++y) {
        std::uint8_t* out = bitmap.topRow(y);
        for (int x = 0; x < h.width; ++x, out += step) {
            Rgba p = mergedPixel(h, planes, palette, std::size_t(y) * h.width + x, alpha);
            if (matted)
                p = {unmatte(p.r, p.a), unmatte(p.g, p.a), unmatte(p.b, p.a), p.a};
            if (alpha)
                out[3] = p.a;
            out[0] = p.b, out[1] = p.g, out[2] = p.r;
        }
    }
    return bitmap;
}

LoadedPicture loadMerged(Bytes bytes, const PsdLayout& l, const std::vector<platform::RgbQuad>& palette)
{
    const PsdHeader& h = l.header;
    const int colours = colourChannels(h.mode);
    // Indexed and bitmap pictures have no alpha of their own; the further
    // channels of a multichannel picture are inks.
    const bool alpha = h.channels > colours && h.mode != kIndexed && h.mode != kBitmap && h.mode != kMultichannel;
    const int read = colours + (alpha ? 1 : 0);
    ByteCursor in(bytes, kFormat);
    in.seek(l.imageData);
    const unsigned compression = in.be16();
    const std::vector<Plane> planes = decodePlanes(in, compression, h.channels, read, h.width, h.height, h.depth);
    LoadedPicture picture;
    picture.bitmap = toBitmap(h, planes, palette, alpha, layerCount(l.layers) < 0);
    if (h.mode == kMultichannel && h.channels > 1)
        picture.problems.push_back("only the first of " + std::to_string(h.channels) + " channels is shown");
    return picture;
}

// One layer's rectangle, channels and blending, from its record.
struct LayerRecord {
    int top = 0, left = 0, bottom = 0, right = 0;
    int width = 0, height = 0;  // 0 for an empty rectangle
    std::vector<std::pair<int, std::uint32_t>> channels;  // id, data length
    std::string blendMode;
    std::uint8_t opacity = 255;
    bool clipped = false, hidden = false;
};

// Layers are no larger than the largest document.
constexpr std::int64_t kMaxLayerSide = 300000;

LayerRecord readLayerRecord(ByteCursor& in)
{
    LayerRecord r;
    r.top = static_cast<std::int32_t>(in.be32());
    r.left = static_cast<std::int32_t>(in.be32());
    r.bottom = static_cast<std::int32_t>(in.be32());
    r.right = static_cast<std::int32_t>(in.be32());
    const std::int64_t width = std::int64_t{r.right} - r.left, height = std::int64_t{r.bottom} - r.top;
    if (width > kMaxLayerSide || height > kMaxLayerSide)
        failInvalidFormat(kFormat);
    r.width = static_cast<int>(std::max<std::int64_t>(width, 0));
    r.height = static_cast<int>(std::max<std::int64_t>(height, 0));
    const unsigned count = in.be16();
    for (unsigned c = 0; c < count; ++c) {
        const int id = static_cast<std::int16_t>(in.be16());
        r.channels.emplace_back(id, in.be32());
    }
    in.skip(4);  // "8BIM"
    const std::uint8_t* key = in.take(4);
    r.blendMode.assign(key, key + 4);
    r.opacity = in.u8();
    r.clipped = in.u8() != 0;
    r.hidden = (in.u8() & 2) != 0;
    in.skip(1);
    in.skip(in.be32());  // mask, blending ranges, name and further blocks
    return r;
}

// Straight-alpha "over" of one pixel onto the canvas pixel B,G,R,A.
void blendOver(std::uint8_t* dst, const Rgba& src)
{
    const unsigned sa = src.a, da = dst[3];
    const unsigned outA = sa * 255 + da * (255 - sa);  // alpha times 255
    if (outA == 0)
        return;
    auto mix = [&](unsigned s, unsigned d) {
        return static_cast<std::uint8_t>((s * sa * 255 + d * da * (255 - sa) + outA / 2) / outA);
    };
    dst[0] = mix(src.b, dst[0]);
    dst[1] = mix(src.g, dst[1]);
    dst[2] = mix(src.r, dst[2]);
    dst[3] = static_cast<std::uint8_t>((outA + 127) / 255);
}

void compositeLayer(platform::Bitmap& canvas, const PsdHeader& h, const LayerRecord& r,
                    const std::vector<Plane>& colour, const Plane* transparency,
                    const std::vector<platform::RgbQuad>& palette)
{
    const int colours = colourChannels(h.mode);
    std::array<std::uint8_t, 4> v{};
    for (int y = std::max(0, r.top); y < std::min(h.height, r.bottom); ++y)
        for (int x = std::max(0, r.left); x < std::min(h.width, r.right); ++x) {
            const std::size_t at = std::size_t(y - r.top) * r.width + (x - r.left);
            for (int c = 0; c < colours; ++c)
                v[c] = colour[c][at];
            Rgba p = colourOf(h.mode, v.data(), palette);
            const unsigned a = transparency ? (*transparency)[at] : 255u;
            p.a = static_cast<std::uint8_t>((a * r.opacity + 127) / 255);
            blendOver(canvas.topRow(y) + 4 * std::size_t(x), p);
        }
}

// The visible layers over a transparent canvas, bottom layer first, each
// blended normally with its opacity.
LoadedPicture compositeLayers(const PsdLayout& l, const std::vector<platform::RgbQuad>& palette)
{
    const PsdHeader& h = l.header;
    if (h.mode == kBitmap || layerCount(l.layers) == 0)
        failNotSupported("Pictures without a merged image", kFormat);
    ByteCursor in(l.layers, kFormat);
    const std::uint32_t infoSize = in.be32();
    ByteCursor info(in.span(std::min<std::uint64_t>(infoSize, in.remaining())), kFormat);
    const int count = std::abs(static_cast<int>(static_cast<std::int16_t>(info.be16())));
    std::vector<LayerRecord> records;
    for (int i = 0; i < count; ++i)
        records.push_back(readLayerRecord(info));
    LoadedPicture picture;
    picture.bitmap = makeBitmap(h.width, h.height, 32, kFormat);
    const int colours = colourChannels(h.mode);
    bool otherBlending = false, clipping = false, masks = false;
    for (const LayerRecord& r : records) {
        const bool empty = r.width <= 0 || r.height <= 0;
        if (!empty && std::uint64_t(r.width) * std::uint64_t(r.height) > kMaxPicturePixels)
            failInvalidFormat(kFormat);
        std::vector<std::optional<Plane>> colour(static_cast<std::size_t>(colours));
        std::optional<Plane> transparency;
        for (const auto& [id, length] : r.channels) {
            ByteCursor channel(info.span(length), kFormat);
            if (empty || id < -1 || id >= colours || length < 2) {
                masks = masks || id < -1;
                continue;
            }
            const unsigned compression = channel.be16();
            std::vector<Plane> plane = decodePlanes(channel, compression, 1, 1, r.width, r.height, h.depth);
            (id == -1 ? transparency : colour[static_cast<std::size_t>(id)]) = std::move(plane.front());
        }
        if (empty || r.hidden)
            continue;
        std::vector<Plane> planes;
        for (auto& c : colour)
            planes.push_back(c ? std::move(*c) : Plane(std::size_t(r.width) * r.height, 0));
        otherBlending = otherBlending || (r.blendMode != "norm" && r.blendMode != "pass");
        clipping = clipping || r.clipped;
        compositeLayer(picture.bitmap, h, r, planes, transparency ? &*transparency : nullptr, palette);
    }
    if (otherBlending)
        picture.problems.push_back("layers of other blend modes are composited as normal layers");
    if (clipping)
        picture.problems.push_back("clipping of layers is not applied");
    if (masks)
        picture.problems.push_back("layer masks are not applied");
    return picture;
}

class TPSDGraphic final : public PictureClass {
public:
    std::string className() const override { return "TPSDGraphic"; }
    bool canLoad(Bytes bytes) const override { return probe::photoshop(bytes).has_value(); }
    PictureProperties readProperties(Bytes bytes) const override
    {
        const std::optional<PictureProperties> p = probe::photoshop(bytes);
        if (!p)
            failInvalidFormat(kFormat);
        return *p;
    }
    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        const PsdLayout l = readLayout(bytes);
        checkSupported(l.header);
        if (std::uint64_t(l.header.width) * std::uint64_t(l.header.height) > kMaxPicturePixels)
            failInvalidFormat(kFormat);
        const std::vector<platform::RgbQuad> palette = readPalette(l);
        if (!hasRealMergedImage(l.resources))
            return compositeLayers(l, palette);
        return loadMerged(bytes, l, palette);
    }
};

}  // namespace

std::unique_ptr<PictureClass> makePsdGraphic()
{
    return std::make_unique<TPSDGraphic>();
}

}  // namespace pictures
