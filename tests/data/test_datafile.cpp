// The packed datafile: how it is stored on disk, what the library loads
// from it, and whether the art fits the places the dialogs hit-test.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "shell/resources.h"
#include "support/headless.h"
#include "ui/dialogs.h"

namespace {

struct Expected {
    const char *name;
    const char *type;
    int w, h;  // bitmaps only
};

// The game's object table: order, names, types and sizes.
const Expected OBJECTS[] = {
    {"AF_ARIAL", "ALFO", 0, 0}, {"AF_WHITE", "ALFO", 0, 0}, {"AF_WILLY", "ALFO", 0, 0},
    {"B_BHO", "BMP ", 30, 29}, {"B_CELL", "BMP ", 20, 20}, {"B_CHOCO", "BMP ", 8, 26},
    {"B_FLAG", "BMP ", 20, 20}, {"B_HAPPY", "BMP ", 30, 29}, {"B_HIGHSCORE", "BMP ", 201, 121},
    {"B_INPUT", "BMP ", 180, 162}, {"B_ONCAN", "BMP ", 91, 21}, {"B_ONOK", "BMP ", 43, 21},
    {"B_SAD", "BMP ", 30, 29}, {"B_SADT", "BMP ", 17, 21}, {"B_SLIDE", "BMP ", 180, 162},
    {"GrabberInfo", "info", 0, 0},
};
constexpr int OBJECT_COUNT = 16;

std::vector<uint8_t> read_file(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A reader of the datafile format as the library stores it: big-endian
// integers, four-character codes, properties before each object.
struct Reader {
    const std::vector<uint8_t> &bytes;
    size_t at = 0;

    bool has(size_t n) const { return at + n <= bytes.size(); }
    uint32_t u32(void)
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++)
            v = v << 8 | bytes.at(at++);
        return v;
    }
    int16_t i16(size_t offset) const
    {
        return static_cast<int16_t>(bytes.at(offset) << 8 | bytes.at(offset + 1));
    }
    std::string code(void)
    {
        std::string s(bytes.begin() + at, bytes.begin() + at + 4);
        at += 4;
        return s;
    }
};

struct RawObject {
    std::string type;
    std::map<std::string, std::string> props;
    uint32_t stored_size, data_size;
    size_t data_at;
};

std::vector<RawObject> parse(const std::vector<uint8_t> &bytes, std::string *error)
{
    Reader r{bytes};
    std::vector<RawObject> objects;
    if (!r.has(12) || r.code() != "slh." || r.code() != "ALL.") {
        *error = "no uncompressed datafile header";
        return objects;
    }
    uint32_t count = r.u32();
    for (uint32_t i = 0; i < count; i++) {
        RawObject o;
        if (!r.has(4)) {
            *error = "truncated";
            return objects;
        }
        o.type = r.code();
        while (o.type == "prop") {
            std::string id = r.code();
            uint32_t len = r.u32();
            o.props[id] = std::string(bytes.begin() + r.at, bytes.begin() + r.at + len);
            r.at += len;
            o.type = r.code();
        }
        o.stored_size = r.u32();
        o.data_size = r.u32();
        o.data_at = r.at;
        r.at += o.stored_size;
        if (r.at > bytes.size()) {
            *error = "object runs past the end";
            return objects;
        }
        objects.push_back(o);
    }
    if (r.at != bytes.size())
        *error = "bytes after the last object";
    return objects;
}

TEST(DatafileOnDisk, SixteenUncompressedObjectsWithTheirPropertiesAndFormats)
{
    std::vector<uint8_t> bytes = read_file(datafile_path());
    std::string error;
    std::vector<RawObject> objects = parse(bytes, &error);
    ASSERT_EQ("", error);
    ASSERT_EQ(static_cast<size_t>(OBJECT_COUNT), objects.size());
    Reader r{bytes};
    for (int i = 0; i < OBJECT_COUNT; i++) {
        RawObject &o = objects[i];
        const Expected &want = OBJECTS[i];
        SCOPED_TRACE(want.name);
        EXPECT_EQ(want.type, o.type);
        EXPECT_EQ(want.name, o.props["NAME"]);
        EXPECT_EQ(o.stored_size, o.data_size) << "stored compressed";
        if (o.type == "info")
            continue;
        EXPECT_TRUE(o.props.count("DATE") && o.props.count("ORIG"));
        if (o.type != "BMP ")
            continue;
        for (const char *grab : {"XPOS", "YPOS", "XSIZ", "YSIZ"})
            EXPECT_TRUE(o.props.count(grab)) << grab;
        EXPECT_EQ(24, r.i16(o.data_at)) << "bits per pixel";
        EXPECT_EQ(want.w, r.i16(o.data_at + 2));
        EXPECT_EQ(want.h, r.i16(o.data_at + 4));
        EXPECT_EQ(6u + 3u * want.w * want.h, o.data_size);
    }
}

TEST(DatafileOnDisk, FontObjectsAreTheFontFilesByteForByte)
{
    std::vector<uint8_t> bytes = read_file(datafile_path());
    std::string error;
    std::vector<RawObject> objects = parse(bytes, &error);
    ASSERT_EQ("", error);
    const char *files[] = {FONT_ARIAL, FONT_WHITE, FONT_WILLY};
    for (int i = 0; i < 3; i++) {
        std::vector<uint8_t> font = read_file(files[i]);
        ASSERT_FALSE(font.empty()) << files[i];
        ASSERT_EQ(font.size(), objects[i].data_size) << files[i];
        EXPECT_TRUE(std::equal(font.begin(), font.end(), bytes.begin() + objects[i].data_at))
            << files[i];
    }
}

// The datafile as the library loads it, at the given colour depth.
class LoadedDatafile : public ::testing::Test {
protected:
    void load(int depth)
    {
        start_headless(depth);
        data_ = load_datafile(datafile_path());
        ASSERT_NE(nullptr, data_) << datafile_path();
    }
    void TearDown() override
    {
        if (data_)
            unload_datafile(data_);
    }
    BITMAP *bmp(int object) { return static_cast<BITMAP *>(data_[object].dat); }

    DATAFILE *data_ = nullptr;
};

TEST_F(LoadedDatafile, ObjectsLoadInOrderWithNamesTypesAndSizes)
{
    load(16);
    int count = 0;
    while (data_[count].type != DAT_END)
        count++;
    ASSERT_EQ(OBJECT_COUNT, count);
    for (int i = 0; i < OBJECT_COUNT; i++) {
        const Expected &want = OBJECTS[i];
        SCOPED_TRACE(want.name);
        const char *t = want.type;
        EXPECT_EQ(DAT_ID(t[0], t[1], t[2], t[3]), data_[i].type);
        EXPECT_STREQ(want.name, get_datafile_property(&data_[i], DAT_NAME));
        if (data_[i].type == DAT_BITMAP) {
            EXPECT_EQ(want.w, bmp(i)->w);
            EXPECT_EQ(want.h, bmp(i)->h);
            EXPECT_EQ(16, bitmap_color_depth(bmp(i))) << "converted to the depth set before loading";
        }
    }
}

int rgb_at(BITMAP *b, int x, int y)
{
    int c = getpixel(b, x, y);
    return getr_depth(24, c) << 16 | getg_depth(24, c) << 8 | getb_depth(24, c);
}
constexpr int MAGENTA = 0xFF00FF;

TEST_F(LoadedDatafile, SpritesAreTransparentWhereThePictureBehindShows)
{
    load(24);
    struct Probe {
        int object, x, y;
        bool masked;
    };
    const Probe probes[] = {
        // Corners of the tooth and of the records dialog are masked, their middles not.
        {DAT_B_SADT, 0, 0, true}, {DAT_B_SADT, 16, 0, true}, {DAT_B_SADT, 0, 20, true},
        {DAT_B_SADT, 16, 20, true}, {DAT_B_SADT, 8, 8, false},
        {DAT_B_HIGHSCORE, 0, 0, true}, {DAT_B_HIGHSCORE, 200, 0, true},
        {DAT_B_HIGHSCORE, 0, 120, true}, {DAT_B_HIGHSCORE, 200, 120, true},
        {DAT_B_HIGHSCORE, 100, 60, false},
        // The flag leaves the piece under it visible around the pennant.
        {DAT_B_FLAG, 0, 0, true}, {DAT_B_FLAG, 19, 19, true},
        // A covered cell hides the grid completely.
        {DAT_B_CELL, 0, 0, false}, {DAT_B_CELL, 19, 19, false}, {DAT_B_CELL, 10, 10, false},
        // The knob's rounded corners, its solid middle.
        {DAT_B_CHOCO, 0, 0, true}, {DAT_B_CHOCO, 4, 13, false},
    };
    for (const Probe &p : probes) {
        SCOPED_TRACE(OBJECTS[p.object].name);
        EXPECT_EQ(p.masked, rgb_at(bmp(p.object), p.x, p.y) == MAGENTA) << p.x << "," << p.y;
    }
}

// Pixels of the lit button, away from its two-pixel bright frame, must
// equal the button drawn into the background at the lit sprite's place:
// lighting a button changes only its frame.
void expect_button_under(BITMAP *background, BITMAP *lit, int left, int top, const char *what)
{
    SCOPED_TRACE(what);
    int mismatches = 0;
    for (int y = 2; y < lit->h - 2; y++)
        for (int x = 2; x < lit->w - 2; x++)
            mismatches += rgb_at(lit, x, y) != rgb_at(background, left + x, top + y);
    EXPECT_EQ(0, mismatches);
    // The frame itself is bright: lighter than the button it surrounds.
    int frame = rgb_at(lit, 0, lit->h / 2), under = rgb_at(background, left, top + lit->h / 2);
    auto sum = [](int c) { return (c >> 16) + (c >> 8 & 255) + (c & 255); };
    EXPECT_GT(sum(frame), sum(under) + 100);
}

TEST_F(LoadedDatafile, ButtonsInTheBackgroundsLieUnderTheirLitSprites)
{
    load(24);
    BITMAP *ok = bmp(DAT_B_ONOK);
    expect_button_under(bmp(DAT_B_HIGHSCORE), ok, RECORDS_OK.left, RECORDS_OK.top, "records OK");
    expect_button_under(bmp(DAT_B_INPUT), ok, INPUT_OK.left, INPUT_OK.top, "name entry OK");
    expect_button_under(bmp(DAT_B_SLIDE), ok, SLIDE_OK.left, SLIDE_OK.top, "customize OK");
    expect_button_under(bmp(DAT_B_HIGHSCORE), bmp(DAT_B_ONCAN), RECORDS_ERASE.left,
                        RECORDS_ERASE.top, "records Erase");
}

TEST_F(LoadedDatafile, NameFieldIsWhiteInsideItsFrame)
{
    load(24);
    BITMAP *input = bmp(DAT_B_INPUT);
    const DialogRect &f = INPUT_FIELD;
    int not_white = 0;
    for (int y = f.top + 2; y < f.bottom; y++)
        for (int x = f.left + 2; x < f.right; x++)
            not_white += rgb_at(input, x, y) != 0xFFFFFF;
    EXPECT_EQ(0, not_white);
    // The frame runs exactly along the field's edges, darker than the panel.
    for (int x : {f.left, f.right})
        for (int y : {f.top, f.bottom, (f.top + f.bottom) / 2}) {
            int c = rgb_at(input, x, y), outside = rgb_at(input, x + (x == f.left ? -1 : 1), y);
            EXPECT_LT(c & 255, outside & 255) << x << "," << y;
        }
}

}  // namespace
