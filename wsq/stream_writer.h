#pragma once
// Writers of WSQ stream segments. Each appends to an output buffer of fixed
// capacity (odata, oalloc, in/out olen) and returns 0 or a negative code
// (wsq/errors.h); nothing is written past the capacity, and a failed writer
// leaves the bytes it managed to append.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "wsq/tables.h"

namespace wsq {

int putc_byte(unsigned char c, unsigned char* odata, std::size_t oalloc, std::size_t* olen);
int putc_bytes(const unsigned char* data, std::size_t n, unsigned char* odata, std::size_t oalloc,
               std::size_t* olen);
int putc_u16(unsigned short value, unsigned char* odata, std::size_t oalloc, std::size_t* olen);
int putc_u32(std::uint32_t value, unsigned char* odata, std::size_t oalloc, std::size_t* olen);

// COM segment holding text (no terminating zero); text longer than a segment
// can carry (65533 bytes) is refused.
int putc_com_segment(std::string_view text, unsigned char* odata, std::size_t oalloc, std::size_t* olen);

// DTT segment: only the centre-outward half of each symmetric filter is written,
// lowpass (analysis) first.
int putc_transform_table(const float* lofilt, unsigned char losize, const float* hifilt, unsigned char hisize,
                         unsigned char* odata, std::size_t oalloc, std::size_t* olen);
// DQT segment: centre 0.44, then Q and Z of subbands 0-63 (60-63 and Q = 0 as zeros).
int putc_quantization_table(const QuantValues& quant_vals, unsigned char* odata, std::size_t oalloc,
                            std::size_t* olen);
int putc_sof_segment(int width, int height, float m_shift, float r_scale, unsigned char* odata,
                     std::size_t oalloc, std::size_t* olen);
// DHT segment with one table; the number of values is the sum of huffbits.
int putc_dht_segment(int table_id, const unsigned char* huffbits, const unsigned char* huffvalues,
                     unsigned char* odata, std::size_t oalloc, std::size_t* olen);
int putc_sob_segment(int table_id, unsigned char* odata, std::size_t oalloc, std::size_t* olen);

// A non-negative value as the stream's (scale, integer) pair: the value times
// the largest power of ten that keeps it below limit, rounded half up.
// False (nothing written) when the value is at or above the limit or not a number.
bool encodeScaledValue(float value, double limit, unsigned char* scale, std::uint32_t* integer);

}  // namespace wsq
