#pragma once
// The encoder's first half: pixels to centred floats, subband variances, bin
// widths from the requested bit rate, quantization into 16-bit indices and the
// sizes of the three entropy-coded blocks.
#include <array>
#include <cstdint>
#include <vector>

#include "wsq/errors.h"
#include "wsq/tables.h"
#include "wsq/trees.h"

namespace wsq {

// A bit rate whose bit-allocation scale q comes out NaN or zero (a NaN,
// zero or negative rate) leaves no bin widths to code with; the encoder
// refuses it with WSQ_ERR_BITRATE.

// Pixels (N = width x height bytes) to floats centred on their mean and
// scaled to about +-128. m_shift is the mean; r_scale the larger distance of
// the extremes from it, over 128 (0 for a uniform image, which callers refuse
// before dividing).
void image_to_float(std::vector<float>& fdata, float& m_shift, float& r_scale,
                    const unsigned char* data, std::size_t num_pix);

// Variances of subbands 0-59 over their central windows; the others are 0.
void subband_variances(QuantValues& quant_vals, const WaveletTrees& trees, const float* fip,
                       int width);

// Bin widths for quant_vals.r from the variances, then the indices of every
// coded subband in subband order. 0, -90 (no memory for the indices),
// WSQ_ERR_NO_VARIANCE or WSQ_ERR_BITRATE.
int quantize(std::vector<std::int16_t>& sip, int& cmp_siz, QuantValues& quant_vals,
             const WaveletTrees& trees, const float* fip, int width, int height);

// Index of one coefficient for bin width q and half the zero-bin width:
// 0 inside the zero bin, else the bin counted outwards from it, truncated
// toward zero and saturated to 16 bits.
std::int16_t quantizeCoefficient(float x, float q, float zHalf);

// Numbers of indices in blocks 1-3 (subbands 0-18, 19-51, 52-59 with Q != 0).
std::array<int, kBlockCount> block_sizes(const QuantValues& quant_vals, const WaveletTrees& trees);

}  // namespace wsq
