// Starting Allegro without a window system.
#ifndef DENTIVALE_TESTS_SUPPORT_HEADLESS_H
#define DENTIVALE_TESTS_SUPPORT_HEADLESS_H

#include <allegro.h>

// Allegro with SYSTEM_NONE: memory bitmaps, makecol, drawing, datafiles,
// with the colour depth set. Safe to repeat.
void start_headless(int depth = 16);
// The packed datafile of this build (the game itself loads its attached copy).
const char *datafile_path(void);
// The text layer, the datafile's bitmaps and fonts and the menu, at 16 bits,
// as the scene needs them (the benchmarks draw it): 0, or -1 with resource_error.
int start_game_headless(void);

#endif
