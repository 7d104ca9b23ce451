// The records, name entry and customize dialogs.
//
// Each dialog is a loop of its own on the main loop's pacing: one pass per
// timer period reads the pointer and keys, acts, paints the dialog over
// whatever draw_target holds (the last scene; the scene is not drawn again
// while a dialog is open) and shows the frame. Every loop ends when
// quit_requested is set, and does not run at all when it already is.
#include "dialogs.h"

#include <allegro.h>

#include <cstring>

#include "../minefield/board.h"
#include "../minefield/records.h"
#include "../shell/display.h"
#include "../shell/menu/menu.h"
#include "../shell/resources.h"
#include "../shell/shell.h"
#include "../text/ttf.h"

namespace {

constexpr int CLOSING_PAUSE_MS = 200;  // the records and name dialogs linger after closing
constexpr int TICKS_PER_SECOND = 60;

// Caret blink: shown while the counter is above 0; it runs 1..30, then
// jumps to -27, so the caret shows for 30 passes and hides for 28.
constexpr int CARET_SHOWN_PASSES = 30;
constexpr int CARET_RESTART = -27;

constexpr int KEY_CHAR_BACKSPACE = 8;
constexpr int KEY_CHAR_FIRST_PRINTABLE = 32;
constexpr int KEY_CHAR_LAST_PRINTABLE = 126;

// Text blends into the art. The scene leaves the layer transparent after
// every pass anyway; the dialogs do not rely on it.
constexpr int TEXT_TRANSPARENT = -1;

const char EMPTY_NAME[] = "???";
const char *const LEVEL_NAMES[RECORD_COUNT] = {"Easy", "Intermediate", "Hard"};

// Top-left corner of a dialog centred on the window.
struct Origin {
    int x, y;
};

Origin centred(int width, int height)
{
    // Headless there is no screen; the frame being drawn has its size.
    int area_w = gfx_driver ? SCREEN_W : draw_target->w;
    int area_h = gfx_driver ? SCREEN_H : draw_target->h;
    return {(area_w - width) / 2, (area_h - height) / 2};
}

bool pointer_in(Origin o, const DialogRect &r)
{
    return mouse_in_rect(o.x + r.left, o.y + r.top, o.x + r.right, o.y + r.bottom);
}

bool left_down(void) { return mouse_b & 1; }

// The left button as a dialog may take it. "Seen up once" alone is not
// enough: a double click on a menu row opens the dialog with its first
// press, and its second press, a new one, would land on whatever lies
// under the row (Erase, a slider). So the button counts only once it has
// been seen up after the opening gesture's time is out.
struct LeftButton {
    int passes;  // passes since the dialog opened, counted up to DIALOG_GESTURE_PASSES
    bool ready;  // seen up since the opening gesture ended
};

// Once a pass, after next_frame: whether a press of the dialog's own is down.
bool dialog_press(LeftButton &left)
{
    if (left.passes < DIALOG_GESTURE_PASSES)
        left.passes++;
    if (left.passes == DIALOG_GESTURE_PASSES && !left_down())
        left.ready = true;
    return left.ready && left_down();
}

int black(void) { return makecol(0, 0, 0); }

void draw_at(BITMAP *sprite, Origin o, int dx, int dy)
{
    draw_sprite(draw_target, sprite, o.x + dx, o.y + dy);
}

// --- records -------------------------------------------------------------

void draw_records(Origin o, bool on_ok, bool on_erase)
{
    BITMAP *target = draw_target;
    draw_at(bitmap_table[BMP_HIGHSCORE], o, 0, 0);
    if (on_ok)
        draw_at(bitmap_table[BMP_ONOK], o, RECORDS_OK.left, RECORDS_OK.top);
    if (on_erase)
        draw_at(bitmap_table[BMP_ONCAN], o, RECORDS_ERASE.left, RECORDS_ERASE.top);

    // A name from a file may be 30 characters wide: it must not spill over
    // the scene beside the dialog.
    int clip_left, clip_top, clip_right, clip_bottom;
    get_clip_rect(target, &clip_left, &clip_top, &clip_right, &clip_bottom);
    add_clip_rect(target, o.x, o.y, o.x + RECORDS_WIDTH - 1, o.y + RECORDS_HEIGHT - 1);
    int old_background = ttf_text_mode(TEXT_TRANSPARENT);
    TTF_FONT *font = font_table[FONT_RECORDS];
    int step = ttf_get_font_height(font) + RECORDS_LINE_GAP;
    for (int i = 0; i < RECORD_COUNT; i++) {
        int y = o.y + RECORDS_LINE_TOP + i * step;
        ttf_textprintf_right_aa(target, font, o.x + RECORDS_TIME_RIGHT, y, black(), "%ds",
                                static_cast<int>(records[i].seconds));
        // A name field without a zero byte ends after its 30 bytes. A
        // precision cannot say so: the library counts it in characters.
        char name[RECORD_NAME_SIZE + 1] = {};
        std::memcpy(name, records[i].name, RECORD_NAME_SIZE);
        ttf_textprintf_right_aa(target, font, o.x + RECORDS_NAME_RIGHT, y, black(), "%s", name);
    }
    ttf_text_mode(old_background);
    set_clip_rect(target, clip_left, clip_top, clip_right, clip_bottom);
}

// --- name entry ----------------------------------------------------------

int next_blink(int blink)
{
    blink++;
    return blink > CARET_SHOWN_PASSES ? CARET_RESTART : blink;
}

void draw_name_entry(Origin o, const char *level_name, const char *name, int blink, bool on_ok)
{
    BITMAP *target = draw_target;
    draw_at(bitmap_table[BMP_INPUT], o, 0, 0);

    int old_background = ttf_text_mode(TEXT_TRANSPARENT);
    TTF_FONT *heading = font_table[FONT_HEADING];
    int step = ttf_get_font_height(heading) + INPUT_HEADING_GAP;
    int cx = o.x + INPUT_WIDTH / 2;
    int y = o.y + INPUT_HEADING_TOP;
    ttf_textprintf_centre_aa(target, heading, cx, y, black(), "Best time for");
    ttf_textprintf_centre_aa(target, heading, cx, y + step, black(), "the %s level.", level_name);
    ttf_textprintf_centre_aa(target, heading, cx, y + 2 * step, black(), "Insert your name:");

    TTF_FONT *name_font = font_table[FONT_NAME];
    ttf_textprintf_aa(target, name_font, o.x + INPUT_NAME_X, o.y + INPUT_NAME_Y, black(), "%s", name);
    if (blink > 0) {
        int caret_x = o.x + INPUT_NAME_X + ttf_text_length(name_font, name);
        vline(target, caret_x, o.y + INPUT_CARET_TOP, o.y + INPUT_CARET_BOTTOM, black());
    }
    ttf_text_mode(old_background);
    if (on_ok)
        draw_at(bitmap_table[BMP_ONOK], o, INPUT_OK.left, INPUT_OK.top);
}

// --- customize -----------------------------------------------------------

// While the left button is held inside the slider's band, its knob jumps
// to the step under the pointer; there is no capture.
void follow_slider(Origin o, int top, bool pressed, int &step)
{
    int knob_height = bitmap_table[BMP_CHOCO]->h;
    if (pressed && mouse_in_rect(o.x + SLIDER_LEFT, o.y + top, o.x + SLIDER_RIGHT, o.y + top + knob_height))
        step = (mouse_x - o.x - SLIDER_LEFT) / SLIDER_PICK_STEP;
}

void draw_customize(Origin o, int size_step, int density_step, bool on_ok)
{
    draw_at(bitmap_table[BMP_SLIDE], o, 0, 0);
    draw_at(bitmap_table[BMP_CHOCO], o, SLIDER_LEFT + SLIDER_KNOB_STEP * size_step, SIZE_SLIDER_TOP);
    draw_at(bitmap_table[BMP_CHOCO], o, SLIDER_LEFT + SLIDER_KNOB_STEP * density_step, DENSITY_SLIDER_TOP);
    if (on_ok)
        draw_at(bitmap_table[BMP_ONOK], o, SLIDE_OK.left, SLIDE_OK.top);
}

}  // namespace

void records_dialog(void)
{
    Origin o = centred(RECORDS_WIDTH, RECORDS_HEIGHT);
    // On Easy the "Highscores" row lies over Erase.
    LeftButton left = {0, false};
    while (!quit_requested) {
        next_frame();
        bool pressed = dialog_press(left);
        if (key[KEY_ENTER])
            break;
        bool on_ok = pointer_in(o, RECORDS_OK);
        if (on_ok && pressed)
            break;
        bool on_erase = pointer_in(o, RECORDS_ERASE);
        if (on_erase && pressed)
            reset_records();  // memory only; the file keeps the old records
        draw_records(o, on_ok, on_erase);
        screen_show();
    }
    rest(CLOSING_PAUSE_MS);
}

int name_entry_key(char name[NAME_MAX_LENGTH + 1], int c)
{
    size_t length = std::strlen(name);
    if (c >= KEY_CHAR_FIRST_PRINTABLE && c <= KEY_CHAR_LAST_PRINTABLE) {
        if (length >= NAME_MAX_LENGTH)
            return 0;
        name[length] = static_cast<char>(c);
        name[length + 1] = '\0';
        return 1;
    }
    if (c == KEY_CHAR_BACKSPACE && length > 0) {
        name[length - 1] = '\0';
        return 1;
    }
    return 0;
}

void name_entry_dialog(void)
{
    int index = record_index(level);
    if (index < 0)
        return;  // the custom level keeps no record
    Origin o = centred(INPUT_WIDTH, INPUT_HEIGHT);
    char name[NAME_MAX_LENGTH + 1] = "";
    int blink = 0;
    // The main loop never reads the keyboard: keys pressed during the game
    // are still queued and must not turn up as a name.
    clear_keybuf();
    // A double click on the winning cell must not close it with no name.
    LeftButton left = {0, false};
    while (!quit_requested) {
        next_frame();
        bool pressed = dialog_press(left);
        blink = next_blink(blink);
        bool on_ok = pointer_in(o, INPUT_OK);
        if (on_ok && pressed)
            break;
        if (key[KEY_ENTER])
            break;  // tested as a state: the Enter press itself stays queued
        if (keypressed()) {
            // The whole character: readkey's low 8 bits would turn a
            // character beyond Latin-1 into '^', which a name would take.
            name_entry_key(name, ureadkey(nullptr));
        }
        draw_name_entry(o, LEVEL_NAMES[index], name, blink, on_ok);
        screen_show();
    }

    if (!name[0])
        std::strcpy(name, EMPTY_NAME);
    // Only the name and its zero byte: the rest of the field stays as held.
    std::strcpy(records[index].name, name);
    records[index].seconds = static_cast<int32_t>(ticks / TICKS_PER_SECOND);
    rest(CLOSING_PAUSE_MS);
}

void customize_dialog(void)
{
    int size_step = 2;     // both sliders start in the middle at every opening
    int density_step = 2;
    Origin o = centred(SLIDE_WIDTH, SLIDE_HEIGHT);
    // In a small window the "Customize" row lies over the density slider.
    LeftButton left = {0, false};
    while (!quit_requested) {
        next_frame();
        bool pressed = dialog_press(left);
        if (key[KEY_ENTER])
            break;
        bool on_ok = pointer_in(o, SLIDE_OK);
        if (on_ok && pressed)
            break;  // before anything of this pass is drawn
        follow_slider(o, SIZE_SLIDER_TOP, pressed, size_step);
        follow_slider(o, DENSITY_SLIDER_TOP, pressed, density_step);
        draw_customize(o, size_step, density_step, on_ok);
        screen_show();
    }
    // Every way out applies the sliders: there is no Cancel.
    set_level_custom(size_step + 1, density_step);
}
