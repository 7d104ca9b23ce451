// The aligned and formatted family: each member must draw exactly what the
// basic call draws from the left edge and background the member implies.
#include "text_fixture.h"

#include <string>

namespace {

enum Align { LEFT, CENTRE, RIGHT };

using Member = void (*)(BITMAP *, TTF_FONT *, const char *, int, int, int, int);

struct MemberCase {
    const char *name;
    Member draw;      // the member, with the string and background of the case
    Align align;
    bool aa;
    bool explicit_bg;  // false: the member reads ttf_default_bg
};

// Formatted members print the case's string through "%s".
const MemberCase MEMBERS[] = {
    {"textout_centre_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textout_centre_ex(b, f, s, x, y, c, bg); }, CENTRE, false, true},
    {"textout_centre", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textout_centre(b, f, s, x, y, c); }, CENTRE, false, false},
    {"textout_centre_aa_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textout_centre_aa_ex(b, f, s, x, y, c, bg); }, CENTRE, true, true},
    {"textout_centre_aa", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textout_centre_aa(b, f, s, x, y, c); }, CENTRE, true, false},
    {"textout_right_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textout_right_ex(b, f, s, x, y, c, bg); }, RIGHT, false, true},
    {"textout_right", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textout_right(b, f, s, x, y, c); }, RIGHT, false, false},
    {"textout_right_aa_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textout_right_aa_ex(b, f, s, x, y, c, bg); }, RIGHT, true, true},
    {"textout_right_aa", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textout_right_aa(b, f, s, x, y, c); }, RIGHT, true, false},
    {"textprintf_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textprintf_ex(b, f, x, y, c, bg, "%s", s); }, LEFT, false, true},
    {"textprintf", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textprintf(b, f, x, y, c, "%s", s); }, LEFT, false, false},
    {"textprintf_aa_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textprintf_aa_ex(b, f, x, y, c, bg, "%s", s); }, LEFT, true, true},
    {"textprintf_aa", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textprintf_aa(b, f, x, y, c, "%s", s); }, LEFT, true, false},
    {"textprintf_centre_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textprintf_centre_ex(b, f, x, y, c, bg, "%s", s); }, CENTRE, false, true},
    {"textprintf_centre", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textprintf_centre(b, f, x, y, c, "%s", s); }, CENTRE, false, false},
    {"textprintf_centre_aa_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textprintf_centre_aa_ex(b, f, x, y, c, bg, "%s", s); }, CENTRE, true, true},
    {"textprintf_centre_aa", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textprintf_centre_aa(b, f, x, y, c, "%s", s); }, CENTRE, true, false},
    {"textprintf_right_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textprintf_right_ex(b, f, x, y, c, bg, "%s", s); }, RIGHT, false, true},
    {"textprintf_right", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textprintf_right(b, f, x, y, c, "%s", s); }, RIGHT, false, false},
    {"textprintf_right_aa_ex", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int bg) { ttf_textprintf_right_aa_ex(b, f, x, y, c, bg, "%s", s); }, RIGHT, true, true},
    {"textprintf_right_aa", [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, int) { ttf_textprintf_right_aa(b, f, x, y, c, "%s", s); }, RIGHT, true, false},
};

TEST_F(TextTest, EveryMemberDrawsFromItsAlignedLeftEdgeWithItsBackground)
{
    FontPtr font = open_sized(COMFORTAA_BOLD, 20);
    ASSERT_NE(nullptr, font);
    std::string odd;
    for (const char *candidate : {"Best time", "Best time:", "Best time for", "Easy:", "Hard:", "Medium:", "i", "ii"}) {
        if (ttf_text_length(font.get(), candidate) % 2 == 1) {
            odd = candidate;
            break;
        }
    }
    ASSERT_FALSE(odd.empty()) << "no candidate string has an odd width";

    const int x = 100, y = 6, colour = makecol(255, 255, 0);
    const int backgrounds[][2] = {{makecol(0, 0, 200), makecol(0, 120, 0)}, {-1, -1}};  // default, explicit
    for (const std::string &text : {odd, std::string()}) {
        const int w = ttf_text_length(font.get(), text.c_str());
        for (const auto &bg : backgrounds) {
            for (const MemberCase &m : MEMBERS) {
                SCOPED_TRACE(testing::Message() << m.name << " \"" << text << "\" width " << w << " bg " << bg[1]);
                const int left = m.align == LEFT ? x : m.align == CENTRE ? x - w / 2 : x - w;
                const int used_bg = m.explicit_bg ? bg[1] : bg[0];
                BitmapPtr expected = filled_bitmap(200, 40, makecol(90, 90, 90));
                BitmapPtr drawn = filled_bitmap(200, 40, makecol(90, 90, 90));
                (m.aa ? ttf_textout_aa_ex : ttf_textout_ex)(expected.get(), font.get(), text.c_str(), left, y, colour, used_bg);
                ttf_text_mode(bg[0]);
                m.draw(drawn.get(), font.get(), text.c_str(), x, y, colour, bg[1]);
                ttf_text_mode(0);
                EXPECT_TRUE(same_pixels(expected.get(), drawn.get()));
            }
        }
    }
}

// 31 pixels centred on 100 start at 85, right-aligned at 69.
TEST_F(TextTest, OddWidthsPutTheirExtraPixelRightOfTheCentre)
{
    FontPtr font = open_sized(LIBERATION_SANS, 16);
    ASSERT_NE(nullptr, font);
    TTF_GLYPH &glyph = glyph_of(font.get(), 'x');
    const int natural = glyph.advance_x;
    glyph.advance_x = 31;
    ASSERT_EQ(31, ttf_text_length(font.get(), "x"));
    const int bg = makecol(255, 0, 0);
    BitmapPtr bmp = filled_bitmap(200, 20, 0);
    ttf_textout_centre_ex(bmp.get(), font.get(), "x", 100, 0, makecol(255, 255, 255), bg);
    EXPECT_NE(bg, getpixel(bmp.get(), 84, 2));
    EXPECT_EQ(bg, getpixel(bmp.get(), 85, 2));
    EXPECT_EQ(bg, getpixel(bmp.get(), 115, 2));
    EXPECT_NE(bg, getpixel(bmp.get(), 116, 2));
    clear_to_color(bmp.get(), 0);
    ttf_textprintf_right_ex(bmp.get(), font.get(), 100, 0, makecol(255, 255, 255), bg, "%c", 'x');
    EXPECT_NE(bg, getpixel(bmp.get(), 68, 2));
    EXPECT_EQ(bg, getpixel(bmp.get(), 69, 2));
    EXPECT_EQ(bg, getpixel(bmp.get(), 99, 2));
    EXPECT_NE(bg, getpixel(bmp.get(), 100, 2));
    glyph.advance_x = natural;
}

TEST_F(TextTest, FormattedTextIsCutToTheBuffer)
{
    FontPtr font = open_sized(LIBERATION_SANS, 12);
    ASSERT_NE(nullptr, font);
    const std::string long_text(600, 'a');
    const int advance = glyph_of(font.get(), 'a').advance_x;
    ASSERT_GT(advance, 0);
    const int width = 520 * advance;
    const int colour = makecol(255, 255, 255), bg = makecol(0, 0, 255);
    BitmapPtr printed = filled_bitmap(width, 14, 0);
    ttf_textprintf_ex(printed.get(), font.get(), 0, 0, colour, bg, "%s", long_text.c_str());
    for (int kept : {511, 512}) {
        BitmapPtr direct = filled_bitmap(width, 14, 0);
        ttf_textout_ex(direct.get(), font.get(), long_text.substr(0, kept).c_str(), 0, 0, colour, bg);
        EXPECT_EQ(kept == 511, same_pixels(printed.get(), direct.get())) << kept << " bytes";
    }
}

}  // namespace
