// The TrueType layer on the game's fonts from Debian's packages, against
// FreeType itself, a per-pixel reference drawing, and damaged font bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/headless.h"
#include "support/outside_text.h"
#include "text/ttf.h"

namespace {

const char *const GAME_FONTS[] = {DENTIVALE_FONT_DIR "/liberation2/LiberationSans-Regular.ttf",
                                  DENTIVALE_FONT_DIR "/dejavu/DejaVuSansMono-Bold.ttf", DENTIVALE_FONT_DIR "/comfortaa/Comfortaa-Bold.ttf"};

template <class T> using Owned = std::unique_ptr<T, void (*)(T *)>;

class TextTest : public testing::Test {
protected:
    void SetUp() override
    {
        start_headless(16);
        for (int i = 0; i < 2; i++)
            ASSERT_EQ(0, ttf_init());  // the second call keeps the first library
        for (int f = 0; f < 3; f++) {
            fonts.emplace_back(ttf_load_font(GAME_FONTS[f]), ttf_destroy_font);
            ASSERT_TRUE(fonts[f] && ttf_get_font_height(fonts[f].get()) == 8) << GAME_FONTS[f];  // opened at line height 8
        }
    }
    std::vector<Owned<TTF_FONT>> fonts;
};

// Each line height gets the pixel size giving it exactly, else the largest
// giving less, by the test's own FreeType face; one no size gives is refused.
// At every height each glyph is cached as that face renders it, and a string
// measures as its advances say, with the spacing after those that advance.
TEST_F(TextTest, SizeSearchGlyphsAndWidthsAgainstFreeType)
{
    FT_Library lib;
    ASSERT_EQ(0, FT_Init_FreeType(&lib));
    const char *text = "aW 1\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBE\xCC\x81";  // U+FFFE draws glyph 0; U+0301 advances 0 in two fonts
    for (int f = 0; f < 3; f++) {
        FT_Face face;
        ASSERT_EQ(0, FT_New_Face(lib, GAME_FONTS[f], 0, &face));
        TTF_FONT *font = fonts[f].get();
        EXPECT_TRUE(ttf_is_scalable_font(font) == -1 && !ttf_is_fixed_font(font) && ttf_get_fixed_sizes(font)[0] == -1);
        auto line_at = [&](int size) {  // leaves the face at that size
            EXPECT_EQ(0, FT_Set_Pixel_Sizes(face, 0, size)) << size;
            return std::floor(face->size->metrics.ascender / 64.0) - std::floor(face->size->metrics.descender / 64.0);
        };
        for (int h = 6; h <= 64; h++) {
            SCOPED_TRACE(testing::Message() << "font " << f << " line height " << h);
            ASSERT_EQ(0, ttf_set_font_size(font, h));
            const int chosen = font->pixel_size;
            // Line heights grow with the size, so the next size up tells whether a larger one could fit.
            const double above = line_at(chosen + 1), line = line_at(chosen);
            EXPECT_TRUE(line == h || (line < h && above > h)) << "chose " << chosen;
            EXPECT_EQ(std::floor(face->size->metrics.ascender / 64.0), font->ascender);

            ttf_set_char_spacing(font, h % 5);
            int64_t width = 0;
            const char *p = text;
            for (int code; (code = ugetxc(&p)) != 0;) {
                const TTF_GLYPH &g = *ttf_glyph_for_code(font, code);
                for (int mono = 0; mono < 2; mono++) {  // the cached renderings are FreeType's own
                    ASSERT_EQ(0, FT_Load_Glyph(face, FT_Get_Char_Index(face, code), FT_LOAD_DEFAULT));
                    ASSERT_EQ(0, FT_Render_Glyph(face->glyph, mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL));
                    const FT_Bitmap &b = face->glyph->bitmap;
                    ASSERT_TRUE((mono ? g.mono_ok : g.aa_ok) && (mono ? g.width : g.aa_width) == int(b.width) &&
                                (mono ? g.height : g.aa_height) == int(b.rows) && (mono ? g.left : g.aa_left) == face->glyph->bitmap_left &&
                                (mono ? g.top : g.aa_top) == face->glyph->bitmap_top) << "code " << code << " " << mono;
                    for (unsigned i = 0; i < b.width * b.rows; i++) {
                        const uint8_t *row = b.buffer + int(i / b.width) * b.pitch;
                        ASSERT_EQ(mono ? (row[i % b.width / 8] << (i % b.width % 8) & 0x80) != 0 : row[i % b.width],
                                  mono ? g.mono_bits[i] != 0 : g.aa_bits[i]) << "code " << code << ", pixel " << i;
                    }
                }
                width += face->glyph->advance.x >= 64 ? face->glyph->advance.x / 64 + h % 5 : 0;
            }
            EXPECT_EQ(width, ttf_text_length(font, text));
        }
        EXPECT_TRUE(ttf_set_font_size(font, 1) == -1 && ttf_set_font_size(font, 100000) == -1 && ttf_get_font_height(font) == 64);
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
}

// Every drawing call as (bitmap, font, text, x, y, colour, background): _ex,
// default background, anti-aliased _ex, anti-aliased default, for textout
// then textprintf ("%s"), each left, centred and right-aligned.
#define CALL(call) [](BITMAP *b, TTF_FONT *f, const char *s, int x, int y, int c, [[maybe_unused]] int bg) { call; }
#define TEXTOUT(n) CALL(n##_ex(b, f, s, x, y, c, bg)), CALL(n(b, f, s, x, y, c)), \
                   CALL(n##_aa_ex(b, f, s, x, y, c, bg)), CALL(n##_aa(b, f, s, x, y, c))
#define PRINTF(n) CALL(n##_ex(b, f, x, y, c, bg, "%s", s)), CALL(n(b, f, x, y, c, "%s", s)), \
                  CALL(n##_aa_ex(b, f, x, y, c, bg, "%s", s)), CALL(n##_aa(b, f, x, y, c, "%s", s))
void (*const CALLS[])(BITMAP *, TTF_FONT *, const char *, int, int, int, int) = {
    TEXTOUT(ttf_textout), TEXTOUT(ttf_textout_centre), TEXTOUT(ttf_textout_right),
    PRINTF(ttf_textprintf), PRINTF(ttf_textprintf_centre), PRINTF(ttf_textprintf_right)};

// The drawing as a caller would write it from the glyph cache: the box, then
// a putpixel per covered pixel after its mode switch. Opaque coverage a lies
// between background b (a = 0) and colour c; falling channels end one above.
void reference_draw(int call, BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int c, int bg)
{
    const bool aa = call % 4 >= 2, transparent = aa && bg < 0;
    x -= (call / 4 % 3 == 1 ? ttf_text_length(font, text) / 2 : call / 4 % 3 == 2 ? ttf_text_length(font, text) : 0);
    if (y + font->height < bmp->ct || bmp->cb < y || bmp->cr < x)
        return;
    if (bg >= 0)
        rectfill(bmp, x, y, x + ttf_text_length(font, text) - 1, y + font->height - 1, bg);
    for (int code; (code = ugetxc(&text)) != 0 && x <= bmp->cr;) {
        const TTF_GLYPH &g = *ttf_glyph_for_code(font, code);
        const uint8_t *bits = aa ? (g.aa_ok ? g.aa_bits : nullptr) : (g.mono_ok ? g.mono_bits : nullptr);
        const int w = aa ? g.aa_width : g.width, h = aa ? g.aa_height : g.height;
        const int x0 = x + (aa ? g.aa_left : g.left), y0 = y - (aa ? g.aa_top : g.top) + font->ascender;
        for (int i = 0; bits && i < w * h; i++) {
            const int a = bits[i];
            if (a && transparent && a < 255)
                drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0), set_trans_blender(0, 0, 0, a);
            else if (a && transparent)
                solid_mode();
            auto blend = [&](int from, int to) { return (256 * from + a * (to == from ? 0 : to - from + 1)) / 256; };
            const int ramp = makecol(blend(getr(bg), getr(c)), blend(getg(bg), getg(c)), blend(getb(bg), getb(c)));
            if (a)
                putpixel(bmp, x0 + i % w, y0 + i / w, aa && !transparent ? ramp : c);
        }
        x += g.advance_x != 0 ? g.advance_x + font->char_spacing : 0;
    }
    if (transparent)
        solid_mode();
}

// Reference and layer on identical random pictures at every depth, clipped or
// not, with lines either side of the clip rectangle's edges.
TEST_F(TextTest, EveryCallMatchesThePerPixelReference)
{
    for (int f = 0; f < 3; f++)
        ASSERT_EQ(0, ttf_set_font_size(fonts[f].get(), 13 + 9 * f));  // lines of 13, 22 and 31 pixels
    const char *const alphabet[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9", " ", "W", "i", "j", ".", "g",
                                    "%", "-", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"};  // é € 😀
    const int depths[] = {15, 16, 24, 32};
    for (unsigned seed = 1; seed <= 800; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        auto pick = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
        set_color_depth(depths[rng() % 4]);
        solid_mode();  // for the noise: the last round may have left XOR on
        const int call = pick(0, 23);
        TTF_FONT *font = fonts[rng() % 3].get();
        ttf_set_char_spacing(font, pick(0, 1) * pick(0, 3));
        const int w = pick(8, 90), h = pick(8, 60), clipping = pick(0, 2);
        Owned<BITMAP> targets[2] = {{create_bitmap(w, h), destroy_bitmap}, {create_bitmap(w, h), destroy_bitmap}};
        for (int i = 0; i < w * h; i++)
            putpixel(targets[0].get(), i % w, i / w, makecol(pick(0, 255), pick(0, 255), pick(0, 255)));
        blit(targets[0].get(), targets[1].get(), 0, 0, 0, 0, w, h);
        const int l = pick(0, w - 1), t = pick(0, h - 1), r = pick(l, w - 1), b = pick(t, h - 1);
        const int top = clipping == 1 ? t : 0, bottom = clipping == 1 ? b + 1 : h, right = clipping == 1 ? r + 1 : w;
        std::string text;
        for (int n = pick(0, 8); n > 0; n--)
            text += alphabet[rng() % std::size(alphabet)];
        const int edges[] = {top - font->height - 1, top - font->height, bottom, bottom + 1};
        const int x = rng() % 4 ? pick(-40, w + 2) : right + pick(0, 1), y = rng() % 4 ? pick(-40, h + 2) : edges[rng() % 4];
        const int start_alpha = pick(0, 255), start_xor = pick(0, 1), c = makecol(pick(0, 255), pick(0, 255), pick(0, 255));
        const int bg = rng() % 3 ? makecol(pick(0, 255), pick(0, 255), 0) : -1, other_bg = makecol(0, 0, pick(0, 255));
        for (int i = 0; i < 2; i++) {
            BITMAP *target = targets[i].get();
            if (clipping == 1)
                set_clip_rect(target, l, t, r, b);
            if (clipping == 2 && i == 1)  // the layer must keep to the bitmap by itself
                set_clip_state(target, FALSE);
            set_trans_blender(0, 0, 0, start_alpha);
            xor_mode(start_xor);
            ttf_text_mode(call % 2 ? bg : other_bg);  // the default background, for the calls without one
            if (i == 0)
                reference_draw(call, target, font, text.c_str(), x, y, c, bg);
            else
                CALLS[call](target, font, text.c_str(), x, y, c, bg);
            putpixel(target, l, t, c);  // in whatever drawing mode the call left for what comes next
        }
        for (int row = 0; row < h; row++)
            ASSERT_EQ(0, std::memcmp(targets[0]->line[row], targets[1]->line[row], w * ((bitmap_color_depth(targets[0].get()) + 7) / 8)))
                << "call " << call << ", \"" << text << "\" at " << x << "," << y << ", row " << row;
    }
}

// Outside bytes through every call: each ill-formed run draws as the font's
// U+FFFD, or '?' in the two fonts without it, exactly as that text would and
// as wide; where nobody worked the text out, formatted and direct calls agree.
TEST_F(TextTest, OutsideBytesDrawAsTheReplacementCharacter)
{
    Owned<BITMAP> got(create_bitmap(260, 20), destroy_bitmap), want(create_bitmap(260, 20), destroy_bitmap);
    for (int f = 0; f < 3; f++) {
        TTF_FONT *font = fonts[f].get();
        ASSERT_EQ(0, ttf_set_font_size(font, 14));
        const int bg = f == 1 ? -1 : makecol(250, 240, 200);
        ttf_text_mode(bg);
        for (auto [bytes, shown] : outside_texts()) {
            for (size_t at; f != 1 && (at = shown.find(REPLACEMENT)) != std::string::npos;)
                shown.replace(at, 3, "?");  // DejaVu Sans Mono alone has U+FFFD
            EXPECT_TRUE(shown.empty() || ttf_text_length(font, shown.c_str()) == ttf_text_length(font, bytes.c_str()));
            for (int call = shown.empty() ? 12 : 0; call < 24; call++) {
                clear_to_color(got.get(), 7), clear_to_color(want.get(), 7);
                CALLS[call](got.get(), font, bytes.c_str(), 130, 2, 0, bg);
                if (shown.empty())
                    CALLS[call - 12](want.get(), font, bytes.c_str(), 130, 2, 0, bg);
                else
                    reference_draw(call, want.get(), font, shown.c_str(), 130, 2, 0, bg);
                for (int row = 0; row < 20; row++)
                    ASSERT_EQ(0, std::memcmp(got->line[row], want->line[row], 260 * 2)) << f << " " << call << " " << testing::PrintToString(bytes);
            }
        }
    }
}

std::string formatted(const char *format, ...)
{
    char out[512];
    va_list args;
    va_start(args, format);
    uvszprintf(out, sizeof out, format, args);
    va_end(args);
    return out;
}

// With the layer started, the library's own formatting, which the layer's
// calls use, ends on any bytes and makes well-formed text of them, never
// longer than the bytes it read: each ill-formed run one SUB, as is a %c
// code no text holds (the library's writer would loop on the first).
// Well-formed text comes through as ever: widths and precisions count
// characters, and the buffer is cut before the first character that does
// not fit.
TEST_F(TextTest, TheLibrarysFormattingMakesWellFormedTextOfAnyBytes)
{
    const auto substituted = [](std::string text) {
        for (size_t at; (at = text.find(REPLACEMENT)) != std::string::npos;)
            text.replace(at, 3, "\x1A");
        return text;
    };
    for (const auto &[bytes, reads] : outside_texts()) {
        if (reads.empty())
            continue;  // nobody worked these out
        EXPECT_EQ("<" + substituted(reads) + ">", formatted("<%s>", bytes.c_str())) << testing::PrintToString(bytes);
    }
    EXPECT_EQ("\x1A|\x1A|\x1A|A\x1A" "B%", formatted("%c|%c|%c|A\xFF" "B%%", 0x51451451, -5, 0xD800));
    for (const char *edge : {"\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xE1\x80\x80", "\xEC\xBF\xBF", "\xED\x80\x80",
                             "\xED\x9F\xBF", "\xEE\x80\x80", "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF1\x80\x80\x80",
                             "\xF3\xBF\xBF\xBF", "\xF4\x80\x80\x80", "\xF4\x8F\xBF\xBF"})  // each lead's first and last
        EXPECT_EQ(edge, formatted("%s", edge)) << testing::PrintToString(edge);
    EXPECT_EQ("   \xC3\xA9|\xE2\x82\xAC\xE2\x82\xAC|\xF0\x9F\x98\x80| 42",
              formatted("%4s|%.2s|%c|%3d", "\xC3\xA9", "\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", 0x1F600, 42));
    const std::string euros = [] { std::string s; for (int i = 0; i < 200; i++) s += "\xE2\x82\xAC"; return s; }();
    EXPECT_EQ(euros.substr(0, 510), formatted("%s", euros.c_str()));
}

// Copies of the game's fonts cut short, or with bytes overwritten in their
// directory and small tables or anywhere, fail to open or give a font that can
// be sized and drawn; the sanitizer build checks every access and leak.
TEST_F(TextTest, DamagedFontBytesOpenUsablyOrNotAtAll)
{
    Owned<BITMAP> bmp(create_bitmap(80, 30), destroy_bitmap);
    const char *text = "Dentivale 0123456789 \xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD";
    int opened = 0;
    for (unsigned seed = 1; seed <= 500; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        std::ifstream file(GAME_FONTS[seed % 3], std::ios::binary);
        std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(file), {}};
        const size_t span = rng() % 2 ? 4096 : bytes.size();
        if (seed % 4 == 0)
            bytes.resize(rng() % span);
        for (int n = seed % 4 ? 1 << rng() % 13 : 0; n > 0; n--)
            bytes[rng() % span] = static_cast<uint8_t>(rng());
        TTF_FONT *font = ttf_load_font_from_mem(bytes.data(), static_cast<int>(bytes.size()));
        opened += font != nullptr;  // and the calls below must take the null font too
        ttf_set_font_size(font, 20);
        ttf_textout_ex(bmp.get(), font, text, -3, 2, 255, 31);
        ttf_textout_aa_ex(bmp.get(), font, text, 1, 10, 255, -1);
        ttf_destroy_font(font);
    }
    EXPECT_TRUE(opened > 0 && opened < 500) << opened;
}

}  // namespace
