// The wait for the next period, ended from another thread as the library's
// timer and window threads end it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "shell/shell.h"
#include "support/headless.h"

namespace {

TEST(Pacing, EachWriterEndsTheWaitAndNothingElseDoes)
{
    start_headless();
    const struct {
        const char *name;
        void (*write)(void);
        int quit;
    } writers[] = {
        {"timer", on_timer_tick, 0},
        {"close button", on_close_button, -1},
        {"a store without a wake-up", [] { frame_tick = 1; }, 0},
    };
    for (const auto &w : writers) {
        SCOPED_TRACE(w.name);
        quit_requested = 0;
        // Periods missed before the wait collapse into one pass.
        for (int i = 0; i < 3; i++)
            on_timer_tick();
        next_frame();
        std::atomic<bool> written{false};
        std::thread writer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            written = true;
            w.write();
        });
        next_frame();  // a wait that never ends hangs the test
        EXPECT_TRUE(written) << "the wait ended before anything was stored";
        writer.join();
        EXPECT_EQ(0, frame_tick);
        EXPECT_EQ(w.quit, quit_requested);
    }
    quit_requested = 0;
}

}  // namespace
