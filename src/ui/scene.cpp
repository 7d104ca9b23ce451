// Placeholder scene: the window's background colour until the scene lands.
#include "scene.h"

void draw_scene(BITMAP *target, bool, bool)
{
    clear_to_color(target, makecol(91, 63, 53));
}

void draw_cell(const Cell &, BITMAP *, int, int) {}

int number_colour(int) { return makecol(220, 210, 154); }
