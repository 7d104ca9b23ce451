// Draws the game's twelve bitmaps and writes them as 24-bit BMP files, or
// the desktop's icon images.
//
//   make_art OUTPUT_DIR WHITE.ttf WILLY.ttf
//   make_art --icons OUTPUT_DIR
//
// Everything is drawn from code and the character grids below, so the art
// lives in the repository as source and every build makes the same pixels.
// The dialogs' buttons, fields and tracks are placed from the geometry in
// ui/dialogs.h that the dialogs hit-test with, so art and hit areas cannot
// drift apart. Labels are drawn last, with the game's own text layer and two
// of the fonts that go into the datafile: AF_WHITE, the records dialog's own
// font, for the records labels, and AF_WILLY for captions and titles. Also
// writes dentivale.xpm, the window's icon as a file.
//
// --icons writes dentivale-<size>.pam (RGB with alpha) at every size of
// ICON_FILE_SIZES, drawn by shell/icon.cpp like the window's icon; the
// build turns them into PNG files.
//
// Look: warm browns of the scene, milk and dark chocolate, ivory enamel;
// pixels of bright magenta are the library's mask colour (transparent).
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell/icon.h"
#include "shell/resources.h"
#include "text/ttf.h"
#include "ui/dialogs.h"

namespace {

struct Rgb {
    int r, g, b;
};

int px(Rgb c) { return makecol(c.r, c.g, c.b); }

Rgb mix(Rgb a, Rgb b, int num, int den)  // a + (b - a) * num / den
{
    return {a.r + (b.r - a.r) * num / den, a.g + (b.g - a.g) * num / den,
            a.b + (b.b - a.b) * num / den};
}

// ---------------------------------------------------------------------------
// Palette.

constexpr Rgb MASK = {255, 0, 255};
constexpr Rgb INK = {46, 26, 16};            // outline of every sprite

// Milk chocolate: the covered cell.
constexpr Rgb MILK_GROOVE = {58, 36, 22};     // gap between two pieces
constexpr Rgb MILK_TOP_RIM = {230, 184, 130};
constexpr Rgb MILK_TOP = {200, 148, 96};
constexpr Rgb MILK_LEFT_RIM = {214, 166, 112};
constexpr Rgb MILK_LEFT = {184, 132, 84};
constexpr Rgb MILK_FLAT = {160, 108, 64};
constexpr Rgb MILK_SHINE = {186, 134, 86};
constexpr Rgb MILK_RIGHT = {128, 82, 48};
constexpr Rgb MILK_RIGHT_RIM = {104, 64, 36};
constexpr Rgb MILK_BOTTOM = {112, 70, 40};
constexpr Rgb MILK_BOTTOM_RIM = {86, 52, 28};

// Dark chocolate: knob, title bar, dialog frames.
constexpr Rgb DARK_SHINE = {176, 118, 74};
constexpr Rgb DARK_LIGHT = {140, 90, 54};
constexpr Rgb DARK_MID = {108, 66, 38};
constexpr Rgb DARK_LOW = {80, 46, 26};
constexpr Rgb DARK_DEEP = {60, 34, 18};

// Cream panels of the dialogs; the dialogs print on them in black.
constexpr Rgb CREAM_TOP = {248, 240, 220};
constexpr Rgb CREAM_BOTTOM = {232, 216, 184};
constexpr Rgb CREAM_ROW = {252, 248, 236};    // band behind a records line
constexpr Rgb CREAM_ROW_EDGE = {214, 194, 158};
constexpr Rgb LABEL = {92, 52, 26};           // labels drawn into the pictures

// Caramel buttons.
constexpr Rgb BUTTON_EDGE = {86, 50, 26};
constexpr Rgb BUTTON_SHINE = {255, 236, 200};
constexpr Rgb BUTTON_TOP = {242, 206, 150};
constexpr Rgb BUTTON_BOTTOM = {206, 156, 98};
constexpr Rgb BUTTON_SHADE = {172, 122, 70};
constexpr Rgb BUTTON_CAPTION = {74, 40, 18};
constexpr Rgb LIT_OUTER = {255, 214, 60};     // the bright frame of a lit button
constexpr Rgb LIT_INNER = {255, 246, 178};

// Text field and slider tracks.
constexpr Rgb FIELD_EDGE = {96, 60, 34};
constexpr Rgb FIELD_INSET = {206, 192, 168};
constexpr Rgb FIELD_WHITE = {255, 255, 255};
constexpr Rgb TRACK_EDGE = {104, 66, 38};
constexpr Rgb TRACK_FILL = {168, 120, 76};
constexpr Rgb TRACK_LIGHT = {196, 150, 100};
constexpr Rgb TICK = {150, 108, 70};

// ---------------------------------------------------------------------------
// Character grids. Each sprite's rows are equally long; '.' leaves the pixel
// as it is (the mask or the picture below), every other character is a
// colour of the grid's key.

struct Key {
    char c;
    Rgb colour;
};

template <int N>
void draw_grid(BITMAP *bmp, int x0, int y0, const char *const (&rows)[N], const Key *keys,
               int key_count)
{
    for (int y = 0; y < N; y++) {
        for (int x = 0; rows[y][x]; x++) {
            char c = rows[y][x];
            if (c == '.')
                continue;
            const Key *k = std::find_if(keys, keys + key_count, [c](const Key &e) { return e.c == c; });
            if (k == keys + key_count) {
                std::fprintf(stderr, "make_art: no colour for '%c'\n", c);
                std::exit(1);
            }
            putpixel(bmp, x0 + x, y0 + y, px(k->colour));
        }
    }
}

template <int N>
void check_grid(const char *name, const char *const (&rows)[N], int width)
{
    for (int y = 0; y < N; y++) {
        if (static_cast<int>(std::strlen(rows[y])) != width) {
            std::fprintf(stderr, "make_art: row %d of %s is not %d wide\n", y, name, width);
            std::exit(1);
        }
    }
}

// ---------------------------------------------------------------------------
// Shared shapes.

void fill(BITMAP *bmp, Rgb c) { clear_to_color(bmp, px(c)); }

// Rows y1..y2 of the columns x1..x2, from top colour to bottom colour.
void vertical_gradient(BITMAP *bmp, int x1, int y1, int x2, int y2, Rgb top, Rgb bottom)
{
    for (int y = y1; y <= y2; y++)
        hline(bmp, x1, y, x2, px(mix(top, bottom, y - y1, std::max(1, y2 - y1))));
}

// Whether (x, y) lies in the w x h rectangle with corners rounded by r,
// shrunk by inset on every side.
bool in_rounded(int x, int y, int w, int h, int r, int inset)
{
    int left = inset, top = inset, right = w - 1 - inset, bottom = h - 1 - inset;
    if (x < left || x > right || y < top || y > bottom)
        return false;
    int rr = std::max(0, r - inset);
    int cx = x < left + rr ? left + rr : x > right - rr ? right - rr : x;
    int cy = y < top + rr ? top + rr : y > bottom - rr ? bottom - rr : y;
    int dx = x - cx, dy = y - cy;
    // Slightly more than r squared keeps the arcs' flat pixels.
    return dx * dx + dy * dy <= rr * rr + rr;
}

// How many rings (x, y) lies inside the rounded rectangle: 0 on its edge.
// -1 outside.
int ring_of(int x, int y, int w, int h, int r)
{
    int ring = -1;
    while (in_rounded(x, y, w, h, r, ring + 1))
        ring++;
    return ring;
}

// True when (x, y), on the ring of that depth, faces the light (top, left).
bool lit_side(int x, int y, int w, int h, int ring)
{
    int to_top = y - ring, to_left = x - ring;
    int to_bottom = h - 1 - ring - y, to_right = w - 1 - ring - x;
    return std::min(to_top, to_left) < std::min(to_bottom, to_right) ||
           (std::min(to_top, to_left) == std::min(to_bottom, to_right) && to_top <= to_right);
}

// The frame every dialog shares: mask corners, an outline, a bevelled band
// of dark chocolate and a cream panel from ring 4 inwards.
constexpr int DIALOG_RADIUS = 5;
constexpr int DIALOG_BORDER = 4;  // rings of frame; the panel starts here

void draw_dialog_frame(BITMAP *bmp)
{
    int w = bmp->w, h = bmp->h;
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            int ring = ring_of(x, y, w, h, DIALOG_RADIUS);
            if (ring < 0) {
                putpixel(bmp, x, y, px(MASK));
                continue;
            }
            if (ring >= DIALOG_BORDER)
                continue;  // the panel, filled below
            bool lit = lit_side(x, y, w, h, ring);
            Rgb c = ring == 0   ? INK
                    : ring == 1 ? (lit ? DARK_SHINE : DARK_LOW)
                    : ring == 2 ? DARK_MID
                                : (lit ? DARK_DEEP : DARK_LIGHT);  // the panel sits lower
            putpixel(bmp, x, y, px(c));
        }
    }
    for (int y = DIALOG_BORDER; y < h - DIALOG_BORDER; y++) {
        Rgb c = mix(CREAM_TOP, CREAM_BOTTOM, y - DIALOG_BORDER, h - 2 * DIALOG_BORDER);
        for (int x = DIALOG_BORDER; x < w - DIALOG_BORDER; x++)
            if (ring_of(x, y, w, h, DIALOG_RADIUS) >= DIALOG_BORDER)
                putpixel(bmp, x, y, px(c));
    }
}

// A caramel button filling the rectangle, corners left to the picture.
// lit adds the bright frame that marks the button under the pointer.
constexpr int BUTTON_RADIUS = 3;

void draw_button(BITMAP *bmp, int left, int top, int width, int height, bool lit)
{
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            int ring = ring_of(x, y, width, height, BUTTON_RADIUS);
            if (ring < 0)
                continue;
            Rgb c = mix(BUTTON_TOP, BUTTON_BOTTOM, y, height - 1);
            if (ring == 0)
                c = lit ? LIT_OUTER : BUTTON_EDGE;
            else if (ring == 1 && lit)
                c = LIT_INNER;
            else if (ring == 1)
                c = lit_side(x, y, width, height, ring) ? BUTTON_SHINE : BUTTON_SHADE;
            putpixel(bmp, left + x, top + y, px(c));
        }
    }
}

// ---------------------------------------------------------------------------
// Fonts and labels, drawn after every picture.

struct Fonts {
    TTF_FONT *records = nullptr;   // AF_WHITE at the records dialog's 12
    TTF_FONT *caption = nullptr;   // AF_WILLY for button captions
    TTF_FONT *label = nullptr;     // AF_WILLY for the slider labels
} fonts;

constexpr int RECORDS_FONT_HEIGHT = 12;
constexpr int CAPTION_HEIGHT = 15;
constexpr int LABEL_HEIGHT = 17;

TTF_FONT *open_font(const char *path, int height)
{
    TTF_FONT *font = ttf_load_font(path);
    if (!font || ttf_set_font_size(font, height) != 0) {
        std::fprintf(stderr, "make_art: cannot open %s at line height %d\n", path, height);
        std::exit(1);
    }
    return font;
}

void caption(BITMAP *bmp, int left, int top, int width, int height, const char *text)
{
    int y = top + (height - ttf_get_font_height(fonts.caption)) / 2;
    ttf_textout_centre_aa_ex(bmp, fonts.caption, text, left + width / 2, y, px(BUTTON_CAPTION), -1);
}

// Sizes of B_ONOK and B_ONCAN, the lit buttons, and so of the buttons drawn
// into the dialogs. The OK hit areas reach one column and the records
// dialog's hit areas one row further than the bitmaps.
constexpr int OK_WIDTH = 43, ERASE_WIDTH = 91, BUTTON_HEIGHT = 21;

// ---------------------------------------------------------------------------
// B_CELL: a raised piece of milk chocolate. Its first row and column lie on
// the field's grid lines and form the groove to the neighbouring pieces.

void draw_cell_piece(BITMAP *bmp)
{
    constexpr int SIZE = 20, SLOPE = 3;
    fill(bmp, MILK_GROOVE);
    for (int y = 1; y < SIZE; y++) {
        for (int x = 1; x < SIZE; x++) {
            int to_top = y - 1, to_left = x - 1, to_right = SIZE - 1 - x, to_bottom = SIZE - 1 - y;
            int nearest = std::min(std::min(to_top, to_left), std::min(to_right, to_bottom));
            Rgb c = MILK_FLAT;
            if (nearest < SLOPE) {
                bool rim = nearest == 0;
                if (to_top == nearest && to_top <= to_right)
                    c = rim ? MILK_TOP_RIM : MILK_TOP;
                else if (to_left == nearest && to_left < to_bottom)
                    c = rim ? MILK_LEFT_RIM : MILK_LEFT;
                else if (to_bottom == nearest)
                    c = rim ? MILK_BOTTOM_RIM : MILK_BOTTOM;
                else
                    c = rim ? MILK_RIGHT_RIM : MILK_RIGHT;
            }
            putpixel(bmp, x, y, px(c));
        }
    }
    // A soft gleam on the flat top, upper left.
    hline(bmp, 5, 4, 8, px(MILK_SHINE));
    vline(bmp, 4, 5, 8, px(MILK_SHINE));
    putpixel(bmp, 5, 5, px(MILK_SHINE));
}

// ---------------------------------------------------------------------------
// B_FLAG: a red pennant on an ivory pole with a gold knob, planted in a
// crumb of chocolate; everything else is mask so the piece shows around it.

const char *const FLAG_ART[] = {
    "....................",
    "....ooo.............",
    "...oYYyo............",
    "...oYyyo............",
    "....oPpoooo.........",
    "....oPpRRRRooo......",
    "....oPprRRRRRRoo....",
    "....oPprrRRRRRRRoo..",
    "....oPprrrrrRRRrrdo.",
    "....oPprrrrrrrrrddo.",
    "....oPpdrrrrrrrddo..",
    "....oPpdddddrdddo...",
    "....oPpooooodddo....",
    "....oPpo....ooo.....",
    "....oPpo............",
    "....oPpo............",
    "..ooBPpBoo..........",
    ".oCCBBBBBBo.........",
    "..oooooooo..........",
    "....................",
};
const Key FLAG_KEY[] = {
    {'o', INK}, {'Y', {255, 226, 128}}, {'y', {204, 152, 60}},
    {'P', {246, 238, 220}}, {'p', {186, 170, 140}},
    {'R', {246, 88, 70}}, {'r', {214, 40, 38}}, {'d', {148, 22, 30}},
    {'B', {84, 50, 28}}, {'C', {126, 82, 48}},
};

// ---------------------------------------------------------------------------
// Teeth. A silhouette grid ('o' outline, '#' inside) is shaded from the
// light above left; marks such as eyes and cavities are grids laid over it.

struct Enamel {
    Rgb shine, body, shade, deep;
};

constexpr Enamel HEALTHY = {{255, 254, 248}, {242, 236, 218}, {212, 200, 170}, {174, 158, 124}};
constexpr Enamel YELLOWED = {{250, 238, 200}, {230, 210, 156}, {198, 172, 112}, {156, 126, 76}};

template <int N>
void draw_tooth(BITMAP *bmp, int x0, int y0, const char *const (&rows)[N], const Enamel &e)
{
    auto solid = [&](int x, int y) {
        if (y < 0 || y >= N || x < 0 || x >= static_cast<int>(std::strlen(rows[y])))
            return false;
        return rows[y][x] == '#';
    };
    for (int y = 0; y < N; y++) {
        for (int x = 0; rows[y][x]; x++) {
            char c = rows[y][x];
            if (c == 'o') {
                putpixel(bmp, x0 + x, y0 + y, px(INK));
                continue;
            }
            if (c != '#')
                continue;
            Rgb shade = e.body;
            if (!solid(x + 1, y) || !solid(x, y + 1) || !solid(x + 1, y + 1))
                shade = e.deep;
            else if (!solid(x + 2, y) || !solid(x, y + 2) || !solid(x + 2, y + 2))
                shade = e.shade;
            else if (!solid(x - 1, y) || !solid(x, y - 1))
                shade = e.shine;
            putpixel(bmp, x0 + x, y0 + y, px(shade));
        }
    }
}

// The small tooth, 17 x 21: B_SADT, and the emblems of the name entry.
const char *const SMALL_TOOTH[] = {
    "..ooooo...ooooo..",
    ".o#####o.o#####o.",
    "o#######o#######o",
    "o###############o",
    "o###############o",
    "o###############o",
    "o###############o",
    "o###############o",
    "o###############o",
    "o###############o",
    "o###############o",
    "o###############o",
    ".o#############o.",
    ".o#############o.",
    ".o######o######o.",
    ".o#####o.o#####o.",
    "..o####o.o####o..",
    "..o####o.o####o..",
    "..o###o...o###o..",
    "...o##o...o##o...",
    "....oo.....oo....",
};
const char *const SADT_DECAY[] = {
    ".................",
    "..WW.............",
    ".WW..............",
    ".W.........yy....",
    "..........ybby...",
    "..........bkkb...",
    "..........bkkby..",
    "...yy......bby...",
    "..ybby.......y...",
    "..ybky...........",
    "...yy............",
    ".................",
    "..........y......",
    ".........yby.....",
    ".................",
    ".................",
    "...y.............",
    "...yy.......y....",
    ".................",
    ".................",
    ".................",
};
const Key DECAY_KEY[] = {
    {'W', {252, 244, 214}}, {'y', {184, 140, 66}}, {'b', {118, 72, 36}}, {'k', {46, 24, 12}},
};

// The faces: one tooth, three moods, 30 x 29 each.
const char *const FACE_SHAPE[] = {
    "..............................",
    "........oooooo..oooooo........",
    "......oo######oo######oo......",
    ".....o##################o.....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    "....o####################o....",
    ".....o##################o.....",
    ".....o##################o.....",
    "......o################o......",
    "......o#######oo#######o......",
    "......o######o..o######o......",
    ".......o#####o..o#####o.......",
    ".......o#####o..o#####o.......",
    ".......o####o....o####o.......",
    "........o###o....o###o........",
    "........o##o......o##o........",
    ".........oo........oo.........",
    "..............................",
};

// Ready or playing: open eyes, a calm smile.
const char *const FACE_BHO[] = {
    "..............................",
    "..............................",
    "..............................",
    ".......WW.....................",
    "......WW......................",
    "......W.......................",
    "..............................",
    "..............................",
    "..............................",
    "..........ew......ew..........",
    "..........ee......ee..........",
    "..........ee......ee..........",
    "..............................",
    "......cc..............cc......",
    "...........m......m...........",
    "............mmmmmm............",
    "..............................",
};
// Won: shining white, happy closed eyes, a wide open grin, sparkles.
const char *const FACE_HAPPY[] = {
    "...........................+..",
    "..........................+*+.",
    "..+.......................+*+.",
    ".+*+..WW...................+..",
    "..+..WW.......................",
    ".....W........................",
    "..............................",
    "..............................",
    "..............................",
    "..........ee......ee..........",
    ".........e..e....e..e.........",
    "..............................",
    "......cc..............cc......",
    ".....ccc..mmmmmmmmmm..ccc.....",
    "..........mnnnnnnnnm..........",
    "...........mnnttnnm...........",
    "............mttttm............",
    ".............mmmm.............",
};
// Lost: yellowed and decayed, crossed-out eyes, a frown and a tear.
const char *const FACE_SAD[] = {
    "..............................",
    "..............................",
    "..................yy..........",
    ".................ybby.........",
    ".................bkkby........",
    ".................ybkb.........",
    "..................yy..........",
    "..............................",
    "..............................",
    ".........e.e......e.e.........",
    "..........e........e..........",
    ".........e.e......e.e.........",
    ".........T....................",
    "........TtT..............y....",
    "........TtT.............yby...",
    ".........T..mmmmmm.......y....",
    "...........m......m...........",
    "..............................",
    "..............................",
    "..............................",
    "..............................",
    "..............................",
    "..............................",
    "..........y...................",
    ".........yb...................",
};
const Key FACE_KEY[] = {
    {'W', {255, 255, 255}}, {'e', {34, 22, 16}}, {'w', {255, 255, 255}},
    {'c', {246, 176, 156}}, {'m', {106, 34, 30}}, {'n', {150, 46, 42}}, {'t', {234, 112, 112}},
    {'+', {255, 250, 220}}, {'*', {255, 222, 96}},
    {'T', {120, 180, 240}}, {'t', {210, 236, 255}},
    {'y', {184, 140, 66}}, {'b', {118, 72, 36}}, {'k', {46, 24, 12}},
};

// The face's own button surface: rings of colour around the tooth.
void draw_face_backdrop(BITMAP *bmp, Rgb centre, Rgb edge)
{
    constexpr int BANDS = 5;
    int cx2 = bmp->w - 1, cy2 = bmp->h - 1;  // doubled centre
    int reach = cx2 * cx2 + cy2 * cy2;       // squared doubled distance to a corner
    for (int y = 0; y < bmp->h; y++) {
        for (int x = 0; x < bmp->w; x++) {
            int dx = 2 * x - cx2, dy = 2 * y - cy2;
            int band = std::min(BANDS - 1, (dx * dx + dy * dy) * BANDS / reach * 2);
            putpixel(bmp, x, y, px(mix(centre, edge, band, BANDS - 1)));
        }
    }
}

template <int N>
void draw_face(BITMAP *bmp, Rgb centre, Rgb edge, const Enamel &enamel,
               const char *const (&marks)[N])
{
    draw_face_backdrop(bmp, centre, edge);
    draw_tooth(bmp, 0, 0, FACE_SHAPE, enamel);
    draw_grid(bmp, 0, 0, marks, FACE_KEY, sizeof FACE_KEY / sizeof FACE_KEY[0]);
}

// ---------------------------------------------------------------------------
// B_CHOCO: the slider knob, an upright bar of dark chocolate wrapped in gold
// foil at its middle.

const char *const CHOCO_ART[] = {
    ".oooooo.",
    "oSHHHHho",
    "oHhhhhmo",
    "ohmmmmlo",
    "ohmmmmlo",
    "ohmmmmlo",
    "ohmmmmlo",
    "olllllLo",
    "oGGGGGgo",
    "oGggGggo",
    "ogGgggfo",
    "oggGgffo",
    "ogggGgfo",
    "oGggfGgo",
    "ogGgffgo",
    "offfffFo",
    "oLLLLLLo",
    "oSHHHHho",
    "oHhhhhmo",
    "ohmmmmlo",
    "ohmmmmlo",
    "ohmmmmlo",
    "ohmmmmlo",
    "ohmmmmlo",
    "olllllLo",
    ".oooooo.",
};
const Key CHOCO_KEY[] = {
    {'o', {36, 20, 10}}, {'S', {206, 150, 104}}, {'H', DARK_SHINE}, {'h', DARK_LIGHT},
    {'m', DARK_MID}, {'l', DARK_LOW}, {'L', DARK_DEEP},
    {'G', {255, 232, 130}}, {'g', {224, 178, 64}}, {'f', {170, 124, 36}}, {'F', {128, 90, 24}},
};

// ---------------------------------------------------------------------------
// Small emblems for the dialogs.

const char *const MINI_TOOTH[] = {
    ".ooo.ooo.",
    "o###o###o",
    "o#######o",
    "o#######o",
    "o#######o",
    ".o#####o.",
    ".o##o##o.",
    ".o#o.o#o.",
    "..o...o..",
};

// A tiny field of size x size chocolate pieces, pitch 3, grooves between.
void draw_mini_field(BITMAP *bmp, int left, int top, int size)
{
    int extent = 3 * size;
    rectfill(bmp, left, top, left + extent, top + extent, px(INK));
    for (int r = 0; r < size; r++) {
        for (int c = 0; c < size; c++) {
            int x = left + 1 + 3 * c, y = top + 1 + 3 * r;
            putpixel(bmp, x, y, px(MILK_TOP_RIM));
            putpixel(bmp, x + 1, y, px(MILK_FLAT));
            putpixel(bmp, x, y + 1, px(MILK_FLAT));
            putpixel(bmp, x + 1, y + 1, px(MILK_RIGHT));
        }
    }
}

// ---------------------------------------------------------------------------
// B_HIGHSCORE: blank chocolate title bar with drips, three record lines,
// Erase and OK.

constexpr int TITLE_BOTTOM = 19;  // last row of the title bar

// Whether (x, y) below the title bar is chocolate melting off it: a
// scalloped edge of soft bulges, and here and there a drip, a thin stem
// ending in a round drop.
bool melted(int x, int y)
{
    int below = y - TITLE_BOTTOM;  // rows under the bar's last row, from 1
    // (centre, half width, depth) of each bulge of the edge.
    const int bulges[][3] = {{12, 9, 2}, {40, 12, 1}, {66, 10, 2}, {100, 14, 1},
                             {131, 9, 2}, {160, 12, 1}, {186, 9, 2}};
    for (const auto &b : bulges) {
        int dx = x - b[0];
        if (dx * dx < b[1] * b[1] && below * b[1] * b[1] <= b[2] * (b[1] * b[1] - dx * dx))
            return true;
    }
    // (x, row of the drop's top) of each drip.
    const int drips[][2] = {{17, 4}, {52, 2}, {73, 3}, {112, 1}, {139, 4}, {174, 2}};
    for (const auto &d : drips) {
        int dx = x - d[0], top = d[1];
        if (below < top && (dx == 0 || dx == 1 || (below == 1 && (dx == -1 || dx == 2))))
            return true;  // the stem, wider where it leaves the bar
        int row = below - top;
        if ((row == 0 || row == 3) && (dx == 0 || dx == 1))
            return true;
        if ((row == 1 || row == 2) && dx >= -1 && dx <= 2)
            return true;
    }
    return false;
}

constexpr int MELT_ROWS = 8;  // rows under the bar the melt may reach, above the first line

void draw_title_bar(BITMAP *bmp)
{
    int left = DIALOG_BORDER, right = bmp->w - 1 - DIALOG_BORDER;
    vertical_gradient(bmp, left, DIALOG_BORDER, right, TITLE_BOTTOM, DARK_LIGHT, DARK_LOW);
    hline(bmp, left, DIALOG_BORDER, right, px(DARK_SHINE));
    for (int y = TITLE_BOTTOM + 1; y <= TITLE_BOTTOM + MELT_ROWS; y++) {
        for (int x = left; x <= right; x++) {
            if (!melted(x, y))
                continue;
            bool rim = !melted(x, y + 1);
            bool gleam = !melted(x - 1, y) && !melted(x, y - 1);
            putpixel(bmp, x, y, px(rim ? DARK_DEEP : gleam ? DARK_LIGHT : DARK_LOW));
        }
    }
    // The bar's own bottom row darkens where nothing runs off it.
    for (int x = left; x <= right; x++)
        if (!melted(x, TITLE_BOTTOM + 1))
            putpixel(bmp, x, TITLE_BOTTOM, px(DARK_DEEP));
}

constexpr int RECORDS_ROW_LEFT = 7, RECORDS_ROW_RIGHT = 194;
constexpr int RECORDS_LABEL_X = 13;

// The dialog's own line step: its font's height plus the gap.
int records_line_step(void) { return ttf_get_font_height(fonts.records) + RECORDS_LINE_GAP; }

void draw_highscore(BITMAP *bmp)
{
    draw_dialog_frame(bmp);
    draw_title_bar(bmp);
    int step = records_line_step();
    for (int i = 0; i < 3; i++) {
        // A band around each line's text box, three rows above and below.
        int top = RECORDS_LINE_TOP + i * step - 3;
        int bottom = RECORDS_LINE_TOP + i * step + RECORDS_FONT_HEIGHT + 2;
        rectfill(bmp, RECORDS_ROW_LEFT, top, RECORDS_ROW_RIGHT, bottom, px(CREAM_ROW));
        rect(bmp, RECORDS_ROW_LEFT, top, RECORDS_ROW_RIGHT, bottom, px(CREAM_ROW_EDGE));
        putpixel(bmp, RECORDS_ROW_LEFT, top, px(CREAM_BOTTOM));
        putpixel(bmp, RECORDS_ROW_RIGHT, top, px(CREAM_BOTTOM));
        putpixel(bmp, RECORDS_ROW_LEFT, bottom, px(CREAM_BOTTOM));
        putpixel(bmp, RECORDS_ROW_RIGHT, bottom, px(CREAM_BOTTOM));
    }
    draw_button(bmp, RECORDS_ERASE.left, RECORDS_ERASE.top, ERASE_WIDTH, BUTTON_HEIGHT, false);
    draw_button(bmp, RECORDS_OK.left, RECORDS_OK.top, OK_WIDTH, BUTTON_HEIGHT, false);
}

void label_highscore(BITMAP *bmp)
{
    const char *const names[] = {"Easy:", "Medium:", "Hard:"};
    int step = records_line_step();
    for (int i = 0; i < 3; i++)
        ttf_textout_aa_ex(bmp, fonts.records, names[i], RECORDS_LABEL_X, RECORDS_LINE_TOP + i * step,
                          px(LABEL), -1);
    caption(bmp, RECORDS_ERASE.left, RECORDS_ERASE.top, ERASE_WIDTH, BUTTON_HEIGHT, "Erase");
    caption(bmp, RECORDS_OK.left, RECORDS_OK.top, OK_WIDTH, BUTTON_HEIGHT, "OK");
}

// B_ONOK and B_ONCAN: the same buttons, lit. Their corners are mask so the
// button under them keeps its own.
void draw_lit(BITMAP *bmp)
{
    fill(bmp, MASK);
    draw_button(bmp, 0, 0, bmp->w, bmp->h, true);
}

void label_lit(BITMAP *bmp, const char *text) { caption(bmp, 0, 0, bmp->w, bmp->h, text); }

// ---------------------------------------------------------------------------
// B_INPUT: a plain panel with the white name field and OK; the dialog
// prints the three heading lines above the field.

// Shining teeth beside the OK button: a new best time is a reward.
const char *const SHINE_MARKS[] = {
    "..............+..",
    ".............+*+.",
    "..WW..........+..",
    ".WW..............",
    ".W...............",
};
const Key SHINE_KEY[] = {{'W', {255, 255, 255}}, {'+', {255, 250, 220}}, {'*', {255, 214, 80}}};
constexpr int EMBLEM_TOP = 121;
constexpr int EMBLEM_LEFT_X = 30, EMBLEM_RIGHT_X = 133;

void draw_input(BITMAP *bmp)
{
    draw_dialog_frame(bmp);
    const DialogRect &f = INPUT_FIELD;
    rectfill(bmp, f.left, f.top, f.right, f.bottom, px(FIELD_WHITE));
    rect(bmp, f.left, f.top, f.right, f.bottom, px(FIELD_EDGE));
    hline(bmp, f.left + 1, f.top + 1, f.right - 1, px(FIELD_INSET));
    vline(bmp, f.left + 1, f.top + 1, f.bottom - 1, px(FIELD_INSET));
    draw_button(bmp, INPUT_OK.left, INPUT_OK.top, OK_WIDTH, BUTTON_HEIGHT, false);
    for (int x : {EMBLEM_LEFT_X, EMBLEM_RIGHT_X}) {
        draw_tooth(bmp, x, EMBLEM_TOP, SMALL_TOOTH, HEALTHY);
        draw_grid(bmp, x, EMBLEM_TOP, SHINE_MARKS, SHINE_KEY, sizeof SHINE_KEY / sizeof SHINE_KEY[0]);
    }
}

void label_input(BITMAP *bmp)
{
    caption(bmp, INPUT_OK.left, INPUT_OK.top, OK_WIDTH, BUTTON_HEIGHT, "OK");
}

// ---------------------------------------------------------------------------
// B_SLIDE: two labelled tracks under the knob positions, their ends marked
// with what they mean, and OK.

constexpr int KNOB_WIDTH = 8, KNOB_HEIGHT = 26;
constexpr int SIZE_LABEL_Y = 8, DENSITY_LABEL_Y = 66;

int knob_centre_x(int step) { return SLIDER_LEFT + SLIDER_KNOB_STEP * step + KNOB_WIDTH / 2; }

void draw_track(BITMAP *bmp, int knob_top)
{
    int cy = knob_top + KNOB_HEIGHT / 2;
    int left = knob_centre_x(0) - 3, right = knob_centre_x(SLIDER_STEPS - 1) + 3;
    // A groove of caramel, rounded at both ends.
    rectfill(bmp, left, cy - 2, right, cy + 2, px(TRACK_FILL));
    hline(bmp, left + 1, cy - 3, right - 1, px(TRACK_EDGE));
    hline(bmp, left + 1, cy + 3, right - 1, px(TRACK_EDGE));
    vline(bmp, left - 1, cy - 2, cy + 2, px(TRACK_EDGE));
    vline(bmp, right + 1, cy - 2, cy + 2, px(TRACK_EDGE));
    hline(bmp, left, cy - 2, right, px(TRACK_EDGE));   // inner shadow under the top edge
    hline(bmp, left + 1, cy + 2, right - 1, px(TRACK_LIGHT));
    // A tick under each step; the two ends tall, the rest short.
    for (int s = 0; s < SLIDER_STEPS; s++) {
        int x = knob_centre_x(s);
        bool end = s == 0 || s == SLIDER_STEPS - 1;
        vline(bmp, x, cy + 6, cy + (end ? 11 : 8), px(end ? TRACK_EDGE : TICK));
        vline(bmp, x, cy - 11 + (end ? 0 : 3), cy - 6, px(end ? TRACK_EDGE : TICK));
    }
}

void draw_slide(BITMAP *bmp)
{
    draw_dialog_frame(bmp);
    draw_track(bmp, SIZE_SLIDER_TOP);
    draw_track(bmp, DENSITY_SLIDER_TOP);
    // The ends of the size track: a small field and a large one.
    int size_cy = SIZE_SLIDER_TOP + KNOB_HEIGHT / 2;
    draw_mini_field(bmp, 14, size_cy - 4, 3);
    draw_mini_field(bmp, 157, size_cy - 8, 5);
    // The ends of the density track: one decayed tooth, then a crowd.
    int density_cy = DENSITY_SLIDER_TOP + KNOB_HEIGHT / 2;
    draw_tooth(bmp, 15, density_cy - 4, MINI_TOOTH, YELLOWED);
    draw_tooth(bmp, 161, density_cy - 10, MINI_TOOTH, YELLOWED);
    draw_tooth(bmp, 155, density_cy - 2, MINI_TOOTH, YELLOWED);
    draw_tooth(bmp, 165, density_cy + 1, MINI_TOOTH, YELLOWED);
    draw_button(bmp, SLIDE_OK.left, SLIDE_OK.top, OK_WIDTH, BUTTON_HEIGHT, false);
}

void label_slide(BITMAP *bmp)
{
    ttf_textout_centre_aa_ex(bmp, fonts.label, "Field size", SLIDE_WIDTH / 2, SIZE_LABEL_Y, px(LABEL), -1);
    ttf_textout_centre_aa_ex(bmp, fonts.label, "Decay density", SLIDE_WIDTH / 2, DENSITY_LABEL_Y,
                             px(LABEL), -1);
    caption(bmp, SLIDE_OK.left, SLIDE_OK.top, OK_WIDTH, BUTTON_HEIGHT, "OK");
}

// ---------------------------------------------------------------------------

struct Art {
    const char *name;
    int w, h;
    void (*draw)(BITMAP *);
    BITMAP *bmp;
};

void draw_sadt(BITMAP *bmp)
{
    fill(bmp, MASK);
    draw_tooth(bmp, 0, 0, SMALL_TOOTH, YELLOWED);
    draw_grid(bmp, 0, 0, SADT_DECAY, DECAY_KEY, sizeof DECAY_KEY / sizeof DECAY_KEY[0]);
}

void draw_flag(BITMAP *bmp)
{
    fill(bmp, MASK);
    draw_grid(bmp, 0, 0, FLAG_ART, FLAG_KEY, sizeof FLAG_KEY / sizeof FLAG_KEY[0]);
}

void draw_choco(BITMAP *bmp)
{
    fill(bmp, MASK);
    draw_grid(bmp, 0, 0, CHOCO_ART, CHOCO_KEY, sizeof CHOCO_KEY / sizeof CHOCO_KEY[0]);
}

void draw_bho(BITMAP *bmp) { draw_face(bmp, {150, 106, 72}, {96, 64, 42}, HEALTHY, FACE_BHO); }
void draw_happy(BITMAP *bmp) { draw_face(bmp, {236, 196, 110}, {150, 100, 52}, HEALTHY, FACE_HAPPY); }
void draw_sad(BITMAP *bmp) { draw_face(bmp, {104, 70, 72}, {54, 34, 34}, YELLOWED, FACE_SAD); }


Art art[] = {
    {"B_BHO", 30, 29, draw_bho, nullptr},
    {"B_CELL", 20, 20, draw_cell_piece, nullptr},
    {"B_CHOCO", 8, 26, draw_choco, nullptr},
    {"B_FLAG", 20, 20, draw_flag, nullptr},
    {"B_HAPPY", 30, 29, draw_happy, nullptr},
    {"B_HIGHSCORE", RECORDS_WIDTH, RECORDS_HEIGHT, draw_highscore, nullptr},
    {"B_INPUT", INPUT_WIDTH, INPUT_HEIGHT, draw_input, nullptr},
    {"B_ONCAN", ERASE_WIDTH, BUTTON_HEIGHT, draw_lit, nullptr},
    {"B_ONOK", OK_WIDTH, BUTTON_HEIGHT, draw_lit, nullptr},
    {"B_SAD", 30, 29, draw_sad, nullptr},
    {"B_SADT", 17, 21, draw_sadt, nullptr},
    {"B_SLIDE", SLIDE_WIDTH, SLIDE_HEIGHT, draw_slide, nullptr},
};

BITMAP *find(const char *name)
{
    for (Art &a : art)
        if (std::strcmp(a.name, name) == 0)
            return a.bmp;
    return nullptr;
}

void draw_labels(void)
{
    label_highscore(find("B_HIGHSCORE"));
    label_lit(find("B_ONCAN"), "Erase");
    label_lit(find("B_ONOK"), "OK");
    label_input(find("B_INPUT"));
    label_slide(find("B_SLIDE"));
}

void check_grids(void)
{
    check_grid("FLAG_ART", FLAG_ART, 20);
    check_grid("SMALL_TOOTH", SMALL_TOOTH, 17);
    check_grid("SADT_DECAY", SADT_DECAY, 17);
    check_grid("FACE_SHAPE", FACE_SHAPE, 30);
    check_grid("FACE_BHO", FACE_BHO, 30);
    check_grid("FACE_HAPPY", FACE_HAPPY, 30);
    check_grid("FACE_SAD", FACE_SAD, 30);
    check_grid("CHOCO_ART", CHOCO_ART, 8);
    check_grid("MINI_TOOTH", MINI_TOOTH, 9);
    check_grid("SHINE_MARKS", SHINE_MARKS, 17);
}

// The window's icon as an XPM file.
int write_icon(const std::string &path)
{
    FILE *out = std::fopen(path.c_str(), "w");
    if (!out)
        return -1;
    std::fprintf(out, "/* XPM */\nstatic const char *dentivale[] = {\n");
    int width = 0, height = 0, colours = 0;
    std::sscanf(dentivale_icon_xpm[0], "%d %d %d", &width, &height, &colours);
    int total = 1 + colours + height;  // header, colour lines, pixel rows
    for (int i = 0; i < total; i++)
        std::fprintf(out, "\"%s\"%s\n", dentivale_icon_xpm[i], i + 1 < total ? "," : "");
    std::fprintf(out, "};\n");
    return std::fclose(out) == 0 ? 0 : -1;
}

// One icon image as a PAM file: ImageMagick reads its alpha channel as
// it is, which a BMP from Allegro could not carry.
int write_icon_image(const std::string &path, int size)
{
    std::vector<unsigned char> rgba(static_cast<size_t>(size) * size * 4);
    render_icon_rgba(size, rgba.data());
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out)
        return -1;
    std::fprintf(out, "P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n",
                 size, size);
    bool written = std::fwrite(rgba.data(), 1, rgba.size(), out) == rgba.size();
    return std::fclose(out) == 0 && written ? 0 : -1;
}

int write_icon_images(const std::string &dir)
{
    for (int size : ICON_FILE_SIZES) {
        std::string path = dir + "/dentivale-" + std::to_string(size) + ".pam";
        if (write_icon_image(path, size) != 0) {
            std::fprintf(stderr, "make_art: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}

// The same images as a C++ source of palette and runs (icon.h), compiled
// into the game for the window's own icon property.
int write_window_icons(const std::string &path)
{
    std::vector<uint32_t> palette;
    std::vector<std::pair<size_t, int>> runs;  // palette index, length
    for (int size : ICON_FILE_SIZES) {
        std::vector<unsigned char> rgba(static_cast<size_t>(size) * size * 4);
        render_icon_rgba(size, rgba.data());
        for (size_t i = 0; i < rgba.size(); i += 4) {
            uint32_t argb = static_cast<uint32_t>(rgba[i + 3]) << 24 | rgba[i] << 16 | rgba[i + 1] << 8 | rgba[i + 2];
            size_t colour = std::find(palette.begin(), palette.end(), argb) - palette.begin();
            if (colour == palette.size())
                palette.push_back(argb);
            bool continues = i > 0 && !runs.empty() && runs.back().first == colour && runs.back().second < UINT16_MAX;
            if (continues)
                runs.back().second++;
            else
                runs.push_back({colour, 1});
        }
    }
    FILE *out = std::fopen(path.c_str(), "w");
    if (!out)
        return -1;
    std::fprintf(out, "// Drawn by tools/make_art --window-icons; see icon.h.\n#include \"shell/icon.h\"\n\n"
                      "const uint32_t window_icon_palette[] = {");
    for (size_t i = 0; i < palette.size(); i++)
        std::fprintf(out, "%s0x%08X,", i % 8 ? " " : "\n    ", static_cast<unsigned>(palette[i]));
    std::fprintf(out, "\n};\n\nconst IconRun window_icon_runs[] = {");
    for (size_t i = 0; i < runs.size(); i++)
        std::fprintf(out, "%s{%zu, %d},", i % 8 ? " " : "\n    ", runs[i].first, runs[i].second);
    std::fprintf(out, "\n};\n");
    return std::fclose(out) == 0 ? 0 : -1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--icons") == 0)
        return write_icon_images(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--window-icons") == 0)
        return write_window_icons(argv[2]) == 0 ? 0 : 1;
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_art OUTPUT_DIR WHITE.ttf WILLY.ttf\n"
                             "       make_art --icons OUTPUT_DIR\n"
                             "       make_art --window-icons OUTPUT.cpp\n");
        return 2;
    }
    std::string dir = argv[1];
    check_grids();
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0) {
        std::fprintf(stderr, "make_art: Allegro did not start: %s\n", allegro_error);
        return 1;
    }
    set_color_depth(24);
    if (ttf_init() != 0) {
        std::fprintf(stderr, "make_art: FreeType did not start\n");
        return 1;
    }
    fonts.records = open_font(argv[2], RECORDS_FONT_HEIGHT);
    fonts.caption = open_font(argv[3], CAPTION_HEIGHT);
    fonts.label = open_font(argv[3], LABEL_HEIGHT);

    for (Art &a : art) {
        a.bmp = create_bitmap(a.w, a.h);
        a.draw(a.bmp);
    }
    draw_labels();

    int status = 0;
    for (Art &a : art) {
        std::string path = dir + "/" + a.name + ".bmp";
        if (save_bmp(path.c_str(), a.bmp, nullptr) != 0) {
            std::fprintf(stderr, "make_art: cannot write %s\n", path.c_str());
            status = 1;
        }
        destroy_bitmap(a.bmp);
    }
    if (write_icon(dir + "/dentivale.xpm") != 0) {
        std::fprintf(stderr, "make_art: cannot write the icon\n");
        status = 1;
    }
    ttf_destroy_font(fonts.records);
    ttf_destroy_font(fonts.caption);
    ttf_destroy_font(fonts.label);
    ttf_exit();
    return status;
}
