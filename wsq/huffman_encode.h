#pragma once
// The encoder's entropy coding: symbol counts of the quantized indices,
// Huffman code lengths and tables built from them, and the coding of one
// block with byte stuffing.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "wsq/huffman_codes.h"
#include "wsq/tables.h"

namespace wsq {

// Symbols 0-255 plus the reserved extra symbol 256, which takes part in the
// code-length construction so that no code consists of 1-bits only.
inline constexpr int kHuffSymbols = MAX_HUFFCOUNTS;
inline constexpr int kReservedSymbol = kHuffSymbols - 1;
// Longest code the length construction can produce for 257 symbols; only
// lengths up to 16 survive sort_huffbits.
inline constexpr int kMaxCodeSize = kHuffSymbols - 1;

using SymbolCounts = std::array<std::int64_t, kHuffSymbols>;
using CodeSizes = std::array<int, kHuffSymbols>;
using LengthCounts = std::array<int, kMaxCodeSize + 1>;  // [c - 1]: codes of length c
using HuffCodeTable = std::array<HuffCode, kHuffSymbols>;  // by symbol; size 0 = no code

// Counts of the symbols that code `count` indices; the reserved symbol counts 1.
void count_block(SymbolCounts& counts, const std::int16_t* sip, int count);
// Code length of every symbol (0 for symbols that do not occur).
void find_huff_sizes(CodeSizes& codesize, SymbolCounts freq);
// Codes per length over symbols 0-255; adjust is set when a code is longer than 16 bits.
void find_num_huff_sizes(LengthCounts& bits, bool& adjust, const CodeSizes& codesize);
// Moves codes longer than 16 bits up the tree; 0 or -3.
int sort_huffbits(LengthCounts& bits);
// Symbols 0-255 in order of code length, then of value.
std::vector<unsigned char> sort_code_sizes(const CodeSizes& codesize);
// Code and size of every symbol from the canonical code list.
void build_huffcode_table(HuffCodeTable& table, const std::vector<HuffCode>& huffcode_list,
                          int last_size, const std::vector<unsigned char>& huffvalues);

// Builds one table over one or more consecutive blocks (their counts added).
// huffvalues receives the sum of huffbits values. 0, -1 (a code of 1-bits
// only) or -3 (a code longer than 16 bits remains).
int make_huff_table(HuffCodeTable& table, std::array<unsigned char, MAX_HUFFBITS>& huffbits,
                    std::vector<unsigned char>& huffvalues, const std::int16_t* sip,
                    std::span<const int> blockSizes);

// Codes `count` indices into out (capacity bytes) with the table, stuffing a
// 0x00 after every 0xFF and filling the last byte with 1-bits. 0 and the
// coded size, or WSQ_ERR_BLOCK_OVERFLOW when the data would not fit.
int compress_block(unsigned char* out, std::size_t capacity, std::size_t& coded_size,
                   const std::int16_t* sip, int count, const HuffCodeTable& table);

}  // namespace wsq
