// Damaged font bytes: random garbage, truncated files and bit-flipped
// copies of the game's fonts either fail to open or give a font that can be
// sized, measured and drawn. The sanitizer build checks every access and
// that nothing leaks.
#include "text_fixture.h"

#include <random>

namespace {

struct Outcome {
    int refused = 0;
    int opened = 0;
    int broken_glyphs = 0;  // cached entries FreeType could not load or render
};

// Everything a caller may do with an opened font.
void exercise(const std::vector<uint8_t> &bytes, BITMAP *bmp, Outcome *outcome)
{
    TTF_FONT *font = ttf_load_font_from_mem(bytes.data(), static_cast<int>(bytes.size()));
    if (!font) {
        outcome->refused++;
        return;
    }
    outcome->opened++;
    ASSERT_NE(nullptr, font->glyphs);
    ASSERT_NE(nullptr, ttf_get_fixed_sizes(font));
    const char *text = "Dentivale 0123456789 \xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD";
    for (int height : {20, 7}) {
        ttf_set_font_size(font, height);
        ttf_set_char_spacing(font, 1);
        EXPECT_GE(ttf_text_length(font, text), 0);
        ttf_textout_ex(bmp, font, text, -3, 2, makecol(255, 255, 255), makecol(0, 0, 90));
        ttf_textout_aa_ex(bmp, font, text, 4, -5, makecol(255, 255, 0), makecol(0, 90, 0));
        ttf_textout_aa_ex(bmp, font, text, 1, 10, makecol(0, 255, 255), -1);
        ttf_textprintf_centre_aa(bmp, font, 40, 3, makecol(255, 0, 0), "%d", height);
    }
    // Glyphs far into the file, beyond those the string reaches.
    for (FT_Long i = 0; i < font->face->num_glyphs; i += 7)
        ttf_cache_glyph(font, static_cast<int>(i));
    ttf_textout_aa_ex(bmp, font, "\xE4\xB8\xAD\xC3\xBF", 4, 4, makecol(255, 255, 0), -1);
    for (FT_Long i = 0; i < font->face->num_glyphs; i++) {
        const TTF_GLYPH &g = font->glyphs[i];
        if (g.cached && !g.mono_ok && !g.aa_ok && g.advance_x == 0)
            outcome->broken_glyphs++;
    }
    ttf_destroy_font(font);
}

TEST_F(TextTest, GarbageBytesAreRefused)
{
    BitmapPtr bmp = filled_bitmap(80, 30, 0);
    Outcome outcome;
    for (unsigned seed = 1; seed <= 300; seed++) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        std::mt19937 rng(seed);
        std::vector<uint8_t> bytes(1 + rng() % 4096);
        for (uint8_t &b : bytes)
            b = static_cast<uint8_t>(rng());
        if (seed % 2)  // a real TrueType signature gets past the first check
            bytes.insert(bytes.begin(), {0x00, 0x01, 0x00, 0x00, 0x00, 0x0A});
        exercise(bytes, bmp.get(), &outcome);
    }
    EXPECT_EQ(300, outcome.refused + outcome.opened);
}

TEST_F(TextTest, TruncatedFontsOpenOrFailCleanly)
{
    BitmapPtr bmp = filled_bitmap(80, 30, 0);
    Outcome outcome;
    for (const char *path : GAME_FONTS) {
        const std::vector<uint8_t> file = read_file(path);
        std::vector<size_t> lengths;
        for (size_t n = 1; n < 2048; n += 37)
            lengths.push_back(n);
        for (size_t n = 2048; n < file.size(); n = n * 9 / 8)
            lengths.push_back(n);
        lengths.push_back(file.size() - 1);
        for (size_t n : lengths) {
            SCOPED_TRACE(testing::Message() << path << " cut to " << n);
            exercise(std::vector<uint8_t>(file.begin(), file.begin() + n), bmp.get(), &outcome);
        }
    }
    EXPECT_GT(outcome.refused, 0);
    EXPECT_GT(outcome.opened, 0);
}

// A face whose ascender and descender are all zero has line height 0 at
// every size: the upward search must give up instead of running forever.
TEST_F(TextTest, FaceWithoutLineHeightCannotBeSized)
{
    std::vector<uint8_t> bytes = read_file(LIBERATION_SANS);
    ASSERT_TRUE(set_line_metrics(&bytes, 0, 0));
    FontPtr font(ttf_load_font_from_mem(bytes.data(), static_cast<int>(bytes.size())));
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(0, font->height);  // the opening size already failed
    EXPECT_EQ(-1, ttf_set_font_size(font.get(), 20));
    EXPECT_EQ(0, font->height);
    BitmapPtr bmp = filled_bitmap(40, 20, 0);
    ttf_textout_aa_ex(bmp.get(), font.get(), "Unsized", 0, 0, makecol(255, 255, 255), -1);
}

// Random bytes over parts of the glyph outlines: FreeType refuses some
// glyphs, which stay cached without renderings and without advance.
TEST_F(TextTest, ScrambledOutlinesLeaveGlyphsWithoutRenderings)
{
    BitmapPtr bmp = filled_bitmap(80, 30, 0);
    Outcome outcome;
    for (const char *path : GAME_FONTS) {
        const std::vector<uint8_t> file = read_file(path);
        size_t glyf, glyf_length;
        ASSERT_TRUE(find_table(file, "glyf", &glyf, &glyf_length)) << path;
        for (unsigned seed = 1; seed <= 20; seed++) {
            SCOPED_TRACE(testing::Message() << path << " seed " << seed);
            std::mt19937 rng(seed);
            std::vector<uint8_t> bytes = file;
            for (int spans = 0; spans < 64; spans++) {
                size_t at = glyf + rng() % (glyf_length - 64);
                for (size_t i = 0; i < 64; i++)
                    bytes[at + i] = static_cast<uint8_t>(rng());
            }
            exercise(bytes, bmp.get(), &outcome);
        }
    }
    EXPECT_EQ(60, outcome.opened);
    EXPECT_GT(outcome.broken_glyphs, 0) << "no glyph failed to load: that path went untested";
}

// Flips land mostly in the first 4 KiB, where the table directory and the
// small tables (head, hhea, maxp, OS/2, loca offsets) live.
TEST_F(TextTest, BitFlippedFontsOpenOrFailCleanly)
{
    BitmapPtr bmp = filled_bitmap(80, 30, 0);
    Outcome outcome;
    for (const char *path : GAME_FONTS) {
        const std::vector<uint8_t> file = read_file(path);
        for (unsigned seed = 1; seed <= 150; seed++) {
            SCOPED_TRACE(testing::Message() << path << " seed " << seed);
            std::mt19937 rng(seed);
            std::vector<uint8_t> bytes = file;
            for (int flips = 1 + rng() % 8; flips > 0; flips--) {
                size_t at = rng() % (rng() % 4 ? 4096 : bytes.size());
                bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
            }
            exercise(bytes, bmp.get(), &outcome);
        }
    }
    EXPECT_GT(outcome.opened, 0);
}

}  // namespace
