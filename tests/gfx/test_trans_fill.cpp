// The translucent fill, every row loop against the per-field formulas.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <vector>

#include "gfx/trans_fill.h"
#include "support/headless.h"

namespace {

struct Field {
    int shift, bits;
};

// The slow reference: each field on its own, straight from the formulas.
uint32_t expected_pixel(int depth, uint32_t d, uint32_t c, int fact)
{
    const Field f15[] = {{10, 5}, {5, 5}, {0, 5}}, f16[] = {{11, 5}, {5, 6}, {0, 5}},
                f32[] = {{16, 8}, {8, 8}, {0, 8}};
    const Field *fields = depth == 15 ? f15 : depth == 16 ? f16 : f32;
    const uint32_t scale = depth == 32 ? 256 : 32;
    uint32_t weight = depth == 32 ? fact + 1 : (fact + 7) / 8;
    if (weight >= scale)  // full strength: the colour itself
        d = 0, weight = scale;
    uint32_t out = 0;
    for (int i = 0; i < 3; i++) {
        const uint32_t max = (1u << fields[i].bits) - 1;
        const uint32_t dv = d >> fields[i].shift & max, sv = c >> fields[i].shift & max;
        out |= (dv * (scale - weight) / scale + sv * weight / scale) << fields[i].shift;
    }
    return out;
}

int bytes_per_pixel(int depth)
{
    return (depth + 7) / 8;
}

// A 15-, 16- or 32-bit pixel from a row of bytes.
uint32_t pixel_at(const uint8_t *row, int x, int depth)
{
    if (depth == 32) {
        uint32_t v;
        std::memcpy(&v, row + 4 * x, 4);
        return v;
    }
    uint16_t v;
    std::memcpy(&v, row + 2 * x, 2);
    return v;
}

uint32_t read_pixel(BITMAP *bmp, int x, int y)
{
    return pixel_at(bmp->line[y], x, bitmap_color_depth(bmp));
}

// One random case: bitmap, contents with spare bits set, rectangle, colour
// and strength. Empty string when every pixel is as the formulas say.
std::string random_case(uint32_t seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int depths[] = {8, 15, 16, 24, 32};
    const int depth = depths[pick(0, 4)], bytes = bytes_per_pixel(depth);
    BITMAP *bmp = create_bitmap_ex(depth, pick(1, 90), pick(1, 6));
    const int row_bytes = bmp->w * bytes;
    std::vector<std::vector<uint8_t>> before(bmp->h);
    for (int y = 0; y < bmp->h; y++) {
        for (int i = 0; i < row_bytes; i++)
            bmp->line[y][i] = static_cast<uint8_t>(rng());
        before[y].assign(bmp->line[y], bmp->line[y] + row_bytes);
    }
    set_clip_rect(bmp, pick(0, 10), 0, pick(0, 10), 0);  // never in the way
    const int x = pick(-30, bmp->w + 3), y = pick(-3, bmp->h + 1);
    const int w = pick(0, 67), h = pick(-1, 5), fact = pick(-5, 255);
    const uint32_t c = depth == 32 ? static_cast<uint32_t>(rng()) : rng() & 0xFFFF;
    trans_rectfill(bmp, x, y, w, h, static_cast<int>(c), fact);

    const bool blends = (depth == 15 || depth == 16 || depth == 32) && fact > 0;
    std::ostringstream fault;
    for (int py = 0; py < bmp->h && fault.str().empty(); py++) {
        for (int px = 0; px < bmp->w && fault.str().empty(); px++) {
            const bool inside = blends && px >= x && px < x + w && py >= y && py < y + h;
            if (!inside && std::memcmp(&before[py][px * bytes], bmp->line[py] + px * bytes, bytes))
                fault << "pixel outside the fill changed at column " << px;
            if (!inside)
                continue;
            const uint32_t want = expected_pixel(depth, pixel_at(before[py].data(), px, depth), c, fact);
            if (read_pixel(bmp, px, py) != want)
                fault << "pixel " << read_pixel(bmp, px, py) << " instead of " << want << " at column " << px;
        }
        if (!fault.str().empty())
            fault << " in row " << py << "; depth " << depth << " " << bmp->w << "x" << bmp->h << ", rect " << x
                  << "," << y << " " << w << "x" << h << ", colour " << c << ", fact " << fact;
    }
    destroy_bitmap(bmp);
    return fault.str();
}

class EveryLoop : public testing::TestWithParam<TransFillLoop> {
protected:
    void SetUp() override
    {
        start_headless(16);
        if (trans_fill_force_loop(GetParam()) != 0)
            GTEST_SKIP() << trans_fill_loop_name(GetParam()) << " cannot run here";
    }
    void TearDown() override { trans_fill_auto_loop(); }
};

TEST_P(EveryLoop, MatchesTheFormulasOnRandomBitmaps)
{
    const char *env = std::getenv("TRANS_FILL_SEED");
    const uint32_t base = env ? static_cast<uint32_t>(std::strtoul(env, nullptr, 10)) : std::random_device()();
    for (uint32_t i = 0; i < 4000; i++) {
        const std::string fault = random_case(base + i);
        ASSERT_EQ("", fault) << "seed " << base + i << " (TRANS_FILL_SEED=" << base + i << ")";
    }
}

// One colour over one pixel value across a wide, oddly placed rectangle.
uint32_t fill_and_read(int depth, uint32_t pixel, int colour, int fact)
{
    BITMAP *bmp = create_bitmap_ex(depth, 64, 3);
    clear_to_color(bmp, static_cast<int>(pixel));
    trans_rectfill(bmp, 3, 0, 45, 3, colour, fact);
    const uint32_t first = read_pixel(bmp, 3, 0), last = read_pixel(bmp, 47, 2);
    EXPECT_EQ(first, last) << "fill not uniform";
    EXPECT_EQ(pixel, read_pixel(bmp, 2, 1));
    EXPECT_EQ(pixel, read_pixel(bmp, 48, 1));
    destroy_bitmap(bmp);
    return first;
}

uint32_t rgb16(uint32_t r, uint32_t g, uint32_t b)
{
    return r << 11 | g << 5 | b;
}

TEST_P(EveryLoop, WorkedExamples)
{
    const uint32_t white16 = rgb16(31, 63, 31);
    EXPECT_EQ(rgb16(30, 31, 15), fill_and_read(16, white16, 0xF800, 127));
    EXPECT_EQ(rgb16(30, 61, 30), fill_and_read(16, white16, 0, 1));  // fact 1 already blends
    EXPECT_EQ(rgb16(0, 1, 0), fill_and_read(16, white16, 0, 248));  // not yet solid
    for (int fact = 249; fact <= 255; fact++)
        EXPECT_EQ(0u, fill_and_read(16, white16, 0, fact)) << "fact " << fact;
    EXPECT_EQ(0x7FFFu, fill_and_read(15, 0x8000, 0xFFFF, 255));  // spare bit dropped, solid too
    EXPECT_EQ(0x003C5AA5u, fill_and_read(32, 0, 0x5078DC, 191));     // (60, 90, 165)
    EXPECT_EQ(0x00FE7F7Fu, fill_and_read(32, 0xFFFFFF, 0xFF0000, 127));
    EXPECT_EQ(0x00FEFEFEu, fill_and_read(32, 0xFFFFFFFF, 0xFFFFFF, 254));
    EXPECT_EQ(0x00FFFFFFu, fill_and_read(32, 0, 0xAAFFFFFF, 255));
    for (int depth : {15, 16, 32})
        for (int fact : {-5, -4, 0})
            EXPECT_EQ(0x1234u, fill_and_read(depth, 0x1234, 0xFFFF, fact));
    // Beyond the range: taken as full strength, never a wrapped weight.
    EXPECT_EQ(0u, fill_and_read(16, white16, 0, 300));
    EXPECT_EQ(0x123456u, fill_and_read(32, 0xFFFFFF, 0x123456, 1000));
}

INSTANTIATE_TEST_SUITE_P(Loops, EveryLoop,
                         testing::Values(TRANS_FILL_PORTABLE, TRANS_FILL_MMX, TRANS_FILL_SSE2, TRANS_FILL_AVX2),
                         [](const testing::TestParamInfo<TransFillLoop> &info) {
                             return std::string(trans_fill_loop_name(info.param));
                         });

TEST(TransFill, ClipsToTheWholeBitmapOnly)
{
    start_headless(16);
    for (int fact : {100, 255}) {
        BITMAP *bmp = create_bitmap_ex(16, 40, 4);
        clear_to_color(bmp, 0);
        set_clip_rect(bmp, 5, 1, 8, 2);
        trans_rectfill(bmp, -10, -1, 30, 3, 0xFFFF, fact);
        for (int x = 0; x < 40; x++)
            for (int y = 0; y < 4; y++)
                EXPECT_EQ(x < 20 && y < 2, read_pixel(bmp, x, y) != 0) << x << "," << y << " fact " << fact;

        int l, t, r, b;
        get_clip_rect(bmp, &l, &t, &r, &b);
        EXPECT_TRUE(get_clip_state(bmp) && l == 5 && t == 1 && r == 8 && b == 2);
        destroy_bitmap(bmp);
    }
}

// Sizes where x + w would overflow: the first reaches the edges, the
// others are empty.
TEST(TransFill, HugeSizes)
{
    start_headless(16);
    BITMAP *bmp = create_bitmap_ex(16, 40, 4);
    clear_to_color(bmp, 0);
    trans_rectfill(bmp, 30, 3, INT_MAX, INT_MAX, 0xFFFF, 100);
    EXPECT_NE(0u, read_pixel(bmp, 39, 3));
    EXPECT_EQ(0u, read_pixel(bmp, 29, 3));
    clear_to_color(bmp, 0);
    trans_rectfill(bmp, INT_MIN, INT_MIN, INT_MIN, INT_MIN, 0xFFFF, 100);
    trans_rectfill(bmp, INT_MAX, 0, INT_MAX, 4, 0xFFFF, 100);
    trans_rectfill(bmp, -1, 0, INT_MIN + 1, 4, 0xFFFF, 100);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 40; x++)
            ASSERT_EQ(0u, read_pixel(bmp, x, y)) << x << "," << y;
    destroy_bitmap(bmp);
}

// Counts what the fill asks of the bitmap's driver.
int acquired, released, unwritten, solid_fills;
std::vector<int> rows_written;
GFX_VTABLE *real_vtable;
void *real_write_bank;

void count_acquire(BITMAP *) { acquired++; }
void count_release(BITMAP *) { released++; }
void count_rectfill(BITMAP *bmp, int x1, int y1, int x2, int y2, int colour)
{
    solid_fills++;
    real_vtable->rectfill(bmp, x1, y1, x2, y2, colour);
}
void count_unwrite(BITMAP *bmp)
{
    unwritten++;
    reinterpret_cast<void (*)(BITMAP *)>(real_vtable->unwrite_bank)(bmp);
}
uintptr_t count_write(BITMAP *bmp, int line)
{
    rows_written.push_back(line);
    return reinterpret_cast<uintptr_t (*)(BITMAP *, int)>(real_write_bank)(bmp, line);
}

TEST(TransFill, AcquiresOnlyWhenDrawingAndWritesRowsThroughLineAccess)
{
    start_headless(16);
    enum Effect { NOTHING, BLEND, SOLID };
    struct Case {
        int depth, x, w, fact;
        Effect effect;
    } cases[] = {{16, 2, 5, 100, BLEND},  {16, 2, 5, 248, BLEND},  {16, 2, 5, 249, SOLID}, {15, 2, 5, 255, SOLID},
                 {32, -3, 9, 1, BLEND},   {32, 2, 5, 254, BLEND},  {32, 2, 5, 255, SOLID}, {16, 2, 5, 0, NOTHING},
                 {32, 2, 5, -4, NOTHING}, {16, 12, 5, 100, NOTHING}, {16, -5, 5, 100, NOTHING},
                 {16, 2, 0, 100, NOTHING}, {8, 2, 5, 100, NOTHING}, {24, 2, 5, 255, NOTHING}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << " x " << c.x << " fact " << c.fact);
        BITMAP *bmp = create_bitmap_ex(c.depth, 12, 6);
        real_vtable = bmp->vtable;
        real_write_bank = bmp->write_bank;
        GFX_VTABLE hooked = *bmp->vtable;
        hooked.acquire = count_acquire;
        hooked.release = count_release;
        hooked.unwrite_bank = reinterpret_cast<void *>(count_unwrite);
        hooked.rectfill = count_rectfill;
        bmp->vtable = &hooked;
        bmp->write_bank = reinterpret_cast<void *>(count_write);
        acquired = released = unwritten = solid_fills = 0;
        rows_written.clear();
        trans_rectfill(bmp, c.x, 1, c.w, 9, 0x1234, c.fact);
        EXPECT_EQ(acquired, released);
        EXPECT_EQ(c.effect == SOLID ? 1 : 0, solid_fills);
        if (c.effect == BLEND) {
            EXPECT_EQ(1, acquired);
            EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), rows_written);
            EXPECT_GE(unwritten, 1);
        }
        if (c.effect == SOLID) {  // the library's own rectfill acquires once more inside
            EXPECT_GE(acquired, 1);
        }
        if (c.effect == NOTHING) {
            EXPECT_EQ(0, acquired);
            EXPECT_TRUE(rows_written.empty());
        }
        bmp->vtable = real_vtable;
        bmp->write_bank = real_write_bank;
        destroy_bitmap(bmp);
    }
}

TEST(TransFill, LoopChoice)
{
    start_headless(16);
    EXPECT_EQ(1, trans_fill_loop_available(TRANS_FILL_PORTABLE));
    EXPECT_EQ(-1, trans_fill_force_loop(TRANS_FILL_LOOPS));
    EXPECT_EQ(0, trans_fill_force_loop(TRANS_FILL_PORTABLE));
    EXPECT_EQ(TRANS_FILL_PORTABLE, trans_fill_current_loop());
    trans_fill_auto_loop();
    EXPECT_EQ(1, trans_fill_loop_available(trans_fill_current_loop()));
#if defined(__x86_64__)
    EXPECT_NE(TRANS_FILL_PORTABLE, trans_fill_current_loop()) << "amd64 always has SSE2";
#endif
}

}  // namespace
