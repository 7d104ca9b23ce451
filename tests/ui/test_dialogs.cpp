// The three dialogs run headless: a script thread plays the timer, moves
// the pointer, presses buttons and keys between passes, and counts the
// passes each dialog takes. Plain-coloured stand-in bitmaps show where
// each piece was drawn.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "minefield/board.h"
#include "minefield/records.h"
#include "shell/display.h"
#include "shell/resources.h"
#include "shell/shell.h"
#include "support/headless.h"
#include "text/ttf.h"
#include "ui/dialogs.h"

namespace {

using namespace std::chrono_literals;

// Stand-in art: each piece a flat colour of its own.
const int SLIDE = 1, KNOB = 2, LIT_OK = 3, LIT_ERASE = 4, PANEL = 5, SCENE = 6;
int colour_of(int piece)
{
    static const int rgb[][3] = {{0, 0, 0}, {200, 200, 120}, {120, 60, 20}, {250, 250, 0},
                                 {0, 250, 250}, {255, 255, 255}, {40, 90, 160}};
    return makecol(rgb[piece][0], rgb[piece][1], rgb[piece][2]);
}

// Keys handed to the dialog through Allegro's keyboard hooks, as if typed.
std::mutex typed_lock;
std::deque<int> typed;
int hook_keypressed(void)
{
    std::lock_guard<std::mutex> hold(typed_lock);
    return !typed.empty();
}
int hook_readkey(void)
{
    std::lock_guard<std::mutex> hold(typed_lock);
    if (typed.empty())
        return 0;
    int c = typed.front();
    typed.pop_front();
    return c;
}
void type_key(int c)
{
    std::lock_guard<std::mutex> hold(typed_lock);
    typed.push_back(c);
}

// Plays the timer for a dialog running on the test thread. Before pass k
// (1-based) it applies steps[k-1]; a step that changes something waits
// until the previous pass has surely finished. A dialog still open well
// after the last step is asked to quit, so that it cannot hang the test.
class Script {
public:
    using Step = std::function<void()>;

    explicit Script(std::vector<Step> steps) : steps_(std::move(steps)), thread_([this] { run(); }) {}
    ~Script() { finish(); }

    // Called once the dialog has returned; the number of passes it took.
    int finish()
    {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
        return passes_;
    }
    bool had_to_quit() const { return forced_quit_; }

private:
    void run()
    {
        for (size_t k = 0; k < steps_.size() && !done_; k++) {
            if (steps_[k]) {
                std::this_thread::sleep_for(10ms);
                steps_[k]();
            }
            tick();
        }
        auto deadline = std::chrono::steady_clock::now() + 2s;
        while (!done_ && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(1ms);
        if (!done_) {
            forced_quit_ = true;
            quit_requested = 1;
        }
        while (!done_)
            tick();
    }
    void tick()
    {
        frame_tick = 1;
        while (frame_tick && !done_)
            std::this_thread::sleep_for(50us);
        if (!frame_tick)
            passes_++;
    }

    std::vector<Step> steps_;
    std::atomic<bool> done_{false};
    std::atomic<int> passes_{0};
    std::atomic<bool> forced_quit_{false};
    std::thread thread_;
};

Script::Step pointer(int x, int y, int buttons)
{
    return [=] {
        mouse_x = x;
        mouse_y = y;
        mouse_b = buttons;
    };
}
Script::Step enter_down() { return [] { key[KEY_ENTER] = 1; }; }
Script::Step typing(int c) { return [=] { type_key(c); }; }
Script::Step quit() { return [] { quit_requested = 1; }; }
const Script::Step same;  // a pass with nothing changed

class Dialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless(16);
        ttf_init();
        install_keyboard_hooks(hook_keypressed, hook_readkey);
        const struct {
            int slot, w, h, piece;
        } art[] = {{BMP_SLIDE, 180, 162, SLIDE}, {BMP_CHOCO, 8, 26, KNOB}, {BMP_ONOK, 43, 21, LIT_OK},
                   {BMP_ONCAN, 91, 21, LIT_ERASE}, {BMP_HIGHSCORE, 201, 121, PANEL},
                   {BMP_INPUT, 180, 162, PANEL}};
        for (const auto &a : art) {
            bitmap_table[a.slot] = create_bitmap(a.w, a.h);
            clear_to_color(bitmap_table[a.slot], colour_of(a.piece));
        }
        const struct {
            int slot, size;
        } fonts[] = {{FONT_HEADING, 18}, {FONT_NAME, 16}, {FONT_RECORDS, 12}};
        for (const auto &f : fonts) {
            font_table[f.slot] = ttf_load_font(DIALOG_TEST_FONT);
            ASSERT_NE(nullptr, font_table[f.slot]);
            ttf_set_font_size(font_table[f.slot], f.size);
        }
    }
    static void TearDownTestSuite()
    {
        for (BITMAP *&b : bitmap_table) {
            if (b)
                destroy_bitmap(b);
            b = nullptr;
        }
        for (TTF_FONT *&f : font_table) {
            ttf_destroy_font(f);
            f = nullptr;
        }
        ttf_exit();
    }

    void SetUp() override
    {
        quit_requested = 0;
        frame_tick = 0;
        std::memset(const_cast<char *>(key), 0, KEY_MAX);
        mouse_x = mouse_y = -100;
        mouse_b = 0;
        set_level_easy();
        draw_target = create_bitmap(504, 390);
        clear_to_color(draw_target, colour_of(SCENE));
    }
    void TearDown() override
    {
        destroy_bitmap(draw_target);
        draw_target = nullptr;
        quit_requested = 0;
    }

    // The dialog's corner, centred in the 504 x 390 frame.
    int ox(int w) const { return (504 - w) / 2; }
    int oy(int h) const { return (390 - h) / 2; }
    int at(int x, int y) const { return getpixel(draw_target, x, y); }
    bool untouched() const
    {
        for (int y = 0; y < draw_target->h; y++)
            for (int x = 0; x < draw_target->w; x++)
                if (at(x, y) != colour_of(SCENE))
                    return false;
        return true;
    }

    // Runs a dialog under a script; returns the passes it took.
    int run(void (*dialog)(void), std::vector<Script::Step> steps)
    {
        Script script(std::move(steps));
        dialog();
        int passes = script.finish();
        EXPECT_FALSE(script.had_to_quit()) << "the dialog did not close by itself";
        return passes;
    }
};

// --- customize -----------------------------------------------------------

class Customize : public Dialogs {
protected:
    int x0 = ox(180), y0 = oy(162);
    // Clicks the slider whose top is given at x offset dx (button down one
    // pass, up the next), then Enter.
    void click_slider(int top, int dx, int dy = 5)
    {
        key[KEY_ENTER] = 0;
        EXPECT_EQ(3, run(customize_dialog, {pointer(x0 + dx, y0 + top + dy, 1), pointer(-100, -100, 0), enter_down()}));
    }
};

TEST_F(Customize, EnterAtOnceGivesTheMiddleFieldWithoutDrawing)
{
    key[KEY_ENTER] = 1;
    EXPECT_EQ(1, run(customize_dialog, {same}));
    EXPECT_EQ(LEVEL_CUSTOM, level);
    EXPECT_EQ(24, cols);
    EXPECT_EQ(15, rows);
    EXPECT_EQ(45, level_teeth);
    EXPECT_EQ(504, window_width);
    EXPECT_EQ(390, window_height);
    EXPECT_TRUE(untouched());
}

TEST_F(Customize, PointerBandsPickStepsAndKnobsDrawTwentyEightApart)
{
    const struct {
        int dx, size_cols, size_rows;
    } bands[] = {{32, 9, 7}, {60, 9, 7}, {61, 18, 14}, {89, 18, 14}, {90, 24, 15},
                 {118, 24, 15}, {119, 32, 20}, {147, 32, 20}, {148, 40, 25}, {172, 40, 25}};
    for (const auto &b : bands) {
        click_slider(SIZE_SLIDER_TOP, b.dx);
        EXPECT_EQ(b.size_cols, cols) << "x offset " << b.dx;
        EXPECT_EQ(b.size_rows, rows) << "x offset " << b.dx;
        int step = (b.size_cols == 9) ? 0 : (b.size_cols == 18) ? 1 : (b.size_cols == 24) ? 2 : (b.size_cols == 32) ? 3 : 4;
        int knob_x = x0 + 32 + 28 * step;
        EXPECT_EQ(colour_of(KNOB), at(knob_x, y0 + 31)) << "step " << step;
        EXPECT_EQ(colour_of(KNOB), at(knob_x + 7, y0 + 31 + 25)) << "step " << step;
        EXPECT_NE(colour_of(KNOB), at(knob_x + 8, y0 + 31)) << "step " << step;
        EXPECT_EQ(colour_of(KNOB), at(x0 + 32 + 56, y0 + 89)) << "density knob stays at step 2";
    }
    const int teeth[] = {32, 40, 45, 60, 72};  // 24 x 15 for densities 0..4
    for (int d = 0; d < 5; d++) {
        click_slider(DENSITY_SLIDER_TOP, 33 + 29 * d);
        EXPECT_EQ(24, cols);
        EXPECT_EQ(teeth[d], level_teeth) << "density " << d;
    }
}

TEST_F(Customize, SliderAreasEndWhereTheyShould)
{
    for (int dx : {31, 173}) {  // left and right of the track
        click_slider(SIZE_SLIDER_TOP, dx);
        EXPECT_EQ(24, cols) << dx;
    }
    click_slider(SIZE_SLIDER_TOP, 32, 26);  // bottom row of the 27-row area
    EXPECT_EQ(9, cols);
    click_slider(SIZE_SLIDER_TOP, 32, 27);
    EXPECT_EQ(24, cols);
    click_slider(DENSITY_SLIDER_TOP, 172, 0);
    EXPECT_EQ(72, level_teeth);
    click_slider(DENSITY_SLIDER_TOP, 172, -1);
    EXPECT_EQ(45, level_teeth);
}

TEST_F(Customize, DraggingFollowsThePointerWhileHeldInTheBand)
{
    int y = y0 + SIZE_SLIDER_TOP + 10;
    EXPECT_EQ(5, run(customize_dialog, {pointer(x0 + 40, y, 1), pointer(x0 + 170, y, 1),
                                        pointer(x0 + 170, y + 40, 1),  // left the band: stays
                                        pointer(x0 + 100, y + 40, 1), enter_down()}));
    EXPECT_EQ(40, cols);
}

TEST_F(Customize, OkHeldEndsBeforeDrawingAndHoverLightsIt)
{
    EXPECT_EQ(1, run(customize_dialog, {pointer(x0 + 111, y0 + 146, 1)}));
    EXPECT_TRUE(untouched());
    EXPECT_EQ(24, cols);

    EXPECT_EQ(2, run(customize_dialog, {pointer(x0 + 68, y0 + 126, 0), enter_down()}));
    EXPECT_EQ(colour_of(LIT_OK), at(x0 + 68, y0 + 126));
    EXPECT_EQ(colour_of(LIT_OK), at(x0 + 110, y0 + 146));

    // One pixel beyond the OK area a press does nothing.
    key[KEY_ENTER] = 0;
    clear_to_color(draw_target, colour_of(SCENE));
    EXPECT_EQ(2, run(customize_dialog, {pointer(x0 + 112, y0 + 146, 1), enter_down()}));
    EXPECT_EQ(colour_of(SLIDE), at(x0 + 68, y0 + 126));
}

TEST_F(Customize, CloseButtonEndsAfterThePassAndAppliesTheSteps)
{
    int y = y0 + SIZE_SLIDER_TOP + 5;
    Script script({same, [=] { pointer(x0 + 32, y, 1)(); quit()(); }, same});
    customize_dialog();
    EXPECT_EQ(2, script.finish());
    EXPECT_EQ(9, cols);
    EXPECT_EQ(colour_of(KNOB), at(x0 + 32, y0 + 31));  // that pass was drawn

    quit_requested = 1;
    clear_to_color(draw_target, colour_of(SCENE));
    customize_dialog();
    EXPECT_EQ(24, cols);
    EXPECT_EQ(45, level_teeth);
    EXPECT_TRUE(untouched());
}

// --- records -------------------------------------------------------------

class Records : public Dialogs {
protected:
    int x0 = ox(201), y0 = oy(121);
    void SetUp() override
    {
        Dialogs::SetUp();
        std::memset(records, 0, sizeof records);
        reset_records();
    }
    void set(int i, const char *name, int32_t seconds)
    {
        std::strcpy(records[i].name, name);
        records[i].seconds = seconds;
    }
    bool ink_in(int left, int top, int right, int bottom) const
    {
        for (int y = top; y <= bottom; y++)
            for (int x = left; x <= right; x++)
                if (at(x, y) != colour_of(PANEL))
                    return true;
        return false;
    }
};

TEST_F(Records, EnterOkAndQuitClose)
{
    key[KEY_ENTER] = 1;
    EXPECT_EQ(1, run(records_dialog, {same}));
    EXPECT_TRUE(untouched());
    key[KEY_ENTER] = 0;

    EXPECT_EQ(1, run(records_dialog, {pointer(x0 + 147, y0 + 95, 1)}));
    EXPECT_TRUE(untouched());
    EXPECT_EQ(2, run(records_dialog, {pointer(x0 + 190, y0 + 116, 0), pointer(x0 + 190, y0 + 116, 1)}));
    EXPECT_EQ(colour_of(LIT_OK), at(x0 + 147, y0 + 95));

    EXPECT_EQ(3, run(records_dialog, {pointer(-100, -100, 0), same, quit()}));
    quit_requested = 1;
    Script script({});
    records_dialog();
    EXPECT_EQ(0, script.finish());
}

TEST_F(Records, EraseWaitsForTheChoosingPressToEndAndLeavesTheFile)
{
    char pattern[] = "/tmp/dentivale-dialog-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    std::string path = std::string(pattern) + "/game.dat";
    records_path = path.c_str();
    set(0, "Ann", 5);
    set(1, "Bob", 6);
    set(2, "Cy", 7);
    ASSERT_EQ(0, save_records());
    auto file_bytes = [&] {
        std::string bytes(200, '\0');
        FILE *f = std::fopen(path.c_str(), "rb");
        bytes.resize(std::fread(&bytes[0], 1, bytes.size(), f));
        std::fclose(f);
        return bytes;
    };
    std::string saved = file_bytes();

    auto erase = pointer(x0 + 12, y0 + 95, 1);
    EXPECT_EQ(4, run(records_dialog, {erase, same, same, enter_down()}));
    EXPECT_STREQ("Ann", records[0].name);
    EXPECT_EQ(colour_of(LIT_ERASE), at(x0 + 12, y0 + 95));

    key[KEY_ENTER] = 0;
    EXPECT_EQ(4, run(records_dialog, {erase, pointer(x0 + 102, y0 + 116, 0), pointer(x0 + 102, y0 + 116, 1),
                                      enter_down()}));
    EXPECT_STREQ("Quibo", records[0].name);
    EXPECT_EQ(60, records[0].seconds);
    EXPECT_EQ(600, records[1].seconds);
    EXPECT_EQ(6000, records[2].seconds);
    EXPECT_EQ(saved, file_bytes());

    records_path = "game.dat";
    std::remove(path.c_str());
    rmdir(pattern);
}

TEST_F(Records, LinesAreDrawnWithinTheirColumnsAndNeverOutsideTheDialog)
{
    // Names from a file without a zero byte: 30 wide letters, and 29
    // spaces and a dot followed by padding and seconds bytes that hold no
    // zero byte either. Only the 30 bytes of a name may be drawn.
    std::memset(&records[1], 'W', sizeof records[1]);
    records[1].seconds = 600;
    std::memset(&records[2], ' ', sizeof records[2]);
    records[2].name[RECORD_NAME_SIZE - 1] = '.';
    records[2].seconds = 0x41414141;
    EXPECT_EQ(2, run(records_dialog, {same, enter_down()}));

    int step = ttf_get_font_height(font_table[FONT_RECORDS]) + 9;
    auto line_top = [&](int i) { return y0 + 31 + i * step; };
    auto line_ink = [&](int i, int left, int right) {
        return ink_in(x0 + left, line_top(i), x0 + right, line_top(i) + step - 9);
    };
    EXPECT_TRUE(line_ink(0, 100, 124)) << "time";
    EXPECT_FALSE(line_ink(0, 125, 150)) << "gap between time and name";
    EXPECT_TRUE(line_ink(0, 151, 191)) << "name";
    EXPECT_FALSE(line_ink(0, 192, 200)) << "right margin";
    EXPECT_FALSE(line_ink(2, 125, 183)) << "the dot's name holds nothing else";
    EXPECT_TRUE(line_ink(2, 184, 191)) << "the dot";

    for (int y = 0; y < draw_target->h; y++)
        for (int x = 0; x < draw_target->w; x++)
            if (x < x0 || x > x0 + 200 || y < y0 || y > y0 + 120) {
                ASSERT_EQ(colour_of(SCENE), at(x, y)) << x << "," << y;
            }
}

// --- name entry ----------------------------------------------------------

TEST(NameEntryKey, PrintableUpToEightBackspaceAndNothingElse)
{
    char name[NAME_MAX_LENGTH + 1] = "";
    EXPECT_EQ(0, name_entry_key(name, 8));
    for (int c : {' ', '~', 'a', 'Z', '0', '!', '.', 'q'})
        EXPECT_EQ(1, name_entry_key(name, c));
    EXPECT_STREQ(" ~aZ0!.q", name);
    EXPECT_EQ(0, name_entry_key(name, 'x'));
    EXPECT_STREQ(" ~aZ0!.q", name);
    EXPECT_EQ(1, name_entry_key(name, 8));
    EXPECT_STREQ(" ~aZ0!.", name);
    for (int c : {0, 9, 13, 27, 31, 127, 128, 0xE9, 0x161, 0x20AC, -1})
        EXPECT_EQ(0, name_entry_key(name, c)) << c;
    EXPECT_STREQ(" ~aZ0!.", name);
    for (int i = 0; i < 7; i++)
        name_entry_key(name, 8);
    EXPECT_STREQ("", name);
}

class NameEntry : public Dialogs {
protected:
    int x0 = ox(180), y0 = oy(162);
    void SetUp() override
    {
        Dialogs::SetUp();
        std::memset(records, 0, sizeof records);
        reset_records();
        std::memcpy(records[1].name, "Quibo\0keep", 10);
    }
    bool caret_shown() const { return at(x0 + 37, y0 + 100) == makecol(0, 0, 0); }
};

TEST_F(NameEntry, TypedNameAndTimeGoIntoTheLevelsRecord)
{
    set_level_intermediate();
    ticks = 3599;
    type_key('z');  // pressed during the game: not part of the name
    EXPECT_EQ(12, run(name_entry_dialog, {typing('A'), typing('n'), typing('n'), typing(8), typing('d'), same,
                                          typing('y'), typing(0xE9), typing('!'), typing(27), same,
                                          enter_down()}));
    EXPECT_STREQ("Andy!", records[1].name);
    EXPECT_EQ(0, std::memcmp("Andy!\0keep", records[1].name, 10));  // the field's tail is kept
    EXPECT_EQ(59, records[1].seconds);
    EXPECT_STREQ("Quibo", records[0].name);
    EXPECT_EQ(60, records[0].seconds);
}

TEST_F(NameEntry, OneKeyAPassAndEightAtMost)
{
    set_level_hard();
    ticks = 60 * 100;
    auto ten_keys = [] {
        for (char c : std::string("abcdefghij"))
            type_key(c);
    };
    EXPECT_EQ(5, run(name_entry_dialog, {ten_keys, same, same, same, enter_down()}));
    EXPECT_STREQ("abcd", records[2].name);

    key[KEY_ENTER] = 0;  // the six keys left over are cleared at the next opening
    std::vector<Script::Step> steps = {ten_keys};
    steps.resize(11);
    steps.push_back(enter_down());
    EXPECT_EQ(12, run(name_entry_dialog, steps));
    EXPECT_STREQ("abcdefgh", records[2].name);
    EXPECT_EQ(100, records[2].seconds);
}

TEST_F(NameEntry, EmptyNameBecomesQuestionMarksByOkEnterOrClose)
{
    ticks = 125;
    EXPECT_EQ(2, run(name_entry_dialog, {pointer(x0 + 68, y0 + 121, 0), pointer(x0 + 111, y0 + 141, 1)}));
    EXPECT_STREQ("???", records[0].name);
    EXPECT_EQ(2, records[0].seconds);
    EXPECT_EQ(colour_of(LIT_OK), at(x0 + 68, y0 + 121));

    reset_records();
    auto away_and_x = [] {
        pointer(-100, -100, 0)();
        type_key('x');
    };
    EXPECT_EQ(3, run(name_entry_dialog, {away_and_x, same, quit()}));
    EXPECT_STREQ("x", records[0].name);

    reset_records();
    clear_to_color(draw_target, colour_of(SCENE));
    quit_requested = 1;
    name_entry_dialog();
    EXPECT_STREQ("???", records[0].name);
    EXPECT_TRUE(untouched());
}

TEST_F(NameEntry, CaretShowsThirtyPassesAndHidesTwentyEight)
{
    const struct {
        int passes;
        bool shown;
    } cases[] = {{1, true}, {30, true}, {31, false}, {58, false}, {59, true}};
    for (const auto &c : cases) {
        key[KEY_ENTER] = 0;
        std::vector<Script::Step> steps(c.passes);
        steps.push_back(enter_down());
        EXPECT_EQ(c.passes + 1, run(name_entry_dialog, steps));
        EXPECT_EQ(c.shown, caret_shown()) << "after " << c.passes << " passes";
    }
}

TEST_F(NameEntry, CustomLevelHasNoRecordToEnter)
{
    set_level_custom(3, 2);
    for (auto &r : records)
        r.seconds = 1000;
    Script script({});
    name_entry_dialog();
    EXPECT_EQ(0, script.finish());
    for (auto &r : records)
        EXPECT_EQ(1000, r.seconds);
    EXPECT_TRUE(untouched());
}

}  // namespace
