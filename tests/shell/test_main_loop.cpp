// The game's own start-up, main-loop passes and shutdown on the stand-in
// system: the menu and its items, the face, the clock, a loss, a win and
// its record; the menu's state machine; the pacing between passes.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "minefield/board.h"
#include "minefield/records.h"
#include "shell/display.h"
#include "shell/menu/menu.h"
#include "shell/pacing.h"
#include "shell/resources.h"
#include "shell/shell.h"
#include "ui/scene.h"
#include "support/windowless.h"

namespace {

std::string file_bytes(void)
{
    std::ifstream in(records_path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
int uncovered_cells(void)
{
    int n = 0;
    for (int i = 0; i < rows * cols; i++)
        n += (board[i / cols][i % cols].state & CELL_UNCOVERED) != 0;
    return n;
}

class MainLoop : public testing::Test {
protected:
    void SetUp() override
    {
        use_windowless_system();
        records_path = "test_main_loop.dat";
        std::remove(records_path);
        ASSERT_EQ(0, init_game()) << fatal_error;
        srand(3);    // start-up seeded it with the time
        new_game();  // what run_main_loop clears on entry
        board_armed = 0;
        move_pointer(-1, -1, 0);
    }
    void TearDown() override
    {
        shutdown_game();
        std::remove(records_path);
        quit_requested = key[KEY_ENTER] = 0;
        fatal_error = nullptr;
    }
    void pass(int x, int y, int buttons) { move_pointer(x, y, buttons), main_loop_pass(); }
    void fresh(void (*set_level)(void))
    {
        set_level();
        ASSERT_EQ(0, restart_display());
        new_game();
        *game_menu = GameMenu();
        board_armed = quit_requested = 0;
    }
    void start_at(int x, int y)
    {
        pass(x, y, 0), pass(x, y, 1), pass(x, y, 0);
        ASSERT_TRUE(started && !game_over);
    }
    // Opens the menu on its title and, once it takes presses, presses the item.
    void choose(int item)
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

// The clock from the first press, a loss that shows the whole board, flags
// too, and stops the clock, and the face that starts again and keeps the
// game Ready while it is held.
TEST_F(MainLoop, FromReadyToLostAndBackByTheFace)
{
    pass(100, 100, 0);
    pass(100, 100, 1);  // lays the teeth; the clock starts with the next pass
    EXPECT_EQ(0u, ticks);
    start_at(100, 100);
    EXPECT_EQ(3u, ticks);
    int tooth = 0, flagged;
    while (!board[tooth / cols][tooth % cols].decayed)
        tooth++;
    for (flagged = tooth + 1; !board[flagged / cols][flagged % cols].decayed;)
        flagged++;
    board[flagged / cols][flagged % cols].state |= CELL_FLAGGED;
    const int x = BOARD_LEFT + CELL_SIZE * (tooth % cols) + 19, y = BOARD_TOP + CELL_SIZE * (tooth / cols);
    pass(x, y, 1);
    pass(x, y, 0);
    EXPECT_TRUE(game_over && lost);
    for (int i = 0; i < rows * cols; i++)
        ASSERT_EQ(uint32_t(CELL_UNCOVERED), board[i / cols][i % cols].state) << "cell " << i;
    const uint32_t clock = ticks;
    pass(x, y, 1);
    pass(x, y, 0);
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
        {set_level_easy, 3599, 0}, {set_level_easy, 3600, -1},
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
TEST_F(MainLoop, MenuBandsAndChoices)
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
}

// The title area ends at (99, 39). Held down there, the button opens the
// menu, closes it 20 passes later (the title is in no band) and opens it
// again 21 passes after that; the title is lit everywhere while it is open.
TEST_F(MainLoop, MenuTitleAndAHeldButton)
{
    GameMenu menu;
    for (auto p : {std::make_pair(100, 39), std::make_pair(99, 40)}) {
        move_pointer(p.first, p.second, 1);
        EXPECT_TRUE(menu.update() == MENU_NONE && !menu.open && !menu.title_hot()) << p.first << "," << p.second;
    }
    int opened[2] = {-1, -1}, closed = -1, opens = 0;
    for (int pass = 0; pass < 60 && opens < 2; pass++) {
        const bool was_open = menu.open;
        move_pointer(99, 39, 1);
        EXPECT_EQ(MENU_NONE, menu.update());
        if (was_open != menu.open)
            (menu.open ? opened[opens++] : closed) = pass;
        move_pointer(600, 400, 1);
        EXPECT_EQ(menu.open, menu.title_hot());
    }
    EXPECT_TRUE(opened[0] == 0 && closed == 20 && opened[1] == 41) << opened[0] << " " << closed << " " << opened[1];
}

// Only the timer's tick or a close ends the wait, and periods missed before
// it collapse into one pass. A wake-up without a flag neither ends the wait
// nor waits for it: the timer thread never stalls behind the main thread's
// sleep (a waiter that kept the lock while it spun would hang this test).
TEST(Pacing, EachWriterEndsTheWaitAndNothingElseDoes)
{
    const struct { const char *name; void (*write)(void); int quit; } writers[] = {
        {"timer", on_timer_tick, 0}, {"close button", on_close_button, -1}, {"a store alone", [] { frame_tick = 1; }, 0}};
    for (const auto &w : writers) {
        SCOPED_TRACE(w.name);
        quit_requested = 0;
        for (int i = 0; i < 3; i++)
            on_timer_tick();
        next_frame();
        std::atomic<bool> written{false};
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            wake_frame_waiter();
            written = true;
            w.write();
        });
        next_frame();  // a wait that never ends hangs the test
        EXPECT_TRUE(written) << "the wait ended before anything was stored";
        writer.join();
        EXPECT_TRUE(frame_tick == 0 && quit_requested == w.quit);
    }
    quit_requested = 0;
}

}  // namespace
