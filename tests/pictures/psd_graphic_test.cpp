// TPSDGraphic: merged images of 16 bits, CMYK, gray + alpha and matted
// transparency; the layers of a file without a real merged image.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/picture_classes.h"

using namespace picturetest;

namespace {

TEST(TPSDGraphic, MergedImagesAsAnEstablishedReaderShowsThem)
{
    const auto psd = pictures::makePsdGraphic();
    struct Case {
        const char* file;
        const char* raw;
        int channels, depth, tolerance;
    };
    // The writer of the files with alpha stores their colours unmatted in
    // spite of the negative layer count: they are the writer's own picture.
    const Case cases[] = {
        {"psd/rgb16_rle.psd", "psd/rgb16.rgb.raw", 3, 24, 0},
        {"psd/rgba16_rle.psd", "psd/rgba16.rgba.raw", 4, 32, 0},
        {"psd/gray16_raw.psd", "psd/gray16.gray.raw", 1, 8, 0},
        {"psd/cmyk_rle.psd", "psd/cmyk_rle.rgb.raw", 3, 24, 1},
        {"psd/gray_alpha_rle.psd", "psd/gray_alpha.rgba.raw", 4, 32, 0},
        {"psd/rgba_rle.psd", "psd/rgba_rle.rgba.raw", 4, 32, 0},
        {"psd/rgb_rle.psd", "psd/rose.rgb.raw", 3, 24, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const pictures::LoadedPicture picture = psd->load(readData(c.file), "");
        EXPECT_EQ(picture.bitmap.bitsPerPixel(), c.depth);
        expectPixels(picture.bitmap, readData(c.raw), c.channels, c.tolerance);
        EXPECT_TRUE(picture.problems.empty());
    }
    EXPECT_EQ(psd->readProperties(readData("psd/rgb16_rle.psd")).bitsPerSample, 16);
    EXPECT_EQ(psd->readProperties(readData("psd/cmyk_rle.psd")).colorScheme, "CMYK");
}

// A Photoshop file from the published layout: header, colour mode data,
// resources, layer section, then the merged image (raw planes).
struct PsdParts {
    int width = 2, height = 1, depth = 8;
    unsigned mode = 3;
    std::vector<ByteVector> planes;  // merged image, one entry per channel
    ByteVector resources, layers;
};

ByteVector psdFile(const PsdParts& p)
{
    ByteVector f = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    appendBe16(f, static_cast<unsigned>(p.planes.size()));
    appendBe32(f, p.height);
    appendBe32(f, p.width);
    appendBe16(f, p.depth);
    appendBe16(f, p.mode);
    appendBe32(f, 0);
    appendBe32(f, p.resources.size());
    f.insert(f.end(), p.resources.begin(), p.resources.end());
    appendBe32(f, p.layers.size());
    f.insert(f.end(), p.layers.begin(), p.layers.end());
    appendBe16(f, 0);
    for (const ByteVector& plane : p.planes)
        f.insert(f.end(), plane.begin(), plane.end());
    return f;
}

// The version-info resource with its "has real merged data" byte.
ByteVector versionInfo(bool realMerged)
{
    ByteVector r = {'8', 'B', 'I', 'M', 0x04, 0x21, 0, 0};
    appendBe32(r, 6);
    appendBe32(r, 1);
    r.push_back(realMerged ? 1 : 0);
    r.push_back(0);
    return r;
}

// A layer section that says only its layer count.
ByteVector layerCount(int count)
{
    ByteVector l;
    appendBe32(l, 2);
    appendBe16(l, static_cast<unsigned>(count) & 0xFFFF);
    return l;
}

struct Layer {
    int top, left, bottom, right;
    std::vector<std::pair<int, ByteVector>> channels;  // id, raw values
    std::uint8_t opacity = 255;
    bool hidden = false;
    const char* blend = "norm";
};

ByteVector layerSection(const std::vector<Layer>& layers)
{
    ByteVector records, data;
    appendBe16(records, layers.size());
    for (const Layer& l : layers) {
        for (int v : {l.top, l.left, l.bottom, l.right})
            appendBe32(records, static_cast<std::uint32_t>(v));
        appendBe16(records, l.channels.size());
        for (const auto& [id, values] : l.channels) {
            appendBe16(records, static_cast<unsigned>(id) & 0xFFFF);
            appendBe32(records, values.size() + 2);
            appendBe16(data, 0);
            data.insert(data.end(), values.begin(), values.end());
        }
        records.insert(records.end(), {'8', 'B', 'I', 'M'});
        records.insert(records.end(), l.blend, l.blend + 4);
        records.push_back(l.opacity);
        records.push_back(0);
        records.push_back(l.hidden ? 2 : 0);
        records.push_back(0);
        appendBe32(records, 0);
    }
    ByteVector info;
    appendBe32(info, records.size() + data.size());
    info.insert(info.end(), records.begin(), records.end());
    info.insert(info.end(), data.begin(), data.end());
    appendBe32(info, 0);  // global mask
    return info;
}

TEST(TPSDGraphic, TransparencyOfTheMergedImageIsUnmattedFromWhite)
{
    const auto psd = pictures::makePsdGraphic();
    // (200, 100, 0) under alpha 51 matted with white: c*a/255 + 255 - a.
    PsdParts rgba;
    rgba.width = 3;
    rgba.planes = {{244, 255, 0}, {224, 255, 0}, {204, 255, 255}, {51, 0, 255}};
    rgba.layers = layerCount(-1);
    const platform::Bitmap b = psd->load(psdFile(rgba), "").bitmap;
    ASSERT_EQ(b.bitsPerPixel(), 32);
    EXPECT_EQ(rgbaAt(b, 0, 0), (std::array<int, 4>{200, 100, 0, 51}));
    EXPECT_EQ(rgbaAt(b, 2, 0), (std::array<int, 4>{0, 0, 255, 255}));
    // Alpha 0: nothing to take out, the white stays.
    EXPECT_EQ(rgbaAt(b, 1, 0), (std::array<int, 4>{255, 255, 255, 0}));

    // A positive layer count: the extra channel is alpha, the colours as stored.
    rgba.layers = layerCount(1);
    EXPECT_EQ(rgbaAt(psd->load(psdFile(rgba), "").bitmap, 0, 0), (std::array<int, 4>{244, 224, 204, 51}));

    PsdParts grayAlpha;
    grayAlpha.mode = 1;
    grayAlpha.planes = {{234, 255}, {51, 255}};  // gray 150 under alpha 51
    grayAlpha.layers = layerCount(-1);
    const platform::Bitmap g = psd->load(psdFile(grayAlpha), "").bitmap;
    EXPECT_EQ(rgbaAt(g, 0, 0), (std::array<int, 4>{150, 150, 150, 51}));
    EXPECT_EQ(rgbaAt(g, 1, 0), (std::array<int, 4>{255, 255, 255, 255}));
}

TEST(TPSDGraphic, ModesFromThePublishedLayout)
{
    const auto psd = pictures::makePsdGraphic();
    // CMYK as Photoshop stores it, 255 meaning no ink: white, 100% cyan, half black.
    PsdParts cmyk;
    cmyk.width = 3;
    cmyk.mode = 4;
    cmyk.planes = {{255, 0, 255}, {255, 255, 255}, {255, 255, 255}, {255, 255, 128}};
    const platform::Bitmap c = psd->load(psdFile(cmyk), "").bitmap;
    EXPECT_EQ(rgbaAt(c, 0, 0), (std::array<int, 4>{255, 255, 255, 255}));
    EXPECT_EQ(rgbaAt(c, 1, 0), (std::array<int, 4>{0, 255, 255, 255}));
    EXPECT_EQ(rgbaAt(c, 2, 0), (std::array<int, 4>{128, 128, 128, 255}));

    // Bitmap mode: set bits are black.
    PsdParts bitmap;
    bitmap.width = 10;
    bitmap.depth = 1;
    bitmap.mode = 0;
    bitmap.planes = {{0xA0, 0x40}};
    const platform::Bitmap m = psd->load(psdFile(bitmap), "").bitmap;
    EXPECT_EQ(rgbaAt(m, 0, 0)[0], 0);
    EXPECT_EQ(rgbaAt(m, 1, 0)[0], 255);
    EXPECT_EQ(rgbaAt(m, 2, 0)[0], 0);
    EXPECT_EQ(rgbaAt(m, 9, 0)[0], 0);

    // 16 bits: the value's top eight bits, rounded.
    PsdParts wide;
    wide.mode = 1;
    wide.depth = 16;
    wide.planes = {{0x80, 0x7F, 0xFF, 0xFF}};
    const platform::Bitmap w = psd->load(psdFile(wide), "").bitmap;
    EXPECT_EQ(rgbaAt(w, 0, 0)[0], 128);
    EXPECT_EQ(rgbaAt(w, 1, 0)[0], 255);

    PsdParts lab = cmyk;
    lab.mode = 9;
    lab.planes.pop_back();
    EXPECT_EQ(loadError(*psd, psdFile(lab)), "Cannot load image. Lab colour not supported for Photoshop files.");
    PsdParts floats = wide;
    floats.depth = 32;
    EXPECT_EQ(loadError(*psd, psdFile(floats)),
              "Cannot load image. 32 bits per channel not supported for Photoshop files.");
    PsdParts tooFew = cmyk;
    tooFew.planes.resize(3);
    EXPECT_EQ(loadError(*psd, psdFile(tooFew)), "Invalid color format in Photoshop file.");
}

TEST(TPSDGraphic, WithoutARealMergedImageTheLayersAreComposited)
{
    const auto psd = pictures::makePsdGraphic();
    // A red layer over the whole canvas; over it a half-opaque blue layer on
    // the right two pixels whose first pixel is transparent; a hidden green one.
    const Layer red{0, 0, 1, 3, {{0, {255, 255, 255}}, {1, {0, 0, 0}}, {2, {0, 0, 0}}}};
    Layer blue{0, 1, 1, 3, {{-1, {0, 255}}, {0, {0, 0}}, {1, {0, 0}}, {2, {255, 255}}}};
    blue.opacity = 128;
    Layer green{0, 0, 1, 3, {{0, {0, 0, 0}}, {1, {255, 255, 255}}, {2, {0, 0, 0}}}};
    green.hidden = true;
    PsdParts p;
    p.width = 3;
    p.planes = {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}};  // the white placeholder
    p.resources = versionInfo(false);
    p.layers = layerSection({red, blue, green});
    const platform::Bitmap b = psd->load(psdFile(p), "").bitmap;
    EXPECT_EQ(rgbaAt(b, 0, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(b, 1, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(b, 2, 0), (std::array<int, 4>{127, 0, 128, 255}));

    // Only the top layer: the canvas stays transparent where it has no pixels.
    p.layers = layerSection({blue});
    const platform::Bitmap top = psd->load(psdFile(p), "").bitmap;
    EXPECT_EQ(rgbaAt(top, 0, 0)[3], 0);
    EXPECT_EQ(rgbaAt(top, 2, 0), (std::array<int, 4>{0, 0, 255, 128}));

    // A real merged image is shown as it is.
    p.resources = versionInfo(true);
    EXPECT_EQ(rgbaAt(psd->load(psdFile(p), "").bitmap, 0, 0), (std::array<int, 4>{255, 255, 255, 255}));

    p.resources = versionInfo(false);
    Layer multiply = red;
    multiply.blend = "mul ";
    p.layers = layerSection({multiply});
    EXPECT_EQ(psd->load(psdFile(p), "").problems.size(), 1u);

    // Neither a merged image nor layers: refused, not shown blank.
    p.layers.clear();
    EXPECT_EQ(loadError(*psd, psdFile(p)),
              "Cannot load image. Pictures without a merged image not supported for Photoshop files.");
}

TEST(TPSDGraphic, DamagedFilesEndInItsTexts)
{
    const auto psd = pictures::makePsdGraphic();
    for (const char* file : {"psd/rgb16_rle.psd", "psd/gray16_raw.psd", "psd/cmyk_rle.psd"}) {
        SCOPED_TRACE(file);
        const ByteVector good = readData(file);
        expectTruncationsHandled(*psd, good, good.size() - 1);
        expectDamageHandled(*psd, good, 64);
    }
    PsdParts p;
    p.width = 3;
    p.planes = {{255, 255, 255}, {255, 255, 255}, {255, 255, 255}};
    p.resources = versionInfo(false);
    p.layers = layerSection({{0, 0, 1, 3, {{0, {255, 255, 255}}, {1, {0, 0, 0}}, {2, {0, 0, 0}}}}});
    const ByteVector layered = psdFile(p);
    expectDamageHandled(*psd, layered, layered.size());
}

}  // namespace
