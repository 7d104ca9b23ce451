// Drawing the game scene: frame, field, status line, face and menu.
//
// Every pass clears the target and draws everything again from the board,
// the game variables and the menu; nothing is kept between passes.
#ifndef DENTIVALE_UI_SCENE_H
#define DENTIVALE_UI_SCENE_H

#include <allegro.h>

#include "../minefield/board.h"

void draw_scene(BITMAP *target, bool game_over, bool lost);
void draw_cell(const Cell &cell, BITMAP *target, int x, int y);
int number_colour(int n);

#endif
