// Starting Allegro without a window system.
#ifndef DENTIVALE_TESTS_SUPPORT_HEADLESS_H
#define DENTIVALE_TESTS_SUPPORT_HEADLESS_H

#include <allegro.h>

// Allegro with SYSTEM_NONE: memory bitmaps, makecol, drawing, datafiles.
// The colour depth is set for makecol and create_bitmap. Safe to repeat.
void start_headless(int depth = 16);

// The packed datafile of this build (the game itself loads its attached copy).
const char *datafile_path(void);

// What the scene needs headless at 16 bits (the benchmarks draw it): the
// text layer, the datafile's bitmaps and fonts, the menu. 0, or -1 with
// resource_error.
int start_game_headless(void);

#endif
