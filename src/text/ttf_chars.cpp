// The library's UTF-8, made safe for strings the layer did not write.
//
// Allegro's own UTF-8 reader believes any lead byte's length, up to eight
// bytes, and shifts their bits into an int: 0xFD, 0xFE or 0xFF with their
// continuation bytes can give a code of 2^30 or more (0xFF and seven 0x91
// give 0x51451451). Its writer and width routines, which uvszprintf runs on
// every character it formats, count bits with 1 << bits until the code is
// below it, which never happens for such a code: the shift wraps, and a
// damaged name in the records file hung the game. The library lets a
// program register the routines of an encoding, so the layer gives it
// strict ones for UTF-8: only what RFC 3629 allows is a character, and each
// other run of bytes reads as one ASCII SUB, the character set aside for
// one that is invalid. Every caller of the library's text routines
// (formatting, measuring, walking a string) is then safe. SUB and not
// U+FFFD, because the library sizes its copies of a string by the string's
// bytes: a character read must never take more bytes written again than it
// took read. The layer draws SUB as U+FFFD (ttf_glyph.cpp).
#include "text/ttf.h"

namespace {

constexpr int LAST_CODE = 0x10FFFF;
constexpr int SURROGATE_FIRST = 0xD800, SURROGATE_LAST = 0xDFFF;
constexpr int LONGEST = 4;  // bytes of a character

// Well-formed sequences by their first byte (Unicode's table 3-7): how many
// continuation bytes follow, and the range of the first of them, which is
// narrower after E0, ED, F0 and F4 to rule out overlong forms, surrogates
// and codes past U+10FFFF. The others lie in 80..BF.
struct Lead {
    unsigned char first, last;
    int continuations;
    unsigned char low, high;
};

constexpr Lead LEADS[] = {
    {0xC2, 0xDF, 1, 0x80, 0xBF}, {0xE0, 0xE0, 2, 0xA0, 0xBF}, {0xE1, 0xEC, 2, 0x80, 0xBF},
    {0xED, 0xED, 2, 0x80, 0x9F}, {0xEE, 0xEF, 2, 0x80, 0xBF}, {0xF0, 0xF0, 3, 0x90, 0xBF},
    {0xF1, 0xF3, 3, 0x80, 0xBF}, {0xF4, 0xF4, 3, 0x80, 0x8F},
};

// The character at s and its length in bytes. A sequence cut short (by any
// byte outside the range, the zero byte included) is one ill-formed run up
// to that byte, as is a continuation byte on its own, C0, C1 or F5..FF: SUB.
// The terminator reads as 0 and is one byte long, as the library's reader
// has it.
int decode(const char *text, int &length)
{
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    length = 1;
    if (s[0] < 0x80)
        return s[0];
    for (const Lead &lead : LEADS) {
        if (s[0] < lead.first || s[0] > lead.last)
            continue;
        int code = s[0] & (0x3F >> lead.continuations);
        for (unsigned char low = lead.low, high = lead.high; length <= lead.continuations;
             length++, low = 0x80, high = 0xBF) {
            if (s[length] < low || s[length] > high)
                return TTF_SUBSTITUTE;
            code = code << 6 | (s[length] & 0x3F);
        }
        return code;
    }
    return TTF_SUBSTITUTE;
}

bool is_character(int c) { return c >= 0 && c <= LAST_CODE && (c < SURROGATE_FIRST || c > SURROGATE_LAST); }

// The routines, as register_uformat takes them. A code no text can hold
// (which only a caller's %c can bring) is written as SUB.
int get_char(const char *s)
{
    int length;
    return decode(s, length);
}

int get_char_moving(char **s)
{
    int length;
    int c = decode(*s, length);
    *s += length;
    return c;
}

int char_width(int c)
{
    if (!is_character(c))
        c = TTF_SUBSTITUTE;
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

int set_char(char *s, int c)
{
    if (!is_character(c))
        c = TTF_SUBSTITUTE;
    int length = char_width(c);
    if (length == 1) {
        s[0] = static_cast<char>(c);
        return 1;
    }
    static const unsigned char MARKS[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int i = length - 1; i > 0; i--, c >>= 6)
        s[i] = static_cast<char>(0x80 | (c & 0x3F));
    s[0] = static_cast<char>(MARKS[length] | c);
    return length;
}

int width_at(const char *s)
{
    int length;
    decode(s, length);
    return length;
}

int can_hold(int) { return 1; }  // any code: set_char writes SUB for the impossible ones

}  // namespace

void ttf_strict_utf8(void)
{
    register_uformat(U_UTF8, get_char, get_char_moving, set_char, width_at, char_width, can_hold, LONGEST);
    // The library calls the current encoding's routines through pointers
    // that only choosing an encoding sets.
    if (get_uformat() == U_UTF8)
        set_uformat(U_UTF8);
}
