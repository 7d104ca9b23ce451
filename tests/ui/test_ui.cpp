// The scene and the dialogs drawn headless, checked at pixels and against pictures put together by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "gfx/trans_fill.h"
#include "minefield/board.h"
#include "minefield/records.h"
#include "shell/display.h"
#include "shell/menu/menu.h"
#include "shell/resources.h"
#include "shell/shell.h"
#include "support/headless.h"
#include "support/outside_text.h"
#include "support/windowless.h"
#include "ui/dialogs.h"
#include "ui/scene.h"

namespace {

using namespace palette;

int colour(Rgb c) { return makecol(c.r, c.g, c.b); }

constexpr int FRAME_W = 504, FRAME_H = 390;  // the frame the dialogs centre in
constexpr int SLIDE_X = (FRAME_W - 180) / 2, SLIDE_Y = (FRAME_H - 162) / 2;
constexpr int RECORDS_X = (FRAME_W - 201) / 2, RECORDS_Y = (FRAME_H - 121) / 2;
constexpr int GESTURE = DIALOG_GESTURE_PASSES;

std::string field(void) { return std::to_string(cols) + "x" + std::to_string(rows) + "/" + std::to_string(level_teeth); }

// Runs a dialog for at most `passes` passes, the poll of pass k taking input(k) and the timer's
// tick for the next pass; in the pass after them it is made to quit. Returns the passes it took.
std::function<void(int)> input;
int pass, last;
void next_pass(void)
{
    if (pass == last)
        quit_requested = 1;
    else if (input)
        input(pass);
    pass++, frame_tick = 1;
}
int run(void (*dialog)(void), int passes, std::function<void(int)> each = nullptr)
{
    input = std::move(each), last = passes, pass = 0, frame_tick = 1;
    dialog();
    quit_requested = key[KEY_ENTER] = 0;
    clear_keybuf();
    move_pointer(-100, -100, 0);
    return pass;
}

// The records as new, in a frame the size of the middle custom level's window.
class Ui : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless(16);
        use_windowless_system();
        install_timer(), install_mouse(), install_keyboard();
        each_poll = next_pass;
        ttf_init();
        ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
        static GameMenu menu;
        game_menu = &menu;
    }
    static void TearDownTestSuite() { unload_resources(), ttf_exit(); }
    void SetUp() override
    {
        reset_records();
        draw_target = create_bitmap(FRAME_W, FRAME_H), expected = create_bitmap(FRAME_W, FRAME_H);
        clear_to_color(expected, makecol(40, 90, 160));  // not black, the dialogs' ink
        blit(expected, draw_target, 0, 0, 0, 0, FRAME_W, FRAME_H);
    }
    void TearDown() override { destroy_bitmap(draw_target), destroy_bitmap(expected); }

    BITMAP *expected = nullptr;  // the picture the frame should hold

    int at(int x, int y) { return getpixel(draw_target, x, y); }
    // Pixels of the rectangle unlike the opaque pixels of the art with its corner at (ax, ay).
    int changed(int left, int top, int right, int bottom, BITMAP *art, int ax = 0, int ay = 0)
    {
        int n = 0;
        for (int y = top; y <= bottom; y++)
            for (int x = left; x <= right; x++)
                n += getpixel(art, x - ax, y - ay) != bitmap_mask_color(art) && at(x, y) != getpixel(art, x - ax, y - ay);
        return n;
    }
    int differences() { return changed(0, 0, FRAME_W - 1, FRAME_H - 1, expected); }
    bool shows(BITMAP *s, int x, int y) { return !changed(x, y, x + s->w - 1, y + s->h - 1, s, x, y); }
};

class Dialogs : public Ui {};

// The level whose window is the frame, every cell open and empty: nothing but the grid.
class Scene : public Ui {
protected:
    void SetUp() override
    {
        Ui::SetUp();
        set_level_custom(3, 2);
        for (int i = 0; i < rows * cols; i++)
            board[i / cols][i % cols] = {CELL_UNCOVERED, 0, 0, 0, 0, 0};
        *game_menu = GameMenu();
        mouse_x = mouse_y = 1000;  // off the window: nothing lit
    }
};

TEST_F(Scene, Layout)
{
    draw_scene(draw_target, false, false);
    // The field frame holds only the grid: lines at x = 13, 33, ..., 493 and y = 42, ..., 342.
    for (int y = 39; y <= 345; y++)
        for (int x = 10; x <= 496; x++) {
            const bool line = x >= 13 && x <= 493 && y >= 42 && y <= 342 && ((x - 13) % 20 == 0 || (y - 42) % 20 == 0);
            ASSERT_EQ(colour(line ? GRID : BACKGROUND), at(x, y)) << x << "," << y;
        }
    // The edge of each box and the ring outside it: the panel, field frame, counter, clock, and the title
    // and face buttons, whose bevels are light above and left, dark below and right owning the corners.
    const struct { int l, t, r, b, width; Rgb light, dark, out; } boxes[] = {
        {3, 3, 500, 386, 1, PANEL, PANEL, BACKGROUND}, {10, 39, 496, 345, 1, BACKGROUND, BACKGROUND, PANEL},
        {10, 355, 83, 379, 1, BOX_OUTLINE, BOX_OUTLINE, BACKGROUND}, {393, 355, 493, 379, 1, BOX_OUTLINE, BOX_OUTLINE, BACKGROUND},
        {5, 4, 100, 36, 2, BEVEL_LIGHT, BEVEL_DARK, PANEL}, {103, 4, 136, 36, 2, BEVEL_LIGHT, BEVEL_DARK, PANEL}};
    for (const auto &g : boxes)
        for (int d = -1; d < g.width; d++)
            for (int y = g.t + d; y <= g.b - d; y++)
                for (int x = g.l + d; x <= g.r - d; x += y == g.t + d || y == g.b - d ? 1 : g.r - g.l - 2 * d) {
                    const bool dark = x > g.r - 2 || (y > g.b - 2 && x >= g.l + 2);
                    ASSERT_EQ(colour(d < 0 ? g.out : dark ? g.dark : g.light), at(x, y)) << x << "," << y;
                }
}

// Counter and clock print on the boxes' own fill: " :%3d" of the teeth left, the clock in minutes,
// seconds and sixtieths, the tooth over the counter. The face tells a game on, won or lost; the
// title is lit up to (97, 34) while the menu is open.
TEST_F(Scene, StatusLineFaceAndTitle)
{
    const struct { int teeth; uint32_t ticks; const char *counter, *clock; bool over, lost; int face; bool lit; } cases[] = {
        {10, 0, " : 10", "00:00:00", false, false, BMP_BHO, false},
        {-3, 3725, " : -3", "01:02:05", true, false, BMP_HAPPY, true},
        {100, 360000, " :100", "100:00:00", true, true, BMP_SAD, false},
    };
    for (const auto &c : cases) {
        teeth_left = c.teeth, ticks = c.ticks, game_menu->open = c.lit;
        draw_scene(draw_target, c.over, c.lost);
        const int title = colour(c.lit ? TITLE_LIT : PANEL);
        EXPECT_TRUE(at(7, 6) == title && at(97, 34) == title && at(98, 20) == colour(PANEL)) << c.lit;
        blit(draw_target, expected, 0, 0, 0, 0, FRAME_W, FRAME_H);
        const int fill = colour(BOX_FILL), red = colour(BOX_TEXT);
        rectfill(expected, 11, 356, 82, 378, fill);
        rectfill(expected, 394, 356, 492, 378, fill);
        ttf_textout_aa_ex(expected, font_table[FONT_STATUS], c.counter, 23, 360, red, fill);
        ttf_textout_aa_ex(expected, font_table[FONT_STATUS], c.clock, 396, 360, red, fill);
        draw_sprite(expected, bitmap_table[BMP_SADT], 13, 357);
        EXPECT_EQ(0, differences()) << c.counter << " " << c.clock;
        EXPECT_TRUE(shows(bitmap_table[c.face], 105, 6)) << c.face;
    }
}

// Each look of the cell at (3, 8) over the same cell open and empty; a count
// is transparent although the status line drew opaque text before it.
TEST_F(Scene, CellLooks)
{
    const int x = BOARD_LEFT + 60, y = BOARD_TOP + 160;
    using Look = std::function<void()>;
    auto art = [&](int slot, int dx) -> Look { return [=] { draw_sprite(expected, bitmap_table[slot], x + dx, y); }; };
    const Look cell = art(BMP_CELL, 0), flag = art(BMP_FLAG, 0);
    const Look glow = [&] { trans_rectfill(expected, x, y, 20, 20, colour(GLOW), 180); };
    const Look six = [&] { ttf_textout_aa_ex(expected, font_table[FONT_MENU], "6", x + 4, y + 1, colour(NUMBERS[0]), -1); };
    const struct { uint32_t state; uint8_t tooth; uint32_t count; int glow; uint32_t pressed; std::vector<Look> looks; } cases[] = {
        {CELL_COVERED | CELL_FLAGGED, 0, 0, 180, 0, {cell, flag, glow}},
        {CELL_COVERED | CELL_HOVER, 1, 3, -4, 0, {cell}},  // the fade's -4 is no tint
        {CELL_COVERED | CELL_FLAGGED, 0, 0, 180, 1, {}},  // held down: nothing at all
        {CELL_UNCOVERED, 1, 2, 0, 0, {art(BMP_SADT, 1)}},
        // Open: the count whatever the glow or press; 6 to 8 take the colours of 1 to 3.
        {CELL_UNCOVERED | CELL_HOVER, 0, 6, 99, 1, {six}},
    };
    for (const auto &c : cases) {
        cell_at(3, 8) = {CELL_UNCOVERED, 0, 0, 0, 0, 0};
        draw_scene(expected, false, false);
        cell_at(3, 8) = {c.state, c.count, c.glow, 0, c.pressed, c.tooth};
        draw_scene(draw_target, false, false);
        for (const Look &look : c.looks)
            look();
        EXPECT_EQ(0, differences()) << "state " << c.state << ", count " << c.count << ", glow " << c.glow;
    }
}

TEST_F(Dialogs, SliderBandsPickTheSteps)
{
    // Size step s gives size s + 1, density step d the divisor of 11 - 1.5 d.
    const struct { int top, dx, step; const char *field; } clicks[] = {
        {31, 31, 2, "24x15/45"}, {31, 32, 0, "9x7/7"}, {31, 60, 0, "9x7/7"}, {31, 61, 1, "18x14/31"}, {31, 90, 2, "24x15/45"},
        {31, 119, 3, "32x20/80"}, {31, 148, 4, "40x25/125"}, {31, 172, 4, "40x25/125"}, {31, 173, 2, "24x15/45"},  // size
        {89, 60, 0, "24x15/32"}, {89, 61, 1, "24x15/40"}, {89, 172, 4, "24x15/72"}};  // density
    for (const auto &c : clicks) {
        auto press_after_gesture = [&](int k) { move_pointer(SLIDE_X + c.dx, SLIDE_Y + c.top + 5, k == GESTURE); };
        EXPECT_EQ(GESTURE + 2, run(customize_dialog, GESTURE + 1, press_after_gesture));
        EXPECT_EQ(c.field, field()) << "slider at " << c.top << ", x offset " << c.dx;
        EXPECT_TRUE(shows(bitmap_table[BMP_CHOCO], SLIDE_X + 32 + 28 * c.step, SLIDE_Y + c.top)) << c.top << "," << c.dx;
    }
}

// Enter ends each dialog in its first pass, the close button pressed before it before any.
TEST_F(Dialogs, EnterOrTheCloseButtonEndsEachDialog)
{
    for (bool closed : {false, true}) {
        set_level_hard();  // the customize dialog leaves a level whose win asks no name
        for (auto dialog : {records_dialog, name_entry_dialog, customize_dialog}) {
            key[KEY_ENTER] = !closed, quit_requested = closed;
            EXPECT_EQ(closed ? 0 : 1, run(dialog, 1)) << "closed " << closed;
        }
    }
}

TEST_F(Dialogs, APressWithinTheOpeningGestureIsNotTaken)
{
    // The left button pass by pass from the opening, '1' down.
    const std::string up(GESTURE, '0'), down(GESTURE, '1');
    const struct { std::string buttons; bool taken; } presses[] = {
        {"11111" + up, false},               // the press that opened the dialog, held on
        {"1100110" + up, false},             // a double click
        {"1100" + down + "0", false},        // its second press held past the gesture
        {up.substr(1) + "1" + up, false},    // a press on the gesture's last pass
        {up + "1", true},                    // and on the pass after it
        {"1" + up + "1", true},              // up once the gesture is out: the next press
    };
    const struct { void (*dialog)(void); int x, y; } targets[] = {  // OK of each dialog, the size slider's left end
        {records_dialog, RECORDS_X + 190, RECORDS_Y + 116}, {customize_dialog, SLIDE_X + 111, SLIDE_Y + 146},
        {name_entry_dialog, SLIDE_X + 68, SLIDE_Y + 121}, {customize_dialog, SLIDE_X + 32, SLIDE_Y + 31}};
    for (const auto &t : targets)
        for (const auto &p : presses) {
            SCOPED_TRACE(testing::Message() << "at " << t.x << "," << t.y << ", buttons " << p.buttons);
            set_level_easy();
            const int steps = p.buttons.size();
            int passes = run(t.dialog, steps, [&](int k) { move_pointer(t.x, t.y, p.buttons[k] - '0'); });
            EXPECT_EQ(p.taken, passes <= steps || field() == "9x7/7");  // ended by OK or the knob moved
            EXPECT_GE(passes, steps);  // OK takes a press on the last pass or none
        }
}

TEST_F(Dialogs, RecordsLinesStayInTheirColumns)
{
    // A name without a zero byte, twenty-nine spaces and a dot, before seconds that hold no zero either.
    std::memset(&records[2], ' ', sizeof records[2]);
    records[2].name[RECORD_NAME_SIZE - 1] = '.';
    records[2].seconds = 0x41414141;
    run(records_dialog, 0);

    const int height = ttf_get_font_height(font_table[FONT_RECORDS]);
    const struct { int line, left, right; bool ink; } columns[] = {
        {0, 100, 124, true}, {0, 125, 150, false}, {0, 151, 191, true},  // time, gap, name
        {0, 192, 200, false}, {2, 125, 183, false}, {2, 184, 191, true}};  // margin; the dot alone
    for (const auto &c : columns) {
        int top = RECORDS_Y + 31 + c.line * (height + 9);
        EXPECT_EQ(c.ink, changed(RECORDS_X + c.left, top, RECORDS_X + c.right, top + height - 1,
                                 bitmap_table[BMP_HIGHSCORE], RECORDS_X, RECORDS_Y) > 0)
            << "line " << c.line << ", x " << c.left << " to " << c.right;
    }
}

// Names no copy of the game writes, three a frame, then each again filling
// its whole field: every ill-formed run shows as U+FFFD, the rest and the
// times as ever, and the records keep every byte. Names nobody worked out
// show as the direct call draws their bytes.
TEST_F(Dialogs, RecordsShowAnyNameBytesReadably)
{
    const auto texts = outside_texts();
    std::mt19937 rng(22);
    TTF_FONT *font = font_table[FONT_RECORDS];
    for (size_t k = 0; k < 2 * texts.size(); k += RECORD_COUNT) {
        std::string shown[RECORD_COUNT];
        for (int i = 0; i < RECORD_COUNT; i++) {
            const auto &[bytes, reads] = texts[(k + i) % texts.size()];
            const std::string name = std::string(k + i < texts.size() ? 0 : RECORD_NAME_SIZE - bytes.size(), 'x') + bytes;
            records[i] = {{}, static_cast<int32_t>(rng())};
            std::memcpy(records[i].name, name.data(), name.size());
            shown[i] = name.substr(0, name.size() - bytes.size()) + (reads.empty() ? bytes : reads);
        }
        const std::string before(reinterpret_cast<char *>(records), sizeof records);
        run(records_dialog, 0);
        EXPECT_EQ(before, std::string(reinterpret_cast<char *>(records), sizeof records));
        draw_sprite(expected, bitmap_table[BMP_HIGHSCORE], RECORDS_X, RECORDS_Y);
        set_clip_rect(expected, RECORDS_X, RECORDS_Y, RECORDS_X + 200, RECORDS_Y + 120);
        for (int i = 0, y = RECORDS_Y + 31; i < RECORD_COUNT; i++, y += ttf_get_font_height(font) + 9) {
            ttf_textout_right_aa_ex(expected, font, (std::to_string(records[i].seconds) + "s").c_str(), RECORDS_X + 124, y, 0, -1);
            ttf_textout_right_aa_ex(expected, font, shown[i].c_str(), RECORDS_X + 191, y, 0, -1);
        }
        set_clip_rect(expected, 0, 0, FRAME_W - 1, FRAME_H - 1);
        ASSERT_EQ(0, differences()) << testing::PrintToString(shown[0] + "|" + shown[1] + "|" + shown[2]);
    }
}

TEST_F(Dialogs, NameEntryStoresTheNameAndTimeInTheLevelsRecord)
{
    std::memset(records[2].name, '#', RECORD_NAME_SIZE);  // all but the name and its zero byte stays
    set_level_hard();
    ticks = 3599;
    // Typed during the game, not part of the name; two, as the first backspace would hide one.
    simulate_ukeypress('z', 0), simulate_ukeypress('z', 0);
    // One key a pass: printable ASCII up to eight characters and backspace, nothing else, even on no name.
    const std::vector<int> keys = {8, 'A', 'n', 'n', 8, 'd', 'y', 31, 127, 0xE9, 0x20AC, 27, ' ', '~', '!', '.', '?'};
    run(name_entry_dialog, keys.size(), [&](int k) { simulate_ukeypress(keys[k], 0); });
    const char *name = "Andy ~!.";
    EXPECT_EQ(std::string(name, 9) + std::string(RECORD_NAME_SIZE - 9, '#'), std::string(records[2].name, RECORD_NAME_SIZE));
    EXPECT_EQ(59, records[2].seconds);

    // The last frame: headings centred, the name from (37, 89), the caret (shown the first 30 passes) after it.
    draw_sprite(expected, bitmap_table[BMP_INPUT], SLIDE_X, SLIDE_Y);
    TTF_FONT *heading = font_table[FONT_HEADING], *name_font = font_table[FONT_NAME];
    const char *lines[] = {"Best time for", "the Hard level.", "Insert your name:"};
    const int step = ttf_get_font_height(heading) + 3;
    for (int k = 0; k < 3; k++)
        ttf_textout_centre_aa_ex(expected, heading, lines[k], SLIDE_X + 90, SLIDE_Y + 12 + k * step, 0, -1);
    ttf_textout_aa_ex(expected, name_font, name, SLIDE_X + 37, SLIDE_Y + 89, 0, -1);
    vline(expected, SLIDE_X + 37 + ttf_text_length(name_font, name), SLIDE_Y + 88, SLIDE_Y + 106, 0);
    EXPECT_EQ(0, differences());
}

}  // namespace
