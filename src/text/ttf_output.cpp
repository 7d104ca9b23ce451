// Drawing strings: plain 1-bit glyphs, anti-aliased glyphs on an opaque
// box through a colour ramp, and anti-aliased glyphs blended translucently.
#include "text/ttf.h"

#include <allegro/internal/aintern.h>

#include <algorithm>
#include <utility>

namespace {

constexpr int RAMP_SIZE = 256;      // one colour per coverage value
constexpr int FULL_COVERAGE = 255;  // drawn solid, without blending

// The part of a bitmap that may be written, right and bottom exclusive:
// the clip rectangle, or the whole bitmap while clipping is off. Glyph
// pixels outside it are never visited.
struct Area {
    int left, top, right, bottom;
};

Area writable_area(const BITMAP *bmp)
{
    if (bmp->clip)
        return {bmp->cl, bmp->ct, bmp->cr, bmp->cb};
    return {0, 0, bmp->w, bmp->h};
}

// The visible part of a glyph map of w x h bytes placed with its top-left
// corner at (x0, y0): its first byte, the map's row stride, the bitmap
// position of that byte and the visible rows and columns.
struct Placement {
    const uint8_t *bits;
    int stride;
    int x, y;
    int rows, cols;
};

bool place(const Area &area, const uint8_t *bits, int w, int h, int64_t x0, int64_t y0, Placement *p)
{
    if (!bits || w <= 0 || h <= 0)
        return false;
    int64_t col0 = std::max<int64_t>(0, area.left - x0), col1 = std::min<int64_t>(w, area.right - x0);
    int64_t row0 = std::max<int64_t>(0, area.top - y0), row1 = std::min<int64_t>(h, area.bottom - y0);
    if (col0 >= col1 || row0 >= row1)
        return false;
    *p = {bits + row0 * w + col0, w, static_cast<int>(x0 + col0), static_cast<int>(y0 + row0),
          static_cast<int>(row1 - row0), static_cast<int>(col1 - col0)};
    return true;
}

// Calls plot(x, y, byte) for every visible non-zero byte, row by row.
template <class Plot>
void for_each_ink(const Placement &p, Plot plot)
{
    for (int r = 0; r < p.rows; r++) {
        const uint8_t *row = p.bits + static_cast<size_t>(r) * p.stride;
        for (int k = 0; k < p.cols; k++)
            if (row[k])
                plot(p.x + k, p.y + r, row[k]);
    }
}

// Nothing is drawn or filled for a line that lies wholly above the clip
// rectangle, or that starts below it or right of it.
bool rejected(const BITMAP *bmp, const TTF_FONT *font, int x, int y)
{
    return static_cast<int64_t>(y) + font->height < bmp->ct || bmp->cb < y || bmp->cr < x;
}

// The box is handed to rectfill as measured, corners in any order. Only
// with clipping off is it first cut to the bitmap, which rectfill would
// otherwise overrun.
void fill_box(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int bg)
{
    int64_t x1 = x, y1 = y;
    int64_t x2 = x1 + ttf_text_length(font, text) - 1, y2 = y1 + font->height - 1;
    if (!bmp->clip) {
        Area area = writable_area(bmp);
        if (x2 < x1)
            std::swap(x1, x2);
        if (y2 < y1)
            std::swap(y1, y2);
        x1 = std::max<int64_t>(x1, area.left);
        y1 = std::max<int64_t>(y1, area.top);
        x2 = std::min<int64_t>(x2, area.right - 1);
        y2 = std::min<int64_t>(y2, area.bottom - 1);
        if (x1 > x2 || y1 > y2)
            return;
    }
    rectfill(bmp, clamp_to_int(x1), clamp_to_int(y1), clamp_to_int(x2), clamp_to_int(y2), bg);
}

// Walks the string with the pen, handing each glyph and the pen position to
// draw_glyph. The walk ends at the first character whose pen has passed the
// clip rectangle's right bound.
template <class DrawGlyph>
void walk_text(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, DrawGlyph draw_glyph)
{
    acquire_bitmap(bmp);
    int64_t pen_x = x, pen_y = y;
    int code;
    while ((code = ugetxc(&text)) != 0) {
        if (bmp->cr < pen_x)
            break;
        const TTF_GLYPH *glyph = ttf_glyph_for_code(font, code);
        if (!glyph)
            continue;
        draw_glyph(*glyph, pen_x, pen_y + font->ascender);
        if (glyph->advance_x != 0)
            pen_x += glyph->advance_x + font->char_spacing;
        if (glyph->advance_y != 0)
            pen_y += glyph->advance_y + font->char_spacing;
    }
    release_bitmap(bmp);
}

bool place_aa(const Area &area, const TTF_GLYPH &g, int64_t pen_x, int64_t baseline, Placement *p)
{
    return g.aa_ok && place(area, g.aa_bits, g.aa_width, g.aa_height, pen_x + g.aa_left, baseline - g.aa_top, p);
}

// ramp[a] is the colour of coverage a between the background b (a = 0) and
// the text colour c. The + 1 in each step makes a rising channel reach c at
// a = 255; a falling channel ends one above it there (text value + 1).
void build_ramp(int c, int b, int ramp[RAMP_SIZE])
{
    int from[3] = {getr(b), getg(b), getb(b)};
    int to[3] = {getr(c), getg(c), getb(c)};
    int step[3];
    for (int i = 0; i < 3; i++)
        step[i] = to[i] != from[i] ? to[i] - from[i] + 1 : 0;
    for (int a = 0; a < RAMP_SIZE; a++)
        ramp[a] = makecol((256 * from[0] + a * step[0]) >> 8, (256 * from[1] + a * step[1]) >> 8,
                          (256 * from[2] + a * step[2]) >> 8);
}

// The translucent path leaves the blender at the alpha of the last partly
// covered pixel, clipped or not; this finds that pixel in one glyph map.
int last_partial_coverage(const TTF_GLYPH &g)
{
    if (!g.aa_ok || !g.aa_bits)
        return -1;
    for (size_t i = static_cast<size_t>(g.aa_width) * g.aa_height; i-- > 0;)
        if (g.aa_bits[i] != 0 && g.aa_bits[i] != FULL_COVERAGE)
            return g.aa_bits[i];
    return -1;
}

// One pixel at a time: the mode and blender set before every pixel, which
// works on any bitmap the library can draw on.
void blend_with_putpixel(BITMAP *bmp, const Placement &p, int c)
{
    for_each_ink(p, [&](int x, int y, int a) {
        if (a == FULL_COVERAGE) {
            solid_mode();
        } else {
            drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
            set_trans_blender(0, 0, 0, a);
        }
        putpixel(bmp, x, y, c);
    });
}

// The blender that putpixel would call in translucent mode, called straight
// on the rows of a memory bitmap. set_trans_blender installs the same
// functions whatever the alpha, and the blenders take the alpha as an
// argument, so one installation serves every pixel of the call. It is
// installed at the first partly covered pixel, where the per-pixel path
// would first install it too.
struct DirectBlend {
    int depth;
    BLENDER_FUNC blender = nullptr;

    BLENDER_FUNC install(int a)
    {
        set_trans_blender(0, 0, 0, a);
        blender = depth == 15 ? _blender_func15 : depth == 16 ? _blender_func16 : _blender_func32;
        return blender;
    }

    template <typename Pixel>
    void blend(BITMAP *bmp, const Placement &p, int c)
    {
        for (int r = 0; r < p.rows; r++) {
            const uint8_t *cover = p.bits + static_cast<size_t>(r) * p.stride;
            Pixel *row = reinterpret_cast<Pixel *>(bmp->line[p.y + r]) + p.x;
            for (int k = 0; k < p.cols; k++) {
                unsigned a = cover[k];
                if (a == FULL_COVERAGE)
                    row[k] = static_cast<Pixel>(c);
                else if (a != 0)
                    row[k] = static_cast<Pixel>((blender ? blender : install(a))(c, row[k], a));
            }
        }
    }
};

bool blends_directly(BITMAP *bmp)
{
    int depth = bitmap_color_depth(bmp);
    return is_memory_bitmap(bmp) && (depth == 15 || depth == 16 || depth == 32);
}

// The library is left in solid mode with the blender at the alpha of the
// last partly covered pixel, clipped or not, as a per-pixel mode switch
// over the whole glyph would leave it.
void draw_transparent_aa(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int c)
{
    Area area = writable_area(bmp);
    int last_alpha = -1;
    bool direct = blends_directly(bmp);
    DirectBlend blend{bitmap_color_depth(bmp)};
    walk_text(bmp, font, text, x, y, [&](const TTF_GLYPH &g, int64_t pen_x, int64_t baseline) {
        int alpha = last_partial_coverage(g);
        if (alpha >= 0)
            last_alpha = alpha;
        Placement p;
        if (!place_aa(area, g, pen_x, baseline, &p))
            return;
        if (!direct)
            blend_with_putpixel(bmp, p, c);
        else if (blend.depth == 32)
            blend.blend<uint32_t>(bmp, p, c);
        else
            blend.blend<uint16_t>(bmp, p, c);
    });
    if (last_alpha >= 0)
        set_trans_blender(0, 0, 0, last_alpha);
    solid_mode();
}

}  // namespace

void ttf_textout_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg)
{
    if (!bmp || !font || !text || rejected(bmp, font, x, y))
        return;
    if (bg >= 0)
        fill_box(bmp, font, text, x, y, bg);
    Area area = writable_area(bmp);
    walk_text(bmp, font, text, x, y, [&](const TTF_GLYPH &g, int64_t pen_x, int64_t baseline) {
        Placement p;
        if (g.mono_ok && place(area, g.mono_bits, g.width, g.height, pen_x + g.left, baseline - g.top, &p))
            for_each_ink(p, [&](int px, int py, int) { putpixel(bmp, px, py, colour); });
    });
}

void ttf_textout(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour)
{
    ttf_textout_ex(bmp, font, text, x, y, colour, ttf_default_bg);
}

void ttf_textout_aa_ex(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour, int bg)
{
    if (!bmp || !font || !text || rejected(bmp, font, x, y))
        return;
    if (bg < 0) {
        draw_transparent_aa(bmp, font, text, x, y, colour);
        return;
    }
    fill_box(bmp, font, text, x, y, bg);
    int ramp[RAMP_SIZE];
    build_ramp(colour, bg, ramp);
    Area area = writable_area(bmp);
    walk_text(bmp, font, text, x, y, [&](const TTF_GLYPH &g, int64_t pen_x, int64_t baseline) {
        Placement p;
        if (place_aa(area, g, pen_x, baseline, &p))
            for_each_ink(p, [&](int px, int py, int a) { putpixel(bmp, px, py, ramp[a]); });
    });
}

void ttf_textout_aa(BITMAP *bmp, TTF_FONT *font, const char *text, int x, int y, int colour)
{
    ttf_textout_aa_ex(bmp, font, text, x, y, colour, ttf_default_bg);
}
