// The pointer as the game takes it, once a pass.
#include "pointer.h"

#include <allegro.h>

#include "display.h"

PointerState pointer_for_pass(PointerState library, bool on_window, int width, int height, int system_buttons)
{
    PointerState pointer = library;
    // Only ever takes a press back: a press the library has not seen yet
    // is seen in a later pass.
    if (system_buttons >= 0)
        pointer.buttons &= system_buttons;
    bool inside = on_window && library.x >= 0 && library.x < width && library.y >= 0 && library.y < height;
    if (!inside) {
        pointer.x = width;
        pointer.y = height;
    }
    return pointer;
}

void settle_pointer(int system_buttons)
{
    if (!window_bitmap)
        return;  // no window to be on or off
    PointerState pointer = pointer_for_pass({mouse_x, mouse_y, mouse_b}, mouse_on_screen(), window_bitmap->w,
                                            window_bitmap->h, system_buttons);
    mouse_x = pointer.x;
    mouse_y = pointer.y;
    mouse_b = pointer.buttons;
}
