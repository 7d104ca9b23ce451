// The board of cells, the game variables, the levels and the rules of play.
//
// Everything here is plain data and plain functions: no drawing and no
// library calls, so the rules run headless. The pointer and the mouse
// buttons come in as values; the shell reads them from Allegro and hands
// them over once per pass of the 60 Hz loop.
#ifndef DENTIVALE_MINEFIELD_BOARD_H
#define DENTIVALE_MINEFIELD_BOARD_H

#include <cstdint>

// Bits of Cell::state. Uncovering adds 1 (COVERED becomes UNCOVERED, and
// COVERED|HOVER becomes UNCOVERED|HOVER); flagging adds 8.
enum {
    CELL_COVERED = 1,
    CELL_UNCOVERED = 2,
    CELL_HOVER = 4,    // pointer over a covered cell this pass; ignored once uncovered
    CELL_FLAGGED = 8,  // only ever set on a covered cell
};

// Level codes are bits, not an index: 1, 2, 4, 8.
enum {
    LEVEL_EASY = 1,
    LEVEL_INTERMEDIATE = 2,
    LEVEL_HARD = 4,
    LEVEL_CUSTOM = 8,
};

// Bits of the button state handed to board_input (Allegro's mouse_b).
enum {
    BUTTON_LEFT = 1,
    BUTTON_RIGHT = 2,
    BUTTON_MIDDLE = 4,
};

// Fixed storage; the top-left rows x cols part is in play.
constexpr int BOARD_MAX_ROWS = 30;
constexpr int BOARD_MAX_COLS = 60;

// Board geometry in window pixels. The art's B_CELL is CELL_SIZE square,
// which the resource loader checks, so the rules need not ask the bitmap.
constexpr int BOARD_LEFT = 13;
constexpr int BOARD_TOP = 42;
constexpr int CELL_SIZE = 20;

constexpr int GLOW_START = 180;      // hover tint strength while the pointer is on a cell
constexpr int GLOW_FADE = 8;         // lowered by this per pass after it leaves
constexpr int FLAG_COOLDOWN = 20;    // passes a cell ignores actions after a flag toggle

struct Cell {
    uint32_t state;     // CELL_* bits; a fresh cell is exactly CELL_COVERED
    uint32_t count;     // teeth among the up to eight neighbours in play, 0..8
    int32_t glow;       // hover tint: 180 on hover, -8 per pass, passes -4 once, then 0
    uint32_t cooldown;  // passes left during which the cell ignores actions
    uint32_t pressed;   // 1 while it is to be drawn held down this pass
    uint8_t decayed;    // 1 when a decayed tooth lies here
};

// Row-major: board[row][column]. Cells outside the level keep stale data
// and are never read.
typedef Cell Board[BOARD_MAX_ROWS][BOARD_MAX_COLS];
extern Board board;

// Game variables: one instance for the whole run, written by the level
// functions, the rules and the shell's main loop.
extern int level;            // LEVEL_* code of the current level
extern int rows;             // rows in play, 7..25
extern int cols;             // columns in play, 9..40
extern int level_teeth;      // teeth the level lays
extern int teeth_left;       // counter shown: level_teeth minus flags; may go negative
extern uint32_t ticks;       // game clock in passes of the 60 Hz loop since the first press
extern int window_width;     // 20 * cols + 24 pixels
extern int window_height;    // 20 * rows + 90 pixels
extern uint32_t started;     // the first press of this game has laid the teeth
extern bool lost;            // a tooth was uncovered
extern bool game_over;       // the game ended, won or lost

// Input state of board_input; all 0 when the main loop starts.
extern uint32_t board_armed;  // the board takes input only while 1
extern uint8_t left_latch;    // left went down alone over the board; uncover on release
extern uint8_t right_latch;   // this right press already toggled a flag
extern uint8_t chord_latch;   // middle, or left+right, is or was down; open around on release

inline Cell &cell_at(int column, int row) { return board[row][column]; }
inline bool in_play(int column, int row) { return column >= 0 && column < cols && row >= 0 && row < rows; }

// Levels. Each sets level, rows, cols, level_teeth, teeth_left, the window
// size, and ticks = 0.
void set_level_easy(void);
void set_level_intermediate(void);
void set_level_hard(void);
// size 1..5, density 0..4, as the Customize dialog's sliders give them.
void set_level_custom(int size, int density);

void reset_cell(Cell &cell, uint8_t decayed);
void reset_board(void);      // every cell in play back to fresh
void new_game(void);         // reset_board, clock and counter, flags cleared; level kept

// Mine laying (at the first press of a game).
void first_click(int column, int row);
void lay_teeth(int column, int row);   // none in the pressed row or column
void count_neighbours(void);

// Play. Results: -1 a tooth was uncovered, 1 something safe was, 0 nothing.
// px, py is the pointer in window pixels; buttons holds BUTTON_* bits.
int tick_cell(Cell &cell, int x, int y, int px, int py);
void tick_cells(int px, int py);        // tick_cell over the board in play, row by row
int board_input(int px, int py, int buttons);
int act_on_cell(Cell &cell, bool toggle_flag, int column, int row);
void flood_open(int column, int row);
int open_around(Cell &cell, int column, int row);
int count_flags_around(int column, int row);
void press_around(int column, int row);
bool check_win(void);                   // on true: teeth_left = 0, every tooth flagged
void reveal_board(void);                // the loss: game_over, lost, every cell exactly uncovered

#endif
