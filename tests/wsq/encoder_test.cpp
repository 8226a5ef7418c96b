#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tools/synthetic_fingerprint.h"
#include "wsq/encoder.h"
#include "wsq/errors.h"
#include "wsq/quantization.h"
#include "wsq/wsq.h"

using namespace wsq;

namespace {

using Bytes = std::vector<unsigned char>;

struct Segment {
    unsigned marker;
    size_t offset;  // of the marker
    size_t size;    // marker, length field and body; for SOB also the coded data
};

unsigned u16At(const Bytes& b, size_t i) { return (b[i] << 8) | b[i + 1]; }

// The stream's segments in order, SOI and EOI included.
std::vector<Segment> segments(const Bytes& s)
{
    std::vector<Segment> out;
    size_t i = 0;
    while (i + 1 < s.size()) {
        const unsigned m = u16At(s, i);
        if (m == 0xFFA0 || m == 0xFFA1) {
            out.push_back({m, i, 2});
            i += 2;
            continue;
        }
        size_t end = i + 2 + u16At(s, i + 2);
        if (m == 0xFFA3)  // coded data runs to the next marker
            while (end + 1 < s.size() && !(s[end] == 0xFF && s[end + 1] != 0x00))
                end += s[end] == 0xFF ? 2 : 1;
        out.push_back({m, i, end - i});
        i = end;
    }
    return out;
}

Bytes slice(const Bytes& s, const Segment& seg) { return Bytes(s.begin() + seg.offset, s.begin() + seg.offset + seg.size); }

Bytes encode(const Bytes& px, int w, int h, float rate, int* code = nullptr,
             std::optional<std::string_view> comment = std::nullopt, std::string* err = nullptr)
{
    Bytes out;
    testing::internal::CaptureStderr();
    const int ret = wsq_encode_1(&out, rate, px.data(), w, h, 8, 500, comment);
    const std::string text = testing::internal::GetCapturedStderr();
    if (err)
        *err = text;
    if (code)
        *code = ret;
    else
        EXPECT_EQ(ret, 0) << text;
    return out;
}

Bytes decode(const Bytes& stream, int w, int h)
{
    Bytes px;
    int ow = 0, oh = 0, od = 0, ppi = 0, lossy = 0;
    testing::internal::CaptureStderr();
    const int ret = wsq_decode_mem(&px, &ow, &oh, &od, &ppi, &lossy, stream.data(), stream.size());
    const std::string text = testing::internal::GetCapturedStderr();
    EXPECT_EQ(ret, 0) << text;
    EXPECT_EQ(ow, w);
    EXPECT_EQ(oh, h);
    EXPECT_EQ(ppi, 500);
    return px;
}

double psnr(const Bytes& a, const Bytes& b)
{
    double se = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = double(a[i]) - b[i];
        se += d * d;
    }
    return se == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * a.size() / se);
}

Bytes fingerprint(int w, int h) { return tools::makeSyntheticFingerprint(w, h, static_cast<std::uint32_t>(w + h)); }

// A smooth picture whose mirror images at the borders are smooth too: all its
// detail lives in the lowest subbands.
Bytes smooth(int w, int h, int halfCycles)
{
    Bytes px(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[static_cast<size_t>(y) * w + x] = static_cast<unsigned char>(
                std::lround(128.0 + 60.0 * std::cos(M_PI * halfCycles * x / (w - 1)) *
                                        std::cos(M_PI * halfCycles * y / (h - 1))));
    return px;
}

}  // namespace

TEST(WsqEncoder, StreamLayoutAndFixedSegments)
{
    std::string err;
    const Bytes s = encode(fingerprint(500, 400), 500, 400, 0.75f, nullptr, std::nullopt, &err);
    const std::vector<Segment> segs = segments(s);
    std::vector<unsigned> markers;
    for (const Segment& g : segs)
        markers.push_back(g.marker);
    EXPECT_EQ(markers, (std::vector<unsigned>{0xFFA0, 0xFFA8, 0xFFA4, 0xFFA5, 0xFFA2, 0xFFA6, 0xFFA3, 0xFFA6,
                                              0xFFA3, 0xFFA3, 0xFFA1}));
    ASSERT_EQ(segs.size(), 11u);
    EXPECT_EQ(segs.back().offset + 2, s.size());

    const Bytes com = slice(s, segs[1]);
    EXPECT_EQ(std::string(com.begin() + 4, com.end()),
              "NIST_COM 9\nPIX_WIDTH 500\nPIX_HEIGHT 400\nPIX_DEPTH 8\nPPI 500\nLOSSY 1\n"
              "COLORSPACE GRAY\nCOMPRESSION WSQ\nWSQ_BITRATE 0.750000");

    // The 9/7 taps, centre outwards, as sign, scale and 32-bit integer.
    const Bytes dtt{0xFF, 0xA4, 0x00, 0x3A, 0x09, 0x07,
                    0, 9, 0x32, 0xD3, 0x25, 0xCD,  0, 10, 0xE0, 0xF3, 0x19, 0x9A,
                    1, 10, 0x41, 0xEF, 0xF1, 0x9A, 1, 11, 0x8E, 0x27, 0x64, 0xCD,
                    0, 11, 0xE1, 0x79, 0xA3, 0x33, 0, 9, 0x2E, 0xFF, 0x56, 0x00,
                    1, 10, 0xF9, 0x33, 0xD3, 0x33, 1, 11, 0xF2, 0x87, 0x21, 0x9A,
                    0, 10, 0x26, 0x77, 0xDA, 0x33};
    EXPECT_EQ(slice(s, segs[2]), dtt);

    const Bytes dqt = slice(s, segs[3]);
    ASSERT_EQ(dqt.size(), 391u);
    EXPECT_EQ(Bytes(dqt.begin(), dqt.begin() + 7), (Bytes{0xFF, 0xA5, 0x01, 0x85, 0x02, 0x00, 0x2C}));
    EXPECT_EQ(Bytes(dqt.end() - 24, dqt.end()), Bytes(24, 0));

    const Bytes sof = slice(s, segs[4]);
    ASSERT_EQ(sof.size(), 19u);
    EXPECT_EQ(Bytes(sof.begin(), sof.begin() + 10), (Bytes{0xFF, 0xA2, 0x00, 0x11, 0x00, 0xFF, 0x01, 0x90, 0x01, 0xF4}));
    EXPECT_EQ(Bytes(sof.end() - 3, sof.end()), (Bytes{0, 0, 0}));

    EXPECT_EQ(s[segs[5].offset + 4], 0);  // table 0 codes block 1
    EXPECT_EQ(s[segs[6].offset + 4], 0);
    EXPECT_EQ(s[segs[7].offset + 4], 1);  // table 1 codes blocks 2 and 3
    EXPECT_EQ(s[segs[8].offset + 4], 1);
    EXPECT_EQ(s[segs[9].offset + 4], 1);

    const size_t h1 = segs[6].size - 5, h2 = segs[8].size - 5, h3 = segs[9].size - 5;
    char expected[200];
    std::snprintf(expected, sizeof expected, "hsize1 = %zu :: hsize2 = %zu :: hsize3 = %zu\n@ r = 0.750 :: complen = %zu :: ratio = ",
                  h1, h2, h3, h1 + h2 + h3);
    EXPECT_NE(err.find(expected), std::string::npos) << err;
}

TEST(WsqEncoder, RoundTripsFingerprintsAtBothRates)
{
    struct Case {
        int w, h;
        double minPsnrLow, minPsnrHigh;  // at 0.75 and 2.25
    };
    // The smallest image is mostly rim and carries the fixed segments.
    const Case cases[] = {{81, 81, 18, 21}, {500, 500, 29, 33}, {501, 403, 29, 33}, {800, 750, 29, 33}};
    for (const Case& c : cases) {
        const Bytes px = fingerprint(c.w, c.h);
        const Bytes low = encode(px, c.w, c.h, 0.75f);
        const Bytes high = encode(px, c.w, c.h, 2.25f);
        const double psnrLow = psnr(px, decode(low, c.w, c.h));
        const double psnrHigh = psnr(px, decode(high, c.w, c.h));
        std::printf("  %d x %d: 0.75 -> %zu bytes, PSNR %.2f dB; 2.25 -> %zu bytes, PSNR %.2f dB\n", c.w, c.h,
                    low.size(), psnrLow, high.size(), psnrHigh);
        EXPECT_GE(psnrLow, c.minPsnrLow) << c.w << "x" << c.h;
        EXPECT_GE(psnrHigh, c.minPsnrHigh) << c.w << "x" << c.h;
        EXPECT_GT(psnrHigh, psnrLow + 2);
        EXPECT_LT(low.size(), high.size());
        EXPECT_LT(high.size(), px.size() / 2);
    }
}

TEST(WsqEncoder, IsDeterministic)
{
    const Bytes px = fingerprint(501, 403);
    const Bytes a = encode(px, 501, 403, 0.75f);
    const Bytes b = encode(px, 501, 403, 0.75f);
    EXPECT_EQ(a, b);
    Bytes other = px;
    other[250 * 501 + 250] ^= 0x40;
    EXPECT_NE(encode(other, 501, 403, 0.75f), a);
}

// A smooth picture has nothing above the variance threshold in the highest
// subbands: those blocks are empty, their SOB is followed by the next marker
// and the table that codes nothing has no codes.
TEST(WsqEncoder, EmptyBlocks)
{
    std::string err;
    const Bytes px = smooth(256, 256, 4);
    const Bytes s = encode(px, 256, 256, 0.75f, nullptr, std::nullopt, &err);
    const std::vector<Segment> segs = segments(s);
    ASSERT_EQ(segs.size(), 11u);
    EXPECT_EQ(slice(s, segs[7]), (Bytes{0xFF, 0xA6, 0x00, 0x13, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(slice(s, segs[8]), (Bytes{0xFF, 0xA3, 0x00, 0x03, 0x01}));
    EXPECT_EQ(Bytes(s.end() - 7, s.end()), (Bytes{0xFF, 0xA3, 0x00, 0x03, 0x01, 0xFF, 0xA1}));
    EXPECT_NE(err.find("\n52 -> 0.000000\n"), std::string::npos);
    EXPECT_NE(err.find("hsize2 = 0 :: hsize3 = 0\n"), std::string::npos);
    // Seven subbands share the whole bit budget here: the bins they ask for
    // are finer than 16-bit indices can count, so they are widened to the
    // finest that fit rather than letting the indices overflow.
    EXPECT_GT(psnr(px, decode(s, 256, 256)), 45.0);
    EXPECT_GT(psnr(px, decode(encode(px, 256, 256, 1e6f), 256, 256)), 45.0);
}

TEST(WsqEncoder, RefusesWhatItCannotCode)
{
    Bytes uniform(100 * 100, 77);
    Bytes corner(100 * 100, 77);
    corner[100 * 100 - 1] = 78;  // all the detail sits outside every variance window
    std::mt19937 rng(1);
    Bytes noise(120 * 120);
    for (unsigned char& p : noise)
        p = static_cast<unsigned char>(rng());
    const Bytes fp = fingerprint(100, 100);
    struct Case {
        const Bytes& px;
        int w, h;
        float rate;
        std::vector<int> codes;
        const char* message;
    };
    const Case cases[] = {
        {fp, 80, 100, 0.75f, {WSQ_ERR_FRAME_TOO_SMALL}, "ERROR : wsq_encode_1 : image 80 x 100 is smaller than 81 x 81\n"},
        {fp, 100, 80, 0.75f, {WSQ_ERR_FRAME_TOO_SMALL}, "smaller than 81 x 81"},
        {uniform, 100, 100, 0.75f, {WSQ_ERR_UNIFORM_IMAGE}, "ERROR : wsq_encode_1 : uniform image"},
        {corner, 100, 100, 0.75f, {WSQ_ERR_NO_VARIANCE}, "ERROR : quantize : no subband variance"},
        {fp, 100, 100, std::nanf(""), {WSQ_ERR_BITRATE}, "ERROR : quantize : bit rate"},
        // A negative rate removes every subband from the bit allocation: no
        // bits to spend, not the finest bins.
        {fp, 100, 100, -1.0f, {WSQ_ERR_BITRATE}, "ERROR : quantize : bit rate -1.000000 gives no usable bin widths\n"},
        // Noise at a high rate codes larger than the raw image.
        {noise, 120, 120, 8.0f, {-32, -33, WSQ_ERR_BLOCK_OVERFLOW}, "buffer overlow"},
    };
    for (const Case& c : cases) {
        int code = 0;
        std::string err;
        Bytes out{1, 2, 3};
        testing::internal::CaptureStderr();
        code = wsq_encode_1(&out, c.rate, c.px.data(), c.w, c.h, 8, 500, std::nullopt);
        err = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), code), c.codes.end()) << code << " " << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << err;
        EXPECT_EQ(out, (Bytes{1, 2, 3}));
    }
}

TEST(WsqQuantization, FloatConversionCentresAndScales)
{
    const unsigned char px[] = {20, 220, 60, 100};
    std::vector<float> f;
    float shift = 0, scale = 0;
    image_to_float(f, shift, scale, px, 4);
    EXPECT_EQ(shift, 100.0f);
    EXPECT_EQ(scale, 0.9375f);
    EXPECT_EQ(f[0], -85.333336f);
    EXPECT_EQ(f[1], 128.0f);
}

TEST(WsqQuantization, CoefficientBins)
{
    struct Case {
        float x, q, zHalf;
        int index;
    };
    const Case cases[] = {
        {1.2f, 2.0f, 1.2f, 0},       {-1.2f, 2.0f, 1.2f, 0},        {1.2001f, 2.0f, 1.2f, 1},
        {-1.2001f, 2.0f, 1.2f, -1},  {5.2f, 2.0f, 1.2f, 3},         {-5.2f, 2.0f, 1.2f, -3},
        {0.0f, 2.0f, 1.2f, 0},       {1e6f, 1.0f, 0.6f, 32767},    {-1e6f, 1.0f, 0.6f, -32768},
        {32766.0f, 1.0f, 0.5f, 32766},
    };
    for (const Case& c : cases)
        EXPECT_EQ(quantizeCoefficient(c.x, c.q, c.zHalf), c.index) << c.x;
}

TEST(WsqQuantization, BlockSizesLeaveOutUncodedSubbands)
{
    const WaveletTrees t = build_trees(500, 500);
    QuantValues qv;
    qv.bin_width.fill(1.0f);
    EXPECT_EQ(block_sizes(qv, t), (std::array<int, 3>{15625, 46875, 125000}));
    qv.bin_width[0] = 0;   // 16 x 16
    qv.bin_width[51] = 0;  // 125 x 125
    for (int s = 52; s < 60; ++s)
        qv.bin_width[s] = 0;
    EXPECT_EQ(block_sizes(qv, t), (std::array<int, 3>{15625 - 256, 46875 - 15625, 0}));
}
