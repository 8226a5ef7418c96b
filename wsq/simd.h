#pragma once
// The codec's hot loops, vectorised across neighbouring samples so that each
// lane performs exactly the scalar sequence of float operations: results are
// bit-identical to the plain loops of wsq/reference.h on every x86-64 (SSE2),
// and on other machines, where these fall back to the plain loops.
#include <cstddef>
#include <cstdint>

namespace wsq::simd {

// The widest vectors the kernels use. By default the widest that the
// processor and the system support; tests select each in turn.
enum class Level { Sse2, Avx };
Level level();
// False (and nothing changed) when the machine cannot run that level.
bool setLevel(Level level);

// dst[c] = coef[0] * base[rows[0] + c] + coef[1] * base[rows[1] + c] + ...,
// added term by term from 0, for c = 0 .. count - 1. The column passes of the
// filter banks (rows are offsets of whole image rows).
void sumRows(float* dst, const float* base, const std::ptrdiff_t* rows, const float* coef, int terms, int count);

// dst[j] = coef[0] * src[pos[0] + j] + coef[1] * src[pos[1] + j] + ..., added
// term by term from 0, for j = 0 .. count - 1. The row passes.
void sumRun(float* dst, const float* src, const int* pos, const float* coef, int terms, int count);

// out[2j] = even[j] for j < evenCount, out[2j + 1] = odd[j] for j < oddCount
// (oddCount is evenCount or evenCount - 1).
void interleave(float* out, const float* even, const float* odd, int evenCount, int oddCount);

// even[j] = in[2j] for j < evenCount, odd[j] = in[2j + 1] for j < oddCount
// (oddCount is evenCount or evenCount - 1): the inverse of interleave.
void deinterleave(float* even, float* odd, const float* in, int evenCount, int oddCount);

// The sum, lowest and highest of `count` pixels; lowest starts at 255 and
// highest at 0.
void pixelStats(const unsigned char* in, std::size_t count, std::uint64_t& sum, int& lowest, int& highest);

// Dequantizes `count` indices of one subband row (see unquantize).
void unquantizeRow(float* out, const short* in, int count, double q, double center, double halfZ);

// Converts reconstructed coefficients to pixels (see convert_image_to_uchar).
void floatToBytes(unsigned char* out, const float* in, std::size_t count, float m_shift, float r_scale);

// Quantizes `count` coefficients of one subband row (see quantizeCoefficient).
void quantizeRow(std::int16_t* out, const float* in, int count, float q, float zHalf);

// Largest |in[i]| of `count` samples, NaNs skipped; 0 when there are none.
float maxMagnitude(const float* in, int count);

// Number of zeros at the start of in[0 .. count - 1].
int leadingZeros(const std::int16_t* in, int count);

// A rectangle of a float image: `rows` rows of `cols` samples from `first`.
struct Window {
    const float* first;
    int cols;
    int rows;
};
inline constexpr int kWindowLanes = 4;

// For each of `count` (at most kWindowLanes) windows, the sum of its samples
// and the sum of their squares, each accumulated in float row by row, left to
// right, from 0: one window per lane, each the plain loop's sequence.
void windowSums(const Window* windows, int count, std::ptrdiff_t stride, float* sums, float* squares);

}  // namespace wsq::simd
