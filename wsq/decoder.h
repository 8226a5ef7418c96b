#pragma once
// The steps of wsq_decode_mem after the entropy decoding: quantized indices
// back to wavelet coefficients, and reconstructed coefficients to pixels.
#include <cstddef>
#include <vector>

#include "wsq/tables.h"
#include "wsq/trees.h"

namespace wsq {

// Places the indices of every coded subband (q != 0), in stream order, into a
// new W x H coefficient image; uncoded subbands stay 0.
int unquantize(std::vector<float>* ofip, const short* sip, const QuantTable& dqt_table,
               const WaveletTrees& trees, int width, int height);

// Converts reconstructed coefficients to 8-bit pixels with the frame's shift and scale.
void convert_image_to_uchar(unsigned char* data, const float* img, std::size_t count, float m_shift,
                            float r_scale);

}  // namespace wsq
