// The rules of play: one pass's pointer and buttons turned into uncovering,
// flagging and opening-around; the flood that opens an empty region; the
// per-pass cell update; the end of a game.
#include "board.h"

uint32_t board_armed;
uint8_t left_latch;
uint8_t right_latch;
uint8_t chord_latch;

namespace {

// Added to a covered state it swaps the covered bit for the uncovered one
// and keeps the others, so a hovered cell (5) becomes 6, as drawn.
constexpr uint32_t UNCOVER_STEP = CELL_UNCOVERED - CELL_COVERED;
constexpr int BUTTONS_ANY = BUTTON_LEFT | BUTTON_RIGHT | BUTTON_MIDDLE;

bool is_uncovered(const Cell &cell) { return cell.state & CELL_UNCOVERED; }
bool is_flagged(const Cell &cell) { return cell.state & CELL_FLAGGED; }

bool on_board(int px, int py)
{
    return px >= BOARD_LEFT && px < BOARD_LEFT + CELL_SIZE * cols
        && py >= BOARD_TOP && py < BOARD_TOP + CELL_SIZE * rows;
}

// A tooth outweighs a safe uncover, which outweighs nothing.
int worse_result(int a, int b)
{
    if (a == -1 || b == -1)
        return -1;
    return a == 1 || b == 1 ? 1 : 0;
}

// The flood's bookkeeping, kept between calls so that none allocates.
// Every position enters the queue at most once, so the queue never holds
// more than the board has cells.
uint8_t flood_seen[BOARD_MAX_ROWS][BOARD_MAX_COLS];  // 1 once queued during the current flood
uint16_t flood_queue[BOARD_MAX_ROWS * BOARD_MAX_COLS];  // row * BOARD_MAX_COLS + column, oldest first

}  // namespace

int board_input(int px, int py, int buttons)
{
    // One reading of the buttons serves every test of the pass, so a
    // button that changes meanwhile cannot make two tests disagree.
    bool left = buttons & BUTTON_LEFT;
    bool right = buttons & BUTTON_RIGHT;
    bool middle = buttons & BUTTON_MIDDLE;

    // An uncover or an opening-around needs its release over the board:
    // dragging off and letting go takes the press back, so it cannot act
    // later when the pointer merely passes over a cell. A press the menu
    // opened on (dragged onto its title) ends while the board is not
    // looking and is dropped as well.
    if (!board_armed) {
        left_latch = chord_latch = 0;
        return 0;
    }
    if (!on_board(px, py)) {
        if (!left && !right)
            left_latch = 0;
        if (!middle && !(left && right))
            chord_latch = 0;
        return 0;
    }
    int column = (px - BOARD_LEFT) / CELL_SIZE;
    int row = (py - BOARD_TOP) / CELL_SIZE;
    Cell &cell = cell_at(column, row);
    int result = 0;

    if (!started) {
        // In a Ready game any press on the board is its first, so a latch
        // still set was left by the last game (pressed on the board, let go
        // off it, then a new game). Its release must not uncover a cell of
        // a board with no teeth yet: the flood would open it all into a win.
        left_latch = right_latch = chord_latch = 0;
        if (buttons & BUTTONS_ANY) {
            first_click(column, row);
            result = 1;
        }
    }

    // Left: held alone it shows the cell pressed; the uncover waits for the
    // release, on whatever cell the pointer is over by then.
    if (left && !right) {
        left_latch = 1;
        if (!is_flagged(cell))
            cell.pressed = 1;
    } else if (!left && !right) {
        if (left_latch)
            result = act_on_cell(cell, false, column, row);
        left_latch = 0;
    }

    // Right alone: one flag toggle per press, however long it is held.
    if (right && !left) {
        if (!right_latch)
            act_on_cell(cell, true, column, row);
        right_latch = 1;
    } else if (!left && !right) {
        right_latch = 0;
    }

    // Middle, or left and right together: open around at the release.
    if (middle || (left && right)) {
        chord_latch = 1;
        press_around(column, row);
        return result;
    }
    if (chord_latch) {
        int opened = open_around(cell, column, row);
        chord_latch = 0;
        result = worse_result(result, opened);
    }
    return result;
}

int act_on_cell(Cell &cell, bool toggle_flag, int column, int row)
{
    if (is_uncovered(cell) || cell.cooldown != 0)
        return 0;
    if (toggle_flag) {
        if (is_flagged(cell)) {
            cell.state -= CELL_FLAGGED;
            teeth_left++;
        } else {
            teeth_left--;
            cell.state += CELL_FLAGGED;
        }
        cell.cooldown = FLAG_COOLDOWN;  // a release right after cannot uncover it
        return 0;
    }
    if (is_flagged(cell))
        return 0;
    cell.state += UNCOVER_STEP;
    if (cell.decayed)
        return -1;
    if (cell.count == 0)
        flood_open(column, row);
    return 1;
}

void flood_open(int column, int row)
{
    // Breadth-first from the start. Every uncovered neighbour is set to
    // exactly CELL_UNCOVERED; only cells with no tooth around carry the
    // flood further. The start is compared with where the flood began, not
    // with the cell being spread from: the caller has already uncovered it
    // and its state (hover bit and all) stays as the caller left it.
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            flood_seen[r][c] = 0;
    int head = 0, tail = 0;
    flood_queue[tail++] = static_cast<uint16_t>(row * BOARD_MAX_COLS + column);
    flood_seen[row][column] = 1;

    while (head < tail) {
        int from_column = flood_queue[head] % BOARD_MAX_COLS;
        int from_row = flood_queue[head] / BOARD_MAX_COLS;
        head++;
        for (int x = from_column - 1; x <= from_column + 1; x++) {
            for (int y = from_row - 1; y <= from_row + 1; y++) {
                if (!in_play(x, y) || (x == column && y == row))
                    continue;
                Cell &next = cell_at(x, y);
                // A flag stops the flood even over an empty cell: the
                // player said a tooth is there.
                if (next.decayed || is_flagged(next))
                    continue;
                next.state = CELL_UNCOVERED;
                if (next.count != 0 || flood_seen[y][x])
                    continue;
                flood_seen[y][x] = 1;
                flood_queue[tail++] = static_cast<uint16_t>(y * BOARD_MAX_COLS + x);
            }
        }
    }
}

int open_around(Cell &cell, int column, int row)
{
    if (!is_uncovered(cell) || cell.count == 0)
        return 0;
    if (count_flags_around(column, row) != static_cast<int>(cell.count))
        return 1;
    // A wrong flag leaves a tooth unflagged: it is uncovered with the rest,
    // and the pass goes on.
    int result = 1;
    for (int x = column - 1; x <= column + 1; x++) {
        for (int y = row - 1; y <= row + 1; y++) {
            if (!in_play(x, y) || (x == column && y == row))
                continue;
            Cell &next = cell_at(x, y);
            if (is_uncovered(next) || next.cooldown != 0 || is_flagged(next))
                continue;
            next.state += UNCOVER_STEP;
            if (next.decayed)
                result = -1;
            else if (next.count == 0)
                flood_open(x, y);
        }
    }
    return result;
}

int count_flags_around(int column, int row)
{
    int flags = 0;
    for (int x = column - 1; x <= column + 1; x++)
        for (int y = row - 1; y <= row + 1; y++)
            if (in_play(x, y) && !(x == column && y == row) && is_flagged(cell_at(x, y)))
                flags++;
    return flags;
}

void press_around(int column, int row)
{
    for (int x = column - 1; x <= column + 1; x++)
        for (int y = row - 1; y <= row + 1; y++)
            if (in_play(x, y) && !is_flagged(cell_at(x, y)))
                cell_at(x, y).pressed = 1;
}

int tick_cell(Cell &cell, int x, int y, int px, int py)
{
    cell.pressed = 0;
    if (cell.cooldown != 0)
        cell.cooldown--;
    if (!(cell.state & CELL_COVERED))
        return 0;
    // Passes -4 once on its way down (180 is not a multiple of 8); the
    // drawing treats anything up to 0 as no tint.
    if (cell.glow > 0)
        cell.glow -= GLOW_FADE;
    else
        cell.glow = 0;
    if (cell.state & CELL_HOVER)
        cell.state -= CELL_HOVER;
    if (px >= x && px < x + CELL_SIZE && py >= y && py < y + CELL_SIZE) {
        cell.state += CELL_HOVER;
        cell.glow = GLOW_START;
        return 1;
    }
    return 0;
}

void tick_cells(int px, int py)
{
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            tick_cell(board[r][c], BOARD_LEFT + c * CELL_SIZE, BOARD_TOP + r * CELL_SIZE, px, py);
}

bool check_win(void)
{
    if (lost)
        return false;
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            if (!is_uncovered(board[r][c]) && !board[r][c].decayed)
                return false;
    teeth_left = 0;
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            if (board[r][c].decayed && !is_flagged(board[r][c]))
                board[r][c].state += CELL_FLAGGED;
    return true;
}

void reveal_board(void)
{
    game_over = true;
    lost = true;
    // Exactly uncovered: flags and hover go, every tooth and number shows.
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            board[r][c].state = CELL_UNCOVERED;
}
