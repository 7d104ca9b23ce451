// Entry point: start, play until the window closes or "Quit", shut down.
#include <allegro.h>

#include <cstdio>

#include "shell.h"

namespace {

// One line on stderr for terminals and logs; a message box as well where
// the window system can show one.
void report_failure(void)
{
    std::fprintf(stderr, "dentivale: %s\n", fatal_error);
    if (system_driver && system_driver->id != SYSTEM_NONE) {
        // Nothing reads input from here on. Gone before the box shows, the
        // drivers cannot start taking the keyboard back when the box closes,
        // which under Wine could hang against their removal at exit.
        remove_keyboard();
        remove_mouse();
        set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
        allegro_message("Dentivale cannot run: %s\n", fatal_error);
    }
}

}  // namespace

int main(void)
{
    if (init_game() == 0)
        run_main_loop();
    shutdown_game();
    if (fatal_error) {
        report_failure();
        return 1;
    }
    return 0;
}
END_OF_MAIN()
