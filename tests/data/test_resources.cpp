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
#include <functional>
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

// A new folder of this run's own, with a slash at the end; "" on failure.
std::string new_folder(void)
{
    std::string pattern = testing::TempDir() + "dentivale-data-XXXXXX";
    return mkdtemp(&pattern[0]) ? pattern + "/" : "";
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
            add("byte " + std::to_string(byte) + " (field kind " + std::to_string(k) + ")",
                [&, value = edits[n % 4]](Bytes &d) { d[byte] = value; });
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
// too); each is refused whole or loads with every table slot as the
// drawing code needs it.
TEST_F(Resources, DamagedCopiesAreRefusedOrLoadWhole)
{
    const unsigned seed = 20240611;
    const auto copies = damage(read_file(datafile_path()), seed);
    ASSERT_GE(copies.size(), 500u);
    const std::string dir = new_folder(), path = dir + "damaged.dat";
    ASSERT_NE("", dir);
    unload_resources();
    int loaded = 0, refused = 0;
    for (const auto &[what, bytes] : copies) {
        SCOPED_TRACE("seed " + std::to_string(seed) + ": " + what);
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
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
    const std::string dir = new_folder(), path = dir + "program";
    ASSERT_NE("", dir);
    for (const auto &c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.file;
        EXPECT_EQ(c.objects, check_attached_datafile(path.c_str())) << "case " << &c - cases;
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
