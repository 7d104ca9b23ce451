// Drawing strings: the colour ramp, clip rejection, the pen stopping at the
// right bound, the library state the translucent path leaves, and every
// path against a slow per-pixel reference on random placements.
#include "text_fixture.h"

#include <allegro/internal/aintern.h>

#include <random>

#include "text/ttf.h"

namespace {

// The drawing as a caller would write it from the glyph cache, one
// putpixel per covered pixel, every mode switch made before its pixel.
enum class Style { PLAIN, OPAQUE_AA, TRANSPARENT_AA };

void reference_ramp(int c, int b, int ramp[256])
{
    int from[3] = {getr(b), getg(b), getb(b)}, to[3] = {getr(c), getg(c), getb(c)};
    for (int a = 0; a < 256; a++) {
        int v[3];
        for (int i = 0; i < 3; i++)
            v[i] = (256 * from[i] + a * (to[i] == from[i] ? 0 : to[i] - from[i] + 1)) / 256;
        ramp[a] = makecol(v[0], v[1], v[2]);
    }
}

void reference_draw(Style style, BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int c, int bg)
{
    if (y + font->height < bmp->ct || bmp->cb < y || bmp->cr < x)
        return;
    if (style == Style::TRANSPARENT_AA)
        bg = -1;
    if (bg >= 0)
        rectfill(bmp, x, y, x + ttf_text_length(font, text) - 1, y + font->height - 1, bg);
    int ramp[256];
    reference_ramp(c, bg, ramp);
    int code;
    while ((code = ugetxc(&text)) != 0) {
        if (bmp->cr < x)
            break;
        const TTF_GLYPH &g = glyph_of(font, code);
        bool mono = style == Style::PLAIN;
        const uint8_t *bits = mono ? g.mono_bits : g.aa_bits;
        int w = mono ? g.width : g.aa_width, h = mono ? g.height : g.aa_height;
        int x0 = x + (mono ? g.left : g.aa_left), y0 = y - (mono ? g.top : g.aa_top) + font->ascender;
        if ((mono ? g.mono_ok : g.aa_ok) && bits) {
            for (int r = 0; r < h; r++) {
                for (int k = 0; k < w; k++) {
                    int a = bits[r * w + k];
                    if (a == 0)
                        continue;
                    if (style == Style::TRANSPARENT_AA) {
                        if (a <= 254) {
                            drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
                            set_trans_blender(0, 0, 0, a);
                        } else {
                            solid_mode();
                        }
                    }
                    putpixel(bmp, x0 + k, y0 + r, style == Style::OPAQUE_AA ? ramp[a] : c);
                }
            }
        }
        if (g.advance_x != 0)
            x += g.advance_x + font->char_spacing;
    }
    if (style == Style::TRANSPARENT_AA)
        solid_mode();
}

void layer_draw(Style style, BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int c, int bg)
{
    if (style == Style::PLAIN)
        ttf_textout_ex(bmp, font, text, x, y, c, bg);
    else
        ttf_textout_aa_ex(bmp, font, text, x, y, c, style == Style::TRANSPARENT_AA ? -1 : bg);
}

// Library state the drawing may touch, to compare reference and layer.
struct LibraryState {
    int mode, alpha;
    BLENDER_FUNC b15, b16, b32;
    bool operator==(const LibraryState &o) const
    {
        return mode == o.mode && alpha == o.alpha && b15 == o.b15 && b16 == o.b16 && b32 == o.b32;
    }
};

LibraryState library_state()
{
    return {_drawing_mode, _blender_alpha, _blender_func15, _blender_func16, _blender_func32};
}

// A glyph entry whose anti-aliased map holds every coverage 0..255, row by
// row, put in place of the glyph of `code`; its top-left pixel is drawn at
// the pen position.
void inject_coverage_glyph(TTF_FONT *font, int code)
{
    TTF_GLYPH &entry = glyph_of(font, code);
    std::free(entry.mono_bits);
    std::free(entry.aa_bits);
    entry = TTF_GLYPH{};
    entry.cached = 1;
    entry.aa_ok = 1;
    entry.aa_width = entry.aa_height = 16;
    entry.aa_top = font->ascender;
    entry.advance_x = 16;
    entry.aa_bits = static_cast<uint8_t *>(std::malloc(256));
    for (int i = 0; i < 256; i++)
        entry.aa_bits[i] = static_cast<uint8_t>(i);
}

TEST_F(TextTest, RampRunsFromBackgroundToTextColour)
{
    set_color_depth(32);  // no channel bits lost, so neighbouring values differ
    FontPtr font = open_sized(LIBERATION_SANS, 20);
    ASSERT_NE(nullptr, font);
    inject_coverage_glyph(font.get(), 'X');
    auto coverage_colour = [&](int text, int bg, int a) {
        BitmapPtr bmp = filled_bitmap(20, 20, makecol(9, 99, 199));
        ttf_textout_aa_ex(bmp.get(), font.get(), "X", 2, 1, text, bg);
        return getpixel(bmp.get(), 2 + a % 16, 1 + a / 16);
    };

    const int white = makecol(255, 255, 255), black = makecol(0, 0, 0);
    for (int a = 0; a < 256; a++)
        ASSERT_EQ(makecol(a, a, a), coverage_colour(white, black, a)) << a;

    // Falling channels end one above the text colour.
    EXPECT_EQ(makecol(255, 255, 255), coverage_colour(black, white, 0));
    EXPECT_EQ(makecol(128, 128, 128), coverage_colour(black, white, 128));
    EXPECT_EQ(makecol(1, 1, 1), coverage_colour(black, white, 255));
    int previous = 256;
    for (int a = 0; a < 256; a++) {
        int v = getr(coverage_colour(black, white, a));
        ASSERT_LE(v, previous) << a;
        previous = v;
    }

    // Red equal in both stays; green rises to exactly 200; blue falls to 31.
    const int text = makecol(10, 200, 30), bg = makecol(10, 50, 90);
    for (int a = 0; a < 256; a++)
        ASSERT_EQ(10, getr(coverage_colour(text, bg, a))) << a;
    EXPECT_EQ(makecol(10, 50, 90), coverage_colour(text, bg, 0));
    EXPECT_EQ(makecol(10, 200, 31), coverage_colour(text, bg, 255));
}

// Clip rectangle 10..79 x 20..39: ct 20, cb 40, cr 80. A rejected call
// caches nothing and fills nothing; one that proceeds caches its glyphs.
TEST_F(TextTest, LinesOutsideTheClipRectangleAreRejectedWhole)
{
    FontPtr font = open_sized(DEJAVU_MONO_BOLD, 20);
    ASSERT_NE(nullptr, font);
    BitmapPtr bmp = filled_bitmap(100, 60, 0);
    set_clip_rect(bmp.get(), 10, 20, 79, 39);
    const struct {
        int x, y;
        bool drawn;
    } cases[] = {
        {30, 40, true}, {30, 41, false},  // top at cb, past cb
        {30, 0, true},  {30, -1, false},  // line ends at ct, above ct
        {80, 25, true}, {81, 25, false},  // start at cr, past cr
        {-500, 25, true},
    };
    const Style styles[] = {Style::PLAIN, Style::OPAQUE_AA, Style::TRANSPARENT_AA};
    for (Style style : styles) {
        for (const auto &c : cases) {
            SCOPED_TRACE(testing::Message() << "style " << static_cast<int>(style) << " at " << c.x << "," << c.y);
            ttf_flush_glyphs(font.get());
            xor_mode(TRUE);
            layer_draw(style, bmp.get(), font.get(), "W", c.x, c.y, makecol(255, 255, 255), makecol(0, 0, 255));
            EXPECT_EQ(c.drawn, font->glyphs[FT_Get_Char_Index(font->face, 'W')].cached != 0);
            // Only a translucent call that proceeds resets the drawing mode.
            bool solid = style == Style::TRANSPARENT_AA && c.drawn;
            EXPECT_EQ(solid ? DRAW_MODE_SOLID : DRAW_MODE_XOR, _drawing_mode);
            solid_mode();
        }
    }
}

TEST_F(TextTest, PenStopsAtTheFirstCharacterPastTheRightBound)
{
    FontPtr font = open_sized(LIBERATION_SANS, 20);
    ASSERT_NE(nullptr, font);
    BitmapPtr bmp = filled_bitmap(100, 30, 0);
    const int cr = bmp->cr;
    const int advance = glyph_of(font.get(), 'i').advance_x;
    const int w_index = FT_Get_Char_Index(font->face, 'W');
    for (int past : {0, 1}) {
        ttf_flush_glyphs(font.get());
        ttf_textout_aa_ex(bmp.get(), font.get(), "iW", cr - advance + past, 5, makecol(255, 255, 255), -1);
        EXPECT_EQ(past == 0, font->glyphs[w_index].cached != 0) << "pen " << past << " past cr";
    }
}

TEST_F(TextTest, EmptyStringStillFillsItsBox)
{
    FontPtr font = open_sized(LIBERATION_SANS, 12);
    ASSERT_NE(nullptr, font);
    BitmapPtr bmp = filled_bitmap(40, 30, 0);
    const int bg = makecol(0, 255, 0);
    ttf_textout_ex(bmp.get(), font.get(), "", 20, 5, makecol(255, 255, 255), bg);
    // The box from (20, 5) to (19, 16) is filled as the library fills any
    // rectangle given right to left: columns 19 and 20.
    for (int y = 0; y < 30; y++)
        for (int x = 0; x < 40; x++)
            ASSERT_EQ((x == 19 || x == 20) && y >= 5 && y <= 16 ? bg : 0, getpixel(bmp.get(), x, y)) << x << "," << y;
}

TEST_F(TextTest, TranslucentTextKeepsTheBlenderWhenNothingIsPartlyCovered)
{
    FontPtr font = open_sized(COMFORTAA_BOLD, 20);
    ASSERT_NE(nullptr, font);
    BitmapPtr bmp = filled_bitmap(60, 30, 0);
    set_trans_blender(0, 0, 0, 77);
    drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    ttf_textout_aa_ex(bmp.get(), font.get(), "  ", 5, 5, makecol(255, 255, 255), -1);
    EXPECT_EQ(DRAW_MODE_SOLID, _drawing_mode);
    EXPECT_EQ(77, _blender_alpha);
}

// Reference and layer on identical random pictures: random depths, sizes,
// clip rectangles, sub-bitmaps, strings, positions and starting modes.
TEST_F(TextTest, EveryPathMatchesThePerPixelReference)
{
    const int heights[] = {20, 13, 31};
    FontPtr fonts[3];
    for (int i = 0; i < 3; i++) {
        fonts[i] = open_sized(GAME_FONTS[i], heights[i]);
        ASSERT_NE(nullptr, fonts[i]);
    }
    const char alphabet[] = "0123456789 Wij.g%-";
    const int depths[] = {15, 16, 24, 32};
    for (unsigned seed = 1; seed <= 400; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
        set_color_depth(depths[rng() % 4]);
        solid_mode();  // the previous round may have left XOR on
        Style style = static_cast<Style>(rng() % 3);
        TTF_FONT *font = fonts[rng() % 3].get();
        ttf_set_char_spacing(font, pick(0, 1) * pick(0, 3));
        int w = pick(8, 90), h = pick(8, 60);
        BitmapPtr parents[2] = {BitmapPtr(create_bitmap(w + 10, h + 10)), BitmapPtr(create_bitmap(w + 10, h + 10))};
        for (int y = 0; y < h + 10; y++) {
            for (int x = 0; x < w + 10; x++) {
                int noise = makecol(pick(0, 255), pick(0, 255), pick(0, 255));
                putpixel(parents[0].get(), x, y, noise);
                putpixel(parents[1].get(), x, y, noise);
            }
        }
        bool sub = rng() % 2;
        int sx = pick(0, 10), sy = pick(0, 10);
        bool clipped = rng() % 2;
        int l = pick(0, w - 1), t = pick(0, h - 1), r = pick(l, w - 1), b = pick(t, h - 1);
        BitmapPtr targets[2];
        for (int i = 0; i < 2; i++) {
            targets[i] = sub ? BitmapPtr(create_sub_bitmap(parents[i].get(), sx, sy, w, h))
                             : BitmapPtr(create_bitmap(w, h));
            if (!sub)
                blit(parents[i].get(), targets[i].get(), sx, sy, 0, 0, w, h);
            if (clipped)
                set_clip_rect(targets[i].get(), l, t, r, b);
        }
        std::string text;
        for (int n = pick(0, 8); n > 0; n--)
            text += alphabet[rng() % (sizeof alphabet - 1)];
        int x = pick(-40, w + 2), y = pick(-40, h + 2);
        int c = makecol(pick(0, 255), pick(0, 255), pick(0, 255)), bg = makecol(pick(0, 255), pick(0, 255), 0);
        int start_alpha = pick(0, 255);
        bool start_xor = rng() % 2;

        LibraryState after[2];
        for (int i = 0; i < 2; i++) {
            set_trans_blender(0, 0, 0, start_alpha);
            xor_mode(start_xor);
            (i == 0 ? reference_draw : layer_draw)(style, targets[i].get(), font, text.c_str(), x, y, c, bg);
            after[i] = library_state();
        }
        ASSERT_TRUE(same_pixels(parents[0].get(), parents[1].get()))
            << "style " << static_cast<int>(style) << " text \"" << text << "\" at " << x << "," << y;
        ASSERT_TRUE(same_pixels(targets[0].get(), targets[1].get()));
        ASSERT_TRUE(after[0] == after[1]) << "modes " << after[0].mode << "/" << after[1].mode << " alphas "
                                          << after[0].alpha << "/" << after[1].alpha;
    }
}

// With clipping off the library writes wherever it is told; the layer
// still keeps to the bitmap.
TEST_F(TextTest, UnclippedBitmapsAreNotWrittenOutside)
{
    FontPtr font = open_sized(LIBERATION_SANS, 40);
    ASSERT_NE(nullptr, font);
    BitmapPtr clipped = filled_bitmap(30, 20, 0), unclipped = filled_bitmap(30, 20, 0);
    set_clip_state(unclipped.get(), FALSE);
    for (Style style : {Style::PLAIN, Style::OPAQUE_AA, Style::TRANSPARENT_AA}) {
        for (int x : {-25, 10}) {
            layer_draw(style, clipped.get(), font.get(), "Wg@", x, -12, makecol(255, 255, 255), makecol(1, 2, 3));
            layer_draw(style, unclipped.get(), font.get(), "Wg@", x, -12, makecol(255, 255, 255), makecol(1, 2, 3));
        }
    }
    EXPECT_TRUE(same_pixels(clipped.get(), unclipped.get()));
}

}  // namespace
