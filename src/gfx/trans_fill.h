// Blending one solid colour into a rectangle of a 15-, 16- or 32-bit bitmap.
#ifndef DENTIVALE_GFX_TRANS_FILL_H
#define DENTIVALE_GFX_TRANS_FILL_H

#include <allegro.h>

// Blends colour c (a pixel value in bmp's format, as makecol gives it) into
// columns x..x+w-1 and rows y..y+h-1, clipped to the whole bitmap (not its
// clip rectangle). Strength 0 (or below) changes nothing, 255 fills solid.
// 8- and 24-bit bitmaps are left untouched.
void trans_rectfill(BITMAP *bmp, int x, int y, int w, int h, int c, int fact);

#endif
