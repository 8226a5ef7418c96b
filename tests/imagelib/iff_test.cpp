// IFF reader, on files built here from the ILBM and PBM layouts: bitplanes of
// every depth with and without mask plane and compression, chunky bodies, the
// chunks around the picture, and damaged files.
#include <gtest/gtest.h>

#include "imagelib/formats.h"
#include "imagelib/image_library.h"
#include "record_support.h"
#include "test_support/temp_dir.h"

using namespace imagelib;
using namespace testsupport;

namespace {

using Bytes = std::vector<std::uint8_t>;

// ByteRun1: repeats of two or more bytes as (1 - n, byte), the rest as literals.
Bytes byteRun1(const Bytes& row)
{
    Bytes out;
    std::size_t i = 0;
    while (i < row.size()) {
        std::size_t run = 1;
        while (i + run < row.size() && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 2) {
            out.insert(out.end(), {static_cast<std::uint8_t>(1 - static_cast<int>(run)), row[i]});
            i += run;
            continue;
        }
        std::size_t len = 1;
        while (i + len < row.size() && len < 128 && row[i + len] != row[i + len - 1])
            ++len;
        if (i + len < row.size() && len > 1)
            --len;  // leave the first byte of the next repeat to it
        out.push_back(static_cast<std::uint8_t>(len - 1));
        out.insert(out.end(), row.begin() + i, row.begin() + i + len);
        i += len;
    }
    return out;
}

struct Picture {
    std::uint16_t width = 21;
    std::uint16_t height = 3;
    unsigned planes = 4;
    Bytes indices;  // width x height, top row first
};

Picture makePicture(std::uint16_t width, std::uint16_t height, unsigned planes)
{
    Picture p{width, height, planes, {}};
    for (unsigned y = 0; y < height; ++y)
        for (unsigned x = 0; x < width; ++x)
            p.indices.push_back(static_cast<std::uint8_t>(((x / 3) * 7 + y * 3) % (1u << planes)));
    return p;
}

Bytes planarBody(const Picture& p, bool mask, bool compress)
{
    const std::size_t rowBytes = (p.width + 15u) / 16 * 2;
    Bytes body;
    for (unsigned y = 0; y < p.height; ++y) {
        for (unsigned plane = 0; plane < p.planes + (mask ? 1 : 0); ++plane) {
            Bytes row(rowBytes, 0);
            for (unsigned x = 0; x < p.width; ++x) {
                const bool bit = plane == p.planes ? true : (p.indices[y * p.width + x] >> plane) & 1;
                if (bit)
                    row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
            const Bytes coded = compress ? byteRun1(row) : row;
            body.insert(body.end(), coded.begin(), coded.end());
        }
    }
    return body;
}

Bytes chunkyBody(const Picture& p, std::size_t rowSize, bool compress)
{
    Bytes body;
    for (unsigned y = 0; y < p.height; ++y) {
        Bytes row(p.indices.begin() + y * p.width, p.indices.begin() + (y + 1) * p.width);
        row.resize(rowSize, 0);
        const Bytes coded = compress ? byteRun1(row) : row;
        body.insert(body.end(), coded.begin(), coded.end());
    }
    return body;
}

Bytes chunk(const char* id, const Bytes& data)
{
    Bytes c(id, id + 4);
    c.resize(8);
    putBe32(c, 4, static_cast<std::uint32_t>(data.size()));
    c.insert(c.end(), data.begin(), data.end());
    if (data.size() % 2)
        c.push_back(0);
    return c;
}

Bytes bmhd(const Picture& p, std::uint8_t masking, std::uint8_t compression, std::uint16_t transparent = 0)
{
    Bytes h(20, 0);
    putBe16(h, 0, p.width);
    putBe16(h, 2, p.height);
    h[8] = static_cast<std::uint8_t>(p.planes);
    h[9] = masking;
    h[10] = compression;
    putBe16(h, 12, transparent);
    h[14] = h[15] = 1;
    return h;
}

Bytes colourMap(unsigned count)
{
    Bytes c;
    for (unsigned i = 0; i < count; ++i)
        c.insert(c.end(), {std::uint8_t(i), std::uint8_t(255 - i), std::uint8_t(i * 3)});
    return c;
}

Bytes form(const char* type, const std::vector<Bytes>& chunks)
{
    Bytes f = {'F', 'O', 'R', 'M', 0, 0, 0, 0, std::uint8_t(type[0]), std::uint8_t(type[1]), std::uint8_t(type[2]),
               std::uint8_t(type[3])};
    for (const Bytes& c : chunks)
        f.insert(f.end(), c.begin(), c.end());
    putBe32(f, 4, static_cast<std::uint32_t>(f.size() - 8));
    return f;
}

int loadIffBytes(const Bytes& file, ImageRecord& r)
{
    return loadFileBytes(LoadIffFile, file, r, "in.iff");
}

void expectIndices(const ImageRecord& r, const Picture& p)
{
    ASSERT_EQ(r.width, p.width);
    ASSERT_EQ(r.height, p.height);
    ASSERT_EQ(r.bitsPerPixel, 8);
    for (unsigned y = 0; y < p.height; ++y)
        for (unsigned x = 0; x < p.width; ++x)
            ASSERT_EQ(indexAt(r, x, p.height - 1 - y), p.indices[y * p.width + x]) << x << "," << y;
}

struct PlaneCase {
    unsigned planes;
    bool mask;
    bool compress;
};

class IffBitplanes : public ::testing::TestWithParam<PlaneCase> {};

TEST_P(IffBitplanes, DecodeToTheirIndices)
{
    const PlaneCase c = GetParam();
    const Picture p = makePicture(21, 3, c.planes);
    const unsigned colours = 1u << c.planes;
    const Bytes file = form("ILBM", {chunk("BMHD", bmhd(p, c.mask ? 1 : 0, c.compress ? 1 : 0)),
                                     chunk("CMAP", colourMap(colours)), chunk("BODY", planarBody(p, c.mask, c.compress))});
    ImageRecord r;
    ASSERT_EQ(loadIffBytes(file, r), 0);
    expectIndices(r, p);
    ASSERT_EQ(r.paletteSize, colours);
    const std::uint8_t* last = r.entry(colours - 1);
    EXPECT_EQ((Bytes{last[0], last[1], last[2], last[3]}),
              (Bytes{std::uint8_t((colours - 1) * 3), std::uint8_t(256 - colours), std::uint8_t(colours - 1), 0}));
}

INSTANTIATE_TEST_SUITE_P(Iff, IffBitplanes,
                         ::testing::Values(PlaneCase{1, false, false}, PlaneCase{4, false, true},
                                           PlaneCase{5, true, true}, PlaneCase{8, false, true},
                                           PlaneCase{8, true, false}, PlaneCase{3, true, false}));

TEST(Iff, ChunkyBodies)
{
    const Picture p = makePicture(21, 3, 8);
    // Eight-plane ILBM whose compressed body holds one byte per pixel.
    Bytes file = form("ILBM", {chunk("BMHD", bmhd(p, 0, 1)), chunk("CMAP", colourMap(256)),
                               chunk("BODY", chunkyBody(p, 21, true))});
    ImageRecord r;
    ASSERT_EQ(loadIffBytes(file, r), 0);
    expectIndices(r, p);

    // PBM rows are padded to an even length, raw or compressed.
    const Picture odd = makePicture(5, 4, 8);
    for (bool compress : {false, true}) {
        file = form("PBM ", {chunk("BMHD", bmhd(odd, 0, compress)), chunk("CMAP", colourMap(256)),
                             chunk("BODY", chunkyBody(odd, 6, compress))});
        ImageRecord q;
        ASSERT_EQ(loadIffBytes(file, q), 0) << compress;
        expectIndices(q, odd);
    }
}

TEST(Iff, ChunksThatDoNotDrawAreSkipped)
{
    const Picture p = makePicture(21, 3, 4);
    const Bytes file = form("ILBM", {chunk("BMHD", bmhd(p, 2, 1, 5)), chunk("ANNO", {'a', 'b', 'c'}),
                                     chunk("CMAP", colourMap(16)), chunk("CRNG", Bytes(8, 1)),
                                     chunk("DPPS", Bytes(5, 9)), chunk("BODY", planarBody(p, false, true)),
                                     chunk("AUTH", {'m', 'e'})});
    ImageRecord r;
    ASSERT_EQ(loadIffBytes(file, r), 0);
    expectIndices(r, p);
}

TEST(Iff, TransparentColourKeepsItsOwnColourInTheBitmap)
{
    // Masking 2 with transparent colour 5: the entry's colour survives the
    // conversion into a bitmap instead of turning into the background.
    const Picture p = makePicture(21, 3, 4);
    const Bytes file = form("ILBM", {chunk("BMHD", bmhd(p, 2, 1, 5)), chunk("CMAP", colourMap(16)),
                                     chunk("BODY", planarBody(p, false, true))});
    ImageRecord r;
    ASSERT_EQ(loadIffBytes(file, r), 0);
    EXPECT_EQ(r.transparentIndex, -1);
    TempDir dir;
    const auto path = dir.path() / "masked.iff";
    writeBytes(path, file);
    const auto bitmap = LoadImageToBitmap(path.string(), nullptr, 0);
    ASSERT_TRUE(bitmap);
    const platform::RgbQuad& q = bitmap->palette().at(5);
    EXPECT_EQ((Bytes{q.blue, q.green, q.red}), (Bytes{r.entry(5)[0], r.entry(5)[1], r.entry(5)[2]}));
    EXPECT_NE(q.red + q.green + q.blue, 0);
}

TEST(Iff, PaletteVariants)
{
    // No CMAP: gray levels over the planes' range.
    Picture p = makePicture(21, 3, 2);
    ImageRecord r;
    ASSERT_EQ(loadIffBytes(form("ILBM", {chunk("BMHD", bmhd(p, 0, 0)), chunk("BODY", planarBody(p, false, false))}), r), 0);
    ASSERT_EQ(r.paletteSize, 4);
    EXPECT_EQ(rgbaAt(r, 0, 0)[0], 0);
    EXPECT_EQ(r.entry(1)[0], 85);
    EXPECT_EQ(r.entry(3)[1], 255);

    // Extra half-brite: 32 colours and their halves.
    p = makePicture(21, 3, 6);
    const Bytes modes = {0, 0, 0, 0x80};
    ASSERT_EQ(loadIffBytes(form("ILBM", {chunk("BMHD", bmhd(p, 0, 1)), chunk("CMAP", colourMap(32)),
                                         chunk("CAMG", modes), chunk("BODY", planarBody(p, false, true))}),
                           r),
              0);
    ASSERT_EQ(r.paletteSize, 64);
    EXPECT_EQ((Bytes{r.entry(40)[0], r.entry(40)[1], r.entry(40)[2]}), (Bytes{12, 247 / 2, 4}));
    expectIndices(r, p);

    // Hold-and-modify pictures are not paletted: refused rather than shown as noise.
    const Bytes ham = {0, 0, 0x08, 0};
    EXPECT_EQ(loadIffBytes(form("ILBM", {chunk("BMHD", bmhd(p, 0, 1)), chunk("CMAP", colourMap(16)),
                                         chunk("CAMG", ham), chunk("BODY", planarBody(p, false, true))}),
                           r),
              kImageUnsupportedOption);
}

TEST(Iff, DamagedFilesAreRefused)
{
    const Picture p = makePicture(21, 3, 4);
    const Bytes header = chunk("BMHD", bmhd(p, 0, 1));
    const Bytes cmap = chunk("CMAP", colourMap(16));
    const Bytes body = chunk("BODY", planarBody(p, false, true));
    Picture wide = p;
    wide.planes = 24;
    Picture huge = p;
    huge.width = huge.height = 60000;
    Bytes truncated = form("ILBM", {header, cmap, body});
    truncated.resize(truncated.size() - 3);
    Bytes noForm = form("ILBM", {header, cmap, body});
    noForm[0] = 'L';
    const struct {
        const char* what;
        Bytes file;
        int code;
    } cases[] = {
        {"not a FORM", noForm, kImageCorruptFile},
        {"animation form", form("ANIM", {header, cmap, body}), kImageCorruptFile},
        {"24 planes", form("ILBM", {chunk("BMHD", bmhd(wide, 0, 1)), cmap, body}), kImageUnsupportedOption},
        {"compression 2", form("ILBM", {chunk("BMHD", bmhd(p, 0, 2)), cmap, body}), kImageUnsupportedOption},
        {"short BMHD", form("ILBM", {chunk("BMHD", Bytes(10, 0)), cmap, body}), kImageCorruptFile},
        {"BODY before BMHD", form("ILBM", {cmap, body, header}), kImageCorruptFile},
        {"no BODY", form("ILBM", {header, cmap}), kImageCorruptFile},
        {"body too small for the size", form("ILBM", {chunk("BMHD", bmhd(huge, 0, 1)), cmap, body}), kImageCorruptFile},
        {"literal past a plane row", form("ILBM", {header, cmap, chunk("BODY", Bytes(40, 0x7F))}), kImageCorruptFile},
        {"body runs out", form("ILBM", {header, cmap, chunk("BODY", Bytes(body.begin() + 8, body.end() - 2))}),
         kImageCorruptFile},
        {"binary chunk name", form("ILBM", {header, chunk("\x01\x02\x03\x04", {}), cmap, body}), kImageCorruptFile},
        {"chunk past the end of the file", truncated, kImageReadError},
        {"header cut short", Bytes{'F', 'O', 'R', 'M', 0, 0}, kImageReadError},
    };
    for (const auto& c : cases) {
        ImageRecord r;
        EXPECT_EQ(loadIffBytes(c.file, r), c.code) << c.what;
        EXPECT_EQ(GetLastImageError(), c.code) << c.what;
        EXPECT_TRUE(r.pixels.empty()) << c.what;
    }
    ImageRecord r;
    EXPECT_EQ(LoadIffFile("/nonexistent/x.iff", &r), kImageCannotOpen);
    EXPECT_EQ(LoadIffFile("/nonexistent/x.iff", nullptr), kImageNullRecord);
}

}  // namespace
