#pragma once
// Huffman decoding of WSQ block data into quantized coefficient indices.
#include <cstddef>
#include <vector>

#include "wsq/huffman_codes.h"
#include "wsq/tables.h"

namespace wsq {

// Bit position inside block data: the current byte and how many of its bits
// are still unread. Belongs to one decode.
struct BitReader {
    unsigned char code = 0;
    int bit_count = 0;
};

// Indexed by code length 1..16 (0 unused).
struct HuffDecodeTables {
    int maxcode[MAX_HUFFBITS + 1] = {};  // largest code of the length, -1 when none
    int mincode[MAX_HUFFBITS + 1] = {};  // smallest code of the length
    int valptr[MAX_HUFFBITS + 1] = {};   // index in huffvalues of the first symbol of the length
};

void make_decode_tables(HuffDecodeTables* tables, const std::vector<HuffCode>& huffcode_table,
                        const unsigned char* huffbits);

// Reads bits_req (1-16) bits, most significant first, dropping stuffed zero
// bytes after 0xFF. When marker_allowed (a one-bit request while decoding a
// code) a marker ends the data: *omarker receives it and *obits is 1.
// Anywhere else a marker fails with -41.
int getc_nextbits_wsq(unsigned short* obits, unsigned short* omarker, bool marker_allowed, int bits_req,
                      const unsigned char** cbufptr, const unsigned char* ebufptr, BitReader* reader);

// Decodes one symbol. When a marker ends the data instead, *omarker holds it
// and *ocategory is -1; otherwise *omarker is left untouched.
int decode_category(int* ocategory, unsigned short* omarker, const HuffDecodeTables& tables,
                    const unsigned char* huffvalues, const unsigned char** cbufptr, const unsigned char* ebufptr,
                    BitReader* reader);

// Decodes every block from just after the frame header up to and including
// EOI, reading the tables and comments that stand between blocks. Indices go
// to ip in stream order; ip has room for capacity values and zero runs are
// written as zeros. On success the cursor stands after EOI and *owritten
// (when given) holds the number of values written.
int huffman_decode_data_mem(short* ip, std::size_t capacity, TransformTable* dtt_table, QuantTable* dqt_table,
                            HuffSlots* dht_table, const unsigned char** cbufptr, const unsigned char* ebufptr,
                            std::size_t* owritten = nullptr);

}  // namespace wsq
