// The level table, the custom levels and the resets.
#include <gtest/gtest.h>

#include "minefield/board.h"

namespace {

void expect_level(int code, int c, int r, int teeth)
{
    EXPECT_EQ(code, level);
    EXPECT_EQ(c, cols);
    EXPECT_EQ(r, rows);
    EXPECT_EQ(teeth, level_teeth);
    EXPECT_EQ(teeth, teeth_left);
    EXPECT_EQ(20 * c + 24, window_width);
    EXPECT_EQ(20 * r + 90, window_height);
    EXPECT_EQ(0u, ticks);
    EXPECT_LE(r, BOARD_MAX_ROWS);
    EXPECT_LE(c, BOARD_MAX_COLS);
}

TEST(Levels, FixedAndEveryCustomCombination)
{
    ticks = 1234;
    set_level_easy();
    expect_level(LEVEL_EASY, 9, 9, 10);
    EXPECT_EQ(204, window_width);
    EXPECT_EQ(270, window_height);
    set_level_intermediate();
    expect_level(LEVEL_INTERMEDIATE, 16, 16, 40);
    set_level_hard();
    expect_level(LEVEL_HARD, 30, 16, 99);  // 30 wide, 16 tall: 624 x 410

    const int size_cols[] = {9, 18, 24, 32, 40}, size_rows[] = {7, 14, 15, 20, 25};
    const int teeth[5][5] = {
        {5, 7, 7, 10, 12}, {22, 28, 31, 42, 50}, {32, 40, 45, 60, 72},
        {58, 71, 80, 106, 128}, {90, 111, 125, 166, 200},
    };
    for (int s = 1; s <= 5; s++)
        for (int d = 0; d <= 4; d++) {
            SCOPED_TRACE(testing::Message() << "size " << s << " density " << d);
            ticks = 99;
            set_level_custom(s, d);
            expect_level(LEVEL_CUSTOM, size_cols[s - 1], size_rows[s - 1], teeth[s - 1][d]);
        }
}

TEST(Board, ResetTouchesOnlyTheCellsInPlayAndNewGameKeepsTheLevel)
{
    for (auto &row : board)
        for (Cell &cell : row)
            cell = Cell{CELL_UNCOVERED | CELL_FLAGGED, 7, -4, 3, 1, 1};
    set_level_custom(2, 3);  // 18 x 14
    ticks = 500;
    teeth_left = -2;
    started = 1;
    lost = game_over = true;
    new_game();
    for (int r = 0; r < BOARD_MAX_ROWS; r++)
        for (int c = 0; c < BOARD_MAX_COLS; c++) {
            const Cell &cell = board[r][c];
            if (r < 14 && c < 18) {
                EXPECT_EQ(uint32_t(CELL_COVERED), cell.state);
                EXPECT_EQ(0u, cell.count + cell.cooldown + cell.decayed);
                EXPECT_EQ(0, cell.glow);
                EXPECT_EQ(1u, cell.pressed) << "the per-pass update clears pressed";
            } else {
                EXPECT_EQ(7u, cell.count) << "cell " << c << "," << r << " is outside the level";
            }
        }
    EXPECT_EQ(LEVEL_CUSTOM, level);
    EXPECT_EQ(42, teeth_left);
    EXPECT_EQ(0u, ticks + started);
    EXPECT_FALSE(lost || game_over);
}

}  // namespace
