// wsq_decode_mem on hand-built streams: what it accepts, how each missing or
// misplaced segment fails, its arithmetic, and its behaviour on broken input.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "stream_builder.h"
#include "tools/synthetic_fingerprint.h"
#include "wsq/decoder.h"
#include "wsq/wsq.h"

using namespace wsq;

using namespace wsqtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

struct Result {
    int code = 0;
    std::vector<unsigned char> pixels;
    int width = -5, height = -5, depth = -5, ppi = -5, lossy = -5;
    std::string stderrText;
};

Result decode(const Bytes& stream)
{
    Result r;
    CaptureStderr();
    r.code = wsq_decode_mem(&r.pixels, &r.width, &r.height, &r.depth, &r.ppi, &r.lossy, stream.data(), stream.size());
    r.stderrText = GetCapturedStderr();
    return r;
}

bool untouched(const Result& r)
{
    return r.pixels.empty() && r.width == -5 && r.height == -5 && r.depth == -5 && r.ppi == -5 && r.lossy == -5;
}

}  // namespace

TEST(Decoder, DecodesASmallStream)
{
    const Bytes stream = smallStream().join();
    const Result r = decode(stream);
    ASSERT_EQ(r.code, 0) << r.stderrText;
    EXPECT_EQ(r.stderrText, "");
    EXPECT_EQ(r.width, 96);
    EXPECT_EQ(r.height, 88);
    EXPECT_EQ(r.depth, 8);
    EXPECT_EQ(r.ppi, 500);
    EXPECT_EQ(r.lossy, 1);
    ASSERT_EQ(r.pixels.size(), 96u * 88u);
    const auto [lo, hi] = std::minmax_element(r.pixels.begin(), r.pixels.end());
    EXPECT_LT(*lo + 20, *hi) << "the coded coefficients must show in the picture";

    // The same stream again decodes the same; so does one with comments and
    // tables moved or repeated where the format allows them, and bytes after EOI.
    EXPECT_EQ(decode(stream).pixels, r.pixels);
    StreamPieces moved = smallStream();
    const Bytes com = comSegment("a plain comment");
    // Several tables in one DHT segment, before the frame header.
    moved.beforeFrame = dhtSegment({fullTable(4), Table{5, {1}, {7}}});
    append(moved.beforeFrame, com);
    append(moved.beforeFrame, com);
    append(moved.beforeFrame, comSegment("NIST_COM 2\nPPI 500"));
    append(moved.beforeFrame, dqtSegment(9.0f));  // replaced below, after the frame header
    append(moved.beforeFrame, com);
    Bytes blocks = dttSegment();
    append(blocks, dqtSegment(1.5f));
    append(blocks, com);
    append(blocks, moved.blocks);
    moved.blocks = blocks;
    moved.trailer = Bytes{0x00, 0xFF, 0xA0, 0x12};
    const Result same = decode(moved.join());
    ASSERT_EQ(same.code, 0) << same.stderrText;
    EXPECT_EQ(same.pixels, r.pixels);
}

TEST(Decoder, NoCoefficientsGiveTheShiftEverywhere)
{
    // m_shift 117.5: 117.5 + 0.5 = 118 for every pixel; the uncoded
    // subbands and the empty blocks contribute nothing.
    StreamPieces p = smallStream(81, 81);
    const Table t = fullTable();
    p.blocks = dhtSegment({t});
    for (int block = 0; block < 3; ++block)
        append(p.blocks, sobSegment(0));
    const Result r = decode(p.join());
    ASSERT_EQ(r.code, 0) << r.stderrText;
    EXPECT_EQ(r.pixels, std::vector<unsigned char>(81 * 81, 118));
}

TEST(Decoder, MissingAndMisplacedSegments)
{
    struct Case {
        const char* name;
        StreamPieces pieces;
        int expected;
        std::string message;  // empty: not compared
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, auto edit, int expected, std::string message = "") {
        StreamPieces p = smallStream();
        edit(p);
        cases.push_back({name, p, expected, message});
    };
    add("no SOI", [](StreamPieces& p) { p.soi.clear(); }, -88, "ERROR : getc_marker_wsq : No SOI marker. {65448}\n");
    add("SOB before the frame", [](StreamPieces& p) { append(p.beforeFrame, sobSegment(0)); }, -89,
        "ERROR : getc_marker_wsq : No SOF, Table, or comment markers.\n");
    add("EOI before the frame", [](StreamPieces& p) { p.sof = {0xFF, 0xA1}; }, -89);
    add("EOI right after the frame", [](StreamPieces& p) { p.blocks.clear(); }, -90,
        "ERROR : getc_marker_wsq : No SOB, Table, or comment markers.\n");
    add("no DTT", [](StreamPieces& p) { p.beforeFrame = comSegment("NIST_COM 1\nPPI 1"); append(p.beforeFrame, dqtSegment(1.5f)); },
        -95, "ERROR: wsq_reconstruct : Lopass filter coefficients not defined\n");
    add("no DQT", [](StreamPieces& p) { p.beforeFrame = dttSegment(); }, -92,
        "ERROR: unquantize : quantization table parameters not defined!\n");
    add("undefined table", [](StreamPieces& p) { append(p.blocks, sobSegment(3)); }, -51,
        "ERROR : huffman_decode_data_mem : huffman table {3} undefined.\n");
    add("no EOI", [](StreamPieces& p) { p.eoi.clear(); }, -39, "ERROR : getc_byte : premature End Of Buffer\n");
    add("NIST_COM without PPI", [](StreamPieces& p) { p.beforeFrame[4 + 11 + 13] = 'X'; }, -2,
        "ERROR : extractfet_ret : feature PPI not found\n");
    add("frame 80 wide", [](StreamPieces& p) { p.sof = sofSegment(80, 200); }, WSQ_ERR_FRAME_TOO_SMALL,
        "ERROR : wsq_decode_mem : image 80 x 200 is smaller than 81 x 81\n");
    add("empty frame", [](StreamPieces& p) { p.sof = sofSegment(0, 0); }, WSQ_ERR_FRAME_TOO_SMALL);
    add("huge frame", [](StreamPieces& p) { p.sof = sofSegment(65535, 65535); }, WSQ_ERR_FRAME_TOO_LARGE,
        "ERROR : wsq_decode_mem : image 65535 x 65535 is over the limit of 67108864 pixels\n");
    add("restart marker", [](StreamPieces& p) { append(p.beforeFrame, segment(DRT_WSQ, Bytes{0, 0})); }, -89);
    for (const Case& k : cases) {
        const Result r = decode(k.pieces.join());
        EXPECT_EQ(r.code, k.expected) << k.name;
        EXPECT_TRUE(untouched(r)) << k.name;
        if (!k.message.empty()) {
            EXPECT_EQ(r.stderrText, k.message) << k.name;
        }
    }
}

TEST(Decoder, ResolutionFromTheNistComment)
{
    struct Case {
        const char* comment;  // null: no comment at all
        int ppi;
    };
    const Case cases[] = {
        {"NIST_COM 3\nPPI 500\nLOSSY 1", 500},
        {nullptr, -1},
        {"NIST_COM 3\nPPI\nLOSSY 1", -1},    // the name alone on its line
        {"NIST_COM 2\nPPI 1000dpi", 1000},
        {"nist_com 2\nPPI 300", -1},         // not a NIST_COM comment
    };
    for (const Case& k : cases) {
        StreamPieces p = smallStream();
        p.beforeFrame = k.comment ? comSegment(k.comment) : Bytes{};
        append(p.beforeFrame, dttSegment());
        append(p.beforeFrame, dqtSegment(1.5f));
        const Result r = decode(p.join());
        ASSERT_EQ(r.code, 0) << r.stderrText;
        EXPECT_EQ(r.ppi, k.ppi) << (k.comment ? k.comment : "none");
    }
}

TEST(Decoder, EveryDecodeStartsWithEmptyTables)
{
    ASSERT_EQ(decode(smallStream().join()).code, 0);
    StreamPieces p = smallStream();
    p.beforeFrame = dqtSegment(1.5f);
    EXPECT_EQ(decode(p.join()).code, -95);
}

TEST(Decoder, UnquantizeFollowsTheBinRule)
{
    const WaveletTrees trees = build_trees(96, 88);
    const Subband& s0 = trees.subbands[0];
    const Subband& s2 = trees.subbands[2];
    QuantTable dqt;
    dqt.center = 0.44f;
    dqt.q[0] = 2.0f;
    dqt.z[0] = 2.4f;
    dqt.q[2] = 1.0f;  // subband 1 is not coded: its indices are not in the stream
    dqt.defined = true;
    std::vector<short> sip(96 * 88, 0);
    sip[0] = 1;
    sip[1] = -1;
    sip[static_cast<std::size_t>(s0.lx * s0.ly)] = 7;  // first index of subband 2
    std::vector<float> fip;
    ASSERT_EQ(unquantize(&fip, sip.data(), dqt, trees, 96, 88), 0);
    EXPECT_EQ(fip[0], static_cast<float>(2.0 * (1 - 0.44f) + 1.2f));
    EXPECT_NEAR(fip[0], 2.32f, 1e-6);
    EXPECT_NEAR(fip[1], -2.32f, 1e-6);
    EXPECT_EQ(fip[2], 0.0f);
    EXPECT_NEAR(fip[static_cast<std::size_t>(s2.y * 96 + s2.x)], 1.0 * (7 - 0.44) + 0.0, 1e-5);

    dqt.defined = false;
    CaptureStderr();
    EXPECT_EQ(unquantize(&fip, sip.data(), dqt, trees, 96, 88), -92);
    EXPECT_EQ(GetCapturedStderr(), "ERROR: unquantize : quantization table parameters not defined!\n");
}

TEST(Decoder, FloatToByteRounding)
{
    const float in[] = {-0.3f, 254.6f, 254.4f, 0.0f, -1e30f, 1e30f, std::nanf(""), 127.5f};
    unsigned char out[8] = {};
    convert_image_to_uchar(out, in, 8, 0.0f, 1.0f);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 8), (std::vector<unsigned char>{0, 255, 254, 0, 0, 255, 0, 128}));
    // Shift and scale: 10 * 2.5 + 100 = 125, + 0.5 truncates to 125.
    const float ten = 10.0f;
    convert_image_to_uchar(out, &ten, 1, 100.0f, 2.5f);
    EXPECT_EQ(out[0], 125);
}

TEST(Decoder, TruncatedStreamsFailCleanly)
{
    const Bytes stream = smallStream(81, 81).join();
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        const Bytes part(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        const Result r = decode(part);
        EXPECT_LT(r.code, 0) << "cut at " << cut;
        EXPECT_TRUE(untouched(r)) << "cut at " << cut;
        EXPECT_NE(r.stderrText.find("ERROR"), std::string::npos) << "cut at " << cut;
    }
}

TEST(Decoder, GarbageNeverCrashes)
{
    std::mt19937 rng(1234);
    const Bytes valid = smallStream(81, 81).join();
    const std::size_t sofAt = valid.size() - smallStream(81, 81).blocks.size() - 2 - 19;
    int decoded = 0;
    for (int round = 0; round < 300; ++round) {
        Bytes data;
        if (round % 2 == 0) {
            // Random bytes after SOI.
            data = {0xFF, 0xA0};
            const std::size_t n = rng() % 400;
            for (std::size_t i = 0; i < n; ++i)
                data.push_back(static_cast<unsigned char>(rng()));
        } else {
            // A few bytes of a valid stream changed (not the frame size, to keep this quick).
            data = valid;
            for (int k = 0; k < 4; ++k) {
                const std::size_t at = rng() % data.size();
                if (at < sofAt + 6 || at >= sofAt + 10)
                    data[at] = static_cast<unsigned char>(rng());
            }
        }
        const Result r = decode(data);
        if (r.code == 0) {
            ++decoded;
            EXPECT_EQ(r.pixels.size(), static_cast<std::size_t>(r.width) * r.height);
        } else {
            EXPECT_LT(r.code, 0);
            EXPECT_TRUE(untouched(r));
            EXPECT_NE(r.stderrText.find("ERROR"), std::string::npos) << r.code;
        }
    }
    EXPECT_LT(decoded, 300);
}

TEST(Decoder, AnyTransformTableIsHandledSafely)
{
    // Filter lengths the format allows but no encoder writes, with large taps:
    // each decode either succeeds or fails with a code, never reads out of bounds.
    std::mt19937 rng(99);
    const int lengths[][2] = {{0, 0}, {1, 0}, {1, 1}, {2, 2}, {4, 2}, {3, 5}, {5, 3}, {7, 9}, {9, 7}, {20, 20}, {255, 255}, {255, 1}};
    for (const auto& l : lengths) {
        Bytes body{static_cast<unsigned char>(l[0]), static_cast<unsigned char>(l[1])};
        const int taps = (l[0] + 1) / 2 + (l[1] + 1) / 2;
        for (int k = 0; k < taps; ++k) {
            put8(body, rng() % 2);
            put8(body, rng() % 3);
            put16(body, rng());
            put16(body, rng());
        }
        StreamPieces p = smallStream(81, 81);
        p.beforeFrame = segment(DTT_WSQ, body);
        append(p.beforeFrame, dqtSegment(1.5f));
        const Result r = decode(p.join());
        EXPECT_TRUE(r.code == 0 ? r.pixels.size() == 81u * 81u : untouched(r)) << l[0] << "/" << l[1];
    }
}

TEST(Decoder, EncodedStreamCutAtEveryOffset)
{
    const std::vector<std::uint8_t> pixels = tools::makeSyntheticFingerprint(81, 96, 7);
    Bytes stream;
    CaptureStderr();
    ASSERT_EQ(wsq_encode_1(&stream, 0.75f, pixels.data(), 81, 96, 8, 500, "cut"), 0);
    GetCapturedStderr();
    const Result whole = decode(stream);
    ASSERT_EQ(whole.code, 0) << whole.stderrText;
    EXPECT_EQ(whole.ppi, 500);
    // Every prefix lacks the EOI at least, so each one must fail.
    for (std::size_t cut = 0; cut < stream.size(); ++cut) {
        const Result r = decode(Bytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut)));
        EXPECT_LT(r.code, 0) << "cut at " << cut;
        EXPECT_TRUE(untouched(r)) << "cut at " << cut;
    }
}
