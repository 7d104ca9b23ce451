// Shared set-up of the text layer tests: the game's three fonts, owning
// handles for fonts and bitmaps, and FreeType references of the test's own.
#ifndef DENTIVALE_TESTS_TEXT_FIXTURE_H
#define DENTIVALE_TESTS_TEXT_FIXTURE_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "support/headless.h"
#include "text/ttf.h"

extern const char *const LIBERATION_SANS;  // paths of the three fonts
extern const char *const DEJAVU_MONO_BOLD;
extern const char *const COMFORTAA_BOLD;
extern const char *const GAME_FONTS[3];

struct FontDeleter {
    void operator()(TTF_FONT *font) const { ttf_destroy_font(font); }
};
struct BitmapDeleter {
    void operator()(BITMAP *bmp) const { destroy_bitmap(bmp); }
};
using FontPtr = std::unique_ptr<TTF_FONT, FontDeleter>;
using BitmapPtr = std::unique_ptr<BITMAP, BitmapDeleter>;

std::vector<uint8_t> read_file(const char *path);

// Offset and length of a table of a TrueType file, from its directory.
bool find_table(const std::vector<uint8_t> &file, const char *tag, size_t *offset, size_t *length);

// Rewrites every ascender and descender of a TrueType file (hhea, and OS/2's
// typographic and Windows pairs) in font units; descender positive = below.
bool set_line_metrics(std::vector<uint8_t> *file, int ascender, int descender);

// A font opened from a file and sized to a line height; fails the test when
// either step fails.
FontPtr open_sized(const char *path, int height);

// A memory bitmap of the current depth filled with one colour.
BitmapPtr filled_bitmap(int w, int h, int colour);

// Pixel-for-pixel equality of two bitmaps of one size and depth.
bool same_pixels(BITMAP *a, BITMAP *b);

// The glyph a character draws with, looked up as a caller would.
TTF_GLYPH &glyph_of(TTF_FONT *font, int code);

// Line height of a face at a pixel size, as FreeType reports it.
int64_t reference_line_height(FT_Face face, int pixel_size);

// Text layer started, 16-bit depth; the default background and the drawing
// mode are put back after each test so that tests stay independent.
class TextTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

#endif
