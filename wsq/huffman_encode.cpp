#include "wsq/huffman_encode.h"

#include <algorithm>
#include <cstdio>

#include "wsq/diagnostics.h"
#include "wsq/errors.h"
#include "wsq/simd.h"

namespace wsq {

namespace {

constexpr int kMaxZeroRun = 65535;

// Symbols and the extra bits they carry.
int runSymbol(int run)
{
    if (run <= MAX_HUFFZRUN)
        return run;
    return run <= 255 ? 105 : 106;
}

int valueSymbol(int v)
{
    if (v >= -(MAX_HUFFCOEFF - 1) && v <= MAX_HUFFCOEFF)
        return v + 180;
    if (v > 0)
        return v <= 255 ? 101 : 103;
    return v >= -255 ? 102 : 104;
}

// Walks the indices as the coder does: zero runs of at most 65535 and single
// values, in order.
template <typename RunFn, typename ValueFn>
void walkSymbols(const std::int16_t* sip, int count, RunFn onRun, ValueFn onValue)
{
    int i = 0;
    while (i < count) {
        if (sip[i] != 0) {
            onValue(sip[i]);
            ++i;
            continue;
        }
        // Most indices of the finer subbands are 0: their runs are found a
        // vector at a time.
        int run = wsq::simd::leadingZeros(sip + i, count - i);
        i += run;
        for (; run > kMaxZeroRun; run -= kMaxZeroRun)
            onRun(kMaxZeroRun);
        onRun(run);
    }
}

// s: the smallest count of the symbols still in the list, the
// highest-numbered on a tie; t: the same among the others (-1 when there is
// none). One pass: a symbol that takes s's place hands the old s to t.
void least_two(const SymbolCounts& freq, const std::vector<int>& live, int& s, int& t)
{
    s = -1;
    t = -1;
    for (int i : live) {
        if (s < 0 || freq[i] <= freq[s]) {
            t = s;
            s = i;
        } else if (t < 0 || freq[i] <= freq[t]) {
            t = i;
        }
    }
}

// Bits MSB first into bytes, with a 0x00 stuffed after every 0xFF.
class BitWriter {
public:
    BitWriter(unsigned char* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

    void emit_bits(unsigned value, int n)
    {
        acc_ = (acc_ << n) | (value & ((1u << n) - 1u));
        nbits_ += n;
        while (nbits_ >= 8) {
            nbits_ -= 8;
            putByte(static_cast<unsigned char>(acc_ >> nbits_));
        }
        acc_ &= (1u << nbits_) - 1u;
    }

    void finish_bits()
    {
        if (nbits_ > 0)
            emit_bits((1u << (8 - nbits_)) - 1u, 8 - nbits_);
    }

    bool overflow() const { return overflow_; }
    std::size_t size() const { return len_; }

private:
    void putByte(unsigned char b)
    {
        store(b);
        if (b == 0xFF)
            store(0x00);
    }
    void store(unsigned char b)
    {
        if (len_ >= capacity_) {
            overflow_ = true;
            return;
        }
        out_[len_++] = b;
    }

    unsigned char* out_;
    std::size_t capacity_;
    std::size_t len_ = 0;
    std::uint32_t acc_ = 0;
    int nbits_ = 0;
    bool overflow_ = false;
};

}  // namespace

void count_block(SymbolCounts& counts, const std::int16_t* sip, int count)
{
    counts.fill(0);
    counts[kReservedSymbol] = 1;
    walkSymbols(sip, count, [&](int run) { ++counts[runSymbol(run)]; },
                [&](int v) { ++counts[valueSymbol(v)]; });
}

void find_huff_sizes(CodeSizes& codesize, SymbolCounts freq)
{
    codesize.fill(0);
    std::array<int, kHuffSymbols> others;
    others.fill(-1);
    // The symbols with a non-zero count, in increasing order.
    std::vector<int> live;
    for (int i = 0; i < kHuffSymbols; ++i)
        if (freq[i] != 0)
            live.push_back(i);
    while (true) {
        int s, t;
        least_two(freq, live, s, t);
        if (t < 0)
            break;
        freq[s] += freq[t];
        freq[t] = 0;
        live.erase(std::find(live.begin(), live.end(), t));
        ++codesize[s];
        while (others[s] >= 0) {
            s = others[s];
            ++codesize[s];
        }
        others[s] = t;
        ++codesize[t];
        while (others[t] >= 0) {
            t = others[t];
            ++codesize[t];
        }
    }
}

void find_num_huff_sizes(LengthCounts& bits, bool& adjust, const CodeSizes& codesize)
{
    bits.fill(0);
    adjust = false;
    for (int sym = 0; sym < kReservedSymbol; ++sym) {
        const int c = codesize[sym];
        if (c > 0) {
            ++bits[c - 1];
            if (c > MAX_HUFFBITS)
                adjust = true;
        }
    }
}

int sort_huffbits(LengthCounts& bits)
{
    // count(len) is bits[len - 1]; lengths above 16 are moved up in pairs.
    auto count = [&](int len) -> int& { return bits[len - 1]; };
    for (int i = kMaxCodeSize; i > MAX_HUFFBITS; --i) {
        while (count(i) > 0) {
            int j = i - 2;
            while (j > 0 && count(j) == 0)
                --j;
            if (j == 0)
                break;  // no shorter code to split: left for the check below
            count(i) -= 2;
            count(i - 1) += 1;
            count(j + 1) += 2;
            count(j) -= 1;
        }
        if (count(i) < 0)
            count(i) = 0;
    }
    for (int i = MAX_HUFFBITS; i > 0; --i) {
        if (count(i) > 0) {
            --count(i);
            break;
        }
    }
    for (int i = kMaxCodeSize; i > MAX_HUFFBITS; --i) {
        if (count(i) > 0) {
            wsq::diagnostic("ERROR : sort_huffbits : Code length of %d is greater than 16.\n",
                         i - 1);
            return WSQ_ERR_CODE_TOO_LONG;
        }
    }
    return 0;
}

std::vector<unsigned char> sort_code_sizes(const CodeSizes& codesize)
{
    std::vector<unsigned char> values;
    for (int c = 1; c <= kMaxCodeSize; ++c)
        for (int sym = 0; sym < kReservedSymbol; ++sym)
            if (codesize[sym] == c)
                values.push_back(static_cast<unsigned char>(sym));
    return values;
}

void build_huffcode_table(HuffCodeTable& table, const std::vector<HuffCode>& huffcode_list,
                          int last_size, const std::vector<unsigned char>& huffvalues)
{
    table.fill(HuffCode{});
    for (int i = 0; i < last_size && i < static_cast<int>(huffvalues.size()); ++i)
        table[huffvalues[static_cast<std::size_t>(i)]] = huffcode_list[static_cast<std::size_t>(i)];
}

int make_huff_table(HuffCodeTable& table, std::array<unsigned char, MAX_HUFFBITS>& huffbits,
                    std::vector<unsigned char>& huffvalues, const std::int16_t* sip,
                    std::span<const int> blockSizes)
{
    SymbolCounts counts{};
    for (int size : blockSizes) {
        SymbolCounts blockCounts;
        count_block(blockCounts, sip, size);
        for (int sym = 0; sym < kReservedSymbol; ++sym)
            counts[sym] += blockCounts[sym];
        sip += size;
    }
    // One reserved code point per table, however many blocks it codes.
    counts[kReservedSymbol] = 1;

    CodeSizes codesize;
    find_huff_sizes(codesize, counts);
    LengthCounts bits;
    bool adjust = false;
    find_num_huff_sizes(bits, adjust, codesize);
    if (adjust) {
        const int ret = sort_huffbits(bits);
        if (ret != 0)
            return ret;
    }
    for (int i = 0; i < MAX_HUFFBITS; ++i)
        huffbits[i] = static_cast<unsigned char>(bits[i]);
    huffvalues = sort_code_sizes(codesize);

    std::vector<HuffCode> codes;
    int lastSize = 0;
    int ret = build_huffsizes(&codes, &lastSize, huffbits.data());
    if (ret != 0)
        return ret;
    assign_huffcodes(codes);
    if (check_all_ones_code(codes, lastSize) != 0) {
        wsq::diagnostic("ERROR: This huffcode warning is an error "
                        "for the encoder.\n");
        return WSQ_ERR_ALL_ONES_CODE;
    }
    huffvalues.resize(static_cast<std::size_t>(lastSize));
    build_huffcode_table(table, codes, lastSize, huffvalues);
    // A symbol without a code would silently drop coefficients from the block.
    for (int sym = 0; sym < kReservedSymbol; ++sym) {
        if (counts[sym] != 0 && table[sym].size == 0) {
            wsq::diagnostic("ERROR : make_huff_table : symbol %d has no code\n", sym);
            return WSQ_ERR_SYMBOL_WITHOUT_CODE;
        }
    }
    return 0;
}

int compress_block(unsigned char* out, std::size_t capacity, std::size_t& coded_size,
                   const std::int16_t* sip, int count, const HuffCodeTable& table)
{
    BitWriter w(out, capacity);
    auto code = [&](int sym) { w.emit_bits(table[sym].code, table[sym].size); };
    walkSymbols(
        sip, count,
        [&](int run) {
            const int sym = runSymbol(run);
            code(sym);
            if (sym == 105)
                w.emit_bits(static_cast<unsigned>(run), 8);
            else if (sym == 106)
                w.emit_bits(static_cast<unsigned>(run), 16);
        },
        [&](int v) {
            const int sym = valueSymbol(v);
            code(sym);
            const unsigned magnitude = static_cast<unsigned>(v < 0 ? -v : v);
            if (sym == 101 || sym == 102)
                w.emit_bits(magnitude, 8);
            else if (sym == 103 || sym == 104)
                w.emit_bits(magnitude, 16);
        });
    w.finish_bits();
    if (w.overflow()) {
        wsq::diagnostic("ERROR : compress_block : coded block exceeds its buffer of %zu bytes\n",
                     capacity);
        return WSQ_ERR_BLOCK_OVERFLOW;
    }
    coded_size = w.size();
    return 0;
}

}  // namespace wsq
