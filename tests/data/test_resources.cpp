// load_resources and unload_resources over the built datafile and over
// copies of it that make_fixtures.cmake spoils with Allegro's dat, one flaw
// each: no_flag.dat lacks B_FLAG (the later objects move up one),
// small_cell.dat holds a 17 x 21 B_CELL, bad_font.dat an AF_WILLY that is
// a line of text.
#include <gtest/gtest.h>

#include <string>

#include "shell/resources.h"
#include "support/headless.h"
#include "ui/dialogs.h"

namespace {

constexpr int FONT = DAT_ID('A', 'L', 'F', 'O'), INFO = DAT_ID('i', 'n', 'f', 'o');

// The datafile's objects in their stored order.
const struct { const char *name; int type, w, h; } OBJECTS[] = {
    {"AF_ARIAL", FONT, 0, 0}, {"AF_WHITE", FONT, 0, 0}, {"AF_WILLY", FONT, 0, 0},
    {"B_BHO", DAT_BITMAP, 30, 29}, {"B_CELL", DAT_BITMAP, 20, 20}, {"B_CHOCO", DAT_BITMAP, 8, 26},
    {"B_FLAG", DAT_BITMAP, 20, 20}, {"B_HAPPY", DAT_BITMAP, 30, 29},
    {"B_HIGHSCORE", DAT_BITMAP, 201, 121}, {"B_INPUT", DAT_BITMAP, 180, 162},
    {"B_ONCAN", DAT_BITMAP, 91, 21}, {"B_ONOK", DAT_BITMAP, 43, 21}, {"B_SAD", DAT_BITMAP, 30, 29},
    {"B_SADT", DAT_BITMAP, 17, 21}, {"B_SLIDE", DAT_BITMAP, 180, 162}, {"GrabberInfo", INFO, 0, 0},
};
// The object behind each bitmap slot and each font slot's height; null and 0 for unused slots.
const char *const SLOT_OBJECTS[BITMAP_SLOTS] = {"B_CELL", "B_SADT", "B_FLAG", "B_HIGHSCORE",
    "B_ONOK", "B_ONCAN", "B_INPUT", "B_SLIDE", "B_CHOCO", "B_HAPPY", "B_BHO", "B_SAD"};
const int FONT_HEIGHTS[FONT_SLOTS] = {16, 24, 20, 18, 16, 12};

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless(16);  // the game's depth: bitmaps convert to it while loading
        ASSERT_EQ(0, ttf_init());
    }
    static void TearDownTestSuite() { ttf_exit(); }
    void SetUp() override { ASSERT_EQ(0, load_resources(datafile_path())) << resource_error; }
    void TearDown() override { unload_resources(); }

    static void expect_nothing_loaded(void)
    {
        EXPECT_EQ(nullptr, resources);
        for (BITMAP *b : bitmap_table)
            EXPECT_EQ(nullptr, b);
        for (TTF_FONT *f : font_table)
            EXPECT_EQ(nullptr, f);
    }
};

TEST_F(Resources, ObjectsSlotsAndFontsOfTheBuiltDatafile)
{
    const int count = sizeof OBJECTS / sizeof OBJECTS[0];
    for (int i = 0; i < count; i++) {
        SCOPED_TRACE(OBJECTS[i].name);
        ASSERT_EQ(OBJECTS[i].type, resources[i].type);
        EXPECT_STREQ(OBJECTS[i].name, get_datafile_property(&resources[i], DAT_NAME));
        if (resources[i].type != DAT_BITMAP)
            continue;
        BITMAP *b = static_cast<BITMAP *>(resources[i].dat);
        EXPECT_EQ(OBJECTS[i].w, b->w);
        EXPECT_EQ(OBJECTS[i].h, b->h);
        EXPECT_EQ(16, bitmap_color_depth(b));
    }
    EXPECT_EQ(DAT_END, resources[count].type);

    for (int slot = 0; slot < BITMAP_SLOTS; slot++) {
        const char *name = SLOT_OBJECTS[slot];
        EXPECT_EQ(name ? find_datafile_object(resources, name)->dat : nullptr, bitmap_table[slot]) << slot;
    }
    for (int slot = 0; slot < FONT_SLOTS; slot++) {
        TTF_FONT *f = font_table[slot];
        EXPECT_EQ(FONT_HEIGHTS[slot], f ? ttf_get_font_height(f) : 0) << "font slot " << slot;
    }
}

TEST_F(Resources, FontSlotsZeroAndFourAreDistinctAndOutliveTheDatafile)
{
    TTF_FONT *status = font_table[FONT_STATUS], *name = font_table[FONT_NAME];
    ASSERT_NE(status, name);
    int width = ttf_text_length(name, "Medium:");
    ASSERT_EQ(0, ttf_set_font_size(name, 30));
    EXPECT_EQ(16, ttf_get_font_height(status));
    EXPECT_GT(ttf_text_length(name, "Medium:"), width);

    font_table[FONT_STATUS] = nullptr;  // kept from unload_resources
    unload_resources();
    EXPECT_EQ(width, ttf_text_length(status, "Medium:"));  // its glyphs first needed now
    ttf_destroy_font(status);
}

TEST_F(Resources, UnloadEmptiesTheTablesAndCanBeRepeated)
{
    unload_resources();  // null font slots 6..9 included
    expect_nothing_loaded();
    unload_resources();
    expect_nothing_loaded();
}

TEST_F(Resources, FlawedDatafilesAreRefusedWithTheirReasonAndLeaveNothingLoaded)
{
    const std::string dir = FIXTURE_DIR;
    const struct { std::string path; const char *reason; } cases[] = {
        {dir + "/no_flag.dat", "B_FLAG is missing or out of order (found B_HAPPY in its place)"},
        {dir + "/small_cell.dat", "B_CELL is 17 x 21 pixels, not 20 x 20"},
        {dir + "/bad_font.dat", "the font AF_WILLY cannot be opened"},
        {dir + "/no_such.dat", "is missing or cannot be read"},
        {"#", "the art and fonts attached to the program are missing or damaged"},
    };
    unload_resources();  // load_resources expects nothing loaded
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(-1, load_resources(c.path.c_str()));
        EXPECT_NE(std::string::npos, std::string(resource_error).find(c.reason)) << resource_error;
        expect_nothing_loaded();
    }
    EXPECT_EQ(0, load_resources(datafile_path())) << resource_error;
    EXPECT_STREQ("", resource_error);
}

// Lighting a button changes only its two-pixel frame: inside it the lit
// sprites equal the buttons of the records dialog's art.
TEST_F(Resources, LitButtonsLieExactlyOverTheButtonsOfTheArt)
{
    const struct { BITMAP *lit; DialogRect at; } buttons[] = {
        {bitmap_table[BMP_ONOK], RECORDS_OK}, {bitmap_table[BMP_ONCAN], RECORDS_ERASE}};
    BITMAP *art = bitmap_table[BMP_HIGHSCORE];
    for (const auto &b : buttons) {
        int mismatches = 0;
        for (int y = 2; y < b.lit->h - 2; y++)
            for (int x = 2; x < b.lit->w - 2; x++)
                mismatches += getpixel(b.lit, x, y) != getpixel(art, b.at.left + x, b.at.top + y);
        EXPECT_EQ(0, mismatches) << "button at x " << b.at.left;
    }
}

}  // namespace
