// The happy tooth of the program's icons, drawn from one description of
// shapes at any size: the window's icon (dentivale_icon_xpm, resources.h)
// and the desktop's icon files (tools/make_art) are made by the same code.
#ifndef DENTIVALE_SHELL_ICON_H
#define DENTIVALE_SHELL_ICON_H

#include <cstdint>

// Sizes, in pixels, of the icon files the build writes for desktops.
constexpr int ICON_FILE_SIZES[] = {16, 32, 48, 64, 128, 256};

// Side of the window's icon; also the grid the shapes are described on.
constexpr int ICON_WINDOW_SIZE = 32;

// Draws the icon size x size into rgba (size * size * 4 bytes, rows top
// down, red, green, blue, alpha; alpha 0 around the tooth). Edges are
// smoothed: a pixel's colour is the mean of its covered samples and its
// alpha the share of them that is covered.
void render_icon_rgba(int size, unsigned char *rgba);

// The images of the icon files again, for the window (X11's _NET_WM_ICON),
// drawn at build time by tools/make_art --window-icons: drawing the large
// ones at start-up would cost a tenth of a second. Every size in turn, rows
// top down, as runs of one colour of the palette (0xAARRGGBB); a run never
// crosses from one size to the next.
struct IconRun {
    uint16_t colour;  // index into window_icon_palette
    uint16_t count;   // pixels
};
extern const uint32_t window_icon_palette[];
extern const IconRun window_icon_runs[];

#endif
