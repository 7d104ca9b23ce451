#include "text_fixture.h"

#include <algorithm>
#include <fstream>
#include <iterator>

const char *const LIBERATION_SANS = TEXT_FONT_DIR "/liberation2/LiberationSans-Regular.ttf";
const char *const DEJAVU_MONO_BOLD = TEXT_FONT_DIR "/dejavu/DejaVuSansMono-Bold.ttf";
const char *const COMFORTAA_BOLD = TEXT_FONT_DIR "/comfortaa/Comfortaa-Bold.ttf";
const char *const GAME_FONTS[3] = {LIBERATION_SANS, DEJAVU_MONO_BOLD, COMFORTAA_BOLD};

std::vector<uint8_t> read_file(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool find_table(const std::vector<uint8_t> &file, const char *tag, size_t *offset, size_t *length)
{
    auto u16 = [&](size_t at) { return static_cast<size_t>(file[at] << 8 | file[at + 1]); };
    auto u32 = [&](size_t at) { return u16(at) << 16 | u16(at + 2); };
    for (size_t i = 0, count = u16(4); i < count; i++) {
        size_t record = 12 + 16 * i;
        if (std::equal(tag, tag + 4, file.begin() + record)) {
            *offset = u32(record + 8);
            *length = u32(record + 12);
            return *offset + *length <= file.size();
        }
    }
    return false;
}

bool set_line_metrics(std::vector<uint8_t> *file, int ascender, int descender)
{
    size_t hhea, os2, length;
    if (!find_table(*file, "hhea", &hhea, &length) || !find_table(*file, "OS/2", &os2, &length))
        return false;
    auto put16 = [&](size_t at, int v) {
        (*file)[at] = static_cast<uint8_t>(v >> 8);
        (*file)[at + 1] = static_cast<uint8_t>(v);
    };
    put16(hhea + 4, ascender);
    put16(hhea + 6, -descender);
    put16(os2 + 68, ascender);   // sTypoAscender
    put16(os2 + 70, -descender);
    put16(os2 + 74, ascender);   // usWinAscent
    put16(os2 + 76, descender);  // usWinDescent
    return true;
}

FontPtr open_sized(const char *path, int height)
{
    FontPtr font(ttf_load_font(path));
    EXPECT_NE(nullptr, font) << path;
    if (font) {
        EXPECT_EQ(0, ttf_set_font_size(font.get(), height)) << path;
    }
    return font;
}

BitmapPtr filled_bitmap(int w, int h, int colour)
{
    BitmapPtr bmp(create_bitmap(w, h));
    clear_to_color(bmp.get(), colour);
    return bmp;
}

bool same_pixels(BITMAP *a, BITMAP *b)
{
    if (a->w != b->w || a->h != b->h)
        return false;
    for (int y = 0; y < a->h; y++)
        for (int x = 0; x < a->w; x++)
            if (getpixel(a, x, y) != getpixel(b, x, y))
                return false;
    return true;
}

TTF_GLYPH &glyph_of(TTF_FONT *font, int code)
{
    FT_UInt index = FT_Get_Char_Index(font->face, code);
    ttf_cache_glyph(font, index);
    return font->glyphs[index];
}

int64_t reference_line_height(FT_Face face, int pixel_size)
{
    EXPECT_EQ(0, FT_Set_Pixel_Sizes(face, 0, pixel_size));
    const FT_Size_Metrics &m = face->size->metrics;
    int64_t ascender = m.ascender / 64 - (m.ascender % 64 < 0 ? 1 : 0);  // floor, spelt out
    int64_t descender = m.descender / 64 - (m.descender % 64 < 0 ? 1 : 0);
    return (ascender < 0 ? -ascender : ascender) + (descender < 0 ? -descender : descender);
}

void TextTest::SetUp()
{
    start_headless(16);
    ASSERT_EQ(0, ttf_init());
}

void TextTest::TearDown()
{
    ttf_text_mode(0);
    solid_mode();
}
