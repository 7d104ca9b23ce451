// Renders the bitmaps of a datafile four times enlarged onto one sheet, for
// judging the art by eye.
//
//   make_contact_sheet DATAFILE OUTPUT.bmp
//
// Mask pixels show the checkerboard behind them. Below the bitmaps, a strip
// at twice the size puts them together as the game does: pieces on the
// field with its grid, a flag, a tooth, the faces in their bevels, the
// counter's icon, and each dialog over the scene with its buttons lit and
// its knobs placed.
#include <allegro.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "shell/resources.h"
#include "text/ttf.h"
#include "ui/dialogs.h"

namespace {

constexpr int ZOOM = 4, CONTEXT_ZOOM = 2;
constexpr int MARGIN = 16, CAPTION = 14, SHEET_WIDTH = 1640;

int rgb(int r, int g, int b) { return makecol(r, g, b); }

// The scene's colours the mock-ups need.
int background(void) { return rgb(91, 63, 53); }
int panel(void) { return rgb(57, 36, 24); }
int grid_line(void) { return rgb(140, 110, 50); }

void checkerboard(BITMAP *sheet, int x, int y, int w, int h)
{
    constexpr int SQUARE = 8;
    for (int j = 0; j < h; j += SQUARE)
        for (int i = 0; i < w; i += SQUARE)
            rectfill(sheet, x + i, y + j, x + std::min(i + SQUARE, w) - 1, y + std::min(j + SQUARE, h) - 1,
                     ((i + j) / SQUARE) % 2 ? rgb(200, 200, 200) : rgb(236, 236, 236));
}

// Places items left to right, wrapping at the sheet's width.
struct Flow {
    int x = MARGIN, y = MARGIN, row_height = 0;

    void place(int w, int h, int *out_x, int *out_y)
    {
        if (x + w > SHEET_WIDTH - MARGIN && x > MARGIN)
            newline();
        *out_x = x;
        *out_y = y;
        x += w + MARGIN;
        row_height = std::max(row_height, h);
    }
    void newline(void)
    {
        x = MARGIN;
        y += row_height + MARGIN;
        row_height = 0;
    }
};

void show_enlarged(BITMAP *sheet, Flow &flow, BITMAP *bmp, const char *name)
{
    int w = bmp->w * ZOOM, h = bmp->h * ZOOM, x, y;
    flow.place(std::max(w, 8 * 14), h + CAPTION, &x, &y);
    textprintf_ex(sheet, font, x, y, rgb(40, 24, 16), -1, "%s %dx%d", name, bmp->w, bmp->h);
    checkerboard(sheet, x, y + CAPTION, w, h);
    masked_stretch_blit(bmp, sheet, 0, 0, bmp->w, bmp->h, x, y + CAPTION, w, h);
}

// A mock-up drawn at 1:1 into its own bitmap, then shown enlarged.
void show_context(BITMAP *sheet, Flow &flow, BITMAP *mock, const char *name)
{
    int w = mock->w * CONTEXT_ZOOM, h = mock->h * CONTEXT_ZOOM, x, y;
    flow.place(w, h + CAPTION, &x, &y);
    textout_ex(sheet, font, name, x, y, rgb(40, 24, 16), -1);
    stretch_blit(mock, sheet, 0, 0, mock->w, mock->h, x, y + CAPTION, w, h);
}

DATAFILE *data;  // the datafile shown

BITMAP *bmp_of(int object) { return static_cast<BITMAP *>(data[object].dat); }

// Four rows of a field: pieces, a flag, the hover glow's place, opened
// cells, and a lost row of teeth.
BITMAP *mock_field(void)
{
    constexpr int COLS = 6, ROWS = 4, LEFT = 13, TOP = 12;
    BITMAP *m = create_bitmap(LEFT + 20 * COLS + 13, TOP + 20 * ROWS + 40);
    clear_to_color(m, panel());
    rectfill(m, 10, 9, 20 * COLS + 16, 20 * ROWS + 15, background());
    for (int i = 0; i <= COLS; i++)
        vline(m, LEFT + 20 * i, TOP, TOP + 20 * ROWS, grid_line());
    for (int j = 0; j <= ROWS; j++)
        hline(m, LEFT, TOP + 20 * j, LEFT + 20 * COLS, grid_line());
    for (int r = 0; r < ROWS; r++) {
        for (int c = 0; c < COLS; c++) {
            int x = LEFT + 20 * c, y = TOP + 20 * r;
            bool opened = r >= 2 && c >= 2;
            if (opened) {
                if ((r + c) % 3 == 0)
                    draw_sprite(m, bmp_of(DAT_B_SADT), x + 1, y);
                continue;
            }
            draw_sprite(m, bmp_of(DAT_B_CELL), x, y);
            if ((r == 0 && c == 3) || (r == 1 && c == 1) || (r == 3 && c == 0))
                draw_sprite(m, bmp_of(DAT_B_FLAG), x, y);
        }
    }
    // The counter box with its tooth.
    int box_top = TOP + 20 * ROWS + 8;
    rectfill(m, 10, box_top, 83, box_top + 24, rgb(60, 0, 0));
    rect(m, 10, box_top, 83, box_top + 24, rgb(45, 14, 12));
    draw_sprite(m, bmp_of(DAT_B_SADT), 13, box_top + 2);
    return m;
}

// The three faces in the scene's two-pixel bevel.
BITMAP *mock_faces(void)
{
    BITMAP *m = create_bitmap(3 * 40 + 6, 41);
    clear_to_color(m, panel());
    const int faces[] = {DAT_B_BHO, DAT_B_HAPPY, DAT_B_SAD};
    for (int i = 0; i < 3; i++) {
        int l = 4 + 40 * i, t = 4;  // bevel's top-left, as at (103, 4) in the scene
        rectfill(m, l, t, l + 31, t + 1, rgb(88, 60, 48));
        rectfill(m, l, t, l + 1, t + 32, rgb(88, 60, 48));
        rectfill(m, l + 2, t + 31, l + 33, t + 32, rgb(35, 22, 15));
        rectfill(m, l + 32, t, l + 33, t + 32, rgb(35, 22, 15));
        draw_sprite(m, bmp_of(faces[i]), l + 2, t + 2);
    }
    return m;
}

// Fonts made from the datafile's objects, sized as the dialogs use them.
TTF_FONT *records_font, *heading_font, *name_font;

TTF_FONT *font_of(int object, int height)
{
    TTF_FONT *f = ttf_load_font_from_mem(data[object].dat, static_cast<int>(data[object].size));
    if (f)
        ttf_set_font_size(f, height);
    return f;
}

// The lines the records dialog prints, at its positions (dialog at 8, 8).
void print_records(BITMAP *m)
{
    const char *names[] = {"Quibo", "Wilhelmi", "Z"};
    const int seconds[] = {60, 600, 6000};
    int step = ttf_get_font_height(records_font) + RECORDS_LINE_GAP;
    for (int i = 0; i < 3; i++) {
        int y = 8 + RECORDS_LINE_TOP + i * step;
        ttf_textprintf_right_aa_ex(m, records_font, 8 + RECORDS_TIME_RIGHT, y, makecol(0, 0, 0), -1,
                                   "%ds", seconds[i]);
        ttf_textprintf_right_aa_ex(m, records_font, 8 + RECORDS_NAME_RIGHT, y, makecol(0, 0, 0), -1,
                                   "%s", names[i]);
    }
}

// The name entry's headings, a typed name and the caret.
void print_name_entry(BITMAP *m)
{
    const char *lines[] = {"Best time for", "the Intermediate level.", "Insert your name:"};
    int step = ttf_get_font_height(heading_font) + INPUT_HEADING_GAP;
    for (int k = 0; k < 3; k++)
        ttf_textout_centre_aa_ex(m, heading_font, lines[k], 8 + INPUT_WIDTH / 2,
                                 8 + INPUT_HEADING_TOP + k * step, makecol(0, 0, 0), -1);
    const char *name = "Wilhelmi";
    ttf_textout_aa_ex(m, name_font, name, 8 + INPUT_NAME_X, 8 + INPUT_NAME_Y, makecol(0, 0, 0), -1);
    int caret = 8 + INPUT_NAME_X + ttf_text_length(name_font, name);
    vline(m, caret, 8 + INPUT_CARET_TOP, 8 + INPUT_CARET_BOTTOM, makecol(0, 0, 0));
}

// A dialog over the scene's colours with the given lit buttons and knobs.
BITMAP *mock_dialog(int object, int lit_a, int ax, int ay, int lit_b, int bx, int by)
{
    BITMAP *bg = bmp_of(object);
    BITMAP *m = create_bitmap(bg->w + 16, bg->h + 16);
    clear_to_color(m, background());
    rectfill(m, 3, 3, m->w - 4, m->h - 4, panel());
    draw_sprite(m, bg, 8, 8);
    if (lit_a >= 0)
        draw_sprite(m, bmp_of(lit_a), 8 + ax, 8 + ay);
    if (lit_b >= 0)
        draw_sprite(m, bmp_of(lit_b), 8 + bx, 8 + by);
    return m;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_contact_sheet DATAFILE OUTPUT.bmp\n");
        return 2;
    }
    if (install_allegro(SYSTEM_NONE, &errno, std::atexit) != 0)
        return 1;
    set_color_depth(24);
    data = load_datafile(argv[1]);
    if (!data) {
        std::fprintf(stderr, "contact_sheet: cannot read %s\n", argv[1]);
        return 1;
    }

    BITMAP *sheet = create_bitmap(SHEET_WIDTH, 4000);  // cropped to what was placed
    clear_to_color(sheet, rgb(250, 246, 238));
    Flow flow;
    const int small[] = {DAT_B_CELL, DAT_B_FLAG, DAT_B_SADT, DAT_B_CHOCO, DAT_B_BHO,
                         DAT_B_HAPPY, DAT_B_SAD, DAT_B_ONOK, DAT_B_ONCAN};
    for (int object : small)
        show_enlarged(sheet, flow, bmp_of(object), get_datafile_property(&data[object], DAT_NAME));
    flow.newline();
    for (int object : {DAT_B_HIGHSCORE, DAT_B_INPUT, DAT_B_SLIDE})
        show_enlarged(sheet, flow, bmp_of(object), get_datafile_property(&data[object], DAT_NAME));
    flow.newline();

    ttf_init();
    records_font = font_of(DAT_AF_WHITE, 12);
    heading_font = font_of(DAT_AF_ARIAL, 18);
    name_font = font_of(DAT_AF_WHITE, 16);
    BITMAP *records = mock_dialog(DAT_B_HIGHSCORE, DAT_B_ONCAN, RECORDS_ERASE.left, RECORDS_ERASE.top,
                                  DAT_B_ONOK, RECORDS_OK.left, RECORDS_OK.top);
    BITMAP *name_entry = mock_dialog(DAT_B_INPUT, DAT_B_ONOK, INPUT_OK.left, INPUT_OK.top, -1, 0, 0);
    if (records_font && heading_font && name_font) {
        print_records(records);
        print_name_entry(name_entry);
    }
    BITMAP *mocks[] = {
        mock_field(),
        mock_faces(),
        records,
        name_entry,
        mock_dialog(DAT_B_SLIDE, DAT_B_CHOCO, SLIDER_LEFT, SIZE_SLIDER_TOP, DAT_B_CHOCO,
                    SLIDER_LEFT + 3 * SLIDER_KNOB_STEP, DENSITY_SLIDER_TOP),
        mock_dialog(DAT_B_SLIDE, DAT_B_ONOK, SLIDE_OK.left, SLIDE_OK.top, DAT_B_CHOCO,
                    SLIDER_LEFT + 4 * SLIDER_KNOB_STEP, SIZE_SLIDER_TOP),
    };
    const char *names[] = {"field, flags, teeth, counter", "faces in their bevel",
                           "records, both lit", "name entry, OK lit", "customize, knobs at 0 and 3",
                           "customize, OK lit, knob at 4"};
    for (int i = 0; i < static_cast<int>(sizeof mocks / sizeof mocks[0]); i++) {
        show_context(sheet, flow, mocks[i], names[i]);
        destroy_bitmap(mocks[i]);
    }
    flow.newline();

    BITMAP *out = create_sub_bitmap(sheet, 0, 0, SHEET_WIDTH, flow.y);
    int status = save_bmp(argv[2], out, nullptr) == 0 ? 0 : 1;
    destroy_bitmap(out);
    destroy_bitmap(sheet);
    ttf_destroy_font(records_font);
    ttf_destroy_font(heading_font);
    ttf_destroy_font(name_font);
    ttf_exit();
    unload_datafile(data);
    return status;
}
