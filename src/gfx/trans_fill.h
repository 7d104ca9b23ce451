// Blending one solid colour into a rectangle of a 15-, 16- or 32-bit bitmap.
#ifndef DENTIVALE_GFX_TRANS_FILL_H
#define DENTIVALE_GFX_TRANS_FILL_H

#include <allegro.h>

// Blends colour c (a pixel value in bmp's format, as makecol gives it) into
// columns x..x+w-1 and rows y..y+h-1, clipped to the whole bitmap (not its
// clip rectangle). Strength 0 (or below) changes nothing, 255 fills solid;
// anything above 255 is taken as 255. Every colour field is blended on its
// own and exactly, and the spare bits of the pixels (bit 15 at 15 bits, the
// top byte at 32 bits) come out 0. 8- and 24-bit bitmaps are left untouched.
void trans_rectfill(BITMAP *bmp, int x, int y, int w, int h, int c, int fact);

// The row loops behind trans_rectfill. They give the same pixels; which one
// runs is a matter of speed, chosen from the processor's features on first
// use. Tests and benchmarks may force one.
enum TransFillLoop {
    TRANS_FILL_PORTABLE,  // plain C++, two 16-bit pixels per 32-bit word
    TRANS_FILL_MMX,       // 64-bit MMX registers
    TRANS_FILL_SSE2,      // 128-bit SSE2 registers
    TRANS_FILL_AVX2,      // 256-bit AVX2 registers
    TRANS_FILL_LOOPS      // count of the above
};

// 1 when this build holds the loop and the processor can run it, else 0.
int trans_fill_loop_available(TransFillLoop loop);

// The loop trans_rectfill uses from now on: 0, or -1 (and no change) when
// the loop is not available.
int trans_fill_force_loop(TransFillLoop loop);

// Back to the loop the processor's features choose.
void trans_fill_auto_loop(void);

// The loop in use, and a short name for it ("portable", "mmx", "sse2", "avx2").
TransFillLoop trans_fill_current_loop(void);
const char *trans_fill_loop_name(TransFillLoop loop);

#endif
