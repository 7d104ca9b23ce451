// The first press of a game: laying the teeth and counting neighbours.
#include <cstdlib>

#include "board.h"

void first_click(int column, int row)
{
    lay_teeth(column, row);
    count_neighbours();
    started = 1;
    // No tooth lies in this row or column, so the uncover is always safe.
    act_on_cell(cell_at(column, row), false, column, row);
}

void lay_teeth(int column, int row)
{
    // No flag can be set before the first press, so the counter still holds
    // the level's teeth. Only cells outside the pressed row and column can
    // take one; no level comes near that bound, which is only there so that
    // an impossible count cannot keep the draws going for ever.
    int capacity = (cols - 1) * (rows - 1);
    int to_lay = teeth_left < 0 ? 0 : teeth_left > capacity ? capacity : teeth_left;
    while (to_lay != 0) {
        // Column first, then row, both drawn on every try, rejected or not:
        // the seed and the first press alone decide the board.
        int x = rand() % cols;
        int y = rand() % rows;
        Cell &cell = cell_at(x, y);
        if (x == column || y == row || cell.decayed)
            continue;
        cell.decayed = 1;
        to_lay--;
    }
}

void count_neighbours(void)
{
    for (int r = 0; r < rows; r++) {
        for (int c = 0; c < cols; c++) {
            uint32_t teeth = 0;
            for (int y = r - 1; y <= r + 1; y++)
                for (int x = c - 1; x <= c + 1; x++)
                    if (in_play(x, y) && !(x == c && y == r) && cell_at(x, y).decayed)
                        teeth++;
            cell_at(c, r).count = teeth;
        }
    }
}
