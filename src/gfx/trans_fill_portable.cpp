// The row loop in plain C++, also the one the vector loops leave narrow
// rectangles to.
//
// At 15 and 16 bits a pair of pixels is split into two words so that every
// field has at least five free bits above it; one multiplication by the
// keep weight (at most 31) then scales three fields at once without
// carries, and the same mask floors them after the shift by 5. Memory is
// reached through memcpy: a row may start at any pixel, and the bitmap's
// bytes have no declared type to alias.
#include <allegro.h>

#include <cstdint>
#include <cstring>

namespace {

// Split masks for a pair of 16-bit pixels (first pixel in the low half).
// STAY holds the fields that can be scaled where they are; DOWN the fields
// that move down by 5 first to leave room above the top one.
constexpr uint32_t STAY_15 = 0x03E07C1F, DOWN_15 = 0x7C1F03E0;
constexpr uint32_t STAY_16 = 0x07E0F81F, DOWN_16 = 0xF81F07E0;
constexpr int SHORT_SCALE_BITS = 5;

constexpr uint32_t MASK_RB_32 = 0x00FF00FF;  // red and blue, a byte of room above each
constexpr uint32_t MASK_G_32 = 0x0000FF00;
constexpr int WIDE_SCALE_BITS = 8;

constexpr int LOW_HALF_BITS = 16;
constexpr uint32_t LOW_HALF = 0xFFFF;

inline uint8_t *row_start(BITMAP *bmp, int row, int x, int bytes)
{
    return reinterpret_cast<uint8_t *>(bmp_write_line(bmp, row)) + static_cast<uintptr_t>(x) * bytes;
}

template <uint32_t STAY, uint32_t DOWN>
inline uint32_t scale_pair(uint32_t pair, uint32_t keep)
{
    return (((pair & STAY) * keep >> SHORT_SCALE_BITS) & STAY) + ((((pair & DOWN) >> SHORT_SCALE_BITS) * keep) & DOWN);
}

// A lone pixel uses the low halves of both masks: a 32-bit word leaves
// room above every field of a single 16-bit pixel.
template <uint32_t STAY, uint32_t DOWN>
inline uint32_t scale_single(uint32_t pixel, uint32_t keep)
{
    constexpr uint32_t stay = STAY & LOW_HALF, down = DOWN & LOW_HALF;
    return (((pixel & stay) * keep >> SHORT_SCALE_BITS) & stay) + (((pixel & down) * keep >> SHORT_SCALE_BITS) & down);
}

template <uint32_t STAY, uint32_t DOWN>
inline void blend_pair(uint8_t *p, uint32_t tint_pair, uint32_t keep)
{
    uint32_t pair;
    std::memcpy(&pair, p, sizeof pair);
    pair = scale_pair<STAY, DOWN>(pair, keep) + tint_pair;
    std::memcpy(p, &pair, sizeof pair);
}

// Two pairs per step: the multiplier, not the loads, sets the pace, and
// two independent pairs keep it busy.
template <uint32_t STAY, uint32_t DOWN>
void blend_short_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    const uint32_t tint_pair = tint | tint << LOW_HALF_BITS;
    for (int row = y; row < y + h; row++) {
        uint8_t *p = row_start(bmp, row, x, sizeof(uint16_t));
        int count = w;
        for (; count >= 4; count -= 4, p += 2 * sizeof(uint32_t)) {
            blend_pair<STAY, DOWN>(p, tint_pair, keep);
            blend_pair<STAY, DOWN>(p + sizeof(uint32_t), tint_pair, keep);
        }
        if (count >= 2) {
            blend_pair<STAY, DOWN>(p, tint_pair, keep);
            count -= 2;
            p += sizeof(uint32_t);
        }
        if (count) {
            uint16_t pixel;
            std::memcpy(&pixel, p, sizeof pixel);
            pixel = static_cast<uint16_t>(scale_single<STAY, DOWN>(pixel, keep) + tint);
            std::memcpy(p, &pixel, sizeof pixel);
        }
    }
}

void blend_wide_rows(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    for (int row = y; row < y + h; row++) {
        uint8_t *p = row_start(bmp, row, x, sizeof(uint32_t));
        for (int count = w; count > 0; count--, p += sizeof(uint32_t)) {
            uint32_t pixel;
            std::memcpy(&pixel, p, sizeof pixel);
            const uint32_t rb = ((pixel & MASK_RB_32) * keep >> WIDE_SCALE_BITS) & MASK_RB_32;
            const uint32_t g = ((pixel & MASK_G_32) * keep >> WIDE_SCALE_BITS) & MASK_G_32;
            pixel = rb + g + tint;
            std::memcpy(p, &pixel, sizeof pixel);
        }
    }
}

}  // namespace

void trans_fill_rows_portable(BITMAP *bmp, int x, int y, int w, int h, uint32_t tint, uint32_t keep)
{
    switch (bitmap_color_depth(bmp)) {
    case 15:
        blend_short_rows<STAY_15, DOWN_15>(bmp, x, y, w, h, tint, keep);
        break;
    case 16:
        blend_short_rows<STAY_16, DOWN_16>(bmp, x, y, w, h, tint, keep);
        break;
    default:
        blend_wide_rows(bmp, x, y, w, h, tint, keep);
        break;
    }
}
