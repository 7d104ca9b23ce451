// One whole pass of the main loop into memory bitmaps: menu, cell updates,
// board input, the scene, and the full-window copy that showing a frame costs.
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
    BITMAP *window = create_bitmap(window_width, window_height);
    draw_target = create_bitmap(window_width, window_height);
    *game_menu = GameMenu();
    game_menu->open = menu_open;
    mouse_x = menu_open ? 60 : BOARD_LEFT + 5 * CELL_SIZE + 3;
    mouse_y = menu_open ? 101 : BOARD_TOP + 3 * CELL_SIZE + 3;
    mouse_b = 0;

    for (auto _ : state) {
        main_loop_pass();
        blit(draw_target, window, 0, 0, 0, 0, window->w, window->h);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(cols) + "x" + std::to_string(rows) + (menu_open ? " menu open" : " menu closed"));
    destroy_bitmap(draw_target);
    draw_target = nullptr;
    destroy_bitmap(window);
}
BENCHMARK(BM_MainLoopPass)
    ->ArgsProduct({{LEVEL_EASY, LEVEL_HARD, LEVEL_CUSTOM}, {1, 0}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
