// Writes the seed inputs of the fuzz targets that are made rather than copied
// from the test fixtures: small transactions with real WSQ fingerprints and
// with every later record type, WSQ streams, NIST_COM texts, IFF and CEL
// pictures, portable maps and a PGM file.
//   fuzz_make_seeds CORPUS_DIR        (normally fuzz/corpus)
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "nist/transaction_writer.h"
#include "platform/files.h"
#include "test_support/every_record_type.h"
#include "tools/synthetic_fingerprint.h"
#include "wsq/encoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

bool put(const fs::path& dir, const std::string& name, const Bytes& bytes)
{
    fs::create_directories(dir);
    if (platform::writeWholeFile(dir / name, bytes.data(), bytes.size()))
        return true;
    std::fprintf(stderr, "fuzz_make_seeds: cannot write %s\n", (dir / name).c_str());
    return false;
}

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

void be16(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v >> 8), std::uint8_t(v)}); }
void be32(Bytes& b, unsigned v) { be16(b, v >> 16); be16(b, v & 0xFFFF); }
void le16(Bytes& b, unsigned v) { b.insert(b.end(), {std::uint8_t(v), std::uint8_t(v >> 8)}); }
void le32(Bytes& b, unsigned v) { le16(b, v & 0xFFFF); le16(b, v >> 16); }

Bytes wsqStream(int width, int height, float bitRate, std::uint32_t seed, const char* comment)
{
    const Bytes pixels = tools::makeSyntheticFingerprint(width, height, seed);
    Bytes out;
    if (wsq_encode_1(&out, bitRate, pixels.data(), width, height, 8, 500,
                     comment ? std::optional<std::string_view>(comment) : std::nullopt) != 0)
        std::fprintf(stderr, "fuzz_make_seeds: WSQ encoding failed\n");
    return out;
}

nist::Type4Image type4(std::uint8_t idc, std::uint8_t finger, int w, int h, Bytes data)
{
    nist::Type4Image image;
    image.idc = idc;
    image.fgp[0] = finger;
    image.hll = static_cast<std::uint16_t>(w);
    image.vll = static_cast<std::uint16_t>(h);
    image.data = std::move(data);
    return image;
}

// A chunky 8-bit IFF (PBM) of 4 x 2 pixels, ByteRun1-compressed.
Bytes iffPicture(const char* form)
{
    Bytes bmhd;
    be16(bmhd, 4); be16(bmhd, 2); be16(bmhd, 0); be16(bmhd, 0);
    bmhd.insert(bmhd.end(), {8, 0, 1, 0});
    be16(bmhd, 0);
    bmhd.insert(bmhd.end(), {1, 1});
    be16(bmhd, 4); be16(bmhd, 2);
    Bytes cmap;
    for (int i = 0; i < 4; ++i)
        cmap.insert(cmap.end(), {std::uint8_t(i * 80), std::uint8_t(255 - i * 60), std::uint8_t(i * 20)});
    Bytes chunks;
    auto chunk = [&chunks](const char* id, const Bytes& data) {
        chunks.insert(chunks.end(), id, id + 4);
        be32(chunks, static_cast<unsigned>(data.size()));
        chunks.insert(chunks.end(), data.begin(), data.end());
        if (data.size() % 2)
            chunks.push_back(0);
    };
    chunk("BMHD", bmhd);
    chunk("CMAP", cmap);
    // A run of four 1s; then literals 0 and 1 and a run of two 2s.
    chunk("BODY", {0xFD, 1, 0x00, 0, 0x00, 1, 0xFF, 2});
    Bytes f = text("FORM");
    be32(f, static_cast<unsigned>(chunks.size() + 4));
    f.insert(f.end(), form, form + 4);
    f.insert(f.end(), chunks.begin(), chunks.end());
    return f;
}

Bytes animatorCel()
{
    Bytes f;
    le16(f, 0x9119); le16(f, 5); le16(f, 3); le16(f, 0); le16(f, 0);
    f.insert(f.end(), {8, 0});
    f.resize(32, 0);
    for (unsigned i = 0; i < 256; ++i)
        f.insert(f.end(), {std::uint8_t(i % 64), std::uint8_t(63 - i % 64), std::uint8_t(i / 4)});
    for (unsigned i = 0; i < 15; ++i)
        f.push_back(static_cast<std::uint8_t>(i * 7));
    return f;
}

// An Animator Pro flic: one frame with a colour chunk and a byte-run chunk.
Bytes animatorPro()
{
    Bytes colour;
    le16(colour, 1);
    colour.insert(colour.end(), {0, 4});
    for (unsigned i = 0; i < 4; ++i)
        colour.insert(colour.end(), {std::uint8_t(i * 60), std::uint8_t(i * 30), std::uint8_t(200 - i * 40)});
    Bytes run;
    for (int row = 0; row < 3; ++row)
        run.insert(run.end(), {1, 5, std::uint8_t(row)});  // packet count, repeat row 5 times
    auto sub = [](unsigned type, const Bytes& data) {
        Bytes c;
        le32(c, static_cast<unsigned>(data.size() + 6));
        le16(c, type);
        c.insert(c.end(), data.begin(), data.end());
        return c;
    };
    const Bytes c1 = sub(4, colour), c2 = sub(15, run);
    Bytes frame;
    le32(frame, static_cast<unsigned>(16 + c1.size() + c2.size()));
    le16(frame, 0xF1FA);
    le16(frame, 2);
    frame.resize(16, 0);
    frame.insert(frame.end(), c1.begin(), c1.end());
    frame.insert(frame.end(), c2.begin(), c2.end());
    Bytes f;
    le32(f, static_cast<unsigned>(128 + frame.size()));
    le16(f, 0xAF12); le16(f, 1); le16(f, 5); le16(f, 3); le16(f, 8);
    f.resize(128, 0);
    f.insert(f.end(), frame.begin(), frame.end());
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    const fs::path root = argc > 1 ? argv[1] : "fuzz/corpus";
    bool ok = true;

    const Bytes small = wsqStream(96, 96, 0.75f, 7, nullptr);
    const Bytes wide = wsqStream(128, 88, 2.25f, 8, "NIST_COM 2\nPPI 1000\nplain comment follows");
    const Bytes plain = wsqStream(84, 100, 0.75f, 9, "scanned at the desk");
    for (const char* target : {"wsq_decode", "image_wsq"}) {
        ok &= put(root / target, "small.wsq", small);
        ok &= put(root / target, "wide_comment.wsq", wide);
        ok &= put(root / target, "plain_comment.wsq", plain);
    }

    nist::TransactionWriter full;
    full.addType2Record({{18, "SAMPLE,SEED"}, {22, "19800101"}, {37, "A\x1EPART\x1F" "B"}});
    full.addType4Record(type4(2, 1, 96, 96, small));
    full.addType4Record(type4(3, 2, 128, 88, wide));
    ok &= put(root / "nist_reader", "type2_type4.nist", full.build());

    nist::TransactionWriter images;
    images.addType4Record(type4(1, 11, 84, 100, plain));
    ok &= put(root / "nist_reader", "type4_only.nist", images.build());

    nist::TransactionWriter text2;
    text2.setType1Field(4, "CAR");
    text2.addType2Record({{2, "01"}, {18, "DOE,JOHN"}});
    text2.addType2Record({{2, "02"}});
    ok &= put(root / "nist_reader", "type2_only.nist", text2.build());

    ok &= put(root / "nist_com", "full.txt",
              text("NIST_COM 9\nPIX_WIDTH 32\nPIX_HEIGHT 32\nPIX_DEPTH 8\nPPI 500\nLOSSY 1\n"
                   "COLORSPACE GRAY\nCOMPRESSION WSQ\nWSQ_BITRATE 0.750000"));
    ok &= put(root / "nist_com", "tabs_and_empty.txt", text("NIST_COM\t3\nPPI\t\t1000\nNOVALUE\n\nLAST x y z"));
    ok &= put(root / "nist_com", "plain.txt", text("a plain comment\r\nwith two lines"));

    ok &= put(root / "image_iff", "pbm.iff", iffPicture("PBM "));
    ok &= put(root / "image_iff", "ilbm_chunky.iff", iffPicture("ILBM"));
    ok &= put(root / "image_cel", "animator.cel", animatorCel());
    ok &= put(root / "image_cel", "animator_pro.cel", animatorPro());

    // The later editions: every record type the reader knows in one
    // transaction, and each type above 4 on its own.
    ok &= put(root / "nist_reader", "every_record_type.nist", fixtures::transactionWithEveryRecordType());
    for (int type : fixtures::everyRecordType())
        if (type == 3 || type > 4)
            ok &= put(root / "nist_reader", "type" + std::to_string(type) + ".nist",
                      fixtures::transactionWithRecord(type).bytes);

    // Portable maps of every kind: plain and raw bitmaps, gray and pixel
    // maps, one with 16-bit samples.
    ok &= put(root / "ppm", "plain_bitmap.pbm", text("P1\n# seed\n5 2\n1 0 1 0 1\n0 1 0 1 0\n"));
    ok &= put(root / "ppm", "plain_gray.pgm", text("P2 3 2 15\n0 5 10\n15 7 1\n"));
    ok &= put(root / "ppm", "plain_pixels.ppm", text("P3\n2 1\n255\n255 0 0  0 128 255\n"));
    Bytes rawBitmap = text("P4\n10 2\n");
    rawBitmap.insert(rawBitmap.end(), {0xA5, 0x40, 0x5A, 0x80});
    ok &= put(root / "ppm", "raw_bitmap.pbm", rawBitmap);
    Bytes wideGray = text("P5 2 2 65535\n");
    wideGray.insert(wideGray.end(), {0x00, 0x10, 0xFF, 0xFF, 0x80, 0x00, 0x12, 0x34});
    ok &= put(root / "ppm", "wide_gray.pgm", wideGray);
    Bytes pixels = text("P6\n# made by hand\n3 2\n255\n");
    for (int i = 0; i < 18; ++i)
        pixels.push_back(static_cast<std::uint8_t>(i * 14));
    ok &= put(root / "ppm", "raw_pixels.ppm", pixels);

    Bytes pgm = text("P5\n# seed\n4 3\n255\n");
    for (int i = 0; i < 12; ++i)
        pgm.push_back(static_cast<std::uint8_t>(i * 20));
    ok &= put(root / "pgm", "small.pgm", pgm);
    return ok ? 0 : 1;
}
