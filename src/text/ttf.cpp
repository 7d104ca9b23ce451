// Placeholder until the text layer lands: no fonts open, nothing is drawn.
#include "ttf.h"

int ttf_default_bg;

int ttf_init(void) { return 0; }
void ttf_exit(void) {}
TTF_FONT *ttf_load_font_from_mem(const void *, int) { return nullptr; }
TTF_FONT *ttf_load_font(const char *) { return nullptr; }
void ttf_destroy_font(TTF_FONT *) {}
int ttf_set_font_size(TTF_FONT *, int) { return -1; }
int ttf_get_font_height(TTF_FONT *font) { return font ? font->height : 20; }
int ttf_text_height(TTF_FONT *font) { return ttf_get_font_height(font); }
int ttf_text_mode(int colour) { int old = ttf_default_bg; ttf_default_bg = colour; return old; }
void ttf_textout_aa(BITMAP *, TTF_FONT *, const char *, int, int, int) {}
void ttf_textprintf_aa(BITMAP *, TTF_FONT *, int, int, int, const char *, ...) {}
