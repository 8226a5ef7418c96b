#include "wsq/simd.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wsq::simd {

#if defined(NV_WSQ_AVX) && defined(__SSE2__)
namespace avx {
void sumRows(float* dst, const float* base, const std::ptrdiff_t* rows, const float* coef, int terms, int count);
void sumRun(float* dst, const float* src, const int* pos, const float* coef, int terms, int count);
}  // namespace avx
#endif

namespace {

inline float dequantize(int v, double q, double center, double halfZ)
{
    if (v > 0)
        return static_cast<float>(q * (v - center) + halfZ);
    if (v < 0)
        return static_cast<float>(q * (v + center) - halfZ);
    return 0.0f;
}

inline unsigned char toByte(float f, float m_shift, float r_scale)
{
    float t = static_cast<float>(static_cast<double>(f) * r_scale + m_shift);
    t = t + 0.5f;
    if (t > 255.0f)
        return 255;
    if (t >= 0.0f)
        return static_cast<unsigned char>(t);
    return 0;  // also a NaN
}

inline std::int16_t quantizeOne(float x, float q, float zHalf)
{
    float v;
    if (x > zHalf)
        v = (x - zHalf) / q + 1.0f;
    else if (x < -zHalf)
        v = (x + zHalf) / q - 1.0f;
    else
        return 0;
    if (v >= 32767.0f)
        return 32767;
    if (v <= -32768.0f)
        return -32768;
    return static_cast<std::int16_t>(static_cast<int>(v));
}

// std::max's choice: the first operand unless the second is larger, so a
// NaN second operand is skipped.
inline float plainMax(float a, float b) { return a < b ? b : a; }

}  // namespace

#if defined(__SSE2__)

namespace {

void sumRowsSse2(float* dst, const float* base, const std::ptrdiff_t* rows, const float* coef, int terms, int count)
{
    int c = 0;
    for (; c + 16 <= count; c += 16) {
        __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
        for (int t = 0; t < terms; ++t) {
            const __m128 k = _mm_set1_ps(coef[t]);
            const float* r = base + rows[t] + c;
            a0 = _mm_add_ps(a0, _mm_mul_ps(k, _mm_loadu_ps(r)));
            a1 = _mm_add_ps(a1, _mm_mul_ps(k, _mm_loadu_ps(r + 4)));
            a2 = _mm_add_ps(a2, _mm_mul_ps(k, _mm_loadu_ps(r + 8)));
            a3 = _mm_add_ps(a3, _mm_mul_ps(k, _mm_loadu_ps(r + 12)));
        }
        _mm_storeu_ps(dst + c, a0);
        _mm_storeu_ps(dst + c + 4, a1);
        _mm_storeu_ps(dst + c + 8, a2);
        _mm_storeu_ps(dst + c + 12, a3);
    }
    for (; c + 4 <= count; c += 4) {
        __m128 a = _mm_setzero_ps();
        for (int t = 0; t < terms; ++t)
            a = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(coef[t]), _mm_loadu_ps(base + rows[t] + c)));
        _mm_storeu_ps(dst + c, a);
    }
    for (; c < count; ++c) {
        float a = 0.0f;
        for (int t = 0; t < terms; ++t)
            a += coef[t] * base[rows[t] + c];
        dst[c] = a;
    }
}

void sumRunSse2(float* dst, const float* src, const int* pos, const float* coef, int terms, int count)
{
    int j = 0;
    for (; j + 16 <= count; j += 16) {
        __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
        for (int t = 0; t < terms; ++t) {
            const __m128 k = _mm_set1_ps(coef[t]);
            const float* r = src + pos[t] + j;
            a0 = _mm_add_ps(a0, _mm_mul_ps(k, _mm_loadu_ps(r)));
            a1 = _mm_add_ps(a1, _mm_mul_ps(k, _mm_loadu_ps(r + 4)));
            a2 = _mm_add_ps(a2, _mm_mul_ps(k, _mm_loadu_ps(r + 8)));
            a3 = _mm_add_ps(a3, _mm_mul_ps(k, _mm_loadu_ps(r + 12)));
        }
        _mm_storeu_ps(dst + j, a0);
        _mm_storeu_ps(dst + j + 4, a1);
        _mm_storeu_ps(dst + j + 8, a2);
        _mm_storeu_ps(dst + j + 12, a3);
    }
    for (; j + 4 <= count; j += 4) {
        __m128 a = _mm_setzero_ps();
        for (int t = 0; t < terms; ++t)
            a = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(coef[t]), _mm_loadu_ps(src + pos[t] + j)));
        _mm_storeu_ps(dst + j, a);
    }
    for (; j < count; ++j) {
        float a = 0.0f;
        for (int t = 0; t < terms; ++t)
            a += coef[t] * src[pos[t] + j];
        dst[j] = a;
    }
}

using SumRowsFn = void (*)(float*, const float*, const std::ptrdiff_t*, const float*, int, int);
using SumRunFn = void (*)(float*, const float*, const int*, const float*, int, int);

struct Kernels {
    Level level;
    SumRowsFn sumRows;
    SumRunFn sumRun;
};

constexpr Kernels kSse2{Level::Sse2, &sumRowsSse2, &sumRunSse2};
#if defined(NV_WSQ_AVX)
constexpr Kernels kAvx{Level::Avx, &avx::sumRows, &avx::sumRun};
#endif

bool avxUsable()
{
#if defined(NV_WSQ_AVX)
    return __builtin_cpu_supports("avx");
#else
    return false;
#endif
}

const Kernels* widest()
{
#if defined(NV_WSQ_AVX)
    if (avxUsable())
        return &kAvx;
#endif
    return &kSse2;
}

std::atomic<const Kernels*>& current()
{
    static std::atomic<const Kernels*> kernels{widest()};
    return kernels;
}

}  // namespace

Level level() { return current().load(std::memory_order_relaxed)->level; }

bool setLevel(Level wanted)
{
    if (wanted == Level::Sse2) {
        current().store(&kSse2);
        return true;
    }
#if defined(NV_WSQ_AVX)
    if (avxUsable()) {
        current().store(&kAvx);
        return true;
    }
#endif
    return false;
}

void sumRows(float* dst, const float* base, const std::ptrdiff_t* rows, const float* coef, int terms, int count)
{
    current().load(std::memory_order_relaxed)->sumRows(dst, base, rows, coef, terms, count);
}

void sumRun(float* dst, const float* src, const int* pos, const float* coef, int terms, int count)
{
    current().load(std::memory_order_relaxed)->sumRun(dst, src, pos, coef, terms, count);
}

void interleave(float* out, const float* even, const float* odd, int evenCount, int oddCount)
{
    int j = 0;
    for (; j + 4 <= oddCount; j += 4) {
        const __m128 e = _mm_loadu_ps(even + j);
        const __m128 o = _mm_loadu_ps(odd + j);
        _mm_storeu_ps(out + 2 * j, _mm_unpacklo_ps(e, o));
        _mm_storeu_ps(out + 2 * j + 4, _mm_unpackhi_ps(e, o));
    }
    for (; j < evenCount; ++j) {
        out[2 * j] = even[j];
        if (j < oddCount)
            out[2 * j + 1] = odd[j];
    }
}

void deinterleave(float* even, float* odd, const float* in, int evenCount, int oddCount)
{
    int j = 0;
    for (; j + 4 <= oddCount; j += 4) {
        const __m128 a = _mm_loadu_ps(in + 2 * j);
        const __m128 b = _mm_loadu_ps(in + 2 * j + 4);
        _mm_storeu_ps(even + j, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        _mm_storeu_ps(odd + j, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    for (; j < evenCount; ++j) {
        even[j] = in[2 * j];
        if (j < oddCount)
            odd[j] = in[2 * j + 1];
    }
}

void pixelStats(const unsigned char* in, std::size_t count, std::uint64_t& sum, int& lowest, int& highest)
{
    // Integer sums, minima and maxima: any grouping gives the same result.
    __m128i low = _mm_set1_epi8(static_cast<char>(0xFF)), high = _mm_setzero_si128();
    __m128i sums = _mm_setzero_si128();
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        low = _mm_min_epu8(low, v);
        high = _mm_max_epu8(high, v);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(v, _mm_setzero_si128()));
    }
    alignas(16) unsigned char lows[16], highs[16];
    alignas(16) std::uint64_t halves[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(lows), low);
    _mm_store_si128(reinterpret_cast<__m128i*>(highs), high);
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), sums);
    sum = halves[0] + halves[1];
    lowest = 255;
    highest = 0;
    for (int k = 0; k < 16; ++k) {
        lowest = std::min<int>(lowest, lows[k]);
        highest = std::max<int>(highest, highs[k]);
    }
    for (; i < count; ++i) {
        sum += in[i];
        lowest = std::min<int>(lowest, in[i]);
        highest = std::max<int>(highest, in[i]);
    }
}

namespace {

// q * (v - C) + z/2 for v > 0 and q * (v + C) - z/2 for v < 0, in double, as
// q * (v - c') + h' with c' and h' taking the sign of v (subtracting -C is
// adding C exactly), rounded once to float. Two lanes.
inline __m128 dequantizePair(__m128i v32, __m128d q, __m128d c, __m128d h)
{
    const __m128d v = _mm_cvtepi32_pd(v32);
    const __m128d positive = _mm_cmpgt_pd(v, _mm_setzero_pd());
    const __m128d negC = _mm_xor_pd(c, _mm_set1_pd(-0.0));
    const __m128d negH = _mm_xor_pd(h, _mm_set1_pd(-0.0));
    const __m128d cs = _mm_or_pd(_mm_and_pd(positive, c), _mm_andnot_pd(positive, negC));
    const __m128d hs = _mm_or_pd(_mm_and_pd(positive, h), _mm_andnot_pd(positive, negH));
    return _mm_cvtpd_ps(_mm_add_pd(_mm_mul_pd(q, _mm_sub_pd(v, cs)), hs));
}

inline __m128 dequantizeFour(__m128i v32, __m128d q, __m128d c, __m128d h)
{
    const __m128 lo = dequantizePair(v32, q, c, h);
    const __m128 hi = dequantizePair(_mm_shuffle_epi32(v32, 0xEE), q, c, h);
    const __m128 both = _mm_movelh_ps(lo, hi);
    // An index of 0 is the coefficient 0.
    const __m128 zero = _mm_castsi128_ps(_mm_cmpeq_epi32(v32, _mm_setzero_si128()));
    return _mm_andnot_ps(zero, both);
}

}  // namespace

void unquantizeRow(float* out, const short* in, int count, double q, double center, double halfZ)
{
    int i = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128 fzero = _mm_setzero_ps();
    const __m128d qv = _mm_set1_pd(q);
    const __m128d cv = _mm_set1_pd(center);
    const __m128d hv = _mm_set1_pd(halfZ);
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)) == 0xFFFF) {
            // Most indices of the finer subbands are 0.
            _mm_storeu_ps(out + i, fzero);
            _mm_storeu_ps(out + i + 4, fzero);
            continue;
        }
        const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16);
        const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16);
        _mm_storeu_ps(out + i, dequantizeFour(lo, qv, cv, hv));
        _mm_storeu_ps(out + i + 4, dequantizeFour(hi, qv, cv, hv));
    }
    for (; i < count; ++i)
        out[i] = dequantize(in[i], q, center, halfZ);
}

namespace {

// Four bytes' worth of t = (f * r_scale + m_shift) + 0.5 as floats, the first
// step in double as the scalar code does.
inline __m128 shifted(const float* in, __m128d scale, __m128d shift, __m128 half)
{
    const __m128 f = _mm_loadu_ps(in);
    const __m128d lo = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(f), scale), shift);
    const __m128d hi = _mm_add_pd(_mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), scale), shift);
    const __m128 t = _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
    return _mm_add_ps(t, half);
}

// min(255, t) keeps a NaN (the first operand wins only when it is smaller),
// which truncates to INT_MIN and so saturates to 0 like every negative t.
inline __m128i truncated(__m128 t, __m128 top)
{
    return _mm_cvttps_epi32(_mm_min_ps(top, t));
}

}  // namespace

void floatToBytes(unsigned char* out, const float* in, std::size_t count, float m_shift, float r_scale)
{
    const __m128d scale = _mm_set1_pd(r_scale);
    const __m128d shift = _mm_set1_pd(m_shift);
    const __m128 half = _mm_set1_ps(0.5f);
    const __m128 top = _mm_set1_ps(255.0f);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m128i a = truncated(shifted(in + i, scale, shift, half), top);
        const __m128i b = truncated(shifted(in + i + 4, scale, shift, half), top);
        const __m128i c = truncated(shifted(in + i + 8, scale, shift, half), top);
        const __m128i d = truncated(shifted(in + i + 12, scale, shift, half), top);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
    }
    for (; i < count; ++i)
        out[i] = toByte(in[i], m_shift, r_scale);
}

void quantizeRow(std::int16_t* out, const float* in, int count, float q, float zHalf)
{
    const __m128 h = _mm_set1_ps(zHalf);
    const __m128 negH = _mm_set1_ps(-zHalf);
    const __m128 qv = _mm_set1_ps(q);
    const __m128 one = _mm_set1_ps(1.0f);
    const __m128 top = _mm_set1_ps(32767.0f);
    const __m128 bottom = _mm_set1_ps(-32768.0f);
    const auto four = [&](const float* p) {
        const __m128 x = _mm_loadu_ps(p);
        const __m128 up = _mm_add_ps(_mm_div_ps(_mm_sub_ps(x, h), qv), one);
        const __m128 down = _mm_sub_ps(_mm_div_ps(_mm_add_ps(x, h), qv), one);
        const __m128 v = _mm_or_ps(_mm_and_ps(_mm_cmpgt_ps(x, h), up), _mm_and_ps(_mm_cmplt_ps(x, negH), down));
        // Saturate as the scalar code does; a NaN here is impossible (its
        // lanes fail both comparisons and are 0).
        return _mm_cvttps_epi32(_mm_max_ps(_mm_min_ps(v, top), bottom));
    };
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i packed = _mm_packs_epi32(four(in + i), four(in + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
    for (; i < count; ++i)
        out[i] = quantizeOne(in[i], q, zHalf);
}

float maxMagnitude(const float* in, int count)
{
    // max is exact, so the lanes' maxima combine to the serial one. With a
    // NaN sample the comparison fails and the running maximum (the second
    // operand) stays, as in the plain loop.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    __m128 m0 = _mm_setzero_ps(), m1 = m0;
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        m0 = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(in + i), magnitude), m0);
        m1 = _mm_max_ps(_mm_and_ps(_mm_loadu_ps(in + i + 4), magnitude), m1);
    }
    alignas(16) float lanes[8];
    _mm_store_ps(lanes, m0);
    _mm_store_ps(lanes + 4, m1);
    float m = 0.0f;
    for (float l : lanes)
        m = plainMax(m, l);
    for (; i < count; ++i)
        m = plainMax(m, std::fabs(in[i]));
    return m;
}

int leadingZeros(const std::int16_t* in, int count)
{
    const __m128i zero = _mm_setzero_si128();
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        const unsigned zeros = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)));
        if (zeros != 0xFFFFu)
            return i + __builtin_ctz(~zeros) / 2;
    }
    while (i < count && in[i] == 0)
        ++i;
    return i;
}

namespace {

// Four samples of a window row from column c; columns past the row's end
// (cols) read as 0, which leaves both sums unchanged. Nothing past the
// window is read.
inline __m128 windowQuad(const float* row, int cols, int c)
{
    if (c + 4 <= cols)
        return _mm_loadu_ps(row + c);
    alignas(16) float part[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int j = 0; c + j < cols; ++j)
        part[j] = row[c + j];
    return _mm_load_ps(part);
}

}  // namespace

void windowSums(const Window* windows, int count, std::ptrdiff_t stride, float* sums, float* squares)
{
    // Lanes without a window, and rows past a window's last, have no columns:
    // they add only zeros (+0 never changes a sum that started at +0).
    int maxRows = 0, maxCols = 0;
    for (int k = 0; k < count; ++k) {
        maxRows = std::max(maxRows, windows[k].rows);
        maxCols = std::max(maxCols, windows[k].cols);
    }
    __m128 sum = _mm_setzero_ps(), square = _mm_setzero_ps();
    for (int r = 0; r < maxRows; ++r) {
        const float* row[kWindowLanes] = {};
        int cols[kWindowLanes] = {};
        for (int k = 0; k < count; ++k) {
            if (r < windows[k].rows) {
                row[k] = windows[k].first + r * stride;
                cols[k] = windows[k].cols;
            }
        }
        for (int c = 0; c < maxCols; c += 4) {
            __m128 v0 = windowQuad(row[0], cols[0], c);
            __m128 v1 = windowQuad(row[1], cols[1], c);
            __m128 v2 = windowQuad(row[2], cols[2], c);
            __m128 v3 = windowQuad(row[3], cols[3], c);
            // Now v0 holds column c of every lane, v1 column c + 1, ...
            _MM_TRANSPOSE4_PS(v0, v1, v2, v3);
            const auto add = [&](__m128 v) {
                sum = _mm_add_ps(sum, v);
                square = _mm_add_ps(square, _mm_mul_ps(v, v));
            };
            add(v0);
            add(v1);
            add(v2);
            add(v3);
        }
    }
    alignas(16) float s[kWindowLanes], q[kWindowLanes];
    _mm_store_ps(s, sum);
    _mm_store_ps(q, square);
    for (int k = 0; k < count; ++k) {
        sums[k] = s[k];
        squares[k] = q[k];
    }
}

#else  // no SSE2: the plain loops

Level level() { return Level::Sse2; }
bool setLevel(Level wanted) { return wanted == Level::Sse2; }

void sumRows(float* dst, const float* base, const std::ptrdiff_t* rows, const float* coef, int terms, int count)
{
    for (int c = 0; c < count; ++c) {
        float a = 0.0f;
        for (int t = 0; t < terms; ++t)
            a += coef[t] * base[rows[t] + c];
        dst[c] = a;
    }
}

void sumRun(float* dst, const float* src, const int* pos, const float* coef, int terms, int count)
{
    for (int j = 0; j < count; ++j) {
        float a = 0.0f;
        for (int t = 0; t < terms; ++t)
            a += coef[t] * src[pos[t] + j];
        dst[j] = a;
    }
}

void interleave(float* out, const float* even, const float* odd, int evenCount, int oddCount)
{
    for (int j = 0; j < evenCount; ++j) {
        out[2 * j] = even[j];
        if (j < oddCount)
            out[2 * j + 1] = odd[j];
    }
}

void deinterleave(float* even, float* odd, const float* in, int evenCount, int oddCount)
{
    for (int j = 0; j < evenCount; ++j) {
        even[j] = in[2 * j];
        if (j < oddCount)
            odd[j] = in[2 * j + 1];
    }
}

void pixelStats(const unsigned char* in, std::size_t count, std::uint64_t& sum, int& lowest, int& highest)
{
    sum = 0;
    lowest = 255;
    highest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        sum += in[i];
        lowest = std::min<int>(lowest, in[i]);
        highest = std::max<int>(highest, in[i]);
    }
}

void unquantizeRow(float* out, const short* in, int count, double q, double center, double halfZ)
{
    for (int i = 0; i < count; ++i)
        out[i] = dequantize(in[i], q, center, halfZ);
}

void floatToBytes(unsigned char* out, const float* in, std::size_t count, float m_shift, float r_scale)
{
    for (std::size_t i = 0; i < count; ++i)
        out[i] = toByte(in[i], m_shift, r_scale);
}

void quantizeRow(std::int16_t* out, const float* in, int count, float q, float zHalf)
{
    for (int i = 0; i < count; ++i)
        out[i] = quantizeOne(in[i], q, zHalf);
}

float maxMagnitude(const float* in, int count)
{
    float m = 0.0f;
    for (int i = 0; i < count; ++i)
        m = plainMax(m, std::fabs(in[i]));
    return m;
}

int leadingZeros(const std::int16_t* in, int count)
{
    int i = 0;
    while (i < count && in[i] == 0)
        ++i;
    return i;
}

void windowSums(const Window* windows, int count, std::ptrdiff_t stride, float* sums, float* squares)
{
    for (int k = 0; k < count; ++k) {
        float sum = 0.0f, square = 0.0f;
        for (int r = 0; r < windows[k].rows; ++r) {
            const float* p = windows[k].first + r * stride;
            for (int c = 0; c < windows[k].cols; ++c) {
                sum += p[c];
                square += p[c] * p[c];
            }
        }
        sums[k] = sum;
        squares[k] = square;
    }
}

#endif

}  // namespace wsq::simd
