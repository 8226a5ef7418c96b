#include "pictures/psp_graphic.h"

#include <algorithm>
#include <optional>

#include <zlib.h>

#include "pictures/decoder_support.h"

namespace pictures {

namespace {

const std::string kFormat = "PSP";
const char kSignature[] = "Paint Shop Pro Image File\n\x1a";
constexpr std::size_t kFileHeaderSize = 36;  // 32-byte signature, major and minor version

enum BlockId : std::uint16_t {
    kImageBlock = 0,
    kColourBlock = 2,
    kLayerBank = 3,
    kLayerBlock = 4,
    kChannelBlock = 5,
    kCompositeImage = 9,
    kCompositeBank = 16,
    kCompositeAttributes = 17,
};

enum Compression : std::uint16_t { kNone = 0, kRle = 1, kLz77 = 2, kJpeg = 3 };

struct Block {
    std::uint16_t id = 0;
    std::size_t dataAt = 0;  // after the header
    std::size_t end = 0;
    std::uint32_t initialLength = 0;  // version 3 only
};

struct ImageInfo {
    int width = 0, height = 0;
    int compression = 0;
    int bitDepth = 0;
    bool grey = false;
    int layerCount = 0;
    double resolution = 0;
    int resolutionMetric = 0;
};

class Reader {
public:
    explicit Reader(Bytes b) : bytes_(b) {}
    Bytes bytes() const { return bytes_; }
    int major = 0;

    // The blocks from begin to end: "~BK\0", an id, and for version 3 the length
    // of the block's first chunk; then the whole length of the block's data.
    std::vector<Block> blocks(std::size_t begin, std::size_t end) const
    {
        std::vector<Block> out;
        ByteCursor in(bytes_.first(end), kFormat);
        in.seek(begin);
        while (in.remaining() >= 4) {
            const std::uint8_t* magic = in.take(4);
            if (std::memcmp(magic, "~BK\0", 4) != 0)
                failInvalidFormat(kFormat);
            Block b;
            b.id = in.le16();
            if (major <= 3)
                b.initialLength = in.le32();
            const std::uint32_t length = in.le32();
            b.dataAt = in.position();
            if (length > in.remaining())
                failStreamRead(kFormat);
            b.end = b.dataAt + length;
            in.seek(b.end);
            out.push_back(b);
        }
        return out;
    }

    // From version 4 on every chunk starts with its own length; returns where the
    // next thing after the chunk starts.
    std::size_t chunkEnd(ByteCursor& in, std::size_t start, const Block& b) const
    {
        (void)in;
        if (major <= 3)
            return b.dataAt + b.initialLength;
        if (start + 4 > b.end)
            failStreamRead(kFormat);
        return start + le32At(bytes_, start);
    }

private:
    Bytes bytes_;
};

ImageInfo readImageInfo(const Reader& r, const Block& b)
{
    ByteCursor in(r.bytes().first(b.end), kFormat);
    in.seek(b.dataAt);
    if (r.major >= 4)
        in.le32();
    ImageInfo info;
    info.width = static_cast<std::int32_t>(in.le32());
    info.height = static_cast<std::int32_t>(in.le32());
    const std::uint8_t* res = in.take(8);
    double resolution = 0;
    std::memcpy(&resolution, res, 8);
    info.resolution = resolution;
    info.resolutionMetric = in.u8();
    info.compression = in.le16();
    info.bitDepth = in.le16();
    in.le16();  // planes
    in.le32();  // colours
    info.grey = in.u8() != 0;
    in.le32();  // total size
    in.le32();  // active layer
    info.layerCount = in.le16();
    return info;
}

std::vector<platform::RgbQuad> readPalette(const Reader& r, const Block& b)
{
    ByteCursor in(r.bytes().first(b.end), kFormat);
    in.seek(b.dataAt);
    std::size_t entriesAt = 0;
    std::uint32_t count = 0;
    if (r.major >= 4) {
        const std::size_t start = in.position();
        in.le32();
        count = in.le32();
        entriesAt = r.chunkEnd(in, start, b);
    } else {
        count = in.le32();
        entriesAt = in.position();
    }
    if (count > 256)
        failPalette(kFormat);
    in.seek(entriesAt);
    std::vector<platform::RgbQuad> palette(count);
    for (auto& e : palette) {
        const std::uint8_t* p = in.take(4);
        e = {p[0], p[1], p[2], 0};
    }
    return palette;
}

// Run-length channel data: a count above 128 repeats the next byte count - 128
// times, any other count copies that many bytes.
std::vector<std::uint8_t> unpackRle(Bytes data, std::size_t size)
{
    std::vector<std::uint8_t> out;
    out.reserve(size);
    ByteCursor in(data, kFormat);
    while (out.size() < size) {
        if (in.atEnd())
            failCompression(kFormat);
        const unsigned count = in.u8();
        if (count > 128) {
            const std::uint8_t v = in.u8();
            if (out.size() + count - 128 > size)
                failCompression(kFormat);
            out.insert(out.end(), count - 128, v);
        } else {
            if (out.size() + count > size)
                failCompression(kFormat);
            const std::uint8_t* p = in.take(count);
            out.insert(out.end(), p, p + count);
        }
    }
    return out;
}

std::vector<std::uint8_t> inflateLz77(Bytes data, std::size_t size)
{
    std::vector<std::uint8_t> out(size);
    uLongf produced = static_cast<uLongf>(size);
    if (size == 0 || uncompress(out.data(), &produced, data.data(), static_cast<uLong>(data.size())) != Z_OK ||
        produced != size)
        failLz77();
    return out;
}

struct Channel {
    int bitmapType = 0;   // 0 image, 1 transparency mask, ...
    int channelType = 0;  // 0 composite (indexed or gray), 1 red, 2 green, 3 blue
    std::vector<std::uint8_t> rows;  // height rows, one byte a pixel
};

Channel readChannel(const Reader& r, const Block& b, int compression, int width, int height)
{
    ByteCursor in(r.bytes().first(b.end), kFormat);
    in.seek(b.dataAt);
    const std::size_t start = in.position();
    if (r.major >= 4)
        in.le32();
    const std::uint32_t packed = in.le32();
    const std::uint32_t unpacked = in.le32();
    Channel c;
    c.bitmapType = in.le16();
    c.channelType = in.le16();
    in.seek(r.major >= 4 ? r.chunkEnd(in, start, b) : b.dataAt + b.initialLength);
    const Bytes data = in.span(packed);
    const std::size_t plain = std::size_t(width) * height;
    const std::size_t padded = (std::size_t(width) + 3) / 4 * 4 * height;
    if (unpacked != plain && unpacked != padded)
        failInvalidFormat(kFormat);
    // Sizes the packed data cannot expand to are refused before allocating:
    // a run of two bytes gives at most 127, deflate at most 1032 bytes a byte.
    const std::uint64_t expansion = compression == kRle ? 64 : compression == kLz77 ? 1032 : 1;
    if (unpacked > std::uint64_t{packed} * expansion + 64)
        failCompression(kFormat);
    std::vector<std::uint8_t> bytes;
    switch (compression) {
    case kNone:
        if (packed < unpacked)
            failStreamRead(kFormat);
        bytes.assign(data.begin(), data.begin() + unpacked);
        break;
    case kRle: bytes = unpackRle(data, unpacked); break;
    case kLz77: bytes = inflateLz77(data, unpacked); break;
    default: failNotSupported("JPEG compression", kFormat);
    }
    const std::size_t stride = unpacked == plain ? width : (std::size_t(width) + 3) / 4 * 4;
    c.rows.resize(plain);
    for (int y = 0; y < height; ++y)
        std::memcpy(c.rows.data() + std::size_t(y) * width, bytes.data() + y * stride, width);
    return c;
}

struct Raster {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<Channel> channels;
    std::vector<platform::RgbQuad> palette;
};

// The channel blocks (and a palette block) of a layer or composite image.
void readChannels(const Reader& r, std::size_t begin, std::size_t end, int compression, Raster& raster)
{
    for (const Block& b : r.blocks(begin, end)) {
        if (b.id == kChannelBlock)
            raster.channels.push_back(readChannel(r, b, compression, raster.width, raster.height));
        else if (b.id == kColourBlock)
            raster.palette = readPalette(r, b);
    }
}

std::optional<Raster> firstRasterLayer(const Reader& r, const Block& bank, int compression, int& layers)
{
    std::optional<Raster> first;
    for (const Block& b : r.blocks(bank.dataAt, bank.end)) {
        if (b.id != kLayerBlock)
            continue;
        ++layers;
        if (first)
            continue;
        ByteCursor in(r.bytes().first(b.end), kFormat);
        in.seek(b.dataAt);
        const std::size_t start = in.position();
        int type = 0;
        if (r.major >= 4) {
            in.le32();
            in.skip(in.le16());  // name
            type = in.u8();
        } else {
            in.skip(256);
            type = in.u8();
        }
        in.skip(16);  // image rectangle
        const std::int32_t left = static_cast<std::int32_t>(in.le32()), top = static_cast<std::int32_t>(in.le32());
        const std::int32_t right = static_cast<std::int32_t>(in.le32()), bottom = static_cast<std::int32_t>(in.le32());
        const bool raster = r.major >= 4 ? (type == 1 || type == 2) : type <= 1;
        if (!raster)
            continue;
        std::size_t next = r.chunkEnd(in, start, b);
        if (r.major >= 4) {
            in.seek(next);
            next = r.chunkEnd(in, next, b);  // the bitmap count chunk
        }
        Raster layer;
        layer.left = left;
        layer.top = top;
        const std::int64_t width = std::int64_t{right} - left, height = std::int64_t{bottom} - top;
        if (width < 0 || height < 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxPicturePixels)
            failInvalidFormat(kFormat);
        layer.width = static_cast<int>(width);
        layer.height = static_cast<int>(height);
        if (next > b.end)
            failStreamRead(kFormat);
        readChannels(r, next, b.end, compression, layer);
        first = std::move(layer);
    }
    return first;
}

std::optional<Raster> fullComposite(const Reader& r, const Block& bank, const ImageInfo& info)
{
    bool usable = false;
    int compression = kNone;
    for (const Block& b : r.blocks(bank.dataAt, bank.end)) {
        if (b.id == kCompositeAttributes) {
            ByteCursor in(r.bytes().first(b.end), kFormat);
            in.seek(b.dataAt);
            in.le32();
            const int width = static_cast<std::int32_t>(in.le32()), height = static_cast<std::int32_t>(in.le32());
            in.le16();  // bit depth
            const int method = in.le16();
            in.le16();
            in.le32();
            const int type = in.le16();
            usable = type == 0 && width == info.width && height == info.height && method != kJpeg;
            compression = method;
        } else if (b.id == kCompositeImage && usable) {
            if (b.dataAt + 4 > b.end)
                failStreamRead(kFormat);
            const std::size_t next = b.dataAt + le32At(r.bytes(), b.dataAt);
            if (next > b.end)
                failStreamRead(kFormat);
            Raster composite;
            composite.width = info.width;
            composite.height = info.height;
            readChannels(r, next, b.end, compression, composite);
            return composite;
        }
    }
    return std::nullopt;
}

platform::Bitmap toBitmap(const ImageInfo& info, const Raster& raster, const std::vector<platform::RgbQuad>& palette)
{
    const Channel* colour[4] = {};
    const Channel* alpha = nullptr;
    for (const Channel& c : raster.channels) {
        if (c.bitmapType == 0 && c.channelType <= 3)
            colour[c.channelType] = &c;
        else if (c.bitmapType == 1)
            alpha = &c;
    }
    const bool rgb = info.bitDepth == 24;
    if (rgb ? !(colour[1] && colour[2] && colour[3]) : !colour[0])
        failColorFormat(kFormat);
    const bool covers = raster.left <= 0 && raster.top <= 0 &&
                        std::int64_t{raster.left} + raster.width >= info.width &&
                        std::int64_t{raster.top} + raster.height >= info.height;
    const bool transparent = alpha || !covers;
    platform::Bitmap b = makeBitmap(info.width, info.height, transparent ? 32 : 24, kFormat);
    const std::size_t bpp = transparent ? 4 : 3;
    for (int y = 0; y < raster.height; ++y) {
        const std::int64_t ty = std::int64_t{raster.top} + y;
        if (ty < 0 || ty >= info.height)
            continue;
        std::uint8_t* row = b.topRow(static_cast<int>(ty));
        for (int x = 0; x < raster.width; ++x) {
            const std::int64_t tx = std::int64_t{raster.left} + x;
            if (tx < 0 || tx >= info.width)
                continue;
            const std::size_t i = std::size_t(y) * raster.width + x;
            std::uint8_t* p = row + bpp * tx;
            if (rgb) {
                p[0] = colour[3]->rows[i];
                p[1] = colour[2]->rows[i];
                p[2] = colour[1]->rows[i];
            } else {
                const std::uint8_t v = colour[0]->rows[i];
                if (info.grey || palette.empty()) {
                    p[0] = p[1] = p[2] = v;
                } else {
                    const platform::RgbQuad q = v < palette.size() ? palette[v] : platform::RgbQuad{};
                    p[0] = q.blue;
                    p[1] = q.green;
                    p[2] = q.red;
                }
            }
            if (transparent)
                p[3] = alpha ? alpha->rows[i] : 255;
        }
    }
    return b;
}

class TPSPGraphic final : public PictureClass {
public:
    std::string className() const override { return "TPSPGraphic"; }

    bool canLoad(Bytes bytes) const override
    {
        return bytes.size() >= kFileHeaderSize && std::memcmp(bytes.data(), kSignature, sizeof kSignature - 1) == 0;
    }

    PictureProperties readProperties(Bytes bytes) const override
    {
        Reader r = open(bytes);
        const ImageInfo info = imageInfo(r);
        PictureProperties p;
        p.width = info.width;
        p.height = info.height;
        p.bitsPerSample = info.bitDepth == 24 ? 8 : info.bitDepth;
        p.samplesPerPixel = info.bitDepth == 24 ? 3 : 1;
        p.colorScheme = info.bitDepth == 24 ? "RGB" : info.grey ? "gray" : "indexed";
        static const char* names[] = {"none", "RLE", "LZ77", "JPEG"};
        p.compression = info.compression >= 0 && info.compression <= 3 ? names[info.compression] : "unknown";
        return p;
    }

    LoadedPicture load(Bytes bytes, const std::string&) const override
    {
        Reader r = open(bytes);
        const ImageInfo info = imageInfo(r);
        if (info.bitDepth != 8 && info.bitDepth != 24)
            failNotSupported(std::to_string(info.bitDepth) + " bits per pixel", kFormat);
        if (info.width <= 0 || info.height <= 0 ||
            std::uint64_t(info.width) * std::uint64_t(info.height) > kMaxPicturePixels)
            failInvalidFormat(kFormat);
        std::vector<platform::RgbQuad> palette;
        std::optional<Raster> composite, layer;
        int layers = 0;
        for (const Block& b : r.blocks(kFileHeaderSize, bytes.size())) {
            if (b.id == kColourBlock)
                palette = readPalette(r, b);
            else if (b.id == kCompositeBank && !composite)
                composite = fullComposite(r, b, info);
            else if (b.id == kLayerBank && !layer)
                layer = firstRasterLayer(r, b, info.compression, layers);
        }
        // A canvas far larger than anything the file paints is a damaged header,
        // not a picture: refused before it is allocated.
        const Raster* shown = composite ? &*composite : layer ? &*layer : nullptr;
        if (shown && std::uint64_t(info.width) * std::uint64_t(info.height) >
                         std::max<std::uint64_t>(std::uint64_t{1} << 20,
                                                 std::uint64_t(shown->width) * std::uint64_t(shown->height) * 256))
            failInvalidFormat(kFormat);
        LoadedPicture picture;
        if (composite) {
            picture.bitmap = toBitmap(info, *composite, composite->palette.empty() ? palette : composite->palette);
        } else if (layer) {
            picture.bitmap = toBitmap(info, *layer, palette);
            if (layers > 1)
                picture.problems.push_back("the file keeps no composite image: only the first raster layer of " +
                                           std::to_string(layers) + " is shown");
        } else {
            failInvalidFormat(kFormat);
        }
        // Resolution metric 1: per inch, 2: per centimetre.
        if (info.resolution > 0 && (info.resolutionMetric == 1 || info.resolutionMetric == 2)) {
            const double ppi = info.resolution * (info.resolutionMetric == 2 ? 2.54 : 1.0);
            picture.resolution.horizontal = ppi;
            picture.resolution.vertical = ppi;
        }
        return picture;
    }

private:
    Reader open(Bytes bytes) const
    {
        if (!canLoad(bytes))
            failInvalidFormat(kFormat);
        Reader r(bytes);
        r.major = le16At(bytes, 32);
        if (r.major < 3)
            failNotSupported("file version " + std::to_string(r.major), kFormat);
        return r;
    }

    ImageInfo imageInfo(const Reader& r) const
    {
        const std::vector<Block> top = r.blocks(kFileHeaderSize, r.bytes().size());
        if (top.empty() || top.front().id != kImageBlock)
            failInvalidFormat(kFormat);
        return readImageInfo(r, top.front());
    }
};

}  // namespace

std::unique_ptr<PictureClass> makeTPSPGraphic()
{
    return std::make_unique<TPSPGraphic>();
}

}  // namespace pictures
