#pragma once
// Plain scalar versions of every optimised loop of the codec, written
// straight from the formulas and kept as the yardstick the fast code is
// tested against bit for bit. Nothing in the codec calls them.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "wsq/huffman_decode.h"
#include "wsq/tables.h"
#include "wsq/trees.h"

namespace wsq::reference {

// Same contracts as the functions of wsq/filter_banks.h.
void analyze_lines(float* dst, const float* src, int lines, int length, int lineStride, int sampleStride,
                   const float* hifilt, int hisize, const float* lofilt, int losize, bool inverted);
void synthesize_lines(float* dst, const float* src, int lines, int length, int lineStride, int sampleStride,
                      const float* hifilt, int hisize, const float* lofilt, int losize, bool inverted);
void wsq_decompose(float* fdata, int width, int height, std::span<const WaveletNode, kWaveletNodeCount> tree,
                   const float* hifilt, int hisize, const float* lofilt, int losize);
void wsq_reconstruct(float* fdata, int width, int height, std::span<const WaveletNode, kWaveletNodeCount> tree,
                     std::span<const float> lofilt, std::span<const float> hifilt);

// Same contracts as in wsq/decoder.h and wsq/quantization.h.
void unquantize(float* fip, const short* sip, const QuantTable& dqt_table, const WaveletTrees& trees, int width);
void convert_image_to_uchar(unsigned char* data, const float* img, std::size_t count, float m_shift,
                            float r_scale);
std::int16_t quantizeCoefficient(float x, float q, float zHalf);
void subband_variances(QuantValues& quant_vals, const WaveletTrees& trees, const float* fip, int width);

// Same contracts as in wsq/simd.h, for one window at a time.
void windowSums(const float* first, int cols, int rows, std::ptrdiff_t stride, float& sum, float& squares);
float maxMagnitude(const float* in, int count);
int leadingZeros(const std::int16_t* in, int count);
void deinterleave(float* even, float* odd, const float* in, int evenCount, int oddCount);
void pixelStats(const unsigned char* in, std::size_t count, std::uint64_t& sum, int& lowest, int& highest);

// The block decoder bit by bit, through getc_nextbits_wsq and decode_category.
int huffman_decode_data_mem(short* ip, std::size_t capacity, TransformTable* dtt_table, QuantTable* dqt_table,
                            HuffSlots* dht_table, const unsigned char** cbufptr, const unsigned char* ebufptr);

}  // namespace wsq::reference
