// The flood against a literal breadth-first transcription, and the mine
// laying against the draw rule that makes a board depend only on the seed
// and the first press.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "minefield/board.h"

namespace {

struct Spot {
    int column, row;
    bool operator==(const Spot &other) const { return column == other.column && row == other.row; }
};

bool listed(const std::vector<Spot> &list, Spot spot)
{
    return std::find(list.begin(), list.end(), spot) != list.end();
}

// Slow and obviously breadth-first: a pending list eaten from the front, a
// done list, membership by linear search.
void reference_flood(int c0, int r0)
{
    std::vector<Spot> pending{{c0, r0}}, done;
    while (!pending.empty()) {
        Spot e = pending.front();
        done.push_back(e);
        pending.erase(pending.begin());
        for (int x = e.column - 1; x <= e.column + 1; x++) {
            for (int y = e.row - 1; y <= e.row + 1; y++) {
                if (x < 0 || x >= cols || y < 0 || y >= rows || (x == c0 && y == r0))
                    continue;
                Cell &cell = board[y][x];
                if (cell.decayed || (cell.state & CELL_FLAGGED))
                    continue;
                cell.state = CELL_UNCOVERED;
                if (listed(pending, {x, y}) || cell.count != 0 || listed(done, {x, y}))
                    continue;
                pending.push_back({x, y});
            }
        }
    }
}

bool same_cell(const Cell &a, const Cell &b)
{
    return a.state == b.state && a.count == b.count && a.glow == b.glow && a.cooldown == b.cooldown
        && a.pressed == b.pressed && a.decayed == b.decayed;
}

// Any size up to the full storage, teeth, flags (also on empty cells),
// hover bits, cells already open and cooldowns, all at random.
void random_board(std::mt19937 &rng)
{
    cols = 1 + rng() % BOARD_MAX_COLS;
    rows = 1 + rng() % BOARD_MAX_ROWS;
    int tooth_percent = rng() % 30, flag_percent = rng() % 20, open_percent = rng() % 30;
    const uint32_t covered_states[] = {CELL_COVERED, CELL_COVERED | CELL_HOVER};
    const uint32_t open_states[] = {CELL_UNCOVERED, CELL_UNCOVERED | CELL_HOVER};
    for (int r = 0; r < BOARD_MAX_ROWS; r++) {
        for (int c = 0; c < BOARD_MAX_COLS; c++) {
            Cell &cell = board[r][c];
            reset_cell(cell, int(rng() % 100) < tooth_percent);
            cell.cooldown = rng() % 3 == 0 ? rng() % FLAG_COOLDOWN : 0;
            cell.pressed = rng() % 2;
            if (int(rng() % 100) < open_percent && !cell.decayed)
                cell.state = open_states[rng() % 2];
            else
                cell.state = covered_states[rng() % 2] + (int(rng() % 100) < flag_percent ? CELL_FLAGGED : 0);
        }
    }
    count_neighbours();
}

TEST(Flood, MatchesTheBreadthFirstReferenceOnRandomBoards)
{
    static Board before, expected;
    int floods = 0;
    for (unsigned seed = 1; floods < 1000; seed++) {
        std::mt19937 rng(seed);
        random_board(rng);
        std::vector<Spot> starts;  // where a caller may start a flood
        for (int r = 0; r < rows; r++)
            for (int c = 0; c < cols; c++)
                if (board[r][c].count == 0 && !board[r][c].decayed && !(board[r][c].state & CELL_FLAGGED))
                    starts.push_back({c, r});
        if (starts.empty())
            continue;
        Spot start = starts[rng() % starts.size()];
        // Uncovered by its caller the way a click does, hover bit kept.
        Cell &first = cell_at(start.column, start.row);
        first.state = (first.state & CELL_HOVER) | CELL_UNCOVERED;

        memcpy(before, board, sizeof board);
        reference_flood(start.column, start.row);
        memcpy(expected, board, sizeof board);
        memcpy(board, before, sizeof board);
        flood_open(start.column, start.row);
        floods++;
        for (int r = 0; r < BOARD_MAX_ROWS; r++)
            for (int c = 0; c < BOARD_MAX_COLS; c++)
                ASSERT_TRUE(same_cell(expected[r][c], board[r][c]))
                    << "seed " << seed << ": cell " << c << "," << r << " on " << cols << " x " << rows
                    << " from " << start.column << "," << start.row << " has state " << board[r][c].state
                    << ", expected " << expected[r][c].state;
    }
}

// An empty 9 x 7 board.
void empty_board(void)
{
    set_level_custom(1, 0);
    reset_board();
}

TEST(Flood, LeavesTheStartAsItsCallerSetIt)
{
    empty_board();
    cell_at(4, 3).state = CELL_UNCOVERED | CELL_HOVER;
    flood_open(4, 3);
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            EXPECT_EQ(c == 4 && r == 3 ? uint32_t(CELL_UNCOVERED | CELL_HOVER) : uint32_t(CELL_UNCOVERED),
                      board[r][c].state) << c << "," << r;
}

TEST(Flood, FlaggedEmptyCellsStopIt)
{
    empty_board();
    for (int r = 0; r < rows; r++)
        cell_at(4, r).state = CELL_COVERED | CELL_FLAGGED;
    cell_at(0, 0).state = CELL_UNCOVERED;
    flood_open(0, 0);
    for (int r = 0; r < rows; r++) {
        for (int c = 0; c < cols; c++) {
            uint32_t expected = c < 4 ? CELL_UNCOVERED : c == 4 ? CELL_COVERED | CELL_FLAGGED : CELL_COVERED;
            EXPECT_EQ(expected, board[r][c].state) << c << "," << r;
        }
    }
}

// The laying rule spelt out: column then row from rand on every try.
void reference_lay(int c0, int r0, uint8_t teeth[BOARD_MAX_ROWS][BOARD_MAX_COLS])
{
    for (int n = level_teeth; n != 0;) {
        int x = rand() % cols;
        int y = rand() % rows;
        if (x != c0 && y != r0 && !teeth[y][x]) {
            teeth[y][x] = 1;
            n--;
        }
    }
}

TEST(MineLaying, SeedAndFirstPressDecideTheBoard)
{
    void (*const levels[])(void) = {set_level_easy, set_level_intermediate, set_level_hard};
    for (unsigned seed = 1; seed <= 300; seed++) {
        std::mt19937 rng(seed);
        if (seed % 4 < 3)
            levels[seed % 4]();
        else
            set_level_custom(1 + rng() % 5, rng() % 5);
        int c0 = rng() % cols, r0 = rng() % rows;
        uint8_t teeth[BOARD_MAX_ROWS][BOARD_MAX_COLS] = {};
        srand(seed);
        reference_lay(c0, r0, teeth);
        new_game();
        srand(seed);
        first_click(c0, r0);

        ASSERT_EQ(level_teeth, teeth_left) << "seed " << seed << ": laying must not touch the counter";
        ASSERT_EQ(uint32_t(CELL_UNCOVERED), cell_at(c0, r0).state & CELL_UNCOVERED) << "seed " << seed;
        // Counts by scattering each tooth onto its neighbours.
        int counts[BOARD_MAX_ROWS + 2][BOARD_MAX_COLS + 2] = {};
        for (int r = 0; r < rows; r++)
            for (int c = 0; c < cols; c++)
                for (int dy = -1; dy <= 1; dy++)
                    for (int dx = -1; dx <= 1; dx++)
                        counts[r + 1 + dy][c + 1 + dx] += teeth[r][c] && (dx || dy);
        for (int r = 0; r < rows; r++) {
            for (int c = 0; c < cols; c++) {
                ASSERT_EQ(teeth[r][c], cell_at(c, r).decayed) << "seed " << seed << " at " << c << "," << r;
                ASSERT_EQ(uint32_t(counts[r + 1][c + 1]), cell_at(c, r).count) << "seed " << seed;
            }
        }
    }
}

}  // namespace
