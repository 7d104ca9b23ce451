// One whole pass of the main loop into memory bitmaps: menu, cell updates,
// board input, the scene, and showing it into a memory bitmap that stands
// for the window (comparing rows, copying those that changed: the clock's).
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "minefield/board.h"
#include "shell/menu/menu.h"
#include "shell/resources.h"
#include "shell/display.h"
#include "shell/shell.h"
#include "support/headless.h"

namespace {

bool load_once(void)
{
    static bool loaded = start_game_headless() == 0;
    return loaded;
}

// A game under way: opened around the middle, a few flags, the pointer on
// the board.
void start_mid_game(int level_code)
{
    switch (level_code) {
    case LEVEL_EASY: set_level_easy(); break;
    case LEVEL_HARD: set_level_hard(); break;
    default: set_level_custom(5, 2); break;
    }
    srand(1);
    new_game();
    first_click(cols / 2, rows / 2);
    for (int r = 0; r < rows; r += 3)
        for (int c = 0; c < cols; c += 4)
            if (!(cell_at(c, r).state & CELL_UNCOVERED))
                act_on_cell(cell_at(c, r), true, c, r);
    board_armed = 1;
}

void BM_MainLoopPass(benchmark::State &state)
{
    if (!load_once()) {
        state.SkipWithError(resource_error);
        return;
    }
    start_mid_game(static_cast<int>(state.range(0)));
    bool menu_open = state.range(1) != 0;
    screen_configure(SCREEN_DOUBLE_BUFFER, window_width, window_height, 16);
    draw_target = back_buffer = create_bitmap(window_width, window_height);
    BITMAP *window = window_bitmap = create_bitmap(window_width, window_height);
    *game_menu = GameMenu();
    game_menu->open = menu_open;
    mouse_x = menu_open ? 60 : BOARD_LEFT + 5 * CELL_SIZE + 3;
    mouse_y = menu_open ? 101 : BOARD_TOP + 3 * CELL_SIZE + 3;
    mouse_b = 0;

    for (auto _ : state) {
        main_loop_pass();
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(cols) + "x" + std::to_string(rows) + (menu_open ? " menu open" : " menu closed"));
    screen_teardown();
    destroy_bitmap(window);
}
BENCHMARK(BM_MainLoopPass)
    ->ArgsProduct({{LEVEL_EASY, LEVEL_HARD, LEVEL_CUSTOM}, {1, 0}})
    ->Unit(benchmark::kMicrosecond);

// Showing a frame alone at 824 x 590 (40 x 25 cells): an unchanged frame
// costs the row comparison; frames that differ everywhere cost that and a
// whole copy, the old price of every frame.
void BM_ScreenShow(benchmark::State &state)
{
    start_headless(16);
    screen_configure(SCREEN_DOUBLE_BUFFER, 824, 590, 16);
    BITMAP *frames[2] = {create_bitmap(824, 590), create_bitmap(824, 590)};
    clear_to_color(frames[0], makecol(90, 140, 200));
    clear_to_color(frames[1], makecol(200, 140, 90));
    BITMAP *window = window_bitmap = create_bitmap(824, 590);
    back_buffer = frames[0];
    screen_show();
    int step = state.range(0), i = 0;
    for (auto _ : state) {
        back_buffer = frames[i += step, i & 1];
        screen_show();
        benchmark::ClobberMemory();
    }
    state.SetLabel(step ? "every row changed" : "nothing changed");
    back_buffer = nullptr;
    screen_teardown();
    destroy_bitmap(frames[0]);
    destroy_bitmap(frames[1]);
    destroy_bitmap(window);
}
BENCHMARK(BM_ScreenShow)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
