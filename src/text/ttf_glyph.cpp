// The glyph cache: each glyph rendered once per size in both styles, and
// string widths from the cached advances.
#include "text/ttf.h"

#include FT_GLYPH_H

#include <cstdlib>
#include <cstring>

namespace {

constexpr int FULL_GRAY_LEVELS = 256;  // coverage 0..255 as the game draws it

int32_t whole_pixels(FT_Pos v)  // 26.6 fixed point, floor
{
    return clamp_to_int(static_cast<int64_t>(v) >> 6);
}

// Start of row r (0 = top) inside the buffer. With a negative pitch the
// buffer begins at the bottom row and rows climb upward.
const uint8_t *row_start(const FT_Bitmap *bitmap, unsigned r)
{
    int64_t pitch = bitmap->pitch;
    int64_t offset = pitch >= 0 ? r * pitch : (bitmap->rows - 1 - static_cast<int64_t>(r)) * -pitch;
    return bitmap->buffer + offset;
}

bool rows_readable(const FT_Bitmap *bitmap, uint64_t row_bytes)
{
    int64_t pitch = bitmap->pitch;
    return bitmap->buffer && static_cast<uint64_t>(pitch < 0 ? -pitch : pitch) >= row_bytes;
}

// A copy of the glyph rendered in one mode, or null when FreeType cannot
// produce it in the pixel mode wanted. The caller frees it.
FT_BitmapGlyph render_copy(FT_Glyph glyph, FT_Render_Mode mode, FT_Pixel_Mode wanted)
{
    FT_Glyph copy;
    if (FT_Glyph_Copy(glyph, &copy))
        return nullptr;
    // On failure the copy is left as it was and is still ours to free.
    if (copy->format != FT_GLYPH_FORMAT_BITMAP && FT_Glyph_To_Bitmap(&copy, mode, nullptr, 1)) {
        FT_Done_Glyph(copy);
        return nullptr;
    }
    FT_BitmapGlyph rendered = reinterpret_cast<FT_BitmapGlyph>(copy);
    if (rendered->bitmap.pixel_mode != wanted) {
        FT_Done_Glyph(copy);
        return nullptr;
    }
    return rendered;
}

// The rendering's bytes, one per pixel; *bits is null for an empty bitmap.
// False when the bitmap is unusable or memory runs out.
bool unpack(const FT_Bitmap *bitmap, int (*unpack_rows)(const FT_Bitmap *, uint8_t *), uint8_t **bits)
{
    *bits = nullptr;
    if (bitmap->width > INT32_MAX || bitmap->rows > INT32_MAX)
        return false;
    size_t count = static_cast<size_t>(bitmap->width) * bitmap->rows;
    if (count == 0)
        return true;
    *bits = static_cast<uint8_t *>(std::malloc(count));
    if (*bits && unpack_rows(bitmap, *bits) == 0)
        return true;
    std::free(*bits);
    *bits = nullptr;
    return false;
}

void keep_mono(TTF_GLYPH *entry, FT_Glyph glyph)
{
    FT_BitmapGlyph rendered = render_copy(glyph, FT_RENDER_MODE_MONO, FT_PIXEL_MODE_MONO);
    if (!rendered)
        return;
    const FT_Bitmap &bitmap = rendered->bitmap;
    if (unpack(&bitmap, ttf_unpack_mono, &entry->mono_bits)) {
        entry->mono_ok = 1;
        entry->width = bitmap.width;
        entry->height = bitmap.rows;
        entry->left = rendered->left;
        entry->top = rendered->top;
    }
    FT_Done_Glyph(reinterpret_cast<FT_Glyph>(rendered));
}

void keep_gray(TTF_GLYPH *entry, FT_Glyph glyph)
{
    FT_BitmapGlyph rendered = render_copy(glyph, FT_RENDER_MODE_NORMAL, FT_PIXEL_MODE_GRAY);
    if (!rendered)
        return;
    const FT_Bitmap &bitmap = rendered->bitmap;
    if (unpack(&bitmap, ttf_unpack_gray, &entry->aa_bits)) {
        entry->aa_ok = 1;
        entry->aa_width = bitmap.width;
        entry->aa_height = bitmap.rows;
        entry->aa_left = rendered->left;
        entry->aa_top = rendered->top;
        // Fewer gray levels are stretched to the full range (the low 8 bits
        // of the product are kept); FreeType's usual 256 need nothing.
        int scale = bitmap.num_grays > 0 ? FULL_GRAY_LEVELS / bitmap.num_grays : 1;
        if (scale != 1) {
            size_t count = static_cast<size_t>(bitmap.width) * bitmap.rows;
            for (size_t i = 0; i < count; i++)
                entry->aa_bits[i] = static_cast<uint8_t>(entry->aa_bits[i] * scale);
        }
    }
    FT_Done_Glyph(reinterpret_cast<FT_Glyph>(rendered));
}

}  // namespace

int ttf_unpack_mono(const FT_Bitmap *bitmap, uint8_t *out)
{
    if (!rows_readable(bitmap, (static_cast<uint64_t>(bitmap->width) + 7) / 8))
        return -1;
    for (unsigned r = 0; r < bitmap->rows; r++) {
        const uint8_t *src = row_start(bitmap, r);
        for (unsigned k = 0; k < bitmap->width; k++)
            *out++ = src[k / 8] & (0x80 >> (k % 8));
    }
    return 0;
}

int ttf_unpack_gray(const FT_Bitmap *bitmap, uint8_t *out)
{
    if (!rows_readable(bitmap, bitmap->width))
        return -1;
    for (unsigned r = 0; r < bitmap->rows; r++) {
        std::memcpy(out, row_start(bitmap, r), bitmap->width);
        out += bitmap->width;
    }
    return 0;
}

void ttf_flush_glyphs(TTF_FONT *font)
{
    FT_Long count = font->face->num_glyphs > 0 ? font->face->num_glyphs : 1;
    for (FT_Long i = 0; i < count; i++) {
        TTF_GLYPH *entry = &font->glyphs[i];
        if (!entry->cached)
            continue;
        std::free(entry->mono_bits);
        std::free(entry->aa_bits);
        std::memset(entry, 0, sizeof *entry);
    }
}

// A glyph that FreeType cannot load still becomes a cached entry, without
// renderings and without advance, so it is not retried on every draw.
void ttf_cache_glyph(TTF_FONT *font, int glyph_index)
{
    if (!font || glyph_index < 0 || glyph_index >= font->face->num_glyphs)
        return;
    TTF_GLYPH *entry = &font->glyphs[glyph_index];
    if (entry->cached)
        return;
    std::memset(entry, 0, sizeof *entry);
    entry->cached = 1;

    FT_Face face = font->face;
    FT_Glyph glyph;
    if (FT_Load_Glyph(face, glyph_index, FT_LOAD_DEFAULT) || FT_Get_Glyph(face->glyph, &glyph))
        return;
    entry->advance_x = whole_pixels(face->glyph->advance.x);
    entry->advance_y = whole_pixels(face->glyph->advance.y);
    keep_mono(entry, glyph);
    keep_gray(entry, glyph);
    FT_Done_Glyph(glyph);
}

TTF_GLYPH *ttf_glyph_for_code(TTF_FONT *font, int code)
{
    FT_Face face = font->face;
    if (face->num_glyphs <= 0)
        return nullptr;
    // FreeType already answers 0 for an index a corrupt charmap puts past the
    // glyph count; the bound is checked here again because the array is ours.
    FT_Long index = code;
    if (code < 0) {
        index = 0;
    } else if (face->charmap) {
        if (code == TTF_SUBSTITUTE)  // bytes that were no text
            code = FT_Get_Char_Index(face, TTF_REPLACEMENT_CHARACTER) ? TTF_REPLACEMENT_CHARACTER : '?';
        index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
    }
    if (index < 0 || index >= face->num_glyphs)
        index = 0;
    ttf_cache_glyph(font, static_cast<int>(index));
    return &font->glyphs[index];
}

int ttf_text_length(TTF_FONT *font, const char *text)
{
    if (!font || !text)
        return 0;
    int64_t width = 0;
    int code;
    while ((code = ugetxc(&text)) != 0) {
        const TTF_GLYPH *glyph = ttf_glyph_for_code(font, code);
        if (glyph && glyph->advance_x != 0)
            width += glyph->advance_x + font->char_spacing;
    }
    return clamp_to_int(width);
}
