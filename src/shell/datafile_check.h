// The structure of the game's datafile, checked over its bytes before
// Allegro's loader reads them.
//
// Allegro trusts every length and count in a datafile: a flipped byte in a
// header makes it read past its buffers or allocate from a negative size.
// These checks walk the same format with every read bounded and accept
// only what the game's build packs: an uncompressed datafile of bitmaps
// ("BMP " at 24 bits a pixel), raw TrueType files ("ALFO", non-empty) and
// the datafile tool's "info" record, each with its properties, and nothing
// before, between or after them. No Allegro call is made here.
#ifndef DENTIVALE_SHELL_DATAFILE_CHECK_H
#define DENTIVALE_SHELL_DATAFILE_CHECK_H

// A datafile on its own, as the datafile tool writes it ("slh." and the
// body). The number of objects it holds, or -1 when the file cannot be
// read or is not a whole datafile of the kinds above.
int check_datafile(const char *path);

// The datafile that exedat attached to the end of the program file at
// program (the chunk, then "slh+" and the block's length). The number of
// objects, or -1 as above.
int check_attached_datafile(const char *program);

#endif
