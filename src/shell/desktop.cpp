// The window-system calls beyond Allegro's: an X11 branch, a Win32 branch,
// and nothing where the library runs without a window system (the tests).
#include "desktop.h"

#include <allegro.h>

#include <algorithm>

#include "../minefield/board.h"
#include "resources.h"

#if defined(ALLEGRO_WITH_XWINDOWS)
#include <xalleg.h>
#include <X11/Xatom.h>
#include <unistd.h>

#include <climits>
#include <vector>

#include "icon.h"
#elif defined(ALLEGRO_WINDOWS)
#include <winalleg.h>
#endif

DesktopRect fit_on_desktop(DesktopRect frame, DesktopRect desktop)
{
    frame.x = std::max(std::min(frame.x, desktop.x + desktop.w - frame.w), desktop.x);
    frame.y = std::max(std::min(frame.y, desktop.y + desktop.h - frame.h), desktop.y);
    return frame;
}

namespace {

// Where the window is to stand after the mode set under way.
struct Place {
    bool held;             // a window stood somewhere before the mode set
    int frame_x, frame_y;  // its frame's top-left corner, moved in to fit
    int x, y;              // where that puts the window's own top-left corner
};
Place place;

// A mode set ends with the library putting the pointer in the middle of
// the new window, which on Windows moves the system's pointer there. For
// the length of the mode set the library's mouse driver is a copy that
// cannot move the pointer: the library only notes the position.
MOUSE_DRIVER *moving_driver;
MOUSE_DRIVER still_driver;

void hold_pointer_still(void)
{
    if (!mouse_driver || moving_driver)
        return;
    still_driver = *mouse_driver;
    still_driver.position = nullptr;
    moving_driver = mouse_driver;
    mouse_driver = &still_driver;
}

void let_pointer_move(void)
{
    if (moving_driver)
        mouse_driver = moving_driver;
    moving_driver = nullptr;
}

// Where the pointer is in window pixels, as the window system has it; false
// when it cannot say.
bool system_pointer(int &x, int &y);

// The frame the window would have at width x height with its top-left
// corner where it stands, and the frame's border left of and above the
// window; false when no window shows.
bool window_frame(DesktopRect &frame, int &left, int &top, int width, int height);
// The part of the desktop windows may take.
DesktopRect work_area(void);
// Asks for the window to stand at the place, unless it does already.
void move_window(const Place &to);
// Whatever the window needs to show the pointer the desktop draws.
void show_system_pointer(void);

}  // namespace

void desktop_before_mode_set(int width, int height)
{
    DesktopRect frame;
    int left, top;  // the frame's border left of and above the window
    // Before the first mode set the library's window is not the game's yet
    // (on Windows it waits, empty, off the screen's corner).
    place.held = gfx_driver && window_frame(frame, left, top, width, height);
    if (place.held) {
        frame = fit_on_desktop(frame, work_area());
        place.frame_x = frame.x, place.frame_y = frame.y;
        place.x = frame.x + left, place.y = frame.y + top;
    }
    hold_pointer_still();
}

void desktop_after_mode_set(void)
{
    if (gfx_driver) {
        if (place.held)
            move_window(place);
        show_system_pointer();
        // The library put its pointer in the middle of the new window; until
        // the pointer moves, a cell there would light up.
        int x, y;
        if (system_pointer(x, y) && x >= 0 && x < SCREEN_W && y >= 0 && y < SCREEN_H)
            position_mouse(x, y);
    }
    place.held = false;
    let_pointer_move();
}

#if defined(ALLEGRO_WITH_XWINDOWS)

// X11. Every call holds the library's own X lock, since its input thread
// shares the display connection, except the window defaults, which the
// library calls with the lock held.

namespace {

bool x11(void) { return system_driver && system_driver->id == SYSTEM_XWINDOWS && _xwin.display; }

Atom atom(const char *name) { return XInternAtom(_xwin.display, name, False); }

// A property of 32-bit numbers (as Xlib hands them: longs), or none.
std::vector<long> cardinals(Window w, const char *name)
{
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char *data = nullptr;
    std::vector<long> values;
    if (XGetWindowProperty(_xwin.display, w, atom(name), 0, 1024, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success && data) {
        if (type == XA_CARDINAL && format == 32)
            values.assign(reinterpret_cast<long *>(data), reinterpret_cast<long *>(data) + count);
        XFree(data);
    }
    return values;
}

void set_cardinals(Window w, const char *name, const long *values, int count)
{
    XChangeProperty(_xwin.display, w, atom(name), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(values), count);
}

char class_name[] = "dentivale";   // the program, as a desktop entry's Exec names it
char class_class[] = "Dentivale";  // what docks match with StartupWMClass

// The icon at every size the art generator draws, as _NET_WM_ICON holds
// it: for each size its width, its height and its ARGB pixels, rows top
// down.
std::vector<long> window_icons(void)
{
    std::vector<long> icons;
    const IconRun *run = window_icon_runs;
    for (int size : ICON_FILE_SIZES) {
        icons.push_back(size);
        icons.push_back(size);
        for (int left = size * size; left > 0; run++) {
            icons.insert(icons.end(), run->count, static_cast<long>(window_icon_palette[run->colour]));
            left -= run->count;
        }
    }
    return icons;
}

// Given once to each window the library makes: the process and the machine
// it runs on (which a desktop needs to end a hung program) and the icons.
Window identified = None;

void identify(Window w)
{
    long pid = getpid();
    set_cardinals(w, "_NET_WM_PID", &pid, 1);
    char host[HOST_NAME_MAX + 1] = "";
    gethostname(host, sizeof host - 1);
    char *hosts[] = {host};
    XTextProperty machine;
    if (XStringListToTextProperty(hosts, 1, &machine)) {
        XSetWMClientMachine(_xwin.display, w, &machine);
        XFree(machine.value);
    }
    std::vector<long> icons = window_icons();
    set_cardinals(w, "_NET_WM_ICON", icons.data(), static_cast<int>(icons.size()));
    identified = w;
}

// Allegro's own window defaults (the title, its class "allegro", the old
// icon hint), which it sets when it makes the window and again whenever a
// mode set has hidden it: each time before the window shows.
void (*library_window_defaults)(void);

void window_defaults(void)
{
    library_window_defaults();
    Window w = _xwin.wm_window;
    if (w == None)
        return;
    XClassHint hint = {class_name, class_class};
    XSetClassHint(_xwin.display, w, &hint);
    if (w != identified)
        identify(w);
}

bool system_pointer(int &x, int &y)
{
    if (!x11() || _xwin.window == None)
        return false;
    XLOCK();
    Window root, child;
    int root_x, root_y;
    unsigned int mask;
    bool here = XQueryPointer(_xwin.display, _xwin.window, &root, &child, &root_x, &root_y, &x, &y, &mask);
    XUNLOCK();
    return here;
}

bool window_frame(DesktopRect &frame, int &left, int &top, int width, int height)
{
    if (!x11() || _xwin.wm_window == None)
        return false;
    XLOCK();
    Window w = _xwin.wm_window, child;
    XWindowAttributes attributes;
    bool shown = XGetWindowAttributes(_xwin.display, w, &attributes) && attributes.map_state == IsViewable;
    if (shown) {
        // Left, right, top and bottom border of the window manager's frame.
        std::vector<long> extents = cardinals(w, "_NET_FRAME_EXTENTS");
        extents.resize(4, 0);
        left = static_cast<int>(extents[0]), top = static_cast<int>(extents[2]);
        int x, y;
        XTranslateCoordinates(_xwin.display, w, DefaultRootWindow(_xwin.display), 0, 0, &x, &y, &child);
        frame = {x - left, y - top, width + left + static_cast<int>(extents[1]),
                 height + top + static_cast<int>(extents[3])};
    }
    XUNLOCK();
    return shown;
}

// The desktop less its panels, where the window manager says so; the
// whole screen otherwise.
DesktopRect work_area(void)
{
    XLOCK();
    Window root = DefaultRootWindow(_xwin.display);
    DesktopRect area = {0, 0, DisplayWidth(_xwin.display, _xwin.screen), DisplayHeight(_xwin.display, _xwin.screen)};
    std::vector<long> current = cardinals(root, "_NET_CURRENT_DESKTOP");
    size_t desktop = current.empty() ? 0 : static_cast<size_t>(current[0]);
    std::vector<long> areas = cardinals(root, "_NET_WORKAREA");
    if (areas.size() >= 4 * (desktop + 1)) {
        const long *a = &areas[4 * desktop];
        area = {static_cast<int>(a[0]), static_cast<int>(a[1]), static_cast<int>(a[2]), static_cast<int>(a[3])};
    }
    XUNLOCK();
    return area;
}

void move_window(const Place &to)
{
    if (!x11())
        return;
    XLOCK();
    Window w = _xwin.wm_window, child;
    int x, y;
    XTranslateCoordinates(_xwin.display, w, DefaultRootWindow(_xwin.display), 0, 0, &x, &y, &child);
    // Asked for with the window's gravity (north-west: Allegro sets none),
    // a position is that of the frame's top-left corner.
    if (x != to.x || y != to.y) {
        XMoveWindow(_xwin.display, w, to.frame_x, to.frame_y);
        XFlush(_xwin.display);
    }
    XUNLOCK();
}

// The desktop's own pointer over the game. Allegro hides it and would draw
// its own, which it can only show by moving the pointer to where it
// thinks the pointer is.
void show_system_pointer(void)
{
    if (!x11())
        return;
    XLOCK();
    XUndefineCursor(_xwin.display, _xwin.window);
    XFlush(_xwin.display);
    XUNLOCK();
}

}  // namespace

#ifdef ALLEGRO_XWINDOWS_WITH_XPM
// Allegro makes its window inside allegro_init and takes the old-style icon
// hint from this variable then (its own logo unless told otherwise).
extern "C" void *allegro_icon;
#endif

void desktop_start(void)
{
#ifdef ALLEGRO_XWINDOWS_WITH_XPM
    allegro_icon = dentivale_icon_xpm;
#endif
    if (_xwin_window_defaultor != window_defaults) {
        library_window_defaults = _xwin_window_defaultor;
        _xwin_window_defaultor = window_defaults;
    }
}

void desktop_take_input(void)
{
    if (x11())
        _xwin_handle_input();  // takes the library's X lock itself
}

void desktop_send_frame(void)
{
    if (!x11())
        return;
    XLOCK();
    XFlush(_xwin.display);
    XUNLOCK();
}

bool desktop_shows_pointer(void) { return x11(); }

int desktop_buttons(void)
{
    if (!x11() || _xwin.window == None)
        return -1;
    XLOCK();
    Window root, child;
    int root_x, root_y, x, y;
    unsigned int mask = 0;
    XQueryPointer(_xwin.display, _xwin.window, &root, &child, &root_x, &root_y, &x, &y, &mask);
    XUNLOCK();
    return (mask & Button1Mask ? BUTTON_LEFT : 0) | (mask & Button3Mask ? BUTTON_RIGHT : 0) |
           (mask & Button2Mask ? BUTTON_MIDDLE : 0);
}

#elif defined(ALLEGRO_WINDOWS)

// Win32. The window belongs to the library's window thread; moving it from
// here is a message that thread answers.

namespace {

bool system_pointer(int &x, int &y)
{
    HWND window = win_get_window();
    POINT p;
    if (!window || !GetCursorPos(&p) || !ScreenToClient(window, &p))
        return false;
    x = p.x, y = p.y;
    return true;
}

bool window_frame(DesktopRect &frame, int &left, int &top, int width, int height)
{
    HWND window = win_get_window();
    RECT outer, inner = {0, 0, width, height};
    if (!window || !IsWindowVisible(window) || !GetWindowRect(window, &outer) ||
        !AdjustWindowRectEx(&inner, GetWindowLong(window, GWL_STYLE), FALSE, GetWindowLong(window, GWL_EXSTYLE)))
        return false;
    left = -inner.left, top = -inner.top;
    frame = {outer.left, outer.top, inner.right - inner.left, inner.bottom - inner.top};
    return true;
}

// The work area of the monitor the window is on.
DesktopRect work_area(void)
{
    MONITORINFO monitor;
    monitor.cbSize = sizeof monitor;
    HMONITOR m = MonitorFromWindow(win_get_window(), MONITOR_DEFAULTTONEAREST);
    if (!m || !GetMonitorInfo(m, &monitor))
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    const RECT &r = monitor.rcWork;
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The library centres each new window on the last one; it goes back to
// where the last one's corner was.
void move_window(const Place &to)
{
    SetWindowPos(win_get_window(), nullptr, to.frame_x, to.frame_y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void show_system_pointer(void) {}  // the library asks Windows for it

}  // namespace

#else

namespace {
bool system_pointer(int &, int &) { return false; }
bool window_frame(DesktopRect &, int &, int &, int, int) { return false; }
DesktopRect work_area(void) { return {0, 0, 0, 0}; }
void move_window(const Place &) {}
void show_system_pointer(void) {}
}  // namespace

#endif

#if !defined(ALLEGRO_WITH_XWINDOWS)

// The library's own view stands: on Windows its input thread hears every
// event at once and DirectInput reports every release while the game is in
// front, and the frame shows as it is copied.
void desktop_start(void) {}
void desktop_take_input(void) {}
void desktop_send_frame(void) {}
bool desktop_shows_pointer(void) { return false; }
int desktop_buttons(void) { return -1; }

#endif
