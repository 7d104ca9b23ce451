// The records file: its exact bytes, damaged files, paths that are not a
// regular file, stale temporaries and a write cut short.
#include <gtest/gtest.h>

#ifndef _WIN32  // fifos, links and file size limits, which Windows lacks
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <utility>

#include "minefield/records.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::string;

// One 40-byte block: the name field, then the seconds field, each padded with zero bytes.
Bytes block(Bytes name, Bytes seconds)
{
    name.resize(RECORD_NAME_SIZE, '\0');
    seconds.resize(10, '\0');
    return name + seconds;
}

const char DEFAULT_MEMORY[] = "Quibo 60|Quibo 600|Quibo 6000|";

// The records in memory as "name seconds|" three times; a name ends at its zero byte or after 30 bytes.
std::string memory(void)
{
    std::string text;
    for (const RecordEntry &r : records)
        text += std::string(r.name, strnlen(r.name, RECORD_NAME_SIZE)) + " " + std::to_string(r.seconds) + "|";
    return text;
}

// "name kind|" for each entry of the folder, sorted; a link shows where it points.
std::string listing(const std::string &folder)
{
    std::set<std::string> entries;
    for (const auto &e : fs::directory_iterator(folder))
        entries.insert(e.path().filename().string() + (e.is_symlink() ? " -> " + fs::read_symlink(e).string()
                                                       : e.is_regular_file() ? " f" : " other") + "|");
    return std::accumulate(entries.begin(), entries.end(), std::string());
}

class Records : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::random_device entropy;  // a folder of this case's own: ctest runs the cases side by side
        do
            dir = testing::TempDir() + "dentivale-records-" + std::to_string(entropy());
        while (!fs::create_directory(dir));
        path = dir + "/game.dat";
        records_path = path.c_str();
        std::memset(records, 0, sizeof records);  // as at program start
    }
    void TearDown() override { fs::remove_all(dir), records_path = "game.dat"; }
    Bytes on_disk() const { std::ifstream in(path, std::ios::binary); return {std::istreambuf_iterator<char>(in), {}}; }

    std::string dir, path;
};

// Start-up clears a killed save's temporaries once a minute old and only if
// named as a save names them. A write cut short (a file size limit, as a full
// disk, for root as well) leaves the old file whole. Damaged files give what
// is whole in them and are not rewritten.
TEST_F(Records, RoundTripStaleTemporariesAWriteCutShortAndDamagedFiles)
{
    for (const char *name : {"game.dat.tmpAAAAAA", "game.dat.tmpFRESH1", "game.dat.tmpLONGER1", "other.tmpAAAAAA"}) {
        std::ofstream(dir + "/" + name) << "half a save";
        if (name[12] != 'F')
            fs::last_write_time(dir + "/" + name, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    }
    load_records();
    EXPECT_EQ(block("Quibo", "       60") + block("Quibo", "      600") + block("Quibo", "     6000"), on_disk());
    const std::string folder = "game.dat f|game.dat.tmpFRESH1 f|game.dat.tmpLONGER1 f|other.tmpAAAAAA f|";
    EXPECT_EQ(folder, listing(dir));
    std::memcpy(records[0].name, "Ann\0\0\0tail", 11);  // the bytes after the zero travel too
    std::memcpy(records[1].name, "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", 30);  // no zero byte
    records[0].seconds = INT32_MAX;
    records[1].seconds = 59;
    records[2] = {"Bob", INT32_MIN};  // "-2147483648" is 11 characters: cut to 10
    ASSERT_EQ(0, save_records());
    const Bytes saved = block(Bytes("Ann\0\0\0tail", 10), "2147483647") +
                        block("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123", "       59") + block("Bob", "-214748364");
    EXPECT_EQ(saved, on_disk());
    EXPECT_EQ(folder, listing(dir)) << "no temporary is left";
#ifndef _WIN32
    records[1] = {"New", 1};
    struct rlimit old_limit;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &old_limit));
    const struct rlimit small = {60, old_limit.rlim_max};
    auto old_handler = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const int result = save_records();
    setrlimit(RLIMIT_FSIZE, &old_limit);
    signal(SIGXFSZ, old_handler);
    EXPECT_TRUE(result == -1 && on_disk() == saved && listing(dir) == folder);
    EXPECT_EQ("Ann 2147483647|New 1|Bob -2147483648|", memory());
#endif

    const Bytes three = block("Al", "       11") + block("Bo", "       22") + block("Cy", "       33");
    const std::pair<Bytes, std::string> cases[] = {  // the file, the records read from it
        {saved, "Ann 2147483647|ABCDEFGHIJKLMNOPQRSTUVWXYZ0123 59|Bob -214748364|"},
        {"", DEFAULT_MEMORY},
        {three.substr(0, 79), "Al 11|Quibo 600|Quibo 6000|"},
        {three + "trailing bytes", "Al 11|Bo 22|Cy 33|"},
        // Ten digits leave no zero byte: the next name's digits are not read.
        {block("N", "1234567890") + block("7777", "9999999999") + block("N", "-999999999"),
         "N 1234567890|7777 2147483647|N -999999999|"},
        {block("N", "  \t+42abc") + block("N", "abc") + block("N", Bytes("\0      77", 9)), "N 42|N 0|N 0|"},
        // The file a Highscores that hung was shown: read as it is, one block.
        {Bytes(40, '\xFF').replace(8, 8, 8, '\x91').replace(26, 14, "U\"\x13\xBF/\xE4o\0\0\0\xFF\0\x0F\xFF", 14),
         Bytes(8, '\xFF') + Bytes(8, '\x91') + Bytes(10, '\xFF') + "U\"\x13\xBF 0|Quibo 600|Quibo 6000|"},
    };
    for (const auto &[bytes, read] : cases) {
        std::ofstream(path, std::ios::binary) << bytes;
        load_records();
        EXPECT_EQ(read, memory()) << testing::PrintToString(bytes);
        EXPECT_EQ(bytes, on_disk());
    }
}

// Neither start-up nor a new record may open or replace a game.dat that is
// not a regular file; the defaults stand, and stderr hears of it once a run.
TEST_F(Records, OnlyARegularFileIsReadOrReplaced)
{
    const std::pair<const char *, std::function<void()>> cases[] = {
        {"directory", [&] { fs::create_directories(path + "/inside"); }},
#ifndef _WIN32
        {"fifo", [&] { ASSERT_EQ(0, mkfifo(path.c_str(), 0600)); }},
        {"link to a fifo", [&] { ASSERT_EQ(0, mkfifo((dir + "/pipe").c_str(), 0600)); fs::create_symlink("pipe", path); }},
        {"dangling link", [&] { fs::create_symlink("nowhere", path); }},
#endif
    };
    testing::internal::CaptureStderr();
    for (const auto &[what, make] : cases) {
        SCOPED_TRACE(what);
        make();
        const std::string before = listing(dir);
        load_records();
        EXPECT_EQ(DEFAULT_MEMORY, memory());
        records[1].seconds = 1;
        EXPECT_EQ(-1, save_records());
        EXPECT_EQ(before, listing(dir));
        fs::remove_all(dir), fs::create_directory(dir);
    }
    EXPECT_EQ("dentivale: " + path + " is not a regular file; it is left as it is and the best times are kept in "
              "memory only\n", testing::internal::GetCapturedStderr());
}

}  // namespace
