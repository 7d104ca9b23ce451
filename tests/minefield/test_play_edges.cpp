// Presses, releases, flags and opening-around on small boards laid out by hand.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "minefield/board.h"

namespace {

// A game in play on a board drawn as text: '*' a tooth, 'F' a flagged
// cell, 'X' a flagged tooth, '.' a covered cell.
void lay_out(std::initializer_list<const char *> picture)
{
    rows = int(picture.size());
    cols = int(strlen(*picture.begin()));
    reset_board();
    level_teeth = 0;
    int flags = 0, r = 0;
    for (const char *line : picture) {
        for (int c = 0; c < cols; c++) {
            Cell &cell = cell_at(c, r);
            cell.decayed = line[c] == '*' || line[c] == 'X';
            if (line[c] == 'F' || line[c] == 'X') {
                cell.state |= CELL_FLAGGED;
                flags++;
            }
            level_teeth += cell.decayed;
        }
        r++;
    }
    count_neighbours();
    teeth_left = level_teeth - flags;
    started = 1;
    lost = game_over = false;
    board_armed = 1;
    left_latch = right_latch = chord_latch = 0;
}

int x_of(int column) { return BOARD_LEFT + CELL_SIZE * column + CELL_SIZE / 2; }
int y_of(int row) { return BOARD_TOP + CELL_SIZE * row + CELL_SIZE / 2; }

// One pass of the main loop over a pixel, or over the middle of a cell.
int pass_at(int px, int py, int buttons)
{
    tick_cells(px, py);
    return board_input(px, py, buttons);
}
int pass(int column, int row, int buttons) { return pass_at(x_of(column), y_of(row), buttons); }

bool is_open(int column, int row) { return cell_at(column, row).state & CELL_UNCOVERED; }
bool is_flag(int column, int row) { return cell_at(column, row).state & CELL_FLAGGED; }

TEST(Input, TheReleaseUncoversTheCellUnderIt)
{
    lay_out({"*.*..",
             "....F"});
    EXPECT_EQ(0, pass(1, 0, BUTTON_LEFT));
    EXPECT_EQ(1u, cell_at(1, 0).pressed);
    EXPECT_EQ(0, pass(3, 0, BUTTON_LEFT));
    EXPECT_EQ(0u, cell_at(1, 0).pressed);
    EXPECT_EQ(1, pass(3, 0, 0));
    EXPECT_TRUE(is_open(3, 0));
    EXPECT_FALSE(is_open(1, 0));
    // A flag is neither pressed nor uncovered.
    pass(4, 1, BUTTON_LEFT);
    EXPECT_EQ(0u, cell_at(4, 1).pressed);
    EXPECT_EQ(0, pass(4, 1, 0));
    EXPECT_EQ(uint32_t(CELL_COVERED | CELL_HOVER | CELL_FLAGGED), cell_at(4, 1).state);
}

TEST(Input, AHeldRightButtonTogglesOnce)
{
    lay_out({".*.",
             "..."});
    // Long enough to outlast the cooldown once, not twice.
    for (int i = 0; i < FLAG_COOLDOWN + FLAG_COOLDOWN / 2; i++)
        EXPECT_EQ(0, pass(1, 0, BUTTON_RIGHT));
    EXPECT_TRUE(is_flag(1, 0));
    EXPECT_EQ(0, teeth_left);
    pass(1, 0, 0);
    pass(1, 0, BUTTON_RIGHT);
    EXPECT_FALSE(is_flag(1, 0));
    EXPECT_EQ(1, teeth_left);
}

// Unflags (1, 0), then presses left there and lets go on pass n after the toggle.
void unflag_then_release_on_pass(int n)
{
    lay_out({".F.",
             "*.."});
    pass(1, 0, BUTTON_RIGHT);
    pass(1, 0, 0);
    for (int i = 2; i < n; i++)
        pass(1, 0, BUTTON_LEFT);
    pass(1, 0, 0);
}

TEST(Input, AToggledCellIgnoresActionsForTheCooldown)
{
    unflag_then_release_on_pass(FLAG_COOLDOWN - 1);
    EXPECT_FALSE(is_open(1, 0));
    EXPECT_FALSE(is_flag(1, 0));
    unflag_then_release_on_pass(FLAG_COOLDOWN);
    EXPECT_TRUE(is_open(1, 0));

    // Opening-around passes over a cell still cooling down (no neighbour
    // is empty, so no flood reaches it either).
    lay_out({"X..*",
             "....",
             "....",
             "*..*"});
    cell_at(1, 1).state = CELL_UNCOVERED;
    cell_at(2, 2).cooldown = 3;
    pass(1, 1, BUTTON_MIDDLE);
    EXPECT_EQ(1, pass(1, 1, 0));
    EXPECT_TRUE(is_open(1, 0) && is_open(2, 0) && is_open(0, 1) && is_open(2, 1) && is_open(0, 2) && is_open(1, 2));
    EXPECT_FALSE(is_open(2, 2));
}

TEST(Input, ALeftPressLetGoOffTheBoardActsOnTheReturn)
{
    lay_out({"*.*..",
             "....."});
    const int just_right = BOARD_LEFT + CELL_SIZE * cols, just_below = BOARD_TOP + CELL_SIZE * rows;
    pass(1, 0, BUTTON_LEFT);
    EXPECT_EQ(0, pass_at(just_right, y_of(0), 0));
    EXPECT_EQ(0, pass_at(x_of(1), just_below, 0));
    EXPECT_EQ(1, left_latch);
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            EXPECT_FALSE(is_open(c, r));
    // The last pixel of the last column is on the board.
    EXPECT_EQ(1, pass_at(just_right - 1, y_of(1), 0));
    EXPECT_TRUE(is_open(4, 1));
    EXPECT_FALSE(is_open(1, 0));
}

TEST(OpenAround, TooFewFlagsChangeNothing)
{
    lay_out({"*.*",
             "F.."});
    cell_at(1, 0).state = CELL_UNCOVERED;  // 2 teeth around, 1 flag
    pass(1, 0, BUTTON_LEFT | BUTTON_RIGHT);
    EXPECT_EQ(1, pass(1, 0, 0));
    for (int c = 0; c < cols; c++)
        EXPECT_FALSE(is_open(c, 1) || (c != 1 && is_open(c, 0))) << c;
}

TEST(OpenAround, AWrongFlagUncoversTheToothAndTheRest)
{
    lay_out({"*..",
             ".F.",
             "..."});
    cell_at(1, 0).state = CELL_UNCOVERED;
    pass(1, 0, BUTTON_MIDDLE);
    EXPECT_EQ(-1, pass(1, 0, 0));
    EXPECT_TRUE(is_open(0, 0) && is_open(2, 0) && is_open(0, 1) && is_open(2, 1));
    EXPECT_TRUE(is_flag(1, 1));
}

TEST(OpenAround, LettingGoOfLeftAndRightUncoversThenOpensAround)
{
    // Empty neighbours spread the opening beyond them.
    lay_out({"X....",
             ".....",
             "....."});
    pass(1, 1, BUTTON_LEFT);
    pass(1, 1, BUTTON_LEFT | BUTTON_RIGHT);
    EXPECT_EQ(1, pass(1, 1, 0));
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            EXPECT_EQ(c + r != 0, is_open(c, r)) << c << "," << r;
}

// A Ready Easy game with the board armed.
void ready_easy_game(void)
{
    set_level_easy();
    new_game();
    board_armed = 1;
}

TEST(FirstPress, AnyButtonLaysTheTeethAndUncovers)
{
    for (int button : {int(BUTTON_RIGHT), int(BUTTON_MIDDLE), BUTTON_LEFT | BUTTON_RIGHT}) {
        ready_easy_game();
        srand(7);
        EXPECT_EQ(1, pass(4, 4, button)) << button;
        EXPECT_EQ(1u, started);
        EXPECT_EQ(uint32_t(CELL_UNCOVERED | CELL_HOVER), cell_at(4, 4).state) << button;
        EXPECT_NE(-1, pass(4, 4, 0));
        EXPECT_EQ(10, teeth_left);
    }
}

TEST(FirstPress, ALatchLeftByTheLastGameDoesNotAct)
{
    lay_out({"*.*..",
             "....."});
    pass(1, 0, BUTTON_LEFT);
    pass(1, 0, BUTTON_LEFT | BUTTON_MIDDLE);
    pass_at(0, 0, 0);  // let go off the board, then a new game by the face button
    ready_easy_game();
    EXPECT_EQ(0, pass(4, 4, 0));
    EXPECT_EQ(0u, started);
    for (int r = 0; r < rows; r++)
        for (int c = 0; c < cols; c++)
            EXPECT_EQ(uint32_t(CELL_COVERED), board[r][c].state & ~uint32_t(CELL_HOVER));
}

}  // namespace
