// Centred, right-aligned and formatted forms of the two basic drawing calls.
// Each works out the string and its left edge and hands over to
// ttf_textout_ex or ttf_textout_aa_ex.
#include "text/ttf.h"

#include <cstdarg>

namespace {

constexpr int FORMAT_BUFFER_SIZE = 512;  // bytes, terminator included; longer text is cut

enum Align { ALIGN_LEFT, ALIGN_CENTRE, ALIGN_RIGHT };

using DrawCall = void (*)(BITMAP *, TTF_FONT *, const char *, int, int, int, int);

// Centring truncates w / 2 toward zero, so an odd width puts its extra
// pixel right of x.
int left_edge(TTF_FONT *font, const char *text, int x, Align align)
{
    if (align == ALIGN_LEFT)
        return x;
    int w = ttf_text_length(font, text);
    return clamp_to_int(static_cast<int64_t>(x) - (align == ALIGN_CENTRE ? w / 2 : w));
}

void draw_aligned(DrawCall draw, Align align, BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y,
                  int colour, int bg)
{
    draw(bmp, font, text, left_edge(font, text, x, align), y, colour, bg);
}

void draw_formatted(DrawCall draw, Align align, BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg,
                    const char *format, va_list args)
{
    char text[FORMAT_BUFFER_SIZE];
    uvszprintf(text, sizeof text, format, args);
    draw_aligned(draw, align, bmp, font, text, x, y, colour, bg);
}

}  // namespace

void ttf_textout_centre_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg)
{
    draw_aligned(ttf_textout_ex, ALIGN_CENTRE, bmp, font, text, x, y, colour, bg);
}

void ttf_textout_centre(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour)
{
    draw_aligned(ttf_textout_ex, ALIGN_CENTRE, bmp, font, text, x, y, colour, ttf_default_bg);
}

void ttf_textout_centre_aa_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg)
{
    draw_aligned(ttf_textout_aa_ex, ALIGN_CENTRE, bmp, font, text, x, y, colour, bg);
}

void ttf_textout_centre_aa(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour)
{
    draw_aligned(ttf_textout_aa_ex, ALIGN_CENTRE, bmp, font, text, x, y, colour, ttf_default_bg);
}

void ttf_textout_right_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg)
{
    draw_aligned(ttf_textout_ex, ALIGN_RIGHT, bmp, font, text, x, y, colour, bg);
}

void ttf_textout_right(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour)
{
    draw_aligned(ttf_textout_ex, ALIGN_RIGHT, bmp, font, text, x, y, colour, ttf_default_bg);
}

void ttf_textout_right_aa_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg)
{
    draw_aligned(ttf_textout_aa_ex, ALIGN_RIGHT, bmp, font, text, x, y, colour, bg);
}

void ttf_textout_right_aa(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour)
{
    draw_aligned(ttf_textout_aa_ex, ALIGN_RIGHT, bmp, font, text, x, y, colour, ttf_default_bg);
}

// The formatted members differ only in the three constants they pass on.
#define TTF_FORMATTED(draw, align, bg)                                      \
    va_list args;                                                          \
    va_start(args, format);                                                \
    draw_formatted(draw, align, bmp, font, x, y, colour, bg, format, args); \
    va_end(args)

void ttf_textprintf_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_ex, ALIGN_LEFT, bg);
}

void ttf_textprintf(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_ex, ALIGN_LEFT, ttf_default_bg);
}

void ttf_textprintf_aa_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_aa_ex, ALIGN_LEFT, bg);
}

void ttf_textprintf_aa(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_aa_ex, ALIGN_LEFT, ttf_default_bg);
}

void ttf_textprintf_centre_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_ex, ALIGN_CENTRE, bg);
}

void ttf_textprintf_centre(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_ex, ALIGN_CENTRE, ttf_default_bg);
}

void ttf_textprintf_centre_aa_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format,
                                 ...)
{
    TTF_FORMATTED(ttf_textout_aa_ex, ALIGN_CENTRE, bg);
}

void ttf_textprintf_centre_aa(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_aa_ex, ALIGN_CENTRE, ttf_default_bg);
}

void ttf_textprintf_right_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_ex, ALIGN_RIGHT, bg);
}

void ttf_textprintf_right(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_ex, ALIGN_RIGHT, ttf_default_bg);
}

void ttf_textprintf_right_aa_ex(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, int bg, const char *format,
                                ...)
{
    TTF_FORMATTED(ttf_textout_aa_ex, ALIGN_RIGHT, bg);
}

void ttf_textprintf_right_aa(BITMAP *bmp, TTF_FONT *font, int x, int y, int colour, const char *format, ...)
{
    TTF_FORMATTED(ttf_textout_aa_ex, ALIGN_RIGHT, ttf_default_bg);
}
