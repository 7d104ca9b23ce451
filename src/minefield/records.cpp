// Best times and the records file.
//
// The file is replaced, never rewritten in place: the new bytes go to a
// temporary file beside it, which is flushed to the disk and then renamed
// over the old one (records_fs.h). A crash, a full disk or a failed write
// therefore leaves either the old file or the new one, never a mix or an
// empty file. Only a regular file is ever read or replaced; a game.dat
// that is anything else stays as it is and the records live in memory.
#include "records.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "board.h"
#include "records_fs.h"

RecordEntry records[RECORD_COUNT];
const char *records_path = "game.dat";

namespace {

constexpr int SECONDS_FIELD_SIZE = 10;  // "%9d" and its zero byte; wider text is cut
constexpr int BLOCK_SIZE = RECORD_NAME_SIZE + SECONDS_FIELD_SIZE;
constexpr int FILE_SIZE = RECORD_COUNT * BLOCK_SIZE;
constexpr int TICKS_PER_SECOND = 60;

const char DEFAULT_NAME[] = "Quibo";
constexpr int32_t DEFAULT_SECONDS[RECORD_COUNT] = {60, 600, 6000};

// The first 10 bytes of the "%9d" text. Any 32-bit value fits the buffer
// ("-2147483648" is 11 characters); text of 10 characters leaves no zero
// byte and longer text is cut, as other copies of the game write it.
void format_seconds(int32_t seconds, char field[SECONDS_FIELD_SIZE])
{
    char text[16];
    std::snprintf(text, sizeof text, "%9d", static_cast<int>(seconds));
    std::memcpy(field, text, SECONDS_FIELD_SIZE);
}

// The decimal value of the field's text, which ends at its first zero byte
// or after its 10th byte. As atoi reads it (leading white space, a sign,
// digits; anything else reads as 0), except that ten digits that overflow
// 32 bits stop at the nearest 32-bit value instead of being undefined.
int32_t parse_seconds(const char field[SECONDS_FIELD_SIZE])
{
    char text[SECONDS_FIELD_SIZE + 1];
    std::memcpy(text, field, SECONDS_FIELD_SIZE);
    text[SECONDS_FIELD_SIZE] = '\0';
    long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

void encode_records(unsigned char bytes[FILE_SIZE])
{
    for (int i = 0; i < RECORD_COUNT; i++) {
        unsigned char *block = bytes + i * BLOCK_SIZE;
        std::memcpy(block, records[i].name, RECORD_NAME_SIZE);
        format_seconds(records[i].seconds, reinterpret_cast<char *>(block + RECORD_NAME_SIZE));
    }
}

// Reads whole blocks into records; a block cut short keeps its defaults.
void read_blocks(std::FILE *file)
{
    unsigned char block[BLOCK_SIZE];
    for (int i = 0; i < RECORD_COUNT; i++) {
        if (std::fread(block, 1, BLOCK_SIZE, file) != BLOCK_SIZE)
            return;
        std::memcpy(records[i].name, block, RECORD_NAME_SIZE);
        records[i].seconds = parse_seconds(reinterpret_cast<char *>(block + RECORD_NAME_SIZE));
    }
}

// A save killed between writing its temporary file and renaming it leaves
// the temporary behind; one untouched this long belongs to no running save.
constexpr int STALE_TEMPORARY_SECONDS = 60;

// A game.dat that is not a regular file: the player hears it once a run.
void say_left_alone(void)
{
    static bool said = false;
    if (said)
        return;
    said = true;
    std::fprintf(stderr, "dentivale: %s is not a regular file; it is left as it is and the best "
                         "times are kept in memory only\n", records_path);
}

}  // namespace

void reset_records(void)
{
    // Only "Quibo" and its zero byte: the rest of each name field stays as
    // it was and goes into the file with it.
    for (int i = 0; i < RECORD_COUNT; i++) {
        std::memcpy(records[i].name, DEFAULT_NAME, sizeof DEFAULT_NAME);
        records[i].seconds = DEFAULT_SECONDS[i];
    }
}

void load_records(void)
{
    reset_records();
    PathKind kind = path_kind(records_path);
    if (kind == PATH_OTHER) {
        say_left_alone();
        return;
    }
    remove_stale_temporaries(records_path, STALE_TEMPORARY_SECONDS);
    if (kind == PATH_MISSING) {
        save_records();
        return;
    }
    std::FILE *file = std::fopen(records_path, "rb");
    if (!file)
        return;  // write-only, say: the defaults stand
    read_blocks(file);
    std::fclose(file);
}

int save_records(void)
{
    if (path_kind(records_path) == PATH_OTHER) {
        say_left_alone();
        return -1;
    }
    unsigned char bytes[FILE_SIZE];
    encode_records(bytes);
    return replace_file(records_path, bytes, sizeof bytes);
}

int record_index(int level_code)
{
    switch (level_code) {
    case LEVEL_EASY: return 0;
    case LEVEL_INTERMEDIATE: return 1;
    case LEVEL_HARD: return 2;
    default: return -1;  // the custom level keeps no record
    }
}

bool is_new_record(void)
{
    int index = record_index(level);
    if (index < 0)
        return false;
    // Unsigned on both sides: a negative record read from a file is beaten
    // by any time.
    uint32_t seconds = ticks / TICKS_PER_SECOND;
    return seconds < static_cast<uint32_t>(records[index].seconds);
}
