// The board model and the level table.
#include "board.h"

Board board;

int level;
int rows;
int cols;
int level_teeth;
int teeth_left;
uint32_t ticks;
int window_width;
int window_height;
uint32_t started;
bool lost;
bool game_over;

namespace {

// The frame around the field: 13 px left and 11 right of the board; 42 above
// (menu button, face, counters) and 48 below (status strip).
constexpr int FRAME_WIDTH = 24;
constexpr int FRAME_HEIGHT = 90;

void set_level(int code, int new_cols, int new_rows, int teeth)
{
    level = code;
    cols = new_cols;
    rows = new_rows;
    level_teeth = teeth;
    teeth_left = teeth;
    window_width = CELL_SIZE * cols + FRAME_WIDTH;
    window_height = CELL_SIZE * rows + FRAME_HEIGHT;
    ticks = 0;
}

}  // namespace

void set_level_easy(void) { set_level(LEVEL_EASY, 9, 9, 10); }
void set_level_intermediate(void) { set_level(LEVEL_INTERMEDIATE, 16, 16, 40); }
void set_level_hard(void) { set_level(LEVEL_HARD, 30, 16, 99); }

void set_level_custom(int size, int density)
{
    // Small fields are squarer (9:7), large ones wider (8:5).
    int new_cols = size > 2 ? 8 * size : 9 * size;
    int new_rows = size > 2 ? 5 * size : 7 * size;
    // 11, 9, 8, 6, 5 cells per tooth: the truncation of 11 - 1.5d is intended.
    int divisor = static_cast<int>(11.0 - 1.5 * density);
    set_level(LEVEL_CUSTOM, new_cols, new_rows, new_cols * new_rows / divisor);
}

void reset_cell(Cell &cell, uint8_t decayed)
{
    // pressed is left alone: the next tick_cell clears it.
    cell.state = CELL_COVERED;
    cell.count = 0;
    cell.glow = 0;
    cell.cooldown = 0;
    cell.decayed = decayed;
}

void reset_board(void)
{
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            reset_cell(board[r][c], 0);
}

void new_game(void)
{
    reset_board();
    ticks = 0;
    teeth_left = level_teeth;
    lost = false;
    game_over = false;
    started = 0;
}
