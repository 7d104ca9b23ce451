// The pointer as the game takes it, once a pass.
//
// Every reader (menu, face, board, dialogs) reads Allegro's polled mouse_x,
// mouse_y and mouse_b. Two things the library reports can be stale, and are
// put right in those variables after each poll_mouse, so that all readers
// see the same pointer:
// - a button released where the window could not see it (the window was
//   remade under a held button, and the release fell outside it) stays down
//   in the library until the next press; the window system knows better;
// - once the pointer has left the window, the library keeps its last
//   position inside (or the middle of a new window, where it starts the
//   pointer), and a cell there would stay lit.
#ifndef DENTIVALE_SHELL_POINTER_H
#define DENTIVALE_SHELL_POINTER_H

struct PointerState {
    int x, y;     // window pixels
    int buttons;  // BUTTON_* bits down
};

// The pointer for this pass from the library's view: library, which the
// library itself says is on the window or not; the window's size; and the
// buttons the window system has down (-1 when it cannot say). A button
// the library holds that the system has up is up. A pointer off the window
// stands just past its bottom-right corner, on no cell, button or band.
PointerState pointer_for_pass(PointerState library, bool on_window, int width, int height,
                              int system_buttons);

// After poll_mouse: puts the pointer for this pass into mouse_x, mouse_y
// and mouse_b, given the buttons the window system has down (-1 when it
// cannot say). Left as it is while there is no window.
void settle_pointer(int system_buttons);

#endif
