// The graphics mode and the way a finished frame reaches the screen.
//
// Every frame is drawn into draw_target and shown with screen_show. Four
// update schemes are offered; the game uses a window with a memory back
// buffer (SCREEN_DOUBLE_BUFFER), of which each frame copies to the window
// only the rows that differ from what the window already shows.
// Main thread only, but for screen_invalidate.
#ifndef DENTIVALE_SHELL_DISPLAY_H
#define DENTIVALE_SHELL_DISPLAY_H

#include <allegro.h>

enum {
    SCREEN_DOUBLE_BUFFER = 1,  // draw into a memory back buffer, copied out by screen_show
    SCREEN_TRIPLE_BUFFER = 2,  // three video pages queued with request_video_bitmap
    SCREEN_PAGE_FLIP = 4,      // two video pages shown alternately
    SCREEN_FULLSCREEN = 16,    // GFX_AUTODETECT instead of GFX_AUTODETECT_WINDOWED
};

// Module state, one instance, alive from the first screen_configure to exit.
extern int screen_flags;         // SCREEN_* bits; screen_setup may change them while falling back
extern int screen_width;         // requested mode size in pixels
extern int screen_height;
extern int screen_depth;         // requested colour depth in bits per pixel
extern bool screen_configured;   // screen_configure has run; screen_setup refuses without it
extern bool screen_failed;       // the mode was refused; cleared by screen_configure
extern int page_index;           // video page shown next: 0..2 (triple), 0..1 (page flip)
extern BITMAP *pages[3];         // video pages of the page schemes
extern BITMAP *back_buffer;      // memory bitmap of the mode's size
extern BITMAP *draw_target;      // where this frame is drawn; null while nothing is set up
extern BITMAP *window_bitmap;    // what stands for the window: screen once set up, null after
                                 // teardown; a test may put a memory bitmap here

// Always 0. Stores the request; creates nothing.
int screen_configure(int flags, int width, int height, int depth);
// 0, or -1 when not configured or the mode was refused (the failed state).
int screen_setup(void);
// 0, or -1 in the failed state.
int screen_show(void);
// 0, or -1 in the failed state. Leaves the mode open; the next setup replaces it.
int screen_teardown(void);
// The window no longer holds what was last copied to it: the next
// screen_show copies the whole frame. Any thread; also the library's
// switch-in callback.
void screen_invalidate(void);

#endif
