// Allegro's driverless system given stand-in drivers, so that the game's own
// start-up, dialogs and shutdown run with no window system. It reaches into
// Allegro's internals, so it is not in dv_test_support, which Windows builds.
#ifndef DENTIVALE_TESTS_SUPPORT_WINDOWLESS_H
#define DENTIVALE_TESTS_SUPPORT_WINDOWLESS_H

#include <allegro.h>

// Before allegro_init (or init_game): the window is a memory bitmap, keyboard
// and mouse move only when the test moves them, the timer never fires (the
// test sets frame_tick), rest() returns at once, and the program's own file
// is the built game, with the datafile attached.
void use_windowless_system(void);

extern int desktop_depth;  // bits a pixel the desktop shows; 0 (unknown) as the driverless system
extern bool refuse_mode;   // the next graphics mode is refused
extern bool offer_pages;   // the window offers video pages (and triple buffering)
extern BITMAP *shown_page; // the video page last shown or queued, or null
extern void (*each_poll)(void);  // called by every poll_mouse once the mouse is installed, or null
// Now and as the next poll_mouse reads them; on_window is what the library
// says of it (mouse_on_screen).
void move_pointer(int x, int y, int buttons, bool on_window = true);

#endif
