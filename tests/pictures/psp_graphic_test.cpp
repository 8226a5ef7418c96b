// TPSPGraphic: Paint Shop Pro files of versions 3 and later.
#include <gtest/gtest.h>

#include <cstring>

#include <zlib.h>

#include "class_test_support.h"
#include "pictures/psp_graphic.h"

using namespace picturetest;

namespace {

struct Writer {
    int major = 5;
    int compression = 0;  // 0 none, 1 RLE, 2 LZ77

    ByteVector block(unsigned id, const ByteVector& data, std::uint32_t initial = 0) const
    {
        ByteVector b = {'~', 'B', 'K', 0};
        append16(b, id);
        if (major <= 3)
            append32(b, initial);
        append32(b, data.size());
        b.insert(b.end(), data.begin(), data.end());
        return b;
    }
    // A chunk led by its own length (version 4 on).
    ByteVector chunk(const ByteVector& body) const
    {
        if (major <= 3)
            return body;
        ByteVector c;
        append32(c, body.size() + 4);
        c.insert(c.end(), body.begin(), body.end());
        return c;
    }
    ByteVector packed(const ByteVector& plain) const
    {
        if (compression == 0)
            return plain;
        if (compression == 2) {
            uLongf size = compressBound(plain.size());
            ByteVector out(size);
            compress(out.data(), &size, plain.data(), plain.size());
            out.resize(size);
            return out;
        }
        ByteVector out;  // runs of equal bytes, literals of one
        for (std::size_t i = 0; i < plain.size();) {
            std::size_t run = 1;
            while (i + run < plain.size() && plain[i + run] == plain[i] && run < 127)
                ++run;
            if (run > 1) {
                out.push_back(std::uint8_t(128 + run));
                out.push_back(plain[i]);
            } else {
                out.push_back(1);
                out.push_back(plain[i]);
            }
            i += run;
        }
        return out;
    }
    ByteVector channel(const ByteVector& plain, unsigned bitmapType, unsigned channelType) const
    {
        const ByteVector data = packed(plain);
        ByteVector info;
        append32(info, data.size());
        append32(info, plain.size());
        append16(info, bitmapType);
        append16(info, channelType);
        ByteVector body = chunk(info);
        body.insert(body.end(), data.begin(), data.end());
        return block(5, body, 12);
    }
    ByteVector imageBlock(int w, int h, int depth, int layers) const
    {
        ByteVector d;
        append32(d, w);
        append32(d, h);
        const double res = 300;
        const auto* r = reinterpret_cast<const std::uint8_t*>(&res);
        d.insert(d.end(), r, r + 8);
        d.push_back(1);
        append16(d, compression);
        append16(d, depth);
        append16(d, 1);
        append32(d, depth == 8 ? 256 : 0);
        d.push_back(0);
        append32(d, 0);
        append32(d, 0);
        append16(d, layers);
        return block(0, chunk(d), 42);
    }
    ByteVector layer(int left, int top, int w, int h, const std::vector<ByteVector>& channels) const
    {
        ByteVector info;
        if (major <= 3) {
            info.resize(256, 0);
            info.push_back(0);  // normal layer
        } else {
            append16(info, 2);
            info.insert(info.end(), {'L', '1'});
            info.push_back(1);  // raster layer
        }
        for (int k = 0; k < 2; ++k) {  // image and saved rectangles
            append32(info, left);
            append32(info, top);
            append32(info, left + w);
            append32(info, top + h);
        }
        info.insert(info.end(), 20, 0);
        ByteVector body = chunk(info);
        const std::uint32_t initial = static_cast<std::uint32_t>(info.size() + 4);
        if (major <= 3) {
            append16(body, 1);
            append16(body, channels.size());
        } else {
            ByteVector counts;
            append16(counts, 1);
            append16(counts, channels.size());
            const ByteVector c = chunk(counts);
            body.insert(body.end(), c.begin(), c.end());
        }
        for (const ByteVector& c : channels)
            body.insert(body.end(), c.begin(), c.end());
        return block(4, body, initial);
    }
    ByteVector file(const std::vector<ByteVector>& blocks) const
    {
        ByteVector f(32, 0);
        const char sig[] = "Paint Shop Pro Image File\n\x1a";
        std::memcpy(f.data(), sig, sizeof sig - 1);
        append16(f, major);
        append16(f, 0);
        for (const ByteVector& b : blocks)
            f.insert(f.end(), b.begin(), b.end());
        return f;
    }
};

// Channel c of a w x h picture: value (x * 40 + y * 9 + c * 70) % 256, with a
// run along each row's first three pixels.
ByteVector plane(int w, int h, int c)
{
    ByteVector p;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.push_back(std::uint8_t(((x < 3 ? 0 : x) * 40 + y * 9 + c * 70) % 256));
    return p;
}

ByteVector rgbLayerFile(const Writer& w, bool mask)
{
    std::vector<ByteVector> channels = {w.channel(plane(6, 4, 1), 0, 1), w.channel(plane(6, 4, 2), 0, 2),
                                        w.channel(plane(6, 4, 3), 0, 3)};
    if (mask)
        channels.push_back(w.channel(plane(6, 4, 0), 1, 0));
    return w.file({w.imageBlock(6, 4, 24, 1), w.block(3, w.layer(0, 0, 6, 4, channels))});
}

pictures::LoadedPicture loadPsp(const ByteVector& f)
{
    return pictures::makeTPSPGraphic()->load(pictures::Bytes(f.data(), f.size()), "");
}

void expectRgbLayer(const platform::Bitmap& b, bool mask)
{
    ASSERT_EQ(b.width(), 6);
    ASSERT_EQ(b.height(), 4);
    EXPECT_EQ(b.bitsPerPixel(), mask ? 32 : 24);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) {
            const std::size_t i = std::size_t(y) * 6 + x;
            EXPECT_EQ(rgbaAt(b, x, y), (std::array<int, 4>{plane(6, 4, 1)[i], plane(6, 4, 2)[i], plane(6, 4, 3)[i],
                                                           mask ? plane(6, 4, 0)[i] : 255}))
                << x << "," << y;
        }
}

}  // namespace

TEST(TPSPGraphic, RasterLayerInEveryCompressionAndVersion)
{
    for (const int major : {3, 5})
        for (const int compression : {0, 1, 2})
            for (const bool mask : {false, true}) {
                SCOPED_TRACE(testing::Message() << "version " << major << " compression " << compression
                                                << (mask ? " with mask" : ""));
                Writer w;
                w.major = major;
                w.compression = compression;
                const ByteVector f = rgbLayerFile(w, mask);
                const auto cls = pictures::makeTPSPGraphic();
                ASSERT_TRUE(cls->canLoad(pictures::Bytes(f.data(), f.size())));
                const auto picture = loadPsp(f);
                expectRgbLayer(picture.bitmap, mask);
                EXPECT_EQ(picture.resolution.horizontal, 300.0);
                if (major == 5 && mask)
                    expectTruncationsHandled(*cls, f, f.size()), expectDamageHandled(*cls, f, f.size());
            }
}

TEST(TPSPGraphic, IndexedLayerPlacedOnItsCanvas)
{
    Writer w;
    ByteVector palette;
    append32(palette, 8);  // chunk length
    append32(palette, 2);
    palette.insert(palette.end(), {255, 0, 0, 0, 0, 255, 0, 0});  // blue, green
    const ByteVector indices = {0, 1, 1, 0};
    const ByteVector f = w.file({w.imageBlock(4, 3, 8, 1), w.block(2, palette),
                                 w.block(3, w.layer(2, 1, 2, 2, {w.channel(indices, 0, 0)}))});
    const auto b = loadPsp(f).bitmap;
    ASSERT_EQ(b.bitsPerPixel(), 32);
    const std::array<int, 4> clear{0, 0, 0, 0}, blue{0, 0, 255, 255}, green{0, 255, 0, 255};
    EXPECT_EQ(rgbaAt(b, 0, 0), clear);
    EXPECT_EQ(rgbaAt(b, 2, 1), blue);
    EXPECT_EQ(rgbaAt(b, 3, 1), green);
    EXPECT_EQ(rgbaAt(b, 2, 2), green);
    EXPECT_EQ(rgbaAt(b, 3, 2), blue);
    EXPECT_EQ(rgbaAt(b, 1, 2), clear);
}

TEST(TPSPGraphic, CompositeImageWinsOverLayers)
{
    Writer w;
    w.compression = 1;
    const std::vector<ByteVector> layerChannels = {w.channel(ByteVector(24, 1), 0, 1), w.channel(ByteVector(24, 2), 0, 2),
                                                   w.channel(ByteVector(24, 3), 0, 3)};
    const ByteVector layers = w.layer(0, 0, 6, 4, layerChannels);
    ByteVector bank = layers;
    bank.insert(bank.end(), layers.begin(), layers.end());  // two layers
    // Without a composite: the first layer, and a note that others were left out.
    auto picture = loadPsp(w.file({w.imageBlock(6, 4, 24, 2), w.block(3, bank)}));
    EXPECT_EQ(rgbaAt(picture.bitmap, 5, 3), (std::array<int, 4>{1, 2, 3, 255}));
    ASSERT_EQ(picture.problems.size(), 1u);

    ByteVector attributes;
    append32(attributes, 6);
    append32(attributes, 4);
    append16(attributes, 24);
    append16(attributes, 1);
    append16(attributes, 1);
    append32(attributes, 0);
    append16(attributes, 0);  // the full composite, not a thumbnail
    ByteVector image;
    append16(image, 1);
    append16(image, 3);
    image = w.chunk(image);
    for (int c = 1; c <= 3; ++c) {
        const ByteVector ch = w.channel(plane(6, 4, c), 0, c);
        image.insert(image.end(), ch.begin(), ch.end());
    }
    ByteVector compositeBank = w.block(17, w.chunk(attributes));
    const ByteVector ci = w.block(9, image);
    compositeBank.insert(compositeBank.end(), ci.begin(), ci.end());
    picture = loadPsp(w.file({w.imageBlock(6, 4, 24, 2), w.block(3, bank), w.block(16, compositeBank)}));
    expectRgbLayer(picture.bitmap, false);
    EXPECT_TRUE(picture.problems.empty());
}

TEST(TPSPGraphic, Refusals)
{
    const auto cls = pictures::makeTPSPGraphic();
    Writer w;
    ByteVector f = rgbLayerFile(w, false);
    EXPECT_EQ(loadError(*cls, ByteVector(f.begin() + 1, f.end())),
              "Cannot load image. Invalid or unexpected PSP image format.");
    Writer jpeg;
    jpeg.compression = 3;
    EXPECT_EQ(loadError(*cls, rgbLayerFile(jpeg, false)), "Cannot load image. JPEG compression not supported for PSP files.");
    Writer deep;
    f = deep.file({deep.imageBlock(6, 4, 48, 1)});
    EXPECT_EQ(loadError(*cls, f), "Cannot load image. 48 bits per pixel not supported for PSP files.");
    // Damaged deflate data.
    Writer lz;
    lz.compression = 2;
    f = rgbLayerFile(lz, false);
    f[f.size() - 5] ^= 0xFF;
    EXPECT_EQ(loadError(*cls, f), "LZ77 decompression error.");
}
