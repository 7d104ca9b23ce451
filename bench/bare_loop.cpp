// The library's own floor for a 60 Hz window, for bench/cpu_use.py: the
// same start-up as the game (keyboard, mouse, timer, a 16-bit window), then
// every period wait with rest(1), clear a memory bitmap and copy all of it
// to the window. Runs until its window is closed or it is killed.
#include <allegro.h>

#include <cstdio>

namespace {

constexpr int WIDTH = 824, HEIGHT = 590;  // the game's window at 40 x 25 cells

volatile int tick;     // set by the timer each 1/60 s, cleared by the loop
volatile int closing;  // set by the window's close button

void on_tick(void) { tick = 1; }
END_OF_FUNCTION(on_tick)

void on_close(void) { closing = 1; }
END_OF_FUNCTION(on_close)

}  // namespace

int main(void)
{
    if (allegro_init() != 0 || install_keyboard() != 0 || install_mouse() < 0 || install_timer() != 0) {
        std::fprintf(stderr, "bare_loop: Allegro could not start: %s\n", allegro_error);
        return 1;
    }
    LOCK_VARIABLE(tick);
    LOCK_FUNCTION(on_tick);
    install_int_ex(on_tick, BPS_TO_TIMER(60));
    set_close_button_callback(on_close);
    set_color_depth(16);
    if (set_gfx_mode(GFX_AUTODETECT_WINDOWED, WIDTH, HEIGHT, 0, 0) != 0) {
        std::fprintf(stderr, "bare_loop: no %d x %d window: %s\n", WIDTH, HEIGHT, allegro_error);
        return 1;
    }
    set_window_title("bare loop");
    enable_hardware_cursor();
    show_mouse(screen);
    BITMAP *frame = create_bitmap(WIDTH, HEIGHT);
    int colour = makecol(90, 140, 200);
    while (!closing) {
        while (!tick)
            rest(1);
        tick = 0;
        poll_mouse();
        clear_to_color(frame, colour);
        acquire_screen();
        blit(frame, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
        release_screen();
    }
    destroy_bitmap(frame);
    return 0;
}
END_OF_MAIN()
