#include "wsq/huffman_codes.h"

#include <cstdio>
#include <new>

#include "wsq/diagnostics.h"

int build_huffsizes(std::vector<HuffCode>* ohuffcode_table, int* olast_size, const unsigned char* huffbits)
{
    std::vector<HuffCode> table;
    try {
        table.reserve(MAX_HUFFCOUNTS + 1);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : build_huffsizes : calloc : huffcode_table\n");
        return -2;
    }
    for (int length = 1; length <= MAX_HUFFBITS; ++length)
        for (int i = 0; i < huffbits[length - 1]; ++i)
            table.push_back(HuffCode{static_cast<short>(length), 0});
    const int count = static_cast<int>(table.size());
    table.push_back(HuffCode{});
    *ohuffcode_table = std::move(table);
    *olast_size = count;
    return 0;
}

void assign_huffcodes(std::vector<HuffCode>& huffcode_table)
{
    if (huffcode_table.empty() || huffcode_table[0].size == 0)
        return;
    unsigned short code = 0;
    short size = huffcode_table[0].size;
    std::size_t k = 0;
    while (true) {
        do {
            huffcode_table[k].code = code;
            ++code;
            ++k;
        } while (huffcode_table[k].size == size);
        if (huffcode_table[k].size == 0)
            return;
        do {
            code = static_cast<unsigned short>(code << 1);
            ++size;
        } while (huffcode_table[k].size != size);
    }
}

int check_all_ones_code(const std::vector<HuffCode>& huffcode_table, int last_size)
{
    for (int i = 0; i < last_size; ++i) {
        const HuffCode& entry = huffcode_table[static_cast<std::size_t>(i)];
        const unsigned mask = (1u << entry.size) - 1u;
        if ((entry.code & mask) == mask) {
            wsq::diagnostic("WARNING: A code in the hufftable contains an "
                            "all 1's code.\n         This image may still be "
                            "decodable.\n         It is not compliant with "
                            "the WSQ specification.\n");
            return -1;
        }
    }
    return 0;
}
