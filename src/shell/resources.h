// The art and fonts that travel inside the executable as an attached datafile.
#ifndef DENTIVALE_SHELL_RESOURCES_H
#define DENTIVALE_SHELL_RESOURCES_H

#include <allegro.h>

#include "../text/ttf.h"

// Slots of bitmap_table.
enum {
    BMP_CELL = 0,       // B_CELL, a covered cell; 20 x 20, the board's cell pitch
    BMP_SADT = 1,       // B_SADT, a decayed tooth; also the counter's icon
    BMP_FLAG = 2,       // B_FLAG, over a covered cell
    BMP_HIGHSCORE = 3,  // B_HIGHSCORE, records dialog background
    BMP_ONOK = 4,       // B_ONOK, lit OK button of every dialog
    BMP_ONCAN = 5,      // B_ONCAN, lit Erase button of the records dialog
    BMP_INPUT = 6,      // B_INPUT, name entry dialog background
    BMP_SLIDE = 7,      // B_SLIDE, customize dialog background
    BMP_CHOCO = 8,      // B_CHOCO, slider knob
    BMP_HAPPY = 9,      // B_HAPPY, face after a win
    BMP_BHO = 10,       // B_BHO, face while ready or playing
    BMP_SAD = 11,       // B_SAD, face after a loss
    BITMAP_SLOTS = 16,  // slots 12..15 stay null
};

// Slots of font_table; each holds its own font object at its own size.
enum {
    FONT_STATUS = 0,    // AF_WHITE 16: counter and clock
    FONT_TITLE = 1,     // AF_WILLY 24: the "Game..." label
    FONT_MENU = 2,      // AF_WILLY 20: menu rows, their bands, the cell numbers
    FONT_HEADING = 3,   // AF_ARIAL 18: name entry headings
    FONT_NAME = 4,      // AF_WHITE 16: the name being typed
    FONT_RECORDS = 5,   // AF_WHITE 12: the records dialog
    FONT_SLOTS = 10,    // slots 6..9 stay null
};

// Objects of the datafile, sorted by name as the datafile tool stores them.
enum {
    DAT_AF_ARIAL, DAT_AF_WHITE, DAT_AF_WILLY,
    DAT_B_BHO, DAT_B_CELL, DAT_B_CHOCO, DAT_B_FLAG, DAT_B_HAPPY, DAT_B_HIGHSCORE,
    DAT_B_INPUT, DAT_B_ONCAN, DAT_B_ONOK, DAT_B_SAD, DAT_B_SADT, DAT_B_SLIDE,
    DAT_GRABBER_INFO,
    DAT_OBJECT_COUNT,
};

extern DATAFILE *resources;              // the loaded datafile; owns every bitmap
extern BITMAP *bitmap_table[BITMAP_SLOTS];
extern TTF_FONT *font_table[FONT_SLOTS];

// Loads the datafile at path ("#" for the one attached to the running
// executable), after the first display set-up so that the bitmaps convert
// to its colour depth. Returns 0, or -1 when the datafile is missing or
// damaged (its bytes are checked before Allegro reads them; a path holding
// '#' other than "#" itself is refused) or any object or font is not what
// the game draws with; the tables are then empty again and resource_error
// names what was wrong.
int load_resources(const char *path = "#");
void unload_resources(void);
extern char resource_error[160];

// The window's icon as XPM rows (header, colours, pixels), for window
// managers that read only the old icon hint. Allegro's X11 port reads it
// through allegro_icon while allegro_init creates the window; desktop.cpp
// hands it over.
extern const char *dentivale_icon_xpm[];

#endif
