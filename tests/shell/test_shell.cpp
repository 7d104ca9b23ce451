// The game's start-up, main-loop passes, display and pacing on the stand-in
// system, with the real menu, dialogs, records file and window.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <thread>

#include "minefield/board.h"
#include "minefield/records.h"
#include "shell/display.h"
#include "shell/menu/menu.h"
#include "shell/pacing.h"
#include "support/windowless.h"

namespace {

Cell &cell(int i) { return board[i / cols][i % cols]; }
int uncovered_cells(void)
{
    int n = 0;
    for (int i = 0; i < rows * cols; i++)
        n += (cell(i).state & CELL_UNCOVERED) != 0;
    return n;
}

class MainLoop : public GameTest {
protected:
    // A new game on the level, started by a click in the board's middle.
    static void start(void (*set_level)(void))
    {
        set_level();
        ASSERT_EQ(0, restart_display());
        new_game();
        *game_menu = GameMenu();
        board_armed = quit_requested = 0;
        pass(100, 100, 0), pass(100, 100, 1), pass(100, 100, 0);
        ASSERT_TRUE(started && !game_over);
    }
    // Opens the menu on its title and, once it takes presses, presses the item.
    static void choose(int item)
    {
        pass(50, 20, 1);
        for (int i = 0; i < MENU_OPEN_COOLDOWN; i++)
            pass(50, 20, 0);
        ASSERT_TRUE(game_menu->open);
        pass(60, MENU_BAND_TOP + menu_row_height() * (item - 1) + 12, 1);
    }
};

// Each item, and a press outside every band (on the title), during a game: a
// level re-makes the window and leaves the game Ready; the rest leave the game
// going. Dialogs close on their first pass (Enter is down), leaving no frame tick.
TEST_F(MainLoop, EveryItemChosenDuringAGame)
{
    const struct { int item, level, w, h, teeth; bool dialog; } items[] = {  // Hard is 30 wide, 16 tall
        {MENU_EASY, LEVEL_EASY, 204, 270, 10, false}, {MENU_INTERMEDIATE, LEVEL_INTERMEDIATE, 344, 410, 40, false},
        {MENU_HARD, LEVEL_HARD, 624, 410, 99, false}, {MENU_CUSTOMIZE, LEVEL_CUSTOM, 504, 390, 45, true},
        {MENU_SEPARATOR, 0, 0, 0, 0, false}, {MENU_HIGHSCORES, 0, 0, 0, 0, true}, {MENU_QUIT, 0, 0, 0, 0, false},
        {MENU_NONE, 0, 0, 0, 0, false}};
    for (const auto &it : items) {
        SCOPED_TRACE(testing::Message() << "item " << it.item);
        start(set_level_easy);
        const int opened = uncovered_cells();
        const uint32_t clock = ticks;
        frame_tick = key[KEY_ENTER] = 1;
        choose(it.item);
        EXPECT_EQ(it.dialog ? 0 : 1, frame_tick);
        EXPECT_TRUE(!game_menu->open && (it.item == MENU_QUIT) == (quit_requested != 0));
        if (it.level)
            EXPECT_TRUE(level == it.level && SCREEN_W == it.w && SCREEN_H == it.h && level_teeth == it.teeth &&
                        teeth_left == it.teeth && !started && !lost && !game_over && !ticks && !uncovered_cells());
        else
            EXPECT_TRUE(level == LEVEL_EASY && started && uncovered_cells() == opened &&
                        ticks == clock + 1 + MENU_OPEN_COOLDOWN + 1);
    }
}

// The press that chooses an item never reaches the board under the list.
// The title area ends at (99, 39). Held down there, the button opens the
// menu, closes it 20 passes later (the title is in no band) and opens it
// again 21 passes after that; the title is lit everywhere while the menu is
// open. Bands of h = 24 share their boundary row and the upper item wins it.
TEST_F(MainLoop, MenuPressesTitleAndBands)
{
    choose(MENU_SEPARATOR);  // its band lies over the board's middle on Easy
    const int x = 60, y = MENU_BAND_TOP + 4 * menu_row_height() + 12;
    for (int i = 0; i < 33; i++)
        pass(x, y, i < 30);  // held on after choosing, then released over a cell
    EXPECT_EQ(0, uncovered_cells());
    pass(x, y, 1);  // from now on the board takes the button again
    pass(x, y, 0);
    EXPECT_GT(uncovered_cells(), 0);

    for (int left : {100, 99}) {  // (100, 39) and (99, 40)
        pass(left, 139 - left, 1);
        EXPECT_TRUE(!game_menu->open && !game_menu->title_hot()) << left;
    }
    for (int n = 0; n <= 41; n++) {
        pass(99, 39, 1);
        move_pointer(600, 400, 1);
        EXPECT_TRUE(game_menu->open == (n < 20 || n == 41) && game_menu->title_hot() == game_menu->open) << n;
    }
    ASSERT_EQ(24, menu_row_height());
    const struct { int x, y, hovered; } cases[] = {
        {100, 41, 0}, {100, 65, 0}, {100, 66, 1}, {141, 65, -1}, {3, 89, 1},
        {140, 90, 2}, {2, 100, -1}, {100, 209, 6}, {100, 210, -1}, {100, 40, -1}};
    for (auto c : cases) {
        pass(c.x, c.y, 0);  // followed while the menu still ignores presses
        EXPECT_EQ(c.hovered, game_menu->hovered) << c.x << "," << c.y;
    }
}

// Start-up reads the records file, or writes the defaults. A game ends, and
// its clock stops, in the pass that uncovers a tooth or its last safe cell; on
// a fixed level a win under the record asks for a name (Enter: none given)
// and writes the file; an equal time, the custom level or a loss do not.
TEST_F(MainLoop, RecordsReadAtStartUpAndOnlyABetterTimeSaved)
{
    auto file_bytes = [] {
        std::ifstream in(records_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_TRUE(SCREEN_W == 204 && SCREEN_H == 270 && level == LEVEL_EASY && draw_target == back_buffer);
    std::string bytes = file_bytes();
    ASSERT_EQ(120u, bytes.size());
    bytes.replace(80, 40, std::string("Ann\0", 4) + std::string(26, 'x') + "       42" + '\0');
    std::ofstream(records_path, std::ios::binary) << bytes;
    shutdown_game();
    ASSERT_EQ(0, init_game());
    EXPECT_TRUE(records[2].name == std::string("Ann") && records[2].seconds == 42);

    const struct { void (*level)(void); uint32_t ticks; int record; const char *seconds; bool loss; } games[] = {
        {set_level_easy, 3600, -1, "", false}, {set_level_easy, 3599, 0, "       59", false},  // 60 s do not beat 60 s
        {set_level_hard, 42 * 60 - 1, 2, "       41", false}, {[] { set_level_custom(1, 0); }, 0, -1, "", false},
        {set_level_easy, 60, -1, "", true}};
    for (const auto &game : games) {
        start(game.level);
        SCOPED_TRACE(testing::Message() << "level " << level << ", ticks " << game.ticks);
        int target = -1;  // a tooth, or the last safe cell with every other one uncovered
        for (int i = 0; i < rows * cols; i++)
            if (cell(i).decayed == game.loss && (cell(i).state & CELL_COVERED)) {
                if (target >= 0 && !game.loss)
                    cell(target).state = CELL_UNCOVERED;
                target = i;
            }
        std::string saved = file_bytes();
        if (game.record >= 0)  // only the name's first bytes and the seconds change
            saved.replace(game.record * 40, 4, "???", 4).replace(game.record * 40 + 30, 9, game.seconds);
        ticks = game.ticks - 2;  // the press and the release count
        frame_tick = key[KEY_ENTER] = 1;
        const int x = BOARD_LEFT + CELL_SIZE * (target % cols) + 5, y = BOARD_TOP + CELL_SIZE * (target / cols) + 5;
        pass(x, y, 1);
        pass(x, y, 0);
        EXPECT_TRUE(game_over && lost == game.loss && (game.loss ? uncovered_cells() == rows * cols : !teeth_left));
        EXPECT_EQ(game.record < 0 ? 1 : 0, frame_tick) << "the name entry ran";
        EXPECT_EQ(saved, file_bytes());
        pass(x, y, 0);
        EXPECT_EQ(game.ticks, ticks) << "the clock stopped";
        for (int corner = 0; corner < 2; corner++) {  // held on the face, the game stays new
            pass(corner ? 105 : 135, corner ? 35 : 6, 1);
            EXPECT_TRUE(!ticks && !started && !game_over && !lost && !uncovered_cells());
        }
    }
}

// Only the timer's tick or a close ends the wait, and missed periods collapse
// into one pass; a bare wake-up neither ends the wait nor stalls the timer
// thread behind it (a waiter that kept the lock would hang).
TEST(Pacing, EachWriterEndsTheWaitAndNothingElseDoes)
{
    void (*const writers[])(void) = {on_timer_tick, on_close_button, [] { frame_tick = 1; }};
    for (int w = 0; w < 3; w++) {
        for (int i = 0; i < 3; i++)
            on_timer_tick();
        next_frame();
        std::atomic<bool> written{false};
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            wake_frame_waiter();
            written = true;
            writers[w]();
        });
        next_frame();  // a wait that never ends hangs the test
        writer.join();
        EXPECT_TRUE(written && frame_tick == 0 && quit_requested == (w == 1 ? -1 : 0)) << "writer " << w;
        quit_requested = 0;
    }
}

using Display = GameTest;

// Each scheme, with and without video pages: which target follows which and
// what reaches the window or the shown page. A refused mode leaves nothing to
// draw into, and every call fails until the next configure.
TEST_F(Display, EverySchemeShowsTheFrameJustDrawn)
{
    const int D = SCREEN_DOUBLE_BUFFER, P = SCREEN_PAGE_FLIP, T = SCREEN_TRIPLE_BUFFER, REFUSED = -1;
    const struct { int flags; bool pages; int result, cycle; } schemes[] = {
        {0, false, 0, 1}, {D, false, D, 1}, {P, true, P, 2}, {T, true, T, 3}, {P | D, true, REFUSED, 0},
        {P | D, true, P | D, 1}, {T | D, true, T | D, 1}, {P, false, D, 1}, {T, false, D, 1}};  // missing pages: a back buffer
    for (const auto &s : schemes) {
        SCOPED_TRACE(testing::Message() << "flags " << s.flags << ", pages " << s.pages);
        offer_pages = s.pages;
        refuse_mode = s.result == REFUSED;
        shown_page = nullptr;
        screen_teardown();
        screen_configure(s.flags, 204, 270, 16);
        if (refuse_mode) {
            EXPECT_TRUE(screen_setup() == -1 && screen_failed && screen_flags == 0 && !draw_target &&
                        screen_show() == -1 && screen_teardown() == -1);
            continue;
        }
        ASSERT_EQ(0, screen_setup());
        EXPECT_EQ(s.result, screen_flags);
        BITMAP *first = draw_target;
        for (int frame = 0; frame < 4; frame++) {
            EXPECT_EQ(frame % s.cycle == 0, draw_target == first) << "frame " << frame;
            clear_to_color(draw_target, frame + 1);
            ASSERT_EQ(0, screen_show());
            BITMAP *shown = s.pages ? shown_page : screen;
            ASSERT_TRUE(shown && getpixel(shown, 203, 269) == frame + 1) << "frame " << frame;
        }
    }
    EXPECT_TRUE(screen_teardown() == 0 && !back_buffer && !draw_target && !pages[0]);
    EXPECT_EQ(0, screen_show()) << "a frame shown after teardown has nowhere to go";
}

// A scripted game through the real main loop: after every pass the window
// holds what a whole copy of the frame would have left there, though only
// changed rows were copied.
TEST_F(Display, EveryPassLeavesTheWholeFrameInTheWindow)
{
    remove_mouse();  // a pointer the library draws would force whole copies
    auto first_wrong_row = [] {
        for (int y = 0; y < screen->h; y++)
            if (std::memcmp(screen->line[y], back_buffer->line[y], screen->w * 2) != 0)
                return y;
        return -1;
    };
    std::mt19937 rng(20240615);
    clear_to_color(screen, makecol(255, 0, 255));  // stale pixels
    for (int i = 0; i < 600; i++) {
        const int x = rng() % window_width, y = rng() % window_height;
        int buttons = rng() % 4 == 0 ? rng() % 4 : 0;  // left, right or both
        if (game_menu->open && x >= MENU_BAND_LEFT && x <= MENU_BAND_RIGHT && y >= MENU_BAND_TOP)
            buttons = 0;  // an item would change the level or wait in a dialog
        pass(x, y, buttons);
        ASSERT_EQ(-1, first_wrong_row()) << "pass " << i;
    }
    // Only changed rows reach the window: a pixel the frame never touched
    // stays wrong until the window is declared lost.
    putpixel(screen, 0, screen->h - 1, 0);
    pass(-1, -1, 0);
    EXPECT_EQ(screen->h - 1, first_wrong_row());
    screen_invalidate();
    pass(-1, -1, 0);
    EXPECT_EQ(-1, first_wrong_row());
    // Rows are compared in chunks: single pixels on either side of a chunk's
    // edge and at the frame's edges, which the scene never changes.
    const int w = screen->w, h = screen->h;
    for (int x : {0, 1, 31, 32, 33, w - 33, w - 32, w - 2, w - 1})
        for (int y : {0, h / 2, h - 1}) {
            putpixel(back_buffer, x, y, getpixel(back_buffer, x, y) ^ 0x8000);  // one byte of two
            screen_show();
            ASSERT_EQ(-1, first_wrong_row()) << "pixel " << x << ", " << y;
        }
}

}  // namespace
