// Start-up, the 60 Hz main loop and shutdown.
//
// One main thread runs the game, its drawing and its dialogs. Allegro's
// timer thread and window thread call the two callbacks below; each stores
// a constant into one of the two volatile flags and wakes the waiting loop.
#ifndef DENTIVALE_SHELL_SHELL_H
#define DENTIVALE_SHELL_SHELL_H

// Set to 1 by the timer each 1/60 s; cleared by the loop that consumes it.
// A flag, not a counter: periods missed during a long pass collapse into one.
extern volatile int frame_tick;
// Non-zero ends the main loop and every dialog loop: -1 from the window's
// close button, 1 from "Quit" or a failure that ends the run.
extern volatile int quit_requested;
// What made the run fail (start-up, graphics mode, data), or null. main
// reports it and exits non-zero.
extern const char *fatal_error;

void on_timer_tick(void);
void on_close_button(void);

// 0 when everything started; -1 with fatal_error set otherwise.
int init_game(void);
void run_main_loop(void);
void shutdown_game(void);

// Pacing shared by the main loop and every dialog: sleep until frame_tick is
// set (or quit_requested, which ends the wait at once), clear it, read the
// mouse (as pointer.h settles it).
void next_frame(void);
// One pass of the main loop after pacing: menu, face, clock, cells, board,
// loss and win, drawing, showing.
void main_loop_pass(void);
// Re-makes the window at the current level's size. 0, or -1 with
// fatal_error set and quit_requested raised when the mode was refused.
int restart_display(void);
// Records what failed and asks every loop to stop.
void fail(const char *what);

#endif
