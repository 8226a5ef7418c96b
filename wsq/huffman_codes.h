#pragma once
// Canonical Huffman code construction from the 16 code-length counts of a
// table, shared by the decoder (decode tables) and the encoder (code table).
#include <vector>

#include "wsq/tables.h"

namespace wsq {

struct HuffCode {
    short size = 0;           // code length in bits; 0 ends the list
    unsigned short code = 0;  // the code in its low size bits
};

// One entry per code, in code order, then a terminating entry of size 0.
// Room is kept for the largest table (MAX_HUFFCOUNTS codes and the terminator).
int build_huffsizes(std::vector<HuffCode>* ohuffcode_table, int* olast_size, const unsigned char* huffbits);
// Assigns the codes in order: consecutive within a length, shifted left when the length grows.
void assign_huffcodes(std::vector<HuffCode>& huffcode_table);
// -1 (after printing the warning) when one of the first last_size codes is all 1-bits.
int check_all_ones_code(const std::vector<HuffCode>& huffcode_table, int last_size);

}  // namespace wsq
