// Huffman decoding of block data: code construction, bit reading with
// stuffing and markers, symbol expansion, and the limits of the output.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "stream_builder.h"
#include "wsq/errors.h"
#include "wsq/huffman_decode.h"

using namespace wsq;

using namespace wsqtest;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

namespace {

struct Decoded {
    int code = 0;
    std::vector<short> out;
    std::string stderrText;
    std::ptrdiff_t consumed = 0;
};

// Decodes bytes that follow a frame header into an array of `capacity`
// values pre-filled with 9 (to see what was written).
Decoded decodeBlocks(const Bytes& data, std::size_t capacity = 1000)
{
    Decoded d;
    d.out.assign(capacity, 9);
    TransformTable dtt;
    QuantTable dqt;
    HuffSlots dht;
    const unsigned char* p = data.data();
    CaptureStderr();
    d.code = huffman_decode_data_mem(d.out.data(), capacity, &dtt, &dqt, &dht, &p, data.data() + data.size());
    d.stderrText = GetCapturedStderr();
    d.consumed = p - data.data();
    return d;
}

// DHT, SOB, raw block bytes, EOI.
Bytes oneBlock(const Table& t, const Bytes& blockData)
{
    Bytes b = dhtSegment({t});
    append(b, sobSegment(t.id));
    append(b, blockData);
    append(b, Bytes{0xFF, 0xA1});
    return b;
}

std::vector<short> prefix(const std::vector<short>& v, std::size_t n) { return {v.begin(), v.begin() + static_cast<std::ptrdiff_t>(n)}; }

}  // namespace

TEST(HuffmanCodes, CanonicalCodesAndDecodeTables)
{
    const unsigned char bits[16] = {0, 2, 3, 1};
    std::vector<HuffCode> codes;
    int count = 0;
    ASSERT_EQ(build_huffsizes(&codes, &count, bits), 0);
    assign_huffcodes(codes);
    ASSERT_EQ(count, 6);
    const HuffCode expected[] = {{2, 0b00}, {2, 0b01}, {3, 0b100}, {3, 0b101}, {3, 0b110}, {4, 0b1110}, {0, 0}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(codes[static_cast<std::size_t>(i)].size, expected[i].size) << i;
        EXPECT_EQ(codes[static_cast<std::size_t>(i)].code, expected[i].code) << i;
    }
    EXPECT_EQ(check_all_ones_code(codes, count), 0);
    HuffDecodeTables t;
    make_decode_tables(&t, codes, bits);
    EXPECT_EQ(t.maxcode[1], -1);
    EXPECT_EQ(t.mincode[3], 0b100);
    EXPECT_EQ(t.maxcode[3], 0b110);
    EXPECT_EQ(t.valptr[4], 5);

    const unsigned char onesBits[16] = {1, 1};  // codes 0 and 10
    const unsigned char withOnes[16] = {1, 2};  // codes 0, 10 and 11
    build_huffsizes(&codes, &count, onesBits);
    assign_huffcodes(codes);
    EXPECT_EQ(check_all_ones_code(codes, count), 0);
    build_huffsizes(&codes, &count, withOnes);
    assign_huffcodes(codes);
    CaptureStderr();
    EXPECT_EQ(check_all_ones_code(codes, count), -1);
    EXPECT_EQ(GetCapturedStderr(), "WARNING: A code in the hufftable contains an all 1's code.\n"
                                   "         This image may still be decodable.\n"
                                   "         It is not compliant with the WSQ specification.\n");
}

TEST(HuffmanDecode, SingleThreeBitCode)
{
    // One code 000 for a run of 5: eight zero bits give it twice, and the two
    // bits left over never complete a code before the marker.
    const Decoded d = decodeBlocks(oneBlock(Table{0, {0, 0, 1}, {5}}, Bytes{0x00}));
    ASSERT_EQ(d.code, 0) << d.stderrText;
    EXPECT_EQ(prefix(d.out, 11), (std::vector<short>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9}));
    EXPECT_EQ(d.stderrText, "");
}

TEST(HuffmanDecode, TableWithoutCodesDecodesAnEmptyBlock)
{
    const Decoded d = decodeBlocks(oneBlock(Table{0, {}, {}}, Bytes{}));
    ASSERT_EQ(d.code, 0) << d.stderrText;
    EXPECT_EQ(d.out[0], 9);
}

TEST(HuffmanDecode, SymbolsAndTheirExtraBits)
{
    const Table t = fullTable();
    const std::vector<Symbol> symbols = {
        {180},                 // 0
        {254},                 // 74
        {107},                 // -73
        {101, 0xFF, 8},        // 255 (a data byte 0xFF is stuffed)
        {102, 200, 8},         // -200
        {103, 0x9000, 16},     // stored as a signed 16-bit value
        {104, 32768, 16},      // -32768
        {105, 0, 8},           // a run of 0: nothing
        {2},                   // 2 zeros
        {106, 0x0100, 16},     // 256 zeros
        {75 + 180 - 1},        // 74 again, after the run
    };
    const Bytes data = codeBlock(t, symbols);
    const Bytes stuffed{0xFF, 0x00};
    ASSERT_NE(std::search(data.begin(), data.end(), stuffed.begin(), stuffed.end()), data.end());
    const Decoded d = decodeBlocks(oneBlock(t, data));
    ASSERT_EQ(d.code, 0) << d.stderrText;
    std::vector<short> expected = {0, 74, -73, 255, -200, static_cast<short>(0x9000), -32768, 0, 0};
    expected.insert(expected.end(), 256, 0);
    expected.push_back(74);
    expected.push_back(9);
    EXPECT_EQ(prefix(d.out, expected.size()), expected);
}

TEST(HuffmanDecode, BlocksTablesAndMarkers)
{
    // Two blocks; a comment and a new table for slot 0 stand between them, and
    // bytes after EOI are not read.
    const Table first{0, {1, 1}, {3, 183}};   // 0 -> run of 3, 10 -> value 3
    const Table second{0, {1, 1}, {178, 1}};  // 0 -> -2, 10 -> run of 1
    Bytes stream = dhtSegment({first});
    append(stream, sobSegment(0));
    append(stream, codeBlock(first, {{3}, {183}}));
    append(stream, comSegment("between"));
    append(stream, dhtSegment({second}));
    append(stream, sobSegment(0));
    append(stream, codeBlock(second, {{178}, {1}, {178}}));
    append(stream, Bytes{0xFF, 0xA1});
    const std::size_t eoiEnd = stream.size();
    append(stream, Bytes{0x12, 0x34});
    const Decoded d = decodeBlocks(stream);
    ASSERT_EQ(d.code, 0) << d.stderrText;
    EXPECT_EQ(prefix(d.out, 8), (std::vector<short>{0, 0, 0, 3, -2, 0, -2, 9}));
    EXPECT_EQ(d.consumed, static_cast<std::ptrdiff_t>(eoiEnd));
}

TEST(HuffmanDecode, AllOnesCodeStillDecodes)
{
    // Codes 0 and 11 (all ones) plus 10; the warning names the table.
    const Table t{2, {1, 2}, {1, 181, 182}};
    const Decoded d = decodeBlocks(oneBlock(t, Bytes{0b11100111}));  // 11 10 0 11 1(fill)
    ASSERT_EQ(d.code, 0) << d.stderrText;
    EXPECT_EQ(prefix(d.out, 5), (std::vector<short>{2, 1, 0, 2, 9}));
    EXPECT_NE(d.stderrText.find("WARNING: A code in the hufftable contains an all 1's code."), std::string::npos);
    EXPECT_NE(d.stderrText.find("         hufftable_id = 2\n"), std::string::npos);
}

TEST(HuffmanDecode, Failures)
{
    const Table t = fullTable();
    const Table oneCode{0, {1}, {1}};  // the single code 0
    struct Case {
        const char* name;
        Bytes data;
        int expected;
        std::string message;
    };
    Bytes undefinedSlot = dhtSegment({t});
    append(undefinedSlot, sobSegment(1));
    Bytes slotEight = dhtSegment({t});
    append(slotEight, sobSegment(8));
    // 101 wants 8 more bits but meets a marker.
    Bytes markerInExtraBits = dhtSegment({t});
    append(markerInExtraBits, sobSegment(0));
    append(markerInExtraBits, Bytes{100, 0xFF, 0xA3});
    Bytes badMarkerAfterBlock = oneBlock(t, codeBlock(t, {{180}}));
    badMarkerAfterBlock[badMarkerAfterBlock.size() - 1] = 0xA2;  // SOF instead of EOI
    Bytes badMarkerAfterTable = dhtSegment({t});
    append(badMarkerAfterTable, sobSegment(0));
    append(badMarkerAfterTable, codeBlock(t, {{180}}));
    append(badMarkerAfterTable, comSegment("x"));
    append(badMarkerAfterTable, Bytes{0xFF, 0xA1});
    Bytes noEoi = dhtSegment({t});
    append(noEoi, sobSegment(0));
    append(noEoi, codeBlock(t, {{180}}));
    Bytes endsInFF = dhtSegment({t});
    append(endsInFF, sobSegment(0));
    endsInFF.push_back(0xFF);
    const Table withZero{0, {0, 0, 0, 0, 0, 0, 0, 2}, {0, 255}};

    const Case cases[] = {
        {"undefined slot", undefinedSlot, -51, "ERROR : huffman_decode_data_mem : huffman table {1} undefined.\n"},
        {"slot 8", slotEight, -51, "ERROR : huffman_decode_data_mem : huffman table {8} undefined.\n"},
        {"category 0", oneBlock(withZero, Bytes{0x00}), -52, "ERROR: huffman_decode_data_mem : Invalid code 0 (0).\n"},
        {"category 255", oneBlock(withZero, Bytes{0x01}), -52,
         "ERROR: huffman_decode_data_mem : Invalid code 255 (ff).\n"},
        {"marker in extra bits", markerInExtraBits, -41, "ERROR: getc_nextbits_wsq : No stuffed zeros\n"},
        {"SOF after block data", badMarkerAfterBlock, -93, "ERROR: getc_table_wsq : Invalid table defined -> {65442}\n"},
        {"EOI after a table between blocks", badMarkerAfterTable, -90,
         "ERROR : getc_marker_wsq : No SOB, Table, or comment markers.\n"},
        {"EOI right after the frame", Bytes{0xFF, 0xA1}, -90,
         "ERROR : getc_marker_wsq : No SOB, Table, or comment markers.\n"},
        {"no EOI", noEoi, -39, "ERROR : getc_byte : premature End Of Buffer\n"},
        {"0xFF at the very end", endsInFF, -39, "ERROR : getc_byte : premature End Of Buffer\n"},
        {"16 one-bits match nothing", oneBlock(oneCode, Bytes{0xFF, 0x00, 0xFF, 0x00}), WSQ_ERR_NO_CODE,
         "ERROR : decode_category : no huffman code matches within 16 bits\n"},
    };
    for (const Case& k : cases) {
        const Decoded d = decodeBlocks(k.data);
        EXPECT_EQ(d.code, k.expected) << k.name;
        EXPECT_EQ(d.stderrText, k.message) << k.name;
    }
}

TEST(HuffmanDecode, NeverWritesPastTheOutput)
{
    const Table t = fullTable();
    struct Case {
        std::vector<Symbol> symbols;
        std::size_t capacity;
        int expected;
    };
    const Case cases[] = {
        {{{100}}, 100, 0},
        {{{100}}, 99, WSQ_ERR_COEFF_OVERRUN},
        {{{50}, {181}}, 51, 0},
        {{{50}, {181}}, 50, WSQ_ERR_COEFF_OVERRUN},
        {{{106, 0xFFFF, 16}}, 1000, WSQ_ERR_COEFF_OVERRUN},
        {{{101, 77, 8}}, 0, WSQ_ERR_COEFF_OVERRUN},
        {{{104, 77, 16}}, 0, WSQ_ERR_COEFF_OVERRUN},
    };
    for (const Case& k : cases) {
        const Decoded d = decodeBlocks(oneBlock(t, codeBlock(t, k.symbols)), k.capacity);
        EXPECT_EQ(d.code, k.expected) << k.capacity;
        if (k.expected != 0) {
            EXPECT_EQ(d.stderrText, "ERROR : huffman_decode_data_mem : coefficients overrun the image of " +
                                        std::to_string(k.capacity) + " values\n");
        }
    }
}

TEST(HuffmanDecode, OverfullTableNeverIndexesOutsideItsValues)
{
    // Far more codes than the lengths allow: the 16-bit codes wrap around.
    Table t{0, std::vector<int>(16, 0), {}};
    t.bits[0] = 2;
    t.bits[1] = 4;
    t.bits[15] = 250;
    t.values.assign(256, 181);
    for (const Bytes& data : {Bytes{0x00, 0x00}, Bytes{0xC0, 0x00}, Bytes{0xFF, 0x00, 0xFF, 0x00, 0x12}}) {
        const Decoded d = decodeBlocks(oneBlock(t, data));
        EXPECT_TRUE(d.code == 0 || d.code == WSQ_ERR_NO_CODE) << d.code << d.stderrText;
    }
}
