#include "headless.h"

#include <cerrno>
#include <cstdlib>

#include <gtest/gtest.h>

#include "shell/menu/menu.h"
#include "shell/resources.h"

void start_headless(int depth)
{
    static const int status = install_allegro(SYSTEM_NONE, &errno, atexit);  // once a process
    ASSERT_EQ(0, status) << allegro_error;
    set_color_depth(depth);
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
