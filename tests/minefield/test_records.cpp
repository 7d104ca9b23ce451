// The records file: its exact bytes, the record rule, and what happens to
// files that are damaged, odd, or cannot be written.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "minefield/board.h"
#include "minefield/records.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

// A fresh directory for one test, with records_path pointing into it.
class RecordsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/dentivale-records-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
        path = dir + "/game.dat";
        records_path = path.c_str();
        std::memset(records, 0, sizeof records);  // as at program start
    }
    void TearDown() override
    {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
        records_path = "game.dat";
    }

    void write_file(const Bytes &bytes) { std::ofstream(path, std::ios::binary) << bytes; }
    Bytes read_file(const std::string &name) const
    {
        std::ifstream in(name, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    Bytes read_file() const { return read_file(path); }
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        return names;
    }
    void expect_defaults(int from = 0) const
    {
        const int32_t seconds[] = {60, 600, 6000};
        for (int i = from; i < RECORD_COUNT; i++) {
            EXPECT_STREQ("Quibo", records[i].name) << "record " << i;
            EXPECT_EQ(seconds[i], records[i].seconds) << "record " << i;
        }
    }

    std::string dir, path;
};

// One 40-byte block spelled out: the name padded with zero bytes to 30,
// then the 10-byte seconds field given literally.
Bytes block(const Bytes &name, const Bytes &seconds_field)
{
    Bytes b = name;
    b.resize(30, '\0');
    b += seconds_field;
    b.resize(40, '\0');
    return b;
}

void set_record(int i, const char *name, int32_t seconds)
{
    std::memset(records[i].name, 0, RECORD_NAME_SIZE);
    std::memcpy(records[i].name, name, std::strlen(name) < 30 ? std::strlen(name) + 1 : 30);
    records[i].seconds = seconds;
}

bool running_as_root() { return geteuid() == 0; }

}  // namespace

TEST_F(RecordsFile, MissingFileIsCreatedWithTheDefaultsByteForByte)
{
    load_records();
    expect_defaults();
    Bytes expected = block("Quibo", Bytes("       60\0", 10)) +
                     block("Quibo", Bytes("      600\0", 10)) +
                     block("Quibo", Bytes("     6000\0", 10));
    EXPECT_EQ(expected, read_file());
    EXPECT_EQ(std::vector<std::string>{"game.dat"}, entries());
}

TEST_F(RecordsFile, RoundTripKeepsNamesAsHeldAndCutsWideSeconds)
{
    set_record(0, "Ann", 59);
    set_record(1, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", 1234567890);  // no zero byte, 10 digits
    set_record(2, "Bob", INT32_MIN);
    records[0].name[20] = 'x';  // bytes after the zero byte travel too
    ASSERT_EQ(0, save_records());

    Bytes bytes = read_file();
    ASSERT_EQ(120u, bytes.size());
    EXPECT_EQ(Bytes("Ann\0", 4), bytes.substr(0, 4));
    EXPECT_EQ('x', bytes[20]);
    EXPECT_EQ(Bytes("       59\0", 10), bytes.substr(30, 10));
    EXPECT_EQ("1234567890", bytes.substr(70, 10));
    EXPECT_EQ("-214748364", bytes.substr(110, 10));  // first 10 of "-2147483648"

    std::memset(records, 0, sizeof records);
    load_records();
    EXPECT_STREQ("Ann", records[0].name);
    EXPECT_EQ('x', records[0].name[20]);
    EXPECT_EQ(59, records[0].seconds);
    EXPECT_EQ(0, std::memcmp("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", records[1].name, 30));
    EXPECT_EQ(1234567890, records[1].seconds);
    EXPECT_EQ(-214748364, records[2].seconds);
    ASSERT_EQ(0, save_records());
    EXPECT_EQ(bytes, read_file());
}

TEST_F(RecordsFile, EraseWritesOnlyTheDefaultNameAndNothingToDisk)
{
    write_file(block(Bytes("Zed\0\0\0\0tail", 11), "       12") + block("Y", "        3") + block("X", "        4"));
    load_records();
    Bytes before = read_file();
    reset_records();
    expect_defaults();
    EXPECT_EQ(0, std::memcmp("Quibo\0\0tail", records[0].name, 11));
    EXPECT_EQ(before, read_file());
}

TEST(RecordRule, FasterWholeSecondsOnFixedLevelsOnly)
{
    reset_records();
    set_level_easy();
    ticks = 3599;  // 59.98 s counts as 59
    EXPECT_TRUE(is_new_record());
    ticks = 3600;  // 60 s equals the record
    EXPECT_FALSE(is_new_record());
    set_level_intermediate();
    ticks = 600 * 60 - 1;
    EXPECT_TRUE(is_new_record());
    set_level_hard();
    ticks = 6000 * 60;
    EXPECT_FALSE(is_new_record());

    records[2].seconds = -1;  // read from a file: any time beats it
    ticks = UINT32_MAX;
    EXPECT_TRUE(is_new_record());

    set_level_custom(1, 0);
    for (auto &r : records)
        r.seconds = INT32_MAX;
    ticks = 0;
    EXPECT_FALSE(is_new_record());
    EXPECT_EQ(-1, record_index(LEVEL_CUSTOM));
}

TEST_F(RecordsFile, ShortEmptyAndLongFilesKeepDefaultsForBlocksNotReadWhole)
{
    Bytes three = block("Al", "       11") + block("Bo", "       22") + block("Cy", "       33");

    write_file("");
    load_records();
    expect_defaults();
    EXPECT_EQ("", read_file());  // a damaged file is not rewritten at start-up

    write_file(three.substr(0, 79));
    load_records();
    EXPECT_STREQ("Al", records[0].name);
    EXPECT_EQ(11, records[0].seconds);
    expect_defaults(1);

    write_file(three + "trailing bytes are ignored");
    load_records();
    EXPECT_STREQ("Cy", records[2].name);
    EXPECT_EQ(33, records[2].seconds);
}

TEST_F(RecordsFile, SecondsTextIsReadWithinItsTenBytes)
{
    struct {
        Bytes field;
        int32_t seconds;
    } cases[] = {
        {Bytes("       -5\0", 10), -5},
        {"1234567890", 1234567890},         // no zero byte: stops after the 10th
        {"9999999999", INT32_MAX},          // ten digits beyond 32 bits
        {"-999999999", -999999999},
        {Bytes("  \t+42abc\0", 10), 42},
        {Bytes("abc\0\0\0\0\0\0\0", 10), 0},
        {Bytes("\0      77", 10), 0},       // the text ends at once
    };
    for (const auto &c : cases) {
        // The next block's name starts with digits that must not be read.
        write_file(block("N", c.field) + block("7777", "        1") + block("N", "        1"));
        load_records();
        EXPECT_EQ(c.seconds, records[0].seconds) << c.field;
    }
}

TEST_F(RecordsFile, RandomFilesReadAsASimpleReaderReadsThem)
{
    // Reference: whole blocks only; seconds by hand-written atoi over at
    // most 10 bytes, clamped to 32 bits.
    auto reference_seconds = [](const Bytes &field) {
        size_t i = 0;
        while (i < field.size() && field[i] != '\0' && std::strchr(" \t\n\v\f\r", field[i]))
            i++;
        bool negative = false;
        if (i < field.size() && (field[i] == '-' || field[i] == '+'))
            negative = field[i++] == '-';
        long long value = 0;
        for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; i++)
            value = value * 10 + (field[i] - '0');
        value = negative ? -value : value;
        return static_cast<int32_t>(std::max<long long>(INT32_MIN, std::min<long long>(INT32_MAX, value)));
    };
    const char alphabet[] = " 0123456789-+\t\0xA";
    unsigned seed = std::random_device{}();
    std::mt19937 rng(seed);
    for (int round = 0; round < 300; round++) {
        Bytes bytes(std::uniform_int_distribution<int>(0, 150)(rng), '\0');
        for (char &b : bytes)
            b = (rng() % 3) ? alphabet[rng() % (sizeof alphabet - 1)] : static_cast<char>(rng());
        write_file(bytes);
        std::memset(records, 0, sizeof records);
        load_records();
        for (int i = 0; i < RECORD_COUNT; i++) {
            if (bytes.size() >= size_t(40 * (i + 1))) {
                ASSERT_EQ(0, std::memcmp(bytes.data() + 40 * i, records[i].name, 30)) << "seed " << seed;
                ASSERT_EQ(reference_seconds(bytes.substr(40 * i + 30, 10)), records[i].seconds)
                    << "seed " << seed << " block " << i;
            } else {
                ASSERT_STREQ("Quibo", records[i].name) << "seed " << seed;
            }
        }
    }
}

TEST_F(RecordsFile, UnopenableGameDatKeepsDefaultsAndIsNotReplaced)
{
    fs::create_directory(path);
    fs::create_directory(path + "/inside");  // a directory rename cannot replace
    load_records();
    expect_defaults();
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(-1, save_records());
    EXPECT_TRUE(fs::is_directory(path + "/inside"));
    EXPECT_EQ(std::vector<std::string>{"game.dat"}, entries());  // no temporary left

    if (!running_as_root()) {  // root reads and writes through permission bits
        fs::remove_all(path);
        write_file(block("Old", "        5") + block("Old", "        5") + block("Old", "        5"));
        fs::permissions(path, fs::perms::none);
        load_records();
        expect_defaults();
        fs::permissions(path, fs::perms::owner_read);
        EXPECT_EQ(-1, save_records());
        EXPECT_EQ("Old", read_file().substr(0, 3));
    }
}

TEST_F(RecordsFile, UnwritableDirectoryFailsAndKeepsMemory)
{
    std::string nowhere = dir + "/missing/game.dat";
    records_path = nowhere.c_str();
    load_records();  // cannot be created: the game goes on with the defaults
    expect_defaults();
    set_record(0, "Kept", 7);
    EXPECT_EQ(-1, save_records());
    EXPECT_STREQ("Kept", records[0].name);
    EXPECT_EQ(7, records[0].seconds);

    if (!running_as_root()) {
        records_path = path.c_str();
        fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(-1, save_records());
        EXPECT_FALSE(fs::exists(path));
    }
}

TEST_F(RecordsFile, WriteFailingPartWayLeavesTheOldFileWhole)
{
    load_records();
    Bytes old = read_file();
    set_record(1, "New", 1);

    // Files may grow to 60 bytes only: the write stops half way, as on a
    // full disk, and this works for root as well.
    struct rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    struct rlimit small = saved;
    small.rlim_cur = 60;
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    int result = save_records();
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, old_handler);

    EXPECT_EQ(-1, result);
    EXPECT_EQ(old, read_file());
    EXPECT_EQ(std::vector<std::string>{"game.dat"}, entries());
    EXPECT_STREQ("New", records[1].name);
    EXPECT_EQ(0, save_records());
    EXPECT_EQ("New", read_file().substr(40, 3));
}

TEST_F(RecordsFile, ReplacementKeepsPermissionsAndFollowsLinks)
{
    std::string real = dir + "/real.dat";
    std::ofstream(real) << "x";
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("real.dat", path);
    reset_records();
    ASSERT_EQ(0, save_records());
    EXPECT_TRUE(fs::is_symlink(path));
    EXPECT_EQ(120u, read_file(real).size());
    EXPECT_EQ(fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read,
              fs::status(real).permissions());
}
