// The display module on a window that is a memory bitmap: the four update
// schemes, a refused mode, and frames copied to the window only where they
// changed.
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
#include "support/windowless.h"

namespace {

class Display : public testing::Test {
protected:
    void SetUp() override
    {
        start_headless();
        use_windowless_system();
        remove_mouse();  // a pointer the library draws would force whole copies
        refuse_mode = offer_pages = false;
        screen_configured = screen_failed = false;
    }
    void TearDown() override { screen_teardown(); }
};

TEST_F(Display, SetupNeedsAConfigureAndARefusedModeFailsUntilTheNext)
{
    screen_flags = SCREEN_DOUBLE_BUFFER;
    draw_target = nullptr;
    EXPECT_EQ(-1, screen_setup());
    EXPECT_TRUE(screen_flags == SCREEN_DOUBLE_BUFFER && !screen_failed && !draw_target) << "changed nothing";
    refuse_mode = true;
    screen_configure(SCREEN_DOUBLE_BUFFER | SCREEN_PAGE_FLIP, 204, 270, 16);
    EXPECT_EQ(-1, screen_setup());
    EXPECT_TRUE(screen_failed && screen_flags == 0);
    EXPECT_EQ(nullptr, draw_target) << "a refused mode must not leave a target to draw into";
    EXPECT_TRUE(screen_show() == -1 && screen_teardown() == -1);
    screen_configure(SCREEN_DOUBLE_BUFFER, 344, 410, 16);
    EXPECT_FALSE(screen_failed);
}

// Each scheme, with and without video pages: where frames are drawn, which
// target follows which, and what reaches the window or the shown page.
TEST_F(Display, EverySchemeShowsTheFrameJustDrawn)
{
    const struct { int flags; bool pages; int result_flags, cycle; } schemes[] = {
        {0, false, 0, 1},
        {SCREEN_DOUBLE_BUFFER, false, SCREEN_DOUBLE_BUFFER, 1},
        {SCREEN_PAGE_FLIP, true, SCREEN_PAGE_FLIP, 2},
        {SCREEN_TRIPLE_BUFFER, true, SCREEN_TRIPLE_BUFFER, 3},
        {SCREEN_PAGE_FLIP | SCREEN_DOUBLE_BUFFER, true, SCREEN_PAGE_FLIP | SCREEN_DOUBLE_BUFFER, 1},
        {SCREEN_TRIPLE_BUFFER | SCREEN_DOUBLE_BUFFER, true, SCREEN_TRIPLE_BUFFER | SCREEN_DOUBLE_BUFFER, 1},
        {SCREEN_PAGE_FLIP, false, SCREEN_DOUBLE_BUFFER, 1},  // missing pages: a back buffer instead
        {SCREEN_TRIPLE_BUFFER, false, SCREEN_DOUBLE_BUFFER, 1},
    };
    for (const auto &s : schemes) {
        SCOPED_TRACE(testing::Message() << "flags " << s.flags << (s.pages ? " with" : " without") << " pages");
        offer_pages = s.pages;
        shown_page = nullptr;
        screen_configure(s.flags, 204, 270, 16);
        ASSERT_EQ(0, screen_setup());
        EXPECT_EQ(s.result_flags, screen_flags);
        EXPECT_TRUE(screen_flags & SCREEN_DOUBLE_BUFFER ? draw_target == back_buffer && is_memory_bitmap(back_buffer)
                    : screen_flags ? draw_target == pages[0] : draw_target == screen);
        BITMAP *targets[4];
        for (int frame = 0; frame < 4; frame++) {
            targets[frame] = draw_target;
            clear_to_color(draw_target, frame + 1);
            ASSERT_EQ(0, screen_show());
            BITMAP *shown = s.pages ? shown_page : screen;
            ASSERT_NE(nullptr, shown);
            EXPECT_EQ(frame + 1, getpixel(shown, 203, 269)) << "frame " << frame;
        }
        for (int frame = 1; frame < 4; frame++)
            EXPECT_EQ(frame % s.cycle == 0, targets[frame] == targets[0]) << "frame " << frame;
        EXPECT_TRUE(screen_teardown() == 0 && !back_buffer && !draw_target && !pages[0]);
    }
}

// A scripted game through the real main loop, each frame shown into the
// window: after every pass the window must hold what a whole copy of the
// frame would have left there, though only changed rows were copied.
class ShownWindow : public Display {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, start_game_headless()) << resource_error; }
    static void TearDownTestSuite() { stop_game_headless(); }
    void TearDown() override { Display::TearDown(), quit_requested = 0; }

    // First row where the window differs from the frame, or -1.
    int first_wrong_row(void)
    {
        for (int y = 0; y < screen->h; y++)
            if (std::memcmp(screen->line[y], back_buffer->line[y], screen->w * 2) != 0)
                return y;
        return -1;
    }
    void set_up(void)
    {
        screen_teardown();  // as the shell does before every new mode
        screen_configure(SCREEN_DOUBLE_BUFFER, window_width, window_height, 16);
        ASSERT_EQ(0, screen_setup());
        clear_to_color(screen, makecol(255, 0, 255));  // stale pixels
    }
    void pass(int x, int y, int buttons) { mouse_x = x, mouse_y = y, mouse_b = buttons, main_loop_pass(); }
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
                buttons = 0;  // an item would change the level or wait in a dialog
            pass(x, y, buttons);
            ASSERT_EQ(-1, first_wrong_row()) << "seed " << seed << ", size " << size << ", pass " << i;
        }
    }
    // Only changed rows reach the window: a pixel the frame never touched
    // stays wrong until the window is declared lost.
    pass(-1, -1, 0);
    putpixel(screen, 0, screen->h - 1, 0);
    pass(-1, -1, 0);
    EXPECT_EQ(screen->h - 1, first_wrong_row());
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
    int w = screen->w, h = screen->h;
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
