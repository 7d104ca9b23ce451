// The TrueType layer on the game's fonts from Debian's packages: sizing and
// the glyph cache against FreeType itself, every drawing call against a
// per-pixel reference, and damaged font bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/headless.h"
#include "text/ttf.h"

#include <allegro/internal/aintern.h>  // the drawing mode and blender the translucent path leaves

namespace {

const char *const GAME_FONTS[] = {DENTIVALE_FONT_DIR "/liberation2/LiberationSans-Regular.ttf",
                                  DENTIVALE_FONT_DIR "/dejavu/DejaVuSansMono-Bold.ttf",
                                  DENTIVALE_FONT_DIR "/comfortaa/Comfortaa-Bold.ttf"};

struct Destroy {
    void operator()(TTF_FONT *font) const { ttf_destroy_font(font); }
    void operator()(BITMAP *bmp) const { destroy_bitmap(bmp); }
};
using FontPtr = std::unique_ptr<TTF_FONT, Destroy>;
using BitmapPtr = std::unique_ptr<BITMAP, Destroy>;

std::vector<uint8_t> read_file(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
FontPtr open_sized(const char *path, int height)
{
    FontPtr font(ttf_load_font(path));
    EXPECT_TRUE(font && ttf_set_font_size(font.get(), height) == 0) << path;
    return font;
}
bool same_pixels(BITMAP *a, BITMAP *b)
{
    for (int y = 0; y < a->h; y++)
        if (std::memcmp(a->line[y], b->line[y], a->w * ((bitmap_color_depth(a) + 7) / 8)) != 0)
            return false;
    return true;
}
// The glyph a character draws with, looked up as a caller would.
TTF_GLYPH &glyph_of(TTF_FONT *font, int code)
{
    const FT_UInt index = FT_Get_Char_Index(font->face, code);
    ttf_cache_glyph(font, index);
    return font->glyphs[index];
}

class TextTest : public testing::Test {
protected:
    void SetUp() override
    {
        start_headless(16);
        for (int i = 0; i < 2; i++)
            ASSERT_EQ(0, ttf_init());  // the second call keeps the first library
    }
    void TearDown() override { ttf_text_mode(0), solid_mode(); }
};

// Line heights from a face of the test's own FreeType, over every pixel
// size. Liberation Sans given a short line (0.6 em, on both faces) makes
// the search run upward. At every height each glyph is cached as that face
// renders it, and a string measures as its advances say, with the spacing
// after those that advance: the combining accent U+0301 advances 0 in two
// of the fonts, U+FFFE draws glyph 0.
TEST_F(TextTest, SizeSearchGlyphsAndWidthsAgainstFreeType)
{
    FT_Library lib;
    ASSERT_EQ(0, FT_Init_FreeType(&lib));
    const char *text = "aW 1\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBE\xCC\x81";
    constexpr int MAX_PROBE = 120;
    int inexact[2] = {0, 0}, zero_advances = 0;  // heights without an exact size: downward, upward
    for (int f = 0; f < 4; f++) {
        FT_Face face;
        ASSERT_EQ(0, FT_New_Face(lib, GAME_FONTS[f % 3], 0, &face));
        FontPtr font(ttf_load_font(GAME_FONTS[f % 3]));
        ASSERT_TRUE(font && ttf_get_font_height(font.get()) == 8);  // opened at line height 8
        EXPECT_TRUE(ttf_is_scalable_font(font.get()) == -1 && !ttf_is_fixed_font(font.get()) &&
                    ttf_get_fixed_size_count(font.get()) == -1 && ttf_get_fixed_sizes(font.get())[0] == -1);
        if (f == 3) {  // of 2048 units
            face->ascender = font->face->ascender = 800;
            face->descender = font->face->descender = -430;
        }
        double line[MAX_PROBE + 1];
        for (int s = 1; s <= MAX_PROBE; s++) {
            ASSERT_EQ(0, FT_Set_Pixel_Sizes(face, 0, s));
            line[s] = std::fabs(std::floor(face->size->metrics.ascender / 64.0)) +
                      std::fabs(std::floor(face->size->metrics.descender / 64.0));
        }
        for (int h = 6; h <= 64; h++) {
            SCOPED_TRACE(testing::Message() << "font " << f << " line height " << h);
            ASSERT_EQ(0, ttf_set_font_size(font.get(), h));
            const int chosen = font->pixel_size;
            ASSERT_TRUE(chosen >= 1 && chosen < MAX_PROBE) << chosen;
            const bool exists = std::count(line + 1, line + MAX_PROBE + 1, h) > 0;
            int largest_below = 0;
            for (int s = 1; s <= MAX_PROBE; s++)
                largest_below = line[s] < h ? s : largest_below;
            inexact[line[h] < h] += !exists;
            EXPECT_TRUE(exists ? line[chosen] == h : chosen == largest_below) << "chose " << chosen;
            EXPECT_EQ(chosen, font->face->size->metrics.y_ppem);
            ASSERT_EQ(0, FT_Set_Pixel_Sizes(face, 0, chosen));
            EXPECT_EQ(std::floor(face->size->metrics.ascender / 64.0), font->ascender);

            ttf_set_char_spacing(font.get(), h % 5);
            int64_t width = 0;
            const char *p = text;
            for (int code; (code = ugetxc(&p)) != 0;) {
                const TTF_GLYPH &g = *ttf_glyph_for_code(font.get(), code);
                for (int mono = 0; mono < 2; mono++) {  // the cached renderings are FreeType's own
                    ASSERT_EQ(0, FT_Load_Glyph(face, FT_Get_Char_Index(face, code), FT_LOAD_DEFAULT));
                    ASSERT_EQ(0, FT_Render_Glyph(face->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL));
                    const FT_Bitmap &b = face->glyph->bitmap;
                    ASSERT_TRUE((mono ? g.mono_ok : g.aa_ok) && (mono ? g.width : g.aa_width) == int(b.width) &&
                                (mono ? g.height : g.aa_height) == int(b.rows) &&
                                (mono ? g.left : g.aa_left) == face->glyph->bitmap_left &&
                                (mono ? g.top : g.aa_top) == face->glyph->bitmap_top) << "code " << code << " " << mono;
                    for (unsigned i = 0; i < b.width * b.rows; i++) {
                        const uint8_t *row = b.buffer + int(i / b.width) * b.pitch;
                        ASSERT_EQ(mono ? (row[i % b.width / 8] << (i % b.width % 8) & 0x80) != 0 : row[i % b.width],
                                  mono ? g.mono_bits[i] != 0 : g.aa_bits[i]) << "code " << code << ", pixel " << i;
                    }
                }
                width += face->glyph->advance.x >= 64 ? face->glyph->advance.x / 64 + h % 5 : 0;
                zero_advances += face->glyph->advance.x < 64;
            }
            EXPECT_EQ(width, ttf_text_length(font.get(), text));
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
    EXPECT_GT(inexact[0], 0) << "no downward search without an exact size";
    EXPECT_GT(inexact[1], 0) << "no upward search without an exact size: the step back went untested";
    EXPECT_GT(zero_advances, 0);
}

// Every drawing call, as (bitmap, font, text, x, y, colour, background):
// in the order _ex, default background, anti-aliased _ex, anti-aliased
// default, for textout left, centre and right, then textprintf left,
// centre and right, which print the string through "%s".
#define CALL(call) [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, [[maybe_unused]] int bg) { call; }
#define TEXTOUT(n) CALL(n##_ex(b, f, s, x, y, c, bg)), CALL(n(b, f, s, x, y, c)), \
                   CALL(n##_aa_ex(b, f, s, x, y, c, bg)), CALL(n##_aa(b, f, s, x, y, c))
#define PRINTF(n) CALL(n##_ex(b, f, x, y, c, bg, "%s", s)), CALL(n(b, f, x, y, c, "%s", s)), \
                  CALL(n##_aa_ex(b, f, x, y, c, bg, "%s", s)), CALL(n##_aa(b, f, x, y, c, "%s", s))
void (*const CALLS[])(BITMAP *, TTF_FONT *, const char *, int, int, int, int) = {
    TEXTOUT(ttf_textout), TEXTOUT(ttf_textout_centre), TEXTOUT(ttf_textout_right),
    PRINTF(ttf_textprintf), PRINTF(ttf_textprintf_centre), PRINTF(ttf_textprintf_right)};
#undef CALL
#undef TEXTOUT
#undef PRINTF

// The drawing as a caller would write it from the glyph cache: the box,
// then one putpixel per covered pixel, every mode switch made before its
// pixel. Opaque coverage a lies between background b (a = 0) and text
// colour c; channels that fall end one above their target. Centring
// truncates half the width.
void reference_draw(int call, BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int c, int bg)
{
    const bool aa = call % 4 >= 2, transparent = aa && bg < 0;
    x -= (call / 4 % 3 == 1 ? ttf_text_length(font, text) / 2 : call / 4 % 3 == 2 ? ttf_text_length(font, text) : 0);
    if (y + font->height < bmp->ct || bmp->cb < y || bmp->cr < x)
        return;
    if (bg >= 0)
        rectfill(bmp, x, y, x + ttf_text_length(font, text) - 1, y + font->height - 1, bg);
    for (int code; (code = ugetxc(&text)) != 0 && x <= bmp->cr;) {
        const TTF_GLYPH &g = glyph_of(font, code);
        const uint8_t *bits = aa ? (g.aa_ok ? g.aa_bits : nullptr) : (g.mono_ok ? g.mono_bits : nullptr);
        const int w = aa ? g.aa_width : g.width, h = aa ? g.aa_height : g.height;
        const int x0 = x + (aa ? g.aa_left : g.left), y0 = y - (aa ? g.aa_top : g.top) + font->ascender;
        for (int i = 0; bits && i < w * h; i++) {
            const int a = bits[i];
            if (a && transparent && a < 255)
                drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0), set_trans_blender(0, 0, 0, a);
            else if (a && transparent)
                solid_mode();
            int v[3], from[3] = {getr(bg), getg(bg), getb(bg)}, to[3] = {getr(c), getg(c), getb(c)};
            for (int k = 0; k < 3; k++)
                v[k] = (256 * from[k] + a * (to[k] == from[k] ? 0 : to[k] - from[k] + 1)) / 256;
            if (a)
                putpixel(bmp, x0 + i % w, y0 + i / w, aa && !transparent ? makecol(v[0], v[1], v[2]) : c);
        }
        x += g.advance_x != 0 ? g.advance_x + font->char_spacing : 0;
    }
    if (transparent)
        solid_mode();
}

// Reference and layer on identical random pictures: every call, depths,
// sub-bitmaps, clip rectangles or none, lines on either side of the clip
// rectangle's edges, strings, spacing, backgrounds and starting modes.
TEST_F(TextTest, EveryCallMatchesThePerPixelReference)
{
    FontPtr fonts[3] = {open_sized(GAME_FONTS[0], 20), open_sized(GAME_FONTS[1], 13), open_sized(GAME_FONTS[2], 31)};
    const char alphabet[] = "0123456789 Wij.g%-";
    const int depths[] = {15, 16, 24, 32};
    for (unsigned seed = 1; seed <= 800; seed++) {
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
        set_color_depth(depths[rng() % 4]);
        solid_mode();  // for the noise: the last round may have left XOR on
        const int call = pick(0, 23);
        TTF_FONT *font = fonts[rng() % 3].get();
        ttf_set_char_spacing(font, pick(0, 1) * pick(0, 3));
        const int w = pick(8, 90), h = pick(8, 60), sx = pick(0, 10), sy = pick(0, 10), clipping = pick(0, 2);
        BitmapPtr parents[2] = {BitmapPtr(create_bitmap(w + 10, h + 10)), BitmapPtr(create_bitmap(w + 10, h + 10))};
        for (int i = 0; i < (w + 10) * (h + 10); i++)
            putpixel(parents[0].get(), i % (w + 10), i / (w + 10), makecol(pick(0, 255), pick(0, 255), pick(0, 255)));
        blit(parents[0].get(), parents[1].get(), 0, 0, 0, 0, w + 10, h + 10);
        const int l = pick(0, w - 1), t = pick(0, h - 1), r = pick(l, w - 1), b = pick(t, h - 1);
        const int top = clipping == 1 ? t : 0, bottom = clipping == 1 ? b + 1 : h, right = clipping == 1 ? r + 1 : w;
        std::string text(pick(0, 8), ' ');
        std::generate(text.begin(), text.end(), [&] { return alphabet[rng() % (sizeof alphabet - 1)]; });
        const int edges[] = {top - font->height - 1, top - font->height, bottom, bottom + 1};
        const int x = rng() % 4 ? pick(-40, w + 2) : right + pick(0, 1), y = rng() % 4 ? pick(-40, h + 2) : edges[rng() % 4];
        const int start_alpha = pick(0, 255), start_xor = pick(0, 1), c = makecol(pick(0, 255), pick(0, 255), pick(0, 255));
        const int bg = rng() % 3 ? makecol(pick(0, 255), pick(0, 255), 0) : -1, other_bg = makecol(0, 0, pick(0, 255));
        std::vector<intptr_t> after[2];
        for (int i = 0; i < 2; i++) {
            BitmapPtr target(create_sub_bitmap(parents[i].get(), sx, sy, w, h));
            if (clipping == 1)
                set_clip_rect(target.get(), l, t, r, b);
            if (clipping == 2 && i == 1)  // the layer must keep to the bitmap by itself
                set_clip_state(target.get(), FALSE);
            set_trans_blender(0, 0, 0, start_alpha);
            xor_mode(start_xor);
            ttf_text_mode(call % 2 ? bg : other_bg);  // the default background, for the calls without one
            if (i == 0)
                reference_draw(call, target.get(), font, text.c_str(), x, y, c, bg);
            else
                CALLS[call](target.get(), font, text.c_str(), x, y, c, call % 2 ? other_bg : bg);
            after[i] = {_drawing_mode, _blender_alpha, intptr_t(_blender_func15), intptr_t(_blender_func16),
                        intptr_t(_blender_func32)};
        }
        ASSERT_TRUE(same_pixels(parents[0].get(), parents[1].get()))
            << "seed " << seed << ", call " << call << ", \"" << text << "\" at " << x << "," << y;
        ASSERT_EQ(after[0], after[1]) << "seed " << seed << ": drawing mode, alpha, blenders";
    }
}

// Garbage (half of it behind the file's own header), truncated, bit-flipped
// and body-scrambled copies of the game's fonts either fail to open or
// give a font that can be sized, measured and drawn. The sanitizer build
// checks every access and that nothing leaks.
TEST_F(TextTest, DamagedFontBytesOpenUsablyOrNotAtAll)
{
    BitmapPtr bmp(create_bitmap(80, 30));
    const std::vector<uint8_t> files[] = {read_file(GAME_FONTS[0]), read_file(GAME_FONTS[1]), read_file(GAME_FONTS[2])};
    const char *text = "Dentivale 0123456789 \xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD";
    int refused = 0, opened = 0, broken_glyphs = 0;
    for (unsigned seed = 1; seed <= 600; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        const std::vector<uint8_t> &file = files[seed % 3];
        std::vector<uint8_t> bytes = file;
        const unsigned kind = seed / 3 % 4;
        if (kind == 0) {
            bytes.resize(13 + rng() % 4096);
            for (size_t i = rng() % 2 ? 12 : 0; i < bytes.size(); i++)
                bytes[i] = static_cast<uint8_t>(rng());
        } else if (kind == 1) {
            bytes.resize(rng() % (rng() % 2 ? 4096 : file.size()));
        }
        for (int n = kind == 2 ? 1 + rng() % 8 : 0; n > 0; n--)  // mostly in the directory and the small tables
            bytes[rng() % (rng() % 4 ? 4096 : file.size())] ^= static_cast<uint8_t>(1u << rng() % 8);
        for (int n = kind == 3 ? 4096 : 0; n > 0; n--)  // mostly the outlines: FreeType refuses some glyphs
            bytes[4096 + rng() % (file.size() - 4096)] = static_cast<uint8_t>(rng());
        TTF_FONT *font = ttf_load_font_from_mem(bytes.data(), static_cast<int>(bytes.size()));
        (font ? opened : refused)++;  // and the calls below must take the null font too
        ttf_set_font_size(font, 20);
        EXPECT_GE(ttf_text_length(font, text), 0);
        ttf_textout_ex(bmp.get(), font, text, -3, 2, 255, 31);
        ttf_textout_aa_ex(bmp.get(), font, text, 4, -5, 255, 31);
        ttf_textout_aa_ex(bmp.get(), font, text, 1, 10, 255, -1);
        for (FT_Long i = 0; font && i < font->face->num_glyphs; i += 7) {  // glyphs far into the file too
            ttf_cache_glyph(font, static_cast<int>(i));
            broken_glyphs += !font->glyphs[i].mono_ok && !font->glyphs[i].aa_ok && !font->glyphs[i].advance_x;
        }
        ttf_destroy_font(font);
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(opened, 0);
    EXPECT_GT(broken_glyphs, 0) << "no glyph failed to load: that path went untested";
}

}  // namespace
