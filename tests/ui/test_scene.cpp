// The scene, drawn headless into a 16-bit memory bitmap with the game's own
// datafile, checked at the coordinates a player sees.
#include <gtest/gtest.h>

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
    static void TearDownTestSuite() { stop_game_headless(); }

    BITMAP *target = nullptr;

    void SetUp() override { use_level(set_level_easy); }
    void TearDown() override { destroy_bitmap(target); }

    void use_level(void (*set)(void))
    {
        set();
        new_game();
        if (target)
            destroy_bitmap(target);
        target = create_bitmap(window_width, window_height);
        *game_menu = GameMenu();
        mouse_x = mouse_y = 1000;  // off the window: nothing lit
    }
    void draw(bool over = false, bool lost_game = false) { draw_scene(target, over, lost_game); }
    int at(int x, int y) { return getpixel(target, x, y); }

    // Every opaque pixel of the sprite is where draw_sprite puts it.
    bool shows_sprite(BITMAP *sprite, int x, int y)
    {
        for (int r = 0; r < sprite->h; r++)
            for (int c = 0; c < sprite->w; c++) {
                int p = getpixel(sprite, c, r);
                if (p != bitmap_mask_color(sprite) && at(x + c, y + r) != p)
                    return false;
            }
        return true;
    }
    bool block_has(int x, int y, int w, int h, int pixel)
    {
        for (int r = y; r < y + h; r++)
            for (int c = x; c < x + w; c++)
                if (at(c, r) == pixel)
                    return true;
        return false;
    }
};

TEST_F(Scene, EasyFrameGridAndStatusLine)
{
    draw();
    int background = colour(palette::BACKGROUND), panel = colour(palette::PANEL);
    // Border, inner panel.
    EXPECT_EQ(background, at(2, 100));
    EXPECT_EQ(panel, at(3, 100));
    EXPECT_EQ(panel, at(200, 266));
    EXPECT_EQ(background, at(201, 266));
    // Field frame (10, 39)..(196, 225) around the grid.
    EXPECT_EQ(background, at(10, 39));
    EXPECT_EQ(background, at(196, 225));
    EXPECT_EQ(panel, at(9, 39));
    EXPECT_EQ(panel, at(197, 225));
    EXPECT_EQ(panel, at(100, 226));
    // The last grid lines close the grid at x = 193 and y = 222.
    int grid = colour(palette::GRID);
    EXPECT_EQ(grid, at(193, 50));
    EXPECT_EQ(grid, at(100, 222));
    EXPECT_EQ(background, at(194, 50));
    // Status strip (8, 233)..(196, 261).
    EXPECT_EQ(background, at(8, 233));
    EXPECT_EQ(background, at(196, 261));
    EXPECT_EQ(panel, at(8, 232));
    EXPECT_EQ(panel, at(197, 261));
    // Counter box (10, 235)..(83, 259) and clock box (93, 235)..(193, 259).
    int outline = colour(palette::BOX_OUTLINE), fill = colour(palette::BOX_FILL);
    EXPECT_EQ(outline, at(10, 235));
    EXPECT_EQ(outline, at(83, 259));
    EXPECT_EQ(fill, at(11, 236));
    EXPECT_EQ(fill, at(82, 258));
    EXPECT_EQ(outline, at(93, 235));
    EXPECT_EQ(outline, at(193, 259));
    EXPECT_EQ(fill, at(192, 258));
    EXPECT_EQ(background, at(92, 240));
    // The tooth icon at (13, 237), over the counter's box.
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_SADT], 13, 237));
    // Red digits on the boxes' own fill, none outside the text lines.
    int red = colour(palette::BOX_TEXT);
    EXPECT_TRUE(block_has(30, 240, 53, 16, red));
    EXPECT_TRUE(block_has(96, 240, 97, 16, red));
    EXPECT_FALSE(block_has(94, 236, 99, 4, red));
}

TEST_F(Scene, HardClockHangsFromTheBottomRight)
{
    use_level(set_level_hard);
    draw();
    EXPECT_EQ(colour(palette::BOX_OUTLINE), at(513, 375));
    EXPECT_EQ(colour(palette::BOX_OUTLINE), at(613, 399));
    EXPECT_EQ(colour(palette::BOX_FILL), at(514, 376));
    EXPECT_TRUE(block_has(516, 380, 97, 16, colour(palette::BOX_TEXT)));
    EXPECT_EQ(colour(palette::GRID), at(613, 100));  // 13 + 20 x 30
    EXPECT_EQ(colour(palette::BACKGROUND), at(616, 365));
}

TEST_F(Scene, FaceFollowsTheGameAndSitsInItsBevel)
{
    draw();
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_BHO], 105, 6));
    int light = colour(palette::BEVEL_LIGHT), dark = colour(palette::BEVEL_DARK);
    EXPECT_EQ(light, at(103, 4));
    EXPECT_EQ(light, at(134, 5));
    EXPECT_EQ(light, at(104, 36));
    EXPECT_EQ(dark, at(105, 35));
    EXPECT_EQ(dark, at(136, 4));
    EXPECT_EQ(dark, at(136, 36));
    EXPECT_EQ(colour(palette::PANEL), at(137, 20));
    draw(true, false);
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_HAPPY], 105, 6));
    draw(true, true);
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_SAD], 105, 6));
}

TEST_F(Scene, TitleButtonLightsUnderThePointerOrWhileOpen)
{
    int lit = colour(palette::TITLE_LIT);
    draw();
    EXPECT_NE(lit, at(7, 6));
    EXPECT_EQ(colour(palette::BEVEL_LIGHT), at(5, 4));
    EXPECT_EQ(colour(palette::BEVEL_DARK), at(100, 36));
    mouse_x = 99, mouse_y = 39;
    draw();
    EXPECT_EQ(lit, at(7, 6));
    EXPECT_EQ(lit, at(97, 34));
    EXPECT_EQ(colour(palette::PANEL), at(98, 20)) << "column 98 keeps the panel colour";
    mouse_x = mouse_y = 1000;
    game_menu->open = true;
    draw();
    EXPECT_EQ(lit, at(7, 6));
}

// At 16 bits strength 191 blends with f = 24 of 32 per 5/6-bit field.
int blend16(int under, Rgb over)
{
    int over_px = makecol16(over.r, over.g, over.b);
    int out = 0;
    const int masks[3] = {0xF800, 0x07E0, 0x001F};
    const int shifts[3] = {11, 5, 0};
    for (int i = 0; i < 3; i++) {
        int d = (under & masks[i]) >> shifts[i], s = (over_px & masks[i]) >> shifts[i];
        out |= (d * 8 / 32 + s * 24 / 32) << shifts[i];
    }
    return out;
}

TEST_F(Scene, MenuPanelBlendsOverTheFieldWithItsOutline)
{
    draw();
    BITMAP *closed = create_bitmap(target->w, target->h);
    blit(target, closed, 0, 0, 0, 0, target->w, target->h);
    game_menu->open = true;
    game_menu->hovered = -1;
    draw();
    // The panel is 140 x 180 from (3, 38); x = 138 is right of every row's text.
    for (int y : {40, 100, 150, 217}) {
        EXPECT_EQ(blend16(getpixel(closed, 138, y), palette::MENU_PANEL), at(138, y)) << y;
    }
    EXPECT_EQ(getpixel(closed, 144, 100), at(144, 100)) << "right of the outline is untouched";
    EXPECT_EQ(getpixel(closed, 100, 219), at(100, 219)) << "below the outline is untouched";
    int outline = colour(palette::MENU_OUTLINE);
    EXPECT_EQ(outline, at(3, 38));
    EXPECT_EQ(outline, at(143, 100));
    EXPECT_EQ(outline, at(143, 218));
    EXPECT_EQ(outline, at(50, 218));
    destroy_bitmap(closed);
}

TEST_F(Scene, HoveredMenuRowIsRedButNeverTheSeparator)
{
    int red = colour(palette::MENU_ROW_HOVERED), white = colour(palette::MENU_ROW);
    game_menu->open = true;
    game_menu->hovered = 2;  // "Hard", row at y = 45 + 48
    draw();
    EXPECT_TRUE(block_has(13, 93, 120, 20, red));
    EXPECT_FALSE(block_has(13, 45, 120, 20, red));
    game_menu->hovered = 4;  // "---"
    draw();
    EXPECT_FALSE(block_has(13, 141, 120, 20, red));
    EXPECT_TRUE(block_has(13, 141, 120, 20, white));
}

TEST_F(Scene, CellLooks)
{
    // The bottom row: a tooth's 21st row lies on the grid line below, which
    // a covered cell further down would paint over.
    Cell &cell = cell_at(3, 8);
    int x = BOARD_LEFT + 60, y = BOARD_TOP + 160;
    BITMAP *cell_art = bitmap_table[BMP_CELL];

    draw();
    EXPECT_TRUE(shows_sprite(cell_art, x, y));

    cell.pressed = 1;  // held down: nothing, not even flag or glow
    cell.state = CELL_COVERED | CELL_FLAGGED;
    cell.glow = 180;
    draw();
    EXPECT_EQ(colour(palette::BACKGROUND), at(x + 10, y + 10));
    EXPECT_EQ(colour(palette::GRID), at(x, y + 10));
    cell.pressed = 0;

    for (int glow : {0, -4}) {  // no tint
        cell.glow = glow;
        draw();
        EXPECT_TRUE(shows_sprite(bitmap_table[BMP_FLAG], x, y)) << glow;
    }
    cell.glow = 180;
    draw();
    EXPECT_FALSE(shows_sprite(bitmap_table[BMP_FLAG], x, y)) << "the glow tints the flag";

    cell.state = CELL_UNCOVERED;
    cell.decayed = 1;
    draw();
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_SADT], x + 1, y));
    cell.decayed = 0;
    cell.count = 0;
    draw();
    EXPECT_EQ(colour(palette::BACKGROUND), at(x + 10, y + 10));
}

TEST_F(Scene, CountsAboveFiveRepeatTheFirstColours)
{
    EXPECT_EQ(number_colour(1), number_colour(6));
    EXPECT_EQ(number_colour(2), number_colour(7));
    EXPECT_EQ(number_colour(3), number_colour(8));
    EXPECT_EQ(makecol(220, 210, 154), number_colour(6));
    EXPECT_EQ(makecol(230, 174, 155), number_colour(8));
    EXPECT_NE(number_colour(4), number_colour(5));

    Cell &cell = cell_at(0, 0);
    cell.state = CELL_UNCOVERED;
    cell.count = 8;
    draw();
    EXPECT_TRUE(block_has(BOARD_LEFT, BOARD_TOP, 20, 20, number_colour(3)));
    EXPECT_FALSE(block_has(BOARD_LEFT, BOARD_TOP, 20, 20, number_colour(1)));
}

TEST_F(Scene, TextIsTransparentAgainAfterTheStatusLine)
{
    ttf_text_mode(123);
    draw();
    EXPECT_EQ(-1, ttf_text_mode(-1));
}

}  // namespace
