// The filter-bank kernels with 256-bit vectors, chosen at run time where the
// processor and the system support AVX. Same lanes, same sequence of
// operations as the SSE2 versions: the results are identical.
//
// Built with -mavx: this file includes nothing but the intrinsics, so that no
// shared inline code gets compiled with AVX instructions here.
#if defined(__AVX__)
#include <immintrin.h>
#include <stddef.h>

namespace wsq::simd::avx {

void sumRows(float* dst, const float* base, const ptrdiff_t* rows, const float* coef, int terms, int count)
{
    int c = 0;
    for (; c + 32 <= count; c += 32) {
        __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
        for (int t = 0; t < terms; ++t) {
            const __m256 k = _mm256_set1_ps(coef[t]);
            const float* r = base + rows[t] + c;
            a0 = _mm256_add_ps(a0, _mm256_mul_ps(k, _mm256_loadu_ps(r)));
            a1 = _mm256_add_ps(a1, _mm256_mul_ps(k, _mm256_loadu_ps(r + 8)));
            a2 = _mm256_add_ps(a2, _mm256_mul_ps(k, _mm256_loadu_ps(r + 16)));
            a3 = _mm256_add_ps(a3, _mm256_mul_ps(k, _mm256_loadu_ps(r + 24)));
        }
        _mm256_storeu_ps(dst + c, a0);
        _mm256_storeu_ps(dst + c + 8, a1);
        _mm256_storeu_ps(dst + c + 16, a2);
        _mm256_storeu_ps(dst + c + 24, a3);
    }
    for (; c + 8 <= count; c += 8) {
        __m256 a = _mm256_setzero_ps();
        for (int t = 0; t < terms; ++t)
            a = _mm256_add_ps(a, _mm256_mul_ps(_mm256_set1_ps(coef[t]), _mm256_loadu_ps(base + rows[t] + c)));
        _mm256_storeu_ps(dst + c, a);
    }
    for (; c < count; ++c) {
        __m128 a = _mm_setzero_ps();
        for (int t = 0; t < terms; ++t)
            a = _mm_add_ss(a, _mm_mul_ss(_mm_set_ss(coef[t]), _mm_load_ss(base + rows[t] + c)));
        _mm_store_ss(dst + c, a);
    }
    _mm256_zeroupper();
}

void sumRun(float* dst, const float* src, const int* pos, const float* coef, int terms, int count)
{
    int j = 0;
    for (; j + 32 <= count; j += 32) {
        __m256 a0 = _mm256_setzero_ps(), a1 = a0, a2 = a0, a3 = a0;
        for (int t = 0; t < terms; ++t) {
            const __m256 k = _mm256_set1_ps(coef[t]);
            const float* r = src + pos[t] + j;
            a0 = _mm256_add_ps(a0, _mm256_mul_ps(k, _mm256_loadu_ps(r)));
            a1 = _mm256_add_ps(a1, _mm256_mul_ps(k, _mm256_loadu_ps(r + 8)));
            a2 = _mm256_add_ps(a2, _mm256_mul_ps(k, _mm256_loadu_ps(r + 16)));
            a3 = _mm256_add_ps(a3, _mm256_mul_ps(k, _mm256_loadu_ps(r + 24)));
        }
        _mm256_storeu_ps(dst + j, a0);
        _mm256_storeu_ps(dst + j + 8, a1);
        _mm256_storeu_ps(dst + j + 16, a2);
        _mm256_storeu_ps(dst + j + 24, a3);
    }
    for (; j + 8 <= count; j += 8) {
        __m256 a = _mm256_setzero_ps();
        for (int t = 0; t < terms; ++t)
            a = _mm256_add_ps(a, _mm256_mul_ps(_mm256_set1_ps(coef[t]), _mm256_loadu_ps(src + pos[t] + j)));
        _mm256_storeu_ps(dst + j, a);
    }
    for (; j < count; ++j) {
        __m128 a = _mm_setzero_ps();
        for (int t = 0; t < terms; ++t)
            a = _mm_add_ss(a, _mm_mul_ss(_mm_set_ss(coef[t]), _mm_load_ss(src + pos[t] + j)));
        _mm_store_ss(dst + j, a);
    }
    _mm256_zeroupper();
}

}  // namespace wsq::simd::avx
#endif
