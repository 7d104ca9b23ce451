// load_resources over the built datafile and flawed or damaged copies of it,
// and the exedat trailer of an attached copy.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
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

uint32_t be32(const Bytes &d, size_t at)
{
    return uint32_t(uint8_t(d[at])) << 24 | uint32_t(uint8_t(d[at + 1])) << 16 | uint32_t(uint8_t(d[at + 2])) << 8 | uint8_t(d[at + 3]);
}
Bytes big_endian(uint32_t v)
{
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

class Resources : public ::testing::Test {
protected:
    // Where the built datafile's 12-byte headers lie, by a plain reading that
    // trusts the file: its own ("slh.", "ALL.", the count), then each property's
    // and chunk's (a tag, an id or the stored length, the length of what follows).
    void SetUp() override
    {
        start_headless(16);  // the game's depth: bitmaps convert to it while loading
        ASSERT_EQ(0, ttf_init());
        size_t at = 12;
        for (uint32_t i = 0, n = be32(good, 8); i < n; i++, at += 12 + be32(good, at + 8)) {
            starts.push_back(at);
            for (; good.compare(at, 4, "prop") == 0; at += 12 + be32(good, at + 8))
                headers.push_back(at);
            headers.push_back(at);
            chunks.push_back(at);
        }
        starts.push_back(at);
    }
    void TearDown() override { unload_resources(), std::remove(path.c_str()); }
    void write(const Bytes &bytes) { std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes; }
    // A file of the test's own: ctest runs the tests side by side.
    const std::string path = testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(".dat");
    std::ifstream datafile{datafile_path(), std::ios::binary};
    const Bytes good{std::istreambuf_iterator<char>(datafile), {}};
    std::vector<size_t> headers{0};
    std::vector<size_t> starts, chunks;  // each object's first header and its chunk's; starts ends with the file's end
};

// The built datafile loads whole. Copies are refused whole or load with every
// slot as drawing needs it, and none may crash, hang or leak (the sanitizer
// build runs this too): what a wrong build could pack, refused with its
// reason, then copies with header bytes edited or cut short.
TEST_F(Resources, TheBuiltDatafileLoadsWholeAndFlawedOrDamagedCopiesDoNot)
{
    ASSERT_EQ(0, load_resources(datafile_path())) << resource_error;
    expect_tables(true);
    std::mt19937 rng(20240611);
    auto pick = [&](size_t n) { return size_t(rng() % n); };
    int refused = 0, loaded = 0;
    auto check = [&](const std::string &what, const auto &edit, const char *reason = nullptr) {
        SCOPED_TRACE(what);
        Bytes bytes = good;
        edit(bytes);
        write(bytes);
        const bool ok = load_resources(path.c_str()) == 0;
        (ok ? loaded : refused)++;
        expect_tables(ok);
        EXPECT_TRUE(!reason || std::string(resource_error).find(reason) != std::string::npos) << resource_error;
    };
    auto chunk_size = [&](int object) { return starts[object + 1] - chunks[object]; };
    check("B_FLAG left out", [&](Bytes &d) {
        d.erase(starts[DAT_B_FLAG], starts[DAT_B_FLAG + 1] - starts[DAT_B_FLAG]);
        d.replace(8, 4, big_endian(DAT_OBJECT_COUNT - 1));
    }, "B_FLAG is missing or out of order (found B_HAPPY in its place)");
    check("B_SADT's bitmap under B_CELL's name", [&](Bytes &d) {
        d.replace(chunks[DAT_B_CELL], chunk_size(DAT_B_CELL), good, chunks[DAT_B_SADT], chunk_size(DAT_B_SADT));
    }, "B_CELL is 17 x 21 pixels, not 20 x 20");
    check("a note as the font AF_WILLY", [&](Bytes &d) { d.replace(chunks[DAT_AF_WILLY] + 12, 16, "A note, no font."); },
          "the font AF_WILLY cannot be opened");
    check("B_CELL's bitmap typed as a font", [&](Bytes &d) { d.replace(chunks[DAT_B_CELL], 4, "ALFO"); },
          "B_CELL (object 4) is not a bitmap");
    for (size_t i = 0; i < 5 * headers.size(); i++) {  // per header four bytes edited and a cut
        const size_t at = headers[i / 5];
        const size_t byte = at + pick(good.compare(at, 4, "BMP ") ? 12 : 18);  // a bitmap's with its bits, width, height
        const char edits[] = {char(good[byte] ^ (1 << pick(8))), '\xFF', char(good[byte] ^ 0x80), char(rng())};
        if (i % 5 == 4)
            check("cut at " + std::to_string(byte), [&](Bytes &d) { d.resize(byte); });
        else
            check("byte " + std::to_string(byte), [&](Bytes &d) { d[byte] = edits[pick(4)]; });
    }
    EXPECT_TRUE(refused + loaded >= 500 && loaded > 0 && loaded < refused) << loaded << " loaded, " << refused << " refused";
}

// exedat's block at the end of a program file: the trailer and the chunk
// lengths must all agree with the file.
TEST_F(Resources, AnAttachedDatafileNeedsTrailerAndLengthsThatMatchTheFile)
{
    const Bytes body = good.substr(4);  // without "slh."
    const uint32_t n = uint32_t(body.size()), block = n + 16;
    auto program = [&](uint32_t stored, uint32_t length, uint32_t size, const char *magic = "slh+") {
        return "\x7f" "ELF and code" + big_endian(stored) + big_endian(length) + body + magic + big_endian(size);
    };
    const struct { Bytes file; int objects; } cases[] = {
        {program(n, n, block), 16}, {program(n, n, block, "slh!"), -1}, {program(n, n, block + 1), -1},
        {program(n, n, 0xFFFFFFF0u), -1}, {program(n, n, 8), -1}, {program(n, -n, block), -1} /* compressed */,
        {program(n + 1, n + 1, block), -1}};
    for (const auto &c : cases) {
        write(c.file);
        EXPECT_EQ(c.objects, check_attached_datafile(path.c_str())) << "case " << &c - cases;
    }
}

}  // namespace
