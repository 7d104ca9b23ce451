// Centred, right-aligned and formatted forms of the two basic drawing calls.
// Each works out the string and its left edge and hands over to
// ttf_textout_ex or ttf_textout_aa_ex.
#include "text/ttf.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <string>

namespace {

constexpr int FORMAT_BUFFER_SIZE = 512;  // bytes, terminator included; longer text is cut
constexpr int LAST_CODE = 0x10FFFF;
constexpr int SURROGATE_FIRST = 0xD800, SURROGATE_LAST = 0xDFFF;

// Outside bytes made well-formed: each ill-formed run becomes the font's
// replacement, well-formed text comes through byte for byte.
struct Cleaner {
    TTF_FONT *font;

    void append_code(std::string &out, int code)
    {
        char bytes[8];
        out.append(bytes, usetc(bytes, code));
    }

    std::string text(const char *s)
    {
        std::string out;
        for (const char *p = s, *start = s; int code = ttf_read_char(&p); start = p) {
            if (code == TTF_ILL_FORMED)
                append_code(out, ttf_replacement_code(font));
            else
                out.append(start, p);
        }
        return out;
    }

    // A %c code no well-formed text holds (a surrogate, or one the
    // library's writer would loop on) is replaced like a run of bytes.
    int code(int c)
    {
        bool valid = c >= 0 && c <= LAST_CODE && (c < SURROGATE_FIRST || c > SURROGATE_LAST);
        return valid ? c : ttf_replacement_code(font);
    }
};

// The formatted text as uvszprintf builds it: whole characters while they
// fit before the terminator, nothing from the first that does not. `made`
// counts every character produced, shown or not, which is what %n stores.
struct Text {
    char *end;
    int room;
    bool ended = false;
    int made = 0;

    void put(const char *c, int bytes)
    {
        if (ended || bytes > room) {
            ended = true;
            return;
        }
        std::memcpy(end, c, bytes);
        end += bytes, room -= bytes;
    }

    // One conversion's text, of `count` characters: a %c of 0 holds a zero
    // byte, and the library's text ends there.
    void put_piece(const char *piece, int count)
    {
        made += count;
        int shown = 0;
        for (const char *p = piece, *c = p; ttf_read_char(&p) != 0; c = p, shown++)
            put(c, static_cast<int>(p - c));
        if (shown < count)
            ended = true;
    }
};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// A '*' width or precision as digits; a negative width left-justifies,
// a negative precision is 0, as the library reads them.
std::string star_value(va_list *args, bool width)
{
    long long v = va_arg(*args, int);
    if (!width)
        return std::to_string(std::max(v, 0LL));
    return (v < 0 ? "-" : "") + std::to_string(std::min(v < 0 ? -v : v, static_cast<long long>(INT_MAX)));
}

// The integer argument a conversion takes, by its size letters as the
// library picks it: h before ll (or L) before l.
template <class Int, class Long, class LongLong>
int format_integer(char *piece, const std::string &conversion, va_list *args, bool is_short, int longs)
{
    if (!is_short && longs >= 2)
        return uszprintf(piece, FORMAT_BUFFER_SIZE, conversion.c_str(), va_arg(*args, LongLong));
    if (!is_short && longs == 1)
        return uszprintf(piece, FORMAT_BUFFER_SIZE, conversion.c_str(), va_arg(*args, Long));
    return uszprintf(piece, FORMAT_BUFFER_SIZE, conversion.c_str(), va_arg(*args, Int));
}

// One conversion, p just after its '%', read as uvszprintf reads it: flags,
// a width (digits or '*'), an optional '.', a precision (digits or '*'),
// the size letters h, l and L, the letter. It is made by uszprintf with its
// one argument, '*' values written into it as digits. A letter the library
// does not know converts nothing and is read again as text, as there.
// Returns the position after the conversion.
const char *convert(const char *p, Cleaner &clean, va_list *args, Text &text)
{
    std::string conversion = "%";
    while (*p && std::strchr("-+ #0", *p))
        conversion += *p++;
    if (*p == '*')
        p++, conversion += star_value(args, true);
    else
        while (is_digit(*p))
            conversion += *p++;
    if (*p == '.')
        p++;
    if (*p == '*') {
        p++, conversion += "." + star_value(args, false);
    } else if (is_digit(*p)) {
        conversion += '.';
        while (is_digit(*p))
            conversion += *p++;
    }
    bool is_short = false, long_double = false;
    int longs = 0;
    for (;; conversion += *p++) {
        if (*p == 'h')
            is_short = true;
        else if (*p == 'l')
            longs++;
        else if (*p == 'L')
            long_double = true, longs = std::max(longs, 2);
        else
            break;
    }
    conversion += *p;

    char piece[FORMAT_BUFFER_SIZE];
    int count;
    switch (*p) {
    case 'c':
        count = uszprintf(piece, sizeof piece, conversion.c_str(), clean.code(va_arg(*args, int)));
        break;
    case 'd': case 'i': case 'D':
        count = format_integer<int, long, long long>(piece, conversion, args, is_short, *p == 'D' ? std::max(longs, 1) : longs);
        break;
    case 'o': case 'u': case 'U': case 'x': case 'X':
        count = format_integer<unsigned, unsigned long, unsigned long long>(piece, conversion, args, is_short,
                                                                            *p == 'U' ? std::max(longs, 1) : longs);
        break;
    case 'e': case 'E': case 'f': case 'g': case 'G':
        count = long_double ? uszprintf(piece, sizeof piece, conversion.c_str(), va_arg(*args, long double))
                            : uszprintf(piece, sizeof piece, conversion.c_str(), va_arg(*args, double));
        break;
    case 'n':
        *va_arg(*args, int *) = text.made;
        return p + 1;
    case 'p':
        count = uszprintf(piece, sizeof piece, conversion.c_str(), va_arg(*args, void *));
        break;
    case 's':
        count = uszprintf(piece, sizeof piece, conversion.c_str(), clean.text(va_arg(*args, const char *)).c_str());
        break;
    default:
        return p;
    }
    text.put_piece(piece, count);
    return p + 1;
}

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
    ttf_vformat(font, text, sizeof text, format, args);
    draw_aligned(draw, align, bmp, font, text, x, y, colour, bg);
}

}  // namespace

void ttf_vformat(TTF_FONT *font, char *out, int size, const char *format, va_list args)
{
    if (size <= 0)
        return;
    if (get_uformat() != U_UTF8) {
        uvszprintf(out, size, format, args);  // no sequences there to get wrong
        return;
    }
    Cleaner clean{font};
    std::string well_formed = clean.text(format);
    Text text{out, size - 1};
    va_list rest;
    va_copy(rest, args);
    for (const char *p = well_formed.c_str(); *p;) {
        if (p[0] == '%' && p[1] != '%') {
            p = convert(p + 1, clean, &rest, text);
            continue;
        }
        if (p[0] == '%')
            p++;  // "%%" is one '%'
        const char *c = p;
        ttf_read_char(&p);
        text.put(c, static_cast<int>(p - c));
        text.made++;
    }
    va_end(rest);
    *text.end = '\0';
}

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
