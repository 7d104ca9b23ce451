// Placeholder rules: the loop runs, nothing on the board reacts yet.
#include "board.h"

uint32_t board_armed;
uint8_t left_latch;
uint8_t right_latch;
uint8_t chord_latch;

void first_click(int, int) {}
void lay_teeth(int, int) {}
void count_neighbours(void) {}
int tick_cell(Cell &, int, int, int, int) { return 0; }
void tick_cells(int, int) {}
int board_input(int, int, int) { return 0; }
int act_on_cell(Cell &, bool, int, int) { return 0; }
void flood_open(int, int) {}
int open_around(Cell &, int, int) { return 0; }
int count_flags_around(int, int) { return 0; }
void press_around(int, int) {}
bool check_win(void) { return false; }
void reveal_board(void) {}
