// The "Game..." drop-down menu and the pointer hit test.
#ifndef DENTIVALE_SHELL_MENU_MENU_H
#define DENTIVALE_SHELL_MENU_MENU_H

#include <cstdint>

// Pointer inside the rectangle whose first and last pixels are given, all
// four bounds inclusive.
bool mouse_in_rect(int x1, int y1, int x2, int y2);

// Items as update() returns them (row index + 1).
enum {
    MENU_NONE = 0,
    MENU_EASY = 1,
    MENU_INTERMEDIATE = 2,
    MENU_HARD = 3,
    MENU_CUSTOMIZE = 4,
    MENU_SEPARATOR = 5,
    MENU_HIGHSCORES = 6,
    MENU_QUIT = 7,
};
constexpr int MENU_ITEM_COUNT = 7;
extern const char *const menu_items[MENU_ITEM_COUNT];

// Title area: the window's top-left corner up to this pixel, inclusive.
constexpr int MENU_TITLE_RIGHT = 99;
constexpr int MENU_TITLE_BOTTOM = 39;
// Item band i covers x BAND_LEFT..BAND_RIGHT, y BAND_TOP + i*h .. BAND_TOP + (i+1)*h,
// h = menu font height + 4; neighbours share a row and the upper one wins it.
constexpr int MENU_BAND_LEFT = 3;
constexpr int MENU_BAND_RIGHT = 140;
constexpr int MENU_BAND_TOP = 41;
constexpr int MENU_OPEN_COOLDOWN = 19;   // the opening pass is the first of 20
constexpr int MENU_CHOOSE_COOLDOWN = 20;

struct GameMenu {
    bool open = false;     // the item list is showing
    int32_t hovered = -1;  // item band under the pointer, 0..6, -1 for none; meaningful while open
    int32_t cooldown = 0;  // further update() calls during which presses are ignored

    // One pass of menu input, once per main-loop pass before anything reads
    // the menu. Returns the chosen item (MENU_EASY..MENU_QUIT) or MENU_NONE.
    int update(void);
    // The title button is lit: pointer on the title area, or the menu open.
    bool title_hot(void) const;
};

// Row pitch of the item list: the menu font's line height plus 4 (24).
int menu_row_height(void);

// Created at start-up, deleted at shutdown.
extern GameMenu *game_menu;

#endif
