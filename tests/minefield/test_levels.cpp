// The level table, the custom levels and the resets.
#include <gtest/gtest.h>

#include "minefield/board.h"

namespace {

struct LevelCase {
    void (*set)(void);
    int code, cols, rows, teeth, width, height;
};

TEST(Levels, FixedLevelsMatchTheTable)
{
    const LevelCase cases[] = {
        {set_level_easy, LEVEL_EASY, 9, 9, 10, 204, 270},
        {set_level_intermediate, LEVEL_INTERMEDIATE, 16, 16, 40, 344, 410},
        {set_level_hard, LEVEL_HARD, 30, 16, 99, 624, 410},  // 30 wide, 16 tall
    };
    for (const LevelCase &c : cases) {
        ticks = 1234;
        teeth_left = -7;
        c.set();
        EXPECT_EQ(c.code, level);
        EXPECT_EQ(c.cols, cols);
        EXPECT_EQ(c.rows, rows);
        EXPECT_EQ(c.teeth, level_teeth);
        EXPECT_EQ(c.teeth, teeth_left);
        EXPECT_EQ(c.width, window_width);
        EXPECT_EQ(c.height, window_height);
        EXPECT_EQ(0u, ticks);
    }
}

TEST(Levels, EveryCustomCombination)
{
    // Teeth for density 0..4 on each field size 1..5.
    const int size_cols[] = {9, 18, 24, 32, 40};
    const int size_rows[] = {7, 14, 15, 20, 25};
    const int teeth[5][5] = {
        {5, 7, 7, 10, 12},
        {22, 28, 31, 42, 50},
        {32, 40, 45, 60, 72},
        {58, 71, 80, 106, 128},
        {90, 111, 125, 166, 200},
    };
    for (int s = 1; s <= 5; s++) {
        for (int d = 0; d <= 4; d++) {
            SCOPED_TRACE(testing::Message() << "size " << s << " density " << d);
            ticks = 99;
            set_level_custom(s, d);
            EXPECT_EQ(LEVEL_CUSTOM, level);
            EXPECT_EQ(size_cols[s - 1], cols);
            EXPECT_EQ(size_rows[s - 1], rows);
            EXPECT_EQ(teeth[s - 1][d], level_teeth);
            EXPECT_EQ(level_teeth, teeth_left);
            EXPECT_EQ(20 * cols + 24, window_width);
            EXPECT_EQ(20 * rows + 90, window_height);
            EXPECT_EQ(0u, ticks);
            EXPECT_LE(rows, BOARD_MAX_ROWS);
            EXPECT_LE(cols, BOARD_MAX_COLS);
        }
    }
}

void scribble_whole_board(void)
{
    for (auto &row : board)
        for (Cell &cell : row)
            cell = Cell{CELL_UNCOVERED | CELL_FLAGGED, 7, -4, 3, 1, 1};
}

TEST(Board, ResetTouchesOnlyTheCellsInPlay)
{
    scribble_whole_board();
    set_level_hard();
    reset_board();
    for (int r = 0; r < BOARD_MAX_ROWS; r++) {
        for (int c = 0; c < BOARD_MAX_COLS; c++) {
            const Cell &cell = board[r][c];
            if (r < 16 && c < 30) {
                EXPECT_EQ(uint32_t(CELL_COVERED), cell.state);
                EXPECT_EQ(0u, cell.count);
                EXPECT_EQ(0, cell.glow);
                EXPECT_EQ(0u, cell.cooldown);
                EXPECT_EQ(0, cell.decayed);
                EXPECT_EQ(1u, cell.pressed) << "pressed is the per-pass update's to clear";
            } else {
                EXPECT_EQ(7u, cell.count) << "cell " << c << "," << r << " is outside Hard";
            }
        }
    }
}

TEST(Board, NewGameKeepsTheLevelAndClearsThePlay)
{
    set_level_custom(2, 3);
    scribble_whole_board();
    ticks = 500;
    teeth_left = -2;
    started = 1;
    lost = true;
    game_over = true;
    new_game();
    EXPECT_EQ(LEVEL_CUSTOM, level);
    EXPECT_EQ(18, cols);
    EXPECT_EQ(14, rows);
    EXPECT_EQ(42, teeth_left);
    EXPECT_EQ(0u, ticks);
    EXPECT_EQ(0u, started);
    EXPECT_FALSE(lost);
    EXPECT_FALSE(game_over);
    EXPECT_EQ(uint32_t(CELL_COVERED), board[13][17].state);
    EXPECT_EQ(7u, board[14][17].count);
}

}  // namespace
