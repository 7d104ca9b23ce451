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
    void open_and_wait(void)
    {
        menu = GameMenu();
        pass(50, 20, true);
        for (int i = 0; i < MENU_OPEN_COOLDOWN; i++)
            pass(50, 20, false);
        ASSERT_TRUE(menu.open);
        ASSERT_EQ(0, menu.cooldown);
    }
};

TEST(MouseInRect, BothEndsAreInclusive)
{
    struct { int x, y; bool inside; } cases[] = {
        {105, 6, true}, {135, 35, true}, {136, 35, false}, {104, 6, false}, {105, 5, false}, {135, 36, false},
    };
    for (auto c : cases) {
        mouse_x = c.x;
        mouse_y = c.y;
        EXPECT_EQ(c.inside, mouse_in_rect(105, 6, 135, 35)) << c.x << "," << c.y;
    }
}

TEST_F(Menu, TitleAreaOpensAndLightsTheButton)
{
    for (auto p : {std::make_pair(100, 39), std::make_pair(99, 40)}) {
        pass(p.first, p.second, true);
        EXPECT_FALSE(menu.open) << p.first << "," << p.second << " is off the title";
        EXPECT_FALSE(menu.title_hot());
    }
    pass(99, 39, true);
    EXPECT_TRUE(menu.open);
    EXPECT_EQ(MENU_OPEN_COOLDOWN, menu.cooldown);
    mouse_x = 600, mouse_y = 400;
    EXPECT_TRUE(menu.title_hot()) << "lit everywhere while open";
}

TEST_F(Menu, PressesAreIgnoredUntilTwentyPassesAfterOpening)
{
    pass(50, 20, true);  // the opening pass is the first of 20
    for (int i = 1; i < 20; i++)
        EXPECT_EQ(MENU_NONE, pass(100, 50, true)) << "pass " << i;
    EXPECT_TRUE(menu.open);
    EXPECT_EQ(MENU_EASY, pass(100, 50, true));
    EXPECT_FALSE(menu.open);
    EXPECT_EQ(MENU_CHOOSE_COOLDOWN, menu.cooldown);
}

TEST_F(Menu, BandsShareTheirBoundaryRowAndTheUpperItemWins)
{
    EXPECT_EQ(24, menu_row_height());
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

TEST_F(Menu, APressChoosesTheItemUnderThePointerOrNothingOutside)
{
    for (int item = MENU_EASY; item <= MENU_QUIT; item++) {
        open_and_wait();
        EXPECT_EQ(item, pass(60, 41 + 24 * (item - 1) + 12, true));  // separator included
        EXPECT_FALSE(menu.open);
    }
    open_and_wait();
    EXPECT_EQ(MENU_NONE, pass(300, 300, true));
    EXPECT_FALSE(menu.open);
    EXPECT_EQ(MENU_CHOOSE_COOLDOWN, menu.cooldown);
}

TEST_F(Menu, AHeldButtonOpensClosesAndOpensAgain)
{
    // On the title all along: opens at pass 0, closes 20 passes later with
    // no item (the title is in no band), opens again 21 passes after that.
    int opened[2] = {-1, -1}, closed = -1, opens = 0;
    for (int pass_number = 0; pass_number < 60 && opens < 2; pass_number++) {
        bool was_open = menu.open;
        EXPECT_EQ(MENU_NONE, pass(20, 20, true));
        if (!was_open && menu.open)
            opened[opens++] = pass_number;
        if (was_open && !menu.open)
            closed = pass_number;
    }
    EXPECT_EQ(0, opened[0]);
    EXPECT_EQ(20, closed);
    EXPECT_EQ(41, opened[1]);
}

}  // namespace
