// Drawing the game scene: frame, field, status line, face and menu.
//
// Every pass clears the target and draws everything again from the board,
// the game variables and the menu; nothing is kept between passes. The
// field, the face and the menu hang from the top-left corner; the status
// line hangs from the bottom edge of the window (SW x SH below).
#ifndef DENTIVALE_UI_SCENE_H
#define DENTIVALE_UI_SCENE_H

#include <allegro.h>

#include "../minefield/board.h"

struct Rgb {
    int r, g, b;
};

// The scene's palette, 8 bits a channel; made into pixels with makecol.
namespace palette {
constexpr Rgb BACKGROUND = {91, 63, 53};      // whole window, field frame, status strip
constexpr Rgb PANEL = {57, 36, 24};           // inner panel
constexpr Rgb GRID = {140, 110, 50};
constexpr Rgb BOX_FILL = {60, 0, 0};          // counter and clock boxes, and their text background
constexpr Rgb BOX_OUTLINE = {45, 14, 12};
constexpr Rgb BOX_TEXT = {255, 0, 0};
constexpr Rgb BEVEL_LIGHT = {88, 60, 48};     // top and left edges of a button
constexpr Rgb BEVEL_DARK = {35, 22, 15};      // bottom and right edges
constexpr Rgb TITLE_LIT = {60, 131, 205};     // "Game..." under the pointer or open
constexpr Rgb TITLE_OUTLINE = {0, 0, 0};
constexpr Rgb TITLE_TEXT = {225, 215, 160};
constexpr Rgb MENU_PANEL = {80, 120, 220};    // blended at MENU_PANEL_STRENGTH
constexpr Rgb MENU_OUTLINE = {11, 11, 85};
constexpr Rgb MENU_ROW = {255, 255, 255};
constexpr Rgb MENU_ROW_HOVERED = {255, 0, 0};
constexpr Rgb GLOW = {255, 0, 0};             // blended at the cell's glow
// Colours of the counts 1..5; higher counts repeat them.
constexpr Rgb NUMBERS[5] = {
    {220, 210, 154}, {186, 230, 155}, {230, 174, 155}, {155, 180, 230}, {206, 155, 230},
};
}  // namespace palette

// Layout in window pixels; rectangles are two inclusive corners. Values
// named ..._FROM_BOTTOM / ..._FROM_RIGHT are subtracted from SH / SW.
namespace layout {
constexpr int BORDER = 3;                      // background border around the inner panel
constexpr int FIELD_FRAME_LEFT = 10, FIELD_FRAME_TOP = 39;
constexpr int FIELD_FRAME_RIGHT_PAD = 16;      // frame right = 20 cols + 16
constexpr int FIELD_FRAME_BOTTOM_PAD = 45;     // frame bottom = 20 rows + 45
constexpr int STRIP_LEFT = 8, STRIP_TOP_FROM_BOTTOM = 37;
constexpr int STRIP_RIGHT_FROM_RIGHT = 8, STRIP_BOTTOM_FROM_BOTTOM = 9;
constexpr int BOX_TOP_FROM_BOTTOM = 35, BOX_BOTTOM_FROM_BOTTOM = 11;
constexpr int COUNTER_LEFT = 10, COUNTER_RIGHT = 83;
constexpr int CLOCK_LEFT_FROM_RIGHT = 111, CLOCK_RIGHT_FROM_RIGHT = 11;
constexpr int TEXT_TOP_FROM_BOTTOM = 30;       // counter and clock text
constexpr int COUNTER_TEXT_LEFT = 23;
constexpr int CLOCK_TEXT_LEFT_FROM_RIGHT = 108;
constexpr int COUNTER_ICON_LEFT = 13, COUNTER_ICON_TOP_FROM_BOTTOM = 33;
constexpr int FACE_LEFT = 105, FACE_TOP = 6;   // the face sprite; its bevel lies around it
constexpr int TITLE_LEFT = 5, TITLE_RIGHT = 100;   // "Game..." button with its bevel
constexpr int BUTTON_TOP = 4, BUTTON_BOTTOM = 36;
constexpr int BEVEL = 2;
constexpr int TITLE_LIT_LEFT = 7, TITLE_LIT_TOP = 6, TITLE_LIT_RIGHT = 97, TITLE_LIT_BOTTOM = 34;
constexpr int TITLE_TEXT_X = 13, TITLE_TEXT_Y = 12;
constexpr int MENU_PANEL_LEFT = 3, MENU_PANEL_TOP = 38, MENU_PANEL_WIDTH = 140;
constexpr int MENU_PANEL_STRENGTH = 191;
constexpr int MENU_TEXT_LEFT = 13, MENU_TEXT_TOP = 45;
constexpr int NUMBER_DX = 4, NUMBER_DY = 1;    // a count's text inside its cell
constexpr int TOOTH_DX = 1;                    // a tooth's sprite inside its cell
}  // namespace layout

void draw_scene(BITMAP *target, bool game_over, bool lost);
void draw_cell(const Cell &cell, BITMAP *target, int x, int y);
// Colour of the count n (1 or more) as a pixel of the current depth.
int number_colour(int n);

#endif
