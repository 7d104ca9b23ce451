#include "windowless.h"

#include <allegro/internal/aintern.h>

#include <cstdio>
#include <mutex>

int desktop_depth;
bool refuse_mode, offer_pages;
BITMAP *shown_page;
void (*each_poll)(void);

namespace {

GFX_DRIVER window;
KEYBOARD_DRIVER keyboard;
MOUSE_DRIVER mouse;
TIMER_DRIVER timer;

BITMAP *open_window(int w, int h, int, int, int depth)
{
    if (refuse_mode)
        return nullptr;
    window.w = w, window.h = h;
    gfx_capabilities = offer_pages ? GFX_CAN_TRIPLE_BUFFER : 0;
    return create_bitmap_ex(depth, w, h);  // the library destroys it with the mode
}
BITMAP *make_page(int w, int h)
{
    BITMAP *page = offer_pages ? create_bitmap(w, h) : nullptr;
    if (page)
        page->id |= BMP_ID_VIDEO;
    return page;
}
void free_page(BITMAP *page)
{
    page->id &= ~BMP_ID_VIDEO;  // or destroy_bitmap would hand it back here
    destroy_bitmap(page);
}

using Mutex = std::recursive_mutex;

_DRIVER_INFO lists[4][2] = {{{1, &window, TRUE}}, {{1, &keyboard, TRUE}}, {{1, &mouse, TRUE}}, {{1, &timer, TRUE}}};

}  // namespace

void use_windowless_system(void)
{
    // Methods left null are ones the library can do without; no thread ticks
    // the timer's queue, so installed callbacks never run.
    window.ascii_name = keyboard.ascii_name = mouse.ascii_name = timer.ascii_name = "windowless";
    window.init = open_window, window.windowed = TRUE;
    window.create_video_bitmap = make_page, window.destroy_video_bitmap = free_page;
    window.show_video_bitmap = window.request_video_bitmap = [](BITMAP *page) { return shown_page = page, 0; };
    keyboard.init = timer.init = [] { return 0; }, mouse.init = [] { return 3; };  // buttons
    keyboard.exit = mouse.exit = timer.exit = [] {}, timer.rest = [](unsigned, void (*)(void)) {};
    mouse.poll = [] {
        if (each_poll)
            each_poll();
    };

    // allegro_init takes the first system that detects itself: this one.
    for (_DRIVER_INFO *d = _system_driver_list; d->driver; d++)
        d->autodetect = d->id == SYSTEM_NONE;
    system_none.gfx_drivers = [] { return lists[0]; };
    system_none.keyboard_drivers = [] { return lists[1]; };
    system_none.mouse_drivers = [] { return lists[2]; };
    system_none.timer_drivers = [] { return lists[3]; };
    // The timer's queue needs the system's mutexes, which the driverless system lacks.
    system_none.create_mutex = []() -> void * { return new Mutex; };
    system_none.destroy_mutex = [](void *m) { delete static_cast<Mutex *>(m); };
    system_none.lock_mutex = [](void *m) { static_cast<Mutex *>(m)->lock(); };
    system_none.unlock_mutex = [](void *m) { static_cast<Mutex *>(m)->unlock(); };
    system_none.desktop_color_depth = [] { return desktop_depth; };
    system_none.get_executable_name = [](char *out, int size) { std::snprintf(out, size, "%s", DENTIVALE_GAME); };
}

void move_pointer(int x, int y, int buttons, bool on_window)
{
    _mouse_on = on_window;
    mouse_x = _mouse_x = x;
    mouse_y = _mouse_y = y;
    mouse_b = _mouse_b = buttons;
}
