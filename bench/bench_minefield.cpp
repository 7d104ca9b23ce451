// The rules on the largest field, 40 x 25: the flood, opening-around, and
// the per-pass work of the main loop.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "minefield/board.h"

namespace {

// The largest custom field, every cell covered, no teeth.
void empty_largest_field(void)
{
    set_level_custom(5, 0);
    new_game();
}

bool all_uncovered_but_teeth_and_flags(void)
{
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            if (!board[r][c].decayed && !(board[r][c].state & (CELL_UNCOVERED | CELL_FLAGGED)))
                return false;
    return true;
}

// The flood does the same work on an already opened field, so the field
// need not be covered again between runs.
void BM_FloodEmptyFieldFromCorner(benchmark::State &state)
{
    empty_largest_field();
    cell_at(0, 0).state = CELL_UNCOVERED;
    flood_open(0, 0);
    if (!all_uncovered_but_teeth_and_flags())
        state.SkipWithError("the flood left cells covered");
    for (auto _ : state) {
        flood_open(0, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * cols * rows);
}
BENCHMARK(BM_FloodEmptyFieldFromCorner)->Unit(benchmark::kMicrosecond);

// Opening around a 2 whose two teeth (flagged) lie on a diagonal wall of
// teeth that cuts the field in two: the corners on either side of the wall
// each start a flood over their half. Two is the most one opening-around
// can start: two empty neighbours of the same cell that do not touch lie on
// opposite corners, and anything that keeps their regions apart makes the
// cells between them numbered or flagged.
constexpr int CHORD_COLUMN = 20, CHORD_ROW = 12;

void wall_across_largest_field(void)
{
    empty_largest_field();
    for (int r = 0; r < rows; r++) {
        int c = CHORD_COLUMN + CHORD_ROW - r;
        if (c >= 0 && c < cols && r != CHORD_ROW)
            cell_at(c, r).decayed = 1;
    }
    count_neighbours();
    cell_at(CHORD_COLUMN, CHORD_ROW).state = CELL_UNCOVERED;
    cell_at(CHORD_COLUMN + 1, CHORD_ROW - 1).state |= CELL_FLAGGED;
    cell_at(CHORD_COLUMN - 1, CHORD_ROW + 1).state |= CELL_FLAGGED;
}

void cover_chord_neighbours(void)
{
    for (int y = CHORD_ROW - 1; y <= CHORD_ROW + 1; y++)
        for (int x = CHORD_COLUMN - 1; x <= CHORD_COLUMN + 1; x++)
            if (!(x == CHORD_COLUMN && y == CHORD_ROW) && !(cell_at(x, y).state & CELL_FLAGGED))
                cell_at(x, y).state = CELL_COVERED;
}

void BM_OpenAroundTwoFloods(benchmark::State &state)
{
    wall_across_largest_field();
    Cell &chord = cell_at(CHORD_COLUMN, CHORD_ROW);
    bool opened = open_around(chord, CHORD_COLUMN, CHORD_ROW) == 1;
    if (!opened || !(cell_at(0, 0).state & cell_at(cols - 1, rows - 1).state & CELL_UNCOVERED))
        state.SkipWithError("the opening-around did not open both halves");
    for (auto _ : state) {
        cover_chord_neighbours();
        benchmark::DoNotOptimize(open_around(chord, CHORD_COLUMN, CHORD_ROW));
    }
}
BENCHMARK(BM_OpenAroundTwoFloods)->Unit(benchmark::kMicrosecond);

struct Pass {
    int px, py, buttons;
};

// Clicks and flags at random cells, each press held one pass: a busy player.
std::vector<Pass> scripted_passes(void)
{
    std::mt19937 rng(1);
    std::vector<Pass> passes;
    for (int i = 0; i < 4096; i++) {
        int px = BOARD_LEFT + rng() % (CELL_SIZE * cols), py = BOARD_TOP + rng() % (CELL_SIZE * rows);
        passes.push_back({px, py, rng() % 4 == 0 ? BUTTON_RIGHT : BUTTON_LEFT});
        passes.push_back({px, py, 0});
    }
    return passes;
}

// One main-loop pass over the board: every cell updated, the input, the
// loss or win test; a finished game is restarted.
void BM_GamePass(benchmark::State &state)
{
    set_level_custom(5, 4);
    srand(1);
    new_game();
    board_armed = 1;
    std::vector<Pass> passes = scripted_passes();
    size_t next = 0;
    for (auto _ : state) {
        const Pass &pass = passes[next];
        next = (next + 1) % passes.size();
        if (game_over)
            new_game();
        tick_cells(pass.px, pass.py);
        int result = board_input(pass.px, pass.py, pass.buttons);
        if (result == -1)
            reveal_board();
        else if (result != 0 && check_win())
            game_over = true;
    }
}
BENCHMARK(BM_GamePass)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
