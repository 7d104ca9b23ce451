// Display modes and screen update.
#include "display.h"

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

namespace {

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
    } else if (buffered) {
        acquire_screen();
        blit_back_buffer(screen);
        release_screen();
    }
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
    // Whatever it pointed at is gone (or is the screen of a mode about to be
    // replaced); a null target makes a stray draw fail loudly, not silently.
    draw_target = nullptr;
    return 0;
}
