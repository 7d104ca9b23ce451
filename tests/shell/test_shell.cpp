// The game's own start-up, main-loop passes, display and shutdown on the
// stand-in system: the menu and its items, the face, the clock, a loss, a
// win and its record; the update schemes and the rows copied to the
// window; the pacing between passes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "minefield/board.h"
#include "minefield/records.h"
#include "shell/display.h"
#include "shell/menu/menu.h"
#include "shell/pacing.h"
#include "support/windowless.h"
#include "ui/scene.h"

namespace {

std::string file_bytes(void)
{
    std::ifstream in(records_path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
int uncovered_cells(void)
{
    int n = 0;
    for (int i = 0; i < rows * cols; i++)
        n += (board[i / cols][i % cols].state & CELL_UNCOVERED) != 0;
    return n;
}

class MainLoop : public GameTest {
protected:
    static void fresh(void (*set_level)(void))
    {
        set_level();
        ASSERT_EQ(0, restart_display());
        new_game();
        *game_menu = GameMenu();
        board_armed = quit_requested = 0;
    }
    static void start_at(int x, int y)
    {
        pass(x, y, 0), pass(x, y, 1), pass(x, y, 0);
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

TEST_F(MainLoop, StartUpOpensEasyAndReadsOrCreatesTheRecords)
{
    EXPECT_TRUE(SCREEN_W == 204 && SCREEN_H == 270 && level == LEVEL_EASY && draw_target == back_buffer);
    for (int i = 0; i < rows * cols; i++)
        ASSERT_EQ(uint32_t(CELL_COVERED), board[i / cols][i % cols].state) << i;
    std::string bytes = file_bytes();  // there was none: the defaults were written
    ASSERT_EQ(120u, bytes.size());
    EXPECT_TRUE(records[2].name == std::string("Quibo") && records[2].seconds == 6000);
    bytes.replace(80, 40, std::string("Ann\0", 4) + std::string(26, 'x') + "       42" + '\0');
    std::ofstream(records_path, std::ios::binary) << bytes;
    shutdown_game();
    ASSERT_EQ(0, init_game());
    EXPECT_TRUE(records[2].name == std::string("Ann") && records[2].seconds == 42);
    quit_requested = -1;  // closed already: the loop draws nothing
    putpixel(draw_target, 0, 0, 1234);
    run_main_loop();
    EXPECT_EQ(1234, getpixel(draw_target, 0, 0));
}

// Each item chosen during a game: a level re-makes the window and leaves the
// game Ready; the others leave the game as it was, its clock counting only
// the loop's passes, and Quit still draws the pass's frame. Dialogs close on
// their first pass (Enter is down): that pass's frame tick tells one ran.
TEST_F(MainLoop, EveryItemChosenDuringAGame)
{
    const struct { int item, level, w, h, teeth; bool dialog; } items[] = {  // Hard is 30 wide, 16 tall
        {MENU_EASY, LEVEL_EASY, 204, 270, 10, false}, {MENU_INTERMEDIATE, LEVEL_INTERMEDIATE, 344, 410, 40, false},
        {MENU_HARD, LEVEL_HARD, 624, 410, 99, false}, {MENU_CUSTOMIZE, LEVEL_CUSTOM, 504, 390, 45, true},
        {MENU_SEPARATOR, 0, 0, 0, 0, false}, {MENU_HIGHSCORES, 0, 0, 0, 0, true}, {MENU_QUIT, 0, 0, 0, 0, false}};
    for (const auto &it : items) {
        SCOPED_TRACE(menu_items[it.item - 1]);
        fresh(set_level_easy);
        start_at(100, 100);
        const int opened = uncovered_cells();
        const uint32_t clock = ticks;
        frame_tick = key[KEY_ENTER] = 1;
        choose(it.item);
        key[KEY_ENTER] = 0;
        EXPECT_EQ(it.dialog ? 0 : 1, frame_tick);
        EXPECT_TRUE(!game_menu->open && (it.item == MENU_QUIT) == (quit_requested != 0));
        const Rgb b = palette::BACKGROUND;
        EXPECT_EQ(makecol(b.r, b.g, b.b), getpixel(draw_target, 0, 0)) << "the pass drew its frame";
        if (it.level)
            EXPECT_TRUE(level == it.level && SCREEN_W == it.w && SCREEN_H == it.h && level_teeth == it.teeth &&
                        teeth_left == it.teeth && !started && !lost && !game_over && !ticks && !uncovered_cells());
        else
            EXPECT_TRUE(level == LEVEL_EASY && started && uncovered_cells() == opened &&
                        ticks == clock + 1 + MENU_OPEN_COOLDOWN + 1);
    }
}

TEST_F(MainLoop, TheClickThatChoosesAnItemNeverReachesTheBoard)
{
    choose(MENU_SEPARATOR);  // its band lies over the board's middle on Easy
    const int x = 60, y = MENU_BAND_TOP + 4 * menu_row_height() + 12;
    for (int i = 0; i < 33; i++)
        pass(x, y, i < 30);  // held on after choosing, then released over a cell
    EXPECT_EQ(0, uncovered_cells());
    pass(x, y, 1);  // from now on the board takes the button again
    pass(x, y, 0);
    EXPECT_GT(uncovered_cells(), 0);
}

// The clock from the first press; a loss shows the whole board, flags
// too, and stops the clock; the face starts again and keeps the game Ready
// while it is held.
TEST_F(MainLoop, FromReadyToLostAndBackByTheFace)
{
    pass(100, 100, 0);
    pass(100, 100, 1);  // lays the teeth; the clock starts with the next pass
    EXPECT_EQ(0u, ticks);
    start_at(100, 100);
    EXPECT_EQ(3u, ticks);
    int tooth = -1;
    for (int i = 0; i < rows * cols; i++)
        if (board[i / cols][i % cols].decayed && tooth >= 0)
            board[i / cols][i % cols].state |= CELL_FLAGGED;  // every tooth but the first
        else if (board[i / cols][i % cols].decayed)
            tooth = i;
    const int x = BOARD_LEFT + CELL_SIZE * (tooth % cols) + 19, y = BOARD_TOP + CELL_SIZE * (tooth / cols);
    pass(x, y, 1), pass(x, y, 0);
    EXPECT_TRUE(game_over && lost);
    for (int i = 0; i < rows * cols; i++)
        ASSERT_EQ(uint32_t(CELL_UNCOVERED), board[i / cols][i % cols].state) << "cell " << i;
    const uint32_t clock = ticks;
    pass(x, y, 1), pass(x, y, 0);
    EXPECT_EQ(clock, ticks);
    for (int i = 0; i < 10; i++) {
        pass(i % 2 ? 105 : 135, i % 2 ? 35 : 6, 1);  // the face's corners
        EXPECT_TRUE(!ticks && !started && !game_over && !lost && !uncovered_cells());
    }
    pass(120, 20, 0);
    EXPECT_TRUE(!ticks && !started);
}

// A win ends the game in the pass that uncovers its last safe cell. On a
// fixed level a time under the record asks for a name (Enter: none given)
// and writes the file; an equal time or the custom level do neither.
TEST_F(MainLoop, AWinEndsTheGameInItsPassAndABetterTimeIsSaved)
{
    const struct { void (*level)(void); uint32_t ticks; int record; } wins[] = {
        {set_level_easy, 3600, -1}, {set_level_easy, 3599, 0},  // a whole minute does not beat 60 s
        {set_level_hard, 6000 * 60 - 1, 2}, {[] { set_level_custom(1, 0); }, 0, -1}};
    for (const auto &w : wins) {
        fresh(w.level);
        SCOPED_TRACE(testing::Message() << "level " << level << ", ticks " << w.ticks);
        start_at(100, 100);
        int last = -1;  // every safe cell but the last one uncovered
        for (int i = 0; i < rows * cols; i++)
            if (!board[i / cols][i % cols].decayed && (board[i / cols][i % cols].state & CELL_COVERED)) {
                if (last >= 0)
                    board[last / cols][last % cols].state = CELL_UNCOVERED;
                last = i;
            }
        std::string saved = file_bytes();
        if (w.record >= 0) {  // only the name's first bytes and the seconds change
            char seconds[16];
            std::snprintf(seconds, sizeof seconds, "%9u", w.ticks / 60);
            saved.replace(w.record * 40, 4, "???", 4).replace(w.record * 40 + 30, 10, seconds, 10);
        }
        ticks = w.ticks - 2;  // the press and the release count
        frame_tick = key[KEY_ENTER] = 1;
        const int x = BOARD_LEFT + CELL_SIZE * (last % cols) + 5, y = BOARD_TOP + CELL_SIZE * (last / cols) + 5;
        pass(x, y, 1);
        pass(x, y, 0);
        EXPECT_TRUE(game_over && !lost && teeth_left == 0);
        EXPECT_EQ(w.record < 0 ? 1 : 0, frame_tick) << "the name entry ran";
        EXPECT_EQ(saved, file_bytes());
        pass(x, y, 0);
        EXPECT_EQ(w.ticks, ticks) << "the clock stopped";
    }
}

// Bands of h = 24 share their boundary row and the upper item wins it; a
// press in a band chooses its item, one outside every band only closes.
// The title area ends at (99, 39). Held down there, the button opens the
// menu, closes it 20 passes later (the title is in no band) and opens it
// again 21 passes after that; the title is lit everywhere while it is open.
TEST_F(MainLoop, MenuBandsChoicesAndAHeldButton)
{
    GameMenu menu;
    auto update = [&](int x, int y, int buttons) { move_pointer(x, y, buttons); return menu.update(); };
    auto open = [&] {
        menu = GameMenu();
        for (int i = 0; i <= MENU_OPEN_COOLDOWN; i++)
            update(50, 20, i == 0);
        return menu.open && menu.cooldown == 0;
    };
    ASSERT_TRUE(menu_row_height() == 24 && open());
    const struct { int x, y, hovered; } cases[] = {
        {100, 41, 0}, {100, 65, 0}, {100, 66, 1}, {141, 65, -1}, {3, 89, 1},
        {140, 90, 2}, {2, 100, -1}, {100, 209, 6}, {100, 210, -1}, {100, 40, -1}};
    for (auto c : cases) {
        update(c.x, c.y, 0);
        EXPECT_EQ(c.hovered, menu.hovered) << c.x << "," << c.y;
    }
    for (int item = MENU_EASY; item <= MENU_QUIT + 1; item++) {  // and a press outside
        ASSERT_TRUE(open());
        EXPECT_EQ(item % (MENU_QUIT + 1), update(item > MENU_QUIT ? 300 : 60, 41 + 24 * (item - 1) + 12, 1));
        EXPECT_TRUE(!menu.open && menu.cooldown == MENU_CHOOSE_COOLDOWN);
    }

    menu = GameMenu();
    for (int x : {100, 99})  // (100, 39) and (99, 40)
        EXPECT_TRUE(update(x, 139 - x, 1) == MENU_NONE && !menu.open && !menu.title_hot()) << x;
    int opened[2] = {-1, -1}, closed = -1, opens = 0;
    for (int n = 0; n < 60 && opens < 2; n++) {
        const bool was_open = menu.open;
        EXPECT_EQ(MENU_NONE, update(99, 39, 1));
        if (was_open != menu.open)
            (menu.open ? opened[opens++] : closed) = n;
        move_pointer(600, 400, 1);
        EXPECT_EQ(menu.open, menu.title_hot());
    }
    EXPECT_TRUE(opened[0] == 0 && closed == 20 && opened[1] == 41) << opened[0] << " " << closed << " " << opened[1];
}

// Only the timer's tick or a close ends the wait, and periods missed before
// it collapse into one pass; a bare wake-up neither ends the wait nor
// stalls the timer thread behind it (a waiter that kept the lock would hang).
TEST(Pacing, EachWriterEndsTheWaitAndNothingElseDoes)
{
    void (*const writers[])(void) = {on_timer_tick, on_close_button, [] { frame_tick = 1; }};
    for (int w = 0; w < 3; w++) {
        quit_requested = 0;
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
    }
    quit_requested = 0;
}

using Display = GameTest;

// A setup needs a configure; a refused mode leaves nothing to draw into, and
// every call fails until the next configure.
TEST_F(Display, ARefusedModeFailsUntilTheNextConfigure)
{
    screen_teardown();  // as the shell does before every new mode
    screen_configured = false;
    EXPECT_TRUE(screen_setup() == -1 && !screen_failed && !draw_target);
    refuse_mode = true;
    screen_configure(SCREEN_DOUBLE_BUFFER | SCREEN_PAGE_FLIP, 204, 270, 16);
    EXPECT_TRUE(screen_setup() == -1 && screen_failed && screen_flags == 0 && !draw_target);
    EXPECT_TRUE(screen_show() == -1 && screen_teardown() == -1);
    screen_configure(SCREEN_DOUBLE_BUFFER, 344, 410, 16);
    EXPECT_FALSE(screen_failed);
}

// Each scheme, with and without video pages: where frames are drawn, which
// target follows which, and what reaches the window or the shown page.
TEST_F(Display, EverySchemeShowsTheFrameJustDrawn)
{
    const int D = SCREEN_DOUBLE_BUFFER, P = SCREEN_PAGE_FLIP, T = SCREEN_TRIPLE_BUFFER;
    const struct { int flags; bool pages; int result, cycle; } schemes[] = {
        {0, false, 0, 1}, {D, false, D, 1}, {P, true, P, 2}, {T, true, T, 3}, {P | D, true, P | D, 1},
        {T | D, true, T | D, 1}, {P, false, D, 1}, {T, false, D, 1}};  // missing pages: a back buffer instead
    for (const auto &s : schemes) {
        SCOPED_TRACE(testing::Message() << "flags " << s.flags << ", pages " << s.pages);
        offer_pages = s.pages;
        shown_page = nullptr;
        screen_teardown();
        screen_configure(s.flags, 204, 270, 16);
        ASSERT_EQ(0, screen_setup());
        EXPECT_EQ(s.result, screen_flags);
        EXPECT_TRUE(s.result & D ? draw_target == back_buffer && is_memory_bitmap(back_buffer)
                    : s.result ? draw_target == pages[0] : draw_target == screen);
        BITMAP *first = draw_target;
        for (int frame = 0; frame < 4; frame++) {
            EXPECT_EQ(frame % s.cycle == 0, draw_target == first) << "frame " << frame;
            clear_to_color(draw_target, frame + 1);
            ASSERT_EQ(0, screen_show());
            BITMAP *shown = s.pages ? shown_page : screen;
            ASSERT_NE(nullptr, shown);
            EXPECT_EQ(frame + 1, getpixel(shown, 203, 269)) << "frame " << frame;
        }
    }
    EXPECT_TRUE(screen_teardown() == 0 && !back_buffer && !draw_target && !pages[0]);
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
    const unsigned seed = 20240615;
    std::mt19937 rng(seed);
    for (int size : {0, 5}) {  // Easy, then the largest custom field
        size ? set_level_custom(size, 2) : set_level_easy();
        ASSERT_EQ(0, restart_display());
        new_game();
        clear_to_color(screen, makecol(255, 0, 255));  // stale pixels
        for (int i = 0; i < 400; i++) {
            const int x = rng() % window_width, y = rng() % window_height;
            int buttons = rng() % 4 == 0 ? rng() % 4 : 0;  // left, right or both
            if (game_menu->open && x >= MENU_BAND_LEFT && x <= MENU_BAND_RIGHT && y >= MENU_BAND_TOP)
                buttons = 0;  // an item would change the level or wait in a dialog
            pass(x, y, buttons);
            ASSERT_EQ(-1, first_wrong_row()) << "seed " << seed << ", size " << size << ", pass " << i;
        }
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
    screen_teardown();
    EXPECT_EQ(0, screen_show()) << "a frame shown after teardown has nowhere to go";
}

}  // namespace
