// load_resources and unload_resources over the built datafile and over
// copies of it that make_fixtures.cmake spoils with Allegro's dat, one flaw
// each: no_flag.dat lacks B_FLAG (the later objects move up one),
// small_cell.dat holds a 17 x 21 B_CELL, bad_font.dat an AF_WILLY that is
// a line of text. Then hundreds of copies damaged byte by byte, and the
// exedat trailer of an attached copy.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "shell/datafile_check.h"
#include "shell/resources.h"
#include "support/headless.h"
#include "ui/dialogs.h"

namespace {

constexpr int FONT = DAT_ID('A', 'L', 'F', 'O'), INFO = DAT_ID('i', 'n', 'f', 'o');

// The datafile's objects in their stored order.
const struct { const char *name; int type, w, h; } OBJECTS[] = {
    {"AF_ARIAL", FONT, 0, 0}, {"AF_WHITE", FONT, 0, 0}, {"AF_WILLY", FONT, 0, 0},
    {"B_BHO", DAT_BITMAP, 30, 29}, {"B_CELL", DAT_BITMAP, 20, 20}, {"B_CHOCO", DAT_BITMAP, 8, 26},
    {"B_FLAG", DAT_BITMAP, 20, 20}, {"B_HAPPY", DAT_BITMAP, 30, 29},
    {"B_HIGHSCORE", DAT_BITMAP, 201, 121}, {"B_INPUT", DAT_BITMAP, 180, 162},
    {"B_ONCAN", DAT_BITMAP, 91, 21}, {"B_ONOK", DAT_BITMAP, 43, 21}, {"B_SAD", DAT_BITMAP, 30, 29},
    {"B_SADT", DAT_BITMAP, 17, 21}, {"B_SLIDE", DAT_BITMAP, 180, 162}, {"GrabberInfo", INFO, 0, 0},
};
// The object behind each bitmap slot and each font slot's height; null and 0 for unused slots.
const char *const SLOT_OBJECTS[BITMAP_SLOTS] = {"B_CELL", "B_SADT", "B_FLAG", "B_HIGHSCORE",
    "B_ONOK", "B_ONCAN", "B_INPUT", "B_SLIDE", "B_CHOCO", "B_HAPPY", "B_BHO", "B_SAD"};
const int FONT_HEIGHTS[FONT_SLOTS] = {16, 24, 20, 18, 16, 12};

class Resources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        start_headless(16);  // the game's depth: bitmaps convert to it while loading
        ASSERT_EQ(0, ttf_init());
    }
    static void TearDownTestSuite() { ttf_exit(); }
    void SetUp() override { ASSERT_EQ(0, load_resources(datafile_path())) << resource_error; }
    void TearDown() override { unload_resources(); }

    // What the drawing code takes for granted after a load that returned 0.
    static void expect_tables_filled(void)
    {
        for (int slot = 0; slot < BITMAP_SLOTS; slot++) {
            BITMAP *b = bitmap_table[slot];
            const char *name = SLOT_OBJECTS[slot];
            ASSERT_EQ(name != nullptr, b != nullptr) << "bitmap slot " << slot;
            for (const auto &o : OBJECTS) {
                if (name && std::string(name) == o.name) {
                    EXPECT_EQ(std::make_tuple(o.w, o.h, 16), std::make_tuple(b->w, b->h, bitmap_color_depth(b))) << name;
                }
            }
        }
        for (int slot = 0; slot < FONT_SLOTS; slot++) {
            TTF_FONT *f = font_table[slot];
            EXPECT_EQ(FONT_HEIGHTS[slot], f ? ttf_get_font_height(f) : 0) << "font slot " << slot;
        }
    }
    static void expect_nothing_loaded(void)
    {
        EXPECT_EQ(nullptr, resources);
        for (BITMAP *b : bitmap_table)
            EXPECT_EQ(nullptr, b);
        for (TTF_FONT *f : font_table)
            EXPECT_EQ(nullptr, f);
    }
};

TEST_F(Resources, ObjectsSlotsAndFontsOfTheBuiltDatafile)
{
    const int count = sizeof OBJECTS / sizeof OBJECTS[0];
    for (int i = 0; i < count; i++) {
        SCOPED_TRACE(OBJECTS[i].name);
        ASSERT_EQ(OBJECTS[i].type, resources[i].type);
        EXPECT_STREQ(OBJECTS[i].name, get_datafile_property(&resources[i], DAT_NAME));
    }
    EXPECT_EQ(DAT_END, resources[count].type);
    expect_tables_filled();

    for (int slot = 0; slot < BITMAP_SLOTS; slot++) {
        const char *name = SLOT_OBJECTS[slot];
        EXPECT_EQ(name ? find_datafile_object(resources, name)->dat : nullptr, bitmap_table[slot]) << slot;
    }
}

TEST_F(Resources, FontSlotsZeroAndFourAreDistinctAndOutliveTheDatafile)
{
    TTF_FONT *status = font_table[FONT_STATUS], *name = font_table[FONT_NAME];
    ASSERT_NE(status, name);
    int width = ttf_text_length(name, "Medium:");
    ASSERT_EQ(0, ttf_set_font_size(name, 30));
    EXPECT_EQ(16, ttf_get_font_height(status));
    EXPECT_GT(ttf_text_length(name, "Medium:"), width);

    font_table[FONT_STATUS] = nullptr;  // kept from unload_resources
    unload_resources();
    EXPECT_EQ(width, ttf_text_length(status, "Medium:"));  // its glyphs first needed now
    ttf_destroy_font(status);
}

TEST_F(Resources, UnloadEmptiesTheTablesAndCanBeRepeated)
{
    unload_resources();  // null font slots 6..9 included
    expect_nothing_loaded();
    unload_resources();
    expect_nothing_loaded();
}

TEST_F(Resources, FlawedDatafilesAreRefusedWithTheirReasonAndLeaveNothingLoaded)
{
    const std::string dir = FIXTURE_DIR;
    const struct { std::string path; const char *reason; } cases[] = {
        {dir + "/no_flag.dat", "B_FLAG is missing or out of order (found B_HAPPY in its place)"},
        {dir + "/small_cell.dat", "B_CELL is 17 x 21 pixels, not 20 x 20"},
        {dir + "/bad_font.dat", "the font AF_WILLY cannot be opened"},
        {dir + "/no_such.dat", "is missing, unreadable or damaged"},
        {"#", "the art and fonts attached to the program are missing or damaged"},
    };
    unload_resources();  // load_resources expects nothing loaded
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(-1, load_resources(c.path.c_str()));
        EXPECT_NE(std::string::npos, std::string(resource_error).find(c.reason)) << resource_error;
        expect_nothing_loaded();
    }
    EXPECT_EQ(0, load_resources(datafile_path())) << resource_error;
    EXPECT_STREQ("", resource_error);
}

using Bytes = std::string;

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

// A new folder of this run's own, with a slash at the end.
std::string new_folder(void)
{
    std::string pattern = testing::TempDir() + "dentivale-data-XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern + "/" : "";
}

// Header fields of the good datafile by kind, as (offset, width), and every
// offset where a header or a chunk's data starts: a plain reading of the
// format that trusts the file it walks.
enum Kind { MAGIC, COUNT, PROP_MARK, PROP_ID, PROP_LENGTH, TYPE, STORED, LENGTH, BITS, WIDTH, HEIGHT, KINDS };
struct Layout {
    std::vector<std::pair<size_t, int>> fields[KINDS];
    std::vector<size_t> boundaries;
};

Layout walk(const Bytes &d)
{
    Layout l;
    l.fields[MAGIC] = {{0, 4}, {4, 4}};
    l.fields[COUNT] = {{8, 4}};
    size_t at = 12;
    for (uint32_t i = 0, n = be32(d, 8); i < n; i++) {
        for (; d.compare(at, 4, "prop") == 0; at += 12 + be32(d, at + 8)) {
            for (Kind k : {PROP_MARK, PROP_ID, PROP_LENGTH})
                l.fields[k].push_back({at + 4 * (k - PROP_MARK), 4});
            l.boundaries.insert(l.boundaries.end(), {at, at + 8, at + 12});
        }
        for (Kind k : {TYPE, STORED, LENGTH})
            l.fields[k].push_back({at + 4 * (k - TYPE), 4});
        if (d.compare(at, 4, "BMP ") == 0)
            for (Kind k : {BITS, WIDTH, HEIGHT})
                l.fields[k].push_back({at + 12 + 2 * (k - BITS), 2});
        l.boundaries.insert(l.boundaries.end(), {at, at + 8, at + 12, at + 18});
        at += 12 + be32(d, at + 8);
    }
    return l;
}

struct Damaged {
    std::string what;
    Bytes bytes;
};

// At least 500 copies, each with one kind of damage, drawn from seed.
std::vector<Damaged> damage(const Bytes &good, const Layout &l, unsigned seed)
{
    std::mt19937 rng(seed);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    std::vector<Damaged> out;
    auto add = [&](std::string what, auto edit) {
        Bytes d = good;
        edit(d);
        out.push_back({std::move(what), std::move(d)});
    };
    for (int kind = 0; kind < KINDS; kind++)
        for (int n = 0; n < 16; n++) {
            auto [at, width] = l.fields[kind][pick(l.fields[kind].size())];
            size_t byte = at + pick(width);
            const int how = n % 4;
            add("field kind " + std::to_string(kind) + " at " + std::to_string(byte) + " edit " + std::to_string(how),
                [&](Bytes &d) {
                    const char values[] = {char(d[byte] ^ (1 << pick(8))), char(0xFF), char(d[byte] ^ 0x80), char(rng())};
                    d[byte] = values[how];
                });
        }
    for (size_t cut : l.boundaries)
        add("cut at boundary " + std::to_string(cut), [&](Bytes &d) { d.resize(cut); });
    for (int n = 0; n < 40; n++) {
        size_t cut = pick(good.size());
        add("cut at " + std::to_string(cut), [&](Bytes &d) { d.resize(cut); });
    }
    for (uint32_t count : {0u, 1u, 15u, 17u, 1000u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu})
        add("count " + std::to_string(count), [&](Bytes &d) { put_be32(d, 8, count); });
    for (Kind kind : {PROP_LENGTH, STORED, LENGTH})
        for (int32_t delta : {-1, 1, 1000, -0x40000000, INT32_MIN})
            for (int n = 0; n < 3; n++) {
                size_t at = l.fields[kind][pick(l.fields[kind].size())].first;
                add("length at " + std::to_string(at) + " + " + std::to_string(delta),
                    [&](Bytes &d) { put_be32(d, at, be32(d, at) + uint32_t(delta)); });
            }
    for (int32_t delta : {-6, -1, 1, 3, 1 << 20})  // both lengths of a chunk agree
        for (int n = 0; n < 3; n++) {
            size_t at = l.fields[STORED][pick(l.fields[STORED].size())].first;
            add("chunk at " + std::to_string(at) + " + " + std::to_string(delta), [&](Bytes &d) {
                put_be32(d, at, be32(d, at) + uint32_t(delta));
                put_be32(d, at + 4, be32(d, at + 4) + uint32_t(delta));
            });
        }
    for (size_t i = 0; i < l.fields[TYPE].size(); i++)
        for (const char *type : {"BMP ", "ALFO", "info", "FILE", "FONT", "prop", "\xFF\xFF\xFF\xFF"})
            if (good.compare(l.fields[TYPE][i].first, 4, type) != 0 && pick(2))
                add("object " + std::to_string(i) + " made " + type,
                    [&](Bytes &d) { d.replace(l.fields[TYPE][i].first, 4, type); });
    for (int n = 0; n < 60; n++) {  // mostly pixels and font bytes
        size_t byte = pick(good.size());
        add("bit flipped at " + std::to_string(byte), [&](Bytes &d) { d[byte] ^= char(1 << pick(8)); });
    }
    return out;
}

// No damaged copy may crash, hang or leak (the sanitizer build runs this
// too); each is refused whole or loads with every table slot as the
// drawing code needs it.
TEST_F(Resources, DamagedCopiesAreRefusedOrLoadWhole)
{
    const unsigned seed = 20240611;
    const Bytes good = read_file(datafile_path());
    const std::vector<Damaged> copies = damage(good, walk(good), seed);
    ASSERT_GE(copies.size(), 500u);
    const std::string dir = new_folder(), path = dir + "damaged.dat";
    ASSERT_NE("", dir);
    unload_resources();
    int loaded = 0, refused = 0;
    for (const Damaged &c : copies) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + c.what);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        if (load_resources(path.c_str()) == 0) {
            loaded++;
            expect_tables_filled();
            unload_resources();
        } else {
            refused++;
            expect_nothing_loaded();
        }
    }
    std::remove(path.c_str());
    std::remove(dir.c_str());
    std::printf("%zu damaged copies: %d refused, %d loaded\n", copies.size(), refused, loaded);
    EXPECT_GT(loaded, 0);  // flips in pixels and in unused bytes load
    EXPECT_GT(refused, int(copies.size()) / 2);
}

// exedat's block at the end of a program file: the trailer and the chunk
// lengths must all agree with the file.
TEST(AttachedDatafile, TrailerAndChunkLengthsMustMatchTheFile)
{
    const Bytes body = read_file(datafile_path()).substr(4);  // without "slh."
    auto program = [&](uint32_t stored, uint32_t length, uint32_t block, Bytes magic = "slh+") {
        Bytes chunk(8, '\0'), trailer = magic + Bytes(4, '\0');
        put_be32(chunk, 0, stored);
        put_be32(chunk, 4, length);
        put_be32(trailer, 4, block);
        return "\x7f" "ELF and code" + chunk + body + trailer;
    };
    const uint32_t n = uint32_t(body.size()), block = n + 16;
    const struct { Bytes file; int objects; } cases[] = {
        {program(n, n, block), 16},
        {program(n, n, block, "slh!"), -1},
        {program(n, n, block + 1), -1},
        {program(n, n, block - 1), -1},
        {program(n, n, 0xFFFFFFF0u), -1},
        {program(n, n, 8), -1},
        {program(n, uint32_t(-int32_t(n)), block), -1},  // compressed
        {program(n + 1, n + 1, block), -1},
        {program(n, n, block) + "x", -1},  // the trailer no longer last
        {"slh+", -1},
    };
    const std::string dir = new_folder(), path = dir + "program";
    ASSERT_NE("", dir);
    for (const auto &c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.file;
        EXPECT_EQ(c.objects, check_attached_datafile(path.c_str())) << &c - cases;
    }
    std::remove(path.c_str());
    std::remove(dir.c_str());
}

// Lighting a button changes only its two-pixel frame: inside it the lit
// sprites equal the buttons of the records dialog's art.
TEST_F(Resources, LitButtonsLieExactlyOverTheButtonsOfTheArt)
{
    const struct { BITMAP *lit; DialogRect at; } buttons[] = {
        {bitmap_table[BMP_ONOK], RECORDS_OK}, {bitmap_table[BMP_ONCAN], RECORDS_ERASE}};
    BITMAP *art = bitmap_table[BMP_HIGHSCORE];
    for (const auto &b : buttons) {
        int mismatches = 0;
        for (int y = 2; y < b.lit->h - 2; y++)
            for (int x = 2; x < b.lit->w - 2; x++)
                mismatches += getpixel(b.lit, x, y) != getpixel(art, b.at.left + x, b.at.top + y);
        EXPECT_EQ(0, mismatches) << "button at x " << b.at.left;
    }
}

}  // namespace
