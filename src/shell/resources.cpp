// Loading the attached datafile into the bitmap and font tables.
//
// Two gates stand before the drawing code, which takes every filled slot
// for granted. Before Allegro parses anything, the datafile's bytes are
// walked with bounded reads (datafile_check.h), since Allegro's loader
// trusts every length it finds. After loading, each object the game hands
// out is checked (type, and for bitmaps the size the layout is built on).
// Either refuses the whole datafile rather than let a damaged or stripped
// executable crash later.
#include "resources.h"

#include <cstdio>
#include <cstring>

#include "datafile_check.h"

DATAFILE *resources;
BITMAP *bitmap_table[BITMAP_SLOTS];
TTF_FONT *font_table[FONT_SLOTS];
char resource_error[160];

namespace {

constexpr int TYPE_FONT = DAT_ID('A', 'L', 'F', 'O');  // a TrueType file, byte for byte

// What the game expects at each position of the datafile it uses.
struct ObjectSpec {
    const char *name;  // for checks and messages; the game addresses objects by position
    int type;
    int width, height;  // bitmaps only
};

const ObjectSpec OBJECTS[DAT_GRABBER_INFO] = {
    {"AF_ARIAL", TYPE_FONT, 0, 0},
    {"AF_WHITE", TYPE_FONT, 0, 0},
    {"AF_WILLY", TYPE_FONT, 0, 0},
    {"B_BHO", DAT_BITMAP, 30, 29},
    {"B_CELL", DAT_BITMAP, 20, 20},
    {"B_CHOCO", DAT_BITMAP, 8, 26},
    {"B_FLAG", DAT_BITMAP, 20, 20},
    {"B_HAPPY", DAT_BITMAP, 30, 29},
    {"B_HIGHSCORE", DAT_BITMAP, 201, 121},
    {"B_INPUT", DAT_BITMAP, 180, 162},
    {"B_ONCAN", DAT_BITMAP, 91, 21},
    {"B_ONOK", DAT_BITMAP, 43, 21},
    {"B_SAD", DAT_BITMAP, 30, 29},
    {"B_SADT", DAT_BITMAP, 17, 21},
    {"B_SLIDE", DAT_BITMAP, 180, 162},
};

// Datafile object behind each bitmap slot 0..11.
const int BITMAP_OBJECTS[] = {
    DAT_B_CELL, DAT_B_SADT, DAT_B_FLAG, DAT_B_HIGHSCORE, DAT_B_ONOK, DAT_B_ONCAN,
    DAT_B_INPUT, DAT_B_SLIDE, DAT_B_CHOCO, DAT_B_HAPPY, DAT_B_BHO, DAT_B_SAD,
};

struct FontSlot {
    int object;
    int height;  // line height in pixels
};

// Font slots 0..5.
const FontSlot FONTS[] = {
    {DAT_AF_WHITE, 16}, {DAT_AF_WILLY, 24}, {DAT_AF_WILLY, 20},
    {DAT_AF_ARIAL, 18}, {DAT_AF_WHITE, 16}, {DAT_AF_WHITE, 12},
};

// Checks objects 0..14 in order; 0, or -1 with resource_error set. count
// is the number of objects the structure check found, so an array that
// ends early is never read past its end.
int check_objects(const char *path, int count)
{
    for (int i = 0; i < DAT_GRABBER_INFO; i++) {
        const ObjectSpec &want = OBJECTS[i];
        if (i >= count || resources[i].type == DAT_END) {
            std::snprintf(resource_error, sizeof resource_error,
                          "%s is missing: the datafile %s ends after %d objects", want.name,
                          path, i);
            return -1;
        }
        const DATAFILE &have = resources[i];
        // Names are only read to tell a missing or misplaced object from a
        // damaged one; a datafile stripped of its names passes on types and
        // sizes alone.
        const char *name = get_datafile_property(&have, DAT_NAME);
        if (name[0] && std::strcmp(name, want.name) != 0) {
            std::snprintf(resource_error, sizeof resource_error,
                          "%s is missing or out of order (found %.40s in its place) in the "
                          "datafile %s", want.name, name, path);
            return -1;
        }
        if (have.type != want.type || !have.dat || have.size <= 0) {
            std::snprintf(resource_error, sizeof resource_error,
                          "%s (object %d) is not %s in the datafile %s", want.name, i,
                          want.type == DAT_BITMAP ? "a bitmap" : "a font", path);
            return -1;
        }
        if (want.type != DAT_BITMAP)
            continue;
        const BITMAP *bmp = static_cast<const BITMAP *>(have.dat);
        if (bmp->w != want.width || bmp->h != want.height) {
            std::snprintf(resource_error, sizeof resource_error,
                          "%s is %d x %d pixels, not %d x %d, in the datafile %s", want.name,
                          bmp->w, bmp->h, want.width, want.height, path);
            return -1;
        }
    }
    return 0;
}

int create_fonts(void)
{
    for (int slot = 0; slot < static_cast<int>(sizeof FONTS / sizeof FONTS[0]); slot++) {
        const FontSlot &wanted = FONTS[slot];
        const DATAFILE &object = resources[wanted.object];
        font_table[slot] = ttf_load_font_from_mem(object.dat, static_cast<int>(object.size));
        if (!font_table[slot]) {
            std::snprintf(resource_error, sizeof resource_error,
                          "the font %s cannot be opened", OBJECTS[wanted.object].name);
            return -1;
        }
        if (ttf_set_font_size(font_table[slot], wanted.height) != 0) {
            std::snprintf(resource_error, sizeof resource_error,
                          "the font %s cannot be sized to %d pixels", OBJECTS[wanted.object].name,
                          wanted.height);
            return -1;
        }
    }
    return 0;
}

bool is_attached(const char *path) { return std::strcmp(path, "#") == 0; }

// The number of objects in the datafile at path, -1 when its bytes must not
// reach Allegro's loader.
int check_structure(const char *path)
{
    if (is_attached(path)) {
        // The same file Allegro opens for "#".
        char program[1024];
        get_executable_name(program, sizeof program);
        return check_attached_datafile(program);
    }
    // Allegro reads "file#object" as an object inside a datafile: bytes
    // other than the ones checked.
    if (std::strchr(path, '#'))
        return -1;
    return check_datafile(path);
}

}  // namespace

int load_resources(const char *path)
{
    unload_resources();  // a second load replaces the first instead of leaking it
    resource_error[0] = '\0';
    int count = check_structure(path);
    if (count >= 0)
        resources = load_datafile(path);
    if (!resources) {
        if (is_attached(path))
            std::snprintf(resource_error, sizeof resource_error,
                          "the art and fonts attached to the program are missing or damaged");
        else
            std::snprintf(resource_error, sizeof resource_error,
                          "the datafile %s is missing, unreadable or damaged", path);
        return -1;
    }
    const char *shown = is_attached(path) ? "attached to the program" : path;
    if (check_objects(shown, count) != 0 || create_fonts() != 0) {
        unload_resources();
        return -1;
    }
    for (int slot = 0; slot < static_cast<int>(sizeof BITMAP_OBJECTS / sizeof BITMAP_OBJECTS[0]);
         slot++)
        bitmap_table[slot] = static_cast<BITMAP *>(resources[BITMAP_OBJECTS[slot]].dat);
    return 0;
}

void unload_resources(void)
{
    if (resources)
        unload_datafile(resources);
    resources = nullptr;
    for (BITMAP *&slot : bitmap_table)
        slot = nullptr;  // they pointed into the datafile just freed
    // The fonts own copies of their files, so they may go after the datafile.
    for (TTF_FONT *&slot : font_table) {
        ttf_destroy_font(slot);
        slot = nullptr;
    }
}
