// The three modal dialogs: records, name entry and customize.
//
// Each runs its own loop on the main loop's pacing (next_frame) until it is
// closed or quit_requested is set, drawing over what draw_target holds.
// The geometry below is shared with the art generator, which draws the
// dialogs' backgrounds so that their buttons and fields sit exactly under
// these hit areas. All positions are relative to the dialog's top-left
// corner; rectangles are first and last pixel, inclusive.
#ifndef DENTIVALE_UI_DIALOGS_H
#define DENTIVALE_UI_DIALOGS_H

struct DialogRect {
    int left, top, right, bottom;
};

// A dialog opens on a press (the menu takes its choice while the button is
// down) or on the release that won a game. A press that begins within this
// many passes of the opening belongs to the gesture that opened it, like
// the second press of a double click, and the dialog does not take it:
// half a second, a desktop's usual double-click time.
constexpr int DIALOG_GESTURE_PASSES = 30;

// Records dialog, over B_HIGHSCORE (201 x 121).
constexpr int RECORDS_WIDTH = 201, RECORDS_HEIGHT = 121;
constexpr DialogRect RECORDS_OK = {147, 95, 190, 116};     // B_ONOK drawn at its corner when lit
constexpr DialogRect RECORDS_ERASE = {12, 95, 102, 116};   // B_ONCAN drawn at its corner when lit
constexpr int RECORDS_LINE_TOP = 31;      // line i at 31 + i * (font height + 9)
constexpr int RECORDS_LINE_GAP = 9;
constexpr int RECORDS_TIME_RIGHT = 124;   // times end here
constexpr int RECORDS_NAME_RIGHT = 191;   // names end here

// Name entry dialog, over B_INPUT (180 x 162).
constexpr int INPUT_WIDTH = 180, INPUT_HEIGHT = 162;
constexpr DialogRect INPUT_FIELD = {33, 82, 149, 111};     // the white text field's frame
constexpr DialogRect INPUT_OK = {68, 121, 111, 141};
constexpr int INPUT_HEADING_TOP = 12;     // heading line k at 12 + k * (font height + 3)
constexpr int INPUT_HEADING_GAP = 3;
constexpr int INPUT_NAME_X = 37, INPUT_NAME_Y = 89;
constexpr int INPUT_CARET_TOP = 88, INPUT_CARET_BOTTOM = 106;
constexpr int NAME_MAX_LENGTH = 8;

// Customize dialog, over B_SLIDE (180 x 162).
constexpr int SLIDE_WIDTH = 180, SLIDE_HEIGHT = 162;
constexpr int SLIDER_LEFT = 32, SLIDER_RIGHT = 172;  // hit area of both sliders
constexpr int SLIDER_KNOB_STEP = 28;      // knob of step s drawn at SLIDER_LEFT + 28 s
constexpr int SLIDER_PICK_STEP = 29;      // pointer x picks step (x - SLIDER_LEFT) / 29
constexpr int SLIDER_STEPS = 5;
constexpr int SIZE_SLIDER_TOP = 31;
constexpr int DENSITY_SLIDER_TOP = 89;
constexpr DialogRect SLIDE_OK = {68, 126, 111, 146};

void records_dialog(void);
void name_entry_dialog(void);
void customize_dialog(void);

// One key of the name entry, as a character code: a printable character
// (32..126) is appended while the name is shorter than NAME_MAX_LENGTH,
// backspace (8) removes the last character, anything else is dropped.
// Returns 1 when the name changed.
int name_entry_key(char name[NAME_MAX_LENGTH + 1], int c);

#endif
