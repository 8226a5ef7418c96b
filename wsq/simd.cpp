#include "wsq/simd.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace wsq::simd {
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

}  // namespace

#if defined(__SSE2__)

void sumRows(float* dst, const float* const* rows, const float* coef, int terms, int count)
{
    int c = 0;
    for (; c + 16 <= count; c += 16) {
        __m128 a0 = _mm_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
        for (int t = 0; t < terms; ++t) {
            const __m128 k = _mm_set1_ps(coef[t]);
            const float* r = rows[t] + c;
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
            a = _mm_add_ps(a, _mm_mul_ps(_mm_set1_ps(coef[t]), _mm_loadu_ps(rows[t] + c)));
        _mm_storeu_ps(dst + c, a);
    }
    for (; c < count; ++c) {
        float a = 0.0f;
        for (int t = 0; t < terms; ++t)
            a += coef[t] * rows[t][c];
        dst[c] = a;
    }
}

void sumRun(float* dst, const float* src, const int* pos, const float* coef, int terms, int count)
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

void unquantizeRow(float* out, const short* in, int count, double q, double center, double halfZ)
{
    int i = 0;
    const __m128i zero = _mm_setzero_si128();
    const __m128 fzero = _mm_setzero_ps();
    for (; i + 8 <= count; i += 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(v, zero)) == 0xFFFF) {
            // Most indices of the finer subbands are 0.
            _mm_storeu_ps(out + i, fzero);
            _mm_storeu_ps(out + i + 4, fzero);
            continue;
        }
        for (int k = 0; k < 8; ++k)
            out[i + k] = dequantize(in[i + k], q, center, halfZ);
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

#else  // no SSE2: the plain loops

void sumRows(float* dst, const float* const* rows, const float* coef, int terms, int count)
{
    for (int c = 0; c < count; ++c) {
        float a = 0.0f;
        for (int t = 0; t < terms; ++t)
            a += coef[t] * rows[t][c];
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

#endif

}  // namespace wsq::simd
