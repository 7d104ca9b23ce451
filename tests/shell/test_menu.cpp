// The "Game..." menu as a state machine, and the pointer hit test.
#include <gtest/gtest.h>

#include "shell/menu/menu.h"
#include "shell/resources.h"
#include "support/headless.h"

namespace {

class Menu : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless();
        ttf_init();
        // The bands follow the menu font's line height: 20 gives h = 24.
        font_table[FONT_MENU] = ttf_load_font(DENTIVALE_FONT_DIR "/comfortaa/Comfortaa-Bold.ttf");
        ttf_set_font_size(font_table[FONT_MENU], 20);
    }
    static void TearDownTestSuite()
    {
        ttf_destroy_font(font_table[FONT_MENU]);
        font_table[FONT_MENU] = nullptr;
        ttf_exit();
    }

    GameMenu menu;

    int pass(int x, int y, bool left_down)
    {
        mouse_x = x;
        mouse_y = y;
        mouse_b = left_down ? 1 : 0;
        return menu.update();
    }
    // Opens the menu from the title and lets its cooldown run out.
    void open_and_wait(void)
    {
        pass(50, 20, true);
        ASSERT_TRUE(menu.open);
        for (int i = 0; i < MENU_OPEN_COOLDOWN; i++)
            pass(50, 20, false);
        ASSERT_EQ(0, menu.cooldown);
    }
};

TEST(MouseInRect, BothEndsAreInclusive)
{
    struct { int x, y; bool inside; } cases[] = {
        {105, 6, true}, {135, 35, true}, {136, 35, false}, {104, 6, false},
        {105, 5, false}, {135, 36, false}, {120, 20, true},
    };
    for (auto c : cases) {
        mouse_x = c.x;
        mouse_y = c.y;
        EXPECT_EQ(c.inside, mouse_in_rect(105, 6, 135, 35)) << c.x << "," << c.y;
    }
}

TEST_F(Menu, RowPitchIsTheMenuFontPlusFour)
{
    EXPECT_EQ(24, menu_row_height());
}

TEST_F(Menu, TitleAreaOpensAndItsBoundsAreInclusive)
{
    EXPECT_EQ(MENU_NONE, pass(100, 39, true));
    EXPECT_FALSE(menu.open) << "x = 100 is right of the title";
    EXPECT_EQ(MENU_NONE, pass(99, 40, true));
    EXPECT_FALSE(menu.open) << "y = 40 is below the title";
    EXPECT_EQ(MENU_NONE, pass(99, 39, true));
    EXPECT_TRUE(menu.open);
    EXPECT_EQ(MENU_OPEN_COOLDOWN, menu.cooldown);
}

TEST_F(Menu, TitleHotOnTheTitleOrWhileOpen)
{
    mouse_x = 99, mouse_y = 39;
    EXPECT_TRUE(menu.title_hot());
    mouse_x = 100;
    EXPECT_FALSE(menu.title_hot());
    mouse_x = 99, mouse_y = 40;
    EXPECT_FALSE(menu.title_hot());
    menu.open = true;
    mouse_x = 600, mouse_y = 400;
    EXPECT_TRUE(menu.title_hot());
}

TEST_F(Menu, PressesAreIgnoredUntilTwentyPassesAfterOpening)
{
    pass(50, 20, true);  // opening pass, the first of 20
    for (int i = 1; i < 20; i++) {
        EXPECT_EQ(MENU_NONE, pass(100, 50, true)) << "pass " << i;
        EXPECT_TRUE(menu.open);
    }
    EXPECT_EQ(MENU_EASY, pass(100, 50, true));
    EXPECT_FALSE(menu.open);
    EXPECT_EQ(MENU_CHOOSE_COOLDOWN, menu.cooldown);
}

TEST_F(Menu, BandsShareTheirBoundaryRowAndTheUpperItemWinsIt)
{
    open_and_wait();
    struct { int x, y, hovered; } cases[] = {
        {100, 41, 0}, {100, 65, 0}, {100, 66, 1}, {141, 65, -1}, {3, 89, 1},
        {140, 90, 2}, {2, 100, -1}, {100, 209, 6}, {100, 210, -1}, {100, 40, -1},
    };
    for (auto c : cases) {
        pass(c.x, c.y, false);
        EXPECT_EQ(c.hovered, menu.hovered) << c.x << "," << c.y;
    }
}

TEST_F(Menu, HoverFollowsThePointerDuringTheCooldown)
{
    pass(50, 20, true);
    pass(100, 120, false);
    EXPECT_GT(menu.cooldown, 0);
    EXPECT_EQ(3, menu.hovered);
}

TEST_F(Menu, APressChoosesTheItemUnderThePointer)
{
    // Band i: 41 + 24 i .. 65 + 24 i; pick a row strictly inside each.
    for (int item = MENU_EASY; item <= MENU_QUIT; item++) {
        menu = GameMenu();
        open_and_wait();
        EXPECT_EQ(item, pass(60, 41 + 24 * (item - 1) + 12, true));
        EXPECT_FALSE(menu.open);
    }
}

TEST_F(Menu, APressOutsideEveryBandClosesWithoutAChoice)
{
    open_and_wait();
    EXPECT_EQ(MENU_NONE, pass(300, 300, true));
    EXPECT_FALSE(menu.open);
    EXPECT_EQ(MENU_CHOOSE_COOLDOWN, menu.cooldown);
}

TEST_F(Menu, AHeldButtonOpensClosesAndOpensAgain)
{
    // On the title the whole time: the first pass opens it, the pass after
    // the 19 left of its cooldown closes it (the title is in no band: 0),
    // and 20 + 1 passes later it opens again.
    int pass_number = 0, opened_at = -1, closed_at = -1, reopened_at = -1;
    for (; pass_number < 60 && reopened_at < 0; pass_number++) {
        bool was_open = menu.open;
        EXPECT_EQ(MENU_NONE, pass(20, 20, true));
        if (!was_open && menu.open) {
            if (opened_at < 0)
                opened_at = pass_number;
            else
                reopened_at = pass_number;
        }
        if (was_open && !menu.open)
            closed_at = pass_number;
    }
    EXPECT_EQ(0, opened_at);
    EXPECT_EQ(20, closed_at);
    EXPECT_EQ(41, reopened_at);
}

TEST_F(Menu, AReleasedButtonLeavesTheMenuOpen)
{
    open_and_wait();
    for (int i = 0; i < 100; i++)
        EXPECT_EQ(MENU_NONE, pass(100, 50, false));
    EXPECT_TRUE(menu.open);
}

}  // namespace
