// The rules of play: seeded whole games checked after every pass, the flood
// and the mine laying against slow references, and hand-laid edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "minefield/board.h"

namespace {

constexpr int L = BUTTON_LEFT, R = BUTTON_RIGHT, M = BUTTON_MIDDLE;

template <class F>
void for_neighbours(int c, int r, F f)
{
    for (int y = r - 1; y <= r + 1; y++)
        for (int x = c - 1; x <= c + 1; x++)
            if (in_play(x, y) && (x != c || y != r))
                f(x, y, cell_at(x, y));
}

bool covered(const Cell &cell) { return cell.state & CELL_COVERED; }
bool flagged(const Cell &cell) { return cell.state & CELL_FLAGGED; }
constexpr int cx(int column) { return BOARD_LEFT + CELL_SIZE * column + CELL_SIZE / 2; }
constexpr int cy(int row) { return BOARD_TOP + CELL_SIZE * row + CELL_SIZE / 2; }

// The board drawn row by row, rows separated by '/': uncovered, covered,
// flagged and held down (covered, drawn pressed), each without and with a tooth.
constexpr char PICTURE_CHARS[] = "o!.*FX_~";

std::string board_picture(bool show_held = true)
{
    std::string picture;
    for (int i = 0; i < rows * cols; i++) {
        const Cell &cell = board[i / cols][i % cols];
        if (i && i % cols == 0)
            picture += '/';
        const int look = !covered(cell) ? 0 : flagged(cell) ? 4 : cell.pressed && show_held ? 6 : 2;
        picture += PICTURE_CHARS[look + cell.decayed];
    }
    return picture;
}

int pass_at(int px, int py, int buttons)
{
    tick_cells(px, py);
    return board_input(px, py, buttons);
}

// --- Whole games, played pass by pass the way the main loop plays them ---

constexpr int GAMES = 2000, MAX_PASSES = 4000;
constexpr int SKILLS[] = {0, 60, 90, 100};  // percent of passes aimed, by game

// Pointer and buttons of a pass; hand-written sequences repeat it and expect
// a result of board_input.
struct Pass { int px, py, buttons, times = 1, result = 0; };

std::mt19937 rng;                // the player's choices
unsigned game_seed;              // of rand, for the laying's reference
int skill;                       // percent of passes aimed with knowledge of the teeth, so that games are won too
Pass release;                    // the release of an aimed press; buttons -1 when none is due
int first_column, first_row;     // of the press that started the game, -1 while Ready
bool was_uncovered[BOARD_MAX_ROWS][BOARD_MAX_COLS];
Board reference;  // teeth and counts where the laying rule puts them; the board a flood should leave

int pick(int n) { return int(rng() % unsigned(n)); }
void custom_level(void) { set_level_custom(1 + pick(5), pick(5)); }
void (*const LEVELS[])(void) = {set_level_easy, set_level_intermediate, set_level_hard, custom_level, custom_level};

// A press on a useful cell and its release, or any buttons anywhere.
Pass next_pass(void)
{
    Pass pass = release;
    release.buttons = -1;
    if (pass.buttons == 0)
        return pass;
    std::vector<Pass> useful;  // column, row and buttons, for a player who knows where the teeth are
    bool aiming = started && pick(100) < skill;
    for (int i = 0; aiming && i < rows * cols; i++) {
        const int c = i % cols, r = i / cols;
        const Cell &x = board[r][c];
        int closed = 0;
        for_neighbours(c, r, [&](int, int, const Cell &n) { closed += covered(n) && !flagged(n); });
        int buttons = !covered(x) ? (x.count != 0 && count_flags_around(c, r) == int(x.count) && closed ? M : 0)
            : flagged(x) != bool(x.decayed) ? R : x.decayed ? 0 : L;  // R: an unflagged tooth or a wrong flag
        if (buttons)
            useful.push_back({c, r, buttons});
    }
    if (!useful.empty()) {
        Pass spot = useful[pick(int(useful.size()))];
        pass = {BOARD_LEFT + spot.px * CELL_SIZE + pick(CELL_SIZE), BOARD_TOP + spot.py * CELL_SIZE + pick(CELL_SIZE),
                spot.buttons == M && pick(2) ? L | R : spot.buttons};
        release = {pass.px, pass.py, 0};
        return pass;
    }
    // Any buttons, so that games also start with right or middle alone.
    int buttons = pick(2) ? 0 : 1 + pick(7);
    if (pick(4) == 0)
        return {pick(window_width), pick(window_height), buttons};
    // On a cell, or on the pixel just past the last column or row.
    return {BOARD_LEFT + (pick(6) ? pick(CELL_SIZE * cols) : CELL_SIZE * cols),
            BOARD_TOP + (pick(6) ? pick(CELL_SIZE * rows) : CELL_SIZE * rows), buttons};
}

// The laying rule spelt out: column then row from rand, drawn on every try.
void lay_reference(void)
{
    std::memset(reference, 0, sizeof reference);
    srand(game_seed);
    for (int n = level_teeth; n != 0;) {
        const int x = rand() % cols, y = rand() % rows;  // each initialiser in turn
        if (x != first_column && y != first_row && !reference[y][x].decayed) {
            reference[y][x].decayed = 1;
            n--;
            for_neighbours(x, y, [](int c, int r, const Cell &) { reference[r][c].count++; });
        }
    }
}

// What is wrong after board_input gave result, or after the game; empty
// when every rule holds. The laying rule lays exactly level_teeth teeth.
std::string broken_rule(int result)
{
    int flags = 0, open_teeth = 0;
    for (int i = 0; i < rows * cols; i++) {
        const int c = i % cols, r = i / cols;
        const Cell &cell = board[r][c];
        const uint32_t s = cell.state;
        const bool open = s & CELL_UNCOVERED;
        const char *rule = (s & ~15u) || (s & 3u) == 0 || (s & 3u) == 3 ? "not a covered or uncovered state"
            : open && flagged(cell) ? "flag on an uncovered cell"
            : was_uncovered[r][c] && !open ? "covered again"
            : cell.decayed && open && !lost && result != -1 ? "tooth uncovered, yet no -1"
            : cell.decayed && (c == first_column || r == first_row) ? "tooth in the first row or column"
            : !started && (open || cell.decayed) ? "touched before the first press"
            : started && (cell.decayed != reference[r][c].decayed || cell.count != reference[r][c].count)
                ? "tooth or count unlike the laying rule"
            : lost && s != CELL_UNCOVERED ? "not exactly uncovered after a loss"
            : game_over && !lost && !(cell.decayed ? flagged(cell) : open) ? "won, yet not flagged or open"
            : nullptr;
        if (rule)
            return "cell " + std::to_string(c) + "," + std::to_string(r) + " (" + std::to_string(s) + "): " + rule;
        was_uncovered[r][c] = open;
        flags += flagged(cell);
        open_teeth += cell.decayed && open;
    }
    if (result == -1 && open_teeth == 0)
        return "-1, yet no tooth uncovered";
    if (!lost && teeth_left != (game_over ? 0 : level_teeth - flags))  // a win shows 0
        return "teeth_left " + std::to_string(teeth_left) + " with " + std::to_string(flags) + " flags";
    return "";
}

// One pass of the main loop with the menu closed.
std::string play_pass(Pass pass)
{
    board_armed |= !(pass.buttons & L);
    bool was_ready = !started;
    // Only a release acts, and a release with the pointer off the board
    // takes its press back; so with no button down the board stays as it
    // is unless a release is due, and after such a pass none is due.
    const bool no_button = !(pass.buttons & (L | R | M));
    const std::string unchanged = no_button && !left_latch && !chord_latch ? board_picture(false) : "";
    int result = pass_at(pass.px, pass.py, pass.buttons);
    if (!unchanged.empty() && board_picture() != unchanged)
        return "a pass with no button and no latch changed the board";
    if (no_button && (left_latch || chord_latch))
        return "a release still due after a pass with no button";
    if (was_ready && started) {
        first_column = (pass.px - BOARD_LEFT) / CELL_SIZE;
        first_row = (pass.py - BOARD_TOP) / CELL_SIZE;
        if (result != 1 || covered(cell_at(first_column, first_row)))
            return "the first press did not uncover its cell and report 1";
        lay_reference();
    }
    std::string problem = broken_rule(result);
    if (result == -1)
        reveal_board();
    else if (result != 0 && check_win())
        game_over = true;
    return problem;
}

TEST(Games, RulesHoldOverThousandsOfSeededGames)
{
    int wins = 0, losses = 0;
    for (unsigned seed = 1; seed <= GAMES; seed++) {
        rng.seed(seed);
        skill = SKILLS[seed / 8 % 4];
        LEVELS[seed % 5]();
        srand(game_seed = seed);
        new_game();
        board_armed = 0;
        release.buttons = first_column = first_row = -1;
        std::memset(was_uncovered, 0, sizeof was_uncovered);
        for (int n = 0; n < MAX_PASSES && !game_over; n++) {
            Pass pass = next_pass();
            ASSERT_EQ("", play_pass(pass)) << "seed " << seed << ", pass " << n << " at " << pass.px << ","
                                           << pass.py << ", buttons " << pass.buttons;
        }
        ASSERT_EQ("", broken_rule(0)) << "seed " << seed << " at the end";
        wins += game_over && !lost;
        losses += lost;
    }
    EXPECT_GT(wins, GAMES / 4);
    EXPECT_GT(losses, GAMES / 4);
}

// --- The flood against a slow reference ---

bool reached[BOARD_MAX_ROWS][BOARD_MAX_COLS];      // opened by the reference

void reference_fill(int c, int r, int c0, int r0)
{
    for_neighbours(c, r, [&](int x, int y, const Cell &n) {
        if ((x == c0 && y == r0) || n.decayed || flagged(n) || reached[y][x])
            return;
        reached[y][x] = true;
        reference[y][x].state = CELL_UNCOVERED;
        if (n.count == 0)
            reference_fill(x, y, c0, r0);
    });
}

TEST(Flood, MatchesARecursiveFillOnRandomBoards)
{
    for (unsigned seed = 1; seed <= 1000; seed++) {
        std::mt19937 rng(seed);
        cols = 1 + rng() % BOARD_MAX_COLS;
        rows = 1 + rng() % BOARD_MAX_ROWS;
        unsigned teeth = rng() % 30, flags = rng() % 20, open = rng() % 30;
        for (Cell &cell : reinterpret_cast<Cell(&)[BOARD_MAX_ROWS * BOARD_MAX_COLS]>(board)) {
            reset_cell(cell, rng() % 100 < teeth);
            bool uncovered = !cell.decayed && rng() % 100 < open;
            cell.state = (uncovered ? CELL_UNCOVERED : CELL_COVERED + (rng() % 100 < flags ? CELL_FLAGGED : 0))
                + (rng() % 2 ? CELL_HOVER : 0);
            cell.cooldown = rng() % 3 ? 0 : rng() % FLAG_COOLDOWN;
        }
        int c0 = rng() % cols, r0 = rng() % rows;  // a flood starts on an empty cell its caller uncovered
        cell_at(c0, r0) = {(cell_at(c0, r0).state & CELL_HOVER) | CELL_UNCOVERED, 0, 0, 0, 0, 0};
        for_neighbours(c0, r0, [](int, int, Cell &n) { n.decayed = 0; });
        count_neighbours();
        std::memcpy(reference, board, sizeof board);
        std::memset(reached, 0, sizeof reached);
        reference_fill(c0, r0, c0, r0);
        flood_open(c0, r0);
        ASSERT_EQ(0, std::memcmp(reference, board, sizeof board)) << "seed " << seed;
    }
}

// --- Edge cases on boards drawn as text ---

void lay_out(const std::string &picture)
{
    cols = int(std::min(picture.find('/'), picture.size()));
    rows = int(picture.size() + 1) / (cols + 1);
    level_teeth = 0;  // a new game in the case lays as many teeth as the picture shows
    for (int i = 0; i < rows * cols; i++) {
        Cell &cell = board[i / cols][i % cols];
        const int kind = int(std::strchr(PICTURE_CHARS, picture[i + i / cols]) - PICTURE_CHARS);
        reset_cell(cell, kind % 2);
        cell.state = kind < 2 ? CELL_UNCOVERED : kind < 4 ? CELL_COVERED : CELL_COVERED | CELL_FLAGGED;
        level_teeth += kind % 2;
    }
    teeth_left = level_teeth;
    count_neighbours();
    started = board_armed = 1;
    lost = game_over = false;
    left_latch = right_latch = chord_latch = 0;
}

constexpr int NEW_GAME = -1;   // buttons of a Pass that stands for the face button
constexpr int MENU_OPEN = -2;  // ... and for the menu opening, which disarms the board

struct EdgeCase { const char *name, *before; std::vector<Pass> steps; const char *after; };

constexpr int X1 = cx(1), X3 = cx(3), Y0 = cy(0), Y1 = cy(1);
constexpr int JUST_RIGHT_OF_5 = BOARD_LEFT + 5 * CELL_SIZE, JUST_BELOW_2 = BOARD_TOP + 2 * CELL_SIZE;

const EdgeCase edge_cases[] = {
    {"release on another cell", "*.*../.....", {{X1, Y0, L}, {X3, Y0, L}, {X3, Y0, 0, 1, 1}}, "*.*o./....."},
    {"a held right button toggles once", ".*./...", {{X1, Y0, R, 30}}, ".X./..."},
    {"a new right press toggles again", ".*./...", {{X1, Y0, R}, {X1, Y0, 0, 25}, {X1, Y0, R}}, ".*./..."},
    {"release 19 passes after a toggle", ".F./*..", {{X1, Y0, R}, {X1, Y0, L, 18}, {X1, Y0, 0}}, ".../*.."},
    {"release 20 passes after a toggle", ".F./*..", {{X1, Y0, R}, {X1, Y0, L, 19}, {X1, Y0, 0, 1, 1}}, ".o./*.."},
    {"opening around skips a cooling cell", "X..*/.o../..F./*..*",
     {{cx(2), cy(2), R}, {X1, Y1, M}, {X1, Y1, 0, 1, 1}}, "Xoo*/ooo./oo../*..*"},
    {"left held off the board counts, let go off it does not", "*.*../.....",
     {{X1, Y0, L}, {JUST_RIGHT_OF_5, Y0, L}, {X3, Y0, 0, 1, 1}, {X1, Y0, L}, {JUST_RIGHT_OF_5, Y0, 0},
      {X1, JUST_BELOW_2, 0}, {JUST_RIGHT_OF_5 - 1, Y1, 0}}, "*.*o./....."},
    {"opening around let go off the board does nothing", "*o./.F./...",  // X3 is off this board
     {{X1, Y0, M}, {X3, Y0, 0}, {X1, Y0, 0}, {X1, Y0, L | R}, {X3, Y0, L}, {X1, Y0, 0}}, "*o./.F./..."},
    {"a press the menu opened on does nothing", "*.*../.....",
     {{X1, Y0, L}, {0, 0, MENU_OPEN}, {X3, Y0, L}, {X3, Y0, 0}}, "*.*../....."},
    {"too few flags open nothing", "*o*/F..", {{X1, Y0, L | R}, {X1, Y0, 0, 1, 1}}, "*o*/F.."},
    {"a wrong flag opens the tooth and the rest", "*o./.F./...", {{X1, Y0, M}, {X1, Y0, 0, 1, -1}}, "!oo/oFo/ooo"},
    {"held, middle presses the unflagged cells around", "*o.../.F.../.....", {{cx(2), Y0, M}}, "*o__./.F__./....."},
    {"held, left presses its own cell", "*o.../.F.../.....", {{cx(2), Y0, M}, {X3, Y1, L}}, "*o.../.F._./....."},
    // Two teeth fit only outside the first press's row and column.
    {"first press by right", ".../*.*", {{0, 0, NEW_GAME}, {X1, Y0, R, 1, 1}, {X1, Y0, 0}}, ".o./*.*"},
    {"first press by middle", ".../*.*", {{0, 0, NEW_GAME}, {X1, Y0, M, 1, 1}, {X1, Y0, 0, 1, 1}}, ".o./*.*"},
    {"a latch left by the last game does nothing", "*.*../.....",
     {{X1, Y0, L}, {X1, Y0, L | M}, {0, 0, L}, {0, 0, NEW_GAME}, {cx(4), Y1, 0}}, "...../....."},
};

TEST(Input, EdgeCasesOnHandLaidBoards)
{
    for (const EdgeCase &e : edge_cases) {
        SCOPED_TRACE(e.name);
        lay_out(e.before);
        for (const Pass &s : e.steps)
            for (int i = 0; i < s.times; i++)
                if (s.buttons == NEW_GAME)
                    new_game();
                else if (s.buttons == MENU_OPEN)
                    board_armed = 0;
                else {
                    board_armed |= !(s.buttons & L);  // as the main loop arms it
                    ASSERT_EQ(s.result, pass_at(s.px, s.py, s.buttons)) << "pass at " << s.px << "," << s.py;
                }
        EXPECT_EQ(e.after, board_picture());
    }
}

// Every pixel of a cell, its first and last column and row included, lights
// that cell alone; after the pointer leaves, the glow fades 8 a pass, passing
// -4 once on its way to 0.
TEST(Input, ThePointerLightsTheCellUnderItAndTheGlowFades)
{
    lay_out("..../..../....");
    for (int py = BOARD_TOP - 1; py <= BOARD_TOP + CELL_SIZE * rows; py++)
        for (int px = BOARD_LEFT - 1; px <= BOARD_LEFT + CELL_SIZE * cols; px++) {
            tick_cells(px, py);
            const int c = (px - BOARD_LEFT + CELL_SIZE) / CELL_SIZE - 1, r = (py - BOARD_TOP + CELL_SIZE) / CELL_SIZE - 1;
            for (int i = 0; i < rows * cols; i++) {
                const Cell &cell = board[i / cols][i % cols];
                const bool under = in_play(c, r) && i == r * cols + c;
                ASSERT_EQ(under, (cell.state & CELL_HOVER) != 0) << "cell " << i << ", pointer " << px << "," << py;
                ASSERT_TRUE(!under || cell.glow == GLOW_START);
            }
        }
    Cell &cell = cell_at(cols - 1, rows - 1);
    tick_cells(BOARD_LEFT + CELL_SIZE * cols - 1, BOARD_TOP + CELL_SIZE * rows - 1);
    for (int glow = GLOW_START; glow != 0 || cell.glow != 0;) {
        glow = glow > 0 ? glow - GLOW_FADE : 0;
        tick_cells(0, 0);
        ASSERT_EQ(glow, cell.glow);
        ASSERT_EQ(uint32_t(CELL_COVERED), cell.state);
    }
}

}  // namespace
