// The update schemes on a real X display (the test command's Xvfb).
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "shell/display.h"

namespace {

class DisplayX11 : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_EQ(0, allegro_init()) << "needs an X display: " << allegro_error;
    }
    void TearDown() override { screen_teardown(); }

    // Draws a colour into the target, shows it, and reads the window back.
    static int shown_pixel(int colour)
    {
        clear_to_color(draw_target, colour);
        EXPECT_EQ(0, screen_show());
        return getpixel(screen, 10, 10);
    }
};

TEST_F(DisplayX11, DoubleBufferDrawsIntoTheBackBufferAndCopiesIt)
{
    screen_configure(SCREEN_DOUBLE_BUFFER, 204, 270, 16);
    ASSERT_EQ(0, screen_setup());
    EXPECT_EQ(16, bitmap_color_depth(screen));
    EXPECT_EQ(204, SCREEN_W);
    EXPECT_EQ(270, SCREEN_H);
    ASSERT_NE(nullptr, back_buffer);
    EXPECT_TRUE(is_memory_bitmap(back_buffer));
    EXPECT_EQ(back_buffer, draw_target);
    int red = makecol(255, 0, 0), blue = makecol(0, 0, 255);
    EXPECT_EQ(red, shown_pixel(red));
    EXPECT_EQ(back_buffer, draw_target) << "the target stays put between frames";
    EXPECT_EQ(blue, shown_pixel(blue));
}

TEST_F(DisplayX11, NoSchemeDrawsStraightOntoTheScreen)
{
    screen_configure(0, 204, 270, 16);
    ASSERT_EQ(0, screen_setup());
    EXPECT_EQ(screen, draw_target);
    int green = makecol(0, 255, 0);
    EXPECT_EQ(green, shown_pixel(green));
}

// The X11 window offers one video bitmap at most and no triple buffering,
// so both page schemes end on a memory back buffer instead of drawing into
// pages that do not exist.
TEST_F(DisplayX11, PageSchemesFallBackWhenPagesCannotBeHad)
{
    for (int scheme : {SCREEN_PAGE_FLIP, SCREEN_TRIPLE_BUFFER}) {
        SCOPED_TRACE(scheme);
        screen_configure(scheme, 344, 410, 16);
        ASSERT_EQ(0, screen_setup());
        ASSERT_NE(nullptr, draw_target);
        if (screen_flags & (SCREEN_PAGE_FLIP | SCREEN_TRIPLE_BUFFER)) {
            // A driver that has the pages: the target moves from page to page.
            BITMAP *first = draw_target;
            clear_to_color(draw_target, 0);
            screen_show();
            EXPECT_NE(first, draw_target);
        } else {
            EXPECT_EQ(SCREEN_DOUBLE_BUFFER, screen_flags);
            EXPECT_EQ(back_buffer, draw_target);
            EXPECT_EQ(nullptr, pages[0]);
            int white = makecol(255, 255, 255);
            EXPECT_EQ(white, shown_pixel(white));
        }
        EXPECT_EQ(0, screen_teardown());
        EXPECT_EQ(nullptr, back_buffer);
        EXPECT_EQ(nullptr, draw_target);
    }
}

TEST_F(DisplayX11, ReconfiguringChangesTheWindowSize)
{
    screen_configure(SCREEN_DOUBLE_BUFFER, 204, 270, 16);
    ASSERT_EQ(0, screen_setup());
    screen_teardown();
    screen_configure(SCREEN_DOUBLE_BUFFER, 624, 410, 16);
    ASSERT_EQ(0, screen_setup());
    EXPECT_EQ(624, SCREEN_W);
    EXPECT_EQ(410, SCREEN_H);
    EXPECT_EQ(624, back_buffer->w);
    EXPECT_EQ(410, back_buffer->h);
}

}  // namespace
