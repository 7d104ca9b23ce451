// The scene drawn headless with the game's datafile: the layout at the
// pixels a player sees, and each part against the same picture put together
// by hand from the art, the text layer and the translucent fill.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gfx/trans_fill.h"
#include "minefield/board.h"
#include "shell/menu/menu.h"
#include "shell/resources.h"
#include "support/headless.h"
#include "ui/scene.h"

namespace {

using namespace palette;
int colour(Rgb c) { return makecol(c.r, c.g, c.b); }

class Scene : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, start_game_headless()) << resource_error; }
    void SetUp() override { use_level(set_level_easy); }
    void TearDown() override { destroy_bitmap(target), destroy_bitmap(expected), destroy_bitmap(before); }

    BITMAP *target = nullptr, *expected = nullptr, *before = nullptr;

    // A level whose cells are all open and empty: nothing but the grid.
    void use_level(void (*set)(void))
    {
        set();
        new_game();
        for (int i = 0; i < rows * cols; i++)
            board[i / cols][i % cols].state = CELL_UNCOVERED;
        for (BITMAP **b : {&target, &expected, &before}) {
            if (*b)
                destroy_bitmap(*b);
            *b = create_bitmap(window_width, window_height);
        }
        *game_menu = GameMenu();
        mouse_x = mouse_y = 1000;  // off the window: nothing lit
    }
    // Draws; the expected picture starts as the scene drawn before.
    void draw(bool over = false, bool lost_game = false)
    {
        blit(target, before, 0, 0, 0, 0, target->w, target->h);
        draw_scene(target, over, lost_game);
        blit(before, expected, 0, 0, 0, 0, target->w, target->h);
    }
    int at(int x, int y) { return getpixel(target, x, y); }
    // First pixel where the scene is not the expected picture, or "".
    std::string difference(void)
    {
        for (int i = 0; i < target->w * target->h; i++)
            if (at(i % target->w, i / target->w) != getpixel(expected, i % target->w, i / target->w))
                return std::to_string(i % target->w) + "," + std::to_string(i / target->w);
        return "";
    }
};

TEST_F(Scene, EasyLayoutFacesAndTheLitTitle)
{
    draw();
    // The field frame holds only the grid: lines at x = 13, 33, ..., 193 and
    // y = 42, ..., 222; each box has an outline ring inside and the
    // background outside; light bevels two pixels wide around the title and
    // the face, whose dark edges own the corners they share.
    for (int y = 39; y <= 225; y++)
        for (int x = 10; x <= 196; x++) {
            const bool line = x >= 13 && x <= 193 && y >= 42 && y <= 222 && ((x - 13) % 20 == 0 || (y - 42) % 20 == 0);
            ASSERT_EQ(colour(line ? GRID : BACKGROUND), at(x, y)) << x << "," << y;
        }
    const struct { int l, t, r, b; Rgb in, out; } rings[] = {
        {3, 3, 200, 266, PANEL, BACKGROUND}, {10, 39, 196, 225, BACKGROUND, PANEL},
        {10, 235, 83, 259, BOX_OUTLINE, BACKGROUND}, {93, 235, 193, 259, BOX_OUTLINE, BACKGROUND}};
    for (const auto &g : rings)
        for (int d = 0; d >= -1; d--)
            for (int y = g.t + d; y <= g.b - d; y++)
                for (int x = g.l + d; x <= g.r - d; x += y == g.t + d || y == g.b - d ? 1 : g.r - g.l - 2 * d)
                    ASSERT_EQ(colour(d ? g.out : g.in), at(x, y)) << x << "," << y;
    for (const auto &b : {std::vector<int>{5, 4, 100, 36}, std::vector<int>{103, 4, 136, 36}})
        for (int y = b[1]; y <= b[3]; y++)
            for (int x = b[0]; x <= b[2]; x++)
                if (x < b[0] + 2 || y < b[1] + 2 || x > b[2] - 2 || y > b[3] - 2) {
                    const bool dark = x > b[2] - 2 || (y > b[3] - 2 && x >= b[0] + 2);
                    ASSERT_EQ(colour(dark ? BEVEL_DARK : BEVEL_LIGHT), at(x, y)) << x << "," << y;
                }
    const int faces[][3] = {{0, 0, BMP_BHO}, {1, 0, BMP_HAPPY}, {1, 1, BMP_SAD}};
    for (const auto &f : faces) {
        draw(f[0], f[1]);
        rectfill(expected, 105, 6, 134, 34, colour(PANEL));
        draw_sprite(expected, bitmap_table[f[2]], 105, 6);
        EXPECT_EQ("", difference()) << "face " << f[2];
    }
    // The title lights under the pointer, up to (99, 39), or while the menu is open.
    EXPECT_EQ(colour(PANEL), at(7, 6));
    for (int open = 0; open < 2; open++) {
        mouse_x = open ? 1000 : 99, mouse_y = open ? 1000 : 39, game_menu->open = open;
        draw();
        EXPECT_TRUE(at(7, 6) == colour(TITLE_LIT) && at(97, 34) == colour(TITLE_LIT) && at(98, 20) == colour(PANEL));
    }
}

// Counter and clock print on the boxes' own fill: " :%3d" of the teeth
// left, the clock in minutes, seconds and sixtieths; the tooth over the
// counter. Both boxes hang from the bottom, the clock from the right.
TEST_F(Scene, CounterAndClock)
{
    const struct { void (*level)(void); int teeth; uint32_t ticks; const char *counter, *clock; } cases[] = {
        {set_level_easy, 10, 0, " : 10", "00:00:00"},
        {set_level_easy, -3, 3725, " : -3", "01:02:05"},
        {set_level_hard, 100, 360000, " :100", "100:00:00"},
    };
    for (const auto &c : cases) {
        use_level(c.level);
        teeth_left = c.teeth, ticks = c.ticks;
        draw();
        blit(target, expected, 0, 0, 0, 0, target->w, target->h);
        const int w = target->w, h = target->h, fill = colour(BOX_FILL), red = colour(BOX_TEXT);
        rectfill(expected, 11, h - 34, 82, h - 12, fill);
        rectfill(expected, w - 110, h - 34, w - 12, h - 12, fill);
        ttf_textout_aa_ex(expected, font_table[FONT_STATUS], c.counter, 23, h - 30, red, fill);
        ttf_textout_aa_ex(expected, font_table[FONT_STATUS], c.clock, w - 108, h - 30, red, fill);
        draw_sprite(expected, bitmap_table[BMP_SADT], 13, h - 33);
        EXPECT_EQ("", difference()) << c.counter << " " << c.clock;
    }
}

// Each look of the cell at (3, 8) over the same cell open and empty. The
// text of a count is transparent although the status line drew opaque text
// in the passes before.
TEST_F(Scene, CellLooks)
{
    const int x = BOARD_LEFT + 60, y = BOARD_TOP + 160;
    using Look = std::function<void()>;
    auto art = [&](int slot, int dx) -> Look { return [=] { draw_sprite(expected, bitmap_table[slot], x + dx, y); }; };
    auto glow = [&](int g) -> Look { return [=] { trans_rectfill(expected, x, y, 20, 20, colour(GLOW), g); }; };
    auto count = [&](unsigned n, Rgb c) -> Look {
        return [=] { ttf_textprintf_aa_ex(expected, font_table[FONT_MENU], x + 4, y + 1, colour(c), -1, "%u", n); };
    };
    const Look cell = art(BMP_CELL, 0), flag = art(BMP_FLAG, 0);
    const struct { uint32_t state; uint8_t tooth; uint32_t count; int glow; uint32_t pressed; std::vector<Look> looks; } cases[] = {
        {CELL_COVERED, 0, 0, 0, 0, {cell}},
        {CELL_COVERED | CELL_FLAGGED, 1, 3, -4, 0, {cell, flag}},  // the fade's -4 is no tint
        {CELL_COVERED | CELL_FLAGGED | CELL_HOVER, 0, 0, 180, 0, {cell, flag, glow(180)}},
        {CELL_COVERED, 0, 0, 8, 0, {cell, glow(8)}},
        {CELL_COVERED | CELL_FLAGGED, 0, 0, 180, 1, {}},  // held down: nothing at all
        {CELL_UNCOVERED, 1, 2, 0, 0, {art(BMP_SADT, 1)}},
        {CELL_UNCOVERED | CELL_HOVER, 0, 1, 99, 1, {count(1, NUMBERS[0])}},
        {CELL_UNCOVERED, 0, 8, 0, 0, {count(8, {230, 174, 155})}},  // 6 to 8 take the colours of 1 to 3
    };
    for (const auto &c : cases) {
        cell_at(3, 8) = {CELL_UNCOVERED, 0, 0, 0, 0, 0};
        draw();
        cell_at(3, 8) = {c.state, c.count, c.glow, 0, c.pressed, c.tooth};
        draw();
        for (const Look &look : c.looks)
            look();
        EXPECT_EQ("", difference()) << "state " << c.state << ", count " << c.count << ", glow " << c.glow;
    }
}

}  // namespace
