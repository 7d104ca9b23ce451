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
    struct Expected {
        int x, y;
        Rgb colour;
    };
    void expect_pixels(std::initializer_list<Expected> pixels)
    {
        for (const Expected &e : pixels)
            EXPECT_EQ(colour(e.colour), at(e.x, e.y)) << "at " << e.x << "," << e.y;
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

TEST_F(Scene, EasyFrameGridStatusLineAndFace)
{
    draw();
    using namespace palette;
    expect_pixels({
        {2, 100, BACKGROUND}, {3, 100, PANEL}, {200, 266, PANEL}, {201, 266, BACKGROUND},  // border
        {10, 39, BACKGROUND}, {196, 225, BACKGROUND}, {9, 39, PANEL}, {197, 225, PANEL},    // field frame
        {100, 226, PANEL}, {193, 50, GRID}, {100, 222, GRID}, {194, 50, BACKGROUND},       // closing grid lines
        {8, 233, BACKGROUND}, {196, 261, BACKGROUND}, {8, 232, PANEL}, {197, 261, PANEL},  // status strip
        {10, 235, BOX_OUTLINE}, {83, 259, BOX_OUTLINE}, {11, 236, BOX_FILL}, {82, 258, BOX_FILL},  // counter
        {93, 235, BOX_OUTLINE}, {193, 259, BOX_OUTLINE}, {192, 258, BOX_FILL}, {92, 240, BACKGROUND},  // clock
        {103, 4, BEVEL_LIGHT}, {134, 5, BEVEL_LIGHT}, {104, 36, BEVEL_LIGHT},  // face bevel
        {105, 35, BEVEL_DARK}, {136, 4, BEVEL_DARK}, {136, 36, BEVEL_DARK}, {137, 20, PANEL},
    });
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_SADT], 13, 237)) << "the tooth over the counter's box";
    // Red digits on the boxes' own fill, none outside the text lines.
    int red = colour(BOX_TEXT);
    EXPECT_TRUE(block_has(30, 240, 53, 16, red));
    EXPECT_TRUE(block_has(96, 240, 97, 16, red));
    EXPECT_FALSE(block_has(94, 236, 99, 4, red));

    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_BHO], 105, 6));
    draw(true, false);
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_HAPPY], 105, 6));
    draw(true, true);
    EXPECT_TRUE(shows_sprite(bitmap_table[BMP_SAD], 105, 6));
}

TEST_F(Scene, HardClockHangsFromTheBottomRight)
{
    use_level(set_level_hard);
    draw();
    using namespace palette;
    expect_pixels({{513, 375, BOX_OUTLINE}, {613, 399, BOX_OUTLINE}, {514, 376, BOX_FILL},
                   {613, 100, GRID}, {616, 365, BACKGROUND}});
    EXPECT_TRUE(block_has(516, 380, 97, 16, colour(BOX_TEXT)));
}

TEST_F(Scene, TitleButtonLightsUnderThePointerOrWhileOpen)
{
    using namespace palette;
    draw();
    expect_pixels({{7, 6, PANEL}, {5, 4, BEVEL_LIGHT}, {100, 36, BEVEL_DARK}});
    mouse_x = 99, mouse_y = 39;
    draw();
    expect_pixels({{7, 6, TITLE_LIT}, {97, 34, TITLE_LIT}, {98, 20, PANEL}});  // column 98 stays
    mouse_x = mouse_y = 1000;
    game_menu->open = true;
    draw();
    expect_pixels({{7, 6, TITLE_LIT}});
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
    using palette::MENU_OUTLINE;
    expect_pixels({{3, 38, MENU_OUTLINE}, {143, 100, MENU_OUTLINE}, {143, 218, MENU_OUTLINE}, {50, 218, MENU_OUTLINE}});
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
    expect_pixels({{x + 10, y + 10, palette::BACKGROUND}, {x, y + 10, palette::GRID}});
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
    expect_pixels({{x + 10, y + 10, palette::BACKGROUND}});
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
