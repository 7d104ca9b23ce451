// Reading characters from strings the layer did not write.
//
// The library's own UTF-8 reader believes any lead byte's length, up to
// eight bytes, and shifts their bits into an int: 0xFD, 0xFE or 0xFF with
// their continuation bytes can give a code of 2^30 or more (0xFF and seven
// 0x91 give 0x51451451). Its writer and width routines, which uvszprintf
// runs on every character it formats, count bits with 1 << bits until the
// code is below it, which never happens for such a code: the shift wraps.
// So the layer reads UTF-8 itself and lets through only what RFC 3629
// allows; everything else ends here as TTF_ILL_FORMED.
#include "text/ttf.h"

namespace {

constexpr int REPLACEMENT_CHARACTER = 0xFFFD;
constexpr int FALLBACK_REPLACEMENT = '?';  // for fonts without U+FFFD

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

}  // namespace

int ttf_read_char(const char **text)
{
    if (get_uformat() != U_UTF8)
        return ugetxc(text);  // fixed-width encodings: every byte string reads safely
    const unsigned char *s = reinterpret_cast<const unsigned char *>(*text);
    if (s[0] < 0x80) {
        *text += s[0] != 0;
        return s[0];
    }
    for (const Lead &lead : LEADS) {
        if (s[0] < lead.first || s[0] > lead.last)
            continue;
        int code = s[0] & (0x3F >> lead.continuations);
        // A sequence cut short (by any byte outside the range, the zero
        // byte included) is one ill-formed run up to that byte.
        int n = 1;
        for (unsigned char low = lead.low, high = lead.high; n <= lead.continuations; n++, low = 0x80, high = 0xBF) {
            if (s[n] < low || s[n] > high)
                break;
            code = code << 6 | (s[n] & 0x3F);
        }
        *text += n;
        return n > lead.continuations ? code : TTF_ILL_FORMED;
    }
    *text += 1;  // a continuation byte on its own, C0, C1 or F5..FF
    return TTF_ILL_FORMED;
}

int ttf_replacement_code(TTF_FONT *font)
{
    FT_Face face = font ? font->face : nullptr;
    bool has_it = face && face->charmap && FT_Get_Char_Index(face, REPLACEMENT_CHARACTER) != 0;
    return has_it ? REPLACEMENT_CHARACTER : FALLBACK_REPLACEMENT;
}

int ttf_next_code(TTF_FONT *font, const char **text)
{
    int code = ttf_read_char(text);
    return code == TTF_ILL_FORMED ? ttf_replacement_code(font) : code;
}
