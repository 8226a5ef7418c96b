#include "wsq/huffman_decode.h"

#include <algorithm>
#include <cstdio>

#include "wsq/diagnostics.h"
#include "wsq/errors.h"
#include "wsq/stream_reader.h"

void make_decode_tables(HuffDecodeTables* tables, const std::vector<HuffCode>& huffcode_table,
                        const unsigned char* huffbits)
{
    *tables = HuffDecodeTables{};
    std::size_t k = 0;
    for (int length = 1; length <= MAX_HUFFBITS; ++length) {
        if (huffbits[length - 1] == 0) {
            tables->maxcode[length] = -1;
            continue;
        }
        tables->valptr[length] = static_cast<int>(k);
        tables->mincode[length] = huffcode_table[k].code;
        k += huffbits[length - 1];
        tables->maxcode[length] = huffcode_table[k - 1].code;
    }
}

namespace {

// Loads the next data byte when the current one is used up. A 0xFF is
// followed either by a stuffed zero (dropped) or by the second byte of a marker.
inline int loadByte(unsigned short* omarker, bool marker_allowed, const unsigned char** cbufptr,
                    const unsigned char* ebufptr, BitReader* reader)
{
    if (int ret = getc_byte(&reader->code, cbufptr, ebufptr))
        return ret;
    reader->bit_count = 8;
    if (reader->code != 0xFF)
        return 0;
    unsigned char next = 0;
    if (int ret = getc_byte(&next, cbufptr, ebufptr))
        return ret;
    if (next == 0x00)
        return 0;
    if (!marker_allowed) {
        wsq::diagnostic("ERROR: getc_nextbits_wsq : No stuffed zeros\n");
        return -41;
    }
    *omarker = static_cast<unsigned short>(0xFF00 | next);
    return 0;
}

// One bit while a code is decoded; a marker may end the data here.
inline int nextBit(int* obit, unsigned short* omarker, const unsigned char** cbufptr, const unsigned char* ebufptr,
                   BitReader* reader)
{
    if (reader->bit_count == 0) {
        unsigned short marker = 0;
        if (int ret = loadByte(&marker, true, cbufptr, ebufptr, reader))
            return ret;
        if (marker != 0) {
            *omarker = marker;
            *obit = 1;
            return 0;
        }
    }
    --reader->bit_count;
    *obit = (reader->code >> reader->bit_count) & 1;
    return 0;
}

}  // namespace

int getc_nextbits_wsq(unsigned short* obits, unsigned short* omarker, bool marker_allowed, int bits_req,
                      const unsigned char** cbufptr, const unsigned char* ebufptr, BitReader* reader)
{
    if (marker_allowed && bits_req == 1) {
        int bit = 0;
        if (int ret = nextBit(&bit, omarker, cbufptr, ebufptr, reader))
            return ret;
        *obits = static_cast<unsigned short>(bit);
        return 0;
    }
    unsigned value = 0;
    int needed = bits_req;
    while (needed > 0) {
        if (reader->bit_count == 0) {
            unsigned short unused = 0;
            if (int ret = loadByte(&unused, false, cbufptr, ebufptr, reader))
                return ret;
        }
        const int take = std::min(needed, reader->bit_count);
        reader->bit_count -= take;
        value = (value << take) | ((reader->code >> reader->bit_count) & ((1u << take) - 1u));
        needed -= take;
    }
    *obits = static_cast<unsigned short>(value);
    return 0;
}

int decode_category(int* ocategory, unsigned short* omarker, const HuffDecodeTables& tables,
                    const unsigned char* huffvalues, const unsigned char** cbufptr, const unsigned char* ebufptr,
                    BitReader* reader)
{
    unsigned short marker = 0;
    int code = 0;
    if (int ret = nextBit(&code, &marker, cbufptr, ebufptr, reader))
        return ret;
    if (marker != 0) {
        *omarker = marker;
        *ocategory = -1;
        return 0;
    }
    int length = 1;
    while (code > tables.maxcode[length]) {
        if (length == MAX_HUFFBITS) {
            wsq::diagnostic("ERROR : decode_category : no huffman code matches within 16 bits\n");
            return WSQ_ERR_NO_CODE;
        }
        int bit = 0;
        if (int ret = nextBit(&bit, &marker, cbufptr, ebufptr, reader))
            return ret;
        if (marker != 0) {
            *omarker = marker;
            *ocategory = -1;
            return 0;
        }
        code = 2 * code + bit;
        ++length;
    }
    // Only an over-full table (more codes than its lengths allow) can point
    // outside its values; such a bit sequence matches no real code.
    const int index = tables.valptr[length] + code - tables.mincode[length];
    if (index < 0 || index >= MAX_HUFFCOUNTS) {
        wsq::diagnostic("ERROR : decode_category : no huffman code matches within 16 bits\n");
        return WSQ_ERR_NO_CODE;
    }
    *ocategory = huffvalues[index];
    return 0;
}

namespace {

// Reads the tables and comments up to the next SOB and prepares its table.
int startBlock(unsigned short marker, HuffDecodeTables* tables, const HuffSlot** slot, TransformTable* dtt_table,
               QuantTable* dqt_table, HuffSlots* dht_table, const unsigned char** cbufptr,
               const unsigned char* ebufptr)
{
    while (marker != SOB_WSQ) {
        if (int ret = getc_table_wsq(marker, dtt_table, dqt_table, dht_table, cbufptr, ebufptr))
            return ret;
        if (int ret = getc_marker_wsq(&marker, EXPECT_TABLES_OR_SOB, cbufptr, ebufptr))
            return ret;
    }
    unsigned char table_id = 0;
    if (int ret = getc_sob_segment(&table_id, cbufptr, ebufptr))
        return ret;
    if (table_id >= MAX_DHT_TABLES || !(*dht_table)[table_id].defined) {
        wsq::diagnostic("ERROR : huffman_decode_data_mem : "
                        "huffman table {%d} undefined.\n", table_id);
        return -51;
    }
    *slot = &(*dht_table)[table_id];
    std::vector<HuffCode> codes;
    int last_size = 0;
    if (int ret = build_huffsizes(&codes, &last_size, (*slot)->huffbits.data()))
        return ret;
    assign_huffcodes(codes);
    if (check_all_ones_code(codes, last_size) != 0)
        wsq::diagnostic("         hufftable_id = %d\n", table_id);
    make_decode_tables(tables, codes, (*slot)->huffbits.data());
    return 0;
}

int overrun(std::size_t capacity)
{
    wsq::diagnostic("ERROR : huffman_decode_data_mem : coefficients overrun the image of %zu values\n",
                 capacity);
    return WSQ_ERR_COEFF_OVERRUN;
}

}  // namespace

int huffman_decode_data_mem(short* ip, std::size_t capacity, TransformTable* dtt_table, QuantTable* dqt_table,
                            HuffSlots* dht_table, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short marker = 0;
    if (int ret = getc_marker_wsq(&marker, EXPECT_TABLES_OR_SOB, cbufptr, ebufptr))
        return ret;
    BitReader reader;
    HuffDecodeTables tables;
    const HuffSlot* slot = nullptr;
    std::size_t pos = 0;
    while (true) {
        if (marker == EOI_WSQ)
            return 0;
        if (marker != 0) {
            if (int ret = startBlock(marker, &tables, &slot, dtt_table, dqt_table, dht_table, cbufptr, ebufptr))
                return ret;
            reader.bit_count = 0;
            marker = 0;
        }
        int category = 0;
        if (int ret = decode_category(&category, &marker, tables, slot->huffvalues.data(), cbufptr, ebufptr,
                                      &reader))
            return ret;
        if (marker != 0)
            continue;

        std::size_t zeros = 0;
        if (category > 0 && category <= MAX_HUFFZRUN) {
            zeros = static_cast<std::size_t>(category);
        } else if (category >= 107 && category <= 254) {
            if (pos >= capacity)
                return overrun(capacity);
            ip[pos++] = static_cast<short>(category - 180);
            continue;
        } else if (category >= 101 && category <= 106) {
            const int bits_req = (category == 101 || category == 102 || category == 105) ? 8 : 16;
            unsigned short bits = 0;
            unsigned short unused = 0;
            if (int ret = getc_nextbits_wsq(&bits, &unused, false, bits_req, cbufptr, ebufptr, &reader))
                return ret;
            if (category >= 105) {
                zeros = bits;
            } else {
                if (pos >= capacity)
                    return overrun(capacity);
                const bool negative = (category == 102 || category == 104);
                ip[pos++] = static_cast<short>(negative ? static_cast<unsigned short>(0u - bits) : bits);
                continue;
            }
        } else {
            wsq::diagnostic("ERROR: huffman_decode_data_mem : Invalid code %d (%x).\n", category, category);
            return -52;
        }
        if (zeros > capacity - pos)
            return overrun(capacity);
        std::fill_n(ip + pos, zeros, short{0});
        pos += zeros;
    }
}
