// TMetafile: WMF through libwmf, EMF by our own player.
#include <gtest/gtest.h>

#include "class_test_support.h"
#include "pictures/metafile.h"

using namespace picturetest;

namespace {

using Rgb = std::array<int, 4>;
const Rgb kWhite{255, 255, 255, 255}, kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255};

// WMF records: size in 16-bit words, function, parameters.
void wmfRecord(ByteVector& f, unsigned function, const std::vector<unsigned>& params)
{
    append32(f, 3 + params.size());
    append16(f, function);
    for (unsigned p : params)
        append16(f, p);
}

constexpr unsigned kCreateBrush = 0x02FC, kCreatePen = 0x02FA, kSelectObject = 0x012D, kDeleteObject = 0x01F0;
const std::vector<unsigned> kSolidRed = {0, 0x00FF, 0x0000, 0}, kSolidBlue = {0, 0x0000, 0x00FF, 0};
const std::vector<unsigned> kNullPen = {5, 0, 0, 0, 0};

// A solid red brush and a null pen, selected.
ByteVector redBrushNullPen()
{
    ByteVector records;
    wmfRecord(records, kCreateBrush, kSolidRed);
    wmfRecord(records, kSelectObject, {0});
    wmfRecord(records, kCreatePen, kNullPen);
    wmfRecord(records, kSelectObject, {1});
    return records;
}

// A placeable 100 x 50 metafile (96 units an inch): a rectangle from (20, 10)
// to (80, 40) on the white canvas, drawn with the objects the given records
// leave (by default red without outline).
ByteVector wmfFile(bool placeable = true, const ByteVector& objects = redBrushNullPen())
{
    ByteVector records;
    wmfRecord(records, 0x020B, {0, 0});     // SetWindowOrg(y, x)
    wmfRecord(records, 0x020C, {50, 100});  // SetWindowExt(y, x)
    records.insert(records.end(), objects.begin(), objects.end());
    wmfRecord(records, 0x041B, {40, 80, 10, 20});  // Rectangle(bottom, right, top, left)
    wmfRecord(records, 0x0000, {});
    ByteVector f;
    if (placeable) {
        append32(f, 0x9AC6CDD7);
        for (unsigned v : {0u, 0u, 0u, 100u, 50u, 96u})
            append16(f, v);
        append32(f, 0);
        unsigned sum = 0;
        for (int i = 0; i < 10; ++i)
            sum ^= f[2 * i] | f[2 * i + 1] << 8;
        append16(f, sum);
    }
    append16(f, 1);
    append16(f, 9);
    append16(f, 0x0300);
    append32(f, 9 + records.size() / 2);
    append16(f, 2);
    append32(f, 8);
    append16(f, 0);
    f.insert(f.end(), records.begin(), records.end());
    return f;
}

struct Emf {
    ByteVector records;
    void add(std::uint32_t type, const std::vector<std::uint32_t>& params)
    {
        append32(records, type);
        append32(records, 8 + 4 * params.size());
        for (std::uint32_t p : params)
            append32(records, p);
    }
    void addRaw(std::uint32_t type, const ByteVector& body)
    {
        append32(records, type);
        append32(records, 8 + body.size());
        records.insert(records.end(), body.begin(), body.end());
    }
    // A 100 x 50 pixel frame: 10 pixels a millimetre, frame 10 x 5 mm.
    ByteVector file() const
    {
        ByteVector h;
        append32(h, 1);
        append32(h, 88);
        for (std::uint32_t v : {0u, 0u, 99u, 49u, 0u, 0u, 1000u, 500u})
            append32(h, v);
        append32(h, 0x464D4520);
        append32(h, 0x10000);
        append32(h, 0);  // bytes, patched below
        append32(h, 0);  // records
        append16(h, 4);
        append16(h, 0);
        append32(h, 0);
        append32(h, 0);
        append32(h, 0);
        for (std::uint32_t v : {1000u, 500u, 100u, 50u})
            append32(h, v);
        ByteVector f = h;
        f.insert(f.end(), records.begin(), records.end());
        append32(f, 14);
        append32(f, 20);
        append32(f, 0);
        append32(f, 0);
        append32(f, 20);
        put32(f, 48, f.size());
        return f;
    }
};

std::uint32_t colourRef(int r, int g, int b) { return r | g << 8 | b << 16; }

pictures::LoadedPicture loadMeta(const ByteVector& f)
{
    return pictures::makeTMetafile()->load(pictures::Bytes(f.data(), f.size()), "");
}

// A 2 x 2 bitmap for the bitmap records: top row red, green; bottom blue, white.
ByteVector dib2x2()
{
    ByteVector d(40, 0);
    put32(d, 0, 40);
    put32(d, 4, 2);
    put32(d, 8, 2);
    put16(d, 12, 1);
    put16(d, 14, 24);
    d.insert(d.end(), {255, 0, 0, 255, 255, 255, 0, 0});  // bottom row: blue, white (+ padding)
    d.insert(d.end(), {0, 0, 255, 0, 255, 0, 0, 0});      // top row: red, green
    return d;
}

}  // namespace

TEST(TMetafile, WmfThroughLibwmf)
{
    const auto cls = pictures::makeTMetafile();
    for (const bool placeable : {true, false}) {
        SCOPED_TRACE(placeable ? "placeable" : "plain");
        const ByteVector f = wmfFile(placeable);
        ASSERT_TRUE(cls->canLoad(pictures::Bytes(f.data(), f.size())));
        const auto b = loadMeta(f).bitmap;
        ASSERT_GT(b.width(), 10);
        const int w = b.width(), h = b.height();
        EXPECT_EQ(rgbaAt(b, w / 2, h / 2), kRed);
        EXPECT_EQ(rgbaAt(b, 1, 1), kWhite);
        // The frame: the placeable header's, or the window the file sets.
        EXPECT_EQ(w, 100);
        EXPECT_EQ(h, 50);
        EXPECT_EQ(rgbaAt(b, 15, 25), kWhite);
        EXPECT_EQ(rgbaAt(b, 25, 15), kRed);
        EXPECT_EQ(rgbaAt(b, 85, 25), kWhite);
    }
    const ByteVector f = wmfFile();
    expectTruncationsHandled(*cls, f, f.size());
    expectDamageHandled(*cls, f, f.size());
}

// The player draws with an object from the slot it was created in, deleted
// or not: an object of another kind created in that slot must not be drawn
// with as the deleted one (a null pen read as a pattern brush crashed it).
TEST(TMetafile, WmfDrawsWithADeletedObjectWhoseSlotIsReused)
{
    struct Case {
        const char* name;
        std::vector<std::pair<unsigned, std::vector<unsigned>>> records;
        Rgb centre;
    };
    const Case cases[] = {
        {"pen in the deleted brush's slot",
         {{kCreateBrush, kSolidRed}, {kSelectObject, {0}}, {kDeleteObject, {0}}, {kCreatePen, kNullPen}},
         kRed},
        {"brush deleted unselected, then a pen",
         {{kCreateBrush, kSolidRed}, {kDeleteObject, {0}}, {kCreatePen, kNullPen}},
         kRed},
        {"second brush's slot reused",
         {{kCreateBrush, kSolidBlue}, {kCreateBrush, kSolidRed}, {kDeleteObject, {1}}, {kCreatePen, kNullPen},
          {kSelectObject, {1}}},
         kRed},
        {"a new brush in the slot",
         {{kCreateBrush, kSolidRed}, {kDeleteObject, {0}}, {kCreateBrush, kSolidBlue}, {kCreatePen, kNullPen}},
         kBlue},
    };
    for (const Case& c : cases) {
        ByteVector objects;
        for (const auto& [function, params] : c.records)
            wmfRecord(objects, function, params);
        const auto picture = loadMeta(wmfFile(true, objects));
        ASSERT_EQ(picture.bitmap.width(), 100) << c.name;
        EXPECT_EQ(rgbaAt(picture.bitmap, 50, 25), c.centre) << c.name;
        EXPECT_EQ(rgbaAt(picture.bitmap, 5, 5), kWhite) << c.name;
    }
}

TEST(TMetafile, EmfShapesPensBrushesAndTransforms)
{
    Emf e;
    e.add(39, {1, 0, colourRef(255, 0, 0), 0});  // brush 1: solid red
    e.add(37, {1});
    e.add(37, {0x80000008});                      // stock null pen
    e.add(43, {10, 10, 40, 30});                  // rectangle
    e.add(38, {2, 0, 3, 0, colourRef(0, 0, 255)});  // pen 2: solid blue, 3 wide
    e.add(39, {3, 0, colourRef(0, 255, 0), 0});     // brush 3: green
    e.add(37, {2});
    e.add(37, {3});
    e.add(42, {50, 5, 90, 45});                   // ellipse
    // Anisotropic page: logical units are half pixels.
    e.add(17, {8});
    e.add(9, {200, 100});
    e.add(11, {100, 50});
    e.add(37, {0x80000005});                      // null brush
    e.add(4, {0, 0, 0, 0, 2, 0, 96, 196, 96});    // polyline (0,96)-(196,96): the row y = 48
    e.add(84, {0, 0, 0, 0, 0});                   // text: not played
    const auto picture = loadMeta(e.file());
    const auto& b = picture.bitmap;
    ASSERT_EQ(b.width(), 100);
    ASSERT_EQ(b.height(), 50);
    EXPECT_EQ(rgbaAt(b, 25, 20), kRed);
    EXPECT_EQ(rgbaAt(b, 10, 10), kRed);
    EXPECT_EQ(rgbaAt(b, 40, 20), kWhite);   // right edge excluded
    EXPECT_EQ(rgbaAt(b, 5, 5), kWhite);
    EXPECT_EQ(rgbaAt(b, 70, 25), kGreen);   // ellipse inside
    EXPECT_EQ(rgbaAt(b, 50, 25), kBlue);    // its outline
    EXPECT_EQ(rgbaAt(b, 52, 7), kWhite);    // outside, in its bounding box corner
    EXPECT_EQ(rgbaAt(b, 20, 48), kBlue);    // the line, in half-pixel units
    EXPECT_EQ(rgbaAt(b, 20, 45), kWhite);
    ASSERT_EQ(picture.problems.size(), 1u);
    EXPECT_EQ(picture.problems[0], "record EXTTEXTOUTW not played (1 times)");
}

TEST(TMetafile, EmfBitmapRecords)
{
    const ByteVector dib = dib2x2();
    // StretchDIBits: the 2 x 2 bitmap stretched over (60, 10)-(80, 30).
    ByteVector body(72, 0);
    put32(body, 16, 60);
    put32(body, 20, 10);
    put32(body, 32, 2);  // cxSrc
    put32(body, 36, 2);  // cySrc
    put32(body, 40, 80);  // offBmi
    put32(body, 44, 40);
    put32(body, 48, 120);  // offBits
    put32(body, 52, 16);
    put32(body, 60, 0x00CC0020);
    put32(body, 64, 20);
    put32(body, 68, 20);
    body.insert(body.end(), dib.begin(), dib.end());
    Emf e;
    e.addRaw(81, body);
    // BitBlt without a source: a pattern fill with the current (stock black) brush.
    ByteVector fill(92, 0);
    put32(fill, 16, 5);
    put32(fill, 20, 40);
    put32(fill, 24, 10);
    put32(fill, 28, 5);
    put32(fill, 32, 0x00F00021);
    e.add(37, {0x80000004});
    e.addRaw(76, fill);
    const auto b = loadMeta(e.file()).bitmap;
    EXPECT_EQ(rgbaAt(b, 65, 15), kRed);
    EXPECT_EQ(rgbaAt(b, 75, 15), kGreen);
    EXPECT_EQ(rgbaAt(b, 65, 25), kBlue);
    EXPECT_EQ(rgbaAt(b, 75, 25), kWhite);
    EXPECT_EQ(rgbaAt(b, 85, 25), kWhite);
    EXPECT_EQ(rgbaAt(b, 10, 42), (Rgb{0, 0, 0, 255}));
    EXPECT_EQ(rgbaAt(b, 10, 48), kWhite);
    const ByteVector f = e.file();
    expectTruncationsHandled(*pictures::makeTMetafile(), f, f.size());
    expectDamageHandled(*pictures::makeTMetafile(), f, f.size());
}

TEST(TMetafile, Refusals)
{
    const auto cls = pictures::makeTMetafile();
    EXPECT_EQ(loadError(*cls, ByteVector(100, 7)), "Cannot load image. Invalid or unexpected metafile image format.");
    ByteVector wmf = wmfFile();
    wmf.resize(wmf.size() - 6);  // no end-of-file record
    EXPECT_EQ(loadError(*cls, wmf), "Stream read error in WMF file.");
    Emf e;
    e.add(43, {10, 10, 40, 30});
    ByteVector emf = e.file();
    emf.resize(emf.size() - 20);
    EXPECT_EQ(loadError(*cls, emf), "Stream read error in EMF file.");
}
