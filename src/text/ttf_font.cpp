// Layer start and stop, opening, sizing and destroying fonts, face queries.
#include "text/ttf.h"

#include <cstdlib>
#include <cstring>

static FT_Library library;  // the one FreeType instance; null while the layer is stopped
static int initialised;     // 1 between a successful ttf_init and ttf_exit

int ttf_default_bg = 0;

namespace {

constexpr int SCALABLE_START_HEIGHT = 8;  // line height a freshly opened scalable font gets
constexpr int MAX_CHAR_SPACING = 4096;    // pixels
constexpr int SIZE_LIST_END = -1;         // terminator of fixed_sizes

// FreeType clamps larger pixel requests to this, so probing beyond it cannot
// change a line height. It also bounds the upward search on faces whose line
// height never grows (a corrupt face with zero ascender and descender).
constexpr int MAX_PIXEL_SIZE = 0xFFFF;

int32_t whole_pixels(FT_Pos v)  // 26.6 fixed point, floor
{
    return clamp_to_int(static_cast<int64_t>(v) >> 6);
}

int64_t line_height(FT_Face face)
{
    const FT_Size_Metrics &m = face->size->metrics;
    return std::llabs(static_cast<int64_t>(m.ascender) >> 6) + std::llabs(static_cast<int64_t>(m.descender) >> 6);
}

void free_font(TTF_FONT *font)
{
    if (font->glyphs) {
        ttf_flush_glyphs(font);
        std::free(font->glyphs);
    }
    if (font->face)
        FT_Done_Face(font->face);
    std::free(font->fixed_sizes);
    std::free(font->data);
    std::free(font);
}

void fill_fixed_sizes(TTF_FONT *font)
{
    int n = font->num_fixed_sizes < 0 ? 0 : font->num_fixed_sizes;
    for (int i = 0; i < n; i++)
        font->fixed_sizes[i] = font->face->available_sizes[i].height;
    font->fixed_sizes[n] = SIZE_LIST_END;
}

// Everything after the face is open. A font whose glyph array or size list
// cannot be had is not opened at all: every other call may then rely on both.
TTF_FONT *finish_opening(TTF_FONT *font)
{
    FT_Face face = font->face;
    font->num_fixed_sizes = FT_IS_SCALABLE(face) ? -1 : face->num_fixed_sizes;

    // One spare entry keeps a face without glyphs from asking for 0 bytes.
    size_t glyph_count = face->num_glyphs > 0 ? static_cast<size_t>(face->num_glyphs) : 1;
    font->glyphs = static_cast<TTF_GLYPH *>(std::calloc(glyph_count, sizeof(TTF_GLYPH)));
    size_t size_count = (font->num_fixed_sizes < 0 ? 0 : font->num_fixed_sizes) + 1;
    font->fixed_sizes = static_cast<int32_t *>(std::malloc(size_count * sizeof(int32_t)));
    if (!font->glyphs || !font->fixed_sizes) {
        free_font(font);
        return nullptr;
    }
    fill_fixed_sizes(font);

    // A bitmap face without strikes asks for -1 here and stays unsized.
    ttf_set_font_size(font, font->num_fixed_sizes < 0 ? SCALABLE_START_HEIGHT : font->fixed_sizes[0]);
    font->char_spacing = 0;
    return font;
}

int restore_pixel_size(TTF_FONT *font)
{
    FT_Set_Pixel_Sizes(font->face, 0, font->pixel_size);
    return -1;
}

}  // namespace

int ttf_init(void)
{
    ttf_strict_utf8();  // before any string from outside reaches the library
    if (initialised)
        return 0;
    library = nullptr;
    FT_Error error = FT_Init_FreeType(&library);
    if (error) {
        library = nullptr;
        return error;
    }
    initialised = 1;
    return 0;
}

void ttf_exit(void)
{
    if (!initialised)
        return;
    initialised = 0;
    FT_Done_FreeType(library);
    library = nullptr;
}

TTF_FONT *ttf_load_font_from_mem(const void *bytes, int size)
{
    if (!initialised || !bytes || size <= 0)
        return nullptr;
    TTF_FONT *font = static_cast<TTF_FONT *>(std::calloc(1, sizeof(TTF_FONT)));
    uint8_t *data = static_cast<uint8_t *>(std::malloc(size));
    if (!font || !data) {
        std::free(font);
        std::free(data);
        return nullptr;
    }
    // FreeType reads the face from these bytes for the font's whole life.
    std::memcpy(data, bytes, size);
    font->data = data;
    font->data_size = size;
    if (FT_New_Memory_Face(library, data, size, 0, &font->face)) {
        font->face = nullptr;
        free_font(font);
        return nullptr;
    }
    return finish_opening(font);
}

TTF_FONT *ttf_load_font(const char *path)
{
    if (!initialised || !path)
        return nullptr;
    TTF_FONT *font = static_cast<TTF_FONT *>(std::calloc(1, sizeof(TTF_FONT)));
    if (!font)
        return nullptr;
    if (FT_New_Face(library, path, 0, &font->face)) {
        font->face = nullptr;
        free_font(font);
        return nullptr;
    }
    return finish_opening(font);
}

void ttf_destroy_font(TTF_FONT *font)
{
    if (font)
        free_font(font);
}

// The height asked for is a line height; FreeType takes a pixel size whose
// line height differs by font. Probe from h in the direction that closes the
// gap; when no size hits h exactly, keep the largest one below it.
int ttf_set_font_size(TTF_FONT *font, int height)
{
    if (!font)
        return -1;
    if (height == font->height)
        return 0;  // cached glyphs stay valid
    if (height < 1)
        return -1;

    FT_Face face = font->face;
    int size = height;
    int direction = 0;
    for (;;) {
        if (size < 1 || size > MAX_PIXEL_SIZE || FT_Set_Pixel_Sizes(face, 0, size))
            return restore_pixel_size(font);
        int64_t line = line_height(face);
        if (line == height)
            break;
        if (direction == 0) {
            direction = line < height ? 1 : -1;
        } else if (direction > 0 && line > height) {
            size--;
            FT_Set_Pixel_Sizes(face, 0, size);  // it worked one probe ago
            break;
        } else if (direction < 0 && line < height) {
            break;
        }
        size += direction;
    }

    ttf_flush_glyphs(font);
    font->pixel_size = size;
    font->height = height;
    font->ascender = whole_pixels(face->size->metrics.ascender);
    return 0;
}

int ttf_get_font_height(TTF_FONT *font)
{
    return font ? font->height : 0;
}

int ttf_text_height(TTF_FONT *font)
{
    return ttf_get_font_height(font);
}

void ttf_set_char_spacing(TTF_FONT *font, int pixels)
{
    if (font)
        font->char_spacing = pixels < 0 ? 0 : pixels > MAX_CHAR_SPACING ? MAX_CHAR_SPACING : pixels;
}

int ttf_get_char_spacing(TTF_FONT *font)
{
    return font ? font->char_spacing : 0;
}

int ttf_text_mode(int colour)
{
    int previous = ttf_default_bg;
    ttf_default_bg = colour;
    return previous;
}

// True is -1 (all bits set), false 0. A face without strikes is "fixed" too.
int ttf_is_fixed_font(TTF_FONT *font)
{
    return font && font->num_fixed_sizes >= 0 ? -1 : 0;
}

int ttf_is_scalable_font(TTF_FONT *font)
{
    return font && font->num_fixed_sizes < 0 ? -1 : 0;
}

int ttf_get_fixed_size_count(TTF_FONT *font)
{
    return font ? font->num_fixed_sizes : 0;
}

int *ttf_get_fixed_sizes(TTF_FONT *font)
{
    if (!font)
        return nullptr;
    fill_fixed_sizes(font);
    return font->fixed_sizes;
}
