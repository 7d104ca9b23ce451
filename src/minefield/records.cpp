// Best times and the records file.
//
// The file is replaced, never rewritten in place: the new bytes go to a
// temporary file beside it, which is flushed to the disk and then renamed
// over the old one. A crash, a full disk or a failed write therefore leaves
// either the old file or the new one, never a mix or an empty file.
#include "records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "board.h"

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

// Writing through a symbolic link replaces the file it points at, as
// writing in place would, rather than the link itself.
std::string resolved_target(const char *path)
{
    char *real = realpath(path, nullptr);
    if (!real)
        return path;
    std::string target = real;
    std::free(real);
    return target;
}

std::string directory_of(const std::string &path)
{
    size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The replacement keeps the old file's permissions, as rewriting it in
// place would; a new file gets what the umask leaves of rw-rw-rw-.
void copy_permissions(int fd, const std::string &target)
{
    struct stat old_file;
    if (stat(target.c_str(), &old_file) == 0) {
        fchmod(fd, old_file.st_mode & 07777);
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

bool write_all(int fd, const unsigned char *bytes, size_t size)
{
    while (size > 0) {
        ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The rename itself is made durable too; a failure here loses nothing, so
// it is not reported.
void sync_directory(const std::string &directory)
{
    int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return;
    fsync(fd);
    close(fd);
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
    struct stat info;
    if (stat(records_path, &info) != 0) {
        // Only a file that is really missing is created; one that cannot be
        // looked at is left alone, and the game goes on with the defaults.
        if (errno == ENOENT)
            save_records();
        return;
    }
    if (!S_ISREG(info.st_mode))
        return;  // a directory, a pipe or a device holds no records
    std::FILE *file = std::fopen(records_path, "rb");
    if (!file)
        return;
    read_blocks(file);
    std::fclose(file);
}

int save_records(void)
{
    unsigned char bytes[FILE_SIZE];
    encode_records(bytes);

    std::string target = resolved_target(records_path);
    // A game.dat made read-only is left alone, as writing it in place would.
    if (access(target.c_str(), F_OK) == 0 && access(target.c_str(), W_OK) != 0)
        return -1;
    std::string temporary = target + ".tmpXXXXXX";
    int fd = mkstemp(&temporary[0]);
    if (fd < 0)
        return -1;
    copy_permissions(fd, target);
    bool written = write_all(fd, bytes, sizeof bytes) && fsync(fd) == 0;
    if (close(fd) != 0)
        written = false;
    if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
        std::remove(temporary.c_str());
        return -1;
    }
    sync_directory(directory_of(target));
    return 0;
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
