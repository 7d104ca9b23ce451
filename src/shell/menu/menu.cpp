// The "Game..." menu: a title area that opens a list of seven item bands.
//
// Presses are taken while the left button is down, not on a change of
// state; the cooldown after opening or choosing is what keeps one press
// from acting twice.
#include "menu.h"

#include <allegro.h>

#include "../resources.h"

GameMenu *game_menu;

const char *const menu_items[MENU_ITEM_COUNT] = {
    "Easy", "Intermediate", "Hard", "Customize", "---", "Highscores", "Quit",
};

bool mouse_in_rect(int x1, int y1, int x2, int y2)
{
    return mouse_x >= x1 && mouse_x <= x2 && mouse_y >= y1 && mouse_y <= y2;
}

int menu_row_height(void)
{
    return ttf_get_font_height(font_table[FONT_MENU]) + 4;
}

int GameMenu::update(void)
{
    int h = menu_row_height();
    bool left_down = mouse_b & 1;

    if (open) {
        // Followed during the cooldown too, so the highlight never lags.
        hovered = -1;
        for (int i = 0; i < MENU_ITEM_COUNT; i++) {
            int top = MENU_BAND_TOP + i * h;
            if (mouse_in_rect(MENU_BAND_LEFT, top, MENU_BAND_RIGHT, top + h)) {
                hovered = i;
                break;
            }
        }
    }
    if (cooldown != 0) {
        cooldown--;
        return MENU_NONE;
    }
    if (open) {
        if (!left_down)
            return MENU_NONE;
        open = false;
        cooldown = MENU_CHOOSE_COOLDOWN;
        return hovered + 1;  // a press outside every band closes with MENU_NONE
    }
    if (left_down && mouse_x <= MENU_TITLE_RIGHT && mouse_y <= MENU_TITLE_BOTTOM) {
        open = true;
        cooldown = MENU_OPEN_COOLDOWN;
    }
    return MENU_NONE;
}

bool GameMenu::title_hot(void) const
{
    return (mouse_x <= MENU_TITLE_RIGHT && mouse_y <= MENU_TITLE_BOTTOM) || open;
}
