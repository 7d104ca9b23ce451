// Starting Allegro without a window system, and a stand-in for its timer.
#ifndef DENTIVALE_TESTS_SUPPORT_HEADLESS_H
#define DENTIVALE_TESTS_SUPPORT_HEADLESS_H

#include <allegro.h>

#include <atomic>
#include <thread>

// Allegro with SYSTEM_NONE: memory bitmaps, makecol, drawing, datafiles.
// The colour depth is set for makecol and create_bitmap. Safe to repeat.
void start_headless(int depth = 16);

// Calls the timer callback every millisecond from its own thread while it
// lives, standing in for the 60 Hz timer that cannot be installed headless.
class FrameTicker {
public:
    FrameTicker();
    ~FrameTicker();
    FrameTicker(const FrameTicker &) = delete;
    FrameTicker &operator=(const FrameTicker &) = delete;

private:
    std::atomic<bool> running_{true};
    std::thread thread_;
};

// The packed datafile of this build (the game itself loads its attached copy).
const char *datafile_path(void);

// What the scene and the main loop need headless at 16 bits: the text layer,
// the datafile's bitmaps and fonts, the menu. 0, or -1 with resource_error.
int start_game_headless(void);
void stop_game_headless(void);

#endif
