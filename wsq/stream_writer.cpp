#include "wsq/stream_writer.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "wsq/diagnostics.h"
#include "wsq/errors.h"

int putc_byte(unsigned char c, unsigned char* odata, std::size_t oalloc, std::size_t* olen)
{
    if (*olen >= oalloc) {
        wsq::diagnostic("ERROR : putc_byte : buffer overlow : alloc = %zu, request = %zu\n", oalloc, *olen);
        return -32;
    }
    odata[(*olen)++] = c;
    return 0;
}

int putc_bytes(const unsigned char* data, std::size_t n, unsigned char* odata, std::size_t oalloc,
               std::size_t* olen)
{
    if (n > oalloc || *olen > oalloc - n) {
        wsq::diagnostic("ERROR : putc_bytes : buffer overlow : alloc = %zu, request = %zu\n", oalloc,
                     *olen + n);
        return -33;
    }
    if (n > 0)
        std::memcpy(odata + *olen, data, n);
    *olen += n;
    return 0;
}

int putc_u16(unsigned short value, unsigned char* odata, std::size_t oalloc, std::size_t* olen)
{
    const unsigned char bytes[2] = {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    return putc_bytes(bytes, 2, odata, oalloc, olen);
}

int putc_u32(std::uint32_t value, unsigned char* odata, std::size_t oalloc, std::size_t* olen)
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(value >> 24), static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
    return putc_bytes(bytes, 4, odata, oalloc, olen);
}

int putc_com_segment(std::string_view text, unsigned char* odata, std::size_t oalloc, std::size_t* olen)
{
    // The length field counts itself; a longer text would wrap it and corrupt the stream.
    if (text.size() > 0xFFFF - 2) {
        wsq::diagnostic("ERROR : putc_com_segment : comment of %zu bytes does not fit a segment\n",
                     text.size());
        return WSQ_ERR_COMMENT_TOO_LONG;
    }
    int ret = putc_u16(COM_WSQ, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(text.size() + 2), odata, oalloc, olen);
    for (std::size_t i = 0; ret == 0 && i < text.size(); ++i)
        ret = putc_byte(static_cast<unsigned char>(text[i]), odata, oalloc, olen);
    return ret;
}

bool encodeScaledValue(float value, double limit, unsigned char* scale, std::uint32_t* integer)
{
    if (value == 0.0f) {
        *scale = 0;
        *integer = 0;
        return true;
    }
    if (!(value >= 0.0f && static_cast<double>(value) < limit))
        return false;
    int s = 0;
    float v = value;
    while (static_cast<double>(v) < limit) {
        ++s;
        v = static_cast<float>(static_cast<double>(v) * 10.0);
    }
    --s;
    const double rounded = std::floor(static_cast<double>(v) * 0.1 + 0.5);
    if (rounded > limit || s > 255)
        return false;
    *scale = static_cast<unsigned char>(s);
    *integer = static_cast<std::uint32_t>(rounded);
    return true;
}

namespace {

// Sign, scale and 32-bit magnitude of one filter tap.
int putTap(float tap, unsigned char* odata, std::size_t oalloc, std::size_t* olen, bool* tooHigh)
{
    unsigned char scale = 0;
    std::uint32_t integer = 0;
    if (!encodeScaledValue(std::fabs(tap), 4294967295.0, &scale, &integer)) {
        *tooHigh = true;
        return 0;
    }
    int ret = putc_byte(tap < 0.0f ? 1 : 0, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(scale, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u32(integer, odata, oalloc, olen);
    return ret;
}

int putScaledU16(float value, unsigned char* odata, std::size_t oalloc, std::size_t* olen, bool* tooHigh)
{
    unsigned char scale = 0;
    std::uint32_t integer = 0;
    if (!encodeScaledValue(value, 65535.0, &scale, &integer)) {
        *tooHigh = true;
        return 0;
    }
    int ret = putc_byte(scale, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(integer), odata, oalloc, olen);
    return ret;
}

}  // namespace

int putc_transform_table(const float* lofilt, unsigned char losize, const float* hifilt, unsigned char hisize,
                         unsigned char* odata, std::size_t oalloc, std::size_t* olen)
{
    const int loHalf = losize - losize / 2;
    const int hiHalf = hisize - hisize / 2;
    int ret = putc_u16(DTT_WSQ, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(4 + 6 * (loHalf + hiHalf)), odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(losize, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(hisize, odata, oalloc, olen);
    for (int i = losize / 2; ret == 0 && i < losize; ++i) {
        bool tooHigh = false;
        ret = putTap(lofilt[i], odata, oalloc, olen, &tooHigh);
        if (tooHigh) {
            wsq::diagnostic("ERROR: putc_transform_table : lofilt[%d] to high at %f\n", i, lofilt[i]);
            return -82;
        }
    }
    for (int i = hisize / 2; ret == 0 && i < hisize; ++i) {
        bool tooHigh = false;
        ret = putTap(hifilt[i], odata, oalloc, olen, &tooHigh);
        if (tooHigh) {
            wsq::diagnostic("ERROR: putc_transform_table : hifilt[%d] to high at %f\n", i, hifilt[i]);
            return -83;
        }
    }
    return ret;
}

int putc_quantization_table(const QuantValues& quant_vals, unsigned char* odata, std::size_t oalloc,
                            std::size_t* olen)
{
    int ret = putc_u16(DQT_WSQ, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(389, odata, oalloc, olen);
    // Bin centre C = 0.44.
    if (ret == 0)
        ret = putc_byte(2, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(44, odata, oalloc, olen);
    for (int s = 0; ret == 0 && s < MAX_SUBBANDS; ++s) {
        const float q = quant_vals.bin_width[s];
        const float z = quant_vals.zero_bin[s];
        if (s >= NUM_CODED_SUBBANDS || q == 0.0f) {
            static const unsigned char zeros[6] = {};
            ret = putc_bytes(zeros, sizeof zeros, odata, oalloc, olen);
            continue;
        }
        bool tooHigh = false;
        ret = putScaledU16(q, odata, oalloc, olen, &tooHigh);
        if (tooHigh) {
            wsq::diagnostic("ERROR : putc_quantization_table : Q[%d] to high at %f\n", s, q);
            return -86;
        }
        if (ret == 0)
            ret = putScaledU16(z, odata, oalloc, olen, &tooHigh);
        if (tooHigh) {
            wsq::diagnostic("ERROR : putc_quantization_table : Z[%d] to high at %f\n", s, z);
            return -87;
        }
    }
    return ret;
}

int putc_sof_segment(int width, int height, float m_shift, float r_scale, unsigned char* odata,
                     std::size_t oalloc, std::size_t* olen)
{
    unsigned char shiftScale = 0, rScale = 0;
    std::uint32_t shiftInt = 0, rInt = 0;
    // A value the header cannot hold would silently give another image.
    if (width < 0 || width > 0xFFFF || height < 0 || height > 0xFFFF ||
        !encodeScaledValue(m_shift, 65535.0, &shiftScale, &shiftInt) ||
        !encodeScaledValue(r_scale, 65535.0, &rScale, &rInt)) {
        wsq::diagnostic("ERROR : putc_sof_segment : frame value out of range\n");
        return WSQ_ERR_FRAME_TOO_LARGE;
    }
    int ret = putc_u16(SOF_WSQ, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(17, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(0, odata, oalloc, olen);  // black
    if (ret == 0)
        ret = putc_byte(255, odata, oalloc, olen);  // white
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(height), odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(width), odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(shiftScale, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(shiftInt), odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(rScale, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(rInt), odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(0, odata, oalloc, olen);  // WSQ_encoder
    if (ret == 0)
        ret = putc_u16(0, odata, oalloc, olen);  // Software
    return ret;
}

int putc_dht_segment(int table_id, const unsigned char* huffbits, const unsigned char* huffvalues,
                     unsigned char* odata, std::size_t oalloc, std::size_t* olen)
{
    int count = 0;
    for (int i = 0; i < MAX_HUFFBITS; ++i)
        count += huffbits[i];
    int ret = putc_u16(DHT_WSQ, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(static_cast<unsigned short>(3 + MAX_HUFFBITS + count), odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(static_cast<unsigned char>(table_id), odata, oalloc, olen);
    if (ret == 0)
        ret = putc_bytes(huffbits, MAX_HUFFBITS, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_bytes(huffvalues, static_cast<std::size_t>(count), odata, oalloc, olen);
    return ret;
}

int putc_sob_segment(int table_id, unsigned char* odata, std::size_t oalloc, std::size_t* olen)
{
    int ret = putc_u16(SOB_WSQ, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_u16(3, odata, oalloc, olen);
    if (ret == 0)
        ret = putc_byte(static_cast<unsigned char>(table_id), odata, oalloc, olen);
    return ret;
}
