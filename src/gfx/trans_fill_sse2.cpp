// The row loop on 128-bit SSE2 registers: eight 16-bit or four 32-bit
// pixels per step, each field scaled in its own 16-bit lane so that the
// floors are those of the portable loop.
//
// A row whose width is not a whole number of steps ends with one more step
// that overlaps the one before it. That step is loaded and blended before
// anything in the row is stored, so the overlapped pixels are blended once
// from their old values and stored twice with the same result.
#include <allegro.h>
#include <emmintrin.h>

#include <cstdint>

void trans_fill_rows_portable(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep);

namespace {

constexpr int SHORT_SCALE_BITS = 5;
constexpr int WIDE_SCALE_BITS = 8;
constexpr int STEP_BYTES = sizeof(__m128i);
constexpr int TOP_FIELD_END = 11;  // the weight is lifted by 11 - shift so mulhi divides by 32

inline __m128i load(const uint8_t *p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
}

inline void store(uint8_t *p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v);
}

// Walks every row, `blend` turning one register of pixels into its result.
template <typename Blend>
void walk_rows(BITMAP *bmp, int x, int y, int w, int h, int bytes, Blend blend)
{
    const int row_bytes = w * bytes;
    const int last = row_bytes - STEP_BYTES;
    for (int row = y; row < y + h; row++) {
        uint8_t *p = reinterpret_cast<uint8_t *>(bmp_write_line(bmp, row)) + static_cast<uintptr_t>(x) * bytes;
        const __m128i tail = blend(load(p + last));
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
    const __m128i low = _mm_set1_epi16(LOW), mid = _mm_set1_epi16(MID);
    const __m128i high = _mm_set1_epi16(static_cast<short>(HIGH));
    const __m128i k = _mm_set1_epi16(static_cast<short>(keep));
    const __m128i k_high = _mm_set1_epi16(static_cast<short>(keep << (TOP_FIELD_END - HIGH_SHIFT)));
    const __m128i t = _mm_set1_epi16(static_cast<short>(tint));
    walk_rows(bmp, x, y, w, h, sizeof(uint16_t), [&](__m128i v) {
        const __m128i b = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(v, low), k), SHORT_SCALE_BITS);
        const __m128i g =
            _mm_and_si128(_mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(v, mid), k), SHORT_SCALE_BITS), mid);
        const __m128i r = _mm_slli_epi16(_mm_mulhi_epu16(_mm_and_si128(v, high), k_high), HIGH_SHIFT);
        return _mm_add_epi16(_mm_add_epi16(b, g), _mm_add_epi16(r, t));
    });
}

// Red and blue sit in their own 16-bit lanes; green is moved down a byte.
void blend_wide_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const __m128i rb_mask = _mm_set1_epi32(0x00FF00FF), g_mask = _mm_set1_epi32(0x000000FF);
    const __m128i g_floor = _mm_set1_epi32(0x0000FF00);
    const __m128i k = _mm_set1_epi16(static_cast<short>(keep));
    const __m128i t = _mm_set1_epi32(static_cast<int>(tint));
    walk_rows(bmp, x, y, w, h, sizeof(uint32_t), [&](__m128i v) {
        const __m128i rb = _mm_srli_epi16(_mm_mullo_epi16(_mm_and_si128(v, rb_mask), k), WIDE_SCALE_BITS);
        const __m128i g = _mm_and_si128(
            _mm_mullo_epi16(_mm_and_si128(_mm_srli_epi32(v, WIDE_SCALE_BITS), g_mask), k), g_floor);
        return _mm_add_epi32(_mm_add_epi32(rb, g), t);
    });
}

}  // namespace

void trans_fill_rows_sse2(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const int depth = bitmap_color_depth(bmp);
    if (w * (depth == 32 ? 4 : 2) < STEP_BYTES)
        trans_fill_rows_portable(bmp, x, y, w, h, tint, keep);
    else if (depth == 15)
        blend_short_rows<0x001F, 0x03E0, 0x7C00, 10>(bmp, x, y, w, h, tint, keep);
    else if (depth == 16)
        blend_short_rows<0x001F, 0x07E0, 0xF800, 11>(bmp, x, y, w, h, tint, keep);
    else
        blend_wide_rows(bmp, x, y, w, h, tint, keep);
}
