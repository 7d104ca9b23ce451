// The resets, and a count of teeth that cannot be laid. The level table is
// checked where the menu picks the levels and the customize dialog's sliders.
#include <gtest/gtest.h>

#include "minefield/board.h"

namespace {

TEST(Board, ResetTouchesOnlyTheCellsInPlayAndNewGameKeepsTheLevel)
{
    for (auto &row : board)
        for (Cell &cell : row)
            cell = Cell{CELL_UNCOVERED | CELL_FLAGGED, 7, -4, 3, 1, 1};
    set_level_custom(2, 3);  // 18 x 14
    ticks = 500, teeth_left = -2, started = 1, lost = game_over = true;
    new_game();
    for (int i = 0; i < BOARD_MAX_ROWS * BOARD_MAX_COLS; i++) {
        const Cell &cell = board[i / BOARD_MAX_COLS][i % BOARD_MAX_COLS];
        if (i / BOARD_MAX_COLS < 14 && i % BOARD_MAX_COLS < 18)  // pressed is for the per-pass update to clear
            ASSERT_TRUE(cell.state == CELL_COVERED && !cell.count && !cell.glow && !cell.cooldown && !cell.decayed &&
                        cell.pressed) << i;
        else
            ASSERT_EQ(7u, cell.count) << "cell " << i << " is outside the level";
    }
    EXPECT_TRUE(level == LEVEL_CUSTOM && teeth_left == 42 && !ticks && !started && !lost && !game_over);
}

// Teeth go only outside the pressed row and column: a count that cannot fit
// lays what fits instead of drawing for ever.
TEST(Board, TeethThatCannotFitFillWhatTheyCan)
{
    set_level_easy();
    new_game();
    teeth_left = 1000;
    lay_teeth(4, 4);
    int teeth = 0;
    for (int i = 0; i < rows * cols; i++)
        teeth += board[i / cols][i % cols].decayed;
    EXPECT_EQ(8 * 8, teeth);
}

}  // namespace
