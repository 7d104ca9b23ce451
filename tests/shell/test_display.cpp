// The display module headless: with no window system every graphics mode is
// refused; a memory bitmap stands for the window to show frames into.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "minefield/board.h"
#include "shell/display.h"
#include "shell/menu/menu.h"
#include "shell/resources.h"
#include "shell/shell.h"
#include "support/headless.h"

namespace {

class DisplayHeadless : public testing::Test {
protected:
    void SetUp() override
    {
        start_headless();
        screen_flags = 0;
        screen_configured = false;
        screen_failed = false;
        draw_target = nullptr;
    }
};

TEST_F(DisplayHeadless, SetupBeforeConfigureIsRefusedAndChangesNothing)
{
    screen_flags = SCREEN_DOUBLE_BUFFER;
    EXPECT_EQ(-1, screen_setup());
    EXPECT_EQ(SCREEN_DOUBLE_BUFFER, screen_flags);
    EXPECT_FALSE(screen_failed);
    EXPECT_EQ(nullptr, draw_target);
    // Nothing was set up, so there is nothing to show or tear down.
    screen_flags = 0;
    EXPECT_EQ(0, screen_show());
    EXPECT_EQ(0, screen_teardown());
}

TEST_F(DisplayHeadless, RefusedModeEntersTheFailedStateUntilTheNextConfigure)
{
    EXPECT_EQ(0, screen_configure(SCREEN_DOUBLE_BUFFER | SCREEN_PAGE_FLIP, 204, 270, 16));
    EXPECT_EQ(0, page_index);
    BITMAP *stale = create_bitmap(4, 4);
    draw_target = stale;  // what a previous set-up may have left behind
    EXPECT_EQ(-1, screen_setup());
    EXPECT_TRUE(screen_failed);
    EXPECT_EQ(0, screen_flags);
    EXPECT_EQ(nullptr, back_buffer);
    EXPECT_EQ(nullptr, draw_target) << "a refused mode must not leave a target to draw into";
    EXPECT_EQ(-1, screen_show());
    EXPECT_EQ(-1, screen_teardown());
    destroy_bitmap(stale);

    EXPECT_EQ(0, screen_configure(SCREEN_DOUBLE_BUFFER, 344, 410, 16));
    EXPECT_FALSE(screen_failed);
    EXPECT_EQ(344, screen_width);
    EXPECT_EQ(410, screen_height);
    EXPECT_EQ(16, screen_depth);
}

// A scripted game through the real main loop, each frame shown into a
// memory window: after every pass the window must hold what a whole copy of
// the frame would have left there, though only changed rows were copied.
class ShownWindow : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, start_game_headless()) << resource_error; }
    static void TearDownTestSuite() { stop_game_headless(); }
    void TearDown() override
    {
        screen_teardown();
        destroy_bitmap(window);
        quit_requested = 0;
    }

    // What the shell's set-up gives, with a window of stale pixels.
    void set_up(void)
    {
        if (window)
            screen_teardown(), destroy_bitmap(window);
        screen_configure(SCREEN_DOUBLE_BUFFER, window_width, window_height, 16);
        draw_target = back_buffer = create_bitmap(window_width, window_height);
        window = window_bitmap = create_bitmap(window_width, window_height);
        clear_to_color(window, makecol(255, 0, 255));
    }
    // First row where the window differs from the frame, or -1.
    int first_wrong_row(void)
    {
        for (int y = 0; y < window->h; y++)
            if (std::memcmp(window->line[y], back_buffer->line[y], window->w * 2) != 0)
                return y;
        return -1;
    }
    void pass(int x, int y, int buttons)
    {
        mouse_x = x, mouse_y = y, mouse_b = buttons;
        main_loop_pass();
    }

    BITMAP *window = nullptr;
};

TEST_F(ShownWindow, EveryPassShowsTheWholeFrame)
{
    unsigned seed = 20240615;
    std::mt19937 rng(seed);
    srand(seed);
    for (int size : {0, 5}) {  // Easy, then the largest custom field
        size ? set_level_custom(size, 2) : set_level_easy();
        new_game();
        *game_menu = GameMenu();
        set_up();
        for (int i = 0; i < 400; i++) {
            int x = rng() % window_width, y = rng() % window_height;
            int buttons = rng() % 4 == 0 ? rng() % 4 : 0;  // left, right or both
            if (game_menu->open && x >= MENU_BAND_LEFT && x <= MENU_BAND_RIGHT && y >= MENU_BAND_TOP)
                buttons = 0;  // an item would remake the window, which headless cannot
            pass(x, y, buttons);
            ASSERT_EQ(-1, first_wrong_row()) << "seed " << seed << ", size " << size << ", pass " << i;
        }
    }
    // Only changed rows reach the window: a pixel the frame never touched
    // stays wrong until the window is declared lost.
    pass(-1, -1, 0);
    putpixel(window, 0, window->h - 1, 0);
    pass(-1, -1, 0);
    EXPECT_EQ(window->h - 1, first_wrong_row());
    screen_invalidate();
    pass(-1, -1, 0);
    EXPECT_EQ(-1, first_wrong_row());
}

// Rows are compared in chunks: single pixels on either side of a chunk's
// edge and at the frame's edges, which the scene never changes.
TEST_F(ShownWindow, LonePixelsAtEdgesAreCopied)
{
    set_level_easy();
    set_up();
    screen_show();
    int w = window->w, h = window->h;
    for (int x : {0, 1, 31, 32, 33, w - 33, w - 32, w - 2, w - 1})
        for (int y : {0, h / 2, h - 1}) {
            putpixel(back_buffer, x, y, getpixel(back_buffer, x, y) ^ 0x8000);  // one byte of two
            screen_show();
            ASSERT_EQ(-1, first_wrong_row()) << "pixel " << x << ", " << y;
        }
    screen_teardown();
    EXPECT_EQ(0, screen_show()) << "a frame shown after teardown has nowhere to go";
}

}  // namespace
