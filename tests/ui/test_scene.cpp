// The scene, drawn headless into a 16-bit memory bitmap with the game's own
// datafile: the layout at the pixels a player sees, and each part against
// the same picture put together by hand from the art, the text layer and
// the translucent fill.
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

int colour(Rgb c) { return makecol(c.r, c.g, c.b); }

class Scene : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, start_game_headless()) << resource_error; }

    BITMAP *target = nullptr, *expected = nullptr;

    void SetUp() override { use_level(set_level_easy); }
    void TearDown() override { destroy_bitmap(target), destroy_bitmap(expected); }

    // A level whose cells are all open and empty: nothing but the grid.
    void use_level(void (*set)(void))
    {
        set();
        new_game();
        for (int i = 0; i < rows * cols; i++)
            board[i / cols][i % cols].state = CELL_UNCOVERED;
        for (BITMAP **b : {&target, &expected}) {
            if (*b)
                destroy_bitmap(*b);
            *b = create_bitmap(window_width, window_height);
        }
        *game_menu = GameMenu();
        mouse_x = mouse_y = 1000;  // off the window: nothing lit
    }
    void draw(bool over = false, bool lost_game = false) { draw_scene(target, over, lost_game); }
    int at(int x, int y) { return getpixel(target, x, y); }
    // The expected picture starts as this scene.
    void expect_from(BITMAP *scene) { blit(scene, expected, 0, 0, 0, 0, scene->w, scene->h); }
    // First pixel where the scene is not the expected picture, or "".
    std::string difference(void)
    {
        for (int y = 0; y < target->h; y++)
            for (int x = 0; x < target->w; x++)
                if (at(x, y) != getpixel(expected, x, y))
                    return std::to_string(x) + "," + std::to_string(y);
        return "";
    }
    // The ring just inside the rectangle is all `in`, the ring just outside all `out`.
    void expect_rings(int l, int t, int r, int b, Rgb in, Rgb out)
    {
        for (int d = 0; d >= -1; d--) {
            const int want = colour(d ? out : in);
            for (int x = l + d; x <= r - d; x++)
                ASSERT_TRUE(at(x, t + d) == want && at(x, b - d) == want) << "x " << x << " of " << l << "," << t;
            for (int y = t + d; y <= b - d; y++)
                ASSERT_TRUE(at(l + d, y) == want && at(r - d, y) == want) << "y " << y << " of " << l << "," << t;
        }
    }
};

TEST_F(Scene, EasyLayout)
{
    draw();
    using namespace palette;
    // The field frame holds only the grid: lines at x = 13, 33, ..., 193 and y = 42, ..., 222.
    for (int y = 39; y <= 225; y++)
        for (int x = 10; x <= 196; x++) {
            const bool across = x >= 13 && x <= 193, down = y >= 42 && y <= 222;
            const bool line = across && down && ((x - 13) % 20 == 0 || (y - 42) % 20 == 0);
            ASSERT_EQ(colour(line ? GRID : BACKGROUND), at(x, y)) << x << "," << y;
        }
    expect_rings(3, 3, 200, 266, PANEL, BACKGROUND);          // the border
    expect_rings(10, 39, 196, 225, BACKGROUND, PANEL);        // field frame
    expect_rings(8, 233, 196, 261, BACKGROUND, PANEL);        // status strip
    expect_rings(10, 235, 83, 259, BOX_OUTLINE, BACKGROUND);  // counter
    expect_rings(93, 235, 193, 259, BOX_OUTLINE, BACKGROUND); // clock
    // Bevels two pixels wide around the title and the face, light above and
    // left; the dark edges own the corners they share.
    const int bevels[2][4] = {{5, 4, 100, 36}, {103, 4, 136, 36}};
    for (const auto &b : bevels)
        for (int y = b[1]; y <= b[3]; y++)
            for (int x = b[0]; x <= b[2]; x++)
                if (x < b[0] + 2 || y < b[1] + 2 || x > b[2] - 2 || y > b[3] - 2) {
                    const bool dark = x > b[2] - 2 || (y > b[3] - 2 && x >= b[0] + 2);
                    ASSERT_EQ(colour(dark ? BEVEL_DARK : BEVEL_LIGHT), at(x, y)) << x << "," << y;
                }
    const struct { bool over, lost; int face; } faces[] = {
        {false, false, BMP_BHO}, {true, false, BMP_HAPPY}, {true, true, BMP_SAD}};
    for (const auto &f : faces) {
        draw(f.over, f.lost);
        expect_from(target);
        rectfill(expected, 105, 6, 134, 34, colour(PANEL));
        draw_sprite(expected, bitmap_table[f.face], 105, 6);
        EXPECT_EQ("", difference()) << "face " << f.face;
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
        const int w = target->w, h = target->h, fill = colour(palette::BOX_FILL), red = colour(palette::BOX_TEXT);
        expect_from(target);
        rectfill(expected, 11, h - 34, 82, h - 12, fill);
        rectfill(expected, w - 110, h - 34, w - 12, h - 12, fill);
        ttf_textout_aa_ex(expected, font_table[FONT_STATUS], c.counter, 23, h - 30, red, fill);
        ttf_textout_aa_ex(expected, font_table[FONT_STATUS], c.clock, w - 108, h - 30, red, fill);
        draw_sprite(expected, bitmap_table[BMP_SADT], 13, h - 33);
        EXPECT_EQ("", difference()) << c.counter << " " << c.clock;
    }
}

TEST_F(Scene, TitleButtonLightsUnderThePointerOrWhileOpen)
{
    using namespace palette;
    draw();
    EXPECT_EQ(colour(PANEL), at(7, 6));
    mouse_x = 99, mouse_y = 39;
    draw();
    EXPECT_TRUE(at(7, 6) == colour(TITLE_LIT) && at(97, 34) == colour(TITLE_LIT) && at(98, 20) == colour(PANEL));
    mouse_x = mouse_y = 1000;
    game_menu->open = true;
    draw();
    EXPECT_EQ(colour(TITLE_LIT), at(7, 6));
}

// The open menu over the scene: the panel blended at 191 from (3, 38), 140
// wide and 7.5 rows high; its outline one pixel outside at the right and the
// bottom; the rows at (13, 45 + 24 i), the hovered one red but never "---".
TEST_F(Scene, OpenMenu)
{
    BITMAP *closed = create_bitmap(target->w, target->h);
    mouse_x = 99, mouse_y = 39;  // the title lit either way
    draw();
    blit(target, closed, 0, 0, 0, 0, target->w, target->h);
    game_menu->open = true;
    for (int hovered : {-1, 2, 4}) {
        game_menu->hovered = hovered;
        draw();
        expect_from(closed);
        trans_rectfill(expected, 3, 38, 140, 180, colour(palette::MENU_PANEL), 191);
        rect(expected, 3, 38, 143, 218, colour(palette::MENU_OUTLINE));
        for (int i = 0; i < MENU_ITEM_COUNT; i++)
            ttf_textout_aa_ex(expected, font_table[FONT_MENU], menu_items[i], 13, 45 + 24 * i,
                              colour(i == hovered && i != 4 ? palette::MENU_ROW_HOVERED : palette::MENU_ROW), -1);
        EXPECT_EQ("", difference()) << "hovered " << hovered;
    }
    destroy_bitmap(closed);
}

// Each look of the cell at (3, 8) over the same cell open and empty. The
// text of a count is transparent although the status line drew opaque text
// in the passes before.
TEST_F(Scene, CellLooks)
{
    const int x = BOARD_LEFT + 60, y = BOARD_TOP + 160;
    using Look = std::function<void()>;
    auto art = [&](int slot, int dx) -> Look { return [=] { draw_sprite(expected, bitmap_table[slot], x + dx, y); }; };
    auto glow = [&](int g) -> Look { return [=] { trans_rectfill(expected, x, y, 20, 20, colour(palette::GLOW), g); }; };
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
        {CELL_UNCOVERED | CELL_HOVER, 0, 1, 99, 1, {count(1, palette::NUMBERS[0])}},
        {CELL_UNCOVERED, 0, 8, 0, 0, {count(8, {230, 174, 155})}},  // 6 to 8 take the colours of 1 to 3
    };
    BITMAP *empty = create_bitmap(target->w, target->h);
    draw();
    blit(target, empty, 0, 0, 0, 0, target->w, target->h);
    for (const auto &c : cases) {
        cell_at(3, 8) = {c.state, c.count, c.glow, 0, c.pressed, c.tooth};
        draw();
        expect_from(empty);
        for (const Look &look : c.looks)
            look();
        EXPECT_EQ("", difference()) << "state " << c.state << ", count " << c.count << ", glow " << c.glow;
    }
    destroy_bitmap(empty);
}

}  // namespace
