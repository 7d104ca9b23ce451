// Start-up, the main loop and shutdown.
#include "shell.h"

#include <allegro.h>

#include <cstdlib>
#include <ctime>

#include "../minefield/board.h"
#include "../minefield/records.h"
#include "../text/ttf.h"
#include "../ui/dialogs.h"
#include "../ui/scene.h"
#include "desktop.h"
#include "display.h"
#include "menu/menu.h"
#include "pacing.h"
#include "pointer.h"
#include "resources.h"

volatile int frame_tick;
volatile int quit_requested;
const char *fatal_error;

namespace {

constexpr int FRAMES_PER_SECOND = 60;
const char WINDOW_TITLE[] = "Dentivale!";

// The face button, first and last pixel: a left press starts a new game.
constexpr int FACE_LEFT = 105, FACE_TOP = 6, FACE_RIGHT = 135, FACE_BOTTOM = 35;

// How far start-up got, so that shutdown releases exactly that.
bool resources_loaded;
bool text_started;

// Bits a pixel of the window and of every bitmap for the whole run: 16, or
// 15 on a 15-bit desktop. Chosen once by init_game, before the first window.
int colour_depth = 16;

// 16 bits a pixel wherever they are shown right: as they are on a 16-bit
// desktop, converted on 24 and 32 bits. Allegro's X11 port copies 16-bit
// pixels unchanged onto a 15-bit display (the cells turn green), so there
// the game draws in 15 bits, which it shows as they are. With 256 colours
// or fewer no depth shows the art as drawn: 0. An unknown desktop (0) is
// given 16.
int colour_depth_for(int desktop_depth)
{
    if (desktop_depth == 15)
        return 15;
    if (desktop_depth > 0 && desktop_depth < 15)
        return 0;
    return 16;
}

// A new level: fresh board, a window of the new size, the game Ready.
void rebuild(void)
{
    reset_board();
    if (restart_display() != 0)
        return;
    lost = false;
    game_over = false;
    started = 0;
}

void act_on_menu_choice(int choice)
{
    switch (choice) {
    case MENU_EASY: set_level_easy(); rebuild(); break;
    case MENU_INTERMEDIATE: set_level_intermediate(); rebuild(); break;
    case MENU_HARD: set_level_hard(); rebuild(); break;
    case MENU_CUSTOMIZE: customize_dialog(); rebuild(); break;
    case MENU_HIGHSCORES: records_dialog(); break;
    case MENU_QUIT: quit_requested = 1; break;
    default: break;  // nothing chosen, or the separator
    }
}

// A pass of a game that has not ended: clock, cells, board, loss and win.
void play_pass(void)
{
    if (started)
        ticks++;  // counts passes, so it falls behind when passes overrun
    if (game_menu->open)
        return;  // no cell updates or board input under the item list

    int px = mouse_x, py = mouse_y;
    tick_cells(px, py);
    int result = board_input(px, py, mouse_b);
    if (result == -1) {
        reveal_board();
    } else if (result != 0) {
        if (check_win())
            game_over = true;
        if (game_over && is_new_record()) {
            name_entry_dialog();
            save_records();  // on failure the old file stays whole; play goes on
        }
    }
}

}  // namespace

void on_timer_tick(void)
{
    frame_tick = 1;
    wake_frame_waiter();
}
END_OF_FUNCTION(on_timer_tick)

void on_close_button(void)
{
    quit_requested = -1;
    wake_frame_waiter();  // a close ends the wait at once, not a period later
}
END_OF_FUNCTION(on_close_button)

void fail(const char *what)
{
    if (!fatal_error)
        fatal_error = what;
    quit_requested = 1;
}

int restart_display(void)
{
    desktop_before_mode_set(window_width, window_height);
    screen_teardown();
    screen_configure(SCREEN_DOUBLE_BUFFER, window_width, window_height, colour_depth);
    int result = screen_setup();
    desktop_after_mode_set();
    if (result != 0) {
        fail(colour_depth == 15 ? "the graphics mode (a 15-bit window) was refused"
                                : "the graphics mode (a 16-bit window) was refused");
        return -1;
    }
    if (system_driver && system_driver->set_window_title)
        set_window_title(WINDOW_TITLE);
    if (!desktop_shows_pointer()) {
        // The system draws the pointer where it can; the library otherwise.
        enable_hardware_cursor();
        show_mouse(screen);
    }
    return 0;
}

int init_game(void)
{
    desktop_start();
    if (allegro_init() != 0) {
        fail("Allegro could not start (is there an X display?)");
        return -1;
    }
    srand(static_cast<unsigned>(time(nullptr)));
    // Ctrl+Alt+End would end the game by a signal, losing a name being
    // typed for a record; the close button and "Quit" are the ways out.
    three_finger_flag = FALSE;
    if (install_keyboard() != 0 || install_mouse() < 0 || install_timer() != 0) {
        fail("the keyboard, mouse or timer could not be installed");
        return -1;
    }
    colour_depth = colour_depth_for(desktop_color_depth());
    if (colour_depth == 0) {
        fail("the display shows 256 colours or fewer; the game needs 15 bits a pixel or more");
        return -1;
    }
    LOCK_VARIABLE(frame_tick);
    LOCK_VARIABLE(quit_requested);
    LOCK_FUNCTION(on_timer_tick);
    LOCK_FUNCTION(on_close_button);
    install_int_ex(on_timer_tick, BPS_TO_TIMER(FRAMES_PER_SECOND));
    set_close_button_callback(on_close_button);

    set_level_easy();
    if (restart_display() != 0)
        return -1;
    if (ttf_init() != 0) {
        fail("the font rasteriser (FreeType) could not start");
        return -1;
    }
    text_started = true;
    if (load_resources() != 0) {
        fail(resource_error);
        return -1;
    }
    resources_loaded = true;
    game_menu = new GameMenu;
    reset_board();
    load_records();
    return 0;
}

void next_frame(void)
{
    wait_for_frame();
    frame_tick = 0;
    desktop_take_input();
    poll_mouse();
    // The window system is asked only while the library holds a button:
    // then a release may have gone unseen.
    settle_pointer(mouse_b & (BUTTON_LEFT | BUTTON_RIGHT | BUTTON_MIDDLE) ? desktop_buttons() : -1);
}

void main_loop_pass(void)
{
    if (!(mouse_b & 1))
        board_armed = 1;
    int choice = game_menu->update();
    // From the menu opening until the left button is seen up with the menu
    // closed, the board ignores the button: the press that picks an item
    // never reaches a cell under the list.
    if (game_menu->open)
        board_armed = 0;
    act_on_menu_choice(choice);
    if (fatal_error)
        return;  // the window is gone: nothing to draw into

    if (mouse_in_rect(FACE_LEFT, FACE_TOP, FACE_RIGHT, FACE_BOTTOM) && (mouse_b & 1))
        new_game();  // every pass while held: the game stays Ready

    if (!game_over)
        play_pass();

    draw_scene(draw_target, game_over, lost);
    screen_show();
}

void run_main_loop(void)
{
    started = 0;
    board_armed = 0;
    lost = false;
    game_over = false;
    while (!quit_requested) {
        next_frame();
        main_loop_pass();
    }
}

void shutdown_game(void)
{
    screen_teardown();
    if (resources_loaded)
        unload_resources();
    resources_loaded = false;
    if (text_started)
        ttf_exit();
    text_started = false;
    delete game_menu;
    game_menu = nullptr;
}
