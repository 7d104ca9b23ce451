// The row loops on 128-bit SSE2 and 256-bit AVX2 registers, written once
// over the compiler's vector types: eight or sixteen 16-bit pixels, four or
// eight 32-bit pixels per step, each field scaled in its own 16-bit lane so
// that the floors are those of the portable loop.
//
// The file is built for the plain processor. Only the two entry functions
// at the end ask for SSE2 or AVX2, and everything they call here is forced
// inline so that it is compiled for their processor; nothing outside them
// may hold a wide instruction, or a machine without AVX2 could meet one.
//
// A row whose width is not a whole number of steps ends with one more step
// that overlaps the one before it. That step is loaded and blended before
// anything in the row is stored, so the overlapped pixels are blended once
// from their old values and stored twice with the same result.
#include <allegro.h>

#include <cstdint>

void trans_fill_rows_portable(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep);
void trans_fill_rows_sse2(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep);

#define ALWAYS_INLINE inline __attribute__((always_inline))

namespace {

typedef uint16_t u16x8 __attribute__((vector_size(16)));
typedef uint32_t u32x4 __attribute__((vector_size(16)));
typedef uint16_t u16x16 __attribute__((vector_size(32)));
typedef uint32_t u32x8 __attribute__((vector_size(32)));

constexpr int LANE_BITS = 16;
constexpr int SHORT_SCALE_BITS = 5;
constexpr int WIDE_SCALE_BITS = 8;
constexpr uint16_t WIDE_FIELD = 0xFF;  // one 32-bit pixel field moved to the bottom of a 16-bit lane

// Walks every row, `blend` turning one register of pixels into its result
// in place. No vector goes in or out of a function by value: these are
// compiled without AVX, where a 256-bit vector has no register to travel in.
template <typename V, typename Blend>
ALWAYS_INLINE void walk_rows(BITMAP *bmp, int x, int y, int w, int h, const Blend &blend)
{
    constexpr int step_bytes = sizeof(V);
    constexpr int bytes = sizeof(V{}[0]);  // one pixel a lane
    const int row_bytes = w * bytes;
    const int last = row_bytes - step_bytes;
    for (int row = y; row < y + h; row++) {
        uint8_t *p = reinterpret_cast<uint8_t *>(bmp_write_line(bmp, row)) + static_cast<uintptr_t>(x) * bytes;
        V tail;
        __builtin_memcpy(&tail, p + last, step_bytes);
        blend(tail);
        int i = 0;
        for (; i + step_bytes <= row_bytes; i += step_bytes) {
            V v;
            __builtin_memcpy(&v, p + i, step_bytes);
            blend(v);
            __builtin_memcpy(p + i, &v, step_bytes);
        }
        if (i != row_bytes)
            __builtin_memcpy(p + last, &tail, step_bytes);
    }
}

// Low and middle fields are scaled in place (the middle one's product
// still fits 16 bits). The top field is moved down first and multiplied by
// the weight lifted by its shift less 5: the product's bits from the shift
// up are then floor(d * keep / 32) in place, and everything it loses off
// the top of the lane lies above the field.
template <typename V, uint16_t LOW, uint16_t MID, uint16_t HIGH, int HIGH_SHIFT>
ALWAYS_INLINE void blend_short_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const V k = V{} + static_cast<uint16_t>(keep);
    const V k_high = V{} + static_cast<uint16_t>(keep << (HIGH_SHIFT - SHORT_SCALE_BITS));
    const V t = V{} + static_cast<uint16_t>(tint);
    constexpr bool spare_top_bit = HIGH_SHIFT + SHORT_SCALE_BITS < LANE_BITS;  // at 15 bits: cleared before the multiply
    walk_rows<V>(bmp, x, y, w, h, [&](V &v) __attribute__((always_inline)) {
        const V b = ((v & LOW) * k) >> SHORT_SCALE_BITS;
        const V g = (((v & MID) * k) >> SHORT_SCALE_BITS) & MID;
        const V top = spare_top_bit ? (v & HIGH) >> HIGH_SHIFT : v >> HIGH_SHIFT;
        const V r = (top * k_high) & HIGH;
        v = (b + g) + (r + t);
    });
}

// Red and blue sit in their own 16-bit lanes; green is moved down a byte.
// The lanes are multiplied 16 bits wide, as SSE2 has no 32-bit multiply.
template <typename Short, typename Wide>
ALWAYS_INLINE void blend_wide_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const Short k = Short{} + static_cast<uint16_t>(keep);
    const Wide t = Wide{} + tint;
    walk_rows<Wide>(bmp, x, y, w, h, [&](Wide &v) __attribute__((always_inline)) {
        const Short rb = ((reinterpret_cast<Short>(v) & WIDE_FIELD) * k) >> WIDE_SCALE_BITS;
        const Short g = reinterpret_cast<Short>((v >> WIDE_SCALE_BITS) & WIDE_FIELD) * k;
        v = (reinterpret_cast<Wide>(rb) + (reinterpret_cast<Wide>(g) & (WIDE_FIELD << WIDE_SCALE_BITS))) + t;
    });
}

// False, and nothing drawn, when the rows are narrower than one step.
template <typename Short, typename Wide>
ALWAYS_INLINE bool blend_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const int depth = bitmap_color_depth(bmp);
    if (w * (depth == 32 ? 4 : 2) < static_cast<int>(sizeof(Short)))
        return false;
    if (depth == 15)
        blend_short_rows<Short, 0x001F, 0x03E0, 0x7C00, 10>(bmp, x, y, w, h, tint, keep);
    else if (depth == 16)
        blend_short_rows<Short, 0x001F, 0x07E0, 0xF800, 11>(bmp, x, y, w, h, tint, keep);
    else
        blend_wide_rows<Short, Wide>(bmp, x, y, w, h, tint, keep);
    return true;
}

}  // namespace

__attribute__((target("sse2"))) void trans_fill_rows_sse2(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint,
                                                           uint32_t keep)
{
    if (!blend_rows<u16x8, u32x4>(bmp, x, y, w, h, tint, keep))
        trans_fill_rows_portable(bmp, x, y, w, h, tint, keep);
}

__attribute__((target("avx2"))) void trans_fill_rows_avx2(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint,
                                                           uint32_t keep)
{
    if (!blend_rows<u16x16, u32x8>(bmp, x, y, w, h, tint, keep))
        trans_fill_rows_sse2(bmp, x, y, w, h, tint, keep);
}
