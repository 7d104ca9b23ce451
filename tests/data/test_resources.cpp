// load_resources and unload_resources over the packed datafile and over
// copies of it with one flaw each.
#include <gtest/gtest.h>

#include <string>

#include "shell/resources.h"
#include "support/headless.h"

namespace {

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless(16);  // the game's depth: bitmaps convert to it while loading
        ASSERT_EQ(0, ttf_init());
    }
    static void TearDownTestSuite() { ttf_exit(); }
    void TearDown() override { unload_resources(); }

    static void expect_tables_empty(void)
    {
        EXPECT_EQ(nullptr, resources);
        for (BITMAP *b : bitmap_table)
            EXPECT_EQ(nullptr, b);
        for (TTF_FONT *f : font_table)
            EXPECT_EQ(nullptr, f);
    }
};

TEST_F(Resources, FillsEveryUsedSlotAndLeavesTheRestNull)
{
    ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
    // Slot by slot, the sizes of the objects the slots are taken from.
    const int sizes[12][2] = {
        {20, 20}, {17, 21}, {20, 20}, {201, 121}, {43, 21}, {91, 21},
        {180, 162}, {180, 162}, {8, 26}, {30, 29}, {30, 29}, {30, 29},
    };
    for (int slot = 0; slot < BITMAP_SLOTS; slot++) {
        SCOPED_TRACE(slot);
        if (slot >= 12) {
            EXPECT_EQ(nullptr, bitmap_table[slot]);
            continue;
        }
        ASSERT_NE(nullptr, bitmap_table[slot]);
        EXPECT_EQ(sizes[slot][0], bitmap_table[slot]->w);
        EXPECT_EQ(sizes[slot][1], bitmap_table[slot]->h);
        EXPECT_EQ(16, bitmap_color_depth(bitmap_table[slot]));
    }
    // The three faces are three different pictures, in the order win, play, loss.
    EXPECT_EQ(resources[DAT_B_HAPPY].dat, bitmap_table[BMP_HAPPY]);
    EXPECT_EQ(resources[DAT_B_BHO].dat, bitmap_table[BMP_BHO]);
    EXPECT_EQ(resources[DAT_B_SAD].dat, bitmap_table[BMP_SAD]);

    const int heights[] = {16, 24, 20, 18, 16, 12};
    for (int slot = 0; slot < FONT_SLOTS; slot++) {
        SCOPED_TRACE(slot);
        if (slot >= 6) {
            EXPECT_EQ(nullptr, font_table[slot]);
            continue;
        }
        ASSERT_NE(nullptr, font_table[slot]);
        EXPECT_EQ(heights[slot], ttf_get_font_height(font_table[slot]));
        EXPECT_GT(ttf_text_length(font_table[slot], "Game..."), 0);
    }
    // Slots 1 and 2 are the same file at two sizes, so their widths differ.
    EXPECT_GT(ttf_text_length(font_table[FONT_TITLE], "Intermediate"),
              ttf_text_length(font_table[FONT_MENU], "Intermediate"));
}

TEST_F(Resources, FontSlotsZeroAndFourAreIndependentObjects)
{
    ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
    TTF_FONT *status = font_table[FONT_STATUS], *name = font_table[FONT_NAME];
    ASSERT_NE(status, name);
    EXPECT_NE(status->data, name->data) << "each keeps its own copy of the font file";
    int width = ttf_text_length(status, "00:00:00");
    EXPECT_EQ(width, ttf_text_length(name, "00:00:00"));

    ASSERT_EQ(0, ttf_set_font_size(name, 30));
    EXPECT_EQ(16, ttf_get_font_height(status));
    EXPECT_EQ(width, ttf_text_length(status, "00:00:00"));

    ttf_destroy_font(name);
    font_table[FONT_NAME] = nullptr;
    EXPECT_EQ(width, ttf_text_length(status, "00:00:00"));
}

TEST_F(Resources, UnloadEmptiesTheTablesAndCanBeRepeated)
{
    for (int round = 0; round < 2; round++) {
        ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
        unload_resources();  // null font slots 6..9 included
        expect_tables_empty();
    }
    unload_resources();  // nothing loaded: harmless
    expect_tables_empty();
}

TEST_F(Resources, FontsOutliveTheDatafile)
{
    ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
    TTF_FONT *kept = font_table[FONT_RECORDS];
    font_table[FONT_RECORDS] = nullptr;  // keep it from unload_resources
    int width = ttf_text_length(kept, "Medium:");
    unload_resources();
    BITMAP *target = create_bitmap(80, 20);
    clear_to_color(target, 0);
    ttf_textout_aa_ex(target, kept, "Medium:", 0, 0, makecol(255, 255, 255), -1);
    int ink = 0;
    for (int y = 0; y < target->h; y++)
        for (int x = 0; x < target->w; x++)
            ink += getpixel(target, x, y) != 0;
    EXPECT_GT(ink, 0);
    EXPECT_EQ(width, ttf_text_length(kept, "Medium:"));
    destroy_bitmap(target);
    ttf_destroy_font(kept);
}

TEST_F(Resources, FlawedDatafilesAreRefusedWithTheirReason)
{
    struct Case {
        std::string path;
        const char *reason;
    };
    const std::string dir = FIXTURE_DIR;
    const Case cases[] = {
        {dir + "/no_flag.dat", "B_FLAG is missing or out of order (found B_HAPPY in its place)"},
        {dir + "/small_cell.dat", "B_CELL is 17 x 21 pixels, not 20 x 20"},
        {dir + "/bad_font.dat", "the font AF_WILLY cannot be opened"},
        {dir + "/no_such.dat", "is missing or cannot be read"},
        {"#", "the art and fonts attached to the program are missing or damaged"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(-1, load_resources(c.path.c_str()));
        EXPECT_NE(std::string::npos, std::string(resource_error).find(c.reason)) << resource_error;
        expect_tables_empty();
    }
    // A refusal leaves nothing behind that spoils the next load.
    EXPECT_EQ(0, load_resources(datafile_path())) << resource_error;
    EXPECT_STREQ("", resource_error);
}

}  // namespace
