// Best times of the three fixed levels and the records file game.dat.
//
// game.dat is 120 bytes: three 40-byte blocks (Easy, Intermediate, Hard),
// each the 30-byte name field exactly as held, then the seconds as the
// text of "%9d" with its zero byte (10 bytes). Other copies of the game
// read and write the same bytes, so the layout never changes.
#ifndef DENTIVALE_MINEFIELD_RECORDS_H
#define DENTIVALE_MINEFIELD_RECORDS_H

#include <cstdint>

constexpr int RECORD_NAME_SIZE = 30;
constexpr int RECORD_COUNT = 3;

struct RecordEntry {
    char name[RECORD_NAME_SIZE];  // zero-ended text; without a zero byte all 30 bytes are the name
    int32_t seconds;              // best time in whole seconds
};

// Index 0 Easy, 1 Intermediate, 2 Hard. Zero at program start.
extern RecordEntry records[RECORD_COUNT];

// The file's name; tests point it elsewhere.
extern const char *records_path;

// Reads records_path into records (defaults for whatever is missing or
// unreadable); creates the file with the defaults when none exists, and
// clears away temporaries that killed saves left. A records_path that is
// not a regular file (or a link to one) is never opened: the defaults
// stand, and stderr hears about it once a run.
void load_records(void);
// Writes all three records. Returns 0, or -1 when the file could not be
// replaced or is not a regular file; the old file is then left as it was.
int save_records(void);
// The defaults in memory only; the file is not touched.
void reset_records(void);
// The game just won is on a fixed level and beats that level's record.
bool is_new_record(void);
// Index into records for a level code, -1 for the custom level.
int record_index(int level_code);

#endif
