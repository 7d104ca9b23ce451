// The row loop on 64-bit MMX registers, two of them per step: eight 16-bit
// or four 32-bit pixels. Plain MMX has no unsigned high multiply, so the top
// 16-bit field is moved down before scaling like the others. The file is
// built without SSE2, or the compiler would carry these 64-bit vectors in
// SSE registers and no MMX instruction would run.
//
// The registers are handed back to the floating-point unit (emms) at the
// end of every row, before the next call for a row address, as the calling
// convention asks. The overlapping last step is that of the SSE2 loop.
#include <allegro.h>
#include <mmintrin.h>

#include <cstdint>
#include <cstring>

void trans_fill_rows_portable(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep);

namespace {

constexpr int SHORT_SCALE_BITS = 5;
constexpr int WIDE_SCALE_BITS = 8;
constexpr int HALF_BYTES = sizeof(__m64);
constexpr int STEP_BYTES = 2 * HALF_BYTES;

inline __m64 load(const uint8_t *p)
{
    __m64 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void store(uint8_t *p, __m64 v)
{
    std::memcpy(p, &v, sizeof v);
}

template <typename Blend>
void walk_rows(BITMAP *bmp, int x, int y, int w, int h, int bytes, Blend blend)
{
    const int row_bytes = w * bytes;
    const int last = row_bytes - STEP_BYTES;
    for (int row = y; row < y + h; row++) {
        uint8_t *p = reinterpret_cast<uint8_t *>(bmp_write_line(bmp, row)) + static_cast<uintptr_t>(x) * bytes;
        const __m64 tail_low = blend(load(p + last)), tail_high = blend(load(p + last + HALF_BYTES));
        int i = 0;
        for (; i + STEP_BYTES <= row_bytes; i += STEP_BYTES) {
            store(p + i, blend(load(p + i)));
            store(p + i + HALF_BYTES, blend(load(p + i + HALF_BYTES)));
        }
        if (i != row_bytes) {
            store(p + last, tail_low);
            store(p + last + HALF_BYTES, tail_high);
        }
        _mm_empty();
    }
}

template <int LOW, int MID, int HIGH_SHIFT>
void blend_short_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    constexpr int TOP = 0x1F;  // the top field once moved down to bit 0
    walk_rows(bmp, x, y, w, h, sizeof(uint16_t), [&](__m64 v) {
        const __m64 k = _mm_set1_pi16(static_cast<short>(keep));
        const __m64 mid = _mm_set1_pi16(MID);
        const __m64 b = _mm_srli_pi16(_mm_mullo_pi16(_mm_and_si64(v, _mm_set1_pi16(LOW)), k), SHORT_SCALE_BITS);
        const __m64 g = _mm_and_si64(_mm_srli_pi16(_mm_mullo_pi16(_mm_and_si64(v, mid), k), SHORT_SCALE_BITS), mid);
        const __m64 top = _mm_and_si64(_mm_srli_pi16(v, HIGH_SHIFT), _mm_set1_pi16(TOP));
        const __m64 r = _mm_slli_pi16(_mm_srli_pi16(_mm_mullo_pi16(top, k), SHORT_SCALE_BITS), HIGH_SHIFT);
        return _mm_add_pi16(_mm_add_pi16(b, g), _mm_add_pi16(r, _mm_set1_pi16(static_cast<short>(tint))));
    });
}

void blend_wide_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    walk_rows(bmp, x, y, w, h, sizeof(uint32_t), [&](__m64 v) {
        const __m64 k = _mm_set1_pi16(static_cast<short>(keep));
        const __m64 rb = _mm_srli_pi16(_mm_mullo_pi16(_mm_and_si64(v, _mm_set1_pi32(0x00FF00FF)), k), WIDE_SCALE_BITS);
        const __m64 g_only = _mm_and_si64(_mm_srli_pi32(v, WIDE_SCALE_BITS), _mm_set1_pi32(0x000000FF));
        const __m64 g = _mm_and_si64(_mm_mullo_pi16(g_only, k), _mm_set1_pi32(0x0000FF00));
        return _mm_add_pi32(_mm_add_pi32(rb, g), _mm_set1_pi32(static_cast<int>(tint)));
    });
}

}  // namespace

void trans_fill_rows_mmx(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const int depth = bitmap_color_depth(bmp);
    if (w * (depth == 32 ? 4 : 2) < STEP_BYTES)
        trans_fill_rows_portable(bmp, x, y, w, h, tint, keep);
    else if (depth == 15)
        blend_short_rows<0x001F, 0x03E0, 10>(bmp, x, y, w, h, tint, keep);
    else if (depth == 16)
        blend_short_rows<0x001F, 0x07E0, 11>(bmp, x, y, w, h, tint, keep);
    else
        blend_wide_rows(bmp, x, y, w, h, tint, keep);
}
