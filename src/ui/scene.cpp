// The game scene, redrawn from scratch every pass.
#include "scene.h"

#include "../gfx/trans_fill.h"
#include "../shell/menu/menu.h"
#include "../shell/resources.h"
#include "../text/ttf.h"

using namespace layout;

namespace {

int colour(Rgb c) { return makecol(c.r, c.g, c.b); }

// A two-pixel bevel around a button, light above and left, dark below and
// right; the dark edges are drawn last so they own the corners they share.
void draw_bevel(BITMAP *target, int left, int top, int right, int bottom)
{
    int light = colour(palette::BEVEL_LIGHT), dark = colour(palette::BEVEL_DARK);
    rectfill(target, left, top, right - BEVEL, top + BEVEL - 1, light);
    rectfill(target, left, top, left + BEVEL - 1, bottom, light);
    rectfill(target, left + BEVEL, bottom - BEVEL + 1, right, bottom, dark);
    rectfill(target, right - BEVEL + 1, top, right, bottom, dark);
}

void draw_field(BITMAP *target)
{
    rectfill(target, FIELD_FRAME_LEFT, FIELD_FRAME_TOP, CELL_SIZE * cols + FIELD_FRAME_RIGHT_PAD,
             CELL_SIZE * rows + FIELD_FRAME_BOTTOM_PAD, colour(palette::BACKGROUND));

    // One more line than cells each way: the outermost lines close the grid.
    int cw = bitmap_table[BMP_CELL]->w, ch = bitmap_table[BMP_CELL]->h;
    int grid = colour(palette::GRID);
    for (int i = 0; i <= cols; i++)
        vline(target, BOARD_LEFT + cw * i, BOARD_TOP, BOARD_TOP + ch * rows, grid);
    for (int j = 0; j <= rows; j++)
        hline(target, BOARD_LEFT, BOARD_TOP + ch * j, BOARD_LEFT + cw * cols, grid);

    for (int c = 0; c < cols; c++)
        for (int r = 0; r < rows; r++)
            draw_cell(cell_at(c, r), target, BOARD_LEFT + cw * c, BOARD_TOP + ch * r);
}

void draw_box(BITMAP *target, int left, int top, int right, int bottom)
{
    rectfill(target, left, top, right, bottom, colour(palette::BOX_FILL));
    rect(target, left, top, right, bottom, colour(palette::BOX_OUTLINE));
}

void draw_status_line(BITMAP *target)
{
    int sw = target->w, sh = target->h;
    rectfill(target, STRIP_LEFT, sh - STRIP_TOP_FROM_BOTTOM, sw - STRIP_RIGHT_FROM_RIGHT,
             sh - STRIP_BOTTOM_FROM_BOTTOM, colour(palette::BACKGROUND));
    int box_top = sh - BOX_TOP_FROM_BOTTOM, box_bottom = sh - BOX_BOTTOM_FROM_BOTTOM;
    draw_box(target, COUNTER_LEFT, box_top, COUNTER_RIGHT, box_bottom);
    draw_box(target, sw - CLOCK_LEFT_FROM_RIGHT, box_top, sw - CLOCK_RIGHT_FROM_RIGHT, box_bottom);

    // Counter and clock print on an opaque box of the boxes' own fill; every
    // other text of the game blends, so transparency is put back at once.
    ttf_text_mode(colour(palette::BOX_FILL));
    TTF_FONT *font = font_table[FONT_STATUS];
    int text_y = sh - TEXT_TOP_FROM_BOTTOM, text_colour = colour(palette::BOX_TEXT);
    ttf_textprintf_aa(target, font, COUNTER_TEXT_LEFT, text_y, text_colour, " :%3d", teeth_left);
    // ticks are sixtieths of a second: minutes, seconds, sixtieths.
    ttf_textprintf_aa(target, font, sw - CLOCK_TEXT_LEFT_FROM_RIGHT, text_y, text_colour,
                      "%02u:%02u:%02u", ticks / 3600, ticks / 60 % 60, ticks % 60);
    draw_sprite(target, bitmap_table[BMP_SADT], COUNTER_ICON_LEFT, sh - COUNTER_ICON_TOP_FROM_BOTTOM);
    ttf_text_mode(-1);
}

void draw_face(BITMAP *target, bool game_over, bool lost)
{
    BITMAP *face = bitmap_table[lost ? BMP_SAD : game_over ? BMP_HAPPY : BMP_BHO];
    draw_bevel(target, FACE_LEFT - BEVEL, BUTTON_TOP, FACE_LEFT + face->w + BEVEL - 1, BUTTON_BOTTOM);
    draw_sprite(target, face, FACE_LEFT, FACE_TOP);
}

void draw_title(BITMAP *target)
{
    draw_bevel(target, TITLE_LEFT, BUTTON_TOP, TITLE_RIGHT, BUTTON_BOTTOM);
    if (game_menu->title_hot())
        rectfill(target, TITLE_LIT_LEFT, TITLE_LIT_TOP, TITLE_LIT_RIGHT, TITLE_LIT_BOTTOM,
                 colour(palette::TITLE_LIT));

    // Four black copies a pixel right, left, down and up outline the label.
    static const int outline[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    TTF_FONT *font = font_table[FONT_TITLE];
    for (const auto &d : outline)
        ttf_textout_aa(target, font, "Game...", TITLE_TEXT_X + d[0], TITLE_TEXT_Y + d[1],
                       colour(palette::TITLE_OUTLINE));
    ttf_textout_aa(target, font, "Game...", TITLE_TEXT_X, TITLE_TEXT_Y, colour(palette::TITLE_TEXT));
}

void draw_menu(BITMAP *target)
{
    int h = menu_row_height();
    int height = MENU_ITEM_COUNT * h + h / 2;
    trans_rectfill(target, MENU_PANEL_LEFT, MENU_PANEL_TOP, MENU_PANEL_WIDTH, height,
                   colour(palette::MENU_PANEL), MENU_PANEL_STRENGTH);
    // One pixel outside the panel at the right and bottom, on it at the left and top.
    rect(target, MENU_PANEL_LEFT, MENU_PANEL_TOP, MENU_PANEL_LEFT + MENU_PANEL_WIDTH,
         MENU_PANEL_TOP + height, colour(palette::MENU_OUTLINE));

    for (int i = 0; i < MENU_ITEM_COUNT; i++) {
        bool lit = i == game_menu->hovered && i + 1 != MENU_SEPARATOR;
        ttf_textout_aa(target, font_table[FONT_MENU], menu_items[i], MENU_TEXT_LEFT, MENU_TEXT_TOP + i * h,
                       colour(lit ? palette::MENU_ROW_HOVERED : palette::MENU_ROW));
    }
}

}  // namespace

int number_colour(int n)
{
    while (n > 5)
        n -= 5;
    return colour(palette::NUMBERS[n - 1]);
}

void draw_cell(const Cell &cell, BITMAP *target, int x, int y)
{
    if (cell.state & CELL_UNCOVERED) {
        // A count of 0 draws nothing: the frame and the grid are the empty look.
        if (cell.decayed)
            draw_sprite(target, bitmap_table[BMP_SADT], x + TOOTH_DX, y);
        else if (cell.count > 0)
            ttf_textprintf_aa(target, font_table[FONT_MENU], x + NUMBER_DX, y + NUMBER_DY,
                              number_colour(cell.count), "%u", cell.count);
        return;
    }
    // Held down this pass: drawn like an empty uncovered cell, glow and flag too.
    if (cell.pressed)
        return;
    draw_sprite(target, bitmap_table[BMP_CELL], x, y);
    if (cell.state & CELL_FLAGGED)
        draw_sprite(target, bitmap_table[BMP_FLAG], x, y);
    // The fade passes -4 for one pass; anything at or below 0 is no glow.
    if (cell.glow > 0)
        trans_rectfill(target, x, y, bitmap_table[BMP_CELL]->w, bitmap_table[BMP_CELL]->h,
                       colour(palette::GLOW), cell.glow);
}

void draw_scene(BITMAP *target, bool game_over, bool lost)
{
    int sw = target->w, sh = target->h;
    clear_to_color(target, colour(palette::BACKGROUND));
    rectfill(target, BORDER, BORDER, sw - BORDER - 1, sh - BORDER - 1, colour(palette::PANEL));
    draw_field(target);
    draw_status_line(target);
    draw_face(target, game_over, lost);
    draw_title(target);
    if (game_menu->open)
        draw_menu(target);
}
