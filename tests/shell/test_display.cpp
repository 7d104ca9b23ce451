// The display module's refusals and failed state, headless: with no window
// system every graphics mode is refused.
#include <gtest/gtest.h>

#include "shell/display.h"
#include "support/headless.h"

namespace {

class DisplayHeadless : public testing::Test {
protected:
    void SetUp() override
    {
        start_headless();
        screen_flags = 0;
        screen_configured = false;
        screen_failed = false;
        draw_target = nullptr;
    }
};

TEST_F(DisplayHeadless, SetupBeforeConfigureIsRefusedAndChangesNothing)
{
    screen_flags = SCREEN_DOUBLE_BUFFER;
    EXPECT_EQ(-1, screen_setup());
    EXPECT_EQ(SCREEN_DOUBLE_BUFFER, screen_flags);
    EXPECT_FALSE(screen_failed);
    EXPECT_EQ(nullptr, draw_target);
    // Nothing was set up, so there is nothing to show or tear down.
    screen_flags = 0;
    EXPECT_EQ(0, screen_show());
    EXPECT_EQ(0, screen_teardown());
}

TEST_F(DisplayHeadless, RefusedModeEntersTheFailedStateUntilTheNextConfigure)
{
    EXPECT_EQ(0, screen_configure(SCREEN_DOUBLE_BUFFER | SCREEN_PAGE_FLIP, 204, 270, 16));
    EXPECT_EQ(0, page_index);
    BITMAP *stale = create_bitmap(4, 4);
    draw_target = stale;  // what a previous set-up may have left behind
    EXPECT_EQ(-1, screen_setup());
    EXPECT_TRUE(screen_failed);
    EXPECT_EQ(0, screen_flags);
    EXPECT_EQ(nullptr, back_buffer);
    EXPECT_EQ(nullptr, draw_target) << "a refused mode must not leave a target to draw into";
    EXPECT_EQ(-1, screen_show());
    EXPECT_EQ(-1, screen_teardown());
    destroy_bitmap(stale);

    EXPECT_EQ(0, screen_configure(SCREEN_DOUBLE_BUFFER, 344, 410, 16));
    EXPECT_FALSE(screen_failed);
    EXPECT_EQ(344, screen_width);
    EXPECT_EQ(410, screen_height);
    EXPECT_EQ(16, screen_depth);
}

}  // namespace
