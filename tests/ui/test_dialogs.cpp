// The three dialogs run headless over the game's datafile, pass by pass:
// each pass's poll of the mouse moves the pointer, buttons and keys.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "minefield/board.h"
#include "minefield/records.h"
#include "shell/display.h"
#include "shell/resources.h"
#include "shell/shell.h"
#include "support/headless.h"
#include "support/windowless.h"
#include "ui/dialogs.h"

namespace {

using Step = std::function<void()>;

constexpr int FRAME_W = 504, FRAME_H = 390;  // the Easy window; dialogs centre in it
constexpr int SLIDE_X = (FRAME_W - 180) / 2, SLIDE_Y = (FRAME_H - 162) / 2;
constexpr int RECORDS_X = (FRAME_W - 201) / 2, RECORDS_Y = (FRAME_H - 121) / 2;

// Keys reach the dialog through Allegro's keyboard hooks, as if typed.
int typed[64], typed_count, read_count;
int hook_keypressed(void) { return read_count < typed_count; }
int hook_readkey(void) { return hook_keypressed() ? typed[read_count++] : 0; }
Step typing(std::vector<int> keys)
{
    return [=] { for (int c : keys) typed[typed_count++] = c; };
}
Step pointer(int x, int y, int buttons) { return [=] { move_pointer(x, y, buttons); }; }
const Step enter = [] { key[KEY_ENTER] = 1; };
const Step quit = [] { quit_requested = 1; };
const Step same;  // a pass with nothing changed
constexpr int GESTURE = DIALOG_GESTURE_PASSES;

// The steps after the opening gesture: its passes go by with the button up.
std::vector<Step> after_gesture(std::vector<Step> steps)
{
    steps.insert(steps.begin(), GESTURE, same);
    return steps;
}

// The field as "cols x rows / teeth".
std::string field(void)
{
    return std::to_string(cols) + "x" + std::to_string(rows) + "/" + std::to_string(level_teeth);
}

void idle_input(void)
{
    quit_requested = typed_count = read_count = 0;
    std::memset(const_cast<char *>(key), 0, KEY_MAX);
    move_pointer(-100, -100, 0);
}

// Runs a dialog, pass k taking steps[k] and the timer's tick for the pass
// after it. A dialog still open after the last step is made to quit, which
// costs a pass more. Returns the passes the dialog took.
std::vector<Step> script;
size_t passes;
int run(void (*dialog)(void), std::vector<Step> steps)
{
    script = std::move(steps);
    script.push_back(quit);
    passes = 0;
    frame_tick = 1;
    dialog();
    idle_input();
    return static_cast<int>(passes);
}
void next_step(void)
{
    if (passes < script.size() && script[passes])
        script[passes]();
    passes++;
    frame_tick = 1;
}

class Dialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless(16);
        use_windowless_system();
        install_timer(), install_mouse();
        each_poll = next_step;
        ttf_init();
        install_keyboard_hooks(hook_keypressed, hook_readkey);
        ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
    }
    static void TearDownTestSuite() { unload_resources(), ttf_exit(); }
    void SetUp() override
    {
        idle_input();
        set_level_easy();
        reset_records();
        draw_target = create_bitmap(FRAME_W, FRAME_H);
        clear_to_color(draw_target, scene);
    }
    void TearDown() override { destroy_bitmap(draw_target); }

    const int scene = makecol(40, 90, 160);

    // Pixels of the rectangle that differ from the opaque pixels of the art
    // with its corner at (ax, ay), or from the scene colour without art.
    int changed(int left, int top, int right, int bottom, BITMAP *art = nullptr, int ax = 0, int ay = 0)
    {
        int n = 0;
        for (int y = top; y <= bottom; y++)
            for (int x = left; x <= right; x++) {
                int want = art ? getpixel(art, x - ax, y - ay) : scene;
                n += (!art || want != bitmap_mask_color(art)) && getpixel(draw_target, x, y) != want;
            }
        return n;
    }
    bool untouched() { return changed(0, 0, FRAME_W - 1, FRAME_H - 1) == 0; }
    bool shows(BITMAP *s, int x, int y) { return !changed(x, y, x + s->w - 1, y + s->h - 1, s, x, y); }
};

TEST_F(Dialogs, SliderBandsPickTheSteps)
{
    // Size step s gives size s + 1, density step d the divisor of 11 - 1.5 d.
    const struct { int top, dx, step; const char *field; } clicks[] = {
        {31, 31, 2, "24x15/45"}, {31, 32, 0, "9x7/7"}, {31, 60, 0, "9x7/7"}, {31, 61, 1, "18x14/31"},
        {31, 89, 1, "18x14/31"}, {31, 90, 2, "24x15/45"}, {31, 118, 2, "24x15/45"},
        {31, 119, 3, "32x20/80"}, {31, 147, 3, "32x20/80"}, {31, 148, 4, "40x25/125"},
        {31, 172, 4, "40x25/125"}, {31, 173, 2, "24x15/45"},  // size; density below
        {89, 60, 0, "24x15/32"}, {89, 61, 1, "24x15/40"}, {89, 172, 4, "24x15/72"}};
    for (const auto &c : clicks) {
        SCOPED_TRACE(testing::Message() << "slider at " << c.top << ", x offset " << c.dx);
        EXPECT_EQ(GESTURE + 2, run(customize_dialog, after_gesture({pointer(SLIDE_X + c.dx, SLIDE_Y + c.top + 5, 1), enter})));
        EXPECT_EQ(c.field, field());
        EXPECT_TRUE(shows(bitmap_table[BMP_CHOCO], SLIDE_X + 32 + 28 * c.step, SLIDE_Y + c.top));
    }
}

TEST_F(Dialogs, EnterOkOrCloseButtonEndTheDialogsAndTheButtonsAct)
{
    key[KEY_ENTER] = 1;
    EXPECT_EQ(1, run(customize_dialog, {same}));
    EXPECT_EQ(LEVEL_CUSTOM, level);
    EXPECT_EQ("24x15/45", field());
    // The close button already pressed: no pass, but the name and the sliders apply.
    set_level_hard();
    ticks = 125;
    for (auto dialog : {records_dialog, name_entry_dialog, customize_dialog}) {
        quit_requested = 1;
        EXPECT_EQ(0, run(dialog, {}));
    }
    EXPECT_TRUE(untouched());
    EXPECT_STREQ("???", records[2].name);
    EXPECT_EQ(2, records[2].seconds);
    EXPECT_EQ("24x15/45", field());
    set_level_hard();
    EXPECT_EQ(GESTURE + 1, run(customize_dialog, after_gesture({pointer(SLIDE_X + 111, SLIDE_Y + 146, 1)})));
    EXPECT_EQ("24x15/45", field());
    // Pressed during a pass: that pass still acts and draws.
    EXPECT_EQ(GESTURE + 1, run(customize_dialog, after_gesture({[] { pointer(SLIDE_X + 32, SLIDE_Y + 36, 1)(), quit(); }})));
    EXPECT_EQ("9x7/7", field());
    EXPECT_TRUE(shows(bitmap_table[BMP_CHOCO], SLIDE_X + 32, SLIDE_Y + 31));
    // OK and Erase of the records light under the pointer and act on a press.
    std::strcpy(records[0].name, "Ann");
    EXPECT_EQ(GESTURE + 2, run(records_dialog, after_gesture({pointer(RECORDS_X + 147, RECORDS_Y + 95, 0),
                                                              pointer(RECORDS_X + 190, RECORDS_Y + 116, 1)})));
    EXPECT_STREQ("Ann", records[0].name);
    EXPECT_TRUE(shows(bitmap_table[BMP_ONOK], RECORDS_X + 147, RECORDS_Y + 95));
    EXPECT_EQ(GESTURE + 2, run(records_dialog, after_gesture({pointer(RECORDS_X + 102, RECORDS_Y + 116, 1), enter})));
    EXPECT_STREQ("Quibo", records[0].name);
    EXPECT_TRUE(shows(bitmap_table[BMP_ONCAN], RECORDS_X + 12, RECORDS_Y + 95));
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
    // Erase, the left end of the size slider, and OK of the name entry (sized as the customize dialog).
    const struct { void (*dialog)(void); int x, y; } targets[] = {
        {records_dialog, RECORDS_X + 12, RECORDS_Y + 95},
        {customize_dialog, SLIDE_X + 32, SLIDE_Y + 31},
        {name_entry_dialog, SLIDE_X + 68, SLIDE_Y + 121},
    };
    for (const auto &t : targets)
        for (const auto &p : presses) {
            SCOPED_TRACE(testing::Message() << "at " << t.x << "," << t.y << ", buttons " << p.buttons);
            set_level_easy();
            std::strcpy(records[0].name, "Ann");
            std::vector<Step> steps;
            for (size_t k = 0; k < p.buttons.size(); k++)
                steps.push_back(k && p.buttons[k] == p.buttons[k - 1] ? same : pointer(t.x, t.y, p.buttons[k] - '0'));
            int passes = run(t.dialog, steps);  // one more when it was made to quit
            bool erased = records[0].name == std::string("Quibo");
            EXPECT_EQ(p.taken, passes <= int(steps.size()) || erased || field() == "9x7/7");
            EXPECT_GE(passes, int(steps.size()));  // OK takes a press on the last pass or none
        }
}

TEST_F(Dialogs, RecordsLinesStayInTheirColumnsAndInsideTheDialog)
{
    // Names without a zero byte: thirty wide letters, and twenty-nine
    // spaces and a dot before padding and seconds that hold no zero either.
    std::memset(&records[1], 'W', sizeof records[1]);
    std::memset(&records[2], ' ', sizeof records[2]);
    records[2].name[RECORD_NAME_SIZE - 1] = '.';
    records[2].seconds = 0x41414141;
    EXPECT_EQ(2, run(records_dialog, {same, enter}));

    int height = ttf_get_font_height(font_table[FONT_RECORDS]);
    const struct { int line, left, right; bool ink; } columns[] = {
        {0, 100, 124, true}, {0, 125, 150, false}, {0, 151, 191, true},  // time, gap, name
        {0, 192, 200, false}, {2, 125, 183, false}, {2, 184, 191, true}};  // margin; the dot alone
    for (const auto &c : columns) {
        int top = RECORDS_Y + 31 + c.line * (height + 9);
        EXPECT_EQ(c.ink, changed(RECORDS_X + c.left, top, RECORDS_X + c.right, top + height - 1,
                                 bitmap_table[BMP_HIGHSCORE], RECORDS_X, RECORDS_Y) > 0)
            << "line " << c.line << ", x " << c.left << " to " << c.right;
    }
    // In a font twice as high the thirty letters would reach past both sides.
    ttf_set_font_size(font_table[FONT_RECORDS], 2 * height);
    EXPECT_EQ(2, run(records_dialog, {same, enter}));
    ttf_set_font_size(font_table[FONT_RECORDS], height);
    rectfill(draw_target, RECORDS_X, RECORDS_Y, RECORDS_X + 200, RECORDS_Y + 120, scene);
    EXPECT_TRUE(untouched());
}

TEST_F(Dialogs, NameEntryStoresTheNameAndTimeInTheLevelsRecord)
{
    std::memcpy(records[1].name, "Quibo\0keep", 10);
    set_level_intermediate();
    ticks = 3599;
    typing({'z'})();  // pressed during the game: not part of the name
    // One key a pass.
    Step keys = typing({'A', 'n', 'n', 8, 'd', 'y', 0xE9, '!', 27});
    EXPECT_EQ(10, run(name_entry_dialog, {keys, same, same, same, same, same, same, same, same, enter}));
    EXPECT_EQ(std::string("Andy!\0keep", 10), std::string(records[1].name, 10));
    EXPECT_EQ(59, records[1].seconds);
    EXPECT_STREQ("Quibo", records[0].name);
    // The last frame drawn: the headings centred, the name in the field from
    // (37, 89) and the caret, shown in the first 30 passes, right after it.
    BITMAP *want = create_bitmap(FRAME_W, FRAME_H);
    clear_to_color(want, scene);
    draw_sprite(want, bitmap_table[BMP_INPUT], SLIDE_X, SLIDE_Y);
    TTF_FONT *heading = font_table[FONT_HEADING], *name = font_table[FONT_NAME];
    const char *lines[] = {"Best time for", "the Intermediate level.", "Insert your name:"};
    for (int k = 0; k < 3; k++)
        ttf_textout_centre_aa_ex(want, heading, lines[k], SLIDE_X + 90, SLIDE_Y + 12 + k * (ttf_get_font_height(heading) + 3), 0, -1);
    ttf_textout_aa_ex(want, name, "Andy!", SLIDE_X + 37, SLIDE_Y + 89, 0, -1);
    vline(want, SLIDE_X + 37 + ttf_text_length(name, "Andy!"), SLIDE_Y + 88, SLIDE_Y + 106, 0);
    for (int i = 0; i < FRAME_W * FRAME_H; i++)
        ASSERT_EQ(getpixel(want, i % FRAME_W, i / FRAME_W), getpixel(draw_target, i % FRAME_W, i / FRAME_W)) << i % FRAME_W << "," << i / FRAME_W;
    destroy_bitmap(want);

    ticks = 125;
    // An empty name closed with OK (the dialog has the customize dialog's size).
    EXPECT_EQ(GESTURE + 2, run(name_entry_dialog, after_gesture({pointer(SLIDE_X + 68, SLIDE_Y + 121, 0),
                                                                 pointer(SLIDE_X + 111, SLIDE_Y + 141, 1)})));
    EXPECT_STREQ("???", records[1].name);
    EXPECT_EQ(2, records[1].seconds);

    set_level_custom(3, 2);  // keeps no record
    EXPECT_EQ(0, run(name_entry_dialog, {}));
    EXPECT_EQ(2, records[1].seconds);

    // Printable ASCII up to eight characters, a backspace, and nothing else.
    char typed_name[NAME_MAX_LENGTH + 1] = "";
    for (int c : std::vector<int>{8, ' ', '~', 'a', 'Z', '0', '!', '.', 'q', 'x', 8, 0, 9, 13, 27, 31, 127, 128, 0xE9, 0x20AC, -1}) {
        const bool taken = c == 8 ? typed_name[0] != 0 : c >= ' ' && c <= '~' && c != 'x';
        EXPECT_EQ(taken, name_entry_key(typed_name, c)) << c;
    }
    EXPECT_STREQ(" ~aZ0!.", typed_name);
}

}  // namespace
