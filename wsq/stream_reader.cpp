#include "wsq/stream_reader.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "wsq/diagnostics.h"
#include "wsq/errors.h"

int getc_byte(unsigned char* ochar, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    if (*cbufptr >= ebufptr) {
        wsq::diagnostic("ERROR : getc_byte : premature End Of Buffer\n");
        return -39;
    }
    *ochar = **cbufptr;
    ++*cbufptr;
    return 0;
}

int getc_bytes(unsigned char* ochars, std::size_t ilen, const unsigned char** cbufptr,
               const unsigned char* ebufptr)
{
    if (*cbufptr > ebufptr || static_cast<std::size_t>(ebufptr - *cbufptr) < ilen) {
        wsq::diagnostic("ERROR : getc_bytes : premature End Of Buffer\n");
        return -40;
    }
    if (ilen > 0)
        std::memcpy(ochars, *cbufptr, ilen);
    *cbufptr += ilen;
    return 0;
}

int getc_u16(unsigned short* oshrt, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned char bytes[2];
    if (int ret = getc_bytes(bytes, 2, cbufptr, ebufptr))
        return ret;
    *oshrt = static_cast<unsigned short>((bytes[0] << 8) | bytes[1]);
    return 0;
}

int getc_u32(std::uint32_t* oint, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned char b[4];
    if (int ret = getc_bytes(b, 4, cbufptr, ebufptr))
        return ret;
    *oint = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
    return 0;
}

namespace {
bool isTableOrComment(unsigned short marker)
{
    return marker == DTT_WSQ || marker == DQT_WSQ || marker == DHT_WSQ || marker == COM_WSQ;
}
}  // namespace

int getc_marker_wsq(unsigned short* omarker, int type, const unsigned char** cbufptr,
                    const unsigned char* ebufptr)
{
    unsigned short marker = 0;
    if (int ret = getc_u16(&marker, cbufptr, ebufptr))
        return ret;
    switch (type) {
    case EXPECT_SOI:
        if (marker != SOI_WSQ) {
            wsq::diagnostic("ERROR : getc_marker_wsq : No SOI marker. {%u}\n", marker);
            return -88;
        }
        break;
    case EXPECT_TABLES_OR_SOF:
        if (marker != SOF_WSQ && !isTableOrComment(marker)) {
            wsq::diagnostic("ERROR : getc_marker_wsq : No SOF, Table, or comment markers.\n");
            return -89;
        }
        break;
    case EXPECT_TABLES_OR_SOB:
        if (marker != SOB_WSQ && !isTableOrComment(marker)) {
            wsq::diagnostic("ERROR : getc_marker_wsq : No SOB, Table, or comment markers.\n");
            return -90;
        }
        break;
    case EXPECT_ANY:
        if (marker < 0xFF00) {
            wsq::diagnostic("ERROR : getc_marker_wsq : no marker found {%04X}\n", marker);
            return -91;
        }
        break;
    default:
        wsq::diagnostic("ERROR : getc_marker_wsq : Invalid marker -> {%4X}\n", marker);
        return -92;
    }
    *omarker = marker;
    return 0;
}

int getc_table_wsq(unsigned short marker, TransformTable* dtt_table, QuantTable* dqt_table, HuffSlots* dht_table,
                   const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    switch (marker) {
    case DTT_WSQ:
        return getc_transform_table(dtt_table, cbufptr, ebufptr);
    case DQT_WSQ:
        return getc_dqt_segment(dqt_table, cbufptr, ebufptr);
    case DHT_WSQ:
        return getc_huffman_table_wsq(dht_table, cbufptr, ebufptr);
    case COM_WSQ: {
        std::string comment;
        return getc_comment(&comment, cbufptr, ebufptr);
    }
    default:
        wsq::diagnostic("ERROR: getc_table_wsq : Invalid table defined -> {%u}\n", marker);
        return -93;
    }
}

float scaledValue(unsigned char scale, std::uint32_t integer)
{
    float value = static_cast<float>(integer);
    for (int i = 0; i < scale; ++i)
        value = static_cast<float>(static_cast<double>(value) * 0.1);
    return value;
}

namespace {

// A scaled number with a 16-bit integer part.
int getScaledU16(float* ovalue, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned char scale = 0;
    unsigned short integer = 0;
    if (int ret = getc_byte(&scale, cbufptr, ebufptr))
        return ret;
    if (int ret = getc_u16(&integer, cbufptr, ebufptr))
        return ret;
    *ovalue = scaledValue(scale, integer);
    return 0;
}

// count centre-outward filter taps: sign, scale, 32-bit magnitude each.
int getFilterHalf(float* taps, int count, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    for (int k = 0; k < count; ++k) {
        unsigned char sign = 0, scale = 0;
        std::uint32_t magnitude = 0;
        if (int ret = getc_byte(&sign, cbufptr, ebufptr))
            return ret;
        if (int ret = getc_byte(&scale, cbufptr, ebufptr))
            return ret;
        if (int ret = getc_u32(&magnitude, cbufptr, ebufptr))
            return ret;
        const float value = scaledValue(scale, magnitude);
        taps[k] = sign != 0 ? -value : value;
    }
    return 0;
}

}  // namespace

int getc_transform_table(TransformTable* dtt_table, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short length = 0;
    if (int ret = getc_u16(&length, cbufptr, ebufptr))
        return ret;
    unsigned char l0 = 0, l1 = 0;
    if (int ret = getc_byte(&l0, cbufptr, ebufptr))
        return ret;
    dtt_table->hisize = l0;
    if (int ret = getc_byte(&l1, cbufptr, ebufptr))
        return ret;
    dtt_table->losize = l1;
    // A previous pair is replaced, whatever this segment goes on to hold.
    try {
        dtt_table->lofilt.assign(l1, 0.0f);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : getc_transform_table : calloc : lofilt\n");
        return -94;
    }
    try {
        dtt_table->hifilt.assign(l0, 0.0f);
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : getc_transform_table : calloc : hifilt\n");
        return -95;
    }

    // The analysis lowpass (first group) becomes the synthesis highpass with
    // alternating signs; the analysis highpass becomes the synthesis lowpass.
    const int a = (l0 + 1) / 2;
    float s[128];
    if (int ret = getFilterHalf(s, a, cbufptr, ebufptr))
        return ret;
    std::vector<float>& hi = dtt_table->hifilt;
    for (int k = 0, c = a - 1; k < a; ++k) {
        const float v = (k % 2 == 0) ? s[k] : -s[k];
        if (l0 % 2 == 1) {
            hi[c + k] = v;
            if (k >= 1)
                hi[c - k] = v;
        } else {
            hi[c + 1 + k] = v;
            hi[c - k] = -v;
        }
    }

    const int b = (l1 + 1) / 2;
    float t[128];
    if (int ret = getFilterHalf(t, b, cbufptr, ebufptr))
        return ret;
    std::vector<float>& lo = dtt_table->lofilt;
    for (int k = 0, c = b - 1; k < b; ++k) {
        if (l1 % 2 == 1) {
            lo[c + k] = (k % 2 == 0) ? t[k] : -t[k];
            if (k >= 1)
                lo[c - k] = lo[c + k];
        } else {
            lo[c + 1 + k] = (k % 2 == 0) ? -t[k] : t[k];
            lo[c - k] = lo[c + 1 + k];
        }
    }
    dtt_table->lo_defined = true;
    dtt_table->hi_defined = true;
    return 0;
}

int getc_dqt_segment(QuantTable* dqt_table, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short length = 0;
    if (int ret = getc_u16(&length, cbufptr, ebufptr))
        return ret;
    if (int ret = getScaledU16(&dqt_table->center, cbufptr, ebufptr))
        return ret;
    for (int s = 0; s < MAX_SUBBANDS; ++s) {
        if (int ret = getScaledU16(&dqt_table->q[s], cbufptr, ebufptr))
            return ret;
        if (int ret = getScaledU16(&dqt_table->z[s], cbufptr, ebufptr))
            return ret;
    }
    dqt_table->defined = true;
    return 0;
}

int getc_huffman_table(unsigned char* otable_id, std::array<unsigned char, MAX_HUFFBITS>* ohuffbits,
                       std::array<unsigned char, MAX_HUFFCOUNTS>* ohuffvalues, bool read_table_len,
                       int* bytes_left, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    if (read_table_len) {
        unsigned short length = 0;
        if (int ret = getc_u16(&length, cbufptr, ebufptr))
            return ret;
        *bytes_left = length - 2;
    }
    if (*bytes_left <= 0) {
        wsq::diagnostic("ERROR : getc_huffman_table : "
                        "no huffman table bytes remaining\n");
        return -2;
    }
    unsigned char table_id = 0;
    if (int ret = getc_byte(&table_id, cbufptr, ebufptr))
        return ret;
    *bytes_left -= 1;
    std::array<unsigned char, MAX_HUFFBITS> huffbits{};
    if (int ret = getc_bytes(huffbits.data(), huffbits.size(), cbufptr, ebufptr))
        return ret;
    *bytes_left -= MAX_HUFFBITS;
    int num_hufvals = 0;
    for (unsigned char count : huffbits)
        num_hufvals += count;
    if (num_hufvals > MAX_HUFFCOUNTS) {
        wsq::diagnostic("ERROR : getc_huffman_table : "
                        "num_hufvals (%d) is larger"
                        "than MAX_HUFFCOUNTS (%d)\n", num_hufvals, MAX_HUFFCOUNTS);
        return -4;
    }
    std::array<unsigned char, MAX_HUFFCOUNTS> huffvalues{};
    if (int ret = getc_bytes(huffvalues.data(), static_cast<std::size_t>(num_hufvals), cbufptr, ebufptr))
        return ret;
    *bytes_left -= num_hufvals;
    *otable_id = table_id;
    *ohuffbits = huffbits;
    *ohuffvalues = huffvalues;
    return 0;
}

int getc_huffman_table_wsq(HuffSlots* dht_table, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    int bytes_left = 0;
    bool first = true;
    do {
        unsigned char table_id = 0;
        std::array<unsigned char, MAX_HUFFBITS> huffbits{};
        std::array<unsigned char, MAX_HUFFCOUNTS> huffvalues{};
        if (int ret = getc_huffman_table(&table_id, &huffbits, &huffvalues, first, &bytes_left, cbufptr, ebufptr))
            return ret;
        if (table_id >= MAX_DHT_TABLES) {
            wsq::diagnostic("ERROR : getc_huffman_table_wsq : huffman table ID = %d is not below 8\n",
                         table_id);
            return WSQ_ERR_TABLE_ID;
        }
        HuffSlot& slot = (*dht_table)[table_id];
        // The first table of a segment may replace a slot; later ones may not.
        if (!first && slot.defined) {
            wsq::diagnostic("ERROR : getc_huffman_table_wsq : "
                            "huffman table ID = %d already defined\n", table_id);
            return -2;
        }
        slot.huffbits = huffbits;
        slot.huffvalues = huffvalues;
        slot.defined = true;
        first = false;
    } while (bytes_left != 0);
    return 0;
}

int getc_sof_segment(FrameHeader* frm_header, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short length = 0;
    if (int ret = getc_u16(&length, cbufptr, ebufptr))
        return ret;
    if (int ret = getc_byte(&frm_header->black, cbufptr, ebufptr))
        return ret;
    if (int ret = getc_byte(&frm_header->white, cbufptr, ebufptr))
        return ret;
    if (int ret = getc_u16(&frm_header->height, cbufptr, ebufptr))
        return ret;
    if (int ret = getc_u16(&frm_header->width, cbufptr, ebufptr))
        return ret;
    if (int ret = getScaledU16(&frm_header->m_shift, cbufptr, ebufptr))
        return ret;
    if (int ret = getScaledU16(&frm_header->r_scale, cbufptr, ebufptr))
        return ret;
    if (int ret = getc_byte(&frm_header->WSQ_encoder, cbufptr, ebufptr))
        return ret;
    return getc_u16(&frm_header->Software, cbufptr, ebufptr);
}

int getc_sob_segment(unsigned char* otable_id, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short length = 0;
    if (int ret = getc_u16(&length, cbufptr, ebufptr))
        return ret;
    return getc_byte(otable_id, cbufptr, ebufptr);
}

int getc_comment(std::string* ocomment, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short length = 0;
    if (int ret = getc_u16(&length, cbufptr, ebufptr))
        return ret;
    if (length < 2) {
        wsq::diagnostic("ERROR : getc_comment : segment length %d is below 2\n", length);
        return WSQ_ERR_COMMENT_LENGTH;
    }
    std::string text;
    try {
        text.assign(length - 2u, '\0');
    } catch (const std::bad_alloc&) {
        wsq::diagnostic("ERROR : getc_comment : malloc : comment\n");
        return -2;
    }
    if (int ret = getc_bytes(reinterpret_cast<unsigned char*>(text.data()), text.size(), cbufptr, ebufptr))
        return ret;
    *ocomment = std::move(text);
    return 0;
}

int getc_skip_marker_segment(unsigned short marker, const unsigned char** cbufptr, const unsigned char* ebufptr)
{
    unsigned short length = 0;
    if (int ret = getc_u16(&length, cbufptr, ebufptr))
        return ret;
    const unsigned short skip = static_cast<unsigned short>(length - 2);
    if (static_cast<std::ptrdiff_t>(skip) >= ebufptr - *cbufptr) {
        wsq::diagnostic("ERROR : getc_skip_marker_segment : "
                        "unexpected end of buffer when parsing "
                        "marker %d segment of length %d\n", marker, skip);
        return -2;
    }
    *cbufptr += skip;
    return 0;
}
