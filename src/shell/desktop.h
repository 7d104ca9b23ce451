// The window-system calls the game makes beyond Allegro's: the one place
// that knows X11 and Win32.
//
// Allegro makes one window and, at every graphics mode set, hides it,
// resizes it and shows it again. On a desktop that is where it goes wrong:
// the window manager places the window anew (in the middle of the screen,
// or off its edge), the library moves the pointer to the new window's
// middle, a button released while the window was away is never seen, and
// the window calls itself "Allegro". What the library cannot be told to do
// is done here; everything else stays behind Allegro.
#ifndef DENTIVALE_SHELL_DESKTOP_H
#define DENTIVALE_SHELL_DESKTOP_H

// A rectangle on the desktop, in screen pixels.
struct DesktopRect {
    int x, y, w, h;
};

// Where a window frame goes that keeps its top-left corner but must lie on
// the desktop: moved left and up just enough for its right and bottom
// edges to fit, then right and down so that its left and top edges do (a
// frame larger than the desktop keeps its title bar on it).
DesktopRect fit_on_desktop(DesktopRect frame, DesktopRect desktop);

// Main thread, before allegro_init: every window the library makes says
// what it is (class "dentivale", "Dentivale", icon at every size, process,
// machine).
void desktop_start(void);

// Main thread, just before and just after each graphics mode set that
// makes a window of width x height. Between the two the window keeps the
// top-left corner it has now (moved in where it would overhang the
// desktop) and the library does not move the pointer; afterwards the
// library knows where the pointer really is.
void desktop_before_mode_set(int width, int height);
void desktop_after_mode_set(void);

// Main thread, right before the pointer and keys are read: what the
// window system has sent reaches the library now. (Allegro's X11 port takes
// its events in, and sends what it drew, from a thread of its own that
// looks every 10 ms: ten milliseconds every click would wait for nothing.)
void desktop_take_input(void);
// Main thread, right after a frame is copied to the window: it goes to
// the window system now.
void desktop_send_frame(void);

// True where the window shows the desktop's own pointer, so the game asks
// the library for none.
bool desktop_shows_pointer(void);

// Main thread: the buttons (BUTTON_* bits) the window system has down now,
// or -1 where it cannot say. A release outside the window may never reach
// the library; the window system always knows.
int desktop_buttons(void);

#endif
