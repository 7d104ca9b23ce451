// Passes of the main loop, headless: the menu, the face and the board in the
// order one pass takes them, drawn into a memory bitmap.
#include <gtest/gtest.h>

#include <cstdlib>

#include "minefield/board.h"
#include "shell/display.h"
#include "shell/menu/menu.h"
#include "shell/resources.h"
#include "shell/shell.h"
#include "support/headless.h"

namespace {

constexpr int MARK = 0x1234;  // a pixel no scene draws at (0, 0)

class MainLoop : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, start_game_headless()) << resource_error; }
    static void TearDownTestSuite() { stop_game_headless(); }

    void SetUp() override
    {
        srand(3);
        set_level_easy();
        new_game();
        *game_menu = GameMenu();
        quit_requested = 0;
        board_armed = 0;
        screen_flags = 0;  // no window headless: showing a frame copies nothing
        screen_failed = false;
        draw_target = create_bitmap(window_width, window_height);
        putpixel(draw_target, 0, 0, MARK);
    }
    void TearDown() override
    {
        destroy_bitmap(draw_target);
        draw_target = nullptr;
        quit_requested = 0;
    }

    void pass(int x, int y, int buttons)
    {
        mouse_x = x;
        mouse_y = y;
        mouse_b = buttons;
        main_loop_pass();
    }
    int uncovered_cells(void)
    {
        int n = 0;
        for (int r = 0; r < rows; r++)
            for (int c = 0; c < cols; c++)
                n += (cell_at(c, r).state & CELL_UNCOVERED) != 0;
        return n;
    }
    void open_menu(void)
    {
        pass(50, 20, 1);
        for (int i = 0; i < MENU_OPEN_COOLDOWN; i++)
            pass(50, 20, 0);
        ASSERT_TRUE(game_menu->open);
    }
};

TEST_F(MainLoop, AlreadyQuittingDrawsNothing)
{
    quit_requested = -1;
    run_main_loop();
    EXPECT_EQ(MARK, getpixel(draw_target, 0, 0));
}

TEST_F(MainLoop, QuitStillDrawsOneMoreFrame)
{
    open_menu();
    putpixel(draw_target, 0, 0, MARK);
    pass(60, 41 + 6 * 24 + 12, 1);  // "Quit"
    EXPECT_NE(0, quit_requested);
    EXPECT_NE(MARK, getpixel(draw_target, 0, 0));
}

TEST_F(MainLoop, TheClickThatChoosesAnItemNeverReachesTheBoard)
{
    // The separator's band lies over the board's middle on Easy.
    open_menu();
    int x = 60, y = 41 + 4 * 24 + 12;
    for (int i = 0; i < 30; i++)
        pass(x, y, 1);  // chosen on the first, then held
    EXPECT_FALSE(game_menu->open);
    for (int i = 0; i < 3; i++)
        pass(x, y, 0);  // released over a cell
    EXPECT_EQ(0u, started);
    EXPECT_EQ(0, uncovered_cells());
    // From now on the board takes the button again.
    pass(x, y, 1);
    pass(x, y, 0);
    EXPECT_EQ(1u, started);
    EXPECT_GT(uncovered_cells(), 0);
}

TEST_F(MainLoop, HoldingTheFaceKeepsTheGameReady)
{
    pass(100, 100, 0);
    pass(100, 100, 1);
    pass(100, 100, 0);
    ASSERT_EQ(1u, started);
    for (int i = 0; i < 10; i++)
        pass(120, 20, 1);
    EXPECT_EQ(0u, ticks);
    EXPECT_EQ(0u, started);
    pass(120, 20, 0);
    EXPECT_EQ(0u, ticks);
    EXPECT_EQ(0u, started);
    EXPECT_EQ(0, uncovered_cells());
}

TEST_F(MainLoop, TheClockRunsFromTheFirstPressAndWhileTheMenuIsOpen)
{
    pass(100, 100, 0);
    EXPECT_EQ(0u, ticks);
    pass(100, 100, 1);  // the first press lays the teeth; the clock starts next pass
    pass(100, 100, 0);
    EXPECT_EQ(1u, ticks);
    if (game_over)
        GTEST_SKIP() << "the first press finished this board";
    open_menu();
    EXPECT_EQ(2u + MENU_OPEN_COOLDOWN, ticks);
}

TEST_F(MainLoop, ALossShowsTheWholeBoardAndFreezesIt)
{
    pass(100, 100, 0);
    pass(100, 100, 1);
    pass(100, 100, 0);
    // Find a tooth and uncover it.
    int tc = -1, tr = -1;
    for (int r = 0; r < rows && tc < 0; r++)
        for (int c = 0; c < cols; c++)
            if (cell_at(c, r).decayed) {
                tc = c, tr = r;
                break;
            }
    ASSERT_GE(tc, 0);
    int x = BOARD_LEFT + CELL_SIZE * tc + 5, y = BOARD_TOP + CELL_SIZE * tr + 5;
    pass(x, y, 1);
    pass(x, y, 0);
    EXPECT_TRUE(game_over);
    EXPECT_TRUE(lost);
    EXPECT_EQ(rows * cols, uncovered_cells());
    uint32_t clock = ticks;
    pass(x, y, 0);
    EXPECT_EQ(clock, ticks);
}

}  // namespace
