// The row loop on 256-bit AVX2 registers: the SSE2 loop twice as wide,
// sixteen 16-bit or eight 32-bit pixels per step, with the same overlapping
// last step (blended before anything in the row is stored). Rectangles
// narrower than one step go to the SSE2 loop.
#include <allegro.h>
#include <immintrin.h>

#include <cstdint>

void trans_fill_rows_sse2(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep);

namespace {

constexpr int SHORT_SCALE_BITS = 5;
constexpr int WIDE_SCALE_BITS = 8;
constexpr int STEP_BYTES = sizeof(__m256i);
constexpr int TOP_FIELD_END = 11;  // the weight is lifted by 11 - shift so mulhi divides by 32

inline __m256i load(const uint8_t *p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i *>(p));
}

inline void store(uint8_t *p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(p), v);
}

// Walks every row, `blend` turning one register of pixels into its result.
template <typename Blend>
void walk_rows(BITMAP *bmp, int x, int y, int w, int h, int bytes, Blend blend)
{
    const int row_bytes = w * bytes;
    const int last = row_bytes - STEP_BYTES;
    for (int row = y; row < y + h; row++) {
        uint8_t *p = reinterpret_cast<uint8_t *>(bmp_write_line(bmp, row)) + static_cast<uintptr_t>(x) * bytes;
        const __m256i tail = blend(load(p + last));
        int i = 0;
        for (; i + STEP_BYTES <= row_bytes; i += STEP_BYTES)
            store(p + i, blend(load(p + i)));
        if (i != row_bytes)
            store(p + last, tail);
    }
}

// Low and middle fields are scaled in place by a low multiply (the middle
// one's product still fits 16 bits); the top field by a high multiply.
template <int LOW, int MID, int HIGH, int HIGH_SHIFT>
void blend_short_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const __m256i low = _mm256_set1_epi16(LOW), mid = _mm256_set1_epi16(MID);
    const __m256i high = _mm256_set1_epi16(static_cast<short>(HIGH));
    const __m256i k = _mm256_set1_epi16(static_cast<short>(keep));
    const __m256i k_high = _mm256_set1_epi16(static_cast<short>(keep << (TOP_FIELD_END - HIGH_SHIFT)));
    const __m256i t = _mm256_set1_epi16(static_cast<short>(tint));
    walk_rows(bmp, x, y, w, h, sizeof(uint16_t), [&](__m256i v) {
        const __m256i b = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(v, low), k), SHORT_SCALE_BITS);
        const __m256i g =
            _mm256_and_si256(_mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(v, mid), k), SHORT_SCALE_BITS), mid);
        const __m256i r = _mm256_slli_epi16(_mm256_mulhi_epu16(_mm256_and_si256(v, high), k_high), HIGH_SHIFT);
        return _mm256_add_epi16(_mm256_add_epi16(b, g), _mm256_add_epi16(r, t));
    });
}

// Red and blue sit in their own 16-bit lanes; green is moved down a byte.
void blend_wide_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const __m256i rb_mask = _mm256_set1_epi32(0x00FF00FF), g_mask = _mm256_set1_epi32(0x000000FF);
    const __m256i g_floor = _mm256_set1_epi32(0x0000FF00);
    const __m256i k = _mm256_set1_epi16(static_cast<short>(keep));
    const __m256i t = _mm256_set1_epi32(static_cast<int>(tint));
    walk_rows(bmp, x, y, w, h, sizeof(uint32_t), [&](__m256i v) {
        const __m256i rb = _mm256_srli_epi16(_mm256_mullo_epi16(_mm256_and_si256(v, rb_mask), k), WIDE_SCALE_BITS);
        const __m256i g = _mm256_and_si256(
            _mm256_mullo_epi16(_mm256_and_si256(_mm256_srli_epi32(v, WIDE_SCALE_BITS), g_mask), k), g_floor);
        return _mm256_add_epi32(_mm256_add_epi32(rb, g), t);
    });
}

}  // namespace

void trans_fill_rows_avx2(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const int depth = bitmap_color_depth(bmp);
    if (w * (depth == 32 ? 4 : 2) < STEP_BYTES)
        trans_fill_rows_sse2(bmp, x, y, w, h, tint, keep);
    else if (depth == 15)
        blend_short_rows<0x001F, 0x03E0, 0x7C00, 10>(bmp, x, y, w, h, tint, keep);
    else if (depth == 16)
        blend_short_rows<0x001F, 0x07E0, 0xF800, 11>(bmp, x, y, w, h, tint, keep);
    else
        blend_wide_rows(bmp, x, y, w, h, tint, keep);
}
