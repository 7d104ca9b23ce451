// The game's start-up, main loop, display and pacing on the stand-in system.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "minefield/board.h"
#include "minefield/records.h"
#include "shell/desktop.h"
#include "shell/display.h"
#include "shell/menu/menu.h"
#include "shell/pacing.h"
#include "shell/pointer.h"
#include "shell/shell.h"
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
int first_wrong_row(void)  // of the window against the frame, or -1
{
    for (int y = 0; y < screen->h; y++)
        if (std::memcmp(screen->line[y], back_buffer->line[y], screen->w * 2) != 0)
            return y;
    return -1;
}

// The game as main starts it, with a records file named after the case: Ready
// on Easy, the pointer off the window.
class MainLoop : public testing::Test {
protected:
    void SetUp() override
    {
        use_windowless_system();
        records_file = std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + ".dat";
        records_path = records_file.c_str();
        std::remove(records_path);
        ASSERT_EQ(0, init_game()) << fatal_error;
        srand(3);  // start-up seeded it with the time
        new_game();  // the flags of the case before
        move_pointer(-1, -1, 0);
    }
    void TearDown() override
    {
        shutdown_game();
        std::remove(records_path);
        quit_requested = frame_tick = key[KEY_ENTER] = 0;
        fatal_error = nullptr;
        refuse_mode = offer_pages = false;
        desktop_depth = 0;
    }
    static void pass(int x, int y, int buttons) { move_pointer(x, y, buttons), main_loop_pass(); }
    // A pass as next_frame gives it: the library's pointer settled against the window system's buttons.
    static void settled_pass(int x, int y, int buttons, int system_buttons, bool on_window = true)
    {
        move_pointer(x, y, buttons, on_window), settle_pointer(system_buttons), main_loop_pass();
    }
    // A new game on the level, started by a click in the board's middle.
    static void start(void (*set_level)(void))
    {
        set_level();
        ASSERT_EQ(0, restart_display());
        new_game();
        quit_requested = 0;
        pass(100, 100, 0), pass(100, 100, 1), pass(100, 100, 0);
        ASSERT_TRUE(started && !game_over);
    }
    // Opens the menu on its title and, once it takes presses, presses the
    // item, holds the button past the menu's cooldown and lets go there.
    static void choose(int item)
    {
        pass(50, 20, 1);
        for (int i = 0; i < MENU_OPEN_COOLDOWN; i++)
            pass(50, 20, 0);
        ASSERT_TRUE(game_menu->open);
        const int y = MENU_BAND_TOP + menu_row_height() * (item - 1) + 12;
        for (int i = 0; i <= MENU_CHOOSE_COOLDOWN + 1; i++)
            pass(60, y, 1);
        pass(60, y, 0);
    }

    static inline std::string records_file;
};
using Display = MainLoop;

// Each item, and a press below the list, during a game: a level re-makes the
// window and the game is Ready; otherwise the game goes on and the board never
// gets the press. Dialogs take the frame tick and close (Enter is down). The
// title ends at (99, 39); bands of h = 24 share a boundary row, won by the upper.
TEST_F(MainLoop, EveryItemChosenDuringAGameThenTheTitleAndBands)
{
    const struct { int item, level, w, h, teeth; bool dialog; } items[] = {  // Hard is 30 wide, 16 tall
        {MENU_EASY, LEVEL_EASY, 204, 270, 10, false}, {MENU_INTERMEDIATE, LEVEL_INTERMEDIATE, 344, 410, 40, false},
        {MENU_HARD, LEVEL_HARD, 624, 410, 99, false}, {MENU_CUSTOMIZE, LEVEL_CUSTOM, 504, 390, 45, true},
        {MENU_SEPARATOR, 0, 0, 0, 0, false}, {MENU_HIGHSCORES, 0, 0, 0, 0, true}, {MENU_QUIT, 0, 0, 0, 0, false},
        {MENU_QUIT + 1, 0, 0, 0, 0, false}};
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
        else  // the Highscores band and the row below the list lie over covered cells
            EXPECT_TRUE(level == LEVEL_EASY && started && uncovered_cells() == opened &&
                        ticks > clock + MENU_OPEN_COOLDOWN);
    }
    pass(100, 39, 1);
    EXPECT_TRUE(!game_menu->open && !game_menu->title_hot());
    pass(99, 39, 1);
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
// and writes the file; an equal time, the custom level or a loss do not. A
// new game after a loss is not lost.
TEST_F(MainLoop, RecordsReadAtStartUpAndOnlyABetterTimeSaved)
{
    auto file_bytes = [] {
        std::ifstream in(records_path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    std::string bytes = file_bytes();
    ASSERT_EQ(120u, bytes.size());
    bytes.replace(80, 40, std::string("Ann\0", 4) + std::string(26, 'x') + "       42" + '\0');
    std::ofstream(records_path, std::ios::binary) << bytes;
    shutdown_game();
    ASSERT_EQ(0, init_game());

    const struct { void (*level)(void); uint32_t ticks; int record; const char *seconds; bool loss; } games[] = {
        {set_level_easy, 60, -1, "", true}, {set_level_easy, 3600, -1, "", false},  // 60 s do not beat 60 s
        {set_level_easy, 3599, 0, "       59", false}, {set_level_hard, 42 * 60 - 1, 2, "       41", false},
        {[] { set_level_custom(1, 0); }, 0, -1, "", false}};
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
        EXPECT_EQ(saved, file_bytes());
        pass(x, y, 0);  // the clock stopped with the game
        EXPECT_TRUE(game_over && lost == game.loss && ticks == game.ticks &&
                    (game.loss ? uncovered_cells() == rows * cols : !teeth_left));
    }
}

// A button the library still holds after the window system let it go (the
// release fell outside the window) is up; a press the library has yet to
// see is not made up. Off the window the pointer stands just past its
// bottom-right corner, on nothing.
TEST(Pointer, AReleaseTheLibraryMissedAndThePointerOffTheWindow)
{
    const int L = BUTTON_LEFT, R = BUTTON_RIGHT;
    const struct { PointerState library; bool on_window; int system; PointerState taken; } cases[] = {
        {{50, 60, L}, true, 0, {50, 60, 0}}, {{50, 60, L | R}, true, R, {50, 60, R}},
        {{50, 60, L}, true, -1, {50, 60, L}}, {{50, 60, 0}, true, L | R, {50, 60, 0}},
        {{50, 60, L}, false, L, {204, 270, L}}, {{203, 269, 0}, true, -1, {203, 269, 0}},
        {{204, 100, 0}, true, -1, {204, 270, 0}}, {{100, 270, 0}, true, -1, {204, 270, 0}},
        {{-1, 100, 0}, true, -1, {204, 270, 0}}, {{100, -1, 0}, true, -1, {204, 270, 0}},
        {{0, 0, 0}, true, -1, {0, 0, 0}}};
    for (const auto &c : cases) {
        PointerState p = pointer_for_pass(c.library, c.on_window, 204, 270, c.system);
        EXPECT_TRUE(p.x == c.taken.x && p.y == c.taken.y && p.buttons == c.taken.buttons)
            << c.library.x << "," << c.library.y << " buttons " << c.library.buttons << " system " << c.system;
    }
}

// A remade window keeps its frame's top-left corner, moved in just enough
// to lie on the desktop (here 1024 x 738 below a 30-pixel panel); one too
// large for it keeps its title bar on it.
TEST(Desktop, AWindowKeepsItsCornerMovedInJustEnoughToFit)
{
    const DesktopRect desktop = {0, 30, 1024, 738};
    const struct { DesktopRect frame; int x, y; } cases[] = {
        {{300, 60, 626, 431}, 300, 60}, {{700, 60, 626, 431}, 398, 60}, {{300, 500, 626, 431}, 300, 337},
        {{-20, 10, 206, 291}, 0, 30}, {{900, 700, 206, 291}, 818, 477}, {{100, 100, 1100, 800}, 0, 30}};
    for (const auto &c : cases) {
        DesktopRect fitted = fit_on_desktop(c.frame, desktop);
        EXPECT_TRUE(fitted.x == c.x && fitted.y == c.y && fitted.w == c.frame.w && fitted.h == c.frame.h)
            << c.frame.x << "," << c.frame.y << " -> " << fitted.x << "," << fitted.y;
    }
}

// Easy chosen, and the press let go outside the remade window: the library
// holds the left button, the system does not. The first click on the board
// starts the game. Once the pointer is off the window (where the library
// still has it on a cell, or the title) nothing is lit: the cell's glow
// fades as it does between cells.
TEST_F(MainLoop, AReleaseMissedOffTheWindowIsNotAwaitedAndNoCellStaysLit)
{
    pass(50, 20, 1);
    for (int i = 0; i < MENU_OPEN_COOLDOWN; i++)
        pass(50, 20, 0);
    const int cell_x = BOARD_LEFT + 4 * CELL_SIZE + 5, cell_y = BOARD_TOP + 4 * CELL_SIZE + 5;
    pass(60, MENU_BAND_TOP + 12, 1);
    ASSERT_TRUE(!game_menu->open && level == LEVEL_EASY && !started);
    for (int i = 0; i < 3; i++)
        settled_pass(cell_x, cell_y, 1, 0);
    settled_pass(cell_x, cell_y, 1, 1);
    settled_pass(cell_x, cell_y, 0, 0);
    EXPECT_TRUE(started && (board[4][4].state & CELL_UNCOVERED));

    new_game();
    settled_pass(cell_x, cell_y, 0, -1);
    ASSERT_TRUE((board[4][4].state & CELL_HOVER) && board[4][4].glow == GLOW_START);
    for (int i = 1; i * GLOW_FADE < GLOW_START + GLOW_FADE; i++) {
        settled_pass(cell_x, cell_y, 0, -1, false);
        ASSERT_TRUE(!(board[4][4].state & CELL_HOVER) && board[4][4].glow == std::max(GLOW_START - i * GLOW_FADE, -4))
            << "pass " << i;
    }
    settled_pass(50, 20, 0, -1, false);
    EXPECT_FALSE(game_menu->title_hot());
}

// Only the timer's tick or a close ends the wait; a bare wake-up neither ends
// the wait nor stalls the timer thread behind it (a waiter that kept the lock
// would hang).
TEST(Pacing, EachWriterEndsTheWaitAndNothingElseDoes)
{
    void (*const writers[])(void) = {on_timer_tick, on_close_button, [] { frame_tick = 1; }};
    for (auto write : writers) {
        std::thread writer([write] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            wake_frame_waiter();  // a wait that ends here finds the flag set later
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            write();
        });
        next_frame();  // a wait that never ends hangs the test
        writer.join();
        EXPECT_EQ(0, frame_tick) << "the wait ended before the write";
        quit_requested = 0;
    }
}

// Each scheme, with and without video pages: what reaches the window or the
// shown page. A refused mode leaves nothing to draw into, and every call
// fails until the next configure.
TEST_F(Display, EverySchemeShowsTheFrameJustDrawn)
{
    const int D = SCREEN_DOUBLE_BUFFER, P = SCREEN_PAGE_FLIP, T = SCREEN_TRIPLE_BUFFER;
    const struct { int flags; bool pages; int result; } schemes[] = {
        {0, false, 0}, {D, false, D}, {P, true, P}, {T, true, T}, {P | D, true, P | D},
        {T | D, true, T | D}, {P, false, D}, {T, false, D}};  // missing pages: a back buffer
    for (const auto &s : schemes) {
        offer_pages = s.pages;
        shown_page = nullptr;
        screen_teardown();
        screen_configure(s.flags, 204, 270, 16);
        ASSERT_EQ(0, screen_setup());
        EXPECT_EQ(s.result, screen_flags) << "flags " << s.flags << ", pages " << s.pages;
        for (int frame = 0; frame < 4; frame++) {
            clear_to_color(draw_target, frame + 1);
            ASSERT_EQ(0, screen_show());
            BITMAP *shown = s.pages ? shown_page : screen;
            ASSERT_TRUE(shown && getpixel(shown, 203, 269) == frame + 1) << "flags " << s.flags << ", frame " << frame;
        }
    }
    refuse_mode = true;
    screen_configure(P | D, 204, 270, 16);
    EXPECT_TRUE(screen_setup() == -1 && !draw_target && screen_show() == -1 && screen_teardown() == -1);
}

// Allegro's X11 port shows 16-bit pixels unchanged on a 15-bit display, so
// there the game draws in 15 bits; 256 colours or fewer it cannot show.
TEST_F(Display, TheDesktopsDepthChoosesTheWindows)
{
    const struct { int desktop, depth; } desktops[] = {{15, 15}, {24, 16}, {8, 0}};  // 0: refused
    for (const auto &d : desktops) {
        shutdown_game();
        desktop_depth = d.desktop;
        if (init_game() != 0) {
            EXPECT_TRUE(!d.depth && std::strstr(fatal_error, "256 colours or fewer")) << d.desktop;
            continue;
        }
        pass(-1, -1, 0);
        EXPECT_TRUE(bitmap_color_depth(screen) == d.depth && bitmap_color_depth(back_buffer) == d.depth) << d.desktop;
        EXPECT_EQ(-1, first_wrong_row()) << "a pass draws";
    }
}

// A scripted game through the real main loop: after every pass the window
// holds the whole frame, though only changed rows were copied.
TEST_F(Display, EveryPassLeavesTheWholeFrameInTheWindow)
{
    remove_mouse();  // a pointer the library draws would force whole copies
    std::mt19937 rng(20240615);
    clear_to_color(screen, makecol(255, 0, 255));  // stale pixels
    key[KEY_ENTER] = 1;  // dialogs close at once
    for (int i = 0; i < 600; i++) {
        const int x = rng() % window_width, y = rng() % window_height;
        pass(x, y, rng() % 4 == 0 ? rng() % 4 : 0);  // left, right or both
        ASSERT_EQ(-1, first_wrong_row()) << "pass " << i;
    }
    // Only changed rows are copied: a pixel the frame never touched stays wrong.
    putpixel(screen, 0, screen->h - 1, 0);
    pass(-1, -1, 0);
    EXPECT_EQ(screen->h - 1, first_wrong_row());
    screen_invalidate();  // the window was lost: all of it is copied again
    pass(-1, -1, 0);
    EXPECT_EQ(-1, first_wrong_row());
    // Rows are compared in chunks: pixels either side of a chunk's edge and
    // at the frame's edges, which the scene leaves unchanged.
    const int w = screen->w, h = screen->h;
    for (int x : {0, 1, 31, 32, 33, w - 33, w - 32, w - 2, w - 1})
        for (int y : {0, h - 1}) {
            putpixel(back_buffer, x, y, getpixel(back_buffer, x, y) ^ 0x8000);  // one byte of two
            screen_show();
            ASSERT_EQ(-1, first_wrong_row()) << "pixel " << x << ", " << y;
        }
}

}  // namespace
