// Placeholder: no datafile is attached yet, so the tables stay empty.
#include "resources.h"

DATAFILE *resources;
BITMAP *bitmap_table[BITMAP_SLOTS];
TTF_FONT *font_table[FONT_SLOTS];
char resource_error[160];

int load_resources(const char *) { return 0; }
void unload_resources(void) {}
