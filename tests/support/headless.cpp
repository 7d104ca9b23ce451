#include "headless.h"

#include <cerrno>
#include <cstdlib>

#include <gtest/gtest.h>

#include "shell/menu/menu.h"
#include "shell/resources.h"
#include "shell/shell.h"

void start_headless(int depth)
{
    static bool started = false;
    if (!started) {
        ASSERT_EQ(0, install_allegro(SYSTEM_NONE, &errno, atexit)) << allegro_error;
        started = true;
    }
    set_color_depth(depth);
}

FrameTicker::FrameTicker()
    : thread_([this] {
          while (running_) {
              on_timer_tick();
              std::this_thread::sleep_for(std::chrono::milliseconds(1));
          }
      })
{
}

FrameTicker::~FrameTicker()
{
    running_ = false;
    thread_.join();
}

const char *datafile_path(void)
{
    const char *path = std::getenv("DENTIVALE_DATA");
    return path ? path : DENTIVALE_DATAFILE;
}

int start_game_headless(void)
{
    start_headless(16);
    ttf_init();
    if (load_resources(datafile_path()) != 0)
        return -1;
    game_menu = new GameMenu;
    return 0;
}

void stop_game_headless(void)
{
    delete game_menu;
    game_menu = nullptr;
    unload_resources();
    ttf_exit();
}
