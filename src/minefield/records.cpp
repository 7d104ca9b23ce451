// Placeholder: records live in memory only until the records file is written.
#include "records.h"

RecordEntry records[RECORD_COUNT];
const char *records_path = "game.dat";

void load_records(void) {}
int save_records(void) { return 0; }
void reset_records(void) {}
bool is_new_record(void) { return false; }
int record_index(int) { return -1; }
