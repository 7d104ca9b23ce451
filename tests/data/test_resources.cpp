// load_resources over the built datafile, over copies make_fixtures.cmake
// spoils with Allegro's dat (no_flag.dat lacks B_FLAG, small_cell.dat holds
// a 17 x 21 B_CELL, bad_font.dat an AF_WILLY that is text), over hundreds
// of copies damaged byte by byte, and the exedat trailer of an attached copy.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "shell/datafile_check.h"
#include "shell/resources.h"
#include "support/headless.h"

namespace {

using Bytes = std::string;

// Each used bitmap slot's size and font slot's height, which the drawing code takes for granted.
const int SIZES[12][2] = {{20, 20}, {17, 21}, {20, 20}, {201, 121}, {43, 21}, {91, 21},
                          {180, 162}, {180, 162}, {8, 26}, {30, 29}, {30, 29}, {30, 29}};
const int HEIGHTS[6] = {16, 24, 20, 18, 16, 12};

// Every slot as a load that returned 0 leaves it, or all empty.
void expect_tables(bool loaded)
{
    EXPECT_EQ(loaded, resources != nullptr);
    for (int s = 0; s < BITMAP_SLOTS; s++) {
        BITMAP *b = bitmap_table[s];
        ASSERT_EQ(loaded && s < 12, b != nullptr) << "bitmap slot " << s;
        EXPECT_TRUE(!b || (b->w == SIZES[s][0] && b->h == SIZES[s][1] && bitmap_color_depth(b) == 16)) << s;
    }
    for (int s = 0; s < FONT_SLOTS; s++)
        EXPECT_EQ(loaded && s < 6 ? HEIGHTS[s] : 0, font_table[s] ? ttf_get_font_height(font_table[s]) : 0) << s;
}

Bytes read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
uint32_t be32(const Bytes &d, size_t at)
{
    return uint32_t(uint8_t(d[at])) << 24 | uint32_t(uint8_t(d[at + 1])) << 16 | uint32_t(uint8_t(d[at + 2])) << 8 | uint8_t(d[at + 3]);
}
void put_be32(Bytes &d, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        d[at + i] = char(v >> (24 - 8 * i));
}

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless(16);  // the game's depth: bitmaps convert to it while loading
        ASSERT_EQ(0, ttf_init());
    }
    static void TearDownTestSuite() { ttf_exit(); }
    void SetUp() override
    {
        char pattern[] = "dentivale-data-XXXXXX";  // a folder of this run's own
        ASSERT_TRUE(mkdtemp(pattern));
        dir = pattern, path = dir + "/file";
    }
    void TearDown() override { unload_resources(), std::remove(path.c_str()), std::remove(dir.c_str()); }
    std::string dir, path;
};

// The two AF_WHITE 16 slots are separate fonts (a resize of the name's
// leaves the clock's), and a slot taken out before the unload survives it.
TEST_F(Resources, TheBuiltDatafileLoadsWholeAndFlawedOnesLeaveNothing)
{
    ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
    expect_tables(true);
    TTF_FONT *status = font_table[FONT_STATUS];
    const int width = ttf_text_length(status, "Medium:");
    ASSERT_EQ(0, ttf_set_font_size(font_table[FONT_NAME], 30));
    EXPECT_EQ(16, ttf_get_font_height(status));
    font_table[FONT_STATUS] = nullptr;
    unload_resources();
    unload_resources();
    expect_tables(false);
    EXPECT_EQ(width, ttf_text_length(status, "Medium:"));  // its glyphs first needed now
    ttf_destroy_font(status);

    const std::string fixtures = FIXTURE_DIR;
    const struct { std::string path; const char *reason; } cases[] = {
        {fixtures + "/no_flag.dat", "B_FLAG is missing or out of order (found B_HAPPY in its place)"},
        {fixtures + "/small_cell.dat", "B_CELL is 17 x 21 pixels, not 20 x 20"},
        {fixtures + "/bad_font.dat", "the font AF_WILLY cannot be opened"},
        {fixtures + "/no_such.dat", "is missing, unreadable or damaged"},
        {"#", "the art and fonts attached to the program are missing or damaged"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(-1, load_resources(c.path.c_str()));
        EXPECT_NE(std::string::npos, std::string(resource_error).find(c.reason)) << resource_error;
        expect_tables(false);
    }
    EXPECT_EQ(0, load_resources(datafile_path()));
    EXPECT_STREQ("", resource_error);
}

// Header fields of the good datafile by kind, as (offset, width), and the
// offsets where headers and data start: a plain reading of the format that
// trusts the file it walks.
enum Kind { MAGIC, COUNT, PROP_MARK, PROP_ID, PROP_LENGTH, TYPE, STORED, LENGTH, BITS, WIDTH, HEIGHT, KINDS };
struct Layout {
    std::vector<std::pair<size_t, int>> fields[KINDS];
    std::vector<size_t> cuts;
};

Layout walk(const Bytes &d)
{
    Layout l;
    l.fields[MAGIC] = {{0, 4}, {4, 4}};
    l.fields[COUNT] = {{8, 4}};
    size_t at = 12;
    for (uint32_t i = 0, n = be32(d, 8); i < n; i++, at += 12 + be32(d, at + 8)) {
        for (; d.compare(at, 4, "prop") == 0; at += 12 + be32(d, at + 8)) {
            for (Kind k : {PROP_MARK, PROP_ID, PROP_LENGTH})
                l.fields[k].push_back({at + 4 * (k - PROP_MARK), 4});
            l.cuts.insert(l.cuts.end(), {at, at + 8, at + 12});
        }
        for (Kind k : {TYPE, STORED, LENGTH})
            l.fields[k].push_back({at + 4 * (k - TYPE), 4});
        for (Kind k : {BITS, WIDTH, HEIGHT})
            if (d.compare(at, 4, "BMP ") == 0)
                l.fields[k].push_back({at + 12 + 2 * (k - BITS), 2});
        l.cuts.insert(l.cuts.end(), {at, at + 8, at + 12, at + 18});
    }
    return l;
}

// Copies of good with one kind of damage each, drawn from seed: a byte of
// every kind of header field edited, cuts at every header and at random
// points, the object count and lengths edited (a chunk's two lengths also
// together), object types changed, bits flipped anywhere.
std::vector<std::pair<std::string, Bytes>> damage(const Bytes &good, unsigned seed)
{
    const Layout l = walk(good);
    std::mt19937 rng(seed);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    auto field = [&](Kind k) { return l.fields[k][pick(l.fields[k].size())]; };
    std::vector<std::pair<std::string, Bytes>> out;
    auto add = [&](const std::string &what, const std::function<void(Bytes &)> &edit) {
        out.push_back({what, good});
        edit(out.back().second);
    };
    for (int k = 0; k < KINDS; k++)
        for (int n = 0; n < 16; n++) {
            auto [at, width] = field(Kind(k));
            const size_t byte = at + pick(width);
            const char edits[] = {char(good[byte] ^ (1 << pick(8))), '\xFF', char(good[byte] ^ 0x80), char(rng())};
            add("byte " + std::to_string(byte), [&, value = edits[n % 4]](Bytes &d) { d[byte] = value; });
        }
    std::vector<size_t> cuts = l.cuts;
    for (int n = 0; n < 40; n++)
        cuts.push_back(pick(good.size()));
    for (size_t cut : cuts)
        add("cut at " + std::to_string(cut), [&](Bytes &d) { d.resize(cut); });
    for (uint32_t count : {0u, 1u, 15u, 17u, 1000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        add("count " + std::to_string(count), [&](Bytes &d) { put_be32(d, 8, count); });
    for (int32_t delta : {-6, -1, 1, 3, 1000, -0x40000000, INT32_MIN})
        for (Kind k : {PROP_LENGTH, STORED, LENGTH, KINDS}) {  // KINDS: both lengths of a chunk
            const size_t at = field(k == KINDS ? STORED : k).first;
            add("length at " + std::to_string(at) + (k == KINDS ? " and the next" : "") + " + " + std::to_string(delta),
                [&](Bytes &d) {
                    for (size_t f = at; f <= (k == KINDS ? at + 4 : at); f += 4)
                        put_be32(d, f, be32(d, f) + uint32_t(delta));
                });
        }
    for (auto [at, width] : l.fields[TYPE])
        for (const char *type : {"BMP ", "ALFO", "info", "FILE", "FONT", "prop", "\xFF\xFF\xFF\xFF"})
            if (good.compare(at, width, type) != 0 && pick(2))
                add("type at " + std::to_string(at) + " made " + type, [&](Bytes &d) { d.replace(at, width, type); });
    for (int n = 0; n < 60; n++) {  // mostly pixels and font bytes
        const size_t byte = pick(good.size());
        add("bit flipped at " + std::to_string(byte), [&](Bytes &d) { d[byte] ^= char(1 << pick(8)); });
    }
    return out;
}

// No damaged copy may crash, hang or leak (the sanitizer build runs this
// too); each is refused whole or loads with every slot as drawing needs it.
TEST_F(Resources, DamagedCopiesAreRefusedOrLoadWhole)
{
    const unsigned seed = 20240611;
    const auto copies = damage(read_file(datafile_path()), seed);
    ASSERT_GE(copies.size(), 500u);
    int loaded = 0;
    for (const auto &[what, bytes] : copies) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + what);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        const bool ok = load_resources(path.c_str()) == 0;
        loaded += ok;
        expect_tables(ok);
        unload_resources();
    }
    EXPECT_TRUE(loaded > 0 && loaded < int(copies.size()) / 2) << loaded << " of " << copies.size() << " loaded";
}

// exedat's block at the end of a program file: the trailer and the chunk
// lengths must all agree with the file.
TEST_F(Resources, AnAttachedDatafileNeedsTrailerAndLengthsThatMatchTheFile)
{
    const Bytes body = read_file(datafile_path()).substr(4);  // without "slh."
    const uint32_t n = uint32_t(body.size()), block = n + 16;
    auto program = [&](uint32_t stored, uint32_t length, uint32_t size, const char *magic = "slh+") {
        Bytes chunk(8, '\0'), trailer = magic + Bytes(4, '\0');
        put_be32(chunk, 0, stored);
        put_be32(chunk, 4, length);
        put_be32(trailer, 4, size);
        return "\x7f" "ELF and code" + chunk + body + trailer;
    };
    const struct { Bytes file; int objects; } cases[] = {
        {program(n, n, block), 16}, {program(n, n, block, "slh!"), -1}, {program(n, n, block + 1), -1},
        {program(n, n, block - 1), -1}, {program(n, n, 0xFFFFFFF0u), -1}, {program(n, n, 8), -1},
        {program(n, -n, block), -1},  // compressed
        {program(n + 1, n + 1, block), -1}, {program(n, n, block) + "x", -1}, {"slh+", -1},
    };
    for (const auto &c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.file;
        EXPECT_EQ(c.objects, check_attached_datafile(path.c_str())) << "case " << &c - cases;
    }
}

}  // namespace
