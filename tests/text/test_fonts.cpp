// Font objects: the layer's start and stop, opening, the line-height search,
// the cache's life across sizes, spacing and the face queries.
#include "text_fixture.h"

#include <cstdlib>
#include <cstring>
#include <random>

#include "text/ttf.h"

namespace {

TEST_F(TextTest, LayerStartsOnceAndOneStopEndsIt)
{
    EXPECT_EQ(0, ttf_init());
    EXPECT_EQ(0, ttf_init());
    ttf_exit();  // one stop is enough: the second start made no second instance
    EXPECT_EQ(nullptr, ttf_load_font(LIBERATION_SANS));
    std::vector<uint8_t> bytes = read_file(LIBERATION_SANS);
    EXPECT_EQ(nullptr, ttf_load_font_from_mem(bytes.data(), static_cast<int>(bytes.size())));
    ttf_exit();
    ASSERT_EQ(0, ttf_init());
    FontPtr font(ttf_load_font(LIBERATION_SANS));
    EXPECT_NE(nullptr, font);
}

TEST_F(TextTest, TextModeReturnsThePreviousBackgroundStartingAtZero)
{
    EXPECT_EQ(0, ttf_text_mode(-1));
    EXPECT_EQ(-1, ttf_text_mode(1234));
    EXPECT_EQ(1234, ttf_default_bg);
    EXPECT_EQ(1234, ttf_text_mode(0));
}

TEST_F(TextTest, FreshFontsAreScalableAtLineHeightEight)
{
    for (const char *path : GAME_FONTS) {
        SCOPED_TRACE(path);
        FontPtr font(ttf_load_font(path));
        ASSERT_NE(nullptr, font);
        EXPECT_EQ(8, ttf_get_font_height(font.get()));
        EXPECT_EQ(8, ttf_text_height(font.get()));
        EXPECT_EQ(0, ttf_get_char_spacing(font.get()));
        EXPECT_EQ(-1, ttf_is_scalable_font(font.get()));
        EXPECT_EQ(0, ttf_is_fixed_font(font.get()));
        EXPECT_EQ(-1, ttf_get_fixed_size_count(font.get()));
        EXPECT_EQ(-1, ttf_get_fixed_sizes(font.get())[0]);
        EXPECT_EQ(nullptr, font->data);
        EXPECT_EQ(0, font->data_size);
    }
    EXPECT_EQ(nullptr, ttf_load_font("/nonexistent/font.ttf"));
}

// Brute force: every pixel size from 1 up, measured on a face of the test's
// own FreeType instance. The game's fonts have line heights above their
// pixel sizes, so the search runs downward; a copy of Liberation Sans with a
// short line (0.6 em) makes it run upward.
TEST_F(TextTest, LineHeightSearchFindsTheExactOrLargestSmallerSize)
{
    FT_Library lib;
    ASSERT_EQ(0, FT_Init_FreeType(&lib));
    std::vector<std::vector<uint8_t>> files;
    for (const char *path : GAME_FONTS)
        files.push_back(read_file(path));
    files.push_back(files[0]);
    ASSERT_TRUE(set_line_metrics(&files.back(), 800, 430));  // of 2048 units

    constexpr int MAX_PROBE = 120;
    int inexact[2] = {0, 0};  // downward, upward
    for (const std::vector<uint8_t> &file : files) {
        FT_Face face;
        ASSERT_EQ(0, FT_New_Memory_Face(lib, file.data(), static_cast<FT_Long>(file.size()), 0, &face));
        int64_t line[MAX_PROBE + 1];
        FT_Pos ascender[MAX_PROBE + 1];
        for (int s = 1; s <= MAX_PROBE; s++) {
            line[s] = reference_line_height(face, s);
            ascender[s] = face->size->metrics.ascender;
        }
        FontPtr font(ttf_load_font_from_mem(file.data(), static_cast<int>(file.size())));
        ASSERT_NE(nullptr, font);
        for (int h = 6; h <= 64; h++) {
            SCOPED_TRACE(testing::Message() << "font " << &file - files.data() << " line height " << h);
            ASSERT_EQ(0, ttf_set_font_size(font.get(), h));
            int chosen = font->pixel_size;
            ASSERT_GE(chosen, 1);
            ASSERT_LT(chosen, MAX_PROBE);
            bool exists = false;
            int largest_below = 0;
            for (int s = 1; s <= MAX_PROBE; s++) {
                exists |= line[s] == h;
                if (line[s] < h)
                    largest_below = s;
            }
            if (exists) {
                EXPECT_EQ(h, line[chosen]);
            } else {
                inexact[line[h] < h]++;
                EXPECT_EQ(largest_below, chosen);
            }
            EXPECT_EQ(h, ttf_get_font_height(font.get()));
            EXPECT_EQ(ascender[chosen] >> 6, font->ascender);
            EXPECT_EQ(static_cast<FT_UShort>(chosen), font->face->size->metrics.y_ppem);
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
    EXPECT_GT(inexact[0], 0) << "no downward search without an exact size";
    EXPECT_GT(inexact[1], 0) << "no upward search without an exact size: the step back went untested";
}

TEST_F(TextTest, RefusedOrUnchangedHeightsKeepSizeAndCache)
{
    FontPtr font = open_sized(COMFORTAA_BOLD, 20);
    ASSERT_NE(nullptr, font);
    TTF_GLYPH &glyph = glyph_of(font.get(), 'H');
    uint8_t *bits = glyph.aa_bits;
    ASSERT_NE(nullptr, bits);
    const int pixel_size = font->pixel_size, ascender = font->ascender;

    for (int height : {20, 0, -1, -20, 70000}) {
        SCOPED_TRACE(height);
        EXPECT_EQ(height == 20 ? 0 : -1, ttf_set_font_size(font.get(), height));
        EXPECT_EQ(20, font->height);
        EXPECT_EQ(pixel_size, font->pixel_size);
        EXPECT_EQ(ascender, font->ascender);
        EXPECT_EQ(pixel_size, font->face->size->metrics.y_ppem);  // the face was put back
        EXPECT_TRUE(glyph.cached);
        EXPECT_EQ(bits, glyph.aa_bits);
    }
}

TEST_F(TextTest, ResizeFlushesEveryGlyphAndTheNextDrawRendersAnew)
{
    FontPtr font = open_sized(LIBERATION_SANS, 16);
    ASSERT_NE(nullptr, font);
    BitmapPtr bmp = filled_bitmap(400, 60, 0);
    const char *text = "The quick brown fox, 0123456789";
    ttf_textout_aa_ex(bmp.get(), font.get(), text, 0, 0, makecol(255, 255, 255), -1);
    int small_rows = glyph_of(font.get(), 'T').aa_height;

    ASSERT_EQ(0, ttf_set_font_size(font.get(), 40));
    for (FT_Long i = 0; i < font->face->num_glyphs; i++) {
        const TTF_GLYPH &entry = font->glyphs[i];
        ASSERT_FALSE(entry.cached) << "glyph " << i;
        ASSERT_EQ(nullptr, entry.mono_bits) << "glyph " << i;
        ASSERT_EQ(nullptr, entry.aa_bits) << "glyph " << i;
    }
    ttf_textout_aa_ex(bmp.get(), font.get(), text, 0, 0, makecol(255, 255, 255), -1);
    EXPECT_TRUE(font->glyphs[FT_Get_Char_Index(font->face, 'T')].cached);
    EXPECT_GT(glyph_of(font.get(), 'T').aa_height, small_rows * 2);
}

TEST_F(TextTest, MemoryFontsDrawFromTheirOwnCopy)
{
    std::vector<uint8_t> file = read_file(DEJAVU_MONO_BOLD);
    uint8_t *block = static_cast<uint8_t *>(std::malloc(file.size()));
    ASSERT_NE(nullptr, block);
    std::memcpy(block, file.data(), file.size());
    FontPtr font(ttf_load_font_from_mem(block, static_cast<int>(file.size())));
    std::memset(block, 0xA5, file.size());
    std::free(block);
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(static_cast<int>(file.size()), font->data_size);
    ASSERT_EQ(0, ttf_set_font_size(font.get(), 24));

    FontPtr from_file = open_sized(DEJAVU_MONO_BOLD, 24);
    BitmapPtr mem_bmp = filled_bitmap(300, 40, makecol(0, 0, 80));
    BitmapPtr file_bmp = filled_bitmap(300, 40, makecol(0, 0, 80));
    ttf_textout_aa_ex(mem_bmp.get(), font.get(), "Memory 42!", 3, 4, makecol(250, 240, 0), -1);
    ttf_textout_aa_ex(file_bmp.get(), from_file.get(), "Memory 42!", 3, 4, makecol(250, 240, 0), -1);
    EXPECT_TRUE(same_pixels(mem_bmp.get(), file_bmp.get()));
    BitmapPtr blank = filled_bitmap(300, 40, makecol(0, 0, 80));
    EXPECT_FALSE(same_pixels(mem_bmp.get(), blank.get()));

    EXPECT_EQ(nullptr, ttf_load_font_from_mem(file.data(), 0));
    EXPECT_EQ(nullptr, ttf_load_font_from_mem(file.data(), -5));
    EXPECT_EQ(nullptr, ttf_load_font_from_mem(nullptr, 100));
}

TEST_F(TextTest, SpacingIsClampedAndAddedOnlyAfterAdvancingGlyphs)
{
    FontPtr font = open_sized(LIBERATION_SANS, 20);
    ASSERT_NE(nullptr, font);
    const int cases[][2] = {{-3, 0}, {0, 0}, {7, 7}, {4096, 4096}, {5000, 4096}};
    for (const auto &c : cases) {
        ttf_set_char_spacing(font.get(), c[0]);
        EXPECT_EQ(c[1], ttf_get_char_spacing(font.get())) << c[0];
    }

    // Three glyphs advancing 5, 0 and 6 with spacing 2 measure 5 + 2 + 6 + 2.
    const int advances[] = {5, 0, 6};
    ttf_flush_glyphs(font.get());
    for (int i = 0; i < 3; i++) {
        TTF_GLYPH &entry = font->glyphs[FT_Get_Char_Index(font->face, 'a' + i)];
        entry = TTF_GLYPH{};
        entry.cached = 1;
        entry.advance_x = advances[i];
    }
    ttf_set_char_spacing(font.get(), 2);
    EXPECT_EQ(15, ttf_text_length(font.get(), "abc"));
    EXPECT_EQ(0, ttf_text_length(font.get(), ""));
}

// Widths against the advances FreeType gives for each character, over
// random strings mixing ASCII, Latin-1, missing characters and spacing.
TEST_F(TextTest, WidthIsTheSumOfAdvancesAndSpacing)
{
    FT_Library lib;
    ASSERT_EQ(0, FT_Init_FreeType(&lib));
    const char *pieces[] = {"a", "W", " ", "1", ".", "\xC3\xA9", "\xE2\x82\xAC", "\xEF\xBF\xBE", "\xCC\x81", "\xE4\xB8\xAD"};
    for (const char *path : GAME_FONTS) {
        FontPtr font = open_sized(path, 18);
        ASSERT_NE(nullptr, font);
        FT_Face face;
        ASSERT_EQ(0, FT_New_Face(lib, path, 0, &face));
        ASSERT_EQ(0, FT_Set_Pixel_Sizes(face, 0, font->pixel_size));
        int64_t advance[std::size(pieces)];
        for (size_t p = 0; p < std::size(pieces); p++) {
            const char *s = pieces[p];
            ASSERT_EQ(0, FT_Load_Glyph(face, FT_Get_Char_Index(face, ugetxc(&s)), FT_LOAD_DEFAULT));
            advance[p] = face->glyph->advance.x >> 6;
        }
        for (unsigned seed = 1; seed <= 200; seed++) {
            std::mt19937 rng(seed);
            int spacing = static_cast<int>(rng() % 6);
            ttf_set_char_spacing(font.get(), spacing);
            std::string text;
            int64_t expected = 0;
            for (unsigned n = rng() % 12; n > 0; n--) {
                size_t p = rng() % std::size(pieces);
                text += pieces[p];
                expected += advance[p] != 0 ? advance[p] + spacing : 0;
            }
            ASSERT_EQ(expected, ttf_text_length(font.get(), text.c_str())) << path << " seed " << seed;
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(lib);
}

TEST_F(TextTest, FaceWithoutCharmapTakesCodesAsGlyphIndices)
{
    FontPtr font = open_sized(COMFORTAA_BOLD, 20);
    ASSERT_NE(nullptr, font);
    font->face->charmap = nullptr;
    const int count = static_cast<int>(font->face->num_glyphs);
    ASSERT_LT(count, 0x800);  // so that a two-byte UTF-8 code can pass it

    char inside[3] = {static_cast<char>(0xC0 | (40 >> 6)), static_cast<char>(0x80 | (40 & 63)), 0};
    ttf_cache_glyph(font.get(), 40);
    EXPECT_EQ(font->glyphs[40].advance_x, ttf_text_length(font.get(), inside));

    int past = count + 3;
    char outside[3] = {static_cast<char>(0xC0 | (past >> 6)), static_cast<char>(0x80 | (past & 63)), 0};
    ttf_cache_glyph(font.get(), 0);
    ASSERT_NE(0, font->glyphs[0].advance_x);
    EXPECT_EQ(font->glyphs[0].advance_x, ttf_text_length(font.get(), outside));
    BitmapPtr bmp = filled_bitmap(60, 30, 0);
    ttf_textout_aa_ex(bmp.get(), font.get(), outside, 2, 2, makecol(255, 255, 255), -1);
    ttf_textout_ex(bmp.get(), font.get(), outside, 2, 2, makecol(255, 255, 255), 0);

    // Indices outside the array are ignored rather than cached.
    ttf_cache_glyph(font.get(), -1);
    ttf_cache_glyph(font.get(), count);
    ttf_cache_glyph(font.get(), 0x7FFFFFFF);
}

// Rows stored bottom-up (negative pitch), short rows and missing buffers.
TEST(TextUnpack, RowsAreReadTopFirstWithinTheBuffer)
{
    // Three rows of 10 pixels, 2 bytes each, bottom row first in memory.
    uint8_t mono[6] = {0x00, 0xC0, 0x80, 0x40, 0xFF, 0x80};
    FT_Bitmap bitmap{};
    bitmap.rows = 3;
    bitmap.width = 10;
    bitmap.pitch = -2;
    bitmap.buffer = mono;
    bitmap.pixel_mode = FT_PIXEL_MODE_MONO;
    uint8_t out[30];
    ASSERT_EQ(0, ttf_unpack_mono(&bitmap, out));
    const uint8_t top[10] = {128, 64, 32, 16, 8, 4, 2, 1, 128, 0};
    const uint8_t middle[10] = {128, 0, 0, 0, 0, 0, 0, 0, 0, 64};
    const uint8_t bottom[10] = {0, 0, 0, 0, 0, 0, 0, 0, 128, 64};
    EXPECT_EQ(0, std::memcmp(top, out, 10));
    EXPECT_EQ(0, std::memcmp(middle, out + 10, 10));
    EXPECT_EQ(0, std::memcmp(bottom, out + 20, 10));

    uint8_t gray[6] = {1, 2, 3, 4, 5, 6};
    FT_Bitmap gray_bitmap{};
    gray_bitmap.rows = 2;
    gray_bitmap.width = 2;
    gray_bitmap.pitch = -3;  // one padding byte per row
    gray_bitmap.buffer = gray;
    uint8_t gray_out[4];
    ASSERT_EQ(0, ttf_unpack_gray(&gray_bitmap, gray_out));
    const uint8_t gray_expected[4] = {4, 5, 1, 2};
    EXPECT_EQ(0, std::memcmp(gray_expected, gray_out, 4));

    bitmap.pitch = 1;  // 10 pixels need 2 bytes a row
    EXPECT_EQ(-1, ttf_unpack_mono(&bitmap, out));
    gray_bitmap.pitch = 1;
    EXPECT_EQ(-1, ttf_unpack_gray(&gray_bitmap, gray_out));
    gray_bitmap.pitch = 3;
    gray_bitmap.buffer = nullptr;
    EXPECT_EQ(-1, ttf_unpack_gray(&gray_bitmap, gray_out));
}

}  // namespace
