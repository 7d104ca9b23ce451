// A small TrueType text layer over FreeType 2 that draws onto Allegro bitmaps.
//
// Fonts are sized to a line height in pixels; glyphs are rendered once per
// size, in 1-bit and anti-aliased form, into a per-font cache. Text is drawn
// plain or anti-aliased, on an opaque box or (background < 0) transparently.
// (x, y) of every output call is the top-left corner of the text line.
// Calls ending in _ex take the background explicitly; the others use
// ttf_default_bg. Single-threaded. Failures come back as -1 or null only;
// a null font draws nothing, measures 0 and has height 0.
//
// Whatever the font bytes or the string, nothing is read or written outside
// the layer's buffers and the target bitmap: a damaged font fails to open,
// or opens and draws nothing for the glyphs FreeType cannot load. Strings
// (and formats, and the strings and characters formatted) may hold any
// bytes: in UTF-8, each run that is not well-formed shows as one U+FFFD,
// or '?' in a font without it (ttf_chars.cpp).
#ifndef DENTIVALE_TEXT_TTF_H
#define DENTIVALE_TEXT_TTF_H

#include <allegro.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <climits>
#include <cstdint>

struct TTF_GLYPH {
    uint8_t cached;       // loaded at the current size; an uncached entry owns no bitmaps
    int32_t width;        // 1-bit rendering, columns
    int32_t height;       // 1-bit rendering, rows
    int32_t aa_width;     // anti-aliased rendering, columns
    int32_t aa_height;    // anti-aliased rendering, rows
    int32_t left;         // 1-bit rendering's offset from the pen
    int32_t top;          // baseline up to the 1-bit rendering's first row
    int32_t aa_left;
    int32_t aa_top;
    int32_t advance_x;    // pen advance in whole pixels
    int32_t advance_y;
    int32_t mono_ok;      // 1-bit rendering present
    int32_t aa_ok;        // anti-aliased rendering present
    uint8_t *mono_bits;   // width x height bytes, non-zero = ink; null when empty
    uint8_t *aa_bits;     // aa_width x aa_height coverage bytes 0..255; null when empty
};

struct TTF_FONT {
    FT_Face face;           // owned
    int32_t height;         // line height asked for by the last successful sizing; 0 before
    int32_t pixel_size;     // FreeType pixel size that gave that line height
    int32_t ascender;       // of the sized face, whole pixels (floor)
    uint8_t *data;          // own copy of the font file (memory fonts); null for file fonts
    int32_t data_size;
    int32_t char_spacing;   // extra pixels after every advancing glyph, 0..4096
    int32_t num_fixed_sizes;  // -1 scalable; else the face's bitmap strike count
    TTF_GLYPH *glyphs;      // one entry per glyph of the face, by glyph index; owned
    int32_t *fixed_sizes;   // strike heights, then -1; owned
};

// Background of every call without a background argument; negative is
// transparent. Starts at 0: an opaque box of colour 0.
extern int ttf_default_bg;

// Layer.
int ttf_init(void);   // 0, or FreeType's error code
void ttf_exit(void);  // destroy every font first: their faces die with the layer

// Fonts.
TTF_FONT *ttf_load_font_from_mem(const void *bytes, int size);  // copies the bytes
TTF_FONT *ttf_load_font(const char *path);
void ttf_destroy_font(TTF_FONT *font);
// A line height in pixels: the pixel size giving exactly that height, else
// the largest giving less. 0, or -1 with the font unchanged.
int ttf_set_font_size(TTF_FONT *font, int height);
int ttf_get_font_height(TTF_FONT *font);
int ttf_text_height(TTF_FONT *font);
void ttf_set_char_spacing(TTF_FONT *font, int pixels);
int ttf_get_char_spacing(TTF_FONT *font);
int ttf_text_mode(int colour);  // returns the previous default background
int ttf_is_fixed_font(TTF_FONT *font);
int ttf_is_scalable_font(TTF_FONT *font);
int ttf_get_fixed_size_count(TTF_FONT *font);
int *ttf_get_fixed_sizes(TTF_FONT *font);

// Glyph cache and basic output. An index outside the face is ignored; a
// glyph FreeType cannot load is cached without renderings or advance.
void ttf_cache_glyph(TTF_FONT *font, int glyph_index);
int ttf_text_length(TTF_FONT *font, const char *text);
void ttf_textout_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg);
void ttf_textout(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour);
void ttf_textout_aa_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg);
void ttf_textout_aa(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour);

// Aligned output of a given string.
void ttf_textout_centre_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg);
void ttf_textout_centre(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour);
void ttf_textout_centre_aa_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg);
void ttf_textout_centre_aa(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour);
void ttf_textout_right_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg);
void ttf_textout_right(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour);
void ttf_textout_right_aa_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg);
void ttf_textout_right_aa(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour);

// Formatted output: the format follows the colours. Text is cut to 511 bytes.
#define TTF_PRINTF(fmt_index) __attribute__((format(printf, fmt_index, fmt_index + 1)))
void ttf_textprintf_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...) TTF_PRINTF(7);
void ttf_textprintf(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...) TTF_PRINTF(6);
void ttf_textprintf_aa_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...) TTF_PRINTF(7);
void ttf_textprintf_aa(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...) TTF_PRINTF(6);
void ttf_textprintf_centre_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...) TTF_PRINTF(7);
void ttf_textprintf_centre(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...) TTF_PRINTF(6);
void ttf_textprintf_centre_aa_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...) TTF_PRINTF(7);
void ttf_textprintf_centre_aa(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...) TTF_PRINTF(6);
void ttf_textprintf_right_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...) TTF_PRINTF(7);
void ttf_textprintf_right(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...) TTF_PRINTF(6);
void ttf_textprintf_right_aa_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...) TTF_PRINTF(7);
void ttf_textprintf_right_aa(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...) TTF_PRINTF(6);
#undef TTF_PRINTF

// ---- Shared by the layer's own sources and its tests; not for the game. ----

// Widths and pen positions are summed in 64 bits (a long string with a wide
// spacing passes INT_MAX) and brought back into an int at the boundary.
inline int clamp_to_int(int64_t v)
{
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// The cache entry that draws character `code`, cached on the way. Codes
// the charmap lacks, negative codes and, on a face without charmap, codes
// at or above the glyph count all come out as glyph 0. Null only for a face
// without any glyph.
TTF_GLYPH *ttf_glyph_for_code(TTF_FONT *font, int code);

// What a run of bytes that is not well-formed UTF-8 reads as (ASCII SUB),
// once the layer has given the library strict routines for UTF-8 (ttf_init
// does, and they stay). The layer draws it as U+FFFD, or '?' in a font
// without that.
constexpr int TTF_SUBSTITUTE = 0x1A;
constexpr int TTF_REPLACEMENT_CHARACTER = 0xFFFD;
void ttf_strict_utf8(void);

// Drops every cached glyph and its renderings: they belong to one size.
void ttf_flush_glyphs(TTF_FONT *font);

// FreeType bitmap rows to one byte per pixel, top row first, honouring a
// negative pitch (rows stored bottom-up). A 1-bit source keeps each ink bit
// in its place (128 >> column % 8); an 8-bit source is copied. Return -1,
// writing nothing, when the buffer is missing or a row is shorter than the
// width needs.
int ttf_unpack_mono(const FT_Bitmap *bitmap, uint8_t *out);
int ttf_unpack_gray(const FT_Bitmap *bitmap, uint8_t *out);

#endif
