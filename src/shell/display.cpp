// Display modes and screen update.
#include "display.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "desktop.h"

int screen_flags;
int screen_width;
int screen_height;
int screen_depth;
bool screen_configured;
bool screen_failed;
int page_index;
BITMAP *pages[3];
BITMAP *back_buffer;
BITMAP *draw_target;
BITMAP *window_bitmap;

namespace {

// What window_bitmap holds, as last copied there: each frame is compared
// with it row by row. Null when unknown (nothing shown yet, or no memory
// for it); made again whenever the back buffer's size changes.
BITMAP *shown;
// Set from any thread when the window lost what was copied to it.
std::atomic<bool> shown_lost;

// Rows are compared in chunks of this many bytes before the byte that
// differs is looked for.
constexpr int COMPARE_CHUNK = 64;

int page_count(void)
{
    if (screen_flags & SCREEN_TRIPLE_BUFFER)
        return 3;
    if (screen_flags & SCREEN_PAGE_FLIP)
        return 2;
    return 0;
}

void destroy_pages(void)
{
    for (BITMAP *&page : pages) {
        if (page)
            destroy_bitmap(page);
        page = nullptr;
    }
}

// The page schemes assume every page exists. When the driver gives fewer
// video bitmaps than asked for, drawing into a missing page would crash,
// so the scheme is dropped for a memory back buffer instead.
bool create_pages(int count)
{
    for (int i = 0; i < count; i++) {
        pages[i] = create_video_bitmap(screen_width, screen_height);
        if (!pages[i]) {
            destroy_pages();
            screen_flags &= ~(SCREEN_TRIPLE_BUFFER | SCREEN_PAGE_FLIP);
            screen_flags |= SCREEN_DOUBLE_BUFFER;
            return false;
        }
    }
    draw_target = pages[page_index];
    return true;
}

void blit_back_buffer(BITMAP *dest)
{
    blit(back_buffer, dest, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
}

// With a pointer that the library draws itself into the window, the window
// holds pixels that never went through the back buffer, and restores old
// ones when the pointer moves: only a whole copy every frame stays right.
bool library_draws_pointer(void)
{
    return window_bitmap == screen && mouse_driver && !(gfx_capabilities & GFX_HW_CURSOR) &&
           !desktop_shows_pointer();
}

// A copy of what the window shows that can be trusted, or null: the whole
// frame must be copied.
BITMAP *trusted_copy(void)
{
    bool lost = shown_lost.exchange(false);
    if (shown && (shown->w != back_buffer->w || shown->h != back_buffer->h ||
                  bitmap_color_depth(shown) != bitmap_color_depth(back_buffer))) {
        destroy_bitmap(shown);
        shown = nullptr;
    }
    if (!shown) {
        shown = create_bitmap_ex(bitmap_color_depth(back_buffer), back_buffer->w, back_buffer->h);
        return nullptr;
    }
    return lost || library_draws_pointer() ? nullptr : shown;
}

// The window is acquired only once something is to be copied to it: where
// it is a DirectDraw surface, each lock and unlock shows the whole window
// again, changed or not (under Wine that cost a core at rest).
bool window_acquired;

void copy_rect(int x, int y, int w, int h)
{
    if (!window_acquired) {
        acquire_bitmap(window_bitmap);
        window_acquired = true;
    }
    blit(back_buffer, window_bitmap, x, y, x, y, w, h);
    if (shown)
        blit(back_buffer, shown, x, y, x, y, w, h);
}

// First and last byte in which two rows differ; false when they are equal.
bool row_difference(const unsigned char *a, const unsigned char *b, int bytes, int &first, int &last)
{
    if (std::memcmp(a, b, bytes) == 0)
        return false;
    first = 0;
    while (first + COMPARE_CHUNK <= bytes && std::memcmp(a + first, b + first, COMPARE_CHUNK) == 0)
        first += COMPARE_CHUNK;
    while (a[first] == b[first])
        first++;
    last = bytes;
    while (last - COMPARE_CHUNK > first &&
           std::memcmp(a + last - COMPARE_CHUNK, b + last - COMPARE_CHUNK, COMPARE_CHUNK) == 0)
        last -= COMPARE_CHUNK;
    do
        last--;
    while (a[last] == b[last]);
    return true;
}

// Copies the rows that differ from what the window shows, a band of
// neighbouring rows at a time, each band cut to the columns that differ.
void copy_changes(BITMAP *copy)
{
    int pixel_bytes = (bitmap_color_depth(back_buffer) + 7) / 8;
    int row_bytes = back_buffer->w * pixel_bytes;
    int h = back_buffer->h;
    int first, last;
    for (int y = 0; y < h;) {
        if (!row_difference(back_buffer->line[y], copy->line[y], row_bytes, first, last)) {
            y++;
            continue;
        }
        int top = y, left = first, right = last;
        for (y++; y < h && row_difference(back_buffer->line[y], copy->line[y], row_bytes, first, last); y++) {
            left = std::min(left, first);
            right = std::max(right, last);
        }
        left /= pixel_bytes;
        right /= pixel_bytes;
        copy_rect(left, top, right - left + 1, y - top);
    }
}

void show_back_buffer(void)
{
    if (BITMAP *copy = trusted_copy())
        copy_changes(copy);
    else
        copy_rect(0, 0, back_buffer->w, back_buffer->h);
}

}  // namespace

int screen_configure(int flags, int width, int height, int depth)
{
    screen_flags = flags;
    screen_width = width;
    screen_height = height;
    screen_depth = depth;
    page_index = 0;
    screen_configured = true;
    screen_failed = false;
    return 0;
}

int screen_setup(void)
{
    if (!screen_configured)
        return -1;

    set_color_depth(screen_depth);
    int driver = (screen_flags & SCREEN_FULLSCREEN) ? GFX_AUTODETECT : GFX_AUTODETECT_WINDOWED;
    if (set_gfx_mode(driver, screen_width, screen_height, 0, 0) != 0) {
        // The old screen went with the refused mode; nothing is left to draw into.
        screen_failed = true;
        screen_flags = 0;
        draw_target = nullptr;
        return -1;
    }
    draw_target = screen;
    window_bitmap = screen;
    screen_invalidate();
    // Where the platform reports it, coming back to the program may find the
    // window's surface lost. A new mode drops the old registration.
    remove_display_switch_callback(screen_invalidate);
    set_display_switch_callback(SWITCH_IN, screen_invalidate);

    if (screen_flags & SCREEN_TRIPLE_BUFFER) {
        if (!(gfx_capabilities & GFX_CAN_TRIPLE_BUFFER))
            enable_triple_buffer();
        if (gfx_capabilities & GFX_CAN_TRIPLE_BUFFER) {
            create_pages(3);
        } else {
            screen_flags = (screen_flags & ~SCREEN_TRIPLE_BUFFER) | SCREEN_PAGE_FLIP;
        }
    }
    if (screen_flags & SCREEN_PAGE_FLIP)
        create_pages(2);

    if (screen_flags & SCREEN_DOUBLE_BUFFER) {
        back_buffer = create_bitmap(screen_width, screen_height);
        if (back_buffer)
            draw_target = back_buffer;
        else
            screen_flags &= ~SCREEN_DOUBLE_BUFFER;
    }
    return 0;
}

int screen_show(void)
{
    if (screen_failed)
        return -1;

    bool buffered = screen_flags & SCREEN_DOUBLE_BUFFER;
    if (screen_flags & SCREEN_TRIPLE_BUFFER) {
        if (buffered)
            blit_back_buffer(pages[page_index]);
        while (poll_scroll())
            ;  // the previous request has not been taken up yet
        request_video_bitmap(pages[page_index]);
        page_index = (page_index + 1) % 3;
        if (!buffered)
            draw_target = pages[page_index];
    } else if (screen_flags & SCREEN_PAGE_FLIP) {
        if (buffered)
            blit_back_buffer(pages[page_index]);
        show_video_bitmap(pages[page_index]);
        page_index = 1 - page_index;
        if (!buffered)
            draw_target = pages[page_index];
    } else if (buffered && back_buffer && window_bitmap) {
        show_back_buffer();
        if (window_acquired)
            release_bitmap(window_bitmap);
        window_acquired = false;
    }
    desktop_send_frame();
    return 0;
}

int screen_teardown(void)
{
    if (screen_failed)
        return -1;

    if ((screen_flags & SCREEN_DOUBLE_BUFFER) && back_buffer)
        destroy_bitmap(back_buffer);
    back_buffer = nullptr;
    if (page_count() > 0)
        destroy_pages();
    if (shown)
        destroy_bitmap(shown);
    shown = nullptr;
    window_bitmap = nullptr;
    // Whatever it pointed at is gone (or is the screen of a mode about to be
    // replaced); a null target makes a stray draw fail loudly, not silently.
    draw_target = nullptr;
    return 0;
}

void screen_invalidate(void)
{
    shown_lost = true;
}
