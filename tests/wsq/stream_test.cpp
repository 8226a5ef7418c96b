// Stream segment readers and writers: byte layout, limits and messages.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "stream_builder.h"
#include "wsq/errors.h"
#include "wsq/stream_reader.h"
#include "wsq/stream_writer.h"

using namespace wsq;

using namespace wsqtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

struct Cursor {
    explicit Cursor(const Bytes& b) : p(b.data()), end(b.data() + b.size()) {}
    const unsigned char* p;
    const unsigned char* end;
};

}  // namespace

TEST(StreamReader, IntegersAreBigEndianAndStopAtTheEnd)
{
    const Bytes data{0x12, 0x34, 0x56, 0x78, 0x9A};
    Cursor c(data);
    std::uint32_t u32 = 0;
    ASSERT_EQ(getc_u32(&u32, &c.p, c.end), 0);
    EXPECT_EQ(u32, 0x12345678u);

    unsigned short u16 = 0xAAAA;
    CaptureStderr();
    EXPECT_EQ(getc_u16(&u16, &c.p, c.end), -40);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : getc_bytes : premature End Of Buffer\n");
    EXPECT_EQ(u16, 0xAAAA) << "out-parameter written on failure";
    EXPECT_EQ(c.p, data.data() + 4);

    unsigned char byte = 0;
    ASSERT_EQ(getc_byte(&byte, &c.p, c.end), 0);
    EXPECT_EQ(byte, 0x9A);
    CaptureStderr();
    EXPECT_EQ(getc_byte(&byte, &c.p, c.end), -39);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : getc_byte : premature End Of Buffer\n");
}

TEST(StreamReader, MarkerClasses)
{
    struct Case {
        unsigned marker;
        int type;
        int expected;
        const char* message;
    };
    const Case cases[] = {
        {0xFFA0, EXPECT_SOI, 0, ""},
        {0xFFA1, EXPECT_SOI, -88, "ERROR : getc_marker_wsq : No SOI marker. {65441}\n"},
        {0xFFA2, EXPECT_TABLES_OR_SOF, 0, ""},
        {0xFFA8, EXPECT_TABLES_OR_SOF, 0, ""},
        {0xFFA3, EXPECT_TABLES_OR_SOF, -89, "ERROR : getc_marker_wsq : No SOF, Table, or comment markers.\n"},
        {0xFFA1, EXPECT_TABLES_OR_SOF, -89, "ERROR : getc_marker_wsq : No SOF, Table, or comment markers.\n"},
        {0xFFA3, EXPECT_TABLES_OR_SOB, 0, ""},
        {0xFFA6, EXPECT_TABLES_OR_SOB, 0, ""},
        {0xFFA2, EXPECT_TABLES_OR_SOB, -90, "ERROR : getc_marker_wsq : No SOB, Table, or comment markers.\n"},
        {0xFFA7, EXPECT_TABLES_OR_SOB, -90, "ERROR : getc_marker_wsq : No SOB, Table, or comment markers.\n"},
        {0xFF00, EXPECT_ANY, 0, ""},
        {0xFFD8, EXPECT_ANY, 0, ""},
        {0xFEFF, EXPECT_ANY, -91, "ERROR : getc_marker_wsq : no marker found {FEFF}\n"},
        {0x00A0, EXPECT_ANY, -91, "ERROR : getc_marker_wsq : no marker found {00A0}\n"},
        {0x00A0, 3, -92, "ERROR : getc_marker_wsq : Invalid marker -> {  A0}\n"},
        {0xFFA0, 1, -92, "ERROR : getc_marker_wsq : Invalid marker -> {FFA0}\n"},
    };
    for (const Case& k : cases) {
        Bytes data;
        put16(data, k.marker);
        Cursor c(data);
        unsigned short marker = 0x1234;
        CaptureStderr();
        EXPECT_EQ(getc_marker_wsq(&marker, k.type, &c.p, c.end), k.expected) << std::hex << k.marker;
        EXPECT_EQ(GetCapturedStderr(), k.message);
        EXPECT_EQ(marker, k.expected == 0 ? k.marker : 0x1234u);
    }
}

TEST(StreamReader, TableDispatchRefusesNonTableMarkers)
{
    const Bytes data = sofSegment(100, 100);
    Cursor c(data);
    c.p += 2;
    TransformTable dtt;
    QuantTable dqt;
    HuffSlots dht;
    CaptureStderr();
    EXPECT_EQ(getc_table_wsq(SOF_WSQ, &dtt, &dqt, &dht, &c.p, c.end), -93);
    EXPECT_EQ(GetCapturedStderr(), "ERROR: getc_table_wsq : Invalid table defined -> {65442}\n");

    const Bytes com = comSegment("skipped");
    Cursor cc(com);
    cc.p += 2;
    EXPECT_EQ(getc_table_wsq(COM_WSQ, &dtt, &dqt, &dht, &cc.p, cc.end), 0);
    EXPECT_EQ(cc.p, cc.end);
}

TEST(StreamReader, TransformTableBuildsSynthesisFiltersFromTheAnalysisPair)
{
    const Bytes data = dttSegment();
    ASSERT_EQ(data.size(), 60u);
    Cursor c(data);
    c.p += 2;
    TransformTable dtt;
    ASSERT_EQ(getc_transform_table(&dtt, &c.p, c.end), 0);
    EXPECT_EQ(c.p, c.end);
    ASSERT_EQ(dtt.hisize, 9);
    ASSERT_EQ(dtt.losize, 7);
    EXPECT_TRUE(dtt.lo_defined && dtt.hi_defined);
    // Within the rounding of the float steps of the scaled values:
    // hifilt is the analysis lowpass with the odd taps (from the centre) negated,
    // lofilt the analysis highpass likewise; both stay symmetric.
    for (int i = 0; i < 9; ++i) {
        const float sign = ((i - 4) % 2 == 0) ? 1.0f : -1.0f;
        EXPECT_NEAR(dtt.hifilt[static_cast<std::size_t>(i)], sign * kAnalysisLowpass[static_cast<std::size_t>(i)], 1e-7) << i;
    }
    for (int i = 0; i < 7; ++i) {
        const float sign = ((i - 3) % 2 == 0) ? 1.0f : -1.0f;
        EXPECT_NEAR(dtt.lofilt[static_cast<std::size_t>(i)], sign * kAnalysisHighpass[static_cast<std::size_t>(i)], 1e-7) << i;
    }
}

TEST(StreamReader, TransformTableWithEvenLengths)
{
    // L0 = 4 and L1 = 2: two and one coefficients, 1.0 and 0.5, then 0.25.
    Bytes body{4, 2};
    for (unsigned magnitude : {10u, 5u, 25u}) {
        put8(body, 0);
        put8(body, magnitude == 25 ? 2 : 1);
        put16(body, 0);
        put16(body, magnitude);
    }
    const Bytes data = segment(DTT_WSQ, body);
    Cursor c(data);
    c.p += 2;
    TransformTable dtt;
    ASSERT_EQ(getc_transform_table(&dtt, &c.p, c.end), 0);
    EXPECT_EQ(dtt.hifilt, (std::vector<float>{0.5f, -1.0f, 1.0f, -0.5f}));
    EXPECT_EQ(dtt.lofilt, (std::vector<float>{-0.25f, -0.25f}));
}

TEST(StreamReader, ScaledValuesAreFormedInFloatSteps)
{
    EXPECT_FLOAT_EQ(scaledValue(2, 44), 0.44f);
    EXPECT_EQ(scaledValue(0, 65535), 65535.0f);
    EXPECT_EQ(scaledValue(255, 65535), 0.0f);
    // The frame header's scaled shift and scale.
    const Bytes data = sofSegment(501, 403, 100.25f, 0.9375f);
    Cursor c(data);
    c.p += 2;
    FrameHeader frame;
    ASSERT_EQ(getc_sof_segment(&frame, &c.p, c.end), 0);
    EXPECT_EQ(frame.width, 501);
    EXPECT_EQ(frame.height, 403);
    EXPECT_EQ(frame.white, 255);
    EXPECT_FLOAT_EQ(frame.m_shift, 100.25f);
    EXPECT_FLOAT_EQ(frame.r_scale, 0.9375f);
}

TEST(StreamReader, QuantizationTableRoundTrip)
{
    const Bytes data = dqtSegment(3.125f);
    ASSERT_EQ(data.size(), 391u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 7), (Bytes{0xFF, 0xA5, 0x01, 0x85, 0x02, 0x00, 0x2C}));
    EXPECT_EQ(Bytes(data.end() - 24, data.end()), Bytes(24, 0));
    Cursor c(data);
    c.p += 2;
    QuantTable dqt;
    ASSERT_EQ(getc_dqt_segment(&dqt, &c.p, c.end), 0);
    EXPECT_TRUE(dqt.defined);
    EXPECT_FLOAT_EQ(dqt.center, 0.44f);
    EXPECT_FLOAT_EQ(dqt.q[0], 3.125f);
    EXPECT_FLOAT_EQ(dqt.z[59], 3.75f);
    EXPECT_EQ(dqt.q[60], 0.0f);

    // Cut anywhere, the reader stops at the end.
    for (std::size_t cut = 2; cut < data.size(); ++cut) {
        const Bytes part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(cut));
        Cursor pc(part);
        pc.p += 2;
        QuantTable partial;
        CaptureStderr();
        EXPECT_LT(getc_dqt_segment(&partial, &pc.p, pc.end), 0);
        GetCapturedStderr();
        EXPECT_FALSE(partial.defined);
    }
}

TEST(StreamReader, HuffmanSegmentsFillReplaceAndRefuse)
{
    const Table t0{0, {0, 1, 2}, {10, 11, 12}};
    const Table t1{1, {1}, {20}};
    HuffSlots dht;
    {
        const Bytes data = dhtSegment({t0, t1});
        Cursor c(data);
        c.p += 2;
        ASSERT_EQ(getc_huffman_table_wsq(&dht, &c.p, c.end), 0);
        EXPECT_EQ(c.p, c.end);
        EXPECT_TRUE(dht[0].defined && dht[1].defined && !dht[2].defined);
        EXPECT_EQ(dht[0].huffbits[2], 2);
        EXPECT_EQ(dht[0].huffvalues[2], 12);
        EXPECT_EQ(dht[0].huffvalues[3], 0);
        EXPECT_EQ(dht[1].huffvalues[0], 20);
    }
    {
        // A later segment's first table replaces slot 0 ...
        const Bytes data = dhtSegment({Table{0, {1}, {99}}});
        Cursor c(data);
        c.p += 2;
        ASSERT_EQ(getc_huffman_table_wsq(&dht, &c.p, c.end), 0);
        EXPECT_EQ(dht[0].huffvalues[0], 99);
        EXPECT_EQ(dht[0].huffvalues[1], 0);
    }
    struct Case {
        Bytes segment;
        int expected;
        std::string message;
    };
    Table big{3, std::vector<int>(16, 17), std::vector<int>(272, 1)};  // 272 values
    Bytes shortLength = dhtSegment({t1});
    shortLength[3] = 2;  // length 2: no table bytes
    Bytes overLength = dhtSegment({Table{6, {0, 1, 2}, {1, 2, 3}}, Table{7, {1}, {4}}});
    overLength[3] -= 3;  // the second table reaches past the length
    const Case cases[] = {
        // ... but a second table of a segment may not redefine a slot.
        {dhtSegment({Table{2, {1}, {5}}, Table{0, {1}, {6}}}), -2,
         "ERROR : getc_huffman_table_wsq : huffman table ID = 0 already defined\n"},
        {dhtSegment({big}), -4, "ERROR : getc_huffman_table : num_hufvals (272) is largerthan MAX_HUFFCOUNTS (257)\n"},
        {dhtSegment({Table{8, {1}, {5}}}), WSQ_ERR_TABLE_ID,
         "ERROR : getc_huffman_table_wsq : huffman table ID = 8 is not below 8\n"},
        {shortLength, -2, "ERROR : getc_huffman_table : no huffman table bytes remaining\n"},
        {overLength, -2, "ERROR : getc_huffman_table : no huffman table bytes remaining\n"},
    };
    for (const Case& k : cases) {
        Cursor c(k.segment);
        c.p += 2;
        CaptureStderr();
        EXPECT_EQ(getc_huffman_table_wsq(&dht, &c.p, c.end), k.expected);
        EXPECT_EQ(GetCapturedStderr(), k.message);
    }
    EXPECT_EQ(dht[0].huffvalues[0], 99) << "slot 0 changed by a refused table";
}

TEST(StreamReader, HuffmanTableOf257ValuesIsAccepted)
{
    Table t{5, std::vector<int>(16, 0), std::vector<int>(257, 7)};
    t.bits[15] = 255;
    t.bits[14] = 2;
    const Bytes data = dhtSegment({t});
    Cursor c(data);
    c.p += 2;
    HuffSlots dht;
    ASSERT_EQ(getc_huffman_table_wsq(&dht, &c.p, c.end), 0);
    EXPECT_EQ(dht[5].huffvalues[256], 7);
}

TEST(StreamReader, Comments)
{
    struct Case {
        Bytes data;
        int expected;
        std::string text;
        std::string message;
    };
    const Case cases[] = {
        {Bytes{0x00, 0x02}, 0, "", ""},
        {Bytes{0x00, 0x05, 'a', 0, 'b'}, 0, std::string("a\0b", 3), ""},
        {Bytes{0x00, 0x01, 'x'}, WSQ_ERR_COMMENT_LENGTH, "unchanged", "ERROR : getc_comment : segment length 1 is below 2\n"},
        {Bytes{0x00, 0x06, 'a', 'b'}, -40, "unchanged", "ERROR : getc_bytes : premature End Of Buffer\n"},
    };
    for (const Case& k : cases) {
        Cursor c(k.data);
        std::string text = "unchanged";
        CaptureStderr();
        EXPECT_EQ(getc_comment(&text, &c.p, c.end), k.expected);
        EXPECT_EQ(GetCapturedStderr(), k.message);
        EXPECT_EQ(text, k.text);
    }
}

TEST(StreamReader, SkippingNeedsAByteAfterTheSegment)
{
    Bytes data = comSegment("abc");
    Cursor c(data);
    c.p += 2;
    CaptureStderr();
    EXPECT_EQ(getc_skip_marker_segment(COM_WSQ, &c.p, c.end), -2);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : getc_skip_marker_segment : unexpected end of buffer when parsing "
                                   "marker 65448 segment of length 3\n");
    EXPECT_EQ(c.p, data.data() + 4) << "cursor must stay after the length";

    data.push_back(0xFF);
    Cursor d(data);
    d.p += 2;
    ASSERT_EQ(getc_skip_marker_segment(COM_WSQ, &d.p, d.end), 0);
    EXPECT_EQ(d.p, d.end - 1);

    // A length below 2 wraps to a huge skip and is refused, not followed.
    const Bytes wrapped{0x00, 0x01, 1, 2, 3};
    Cursor w(wrapped);
    CaptureStderr();
    EXPECT_EQ(getc_skip_marker_segment(COM_WSQ, &w.p, w.end), -2);
    GetCapturedStderr();
}

TEST(StreamWriter, BufferLimitsAndMessages)
{
    unsigned char buf[4] = {};
    std::size_t len = 3;
    ASSERT_EQ(putc_byte(7, buf, sizeof buf, &len), 0);
    CaptureStderr();
    EXPECT_EQ(putc_byte(8, buf, sizeof buf, &len), -32);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : putc_byte : buffer overlow : alloc = 4, request = 4\n");
    len = 3;
    CaptureStderr();
    EXPECT_EQ(putc_u16(0xABCD, buf, sizeof buf, &len), -33);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : putc_bytes : buffer overlow : alloc = 4, request = 5\n");
    EXPECT_EQ(len, 3u);
    len = 0;
    ASSERT_EQ(putc_u32(0x01020304, buf, sizeof buf, &len), 0);
    EXPECT_EQ(Bytes(buf, buf + 4), (Bytes{1, 2, 3, 4}));
}

TEST(StreamWriter, CommentSegments)
{
    Bytes buf(70000);
    std::size_t len = 0;
    ASSERT_EQ(putc_com_segment("hi", buf.data(), buf.size(), &len), 0);
    ASSERT_EQ(putc_com_segment("", buf.data(), buf.size(), &len), 0);
    EXPECT_EQ(Bytes(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(len)),
              (Bytes{0xFF, 0xA8, 0x00, 0x04, 'h', 'i', 0xFF, 0xA8, 0x00, 0x02}));
    // 65533 bytes is the longest text a length field can count.
    len = 0;
    EXPECT_EQ(putc_com_segment(std::string(65533, 'x'), buf.data(), buf.size(), &len), 0);
    EXPECT_EQ(buf[2], 0xFF);
    EXPECT_EQ(buf[3], 0xFF);
    len = 0;
    CaptureStderr();
    EXPECT_EQ(putc_com_segment(std::string(65534, 'x'), buf.data(), buf.size(), &len), WSQ_ERR_COMMENT_TOO_LONG);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : putc_com_segment : comment of 65534 bytes does not fit a segment\n");
    EXPECT_EQ(len, 0u);
}

TEST(StreamWriter, TransformTableBytes)
{
    const Bytes dtt = dttSegment();
    EXPECT_EQ(Bytes(dtt.begin(), dtt.begin() + 12),
              (Bytes{0xFF, 0xA4, 0x00, 0x3A, 0x09, 0x07, 0x00, 0x09, 0x32, 0xD3, 0x25, 0xCD}));
    // Sign, scale, integer of every stored tap: lowpass 4..8 then highpass 3..6.
    const std::uint32_t expected[9][3] = {
        {0, 9, 852698573},  {0, 10, 3774028186}, {1, 10, 1106243994}, {1, 11, 2384946381}, {0, 11, 3782845235},
        {0, 9, 788485632},  {1, 10, 4180923187}, {1, 11, 4068942234}, {0, 10, 645388851},
    };
    for (int k = 0; k < 9; ++k) {
        const unsigned char* p = dtt.data() + 6 + 6 * k;
        const std::uint32_t magnitude = (std::uint32_t{p[2]} << 24) | (p[3] << 16) | (p[4] << 8) | p[5];
        EXPECT_EQ(p[0], expected[k][0]) << k;
        EXPECT_EQ(p[1], expected[k][1]) << k;
        EXPECT_EQ(magnitude, expected[k][2]) << k;
    }
}

TEST(StreamWriter, ScaledValueEncoding)
{
    struct Case {
        float value;
        double limit;
        bool ok;
        unsigned scale;
        std::uint32_t integer;
    };
    const Case cases[] = {
        {0.0f, 65535, true, 0, 0},
        {0.44f, 65535, true, 5, 44000},
        {1.5f, 65535, true, 4, 15000},
        {65534.0f, 65535, true, 0, 65534},
        {65535.0f, 65535, false, 0, 0},
        {std::nanf(""), 65535, false, 0, 0},
        {0.852698684f, 4294967295.0, true, 9, 852698573},
    };
    for (const Case& k : cases) {
        unsigned char scale = 77;
        std::uint32_t integer = 77;
        EXPECT_EQ(encodeScaledValue(k.value, k.limit, &scale, &integer), k.ok) << k.value;
        if (k.ok) {
            EXPECT_EQ(scale, k.scale) << k.value;
            EXPECT_EQ(integer, k.integer) << k.value;
        }
    }
    // Values the writers cannot express are refused with their messages.
    QuantValues q;
    q.bin_width[3] = 70000.0f;
    unsigned char buf[400];
    std::size_t len = 0;
    CaptureStderr();
    EXPECT_EQ(putc_quantization_table(q, buf, sizeof buf, &len), -86);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : putc_quantization_table : Q[3] to high at 70000.000000\n");
    len = 0;
    CaptureStderr();
    EXPECT_EQ(putc_sof_segment(70000, 100, 1.0f, 1.0f, buf, sizeof buf, &len), WSQ_ERR_FRAME_TOO_LARGE);
    EXPECT_EQ(GetCapturedStderr(), "ERROR : putc_sof_segment : frame value out of range\n");
}

TEST(StreamWriter, HeaderSegments)
{
    unsigned char buf[64];
    std::size_t len = 0;
    const unsigned char bits[16] = {0, 2, 1};
    const unsigned char values[3] = {9, 8, 7};
    ASSERT_EQ(putc_dht_segment(1, bits, values, buf, sizeof buf, &len), 0);
    ASSERT_EQ(putc_sob_segment(1, buf, sizeof buf, &len), 0);
    Bytes expected{0xFF, 0xA6, 0x00, 22, 1, 0, 2, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 8, 7,
                   0xFF, 0xA3, 0x00, 0x03, 1};
    EXPECT_EQ(Bytes(buf, buf + len), expected);

    const Bytes sof = sofSegment(500, 400, 0.0f, 1.0f);
    EXPECT_EQ(sof, (Bytes{0xFF, 0xA2, 0, 17, 0, 255, 0x01, 0x90, 0x01, 0xF4, 0, 0, 0, 4, 0x27, 0x10, 0, 0, 0}));
}
