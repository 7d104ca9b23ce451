// The translucent fill, every row loop against the per-field formulas.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "gfx/trans_fill.h"
#include "support/headless.h"

namespace {

// The slow reference: each field on its own, straight from the formulas.
uint32_t expected_pixel(int depth, uint32_t d, uint32_t c, int fact)
{
    const int format = depth == 15 ? 0 : depth == 16 ? 1 : 2;
    const int shifts[3][3] = {{10, 5, 0}, {11, 5, 0}, {16, 8, 0}}, widths[3][3] = {{5, 5, 5}, {5, 6, 5}, {8, 8, 8}};
    const uint32_t scale = depth == 32 ? 256 : 32;
    fact = fact > 255 ? 255 : fact;
    uint32_t weight = depth == 32 ? fact + 1 : (fact + 7) / 8, out = 0;
    if (weight >= scale)  // full strength: the colour itself
        d = 0, weight = scale;
    for (int i = 0; i < 3; i++) {
        const int shift = shifts[format][i];
        const uint32_t max = (1u << widths[format][i]) - 1, dv = d >> shift & max, sv = c >> shift & max;
        out |= (dv * (scale - weight) / scale + sv * weight / scale) << shift;
    }
    return out;
}

class EveryLoop : public testing::TestWithParam<TransFillLoop> {};

// Random bitmaps of random bytes, behind a clip rectangle the fill must
// ignore; rectangles and strengths near and far past every edge.
TEST_P(EveryLoop, MatchesTheFormulasOnRandomBitmaps)
{
    start_headless(16);
    if (trans_fill_force_loop(GetParam()) != 0) {
        ASSERT_NE(TRANS_FILL_PORTABLE, GetParam());
        GTEST_SKIP() << trans_fill_loop_name(GetParam()) << " cannot run here";
    }
    ASSERT_EQ(GetParam(), trans_fill_current_loop());
    const int depths[] = {8, 15, 16, 24, 32}, huge[] = {INT_MIN, INT_MIN + 1, INT_MAX};  // sums that overflow 32 bits
    for (uint32_t seed = 1; seed <= 4000; seed++) {
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        auto coord = [&](int lo, int hi) { return rng() % 20 ? pick(lo, hi) : huge[rng() % 3]; };
        const int depth = depths[pick(0, 4)], bw = pick(1, 90), bh = pick(1, 6), bytes = (depth + 7) / 8;
        const int x = coord(-30, bw + 3), y = coord(-3, bh + 1), w = coord(0, 67), h = coord(-1, 5);
        const int fact = rng() % 20 ? pick(-5, 255) : huge[rng() % 3];  // above 255 fills solid
        const uint32_t c = depth == 32 ? static_cast<uint32_t>(rng()) : rng() & 0xFFFF;  // spare bits too
        BITMAP *bmp = create_bitmap_ex(depth, bw, bh);
        std::vector<uint8_t> before;
        for (int py = 0; py < bh; py++)
            for (int i = 0; i < bw * bytes; i++)
                before.push_back(bmp->line[py][i] = static_cast<uint8_t>(rng()));
        set_clip_rect(bmp, 2, 0, 3, 0);
        trans_rectfill(bmp, x, y, w, h, static_cast<int>(c), fact);
        const bool blends = depth != 8 && depth != 24 && fact > 0;
        for (int i = 0; i < bw * bh; i++) {
            const int px = i % bw, py = i / bw;
            uint32_t was = 0, now = 0;
            std::memcpy(&was, &before[i * bytes], bytes);
            std::memcpy(&now, bmp->line[py] + px * bytes, bytes);
            const bool inside = blends && px >= x && px < int64_t{x} + w && py >= y && py < int64_t{y} + h;
            ASSERT_EQ(inside ? expected_pixel(depth, was, c, fact) : was, now)
                << "seed " << seed << ": pixel " << px << "," << py << " of " << bw << "x" << bh << "x" << depth
                << ", rect " << x << "," << y << " " << w << "x" << h << ", fact " << fact;
        }
        destroy_bitmap(bmp);
    }
}

INSTANTIATE_TEST_SUITE_P(Loops, EveryLoop,
                         testing::Values(TRANS_FILL_PORTABLE, TRANS_FILL_MMX, TRANS_FILL_SSE2, TRANS_FILL_AVX2),
                         [](const testing::TestParamInfo<TransFillLoop> &info) {
                             return std::string(trans_fill_loop_name(info.param));
                         });

}  // namespace
