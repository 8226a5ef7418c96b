#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "wsq/errors.h"
#include "wsq/huffman_encode.h"

using namespace wsq;

namespace {

using Indices = std::vector<std::int16_t>;

Indices zeros(int n) { return Indices(static_cast<size_t>(n), 0); }

Indices concat(std::initializer_list<Indices> parts)
{
    Indices out;
    for (const Indices& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// Every symbol gets a distinct 8-bit code equal to its value, which makes the
// expected bit stream easy to write down.
HuffCodeTable identityTable()
{
    HuffCodeTable t{};
    for (int s = 0; s < kReservedSymbol; ++s)
        t[s] = HuffCode{8, static_cast<unsigned short>(s)};
    return t;
}

std::vector<unsigned char> compress(const Indices& sip, const HuffCodeTable& table)
{
    std::vector<unsigned char> buf(64 + sip.size() * 4);
    std::size_t size = 0;
    EXPECT_EQ(compress_block(buf.data(), buf.size(), size, sip.data(), static_cast<int>(sip.size()), table), 0);
    buf.resize(size);
    return buf;
}

}  // namespace

TEST(CountBlock, SymbolsOfRunsValuesAndEscapes)
{
    struct Case {
        Indices sip;
        std::vector<int> symbols;  // every symbol counted once, besides the reserved one
    };
    const Case cases[] = {
        {{75}, {101}},   {{255}, {101}},   {{256}, {103}},  {{-74}, {102}}, {{-255}, {102}},
        {{-256}, {104}}, {{74}, {254}},    {{-73}, {107}},  {{1}, {181}},   {{-32768}, {104}},
        {zeros(100), {100}},                       // longest plain run
        {zeros(101), {105}},  {zeros(255), {105}}, {zeros(256), {106}},
        {concat({zeros(300), {3}}), {106, 183}},
        {zeros(65535 + 4465), {106}},              // two runs: counted twice below
        {{}, {}},
    };
    for (const Case& c : cases) {
        SymbolCounts counts;
        count_block(counts, c.sip.data(), static_cast<int>(c.sip.size()));
        SymbolCounts expected{};
        expected[kReservedSymbol] = 1;
        for (int s : c.symbols)
            ++expected[s];
        if (c.sip.size() == 70000)
            expected[106] = 2;
        EXPECT_EQ(counts, expected) << "block of " << c.sip.size();
    }
}

TEST(CompressBlock, ExtraBitsFollowTheirCodes)
{
    const HuffCodeTable t = identityTable();
    struct Case {
        Indices sip;
        std::vector<unsigned char> bytes;
    };
    const Case cases[] = {
        // 106, the run 0x012C, then 3 as symbol 183.
        {concat({zeros(300), {3}}), {106, 0x01, 0x2C, 183}},
        // A run of 70000: 65535 then 4465 (0x1171).
        {zeros(70000), {106, 0xFF, 0x00, 0xFF, 0x00, 106, 0x11, 0x71}},
        {{75}, {101, 0x4B}},
        {{-74}, {102, 0x4A}},
        {{74}, {254}},
        {{-73}, {107}},
        {{300, -300}, {103, 0x01, 0x2C, 104, 0x01, 0x2C}},
        {concat({zeros(200), {1}}), {105, 200, 181}},
        {{}, {}},  // an empty block codes to nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(compress(c.sip, t), c.bytes) << "block of " << c.sip.size();
}

TEST(CompressBlock, StuffsAfterFFAndFillsTheLastByteWithOnes)
{
    HuffCodeTable t{};
    t[106] = HuffCode{2, 0b00};
    t[183] = HuffCode{2, 0b01};
    t[181] = HuffCode{3, 0b111};
    // 00 0000000100101100 01, then four fill bits.
    EXPECT_EQ(compress(concat({zeros(300), {3}}), t), (std::vector<unsigned char>{0x00, 0x4B, 0x1F}));
    // 00 1111111111111111 00 0001000101110001: the 0xFF byte gets a 0x00.
    EXPECT_EQ(compress(zeros(70000), t), (std::vector<unsigned char>{0x3F, 0xFF, 0x00, 0xC1, 0x17, 0x1F}));
    // Eight 111 codes fill three bytes of 0xFF; each is stuffed.
    EXPECT_EQ(compress(Indices(8, 1), t),
              (std::vector<unsigned char>{0xFF, 0x00, 0xFF, 0x00, 0xFF, 0x00}));
    // A partial last byte filled up to 0xFF is stuffed too.
    EXPECT_EQ(compress(Indices(3, 1), t), (std::vector<unsigned char>{0xFF, 0x00, 0xFF, 0x00}));
}

TEST(CompressBlock, RefusesDataBeyondItsBuffer)
{
    const HuffCodeTable t = identityTable();
    const Indices sip(10, 5);
    std::vector<unsigned char> buf(9, 0xEE);
    std::size_t size = 1234;
    testing::internal::CaptureStderr();
    EXPECT_EQ(compress_block(buf.data(), buf.size(), size, sip.data(), 10, t), WSQ_ERR_BLOCK_OVERFLOW);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("ERROR : compress_block"), std::string::npos);
    EXPECT_EQ(size, 1234u);
    EXPECT_EQ(buf.size(), 9u);
}

// Two symbols of the smallest count: the higher-numbered merges first. With
// counts 1:1, 2:1, 3:2 and the reserved 256:1 the merges are (256, 2),
// (1, 256-group), (3, 1-group); the lower-numbered tie-break would give 1
// and 2 the same length.
TEST(HuffmanSizes, TiesGoToTheHigherNumberedSymbol)
{
    SymbolCounts freq{};
    freq[1] = 1;
    freq[2] = 1;
    freq[3] = 2;
    freq[kReservedSymbol] = 1;
    CodeSizes sizes;
    find_huff_sizes(sizes, freq);
    EXPECT_EQ(sizes[1], 2);
    EXPECT_EQ(sizes[2], 3);
    EXPECT_EQ(sizes[3], 1);
    EXPECT_EQ(sizes[kReservedSymbol], 3);
    EXPECT_EQ(sort_code_sizes(sizes), (std::vector<unsigned char>{3, 1, 2}));
}

TEST(HuffmanTable, EmptyBlocksGiveATableWithoutCodes)
{
    HuffCodeTable table;
    std::array<unsigned char, MAX_HUFFBITS> bits;
    std::vector<unsigned char> values{9, 9};
    const int sizes[] = {0, 0};
    ASSERT_EQ(make_huff_table(table, bits, values, nullptr, sizes), 0);
    EXPECT_EQ(bits, (std::array<unsigned char, MAX_HUFFBITS>{}));
    EXPECT_TRUE(values.empty());
}

// For skewed symbol counts the code lengths run past 16 and are folded back;
// whatever the counts, every symbol in the blocks must get a code of at most
// 16 bits, the codes must form a prefix code, and none may be all 1-bits (the
// decoder would take the fill bits at a block's end for it). Tables over two
// blocks keep a single reserved code point.
TEST(HuffmanTable, EverySymbolGetsAUsableCode)
{
    std::mt19937 rng(5);
    int folded = 0;
    for (int iter = 0; iter < 60; ++iter) {
        Indices sip;
        const bool deep = iter % 2 == 1;
        const int symbols = deep ? 20 + static_cast<int>(rng() % 10) : 2 + static_cast<int>(rng() % 140);
        for (int k = 0; k < symbols; ++k) {
            const std::int16_t v = static_cast<std::int16_t>(k % 2 ? -1 - k / 2 : 1 + k / 2);  // symbols 110..250
            long long n = deep ? 40000 : 1 + static_cast<long long>(rng() % 50);
            if (deep && k < 20)  // counts growing by 1.65 make a chain-like tree
                n = static_cast<long long>(std::ceil(std::pow(1.65, k)));
            sip.insert(sip.end(), static_cast<size_t>(n), v);
        }
        std::shuffle(sip.begin(), sip.end(), rng);
        const int split = static_cast<int>(rng() % (sip.size() + 1));
        const int blocks[] = {split, static_cast<int>(sip.size()) - split};

        HuffCodeTable table;
        std::array<unsigned char, MAX_HUFFBITS> bits;
        std::vector<unsigned char> values;
        ASSERT_EQ(make_huff_table(table, bits, values, sip.data(), blocks), 0) << iter;

        SymbolCounts counts{};
        for (std::int16_t v : sip)
            ++counts[v + 180];
        counts[kReservedSymbol] = 1;
        CodeSizes raw;
        find_huff_sizes(raw, counts);
        folded += *std::max_element(raw.begin(), raw.end()) > MAX_HUFFBITS;

        double kraft = 0;
        std::vector<HuffCode> used;
        for (int s = 0; s < kReservedSymbol; ++s) {
            if (counts[s] == 0)
                continue;
            const HuffCode c = table[s];
            ASSERT_GT(c.size, 0) << "symbol " << s << " lost its code, iteration " << iter;
            ASSERT_LE(c.size, MAX_HUFFBITS);
            ASSERT_NE(c.code, (1u << c.size) - 1u) << "all 1-bits";
            kraft += 1.0 / (1 << c.size);
            used.push_back(c);
        }
        ASSERT_LT(kraft, 1.0);
        for (const HuffCode& a : used)
            for (const HuffCode& b : used) {
                if (&a != &b && a.size <= b.size) {
                    ASSERT_NE(a.code, b.code >> (b.size - a.size)) << "prefix";
                }
            }
        EXPECT_EQ(values.size(), used.size());
    }
    EXPECT_GT(folded, 10);  // the fold-back path really ran
}

// Counts that fold codes longer than 16 bits: had the two blocks' reserved
// counts been added (2 instead of 1), the fold-back would drop the code of
// one symbol and its coefficients would vanish from the stream.
TEST(HuffmanTable, TwoBlocksKeepOneReservedCodePoint)
{
    const int counts[] = {1, 1, 3, 3, 5, 9, 14, 22, 39, 62, 104, 169, 283, 471, 788, 1315, 2194, 3661, 6113};
    Indices sip;
    for (int k = 0; k < 19; ++k)
        sip.insert(sip.end(), static_cast<size_t>(counts[k]), static_cast<std::int16_t>(-70 + k));
    const int blocks[] = {5000, static_cast<int>(sip.size()) - 5000};
    HuffCodeTable table;
    std::array<unsigned char, MAX_HUFFBITS> bits;
    std::vector<unsigned char> values;
    ASSERT_EQ(make_huff_table(table, bits, values, sip.data(), blocks), 0);
    EXPECT_EQ(values.size(), 19u);
    for (int k = 0; k < 19; ++k) {
        EXPECT_GT(table[110 + k].size, 0) << "symbol " << 110 + k;
        EXPECT_LE(table[110 + k].size, MAX_HUFFBITS);
    }
}
